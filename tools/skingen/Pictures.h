#pragma once
// The skin's pictures and what they share: the palette, the fonts and the knobs' geometry.
// BackgroundPictures.cpp draws the background and the about picture, ControlPictures.cpp the strips of
// the knobs, buttons and lights.
#include "tools/fontatlas/FontAtlasBuilder.h"
#include "tools/skingen/Canvas.h"

namespace skingen {

// Palette: dark slate with one warm accent. The read-out text colour of the form (128, 146, 156)
// sets the hue of the greys.
inline constexpr Color kBase = Hex(0x191D21);
inline constexpr Color kBaseLow = Hex(0x131619);
inline constexpr Color kPanelTop = Hex(0x2A3036);
inline constexpr Color kPanelBottom = Hex(0x22272C);
inline constexpr Color kPanelEdge = Hex(0x0D0F11);
inline constexpr Color kWell = Hex(0x111417);
inline constexpr Color kLabel = Hex(0xA9B4BC);
inline constexpr Color kLabelDim = Hex(0x6E7A83);
inline constexpr Color kHeading = Hex(0xDCE3E8);
inline constexpr Color kRule = Hex(0x3A424A);
inline constexpr Color kAccent = Hex(0xF2A33A);
inline constexpr Color kAccentDeep = Hex(0xC97A1C);
inline constexpr Color kTrack = Hex(0x0E1113);
inline constexpr Color kCapTop = Hex(0x4B545C);
inline constexpr Color kCapBottom = Hex(0x2B3137);
inline constexpr Color kPointer = Hex(0xF1F4F6);
inline constexpr Color kButtonTop = Hex(0x3A4249);
inline constexpr Color kButtonBottom = Hex(0x2C3238);
inline constexpr Color kButtonText = Hex(0x9AA6AE);
inline constexpr Color kDownText = Hex(0x1B1408);

struct Fonts {
    fontatlas::BuiltFont label;   // knob and section labels, bold 9 px, spaced
    fontatlas::BuiltFont heading; // section headings, bold 10 px
    fontatlas::BuiltFont button;  // captions on buttons, bold 10 px
    fontatlas::BuiltFont logo;    // product name in the title bar
    fontatlas::BuiltFont title;   // product name on the about picture
    fontatlas::BuiltFont body;    // about picture text, regular 12 px
    fontatlas::BuiltFont small;   // about picture small print, regular 11 px
};

// Position of a knob's dial centre from the strip frame's top-left corner.
inline constexpr float kSmallCx = 32.5f, kSmallCy = 19.5f, kBigC = 24.0f;

struct KnobStyle {
    float cx, cy;
    float ring, ringWidth; // value ring radius and half width
    float cap, face;       // cap radius and inner face radius
    float pointerFrom, pointerTo, pointerWidth;
};

void HRule(Canvas& c, float x0, float x1, float y, Color col);

void DrawBackground(Canvas& c, const Fonts& f);
void DrawAbout(Canvas& c, const Fonts& f);

// Frame i shows the value i / (frames - 1): the first frame the minimum, the last the maximum.
void DrawKnobStrip(Canvas& c, int frames, int frameWidth, const KnobStyle& s);
// A two-frame strip of a captioned button with its body inside (l, t)..(r, b) of each frame.
void CaptionStrip(Canvas& c, const Fonts& f, int frameWidth, float l, float t, float r, float b,
                  const char* text);
void DrawOnOff(Canvas& c);
void DrawDigit(Canvas& c, const Fonts& f, int digit);
void DrawLight(Canvas& c);
// Copy and paste are opaque: their margins carry the flat colour of the recess they sit in.
void DrawCopyPaste(Canvas& c, bool paste);

} // namespace skingen
