#include "engine/fast/FastEngine.h"

#include "engine/ParameterTable.h"
#include "engine/reference/ReferenceEngine.h"

#include "TPluginTestHost.h"
#include "host/RandomGenerator.h"
#include "tests/support/RandomPrograms.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace engine {
namespace fast {
FrameKernel FrameKernelWideForTests() noexcept;
}
namespace {

using testing::Host;
using testsupport::Lcg;

// A fast engine to compare: its name and how to make one.
struct Contender {
    std::string name;
    std::function<std::unique_ptr<AudioEngine>()> make;
};

// The paths this machine runs, and the kernel at the AVX-512 width in portable vectors.
std::vector<Contender> Contenders() {
    std::vector<Contender> contenders;
    for (Isa isa : kAllIsas) {
        if (IsaAvailable(isa))
            contenders.push_back({IsaName(isa), [isa] { return CreateFastEngine(isa); }});
        else
            std::printf("skipped: the %s path (this machine cannot run it)\n", IsaName(isa));
    }
#if VORELAN_WIDE_KERNEL_TEST
    if (IsaAvailable(Isa::Avx2))
        contenders.push_back(
            {"eight slots per vector",
             [] { return std::make_unique<FastEngine>(Isa::Avx2, fast::FrameKernelWideForTests()); }});
#endif
    return contenders;
}

// The reference and the fast engine, side by side in one process: the same programs, host time
// information and input, rendered block by block on every instruction set this machine runs. Both draw
// the "Random" shape from the module's one generator, which is set back before the fast engine's block.
TEST(FastEngineTest, EqualsTheReferenceBitForBitOnEveryInstructionSet) {
    const double rates[] = {8000.0, 22050.0, 44100.0, 96000.0, 192000.0, 384000.0};
    const int blockSizes[] = {1, 7, 64, 512, 0}; // 0: a varying pattern
    int compared = 0;
    for (const Contender& contender : Contenders()) {
        const char* name = contender.name.c_str();
        for (std::uint32_t seed = 0; seed < 40; ++seed) {
            Host().Reset(rates[seed % 6], 60.0 + 3.0 * seed, seed % 3 == 0 ? vst2::kVstTransportPlaying : 0);
            Host().timeAvailable = seed % 7 != 5;
            auto reference = testing::MakePlugin();
            auto fast =
                std::make_unique<TPlugin>(&testing::EngineTestHostCallback, nullptr, contender.make());
            for (const auto& [index, value] : testsupport::RandomProgram(seed)) {
                reference->setParameter(index, value);
                fast->setParameter(index, value);
            }
            Lcg r{seed + 1};
            const int blockSize = blockSizes[seed % 5];
            std::vector<float> inL(4096), inR(4096), refL(4096), refR(4096), fastL(4096), fastR(4096);
            for (int block = 0; block < 24; ++block) {
                const int frames = blockSize != 0 ? blockSize : static_cast<int>(r.Next() % 700);
                for (int i = 0; i < frames; ++i) {
                    inL[i] = 2.0f * r.Unit() - 1.0f;
                    inR[i] = i % 5 == 0 ? 0.0f : -inL[i];
                }
                if (block % 6 == 3)
                    Host().time.flags ^= vst2::kVstTransportPlaying;
                // A panic or preset fill, spread over the following blocks, while the line length changes.
                if (seed % 3 == 1 && block == 5) {
                    reference->Core().RequestDelayFill(seed % 2 ? 0.0001f : 0.0f);
                    fast->Core().RequestDelayFill(seed % 2 ? 0.0001f : 0.0f);
                }
                if (seed % 3 == 1 && block % 4 == 2) {
                    const float size = r.Unit() * (block < 12 ? 0.05f : 1.0f);
                    reference->setParameter(GlobalParameterIndex(GlobalKind::BufferSize), size);
                    fast->setParameter(GlobalParameterIndex(GlobalKind::BufferSize), size);
                }
                float* in[2] = {inL.data(), inR.data()};
                float* refOut[2] = {refL.data(), refR.data()};
                float* fastOut[2] = {fastL.data(), fastR.data()};
                const std::uint32_t draws = host::RandomGenerator::State();
                reference->processReplacing(in, refOut, frames);
                const std::uint32_t afterReference = host::RandomGenerator::State();
                host::RandomGenerator::Seed(draws);
                fast->processReplacing(in, fastOut, frames);
                ASSERT_EQ(host::RandomGenerator::State(), afterReference)
                    << name << ", program " << seed << ": the same random draws";
                for (int i = 0; i < frames; ++i) {
                    ASSERT_EQ(std::bit_cast<std::uint32_t>(fastL[i]), std::bit_cast<std::uint32_t>(refL[i]))
                        << name << ", program " << seed << ", block " << block << ", frame " << i << ": left "
                        << fastL[i] << " against " << refL[i];
                    ASSERT_EQ(std::bit_cast<std::uint32_t>(fastR[i]), std::bit_cast<std::uint32_t>(refR[i]))
                        << name << ", program " << seed << ", block " << block << ", frame " << i
                        << ": right " << fastR[i] << " against " << refR[i];
                }
            }
            ++compared;
        }
    }
    EXPECT_GE(compared, 40) << "at least the SSE2 path runs everywhere";
}

// States poisoned between blocks (as a fault might leave them) are found and cleared by both engines
// alike: the same silenced samples, the same reset states, the same fill of the lines.
TEST(FastEngineTest, ClearsPoisonedStatesLikeTheReference) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (const Contender& contender : Contenders()) {
        for (int poison = 0; poison < 5; ++poison) {
            Host().Reset(44100.0, 120.0, vst2::kVstTransportPlaying);
            auto referenceFrames = std::make_unique<ReferenceEngine>();
            std::unique_ptr<AudioEngine> fastFrames = contender.make();
            const EngineStates states[2] = {referenceFrames->States(),
                                            static_cast<FastEngine&>(*fastFrames).States()};
            TPlugin reference(&testing::EngineTestHostCallback, nullptr, std::move(referenceFrames));
            TPlugin fast(&testing::EngineTestHostCallback, nullptr, std::move(fastFrames));
            for (const auto& [index, value] : testsupport::RandomProgram(11 + poison)) {
                reference.setParameter(index, value);
                fast.setParameter(index, value);
            }
            std::vector<float> in = testing::Noise(256, 3), refL(256), refR(256), fastL(256), fastR(256);
            float* inputs[2] = {in.data(), in.data()};
            float* refOut[2] = {refL.data(), refR.data()};
            float* fastOut[2] = {fastL.data(), fastR.data()};
            for (int block = 0; block < 12; ++block) {
                if (block == 4)
                    for (const EngineStates& s : states) {
                        if (poison == 0)
                            s.filtersR[2].bandState = nan;
                        if (poison == 1)
                            s.tapL[5] = inf;
                        if (poison == 2)
                            s.smoothers[0].previousOutput = nan;
                        if (poison == 3)
                            s.lfoOut[3] = nan;
                        if (poison == 4)
                            s.filtersL[0].lowOut = -inf;
                    }
                const std::uint32_t draws = host::RandomGenerator::State();
                reference.processReplacing(inputs, refOut, 256);
                host::RandomGenerator::Seed(draws);
                fast.processReplacing(inputs, fastOut, 256);
                EXPECT_EQ(fast.Core().DelayFillInProgress(), reference.Core().DelayFillInProgress())
                    << contender.name;
                for (int i = 0; i < 256; ++i)
                    ASSERT_TRUE(
                        std::bit_cast<std::uint32_t>(fastL[i]) == std::bit_cast<std::uint32_t>(refL[i]) &&
                        std::bit_cast<std::uint32_t>(fastR[i]) == std::bit_cast<std::uint32_t>(refR[i]))
                        << contender.name << ", poison " << poison << ", block " << block << ", frame " << i;
            }
        }
    }
}

TEST(FastEngineTest, VorelanIsaForcesOnlyAPathTheMachineRuns) {
    __builtin_cpu_init();
    EXPECT_TRUE(IsaAvailable(Isa::Sse2));
    EXPECT_EQ(IsaAvailable(Isa::Avx2), static_cast<bool>(__builtin_cpu_supports("avx2")));
    EXPECT_EQ(IsaAvailable(Isa::Avx512),
              __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
                  __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl"));
    const Isa best = ChooseIsa(nullptr);
    EXPECT_EQ(best, IsaAvailable(Isa::Avx512) ? Isa::Avx512
                    : IsaAvailable(Isa::Avx2) ? Isa::Avx2
                                              : Isa::Sse2)
        << "without VORELAN_ISA the fastest path";
    EXPECT_EQ(ChooseIsa("sse2"), Isa::Sse2);
    EXPECT_EQ(ChooseIsa("AVX2"), best) << "names are lower case";
    EXPECT_EQ(ChooseIsa(""), best);
    for (Isa isa : kAllIsas) {
        EXPECT_EQ(ChooseIsa(IsaName(isa)), IsaAvailable(isa) ? isa : best) << IsaName(isa);
        EXPECT_EQ(CreateFastEngine(isa)->InstructionSet(), IsaAvailable(isa) ? isa : best) << IsaName(isa);
    }
}

} // namespace
} // namespace engine
