#include "editor/Readouts.h"

#include <gtest/gtest.h>

using namespace editor;

TEST(ReadoutsTest, ChannelReadoutsAtTheEndsAndMiddle) {
    EXPECT_EQ(PanReadout(50), "Center ") << "the centre has a trailing space";
    EXPECT_EQ(PanReadout(49), "-1");
    EXPECT_EQ(PanReadout(51), "1") << "no plus sign";
    EXPECT_EQ(PanReadout(0), "-50");
    EXPECT_EQ(FeedsReadout(0), "-100");
    EXPECT_EQ(FeedsReadout(50), "0");
    EXPECT_EQ(FeedsReadout(100), "100");
    EXPECT_EQ(AmpReadout(0), "-60.00 db");
    EXPECT_EQ(AmpReadout(50), "-30.00 db");
    EXPECT_EQ(AmpReadout(100), "0.00 db") << "the top of the range reads without a minus sign";
    EXPECT_EQ(FreqReadout(0), "19 Hz");
    EXPECT_EQ(FreqReadout(100), "14914 Hz");
}

TEST(ReadoutsTest, SelectorsRoundToTheNearestEntry) {
    EXPECT_EQ(ShapeNames[static_cast<std::size_t>(ShapeIndex(8))], "Off");
    EXPECT_EQ(ShapeNames[static_cast<std::size_t>(ShapeIndex(9))], "Parabolic");
    EXPECT_EQ(ShapeNames[static_cast<std::size_t>(ShapeIndex(100))], "Random");
    EXPECT_EQ(SourceNames[static_cast<std::size_t>(SourceIndex(7))], "Lfo1");
    EXPECT_EQ(SourceNames[static_cast<std::size_t>(SourceIndex(8))], "Lfo2");
    EXPECT_EQ(SourceNames[static_cast<std::size_t>(SourceIndex(100))], "Lfo8");
}

TEST(ReadoutsTest, LfoReadouts) {
    EXPECT_EQ(LfoFreqReadout(64, false), "6.40 Hz");
    EXPECT_EQ(LfoFreqReadout(64, true), "4.50 beats");
    EXPECT_EQ(SmoothReadout(0), "Off ");
    EXPECT_EQ(SmoothReadout(30), "30 ");
}

TEST(ReadoutsTest, DelayShowsWhatIsKnownWithoutDividingByZero) {
    // BufferSize 0.5 at position 40: 0.5 x 40 x 20 ms = 400 ms; at 120 bpm a beat is 500 ms.
    EXPECT_EQ(DelayReadout(0.5f, 40, 44100.0f, 120.0f), "400.00 ms  0.80 beats");
    EXPECT_EQ(DelayReadout(0.5f, 40, 0.0f, 120.0f), "400.00 ms  0.80 beats")
        << "the delay does not depend on the sample rate";
    EXPECT_EQ(DelayReadout(0.5f, 40, 44100.0f, 0.0f), "400.00 ms") << "no tempo: no beats";
    EXPECT_EQ(DelayReadout(0.5f, 40, 0.0f, 0.0f), "400.00 ms");
    EXPECT_EQ(DelayReadout(1.0f, 100, 96000.0f, 60.0f), "2000.00 ms  2.00 beats");
}

TEST(ReadoutsTest, DecimalsAreRoundedFromTheComputedValueItself) {
    // BufferSize 0.01 is stored as 0.0099999998: 50 x 20 ms of it at 210 bpm are 0.0349999992 beats,
    // which reads 0.03, though the nearest single-precision number is above 0.035.
    EXPECT_EQ(DelayReadout(0.01f, 50, 44100.0f, 210.0f), "10.00 ms  0.03 beats");
    // Exact halves go away from zero.
    EXPECT_EQ(LfoFreqReadout(99, true), "0.13 beats");
    EXPECT_EQ(LfoFreqReadout(97, true), "0.38 beats");
    EXPECT_EQ(FormatFixed(-0.125), "-0.13");
    EXPECT_EQ(FormatFixed(-0.001), "0.00") << "no minus sign before zero";
    EXPECT_EQ(FormatFixed(9.996), "10.00");
    EXPECT_EQ(FormatFixed(1999.995), "1999.99") << "the double is just below the half";
    EXPECT_EQ(FormatFixed(0.0), "0.00");
}
