#pragma once

// SSE2 vectors for the frame kernel: one voice (its left and right lane) per double vector, four LFOs per
// float vector. Included only by the kernel unit compiled for SSE2; everything is local to that unit.

#include <emmintrin.h>

#include <cstdint>

namespace engine::fast {
namespace {

struct Simd {
    static constexpr int kLanes = 2;    // voice lanes per double vector
    static constexpr int kLfoLanes = 4; // LFOs per float vector

    using VD = __m128d;                                       // voice lanes, double
    using VF = __m128;                                        // voice lanes, float (first kLanes)
    using VI = std::int32_t __attribute__((vector_size(16))); // voice lanes, int (first kLanes)
    using MD = std::int64_t __attribute__((vector_size(16))); // mask of VD lanes
    using VL = __m128;                                        // LFO lanes
    using ML = std::int32_t __attribute__((vector_size(16))); // mask of VL lanes

    static VD Load(const double* p) { return _mm_load_pd(p); }
    static void Store(double* p, VD v) { _mm_store_pd(p, v); }
    static VD Set(double x) { return _mm_set1_pd(x); }
    static MD LoadMask(const std::int64_t* p) { return reinterpret_cast<const MD*>(p)[0]; }
    static VF LoadF(const float* p) { return _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(p))); }
    static void StoreF(float* p, VF v) { _mm_store_sd(reinterpret_cast<double*>(p), _mm_castps_pd(v)); }
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

    // LFO values of the lanes: lane i takes values[index[i]].
    static VD Gather(const float* values, const std::int32_t* index) {
        return _mm_set_pd(values[index[1]], values[index[0]]);
    }

    // The four taps of each slot: q[2s] is the slot's newest tap position; its taps y2, y1, y0, ym1 (oldest
    // first) are the stereo samples at line + 2 (q - 3) .. line + 2 q + 1.
    static void Taps(const float* line, const std::int32_t* q, VD& y2, VD& y1, VD& y0, VD& ym1) {
        const float* p = line + 2 * q[0];
        const __m128 older = _mm_loadu_ps(p);     // y2 left, y2 right, y1 left, y1 right
        const __m128 newer = _mm_loadu_ps(p + 4); // y0, ym1
        y2 = _mm_cvtps_pd(older);
        y1 = _mm_cvtps_pd(_mm_movehl_ps(older, older));
        y0 = _mm_cvtps_pd(newer);
        ym1 = _mm_cvtps_pd(_mm_movehl_ps(newer, newer));
    }

    static int MaskBitsD(MD m) { return _mm_movemask_pd(reinterpret_cast<__m128d>(m)); }
    static int MaskBitsI(VI m) { return _mm_movemask_ps(reinterpret_cast<__m128>(m)) & 3; }

    static VL LoadL(const float* p) { return _mm_load_ps(p); }
    static void StoreL(float* p, VL v) { _mm_store_ps(p, v); }
    static ML LoadLMask(const std::int32_t* p) { return reinterpret_cast<const ML*>(p)[0]; }
    static VL SetL(float x) { return _mm_set1_ps(x); }
    static VL AbsL(VL v) { return _mm_andnot_ps(_mm_set1_ps(-0.0f), v); }
    static int MaskBitsL(ML m) { return _mm_movemask_ps(reinterpret_cast<__m128>(m)); }
};

} // namespace
} // namespace engine::fast
