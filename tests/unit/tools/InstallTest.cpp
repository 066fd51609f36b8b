// make install's tree: the installed tool finds the installed plug-in and presets, LV2 hosts find the
// bundle, a user's own preset survives, and uninstall takes away exactly what the install put there.
#include "tests/unit/tools/ToolTestSupport.h"

#include <fstream>

namespace {

using namespace tooltest;

class InstallTest : public ToolTest {
protected:
    // scripts/install with a home folder of this test's own and the given settings.
    RunResult install(const std::string& action, const std::string& settings) {
        return runShell("env -u XDG_DATA_HOME -u VST_PATH -u XDG_DATA_DIRS HOME=" + quoted(path("home")) +
                        " " + settings + " BUILD=" + quoted(VORELAN_BUILD_DIR) +
                        " DIST=" + quoted(VORELAN_DIST_ROOT) + " " +
                        quoted(std::string(VORELAN_SOURCE_DIR) + "/scripts/install") + " " + action);
    }
    RunResult installed(const std::string& tool, const std::string& arguments) {
        return runShell("env -u XDG_DATA_HOME -u VST_PATH -u XDG_DATA_DIRS HOME=" + quoted(path("home")) +
                        " " + quoted(tool) + " " + arguments);
    }
    // The bundle's description, both binaries and the 29 presets in folder/VorelanEn2.lv2.
    void expectBundle(const std::string& folder) {
        const std::string bundle = folder + "/VorelanEn2.lv2";
        for (const char* file : {"manifest.ttl", "VorelanEn2.ttl", "VorelanEn2_ui.ttl", "VorelanEn2_dsp.so",
                                 "VorelanEn2_ui.so", "presets/8-voices-chorus.ttl"})
            EXPECT_TRUE(fs::exists(bundle + "/" + file)) << bundle << "/" << file;
        EXPECT_EQ(std::distance(fs::directory_iterator(bundle + "/presets"), fs::directory_iterator()), 29);
    }
    std::vector<std::string> filesUnder(const std::string& folder) {
        std::vector<std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(folder))
            files.push_back(fs::relative(entry.path(), folder).string());
        std::sort(files.begin(), files.end());
        return files;
    }
};

TEST_F(InstallTest, PersonalInstallWorksAndUninstallsCleanly) {
    const std::string presets = path("home/.local/share/QarnoAudio/VorelanEn2");
    fs::create_directories(presets);
    { std::ofstream(presets + "/Doubler.fxp") << "my own doubler"; }

    RunResult run = install("install", "");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("kept your own " + presets + "/Doubler.fxp"), std::string::npos) << run.output;
    std::ifstream mine(presets + "/Doubler.fxp");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(mine), {}), "my own doubler");
    EXPECT_TRUE(fs::exists(path("home/.vst/VorelanEn2.so")));
    expectBundle(path("home/.lv2"));
    // LV2 hosts find the bundle where they look by default.
    run = runShell("env -u LV2_PATH HOME=" + quoted(path("home")) + " lv2ls");
    EXPECT_NE(run.output.find("urn:qarnoaudio:vorelanen2\n"), std::string::npos) << run.output;

    const std::string tool = path("home/.local/bin/vorelan");
    const std::string in = writeMonoInput(4800);
    run = installed(tool,
                    "render " + quoted(in) + " " + quoted(path("out.wav")) + " --preset 'string ensemble'");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("program \"String Ensemble\""), std::string::npos) << run.output;
    run = installed(tool, "info");
    EXPECT_NE(run.output.find("plug-in file     " + path("home/.vst/VorelanEn2.so")), std::string::npos)
        << run.output;
    run = installed(tool, "preset list");
    EXPECT_NE(run.output.find(presets + "\n  Amplitude Chase\n"), std::string::npos) << run.output;

    // Installing again replaces its own files and still keeps the user's.
    ASSERT_EQ(install("install", "").status, 0);
    run = install("uninstall", "");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(filesUnder(path("home")),
              (std::vector<std::string>{".local", ".local/share", ".local/share/QarnoAudio",
                                        ".local/share/QarnoAudio/VorelanEn2",
                                        ".local/share/QarnoAudio/VorelanEn2/Doubler.fxp"}))
        << "uninstall leaves exactly what was there before";
}

TEST_F(InstallTest, SystemWideInstallIntoAStagingFolder) {
    const std::string stage = path("stage");
    RunResult run = install("install", "PREFIX=/usr/local DESTDIR=" + quoted(stage));
    ASSERT_EQ(run.status, 0) << run.output;
    const std::string tool = stage + "/usr/local/bin/vorelan";
    run = installed(tool, "info");
    EXPECT_NE(run.output.find("plug-in file     " + stage + "/usr/local/lib/vst/VorelanEn2.so"),
              std::string::npos)
        << run.output;
    run = installed(tool, "preset list");
    EXPECT_NE(run.output.find(stage + "/usr/local/share/QarnoAudio/VorelanEn2\n  Amplitude Chase\n"),
              std::string::npos)
        << run.output;
    EXPECT_TRUE(fs::exists(stage + "/usr/local/share/doc/vorelan/LICENSE.txt"));
    expectBundle(stage + "/usr/local/lib/lv2");
    EXPECT_FALSE(fs::exists(path("home/.vst"))) << "a system-wide install leaves the home folder alone";

    ASSERT_EQ(install("uninstall", "PREFIX=/usr/local DESTDIR=" + quoted(stage)).status, 0);
    EXPECT_TRUE(filesUnder(stage).empty());
}

TEST_F(InstallTest, AnUnpackedReleaseArchiveInstallsItself) {
    // The Linux archive's layout: the plug-in, the tool, the presets, the texts and the install script.
    const std::string archive = path("VorelanEn2-linux-x86_64");
    fs::create_directories(archive + "/presets");
    fs::copy_file(VORELAN_PLUGIN_PATH, archive + "/VorelanEn2.so");
    fs::copy(std::string(VORELAN_DIST_ROOT) + "/linux-x86_64/VorelanEn2.lv2", archive + "/VorelanEn2.lv2",
             fs::copy_options::recursive);
    fs::copy_file(VORELAN_TOOL_PATH, archive + "/vorelan");
    fs::copy_file(std::string(VORELAN_SOURCE_DIR) + "/scripts/install", archive + "/install");
    for (const char* text : {"README.md", "LICENSE.txt"})
        fs::copy_file(std::string(VORELAN_SOURCE_DIR) + "/" + text, archive + "/" + text);
    for (const auto& preset : fs::directory_iterator(VORELAN_PRESET_LIBRARY_DIR))
        fs::copy_file(preset.path(), archive + "/presets/" + preset.path().filename().string());
    fs::create_directories(path("home"));
    const std::string home =
        "env -u XDG_DATA_HOME -u VST_PATH -u XDG_DATA_DIRS HOME=" + quoted(path("home")) + " ";

    RunResult run = runShell("cd " + quoted(archive) + " && " + home + "./install");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(fs::exists(path("home/.vst/VorelanEn2.so")));
    expectBundle(path("home/.lv2"));
    run = installed(path("home/.local/bin/vorelan"), "render " + quoted(writeMonoInput(4800)) + " " +
                                                         quoted(path("out.wav")) + " --preset vibrato");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("program \"Vibrato\""), std::string::npos) << run.output;
    ASSERT_EQ(runShell(home + quoted(archive + "/install") + " uninstall").status, 0);
    EXPECT_TRUE(filesUnder(path("home")).empty());
}

} // namespace
