#include "presets/PresetFolder.h"

#include "platform/headless/FakeFolders.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

const std::string sep(1, platform::kPathSeparator);

TEST(PresetFolderTest, PathsFollowTheSharedDataFolder) {
    platform::headless::FakeFolders folders("/data", "/plugins/");
    EXPECT_EQ(presets::PresetFolder(), "/data" + sep + "QarnoAudio" + sep + "VorelanEn2");
    EXPECT_EQ(presets::PresetFilePath("Slow Sweep"),
              "/data" + sep + "QarnoAudio" + sep + "VorelanEn2" + sep + "Slow Sweep.fxp");
    EXPECT_EQ(presets::OldPresetFolder(), "/plugins/Data" + sep + "VorelanEn2");
    EXPECT_EQ(presets::PendingOldFolderNotice(), "") << "no notice while the old folder does not exist";

    folders.sharedData.clear();
    EXPECT_EQ(presets::PresetFolder(), "") << "no data folder, no preset folder";
}

#if !defined(_WIN32)
TEST(PresetFolderTest, LinuxDataFolderFollowsXdgThenHome) {
    const char* savedXdg = std::getenv("XDG_DATA_HOME");
    const char* savedHome = std::getenv("HOME");
    const std::string xdg = savedXdg ? savedXdg : "", home = savedHome ? savedHome : "";

    setenv("XDG_DATA_HOME", "/srv/data/", 1);
    EXPECT_EQ(platform::SystemSharedDataFolder(), "/srv/data");
    EXPECT_EQ(presets::PresetFolder(), "/srv/data/QarnoAudio/VorelanEn2")
        << "no provider installed: the system's own";
    setenv("XDG_DATA_HOME", "relative/path", 1);
    setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(platform::SystemSharedDataFolder(), "/home/someone/.local/share")
        << "a relative XDG path is ignored";
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(platform::SystemSharedDataFolder(), "/home/someone/.local/share");

    savedXdg ? setenv("XDG_DATA_HOME", xdg.c_str(), 1) : unsetenv("XDG_DATA_HOME");
    savedHome ? setenv("HOME", home.c_str(), 1) : unsetenv("HOME");

    const std::string module = platform::SystemModuleFolder();
    ASSERT_FALSE(module.empty());
    EXPECT_EQ(module.back(), '/');
    EXPECT_TRUE(platform::FolderExists(module)) << module;
}
#endif

TEST(PresetFolderTest, OldFolderNoticeText) {
    EXPECT_EQ(
        presets::OldFolderNotice("C:\\ProgramData\\QarnoAudio\\VorelanEn2", "C:\\VstPlugins\\"),
        "To improve the compatibility of the software with Windows 6 and 7, the directories where were "
        "the software datas have been to change to: C:\\ProgramData\\QarnoAudio\\VorelanEn2. To skip this "
        "message, you will have to move to this folder the presets which are still standing at "
        "C:\\VstPlugins\\Data" +
            sep + "VorelanEn2.");

    const std::filesystem::path module = std::filesystem::temp_directory_path() / ("preset-folder-test-module-" + std::to_string(::getpid()));
    std::filesystem::create_directories(module / "Data" / "VorelanEn2");
    const std::string moduleFolder = module.string() + sep;
    platform::headless::FakeFolders folders("/shared", moduleFolder);
    const std::string notice = presets::PendingOldFolderNotice();
    std::filesystem::remove_all(module);
    EXPECT_EQ(notice, presets::OldFolderNotice(presets::PresetFolder(), moduleFolder))
        << "the old folder exists, so the notice is due";
    EXPECT_EQ(presets::PendingOldFolderNotice(), "") << "gone again once the folder is moved away";
}

TEST(PresetFolderTest, SaveAsTargets) {
    const presets::SaveAsTarget plain = presets::PlanSaveAs("/p/Eleven char");
    EXPECT_EQ(plain.filePath, "/p/Eleven char.fxp");
    EXPECT_EQ(plain.fieldName, "Eleven char");
    EXPECT_EQ(plain.programName, "Eleven char");

    const presets::SaveAsTarget typed = presets::PlanSaveAs("/p/Eleven char.fxp");
    EXPECT_EQ(typed.filePath, plain.filePath) << "typing the extension gives the same file";
    EXPECT_EQ(typed.programName, plain.programName);

    const presets::SaveAsTarget twice = presets::PlanSaveAs("/p/Twice.fxp.fxp");
    EXPECT_EQ(twice.filePath, "/p/Twice.fxp");
    EXPECT_EQ(twice.fieldName, "Twice.fxp");
    EXPECT_EQ(twice.programName, "Twice");

    const presets::SaveAsTarget upper = presets::PlanSaveAs("/p/Loud.FXP");
    EXPECT_EQ(upper.filePath, "/p/Loud.FXP.fxp") << "only the exact lower-case extension is recognised";
    EXPECT_EQ(upper.programName, "Loud.FXP");
}

TEST(PresetFolderTest, ListsOnlyExactFxpExtensions) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / ("preset-folder-test-list-" + std::to_string(::getpid()));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    for (const char* name : {"Chorus.fxp", "Upper.FXP", "notes.txt", "Twice.fxp.fxp", "noext"})
        std::ofstream(folder / name) << "x";
    std::vector<std::string> names = presets::ListPresetNames(folder.string());
    std::filesystem::remove_all(folder);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Chorus", "Twice.fxp"}));
    EXPECT_TRUE(presets::ListPresetNames(folder.string()).empty()) << "a missing folder lists nothing";
}

} // namespace
