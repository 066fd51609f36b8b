#pragma once

// AVX2 vectors for the frame kernel: four doubles (frames, or voices) per vector, eight floats per wide
// vector, all eight LFOs in one float vector. Included only by the kernel unit compiled for AVX2;
// everything is local to that unit.

#include "engine/fast/SimdLfo256.h"

#include <immintrin.h>

#include <cstdint>

namespace engine::fast {
namespace {

struct Simd : Lfo256 {
    static constexpr int kWidth = 4;
    static constexpr int kFloats = 8;

    using VD = __m256d;
    using VF = __m128;
    using VI = std::int32_t __attribute__((vector_size(16)));
    using MD = std::int64_t __attribute__((vector_size(32)));
    using VW = __m256;
    using VWI = std::int32_t __attribute__((vector_size(32)));

    static VD Load(const double* p) { return _mm256_load_pd(p); }
    static void Store(double* p, VD v) { _mm256_store_pd(p, v); }
    static VD Set(double x) { return _mm256_set1_pd(x); }
    static MD LoadMask(const std::int64_t* p) { return reinterpret_cast<const MD*>(p)[0]; }
    static VF LoadF(const float* p) { return _mm_load_ps(p); }
    static void StoreF(float* p, VF v) { _mm_store_ps(p, v); }
    static VF SetF(float x) { return _mm_set1_ps(x); }
    static VI LoadFMask(const std::int32_t* p) { return reinterpret_cast<const VI*>(p)[0]; }
    static VF AbsF(VF v) { return _mm_andnot_ps(_mm_set1_ps(-0.0f), v); }
    static VD Min(VD a, VD b) { return _mm256_min_pd(a, b); }
    static VD Max(VD a, VD b) { return _mm256_max_pd(a, b); }
    static VD AbsD(VD v) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), v); }
    static VD IntToDouble(VI v) { return _mm256_cvtepi32_pd(reinterpret_cast<__m128i>(v)); }
    static VI Clamp(VI v, std::int32_t low, std::int32_t high) {
        const __m128i m = _mm_max_epi32(reinterpret_cast<__m128i>(v), _mm_set1_epi32(low));
        return reinterpret_cast<VI>(_mm_min_epi32(m, _mm_set1_epi32(high)));
    }
    static VF ToFloat(VD v) { return _mm256_cvtpd_ps(v); }
    static VD ToDouble(VF v) { return _mm256_cvtps_pd(v); }
    static VD LoadFD(const float* p) { return _mm256_cvtps_pd(_mm_loadu_ps(p)); }
    static void StoreDF(float* p, VD v) { _mm_storeu_ps(p, _mm256_cvtpd_ps(v)); }
    static VI Truncate(VF v) { return reinterpret_cast<VI>(_mm_cvttps_epi32(v)); }
    static VI RoundToInt(VD v) { return reinterpret_cast<VI>(_mm256_cvtpd_epi32(v)); }
    static VF IntToFloat(VI v) { return _mm_cvtepi32_ps(reinterpret_cast<__m128i>(v)); }
    static VI SetI(std::int32_t x) { return reinterpret_cast<VI>(_mm_set1_epi32(x)); }
    static VI LoadI(const std::int32_t* p) {
        return reinterpret_cast<VI>(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    }
    static void StoreI(std::int32_t* p, VI v) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), reinterpret_cast<__m128i>(v));
    }
    static int MinI(VI v) {
        __m128i m = reinterpret_cast<__m128i>(v);
        m = _mm_min_epi32(m, _mm_shuffle_epi32(m, 0x4E));
        m = _mm_min_epi32(m, _mm_shuffle_epi32(m, 0xB1));
        return _mm_cvtsi128_si32(m);
    }
    static int MaxI(VI v) {
        __m128i m = reinterpret_cast<__m128i>(v);
        m = _mm_max_epi32(m, _mm_shuffle_epi32(m, 0x4E));
        m = _mm_max_epi32(m, _mm_shuffle_epi32(m, 0xB1));
        return _mm_cvtsi128_si32(m);
    }
    static MD WidenMask(VI m) {
        return reinterpret_cast<MD>(_mm256_cvtepi32_epi64(reinterpret_cast<__m128i>(m)));
    }
    static int MaskBitsD(MD m) { return _mm256_movemask_pd(reinterpret_cast<__m256d>(m)); }
    static int MaskBitsI(VI m) { return _mm_movemask_ps(reinterpret_cast<__m128>(m)); }

    static VF Lookup(const float* table, VI index) {
        return _mm_i32gather_ps(table, reinterpret_cast<__m128i>(index), 4);
    }

    static VW LoadW(const float* p) { return _mm256_load_ps(p); }
    static VW LoadUW(const float* p) { return _mm256_loadu_ps(p); }
    static void StoreW(float* p, VW v) { _mm256_store_ps(p, v); }
    static void StoreUW(float* p, VW v) { _mm256_storeu_ps(p, v); }
    static VW SetW(float x) { return _mm256_set1_ps(x); }
    static VW Join(VF low, VF high) { return _mm256_insertf128_ps(_mm256_castps128_ps256(low), high, 1); }
    static VWI TruncateW(VW v) { return reinterpret_cast<VWI>(_mm256_cvttps_epi32(v)); }
    static VW IntToFloatW(VWI v) { return _mm256_cvtepi32_ps(reinterpret_cast<__m256i>(v)); }
    static void StoreWI(std::int32_t* p, VWI v) { reinterpret_cast<VWI*>(p)[0] = v; }
    static VW AbsW(VW v) { return _mm256_andnot_ps(_mm256_set1_ps(-0.0f), v); }
    static VWI LoadWI(const std::int32_t* p) { return reinterpret_cast<const VWI*>(p)[0]; }
    static int MinWI(VWI v) {
        const __m256i m = reinterpret_cast<__m256i>(v);
        return MinI(
            reinterpret_cast<VI>(_mm_min_epi32(_mm256_castsi256_si128(m), _mm256_extracti128_si256(m, 1))));
    }
    static int MaxWI(VWI v) {
        const __m256i m = reinterpret_cast<__m256i>(v);
        return MaxI(
            reinterpret_cast<VI>(_mm_max_epi32(_mm256_castsi256_si128(m), _mm256_extracti128_si256(m, 1))));
    }
};

} // namespace
} // namespace engine::fast
