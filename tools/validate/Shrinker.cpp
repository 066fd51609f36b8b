#include "tools/validate/Shrinker.h"

#include <algorithm>
#include <iterator>

namespace validate {

namespace {

bool processing(const Step& s) {
    return s.kind == StepKind::Process || s.kind == StepKind::Sound;
}

// Classes of steps a failure often does not need, tried out as wholes before single runs of steps: the
// calls that process nothing, then each kind of them (an LV2 host's own calls as one), then the blocks
// of the main object, then the stretches of the long-lived objects (other objects than the failing one).
constexpr bool (*kClasses[])(const Step&) = {
    [](const Step& s) { return !processing(s); },
    [](const Step& s) { return s.kind == StepKind::Dispatch; },
    [](const Step& s) { return s.kind == StepKind::SetParameter || s.kind == StepKind::GetParameter; },
    [](const Step& s) { return s.kind == StepKind::Time || s.kind == StepKind::FloatMode; },
    [](const Step& s) { return s.kind == StepKind::Reopen || s.kind == StepKind::Window; },
    [](const Step& s) {
        return s.kind == StepKind::Instantiate || s.kind == StepKind::Activate ||
               s.kind == StepKind::Connect || s.kind == StepKind::Message || s.kind == StepKind::State;
    },
    [](const Step& s) { return s.kind == StepKind::Process; },
    [](const Step& s) { return s.kind == StepKind::Sound; },
};

std::vector<Step> withoutClasses(std::vector<Step> steps, const FailureTest& fails,
                                 const std::function<bool()>& stop) {
    for (const auto inClass : kClasses) {
        if (stop && stop())
            break;
        std::vector<Step> candidate;
        std::copy_if(steps.begin(), steps.end(), std::back_inserter(candidate),
                     [&](const Step& s) { return !inClass(s); });
        if (candidate.empty() || candidate.size() == steps.size())
            continue;
        if (const std::optional<std::size_t> failedAt = fails(candidate)) {
            candidate.resize(std::min(candidate.size(), *failedAt + 1));
            steps = std::move(candidate);
        }
    }
    return steps;
}

} // namespace

std::vector<Step> Shrink(std::vector<Step> steps, const FailureTest& fails,
                         const std::function<bool()>& stop) {
    steps = withoutClasses(std::move(steps), fails, stop);
    std::size_t chunks = 2;
    while (steps.size() >= 2 && !(stop && stop())) {
        const std::size_t size = steps.size();
        chunks = std::min(chunks, size);
        bool reduced = false;
        // Try the list without each chunk in turn, the last chunks first: the failing step is at the
        // end, and what it depends on tends to lie close before it.
        for (std::size_t chunk = chunks; chunk-- > 0 && !(stop && stop());) {
            const std::size_t begin = size * chunk / chunks, end = size * (chunk + 1) / chunks;
            std::vector<Step> candidate;
            candidate.reserve(size - (end - begin));
            candidate.insert(candidate.end(), steps.begin(),
                             steps.begin() + static_cast<std::ptrdiff_t>(begin));
            candidate.insert(candidate.end(), steps.begin() + static_cast<std::ptrdiff_t>(end), steps.end());
            if (const std::optional<std::size_t> failedAt = fails(candidate)) {
                candidate.resize(std::min(candidate.size(), *failedAt + 1));
                steps = std::move(candidate);
                chunks = std::max<std::size_t>(chunks - 1, 2);
                reduced = true;
                break;
            }
        }
        if (reduced)
            continue;
        if (chunks >= size)
            break; // no single step can go
        chunks = std::min(chunks * 2, size);
    }
    return steps;
}

namespace {

// Plainer versions of a step, each differing in one detail.
std::vector<Step> plainer(const Step& s) {
    std::vector<Step> variants;
    auto vary = [&](auto change) {
        Step v = s;
        change(v);
        if (ToText(v) != ToText(s))
            variants.push_back(v);
    };
    switch (s.kind) {
    case StepKind::Process:
        vary([](Step& v) { v.signal = Signal::Silence; });
        vary([](Step& v) { v.frames = v.frames > 1 ? 1 : v.frames; });
        vary([](Step& v) { v.inPlace = false; });
        break;
    case StepKind::Time:
        vary([](Step& v) { v.time = TimeMode::Sane; });
        vary([](Step& v) { v.sampleRate = 44100.0; });
        vary([](Step& v) { v.tempo = 120.0; });
        vary([](Step& v) { v.ppqPos = 0.0; });
        vary([](Step& v) { v.timeFlags = 0x2e03; });
        break;
    case StepKind::Sound:
        vary([](Step& v) { v.value = 0; });
        vary([](Step& v) { v.signal = Signal::Silence; });
        break;
    case StepKind::Instantiate:
        vary([](Step& v) { v.value = 0; });
        vary([](Step& v) { v.sampleRate = 44100.0; });
        vary([](Step& v) { v.frames = 0; });
        vary([](Step& v) { v.index = 0; });
        vary([](Step& v) { v.seed = 8192; });
        break;
    case StepKind::State:
        vary([](Step& v) { v.state = Lv2State::RoundTrip; });
        break;
    case StepKind::Dispatch:
        vary([](Step& v) { v.pointer = Pointer::Null; });
        vary([](Step& v) { v.index = 0; });
        vary([](Step& v) { v.value = 0; });
        vary([](Step& v) { v.opt = 0.0f; });
        break;
    default:
        break;
    }
    return variants;
}

} // namespace

std::vector<Step> Simplify(std::vector<Step> steps, const FailureTest& fails,
                           const std::function<bool()>& stop) {
    for (std::size_t i = 0; i < steps.size(); ++i) {
        // Each accepted variant is plainer than the step was, so this ends.
        for (bool changed = true; changed && !(stop && stop());) {
            changed = false;
            for (const Step& variant : plainer(steps[i])) {
                std::vector<Step> candidate = steps;
                candidate[i] = variant;
                if (const std::optional<std::size_t> failedAt = fails(candidate)) {
                    candidate.resize(std::min(candidate.size(), *failedAt + 1));
                    steps = std::move(candidate);
                    changed = i < steps.size();
                    break;
                }
            }
        }
    }
    return steps;
}

} // namespace validate
