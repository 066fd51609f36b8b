#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace engine {

// The fields through which the editor form and the engine meet on the user-interface thread. The engine
// fills the first three on every editor idle; the form leaves the two requests, which the next editor
// idle serves (work that must not run inside an editor event). The editor form derives from this.
struct EditorExchange {
    virtual ~EditorExchange() = default;

    std::array<std::uint8_t, 8> LfoLevels{}; // LFO outputs 0..255 for the activity lights
    float SampleRate = 0;                    // host sample rate in Hz
    float Tempo = 0;                         // host tempo in beats per minute
    bool PresetLoadRequest = false;          // load the preset file named by PendingPreset
    std::string PendingPreset;
    bool PanicRequest = false; // clear both delay lines
};

} // namespace engine
