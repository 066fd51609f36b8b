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
    const bool inPlace = inPlaceAsked && replacing && numIn == numOut;
    sc.Prepare(numIn, numOut, std::max(frames, 0), replacing, inPlace, busSeed, fill, peak);
    const char* what = replacing ? "processReplacing" : "process";
    const AEffectProcessProc entryPoint = replacing ? e->processReplacing : e->process;
    if (auto f = call(role, true, what,
                      [&] { entryPoint(e, sc.inputs.pointers.data(), sc.outputs.pointers.data(), frames); }))
        return f;
    return sc.Check(what, numIn, numOut, frames, replacing, inPlace, options.outputBound, peak, tight);
}

} // namespace validate
