#include "platform/x11/SaveDialogProcess.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace platform::x11 {

namespace {

// The most a dialog can say: a path, with room to spare. More is read and dropped, so a program that
// talks endlessly cannot fill the host's memory.
constexpr std::size_t kMaxOutput = 64 * 1024;

void SleepMs(int ms) {
    timespec ts{ms / 1000, (ms % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

std::vector<char*> PointerArray(const std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    pointers.reserve(strings.size() + 1);
    for (const std::string& s : strings)
        pointers.push_back(const_cast<char*>(s.c_str()));
    pointers.push_back(nullptr);
    return pointers;
}

} // namespace

ChildProcess::~ChildProcess() {
    Terminate();
}

bool ChildProcess::Start(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
    Terminate();
    output_.clear();
    exitCode_.reset();
    pipeAtEnd_ = false;
    reaped_ = false;
    startError_ = 0;
    state_ = State::NotStarted;
    if (argv.empty()) {
        startError_ = EINVAL;
        return false;
    }

    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        startError_ = errno;
        return false;
    }
    // Only our end is non-blocking; the program writes to an ordinary pipe.
    fcntl(fds[0], F_SETFL, fcntl(fds[0], F_GETFL) | O_NONBLOCK);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    // Descriptors the host left inheritable (its display connection, audio devices) stay with it.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
#endif

    // The host may block or ignore signals on its threads; the program starts with the defaults.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int s : {SIGPIPE, SIGCHLD, SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM})
        sigaddset(&defaults, s);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    // A process group of its own, so that ending the dialog also ends any helper it started.
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes,
                             POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

    std::vector<char*> args = PointerArray(argv);
    std::vector<char*> envp = PointerArray(env);
    pid_t pid = -1;
    const int result = posix_spawn(&pid, argv[0].c_str(), &actions, &attributes, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    close(fds[1]);
    if (result != 0) {
        close(fds[0]);
        startError_ = result;
        return false;
    }
    pid_ = pid;
    pipe_ = fds[0];
#if defined(SYS_pidfd_open)
    // A process descriptor keeps signals from reaching a recycled process id when the host reaps
    // children behind our back.
    pidfd_ = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (pidfd_ >= 0)
        fcntl(pidfd_, F_SETFD, FD_CLOEXEC);
#endif
    state_ = State::Running;
    return true;
}

bool ChildProcess::Reap(bool wait) {
    if (reaped_ || pid_ <= 0)
        return true;
    int status = 0;
    for (;;) {
        const pid_t r = waitpid(pid_, &status, wait ? 0 : WNOHANG);
        if (r == pid_) {
            reaped_ = true;
            if (WIFEXITED(status))
                exitCode_ = WEXITSTATUS(status);
            else if (WIFSIGNALED(status))
                exitCode_ = 128 + WTERMSIG(status);
            return true;
        }
        if (r == 0)
            return false;
        if (errno == EINTR)
            continue;
        // ECHILD: the host collects its children itself (SIGCHLD ignored or its own waitpid), so ours
        // has ended and its status is lost.
        reaped_ = true;
        return true;
    }
}

ChildProcess::State ChildProcess::Poll() {
    if (state_ != State::Running)
        return state_;
    auto drain = [this] {
        char buffer[4096];
        while (pipe_ >= 0 && !pipeAtEnd_) {
            const ssize_t n = read(pipe_, buffer, sizeof buffer);
            if (n > 0) {
                const std::size_t room = kMaxOutput - std::min(kMaxOutput, output_.size());
                output_.append(buffer, std::min<std::size_t>(room, static_cast<std::size_t>(n)));
            } else if (n == 0) {
                pipeAtEnd_ = true;
            } else if (errno == EINTR) {
                continue;
            } else {
                if (errno != EAGAIN && errno != EWOULDBLOCK)
                    pipeAtEnd_ = true;
                break;
            }
        }
    };
    drain();
    if (Reap(false)) {
        // Everything the program wrote before it ended is in the pipe now. A descendant still holding
        // the pipe open does not keep the dialog from finishing.
        drain();
        state_ = State::Finished;
        CloseDescriptors();
    }
    return state_;
}

void ChildProcess::Signal(int signal) {
    if (reaped_ || pid_ <= 0)
        return;
    // The group first (the program is not yet collected, so its id still names its group), then the
    // program itself through its process descriptor where there is one.
    kill(-pid_, signal);
#if defined(SYS_pidfd_send_signal)
    if (pidfd_ >= 0) {
        syscall(SYS_pidfd_send_signal, pidfd_, signal, nullptr, 0);
        return;
    }
#endif
    kill(pid_, signal);
}

void ChildProcess::Terminate() {
    if (state_ == State::Running && !Reap(false)) {
        Signal(SIGTERM);
        for (int i = 0; i < 25 && !Reap(false); ++i)
            SleepMs(4);
        if (!Reap(false)) {
            Signal(SIGKILL);
            Reap(true);
        }
        state_ = State::Finished;
    }
    CloseDescriptors();
    pid_ = -1;
}

void ChildProcess::CloseDescriptors() {
    if (pipe_ >= 0)
        close(pipe_);
    if (pidfd_ >= 0)
        close(pidfd_);
    pipe_ = -1;
    pidfd_ = -1;
}

DialogAnswer InterpretDialogOutput(std::optional<int> exitCode, const std::string& output) {
    std::string path = output;
    const bool endsLine = !path.empty() && path.back() == '\n';
    if (endsLine)
        path.pop_back();
    if (exitCode && *exitCode == 1)
        return {DialogAnswer::Kind::Cancelled, {}};
    if (exitCode && *exitCode != 0)
        return {DialogAnswer::Kind::Failed, {}};
    // An unknown status counts only a complete answer line as a choice.
    if (path.empty() || (!exitCode && !endsLine))
        return {DialogAnswer::Kind::Cancelled, {}};
    return {DialogAnswer::Kind::Chosen, path};
}

std::string FindProgram(const std::string& name, const std::string& pathVariable) {
    std::size_t start = 0;
    while (start <= pathVariable.size()) {
        std::size_t end = pathVariable.find(':', start);
        if (end == std::string::npos)
            end = pathVariable.size();
        const std::string folder = pathVariable.substr(start, end - start);
        // An empty or relative entry would depend on the host's working folder; skip it.
        if (!folder.empty() && folder.front() == '/') {
            const std::string candidate = folder + (folder.back() == '/' ? "" : "/") + name;
            if (access(candidate.c_str(), X_OK) == 0)
                return candidate;
        }
        start = end + 1;
    }
    return {};
}

std::vector<std::string> SaveDialogArguments(DialogProgram program, const std::string& programPath,
                                             const SaveDialogRequest& request, bool olderZenity) {
    std::string startPath;
    if (request.fileName.find('/') != std::string::npos)
        startPath = request.fileName;
    else if (!request.initialFolder.empty())
        startPath =
            request.initialFolder + (request.initialFolder.back() == '/' ? "" : "/") + request.fileName;
    else
        startPath = request.fileName;

    std::string patterns;
    for (const std::string& p : request.patterns)
        patterns += (patterns.empty() ? "" : " ") + p;

    std::vector<std::string> args{programPath};
    if (program == DialogProgram::Zenity) {
        args.push_back("--file-selection");
        args.push_back("--save");
        args.push_back("--title=" + request.title);
        if (!startPath.empty())
            args.push_back("--filename=" + startPath);
        if (!patterns.empty())
            args.push_back("--file-filter=" + request.filterName + " | " + patterns);
        if (request.confirmOverwrite && olderZenity)
            args.push_back("--confirm-overwrite");
    } else {
        args.push_back("--title");
        args.push_back(request.title);
        args.push_back("--getsavefilename");
        args.push_back(startPath.empty() ? std::string(".") : startPath);
        if (!patterns.empty())
            args.push_back(patterns + "|" + request.filterName);
    }
    return args;
}

bool IsZenityBefore391(const std::string& versionOutput) {
    int major = 0;
    int minor = 0;
    if (std::sscanf(versionOutput.c_str(), "%d.%d", &major, &minor) != 2)
        return false;
    return major < 3 || (major == 3 && minor < 91);
}

std::vector<std::string> DialogEnvironment(char** hostEnvironment, unsigned long windowId) {
    std::vector<std::string> env;
    for (char** e = hostEnvironment; e != nullptr && *e != nullptr; ++e) {
        const std::string entry = *e;
        if (entry.rfind("LD_LIBRARY_PATH=", 0) == 0 || entry.rfind("WINDOWID=", 0) == 0)
            continue;
        env.push_back(entry);
    }
    env.push_back("WINDOWID=" + std::to_string(windowId));
    return env;
}

} // namespace platform::x11
