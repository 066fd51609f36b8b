// A short validate-style torture of VorelanEn2_dsp.so through the lilv test host: random hosts (rates,
// block-length options, map or not) send random port values (out of range and not finite too), time
// positions with odd tempi, messages, deactivations, and blocks of any length in place or not, with
// inputs that hold huge and non-finite samples. Every output sample stays finite and within the effect's
// bound, run allocates nothing, and the caller's floating-point state comes back exactly.
#include "lv2/Lv2Contract.h"
#include "tests/lv2/lib/Lv2Instance.h"

#include <gtest/gtest.h>
#include <lv2/atom/forge.h>

#include <xmmintrin.h>

#include <cmath>
#include <limits>
#include <string>

int AllocationCount(); // tests/unit/host/AllocationCounter.cpp

namespace {

struct Random {
    std::uint64_t state;
    std::uint32_t Next() {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<std::uint32_t>(state >> 33);
    }
    float Unit() { return static_cast<float>(Next() >> 8) / 16777216.0f; }
    bool Chance(float p) { return Unit() < p; }
    // A value as a careless host might send one.
    float Edgy() {
        constexpr float kOdd[] = {0.0f,
                                  1.0f,
                                  -0.0f,
                                  -1.0f,
                                  2.0f,
                                  1e-40f,
                                  0.5f,
                                  1e30f,
                                  std::numeric_limits<float>::quiet_NaN(),
                                  std::numeric_limits<float>::infinity(),
                                  -std::numeric_limits<float>::infinity()};
        return Chance(0.7f) ? Unit() : kOdd[Next() % std::size(kOdd)];
    }
};

// The output bound of the effect: |out| <= 3760 (1 + 1.4 p) for the largest input magnitude p so far
// (non-finite samples count as silence, huge ones as 1e15).
constexpr double kBoundScale = 3760.0;

TEST(Lv2Torture, RandomHostsGetFiniteBoundedOutputWithoutAllocationAndTheirFloatingPointStateBack) {
    lv2host::Lv2World world(VORELAN_DIST_DIR);
    constexpr double kRates[] = {8000.0, 22050.0, 44100.0, 96000.0, 192000.0, 384000.0};
    // The states hosts call with: the default, exceptions unmasked, rounding down, flushing.
    constexpr unsigned kHostMxcsr[] = {0x1F80u, 0x1900u, 0x3F80u, 0x9FC0u};
    constexpr unsigned short kHostX87[] = {0x037F, 0x0372, 0x077F, 0x027F};
    long blocks = 0;
    for (std::uint64_t seed = 1; seed <= 6; ++seed) {
        Random r{seed * 0x9E3779B97F4A7C15ull};
        lv2host::InstanceOptions options;
        options.giveMap = seed != 3;
        options.maxBlockLength = seed == 4 ? 0 : static_cast<std::int32_t>(64 + r.Next() % 4096);
        options.nominalBlockLength = seed == 4 ? 0 : options.maxBlockLength / 2;
        const double rate = kRates[r.Next() % std::size(kRates)];
        SCOPED_TRACE("instance " + std::to_string(seed) + " at " + std::to_string(rate) + " Hz");
        lv2host::Lv2Instance instance(world, lv2::kPluginUri, rate, options);

        const unsigned savedMxcsr = _mm_getcsr();
        unsigned short savedX87 = 0;
        __asm__ volatile("fnstcw %0" : "=m"(savedX87));
        std::size_t mode = 0;
        int allocations = 0;
        int findings = 0;
        instance.BeforeRun = [&] {
            allocations = AllocationCount();
            _mm_setcsr(kHostMxcsr[mode]);
            __asm__ volatile("fldcw %0" : : "m"(kHostX87[mode]));
        };
        instance.AfterRun = [&] {
            const unsigned mxcsr = _mm_getcsr() & 0xFFC0u;
            unsigned short x87 = 0;
            __asm__ volatile("fnstcw %0" : "=m"(x87));
            _mm_setcsr(savedMxcsr);
            __asm__ volatile("fldcw %0" : : "m"(savedX87));
            if (AllocationCount() != allocations && findings++ < 3)
                ADD_FAILURE() << "run allocated " << AllocationCount() - allocations << " times";
            if ((mxcsr != (kHostMxcsr[mode] & 0xFFC0u) || (x87 & 0x0F3F) != (kHostX87[mode] & 0x0F3F)) &&
                findings++ < 3)
                ADD_FAILURE() << std::hex << "floating-point state 0x" << mxcsr << "/0x" << x87
                              << " after run, the host's was 0x" << kHostMxcsr[mode] << "/0x"
                              << kHostX87[mode];
        };

        const std::uint32_t longest =
            options.maxBlockLength > 0 ? static_cast<std::uint32_t>(options.maxBlockLength) : 8192;
        double peakInput = 0;
        for (int step = 0; step < 250; ++step) {
            for (int k = r.Next() % 4; k > 0; --k)
                instance.SetControl(lv2::ParameterPort(static_cast<int>(r.Next() % 181)), r.Edgy());
            if (r.Chance(0.15f)) {
                const float tempo = r.Chance(0.8f) ? 20.0f + 280.0f * r.Unit() : r.Edgy() * 1e4f;
                instance.SendTime(instance.FramesRun() + r.Next() % longest,
                                  lv2host::TimePosition{r.Chance(0.5f) ? 1.0f : 0.0f, tempo, 0, 0, 0});
            }
            if (r.Chance(0.03f)) {
                static const char* kMessages[] = {lv2::kPanicUri, lv2::kPresetLoadedUri,
                                                  lv2::kProgramNameUri};
                std::uint64_t buffer[16];
                LV2_Atom_Forge forge;
                lv2_atom_forge_init(&forge, world.Urids().MapData());
                lv2_atom_forge_set_buffer(&forge, reinterpret_cast<std::uint8_t*>(buffer), sizeof buffer);
                LV2_Atom_Forge_Frame object;
                lv2_atom_forge_object(&forge, &object, 0, instance.Urid(kMessages[r.Next() % 3]));
                lv2_atom_forge_pop(&forge, &object);
                instance.SendAtom(instance.FramesRun(), reinterpret_cast<const LV2_Atom*>(buffer));
            }
            if (r.Chance(0.02f)) {
                instance.Deactivate();
                instance.Activate();
            }
            mode = r.Next() % std::size(kHostMxcsr);
            const std::uint32_t frames = r.Chance(0.05f) ? 0 : 1 + r.Next() % longest;
            lv2host::Stereo input{std::vector<float>(frames), std::vector<float>(frames)};
            for (std::uint32_t i = 0; i < frames; ++i) {
                input.left[i] = 2.0f * r.Unit() - 1.0f;
                input.right[i] = r.Chance(0.001f) ? r.Edgy() * 1e20f : 0.5f * input.left[i];
            }
            for (const float x : input.right)
                if (std::isfinite(x))
                    peakInput = std::max(peakInput, std::min(1e15, std::fabs(static_cast<double>(x))));
            peakInput = std::max(peakInput, 1.0);
            const lv2host::Stereo output = instance.Render(input, {frames}, r.Chance(0.5f));
            const double bound = kBoundScale * (1.0 + 1.4 * peakInput);
            for (std::uint32_t i = 0; i < frames; ++i)
                for (const float y : {output.left[i], output.right[i]})
                    if (!(std::fabs(static_cast<double>(y)) <= bound) && findings++ < 3)
                        ADD_FAILURE() << "output " << y << " at block " << step << ", frame " << i
                                      << ", beyond the bound " << bound;
            ++blocks;
            instance.TakeNotifications();
        }
    }
    EXPECT_EQ(blocks, 6 * 250);
}

} // namespace
