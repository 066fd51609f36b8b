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
