#include "tools/validate/SessionImpl.h"

#include "tools/validate/Random.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace validate {

using namespace vst2;

std::optional<Finding> Session::Impl::setParameter(const Step& s, Role role) {
    const bool audio = role != Role::UserInterface;
    if (auto f = call(role, audio, "setParameter", [&] { effect->setParameter(effect, s.index, s.opt); }))
        return f;
    const bool exact = role == Role::Main && options.exactParameters;
    if (s.index < 0 || s.index >= effect->numParams)
        return exact
                   ? readAllParameters(
                         role, "setParameter(" + std::to_string(s.index) + ", " + describe(s.opt) + ")", true)
                   : std::nullopt;
    const float expected = clampParameter(s.opt);
    if (exact)
        model[static_cast<std::size_t>(s.index)] = expected;
    float value = 0.0f;
    if (auto f = call(role, audio, "getParameter", [&] { value = effect->getParameter(effect, s.index); }))
        return f;
    const bool good = exact ? value == expected : value >= 0.0f && value <= 1.0f;
    if (!good)
        return finding(FindingKind::ParameterReadBack,
                       "setParameter(" + std::to_string(s.index) + ", " + describe(s.opt) +
                           ") then getParameter gives " + describe(value) +
                           (exact ? " instead of " + describe(expected) : ", outside 0..1"));
    return std::nullopt;
}

std::optional<Finding> Session::Impl::getParameter(const Step& s, Role role) {
    float value = 0.0f;
    if (auto f = call(role, role != Role::UserInterface, "getParameter",
                      [&] { value = effect->getParameter(effect, s.index); }))
        return f;
    if (s.index < 0 || s.index >= effect->numParams)
        return std::nullopt;
    if (!(value >= 0.0f && value <= 1.0f))
        return finding(FindingKind::ParameterReadBack, "getParameter(" + std::to_string(s.index) +
                                                           ") gives " + describe(value) + ", outside 0..1");
    const float known = role == Role::Main && options.exactParameters
                            ? model[static_cast<std::size_t>(s.index)]
                            : std::numeric_limits<float>::quiet_NaN();
    if (!std::isnan(known) && !(value == known))
        return finding(FindingKind::ParameterChanged, "getParameter(" + std::to_string(s.index) + ") gives " +
                                                          describe(value) + " but it was last set to " +
                                                          describe(known));
    return std::nullopt;
}

void Session::Impl::setTime(const Step& s) {
    timePresent = s.time != TimeMode::Absent;
    if (!timePresent)
        return;
    timeInfo.sampleRate = s.sampleRate;
    timeInfo.tempo = s.tempo;
    timeInfo.ppqPos = s.ppqPos;
    timeInfo.barStartPos = std::floor(s.ppqPos / 4.0) * 4.0;
    timeInfo.flags = s.timeFlags;
    if (s.time == TimeMode::Sane) {
        timeInfo.timeSigNumerator = 4;
        timeInfo.timeSigDenominator = 4;
    } else {
        Random random(s.seed);
        const VstInt32 hostile[] = {0, -1, 4, 7, INT32_MIN, INT32_MAX};
        timeInfo.timeSigNumerator = hostile[random.Below(6)];
        timeInfo.timeSigDenominator = hostile[random.Below(6)];
        timeInfo.samplePos = random.Chance(500) ? std::nan("") : -1e18;
    }
}

std::optional<Finding> Session::Impl::process(const Step& s, Role role) {
    // A host calls processReplacing only when the record declares it.
    if (s.call == ProcessCall::Replacing && (effect->flags & effFlagsCanReplacing) == 0)
        return std::nullopt;
    const int n = std::max(s.frames, 0);
    auto f = block(role, effect, s.call, s.inPlace, s.frames, s.seed ^ 0xACC0u, inputPeak,
                   [&](int channel, float* samples, int frames) {
                       FillSignal(s.signal, s.seed, channel, samples, frames);
                   },
                   {});
    SessionCounts& count = counts[static_cast<std::size_t>(role)];
    ++count.blocks;
    count.frames += static_cast<std::uint64_t>(n);
    timeInfo.samplePos += n;
    if (std::isfinite(timeInfo.sampleRate) && timeInfo.sampleRate > 0.0 && std::isfinite(timeInfo.tempo))
        timeInfo.ppqPos += n / timeInfo.sampleRate * timeInfo.tempo / 60.0;
    return f;
}

std::optional<Finding> Session::Impl::block(Role role, AEffect* e, ProcessCall processCall, bool inPlaceAsked,
                                            VstInt32 frames, std::uint32_t busSeed, double& peak,
                                            const std::function<void(int, float*, int)>& fill,
                                            const std::vector<double>& tight) {
    const bool replacing = processCall == ProcessCall::Replacing;
    Scratch& sc = scratch[static_cast<std::size_t>(role)];
    const int numIn = e->numInputs, numOut = e->numOutputs;
    const int n = std::max(frames, 0);
    const bool inPlace = inPlaceAsked && replacing && numIn == numOut;

    sc.inputs.Prepare(numIn, n);
    sc.inputCopy.resize(static_cast<std::size_t>(numIn));
    for (int c = 0; c < numIn; ++c) {
        float* samples = sc.inputs.pointers[static_cast<std::size_t>(c)];
        fill(c, samples, n);
        sc.inputCopy[static_cast<std::size_t>(c)].assign(samples, samples + n);
        for (int i = 0; i < n; ++i)
            if (std::isfinite(samples[i]))
                peak = std::max(peak, static_cast<double>(std::fabs(samples[i])));
    }
    sc.outputs.Prepare(inPlace ? 0 : numOut, n);
    sc.prefill.resize(static_cast<std::size_t>(numOut));
    Random bus(busSeed);
    const bool silentBus = bus.Chance(700);
    for (int c = 0; c < numOut && !inPlace; ++c) {
        float* samples = sc.outputs.pointers[static_cast<std::size_t>(c)];
        // processReplacing must overwrite the marker; process adds to what the host's bus holds.
        for (int i = 0; i < n; ++i)
            samples[i] = replacing ? FloatOf(kMarkerBits) : silentBus ? 0.0f : 0.5f * bus.Bipolar();
        sc.prefill[static_cast<std::size_t>(c)].assign(samples, samples + n);
    }
    if (inPlace)
        sc.outputs.pointers = sc.inputs.pointers;
    sc.outputs.pointersBefore = sc.outputs.pointers;

    const char* what = replacing ? "processReplacing" : "process";
    const AEffectProcessProc entryPoint = replacing ? e->processReplacing : e->process;
    if (auto f = call(role, true, what,
                      [&] { entryPoint(e, sc.inputs.pointers.data(), sc.outputs.pointers.data(), frames); }))
        return f;

    const std::string blockText = " (block of " + std::to_string(frames) + " frames)";
    for (int c = 0; c < numIn; ++c)
        if (const std::int64_t at = sc.inputs.BrokenGuard(c, n); at != INT32_MIN)
            return finding(FindingKind::WriteOutside, std::string(what) + " wrote input channel " +
                                                          std::to_string(c) + " at frame " +
                                                          std::to_string(at) + blockText);
    for (int c = 0; c < numOut && !inPlace; ++c)
        if (const std::int64_t at = sc.outputs.BrokenGuard(c, n); at != INT32_MIN)
            return finding(FindingKind::WriteOutside, std::string(what) + " wrote output channel " +
                                                          std::to_string(c) + " at frame " +
                                                          std::to_string(at) + blockText);
    if (sc.inputs.pointers != sc.inputs.pointersBefore || sc.outputs.pointers != sc.outputs.pointersBefore)
        return finding(FindingKind::WriteOutside,
                       std::string(what) + " changed the host's array of channel pointers");
    if (!inPlace)
        for (int c = 0; c < numIn; ++c)
            for (int i = 0; i < n; ++i)
                if (BitsOf(sc.inputs.pointers[static_cast<std::size_t>(c)][i]) !=
                    BitsOf(sc.inputCopy[static_cast<std::size_t>(c)][static_cast<std::size_t>(i)]))
                    return finding(FindingKind::InputChanged, std::string(what) + " changed input channel " +
                                                                  std::to_string(c) + " at frame " +
                                                                  std::to_string(i) + blockText);
    const double bound = options.outputBound * (1.0 + kInputGainBound * std::min(peak, kInputPeakClip));
    for (int c = 0; c < numOut; ++c) {
        const double limit = static_cast<std::size_t>(c) < tight.size()
                                 ? std::min(bound, tight[static_cast<std::size_t>(c)])
                                 : bound;
        for (int i = 0; i < n; ++i) {
            const float out = sc.outputs.pointers[static_cast<std::size_t>(c)][i];
            const double added =
                replacing ? out
                          : static_cast<double>(out) -
                                sc.prefill[static_cast<std::size_t>(c)][static_cast<std::size_t>(i)];
            if (std::isfinite(out) && std::fabs(added) <= limit && BitsOf(out) != kMarkerBits)
                continue;
            const std::string where =
                std::string(what) + ": output channel " + std::to_string(c) + " frame " + std::to_string(i);
            if (replacing && !inPlace && BitsOf(out) == kMarkerBits)
                return finding(FindingKind::FrameNotWritten, where + " was not written" + blockText);
            if (!std::isfinite(out))
                return finding(FindingKind::NotFinite, where + " is " + describe(out) + blockText);
            if (limit < bound)
                return finding(FindingKind::OutOfBound,
                               where + " is " + describe(added) + ", beyond " + describe(limit) +
                                   ", the most the program allows (its output gain, mix and voices on, "
                                   "no filter)" +
                                   blockText);
            return finding(FindingKind::OutOfBound, where + " is " + describe(added) + ", beyond " +
                                                        describe(options.outputBound) + " x (1 + " +
                                                        describe(kInputGainBound) + " x input peak " +
                                                        describe(peak) + ")" + blockText);
        }
    }
    return std::nullopt;
}

} // namespace validate
