#include "tools/validate/Lv2Session.h"

#include "tools/validate/Lv2SessionImpl.h"
#include "tools/validate/Random.h"

#include <lv2/atom/forge.h>
#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/state/state.h>
#include <lv2/time/time.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace validate {

namespace {

using vst2::kVstBarsValid;
using vst2::kVstPpqPosValid;
using vst2::kVstTempoValid;
using vst2::kVstTimeSigValid;
using vst2::kVstTransportPlaying;

constexpr char kUnknownUri[] = "urn:vorelan:validate#Unknown";
constexpr float kLevelRounding = 1e-3f;

// Forges one atom into an aligned buffer through write, which answers false when it ran out of room.
template <typename Write> std::vector<std::uint64_t> forged(UridMap& urids, Write&& write) {
    std::vector<std::uint64_t> buffer(256);
    LV2_Atom_Forge forge;
    lv2_atom_forge_init(&forge, urids.MapData());
    lv2_atom_forge_set_buffer(&forge, reinterpret_cast<std::uint8_t*>(buffer.data()), buffer.size() * 8);
    if (!write(forge))
        return {};
    const auto* atom = reinterpret_cast<const LV2_Atom*>(buffer.data());
    buffer.resize((lv2_atom_total_size(atom) + 7) / 8);
    return buffer;
}

const LV2_Atom* atomOf(const std::vector<std::uint64_t>& bytes) {
    return reinterpret_cast<const LV2_Atom*>(bytes.data());
}

// A number as one of the types hosts use for it; the integer types hold what fits of it.
void forgeNumber(LV2_Atom_Forge& forge, double value, std::uint32_t type) {
    const bool fitsInt = std::isfinite(value) && std::fabs(value) < 2e9;
    switch (type) {
    case 0:
        lv2_atom_forge_float(&forge, static_cast<float>(value));
        break;
    case 1:
        lv2_atom_forge_double(&forge, value);
        break;
    case 2:
        lv2_atom_forge_int(&forge, fitsInt ? static_cast<std::int32_t>(value) : 0);
        break;
    case 3:
        lv2_atom_forge_long(&forge, fitsInt ? static_cast<std::int64_t>(value) : 0);
        break;
    case 4: // not a number at all
        lv2_atom_forge_string(&forge, "120", 3);
        break;
    default: {
        const float values[1] = {static_cast<float>(value)};
        lv2_atom_forge_vector(&forge, sizeof(float), forge.Float, 1, values);
        break;
    }
    }
}

// The state a host keeps: the properties the plug-in stored, as it stored them.
struct Property {
    LV2_URID key = 0;
    std::uint32_t type = 0;
    std::uint32_t flags = 0;
    std::vector<std::uint8_t> value;
};

struct StateStore {
    const UridMap* urids = nullptr;
    LV2_URID atomString = 0;
    std::vector<Property> properties;
    std::string problem;
};

LV2_State_Status storeProperty(LV2_State_Handle handle, std::uint32_t key, const void* value,
                               std::size_t size, std::uint32_t type, std::uint32_t flags) {
    MaskedFloatScope masked;
    auto& store = *static_cast<StateStore*>(handle);
    const char* name = store.urids->Unmap(key);
    const auto* bytes = static_cast<const std::uint8_t*>(value);
    if (!store.problem.empty()) {
    } else if (name == nullptr) {
        store.problem = "stored a property under " + std::to_string(key) + ", a number the host never mapped";
    } else if (value == nullptr && size > 0) {
        store.problem = "stored " + std::string(name) + " from a null pointer";
    } else if (type == 0 || store.urids->Unmap(type) == nullptr) {
        store.problem = "stored " + std::string(name) + " with a type the host never mapped";
    } else if (type == store.atomString && (size == 0 || bytes[size - 1] != 0)) {
        store.problem = "stored " + std::string(name) + " as a string without its terminating NUL";
    }
    store.properties.push_back(
        {key, type, flags, std::vector<std::uint8_t>(bytes, bytes + (value ? size : 0))});
    return LV2_STATE_SUCCESS;
}

const void* retrieveProperty(LV2_State_Handle handle, std::uint32_t key, std::size_t* size,
                             std::uint32_t* type, std::uint32_t* flags) {
    const auto& properties = *static_cast<const std::vector<Property>*>(handle);
    for (const Property& p : properties)
        if (p.key == key) {
            if (size != nullptr)
                *size = p.value.size();
            if (type != nullptr)
                *type = p.type;
            if (flags != nullptr)
                *flags = p.flags;
            return p.value.data();
        }
    return nullptr;
}

std::string text(const std::vector<std::uint8_t>& value) {
    const auto end = std::find(value.begin(), value.end(), std::uint8_t{0});
    return std::string(value.begin(), end);
}

} // namespace

const char* RunName(Aliasing aliasing) {
    switch (aliasing) {
    case Aliasing::Separate:
        break;
    case Aliasing::InPlace:
        return "run in place";
    case Aliasing::Crossed:
        return "run in place crossed";
    case Aliasing::Shared:
        return "run in place on one input";
    }
    return "run";
}

Lv2Object::Lv2Object(const Lv2Setup& hostSetup)
    : setup(hostSetup), control(kControlCapacity),
      notify(std::max<std::uint32_t>(hostSetup.notifyCapacity, 8)) {
    for (int i = 0; i < kLv2Parameters; ++i) {
        const float value = engine::kParameters[static_cast<std::size_t>(i)].factory;
        values[static_cast<std::size_t>(i)] = moved[static_cast<std::size_t>(i)] = value;
        at[static_cast<std::size_t>(i)] = &values[static_cast<std::size_t>(i)];
    }
}

Lv2Session::Impl::Impl(const Lv2Binary& binary, const SessionOptions& sessionOptions,
                       testhost::EntryPoint vst2Entry)
    : d(binary.Descriptor()), bundle(binary.BundlePath()), options(sessionOptions), vst2(vst2Entry) {}

Lv2Session::Impl::~Impl() {
    if (main)
        destroy(*main);
    closeSound();
}

std::optional<Finding> Lv2Session::Impl::create(Lv2Object& o) {
    const Lv2Setup& s = o.setup;
    o.lengths[0] = s.maxBlock;
    o.lengths[1] = s.nominalBlock;
    const char* keys[2] = {LV2_BUF_SIZE__maxBlockLength, LV2_BUF_SIZE__nominalBlockLength};
    for (int k = 0; k < 2; ++k)
        if (o.lengths[k] > 0)
            o.options.push_back({LV2_OPTIONS_INSTANCE, 0, urids.Map(keys[k]), sizeof(std::int32_t),
                                 urids.Map(LV2_ATOM__Int), &o.lengths[k]});
    o.options.push_back({LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr});
    o.optionsFeature = {LV2_OPTIONS__options, o.options.data()};
    o.boundedFeature = {LV2_BUF_SIZE__boundedBlockLength, nullptr};
    if (s.map) {
        o.features.push_back(urids.MapFeature());
        o.features.push_back(urids.UnmapFeature());
    }
    if (o.options.size() > 1) {
        o.features.push_back(&o.optionsFeature);
        if (s.maxBlock > 0)
            o.features.push_back(&o.boundedFeature);
    }
    o.features.push_back(nullptr);

    if (auto f = call(false, "instantiate",
                      [&] { o.handle = d.instantiate(&d, s.sampleRate, bundle.c_str(), o.features.data()); }))
        return f;
    if (o.handle == nullptr) {
        // A plug-in may refuse a sample rate no device runs at; it requires no feature, so it takes any
        // host with a rate that is.
        if (std::isfinite(s.sampleRate) && s.sampleRate >= 1.0 && s.sampleRate <= 1e7)
            return Finding{FindingKind::NoEffect,
                           "instantiate answered no instance at " + Describe(s.sampleRate) + " Hz"};
        return std::nullopt;
    }
    for (int i = 0; i < kLv2Parameters; ++i)
        if (auto f = call(true, "connect_port", [&] {
                d.connect_port(o.handle, lv2::ParameterPort(i), o.at[static_cast<std::size_t>(i)]);
            }))
            return f;
    for (const std::uint32_t port : {lv2::kControl, lv2::kNotify})
        if (auto f = connectAtomPort(o, port, s.atomsConnected))
            return f;
    if (d.activate != nullptr)
        if (auto f = call(false, "activate", [&] { d.activate(o.handle); }))
            return f;
    o.active = true;
    return std::nullopt;
}

void Lv2Session::Impl::destroy(Lv2Object& o) {
    if (o.handle == nullptr)
        return;
    if (o.active && d.deactivate != nullptr)
        call(false, "deactivate", [&] { d.deactivate(o.handle); });
    call(false, "cleanup", [&] { d.cleanup(o.handle); });
    o.handle = nullptr;
    o.active = false;
}

std::optional<Finding> Lv2Session::Impl::connectAtomPort(Lv2Object& o, std::uint32_t port, bool connected) {
    AtomBuffer& buffer = port == lv2::kControl ? o.control : o.notify;
    (port == lv2::kControl ? o.controlConnected : o.notifyConnected) = connected;
    return call(true, "connect_port",
                [&] { d.connect_port(o.handle, port, connected ? buffer.Data() : nullptr); });
}

void Lv2Session::Impl::writeControlSequence(Lv2Object& o, const std::vector<Lv2Event>& events) {
    auto* sequence = reinterpret_cast<LV2_Atom_Sequence*>(o.control.Data());
    sequence->atom.type = urids.Map(LV2_ATOM__Sequence);
    sequence->atom.size = sizeof(LV2_Atom_Sequence_Body);
    sequence->body.unit = 0;
    sequence->body.pad = 0;
    for (const Lv2Event& event : events) {
        const LV2_Atom* atom = atomOf(event.atom);
        const std::uint32_t size = lv2_atom_pad_size(sizeof(LV2_Atom_Event) + atom->size);
        if (sizeof(LV2_Atom) + sequence->atom.size + size > o.control.Capacity())
            break; // what does not fit this run is left out, as a host's full buffer would
        LV2_Atom_Event* slot = lv2_atom_sequence_end(&sequence->body, sequence->atom.size);
        slot->time.frames = event.frame;
        std::memcpy(&slot->body, atom, lv2_atom_total_size(atom));
        sequence->atom.size += size;
    }
    o.controlSent.assign(o.control.Data(), o.control.Data() + sizeof(LV2_Atom) + sequence->atom.size);
}

std::optional<Finding> Lv2Session::Impl::run(Lv2Object& o, int frames, Aliasing aliasing,
                                             const std::function<void(int, float*, int)>& fill,
                                             const std::vector<Lv2Event>& events,
                                             const std::vector<double>& tight) {
    const bool inPlace = aliasing != Aliasing::Separate;
    scratch.Prepare(2, 2, frames, true, inPlace, 0, fill, o.inputPeak);
    if (aliasing == Aliasing::Crossed) {
        scratch.outputs.pointers = {scratch.inputs.pointers[1], scratch.inputs.pointers[0]};
        scratch.outputs.pointersBefore = scratch.outputs.pointers;
    } else if (aliasing == Aliasing::Shared) {
        // The right input's buffer (holding the same samples) takes the right output.
        scratch.inputs.pointers[1] = scratch.inputs.pointers[0];
        scratch.inputs.pointersBefore = scratch.inputs.pointers;
    }
    float* const audio[4] = {scratch.inputs.pointers[0], scratch.inputs.pointers[1],
                             scratch.outputs.pointers[0], scratch.outputs.pointers[1]};
    for (std::uint32_t port = 0; port < 4; ++port)
        if (auto f = call(true, "connect_port", [&] { d.connect_port(o.handle, port, audio[port]); }))
            return f;
    if (o.controlConnected)
        writeControlSequence(o, events);
    if (o.notifyConnected) {
        // An output's atom tells the plug-in how much room its body has.
        auto* atom = reinterpret_cast<LV2_Atom*>(o.notify.Data());
        atom->type = urids.Map(LV2_ATOM__Chunk);
        atom->size = o.notify.Capacity() - static_cast<std::uint32_t>(sizeof(LV2_Atom));
        o.notify.ResetGuard();
    }
    std::array<std::uint32_t, kLv2Parameters> controls{};
    for (int i = 0; i < kLv2Parameters; ++i)
        controls[static_cast<std::size_t>(i)] = BitsOf(*o.at[static_cast<std::size_t>(i)]);

    const char* what = RunName(aliasing);
    if (auto f = call(true, what, [&] { d.run(o.handle, static_cast<std::uint32_t>(frames)); }))
        return f;
    ++o.blocks;

    if (auto f = scratch.Check(what, 2, 2, frames, true, inPlace, options.outputBound, o.inputPeak, tight))
        return f;
    for (int i = 0; i < kLv2Parameters; ++i)
        if (const float now = *o.at[static_cast<std::size_t>(i)];
            BitsOf(now) != controls[static_cast<std::size_t>(i)])
            return Finding{FindingKind::InputChanged,
                           "run changed the value of control port " + std::to_string(lv2::ParameterPort(i)) +
                               " (" + std::string(engine::kParameters[static_cast<std::size_t>(i)].name()) +
                               ") from " + Describe(FloatOf(controls[static_cast<std::size_t>(i)])) + " to " +
                               Describe(now)};
    if (o.controlConnected && (!o.control.GuardIntact() || std::memcmp(o.control.Data(), o.controlSent.data(),
                                                                       o.controlSent.size()) != 0))
        return Finding{FindingKind::InputChanged, "run wrote into the control port's sequence, an input"};
    return checkNotify(o, frames);
}

std::optional<Finding> Lv2Session::Impl::checkNotify(Lv2Object& o, int frames) {
    if (!o.notifyConnected)
        return std::nullopt;
    const std::string capacity = std::to_string(o.notify.Capacity());
    if (!o.notify.GuardIntact())
        return Finding{FindingKind::WriteOutside, "run wrote past the end of the notify port's buffer of " +
                                                      capacity + " bytes (run of " + std::to_string(frames) +
                                                      " frames)"};
    const auto* atom = reinterpret_cast<const LV2_Atom*>(o.notify.Data());
    if (atom->type == urids.Map(LV2_ATOM__Chunk) && atom->size == o.notify.Capacity() - sizeof(LV2_Atom))
        return std::nullopt; // nothing written (a plug-in without urid:map has no word for a sequence)
    const auto bad = [&](const std::string& what) {
        return Finding{FindingKind::BadAnswer, "run left the notify port (a buffer of " + capacity +
                                                   " bytes) " + what + " (run of " + std::to_string(frames) +
                                                   " frames)"};
    };
    if (atom->type != urids.Map(LV2_ATOM__Sequence))
        return bad("holding no sequence");
    if (sizeof(LV2_Atom) + atom->size > o.notify.Capacity() || atom->size < sizeof(LV2_Atom_Sequence_Body))
        return bad("holding a sequence of " + std::to_string(atom->size) + " bytes");
    const LV2_URID editorState = urids.Map(lv2::kEditorStateUri);
    const LV2_URID floatType = urids.Map(LV2_ATOM__Float);
    const auto* body = reinterpret_cast<const std::uint8_t*>(atom + 1);
    std::int64_t last = 0;
    for (std::uint32_t at = sizeof(LV2_Atom_Sequence_Body); at < atom->size;) {
        if (at + sizeof(LV2_Atom_Event) > atom->size)
            return bad("with an event cut short");
        const auto* event = reinterpret_cast<const LV2_Atom_Event*>(body + at);
        if (at + sizeof(LV2_Atom_Event) + event->body.size > atom->size)
            return bad("with an event longer than its sequence");
        const std::int64_t frame = event->time.frames;
        if (frame < last || frame >= std::max(frames, 1))
            return bad("with an event at frame " + std::to_string(frame) +
                       (frame < last ? ", before the one before it" : ", outside the run"));
        last = frame;
        // The state an interface shows: LFO levels within 0..1 (up to the rounding of the LFOs' smoothing,
        // which overshoots by some 1e-5), sample rate and tempo finite numbers.
        const auto* object = reinterpret_cast<const LV2_Atom_Object*>(&event->body);
        if (event->body.type == urids.Map(LV2_ATOM__Object) &&
            event->body.size >= sizeof(LV2_Atom_Object_Body) && object->body.otype == editorState) {
            LV2_ATOM_OBJECT_FOREACH(object, property) {
                if (property->value.type == floatType &&
                    !std::isfinite(reinterpret_cast<const LV2_Atom_Float*>(&property->value)->body))
                    return bad("with an EditorState whose " + std::string(urids.Unmap(property->key)) +
                               " is not finite");
                if (property->key == urids.Map(lv2::kLfoLevelsKey) &&
                    property->value.type == urids.Map(LV2_ATOM__Vector)) {
                    const auto* vector = reinterpret_cast<const LV2_Atom_Vector*>(&property->value);
                    const auto* levels = reinterpret_cast<const float*>(vector + 1);
                    const std::size_t count =
                        (vector->atom.size - sizeof(LV2_Atom_Vector_Body)) / sizeof(float);
                    for (std::size_t k = 0; k < count; ++k)
                        if (!(levels[k] >= -kLevelRounding && levels[k] <= 1.0f + kLevelRounding))
                            return bad("with an EditorState whose LFO " + std::to_string(k + 1) +
                                       " level is " + Describe(levels[k]));
                }
            }
        }
        at += lv2_atom_pad_size(static_cast<std::uint32_t>(sizeof(LV2_Atom_Event)) + event->body.size);
    }
    return std::nullopt;
}

std::optional<Finding> Lv2Session::Impl::process(const Step& s) {
    if (!main->active)
        return std::nullopt; // a host runs only an active instance
    int frames = std::max(s.frames, 0);
    if (main->setup.maxBlock > 0)
        frames = std::min(frames, main->setup.maxBlock); // never more than the host announced
    // The events go to the run, as many as the control port's buffer holds; where the port is unconnected,
    // the host has no way to send them.
    std::vector<Lv2Event> events;
    std::uint32_t used = sizeof(LV2_Atom_Sequence);
    int messages = 0;
    for (Pending& p : pending) {
        used += lv2_atom_pad_size(static_cast<std::uint32_t>(sizeof(LV2_Atom_Event)) + atomOf(p.atom)->size);
        if (!main->controlConnected || used > main->control.Capacity())
            break;
        Random place(p.seed);
        events.push_back({frames > 0 ? place.Below(static_cast<std::uint32_t>(frames)) : 0u,
                          std::move(p.atom), std::move(p.renames)});
        messages += p.message ? 1 : 0;
    }
    pending.clear();
    std::stable_sort(events.begin(), events.end(),
                     [](const Lv2Event& a, const Lv2Event& b) { return a.frame < b.frame; });
    // Without urid:map the plug-in reads no messages; with it, the last rename in the run names the program.
    for (const Lv2Event& event : events)
        if (event.renames && main->setup.map)
            programName = event.renames;
    const Aliasing aliasing = !s.inPlace           ? Aliasing::Separate
                              : (s.seed & 1u) != 0 ? Aliasing::Crossed
                                                   : Aliasing::InPlace;
    auto f =
        run(*main, frames, aliasing,
            [&](int channel, float* samples, int n) { FillSignal(s.signal, s.seed, channel, samples, n); },
            events, {});
    ++counts.blocks;
    counts.frames += static_cast<std::uint64_t>(frames);
    counts.messages += static_cast<std::uint64_t>(messages);
    return f;
}

std::optional<Finding> Lv2Session::Impl::instantiate(const Step& s) {
    if (main)
        destroy(*main);
    pending.clear();
    programName.reset();
    Lv2Setup setup;
    setup.sampleRate = s.sampleRate;
    setup.maxBlock = std::max(s.frames, 0);
    setup.nominalBlock = std::max(s.index, 0);
    setup.map = (s.value & kInstantiateNoMap) == 0;
    setup.atomsConnected = (s.value & kInstantiateAtomsUnconnected) == 0;
    setup.notifyCapacity = std::clamp<std::uint32_t>(s.seed, sizeof(LV2_Atom), kNotifyCapacity);
    main = std::make_unique<Lv2Object>(setup);
    ++counts.instances;
    return create(*main);
}

std::optional<Finding> Lv2Session::Impl::activate(bool on) {
    if (main->active == on)
        return std::nullopt; // activate and deactivate alternate, as hosts must call them
    main->active = on;
    if (on)
        return d.activate != nullptr ? call(false, "activate", [&] { d.activate(main->handle); })
                                     : std::nullopt;
    return d.deactivate != nullptr ? call(false, "deactivate", [&] { d.deactivate(main->handle); })
                                   : std::nullopt;
}

std::optional<Finding> Lv2Session::Impl::connect(const Step& s) {
    const auto port = static_cast<std::uint32_t>(s.index);
    if (port == lv2::kControl || port == lv2::kNotify)
        return connectAtomPort(*main, port, s.pointer != Pointer::Null);
    const int parameter = lv2::PortParameter(port);
    if (parameter < 0 || s.index < 0)
        return std::nullopt;
    // Other memory of the host's, holding the value the host wants there.
    const auto i = static_cast<std::size_t>(parameter);
    float* memory = main->at[i] == &main->values[i] ? &main->moved[i] : &main->values[i];
    *memory = s.opt;
    main->at[i] = memory;
    return call(true, "connect_port", [&] { d.connect_port(main->handle, port, memory); });
}

std::vector<std::uint64_t> Lv2Session::Impl::timePosition(const Step& s) {
    Random r(s.seed);
    const bool hostile = s.time == TimeMode::Hostile;
    const auto flags = static_cast<std::uint32_t>(s.timeFlags);
    return forged(urids, [&](LV2_Atom_Forge& forge) {
        LV2_Atom_Forge_Frame frame;
        if (hostile && r.Chance(100)) // not an object at all
            return lv2_atom_forge_double(&forge, s.tempo) != 0;
        lv2_atom_forge_object(&forge, &frame, 0, urids.Map(LV2_TIME__Position));
        const auto field = [&](const char* key, double value) {
            lv2_atom_forge_key(&forge, urids.Map(key));
            forgeNumber(forge, value, r.Below(hostile ? 6 : 4));
        };
        if (!r.Chance(hostile ? 400 : 100))
            field(LV2_TIME__frame, std::floor(r.Unit() * 1e7));
        if (!r.Chance(hostile ? 300 : 150)) {
            const double speeds[] = {std::nan(""), -1.0, 0.5, 1e30, HUGE_VAL};
            field(LV2_TIME__speed, hostile && r.Chance(300)              ? speeds[r.Below(5)]
                                   : (flags & kVstTransportPlaying) != 0 ? 1.0
                                                                         : 0.0);
        }
        if ((flags & kVstTempoValid) != 0)
            field(LV2_TIME__beatsPerMinute, s.tempo);
        if ((flags & kVstPpqPosValid) != 0)
            field(LV2_TIME__barBeat, std::isfinite(s.ppqPos) ? std::fmod(s.ppqPos, 4.0) : s.ppqPos);
        if ((flags & kVstBarsValid) != 0)
            field(LV2_TIME__bar, std::floor(s.ppqPos / 4.0));
        if ((flags & kVstTimeSigValid) != 0) {
            field(LV2_TIME__beatsPerBar, 4.0);
            field(LV2_TIME__beatUnit, 4.0);
        }
        lv2_atom_forge_pop(&forge, &frame);
        return true;
    });
}

std::vector<std::uint64_t> Lv2Session::Impl::timePosition(double tempo, bool playing, std::int64_t frame) {
    return forged(urids, [&](LV2_Atom_Forge& forge) {
        LV2_Atom_Forge_Frame object;
        lv2_atom_forge_object(&forge, &object, 0, urids.Map(LV2_TIME__Position));
        lv2_atom_forge_key(&forge, urids.Map(LV2_TIME__frame));
        lv2_atom_forge_long(&forge, frame);
        lv2_atom_forge_key(&forge, urids.Map(LV2_TIME__speed));
        lv2_atom_forge_float(&forge, playing ? 1.0f : 0.0f);
        lv2_atom_forge_key(&forge, urids.Map(LV2_TIME__beatsPerMinute));
        lv2_atom_forge_float(&forge, static_cast<float>(tempo));
        lv2_atom_forge_pop(&forge, &object);
        return true;
    });
}

void Lv2Session::Impl::queueTime(const Step& s) {
    if (s.time == TimeMode::Absent)
        return; // nothing new: LV2 hosts send a position only when something changed
    pending.push_back({s.seed, timePosition(s), std::nullopt, false});
}

void Lv2Session::Impl::queueMessage(const Step& s) {
    const std::string name = TextFromSeed(s.seed);
    const LV2_URID nameKey = urids.Map(lv2::kProgramNameKey);
    std::optional<std::string> renames;
    std::vector<std::uint64_t> atom = forged(urids, [&](LV2_Atom_Forge& forge) {
        if (s.message == Lv2Message::NotAnObject)
            return lv2_atom_forge_float(&forge, 1.0f) != 0;
        const char* type = s.message == Lv2Message::Panic           ? lv2::kPanicUri
                           : s.message == Lv2Message::ProgramName   ? lv2::kProgramNameUri
                           : s.message == Lv2Message::UnknownObject ? kUnknownUri
                                                                    : lv2::kPresetLoadedUri;
        LV2_Atom_Forge_Frame frame;
        lv2_atom_forge_object(&forge, &frame, 0, urids.Map(type));
        if (s.message == Lv2Message::PresetLoaded || s.message == Lv2Message::ProgramName ||
            s.message == Lv2Message::UnknownObject) {
            lv2_atom_forge_key(&forge, nameKey);
            lv2_atom_forge_string(&forge, name.c_str(), static_cast<std::uint32_t>(name.size()));
        } else if (s.message == Lv2Message::NameNotText) {
            lv2_atom_forge_key(&forge, nameKey);
            lv2_atom_forge_int(&forge, 42);
        }
        lv2_atom_forge_pop(&forge, &frame);
        return true;
    });
    if (s.message == Lv2Message::PresetLoaded || s.message == Lv2Message::ProgramName)
        renames = name;
    pending.push_back({s.seed, std::move(atom), renames, true});
}

std::optional<Finding> Lv2Session::Impl::state(const Step& s) {
    const void* data = nullptr;
    if (d.extension_data != nullptr)
        if (auto f = call(false, "extension_data", [&] { data = d.extension_data(LV2_STATE__interface); }))
            return f;
    const auto* interface = static_cast<const LV2_State_Interface*>(data);
    if (interface == nullptr)
        return std::nullopt;
    if (interface->save == nullptr || interface->restore == nullptr)
        return Finding{FindingKind::BadAnswer, "the state interface lacks save or restore"};
    const LV2_URID nameKey = urids.Map(lv2::kProgramNameKey);
    const LV2_URID atomString = urids.Map(LV2_ATOM__String);
    const auto save = [&](std::vector<Property>& into, const char* after) -> std::optional<Finding> {
        StateStore store{&urids, atomString, {}, {}};
        if (auto f = call(false, "save", [&] {
                interface->save(main->handle, storeProperty, &store, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE,
                                main->features.data());
            }))
            return f;
        if (!store.problem.empty())
            return Finding{FindingKind::BadAnswer, std::string("save ") + after + " " + store.problem};
        into = std::move(store.properties);
        if (!main->setup.map)
            return std::nullopt;
        for (const Property& p : into) {
            if (p.key != nameKey || p.type != atomString)
                continue;
            const std::string saved = text(p.value);
            if (saved.size() > kLv2ProgramNameBytes)
                return Finding{FindingKind::BadAnswer,
                               std::string("save ") + after + " stored a program name of " +
                                   std::to_string(saved.size()) + " bytes, more than " +
                                   std::to_string(kLv2ProgramNameBytes)};
            if (programName && (programName->compare(0, saved.size(), saved) != 0 ||
                                (programName->size() <= kLv2ProgramNameBytes && saved != *programName)))
                return Finding{FindingKind::BadAnswer, std::string("save ") + after +
                                                           " stored the program name \"" + saved +
                                                           "\" where it was named \"" + *programName + "\""};
        }
        return std::nullopt;
    };
    const auto restore = [&](const std::vector<Property>& from) {
        return call(false, "restore", [&] {
            interface->restore(main->handle, retrieveProperty, const_cast<std::vector<Property>*>(&from), 0,
                               main->features.data());
        });
    };

    ++counts.states;
    std::vector<Property> saved;
    if (auto f = save(saved, "of the instance"))
        return f;
    std::vector<Property> restored;
    switch (s.state) {
    case Lv2State::RoundTrip:
        restored = saved;
        break;
    case Lv2State::Empty:
        break; // a host resetting the plug-in: the name stays as it is
    case Lv2State::Hostile: {
        Random r(s.seed);
        const std::uint32_t which = r.Below(5);
        std::string name = which == 2 ? std::string(1000, 'x') + TextFromSeed(s.seed) : TextFromSeed(s.seed);
        if (name.empty())
            name = "Unnamed"; // an empty one comes below, with its NUL
        Property p{nameKey, atomString, LV2_STATE_IS_POD,
                   std::vector<std::uint8_t>(name.begin(), name.end())};
        if (which == 0) {
            p.type = urids.Map(LV2_ATOM__Int); // a number is no name: the name stays
            p.value.assign(4, 7);
        } else if (which != 1) {
            p.value.push_back(0); // which 1: the string lacks its terminating NUL
        }
        if (which == 3) {
            p.value.assign(1, 0);
            name.clear();
        }
        restored.push_back(p);
        if (which == 4)
            restored.push_back({urids.Map(kUnknownUri), urids.Map(LV2_ATOM__Float), 0, {0, 0, 128, 63}});
        if (which != 0 && main->setup.map)
            programName = name;
        break;
    }
    }
    if (auto f = restore(restored))
        return f;
    if (s.state == Lv2State::RoundTrip && main->setup.map)
        for (const Property& p : saved)
            if (p.key == nameKey && p.type == atomString)
                programName = text(p.value);
    std::vector<Property> again;
    if (auto f = save(again, "after a restore"))
        return f;
    if (s.state != Lv2State::RoundTrip)
        return std::nullopt;
    const auto same = [](const Property& a, const Property& b) {
        return a.key == b.key && a.type == b.type && a.value == b.value;
    };
    if (!std::equal(saved.begin(), saved.end(), again.begin(), again.end(), same))
        return Finding{FindingKind::BadAnswer,
                       "a state saved, restored and saved again differs from the first (" +
                           std::to_string(saved.size()) + " and " + std::to_string(again.size()) +
                           " properties)"};
    return std::nullopt;
}

Lv2Session::Lv2Session(const Lv2Binary& binary, const SessionOptions& options, testhost::EntryPoint vst2)
    : impl_(std::make_unique<Impl>(binary, options, vst2)) {}

Lv2Session::~Lv2Session() = default;

std::optional<Finding> Lv2Session::Start() {
    Impl& s = *impl_;
    // What the plug-in answers for extensions: the state interface, and nothing for one it cannot know.
    if (s.d.extension_data != nullptr) {
        const void* unknown = nullptr;
        if (auto f = s.call(false, "extension_data", [&] { unknown = s.d.extension_data(kUnknownUri); }))
            return f;
        if (unknown != nullptr)
            return Finding{FindingKind::BadRecord,
                           "extension_data answered data for an extension no one defined"};
    }
    Step first;
    first.kind = StepKind::Instantiate;
    first.sampleRate = 44100.0;
    first.frames = 8192;
    first.index = 512;
    first.seed = kNotifyCapacity;
    return s.instantiate(first);
}

std::optional<Finding> Lv2Session::Execute(const Step& step, Role) {
    Impl& s = *impl_;
    ++s.counts.steps;
    const bool needsInstance = step.kind != StepKind::Instantiate && step.kind != StepKind::Sound &&
                               step.kind != StepKind::FloatMode;
    if (needsInstance && (!s.main || s.main->handle == nullptr))
        return std::nullopt;
    std::optional<Finding> f = [&]() -> std::optional<Finding> {
        switch (step.kind) {
        case StepKind::SetParameter:
            // The host writes the port's memory; the plug-in reads it in its next run.
            if (step.index >= 0 && step.index < kLv2Parameters)
                *s.main->at[static_cast<std::size_t>(step.index)] = step.opt;
            return std::nullopt;
        case StepKind::Process:
            return s.process(step);
        case StepKind::Time:
            s.queueTime(step);
            return std::nullopt;
        case StepKind::FloatMode:
            s.mode = step.floatMode;
            return std::nullopt;
        case StepKind::Sound:
            return s.soundStep(step);
        case StepKind::Instantiate:
            return s.instantiate(step);
        case StepKind::Activate:
            return s.activate(step.value != 0);
        case StepKind::Connect:
            return s.connect(step);
        case StepKind::Message:
            s.queueMessage(step);
            return std::nullopt;
        case StepKind::State:
            return s.state(step);
        case StepKind::Dispatch:
        case StepKind::GetParameter:
        case StepKind::Reopen:
        case StepKind::Window:
            return std::nullopt; // a VST 2 host's calls
        }
        return std::nullopt;
    }();
    if (f && (s.options.ignored >> static_cast<int>(f->kind) & 1u) != 0) {
        ++s.counts.ignored[static_cast<std::size_t>(f->kind)];
        f.reset();
    }
    return f;
}

PluginShape Lv2Session::Shape() const {
    return PluginShape{kLv2Parameters, true, true};
}

const SessionCounts& Lv2Session::Counts(Role) const {
    return impl_->counts;
}

} // namespace validate
