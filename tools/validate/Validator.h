#pragma once

#include "tests/host/lib/PluginLibrary.h"
#include "tools/validate/EditorParent.h"
#include "tools/validate/Shrinker.h"
#include "tools/validate/ValidateCommand.h"
#include "tools/validate/ValidateOptions.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace validate {

struct Outcome {
    std::optional<Finding> finding;
    std::uint64_t index = 0;
    bool atStart = false; // the plug-in could not be created
    std::uint64_t steps = 0;
    SessionCounts counts;
};

// Makes the session a run drives: a new host with a new plug-in object, of either format.
using SessionMaker = std::function<std::unique_ptr<HostSession>()>;

// The runs of the command: seeds one after another (on one thread or three), a saved list, shrinking a
// finding to a minimal list, and the child runs that shrinking starts. library is the VST 2 binary (null
// for an LV2 run without one); makeSession makes the sessions of every run but the threaded one.
class Validator {
public:
    Validator(const Options& options, const CommandSetup& setup, const testhost::PluginLibrary* library,
              SessionMaker makeSession);

    int Run();

private:
    void describe();
    EditorParent* parent();
    std::string countsText(const SessionCounts& c) const;
    int runSeed(std::uint64_t seed, double deadline, std::uint64_t& total);
    int runThreaded(std::uint64_t seed, double deadline, std::uint64_t& total);
    int replay(const std::vector<Step>& steps);
    // A finding of a normal run: what and where, the command that replays it, and the minimal list.
    int report(const Outcome& outcome, std::uint64_t seed, const std::vector<Step>* list);
    int shrinkAndReport(std::vector<Step> steps, const FailureTest& once, const Finding& f,
                        const std::string& label);
    // --shrink: every candidate runs in a child process, so crashes and hangs shrink as well.
    int shrinkInChildren(const std::vector<Step>& steps, const std::string& source);
    int runChild();

    // Runs steps from next (which answers false when there are none left) on a fresh plug-in object.
    Outcome runSession(const std::function<bool(std::uint64_t, const PluginShape&, Step&)>& next,
                       PluginShape* shape = nullptr);
    // Runs a step list on a fresh plug-in object.
    Outcome runList(const std::vector<Step>& steps);
    // The shape steps are generated for: that of a freshly created plug-in object.
    PluginShape shapeOf();
    static std::vector<Step> readList(const std::string& path);
    static bool writeList(const std::string& path, const std::string& header, const std::vector<Step>& steps);
    static void printList(const std::vector<Step>& steps);
    // A path or name as typed in a shell: quoted when it holds spaces or quotes.
    static std::string quoted(const std::string& text);
    static std::string number(double value);

    Options o_;
    const CommandSetup& setup_;
    testhost::EntryPoint entry_;
    SessionMaker makeSession_;
    std::string prefix_;
    bool parentTried_ = false;
    std::unique_ptr<EditorParent> parent_;
    std::string editorNote_;
};

} // namespace validate
