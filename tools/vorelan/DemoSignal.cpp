#include "tools/vorelan/DemoSignal.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace vorelan {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTempo = 120.0;
constexpr int kBars = 4;           // 4 bars of 4 beats: 8 seconds of music
constexpr double kTailSeconds = 2; // then silence, which the delays fill

// A small deterministic noise source, so every run synthesises the same demo.
class Noise {
public:
    float next() {
        state_ = state_ * 1664525u + 1013904223u;
        return static_cast<float>(static_cast<std::int32_t>(state_)) / 2147483648.0f;
    }

private:
    std::uint32_t state_ = 0x5EED1234u;
};

double midiToHz(int note) {
    return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

void addPanned(StereoSignal& out, std::size_t at, const std::vector<float>& mono, float gain, float pan) {
    const float left = gain * static_cast<float>(std::cos(pan * kPi / 2));
    const float right = gain * static_cast<float>(std::sin(pan * kPi / 2));
    for (std::size_t i = 0; i < mono.size() && at + i < out.frames(); ++i) {
        out.left[at + i] += left * mono[i];
        out.right[at + i] += right * mono[i];
    }
}

// A plucked string by the Karplus-Strong loop: a burst of noise recirculating through a delay of one
// period with a two-point average, which damps the high partials first.
std::vector<float> pluck(double hz, double seconds, double rate, Noise& noise) {
    const std::size_t period = std::max<std::size_t>(2, static_cast<std::size_t>(rate / hz + 0.5));
    std::vector<float> loop(period);
    for (float& s : loop)
        s = noise.next();
    std::vector<float> out(static_cast<std::size_t>(seconds * rate));
    std::size_t pos = 0;
    float previous = 0;
    for (float& s : out) {
        const float current = loop[pos];
        s = current;
        loop[pos] = 0.4985f * (current + previous);
        previous = current;
        pos = (pos + 1) % period;
    }
    return out;
}

// A soft lead voice: a few harmonics with a little vibrato under an attack-decay envelope.
std::vector<float> leadNote(double hz, double seconds, double rate) {
    std::vector<float> out(static_cast<std::size_t>(seconds * rate));
    double phase = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = i / rate;
        phase += 2 * kPi * hz * (1 + 0.004 * std::sin(2 * kPi * 5.5 * t)) / rate;
        const double tone = std::sin(phase) + 0.35 * std::sin(2 * phase) + 0.15 * std::sin(3 * phase);
        const double envelope = std::min(1.0, t / 0.02) * std::exp(-2.5 * t);
        out[i] = static_cast<float>(tone * envelope);
    }
    return out;
}

std::vector<float> kick(double rate) {
    std::vector<float> out(static_cast<std::size_t>(0.35 * rate));
    double phase = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = i / rate;
        phase += 2 * kPi * (50 + 110 * std::exp(-t * 30)) / rate; // the pitch falls quickly
        out[i] = static_cast<float>(std::sin(phase) * std::exp(-t * 9));
    }
    return out;
}

std::vector<float> snare(double rate, Noise& noise) {
    std::vector<float> out(static_cast<std::size_t>(0.2 * rate));
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = i / rate;
        const double body = std::sin(2 * kPi * 190 * t) * std::exp(-t * 25);
        out[i] = static_cast<float>(0.5 * body + 0.6 * noise.next() * std::exp(-t * 18));
    }
    return out;
}

std::vector<float> hat(double rate, Noise& noise) {
    std::vector<float> out(static_cast<std::size_t>(0.06 * rate));
    float previous = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const float white = noise.next();
        const float bright = white - previous; // first difference: mostly high frequencies
        previous = white;
        out[i] = static_cast<float>(bright * std::exp(-(i / rate) * 60));
    }
    return out;
}

} // namespace

StereoSignal MakeDemoSignal(double rate) {
    const double beat = 60.0 / kTempo;
    const double musicSeconds = kBars * 4 * beat;
    StereoSignal out;
    const auto frames = static_cast<std::size_t>((musicSeconds + kTailSeconds) * rate);
    out.left.assign(frames, 0.0f);
    out.right.assign(frames, 0.0f);
    Noise noise;
    auto frameAt = [&](double seconds) { return static_cast<std::size_t>(seconds * rate); };

    // A minor, F major, C major, G major: one chord per bar, strummed on beats 1 and 3.
    const int chords[kBars][4] = {{57, 64, 69, 72}, {53, 60, 65, 69}, {48, 55, 64, 67}, {55, 62, 67, 71}};
    for (int bar = 0; bar < kBars; ++bar)
        for (int strum = 0; strum < 2; ++strum) {
            const double start = (bar * 4 + strum * 2) * beat;
            for (int n = 0; n < 4; ++n) {
                const std::vector<float> string =
                    pluck(midiToHz(chords[bar][n]), 2 * beat + 0.3, rate, noise);
                addPanned(out, frameAt(start + 0.018 * n), string, 0.16f, 0.3f + 0.13f * n);
            }
        }

    // The melody in eighth notes and rests (0), an octave above the chords.
    const int melody[kBars][8] = {{76, 0, 72, 74, 76, 79, 76, 0},
                                  {77, 0, 76, 72, 69, 0, 72, 74},
                                  {76, 0, 79, 76, 72, 0, 74, 72},
                                  {74, 71, 67, 71, 74, 0, 79, 0}};
    for (int bar = 0; bar < kBars; ++bar)
        for (int step = 0; step < 8; ++step)
            if (melody[bar][step] != 0)
                addPanned(out, frameAt((bar * 4 + step * 0.5) * beat),
                          leadNote(midiToHz(melody[bar][step]), beat * 0.9, rate), 0.12f, 0.62f);

    // Kick on 1 and 3, snare on 2 and 4, closed hat on every eighth note.
    const std::vector<float> kickSound = kick(rate);
    for (int b = 0; b < kBars * 4; ++b) {
        if (b % 2 == 0)
            addPanned(out, frameAt(b * beat), kickSound, 0.45f, 0.5f);
        else
            addPanned(out, frameAt(b * beat), snare(rate, noise), 0.22f, 0.45f);
        for (int half = 0; half < 2; ++half)
            addPanned(out, frameAt((b + 0.5 * half) * beat), hat(rate, noise), half ? 0.05f : 0.08f, 0.7f);
    }

    // A short fade at the end of the music so nothing clicks off.
    const std::size_t fadeStart = frameAt(musicSeconds - 0.25), fadeEnd = frameAt(musicSeconds);
    for (std::size_t i = fadeStart; i < frames; ++i) {
        const float gain = i >= fadeEnd ? 0.0f : static_cast<float>(fadeEnd - i) / (fadeEnd - fadeStart);
        out.left[i] *= gain;
        out.right[i] *= gain;
    }
    return out;
}

} // namespace vorelan
