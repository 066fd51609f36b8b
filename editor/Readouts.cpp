#include "editor/Readouts.h"

#include "host/Text.h"

#include <cmath>

namespace editor {

std::string FormatFixed(double value) {
    // The value itself is rounded, not a single-precision copy of it: a read-out computed as
    // 0.0349999... must not become 0.035 on the way and show "0.04". Absurd sizes (beats at tempos no
    // host reports) read as the host's display texts of a single-precision value do.
    if (!(std::fabs(value) < 1e15))
        value = static_cast<float>(value);
    char text[400];
    host::FormatFixed2(value, host::DecimalSeparator(), text, sizeof text);
    return text;
}

int SourceIndex(int p) {
    const int s = static_cast<int>(std::floor(p * 7.0 / 100.0 + 0.5));
    return s < 0 ? 0 : s > 7 ? 7 : s;
}

int ShapeIndex(int p) {
    const int s = static_cast<int>(std::floor(p * 6.0 / 100.0 + 0.5));
    return s < 0 ? 0 : s > 6 ? 6 : s;
}

std::string DelayReadout(float bufferSize, int p, float sampleRate, float tempo) {
    // The delay is a share of the recording buffer (BufferSize x 2 s at most). Written out with the
    // sample rate it reduces to BufferSize x p x 20 ms, which also holds before the host has told the
    // rate, so the rate only enters when it is known.
    double ms;
    if (sampleRate > 0 && std::isfinite(sampleRate))
        ms = static_cast<double>(bufferSize) * 2.0 * sampleRate / 100.0 * p / sampleRate * 1000.0;
    else
        ms = static_cast<double>(bufferSize) * p * 20.0;
    std::string text = FormatFixed(ms) + " ms";
    if (tempo > 0 && std::isfinite(tempo))
        text += "  " + FormatFixed(ms / (60000.0 / tempo)) + " beats";
    return text;
}

std::string PanReadout(int p) {
    if (p == 50)
        return "Center ";
    return std::to_string(p - 50);
}

std::string FreqReadout(int p) {
    const double f = 8.17742 * std::pow(1.05946, 1.15 * p + 15.0);
    return std::to_string(static_cast<long long>(std::trunc(f))) + " Hz";
}

std::string AmpReadout(int p) {
    const double db = (1.0 - p / 100.0) * -60.0;
    // At the top of the range the product is a negative zero; it reads as plain 0.
    return FormatFixed(db == 0 ? 0.0 : db) + " db";
}

std::string FeedsReadout(int p) {
    return std::to_string(2 * p - 100);
}

std::string LfoFreqReadout(int p, bool hostSync) {
    if (!hostSync)
        return FormatFixed(p / 10.0) + " Hz";
    return FormatFixed((100 - p) / 8.0) + " beats";
}

std::string SmoothReadout(int p) {
    if (p == 0)
        return "Off ";
    return std::to_string(p) + " ";
}

} // namespace editor
