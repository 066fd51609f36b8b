#include "tests/unit/host/TestEffect.h"

#include <algorithm>

namespace hosttest {

int CallbackLog::count(vst2::VstInt32 opcode) const {
    return static_cast<int>(
        std::count_if(calls.begin(), calls.end(), [opcode](const Call& c) { return c.opcode == opcode; }));
}

CallbackLog& Log() {
    static CallbackLog log;
    return log;
}

vst2::VstIntPtr TestCallback(vst2::AEffect* effect, vst2::VstInt32 opcode, vst2::VstInt32 index,
                             vst2::VstIntPtr value, void* ptr, float opt) {
    Log().calls.push_back({effect, opcode, index, value, ptr, opt});
    return opcode == vst2::audioMasterVersion ? Log().versionAnswer : Log().defaultAnswer;
}

host::TVstIdentity TestEffect::DefaultIdentity() {
    host::TVstIdentity identity;
    identity.Capabilities = host::kCapSendVstEvents | host::kCapReceiveVstEvents |
                            host::kCapReceiveVstMidiEvent | host::kCapReceiveVstTimeInfo;
    identity.UniqueID = "QR14";
    identity.EffectName = "TestEffect";
    identity.VendorName = "Test Vendor";
    identity.VendorVersion = 7;
    return identity;
}

TestEffect::TestEffect(const host::TVstIdentity& identity, int numParams,
                       std::unique_ptr<host::EditorFormFactory> formClass, vst2::audioMasterCallback callback,
                       int numPrograms)
    : TVstTemplate(callback, identity, numPrograms, numParams, std::move(formClass)) {}

TestEffect::~TestEffect() {
    if (destroyed != nullptr)
        *destroyed = true;
}

void TestEffect::AttachHandlers() {
    ParameterChanged = host::Handler<vst2::VstInt32>::Of<&TestEffect::OnParameterChanged>(this);
    EditorIdle = host::Handler<host::EditorForm&>::Of<&TestEffect::OnEditorIdle>(this);
}

void TestEffect::ProcessAudio(float** inputs, float** outputs, vst2::VstInt32 sampleFrames) {
    blockSizes.push_back(sampleFrames);
    lastInputs.assign(inputs, inputs + cEffect.numInputs);
    lastOutputs.assign(outputs, outputs + cEffect.numOutputs);
    if (writeOutput)
        for (int c = 0; c < cEffect.numOutputs; ++c)
            std::fill(outputs[c], outputs[c] + sampleFrames, outputValue);
    if (passInput)
        for (int c = 0; c < cEffect.numOutputs; ++c)
            for (int i = 0; i < sampleFrames; ++i)
                outputs[c][i] = inputs[c][i] + outputValue;
}

void TestEffect::ProcessMidiEvent(vst2::VstMidiEvent*) {
    ++midiEvents;
}

} // namespace hosttest
