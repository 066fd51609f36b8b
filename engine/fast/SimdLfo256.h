#pragma once

// The LFO vector of the AVX2 and AVX-512 kernels: all eight LFOs in one 256-bit float vector. Included
// only by kernel units compiled for those instruction sets; everything is local to the unit.

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
};

} // namespace
} // namespace engine::fast
