#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace platform::x11 {

// A helper program run without a shell, its standard output read through a non-blocking pipe. It is
// polled (never waited for) from the host's idle calls, and ended when its owner goes away. The host's
// environment and working folder are left untouched: the child gets its own environment block.
class ChildProcess {
public:
    enum class State { NotStarted, Running, Finished };

    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    // Ends a program still running (see Terminate).
    ~ChildProcess();

    // Starts argv[0] (a full path) with the environment env ("NAME=value" entries). Standard input
    // and error go to /dev/null, standard output to the pipe. False when the program cannot be
    // started; errno-style reason in StartError().
    bool Start(const std::vector<std::string>& argv, const std::vector<std::string>& env);
    int StartError() const { return startError_; }

    // Reads what the pipe holds, then checks for the program's end without waiting. Finished once
    // the program has ended and its output is read to the end. When the host reaps children itself
    // (SIGCHLD ignored) the exit status is unknown, and the end of the output stands for the end of
    // the program.
    State Poll();
    State CurrentState() const { return state_; }
    // The exit code once Finished; nothing when it is unknown or the program died from a signal.
    std::optional<int> ExitCode() const { return exitCode_; }
    const std::string& Output() const { return output_; }
    pid_t Pid() const { return pid_; }

    // Asks a running program to end (SIGTERM), waits briefly, then kills it (SIGKILL) and collects
    // it. Afterwards the process is gone and no descriptor is left open.
    void Terminate();

private:
    void CloseDescriptors();
    void Signal(int signal);
    bool Reap(bool wait);

    pid_t pid_ = -1;
    int pipe_ = -1;
    int pidfd_ = -1;
    State state_ = State::NotStarted;
    bool pipeAtEnd_ = false;
    bool reaped_ = false;
    std::optional<int> exitCode_;
    std::string output_;
    int startError_ = 0;
};

// What a save dialog program answered.
struct DialogAnswer {
    enum class Kind { Chosen, Cancelled, Failed };
    Kind kind = Kind::Failed;
    std::string path;
};

// Reads a finished dialog program: exit code 0 with a path on standard output is a choice (one
// trailing line break removed, so a path that itself contains a line break survives), 1 or an empty
// answer is a cancel, anything else a failure of the program itself. With the exit code unknown, a
// path on the output counts as a choice.
DialogAnswer InterpretDialogOutput(std::optional<int> exitCode, const std::string& output);

// The dialog programs the Linux editor can use, in order of preference.
enum class DialogProgram { Zenity, KDialog };

// Looks a program name up in the PATH given (colon-separated); empty when it is not there.
std::string FindProgram(const std::string& name, const std::string& pathVariable);

// The settings of a save dialog, in the terms the dialog programs take.
struct SaveDialogRequest {
    std::string title;
    std::string initialFolder;
    std::string fileName;              // offered in the name field; may be a full path
    std::string filterName;            // "fxp"
    std::vector<std::string> patterns; // {"*.fxp"}
    bool confirmOverwrite = true;
};

// Arguments (argv[0] = program) for a save dialog. zenity before 3.91 asks about overwriting only when
// told to; newer ones always ask and refuse the old option, so olderZenity says which one runs.
std::vector<std::string> SaveDialogArguments(DialogProgram program, const std::string& programPath,
                                             const SaveDialogRequest& request, bool olderZenity);

// Whether a "zenity --version" answer names a version before 3.91.
bool IsZenityBefore391(const std::string& versionOutput);

// The environment for a dialog program: the host's own (environ) without LD_LIBRARY_PATH, which a
// host may have set for its own libraries and which breaks the toolkit of the dialog, and with
// WINDOWID naming the editor's window so the dialog can stay above it.
std::vector<std::string> DialogEnvironment(char** hostEnvironment, unsigned long windowId);

} // namespace platform::x11
