#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace validate {

// What the validator needs from the operating system, for Linux and Windows alike (the Windows
// toolchain here has no std::thread).

// A thread running body; joined by Join or at destruction.
class WorkerThread {
public:
    explicit WorkerThread(std::function<void()> body);
    ~WorkerThread();
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;
    void Join();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

void SleepMilliseconds(int milliseconds);
// Gives the processor to another thread for a moment.
void YieldThread();
// Seconds on a monotonic clock.
double Seconds();

std::string ExecutablePath();
std::string TemporaryFolder();

// Runs a program with its arguments, its output discarded, and waits for it: its exit status, and
// whether it ended by a signal or an unhandled exception instead of exiting.
struct ChildResult {
    int status = 0;
    bool crashed = false;
};
ChildResult RunChild(const std::vector<std::string>& command);

// On a crash of the process (a signal on Linux, an unhandled exception on Windows), calls report with
// a description of what happened, then ends the process with the status given. Builds with
// AddressSanitizer keep the sanitizer's own report instead.
void InstallCrashHandler(void (*report)(const char* what), int status);

} // namespace validate
