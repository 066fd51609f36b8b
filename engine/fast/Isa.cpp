#include "engine/fast/Isa.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

#include <cpuid.h>

namespace engine {

namespace {

// The extended control register XCR0: which register states the operating system saves on a switch.
std::uint64_t ReadXcr0() noexcept {
    std::uint32_t eax = 0, edx = 0;
    __asm__ volatile("xgetbv" : "=a"(eax), "=d"(edx) : "c"(0));
    return (static_cast<std::uint64_t>(edx) << 32) | eax;
}

struct Features {
    bool avx2 = false;
    bool avx512 = false; // F, DQ, BW and VL
};

Features Detect() noexcept {
    Features f;
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d))
        return f;
    const bool osxsave = (c & (1u << 27)) != 0;
    const bool avx = (c & (1u << 28)) != 0;
    if (!osxsave || !avx)
        return f;
    const std::uint64_t xcr0 = ReadXcr0();
    const bool ymmState = (xcr0 & 0x6) == 0x6;   // SSE and AVX registers
    const bool zmmState = (xcr0 & 0xE6) == 0xE6; // and the AVX-512 mask and upper registers
    if (!__get_cpuid_count(7, 0, &a, &b, &c, &d))
        return f;
    f.avx2 = ymmState && (b & (1u << 5)) != 0;
    const std::uint32_t avx512 = (1u << 16) | (1u << 17) | (1u << 30) | (1u << 31); // F, DQ, BW, VL
    f.avx512 = f.avx2 && zmmState && (b & avx512) == avx512;
    return f;
}

} // namespace

const char* IsaName(Isa isa) noexcept {
    switch (isa) {
    case Isa::Avx2:
        return "avx2";
    case Isa::Avx512:
        return "avx512";
    default:
        return "sse2";
    }
}

bool IsaAvailable(Isa isa) noexcept {
    [[maybe_unused]] static const Features features = Detect();
    switch (isa) {
    case Isa::Sse2:
        return true;
#if VORELAN_FAST_AVX
    case Isa::Avx2:
        return features.avx2;
    case Isa::Avx512:
        return features.avx512;
#endif
    default:
        return false;
    }
}

Isa ChooseIsa(const char* forced) noexcept {
    if (forced != nullptr)
        for (Isa isa : kAllIsas)
            if (std::strcmp(forced, IsaName(isa)) == 0 && IsaAvailable(isa))
                return isa;
    for (Isa isa : {Isa::Avx512, Isa::Avx2})
        if (IsaAvailable(isa))
            return isa;
    return Isa::Sse2;
}

Isa ActiveIsa() noexcept {
    static const Isa chosen = ChooseIsa(std::getenv("VORELAN_ISA"));
    return chosen;
}

} // namespace engine
