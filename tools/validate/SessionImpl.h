#pragma once

// The inside of a Session, shared by the files that implement it: Session.cpp (the plug-in object's
// life, the host's answers and the checks of the effect record), SessionAudio.cpp (parameters, time
// information and processing), SessionDispatch.cpp (dispatcher calls and the checks of what they
// answer) and SessionSound.cpp (the long-lived objects whose sound is checked).

#include "tools/validate/CheckedCall.h"
#include "tools/validate/HostBuffers.h"
#include "tools/validate/Opcodes.h"
#include "tools/validate/Session.h"

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace validate {

struct Session::Impl {
    Impl(testhost::EntryPoint entryPoint, const SessionOptions& sessionOptions);
    ~Impl();

    // The buffers of one role's calls, kept from call to call.
    struct Scratch : BlockBuffers {
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
    // Opens of each role that answered an editor and are not closed yet, as the host counts them.
    std::array<int, kRoleCount> editorsOpen{};

    // Plug-in objects of the sound steps (SessionSound.cpp), made at the first one. They live until the
    // session ends, whatever reloads the main object goes through.
    struct SoundObject {
        vst2::AEffect* effect = nullptr;
        double inputPeak = 0.0;
        std::uint64_t blocks = 0;
    };
    struct Sound;
    struct SoundDeleter {
        void operator()(Sound* sound) const noexcept;
    };
    std::unique_ptr<Sound, SoundDeleter> sound;
    std::atomic<bool> creatingOther{false}; // a sound step's object is being made: its record is unknown

    static vst2::VstIntPtr Callback(vst2::AEffect* record, vst2::VstInt32 opcode, vst2::VstInt32 index,
                                    vst2::VstIntPtr value, void* ptr, float opt);
    vst2::VstIntPtr answer(vst2::AEffect* record, vst2::VstInt32 opcode, vst2::VstInt32 index, void* ptr,
                           float opt);

    // Calls into the plug-in with the host's floating-point state for the role and checks that the
    // caller's state comes back; an audio-thread call must not allocate either.
    template <typename Body>
    std::optional<Finding> call(Role role, bool audioThread, const char* what, Body&& body) {
        return CheckedCall(role == Role::Main ? mode : FloatMode::Default, audioThread, what, [&] {
            inAudioCall = audioThread;
            body();
            inAudioCall = false;
        });
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

    // One block through plug-in object e, as process and sound steps make them: inputs from fill
    // (channel, samples, frames) between guards, the marker (processReplacing) or the host's bus
    // (process; busSeed chooses silence or quiet noise) in the outputs, then every check of a block.
    // The outputs stay in sc.outputs and the bus an accumulating call added to in sc.prefill. The
    // documented bound holds with inputPeak, which the block's inputs raise; tight, when not empty,
    // bounds each output channel more closely (what the program allows).
    std::optional<Finding> block(Role role, vst2::AEffect* e, ProcessCall call, bool inPlace,
                                 vst2::VstInt32 frames, std::uint32_t busSeed, double& inputPeak,
                                 const std::function<void(int, float*, int)>& fill,
                                 const std::vector<double>& tight);
    std::optional<Finding> soundStep(const Step& s);
    void closeSoundObjects();
    bool ownsRecord(const vst2::AEffect* record) const;
    // effEditOpen and effEditClose as the host counts them; window tells whether ptr was the host's
    // window (rather than null or a handle that names none).
    std::optional<Finding> checkEditorAnswer(const Step& s, Role role, bool window, const void* ptr,
                                             vst2::VstIntPtr answer, const std::string& what);
    // What the editor did to the host's window system (an error of its that reached the host's
    // handler, a handler of its left installed), after what.
    std::optional<Finding> editorProblem(const std::string& what, Role role);

    // What setParameter stores: above 1 becomes 1; below 0, or not a number, becomes 0.
    static float clampParameter(float value) noexcept;
    static std::string describe(double value);
    static Finding finding(FindingKind kind, const std::string& message);
};

} // namespace validate
