#pragma once

// AVX-512 vectors for the frame kernel: all eight voice slots in one double vector, all eight LFOs in one
// float vector. Included only by the kernel unit compiled for AVX-512; everything is local to that unit.

#include "engine/fast/SimdLfo256.h"

#include <immintrin.h>

#include <cstdint>

namespace engine::fast {
namespace {

// Conversions use the zero-masking forms with every lane selected: the same instructions, without GCC 12's
// false warnings about the undefined pass-through value of the plain forms.
struct Simd : Lfo256 {
    static constexpr int kWidth = 8;

    using VD = __m512d;
    using VF = __m256;
    using VI = std::int32_t __attribute__((vector_size(32)));
    using MD = std::int64_t __attribute__((vector_size(64)));

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
    static MD WidenMask(VI m) {
        return reinterpret_cast<MD>(_mm512_maskz_cvtepi32_epi64(0xFF, reinterpret_cast<__m256i>(m)));
    }
    static int MaskBitsD(MD m) {
        return _mm512_cmpneq_epi64_mask(reinterpret_cast<__m512i>(m), _mm512_setzero_si512());
    }
    static int MaskBitsI(VI m) { return _mm256_movemask_ps(reinterpret_cast<__m256>(m)); }

    static VD Gather(const float* values, const std::int32_t* index) {
        const __m256 all = _mm256_loadu_ps(values);
        const __m256i lanes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(index));
        return ToDouble(_mm256_permutevar8x32_ps(all, lanes));
    }

    // See the SSE2 version. Each slot's eight floats are one row; the 8 x 8 block is transposed.
    static void Taps(const float* line, const std::int32_t* q, VD (&left)[4], VD (&right)[4]) {
        __m256 r[8];
        for (int s = 0; s < 8; ++s)
            r[s] = _mm256_loadu_ps(line + 2 * q[s]); // y2L y2R y1L y1R | y0L y0R ym1L ym1R
        __m256 u[8]; // per quad of slots: y2|y0 left, y2|y0 right, y1|ym1 left, y1|ym1 right
        for (int h = 0; h < 2; ++h) {
            const __m256* q4 = r + 4 * h;
            const __m256 t0 = _mm256_unpacklo_ps(q4[0], q4[1]), t1 = _mm256_unpackhi_ps(q4[0], q4[1]);
            const __m256 t2 = _mm256_unpacklo_ps(q4[2], q4[3]), t3 = _mm256_unpackhi_ps(q4[2], q4[3]);
            u[4 * h + 0] = _mm256_shuffle_ps(t0, t2, 0x44);
            u[4 * h + 1] = _mm256_shuffle_ps(t0, t2, 0xEE);
            u[4 * h + 2] = _mm256_shuffle_ps(t1, t3, 0x44);
            u[4 * h + 3] = _mm256_shuffle_ps(t1, t3, 0xEE);
        }
        left[0] = ToDouble(_mm256_permute2f128_ps(u[0], u[4], 0x20));
        left[2] = ToDouble(_mm256_permute2f128_ps(u[0], u[4], 0x31));
        right[0] = ToDouble(_mm256_permute2f128_ps(u[1], u[5], 0x20));
        right[2] = ToDouble(_mm256_permute2f128_ps(u[1], u[5], 0x31));
        left[1] = ToDouble(_mm256_permute2f128_ps(u[2], u[6], 0x20));
        left[3] = ToDouble(_mm256_permute2f128_ps(u[2], u[6], 0x31));
        right[1] = ToDouble(_mm256_permute2f128_ps(u[3], u[7], 0x20));
        right[3] = ToDouble(_mm256_permute2f128_ps(u[3], u[7], 0x31));
    }

    static void StoreInterleaved(float* p, VF left, VF right) {
        const __m256 lo = _mm256_unpacklo_ps(left, right); // l0 r0 l1 r1 | l4 r4 l5 r5
        const __m256 hi = _mm256_unpackhi_ps(left, right); // l2 r2 l3 r3 | l6 r6 l7 r7
        _mm256_storeu_ps(p, _mm256_permute2f128_ps(lo, hi, 0x20));
        _mm256_storeu_ps(p + 8, _mm256_permute2f128_ps(lo, hi, 0x31));
    }
};

} // namespace
} // namespace engine::fast
