#pragma once

// Which positions of the delay lines hold what an instant fill followed by the writes since would hold,
// while a spread fill is under way (LineClearing). Plain data and functions local to each unit, so the
// fast engine's kernels, built for several instruction sets, use them as well.

namespace engine {

struct FillWindow {
    int low = 0; // [low, high): cleared and then first written
    int high = 0;
    int start = 0; // [0, start): written by the writer's later runs
    bool firstRun = false;
};

// Whether position p is valid.
static inline bool FillValid(const FillWindow& w, int p) noexcept {
    return static_cast<unsigned>(p - w.low) < static_cast<unsigned>(w.high - w.low) || p < w.start;
}

// The writer has just written position p.
static inline void FillWrote(FillWindow& w, int p) noexcept {
    if (w.firstRun && p == w.high)
        ++w.high;
    else if (p == w.start)
        ++w.start;
}

} // namespace engine
