#include "tools/vorelan/PluginHost.h"

#include "tests/host/lib/Host.h"
#include "tests/host/lib/PluginInstance.h"
#include "tests/host/lib/PluginLibrary.h"
#include "tools/vorelan/ToolError.h"

#include <algorithm>

namespace vorelan {

using namespace vst2;

struct PluginHost::Impl {
    // Declared in this order so the instance closes before its library is unloaded and its host goes.
    testhost::Host host;
    std::unique_ptr<testhost::PluginLibrary> library;
    std::unique_ptr<testhost::PluginInstance> plugin;
    int blockSize = 512;
    bool started = false;

    ~Impl() {
        if (plugin && started)
            plugin->Dispatch(effMainsChanged, 0, 0);
    }
    AEffect& effect() const { return *plugin->Effect(); }
    std::string text(VstInt32 opcode, VstInt32 index = 0) { return plugin->GetText(opcode, index).text; }
};

PluginHost::PluginHost(const std::string& pluginPath) : impl_(std::make_unique<Impl>()) {
    // A bare name would be looked up in the library path; the user means a file.
    const std::string path = pluginPath.find('/') == std::string::npos ? "./" + pluginPath : pluginPath;
    std::string error;
    impl_->library = testhost::PluginLibrary::Load(path, error);
    if (!impl_->library)
        throw ToolError("cannot load the plug-in \"" + pluginPath + "\": " + error +
                        "\n(build it with make plugins, or choose one with --plugin PATH)");
    impl_->plugin = testhost::PluginInstance::Create(*impl_->library, impl_->host);
    if (!impl_->plugin || impl_->plugin->Effect()->magic != kEffectMagic)
        throw ToolError("the plug-in \"" + pluginPath + "\" did not create an effect");
    const AEffect& effect = impl_->effect();
    if (effect.numInputs < 1 || effect.numOutputs < 1 || effect.numInputs > 2 || effect.numOutputs > 2)
        throw ToolError("the plug-in \"" + pluginPath + "\" has " + std::to_string(effect.numInputs) +
                        " inputs and " + std::to_string(effect.numOutputs) +
                        " outputs; this host runs mono and stereo effects");
}

PluginHost::~PluginHost() = default;

void PluginHost::SetSampleRate(double hz) {
    impl_->host.SetSampleRate(hz);
}
void PluginHost::SetTempo(double bpm) {
    impl_->host.SetTempo(bpm);
}
void PluginHost::SetPlaying(bool playing) {
    impl_->host.SetPlaying(playing);
}
void PluginHost::SetBlockSize(int frames) {
    impl_->blockSize = frames;
}

void PluginHost::Start() {
    Impl& h = *impl_;
    h.plugin->Dispatch(effOpen);
    h.plugin->Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(h.host.TimeInfo.sampleRate));
    h.plugin->Dispatch(effSetBlockSize, 0, h.blockSize);
    h.plugin->Dispatch(effMainsChanged, 0, 1);
    h.started = true;
}

PluginHost::Identity PluginHost::GetIdentity() {
    Impl& h = *impl_;
    Identity id;
    id.effectName = h.text(effGetEffectName);
    id.productString = h.text(effGetProductString);
    id.vendorString = h.text(effGetVendorString);
    id.vendorVersion = static_cast<int>(h.plugin->Dispatch(effGetVendorVersion));
    id.vstVersion = static_cast<int>(h.plugin->Dispatch(effGetVstVersion));
    id.category = static_cast<int>(h.plugin->Dispatch(effGetPlugCategory));
    const AEffect& effect = h.effect();
    id.uniqueId = effect.uniqueID;
    id.numInputs = effect.numInputs;
    id.numOutputs = effect.numOutputs;
    id.numParams = effect.numParams;
    id.numPrograms = effect.numPrograms;
    id.flags = effect.flags;
    id.initialDelay = effect.initialDelay;
    return id;
}

std::string PluginHost::PinLabel(bool input, int index, int* flags) {
    VstPinProperties pin{};
    impl_->plugin->Dispatch(input ? effGetInputProperties : effGetOutputProperties, index, 0, &pin);
    pin.label[sizeof pin.label - 1] = 0;
    if (flags)
        *flags = pin.flags;
    return pin.label;
}

long long PluginHost::CanDo(const std::string& capability) {
    return impl_->plugin->CanDo(capability.c_str());
}

int PluginHost::ParameterCount() const {
    return impl_->effect().numParams;
}
std::string PluginHost::ParameterName(int index) {
    return impl_->plugin->ParameterName(index);
}
std::string PluginHost::ParameterDisplay(int index) {
    return impl_->plugin->ParameterDisplay(index);
}
std::string PluginHost::ParameterLabel(int index) {
    return impl_->plugin->ParameterLabel(index);
}
float PluginHost::GetParameter(int index) {
    return impl_->plugin->GetParameter(index);
}
void PluginHost::SetParameter(int index, float value) {
    impl_->plugin->SetParameter(index, value);
}
std::string PluginHost::ProgramName() {
    return impl_->text(effGetProgramName);
}
void PluginHost::SetProgramName(const std::string& name) {
    std::string copy = name;
    impl_->plugin->Dispatch(effSetProgramName, 0, 0, copy.data());
}

void PluginHost::ProcessBlock(const float* const in[2], float* const out[2], int frames) {
    Impl& h = *impl_;
    const AEffect& effect = h.effect();
    // The effect may not write its inputs, but the interface passes them as writable pointers.
    float* inputs[2] = {const_cast<float*>(in[0]), const_cast<float*>(in[effect.numInputs == 2 ? 1 : 0])};
    float* outputs[2] = {out[0], out[1]};
    if (effect.flags & effFlagsCanReplacing) {
        h.plugin->ProcessReplacing(inputs, outputs, frames);
    } else {
        // The accumulating call adds into the host's outputs, which start silent.
        std::fill_n(out[0], frames, 0.0f);
        std::fill_n(out[1], frames, 0.0f);
        h.plugin->Process(inputs, outputs, frames);
    }
    if (effect.numOutputs == 1)
        std::copy_n(out[0], frames, out[1]);
    h.host.Advance(frames);
    h.host.ClearLogs(); // the call log would otherwise grow with every block
}

StereoSignal PluginHost::Render(const StereoSignal& input,
                                const std::function<void(std::size_t, std::size_t)>& progress) {
    const std::size_t total = input.frames();
    StereoSignal output;
    output.left.assign(total, 0.0f);
    output.right.assign(total, 0.0f);
    for (std::size_t done = 0; done < total;) {
        const int frames = static_cast<int>(std::min<std::size_t>(impl_->blockSize, total - done));
        const float* in[2] = {input.left.data() + done, input.right.data() + done};
        float* out[2] = {output.left.data() + done, output.right.data() + done};
        ProcessBlock(in, out, frames);
        done += frames;
        if (progress)
            progress(done, total);
    }
    return output;
}

} // namespace vorelan
