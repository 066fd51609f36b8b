#pragma once

#include "engine/ParameterTable.h"
#include "host/Rounding.h"

#include <array>
#include <cstdint>
#include <string>

namespace editor {

// A preset ready to apply: the name from its file and the 181 values as stored there, not yet clamped.
struct PresetValues {
    std::string Name;
    std::array<float, engine::kParameterCount> Values{};
};

// The fields through which a plug-in format and the editor form meet on the user-interface thread, and
// the form's side of the deferred work. The format fills the first three on every editor idle
// (ShowEffectState); the form leaves the two requests, which ServeRequests carries out at the next
// editor idle (work that must not run inside an editor event). The editor form implements it.
// Header-only, so a format uses it without linking the editor.
class EditorExchange {
public:
    virtual ~EditorExchange() = default;

    std::array<std::uint8_t, engine::kLfoCount> LfoLevels{}; // LFO outputs 0..255 for the activity lights
    float SampleRate = 0;                                    // host sample rate in Hz
    float Tempo = 0;                                         // host tempo in beats per minute
    bool PresetLoadRequest = false;                          // load the preset named by PendingPreset
    std::string PendingPreset;
    bool PanicRequest = false; // clear both delay lines

    // The effect's state for the display: each LFO output (0..1) as a light level, round(255 x) with
    // halves to even, then the sample rate and tempo.
    void ShowEffectState(const std::array<float, engine::kLfoCount>& lfoOut, float sampleRate, float tempo) {
        for (std::size_t k = 0; k < LfoLevels.size(); ++k) {
            // The product is exact in double and rounded once.
            const int level = host::RoundEvenDouble(static_cast<double>(lfoOut[k]) * 255.0);
            LfoLevels[k] = static_cast<std::uint8_t>(level < 0 ? 0 : level > 255 ? 255 : level);
        }
        SampleRate = sampleRate;
        Tempo = tempo;
    }

    // Serves the requests the form left, in this order: a preset load (the form reads the file and
    // applies it through its link), then a panic.
    virtual void ServeRequests() = 0;
};

} // namespace editor
