#pragma once

#include "editor/EffectLink.h"
#include "editor/TPluginEditorFormClass.h"
#include "engine/ParameterTable.h"
#include "lv2/Lv2Messages.h"

#include <lv2/atom/forge.h>
#include <lv2/core/lv2.h>
#include <lv2/ui/ui.h>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace editor {
class EditorExchange;
}
namespace host {
class EditorForm;
}
namespace platform {
class WindowFactory;
}

namespace lv2 {

// The LV2 interface: the editor form on a window of the system, a child of the host's ui:parent, driven
// by the host's idle calls, and the editor's link to its effect over what an LV2 host offers, so the
// interface works wherever the host runs it (no instance access):
//   - the values are those the host last reported with port_event (the factory values before that); a
//     port event only stores the value, and the form's refresh moves the knob, without a write;
//   - a user's change is a port write through the host's write function, a drag is bracketed by
//     ui:touch when the host offers it, and a preset loaded from the menu reaches the host as a write of
//     every value it changes;
//   - a panic, a preset load (with its name) and a new program name (a preset saved) go to the
//     processor as messages on `control`; the processor's EditorState messages on `notify` feed the
//     LFO lights and the sample rate and tempo read-outs.
// The form is made, idled and destroyed exactly as the VST 2 editor wrapper does it.
class Lv2Ui final : public editor::EffectLink {
public:
    // Null when a required feature (ui:parent, urid:map) is missing or the window cannot be made.
    static std::unique_ptr<Lv2Ui> Create(LV2UI_Write_Function write, LV2UI_Controller controller,
                                         const LV2_Feature* const* features,
                                         platform::WindowFactory& windows);
    ~Lv2Ui() override;
    Lv2Ui(const Lv2Ui&) = delete;
    Lv2Ui& operator=(const Lv2Ui&) = delete;

    // The editor's window, the widget handed to the host.
    LV2UI_Widget Widget() const noexcept { return widget_; }
    void PortEvent(std::uint32_t port, std::uint32_t size, std::uint32_t format, const void* buffer) noexcept;
    // The host's idle call: the window's events, messages and timer, then the processor's state shown
    // and the form's requests served. Answers 0 (the editor never asks to be closed).
    int Idle() noexcept;

    // ---- editor::EffectLink ----
    float Parameter(int index) const override;
    void WriteParameter(int index, float value) override;
    void BeginEdit(int index) override { touch(index, true); }
    void EndEdit(int index) override { touch(index, false); }
    void SetProgramName(std::string_view name) override;
    void FillDelayLines(float value) override;

private:
    Lv2Ui(LV2UI_Write_Function write, LV2UI_Controller controller, const LV2_URID_Map& map,
          platform::WindowFactory& windows);
    void touch(int index, bool grabbed);
    void send(LV2_URID otype, std::optional<std::string_view> name);

    LV2UI_Write_Function write_;
    LV2UI_Controller controller_;
    const LV2UI_Touch* touch_ = nullptr;
    Urids urids_;
    LV2_Atom_Forge forge_{};
    std::array<float, engine::kParameterCount> values_{};
    EditorStateMessage shown_;
    // A rename the form asked for that no preset load carried to the processor yet (UTF-8).
    std::optional<std::string> pendingName_;

    editor::TPluginEditorFormClass formClass_;
    std::unique_ptr<host::EditorForm> form_;
    editor::EditorExchange* exchange_ = nullptr;
    LV2UI_Widget widget_ = nullptr;
};

} // namespace lv2
