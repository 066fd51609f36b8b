// The shipped preset library through the built plug-in binary, as a host loads and plays it.
#include "tools/vorelan/PresetLibrary.h"
#include "presets/FxpFile.h"
#include "tools/vorelan/CodePage.h"
#include "tools/vorelan/Commands.h"
#include "tools/vorelan/PluginHost.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

namespace {

double meanSquare(const std::vector<float>& samples, std::size_t from) {
    double sum = 0;
    for (std::size_t i = from; i < samples.size(); ++i)
        sum += static_cast<double>(samples[i]) * samples[i];
    return sum / static_cast<double>(samples.size() - from);
}

TEST(PresetLibraryTest, EveryPresetLoadsPlaysSafelyAndSoundsItsOwnWay) {
    const std::vector<vorelan::PresetEntry> library = vorelan::ListPresetFolder(VORELAN_PRESET_LIBRARY_DIR);
    ASSERT_GE(library.size(), 24u) << "the library in " << VORELAN_PRESET_LIBRARY_DIR;

    // A -12 dBFS sine sweep from 40 Hz to 12 kHz over three seconds, then a second of silence: it
    // crosses every filter's resonance and every comb.
    const double rate = 44100, seconds = 3, low = 40, high = 12000, peak = std::pow(10.0, -12.0 / 20);
    vorelan::StereoSignal sweep;
    for (int i = 0; i < static_cast<int>(rate * (seconds + 1)); ++i) {
        const double t = i / rate, k = std::log(high / low);
        const double x =
            t < seconds ? peak * std::sin(2 * M_PI * low * seconds / k * (std::exp(t / seconds * k) - 1)) : 0;
        sweep.left.push_back(static_cast<float>(x));
    }
    sweep.right = sweep.left;

    // Pink noise at -12 dBFS RMS (white noise from a fixed generator through a sum of one-pole
    // low-passes, which falls by 3 dB per octave across the audio band), the same on both channels,
    // eight seconds, so slow LFOs go through whole cycles.
    vorelan::StereoSignal noise;
    {
        std::uint32_t state = 22222;
        double b[6] = {};
        for (int i = 0; i < static_cast<int>(rate * 8); ++i) {
            state = state * 1664525u + 1013904223u;
            const double white = static_cast<double>(state) / 2147483648.0 - 1.0;
            const double poles[6][2] = {{0.99886, 0.0555179}, {0.99332, 0.0750759}, {0.96900, 0.1538520},
                                        {0.86650, 0.3104856}, {0.55000, 0.5329522}, {-0.7616, -0.0168980}};
            double pink = white * 0.5362;
            for (int k = 0; k < 6; ++k)
                pink += b[k] = poles[k][0] * b[k] + poles[k][1] * white;
            noise.left.push_back(static_cast<float>(pink));
        }
        const double scale = std::pow(10.0, -12.0 / 20) / std::sqrt(meanSquare(noise.left, 0));
        for (float& x : noise.left)
            x = static_cast<float>(x * scale);
        noise.right = noise.left;
    }

    std::vector<vorelan::StereoSignal> renders;
    for (const vorelan::PresetEntry& preset : library) {
        const presets::FxpReadResult file = presets::ReadFxpFile(preset.path);
        ASSERT_TRUE(file.ok()) << preset.path;
        EXPECT_EQ(vorelan::CodePageToUtf8(file.program.name), preset.name)
            << "a preset is named after its file";

        vorelan::PluginHost host(VORELAN_PLUGIN_PATH);
        host.SetSampleRate(rate);
        host.Start();
        vorelan::ApplyPresetFile(host, preset.path);
        EXPECT_EQ(vorelan::CodePageToUtf8(host.ProgramName()), preset.name);
        renders.push_back(host.Render(sweep, nullptr));
        float loudest = 0;
        bool finite = true;
        for (const std::vector<float>* channel : {&renders.back().left, &renders.back().right})
            for (const float s : *channel) {
                finite = finite && std::isfinite(s);
                loudest = std::max(loudest, std::fabs(s));
            }
        EXPECT_TRUE(finite) << preset.name;
        EXPECT_LE(loudest, 1.0f) << preset.name << " goes over full scale on a -12 dBFS sweep";
        EXPECT_GT(loudest, 0.01f) << preset.name << " is nearly silent";

        // Switching presets changes the sound, not its loudness: within 2 dB of the dry input (the first
        // second, while the delay lines fill, is left out).
        vorelan::PluginHost fresh(VORELAN_PLUGIN_PATH);
        fresh.SetSampleRate(rate);
        fresh.Start();
        vorelan::ApplyPresetFile(fresh, preset.path);
        const vorelan::StereoSignal wet = fresh.Render(noise, nullptr);
        const auto from = static_cast<std::size_t>(rate);
        const double gain = 10 * std::log10((meanSquare(wet.left, from) + meanSquare(wet.right, from)) /
                                            (2 * meanSquare(noise.left, from)));
        EXPECT_LE(std::fabs(gain), 2.0) << preset.name << " is " << gain << " dB against the dry input";
    }

    // No two presets sound alike: their renders differ by more than 1 % of their level.
    const auto energy = [](const vorelan::StereoSignal& s, const vorelan::StereoSignal* minus) {
        double sum = 0;
        for (std::size_t i = 0; i < s.frames(); ++i) {
            const double l = s.left[i] - (minus ? minus->left[i] : 0),
                         r = s.right[i] - (minus ? minus->right[i] : 0);
            sum += l * l + r * r;
        }
        return sum;
    };
    for (std::size_t a = 0; a < renders.size(); ++a)
        for (std::size_t b = a + 1; b < renders.size(); ++b)
            EXPECT_GT(energy(renders[a], &renders[b]),
                      1e-4 * std::max(energy(renders[a], nullptr), energy(renders[b], nullptr)))
                << library[a].name << " and " << library[b].name << " render alike";
}

} // namespace
