#pragma once

#include <cmath>

namespace host {

// Rounds to the nearest integer, halves to the even neighbour (2.5 gives 2, 3.5 gives 4), as the
// processor's default rounding does. Independent of the rounding mode the host may have set.
inline double RoundHalfEven(double x) noexcept {
    const double nearest = std::round(x);
    if (std::fabs(nearest - x) == 0.5)
        return 2.0 * std::round(x / 2.0);
    return nearest;
}

} // namespace host
