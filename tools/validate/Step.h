#pragma once

#include "vst2/Vst2.h"

#include <cstdint>
#include <string>
#include <vector>

namespace validate {

// One thing a host does to the plug-in. A step is plain data: a list of steps can be printed, read
// back, replayed on a fresh plug-in object and cut down while a failure persists.
enum class StepKind : std::uint8_t {
    Dispatch,     // a dispatcher call: opcode, index, value, opt and what ptr carries
    SetParameter, // setParameter(index, opt), then getParameter(index)
    GetParameter, // getParameter(index)
    Process,      // one block through process or processReplacing
    Time,         // what audioMasterGetTime answers from now on
    FloatMode,    // the floating-point state the host calls the plug-in with from now on
    Reopen,       // effClose, then main again with the host's version answer in value
    Sound,        // a stretch of sound through the long-lived objects, compared with whole blocks
    Window,       // the host destroys the window it gives editors; the next open gets a new one
    // An LV2 host's own calls (a VST 2 session passes them over, as an LV2 session passes over dispatcher
    // calls, parameter reads, reloads and windows):
    Instantiate, // deactivate and clean up the instance, then instantiate, connect and activate a new one
    Activate,    // activate (value 1) or deactivate (value 0), when it is not so already
    Connect, // connect_port: a control or atom port to other memory of the host's, or an atom port to null
    Message, // a message of the interface on the control port, delivered in the next run
    State,   // save the state through the state interface, then restore a state
};

// The messages of the interface an LV2 session sends, and some a broken interface or host might send.
enum class Lv2Message : std::uint8_t {
    Panic,
    PresetLoaded,        // with a program name
    ProgramName,         // with a program name
    PresetLoadedUnnamed, // without one
    NameNotText,         // a program name that is a number
    UnknownObject,       // an object of a type the plug-in does not know
    NotAnObject,         // a bare number
};

// Which state an LV2 session's state step restores after saving one.
enum class Lv2State : std::uint8_t {
    RoundTrip, // what was saved, which must then save again the same
    Empty,     // no properties at all
    Hostile,   // a program name of another type, without its end, far too long or empty
};

// What the value of an instantiate step leaves out of the host's offer.
inline constexpr std::int64_t kInstantiateNoMap = 1;            // no urid:map (and so no atoms at all)
inline constexpr std::int64_t kInstantiateAtomsUnconnected = 2; // the atom ports start unconnected

// What a dispatcher call passes in ptr.
enum class Pointer : std::uint8_t {
    Null,
    Bogus,  // an address that cannot be read, for opcodes that take no pointer
    Poison, // a host buffer the opcode has no business touching
    Valid,  // what the opcode takes: a text buffer, a structure, a window, ...
};

enum class ProcessCall : std::uint8_t { Accumulating, Replacing };

// The input signal of a block; every sample comes from the step's seed.
enum class Signal : std::uint8_t { Silence, Noise, Tone, Loud, Denormal, Dc, Impulse, NonFinite, Huge };

enum class TimeMode : std::uint8_t { Absent, Sane, Hostile };

enum class FloatMode : std::uint8_t {
    Default,     // everything masked, round to nearest: the validator's own state
    Unmasked,    // invalid, division by zero and overflow trap, as in hosts written in some languages
    RoundDown,   // rounding toward minus infinity
    RoundZero,   // rounding toward zero
    FlushToZero, // FTZ and DAZ already on
};

struct Step {
    StepKind kind = StepKind::Dispatch;
    // Dispatch: all five. SetParameter: index, opt (the value). GetParameter: index.
    // Reopen: value (the answer to audioMasterVersion). Sound: value (the seed of a program written
    // first, 0 for none), index (how many of its parameters are written; 0 for all), frames, signal
    // and seed (the block partition, the calls and the input).
    vst2::VstInt32 opcode = 0;
    vst2::VstInt32 index = 0;
    std::int64_t value = 0;
    float opt = 0.0f;
    Pointer pointer = Pointer::Null;
    // Process.
    ProcessCall call = ProcessCall::Accumulating;
    vst2::VstInt32 frames = 0;
    Signal signal = Signal::Silence;
    bool inPlace = false;
    // Time.
    TimeMode time = TimeMode::Sane;
    double sampleRate = 44100.0;
    double tempo = 120.0;
    double ppqPos = 0.0;
    vst2::VstInt32 timeFlags = 0;
    // FloatMode.
    FloatMode floatMode = FloatMode::Default;
    // Instantiate: sampleRate, frames (the announced maximum block length, 0 for none), index (the
    // nominal block length, 0 for none), value (kInstantiate... flags), seed (the bytes of the notify
    // port's buffer). Connect: index (the port),
    // pointer (Null or Valid), opt (a control port's value in its new memory). Message: message, and seed
    // (its frame in the block and its name). State: state, and seed (a hostile state).
    Lv2Message message = Lv2Message::Panic;
    Lv2State state = Lv2State::RoundTrip;
    // Contents of what the step hands over: input samples, texts, chunks, events.
    std::uint32_t seed = 0;
};

// One line per step, as `vorelan validate` prints and reads them:
//   dispatch effSetSampleRate index=0 value=0 opt=48000 ptr=null seed=7
//   set 12 nan                  get 12
//   process replacing frames=64 signal=noise seed=9 in-place
//   time sane rate=48000 tempo=120 ppq=0 flags=0x2e03      time absent
//   fpu unmasked                reopen version=2400
//   sound frames=900 program=77 writes=0 signal=tone seed=5           window destroy
//   instantiate rate=48000 max=4096 nominal=512 map=yes atoms=connected notify=8192
//   activate                    deactivate                  connect port=17 ptr=arg value=0.25
//   message preset-loaded seed=3                            state round-trip
std::string ToText(const Step& step);
// Reads one line; false with a reason when it is not a step.
bool ParseStep(const std::string& line, Step& step, std::string& error);

// A step list file: one step per line; empty lines and lines starting with # are skipped.
std::string ToText(const std::vector<Step>& steps);
bool ParseSteps(const std::string& text, std::vector<Step>& steps, std::string& error);

} // namespace validate
