// skingen: draws the editor's skin pictures as PNG files.
//   skingen OUT_DIR [--mockup FILE.png] [--fonts DIR]
// The pictures follow the editor's control map: the background's sections and labels sit under the
// controls' positions, and every strip has exactly the size and frame count of the image list.
#include "skin/images/SkinImages.h"
#include "skin/text/DefaultFont.h"
#include "tools/fontatlas/FontAtlasBuilder.h"
#include "tools/skingen/Canvas.h"

#include <cstdio>
#include <functional>
#include <optional>
#include <string>

using namespace skingen;

namespace {

// Palette: dark slate with one warm accent. The read-out text colour of the form (128, 146, 156)
// sets the hue of the greys.
constexpr Color kBase = Hex(0x191D21);
constexpr Color kBaseLow = Hex(0x131619);
constexpr Color kPanelTop = Hex(0x2A3036);
constexpr Color kPanelBottom = Hex(0x22272C);
constexpr Color kPanelEdge = Hex(0x0D0F11);
constexpr Color kWell = Hex(0x111417);
constexpr Color kLabel = Hex(0xA9B4BC);
constexpr Color kLabelDim = Hex(0x6E7A83);
constexpr Color kHeading = Hex(0xDCE3E8);
constexpr Color kRule = Hex(0x3A424A);
constexpr Color kAccent = Hex(0xF2A33A);
constexpr Color kAccentDeep = Hex(0xC97A1C);
constexpr Color kTrack = Hex(0x0E1113);
constexpr Color kCapTop = Hex(0x4B545C);
constexpr Color kCapBottom = Hex(0x2B3137);
constexpr Color kPointer = Hex(0xF1F4F6);
constexpr Color kButtonTop = Hex(0x3A4249);
constexpr Color kButtonBottom = Hex(0x2C3238);
constexpr Color kButtonText = Hex(0x9AA6AE);
constexpr Color kDownText = Hex(0x1B1408);

struct Fonts {
    fontatlas::BuiltFont label;   // knob and section labels, bold 9 px, spaced
    fontatlas::BuiltFont heading; // section headings, bold 10 px
    fontatlas::BuiltFont button;  // captions on buttons, bold 10 px
    fontatlas::BuiltFont logo;    // product name in the title bar
    fontatlas::BuiltFont title;   // product name on the about picture
    fontatlas::BuiltFont body;    // about picture text, regular 12 px
    fontatlas::BuiltFont small;   // about picture small print, regular 11 px
};

std::optional<fontatlas::BuiltFont> Load(const std::string& path, int px, float gamma) {
    std::string error;
    auto font = fontatlas::BuildFont(fontatlas::ReadFileBytes(path), px, gamma, error);
    if (!font)
        std::fprintf(stderr, "skingen: %s: %s\n", path.c_str(), error.c_str());
    return font;
}

// ---------------------------------------------------------------------------------------------------
// Background pieces

void Shadow(Canvas& c, float l, float t, float r, float b, float radius, float alpha, float blur, float dy) {
    c.Fill(
        l, t + dy, r, b + dy, [=](Vec p) { return SdRoundRect(p, l, t + dy, r, b + dy, radius); },
        Hex(0x000000, alpha), blur);
}

void Panel(Canvas& c, float l, float t, float r, float b) {
    Shadow(c, l, t, r, b, 5, 0.55f, 6, 2);
    c.Fill(
        l, t, r, b, [=](Vec p) { return SdRoundRect(p, l, t, r, b, 5); },
        [=](Vec p) { return Mix(kPanelTop, kPanelBottom, std::clamp((p.y - t) / (b - t), 0.0f, 1.0f)); });
    // Dark outline and a faint highlight along the top edge.
    c.Fill(
        l, t, r, b, [=](Vec p) { return std::abs(SdRoundRect(p, l, t, r, b, 5) + 0.5f) - 0.5f; },
        WithAlpha(kPanelEdge, 0.9f));
    c.Fill(
        l, t, r, b,
        [=](Vec p) { return std::abs(SdRoundRect(p, l + 1, t + 1, r - 1, b - 1, 4) + 0.5f) - 0.5f; },
        [=](Vec p) { return Hex(0xFFFFFF, 0.07f * std::clamp(1.0f - (p.y - t) / 14.0f, 0.0f, 1.0f)); });
}

void Well(Canvas& c, float l, float t, float r, float b, float radius) {
    c.Fill(
        l, t, r, b, [=](Vec p) { return SdRoundRect(p, l, t, r, b, radius); }, kWell);
    // Inner shadow at the top, a lighter lip at the bottom.
    c.Fill(
        l, t, r, b,
        [=](Vec p) {
            return std::max(SdRoundRect(p, l, t, r, b, radius),
                            -(SdRoundRect(p, l, t + 1.5f, r, b + 2, radius)));
        },
        Hex(0x000000, 0.55f));
    c.Fill(
        l, t, r, b + 1,
        [=](Vec p) {
            return std::max(SdRoundRect(p, l, t, r, b + 1, radius), -SdRoundRect(p, l, t, r, b, radius));
        },
        Hex(0xFFFFFF, 0.06f));
}

void HRule(Canvas& c, float x0, float x1, float y, Color col) {
    c.Fill(
        x0, y, x1, y + 1, [=](Vec p) { return SdRoundRect(p, x0, y, x1, y + 1, 0); }, col);
}

void VRule(Canvas& c, float x, float y0, float y1) {
    // A groove: dark line with a light line beside it, fading at both ends.
    auto fade = [=](Vec p) { return std::clamp(std::min(p.y - y0, y1 - p.y) / 12.0f, 0.0f, 1.0f); };
    c.Fill(
        x, y0, x + 1, y1, [=](Vec p) { return SdRoundRect(p, x, y0, x + 1, y1, 0); },
        [=](Vec p) { return Hex(0x0B0D0F, 0.8f * fade(p)); });
    c.Fill(
        x + 1, y0, x + 2, y1, [=](Vec p) { return SdRoundRect(p, x + 1, y0, x + 2, y1, 0); },
        [=](Vec p) { return Hex(0xFFFFFF, 0.05f * fade(p)); });
}

// Heading text followed by a thin rule to the end of the group.
void Heading(Canvas& c, const Fonts& f, int x0, int x1, int y, const char* text) {
    c.Text(f.label.View(), x0, y, text, kHeading, 1);
    const int w = Canvas::TextWidth(f.label.View(), text, 1);
    HRule(c, static_cast<float>(x0 + w + 6), static_cast<float>(x1), static_cast<float>(y + 5), kRule);
}

void Label(Canvas& c, const Fonts& f, float cx, int y, const char* text) {
    c.TextCentered(f.label.View(), cx, y, text, kLabel, 1);
}

// Position of a knob's dial centre from the strip frame's top-left corner.
constexpr float kSmallCx = 32.5f, kSmallCy = 19.5f, kBigC = 24.0f;

void DrawBackground(Canvas& c, const Fonts& f) {
    // Base with a gentle vertical falloff.
    c.Fill(
        0, 0, 780, 304, [](Vec) { return -1.0f; }, [](Vec p) { return Mix(kBase, kBaseLow, p.y / 304.0f); });

    // Title bar.
    c.Fill(
        0, 0, 780, 25, [](Vec p) { return SdRoundRect(p, -10, -10, 790, 25, 0); },
        [](Vec p) { return Mix(Hex(0x0F1214), Hex(0x15181B), p.y / 25.0f); });
    HRule(c, 0, 780, 25, Hex(0x070809));
    HRule(c, 0, 780, 26, Hex(0xFFFFFF, 0.04f));
    c.Text(f.logo.View(), 12, 3, "Vorelan", kHeading, 0);
    const int vw = Canvas::TextWidth(f.logo.View(), "Vorelan");
    c.Text(f.logo.View(), 12 + vw, 3, "En2", kAccent, 0);

    // Channel selector: label and the recess the eight digit buttons sit in.
    const char* ch = "CHANNEL";
    c.Text(f.label.View(), 232 - Canvas::TextWidth(f.label.View(), ch, 1), 7, ch, kLabel, 1);
    Well(c, 238, 2, 402, 21, 4);

    // Tagline in the free middle of the title bar.
    c.TextCentered(f.label.View(), 500, 8, "EIGHT-VOICE MODULATED DELAY", kLabelDim, 1);

    // Copy/paste recesses: the two buttons are opaque and share this flat colour at both places.
    Well(c, 597, 2, 637, 20, 3);
    // Panic hot spot (double click).
    c.Fill(
        706, 5, 774, 22,
        [](Vec p) { return std::abs(SdRoundRect(p, 706.5f, 5.5f, 773.5f, 21.5f, 4)) - 0.5f; },
        Hex(0x8A3A32, 0.9f));
    c.TextCentered(f.label.View(), 740, 8, "PANIC", Hex(0xC9786C), 1);

    // Global columns.
    Panel(c, 4, 30, 66, 180);
    Label(c, f, 10 + kBigC, 43, "INPUT");
    Label(c, f, 10 + kBigC, 115, "BUFFER");
    Panel(c, 708, 30, 776, 180);
    Label(c, f, 718 + kBigC, 43, "OUTPUT");
    Label(c, f, 718 + kBigC, 115, "MIX");

    // Channel section.
    Panel(c, 72, 30, 702, 180);
    Heading(c, f, 106, 236, 34, "DELAY");
    Heading(c, f, 250, 338, 34, "PAN");
    Heading(c, f, 346, 510, 34, "FILTER");
    Heading(c, f, 530, 654, 34, "AMPLITUDE");
    VRule(c, 241, 38, 176);
    VRule(c, 518, 38, 176);
    VRule(c, 658, 38, 176);
    struct KnobLabel {
        float left;
        int top;
        const char* text;
    };
    const KnobLabel channelLabels[] = {
        {105, 61, "TIME"},    {171, 61, "DEPTH"},     {105, 132, "SOURCE"}, {247, 61, "POSITION"},
        {304, 61, "DEPTH"},   {248, 132, "SOURCE"},   {388, 61, "CUTOFF"},  {446, 61, "DEPTH"},
        {388, 131, "SOURCE"}, {446, 131, "RESO"},     {528, 61, "LEVEL"},   {592, 61, "DEPTH"},
        {527, 132, "SOURCE"}, {592, 132, "FEEDBACK"},
    };
    for (const auto& k : channelLabels)
        Label(c, f, k.left + kSmallCx, k.top < 100 ? 48 : 119, k.text);
    Label(c, f, 356, 111, "TYPE");
    Label(c, f, 676.5f, 48, "ON");

    // LFO section.
    Panel(c, 4, 186, 680, 277);
    c.Text(f.heading.View(), 14, 190, "MODULATION", kHeading, 1);
    const char* lfo = "LFO";
    c.Text(f.label.View(), 232 - Canvas::TextWidth(f.label.View(), lfo, 1), 192, lfo, kLabel, 1);
    Well(c, 238, 187, 402, 206, 4);
    Well(c, 597, 187, 637, 205, 3);
    HRule(c, 10, 674, 210, Hex(0x0B0D0F, 0.7f));
    HRule(c, 10, 674, 211, Hex(0xFFFFFF, 0.05f));
    Label(c, f, 106 + kSmallCx, 217, "RATE");
    Label(c, f, 183.5f, 217, "SYNC");
    Label(c, f, 227 + kSmallCx, 217, "SHAPE");
    Label(c, f, 293 + kSmallCx, 217, "SMOOTH");
    Label(c, f, 443.5f, 217, "RESYNC SOURCE");
    Label(c, f, 548 + kSmallCx, 217, "RESYNC PHASE");
    // Bracket over the resync row, then the eight light slots under it.
    HRule(c, 366, 522, 231, kRule);
    c.Fill(
        365, 231, 367, 236, [](Vec p) { return SdRoundRect(p, 365, 231, 366, 235, 0); }, kRule);
    c.Fill(
        521, 231, 523, 236, [](Vec p) { return SdRoundRect(p, 521, 231, 522, 235, 0); }, kRule);
    Well(c, 362, 238, 526, 264, 4);
    for (int k = 0; k < 8; ++k) {
        const float x = 364.0f + 20 * k;
        c.Fill(
            x + 2, 257, x + 18, 262,
            [=](Vec p) { return SdRoundRect(p, x + 2.5f, 257.5f, x + 17.5f, 261.0f, 1.5f); }, Hex(0x07090A));
    }
    // Decorative LFO trace in the empty corner of the section.
    c.Fill(
        14, 222, 96, 266,
        [](Vec p) {
            const float phase = (p.x - 14) / 82.0f * 2 * 3.14159265f * 1.5f;
            const float y = 244 - 12 * std::sin(phase);
            return std::abs(p.y - y) * 0.8f - 0.6f;
        },
        [](Vec p) {
            return Hex(0xF2A33A, 0.35f * std::clamp(std::min(p.x - 14, 96 - p.x) / 16.0f, 0.0f, 1.0f));
        });

    // Hint line and value read-out.
    Well(c, 124, 281, 634, 301, 4);
    c.Fill(
        422, 284, 423, 298, [](Vec p) { return SdRoundRect(p, 422, 284, 423, 298, 0); }, Hex(0x2A3137));

    // Brand mark over the about hot spot.
    Panel(c, 688, 186, 776, 300);
    const Vec mark{732, 222};
    c.Fill(
        712, 202, 752, 242, [=](Vec p) { return std::abs(SdCircle(p, mark, 15)) - 2.0f; }, kAccent);
    c.Fill(
        712, 202, 760, 250,
        [=](Vec p) {
            return SdSegment(p, Vec{738, 228}, Vec{747, 237}, 2.0f);
        },
        kAccent);
    c.TextCentered(f.heading.View(), 732, 247, "QARNO", kHeading, 2);
    c.TextCentered(f.label.View(), 732, 262, "AUDIO", kLabel, 3);
    c.TextCentered(f.label.View(), 732, 282, "ABOUT", kLabelDim, 1);
}

// ---------------------------------------------------------------------------------------------------
// Knobs

struct KnobStyle {
    float cx, cy;
    float ring, ringWidth; // value ring radius and half width
    float cap, face;       // cap radius and inner face radius
    float pointerFrom, pointerTo, pointerWidth;
};

void DrawKnob(Canvas& c, float ox, const KnobStyle& s, float value) {
    const Vec centre{ox + s.cx, s.cy};
    const float a0 = -135.0f, a1 = 135.0f, av = a0 + (a1 - a0) * value;
    const float box = s.ring + 6;
    const float l = centre.x - box, t = centre.y - box, r = centre.x + box, b = centre.y + box;

    // Ring track, value arc with a soft glow.
    c.Fill(
        l, t, r, b, [&](Vec p) { return SdArc(p, centre, s.ring, s.ringWidth, a0, a1); }, kTrack);
    if (av > a0 + 0.01f) {
        c.Fill(
            l, t, r, b, [&](Vec p) { return SdArc(p, centre, s.ring, s.ringWidth + 1.5f, a0, av); },
            WithAlpha(kAccent, 0.22f), 3.0f);
        c.Fill(
            l, t, r, b, [&](Vec p) { return SdArc(p, centre, s.ring, s.ringWidth - 0.25f, a0, av); },
            [&](Vec p) {
                // Slightly brighter towards the leading end.
                const float d =
                    std::hypot(p.x - Polar(centre, s.ring, av).x, p.y - Polar(centre, s.ring, av).y);
                return Mix(kAccent, kAccentDeep, std::clamp(d / (s.ring * 3.0f), 0.0f, 0.6f));
            });
    }
    // Cap: shadow, body with a top-lit gradient, rim highlight, brushed face.
    c.Fill(
        l, t, r, b,
        [&](Vec p) {
            return SdCircle(p, Vec{centre.x, centre.y + 1.5f}, s.cap);
        },
        Hex(0x000000, 0.6f), 3.0f);
    c.Fill(
        l, t, r, b, [&](Vec p) { return SdCircle(p, centre, s.cap); },
        [&](Vec p) {
            return Mix(kCapTop, kCapBottom, std::clamp((p.y - (centre.y - s.cap)) / (2 * s.cap), 0.0f, 1.0f));
        });
    c.Fill(
        l, t, r, b, [&](Vec p) { return std::abs(SdCircle(p, centre, s.cap - 0.5f)) - 0.5f; },
        [&](Vec p) {
            const float k = std::clamp((centre.y - p.y) / s.cap, -1.0f, 1.0f);
            return k > 0 ? Hex(0xFFFFFF, 0.18f * k) : Hex(0x000000, 0.35f * -k);
        });
    c.Fill(
        l, t, r, b, [&](Vec p) { return SdCircle(p, centre, s.face); },
        [&](Vec p) {
            return Mix(Hex(0x353C43), Hex(0x3F474F),
                       std::clamp((p.y - (centre.y - s.face)) / (2 * s.face), 0.0f, 1.0f));
        });
    // Pointer.
    const Vec p0 = Polar(centre, s.pointerFrom, av), p1 = Polar(centre, s.pointerTo, av);
    c.Fill(
        l, t, r, b, [&](Vec p) { return SdSegment(p, p0, p1, s.pointerWidth); }, kPointer);
}

// Frame i shows the value i / (frames - 1): the first frame the minimum, the last the maximum.
void DrawKnobStrip(Canvas& c, int frames, int frameWidth, const KnobStyle& s) {
    for (int i = 0; i < frames; ++i) {
        c.SetClip(i * frameWidth, 0, (i + 1) * frameWidth, c.Height());
        DrawKnob(c, static_cast<float>(i * frameWidth), s, static_cast<float>(i) / (frames - 1));
    }
    c.ResetClip();
}

// ---------------------------------------------------------------------------------------------------
// Buttons

void ButtonBody(Canvas& c, float l, float t, float r, float b, float radius, bool down) {
    c.Fill(
        l, t, r, b + 1, [=](Vec p) { return SdRoundRect(p, l, t + 1, r, b + 1, radius); },
        Hex(0x000000, 0.45f));
    if (down) {
        c.Fill(
            l, t, r, b, [=](Vec p) { return SdRoundRect(p, l, t, r, b, radius); },
            [=](Vec p) {
                return Mix(Hex(0xF7B457), kAccentDeep, std::clamp((p.y - t) / (b - t), 0.0f, 1.0f));
            });
        c.Fill(
            l, t, r, b,
            [=](Vec p) {
                return std::abs(SdRoundRect(p, l + 0.5f, t + 0.5f, r - 0.5f, b - 0.5f, radius - 0.5f)) - 0.5f;
            },
            Hex(0x000000, 0.25f));
    } else {
        c.Fill(
            l, t, r, b, [=](Vec p) { return SdRoundRect(p, l, t, r, b, radius); },
            [=](Vec p) {
                return Mix(kButtonTop, kButtonBottom, std::clamp((p.y - t) / (b - t), 0.0f, 1.0f));
            });
        c.Fill(
            l, t, r, b,
            [=](Vec p) {
                return std::abs(SdRoundRect(p, l + 0.5f, t + 0.5f, r - 0.5f, b - 0.5f, radius - 0.5f)) - 0.5f;
            },
            [=](Vec p) { return p.y < t + 3 ? Hex(0xFFFFFF, 0.10f) : Hex(0x000000, 0.35f); });
    }
}

// A two-frame strip of a captioned button with its body inside (l, t)..(r, b) of each frame.
void CaptionStrip(Canvas& c, const Fonts& f, int frameWidth, float l, float t, float r, float b,
                  const char* text) {
    for (int frame = 0; frame < 2; ++frame) {
        const float ox = static_cast<float>(frame * frameWidth);
        const bool down = frame == 1;
        c.SetClip(frame * frameWidth, 0, (frame + 1) * frameWidth, c.Height());
        ButtonBody(c, ox + l, t, ox + r, b, 3, down);
        const auto font = f.button.View();
        const int ty = static_cast<int>(std::lround((t + b) * 0.5f - font.CellHeight() * 0.5f + 0.5f));
        c.TextCentered(font, ox + (l + r) * 0.5f, ty, text, down ? kDownText : kButtonText, 0);
    }
    c.ResetClip();
}

void DrawOnOff(Canvas& c) {
    for (int frame = 0; frame < 2; ++frame) {
        const float ox = frame * 27.0f;
        const bool down = frame == 1;
        c.SetClip(frame * 27, 0, (frame + 1) * 27, c.Height());
        const float l = ox + 1, t = 1, r = ox + 26, b = 23.5f;
        c.Fill(
            l, t, r, b + 1, [=](Vec p) { return SdRoundRect(p, l, t + 1, r, b + 1, 4); },
            Hex(0x000000, 0.45f));
        c.Fill(
            l, t, r, b, [=](Vec p) { return SdRoundRect(p, l, t, r, b, 4); },
            [=](Vec p) {
                const float k = std::clamp((p.y - t) / (b - t), 0.0f, 1.0f);
                return down ? Mix(Hex(0x2A2F34), Hex(0x353C42), k) : Mix(kButtonTop, kButtonBottom, k);
            });
        c.Fill(
            l, t, r, b,
            [=](Vec p) {
                return std::abs(SdRoundRect(p, l + 0.5f, t + 0.5f, r - 0.5f, b - 0.5f, 3.5f)) - 0.5f;
            },
            [=](Vec p) { return (!down && p.y < t + 3) ? Hex(0xFFFFFF, 0.10f) : Hex(0x000000, 0.35f); });
        const Vec centre{ox + 13.5f, 12.75f};
        const Color icon = down ? kAccent : Hex(0x8D99A2);
        if (down)
            c.Fill(
                ox, 0, ox + 27, 25, [=](Vec p) { return SdCircle(p, centre, 7.5f); },
                WithAlpha(kAccent, 0.35f), 6.0f);
        c.Fill(
            ox, 0, ox + 27, 25, [=](Vec p) { return SdArc(p, centre, 6.0f, 0.9f, 35, 325); }, icon);
        c.Fill(
            ox, 0, ox + 27, 25,
            [=](Vec p) {
                return SdSegment(p, Vec{centre.x, centre.y - 7.5f}, Vec{centre.x, centre.y - 1.0f}, 0.9f);
            },
            icon);
    }
    c.ResetClip();
}

void DrawDigit(Canvas& c, const Fonts& f, int digit) {
    const char text[2] = {static_cast<char>('0' + digit), 0};
    CaptionStrip(c, f, 23, 1, 1, 19, 15, text);
}

void DrawLight(Canvas& c) {
    c.Fill(
        0, 0, 23, 7, [](Vec p) { return SdRoundRect(p, 1.0f, 0.5f, 19.0f, 6.5f, 3); },
        WithAlpha(kAccent, 0.45f), 3.0f);
    c.Fill(
        0, 0, 23, 7, [](Vec p) { return SdRoundRect(p, 2.5f, 1.5f, 17.5f, 5.0f, 1.5f); },
        [](Vec p) { return Mix(Hex(0xFFE2A8), kAccent, std::clamp((p.y - 1.5f) / 3.5f, 0.0f, 1.0f)); });
}

// Copy and paste are opaque: their margins carry the flat colour of the recess they sit in.
void DrawCopyPaste(Canvas& c, bool paste) {
    c.Clear(kWell);
    const float bl = paste ? 3.5f : 0.5f;
    for (int frame = 0; frame < 2; ++frame) {
        const float ox = frame * 18.0f;
        const bool down = frame == 1;
        c.SetClip(frame * 18, 0, (frame + 1) * 18, c.Height());
        const float l = ox + bl, t = 0.5f, r = l + 13, b = 14.5f;
        c.Fill(
            l, t, r, b, [=](Vec p) { return SdRoundRect(p, l, t, r, b, 2.5f); },
            [=](Vec p) {
                const float k = std::clamp((p.y - t) / (b - t), 0.0f, 1.0f);
                return down ? Mix(Hex(0x23282D), Hex(0x2E343A), k) : Mix(kButtonTop, kButtonBottom, k);
            });
        const Color ink = down ? kAccent : Hex(0xA3AEB6);
        auto outline = [&](float x0, float y0, float x1, float y1) {
            c.Fill(
                x0 - 1, y0 - 1, x1 + 1, y1 + 1,
                [=](Vec p) { return std::abs(SdRoundRect(p, x0, y0, x1, y1, 1.0f)) - 0.5f; }, ink);
        };
        const float cx = l + 6.5f;
        if (!paste) {
            // Two sheets, the front one filled with the body colour so the back one hides behind it.
            outline(cx - 3.5f, 3.0f, cx + 1.5f, 9.5f);
            c.Fill(
                cx - 1.5f, 5.0f, cx + 3.5f, 11.5f,
                [=](Vec p) { return SdRoundRect(p, cx - 1.5f, 5.0f, cx + 3.5f, 11.5f, 1.0f); },
                down ? Hex(0x2A3035) : Hex(0x343B41));
            outline(cx - 1.5f, 5.0f, cx + 3.5f, 11.5f);
        } else {
            outline(cx - 3.5f, 3.5f, cx + 3.5f, 11.5f);
            c.Fill(
                cx - 2, 2, cx + 2, 5,
                [=](Vec p) { return SdRoundRect(p, cx - 1.5f, 2.0f, cx + 1.5f, 4.5f, 0.8f); }, ink);
            HRule(c, cx - 1.5f, cx + 1.5f, 7.0f, WithAlpha(ink, 0.8f));
            HRule(c, cx - 1.5f, cx + 1.5f, 9.0f, WithAlpha(ink, 0.8f));
        }
    }
    c.ResetClip();
}

// ---------------------------------------------------------------------------------------------------
// About picture

void DrawAbout(Canvas& c, const Fonts& f) {
    c.Fill(
        0, 0, 780, 304, [](Vec) { return -1.0f; },
        [](Vec p) {
            // Dark field with a warm bloom behind the title.
            const float d = std::hypot((p.x - 390) / 420.0f, (p.y - 120) / 200.0f);
            return Mix(Hex(0x2A2620), kBaseLow, std::clamp(d, 0.0f, 1.0f));
        });
    // Concentric sweep arcs as a quiet motif of the eight voices.
    for (int i = 0; i < 8; ++i) {
        const float r = 60.0f + i * 16.0f;
        const float alpha = 0.05f + 0.02f * (7 - i);
        c.Fill(
            0, 0, 780, 304,
            [=](Vec p) {
                return SdArc(p, Vec{640, 150}, r, 0.8f, -160 + i * 9.0f, 10 + i * 14.0f);
            },
            WithAlpha(kAccent, alpha));
    }
    const Vec mark{96, 112};
    c.Fill(
        40, 56, 160, 176, [=](Vec p) { return std::abs(SdCircle(p, mark, 34)) - 4.5f; }, kAccent);
    c.Fill(
        40, 56, 170, 186,
        [=](Vec p) {
            return SdSegment(p, Vec{110, 126}, Vec{130, 146}, 4.5f);
        },
        kAccent);

    c.Text(f.title.View(), 160, 70, "Vorelan", kHeading, 0);
    const int vw = Canvas::TextWidth(f.title.View(), "Vorelan");
    c.Text(f.title.View(), 160 + vw, 70, "En2", kAccent, 0);
    c.Text(f.body.View(), 162, 118, "Eight-voice modulated delay: chorus, ensemble and pitch sweeps", kLabel,
           0);
    c.Text(f.label.View(), 162, 140, "VERSION 2003  \x95  VST 2  \x95  QARNO AUDIO", kLabelDim, 1);

    HRule(c, 40, 740, 196, Hex(0xFFFFFF, 0.08f));
    c.Text(f.small.View(), 40, 210, "Design, signal processing and interface by the Qarno Audio team.",
           kLabel, 0);
    c.Text(f.small.View(), 40, 228, "Interface text set in Liberation Sans (SIL Open Font License).",
           kLabelDim, 0);
    c.Text(f.small.View(), 40, 270, "Click anywhere to return to the controls.", kLabelDim, 0);
}

// ---------------------------------------------------------------------------------------------------
// Mock-up of the whole editor for checking the alignment.

void DrawMockup(const std::string& path, const std::function<const Canvas&(const char*)>& img) {
    Canvas m(780, 303);
    m.Draw(img("Background"), 0, 0);
    auto frame = [&](const char* name, int index, int fw, int x, int y) {
        const Canvas& s = img(name);
        Canvas one(fw, s.Height());
        one.CopyFrom(s, index * fw, 0, fw, s.Height(), 0, 0);
        m.Draw(one, x, y);
    };
    const int big[4][2] = {{10, 56}, {10, 128}, {718, 56}, {718, 128}};
    const int bigPos[4] = {50, 80, 64, 35};
    for (int i = 0; i < 4; ++i)
        frame("Knob65", bigPos[i] * 65 / 101, 48, big[i][0], big[i][1]);
    const int small[18][2] = {{105, 61}, {105, 132}, {171, 61},  {247, 61},  {248, 132}, {304, 61},
                              {388, 61}, {388, 131}, {446, 61},  {446, 131}, {528, 61},  {527, 132},
                              {592, 61}, {592, 132}, {227, 230}, {106, 230}, {548, 230}, {293, 230}};
    for (int i = 0; i < 18; ++i)
        frame("Knob64", (i * 37 % 101) * 64 / 101, 65, small[i][0], small[i][1]);
    const char* digits[8] = {"Digit1", "Digit2", "Digit3", "Digit4", "Digit5", "Digit6", "Digit7", "Digit8"};
    for (int t = 0; t < 8; ++t) {
        frame(digits[t], t == 2, 23, 240 + 20 * t, 4);
        frame(digits[t], t == 0, 23, 240 + 20 * t, 189);
        frame(digits[t], t == 5, 23, 364 + 20 * t, 240);
    }
    frame("Copy", 0, 18, 601, 4);
    frame("Paste", 1, 18, 616, 4);
    frame("Copy", 0, 18, 600, 189);
    frame("Paste", 0, 18, 616, 189);
    frame("OnOff", 1, 27, 663, 62);
    frame("OnOff", 0, 27, 170, 236);
    frame("FilterLP", 0, 27, 343, 124);
    frame("FilterBP", 1, 27, 343, 140);
    frame("FilterHP", 0, 27, 343, 156);
    for (int k = 0; k < 8; ++k) {
        Canvas light(23, 7);
        light.CopyFrom(img("LfoLight"), 0, 0, 23, 7, 0, 0);
        Canvas faded(23, 7);
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 23; ++x) {
                Color col = light.Get(x, y);
                col.a *= (k * 37 % 8) / 7.0f;
                faded.Set(x, y, col);
            }
        m.Draw(faded, 364 + 20 * k, 256);
    }
    const auto& font = skin::text::DefaultFont();
    m.Text(font, 130, 285, "Filter cutoff frequency modulation source", Hex(0x80929C), 0);
    m.Text(font, 426, 285, "12.50 ms  0.63 beats", Hex(0x80929C), 0);
    m.SavePng(path);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: skingen OUT_DIR [--mockup FILE.png] [--fonts DIR]\n");
        return 2;
    }
    std::string outDir = argv[1];
    std::string mockup;
    std::string fontDir = "/usr/share/fonts/truetype/liberation";
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string opt = argv[i];
        if (opt == "--mockup")
            mockup = argv[i + 1];
        else if (opt == "--fonts")
            fontDir = argv[i + 1];
    }
    const std::string regular = fontDir + "/LiberationSans-Regular.ttf";
    const std::string bold = fontDir + "/LiberationSans-Bold.ttf";
    auto label = Load(bold, 9, 1.2f), heading = Load(bold, 10, 1.2f), button = Load(bold, 10, 1.2f),
         logo = Load(bold, 17, 1.1f), title = Load(bold, 40, 1.0f), body = Load(regular, 13, 1.3f),
         small = Load(regular, 11, 1.4f);
    if (!label || !heading || !button || !logo || !title || !body || !small)
        return 1;
    const Fonts fonts{*label, *heading, *button, *logo, *title, *body, *small};

    std::vector<std::pair<std::string, Canvas>> images;
    for (const auto& info : skin::images::kImageList)
        images.emplace_back(std::string(info.name), Canvas(info.width, info.height));
    auto canvas = [&](const char* name) -> Canvas& {
        for (auto& [n, c] : images)
            if (n == name)
                return c;
        std::abort();
    };

    DrawBackground(canvas("Background"), fonts);
    DrawKnobStrip(canvas("Knob65"), 65, 48,
                  KnobStyle{kBigC, kBigC, 20.0f, 1.6f, 15.0f, 11.5f, 5.0f, 12.0f, 1.1f});
    DrawKnobStrip(canvas("Knob64"), 64, 65,
                  KnobStyle{kSmallCx, kSmallCy, 16.0f, 1.3f, 11.5f, 8.5f, 3.5f, 9.0f, 0.95f});
    DrawCopyPaste(canvas("Copy"), false);
    DrawCopyPaste(canvas("Paste"), true);
    DrawOnOff(canvas("OnOff"));
    CaptionStrip(canvas("FilterLP"), fonts, 27, 0.5f, 0.5f, 26.5f, 14.5f, "LP");
    CaptionStrip(canvas("FilterBP"), fonts, 27, 0.5f, 0.5f, 26.5f, 14.5f, "BP");
    CaptionStrip(canvas("FilterHP"), fonts, 27, 0.5f, 0.5f, 26.5f, 14.5f, "HP");
    const char* digitNames[8] = {"Digit1", "Digit2", "Digit3", "Digit4",
                                 "Digit5", "Digit6", "Digit7", "Digit8"};
    for (int d = 0; d < 8; ++d)
        DrawDigit(canvas(digitNames[d]), fonts, d + 1);
    DrawLight(canvas("LfoLight"));
    DrawAbout(canvas("About"), fonts);

    for (auto& [name, c] : images) {
        const std::string path = outDir + "/" + name + ".png";
        if (!c.SavePng(path)) {
            std::fprintf(stderr, "skingen: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    if (!mockup.empty())
        DrawMockup(mockup, [&](const char* name) -> const Canvas& { return canvas(name); });
    return 0;
}
