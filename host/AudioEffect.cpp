#include "host/AudioEffect.h"

#include "host/AEffEditor.h"
#include "host/Rounding.h"
#include "vst2/FloatingPointGuard.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace host {

namespace {

// The five C entry points stored in the record. Nothing may escape into the host: every call is
// guarded, a failure answers 0 and leaves the host's buffers as they are. Each runs in the
// floating-point state of FloatingPointGuard and gives the host's own state back on return.
using vst2::FloatingPointGuard;
using Mode = FloatingPointGuard::Mode;

extern "C" VstIntPtr dispatcherEntry(vst2::AEffect* record, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                     void* ptr, float opt) noexcept {
    AudioEffect* effect = AudioEffect::FromRecord(record);
    if (effect == nullptr)
        return 0;
    FloatingPointGuard guard(Mode::Control);
    try {
        if (opcode == vst2::effClose) {
            effect->dispatcher(opcode, index, value, ptr, opt);
            // The form goes first, while everything it may look at is still alive.
            effect->setEditor(nullptr);
            delete effect;
            return 1;
        }
        return effect->dispatcher(opcode, index, value, ptr, opt);
    } catch (...) {
        return 0;
    }
}

// Both processing calls: denormals are flushed as well.
template <void (AudioEffect::*Method)(float**, float**, VstInt32)>
void runProcessing(vst2::AEffect* record, float** inputs, float** outputs, VstInt32 sampleFrames) noexcept {
    AudioEffect* effect = AudioEffect::FromRecord(record);
    if (effect == nullptr)
        return;
    FloatingPointGuard guard(Mode::Processing);
    try {
        (effect->*Method)(inputs, outputs, sampleFrames);
    } catch (...) {
    }
}

extern "C" void processEntry(vst2::AEffect* record, float** inputs, float** outputs,
                             VstInt32 sampleFrames) noexcept {
    runProcessing<&AudioEffect::process>(record, inputs, outputs, sampleFrames);
}

extern "C" void processReplacingEntry(vst2::AEffect* record, float** inputs, float** outputs,
                                      VstInt32 sampleFrames) noexcept {
    runProcessing<&AudioEffect::processReplacing>(record, inputs, outputs, sampleFrames);
}

extern "C" void setParameterEntry(vst2::AEffect* record, VstInt32 index, float value) noexcept {
    AudioEffect* effect = AudioEffect::FromRecord(record);
    if (effect == nullptr)
        return;
    FloatingPointGuard guard(Mode::Control);
    try {
        effect->setParameter(index, value);
    } catch (...) {
    }
}

extern "C" float getParameterEntry(vst2::AEffect* record, VstInt32 index) noexcept {
    AudioEffect* effect = AudioEffect::FromRecord(record);
    if (effect == nullptr)
        return 0.0f;
    float value = 0.0f;
    {
        FloatingPointGuard guard(Mode::Control);
        try {
            value = effect->getParameter(index);
        } catch (...) {
        }
    }
    return value;
}

} // namespace

AudioEffect::AudioEffect(vst2::audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams)
    : numPrograms(numPrograms), numParams(numParams), audioMaster(audioMaster) {
    std::memset(&cEffect, 0, sizeof cEffect);
    cEffect.magic = vst2::kEffectMagic;
    cEffect.dispatcher = dispatcherEntry;
    cEffect.process = processEntry;
    cEffect.setParameter = setParameterEntry;
    cEffect.getParameter = getParameterEntry;
    cEffect.numPrograms = numPrograms;
    cEffect.numParams = numParams;
    cEffect.numInputs = 1;
    cEffect.numOutputs = 2;
    // The ratio field carries the integer 1, not the float 1.0.
    const std::int32_t one = 1;
    std::memcpy(&cEffect.ioRatio, &one, sizeof one);
    cEffect.object = this;
    cEffect.uniqueID = vst2::FourCharCode('N', 'o', 'E', 'f');
    cEffect.version = 1;
    cEffect.processReplacing = processReplacingEntry;
}

AudioEffect::~AudioEffect() = default;

AudioEffect* AudioEffect::FromRecord(vst2::AEffect* effect) noexcept {
    if (effect == nullptr || effect->magic != vst2::kEffectMagic || effect->object == nullptr)
        return nullptr;
    return static_cast<AudioEffect*>(effect->object);
}

VstIntPtr AudioEffect::callHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    if (audioMaster == nullptr)
        return 0;
    return audioMaster(&cEffect, opcode, index, value, ptr, opt);
}

void AudioEffect::setFlag(VstInt32 flag, bool state) noexcept {
    if (state)
        cEffect.flags |= flag;
    else
        cEffect.flags &= ~flag;
}

void AudioEffect::setSampleRate(float rate) {
    sampleRate = rate;
}
void AudioEffect::setBlockSize(VstInt32 size) {
    blockSize = size;
}
void AudioEffect::setParameter(VstInt32, float) {}
float AudioEffect::getParameter(VstInt32) {
    return 0.0f;
}

void AudioEffect::setParameterAutomated(VstInt32 index, float value) {
    setParameter(index, value);
    callHost(vst2::audioMasterAutomate, index, 0, nullptr, value);
}

void AudioEffect::processReplacing(float**, float**, VstInt32) {}

VstIntPtr AudioEffect::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    using namespace vst2;
    switch (opcode) {
    case effOpen:
        open();
        return 0;
    case effClose:
        close();
        return 0;
    case effSetProgram:
        // A value beyond 32 bits (a 64-bit host) names no program; cut to 32 bits it could read as 0.
        if (value < numPrograms)
            setProgram(value >= INT32_MIN ? static_cast<VstInt32>(value) : -1);
        return 0;
    case effGetProgram:
        return getProgram();
    case effSetProgramName:
        if (ptr != nullptr)
            setProgramName(static_cast<char*>(ptr));
        return 0;
    case effGetProgramName:
        if (ptr != nullptr)
            getProgramName(static_cast<char*>(ptr));
        return 0;
    case effGetParamLabel:
        if (ptr != nullptr)
            getParameterLabel(index, static_cast<char*>(ptr));
        return 0;
    case effGetParamDisplay:
        if (ptr != nullptr)
            getParameterDisplay(index, static_cast<char*>(ptr));
        return 0;
    case effGetParamName:
        if (ptr != nullptr)
            getParameterName(index, static_cast<char*>(ptr));
        return 0;
    case effGetVu: {
        const double vu = static_cast<double>(getVu()) * 32767.0;
        if (!std::isfinite(vu) || std::fabs(vu) > 2147483647.0)
            return 0;
        return static_cast<VstIntPtr>(RoundEvenDouble(vu));
    }
    case effSetSampleRate:
        setSampleRate(opt);
        return 0;
    case effSetBlockSize:
        setBlockSize(static_cast<VstInt32>(value));
        return 0;
    case effMainsChanged:
        if (value == 0)
            suspend();
        else
            resume();
        return 0;
    case effEditGetRect: {
        if (!editor)
            return 0;
        ERect* rect = ptr != nullptr ? *static_cast<ERect**>(ptr) : nullptr;
        const VstIntPtr result = editor->getRect(&rect);
        if (ptr != nullptr)
            *static_cast<ERect**>(ptr) = rect;
        return result;
    }
    case effEditOpen:
        return editor ? editor->open(ptr) : 0;
    case effEditClose:
        if (editor)
            editor->close();
        return 0;
    case effEditIdle:
        if (editor)
            editor->idle();
        return 0;
    case effIdentify:
        return FourCharCode('N', 'v', 'E', 'f');
    case effGetChunk:
        return ptr != nullptr ? getChunk(static_cast<void**>(ptr), index != 0) : 0;
    case effSetChunk:
        return setChunk(ptr, static_cast<VstInt32>(value), index != 0);
    default:
        return 0;
    }
}

void AudioEffect::open() {}
void AudioEffect::close() {}
VstInt32 AudioEffect::getProgram() {
    return curProgram;
}
void AudioEffect::setProgram(VstInt32 program) {
    curProgram = program;
}
void AudioEffect::setProgramName(char*) {}
void AudioEffect::getProgramName(char*) {}
void AudioEffect::getParameterLabel(VstInt32, char*) {}
void AudioEffect::getParameterDisplay(VstInt32, char*) {}
void AudioEffect::getParameterName(VstInt32, char*) {}
float AudioEffect::getVu() {
    return 0.0f;
}
VstInt32 AudioEffect::getChunk(void**, bool) {
    return 0;
}
VstInt32 AudioEffect::setChunk(void*, VstInt32, bool) {
    return 0;
}
void AudioEffect::suspend() {}
void AudioEffect::resume() {}
void AudioEffect::setUniqueID(VstInt32 id) {
    cEffect.uniqueID = id;
}
void AudioEffect::setNumInputs(VstInt32 inputs) {
    cEffect.numInputs = inputs;
}
void AudioEffect::setNumOutputs(VstInt32 outputs) {
    cEffect.numOutputs = outputs;
}
void AudioEffect::hasVu(bool state) {
    setFlag(vst2::effFlagsHasVu, state);
}
void AudioEffect::hasClip(bool state) {
    setFlag(vst2::effFlagsHasClip, state);
}
void AudioEffect::canMono(bool state) {
    setFlag(vst2::effFlagsCanMono, state);
}
void AudioEffect::canProcessReplacing(bool state) {
    setFlag(vst2::effFlagsCanReplacing, state);
}
void AudioEffect::programsAreChunks(bool state) {
    setFlag(vst2::effFlagsProgramChunks, state);
}
void AudioEffect::setRealtimeQualities(VstInt32 qualities) {
    cEffect.realQualities = qualities;
}
void AudioEffect::setOfflineQualities(VstInt32 qualities) {
    cEffect.offQualities = qualities;
}
void AudioEffect::setInitialDelay(VstInt32 delay) {
    cEffect.initialDelay = delay;
}

VstInt32 AudioEffect::getMasterVersion() {
    const VstIntPtr version = callHost(vst2::audioMasterVersion);
    return version == 0 ? 1 : static_cast<VstInt32>(version);
}

VstInt32 AudioEffect::getCurrentUniqueId() {
    return static_cast<VstInt32>(callHost(vst2::audioMasterCurrentId));
}

void AudioEffect::masterIdle() {
    callHost(vst2::audioMasterIdle);
}

bool AudioEffect::isInputConnected(VstInt32 input) {
    return audioMaster == nullptr || callHost(vst2::audioMasterPinConnected, input, 0) == 0;
}

bool AudioEffect::isOutputConnected(VstInt32 output) {
    return audioMaster == nullptr || callHost(vst2::audioMasterPinConnected, output, 1) == 0;
}

void AudioEffect::setEditor(std::unique_ptr<AEffEditor> newEditor) {
    editor = std::move(newEditor);
    setFlag(vst2::effFlagsHasEditor, editor != nullptr);
}

} // namespace host
