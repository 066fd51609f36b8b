#pragma once

// The fast engine's frame loop, written once over the vector types of a `Simd` traits class and compiled
// once per instruction set (KernelSse2.cpp, KernelAvx2.cpp, KernelAvx512.cpp). Everything here is local to
// the including unit, so no code compiled for one instruction set can stand in for another's.
//
// Two kinds of arithmetic, chosen by where a value goes:
//
// - Everything that is kept from frame to frame or feeds back into the delay lines is the reference
//   engine's arithmetic, operation for operation: doubles where the reference evaluates in double, a
//   conversion to float wherever it stores a float. That is the LFOs and their smoothers, every voice's
//   delay, the line writes (feedback sum, limiter sine, input gain), the filters with their coefficients,
//   the feedback taps, and the reads of every voice that feeds back or is filtered. The feedback loop
//   can be chaotic, and any difference inside it, however small, grows until the output is unrelated to
//   the reference's; the lines and every kept state are therefore bit for bit the reference's. Where the
//   reference rounds a single operation on two floats (a sum, a quotient) to float, or its operation is
//   exact (a doubling, a product with 0 or 1), the float operation stands for it: it gives the same bits.
// - What only reaches the output is float arithmetic, in the reference's order of operations: the reads
//   of voices that neither feed back nor are filtered, pan gains, amplitude, the voices' outputs and their
//   sums, mix and output gain. Its difference from the reference is a few units in the last place of the
//   output; it never enters a state (the feedback tap such a voice keeps for a later block is read exactly
//   at the block's last frame).
//
// Every lane computes the same sequence of operations whatever the vector width, and sums over voices
// keep voice order, so every path gives the same bits. Where frames are processed in vectors of time
// (LFO waveforms, delays, cut-off coefficients, reads, taps, writes, outputs) or as lanes (LFO phases and
// smoothers, filters) changes nothing but speed, so the output does not depend on how the host cuts blocks
// either.

#include "engine/DspConstants.h"
#include "engine/fast/FastFrames.h"

#include <cstdint>
#include <cstring>
#include <type_traits>

namespace engine::fast {
namespace {

constexpr double kTwoOverPi = 0x1.45f306dc9c883p-1;
constexpr double kRoundingShift = 0x1.8p52;
constexpr double kMaxQuadrant = 0x1p29;
// The constants of PortableSin, copied at compile time.
constexpr double kPio2Parts[7] = {dspconst::kPio2Parts[0], dspconst::kPio2Parts[1], dspconst::kPio2Parts[2],
                                  dspconst::kPio2Parts[3], dspconst::kPio2Parts[4], dspconst::kPio2Parts[5],
                                  dspconst::kPio2Parts[6]};
constexpr double kSinTail[7] = {dspconst::kSinTail[0], dspconst::kSinTail[1], dspconst::kSinTail[2],
                                dspconst::kSinTail[3], dspconst::kSinTail[4], dspconst::kSinTail[5],
                                dspconst::kSinTail[6]};
constexpr double kCosTail[7] = {dspconst::kCosTail[0], dspconst::kCosTail[1], dspconst::kCosTail[2],
                                dspconst::kCosTail[3], dspconst::kCosTail[4], dspconst::kCosTail[5],
                                dspconst::kCosTail[6]};
// Added to each voice's post-filter output to form its feedback tap, keeping the loop out of denormals.
constexpr double kTapOffset = 1e-8;
// The filter's denormal guard and its average over three passes (the decimal, not one third).
constexpr double kFilterGuard = 1e-18;
constexpr double kThird = 0.3333333333333;

inline int Wrap(int position, int length) {
    return position < 0 ? position + length : position >= length ? position - length : position;
}

// Four-point cubic (Catmull-Rom) read between y0 (t = 0) and the older y1 (t = 1): the reference's
// expression in its order of operations, in the precision of T (float or double, scalar or vector).
// U is the scalar type of T.
template <typename T, typename U> inline T Cubic(T ym1, T y0, T y1, T y2, T t) {
    const T a = y1 - ym1;
    const T b = ((U(4) * y1 + U(2) * ym1) - U(5) * y0) - y2;
    const T c = ((U(3) * (y0 - y1)) - ym1) + y2;
    return y0 + (U(0.5) * t) * (a + t * (b + t * c));
}

template <class S> struct FrameLoop {
    using VD = typename S::VD;
    using VF = typename S::VF;
    using VI = typename S::VI;
    using MD = typename S::MD;
    using VL = typename S::VL;
    using ML = typename S::ML;
    using VW = typename S::VW;
    using VWI = typename S::VWI;
    static constexpr int kW = S::kWidth;  // doubles per vector: frames of time, or voices
    static constexpr int kF = S::kFloats; // floats per wide vector: frames of time
    static_assert(kF == 2 * kW && kSubBlock % kF == 0 && kVoices % kW == 0);

    // Rounds each lane to float and back, as storing a float does.
    static VD R(VD v) { return S::ToDouble(S::ToFloat(v)); }

    // ---- the feedback limiter's sine, on kW frames at once ----
    //
    // PortableSin's reduction and polynomials, operation for operation, so every lane gives its bits.
    // Arguments it reduces differently (not finite, or 2^29 quarter turns and more) go to it.

    static VD Polynomial(const double (&c)[7], VD z) {
        VD p = S::Set(c[6]);
        for (int i = 5; i >= 0; --i)
            p = p * z + c[i];
        return p;
    }
    static VD SinKernel(VD r, VD t) {
        const VD z = r * r;
        const VD tail = r * z * Polynomial(kSinTail, z);
        return r + (tail + t * (1.0 - 0.5 * z));
    }
    static VD CosKernel(VD r, VD t) {
        const VD z = r * r;
        const VD half = 0.5 * z;
        const VD w = 1.0 - half;
        return w + (((1.0 - w) - half) + (z * z * Polynomial(kCosTail, z) - r * t));
    }
    static void TwoSum(VD a, VD b, VD& s, VD& e) {
        s = a + b;
        const VD bb = s - a;
        e = (a - (s - bb)) + (b - bb);
    }
    static VD Sine(VD x) {
        const VD k = (x * kTwoOverPi + kRoundingShift) - kRoundingShift;
        const VD absK = S::AbsD(k);
        // Not finite (k is then not a number or infinite) or too far out for this reduction.
        if (S::MaskBitsD(~(absK < kMaxQuadrant)) != 0) {
            alignas(64) double lanes[kW];
            S::Store(lanes, x);
            for (int i = 0; i < kW; ++i)
                lanes[i] = LimiterSine(lanes[i]);
            return S::Load(lanes);
        }
        const MD small = k == 0.0;
        const VD direct = SinKernel(x, S::Set(0.0));
        if (S::MaskBitsD(small) == (1 << kW) - 1)
            return direct;
        VD hi = x - k * kPio2Parts[0];
        VD lo = S::Set(0.0);
        for (int i = 1; i < 7; ++i) {
            VD s, e;
            TwoSum(hi, -k * kPio2Parts[i], s, e);
            hi = s;
            lo = lo + e;
        }
        VD r, t;
        TwoSum(hi, lo, r, t);
        const VD sine = SinKernel(r, t);
        const VD cosine = CosKernel(r, t);
        // Quarter turn k mod 4: 0 sin, 1 cos, 2 -sin, 3 -cos.
        const VI quadrant = S::RoundToInt(k);
        const MD useCos = S::WidenMask((quadrant & 1) != 0);
        const MD negate = S::WidenMask((quadrant & 2) != 0);
        VD result = useCos ? cosine : sine;
        result = negate ? -result : result;
        return small ? direct : result;
    }

    // ---- host input ----

    // Host input samples as the engine takes them: not-a-number and infinities as silence, the rest within
    // the input limit (the comparisons of a clamp, so that a flushed denormal stays what it was).
    static VW EngineInput(VW x, float limit) {
        const VWI finite = (x - x) == 0.0f;
        VW clamped = x < -limit ? S::SetW(-limit) : x;
        clamped = limit < clamped ? S::SetW(limit) : clamped;
        return finite ? clamped : S::SetW(0.0f);
    }
    static float EngineInput(float x, float limit) {
        const float clamped = x < -limit ? -limit : limit < x ? limit : x;
        return x - x == 0.0f ? clamped : 0.0f;
    }

    static void TakeInput(const FramePlan& plan, FrameState& st, const float* inL, const float* inR, int n) {
        const float* in[2] = {inL, inR};
        for (int c = 0; c < 2; ++c) {
            int j = 0;
            for (; j + kF <= n; j += kF)
                S::StoreW(st.input[c] + j, EngineInput(S::LoadUW(in[c] + j), plan.inputLimit));
            for (; j < n; ++j)
                st.input[c][j] = EngineInput(in[c][j], plan.inputLimit);
        }
    }

    // ---- LFOs: frame by frame, the LFOs as lanes ----

    // The waveforms of phase p: 8 u (1 - 2|u|) with u = 0.25 - |p|, and 1 - 4|p|.
    static VL Parabolic(VL p) {
        const VL u = 0.25f - S::AbsL(p);
        return (8.0f * u) * (1.0f - 2.0f * S::AbsL(u));
    }
    static VL Triangle(VL p) { return 1.0f - 4.0f * S::AbsL(p); }

    // One frame of every LFO.
    static void StepLfos(const FramePlan& plan, FrameState& st) {
        alignas(32) float next[kLfos];
        for (int o = 0; o < kLfos; o += S::kLfoLanes) {
            const ML stepping = S::LoadLMask(plan.stepping + o);
            const VL increment = S::LoadL(st.increment + o);
            VL phase = S::LoadL(st.phase + o);
            // One step; a phase past +0.5 or not finite restarts at -0.5, one below -0.5 wraps to +0.5 with
            // a negative rate and restarts at -0.5 otherwise.
            VL stepped = phase + increment;
            const ML restart = ~(stepped <= 0.5f) | (S::AbsL(stepped) == __builtin_inff()) |
                               ((stepped < -0.5f) & ~(increment < 0.0f));
            const ML wrapUp = ~restart & (stepped < -0.5f);
            stepped = restart ? S::SetL(-0.5f) : (wrapUp ? S::SetL(0.5f) : stepped);
            phase = stepping ? stepped : phase;

            const VL p = phase;
            // A step that lands exactly on -0.5 draws the next random value, LFO by LFO.
            if (const int draws = S::MaskBitsL(stepping & (p == -0.5f)))
                for (int i = 0; i < S::kLfoLanes; ++i)
                    if (draws & (1 << i))
                        st.random[o + i] = DrawRandom();

            // Hard sync from the source's value seen at the previous step: restart at the offset. This
            // frame's outputs still come from the phase before the restart.
            const ML hit = stepping & (S::LoadL(st.syncInput + o) == 1.0f);
            S::StoreL(st.phase + o, hit ? S::LoadL(plan.syncOffset + o) - increment : phase);

            VL bipolar;
            switch (plan.commonShape) { // the one shape of every LFO that steps, if they share one
            case 1:
                bipolar = Parabolic(p);
                break;
            case 2:
                bipolar = Triangle(p);
                break;
            case 3:
                bipolar = 2.0f * p;
                break;
            case 4:
                bipolar = -2.0f * p;
                break;
            case 5:
                bipolar = p >= 0.0f ? S::SetL(1.0f) : S::SetL(-1.0f);
                break;
            case 6:
                bipolar = S::LoadL(st.random + o);
                break;
            default:
                bipolar = S::LoadL(st.random + o);
                bipolar =
                    S::LoadLMask(plan.shape[4] + o) ? (p >= 0.0f ? S::SetL(1.0f) : S::SetL(-1.0f)) : bipolar;
                bipolar = S::LoadLMask(plan.shape[3] + o) ? -2.0f * p : bipolar;
                bipolar = S::LoadLMask(plan.shape[2] + o) ? 2.0f * p : bipolar;
                bipolar = S::LoadLMask(plan.shape[1] + o) ? Triangle(p) : bipolar;
                bipolar = S::LoadLMask(plan.shape[0] + o) ? Parabolic(p) : bipolar;
            }
            // (b + 1) 0.5: one rounding, as the reference's double expression rounded to float.
            const VL unipolar = (bipolar + 1.0f) * 0.5f;
            S::StoreL(next + o, stepping ? unipolar : S::LoadL(st.out + o));
        }

        // What each stepping LFO's sync source shows: a lower-numbered source its unsmoothed value of
        // this frame, any other its final value of the previous frame.
        if (plan.anySync) {
            for (int k = 0; k < kLfos; ++k) {
                if (plan.stepping[k] == 0)
                    continue;
                const int source = plan.syncSource[k];
                st.syncInput[k] = plan.syncKind[k] == 0   ? 0.0f
                                  : plan.syncKind[k] == 1 ? next[source]
                                                          : st.out[source];
            }
        } else {
            for (int o = 0; o < kLfos; o += S::kLfoLanes)
                S::StoreL(st.syncInput + o,
                          S::LoadLMask(plan.stepping + o) ? S::SetL(0.0f) : S::LoadL(st.syncInput + o));
        }
        for (int o = 0; o < kLfos; o += S::kLfoLanes)
            S::StoreL(st.out + o, S::LoadL(next + o));

        if (plan.anySmoothing)
            Smooth(plan, st, st.out);
    }

    // One step of the smoothers on the LFO outputs `out` (eight, replaced by the smoothed ones where the
    // LFO is smoothed): y = (x + 1e-18) a0 + a0 x1 + b1 y1, in double, rounded once.
    static void Smooth(const FramePlan& plan, FrameState& st, float* out) {
        for (int o = 0; o < kLfos; o += kW) {
            const VD x = S::ToDouble(S::LoadF(out + o));
            const VD a0 = S::ToDouble(S::LoadF(st.smoothA0 + o));
            const VD x1 = S::ToDouble(S::LoadF(st.smoothX1 + o));
            const VD y1 = S::ToDouble(S::LoadF(st.smoothY1 + o));
            const VD b1 = S::ToDouble(S::LoadF(st.smoothB1 + o));
            const VD y = (x + kFilterGuard) * a0 + a0 * x1 + y1 * b1;
            const MD on = S::LoadMask(plan.smoothing + o);
            S::StoreF(st.smoothX1 + o, S::ToFloat(on ? x : x1));
            S::StoreF(st.smoothY1 + o, S::ToFloat(on ? y : y1));
            S::StoreF(out + o, S::ToFloat(on ? y : x));
        }
    }

    // Smooth over the voice-major LFO rows of frames [0, n), with the smoothers' states in registers.
    static void SmoothRows(const FramePlan& plan, FrameState& st, int n) {
        bool every = true;
        for (int k = 0; k < kLfos; ++k)
            every = every && plan.smoothing[k] != 0;
        if (every)
            SmoothRows<true>(plan, st, n);
        else
            SmoothRows<false>(plan, st, n);
    }
    // kAll: every LFO is smoothed.
    template <bool kAll> static void SmoothRows(const FramePlan& plan, FrameState& st, int n) {
        constexpr int G = kLfos / kW;
        VD a0[G], b1[G], x1[G], y1[G];
        MD on[G];
        for (int g = 0; g < G; ++g) {
            a0[g] = S::LoadFD(st.smoothA0 + g * kW);
            b1[g] = S::LoadFD(st.smoothB1 + g * kW);
            x1[g] = S::LoadFD(st.smoothX1 + g * kW);
            y1[g] = S::LoadFD(st.smoothY1 + g * kW);
            on[g] = S::LoadMask(plan.smoothing + g * kW);
        }
        for (int j = 0; j < n; ++j)
            for (int g = 0; g < G; ++g) {
                float* out = st.lfo[j] + g * kW;
                const VD x = S::LoadFD(out);
                const VD y = R((x + kFilterGuard) * a0[g] + a0[g] * x1[g] + y1[g] * b1[g]);
                if constexpr (kAll) {
                    x1[g] = x;
                    y1[g] = y;
                    S::StoreDF(out, y);
                } else {
                    x1[g] = on[g] ? x : x1[g];
                    y1[g] = on[g] ? y : y1[g];
                    S::StoreDF(out, on[g] ? y : x);
                }
            }
        for (int g = 0; g < G; ++g) {
            S::StoreDF(st.smoothX1 + g * kW, x1[g]);
            S::StoreDF(st.smoothY1 + g * kW, y1[g]);
        }
    }

    // The LFOs of a sub-block in which every stepping LFO's phase lies within -0.5 .. +0.5, its increment is
    // a finite number of 0 or more and no sync can fire, so a step only restarts a phase past +0.5: the
    // phases frame by frame with the LFOs as lanes (a step that lands on -0.5 draws the next random value,
    // LFO by LFO, as the general step does), then each LFO's waveform over the frames, a vector of frames at
    // a time, then the smoothers frame by frame. Leaves the outputs time-major in lfoT.
    static void PlainLfos(const FramePlan& plan, FrameState& st, int n, int padded) {
        constexpr int G = kLfos / S::kLfoLanes;
        VL phase[G], increment[G];
        ML stepping[G], restarted[G];
        for (int g = 0; g < G; ++g) {
            phase[g] = S::LoadL(st.phase + g * S::kLfoLanes);
            increment[g] = S::LoadL(st.increment + g * S::kLfoLanes);
            stepping[g] = S::LoadLMask(plan.stepping + g * S::kLfoLanes);
            restarted[g] = ML{};
        }
        const auto steps = [&](auto every) {
            for (int j = 0; j < n; ++j)
                for (int g = 0; g < G; ++g) {
                    const VL stepped = phase[g] + increment[g];
                    const VL next = stepped <= 0.5f ? stepped : S::SetL(-0.5f);
                    if constexpr (decltype(every)::value)
                        phase[g] = next;
                    else
                        phase[g] = stepping[g] ? next : phase[g];
                    S::StoreL(st.lfo[j] + g * S::kLfoLanes, phase[g]);
                    restarted[g] = restarted[g] | (phase[g] == -0.5f);
                }
        };
        bool every = true;
        for (int k = 0; k < kLfos; ++k)
            every = every && plan.stepping[k] != 0;
        if (every)
            steps(std::true_type{});
        else
            steps(std::false_type{});
        bool draws = false;
        for (int g = 0; g < G; ++g) {
            S::StoreL(st.phase + g * S::kLfoLanes, phase[g]);
            draws = draws || S::MaskBitsL(stepping[g] & restarted[g]) != 0;
        }
        // The "Random" shape's value of every frame, time-major. A step that lands on -0.5 draws the next
        // one, frame by frame and LFO by LFO, as the general step does.
        for (int k = 0; k < kLfos; ++k)
            if (plan.shapeOf[k] == 6)
                for (int j = 0; j < padded; j += kF)
                    S::StoreW(st.lfoRandomT[k] + j, S::SetW(st.random[k]));
        if (draws)
            for (int j = 0; j < n; ++j)
                for (int k = 0; k < kLfos; ++k)
                    if (plan.stepping[k] != 0 && st.lfo[j][k] == -0.5f) {
                        st.random[k] = DrawRandom();
                        if (plan.shapeOf[k] == 6)
                            for (int i = j; i < padded; ++i)
                                st.lfoRandomT[k][i] = st.random[k];
                    }
        for (int j = n; j < padded; ++j)
            std::memcpy(st.lfo[j], st.lfo[n - 1], sizeof st.lfo[j]);
        for (int j = 0; j < padded; j += 8)
            S::Transpose8(st.lfo[j], kLfos, st.lfoT[0] + j, kRow);
        for (int k = 0; k < kLfos; ++k) {
            float* row = st.lfoT[k];
            // Each frame's unipolar value (b + 1) 0.5 of the bipolar waveform b of its phase p.
            const auto wave = [&](auto bipolar) {
                for (int j = 0; j < padded; j += kF)
                    S::StoreW(row + j, (bipolar(S::LoadW(row + j), j) + 1.0f) * 0.5f);
            };
            // The phases are numbers within -0.5 .. 0.5 here, so clearing the sign bit gives p < 0 ? -p : p
            // (and the waveforms take the same value at -0 and +0).
            const auto magnitude = [](VW p) { return S::AbsW(p); };
            switch (plan.shapeOf[k]) {
            case 0:
                for (int j = 0; j < padded; j += kF)
                    S::StoreW(row + j, S::SetW(st.out[k]));
                break;
            case 1:
                wave([&](VW p, int) {
                    const VW u = 0.25f - magnitude(p);
                    return (8.0f * u) * (1.0f - 2.0f * magnitude(u));
                });
                break;
            case 2:
                wave([&](VW p, int) { return 1.0f - 4.0f * magnitude(p); });
                break;
            case 3:
                wave([](VW p, int) { return 2.0f * p; });
                break;
            case 4:
                wave([](VW p, int) { return -2.0f * p; });
                break;
            case 5:
                wave([](VW p, int) { return p >= 0.0f ? S::SetW(1.0f) : S::SetW(-1.0f); });
                break;
            default:
                wave([&](VW, int j) { return S::LoadW(st.lfoRandomT[k] + j); });
            }
        }
        // A stepping LFO without a sync source sees 0.
        for (int k = 0; k < kLfos; ++k)
            st.syncInput[k] = plan.stepping[k] != 0 ? 0.0f : st.syncInput[k];
        if (plan.anySmoothing) {
            for (int j = 0; j < padded; j += 8)
                S::Transpose8(st.lfoT[0] + j, kRow, st.lfo[j], kLfos);
            SmoothRows(plan, st, n);
            for (int j = n; j < padded; ++j)
                std::memcpy(st.lfo[j], st.lfo[n - 1], sizeof st.lfo[j]);
            for (int j = 0; j < padded; j += 8)
                S::Transpose8(st.lfo[j], kLfos, st.lfoT[0] + j, kRow);
        }
        for (int k = 0; k < kLfos; ++k)
            st.out[k] = st.lfoT[k][n - 1];
    }

    // The LFO outputs of frames [0, n), in both layouts; the frames up to the end of the last whole vector
    // repeat frame n - 1, so every vector over them holds defined values.
    static void Lfos(const FramePlan& plan, FrameState& st, int n, int padded) {
        bool plain = !plan.anySync;
        for (int o = 0; o < kLfos; o += S::kLfoLanes) {
            const VL increment = S::LoadL(st.increment + o), phase = S::LoadL(st.phase + o);
            const ML fits = ~S::LoadLMask(plan.stepping + o) |
                            ((increment >= 0.0f) & (increment <= 1.0f) & (phase >= -0.5f) & (phase <= 0.5f) &
                             (S::LoadL(st.syncInput + o) != 1.0f));
            plain = plain && S::MaskBitsL(fits) == (1 << S::kLfoLanes) - 1;
        }
        if (plain)
            return PlainLfos(plan, st, n, padded);
        for (int j = 0; j < n; ++j) {
            StepLfos(plan, st);
            std::memcpy(st.lfo[j], st.out, sizeof st.out);
        }
        for (int j = n; j < padded; ++j)
            std::memcpy(st.lfo[j], st.lfo[n - 1], sizeof st.lfo[j]);
        for (int j = 0; j < padded; j += 8)
            S::Transpose8(st.lfo[j], kLfos, st.lfoT[0] + j, kRow);
    }

    // ---- per voice, time-major: delays, gains and amplitudes ----

    // Delay in samples of voice v for frames [0, padded): its whole part and the interpolation point.
    // Modulation only shortens it; the bound keeps every tap inside the line. Answers the range of the
    // whole parts.
    static void Delays(const FramePlan& plan, FrameState& st, int v, int padded, int& lowest, int& highest) {
        float* t = st.delayT[v];
        std::int32_t* whole = st.whole[v];
        if ((plan.delayBits >> v & 1) == 0) {
            for (int j = 0; j < padded; j += kF) {
                S::StoreW(t + j, S::SetW(plan.fixedT[v]));
                S::StoreWI(whole + j, VWI{} + plan.fixedWhole[v]);
            }
            lowest = highest = plan.fixedWhole[v];
            return;
        }
        const float* m = st.lfoT[plan.delIx[v]];
        const VD amount = S::Set(plan.modDelAmp[v]), delay = S::Set(plan.delay[v]);
        const VD lengthMinus1 = S::Set(plan.lengthMinus1);
        const VW lengthMinus1f = S::SetW(plan.lengthMinus1f);
        // The range of the delays; the whole parts of its ends are the range of the whole parts.
        VW low = lengthMinus1f, high = S::SetW(0.0f);
        // The delay in double, kW frames at a time; the rest in float, kF frames at a time.
        const auto delayOf = [&](int j) {
            return S::ToFloat((1.0 - S::LoadFD(m + j) * amount) * lengthMinus1 * delay);
        };
        for (int j = 0; j < padded; j += kF) {
            VW d = S::Join(delayOf(j), delayOf(j + kW));
            d = d >= 0.0f ? d : S::SetW(0.0f);
            d = d > lengthMinus1f ? lengthMinus1f : d;
            const VWI w = S::TruncateW(d);
            S::StoreW(t + j, d - S::IntToFloatW(w));
            S::StoreWI(whole + j, w);
            low = d < low ? d : low;
            high = d > high ? d : high;
        }
        lowest = S::MinWI(S::TruncateW(low));
        highest = S::MaxWI(S::TruncateW(high));
    }

    // Pan gains and amplitude of a voice whose modulation is on, in float.
    static void Gains(const FramePlan& plan, FrameState& st, int v, int padded) {
        if (plan.panBits >> v & 1) {
            const float* m = st.lfoT[plan.panIx[v]];
            const VW amount = S::SetW(plan.modPanAmp[v]);
            const VW gainL = S::SetW(plan.gainL[v]), gainR = S::SetW(plan.gainR[v]);
            for (int j = 0; j < padded; j += kF) {
                const VW mp = S::LoadW(m + j);
                S::StoreW(st.gain[0][v] + j, (1.0f - mp * amount) * gainL);
                S::StoreW(st.gain[1][v] + j, (1.0f - (1.0f - mp) * amount) * gainR);
            }
        }
        if (plan.ampBits >> v & 1) {
            const float* m = st.lfoT[plan.ampIx[v]];
            const VW amount = S::SetW(plan.modAmpAmp[v]), amp = S::SetW(plan.amp[v]);
            for (int j = 0; j < padded; j += kF)
                S::StoreW(st.amplitude[v] + j, (1.0f - S::LoadW(m + j) * amount) * amp);
        }
    }

    // ---- filter coefficients: over the sub-block's frames, voice by voice ----

    // Voice v's cut-off of frames [0, padded): its frequency in st.frequencyT and the frequency coefficient
    // an update for it sets, f = 2 SinApprox(frequency / sample rate) bounded to 0 .. the largest stable
    // coefficient, in its coefficient row.
    static void CutoffRow(const FramePlan& plan, FrameState& st, int v, int padded) {
        const float* m = st.lfoT[plan.frqIx[v]];
        const float* table = plan.pitchTable;
        const VD amount = S::Set(plan.modFrqAmp[v]), pitchOf = S::Set(plan.freq[v]);
        const VF maxF = S::SetF(plan.maxCoefficient[v]), rate = S::SetF(plan.sampleRate);
        float* frequencies = st.frequencyT;
        float* coefficients = st.coefficientT[v];
        for (int j = 0; j < padded; j += kW) {
            const VF pitch = S::ToFloat((1.0 - S::LoadFD(m + j) * amount) * pitchOf);
            // Pitch to frequency: truncation toward zero (as FastTrunc), a table segment, linear in it.
            const VD pitchD = S::ToDouble(pitch);
            VI whole = S::RoundToInt(2.0 * S::AbsD(pitchD) - 0.5) >> 1;
            whole = pitch < 0.0f ? -whole : whole;
            const VI index = S::Clamp(whole + dspconst::kPitchOrigin, 0, dspconst::kPitchTableSize - 2);
            const VD below = S::ToDouble(S::Lookup(table, index));
            const VD above = S::ToDouble(S::Lookup(table + 1, index));
            const VD t = R((pitchD + double{dspconst::kPitchOrigin}) - S::IntToDouble(index));
            const VF frequency = S::ToFloat((1.0 - t) * below + t * above);

            // A quotient of two floats rounded to float, and a doubling: float operations give their bits.
            const VF x = frequency / rate;
            const VF xs = S::ToFloat(dspconst::kSinApproxHalfPi - S::ToDouble(x));
            const VD a = S::ToDouble(xs * xs);
            const VF c = S::ToFloat(dspconst::kCosApprox[0] - dspconst::kCosApprox[1] * a +
                                    dspconst::kCosApprox[2] * a * a - dspconst::kCosApprox[3] * a * a * a);
            VF f = c + c;
            f = f >= 0.0f ? (f > maxF ? maxF : f) : S::SetF(0.0f);
            S::StoreF(frequencies + j, frequency);
            S::StoreF(coefficients + j, f);
        }
    }

    // The frequency coefficient and damping of every voice for frames [0, n), voice-major for the filters.
    // A voice whose cut-off is modulated takes new coefficients from the first frame whose frequency (or
    // the resonance) differs from the last update's; from there on each frame's coefficient is its own
    // frequency's, which is what updating at every change leaves (equal frequencies give equal
    // coefficients). Before that frame, and for every other voice, the coefficients stay as they are.
    static void Coefficients(const FramePlan& plan, FrameState& st, int n, int padded) {
        alignas(32) std::int32_t first[kVoices];
        alignas(32) float before[kVoices];
        for (int v = 0; v < kVoices; ++v) {
            float* row = st.coefficientT[v];
            before[v] = st.damping[v];
            first[v] = n;
            if ((plan.cutoffBits >> v & 1) == 0) {
                for (int j = 0; j < padded; j += kF)
                    S::StoreW(row + j, S::SetW(st.coefficient[v]));
                continue;
            }
            CutoffRow(plan, st, v, padded);
            int j = 0;
            if (plan.resonance[v] == st.lastResonance[v])
                while (j < n && st.frequencyT[j] == st.lastFrequency[v])
                    ++j;
            first[v] = j;
            for (int i = 0; i < j; ++i)
                row[i] = st.coefficient[v];
            if (j < n) {
                st.coefficient[v] = row[n - 1];
                st.damping[v] = plan.damping[v];
                st.lastFrequency[v] = st.frequencyT[n - 1];
                st.lastResonance[v] = plan.resonance[v];
            }
        }
        for (int j = 0; j < padded; j += 8)
            S::Transpose8(st.coefficientT[0] + j, kRow, st.filterF[j], kVoices);
        // The damping changes inside the sub-block only where a voice's first new frame is not its first.
        st.dampingPerFrame = false;
        for (int v = 0; v < kVoices; ++v)
            st.dampingPerFrame = st.dampingPerFrame || (first[v] != 0 && first[v] != n);
        if (!st.dampingPerFrame)
            return;
        for (int o = 0; o < kVoices; o += S::kLfoLanes) {
            const ML from = S::LoadLMask(first + o);
            const VL old = S::LoadL(before + o), now = S::LoadL(st.damping + o);
            for (int j = 0; j < n; ++j)
                S::StoreL(st.filterQ[j] + o, from > (ML{} + j) ? old : now);
        }
    }

    // ---- line reads ----

    // Voice v's read of frame j, one channel at a time, at positions taken modulo the length: the
    // reference's read (or its float form for a voice whose read reaches the output only). While a fill
    // is under way, a position not written since reads the fill value.
    static void ReadOne(const FramePlan& plan, FrameState& st, int v, int j, bool exact, float* left,
                        float* right) {
        const int length = plan.length;
        const int r0 = Wrap(st.writeAt[j] - st.whole[v][j], length);
        const int at[4] = {Wrap(r0 + 1, length), r0, Wrap(r0 - 1, length),
                           Wrap(Wrap(r0 - 1, length) - 1, length)};
        const float t = st.delayT[v][j];
        float* out[2] = {left, right};
        for (int c = 0; c < 2; ++c) {
            float y[4];
            for (int k = 0; k < 4; ++k)
                y[k] = !st.filling || FillValid(st.fill, at[k]) ? st.line[c][at[k]] : st.fillValue;
            *out[c] = exact ? static_cast<float>(Cubic<double, double>(y[0], y[1], y[2], y[3], t))
                            : Cubic<float, float>(y[0], y[1], y[2], y[3], t);
        }
    }

    // Voice v's reads of frames [0, padded), a vector of frames at a time. The taps of consecutive frames
    // lie at consecutive positions while the delay's whole part stays the same, so each tap of a vector is
    // one contiguous load; where the whole part takes s + 1 values inside the vector, s + 4 loads serve the
    // four taps, each lane picking its own. A vector whose whole parts spread over more than four values
    // is read frame by frame. The writer does not wrap inside a
    // sub-block, so the newest tap of frame j is writeAt[0] + j + 1 - whole, below the line's end; a vector
    // that reaches below the mirror before the line moves up by the length, which keeps it below the end.
    // One vector of frames from j0 of voice v whose whole parts lie in highest - kSpan .. highest. Lane i's
    // newest tap is at + i + (highest - whole), its older three below it.
    template <int kSpan>
    __attribute__((always_inline)) static void ReadSpan(const FramePlan& plan, FrameState& st, int v, int j0,
                                                        const float* const (&at)[2], int highest) {
        if (!(plan.exactRead >> v & 1)) {
            const VWI whole = S::LoadWI(st.whole[v] + j0);
            const VW t = S::LoadW(st.delayT[v] + j0);
            for (int c = 0; c < 2; ++c) {
                VW load[kSpan + 4], y[4];
                for (int o = -3; o <= kSpan; ++o)
                    load[o + 3] = S::LoadUW(at[c] + o);
                for (int k = 0; k < 4; ++k)
                    y[k] = load[3 - k];
                for (int d = 1; d <= kSpan; ++d) {
                    const VWI lanes = whole == highest - d;
                    for (int k = 0; k < 4; ++k)
                        y[k] = lanes ? load[3 + d - k] : y[k];
                }
                S::StoreW(st.signal[c][v] + j0, Cubic<VW, float>(y[0], y[1], y[2], y[3], t));
            }
            return;
        }
        for (int h = 0; h < kF; h += kW) {
            const VI whole = S::LoadI(st.whole[v] + j0 + h);
            const VD t = S::LoadFD(st.delayT[v] + j0 + h);
            for (int c = 0; c < 2; ++c) {
                VD load[kSpan + 4], y[4];
                for (int o = -3; o <= kSpan; ++o)
                    load[o + 3] = S::LoadFD(at[c] + h + o);
                for (int k = 0; k < 4; ++k)
                    y[k] = load[3 - k];
                for (int d = 1; d <= kSpan; ++d) {
                    const MD lanes = S::WidenMask(whole == highest - d);
                    for (int k = 0; k < 4; ++k)
                        y[k] = lanes ? load[3 + d - k] : y[k];
                }
                S::StoreDF(st.signal[c][v] + j0 + h, Cubic<VD, double>(y[0], y[1], y[2], y[3], t));
            }
        }
    }

    // Every vector of frames with the sub-block's own range of whole parts, lowest .. highest.
    template <int kSpan>
    static void ReadSpans(const FramePlan& plan, FrameState& st, int v, int padded, int highest) {
        for (int j0 = 0; j0 < padded; j0 += kF) {
            int base = st.writeAt[0] + j0 + 1 - highest;
            if (base - 3 < -kGuard)
                base += plan.length;
            const float* const at[2] = {st.line[0] + base, st.line[1] + base};
            ReadSpan<kSpan>(plan, st, v, j0, at, highest);
        }
    }

    // lowest .. highest: the whole parts of the voice's delay over the sub-block. Where they take one or two
    // values, every vector serves them; otherwise each vector finds its own range.
    static void ReadVector(const FramePlan& plan, FrameState& st, int v, int n, int padded, int lowest,
                           int highest) {
        if (highest == lowest)
            return ReadSpans<0>(plan, st, v, padded, highest);
        if (highest - lowest == 1)
            return ReadSpans<1>(plan, st, v, padded, highest);
        for (int j0 = 0; j0 < padded; j0 += kF) {
            const VWI whole = S::LoadWI(st.whole[v] + j0);
            const int lowest = S::MinWI(whole), highest = S::MaxWI(whole);
            int base = st.writeAt[0] + j0 + 1 - highest;
            if (base - 3 < -kGuard)
                base += plan.length;
            const float* const at[2] = {st.line[0] + base, st.line[1] + base};
            switch (highest - lowest) {
            case 0:
                ReadSpan<0>(plan, st, v, j0, at, highest);
                break;
            case 1:
                ReadSpan<1>(plan, st, v, j0, at, highest);
                break;
            case 2:
                ReadSpan<2>(plan, st, v, j0, at, highest);
                break;
            case 3:
                ReadSpan<3>(plan, st, v, j0, at, highest);
                break;
            default:
                for (int j = j0; j < j0 + kF && j < n; ++j)
                    ReadOne(plan, st, v, j, plan.exactRead >> v & 1, st.signal[0][v] + j,
                            st.signal[1][v] + j);
            }
        }
    }

    // ---- filters: frame by frame, the voices as lanes ----

    // Three passes of the state-variable filter of frame j on V voice vectors (those at `bases`), both
    // channels of each: chain c is channel c % 2 of voices [bases[c / 2], + kW). Each pass is a chain of
    // dependent roundings; the chains are independent, and stepping them together lets their latencies
    // overlap. The filters work on the voice-major rows; voices not in `on` keep their input and states
    // (kAll: every lane is on). With `keep`, the three outputs of the frame go to `outs`, for the caller.
    //
    // Sums of two floats rounded to float (the running sums of the passes) and the output mix, whose
    // weights are 0 and 1, are float arithmetic: a float operation gives the bits of the double operation
    // rounded to float, and the mix's products and sums are exact.
    template <int V, bool kAll>
    __attribute__((always_inline)) static void
    FilterFrameBody(const FramePlan& plan, FrameState& st, int j, const int* bases, const std::int64_t* on64,
                    const std::int32_t* on32, float (&outs)[3][2][kVoices], bool keep) {
        constexpr int N = 2 * V;
        const float* coefficient = plan.cutoffModulated ? st.filterF[j] : st.coefficient;
        const float* damping = st.dampingPerFrame ? st.filterQ[j] : st.damping;
        // Chains 2i and 2i + 1 share their coefficients.
        VD f[V], q[V], x[N], L[N], H[N], B[N];
        VF lo[N], hi[N], bp[N];
#pragma GCC unroll 16
        for (int c = 0; c < N; ++c) {
            const int channel = c % 2, base = bases[c / 2];
            if (channel == 0) {
                f[c / 2] = S::ToDouble(S::LoadF(coefficient + base));
                q[c / 2] = S::ToDouble(S::LoadF(damping + base));
            }
            const VF input = S::LoadF(st.signalV[channel][j] + base);
            x[c] = S::ToDouble(input);
            // The largest input magnitude so far sets the bound of the low and band states.
            float* peak = st.inputPeak[channel] + base;
            float* limit = st.stateLimit[channel] + base;
            const VF magnitude = S::AbsF(input);
            const VF oldPeak = S::LoadF(peak);
            VI grows = magnitude > oldPeak;
            if constexpr (!kAll)
                grows = grows & S::LoadFMask(on32 + base);
            if (S::MaskBitsI(grows) != 0) {
                S::StoreF(peak, grows ? magnitude : oldPeak);
                S::StoreF(limit, grows ? S::ToFloat(plan.stateLimitGain * S::ToDouble(magnitude) +
                                                    plan.stateLimitFloor)
                                       : S::LoadF(limit));
            }
            L[c] = S::Load(st.low[channel] + base);
            B[c] = S::Load(st.band[channel] + base);
        }
#pragma GCC unroll 16
        for (int c = 0; c < N; ++c) {
            lo[c] = S::ToFloat(L[c] + f[c / 2] * B[c]);
            L[c] = S::ToDouble(lo[c]);
        }
#pragma GCC unroll 16
        for (int c = 0; c < N; ++c) {
            hi[c] = S::ToFloat((x[c] + kFilterGuard) - L[c] - q[c / 2] * B[c]);
            H[c] = S::ToDouble(hi[c]);
        }
#pragma GCC unroll 16
        for (int c = 0; c < N; ++c) {
            bp[c] = S::ToFloat(f[c / 2] * H[c] + B[c]);
            B[c] = S::ToDouble(bp[c]);
        }
#pragma GCC unroll 16
        for (int c = 0; c < N; ++c) {
            const VF l = S::ToFloat(f[c / 2] * B[c] + L[c]);
            L[c] = S::ToDouble(l);
            lo[c] = lo[c] + l;
        }
#pragma GCC unroll 16
        for (int c = 0; c < N; ++c) {
            const VF h = S::ToFloat(x[c] - L[c] - q[c / 2] * B[c]);
            H[c] = S::ToDouble(h);
            hi[c] = hi[c] + h;
        }
#pragma GCC unroll 16
        for (int c = 0; c < N; ++c) {
            const VF b = S::ToFloat(f[c / 2] * H[c] + B[c]);
            B[c] = S::ToDouble(b);
            bp[c] = bp[c] + b;
        }
#pragma GCC unroll 16
        for (int c = 0; c < N; ++c)
            L[c] = R(f[c / 2] * B[c] + L[c] + kFilterGuard);
#pragma GCC unroll 16
        for (int c = 0; c < N; ++c)
            H[c] = R((x[c] + kFilterGuard) - L[c] - q[c / 2] * B[c] + kFilterGuard);
#pragma GCC unroll 16
        for (int c = 0; c < N; ++c)
            B[c] = R(f[c / 2] * H[c] + B[c] + kFilterGuard);
#pragma GCC unroll 16
        for (int c = 0; c < N; ++c) {
            const int channel = c % 2, base = bases[c / 2];
            const VF lowOut = S::ToFloat((S::ToDouble(lo[c]) + L[c]) * kThird);
            const VF highOut = S::ToFloat((S::ToDouble(hi[c]) + H[c]) * kThird);
            const VF bandOut = S::ToFloat((S::ToDouble(bp[c]) + B[c]) * kThird);
            if (keep) {
                S::StoreF(outs[0][channel] + base, lowOut);
                S::StoreF(outs[1][channel] + base, highOut);
                S::StoreF(outs[2][channel] + base, bandOut);
            }
            // The states kept for the next frame stay within the bound (a state that is not a number
            // passes).
            const VD bound = S::ToDouble(S::LoadF(st.stateLimit[channel] + base));
            const VD limitedL = S::Min(bound, S::Max(-bound, L[c]));
            const VD limitedB = S::Min(bound, S::Max(-bound, B[c]));
            double* low = st.low[channel] + base;
            double* high = st.high[channel] + base;
            double* band = st.band[channel] + base;
            const VF mixed = S::LoadF(plan.mixLow + base) * lowOut + S::LoadF(plan.mixBand + base) * bandOut +
                             S::LoadF(plan.mixHigh + base) * highOut;
            float* io = st.signalV[channel][j] + base;
            if constexpr (kAll) {
                S::Store(low, limitedL);
                S::Store(high, H[c]);
                S::Store(band, limitedB);
                S::StoreF(io, mixed);
            } else {
                const MD on = S::LoadMask(on64 + base);
                S::Store(low, on ? limitedL : S::Load(low));
                S::Store(high, on ? H[c] : S::Load(high));
                S::Store(band, on ? limitedB : S::Load(band));
                S::StoreF(io, S::LoadFMask(on32 + base) ? mixed : S::LoadF(io));
            }
        }
    }

    // One frame of the filters: inside the frame loop where vectors are wide (no call per frame); on SSE2,
    // whose registers are too few for that loop, a call of its own spills less.
    template <int V, bool kAll>
    static void FilterFrame(const FramePlan& plan, FrameState& st, int j, const int* bases,
                            const std::int64_t* on64, const std::int32_t* on32, float (&outs)[3][2][kVoices],
                            bool keep) {
        FilterFrameBody<V, kAll>(plan, st, j, bases, on64, on32, outs, keep);
    }
    template <int V, bool kAll>
    __attribute__((always_inline)) static void
    FrameOfFilters(const FramePlan& plan, FrameState& st, int j, const int* bases, const std::int64_t* on64,
                   const std::int32_t* on32, float (&outs)[3][2][kVoices], bool keep) {
        if constexpr (kW >= 4)
            FilterFrameBody<V, kAll>(plan, st, j, bases, on64, on32, outs, keep);
        else
            FilterFrame<V, kAll>(plan, st, j, bases, on64, on32, outs, keep);
    }

    template <int V>
    static void FilterFrames(int vectors, bool all, const FramePlan& plan, FrameState& st, int begin, int end,
                             const int* bases, const std::int64_t* on64, const std::int32_t* on32,
                             float (&outs)[3][2][kVoices]) {
        if constexpr (V > 1)
            if (vectors < V)
                return FilterFrames<V - 1>(vectors, all, plan, st, begin, end, bases, on64, on32, outs);
        for (int j = begin; j < end; ++j) {
            if (all)
                FrameOfFilters<V, true>(plan, st, j, bases, on64, on32, outs, j == end - 1);
            else
                FrameOfFilters<V, false>(plan, st, j, bases, on64, on32, outs, j == end - 1);
        }
    }

    // The filters of the voices of `bits` (switched on, with a filter) for frames [begin, end), on the
    // voice vectors that hold them; each keeps the outputs of its last frame.
    static void Filters(const FramePlan& plan, FrameState& st, int begin, int end, std::uint32_t bits) {
        alignas(64) std::int64_t on64[kVoices];
        alignas(64) std::int32_t on32[kVoices];
        alignas(64) float outs[3][2][kVoices];
        int bases[kVoices / kW];
        int vectors = 0;
        bool all = true;
        for (int base = 0; base < kVoices; base += kW) {
            bool any = false, every = true;
            for (int v = base; v < base + kW; ++v) {
                const bool on = bits >> v & 1;
                on64[v] = on ? -1 : 0;
                on32[v] = on ? -1 : 0;
                any = any || on;
                every = every && on;
            }
            if (any) {
                bases[vectors++] = base;
                all = all && every;
            }
        }
        if (vectors == 0)
            return;
        FilterFrames<kVoices / kW>(vectors, all, plan, st, begin, end, bases, on64, on32, outs);
        for (int v = 0; v < kVoices; ++v)
            if (bits >> v & 1)
                for (int c = 0; c < 2; ++c) {
                    st.lowOut[c][v] = outs[0][c][v];
                    st.highOut[c][v] = outs[1][c][v];
                    st.bandOut[c][v] = outs[2][c][v];
                }
    }

    // The filters over a sub-block's frames [0, n) for the voices of `bits`, through the voice-major rows.
    static void FilterRows(const FramePlan& plan, FrameState& st, int n, std::uint32_t bits) {
        const int rows = (n + 7) / 8 * 8;
        for (int c = 0; c < 2; ++c)
            for (int j = 0; j < rows; j += 8)
                S::Transpose8(st.signal[c][0] + j, kRow, st.signalV[c][j], kVoices);
        Filters(plan, st, 0, n, bits);
        for (int c = 0; c < 2; ++c)
            for (int j = 0; j < rows; j += 8)
                S::Transpose8(st.signalV[c][j], kVoices, st.signal[c][0] + j, kRow);
    }

    // ---- feedback taps and line writes ----

    // The feedback taps of frames [0, n) of voice v: the exact post-filter output plus 1e-8. A voice read
    // in float feeds back in no frame of this block; its reads stand for its taps, which matter only when
    // they are not finite (TapOf).
    static void Taps(const FramePlan& plan, FrameState& st, int v, int n) {
        if (plan.floatRead >> v & 1)
            return;
        const float* const in[2] = {st.signal[0][v], st.signal[1][v]};
        float* const out[2] = {st.tapRow[v][0] + 1, st.tapRow[v][1] + 1};
#pragma GCC unroll 4
        for (int j = 0; j < n; j += kW)
            for (int c = 0; c < 2; ++c)
                S::StoreDF(out[c] + j, S::LoadFD(in[c] + j) + kTapOffset);
    }
    static void TapOne(const FramePlan& plan, FrameState& st, int v, int j) {
        if (plan.exactRead >> v & 1)
            for (int c = 0; c < 2; ++c)
                st.tapRow[v][c][j + 1] = static_cast<float>(st.signal[c][v][j] + kTapOffset);
    }
    // Voice v's tap of frame j - 1 on channel c, or what stands for it.
    static float TapOf(const FramePlan& plan, const FrameState& st, int v, int c, int j) {
        return j > 0 && (plan.floatRead >> v & 1) ? st.signal[c][v][j - 1] : st.tapRow[v][c][j];
    }

    // Stores frame j's line sample of both channels, with its mirror and the fill window.
    static void Store(const FramePlan& plan, FrameState& st, int j, float left, float right) {
        const int wp = st.writeAt[j], length = plan.length;
        st.line[0][wp] = left;
        st.line[1][wp] = right;
        if (wp >= length - kGuard && length >= kMinVectorLength) {
            st.line[0][wp - length] = left;
            st.line[1][wp - length] = right;
        }
        if (st.filling) {
            if (st.writerWrapped[j])
                st.fill.firstRun = false;
            FillWrote(st.fill, wp);
        }
    }

    // Frame j's write: the feedback sum of every voice whose tap may matter, in voice order, through the
    // sine, plus the input.
    static void WriteOne(const FramePlan& plan, FrameState& st, int j) {
        float sample[2];
        for (int c = 0; c < 2; ++c) {
            double sum = 0.0;
            for (int i = 0; i < plan.all.count; ++i)
                sum += static_cast<double>(TapOf(plan, st, plan.all.voice[i], c, j)) * plan.all.feeds[i];
            sample[c] = static_cast<float>(LimiterSine(sum) * plan.feedbackScale +
                                           static_cast<double>(st.input[c][j]) * plan.inpGain);
        }
        Store(plan, st, j, sample[0], sample[1]);
    }

    // The feedback sums of `vectors` vectors of frames, voice by voice (in voice order) over all of them.
    template <int kVectors>
    static void FeedbackSums(const FramePlan& plan, const FrameState& st, int vectors,
                             double (&sums)[2][kSubBlock]) {
        if constexpr (kVectors > 1)
            if (vectors < kVectors)
                return FeedbackSums<kVectors - 1>(plan, st, vectors, sums);
        const FramePlan::FeedList& feed = plan.feeding;
        for (int c = 0; c < 2; ++c) {
            VD sum[kVectors];
            for (int k = 0; k < kVectors; ++k)
                sum[k] = S::Set(0.0);
            for (int i = 0; i < feed.count; ++i) {
                const float* row = st.tapRow[feed.voice[i]][c];
                const VD feeds = S::Set(feed.feeds[i]);
#pragma GCC unroll 16
                for (int k = 0; k < kVectors; ++k)
                    sum[k] = sum[k] + S::LoadFD(row + k * kW) * feeds;
            }
            for (int k = 0; k < kVectors; ++k)
                S::Store(sums[c] + k * kW, sum[k]);
        }
    }

    // Whether the taps of the voices without feedback that the writes of frames [0, n) add as zeros are
    // finite numbers: the tap before the sub-block of each, and the rows of frames [0, padded) of those in
    // `rows` (a tap beyond n - 2 can only send a finite sub-block the slow way, which gives the same bits).
    // A sum of finite numbers is finite (one that overflows takes the slow way too).
    static bool TapsFinite(const FramePlan& plan, const FrameState& st, std::uint32_t rows, int padded) {
        return TapsFinite<kSubBlock / kF>(plan, st, rows, padded / kF);
    }
    template <int kVectors>
    static bool TapsFinite(const FramePlan& plan, const FrameState& st, std::uint32_t rows, int vectors) {
        if constexpr (kVectors > 1)
            if (vectors < kVectors)
                return TapsFinite<kVectors - 1>(plan, st, rows, vectors);
        VW sum[2] = {S::SetW(0.0f), S::SetW(0.0f)};
        float before = 0.0f;
        for (int i = 0; i < plan.all.count; ++i) {
            const int v = plan.all.voice[i];
            if (plan.feedBits >> v & 1)
                continue;
            for (int c = 0; c < 2; ++c) {
                before = before + st.tapRow[v][c][0];
                if ((rows >> v & 1) == 0)
                    continue;
                // Entry j of the row is the tap of frame j.
                const float* row = (plan.floatRead >> v & 1) ? st.signal[c][v] : st.tapRow[v][c] + 1;
#pragma GCC unroll 16
                for (int k = 0; k < kVectors; ++k)
                    sum[k & 1] = sum[k & 1] + S::LoadUW(row + k * kF);
            }
        }
        alignas(64) float check[kF];
        S::StoreW(check, (sum[0] + sum[1]) - (sum[0] + sum[1]));
        bool finite = before - before == 0.0f;
        for (int i = 0; i < kF; ++i)
            finite = finite && check[i] == 0.0f;
        return finite;
    }

    // The writes of frames [0, n), a vector of frames at a time, when every tap they need is known and
    // every tap of a voice without feedback is a finite number: those voices add zeros and are left out.
    static void WriteVector(const FramePlan& plan, FrameState& st, int n) {
        alignas(64) double sums[2][kSubBlock];
        FeedbackSums<kSubBlock / kW>(plan, st, (n + kW - 1) / kW, sums);
        for (int c = 0; c < 2; ++c)
            for (int j = 0; j < n; j += kW)
                S::StoreDF(st.written[c] + j, Sine(S::Load(sums[c] + j)) * plan.feedbackScale +
                                                  S::LoadFD(st.input[c] + j) * plan.inpGain);
        // The sub-block's positions run on without wrapping; those near the line's end have a mirror.
        const int first = st.writeAt[0], length = plan.length;
        for (int c = 0; c < 2; ++c) {
            float* line = st.line[c] + first;
            int j = 0;
            for (; j + kF <= n; j += kF)
                S::StoreUW(line + j, S::LoadW(st.written[c] + j));
            for (; j < n; ++j)
                line[j] = st.written[c][j];
            if (length >= kMinVectorLength)
                for (j = length - kGuard - first > 0 ? length - kGuard - first : 0; j < n; ++j)
                    line[j - length] = st.written[c][j];
        }
    }

    // ---- outputs ----

    // The voices' outputs in voice order, then the dry part, which bypasses the input gain; in float.
    static void Outputs(const FramePlan& plan, FrameState& st, int padded) {
        OutputVectors<kSubBlock / kF>(plan, st, padded / kF);
    }

    // The outputs of `vectors` vectors of frames: voice by voice, each added to the sums of all vectors
    // (the sums stay in voice order).
    template <int kVectors> static void OutputVectors(const FramePlan& plan, FrameState& st, int vectors) {
        if constexpr (kVectors > 1)
            if (vectors < kVectors)
                return OutputVectors<kVectors - 1>(plan, st, vectors);
        VW wet[2][kVectors];
        for (int c = 0; c < 2; ++c)
            for (int k = 0; k < kVectors; ++k)
                wet[c][k] = S::SetW(0.0f);
        for (int i = 0; i < plan.activeCount; ++i) {
            const int v = plan.active[i];
            const auto add = [&](auto amped, auto panned) {
                const VW amp = S::SetW(plan.amp[v]);
                const VW gain[2] = {S::SetW(plan.gainL[v]), S::SetW(plan.gainR[v])};
#pragma GCC unroll 8
                for (int k = 0; k < kVectors; ++k) {
                    const int j = k * kF;
                    VW amplitude = amp;
                    if constexpr (decltype(amped)::value)
                        amplitude = S::LoadW(st.amplitude[v] + j);
                    for (int c = 0; c < 2; ++c) {
                        VW g = gain[c];
                        if constexpr (decltype(panned)::value)
                            g = S::LoadW(st.gain[c][v] + j);
                        wet[c][k] = wet[c][k] + S::LoadW(st.signal[c][v] + j) * g * amplitude;
                    }
                }
            };
            const bool amped = plan.ampBits >> v & 1, panned = plan.panBits >> v & 1;
            if (amped && panned)
                add(std::true_type{}, std::true_type{});
            else if (amped)
                add(std::true_type{}, std::false_type{});
            else if (panned)
                add(std::false_type{}, std::true_type{});
            else
                add(std::false_type{}, std::false_type{});
        }
        for (int c = 0; c < 2; ++c)
            for (int k = 0; k < kVectors; ++k)
                S::StoreW(st.output[c] + k * kF,
                          (wet[c][k] * plan.mix + plan.dryGain * S::LoadW(st.input[c] + k * kF)) *
                              plan.outGain * plan.activeScale);
    }

    // Each voice's output of frame j, as Outputs forms it (kept for the block's end, from its last
    // sub-block).
    static void KeepVoiceOutputs(const FramePlan& plan, FrameState& st, int j) {
        for (int i = 0; i < plan.activeCount; ++i) {
            const int v = plan.active[i];
            const float amplitude = (plan.ampBits >> v & 1) ? st.amplitude[v][j] : plan.amp[v];
            const float gain[2] = {plan.gainL[v], plan.gainR[v]};
            for (int c = 0; c < 2; ++c) {
                const float g = (plan.panBits >> v & 1) ? st.gain[c][v][j] : gain[c];
                st.voiceOut[c][v] = st.signal[c][v][j] * g * amplitude;
            }
        }
    }

    // ---- a sub-block ----

    // The writes of frames [0, n) one by one, each followed by the reads and filters of that frame of the
    // voices of `set`; every other voice has been read.
    static void Between(const FramePlan& plan, FrameState& st, int n, std::uint32_t set) {
        for (int j = 0; j < n; ++j) {
            WriteOne(plan, st, j);
            for (int i = 0; i < plan.activeCount; ++i) {
                const int v = plan.active[i];
                if (set >> v & 1)
                    ReadOne(plan, st, v, j, plan.exactRead >> v & 1, st.signal[0][v] + j,
                            st.signal[1][v] + j);
            }
            if (const std::uint32_t filtered = set & plan.filterBits) {
                for (int c = 0; c < 2; ++c)
                    for (int v = 0; v < kVoices; ++v)
                        st.signalV[c][j][v] = st.signal[c][v][j];
                Filters(plan, st, j, j + 1, filtered);
                for (int c = 0; c < 2; ++c)
                    for (int v = 0; v < kVoices; ++v)
                        if (filtered >> v & 1)
                            st.signal[c][v][j] = st.signalV[c][j][v];
            }
            for (int i = 0; i < plan.activeCount; ++i)
                if (set >> plan.active[i] & 1)
                    TapOne(plan, st, plan.active[i], j);
        }
    }

    // Every filter's state and kept outputs, for running a sub-block's filters again.
    static void SaveFilters(FrameState& st) {
        FrameState::Filters& f = st.savedFilters;
        std::memcpy(f.low, st.low, sizeof f.low);
        std::memcpy(f.high, st.high, sizeof f.high);
        std::memcpy(f.band, st.band, sizeof f.band);
        std::memcpy(f.lowOut, st.lowOut, sizeof f.lowOut);
        std::memcpy(f.highOut, st.highOut, sizeof f.highOut);
        std::memcpy(f.bandOut, st.bandOut, sizeof f.bandOut);
        std::memcpy(f.inputPeak, st.inputPeak, sizeof f.inputPeak);
        std::memcpy(f.stateLimit, st.stateLimit, sizeof f.stateLimit);
    }
    static void RestoreFilters(FrameState& st) {
        const FrameState::Filters& f = st.savedFilters;
        std::memcpy(st.low, f.low, sizeof f.low);
        std::memcpy(st.high, f.high, sizeof f.high);
        std::memcpy(st.band, f.band, sizeof f.band);
        std::memcpy(st.lowOut, f.lowOut, sizeof f.lowOut);
        std::memcpy(st.highOut, f.highOut, sizeof f.highOut);
        std::memcpy(st.bandOut, f.bandOut, sizeof f.bandOut);
        std::memcpy(st.inputPeak, f.inputPeak, sizeof f.inputPeak);
        std::memcpy(st.stateLimit, f.stateLimit, sizeof f.stateLimit);
    }

    static void SubBlock(const FramePlan& plan, FrameState& st, int n) {
        const int padded = (n + kF - 1) / kF * kF;
        Lfos(plan, st, n, padded);

        // How each voice reads: ahead of the sub-block's writes (every tap older than the sub-block and not
        // wrapped around the line's end), after them (a voice without feedback whose taps are written by
        // then and not yet overwritten), or frame by frame between them (everything else, and every voice
        // while a fill is under way or the line is short).
        const bool vectors = !st.filling && plan.length >= kMinVectorLength;
        std::uint32_t ahead = 0, after = 0, between = 0;
        int lowestOf[kVoices], highestOf[kVoices];
        for (int i = 0; i < plan.activeCount; ++i) {
            const int v = plan.active[i];
            int& lowest = lowestOf[v];
            int& highest = highestOf[v];
            Delays(plan, st, v, padded, lowest, highest);
            Gains(plan, st, v, padded);
            if (vectors && lowest >= n + 1 && highest <= plan.length - 3)
                ahead |= 1u << v;
            else if (vectors && (plan.feedBits >> v & 1) == 0 && lowest >= 1 &&
                     highest <= plan.length - n - 2)
                after |= 1u << v;
            else
                between |= 1u << v;
        }
        st.dampingPerFrame = false;
        if (plan.cutoffModulated)
            Coefficients(plan, st, n, padded);

        const auto readAndFilter = [&](std::uint32_t set) {
            for (int i = 0; i < plan.activeCount; ++i)
                if (set >> plan.active[i] & 1)
                    ReadVector(plan, st, plan.active[i], n, padded, lowestOf[plan.active[i]],
                               highestOf[plan.active[i]]);
            if (set & plan.filterBits)
                FilterRows(plan, st, n, set & plan.filterBits);
            for (int i = 0; i < plan.activeCount; ++i)
                if (set >> plan.active[i] & 1)
                    Taps(plan, st, plan.active[i], n);
        };
        readAndFilter(ahead);
        // The writes add the taps of every voice, those without feedback as zeros; a tap that is not a
        // finite number spoils the sum. Voices read after the writes are checked once read: if one of their
        // taps is not finite, their filters go back to where they were and the writes and their reads run
        // again frame by frame.
        if (between == 0 && TapsFinite(plan, st, ahead, padded)) {
            const bool save = (after & plan.filterBits) != 0;
            if (save)
                SaveFilters(st);
            WriteVector(plan, st, n);
            readAndFilter(after);
            if (after != 0 && !TapsFinite(plan, st, after, padded)) {
                if (save)
                    RestoreFilters(st);
                Between(plan, st, n, after);
            }
        } else {
            Between(plan, st, n, between | after);
        }
        Outputs(plan, st, padded);

        // The last taps lead the next sub-block's rows.
        for (int i = 0; i < plan.activeCount; ++i) {
            const int v = plan.active[i];
            for (int c = 0; c < 2; ++c) {
                st.tapRow[v][c][0] = TapOf(plan, st, v, c, n);
                st.tap[c][v] = st.tapRow[v][c][0];
            }
        }
    }

    static void Run(const FramePlan& plan, FrameState& st, const float* inL, const float* inR, float* outL,
                    float* outR, int frames) {
        // Every voice's row starts with its kept tap; a voice switched off that feeds back keeps it through
        // the block (the rows of the voices switched on are written as they are read).
        for (int v = 0; v < kVoices; ++v)
            for (int c = 0; c < 2; ++c) {
                if (((plan.exactRead | plan.floatRead) >> v & 1) || (plan.feedBits >> v & 1) == 0) {
                    st.tapRow[v][c][0] = st.tap[c][v];
                    continue;
                }
                for (int j = 0; j <= kSubBlock; ++j)
                    st.tapRow[v][c][j] = st.tap[c][v];
            }
        int wp = st.writePos;
        int n = 0;
        for (int start = 0; start < frames; start += n) {
            // A sub-block ends where the writer reaches the line's end.
            const bool wrapped = wp > plan.length - 1;
            if (wrapped)
                wp = 0;
            n = frames - start < plan.subBlock ? frames - start : plan.subBlock;
            n = n < plan.length - wp ? n : plan.length - wp;
            TakeInput(plan, st, inL + start, inR + start, n);
            for (int j = 0; j < n; ++j) {
                st.writerWrapped[j] = j == 0 && wrapped;
                st.writeAt[j] = wp++;
            }
            SubBlock(plan, st, n);
            std::memcpy(outL + start, st.output[0], sizeof(float) * static_cast<std::size_t>(n));
            std::memcpy(outR + start, st.output[1], sizeof(float) * static_cast<std::size_t>(n));
        }
        st.writePos = wp;
        KeepVoiceOutputs(plan, st, n - 1);
        // A voice read in float keeps the tap its exact read gives at the block's last frame, for a later
        // block in which it feeds back. Nothing has overwritten the line's samples of that read since.
        for (int i = 0; i < plan.activeCount; ++i) {
            const int v = plan.active[i];
            if (plan.exactRead >> v & 1)
                continue;
            float read[2];
            ReadOne(plan, st, v, n - 1, true, &read[0], &read[1]);
            for (int c = 0; c < 2; ++c)
                st.tap[c][v] = static_cast<float>(read[c] + kTapOffset);
        }
    }
};

} // namespace
} // namespace engine::fast
