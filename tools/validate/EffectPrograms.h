#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace validate {

// What the validator knows of the effect it was written for, by the names of its parameters: how to
// draw programs whose sound depends on nothing but the calls, and how loud such a program can be.

inline constexpr int kEffectParameters = 181;
inline constexpr int kEffectInputGain = 3; // InpGain

// Whether the plug-in is that effect: its parameter count, and name(index) for a few telling indices.
bool IsKnownEffect(int numParams, const std::function<std::string(int)>& name);

// A program of the effect from its seed: every parameter, at the ends of its range often, never the
// "Random" LFO shape (its generator is seeded from a clock and shared by the module's objects); half of
// the programs have no filter at all.
std::vector<float> EffectProgram(std::uint64_t seed);

// The most each output channel (left, right) can reach under program when no voice that is on has a
// filter: each delay-line sample is the feedback limiter's sine (at most 1) plus the input times
// InpGain x 1.4, and lineBound is the most any sample the line holds has reached that way; a voice
// reads at most 1.25 times that, times its amplitude and pan gain; the wet sum is scaled by the mix,
// the dry input (at most inputPeak) by 1 - mix, both by OutGain x 1.2 and by 0.94 for each voice that is
// on. 0.1 % to spare. Empty when a voice that is on has a filter: only the documented bound holds.
std::vector<double> ProgramBound(const std::vector<float>& program, double lineBound, double inputPeak);

} // namespace validate
