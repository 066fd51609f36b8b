#pragma once

#include "vst2/Vst2.h"

#include <cstddef>

namespace validate {

// What an opcode's ptr carries when a host passes what the interface asks for.
enum class Argument : unsigned char {
    None,         // nothing: the plug-in must not touch ptr
    Opaque,       // unknown to the validator (vendor-specific, unknown opcodes): null or a host buffer
    TextOut,      // a text buffer the plug-in fills, `limit` bytes with the terminating NUL
    TextIn,       // a NUL-terminated text from the host
    Capability,   // a capability string
    ChunkOut,     // a data pointer the plug-in points at its chunk; the answer is its size
    ChunkIn,      // value bytes of chunk data
    RectOut,      // an ERect pointer the plug-in points at its editor's rectangle
    PinOut,       // a VstPinProperties to fill
    Events,       // a VstEvents list
    Structure,    // a structure of `limit` bytes the plug-in may fill (0: it may only read it)
    ParentWindow, // the host's window for the editor
    Speakers,     // value and ptr: the input and output speaker arrangements
    SpeakerSlots, // value and ptr: places for pointers to speaker arrangements
    PatchInfo,    // a VstPatchChunkInfo to read
};

struct OpcodeInfo {
    vst2::VstInt32 opcode;
    const char* name;
    Argument argument;
    int limit;
};

// Longest texts, terminating NUL included, that the interface lets a plug-in write into a host's
// buffer. Parameter texts get more than the nominal 8 characters: hosts give larger buffers in
// practice, and plug-ins (this one included) write full names such as "ModDelAmp1".
inline constexpr int kProgramNameBytes = 24;
inline constexpr int kParameterTextBytes = 32;
inline constexpr int kEffectNameBytes = 32;
inline constexpr int kVendorTextBytes = 64;
inline constexpr int kErrorTextBytes = 256;
inline constexpr int kShellNameBytes = 64;

// Every opcode from effOpen to effSetProcessPrecision, in order (the table's index is the opcode).
const OpcodeInfo* FindOpcode(vst2::VstInt32 opcode) noexcept;
inline constexpr vst2::VstInt32 kLastKnownOpcode = vst2::effSetProcessPrecision;

// Opcodes that change what the parameters read (a program, a chunk, a text turned into a value):
// after them the host reads every parameter again.
bool MayChangeParameters(vst2::VstInt32 opcode) noexcept;
// Opcodes a host sends from its audio thread, while its other threads go on calling the plug-in.
bool IsAudioThreadOpcode(vst2::VstInt32 opcode) noexcept;
bool IsEditorOpcode(vst2::VstInt32 opcode) noexcept;
// Opcodes that start, stop or reconfigure processing (open, sample rate, block size, switching on
// and off, pins): a host sends them while no other of its threads calls the plug-in.
bool IsLifecycleOpcode(vst2::VstInt32 opcode) noexcept;

} // namespace validate
