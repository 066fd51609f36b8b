#include "host/TVstTemplate.h"

#include "host/Capabilities.h"
#include "host/RandomGenerator.h"
#include "host/TVstTemplateEditor.h"
#include "host/Text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <new>

namespace host {

namespace {

// Host buffers for texts: the longest texts written are a parameter name (30 characters), a
// program name (23, kHostProgramNameSize) and the names answered to the host's effect-name (31) and
// vendor (63) queries.
constexpr std::size_t kParameterTextSize = TVstParameterProperty::kNameSize;
constexpr std::size_t kEffectNameSize = 32;
constexpr std::size_t kVendorNameSize = 64;
constexpr std::size_t kPinLabelSize = 64;

bool inRange(VstInt32 index, std::size_t count) noexcept {
    return index >= 0 && static_cast<std::size_t>(index) < count;
}

} // namespace

TVstTemplate::TVstTemplate(vst2::audioMasterCallback audioMaster, const TVstIdentity& identity,
                           VstInt32 numPrograms, VstInt32 numParams,
                           std::unique_ptr<EditorFormFactory> formClass)
    : AudioEffectX(audioMaster, numPrograms > 0 ? numPrograms : 0, numParams > 0 ? numParams : 0),
      identity_(identity) {
    pendingOutgoingEvents_ = 0;
    SetMaxBlockLength(identity_.MaxBlockLength > 0 ? identity_.MaxBlockLength : kDefaultBlockLength);
    if (!scratch_)
        throw std::bad_alloc();

    programs_.resize(static_cast<std::size_t>(this->numPrograms));
    for (VstInt32 i = this->numPrograms - 1; i >= 0; --i)
        programs_[static_cast<std::size_t>(i)] = std::make_unique<TVstProgram>(this->numParams);
    parameterProperties_.reserve(static_cast<std::size_t>(this->numParams));
    for (VstInt32 i = 0; i < this->numParams; ++i)
        parameterProperties_.push_back(std::make_unique<TVstParameterProperty>(i));

    outgoingEvents_.numEvents = 0;
    eventRecords_.assign(kMaxOutgoingEvents, vst2::VstMidiEvent{});
    for (int i = 0; i < kMaxOutgoingEvents; ++i) {
        eventRecords_[static_cast<std::size_t>(i)].type = vst2::kVstMidiType;
        eventRecords_[static_cast<std::size_t>(i)].byteSize = 24;
        outgoingEvents_.events[i] =
            reinterpret_cast<vst2::VstEvent*>(&eventRecords_[static_cast<std::size_t>(i)]);
    }

    if (formClass)
        setEditor(std::make_unique<TVstTemplateEditor>(this, std::move(formClass)));

    RandomGenerator::SeedFromClock();
    suspend();

    std::string id = identity_.UniqueID;
    while (id.size() < 4)
        id += ' ';
    setUniqueID(vst2::FourCharCode(id[0], id[1], id[2], id[3]));

    const std::uint16_t options = identity_.Options;
    isSynth((options & kOptionSynth) != 0);
    hasVu((options & kOptionVuMeter) != 0);
    hasClip((options & kOptionClipIndicator) != 0);
    canMono((options & kOptionMonoCapable) != 0);
    canProcessReplacing((options & kOptionReplacing) != 0);
    programsAreChunks((options & kOptionProgramChunks) != 0);
    noTail((options & kOptionNoTail) != 0);
    wantAsyncOperation((options & kOptionAsync) != 0);
    hasExternalBuffer((options & kOptionExternalBuffer) != 0);

    setNumInputs(identity_.InputCount);
    setNumOutputs(identity_.OutputCount);
    setInitialDelay(identity_.InitialDelay);

    setProgram(0);
    DeclareParameters();
}

TVstTemplate::~TVstTemplate() {
    // The form may still look at the parameters while it is torn down: it goes before them.
    setEditor(nullptr);
}

TVstParameterProperty* TVstTemplate::ParameterProperty(VstInt32 index) noexcept {
    return inRange(index, parameterProperties_.size())
               ? parameterProperties_[static_cast<std::size_t>(index)].get()
               : nullptr;
}

TVstProgram* TVstTemplate::Program(VstInt32 index) noexcept {
    return inRange(index, programs_.size()) ? programs_[static_cast<std::size_t>(index)].get() : nullptr;
}

TVstProgram& TVstTemplate::CurrentProgram() noexcept {
    TVstProgram* program = Program(curProgram);
    return program != nullptr ? *program : *programs_.front();
}

void TVstTemplate::setParameter(VstInt32 index, float value) {
    // Clamp first; a NaN fails both comparisons and becomes 0.
    if (value > 1.0f)
        value = 1.0f;
    else if (!(value >= 0.0f))
        value = 0.0f;
    if (!inRange(index, static_cast<std::size_t>(numParams)) || programs_.empty())
        return;
    CurrentProgram().Values[static_cast<std::size_t>(index)] = value;
    ParameterChanged(index);
}

float TVstTemplate::getParameter(VstInt32 index) {
    if (!inRange(index, static_cast<std::size_t>(numParams)) || programs_.empty())
        return 0.0f;
    return CurrentProgram().Values[static_cast<std::size_t>(index)];
}

void TVstTemplate::setProgram(VstInt32 program) {
    TVstProgram* target = Program(program);
    if (target == nullptr)
        return;
    curProgram = program;
    for (VstInt32 i = 0; i < numParams; ++i)
        setParameter(i, target->Values[static_cast<std::size_t>(i)]);
}

void TVstTemplate::setProgramName(char* name) {
    if (name == nullptr || programs_.empty())
        return;
    // A longer name is cut to the field; the host's text is read no further than that.
    CurrentProgram().SetName(std::string_view(name, BoundedLength(name, TVstProgram::kNameLength)));
}

// The program keeps up to 48 characters; hosts get the first 23, as the interface sizes their buffers.
void TVstTemplate::getProgramName(char* name) {
    if (programs_.empty())
        CopyText(name, "", kHostProgramNameSize);
    else
        CopyText(name, CurrentProgram().Name, kHostProgramNameSize);
}

bool TVstTemplate::getProgramNameIndexed(VstInt32, VstInt32 index, char* text) {
    TVstProgram* program = Program(index);
    if (program == nullptr)
        return false;
    CopyText(text, program->Name, kHostProgramNameSize);
    return true;
}

void TVstTemplate::getParameterName(VstInt32 index, char* text) {
    TVstParameterProperty* property = ParameterProperty(index);
    CopyText(text, property != nullptr ? property->Name : "undefined", kParameterTextSize);
}

void TVstTemplate::getParameterLabel(VstInt32 index, char* label) {
    TVstParameterProperty* property = ParameterProperty(index);
    CopyText(label, property != nullptr ? property->Label : "undefined", kParameterTextSize);
}

void TVstTemplate::getParameterDisplay(VstInt32 index, char* text) {
    if (ParameterProperty(index) == nullptr) {
        CopyText(text, "undefined", kParameterTextSize);
        return;
    }
    FormatFixed2(GetRealParameter(index), DecimalSeparator(), text, kParameterTextSize);
}

float TVstTemplate::GetRealParameter(VstInt32 index) {
    const float value = getParameter(index);
    TVstParameterProperty* property = ParameterProperty(index);
    if (property == nullptr)
        return value;
    return property->Smooth(property->RealValue(value));
}

void TVstTemplate::SetRealParameter(VstInt32 index, float realValue) {
    TVstParameterProperty* property = ParameterProperty(index);
    if (property == nullptr)
        return;
    setParameterAutomated(index, property->NormalizedValue(realValue));
    ParameterChanged(index);
}

void TVstTemplate::suspend() {}

void TVstTemplate::resume() {
    // The block size may have come with the sample rate (effSetBlockSizeAndSampleRate), which only
    // stores it; hosts announce it before they resume.
    replaceScratch(std::max(static_cast<VstInt32>(blockSize), identity_.MaxBlockLength));
    wantEvents(1);
}

VstInt32 TVstTemplate::processEvents(vst2::VstEvents* events) {
    if (events == nullptr)
        return 1;
    for (VstInt32 i = 0; i < events->numEvents; ++i) {
        vst2::VstEvent* event = events->events[i];
        if (event != nullptr && event->type == vst2::kVstMidiType)
            ProcessMidiEvent(reinterpret_cast<vst2::VstMidiEvent*>(event));
    }
    return 1;
}

namespace {

bool pinProperties(const char* prefix, VstInt32 index, VstInt32 count, vst2::VstPinProperties* properties) {
    if (properties == nullptr || index < 0 || index >= count)
        return false;
    char label[kPinLabelSize];
    std::snprintf(label, sizeof label, "%s%ld", prefix, static_cast<long>(index) + 1);
    CopyText(properties->label, label, sizeof properties->label);
    properties->flags = vst2::kVstPinIsActive | vst2::kVstPinIsStereo;
    return true;
}

} // namespace

bool TVstTemplate::getInputProperties(VstInt32 index, vst2::VstPinProperties* properties) {
    return pinProperties("Input #", index, cEffect.numInputs, properties);
}

bool TVstTemplate::getOutputProperties(VstInt32 index, vst2::VstPinProperties* properties) {
    return pinProperties("Output #", index, cEffect.numOutputs, properties);
}

bool TVstTemplate::getEffectName(char* name) {
    CopyText(name, identity_.EffectName, kEffectNameSize);
    return true;
}

bool TVstTemplate::getVendorString(char* text) {
    CopyText(text, identity_.VendorName, kVendorNameSize);
    return true;
}

bool TVstTemplate::getProductString(char* text) {
    CopyText(text, identity_.EffectName, kEffectNameSize);
    return true;
}

VstInt32 TVstTemplate::getVendorVersion() {
    return identity_.VendorVersion;
}

VstInt32 TVstTemplate::canDo(char* text) {
    if (text == nullptr)
        return -1;
    for (std::size_t bit = 0; bit < std::size(kCapabilityNames); ++bit) {
        if (std::strcmp(text, kCapabilityNames[bit]) == 0)
            return (identity_.Capabilities >> bit) & 1u ? 1 : 0;
    }
    return -1;
}

void TVstTemplate::DeclareParameters() {}
void TVstTemplate::ProcessAudio(float**, float**, VstInt32) {}
void TVstTemplate::ProcessMidiEvent(vst2::VstMidiEvent*) {}

void TVstTemplate::SetInputCount(VstInt32 count) {
    identity_.InputCount = count;
    setNumInputs(count);
    replaceScratch(ScratchFrames());
    ioChanged();
}

void TVstTemplate::SetOutputCount(VstInt32 count) {
    identity_.OutputCount = count;
    setNumOutputs(count);
    replaceScratch(ScratchFrames());
    ioChanged();
}

void TVstTemplate::SetInitialDelayValue(VstInt32 delay) {
    identity_.InitialDelay = delay;
    setInitialDelay(delay);
    ioChanged();
}

void TVstTemplate::SetMaxBlockLength(VstInt32 count) {
    identity_.MaxBlockLength = std::clamp(count, 1, kMaxScratchFrames);
    replaceScratch(identity_.MaxBlockLength);
}

void TVstTemplate::setBlockSize(VstInt32 size) {
    AudioEffectX::setBlockSize(size);
    replaceScratch(std::max(size, identity_.MaxBlockLength));
}

bool TVstTemplate::replaceScratch(VstInt32 frames) {
    frames = std::clamp(frames, 1, kMaxScratchFrames);
    const std::size_t inputs = identity_.InputCount > 0 ? static_cast<std::size_t>(identity_.InputCount) : 0;
    const std::size_t outputs =
        identity_.OutputCount > 0 ? static_cast<std::size_t>(identity_.OutputCount) : 0;
    if (scratchInUse_.exchange(true, std::memory_order_acquire))
        return false;
    const bool unchanged = scratch_ && scratch_->frames == frames && scratch_->inputs.size() == inputs &&
                           scratch_->outputs.size() == outputs;
    scratchInUse_.store(false, std::memory_order_release);
    if (unchanged)
        return true;

    std::unique_ptr<Scratch> fresh;
    try {
        fresh = std::make_unique<Scratch>();
        fresh->frames = frames;
        const std::size_t length = static_cast<std::size_t>(frames);
        fresh->samples.assign((inputs + outputs) * length, 0.0f);
        for (std::size_t c = 0; c < inputs; ++c)
            fresh->inputs.push_back(fresh->samples.data() + c * length);
        for (std::size_t c = 0; c < outputs; ++c)
            fresh->outputs.push_back(fresh->samples.data() + (inputs + c) * length);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (scratchInUse_.exchange(true, std::memory_order_acquire))
        return false;
    scratch_.swap(fresh);
    scratchFrames_ = frames;
    scratchInUse_.store(false, std::memory_order_release);
    return true; // the old scratch is freed here, outside the flag
}

void TVstTemplate::sendPendingEvents() {
    if (pendingOutgoingEvents_ < 1)
        return;
    outgoingEvents_.numEvents =
        pendingOutgoingEvents_ < kMaxOutgoingEvents ? pendingOutgoingEvents_ : kMaxOutgoingEvents;
    sendVstEventsToHost(reinterpret_cast<vst2::VstEvents*>(&outgoingEvents_));
    pendingOutgoingEvents_ = 0;
}

void TVstTemplate::processBlock(float** inputs, float** outputs, VstInt32 sampleFrames, bool accumulate) {
    const std::size_t total = sampleFrames > 0 ? static_cast<std::size_t>(sampleFrames) : 0;
    if (scratchInUse_.exchange(true, std::memory_order_acquire)) {
        // The scratch is being replaced this very moment, or another processing call runs at the same
        // time (which the interface does not allow): this block is not rendered. Replacing gives
        // silence, accumulating adds nothing.
        if (!accumulate && outputs != nullptr)
            for (VstInt32 c = 0; c < cEffect.numOutputs; ++c)
                if (outputs[c] != nullptr)
                    std::fill_n(outputs[c], total, 0.0f);
        return;
    }
    struct Release {
        std::atomic<bool>& flag;
        ~Release() { flag.store(false, std::memory_order_release); }
    } release{scratchInUse_};

    // A block of 0 frames still runs ProcessAudio once; a longer one runs in pieces of the scratch. The
    // constructor made sure there is one.
    Scratch& scratch = *scratch_;
    const std::size_t piece = static_cast<std::size_t>(scratch.frames);
    std::size_t offset = 0;
    do {
        const std::size_t frames = std::min(total - offset, piece);
        processPiece(scratch, inputs, outputs, offset, frames, accumulate);
        offset += frames;
    } while (offset < total);
}

// The host's frames offset .. offset + frames through ProcessAudio. Each piece reads its inputs before it
// writes the same frames of the outputs, so a host may hand the same buffers for both.
void TVstTemplate::processPiece(Scratch& scratch, float** inputs, float** outputs, std::size_t offset,
                                std::size_t frames, bool accumulate) {
    // A missing host channel reads as silence, and is not written.
    for (std::size_t c = 0; c < scratch.inputs.size(); ++c) {
        const float* source = inputs != nullptr ? inputs[c] : nullptr;
        if (source != nullptr)
            std::copy_n(source + offset, frames, scratch.inputs[c]);
        else
            std::fill_n(scratch.inputs[c], frames, 0.0f);
    }
    for (float* channel : scratch.outputs)
        std::fill_n(channel, frames, 0.0f);
    ProcessAudio(scratch.inputs.data(), scratch.outputs.data(), static_cast<VstInt32>(frames));
    for (std::size_t c = 0; c < scratch.outputs.size(); ++c) {
        float* target = outputs != nullptr ? outputs[c] : nullptr;
        if (target == nullptr)
            continue;
        target += offset;
        const float* source = scratch.outputs[c];
        if (accumulate) {
            for (std::size_t i = 0; i < frames; ++i)
                target[i] = target[i] + source[i];
        } else {
            std::copy_n(source, frames, target);
        }
    }
    sendPendingEvents();
}

void TVstTemplate::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) {
    processBlock(inputs, outputs, sampleFrames, false);
}

void TVstTemplate::process(float** inputs, float** outputs, VstInt32 sampleFrames) {
    processBlock(inputs, outputs, sampleFrames, true);
}

} // namespace host
