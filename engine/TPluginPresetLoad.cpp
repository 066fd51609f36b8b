// The preset reader: loads a preset file of the preset folder into the plug-in.
#include "engine/TPlugin.h"

#include "platform/MessageBox.h"
#include "presets/FxpFile.h"
#include "presets/PresetFolder.h"

namespace engine {

namespace {

// After a load both delay lines hold this tiny constant (the float nearest 1e-4) instead of the old
// material, so the new program starts from a clean line.
constexpr float kPresetFillValue = 0.0001f;

} // namespace

void TPlugin::LoadPresetFile() {
    // A request that arrives while the rejection message runs its message loop is dropped.
    if (PresetLoadBusy != 0)
        return;

    // The file is read and checked whole before anything changes: a file that is missing, unreadable,
    // too short or of another effect leaves the program, the engine and the delay lines as they were.
    const std::string path = presets::PresetFilePath(PresetName);
    const presets::FxpReadResult preset = presets::ReadFxpFile(path);
    if (!preset.ok()) {
        PresetLoadBusy = 1;
        const std::string shown = path.empty() ? PresetName + std::string(presets::kFileExtension) : path;
        platform::ShowMessageBox(std::string(presets::kMessageCaption),
                                 presets::FxpStatusMessage(preset, shown));
        PresetLoadBusy = 0;
        return;
    }

    std::string name = preset.program.name;
    setProgramName(name.data());
    // Carried out by the audio thread at the start of its next block, so no block hears a half-filled
    // line; the parameter values below are in place by then.
    RequestDelayFill(kPresetFillValue);
    for (int i = 0; i < presets::kParameterCount; ++i)
        setParameter(i, preset.program.values[static_cast<std::size_t>(i)]);
}

} // namespace engine
