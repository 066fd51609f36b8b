// The vorelan executable end to end, hosting the built plug-in binary.
#include "presets/FxpFile.h"
#include "tests/unit/tools/ToolTestSupport.h"
#include "tools/vorelan/AudioFile.h"
#include "tools/vorelan/PluginHost.h"

#include <fstream>

namespace {

using namespace tooltest;

class VorelanToolTest : public ToolTest {
protected:
    static std::string plugin() { return pluginOption(); }
};

TEST_F(VorelanToolTest, RenderMatchesAnInProcessRenderOfTheSameBinary) {
    const std::size_t frames = 12000;
    const std::string in = writeMonoInput(frames);
    const RunResult run = runTool("render '" + in + "' '" + path("out.wav") +
                                  "' --block 100 --tail 0.25 --set Delay3=0.25 --set 1=0.6" + plugin());
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output.find("rendering ["), std::string::npos)
        << "no progress bar when stderr is not a terminal";

    const vorelan::AudioFile out = vorelan::ReadAudioFile(path("out.wav"));
    EXPECT_EQ(out.channels, 2);
    EXPECT_EQ(out.sampleRate, 48000);
    ASSERT_EQ(out.signal.frames(), frames + 12000) << "the input plus a quarter second of tail";

    // The same input, tail and settings through the same binary in this process.
    vorelan::AudioFile input = vorelan::ReadAudioFile(in);
    EXPECT_EQ(input.channels, 1);
    EXPECT_TRUE(input.signal.left == input.signal.right) << "a mono file feeds both inputs";
    input.signal.left.resize(frames + 12000, 0.0f);
    input.signal.right.resize(frames + 12000, 0.0f);
    vorelan::PluginHost host(VORELAN_PLUGIN_PATH);
    host.SetSampleRate(48000);
    host.SetBlockSize(100);
    host.Start();
    host.SetParameter(5 + 16 * 2 + 1, 0.25f); // Delay3: voice 3, kind 1
    host.SetParameter(1, 0.6f);
    const vorelan::StereoSignal expected = host.Render(input.signal, nullptr);
    EXPECT_TRUE(expected.left == out.signal.left && expected.right == out.signal.right)
        << "the tool's output differs from the in-process render";

    float peak = 0;
    for (float s : out.signal.left)
        peak = std::max(peak, std::fabs(s));
    EXPECT_GT(peak, 0.01f) << "the effect produced silence";

    // Without an input the built-in demo goes through the factory program.
    const RunResult demo = runTool("render '" + path("demo.wav") + "'" + plugin());
    ASSERT_EQ(demo.status, 0) << demo.output;
    EXPECT_NE(demo.output.find("8 Voices Chorus"), std::string::npos) << demo.output;
    const vorelan::AudioFile demoOut = vorelan::ReadAudioFile(path("demo.wav"));
    EXPECT_EQ(demoOut.sampleRate, 44100);
    EXPECT_GE(demoOut.signal.frames(), 441000u) << "ten seconds and the effect's tail";

    // --rate resamples, keeping the length in time; other formats follow the extension.
    ASSERT_EQ(
        runTool("render '" + in + "' '" + path("out.flac") + "' --rate 44100 --tail 0" + plugin()).status, 0);
    const vorelan::AudioFile flac = vorelan::ReadAudioFile(path("out.flac"));
    EXPECT_EQ(flac.sampleRate, 44100);
    EXPECT_EQ(flac.signal.frames(), frames * 44100 / 48000);
}

TEST_F(VorelanToolTest, PresetsSaveShowAndRender) {
    const RunResult saved =
        runTool("preset save '" + path("Slow Sweep") + "' --set Delay1=0.5 --set Mix=0.25" + plugin());
    ASSERT_EQ(saved.status, 0) << saved.output;
    const presets::FxpReadResult file = presets::ReadFxpFile(path("Slow Sweep.fxp"));
    ASSERT_TRUE(file.ok()) << "save adds .fxp and writes the reader's layout";
    EXPECT_EQ(fs::file_size(path("Slow Sweep.fxp")), 780u);
    EXPECT_EQ(file.program.name, "Slow Sweep");
    EXPECT_EQ(file.program.values[1], 0.25f);
    EXPECT_EQ(file.program.values[6], 0.5f) << "Delay1 is index 6";
    EXPECT_EQ(file.program.values[0], 0.07f) << "everything else keeps the factory program";

    const RunResult derived = runTool("preset save '" + path("b.fxp") + "' --from '" +
                                      path("Slow Sweep.fxp") + "' --set OutGain=1 --name Renamed" + plugin());
    ASSERT_EQ(derived.status, 0) << derived.output;
    const presets::FxpReadResult second = presets::ReadFxpFile(path("b.fxp"));
    ASSERT_TRUE(second.ok());
    EXPECT_EQ(second.program.name, "Renamed");
    EXPECT_EQ(second.program.values[1], 0.25f) << "values come from the --from preset";
    EXPECT_EQ(second.program.values[2], 1.0f);

    const RunResult shown = runTool("preset show '" + path("b.fxp") + "'" + plugin());
    ASSERT_EQ(shown.status, 0) << shown.output;
    EXPECT_NE(shown.output.find("\"Renamed\""), std::string::npos) << shown.output;
    EXPECT_NE(shown.output.find("QR14"), std::string::npos);
    EXPECT_NE(shown.output.find("Delay1\t0.500000"), std::string::npos) << shown.output;
    EXPECT_NE(shown.output.find("Smooth8"), std::string::npos) << "every parameter is listed by name";

    const RunResult info = runTool("info" + plugin());
    ASSERT_EQ(info.status, 0) << info.output;
    EXPECT_NE(info.output.find("VorelanEn2"), std::string::npos);
    EXPECT_NE(info.output.find("Qarno Audio, version 2003"), std::string::npos) << info.output;
    EXPECT_NE(info.output.find("QR14"), std::string::npos);
    EXPECT_NE(info.output.find("\"8 Voices Chorus\""), std::string::npos);
    EXPECT_NE(info.output.find("0\tBufferSize\t0.070000\t0.07"), std::string::npos) << info.output;

    // The preset through render equals the same values set one by one.
    const std::string in = writeMonoInput(4000);
    ASSERT_EQ(
        runTool("render '" + in + "' '" + path("p.wav") + "' --preset '" + path("b.fxp") + "'" + plugin())
            .status,
        0);
    ASSERT_EQ(runTool("render '" + in + "' '" + path("s.wav") +
                      "' --set Delay1=0.5 --set Mix=0.25 --set OutGain=1" + plugin())
                  .status,
              0);
    EXPECT_EQ(vorelan::ReadAudioFile(path("p.wav")).signal.left,
              vorelan::ReadAudioFile(path("s.wav")).signal.left);
}

TEST_F(VorelanToolTest, EveryBadInputAnswersWithAMessageAndStatus) {
    const std::string in = writeMonoInput(2000);
    { std::ofstream(path("short.fxp"), std::ios::binary) << "CcnK"; }
    {
        std::ofstream(path("foreign.fxp"), std::ios::binary)
            << std::string(16, 'x') << "ABCD" << std::string(760, 'y');
    }
    const auto silence = [](std::size_t) { return 0.0; };
    const std::string empty = writeMono("empty.wav", 0, 48000, silence);
    const std::string slow = writeMono("slow.wav", 400, 1000, silence);
    const std::string fast = writeMono("fast.wav", 400, 768000, silence);
    { std::ofstream(path("notes.wav")) << "not audio at all"; }
    { std::ofstream(path("nothing.wav")); }
    {
        SF_INFO info{};
        info.samplerate = 44100;
        info.channels = 3;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        SNDFILE* handle = sf_open(path("three.wav").c_str(), SFM_WRITE, &info);
        const short frame[3] = {0, 0, 0};
        sf_writef_short(handle, frame, 1);
        sf_close(handle);
    }
    const std::string out = " '" + path("o.wav") + "'";
    const struct {
        std::string arguments;
        int status;
        std::string message;
    } cases[] = {
        {"", 2, "usage: vorelan"},
        {"frobnicate", 2, "unknown command \"frobnicate\""},
        {"render", 2, "needs an output file"},
        {"render '" + path("missing.wav") + "'" + out + plugin(), 1, "missing.wav"},
        {"render '" + path("three.wav") + "'" + out + plugin(), 1, "3 channels"},
        {"render '" + path("notes.wav") + "'" + out + plugin(), 1,
         "notes.wav\": it is not in an audio format"},
        {"render '" + path("nothing.wav") + "'" + out + plugin(), 1, "nothing.wav\": it is empty"},
        {"render '" + folder_.string() + "'" + out + plugin(), 1, "\": it is a folder"},
        {"render '" + slow + "'" + out + plugin(), 1,
         "slow.wav\" is at 1000 Hz; the effect runs at 8000 to 384000 Hz: resample it with --rate"},
        {"render '" + fast + "'" + out + plugin(), 1, "fast.wav\" is at 768000 Hz"},
        {"render '" + slow + "'" + out + " --rate 384000" + plugin(), 1,
         "the rates may differ by a factor of 256 at most"},
        {"render '" + empty + "'" + out + plugin(), 1, "nothing to render: \"" + empty + "\" holds no audio"},
        {"render '" + empty + "' '" + path("o.flac") + "'" + plugin(), 1, "holds no audio"},
        {"render '" + empty + "' '" + path("o.aiff") + "' --tail 0" + plugin(), 1, "holds no audio"},
        {"render '" + empty + "' '" + path("o.ogg") + "'" + plugin(), 1, "holds no audio"},
        {"render - '" + path("o.flac") + "' <'" + empty + "'" + plugin(), 1, "standard input holds no audio"},
        {"render '" + in + "' '" + in + "'" + plugin(), 2, "is the input file"},
        {"render '" + in + "' '" + path("o.mp9") + "'" + plugin(), 2, "unknown output format"},
        {"render '" + in + "' '" + path("no/folder/o.wav") + "'" + plugin(), 1,
         "/no/folder\" does not exist"},
        {"render" + out + " --rate fast" + plugin(), 2, "bad value \"fast\" for --rate"},
        {"render" + out + " --rate 100" + plugin(), 2, "must be between 8000 and 384000"},
        {"render" + out + " --block 0" + plugin(), 2, "--block"},
        {"render" + out + " --tail -1" + plugin(), 2, "--tail"},
        {"render" + out + " --set Delay3" + plugin(), 2, "write NAME=VALUE"},
        {"render" + out + " --set Delay9=0.5" + plugin(), 2, "unknown parameter name \"Delay9\""},
        {"render" + out + " --set Delay3=1.5" + plugin(), 2, "between 0 and 1"},
        {"render" + out + " --set 181=0.5" + plugin(), 2, "out of range"},
        {"render" + out + " --wobble" + plugin(), 2, "unknown option --wobble"},
        {"render" + out + " --preset '" + path("short.fxp") + "'" + plugin(), 1, "short.fxp"},
        {"render" + out + " --preset '" + path("foreign.fxp") + "'" + plugin(), 1,
         "This is not a VorelanEn2 preset!"},
        {"render" + out + " --preset '" + path("none.fxp") + "'" + plugin(), 1, "cannot be opened"},
        {"render" + out + " --plugin '" + path("none.so") + "'", 1, "cannot load the plug-in"},
        {"render" + out + " --plugin '" + in + "'", 1, "cannot load the plug-in"},
        {"info extra" + plugin(), 2, "takes no file"},
        {"preset" + plugin(), 2, "show or save"},
        {"preset list extra" + plugin(), 2, "takes no file"},
        {"preset load" + plugin(), 2, "unknown preset command"},
        {"preset show" + plugin(), 2, "one preset"},
        {"preset show '" + path("foreign.fxp") + "'" + plugin(), 1, "This is not a VorelanEn2 preset!"},
        {"preset show '" + path("short.fxp") + "'" + plugin(), 1, "4 bytes"},
        {"preset save '" + path("no/folder/x.fxp") + "'" + plugin(), 1, "/no/folder\" does not exist"},
        {"preset save '" + path("y.fxp") + "' --from '" + path("short.fxp") + "'" + plugin(), 1, "short.fxp"},
    };
    for (const auto& c : cases) {
        const RunResult run = runTool(c.arguments);
        EXPECT_EQ(run.status, c.status) << "vorelan " << c.arguments << "\n" << run.output;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << "vorelan " << c.arguments << "\n"
                                                                 << run.output;
        EXPECT_EQ(run.output.find("System error"), std::string::npos)
            << "a library's own words: " << run.output;
    }
    for (const char* output : {"o.wav", "o.flac", "o.aiff", "o.ogg"})
        EXPECT_FALSE(fs::exists(path(output))) << "no failed command leaves an output behind: " << output;
    EXPECT_FALSE(fs::exists(path("y.fxp")));

    for (const char* command : {"render", "info", "preset"}) {
        const RunResult help = runTool(std::string(command) + " --help");
        EXPECT_EQ(help.status, 0) << command;
        EXPECT_NE(help.output.find("usage: vorelan " + std::string(command)), std::string::npos)
            << help.output;
    }
}

// Every command line the README shows for vorelan runs as written, in a folder holding the files they
// name, with the built tool as "vorelan" and a home folder of its own. The validator's long run is
// left to its own tests.
TEST_F(VorelanToolTest, TheReadmeExamplesRunAsWritten) {
    std::ifstream readme(std::string(VORELAN_SOURCE_DIR) + "/README.md");
    std::vector<std::string> examples;
    for (std::string line; std::getline(readme, line);) {
        if (line.rfind("    ", 0) != 0)
            continue;
        line =
            line.substr(4, line.find("  #") == std::string::npos ? std::string::npos : line.find("  #") - 4);
        const bool runsTool = line.rfind("vorelan ", 0) == 0 || line.find(" vorelan ") != std::string::npos;
        if (runsTool && line.find("validate") == std::string::npos)
            examples.push_back(line);
    }
    ASSERT_GE(examples.size(), 12u) << "the README's examples were not found";

    fs::create_directories(path("bin"));
    fs::create_directories(path("home"));
    fs::create_symlink(VORELAN_TOOL_PATH, path("bin/vorelan"));
    writeMonoInput(48000, "in.wav");
    writeMonoInput(48000, "in.flac");
    const std::string setting = "cd " + quoted(folder_.string()) +
                                " && unset XDG_DATA_HOME VST_PATH && export HOME=" + quoted(path("home")) +
                                " PATH=" + quoted(path("bin")) + ":\"$PATH\" && ";
    for (const std::string& example : examples) {
        const RunResult run = runShell(setting + example);
        EXPECT_EQ(run.status, 0) << example << "\n" << run.output;
    }
}

} // namespace
