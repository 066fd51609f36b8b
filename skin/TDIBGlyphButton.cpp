#include "skin/TDIBGlyphButton.h"

#include "skin/EDIBError.h"
#include "skin/TCustomDIBContainer.h"
#include "skin/TMemoryDIB.h"

namespace skin {

TCustomDIBGlyphButton::TCustomDIBGlyphButton(TComponent* owner) : TAbstractDIBButton(owner) {
    fontDisabled_.Color = RGBColor(128, 128, 128);
    RegisterImageLink(Glyph);
    Glyph.OnChange = [this] {
        AdjustSize();
        Invalidate();
    };
}

void TCustomDIBGlyphButton::SetNumGlyphs(int count) {
    if (count < 2 || count > 5)
        throw EDIBGlyphButtonError("NumGlyphs must be between 2 and 5.");
    if (count == numGlyphs_)
        return;
    numGlyphs_ = count;
    AdjustSize();
    Invalidate();
}

void TCustomDIBGlyphButton::SetAutoSize(bool autoSize) {
    if (autoSize == autoSize_)
        return;
    autoSize_ = autoSize;
    AdjustSize();
}

void TCustomDIBGlyphButton::AdjustSize() {
    if (!autoSize_)
        return;
    const TMemoryDIB* image = Glyph.GetImage();
    if (!image)
        return;
    SetBounds(Left(), Top(), image->Width() / numGlyphs_, image->Height());
}

void TCustomDIBGlyphButton::SetCaption(const std::string& caption) {
    if (caption == caption_)
        return;
    caption_ = caption;
    Invalidate();
}

void TCustomDIBGlyphButton::SetFont(const TDIBFont& font) {
    if (font == font_)
        return;
    font_ = font;
    Invalidate();
}

void TCustomDIBGlyphButton::SetFontDisabled(const TDIBFont& font) {
    if (font == fontDisabled_)
        return;
    fontDisabled_ = font;
    Invalidate();
}

void TCustomDIBGlyphButton::SetOffset(platform::Point& field, platform::Point value) {
    if (field == value)
        return;
    field = value;
    Invalidate();
}

int TCustomDIBGlyphButton::FrameIndex(int state, int numGlyphs) {
    if (numGlyphs >= state + 1)
        return state;
    // Strips without their own frame: disabled and mouse over look enabled, down looks clicked.
    return state == bsDown ? 1 : 0;
}

platform::Point TCustomDIBGlyphButton::CaptionOffset(int state) const {
    switch (state) {
    case bsEnabled:
        return offsetEnabled_;
    case bsMouseClick:
    case bsDown:
        return offsetMouseClick_;
    case bsDisabled:
        return offsetDisabled_;
    case bsMouseOver:
        return offsetMouseOver_;
    default:
        throw EDIBGlyphButtonError("Unknown button state");
    }
}

void TCustomDIBGlyphButton::Paint(TWinDIB& work) {
    const int state = ButtonState();
    if (const TMemoryDIB* image = Glyph.GetImage())
        image->Draw(work, 0, 0, FrameIndex(state, numGlyphs_) * Width(), 0, Width(), Height());
    if (caption_.empty())
        return;
    TextDrawer* drawer = Parent() ? Parent()->GetTextDrawer() : DefaultTextDrawer();
    const platform::Point offset = CaptionOffset(state);
    if (!drawer)
        return;
    const TDIBFont& font = state == bsDisabled ? fontDisabled_ : font_;
    const TTextSize size = drawer->TextSize(font, caption_);
    drawer->DrawText(work, Width() / 2 - size.Width / 2 + offset.x, Height() / 2 - size.Height / 2 + offset.y,
                     caption_, font);
}

} // namespace skin
