// The processor of the test probe: scales the audio by "gain", copies every event of "control" to
// "notify" at its frame, and on the first run after activation or a restore reports what the host gave
// it as an Info object: the sample rate, the block lengths of the options (-1 when not given) and the
// name kept in its state.
#include <lv2/atom/forge.h>
#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace {

constexpr char kUri[] = "urn:qarnoaudio:lv2-test-probe";

struct Probe {
    double sampleRate = 0;
    std::int32_t maxBlockLength = -1;
    std::int32_t nominalBlockLength = -1;
    std::string name = "probe";
    bool report = true;
    LV2_URID_Map* map = nullptr;
    LV2_Atom_Forge forge{};
    LV2_URID info = 0, sampleRateKey = 0, maxKey = 0, nominalKey = 0, nameKey = 0, string = 0;
    const float* in[2] = {};
    float* out[2] = {};
    const LV2_Atom_Sequence* control = nullptr;
    LV2_Atom_Sequence* notify = nullptr;
    const float* gain = nullptr;
};

LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char*, const LV2_Feature* const* features) {
    auto* probe = new Probe;
    probe->sampleRate = rate;
    const LV2_Options_Option* options = nullptr;
    for (int f = 0; features && features[f]; ++f) {
        if (!std::strcmp(features[f]->URI, LV2_URID__map))
            probe->map = static_cast<LV2_URID_Map*>(features[f]->data);
        if (!std::strcmp(features[f]->URI, LV2_OPTIONS__options))
            options = static_cast<const LV2_Options_Option*>(features[f]->data);
    }
    if (LV2_URID_Map* map = probe->map) {
        lv2_atom_forge_init(&probe->forge, map);
        probe->info = map->map(map->handle, "urn:qarnoaudio:lv2-test-probe#Info");
        probe->sampleRateKey = map->map(map->handle, "urn:qarnoaudio:lv2-test-probe#sampleRate");
        probe->maxKey = map->map(map->handle, LV2_BUF_SIZE__maxBlockLength);
        probe->nominalKey = map->map(map->handle, LV2_BUF_SIZE__nominalBlockLength);
        probe->nameKey = map->map(map->handle, "urn:qarnoaudio:lv2-test-probe#name");
        probe->string = probe->forge.String;
        for (; options && options->key; ++options) {
            if (options->type != probe->forge.Int)
                continue;
            if (options->key == probe->maxKey)
                probe->maxBlockLength = *static_cast<const std::int32_t*>(options->value);
            if (options->key == probe->nominalKey)
                probe->nominalBlockLength = *static_cast<const std::int32_t*>(options->value);
        }
    }
    return probe;
}

void connectPort(LV2_Handle handle, std::uint32_t port, void* data) {
    auto* probe = static_cast<Probe*>(handle);
    switch (port) {
    case 0:
    case 1:
        probe->in[port] = static_cast<const float*>(data);
        break;
    case 2:
    case 3:
        probe->out[port - 2] = static_cast<float*>(data);
        break;
    case 4:
        probe->control = static_cast<const LV2_Atom_Sequence*>(data);
        break;
    case 5:
        probe->notify = static_cast<LV2_Atom_Sequence*>(data);
        break;
    case 6:
        probe->gain = static_cast<const float*>(data);
        break;
    default:
        break;
    }
}

void activate(LV2_Handle handle) {
    static_cast<Probe*>(handle)->report = true;
}

void run(LV2_Handle handle, std::uint32_t frames) {
    auto* probe = static_cast<Probe*>(handle);
    const float gain = probe->gain ? *probe->gain : 1.0f;
    for (int c = 0; c < 2; ++c)
        for (std::uint32_t i = 0; i < frames; ++i)
            probe->out[c][i] = probe->in[c][i] * gain;
    if (!probe->notify || !probe->map)
        return;
    LV2_Atom_Forge& forge = probe->forge;
    lv2_atom_forge_set_buffer(&forge, reinterpret_cast<std::uint8_t*>(probe->notify),
                              sizeof(LV2_Atom) + probe->notify->atom.size);
    LV2_Atom_Forge_Frame sequence;
    lv2_atom_forge_sequence_head(&forge, &sequence, 0);
    if (probe->report) {
        probe->report = false;
        LV2_Atom_Forge_Frame object;
        lv2_atom_forge_frame_time(&forge, 0);
        lv2_atom_forge_object(&forge, &object, 0, probe->info);
        lv2_atom_forge_key(&forge, probe->sampleRateKey);
        lv2_atom_forge_double(&forge, probe->sampleRate);
        lv2_atom_forge_key(&forge, probe->maxKey);
        lv2_atom_forge_int(&forge, probe->maxBlockLength);
        lv2_atom_forge_key(&forge, probe->nominalKey);
        lv2_atom_forge_int(&forge, probe->nominalBlockLength);
        lv2_atom_forge_key(&forge, probe->nameKey);
        lv2_atom_forge_string(&forge, probe->name.c_str(), static_cast<std::uint32_t>(probe->name.size()));
        lv2_atom_forge_pop(&forge, &object);
    }
    if (probe->control)
        LV2_ATOM_SEQUENCE_FOREACH(probe->control, event) {
            lv2_atom_forge_frame_time(&forge, event->time.frames);
            lv2_atom_forge_write(&forge, &event->body, sizeof(LV2_Atom) + event->body.size);
        }
    lv2_atom_forge_pop(&forge, &sequence);
}

void deactivate(LV2_Handle) {}

void cleanup(LV2_Handle handle) {
    delete static_cast<Probe*>(handle);
}

LV2_State_Status save(LV2_Handle handle, LV2_State_Store_Function store, LV2_State_Handle state,
                      std::uint32_t, const LV2_Feature* const*) {
    auto* probe = static_cast<Probe*>(handle);
    if (!probe->map)
        return LV2_STATE_ERR_NO_FEATURE;
    return store(state, probe->nameKey, probe->name.c_str(), probe->name.size() + 1, probe->string,
                 LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE);
}

LV2_State_Status restore(LV2_Handle handle, LV2_State_Retrieve_Function retrieve, LV2_State_Handle state,
                         std::uint32_t, const LV2_Feature* const*) {
    auto* probe = static_cast<Probe*>(handle);
    if (!probe->map)
        return LV2_STATE_ERR_NO_FEATURE;
    std::size_t size = 0;
    std::uint32_t type = 0, flags = 0;
    const void* value = retrieve(state, probe->nameKey, &size, &type, &flags);
    if (value && type == probe->string && size > 0)
        probe->name.assign(static_cast<const char*>(value), strnlen(static_cast<const char*>(value), size));
    probe->report = true;
    return LV2_STATE_SUCCESS;
}

const void* extensionData(const char* uri) {
    static const LV2_State_Interface state{save, restore};
    return std::strcmp(uri, LV2_STATE__interface) ? nullptr : &state;
}

const LV2_Descriptor kDescriptor{kUri, instantiate, connectPort, activate,
                                 run,  deactivate,  cleanup,     extensionData};

} // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(std::uint32_t index) {
    return index == 0 ? &kDescriptor : nullptr;
}
