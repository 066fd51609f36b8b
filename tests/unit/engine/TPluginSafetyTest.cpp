// The engine under hostile conditions: fills spread over blocks, cut-offs jumping at every frame at
// every sample rate, extreme host values, and state that is poisoned from outside.
#include "plugin/TPlugin.h"

#include "TPluginTestHost.h"
#include "engine/ParameterTable.h"
#include "host/RandomGenerator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace engine {
namespace {

using testing::Host;
using testing::MakePlugin;
using testing::Noise;
using testing::Ref;

// Renders frames [start, start + count) of the input in one block.
void RenderBlock(TPlugin& plugin, std::vector<float>& in, std::vector<float>& outL, std::vector<float>& outR,
                 int start, int count) {
    float* inputs[2] = {in.data() + start, in.data() + start};
    float* outputs[2] = {outL.data() + start, outR.data() + start};
    plugin.processReplacing(inputs, outputs, count);
}

bool AllFinite(const std::vector<float>& samples) {
    for (float s : samples)
        if (!std::isfinite(s))
            return false;
    return true;
}

class TPluginSafetyTest : public ::testing::Test {
protected:
    void SetUp() override { Host().Reset(); }
};

// A fill request is written into the lines over many blocks, yet every voice hears exactly what a fill
// of both lines at the request would give, also when BufferSize grows (exposing old material) and
// shrinks while the fill is under way.
TEST_F(TPluginSafetyTest, SpreadFillSoundsExactlyLikeAnInstantFill) {
    std::vector<float> in = Noise(120000, 21);
    for (int blockSize : {1, 37, 512}) {
        for (float value : {0.0f, 0.0001f}) {
            std::vector<float> out[2][2];
            for (int instant = 0; instant < 2; ++instant) {
                auto plugin = MakePlugin();
                plugin->setParameter(GlobalParameterIndex(GlobalKind::BufferSize), 0.5f);
                plugin->setParameter(VoiceParameterIndex(1, VoiceKind::Delay), 1.0f);
                plugin->setParameter(VoiceParameterIndex(2, VoiceKind::FType), 0.3f);
                plugin->setParameter(VoiceParameterIndex(2, VoiceKind::ModFrqAmp), 0.6f);
                plugin->setParameter(VoiceParameterIndex(3, VoiceKind::Feeds), 0.95f);
                plugin->setParameter(VoiceParameterIndex(4, VoiceKind::Delay), 0.0f);
                std::vector<float>& outL = out[instant][0];
                std::vector<float>& outR = out[instant][1];
                outL.assign(in.size(), 0.0f);
                outR.assign(in.size(), 0.0f);
                const int frames = blockSize == 512 ? 120000 : 12000;
                const int request = frames / 4 / blockSize * blockSize;
                for (int start = 0, block = 0; start < frames; start += blockSize, ++block) {
                    if (start == request) {
                        if (instant == 1) {
                            Ref(*plugin).DelayLineL.fill(value);
                            Ref(*plugin).DelayLineR.fill(value);
                        } else {
                            plugin->Core().RequestDelayFill(value);
                        }
                    }
                    const int after = (start - request) / blockSize;
                    const float sizes[] = {0.5f, 1.0f, 0.1f, 0.7f};
                    if (start >= request && after % 5 == 2 && after < 20)
                        plugin->setParameter(GlobalParameterIndex(GlobalKind::BufferSize), sizes[after / 5]);
                    RenderBlock(*plugin, in, outL, outR, start, std::min(blockSize, frames - start));
                    if (instant == 0 && start == request) {
                        EXPECT_TRUE(plugin->Core().DelayFillInProgress());
                    }
                }
                EXPECT_FALSE(plugin->Core().DelayFillInProgress()) << "block size " << blockSize;
            }
            for (int c = 0; c < 2; ++c)
                EXPECT_EQ(std::memcmp(out[0][c].data(), out[1][c].data(), in.size() * sizeof(float)), 0)
                    << "block size " << blockSize << ", fill " << value << ", channel " << c;
        }
    }
}

// A "Random" LFO parked at the cycle start, or tempo-locked at the top rate, draws a new cut-off at
// every frame. At the highest resonance and every sample rate from 8 kHz up, each filter stays at the
// level of a fixed cut-off, far from its state limit.
TEST_F(TPluginSafetyTest, CutOffsJumpingAtEveryFrameStayBounded) {
    for (double rate : {8000.0, 11025.0, 16000.0, 22050.0, 44100.0, 384000.0}) {
        Host().Reset(rate, 120.0, vst2::kVstTransportPlaying);
        auto plugin = MakePlugin();
        host::RandomGenerator::Seed(static_cast<std::uint32_t>(rate));
        for (int l = 0; l < 2; ++l) {
            plugin->setParameter(LfoParameterIndex(l, LfoKind::Shape), 1.0f);
            plugin->setParameter(LfoParameterIndex(l, LfoKind::LfoFreq), l == 0 ? 0.0f : 1.0f);
            plugin->setParameter(LfoParameterIndex(l, LfoKind::HostSync), static_cast<float>(l));
            plugin->setParameter(LfoParameterIndex(l, LfoKind::SyncOf), 0.0f);
        }
        for (int v = 0; v < kVoiceCount; ++v) {
            plugin->setParameter(VoiceParameterIndex(v, VoiceKind::FType), (1 + v % 3) / 3.0f);
            plugin->setParameter(VoiceParameterIndex(v, VoiceKind::Freq), 1.0f - 0.05f * (v / 3));
            plugin->setParameter(VoiceParameterIndex(v, VoiceKind::ModFrqIx), (v % 2) / 7.0f);
            plugin->setParameter(VoiceParameterIndex(v, VoiceKind::ModFrqAmp), v < 4 ? 1.0f : 0.3f);
            plugin->setParameter(VoiceParameterIndex(v, VoiceKind::Res), 1.0f);
        }
        const int frames = static_cast<int>(rate);
        std::vector<float> in = Noise(frames, 5), outL(in.size()), outR(in.size());
        float worst = 0.0f;
        for (int start = 0; start < frames; start += 1024) {
            RenderBlock(*plugin, in, outL, outR, start, std::min(1024, frames - start));
            for (const auto* filters : {&Ref(*plugin).FiltersL, &Ref(*plugin).FiltersR})
                for (const TSVC3& f : *filters)
                    worst = std::max(worst,
                                     std::max(std::fabs(f.lowState), std::fabs(f.bandState)) / f.stateLimit);
        }
        EXPECT_TRUE(AllFinite(outL) && AllFinite(outR)) << rate;
        EXPECT_LT(worst, 0.5f) << "largest state against its limit at " << rate << " Hz";
    }
}

// A tempo of 1e9 or a sample rate of 1 Hz in a playing block, then a transport change at normal
// values: every LFO restarts within its range and the sound stays within its usual level.
TEST_F(TPluginSafetyTest, ExtremeHostValuesBeforeARestartLeaveTheLfosInRange) {
    for (int hostile = 0; hostile < 2; ++hostile) {
        Host().Reset(44100.0, 120.0, vst2::kVstTransportPlaying);
        auto plugin = MakePlugin();
        for (int l = 0; l < kLfoCount; ++l) {
            plugin->setParameter(LfoParameterIndex(l, LfoKind::HostSync), 1.0f);
            plugin->setParameter(LfoParameterIndex(l, LfoKind::LfoFreq), 0.9f + 0.01f * l);
            plugin->setParameter(LfoParameterIndex(l, LfoKind::SyncOf), 0.0f);
        }
        std::vector<float> in = Noise(8192, 9), outL(in.size()), outR(in.size());
        RenderBlock(*plugin, in, outL, outR, 0, 4096);
        if (hostile == 0)
            Host().time.tempo = 1e9;
        else
            Host().time.sampleRate = 1.0;
        RenderBlock(*plugin, in, outL, outR, 0, 512);
        Host().Reset(44100.0, 120.0, 0);
        for (int start = 0; start < 8192; start += 64) {
            RenderBlock(*plugin, in, outL, outR, start, 64);
            for (int l = 0; l < kLfoCount; ++l)
                ASSERT_TRUE(Ref(*plugin).Lfos[l].phase >= -0.5f && Ref(*plugin).Lfos[l].phase <= 0.5f)
                    << "LFO " << l << " at frame " << start << (hostile == 0 ? ", tempo" : ", rate");
        }
        for (float s : outL)
            ASSERT_LT(std::fabs(s), 20.0f) << (hostile == 0 ? "tempo" : "rate");
    }
}

// State poisoned from outside (a filter, a feedback tap, an LFO, a sample in a line) never reaches the
// output, and the block after the one that meets it plays normally again.
TEST_F(TPluginSafetyTest, PoisonedStateIsClearedWithinABlock) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (int poison = 0; poison < 4; ++poison) {
        auto plugin = MakePlugin();
        plugin->setParameter(VoiceParameterIndex(2, VoiceKind::FType), 0.6f);
        plugin->setParameter(VoiceParameterIndex(5, VoiceKind::Feeds), 0.8f);
        plugin->setParameter(LfoParameterIndex(0, LfoKind::Smooth), 0.5f);
        std::vector<float> in = Noise(2048, 3), outL(in.size()), outR(in.size());
        RenderBlock(*plugin, in, outL, outR, 0, 1024);
        switch (poison) {
        case 0:
            Ref(*plugin).FiltersR[2].bandState = nan;
            break;
        case 1:
            Ref(*plugin).FeedbackTapL[5] = inf;
            break;
        case 2: // the smoother of LFO 1, which modulates voice 1's delay and every voice's amplitude
            Ref(*plugin).LfoSmoothers[0].previousOutput = nan;
            break;
        default: // a sample voice 1 reads (delay 0.08 of 6994 samples) within the next block
            Ref(*plugin).DelayLineL[static_cast<std::size_t>(Ref(*plugin).WritePos - 300)] = nan;
            break;
        }
        RenderBlock(*plugin, in, outL, outR, 1024, 512);
        EXPECT_TRUE(AllFinite(outL) && AllFinite(outR)) << "poison " << poison;
        EXPECT_TRUE(plugin->Core().DelayFillInProgress()) << "the lines are cleared, poison " << poison;
        RenderBlock(*plugin, in, outL, outR, 1536, 512);
        double energy = 0.0;
        for (int j = 1536; j < 2048; ++j) {
            ASSERT_TRUE(std::isfinite(outL[j]) && std::isfinite(outR[j])) << "poison " << poison;
            energy += outL[j] * outL[j];
        }
        EXPECT_GT(energy, 1.0) << "the next block plays, poison " << poison;
    }
}

} // namespace
} // namespace engine
