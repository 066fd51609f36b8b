#include "tools/vorelan/Resampler.h"

#include "tools/vorelan/ToolError.h"

#include <samplerate.h>

#include <algorithm>
#include <cmath>

namespace vorelan {

namespace {
constexpr std::size_t kInputFrames = 4096;
} // namespace

Resampler::Resampler(FrameSource& source, double sampleRate)
    : source_(source), sampleRate_(sampleRate), ratio_(sampleRate / source.SampleRate()) {
    int error = 0;
    state_ = src_new(SRC_SINC_BEST_QUALITY, 2, &error);
    if (!state_)
        throw ToolError(std::string("cannot start the resampler: ") + src_strerror(error));
    if (!src_is_valid_ratio(ratio_)) {
        src_delete(state_);
        throw UsageError("cannot resample from " + std::to_string(source.SampleRate()) + " Hz to " +
                         std::to_string(sampleRate) + " Hz: the ratio is too large");
    }
    inLeft_.resize(kInputFrames);
    inRight_.resize(kInputFrames);
    input_.resize(kInputFrames * 2);
}

bool Resampler::Converts(double fromRate, double toRate) {
    return fromRate > 0 && src_is_valid_ratio(toRate / fromRate) != 0;
}

Resampler::~Resampler() {
    src_delete(state_);
}

std::int64_t Resampler::framesFor(std::int64_t inputFrames) const {
    return std::llround(static_cast<double>(inputFrames) * ratio_);
}

std::optional<std::int64_t> Resampler::Frames() const {
    const std::optional<std::int64_t> frames = source_.Frames();
    return frames ? std::optional<std::int64_t>(framesFor(*frames)) : std::nullopt;
}

std::size_t Resampler::Read(float* left, float* right, std::size_t frames) {
    // Once the source has ended, the length is known: never more than it, silence up to it.
    auto limit = [&](std::size_t count) {
        if (!sourceEnded_)
            return count;
        const std::int64_t remaining = std::max<std::int64_t>(0, framesFor(inputFrames_) - produced_);
        return static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(count), remaining));
    };
    output_.resize(frames * 2);
    std::size_t got = 0;
    while (got == 0 && !converterEnded_) {
        if (inputUsed_ == inputHeld_ && !sourceEnded_) {
            inputHeld_ = source_.Read(inLeft_.data(), inRight_.data(), kInputFrames);
            inputUsed_ = 0;
            inputFrames_ += static_cast<std::int64_t>(inputHeld_);
            sourceEnded_ = inputHeld_ == 0;
            for (std::size_t i = 0; i < inputHeld_; ++i) {
                input_[2 * i] = inLeft_[i];
                input_[2 * i + 1] = inRight_[i];
            }
        }
        SRC_DATA data{};
        data.data_in = input_.data() + 2 * inputUsed_;
        data.input_frames = static_cast<long>(inputHeld_ - inputUsed_);
        data.data_out = output_.data();
        data.output_frames = static_cast<long>(frames);
        data.end_of_input = sourceEnded_ ? 1 : 0;
        data.src_ratio = ratio_;
        if (const int error = src_process(state_, &data))
            throw ToolError(std::string("the resampler failed: ") + src_strerror(error));
        inputUsed_ += static_cast<std::size_t>(data.input_frames_used);
        got = static_cast<std::size_t>(data.output_frames_gen);
        if (sourceEnded_ && got == 0)
            converterEnded_ = true;
    }
    got = limit(got);
    for (std::size_t i = 0; i < got; ++i) {
        left[i] = output_[2 * i];
        right[i] = output_[2 * i + 1];
    }
    if (got == 0 && converterEnded_) {
        // The converter's last frames may fall short of the exact length by a frame or two.
        got = limit(frames);
        std::fill_n(left, got, 0.0f);
        std::fill_n(right, got, 0.0f);
    }
    produced_ += static_cast<std::int64_t>(got);
    return got;
}

} // namespace vorelan
