#include "editor/TEditorLabel.h"

#include "skin/text/DIBTextDrawer.h"
#include "skin/text/DefaultFont.h"
#include "skin/text/TextRenderer.h"

namespace editor {

TEditorLabel::TEditorLabel(skin::TComponent* owner) : skin::TCustomDIBControl(owner) {}

void TEditorLabel::SetCaption(const std::string& caption) {
    if (caption == caption_)
        return;
    caption_ = caption;
    Invalidate();
}

void TEditorLabel::Paint(skin::TWinDIB& work) {
    if (caption_.empty())
        return;
    const skin::text::Font& font = skin::text::DefaultFont();
    int y = 0;
    if (Layout == TTextLayout::tlCenter)
        y = (Height() - skin::text::TextHeight(font)) / 2;
    skin::text::DrawText(work, font, 0, y, caption_, FontColor);
}

} // namespace editor
