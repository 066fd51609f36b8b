#include "tools/validate/Session.h"

#include "host/Capabilities.h"
#include "tools/validate/AllocationCounter.h"
#include "tools/validate/EditorParent.h"
#include "tools/validate/FloatState.h"
#include "tools/validate/HostBuffers.h"
#include "tools/validate/Opcodes.h"
#include "tools/validate/Random.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <sstream>
#include <vector>

namespace validate {

namespace {

using namespace vst2;

std::atomic<ThreadAllocationCounter> allocationCounter{nullptr};

// Whether the calling thread is inside an audio-thread call (the host's process level answers it).
thread_local bool inAudioCall = false;

// An address no process can read: for opcodes that take no pointer, ptr may hold anything.
void* const kBogusPointer = reinterpret_cast<void*>(std::uintptr_t{0x1F});
// What the plug-in finds in a pointer it is asked to set, so that "not set" shows.
constexpr std::uintptr_t kUnsetPointer = 0x5A5A5A5Au;
constexpr std::int64_t kMaxChunkBytes = std::int64_t{64} << 20;
constexpr int kMaxEditorSide = 16384;
constexpr int kMaxChannels = 64;

// Structures of the interface that the validator hands over and the plug-in frame has no use for.
struct VstMidiSysexEvent {
    VstInt32 type;
    VstInt32 byteSize;
    VstInt32 deltaFrames;
    VstInt32 flags;
    VstInt32 dumpBytes;
    VstIntPtr resvd1;
    char* sysexDump;
    VstIntPtr resvd2;
};
struct VstPatchChunkInfo {
    VstInt32 version;
    VstInt32 pluginUniqueID;
    VstInt32 pluginVersion;
    VstInt32 numElements;
    char future[48];
};
static_assert(sizeof(VstPatchChunkInfo) == 64);

// Capability strings that are not among the interface's, or only nearly.
constexpr const char* kOddCapabilities[] = {"",
                                            "ReceiveVstEvents",
                                            "receiveVstTimeInfo ",
                                            "MPE",
                                            "hasCockosExtensions",
                                            "supportsViewDpiScaling",
                                            "receiveVstSysexEvent"};

// A capability string a host asks about: mostly one of the interface's, sometimes another.
std::string capability(Random& random) {
    const std::uint32_t count = host::kCapabilityNames.size(), odd = std::size(kOddCapabilities);
    const std::uint32_t pick = random.Below(count + odd);
    return pick < count ? host::kCapabilityNames[pick] : kOddCapabilities[pick - count];
}

struct RecordField {
    const char* name;
    std::size_t offset;
    std::size_t size;
};
#define VALIDATE_FIELD(f)                                                                                    \
    RecordField {                                                                                            \
#f, offsetof(AEffect, f), sizeof(AEffect::f)                                                         \
    }
constexpr RecordField kRecordFields[] = {VALIDATE_FIELD(magic),
                                         VALIDATE_FIELD(dispatcher),
                                         VALIDATE_FIELD(process),
                                         VALIDATE_FIELD(setParameter),
                                         VALIDATE_FIELD(getParameter),
                                         VALIDATE_FIELD(numPrograms),
                                         VALIDATE_FIELD(numParams),
                                         VALIDATE_FIELD(numInputs),
                                         VALIDATE_FIELD(numOutputs),
                                         VALIDATE_FIELD(flags),
                                         VALIDATE_FIELD(resvd1),
                                         VALIDATE_FIELD(resvd2),
                                         VALIDATE_FIELD(initialDelay),
                                         VALIDATE_FIELD(realQualities),
                                         VALIDATE_FIELD(offQualities),
                                         VALIDATE_FIELD(ioRatio),
                                         VALIDATE_FIELD(object),
                                         VALIDATE_FIELD(user),
                                         VALIDATE_FIELD(uniqueID),
                                         VALIDATE_FIELD(version),
                                         VALIDATE_FIELD(processReplacing),
                                         VALIDATE_FIELD(processDoubleReplacing),
                                         VALIDATE_FIELD(future)};
#undef VALIDATE_FIELD

// What setParameter stores: above 1 becomes 1; below 0, or not a number, becomes 0.
float clampParameter(float value) noexcept {
    if (value > 1.0f)
        return 1.0f;
    return value >= 0.0f ? value : 0.0f;
}

std::string describe(double value) {
    std::ostringstream text;
    text << value;
    return text.str();
}

Finding finding(FindingKind kind, const std::string& message) {
    return Finding{kind, message};
}

struct Scratch {
    Channels inputs, outputs;
    std::vector<std::vector<float>> inputCopy, prefill;
    HostBytes bytes;
};

} // namespace

void SetAllocationCounter(ThreadAllocationCounter counter) noexcept {
    allocationCounter.store(counter);
}

ThreadAllocationCounter GetAllocationCounter() noexcept {
    return allocationCounter.load();
}

struct Session::Impl {
    Impl(testhost::EntryPoint entryPoint, const SessionOptions& sessionOptions)
        : entry(entryPoint), options(sessionOptions) {
        timeInfo.sampleRate = 44100.0;
        timeInfo.tempo = 120.0;
        timeInfo.timeSigNumerator = 4;
        timeInfo.timeSigDenominator = 4;
        timeInfo.flags = kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid;
        active.store(this);
    }
    ~Impl() {
        if (effect != nullptr)
            close();
        active.store(nullptr);
    }

    static std::atomic<Impl*> active;

    testhost::EntryPoint entry;
    SessionOptions options;
    AEffect* effect = nullptr;
    AEffect snapshot{};
    // What the host answers.
    VstIntPtr version = 2400;
    bool timePresent = true;
    VstTimeInfo timeInfo{};
    FloatMode mode = FloatMode::Default;
    // The parameter values as the host last set them (NaN: not known).
    std::vector<float> model;
    // The largest finite input magnitude the current object has been given.
    double inputPeak = 0.0;
    std::atomic<bool> ioChanged{false};
    std::atomic<VstInt32> foreignOpcode{-1};
    std::array<EditorParent*, kRoleCount> parents{};
    std::array<SessionCounts, kRoleCount> counts{};
    std::array<Scratch, kRoleCount> scratch;

    static VstIntPtr Callback(AEffect* record, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                              float opt);
    VstIntPtr answer(AEffect* record, VstInt32 opcode, VstInt32 index, void* ptr, float opt);

    // Calls into the plug-in with the host's floating-point state for the role and checks that the
    // caller's state comes back; an audio-thread call must not allocate either.
    template <typename Body>
    std::optional<Finding> call(Role role, bool audioThread, const char* what, Body&& body) {
        const FloatState own = ReadFloatState();
        const FloatState host = HostFloatState(role == Role::Main ? mode : FloatMode::Default, own);
        const ThreadAllocationCounter counter = audioThread ? allocationCounter.load() : nullptr;
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

    std::optional<Finding> create(VstIntPtr versionAnswer);
    void close();
    std::optional<Finding> reopen(VstIntPtr versionAnswer);
    std::optional<Finding> checkRecord();
    std::optional<Finding> checkForeign();
    // Reads every parameter: each must lie in 0..1 and, when unchanged is set, equal what was set.
    std::optional<Finding> readAllParameters(Role role, const std::string& after, bool unchanged);
    std::optional<Finding> dispatch(const Step& s, Role role);
    std::optional<Finding> checkArgument(const Step& s, Argument argument, const OpcodeInfo* info,
                                         VstIntPtr answer, Scratch& sc);
    std::optional<Finding> setParameter(const Step& s, Role role);
    std::optional<Finding> getParameter(const Step& s, Role role);
    std::optional<Finding> process(const Step& s, Role role);
    void setTime(const Step& s);
};

std::atomic<Session::Impl*> Session::Impl::active{nullptr};

VstIntPtr Session::Impl::Callback(AEffect* record, VstInt32 opcode, VstInt32 index, VstIntPtr, void* ptr,
                                  float opt) {
    // The plug-in may call back while a hostile floating-point state is in force.
    MaskedFloatScope masked;
    Impl* session = active.load();
    if (session == nullptr)
        return opcode == audioMasterVersion ? 2400 : 0;
    return session->answer(record, opcode, index, ptr, opt);
}

VstIntPtr Session::Impl::answer(AEffect* record, VstInt32 opcode, VstInt32 index, void* ptr, float opt) {
    // While the record does not exist yet, the plug-in may call with null or with its new record.
    if (effect != nullptr && record != nullptr && record != effect)
        foreignOpcode.store(opcode);
    switch (opcode) {
    case audioMasterAutomate:
        if (options.exactParameters && index >= 0 && static_cast<std::size_t>(index) < model.size())
            model[static_cast<std::size_t>(index)] = clampParameter(opt);
        return 0;
    case audioMasterVersion:
        return version;
    case audioMasterWantMidi:
        return 1;
    case audioMasterGetTime:
        return timePresent ? reinterpret_cast<VstIntPtr>(&timeInfo) : 0;
    case audioMasterIOChanged:
        ioChanged.store(true);
        return 1;
    case audioMasterGetSampleRate:
        return timeInfo.sampleRate >= 1.0 && timeInfo.sampleRate <= 1e7
                   ? static_cast<VstIntPtr>(timeInfo.sampleRate)
                   : 44100;
    case audioMasterGetBlockSize:
        return 512;
    case audioMasterGetCurrentProcessLevel:
        return inAudioCall ? 2 : 1;
    case audioMasterGetAutomationState:
        return 1;
    case audioMasterGetVendorString:
    case audioMasterGetProductString:
        if (ptr != nullptr)
            std::strcpy(static_cast<char*>(ptr),
                        opcode == audioMasterGetVendorString ? "VorelanEn2" : "vorelan validate");
        return 1;
    case audioMasterGetVendorVersion:
    case audioMasterGetLanguage:
    case audioMasterUpdateDisplay:
    case audioMasterBeginEdit:
    case audioMasterEndEdit:
        return 1;
    default:
        return 0;
    }
}

std::optional<Finding> Session::Impl::create(VstIntPtr versionAnswer) {
    effect = nullptr;
    version = versionAnswer;
    inputPeak = 0.0;
    AEffect* created = nullptr;
    if (auto f = call(Role::Main, false, "main", [&] { created = entry(&Callback); }))
        return f;
    if (created == nullptr && versionAnswer != 2400) {
        // A plug-in may refuse a host that reports no or an odd version; a current host it must take.
        version = 2400;
        if (auto f = call(Role::Main, false, "main", [&] { created = entry(&Callback); }))
            return f;
    }
    if (created == nullptr)
        return finding(FindingKind::NoEffect, "main answered no effect record to a host of version 2400");
    const AEffect& r = *created;
    std::string problem;
    if (r.magic != kEffectMagic)
        problem = "its magic is not \"VstP\"";
    else if (!r.dispatcher || !r.process || !r.setParameter || !r.getParameter)
        problem = "an entry point is missing";
    else if ((r.flags & effFlagsCanReplacing) != 0 && !r.processReplacing)
        problem = "it declares replacing processing without a processReplacing entry point";
    else if (r.numParams < 0 || r.numParams > 100000 || r.numPrograms < 0 || r.numInputs < 0 ||
             r.numInputs > kMaxChannels || r.numOutputs < 0 || r.numOutputs > kMaxChannels)
        problem = "its counts are out of range";
    if (!problem.empty())
        return finding(FindingKind::BadRecord, "the effect record main answered is unusable: " + problem);
    effect = created;
    snapshot = *created;
    model.assign(static_cast<std::size_t>(created->numParams), std::numeric_limits<float>::quiet_NaN());
    return readAllParameters(Role::Main, "the plug-in started", false);
}

void Session::Impl::close() {
    AEffect* closing = effect;
    effect = nullptr;
    // The record goes with the object: nothing to compare afterwards, only the caller's state.
    call(Role::Main, false, "effClose", [&] { closing->dispatcher(closing, effClose, 0, 0, nullptr, 0.0f); });
}

std::optional<Finding> Session::Impl::reopen(VstIntPtr versionAnswer) {
    if (effect != nullptr) {
        AEffect* closing = effect;
        effect = nullptr;
        if (auto f = call(Role::Main, false, "dispatcher(effClose)",
                          [&] { closing->dispatcher(closing, effClose, 0, 0, nullptr, 0.0f); }))
            return f;
    }
    ++counts[0].reopens;
    return create(versionAnswer);
}

std::optional<Finding> Session::Impl::checkRecord() {
    if (effect == nullptr)
        return std::nullopt;
    if (ioChanged.exchange(false)) {
        // After audioMasterIOChanged the pins, the latency and the ratio may be new.
        snapshot.numInputs = effect->numInputs;
        snapshot.numOutputs = effect->numOutputs;
        snapshot.initialDelay = effect->initialDelay;
        snapshot.ioRatio = effect->ioRatio;
    }
    if (std::memcmp(effect, &snapshot, sizeof snapshot) == 0)
        return std::nullopt;
    const auto* now = reinterpret_cast<const unsigned char*>(effect);
    const auto* was = reinterpret_cast<const unsigned char*>(&snapshot);
    std::string fields;
    for (const RecordField& field : kRecordFields)
        if (std::memcmp(now + field.offset, was + field.offset, field.size) != 0)
            fields += std::string(fields.empty() ? "" : ", ") + field.name;
    snapshot = *effect; // report each change once
    return finding(FindingKind::RecordChanged, "the effect record changed: " + fields +
                                                   (fields.find("num") != std::string::npos ||
                                                            fields.find("initialDelay") != std::string::npos
                                                        ? " (without audioMasterIOChanged)"
                                                        : ""));
}

std::optional<Finding> Session::Impl::checkForeign() {
    const VstInt32 opcode = foreignOpcode.exchange(-1);
    if (opcode < 0)
        return std::nullopt;
    return finding(FindingKind::ForeignRecord, "the plug-in called the host (opcode " +
                                                   std::to_string(opcode) +
                                                   ") with a record that is not its own");
}

std::optional<Finding> Session::Impl::readAllParameters(Role role, const std::string& after, bool unchanged) {
    for (VstInt32 i = 0; effect != nullptr && i < effect->numParams; ++i) {
        float value = 0.0f;
        if (auto f = call(role, false, "getParameter", [&] { value = effect->getParameter(effect, i); }))
            return f;
        if (!(value >= 0.0f && value <= 1.0f))
            return finding(FindingKind::ParameterReadBack, "after " + after + ", parameter " +
                                                               std::to_string(i) + " reads " +
                                                               describe(value) + ", outside 0..1");
        if (role != Role::Main || !options.exactParameters)
            continue;
        const float known = model[static_cast<std::size_t>(i)];
        if (unchanged && !std::isnan(known) && !(known == value))
            return finding(FindingKind::ParameterChanged,
                           "after " + after + ", parameter " + std::to_string(i) + " reads " +
                               describe(value) + " but was last set to " + describe(known));
        model[static_cast<std::size_t>(i)] = value;
    }
    return std::nullopt;
}

std::optional<Finding> Session::Impl::setParameter(const Step& s, Role role) {
    const bool audio = role != Role::UserInterface;
    if (auto f = call(role, audio, "setParameter", [&] { effect->setParameter(effect, s.index, s.opt); }))
        return f;
    const bool exact = role == Role::Main && options.exactParameters;
    if (s.index < 0 || s.index >= effect->numParams)
        return exact
                   ? readAllParameters(
                         role, "setParameter(" + std::to_string(s.index) + ", " + describe(s.opt) + ")", true)
                   : std::nullopt;
    const float expected = clampParameter(s.opt);
    if (exact)
        model[static_cast<std::size_t>(s.index)] = expected;
    float value = 0.0f;
    if (auto f = call(role, audio, "getParameter", [&] { value = effect->getParameter(effect, s.index); }))
        return f;
    const bool good = exact ? value == expected : value >= 0.0f && value <= 1.0f;
    if (!good)
        return finding(FindingKind::ParameterReadBack,
                       "setParameter(" + std::to_string(s.index) + ", " + describe(s.opt) +
                           ") then getParameter gives " + describe(value) +
                           (exact ? " instead of " + describe(expected) : ", outside 0..1"));
    return std::nullopt;
}

std::optional<Finding> Session::Impl::getParameter(const Step& s, Role role) {
    float value = 0.0f;
    if (auto f = call(role, role != Role::UserInterface, "getParameter",
                      [&] { value = effect->getParameter(effect, s.index); }))
        return f;
    if (s.index < 0 || s.index >= effect->numParams)
        return std::nullopt;
    if (!(value >= 0.0f && value <= 1.0f))
        return finding(FindingKind::ParameterReadBack, "getParameter(" + std::to_string(s.index) +
                                                           ") gives " + describe(value) + ", outside 0..1");
    const float known = role == Role::Main && options.exactParameters
                            ? model[static_cast<std::size_t>(s.index)]
                            : std::numeric_limits<float>::quiet_NaN();
    if (!std::isnan(known) && !(value == known))
        return finding(FindingKind::ParameterChanged, "getParameter(" + std::to_string(s.index) + ") gives " +
                                                          describe(value) + " but it was last set to " +
                                                          describe(known));
    return std::nullopt;
}

void Session::Impl::setTime(const Step& s) {
    timePresent = s.time != TimeMode::Absent;
    if (!timePresent)
        return;
    timeInfo.sampleRate = s.sampleRate;
    timeInfo.tempo = s.tempo;
    timeInfo.ppqPos = s.ppqPos;
    timeInfo.barStartPos = std::floor(s.ppqPos / 4.0) * 4.0;
    timeInfo.flags = s.timeFlags;
    if (s.time == TimeMode::Sane) {
        timeInfo.timeSigNumerator = 4;
        timeInfo.timeSigDenominator = 4;
    } else {
        Random random(s.seed);
        const VstInt32 hostile[] = {0, -1, 4, 7, INT32_MIN, INT32_MAX};
        timeInfo.timeSigNumerator = hostile[random.Below(6)];
        timeInfo.timeSigDenominator = hostile[random.Below(6)];
        timeInfo.samplePos = random.Chance(500) ? std::nan("") : -1e18;
    }
}

std::optional<Finding> Session::Impl::process(const Step& s, Role role) {
    const bool replacing = s.call == ProcessCall::Replacing;
    // A host calls processReplacing only when the record declares it.
    if (replacing && (effect->flags & effFlagsCanReplacing) == 0)
        return std::nullopt;
    Scratch& sc = scratch[static_cast<std::size_t>(role)];
    const int numIn = effect->numInputs, numOut = effect->numOutputs;
    const int n = std::max(s.frames, 0);
    const bool inPlace = s.inPlace && replacing && numIn == numOut;

    sc.inputs.Prepare(numIn, n);
    sc.inputCopy.resize(static_cast<std::size_t>(numIn));
    for (int c = 0; c < numIn; ++c) {
        float* samples = sc.inputs.pointers[static_cast<std::size_t>(c)];
        FillSignal(s.signal, s.seed, c, samples, n);
        sc.inputCopy[static_cast<std::size_t>(c)].assign(samples, samples + n);
        for (int i = 0; i < n; ++i)
            if (std::isfinite(samples[i]))
                inputPeak = std::max(inputPeak, static_cast<double>(std::fabs(samples[i])));
    }
    sc.outputs.Prepare(inPlace ? 0 : numOut, n);
    sc.prefill.resize(static_cast<std::size_t>(numOut));
    Random bus(s.seed ^ 0xACC0u);
    const bool silentBus = bus.Chance(700);
    for (int c = 0; c < numOut && !inPlace; ++c) {
        float* samples = sc.outputs.pointers[static_cast<std::size_t>(c)];
        // processReplacing must overwrite the marker; process adds to what the host's bus holds.
        for (int i = 0; i < n; ++i)
            samples[i] = replacing ? FloatOf(kMarkerBits) : silentBus ? 0.0f : 0.5f * bus.Bipolar();
        sc.prefill[static_cast<std::size_t>(c)].assign(samples, samples + n);
    }
    if (inPlace)
        sc.outputs.pointers = sc.inputs.pointers;
    sc.outputs.pointersBefore = sc.outputs.pointers;

    const char* what = replacing ? "processReplacing" : "process";
    const AEffectProcessProc entryPoint = replacing ? effect->processReplacing : effect->process;
    auto f = call(role, true, what, [&] {
        entryPoint(effect, sc.inputs.pointers.data(), sc.outputs.pointers.data(), s.frames);
    });
    SessionCounts& count = counts[static_cast<std::size_t>(role)];
    ++count.blocks;
    count.frames += static_cast<std::uint64_t>(n);
    timeInfo.samplePos += n;
    if (std::isfinite(timeInfo.sampleRate) && timeInfo.sampleRate > 0.0 && std::isfinite(timeInfo.tempo))
        timeInfo.ppqPos += n / timeInfo.sampleRate * timeInfo.tempo / 60.0;
    if (f)
        return f;

    const std::string block = " (block of " + std::to_string(s.frames) + " frames)";
    for (int c = 0; c < numIn; ++c)
        if (const std::int64_t at = sc.inputs.BrokenGuard(c, n); at != INT32_MIN)
            return finding(FindingKind::WriteOutside, std::string(what) + " wrote input channel " +
                                                          std::to_string(c) + " at frame " +
                                                          std::to_string(at) + block);
    for (int c = 0; c < numOut && !inPlace; ++c)
        if (const std::int64_t at = sc.outputs.BrokenGuard(c, n); at != INT32_MIN)
            return finding(FindingKind::WriteOutside, std::string(what) + " wrote output channel " +
                                                          std::to_string(c) + " at frame " +
                                                          std::to_string(at) + block);
    if (sc.inputs.pointers != sc.inputs.pointersBefore || sc.outputs.pointers != sc.outputs.pointersBefore)
        return finding(FindingKind::WriteOutside,
                       std::string(what) + " changed the host's array of channel pointers");
    if (!inPlace)
        for (int c = 0; c < numIn; ++c)
            for (int i = 0; i < n; ++i)
                if (BitsOf(sc.inputs.pointers[static_cast<std::size_t>(c)][i]) !=
                    BitsOf(sc.inputCopy[static_cast<std::size_t>(c)][static_cast<std::size_t>(i)]))
                    return finding(FindingKind::InputChanged, std::string(what) + " changed input channel " +
                                                                  std::to_string(c) + " at frame " +
                                                                  std::to_string(i) + block);
    const double bound = options.outputBound * (1.0 + kInputGainBound * std::min(inputPeak, kInputPeakClip));
    for (int c = 0; c < numOut; ++c)
        for (int i = 0; i < n; ++i) {
            const float out = sc.outputs.pointers[static_cast<std::size_t>(c)][i];
            const double added =
                replacing ? out
                          : static_cast<double>(out) -
                                sc.prefill[static_cast<std::size_t>(c)][static_cast<std::size_t>(i)];
            if (std::isfinite(out) && std::fabs(added) <= bound && BitsOf(out) != kMarkerBits)
                continue;
            const std::string where =
                std::string(what) + ": output channel " + std::to_string(c) + " frame " + std::to_string(i);
            if (replacing && !inPlace && BitsOf(out) == kMarkerBits)
                return finding(FindingKind::FrameNotWritten, where + " was not written" + block);
            if (!std::isfinite(out))
                return finding(FindingKind::NotFinite, where + " is " + describe(out) + block);
            return finding(FindingKind::OutOfBound, where + " is " + describe(added) + ", beyond " +
                                                        describe(options.outputBound) + " x (1 + " +
                                                        describe(kInputGainBound) + " x input peak " +
                                                        describe(inputPeak) + ")" + block);
        }
    return std::nullopt;
}

std::optional<Finding> Session::Impl::dispatch(const Step& s, Role role) {
    if (s.opcode == effClose) // the record goes with it: only a reload may close
        return reopen(2400);
    Scratch& sc = scratch[static_cast<std::size_t>(role)];
    EditorParent* parent = parents[static_cast<std::size_t>(role)];
    const OpcodeInfo* info = FindOpcode(s.opcode);
    const Argument argument =
        s.pointer == Pointer::Valid && info != nullptr ? info->argument : Argument::None;
    VstIntPtr value = static_cast<VstIntPtr>(s.value);
    void* ptr = nullptr;
    Random random(s.seed);

    switch (s.pointer) {
    case Pointer::Null:
        break;
    case Pointer::Bogus:
        ptr = kBogusPointer;
        break;
    case Pointer::Poison:
    case Pointer::Valid:
        ptr = sc.bytes.Prepare(0, 0);
        break;
    }
    switch (argument) {
    case Argument::None:
    case Argument::Opaque:
        break;
    case Argument::TextOut:
        ptr = sc.bytes.Prepare(static_cast<std::size_t>(info->limit), kSentinel);
        break;
    case Argument::TextIn:
    case Argument::Capability: {
        const std::string text = argument == Argument::Capability && random.Chance(900)
                                     ? capability(random)
                                     : TextFromSeed(s.seed);
        unsigned char* bytes = sc.bytes.Prepare(text.size() + 1, 0);
        std::memcpy(bytes, text.c_str(), text.size() + 1);
        ptr = bytes;
        break;
    }
    case Argument::ChunkOut:
    case Argument::RectOut:
    case Argument::SpeakerSlots: {
        const std::size_t slots = argument == Argument::SpeakerSlots ? 2 : 1;
        unsigned char* bytes = sc.bytes.Prepare(slots * sizeof(void*), 0);
        const std::uintptr_t unset = argument == Argument::SpeakerSlots ? 0 : kUnsetPointer;
        for (std::size_t i = 0; i < slots; ++i)
            std::memcpy(bytes + i * sizeof(void*), &unset, sizeof unset);
        ptr = bytes + (slots - 1) * sizeof(void*);
        if (argument == Argument::SpeakerSlots)
            value = reinterpret_cast<VstIntPtr>(bytes);
        break;
    }
    case Argument::ChunkIn: {
        const std::size_t size = static_cast<std::size_t>(std::clamp<std::int64_t>(s.value, 0, 1 << 16));
        unsigned char* bytes = sc.bytes.Prepare(size, 0);
        for (std::size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<unsigned char>(random.Below(256));
        value = static_cast<VstIntPtr>(size);
        ptr = bytes;
        break;
    }
    case Argument::PinOut:
        ptr = sc.bytes.Prepare(sizeof(VstPinProperties), 0);
        break;
    case Argument::Structure: {
        // The structure as a host hands it over: zeroed, its first field (an index) set.
        const std::size_t size = info->limit > 0 ? static_cast<std::size_t>(info->limit) : sizeof(ERect);
        unsigned char* bytes = sc.bytes.Prepare(size, 0);
        const VstInt32 first = static_cast<VstInt32>(random.Below(4));
        std::memcpy(bytes, &first, sizeof first);
        ptr = bytes;
        break;
    }
    case Argument::Events: {
        // A VstEvents list followed by its events and the system-exclusive dumps they point to.
        const int count =
            random.Chance(60) ? static_cast<int>(random.Between(9, 64)) : static_cast<int>(random.Below(9));
        const std::size_t header =
            offsetof(VstEvents, events) + static_cast<std::size_t>(std::max(count, 2)) * sizeof(VstEvent*);
        const std::size_t eventBytes = (sizeof(VstMidiSysexEvent) + 7) / 8 * 8;
        const std::size_t dumpBytes = 64;
        unsigned char* bytes =
            sc.bytes.Prepare(header + static_cast<std::size_t>(count) * (eventBytes + dumpBytes), 0);
        VstEvents list{};
        list.numEvents = random.Chance(950)
                             ? count
                             : static_cast<VstInt32>(random.Below(static_cast<std::uint32_t>(count) + 1));
        std::memcpy(bytes, &list, offsetof(VstEvents, events));
        for (int e = 0; e < count; ++e) {
            unsigned char* event = bytes + header + static_cast<std::size_t>(e) * eventBytes;
            char* dump =
                reinterpret_cast<char*>(bytes + header + static_cast<std::size_t>(count) * eventBytes +
                                        static_cast<std::size_t>(e) * dumpBytes);
            const std::uint32_t kind = random.Below(10);
            const VstInt32 deltaFrames = random.Chance(900) ? static_cast<VstInt32>(random.Below(512))
                                                            : static_cast<VstInt32>(random.Next());
            if (kind == 0) {
                VstMidiSysexEvent sysex{kVstSysExType,
                                        static_cast<VstInt32>(sizeof(VstMidiSysexEvent) - 8),
                                        deltaFrames,
                                        0,
                                        static_cast<VstInt32>(random.Below(dumpBytes + 1)),
                                        0,
                                        dump,
                                        0};
                for (std::size_t i = 0; i < dumpBytes; ++i)
                    dump[i] = static_cast<char>(random.Below(256));
                std::memcpy(event, &sysex, sizeof sysex);
            } else {
                VstMidiEvent midi{};
                midi.type = kind == 1 ? static_cast<VstInt32>(random.Between(2, 99)) : kVstMidiType;
                midi.byteSize = random.Chance(800) ? 24 : 32;
                midi.deltaFrames = deltaFrames;
                for (char& b : midi.midiData)
                    b = static_cast<char>(random.Below(256));
                std::memcpy(event, &midi, sizeof midi);
            }
            const auto* pointer = reinterpret_cast<VstEvent*>(event);
            std::memcpy(bytes + offsetof(VstEvents, events) + static_cast<std::size_t>(e) * sizeof(VstEvent*),
                        &pointer, sizeof pointer);
        }
        ptr = bytes;
        break;
    }
    case Argument::ParentWindow:
        if (parent == nullptr) {
            ++counts[static_cast<std::size_t>(role)].skippedEditor;
            return std::nullopt;
        }
        ptr = parent->Handle();
        break;
    case Argument::Speakers: {
        unsigned char* bytes = sc.bytes.Prepare(2 * sizeof(VstSpeakerArrangement), 0);
        for (int i = 0; i < 2; ++i) {
            VstSpeakerArrangement arrangement{};
            arrangement.type = 1; // stereo
            arrangement.numChannels = 2;
            std::memcpy(bytes + static_cast<std::size_t>(i) * sizeof arrangement, &arrangement,
                        sizeof arrangement);
        }
        value = reinterpret_cast<VstIntPtr>(bytes);
        ptr = bytes + sizeof(VstSpeakerArrangement);
        break;
    }
    case Argument::PatchInfo: {
        VstPatchChunkInfo patch{};
        patch.version = 1;
        patch.pluginUniqueID = random.Chance(700) ? effect->uniqueID : static_cast<VstInt32>(random.Next());
        patch.pluginVersion = effect->version;
        patch.numElements = random.Chance(800) ? 1 : static_cast<VstInt32>(random.Next());
        ptr = sc.bytes.Prepare(sizeof patch, 0);
        std::memcpy(ptr, &patch, sizeof patch);
        break;
    }
    }
    if (s.pointer == Pointer::Null && (argument == Argument::Speakers || argument == Argument::SpeakerSlots))
        value = 0;
    if (ptr != nullptr && ptr != kBogusPointer && argument != Argument::ParentWindow)
        sc.bytes.Remember();

    const std::string what =
        std::string("dispatcher(") + (info ? info->name : "opcode " + std::to_string(s.opcode)) + ")";
    VstIntPtr answer = 0;
    const bool audio = IsAudioThreadOpcode(s.opcode) && role != Role::UserInterface;
    if (auto f = call(role, audio, what.c_str(),
                      [&] { answer = effect->dispatcher(effect, s.opcode, s.index, value, ptr, s.opt); }))
        return f;
    if (s.opcode == effEditOpen && argument == Argument::ParentWindow && answer != 0)
        ++counts[static_cast<std::size_t>(role)].editorOpens;
    if (parent != nullptr && IsEditorOpcode(s.opcode))
        parent->Pump();

    if (s.pointer == Pointer::Poison && !sc.bytes.GuardIntact())
        return finding(FindingKind::WriteOutside,
                       what + " wrote into a host buffer passed in ptr, which it takes no "
                              "argument in");
    if (argument != Argument::None && argument != Argument::Opaque && argument != Argument::ParentWindow)
        if (auto f = checkArgument(s, argument, info, answer, sc))
            return f;
    if (role == Role::Main && options.exactParameters && MayChangeParameters(s.opcode))
        return readAllParameters(role, what, false);
    return std::nullopt;
}

std::optional<Finding> Session::Impl::checkArgument(const Step& s, Argument argument, const OpcodeInfo* info,
                                                    VstIntPtr answer, Scratch& sc) {
    const std::string what = std::string("dispatcher(") + info->name + ")";
    HostBytes& bytes = sc.bytes;
    if (argument == Argument::TextOut) {
        const std::size_t written = bytes.WrittenExtent();
        if (written > static_cast<std::size_t>(info->limit))
            return finding(FindingKind::WriteOutside, what + " wrote " + std::to_string(written) +
                                                          " bytes into a host text buffer of " +
                                                          std::to_string(info->limit));
        const unsigned char* text = bytes.data();
        if (written > 0 && std::find(text, text + written, 0) == text + written)
            return finding(FindingKind::BadText, what + " wrote " + std::to_string(written) +
                                                     " bytes of text without a terminating NUL");
        return std::nullopt;
    }
    if (!bytes.GuardIntact())
        return finding(FindingKind::WriteOutside, what + " wrote past the end of the " +
                                                      std::to_string(bytes.Region()) +
                                                      "-byte argument the host passed");
    switch (argument) {
    case Argument::TextIn:
    case Argument::Capability:
    case Argument::ChunkIn:
    case Argument::Events:
    case Argument::Speakers:
    case Argument::PatchInfo:
        if (!bytes.Unchanged())
            return finding(FindingKind::WriteOutside, what + " changed what the host handed over");
        break;
    case Argument::Structure:
        if (info->limit == 0 && !bytes.Unchanged())
            return finding(FindingKind::WriteOutside, what + " changed what the host handed over");
        break;
    case Argument::PinOut:
        if (answer != 0) {
            const unsigned char* label = bytes.data() + offsetof(VstPinProperties, label);
            if (std::find(label, label + 64, 0) == label + 64)
                return finding(FindingKind::BadText,
                               what + " answered a pin label without a terminating NUL");
        }
        break;
    case Argument::RectOut:
        if (answer != 0) {
            ERect* rect = nullptr;
            std::memcpy(&rect, bytes.data(), sizeof rect);
            if (rect == nullptr || reinterpret_cast<std::uintptr_t>(rect) == kUnsetPointer)
                return finding(FindingKind::BadAnswer, what + " answered " + std::to_string(answer) +
                                                           " without pointing the host at a rectangle");
            const int width = rect->right - rect->left, height = rect->bottom - rect->top;
            if (width < 0 || height < 0 || width > kMaxEditorSide || height > kMaxEditorSide)
                return finding(FindingKind::BadAnswer, what + " answered a rectangle of " +
                                                           std::to_string(width) + " x " +
                                                           std::to_string(height) + " pixels");
        }
        break;
    case Argument::ChunkOut:
        if (answer > 0) {
            const unsigned char* data = nullptr;
            std::memcpy(&data, bytes.data(), sizeof data);
            if (data == nullptr || reinterpret_cast<std::uintptr_t>(data) == kUnsetPointer ||
                static_cast<std::int64_t>(answer) > kMaxChunkBytes)
                return finding(FindingKind::BadAnswer, what + " answered a chunk of " +
                                                           std::to_string(answer) +
                                                           " bytes without the data, or an implausible size");
            // A host reads the whole chunk at once.
            volatile unsigned char last = 0;
            for (VstIntPtr i = 0; i < answer; ++i)
                last = data[i];
            static_cast<void>(last);
        }
        break;
    default:
        break;
    }
    static_cast<void>(s);
    return std::nullopt;
}

Session::Session(testhost::EntryPoint entry, const SessionOptions& options)
    : impl_(std::make_unique<Impl>(entry, options)) {}

Session::~Session() = default;

std::optional<Finding> Session::Start() {
    return impl_->create(2400);
}

std::optional<Finding> Session::Execute(const Step& step, Role role) {
    Impl& s = *impl_;
    ++s.counts[static_cast<std::size_t>(role)].steps;
    if (s.effect == nullptr && step.kind != StepKind::Reopen)
        return std::nullopt;
    std::optional<Finding> f = [&]() -> std::optional<Finding> {
        switch (step.kind) {
        case StepKind::Dispatch:
            return s.dispatch(step, role);
        case StepKind::SetParameter:
            return s.setParameter(step, role);
        case StepKind::GetParameter:
            return s.getParameter(step, role);
        case StepKind::Process:
            return s.process(step, role);
        case StepKind::Time:
            s.setTime(step);
            break;
        case StepKind::FloatMode:
            s.mode = step.floatMode;
            break;
        case StepKind::Reopen:
            return s.reopen(static_cast<VstIntPtr>(step.value));
        }
        return std::nullopt;
    }();
    if (!f && role == Role::Main)
        f = s.checkRecord();
    if (!f)
        f = s.checkForeign();
    if (f && (s.options.ignored >> static_cast<int>(f->kind) & 1u) != 0) {
        ++s.counts[static_cast<std::size_t>(role)].ignored[static_cast<std::size_t>(f->kind)];
        f.reset();
    }
    return f;
}

void Session::SetParent(Role role, EditorParent* parent) {
    impl_->parents[static_cast<std::size_t>(role)] = parent;
}

PluginShape Session::Shape() const {
    PluginShape shape;
    if (const AEffect* e = impl_->effect) {
        shape.numParams = e->numParams;
        shape.canReplacing = (e->flags & effFlagsCanReplacing) != 0 && e->processReplacing != nullptr;
    }
    return shape;
}

const SessionCounts& Session::Counts(Role role) const {
    return impl_->counts[static_cast<std::size_t>(role)];
}

} // namespace validate
