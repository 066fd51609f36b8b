#include "engine/EffectCore.h"

#include "TPluginTestHost.h"
#include "engine/reference/ReferenceEngine.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>
#include <string>

namespace engine {
namespace {

// What a plug-in format relies on: values stored as given (clamped) and seen by the engine from the next
// block on, the program name kept within its field, time information it leaves out kept as it was.
TEST(EffectCoreTest, StoresValuesAtOnceAndTheEngineTakesThemAtTheNextBlock) {
    EffectCore core(std::make_unique<ReferenceEngine>());
    EXPECT_STREQ(core.ProgramName(), "8 Voices Chorus");
    EXPECT_EQ(core.BlockValues().OutGain, static_cast<float>(1.2 * 0.66f))
        << "the factory program, converted";

    const int mix = GlobalParameterIndex(GlobalKind::Mix);
    core.SetParameter(mix, 0.123f);
    core.SetParameter(GlobalParameterIndex(GlobalKind::Quality), std::numeric_limits<float>::quiet_NaN());
    core.SetParameter(VoiceParameterIndex(0, VoiceKind::Pan), 1.5f);
    core.SetParameter(VoiceParameterIndex(1, VoiceKind::Pan), -0.0f);
    core.SetParameter(kParameterCount, 0.5f);
    core.SetParameter(-1, 0.5f);
    EXPECT_EQ(core.Parameter(mix), 0.123f);
    EXPECT_EQ(core.Parameter(GlobalParameterIndex(GlobalKind::Quality)), 0.0f);
    EXPECT_EQ(core.Parameter(VoiceParameterIndex(0, VoiceKind::Pan)), 1.0f);
    EXPECT_EQ(std::bit_cast<std::uint32_t>(core.Parameter(VoiceParameterIndex(1, VoiceKind::Pan))),
              0x80000000u)
        << "-0 is in range and kept";
    EXPECT_EQ(core.Parameter(kParameterCount), 0.0f);
    EXPECT_EQ(core.BlockValues().Mix, 0.8f) << "the engine's block still runs on the old value";

    HostTime time;
    time.sampleRate = 48000.0;
    time.tempo = 90.0;
    time.playing = true;
    core.Process(nullptr, nullptr, nullptr, nullptr, 0, time);
    EXPECT_EQ(core.BlockValues().Mix, 0.123f);
    EXPECT_EQ(core.BlockValues().Pan[0], 1.0f);
    EXPECT_EQ(core.HostSampleRate(), 48000.0f);
    EXPECT_EQ(core.HostTempo(), 90.0f);
    EXPECT_EQ(core.Playing, 1);

    HostTime silent; // a format that knows only its rate
    silent.sampleRate = std::nan("");
    core.Process(nullptr, nullptr, nullptr, nullptr, 0, silent);
    EXPECT_EQ(core.HostSampleRate(), 48000.0f);
    EXPECT_EQ(core.HostTempo(), 90.0f);
    EXPECT_EQ(core.Playing, 1);

    core.SetProgramName(std::string(60, 'n'));
    EXPECT_EQ(std::string(core.ProgramName()), std::string(48, 'n'));
    core.SetProgramName(std::string_view("Cut\0here", 8));
    EXPECT_STREQ(core.ProgramName(), "Cut");
}

// An LV2 host may hand the same buffer for input and output, and blocks of any length: the output is the
// same as from separate buffers.
TEST(EffectCoreTest, InPlaceBlocksSoundLikeSeparateBuffers) {
    const int frames = 3 * EffectCore::kPieceFrames + 77;
    const std::vector<float> inL = testing::Noise(frames, 1), inR = testing::Noise(frames, 2);
    HostTime time;
    time.tempo = 120.0;
    EffectCore separate(std::make_unique<ReferenceEngine>());
    EffectCore inPlace(std::make_unique<ReferenceEngine>());
    std::vector<float> outL(frames), outR(frames), sharedL = inL, sharedR = inR;
    separate.Process(inL.data(), inR.data(), outL.data(), outR.data(), frames, time);
    inPlace.Process(sharedL.data(), sharedR.data(), sharedL.data(), sharedR.data(), frames, time);
    for (int j = 0; j < frames; ++j) {
        ASSERT_EQ(std::bit_cast<std::uint32_t>(sharedL[j]), std::bit_cast<std::uint32_t>(outL[j])) << j;
        ASSERT_EQ(std::bit_cast<std::uint32_t>(sharedR[j]), std::bit_cast<std::uint32_t>(outR[j])) << j;
    }
}

} // namespace
} // namespace engine
