// The frame kernel at the AVX-512 path's width (eight doubles, sixteen floats per vector), written with
// the compiler's portable vector types instead of AVX-512 instructions, so machines without AVX-512 run
// the kernel's logic at that width too. Compiled with AVX2 flags; FastEngineTest compares its bits with
// the other paths'.
#include "engine/fast/FastFrames.h"

#include <immintrin.h>

#include <cstdint>
#include <cstring>

namespace engine::fast {
namespace {

struct Simd {
    static constexpr int kWidth = 8;
    static constexpr int kFloats = 16;
    static constexpr int kLfoLanes = 8;

    using VD = double __attribute__((vector_size(64)));
    using VF = float __attribute__((vector_size(32)));
    using VI = std::int32_t __attribute__((vector_size(32)));
    using MD = std::int64_t __attribute__((vector_size(64)));
    using VW = float __attribute__((vector_size(64)));
    using VWI = std::int32_t __attribute__((vector_size(64)));
    using VL = __m256;
    using ML = std::int32_t __attribute__((vector_size(32)));

    template <typename V, typename T> static V LoadAny(const T* p) {
        V v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    template <typename V, typename T> static void StoreAny(T* p, V v) { std::memcpy(p, &v, sizeof v); }
    template <typename V> static int Bits(V m) {
        int bits = 0;
        for (int i = 0; i < static_cast<int>(sizeof m / sizeof m[0]); ++i)
            bits |= (m[i] != 0) << i;
        return bits;
    }
    template <typename V> static int Lowest(V v) {
        int r = v[0];
        for (int i = 1; i < static_cast<int>(sizeof v / sizeof v[0]); ++i)
            r = v[i] < r ? v[i] : r;
        return r;
    }
    template <typename V> static int Highest(V v) {
        int r = v[0];
        for (int i = 1; i < static_cast<int>(sizeof v / sizeof v[0]); ++i)
            r = v[i] > r ? v[i] : r;
        return r;
    }

    static VD Load(const double* p) { return LoadAny<VD>(p); }
    static void Store(double* p, VD v) { StoreAny(p, v); }
    static VD Set(double x) { return VD{} + x; }
    static MD LoadMask(const std::int64_t* p) { return LoadAny<MD>(p); }
    static VF LoadF(const float* p) { return LoadAny<VF>(p); }
    static void StoreF(float* p, VF v) { StoreAny(p, v); }
    static VF SetF(float x) { return VF{} + x; }
    static VI LoadFMask(const std::int32_t* p) { return LoadAny<VI>(p); }
    static VF AbsF(VF v) { return v < 0.0f ? -v : v; }
    static VD Min(VD a, VD b) { return a < b ? a : b; }
    static VD Max(VD a, VD b) { return a > b ? a : b; }
    static VD AbsD(VD v) { return v < 0.0 ? -v : v; }
    static VD IntToDouble(VI v) { return __builtin_convertvector(v, VD); }
    static VI Clamp(VI v, std::int32_t low, std::int32_t high) {
        v = v < low ? low : v;
        return v > high ? high : v;
    }
    static VF ToFloat(VD v) { return __builtin_convertvector(v, VF); }
    static VD ToDouble(VF v) { return __builtin_convertvector(v, VD); }
    static VD LoadFD(const float* p) { return ToDouble(LoadF(p)); }
    static void StoreDF(float* p, VD v) { StoreF(p, ToFloat(v)); }
    static VI Truncate(VF v) { return __builtin_convertvector(v, VI); }
    static VI RoundToInt(VD v) {
        VI r;
        for (int i = 0; i < kWidth; ++i)
            r[i] = _mm_cvtsd_si32(_mm_set_sd(v[i]));
        return r;
    }
    static VF IntToFloat(VI v) { return __builtin_convertvector(v, VF); }
    static VI SetI(std::int32_t x) { return VI{} + x; }
    static VI LoadI(const std::int32_t* p) { return LoadAny<VI>(p); }
    static void StoreI(std::int32_t* p, VI v) { StoreAny(p, v); }
    static int MinI(VI v) { return Lowest(v); }
    static int MaxI(VI v) { return Highest(v); }
    static MD WidenMask(VI m) { return __builtin_convertvector(m, MD); }
    static int MaskBitsD(MD m) { return Bits(m); }
    static int MaskBitsI(VI m) { return Bits(m); }
    static VF Lookup(const float* table, VI index) {
        VF r;
        for (int i = 0; i < kWidth; ++i)
            r[i] = table[index[i]];
        return r;
    }

    static VW LoadW(const float* p) { return LoadAny<VW>(p); }
    static VW LoadUW(const float* p) { return LoadAny<VW>(p); }
    static void StoreW(float* p, VW v) { StoreAny(p, v); }
    static void StoreUW(float* p, VW v) { StoreAny(p, v); }
    static VW SetW(float x) { return VW{} + x; }
    static VW Join(VF low, VF high) {
        VW r;
        std::memcpy(&r, &low, sizeof low);
        std::memcpy(reinterpret_cast<char*>(&r) + sizeof low, &high, sizeof high);
        return r;
    }
    static VWI TruncateW(VW v) { return __builtin_convertvector(v, VWI); }
    static VW IntToFloatW(VWI v) { return __builtin_convertvector(v, VW); }
    static void StoreWI(std::int32_t* p, VWI v) { StoreAny(p, v); }
    static VW AbsW(VW v) { return v < 0.0f ? -v : v; }
    static VWI LoadWI(const std::int32_t* p) { return LoadAny<VWI>(p); }
    static int MinWI(VWI v) { return Lowest(v); }
    static int MaxWI(VWI v) { return Highest(v); }

    static VL LoadL(const float* p) { return _mm256_loadu_ps(p); }
    static void StoreL(float* p, VL v) { _mm256_storeu_ps(p, v); }
    static ML LoadLMask(const std::int32_t* p) { return LoadAny<ML>(p); }
    static VL SetL(float x) { return _mm256_set1_ps(x); }
    static VL AbsL(VL v) { return _mm256_andnot_ps(_mm256_set1_ps(-0.0f), v); }
    static int MaskBitsL(ML m) { return _mm256_movemask_ps(reinterpret_cast<__m256>(m)); }
    static void Transpose8(const float* src, int srcStride, float* dst, int dstStride) {
        float block[8][8];
        for (int r = 0; r < 8; ++r)
            for (int i = 0; i < 8; ++i)
                block[i][r] = src[r * srcStride + i];
        for (int i = 0; i < 8; ++i)
            std::memcpy(dst + i * dstStride, block[i], sizeof block[i]);
    }
};

} // namespace
} // namespace engine::fast

#include "engine/fast/FrameKernel.h"

namespace engine::fast {

FrameKernel FrameKernelWideForTests() noexcept {
    return &FrameLoop<Simd>::Run;
}

} // namespace engine::fast
