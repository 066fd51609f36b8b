#include "tools/vorelan/PluginHost.h"

#include "tools/vorelan/ToolError.h"
#include "vst2/Vst2.h"

#include <algorithm>
#include <cstring>
#include <dlfcn.h>

namespace vorelan {

using namespace vst2;

namespace {

using EntryPoint = AEffect* (*)(audioMasterCallback);

// The host object that a callback without a known effect belongs to: the one whose entry-point call
// is running (the effect may call back before its record is handed over).
thread_local void* constructing = nullptr;

} // namespace

struct PluginHost::Impl {
    void* library = nullptr;
    AEffect* effect = nullptr;
    VstTimeInfo time{};
    double sampleRate = 44100;
    double tempo = 120;
    bool playing = false;
    int blockSize = 512;
    bool started = false;

    static VstIntPtr callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                              float opt);
    VstIntPtr answer(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt);

    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f) {
        return effect->dispatcher(effect, opcode, index, value, ptr, opt);
    }
    std::string text(VstInt32 opcode, VstInt32 index = 0) {
        // Larger than any text the interface allows, in case an effect writes more than it should.
        char buffer[512] = {};
        dispatch(opcode, index, 0, buffer);
        buffer[sizeof buffer - 1] = 0;
        return buffer;
    }
};

VstIntPtr PluginHost::Impl::callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                     float opt) {
    Impl* self = static_cast<Impl*>(effect && effect->user ? effect->user : constructing);
    if (!self)
        return opcode == audioMasterVersion ? 2400 : 0;
    return self->answer(opcode, index, value, ptr, opt);
}

VstIntPtr PluginHost::Impl::answer(VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    switch (opcode) {
    case audioMasterVersion:
        return 2400;
    case audioMasterCurrentId:
        return effect ? effect->uniqueID : 0;
    case audioMasterGetTime:
        return reinterpret_cast<VstIntPtr>(&time);
    case audioMasterGetSampleRate:
        return static_cast<VstIntPtr>(sampleRate);
    case audioMasterGetBlockSize:
        return blockSize;
    default:
        return 0;
    }
}

PluginHost::PluginHost(const std::string& pluginPath) : impl_(std::make_unique<Impl>()) {
    // A bare name would be looked up in the library path; the user means a file.
    const std::string path = pluginPath.find('/') == std::string::npos ? "./" + pluginPath : pluginPath;
    impl_->library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!impl_->library) {
        const char* reason = dlerror();
        throw ToolError("cannot load the plug-in \"" + pluginPath + "\": " + (reason ? reason : "unknown error") +
                        "\n(build it with make plugins, or choose one with --plugin PATH)");
    }
    auto entry = reinterpret_cast<EntryPoint>(dlsym(impl_->library, "VSTPluginMain"));
    if (!entry)
        entry = reinterpret_cast<EntryPoint>(dlsym(impl_->library, "main"));
    if (!entry)
        throw ToolError("\"" + pluginPath + "\" is not a VST 2 plug-in: it exports neither VSTPluginMain nor main");
    constructing = impl_.get();
    AEffect* effect = entry(&Impl::callback);
    constructing = nullptr;
    if (!effect || effect->magic != kEffectMagic)
        throw ToolError("the plug-in \"" + pluginPath + "\" did not create an effect");
    effect->user = impl_.get();
    impl_->effect = effect;
    if (effect->numInputs < 1 || effect->numOutputs < 1 || effect->numInputs > 2 || effect->numOutputs > 2)
        throw ToolError("the plug-in \"" + pluginPath + "\" has " + std::to_string(effect->numInputs) + " inputs and " +
                        std::to_string(effect->numOutputs) + " outputs; this host runs mono and stereo effects");
}

PluginHost::~PluginHost() {
    if (impl_->effect) {
        if (impl_->started)
            impl_->dispatch(effMainsChanged, 0, 0);
        impl_->dispatch(effClose);
    }
    if (impl_->library)
        dlclose(impl_->library);
}

void PluginHost::SetSampleRate(double hz) { impl_->sampleRate = hz; }
void PluginHost::SetTempo(double bpm) { impl_->tempo = bpm; }
void PluginHost::SetPlaying(bool playing) { impl_->playing = playing; }
void PluginHost::SetBlockSize(int frames) { impl_->blockSize = frames; }

void PluginHost::Start() {
    Impl& h = *impl_;
    h.time = VstTimeInfo{};
    h.time.sampleRate = h.sampleRate;
    h.time.tempo = h.tempo;
    h.time.timeSigNumerator = 4;
    h.time.timeSigDenominator = 4;
    h.time.flags = kVstTempoValid | kVstPpqPosValid | kVstTimeSigValid | kVstBarsValid |
                   (h.playing ? kVstTransportPlaying | kVstTransportChanged : 0);
    h.dispatch(effOpen);
    h.dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(h.sampleRate));
    h.dispatch(effSetBlockSize, 0, h.blockSize);
    h.dispatch(effMainsChanged, 0, 1);
    h.started = true;
}

PluginHost::Identity PluginHost::GetIdentity() {
    Impl& h = *impl_;
    Identity id;
    id.effectName = h.text(effGetEffectName);
    id.productString = h.text(effGetProductString);
    id.vendorString = h.text(effGetVendorString);
    id.vendorVersion = static_cast<int>(h.dispatch(effGetVendorVersion));
    id.vstVersion = static_cast<int>(h.dispatch(effGetVstVersion));
    id.category = static_cast<int>(h.dispatch(effGetPlugCategory));
    id.uniqueId = h.effect->uniqueID;
    id.numInputs = h.effect->numInputs;
    id.numOutputs = h.effect->numOutputs;
    id.numParams = h.effect->numParams;
    id.numPrograms = h.effect->numPrograms;
    id.flags = h.effect->flags;
    id.initialDelay = h.effect->initialDelay;
    return id;
}

std::string PluginHost::PinLabel(bool input, int index, int* flags) {
    VstPinProperties pin{};
    impl_->dispatch(input ? effGetInputProperties : effGetOutputProperties, index, 0, &pin);
    pin.label[sizeof pin.label - 1] = 0;
    if (flags)
        *flags = pin.flags;
    return pin.label;
}

long long PluginHost::CanDo(const std::string& capability) {
    return impl_->dispatch(effCanDo, 0, 0, const_cast<char*>(capability.c_str()));
}

int PluginHost::ParameterCount() const { return impl_->effect->numParams; }
std::string PluginHost::ParameterName(int index) { return impl_->text(effGetParamName, index); }
std::string PluginHost::ParameterDisplay(int index) { return impl_->text(effGetParamDisplay, index); }
std::string PluginHost::ParameterLabel(int index) { return impl_->text(effGetParamLabel, index); }
float PluginHost::GetParameter(int index) { return impl_->effect->getParameter(impl_->effect, index); }
void PluginHost::SetParameter(int index, float value) { impl_->effect->setParameter(impl_->effect, index, value); }
std::string PluginHost::ProgramName() { return impl_->text(effGetProgramName); }
void PluginHost::SetProgramName(const std::string& name) {
    std::string copy = name;
    impl_->dispatch(effSetProgramName, 0, 0, copy.data());
}

StereoSignal PluginHost::Render(const StereoSignal& input,
                                const std::function<void(std::size_t, std::size_t)>& progress) {
    Impl& h = *impl_;
    const std::size_t total = input.frames();
    StereoSignal output;
    output.left.assign(total, 0.0f);
    output.right.assign(total, 0.0f);
    const int inputs = h.effect->numInputs, outputs = h.effect->numOutputs;
    std::vector<float> inBuffers[2], outBuffers[2];
    for (auto& b : inBuffers)
        b.resize(h.blockSize);
    for (auto& b : outBuffers)
        b.resize(h.blockSize);
    float* in[2] = {inBuffers[0].data(), inBuffers[1].data()};
    float* out[2] = {outBuffers[0].data(), outBuffers[1].data()};

    for (std::size_t done = 0; done < total;) {
        const auto frames = static_cast<VstInt32>(std::min<std::size_t>(h.blockSize, total - done));
        std::copy_n(input.left.begin() + done, frames, inBuffers[0].begin());
        std::copy_n((inputs == 2 ? input.right : input.left).begin() + done, frames, inBuffers[1].begin());
        std::fill(outBuffers[0].begin(), outBuffers[0].end(), 0.0f);
        std::fill(outBuffers[1].begin(), outBuffers[1].end(), 0.0f);

        const double seconds = static_cast<double>(done) / h.sampleRate;
        h.time.samplePos = static_cast<double>(done);
        h.time.ppqPos = seconds * h.tempo / 60.0;
        h.time.barStartPos = 4.0 * static_cast<long long>(h.time.ppqPos / 4.0);
        h.time.nanoSeconds = seconds * 1e9;
        h.effect->process(h.effect, in, out, frames);
        h.time.flags &= ~kVstTransportChanged;

        std::copy_n(outBuffers[0].begin(), frames, output.left.begin() + done);
        std::copy_n(outBuffers[outputs == 2 ? 1 : 0].begin(), frames, output.right.begin() + done);
        done += frames;
        if (progress)
            progress(done, total);
    }
    return output;
}

} // namespace vorelan
