#pragma once

namespace engine {

// The instruction-set paths of the fast engine. Every path gives the same bits.
enum class Isa { Sse2, Avx2, Avx512 };

inline constexpr Isa kAllIsas[] = {Isa::Sse2, Isa::Avx2, Isa::Avx512};

// "sse2", "avx2", "avx512": the names VORELAN_ISA takes.
const char* IsaName(Isa isa) noexcept;

// Whether this build contains the path and this processor and operating system can run it.
bool IsaAvailable(Isa isa) noexcept;

// The path named by `forced` when it is available, otherwise the fastest available one. `forced` may be
// null; a name the engine does not know is ignored.
Isa ChooseIsa(const char* forced) noexcept;

// The path of this module, chosen once, when the first effect is created: from the environment variable
// VORELAN_ISA and the processor.
Isa ActiveIsa() noexcept;

} // namespace engine
