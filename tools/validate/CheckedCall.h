#pragma once

#include "tools/validate/AllocationCounter.h"
#include "tools/validate/Finding.h"
#include "tools/validate/FloatState.h"

#include <cstdio>
#include <optional>
#include <string>

namespace validate {

// Calls into a plug-in (body) with the floating-point state of a host in the given mode and checks
// what any host sees of the call, whatever the plug-in format: the caller's floating-point control
// state comes back, and a call on the audio thread takes no heap memory (where this program counts
// allocations). what names the call in the finding.
template <typename Body>
std::optional<Finding> CheckedCall(FloatMode mode, bool audioThread, const char* what, Body&& body) {
    const FloatState own = ReadFloatState();
    const FloatState host = HostFloatState(mode, own);
    const ThreadAllocationCounter counter = audioThread ? GetAllocationCounter() : nullptr;
    const std::uint64_t allocationsBefore = counter != nullptr ? counter() : 0;
    WriteFloatState(host);
    body();
    const FloatState after = ReadFloatState();
    WriteFloatState(own);
    const std::uint64_t allocations = counter != nullptr ? counter() - allocationsBefore : 0;
    if (!SameControl(after, host)) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "%s gave the caller's floating-point state back changed: MXCSR 0x%04X -> 0x%04X, "
                      "x87 control word 0x%04X -> 0x%04X",
                      what, host.mxcsr, after.mxcsr, host.x87, after.x87);
        return Finding{FindingKind::FloatState, text};
    }
    if (allocations > 0)
        return Finding{FindingKind::Allocation, std::string(what) + " allocated heap memory " +
                                                    std::to_string(allocations) +
                                                    " times on the audio thread"};
    return std::nullopt;
}

} // namespace validate
