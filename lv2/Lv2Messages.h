#pragma once

#include "engine/EngineValues.h"

#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>
#include <lv2/urid/urid.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace lv2 {

// The numbers the host's urid:map gives the URIs both binaries speak: the atom types, the host's
// time:Position and the messages of the contract (lv2/Lv2Contract.h).
struct Urids {
    explicit Urids(const LV2_URID_Map& map);

    LV2_URID atomBlank, atomObject, atomFloat, atomDouble, atomInt, atomLong, atomBool, atomString,
        atomVector, atomSequence, atomEventTransfer;
    LV2_URID timePosition, timeSpeed, timeBeatsPerMinute;
    LV2_URID editorState, panic, presetLoaded, programName;
    LV2_URID lfoLevels, sampleRate, tempo, programNameKey;
};

// The number an atom carries (atom:Float, Double, Int, Long or Bool), or none for anything else.
std::optional<double> AtomNumber(const Urids& urids, const LV2_Atom* atom) noexcept;

// The object an atom is (atom:Object or atom:Blank, whole within size bytes of body), or null.
const LV2_Atom_Object* AtomObject(const Urids& urids, const LV2_Atom* atom) noexcept;

// What a time:Position says about what the effect uses: the tempo and whether the transport runs.
// A field the host left out stays empty (jalv sends only frame and speed while stopped).
struct TransportChange {
    std::optional<double> tempo;
    std::optional<bool> playing;
};
TransportChange ReadTimePosition(const Urids& urids, const LV2_Atom_Object* position) noexcept;

// EditorState: processor -> interface.
struct EditorStateMessage {
    std::array<float, engine::kLfoCount> lfoLevels{};
    float sampleRate = 0;
    float tempo = 0;
};
// Writes the message as one event at frame into the sequence the forge is writing; false when it does
// not fit (the forge's buffer is then left as it was before the event).
bool WriteEditorState(LV2_Atom_Forge& forge, const Urids& urids, std::int64_t frame,
                      const EditorStateMessage& message) noexcept;
std::optional<EditorStateMessage> ReadEditorState(const Urids& urids, const LV2_Atom* atom) noexcept;

// The program name an object carries under programName (UTF-8, up to its NUL or its size), or none.
std::optional<std::string_view> ObjectProgramName(const Urids& urids, const LV2_Atom_Object* object) noexcept;

// Interface -> processor: an object of type otype (panic, presetLoaded, programName), with the program
// name when given, forged into buffer; the atom, or null when it does not fit.
const LV2_Atom* ForgeMessage(LV2_Atom_Forge& forge, const Urids& urids, LV2_URID otype,
                             std::optional<std::string_view> name, std::uint8_t* buffer,
                             std::uint32_t capacity) noexcept;

} // namespace lv2
