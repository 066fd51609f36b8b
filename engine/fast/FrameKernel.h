#pragma once

// The fast engine's frame loop, written once over the vector types of a `Simd` traits class and compiled
// once per instruction set (KernelSse2.cpp, KernelAvx2.cpp, KernelAvx512.cpp). Everything here is local to
// the including unit, so no code compiled for one instruction set can stand in for another's.
//
// Every lane runs exactly the operations of the reference engine, in the same order and with the same
// roundings: doubles where the reference evaluates in double, a conversion to float wherever it stores a
// float, and single float operations only where the reference's double expression is one operation on
// floats, whose double result rounds to the same float. Sums over voices keep their voice order.

#include "engine/DspConstants.h"
#include "engine/fast/FastFrames.h"

#include <emmintrin.h>

#include <cstdint>

namespace engine::fast {
namespace {

// ---- the feedback limiter's sine, both channels at once ----
//
// The same reduction and polynomials as PortableSin, operation for operation, so every lane gives its
// bits. Arguments PortableSin reduces differently (not finite, or 2^29 quarter turns and more) go to it.

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

inline __m128d Polynomial(const double (&c)[7], __m128d z) {
    __m128d p = _mm_set1_pd(c[6]);
    for (int i = 5; i >= 0; --i)
        p = p * z + c[i];
    return p;
}

inline __m128d SinKernel(__m128d r, __m128d t) {
    const __m128d z = r * r;
    const __m128d tail = r * z * Polynomial(kSinTail, z);
    return r + (tail + t * (1.0 - 0.5 * z));
}

inline __m128d CosKernel(__m128d r, __m128d t) {
    const __m128d z = r * r;
    const __m128d half = 0.5 * z;
    const __m128d w = 1.0 - half;
    return w + (((1.0 - w) - half) + (z * z * Polynomial(kCosTail, z) - r * t));
}

inline void TwoSum(__m128d a, __m128d b, __m128d& s, __m128d& e) {
    s = a + b;
    const __m128d bb = s - a;
    e = (a - (s - bb)) + (b - bb);
}

inline __m128d LimiterSinePair(__m128d x) {
    using Mask = std::int64_t __attribute__((vector_size(16)));
    const __m128d k = (x * kTwoOverPi + kRoundingShift) - kRoundingShift;
    const __m128d absK = _mm_andnot_pd(_mm_set1_pd(-0.0), k);
    // Not finite (k is then not a number or infinite) or too far out for this reduction.
    if (_mm_movemask_pd(_mm_cmpnlt_pd(absK, _mm_set1_pd(kMaxQuadrant))) != 0) {
        alignas(16) double lanes[2];
        _mm_store_pd(lanes, x);
        return _mm_set_pd(LimiterSine(lanes[1]), LimiterSine(lanes[0]));
    }
    const Mask small = k == 0.0;
    const __m128d direct = SinKernel(x, _mm_setzero_pd());
    if (_mm_movemask_pd(reinterpret_cast<__m128d>(small)) == 3)
        return direct;

    __m128d hi = x - k * kPio2Parts[0];
    __m128d lo = _mm_setzero_pd();
    for (int i = 1; i < 7; ++i) {
        __m128d s, e;
        TwoSum(hi, -k * kPio2Parts[i], s, e);
        hi = s;
        lo = lo + e;
    }
    __m128d r, t;
    TwoSum(hi, lo, r, t);
    const __m128d sine = SinKernel(r, t);
    const __m128d cosine = CosKernel(r, t);
    // Quarter turn k mod 4: 0 sin, 1 cos, 2 -sin, 3 -cos.
    const __m128i quadrant = _mm_and_si128(_mm_cvttpd_epi32(k), _mm_set1_epi32(3));
    alignas(16) std::int32_t q[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(q), quadrant);
    const Mask useCos = Mask{q[0] & 1, q[1] & 1} != 0;
    const Mask negate = Mask{q[0] & 2, q[1] & 2} != 0;
    __m128d result = useCos ? cosine : sine;
    result = negate ? -result : result;
    return small ? direct : result;
}

// Two floats (a stereo pair) to and from memory, in the low half of a vector. The 64-bit integer moves
// may alias any type, unlike a double load or store on float memory.
inline __m128 LoadTwo(const float* p) {
    return _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
}
inline void StoreTwo(float* p, __m128 v) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_castps_si128(v));
}

// Host input samples as the engine takes them: not-a-number and infinities as silence, the rest within
// the input limit (the comparisons of a clamp, so that a flushed denormal stays what it was).
inline __m128 EngineInput(__m128 x, float limit) {
    const __m128 finite = _mm_cmpeq_ps(_mm_sub_ps(x, x), _mm_setzero_ps());
    const __m128 high = _mm_set1_ps(limit), low = _mm_set1_ps(-limit);
    __m128 clamped = _mm_or_ps(_mm_and_ps(_mm_cmplt_ps(x, low), low), _mm_andnot_ps(_mm_cmplt_ps(x, low), x));
    const __m128 above = _mm_cmplt_ps(high, clamped);
    clamped = _mm_or_ps(_mm_and_ps(above, high), _mm_andnot_ps(above, clamped));
    return _mm_and_ps(finite, clamped);
}

template <class S> struct FrameLoop {
    using VD = typename S::VD;
    using VF = typename S::VF;
    using VI = typename S::VI;
    using MD = typename S::MD;
    using VL = typename S::VL;
    using ML = typename S::ML;

    // Rounds each lane to float and back, as storing a float does.
    static VD R(VD v) { return S::ToDouble(S::ToFloat(v)); }

    static __m128d LoadPair(const float* p) { return _mm_cvtps_pd(LoadTwo(p)); }

    // ---- per frame, line-independent: LFOs and the voices' parameters ----

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
        // The smoothers: y = (x + 1e-18) a0 + a0 x1 + b1 y1.
        for (int o = 0; o < kLfos; o += S::kWidth) {
            const VD x = S::ToDouble(S::LoadF(st.out + o));
            const VD a0 = S::Load(st.smoothA0 + o);
            const VD y = R((x + 1e-18) * a0 + a0 * S::Load(st.smoothX1 + o) +
                           S::Load(st.smoothY1 + o) * S::Load(st.smoothB1 + o));
            const MD on = S::LoadMask(plan.smoothing64 + o);
            S::Store(st.smoothX1 + o, on ? x : S::Load(st.smoothX1 + o));
            S::Store(st.smoothY1 + o, on ? y : S::Load(st.smoothY1 + o));
            S::StoreF(st.out + o, S::ToFloat(on ? y : x));
        }
    }

    // The filter coefficients of slots [base, base + width) for a frame whose LFO outputs are `lfo`:
    // the filtered slots whose frequency or resonance changed get new ones.
    static void UpdateCoefficients(const FramePlan& plan, FrameState& st, const float* lfo, int base) {
        const VD m = S::Gather(lfo, plan.frqIx + base);
        const VF pitch = S::ToFloat((1.0 - m * S::Load(plan.modFrqAmp + base)) * S::Load(plan.freq + base));
        // Pitch to frequency: truncation toward zero (as FastTrunc), a table segment, linear in it.
        const VD pitchD = S::ToDouble(pitch);
        const VD twice = pitchD < 0.0 ? -2.0 * pitchD : 2.0 * pitchD;
        VI whole = S::RoundToInt(twice - 0.5) >> 1;
        whole = pitch < 0.0f ? -whole : whole;
        VI index = whole + 480;
        index = index < 0 ? VI{} : index;
        index = index > 648 ? VI{} + 648 : index;
        alignas(64) std::int32_t indices[S::kWidth];
        S::StoreI(indices, index);
        alignas(64) float below[S::kWidth], above[S::kWidth];
        for (int i = 0; i < S::kWidth; ++i) {
            below[i] = plan.pitchTable[indices[i]];
            above[i] = plan.pitchTable[indices[i] + 1];
        }
        const VD t = R((pitchD + 480.0) - S::ToDouble(S::IntToFloat(index)));
        const VF frequency =
            S::ToFloat((1.0 - t) * S::ToDouble(S::LoadF(below)) + t * S::ToDouble(S::LoadF(above)));

        const VF lastFrequency = S::LoadF(st.lastFrequency + base);
        const VF resonance = S::LoadF(plan.resonance + base);
        const VF lastResonance = S::LoadF(st.lastResonance + base);
        const VI changed = S::LoadFMask(plan.filteredF + base) &
                           ((frequency != lastFrequency) | (resonance != lastResonance));
        if (S::MaskBitsI(changed) == 0)
            return;
        // f = 2 SinApprox(frequency / sample rate), bounded to 0 .. the largest stable coefficient.
        const VF x = S::ToFloat(S::ToDouble(frequency) / static_cast<double>(plan.sampleRate));
        const VF xs = S::ToFloat(1.570796326794897 - S::ToDouble(x));
        const VD a = S::ToDouble(xs * xs);
        const VF c =
            S::ToFloat(0.9999932946 - 0.4999124376 * a + 0.0414877472 * a * a - 0.0012712095 * a * a * a);
        VF f = S::ToFloat(2.0 * S::ToDouble(c));
        const VF maxF = S::LoadF(plan.maxCoefficient + base);
        f = f >= 0.0f ? (f > maxF ? maxF : f) : S::SetF(0.0f);
        S::StoreF(st.coefficient + base, changed ? f : S::LoadF(st.coefficient + base));
        S::StoreF(st.damping + base, changed ? S::LoadF(plan.damping + base) : S::LoadF(st.damping + base));
        S::StoreF(st.lastFrequency + base, changed ? frequency : lastFrequency);
        S::StoreF(st.lastResonance + base, changed ? resonance : lastResonance);
    }

    // The parameters of every slot in frames [0, n): the interpolation point and newest tap position of
    // the read, pan gains, amplitude and filter coefficients. Answers the range of the delays' whole
    // parts in *lowest, *highest.
    static void Parameters(const FramePlan& plan, FrameState& st, int n, int* lowestWhole,
                           int* highestWhole) {
        // The block's constants, read once (the stores below could alias them as far as the compiler knows).
        const VD lengthMinus1 = S::Set(plan.lengthMinus1);
        const VF lengthMinus1f = S::SetF(plan.lengthMinus1f);
        const VI length = VI{} + plan.length;
        const int slots = plan.slots;
        const bool delayModulated = plan.delayModulated;
        VI lowest = length;
        VI highest = VI{};
        for (int j = 0; j < n; ++j) {
            const float* lfo = st.lfo[j];
            const int wp = st.writeAt[j];
            for (int base = 0; base < slots; base += S::kWidth) {
                // Delay in samples; modulation only shortens it.
                VD m = S::Set(0.0);
                if (delayModulated)
                    m = S::Gather(lfo, plan.delIx + base);
                VF delay = S::ToFloat((1.0 - m * S::Load(plan.modDelAmp + base)) * lengthMinus1 *
                                      S::Load(plan.delay + base));
                delay = delay >= 0.0f ? delay : S::SetF(0.0f);
                delay = delay > lengthMinus1f ? lengthMinus1f : delay;
                const VI whole = S::Truncate(delay);
                S::Store(st.delayT[j] + base, S::ToDouble(delay - S::IntToFloat(whole)));
                lowest = whole < lowest ? whole : lowest;
                highest = whole > highest ? whole : highest;
                // The newest tap, one frame newer than the sample `whole` frames back: the oldest sample of
                // the line when whole = 0. The three older taps lie before it, through the guard at the
                // line's start.
                VI newest = (VI{} + wp) - whole;
                newest = newest < 0 ? newest + length : newest;
                newest = newest + 1;
                newest = newest == length ? VI{} : newest;
                S::StoreI(st.newestTap[j] + base, newest);

                if (plan.panModulated) {
                    const VD mp = S::Gather(lfo, plan.panIx + base);
                    const VD amount = S::Load(plan.modPanAmp + base);
                    S::Store(st.gainL[j] + base, R((1.0 - mp * amount) * S::Load(plan.gainL + base)));
                    S::Store(st.gainR[j] + base, R((1.0 - (1.0 - mp) * amount) * S::Load(plan.gainR + base)));
                }
                if (plan.ampModulated) {
                    const VD ma = S::Gather(lfo, plan.ampIx + base);
                    S::Store(st.amplitude[j] + base,
                             R((1.0 - ma * S::Load(plan.modAmpAmp + base)) * S::Load(plan.amp + base)));
                }
                if (plan.anyFilter) {
                    if (plan.cutoffModulated)
                        UpdateCoefficients(plan, st, lfo, base);
                    S::StoreF(st.filterF[j] + base, S::LoadF(st.coefficient + base));
                    S::StoreF(st.filterQ[j] + base, S::LoadF(st.damping + base));
                }
            }
        }
        alignas(64) std::int32_t low[S::kWidth], high[S::kWidth];
        S::StoreI(low, lowest);
        S::StoreI(high, highest);
        *lowestWhole = plan.length;
        *highestWhole = 0;
        for (int i = 0; i < S::kWidth; ++i) {
            *lowestWhole = low[i] < *lowestWhole ? low[i] : *lowestWhole;
            *highestWhole = high[i] > *highestWhole ? high[i] : *highestWhole;
        }
    }

    // ---- per frame, on the line ----

    // Frame j's write: the feedback sum of the voices in voice order (taps of the previous frame),
    // through the sine, plus the input.
    static void Write(const FramePlan& plan, FrameState& st, int j, const float* previousTaps,
                      const FramePlan::FeedList& feed) {
        __m128d sum = _mm_setzero_pd();
        for (int i = 0; i < feed.count; ++i)
            sum = sum + LoadPair(previousTaps + feed.index[i]) * _mm_load_pd(feed.feeds[i]);
        const __m128d input = LoadPair(st.input[j]);
        const __m128d written = LimiterSinePair(sum) * plan.feedbackScale + input * plan.inpGain;
        const __m128 pair = _mm_cvtpd_ps(written);
        const int wp = st.writeAt[j];
        StoreTwo(st.line + 2 * (wp + kGuard), pair);
        if (st.filling) {
            if (st.writerWrapped[j])
                st.fill.firstRun = false;
            FillWrote(st.fill, wp);
        }
        // The guard before the line mirrors its last samples.
        if (wp >= plan.length - kGuard)
            StoreTwo(st.line + 2 * (wp - plan.length + kGuard), pair);
    }

    // Four-point cubic (Catmull-Rom) read; y holds y2, y1, y0, ym1.
    static VD Cubic(const VD (&y)[4], VD t) {
        const VD y2 = y[0], y1 = y[1], y0 = y[2], ym1 = y[3];
        return R(y0 + 0.5 * t *
                          ((y1 - ym1) +
                           t * ((4.0 * y1 + 2.0 * ym1 - 5.0 * y0 - y2) + t * (3.0 * (y0 - y1) - ym1 + y2))));
    }

    // The interpolated reads of every slot in frames [begin, end). While a fill is under way, a tap at a
    // position not written since reads the fill value.
    static void Read(const FramePlan& plan, FrameState& st, int begin, int end) {
        const float* line = st.line;
        const int slots = plan.slots;
        for (int j = begin; j < end; ++j)
            for (int base = 0; base < slots; base += S::kWidth) {
                VD left[4], right[4];
                S::Taps(line, st.newestTap[j] + base, left, right);
                if (st.filling)
                    KeepWrittenTaps(plan, st, st.newestTap[j] + base, left, right);
                const VD t = S::Load(st.delayT[j] + base);
                S::Store(st.voice[j][0] + base, Cubic(left, t));
                S::Store(st.voice[j][1] + base, Cubic(right, t));
            }
    }

    // Replaces the taps at positions outside the fill window by the fill value; newest holds each slot's
    // newest tap position, the three older ones lie before it (modulo the line's length).
    static void KeepWrittenTaps(const FramePlan& plan, const FrameState& st, const std::int32_t* newest,
                                VD (&left)[4], VD (&right)[4]) {
        const VI length = VI{} + plan.length;
        const VI low = VI{} + st.fill.low, high = VI{} + st.fill.high, start = VI{} + st.fill.start;
        const VD fill = S::Set(st.fillValue);
        VI q = VI{};
        __builtin_memcpy(&q, newest, sizeof(std::int32_t) * S::kWidth);
        for (int k = 0; k < 4; ++k) {
            VI p = q - (3 - k);
            p = p < 0 ? p + length : p;
            const MD valid = S::WidenMask(((p >= low) & (p < high)) | (p < start));
            left[k] = valid ? left[k] : fill;
            right[k] = valid ? right[k] : fill;
        }
    }

    // Three passes of the state-variable filter of frame j, on N chains at once: chain c is channel c % 2
    // of slots [base, base + width), base = (c / 2) width. Each pass is a chain of dependent roundings;
    // the chains are independent, and stepping them together lets their latencies overlap. Slots without
    // a filter keep their read and their filter states.
    template <int N> static void FilterChains(const FramePlan& plan, FrameState& st, int j) {
        MD on[N];
        VI onF[N];
        VD f[N], q[N], x[N], xe[N], L[N], H[N], B[N], lo[N], hi[N], bp[N];
        VF stateLimit[N];
        for (int c = 0; c < N; ++c) {
            const int channel = c % 2, base = c / 2 * S::kWidth;
            on[c] = S::LoadMask(plan.filtered + base);
            onF[c] = S::LoadFMask(plan.filteredF + base);
            f[c] = S::ToDouble(S::LoadF(st.filterF[j] + base));
            q[c] = S::ToDouble(S::LoadF(st.filterQ[j] + base));
            x[c] = S::Load(st.voice[j][channel] + base);
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
            xe[c] = x[c] + 1e-18;
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
            L[c] = R(f[c] * B[c] + L[c] + 1e-18);
        for (int c = 0; c < N; ++c)
            H[c] = R(xe[c] - L[c] - q[c] * B[c] + 1e-18);
        for (int c = 0; c < N; ++c)
            B[c] = R(f[c] * H[c] + B[c] + 1e-18);
        for (int c = 0; c < N; ++c) {
            const int channel = c % 2, base = c / 2 * S::kWidth;
            const VD lowOut = R((lo[c] + L[c]) * 0.3333333333333);
            const VD highOut = R((hi[c] + H[c]) * 0.3333333333333);
            const VD bandOut = R((bp[c] + B[c]) * 0.3333333333333);
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
            S::Store(st.voice[j][channel] + base, on[c] ? mixed : x[c]);
        }
    }

    // The filters of frames [begin, end): both channels of the V vectors of slots in use, stepped together.
    template <int V>
    static void FiltersOf(int vectors, const FramePlan& plan, FrameState& st, int begin, int end) {
        if constexpr (V > 1)
            if (vectors < V)
                return FiltersOf<V - 1>(vectors, plan, st, begin, end);
        for (int j = begin; j < end; ++j)
            FilterChains<2 * V>(plan, st, j);
    }

    static void Filters(const FramePlan& plan, FrameState& st, int begin, int end) {
        const int vectors = (plan.slots + S::kWidth - 1) / S::kWidth;
        FiltersOf<kSlots / S::kWidth>(vectors, plan, st, begin, end);
    }

    // The feedback taps (post-filter, before pan and amplitude) and voice outputs of frames [begin, end).
    // Answers a mask with a bit set where a tap is not finite.
    static int Outputs(const FramePlan& plan, FrameState& st, int begin, int end) {
        const int slots = plan.slots;
        const bool panModulated = plan.panModulated, ampModulated = plan.ampModulated;
        VI notFinite = VI{};
        for (int j = begin; j < end; ++j)
            for (int base = 0; base < slots; base += S::kWidth) {
                const VD vL = S::Load(st.voice[j][0] + base);
                const VD vR = S::Load(st.voice[j][1] + base);
                const VF tapL = S::ToFloat(vL + 1e-8), tapR = S::ToFloat(vR + 1e-8);
                notFinite |= ~((tapL - tapL == 0.0f) & (tapR - tapR == 0.0f));
                S::StoreInterleaved(st.taps[j] + 2 * base, tapL, tapR);
                const VD gainL = S::Load((panModulated ? st.gainL[j] : plan.gainL) + base);
                const VD gainR = S::Load((panModulated ? st.gainR[j] : plan.gainR) + base);
                const VD amplitude = S::Load((ampModulated ? st.amplitude[j] : plan.amp) + base);
                S::StoreInterleaved(st.voiceOut[j] + 2 * base, S::ToFloat(vL * gainL * amplitude),
                                    S::ToFloat(vR * gainR * amplitude));
            }
        return S::MaskBitsI(notFinite);
    }

    // Whether some tap of a tap row is not finite.
    static int RowNotFinite(const float* row) {
        __m128 finite = _mm_castsi128_ps(_mm_set1_epi32(-1));
        for (int i = 0; i < 4 * kSlots; i += 4) {
            const __m128 x = _mm_load_ps(row + i);
            finite = _mm_and_ps(finite, _mm_cmpeq_ps(_mm_sub_ps(x, x), _mm_setzero_ps()));
        }
        return _mm_movemask_ps(finite) != 15;
    }

    static void Run(const FramePlan& plan, FrameState& st, const float* inL, const float* inR, float* outL,
                    float* outR, int frames) {
        // The voices switched off keep their taps: every tap row carries them after the slots'.
        for (int j = 0; j < kSubBlock; ++j)
            for (int i = 2 * kSlots; i < 4 * kSlots; ++i)
                st.taps[j][i] = st.tap[i];
        st.tapsNotFinite = RowNotFinite(st.tap);
        // Slots beyond the last vector of slots in use are never written: their outputs stay zero.
        for (int j = 0; j < kSubBlock; ++j)
            for (int i = 2 * ((plan.slots + S::kWidth - 1) / S::kWidth * S::kWidth); i < 2 * kSlots; ++i)
                st.voiceOut[j][i] = 0.0f;
        int wp = st.writePos;
        for (int start = 0; start < frames; start += kSubBlock) {
            const int n = frames - start < kSubBlock ? frames - start : kSubBlock;
            int j = 0;
            for (; j + 4 <= n; j += 4) {
                const __m128 left = EngineInput(_mm_loadu_ps(inL + start + j), plan.inputLimit);
                const __m128 right = EngineInput(_mm_loadu_ps(inR + start + j), plan.inputLimit);
                _mm_store_ps(st.input[j], _mm_unpacklo_ps(left, right));
                _mm_store_ps(st.input[j + 2], _mm_unpackhi_ps(left, right));
            }
            for (; j < n; ++j) {
                const __m128 pair =
                    EngineInput(_mm_set_ps(0.0f, 0.0f, inR[start + j], inL[start + j]), plan.inputLimit);
                StoreTwo(st.input[j], pair);
            }
            for (j = 0; j < n; ++j) {
                st.writerWrapped[j] = wp > plan.length - 1;
                if (st.writerWrapped[j])
                    wp = 0;
                st.writeAt[j] = wp++;
            }

            // Everything the line does not decide: the LFOs, then the voices' parameters.
            for (int j = 0; j < n; ++j) {
                StepLfos(plan, st);
                _mm_store_ps(st.lfo[j], _mm_load_ps(st.out));
                _mm_store_ps(st.lfo[j] + 4, _mm_load_ps(st.out + 4));
            }
            int minWhole, maxWhole;
            Parameters(plan, st, n, &minWhole, &maxWhole);

            // Reading every frame of the sub-block before writing any is exact when every tap of every
            // frame is at least n frames old and not wrapped around the line's end.
            const bool ahead = minWhole >= n + 1 && maxWhole <= plan.length - 3;
            if (ahead) {
                Read(plan, st, 0, n);
                if (plan.anyFilter)
                    Filters(plan, st, 0, n);
                // Voices with no feedback add zeros to the sums while the taps before them are finite.
                const int notFinite = st.tapsNotFinite | Outputs(plan, st, 0, n);
                const FramePlan::FeedList& feed = notFinite == 0 ? plan.feeding : plan.all;
                for (int j = 0; j < n; ++j)
                    Write(plan, st, j, j == 0 ? st.tap : st.taps[j - 1], feed);
            } else {
                for (int j = 0; j < n; ++j) {
                    Write(plan, st, j, j == 0 ? st.tap : st.taps[j - 1], plan.all);
                    Read(plan, st, j, j + 1);
                    if (plan.anyFilter)
                        Filters(plan, st, j, j + 1);
                    Outputs(plan, st, j, j + 1);
                }
            }
            for (int i = 0; i < 2 * kSlots; ++i) {
                st.tap[i] = st.taps[n - 1][i];
                st.lastVoiceOut[i] = st.voiceOut[n - 1][i];
            }
            st.tapsNotFinite = RowNotFinite(st.tap);

            // The voices in voice order, then the dry part, which bypasses the input gain.
            for (int j = 0; j < n; ++j) {
                // Slots not in use hold zeros, which leave the sum as it is.
                __m128d wet = _mm_setzero_pd();
                for (int s = 0; s < kSlots; ++s)
                    wet = wet + LoadPair(st.voiceOut[j] + 2 * s);
                const __m128d dry = LoadPair(st.input[j]);
                const __m128d out = (wet * plan.mix + plan.dryGain * dry) * plan.outGain * plan.activeScale;
                alignas(16) float pair[4];
                _mm_store_ps(pair, _mm_cvtpd_ps(out));
                outL[start + j] = pair[0];
                outR[start + j] = pair[1];
            }
        }
        st.writePos = wp;
    }
};

} // namespace
} // namespace engine::fast
