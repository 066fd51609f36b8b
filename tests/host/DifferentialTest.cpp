// The shipped plug-in binary, which runs the fast engine, against the reference binary, which runs the
// reference engine in the same frame, through the binary interface: seeded random programs (one in six
// with every voice feeding back at +-0.99 through a filter at the highest resonance) at sample rates from
// 8 to 384 kHz, in blocks of 1, 7, 64, 512 and 4096 frames and of varying sizes, with the host's time
// information absent, stopped, playing and toggling. Over each stretch of one rate, time information and
// block size, the difference from the reference has an RMS at least 100 dB below the output's and a peak
// below 1e-4 of its peak; and every path gives the same bits. The shipped binary is loaded once per
// instruction-set path this machine runs: a module chooses its path once, from VORELAN_ISA, so each path
// gets a copy of the file of its own.

#include "tests/host/lib/Host.h"
#include "tests/host/lib/PluginInstance.h"
#include "tests/host/lib/PluginLibrary.h"
#include "tests/support/Accuracy.h"
#include "tests/support/FrozenClock.h"
#include "tests/support/RandomPrograms.h"

#include <gtest/gtest.h>

#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using testsupport::clockFrozen;

namespace {

using testsupport::DifferenceMeter;
using testsupport::Lcg;
using namespace vst2;

constexpr int kPrograms = 300;
constexpr double kRates[] = {8000.0, 22050.0, 44100.0, 96000.0, 192000.0, 384000.0};
// Block sizes; 0 stands for sizes varying from block to block, 0 frames included.
constexpr int kBlockSizes[] = {1, 7, 64, 512, 4096, 0};
constexpr int kSegmentFrames[] = {256, 343, 1024, 2048, 4096 + 777, 3000};
enum class Time { Absent, Stopped, Playing, Toggling };
constexpr const char* kTimeNames[] = {"absent", "stopped", "playing", "toggling"};

bool MachineRuns(const std::string& isa) {
    __builtin_cpu_init();
    if (isa == "avx2")
        return __builtin_cpu_supports("avx2");
    if (isa == "avx512")
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
               __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512vl");
    return true;
}

// One loaded binary with an effect and its host.
struct Rig {
    Rig(std::string name, std::unique_ptr<testhost::PluginLibrary> library)
        : name(std::move(name)), library(std::move(library)) {}

    std::string name;
    std::unique_ptr<testhost::PluginLibrary> library;
    std::unique_ptr<testhost::Host> host;
    std::unique_ptr<testhost::PluginInstance> effect;
    std::vector<float> outL, outR;
    bool failed = false;   // in the current program
    DifferenceMeter meter; // of the current stretch

    void Start() {
        host = std::make_unique<testhost::Host>();
        clockFrozen = true;
        effect = testhost::PluginInstance::Create(*library, *host);
        clockFrozen = false;
    }
};

std::unique_ptr<testhost::PluginLibrary> Load(const std::string& path) {
    std::string error;
    auto library = testhost::PluginLibrary::Load(path, error);
    if (!library)
        ADD_FAILURE() << error;
    return library;
}

// The rigs: the reference first, then the shipped binary on each path this machine runs.
std::vector<Rig> LoadRigs() {
    std::vector<Rig> rigs;
    rigs.emplace_back("reference", Load(VORELAN_REFERENCE_PLUGIN_PATH));
    const std::filesystem::path copies =
        std::filesystem::temp_directory_path() / ("vorelan-differential-" + std::to_string(::getpid()));
    std::filesystem::create_directories(copies);
    for (const std::string isa : {"sse2", "avx2", "avx512"}) {
        if (!MachineRuns(isa)) {
            std::printf("skipped: the %s path (this machine cannot run it)\n", isa.c_str());
            continue;
        }
        const std::filesystem::path copy = copies / ("VorelanEn2-" + isa + ".so");
        std::filesystem::copy_file(VORELAN_PLUGIN_PATH, copy,
                                   std::filesystem::copy_options::overwrite_existing);
        ::setenv("VORELAN_ISA", isa.c_str(), 1);
        Rig& rig = rigs.emplace_back(isa, Load(copy.string()));
        if (rig.library)
            rig.Start(); // the module chooses its path with its first effect
    }
    ::unsetenv("VORELAN_ISA");
    std::filesystem::remove_all(copies);
    return rigs;
}

// Host input: a sine, noise and silence; a few programs also get samples that are not finite numbers
// and huge ones.
void MakeInput(Lcg& r, std::uint32_t seed, int frames, long position, std::vector<float>& inL,
               std::vector<float>& inR) {
    inL.resize(static_cast<std::size_t>(frames));
    inR.resize(static_cast<std::size_t>(frames));
    for (int i = 0; i < frames; ++i) {
        const long t = position + i;
        const bool quiet = (t / 3000) % 4 == 3;
        const float tone = static_cast<float>(std::sin(0.031 * static_cast<double>(t % 100000)));
        inL[i] = quiet ? 0.0f : 0.6f * tone + 0.3f * (2.0f * r.Unit() - 1.0f);
        inR[i] = quiet ? 0.0f : 0.5f * (2.0f * r.Unit() - 1.0f);
        if (seed % 10 == 3 && r.Chance(0.002f)) {
            const float odd[] = {std::numeric_limits<float>::quiet_NaN(),
                                 std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::max(),
                                 3e20f};
            inL[i] = odd[r.Next() % 4];
        }
    }
}

// The worst stretch seen: its program, where, and its figures.
struct Worst {
    DifferenceMeter meter;
    std::string where;
    bool WorseThan(const DifferenceMeter& m) const {
        return meter.signal == 0.0 || m.RmsDb() > meter.RmsDb() ||
               (m.RmsDb() == meter.RmsDb() && m.PeakRatio() > meter.PeakRatio());
    }
};

TEST(Differential, ShippedBinaryComesWithinTheBoundOfTheReferenceOnEveryPath) {
    std::vector<Rig> rigs = LoadRigs();
    ASSERT_GE(rigs.size(), 2u) << "the reference and at least the SSE2 path";
    for (Rig& rig : rigs)
        ASSERT_TRUE(rig.library != nullptr) << rig.name;

    long failures = 0;
    Worst worst, worstPeak;
    for (std::uint32_t seed = 0; seed < kPrograms; ++seed) {
        const bool extreme = seed % 6 == 5;
        for (Rig& rig : rigs) {
            rig.Start();
            rig.failed = false;
            rig.effect->Dispatch(effOpen);
            rig.effect->Dispatch(effSetBlockSize, 0, 4096);
            rig.effect->Dispatch(effMainsChanged, 0, 1);
            for (const auto& [index, value] : testsupport::RandomProgram(seed, extreme))
                rig.effect->SetParameter(index, value);
        }
        Lcg r{seed * 7919u + 17u};
        long position = 0;
        for (int mode = 0; mode < 4; ++mode) {
            const double rate = kRates[(seed + static_cast<std::uint32_t>(mode)) % 6];
            const double tempo = r.Chance(0.1f) ? 0.0 : 40.0 + 200.0 * r.Unit();
            bool playing = mode == static_cast<int>(Time::Playing);
            for (Rig& rig : rigs) {
                rig.host->ProvideTimeInfo = mode != static_cast<int>(Time::Absent);
                rig.host->SetSampleRate(rate);
                rig.host->SetTempo(tempo);
                rig.host->SetPlaying(playing);
                rig.effect->Dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
            }
            // A few parameters change between the parts of a rendering, as automation would.
            if (mode > 0)
                for (int k = 0; k < 4; ++k) {
                    const int index = static_cast<int>(r.Next() % 181);
                    const float value = r.Edgy();
                    for (Rig& rig : rigs)
                        rig.effect->SetParameter(index, value);
                }
            for (int pattern = 0; pattern < 6; ++pattern) {
                const std::string blocks = kBlockSizes[pattern] != 0 ? std::to_string(kBlockSizes[pattern])
                                                                     : std::string("varying size");
                for (Rig& rig : rigs)
                    rig.meter = DifferenceMeter{};
                for (int done = 0; done < kSegmentFrames[pattern];) {
                    const int size =
                        kBlockSizes[pattern] != 0 ? kBlockSizes[pattern] : static_cast<int>(r.Next() % 900);
                    const int frames = std::min(size, kSegmentFrames[pattern] - done);
                    if (mode == static_cast<int>(Time::Toggling))
                        playing = !playing;
                    std::vector<float> inL, inR;
                    MakeInput(r, seed, frames, position, inL, inR);
                    for (Rig& rig : rigs) {
                        rig.host->SetPlaying(playing);
                        rig.outL.assign(static_cast<std::size_t>(frames), 0.0f);
                        rig.outR.assign(static_cast<std::size_t>(frames), 0.0f);
                        float* in[2] = {inL.data(), inR.data()};
                        float* out[2] = {rig.outL.data(), rig.outR.data()};
                        rig.effect->ProcessReplacing(in, out, frames);
                        rig.host->Advance(frames);
                    }
                    const Rig& reference = rigs[0];
                    for (std::size_t k = 1; k < rigs.size(); ++k) {
                        Rig& rig = rigs[k];
                        for (int i = 0; i < frames; ++i) {
                            rig.meter.Add(reference.outL[i], rig.outL[i]);
                            rig.meter.Add(reference.outR[i], rig.outR[i]);
                        }
                        // Every path gives the bits of the first.
                        const Rig& first = rigs[1];
                        for (int i = 0; i < frames && k > 1 && !rig.failed; ++i) {
                            if (std::bit_cast<std::uint32_t>(rig.outL[i]) ==
                                    std::bit_cast<std::uint32_t>(first.outL[i]) &&
                                std::bit_cast<std::uint32_t>(rig.outR[i]) ==
                                    std::bit_cast<std::uint32_t>(first.outR[i]))
                                continue;
                            rig.failed = true;
                            ++failures;
                            ADD_FAILURE() << "program seed " << seed << ", " << rig.name << " path: frame "
                                          << position + i << " differs from the " << first.name << " path's ("
                                          << rate << " Hz, blocks of " << blocks << ")";
                        }
                    }
                    done += frames;
                    position += frames;
                }
                const std::string where = "program seed " + std::to_string(seed) +
                                          (extreme ? " (extreme)" : "") + ", " +
                                          std::to_string(static_cast<int>(rate)) + " Hz, blocks of " +
                                          blocks + ", time information " + kTimeNames[mode];
                for (std::size_t k = 1; k < rigs.size(); ++k) {
                    Rig& rig = rigs[k];
                    if (worst.WorseThan(rig.meter))
                        worst = {rig.meter, where};
                    if (worstPeak.meter.signal == 0.0 || rig.meter.PeakRatio() > worstPeak.meter.PeakRatio())
                        worstPeak = {rig.meter, where};
                    if (rig.meter.WithinBound() || rig.failed)
                        continue;
                    rig.failed = true;
                    ++failures;
                    ADD_FAILURE() << where << ", " << rig.name << " path: difference " << rig.meter.RmsDb()
                                  << " dB RMS, peak " << rig.meter.PeakRatio() << " of the output's";
                }
            }
        }
    }
    std::printf("%d programs compared on %zu paths; %ld failed\n", kPrograms, rigs.size() - 1, failures);
    std::printf("largest RMS: %.1f dB (peak %.2g) at %s\n", worst.meter.RmsDb(), worst.meter.PeakRatio(),
                worst.where.c_str());
    std::printf("largest peak: %.2g (RMS %.1f dB) at %s\n", worstPeak.meter.PeakRatio(),
                worstPeak.meter.RmsDb(), worstPeak.where.c_str());
}

} // namespace
