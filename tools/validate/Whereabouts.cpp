#include "tools/validate/Whereabouts.h"

#include "tools/validate/ValidateOptions.h"

#include <cstdio>
#include <cstdlib>

namespace validate {

Whereabouts where;

void writeChildResult() {
    if (FILE* file = std::fopen(where.childResult.c_str(), "w")) {
        std::fprintf(file, "%llu\n", static_cast<unsigned long long>(where.index));
        std::fclose(file);
    }
}

std::string commandFor(std::uint64_t steps) {
    return where.replayCommand.empty() ? std::string()
                                       : where.replayCommand + " --steps " + std::to_string(steps);
}

void reportInterruption(const char* kind, const char* what) {
    if (!where.childResult.empty()) {
        writeChildResult();
        return;
    }
    std::fprintf(stderr, "\n%s: %s: %s in step %llu of %s:\n    %s\n", where.name.c_str(), kind, what,
                 static_cast<unsigned long long>(where.index + 1), where.source.c_str(),
                 ToText(where.step).c_str());
    if (!where.replayCommand.empty()) {
        std::fprintf(stderr, "replay it:  %s\n", commandFor(where.index + 1).c_str());
        std::fprintf(stderr, "shrink it:  %s --shrink\n", commandFor(where.index + 1).c_str());
    } else if (!where.shrinkCommand.empty()) {
        std::fprintf(stderr, "shrink it:  %s\n", where.shrinkCommand.c_str());
    }
}

void reportCrash(const char* what) {
    reportInterruption("CRASH", what);
}

Watchdog::Watchdog()
    : thread_([this] {
          std::uint64_t seen = where.progress.load();
          double since = Seconds();
          while (!stop_.load()) {
              SleepMilliseconds(200);
              const std::uint64_t now = where.progress.load();
              if (now != seen || where.waiting.load()) {
                  seen = now;
                  since = Seconds();
              } else if (Seconds() - since > kHangSeconds) {
                  char what[64];
                  std::snprintf(what, sizeof what, "no return for %.0f seconds", kHangSeconds);
                  reportInterruption("HANG", what);
                  std::fflush(stderr);
                  std::_Exit(kExitHang);
              }
          }
      }) {}

} // namespace validate
