#include "tools/validate/Platform.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
extern char** environ;
#endif

#if defined(__SANITIZE_ADDRESS__)
#define VALIDATE_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VALIDATE_SANITIZED 1
#endif
#endif

namespace validate {

namespace {

void (*crashReport)(const char*) = nullptr;
int crashStatus = 3;

} // namespace

#ifdef _WIN32

struct WorkerThread::Impl {
    std::function<void()> body;
    HANDLE handle = nullptr;
    static DWORD WINAPI Run(LPVOID self) {
        static_cast<Impl*>(self)->body();
        return 0;
    }
};

WorkerThread::WorkerThread(std::function<void()> body) : impl_(std::make_unique<Impl>()) {
    impl_->body = std::move(body);
    impl_->handle = CreateThread(nullptr, 0, &Impl::Run, impl_.get(), 0, nullptr);
}

void WorkerThread::Join() {
    if (impl_->handle != nullptr) {
        WaitForSingleObject(impl_->handle, INFINITE);
        CloseHandle(impl_->handle);
        impl_->handle = nullptr;
    }
}

void SleepMilliseconds(int milliseconds) {
    Sleep(static_cast<DWORD>(milliseconds));
}

void YieldThread() {
    SwitchToThread();
}

std::string ExecutablePath() {
    char path[MAX_PATH * 4];
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    return std::string(path, length);
}

std::string TemporaryFolder() {
    char path[MAX_PATH + 1];
    const DWORD length = GetTempPathA(sizeof path, path);
    return length > 0 ? std::string(path, length) : std::string(".\\");
}

ChildResult RunChild(const std::vector<std::string>& command) {
    // Each argument quoted, with the backslashes before a quote doubled, as the C runtime parses them.
    std::string line;
    for (const std::string& argument : command) {
        line += line.empty() ? "\"" : " \"";
        std::size_t backslashes = 0;
        for (char c : argument) {
            if (c == '\\') {
                ++backslashes;
            } else {
                line.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
                backslashes = 0;
            }
            line += c;
        }
        line.append(backslashes, '\\');
        line += '"';
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ChildResult result;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &process)) {
        result.status = -1;
        return result;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    result.status = static_cast<int>(code);
    result.crashed = code >= 0xC0000000u;
    return result;
}

namespace {

LONG WINAPI unhandledException(EXCEPTION_POINTERS* exception) {
    char what[64];
    std::snprintf(what, sizeof what, "unhandled exception 0x%08lX",
                  static_cast<unsigned long>(exception->ExceptionRecord->ExceptionCode));
    if (crashReport != nullptr)
        crashReport(what);
    std::fflush(stdout);
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(crashStatus));
    return EXCEPTION_EXECUTE_HANDLER;
}

} // namespace

void InstallCrashHandler(void (*report)(const char* what), int status) {
    crashReport = report;
    crashStatus = status;
    SetUnhandledExceptionFilter(&unhandledException);
}

#else

struct WorkerThread::Impl {
    std::thread thread;
};

WorkerThread::WorkerThread(std::function<void()> body) : impl_(std::make_unique<Impl>()) {
    impl_->thread = std::thread(std::move(body));
}

void WorkerThread::Join() {
    if (impl_->thread.joinable())
        impl_->thread.join();
}

void SleepMilliseconds(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void YieldThread() {
    std::this_thread::yield();
}

std::string ExecutablePath() {
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string("vorelan");
}

std::string TemporaryFolder() {
    const char* folder = std::getenv("TMPDIR");
    return std::string(folder != nullptr && *folder == '/' ? folder : "/tmp") + "/";
}

ChildResult RunChild(const std::vector<std::string>& command) {
    std::vector<char*> argv;
    for (const std::string& argument : command)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    ChildResult result;
    const int error = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        result.status = -1;
        return result;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    result.crashed = WIFSIGNALED(status);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

namespace {

void crashSignal(int number) {
    const char* name = number == SIGSEGV  ? "segmentation fault"
                       : number == SIGBUS ? "bus error"
                       : number == SIGFPE ? "floating-point exception"
                       : number == SIGILL ? "illegal instruction"
                                          : "abort";
    char what[64];
    std::snprintf(what, sizeof what, "signal %d (%s)", number, name);
    if (crashReport != nullptr)
        crashReport(what);
    std::fflush(stdout);
    std::fflush(stderr);
    _exit(crashStatus);
}

} // namespace

void InstallCrashHandler(void (*report)(const char* what), int status) {
    crashReport = report;
    crashStatus = status;
#ifndef VALIDATE_SANITIZED
    // Its own stack, so that a stack overflow is reported too.
    static char alternateStack[1 << 16];
    stack_t stack{};
    stack.ss_sp = alternateStack;
    stack.ss_size = sizeof alternateStack;
    sigaltstack(&stack, nullptr);
    struct sigaction action {};
    action.sa_handler = &crashSignal;
    action.sa_flags = SA_ONSTACK | SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    for (int number : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT})
        sigaction(number, &action, nullptr);
#endif
}

#endif

WorkerThread::~WorkerThread() {
    Join();
}

double Seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

} // namespace validate
