// vorelan render as a careful user relies on it: whole files or none, replaced as other tools replace
// them, resampling, bounded memory, sample formats, pipes other programs read, several files, the
// automatic tail and the peak report.
#include "tests/unit/tools/ToolTestSupport.h"
#include "tools/vorelan/AudioFile.h"

#include <chrono>
#include <csignal>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <thread>

namespace {

using namespace tooltest;

std::string contents(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Starts the tool with a shell command line (exec'd, so the process is the tool itself).
pid_t startTool(const std::string& arguments) {
    const std::string command = "exec " + quoted(VORELAN_TOOL_PATH) + " " + arguments + " >/dev/null 2>&1";
    const pid_t pid = fork();
    if (pid == 0) {
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    return pid;
}

// Frequency of the tone in the middle of a signal, from its rising zero crossings.
double toneFrequency(const std::vector<float>& samples, int rate) {
    const std::size_t begin = samples.size() / 10, end = samples.size() * 9 / 10;
    std::size_t first = 0, last = 0, crossings = 0;
    for (std::size_t i = begin + 1; i < end; ++i)
        if (samples[i - 1] < 0 && samples[i] >= 0) {
            if (crossings++ == 0)
                first = i;
            last = i;
        }
    return crossings < 2 ? 0
                         : (crossings - 1) * static_cast<double>(rate) / static_cast<double>(last - first);
}

class RenderCommandTest : public ToolTest {};

TEST_F(RenderCommandTest, FailuresLeaveTheOldFileAndNothingHalfWritten) {
    const std::string in = writeMonoInput(96000);
    const std::string out = path("out.wav");
    { std::ofstream(out, std::ios::binary) << "the take we keep"; }
    const std::string render = "render " + quoted(in) + " " + quoted(out) + pluginOption();
    const std::string shim = "LD_PRELOAD=" + quoted(VORELAN_FAILING_FILES);
    const std::vector<std::string> before = listing();

    // A disk that fills up part-way through the file.
    RunResult run = runTool(render + " --tail 5", shim + " VORELAN_TEST_DISK_BYTES=300000");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("out.wav\": the disk is full"), std::string::npos) << run.output;
    EXPECT_TRUE(contents(out) == "the take we keep") << "a failed render replaced the old file";
    EXPECT_EQ(listing(), before) << "a failed render left a file behind";
    // The same through an encoder: the disk is named, not the encoder.
    run = runTool("render " + quoted(in) + " " + quoted(path("out.ogg")) + " --tail 5" + pluginOption(),
                  shim + " VORELAN_TEST_DISK_BYTES=3000");
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("out.ogg\": the disk is full"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("encoder"), std::string::npos) << run.output;
    EXPECT_EQ(listing(), before);

    // A folder where no file may be created: refused before any rendering.
    run = runTool(render, shim + " VORELAN_TEST_DENY_FOLDER=" + quoted(folder_.string()));
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("no file can be created in the folder"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("(permission denied)"), std::string::npos) << run.output;

    // An encoder that refuses the rate, found out before rendering.
    run = runTool("render " + quoted(in) + " " + quoted(path("out.ogg")) + " --rate 384000" + pluginOption());
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("encoder does not take 384000 Hz"), std::string::npos) << run.output;
    EXPECT_EQ(listing(), before);

    // Ended by a signal while rendering a long tail: the temporary file goes, the old file stays.
    for (const int signal : {SIGINT, SIGTERM, SIGPIPE}) {
        const pid_t pid = startTool(render + " --tail 3000");
        bool started = false;
        for (int wait = 0; wait < 1000 && !started; ++wait) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            started = listing().size() > before.size();
        }
        ASSERT_TRUE(started) << "no temporary file appeared";
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        kill(pid, signal);
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << "the tool ends as the signal asks";
        EXPECT_TRUE(contents(out) == "the take we keep") << "signal " << signal << " replaced the old file";
        EXPECT_EQ(listing(), before) << "signal " << signal << " left a temporary file";
    }
}

TEST_F(RenderCommandTest, ResamplingKeepsPitchAndLength) {
    const std::string in = writeMono("tone.wav", 48000, 48000, [](std::size_t i) {
        return 0.5 * std::sin(2 * 3.14159265358979 * 1000.0 * i / 48000.0);
    });
    for (const int rate : {96000, 44100, 8000}) {
        const std::string out = path("tone-" + std::to_string(rate) + ".wav");
        const RunResult run = runTool("render " + quoted(in) + " " + quoted(out) + " --rate " +
                                      std::to_string(rate) + " --set Mix=0" + pluginOption());
        ASSERT_EQ(run.status, 0) << run.output;
        const vorelan::AudioFile audio = vorelan::ReadAudioFile(out);
        EXPECT_EQ(audio.sampleRate, rate);
        EXPECT_EQ(audio.signal.frames(), static_cast<std::size_t>(rate)) << "one second stays one second";
        EXPECT_NEAR(toneFrequency(audio.signal.left, rate), 1000.0, 0.5) << "at " << rate << " Hz";
    }
    // A file at a rate the effect does not run at renders once --rate converts it.
    const std::string slow = writeMono("slow.wav", 4000, 4000, [](std::size_t i) { return 0.1 * (i % 2); });
    const RunResult run = runTool("render " + quoted(slow) + " " + quoted(path("slow-out.wav")) +
                                  " --rate 8000 --tail 0" + pluginOption());
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(vorelan::ReadAudioFile(path("slow-out.wav")).signal.frames(), 8000u);
}

TEST_F(RenderCommandTest, MemoryStaysBoundedForALongInput) {
    // Ten minutes at 8 kHz: held in memory (input, output and their copies) it would take over 100 MB.
    const auto tone = [](std::size_t i) { return 0.3 * std::sin(0.05 * static_cast<double>(i % 100000)); };
    const std::string shortInput = writeMono("short.wav", 8000, 8000, tone, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    const std::string longInput =
        writeMono("long.wav", 8000 * 600, 8000, tone, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    long peakKilobytes[2] = {0, 0};
    const std::string inputs[2] = {shortInput, longInput};
    for (int i = 0; i < 2; ++i) {
        const pid_t pid = startTool("render " + quoted(inputs[i]) + " " + quoted(path("out.wav")) +
                                    " --bits 16 --tail 60" + pluginOption());
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        peakKilobytes[i] = usage.ru_maxrss;
    }
    EXPECT_EQ(vorelan::ReadAudioFile(path("out.wav")).signal.frames(), 8000u * 660);
    EXPECT_LT(peakKilobytes[1] - peakKilobytes[0], 16 * 1024)
        << "peak memory grew from " << peakKilobytes[0] << " kB to " << peakKilobytes[1] << " kB";
}

TEST_F(RenderCommandTest, FormatsPipesSeveralFilesAndPeakReports) {
    const std::string in = writeMonoInput(24000);
    const auto render = [&](const std::string& out, const std::string& options) {
        return runTool("render " + quoted(in) + " " + quoted(path(out)) + " " + options + pluginOption());
    };
    const struct {
        std::string file, options;
        int format;
    } formats[] = {
        {"f.wav", "", SF_FORMAT_WAV | SF_FORMAT_FLOAT},
        {"i16.wav", "--bits 16", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
        {"i24.wav", "--bits 24", SF_FORMAT_WAV | SF_FORMAT_PCM_24},
        {"i32.wav", "--bits 32", SF_FORMAT_WAV | SF_FORMAT_PCM_32},
        {"i16.flac", "--bits 16", SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
        {"f.aiff", "--float", SF_FORMAT_AIFF | SF_FORMAT_FLOAT},
        {"i24.aiff", "", SF_FORMAT_AIFF | SF_FORMAT_PCM_24},
    };
    const vorelan::AudioFile reference = (render("f.wav", ""), vorelan::ReadAudioFile(path("f.wav")));
    for (const auto& f : formats) {
        RunResult run = render(f.file, f.options);
        ASSERT_EQ(run.status, 0) << run.output;
        EXPECT_NE(run.output.find("; peak -"), std::string::npos) << run.output;
        const std::string first = contents(path(f.file));
        ASSERT_EQ(render(f.file, f.options).status, 0);
        EXPECT_EQ(contents(path(f.file)), first) << f.file << " is not byte-reproducible";
        SF_INFO info{};
        SNDFILE* file = sf_open(path(f.file).c_str(), SFM_READ, &info);
        ASSERT_NE(file, nullptr) << f.file << ": " << sf_strerror(nullptr);
        sf_close(file);
        EXPECT_EQ(info.format, f.format) << f.file;
        const vorelan::AudioFile audio = vorelan::ReadAudioFile(path(f.file));
        ASSERT_EQ(audio.signal.frames(), reference.signal.frames());
        double error = 0;
        for (std::size_t i = 0; i < audio.signal.frames(); ++i)
            error = std::max<double>(error, std::fabs(audio.signal.left[i] - reference.signal.left[i]));
        EXPECT_LT(error, 2.0 / 32768) << f.file << " differs from the float render by more than dither";
    }

    // Standard input to standard output, in a pipe: the same samples as file to file, the length
    // unknown to the header (a pipe in, the automatic tail out).
    const std::string tool = quoted(VORELAN_TOOL_PATH) + " render ";
    const RunResult piped = runShell("cat " + quoted(in) + " | " + tool + "- - " + pluginOption() + " 2>" +
                                     quoted(path("report")) + " | cat > " + quoted(path("piped.wav")));
    ASSERT_EQ(piped.status, 0) << piped.output;
    EXPECT_EQ(
        contents(path("report"))
            .rfind("wrote standard output: " + std::to_string(reference.signal.frames()) + " frames", 0),
        0u)
        << "the report goes to standard error";
    EXPECT_EQ(vorelan::ReadAudioFile(path("piped.wav")).signal.left, reference.signal.left);
    // Programs that learn the format from the first bytes of a pipe read it, with the length known or
    // not, and a stream shorter than their first read.
    const std::string tiny = writeMono("tiny.wav", 3, 48000, [](std::size_t) { return 0.25; });
    for (const std::string& reader : {std::string("sox -V1 - "), std::string("ffmpeg -loglevel error -i - ")})
        for (const std::string& source : {quoted(in), "- <" + quoted(in), quoted(tiny) + " --tail 0"}) {
            const std::string command =
                tool + source + " - -q" + pluginOption() + " | " + reader + quoted(path("read.flac"));
            const RunResult read = runShell(command);
            ASSERT_EQ(read.status, 0) << command << "\n" << read.output;
            EXPECT_EQ(read.output, "") << command;
            EXPECT_EQ(vorelan::ReadAudioFile(path("read.flac")).signal.frames(),
                      source == quoted(tiny) + " --tail 0" ? 3u : reference.signal.frames())
                << command;
            fs::remove(path("read.flac"));
        }

    // Several inputs into a folder, each under its own name.
    const std::string second = writeMonoInput(12000, "second.flac");
    fs::create_directories(path("other"));
    fs::copy_file(in, path("other/in.wav"));
    RunResult batch = runTool("render " + quoted(in) + " " + quoted(second) + " --out-dir " +
                              quoted(path("batch")) + " --format aiff --tail 0" + pluginOption());
    ASSERT_EQ(batch.status, 0) << batch.output;
    EXPECT_EQ(vorelan::ReadAudioFile(path("batch/in.aiff")).signal.frames(), 24000u);
    EXPECT_EQ(vorelan::ReadAudioFile(path("batch/second.aiff")).signal.frames(), 12000u);
    batch = runTool("render " + quoted(in) + " " + quoted(path("other/in.wav")) + " --out-dir " +
                    quoted(path("batch")) + pluginOption());
    EXPECT_EQ(batch.status, 2);
    EXPECT_NE(batch.output.find("would both be rendered into"), std::string::npos) << batch.output;

    // Above full scale: the report says so and what the format did about it.
    const std::string hot =
        writeMono("hot.wav", 24000, 48000, [](std::size_t i) { return std::sin(0.01 * i); });
    RunResult loud = runTool("render " + quoted(hot) + " " + quoted(path("hot24.wav")) +
                             " --bits 24 --set InpGain=1 --set OutGain=1" + pluginOption());
    ASSERT_EQ(loud.status, 0) << loud.output;
    EXPECT_NE(loud.output.find("above full scale"), std::string::npos) << loud.output;
    EXPECT_NE(loud.output.find("samples were clipped at full scale in the 24-bit WAV file"),
              std::string::npos)
        << loud.output;

    const RunResult version = runTool("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.output.rfind("vorelan 1.", 0), 0u) << version.output;
}

TEST_F(RenderCommandTest, OutputsAreReplacedAsOtherToolsReplaceThem) {
    const std::string in = writeMonoInput(4800);
    const auto render = [&](const std::string& out, const std::string& options = "") {
        return runTool("render " + quoted(in) + " " + quoted(out) + " --tail 0 " + options + pluginOption());
    };
    const auto frames = [](const std::string& file) { return vorelan::ReadAudioFile(file).signal.frames(); };
    const auto permissions = [](const std::string& file) {
        return fs::status(file).permissions() & fs::perms::all;
    };
    using fs::perms;

    // A replaced file keeps its permissions.
    { std::ofstream(path("kept.wav")) << "old"; }
    fs::permissions(path("kept.wav"), perms::owner_read | perms::owner_write | perms::group_read);
    ASSERT_EQ(render(path("kept.wav")).status, 0);
    EXPECT_EQ(permissions(path("kept.wav")), perms::owner_read | perms::owner_write | perms::group_read);
    EXPECT_EQ(frames(path("kept.wav")), 4800u);

    // A symbolic link keeps pointing at its file, which gets the new contents.
    fs::create_directories(path("takes"));
    { std::ofstream(path("takes/take1.wav")) << "old"; }
    fs::create_symlink("takes/take1.wav", path("current.wav"));
    ASSERT_EQ(render(path("current.wav")).status, 0);
    EXPECT_TRUE(fs::is_symlink(path("current.wav")));
    EXPECT_EQ(frames(path("takes/take1.wav")), 4800u);

    // A read-only file is replaced only with --force, and stays read-only.
    { std::ofstream(path("final.wav")) << "approved"; }
    fs::permissions(path("final.wav"), perms::owner_read | perms::group_read);
    RunResult run = render(path("final.wav"));
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("the file is read-only; --force replaces it"), std::string::npos) << run.output;
    EXPECT_EQ(contents(path("final.wav")), "approved");
    ASSERT_EQ(render(path("final.wav"), "--force").status, 0);
    EXPECT_EQ(frames(path("final.wav")), 4800u);
    EXPECT_EQ(permissions(path("final.wav")), perms::owner_read | perms::group_read);

    // Any name a file may have, up to 255 bytes (the temporary name is shortened, never cut inside a
    // character).
    for (const std::string& name : {std::string(231, 'n') + ".wav", std::string(251, 'n') + ".wav",
                                    "\xC3\xA9" + std::string(249, 'e') + ".wav"}) {
        run = render(path(name));
        ASSERT_EQ(run.status, 0) << name.size() << " bytes: " << run.output;
        EXPECT_EQ(frames(path(name)), 4800u);
    }

    // --out-dir creates its folder; a command that fails before rendering takes it away again.
    run = runTool("render " + quoted(in) + " --tail 0 --out-dir " + quoted(path("new/deeper")) +
                  pluginOption());
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(frames(path("new/deeper/in.wav")), 4800u);
    run = runTool("render " + quoted(path("missing.wav")) + " --out-dir " + quoted(path("other/deeper")) +
                  pluginOption());
    EXPECT_EQ(run.status, 1);
    EXPECT_FALSE(fs::exists(path("other")));
}

TEST_F(RenderCommandTest, TheAutomaticTailKeepsEveryEchoAndNoMore) {
    const std::string in = writeMonoInput(24000);
    const float quiet = 3.1622776e-5f; // -90 dBFS
    const auto loudest = [](const vorelan::StereoSignal& s, std::size_t from, std::size_t to) {
        float peak = 0;
        for (std::size_t i = from; i < to; ++i)
            peak = std::max({peak, std::fabs(s.left[i]), std::fabs(s.right[i])});
        return peak;
    };
    // A preset whose echoes ring, found by the start of its name; the automatic tail is the default.
    const std::string render = "render " + quoted(in) + " ";
    RunResult run = runTool(render + quoted(path("auto.wav")) + " --preset 'dotted echo'" + pluginOption());
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("program \"Dotted Echo Chorus\""), std::string::npos) << run.output;
    run =
        runTool(render + quoted(path("fixed.wav")) + " --preset 'dotted echo' --tail 20 -q" + pluginOption());
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output, "") << "-q reports nothing";

    const vorelan::StereoSignal automatic = vorelan::ReadAudioFile(path("auto.wav")).signal;
    const vorelan::StereoSignal fixed = vorelan::ReadAudioFile(path("fixed.wav")).signal;
    const std::size_t end = automatic.frames();
    ASSERT_GT(end, 24000u + 48000u) << "the echoes ring for more than a second after the input";
    ASSERT_LT(end, fixed.frames());
    EXPECT_TRUE(std::equal(automatic.left.begin(), automatic.left.end(), fixed.left.begin()) &&
                std::equal(automatic.right.begin(), automatic.right.end(), fixed.right.begin()))
        << "the automatic tail is the start of a long fixed one";
    EXPECT_GE(loudest(automatic, end - 1, end), quiet) << "it ends with its last sound";
    EXPECT_LT(loudest(fixed, end, fixed.frames()), quiet) << "nothing above -90 dBFS comes after it";

    // Feedback that rings for ever is cut at the cap, with a warning.
    run =
        runTool(render + quoted(path("ringing.wav")) + " -q --set Feeds1=1 --set Feeds2=1" + pluginOption());
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find("still rings after the longest automatic tail, 30 s"), std::string::npos)
        << run.output;
    EXPECT_EQ(vorelan::ReadAudioFile(path("ringing.wav")).signal.frames(), 24000u + 30 * 48000u);
}

} // namespace
