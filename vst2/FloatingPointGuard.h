#pragma once

#include <cstdint>
#include <xmmintrin.h>

namespace vst2 {

// The floating-point state every call into the plug-in runs in, whatever state the host left: every
// entry point of the effect record, and every window procedure of ours that the system calls from the
// host's message loop. Being part of what a call across the plug-in's boundary may assume and must give
// back, it lives with the binary interface, where both the plug-in frame and the OS layer reach it.
//
// Inside the guard every exception is masked and rounding is to nearest, so a division by zero gives
// an infinity and an invalid operation a NaN instead of a trap, and every build rounds alike.
// Processing calls also flush denormals (FTZ and DAZ); other calls run without, so what they compute
// does not depend on the host either. When the guard ends, the host's own state comes back exactly,
// exception flags included.
//
// MXCSR governs the SSE arithmetic of all our code. The x87 unit is set too (control word 0x133F:
// all masked, 64-bit precision, to nearest): 32-bit code returns floats through it, and runtime
// library functions may use it on every x86 target. Its status flags are put back as the host had
// them, so nothing our code raised is left pending for a host that unmasked x87 exceptions.
class FloatingPointGuard {
public:
    enum class Mode { Control, Processing };

    static constexpr unsigned kAllMasked = 0x1F80; // MXCSR: the six mask bits, round to nearest
    static constexpr unsigned kFlushToZero = 0x8000;
    static constexpr unsigned kDenormalsAreZero = 0x0040;
    static constexpr std::uint16_t kX87ControlWord = 0x133F;

    explicit FloatingPointGuard(Mode mode) noexcept : savedMxcsr_(_mm_getcsr()) {
        _mm_setcsr(mode == Mode::Processing ? kAllMasked | kFlushToZero | kDenormalsAreZero : kAllMasked);
#if defined(__i386__) || defined(__x86_64__)
        __asm__ volatile("fnstcw %0\n\tfnstsw %1" : "=m"(savedX87Control_), "=m"(savedX87Status_));
        const std::uint16_t controlWord = kX87ControlWord;
        __asm__ volatile("fldcw %0" : : "m"(controlWord));
#endif
    }

    ~FloatingPointGuard() {
#if defined(__i386__) || defined(__x86_64__)
        std::uint16_t status;
        __asm__ volatile("fnstsw %0" : "=m"(status));
        if (((status ^ savedX87Status_) & kX87ExceptionFlags) == 0) {
            __asm__ volatile("fldcw %0" : : "m"(savedX87Control_));
        } else {
            // Our code raised x87 flags: load the host's control word and exception flags back together.
            // The stack top, condition codes and register tags stay as they are now, as they may hold a
            // float being returned.
            std::uint32_t environment[7];
            __asm__ volatile("fnstenv %0" : "=m"(environment));
            environment[0] = (environment[0] & 0xFFFF0000u) | savedX87Control_;
            environment[1] = (environment[1] & ~kX87StatusRestored) | (savedX87Status_ & kX87StatusRestored);
            __asm__ volatile("fldenv %0" : : "m"(environment));
        }
#endif
        _mm_setcsr(savedMxcsr_);
    }

    FloatingPointGuard(const FloatingPointGuard&) = delete;
    FloatingPointGuard& operator=(const FloatingPointGuard&) = delete;

private:
    static constexpr std::uint16_t kX87ExceptionFlags = 0x7F;   // the six flags and the stack fault
    static constexpr std::uint32_t kX87StatusRestored = 0x80FF; // those, the error summary and busy bits

    unsigned savedMxcsr_;
    std::uint16_t savedX87Control_ = 0;
    std::uint16_t savedX87Status_ = 0;
};

} // namespace vst2
