#pragma once

#include "engine/EffectCore.h"
#include "lv2/Lv2Contract.h"
#include "lv2/Lv2Messages.h"
#include "lv2/Lv2ProgramName.h"

#include <lv2/atom/forge.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>

#include <array>
#include <cstdint>
#include <optional>

namespace lv2 {

// The LV2 processor: the effect core (engine::EffectCore) behind the ports of the contract.
//   - Parameter ports carry the same 0..1 values as the VST 2 parameters. At the start of each run the
//     ports whose value changed since the last run are stored in the core (all of them at the first run),
//     so each change is converted once, at the next block.
//   - The sample rate is the one given at instantiation. The host's time:Position events on `control`
//     give tempo and transport; a run is split at each event, so a change lands at its frame as a VST 2
//     host's block boundary would place it. A field an event leaves out keeps its last value.
//   - Messages from the interface on `control`: Panic fills the delay lines with silence, PresetLoaded
//     renames the program and fills them as after a preset load, ProgramName renames it.
//   - `notify` carries EditorState (LFO outputs, sample rate, tempo) about 25 times a second.
//   - The program name is the state beyond the ports (state:interface).
// Without urid:map there are no atoms: the effect plays with its tempo unknown and transport stopped.
// Any block length runs, in place or not, with or without the block-length options; run() allocates,
// locks and waits for nothing and runs inside the floating-point guard of the VST 2 entry points.
class Lv2Processor {
public:
    static constexpr double kNotifyRate = 25.0; // EditorState messages per second of audio

    Lv2Processor(double sampleRate, const LV2_Feature* const* features);

    void ConnectPort(std::uint32_t port, void* data) noexcept;
    void Activate() noexcept;
    void Deactivate() noexcept;
    void Run(std::uint32_t frames) noexcept;
    LV2_State_Status Save(LV2_State_Store_Function store, LV2_State_Handle handle) noexcept;
    LV2_State_Status Restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle) noexcept;

    engine::EffectCore& Core() noexcept { return core_; }
    Lv2ProgramName::Text ProgramName() const noexcept { return programName_.Get(); }

private:
    void storeChangedPorts() noexcept;
    void runUntil(std::uint32_t& done, std::uint32_t until) noexcept;
    void takeEvent(const LV2_Atom* body) noexcept;
    void startNotify() noexcept;
    void finishNotify(std::uint32_t frames) noexcept;

    engine::EffectCore core_;
    engine::HostTime time_;
    Lv2ProgramName programName_;
    std::optional<Urids> urids_;
    LV2_Atom_Forge forge_{};
    bool notifying_ = false;
    LV2_Atom_Forge_Frame notifyFrame_{};
    double notifyInterval_ = 0; // frames between EditorState messages
    double notifyDue_ = 0;      // frames until the next one

    const float* inL_ = nullptr;
    const float* inR_ = nullptr;
    float* outL_ = nullptr;
    float* outR_ = nullptr;
    const LV2_Atom_Sequence* control_ = nullptr;
    LV2_Atom_Sequence* notify_ = nullptr;
    std::array<const float*, engine::kParameterCount> ports_{};
    // The bits of each port's value when it was last stored.
    std::array<std::uint32_t, engine::kParameterCount> stored_{};
    bool storeAll_ = true;
    bool deactivated_ = false;
};

} // namespace lv2
