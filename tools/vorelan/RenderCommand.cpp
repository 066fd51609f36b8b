#include "tools/vorelan/Arguments.h"
#include "tools/vorelan/AudioFile.h"
#include "tools/vorelan/Commands.h"
#include "tools/vorelan/DemoSignal.h"
#include "tools/vorelan/PluginHost.h"
#include "tools/vorelan/ToolError.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <unistd.h>

namespace vorelan {

namespace {

constexpr const char* kRenderHelp = R"(usage: vorelan render [IN] OUT [options]

Runs an audio file through the effect and writes the result. Without IN, a built-in demo (about ten
seconds of plucked chords, a melody and drums) is rendered through the factory program.

  IN                 WAV, FLAC, AIFF or OGG; mono is fed to both inputs; more than 2 channels are refused
  OUT                format from the extension: .wav (32-bit float), .flac, .aiff (24-bit), .ogg
  --preset F.fxp     load a preset file before rendering
  --set NAME=VALUE   set a parameter by name (Delay3=0.25) or index (38=0.25), value 0..1; repeatable
  --rate HZ          sample rate the host reports (default: the input file's, 44100 for the demo)
  --tempo BPM        host tempo (default 120)
  --play             report the host transport as playing
  --block N          frames per processing call (default 512)
  --tail SECONDS     render this much silence after the input so the delays ring out (default 0)
  --plugin PATH      the plug-in binary to host
)";

bool samePath(const std::string& a, const std::string& b) {
    namespace fs = std::filesystem;
    std::error_code error;
    if (fs::exists(a, error) && fs::exists(b, error))
        return fs::equivalent(a, b, error);
    return fs::weakly_canonical(a, error) == fs::weakly_canonical(b, error);
}

// A bar on standard error, drawn only when that is a terminal.
class ProgressBar {
public:
    ProgressBar() : enabled_(isatty(fileno(stderr)) != 0) {}
    ~ProgressBar() {
        if (enabled_ && drawn_)
            std::fputs("\n", stderr);
    }
    void update(std::size_t done, std::size_t total) {
        if (!enabled_ || total == 0)
            return;
        const int percent = static_cast<int>(done * 100 / total);
        if (percent == lastPercent_)
            return;
        lastPercent_ = percent;
        drawn_ = true;
        const int filled = percent * 40 / 100;
        std::fprintf(stderr, "\rrendering [%.*s%.*s] %3d%%", filled,
                     "########################################", 40 - filled,
                     "                                        ", percent);
        std::fflush(stderr);
    }

private:
    bool enabled_;
    bool drawn_ = false;
    int lastPercent_ = -1;
};

} // namespace

int RunRender(const std::vector<std::string>& args) {
    const Arguments arguments(
        args, {"--preset", "--set", "--rate", "--tempo", "--block", "--tail", "--plugin"}, {"--play"});
    if (arguments.help()) {
        std::cout << kRenderHelp;
        return kExitOk;
    }
    const std::vector<std::string>& files = arguments.positional();
    if (files.empty() || files.size() > 2)
        throw UsageError(
            "render needs an output file, and at most one input file before it (vorelan render --help)");
    const std::string outPath = files.back();
    const std::string* inPath = files.size() == 2 ? &files[0] : nullptr;
    if (AudioFormatFor(outPath) == 0)
        throw UsageError("unknown output format for \"" + outPath + "\": use .wav, .flac, .aiff or .ogg");
    if (inPath && samePath(*inPath, outPath))
        throw UsageError("the output \"" + outPath + "\" is the input file; choose another output name");

    // Check every option before any work is done.
    const std::optional<std::string> rateText = arguments.value("--rate");
    const double chosenRate = rateText ? ParseNumber(*rateText, "--rate", 8000, 384000) : 0.0;
    const double tempo = ParseNumber(arguments.value("--tempo").value_or("120"), "--tempo", 1, 999);
    const int block = ParseInteger(arguments.value("--block").value_or("512"), "--block", 1, 65536);
    const double tail = ParseNumber(arguments.value("--tail").value_or("0"), "--tail", 0, 3600);
    const std::optional<std::string> plugin = arguments.value("--plugin");

    AudioFile input;
    if (inPath) {
        input = ReadAudioFile(*inPath);
    } else {
        input.sampleRate = rateText ? static_cast<int>(chosenRate + 0.5) : 44100;
        input.channels = 2;
        input.signal = MakeDemoSignal(input.sampleRate);
    }
    const double hostRate = rateText ? chosenRate : input.sampleRate;
    const auto tailFrames = static_cast<std::size_t>(tail * hostRate + 0.5);
    input.signal.left.resize(input.signal.frames() + tailFrames, 0.0f);
    input.signal.right.resize(input.signal.left.size(), 0.0f);

    PluginHost host(PluginPath(plugin ? &*plugin : nullptr));
    host.SetSampleRate(hostRate);
    host.SetTempo(tempo);
    host.SetPlaying(arguments.flag("--play"));
    host.SetBlockSize(block);
    host.Start();
    if (const std::optional<std::string> preset = arguments.value("--preset"))
        ApplyPresetFile(host, *preset);
    ApplySettings(host, arguments.values("--set"));

    StereoSignal output;
    {
        ProgressBar bar;
        output =
            host.Render(input.signal, [&](std::size_t done, std::size_t total) { bar.update(done, total); });
    }
    const int outRate = static_cast<int>(hostRate + 0.5);
    WriteAudioFile(outPath, output, outRate);
    std::cout << "wrote " << outPath << ": " << output.frames() << " frames, 2 channels, " << outRate
              << " Hz (" << (inPath ? *inPath : std::string("built-in demo")) << ", program \""
              << host.ProgramName() << "\")\n";
    return kExitOk;
}

} // namespace vorelan
