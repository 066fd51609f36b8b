// The control handlers of the editor form: what each control writes into the effect's parameters and
// shows in the value read-out. One handler serves a family of controls, told apart by their Tag.
#include "editor/TPluginEditorwindow.h"

#include "editor/Readouts.h"
#include "engine/ParameterTable.h"

namespace editor {

using engine::LfoKind;
using engine::LfoParameterIndex;
using engine::VoiceKind;
using engine::VoiceParameterIndex;
using platform::Rect;
using skin::TComponent;
using skin::TDIBGlyphButton;
using skin::TDIBKnob;

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
    WriteAutomated(KnobIndex(*knob), static_cast<float>(p / 100.0));
    SetValueText(std::to_string(p));
}

void TPluginEditorwindow::DIBKnob6Change(TComponent* sender) {
    auto* knob = dynamic_cast<TDIBKnob*>(sender);
    if (knob == nullptr || !CheckPlugin())
        return;
    const int p = knob->Position();
    const int tag = knob->Tag;
    WriteAutomated(KnobIndex(*knob), static_cast<float>(p / 100.0));
    const float bufferSize = Plugin->Parameter(0);
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
    PutRowUp(LfoButtons);
}

void TPluginEditorwindow::DIBKnob16Change(TComponent* sender) {
    auto* knob = dynamic_cast<TDIBKnob*>(sender);
    if (knob == nullptr || !CheckPlugin())
        return;
    const int p = knob->Position();
    const int tag = knob->Tag;
    WriteAutomated(KnobIndex(*knob), static_cast<float>(p / 100.0));
    const bool hostSync = Plugin->Parameter(LfoParameterIndex(SelectedLfo, LfoKind::HostSync)) != 0.0f;
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
    PutRowUp(ChannelButtons);
}

void TPluginEditorwindow::DIBGlyphButton25Click(TComponent* sender) {
    if (!CheckPlugin())
        return;
    SelectedLfo = static_cast<std::uint8_t>(sender->Tag);
    PutRowUp(LfoButtons);
}

void TPluginEditorwindow::DIBGlyphButton33Click(TComponent* sender) {
    if (!CheckPlugin())
        return;
    PutRowUp(SyncButtons);
    WriteAutomated(LfoParameterIndex(SelectedLfo, LfoKind::SyncIx), static_cast<float>(sender->Tag / 7.0));
}

void TPluginEditorwindow::DIBGlyphButton7Click(TComponent* sender) {
    auto* clicked = dynamic_cast<TDIBGlyphButton*>(sender);
    if (clicked == nullptr || !CheckPlugin())
        return;
    const int kind = clicked->Down() ? 0 : clicked->Tag;
    for (auto& b : FilterButtons)
        if (b.get() != clicked)
            b->SetDown(false);
    WriteAutomated(VoiceParameterIndex(SelectedChannel, VoiceKind::FType), static_cast<float>(kind / 3.0));
}

void TPluginEditorwindow::DIBGlyphButton3Click(TComponent* sender) {
    auto* button = dynamic_cast<TDIBGlyphButton*>(sender);
    if (button == nullptr || !CheckPlugin())
        return;
    const bool wasDown = button->Down();
    WriteAutomated(VoiceParameterIndex(SelectedChannel, VoiceKind::Pow), wasDown ? 0.0f : 1.0f);
    SetValueText(wasDown ? "Off" : "On");
}

void TPluginEditorwindow::DIBGlyphButton6Click(TComponent* sender) {
    auto* button = dynamic_cast<TDIBGlyphButton*>(sender);
    if (button == nullptr || !CheckPlugin())
        return;
    const bool wasDown = button->Down();
    WriteAutomated(LfoParameterIndex(SelectedLfo, LfoKind::HostSync), wasDown ? 0.0f : 1.0f);
    SetValueText(wasDown ? "Host sync Off" : "Host sync On");
}

// Copy and paste of a channel or an LFO: the values, not a reference to the channel or LFO, so a paste
// after a change of selection writes them into the newly selected one. A paste is the user's change of
// every value it alters, each reported to the host.
void TPluginEditorwindow::CopyParameters(int first, std::span<float> clipboard) {
    Updating = true;
    for (std::size_t i = 0; i < clipboard.size(); ++i)
        clipboard[i] = Plugin->Parameter(first + static_cast<int>(i));
    Updating = false;
}

void TPluginEditorwindow::PasteParameters(int first, std::span<const float> clipboard) {
    WriteChangedValues(first, clipboard);
}

void TPluginEditorwindow::DIBGlyphButton1Click(TComponent*) {
    if (!CheckPlugin())
        return;
    CopyParameters(VoiceParameterIndex(SelectedChannel, VoiceKind::Pow), ChannelClipboard);
    // A pasted channel always gets the middle feedback.
    ChannelClipboard[static_cast<std::size_t>(VoiceKind::Feeds)] = 0.5f;
}

void TPluginEditorwindow::DIBGlyphButton2Click(TComponent*) {
    if (CheckPlugin())
        PasteParameters(VoiceParameterIndex(SelectedChannel, VoiceKind::Pow), ChannelClipboard);
}

void TPluginEditorwindow::DIBGlyphButton4Click(TComponent*) {
    if (CheckPlugin())
        CopyParameters(LfoParameterIndex(SelectedLfo, LfoKind::Shape), LfoClipboard);
}

void TPluginEditorwindow::DIBGlyphButton5Click(TComponent*) {
    if (CheckPlugin())
        PasteParameters(LfoParameterIndex(SelectedLfo, LfoKind::Shape), LfoClipboard);
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

} // namespace editor
