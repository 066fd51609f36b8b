#include "tools/skingen/Pictures.h"

#include <cmath>

namespace skingen {

namespace {

// ---------------------------------------------------------------------------------------------------
// Knobs

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

} // namespace

void DrawKnobStrip(Canvas& c, int frames, int frameWidth, const KnobStyle& s) {
    for (int i = 0; i < frames; ++i) {
        c.SetClip(i * frameWidth, 0, (i + 1) * frameWidth, c.Height());
        DrawKnob(c, static_cast<float>(i * frameWidth), s, static_cast<float>(i) / (frames - 1));
    }
    c.ResetClip();
}

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

} // namespace skingen
