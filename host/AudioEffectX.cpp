#include "host/AudioEffectX.h"

#include "host/AEffEditor.h"
#include "host/Rounding.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace host {

namespace {

VstInt32 toInt32(VstIntPtr value) noexcept {
    return static_cast<VstInt32>(value);
}

// The key modifier byte: opt rounded to the nearest integer (halves to even), low byte kept.
unsigned char modifierByte(float opt) noexcept {
    if (!std::isfinite(opt) || std::fabs(opt) > 1.0e9f)
        return 0;
    return static_cast<unsigned char>(RoundEvenDouble(opt) & 0xFF);
}

} // namespace

AudioEffectX::AudioEffectX(vst2::audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams)
    : AudioEffect(audioMaster, numPrograms, numParams) {}

AudioEffectX::~AudioEffectX() = default;

VstIntPtr AudioEffectX::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    using namespace vst2;
    auto text = [ptr] { return static_cast<char*>(ptr); };
    switch (opcode) {
    case effProcessEvents:
        return processEvents(static_cast<VstEvents*>(ptr));
    case effCanBeAutomated:
        return canParameterBeAutomated(index) ? 1 : 0;
    case effString2Parameter:
        return string2parameter(index, text()) ? 1 : 0;
    case effGetNumProgramCategories:
        return getNumCategories();
    case effGetProgramNameIndexed:
        return ptr != nullptr && getProgramNameIndexed(toInt32(value), index, text()) ? 1 : 0;
    case effCopyProgram:
        return copyProgram(index) ? 1 : 0;
    case effConnectInput:
        inputConnected(index, value != 0);
        return 1;
    case effConnectOutput:
        outputConnected(index, value != 0);
        return 1;
    case effGetInputProperties:
        return ptr != nullptr && getInputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
    case effGetOutputProperties:
        return ptr != nullptr && getOutputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
    case effGetPlugCategory:
        return getPlugCategory();
    case effGetCurrentPosition:
        return reportCurrentPosition();
    case effGetDestinationBuffer:
        return reinterpret_cast<VstIntPtr>(reportDestinationBuffer());
    case effOfflineNotify:
        return offlineNotify(ptr, toInt32(value), index != 0) ? 1 : 0;
    case effOfflinePrepare:
        return offlinePrepare(ptr, toInt32(value)) ? 1 : 0;
    case effOfflineRun:
        return offlineRun(ptr, toInt32(value)) ? 1 : 0;
    case effProcessVarIo:
        return processVariableIo(ptr) ? 1 : 0;
    case effSetSpeakerArrangement:
        return setSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement*>(value),
                                     static_cast<VstSpeakerArrangement*>(ptr))
                   ? 1
                   : 0;
    case effSetBlockSizeAndSampleRate:
        setBlockSizeAndSampleRate(toInt32(value), opt);
        return 1;
    case effSetBypass:
        return setBypass(value != 0) ? 1 : 0;
    case effGetEffectName:
        return ptr != nullptr && getEffectName(text()) ? 1 : 0;
    case effGetErrorText:
        return ptr != nullptr && getErrorText(text()) ? 1 : 0;
    case effGetVendorString:
        return ptr != nullptr && getVendorString(text()) ? 1 : 0;
    case effGetProductString:
        return ptr != nullptr && getProductString(text()) ? 1 : 0;
    case effGetVendorVersion:
        return getVendorVersion();
    case effVendorSpecific:
        return vendorSpecific(index, value, ptr, opt);
    case effCanDo:
        return ptr != nullptr ? canDo(text()) : -1;
    case effGetTailSize:
        return getGetTailSize();
    case effIdle:
        return fxIdle();
    case effGetIcon:
        return reinterpret_cast<VstIntPtr>(getIcon());
    case effSetViewPosition:
        return setViewPosition(index, toInt32(value)) ? 1 : 0;
    case effGetParameterProperties:
        return ptr != nullptr && getParameterProperties(index, ptr) ? 1 : 0;
    case effKeysRequired:
        return keysRequired() ? 0 : 1;
    case effGetVstVersion:
        return getVstVersion();
    case effEditKeyDown:
    case effEditKeyUp: {
        if (!editor)
            return 0;
        VstKeyCode key{};
        key.character = index;
        key.virt = static_cast<unsigned char>(value & 0xFF);
        key.modifier = modifierByte(opt);
        return opcode == effEditKeyDown ? editor->onKeyDown(key) : editor->onKeyUp(key);
    }
    case effSetEditKnobMode:
        return editor ? editor->setKnobMode(toInt32(value)) : 0;
    case effGetMidiProgramName:
        return getMidiProgramName(index, ptr);
    case effGetCurrentMidiProgram:
        return getCurrentMidiProgram(index, ptr);
    case effGetMidiProgramCategory:
        return getMidiProgramCategory(index, ptr);
    case effHasMidiProgramsChanged:
        return hasMidiProgramsChanged(index) ? 1 : 0;
    case effGetMidiKeyName:
        return getMidiKeyName(index, ptr) ? 1 : 0;
    case effBeginSetProgram:
        return beginSetProgram() ? 1 : 0;
    case effEndSetProgram:
        return endSetProgram() ? 1 : 0;
    case effGetSpeakerArrangement: {
        // The operation works on copies; nothing it writes reaches the host.
        auto input = reinterpret_cast<VstSpeakerArrangement*>(value);
        auto output = static_cast<VstSpeakerArrangement*>(ptr);
        return getSpeakerArrangement(&input, &output) ? 1 : 0;
    }
    case effShellGetNextPlugin:
        return getNextShellPlugin(text());
    case effStartProcess:
        return startProcess();
    case effStopProcess:
        return stopProcess();
    case effSetTotalSampleToProcess:
        return setTotalSampleToProcess(toInt32(value));
    case effSetPanLaw:
        return setPanLaw(toInt32(value), opt) ? 1 : 0;
    case effBeginLoadBank:
        return beginLoadBank(ptr);
    case effBeginLoadProgram:
        return beginLoadProgram(ptr);
    default:
        return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
    }
}

vst2::VstTimeInfo* AudioEffectX::getTimeInfo(VstInt32 filter) {
    return reinterpret_cast<vst2::VstTimeInfo*>(callHost(vst2::audioMasterGetTime, 0, filter));
}

bool AudioEffectX::setTime(VstInt32 filter, vst2::VstTimeInfo* time) {
    return callHost(vst2::audioMasterSetTime, 0, filter, time) != 0;
}

VstInt32 AudioEffectX::tempoAt(VstInt32 pos) {
    return toInt32(callHost(vst2::audioMasterTempoAt, 0, pos));
}
VstInt32 AudioEffectX::processEvents(vst2::VstEvents*) {
    return 0;
}

VstInt32 AudioEffectX::getNumAutomatableParameters() {
    return toInt32(callHost(vst2::audioMasterGetNumAutomatableParameters));
}

VstInt32 AudioEffectX::getParameterQuantization() {
    return toInt32(callHost(vst2::audioMasterGetParameterQuantization));
}

bool AudioEffectX::canParameterBeAutomated(VstInt32) {
    return true;
}
bool AudioEffectX::string2parameter(VstInt32, char*) {
    return false;
}
float AudioEffectX::getChannelParameter(VstInt32, VstInt32) {
    return 0.0f;
}
VstInt32 AudioEffectX::getNumCategories() {
    return 1;
}
bool AudioEffectX::getProgramNameIndexed(VstInt32, VstInt32, char*) {
    return false;
}
bool AudioEffectX::copyProgram(VstInt32) {
    return false;
}
bool AudioEffectX::ioChanged() {
    return callHost(vst2::audioMasterIOChanged) != 0;
}
bool AudioEffectX::needIdle() {
    return callHost(vst2::audioMasterNeedIdle) != 0;
}

bool AudioEffectX::sizeWindow(VstInt32 width, VstInt32 height) {
    return callHost(vst2::audioMasterSizeWindow, width, height) != 0;
}

double AudioEffectX::updateSampleRate() {
    const VstIntPtr rate = callHost(vst2::audioMasterGetSampleRate);
    if (rate > 0)
        setSampleRate(static_cast<float>(rate));
    return sampleRate;
}

VstInt32 AudioEffectX::updateBlockSize() {
    const VstIntPtr size = callHost(vst2::audioMasterGetBlockSize);
    if (size > 0)
        setBlockSize(toInt32(size));
    return blockSize;
}

VstInt32 AudioEffectX::getInputLatency() {
    return toInt32(callHost(vst2::audioMasterGetInputLatency));
}
VstInt32 AudioEffectX::getOutputLatency() {
    return toInt32(callHost(vst2::audioMasterGetOutputLatency));
}

// The host answers another plug-in's record; its object is only trusted through the record's magic.
AudioEffect* AudioEffectX::getPreviousPlug(VstInt32) {
    return FromRecord(reinterpret_cast<vst2::AEffect*>(callHost(vst2::audioMasterGetPreviousPlug)));
}

AudioEffect* AudioEffectX::getNextPlug(VstInt32) {
    return FromRecord(reinterpret_cast<vst2::AEffect*>(callHost(vst2::audioMasterGetNextPlug)));
}

void AudioEffectX::inputConnected(VstInt32, bool) {}
void AudioEffectX::outputConnected(VstInt32, bool) {}
bool AudioEffectX::getInputProperties(VstInt32, vst2::VstPinProperties*) {
    return false;
}
bool AudioEffectX::getOutputProperties(VstInt32, vst2::VstPinProperties*) {
    return false;
}

VstInt32 AudioEffectX::getPlugCategory() {
    return (cEffect.flags & vst2::effFlagsIsSynth) != 0 ? vst2::kPlugCategSynth : vst2::kPlugCategUnknown;
}

VstInt32 AudioEffectX::willProcessReplacing() {
    return toInt32(callHost(vst2::audioMasterWillReplaceOrAccumulate));
}

VstInt32 AudioEffectX::getCurrentProcessLevel() {
    return toInt32(callHost(vst2::audioMasterGetCurrentProcessLevel));
}

VstInt32 AudioEffectX::getAutomationState() {
    return toInt32(callHost(vst2::audioMasterGetAutomationState));
}
void AudioEffectX::wantAsyncOperation(bool state) {
    setFlag(vst2::effFlagsExtIsAsync, state);
}
void AudioEffectX::hasExternalBuffer(bool state) {
    setFlag(vst2::effFlagsExtHasBuffer, state);
}
VstInt32 AudioEffectX::reportCurrentPosition() {
    return 0;
}
float* AudioEffectX::reportDestinationBuffer() {
    return nullptr;
}

bool AudioEffectX::offlineRead(void* offline, VstInt32 option, bool readSource) {
    return callHost(vst2::audioMasterOfflineRead, readSource ? 1 : 0, option, offline) != 0;
}

bool AudioEffectX::offlineWrite(void* offline, VstInt32 option) {
    return callHost(vst2::audioMasterOfflineWrite, 0, option, offline) != 0;
}

bool AudioEffectX::offlineStart(void* audioFiles, VstInt32 numAudioFiles, VstInt32 numNewAudioFiles) {
    return callHost(vst2::audioMasterOfflineStart, numNewAudioFiles, numAudioFiles, audioFiles) != 0;
}

VstInt32 AudioEffectX::offlineGetCurrentPass() {
    return callHost(vst2::audioMasterOfflineGetCurrentPass) != 0 ? 1 : 0;
}

VstInt32 AudioEffectX::offlineGetCurrentMetaPass() {
    return callHost(vst2::audioMasterOfflineGetCurrentMetaPass) != 0 ? 1 : 0;
}

bool AudioEffectX::offlineNotify(void*, VstInt32, bool) {
    return false;
}
bool AudioEffectX::offlinePrepare(void*, VstInt32) {
    return false;
}
bool AudioEffectX::offlineRun(void*, VstInt32) {
    return false;
}
VstInt32 AudioEffectX::offlineGetNumPasses() {
    return 0;
}
VstInt32 AudioEffectX::offlineGetNumMetaPasses() {
    return 0;
}

void AudioEffectX::setOutputSamplerate(float rate) {
    callHost(vst2::audioMasterSetOutputSampleRate, 0, 0, nullptr, rate);
}

vst2::VstSpeakerArrangement* AudioEffectX::getInputSpeakerArrangement() {
    return reinterpret_cast<vst2::VstSpeakerArrangement*>(
        callHost(vst2::audioMasterGetInputSpeakerArrangement));
}

vst2::VstSpeakerArrangement* AudioEffectX::getOutputSpeakerArrangement() {
    return reinterpret_cast<vst2::VstSpeakerArrangement*>(
        callHost(vst2::audioMasterGetOutputSpeakerArrangement));
}

bool AudioEffectX::getHostVendorString(char* text) {
    return callHost(vst2::audioMasterGetVendorString, 0, 0, text) != 0;
}

bool AudioEffectX::getHostProductString(char* text) {
    return callHost(vst2::audioMasterGetProductString, 0, 0, text) != 0;
}

VstInt32 AudioEffectX::getHostVendorVersion() {
    return toInt32(callHost(vst2::audioMasterGetVendorVersion));
}

VstIntPtr AudioEffectX::hostVendorSpecific(VstInt32 arg1, VstIntPtr arg2, void* ptr, float opt) {
    return callHost(vst2::audioMasterVendorSpecific, arg1, arg2, ptr, opt);
}

VstInt32 AudioEffectX::canHostDo(char* text) {
    return toInt32(callHost(vst2::audioMasterCanDo, 0, 0, text));
}
void AudioEffectX::isSynth(bool state) {
    setFlag(vst2::effFlagsIsSynth, state);
}
void AudioEffectX::noTail(bool state) {
    setFlag(vst2::effFlagsNoSoundInStop, state);
}
VstInt32 AudioEffectX::getHostLanguage() {
    return toInt32(callHost(vst2::audioMasterGetLanguage));
}

void* AudioEffectX::openWindow(void* window) {
    return reinterpret_cast<void*>(callHost(vst2::audioMasterOpenWindow, 0, 0, window));
}

bool AudioEffectX::closeWindow(void* window) {
    return callHost(vst2::audioMasterCloseWindow, 0, 0, window) != 0;
}

void* AudioEffectX::getDirectory() {
    return reinterpret_cast<void*>(callHost(vst2::audioMasterGetDirectory));
}
bool AudioEffectX::updateDisplay() {
    return callHost(vst2::audioMasterUpdateDisplay) != 0;
}
bool AudioEffectX::processVariableIo(void*) {
    return false;
}

bool AudioEffectX::setSpeakerArrangement(vst2::VstSpeakerArrangement*, vst2::VstSpeakerArrangement*) {
    return false;
}

bool AudioEffectX::getSpeakerArrangement(vst2::VstSpeakerArrangement** input,
                                         vst2::VstSpeakerArrangement** output) {
    *input = nullptr;
    *output = nullptr;
    return false;
}

void AudioEffectX::setBlockSizeAndSampleRate(VstInt32 size, float rate) {
    blockSize = size;
    sampleRate = rate;
}

bool AudioEffectX::setBypass(bool) {
    return false;
}
bool AudioEffectX::getEffectName(char*) {
    return false;
}
bool AudioEffectX::getErrorText(char*) {
    return false;
}
bool AudioEffectX::getVendorString(char*) {
    return false;
}
bool AudioEffectX::getProductString(char*) {
    return false;
}
VstInt32 AudioEffectX::getVendorVersion() {
    return 0;
}
VstIntPtr AudioEffectX::vendorSpecific(VstInt32, VstIntPtr, void*, float) {
    return 0;
}
VstInt32 AudioEffectX::canDo(char*) {
    return 0;
}
void* AudioEffectX::getIcon() {
    return nullptr;
}
bool AudioEffectX::setViewPosition(VstInt32, VstInt32) {
    return false;
}
VstInt32 AudioEffectX::getGetTailSize() {
    return 0;
}
VstInt32 AudioEffectX::fxIdle() {
    return 0;
}
bool AudioEffectX::getParameterProperties(VstInt32, void*) {
    return false;
}
bool AudioEffectX::keysRequired() {
    return false;
}
VstInt32 AudioEffectX::getVstVersion() {
    return 2300;
}
VstInt32 AudioEffectX::getMidiProgramName(VstInt32, void*) {
    return 0;
}
VstInt32 AudioEffectX::getCurrentMidiProgram(VstInt32, void*) {
    return -1;
}
VstInt32 AudioEffectX::getMidiProgramCategory(VstInt32, void*) {
    return 0;
}
bool AudioEffectX::hasMidiProgramsChanged(VstInt32) {
    return false;
}
bool AudioEffectX::getMidiKeyName(VstInt32, void*) {
    return false;
}
bool AudioEffectX::beginSetProgram() {
    return false;
}
bool AudioEffectX::endSetProgram() {
    return false;
}
bool AudioEffectX::beginEdit(VstInt32 index) {
    return callHost(vst2::audioMasterBeginEdit, index) != 0;
}
bool AudioEffectX::endEdit(VstInt32 index) {
    return callHost(vst2::audioMasterEndEdit, index) != 0;
}

bool AudioEffectX::openFileSelector(void* selector) {
    return selector != nullptr && callHost(vst2::audioMasterOpenFileSelector, 0, 0, selector) != 0;
}

VstInt32 AudioEffectX::setTotalSampleToProcess(VstInt32 value) {
    return value;
}
VstInt32 AudioEffectX::getNextShellPlugin(char*) {
    return 0;
}
VstInt32 AudioEffectX::startProcess() {
    return 0;
}
VstInt32 AudioEffectX::stopProcess() {
    return 0;
}
bool AudioEffectX::setPanLaw(VstInt32, float) {
    return false;
}
VstInt32 AudioEffectX::beginLoadBank(void*) {
    return 0;
}
VstInt32 AudioEffectX::beginLoadProgram(void*) {
    return 0;
}

bool AudioEffectX::allocateArrangement(vst2::VstSpeakerArrangement** arrangement, VstInt32 channels) {
    if (arrangement == nullptr || channels < 0)
        return false;
    std::free(*arrangement);
    const std::size_t size = 8 + sizeof(vst2::VstSpeakerProperties) * static_cast<std::size_t>(channels);
    auto* block = static_cast<vst2::VstSpeakerArrangement*>(std::calloc(1, size));
    *arrangement = block;
    if (block == nullptr)
        return false;
    block->numChannels = channels;
    return true;
}

bool AudioEffectX::deallocateArrangement(vst2::VstSpeakerArrangement** arrangement) {
    if (arrangement == nullptr)
        return false;
    std::free(*arrangement);
    *arrangement = nullptr;
    return true;
}

bool AudioEffectX::copySpeaker(vst2::VstSpeakerProperties* to, vst2::VstSpeakerProperties* from) {
    if (to == nullptr || from == nullptr)
        return false;
    std::memcpy(to, from, sizeof *to);
    return true;
}

bool AudioEffectX::matchArrangement(vst2::VstSpeakerArrangement** to, vst2::VstSpeakerArrangement* from) {
    if (from == nullptr || !allocateArrangement(to, from->numChannels))
        return false;
    (*to)->type = from->type;
    for (VstInt32 i = 0; i < from->numChannels; ++i)
        copySpeaker(&(*to)->speakers[i], &from->speakers[i]);
    return true;
}

void AudioEffectX::wantEvents(VstInt32 filter) {
    callHost(vst2::audioMasterWantMidi, 0, filter);
}

bool AudioEffectX::sendVstEventsToHost(vst2::VstEvents* events) {
    return callHost(vst2::audioMasterProcessEvents, 0, 0, events) == 1;
}

} // namespace host
