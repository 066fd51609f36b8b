#include "engine/EffectCore.h"

#include "engine/FastMath.h"
#include "engine/fast/FastEngine.h"
#include "host/RandomGenerator.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace engine {

namespace {

constexpr std::uint64_t kFillPending = std::uint64_t{1} << 32;

// 1 for an infinity or a not-a-number (all exponent bits set), else 0; a plain integer test, so a loop
// over a block's samples vectorises.
inline std::uint32_t NonFinite(float x) {
    return (std::bit_cast<std::uint32_t>(x) & 0x7f800000u) == 0x7f800000u ? 1u : 0u;
}

inline float FiniteOrSilence(float x) {
    return std::isfinite(x) ? x : 0.0f;
}

// Whether the frames of a and b share memory.
bool Overlap(const float* a, const float* b, int frames) {
    const auto first = reinterpret_cast<std::uintptr_t>(a);
    const auto second = reinterpret_cast<std::uintptr_t>(b);
    const auto bytes = static_cast<std::uintptr_t>(frames) * sizeof(float);
    return first < second + bytes && second < first + bytes;
}

} // namespace

EffectCore::EffectCore(std::unique_ptr<AudioEngine> frames)
    : frames_(frames ? std::move(frames) : CreateFastEngine()) {
    // Every new effect reseeds the generator the random LFO shape draws from.
    host::RandomGenerator::SeedFromClock();
    SetProgramName(kFactoryProgramName);
    for (int i = 0; i < kParameterCount; ++i) {
        const float factory = kParameters[static_cast<std::size_t>(i)].factory;
        parameters_[static_cast<std::size_t>(i)] = factory;
        ConvertParameter(block_, i, factory);
    }
}

EffectCore::~EffectCore() = default;

void EffectCore::SetParameter(int index, float value) noexcept {
    if (index < 0 || index >= kParameterCount)
        return;
    parameters_[static_cast<std::size_t>(index)] = ClampParameter(value);
    // Marked after the store, so the audio thread that takes the mark reads this value or a newer one.
    changed_[static_cast<std::size_t>(index / 32)].fetch_or(1u << (index % 32), std::memory_order_release);
}

float EffectCore::Parameter(int index) const noexcept {
    if (index < 0 || index >= kParameterCount)
        return 0.0f;
    return parameters_[static_cast<std::size_t>(index)];
}

void EffectCore::ReapplyParameters() noexcept {
    for (int w = 0; w < kChangedWords; ++w) {
        const int bits = std::min(32, kParameterCount - 32 * w);
        const std::uint32_t all = bits == 32 ? ~0u : (1u << bits) - 1u;
        changed_[static_cast<std::size_t>(w)].fetch_or(all, std::memory_order_release);
    }
}

void EffectCore::SetProgramName(std::string_view name) noexcept {
    const std::size_t length = std::min({name.size(), name.find('\0'), kProgramNameLength});
    std::memcpy(programName_.data(), name.data(), length);
    programName_[length] = '\0';
}

void EffectCore::RequestDelayFill(float value) noexcept {
    delayFillRequest_ = kFillPending | std::bit_cast<std::uint32_t>(FiniteOrSilence(value));
}

float EffectCore::PublishedLfoOut(int lfo) const noexcept {
    if (lfo < 0 || lfo >= kLfoCount)
        return 0.0f;
    return publishedLfoOut_[static_cast<std::size_t>(lfo)];
}

void EffectCore::ServeDelayFill() noexcept {
    const std::uint64_t request = delayFillRequest_.exchange(0);
    frames_->ServeFill(request != 0, std::bit_cast<float>(static_cast<std::uint32_t>(request)),
                       kFillPerBlock);
}

void EffectCore::ConvertMarkedParameters() noexcept {
    for (int w = 0; w < kChangedWords; ++w) {
        std::atomic<std::uint32_t>& word = changed_[static_cast<std::size_t>(w)];
        if (word.load(std::memory_order_relaxed) == 0)
            continue;
        for (std::uint32_t bits = word.exchange(0, std::memory_order_acquire); bits != 0; bits &= bits - 1) {
            const int index = 32 * w + std::countr_zero(bits);
            ConvertParameter(block_, index, parameters_[static_cast<std::size_t>(index)]);
        }
    }
}

// A sample rate that is not a number above 0 (or is infinite) leaves the previous one in effect; any
// other is kept within kMinSampleRate .. kMaxSampleRate. A tempo that is not a number from 0 up leaves
// the previous one; a higher one than kMaxTempo is taken as kMaxTempo.
void EffectCore::TakeTime(const HostTime& time) noexcept {
    const double rate = time.sampleRate;
    if (rate > 0.0 && std::isfinite(rate))
        sampleRate_ = static_cast<float>(std::clamp(rate, double{kMinSampleRate}, double{kMaxSampleRate}));
    if (time.tempo && *time.tempo >= 0.0)
        tempo_ = *time.tempo < kMaxTempo ? static_cast<float>(*time.tempo) : kMaxTempo;
    if (time.playing)
        playing_ = *time.playing ? 1 : 0;
}

void EffectCore::Process(const float* inL, const float* inR, float* outL, float* outR, int frames,
                         const HostTime& time) noexcept {
    if (frames <= 0) {
        RunBlock(inL, inR, outL, outR, 0, time);
        return;
    }
    const bool inPlace = Overlap(outL, inL, frames) || Overlap(outL, inR, frames) ||
                         Overlap(outR, inL, frames) || Overlap(outR, inR, frames);
    if (!inPlace) {
        RunBlock(inL, inR, outL, outR, frames, time);
        return;
    }
    // The frame engine may read an input frame after it wrote an output frame.
    for (int done = 0; done < frames;) {
        const int n = std::min(kPieceFrames, frames - done);
        std::copy_n(inL + done, n, pieceL_.data());
        std::copy_n(inR + done, n, pieceR_.data());
        RunBlock(pieceL_.data(), pieceR_.data(), outL + done, outR + done, n, time);
        done += n;
    }
}

// The block steps; the frames are the frame engine's.
void EffectCore::RunBlock(const float* inL, const float* inR, float* outL, float* outR, int frames,
                          const HostTime& time) noexcept {
    // Requests from the user-interface thread that rewrite the lines land between blocks.
    ServeDelayFill();

    // Block steps: time information, the values stored since the last block, line length, voice scales,
    // transport reset, rates.
    TakeTime(time);
    const float sampleRate = sampleRate_;
    const float tempo = tempo_;
    ConvertMarkedParameters();
    const EngineSnapshot& e = block_;
    BufferLength = BufferLengthFor(e.BufferSize, sampleRate);

    // Each voice switched on lowers the overall level by 0.94, rounded to float at every step.
    ActiveScale = 1.0f;
    FeedbackScale = 1.0f;
    for (int k = 0; k < kVoiceCount; ++k) {
        if (e.Pow[k] != 1)
            continue;
        ActiveScale = static_cast<float>(ActiveScale * 0.94);
        if (e.Feeds[k] != 0.0f)
            FeedbackScale = static_cast<float>(FeedbackScale * 0.94);
    }

    Playing = playing_;
    if (Playing != LastPlaying) {
        frames_->RestartLfos(e);
        LastPlaying = Playing;
    }

    // Tempo lock: a cycle of (100 - n) / 8 beats, n = round(100 x) for the stored LfoFreq x. At n = 100
    // the division gives an infinite rate, which wraps the phase to -0.5 at every step, also in the step
    // after a transport or sync restart (the oscillator restarts a phase that is not a number). A tempo
    // of 0 stands the LFO still at every n.
    for (int k = 0; k < kLfoCount; ++k) {
        float rate = e.LfoFreq[k];
        if (e.HostSync[k] == 1) {
            const int n = RoundEven(static_cast<float>(10.0 * e.LfoFreq[k]));
            rate = tempo == 0.0f ? 0.0f : static_cast<float>((static_cast<double>(tempo) / 7.5) / (100 - n));
        }
        LfoRate[k] = rate;
    }
    publishedSampleRate_ = sampleRate;
    publishedTempo_ = tempo;

    if (frames > 0) {
        BlockContext block;
        block.values = &e;
        block.sampleRate = sampleRate;
        block.bufferLength = BufferLength;
        block.activeScale = ActiveScale;
        block.feedbackScale = FeedbackScale;
        block.lfoRate = LfoRate;
        frames_->Render(block, inL, inR, outL, outR, frames);
    }

    HealNonFiniteState(outL, outR, frames);
    for (int k = 0; k < kLfoCount; ++k)
        publishedLfoOut_[static_cast<std::size_t>(k)] = frames_->LfoOutput(k);
}

// Nothing in the engine should ever leave a state that is not a finite number. Should one appear anyway,
// it is found here once per block: its output samples become silence, and the frame engine resets every
// poisoned state and fills the lines with 0 (they may hold what the poisoned state wrote), so the next
// block plays normally.
void EffectCore::HealNonFiniteState(float* outL, float* outR, int frames) noexcept {
    std::uint32_t nonFinite = 0;
    for (int j = 0; j < frames; ++j)
        nonFinite |= NonFinite(outL[j]) | NonFinite(outR[j]);
    if (nonFinite == 0 && frames_->StatesFinite())
        return;
    for (int j = 0; j < frames; ++j) {
        outL[j] = FiniteOrSilence(outL[j]);
        outR[j] = FiniteOrSilence(outR[j]);
    }
    frames_->ResetNonFiniteStates(block_);
}

} // namespace engine
