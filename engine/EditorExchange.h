#pragma once

#include "engine/ParameterTable.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace engine {

// A preset ready for the effect to apply: the name from its file and the 181 values as stored there,
// not yet clamped (setParameter clamps them).
struct PresetValues {
    std::string Name;
    std::array<float, kParameterCount> Values{};
};

// The fields through which the editor form and the engine meet on the user-interface thread. The engine
// fills the first three on every editor idle; the form leaves the two requests, which the next editor
// idle serves (work that must not run inside an editor event). The editor form derives from this.
struct EditorExchange {
    virtual ~EditorExchange() = default;

    std::array<std::uint8_t, 8> LfoLevels{}; // LFO outputs 0..255 for the activity lights
    float SampleRate = 0;                    // host sample rate in Hz
    float Tempo = 0;                         // host tempo in beats per minute
    bool PresetLoadRequest = false;          // load the preset named by PendingPreset
    std::string PendingPreset;
    bool PanicRequest = false; // clear both delay lines

    // Reads and checks the preset named name for the effect. Files belong to the editor's side: it finds
    // the file, and tells the user about one that cannot be used and answers nothing, in which case the
    // effect changes nothing. Without an editor there is nothing to read.
    virtual std::optional<PresetValues> ReadPreset(const std::string& name) {
        (void)name;
        return std::nullopt;
    }
};

} // namespace engine
