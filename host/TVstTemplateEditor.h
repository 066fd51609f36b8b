#pragma once

#include "host/AEffEditor.h"
#include "host/EditorFormFactory.h"

#include <memory>
#include <vector>

namespace host {

class TVstTemplate;

// Hosts an editor form as a child of the host's window. Opens nest: only the first open creates
// the form, and only the close that brings the count back to 0 destroys it. An open answers 1 when an
// editor form exists afterwards and 0 when none could be made; a failed open leaves the count as it was.
class TVstTemplateEditor : public AEffEditor {
public:
    TVstTemplateEditor(TVstTemplate* effect, std::unique_ptr<EditorFormFactory> formClass) noexcept;
    ~TVstTemplateEditor() override;

    // Answers 1 and a rectangle at (0, 0): 0 x 0 until a form has existed, then the form's size.
    vst2::VstInt32 getRect(vst2::ERect** rect) override;
    vst2::VstInt32 open(void* parentWindow) override;
    void close() override;
    // Lets the form do its idle work, then calls the effect's EditorIdle handler with it. A close that
    // arrives inside the idle call (a host answering a modal loop's messages) takes effect at once for
    // the host, but the form object lives on until the idle call has returned.
    void idle() override;
    void update() override;

    EditorForm* Form() const noexcept { return form_.get(); }
    vst2::VstInt32 OpenCount() const noexcept { return openCount_; }

private:
    vst2::ERect rect_{0, 0, 0, 0};
    vst2::VstInt32 openCount_ = 0;
    std::unique_ptr<EditorFormFactory> formClass_;
    void* parentWindow_ = nullptr;
    std::unique_ptr<EditorForm> form_;
    // Idle calls in progress, and the forms closed during them, destroyed when the outermost returns.
    int idleDepth_ = 0;
    std::vector<std::unique_ptr<EditorForm>> closedDuringIdle_;
};

} // namespace host
