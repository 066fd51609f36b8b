#pragma once

// The data the fast engine's frame kernels work on: one block's plan and the state carried from frame to
// frame, laid out for vectors. Plain data only, shared by the kernel units of every instruction set (each
// compiled with its own flags), so nothing here may have code.

#include "engine/FillWindow.h"

#include <cstdint>

namespace engine::fast {

inline constexpr int kVoices = 8;
inline constexpr int kLfos = 8;
// Voice slots: slot s is the s-th voice switched on, counted by voice number. Vectors hold the same
// quantity of consecutive slots, one channel at a time.
inline constexpr int kSlots = kVoices;
// Frames per sub-block: the kernel runs a sub-block pass by pass (LFOs, per-voice parameters, reads,
// filters, outputs, line writes) while that is exact, and frame by frame otherwise.
inline constexpr int kSubBlock = 32;
// Stereo samples before position 0 of the line that mirror its last three, so the four taps of a read
// are always one contiguous run of memory.
inline constexpr int kGuard = 3;

// What stays the same for a whole block: the switched-on voices in slots with their constants, and the
// LFOs' shapes and sync sources.
struct alignas(64) FramePlan {
    // Voices, per slot.
    alignas(64) double delay[kSlots]; // fraction of the line
    alignas(64) double modDelAmp[kSlots];
    alignas(64) double modPanAmp[kSlots];
    alignas(64) double gainL[kSlots]; // pan gains before modulation: 1 - Pan, Pan
    alignas(64) double gainR[kSlots];
    alignas(64) double amp[kSlots];
    alignas(64) double modAmpAmp[kSlots];
    alignas(64) double freq[kSlots]; // cut-off pitch
    alignas(64) double modFrqAmp[kSlots];
    alignas(64) double mixLow[kSlots]; // weights of the filter outputs for the filter's code
    alignas(64) double mixBand[kSlots];
    alignas(64) double mixHigh[kSlots];
    alignas(64) float resonance[kSlots];
    alignas(64) float damping[kSlots]; // what a coefficient update sets for this resonance
    alignas(64) float maxCoefficient[kSlots];
    alignas(64) std::int64_t filtered[kSlots];  // all bits set for a voice with a filter
    alignas(64) std::int32_t filteredF[kSlots]; // the same in 32 bits
    alignas(64) std::int32_t delIx[kSlots];     // LFO of each modulation
    alignas(64) std::int32_t panIx[kSlots];
    alignas(64) std::int32_t ampIx[kSlots];
    alignas(64) std::int32_t frqIx[kSlots];
    int slots = 0;
    int slotVoice[kVoices] = {};
    bool delayModulated = false; // some voice in use has a non-zero amount of that modulation
    bool panModulated = false;
    bool ampModulated = false;
    bool anyFilter = false;
    bool cutoffModulated = false;

    // Feedback: voices in voice order, with where a frame's feedback tap (left, right) of each is found in
    // a tap row (two floats per slot, then two per voice for the taps of voices switched off) and its
    // feedback factor in both halves. `all` lists every voice; `feeding` only those with non-zero Feeds,
    // which gives the same sum as long as the others' taps are finite (they add zeros).
    struct FeedList {
        int count = 0;
        int index[kVoices] = {};
        alignas(16) double feeds[kVoices][2] = {};
    };
    FeedList all;
    FeedList feeding;

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
    float inputLimit = 0;      // input samples are clipped to +-inputLimit
    double stateLimitGain = 0; // a filter's states stay within gain * its input peak + floor
    double stateLimitFloor = 0;

    // LFOs. Masks have all bits set where true.
    alignas(32) std::int32_t stepping[kLfos];    // Shape != 0
    alignas(32) std::int32_t shape[6][kLfos];    // shape 1..6
    alignas(32) std::int32_t smoothing[kLfos];   // stepping and smoothed
    alignas(64) std::int64_t smoothing64[kLfos]; // the same for 64-bit lanes
    alignas(32) float syncOffset[kLfos];
    int commonShape = 0; // the shape of every LFO that steps when they share one, else 0
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

    // Voice slots: filter states per channel (left, right); the filter coefficients, which both channels
    // share; feedback taps and this frame's voice outputs, left and right side by side.
    alignas(64) double low[2][kSlots];
    alignas(64) double high[2][kSlots];
    alignas(64) double band[2][kSlots];
    alignas(64) float lowOut[2][kSlots]; // the filters' outputs of their last frame
    alignas(64) float highOut[2][kSlots];
    alignas(64) float bandOut[2][kSlots];
    alignas(64) float inputPeak[2][kSlots];  // largest input magnitude so far
    alignas(64) float stateLimit[2][kSlots]; // bound of the low and band states for that peak
    alignas(64) float coefficient[kSlots];   // frequency coefficient and damping in use
    alignas(64) float damping[kSlots];
    alignas(64) float lastFrequency[kSlots];
    alignas(64) float lastResonance[kSlots];
    alignas(64) float tap[4 * kSlots]; // the tap row of the last frame: slots, then voices switched off
    int tapsNotFinite = 0;             // whether that row holds a tap that is not finite
    alignas(64) float lastVoiceOut[2 * kSlots]; // the voice outputs of the last frame rendered

    // A spread fill under way: positions outside the window read the fill value.
    bool filling = false;
    float fillValue = 0.0f;
    FillWindow fill;

    // One sub-block, frame by frame.
    alignas(64) float input[kSubBlock][2];            // host input as the engine takes it
    alignas(64) std::int32_t writeAt[kSubBlock];      // line position written
    alignas(64) std::int8_t writerWrapped[kSubBlock]; // the writer went back to position 0 first
    alignas(64) float lfo[kSubBlock][kLfos];          // LFO outputs
    alignas(64) double delayT[kSubBlock][kSlots];     // interpolation point between taps
    alignas(64) std::int32_t newestTap[kSubBlock][kSlots];
    alignas(64) double gainL[kSubBlock][kSlots];
    alignas(64) double gainR[kSubBlock][kSlots];
    alignas(64) double amplitude[kSubBlock][kSlots];
    alignas(64) float filterF[kSubBlock][kSlots]; // frequency coefficient and damping
    alignas(64) float filterQ[kSubBlock][kSlots];
    alignas(64) double voice[kSubBlock][2][kSlots]; // read, then filtered, per channel
    alignas(64) float taps[kSubBlock][4 * kSlots];  // tap rows
    alignas(64) float voiceOut[kSubBlock][2 * kSlots];

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
