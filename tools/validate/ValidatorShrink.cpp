#include "tools/validate/Validator.h"

#include "tools/validate/Platform.h"
#include "tools/validate/StepGenerator.h"
#include "tools/validate/Whereabouts.h"

#include <algorithm>
#include <cstdio>

namespace validate {

int Validator::report(const Outcome& outcome, std::uint64_t seed, const std::vector<Step>* list) {
    const Finding& f = *outcome.finding;
    if (outcome.atStart) {
        std::printf("\n%s: FINDING (%s) when the plug-in was created:\n    %s\n", setup_.name.c_str(),
                    KindName(f.kind), f.message.c_str());
        return kExitFinding;
    }
    std::printf("\n%s: FINDING (%s) in step %llu of %s:\n    %s\n    %s\n", setup_.name.c_str(),
                KindName(f.kind), static_cast<unsigned long long>(outcome.index + 1), where.source.c_str(),
                ToText(where.step).c_str(), f.message.c_str());
    if (list == nullptr)
        std::printf("replay it:  %s\n", commandFor(outcome.index + 1).c_str());
    std::vector<Step> steps =
        list != nullptr
            ? std::vector<Step>(list->begin(), list->begin() + static_cast<std::ptrdiff_t>(outcome.index) + 1)
            : GenerateSteps(seed, shapeOf(), static_cast<std::size_t>(outcome.index) + 1);
    std::fflush(stdout);
    // Shortened lists run in this process; should one crash it, the report says how to shrink in
    // separate processes instead.
    where.source = "a shortened list of " + where.source + " (while shrinking)";
    where.shrinkCommand = list != nullptr ? prefix_ + " --replay " + quoted(o_.replay) + " --shrink"
                                          : commandFor(outcome.index + 1) + " --shrink";
    where.replayCommand.clear();
    const FindingKind kind = f.kind;
    FailureTest test = [&](const std::vector<Step>& candidate) -> std::optional<std::size_t> {
        const Outcome o = runList(candidate);
        if (o.finding && !o.atStart && o.finding->kind == kind)
            return o.index;
        return std::nullopt;
    };
    return shrinkAndReport(steps, test, f, list ? "list" : "seed" + std::to_string(seed));
}

int Validator::shrinkAndReport(std::vector<Step> steps, const FailureTest& once, const Finding& f,
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
        std::printf("The failure did not show again on a fresh plug-in object (it may depend on timing or on "
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
        std::printf("(this list showed the failure in %d of 3 more runs: it depends on chance, such as the "
                    "plug-in's own randomness)\n",
                    shown);
    if (saved)
        std::printf("saved to %s\nreplay it:  %s --replay %s\n", path.c_str(), prefix_.c_str(),
                    quoted(path).c_str());
    else
        std::printf("(it could not be saved to %s; --save FILE names another place)\n", path.c_str());
    return kExitFinding;
}

int Validator::shrinkInChildren(const std::vector<Step>& steps, const std::string& source) {
    const std::string listPath = TemporaryFolder() + "vorelan-validate-candidate.steps";
    const std::string resultPath = TemporaryFolder() + "vorelan-validate-candidate.result";
    int target = -1;
    auto runChildOn = [&](const std::vector<Step>& candidate, std::size_t& failedAt) {
        writeList(listPath, "", candidate);
        std::remove(resultPath.c_str());
        std::vector<std::string> command = setup_.self;
        if (!o_.plugin.empty())
            command.insert(command.end(), {"--plugin", o_.plugin});
        if (!o_.lv2.empty())
            command.insert(command.end(), {"--lv2", o_.lv2});
        command.insert(command.end(), {"--replay", listPath, "--child", resultPath, "--bound",
                                       number(o_.session.outputBound)});
        if (!o_.ignoreText.empty())
            command.insert(command.end(), {"--ignore", o_.ignoreText});
        if (!o_.reference.empty())
            command.insert(command.end(), {"--reference", o_.reference});
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
        std::printf("%s: %zu steps of %s, no finding: nothing to shrink\n", setup_.name.c_str(), steps.size(),
                    source.c_str());
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

int Validator::runChild() {
    where.childResult = o_.child;
    where.source = o_.replay;
    const std::vector<Step> steps = readList(o_.replay);
    const Outcome outcome = runList(steps);
    if (!outcome.finding || outcome.atStart)
        return kExitClean;
    writeChildResult();
    return kChildFindingBase + static_cast<int>(outcome.finding->kind);
}

} // namespace validate
