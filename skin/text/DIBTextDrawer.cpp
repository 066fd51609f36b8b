#include "skin/text/DIBTextDrawer.h"

#include "skin/text/DefaultFont.h"
#include "skin/text/TextRenderer.h"

#include <algorithm>

namespace skin::text {

PixelView ViewOf(TAbstractSuperDIB& bitmap) {
    return PixelView{reinterpret_cast<std::uint8_t*>(bitmap.Bits()), bitmap.Width(), bitmap.Height(),
                     bitmap.Width() * 4, true};
}

void DrawText(TAbstractSuperDIB& target, const Font& font, int x, int y, std::string_view text, TColor colour,
              std::uint8_t alpha) {
    if (target.Bits() == nullptr || target.Width() <= 0 || target.Height() <= 0)
        return;
    const TClipRect& c = target.ClipRect();
    const ClipRect clip{c.Left, c.Top, c.Right, c.Bottom};
    DrawText(ViewOf(target), font, x, y, text, Rgb::FromColorRef(colour), alpha, &clip);
}

DIBTextDrawer::DIBTextDrawer(const Font& font) : font_(font) {}

TTextSize DIBTextDrawer::TextSize(const TDIBFont&, std::string_view text) {
    const TextExtent e = MeasureText(font_, text);
    return TTextSize{e.width, e.height};
}

void DIBTextDrawer::DrawText(TAbstractSuperDIB& target, int x, int y, std::string_view text,
                             const TDIBFont& font) {
    if (target.Bits() == nullptr || target.Width() <= 0 || target.Height() <= 0)
        return;
    skin::text::DrawText(target, font_, x, y, text, font.Color);
    const TClipRect& c = target.ClipRect();
    const ClipRect clip{c.Left, c.Top, c.Right, c.Bottom};
    const Rgb colour = Rgb::FromColorRef(font.Color);
    const PixelView view = ViewOf(target);
    if (font.Underline && !text.empty()) {
        // One row under the baseline, as wide as the text, clipped like the glyphs.
        const int row = y + font_.ascent + 1;
        if (row < std::max(0, clip.top) || row > std::min(view.height - 1, clip.bottom))
            return;
        const int from = std::max({x, clip.left, 0});
        const int to = std::min({x + TextWidth(font_, text) - 1, clip.right, view.width - 1});
        for (int px = from; px <= to; ++px)
            BlendPixel(view.Row(row) + 4 * px, colour, 255);
    }
}

DIBTextDrawer& EditorTextDrawer() {
    static DIBTextDrawer drawer(DefaultFont());
    return drawer;
}

} // namespace skin::text
