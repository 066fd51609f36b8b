#pragma once

// SSE2 vectors for the frame kernel: two doubles (frames, or voices) per vector, four floats per wide
// vector, four LFOs per float vector. Included only by the kernel unit compiled for SSE2; everything is
// local to that unit.

#include <emmintrin.h>
#include <xmmintrin.h>

#include <cstdint>

namespace engine::fast {
namespace {

struct Simd {
    static constexpr int kWidth = 2;    // doubles per vector
    static constexpr int kFloats = 4;   // floats per wide vector
    static constexpr int kLfoLanes = 4; // LFOs per float vector

    using VD = __m128d;                                        // double
    using VF = __m128;                                         // float (the first kWidth)
    using VI = std::int32_t __attribute__((vector_size(16)));  // int (the first kWidth)
    using MD = std::int64_t __attribute__((vector_size(16)));  // mask of VD
    using VW = __m128;                                         // wide float
    using VWI = std::int32_t __attribute__((vector_size(16))); // int and mask of VW
    using VL = __m128;                                         // LFOs
    using ML = std::int32_t __attribute__((vector_size(16)));  // mask of VL

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
    static VF AbsF(VF v) { return _mm_andnot_ps(_mm_set1_ps(-0.0f), v); }
    // a < b ? a : b and a > b ? a : b, lane by lane (the instructions' rule for zeros and not-a-number).
    static VD Min(VD a, VD b) { return _mm_min_pd(a, b); }
    static VD Max(VD a, VD b) { return _mm_max_pd(a, b); }
    static VD AbsD(VD v) { return _mm_andnot_pd(_mm_set1_pd(-0.0), v); }
    static VD IntToDouble(VI v) { return _mm_cvtepi32_pd(reinterpret_cast<__m128i>(v)); }
    static VI Clamp(VI v, std::int32_t low, std::int32_t high) {
        v = v < low ? SetI(low) : v;
        return v > high ? SetI(high) : v;
    }
    static VF ToFloat(VD v) { return _mm_cvtpd_ps(v); }
    static VD ToDouble(VF v) { return _mm_cvtps_pd(v); }
    // kWidth floats from memory as doubles, and back; any alignment.
    static VD LoadFD(const float* p) { return ToDouble(LoadF(p)); }
    static void StoreDF(float* p, VD v) { StoreF(p, ToFloat(v)); }
    static VI Truncate(VF v) { return reinterpret_cast<VI>(_mm_cvttps_epi32(v)); }
    static VI RoundToInt(VD v) { return reinterpret_cast<VI>(_mm_cvtpd_epi32(v)); }
    static VF IntToFloat(VI v) { return _mm_cvtepi32_ps(reinterpret_cast<__m128i>(v)); }
    static VI SetI(std::int32_t x) { return VI{x, x, x, x}; }
    static VI LoadI(const std::int32_t* p) {
        return reinterpret_cast<VI>(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
    }
    static void StoreI(std::int32_t* p, VI v) {
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), reinterpret_cast<__m128i>(v));
    }
    static int MinI(VI v) { return v[0] < v[1] ? v[0] : v[1]; }
    static int MaxI(VI v) { return v[0] > v[1] ? v[0] : v[1]; }
    // A mask of the first kWidth int lanes as a mask of the double lanes.
    static MD WidenMask(VI m) {
        const __m128i bits = reinterpret_cast<__m128i>(m);
        return reinterpret_cast<MD>(_mm_unpacklo_epi32(bits, bits));
    }
    static int MaskBitsD(MD m) { return _mm_movemask_pd(reinterpret_cast<__m128d>(m)); }
    static int MaskBitsI(VI m) { return _mm_movemask_ps(reinterpret_cast<__m128>(m)) & 3; }

    // Table entries: lane i takes table[index[i]] (the first kWidth lanes).
    static VF Lookup(const float* table, VI index) {
        return _mm_setr_ps(table[index[0]], table[index[1]], 0.0f, 0.0f);
    }

    static VW LoadW(const float* p) { return _mm_load_ps(p); }
    static VW LoadUW(const float* p) { return _mm_loadu_ps(p); }
    static void StoreW(float* p, VW v) { _mm_store_ps(p, v); }
    static void StoreUW(float* p, VW v) { _mm_storeu_ps(p, v); }
    static VW SetW(float x) { return _mm_set1_ps(x); }
    // Two vectors of kWidth floats as one wide vector, and the wide vector's conversions.
    static VW Join(VF low, VF high) { return _mm_movelh_ps(low, high); }
    static VWI TruncateW(VW v) { return reinterpret_cast<VWI>(_mm_cvttps_epi32(v)); }
    static VW IntToFloatW(VWI v) { return _mm_cvtepi32_ps(reinterpret_cast<__m128i>(v)); }
    static void StoreWI(std::int32_t* p, VWI v) { reinterpret_cast<VWI*>(p)[0] = v; }
    static VW AbsW(VW v) { return _mm_andnot_ps(_mm_set1_ps(-0.0f), v); }
    static VWI LoadWI(const std::int32_t* p) { return reinterpret_cast<const VWI*>(p)[0]; }
    static int MinWI(VWI v) {
        const VWI a = v < reinterpret_cast<VWI>(_mm_shuffle_epi32(reinterpret_cast<__m128i>(v), 0x4E))
                          ? v
                          : reinterpret_cast<VWI>(_mm_shuffle_epi32(reinterpret_cast<__m128i>(v), 0x4E));
        return a[0] < a[1] ? a[0] : a[1];
    }
    static int MaxWI(VWI v) {
        const VWI a = v > reinterpret_cast<VWI>(_mm_shuffle_epi32(reinterpret_cast<__m128i>(v), 0x4E))
                          ? v
                          : reinterpret_cast<VWI>(_mm_shuffle_epi32(reinterpret_cast<__m128i>(v), 0x4E));
        return a[0] > a[1] ? a[0] : a[1];
    }

    static VL LoadL(const float* p) { return _mm_load_ps(p); }
    static void StoreL(float* p, VL v) { _mm_store_ps(p, v); }
    static ML LoadLMask(const std::int32_t* p) { return reinterpret_cast<const ML*>(p)[0]; }
    static VL SetL(float x) { return _mm_set1_ps(x); }
    static VL AbsL(VL v) { return _mm_andnot_ps(_mm_set1_ps(-0.0f), v); }
    static int MaskBitsL(ML m) { return _mm_movemask_ps(reinterpret_cast<__m128>(m)); }

    // dst[i * dstStride + r] = src[r * srcStride + i] for r, i in 0 .. 7, in 4 x 4 quarters.
    static void Transpose8(const float* src, int srcStride, float* dst, int dstStride) {
        for (int qr = 0; qr < 8; qr += 4)
            for (int qi = 0; qi < 8; qi += 4) {
                __m128 r0 = _mm_loadu_ps(src + qr * srcStride + qi);
                __m128 r1 = _mm_loadu_ps(src + (qr + 1) * srcStride + qi);
                __m128 r2 = _mm_loadu_ps(src + (qr + 2) * srcStride + qi);
                __m128 r3 = _mm_loadu_ps(src + (qr + 3) * srcStride + qi);
                _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
                _mm_storeu_ps(dst + qi * dstStride + qr, r0);
                _mm_storeu_ps(dst + (qi + 1) * dstStride + qr, r1);
                _mm_storeu_ps(dst + (qi + 2) * dstStride + qr, r2);
                _mm_storeu_ps(dst + (qi + 3) * dstStride + qr, r3);
            }
    }
};

} // namespace
} // namespace engine::fast
