#include "tools/validate/ValidateCommand.h"

#include "tests/host/lib/PluginLibrary.h"
#include "tools/validate/AllocationCounter.h"
#include "tools/validate/EditorParent.h"
#include "tools/validate/Platform.h"
#include "tools/validate/Session.h"
#include "tools/validate/Shrinker.h"
#include "tools/validate/StepGenerator.h"
#include "tools/validate/ThreadedRun.h"
#include "tools/vorelan/Arguments.h"
#include "tools/vorelan/ToolError.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>

namespace validate {

namespace {

constexpr int kExitClean = 0;
constexpr int kExitFinding = 1;
constexpr int kExitCrash = 3;
constexpr int kExitHang = 4;
// A child run (--child) exits with this plus the finding's kind.
constexpr int kChildFindingBase = 10;
constexpr double kHangSeconds = 120.0;
constexpr double kShrinkSeconds = 600.0;
constexpr int kDefaultSteps = 100000;

constexpr const char* kHelp = R"(usage: %s [options]

Drives the plug-in as a hostile host would and checks it after every call: random sequences of every
dispatcher opcode with hostile arguments, parameter writes in and out of range (NaN, infinities),
sample rates and block sizes changing mid-stream, time information absent, sane or hostile, inputs of
silence, noise, denormals, DC, NaN and infinities, in-place buffers, editor sessions, reloads, and
calls under a hostile floating-point state. After every call: outputs finite and within the bound,
every frame of processReplacing written, nothing written outside the block or a host buffer, inputs
untouched, parameters read back as set (clamped to 0..1), the effect record unchanged, the caller's
floating-point state given back, and no heap allocation on the audio thread (where counted).

A finding is shown with the command that replays it, then cut down to a minimal step list, which is
printed and saved so that --replay runs it again.

options:
  --plugin PATH     the plug-in binary (default: %s)
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
  --ignore KINDS    findings of these kinds (comma-separated) are counted and passed over: %s
  --no-editor       never open editor windows

Exit status: 0 no finding, 1 a finding, 2 a wrong command line, 3 the plug-in crashed the process,
4 a call did not return within %g seconds.
)";

struct Options {
    std::string plugin;
    std::uint64_t seed = 1;
    std::uint64_t steps = kDefaultSteps;
    int seeds = 1;
    double minutes = 0.0;
    bool threads = false;
    std::string replay;
    bool shrink = false;
    std::string save;
    std::string child; // a child run: the file that gets the index of the failing step
    std::string ignoreText;
    bool editor = true;
    SessionOptions session;
};

// Where the run is, for the crash and hang reports, which interrupt the normal flow.
struct Whereabouts {
    std::atomic<std::uint64_t> progress{0};
    std::atomic<bool> waiting{false}; // for a child process, which watches itself
    std::uint64_t index = 0;
    Step step;
    std::string source;        // "seed 7", "the list in F", ...
    std::string replayCommand; // replays the run up to the current step (seed runs)
    std::string shrinkCommand; // shrinks it in child processes
    std::string childResult;   // a child run's result file
    std::string name;          // the command's name, for messages

    void At(std::uint64_t i, const Step& s) {
        index = i;
        step = s;
        progress.fetch_add(1, std::memory_order_relaxed);
    }
};

Whereabouts where;

void writeChildResult() {
    if (FILE* file = std::fopen(where.childResult.c_str(), "w")) {
        std::fprintf(file, "%llu\n", static_cast<unsigned long long>(where.index));
        std::fclose(file);
    }
}

std::string commandFor(std::uint64_t steps) {
    return where.replayCommand.empty() ? std::string()
                                       : where.replayCommand + " --steps " + std::to_string(steps);
}

void reportInterruption(const char* kind, const char* what) {
    if (!where.childResult.empty()) {
        writeChildResult();
        return;
    }
    std::fprintf(stderr, "\n%s: %s: %s in step %llu of %s:\n    %s\n", where.name.c_str(), kind, what,
                 static_cast<unsigned long long>(where.index + 1), where.source.c_str(),
                 ToText(where.step).c_str());
    if (!where.replayCommand.empty()) {
        std::fprintf(stderr, "replay it:  %s\n", commandFor(where.index + 1).c_str());
        std::fprintf(stderr, "shrink it:  %s --shrink\n", commandFor(where.index + 1).c_str());
    } else if (!where.shrinkCommand.empty()) {
        std::fprintf(stderr, "shrink it:  %s\n", where.shrinkCommand.c_str());
    }
}

void reportCrash(const char* what) {
    reportInterruption("CRASH", what);
}

// Ends the process when a step has not come back for kHangSeconds.
class Watchdog {
public:
    Watchdog()
        : thread_([this] {
              std::uint64_t seen = where.progress.load();
              double since = Seconds();
              while (!stop_.load()) {
                  SleepMilliseconds(200);
                  const std::uint64_t now = where.progress.load();
                  if (now != seen || where.waiting.load()) {
                      seen = now;
                      since = Seconds();
                  } else if (Seconds() - since > kHangSeconds) {
                      char what[64];
                      std::snprintf(what, sizeof what, "no return for %.0f seconds", kHangSeconds);
                      reportInterruption("HANG", what);
                      std::fflush(stderr);
                      std::_Exit(kExitHang);
                  }
              }
          }) {}
    ~Watchdog() {
        stop_.store(true);
        thread_.Join();
    }

private:
    std::atomic<bool> stop_{false};
    WorkerThread thread_;
};

std::string quoted(const std::string& text) {
    return text.find_first_of(" \t'\"") == std::string::npos ? text : "\"" + text + "\"";
}

std::string number(double value) {
    std::ostringstream text;
    text << value;
    return text.str();
}

struct Outcome {
    std::optional<Finding> finding;
    std::uint64_t index = 0;
    bool atStart = false; // the plug-in could not be created
    std::uint64_t steps = 0;
    SessionCounts counts;
};

// Runs steps from next (which answers false when there are none left) on a fresh plug-in object.
template <typename Next>
Outcome runSession(testhost::EntryPoint entry, const Options& o, EditorParent* parent, Next&& next,
                   PluginShape* shape = nullptr) {
    Outcome outcome;
    Session session(entry, o.session);
    session.SetParent(Role::Main, parent);
    if ((outcome.finding = session.Start())) {
        outcome.atStart = true;
        return outcome;
    }
    if (shape != nullptr)
        *shape = session.Shape();
    Step step;
    for (std::uint64_t i = 0; next(i, session.Shape(), step); ++i) {
        where.At(i, step);
        outcome.steps = i + 1;
        if ((outcome.finding = session.Execute(step))) {
            outcome.index = i;
            break;
        }
    }
    outcome.counts = session.Counts();
    return outcome;
}

Outcome runList(testhost::EntryPoint entry, const Options& o, EditorParent* parent,
                const std::vector<Step>& steps) {
    return runSession(entry, o, parent, [&](std::uint64_t i, const PluginShape&, Step& step) {
        if (i >= steps.size())
            return false;
        step = steps[i];
        return true;
    });
}

// The shape steps are generated for: that of a freshly created plug-in object.
PluginShape shapeOf(testhost::EntryPoint entry, const Options& o) {
    Session session(entry, o.session);
    session.Start();
    return session.Shape();
}

std::vector<Step> readList(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw vorelan::ToolError("cannot read the step list \"" + path + "\"");
    std::stringstream text;
    text << file.rdbuf();
    std::vector<Step> steps;
    std::string error;
    if (!ParseSteps(text.str(), steps, error))
        throw vorelan::ToolError(path + ": " + error);
    return steps;
}

bool writeList(const std::string& path, const std::string& header, const std::vector<Step>& steps) {
    std::ofstream file(path, std::ios::binary);
    file << header << ToText(steps);
    return static_cast<bool>(file.flush());
}

void printList(const std::vector<Step>& steps) {
    for (std::size_t i = 0; i < steps.size(); ++i)
        std::printf("  %3zu  %s\n", i + 1, ToText(steps[i]).c_str());
}

class Validator {
public:
    Validator(const Options& options, const CommandSetup& setup, const testhost::PluginLibrary& library)
        : o_(options), setup_(setup), entry_(library.Entry()) {
        prefix_ = setup.name + " --plugin " + quoted(o_.plugin);
        if (o_.session.outputBound != kDefaultOutputBound)
            prefix_ += " --bound " + number(o_.session.outputBound);
        if (!o_.editor)
            prefix_ += " --no-editor";
        if (!o_.ignoreText.empty())
            prefix_ += " --ignore " + o_.ignoreText;
    }

    int Run() {
        if (!o_.child.empty())
            return runChild();
        describe();
        if (!o_.replay.empty()) {
            const std::vector<Step> steps = readList(o_.replay);
            return o_.shrink ? shrinkInChildren(steps, "the list in " + o_.replay) : replay(steps);
        }
        if (o_.shrink) {
            const std::vector<Step> steps =
                GenerateSteps(o_.seed, shapeOf(entry_, o_), static_cast<std::size_t>(o_.steps));
            return shrinkInChildren(steps, "seed " + std::to_string(o_.seed));
        }
        const double deadline = o_.minutes > 0 ? Seconds() + 60.0 * o_.minutes : 0.0;
        std::uint64_t total = 0;
        int seedsRun = 0;
        for (std::uint64_t seed = o_.seed;; ++seed) {
            if (deadline > 0 ? Seconds() >= deadline : seedsRun >= o_.seeds)
                break;
            const int status =
                o_.threads ? runThreaded(seed, deadline, total) : runSeed(seed, deadline, total);
            ++seedsRun;
            if (status != kExitClean)
                return status;
        }
        std::printf("%s: %llu steps over %d seed%s, no finding\n", setup_.name.c_str(),
                    static_cast<unsigned long long>(total), seedsRun, seedsRun == 1 ? "" : "s");
        return kExitClean;
    }

private:
    void describe() {
        parent();
        const PluginShape shape = shapeOf(entry_, o_);
        std::printf("%s: %s, %d parameters, %s\n", setup_.name.c_str(), o_.plugin.c_str(), shape.numParams,
                    shape.canReplacing
                        ? "replacing processing declared (both processing calls are made)"
                        : "no replacing processing declared (only the accumulating call is made)");
        std::printf("  allocations on the audio thread: %s\n",
                    GetAllocationCounter() != nullptr ? "counted"
                                                      : "not counted by this build of the validator");
        if (o_.threads)
            std::printf(
                "  threads: the steps run on the audio thread while an automation thread and a "
                "user-interface thread call the plug-in at once; a finding cannot be replayed exactly\n");
        else if (parent_)
            std::printf("  editor: opened in a window of its own\n");
        else
            std::printf("  editor: windows are not opened (%s); the other editor calls are made\n",
                        editorNote_.c_str());
        std::fflush(stdout);
    }

    EditorParent* parent() {
        if (!parentTried_ && o_.editor && !o_.threads) {
            parentTried_ = true;
            parent_ = EditorParent::Create(editorNote_);
        } else if (!o_.editor) {
            editorNote_ = "--no-editor";
        }
        return parent_.get();
    }

    static std::string countsText(const SessionCounts& c) {
        std::ostringstream text;
        text << c.blocks << " blocks, " << c.frames << " frames, editor opened " << c.editorOpens
             << " times, " << c.reopens << " reloads";
        if (c.skippedEditor > 0)
            text << ", " << c.skippedEditor << " editor opens skipped";
        for (int k = 0; k < kFindingKinds; ++k)
            if (c.ignored[static_cast<std::size_t>(k)] > 0)
                text << ", ignored " << c.ignored[static_cast<std::size_t>(k)] << " x "
                     << KindId(static_cast<FindingKind>(k));
        return text.str();
    }

    int runSeed(std::uint64_t seed, double deadline, std::uint64_t& total) {
        where.source = "seed " + std::to_string(seed);
        where.replayCommand = prefix_ + " --seed " + std::to_string(seed);
        const double start = Seconds();
        std::unique_ptr<StepGenerator> generator;
        const Outcome outcome =
            runSession(entry_, o_, parent(), [&](std::uint64_t i, const PluginShape& shape, Step& step) {
                if (i >= o_.steps || (deadline > 0 && (i & 1023) == 0 && Seconds() >= deadline))
                    return false;
                if (!generator)
                    generator = std::make_unique<StepGenerator>(seed, shape);
                step = generator->Next();
                return true;
            });
        total += outcome.steps;
        if (outcome.finding)
            return report(outcome, seed, nullptr);
        std::printf("seed %llu: %llu steps, no finding (%.1f s; %s)\n", static_cast<unsigned long long>(seed),
                    static_cast<unsigned long long>(outcome.steps), Seconds() - start,
                    countsText(outcome.counts).c_str());
        std::fflush(stdout);
        return kExitClean;
    }

    int runThreaded(std::uint64_t seed, double deadline, std::uint64_t& total) {
        where.source = "seed " + std::to_string(seed) + " (threaded)";
        where.replayCommand = prefix_ + " --seed " + std::to_string(seed);
        const double start = Seconds();
        const ThreadedResult result = RunThreaded(
            entry_, o_.session, seed, o_.steps, o_.editor, [&](std::uint64_t i, const Step& step) {
                where.At(i, step);
                return deadline <= 0 || (i & 1023) != 0 || Seconds() < deadline;
            });
        total += result.mainSteps;
        if (result.finding) {
            const char* thread = result.role == Role::Main         ? "the audio thread"
                                 : result.role == Role::Automation ? "the automation thread"
                                                                   : "the user-interface thread";
            std::printf("\n%s: FINDING (%s) on %s during seed %llu, threaded:\n    %s\n", setup_.name.c_str(),
                        KindName(result.finding->kind), thread, static_cast<unsigned long long>(seed),
                        result.finding->message.c_str());
            if (result.role == Role::Main)
                std::printf("    the audio thread's step %llu: %s\n",
                            static_cast<unsigned long long>(where.index + 1), ToText(where.step).c_str());
            // The other threads' calls come from generators of their own: the whole run is the lead.
            std::printf("A threaded run cannot be replayed exactly; look for it on one thread:\n  %s\n",
                        commandFor(result.role == Role::Main ? where.index + 1 : o_.steps).c_str());
            return kExitFinding;
        }
        const SessionCounts& a = result.counts[0];
        std::printf(
            "seed %llu, threaded: %llu audio-thread steps, %llu automation and %llu user-interface calls, "
            "no finding (%.1f s; %s%s%s)\n",
            static_cast<unsigned long long>(seed), static_cast<unsigned long long>(result.mainSteps),
            static_cast<unsigned long long>(result.counts[1].steps),
            static_cast<unsigned long long>(result.counts[2].steps), Seconds() - start, countsText(a).c_str(),
            result.editorNote.empty() ? "" : "; editor: ", result.editorNote.c_str());
        std::printf("  editor opened %llu times on the user-interface thread\n",
                    static_cast<unsigned long long>(result.counts[2].editorOpens));
        std::fflush(stdout);
        return kExitClean;
    }

    int replay(const std::vector<Step>& steps) {
        where.source = "the list in " + o_.replay;
        where.replayCommand.clear();
        where.shrinkCommand = prefix_ + " --replay " + quoted(o_.replay) + " --shrink";
        const Outcome outcome = runList(entry_, o_, parent(), steps);
        if (outcome.finding)
            return report(outcome, 0, &steps);
        std::printf("%s: %zu steps, no finding (%s)\n", where.source.c_str(), steps.size(),
                    countsText(outcome.counts).c_str());
        return kExitClean;
    }

    // A finding of a normal run: what and where, the command that replays it, and the minimal list.
    int report(const Outcome& outcome, std::uint64_t seed, const std::vector<Step>* list) {
        const Finding& f = *outcome.finding;
        if (outcome.atStart) {
            std::printf("\n%s: FINDING (%s) when the plug-in was created:\n    %s\n", setup_.name.c_str(),
                        KindName(f.kind), f.message.c_str());
            return kExitFinding;
        }
        std::printf("\n%s: FINDING (%s) in step %llu of %s:\n    %s\n    %s\n", setup_.name.c_str(),
                    KindName(f.kind), static_cast<unsigned long long>(outcome.index + 1),
                    where.source.c_str(), ToText(where.step).c_str(), f.message.c_str());
        if (list == nullptr)
            std::printf("replay it:  %s\n", commandFor(outcome.index + 1).c_str());
        std::vector<Step> steps =
            list != nullptr
                ? std::vector<Step>(list->begin(),
                                    list->begin() + static_cast<std::ptrdiff_t>(outcome.index) + 1)
                : GenerateSteps(seed, shapeOf(entry_, o_), static_cast<std::size_t>(outcome.index) + 1);
        std::fflush(stdout);
        // Shortened lists run in this process; should one crash it, the report says how to shrink in
        // separate processes instead.
        where.source = "a shortened list of " + where.source + " (while shrinking)";
        where.shrinkCommand = list != nullptr ? prefix_ + " --replay " + quoted(o_.replay) + " --shrink"
                                              : commandFor(outcome.index + 1) + " --shrink";
        where.replayCommand.clear();
        const FindingKind kind = f.kind;
        FailureTest test = [&](const std::vector<Step>& candidate) -> std::optional<std::size_t> {
            const Outcome o = runList(entry_, o_, parent(), candidate);
            if (o.finding && !o.atStart && o.finding->kind == kind)
                return o.index;
            return std::nullopt;
        };
        return shrinkAndReport(steps, test, f, list ? "list" : "seed" + std::to_string(seed));
    }

    int shrinkAndReport(std::vector<Step> steps, const FailureTest& once, const Finding& f,
                        const std::string& label) {
        // A plug-in with randomness of its own (seeded from a clock) may fail a list only sometimes; a
        // shorter list counts as failing when it fails twice in a row, where it fails the later time.
        const FailureTest test = [&](const std::vector<Step>& candidate) -> std::optional<std::size_t> {
            const std::optional<std::size_t> first = once(candidate);
            if (!first)
                return std::nullopt;
            const std::optional<std::size_t> second = once(candidate);
            if (!second)
                return std::nullopt;
            return std::max(*first, *second);
        };
        const std::optional<std::size_t> again = test(steps);
        if (!again) {
            std::printf(
                "The failure did not show again on a fresh plug-in object (it may depend on timing or on "
                "the plug-in's own randomness); nothing to shrink.\n");
            return kExitFinding;
        }
        steps.resize(*again + 1);
        std::printf("shrinking %zu steps ...\n", steps.size());
        std::fflush(stdout);
        const double stopAt = Seconds() + kShrinkSeconds;
        bool timeUp = false;
        const auto timeIsUp = [&] { return timeUp = timeUp || Seconds() >= stopAt; };
        const std::vector<Step> minimal = Simplify(Shrink(steps, test, timeIsUp), test, timeIsUp);
        const std::string path =
            !o_.save.empty() ? o_.save : TemporaryFolder() + "vorelan-validate-" + label + ".steps";
        const std::string header = "# " + setup_.name + ": " + KindName(f.kind) + ": " + f.message + "\n";
        const bool saved = writeList(path, header, minimal);
        std::printf("%s step list (%zu step%s)%s:\n", timeUp ? "shortest" : "minimal", minimal.size(),
                    minimal.size() == 1 ? "" : "s", timeUp ? ", shrinking stopped after its time limit" : "");
        printList(minimal);
        int shown = 0;
        for (int run = 0; run < 3; ++run)
            shown += once(minimal) ? 1 : 0;
        if (shown < 3)
            std::printf(
                "(this list showed the failure in %d of 3 more runs: it depends on chance, such as the "
                "plug-in's own randomness)\n",
                shown);
        if (saved)
            std::printf("saved to %s\nreplay it:  %s --replay %s\n", path.c_str(), prefix_.c_str(),
                        quoted(path).c_str());
        else
            std::printf("(it could not be saved to %s; --save FILE names another place)\n", path.c_str());
        return kExitFinding;
    }

    // --shrink: every candidate runs in a child process, so crashes and hangs shrink as well.
    int shrinkInChildren(const std::vector<Step>& steps, const std::string& source) {
        const std::string listPath = TemporaryFolder() + "vorelan-validate-candidate.steps";
        const std::string resultPath = TemporaryFolder() + "vorelan-validate-candidate.result";
        int target = -1;
        auto runChildOn = [&](const std::vector<Step>& candidate, std::size_t& failedAt) {
            writeList(listPath, "", candidate);
            std::remove(resultPath.c_str());
            std::vector<std::string> command = setup_.self;
            command.insert(command.end(), {"--plugin", o_.plugin, "--replay", listPath, "--child", resultPath,
                                           "--bound", number(o_.session.outputBound)});
            if (!o_.ignoreText.empty())
                command.insert(command.end(), {"--ignore", o_.ignoreText});
            if (!o_.editor)
                command.push_back("--no-editor");
            where.waiting.store(true);
            const ChildResult result = RunChild(command);
            where.waiting.store(false);
            int kind = -1;
            if (result.crashed || result.status == kExitCrash)
                kind = static_cast<int>(FindingKind::Crash);
            else if (result.status == kExitHang)
                kind = static_cast<int>(FindingKind::Hang);
            else if (result.status >= kChildFindingBase)
                kind = result.status - kChildFindingBase;
            failedAt = candidate.empty() ? 0 : candidate.size() - 1;
            if (FILE* file = std::fopen(resultPath.c_str(), "r")) {
                unsigned long long index = 0;
                if (std::fscanf(file, "%llu", &index) == 1 && index < candidate.size())
                    failedAt = static_cast<std::size_t>(index);
                std::fclose(file);
            }
            return kind;
        };
        std::size_t failedAt = 0;
        target = runChildOn(steps, failedAt);
        if (target < 0) {
            std::printf("%s: %zu steps of %s, no finding: nothing to shrink\n", setup_.name.c_str(),
                        steps.size(), source.c_str());
            return kExitClean;
        }
        const Finding f{static_cast<FindingKind>(target),
                        "found by " + source + " in step " + std::to_string(failedAt + 1)};
        std::printf("%s: %s in step %zu of %s\n", setup_.name.c_str(), KindName(f.kind), failedAt + 1,
                    source.c_str());
        FailureTest test = [&](const std::vector<Step>& candidate) -> std::optional<std::size_t> {
            std::size_t at = 0;
            if (runChildOn(candidate, at) == target)
                return at;
            return std::nullopt;
        };
        const int status = shrinkAndReport(steps, test, f, "shrunk");
        std::remove(listPath.c_str());
        std::remove(resultPath.c_str());
        return status;
    }

    int runChild() {
        where.childResult = o_.child;
        where.source = o_.replay;
        const std::vector<Step> steps = readList(o_.replay);
        const Outcome outcome = runList(entry_, o_, parent(), steps);
        if (!outcome.finding || outcome.atStart)
            return kExitClean;
        writeChildResult();
        return kChildFindingBase + static_cast<int>(outcome.finding->kind);
    }

    Options o_;
    const CommandSetup& setup_;
    testhost::EntryPoint entry_;
    std::string prefix_;
    bool parentTried_ = false;
    std::unique_ptr<EditorParent> parent_;
    std::string editorNote_;
};

Options parseOptions(const std::vector<std::string>& args, const CommandSetup& setup, bool& help) {
    const vorelan::Arguments a(args,
                               {"--plugin", "--seed", "--steps", "--seeds", "--minutes", "--replay", "--save",
                                "--bound", "--child", "--ignore"},
                               {"--threads", "--shrink", "--no-editor"});
    help = a.help();
    Options o;
    if (help)
        return o;
    if (!a.positional().empty())
        throw vorelan::UsageError("unexpected argument \"" + a.positional().front() + "\"");
    if (const auto v = a.value("--plugin"))
        o.plugin = *v;
    else
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
#ifndef _WIN32
    // A bare name would be looked up in the library path; the user means a file.
    const std::string path =
        options.plugin.find('/') == std::string::npos ? "./" + options.plugin : options.plugin;
#else
    const std::string path = options.plugin;
#endif
    const std::unique_ptr<testhost::PluginLibrary> library = testhost::PluginLibrary::Load(path, error);
    if (!library)
        throw vorelan::ToolError("cannot load the plug-in: " + error);
    InstallCrashHandler(&reportCrash, kExitCrash);
    Watchdog watchdog;
    Validator validator(options, setup, *library);
    return validator.Run();
}

} // namespace validate
