#pragma once

// AVX2 vectors for the frame kernel: four voice slots per double vector, all eight LFOs in one float
// vector. Included only by the kernel unit compiled for AVX2; everything is local to that unit.

#include "engine/fast/SimdLfo256.h"

#include <immintrin.h>

#include <cstdint>

namespace engine::fast {
namespace {

struct Simd : Lfo256 {
    static constexpr int kWidth = 4;

    using VD = __m256d;
    using VF = __m128;
    using VI = std::int32_t __attribute__((vector_size(16)));
    using MD = std::int64_t __attribute__((vector_size(32)));

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
    static MD WidenMask(VI m) {
        return reinterpret_cast<MD>(_mm256_cvtepi32_epi64(reinterpret_cast<__m128i>(m)));
    }
    static int MaskBitsD(MD m) { return _mm256_movemask_pd(reinterpret_cast<__m256d>(m)); }
    static int MaskBitsI(VI m) { return _mm_movemask_ps(reinterpret_cast<__m128>(m)); }

    static VD Gather(const float* values, const std::int32_t* index) {
        const __m256 all = _mm256_loadu_ps(values);
        const __m256i lanes =
            _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(index)));
        return _mm256_cvtps_pd(_mm256_castps256_ps128(_mm256_permutevar8x32_ps(all, lanes)));
    }

    // See the SSE2 version. Each slot's eight floats are one row; the rows are transposed.
    static void Taps(const float* line, const std::int32_t* q, VD (&left)[4], VD (&right)[4]) {
        __m256 r[4];
        for (int s = 0; s < 4; ++s)
            r[s] = _mm256_loadu_ps(line + 2 * q[s]); // y2L y2R y1L y1R | y0L y0R ym1L ym1R
        const __m256 t0 = _mm256_unpacklo_ps(r[0], r[1]), t1 = _mm256_unpackhi_ps(r[0], r[1]);
        const __m256 t2 = _mm256_unpacklo_ps(r[2], r[3]), t3 = _mm256_unpackhi_ps(r[2], r[3]);
        const __m256 olderNewerL2 = _mm256_shuffle_ps(t0, t2, 0x44); // y2 left | y0 left
        const __m256 olderNewerR2 = _mm256_shuffle_ps(t0, t2, 0xEE); // y2 right | y0 right
        const __m256 olderNewerL1 = _mm256_shuffle_ps(t1, t3, 0x44); // y1 left | ym1 left
        const __m256 olderNewerR1 = _mm256_shuffle_ps(t1, t3, 0xEE); // y1 right | ym1 right
        left[0] = _mm256_cvtps_pd(_mm256_castps256_ps128(olderNewerL2));
        left[1] = _mm256_cvtps_pd(_mm256_castps256_ps128(olderNewerL1));
        left[2] = _mm256_cvtps_pd(_mm256_extractf128_ps(olderNewerL2, 1));
        left[3] = _mm256_cvtps_pd(_mm256_extractf128_ps(olderNewerL1, 1));
        right[0] = _mm256_cvtps_pd(_mm256_castps256_ps128(olderNewerR2));
        right[1] = _mm256_cvtps_pd(_mm256_castps256_ps128(olderNewerR1));
        right[2] = _mm256_cvtps_pd(_mm256_extractf128_ps(olderNewerR2, 1));
        right[3] = _mm256_cvtps_pd(_mm256_extractf128_ps(olderNewerR1, 1));
    }

    static void StoreInterleaved(float* p, VF left, VF right) {
        _mm_storeu_ps(p, _mm_unpacklo_ps(left, right));
        _mm_storeu_ps(p + 4, _mm_unpackhi_ps(left, right));
    }
};

} // namespace
} // namespace engine::fast
