// The preset load: the effect's side of it. Reading and checking the file, and telling the user about
// one that cannot be used, are the editor's (EditorExchange::ReadPreset).
#include "engine/TPlugin.h"

namespace engine {

namespace {

// After a load both delay lines hold this tiny constant (the float nearest 1e-4) instead of the old
// material, so the new program starts from a clean line.
constexpr float kPresetFillValue = 0.0001f;

} // namespace

void TPlugin::ServePresetLoad(EditorExchange& editor) {
    PresetName = editor.PendingPreset;
    // A request that arrives while the editor tells the user about a file it rejected (a message box runs
    // its own message loop, which may deliver another editor idle) is dropped.
    if (PresetLoadBusy != 0)
        return;
    PresetLoadBusy = 1;
    std::optional<PresetValues> preset;
    try {
        preset = editor.ReadPreset(PresetName);
    } catch (...) {
        // Nothing usable was read; the host's idle call goes on.
    }
    PresetLoadBusy = 0;
    if (preset)
        LoadPresetFile(*preset);
}

void TPlugin::LoadPresetFile(const PresetValues& preset) {
    std::string name = preset.Name;
    setProgramName(name.data());
    // Heard from the audio thread's next block on, which rewrites the lines over the following blocks;
    // the parameter values below are in place by then.
    RequestDelayFill(kPresetFillValue);
    for (int i = 0; i < kParameterCount; ++i)
        setParameter(i, preset.Values[static_cast<std::size_t>(i)]);
}

} // namespace engine
