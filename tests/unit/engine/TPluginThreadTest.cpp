#include "plugin/TPlugin.h"

#include "TPluginTestHost.h"
#include "engine/ParameterTable.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <random>
#include <thread>
#include <vector>

namespace engine {
namespace {

// The host's user-interface thread writes parameters and serves editor idles while its audio thread
// renders. Run under ThreadSanitizer this proves every shared value is accessed atomically; in any build
// it proves the output stays finite whatever the interleaving.
TEST(TPluginThreadTest, ParameterWritesAndEditorIdlesDuringProcessingStaySafe) {
    testing::Host().Reset(48000.0, 128.0, vst2::kVstTransportPlaying);
    auto plugin = testing::MakePlugin();
    std::atomic<bool> done{false};

    std::thread userInterface([&] {
        std::mt19937 random(5);
        std::uniform_int_distribution<int> index(0, kParameterCount - 1);
        std::uniform_real_distribution<float> value(0.0f, 1.0f);
        testsupport::TestEditor editor(*plugin);
        int writes = 0;
        while (!done.load(std::memory_order_relaxed)) {
            plugin->setParameter(index(random), value(random));
            if (writes % 16 == 0)
                std::this_thread::yield();
            if (++writes % 64 == 0) {
                editor.PanicRequest = writes % 16384 == 0;
                plugin->ExchangeWithEditor(editor);
                if (writes % 16384 == 8192)
                    plugin->Core().RequestDelayFill(0.0001f);
            }
        }
    });

    std::vector<float> in(256), outL(256), outR(256);
    std::mt19937 noise(9);
    std::uniform_real_distribution<float> sample(-1.0f, 1.0f);
    bool finite = true;
    for (int block = 0; block < 400 && finite; ++block) {
        for (float& s : in)
            s = sample(noise);
        if (block % 50 == 25)
            testing::Host().time.flags ^= vst2::kVstTransportPlaying; // audio thread only
        float* inputs[2] = {in.data(), in.data()};
        float* outputs[2] = {outL.data(), outR.data()};
        plugin->processReplacing(inputs, outputs, static_cast<vst2::VstInt32>(in.size()));
        for (std::size_t j = 0; j < in.size(); ++j)
            finite = finite && std::isfinite(outL[j]) && std::isfinite(outR[j]);
    }
    done = true;
    userInterface.join();
    EXPECT_TRUE(finite);
}

// Two threads write the same parameters, BufferSize among them, while the audio thread renders at a
// changing sample rate. Whatever the interleaving, once the writes stop the next block runs on the
// stored values: the audio thread converts every value stored since its last block, and derives the
// line length.
TEST(TPluginThreadTest, EngineValuesFollowTheStoredValuesOnceWritesStop) {
    testing::Host().Reset(44100.0, 120.0, 0);
    auto plugin = testing::MakePlugin();
    const int indices[3] = {GlobalParameterIndex(GlobalKind::BufferSize),
                            GlobalParameterIndex(GlobalKind::Mix), VoiceParameterIndex(3, VoiceKind::Delay)};
    std::vector<float> in(32, 0.25f), outL(32), outR(32);
    float* inputs[2] = {in.data(), in.data()};
    float* outputs[2] = {outL.data(), outR.data()};

    std::atomic<int> running{2};
    auto writer = [&](float base) {
        for (int i = 0; i < 20000; ++i)
            for (int index : indices)
                plugin->setParameter(index, base + 0.001f * static_cast<float>(i % 97));
        --running;
    };
    std::thread first(writer, 0.1f), second(writer, 0.6f);
    for (int block = 0; running.load() > 0; ++block) {
        testing::Host().time.sampleRate = block % 3 == 0 ? 48000.0 : 44100.0; // audio thread only
        plugin->processReplacing(inputs, outputs, 32);
    }
    first.join();
    second.join();
    plugin->processReplacing(inputs, outputs, 32);
    EXPECT_EQ(plugin->Core().BlockValues().Mix, plugin->getParameter(indices[1]));
    EXPECT_EQ(plugin->Core().BlockValues().Delay[3], plugin->getParameter(indices[2]));
    EXPECT_EQ(plugin->Core().BufferLength,
              BufferLengthFor(plugin->getParameter(indices[0]), plugin->Core().HostSampleRate()));
}

} // namespace
} // namespace engine
