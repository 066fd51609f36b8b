#include "tools/validate/StepGenerator.h"

#include "lv2/Lv2Contract.h"
#include "tools/validate/Opcodes.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>

namespace validate {

namespace {

using namespace vst2;

constexpr double kSaneRates[] = {8000,  11025, 16000, 22050,  32000,  44100,
                                 48000, 88200, 96000, 176400, 192000, 384000};
constexpr VstInt32 kBlockSizes[] = {1, 16, 32, 64, 128, 256, 441, 512, 1024, 2048, 4096, 8192};
// Flags real hosts report: playing with everything valid, stopped, tempo and bars only, and so on.
constexpr VstInt32 kHostFlags[] = {0x2e03, 0x2e01, 0x2400, 0x0602, 0x0600, 0x2e07, 0x2e0b, 0x0400, 0x0002, 0};
// Opcodes hosts send all the time, drawn more often than the others.
constexpr VstInt32 kFrequentOpcodes[] = {effGetParamName,
                                         effGetParamDisplay,
                                         effGetParamLabel,
                                         effGetProgramName,
                                         effSetProgramName,
                                         effSetSampleRate,
                                         effSetBlockSize,
                                         effMainsChanged,
                                         effEditIdle,
                                         effProcessEvents,
                                         effCanDo,
                                         effGetProgramNameIndexed,
                                         effGetInputProperties,
                                         effGetOutputProperties,
                                         effEditGetRect,
                                         effSetProgram,
                                         effGetChunk,
                                         effSetChunk,
                                         effEditKeyDown,
                                         effStartProcess,
                                         effStopProcess};

template <typename T, std::size_t N> T pick(Random& random, const T (&values)[N]) {
    return values[random.Below(static_cast<std::uint32_t>(N))];
}

} // namespace

StepGenerator::StepGenerator(std::uint64_t seed, const PluginShape& shape) : random_(seed), shape_(shape) {}

Step StepGenerator::Next() {
    if (pending_.empty()) {
        if (random_.Chance(28))
            shape_.lv2 ? queueLv2Sequence() : queueSequence();
        else
            pending_.push_back(shape_.lv2 ? singleLv2() : single());
    }
    if (pending_.empty())
        pending_.push_back(shape_.lv2 ? singleLv2() : single());
    Step step = pending_.front();
    pending_.pop_front();
    return step;
}

Step StepGenerator::single() {
    if (random_.Chance(15))
        return sound();
    const std::uint32_t roll = random_.Below(1000);
    if (roll < 260)
        return process(anyCall(), frames());
    if (roll < 460)
        return setParameter();
    if (roll < 530) {
        Step s;
        s.kind = StepKind::GetParameter;
        s.index = parameterIndex();
        return s;
    }
    if (roll < 930) {
        const std::uint32_t choice = random_.Below(100);
        if (choice < 25)
            return dispatch(pick(random_, kFrequentOpcodes));
        if (choice < 95) {
            // Any known opcode but effClose, which only a reload sends.
            const VstInt32 opcode = static_cast<VstInt32>(random_.Below(kLastKnownOpcode)) + 2;
            return dispatch(opcode == kLastKnownOpcode + 1 ? effOpen : opcode);
        }
        const VstInt32 unknown[] = {kLastKnownOpcode + 1,
                                    100,
                                    255,
                                    -1,
                                    INT32_MIN,
                                    INT32_MAX,
                                    static_cast<VstInt32>(random_.Between(78, 4096))};
        return dispatch(pick(random_, unknown));
    }
    if (roll < 970) {
        const std::uint32_t mode = random_.Below(10);
        return time(mode == 0  ? TimeMode::Absent
                    : mode < 8 ? TimeMode::Sane
                               : TimeMode::Hostile,
                    sampleRate(false));
    }
    if (roll < 998)
        return floatMode();
    Step s;
    s.kind = StepKind::Reopen;
    const std::int64_t versions[] = {2400, 2400, 2400, 2300, 1, 0, -1, INT32_MAX};
    s.value = pick(random_, versions);
    return s;
}

Step StepGenerator::floatMode() {
    Step s;
    s.kind = StepKind::FloatMode;
    const FloatMode modes[] = {FloatMode::Default,   FloatMode::Default,   FloatMode::Unmasked,
                               FloatMode::RoundDown, FloatMode::RoundZero, FloatMode::FlushToZero};
    s.floatMode = pick(random_, modes);
    return s;
}

void StepGenerator::queueUnderHostileFloatMode() {
    Step mode;
    mode.kind = StepKind::FloatMode;
    mode.floatMode = random_.Chance(600) ? FloatMode::Unmasked : FloatMode::RoundZero;
    pending_.push_back(mode);
    for (int n = static_cast<int>(random_.Between(3, 10)); n > 0; --n)
        pending_.push_back(shape_.lv2 ? singleLv2() : single());
    mode.floatMode = FloatMode::Default;
    pending_.push_back(mode);
}

void StepGenerator::queueSequence() {
    auto push = [this](Step s) { pending_.push_back(s); };
    auto op = [this](VstInt32 opcode, std::int64_t value = 0, float opt = 0.0f) {
        Step s = dispatch(opcode);
        s.index = 0;
        s.value = value;
        s.opt = opt;
        s.pointer = FindOpcode(opcode)->argument == Argument::None ? Pointer::Null : Pointer::Valid;
        return s;
    };
    switch (random_.Below(8)) {
    case 0: { // a host starting the effect
        const double rate = sampleRate(false);
        push(op(effOpen));
        push(op(effSetSampleRate, 0, static_cast<float>(rate)));
        push(op(effSetBlockSize, pick(random_, kBlockSizes)));
        push(op(effMainsChanged, 1));
        push(time(TimeMode::Sane, rate));
        break;
    }
    case 1: { // a new sample rate, with or without switching the effect off around it
        const double rate = sampleRate(random_.Chance(150));
        const bool suspend = random_.Chance(700);
        if (suspend)
            push(op(effMainsChanged, 0));
        push(op(effSetSampleRate, 0, static_cast<float>(rate)));
        push(time(TimeMode::Sane, rate));
        if (suspend)
            push(op(effMainsChanged, 1));
        break;
    }
    case 2: { // a run of blocks of one size, with some automation between them
        const ProcessCall call = anyCall();
        const VstInt32 size = random_.Chance(900) ? static_cast<VstInt32>(random_.Between(1, 512)) : frames();
        for (int n = static_cast<int>(random_.Between(4, 48)); n > 0; --n) {
            Step block = process(call, size);
            if (block.signal == Signal::NonFinite || block.signal == Signal::Huge)
                block.signal = Signal::Noise;
            push(block);
            if (random_.Chance(150))
                push(setParameter());
        }
        break;
    }
    case 3: // a parameter sweep
        for (int n = static_cast<int>(random_.Between(5, 60)); n > 0; --n)
            push(setParameter());
        break;
    case 4: { // an editor session while audio runs
        // The host closes its frame first (the editor's window goes with it), then idles the editor.
        const auto destroyWindow = [&](int fewestIdles) {
            Step destroy;
            destroy.kind = StepKind::Window;
            push(destroy);
            for (int n = static_cast<int>(random_.Between(fewestIdles, 5)); n > 0; --n)
                push(op(effEditIdle));
        };
        push(op(effEditGetRect));
        push(op(effEditOpen));
        if (random_.Chance(100)) {
            // At once: the editor's first picture comes after its window.
            destroyWindow(1);
            push(op(effEditClose));
            break;
        }
        push(op(effEditGetRect));
        for (int n = static_cast<int>(random_.Between(2, 24)); n > 0; --n) {
            const std::uint32_t what = random_.Below(100);
            if (what < 60)
                push(op(effEditIdle));
            else if (what < 85)
                push(process(anyCall(), static_cast<VstInt32>(random_.Between(1, 256))));
            else if (what < 95)
                push(setParameter());
            else
                push(dispatch(effEditKeyDown));
        }
        if (random_.Chance(100)) {
            push(op(effEditOpen));
            push(op(effEditClose));
        }
        if (random_.Chance(250))
            destroyWindow(0);
        if (random_.Chance(900))
            push(op(effEditClose));
        if (random_.Chance(150)) {
            // An open with a handle that names no window.
            Step bogus = op(effEditOpen);
            bogus.pointer = Pointer::Bogus;
            push(bogus);
            push(op(effEditIdle));
            push(op(effEditClose));
        }
        break;
    }
    case 5: // switching off and on, stopping and starting
        push(op(effMainsChanged, 0));
        push(op(effStopProcess));
        if (random_.Chance(300))
            push(op(effMainsChanged, 0));
        push(op(effSetBlockSize, pick(random_, kBlockSizes)));
        push(op(effStartProcess));
        push(op(effMainsChanged, 1));
        break;
    case 6: // calls under the floating-point state of a hostile host
        queueUnderHostileFloatMode();
        break;
    default: // the program and its name
        push(dispatch(effSetProgramName));
        push(op(effGetProgramName));
        push(op(effGetProgramNameIndexed));
        push(op(effSetProgram, random_.Chance(800) ? 0 : hostileInteger()));
        break;
    }
}

Step StepGenerator::singleLv2() {
    if (random_.Chance(15))
        return sound();
    const std::uint32_t roll = random_.Below(1000);
    if (roll < 330)
        return process(ProcessCall::Replacing, frames());
    if (roll < 560)
        return setParameter();
    if (roll < 620) {
        const std::uint32_t mode = random_.Below(10);
        return time(mode == 0 ? TimeMode::Absent : mode < 7 ? TimeMode::Sane : TimeMode::Hostile, 44100.0);
    }
    if (roll < 680)
        return message();
    if (roll < 730)
        return connect();
    if (roll < 770)
        return lv2Step(StepKind::Activate, random_.Below(2));
    if (roll < 820)
        return state();
    if (roll < 880)
        return floatMode();
    if (roll < 882)
        return instantiate();
    return process(ProcessCall::Replacing, frames());
}

void StepGenerator::queueLv2Sequence() {
    auto push = [this](Step s) { pending_.push_back(s); };
    // A write of a value a host's own control would send: within the port's range.
    auto portWrite = [this] {
        Step s = setParameter();
        s.index =
            static_cast<VstInt32>(random_.Below(static_cast<std::uint32_t>(std::max(shape_.numParams, 1))));
        s.opt = random_.Unit();
        return s;
    };
    switch (random_.Below(8)) {
    case 0: { // a host starting the plug-in: an instance, its transport, blocks of the nominal length
        const Step made = instantiate();
        push(made);
        push(time(TimeMode::Sane, 44100.0));
        const VstInt32 size = made.index > 0 ? made.index : static_cast<VstInt32>(random_.Between(1, 1024));
        for (int n = static_cast<int>(random_.Between(2, 12)); n > 0; --n)
            push(process(ProcessCall::Replacing, size));
        break;
    }
    case 1: { // a run of blocks of one size, with automation and the transport changing between them
        const VstInt32 size = random_.Chance(900) ? static_cast<VstInt32>(random_.Between(1, 512)) : frames();
        for (int n = static_cast<int>(random_.Between(4, 48)); n > 0; --n) {
            Step block = process(ProcessCall::Replacing, size);
            if (block.signal == Signal::NonFinite || block.signal == Signal::Huge)
                block.signal = Signal::Noise;
            push(block);
            if (random_.Chance(150))
                push(portWrite());
            if (random_.Chance(60))
                push(time(TimeMode::Sane, 44100.0));
        }
        break;
    }
    case 2: // a parameter sweep
        for (int n = static_cast<int>(random_.Between(5, 60)); n > 0; --n)
            push(setParameter());
        break;
    case 3: // a preset chosen in the interface: its name, then its values as port writes, while blocks run
        push(lv2Step(StepKind::Message));
        pending_.back().message = Lv2Message::PresetLoaded;
        pending_.back().seed = seed();
        for (int n = static_cast<int>(random_.Between(5, 60)); n > 0; --n) {
            push(portWrite());
            if (random_.Chance(100))
                push(process(ProcessCall::Replacing, static_cast<VstInt32>(random_.Between(1, 256))));
        }
        push(process(ProcessCall::Replacing, static_cast<VstInt32>(random_.Between(1, 512))));
        break;
    case 4: // switched off and on again, with blocks around
        push(process(ProcessCall::Replacing, frames()));
        push(lv2Step(StepKind::Activate, 0));
        if (random_.Chance(300))
            push(portWrite());
        push(lv2Step(StepKind::Activate, 1));
        push(process(ProcessCall::Replacing, frames()));
        break;
    case 5: // calls under the floating-point state of a hostile host
        queueUnderHostileFloatMode();
        break;
    case 6: // a session saved and loaded again after the program was renamed
        push(lv2Step(StepKind::Message));
        pending_.back().message = Lv2Message::ProgramName;
        pending_.back().seed = seed();
        push(process(ProcessCall::Replacing, static_cast<VstInt32>(random_.Between(1, 256))));
        push(state());
        pending_.back().state = Lv2State::RoundTrip;
        push(process(ProcessCall::Replacing, frames()));
        break;
    default: // the atom ports left unconnected for a while, as simple hosts do, then connected again
        for (const std::uint32_t port : {lv2::kControl, lv2::kNotify}) {
            Step c = lv2Step(StepKind::Connect);
            c.index = static_cast<VstInt32>(port);
            c.pointer = Pointer::Null;
            push(c);
        }
        for (int n = static_cast<int>(random_.Between(2, 10)); n > 0; --n)
            push(random_.Chance(300) ? message() : process(ProcessCall::Replacing, frames()));
        for (const std::uint32_t port : {lv2::kControl, lv2::kNotify}) {
            Step c = lv2Step(StepKind::Connect);
            c.index = static_cast<VstInt32>(port);
            c.pointer = Pointer::Valid;
            push(c);
        }
        break;
    }
}

Step StepGenerator::lv2Step(StepKind kind, std::int64_t value) {
    Step s;
    s.kind = kind;
    s.value = value;
    return s;
}

Step StepGenerator::instantiate() {
    Step s = lv2Step(StepKind::Instantiate);
    s.sampleRate = sampleRate(random_.Chance(80));
    const std::uint32_t roll = random_.Below(100);
    s.frames = roll < 25   ? 0
               : roll < 85 ? pick(random_, kBlockSizes)
                           : static_cast<VstInt32>(random_.Between(1, 8192));
    if (s.frames > 0 && random_.Chance(700))
        s.index = std::min(s.frames, pick(random_, kBlockSizes));
    if (random_.Chance(50))
        s.value |= kInstantiateNoMap;
    if (random_.Chance(100))
        s.value |= kInstantiateAtomsUnconnected;
    // The notify port's buffer: roomy mostly, now and then too small for a message.
    const std::uint32_t small[] = {8, 16, 64, 100, 200};
    s.seed = random_.Chance(800) ? 8192 : pick(random_, small);
    return s;
}

Step StepGenerator::message() {
    Step s = lv2Step(StepKind::Message);
    const std::uint32_t roll = random_.Below(100);
    s.message = roll < 30   ? Lv2Message::Panic
                : roll < 55 ? Lv2Message::PresetLoaded
                : roll < 75 ? Lv2Message::ProgramName
                : roll < 82 ? Lv2Message::PresetLoadedUnnamed
                : roll < 88 ? Lv2Message::NameNotText
                : roll < 94 ? Lv2Message::UnknownObject
                            : Lv2Message::NotAnObject;
    s.seed = seed();
    return s;
}

Step StepGenerator::connect() {
    Step s = lv2Step(StepKind::Connect);
    if (random_.Chance(500)) {
        s.index = static_cast<VstInt32>(
            lv2::ParameterPort(static_cast<int>(random_.Below(lv2::kPortCount - lv2::kFirstParameterPort))));
        s.pointer = Pointer::Valid;
        s.opt = parameterValue();
    } else {
        s.index = static_cast<VstInt32>(random_.Chance(500) ? lv2::kControl : lv2::kNotify);
        s.pointer = random_.Chance(500) ? Pointer::Null : Pointer::Valid;
    }
    return s;
}

Step StepGenerator::state() {
    Step s = lv2Step(StepKind::State);
    const std::uint32_t roll = random_.Below(100);
    s.state = roll < 60 ? Lv2State::RoundTrip : roll < 75 ? Lv2State::Empty : Lv2State::Hostile;
    s.seed = seed();
    return s;
}

Step StepGenerator::dispatch(VstInt32 opcode) {
    Step s;
    s.kind = StepKind::Dispatch;
    s.opcode = opcode;
    s.seed = seed();
    const OpcodeInfo* info = FindOpcode(opcode);
    const Argument argument = info ? info->argument : Argument::Opaque;
    // ptr: what the opcode takes, mostly; null now and then; for opcodes that take nothing, a buffer
    // of the host's or an address that cannot be read.
    const std::uint32_t roll = random_.Below(10);
    if (argument == Argument::ParentWindow)
        s.pointer = roll < 8 ? Pointer::Valid : roll < 9 ? Pointer::Null : Pointer::Bogus;
    else if (argument == Argument::None)
        s.pointer = roll < 5 ? Pointer::Null : roll < 8 ? Pointer::Poison : Pointer::Bogus;
    else if (argument == Argument::Opaque)
        s.pointer = roll < 6 ? Pointer::Null : Pointer::Poison;
    else
        s.pointer = roll < 9 ? Pointer::Valid : Pointer::Null;

    s.index = random_.Chance(800) ? 0 : static_cast<VstInt32>(hostileInteger());
    s.value = random_.Chance(800) ? 0 : hostileInteger();
    s.opt = random_.Chance(800) ? 0.0f : hostileFloat();
    switch (opcode) {
    case effGetParamLabel:
    case effGetParamDisplay:
    case effGetParamName:
    case effCanBeAutomated:
    case effString2Parameter:
    case effGetParameterProperties:
        s.index = parameterIndex();
        break;
    case effSetProgram:
        s.value = random_.Chance(700) ? 0 : hostileInteger();
        break;
    case effGetProgramNameIndexed:
    case effCopyProgram:
        s.index = random_.Chance(700) ? 0 : static_cast<VstInt32>(hostileInteger());
        break;
    case effSetSampleRate:
    case effSetBlockSizeAndSampleRate:
        s.opt = static_cast<float>(sampleRate(random_.Chance(250)));
        s.value = random_.Chance(800) ? pick(random_, kBlockSizes) : hostileInteger();
        break;
    case effSetBlockSize:
        s.value = random_.Chance(800) ? pick(random_, kBlockSizes) : hostileInteger();
        break;
    case effMainsChanged:
    case effSetBypass:
    case effSetProcessPrecision:
        s.value = random_.Chance(900) ? random_.Below(2) : hostileInteger();
        break;
    case effGetInputProperties:
    case effGetOutputProperties:
        s.index = random_.Chance(850) ? static_cast<VstInt32>(random_.Between(-1, 3))
                                      : static_cast<VstInt32>(hostileInteger());
        break;
    case effGetChunk:
    case effSetChunk:
        s.index = static_cast<VstInt32>(random_.Below(2));
        s.value = random_.Between(0, 4096); // the chunk's size, which the host's buffer matches
        break;
    case effEditKeyDown:
    case effEditKeyUp:
        s.index = random_.Chance(800) ? static_cast<VstInt32>(random_.Between(0, 255))
                                      : static_cast<VstInt32>(hostileInteger());
        s.value = random_.Chance(800) ? random_.Between(0, 255) : hostileInteger();
        s.opt = random_.Chance(800) ? static_cast<float>(random_.Between(0, 15)) : hostileFloat();
        break;
    case effOfflineNotify:
    case effOfflinePrepare:
    case effOfflineRun:
        s.value = random_.Below(2); // the number of structures the host hands over
        break;
    default:
        break;
    }
    return s;
}

Step StepGenerator::process(ProcessCall call, VstInt32 frameCount) {
    Step s;
    s.kind = StepKind::Process;
    s.call = call;
    s.frames = frameCount;
    s.seed = seed();
    const Signal signals[] = {Signal::Silence, Signal::Noise,   Signal::Noise,     Signal::Noise,
                              Signal::Tone,    Signal::Tone,    Signal::Loud,      Signal::Denormal,
                              Signal::Dc,      Signal::Impulse, Signal::NonFinite, Signal::NonFinite};
    s.signal = random_.Chance(15) ? Signal::Huge : pick(random_, signals);
    s.inPlace = call == ProcessCall::Replacing && random_.Chance(200);
    return s;
}

Step StepGenerator::sound() {
    Step s;
    s.kind = StepKind::Sound;
    const std::uint32_t length = random_.Below(100);
    s.frames = static_cast<VstInt32>(length < 55   ? random_.Between(1, 1024)
                                     : length < 90 ? random_.Between(1025, 4096)
                                                   : random_.Between(4097, 16384));
    const std::uint32_t program = random_.Below(100);
    if (program < 40) {
        s.value = static_cast<std::int64_t>(random_.Between(1, 1000000));
        s.index = program < 15 ? 0 : static_cast<VstInt32>(random_.Between(1, 8));
    }
    const Signal signals[] = {Signal::Noise,   Signal::Noise, Signal::Tone,   Signal::Tone,
                              Signal::Impulse, Signal::Dc,    Signal::Silence};
    s.signal = pick(random_, signals);
    s.seed = seed();
    return s;
}

Step StepGenerator::setParameter() {
    Step s;
    s.kind = StepKind::SetParameter;
    s.index = parameterIndex();
    s.opt = parameterValue();
    return s;
}

Step StepGenerator::time(TimeMode mode, double rate) {
    Step s;
    s.kind = StepKind::Time;
    s.time = mode;
    s.seed = seed();
    if (mode == TimeMode::Sane) {
        s.sampleRate = rate;
        s.tempo = 20.0 + 0.5 * random_.Below(561);
        s.ppqPos = random_.Below(640000) / 64.0;
        s.timeFlags = pick(random_, kHostFlags);
    } else if (mode == TimeMode::Hostile) {
        s.sampleRate = sampleRate(true);
        const double tempos[] = {0.0, -120.0, std::nan(""), HUGE_VAL, -HUGE_VAL,
                                 1e9, 1e-30,  DBL_MAX,      999999.0, 1e300};
        s.tempo = pick(random_, tempos);
        const double positions[] = {std::nan(""), HUGE_VAL, -1e12, 1e300, -0.5, 0.0, 4.0e15};
        s.ppqPos = pick(random_, positions);
        s.timeFlags = static_cast<VstInt32>(static_cast<std::uint32_t>(random_.Next()));
    }
    return s;
}

VstInt32 StepGenerator::frames() {
    const std::uint32_t roll = random_.Below(1000);
    if (roll < 10) {
        const VstInt32 hostile[] = {0, 0, -1, -4096, INT32_MIN};
        return pick(random_, hostile);
    }
    if (roll < 700)
        return static_cast<VstInt32>(random_.Between(1, 64));
    if (roll < 940)
        return static_cast<VstInt32>(random_.Between(65, 512));
    if (roll < 990)
        return static_cast<VstInt32>(random_.Between(513, 2048));
    return static_cast<VstInt32>(random_.Between(2049, 8192));
}

VstInt32 StepGenerator::parameterIndex() {
    const int count = shape_.numParams;
    const std::uint32_t roll = random_.Below(100);
    if (count > 0 && roll < 85)
        return static_cast<VstInt32>(random_.Below(static_cast<std::uint32_t>(count)));
    if (count > 0 && roll < 90)
        return random_.Chance(500) ? 0 : count - 1;
    const VstInt32 hostile[] = {-1, count, count + 1, INT32_MIN, INT32_MAX, 1000};
    return pick(random_, hostile);
}

float StepGenerator::parameterValue() {
    const std::uint32_t roll = random_.Below(100);
    if (roll < 60)
        return random_.Unit();
    if (roll < 70)
        return static_cast<float>(random_.Below(2));
    return hostileFloat();
}

std::int64_t StepGenerator::hostileInteger() {
    const std::int64_t values[] = {0,      1,     -1, 2,         INT32_MIN, INT32_MAX,
                                   0x7FFF, 65536, -2, INT64_MIN, INT64_MAX, 1000000};
    if (random_.Chance(200))
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(random_.Next()));
    return pick(random_, values);
}

float StepGenerator::hostileFloat() {
    const float values[] = {0.0f,
                            -0.0f,
                            1.0f,
                            -1.0f,
                            std::numeric_limits<float>::quiet_NaN(),
                            -std::numeric_limits<float>::quiet_NaN(),
                            std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity(),
                            FLT_MAX,
                            -FLT_MAX,
                            FLT_MIN,
                            std::numeric_limits<float>::denorm_min(),
                            -0.2f,
                            1.5f,
                            1.0000001f,
                            -1e-30f,
                            1e30f};
    if (random_.Chance(150))
        return random_.Bipolar() * static_cast<float>(1u << random_.Below(24));
    return pick(random_, values);
}

double StepGenerator::sampleRate(bool hostile) {
    if (!hostile)
        return pick(random_, kSaneRates);
    const double values[] = {0.0,     -44100.0, std::nan(""), HUGE_VAL, 1.0,   1e9,
                             FLT_MAX, 1e-30,    7999.5,       400000.0, 4e-45, -0.0};
    return pick(random_, values);
}

ProcessCall StepGenerator::anyCall() {
    return shape_.canReplacing && random_.Chance(500) ? ProcessCall::Replacing : ProcessCall::Accumulating;
}

std::uint32_t StepGenerator::seed() {
    return static_cast<std::uint32_t>(random_.Next() >> 32);
}

std::vector<Step> GenerateSteps(std::uint64_t seed, const PluginShape& shape, std::size_t count) {
    StepGenerator generator(seed, shape);
    std::vector<Step> steps;
    steps.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        steps.push_back(generator.Next());
    return steps;
}

} // namespace validate
