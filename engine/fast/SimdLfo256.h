#pragma once

// The 256-bit float vectors the AVX2 and AVX-512 kernels share: all eight LFOs in one vector, and the
// 8 x 8 transposition between voice-major and time-major rows. Included only by kernel units compiled for
// those instruction sets; everything is local to the unit.

#include <immintrin.h>

#include <cstdint>

namespace engine::fast {
namespace {

struct Lfo256 {
    static constexpr int kLfoLanes = 8;

    using VL = __m256;
    using ML = std::int32_t __attribute__((vector_size(32)));

    static VL LoadL(const float* p) { return _mm256_load_ps(p); }
    static void StoreL(float* p, VL v) { _mm256_store_ps(p, v); }
    static ML LoadLMask(const std::int32_t* p) { return reinterpret_cast<const ML*>(p)[0]; }
    static VL SetL(float x) { return _mm256_set1_ps(x); }
    static VL AbsL(VL v) { return _mm256_andnot_ps(_mm256_set1_ps(-0.0f), v); }
    static int MaskBitsL(ML m) { return _mm256_movemask_ps(reinterpret_cast<__m256>(m)); }

    // dst[i * dstStride + r] = src[r * srcStride + i] for r, i in 0 .. 7.
    static void Transpose8(const float* src, int srcStride, float* dst, int dstStride) {
        __m256 r[8], t[8];
        for (int i = 0; i < 8; ++i)
            r[i] = _mm256_loadu_ps(src + i * srcStride);
        for (int i = 0; i < 8; i += 2) {
            t[i] = _mm256_unpacklo_ps(r[i], r[i + 1]);
            t[i + 1] = _mm256_unpackhi_ps(r[i], r[i + 1]);
        }
        for (int h = 0; h < 8; h += 4) {
            r[h] = _mm256_shuffle_ps(t[h], t[h + 2], 0x44);
            r[h + 1] = _mm256_shuffle_ps(t[h], t[h + 2], 0xEE);
            r[h + 2] = _mm256_shuffle_ps(t[h + 1], t[h + 3], 0x44);
            r[h + 3] = _mm256_shuffle_ps(t[h + 1], t[h + 3], 0xEE);
        }
        for (int i = 0; i < 4; ++i) {
            _mm256_storeu_ps(dst + i * dstStride, _mm256_permute2f128_ps(r[i], r[i + 4], 0x20));
            _mm256_storeu_ps(dst + (i + 4) * dstStride, _mm256_permute2f128_ps(r[i], r[i + 4], 0x31));
        }
    }
};

} // namespace
} // namespace engine::fast
