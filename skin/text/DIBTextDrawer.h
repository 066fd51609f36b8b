#pragma once
// Connects the text renderer to the control kit: measures and draws captions and labels onto the
// kit's bitmaps with the editor's font, inside the bitmap's clip rectangle.
//
// Install it once for the editor: skin::SetDefaultTextDrawer(&skin::text::EditorTextDrawer()).
#include "skin/TextDrawer.h"
#include "skin/text/Font.h"
#include "skin/text/PixelView.h"

namespace skin::text {

// A view of a kit bitmap's pixels (bottom-up BGRA rows, no gap).
PixelView ViewOf(TAbstractSuperDIB& bitmap);

// Draws a text onto a kit bitmap in a form colour (0x00BBGGRR) with the given alpha, inside the
// bitmap's clip rectangle.
void DrawText(TAbstractSuperDIB& target, const Font& font, int x, int y, std::string_view text, TColor colour,
              std::uint8_t alpha = 255);

class DIBTextDrawer : public TextDrawer {
public:
    explicit DIBTextDrawer(const Font& font);

    // The font is the editor's one whatever face or size is asked for: the editor uses a single
    // 8-point sans serif throughout. Bold and italic are not available; underline is drawn.
    TTextSize TextSize(const TDIBFont& font, std::string_view text) override;
    void DrawText(TAbstractSuperDIB& target, int x, int y, std::string_view text,
                  const TDIBFont& font) override;

private:
    const Font& font_;
};

// The drawer with the editor's compiled-in font; lives as long as the library.
DIBTextDrawer& EditorTextDrawer();

} // namespace skin::text
