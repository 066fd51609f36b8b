#pragma once

#include "platform/x11/SaveDialogProcess.h"

#include <memory>
#include <string>
#include <vector>

namespace platform::x11 {

// Runs the save dialog as a separate program, polled from the host's idle calls: zenity if the PATH
// has it (asked for its version first, to know how it takes the overwrite question), else kdialog.
// A program that cannot start or fails gives way to the next; with none left the caller shows its own
// file-name entry. Destroying the runner ends a dialog still open.
class SaveDialogRunner {
public:
    enum class Outcome { Running, Chosen, Cancelled, NoProgram };

    // pathVariable is searched for the programs; environment is what they get (DialogEnvironment).
    SaveDialogRunner(SaveDialogRequest request, std::string pathVariable,
                     std::vector<std::string> environment);

    // Never waits. Chosen and Cancelled are final; NoProgram means no dialog program could show it.
    Outcome Poll();
    const std::string& Path() const { return path_; }
    // The running helper, if any (tests).
    const ChildProcess* Process() const { return process_.get(); }

private:
    void StartNext();
    bool StartDialog(DialogProgram program, const std::string& programPath, bool olderZenity);

    SaveDialogRequest request_;
    std::vector<std::string> environment_;
    std::string zenity_;
    std::string kdialog_;
    enum class Stage { Probe, Zenity, KDialog, Done } stage_ = Stage::Probe;
    Outcome outcome_ = Outcome::Running;
    std::unique_ptr<ChildProcess> process_;
    std::string path_;
};

} // namespace platform::x11
