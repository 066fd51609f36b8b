#include "tools/validate/ValidateCommand.h"

#include "tests/host/lib/PluginLibrary.h"
#include "tools/validate/Lv2Session.h"
#include "tools/validate/Platform.h"
#include "tools/validate/ValidateOptions.h"
#include "tools/validate/Validator.h"
#include "tools/validate/Whereabouts.h"
#include "tools/vorelan/Arguments.h"
#include "tools/vorelan/ToolError.h"

#ifndef _WIN32
#include "tools/validate/Lv2Host.h"
#endif

#include <cstdio>
#include <memory>
#include <sstream>

namespace validate {

namespace {

constexpr const char* kHelp = R"(usage: %s [options]

Drives the plug-in as a hostile host would and checks it after every call: random sequences of every
dispatcher opcode with hostile arguments, parameter writes in and out of range (NaN, infinities),
sample rates and block sizes changing mid-stream, time information absent, sane or hostile, inputs of
silence, noise, denormals, DC, NaN and infinities, in-place buffers, editor sessions, reloads, and
calls under a hostile floating-point state, editors in host windows that are destroyed first or are
no windows at all. After every call: outputs finite and within the bound, every frame of
processReplacing written, nothing written outside the block or a host buffer, inputs untouched,
parameters read back as set (clamped to 0..1), the effect record unchanged, the caller's
floating-point state given back, no heap allocation on the audio thread (where counted), and no
window-system error of the editor reaching the host. Objects that live through the whole run render
programs in blocks of random sizes, in place and accumulating: the sound must equal the same program
rendered in whole blocks bit for bit, stay within what the program allows and, with --reference,
match the reference engine up to rounding.

With --lv2 it drives the LV2 plug-in the same way, as an LV2 host would: instances made with and
without block-length options and features, control ports written with any value, time positions and the
interface's messages inside runs, runs in place and with atom ports unconnected, activations, states
saved and restored; with --plugin as well, its sound must equal the VST 2 plug-in's bit for bit.

A finding is shown with the command that replays it, then cut down to a minimal step list, which is
printed and saved so that --replay runs it again.

options:
  --plugin PATH     the plug-in binary (default: %s)
  --lv2 PLUGIN      the LV2 plug-in instead: its bundle folder, its processor binary or its URI
                    (Linux only; --plugin then names the VST 2 binary to compare the sound with)
  --seed S          the first seed (default 1); the same seed gives the same steps everywhere
  --steps N         steps per seed (default 100000)
  --seeds K         how many seeds to run, S, S+1, ... (default 1)
  --minutes M       run seeds one after another until M minutes have passed
  --threads         audio, automation and user-interface threads at once (not exactly replayable)
  --replay FILE     run the step list in FILE (one step per line, as printed)
  --shrink          cut the steps of --replay, or of --seed and --steps, down to a minimal list,
                    running each candidate in a separate process (also for crashes)
  --save FILE       where to save the minimal list (default: in the temporary folder)
  --bound C         output bound: |out| <= C x (1 + 1.4 x largest input magnitude) (default %g)
  --reference PATH  the reference binary (tests only): programs must sound like it, up to rounding
  --ignore KINDS    findings of these kinds (comma-separated) are counted and passed over: %s
  --no-editor       never open editor windows

Exit status: 0 no finding, 1 a finding, 2 a wrong command line, 3 the plug-in crashed the process,
4 a call did not return within %g seconds.
)";

Options parseOptions(const std::vector<std::string>& args, const CommandSetup& setup, bool& help) {
    const vorelan::Arguments a(args,
                               {"--plugin", "--seed", "--steps", "--seeds", "--minutes", "--replay", "--save",
                                "--bound", "--child", "--ignore", "--reference", "--lv2"},
                               {"--threads", "--shrink", "--no-editor"});
    help = a.help();
    Options o;
    if (help)
        return o;
    if (!a.positional().empty())
        throw vorelan::UsageError("unexpected argument \"" + a.positional().front() + "\"");
    o.lv2 = a.value("--lv2").value_or("");
    if (const auto v = a.value("--plugin"))
        o.plugin = *v;
    else if (o.lv2.empty())
        o.plugin = setup.findPlugin ? setup.findPlugin() : setup.defaultPlugin;
    if (const auto v = a.value("--seed"))
        o.seed = static_cast<std::uint64_t>(vorelan::ParseNumber(*v, "--seed", 0, 9007199254740991.0));
    if (const auto v = a.value("--steps"))
        o.steps = static_cast<std::uint64_t>(vorelan::ParseNumber(*v, "--steps", 1, 1e12));
    if (const auto v = a.value("--seeds"))
        o.seeds = vorelan::ParseInteger(*v, "--seeds", 1, 1000000);
    if (const auto v = a.value("--minutes"))
        o.minutes = vorelan::ParseNumber(*v, "--minutes", 0.01, 100000);
    if (const auto v = a.value("--bound"))
        o.session.outputBound = vorelan::ParseNumber(*v, "--bound", 1, 1e30);
    o.reference = a.value("--reference").value_or("");
    for (const std::string& list : a.values("--ignore")) {
        std::stringstream ids(list);
        for (std::string id; std::getline(ids, id, ',');) {
            FindingKind kind{};
            if (!ParseKind(id, kind) || kind == FindingKind::Crash || kind == FindingKind::Hang)
                throw vorelan::UsageError("--ignore: \"" + id +
                                          "\" is not a kind of finding that can be passed over");
            o.session.ignored |= 1u << static_cast<int>(kind);
            o.ignoreText += (o.ignoreText.empty() ? "" : ",") + id;
        }
    }
    o.threads = a.flag("--threads");
    o.shrink = a.flag("--shrink");
    o.editor = !a.flag("--no-editor");
    o.replay = a.value("--replay").value_or("");
    o.save = a.value("--save").value_or("");
    o.child = a.value("--child").value_or("");
    const bool seedOptions =
        a.value("--seed") || a.value("--steps") || a.value("--seeds") || a.value("--minutes");
    if (!o.replay.empty() && (seedOptions || o.threads))
        throw vorelan::UsageError(
            "--replay runs a saved list; it takes no --seed, --steps, --seeds, --minutes or "
            "--threads");
    if (o.shrink && (o.threads || a.value("--seeds") || a.value("--minutes")))
        throw vorelan::UsageError("--shrink takes one list: --replay FILE, or --seed S with --steps N");
    if (!o.child.empty() && o.replay.empty())
        throw vorelan::UsageError("--child needs --replay");
    if (!o.lv2.empty() && (o.threads || !o.reference.empty()))
        throw vorelan::UsageError(
            "--lv2 runs on one thread and compares with a VST 2 binary (--plugin), not with "
            "--reference; it takes no --threads or --reference");
#ifdef _WIN32
    if (!o.lv2.empty())
        throw vorelan::UsageError("--lv2: LV2 plug-ins are validated on Linux");
#endif
    return o;
}

} // namespace

int RunValidateCommand(const std::vector<std::string>& args, const CommandSetup& setup) {
    bool help = false;
    const Options options = parseOptions(args, setup, help);
    if (help) {
        std::string kinds;
        for (int k = static_cast<int>(FindingKind::NoEffect); k < kFindingKinds; ++k)
            kinds += std::string(kinds.empty() ? "" : (k % 6 == 0 ? ",\n                    " : ", ")) +
                     KindId(static_cast<FindingKind>(k));
        std::printf(kHelp, setup.name.c_str(), setup.defaultPlugin.c_str(), kDefaultOutputBound,
                    kinds.c_str(), kHangSeconds);
        return kExitClean;
    }
    where.name = setup.name;
    std::string error;
    const auto asFile = [](const std::string& path) {
#ifndef _WIN32
        // A bare name would be looked up in the library path; the user means a file.
        return path.find('/') == std::string::npos ? "./" + path : path;
#else
        return path;
#endif
    };
    std::unique_ptr<testhost::PluginLibrary> library;
    if (!options.plugin.empty()) {
        library = testhost::PluginLibrary::Load(asFile(options.plugin), error);
        if (!library)
            throw vorelan::ToolError("cannot load the plug-in: " + error);
    }
    std::unique_ptr<testhost::PluginLibrary> reference;
    if (!options.reference.empty()) {
        reference = testhost::PluginLibrary::Load(asFile(options.reference), error);
        if (!reference)
            throw vorelan::ToolError("cannot load the reference binary: " + error);
    }
    Options withReference = options;
    withReference.session.reference = reference ? reference->Entry() : nullptr;
    SessionMaker makeSession = [&]() -> std::unique_ptr<HostSession> {
        return std::make_unique<Session>(library->Entry(), withReference.session);
    };
#ifndef _WIN32
    std::unique_ptr<Lv2Binary> lv2;
    if (!options.lv2.empty()) {
        lv2 = Lv2Binary::Load(options.lv2, error);
        if (!lv2)
            throw vorelan::ToolError("cannot load the LV2 plug-in: " + error);
        makeSession = [&]() -> std::unique_ptr<HostSession> {
            return std::make_unique<Lv2Session>(*lv2, withReference.session,
                                                library ? library->Entry() : nullptr);
        };
    }
#endif
    InstallCrashHandler(&reportCrash, kExitCrash);
    Watchdog watchdog;
    Validator validator(withReference, setup, library.get(), makeSession);
    return validator.Run();
}

} // namespace validate
