#pragma once

// An editor side for tests of a plug-in format without the editor form: it serves its requests through
// the effect's link in the form's order, a preset load with the preset it holds (none: the load finds
// nothing to apply, like a rejected file).

#include "editor/EditorExchange.h"
#include "editor/EffectLink.h"
#include "engine/EffectCore.h"

#include <optional>
#include <string>
#include <utility>

namespace testsupport {

struct TestEditor : editor::EditorExchange {
    explicit TestEditor(editor::EffectLink& link) : effect(link) {}

    editor::EffectLink& effect;
    std::optional<editor::PresetValues> preset;
    std::string requested; // the name the last preset load asked for

    void ServeRequests() override {
        if (std::exchange(PresetLoadRequest, false)) {
            requested = PendingPreset;
            if (preset) {
                effect.SetProgramName(preset->Name);
                effect.FillDelayLines(engine::EffectCore::kPresetFillValue);
                for (int i = 0; i < engine::kParameterCount; ++i)
                    effect.WriteParameter(i, preset->Values[static_cast<std::size_t>(i)]);
                effect.ProgramChanged();
            }
        }
        if (std::exchange(PanicRequest, false))
            effect.FillDelayLines(engine::EffectCore::kPanicFillValue);
    }
};

} // namespace testsupport
