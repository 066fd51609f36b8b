#include "lv2/Lv2Messages.h"

#include "lv2/Lv2Contract.h"

#include <lv2/atom/util.h>
#include <lv2/time/time.h>

#include <cstring>

namespace lv2 {

namespace {

LV2_URID mapped(const LV2_URID_Map& map, const char* uri) {
    return map.map(map.handle, uri);
}

// The forge's position and the sizes of the containers it is writing (the sequence), to take back an
// event that did not fit whole: every write grows the containers' sizes.
class ForgeMark {
public:
    explicit ForgeMark(LV2_Atom_Forge& forge) : forge_(forge), offset_(forge.offset) {
        for (const LV2_Atom_Forge_Frame* frame = forge.stack; frame != nullptr && depth_ < kDepth;
             frame = frame->parent)
            sizes_[depth_++] = lv2_atom_forge_deref(&forge, frame->ref)->size;
    }
    void Rewind() const {
        forge_.offset = offset_;
        int k = 0;
        for (const LV2_Atom_Forge_Frame* frame = forge_.stack; frame != nullptr && k < depth_;
             frame = frame->parent)
            lv2_atom_forge_deref(&forge_, frame->ref)->size = sizes_[k++];
    }

private:
    static constexpr int kDepth = 4;
    LV2_Atom_Forge& forge_;
    std::uint32_t offset_;
    std::array<std::uint32_t, kDepth> sizes_{};
    int depth_ = 0;
};

} // namespace

Urids::Urids(const LV2_URID_Map& map)
    : atomBlank(mapped(map, LV2_ATOM__Blank)), atomObject(mapped(map, LV2_ATOM__Object)),
      atomFloat(mapped(map, LV2_ATOM__Float)), atomDouble(mapped(map, LV2_ATOM__Double)),
      atomInt(mapped(map, LV2_ATOM__Int)), atomLong(mapped(map, LV2_ATOM__Long)),
      atomBool(mapped(map, LV2_ATOM__Bool)), atomString(mapped(map, LV2_ATOM__String)),
      atomVector(mapped(map, LV2_ATOM__Vector)), atomSequence(mapped(map, LV2_ATOM__Sequence)),
      atomEventTransfer(mapped(map, LV2_ATOM__eventTransfer)), timePosition(mapped(map, LV2_TIME__Position)),
      timeSpeed(mapped(map, LV2_TIME__speed)), timeBeatsPerMinute(mapped(map, LV2_TIME__beatsPerMinute)),
      editorState(mapped(map, kEditorStateUri)), panic(mapped(map, kPanicUri)),
      presetLoaded(mapped(map, kPresetLoadedUri)), programName(mapped(map, kProgramNameUri)),
      lfoLevels(mapped(map, kLfoLevelsKey)), sampleRate(mapped(map, kSampleRateKey)),
      tempo(mapped(map, kTempoKey)), programNameKey(mapped(map, kProgramNameKey)) {}

std::optional<double> AtomNumber(const Urids& urids, const LV2_Atom* atom) noexcept {
    if (atom == nullptr)
        return std::nullopt;
    const void* body = atom + 1;
    const auto fits = [atom](std::size_t size) { return atom->size >= size; };
    if (atom->type == urids.atomFloat && fits(sizeof(float)))
        return *static_cast<const float*>(body);
    if (atom->type == urids.atomDouble && fits(sizeof(double)))
        return *static_cast<const double*>(body);
    if ((atom->type == urids.atomInt || atom->type == urids.atomBool) && fits(sizeof(std::int32_t)))
        return *static_cast<const std::int32_t*>(body);
    if (atom->type == urids.atomLong && fits(sizeof(std::int64_t)))
        return static_cast<double>(*static_cast<const std::int64_t*>(body));
    return std::nullopt;
}

const LV2_Atom_Object* AtomObject(const Urids& urids, const LV2_Atom* atom) noexcept {
    if (atom == nullptr || (atom->type != urids.atomObject && atom->type != urids.atomBlank) ||
        atom->size < sizeof(LV2_Atom_Object_Body))
        return nullptr;
    return reinterpret_cast<const LV2_Atom_Object*>(atom);
}

TransportChange ReadTimePosition(const Urids& urids, const LV2_Atom_Object* position) noexcept {
    const LV2_Atom* speed = nullptr;
    const LV2_Atom* tempo = nullptr;
    lv2_atom_object_get(position, urids.timeSpeed, &speed, urids.timeBeatsPerMinute, &tempo, 0);
    TransportChange change;
    change.tempo = AtomNumber(urids, tempo);
    if (const std::optional<double> value = AtomNumber(urids, speed))
        change.playing = *value != 0.0;
    return change;
}

bool WriteEditorState(LV2_Atom_Forge& forge, const Urids& urids, std::int64_t frame,
                      const EditorStateMessage& message) noexcept {
    const ForgeMark mark(forge);
    LV2_Atom_Forge_Frame object;
    bool written = lv2_atom_forge_frame_time(&forge, frame) != 0 &&
                   lv2_atom_forge_object(&forge, &object, 0, urids.editorState) != 0;
    if (written) {
        written = lv2_atom_forge_key(&forge, urids.lfoLevels) != 0 &&
                  lv2_atom_forge_vector(&forge, sizeof(float), urids.atomFloat,
                                        static_cast<std::uint32_t>(message.lfoLevels.size()),
                                        message.lfoLevels.data()) != 0 &&
                  lv2_atom_forge_key(&forge, urids.sampleRate) != 0 &&
                  lv2_atom_forge_float(&forge, message.sampleRate) != 0 &&
                  lv2_atom_forge_key(&forge, urids.tempo) != 0 &&
                  lv2_atom_forge_float(&forge, message.tempo) != 0;
        lv2_atom_forge_pop(&forge, &object);
    }
    if (!written)
        mark.Rewind();
    return written;
}

std::optional<EditorStateMessage> ReadEditorState(const Urids& urids, const LV2_Atom* atom) noexcept {
    const LV2_Atom_Object* object = AtomObject(urids, atom);
    if (object == nullptr || object->body.otype != urids.editorState)
        return std::nullopt;
    const LV2_Atom* levels = nullptr;
    const LV2_Atom* rate = nullptr;
    const LV2_Atom* tempo = nullptr;
    lv2_atom_object_get(object, urids.lfoLevels, &levels, urids.sampleRate, &rate, urids.tempo, &tempo, 0);
    EditorStateMessage message;
    if (levels != nullptr && levels->type == urids.atomVector &&
        levels->size >= sizeof(LV2_Atom_Vector_Body)) {
        const auto* vector = reinterpret_cast<const LV2_Atom_Vector*>(levels);
        if (vector->body.child_type == urids.atomFloat && vector->body.child_size == sizeof(float)) {
            const std::size_t count = (levels->size - sizeof(LV2_Atom_Vector_Body)) / sizeof(float);
            const auto* values = reinterpret_cast<const float*>(&vector->body + 1);
            for (std::size_t k = 0; k < message.lfoLevels.size() && k < count; ++k)
                message.lfoLevels[k] = values[k];
        }
    }
    message.sampleRate = static_cast<float>(AtomNumber(urids, rate).value_or(0.0));
    message.tempo = static_cast<float>(AtomNumber(urids, tempo).value_or(0.0));
    return message;
}

std::optional<std::string_view> ObjectProgramName(const Urids& urids,
                                                  const LV2_Atom_Object* object) noexcept {
    const LV2_Atom* name = nullptr;
    lv2_atom_object_get(object, urids.programNameKey, &name, 0);
    if (name == nullptr || name->type != urids.atomString)
        return std::nullopt;
    const char* text = reinterpret_cast<const char*>(name + 1);
    return std::string_view(text, strnlen(text, name->size));
}

const LV2_Atom* ForgeMessage(LV2_Atom_Forge& forge, const Urids& urids, LV2_URID otype,
                             std::optional<std::string_view> name, std::uint8_t* buffer,
                             std::uint32_t capacity) noexcept {
    lv2_atom_forge_set_buffer(&forge, buffer, capacity);
    LV2_Atom_Forge_Frame object;
    const LV2_Atom_Forge_Ref ref = lv2_atom_forge_object(&forge, &object, 0, otype);
    bool written = ref != 0;
    if (written && name)
        written = lv2_atom_forge_key(&forge, urids.programNameKey) != 0 &&
                  lv2_atom_forge_string(&forge, name->data(), static_cast<std::uint32_t>(name->size())) != 0;
    if (ref != 0)
        lv2_atom_forge_pop(&forge, &object);
    return written ? reinterpret_cast<const LV2_Atom*>(buffer) : nullptr;
}

} // namespace lv2
