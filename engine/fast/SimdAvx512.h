#pragma once

// AVX-512 vectors for the frame kernel: eight doubles (frames, or voices) per vector, sixteen floats per
// wide vector, all eight LFOs in one 256-bit float vector. Included only by the kernel unit compiled for
// AVX-512; everything is local to that unit.

#include "engine/fast/SimdLfo256.h"

#include <immintrin.h>

#include <cstdint>

namespace engine::fast {
namespace {

// Conversions use the zero-masking forms with every lane selected: the same instructions, without GCC 12's
// false warnings about the undefined pass-through value of the plain forms.
struct Simd : Lfo256 {
    static constexpr int kWidth = 8;
    static constexpr int kFloats = 16;

    using VD = __m512d;
    using VF = __m256;
    using VI = std::int32_t __attribute__((vector_size(32)));
    using MD = std::int64_t __attribute__((vector_size(64)));
    using VW = __m512;
    using VWI = std::int32_t __attribute__((vector_size(64)));

    static VD Load(const double* p) { return _mm512_load_pd(p); }
    static void Store(double* p, VD v) { _mm512_store_pd(p, v); }
    static VD Set(double x) { return _mm512_set1_pd(x); }
    static MD LoadMask(const std::int64_t* p) { return reinterpret_cast<const MD*>(p)[0]; }
    static VF LoadF(const float* p) { return _mm256_load_ps(p); }
    static void StoreF(float* p, VF v) { _mm256_store_ps(p, v); }
    static VF SetF(float x) { return _mm256_set1_ps(x); }
    static VI LoadFMask(const std::int32_t* p) { return reinterpret_cast<const VI*>(p)[0]; }
    static VF AbsF(VF v) { return _mm256_andnot_ps(_mm256_set1_ps(-0.0f), v); }
    static VD Min(VD a, VD b) { return _mm512_maskz_min_pd(0xFF, a, b); }
    static VD Max(VD a, VD b) { return _mm512_maskz_max_pd(0xFF, a, b); }
    static VD AbsD(VD v) { return _mm512_maskz_andnot_pd(0xFF, _mm512_set1_pd(-0.0), v); }
    static VD IntToDouble(VI v) { return _mm512_maskz_cvtepi32_pd(0xFF, reinterpret_cast<__m256i>(v)); }
    static VI Clamp(VI v, std::int32_t low, std::int32_t high) {
        const __m256i m = _mm256_max_epi32(reinterpret_cast<__m256i>(v), _mm256_set1_epi32(low));
        return reinterpret_cast<VI>(_mm256_min_epi32(m, _mm256_set1_epi32(high)));
    }
    static VF ToFloat(VD v) { return _mm512_maskz_cvtpd_ps(0xFF, v); }
    static VD ToDouble(VF v) { return _mm512_maskz_cvtps_pd(0xFF, v); }
    static VD LoadFD(const float* p) { return ToDouble(_mm256_loadu_ps(p)); }
    static void StoreDF(float* p, VD v) { _mm256_storeu_ps(p, ToFloat(v)); }
    static VI Truncate(VF v) { return reinterpret_cast<VI>(_mm256_cvttps_epi32(v)); }
    static VI RoundToInt(VD v) { return reinterpret_cast<VI>(_mm512_maskz_cvtpd_epi32(0xFF, v)); }
    static VF IntToFloat(VI v) { return _mm256_cvtepi32_ps(reinterpret_cast<__m256i>(v)); }
    static VI SetI(std::int32_t x) { return reinterpret_cast<VI>(_mm256_set1_epi32(x)); }
    static VI LoadI(const std::int32_t* p) {
        return reinterpret_cast<VI>(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)));
    }
    static void StoreI(std::int32_t* p, VI v) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), reinterpret_cast<__m256i>(v));
    }
    static int MinI(VI v) {
        const __m256i m = reinterpret_cast<__m256i>(v);
        __m128i h = _mm_min_epi32(_mm256_castsi256_si128(m), _mm256_extracti128_si256(m, 1));
        h = _mm_min_epi32(h, _mm_shuffle_epi32(h, 0x4E));
        return _mm_cvtsi128_si32(_mm_min_epi32(h, _mm_shuffle_epi32(h, 0xB1)));
    }
    static int MaxI(VI v) {
        const __m256i m = reinterpret_cast<__m256i>(v);
        __m128i h = _mm_max_epi32(_mm256_castsi256_si128(m), _mm256_extracti128_si256(m, 1));
        h = _mm_max_epi32(h, _mm_shuffle_epi32(h, 0x4E));
        return _mm_cvtsi128_si32(_mm_max_epi32(h, _mm_shuffle_epi32(h, 0xB1)));
    }
    static MD WidenMask(VI m) {
        return reinterpret_cast<MD>(_mm512_maskz_cvtepi32_epi64(0xFF, reinterpret_cast<__m256i>(m)));
    }
    static int MaskBitsD(MD m) {
        return _mm512_cmpneq_epi64_mask(reinterpret_cast<__m512i>(m), _mm512_setzero_si512());
    }
    static int MaskBitsI(VI m) { return _mm256_movemask_ps(reinterpret_cast<__m256>(m)); }

    static VF Lookup(const float* table, VI index) {
        return _mm256_i32gather_ps(table, reinterpret_cast<__m256i>(index), 4);
    }

    static VW LoadW(const float* p) { return _mm512_load_ps(p); }
    static VW LoadUW(const float* p) { return _mm512_loadu_ps(p); }
    static void StoreW(float* p, VW v) { _mm512_store_ps(p, v); }
    static void StoreUW(float* p, VW v) { _mm512_storeu_ps(p, v); }
    static VW SetW(float x) { return _mm512_set1_ps(x); }
    static VW Join(VF low, VF high) { return _mm512_insertf32x8(_mm512_castps256_ps512(low), high, 1); }
    static VWI TruncateW(VW v) { return reinterpret_cast<VWI>(_mm512_maskz_cvttps_epi32(0xFFFF, v)); }
    static VW IntToFloatW(VWI v) { return _mm512_maskz_cvtepi32_ps(0xFFFF, reinterpret_cast<__m512i>(v)); }
    static void StoreWI(std::int32_t* p, VWI v) { reinterpret_cast<VWI*>(p)[0] = v; }
    static VW AbsW(VW v) { return _mm512_maskz_andnot_ps(0xFFFF, _mm512_set1_ps(-0.0f), v); }
    static VWI LoadWI(const std::int32_t* p) { return reinterpret_cast<const VWI*>(p)[0]; }
    static int MinWI(VWI v) {
        const __m512i m = reinterpret_cast<__m512i>(v);
        return MinI(reinterpret_cast<VI>(_mm256_min_epi32(_mm512_maskz_extracti64x4_epi64(0xF, m, 0),
                                                          _mm512_maskz_extracti64x4_epi64(0xF, m, 1))));
    }
    static int MaxWI(VWI v) {
        const __m512i m = reinterpret_cast<__m512i>(v);
        return MaxI(reinterpret_cast<VI>(_mm256_max_epi32(_mm512_maskz_extracti64x4_epi64(0xF, m, 0),
                                                          _mm512_maskz_extracti64x4_epi64(0xF, m, 1))));
    }
};

} // namespace
} // namespace engine::fast
