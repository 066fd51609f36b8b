// A stereo effect that hands its input on unchanged, built on the same frame (entry point, effect
// record, C entry points with their floating-point guard) as VorelanEn2 itself. bench/peers renders
// with it to learn what the vorelan tool costs without any effect: reading and writing the files,
// the block loop and the calls through the record. Everything above the frame's entry points
// (parameter template, scratch buffers, engine) then counts as the effect's own cost.
// Built for benchmarks only; never shipped.
#include "host/AudioEffect.h"
#include "host/PluginFactory.h"

#include <algorithm>

namespace {

class PassThroughEffect final : public host::AudioEffect {
public:
    explicit PassThroughEffect(vst2::audioMasterCallback audioMaster) : AudioEffect(audioMaster, 1, 0) {
        setNumInputs(2);
        setNumOutputs(2);
        setUniqueID(('Q' << 24) | ('R' << 16) | ('p' << 8) | 't');
        canProcessReplacing(true);
    }

    // The host's outputs already hold its mix: the input is added to them.
    void process(float** inputs, float** outputs, host::VstInt32 sampleFrames) override {
        for (int channel = 0; channel < 2; ++channel)
            std::transform(inputs[channel], inputs[channel] + sampleFrames, outputs[channel],
                           outputs[channel], [](float in, float out) { return out + in; });
    }

    void processReplacing(float** inputs, float** outputs, host::VstInt32 sampleFrames) override {
        for (int channel = 0; channel < 2; ++channel)
            std::copy_n(inputs[channel], sampleFrames, outputs[channel]);
    }
};

} // namespace

host::AudioEffect* host::CreateEffectInstance(vst2::audioMasterCallback audioMaster) {
    return new PassThroughEffect(audioMaster);
}
