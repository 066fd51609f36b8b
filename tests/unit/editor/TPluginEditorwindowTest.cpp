#include "editor/TPluginEditorwindow.h"

#include "editor/Readouts.h"
#include "editor/TPluginEditorFormClass.h"
#include "host/TVstTemplateEditor.h"
#include "platform/headless/FakeFolders.h"
#include "platform/headless/HeadlessWindow.h"
#include "platform/headless/HeadlessWindowFactory.h"
#include "platform/headless/PngFile.h"
#include "platform/headless/RecordingMessageBox.h"
#include "plugin/TPlugin.h"
#include "presets/FxpFile.h"
#include "presets/PresetFolder.h"
#include "skin/images/PngDecoder.h"

#include <gtest/gtest.h>

#include <bit>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using editor::TPluginEditorwindow;
using platform::Point;

namespace {

struct Automation {
    int index;
    float value;
};
std::vector<Automation> gAutomations;
// How many automation reports had arrived at each display update the plug-in asked for.
std::vector<std::size_t> gDisplayUpdates;
// Gestures as the host saw them: +index for a begin, -index - 1 for an end, each with the number of
// automation reports before it.
std::vector<std::pair<int, std::size_t>> gGestures;

extern "C" vst2::VstIntPtr EditorTestHost(vst2::AEffect*, vst2::VstInt32 opcode, vst2::VstInt32 index,
                                          vst2::VstIntPtr, void*, float opt) {
    if (opcode == vst2::audioMasterVersion)
        return 2400;
    if (opcode == vst2::audioMasterAutomate)
        gAutomations.push_back({index, opt});
    if (opcode == vst2::audioMasterUpdateDisplay)
        gDisplayUpdates.push_back(gAutomations.size());
    if (opcode == vst2::audioMasterBeginEdit || opcode == vst2::audioMasterEndEdit)
        gGestures.push_back({opcode == vst2::audioMasterBeginEdit ? index : -index - 1, gAutomations.size()});
    return 0;
}

Point Centre(const skin::TCustomDIBControl& c) {
    return {c.Left() + c.Width() / 2, c.Top() + c.Height() / 2};
}

class EditorTest : public ::testing::Test {
protected:
    EditorTest()
        : root_(fs::temp_directory_path() /
                ("vorelan-editor-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name())),
          folders_((root_ / "shared").string(), (root_ / "module").string() + "/") {
        fs::remove_all(root_);
        fs::create_directories(root_ / "module");
        presetDir_ = presets::PresetFolder();
        fs::create_directories(presetDir_);
        gAutomations.clear();
        gDisplayUpdates.clear();
        gGestures.clear();
        plugin_ = std::make_unique<plugin::TPlugin>(
            &EditorTestHost, std::make_unique<editor::TPluginEditorFormClass>(windows_));
    }
    ~EditorTest() override {
        plugin_.reset();
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    vst2::VstIntPtr Dispatch(vst2::VstInt32 opcode, void* ptr = nullptr) {
        return plugin_->dispatcher(opcode, 0, 0, ptr, 0.0f);
    }
    // Opens the editor; with attach, delivers the attach message too.
    TPluginEditorwindow& Open(bool attach = true) {
        Dispatch(vst2::effEditOpen, &parent_);
        window_ = windows_.LastWindow();
        EXPECT_NE(window_, nullptr) << "the editor made no window";
        auto* editor = static_cast<host::TVstTemplateEditor*>(plugin_->getEditor());
        form_ = dynamic_cast<TPluginEditorwindow*>(editor->Form());
        EXPECT_NE(form_, nullptr);
        if (attach)
            window_->RunPending();
        return *form_;
    }
    void Tick() {
        windows_.AdvanceClock(TPluginEditorwindow::kTimerInterval);
        window_->RunPending();
    }
    void Idle() { Dispatch(vst2::effEditIdle); }
    float Param(int index) { return plugin_->getParameter(index); }
    void Set(int index, float value) { plugin_->setParameter(index, value); }
    void WriteFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        std::ofstream(fs::path(presetDir_) / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    std::vector<std::uint8_t> ReadFile(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    std::string ProgramName() { return plugin_->Core().ProgramName(); }
    // "Save as" from the preset menu, the save dialog answering chosen (a name in the preset folder).
    void SaveAs(const std::string& chosen) {
        window_->scriptedMenuChoices.push_back(0);
        window_->scriptedSaveAnswers.push_back((fs::path(presetDir_) / chosen).string());
        window_->Click({20, 20}, platform::MouseButton::Right);
    }

    platform::headless::HeadlessWindowFactory windows_;
    platform::headless::RecordingMessageBox messages_;
    fs::path root_;
    platform::headless::FakeFolders folders_;
    std::string presetDir_;
    std::unique_ptr<plugin::TPlugin> plugin_;
    int parent_ = 0;
    platform::headless::HeadlessWindow* window_ = nullptr;
    TPluginEditorwindow* form_ = nullptr;
};

TEST_F(EditorTest, WithoutThePluginLinkEveryActionShowsTheCrashTextAndChangesNothing) {
    TPluginEditorwindow& form = Open(false);
    EXPECT_EQ(window_->ClientWidth(), 780);
    EXPECT_EQ(window_->ClientHeight(), 303);
    EXPECT_EQ(windows_.lastParent, &parent_) << "the window is a child of the host's window";
    EXPECT_EQ(window_->PendingMessages(), 1u) << "the attach message waits for the event loop";
    EXPECT_TRUE(window_->TimerRunning());
    EXPECT_EQ(window_->TimerInterval(), 50u);

    windows_.AdvanceClock(50);
    EXPECT_EQ(form.ValueBox->Caption(), editor::kCrashText);

    form.ValueBox->SetCaption("");
    window_->MoveMouse(Centre(*form.DIBKnob6));
    EXPECT_EQ(form.ValueBox->Caption(), editor::kCrashText) << "even hovering needs the link";
    EXPECT_EQ(form.HoverControl, nullptr);
    form.ValueBox->SetCaption("");
    const float pow1 = Param(5 + 16);
    const float delay = Param(6);
    window_->Click(Centre(*form.ChannelButtons[1]));
    window_->Click(Centre(*form.DIBGlyphButton3));
    form.DIBKnob6->SetPosition(10);
    EXPECT_EQ(form.ValueBox->Caption(), editor::kCrashText);
    EXPECT_EQ(form.SelectedChannel, 0) << "a selector click without the link selects nothing";
    EXPECT_EQ(Param(5 + 16), pow1);
    EXPECT_EQ(Param(6), delay);
    EXPECT_TRUE(gAutomations.empty()) << "no parameter may be written before attach";
}

TEST_F(EditorTest, AttachSelectsChannelOneAndLfoOneAndTheKnobsFollowTheirParameters) {
    Set(6, 0.37f);   // Delay of voice 0
    Set(135, 0.22f); // LfoFreq of LFO 0
    Set(1, 0.8f);    // Mix
    TPluginEditorwindow& form = Open();
    EXPECT_EQ(form.Plugin, plugin_.get());
    for (int t = 0; t < 8; ++t) {
        EXPECT_EQ(form.ChannelButtons[static_cast<std::size_t>(t)]->Down(), t == 0) << "channel button " << t;
        EXPECT_EQ(form.LfoButtons[static_cast<std::size_t>(t)]->Down(), t == 0) << "LFO button " << t;
    }
    Tick();
    EXPECT_EQ(form.DIBKnob6->Position(), 37);
    EXPECT_EQ(form.DIBKnob16->Position(), 22);
    EXPECT_EQ(form.DIBKnob5->Position(), 80);
    EXPECT_NE(form.ValueBox->Caption(), editor::kCrashText);
}

TEST_F(EditorTest, RefreshMovesTheKnobsButWritesNothing) {
    TPluginEditorwindow& form = Open();
    Tick();
    gAutomations.clear();

    Set(6, 0.125f);
    Tick();
    EXPECT_EQ(form.DIBKnob6->Position(), 12) << "0.125 x 100 rounds half to even";
    EXPECT_EQ(std::bit_cast<std::uint32_t>(Param(6)), std::bit_cast<std::uint32_t>(0.125f))
        << "the value stays as the host set it";
    EXPECT_NE(form.ValueBox->Caption().find(" ms"), std::string::npos) << "the delay read-out is shown";
    Set(6, 0.375f);
    Tick();
    EXPECT_EQ(form.DIBKnob6->Position(), 38);
    EXPECT_EQ(Param(6), 0.375f);
    EXPECT_TRUE(gAutomations.empty()) << "the refresh reports nothing to the host";

    // With a handler writing, a tick changes only the lights.
    form.LfoLevels[3] = 77;
    Set(6, 0.9f);
    form.Updating = true;
    Tick();
    form.Updating = false;
    EXPECT_EQ(form.LfoLights[3]->Opacity(), 77);
    EXPECT_EQ(form.DIBKnob6->Position(), 38);
}

TEST_F(EditorTest, ButtonsFollowDiscreteParameters) {
    TPluginEditorwindow& form = Open();
    Set(12, 0.5f);  // FType of voice 0: round(1.5) = 2
    Set(136, 1.0f); // SyncIx of LFO 0: 7
    Set(5, 0.5f);   // Pow: round(0.5) = 0
    Tick();
    EXPECT_FALSE(form.FilterButtons[0]->Down());
    EXPECT_TRUE(form.FilterButtons[1]->Down());
    EXPECT_FALSE(form.FilterButtons[2]->Down());
    for (int k = 0; k < 8; ++k)
        EXPECT_EQ(form.SyncButtons[static_cast<std::size_t>(k)]->Down(), k == 7) << "resync button " << k;
    EXPECT_FALSE(form.DIBGlyphButton3->Down());

    Set(12, 0.0f);
    Set(5, 0.7f);
    Tick();
    for (auto& b : form.FilterButtons)
        EXPECT_FALSE(b->Down()) << "no filter: all three up";
    EXPECT_TRUE(form.DIBGlyphButton3->Down());
}

TEST_F(EditorTest, SelectorRowsStayExclusiveAndFilterButtonsSwitchTheKind) {
    TPluginEditorwindow& form = Open();
    Tick();
    window_->Click(Centre(*form.ChannelButtons[2]));
    EXPECT_EQ(form.SelectedChannel, 2);
    window_->Click(Centre(*form.ChannelButtons[2]));
    for (int t = 0; t < 8; ++t)
        EXPECT_EQ(form.ChannelButtons[static_cast<std::size_t>(t)]->Down(), t == 2)
            << "clicking the selected channel again keeps it selected";

    window_->Click(Centre(*form.LfoButtons[5]));
    EXPECT_EQ(form.SelectedLfo, 5);
    window_->Click(Centre(*form.SyncButtons[3]));
    for (int t = 0; t < 8; ++t)
        EXPECT_EQ(form.SyncButtons[static_cast<std::size_t>(t)]->Down(), t == 3);
    EXPECT_FLOAT_EQ(Param(136 + 6 * 5), 3.0f / 7.0f);

    const int ftype = 12 + 16 * 2;
    window_->Click(Centre(*form.FilterButtons[2]));
    EXPECT_FLOAT_EQ(Param(ftype), 1.0f);
    EXPECT_TRUE(form.FilterButtons[2]->Down());
    window_->Click(Centre(*form.FilterButtons[0]));
    EXPECT_FLOAT_EQ(Param(ftype), 1.0f / 3.0f);
    EXPECT_FALSE(form.FilterButtons[2]->Down());
    window_->Click(Centre(*form.FilterButtons[0]));
    EXPECT_EQ(Param(ftype), 0.0f) << "clicking the selected kind again switches the filter off";
    for (auto& b : form.FilterButtons)
        EXPECT_FALSE(b->Down());

    window_->Click(Centre(*form.DIBGlyphButton6));
    EXPECT_EQ(form.ValueBox->Caption(), "Host sync On");
    EXPECT_EQ(Param(134 + 6 * 5), 1.0f);
    window_->Click(Centre(*form.DIBGlyphButton6));
    EXPECT_EQ(form.ValueBox->Caption(), "Host sync Off");
    EXPECT_EQ(Param(134 + 6 * 5), 0.0f);
}

TEST_F(EditorTest, KnobHandlersWriteTheirParameterAndShowTheReadout) {
    TPluginEditorwindow& form = Open();
    Tick();
    window_->Click(Centre(*form.ChannelButtons[1]));
    gAutomations.clear();
    form.DIBKnob5->SetPosition(37);
    EXPECT_EQ(Param(1), 0.37f);
    EXPECT_EQ(form.ValueBox->Caption(), "37");
    ASSERT_FALSE(gAutomations.empty());
    EXPECT_EQ(gAutomations.back().index, 1) << "knob changes are reported to the host";

    form.DIBKnob7->SetPosition(50);
    EXPECT_EQ(form.ValueBox->Caption(), "Center ");
    EXPECT_EQ(Param(16 + 9), 0.5f) << "channel knobs write the selected channel";
    form.DIBKnob8->SetPosition(0);
    EXPECT_EQ(form.ValueBox->Caption(), "19 Hz");

    // Delay before the host has told the rate or tempo: the milliseconds only.
    Set(0, 0.5f);
    form.DIBKnob6->SetPosition(40);
    EXPECT_EQ(form.ValueBox->Caption(), "400.00 ms");
    form.SampleRate = 44100.0f;
    form.Tempo = 120.0f;
    form.DIBKnob6->SetPosition(41);
    EXPECT_EQ(form.ValueBox->Caption(), "410.00 ms  0.82 beats");

    Set(134, 1.0f);
    form.DIBKnob16->SetPosition(64);
    EXPECT_EQ(form.ValueBox->Caption(), "4.50 beats");
    form.DIBKnob18->SetPosition(9);
    EXPECT_EQ(form.ValueBox->Caption(), "Parabolic");
}

TEST_F(EditorTest, ASourceKnobSwitchesTheLfoSection) {
    TPluginEditorwindow& form = Open();
    Tick();
    form.DIBKnob12->SetPosition(8);
    EXPECT_EQ(form.ValueBox->Caption(), "Lfo2");
    EXPECT_EQ(form.SelectedLfo, 1);
    for (auto& b : form.LfoButtons)
        EXPECT_FALSE(b->Down()) << "the row is cleared until the next refresh";
    Set(135 + 6, 0.33f);
    Tick();
    EXPECT_TRUE(form.LfoButtons[1]->Down());
    EXPECT_EQ(form.DIBKnob16->Position(), 33) << "the LFO knobs show LFO 2";
}

TEST_F(EditorTest, AChannelChangeMovesTheKnobsInRefreshOrderWithoutWriting) {
    TPluginEditorwindow& form = Open();
    Tick();
    // Channel 2 differs from channel 1 in its delay, its cut-off source and its feedback only.
    for (int kind = 1; kind < 16; ++kind)
        Set(5 + 16 + kind, Param(5 + kind));
    Set(5 + 16 + 1, 0.333f);   // Delay
    Set(5 + 16 + 9, 1.0f);     // ModFrqIx: LFO 8
    Set(5 + 16 + 15, 0.251f);  // Feeds
    for (int kind : {0, 4, 5}) // shape, resync value and smoothing as LFO 1's
        Set(133 + 42 + kind, Param(133 + kind));
    Set(133 + 42 + 2, 0.77f); // LfoFreq of LFO 8
    gAutomations.clear();

    window_->Click(Centre(*form.ChannelButtons[1]));
    Tick();
    EXPECT_TRUE(gAutomations.empty()) << "showing another channel writes nothing";
    EXPECT_EQ(Param(22), 0.333f);
    EXPECT_EQ(Param(36), 0.251f);
    EXPECT_EQ(form.DIBKnob6->Position(), 33);
    EXPECT_EQ(form.SelectedLfo, 7) << "the source knob moved by the refresh switches the LFO section";
    for (int t = 0; t < 8; ++t)
        EXPECT_EQ(form.LfoButtons[static_cast<std::size_t>(t)]->Down(), t == 7) << "LFO button " << t;
    EXPECT_EQ(form.DIBKnob16->Position(), 77);
    EXPECT_EQ(form.ValueBox->Caption(), "7.70 Hz") << "the read-out of the last knob moved";
}

TEST_F(EditorTest, CopyAndPasteCarryValuesWithTheMiddleFeedback) {
    TPluginEditorwindow& form = Open();
    Tick();
    for (int i = 0; i < 16; ++i)
        Set(5 + i, 0.05f * static_cast<float>(i + 1));
    Set(20, 0.9f); // Feeds of voice 0
    window_->Click(Centre(*form.DIBGlyphButton1));
    window_->Click(Centre(*form.ChannelButtons[1]));
    gAutomations.clear();
    window_->Click(Centre(*form.DIBGlyphButton2));
    for (int i = 0; i < 15; ++i)
        EXPECT_EQ(Param(21 + i), Param(5 + i)) << "kind " << i;
    EXPECT_EQ(Param(36), 0.5f) << "a pasted channel gets feedback 0.5";
    // Every value the paste changed reaches the host; the feedback, 0.5 already, is left alone.
    ASSERT_EQ(gAutomations.size(), 15u);
    for (int i = 0; i < 15; ++i) {
        EXPECT_EQ(gAutomations[static_cast<std::size_t>(i)].index, 21 + i);
        EXPECT_EQ(gAutomations[static_cast<std::size_t>(i)].value, Param(21 + i));
    }

    for (int i = 0; i < 6; ++i)
        Set(133 + i, 0.1f * static_cast<float>(i + 1));
    window_->Click(Centre(*form.DIBGlyphButton4));
    window_->Click(Centre(*form.LfoButtons[7]));
    window_->Click(Centre(*form.DIBGlyphButton5));
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(Param(133 + 42 + i), Param(133 + i)) << "LFO kind " << i;
}

TEST_F(EditorTest, HintsAboutPictureAndPanic) {
    TPluginEditorwindow& form = Open();
    window_->MoveMouse(Centre(*form.DIBKnob23));
    Tick();
    EXPECT_EQ(form.InfoBox->Caption(), "Amount of reinjection into the recording buffer");
    window_->MoveMouse({5, 5}); // over the background only: the hint stays
    Tick();
    EXPECT_EQ(form.InfoBox->Caption(), "Amount of reinjection into the recording buffer");

    window_->RunPending();
    const std::uint32_t before = window_->PixelAt(390, 150);
    window_->Click(Centre(*form.Image1));
    EXPECT_TRUE(form.AboutShown());
    window_->RunPending();
    EXPECT_TRUE(form.DIBImageContainer1.Visible());
    window_->Click({390, 150});
    EXPECT_FALSE(form.AboutShown()) << "a click on the about picture hides it";
    window_->RunPending();
    EXPECT_EQ(window_->PixelAt(390, 150), before);

    window_->DoubleClick(Centre(*form.Image2));
    EXPECT_TRUE(form.PanicRequest);
    Idle();
    EXPECT_FALSE(form.PanicRequest) << "the next editor idle serves the panic request";
}

TEST_F(EditorTest, PresetMenuListsOnlyFxpFilesAndLoadsTheChoiceAtTheNextIdle) {
    presets::ParameterValues values{};
    for (int i = 0; i < presets::kParameterCount; ++i)
        values[static_cast<std::size_t>(i)] = static_cast<float>(i % 10) / 10.0f;
    const presets::FxpBytes bytes = presets::WriteFxp("Loaded", values);
    const std::vector<std::uint8_t> file(bytes.begin(), bytes.end());
    WriteFile("Warm.fxp", file);
    WriteFile("Upper.FXP", file);
    WriteFile("notes.txt", file);
    WriteFile("Twice.fxp.fxp", file);

    TPluginEditorwindow& form = Open();
    std::set<std::string> captions;
    for (const auto& item : form.PresetItems) {
        captions.insert(item.Caption);
        EXPECT_EQ(item.Caption, item.Hint);
    }
    EXPECT_EQ(captions, (std::set<std::string>{"Warm", "Twice.fxp"}));

    window_->Click({20, 20}, platform::MouseButton::Right);
    ASSERT_TRUE(window_->MenuOpen());
    const auto& items = window_->MenuItems();
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].caption, "Save as");
    EXPECT_EQ(items[1].caption, "-");
    int twice = items[2].caption == "Twice.fxp" ? 2 : 3;

    // The entries are drawn in the editor's colours; the separator is a band.
    const std::vector<std::uint32_t> normal = window_->DrawMenuItem(0, false);
    const std::vector<std::uint32_t> selected = window_->DrawMenuItem(0, true);
    ASSERT_FALSE(normal.empty());
    EXPECT_EQ(normal[0] & 0xFFFFFF, 0x222222u) << "unselected background";
    EXPECT_EQ(selected[0] & 0xFFFFFF, skin::ColorToPixel(10261120) & 0xFFFFFF) << "selected background";
    const std::vector<std::uint32_t> band = window_->DrawMenuItem(1, false);
    const int w = items[1].width;
    EXPECT_EQ(band[0] & 0xFFFFFF, 0x222222u);
    EXPECT_EQ(band[static_cast<std::size_t>(4 * w)] & 0xFFFFFF, skin::ColorToPixel(10261120) & 0xFFFFFF);

    window_->ChooseMenuItem(twice);
    EXPECT_TRUE(form.PresetLoadRequest);
    EXPECT_EQ(form.PendingPreset, "Twice.fxp");
    window_->Click({20, 20}, platform::MouseButton::Right);
    window_->ChooseMenuItem(twice == 2 ? 3 : 2);
    EXPECT_EQ(form.PendingPreset, "Twice.fxp") << "a second choice before the idle is ignored";
    EXPECT_NE(Param(8), 0.8f);

    // The load stores the file's values exactly and reports each one that changed, in index order, then
    // asks the host to show them all again.
    Set(3, 0.3f); // as in the file
    std::vector<float> before;
    for (int i = 0; i < presets::kParameterCount; ++i)
        before.push_back(Param(i));
    gAutomations.clear();
    Idle();
    EXPECT_FALSE(form.PresetLoadRequest);
    EXPECT_EQ(ProgramName(), "Loaded");
    std::vector<int> reported;
    for (const Automation& a : gAutomations) {
        reported.push_back(a.index);
        EXPECT_EQ(a.value, values[static_cast<std::size_t>(a.index)]) << "parameter " << a.index;
    }
    std::vector<int> changed;
    for (int i = 0; i < presets::kParameterCount; ++i) {
        EXPECT_EQ(std::bit_cast<std::uint32_t>(Param(i)), std::bit_cast<std::uint32_t>(values[i]))
            << "parameter " << i;
        if (before[static_cast<std::size_t>(i)] != values[static_cast<std::size_t>(i)])
            changed.push_back(i);
    }
    EXPECT_EQ(reported, changed);
    EXPECT_EQ(gDisplayUpdates, std::vector<std::size_t>{changed.size()}) << "one display update, at the end";
}

TEST_F(EditorTest, SaveAsWritesThePresetAndRenamesTheProgram) {
    TPluginEditorwindow& form = Open();
    Tick();
    window_->answerAtOnce = true;
    const fs::path dir(presetDir_);

    SaveAs("ElevenChars");
    EXPECT_EQ(window_->SaveDialogShown().initialFolder, presetDir_);
    EXPECT_EQ(window_->SaveDialogShown().filter, "fxp|*.fxp");
    EXPECT_TRUE(window_->SaveDialogShown().defaultExtension.empty());
    const std::vector<std::uint8_t> bytes = ReadFile(dir / "ElevenChars.fxp");
    ASSERT_EQ(bytes.size(), 780u);
    EXPECT_EQ(std::string(bytes.begin() + 28, bytes.begin() + 56), "ElevenChars" + std::string(17, ' '));
    presets::ParameterValues values{};
    for (int i = 0; i < presets::kParameterCount; ++i)
        values[static_cast<std::size_t>(i)] = Param(i);
    const presets::FxpBytes expected = presets::WriteFxp("ElevenChars", values);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), expected.begin())) << "header, name and values";
    EXPECT_EQ(ProgramName(), "ElevenChars");
    EXPECT_EQ(window_->SaveDialogShown().fileName, "");
    EXPECT_EQ(form.SaveDialFileName, (dir / "ElevenChars").string());

    SaveAs("Typed.fxp");
    EXPECT_TRUE(fs::exists(dir / "Typed.fxp"));
    EXPECT_FALSE(fs::exists(dir / "Typed.fxp.fxp"));
    EXPECT_EQ(ProgramName(), "Typed");
    EXPECT_EQ(window_->SaveDialogShown().fileName, (dir / "ElevenChars").string())
        << "the dialog offers the last name";

    SaveAs("Upper.FXP");
    EXPECT_TRUE(fs::exists(dir / "Upper.FXP.fxp"));
    EXPECT_EQ(ProgramName(), "Upper.FXP");

    SaveAs("Double.fxp.fxp");
    EXPECT_TRUE(fs::exists(dir / "Double.fxp"));
    EXPECT_EQ(ProgramName(), "Double");

    const std::string longName = "A name much longer than twenty-eight characters";
    SaveAs(longName);
    const std::vector<std::uint8_t> longBytes = ReadFile(dir / (longName + ".fxp"));
    ASSERT_EQ(longBytes.size(), 780u);
    EXPECT_EQ(std::string(longBytes.begin() + 28, longBytes.begin() + 56), longName.substr(0, 28));
    EXPECT_EQ(ProgramName(), longName) << "the program keeps the longer name";

    // Cancelled: nothing written, the name stays.
    window_->scriptedMenuChoices.push_back(0);
    window_->scriptedSaveAnswers.push_back(std::nullopt);
    window_->Click({20, 20}, platform::MouseButton::Right);
    EXPECT_EQ(ProgramName(), longName);

    // A file that cannot be created: a message naming it, the name stays.
    const std::string blocked = (dir / "missing-folder" / "Lost").string();
    window_->scriptedMenuChoices.push_back(0);
    window_->scriptedSaveAnswers.push_back(blocked);
    window_->Click({20, 20}, platform::MouseButton::Right);
    ASSERT_EQ(messages_.messages.size(), 1u);
    EXPECT_NE(messages_.messages[0].text.find(blocked + ".fxp"), std::string::npos)
        << messages_.messages[0].text;
    EXPECT_EQ(ProgramName(), longName);
}

// File names here are UTF-8; program names, the files' name fields and the menu's captions are in the
// code page the editor draws, Windows-1252.
TEST_F(EditorTest, PresetNamesAreStoredAndShownInTheEditorsCodePage) {
    TPluginEditorwindow& form = Open();
    Tick();
    window_->answerAtOnce = true;
    const fs::path dir(presetDir_);
    auto nameField = [&](const std::string& file) {
        const std::vector<std::uint8_t> bytes = ReadFile(dir / file);
        return bytes.size() == 780u ? std::string(bytes.begin() + 28, bytes.begin() + 56) : std::string();
    };

    const std::string accented = "Crème brûlée € and a long tail";
    const std::string accentedField = "Cr\xE8me br\xFBl\xE9"
                                      "e \x80 and a long ta";
    SaveAs(accented);
    EXPECT_EQ(nameField(accented + ".fxp"), accentedField) << "Windows-1252, cut at 28 characters";
    EXPECT_EQ(ProgramName(), accentedField + "il");

    SaveAs("Caf\xE9"); // a file name in the code page itself, which is no UTF-8
    EXPECT_EQ(nameField("Caf\xE9.fxp"), "Caf\xE9" + std::string(24, ' '));
    EXPECT_EQ(ProgramName(), "Caf\xE9");

    SaveAs("Snow ☃");
    EXPECT_FALSE(fs::exists(dir / "Snow ☃.fxp")) << "a name the code page cannot hold writes nothing";
    EXPECT_EQ(ProgramName(), "Caf\xE9") << "and keeps the program's name";
    ASSERT_EQ(messages_.messages.size(), 1u);
    EXPECT_NE(messages_.messages[0].text.find("\"☃\" (U+2603)"), std::string::npos)
        << messages_.messages[0].text;

    // The menu shows every file, drawn in the code page, and loads each by its own name.
    WriteFile("日本.fxp", ReadFile(dir / "Caf\xE9.fxp"));
    form.RefreshFxps();
    std::map<std::string, std::string> hintOf;
    for (const auto& item : form.PresetItems)
        hintOf[item.Caption] = item.Hint;
    EXPECT_EQ(hintOf, (std::map<std::string, std::string>{
                          {accentedField + "il", accented}, {"Caf\xE9", "Caf\xE9"}, {"??", "日本"}}));
    for (const auto& [caption, programName] : {std::pair{accentedField + "il", accentedField},
                                               std::pair{std::string("??"), std::string("Caf\xE9")}}) {
        form.Open1Click({caption, hintOf[caption]});
        Idle();
        EXPECT_EQ(ProgramName(), programName) << "loading the entry " << caption;
    }
    EXPECT_EQ(messages_.messages.size(), 1u) << "every entry loaded";
}

TEST_F(EditorTest, OldFolderNoticeComesFirstAtEveryOpening) {
    fs::create_directories(root_ / "module" / "Data" / "VorelanEn2");
    const std::string moduleFolder = (root_ / "module").string() + "/";
    for (int round = 0; round < 2; ++round) {
        messages_.onShow = [this] {
            EXPECT_EQ(form_->Plugin, nullptr) << "the notice comes before the set-up";
        };
        Open();
        ASSERT_EQ(messages_.messages.size(), static_cast<std::size_t>(round + 1));
        const auto& m = messages_.messages.back();
        EXPECT_EQ(m.caption, "VorelanEn2");
        EXPECT_EQ(m.icon, platform::MessageIcon::Information);
        EXPECT_EQ(m.text, presets::OldFolderNotice(presetDir_, moduleFolder));
        EXPECT_EQ(m.text.rfind("To improve the compatibility of the software with Windows 6 and 7, ", 0), 0u);
        Dispatch(vst2::effEditClose);
    }
}

TEST_F(EditorTest, OpeningAndClosingLeavesNothingBehind) {
    vst2::ERect* rect = nullptr;
    EXPECT_EQ(Dispatch(vst2::effEditGetRect, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->right - rect->left, 0) << "no size before a form exists";
    Open();
    Dispatch(vst2::effEditGetRect, &rect);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 303);
    EXPECT_EQ(rect->right, 780);
    Dispatch(vst2::effEditClose);

    for (int i = 0; i < 40; ++i) {
        Open();
        Tick();
        Idle();
        EXPECT_EQ(windows_.Windows().size(), 1u);
        Dispatch(vst2::effEditClose);
        EXPECT_TRUE(windows_.Windows().empty()) << "round " << i;
    }
    EXPECT_EQ(windows_.WindowsCreated(), 41);

    // Two opens make one form; closing in the middle of a knob drag shows the cursor again.
    TPluginEditorwindow& form = Open();
    Dispatch(vst2::effEditOpen, &parent_);
    EXPECT_EQ(windows_.WindowsCreated(), 42);
    window_->Press(Centre(*form.DIBKnob6));
    EXPECT_TRUE(form.DIBKnob6->DragActive());
    EXPECT_FALSE(window_->TestCursor().Visible());
    Dispatch(vst2::effEditClose);
    EXPECT_EQ(windows_.Windows().size(), 1u);
    Dispatch(vst2::effEditClose);
    EXPECT_TRUE(windows_.Windows().empty());
    EXPECT_EQ(windows_.lastClosedCursorDisplayCount, 0) << "the drag's hide was matched by a show";

    // The plug-in's destruction takes an open editor with it.
    Open();
    plugin_.reset();
    EXPECT_TRUE(windows_.Windows().empty());
}

TEST_F(EditorTest, ThePictureShowsTheSkin) {
    TPluginEditorwindow& form = Open();
    Tick();
    const std::uint32_t knob = window_->PixelAt(Centre(*form.DIBKnob6).x, Centre(*form.DIBKnob6).y);
    const std::uint32_t plain = skin::ColorToPixel(TPluginEditorwindow::kFormColor);
    EXPECT_NE(knob & 0xFFFFFF, plain & 0xFFFFFF) << "the knob is drawn";
    EXPECT_EQ(window_->InvalidArea().Empty(), true) << "painting leaves nothing pending";
    // Moving a knob repaints only around it.
    form.DIBKnob6->SetPosition(3);
    const platform::Rect dirty = window_->InvalidArea();
    EXPECT_TRUE(dirty.Contains(Centre(*form.DIBKnob6)));
    EXPECT_FALSE(dirty.Contains({2, 2})) << "only the changed controls are shown again";
    EXPECT_FALSE(dirty.Contains({775, 20}));
}

TEST_F(EditorTest, AKnobDraggedWithTheMouseWritesAndReportsItsParameterAsOneGesture) {
    TPluginEditorwindow& form = Open();
    Tick();
    window_->Click(Centre(*form.ChannelButtons[1]));
    gAutomations.clear();
    const Point at = Centre(*form.DIBKnob20);
    const int before = form.DIBKnob20->Position();
    window_->Press(at);
    EXPECT_TRUE(window_->Captured()) << "the window keeps the mouse during the drag";
    window_->MoveMouse({at.x, at.y - 5});
    window_->MoveMouse({at.x, at.y - 10});
    window_->Release({at.x, at.y - 10});
    EXPECT_FALSE(window_->Captured());
    EXPECT_GT(form.DIBKnob20->Position(), before) << "dragging up turns the knob up";
    EXPECT_EQ(Param(24), static_cast<float>(form.DIBKnob20->Position() / 100.0));
    ASSERT_EQ(gAutomations.size(), 2u);
    EXPECT_EQ(gAutomations.back().index, 24) << "the amount of channel 2";
    using Gestures = std::vector<std::pair<int, std::size_t>>;
    EXPECT_EQ(gGestures, (Gestures{{24, 0}, {-25, 2}}))
        << "begun before the first report, ended after the last";
    EXPECT_TRUE(window_->TestCursor().Visible());

    // A drag cut short by closing the editor still ends its gesture.
    gGestures.clear();
    window_->Press(Centre(*form.DIBKnob5));
    window_->MoveMouse({Centre(*form.DIBKnob5).x, Centre(*form.DIBKnob5).y - 3});
    Dispatch(vst2::effEditClose);
    EXPECT_EQ(gGestures.size(), 2u);
    EXPECT_EQ(gGestures.back().first, -2) << "the mix knob's gesture ended";
}

TEST_F(EditorTest, ThePngHoldsTheWindowPicture) {
    Open();
    Tick();
    const std::string path = (root_ / "editor.png").string();
    ASSERT_TRUE(platform::headless::SavePng(window_->Picture(), path));
    const std::vector<std::uint8_t> png = ReadFile(path);
    const auto decoded = skin::images::DecodePng(png);
    ASSERT_TRUE(decoded.has_value());
    ASSERT_EQ(decoded->width, 780);
    ASSERT_EQ(decoded->height, 303);
    for (const Point p : {Point{0, 0}, Point{150, 100}, Point{779, 302}, Point{500, 290}}) {
        const std::uint8_t* px =
            decoded->pixels.data() +
            (static_cast<std::size_t>(302 - p.y) * 780 + static_cast<std::size_t>(p.x)) * 4;
        const std::uint32_t shown = window_->PixelAt(p.x, p.y);
        EXPECT_EQ(px[0], shown & 0xFF) << p.x << "," << p.y;
        EXPECT_EQ(px[1], (shown >> 8) & 0xFF);
        EXPECT_EQ(px[2], (shown >> 16) & 0xFF);
    }
}

} // namespace
