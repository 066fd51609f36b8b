#include "tools/skingen/Pictures.h"

#include <cmath>

namespace skingen {

void HRule(Canvas& c, float x0, float x1, float y, Color col) {
    c.Fill(
        x0, y, x1, y + 1, [=](Vec p) { return SdRoundRect(p, x0, y, x1, y + 1, 0); }, col);
}

namespace {

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

} // namespace

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

} // namespace skingen
