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
//   the reference's; the lines and every kept state are therefore bit for bit the reference's.
// - What only reaches the output is float arithmetic, in the reference's order of operations: the reads
//   of voices that neither feed back nor are filtered, pan gains, amplitude, the voices' outputs and their
//   sums, mix and output gain. Its difference from the reference is a few units in the last place of the
//   output; it never enters a state (the feedback tap such a voice keeps for a later block is read exactly
//   at the block's last frame).
//
// Every lane computes the same sequence of operations whatever the vector width, and sums over voices
// keep voice order, so every path gives the same bits. Where frames are processed in vectors of time
// (delays, reads, taps, writes, outputs) or as lanes of voices (LFOs, coefficients, filters) changes
// nothing but speed, so the output does not depend on how the host cuts blocks either.

#include "engine/DspConstants.h"
#include "engine/fast/FastFrames.h"

#include <cstdint>
#include <cstring>

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
        const VD absK = k < 0.0 ? -k : k;
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

        if (!plan.anySmoothing)
            return;
        // The smoothers: y = (x + 1e-18) a0 + a0 x1 + b1 y1, in double, rounded once.
        for (int o = 0; o < kLfos; o += kW) {
            const VD x = S::ToDouble(S::LoadF(st.out + o));
            const VD a0 = S::ToDouble(S::LoadF(st.smoothA0 + o));
            const VD x1 = S::ToDouble(S::LoadF(st.smoothX1 + o));
            const VD y1 = S::ToDouble(S::LoadF(st.smoothY1 + o));
            const VD b1 = S::ToDouble(S::LoadF(st.smoothB1 + o));
            const VD y = (x + kFilterGuard) * a0 + a0 * x1 + y1 * b1;
            const MD on = S::LoadMask(plan.smoothing + o);
            S::StoreF(st.smoothX1 + o, S::ToFloat(on ? x : x1));
            S::StoreF(st.smoothY1 + o, S::ToFloat(on ? y : y1));
            S::StoreF(st.out + o, S::ToFloat(on ? y : x));
        }
    }

    // The LFO outputs of frames [0, n), in both layouts; the frames up to the end of the last whole vector
    // repeat frame n - 1, so every vector over them holds defined values.
    static void Lfos(const FramePlan& plan, FrameState& st, int n, int padded) {
        for (int j = 0; j < n; ++j) {
            StepLfos(plan, st);
            std::memcpy(st.lfo[j], st.out, sizeof st.out);
        }
        for (int j = n; j < padded; ++j)
            std::memcpy(st.lfo[j], st.lfo[n - 1], sizeof st.lfo[j]);
        for (int l = 0; l < kLfos; ++l)
            for (int j = 0; j < padded; ++j)
                st.lfoT[l][j] = st.lfo[j][l];
    }

    // ---- per voice, time-major: delays, gains and amplitudes ----

    // Delay in samples of voice v for frames [0, padded): its whole part and the interpolation point.
    // Modulation only shortens it; the bound keeps every tap inside the line. Answers the range of the
    // whole parts.
    static void Delays(const FramePlan& plan, FrameState& st, int v, int padded, int& lowest, int& highest) {
        float* t = st.delayT[v];
        std::int32_t* whole = st.whole[v];
        if ((plan.delayBits >> v & 1) == 0) {
            for (int j = 0; j < padded; ++j) {
                t[j] = plan.fixedT[v];
                whole[j] = plan.fixedWhole[v];
            }
            lowest = highest = plan.fixedWhole[v];
            return;
        }
        const float* m = st.lfoT[plan.delIx[v]];
        const VD amount = S::Set(plan.modDelAmp[v]), delay = S::Set(plan.delay[v]);
        const VD lengthMinus1 = S::Set(plan.lengthMinus1);
        const VF lengthMinus1f = S::SetF(plan.lengthMinus1f);
        VI low = S::SetI(plan.length), high = S::SetI(0);
        for (int j = 0; j < padded; j += kW) {
            VF d = S::ToFloat((1.0 - S::LoadFD(m + j) * amount) * lengthMinus1 * delay);
            d = d >= 0.0f ? d : S::SetF(0.0f);
            d = d > lengthMinus1f ? lengthMinus1f : d;
            const VI w = S::Truncate(d);
            S::StoreF(t + j, d - S::IntToFloat(w));
            S::StoreI(whole + j, w);
            low = w < low ? w : low;
            high = w > high ? w : high;
        }
        lowest = S::MinI(low);
        highest = S::MaxI(high);
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

    // ---- filter coefficients: frame by frame, the voices as lanes ----

    // The coefficients of voices [base, base + kW) for frame j: the filtered voices whose frequency or
    // resonance changed get new ones.
    static void Coefficients(const FramePlan& plan, FrameState& st, int j, int base) {
        const float* lfo = st.lfo[j];
        const VD m = S::Gather(lfo, plan.frqIx + base);
        const VF pitch = S::ToFloat((1.0 - m * S::Load(plan.modFrqAmp + base)) * S::Load(plan.freq + base));
        // Pitch to frequency: truncation toward zero (as FastTrunc), a table segment, linear in it.
        const VD pitchD = S::ToDouble(pitch);
        const VD twice = pitchD < 0.0 ? -2.0 * pitchD : 2.0 * pitchD;
        VI whole = S::RoundToInt(twice - 0.5) >> 1;
        whole = pitch < 0.0f ? -whole : whole;
        VI index = whole + dspconst::kPitchOrigin;
        index = index < 0 ? S::SetI(0) : index;
        index = index > dspconst::kPitchTableSize - 2 ? S::SetI(dspconst::kPitchTableSize - 2) : index;
        alignas(64) std::int32_t indices[kW];
        S::StoreI(indices, index);
        alignas(64) float below[kW], above[kW];
        for (int i = 0; i < kW; ++i) {
            below[i] = plan.pitchTable[indices[i]];
            above[i] = plan.pitchTable[indices[i] + 1];
        }
        const VD t = R((pitchD + double{dspconst::kPitchOrigin}) - S::ToDouble(S::IntToFloat(index)));
        const VF frequency =
            S::ToFloat((1.0 - t) * S::ToDouble(S::LoadF(below)) + t * S::ToDouble(S::LoadF(above)));

        const VF lastFrequency = S::LoadF(st.lastFrequency + base);
        const VF resonance = S::LoadF(plan.resonance + base);
        const VF lastResonance = S::LoadF(st.lastResonance + base);
        const VI changed = S::LoadFMask(plan.filteredF + base) &
                           ((frequency != lastFrequency) | (resonance != lastResonance));
        if (S::MaskBitsI(changed) != 0) {
            // f = 2 SinApprox(frequency / sample rate), bounded to 0 .. the largest stable coefficient.
            const VF x = S::ToFloat(S::ToDouble(frequency) / static_cast<double>(plan.sampleRate));
            const VF xs = S::ToFloat(dspconst::kSinApproxHalfPi - S::ToDouble(x));
            const VD a = S::ToDouble(xs * xs);
            const VF c = S::ToFloat(dspconst::kCosApprox[0] - dspconst::kCosApprox[1] * a +
                                    dspconst::kCosApprox[2] * a * a - dspconst::kCosApprox[3] * a * a * a);
            VF f = S::ToFloat(2.0 * S::ToDouble(c));
            const VF maxF = S::LoadF(plan.maxCoefficient + base);
            f = f >= 0.0f ? (f > maxF ? maxF : f) : S::SetF(0.0f);
            S::StoreF(st.coefficient + base, changed ? f : S::LoadF(st.coefficient + base));
            S::StoreF(st.damping + base,
                      changed ? S::LoadF(plan.damping + base) : S::LoadF(st.damping + base));
            S::StoreF(st.lastFrequency + base, changed ? frequency : lastFrequency);
            S::StoreF(st.lastResonance + base, changed ? resonance : lastResonance);
        }
        S::StoreF(st.filterF[j] + base, S::LoadF(st.coefficient + base));
        S::StoreF(st.filterQ[j] + base, S::LoadF(st.damping + base));
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
    // one contiguous load; where the whole part steps by one inside the vector, two loads and a blend. A
    // vector whose whole parts spread further is read frame by frame. The writer does not wrap inside a
    // sub-block, so the newest tap of frame j is writeAt[0] + j + 1 - whole, below the line's end; a vector
    // that reaches below the mirror before the line moves up by the length, which keeps it below the end.
    static void ReadVector(const FramePlan& plan, FrameState& st, int v, int n, int padded) {
        const bool exact = plan.exactRead >> v & 1;
        for (int j0 = 0; j0 < padded; j0 += kF) {
            const VWI whole = S::LoadWI(st.whole[v] + j0);
            const int lowest = S::MinWI(whole), highest = S::MaxWI(whole);
            if (highest - lowest > 1) {
                for (int j = j0; j < j0 + kF && j < n; ++j)
                    ReadOne(plan, st, v, j, exact, st.signal[0][v] + j, st.signal[1][v] + j);
                continue;
            }
            int base = st.writeAt[0] + j0 + 1 - highest;
            if (base - 3 < -kGuard)
                base += plan.length;
            const bool step = lowest != highest;
            for (int c = 0; c < 2; ++c) {
                const float* at = st.line[c] + base;
                float* out = st.signal[c][v] + j0;
                if (!exact) {
                    const VWI newer = whole == lowest;
                    VW y[4];
                    for (int k = 0; k < 4; ++k) {
                        y[k] = S::LoadUW(at - k);
                        if (step)
                            y[k] = newer ? S::LoadUW(at + 1 - k) : y[k];
                    }
                    S::StoreW(out, Cubic<VW, float>(y[0], y[1], y[2], y[3], S::LoadW(st.delayT[v] + j0)));
                    continue;
                }
                for (int h = 0; h < kF; h += kW) {
                    const MD newer = S::WidenMask(S::LoadI(st.whole[v] + j0 + h) == lowest);
                    VD y[4];
                    for (int k = 0; k < 4; ++k) {
                        y[k] = S::LoadFD(at + h - k);
                        if (step)
                            y[k] = newer ? S::LoadFD(at + h + 1 - k) : y[k];
                    }
                    S::StoreDF(out + h,
                               Cubic<VD, double>(y[0], y[1], y[2], y[3], S::LoadFD(st.delayT[v] + j0 + h)));
                }
            }
        }
    }

    // ---- filters: frame by frame, the voices as lanes ----

    // Three passes of the state-variable filter of frame j for the voices of `bits`, on every chain at
    // once: chain c is channel c % 2 of voices [base, base + kW), base = (c / 2) kW. Each pass is a chain of
    // dependent roundings; the chains are independent, and stepping them together lets their latencies
    // overlap. Voices without a filter keep their input and their filter states.
    static void Filter(const FramePlan& plan, FrameState& st, int j, std::uint32_t bits) {
        constexpr int N = 2 * kVoices / kW;
        alignas(64) std::int64_t onBits[kVoices];
        alignas(64) std::int32_t onBitsF[kVoices];
        for (int v = 0; v < kVoices; ++v) {
            onBits[v] = (bits >> v & 1) ? plan.filtered[v] : 0;
            onBitsF[v] = static_cast<std::int32_t>(onBits[v]);
        }
        const float* coefficient = plan.cutoffModulated ? st.filterF[j] : st.coefficient;
        const float* damping = plan.cutoffModulated ? st.filterQ[j] : st.damping;
        MD on[N];
        VI onF[N];
        VD f[N], q[N], x[N], xe[N], L[N], H[N], B[N], lo[N], hi[N], bp[N];
        VF stateLimit[N];
        for (int c = 0; c < N; ++c) {
            const int channel = c % 2, base = c / 2 * kW;
            on[c] = S::LoadMask(onBits + base);
            onF[c] = S::LoadFMask(onBitsF + base);
            f[c] = S::ToDouble(S::LoadF(coefficient + base));
            q[c] = S::ToDouble(S::LoadF(damping + base));
            alignas(64) double input[kW];
            for (int i = 0; i < kW; ++i)
                input[i] = st.signal[channel][base + i][j];
            x[c] = S::Load(input);
            // The largest input magnitude so far sets the bound of the low and band states.
            float* peak = st.inputPeak[channel] + base;
            float* limit = st.stateLimit[channel] + base;
            const VD magnitude = x[c] < 0.0 ? -x[c] : x[c];
            const VF oldPeak = S::LoadF(peak);
            const VI grows = onF[c] & (S::ToFloat(magnitude) > oldPeak);
            S::StoreF(peak, grows ? S::ToFloat(magnitude) : oldPeak);
            stateLimit[c] =
                grows ? S::ToFloat(plan.stateLimitGain * magnitude + plan.stateLimitFloor) : S::LoadF(limit);
            S::StoreF(limit, stateLimit[c]);
            L[c] = S::Load(st.low[channel] + base);
            B[c] = S::Load(st.band[channel] + base);
            xe[c] = x[c] + kFilterGuard;
        }
        for (int c = 0; c < N; ++c)
            L[c] = R(L[c] + f[c] * B[c]);
        for (int c = 0; c < N; ++c)
            H[c] = R(xe[c] - L[c] - q[c] * B[c]);
        for (int c = 0; c < N; ++c) {
            B[c] = R(f[c] * H[c] + B[c]);
            lo[c] = L[c];
            hi[c] = H[c];
            bp[c] = B[c];
        }
        for (int c = 0; c < N; ++c)
            L[c] = R(f[c] * B[c] + L[c]);
        for (int c = 0; c < N; ++c)
            H[c] = R(x[c] - L[c] - q[c] * B[c]);
        for (int c = 0; c < N; ++c)
            B[c] = R(f[c] * H[c] + B[c]);
        for (int c = 0; c < N; ++c) {
            lo[c] = R(lo[c] + L[c]);
            hi[c] = R(hi[c] + H[c]);
            bp[c] = R(bp[c] + B[c]);
        }
        for (int c = 0; c < N; ++c)
            L[c] = R(f[c] * B[c] + L[c] + kFilterGuard);
        for (int c = 0; c < N; ++c)
            H[c] = R(xe[c] - L[c] - q[c] * B[c] + kFilterGuard);
        for (int c = 0; c < N; ++c)
            B[c] = R(f[c] * H[c] + B[c] + kFilterGuard);
        for (int c = 0; c < N; ++c) {
            const int channel = c % 2, base = c / 2 * kW;
            const VD lowOut = R((lo[c] + L[c]) * kThird);
            const VD highOut = R((hi[c] + H[c]) * kThird);
            const VD bandOut = R((bp[c] + B[c]) * kThird);
            // The states kept for the next frame stay within the bound (a state that is not a number
            // passes).
            const VD bound = S::ToDouble(stateLimit[c]);
            const VD limitedL = L[c] > bound ? bound : (L[c] < -bound ? -bound : L[c]);
            const VD limitedB = B[c] > bound ? bound : (B[c] < -bound ? -bound : B[c]);
            double* low = st.low[channel] + base;
            double* high = st.high[channel] + base;
            double* band = st.band[channel] + base;
            S::Store(low, on[c] ? limitedL : S::Load(low));
            S::Store(high, on[c] ? H[c] : S::Load(high));
            S::Store(band, on[c] ? limitedB : S::Load(band));
            float* lowKept = st.lowOut[channel] + base;
            float* highKept = st.highOut[channel] + base;
            float* bandKept = st.bandOut[channel] + base;
            S::StoreF(lowKept, onF[c] ? S::ToFloat(lowOut) : S::LoadF(lowKept));
            S::StoreF(highKept, onF[c] ? S::ToFloat(highOut) : S::LoadF(highKept));
            S::StoreF(bandKept, onF[c] ? S::ToFloat(bandOut) : S::LoadF(bandKept));
            const VD mixed = R(S::Load(plan.mixLow + base) * lowOut + S::Load(plan.mixBand + base) * bandOut +
                               S::Load(plan.mixHigh + base) * highOut);
            alignas(64) double output[kW];
            S::Store(output, mixed);
            for (int i = 0; i < kW; ++i)
                if (onBits[base + i] != 0)
                    st.signal[channel][base + i][j] = static_cast<float>(output[i]);
        }
    }

    // ---- feedback taps and line writes ----

    // The feedback taps of frames [0, n) of voice v: the exact post-filter output plus 1e-8; a voice read
    // in float (it feeds back in no frame of this block) keeps its reads, only to be told apart when they
    // are not finite.
    static void Taps(const FramePlan& plan, FrameState& st, int v, int n) {
        for (int c = 0; c < 2; ++c) {
            const float* in = st.signal[c][v];
            float* tap = st.tapRow[v][c] + 1;
            if ((plan.exactRead >> v & 1) == 0) {
                std::memcpy(tap, in, sizeof(float) * static_cast<std::size_t>(n));
                continue;
            }
            for (int j = 0; j < n; j += kW)
                S::StoreDF(tap + j, S::LoadFD(in + j) + kTapOffset);
        }
    }
    static void TapOne(const FramePlan& plan, FrameState& st, int v, int j) {
        for (int c = 0; c < 2; ++c) {
            const float s = st.signal[c][v][j];
            st.tapRow[v][c][j + 1] = (plan.exactRead >> v & 1) ? static_cast<float>(s + kTapOffset) : s;
        }
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
                sum += static_cast<double>(st.tapRow[plan.all.voice[i]][c][j]) * plan.all.feeds[i];
            sample[c] = static_cast<float>(LimiterSine(sum) * plan.feedbackScale +
                                           static_cast<double>(st.input[c][j]) * plan.inpGain);
        }
        Store(plan, st, j, sample[0], sample[1]);
    }

    // The writes of frames [0, n), a vector of frames at a time: every tap they need is known. Voices
    // without feedback add zeros to the sums while their taps are finite and are then left out.
    static void WriteVector(const FramePlan& plan, FrameState& st, int n) {
        // Taps of frames -1 .. n - 2: x - x is 0 for a finite x and not a number otherwise.
        VW spoiled = S::SetW(0.0f);
        float spoiledTail = 0.0f;
        for (int i = 0; i < plan.all.count; ++i) {
            const int v = plan.all.voice[i];
            if (plan.feedBits >> v & 1)
                continue;
            for (int c = 0; c < 2; ++c) {
                const float* row = st.tapRow[v][c];
                int j = 0;
                for (; j + kF <= n; j += kF) {
                    const VW tap = S::LoadUW(row + j);
                    spoiled = spoiled + (tap - tap);
                }
                for (; j < n; ++j)
                    spoiledTail = spoiledTail + (row[j] - row[j]);
            }
        }
        alignas(64) float check[kF];
        S::StoreW(check, spoiled);
        bool finite = spoiledTail == 0.0f;
        for (int i = 0; i < kF; ++i)
            finite = finite && check[i] == 0.0f;
        if (!finite) {
            for (int j = 0; j < n; ++j)
                WriteOne(plan, st, j);
            return;
        }
        const FramePlan::FeedList& feed = plan.feeding;
        for (int c = 0; c < 2; ++c)
            for (int j = 0; j < n; j += kW) {
                VD sum = S::Set(0.0);
                for (int i = 0; i < feed.count; ++i)
                    sum = sum + S::LoadFD(st.tapRow[feed.voice[i]][c] + j) * feed.feeds[i];
                S::StoreDF(st.written[c] + j,
                           Sine(sum) * plan.feedbackScale + S::LoadFD(st.input[c] + j) * plan.inpGain);
            }
        for (int j = 0; j < n; ++j)
            Store(plan, st, j, st.written[0][j], st.written[1][j]);
    }

    // ---- outputs ----

    // The voices' outputs in voice order, then the dry part, which bypasses the input gain; in float.
    static void Outputs(const FramePlan& plan, FrameState& st, int padded) {
        for (int j = 0; j < padded; j += kF) {
            VW wet[2] = {S::SetW(0.0f), S::SetW(0.0f)};
            for (int i = 0; i < plan.activeCount; ++i) {
                const int v = plan.active[i];
                const VW amplitude =
                    (plan.ampBits >> v & 1) ? S::LoadW(st.amplitude[v] + j) : S::SetW(plan.amp[v]);
                const bool panned = plan.panBits >> v & 1;
                const float gain[2] = {plan.gainL[v], plan.gainR[v]};
                for (int c = 0; c < 2; ++c) {
                    const VW g = panned ? S::LoadW(st.gain[c][v] + j) : S::SetW(gain[c]);
                    wet[c] = wet[c] + S::LoadW(st.signal[c][v] + j) * g * amplitude;
                }
            }
            for (int c = 0; c < 2; ++c)
                S::StoreW(st.output[c] + j, (wet[c] * plan.mix + plan.dryGain * S::LoadW(st.input[c] + j)) *
                                                plan.outGain * plan.activeScale);
        }
    }

    // Each voice's output of frame j, as Outputs forms it.
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

    static void SubBlock(const FramePlan& plan, FrameState& st, int n) {
        const int padded = (n + kF - 1) / kF * kF;
        Lfos(plan, st, n, padded);

        // How each voice reads: ahead of the sub-block's writes (every tap older than the sub-block and not
        // wrapped around the line's end), after them (a voice without feedback whose taps are written by
        // then and not yet overwritten), or frame by frame between them (everything else, and every voice
        // while a fill is under way or the line is short).
        const bool vectors = !st.filling && plan.length >= kMinVectorLength;
        std::uint32_t ahead = 0, after = 0, between = 0;
        for (int i = 0; i < plan.activeCount; ++i) {
            const int v = plan.active[i];
            int lowest, highest;
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
        if (plan.cutoffModulated)
            for (int j = 0; j < n; ++j)
                for (int base = 0; base < kVoices; base += kW)
                    Coefficients(plan, st, j, base);

        const auto readAndFilter = [&](std::uint32_t set) {
            for (int i = 0; i < plan.activeCount; ++i)
                if (set >> plan.active[i] & 1)
                    ReadVector(plan, st, plan.active[i], n, padded);
            if (set & plan.filterBits)
                for (int j = 0; j < n; ++j)
                    Filter(plan, st, j, set & plan.filterBits);
            for (int i = 0; i < plan.activeCount; ++i)
                if (set >> plan.active[i] & 1)
                    Taps(plan, st, plan.active[i], n);
        };
        readAndFilter(ahead);
        if (between == 0) {
            WriteVector(plan, st, n);
        } else {
            for (int j = 0; j < n; ++j) {
                WriteOne(plan, st, j);
                for (int i = 0; i < plan.activeCount; ++i) {
                    const int v = plan.active[i];
                    if (between >> v & 1)
                        ReadOne(plan, st, v, j, plan.exactRead >> v & 1, st.signal[0][v] + j,
                                st.signal[1][v] + j);
                }
                if (between & plan.filterBits)
                    Filter(plan, st, j, between & plan.filterBits);
                for (int i = 0; i < plan.activeCount; ++i)
                    if (between >> plan.active[i] & 1)
                        TapOne(plan, st, plan.active[i], j);
            }
        }
        readAndFilter(after);
        Outputs(plan, st, padded);
        KeepVoiceOutputs(plan, st, n - 1);

        // The last taps lead the next sub-block's rows.
        for (int i = 0; i < plan.activeCount; ++i) {
            const int v = plan.active[i];
            for (int c = 0; c < 2; ++c) {
                st.tapRow[v][c][0] = st.tapRow[v][c][n];
                st.tap[c][v] = st.tapRow[v][c][n];
            }
        }
    }

    static void Run(const FramePlan& plan, FrameState& st, const float* inL, const float* inR, float* outL,
                    float* outR, int frames) {
        // Every voice's row starts with its kept tap; a voice switched off keeps it through the block.
        for (int v = 0; v < kVoices; ++v)
            for (int c = 0; c < 2; ++c)
                for (int j = 0; j <= kRow; ++j)
                    st.tapRow[v][c][j] = st.tap[c][v];
        int wp = st.writePos;
        int n = 0;
        for (int start = 0; start < frames; start += n) {
            // A sub-block ends where the writer reaches the line's end.
            const bool wrapped = wp > plan.length - 1;
            if (wrapped)
                wp = 0;
            n = frames - start < kSubBlock ? frames - start : kSubBlock;
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
