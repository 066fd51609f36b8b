#pragma once

#include "skin/TAbstractSuperDIB.h"
#include "skin/TColor.h"

#include <string>
#include <string_view>

namespace skin {

// A caption font as the forms describe it. Height follows the form convention: negative values are
// the character height in pixels (-11 is 8 points at 96 pixels per inch).
struct TDIBFont {
    std::string Name = "Arial";
    int Height = -11;
    TColor Color = clBlack;
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    friend bool operator==(const TDIBFont&, const TDIBFont&) = default;
};

struct TTextSize {
    int Width = 0;
    int Height = 0;
};

// What the controls need to draw captions: measure a text and draw it with a transparent background
// onto a bitmap, respecting the bitmap's clip rectangle. The kit knows no text renderer of its own;
// the application installs one (per container or as the default).
class TextDrawer {
public:
    virtual ~TextDrawer() = default;
    virtual TTextSize TextSize(const TDIBFont& font, std::string_view text) = 0;
    // Draws text with its top-left corner at (x, y).
    virtual void DrawText(TAbstractSuperDIB& target, int x, int y, std::string_view text,
                          const TDIBFont& font) = 0;
};

// The drawer used by containers that have none of their own; null (no captions) until set.
// Not owned.
void SetDefaultTextDrawer(TextDrawer* drawer) noexcept;
TextDrawer* DefaultTextDrawer() noexcept;

} // namespace skin
