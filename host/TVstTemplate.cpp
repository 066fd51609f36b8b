#include "host/TVstTemplate.h"

#include "host/Capabilities.h"
#include "host/RandomGenerator.h"
#include "host/TVstTemplateEditor.h"
#include "host/Text.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>

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
    if (identity_.MaxBlockLength <= 0)
        identity_.MaxBlockLength = kDefaultBlockLength;
    SetMaxBlockLength(identity_.MaxBlockLength);

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
    ioChanged();
}

void TVstTemplate::SetOutputCount(VstInt32 count) {
    identity_.OutputCount = count;
    setNumOutputs(count);
    ioChanged();
}

void TVstTemplate::SetInitialDelayValue(VstInt32 delay) {
    identity_.InitialDelay = delay;
    setInitialDelay(delay);
    ioChanged();
}

void TVstTemplate::SetMaxBlockLength(VstInt32 count) {
    identity_.MaxBlockLength = count;
    prepareScratch(inputScratch_, inputPointers_, identity_.InputCount, count);
    prepareScratch(outputScratch_, outputPointers_, identity_.OutputCount, count);
}

// Sizes the scratch to channels x frames. Storage is reused whenever the sizes are unchanged, so a
// host that keeps its block size causes no allocation here.
void TVstTemplate::prepareScratch(std::vector<std::vector<float>>& scratch, std::vector<float*>& pointers,
                                  VstInt32 channels, VstInt32 frames) {
    const std::size_t channelCount = channels > 0 ? static_cast<std::size_t>(channels) : 0;
    const std::size_t frameCount = frames > 0 ? static_cast<std::size_t>(frames) : 0;
    if (scratch.size() != channelCount)
        scratch.resize(channelCount);
    if (pointers.size() != channelCount)
        pointers.resize(channelCount);
    for (std::size_t c = 0; c < channelCount; ++c) {
        if (scratch[c].size() != frameCount)
            scratch[c].resize(frameCount);
        pointers[c] = scratch[c].data();
    }
}

void TVstTemplate::sendPendingEvents() {
    if (pendingOutgoingEvents_ < 1)
        return;
    outgoingEvents_.numEvents =
        pendingOutgoingEvents_ < kMaxOutgoingEvents ? pendingOutgoingEvents_ : kMaxOutgoingEvents;
    sendVstEventsToHost(reinterpret_cast<vst2::VstEvents*>(&outgoingEvents_));
    pendingOutgoingEvents_ = 0;
}

void TVstTemplate::runBlock(float** inputs, VstInt32 frameCount) {
    const std::size_t frames = static_cast<std::size_t>(frameCount);
    prepareScratch(inputScratch_, inputPointers_, cEffect.numInputs, frameCount);
    prepareScratch(outputScratch_, outputPointers_, cEffect.numOutputs, frameCount);
    for (auto& channel : outputScratch_)
        std::fill(channel.begin(), channel.end(), 0.0f);
    // A missing host channel reads as silence.
    for (std::size_t c = 0; c < inputScratch_.size(); ++c) {
        const float* source = inputs != nullptr ? inputs[c] : nullptr;
        if (source != nullptr)
            std::copy(source, source + frames, inputScratch_[c].begin());
        else
            std::fill(inputScratch_[c].begin(), inputScratch_[c].end(), 0.0f);
    }
    ProcessAudio(inputPointers_.data(), outputPointers_.data(), frameCount);
}

void TVstTemplate::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) {
    const VstInt32 n = sampleFrames > 0 ? sampleFrames : 0;
    runBlock(inputs, n);
    for (std::size_t c = 0; c < outputScratch_.size(); ++c) {
        float* target = outputs != nullptr ? outputs[c] : nullptr;
        if (target != nullptr)
            std::copy(outputScratch_[c].begin(), outputScratch_[c].end(), target);
    }
    sendPendingEvents();
}

void TVstTemplate::process(float** inputs, float** outputs, VstInt32 sampleFrames) {
    const VstInt32 n = sampleFrames > 0 ? sampleFrames : 0;
    runBlock(inputs, n);
    for (std::size_t c = 0; c < outputScratch_.size(); ++c) {
        float* target = outputs != nullptr ? outputs[c] : nullptr;
        if (target == nullptr)
            continue;
        const float* source = outputScratch_[c].data();
        for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i)
            target[i] = target[i] + source[i];
    }
    sendPendingEvents();
}

} // namespace host
