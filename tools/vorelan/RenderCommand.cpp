#include "tools/vorelan/Arguments.h"
#include "tools/vorelan/AudioStream.h"
#include "tools/vorelan/CodePage.h"
#include "tools/vorelan/Commands.h"
#include "tools/vorelan/DemoSignal.h"
#include "tools/vorelan/OutputFile.h"
#include "tools/vorelan/PluginHost.h"
#include "tools/vorelan/PresetLibrary.h"
#include "tools/vorelan/Resampler.h"
#include "tools/vorelan/ToolError.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <unistd.h>

namespace vorelan {

namespace {

namespace fs = std::filesystem;

constexpr const char* kRenderHelp = R"(usage: vorelan render [IN] OUT [options]
       vorelan render IN... --out-dir DIR [options]

Runs audio files through the effect. Without IN, a built-in demo (about ten seconds of plucked chords, a
melody and drums) is rendered through the factory program. "-" as IN reads standard input; "-" as OUT
writes WAV to standard output. With --out-dir, every IN is rendered into DIR under its own name.

The output appears only when it is complete: it is written beside its final name and renamed at the
end, so a failure or an interruption leaves an older file of that name as it was. A replaced file keeps
its permissions; a symbolic link keeps pointing at its file, which gets the new contents.

  IN                 WAV, FLAC, AIFF, OGG and more, at 8000 to 384000 Hz (--rate resamples others);
                     mono is fed to both inputs; more than 2 channels are refused
  OUT                format from the extension: .wav (32-bit float unless --bits), .flac and .aiff
                     (24-bit unless --bits), .ogg (Vorbis)
  --bits 16|24|32    integer samples of that size (FLAC: 16 or 24); 16 bits are dithered
  --float            32-bit float samples (WAV, AIFF)
  --out-dir DIR      render several inputs into DIR (created when missing)
  --format EXT       with --out-dir: wav, flac, aiff or ogg (default: the input's own, else wav)
  --force            replace read-only output files (they stay read-only)
  --preset P         load a preset first: a .fxp file, a preset's name or the start of it (vorelan
                     preset list), or the factory program's name
  --set NAME=VALUE   set a parameter by name (Delay3=0.25) or index (38=0.25), value 0..1; repeatable
  --rate HZ          resample the input to this rate; the host reports it (default: the input's rate,
                     44100 for the demo)
  --tempo BPM        host tempo (default 120)
  --play             report the host transport as playing
  --block N          frames per processing call (default 512)
  --tail SECONDS     render this much silence after the input so the delays ring out
  --tail auto        (the default) render on until the output has stayed below -90 dBFS for 2.5 s,
                     at most 30 s, and keep it up to its last sound above that level
  -q, --quiet        no progress bar and no report of the files written (warnings still appear)
  --plugin PATH      the plug-in binary to host (default: the first VorelanEn2.so found beside the tool,
                     in VST_PATH, ~/.vst, ~/.lxvst, /usr/local/lib/vst or /usr/lib/vst)

After each file it reports the output's peak, and warns when that is above full scale. The same input
and options always give the same bytes (except Ogg files, whose streams carry a random serial number,
and presets with a "Random" LFO, which draws new values each time the plug-in starts).
)";

// The sample rates the effect runs at.
constexpr int kLowestRate = 8000;
constexpr int kHighestRate = 384000;

// The automatic tail: the output counts as silent below -90 dBFS; once it has stayed there for longer
// than the longest delay the effect can have (2 s), no echo can follow; a tail that rings on (feedback
// near its limit) is cut at the cap.
constexpr float kQuietLevel = 3.1622776e-5f; // -90 dBFS
constexpr double kQuietHoldSeconds = 2.5;
constexpr double kTailCapSeconds = 30;

struct Job {
    std::string input;  // empty: the built-in demo; "-": standard input
    std::string output; // "-": standard output
    OutputFormat format;
    double hostRate = 0;
    std::optional<std::int64_t> inputFrames; // at the host's rate, when the input's length is known
    std::optional<std::int64_t> frames;      // output frames, when known in advance (a fixed tail)
};

struct Options {
    std::optional<int> rate;
    double tempo = 120;
    int block = 512;
    std::optional<double> tail; // seconds; none: the automatic tail
    bool play = false;
    bool quiet = false;
    bool force = false;
    std::int64_t tailFrames(double hostRate) const {
        return std::llround((tail ? *tail : kTailCapSeconds) * hostRate);
    }
};

bool samePath(const std::string& a, const std::string& b) {
    std::error_code error;
    if (fs::exists(a, error) && fs::exists(b, error))
        return fs::equivalent(a, b, error);
    return fs::weakly_canonical(a, error) == fs::weakly_canonical(b, error);
}

std::string describeInput(const std::string& input) {
    return input.empty() ? "built-in demo" : input == "-" ? "standard input" : input;
}

// A bar on standard error, drawn only when that is a terminal.
class ProgressBar {
public:
    ProgressBar(std::string label, bool quiet)
        : enabled_(!quiet && isatty(fileno(stderr)) != 0), label_(std::move(label)) {}
    ~ProgressBar() {
        if (enabled_ && drawn_)
            std::fputs("\n", stderr);
    }
    void update(std::int64_t done, std::optional<std::int64_t> total) {
        if (!enabled_ || !total || *total <= 0)
            return;
        const int percent = static_cast<int>(std::min<std::int64_t>(done, *total) * 100 / *total);
        if (percent == lastPercent_)
            return;
        lastPercent_ = percent;
        drawn_ = true;
        const int filled = percent * 40 / 100;
        std::fprintf(stderr, "\rrendering %s[%.*s%.*s] %3d%%", label_.c_str(), filled,
                     "########################################", 40 - filled,
                     "                                        ", percent);
        std::fflush(stderr);
    }

private:
    bool enabled_;
    bool drawn_ = false;
    int lastPercent_ = -1;
    std::string label_;
};

// The jobs the command line asks for, with formats chosen and names checked.
std::vector<Job> planJobs(const Arguments& arguments) {
    const std::vector<std::string>& files = arguments.positional();
    std::optional<int> bits;
    if (const std::optional<std::string> text = arguments.value("--bits")) {
        bits = ParseInteger(*text, "--bits", 16, 32);
        if (*bits != 16 && *bits != 24 && *bits != 32)
            throw UsageError("bad value \"" + *text + "\" for --bits: use 16, 24 or 32");
    }
    const bool floating = arguments.flag("--float");
    const std::optional<std::string> outDir = arguments.value("--out-dir");
    const std::optional<std::string> formatName = arguments.value("--format");

    std::vector<Job> jobs;
    if (outDir) {
        if (files.empty())
            throw UsageError("render --out-dir needs at least one input file (vorelan render --help)");
        std::optional<Container> chosen;
        if (formatName && !(chosen = ContainerFor("." + *formatName)))
            throw UsageError("unknown format \"" + *formatName +
                             "\" for --format: use wav, flac, aiff or ogg");
        for (const std::string& input : files) {
            if (input == "-")
                throw UsageError("standard input has no name to render under in --out-dir; name the output "
                                 "instead: vorelan render - OUT");
            const Container container = chosen ? *chosen : ContainerFor(input).value_or(Container::Wav);
            const std::string stem = fs::path(input).stem().string();
            jobs.push_back({input,
                            (fs::path(*outDir) / (stem + ExtensionOf(container))).string(),
                            ChooseFormat(container, bits, floating),
                            0,
                            {},
                            {}});
        }
    } else {
        if (files.empty())
            throw UsageError(
                "render needs an output file, and at most one input file before it (vorelan render --help)");
        if (files.size() > 2)
            throw UsageError("render takes one input and one output; several inputs need --out-dir DIR");
        if (formatName)
            throw UsageError(
                "--format goes with --out-dir; otherwise the output's extension sets the format");
        const std::string& output = files.back();
        const std::optional<Container> container = output == "-" ? Container::Wav : ContainerFor(output);
        if (!container)
            throw UsageError("unknown output format for \"" + output + "\": use .wav, .flac, .aiff or .ogg");
        jobs.push_back({files.size() == 2 ? files[0] : std::string(),
                        output,
                        ChooseFormat(*container, bits, floating),
                        0,
                        {},
                        {}});
    }

    for (std::size_t i = 0; i < jobs.size(); ++i) {
        const Job& job = jobs[i];
        if (job.output == "-")
            continue;
        for (const Job& other : jobs)
            if (!other.input.empty() && other.input != "-" && samePath(other.input, job.output))
                throw UsageError("the output \"" + job.output + "\" is the input file " + other.input +
                                 "; choose another output name or folder");
        for (std::size_t j = 0; j < i; ++j)
            if (samePath(jobs[j].output, job.output))
                throw UsageError("the inputs " + jobs[j].input + " and " + job.input + " would both be " +
                                 "rendered into \"" + job.output + "\"");
    }
    return jobs;
}

std::unique_ptr<FrameSource> openInput(const Job& job, const Options& options) {
    if (job.input.empty()) {
        const double rate = options.rate ? *options.rate : 44100.0;
        StereoSignal demo = MakeDemoSignal(rate);
        return std::make_unique<MemorySource>(std::move(demo.left), std::move(demo.right), rate);
    }
    return std::make_unique<AudioReader>(job.input);
}

// Everything that can be checked before rendering: each input can be read at a rate the effect runs at
// (or that --rate converts), holds something to render, and each output's folder takes a new file in
// place of any old one, of a format whose encoder takes that rate.
void checkJobs(std::vector<Job>& jobs, const Options& options, std::unique_ptr<FrameSource>& standardInput) {
    for (Job& job : jobs) {
        std::unique_ptr<FrameSource> source = openInput(job, options);
        const double inputRate = source->SampleRate();
        const std::string input = job.input.empty()  ? "the demo"
                                  : job.input == "-" ? "standard input"
                                                     : "\"" + job.input + "\"";
        if (!options.rate && (inputRate < kLowestRate || inputRate > kHighestRate))
            throw ToolError(input + " is at " + std::to_string(static_cast<long>(inputRate)) +
                            " Hz; the effect runs at " + std::to_string(kLowestRate) + " to " +
                            std::to_string(kHighestRate) +
                            " Hz: resample it with --rate (--rate 48000, say)");
        job.hostRate = options.rate ? *options.rate : inputRate;
        if (!Resampler::Converts(inputRate, job.hostRate))
            throw ToolError("cannot resample " + input + " from " +
                            std::to_string(static_cast<long>(inputRate)) + " Hz to " +
                            std::to_string(static_cast<long>(job.hostRate)) +
                            " Hz: the rates may differ by a factor of 256 at most");
        if (const std::optional<std::int64_t> frames = source->Frames()) {
            job.inputFrames = std::llround(static_cast<double>(*frames) * (job.hostRate / inputRate));
            if (options.tail)
                job.frames = *job.inputFrames + options.tailFrames(job.hostRate);
            // With nothing in, the effect gives nothing out: the automatic tail is empty too.
            if (job.inputFrames == 0 && (!options.tail || job.frames == 0))
                throw ToolError("nothing to render: " + input + " holds no audio");
        }
        if (job.input == "-")
            standardInput = std::move(source); // a stream can be opened only once
        if (job.output == "-") {
            if (isatty(STDOUT_FILENO))
                throw UsageError("standard output is a terminal; redirect it into a file or a pipe");
            continue;
        }
        AtomicOutputFile probe(job.output, options.force);
        std::unique_ptr<AudioWriter> encoder = AudioWriter::Open(
            -1, job.format, static_cast<int>(job.hostRate), "\"" + job.output + "\"", std::nullopt);
        const float silence[1] = {0.0f};
        encoder->Write(silence, silence, 1);
        encoder->Finish();
    }
}

// The folder --out-dir names, created with its missing parents; they go again when the command fails
// before anything was rendered into them (Keep was not called).
class OutputFolder {
public:
    explicit OutputFolder(const std::optional<std::string>& folder) {
        if (!folder)
            return;
        std::error_code error;
        for (fs::path level = fs::path(*folder).lexically_normal();
             !level.empty() && !fs::exists(level, error); level = level.parent_path())
            created_.push_back(level);
        if (!fs::create_directories(*folder, error) && error)
            throw ToolError("cannot create the folder \"" + *folder +
                            "\" for --out-dir: " + FileErrorText(error.value()));
    }
    ~OutputFolder() {
        std::error_code error;
        for (const fs::path& level : created_)
            fs::remove(level, error); // only an empty folder is removed
    }
    void Keep() { created_.clear(); }

private:
    std::vector<fs::path> created_; // deepest first
};

std::string peakText(float peak) {
    if (!(peak > 0))
        return "silent";
    char text[32];
    std::snprintf(text, sizeof text, "%+.2f dBFS", 20.0 * std::log10(static_cast<double>(peak)));
    return text;
}

struct RenderResult {
    std::int64_t frames = 0;
    std::int64_t tailFrames = 0;
    float peak = 0;
    std::int64_t overs = 0;
    bool stillRinging = false; // the automatic tail reached its cap
    std::string program;
};

// Ends the automatic tail. Frames after the last one above the quiet level are held back; a louder
// frame sends them on, and once they span the hold time the tail is over and they are dropped.
class QuietEnd {
public:
    explicit QuietEnd(double rate)
        : hold_(static_cast<std::size_t>(std::llround(kQuietHoldSeconds * rate))) {}

    // Takes a block of the tail and writes what is certain to stay. True once the tail is over.
    bool Take(const float* left, const float* right, std::size_t frames, AudioWriter& writer) {
        std::size_t quietFrom = frames;
        while (quietFrom > 0 && std::fabs(left[quietFrom - 1]) < kQuietLevel &&
               std::fabs(right[quietFrom - 1]) < kQuietLevel)
            --quietFrom;
        if (quietFrom > 0) {
            writer.Write(heldLeft_.data(), heldRight_.data(), heldLeft_.size());
            writer.Write(left, right, quietFrom);
            heldLeft_.clear();
            heldRight_.clear();
        }
        heldLeft_.insert(heldLeft_.end(), left + quietFrom, left + frames);
        heldRight_.insert(heldRight_.end(), right + quietFrom, right + frames);
        return heldLeft_.size() >= hold_;
    }

private:
    std::size_t hold_;
    std::vector<float> heldLeft_, heldRight_;
};

RenderResult renderJob(const Job& job, const Options& options, const std::string& pluginPath,
                       const std::optional<std::string>& preset, const std::vector<std::string>& settings,
                       std::unique_ptr<FrameSource> source, const std::string& label) {
    PluginHost host(pluginPath);
    host.SetSampleRate(job.hostRate);
    host.SetTempo(options.tempo);
    host.SetPlaying(options.play);
    host.SetBlockSize(options.block);
    host.Start();
    if (preset)
        ApplyPresetFile(host, *preset);
    ApplySettings(host, settings);

    std::unique_ptr<Resampler> resampler;
    FrameSource* input = source.get();
    if (job.hostRate != source->SampleRate()) {
        resampler = std::make_unique<Resampler>(*source, job.hostRate);
        input = resampler.get();
    }

    std::unique_ptr<AtomicOutputFile> file;
    if (job.output != "-")
        file = std::make_unique<AtomicOutputFile>(job.output, options.force);
    const std::string name = job.output == "-" ? "standard output" : "\"" + job.output + "\"";
    std::unique_ptr<AudioWriter> writer = AudioWriter::Open(file ? file->fd() : STDOUT_FILENO, job.format,
                                                            static_cast<int>(job.hostRate), name, job.frames);

    const auto block = static_cast<std::size_t>(options.block);
    std::vector<float> inL(block), inR(block), outL(block), outR(block);
    const float* in[2] = {inL.data(), inR.data()};
    float* out[2] = {outL.data(), outR.data()};
    ProgressBar bar(label, options.quiet);
    const std::optional<std::int64_t> total = job.frames ? job.frames : job.inputFrames;

    // The input, in whole blocks while it lasts.
    for (std::size_t frames = block; frames == block;) {
        frames = 0;
        while (frames < block) {
            const std::size_t got = input->Read(inL.data() + frames, inR.data() + frames, block - frames);
            if (got == 0)
                break;
            frames += got;
        }
        if (frames == 0)
            break;
        host.ProcessBlock(in, out, static_cast<int>(frames));
        writer->Write(outL.data(), outR.data(), frames);
        bar.update(writer->FramesWritten(), total);
    }

    // Then silence, for a fixed time or until the output stays quiet.
    const std::int64_t inputEnd = writer->FramesWritten();
    std::fill(inL.begin(), inL.end(), 0.0f);
    std::fill(inR.begin(), inR.end(), 0.0f);
    std::optional<QuietEnd> quietEnd;
    if (!options.tail)
        quietEnd.emplace(job.hostRate);
    bool over = false;
    for (std::int64_t left = options.tailFrames(job.hostRate); left > 0 && !over;) {
        const auto frames =
            static_cast<std::size_t>(std::min<std::int64_t>(left, static_cast<std::int64_t>(block)));
        host.ProcessBlock(in, out, static_cast<int>(frames));
        left -= static_cast<std::int64_t>(frames);
        if (quietEnd)
            over = quietEnd->Take(outL.data(), outR.data(), frames, *writer);
        else
            writer->Write(outL.data(), outR.data(), frames);
        bar.update(writer->FramesWritten(), total);
    }

    RenderResult result{writer->FramesWritten(), writer->FramesWritten() - inputEnd,
                        writer->Peak(),          writer->Overs(),
                        quietEnd && !over,       CodePageToUtf8(host.ProgramName())};
    if (result.frames == 0)
        throw ToolError("nothing to render: " + describeInput(job.input) +
                        " holds no audio, and the effect gave none after it; " + name + " was not written");
    writer->Finish();
    if (file)
        file->Commit();
    return result;
}

} // namespace

int RunRender(const std::vector<std::string>& args) {
    const Arguments arguments(args,
                              {"--preset", "--set", "--rate", "--tempo", "--block", "--tail", "--plugin",
                               "--bits", "--out-dir", "--format"},
                              {"--play", "--float", "--force", "-q", "--quiet"});
    if (arguments.help()) {
        std::cout << kRenderHelp;
        return kExitOk;
    }
    std::vector<Job> jobs = planJobs(arguments);

    // Every option is checked before any work is done.
    Options options;
    if (const std::optional<std::string> rate = arguments.value("--rate"))
        options.rate = ParseInteger(*rate, "--rate", kLowestRate, kHighestRate);
    options.tempo = ParseNumber(arguments.value("--tempo").value_or("120"), "--tempo", 1, 999);
    options.block = ParseInteger(arguments.value("--block").value_or("512"), "--block", 1, 65536);
    if (const std::string tail = arguments.value("--tail").value_or("auto"); tail != "auto")
        options.tail = ParseNumber(tail, "--tail (seconds, or auto)", 0, 3600);
    options.play = arguments.flag("--play");
    options.quiet = arguments.flag("-q") || arguments.flag("--quiet");
    options.force = arguments.flag("--force");
    const std::optional<std::string> plugin = arguments.value("--plugin");
    const std::string pluginPath = PluginPath(plugin ? &*plugin : nullptr);
    std::optional<std::string> preset;
    if (const std::optional<std::string> chosen = arguments.value("--preset"))
        if (const PresetChoice choice = FindPreset(*chosen); !choice.factory())
            preset = choice.path;

    RemoveTemporaryFilesOnSignals();
    OutputFolder outDir(arguments.value("--out-dir"));
    std::unique_ptr<FrameSource> standardInput;
    checkJobs(jobs, options, standardInput);
    outDir.Keep();

    // With audio on standard output, the reports go to standard error.
    bool toStdout = false;
    for (const Job& job : jobs)
        toStdout = toStdout || job.output == "-";
    std::ostream& report = toStdout ? std::cerr : std::cout;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        const Job& job = jobs[i];
        std::unique_ptr<FrameSource> source =
            job.input == "-" ? std::move(standardInput) : openInput(job, options);
        const std::string label = jobs.size() > 1 ? fs::path(job.input).filename().string() + " " : "";
        const RenderResult result =
            renderJob(job, options, pluginPath, preset, arguments.values("--set"), std::move(source), label);
        const std::string shown = job.output == "-" ? "standard output" : job.output;
        char tail[32];
        std::snprintf(tail, sizeof tail, "%.2f s", static_cast<double>(result.tailFrames) / job.hostRate);
        if (!options.quiet)
            report << "wrote " << shown << ": " << result.frames << " frames, 2 channels, "
                   << static_cast<int>(job.hostRate) << " Hz, " << Describe(job.format) << ", tail " << tail
                   << " (" << describeInput(job.input) << ", program \"" << result.program << "\"); peak "
                   << peakText(result.peak) << "\n";
        if (result.stillRinging)
            std::cerr << "vorelan: warning: " << shown << " still rings after the longest automatic tail, "
                      << kTailCapSeconds << " s, and was cut there; --tail SECONDS renders a longer one\n";
        if (result.peak > 1.0f) {
            std::cerr << "vorelan: warning: " << shown << " peaks at " << peakText(result.peak)
                      << ", above full scale: ";
            if (job.format.encoding == Encoding::Float || job.format.encoding == Encoding::Vorbis)
                std::cerr << "the file keeps the " << result.overs
                          << " samples beyond it, but playing or converting it will clip them.";
            else
                std::cerr << result.overs << " samples were clipped at full scale in the "
                          << Describe(job.format) << " file.";
            std::cerr << " Lower OutGain (--set OutGain=...) or the input level.\n";
        }
    }
    return kExitOk;
}

} // namespace vorelan
