#pragma once

#include <array>
#include <string>
#include <string_view>

namespace editor {

// The value read-outs of the editor's controls: what the value line shows for a knob position
// p (0..100). Numbers with decimals have two of them and the system's decimal separator.

inline constexpr std::array<std::string_view, 7> ShapeNames{"Off",    "Parabolic", "Triangular", "Saw down",
                                                            "Saw up", "Square",    "Random"};
inline constexpr std::array<std::string_view, 8> SourceNames{"Lfo1", "Lfo2", "Lfo3", "Lfo4",
                                                             "Lfo5", "Lfo6", "Lfo7", "Lfo8"};

inline constexpr std::string_view kCrashText = "!! plugin may have crashed !!";

// Fixed-point with two decimals and the system's separator (host::FormatFixed2).
std::string FormatFixed(double value);

// The modulation source (0..7) a source knob position selects: floor(p x 7 / 100 + 0.5).
int SourceIndex(int p);
// The LFO shape (0..6) a shape knob position selects: floor(p x 6 / 100 + 0.5).
int ShapeIndex(int p);

// "ms  beats" of the delay knob. bufferSize is the BufferSize parameter (0..1). The delay is
// BufferSize x p x 20 ms; the beats need the tempo, and are left out while the host has reported none.
std::string DelayReadout(float bufferSize, int p, float sampleRate, float tempo);
// "Center " at 50, else p - 50.
std::string PanReadout(int p);
// Cut-off in Hz: 8.17742 x 1.05946 ^ (1.15 p + 15), truncated.
std::string FreqReadout(int p);
// Level in dB: (1 - p / 100) x -60.
std::string AmpReadout(int p);
// Feedback: 2p - 100.
std::string FeedsReadout(int p);
// LFO rate: p / 10 Hz when not synchronised, (100 - p) / 8 beats when it is.
std::string LfoFreqReadout(int p, bool hostSync);
// "Off " at 0, else the value and a space.
std::string SmoothReadout(int p);

} // namespace editor
