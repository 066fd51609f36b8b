#pragma once

#include "editor/EditorExchange.h"
#include "editor/EffectLink.h"
#include "editor/TEditorLabel.h"
#include "host/EditorFormFactory.h"
#include "platform/EditorWindow.h"
#include "skin/TComponent.h"
#include "skin/TDIBContainer.h"
#include "skin/TDIBGlyphButton.h"
#include "skin/TDIBImage.h"
#include "skin/TDIBImageContainer.h"
#include "skin/TDIBImageList.h"
#include "skin/TDIBKnob.h"
#include "skin/TDIBSettings.h"
#include "skin/TWinDIB.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace editor {

// The editor form: a 780 x 303 window with the four global knobs, the controls of one channel (voice)
// and of one LFO at a time, eight LFO activity lights, a hint line and a value read-out. Every control
// drives one parameter of the effect through its link (EffectLink: Parameter / WriteParameter), which
// each plug-in format implements; the form keeps no parameter values of its own apart from the two copy
// buffers.
//
// The form knows its effect only after the attach message (posted by the editor wrapper right after
// creation) has been delivered. Its 50 ms timer pulls the shown parameters and moves the controls to
// them, without writing anything: a value changes only by a user's action on a control, a preset load
// or the host. On every editor idle the plug-in format fills the exchange fields (EditorExchange) and
// has the form serve the requests it left there (ServeRequests).
//
// The form's parts and state are public under their form names, as the form's tables list them: the
// tests and the screenshot command operate the controls and read the state by those names. The member
// functions are spread over files by responsibility: TPluginEditorwindow.cpp (window, attach, input),
// ...Controls.cpp (the control map and its construction), ...Handlers.cpp (the control handlers),
// ...Refresh.cpp (the 50 ms refresh) and ...Presets.cpp (the preset menu, saving and reading presets).
class TPluginEditorwindow : public skin::TComponent,
                            public host::EditorForm,
                            public EditorExchange,
                            private platform::WindowEvents {
    // First, so it goes last: the controls need its cursor until they are gone (a knob drag cut short
    // by closing the editor shows the cursor again).
    std::unique_ptr<platform::EditorWindow> window_;
    skin::TWinDIB picture_;

public:
    static constexpr int kClientWidth = 780;
    static constexpr int kClientHeight = 303;
    static constexpr skin::TColor kFormColor = 10261120; // RGB 128, 146, 156; also the font colour
    static constexpr skin::TColor kDarkColor = 2236962;  // 0x222222
    static constexpr unsigned kTimerInterval = 50;

    // Creates the window as a child of parent through factory; check Window() afterwards, which is
    // null when the window could not be created. effect: the link the attach message hands over.
    TPluginEditorwindow(void* parentWindow, platform::WindowFactory& factory, EffectLink* effect = nullptr);
    ~TPluginEditorwindow() override;

    platform::EditorWindow* Window() const { return window_.get(); }

    // --- host::EditorForm ---
    int ClientWidth() const override { return kClientWidth; }
    int ClientHeight() const override { return kClientHeight; }
    // Posts the attach message with the form's link to its effect (the frame's effect object is that
    // effect, which its form class was given).
    void PostAttachMessage(host::AudioEffect& effect) override;
    void Idle() override;
    // Posts the attach message, which hands the form its link to the effect once the event loop delivers
    // it (a format without the VST 2 frame calls this after making the form).
    void PostAttachMessage();

    // --- EditorExchange ---
    void ServeRequests() override;

    // --- the form's parts, by their form names ---
    skin::TDIBImageContainer DIBImageContainer1;
    skin::TDIBContainer DIBContainer1;
    skin::TDIBImageList DIBImageList1;
    skin::TDIBSettings DIBSettings1;
    std::unique_ptr<skin::TDIBImage> DIBImage1; // the background

    // Knobs by their Tag (the parameter index for channel 0, LFO 0 or the global index).
    std::unique_ptr<skin::TDIBKnob> DIBKnob1, DIBKnob2, DIBKnob3, DIBKnob4, DIBKnob5, DIBKnob6, DIBKnob7,
        DIBKnob8, DIBKnob9, DIBKnob10, DIBKnob11, DIBKnob12, DIBKnob13, DIBKnob14, DIBKnob15, DIBKnob16,
        DIBKnob17, DIBKnob18, DIBKnob20, DIBKnob21, DIBKnob22, DIBKnob23;

    std::unique_ptr<skin::TDIBGlyphButton> DIBGlyphButton1, DIBGlyphButton2, DIBGlyphButton3, DIBGlyphButton4,
        DIBGlyphButton5, DIBGlyphButton6;
    // Filter kinds 1..3: DIBGlyphButton7, 8, 9.
    std::array<std::unique_ptr<skin::TDIBGlyphButton>, 3> FilterButtons;
    // Selector rows by Tag. Channel: DIBGlyphButton10..17. LFO: DIBGlyphButton25, 18..24. Resync
    // source: DIBGlyphButton33, 26..32.
    std::array<std::unique_ptr<skin::TDIBGlyphButton>, 8> ChannelButtons;
    std::array<std::unique_ptr<skin::TDIBGlyphButton>, 8> LfoButtons;
    std::array<std::unique_ptr<skin::TDIBGlyphButton>, 8> SyncButtons;
    // LFO activity lights DIBImage12..19.
    std::array<std::unique_ptr<skin::TDIBImage>, 8> LfoLights;

    std::unique_ptr<TEditorLabel> InfoBox;
    std::unique_ptr<TEditorLabel> ValueBox;
    std::unique_ptr<skin::TCustomDIBControl> Image1; // shows the about picture when clicked
    std::unique_ptr<skin::TCustomDIBControl> Image2; // panic reset on double click

    // --- private state of the form (public for the tests) ---
    std::uint8_t SelectedChannel = 0;
    std::uint8_t SelectedLfo = 0;
    skin::TCustomDIBControl* HoverControl = nullptr;
    std::array<float, 16> ChannelClipboard{};
    std::array<float, 6> LfoClipboard{};
    std::string PresetFolder;
    EffectLink* Plugin = nullptr;
    // The preset entries of the last listing. The hint holds the preset's name as its file is named,
    // which a load uses; the caption holds it as the menu draws it, in the editor's code page
    // (converted from the system's UTF-8 on Linux, so the two differ only there).
    struct TPresetItem {
        std::string Caption;
        std::string Hint;
    };
    std::vector<TPresetItem> PresetItems;
    bool Updating = false;
    // The name of the preset the last load request asked for, and 1 only while a load reads its file
    // (and shows why it rejects one); a load requested meanwhile is dropped.
    std::string PresetName;
    std::uint8_t PresetLoadBusy = 0;

    // The current file name of the save dialog: it keeps the last choice while the form lives.
    std::string SaveDialFileName;

    // --- handlers ---
    void EditorAttachMessage(EffectLink* effect);
    void DIBImage8MouseMove(skin::TComponent* sender);
    void DIBKnob2Change(skin::TComponent* sender);
    void DIBKnob6Change(skin::TComponent* sender);
    void DIBKnob16Change(skin::TComponent* sender);
    void DIBGlyphButton10Click(skin::TComponent* sender);
    void DIBGlyphButton25Click(skin::TComponent* sender);
    void DIBGlyphButton33Click(skin::TComponent* sender);
    void DIBGlyphButton7Click(skin::TComponent* sender);
    void DIBGlyphButton3Click(skin::TComponent* sender);
    void DIBGlyphButton6Click(skin::TComponent* sender);
    void DIBGlyphButton1Click(skin::TComponent* sender);
    void DIBGlyphButton2Click(skin::TComponent* sender);
    void DIBGlyphButton4Click(skin::TComponent* sender);
    void DIBGlyphButton5Click(skin::TComponent* sender);
    void Image1Click(skin::TComponent* sender);
    void DIBImageContainer1Click(skin::TComponent* sender);
    void Label1DblClick(skin::TComponent* sender);
    void Timer1Timer();

    // --- preset menu ---
    // Reads the preset named name for a load; tells the user about a file that cannot be used (a message
    // box) and answers nothing then.
    std::optional<PresetValues> ReadPreset(const std::string& name);
    // Applies a preset through the link: the program name, the fill of the delay lines with 0.0001, then
    // every value that differs from the effect's (clamped into 0..1, exactly as in the file), each
    // reported to the host; last the host is asked to show all values again.
    void LoadPresetFile(const PresetValues& preset);
    void RefreshFxps();
    void PopupMenu1Popup();
    // The menu as it opens: "Save as", the separator, then the preset entries.
    std::vector<platform::MenuItem> PopupMenu1Items() const;
    // Shows the preset menu at a point of the client area.
    void ShowPresetMenu(platform::Point client);
    void Open1Click(const TPresetItem& item);
    void Saveas1Click();
    // Draws a menu entry with the caption into canvas, the item's whole rectangle.
    static void Saveas1DrawItem(const std::string& caption, const platform::PixelPicture& canvas,
                                bool selected);

    // Whether the about picture is in front.
    bool AboutShown() const { return aboutInFront_; }
    // The picture the window shows (780 x 303).
    const skin::TWinDIB& Picture() const { return picture_; }
    // Paints every pending change into the picture now.
    void UpdatePicture();

private:
    // --- platform::WindowEvents ---
    void MouseDown(platform::MouseButton button, platform::ShiftState shift, platform::Point client) override;
    void MouseMove(platform::ShiftState shift, platform::Point client) override;
    void MouseUp(platform::MouseButton button, platform::ShiftState shift, platform::Point client) override;
    void DoubleClick(platform::MouseButton button, platform::ShiftState shift,
                     platform::Point client) override;
    void MouseLeave() override;
    void KeyDown(platform::KeyCode key, platform::ShiftState shift) override;
    void KeyUp(platform::KeyCode key, platform::ShiftState shift) override;
    void CaptureLost() override;
    void FocusLost() override;
    void PostedMessage(unsigned id, std::uintptr_t wParam, std::intptr_t lParam) override;
    void TimerTick() override { Timer1Timer(); }
    void Paint(const platform::Rect& area) override;

    void CreateControls();
    void CreateContainers();
    void CreateKnobs();
    void CreateButtons();
    void CreateLightsAndLabels();
    skin::TCustomDIBContainer& FrontContainer();
    void ContainerPainted(skin::TCustomDIBContainer& container, const platform::Rect& area);
    // Whether the plug-in link exists; shows the crash text when not.
    bool CheckPlugin();
    void SetValueText(const std::string& text);
    void WriteAutomated(int index, float value);
    // The parameter a knob drives now: its Tag for a global knob, plus the offset of the selected channel
    // or LFO for the others.
    int KnobIndex(const skin::TDIBKnob& knob) const;
    // A knob's drag as one gesture for the host: begun on the knob's parameter, ended on the same one.
    void BeginGesture(const skin::TDIBKnob& knob);
    void EndGesture();
    // Writes values[i] (clamped) to parameter first + i where it differs from the effect's value, each
    // reported to the host (a paste, a preset load).
    void WriteChangedValues(int first, std::span<const float> values);
    void ServePresetLoad();
    void SelectLfoOfSource(int source);
    // The copy buttons of the channel and the LFO: the parameters from first on into clipboard, and back.
    void CopyParameters(int first, std::span<float> clipboard);
    void PasteParameters(int first, std::span<const float> clipboard);

    using ExclusiveRow = std::span<const std::unique_ptr<skin::TDIBGlyphButton>>;
    // A click on an exclusive row: every button goes up, the clicked one too (its own toggle then puts it
    // down).
    static void PutRowUp(ExclusiveRow row);
    // The refresh of an exclusive row: the button whose Tag is selected goes down, then every other
    // button that is down goes up. Never runs a click handler.
    static void SyncRow(ExclusiveRow row, int selected);
    void SyncKnob(skin::TDIBKnob& knob);
    void SyncOnOff(skin::TDIBGlyphButton& button, int index);
    void SaveTo(const std::string& chosen);

    EffectLink* effect_ = nullptr;
    int gesture_ = -1; // the parameter of the drag under way
    // Set while the refresh positions a knob: its change handler then shows the read-out but writes
    // nothing.
    bool positioning_ = false;
    bool aboutInFront_ = false;
    bool inMouseDown_ = false;
    platform::Rect requested_;
};

} // namespace editor
