#include "skin/text/TextRenderer.h"

#include <algorithm>

namespace skin::text {

int TextWidth(const Font& font, std::string_view text) {
    int width = 0;
    for (char c : text)
        width += font.GlyphOf(c).advance;
    return width;
}

int TextHeight(const Font& font) {
    return font.CellHeight();
}

TextExtent MeasureText(const Font& font, std::string_view text) {
    return TextExtent{TextWidth(font, text), TextHeight(font)};
}

void DrawText(const PixelView& view, const Font& font, int x, int y, std::string_view text, Rgb colour,
              std::uint8_t alpha, const ClipRect* clip) {
    if (view.bits == nullptr || view.width <= 0 || view.height <= 0 || alpha == 0)
        return;
    int left = 0, top = 0, right = view.width - 1, bottom = view.height - 1;
    if (clip != nullptr) {
        left = std::max(left, std::min(clip->left, clip->right));
        right = std::min(right, std::max(clip->left, clip->right));
        top = std::max(top, std::min(clip->top, clip->bottom));
        bottom = std::min(bottom, std::max(clip->top, clip->bottom));
    }
    if (left > right || top > bottom)
        return;
    const unsigned a = alpha;
    ForEachCoverage(font, x, y, text, [&](int px, int py, std::uint8_t coverage) {
        if (px < left || px > right || py < top || py > bottom)
            return;
        const unsigned weight = (coverage * a + 127u) / 255u;
        if (weight != 0)
            BlendPixel(view.Row(py) + 4 * px, colour, weight);
    });
}

} // namespace skin::text
