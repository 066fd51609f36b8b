#pragma once

// The inside of a Session, shared by the files that implement it: Session.cpp (the plug-in object's
// life, the host's answers and the checks of the effect record), SessionAudio.cpp (parameters, time
// information and processing) and SessionDispatch.cpp (dispatcher calls and the checks of what they
// answer).

#include "tools/validate/AllocationCounter.h"
#include "tools/validate/FloatState.h"
#include "tools/validate/HostBuffers.h"
#include "tools/validate/Opcodes.h"
#include "tools/validate/Session.h"

#include <array>
#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

namespace validate {

struct Session::Impl {
    Impl(testhost::EntryPoint entryPoint, const SessionOptions& sessionOptions);
    ~Impl();

    // The buffers of one role's calls, kept from call to call.
    struct Scratch {
        Channels inputs, outputs;
        std::vector<std::vector<float>> inputCopy, prefill;
        HostBytes bytes;
    };

    static std::atomic<Impl*> active;
    // Whether the calling thread is inside an audio-thread call (the host's process level answers it).
    static thread_local bool inAudioCall;

    testhost::EntryPoint entry;
    SessionOptions options;
    vst2::AEffect* effect = nullptr;
    vst2::AEffect snapshot{};
    // What the host answers.
    vst2::VstIntPtr version = 2400;
    bool timePresent = true;
    vst2::VstTimeInfo timeInfo{};
    FloatMode mode = FloatMode::Default;
    // The parameter values as the host last set them (NaN: not known).
    std::vector<float> model;
    // The largest finite input magnitude the current object has been given.
    double inputPeak = 0.0;
    std::atomic<bool> ioChanged{false};
    std::atomic<vst2::VstInt32> foreignOpcode{-1};
    std::array<EditorParent*, kRoleCount> parents{};
    std::array<SessionCounts, kRoleCount> counts{};
    std::array<Scratch, kRoleCount> scratch;

    static vst2::VstIntPtr Callback(vst2::AEffect* record, vst2::VstInt32 opcode, vst2::VstInt32 index,
                                    vst2::VstIntPtr value, void* ptr, float opt);
    vst2::VstIntPtr answer(vst2::AEffect* record, vst2::VstInt32 opcode, vst2::VstInt32 index, void* ptr,
                           float opt);

    // Calls into the plug-in with the host's floating-point state for the role and checks that the
    // caller's state comes back; an audio-thread call must not allocate either.
    template <typename Body>
    std::optional<Finding> call(Role role, bool audioThread, const char* what, Body&& body) {
        const FloatState own = ReadFloatState();
        const FloatState host = HostFloatState(role == Role::Main ? mode : FloatMode::Default, own);
        const ThreadAllocationCounter counter = audioThread ? GetAllocationCounter() : nullptr;
        const std::uint64_t allocationsBefore = counter != nullptr ? counter() : 0;
        inAudioCall = audioThread;
        WriteFloatState(host);
        body();
        const FloatState after = ReadFloatState();
        WriteFloatState(own);
        inAudioCall = false;
        const std::uint64_t allocations = counter != nullptr ? counter() - allocationsBefore : 0;
        if (!SameControl(after, host)) {
            char text[160];
            std::snprintf(text, sizeof text,
                          "%s gave the caller's floating-point state back changed: MXCSR 0x%04X -> 0x%04X, "
                          "x87 control word 0x%04X -> 0x%04X",
                          what, host.mxcsr, after.mxcsr, host.x87, after.x87);
            return finding(FindingKind::FloatState, text);
        }
        if (allocations > 0)
            return finding(FindingKind::Allocation, std::string(what) + " allocated heap memory " +
                                                        std::to_string(allocations) +
                                                        " times on the audio thread");
        return std::nullopt;
    }

    std::optional<Finding> create(vst2::VstIntPtr versionAnswer);
    void close();
    std::optional<Finding> reopen(vst2::VstIntPtr versionAnswer);
    std::optional<Finding> checkRecord();
    std::optional<Finding> checkForeign();
    // Reads every parameter: each must lie in 0..1 and, when unchanged is set, equal what was set.
    std::optional<Finding> readAllParameters(Role role, const std::string& after, bool unchanged);
    std::optional<Finding> dispatch(const Step& s, Role role);
    std::optional<Finding> checkArgument(const Step& s, Argument argument, const OpcodeInfo* info,
                                         vst2::VstIntPtr answer, Scratch& sc);
    std::optional<Finding> setParameter(const Step& s, Role role);
    std::optional<Finding> getParameter(const Step& s, Role role);
    std::optional<Finding> process(const Step& s, Role role);
    void setTime(const Step& s);

    // What setParameter stores: above 1 becomes 1; below 0, or not a number, becomes 0.
    static float clampParameter(float value) noexcept;
    static std::string describe(double value);
    static Finding finding(FindingKind kind, const std::string& message);
};

} // namespace validate
