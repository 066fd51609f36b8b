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

StereoSignal PluginHost::Render(const StereoSignal& input,
                                const std::function<void(std::size_t, std::size_t)>& progress) {
    Impl& h = *impl_;
    const std::size_t total = input.frames();
    StereoSignal output;
    output.left.assign(total, 0.0f);
    output.right.assign(total, 0.0f);
    const int inputs = h.effect().numInputs, outputs = h.effect().numOutputs;
    std::vector<float> inBuffers[2], outBuffers[2];
    for (int c = 0; c < 2; ++c) {
        inBuffers[c].resize(h.blockSize);
        outBuffers[c].resize(h.blockSize);
    }
    float* in[2] = {inBuffers[0].data(), inBuffers[1].data()};
    float* out[2] = {outBuffers[0].data(), outBuffers[1].data()};

    for (std::size_t done = 0; done < total;) {
        const auto frames = static_cast<VstInt32>(std::min<std::size_t>(h.blockSize, total - done));
        std::copy_n(input.left.begin() + done, frames, inBuffers[0].begin());
        std::copy_n((inputs == 2 ? input.right : input.left).begin() + done, frames, inBuffers[1].begin());
        // The effect accumulates into the host's outputs, which start silent.
        std::fill(outBuffers[0].begin(), outBuffers[0].end(), 0.0f);
        std::fill(outBuffers[1].begin(), outBuffers[1].end(), 0.0f);
        h.plugin->Process(in, out, frames);
        h.host.Advance(frames);
        h.host.ClearLogs(); // the call log would otherwise grow with every block

        std::copy_n(outBuffers[0].begin(), frames, output.left.begin() + done);
        std::copy_n(outBuffers[outputs == 2 ? 1 : 0].begin(), frames, output.right.begin() + done);
        done += frames;
        if (progress)
            progress(done, total);
    }
    return output;
}

} // namespace vorelan
