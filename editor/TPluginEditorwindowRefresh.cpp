// The form's 50 ms refresh: it pulls every shown parameter out of the effect and brings the controls in
// line, in a fixed order. It writes no value: a knob given a new position runs its change handler for the
// read-out (and a source knob's choice of the LFO shown) only, and putting a button up or down never runs
// its click handler. So opening, idling and closing the editor leave every value and the host's state
// exactly as they were.
#include "editor/TPluginEditorwindow.h"

#include "engine/ParameterTable.h"
#include "host/Rounding.h"

namespace editor {

using engine::LfoKind;
using engine::LfoParameterIndex;
using engine::VoiceKind;
using engine::VoiceParameterIndex;
using skin::TDIBGlyphButton;
using skin::TDIBKnob;

namespace {

// A stored value as the position of its control: value x scale, to the nearest integer, halves to even.
int PositionOf(float value, double scale) {
    return host::RoundEvenDouble(static_cast<double>(value) * scale);
}

} // namespace

void TPluginEditorwindow::SyncKnob(TDIBKnob& knob) {
    const int p = PositionOf(Plugin->Parameter(KnobIndex(knob)), 100.0);
    if (p == knob.Position())
        return;
    // The change handler runs for the read-out; the value stays as the effect holds it.
    positioning_ = true;
    knob.SetPosition(p);
    positioning_ = false;
}

void TPluginEditorwindow::SyncOnOff(TDIBGlyphButton& button, int index) {
    const int r = PositionOf(Plugin->Parameter(index), 1.0);
    if (r == 0 && button.Down())
        button.SetDown(false);
    else if (r == 1 && !button.Down())
        button.SetDown(true);
}

void TPluginEditorwindow::PutRowUp(ExclusiveRow row) {
    for (const auto& b : row)
        b->SetDown(false);
}

void TPluginEditorwindow::SyncRow(ExclusiveRow row, int selected) {
    for (const auto& b : row)
        if (!b->Down() && selected == b->Tag)
            b->SetDown(true);
    for (const auto& b : row)
        if (b->Down() && selected != b->Tag)
            b->SetDown(false);
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

    for (TDIBKnob* knob : {DIBKnob5.get(), DIBKnob4.get(), DIBKnob2.get(), DIBKnob1.get()})
        SyncKnob(*knob);

    SyncOnOff(*DIBGlyphButton3, VoiceParameterIndex(SelectedChannel, VoiceKind::Pow));

    for (TDIBKnob* knob : {DIBKnob6.get(), DIBKnob12.get(), DIBKnob20.get(), DIBKnob7.get(), DIBKnob13.get(),
                           DIBKnob21.get(), DIBKnob8.get(), DIBKnob14.get(), DIBKnob9.get(), DIBKnob22.get()})
        SyncKnob(*knob);

    SyncRow(FilterButtons,
            PositionOf(Plugin->Parameter(VoiceParameterIndex(SelectedChannel, VoiceKind::FType)), 3.0));

    for (TDIBKnob* knob : {DIBKnob10.get(), DIBKnob15.get(), DIBKnob11.get(), DIBKnob23.get()})
        SyncKnob(*knob);

    // SelectedLfo is read for each knob: a source knob moved above may have changed it.
    for (TDIBKnob* knob : {DIBKnob16.get(), DIBKnob18.get(), DIBKnob3.get(), DIBKnob17.get()})
        SyncKnob(*knob);

    SyncOnOff(*DIBGlyphButton6, LfoParameterIndex(SelectedLfo, LfoKind::HostSync));
    SyncRow(SyncButtons, PositionOf(Plugin->Parameter(LfoParameterIndex(SelectedLfo, LfoKind::SyncIx)), 7.0));

    TDIBGlyphButton& lfoButton = *LfoButtons[SelectedLfo];
    if (!lfoButton.Down())
        lfoButton.SetDown(true);
}

} // namespace editor
