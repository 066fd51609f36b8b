#include "editor/TPluginEditorwindow.h"

#include "editor/Readouts.h"
#include "engine/ParameterTable.h"
#include "platform/MessageBox.h"
#include "presets/PresetFolder.h"

#include <bit>
#include <cstring>
#include <utility>

namespace editor {

using platform::MouseButton;
using platform::Point;
using platform::Rect;
using platform::ShiftState;

TPluginEditorwindow::TPluginEditorwindow(void* parentWindow, platform::WindowFactory& factory,
                                         EffectLink* effect)
    : DIBImageContainer1(this), DIBContainer1(this), DIBImageList1(this), DIBSettings1(this),
      effect_(effect) {
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
    // A drag cut short by closing the editor still ends its gesture for the host.
    EndGesture();
    if (window_)
        window_->StopTimer();
    HoverControl = nullptr;
}

// ---------------------------------------------------------------- window

void TPluginEditorwindow::PostAttachMessage(host::AudioEffect&) {
    PostAttachMessage();
}

void TPluginEditorwindow::PostAttachMessage() {
    if (window_)
        window_->PostWindowMessage(host::kEditorAttachMessage, reinterpret_cast<std::uintptr_t>(effect_), 0);
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
        EditorAttachMessage(reinterpret_cast<EffectLink*>(wParam));
}

// ---------------------------------------------------------------- attach

void TPluginEditorwindow::EditorAttachMessage(EffectLink* effect) {
    PresetFolder = presets::PresetFolder();
    const std::string notice = presets::PendingOldFolderNotice();
    if (!notice.empty())
        platform::ShowMessageBox(std::string(presets::kMessageCaption), notice,
                                 platform::MessageIcon::Information);
    HoverControl = nullptr;
    Plugin = effect;
    Updating = false;
    DIBContainer1.SetColor(kFormColor);
    ChannelButtons[0]->SetDown(true);
    LfoButtons[0]->SetDown(true);
    RefreshFxps();
}

// ---------------------------------------------------------------- helpers of the handlers

bool TPluginEditorwindow::CheckPlugin() {
    if (Plugin != nullptr)
        return true;
    SetValueText(std::string(kCrashText));
    return false;
}

void TPluginEditorwindow::SetValueText(const std::string& text) {
    ValueBox->SetCaption(text);
}

// A handler's write of its control's value. When the refresh moved the control, the value is already the
// effect's: nothing is written.
void TPluginEditorwindow::WriteAutomated(int index, float value) {
    if (positioning_)
        return;
    Updating = true;
    Plugin->WriteParameter(index, value);
    Updating = false;
}

int TPluginEditorwindow::KnobIndex(const skin::TDIBKnob& knob) const {
    if (knob.Tag >= engine::kFirstLfoIndex)
        return engine::kLfoKindCount * SelectedLfo + knob.Tag;
    if (knob.Tag >= engine::kFirstVoiceIndex)
        return engine::kVoiceKindCount * SelectedChannel + knob.Tag;
    return knob.Tag;
}

void TPluginEditorwindow::BeginGesture(const skin::TDIBKnob& knob) {
    EndGesture();
    if (Plugin == nullptr)
        return;
    gesture_ = KnobIndex(knob);
    Plugin->BeginEdit(gesture_);
}

void TPluginEditorwindow::EndGesture() {
    const int index = std::exchange(gesture_, -1);
    if (index >= 0 && Plugin != nullptr)
        Plugin->EndEdit(index);
}

void TPluginEditorwindow::WriteChangedValues(int first, std::span<const float> values) {
    Updating = true;
    for (std::size_t i = 0; i < values.size(); ++i) {
        const int index = first + static_cast<int>(i);
        const float value = engine::ClampParameter(values[i]);
        if (std::bit_cast<std::uint32_t>(value) != std::bit_cast<std::uint32_t>(Plugin->Parameter(index)))
            Plugin->WriteParameter(index, value);
    }
    Updating = false;
}

} // namespace editor
