// The sound steps of an LV2 session: two instances that live as long as the session. The lasting one
// renders each stretch in runs of random lengths (now and then none), with its outputs apart from the
// inputs, on them, or on them crossed; the whole one renders it in one run. Both have had the same runs
// and the same time positions at the same frames, so the sound must be the same bit for bit. Where the
// VST 2 binary of the same effect is given, a VST 2 object renders each stretch too, its block cut where
// the position falls, with the same time information from there on: the formats are specified to give
// the same samples. Programs, inputs and the bound a program allows are those of a VST 2 session's sound
// steps.
#include "tools/validate/Lv2SessionImpl.h"

#include "tools/validate/EffectPrograms.h"
#include "tools/validate/Random.h"

#include <algorithm>
#include <cmath>
#include <tuple>

namespace validate {

using namespace vst2;

namespace {

constexpr int kMaxSoundFrames = 16384;
constexpr double kSoundRate = 44100.0;

// The VST 2 host of the comparison object: its time information is the LV2 instances' transport.
struct Vst2HostTime {
    bool present = false; // before the first position, as a host that tells no time
    VstTimeInfo info{};
};
Vst2HostTime* hostTime = nullptr; // the sound of the session that exists, if any

VstIntPtr vst2Callback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    MaskedFloatScope masked;
    switch (opcode) {
    case audioMasterVersion:
        return 2400;
    case audioMasterGetTime:
        return hostTime != nullptr && hostTime->present ? reinterpret_cast<VstIntPtr>(&hostTime->info) : 0;
    case audioMasterGetSampleRate:
        return static_cast<VstIntPtr>(kSoundRate);
    case audioMasterGetBlockSize:
        return kMaxSoundFrames;
    default:
        return 0;
    }
}

} // namespace

struct Lv2Session::Impl::Sound {
    std::unique_ptr<Lv2Object> lasting, whole;
    AEffect* vst2 = nullptr;
    double vst2Peak = 0.0;
    Vst2HostTime time;
    std::vector<float> program; // what was written to the objects
    double lineBound = 1.0;
    std::vector<std::vector<float>> input, lastingOut, wholeOut, vst2Out;
    struct Run {
        int start, frames;
        Aliasing aliasing;
    };
    std::vector<Run> runs;
};

void Lv2Session::Impl::SoundDeleter::operator()(Sound* sound) const noexcept {
    delete sound;
}

void Lv2Session::Impl::closeSound() {
    if (!sound)
        return;
    for (Lv2Object* o : {sound->lasting.get(), sound->whole.get()})
        if (o != nullptr)
            destroy(*o);
    if (AEffect* e = sound->vst2) {
        sound->vst2 = nullptr;
        call(false, "effClose", [&] { e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f); });
    }
    hostTime = nullptr;
}

std::optional<Finding> Lv2Session::Impl::soundStep(const Step& s) {
    if (!sound) {
        sound.reset(new Sound);
        Sound& so = *sound;
        hostTime = &so.time;
        Lv2Setup setup;
        setup.sampleRate = kSoundRate;
        setup.maxBlock = kMaxSoundFrames;
        setup.nominalBlock = 512;
        for (std::unique_ptr<Lv2Object>* o : {&so.lasting, &so.whole}) {
            *o = std::make_unique<Lv2Object>(setup);
            if (auto f = create(**o))
                return f;
            if ((*o)->handle == nullptr)
                return Finding{FindingKind::NoEffect, "instantiate answered no instance for a sound step"};
        }
        so.program.assign(so.lasting->values.begin(), so.lasting->values.end());
        if (vst2 != nullptr) {
            if (auto f = call(false, "main", [&] { so.vst2 = vst2(&vst2Callback); }))
                return f;
            if (so.vst2 == nullptr || (so.vst2->flags & effFlagsCanReplacing) == 0 ||
                so.vst2->numInputs != 2 || so.vst2->numOutputs != 2 || so.vst2->numParams != kLv2Parameters)
                return Finding{FindingKind::NoEffect,
                               "the VST 2 binary gave no stereo object of this effect to compare with"};
            AEffect* e = so.vst2;
            for (const auto& [opcode, value, opt] :
                 {std::tuple{effOpen, 0, 0.0f},
                  std::tuple{effSetSampleRate, 0, static_cast<float>(kSoundRate)},
                  std::tuple{effSetBlockSize, kMaxSoundFrames, 0.0f}, std::tuple{effMainsChanged, 1, 0.0f}})
                if (auto f =
                        call(false, "dispatcher", [&] { e->dispatcher(e, opcode, 0, value, nullptr, opt); }))
                    return f;
            // Its own factory program must be the LV2 ports' defaults; written anyway, as a host would.
            for (int i = 0; i < kLv2Parameters; ++i)
                if (auto f = call(true, "setParameter",
                                  [&] { e->setParameter(e, i, so.program[static_cast<std::size_t>(i)]); }))
                    return f;
        }
    }
    Sound& so = *sound;

    // The program: all of it, or some of its parameters (automation between two stretches).
    Random random(s.seed);
    if (s.value != 0) {
        const std::vector<float> next = EffectProgram(static_cast<std::uint64_t>(s.value));
        std::vector<int> written;
        for (int k = 0; k < (s.index <= 0 ? kLv2Parameters : std::min(s.index, kLv2Parameters)); ++k)
            written.push_back(s.index <= 0 ? k : static_cast<int>(random.Below(kLv2Parameters)));
        for (int i : written) {
            const float value = next[static_cast<std::size_t>(i)];
            so.program[static_cast<std::size_t>(i)] = value;
            *so.lasting->at[static_cast<std::size_t>(i)] = value;
            *so.whole->at[static_cast<std::size_t>(i)] = value;
            if (AEffect* e = so.vst2)
                if (auto f = call(true, "setParameter", [&] { e->setParameter(e, i, value); }))
                    return f;
        }
    }

    // The stretch's input, within full scale, and what the program allows.
    const int frames = std::clamp(s.frames, 0, kMaxSoundFrames);
    const bool mono = random.Chance(200); // the same in both channels, which may then share a buffer
    so.input.resize(2);
    double inputPeak = 0.0;
    for (int c = 0; c < 2; ++c) {
        std::vector<float>& channel = so.input[static_cast<std::size_t>(c)];
        channel.assign(static_cast<std::size_t>(frames), 0.0f);
        FillSignal(BoundedSignal(s.signal), s.seed, mono ? 0 : c, channel.data(), frames);
        for (float x : channel)
            inputPeak = std::max(inputPeak, static_cast<double>(std::fabs(x)));
    }
    so.lineBound = std::max(so.lineBound, 1.0 + 1.4 * so.program[kEffectInputGain] * inputPeak);
    const std::vector<double> tight = ProgramBound(so.program, so.lineBound, inputPeak);
    auto slice = [&so](int start) {
        return [&so, start](int channel, float* samples, int n) {
            const float* from = so.input[static_cast<std::size_t>(channel)].data() + start;
            std::copy(from, from + n, samples);
        };
    };
    auto keep = [&](std::vector<std::vector<float>>& into, int start, int n) {
        into.resize(2);
        for (int c = 0; c < 2; ++c) {
            into[static_cast<std::size_t>(c)].resize(static_cast<std::size_t>(frames));
            std::copy(scratch.outputs.pointers[static_cast<std::size_t>(c)],
                      scratch.outputs.pointers[static_cast<std::size_t>(c)] + n,
                      into[static_cast<std::size_t>(c)].begin() + start);
        }
    };

    // Now and then the transport changes at a frame of the stretch: a full position, as hosts send one
    // when they start, stop or change the tempo.
    const bool moves = random.Chance(250) && frames > 0;
    const int at = moves ? static_cast<int>(random.Below(static_cast<std::uint32_t>(frames))) : -1;
    const double tempo = 40.0 + random.Below(201);
    const bool playing = random.Chance(600);
    const auto eventsIn = [&](int start, int n) {
        std::vector<Lv2Event> events;
        if (moves && (at < start + n || (n == 0 && at == start)) && at >= start)
            events.push_back({static_cast<std::uint32_t>(at - start), timePosition(tempo, playing, at), {}});
        return events;
    };

    // The lasting instance: runs of random lengths, each laid out at random.
    so.runs.clear();
    bool timeSent = false;
    for (int start = 0; start < frames || (frames == 0 && so.runs.empty());) {
        const std::uint32_t roll = random.Below(100);
        const int size = roll < 3    ? 0
                         : roll < 75 ? static_cast<int>(random.Between(1, 32))
                         : roll < 95 ? static_cast<int>(random.Between(33, 256))
                                     : static_cast<int>(random.Between(257, 2048));
        const std::uint32_t layout = random.Below(100);
        Sound::Run r{start, std::min(size, frames - start),
                     layout < 20   ? Aliasing::InPlace
                     : layout < 30 ? Aliasing::Crossed
                     : layout < 40 ? (mono ? Aliasing::Shared : Aliasing::Separate)
                                   : Aliasing::Separate};
        std::vector<Lv2Event> events = timeSent ? std::vector<Lv2Event>{} : eventsIn(start, r.frames);
        timeSent = timeSent || !events.empty();
        if (auto f = run(*so.lasting, r.frames, r.aliasing, slice(start), events, tight))
            return f;
        keep(so.lastingOut, start, r.frames);
        start += r.frames;
        so.runs.push_back(r);
        if (frames == 0)
            break;
    }
    // The whole instance: the stretch in one run.
    if (auto f = run(*so.whole, frames, Aliasing::Separate, slice(0), eventsIn(0, frames), tight))
        return f;
    keep(so.wholeOut, 0, frames);
    counts.lastingBlocks = so.lasting->blocks;
    ++counts.soundSteps;

    for (const Sound::Run& r : so.runs)
        for (int ch = 0; ch < 2; ++ch)
            for (int i = 0; i < r.frames; ++i) {
                const std::size_t k = static_cast<std::size_t>(r.start + i);
                const float got = so.lastingOut[static_cast<std::size_t>(ch)][k];
                const float want = so.wholeOut[static_cast<std::size_t>(ch)][k];
                if (BitsOf(got) == BitsOf(want))
                    continue;
                return Finding{FindingKind::Sound,
                               std::string(RunName(r.aliasing)) + " of " + std::to_string(r.frames) +
                                   " frames (frames " + std::to_string(r.start) + ".." +
                                   std::to_string(r.start + r.frames - 1) + " of a " +
                                   std::to_string(frames) + "-frame stretch) gave output channel " +
                                   std::to_string(ch) + " frame " + std::to_string(i) + " as " +
                                   DescribeSample(got) + " where the same runs in whole blocks give " +
                                   DescribeSample(want)};
            }

    // The VST 2 object: the same stretch, its block cut where the transport changes.
    AEffect* const e = so.vst2;
    if (e == nullptr)
        return std::nullopt;
    const auto vst2Block = [&](int start, int n) -> std::optional<Finding> {
        scratch.Prepare(2, 2, n, true, false, 0, slice(start), so.vst2Peak);
        if (auto f = call(true, "processReplacing", [&] {
                e->processReplacing(e, scratch.inputs.pointers.data(), scratch.outputs.pointers.data(), n);
            }))
            return f;
        if (auto f = scratch.Check("processReplacing", 2, 2, n, true, false, options.outputBound, so.vst2Peak,
                                   tight))
            return f;
        keep(so.vst2Out, start, n);
        return std::nullopt;
    };
    if (moves && at > 0)
        if (auto f = vst2Block(0, at))
            return f;
    if (moves) {
        so.time.present = true;
        so.time.info.sampleRate = kSoundRate;
        so.time.info.tempo = tempo;
        so.time.info.flags = kVstTempoValid | (playing ? kVstTransportPlaying : 0);
    }
    if (auto f = vst2Block(std::max(at, 0), frames - std::max(at, 0)))
        return f;
    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < frames; ++i) {
            const float lv2 = so.wholeOut[static_cast<std::size_t>(ch)][static_cast<std::size_t>(i)];
            const float vst = so.vst2Out[static_cast<std::size_t>(ch)][static_cast<std::size_t>(i)];
            if (BitsOf(lv2) != BitsOf(vst))
                return Finding{FindingKind::Vst2Sound,
                               "frame " + std::to_string(i) + " of a " + std::to_string(frames) +
                                   "-frame stretch, output channel " + std::to_string(ch) +
                                   ": the LV2 plug-in gives " + DescribeSample(lv2) + ", the VST 2 plug-in " +
                                   DescribeSample(vst) + " for the same program, input and time"};
        }
    counts.vst2Frames += static_cast<std::uint64_t>(frames);
    return std::nullopt;
}

} // namespace validate
