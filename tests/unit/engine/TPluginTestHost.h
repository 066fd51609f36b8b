#pragma once

#include "engine/ParameterTable.h"
#include "engine/reference/ReferenceEngine.h"
#include "plugin/TPlugin.h"
#include "tests/support/TestEditor.h"
#include "vst2/Vst2.h"

#include <memory>
#include <vector>

namespace engine {
// The engine's tests drive the effect through its VST 2 plug-in, as a host does.
using plugin::TPlugin;
} // namespace engine

namespace engine::testing {

// A stand-in for the host: answers the version query with 2400 and the time query with `time`, or
// with null while `timeAvailable` is false. One per test process; reset by each test's fixture.
struct FakeHost {
    vst2::VstTimeInfo time{};
    bool timeAvailable = true;
    int timeRequests = 0;
    vst2::VstIntPtr lastTimeFilter = 0;

    void Reset(double sampleRate = 44100.0, double tempo = 120.0, vst2::VstInt32 flags = 0);
};

FakeHost& Host();

extern "C" vst2::VstIntPtr EngineTestHostCallback(vst2::AEffect* effect, vst2::VstInt32 opcode,
                                                  vst2::VstInt32 index, vst2::VstIntPtr value, void* ptr,
                                                  float opt);

// The effect with the reference frame engine, whose state the tests look into through Ref.
std::unique_ptr<TPlugin> MakePlugin();
inline ReferenceEngine& Ref(TPlugin& plugin) {
    return static_cast<ReferenceEngine&>(plugin.Core().Frames());
}

// Stereo buffers for one rendering call.
struct StereoBlock {
    explicit StereoBlock(int frames)
        : left(static_cast<std::size_t>(frames)), right(static_cast<std::size_t>(frames)) {}
    std::vector<float> left, right;
    float* channels[2] = {nullptr, nullptr};
    float** Pointers() {
        channels[0] = left.data();
        channels[1] = right.data();
        return channels;
    }
};

// Renders the input through the plug-in's replacing call in blocks of blockSize frames.
void Render(TPlugin& plugin, const std::vector<float>& inL, const std::vector<float>& inR,
            std::vector<float>& outL, std::vector<float>& outR, int blockSize);

// Uniform noise in -1..1 from a fixed seed.
std::vector<float> Noise(int frames, unsigned seed);

// Every voice off, no feedback, no modulation, Mix 1, Pan centred: a clean start for voice tests.
void SilenceAllVoices(TPlugin& plugin);

} // namespace engine::testing
