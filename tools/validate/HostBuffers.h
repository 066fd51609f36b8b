#pragma once

#include "tools/validate/Finding.h"
#include "tools/validate/Step.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace validate {

// Bit patterns around and inside the host's channel buffers: signalling NaNs, which no arithmetic
// produces, so a plug-in that copies or computes never leaves one by chance.
inline constexpr std::uint32_t kGuardBits = 0x7FBADBADu;  // before and after every channel
inline constexpr std::uint32_t kMarkerBits = 0x7FB0CAFEu; // in every frame processReplacing must write
inline constexpr int kGuardFrames = 64;
// Bytes around and in host buffers that hold no data.
inline constexpr unsigned char kSentinel = 0xA5;
inline constexpr std::size_t kGuardBytes = 512;

inline std::uint32_t BitsOf(float value) noexcept {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

inline float FloatOf(std::uint32_t bits) noexcept {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// The input samples of a block: each channel from the step's seed and the channel number.
void FillSignal(Signal signal, std::uint32_t seed, int channel, float* out, int frames);
// The signal a sound step renders for the one it names: within full scale, so the bounds of a program stay
// close to what the effect makes (noise stands for the loud, denormal, non-finite and huge signals).
Signal BoundedSignal(Signal signal);
// A text a host hands over: mostly short, sometimes longer than any buffer of the interface, now and
// then with bytes above 127.
std::string TextFromSeed(std::uint32_t seed);

// Bytes the host hands over or gets back: a region followed by a guard of sentinel bytes, kept
// 8-byte aligned so structures with pointers can live in it.
class HostBytes {
public:
    unsigned char* Prepare(std::size_t region, unsigned char fill);
    // Keeps a copy of the region, for Unchanged.
    void Remember();
    unsigned char* data() { return reinterpret_cast<unsigned char*>(storage_.data()); }
    std::size_t Region() const { return region_; }
    bool GuardIntact();
    bool Unchanged();
    // How far the plug-in wrote: one past the last byte that is no longer the sentinel.
    std::size_t WrittenExtent();

private:
    std::vector<std::uint64_t> storage_;
    std::vector<unsigned char> before_;
    std::size_t region_ = 0;
};

// A host's channel buffers for one block: the frames between guards.
struct Channels {
    std::vector<std::vector<float>> store;
    std::vector<float*> pointers, pointersBefore;

    void Prepare(int count, int frames);
    // The first guard sample a call overwrote, as a frame number relative to the block; INT32_MIN if none.
    std::int64_t BrokenGuard(int channel, int frames) const;
};

// The host's audio buffers of one block, kept from block to block, and what a host checks after the
// block, in either plug-in format.
struct BlockBuffers {
    Channels inputs, outputs;
    std::vector<std::vector<float>> inputCopy, prefill;

    // The inputs from fill (channel, samples, frames) between guards, peak raised to their largest finite
    // magnitude; the outputs hold the marker (replacing) or the host's bus (accumulating; busSeed chooses
    // silence or quiet noise), kept in prefill. In place, the outputs are the inputs.
    void Prepare(int numIn, int numOut, int frames, bool replacing, bool inPlace, std::uint32_t busSeed,
                 const std::function<void(int, float*, int)>& fill, double& peak);
    // After the call named what, of frames (as the host passed it): the guards and the arrays of channel
    // pointers untouched, the inputs unchanged unless in place, every output (what an accumulating call
    // added) finite, written and within outputBound x (1 + kInputGainBound x peak), or within
    // tight[channel] when that is less (what the program allows).
    std::optional<Finding> Check(const char* what, int numIn, int numOut, std::int64_t frames, bool replacing,
                                 bool inPlace, double outputBound, double peak,
                                 const std::vector<double>& tight) const;
};

} // namespace validate
