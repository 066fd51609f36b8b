#pragma once

#include "tools/validate/Session.h"

#include <cstdint>
#include <string>

namespace validate {

// Exit statuses of the command (see RunValidateCommand) and the limits of its runs.
inline constexpr int kExitClean = 0;
inline constexpr int kExitFinding = 1;
inline constexpr int kExitCrash = 3;
inline constexpr int kExitHang = 4;
// A child run (--child) exits with this plus the finding's kind.
inline constexpr int kChildFindingBase = 10;
inline constexpr double kHangSeconds = 120.0;
inline constexpr double kShrinkSeconds = 600.0;
inline constexpr int kDefaultSteps = 100000;

// The command line, as read.
struct Options {
    std::string plugin;    // the VST 2 binary; with lv2, the one to compare the sound with (empty: none)
    std::string lv2;       // the LV2 plug-in: its bundle, its processor binary or its URI (Linux only)
    std::string reference; // the reference binary, for the sound steps; empty without
    std::uint64_t seed = 1;
    std::uint64_t steps = kDefaultSteps;
    int seeds = 1;
    double minutes = 0.0;
    bool threads = false;
    std::string replay;
    bool shrink = false;
    std::string save;
    std::string child; // a child run: the file that gets the index of the failing step
    std::string ignoreText;
    bool editor = true;
    SessionOptions session;
};

} // namespace validate
