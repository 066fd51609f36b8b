#pragma once

#include "tools/validate/Step.h"

#include <xmmintrin.h>

namespace validate {

// The floating-point control state a caller hands to the code it calls: the SSE control and status
// register (MXCSR) and the x87 control word.
struct FloatState {
    unsigned mxcsr = 0;
    unsigned short x87 = 0;
};

// MXCSR bits 6 to 15 control (DAZ, the six masks, rounding, FTZ); bits 0 to 5 are sticky status
// flags that any inexact operation may set, so they are not compared. Of the x87 word the masks,
// precision and rounding count; bit 6 is reserved and bits 12 to 15 do nothing on SSE-era processors.
inline constexpr unsigned kMxcsrControlBits = 0xFFC0u;
inline constexpr unsigned short kX87ControlBits = 0x0F3Fu;

inline FloatState ReadFloatState() noexcept {
    FloatState state;
    state.mxcsr = _mm_getcsr();
    __asm__ volatile("fnstcw %0" : "=m"(state.x87));
    return state;
}

inline void WriteFloatState(const FloatState& state) noexcept {
    _mm_setcsr(state.mxcsr);
    __asm__ volatile("fldcw %0" : : "m"(state.x87));
}

inline bool SameControl(const FloatState& a, const FloatState& b) noexcept {
    return (a.mxcsr & kMxcsrControlBits) == (b.mxcsr & kMxcsrControlBits) &&
           (a.x87 & kX87ControlBits) == (b.x87 & kX87ControlBits);
}

// The state a host in the given mode calls with, built from the validator's own state: status flags
// cleared, so an unmasked exception fires only for what the callee does.
inline FloatState HostFloatState(FloatMode mode, const FloatState& own) noexcept {
    FloatState state{own.mxcsr & kMxcsrControlBits, own.x87};
    switch (mode) {
    case FloatMode::Default:
        break;
    case FloatMode::Unmasked:
        // Invalid operation, division by zero and overflow unmasked in both units (MXCSR 0x1900, x87
        // 0x1332), the state some hosts' runtimes start their threads with.
        state.mxcsr = 0x1900u;
        state.x87 = 0x1332u;
        break;
    case FloatMode::RoundDown:
        state.mxcsr = (state.mxcsr & ~0x6000u) | 0x2000u;
        state.x87 = static_cast<unsigned short>((state.x87 & ~0x0C00u) | 0x0400u);
        break;
    case FloatMode::RoundZero:
        state.mxcsr |= 0x6000u;
        state.x87 = static_cast<unsigned short>(state.x87 | 0x0C00u);
        break;
    case FloatMode::FlushToZero:
        state.mxcsr |= 0x8040u;
        break;
    }
    return state;
}

// While alive, the calling thread computes with every exception masked and rounding to nearest; the
// state it found comes back at the end. The host callback runs under it, since the plug-in may call
// back while a hostile state is in force.
class MaskedFloatScope {
public:
    MaskedFloatScope() noexcept : saved_(ReadFloatState()) { _mm_setcsr(0x1F80u); }
    ~MaskedFloatScope() { _mm_setcsr(saved_.mxcsr); }
    MaskedFloatScope(const MaskedFloatScope&) = delete;
    MaskedFloatScope& operator=(const MaskedFloatScope&) = delete;

private:
    FloatState saved_;
};

} // namespace validate
