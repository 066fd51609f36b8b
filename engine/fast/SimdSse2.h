#pragma once

// SSE2 vectors for the frame kernel: two voice slots per double vector, four LFOs per float vector.
// Included only by the kernel unit compiled for SSE2; everything is local to that unit.

#include <emmintrin.h>

#include <cstdint>

namespace engine::fast {
namespace {

struct Simd {
    static constexpr int kWidth = 2;    // voice slots per vector
    static constexpr int kLfoLanes = 4; // LFOs per float vector

    using VD = __m128d;                                       // slots, double
    using VF = __m128;                                        // slots, float (the first kWidth)
    using VI = std::int32_t __attribute__((vector_size(16))); // slots, int (the first kWidth)
    using MD = std::int64_t __attribute__((vector_size(16))); // mask of VD
    using VL = __m128;                                        // LFOs
    using ML = std::int32_t __attribute__((vector_size(16))); // mask of VL

    static VD Load(const double* p) { return _mm_load_pd(p); }
    static void Store(double* p, VD v) { _mm_store_pd(p, v); }
    static VD Set(double x) { return _mm_set1_pd(x); }
    static MD LoadMask(const std::int64_t* p) { return reinterpret_cast<const MD*>(p)[0]; }
    static VF LoadF(const float* p) {
        return _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
    }
    static void StoreF(float* p, VF v) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_castps_si128(v));
    }
    static VF SetF(float x) { return _mm_set1_ps(x); }
    static VI LoadFMask(const std::int32_t* p) { return VI{p[0], p[1], 0, 0}; }
    static VF ToFloat(VD v) { return _mm_cvtpd_ps(v); }
    static VD ToDouble(VF v) { return _mm_cvtps_pd(v); }
    static VI Truncate(VF v) { return reinterpret_cast<VI>(_mm_cvttps_epi32(v)); }
    static VI RoundToInt(VD v) { return reinterpret_cast<VI>(_mm_cvtpd_epi32(v)); }
    static VF IntToFloat(VI v) { return _mm_cvtepi32_ps(reinterpret_cast<__m128i>(v)); }
    static void StoreI(std::int32_t* p, VI v) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), reinterpret_cast<__m128i>(v));
    }
    // A mask of the first kWidth int lanes as a mask of the double lanes.
    static MD WidenMask(VI m) {
        const __m128i bits = reinterpret_cast<__m128i>(m);
        return reinterpret_cast<MD>(_mm_unpacklo_epi32(bits, bits));
    }
    static int MaskBitsD(MD m) { return _mm_movemask_pd(reinterpret_cast<__m128d>(m)); }
    static int MaskBitsI(VI m) { return _mm_movemask_ps(reinterpret_cast<__m128>(m)) & 3; }

    // LFO values of the slots: slot i takes values[index[i]].
    static VD Gather(const float* values, const std::int32_t* index) {
        return _mm_set_pd(values[index[1]], values[index[0]]);
    }

    // The four taps of each slot, by channel: q[i] is slot i's newest tap position; its taps y2, y1, y0,
    // ym1 (oldest first) are the stereo samples at line + 2 q[i] .. line + 2 q[i] + 7.
    static void Taps(const float* line, const std::int32_t* q, VD (&left)[4], VD (&right)[4]) {
        const float* p0 = line + 2 * q[0];
        const float* p1 = line + 2 * q[1];
        const __m128 older0 = _mm_loadu_ps(p0), newer0 = _mm_loadu_ps(p0 + 4);
        const __m128 older1 = _mm_loadu_ps(p1), newer1 = _mm_loadu_ps(p1 + 4);
        const __m128 pairs[4] = {_mm_unpacklo_ps(older0, older1), _mm_unpackhi_ps(older0, older1),
                                 _mm_unpacklo_ps(newer0, newer1), _mm_unpackhi_ps(newer0, newer1)};
        for (int i = 0; i < 4; ++i) { // both slots' left values, then both right values
            left[i] = _mm_cvtps_pd(pairs[i]);
            right[i] = _mm_cvtps_pd(_mm_movehl_ps(pairs[i], pairs[i]));
        }
    }

    // Left and right values of the slots, stored side by side: l0 r0 l1 r1.
    static void StoreInterleaved(float* p, VF left, VF right) {
        _mm_storeu_ps(p, _mm_unpacklo_ps(left, right));
    }

    static VL LoadL(const float* p) { return _mm_load_ps(p); }
    static void StoreL(float* p, VL v) { _mm_store_ps(p, v); }
    static ML LoadLMask(const std::int32_t* p) { return reinterpret_cast<const ML*>(p)[0]; }
    static VL SetL(float x) { return _mm_set1_ps(x); }
    static VL AbsL(VL v) { return _mm_andnot_ps(_mm_set1_ps(-0.0f), v); }
    static int MaskBitsL(ML m) { return _mm_movemask_ps(reinterpret_cast<__m128>(m)); }
};

} // namespace
} // namespace engine::fast
