#pragma once

#include "tools/validate/Step.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

namespace validate {

// Runs a candidate step list on a fresh plug-in object: the index of the step at which the failure
// being shrunk shows again, or nothing when the candidate passes (or fails some other way).
using FailureTest = std::function<std::optional<std::size_t>(const std::vector<Step>&)>;

// Delta debugging: first removes whole classes of steps at once (everything that processes nothing,
// each kind of call, the blocks of one object or the other), then ever smaller runs of steps while the
// failure persists, cutting every failing candidate after the step that failed, until removing any
// single step makes it pass. The
// answer is a list on which the failure still shows; stop, when given, ends the search early (for
// a time limit) with the shortest list found so far.
std::vector<Step> Shrink(std::vector<Step> steps, const FailureTest& fails,
                         const std::function<bool()>& stop = {});

// Makes the steps of a (shrunk) list plainer while the failure persists, one detail at a time: silence
// and one frame for blocks, sane values for the host's time information, null pointers and zero
// arguments for dispatcher calls, a plain LV2 host's instance. What is left shows which details the
// failure needs.
std::vector<Step> Simplify(std::vector<Step> steps, const FailureTest& fails,
                           const std::function<bool()>& stop = {});

} // namespace validate
