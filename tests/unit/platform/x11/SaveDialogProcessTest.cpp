#include "platform/x11/SaveDialogProcess.h"
#include "platform/x11/SaveDialogRunner.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace platform::x11 {
namespace {

namespace fs = std::filesystem;

// A folder of small shell scripts standing in for dialog programs.
class ScriptFolder {
public:
    ScriptFolder() {
        char name[] = "/tmp/vorelan-x11-dialog-XXXXXX";
        folder_ = mkdtemp(name);
    }
    ~ScriptFolder() { fs::remove_all(folder_); }
    std::string Add(const std::string& name, const std::string& body) {
        const std::string path = folder_ + "/" + name;
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        chmod(path.c_str(), 0755);
        return path;
    }
    const std::string& Path() const { return folder_; }

private:
    std::string folder_;
};

int OpenDescriptors() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir) != nullptr)
            ++count;
        closedir(dir);
    }
    return count;
}

// Whether a process runs: it exists and is not a zombie waiting for whoever adopted it.
bool Alive(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line))
        return false;
    const std::size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] != 'Z';
}

ChildProcess::State RunToEnd(ChildProcess& process) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (process.Poll() == ChildProcess::State::Running && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return process.CurrentState();
}

SaveDialogRunner::Outcome RunToEnd(SaveDialogRunner& runner) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    SaveDialogRunner::Outcome outcome = runner.Poll();
    while (outcome == SaveDialogRunner::Outcome::Running && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        outcome = runner.Poll();
    }
    return outcome;
}

TEST(SaveDialogProcessTest, AnswersOfTheDialogProgram) {
    using Kind = DialogAnswer::Kind;
    EXPECT_EQ(InterpretDialogOutput(0, "/home/u/My Preset.fxp\n").path, "/home/u/My Preset.fxp");
    const DialogAnswer newline = InterpretDialogOutput(0, "/tmp/two\nlines\n");
    EXPECT_EQ(newline.kind, Kind::Chosen);
    EXPECT_EQ(newline.path, "/tmp/two\nlines") << "only the line break the program adds is removed";
    EXPECT_EQ(InterpretDialogOutput(1, "").kind, Kind::Cancelled);
    EXPECT_EQ(InterpretDialogOutput(1, "/tmp/x\n").kind, Kind::Cancelled)
        << "exit 1 is a cancel whatever it says";
    EXPECT_EQ(InterpretDialogOutput(0, "\n").kind, Kind::Cancelled) << "an empty name is no choice";
    EXPECT_EQ(InterpretDialogOutput(255, "").kind, Kind::Failed);
    EXPECT_EQ(InterpretDialogOutput(std::nullopt, "/tmp/x.fxp\n").path, "/tmp/x.fxp")
        << "with the status lost, a complete answer line is a choice";
    EXPECT_EQ(InterpretDialogOutput(std::nullopt, "/tmp/x.f").kind, Kind::Cancelled)
        << "a cut-off answer is not";
}

TEST(SaveDialogProcessTest, ReadsTheAnswerAndExitCodeWithoutWaiting) {
    ScriptFolder scripts;
    const int before = OpenDescriptors();
    {
        ChildProcess chosen;
        ASSERT_TRUE(chosen.Start({scripts.Add("chosen", "sleep 0.2; printf '/tmp/a\\nb.fxp\\n'"), "x"}, {}));
        EXPECT_EQ(chosen.Poll(), ChildProcess::State::Running) << "polling does not wait for the program";
        EXPECT_EQ(RunToEnd(chosen), ChildProcess::State::Finished);
        EXPECT_EQ(chosen.ExitCode(), 0);
        EXPECT_EQ(InterpretDialogOutput(chosen.ExitCode(), chosen.Output()).path, "/tmp/a\nb.fxp");

        ChildProcess cancelled;
        ASSERT_TRUE(cancelled.Start({scripts.Add("cancel", "exit 1")}, {}));
        EXPECT_EQ(RunToEnd(cancelled), ChildProcess::State::Finished);
        EXPECT_EQ(cancelled.ExitCode(), 1);

        ChildProcess missing;
        EXPECT_FALSE(missing.Start({scripts.Path() + "/no-such-program"}, {}));
        EXPECT_NE(missing.StartError(), 0);
    }
    EXPECT_EQ(OpenDescriptors(), before) << "no pipe or process descriptor is left open";
}

TEST(SaveDialogProcessTest, AProgramReapedByTheHostStillGivesItsAnswer) {
    ScriptFolder scripts;
    // Hosts that ignore SIGCHLD have their children collected by the system: waitpid finds none.
    struct sigaction ignore {};
    struct sigaction previous {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGCHLD, &ignore, &previous);
    ChildProcess process;
    ASSERT_TRUE(process.Start({scripts.Add("gone", "echo /tmp/gone.fxp")}, {}));
    EXPECT_EQ(RunToEnd(process), ChildProcess::State::Finished);
    sigaction(SIGCHLD, &previous, nullptr);
    EXPECT_FALSE(process.ExitCode().has_value()) << "the status is lost";
    EXPECT_EQ(InterpretDialogOutput(process.ExitCode(), process.Output()).path, "/tmp/gone.fxp");
}

TEST(SaveDialogProcessTest, TerminateEndsAProgramThatIgnoresTheRequest) {
    ScriptFolder scripts;
    ChildProcess process;
    const std::string helperPid = scripts.Path() + "/helper.pid";
    // The program ignores SIGTERM and has started a helper of its own.
    ASSERT_TRUE(process.Start({scripts.Add("stubborn", "trap '' TERM; /bin/sleep 30 & echo $! > " +
                                                           helperPid + "; while :; do /bin/sleep 1; done")},
                              {}));
    const pid_t pid = process.Pid();
    for (int i = 0; i < 500 && !(fs::exists(helperPid) && fs::file_size(helperPid) > 0); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    pid_t helper = 0;
    std::ifstream(helperPid) >> helper;
    ASSERT_GT(helper, 0);
    const auto start = std::chrono::steady_clock::now();
    process.Terminate();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), -1) << "the process is collected, no zombie is left";
    EXPECT_EQ(kill(pid, 0), -1);
    for (int i = 0; i < 500 && Alive(helper); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_FALSE(Alive(helper)) << "the helper the program started is ended with it";
}

TEST(SaveDialogProcessTest, TheProgramGetsItsOwnEnvironmentAndTheHostKeepsItsOwn) {
    ScriptFolder scripts;
    char* fake[] = {const_cast<char*>("HOME=/home/u"), const_cast<char*>("LD_LIBRARY_PATH=/opt/host/lib"),
                    const_cast<char*>("WINDOWID=1"), nullptr};
    const std::vector<std::string> env = DialogEnvironment(fake, 4242);
    EXPECT_EQ(env, (std::vector<std::string>{"HOME=/home/u", "WINDOWID=4242"}));

    setenv("VORELAN_TEST_MARK", "host", 1);
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ChildProcess process;
    ASSERT_TRUE(process.Start({scripts.Add("env", "echo \"$WINDOWID:${LD_LIBRARY_PATH-unset}:$(pwd)\""), "x"},
                              {"WINDOWID=77", "PATH=/usr/bin:/bin"}));
    RunToEnd(process);
    EXPECT_EQ(process.Output(), "77:unset:" + std::string(cwd) + "\n");
    EXPECT_STREQ(std::getenv("VORELAN_TEST_MARK"), "host");
    unsetenv("VORELAN_TEST_MARK");
}

TEST(SaveDialogProcessTest, RunnerPrefersZenityThenKDialogAndReportsWhenThereIsNone) {
    SaveDialogRequest request;
    request.title = "Save As";
    request.initialFolder = "/data/presets";
    request.fileName = "";
    request.filterName = "fxp";
    request.patterns = {"*.fxp"};

    {
        // An older zenity is told to ask before overwriting; the arguments come back as the answer.
        ScriptFolder scripts;
        scripts.Add("zenity", "if [ \"$1\" = --version ]; then echo 3.44.0; exit 0; fi\n"
                              "echo \"$*\"");
        SaveDialogRunner runner(request, scripts.Path(), {});
        ASSERT_EQ(RunToEnd(runner), SaveDialogRunner::Outcome::Chosen);
        EXPECT_EQ(runner.Path(), "--file-selection --save --title=Save As --filename=/data/presets/ "
                                 "--file-filter=fxp | *.fxp --confirm-overwrite");
    }
    {
        ScriptFolder scripts;
        scripts.Add("zenity", "if [ \"$1\" = --version ]; then echo 4.0.1; exit 0; fi\necho \"$*\"");
        SaveDialogRunner runner(request, scripts.Path(), {});
        ASSERT_EQ(RunToEnd(runner), SaveDialogRunner::Outcome::Chosen);
        EXPECT_EQ(runner.Path().find("--confirm-overwrite"), std::string::npos) << "newer zenity always asks";
    }
    {
        // A zenity that fails gives way to kdialog.
        ScriptFolder scripts;
        scripts.Add("zenity", "[ \"$1\" = --version ] && echo 3.44.0 && exit 0; exit 255");
        scripts.Add("kdialog", "echo \"$*\"");
        SaveDialogRunner runner(request, "relative/bin:" + scripts.Path(), {});
        ASSERT_EQ(RunToEnd(runner), SaveDialogRunner::Outcome::Chosen);
        EXPECT_EQ(runner.Path(), "--title Save As --getsavefilename /data/presets/ *.fxp|fxp");
    }
    {
        ScriptFolder scripts;
        scripts.Add("kdialog", "exit 1");
        SaveDialogRunner runner(request, scripts.Path(), {});
        EXPECT_EQ(RunToEnd(runner), SaveDialogRunner::Outcome::Cancelled);
    }
    {
        ScriptFolder scripts;
        SaveDialogRunner runner(request, scripts.Path(), {});
        EXPECT_EQ(runner.Poll(), SaveDialogRunner::Outcome::NoProgram)
            << "the editor then asks for a name itself";
    }
}

} // namespace
} // namespace platform::x11
