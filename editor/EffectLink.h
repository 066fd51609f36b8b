#pragma once

#include <string_view>

namespace editor {

// The editor's link to its effect: everything the form asks of the effect, and nothing that needs the
// effect in the same process. Each plug-in format implements it: the VST 2 plug-in over its effect core
// (a write is setParameterAutomated, which reports it to the host), an LV2 interface over the host's port
// writes and messages to its processor (it knows the values from the host's port events).
//
// Every operation runs on the editor's user-interface thread and returns at once. Header-only, so a
// format implements it without linking the editor.
class EffectLink {
public:
    virtual ~EffectLink() = default;

    // The value 0..1 of a parameter as the editor knows it; 0 for an index outside 0..180.
    virtual float Parameter(int index) const = 0;
    // A user's change of a parameter: stores the value (clamped into 0..1) and reports it to the host,
    // so the host's controls and automation follow.
    virtual void WriteParameter(int index, float value) = 0;
    // Brackets the writes of one drag, so a host records them as one gesture. Optional.
    virtual void BeginEdit(int index) { (void)index; }
    virtual void EndEdit(int index) { (void)index; }
    // Renames the current program (a preset saved or loaded); the name is cut where the effect stores it.
    virtual void SetProgramName(std::string_view name) = 0;
    // Asks the effect to fill both delay lines with value from its next block on (a panic: 0; a preset
    // load: 0.0001).
    virtual void FillDelayLines(float value) = 0;
    // Many values changed at once (a preset load): asks the host to show them all again. Optional.
    virtual void ProgramChanged() {}
};

// A form class (the editor's host::EditorFormFactory) whose forms reach their effect through a link: the
// effect hands its link over once, before the host can open an editor. Each form takes the link up when
// its attach message arrives.
class LinkedFormClass {
public:
    virtual ~LinkedFormClass() = default;
    virtual void LinkEffect(EffectLink* effect) = 0;
};

} // namespace editor
