#pragma once

#include "engine/FillWindow.h"

#include <algorithm>
#include <cstdint>

namespace engine {

// Fills a pair of delay lines with one value spread over many blocks, while the lines stay in use, so
// that the voices hear exactly what an instant fill would give: from the request on, every position
// reads the fill value except where new input or feedback has been written since.
//
// Positions are tracked in the lines' own index space, so a change of the length in use during the
// clearing changes nothing. At the request the whole line counts as stale. Two index ranges are valid
// (hold what an instant fill would hold) from then on:
//   [low, high)  cleared and first written: the cursor clears downwards from the write position while
//                the writer's first run extends the range upwards; once the cursor reaches 0 it
//                continues from the top of the capacity, and the range becomes [low, capacity);
//   [0, start)   written by the writer's later runs, which all begin at 0.
// The clearing is complete when the two ranges cover the whole capacity. A read of a stale position
// returns the fill value instead of the line's content.
class LineClearing {
public:
    explicit LineClearing(int capacity) noexcept : capacity_(capacity) {}

    bool Active() const noexcept { return active_; }
    float Value() const noexcept { return value_; }

    // A new fill request; writePos is the position of the next write. It replaces any clearing under way.
    void Start(float value, int writePos) noexcept {
        active_ = true;
        value_ = value;
        w_.low = w_.high = writePos;
        w_.start = 0;
        w_.firstRun = true;
        wrapped_ = false;
    }

    // Rewrites at most budget stale samples of each line with the fill value, nearest to the write
    // position (in age) first, and ends the clearing when nothing stale is left. fill(first, last) sets
    // positions first .. last - 1 of both lines to Value().
    template <typename Fill> void Step(int budget, Fill&& fill) noexcept {
        while (active_ && budget > 0) {
            if (!wrapped_ && w_.low <= w_.start) {
                // Everything below the cursor was written by a later run: continue from the top.
                w_.start = std::max(w_.start, w_.high);
                w_.low = w_.high = capacity_;
                w_.firstRun = false;
                wrapped_ = true;
            }
            if (wrapped_ && w_.low <= w_.start) {
                active_ = false;
                break;
            }
            const int count = std::min(budget, w_.low - w_.start);
            fill(w_.low - count, w_.low);
            w_.low -= count;
            budget -= count;
        }
    }
    // The same for a pair of separate lines.
    void Step(float* lineL, float* lineR, int budget) noexcept {
        Step(budget, [&](int first, int last) {
            std::fill(lineL + first, lineL + last, value_);
            std::fill(lineR + first, lineR + last, value_);
        });
    }

    // The writer went back to position 0 of the line.
    void WriterWrapped() noexcept { w_.firstRun = false; }

    // The writer has just written position p.
    void Wrote(int p) noexcept { FillWrote(w_, p); }

    // Whether position p of the lines holds what an instant fill followed by the writes would hold.
    bool Valid(int p) const noexcept { return FillValid(w_, p); }

    // The valid positions, for a writer that keeps track of them itself while it runs.
    const FillWindow& Window() const noexcept { return w_; }
    void SetWindow(const FillWindow& window) noexcept { w_ = window; }

private:
    int capacity_;
    bool active_ = false;
    float value_ = 0.0f;
    FillWindow w_;
    bool wrapped_ = false;
};

} // namespace engine
