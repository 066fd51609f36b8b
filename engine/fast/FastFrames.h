#pragma once

// The data the fast engine's frame kernels work on: one block's plan, the engine's state (owned here and
// nowhere else), and the scratch of one sub-block, laid out for vectors. Plain data only, shared by the
// kernel units of every instruction set (each compiled with its own flags), so nothing here may have code.
//
// Two layouts meet in a sub-block. Time-major rows ([voice][frame]) carry what is computed for many
// frames of one voice at once: the delay, the line reads, the feedback taps, the voices' gains and
// outputs. Voice-major rows ([frame][voice]) carry what is recursive in time and so runs frame by frame
// with the voices as lanes: the LFOs, the filter coefficients and the filters.

#include "engine/EngineValues.h"
#include "engine/FillWindow.h"

#include <cstdint>

namespace engine::fast {

inline constexpr int kVoices = kVoiceCount;
inline constexpr int kLfos = kLfoCount;
// Voice and LFO lanes: eight of each, one bit per voice in the voice masks.
static_assert(kVoices == 8 && kLfos == 8, "the kernels lay voices and LFOs out as eight lanes");

// Frames per sub-block, at most. A voice whose taps are all older than the sub-block is read for all of its
// frames before the sub-block writes the line; one that feeds back and reads closer behind the writer is
// read frame by frame, so sub-blocks are shorter while a voice that feeds back might (only speed depends
// on their length).
inline constexpr int kSubBlock = 64;
inline constexpr int kShortSubBlock = 32;
// The widest float vector (AVX-512): the time-major rows are read and written in whole vectors.
inline constexpr int kMaxFloats = 16;
static_assert(kSubBlock % kMaxFloats == 0 && kShortSubBlock % kMaxFloats == 0,
              "a sub-block is whole vectors of frames on every path");
// Samples mirrored before position 0 of the line (the last ones of the length in use), so that the taps
// of a vector of consecutive frames are contiguous memory even where the reads wrap around the line's end.
inline constexpr int kGuard = 48;
static_assert(kGuard >= kMaxFloats + 5, "a wrapped vector of taps stays inside the mirrors");
// Lines shorter than this are read frame by frame.
inline constexpr int kMinVectorLength = 2 * kGuard;
// Time-major rows hold a sub-block and the spill of the widest vector.
inline constexpr int kRow = kSubBlock + kMaxFloats;

// What stays the same for a whole block: the voices switched on with their constants, the feedback
// lists, the LFOs' shapes and sync sources.
struct alignas(64) FramePlan {
    // Voices switched on, in voice order.
    int active[kVoices] = {};
    int activeCount = 0;
    // Masks, one bit per voice.
    std::uint32_t exactRead = 0;  // feeds back or is filtered: its read enters a state
    std::uint32_t floatRead = 0;  // switched on and read in float: neither feeds back nor is filtered
    std::uint32_t filterBits = 0; // switched on with a filter
    std::uint32_t feedBits = 0;   // non-zero Feeds (switched on or off)
    std::uint32_t delayBits = 0;  // delay modulated
    std::uint32_t panBits = 0;    // pan modulated
    std::uint32_t ampBits = 0;    // amplitude modulated
    std::uint32_t cutoffBits = 0; // switched on with a filter whose cut-off is modulated
    bool cutoffModulated = false; // cutoffBits is not empty

    // Per voice. The delay of a voice without delay modulation is settled for the block.
    double delay[kVoices] = {}; // fraction of the line
    double modDelAmp[kVoices] = {};
    int delIx[kVoices] = {}; // LFO of each modulation
    int panIx[kVoices] = {};
    int ampIx[kVoices] = {};
    float fixedT[kVoices] = {}; // interpolation point and whole part of a delay without modulation
    int fixedWhole[kVoices] = {};
    float gainL[kVoices] = {}; // pan gains before modulation: 1 - Pan, Pan
    float gainR[kVoices] = {};
    float modPanAmp[kVoices] = {};
    float amp[kVoices] = {};
    float modAmpAmp[kVoices] = {};

    // Filters, voice lanes.
    alignas(64) double freq[kVoices] = {}; // cut-off pitch
    alignas(64) double modFrqAmp[kVoices] = {};
    alignas(64) float mixLow[kVoices] = {}; // weights (0 or 1) of the filter outputs for the voice's code
    alignas(64) float mixBand[kVoices] = {};
    alignas(64) float mixHigh[kVoices] = {};
    alignas(64) float resonance[kVoices] = {};
    alignas(64) float damping[kVoices] = {}; // what a coefficient update sets for this resonance
    alignas(64) float maxCoefficient[kVoices] = {};
    alignas(64) std::int32_t frqIx[kVoices] = {};

    // Feedback: the voices whose taps enter the feedback sum, in voice order, with their factors. `feeding`
    // lists the voices with non-zero Feeds, switched on or off; `all` adds the voices switched on without
    // feedback, whose taps add zeros while they are finite numbers.
    struct FeedList {
        int count = 0;
        int voice[kVoices] = {};
        double feeds[kVoices] = {};
    };
    FeedList feeding;
    FeedList all;

    // Globals.
    int subBlock = kShortSubBlock; // frames per sub-block, at most
    int length = 0;                // samples of the line in use
    double lengthMinus1 = 0;
    float lengthMinus1f = 0;
    double inpGain = 0;
    double feedbackScale = 0;
    float mix = 0;
    float dryGain = 0; // 1 - mix
    float outGain = 0;
    float activeScale = 0;
    float sampleRate = 0;
    float inputLimit = 0;      // input samples are clipped to +-inputLimit
    double stateLimitGain = 0; // a filter's states stay within gain * its input peak + floor
    double stateLimitFloor = 0;
    const float* pitchTable = nullptr;

    // LFOs. Masks have all bits set where true.
    alignas(32) std::int32_t stepping[kLfos] = {};  // Shape != 0
    alignas(32) std::int32_t shape[6][kLfos] = {};  // shape 1..6
    alignas(64) std::int64_t smoothing[kLfos] = {}; // stepping and smoothed
    alignas(32) float syncOffset[kLfos] = {};
    int commonShape = 0;             // the shape of every LFO that steps when they share one, else 0
    std::int8_t shapeOf[kLfos] = {}; // 0 (stopped) .. 6
    bool anyRandom = false;          // some LFO steps with the "Random" shape
    bool anySmoothing = false;
    bool anySync = false;
    // Per LFO: 0 no sync source, 1 a lower-numbered source that has stepped in this frame, 2 any other
    // source (its output as the previous frame left it).
    std::int8_t syncKind[kLfos] = {};
    std::int8_t syncSource[kLfos] = {};
};

// The engine's state between frames and blocks, and the scratch of one sub-block.
struct alignas(64) FrameState {
    // ---- LFOs: oscillator, output smoother, sync ----
    alignas(32) float phase[kLfos] = {};
    alignas(32) float increment[kLfos] = {};
    alignas(32) float lastRate[kLfos] = {}; // rate the increment was computed for
    alignas(32) float random[kLfos] = {};   // the "Random" shape's value, held between draws
    alignas(32) float syncInput[kLfos] = {};
    alignas(32) float out[kLfos] = {}; // unipolar, after smoothing
    alignas(32) float smoothA0[kLfos] = {};
    alignas(32) float smoothB1[kLfos] = {};
    alignas(32) float smoothCutoff[kLfos] = {}; // cut-off the coefficients were computed for
    alignas(32) float smoothX1[kLfos] = {};     // previous input
    alignas(32) float smoothY1[kLfos] = {};     // previous output

    // ---- voices: filter per channel (left, right), coefficients shared by both, feedback taps ----
    alignas(64) double low[2][kVoices] = {}; // states; each holds a float
    alignas(64) double high[2][kVoices] = {};
    alignas(64) double band[2][kVoices] = {};
    alignas(64) float lowOut[2][kVoices] = {}; // the filters' outputs of their last frame
    alignas(64) float highOut[2][kVoices] = {};
    alignas(64) float bandOut[2][kVoices] = {};
    alignas(64) float inputPeak[2][kVoices] = {};  // largest input magnitude so far
    alignas(64) float stateLimit[2][kVoices] = {}; // bound of the low and band states for that peak
    alignas(64) float coefficient[kVoices] = {};   // frequency coefficient and damping in use
    alignas(64) float damping[kVoices] = {};
    alignas(64) float lastFrequency[kVoices] = {};
    alignas(64) float lastResonance[kVoices] = {};
    alignas(64) float tap[2][kVoices] = {};      // feedback taps: post-filter output of the last frame + 1e-8
    alignas(64) float voiceOut[2][kVoices] = {}; // each voice's output of the last frame

    // ---- the line ----
    // Sample p of channel c at line[c][p], 0 <= p < kDelayCapacity; positions -kGuard .. -1 mirror the
    // last kGuard of the length in use, and kGuard more after the capacity absorb the spill of a vector.
    float* line[2] = {nullptr, nullptr};
    int writePos = 0;
    // A spread fill under way: positions outside the window read the fill value.
    bool filling = false;
    float fillValue = 0.0f;
    FillWindow fill;

    // ---- one sub-block ----
    alignas(64) float input[2][kRow] = {}; // host input as the engine takes it
    alignas(64) std::int32_t writeAt[kSubBlock] = {};
    alignas(64) std::int8_t writerWrapped[kSubBlock] = {}; // the writer went back to position 0 first
    alignas(64) float lfo[kRow][kLfos] = {};               // LFO outputs, voice-major
    alignas(64) float lfoT[kLfos][kRow] = {};              // the same, time-major
    alignas(64) float lfoRandomT[kLfos][kRow] = {};        // the "Random" shape's value, frame by frame
    alignas(64) float delayT[kVoices][kRow] = {};          // interpolation point between taps
    alignas(64) std::int32_t whole[kVoices][kRow] = {};    // whole samples of the delay
    alignas(64) float gain[2][kVoices][kRow] = {};         // pan gains, where modulated
    alignas(64) float amplitude[kVoices][kRow] = {};       // amplitude factor, where modulated
    alignas(64) float coefficientT[kVoices][kRow] = {};    // frequency coefficient, time-major
    alignas(64) float frequencyT[kRow] = {};               // cut-off frequency of one voice
    alignas(64) float filterF[kSubBlock][kVoices] = {};    // frequency coefficient and damping
    alignas(64) float filterQ[kSubBlock][kVoices] = {};
    bool dampingPerFrame = false; // filterQ holds the damping; otherwise it is the state's, in every frame
    alignas(64) float signal[2][kVoices][kRow] = {};     // read, then filtered
    alignas(64) float signalV[2][kRow][kVoices] = {};    // the same, voice-major, for the filters
    alignas(64) float tapRow[kVoices][2][kRow + 1] = {}; // [0]: the tap before the sub-block
    alignas(64) float written[2][kRow] = {};             // the line samples written
    // The filters as a sub-block found them, while voices read after its writes may need them again.
    struct Filters {
        double low[2][kVoices], high[2][kVoices], band[2][kVoices];
        float lowOut[2][kVoices], highOut[2][kVoices], bandOut[2][kVoices];
        float inputPeak[2][kVoices], stateLimit[2][kVoices];
    };
    Filters savedFilters = {};
    alignas(64) float output[2][kRow] = {};
};

// A frame kernel: renders `frames` frames. The block start has been done: the plan is built, the line's
// mirror is current.
using FrameKernel = void (*)(const FramePlan& plan, FrameState& state, const float* inL, const float* inR,
                             float* outL, float* outR, int frames);

FrameKernel FrameKernelSse2() noexcept;
FrameKernel FrameKernelAvx2() noexcept;
FrameKernel FrameKernelAvx512() noexcept;

// The draw of the "Random" shape for one LFO step, out of line so the kernels share the module's
// generator code: 2 (R - 0.5), R the generator's next value.
float DrawRandom() noexcept;
// The feedback limiter's sine, out of line for the kernels' single frames and rare arguments.
double LimiterSine(double x) noexcept;

} // namespace engine::fast
