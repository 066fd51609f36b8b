#include "engine/ParameterTable.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace engine {
namespace {

float Convert(EngineSnapshot& e, int index, float x) {
    ConvertParameter(e, index, x);
    return x;
}

TEST(ParameterTableTest, NamesAreUniqueAndNumberedPerVoiceAndLfo) {
    std::set<std::string> names;
    for (const ParameterInfo& p : kParameters)
        EXPECT_TRUE(names.insert(std::string(p.name())).second) << "duplicate name " << p.name();
    EXPECT_EQ(kParameters[VoiceParameterIndex(0, VoiceKind::ModDelAmp)].name(), "ModDelAmp1");
    EXPECT_EQ(kParameters[VoiceParameterIndex(7, VoiceKind::Freq)].name(), "Freq8");
    EXPECT_EQ(kParameters[LfoParameterIndex(4, LfoKind::HostSync)].name(), "HostSync5");
    EXPECT_EQ(kParameters[3].name(), "InpGain");
}

TEST(ParameterTableTest, FactoryProgramConvertsToTheChorusSetting) {
    EngineSnapshot e;
    for (int i = 0; i < kParameterCount; ++i)
        ConvertParameter(e, i, kParameters[i].factory);

    EXPECT_EQ(BufferLengthFor(e.BufferSize, 44100.0f), 6994) << "BufferSize 0.07 at 44.1 kHz";
    EXPECT_FLOAT_EQ(e.OutGain, 0.792f);
    EXPECT_FLOAT_EQ(e.InpGain, 1.4f);
    for (int v = 0; v < kVoiceCount; ++v) {
        EXPECT_EQ(e.Pow[v], 1) << "voice " << v;
        EXPECT_EQ(e.ModDelIx[v], v) << "voice n is delay-modulated by LFO n";
        EXPECT_EQ(e.FType[v], 0) << "no filter";
        EXPECT_EQ(e.Feeds[v], v == 7 ? static_cast<float>((2.0 * 0.51f - 1.0) * 0.99) : 0.0f);
    }
    EXPECT_EQ(e.ModPanIx[6], 6) << "voice 7 is panned by LFO 7";
    EXPECT_FLOAT_EQ(e.Freq[7], 15.0f);
    EXPECT_FLOAT_EQ(e.Freq[0], 130.0f);
    for (int l = 0; l < kLfoCount; ++l) {
        EXPECT_EQ(e.Shape[l], 1) << "parabolic";
        EXPECT_EQ(e.HostSync[l], 0);
        EXPECT_EQ(e.LfoFreq[l], static_cast<float>(10.0 * 0.11f)) << "1.1 Hz";
        EXPECT_EQ(e.SyncIx[l], l) << "each LFO is its own sync source";
        EXPECT_EQ(e.SmoothFreq[l], 0.0f);
    }
    EXPECT_FLOAT_EQ(e.SyncOf[0], -0.25f);
    EXPECT_FLOAT_EQ(e.SyncOf[7], 0.41f);
}

TEST(ParameterTableTest, RoundedKindsFollowTheirRoundingRule) {
    EngineSnapshot e;
    // 7 x = 0.5 exactly: ties to even give LFO 0, the pan source rounds the half up to LFO 1.
    const float half = 0.5f / 7.0f;
    ASSERT_EQ(7.0f * half, 0.5f);
    for (int v : {0, 5}) {
        Convert(e, VoiceParameterIndex(v, VoiceKind::ModDelIx), half);
        Convert(e, VoiceParameterIndex(v, VoiceKind::ModFrqIx), half);
        Convert(e, VoiceParameterIndex(v, VoiceKind::ModAmpIx), half);
        Convert(e, VoiceParameterIndex(v, VoiceKind::ModPanIx), half);
        EXPECT_EQ(e.ModDelIx[v], 0);
        EXPECT_EQ(e.ModFrqIx[v], 0);
        EXPECT_EQ(e.ModAmpIx[v], 0);
        EXPECT_EQ(e.ModPanIx[v], 1);
    }
    Convert(e, LfoParameterIndex(2, LfoKind::SyncIx), half);
    EXPECT_EQ(e.SyncIx[2], 0);

    Convert(e, VoiceParameterIndex(1, VoiceKind::ModDelIx), 0.07f);
    EXPECT_EQ(e.ModDelIx[1], 0) << "7 * 0.07 = 0.49";
    Convert(e, VoiceParameterIndex(1, VoiceKind::ModDelIx), 1.0f);
    EXPECT_EQ(e.ModDelIx[1], 7);

    const std::pair<float, int> ftypes[] = {{0.0f, 0}, {0.16f, 0}, {0.17f, 3},
                                            {0.5f, 6}, {0.83f, 6}, {1.0f, 9}};
    for (auto [x, code] : ftypes) {
        Convert(e, VoiceParameterIndex(3, VoiceKind::FType), x);
        EXPECT_EQ(e.FType[3], code) << "FType " << x;
    }
    Convert(e, VoiceParameterIndex(3, VoiceKind::Pow), 0.5f);
    EXPECT_EQ(e.Pow[3], 0) << "0.5 rounds to even";
    Convert(e, VoiceParameterIndex(3, VoiceKind::Pow), 0.51f);
    EXPECT_EQ(e.Pow[3], 1);
    Convert(e, LfoParameterIndex(0, LfoKind::Shape), 1.0f);
    EXPECT_EQ(e.Shape[0], 6) << "random";
    Convert(e, LfoParameterIndex(0, LfoKind::Shape), 0.25f);
    EXPECT_EQ(e.Shape[0], 2) << "6 * 0.25 = 1.5 rounds to even";
    Convert(e, LfoParameterIndex(0, LfoKind::HostSync), 0.7f);
    EXPECT_EQ(e.HostSync[0], 1);
    Convert(e, 4, 0.6f);
    EXPECT_EQ(e.Quality, 1);
}

TEST(ParameterTableTest, ContinuousKindsMapOntoTheirRanges) {
    EngineSnapshot e;
    Convert(e, VoiceParameterIndex(0, VoiceKind::Feeds), 0.5f);
    EXPECT_EQ(e.Feeds[0], 0.0f) << "the middle is exactly no feedback";
    Convert(e, VoiceParameterIndex(0, VoiceKind::Feeds), 0.0f);
    EXPECT_EQ(e.Feeds[0], -0.99f);
    Convert(e, VoiceParameterIndex(0, VoiceKind::Feeds), 1.0f);
    EXPECT_EQ(e.Feeds[0], 0.99f);
    Convert(e, VoiceParameterIndex(0, VoiceKind::Res), 1.0f);
    EXPECT_EQ(e.Res[0], 0.97f);
    Convert(e, VoiceParameterIndex(0, VoiceKind::Freq), 0.5f);
    EXPECT_EQ(e.Freq[0], 72.5f);
    Convert(e, 2, 1.0f);
    EXPECT_EQ(e.OutGain, 1.2f);
    Convert(e, 1, 0.3f);
    EXPECT_EQ(e.Mix, 0.3f);

    for (auto [x, hz] : {std::pair{0.0f, 0.0f}, {1.0f, 0.0f}, {0.5f, 5.0f}, {0.25f, 7.5f}}) {
        Convert(e, LfoParameterIndex(5, LfoKind::Smooth), x);
        EXPECT_EQ(e.SmoothFreq[5], hz) << "Smooth " << x;
    }
    Convert(e, LfoParameterIndex(5, LfoKind::SyncOf), 0.0f);
    EXPECT_EQ(e.SyncOf[5], -0.5f);
    Convert(e, LfoParameterIndex(5, LfoKind::LfoFreq), 1.0f);
    EXPECT_EQ(e.LfoFreq[5], 10.0f);
}

TEST(ParameterTableTest, BufferLengthFollowsTheSampleRateWithinTheLine) {
    EngineSnapshot e;
    Convert(e, GlobalParameterIndex(GlobalKind::BufferSize), 0.25f);
    EXPECT_EQ(e.BufferSize, 0.25f) << "stored as it is; the audio thread adds the sample rate";
    const std::pair<float, int> at44k[] = {{0.0f, 882}, {0.07f, 6994}, {1.0f, 88200}};
    for (auto [x, samples] : at44k)
        EXPECT_EQ(BufferLengthFor(x, 44100.0f), samples) << "BufferSize " << x << " at 44.1 kHz";
    EXPECT_EQ(BufferLengthFor(1.0f, 348000.0f), kDelayCapacity - 1) << "2 s at 348 kHz still fits";
    EXPECT_EQ(BufferLengthFor(1.0f, 384000.0f), kDelayCapacity) << "held at the line's capacity";
    EXPECT_EQ(BufferLengthFor(0.5f, 0.0f), kMinBufferLength) << "never shorter than a four-point read";
}

TEST(ParameterTableTest, OutOfRangeIndexOrValueChangesNothingUnsafe) {
    EngineSnapshot e;
    ConvertParameter(e, -1, 1.0f);
    ConvertParameter(e, kParameterCount, 1.0f);
    EXPECT_EQ(e.BufferSize, 0.0f);
    EXPECT_EQ(e.Mix, 0.0f);
    ConvertParameter(e, VoiceParameterIndex(0, VoiceKind::ModAmpIx), 5.0f);
    EXPECT_EQ(e.ModAmpIx[0], 7) << "a direct caller cannot select a ninth LFO";
}

} // namespace
} // namespace engine
