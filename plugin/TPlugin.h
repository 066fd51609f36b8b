#pragma once

#include "editor/EffectLink.h"
#include "engine/EffectCore.h"
#include "host/TVstTemplate.h"

#include <cstdint>
#include <memory>
#include <string_view>

namespace editor {
class EditorExchange;
}

namespace plugin {

// The VST 2 plug-in: the effect core (engine::EffectCore) presented through the reusable VST 2 frame.
// The frame answers the host (identity, dispatcher, parameter names and display texts, the editor
// wrapper); this adapter keeps nothing of the effect itself but the host's transport flags:
//   - parameter values and the program's name live in the core; setParameter and getParameter store and
//     read them there (the template's own program store stays unused), and effSetProgram 0 has the core
//     convert every value again;
//   - each block asks the host for its time information (sample rate, tempo, transport) and hands it to
//     the core with the block; without it the rate the host set with effSetSampleRate is used;
//   - the editor reaches the effect through editor::EffectLink: a write is setParameterAutomated (the host
//     hears it), a preset load ends with updateDisplay, a drag is bracketed by beginEdit and endEdit; on
//     each editor idle the adapter shows the core's published values in the form and lets the form serve
//     its requests.
class TPlugin : public host::TVstTemplate, public editor::EffectLink {
public:
    static constexpr vst2::VstInt32 kVendorVersion = 2003;
    // Host time information requested once per block: tempo valid and musical position valid.
    static constexpr vst2::VstInt32 kTimeInfoFilter = 0x600;

    // formClass: the editor's form class, or null for an effect without an editor; a form class that
    // links its forms to their effect (editor::LinkedFormClass) is given this effect. frames: the frame
    // engine, null for the fast engine the effect ships with.
    explicit TPlugin(vst2::audioMasterCallback audioMaster,
                     std::unique_ptr<host::EditorFormFactory> formClass = nullptr,
                     std::unique_ptr<engine::AudioEngine> frames = nullptr);
    ~TPlugin() override;

    // ---- the VST 2 frame ----
    // Names the parameters' property records; the core holds the factory program.
    void DeclareParameters() override;
    // Renders one block of sampleFrames stereo frames (none for sampleFrames <= 0).
    void ProcessAudio(float** inputs, float** outputs, vst2::VstInt32 sampleFrames) override;
    void setParameter(vst2::VstInt32 index, float value) override;
    float getParameter(vst2::VstInt32 index) override;
    void setProgram(vst2::VstInt32 program) override;
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    bool getProgramNameIndexed(vst2::VstInt32 category, vst2::VstInt32 index, char* text) override;

    // The editor-idle handler; serves a form that carries the exchange fields.
    void OnEditorIdle(host::EditorForm& form);
    // Shows the core's LFO outputs, sample rate and tempo in the editor, then lets it serve its requests.
    void ExchangeWithEditor(editor::EditorExchange& editor);

    // ---- editor::EffectLink ----
    float Parameter(int index) const override { return core_.Parameter(index); }
    void WriteParameter(int index, float value) override { setParameterAutomated(index, value); }
    void BeginEdit(int index) override { beginEdit(index); }
    void EndEdit(int index) override { endEdit(index); }
    void SetProgramName(std::string_view name) override { core_.SetProgramName(name); }
    void FillDelayLines(float value) override { core_.RequestDelayFill(value); }
    void ProgramChanged() override { updateDisplay(); }

    engine::EffectCore& Core() noexcept { return core_; }

    // Flags word of the last host time information (audio thread).
    std::int32_t TimeFlags = 0;

private:
    // linked: formClass as a form class that links its forms to their effect, or null.
    TPlugin(vst2::audioMasterCallback audioMaster, editor::LinkedFormClass* linked,
            std::unique_ptr<host::EditorFormFactory>&& formClass,
            std::unique_ptr<engine::AudioEngine> frames);

    // The frame's own programs stay unused: the values and the name are the core's.
    using host::TVstTemplate::CurrentProgram;
    using host::TVstTemplate::Program;

    engine::EffectCore core_;
};

} // namespace plugin
