#include "host/AEffEditor.h"

namespace host {

AEffEditor::AEffEditor(AudioEffect* effect) noexcept : effect(effect) {}
AEffEditor::~AEffEditor() = default;

vst2::VstInt32 AEffEditor::getRect(vst2::ERect** rect) {
    if (rect != nullptr)
        *rect = nullptr;
    return 0;
}

vst2::VstInt32 AEffEditor::open(void* parentWindow) {
    systemWindow = parentWindow;
    return 0;
}

void AEffEditor::close() {}

void AEffEditor::idle() {
    if (updateFlag != 0) {
        updateFlag = 0;
        update();
    }
}

void AEffEditor::update() {}
void AEffEditor::postUpdate() {
    updateFlag = 1;
}
vst2::VstInt32 AEffEditor::onKeyDown(vst2::VstKeyCode&) {
    return -1;
}
vst2::VstInt32 AEffEditor::onKeyUp(vst2::VstKeyCode&) {
    return -1;
}
vst2::VstInt32 AEffEditor::setKnobMode(vst2::VstInt32) {
    return 0;
}
bool AEffEditor::onWheel(float) {
    return false;
}

} // namespace host
