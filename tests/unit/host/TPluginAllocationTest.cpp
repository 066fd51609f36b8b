// The effect's processing never allocates on the thread that runs it: not for a block longer than any
// before, not after the host changes its sample rate or block size, and not when a preset load or a panic
// lands. Driven through the effect record's entry points, as a host drives it.

#include "plugin/TPlugin.h"
#include "tests/support/TestEditor.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <thread>
#include <vector>

// Heap allocations made so far by the calling thread (AllocationCounter.cpp).
int AllocationCount();

namespace {

using namespace vst2;

VstTimeInfo timeInfo{};

VstIntPtr hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    if (opcode == audioMasterVersion)
        return 2400;
    return opcode == audioMasterGetTime ? reinterpret_cast<VstIntPtr>(&timeInfo) : 0;
}

// One block: its frame count and the sample rate the host reports with it.
struct Block {
    VstInt32 frames;
    double sampleRate = 44100.0;
};

// Runs the blocks on a thread of their own, alternating the two processing calls, and answers how many
// allocations that thread made.
int AllocationsWhileProcessing(AEffect* effect, const std::vector<Block>& blocks) {
    int allocations = -1;
    std::thread audio([&] {
        static std::vector<float> inL(1 << 17, 0.25f), inR(1 << 17, -0.25f), outL(1 << 17), outR(1 << 17);
        float* in[2] = {inL.data(), inR.data()};
        float* out[2] = {outL.data(), outR.data()};
        const int before = AllocationCount();
        bool accumulate = false;
        for (const Block& block : blocks) {
            timeInfo.sampleRate = block.sampleRate;
            (accumulate ? effect->process : effect->processReplacing)(effect, in, out, block.frames);
            accumulate = !accumulate;
        }
        allocations = AllocationCount() - before;
    });
    audio.join();
    return allocations;
}

} // namespace

TEST(TPluginAllocation, ProcessingAllocatesNothingWhateverTheHostDoesBetweenBlocks) {
    timeInfo = {};
    timeInfo.sampleRate = 44100.0;
    timeInfo.tempo = 120.0;
    timeInfo.flags = kVstTransportPlaying | kVstTempoValid;
    auto* plugin = new plugin::TPlugin(&hostCallback);
    AEffect* effect = plugin->getAeffect();
    auto dispatch = [effect](VstInt32 opcode, VstIntPtr value, float opt = 0.0f) {
        effect->dispatcher(effect, opcode, 0, value, nullptr, opt);
    };

    EXPECT_EQ(
        AllocationsWhileProcessing(effect, {{0}, {1}, {7}, {64}, {2048}, {2049}, {8192}, {65536}, {-4}}), 0)
        << "a fresh effect, blocks of 0 to 65536 frames";

    dispatch(effSetBlockSize, 512);
    dispatch(effMainsChanged, 1);
    EXPECT_EQ(AllocationsWhileProcessing(effect, {{512}, {513}, {65536}, {3}, {4096}}), 0)
        << "after a block size of 512 was announced";

    EXPECT_EQ(AllocationsWhileProcessing(effect, {{256, 96000.0},
                                                  {256, 96000.0},
                                                  {1000, 22050.0},
                                                  {0, 48000.0},
                                                  {70000, 384000.0},
                                                  {1, 8000.0},
                                                  {512, 44100.0}}),
              0)
        << "the sample rate changing between blocks reconverts every value on the audio thread";

    for (VstInt32 size : {8192, 1, 1 << 20, 4096}) {
        dispatch(effMainsChanged, 0);
        dispatch(effSetBlockSize, size);
        dispatch(effSetBlockSizeAndSampleRate, size / 2, 48000.0f);
        dispatch(effMainsChanged, 1);
        EXPECT_EQ(
            AllocationsWhileProcessing(effect, {{size < 65536 ? size : 65536, 48000.0}, {777, 48000.0}}), 0)
            << "after a block size of " << size << " was announced";
    }

    // A preset load and a panic as the editor asks for them; the audio thread carries out the line fill
    // of each at the start of its next block.
    testsupport::TestEditor editor(*plugin);
    editor.preset.emplace().Name = "Busy";
    for (int i = 0; i < engine::kParameterCount; ++i)
        editor.preset->Values[static_cast<std::size_t>(i)] = static_cast<float>(i % 11) / 10.0f;
    editor.PresetLoadRequest = true;
    plugin->ExchangeWithEditor(editor);
    ASSERT_EQ(plugin->getParameter(12), editor.preset->Values[12]) << "the preset was applied";
    EXPECT_EQ(AllocationsWhileProcessing(effect, {{1024}, {9000}}), 0) << "after a preset load";
    editor.PanicRequest = true;
    plugin->ExchangeWithEditor(editor);
    EXPECT_EQ(AllocationsWhileProcessing(effect, {{1024}, {9000}}), 0) << "after a panic";

    dispatch(effClose, 0);
}
