// The frame kernel compiled for AVX2; see FrameKernel.h.
#include "engine/fast/SimdAvx2.h"

#include "engine/fast/FrameKernel.h"

namespace engine::fast {

FrameKernel FrameKernelAvx2() noexcept {
    return &FrameLoop<Simd>::Run;
}

} // namespace engine::fast
