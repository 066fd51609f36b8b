// vorelan's presets by name, their names in the editor's code page, and readable parameter values.
#include "presets/FxpFile.h"
#include "tests/unit/tools/ToolTestSupport.h"

namespace {

using namespace tooltest;

class PresetCommandTest : public ToolTest {
protected:
    // The tool with its preset folder in this test's folder.
    RunResult run(const std::string& arguments) {
        return runTool(arguments + pluginOption(), "XDG_DATA_HOME=" + quoted(path("data")));
    }
    std::string presetFolder() { return path("data/QarnoAudio/VorelanEn2"); }
};

TEST_F(PresetCommandTest, PresetsSavedByNameAreFoundByNameStartOrFactoryName) {
    // A plain name goes into the preset folder, which is created; an existing preset needs --force.
    RunResult saved = run("preset save 'My Sound' --set Mix=0.25");
    ASSERT_EQ(saved.status, 0) << saved.output;
    EXPECT_NE(saved.output.find("wrote " + presetFolder() + "/My Sound.fxp"), std::string::npos)
        << saved.output;
    saved = run("preset save 'My Sound' --set Mix=0.5");
    EXPECT_EQ(saved.status, 1);
    EXPECT_NE(saved.output.find("My Sound.fxp\" exists already; --force replaces it"), std::string::npos)
        << saved.output;
    EXPECT_EQ(presets::ReadFxpFile(presetFolder() + "/My Sound.fxp").program.values[1], 0.25f);
    ASSERT_EQ(run("preset save 'My Sound' --set Mix=0.5 --force").status, 0);
    EXPECT_EQ(presets::ReadFxpFile(presetFolder() + "/My Sound.fxp").program.values[1], 0.5f);
    // A save that fails says why, in words of its own.
    saved = runTool("preset save " + quoted(path("x")) + pluginOption(),
                    "LD_PRELOAD=" + quoted(VORELAN_FAILING_FILES) + " VORELAN_TEST_DISK_BYTES=100");
    EXPECT_EQ(saved.status, 1);
    EXPECT_NE(saved.output.find("cannot write the preset file \"" + path("x.fxp") + "\": the disk is full"),
              std::string::npos)
        << saved.output;

    RunResult list = run("preset list");
    ASSERT_EQ(list.status, 0) << list.output;
    EXPECT_NE(list.output.find(presetFolder() + "\n  My Sound\n"), std::string::npos) << list.output;
    EXPECT_NE(list.output.find("  Wide Ensemble\n"), std::string::npos)
        << "the build's library is listed too";

    // By name in any case, by the start of one name, by the factory program's name.
    const std::string in = writeMonoInput(4800);
    const auto render = [&](const std::string& preset) {
        return run("render " + quoted(in) + " " + quoted(path("o.wav")) + " --tail 0 --preset " +
                   quoted(preset));
    };
    for (const auto& [given, program] :
         std::vector<std::pair<std::string, std::string>>{{"MY SOUND.FXP", "My Sound"},
                                                          {"wide", "Wide Ensemble"},
                                                          {"8 voices chorus", "8 Voices Chorus"}}) {
        const RunResult rendered = render(given);
        ASSERT_EQ(rendered.status, 0) << given << ": " << rendered.output;
        EXPECT_NE(rendered.output.find("program \"" + program + "\""), std::string::npos) << rendered.output;
    }
    // Several names start alike, one is mistyped, or nothing comes close.
    const struct {
        std::string given, message;
    } refused[] = {
        {"s", "\"s\" is the start of several preset names: \"Slapback Chorus\", \"Slow Flange Sweep\""},
        {"wide ensmble", "no preset named \"wide ensmble\"; did you mean \"Wide Ensemble\"?"},
        {"ensemble", "did you mean \"String Ensemble\" or \"Wide Ensemble\"?"},
        {"no such sound", "no preset named \"no such sound\"; looked in:\n  " + presetFolder()},
    };
    for (const auto& r : refused) {
        const RunResult rendered = render(r.given);
        EXPECT_EQ(rendered.status, 1) << r.given;
        EXPECT_NE(rendered.output.find(r.message), std::string::npos) << rendered.output;
    }

    const RunResult shown = run("preset show 'my sound'");
    ASSERT_EQ(shown.status, 0) << shown.output;
    EXPECT_NE(shown.output.find("1\tMix\t0.500000\t0.50\t50 % wet\n"), std::string::npos) << shown.output;
    EXPECT_NE(shown.output.find("6\tDelay1\t0.080000\t0.08\t12.69 ms\n"), std::string::npos) << shown.output;
    const RunResult factory = run("preset show '8 Voices Chorus'");
    ASSERT_EQ(factory.status, 0) << factory.output;
    EXPECT_NE(factory.output.find("none: the factory program"), std::string::npos) << factory.output;

    // A path with a folder is written there; any case of .fxp is the extension, and no second one is added.
    ASSERT_EQ(run("preset save " + quoted(path("b.FXP"))).status, 0);
    EXPECT_TRUE(fs::exists(path("b.FXP")));
    EXPECT_FALSE(fs::exists(path("b.FXP.fxp")));
}

TEST_F(PresetCommandTest, NamesAreStoredInTheEditorsCodePage) {
    RunResult saved = run("preset save " + quoted(path("a")) + " --name 'Crème brûlée € and a long tail'");
    ASSERT_EQ(saved.status, 0) << saved.output;
    const presets::FxpReadResult file = presets::ReadFxpFile(path("a.fxp"));
    ASSERT_TRUE(file.ok());
    EXPECT_EQ(file.program.name, "Cr\xE8me br\xFBl\xE9"
                                 "e \x80 and a long ta")
        << "Windows-1252, cut at 28";
    EXPECT_NE(run("preset show " + quoted(path("a.fxp"))).output.find("\"Crème brûlée € and a long ta\""),
              std::string::npos)
        << "shown as UTF-8 again";

    const struct {
        std::string name, message;
    } refused[] = {
        {"--name '日本'", "holds \"日\" (U+65E5)"},
        {"--name \"$(printf 'tab\\there')\"", "holds a control character (U+0009)"},
        {"--name \"$(printf '\\377\\376')\"", "is not valid UTF-8"},
    };
    for (const auto& r : refused) {
        saved = run("preset save " + quoted(path("x")) + " " + r.name);
        EXPECT_EQ(saved.status, 2) << r.name;
        EXPECT_NE(saved.output.find(r.message), std::string::npos) << saved.output;
    }
    saved = run("preset save " + quoted(path("Ωmega")));
    EXPECT_EQ(saved.status, 2);
    EXPECT_NE(saved.output.find("choose one with --name"), std::string::npos) << saved.output;
    EXPECT_FALSE(fs::exists(path("x.fxp")) || fs::exists(path("Ωmega.fxp")));

    const RunResult info = run("info");
    ASSERT_EQ(info.status, 0);
    for (const char* line :
         {"0\tBufferSize\t0.070000\t0.07\t158.59 ms\n", "13\tFreq1\t1.000000\t1.00\t14914 Hz\n",
          "133\tShape1\t0.180000\t0.18\tParabolic\n", "135\tLfoFreq1\t0.110000\t0.11\t1.1 Hz\n",
          "20\tFeeds1\t0.500000\t0.50\tnone\n", "136\tSyncIx1\t0.000000\t0.00\tnone\n"})
        EXPECT_NE(info.output.find(line), std::string::npos) << line;
}

} // namespace
