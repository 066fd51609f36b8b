#include "TPluginTestHost.h"

#include <algorithm>
#include <random>

namespace engine::testing {

void FakeHost::Reset(double sampleRate, double tempo, vst2::VstInt32 flags) {
    time = vst2::VstTimeInfo{};
    time.sampleRate = sampleRate;
    time.tempo = tempo;
    time.flags = flags;
    timeAvailable = true;
    timeRequests = 0;
    lastTimeFilter = 0;
}

FakeHost& Host() {
    static FakeHost host;
    return host;
}

extern "C" vst2::VstIntPtr EngineTestHostCallback(vst2::AEffect*, vst2::VstInt32 opcode, vst2::VstInt32,
                                                  vst2::VstIntPtr value, void*, float) {
    FakeHost& host = Host();
    switch (opcode) {
    case vst2::audioMasterVersion:
        return 2400;
    case vst2::audioMasterGetTime:
        ++host.timeRequests;
        host.lastTimeFilter = value;
        return host.timeAvailable ? reinterpret_cast<vst2::VstIntPtr>(&host.time) : 0;
    default:
        return 0;
    }
}

std::unique_ptr<TPlugin> MakePlugin() {
    return std::make_unique<TPlugin>(&EngineTestHostCallback, nullptr, std::make_unique<ReferenceEngine>());
}

void Render(TPlugin& plugin, const std::vector<float>& inL, const std::vector<float>& inR,
            std::vector<float>& outL, std::vector<float>& outR, int blockSize) {
    const int total = static_cast<int>(inL.size());
    outL.assign(inL.size(), 0.0f);
    outR.assign(inR.size(), 0.0f);
    for (int start = 0; start < total; start += blockSize) {
        const int n = std::min(blockSize, total - start);
        float* in[2] = {const_cast<float*>(inL.data()) + start, const_cast<float*>(inR.data()) + start};
        float* out[2] = {outL.data() + start, outR.data() + start};
        plugin.processReplacing(in, out, n);
    }
}

std::vector<float> Noise(int frames, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> uniform(-1.0f, 1.0f);
    std::vector<float> samples(static_cast<std::size_t>(frames));
    for (float& s : samples)
        s = uniform(random);
    return samples;
}

void SilenceAllVoices(TPlugin& plugin) {
    for (int v = 0; v < kVoiceCount; ++v) {
        plugin.setParameter(VoiceParameterIndex(v, VoiceKind::Pow), 0.0f);
        plugin.setParameter(VoiceParameterIndex(v, VoiceKind::Feeds), 0.5f);
        plugin.setParameter(VoiceParameterIndex(v, VoiceKind::ModDelAmp), 0.0f);
        plugin.setParameter(VoiceParameterIndex(v, VoiceKind::ModAmpAmp), 0.0f);
        plugin.setParameter(VoiceParameterIndex(v, VoiceKind::ModPanAmp), 0.0f);
        plugin.setParameter(VoiceParameterIndex(v, VoiceKind::Pan), 0.5f);
    }
    plugin.setParameter(GlobalParameterIndex(GlobalKind::Mix), 1.0f);
}

} // namespace engine::testing
