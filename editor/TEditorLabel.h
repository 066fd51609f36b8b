#pragma once

#include "skin/TColor.h"
#include "skin/TCustomDIBControl.h"

#include <string>

namespace editor {

// A transparent text line on a container: the text in the form's font and colour, drawn over what
// lies beneath, starting at the left edge, either at the top or centred vertically. It repaints only
// when its text changes.
class TEditorLabel : public skin::TCustomDIBControl {
public:
    enum class TTextLayout { tlTop, tlCenter };

    explicit TEditorLabel(skin::TComponent* owner);

    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& caption);
    skin::TColor FontColor = 0;
    TTextLayout Layout = TTextLayout::tlTop;

protected:
    void Paint(skin::TWinDIB& work) override;

private:
    std::string caption_;
};

} // namespace editor
