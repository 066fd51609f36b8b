#pragma once

// The data the fast engine's frame kernels work on: one block's plan and the state carried from frame to
// frame, laid out for vectors. Plain data only, shared by the kernel units of every instruction set (each
// compiled with its own flags), so nothing here may have code.

#include <cstdint>

namespace engine::fast {

inline constexpr int kVoices = 8;
inline constexpr int kLfos = 8;
// Voice lanes: slot s, the s-th voice switched on counted by voice number, holds lanes 2s (left) and
// 2s + 1 (right).
inline constexpr int kLanes = 2 * kVoices;
// Stereo samples before position 0 of the line that mirror its last three, so the four taps of a read
// are always one contiguous run of memory.
inline constexpr int kGuard = 3;

// What stays the same for a whole block: the switched-on voices in lanes, their constants, and the LFOs'
// shapes and sync sources. Per-lane values are repeated for the left and right lane of a slot.
struct alignas(64) FramePlan {
    // Voices.
    alignas(64) double delay[kLanes]; // fraction of the line
    alignas(64) double modDelAmp[kLanes];
    alignas(64) double modPanAmp[kLanes];
    alignas(64) double gain[kLanes]; // pan gain before modulation: 1 - Pan (left), Pan (right)
    alignas(64) double amp[kLanes];
    alignas(64) double modAmpAmp[kLanes];
    alignas(64) double freq[kLanes]; // cut-off pitch
    alignas(64) double modFrqAmp[kLanes];
    alignas(64) double mixLow[kLanes]; // weights of the filter outputs for the filter's code
    alignas(64) double mixBand[kLanes];
    alignas(64) double mixHigh[kLanes];
    alignas(64) float resonance[kLanes];
    alignas(64) float damping[kLanes]; // what a coefficient update sets for this resonance
    alignas(64) float maxCoefficient[kLanes];
    alignas(64) std::int64_t rightLane[kLanes]; // all bits set in right lanes
    alignas(64) std::int64_t filtered[kLanes];  // all bits set in lanes whose voice has a filter
    alignas(64) std::int32_t filteredF[kLanes]; // the same for 32-bit lanes
    alignas(64) std::int32_t delIx[kLanes];     // LFO of each modulation
    alignas(64) std::int32_t panIx[kLanes];
    alignas(64) std::int32_t ampIx[kLanes];
    alignas(64) std::int32_t frqIx[kLanes];
    int slots = 0;
    int slotVoice[kVoices] = {};
    bool delayModulated = false; // some voice in use has a non-zero amount of that modulation
    bool panModulated = false;
    bool ampModulated = false;
    bool anyFilter = false;
    bool cutoffModulated = false;

    // Feedback: the voices with non-zero Feeds in voice order, switched on or not, and where the
    // feedback tap (left, right) of each is kept.
    int feedCount = 0;
    const float* feedTap[kVoices] = {};
    double feeds[kVoices] = {};

    // Globals.
    int length = 0; // samples of the line in use
    double lengthMinus1 = 0;
    float lengthMinus1f = 0;
    double inpGain = 0;
    double feedbackScale = 0;
    double mix = 0;
    double dryGain = 0; // 1 - mix
    double outGain = 0;
    double activeScale = 0;
    float sampleRate = 0;
    float inputLimit = 0; // input samples are clipped to +-inputLimit

    // LFOs. Masks have all bits set where true.
    alignas(32) std::int32_t stepping[kLfos];    // Shape != 0
    alignas(32) std::int32_t shape[6][kLfos];    // shape 1..6
    alignas(32) std::int32_t smoothing[kLfos];   // stepping and smoothed
    alignas(64) std::int64_t smoothing64[kLfos]; // the same for 64-bit lanes
    alignas(32) float syncOffset[kLfos];
    bool anySmoothing = false;
    bool anySync = false;
    // Per LFO: 0 no sync source, 1 a lower-numbered source that has stepped in this frame, 2 any other
    // source (its output as the previous frame left it).
    std::int8_t syncKind[kLfos] = {};
    std::int8_t syncSource[kLfos] = {};
    const float* pitchTable = nullptr; // TFastP2F's 650 entries
};

// Frame-to-frame state in vector layout: the LFOs, and the voices' filters and feedback taps in lanes.
struct alignas(64) FrameState {
    // LFOs.
    alignas(32) float phase[kLfos];
    alignas(32) float increment[kLfos];
    alignas(32) float random[kLfos];
    alignas(32) float syncInput[kLfos];
    alignas(32) float out[kLfos]; // unipolar, after smoothing
    alignas(64) double smoothA0[kLfos];
    alignas(64) double smoothB1[kLfos];
    alignas(64) double smoothX1[kLfos]; // previous input
    alignas(64) double smoothY1[kLfos]; // previous output

    // Voice lanes.
    alignas(64) double low[kLanes]; // filter states
    alignas(64) double high[kLanes];
    alignas(64) double band[kLanes];
    alignas(64) float coefficient[kLanes]; // frequency coefficient and damping in use
    alignas(64) float damping[kLanes];
    alignas(64) float lastFrequency[kLanes];
    alignas(64) float lastResonance[kLanes];
    alignas(64) float tap[kLanes];      // feedback tap of each lane's last frame
    alignas(64) float voiceOut[kLanes]; // this frame's voice outputs

    // The line: stereo sample p of the line, left then right, at line[2 * (p + kGuard)].
    float* line = nullptr;
    int writePos = 0;
};

// A frame kernel: renders `frames` frames. The block start has been done: the plan is built, the line's
// guard mirrors its last samples and writePos lies inside the line.
using FrameKernel = void (*)(const FramePlan& plan, FrameState& state, const float* inL, const float* inR,
                             float* outL, float* outR, int frames);

FrameKernel FrameKernelSse2() noexcept;
FrameKernel FrameKernelAvx2() noexcept;
FrameKernel FrameKernelAvx512() noexcept;

// The draw of the "Random" shape for one LFO step, out of line so the kernels share the module's
// generator code: 2 (R - 0.5), R the generator's next value.
float DrawRandom() noexcept;
// The feedback limiter's sine, out of line for the kernels' rare arguments beyond their own reduction.
double LimiterSine(double x) noexcept;

} // namespace engine::fast
