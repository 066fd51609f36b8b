// The two processing calls as a host uses them.

#include "tests/host/HostTestSupport.h"

#include <cmath>
#include <cstring>
#include <vector>
#include <xmmintrin.h>

using namespace vst2;

namespace {

struct Buffers {
    explicit Buffers(int frames, float outputFill = 0.0f)
        : inL(frames), inR(frames), outL(frames, outputFill), outR(frames, outputFill) {
        for (int i = 0; i < frames; ++i) {
            inL[i] = 0.4f * static_cast<float>(std::sin(i * 0.0627));
            inR[i] = 0.3f * static_cast<float>(std::sin(i * 0.0311 + 1.0));
        }
    }
    float* in[2] = {nullptr, nullptr};
    float* out[2] = {nullptr, nullptr};
    float** inputs() {
        in[0] = inL.data();
        in[1] = inR.data();
        return in;
    }
    float** outputs() {
        out[0] = outL.data();
        out[1] = outR.data();
        return out;
    }
    std::vector<float> inL, inR, outL, outR;
};

bool sameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

} // namespace

TEST(Processing, AccumulatingAddsWhatReplacingWrites) {
    auto a = hosttest::Start();
    auto b = hosttest::Start();
    ASSERT_TRUE(a.plugin != nullptr && b.plugin != nullptr);
    const int frames = 3000;
    Buffers replacing(frames), accumulating(frames, 0.25f);
    const Buffers original(frames);
    a.plugin->ProcessReplacing(replacing.inputs(), replacing.outputs(), frames);
    b.plugin->Process(accumulating.inputs(), accumulating.outputs(), frames);
    EXPECT_TRUE(sameBits(replacing.inL, original.inL) && sameBits(replacing.inR, original.inR))
        << "processReplacing leaves the host's inputs untouched";
    EXPECT_TRUE(sameBits(accumulating.inL, original.inL) && sameBits(accumulating.inR, original.inR))
        << "process leaves the host's inputs untouched";
    int mismatches = 0;
    float energy = 0.0f;
    for (int i = 0; i < frames; ++i) {
        mismatches += accumulating.outL[i] != 0.25f + replacing.outL[i];
        mismatches += accumulating.outR[i] != 0.25f + replacing.outR[i];
        energy += replacing.outL[i] * replacing.outL[i];
    }
    EXPECT_EQ(mismatches, 0) << "process adds each sample to the host's output";
    EXPECT_GT(energy, 0.0f) << "the factory program passes sound";
}

// Many hosts hand the same buffers as input and output. The effect reads the whole block before it
// writes any of it, so in place gives the bits of separate buffers.
TEST(Processing, InPlaceBuffersGiveTheSameResult) {
    auto separate = hosttest::Start();
    auto inPlace = hosttest::Start();
    ASSERT_TRUE(separate.plugin != nullptr && inPlace.plugin != nullptr);
    const int frames = 1500;
    for (int block = 0; block < 3; ++block) {
        Buffers reference(frames), shared(frames);
        separate.plugin->ProcessReplacing(reference.inputs(), reference.outputs(), frames);
        inPlace.plugin->ProcessReplacing(shared.inputs(), shared.inputs(), frames);
        EXPECT_TRUE(sameBits(shared.inL, reference.outL) && sameBits(shared.inR, reference.outR))
            << "block " << block;
    }
}

TEST(Processing, AnyFrameCount) {
    auto started = hosttest::Start();
    ASSERT_TRUE(started.plugin != nullptr);
    testhost::PluginInstance& p = *started.plugin;
    Buffers none(4, 0.5f);
    p.ProcessReplacing(none.inputs(), none.outputs(), 0);
    p.Process(none.inputs(), none.outputs(), 0);
    p.ProcessReplacing(none.inputs(), none.outputs(), -5);
    EXPECT_EQ(none.outL[0], 0.5f) << "0 frames touch no output sample";
    for (int frames : {1, 37, 4096, 8192, 1, 5000}) {
        Buffers b(frames);
        p.ProcessReplacing(b.inputs(), b.outputs(), frames);
        bool finite = true;
        for (int i = 0; i < frames; ++i)
            finite = finite && std::isfinite(b.outL[i]) && std::isfinite(b.outR[i]);
        EXPECT_TRUE(finite) << frames << " frames";
    }
}

TEST(Processing, CallersFloatingPointStateIsRestored) {
    auto started = hosttest::Start();
    ASSERT_TRUE(started.plugin != nullptr);
    const unsigned saved = _mm_getcsr();
    // Round toward zero, all exceptions masked, no flush: a state the plug-in must give back.
    const unsigned callers = 0x1F80 | 0x6000;
    Buffers b(256);
    _mm_setcsr(callers);
    started.plugin->ProcessReplacing(b.inputs(), b.outputs(), 256);
    const unsigned afterReplacing = _mm_getcsr();
    started.plugin->Process(b.inputs(), b.outputs(), 256);
    const unsigned afterProcess = _mm_getcsr();
    _mm_setcsr(saved);
    EXPECT_EQ(afterReplacing & ~0x3Fu, callers) << "processReplacing restores MXCSR";
    EXPECT_EQ(afterProcess & ~0x3Fu, callers) << "process restores MXCSR";
}

TEST(Processing, MissingHostChannelsAreHarmless) {
    auto started = hosttest::Start();
    ASSERT_TRUE(started.plugin != nullptr);
    Buffers b(64, 0.5f);
    started.plugin->ProcessReplacing(nullptr, b.outputs(), 64);
    started.plugin->ProcessReplacing(b.inputs(), nullptr, 64);
    float* halfIn[2] = {b.inL.data(), nullptr};
    float* halfOut[2] = {nullptr, b.outR.data()};
    started.plugin->Process(halfIn, halfOut, 64);
    EXPECT_TRUE(std::isfinite(b.outR[10]));
}

#ifndef _WIN32
#include <atomic>
#include <thread>

// A host automates and queries parameters on its user-interface thread while its audio thread
// processes: the plug-in takes no lock, and the output stays finite throughout.
TEST(Processing, ParametersChangeWhileAudioRuns) {
    auto started = hosttest::Start();
    ASSERT_TRUE(started.plugin != nullptr);
    testhost::PluginInstance& p = *started.plugin;
    std::atomic<bool> finite{true};
    std::thread audio([&] {
        Buffers b(256);
        for (int block = 0; block < 400; ++block) {
            p.ProcessReplacing(b.inputs(), b.outputs(), 256);
            for (int i = 0; i < 256; ++i)
                if (!std::isfinite(b.outL[i]) || !std::isfinite(b.outR[i]))
                    finite = false;
        }
    });
    unsigned state = 1;
    for (int round = 0; round < 20; ++round)
        for (int index = 0; index < 181; ++index) {
            state = state * 1664525u + 1013904223u;
            p.SetParameter(index, static_cast<float>(state >> 8) / 16777216.0f);
            p.ParameterDisplay(index);
            p.GetParameter(index);
        }
    audio.join();
    EXPECT_TRUE(finite.load()) << "every output sample stays finite";
}

// Hosts announce block sizes while the effect is suspended; one that does so while its audio thread
// processes blocks longer than any announced must not crash the plug-in or race with it.
TEST(Processing, BlockSizesAnnouncedWhileAudioRuns) {
    auto started = hosttest::Start();
    ASSERT_TRUE(started.plugin != nullptr);
    testhost::PluginInstance& p = *started.plugin;
    std::atomic<bool> finite{true};
    std::atomic<bool> done{false};
    std::thread audio([&] {
        Buffers b(20000);
        for (int block = 0; block < 60; ++block) {
            const int frames = block % 2 == 0 ? 20000 : 301;
            p.ProcessReplacing(b.inputs(), b.outputs(), frames);
            for (int i = 0; i < frames; ++i)
                if (!std::isfinite(b.outL[i]) || !std::isfinite(b.outR[i]))
                    finite = false;
        }
        done = true;
    });
    for (int round = 0; !done; ++round) {
        p.Dispatch(effSetBlockSize, 0, 64 << (round % 9));
        p.Dispatch(effSetBlockSizeAndSampleRate, 0, 100 + round % 5000, nullptr, 44100.0f);
    }
    audio.join();
    EXPECT_TRUE(finite.load()) << "every output sample stays finite";
}
#endif
