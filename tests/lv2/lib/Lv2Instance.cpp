#include "tests/lv2/lib/Lv2Instance.h"

#include <lv2/atom/forge.h>
#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/state/state.h>
#include <lv2/time/time.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace lv2host {

namespace {

constexpr char kStateUri[] = "urn:vorelan:lv2host:state";

struct StateDeleter {
    void operator()(LilvState* state) const { lilv_state_free(state); }
};
using State = std::unique_ptr<LilvState, StateDeleter>;

} // namespace

Lv2Instance::Lv2Instance(Lv2World& world, const std::string& pluginUri, double sampleRate,
                         const InstanceOptions& options)
    : world_(world), plugin_(world.Plugin(pluginUri)), atomCapacity_(options.atomCapacity) {
    if (!plugin_)
        throw std::runtime_error("no LV2 plug-in " + pluginUri + " in the search path");
    UridMap& urids = world_.Urids();

    const std::uint32_t ports = lilv_plugin_get_num_ports(plugin_);
    controls_.assign(ports, 0.0f);
    std::vector<float> defaults(ports);
    lilv_plugin_get_port_ranges_float(plugin_, nullptr, nullptr, defaults.data());
    atomBuffers_.resize(ports);
    const Node input = world_.NewUri(LV2_CORE__InputPort), audio = world_.NewUri(LV2_CORE__AudioPort),
               control = world_.NewUri(LV2_CORE__ControlPort), atom = world_.NewUri(LV2_ATOM__AtomPort),
               optional = world_.NewUri(LV2_CORE__connectionOptional);
    for (std::uint32_t p = 0; p < ports; ++p) {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin_, p);
        const bool isInput = lilv_port_is_a(plugin_, port, input.get());
        if (lilv_port_is_a(plugin_, port, audio.get())) {
            (isInput ? audioInputs_ : audioOutputs_).push_back(p);
        } else if (lilv_port_is_a(plugin_, port, control.get())) {
            controls_[p] = std::isnan(defaults[p]) ? 0.0f : defaults[p];
            if (isInput)
                controlInputs_.push_back(p);
        } else if (lilv_port_is_a(plugin_, port, atom.get())) {
            (isInput ? atomInputs_ : atomOutputs_).push_back(p);
            if (options.connectAtomPorts)
                atomBuffers_[p].assign(atomCapacity_ / 8 + 1, 0);
        } else if (!lilv_port_has_property(plugin_, port, optional.get())) {
            throw std::runtime_error("port " + std::to_string(p) + " has a type this host cannot connect");
        }
    }
    if (audioInputs_.size() > 2 || audioOutputs_.size() > 2)
        throw std::runtime_error("this host connects at most two audio inputs and two outputs");

    blockLengths_[0] = options.maxBlockLength;
    blockLengths_[1] = options.nominalBlockLength;
    const char* keys[2] = {LV2_BUF_SIZE__maxBlockLength, LV2_BUF_SIZE__nominalBlockLength};
    for (int k = 0; k < 2; ++k)
        if (blockLengths_[k] > 0)
            options_.push_back({LV2_OPTIONS_INSTANCE, 0, urids.Map(keys[k]), sizeof(std::int32_t),
                                urids.Map(LV2_ATOM__Int), &blockLengths_[k]});
    options_.push_back({LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr});
    optionsFeature_ = {LV2_OPTIONS__options, options_.data()};
    if (options.giveMap) {
        features_.push_back(urids.MapFeature());
        features_.push_back(urids.UnmapFeature());
    }
    features_.push_back(&optionsFeature_);
    features_.push_back(nullptr);

    instance_ = lilv_plugin_instantiate(plugin_, sampleRate, features_.data());
    if (!instance_)
        throw std::runtime_error(pluginUri + " does not instantiate");
    for (std::uint32_t p = 0; p < ports; ++p) {
        if (!atomBuffers_[p].empty())
            lilv_instance_connect_port(instance_, p, atomBuffers_[p].data());
        else if (std::find(audioInputs_.begin(), audioInputs_.end(), p) == audioInputs_.end() &&
                 std::find(audioOutputs_.begin(), audioOutputs_.end(), p) == audioOutputs_.end())
            lilv_instance_connect_port(
                instance_, p,
                lilv_port_is_a(plugin_, lilv_plugin_get_port_by_index(plugin_, p), control.get())
                    ? &controls_[p]
                    : nullptr);
    }
    Activate();
}

Lv2Instance::~Lv2Instance() {
    Deactivate();
    lilv_instance_free(instance_);
}

int Lv2Instance::findPort(const char* symbol) const noexcept {
    const Node name(lilv_new_string(world_.World(), symbol));
    const LilvPort* port = lilv_plugin_get_port_by_symbol(plugin_, name.get());
    return port ? static_cast<int>(lilv_port_get_index(plugin_, port)) : -1;
}

std::uint32_t Lv2Instance::PortIndex(const std::string& symbol) const {
    const int port = findPort(symbol.c_str());
    if (port < 0)
        throw std::runtime_error("no port \"" + symbol + "\"");
    return static_cast<std::uint32_t>(port);
}

void Lv2Instance::Activate() {
    if (!active_)
        lilv_instance_activate(instance_);
    active_ = true;
}

void Lv2Instance::Deactivate() {
    if (active_)
        lilv_instance_deactivate(instance_);
    active_ = false;
}

void Lv2Instance::SendTime(std::int64_t frame, const TimePosition& position) {
    UridMap& urids = world_.Urids();
    std::uint64_t buffer[64];
    LV2_Atom_Forge forge;
    lv2_atom_forge_init(&forge, urids.MapData());
    lv2_atom_forge_set_buffer(&forge, reinterpret_cast<std::uint8_t*>(buffer), sizeof buffer);
    LV2_Atom_Forge_Frame object;
    lv2_atom_forge_object(&forge, &object, 0, urids.Map(LV2_TIME__Position));
    lv2_atom_forge_key(&forge, urids.Map(LV2_TIME__frame));
    lv2_atom_forge_long(&forge, position.frame);
    lv2_atom_forge_key(&forge, urids.Map(LV2_TIME__speed));
    lv2_atom_forge_float(&forge, position.speed);
    lv2_atom_forge_key(&forge, urids.Map(LV2_TIME__bar));
    lv2_atom_forge_long(&forge, position.bar);
    lv2_atom_forge_key(&forge, urids.Map(LV2_TIME__barBeat));
    lv2_atom_forge_float(&forge, position.barBeat);
    // Hosts send the metre along; 4/4 here.
    lv2_atom_forge_key(&forge, urids.Map(LV2_TIME__beatUnit));
    lv2_atom_forge_int(&forge, 4);
    lv2_atom_forge_key(&forge, urids.Map(LV2_TIME__beatsPerBar));
    lv2_atom_forge_float(&forge, 4.0f);
    lv2_atom_forge_key(&forge, urids.Map(LV2_TIME__beatsPerMinute));
    lv2_atom_forge_float(&forge, position.beatsPerMinute);
    lv2_atom_forge_pop(&forge, &object);
    SendAtom(frame, reinterpret_cast<const LV2_Atom*>(buffer));
}

void Lv2Instance::SendAtom(std::int64_t frame, const LV2_Atom* atom) {
    AtomEvent event{frame, {}};
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(atom);
    event.bytes.assign(bytes, bytes + lv2_atom_total_size(atom));
    const auto at = std::upper_bound(pending_.begin(), pending_.end(), frame,
                                     [](std::int64_t f, const AtomEvent& e) { return f < e.frame; });
    pending_.insert(at, std::move(event));
}

void Lv2Instance::fillAtomInputs(std::uint32_t frames) {
    const LV2_URID sequenceType = world_.Urids().Map(LV2_ATOM__Sequence);
    for (const std::uint32_t p : atomInputs_) {
        if (atomBuffers_[p].empty())
            continue;
        auto* sequence = reinterpret_cast<LV2_Atom_Sequence*>(atomBuffers_[p].data());
        sequence->atom.type = sequenceType;
        sequence->body.unit = 0;
        sequence->body.pad = 0;
        lv2_atom_sequence_clear(sequence);
    }
    // Host time and messages go to the first atom input, the plug-in's control port.
    const std::int64_t end = framesRun_ + frames;
    auto due = pending_.begin();
    while (due != pending_.end() && due->frame < end)
        ++due;
    if (!atomInputs_.empty() && !atomBuffers_[atomInputs_[0]].empty()) {
        auto* sequence = reinterpret_cast<LV2_Atom_Sequence*>(atomBuffers_[atomInputs_[0]].data());
        for (auto event = pending_.begin(); event != due; ++event) {
            const std::uint32_t size =
                static_cast<std::uint32_t>(sizeof(LV2_Atom_Event) - sizeof(LV2_Atom) + event->bytes.size());
            if (sizeof(LV2_Atom) + sequence->atom.size + lv2_atom_pad_size(size) > atomCapacity_)
                throw std::runtime_error("the events of one block do not fit the atom buffer");
            auto* slot = lv2_atom_sequence_end(&sequence->body, sequence->atom.size);
            slot->time.frames = std::max<std::int64_t>(0, event->frame - framesRun_);
            std::memcpy(&slot->body, event->bytes.data(), event->bytes.size());
            sequence->atom.size += lv2_atom_pad_size(size);
        }
    }
    pending_.erase(pending_.begin(), due);

    // An output's atom says how much room the plug-in has.
    const LV2_URID chunkType = world_.Urids().Map(LV2_ATOM__Chunk);
    for (const std::uint32_t p : atomOutputs_)
        if (!atomBuffers_[p].empty()) {
            auto* atom = reinterpret_cast<LV2_Atom*>(atomBuffers_[p].data());
            atom->type = chunkType;
            atom->size = atomCapacity_ - static_cast<std::uint32_t>(sizeof(LV2_Atom));
        }
}

void Lv2Instance::collectAtomOutputs() {
    const LV2_URID sequenceType = world_.Urids().Map(LV2_ATOM__Sequence);
    for (const std::uint32_t p : atomOutputs_) {
        if (atomBuffers_[p].empty())
            continue;
        const auto* sequence = reinterpret_cast<const LV2_Atom_Sequence*>(atomBuffers_[p].data());
        if (sequence->atom.type != sequenceType || sizeof(LV2_Atom) + sequence->atom.size > atomCapacity_)
            continue;
        LV2_ATOM_SEQUENCE_FOREACH(sequence, event) {
            const auto* bytes = reinterpret_cast<const std::uint8_t*>(&event->body);
            notifications_.push_back(
                {framesRun_ + event->time.frames, {bytes, bytes + lv2_atom_total_size(&event->body)}});
        }
    }
}

void Lv2Instance::Run(const float* inLeft, const float* inRight, float* outLeft, float* outRight,
                      std::uint32_t frames) {
    const float* inputs[2] = {inLeft, inRight};
    float* outputs[2] = {outLeft, outRight};
    for (std::size_t c = 0; c < audioInputs_.size(); ++c)
        lilv_instance_connect_port(instance_, audioInputs_[c], const_cast<float*>(inputs[c]));
    for (std::size_t c = 0; c < audioOutputs_.size(); ++c)
        lilv_instance_connect_port(instance_, audioOutputs_[c], outputs[c]);
    fillAtomInputs(frames);
    if (BeforeRun)
        BeforeRun();
    lilv_instance_run(instance_, frames);
    if (AfterRun)
        AfterRun();
    collectAtomOutputs();
    framesRun_ += frames;
}

Stereo Lv2Instance::Render(const Stereo& input, const std::vector<std::uint32_t>& blocks, bool inPlace) {
    const std::size_t frames = input.left.size();
    Stereo in = input;
    Stereo out = inPlace ? input : Stereo{std::vector<float>(frames), std::vector<float>(frames)};
    const Stereo& source = inPlace ? out : in;
    std::size_t at = 0;
    for (std::size_t b = 0, idle = 0; at < frames; b = (b + 1) % blocks.size()) {
        const auto length = static_cast<std::uint32_t>(std::min<std::size_t>(blocks.at(b), frames - at));
        Run(source.left.data() + at, source.right.data() + at, out.left.data() + at, out.right.data() + at,
            length);
        at += length;
        idle = length == 0 ? idle + 1 : 0;
        if (idle > blocks.size())
            throw std::runtime_error("a partition of empty blocks renders nothing");
    }
    return out;
}

std::vector<AtomEvent> Lv2Instance::TakeNotifications() {
    return std::exchange(notifications_, {});
}

std::string Lv2Instance::SaveState() {
    UridMap& urids = world_.Urids();
    const auto getValue = [](const char* symbol, void* self, std::uint32_t* size,
                             std::uint32_t* type) -> const void* {
        auto* host = static_cast<Lv2Instance*>(self);
        const int port = host->findPort(symbol);
        const auto& inputs = host->controlInputs_;
        if (port < 0 || std::find(inputs.begin(), inputs.end(), std::uint32_t(port)) == inputs.end())
            return nullptr;
        *size = sizeof(float);
        *type = host->Urid(LV2_ATOM__Float);
        return &host->controls_[port];
    };
    const State state(lilv_state_new_from_instance(
        plugin_, instance_, urids.MapData(), nullptr, nullptr, nullptr, nullptr, getValue, this,
        LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, features_.data()));
    if (!state)
        throw std::runtime_error("lilv cannot save the instance's state");
    char* text = lilv_state_to_string(world_.World(), urids.MapData(), urids.UnmapData(), state.get(),
                                      kStateUri, nullptr);
    if (!text)
        throw std::runtime_error("lilv cannot write the state as Turtle");
    std::string turtle = text;
    lilv_free(text);
    return turtle;
}

void Lv2Instance::restore(const LilvState* state) {
    const auto setValue = [](const char* symbol, void* self, const void* value, std::uint32_t size,
                             std::uint32_t type) {
        auto* host = static_cast<Lv2Instance*>(self);
        float number = 0;
        if (type == host->Urid(LV2_ATOM__Float) && size == sizeof(float))
            std::memcpy(&number, value, sizeof number);
        else if (type == host->Urid(LV2_ATOM__Double) && size == sizeof(double))
            number = static_cast<float>(*static_cast<const double*>(value));
        else if (type == host->Urid(LV2_ATOM__Int) && size == sizeof(std::int32_t))
            number = static_cast<float>(*static_cast<const std::int32_t*>(value));
        else if (type == host->Urid(LV2_ATOM__Bool) && size == sizeof(std::int32_t))
            number = *static_cast<const std::int32_t*>(value) != 0 ? 1.0f : 0.0f;
        else
            number = NAN;
        const int port = host->findPort(symbol);
        if (port < 0 || number != number)
            host->restoreProblem_ = std::string("no value for port \"") + symbol + "\" in the state";
        else
            host->controls_[port] = number;
    };
    // The callback runs inside lilv, which is C: a problem is thrown once lilv has returned.
    restoreProblem_.clear();
    lilv_state_restore(state, instance_, setValue, this, 0, features_.data());
    if (!restoreProblem_.empty())
        throw std::runtime_error(restoreProblem_);
}

void Lv2Instance::RestoreState(const std::string& turtle) {
    const State state(lilv_state_new_from_string(world_.World(), world_.Urids().MapData(), turtle.c_str()));
    if (!state)
        throw std::runtime_error("lilv cannot read the state");
    restore(state.get());
}

void Lv2Instance::ApplyPreset(const std::string& presetUri) {
    const Node preset = world_.NewUri(presetUri);
    lilv_world_load_resource(world_.World(), preset.get());
    const State state(lilv_state_new_from_world(world_.World(), world_.Urids().MapData(), preset.get()));
    if (!state)
        throw std::runtime_error("no preset " + presetUri);
    restore(state.get());
}

} // namespace lv2host
