#pragma once

#include "tools/validate/Platform.h"
#include "tools/validate/Step.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace validate {

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

extern Whereabouts where;

// Writes the index of the current step to a child run's result file.
void writeChildResult();
// The command that replays the current seed run for the given number of steps; empty for other runs.
std::string commandFor(std::uint64_t steps);
// Reports a crash or hang at the current step: on the terminal, or for a child run in its result file.
void reportInterruption(const char* kind, const char* what);
void reportCrash(const char* what);

// Ends the process when a step has not come back for kHangSeconds.
class Watchdog {
public:
    Watchdog();
    ~Watchdog() {
        stop_.store(true);
        thread_.Join();
    }

private:
    std::atomic<bool> stop_{false};
    WorkerThread thread_;
};

} // namespace validate
