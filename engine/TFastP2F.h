#pragma once

#include "engine/DspConstants.h"

#include <array>

namespace engine {

// Pitch in semitones to frequency in hertz: f(p) = 8.17742 * 1.05946^p, from a table of the whole
// semitones -480..169 with linear interpolation between them. The ratio is the decimal 1.05946, not
// 2^(1/12) = 1.0594631, so pitch 130 is 14914.53 Hz. The table entries are the exact values rounded once
// to float (generated, see DspConstants.h); between entries the error is that of linear interpolation
// of an exponential, at most about 0.04 % above the curve (near half-semitones).
class TFastP2F {
public:
    static constexpr int kSize = dspconst::kPitchTableSize;
    // Table index of pitch 0.
    static constexpr int kOrigin = dspconst::kPitchOrigin;

    TFastP2F() noexcept;

    // Defined for -480 <= pitch < 169 (the engine passes 0..130). Below a whole pitch the value is
    // extrapolated from the entries of the segment that truncation toward zero selects. Outside the
    // table the end segments are extended linearly; NaN gives NaN.
    float Convert(float pitch) const noexcept;

    // Entry i: frequency of pitch i - 480.
    std::array<float, kSize> table;
};

} // namespace engine
