#pragma once

#include "tools/vorelan/AudioStream.h"

#include <optional>
#include <vector>

typedef struct SRC_STATE_tag SRC_STATE;

namespace vorelan {

// Another source's frames at a new sample rate (libsamplerate, best-quality sinc), so that sound keeps
// its pitch and length. The output has exactly round(input frames x new rate / old rate) frames.
class Resampler : public FrameSource {
public:
    Resampler(FrameSource& source, double sampleRate);
    ~Resampler() override;
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;

    std::size_t Read(float* left, float* right, std::size_t frames) override;
    double SampleRate() const override { return sampleRate_; }
    std::optional<std::int64_t> Frames() const override;

    // True when the converter can go from one rate to the other (they differ by at most a factor 256).
    static bool Converts(double fromRate, double toRate);

private:
    std::int64_t framesFor(std::int64_t inputFrames) const;

    FrameSource& source_;
    double sampleRate_;
    double ratio_;
    SRC_STATE* state_ = nullptr;
    std::vector<float> inLeft_, inRight_, input_, output_;
    std::size_t inputUsed_ = 0, inputHeld_ = 0;
    std::int64_t inputFrames_ = 0; // frames taken from the source so far
    std::int64_t produced_ = 0;
    bool sourceEnded_ = false;
    bool converterEnded_ = false;
};

} // namespace vorelan
