// The frame kernel compiled for SSE2; see FrameKernel.h.
#include "engine/fast/SimdSse2.h"

#include "engine/fast/FrameKernel.h"

namespace engine::fast {

FrameKernel FrameKernelSse2() noexcept {
    return &FrameLoop<Simd>::Run;
}

} // namespace engine::fast
