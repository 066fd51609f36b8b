#include "tools/vorelan/Arguments.h"

#include "tools/vorelan/ToolError.h"

#include <gtest/gtest.h>

namespace {

using vorelan::Arguments;

TEST(ArgumentsTest, OptionsFlagsAndPositionals) {
    const Arguments a({"in.wav", "--set", "Delay3=0.25", "--rate=48000", "out.wav", "--set=Pow1=0", "--play",
                       "--", "--odd-name.wav"},
                      {"--set", "--rate"}, {"--play"});
    EXPECT_EQ(a.positional(), (std::vector<std::string>{"in.wav", "out.wav", "--odd-name.wav"}));
    EXPECT_EQ(a.values("--set"), (std::vector<std::string>{"Delay3=0.25", "Pow1=0"}));
    EXPECT_EQ(a.value("--rate"), "48000");
    EXPECT_TRUE(a.flag("--play"));
    EXPECT_FALSE(a.help());
    EXPECT_TRUE(Arguments({"-h"}, {}, {}).help());

    EXPECT_THROW(Arguments({"--unknown"}, {}, {}), vorelan::UsageError);
    EXPECT_THROW(Arguments({"--rate"}, {"--rate"}, {}), vorelan::UsageError) << "a value is missing";
    EXPECT_THROW(Arguments({"--play=1"}, {}, {"--play"}), vorelan::UsageError) << "flags take no value";
}

TEST(ArgumentsTest, NumbersAreCheckedAndNamed) {
    EXPECT_EQ(vorelan::ParseNumber("0.25", "x", 0, 1), 0.25);
    EXPECT_EQ(vorelan::ParseInteger("512", "--block", 1, 65536), 512);
    for (const char* bad : {"", "abc", "0.5x", "nan", "inf", "1e999", "1.5", "-0.2"}) {
        try {
            vorelan::ParseNumber(bad, "Delay3", 0, 1);
            ADD_FAILURE() << "accepted \"" << bad << "\"";
        } catch (const vorelan::UsageError& error) {
            EXPECT_NE(std::string(error.what()).find("Delay3"), std::string::npos) << error.what();
            EXPECT_EQ(error.status(), vorelan::kExitUsage);
        }
    }
    EXPECT_THROW(vorelan::ParseInteger("12.5", "--block", 1, 100), vorelan::UsageError);
}

} // namespace
