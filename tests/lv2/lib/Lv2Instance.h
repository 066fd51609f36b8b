#pragma once

#include "tests/lv2/lib/Lv2World.h"

#include <lv2/atom/atom.h>
#include <lv2/options/options.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace lv2host {

// What the host offers at instantiation. A block length of 0 leaves that option out.
struct InstanceOptions {
    std::int32_t maxBlockLength = 4096;
    std::int32_t nominalBlockLength = 512;
    bool giveMap = true;                // urid:map and urid:unmap
    bool connectAtomPorts = true;       // false leaves every atom port unconnected (null)
    std::uint32_t atomCapacity = 16384; // bytes of each atom port's buffer
};

// The host's transport as a time:Position object.
struct TimePosition {
    float speed = 1; // 0 stopped, 1 playing
    float beatsPerMinute = 120;
    std::int64_t bar = 0;
    float barBeat = 0;
    std::int64_t frame = 0;
};

// An atom the plug-in wrote to an output sequence, at the frame counted from the instance's first run.
struct AtomEvent {
    std::int64_t frame = 0;
    std::vector<std::uint8_t> bytes; // the whole atom, header first

    const LV2_Atom* Atom() const { return reinterpret_cast<const LV2_Atom*>(bytes.data()); }
};

struct Stereo {
    std::vector<float> left;
    std::vector<float> right;
};

// One plug-in instance driven as a host drives it: control ports by symbol or index, host time and
// messages in the atom input at chosen frames, any partition into blocks, in place or not, the notify
// output collected, state saved and restored the way hosts do through lilv, presets applied.
class Lv2Instance {
public:
    // Instantiates and activates. Throws std::runtime_error when the plug-in is missing, has a port this
    // host cannot connect, or does not instantiate.
    Lv2Instance(Lv2World& world, const std::string& pluginUri, double sampleRate,
                const InstanceOptions& options = {});
    ~Lv2Instance();
    Lv2Instance(const Lv2Instance&) = delete;
    Lv2Instance& operator=(const Lv2Instance&) = delete;

    const LilvPlugin* Plugin() const { return plugin_; }
    LilvInstance* Instance() const { return instance_; }
    std::uint32_t PortCount() const { return static_cast<std::uint32_t>(controls_.size()); }
    // The index of the port with this symbol; throws when there is none.
    std::uint32_t PortIndex(const std::string& symbol) const;

    // Control ports hold their value between runs; the plug-in reads inputs and writes outputs.
    void SetControl(std::uint32_t port, float value) { controls_.at(port) = value; }
    void SetControl(const std::string& symbol, float value) { SetControl(PortIndex(symbol), value); }
    float Control(std::uint32_t port) const { return controls_.at(port); }
    float Control(const std::string& symbol) const { return Control(PortIndex(symbol)); }

    void Activate();
    void Deactivate();

    // Queued for the atom input, to arrive at this frame (counted like AtomEvent::frame); an event for a
    // frame already run arrives at the start of the next block.
    void SendTime(std::int64_t frame, const TimePosition& position);
    void SendAtom(std::int64_t frame, const LV2_Atom* atom);

    // One run of `frames` frames on these buffers (inputs and outputs may be the same).
    void Run(const float* inLeft, const float* inRight, float* outLeft, float* outRight,
             std::uint32_t frames);
    // The input run in blocks whose lengths cycle through `blocks`; inPlace hands the plug-in the same
    // buffers for input and output.
    Stereo Render(const Stereo& input, const std::vector<std::uint32_t>& blocks, bool inPlace);
    std::int64_t FramesRun() const { return framesRun_; }

    // Everything the plug-in wrote to its atom outputs since the last call.
    std::vector<AtomEvent> TakeNotifications();

    // The instance's state (control inputs and the state interface's properties) as the Turtle text a
    // host stores in a session, and back.
    std::string SaveState();
    void RestoreState(const std::string& turtle);
    // The preset's port values and state, read from the world as a host's preset menu does.
    void ApplyPreset(const std::string& presetUri);

    LV2_URID Urid(const char* uri) { return world_.Urids().Map(uri); }

    // Called on the running thread right before and right after the plug-in's run alone, without the
    // host's own work around it: a test counts allocations or checks the floating-point state there.
    std::function<void()> BeforeRun;
    std::function<void()> AfterRun;

private:
    int findPort(const char* symbol) const noexcept; // -1 when there is none
    void restore(const LilvState* state);
    void fillAtomInputs(std::uint32_t frames);
    void collectAtomOutputs();

    Lv2World& world_;
    const LilvPlugin* plugin_ = nullptr;
    LilvInstance* instance_ = nullptr;
    bool active_ = false;
    std::int64_t framesRun_ = 0;
    std::vector<float> controls_; // one per port; only control ports use theirs
    std::vector<std::uint32_t> audioInputs_, audioOutputs_, atomInputs_, atomOutputs_, controlInputs_;
    std::vector<std::vector<std::uint64_t>> atomBuffers_; // per port, 8-byte aligned; empty when unused
    std::uint32_t atomCapacity_ = 0;
    std::vector<AtomEvent> pending_;       // queued for the atom input, by frame
    std::vector<AtomEvent> notifications_; // collected from the atom outputs
    std::string restoreProblem_;
    std::int32_t blockLengths_[2] = {0, 0};
    std::vector<LV2_Options_Option> options_;
    LV2_Feature optionsFeature_{};
    std::vector<const LV2_Feature*> features_;
};

} // namespace lv2host
