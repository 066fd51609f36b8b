#pragma once

#include "host/AudioEffect.h"

namespace host {

// The extended half of the interface: the dispatcher for opcodes 25 to 76, wrappers for the host
// callback's opcodes from 6 upwards, and default answers that tell a host a feature is not offered.
// Structures the effect never looks into (offline tasks, variable I/O, MIDI program names, ...) are
// passed through as untyped pointers.
class AudioEffectX : public AudioEffect {
public:
    AudioEffectX(vst2::audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams);
    ~AudioEffectX() override;

    VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) override;

    // Host queries; each answers 0, false or null when there is no host callback.
    virtual vst2::VstTimeInfo* getTimeInfo(VstInt32 filter);
    virtual bool setTime(VstInt32 filter, vst2::VstTimeInfo* time);
    virtual VstInt32 tempoAt(VstInt32 pos);
    virtual VstInt32 processEvents(vst2::VstEvents* events);
    virtual VstInt32 getNumAutomatableParameters();
    virtual VstInt32 getParameterQuantization();
    virtual bool canParameterBeAutomated(VstInt32 index);
    virtual bool string2parameter(VstInt32 index, char* text);
    virtual float getChannelParameter(VstInt32 channel, VstInt32 index);
    virtual VstInt32 getNumCategories();
    virtual bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text);
    virtual bool copyProgram(VstInt32 destination);
    virtual bool ioChanged();
    virtual bool needIdle();
    virtual bool sizeWindow(VstInt32 width, VstInt32 height);
    virtual double updateSampleRate();
    virtual VstInt32 updateBlockSize();
    virtual VstInt32 getInputLatency();
    virtual VstInt32 getOutputLatency();
    virtual AudioEffect* getPreviousPlug(VstInt32 input);
    virtual AudioEffect* getNextPlug(VstInt32 output);
    virtual void inputConnected(VstInt32 index, bool state);
    virtual void outputConnected(VstInt32 index, bool state);
    virtual bool getInputProperties(VstInt32 index, vst2::VstPinProperties* properties);
    virtual bool getOutputProperties(VstInt32 index, vst2::VstPinProperties* properties);
    virtual VstInt32 getPlugCategory();
    virtual VstInt32 willProcessReplacing();
    virtual VstInt32 getCurrentProcessLevel();
    virtual VstInt32 getAutomationState();
    virtual void wantAsyncOperation(bool state);
    virtual void hasExternalBuffer(bool state);
    virtual VstInt32 reportCurrentPosition();
    virtual float* reportDestinationBuffer();
    virtual bool offlineRead(void* offline, VstInt32 option, bool readSource);
    virtual bool offlineWrite(void* offline, VstInt32 option);
    virtual bool offlineStart(void* audioFiles, VstInt32 numAudioFiles, VstInt32 numNewAudioFiles);
    virtual VstInt32 offlineGetCurrentPass();
    virtual VstInt32 offlineGetCurrentMetaPass();
    virtual bool offlineNotify(void* audioFiles, VstInt32 count, bool start);
    virtual bool offlinePrepare(void* offline, VstInt32 count);
    virtual bool offlineRun(void* offline, VstInt32 count);
    virtual VstInt32 offlineGetNumPasses();
    virtual VstInt32 offlineGetNumMetaPasses();
    virtual void setOutputSamplerate(float sampleRate);
    virtual vst2::VstSpeakerArrangement* getInputSpeakerArrangement();
    virtual vst2::VstSpeakerArrangement* getOutputSpeakerArrangement();
    virtual bool getHostVendorString(char* text);
    virtual bool getHostProductString(char* text);
    virtual VstInt32 getHostVendorVersion();
    virtual VstIntPtr hostVendorSpecific(VstInt32 arg1, VstIntPtr arg2, void* ptr, float opt);
    virtual VstInt32 canHostDo(char* text);
    virtual void isSynth(bool state);
    virtual void noTail(bool state);
    virtual VstInt32 getHostLanguage();
    virtual void* openWindow(void* window);
    virtual bool closeWindow(void* window);
    virtual void* getDirectory();
    virtual bool updateDisplay();
    virtual bool processVariableIo(void* varIo);
    virtual bool setSpeakerArrangement(vst2::VstSpeakerArrangement* input,
                                       vst2::VstSpeakerArrangement* output);
    virtual bool getSpeakerArrangement(vst2::VstSpeakerArrangement** input,
                                       vst2::VstSpeakerArrangement** output);
    virtual void setBlockSizeAndSampleRate(VstInt32 blockSize, float sampleRate);
    virtual bool setBypass(bool state);
    virtual bool getEffectName(char* name);
    virtual bool getErrorText(char* text);
    virtual bool getVendorString(char* text);
    virtual bool getProductString(char* text);
    virtual VstInt32 getVendorVersion();
    virtual VstIntPtr vendorSpecific(VstInt32 arg1, VstIntPtr arg2, void* ptr, float opt);
    // 1 yes, 0 don't know, -1 no.
    virtual VstInt32 canDo(char* text);
    virtual void* getIcon();
    virtual bool setViewPosition(VstInt32 x, VstInt32 y);
    virtual VstInt32 getGetTailSize();
    virtual VstInt32 fxIdle();
    virtual bool getParameterProperties(VstInt32 index, void* properties);
    virtual bool keysRequired();
    virtual VstInt32 getVstVersion();
    virtual VstInt32 getMidiProgramName(VstInt32 channel, void* midiProgramName);
    virtual VstInt32 getCurrentMidiProgram(VstInt32 channel, void* currentProgram);
    virtual VstInt32 getMidiProgramCategory(VstInt32 channel, void* category);
    virtual bool hasMidiProgramsChanged(VstInt32 channel);
    virtual bool getMidiKeyName(VstInt32 channel, void* keyName);
    virtual bool beginSetProgram();
    virtual bool endSetProgram();
    virtual bool beginEdit(VstInt32 index);
    virtual bool endEdit(VstInt32 index);
    virtual bool openFileSelector(void* selector);
    virtual VstInt32 setTotalSampleToProcess(VstInt32 value);
    virtual VstInt32 getNextShellPlugin(char* name);
    virtual VstInt32 startProcess();
    virtual VstInt32 stopProcess();
    virtual bool setPanLaw(VstInt32 type, float value);
    virtual VstInt32 beginLoadBank(void* bank);
    virtual VstInt32 beginLoadProgram(void* program);
    // Speaker-arrangement helpers: a block of 8 + 112 bytes per channel, zeroed, from the C heap.
    virtual bool allocateArrangement(vst2::VstSpeakerArrangement** arrangement, VstInt32 channels);
    virtual bool deallocateArrangement(vst2::VstSpeakerArrangement** arrangement);
    virtual bool copySpeaker(vst2::VstSpeakerProperties* to, vst2::VstSpeakerProperties* from);
    virtual bool matchArrangement(vst2::VstSpeakerArrangement** to, vst2::VstSpeakerArrangement* from);

    // Asks the host for events (host opcode 6); the answer is ignored.
    void wantEvents(VstInt32 filter = 1);
    // Sends events to the host (host opcode 8); true exactly when the host answers 1.
    bool sendVstEventsToHost(vst2::VstEvents* events);
};

} // namespace host
