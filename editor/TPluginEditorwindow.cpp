#include "editor/TPluginEditorwindow.h"

#include "editor/Readouts.h"
#include "engine/FastMath.h"
#include "host/TVstTemplate.h"
#include "platform/MessageBox.h"
#include "presets/FxpFile.h"
#include "presets/PresetFolder.h"
#include "skin/images/SkinImageList.h"
#include "skin/text/DefaultFont.h"
#include "skin/text/TextRenderer.h"

#include <algorithm>
#include <cstring>

namespace editor {

using platform::MouseButton;
using platform::Point;
using platform::Rect;
using platform::ShiftState;
using skin::TComponent;
using skin::TDIBGlyphButton;
using skin::TDIBKnob;

namespace {

// Indexes of the skin pictures in the image list.
constexpr int kImageBackground = 0;
constexpr int kImageGlobalKnob = 1;
constexpr int kImageKnob = 2;
constexpr int kImageCopy = 3;
constexpr int kImagePaste = 4;
constexpr int kImageOnOff = 5;
constexpr int kImageFilter1 = 6;
constexpr int kImageDigit1 = 9;
constexpr int kImageLight = 17;
constexpr int kImageAbout = 18;

enum KnobFamily { kGlobalKnob, kChannelKnob, kLfoKnob };

// Parameter index layout: voice v, kind k at 5 + 16 v + k; LFO l, kind k at 133 + 6 l + k.
constexpr int kPowIndex = 5;
constexpr int kFTypeIndex = 12;
constexpr int kChannelFirst = 5;
constexpr int kHostSyncIndex = 134;
constexpr int kSyncIxIndex = 136;
constexpr int kLfoFirst = 133;

constexpr const char* kImageCompressorName = "{BC0C10FC-E045-41E7-A37C-B86AF21320B8}";
constexpr const char* kCaption = "VorelanEn2";

int PositionOf(float value, double scale) {
    return engine::RoundEvenDouble(static_cast<double>(value) * scale);
}

} // namespace

TPluginEditorwindow::TPluginEditorwindow(void* parentWindow, platform::WindowFactory& factory)
    : DIBImageContainer1(this), DIBContainer1(this), DIBImageList1(this), DIBSettings1(this) {
    Name = "PluginEditorwindow";
    picture_.SetSize(kClientWidth, kClientHeight);
    picture_.Fill(skin::ColorToPixel(kFormColor));
    CreateControls();

    window_ = factory.CreateEditorWindow(parentWindow, kClientWidth, kClientHeight, *this);
    if (!window_)
        return;
    DIBContainer1.SetCursorService(&window_->SystemCursor());
    DIBImageContainer1.SetCursorService(&window_->SystemCursor());
    window_->SetPicture(platform::PixelPicture{picture_.Bits(), picture_.Width(), picture_.Height()});
    window_->Invalidate(Rect::FromSize(0, 0, kClientWidth, kClientHeight));
    window_->StartTimer(kTimerInterval);
}

TPluginEditorwindow::~TPluginEditorwindow() {
    if (window_)
        window_->StopTimer();
    HoverControl = nullptr;
}

// ---------------------------------------------------------------- construction

TDIBKnob* TPluginEditorwindow::MakeKnob(std::unique_ptr<TDIBKnob>& slot, const char* name, int tag,
                                        const char* hint, int image, int frames, int left, int top,
                                        bool tweens, int kind) {
    slot = std::make_unique<TDIBKnob>(&DIBContainer1);
    TDIBKnob& k = *slot;
    k.Name = name;
    k.Tag = tag;
    k.Hint = hint;
    k.SetDIBImageList(&DIBImageList1);
    k.IndexMain.SetDIBIndex(image);
    k.SetNumGlyphs(frames);
    k.SetMin(0);
    k.SetMax(100);
    k.SetPosition(64);
    k.SetSmallChange(1);
    k.SetPageSize(5);
    k.SetOrientation(skin::TKnobOrientation::koVertical);
    k.SetUseFineTune(false);
    k.SetDrawTweens(tweens);
    k.Cursor = platform::CursorShape::SizeNS;
    const bool global = image == kImageGlobalKnob;
    k.SetBounds(left, top, global ? 48 : 65, global ? 48 : 39);
    k.OnMouseMove = [this](TComponent* sender, ShiftState, int, int) { DIBImage8MouseMove(sender); };
    // Attached last, so the start position raises nothing.
    switch (kind) {
    case kGlobalKnob:
        k.OnChange = [this](TComponent* sender) { DIBKnob2Change(sender); };
        break;
    case kChannelKnob:
        k.OnChange = [this](TComponent* sender) { DIBKnob6Change(sender); };
        break;
    default:
        k.OnChange = [this](TComponent* sender) { DIBKnob16Change(sender); };
        break;
    }
    return slot.get();
}

TDIBGlyphButton* TPluginEditorwindow::MakeButton(std::unique_ptr<TDIBGlyphButton>& slot, std::string name,
                                                 int tag, int image, int left, int top, bool toggles,
                                                 const char* hint) {
    slot = std::make_unique<TDIBGlyphButton>(&DIBContainer1);
    TDIBGlyphButton& b = *slot;
    b.Name = std::move(name);
    b.Tag = tag;
    b.Hint = hint;
    b.SetDIBImageList(&DIBImageList1);
    b.Glyph.SetDIBIndex(image);
    b.SetNumGlyphs(2);
    b.SetToggleDown(toggles);
    int width = 23;
    int height = 16;
    if (image == kImageCopy || image == kImagePaste) {
        width = 18;
        height = 15;
    } else if (image == kImageOnOff) {
        width = 27;
        height = 25;
    } else if (image < kImageDigit1) {
        width = 27;
    }
    b.SetBounds(left, top, width, height);
    b.OnMouseMove = [this](TComponent* sender, ShiftState, int, int) { DIBImage8MouseMove(sender); };
    b.Loaded();
    return slot.get();
}

void TPluginEditorwindow::CreateControls() {
    skin::images::FillImageList(DIBImageList1);
    DIBSettings1.ImageCompressor = kImageCompressorName;

    DIBImageContainer1.Name = "DIBImageContainer1";
    DIBImageContainer1.SetBounds(0, 0, kClientWidth, kClientHeight);
    DIBImageContainer1.SetDIBImageList(&DIBImageList1);
    DIBImageContainer1.IndexImage.SetDIBIndex(kImageAbout);
    DIBImageContainer1.SetTileMethod(skin::TTileMethod::tmCenter);
    DIBImageContainer1.SetColor(kFormColor);
    DIBImageContainer1.SetVisible(false);
    DIBImageContainer1.OnClick = [this](TComponent* sender) { DIBImageContainer1Click(sender); };

    DIBContainer1.Name = "DIBContainer1";
    DIBContainer1.SetBounds(0, 0, kClientWidth, 307);
    DIBContainer1.SetColor(kFormColor);

    for (skin::TCustomDIBContainer* c : {static_cast<skin::TCustomDIBContainer*>(&DIBImageContainer1),
                                         static_cast<skin::TCustomDIBContainer*>(&DIBContainer1)}) {
        c->OnInvalidate = [this](skin::TCustomDIBContainer& container) {
            if (window_ && &container == &FrontContainer())
                window_->Invalidate(container.DirtyRect());
        };
        c->OnPainted = [this](skin::TCustomDIBContainer& container, const Rect& area) {
            ContainerPainted(container, area);
        };
    }

    DIBImage1 = std::make_unique<skin::TDIBImage>(&DIBContainer1);
    DIBImage1->Name = "DIBImage1";
    DIBImage1->SetDIBImageList(&DIBImageList1);
    DIBImage1->IndexMain.SetDIBIndex(kImageBackground);
    DIBImage1->SetScale(100);
    DIBImage1->SetAlign(skin::TAlign::alClient);

    // Global knobs, 65 frames of 48 x 48.
    MakeKnob(DIBKnob1, "DIBKnob1", 0, "Recording buffer size", kImageGlobalKnob, 65, 10, 128, false,
             kGlobalKnob);
    MakeKnob(DIBKnob5, "DIBKnob5", 1, "Mix ratio", kImageGlobalKnob, 65, 718, 128, false, kGlobalKnob);
    MakeKnob(DIBKnob4, "DIBKnob4", 2, "Output gain", kImageGlobalKnob, 65, 718, 56, false, kGlobalKnob);
    MakeKnob(DIBKnob2, "DIBKnob2", 3, "Input gain", kImageGlobalKnob, 65, 10, 56, false, kGlobalKnob);
    // Channel knobs, 64 frames of 65 x 39; Tag = 16 x 0 + 5 + kind.
    MakeKnob(DIBKnob6, "DIBKnob6", 6, "Delay", kImageKnob, 64, 105, 61, false, kChannelKnob);
    MakeKnob(DIBKnob12, "DIBKnob12", 7, "Delay modulation source", kImageKnob, 64, 105, 132, false,
             kChannelKnob);
    MakeKnob(DIBKnob20, "DIBKnob20", 8, "Delay modulation amount", kImageKnob, 64, 171, 61, false,
             kChannelKnob);
    MakeKnob(DIBKnob7, "DIBKnob7", 9, "Stereo position", kImageKnob, 64, 247, 61, false, kChannelKnob);
    MakeKnob(DIBKnob13, "DIBKnob13", 10, "Stereo position modulation source", kImageKnob, 64, 248, 132, false,
             kChannelKnob);
    MakeKnob(DIBKnob21, "DIBKnob21", 11, "Stereo position modulation amount", kImageKnob, 64, 304, 61, false,
             kChannelKnob);
    MakeKnob(DIBKnob8, "DIBKnob8", 13, "Filter cutoff frequency", kImageKnob, 64, 388, 61, false,
             kChannelKnob);
    MakeKnob(DIBKnob14, "DIBKnob14", 14, "Filter cutoff frequency modulation source", kImageKnob, 64, 388,
             131, true, kChannelKnob);
    MakeKnob(DIBKnob9, "DIBKnob9", 15, "Filter cutoff frequency modulation amount", kImageKnob, 64, 446, 61,
             false, kChannelKnob);
    MakeKnob(DIBKnob22, "DIBKnob22", 16, "Filter resonnance", kImageKnob, 64, 446, 131, true, kChannelKnob);
    MakeKnob(DIBKnob10, "DIBKnob10", 17, "Amplitude", kImageKnob, 64, 528, 61, false, kChannelKnob);
    MakeKnob(DIBKnob15, "DIBKnob15", 18, "Amplitude modulation source", kImageKnob, 64, 527, 132, false,
             kChannelKnob);
    MakeKnob(DIBKnob11, "DIBKnob11", 19, "Amplitude modulation amount", kImageKnob, 64, 592, 61, false,
             kChannelKnob);
    MakeKnob(DIBKnob23, "DIBKnob23", 20, "Amount of reinjection into the recording buffer", kImageKnob, 64,
             592, 132, false, kChannelKnob);
    // LFO knobs; Tag = 133 + kind.
    MakeKnob(DIBKnob18, "DIBKnob18", 133, "LFO shape", kImageKnob, 64, 227, 230, false, kLfoKnob);
    MakeKnob(DIBKnob16, "DIBKnob16", 135, "LFO frequency", kImageKnob, 64, 106, 230, false, kLfoKnob);
    MakeKnob(DIBKnob17, "DIBKnob17", 137, "LFO value on resynchronisation", kImageKnob, 64, 548, 230, false,
             kLfoKnob);
    MakeKnob(DIBKnob3, "DIBKnob3", 138, "LFO shape smoothing", kImageKnob, 64, 293, 230, false, kLfoKnob);

    MakeButton(DIBGlyphButton1, "DIBGlyphButton1", 0, kImageCopy, 601, 4, false, "Copy channel settings")
        ->OnClick = [this](TComponent* s) { DIBGlyphButton1Click(s); };
    MakeButton(DIBGlyphButton2, "DIBGlyphButton2", 0, kImagePaste, 616, 4, false,
               "Paste copied channel settings")
        ->OnClick = [this](TComponent* s) { DIBGlyphButton2Click(s); };
    MakeButton(DIBGlyphButton3, "DIBGlyphButton3", 0, kImageOnOff, 663, 62, true, "Activate the channel")
        ->OnClick = [this](TComponent* s) { DIBGlyphButton3Click(s); };
    for (int k = 0; k < 3; ++k)
        MakeButton(FilterButtons[static_cast<std::size_t>(k)], "DIBGlyphButton" + std::to_string(7 + k),
                   k + 1, kImageFilter1 + k, 343, 124 + 16 * k, true, "select the filter kind")
            ->OnClick = [this](TComponent* s) { DIBGlyphButton7Click(s); };
    for (int t = 0; t < 8; ++t)
        MakeButton(ChannelButtons[static_cast<std::size_t>(t)], "DIBGlyphButton" + std::to_string(10 + t), t,
                   kImageDigit1 + t, 240 + 20 * t, 4, true, "Select the channel to edit")
            ->OnClick = [this](TComponent* s) { DIBGlyphButton10Click(s); };
    MakeButton(DIBGlyphButton4, "DIBGlyphButton4", 0, kImageCopy, 600, 189, false, "copy lfo settings")
        ->OnClick = [this](TComponent* s) { DIBGlyphButton4Click(s); };
    MakeButton(DIBGlyphButton5, "DIBGlyphButton5", 0, kImagePaste, 616, 189, false,
               "Paste copied lfo settings")
        ->OnClick = [this](TComponent* s) { DIBGlyphButton5Click(s); };
    MakeButton(DIBGlyphButton6, "DIBGlyphButton6", 0, kImageOnOff, 170, 236, true,
               "Activate the lfo synchronisation to the host tempo")
        ->OnClick = [this](TComponent* s) { DIBGlyphButton6Click(s); };
    for (int t = 0; t < 8; ++t)
        MakeButton(LfoButtons[static_cast<std::size_t>(t)],
                   t == 0 ? std::string("DIBGlyphButton25") : "DIBGlyphButton" + std::to_string(17 + t), t,
                   kImageDigit1 + t, 240 + 20 * t, 189, true, "Select the lfo to edit")
            ->OnClick = [this](TComponent* s) { DIBGlyphButton25Click(s); };
    for (int t = 0; t < 8; ++t)
        MakeButton(SyncButtons[static_cast<std::size_t>(t)],
                   t == 0 ? std::string("DIBGlyphButton33") : "DIBGlyphButton" + std::to_string(25 + t), t,
                   kImageDigit1 + t, 364 + 20 * t, 240, true, "Select the resync source")
            ->OnClick = [this](TComponent* s) { DIBGlyphButton33Click(s); };

    for (int k = 0; k < 8; ++k) {
        auto& light = LfoLights[static_cast<std::size_t>(k)];
        light = std::make_unique<skin::TDIBImage>(&DIBContainer1);
        light->Name = "DIBImage" + std::to_string(12 + k);
        light->Hint = "lfo " + std::to_string(k + 1) + " value";
        light->SetDIBImageList(&DIBImageList1);
        light->IndexMain.SetDIBIndex(kImageLight);
        light->SetScale(100);
        light->SetBounds(364 + 20 * k, 256, 23, 7);
        light->OnMouseMove = [this](TComponent* sender, ShiftState, int, int) { DIBImage8MouseMove(sender); };
    }

    InfoBox = std::make_unique<TEditorLabel>(&DIBContainer1);
    InfoBox->Name = "InfoBox";
    InfoBox->SetBounds(130, 285, 299, 14);
    InfoBox->FontColor = kFormColor;

    ValueBox = std::make_unique<TEditorLabel>(&DIBContainer1);
    ValueBox->Name = "ValueBox";
    ValueBox->SetBounds(426, 285, 200, 13);
    ValueBox->FontColor = kFormColor;
    ValueBox->Layout = TEditorLabel::TTextLayout::tlCenter;

    Image1 = std::make_unique<skin::TCustomDIBControl>(&DIBContainer1);
    Image1->Name = "Image1";
    Image1->SetBounds(686, 177, 94, 128);
    Image1->OnClick = [this](TComponent* sender) { Image1Click(sender); };

    Image2 = std::make_unique<skin::TCustomDIBControl>(&DIBContainer1);
    Image2->Name = "Image2";
    Image2->SetBounds(704, 4, 76, 20);
    Image2->Hint = "Flush recording buffers on double click (panic reset)";
    Image2->OnDblClick = [this](TComponent* sender) { Label1DblClick(sender); };
    Image2->OnMouseMove = [this](TComponent* sender, ShiftState, int, int) { DIBImage8MouseMove(sender); };
}

// ---------------------------------------------------------------- window

void TPluginEditorwindow::PostAttachMessage(host::AudioEffect& effect) {
    if (window_)
        window_->PostWindowMessage(host::kEditorAttachMessage, reinterpret_cast<std::uintptr_t>(&effect), 0);
}

void TPluginEditorwindow::Idle() {
    if (window_)
        window_->Idle();
}

skin::TCustomDIBContainer& TPluginEditorwindow::FrontContainer() {
    if (aboutInFront_)
        return DIBImageContainer1;
    return DIBContainer1;
}

void TPluginEditorwindow::ContainerPainted(skin::TCustomDIBContainer& container, const Rect& area) {
    if (&container != &FrontContainer())
        return;
    const Rect r =
        area.Intersect(Rect::FromSize(0, 0, kClientWidth, kClientHeight))
            .Intersect(Rect::FromSize(0, 0, container.Picture().Width(), container.Picture().Height()));
    if (r.Empty())
        return;
    for (int y = r.top; y < r.bottom; ++y)
        std::memcpy(picture_.ScanLine(y) + r.left, container.Picture().ScanLine(y) + r.left,
                    static_cast<std::size_t>(r.Width()) * sizeof(skin::TPixel32));
    // What was painted beyond the area the window asked for is shown at its next paint.
    if (window_ && r.Intersect(requested_) != r)
        window_->Invalidate(r);
}

void TPluginEditorwindow::UpdatePicture() {
    FrontContainer().Update();
}

void TPluginEditorwindow::Paint(const Rect& area) {
    requested_ = area;
    UpdatePicture();
    requested_ = {};
}

void TPluginEditorwindow::MouseDown(MouseButton button, ShiftState shift, Point client) {
    if (window_ && button == MouseButton::Left)
        window_->CaptureMouse();
    FrontContainer().MouseDown(button, shift, client.x, client.y);
}

void TPluginEditorwindow::DoubleClick(MouseButton button, ShiftState shift, Point client) {
    shift.doubleClick = true;
    MouseDown(button, shift, client);
}

void TPluginEditorwindow::MouseMove(ShiftState shift, Point client) {
    FrontContainer().MouseMove(shift, client.x, client.y);
}

void TPluginEditorwindow::MouseUp(MouseButton button, ShiftState shift, Point client) {
    skin::TCustomDIBContainer& front = FrontContainer();
    front.MouseUp(button, shift, client.x, client.y);
    if (window_ && !shift.left && !shift.right && !shift.middle)
        window_->ReleaseMouse();
    // The preset menu is the context menu of the panel with the controls.
    if (button == MouseButton::Right && &front == &DIBContainer1 && !aboutInFront_)
        ShowPresetMenu(client);
}

void TPluginEditorwindow::MouseLeave() {
    FrontContainer().MouseLeave();
}

void TPluginEditorwindow::KeyDown(platform::KeyCode key, ShiftState shift) {
    FrontContainer().KeyDown(key, shift);
}

void TPluginEditorwindow::KeyUp(platform::KeyCode key, ShiftState shift) {
    FrontContainer().KeyUp(key, shift);
}

void TPluginEditorwindow::CaptureLost() {
    DIBContainer1.CaptureLost();
    DIBImageContainer1.CaptureLost();
}

void TPluginEditorwindow::FocusLost() {
    DIBContainer1.FocusLost();
    DIBImageContainer1.FocusLost();
}

void TPluginEditorwindow::PostedMessage(unsigned id, std::uintptr_t wParam, std::intptr_t) {
    if (id == host::kEditorAttachMessage)
        EditorAttachMessage(reinterpret_cast<host::AudioEffect*>(wParam));
}

// ---------------------------------------------------------------- attach

void TPluginEditorwindow::EditorAttachMessage(host::AudioEffect* effect) {
    PresetFolder = presets::PresetFolder();
    const std::string notice = presets::PendingOldFolderNotice();
    if (!notice.empty())
        platform::ShowMessageBox(kCaption, notice, platform::MessageIcon::Information);
    HoverControl = nullptr;
    Plugin = dynamic_cast<host::TVstTemplate*>(effect);
    Updating = false;
    DIBContainer1.SetColor(kFormColor);
    ChannelButtons[0]->SetDown(true);
    LfoButtons[0]->SetDown(true);
    RefreshFxps();
}

// ---------------------------------------------------------------- handlers

bool TPluginEditorwindow::CheckPlugin() {
    if (Plugin != nullptr)
        return true;
    SetValueText(std::string(kCrashText));
    return false;
}

void TPluginEditorwindow::SetValueText(const std::string& text) {
    ValueBox->SetCaption(text);
}

void TPluginEditorwindow::WriteAutomated(int index, float value) {
    Updating = true;
    Plugin->setParameterAutomated(index, value);
    Updating = false;
}

void TPluginEditorwindow::PutUp(TDIBGlyphButton* button) {
    if (button != nullptr)
        button->SetDown(false);
}

void TPluginEditorwindow::DIBImage8MouseMove(TComponent* sender) {
    if (!CheckPlugin())
        return;
    if (auto* control = dynamic_cast<skin::TCustomDIBControl*>(sender))
        HoverControl = control;
}

void TPluginEditorwindow::DIBKnob2Change(TComponent* sender) {
    auto* knob = dynamic_cast<TDIBKnob*>(sender);
    if (knob == nullptr || !CheckPlugin())
        return;
    const int p = knob->Position();
    WriteAutomated(knob->Tag, static_cast<float>(p / 100.0));
    SetValueText(std::to_string(p));
}

void TPluginEditorwindow::DIBKnob6Change(TComponent* sender) {
    auto* knob = dynamic_cast<TDIBKnob*>(sender);
    if (knob == nullptr || !CheckPlugin())
        return;
    const int p = knob->Position();
    const int tag = knob->Tag;
    Updating = true;
    Plugin->setParameterAutomated(16 * SelectedChannel + tag, static_cast<float>(p / 100.0));
    const float bufferSize = Plugin->getParameter(0);
    Updating = false;
    switch (tag) {
    case 6:
        SetValueText(DelayReadout(bufferSize, p, SampleRate, Tempo));
        break;
    case 7:
    case 10:
    case 14:
    case 18: {
        const int s = SourceIndex(p);
        SetValueText(std::string(SourceNames[static_cast<std::size_t>(s)]));
        SelectLfoOfSource(s);
        break;
    }
    case 9:
        SetValueText(PanReadout(p));
        break;
    case 13:
        SetValueText(FreqReadout(p));
        break;
    case 17:
        SetValueText(AmpReadout(p));
        break;
    case 20:
        SetValueText(FeedsReadout(p));
        break;
    default: // the amounts and the resonance
        SetValueText(std::to_string(p));
        break;
    }
}

void TPluginEditorwindow::SelectLfoOfSource(int source) {
    SelectedLfo = static_cast<std::uint8_t>(source);
    TDIBGlyphButton* button = LfoButtons[static_cast<std::size_t>(source)].get();
    if (button->Down())
        return;
    // As a click on that LFO's selector would, short of its toggle: the refresh puts it down.
    SelectedLfo = static_cast<std::uint8_t>(button->Tag);
    for (auto& b : LfoButtons)
        PutUp(b.get());
}

void TPluginEditorwindow::DIBKnob16Change(TComponent* sender) {
    auto* knob = dynamic_cast<TDIBKnob*>(sender);
    if (knob == nullptr || !CheckPlugin())
        return;
    const int p = knob->Position();
    const int tag = knob->Tag;
    Updating = true;
    Plugin->setParameterAutomated(6 * SelectedLfo + tag, static_cast<float>(p / 100.0));
    const bool hostSync = Plugin->getParameter(kHostSyncIndex + 6 * SelectedLfo) != 0.0f;
    Updating = false;
    switch (tag) {
    case 133:
        SetValueText(std::string(ShapeNames[static_cast<std::size_t>(ShapeIndex(p))]));
        break;
    case 135:
        SetValueText(LfoFreqReadout(p, hostSync));
        break;
    case 137:
        SetValueText(std::to_string(p - 50));
        break;
    case 138:
        SetValueText(SmoothReadout(p));
        break;
    default:
        break;
    }
}

void TPluginEditorwindow::DIBGlyphButton10Click(TComponent* sender) {
    if (!CheckPlugin())
        return;
    SelectedChannel = static_cast<std::uint8_t>(sender->Tag);
    // Every button of the row goes up, the clicked one too: its own toggle then puts it down.
    for (auto& b : ChannelButtons)
        PutUp(b.get());
}

void TPluginEditorwindow::DIBGlyphButton25Click(TComponent* sender) {
    if (!CheckPlugin())
        return;
    SelectedLfo = static_cast<std::uint8_t>(sender->Tag);
    for (auto& b : LfoButtons)
        PutUp(b.get());
}

void TPluginEditorwindow::DIBGlyphButton33Click(TComponent* sender) {
    if (!CheckPlugin())
        return;
    for (auto& b : SyncButtons)
        PutUp(b.get());
    WriteAutomated(kSyncIxIndex + 6 * SelectedLfo, static_cast<float>(sender->Tag / 7.0));
}

void TPluginEditorwindow::DIBGlyphButton7Click(TComponent* sender) {
    auto* clicked = dynamic_cast<TDIBGlyphButton*>(sender);
    if (clicked == nullptr || !CheckPlugin())
        return;
    const int kind = clicked->Down() ? 0 : clicked->Tag;
    for (auto& b : FilterButtons)
        if (b.get() != clicked)
            PutUp(b.get());
    WriteAutomated(kFTypeIndex + 16 * SelectedChannel, static_cast<float>(kind / 3.0));
}

void TPluginEditorwindow::DIBGlyphButton3Click(TComponent* sender) {
    auto* button = dynamic_cast<TDIBGlyphButton*>(sender);
    if (button == nullptr || !CheckPlugin())
        return;
    const bool wasDown = button->Down();
    WriteAutomated(kPowIndex + 16 * SelectedChannel, wasDown ? 0.0f : 1.0f);
    SetValueText(wasDown ? "Off" : "On");
}

void TPluginEditorwindow::DIBGlyphButton6Click(TComponent* sender) {
    auto* button = dynamic_cast<TDIBGlyphButton*>(sender);
    if (button == nullptr || !CheckPlugin())
        return;
    const bool wasDown = button->Down();
    WriteAutomated(kHostSyncIndex + 6 * SelectedLfo, wasDown ? 0.0f : 1.0f);
    SetValueText(wasDown ? "Host sync Off" : "Host sync On");
}

void TPluginEditorwindow::DIBGlyphButton1Click(TComponent*) {
    if (!CheckPlugin())
        return;
    Updating = true;
    for (int i = 0; i < 16; ++i)
        ChannelClipboard[static_cast<std::size_t>(i)] =
            Plugin->getParameter(kChannelFirst + 16 * SelectedChannel + i);
    Updating = false;
    // A pasted channel always gets the middle feedback.
    ChannelClipboard[15] = 0.5f;
}

void TPluginEditorwindow::DIBGlyphButton2Click(TComponent*) {
    if (!CheckPlugin())
        return;
    Updating = true;
    for (int i = 0; i < 16; ++i)
        Plugin->setParameter(kChannelFirst + 16 * SelectedChannel + i,
                             ChannelClipboard[static_cast<std::size_t>(i)]);
    Updating = false;
}

void TPluginEditorwindow::DIBGlyphButton4Click(TComponent*) {
    if (!CheckPlugin())
        return;
    Updating = true;
    for (int i = 0; i < 6; ++i)
        LfoClipboard[static_cast<std::size_t>(i)] = Plugin->getParameter(kLfoFirst + 6 * SelectedLfo + i);
    Updating = false;
}

void TPluginEditorwindow::DIBGlyphButton5Click(TComponent*) {
    if (!CheckPlugin())
        return;
    Updating = true;
    for (int i = 0; i < 6; ++i)
        Plugin->setParameter(kLfoFirst + 6 * SelectedLfo + i, LfoClipboard[static_cast<std::size_t>(i)]);
    Updating = false;
}

void TPluginEditorwindow::Image1Click(TComponent*) {
    DIBContainer1.CaptureLost();
    DIBImageContainer1.SetVisible(true);
    aboutInFront_ = true;
    DIBImageContainer1.Invalidate();
    if (window_)
        window_->Invalidate(Rect::FromSize(0, 0, kClientWidth, kClientHeight));
}

void TPluginEditorwindow::DIBImageContainer1Click(TComponent*) {
    if (!CheckPlugin())
        return;
    DIBImageContainer1.SetVisible(false);
    aboutInFront_ = false;
    DIBContainer1.Invalidate();
    if (window_)
        window_->Invalidate(Rect::FromSize(0, 0, kClientWidth, kClientHeight));
}

void TPluginEditorwindow::Label1DblClick(TComponent*) {
    PanicRequest = true;
}

// ---------------------------------------------------------------- refresh

void TPluginEditorwindow::SyncKnob(TDIBKnob& knob, int index) {
    const int p = PositionOf(Plugin->getParameter(index), 100.0);
    // A new position runs the knob's change handler, which writes p / 100 back.
    if (p != knob.Position())
        knob.SetPosition(p);
}

void TPluginEditorwindow::SyncOnOff(TDIBGlyphButton& button, int index) {
    const int r = PositionOf(Plugin->getParameter(index), 1.0);
    if (r == 0 && button.Down())
        button.SetDown(false);
    else if (r == 1 && !button.Down())
        button.SetDown(true);
}

void TPluginEditorwindow::Timer1Timer() {
    for (std::size_t k = 0; k < LfoLights.size(); ++k)
        LfoLights[k]->SetOpacity(LfoLevels[k]);
    if (Updating)
        return;
    if (!CheckPlugin())
        return;
    if (HoverControl != nullptr)
        InfoBox->SetCaption(HoverControl->Hint);

    SyncKnob(*DIBKnob5, DIBKnob5->Tag);
    SyncKnob(*DIBKnob4, DIBKnob4->Tag);
    SyncKnob(*DIBKnob2, DIBKnob2->Tag);
    SyncKnob(*DIBKnob1, DIBKnob1->Tag);

    SyncOnOff(*DIBGlyphButton3, kPowIndex + 16 * SelectedChannel);

    for (TDIBKnob* knob : {DIBKnob6.get(), DIBKnob12.get(), DIBKnob20.get(), DIBKnob7.get(), DIBKnob13.get(),
                           DIBKnob21.get(), DIBKnob8.get(), DIBKnob14.get(), DIBKnob9.get(), DIBKnob22.get()})
        SyncKnob(*knob, 16 * SelectedChannel + knob->Tag);

    const int kind = PositionOf(Plugin->getParameter(kFTypeIndex + 16 * SelectedChannel), 3.0);
    for (auto& b : FilterButtons)
        if (!b->Down() && kind == b->Tag)
            b->SetDown(true);
    for (auto& b : FilterButtons)
        if (b->Down() && kind != b->Tag)
            b->SetDown(false);

    for (TDIBKnob* knob : {DIBKnob10.get(), DIBKnob15.get(), DIBKnob11.get(), DIBKnob23.get()})
        SyncKnob(*knob, 16 * SelectedChannel + knob->Tag);

    // SelectedLfo is read for each knob: a source knob moved above may have changed it.
    for (TDIBKnob* knob : {DIBKnob16.get(), DIBKnob18.get(), DIBKnob3.get(), DIBKnob17.get()})
        SyncKnob(*knob, 6 * SelectedLfo + knob->Tag);

    SyncOnOff(*DIBGlyphButton6, kHostSyncIndex + 6 * SelectedLfo);

    const int source = PositionOf(Plugin->getParameter(kSyncIxIndex + 6 * SelectedLfo), 7.0);
    for (auto& b : SyncButtons)
        if (!b->Down() && source == b->Tag)
            b->SetDown(true);
    for (auto& b : SyncButtons)
        if (b->Down() && source != b->Tag)
            b->SetDown(false);

    TDIBGlyphButton& lfoButton = *LfoButtons[SelectedLfo];
    if (!lfoButton.Down())
        lfoButton.SetDown(true);
}

// ---------------------------------------------------------------- preset menu

void TPluginEditorwindow::RefreshFxps() {
    PresetItems.clear();
    if (PresetFolder.empty())
        return;
    for (const std::string& name : presets::ListPresetNames(PresetFolder))
        PresetItems.push_back({name, name});
}

void TPluginEditorwindow::PopupMenu1Popup() {
    RefreshFxps();
}

std::vector<platform::MenuItem> TPluginEditorwindow::PopupMenu1Items() const {
    // The menu's own measure: the text cell plus a margin for entries, a thin band for the
    // separator, and one width for the whole menu from its widest caption.
    const skin::text::Font& font = skin::text::DefaultFont();
    const int itemHeight = skin::text::TextHeight(font) + 6;
    constexpr int kSeparatorHeight = 9;
    std::vector<platform::MenuItem> items;
    items.push_back({"Save as", 0, itemHeight});
    items.push_back({"-", 0, kSeparatorHeight});
    for (const TPresetItem& item : PresetItems)
        items.push_back({item.Caption, 0, itemHeight});
    int width = 80;
    for (const platform::MenuItem& item : items)
        width = std::max(width, skin::text::TextWidth(font, item.caption) + 32);
    for (platform::MenuItem& item : items)
        item.width = width;
    return items;
}

void TPluginEditorwindow::ShowPresetMenu(Point client) {
    if (!window_)
        return;
    PopupMenu1Popup();
    std::vector<platform::MenuItem> items = PopupMenu1Items();
    std::vector<std::string> captions;
    for (const platform::MenuItem& item : items)
        captions.push_back(item.caption);
    // The entries as listed now: the folder may be listed again before the choice arrives.
    std::vector<TPresetItem> entries = PresetItems;
    window_->ShowPopupMenu(
        items, window_->ClientToScreen(client),
        [captions](int index, const platform::PixelPicture& canvas, bool selected) {
            if (index >= 0 && index < static_cast<int>(captions.size()))
                Saveas1DrawItem(captions[static_cast<std::size_t>(index)], canvas, selected);
        },
        [this, entries](int index) {
            if (index == 0)
                Saveas1Click();
            else if (index >= 2 && index - 2 < static_cast<int>(entries.size()))
                Open1Click(entries[static_cast<std::size_t>(index - 2)]);
        });
}

void TPluginEditorwindow::Open1Click(const TPresetItem& item) {
    if (PresetLoadRequest)
        return;
    PendingPreset = item.Hint;
    PresetLoadRequest = true;
}

void TPluginEditorwindow::Saveas1Click() {
    if (!window_ || !CheckPlugin())
        return;
    platform::SaveDialogOptions options;
    options.initialFolder = PresetFolder;
    options.fileName = SaveDialFileName;
    options.filter = "fxp|*.fxp";
    options.defaultExtension.clear();
    options.overwritePrompt = true;
    options.hideReadOnly = true;
    options.resizable = true;
    options.addToRecent = false;
    window_->ShowSaveDialog(options, [this](std::optional<std::string> path) {
        if (path && !path->empty())
            SaveTo(*path);
    });
}

void TPluginEditorwindow::SaveTo(const std::string& chosen) {
    std::string_view kept = chosen;
    if (kept.ends_with(presets::kFileExtension))
        kept.remove_suffix(presets::kFileExtension.size());
    SaveDialFileName = std::string(kept);
    if (Plugin == nullptr)
        return;
    const presets::SaveAsTarget target = presets::PlanSaveAs(chosen);
    presets::ParameterValues values{};
    for (int i = 0; i < presets::kParameterCount; ++i)
        values[static_cast<std::size_t>(i)] = Plugin->getParameter(i);
    if (!presets::WriteFxpFile(target.filePath, presets::WriteFxp(target.fieldName, values))) {
        // Nothing was saved, so the program keeps its name.
        platform::ShowMessageBox(kCaption,
                                 "The preset could not be saved as \"" + target.filePath +
                                     "\". Choose a folder where you may create files.",
                                 platform::MessageIcon::Error);
        return;
    }
    Plugin->CurrentProgram().SetName(target.programName);
}

void TPluginEditorwindow::Saveas1DrawItem(const std::string& caption, const platform::PixelPicture& canvas,
                                          bool selected) {
    if (canvas.bits == nullptr || canvas.width <= 0 || canvas.height <= 0)
        return;
    const skin::TColor background = selected ? kFormColor : kDarkColor;
    const skin::TColor text = selected ? kDarkColor : kFormColor;
    auto fill = [&canvas](int top, int bottom, skin::TColor color) {
        const skin::TPixel32 pixel = skin::ColorToPixel(color);
        for (int y = std::max(top, 0); y < std::min(bottom, canvas.height); ++y)
            std::fill_n(canvas.Row(y), canvas.width, pixel);
    };
    fill(0, canvas.height, background);
    if (caption == "-") {
        fill(3, canvas.height - 3, kFormColor);
        return;
    }
    const skin::text::PixelView view{reinterpret_cast<std::uint8_t*>(canvas.bits), canvas.width,
                                     canvas.height, canvas.width * 4, true};
    skin::text::DrawText(view, skin::text::DefaultFont(), 8, 2, caption, skin::text::Rgb::FromColorRef(text));
}

} // namespace editor
