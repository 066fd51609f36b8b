#pragma once

// AVX2 vectors for the frame kernel: two voices (left and right lane each) per double vector, all eight
// LFOs in one float vector. Included only by the kernel unit compiled for AVX2; everything is local to
// that unit.

#include <immintrin.h>

#include <cstdint>

namespace engine::fast {
namespace {

struct Simd {
    static constexpr int kLanes = 4;
    static constexpr int kLfoLanes = 8;

    using VD = __m256d;
    using VF = __m128;
    using VI = std::int32_t __attribute__((vector_size(16)));
    using MD = std::int64_t __attribute__((vector_size(32)));
    using VL = __m256;
    using ML = std::int32_t __attribute__((vector_size(32)));

    static VD Load(const double* p) { return _mm256_load_pd(p); }
    static void Store(double* p, VD v) { _mm256_store_pd(p, v); }
    static VD Set(double x) { return _mm256_set1_pd(x); }
    static MD LoadMask(const std::int64_t* p) { return reinterpret_cast<const MD*>(p)[0]; }
    static VF LoadF(const float* p) { return _mm_load_ps(p); }
    static void StoreF(float* p, VF v) { _mm_store_ps(p, v); }
    static VF SetF(float x) { return _mm_set1_ps(x); }
    static VI LoadFMask(const std::int32_t* p) { return reinterpret_cast<const VI*>(p)[0]; }
    static VF ToFloat(VD v) { return _mm256_cvtpd_ps(v); }
    static VD ToDouble(VF v) { return _mm256_cvtps_pd(v); }
    static VI Truncate(VF v) { return reinterpret_cast<VI>(_mm_cvttps_epi32(v)); }
    static VI RoundToInt(VD v) { return reinterpret_cast<VI>(_mm256_cvtpd_epi32(v)); }
    static VF IntToFloat(VI v) { return _mm_cvtepi32_ps(reinterpret_cast<__m128i>(v)); }
    static void StoreI(std::int32_t* p, VI v) { reinterpret_cast<VI*>(p)[0] = v; }
    static int MaskBitsD(MD m) { return _mm256_movemask_pd(reinterpret_cast<__m256d>(m)); }
    static int MaskBitsI(VI m) { return _mm_movemask_ps(reinterpret_cast<__m128>(m)); }

    static VD Gather(const float* values, const std::int32_t* index) {
        const __m256 all = _mm256_loadu_ps(values);
        const __m256i lanes =
            _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(index)));
        return _mm256_cvtps_pd(_mm256_castps256_ps128(_mm256_permutevar8x32_ps(all, lanes)));
    }

    // Slot s of the vector has its newest tap position in q[2s]; see the SSE2 version.
    static void Taps(const float* line, const std::int32_t* q, VD& y2, VD& y1, VD& y0, VD& ym1) {
        const float* p0 = line + 2 * q[0];
        const float* p1 = line + 2 * q[2];
        const __m128 older0 = _mm_loadu_ps(p0), newer0 = _mm_loadu_ps(p0 + 4);
        const __m128 older1 = _mm_loadu_ps(p1), newer1 = _mm_loadu_ps(p1 + 4);
        y2 = _mm256_cvtps_pd(_mm_movelh_ps(older0, older1));
        y1 = _mm256_cvtps_pd(_mm_movehl_ps(older1, older0));
        y0 = _mm256_cvtps_pd(_mm_movelh_ps(newer0, newer1));
        ym1 = _mm256_cvtps_pd(_mm_movehl_ps(newer1, newer0));
    }

    static VL LoadL(const float* p) { return _mm256_load_ps(p); }
    static void StoreL(float* p, VL v) { _mm256_store_ps(p, v); }
    static ML LoadLMask(const std::int32_t* p) { return reinterpret_cast<const ML*>(p)[0]; }
    static VL SetL(float x) { return _mm256_set1_ps(x); }
    static VL AbsL(VL v) { return _mm256_andnot_ps(_mm256_set1_ps(-0.0f), v); }
    static int MaskBitsL(ML m) { return _mm256_movemask_ps(reinterpret_cast<__m256>(m)); }
};

} // namespace
} // namespace engine::fast
