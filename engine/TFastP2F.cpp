#include "engine/TFastP2F.h"

#include "engine/DspConstants.h"
#include "engine/FastMath.h"

namespace engine {

TFastP2F::TFastP2F() noexcept : table(dspconst::kPitchTable) {}

float TFastP2F::Convert(float pitch) const noexcept {
    int i = FastTrunc(pitch) + kOrigin;
    // Keeps every read inside the table for pitches outside the defined range.
    if (i < 0)
        i = 0;
    else if (i > kSize - 2)
        i = kSize - 2;
    const float t = static_cast<float>(static_cast<double>(pitch) + kOrigin - i);
    return static_cast<float>((1.0 - t) * table[i] + static_cast<double>(t) * table[i + 1]);
}

} // namespace engine
