#pragma once

#include "tests/host/lib/PluginLibrary.h"
#include "tools/validate/Finding.h"
#include "tools/validate/Step.h"
#include "tools/validate/StepGenerator.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

namespace validate {

class EditorParent;

// The output bound the validator holds a plug-in to, the one the effect documents: every output sample
// (for the accumulating call, what the call added) satisfies |out| <= bound * (1 + kInputGainBound *
// peak), where peak is the largest finite input magnitude the plug-in object has been given since it
// was created, taken at most as kInputPeakClip (the effect clips larger inputs there).
inline constexpr double kDefaultOutputBound = 3760.0;
inline constexpr double kInputGainBound = 1.4;
inline constexpr double kInputPeakClip = 1e15;

// The threads of a host. The main thread runs the step list (in a threaded run it is the audio
// thread); the others are the automation and user-interface threads of a threaded run.
enum class Role { Main, Automation, UserInterface };
inline constexpr int kRoleCount = 3;

struct SessionOptions {
    double outputBound = kDefaultOutputBound;
    // The test-only reference binary's entry point: where given, sound steps also render each program
    // through it, and the plug-in must sound like it up to rounding.
    testhost::EntryPoint reference = nullptr;
    // Whether getParameter must give back exactly what was set; off while several threads write.
    bool exactParameters = true;
    // Kinds of finding that are counted and passed over instead of ending the run (bit = kind).
    std::uint32_t ignored = 0;
};

struct SessionCounts {
    std::uint64_t steps = 0;
    std::uint64_t blocks = 0;
    std::uint64_t frames = 0;
    std::uint64_t editorOpens = 0;
    std::uint64_t reopens = 0;
    std::uint64_t skippedEditor = 0; // editor opens without a window system
    std::uint64_t windowsDestroyed = 0;
    std::uint64_t soundSteps = 0;
    std::uint64_t lastingBlocks = 0; // blocks of the long-lived object of the sound steps
    // LV2 sessions: instances made, messages delivered, states saved and restored, and frames whose
    // sound was compared with the VST 2 plug-in's.
    std::uint64_t instances = 0;
    std::uint64_t messages = 0;
    std::uint64_t states = 0;
    std::uint64_t vst2Frames = 0;
    std::array<std::uint64_t, kFindingKinds> ignored{};
};

// A host driving one plug-in binary through steps, whatever its format: the runs, replays and shrinking
// of the validator see only this.
class HostSession {
public:
    virtual ~HostSession() = default;

    // Creates the plug-in object; a finding when the binary gives none that is usable.
    virtual std::optional<Finding> Start() = 0;
    // Runs one step on the calling thread in the given role; the first fault it shows, if any. Steps of
    // another format are passed over.
    virtual std::optional<Finding> Execute(const Step& step, Role role = Role::Main) = 0;
    // The window editors open in for a role; null means there is no window system.
    virtual void SetParent(Role role, EditorParent* parent) = 0;

    virtual PluginShape Shape() const = 0;
    virtual const SessionCounts& Counts(Role role = Role::Main) const = 0;
};

// A VST 2 plug-in under test, driven as a host drives it: runs steps, checks the plug-in after every
// call and answers its host callbacks. One session per process at a time: the host callback finds it
// through a global, as the version query arrives before the record exists.
class Session final : public HostSession {
public:
    Session(testhost::EntryPoint entry, const SessionOptions& options);
    ~Session() override;
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    std::optional<Finding> Start() override;
    std::optional<Finding> Execute(const Step& step, Role role = Role::Main) override;
    void SetParent(Role role, EditorParent* parent) override;

    PluginShape Shape() const override;
    const SessionCounts& Counts(Role role = Role::Main) const override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace validate
