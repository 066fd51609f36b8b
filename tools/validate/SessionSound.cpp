// The sound steps: plug-in objects that live as long as the session, whose output is checked, not only
// bounded. The lasting object renders each stretch in blocks of random sizes through every processing
// call (replacing, replacing in place, accumulating onto the host's bus); the whole object renders the
// same stretch in one call; both have had the same calls since they were made, so the sound must be
// the same bit for bit. Where the reference binary is at hand, a fresh object of the plug-in and one of
// the reference render each program from its start in whole blocks too, and must agree up to rounding.
// When the effect's parameters are known, programs are drawn without the clock-seeded "Random" LFO shape
// (the only thing that makes the effect's sound depend on more than its calls), and a program without
// filters bounds the output by its output gain, mix and the gains of the voices that are on.
#include "tools/validate/SessionImpl.h"

#include "tools/validate/EffectPrograms.h"
#include "tools/validate/FloatState.h"
#include "tools/validate/Random.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <tuple>

namespace validate {

using namespace vst2;

namespace {

constexpr int kMaxSoundFrames = 16384;
// The contract of a plug-in whose engine may round differently from the reference: the difference's
// RMS at least 100 dB below the output's, and its peak below 1e-4 of the output's peak. Judged once a
// program has sounded for this long, and only where there is sound.
constexpr double kReferenceEnergyRatio = 1e-10;
constexpr double kReferencePeakRatio = 1e-4;
constexpr std::uint64_t kReferenceJudgedFrames = 4096;
// Each program is compared from its start for this long (which also bounds the time it costs).
constexpr std::uint64_t kReferenceComparedFrames = 16384;
constexpr double kAudiblePeak = 1e-4;

// A seed for which the host's bus is silent, so an accumulating call gives the sound as it is.
std::uint32_t silentBusSeed() {
    static const std::uint32_t seed = [] {
        std::uint32_t candidate = 0;
        while (!Random(candidate).Chance(700))
            ++candidate;
        return candidate;
    }();
    return seed;
}

} // namespace

struct Session::Impl::Sound {
    SoundObject lasting; // random blocks and calls, never reloaded
    SoundObject whole;   // the same calls, each stretch in one block
    SoundObject fresh;   // where the reference is at hand: this program from its start, whole blocks
    SoundObject reference;
    bool layoutKnown = false;
    std::vector<float> program; // what was written to the objects (NaN: the plug-in's own value)
    double lineBound = 1.0;     // the effect's delay lines hold at most this (see ProgramBound)
    // The reference comparison of the current program.
    double outEnergy = 0.0, differenceEnergy = 0.0, outPeak = 0.0, differencePeak = 0.0;
    std::uint64_t comparedFrames = 0;
    bool strayed = false; // reported once per program
    // One stretch: input, and per object what it gave.
    std::vector<std::vector<float>> input, lastingOut, wholeOut, freshOut, referenceOut;
    struct Call {
        int start, frames;
        ProcessCall call;
        bool inPlace;
        std::vector<std::vector<float>> bus; // what an accumulating call added to
    };
    std::vector<Call> calls;
};

void Session::Impl::SoundDeleter::operator()(Sound* sound) const noexcept {
    delete sound;
}

bool Session::Impl::ownsRecord(const AEffect* record) const {
    if (record == effect)
        return true;
    if (!sound)
        return false;
    return record == sound->lasting.effect || record == sound->whole.effect ||
           record == sound->fresh.effect || record == sound->reference.effect;
}

void Session::Impl::closeSoundObjects() {
    if (!sound)
        return;
    for (SoundObject* object : {&sound->lasting, &sound->whole, &sound->fresh, &sound->reference})
        if (AEffect* e = object->effect) {
            object->effect = nullptr;
            call(Role::Main, false, "effClose", [&] { e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f); });
        }
}

std::optional<Finding> Session::Impl::soundStep(const Step& s) {
    if (!sound) {
        sound.reset(new Sound);
        // The effect whose parameters are known: its programs are drawn, and bound more closely.
        sound->layoutKnown = IsKnownEffect(effect->numParams, [&](int index) {
            char text[64] = {};
            call(Role::Main, false, "effGetParamName",
                 [&] { effect->dispatcher(effect, effGetParamName, index, 0, text, 0.0f); });
            return std::string(text, strnlen(text, sizeof text));
        });
    }
    Sound& so = *sound;
    // Makes an object as a host starts one; a fresh one also gets the program written so far.
    auto make = [&](SoundObject& object, testhost::EntryPoint entryPoint) -> std::optional<Finding> {
        AEffect* made = nullptr;
        creatingOther = true;
        auto created = call(Role::Main, false, "main", [&] { made = entryPoint(&Callback); });
        creatingOther = false;
        if (created)
            return created;
        if (made == nullptr)
            return finding(FindingKind::NoEffect, "main answered no effect record for a sound step's object");
        object = SoundObject{made};
        for (const auto& [opcode, value, opt] :
             {std::tuple{effOpen, 0, 0.0f}, std::tuple{effSetSampleRate, 0, 44100.0f},
              std::tuple{effSetBlockSize, 512, 0.0f}, std::tuple{effMainsChanged, 1, 0.0f}})
            if (auto f = call(Role::Main, false, "dispatcher",
                              [&] { made->dispatcher(made, opcode, 0, value, nullptr, opt); }))
                return f;
        for (std::size_t i = 0; i < so.program.size(); ++i)
            if (!std::isnan(so.program[i]))
                if (auto f = call(Role::Main, true, "setParameter",
                                  [&] { made->setParameter(made, static_cast<VstInt32>(i), so.program[i]); }))
                    return f;
        return std::nullopt;
    };
    // Programs are compared with the reference from their start: the first one, and every fourth
    // whole program after it (by its seed; making the two objects costs more than their sound).
    bool compareFromHere = so.lasting.effect == nullptr;
    if (so.lasting.effect == nullptr) {
        if (auto f = make(so.lasting, entry))
            return f;
        if (auto f = make(so.whole, entry))
            return f;
        so.program.assign(static_cast<std::size_t>(so.lasting.effect->numParams),
                          std::numeric_limits<float>::quiet_NaN());
        if (so.layoutKnown)
            for (int i = 0; i < kEffectParameters; ++i) {
                float value = 0.0f;
                call(Role::Main, false, "getParameter",
                     [&] { value = so.lasting.effect->getParameter(so.lasting.effect, i); });
                so.program[static_cast<std::size_t>(i)] = value;
            }
    }

    // The program: all of it, or some of its parameters (automation between two stretches).
    Random random(s.seed);
    if (s.value != 0 && so.layoutKnown) {
        const std::vector<float> next = EffectProgram(static_cast<std::uint64_t>(s.value));
        std::vector<int> written;
        if (s.index <= 0) {
            for (int i = 0; i < kEffectParameters; ++i)
                written.push_back(i);
        } else {
            for (int k = 0; k < std::min(s.index, kEffectParameters); ++k)
                written.push_back(static_cast<int>(random.Below(kEffectParameters)));
        }
        for (int i : written)
            so.program[static_cast<std::size_t>(i)] = next[static_cast<std::size_t>(i)];
        if (s.index <= 0) {
            for (SoundObject* object : {&so.fresh, &so.reference})
                if (AEffect* e = object->effect) {
                    object->effect = nullptr;
                    call(Role::Main, false, "effClose",
                         [&] { e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f); });
                }
            compareFromHere = s.value % 4 == 0;
        }
        for (SoundObject* object : {&so.lasting, &so.whole, &so.fresh, &so.reference})
            if (AEffect* e = object->effect)
                for (int i : written)
                    if (auto f = call(Role::Main, true, "setParameter", [&] {
                            e->setParameter(e, i, so.program[static_cast<std::size_t>(i)]);
                        }))
                        return f;
    }
    if (options.reference != nullptr && compareFromHere) {
        if (auto f = make(so.fresh, entry))
            return f;
        if (auto f = make(so.reference, options.reference))
            return f;
        so.outEnergy = so.differenceEnergy = so.outPeak = so.differencePeak = 0.0;
        so.comparedFrames = 0;
        so.strayed = false;
    }

    // The stretch's input, within full scale.
    AEffect* const lasting = so.lasting.effect;
    const int frames = std::clamp(s.frames, 0, kMaxSoundFrames);
    const int numIn = lasting->numInputs, numOut = lasting->numOutputs;
    so.input.resize(static_cast<std::size_t>(numIn));
    double inputPeak = 0.0;
    for (int c = 0; c < numIn; ++c) {
        std::vector<float>& channel = so.input[static_cast<std::size_t>(c)];
        channel.assign(static_cast<std::size_t>(frames), 0.0f);
        FillSignal(BoundedSignal(s.signal), s.seed, c, channel.data(), frames);
        for (float x : channel)
            inputPeak = std::max(inputPeak, static_cast<double>(std::fabs(x)));
    }
    if (so.layoutKnown)
        so.lineBound = std::max(so.lineBound, 1.0 + 1.4 * so.program[kEffectInputGain] * inputPeak);
    const std::vector<double> tight =
        so.layoutKnown ? ProgramBound(so.program, so.lineBound, inputPeak) : std::vector<double>{};
    auto slice = [&](int start) {
        return [&so, start](int channel, float* samples, int n) {
            const float* from = so.input[static_cast<std::size_t>(channel)].data() + start;
            std::copy(from, from + n, samples);
        };
    };
    auto keep = [&](std::vector<std::vector<float>>& into, int start, int n) {
        const Scratch& sc = scratch[0];
        into.resize(static_cast<std::size_t>(numOut));
        for (int c = 0; c < numOut; ++c) {
            into[static_cast<std::size_t>(c)].resize(static_cast<std::size_t>(frames));
            std::copy(sc.outputs.pointers[static_cast<std::size_t>(c)],
                      sc.outputs.pointers[static_cast<std::size_t>(c)] + n,
                      into[static_cast<std::size_t>(c)].begin() + start);
        }
    };
    const bool replacingDeclared = (lasting->flags & effFlagsCanReplacing) != 0;

    // The lasting object: blocks of random sizes (now and then none), each through a random call.
    so.calls.clear();
    for (int start = 0; start < frames || (frames == 0 && so.calls.empty());) {
        const std::uint32_t roll = random.Below(100);
        const int size = roll < 3    ? 0
                         : roll < 75 ? static_cast<int>(random.Between(1, 32))
                         : roll < 95 ? static_cast<int>(random.Between(33, 256))
                                     : static_cast<int>(random.Between(257, 2048));
        Sound::Call c{start, std::min(size, frames - start), ProcessCall::Accumulating, false, {}};
        const std::uint32_t kind = random.Below(100);
        if (replacingDeclared && kind < 65) {
            c.call = ProcessCall::Replacing;
            c.inPlace = kind < 20 && numIn == numOut;
        }
        if (auto f =
                block(Role::Main, lasting, c.call, c.inPlace, c.frames,
                      static_cast<std::uint32_t>(random.Next()), so.lasting.inputPeak, slice(start), tight))
            return f;
        keep(so.lastingOut, start, c.frames);
        if (c.call == ProcessCall::Accumulating)
            c.bus = scratch[0].prefill;
        ++so.lasting.blocks;
        start += c.frames;
        so.calls.push_back(std::move(c));
        if (frames == 0)
            break;
    }
    // The others: the whole stretch in one call.
    auto wholeCall = [&](SoundObject& object, std::vector<std::vector<float>>& into,
                         const std::vector<double>& bound) -> std::optional<Finding> {
        const ProcessCall how = (object.effect->flags & effFlagsCanReplacing) != 0
                                    ? ProcessCall::Replacing
                                    : ProcessCall::Accumulating;
        if (auto f = block(Role::Main, object.effect, how, false, frames, silentBusSeed(), object.inputPeak,
                           slice(0), bound))
            return f;
        keep(into, 0, frames);
        ++object.blocks;
        return std::nullopt;
    };
    if (auto f = wholeCall(so.whole, so.wholeOut, tight))
        return f;
    counts[0].lastingBlocks = so.lasting.blocks;
    ++counts[0].soundSteps;

    // The same sound, bit for bit, whatever the blocks and calls. An accumulating call adds the sound
    // to the bus, rounding to nearest or in the host's rounding mode; one in whole blocks onto silence
    // may have turned a negative zero positive.
    const bool wholeAccumulated = (so.whole.effect->flags & effFlagsCanReplacing) == 0;
    const FloatState own = ReadFloatState();
    const FloatState host = HostFloatState(mode, own);
    const auto sumAsHost = [&](float a, float b) {
        volatile float x = a, y = b;
        WriteFloatState(host);
        const float sum = x + y;
        WriteFloatState(own);
        return sum;
    };
    for (const Sound::Call& c : so.calls)
        for (int ch = 0; ch < numOut; ++ch)
            for (int i = 0; i < c.frames; ++i) {
                const std::size_t at = static_cast<std::size_t>(c.start + i);
                const float expected = so.wholeOut[static_cast<std::size_t>(ch)][at];
                const float got = so.lastingOut[static_cast<std::size_t>(ch)][at];
                const float want =
                    c.call == ProcessCall::Accumulating
                        ? c.bus[static_cast<std::size_t>(ch)][static_cast<std::size_t>(i)] + expected
                        : expected;
                if (BitsOf(got) == BitsOf(want) || (wholeAccumulated && got == 0.0f && want == 0.0f))
                    continue;
                if (c.call == ProcessCall::Accumulating &&
                    BitsOf(got) ==
                        BitsOf(sumAsHost(c.bus[static_cast<std::size_t>(ch)][static_cast<std::size_t>(i)],
                                         expected)))
                    continue;
                return finding(
                    FindingKind::Sound,
                    std::string(c.call == ProcessCall::Accumulating ? "process" : "processReplacing") +
                        (c.inPlace ? " in place" : "") + " of " + std::to_string(c.frames) +
                        " frames (frames " + std::to_string(c.start) + ".." +
                        std::to_string(c.start + c.frames - 1) + " of a " + std::to_string(frames) +
                        "-frame stretch) gave output channel " + std::to_string(ch) + " frame " +
                        std::to_string(i) + " as " + describe(got) +
                        " where the same calls in whole blocks give " + describe(want));
            }

    if (so.reference.effect == nullptr || so.comparedFrames >= kReferenceComparedFrames)
        return std::nullopt;
    if (auto f = wholeCall(so.fresh, so.freshOut, tight))
        return f;
    if (auto f = wholeCall(so.reference, so.referenceOut, {}))
        return f;
    for (int ch = 0; ch < numOut; ++ch)
        for (int i = 0; i < frames; ++i) {
            const double ours = so.freshOut[static_cast<std::size_t>(ch)][static_cast<std::size_t>(i)];
            const double theirs = so.referenceOut[static_cast<std::size_t>(ch)][static_cast<std::size_t>(i)];
            const double difference = std::isfinite(theirs) ? ours - theirs : HUGE_VAL;
            so.outEnergy += theirs * theirs;
            so.differenceEnergy += difference * difference;
            so.outPeak = std::max(so.outPeak, std::fabs(theirs));
            so.differencePeak = std::max(so.differencePeak, std::fabs(difference));
        }
    so.comparedFrames += static_cast<std::uint64_t>(frames);
    if (so.strayed || so.comparedFrames < kReferenceJudgedFrames || so.outPeak < kAudiblePeak)
        return std::nullopt;
    so.strayed = !(so.differenceEnergy <= kReferenceEnergyRatio * so.outEnergy &&
                   so.differencePeak <= kReferencePeakRatio * so.outPeak);
    if (!so.strayed)
        return std::nullopt;
    const double ratio = so.outEnergy > 0.0 ? so.differenceEnergy / so.outEnergy : HUGE_VAL;
    return finding(FindingKind::Reference,
                   "over the first " + std::to_string(so.comparedFrames) + " frames of this program, the " +
                       "plug-in strays from the reference engine: difference " +
                       describe(10.0 * std::log10(ratio)) +
                       " dB relative to the output (at most -100 allowed), peak " + "difference " +
                       describe(so.differencePeak) + " against an output peak of " + describe(so.outPeak) +
                       " (at most 1e-4 of it allowed)");
}

} // namespace validate
