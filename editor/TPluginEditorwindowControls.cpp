// The editor form's controls: the control map as tables that read like the form's own (component, tag,
// image, geometry, hint, handler), and the construction of the component tree from them. The order of
// the rows is the order of creation, which is the z-order on the panel.
#include "editor/TPluginEditorwindow.h"

#include "skin/images/SkinImageList.h"

#include <array>
#include <string>

namespace editor {

using platform::ShiftState;
using skin::TComponent;
using skin::TDIBGlyphButton;
using skin::TDIBKnob;

namespace {

using Form = TPluginEditorwindow;
using Handler = void (Form::*)(TComponent*);

// Indexes of the skin pictures in the image list.
constexpr int kImageBackground = 0;
constexpr int kImageCopy = 3;
constexpr int kImagePaste = 4;
constexpr int kImageOnOff = 5;
constexpr int kImageFilter1 = 6;
constexpr int kImageDigit1 = 9;
constexpr int kImageLight = 17;
constexpr int kImageAbout = 18;

constexpr const char* kImageCompressorName = "{BC0C10FC-E045-41E7-A37C-B86AF21320B8}";

// A knob's image strip: image list index, frames, and the size of one frame (the knob's size).
struct KnobStrip {
    int image;
    int frames;
    int width;
    int height;
};
constexpr KnobStrip kGlobalStrip{1, 65, 48, 48};
constexpr KnobStrip kKnobStrip{2, 64, 65, 39};

// Every knob: range 0..100, start position 64, small change 1, page size 5, vertical drag without fine
// tune. The Tag is the parameter index for channel 0, LFO 0 or the global index.
struct KnobRow {
    std::unique_ptr<TDIBKnob> Form::*component;
    const char* name;
    int tag;
    const char* hint;
    KnobStrip strip;
    bool tweens; // in-between frames drawn
    int left;
    int top;
    Handler change;
};

// clang-format off
constexpr std::array<KnobRow, 22> kKnobs{{
    {&Form::DIBKnob1,  "DIBKnob1",  0,   "Recording buffer size",                           kGlobalStrip, false, 10,  128, &Form::DIBKnob2Change},
    {&Form::DIBKnob5,  "DIBKnob5",  1,   "Mix ratio",                                       kGlobalStrip, false, 718, 128, &Form::DIBKnob2Change},
    {&Form::DIBKnob4,  "DIBKnob4",  2,   "Output gain",                                     kGlobalStrip, false, 718, 56,  &Form::DIBKnob2Change},
    {&Form::DIBKnob2,  "DIBKnob2",  3,   "Input gain",                                      kGlobalStrip, false, 10,  56,  &Form::DIBKnob2Change},
    {&Form::DIBKnob6,  "DIBKnob6",  6,   "Delay",                                           kKnobStrip,   false, 105, 61,  &Form::DIBKnob6Change},
    {&Form::DIBKnob12, "DIBKnob12", 7,   "Delay modulation source",                         kKnobStrip,   false, 105, 132, &Form::DIBKnob6Change},
    {&Form::DIBKnob20, "DIBKnob20", 8,   "Delay modulation amount",                         kKnobStrip,   false, 171, 61,  &Form::DIBKnob6Change},
    {&Form::DIBKnob7,  "DIBKnob7",  9,   "Stereo position",                                 kKnobStrip,   false, 247, 61,  &Form::DIBKnob6Change},
    {&Form::DIBKnob13, "DIBKnob13", 10,  "Stereo position modulation source",               kKnobStrip,   false, 248, 132, &Form::DIBKnob6Change},
    {&Form::DIBKnob21, "DIBKnob21", 11,  "Stereo position modulation amount",               kKnobStrip,   false, 304, 61,  &Form::DIBKnob6Change},
    {&Form::DIBKnob8,  "DIBKnob8",  13,  "Filter cutoff frequency",                         kKnobStrip,   false, 388, 61,  &Form::DIBKnob6Change},
    {&Form::DIBKnob14, "DIBKnob14", 14,  "Filter cutoff frequency modulation source",       kKnobStrip,   true,  388, 131, &Form::DIBKnob6Change},
    {&Form::DIBKnob9,  "DIBKnob9",  15,  "Filter cutoff frequency modulation amount",       kKnobStrip,   false, 446, 61,  &Form::DIBKnob6Change},
    {&Form::DIBKnob22, "DIBKnob22", 16,  "Filter resonnance",                               kKnobStrip,   true,  446, 131, &Form::DIBKnob6Change},
    {&Form::DIBKnob10, "DIBKnob10", 17,  "Amplitude",                                       kKnobStrip,   false, 528, 61,  &Form::DIBKnob6Change},
    {&Form::DIBKnob15, "DIBKnob15", 18,  "Amplitude modulation source",                     kKnobStrip,   false, 527, 132, &Form::DIBKnob6Change},
    {&Form::DIBKnob11, "DIBKnob11", 19,  "Amplitude modulation amount",                     kKnobStrip,   false, 592, 61,  &Form::DIBKnob6Change},
    {&Form::DIBKnob23, "DIBKnob23", 20,  "Amount of reinjection into the recording buffer", kKnobStrip,   false, 592, 132, &Form::DIBKnob6Change},
    {&Form::DIBKnob18, "DIBKnob18", 133, "LFO shape",                                       kKnobStrip,   false, 227, 230, &Form::DIBKnob16Change},
    {&Form::DIBKnob16, "DIBKnob16", 135, "LFO frequency",                                   kKnobStrip,   false, 106, 230, &Form::DIBKnob16Change},
    {&Form::DIBKnob17, "DIBKnob17", 137, "LFO value on resynchronisation",                  kKnobStrip,   false, 548, 230, &Form::DIBKnob16Change},
    {&Form::DIBKnob3,  "DIBKnob3",  138, "LFO shape smoothing",                             kKnobStrip,   false, 293, 230, &Form::DIBKnob16Change},
}};
// clang-format on

// Glyph buttons, two frames each. A row of several buttons is one entry: the button with Tag t (t from
// firstTag on) is named after numbers[i], i = t - firstTag, sits at left + stepX i, top + stepY i, and shows
// image + i. Toggling buttons flip their down state after the click handler has run.
using ButtonSlot = std::unique_ptr<TDIBGlyphButton>& (*)(Form&, int index);
struct ButtonRow {
    ButtonSlot component;
    std::array<int, 8> numbers; // DIBGlyphButton<number>
    int count;
    int firstTag;
    int image;
    int left;
    int top;
    int width;
    int height;
    int stepX;
    int stepY;
    bool toggles;
    Handler click;
    const char* hint;
};

// clang-format off
constexpr std::array<ButtonRow, 10> kButtons{{
    {[](Form& f, int) -> auto& { return f.DIBGlyphButton1; }, {1}, 1, 0, kImageCopy, 601, 4, 18, 15, 0, 0,
     false, &Form::DIBGlyphButton1Click, "Copy channel settings"},
    {[](Form& f, int) -> auto& { return f.DIBGlyphButton2; }, {2}, 1, 0, kImagePaste, 616, 4, 18, 15, 0, 0,
     false, &Form::DIBGlyphButton2Click, "Paste copied channel settings"},
    {[](Form& f, int) -> auto& { return f.DIBGlyphButton3; }, {3}, 1, 0, kImageOnOff, 663, 62, 27, 25, 0, 0,
     true, &Form::DIBGlyphButton3Click, "Activate the channel"},
    {[](Form& f, int i) -> auto& { return f.FilterButtons[static_cast<std::size_t>(i)]; }, {7, 8, 9}, 3, 1,
     kImageFilter1, 343, 124, 27, 16, 0, 16, true, &Form::DIBGlyphButton7Click, "select the filter kind"},
    {[](Form& f, int i) -> auto& { return f.ChannelButtons[static_cast<std::size_t>(i)]; },
     {10, 11, 12, 13, 14, 15, 16, 17}, 8, 0, kImageDigit1, 240, 4, 23, 16, 20, 0, true,
     &Form::DIBGlyphButton10Click, "Select the channel to edit"},
    {[](Form& f, int) -> auto& { return f.DIBGlyphButton4; }, {4}, 1, 0, kImageCopy, 600, 189, 18, 15, 0, 0,
     false, &Form::DIBGlyphButton4Click, "copy lfo settings"},
    {[](Form& f, int) -> auto& { return f.DIBGlyphButton5; }, {5}, 1, 0, kImagePaste, 616, 189, 18, 15, 0, 0,
     false, &Form::DIBGlyphButton5Click, "Paste copied lfo settings"},
    {[](Form& f, int) -> auto& { return f.DIBGlyphButton6; }, {6}, 1, 0, kImageOnOff, 170, 236, 27, 25, 0, 0,
     true, &Form::DIBGlyphButton6Click, "Activate the lfo synchronisation to the host tempo"},
    {[](Form& f, int i) -> auto& { return f.LfoButtons[static_cast<std::size_t>(i)]; },
     {25, 18, 19, 20, 21, 22, 23, 24}, 8, 0, kImageDigit1, 240, 189, 23, 16, 20, 0, true,
     &Form::DIBGlyphButton25Click, "Select the lfo to edit"},
    {[](Form& f, int i) -> auto& { return f.SyncButtons[static_cast<std::size_t>(i)]; },
     {33, 26, 27, 28, 29, 30, 31, 32}, 8, 0, kImageDigit1, 364, 240, 23, 16, 20, 0, true,
     &Form::DIBGlyphButton33Click, "Select the resync source"},
}};
// clang-format on

} // namespace

void TPluginEditorwindow::CreateControls() {
    skin::images::FillImageList(DIBImageList1);
    DIBSettings1.ImageCompressor = kImageCompressorName;
    CreateContainers();
    CreateKnobs();
    CreateButtons();
    CreateLightsAndLabels();
}

void TPluginEditorwindow::CreateContainers() {
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
        c->OnPainted = [this](skin::TCustomDIBContainer& container, const platform::Rect& area) {
            ContainerPainted(container, area);
        };
    }

    DIBImage1 = std::make_unique<skin::TDIBImage>(&DIBContainer1);
    DIBImage1->Name = "DIBImage1";
    DIBImage1->SetDIBImageList(&DIBImageList1);
    DIBImage1->IndexMain.SetDIBIndex(kImageBackground);
    DIBImage1->SetScale(100);
    DIBImage1->SetAlign(skin::TAlign::alClient);
}

void TPluginEditorwindow::CreateKnobs() {
    for (const KnobRow& row : kKnobs) {
        auto& slot = this->*row.component;
        slot = std::make_unique<TDIBKnob>(&DIBContainer1);
        TDIBKnob& k = *slot;
        k.Name = row.name;
        k.Tag = row.tag;
        k.Hint = row.hint;
        k.SetDIBImageList(&DIBImageList1);
        k.IndexMain.SetDIBIndex(row.strip.image);
        k.SetNumGlyphs(row.strip.frames);
        k.SetMin(0);
        k.SetMax(100);
        k.SetPosition(64);
        k.SetSmallChange(1);
        k.SetPageSize(5);
        k.SetOrientation(skin::TKnobOrientation::koVertical);
        k.SetUseFineTune(false);
        k.SetDrawTweens(row.tweens);
        k.Cursor = platform::CursorShape::SizeNS;
        k.SetBounds(row.left, row.top, row.strip.width, row.strip.height);
        k.OnMouseMove = [this](TComponent* sender, ShiftState, int, int) { DIBImage8MouseMove(sender); };
        k.OnDragStart = [this](TComponent* sender) { BeginGesture(static_cast<TDIBKnob&>(*sender)); };
        k.OnDragEnd = [this](TComponent*) { EndGesture(); };
        // Attached last, so the start position raises nothing.
        k.OnChange = [this, change = row.change](TComponent* sender) { (this->*change)(sender); };
    }
}

void TPluginEditorwindow::CreateButtons() {
    for (const ButtonRow& row : kButtons) {
        for (int i = 0; i < row.count; ++i) {
            auto& slot = row.component(*this, i);
            slot = std::make_unique<TDIBGlyphButton>(&DIBContainer1);
            TDIBGlyphButton& b = *slot;
            const int tag = row.firstTag + i;
            b.Name = "DIBGlyphButton" + std::to_string(row.numbers[static_cast<std::size_t>(i)]);
            b.Tag = tag;
            b.Hint = row.hint;
            b.SetDIBImageList(&DIBImageList1);
            b.Glyph.SetDIBIndex(row.image + i);
            b.SetNumGlyphs(2);
            b.SetToggleDown(row.toggles);
            b.SetBounds(row.left + row.stepX * i, row.top + row.stepY * i, row.width, row.height);
            b.OnMouseMove = [this](TComponent* sender, ShiftState, int, int) { DIBImage8MouseMove(sender); };
            b.Loaded();
            b.OnClick = [this, click = row.click](TComponent* sender) { (this->*click)(sender); };
        }
    }
}

void TPluginEditorwindow::CreateLightsAndLabels() {
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

} // namespace editor
