#pragma once

#include <vector>

namespace vorelan {

// A stereo signal in two separate channel arrays.
struct StereoSignal {
    std::vector<float> left;
    std::vector<float> right;
    std::size_t frames() const { return left.size(); }
};

// About ten seconds of music-like material at sampleRate: plucked-string chords, a melody over them
// and a small drum pattern at 120 beats per minute, with a quiet ending so the effect's tail is heard.
// The same rate always gives the same samples.
StereoSignal MakeDemoSignal(double sampleRate);

} // namespace vorelan
