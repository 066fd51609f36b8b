#include "tools/vorelan/ParameterText.h"

#include "tools/vorelan/CodePage.h"
#include "tools/vorelan/ToolError.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

using vorelan::ReadableValue;

std::string reading(int index, float value, vorelan::ParameterSet values = vorelan::FactoryValues()) {
    values[index] = value;
    return ReadableValue(values, index);
}

TEST(ParameterTextTest, ReadingsFollowTheEnginesConversions) {
    const vorelan::ParameterSet factory = vorelan::FactoryValues();
    EXPECT_EQ(ReadableValue(factory, 0), "158.59 ms") << "6994 samples at 44.1 kHz";
    EXPECT_EQ(reading(0, 0), "20 ms");
    EXPECT_EQ(ReadableValue(factory, 6), "12.69 ms") << "Delay1 0.08 of 6993 samples";
    EXPECT_EQ(reading(13, 1), "14914 Hz");
    EXPECT_EQ(reading(13, 0), "19.4 Hz");
    EXPECT_EQ(reading(17, 0.5f), "-6.02 dB") << "Amp is a linear gain";
    EXPECT_EQ(reading(17, 0), "silent");
    EXPECT_EQ(reading(20, 0), "-99 %");
    EXPECT_EQ(reading(9, 0.5f), "center");
    EXPECT_EQ(reading(9, 0.21f), "58 % left");
    // The index kinds round as the engine does: halves to even, the pan source halves upward.
    EXPECT_EQ(reading(7, 0.5f), "Lfo5") << "7 x 0.5 = 3.5 rounds to 4";
    EXPECT_EQ(reading(7, 1.5f / 7), "Lfo3") << "1.5 rounds to 2";
    EXPECT_EQ(reading(10, 1.5f / 7), "Lfo3");
    EXPECT_EQ(reading(10, 2.5f / 7), "Lfo4") << "the pan source: 2.5 rounds up to 3";
    EXPECT_EQ(reading(12, 0.5f), "band-pass") << "3 x 0.5 = 1.5 rounds to 2";
    EXPECT_EQ(reading(12, 0.16f), "none");
    EXPECT_EQ(reading(133, 1), "Random");
    EXPECT_EQ(reading(136, 3.0f / 7), "Lfo4");
    EXPECT_EQ(reading(136, 0), "none") << "LFO 1 synced to itself";
    EXPECT_EQ(reading(137, 0.25f), "-90 deg");
    EXPECT_EQ(reading(138, 0.5f), "5 Hz");
    EXPECT_EQ(reading(138, 1), "off");
    vorelan::ParameterSet synced = factory;
    synced[134] = 1;
    EXPECT_EQ(reading(135, 0.92f, synced), "1 beats");
    EXPECT_EQ(reading(135, 0.64f, synced), "4.5 beats");
    EXPECT_EQ(reading(135, 0.64f), "6.4 Hz");
}

TEST(ParameterTextTest, TheParameterReferenceInDocsIsCurrent) {
    std::ifstream file(std::string(VORELAN_SOURCE_DIR) + "/docs/parameters.md");
    std::ostringstream text;
    text << file.rdbuf();
    EXPECT_EQ(text.str(), vorelan::ParameterReference())
        << "docs/parameters.md is out of date: run make docs";
}

TEST(ParameterTextTest, NamesConvertBetweenUtf8AndTheEditorsCodePage) {
    const std::string name = vorelan::NameToCodePage("Œuvre – “Ça” ÿ", 28, "the name");
    EXPECT_EQ(name, "\x8Cuvre \x96 \x93\xC7"
                    "a\x94 \xFF");
    EXPECT_EQ(vorelan::CodePageToUtf8(name), "Œuvre – “Ça” ÿ");
    EXPECT_EQ(vorelan::CodePageToUtf8("\x81"), "\xC2\x81") << "an undefined code reads as its C1 control";
    EXPECT_EQ(vorelan::NameToCodePage("ééééé", 3, "the name"), "\xE9\xE9\xE9") << "cut between characters";
    EXPECT_EQ(vorelan::NameToCodePage("abc\xFF", 3, "the name"), "abc") << "only the kept part is checked";
    for (const char* bad : {"\xC3", "\xE2\x82", "\xC0\xAF", "\xED\xA0\x80", "a\nb", "\xF0\x9F\x8E\xB8"})
        EXPECT_THROW(vorelan::NameToCodePage(bad, 28, "the name"), vorelan::UsageError) << bad;
}

} // namespace
