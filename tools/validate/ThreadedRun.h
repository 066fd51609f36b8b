#pragma once

#include "tests/host/lib/PluginLibrary.h"
#include "tools/validate/Finding.h"
#include "tools/validate/Session.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

namespace validate {

struct ThreadedResult {
    std::optional<Finding> finding;
    Role role = Role::Main;      // the thread that found it
    std::uint64_t mainSteps = 0; // steps the main thread ran
    std::array<SessionCounts, kRoleCount> counts{};
    std::string editorNote; // why the user-interface thread opened no editor, if it did not
};

// One seed run with a host's three threads at once: the main thread is the audio thread and runs
// the seed's steps, pausing the others for the steps a host makes only while its other threads are
// quiet (reloading, switching on and off, new sample rates, programs, texts); an automation thread
// sets and reads parameters; a user-interface thread drives the editor in its own window and asks
// for texts and values. The interleaving depends on the machine, so a finding cannot be replayed
// exactly. onStep is called before each main step; the run ends early when it answers false.
ThreadedResult RunThreaded(testhost::EntryPoint entry, const SessionOptions& options, std::uint64_t seed,
                           std::uint64_t steps, bool editor,
                           const std::function<bool(std::uint64_t, const Step&)>& onStep);

} // namespace validate
