#pragma once

// The fast engine's accuracy against the reference engine, over a stretch of output: the difference has
// an RMS at least 100 dB below the reference output's RMS and a peak below 1e-4 of its peak.

#include <algorithm>
#include <cmath>
#include <limits>

namespace testsupport {

struct DifferenceMeter {
    static constexpr double kRmsBoundDb = -100.0;
    static constexpr double kPeakBound = 1e-4;

    double signal = 0.0; // sums of squares
    double difference = 0.0;
    double peak = 0.0;
    double differencePeak = 0.0;

    void Add(float reference, float fast) {
        const double d = static_cast<double>(fast) - reference;
        signal += static_cast<double>(reference) * reference;
        difference += d * d;
        peak = std::max(peak, std::fabs(static_cast<double>(reference)));
        differencePeak = std::isnan(d) ? d : std::max(differencePeak, std::fabs(d));
    }
    void Add(const DifferenceMeter& other) {
        signal += other.signal;
        difference += other.difference;
        peak = std::max(peak, other.peak);
        differencePeak = std::max(differencePeak, other.differencePeak);
    }
    // The difference's RMS against the output's, in decibels (minus infinity for no difference).
    double RmsDb() const {
        if (difference == 0.0)
            return -std::numeric_limits<double>::infinity();
        return 10.0 * std::log10(difference / signal);
    }
    // The difference's peak against the output's (0 for no difference).
    double PeakRatio() const { return differencePeak == 0.0 ? 0.0 : differencePeak / peak; }
    bool WithinBound() const { return RmsDb() <= kRmsBoundDb && PeakRatio() < kPeakBound; }
};

} // namespace testsupport
