// Rendering through the plug-in binary as a host does: the output depends only on the input, the
// parameters and the host's time information, never on the block size, the build or the platform.
// The reference hashes below hold the Linux and Windows binaries to the same bits.

#include "tests/host/HostTestSupport.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <utility>
#include <vector>

using namespace vst2;

namespace {

// A fixed linear congruential generator: the same numbers with every compiler and C++ library.
struct Lcg {
    std::uint32_t state;
    std::uint32_t Next() {
        state = state * 1664525u + 1013904223u;
        return state;
    }
    // 0 .. 1 with 24 bits.
    float Unit() { return static_cast<float>(Next() >> 8) / 16777216.0f; }
    float Bipolar() { return 2.0f * Unit() - 1.0f; }
};

struct Stereo {
    std::vector<float> left, right;
};

// Sine bursts from a two-multiply resonator (no library maths, so every build makes the same bits),
// noise bursts from the generator, and silent gaps in which the delay lines and feedback ring out.
Stereo TestSignal(int frames) {
    Stereo s{std::vector<float>(frames, 0.0f), std::vector<float>(frames, 0.0f)};
    Lcg noise{12345u};
    // 220 Hz, 1375 Hz and 5 kHz at 44.1 kHz: the resonator coefficient 2·cos(w) and the start value
    // 0.5·sin(w) that gives the sine an amplitude of 0.5.
    const double coefficients[3] = {1.999017590934, 1.961744089254, 1.513617663200};
    const double starts[3] = {0.015669778111, 0.097326810372, 0.326818142249};
    const int burst = 6000;
    for (int start = 0, n = 0; start < frames; start += 2 * burst, ++n) {
        const int end = start + burst < frames ? start + burst : frames;
        const double c = coefficients[n % 3];
        double y1 = 0.0, y2 = -starts[n % 3];
        for (int i = start; i < end; ++i) {
            const double y = c * y1 - y2;
            y2 = y1;
            y1 = y;
            const float envelope = static_cast<float>(end - i) / burst;
            const float hiss = n % 2 == 1 ? 0.3f * noise.Bipolar() : 0.0f;
            s.left[i] = envelope * (static_cast<float>(y) + hiss);
            s.right[i] = envelope * (0.7f * static_cast<float>(y1) - hiss);
        }
    }
    return s;
}

// What a host sets before rendering: parameter writes and its time information.
struct Scenario {
    std::vector<std::pair<int, float>> parameters;
    double sampleRate = 44100.0;
    double tempo = 120.0;
    bool playing = false;
    bool timeInformation = true; // whether the host answers the time-information request
};

constexpr int kVoice(int v, int kind) {
    return 5 + 16 * v + kind;
}
constexpr int kLfo(int l, int kind) {
    return 133 + 6 * l + kind;
}
enum VoiceKind {
    Pow = 0,
    Delay = 1,
    ModDelAmp = 3,
    Pan = 4,
    FType = 7,
    Freq = 8,
    ModFrqIx = 9,
    ModFrqAmp = 10,
    Res = 11,
    Amp = 12,
    Feeds = 15
};
enum LfoKind { Shape = 0, HostSync = 1, LfoFreq = 2, SyncIx = 3, SyncOf = 4, Smooth = 5 };

// The factory program with filters of all three kinds, tempo-locked LFOs of the five periodic shapes
// (never "Random": its generator is seeded from a clock), hard sync, smoothing and feedback.
Scenario FiltersAndHostSync() {
    Scenario s;
    s.playing = true;
    s.tempo = 120.0;
    s.parameters = {{0, 0.3f}, {1, 0.9f}, {2, 0.7f}};
    const float types[4] = {1.0f / 3.0f, 2.0f / 3.0f, 1.0f, 0.0f}; // low-, band-, high-pass, none
    for (int v = 0; v < 8; ++v) {
        s.parameters.push_back({kVoice(v, FType), types[v % 4]});
        s.parameters.push_back({kVoice(v, Freq), 0.45f + 0.06f * v});
        s.parameters.push_back({kVoice(v, Res), 0.1f * v});
        s.parameters.push_back({kVoice(v, ModFrqIx), v / 7.0f});
        s.parameters.push_back({kVoice(v, ModFrqAmp), 0.3f});
        s.parameters.push_back({kVoice(v, Feeds), v % 2 == 0 ? 0.8f : 0.25f});
    }
    const float shapes[5] = {1.0f / 6.0f, 2.0f / 6.0f, 3.0f / 6.0f, 4.0f / 6.0f, 5.0f / 6.0f};
    for (int l = 0; l < 8; ++l) {
        s.parameters.push_back({kLfo(l, Shape), shapes[l % 5]});
        s.parameters.push_back({kLfo(l, HostSync), l < 5 ? 1.0f : 0.0f});
        s.parameters.push_back({kLfo(l, LfoFreq), 0.1f + 0.11f * l});
        s.parameters.push_back({kLfo(l, SyncIx), l == 6 ? 0.0f : l / 7.0f}); // LFO 7 restarts on LFO 1
        s.parameters.push_back({kLfo(l, SyncOf), 0.25f});
        s.parameters.push_back({kLfo(l, Smooth), l == 2 ? 0.5f : 0.0f});
    }
    return s;
}

// A long line at 96 kHz with strong feedback, voices panned apart, some switched off.
Scenario LongFeedbackAt96k() {
    Scenario s;
    s.sampleRate = 96000.0;
    s.tempo = 93.0;
    s.parameters = {{0, 0.8f}, {1, 1.0f}, {3, 0.6f}};
    for (int v = 0; v < 8; ++v) {
        s.parameters.push_back({kVoice(v, Pow), v == 3 || v == 6 ? 0.0f : 1.0f});
        s.parameters.push_back({kVoice(v, Delay), 0.05f + 0.11f * v});
        s.parameters.push_back({kVoice(v, ModDelAmp), 0.02f * v});
        s.parameters.push_back({kVoice(v, Pan), v / 7.0f});
        s.parameters.push_back({kVoice(v, Amp), 0.9f});
        s.parameters.push_back({kVoice(v, Feeds), v % 3 == 0 ? 0.02f : 0.97f});
    }
    return s;
}

// A plug-in started as a host starts one, announcing blockSize, with the scenario applied.
hosttest::Started Prepare(const Scenario& scenario, int blockSize) {
    hosttest::Started started = hosttest::Start();
    if (!started.plugin)
        return started;
    testhost::Host& host = *started.host;
    host.SetSampleRate(scenario.sampleRate);
    host.SetTempo(scenario.tempo);
    host.SetPlaying(scenario.playing);
    host.ProvideTimeInfo = scenario.timeInformation;
    testhost::PluginInstance& p = *started.plugin;
    p.Dispatch(effOpen);
    p.Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(scenario.sampleRate));
    p.Dispatch(effSetBlockSize, 0, blockSize);
    p.Dispatch(effMainsChanged, 0, 1);
    for (const auto& [index, value] : scenario.parameters)
        p.SetParameter(index, value);
    return started;
}

// Renders the input in blocks of blockSize frames with the host's song position advancing; the left
// and right outputs are interleaved. The host announces blockSize, or announced when it is given.
// Empty when the plug-in cannot be started.
std::vector<float> Render(const Scenario& scenario, const Stereo& input, int blockSize, int announced = 0) {
    hosttest::Started started = Prepare(scenario, announced > 0 ? announced : blockSize);
    if (!started.plugin)
        return {};
    const int frames = static_cast<int>(input.left.size());
    std::vector<float> inL(blockSize), inR(blockSize), outL(blockSize), outR(blockSize);
    std::vector<float> rendered;
    rendered.reserve(2 * static_cast<std::size_t>(frames));
    for (int start = 0; start < frames; start += blockSize) {
        const int n = frames - start < blockSize ? frames - start : blockSize;
        std::memcpy(inL.data(), input.left.data() + start, n * sizeof(float));
        std::memcpy(inR.data(), input.right.data() + start, n * sizeof(float));
        float* inputs[2] = {inL.data(), inR.data()};
        float* outputs[2] = {outL.data(), outR.data()};
        started.plugin->ProcessReplacing(inputs, outputs, n);
        started.host->Advance(n);
        for (int i = 0; i < n; ++i) {
            rendered.push_back(outL[i]);
            rendered.push_back(outR[i]);
        }
    }
    return rendered;
}

// FNV-1a, 64 bits, over the bit patterns of the samples.
std::uint64_t Hash(const std::vector<float>& samples) {
    std::uint64_t h = 14695981039346656037ull;
    for (float f : samples) {
        std::uint32_t bits;
        std::memcpy(&bits, &f, sizeof bits);
        for (int b = 0; b < 4; ++b) {
            h ^= (bits >> (8 * b)) & 0xFFu;
            h *= 1099511628211ull;
        }
    }
    return h;
}

std::string Hex(std::uint64_t value) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%016llXull", static_cast<unsigned long long>(value));
    return text;
}

// The first interleaved sample index where the two renderings differ in any bit, or -1.
long FirstDifference(const std::vector<float>& a, const std::vector<float>& b) {
    if (a.size() != b.size())
        return 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::memcmp(&a[i], &b[i], sizeof(float)) != 0)
            return static_cast<long>(i);
    return -1;
}

double Energy(const std::vector<float>& samples) {
    double sum = 0.0;
    for (float f : samples)
        sum += static_cast<double>(f) * f;
    return sum;
}

bool AllFinite(const std::vector<float>& samples) {
    for (float f : samples)
        if (!std::isfinite(f))
            return false;
    return true;
}

} // namespace

TEST(Render, BlockSizeDoesNotChangeTheOutput) {
    const Stereo input = TestSignal(44100);
    const Scenario scenarios[2] = {Scenario{}, FiltersAndHostSync()};
    for (const Scenario& scenario : scenarios) {
        const std::vector<float> reference = Render(scenario, input, 4096);
        ASSERT_EQ(reference.size(), 2 * input.left.size());
        EXPECT_GT(Energy(reference), 1.0) << "the scenario makes sound";
        // The last rendering hands the whole input in one call after announcing 512-frame blocks: the
        // plug-in runs it in pieces of its scratch.
        const std::pair<int, int> blockings[] = {{1, 0}, {37, 0}, {512, 0}, {44100, 512}};
        for (const auto& [blockSize, announced] : blockings) {
            const std::vector<float> rendered = Render(scenario, input, blockSize, announced);
            EXPECT_EQ(FirstDifference(rendered, reference), -1L)
                << "blocks of " << blockSize << " frames against blocks of 4096 (first differing "
                << "interleaved sample; -1 means the same bits), " << scenario.parameters.size()
                << " parameters set";
        }
    }
}

// Reference hashes of the rendered bits. They change only when the sound does; after an intended
// change of the engine, take the new values from this test's failure messages (the Linux and the
// Windows builds must then agree on them).
TEST(Render, OutputMatchesTheReferenceHashes) {
    const Stereo input = TestSignal(66150);
    struct Case {
        const char* name;
        Scenario scenario;
        std::uint64_t expected;
    };
    const Case cases[] = {
        {"factory program", Scenario{}, 0x8993F17992476E6Bull},
        {"filters and host sync, playing at 120 bpm", FiltersAndHostSync(), 0xC0C3E547B07F6F74ull},
        {"long line and feedback at 96 kHz", LongFeedbackAt96k(), 0xC6C90F897196463Cull},
    };
    for (const Case& c : cases) {
        const std::vector<float> rendered = Render(c.scenario, input, 512);
        ASSERT_EQ(rendered.size(), 2 * input.left.size());
        EXPECT_TRUE(AllFinite(rendered)) << c.name;
        EXPECT_GT(Energy(rendered), 1.0) << c.name;
        const std::uint64_t hash = Hash(rendered);
        EXPECT_EQ(Hex(hash), Hex(c.expected)) << c.name;
    }
}

// A host that never answers the time-information request still runs the engine at the rate it set
// with its sample-rate call (here 96 kHz, where the line lengths differ from the 44.1 kHz default).
TEST(Render, WithoutTimeInformationTheRateTheHostSetCounts) {
    const Stereo input = TestSignal(20000);
    Scenario silent = LongFeedbackAt96k();
    silent.timeInformation = false;
    const std::vector<float> reference = Render(LongFeedbackAt96k(), input, 512);
    ASSERT_EQ(reference.size(), 2 * input.left.size());
    EXPECT_EQ(FirstDifference(Render(silent, input, 512), reference), -1L);
}

TEST(Render, OutputStaysFiniteWhateverTheHostSends) {
    Stereo input = TestSignal(8192);
    const Scenario loud = FiltersAndHostSync();

    // A host that gives no time information, and one whose sample rate is 0, 10 MHz or nonsense;
    // the plug-in must come back to normal sound at 44.1 kHz afterwards.
    {
        hosttest::Started started = Prepare(loud, 512);
        ASSERT_TRUE(started.plugin != nullptr);
        testhost::Host& host = *started.host;
        testhost::PluginInstance& p = *started.plugin;
        std::vector<float> outL(512), outR(512);
        const double inf = std::numeric_limits<double>::infinity();
        const struct {
            bool timeInfo;
            double sampleRate;
        } steps[] = {{false, 44100.0},     {true, 0.0},   {true, 1e7},  {true, -48000.0}, {true, inf},
                     {true, std::nan("")}, {true, 1e-30}, {false, 0.0}, {true, 8000.0},   {true, 44100.0}};
        for (const auto& step : steps) {
            host.ProvideTimeInfo = step.timeInfo;
            host.SetSampleRate(step.sampleRate);
            double energy = 0.0;
            bool finite = true;
            for (int start = 0; start + 512 <= 8192; start += 512) {
                float* inputs[2] = {input.left.data() + start, input.right.data() + start};
                float* outputs[2] = {outL.data(), outR.data()};
                p.ProcessReplacing(inputs, outputs, 512);
                host.Advance(512);
                for (int i = 0; i < 512; ++i) {
                    finite = finite && std::isfinite(outL[i]) && std::isfinite(outR[i]);
                    energy += static_cast<double>(outL[i]) * outL[i];
                }
            }
            EXPECT_TRUE(finite) << "time information " << step.timeInfo << ", sample rate "
                                << step.sampleRate;
            if (step.sampleRate == 44100.0) {
                EXPECT_GT(energy, 0.1) << "sound at 44.1 kHz, time information " << step.timeInfo;
            }
        }
        EXPECT_GE(host.CountCalls(audioMasterGetTime), 10u * 16u) << "one time query per block";
    }

    // Samples that are not finite numbers, and the largest finite ones, mixed into the input, with
    // both processing calls.
    {
        Stereo poisoned = input;
        const float bad[6] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                              -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::max(),
                              std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::max()};
        for (int i = 100, n = 0; i < 8192; i += 397, ++n) {
            poisoned.left[i] = bad[n % 6];
            poisoned.right[i + 1 < 8192 ? i + 1 : i] = bad[(n + 1) % 6];
        }
        const std::vector<float> rendered = Render(loud, poisoned, 256);
        EXPECT_TRUE(AllFinite(rendered)) << "not-a-number, infinite and huge input samples";
        hosttest::Started started = Prepare(Scenario{}, 1024);
        ASSERT_TRUE(started.plugin != nullptr);
        std::vector<float> outL(1024, 0.0f), outR(1024, 0.0f);
        bool finite = true;
        for (int start = 0; start + 1024 <= 8192; start += 1024) {
            float* inputs[2] = {poisoned.left.data() + start, poisoned.right.data() + start};
            float* outputs[2] = {outL.data(), outR.data()};
            std::fill(outL.begin(), outL.end(), 0.0f);
            std::fill(outR.begin(), outR.end(), 0.0f);
            started.plugin->Process(inputs, outputs, 1024);
            for (int i = 0; i < 1024; ++i)
                finite = finite && std::isfinite(outL[i]) && std::isfinite(outR[i]);
        }
        EXPECT_TRUE(finite) << "the accumulating call with not-a-number, infinite and huge input samples";
    }

    // Random settings of all 181 parameters (the "Random" LFO shape included) at rates from 8 kHz to
    // 384 kHz, the transport starting and stopping, full-scale noise at the input.
    {
        Lcg random{2024u};
        const double rates[] = {8000.0, 22050.0, 44100.0, 96000.0, 192000.0, 384000.0};
        for (int round = 0; round < 12; ++round) {
            const double rate = rates[round % 6];
            hosttest::Started started = Prepare(Scenario{}, 256);
            ASSERT_TRUE(started.plugin != nullptr);
            testhost::Host& host = *started.host;
            testhost::PluginInstance& p = *started.plugin;
            host.SetSampleRate(rate);
            host.SetTempo(40.0 + 200.0 * random.Unit());
            for (int index = 0; index < 181; ++index)
                p.SetParameter(index, random.Unit());
            // Some settings at the very ends of their ranges.
            for (int k = 0; k < 24; ++k)
                p.SetParameter(static_cast<int>(random.Next() % 181), random.Next() % 2 == 0 ? 0.0f : 1.0f);
            std::vector<float> inL(256), inR(256), outL(256), outR(256);
            bool finite = true;
            for (int block = 0; block < 24; ++block) {
                for (int i = 0; i < 256; ++i) {
                    inL[i] = random.Bipolar();
                    inR[i] = random.Bipolar();
                }
                host.SetPlaying(block % 8 < 5);
                if (block == 12)
                    for (int k = 0; k < 20; ++k)
                        p.SetParameter(static_cast<int>(random.Next() % 181), random.Unit());
                float* inputs[2] = {inL.data(), inR.data()};
                float* outputs[2] = {outL.data(), outR.data()};
                p.ProcessReplacing(inputs, outputs, 256);
                host.Advance(256);
                for (int i = 0; i < 256; ++i)
                    finite = finite && std::isfinite(outL[i]) && std::isfinite(outR[i]);
            }
            EXPECT_TRUE(finite) << "round " << round << " at " << rate << " Hz";
        }
    }
}
