#pragma once

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
        low_ = high_ = writePos;
        start_ = 0;
        firstRun_ = true;
        wrapped_ = false;
    }

    // Rewrites at most budget stale samples of each line with the fill value, nearest to the write
    // position (in age) first, and ends the clearing when nothing stale is left.
    void Step(float* lineL, float* lineR, int budget) noexcept {
        while (active_ && budget > 0) {
            if (!wrapped_ && low_ <= start_) {
                // Everything below the cursor was written by a later run: continue from the top.
                start_ = std::max(start_, high_);
                low_ = high_ = capacity_;
                firstRun_ = false;
                wrapped_ = true;
            }
            if (wrapped_ && low_ <= start_) {
                active_ = false;
                break;
            }
            const int count = std::min(budget, low_ - start_);
            std::fill(lineL + low_ - count, lineL + low_, value_);
            std::fill(lineR + low_ - count, lineR + low_, value_);
            low_ -= count;
            budget -= count;
        }
    }

    // The writer went back to position 0 of the line.
    void WriterWrapped() noexcept { firstRun_ = false; }

    // The writer has just written position p.
    void Wrote(int p) noexcept {
        if (firstRun_ && p == high_)
            ++high_;
        else if (p == start_)
            ++start_;
    }

    // Whether position p of the lines holds what an instant fill followed by the writes would hold.
    bool Valid(int p) const noexcept {
        return static_cast<std::uint32_t>(p - low_) < static_cast<std::uint32_t>(high_ - low_) || p < start_;
    }

private:
    int capacity_;
    bool active_ = false;
    float value_ = 0.0f;
    int low_ = 0;
    int high_ = 0;
    int start_ = 0;
    bool firstRun_ = false;
    bool wrapped_ = false;
};

} // namespace engine
