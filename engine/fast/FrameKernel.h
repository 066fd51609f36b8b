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

// A host input sample: not-a-number and infinities as silence, the rest within the input limit.
inline float EngineInputSample(float x, float limit) {
    if (!(x - x == 0.0f))
        return 0.0f;
    return x < -limit ? -limit : (limit < x ? limit : x);
}

template <class S> struct FrameLoop {
    using VD = typename S::VD;
    using VF = typename S::VF;
    using VI = typename S::VI;
    using MD = typename S::MD;
    using VL = typename S::VL;
    using ML = typename S::ML;

    static constexpr int kSlotsPerVector = S::kLanes / 2;

    // Rounds each lane to float and back, as storing a float does.
    static VD R(VD v) { return S::ToDouble(S::ToFloat(v)); }

    static void WriteLine(const FramePlan& plan, FrameState& st, int wp, float inL, float inR) {
        // The feedback sum of all eight voices in voice order, through the sine.
        __m128d sum = _mm_setzero_pd();
        for (int i = 0; i < plan.feedCount; ++i)
            sum = sum +
                  _mm_cvtps_pd(_mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(plan.feedTap[i])))) *
                      plan.feeds[i];
        const __m128d input = _mm_set_pd(inR, inL);
        const __m128d written = LimiterSinePair(sum) * plan.feedbackScale + input * plan.inpGain;
        const __m128d pair = _mm_castps_pd(_mm_cvtpd_ps(written));
        _mm_store_sd(reinterpret_cast<double*>(st.line + 2 * (wp + kGuard)), pair);
        // The guard before the line mirrors its last samples.
        if (wp >= plan.length - kGuard)
            _mm_store_sd(reinterpret_cast<double*>(st.line + 2 * (wp - plan.length + kGuard)), pair);
    }

    static void StepLfos(const FramePlan& plan, FrameState& st) {
        alignas(32) float next[kLfos];
        for (int o = 0; o < kLfos; o += S::kLfoLanes) {
            const ML stepping = S::LoadLMask(plan.stepping + o);
            const VL increment = S::LoadL(st.increment + o);
            VL phase = S::LoadL(st.phase + o);
            // One step; a phase past +0.5 or not finite restarts at -0.5, one below -0.5 (a negative
            // rate) at +0.5.
            VL stepped = phase + increment;
            const ML restart = ~(stepped <= 0.5f) | (S::AbsL(stepped) == __builtin_inff());
            const ML wrapUp = ~restart & (stepped < -0.5f) & (increment < 0.0f);
            stepped = restart ? S::SetL(-0.5f) : (wrapUp ? S::SetL(0.5f) : stepped);
            phase = stepping ? stepped : phase;

            const VL p = phase;
            const VL absP = S::AbsL(p);
            const VL u = 0.25f - absP;
            const VL g = 1.0f - 2.0f * S::AbsL(u);
            const VL parabolic = (8.0f * u) * g;
            const VL triangle = 1.0f - 4.0f * absP;
            const VL square = p >= 0.0f ? S::SetL(1.0f) : S::SetL(-1.0f);
            const VL risingSaw = 2.0f * p;
            const VL fallingSaw = -2.0f * p;
            // A step that lands exactly on -0.5 draws the next random value, LFO by LFO.
            if (const int draws = S::MaskBitsL(stepping & (p == -0.5f)))
                for (int i = 0; i < S::kLfoLanes; ++i)
                    if (draws & (1 << i))
                        st.random[o + i] = DrawRandom();
            const VL random = S::LoadL(st.random + o);

            // Hard sync from the source's value seen at the previous step: restart at the offset.
            const ML hit = stepping & (S::LoadL(st.syncInput + o) == 1.0f);
            phase = hit ? S::LoadL(plan.syncOffset + o) - increment : phase;
            S::StoreL(st.phase + o, phase);

            VL bipolar = random;
            bipolar = S::LoadLMask(plan.shape[4] + o) ? square : bipolar;
            bipolar = S::LoadLMask(plan.shape[3] + o) ? fallingSaw : bipolar;
            bipolar = S::LoadLMask(plan.shape[2] + o) ? risingSaw : bipolar;
            bipolar = S::LoadLMask(plan.shape[1] + o) ? triangle : bipolar;
            bipolar = S::LoadLMask(plan.shape[0] + o) ? parabolic : bipolar;
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
        for (int o = 0; o < kLfos; o += S::kLanes) {
            const VF in = S::LoadF(st.out + o);
            const VD x = S::ToDouble(in);
            const VD a0 = S::Load(st.smoothA0 + o);
            const VD y = R((x + 1e-18) * a0 + a0 * S::Load(st.smoothX1 + o) +
                           S::Load(st.smoothY1 + o) * S::Load(st.smoothB1 + o));
            const MD on = S::LoadMask(plan.smoothing64 + o);
            S::Store(st.smoothX1 + o, on ? x : S::Load(st.smoothX1 + o));
            S::Store(st.smoothY1 + o, on ? y : S::Load(st.smoothY1 + o));
            S::StoreF(st.out + o, S::ToFloat(on ? y : x));
        }
    }

    // The cut-off of the lanes' filters for this frame; recomputes the coefficients of the filtered lanes
    // whose frequency or resonance changed.
    static void UpdateCoefficients(const FramePlan& plan, FrameState& st, int base) {
        const VD m = S::Gather(st.out, plan.frqIx + base);
        const VF pitch = S::ToFloat((1.0 - m * S::Load(plan.modFrqAmp + base)) * S::Load(plan.freq + base));
        // Pitch to frequency: truncation toward zero (as FastTrunc), a table segment, linear in it.
        const VD pitchD = S::ToDouble(pitch);
        const VD twice = pitchD < 0.0 ? -2.0 * pitchD : 2.0 * pitchD;
        VI whole = S::RoundToInt(twice - 0.5) >> 1;
        whole = pitch < 0.0f ? -whole : whole;
        VI index = whole + 480;
        index = index < 0 ? VI{} : index;
        index = index > 648 ? VI{} + 648 : index;
        alignas(64) std::int32_t indices[S::kLanes];
        S::StoreI(indices, index);
        alignas(64) float below[S::kLanes], above[S::kLanes];
        for (int i = 0; i < S::kLanes; ++i) {
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

    // Three passes of the state-variable filter on the lanes; answers the output its code selects.
    static VD Filter(const FramePlan& plan, FrameState& st, int base, VD x) {
        const VD f = S::ToDouble(S::LoadF(st.coefficient + base));
        const VD q = S::ToDouble(S::LoadF(st.damping + base));
        VD L = S::Load(st.low + base);
        VD B = S::Load(st.band + base);
        VD H;
        const VD xe = x + 1e-18;
        L = R(L + f * B);
        H = R(xe - L - q * B);
        B = R(f * H + B);
        VD lo = L, hi = H, bp = B;
        L = R(f * B + L);
        H = R(x - L - q * B);
        B = R(f * H + B);
        lo = R(lo + L);
        hi = R(hi + H);
        bp = R(bp + B);
        L = R(f * B + L + 1e-18);
        H = R(xe - L - q * B + 1e-18);
        B = R(f * H + B + 1e-18);
        const VD lowOut = R((lo + L) * 0.3333333333333);
        const VD highOut = R((hi + H) * 0.3333333333333);
        const VD bandOut = R((bp + B) * 0.3333333333333);
        const MD on = S::LoadMask(plan.filtered + base);
        S::Store(st.low + base, on ? L : S::Load(st.low + base));
        S::Store(st.high + base, on ? H : S::Load(st.high + base));
        S::Store(st.band + base, on ? B : S::Load(st.band + base));
        const VD mixed = R(S::Load(plan.mixLow + base) * lowOut + S::Load(plan.mixBand + base) * bandOut +
                           S::Load(plan.mixHigh + base) * highOut);
        return on ? mixed : x;
    }

    // One vector of voice lanes for one frame: delay, interpolated read, filter, feedback tap, pan and
    // amplitude; the voice outputs go to st.voiceOut.
    static void Voices(const FramePlan& plan, FrameState& st, int base, int wp) {
        // Delay in samples; modulation only shortens it.
        VD m = S::Set(0.0);
        if (plan.delayModulated)
            m = S::Gather(st.out, plan.delIx + base);
        VF delay = S::ToFloat((1.0 - m * S::Load(plan.modDelAmp + base)) * plan.lengthMinus1 *
                              S::Load(plan.delay + base));
        delay = delay >= 0.0f ? delay : S::SetF(0.0f);
        delay = delay > plan.lengthMinus1f ? S::SetF(plan.lengthMinus1f) : delay;
        const VI whole = S::Truncate(delay);
        const VD t = S::ToDouble(delay - S::IntToFloat(whole));
        // The newest tap, one frame newer than the sample `whole` frames back: the oldest sample of the
        // line when whole = 0. The three older taps lie before it, through the guard at the line's start.
        VI newest = (VI{} + wp) - whole;
        newest = newest < 0 ? newest + plan.length : newest;
        newest = newest + 1;
        newest = newest == plan.length ? VI{} : newest;
        alignas(64) std::int32_t q[S::kLanes];
        S::StoreI(q, newest);
        VD y2, y1, y0, ym1;
        S::Taps(st.line, q, y2, y1, y0, ym1);
        // Four-point cubic (Catmull-Rom) read.
        VD v = R(y0 + 0.5 * t *
                          ((y1 - ym1) +
                           t * ((4.0 * y1 + 2.0 * ym1 - 5.0 * y0 - y2) + t * (3.0 * (y0 - y1) - ym1 + y2))));

        if (plan.anyFilter && S::MaskBitsD(S::LoadMask(plan.filtered + base)) != 0) {
            if (plan.cutoffModulated)
                UpdateCoefficients(plan, st, base);
            v = Filter(plan, st, base, v);
        }

        // Post-filter, before pan and amplitude.
        S::StoreF(st.tap + base, S::ToFloat(v + 1e-8));

        VD gain = S::Load(plan.gain + base);
        if (plan.panModulated) {
            const VD mp = S::Gather(st.out, plan.panIx + base);
            const VD mEff = S::LoadMask(plan.rightLane + base) ? 1.0 - mp : mp;
            gain = R((1.0 - mEff * S::Load(plan.modPanAmp + base)) * gain);
        }
        VD amplitude = S::Load(plan.amp + base);
        if (plan.ampModulated) {
            const VD ma = S::Gather(st.out, plan.ampIx + base);
            amplitude = R((1.0 - ma * S::Load(plan.modAmpAmp + base)) * amplitude);
        }
        S::StoreF(st.voiceOut + base, S::ToFloat(v * gain * amplitude));
    }

    static void Run(const FramePlan& plan, FrameState& st, const float* inL, const float* inR, float* outL,
                    float* outR, int frames) {
        const int lanes = 2 * plan.slots;
        int wp = st.writePos;
        for (int j = 0; j < frames; ++j) {
            if (wp > plan.length - 1)
                wp = 0;
            const float inputL = EngineInputSample(inL[j], plan.inputLimit);
            const float inputR = EngineInputSample(inR[j], plan.inputLimit);
            WriteLine(plan, st, wp, inputL, inputR);
            StepLfos(plan, st);
            for (int base = 0; base < lanes; base += S::kLanes)
                Voices(plan, st, base, wp);

            // The voices in voice order, then the dry part, which bypasses the input gain.
            __m128d wet = _mm_setzero_pd();
            for (int lane = 0; lane < lanes; lane += 2)
                wet = wet + _mm_cvtps_pd(_mm_castpd_ps(
                                _mm_load_sd(reinterpret_cast<const double*>(st.voiceOut + lane))));
            const __m128d out = (wet * plan.mix + plan.dryGain * _mm_set_pd(inputR, inputL)) * plan.outGain *
                                plan.activeScale;
            alignas(16) float pair[4];
            _mm_store_ps(pair, _mm_cvtpd_ps(out));
            outL[j] = pair[0];
            outR[j] = pair[1];
            ++wp;
        }
        st.writePos = wp;
    }
};

} // namespace
} // namespace engine::fast
