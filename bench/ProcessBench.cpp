// Cost of the whole processing call, as a host sees it: the record's processReplacing (and the
// accumulating process) on an effect created in-process with a minimal host callback, with the reference
// frame engine and with the fast one on each instruction set.
//
// Programs: the factory program, and a worst case with every voice on, filtered with an LFO-modulated
// cut-off and every destination modulated, and all eight LFOs running with smoothing. Counters:
// ns_per_frame (CPU time per stereo frame) and realtime_factor (seconds of audio per CPU second). After
// the runs a table sets each fast path against the reference engine.
#include "engine/ParameterTable.h"
#include "engine/fast/FastEngine.h"
#include "engine/reference/ReferenceEngine.h"
#include "plugin/TPlugin.h"
#include "vst2/Vst2.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace {

using engine::LfoKind;
using engine::LfoParameterIndex;
using engine::VoiceKind;
using engine::VoiceParameterIndex;

vst2::VstTimeInfo timeInfo{};

vst2::VstIntPtr hostCallback(vst2::AEffect*, vst2::VstInt32 opcode, vst2::VstInt32, vst2::VstIntPtr, void*,
                             float) {
    switch (opcode) {
    case vst2::audioMasterVersion:
        return 2400;
    case vst2::audioMasterGetTime:
        return reinterpret_cast<vst2::VstIntPtr>(&timeInfo);
    default:
        return 0;
    }
}

enum class Program { Factory, WorstCase };
enum class Entry { Replacing, Accumulating };
// The frame engine: the reference, or the fast one on an instruction set.
enum class Frames { Reference, Sse2, Avx2, Avx512 };
constexpr const char* kFramesNames[] = {"reference", "sse2", "avx2", "avx512"};

std::unique_ptr<engine::AudioEngine> MakeFrames(Frames frames) {
    if (frames == Frames::Reference)
        return std::make_unique<engine::ReferenceEngine>();
    return engine::CreateFastEngine(static_cast<engine::Isa>(static_cast<int>(frames) - 1));
}

void setWorstCase(vst2::AEffect* effect) {
    auto set = [effect](int index, float value) { effect->setParameter(effect, index, value); };
    for (int v = 0; v < engine::kVoiceCount; ++v) {
        const float lfo = static_cast<float>((v + 1) % engine::kLfoCount) / 7.0f;
        set(VoiceParameterIndex(v, VoiceKind::Pow), 1.0f);
        set(VoiceParameterIndex(v, VoiceKind::Delay), 0.1f + 0.1f * v);
        set(VoiceParameterIndex(v, VoiceKind::ModDelIx), lfo);
        set(VoiceParameterIndex(v, VoiceKind::ModDelAmp), 0.3f);
        set(VoiceParameterIndex(v, VoiceKind::Pan), v / 7.0f);
        set(VoiceParameterIndex(v, VoiceKind::ModPanIx), lfo);
        set(VoiceParameterIndex(v, VoiceKind::ModPanAmp), 0.5f);
        // Low-, band- and high-pass in turn.
        set(VoiceParameterIndex(v, VoiceKind::FType), 0.33f + 0.33f * static_cast<float>(v % 3));
        set(VoiceParameterIndex(v, VoiceKind::Freq), 0.7f);
        set(VoiceParameterIndex(v, VoiceKind::ModFrqIx), static_cast<float>(v) / 7.0f);
        set(VoiceParameterIndex(v, VoiceKind::ModFrqAmp), 0.8f);
        set(VoiceParameterIndex(v, VoiceKind::Res), 0.6f);
        set(VoiceParameterIndex(v, VoiceKind::Amp), 0.8f);
        set(VoiceParameterIndex(v, VoiceKind::ModAmpIx), lfo);
        set(VoiceParameterIndex(v, VoiceKind::ModAmpAmp), 0.4f);
        set(VoiceParameterIndex(v, VoiceKind::Feeds), v % 2 ? 0.3f : 0.7f);
    }
    for (int l = 0; l < engine::kLfoCount; ++l) {
        // Shapes 1..6 and again 1, 2: every waveform, each one smoothed.
        set(LfoParameterIndex(l, LfoKind::Shape), static_cast<float>(l % 6 + 1) / 6.0f);
        set(LfoParameterIndex(l, LfoKind::HostSync), l % 2 ? 1.0f : 0.0f);
        set(LfoParameterIndex(l, LfoKind::LfoFreq), 0.05f + 0.08f * l);
        set(LfoParameterIndex(l, LfoKind::SyncIx), static_cast<float>(l) / 7.0f);
        set(LfoParameterIndex(l, LfoKind::SyncOf), 0.5f);
        set(LfoParameterIndex(l, LfoKind::Smooth), 0.5f);
    }
}

// An effect created in-process with the minimal host, the program set, the delay lines filled and the
// feedback brought up by one second of warm-up.
struct Rig {
    std::unique_ptr<plugin::TPlugin> plugin;
    vst2::AEffect* effect = nullptr;
    vst2::AEffectProcessProc process = nullptr;
    std::vector<float> inL, inR, outL, outR;
    float* inputs[2] = {};
    float* outputs[2] = {};
    vst2::VstInt32 frames = 0;

    Rig(Program program, Frames engineKind, Entry entry, double sampleRate, vst2::VstInt32 blockFrames)
        : frames(blockFrames) {
        timeInfo = vst2::VstTimeInfo{};
        timeInfo.sampleRate = sampleRate;
        timeInfo.tempo = 120.0;
        timeInfo.flags = vst2::kVstTempoValid | vst2::kVstTransportPlaying;

        plugin = std::make_unique<plugin::TPlugin>(&hostCallback, nullptr, MakeFrames(engineKind));
        effect = plugin->getAeffect();
        effect->dispatcher(effect, vst2::effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
        effect->dispatcher(effect, vst2::effSetBlockSize, 0, frames, nullptr, 0.0f);
        effect->dispatcher(effect, vst2::effMainsChanged, 0, 1, nullptr, 0.0f);
        if (program == Program::WorstCase)
            setWorstCase(effect);
        process = entry == Entry::Replacing && effect->processReplacing ? effect->processReplacing
                                                                        : effect->process;

        // A deterministic noise-like stereo input.
        const auto size = static_cast<std::size_t>(frames);
        inL.resize(size);
        inR.resize(size);
        outL.resize(size);
        outR.resize(size);
        std::uint32_t seed = 1;
        for (std::size_t i = 0; i < size; ++i) {
            seed = seed * 1664525u + 1013904223u;
            inL[i] = static_cast<float>(seed >> 8) / 16777216.0f - 0.5f;
            inR[i] = -inL[i] * 0.5f;
        }
        inputs[0] = inL.data();
        inputs[1] = inR.data();
        outputs[0] = outL.data();
        outputs[1] = outR.data();

        // One second of warm-up fills the delay lines and brings the feedback up.
        for (double done = 0; done < sampleRate; done += frames)
            Process();
    }
    ~Rig() { effect->dispatcher(effect, vst2::effMainsChanged, 0, 0, nullptr, 0.0f); }
    void Process() { process(effect, inputs, outputs, frames); }
};

bool PathRuns(Frames engineKind) {
    return engineKind == Frames::Reference ||
           engine::IsaAvailable(static_cast<engine::Isa>(static_cast<int>(engineKind) - 1));
}

// Arguments: program, frame engine, entry point, sample rate in Hz, block size in frames.
void BM_Process(benchmark::State& state) {
    const auto program = static_cast<Program>(state.range(0));
    const auto engineKind = static_cast<Frames>(state.range(1));
    const auto entry = static_cast<Entry>(state.range(2));
    const double sampleRate = static_cast<double>(state.range(3));
    const auto frames = static_cast<vst2::VstInt32>(state.range(4));
    if (!PathRuns(engineKind)) {
        state.SkipWithError("this machine cannot run the path");
        for (auto _ : state) {
        }
        return;
    }
    Rig rig(program, engineKind, entry, sampleRate, frames);
    std::vector<float>& outL = rig.outL;
    std::vector<float>& outR = rig.outR;

    for (auto _ : state) {
        if (entry == Entry::Accumulating) {
            // A host clears its mix buffers before the accumulating call.
            std::fill(outL.begin(), outL.end(), 0.0f);
            std::fill(outR.begin(), outR.end(), 0.0f);
        }
        rig.Process();
        benchmark::DoNotOptimize(outL.data());
        benchmark::DoNotOptimize(outR.data());
        benchmark::ClobberMemory();
    }

    state.counters["ns_per_frame"] = benchmark::Counter(
        frames * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["realtime_factor"] =
        benchmark::Counter(frames / sampleRate, benchmark::Counter::kIsIterationInvariantRate);
    state.SetItemsProcessed(state.iterations() * frames);
    state.SetLabel(std::string(program == Program::Factory ? "factory" : "worst case") + ", " +
                   kFramesNames[static_cast<int>(engineKind)] +
                   (entry == Entry::Replacing ? ", processReplacing" : ", process"));
}

void processArguments(benchmark::internal::Benchmark* b) {
    b->ArgNames({"program", "engine", "accumulating", "rate", "frames"});
    for (int program : {0, 1})
        for (int rate : {44100, 96000})
            for (int frames : {64, 512})
                for (int engineKind : {0, 1, 2, 3})
                    b->Args({program, engineKind, 0, rate, frames});
    // The accumulating entry point adds one pass over the output.
    b->Args({0, 2, 1, 44100, 512});
    b->Args({1, 2, 1, 44100, 512});
}
BENCHMARK(BM_Process)->Apply(processArguments);

// The console output, followed by a table of each fast path against the reference engine: ns per frame
// (the median when the runs are repeated), real-time factor and speed-up.
class SpeedUpReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median"))
                continue;
            int program = 0, engineKind = 0, accumulating = 0, rate = 0, frames = 0;
            if (std::sscanf(run.run_name.args.c_str(),
                            "program:%d/engine:%d/accumulating:%d/rate:%d/frames:%d", &program, &engineKind,
                            &accumulating, &rate, &frames) != 5 ||
                accumulating != 0)
                continue;
            const auto counter = run.counters.find("ns_per_frame");
            if (counter != run.counters.end())
                nsPerFrame_[{program, rate, frames}][engineKind] = counter->second.value;
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\n%-10s %-9s %-6s %-9s %12s %14s %10s\n", "program", "rate", "block", "engine",
                    "ns/frame", "real-time x", "speed-up");
        for (const auto& [key, engines] : nsPerFrame_) {
            const auto [program, rate, frames] = key;
            const auto reference = engines.find(0);
            for (const auto& [engineKind, ns] : engines) {
                const double speedUp = reference != engines.end() ? reference->second / ns : 0.0;
                std::printf("%-10s %-9d %-6d %-9s %12.1f %14.1f %10.2f\n", program == 0 ? "factory" : "worst",
                            rate, frames, kFramesNames[engineKind], ns, 1e9 / (ns * rate), speedUp);
            }
        }
    }

private:
    std::map<std::tuple<int, int, int>, std::map<int, double>> nsPerFrame_;
};

} // namespace

// The blocks whose instructions bench/performance counts with callgrind (--toggle-collect on this name).
__attribute__((noinline)) void CountedBlocks(Rig& rig, int blocks) {
    for (int b = 0; b < blocks; ++b)
        rig.Process();
    benchmark::DoNotOptimize(rig.outL.data());
}

// --count=PROGRAM:ENGINE[:FRAMES] (0 factory, 1 worst case; 0 reference, 1 SSE2, 2 AVX2, 3 AVX-512;
// blocks of FRAMES, 512 unless given): after the warm-up, renders about one second at 44.1 kHz in
// CountedBlocks and prints the frames.
int Count(const char* what) {
    int program = 0, engineKind = 0, frames = 512;
    const int fields = std::sscanf(what, "%d:%d:%d", &program, &engineKind, &frames);
    if (fields < 2 || program < 0 || program > 1 || engineKind < 0 || engineKind > 3 || frames < 1 ||
        frames > 4096) {
        std::fprintf(stderr,
                     "--count=PROGRAM:ENGINE[:FRAMES], program 0 or 1, engine 0 to 3, frames 1 to 4096\n");
        return 2;
    }
    if (!PathRuns(static_cast<Frames>(engineKind))) {
        std::printf("frames 0 (this machine cannot run the path)\n");
        return 0;
    }
    const int blocks = (44032 + frames - 1) / frames;
    Rig rig(static_cast<Program>(program), static_cast<Frames>(engineKind), Entry::Replacing, 44100.0,
            frames);
    CountedBlocks(rig, blocks);
    std::printf("frames %d\n", blocks * frames);
    return 0;
}

int main(int argc, char** argv) {
    if (argc == 2 && std::strncmp(argv[1], "--count=", 8) == 0)
        return Count(argv[1] + 8);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    SpeedUpReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
