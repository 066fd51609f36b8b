// vorelan screenshot: the effect's editor drawn in memory and saved as a PNG picture.
#include "editor/TPluginEditorFormClass.h"
#include "editor/TPluginEditorwindow.h"
#include "host/AudioEffect.h"
#include "host/TVstTemplateEditor.h"
#include "platform/headless/HeadlessWindow.h"
#include "platform/headless/HeadlessWindowFactory.h"
#include "platform/headless/PngFile.h"
#include "platform/headless/RecordingMessageBox.h"
#include "plugin/TPlugin.h"
#include "tools/vorelan/Arguments.h"
#include "tools/vorelan/Commands.h"
#include "tools/vorelan/ToolError.h"

#include <iostream>
#include <memory>

namespace vorelan {

namespace {

constexpr const char* kScreenshotHelp = R"(usage: vorelan screenshot OUT.png [--channel N] [--lfo N] [--about]

Opens the effect's editor on an in-memory window, lets the editor attach and refresh once, and saves
its 780 x 303 picture as PNG. The effect is the one this tool was built with (the same code as the
plug-in binary), driven through its VST 2 record as a host would.

  --channel N   show channel N (1..8), selected with a click on its button
  --lfo N       show LFO N (1..8)
  --about       show the about picture
)";

extern "C" vst2::VstIntPtr ScreenshotHostCallback(vst2::AEffect*, vst2::VstInt32 opcode, vst2::VstInt32,
                                                  vst2::VstIntPtr, void*, float) {
    return opcode == vst2::audioMasterVersion ? 2400 : 0;
}

// Owns the effect through its record: effClose destroys it, as a host's closing does.
struct OpenEffect {
    vst2::AEffect* record = nullptr;
    ~OpenEffect() {
        if (record != nullptr)
            record->dispatcher(record, vst2::effClose, 0, 0, nullptr, 0.0f);
    }
    vst2::VstIntPtr Dispatch(vst2::VstInt32 opcode, void* ptr = nullptr) const {
        return record->dispatcher(record, opcode, 0, 0, ptr, 0.0f);
    }
};

platform::Point Centre(const skin::TCustomDIBControl& c) {
    return {c.Left() + c.Width() / 2, c.Top() + c.Height() / 2};
}

} // namespace

int RunScreenshot(const std::vector<std::string>& args) {
    const Arguments arguments(args, {"--channel", "--lfo"}, {"--about"});
    if (arguments.help()) {
        std::cout << kScreenshotHelp;
        return kExitOk;
    }
    if (arguments.positional().size() != 1)
        throw UsageError("screenshot needs one output file (vorelan screenshot --help)");
    const std::string out = arguments.positional()[0];
    const int channel =
        arguments.value("--channel") ? ParseInteger(*arguments.value("--channel"), "--channel", 1, 8) : 1;
    const int lfo = arguments.value("--lfo") ? ParseInteger(*arguments.value("--lfo"), "--lfo", 1, 8) : 1;

    platform::headless::HeadlessWindowFactory windows;
    platform::headless::RecordingMessageBox messages; // the old-folder notice would only stop the run
    OpenEffect effect;
    // The effect as the plug-in's entry point makes it, with the editor's form class on in-memory windows.
    auto* object = new plugin::TPlugin(&ScreenshotHostCallback,
                                       std::make_unique<editor::TPluginEditorFormClass>(windows));
    effect.record = object->getAeffect();

    effect.Dispatch(vst2::effOpen);
    effect.Dispatch(vst2::effEditOpen);
    platform::headless::HeadlessWindow* window = windows.LastWindow();
    auto* wrapper = dynamic_cast<host::TVstTemplateEditor*>(object->getEditor());
    auto* form = wrapper != nullptr ? dynamic_cast<editor::TPluginEditorwindow*>(wrapper->Form()) : nullptr;
    if (window == nullptr || form == nullptr)
        throw ToolError("the effect's editor could not be opened");

    // The attach message, one editor idle and one refresh, as the first moments of an opened editor.
    window->RunPending();
    effect.Dispatch(vst2::effEditIdle);
    windows.AdvanceClock(editor::TPluginEditorwindow::kTimerInterval);
    // The channel first: its source knobs may switch the LFO section as the refresh moves them.
    if (channel != 1) {
        window->Click(Centre(*form->ChannelButtons[static_cast<std::size_t>(channel - 1)]));
        windows.AdvanceClock(editor::TPluginEditorwindow::kTimerInterval);
    }
    if (lfo != 1) {
        window->Click(Centre(*form->LfoButtons[static_cast<std::size_t>(lfo - 1)]));
        windows.AdvanceClock(editor::TPluginEditorwindow::kTimerInterval);
    }
    if (arguments.flag("--about"))
        window->Click(Centre(*form->Image1));
    window->RunPending();

    if (!platform::headless::SavePng(window->Picture(), out))
        throw ToolError("cannot write " + out);
    std::cout << "Editor picture: " << out << " (" << window->ClientWidth() << " x " << window->ClientHeight()
              << ")\n";
    effect.Dispatch(vst2::effEditClose);
    return kExitOk;
}

} // namespace vorelan
