#pragma once

#include <string>

namespace validate {

// What the validator found wrong. The kind decides whether a shorter step list still shows "the
// same" failure while it is shrunk; the message says what happened in this instance.
enum class FindingKind {
    Crash,             // the plug-in ended the process: a signal, an exception, an abort
    Hang,              // a call did not come back
    NoEffect,          // main answered no effect record for a host that answers its version
    BadRecord,         // the effect record is not usable (magic, entry points, counts)
    RecordChanged,     // the record's bytes changed where the interface allows no change
    FloatState,        // the caller's floating-point control state was not given back
    NotFinite,         // an output sample is not a finite number
    OutOfBound,        // an output sample beyond the documented bound
    FrameNotWritten,   // processReplacing left an output frame as it was
    WriteOutside,      // a write before or after the block, or into a host buffer beyond its size
    InputChanged,      // a non-in-place call changed the host's input samples
    ParameterReadBack, // getParameter does not give back the clamped value, or a value outside 0..1
    ParameterChanged,  // a parameter changed that no one set
    BadText,           // a text the plug-in wrote is not terminated inside the host's buffer
    BadAnswer,         // an answer the host cannot use (a rectangle or chunk that is not there)
    Allocation,        // heap memory taken on the audio thread
    ForeignRecord,     // the plug-in called the host with a record that is not its own
    Sound,             // a program sounds different in other blocks or calls than in whole blocks
    Reference,         // the sound strays from the reference engine's by more than rounding
    Editor,            // the editor let a window-system error reach the host, or left its handler
    Vst2Sound,         // the LV2 plug-in sounds different from the VST 2 plug-in for the same calls
};

inline constexpr int kFindingKinds = static_cast<int>(FindingKind::Vst2Sound) + 1;

// A few words for people, and a short name for the command line (--ignore).
const char* KindName(FindingKind kind) noexcept;
const char* KindId(FindingKind kind) noexcept;
bool ParseKind(const std::string& id, FindingKind& kind) noexcept;

// A number as findings print it (as a stream writes a double: six significant digits), and a sample with
// the nine digits that tell every float apart.
std::string Describe(double value);
std::string DescribeSample(float value);

struct Finding {
    FindingKind kind = FindingKind::Crash;
    std::string message;
};

} // namespace validate
