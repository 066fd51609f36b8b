#include "engine/reference/ReferenceEngine.h"
#include "plugin/TPlugin.h"

#include "editor/TPluginEditorwindow.h"
#include "platform/headless/FakeFolders.h"
#include "platform/headless/HeadlessWindowFactory.h"
#include "platform/headless/RecordingMessageBox.h"
#include "presets/FxpFile.h"
#include "presets/PresetFolder.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>

namespace {

namespace fs = std::filesystem;

vst2::VstTimeInfo timeInfo{};

vst2::VstIntPtr hostCallback(vst2::AEffect*, vst2::VstInt32 opcode, vst2::VstInt32, vst2::VstIntPtr, void*,
                             float) {
    switch (opcode) {
    case vst2::audioMasterVersion:
        return 2400;
    case vst2::audioMasterGetTime:
        return reinterpret_cast<vst2::VstIntPtr>(&timeInfo);
    default:
        return 0;
    }
}

class TPluginPresetLoadTest : public ::testing::Test {
protected:
    void SetUp() override {
        timeInfo = {};
        timeInfo.sampleRate = 44100;
        timeInfo.tempo = 120;
        timeInfo.flags = vst2::kVstTempoValid;
        root_ = fs::temp_directory_path() / ("tplugin-preset-load-test-" + std::to_string(::getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        folders_ = std::make_unique<platform::headless::FakeFolders>(root_.string(), root_.string() + "/");
        fs::create_directories(presets::PresetFolder());
        auto frames = std::make_unique<engine::ReferenceEngine>();
        lines_ = frames.get();
        plugin_ = std::make_unique<plugin::TPlugin>(&hostCallback, nullptr, std::move(frames));
        form_.EditorAttachMessage(plugin_.get());
        // One block so the engine has taken the factory values and the lines hold what it wrote.
        process(64);
    }
    void TearDown() override {
        plugin_.reset();
        folders_.reset();
        fs::remove_all(root_);
    }

    void process(int frames) {
        std::vector<float> inL(frames, 0.25f), inR(frames, -0.25f), outL(frames), outR(frames);
        float* in[2] = {inL.data(), inR.data()};
        float* out[2] = {outL.data(), outR.data()};
        plugin_->process(in, out, frames);
    }
    void writePreset(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        std::ofstream(presets::PresetFilePath(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    void writePreset(const std::string& name, const std::string& field,
                     const presets::ParameterValues& values) {
        const presets::FxpBytes bytes = presets::WriteFxp(field, values);
        writePreset(name, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    }
    std::string programName() { return plugin_->Core().ProgramName(); }
    std::vector<float> parameters() {
        std::vector<float> values;
        for (int i = 0; i < presets::kParameterCount; ++i)
            values.push_back(plugin_->getParameter(i));
        return values;
    }
    std::size_t countInLines(float value) const {
        return std::count(lines_->DelayLineL.begin(), lines_->DelayLineL.end(), value) +
               std::count(lines_->DelayLineR.begin(), lines_->DelayLineR.end(), value);
    }
    // The editor's idle handshake: the form reads the file and applies it through its link.
    void load(const std::string& name) {
        form_.PendingPreset = name;
        form_.PresetLoadRequest = true;
        plugin_->ExchangeWithEditor(form_);
    }

    platform::headless::HeadlessWindowFactory windows_;
    editor::TPluginEditorwindow form_{nullptr, windows_};
    fs::path root_;
    std::unique_ptr<platform::headless::FakeFolders> folders_;
    std::unique_ptr<plugin::TPlugin> plugin_;
    engine::ReferenceEngine* lines_ = nullptr; // the plug-in's frame engine
};

TEST_F(TPluginPresetLoadTest, LoadRestoresValuesAndNameThenFillsTheLinesBeforeTheNextBlock) {
    presets::ParameterValues values{};
    for (int i = 0; i < presets::kParameterCount; ++i)
        values[i] = static_cast<float>((i * 37) % 181) / 181.0f;
    values[0] = 1.0f; // BufferSize 1: 88200 samples at 44.1 kHz
    writePreset("Round Trip", "Round Trip with a long name that is cut", values);
    platform::headless::RecordingMessageBox messages;

    const std::size_t filledBefore = countInLines(0.0001f);
    load("Round Trip");
    EXPECT_TRUE(messages.messages.empty());
    EXPECT_EQ(programName(), "Round Trip with a long name")
        << "the name field holds 28 characters (the 28th a space, which is dropped)";
    for (int i = 0; i < presets::kParameterCount; ++i)
        EXPECT_EQ(std::bit_cast<std::uint32_t>(plugin_->getParameter(i)),
                  std::bit_cast<std::uint32_t>(values[i]))
            << "parameter " << i;
    EXPECT_EQ(countInLines(0.0001f), filledBefore) << "the audio thread fills the lines, not the loader";

    process(0); // the next block, even an empty one, starts the fill; the following ones complete it
    EXPECT_EQ(plugin_->Core().BlockValues().BufferSize, 1.0f) << "each value reached the engine's block";
    while (plugin_->Core().DelayFillInProgress())
        process(0);
    EXPECT_EQ(countInLines(0.0001f), 2u * engine::kDelayCapacity)
        << "every sample of both lines, whatever BufferLength is";
}

TEST_F(TPluginPresetLoadTest, ValuesOutsideTheRangeAreClampedAndZeroPaddedNamesRead) {
    presets::ParameterValues values{};
    values.fill(0.5f);
    values[1] = 1.5f;
    values[2] = -0.2f;
    values[3] = std::numeric_limits<float>::quiet_NaN();
    presets::FxpBytes bytes = presets::WriteFxp("", values);
    std::fill(bytes.begin() + 28, bytes.begin() + 56, std::uint8_t{0});
    std::copy_n("Zeroes", 6, bytes.begin() + 28);
    std::fill(bytes.begin(), bytes.begin() + 16, std::uint8_t{0xEE}); // magic, size, version: ignored
    std::fill(bytes.begin() + 20, bytes.begin() + 28, std::uint8_t{0xEE});
    writePreset("Odd", std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    platform::headless::RecordingMessageBox messages;

    load("Odd");
    EXPECT_TRUE(messages.messages.empty());
    EXPECT_EQ(programName(), "Zeroes");
    EXPECT_EQ(plugin_->getParameter(1), 1.0f);
    EXPECT_EQ(plugin_->getParameter(2), 0.0f);
    EXPECT_EQ(plugin_->getParameter(3), 0.0f) << "a NaN is stored as 0";
    process(0);
    EXPECT_EQ(plugin_->Core().BlockValues().Mix, 1.0f);
}

TEST_F(TPluginPresetLoadTest, RejectedFilesChangeNothingAndSayWhy) {
    presets::ParameterValues values{};
    values.fill(0.9f);
    presets::FxpBytes foreign = presets::WriteFxp("Foreign", values);
    foreign[19] = '5'; // "QR15"
    writePreset("Foreign", std::vector<std::uint8_t>(foreign.begin(), foreign.end()));
    const presets::FxpBytes good = presets::WriteFxp("Short", values);
    writePreset("Short", std::vector<std::uint8_t>(good.begin(), good.begin() + 500));
    writePreset("Empty", std::vector<std::uint8_t>{});
    writePreset("Garbage", std::vector<std::uint8_t>(780, 0x5A));
    fs::create_directories(presets::PresetFilePath("Folder"));

    const std::vector<float> before = parameters();
    const std::string nameBefore = programName();
    const float bufferSizeBefore = plugin_->Core().BlockValues().BufferSize;
    platform::headless::RecordingMessageBox messages;
    for (const char* name : {"Foreign", "Short", "Empty", "Garbage", "Missing", "Folder"}) {
        messages.messages.clear();
        load(name);
        ASSERT_EQ(messages.messages.size(), 1u) << name << ": one message";
        const std::string& text = messages.messages[0].text;
        if (std::string(name) == "Foreign" || std::string(name) == "Garbage")
            EXPECT_EQ(text, "This is not a VorelanEn2 preset!") << name;
        else
            EXPECT_NE(text.find(presets::PresetFilePath(name)), std::string::npos) << name << ": " << text;
        EXPECT_EQ(messages.messages[0].caption, "VorelanEn2");
        EXPECT_EQ(parameters(), before) << name << ": no parameter changes";
        EXPECT_EQ(programName(), nameBefore) << name;
        EXPECT_EQ(plugin_->Core().BlockValues().BufferSize, bufferSizeBefore) << name;
        EXPECT_EQ(form_.PresetLoadBusy, 0) << name;
    }
    process(0);
    EXPECT_EQ(countInLines(0.0001f), 0u) << "no fill was requested for a rejected file";
}

TEST_F(TPluginPresetLoadTest, LoadsRequestedDuringTheMessageAreDropped) {
    presets::ParameterValues values{};
    values.fill(0.3f);
    writePreset("Good", "Good", values);
    writePreset("Bad", std::vector<std::uint8_t>(40, 'x'));
    platform::headless::RecordingMessageBox messages;
    messages.onShow = [&] {
        EXPECT_EQ(form_.PresetLoadBusy, 1) << "busy while the message is up";
        load("Good"); // an editor idle call served by the message box's own loop
    };
    load("Bad");
    EXPECT_EQ(messages.messages.size(), 1u);
    EXPECT_NE(programName(), "Good") << "the nested load returned without effect";
    EXPECT_EQ(form_.PresetLoadBusy, 0);

    messages.onShow = nullptr;
    load("Good");
    EXPECT_EQ(programName(), "Good") << "loading works again once the message is gone";
    EXPECT_EQ(plugin_->getParameter(100), 0.3f);
}

} // namespace
