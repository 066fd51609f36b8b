#include "tools/validate/Validator.h"

#include "lv2/Lv2Contract.h"
#include "tools/validate/AllocationCounter.h"
#include "tools/validate/Platform.h"
#include "tools/validate/StepGenerator.h"
#include "tools/validate/ThreadedRun.h"
#include "tools/validate/Whereabouts.h"
#include "tools/vorelan/ToolError.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace validate {

std::string Validator::quoted(const std::string& text) {
    return text.find_first_of(" \t'\"") == std::string::npos ? text : "\"" + text + "\"";
}

std::string Validator::number(double value) {
    std::ostringstream text;
    text << value;
    return text.str();
}

Outcome Validator::runSession(const std::function<bool(std::uint64_t, const PluginShape&, Step&)>& next,
                              PluginShape* shape) {
    Outcome outcome;
    const std::unique_ptr<HostSession> session = makeSession_();
    session->SetParent(Role::Main, parent());
    if ((outcome.finding = session->Start())) {
        outcome.atStart = true;
        return outcome;
    }
    if (shape != nullptr)
        *shape = session->Shape();
    Step step;
    for (std::uint64_t i = 0; next(i, session->Shape(), step); ++i) {
        where.At(i, step);
        outcome.steps = i + 1;
        if ((outcome.finding = session->Execute(step))) {
            outcome.index = i;
            break;
        }
    }
    outcome.counts = session->Counts();
    return outcome;
}

Outcome Validator::runList(const std::vector<Step>& steps) {
    return runSession([&](std::uint64_t i, const PluginShape&, Step& step) {
        if (i >= steps.size())
            return false;
        step = steps[i];
        return true;
    });
}

PluginShape Validator::shapeOf() {
    const std::unique_ptr<HostSession> session = makeSession_();
    session->Start();
    return session->Shape();
}

std::vector<Step> Validator::readList(const std::string& path) {
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

bool Validator::writeList(const std::string& path, const std::string& header,
                          const std::vector<Step>& steps) {
    std::ofstream file(path, std::ios::binary);
    file << header << ToText(steps);
    return static_cast<bool>(file.flush());
}

void Validator::printList(const std::vector<Step>& steps) {
    for (std::size_t i = 0; i < steps.size(); ++i)
        std::printf("  %3zu  %s\n", i + 1, ToText(steps[i]).c_str());
}

Validator::Validator(const Options& options, const CommandSetup& setup,
                     const testhost::PluginLibrary* library, SessionMaker makeSession)
    : o_(options), setup_(setup), entry_(library != nullptr ? library->Entry() : nullptr),
      makeSession_(std::move(makeSession)) {
    prefix_ = setup.name;
    if (!o_.lv2.empty())
        prefix_ += " --lv2 " + quoted(o_.lv2);
    if (!o_.plugin.empty())
        prefix_ += " --plugin " + quoted(o_.plugin);
    if (o_.session.outputBound != kDefaultOutputBound)
        prefix_ += " --bound " + number(o_.session.outputBound);
    if (!o_.reference.empty())
        prefix_ += " --reference " + quoted(o_.reference);
    if (!o_.editor)
        prefix_ += " --no-editor";
    if (!o_.ignoreText.empty())
        prefix_ += " --ignore " + o_.ignoreText;
}

int Validator::Run() {
    if (!o_.child.empty())
        return runChild();
    describe();
    if (!o_.replay.empty()) {
        const std::vector<Step> steps = readList(o_.replay);
        return o_.shrink ? shrinkInChildren(steps, "the list in " + o_.replay) : replay(steps);
    }
    if (o_.shrink) {
        const std::vector<Step> steps = GenerateSteps(o_.seed, shapeOf(), static_cast<std::size_t>(o_.steps));
        return shrinkInChildren(steps, "seed " + std::to_string(o_.seed));
    }
    const double deadline = o_.minutes > 0 ? Seconds() + 60.0 * o_.minutes : 0.0;
    std::uint64_t total = 0;
    int seedsRun = 0;
    for (std::uint64_t seed = o_.seed;; ++seed) {
        if (deadline > 0 ? Seconds() >= deadline : seedsRun >= o_.seeds)
            break;
        const int status = o_.threads ? runThreaded(seed, deadline, total) : runSeed(seed, deadline, total);
        ++seedsRun;
        if (status != kExitClean)
            return status;
    }
    std::printf("%s: %llu steps over %d seed%s, no finding\n", setup_.name.c_str(),
                static_cast<unsigned long long>(total), seedsRun, seedsRun == 1 ? "" : "s");
    return kExitClean;
}

void Validator::describe() {
    parent();
    const PluginShape shape = shapeOf();
    if (shape.lv2) {
        std::printf("%s: %s, the LV2 plug-in %s: %d control ports, 2 + 2 audio ports, 2 atom ports\n",
                    setup_.name.c_str(), o_.lv2.c_str(), lv2::kPluginUri, shape.numParams);
        std::printf("  allocations on the audio thread: %s\n",
                    GetAllocationCounter() != nullptr ? "counted"
                                                      : "not counted by this build of the validator");
        if (o_.plugin.empty())
            std::printf("  sound: not compared with a VST 2 plug-in (--plugin names one)\n");
        else
            std::printf("  sound: compared with the VST 2 plug-in %s, bit for bit\n", o_.plugin.c_str());
        std::fflush(stdout);
        return;
    }
    std::printf("%s: %s, %d parameters, %s\n", setup_.name.c_str(), o_.plugin.c_str(), shape.numParams,
                shape.canReplacing ? "replacing processing declared (both processing calls are made)"
                                   : "no replacing processing declared (only the accumulating call is made)");
    std::printf("  allocations on the audio thread: %s\n",
                GetAllocationCounter() != nullptr ? "counted" : "not counted by this build of the validator");
    if (o_.threads)
        std::printf("  threads: the steps run on the audio thread while an automation thread and a "
                    "user-interface thread call the plug-in at once; a finding cannot be replayed exactly\n");
    else if (parent_)
        std::printf("  editor: opened in a window of its own\n");
    else
        std::printf("  editor: windows are not opened (%s); the other editor calls are made\n",
                    editorNote_.c_str());
    std::fflush(stdout);
}

EditorParent* Validator::parent() {
    // An LV2 run drives the processor alone: its interface is a binary of its own.
    if (!parentTried_ && o_.editor && !o_.threads && o_.lv2.empty()) {
        parentTried_ = true;
        parent_ = EditorParent::Create(editorNote_);
    } else if (!o_.editor) {
        editorNote_ = "--no-editor";
    }
    return parent_.get();
}

std::string Validator::countsText(const SessionCounts& c) const {
    std::ostringstream text;
    if (!o_.lv2.empty()) {
        text << c.blocks << " runs, " << c.frames << " frames, " << c.instances << " instances, "
             << c.messages << " messages, " << c.states << " states saved and restored";
        if (c.soundSteps > 0)
            text << ", " << c.soundSteps << " stretches of sound compared (" << c.lastingBlocks
                 << " runs of the long-lived instance";
        if (c.vst2Frames > 0)
            text << "; " << c.vst2Frames << " frames against the VST 2 plug-in";
        if (c.soundSteps > 0)
            text << ")";
        for (int k = 0; k < kFindingKinds; ++k)
            if (c.ignored[static_cast<std::size_t>(k)] > 0)
                text << ", ignored " << c.ignored[static_cast<std::size_t>(k)] << " x "
                     << KindId(static_cast<FindingKind>(k));
        return text.str();
    }
    text << c.blocks << " blocks, " << c.frames << " frames, editor opened " << c.editorOpens << " times, "
         << c.reopens << " reloads";
    if (c.skippedEditor > 0)
        text << ", " << c.skippedEditor << " editor opens skipped";
    if (c.windowsDestroyed > 0)
        text << ", " << c.windowsDestroyed << " host windows destroyed first";
    if (c.soundSteps > 0)
        text << ", " << c.soundSteps << " stretches of sound compared (" << c.lastingBlocks
             << " blocks of the long-lived object)";
    for (int k = 0; k < kFindingKinds; ++k)
        if (c.ignored[static_cast<std::size_t>(k)] > 0)
            text << ", ignored " << c.ignored[static_cast<std::size_t>(k)] << " x "
                 << KindId(static_cast<FindingKind>(k));
    return text.str();
}

int Validator::runSeed(std::uint64_t seed, double deadline, std::uint64_t& total) {
    where.source = "seed " + std::to_string(seed);
    where.replayCommand = prefix_ + " --seed " + std::to_string(seed);
    const double start = Seconds();
    std::unique_ptr<StepGenerator> generator;
    const Outcome outcome = runSession([&](std::uint64_t i, const PluginShape& shape, Step& step) {
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

int Validator::runThreaded(std::uint64_t seed, double deadline, std::uint64_t& total) {
    where.source = "seed " + std::to_string(seed) + " (threaded)";
    where.replayCommand = prefix_ + " --seed " + std::to_string(seed);
    const double start = Seconds();
    const ThreadedResult result =
        RunThreaded(entry_, o_.session, seed, o_.steps, o_.editor, [&](std::uint64_t i, const Step& step) {
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

int Validator::replay(const std::vector<Step>& steps) {
    where.source = "the list in " + o_.replay;
    where.replayCommand.clear();
    where.shrinkCommand = prefix_ + " --replay " + quoted(o_.replay) + " --shrink";
    const Outcome outcome = runList(steps);
    if (outcome.finding)
        return report(outcome, 0, &steps);
    std::printf("%s: %zu steps, no finding (%s)\n", where.source.c_str(), steps.size(),
                countsText(outcome.counts).c_str());
    return kExitClean;
}

} // namespace validate
