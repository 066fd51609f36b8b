#include "host/TVstTemplateEditor.h"

#include "host/TVstTemplate.h"

#include <algorithm>

namespace host {

namespace {

vst2::VstInt16 toCoordinate(int pixels) noexcept {
    return static_cast<vst2::VstInt16>(std::clamp(pixels, 0, 32767));
}

} // namespace

TVstTemplateEditor::TVstTemplateEditor(TVstTemplate* effect,
                                       std::unique_ptr<EditorFormFactory> formClass) noexcept
    : AEffEditor(effect), formClass_(std::move(formClass)) {}

TVstTemplateEditor::~TVstTemplateEditor() {
    form_.reset();
    closedDuringIdle_.clear();
    parentWindow_ = nullptr;
}

vst2::VstInt32 TVstTemplateEditor::getRect(vst2::ERect** rect) {
    rect_.top = 0;
    rect_.left = 0;
    if (form_) {
        rect_.bottom = toCoordinate(form_->ClientHeight());
        rect_.right = toCoordinate(form_->ClientWidth());
    }
    if (rect != nullptr)
        *rect = &rect_;
    return 1;
}

vst2::VstInt32 TVstTemplateEditor::open(void* parentWindow) {
    void* const previousParent = parentWindow_;
    parentWindow_ = parentWindow;
    ++openCount_;
    if ((openCount_ == 1 || !form_) && formClass_) {
        // A second form never coexists with the first: replace, then announce the new one.
        form_.reset();
        form_ = formClass_->CreateForm(parentWindow);
        if (form_ && effect != nullptr)
            form_->PostAttachMessage(*effect);
    }
    if (form_)
        return 1;
    // No editor window came of it (no window system, or a parent that is no window): the host hears
    // so, and the open leaves no count behind for a close to balance.
    --openCount_;
    parentWindow_ = previousParent;
    return 0;
}

void TVstTemplateEditor::close() {
    --openCount_;
    if (openCount_ > 0)
        return;
    openCount_ = 0;
    if (idleDepth_ > 0 && form_) {
        // The form's own code, or the idle handler working on it, is further up this call's stack.
        closedDuringIdle_.push_back(std::move(form_));
    }
    form_.reset();
    parentWindow_ = nullptr;
}

void TVstTemplateEditor::idle() {
    if (!form_)
        return;
    struct IdleScope {
        TVstTemplateEditor& editor;
        explicit IdleScope(TVstTemplateEditor& e) noexcept : editor(e) { ++editor.idleDepth_; }
        ~IdleScope() {
            if (--editor.idleDepth_ == 0)
                editor.closedDuringIdle_.clear();
        }
    } scope(*this);
    EditorForm* form = form_.get();
    form->Idle();
    auto* owner = static_cast<TVstTemplate*>(effect);
    // Skipped when the form was closed (or replaced) during its own idle work.
    if (form_.get() == form && owner != nullptr && owner->EditorIdle)
        owner->EditorIdle(*form);
}

void TVstTemplateEditor::update() {}

} // namespace host
