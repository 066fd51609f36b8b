#pragma once

// AVX-512 vectors for the frame kernel: four voices (left and right lane each) per double vector, all
// eight LFOs in one float vector. Included only by the kernel unit compiled for AVX-512; everything is
// local to that unit.

#include <immintrin.h>

#include <cstdint>

namespace engine::fast {
namespace {

// Conversions use the zero-masking forms with every lane selected: the same instructions, without GCC 12's
// false warnings about the undefined pass-through value of the plain forms.
struct Simd {
    static constexpr int kLanes = 8;
    static constexpr int kLfoLanes = 8;

    using VD = __m512d;
    using VF = __m256;
    using VI = std::int32_t __attribute__((vector_size(32)));
    using MD = std::int64_t __attribute__((vector_size(64)));
    using VL = __m256;
    using ML = std::int32_t __attribute__((vector_size(32)));

    static VD Load(const double* p) { return _mm512_load_pd(p); }
    static void Store(double* p, VD v) { _mm512_store_pd(p, v); }
    static VD Set(double x) { return _mm512_set1_pd(x); }
    static MD LoadMask(const std::int64_t* p) { return reinterpret_cast<const MD*>(p)[0]; }
    static VF LoadF(const float* p) { return _mm256_load_ps(p); }
    static void StoreF(float* p, VF v) { _mm256_store_ps(p, v); }
    static VF SetF(float x) { return _mm256_set1_ps(x); }
    static VI LoadFMask(const std::int32_t* p) { return reinterpret_cast<const VI*>(p)[0]; }
    static VF ToFloat(VD v) { return _mm512_maskz_cvtpd_ps(0xFF, v); }
    static VD ToDouble(VF v) { return _mm512_maskz_cvtps_pd(0xFF, v); }
    static VI Truncate(VF v) { return reinterpret_cast<VI>(_mm256_cvttps_epi32(v)); }
    static VI RoundToInt(VD v) { return reinterpret_cast<VI>(_mm512_maskz_cvtpd_epi32(0xFF, v)); }
    static VF IntToFloat(VI v) { return _mm256_cvtepi32_ps(reinterpret_cast<__m256i>(v)); }
    static void StoreI(std::int32_t* p, VI v) { reinterpret_cast<VI*>(p)[0] = v; }
    static int MaskBitsD(MD m) {
        return _mm512_cmpneq_epi64_mask(reinterpret_cast<__m512i>(m), _mm512_setzero_si512());
    }
    static int MaskBitsI(VI m) { return _mm256_movemask_ps(reinterpret_cast<__m256>(m)); }

    static VD Gather(const float* values, const std::int32_t* index) {
        const __m256 all = _mm256_loadu_ps(values);
        const __m256i lanes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(index));
        return _mm512_maskz_cvtps_pd(0xFF, _mm256_permutevar8x32_ps(all, lanes));
    }

    // Slot s of the vector has its newest tap position in q[2s]; see the SSE2 version. Each slot's four
    // stereo taps are loaded as four 64-bit pairs and transposed.
    static void Taps(const float* line, const std::int32_t* q, VD& y2, VD& y1, VD& y0, VD& ym1) {
        __m256d r[4];
        for (int s = 0; s < 4; ++s)
            r[s] = _mm256_loadu_pd(reinterpret_cast<const double*>(line + 2 * q[2 * s]));
        const __m256d t0 = _mm256_unpacklo_pd(r[0], r[1]), t1 = _mm256_unpackhi_pd(r[0], r[1]);
        const __m256d t2 = _mm256_unpacklo_pd(r[2], r[3]), t3 = _mm256_unpackhi_pd(r[2], r[3]);
        y2 = _mm512_maskz_cvtps_pd(0xFF, _mm256_castpd_ps(_mm256_permute2f128_pd(t0, t2, 0x20)));
        y0 = _mm512_maskz_cvtps_pd(0xFF, _mm256_castpd_ps(_mm256_permute2f128_pd(t0, t2, 0x31)));
        y1 = _mm512_maskz_cvtps_pd(0xFF, _mm256_castpd_ps(_mm256_permute2f128_pd(t1, t3, 0x20)));
        ym1 = _mm512_maskz_cvtps_pd(0xFF, _mm256_castpd_ps(_mm256_permute2f128_pd(t1, t3, 0x31)));
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
