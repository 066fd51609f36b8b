#include "engine/fast/FastEngine.h"

#include "engine/ParameterTable.h"
#include "engine/reference/ReferenceEngine.h"

#include "TPluginTestHost.h"
#include "host/RandomGenerator.h"
#include "tests/support/Accuracy.h"
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
using testsupport::DifferenceMeter;
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
            {"sixteen frames per vector",
             [] { return std::make_unique<FastEngine>(Isa::Avx2, fast::FrameKernelWideForTests()); }});
#endif
    return contenders;
}

FastEngine& Fast(TPlugin& plugin) {
    return static_cast<FastEngine&>(plugin.Core().Frames());
}

// The first position where the fast engine's line differs from the reference's, or -1.
long LineDifference(TPlugin& reference, TPlugin& fast) {
    for (int c = 0; c < 2; ++c) {
        const float* expected =
            c == 0 ? testing::Ref(reference).DelayLineL.data() : testing::Ref(reference).DelayLineR.data();
        const float* line = Fast(fast).State().line[c];
        if (std::memcmp(expected, line, sizeof(float) * kDelayCapacity) != 0)
            for (long p = 0; p < kDelayCapacity; ++p)
                if (std::bit_cast<std::uint32_t>(expected[p]) != std::bit_cast<std::uint32_t>(line[p]))
                    return p;
    }
    return -1;
}

// Whether the fast engine keeps the reference's feedback taps, filters and LFO outputs, bit for bit.
bool SameKeptStates(TPlugin& reference, TPlugin& fast) {
    ReferenceEngine& r = testing::Ref(reference);
    const fast::FrameState& s = Fast(fast).State();
    bool same = true;
    const auto equal = [&same](float a, float b) {
        same = same && std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
    };
    for (int v = 0; v < kVoiceCount; ++v)
        for (int c = 0; c < 2; ++c) {
            const TSVC3& filter = c == 0 ? r.FiltersL[v] : r.FiltersR[v];
            equal(filter.lowState, static_cast<float>(s.low[c][v]));
            equal(filter.bandState, static_cast<float>(s.band[c][v]));
            equal(filter.highState, static_cast<float>(s.high[c][v]));
            equal(filter.bandOut, s.bandOut[c][v]);
            equal((c == 0 ? r.FeedbackTapL : r.FeedbackTapR)[v], s.tap[c][v]);
        }
    for (int k = 0; k < kLfoCount; ++k)
        equal(r.LfoOut[k], s.out[k]);
    return same;
}

// The reference and the fast engine side by side in one process: the same programs, host time information
// and input, rendered block by block on every path this machine runs (and the AVX-512 width in portable
// vectors). The delay lines and every state kept from block to block equal the reference's bit for bit;
// the output comes within the accuracy bound; and every path gives the same bits as the first. Both
// engines draw the "Random" shape from the module's one generator, which is set back before the fast
// engine's block.
TEST(FastEngineTest, KeepsTheReferenceStatesAndItsOutputWithinTheBoundOnEveryPath) {
    const double rates[] = {8000.0, 22050.0, 44100.0, 96000.0, 192000.0, 384000.0};
    const int blockSizes[] = {1, 7, 64, 512, 0}; // 0: a varying pattern
    constexpr int kSeeds = 40;
    std::vector<std::uint64_t> firstPath(kSeeds);
    DifferenceMeter worst;
    int compared = 0;
    const std::vector<Contender> contenders = Contenders();
    for (const Contender& contender : contenders) {
        const char* name = contender.name.c_str();
        for (std::uint32_t seed = 0; seed < kSeeds; ++seed) {
            Host().Reset(rates[seed % 6], 60.0 + 3.0 * seed, seed % 3 == 0 ? vst2::kVstTransportPlaying : 0);
            Host().timeAvailable = seed % 7 != 5;
            auto reference = testing::MakePlugin();
            auto fast =
                std::make_unique<TPlugin>(&testing::EngineTestHostCallback, nullptr, contender.make());
            host::RandomGenerator::Seed(seed); // the same draws on every path
            for (const auto& [index, value] : testsupport::RandomProgram(seed)) {
                reference->setParameter(index, value);
                fast->setParameter(index, value);
            }
            Lcg r{seed + 1};
            const int blockSize = blockSizes[seed % 5];
            std::vector<float> inL(4096), inR(4096), refL(4096), refR(4096), fastL(4096), fastR(4096);
            DifferenceMeter meter;
            std::uint64_t bits = 1469598103934665603ull;
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
                // Voices switched off (keeping their feedback taps) and on again, as automation would.
                if (block % 8 == 7) {
                    const int index =
                        VoiceParameterIndex(static_cast<int>(r.Next() % kVoiceCount), VoiceKind::Pow);
                    const float on = reference->getParameter(index) < 0.5f ? 1.0f : 0.0f;
                    reference->setParameter(index, on);
                    fast->setParameter(index, on);
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
                ASSERT_TRUE(SameKeptStates(*reference, *fast))
                    << name << ", program " << seed << ", block " << block << ": the kept states";
                for (int i = 0; i < frames; ++i) {
                    meter.Add(refL[i], fastL[i]);
                    meter.Add(refR[i], fastR[i]);
                    bits = (bits ^ std::bit_cast<std::uint32_t>(fastL[i])) * 1099511628211ull;
                    bits = (bits ^ std::bit_cast<std::uint32_t>(fastR[i])) * 1099511628211ull;
                }
            }
            EXPECT_EQ(LineDifference(*reference, *fast), -1L)
                << name << ", program " << seed << ": the first position where the lines differ";
            EXPECT_TRUE(meter.WithinBound())
                << name << ", program " << seed << ": difference " << meter.RmsDb() << " dB RMS, peak "
                << meter.PeakRatio() << " of the output's";
            worst.Add(meter);
            if (&contender == &contenders.front())
                firstPath[seed] = bits;
            else
                EXPECT_EQ(bits, firstPath[seed])
                    << name << ", program " << seed << ": the same bits as " << contenders.front().name;
            ++compared;
        }
    }
    EXPECT_GE(compared, kSeeds) << "at least the SSE2 path runs everywhere";
    std::printf("all programs: difference %.1f dB RMS, peak %.2g of the output's\n", worst.RmsDb(),
                worst.PeakRatio());
}

// States poisoned between blocks (as a fault might leave them) are found and cleared by both engines
// alike: outputs within the bound, the same fill of the lines, and the same states after. The last cases
// are the factory program, whose voices read ahead of the writes, with the tap of a voice without feedback
// poisoned: a zero times infinity that the feedback sum must not skip; then with that voice reading so
// close behind the writer that it is read after the writes, its tap poisoned or (filtered) its filter.
TEST(FastEngineTest, ClearsPoisonedStatesLikeTheReference) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (const Contender& contender : Contenders()) {
        for (int poison = 0; poison < 8; ++poison) {
            Host().Reset(44100.0, 120.0, vst2::kVstTransportPlaying);
            auto reference = testing::MakePlugin();
            TPlugin fast(&testing::EngineTestHostCallback, nullptr, contender.make());
            std::vector<std::pair<int, float>> program;
            if (poison < 5)
                program = testsupport::RandomProgram(11 + poison);
            if (poison >= 6) // voice 2: about ten samples behind the writer, without modulation
                program = {{VoiceParameterIndex(1, VoiceKind::Delay), 0.0015f},
                           {VoiceParameterIndex(1, VoiceKind::ModDelAmp), 0.0f},
                           {VoiceParameterIndex(1, VoiceKind::FType), poison == 7 ? 0.34f : 0.0f}};
            for (const auto& [index, value] : program) {
                reference->setParameter(index, value);
                fast.setParameter(index, value);
            }
            ReferenceEngine& r = testing::Ref(*reference);
            fast::FrameState& s = Fast(fast).State();
            std::vector<float> in = testing::Noise(256, 3), refL(256), refR(256), fastL(256), fastR(256);
            float* inputs[2] = {in.data(), in.data()};
            float* refOut[2] = {refL.data(), refR.data()};
            float* fastOut[2] = {fastL.data(), fastR.data()};
            DifferenceMeter meter;
            for (int block = 0; block < 12; ++block) {
                if (block == 4) {
                    const float bad[8] = {nan, inf, nan, nan, -inf, inf, inf, nan};
                    float* targets[8][2] = {{&r.FiltersR[2].bandState, nullptr},
                                            {&r.FeedbackTapL[5], &s.tap[0][5]},
                                            {&r.LfoSmoothers[0].previousOutput, &s.smoothY1[0]},
                                            {&r.LfoOut[3], &s.out[3]},
                                            {&r.FiltersL[0].lowOut, &s.lowOut[0][0]},
                                            {&r.FeedbackTapR[1], &s.tap[1][1]},
                                            {&r.FeedbackTapR[1], &s.tap[1][1]},
                                            {&r.FiltersL[1].bandState, nullptr}};
                    *targets[poison][0] = bad[poison];
                    if (poison == 0)
                        s.band[1][2] = nan;
                    else if (poison == 7)
                        s.band[0][1] = nan;
                    else
                        *targets[poison][1] = bad[poison];
                }
                const std::uint32_t draws = host::RandomGenerator::State();
                reference->processReplacing(inputs, refOut, 256);
                host::RandomGenerator::Seed(draws);
                fast.processReplacing(inputs, fastOut, 256);
                EXPECT_EQ(fast.Core().DelayFillInProgress(), reference->Core().DelayFillInProgress())
                    << contender.name;
                for (int i = 0; i < 256; ++i) {
                    meter.Add(refL[i], fastL[i]);
                    meter.Add(refR[i], fastR[i]);
                }
                EXPECT_TRUE(fast.Core().Frames().StatesFinite()) << contender.name << ", poison " << poison;
                EXPECT_TRUE(SameKeptStates(*reference, fast))
                    << contender.name << ", poison " << poison << ", block " << block;
            }
            EXPECT_TRUE(meter.WithinBound()) << contender.name << ", poison " << poison << ": difference "
                                             << meter.RmsDb() << " dB RMS, peak " << meter.PeakRatio();
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
