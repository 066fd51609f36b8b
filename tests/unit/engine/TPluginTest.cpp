#include "plugin/TPlugin.h"

#include "TPluginTestHost.h"
#include "engine/ParameterTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace engine {
namespace {

using testing::Host;
using testing::MakePlugin;
using testing::Noise;
using testing::Ref;
using testing::Render;
using testing::SilenceAllVoices;

class TPluginTest : public ::testing::Test {
protected:
    void SetUp() override { Host().Reset(); }

    static void ProcessBlock(TPlugin& plugin, int frames, float input = 0.0f) {
        std::vector<float> in(static_cast<std::size_t>(frames), input), outL, outR;
        Render(plugin, in, in, outL, outR, std::max(frames, 1));
        if (frames == 0) {
            float dummy[4] = {};
            float* channels[2] = {dummy, dummy + 2};
            plugin.processReplacing(channels, channels, 0);
        }
    }
};

TEST_F(TPluginTest, PresentsItsIdentityAndTheFactoryProgram) {
    auto plugin = MakePlugin();
    const vst2::AEffect& record = *plugin->getAeffect();
    EXPECT_EQ(record.uniqueID, vst2::FourCharCode('Q', 'R', '1', '4'));
    EXPECT_EQ(record.numParams, 181);
    EXPECT_EQ(record.numPrograms, 1);
    EXPECT_EQ(record.numInputs, 2);
    EXPECT_EQ(record.numOutputs, 2);
    EXPECT_NE(record.flags & vst2::effFlagsCanReplacing, 0)
        << "Linux hosts follow VST 2.4, which requires replacing processing";
    EXPECT_EQ(record.flags & vst2::effFlagsProgramChunks, 0);

    char text[128] = {};
    plugin->getEffectName(text);
    EXPECT_STREQ(text, "VorelanEn2");
    plugin->getProductString(text);
    EXPECT_STREQ(text, "VorelanEn2");
    plugin->getVendorString(text);
    EXPECT_STREQ(text, "Qarno Audio");
    EXPECT_EQ(plugin->getVendorVersion(), 2003);
    EXPECT_EQ(plugin->canDo(const_cast<char*>("receiveVstTimeInfo")), 1);
    EXPECT_EQ(plugin->canDo(const_cast<char*>("sendVstMidiEvent")), 0);

    plugin->getProgramName(text);
    EXPECT_STREQ(text, "8 Voices Chorus");
    plugin->getParameterName(VoiceParameterIndex(2, VoiceKind::Delay), text);
    EXPECT_STREQ(text, "Delay3");
    plugin->getParameterName(180, text);
    EXPECT_STREQ(text, "Smooth8");
    for (int i = 0; i < kParameterCount; ++i)
        EXPECT_EQ(plugin->getParameter(i), kParameters[static_cast<std::size_t>(i)].factory)
            << "parameter " << i;
}

TEST_F(TPluginTest, FreshEffectIsConvertedAndSoundsWithoutAnyParameterWrite) {
    auto plugin = MakePlugin();
    EXPECT_EQ(plugin->Core().BlockValues().BufferSize, 0.07f);
    EXPECT_EQ(plugin->Core().BlockValues().OutGain, static_cast<float>(1.2 * 0.66f));
    EXPECT_EQ(plugin->Core().BlockValues().Pow[3], 1);

    std::vector<float> in = Noise(8192, 1), outL, outR;
    Render(*plugin, in, in, outL, outR, 512);
    EXPECT_EQ(plugin->Core().BufferLength, 6994);
    double energy = 0;
    for (std::size_t j = 4096; j < outL.size(); ++j)
        energy += outL[j] * outL[j] + outR[j] * outR[j];
    EXPECT_GT(energy, 100.0) << "a freshly loaded effect must not be silent";
}

TEST_F(TPluginTest, BlockStepsFollowTheHostTimeInformation) {
    auto plugin = MakePlugin();
    ProcessBlock(*plugin, 16);
    EXPECT_EQ(Host().timeRequests, 1) << "time information is asked for once per block";
    EXPECT_EQ(Host().lastTimeFilter, 0x600);

    // A new rate gives a new line length, even in a block without frames.
    Host().time.sampleRate = 96000.0;
    ProcessBlock(*plugin, 0);
    EXPECT_EQ(plugin->Core().HostSampleRate(), 96000.0f);
    EXPECT_EQ(plugin->Core().BufferLength, 15226) << "0.0793 s * 2 at 96 kHz";

    // Unusable information leaves the last rate and tempo in effect; rates and tempi beyond what a host
    // can mean are bounded.
    Host().time.tempo = 90.0;
    ProcessBlock(*plugin, 4);
    const double inf = std::numeric_limits<double>::infinity();
    for (double unusable : {0.0, -44100.0, std::numeric_limits<double>::quiet_NaN(), inf}) {
        Host().time.sampleRate = unusable;
        Host().time.tempo = unusable == 0.0 ? -1.0 : unusable;
        ProcessBlock(*plugin, 4);
        EXPECT_EQ(plugin->Core().HostSampleRate(), 96000.0f) << "rate " << unusable;
        EXPECT_EQ(plugin->Core().HostTempo(), unusable == inf ? 1000.0f : 90.0f)
            << "tempo " << Host().time.tempo;
    }
    const std::pair<double, float> bounded[] = {
        {1e300, 384000.0f}, {1.0e7, 384000.0f}, {1.0, 8000.0f}, {1e-30, 8000.0f}, {22050.0, 22050.0f}};
    for (auto [reported, used] : bounded) {
        Host().time.sampleRate = reported;
        Host().time.tempo = 1e9;
        ProcessBlock(*plugin, 4);
        EXPECT_EQ(plugin->Core().HostSampleRate(), used) << "rate " << reported;
        EXPECT_EQ(plugin->Core().HostTempo(), 1000.0f);
    }
    Host().time.sampleRate = 1.0e7;
    plugin->setParameter(GlobalParameterIndex(GlobalKind::BufferSize), 1.0f);
    ProcessBlock(*plugin, 64, 0.5f);
    EXPECT_EQ(plugin->Core().BufferLength, kDelayCapacity) << "2 s at 384 kHz is held at the line's capacity";

    // Without time information the rate the host set with its sample-rate call counts; tempo and
    // transport flags stay as they were.
    Host().time.flags = vst2::kVstTransportPlaying;
    Host().timeAvailable = false;
    plugin->setSampleRate(48000.0f);
    ProcessBlock(*plugin, 4);
    EXPECT_EQ(plugin->Core().HostSampleRate(), 48000.0f);
    EXPECT_EQ(plugin->Core().BufferLength, 96000);
    EXPECT_EQ(plugin->TimeFlags, 0);
    EXPECT_EQ(plugin->Core().HostTempo(), 1000.0f);
    plugin->setSampleRate(0.0f);
    ProcessBlock(*plugin, 4);
    EXPECT_EQ(plugin->Core().HostSampleRate(), 48000.0f) << "an unusable rate from the host is ignored too";
}

TEST_F(TPluginTest, TransportChangesRestartEveryLfoAtItsOffset) {
    auto plugin = MakePlugin();
    const float offset = plugin->Core().BlockValues().SyncOf[2]; // factory 0.3 - 0.5
    ProcessBlock(*plugin, 0);
    EXPECT_EQ(Ref(*plugin).Lfos[2].phase, offset) << "the first block always restarts the LFOs";
    ProcessBlock(*plugin, 5000);
    EXPECT_GT(std::fabs(Ref(*plugin).Lfos[2].phase - offset), 0.1f);

    Host().time.flags = vst2::kVstTransportPlaying | vst2::kVstTransportChanged;
    ProcessBlock(*plugin, 0);
    EXPECT_FLOAT_EQ(Ref(*plugin).Lfos[2].phase + Ref(*plugin).Lfos[2].increment, offset)
        << "restart in a block without frames";
    ProcessBlock(*plugin, 1);
    EXPECT_FLOAT_EQ(Ref(*plugin).Lfos[2].phase, offset);
    ProcessBlock(*plugin, 300);
    Host().time.flags = 0;
    ProcessBlock(*plugin, 1);
    EXPECT_FLOAT_EQ(Ref(*plugin).Lfos[2].phase, offset) << "stopping restarts them again";
    ProcessBlock(*plugin, 300);
    const float moved = Ref(*plugin).Lfos[2].phase;
    Host().time.flags = vst2::kVstTransportChanged; // other bits do not count
    ProcessBlock(*plugin, 0);
    EXPECT_EQ(Ref(*plugin).Lfos[2].phase, moved);
}

TEST_F(TPluginTest, TempoLockedRateDividesTheBeatIntoEighths) {
    auto plugin = MakePlugin();
    plugin->setParameter(LfoParameterIndex(0, LfoKind::HostSync), 1.0f);
    plugin->setParameter(LfoParameterIndex(0, LfoKind::LfoFreq), 0.92f);
    plugin->setParameter(LfoParameterIndex(1, LfoKind::HostSync), 1.0f);
    plugin->setParameter(LfoParameterIndex(1, LfoKind::LfoFreq), 0.68f);
    plugin->setParameter(LfoParameterIndex(2, LfoKind::HostSync), 1.0f);
    plugin->setParameter(LfoParameterIndex(2, LfoKind::LfoFreq), 1.0f);
    ProcessBlock(*plugin, 64);
    EXPECT_FLOAT_EQ(plugin->Core().LfoRate[0], 2.0f) << "n = 92: one cycle per beat at 120 bpm";
    EXPECT_FLOAT_EQ(plugin->Core().LfoRate[1], 0.5f) << "n = 68: four beats";
    EXPECT_FLOAT_EQ(plugin->Core().LfoRate[3], 1.1f) << "free running at the factory 1.1 Hz";
    EXPECT_TRUE(Ref(*plugin).LfoOut[2] >= 0.0f && Ref(*plugin).LfoOut[2] <= 1.0f)
        << "an infinite rate stays harmless";

    Host().time.tempo = 0.0;
    ProcessBlock(*plugin, 64);
    EXPECT_EQ(plugin->Core().LfoRate[0], 0.0f) << "a stopped tempo stands the LFO still";
}

TEST_F(TPluginTest, TopTempoLockedRateStaysAtTheCycleStartThroughRestarts) {
    // LFO 3: "Saw down" locked to the tempo at the top of the LfoFreq range (an infinite rate), offset +0.4.
    auto plugin = MakePlugin();
    plugin->setParameter(LfoParameterIndex(2, LfoKind::Shape), 0.5f);
    plugin->setParameter(LfoParameterIndex(2, LfoKind::HostSync), 1.0f);
    plugin->setParameter(LfoParameterIndex(2, LfoKind::LfoFreq), 1.0f);
    plugin->setParameter(LfoParameterIndex(2, LfoKind::SyncOf), 0.9f);
    ProcessBlock(*plugin, 0); // the values reach the engine at a block
    ASSERT_EQ(plugin->Core().BlockValues().Shape[2], 3);
    auto expectCycleStart = [&](const char* when) {
        for (int j = 0; j < 6; ++j) {
            ProcessBlock(*plugin, 1);
            ASSERT_EQ(Ref(*plugin).LfoOut[2], 0.0f) << when << ", frame " << j;
        }
    };
    expectCycleStart("after the first block's restart");
    Host().time.flags = vst2::kVstTransportPlaying;
    expectCycleStart("after a transport start");
    Host().time.flags = 0;
    expectCycleStart("after a transport stop");

    // Hard sync from a square standing in its positive half (LFO 1 at rate 0) fires in every frame.
    plugin->setParameter(LfoParameterIndex(0, LfoKind::Shape), 5.0f / 6.0f);
    plugin->setParameter(LfoParameterIndex(0, LfoKind::LfoFreq), 0.0f);
    plugin->setParameter(LfoParameterIndex(0, LfoKind::SyncOf), 0.75f);
    plugin->setParameter(LfoParameterIndex(2, LfoKind::SyncIx), 0.0f);
    Host().time.flags = vst2::kVstTransportPlaying;
    expectCycleStart("under hard sync");
    EXPECT_EQ(Ref(*plugin).SyncInput[2], 1.0f);
}

TEST_F(TPluginTest, FactoryVoiceOneReadsBetween380And560SamplesBack) {
    auto plugin = MakePlugin();
    for (int v = 1; v < kVoiceCount; ++v)
        plugin->setParameter(VoiceParameterIndex(v, VoiceKind::Pow), 0.0f);
    plugin->setParameter(VoiceParameterIndex(0, VoiceKind::Feeds), 0.5f);
    plugin->setParameter(VoiceParameterIndex(0, VoiceKind::ModAmpAmp), 0.0f);
    plugin->setParameter(GlobalParameterIndex(GlobalKind::Mix), 1.0f);

    // Impulses every 1024 frames across more than one 1.1 Hz cycle of the delay LFO.
    const int spacing = 1024;
    std::vector<float> in(46 * spacing, 0.0f), outL, outR;
    for (std::size_t j = 0; j < in.size(); j += spacing)
        in[j] = 1.0f;
    Render(*plugin, in, in, outL, outR, 256);

    int shortest = spacing, longest = 0;
    for (std::size_t start = 0; start + spacing <= outL.size(); start += spacing) {
        const auto window = outL.begin() + static_cast<std::ptrdiff_t>(start);
        const auto peak = std::max_element(window, window + spacing,
                                           [](float a, float b) { return std::fabs(a) < std::fabs(b); });
        const int lag = static_cast<int>(peak - window);
        shortest = std::min(shortest, lag);
        longest = std::max(longest, lag);
        EXPECT_TRUE(lag >= 380 && lag <= 560) << "impulse at " << start << " came back after " << lag;
    }
    EXPECT_LE(shortest, 382) << "LFO at 1 shortens the delay to about 380.4 samples";
    EXPECT_GE(longest, 557) << "LFO at 0 leaves the full 559.4 samples";
}

TEST_F(TPluginTest, DelayZeroReadsThisFrameAndDelayOneTheOldestSample) {
    float peaks[2] = {};
    for (int which = 0; which < 2; ++which) {
        auto plugin = MakePlugin();
        SilenceAllVoices(*plugin);
        plugin->setParameter(GlobalParameterIndex(GlobalKind::BufferSize), 0.0f); // 882 samples
        plugin->setParameter(VoiceParameterIndex(0, VoiceKind::Pow), 1.0f);
        plugin->setParameter(VoiceParameterIndex(0, VoiceKind::Delay), static_cast<float>(which));
        std::vector<float> in(2000, 0.0f), outL, outR;
        in[10] = 1.0f;
        Render(*plugin, in, in, outL, outR, 128);
        const std::size_t expected = which == 0 ? 10 : 10 + 881;
        for (std::size_t j = 0; j < outL.size(); ++j) {
            if (j != expected) {
                ASSERT_EQ(outL[j], 0.0f) << "delay " << which << ": unexpected sound at frame " << j;
            }
        }
        peaks[which] = outL[expected];
        EXPECT_EQ(outL[expected], outR[expected]) << "centred pan";
    }
    EXPECT_GT(peaks[0], 0.0f);
    EXPECT_EQ(peaks[0], peaks[1]) << "both reads land exactly on a written sample";
}

TEST_F(TPluginTest, VoiceCountScalesWetAndDryPaths) {
    auto plugin = MakePlugin();
    EXPECT_EQ(plugin->Core().BlockValues().Pow[0], 1);
    ProcessBlock(*plugin, 1);
    EXPECT_EQ(plugin->Core().ActiveScale, 0.6095689f) << "0.94^8 rounded at every step";
    EXPECT_EQ(plugin->Core().FeedbackScale, static_cast<float>(0.94)) << "only voice 8 has non-zero feedback";

    // Mix 0 with all eight voices on: the dry input alone, still scaled by the voice count.
    plugin->setParameter(GlobalParameterIndex(GlobalKind::Mix), 0.0f);
    std::vector<float> in = Noise(256, 7), outL, outR;
    Render(*plugin, in, in, outL, outR, 256);
    const float outGain = plugin->Core().BlockValues().OutGain;
    for (std::size_t j = 0; j < in.size(); ++j)
        ASSERT_EQ(outL[j], static_cast<float>(static_cast<double>(in[j]) * outGain * 0.6095689f)) << j;

    // All voices off: (1 - Mix) of the input, without the input gain.
    SilenceAllVoices(*plugin);
    plugin->setParameter(GlobalParameterIndex(GlobalKind::Mix), 0.25f);
    Render(*plugin, in, in, outL, outR, 64);
    for (std::size_t j = 0; j < in.size(); ++j)
        ASSERT_EQ(outR[j], static_cast<float>(0.75 * in[j] * outGain)) << j;
}

TEST_F(TPluginTest, ModulationLowersPanGainsAndAmplitude) {
    // Voice 1 at delay 0 and Pan 0.25, modulated by LFO 3, a square held at +1 (m = 1) or -1 (m = 0).
    auto render = [](float syncOf, float panAmount, float ampAmount, float quality) {
        auto plugin = MakePlugin();
        SilenceAllVoices(*plugin);
        plugin->setParameter(GlobalParameterIndex(GlobalKind::Quality), quality);
        plugin->setParameter(VoiceParameterIndex(0, VoiceKind::Pow), 1.0f);
        plugin->setParameter(VoiceParameterIndex(0, VoiceKind::Delay), 0.0f);
        plugin->setParameter(VoiceParameterIndex(0, VoiceKind::Pan), 0.25f);
        plugin->setParameter(VoiceParameterIndex(0, VoiceKind::ModPanIx), 2.0f / 7.0f);
        plugin->setParameter(VoiceParameterIndex(0, VoiceKind::ModPanAmp), panAmount);
        plugin->setParameter(VoiceParameterIndex(0, VoiceKind::ModAmpIx), 2.0f / 7.0f);
        plugin->setParameter(VoiceParameterIndex(0, VoiceKind::ModAmpAmp), ampAmount);
        plugin->setParameter(LfoParameterIndex(2, LfoKind::Shape), 5.0f / 6.0f);
        plugin->setParameter(LfoParameterIndex(2, LfoKind::LfoFreq), 0.0f);
        plugin->setParameter(LfoParameterIndex(2, LfoKind::SyncOf), syncOf);
        std::vector<float> in(64, 0.5f), outL, outR;
        Render(*plugin, in, in, outL, outR, 64);
        return std::pair{outL[63], outR[63]};
    };
    const auto [plainL, plainR] = render(0.75f, 0.0f, 0.0f, 0.0f);
    EXPECT_NEAR(plainL / plainR, 3.0f, 1e-5f) << "Pan 0.25 without modulation: gains 0.75 and 0.25";
    EXPECT_EQ(render(0.75f, 0.0f, 0.0f, 1.0f), std::pair(plainL, plainR)) << "Quality changes nothing";

    const auto [highL, highR] = render(0.75f, 1.0f, 0.0f, 0.0f);
    EXPECT_EQ(highL, 0.0f) << "m = 1 takes the whole amount off the left gain";
    EXPECT_EQ(highR, plainR);
    const auto [lowL, lowR] = render(0.25f, 1.0f, 0.0f, 0.0f);
    EXPECT_EQ(lowL, plainL);
    EXPECT_EQ(lowR, 0.0f) << "m = 0 takes the whole amount off the right gain";

    EXPECT_EQ(render(0.75f, 0.0f, 1.0f, 0.0f), std::pair(0.0f, 0.0f)) << "full amplitude modulation at m = 1";
    EXPECT_EQ(render(0.25f, 0.0f, 1.0f, 0.0f), std::pair(plainL, plainR)) << "m = 0 leaves the amplitude";
}

TEST_F(TPluginTest, HardSyncRestartsTheTargetTwoFramesAfterItsSourceWraps) {
    // Source LFO "Saw up" at 10 Hz, target "Saw down" at 0.3 Hz with offset 0.8 (output 0.8 at restart).
    auto run = [](int source, int target, int expectedDelay) {
        auto plugin = MakePlugin();
        plugin->setParameter(LfoParameterIndex(source, LfoKind::Shape), 4.0f / 6.0f);
        plugin->setParameter(LfoParameterIndex(source, LfoKind::LfoFreq), 1.0f);
        plugin->setParameter(LfoParameterIndex(target, LfoKind::Shape), 0.5f);
        plugin->setParameter(LfoParameterIndex(target, LfoKind::LfoFreq), 0.03f);
        plugin->setParameter(LfoParameterIndex(target, LfoKind::SyncIx), source / 7.0f);
        plugin->setParameter(LfoParameterIndex(target, LfoKind::SyncOf), 0.8f);
        ProcessBlock(*plugin, 0);
        ASSERT_EQ(plugin->Core().BlockValues().SyncIx[target], source);

        std::vector<float> sourceOut, targetOut;
        for (int j = 0; j < 10000; ++j) {
            ProcessBlock(*plugin, 1);
            sourceOut.push_back(Ref(*plugin).LfoOut[source]);
            targetOut.push_back(Ref(*plugin).LfoOut[target]);
        }
        int wraps = 0;
        for (std::size_t j = 1; j + 3 < sourceOut.size(); ++j) {
            if (sourceOut[j] != 1.0f)
                continue;
            ++wraps;
            const std::size_t restart = j + static_cast<std::size_t>(expectedDelay);
            EXPECT_NEAR(targetOut[restart], 0.8f, 1e-6f) << "source wrapped at frame " << j;
            EXPECT_GT(std::fabs(targetOut[restart - 1] - 0.8f), 1e-4f)
                << "restart came early after frame " << j;
        }
        EXPECT_EQ(wraps, 2) << "a 10 Hz saw wraps twice in 10000 frames";
    };
    run(0, 1, 2); // a lower-numbered source is seen in the same frame
    run(1, 0, 3); // a higher-numbered one a frame later
}

TEST_F(TPluginTest, OutputDoesNotDependOnTheBlockSize) {
    std::vector<float> inL = Noise(20000, 3), inR = Noise(20000, 4);
    std::vector<float> reference[2];
    for (int blockSize : {1, 37, 4096}) {
        auto plugin = MakePlugin();
        // Filters with a modulated cut-off, a smoothed LFO, pan modulation and a tempo-locked LFO.
        plugin->setParameter(VoiceParameterIndex(1, VoiceKind::FType), 0.3f);
        plugin->setParameter(VoiceParameterIndex(1, VoiceKind::ModFrqAmp), 0.7f);
        plugin->setParameter(VoiceParameterIndex(1, VoiceKind::Res), 0.8f);
        plugin->setParameter(VoiceParameterIndex(2, VoiceKind::FType), 1.0f);
        plugin->setParameter(VoiceParameterIndex(3, VoiceKind::ModPanAmp), 1.0f);
        plugin->setParameter(VoiceParameterIndex(3, VoiceKind::Feeds), 0.9f);
        plugin->setParameter(LfoParameterIndex(2, LfoKind::Smooth), 0.5f);
        plugin->setParameter(LfoParameterIndex(3, LfoKind::HostSync), 1.0f);
        plugin->setParameter(LfoParameterIndex(4, LfoKind::Shape), 0.8f);
        plugin->setParameter(LfoParameterIndex(5, LfoKind::SyncIx), 4.0f / 7.0f);
        std::vector<float> outL, outR;
        Render(*plugin, inL, inR, outL, outR, blockSize);
        if (reference[0].empty()) {
            reference[0] = outL;
            reference[1] = outR;
            continue;
        }
        EXPECT_EQ(std::memcmp(outL.data(), reference[0].data(), outL.size() * sizeof(float)), 0) << blockSize;
        EXPECT_EQ(std::memcmp(outR.data(), reference[1].data(), outR.size() * sizeof(float)), 0) << blockSize;
    }
}

TEST_F(TPluginTest, NonFiniteInputSamplesCountAsSilence) {
    std::vector<float> clean = Noise(4000, 5);
    std::vector<float> dirty = clean;
    const int bad[] = {100, 101, 2000, 3999};
    const float values[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN()};
    for (int i = 0; i < 4; ++i) {
        dirty[static_cast<std::size_t>(bad[i])] = values[i];
        clean[static_cast<std::size_t>(bad[i])] = 0.0f;
    }
    auto a = MakePlugin();
    auto b = MakePlugin();
    std::vector<float> aL, aR, bL, bR;
    Render(*a, dirty, dirty, aL, aR, 512);
    Render(*b, clean, clean, bL, bR, 512);
    EXPECT_EQ(std::memcmp(aL.data(), bL.data(), aL.size() * sizeof(float)), 0);
    EXPECT_EQ(std::memcmp(aR.data(), bR.data(), aR.size() * sizeof(float)), 0);
}

TEST_F(TPluginTest, StaysFiniteForAnyParametersAndSampleRate) {
    std::mt19937 random(11);
    std::uniform_real_distribution<float> uniform(0.0f, 1.0f);
    // Each value at one end of its range or anywhere in between.
    auto pick = [&] {
        const float u = uniform(random);
        return u < 0.2f ? 0.0f : u < 0.4f ? 1.0f : uniform(random);
    };
    const double rates[] = {8000, 22050, 44100, 96000, 192000, 384000, 0, 1.0e7};
    for (double rate : rates) {
        Host().Reset(rate, 200.0, vst2::kVstTransportPlaying);
        auto plugin = MakePlugin();
        std::vector<float> in = Noise(512, static_cast<unsigned>(rate)), outL, outR;
        for (int block = 0; block < 40; ++block) {
            for (int i = 0; i < kParameterCount; ++i)
                plugin->setParameter(i, pick());
            Host().timeAvailable = block % 7 != 3;
            in[static_cast<std::size_t>(block * 11)] = std::numeric_limits<float>::quiet_NaN();
            Render(*plugin, in, in, outL, outR, 512);
            for (std::size_t j = 0; j < outL.size(); ++j)
                ASSERT_TRUE(std::isfinite(outL[j]) && std::isfinite(outR[j]))
                    << "rate " << rate << " block " << block << " frame " << j;
        }
        // The sine limiter keeps every written sample within the feedback scale plus the input's share.
        const auto inLine = [&](float x) { return std::isfinite(x) && std::fabs(x) <= 1.0f + 1.4f * 1.0f; };
        EXPECT_TRUE(std::all_of(Ref(*plugin).DelayLineL.begin(), Ref(*plugin).DelayLineL.end(), inLine))
            << rate;
        EXPECT_TRUE(std::all_of(Ref(*plugin).DelayLineR.begin(), Ref(*plugin).DelayLineR.end(), inLine))
            << rate;
        for (int k = 0; k < kLfoCount; ++k)
            EXPECT_TRUE(Ref(*plugin).LfoOut[k] >= 0.0f && Ref(*plugin).LfoOut[k] <= 1.0f)
                << "rate " << rate << " LFO " << k;
    }
}

TEST_F(TPluginTest, EditorIdleExchangesLevelsAndServesRequests) {
    auto plugin = MakePlugin();
    // LFO 1 square held at +1, LFO 2 triangle held at 0 (unipolar 0.5): both at rate 0.
    plugin->setParameter(LfoParameterIndex(0, LfoKind::Shape), 5.0f / 6.0f);
    plugin->setParameter(LfoParameterIndex(0, LfoKind::LfoFreq), 0.0f);
    plugin->setParameter(LfoParameterIndex(0, LfoKind::SyncOf), 0.75f);
    plugin->setParameter(LfoParameterIndex(1, LfoKind::Shape), 2.0f / 6.0f);
    plugin->setParameter(LfoParameterIndex(1, LfoKind::LfoFreq), 0.0f);
    plugin->setParameter(LfoParameterIndex(1, LfoKind::SyncOf), 0.25f);
    Host().time.sampleRate = 48000.0;
    Host().time.tempo = 133.0;
    ProcessBlock(*plugin, 2000, 0.5f);

    testsupport::TestEditor editor(*plugin);
    editor.PanicRequest = true;
    editor.PresetLoadRequest = true;
    editor.PendingPreset = "Wide Ensemble";
    plugin->ExchangeWithEditor(editor);
    EXPECT_EQ(editor.LfoLevels[0], 255);
    EXPECT_EQ(editor.LfoLevels[1], 128) << "127.5 rounds to even";
    EXPECT_EQ(editor.SampleRate, 48000.0f);
    EXPECT_EQ(editor.Tempo, 133.0f);
    EXPECT_FALSE(editor.PanicRequest);
    EXPECT_FALSE(editor.PresetLoadRequest);
    EXPECT_EQ(editor.requested, "Wide Ensemble");

    // The clear is left to the audio thread's next blocks, at most kFillPerBlock samples per line each.
    const auto count = [&](float value) {
        return std::count(Ref(*plugin).DelayLineL.begin(), Ref(*plugin).DelayLineL.end(), value) +
               std::count(Ref(*plugin).DelayLineR.begin(), Ref(*plugin).DelayLineR.end(), value);
    };
    const auto zerosBefore = count(0.0f);
    EXPECT_LT(zerosBefore, 2 * kDelayCapacity);
    plugin->Core().RequestDelayFill(0.0001f); // a later request replaces the panic's
    plugin->Core().RequestDelayFill(0.0f);
    ProcessBlock(*plugin, 0);
    EXPECT_LE(count(0.0f), zerosBefore + 2 * EffectCore::kFillPerBlock);
    while (plugin->Core().DelayFillInProgress())
        ProcessBlock(*plugin, 0);
    EXPECT_EQ(count(0.0f), 2 * kDelayCapacity);

    plugin->Core().RequestDelayFill(0.0001f);
    while (count(0.0001f) == 0 || plugin->Core().DelayFillInProgress())
        ProcessBlock(*plugin, 0);
    EXPECT_EQ(Ref(*plugin).DelayLineR[kDelayCapacity - 1], 0.0001f);

    // A level just above a half is rounded from the exact product, not from the product made float first
    // (which would land on the half itself and round to even). LFO 3, switched off, holds what it shows.
    plugin->setParameter(LfoParameterIndex(2, LfoKind::Shape), 0.0f);
    Ref(*plugin).LfoOut[2] = 0x1.414142p-7f; // times 255: 2.5000000885
    ProcessBlock(*plugin, 0);
    plugin->ExchangeWithEditor(editor);
    EXPECT_EQ(editor.LfoLevels[2], 3);
}

// Reference renders: the factory program and two scrambled settings (no "Random" shape, whose draws
// depend on the clock), each 400 blocks of 512 frames of pseudo-random input at 48 kHz, hashed bit for
// bit (FNV-1a over the output samples). The 64-bit Windows build gives the same bits; a change here means
// the engine's arithmetic changed.
TEST_F(TPluginTest, RenderMatchesTheReferenceBits) {
    Host().Reset(48000.0, 128.0, vst2::kVstTransportPlaying);
    const struct {
        unsigned seed;
        std::uint64_t hash;
    } cases[] = {{0, 0x3f0780393b152123ull}, {1, 0xfa7cf1f9542e8ad1ull}, {4, 0x38c9f76726fb2ca6ull}};
    for (const auto& c : cases) {
        std::uint64_t hash = 1469598103934665603ull;
        auto plugin = MakePlugin();
        if (c.seed != 0) {
            std::uint32_t s = 12345u * c.seed;
            for (int i = 0; i < kParameterCount; ++i) {
                s = s * 1664525u + 1013904223u;
                float v = static_cast<float>(s >> 8) / 16777216.0f;
                if (i >= kFirstLfoIndex && (i - kFirstLfoIndex) % kLfoKindCount == 0 && v > 0.9f)
                    v = 0.5f;
                plugin->setParameter(i, v);
            }
        }
        std::vector<float> inL(512), inR(512), outL(512), outR(512);
        std::uint32_t s = 777;
        for (int block = 0; block < 400; ++block) {
            for (std::size_t j = 0; j < inL.size(); ++j) {
                s = s * 1664525u + 1013904223u;
                inL[j] = static_cast<float>(s >> 8) / 8388608.0f - 1.0f;
                inR[j] = inL[j] * 0.5f;
            }
            float* in[2] = {inL.data(), inR.data()};
            float* out[2] = {outL.data(), outR.data()};
            plugin->processReplacing(in, out, 512);
            for (std::size_t j = 0; j < outL.size(); ++j) {
                hash = (hash ^ std::bit_cast<std::uint32_t>(outL[j])) * 1099511628211ull;
                hash = (hash ^ std::bit_cast<std::uint32_t>(outR[j])) * 1099511628211ull;
            }
        }
        EXPECT_EQ(hash, c.hash) << "setting " << c.seed;
    }
}

} // namespace
} // namespace engine
