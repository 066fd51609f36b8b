// The 181 parameters as a host sees them: names, labels, displays, factory values, clamping.

#include "tests/host/HostTestSupport.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

using namespace vst2;

namespace {

struct Expected {
    std::string name;
    float factory;
};

// The parameter table written out from the product's documentation, independently of the code.
std::vector<Expected> expectedTable() {
    std::vector<Expected> table = {
        {"BufferSize", 0.07f}, {"Mix", 0.8f}, {"OutGain", 0.66f}, {"InpGain", 1.0f}, {"Quality", 0.0f}};
    const char* voiceKinds[16] = {"Pow",       "Delay",    "ModDelIx",  "ModDelAmp", "Pan",       "ModPanIx",
                                  "ModPanAmp", "FType",    "Freq",      "ModFrqIx",  "ModFrqAmp", "Res",
                                  "Amp",       "ModAmpIx", "ModAmpAmp", "Feeds"};
    const float voiceValues[16][8] = {
        {1, 1, 1, 1, 1, 1, 1, 1},
        {0.08f, 0.22f, 0.04f, 0.32f, 0.5f, 0.04f, 0.24f, 0.23f},
        {0.07f, 0.18f, 0.33f, 0.44f, 0.61f, 0.75f, 0.89f, 1},
        {0.32f, 0.83f, 0.83f, 0.46f, 0.47f, 0.83f, 0.83f, 0.19f},
        {0, 0.21f, 0.35f, 0.45f, 0.53f, 0.64f, 0.79f, 1},
        {0, 0, 0, 0, 0, 0, 0.86f, 0},
        {0, 0, 0, 0, 0, 0, 0, 0},
        {0, 0, 0, 0, 0, 0, 0, 0},
        {1, 1, 1, 1, 1, 1, 1, 0},
        {0, 0, 0, 0, 0, 0, 0, 0},
        {0, 0, 0, 0, 0, 0, 0, 0},
        {0, 0, 0, 0, 0, 0, 0, 0},
        {1, 1, 1, 1, 1, 1, 1, 1},
        {0, 0, 0, 0, 0, 0, 0, 0},
        {1, 0, 0, 0, 0, 0, 0, 0},
        {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.51f},
    };
    for (int v = 0; v < 8; ++v)
        for (int k = 0; k < 16; ++k)
            table.push_back({voiceKinds[k] + std::to_string(v + 1), voiceValues[k][v]});
    const char* lfoKinds[6] = {"Shape", "HostSync", "LfoFreq", "SyncIx", "SyncOf", "Smooth"};
    const float syncOf[8] = {0.25f, 0.15f, 0.3f, 0.53f, 0.62f, 0.76f, 0.82f, 0.91f};
    for (int l = 0; l < 8; ++l) {
        const float values[6] = {0.18f, 0.0f, 0.11f, static_cast<float>(l / 7.0), syncOf[l], 0.0f};
        for (int k = 0; k < 6; ++k)
            table.push_back({lfoKinds[k] + std::to_string(l + 1), values[k]});
    }
    return table;
}

} // namespace

TEST(ParameterTable, NamesLabelsAndFactoryValues) {
    auto started = hosttest::Start();
    ASSERT_TRUE(started.plugin != nullptr);
    testhost::PluginInstance& p = *started.plugin;
    const std::vector<Expected> table = expectedTable();
    ASSERT_EQ(table.size(), 181u);
    for (int i = 0; i < 181; ++i) {
        const auto name = p.GetText(effGetParamName, i);
        EXPECT_EQ(name.text, table[i].name) << "name of " << i;
        EXPECT_LE(name.writtenBytes, 31u) << "name of " << i << " overruns 31 bytes";
        const auto label = p.GetText(effGetParamLabel, i);
        EXPECT_EQ(label.text, "") << "label of " << i;
        EXPECT_EQ(p.GetParameter(i), table[i].factory) << "factory value of " << table[i].name;
        char display[64];
        std::snprintf(display, sizeof display, "%.2f", static_cast<double>(table[i].factory));
        const auto shown = p.GetText(effGetParamDisplay, i);
        EXPECT_EQ(shown.text, display) << "display of " << table[i].name;
        EXPECT_LE(shown.writtenBytes, 31u);
        EXPECT_EQ(p.Dispatch(effCanBeAutomated, i), 1);
    }
}

TEST(ParameterTable, OutOfRangeIndexesAnswerUndefined) {
    auto started = hosttest::Start();
    ASSERT_TRUE(started.plugin != nullptr);
    testhost::PluginInstance& p = *started.plugin;
    for (VstInt32 index : {INT_MIN, -1, 181, 1000, INT_MAX}) {
        for (VstInt32 opcode : {effGetParamName, effGetParamLabel, effGetParamDisplay}) {
            const auto text = p.GetText(opcode, index);
            EXPECT_EQ(text.text, "undefined") << "opcode " << opcode << " index " << index;
            EXPECT_EQ(text.writtenBytes, 10u);
        }
        EXPECT_EQ(p.GetParameter(index), 0.0f) << "index " << index;
        p.SetParameter(index, 0.5f); // ignored
    }
    for (int i = 0; i < 181; ++i)
        EXPECT_EQ(p.GetParameter(i), expectedTable()[i].factory) << "an ignored index changed " << i;
}

TEST(ParameterTable, ValuesAreClampedAndDisplayedWithTwoDecimals) {
    auto started = hosttest::Start();
    ASSERT_TRUE(started.plugin != nullptr);
    testhost::PluginInstance& p = *started.plugin;
    const struct {
        float set;
        float stored;
        const char* display;
    } cases[] = {
        {1.5f, 1.0f, "1.00"},
        {-0.2f, 0.0f, "0.00"},
        {std::numeric_limits<float>::quiet_NaN(), 0.0f, "0.00"},
        {std::numeric_limits<float>::infinity(), 1.0f, "1.00"},
        {-std::numeric_limits<float>::infinity(), 0.0f, "0.00"},
        {0.5f, 0.5f, "0.50"},
        {0.25f, 0.25f, "0.25"},
        {0.125f, 0.125f, "0.13"}, // an exact half rounds away from zero
        {0.375f, 0.375f, "0.38"},
        {0.994f, 0.994f, "0.99"},
        {0.996f, 0.996f, "1.00"},
        {1.0e-30f, 1.0e-30f, "0.00"},
    };
    for (const auto& c : cases) {
        p.SetParameter(2, c.set);
        EXPECT_EQ(p.GetParameter(2), c.stored) << "set " << c.set;
        EXPECT_EQ(p.ParameterDisplay(2), c.display) << "set " << c.set;
    }
}
