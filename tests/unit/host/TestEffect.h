#pragma once

#include "host/TVstTemplate.h"

#include <vector>

namespace hosttest {

// What a test host saw of the effect: every callback, by opcode.
struct CallbackLog {
    struct Call {
        vst2::AEffect* effect;
        vst2::VstInt32 opcode, index;
        vst2::VstIntPtr value;
        void* ptr;
        float opt;
    };
    std::vector<Call> calls;
    vst2::VstIntPtr versionAnswer = 2400;
    vst2::VstIntPtr defaultAnswer = 0;
    int count(vst2::VstInt32 opcode) const;
};

// The host callback for the tests; logs into Log().
vst2::VstIntPtr TestCallback(vst2::AEffect* effect, vst2::VstInt32 opcode, vst2::VstInt32 index,
                             vst2::VstIntPtr value, void* ptr, float opt);
CallbackLog& Log();

// A template subclass that records what the template hands it.
class TestEffect : public host::TVstTemplate {
public:
    explicit TestEffect(const host::TVstIdentity& identity = DefaultIdentity(), int numParams = 181,
                        std::unique_ptr<host::EditorFormFactory> formClass = nullptr,
                        vst2::audioMasterCallback callback = &TestCallback, int numPrograms = 1);
    ~TestEffect() override;

    static host::TVstIdentity DefaultIdentity();

    void ProcessAudio(float** inputs, float** outputs, vst2::VstInt32 sampleFrames) override;
    void ProcessMidiEvent(vst2::VstMidiEvent* event) override;

    void OnParameterChanged(vst2::VstInt32 index) { changed.push_back(index); }
    void OnEditorIdle(host::EditorForm& form) { idleForms.push_back(&form); }
    void AttachHandlers();

    // Lets a test queue events for the host after the next block.
    void QueueEvents(int count) { pendingOutgoingEvents_ = count; }

    std::vector<vst2::VstInt32> changed;
    std::vector<host::EditorForm*> idleForms;
    std::vector<vst2::VstInt32> blockSizes;
    std::vector<float*> lastInputs, lastOutputs;
    int midiEvents = 0;
    float outputValue = 0.0f; // written to every output sample when writeOutput is set
    bool writeOutput = false;
    bool passInput = false; // each output sample is its input sample plus outputValue
    bool* destroyed = nullptr;
};

} // namespace hosttest
