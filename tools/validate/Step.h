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
};

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
std::string ToText(const Step& step);
// Reads one line; false with a reason when it is not a step.
bool ParseStep(const std::string& line, Step& step, std::string& error);

// A step list file: one step per line; empty lines and lines starting with # are skipped.
std::string ToText(const std::vector<Step>& steps);
bool ParseSteps(const std::string& text, std::vector<Step>& steps, std::string& error);

} // namespace validate
