#include "tools/validate/Session.h"

#include "tools/validate/AllocationCounter.h"
#include "tools/validate/EditorParent.h"
#include "tools/validate/FloatState.h"
#include "tools/validate/SessionImpl.h"

#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <sstream>

namespace validate {

namespace {

using namespace vst2;

std::atomic<ThreadAllocationCounter> allocationCounter{nullptr};

constexpr int kMaxChannels = 64;

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

} // namespace

void SetAllocationCounter(ThreadAllocationCounter counter) noexcept {
    allocationCounter.store(counter);
}

ThreadAllocationCounter GetAllocationCounter() noexcept {
    return allocationCounter.load();
}

std::atomic<Session::Impl*> Session::Impl::active{nullptr};
thread_local bool Session::Impl::inAudioCall = false;

Session::Impl::Impl(testhost::EntryPoint entryPoint, const SessionOptions& sessionOptions)
    : entry(entryPoint), options(sessionOptions) {
    timeInfo.sampleRate = 44100.0;
    timeInfo.tempo = 120.0;
    timeInfo.timeSigNumerator = 4;
    timeInfo.timeSigDenominator = 4;
    timeInfo.flags = kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid;
    active.store(this);
}

Session::Impl::~Impl() {
    if (effect != nullptr)
        close();
    closeSoundObjects();
    active.store(nullptr);
}

float Session::Impl::clampParameter(float value) noexcept {
    if (value > 1.0f)
        return 1.0f;
    return value >= 0.0f ? value : 0.0f;
}

std::string Session::Impl::describe(double value) {
    return Describe(value);
}

Finding Session::Impl::finding(FindingKind kind, const std::string& message) {
    return Finding{kind, message};
}

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
    // While the record does not exist yet, the plug-in may call with null or with its new record (the
    // sound steps' objects, too, while they are made).
    if (effect != nullptr && record != nullptr && !ownsRecord(record) && !creatingOther)
        foreignOpcode.store(opcode);
    switch (opcode) {
    case audioMasterAutomate:
        if (record == effect && options.exactParameters && index >= 0 &&
            static_cast<std::size_t>(index) < model.size())
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
    editorsOpen.fill(0);
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
        case StepKind::Sound:
            return s.soundStep(step);
        case StepKind::Window:
            if (EditorParent* parent = s.parents[static_cast<std::size_t>(role)]) {
                parent->Destroy();
                ++s.counts[static_cast<std::size_t>(role)].windowsDestroyed;
            }
            break;
        case StepKind::Instantiate:
        case StepKind::Activate:
        case StepKind::Connect:
        case StepKind::Message:
        case StepKind::State:
            break; // an LV2 host's calls
        }
        return std::nullopt;
    }();
    const bool touchesEditor = (step.kind == StepKind::Dispatch && IsEditorOpcode(step.opcode)) ||
                               step.kind == StepKind::Reopen || step.kind == StepKind::Window;
    if (!f && touchesEditor)
        f = s.editorProblem(ToText(step), role);
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
