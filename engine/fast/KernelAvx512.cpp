// The frame kernel compiled for AVX512; see FrameKernel.h.
#include "engine/fast/SimdAvx512.h"

#include "engine/fast/FrameKernel.h"

namespace engine::fast {

FrameKernel FrameKernelAvx512() noexcept {
    return &FrameLoop<Simd>::Run;
}

} // namespace engine::fast
