#include "tools/validate/HostBuffers.h"

#include "tools/validate/Random.h"
#include "tools/validate/Session.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>

namespace validate {

void FillSignal(Signal signal, std::uint32_t seed, int channel, float* out, int frames) {
    Random random((static_cast<std::uint64_t>(seed) << 8) | static_cast<std::uint64_t>(channel));
    switch (signal) {
    case Signal::Silence:
        std::fill(out, out + frames, 0.0f);
        break;
    case Signal::Noise:
        for (int i = 0; i < frames; ++i)
            out[i] = 0.8f * random.Bipolar();
        break;
    case Signal::Tone: {
        // y[n] = k·y[n-1] − y[n-2] with k = 2·cos(w): a sine of amplitude 0.5 made with exactly
        // rounded operations only, so every platform produces the same samples.
        const float u = 0.02f + 0.98f * random.Unit();
        const float k = 2.0f - u * u;
        float y2 = 0.0f;
        float y1 = 0.5f * std::sqrt(1.0f - 0.25f * k * k);
        for (int i = 0; i < frames; ++i) {
            out[i] = y1;
            const float y = k * y1 - y2;
            y2 = y1;
            y1 = y;
        }
        break;
    }
    case Signal::Loud:
        for (int i = 0; i < frames; ++i)
            out[i] = 1000.0f * random.Bipolar();
        break;
    case Signal::Denormal:
        for (int i = 0; i < frames; ++i)
            out[i] =
                random.Chance(100) ? std::numeric_limits<float>::denorm_min() : 1e-39f * random.Bipolar();
        break;
    case Signal::Dc:
        std::fill(out, out + frames, random.Bipolar());
        break;
    case Signal::Impulse:
        std::fill(out, out + frames, 0.0f);
        if (frames > 0)
            out[random.Below(static_cast<std::uint32_t>(frames))] = 1.0f;
        break;
    case Signal::NonFinite: {
        const float bad[] = {std::numeric_limits<float>::quiet_NaN(),
                             -std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                             -std::numeric_limits<float>::infinity()};
        for (int i = 0; i < frames; ++i)
            out[i] = random.Chance(60) ? bad[random.Below(4)] : 0.5f * random.Bipolar();
        break;
    }
    case Signal::Huge:
        for (int i = 0; i < frames; ++i)
            out[i] = random.Chance(50) ? FLT_MAX * random.Bipolar() : 0.5f * random.Bipolar();
        break;
    }
}

Signal BoundedSignal(Signal signal) {
    switch (signal) {
    case Signal::Silence:
    case Signal::Noise:
    case Signal::Tone:
    case Signal::Dc:
    case Signal::Impulse:
        return signal;
    default:
        return Signal::Noise;
    }
}

std::string TextFromSeed(std::uint32_t seed) {
    Random random(seed);
    const std::uint32_t roll = random.Below(10);
    const std::uint32_t length = roll < 6   ? random.Below(24)
                                 : roll < 9 ? 24 + random.Below(41)
                                            : 65 + random.Below(336);
    std::string text;
    for (std::uint32_t i = 0; i < length; ++i)
        text += static_cast<char>(random.Chance(50) ? 128 + random.Below(128) : 32 + random.Below(95));
    return text;
}

unsigned char* HostBytes::Prepare(std::size_t region, unsigned char fill) {
    region_ = region;
    storage_.assign((region + kGuardBytes + 7) / 8, 0);
    std::memset(data(), fill, region);
    std::memset(data() + region, kSentinel, kGuardBytes);
    return data();
}

void HostBytes::Remember() {
    before_.assign(data(), data() + region_);
}

bool HostBytes::GuardIntact() {
    const unsigned char* guard = data() + region_;
    return std::all_of(guard, guard + kGuardBytes, [](unsigned char b) { return b == kSentinel; });
}

bool HostBytes::Unchanged() {
    return std::memcmp(before_.data(), data(), region_) == 0;
}

std::size_t HostBytes::WrittenExtent() {
    std::size_t end = region_ + kGuardBytes;
    while (end > 0 && data()[end - 1] == kSentinel)
        --end;
    return end;
}

void Channels::Prepare(int count, int frames) {
    store.resize(static_cast<std::size_t>(count));
    pointers.assign(static_cast<std::size_t>(count), nullptr);
    for (int c = 0; c < count; ++c) {
        std::vector<float>& channel = store[static_cast<std::size_t>(c)];
        channel.assign(static_cast<std::size_t>(frames) + 2 * kGuardFrames, FloatOf(kGuardBits));
        pointers[static_cast<std::size_t>(c)] = channel.data() + kGuardFrames;
    }
    pointersBefore = pointers;
}

std::int64_t Channels::BrokenGuard(int channel, int frames) const {
    const std::vector<float>& c = store[static_cast<std::size_t>(channel)];
    for (int i = 0; i < kGuardFrames; ++i) {
        if (BitsOf(c[static_cast<std::size_t>(i)]) != kGuardBits)
            return i - kGuardFrames;
        if (BitsOf(c[static_cast<std::size_t>(kGuardFrames + frames + i)]) != kGuardBits)
            return frames + i;
    }
    return INT32_MIN;
}

void BlockBuffers::Prepare(int numIn, int numOut, int frames, bool replacing, bool inPlace,
                           std::uint32_t busSeed, const std::function<void(int, float*, int)>& fill,
                           double& peak) {
    const int n = frames;
    inputs.Prepare(numIn, n);
    inputCopy.resize(static_cast<std::size_t>(numIn));
    for (int c = 0; c < numIn; ++c) {
        float* samples = inputs.pointers[static_cast<std::size_t>(c)];
        fill(c, samples, n);
        inputCopy[static_cast<std::size_t>(c)].assign(samples, samples + n);
        for (int i = 0; i < n; ++i)
            if (std::isfinite(samples[i]))
                peak = std::max(peak, static_cast<double>(std::fabs(samples[i])));
    }
    outputs.Prepare(inPlace ? 0 : numOut, n);
    prefill.resize(static_cast<std::size_t>(numOut));
    Random bus(busSeed);
    const bool silentBus = bus.Chance(700);
    for (int c = 0; c < numOut && !inPlace; ++c) {
        float* samples = outputs.pointers[static_cast<std::size_t>(c)];
        // A replacing call must overwrite the marker; an accumulating one adds to what the host's bus holds.
        for (int i = 0; i < n; ++i)
            samples[i] = replacing ? FloatOf(kMarkerBits) : silentBus ? 0.0f : 0.5f * bus.Bipolar();
        prefill[static_cast<std::size_t>(c)].assign(samples, samples + n);
    }
    if (inPlace)
        outputs.pointers = inputs.pointers;
    outputs.pointersBefore = outputs.pointers;
}

std::optional<Finding> BlockBuffers::Check(const char* what, int numIn, int numOut, std::int64_t frames,
                                           bool replacing, bool inPlace, double outputBound, double peak,
                                           const std::vector<double>& tight) const {
    const int n = static_cast<int>(std::max<std::int64_t>(frames, 0));
    const std::string blockText = " (block of " + std::to_string(frames) + " frames)";
    for (int c = 0; c < numIn; ++c)
        if (const std::int64_t at = inputs.BrokenGuard(c, n); at != INT32_MIN)
            return Finding{FindingKind::WriteOutside, std::string(what) + " wrote input channel " +
                                                          std::to_string(c) + " at frame " +
                                                          std::to_string(at) + blockText};
    for (int c = 0; c < numOut && !inPlace; ++c)
        if (const std::int64_t at = outputs.BrokenGuard(c, n); at != INT32_MIN)
            return Finding{FindingKind::WriteOutside, std::string(what) + " wrote output channel " +
                                                          std::to_string(c) + " at frame " +
                                                          std::to_string(at) + blockText};
    if (inputs.pointers != inputs.pointersBefore || outputs.pointers != outputs.pointersBefore)
        return Finding{FindingKind::WriteOutside,
                       std::string(what) + " changed the host's array of channel pointers"};
    if (!inPlace)
        for (int c = 0; c < numIn; ++c)
            for (int i = 0; i < n; ++i)
                if (BitsOf(inputs.pointers[static_cast<std::size_t>(c)][i]) !=
                    BitsOf(inputCopy[static_cast<std::size_t>(c)][static_cast<std::size_t>(i)]))
                    return Finding{FindingKind::InputChanged, std::string(what) + " changed input channel " +
                                                                  std::to_string(c) + " at frame " +
                                                                  std::to_string(i) + blockText};
    const double bound = outputBound * (1.0 + kInputGainBound * std::min(peak, kInputPeakClip));
    for (int c = 0; c < numOut; ++c) {
        const double limit = static_cast<std::size_t>(c) < tight.size()
                                 ? std::min(bound, tight[static_cast<std::size_t>(c)])
                                 : bound;
        for (int i = 0; i < n; ++i) {
            const float out = outputs.pointers[static_cast<std::size_t>(c)][i];
            const double added = replacing
                                     ? out
                                     : static_cast<double>(out) -
                                           prefill[static_cast<std::size_t>(c)][static_cast<std::size_t>(i)];
            if (std::isfinite(out) && std::fabs(added) <= limit && BitsOf(out) != kMarkerBits)
                continue;
            const std::string where =
                std::string(what) + ": output channel " + std::to_string(c) + " frame " + std::to_string(i);
            if (replacing && !inPlace && BitsOf(out) == kMarkerBits)
                return Finding{FindingKind::FrameNotWritten, where + " was not written" + blockText};
            if (!std::isfinite(out))
                return Finding{FindingKind::NotFinite, where + " is " + Describe(out) + blockText};
            if (limit < bound)
                return Finding{FindingKind::OutOfBound,
                               where + " is " + Describe(added) + ", beyond " + Describe(limit) +
                                   ", the most the program allows (its output gain, mix and voices on, "
                                   "no filter)" +
                                   blockText};
            return Finding{FindingKind::OutOfBound, where + " is " + Describe(added) + ", beyond " +
                                                        Describe(outputBound) + " x (1 + " +
                                                        Describe(kInputGainBound) + " x input peak " +
                                                        Describe(peak) + ")" + blockText};
        }
    }
    return std::nullopt;
}

} // namespace validate
