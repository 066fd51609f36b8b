#pragma once

#include "host/RelaxedAtomic.h"
#include "vst2/Vst2.h"

#include <memory>

namespace host {

using vst2::VstInt32;
using vst2::VstIntPtr;

class AEffEditor;

// Base of every effect class. Owns the effect record handed to the host and the host callback; the
// record's five function pointers are C entry points that forward to the virtual operations below.
// Every call towards the host goes through the stored callback and is skipped while it is not set.
class AudioEffect {
public:
    AudioEffect(vst2::audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams);
    virtual ~AudioEffect();
    AudioEffect(const AudioEffect&) = delete;
    AudioEffect& operator=(const AudioEffect&) = delete;

    virtual void setSampleRate(float sampleRate);
    virtual void setBlockSize(VstInt32 blockSize);
    virtual void setParameter(VstInt32 index, float value);
    virtual float getParameter(VstInt32 index);
    // Stores the value through setParameter and reports it to the host as given, unclamped.
    virtual void setParameterAutomated(VstInt32 index, float value);
    virtual void process(float** inputs, float** outputs, VstInt32 sampleFrames) = 0;
    virtual void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames);
    virtual VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);
    virtual void open();
    virtual void close();
    virtual VstInt32 getProgram();
    virtual void setProgram(VstInt32 program);
    virtual void setProgramName(char* name);
    virtual void getProgramName(char* name);
    virtual void getParameterLabel(VstInt32 index, char* label);
    virtual void getParameterDisplay(VstInt32 index, char* text);
    virtual void getParameterName(VstInt32 index, char* text);
    virtual float getVu();
    virtual VstInt32 getChunk(void** data, bool isPreset);
    virtual VstInt32 setChunk(void* data, VstInt32 byteSize, bool isPreset);
    virtual void suspend();
    virtual void resume();
    virtual void setUniqueID(VstInt32 id);
    virtual void setNumInputs(VstInt32 inputs);
    virtual void setNumOutputs(VstInt32 outputs);
    virtual void hasVu(bool state);
    virtual void hasClip(bool state);
    virtual void canMono(bool state);
    virtual void canProcessReplacing(bool state);
    virtual void programsAreChunks(bool state);
    virtual void setRealtimeQualities(VstInt32 qualities);
    virtual void setOfflineQualities(VstInt32 qualities);
    virtual void setInitialDelay(VstInt32 delay);
    // The host's version; 1 when the host answers 0 or there is no host callback.
    virtual VstInt32 getMasterVersion();
    virtual VstInt32 getCurrentUniqueId();
    virtual void masterIdle();
    virtual bool isInputConnected(VstInt32 input);
    virtual bool isOutputConnected(VstInt32 output);

    vst2::AEffect* getAeffect() noexcept { return &cEffect; }
    // Takes ownership of the editor (null destroys the current one) and sets or clears HasEditor.
    void setEditor(std::unique_ptr<AEffEditor> newEditor);
    AEffEditor* getEditor() const noexcept { return editor.get(); }
    float getSampleRate() const noexcept { return sampleRate; }
    VstInt32 getBlockSize() const noexcept { return blockSize; }
    VstInt32 getNumPrograms() const noexcept { return numPrograms; }
    VstInt32 getNumParams() const noexcept { return numParams; }
    vst2::audioMasterCallback getAudioMaster() const noexcept { return audioMaster; }

    // The object behind a record handed out by getAeffect, or null for a foreign record.
    static AudioEffect* FromRecord(vst2::AEffect* effect) noexcept;

protected:
    // Calls the host, or answers 0 without calling when there is no host callback.
    VstIntPtr callHost(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f);
    void setFlag(VstInt32 flag, bool state) noexcept;

    vst2::AEffect cEffect;
    RelaxedAtomic<float> sampleRate{44100.0f};
    std::unique_ptr<AEffEditor> editor;
    VstInt32 numPrograms;
    VstInt32 numParams;
    RelaxedAtomic<VstInt32> blockSize{1024};
    RelaxedAtomic<VstInt32> curProgram{0};
    vst2::audioMasterCallback audioMaster;
};

} // namespace host
