// The entry point's factory of the mutant plug-in binary, built for the validator's mutation test only:
// the shipped effect (without an editor) with one fault planted between the host and the effect,
// chosen when the effect is made by the environment variable VORELAN_MUTANT. Each fault is one the
// validator must report, scheduled so that a run of the default length meets it:
//
//   allocation      a heap allocation in every 1000th block of each object
//   last-frame-zero the last frame of every block written as 0 (an accumulating call adds nothing)
//   gain            the sound 100 times too loud
//   write-past      a write one frame past the end of the first output
//   float-state     flush-to-zero left switched on after processing
//   nan             one NaN in every block of a multiple of 97 frames
//   parameter-ulp   getParameter of parameter 2 one unit in the last place off
//   frame-unwritten the last frame of processReplacing not written
//
// Unknown or no value: no fault.
#include "plugin/TPlugin.h"
#include "host/PluginFactory.h"

#include <xmmintrin.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

namespace {

using vst2::AEffect;
using vst2::VstInt32;

enum class Fault {
    None,
    Allocation,
    LastFrameZero,
    Gain,
    WritePast,
    FloatState,
    Nan,
    ParameterUlp,
    FrameUnwritten
};

Fault chosenFault() {
    const char* name = std::getenv("VORELAN_MUTANT");
    if (name == nullptr)
        return Fault::None;
    const struct {
        const char* name;
        Fault fault;
    } faults[] = {{"allocation", Fault::Allocation},
                  {"last-frame-zero", Fault::LastFrameZero},
                  {"gain", Fault::Gain},
                  {"write-past", Fault::WritePast},
                  {"float-state", Fault::FloatState},
                  {"nan", Fault::Nan},
                  {"parameter-ulp", Fault::ParameterUlp},
                  {"frame-unwritten", Fault::FrameUnwritten}};
    for (const auto& f : faults)
        if (std::strcmp(name, f.name) == 0)
            return f.fault;
    return Fault::None;
}

const Fault fault = chosenFault();

// The effect's own entry points, and the blocks each object has processed (by record, without
// allocating: a host has few objects at once).
struct Original {
    vst2::AEffectDispatcherProc dispatcher;
    vst2::AEffectProcessProc process;
    vst2::AEffectProcessProc processReplacing;
    vst2::AEffectGetParameterProc getParameter;
};
struct Slot {
    AEffect* record = nullptr;
    unsigned blocks = 0;
};
Original original{};
std::array<Slot, 256> slots;
constexpr int kScratchFrames = 65536;
// Not thread_local: the first use of a loaded module's thread-local storage allocates.
std::array<std::array<float, kScratchFrames>, 2> scratch;

Slot* slotOf(AEffect* record) {
    for (Slot& slot : slots)
        if (slot.record == record)
            return &slot;
    for (Slot& slot : slots)
        if (slot.record == nullptr) {
            slot.record = record;
            return &slot;
        }
    return nullptr;
}

vst2::VstIntPtr mutantDispatcher(AEffect* e, VstInt32 opcode, VstInt32 index, vst2::VstIntPtr value,
                                 void* ptr, float opt) {
    if (opcode == vst2::effClose)
        if (Slot* slot = slotOf(e))
            *slot = Slot{};
    return original.dispatcher(e, opcode, index, value, ptr, opt);
}

float mutantGetParameter(AEffect* e, VstInt32 index) {
    const float value = original.getParameter(e, index);
    return index == 2 ? std::nextafter(value, 2.0f) : value;
}

// The faults that change what a block writes: out holds what the effect wrote (replacing) or would
// add (accumulating); before holds, per channel, what the last frame held before the call.
void spoil(float** out, int channels, VstInt32 frames, bool replacing, const float* before) {
    if (frames <= 0)
        return;
    for (int c = 0; c < channels; ++c) {
        float* channel = out[c];
        switch (fault) {
        case Fault::LastFrameZero:
            channel[frames - 1] = 0.0f;
            break;
        case Fault::Gain:
            for (VstInt32 i = 0; i < frames; ++i)
                channel[i] *= 100.0f;
            break;
        case Fault::FrameUnwritten:
            if (replacing)
                channel[frames - 1] = before[c];
            break;
        default:
            break;
        }
    }
}

void run(AEffect* e, float** in, float** out, VstInt32 frames, bool replacing) {
    Slot* slot = slotOf(e);
    const unsigned blocks = slot != nullptr ? ++slot->blocks : 0;
    const int channels = std::min(e->numOutputs, 2);
    float before[2] = {};
    for (int c = 0; c < channels && frames > 0; ++c)
        before[c] = out[c][frames - 1];
    if (fault == Fault::Allocation && blocks % 1000 == 0) {
        // Heap memory the optimiser cannot leave out.
        void* volatile memory = ::operator new(64);
        ::operator delete(memory);
    }
    if (replacing || frames > kScratchFrames || e->numOutputs > 2) {
        original.processReplacing == nullptr || !replacing ? original.process(e, in, out, frames)
                                                           : original.processReplacing(e, in, out, frames);
        spoil(out, channels, frames, replacing, before);
    } else {
        // Accumulating: the effect's sound into scratch, spoilt there, then added to the host's bus as
        // the effect adds it.
        float* sound[2] = {scratch[0].data(), scratch[1].data()};
        original.processReplacing(e, in, sound, frames);
        // In the effect's own floating-point state, as the effect adds.
        const unsigned host = _mm_getcsr();
        _mm_setcsr(0x1F80u);
        spoil(sound, channels, frames, false, before);
        for (int c = 0; c < channels; ++c)
            for (VstInt32 i = 0; i < frames; ++i)
                out[c][i] = out[c][i] + sound[c][i];
        _mm_setcsr(host);
    }
    if (frames > 0 && fault == Fault::WritePast)
        out[0][frames] = 0.0f;
    if (frames > 0 && fault == Fault::Nan && frames % 97 == 0)
        out[0][0] = std::numeric_limits<float>::quiet_NaN();
    if (fault == Fault::FloatState)
        _mm_setcsr(_mm_getcsr() | 0x8000u);
}

void mutantProcess(AEffect* e, float** in, float** out, VstInt32 frames) {
    run(e, in, out, frames, false);
}

void mutantProcessReplacing(AEffect* e, float** in, float** out, VstInt32 frames) {
    run(e, in, out, frames, true);
}

} // namespace

namespace host {

AudioEffect* CreateEffectInstance(vst2::audioMasterCallback audioMaster) {
    try {
        auto* effect = new plugin::TPlugin(audioMaster, nullptr);
        AEffect* record = effect->getAeffect();
        original = {record->dispatcher, record->process, record->processReplacing, record->getParameter};
        if (fault == Fault::None)
            return effect;
        record->dispatcher = mutantDispatcher;
        record->process = mutantProcess;
        record->processReplacing = mutantProcessReplacing;
        if (fault == Fault::ParameterUlp)
            record->getParameter = mutantGetParameter;
        return effect;
    } catch (...) {
        return nullptr;
    }
}

} // namespace host
