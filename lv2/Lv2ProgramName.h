#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace lv2 {

// The program name of an LV2 instance: UTF-8, up to kBytes bytes, cut before a character that would not
// fit whole. The processor renames its program inside run() (a message from the interface), while a host
// may save the state from another thread at the same time, so the name is kept without a lock: one writer
// at a time (run, or restore, which hosts never call during run) bumps a sequence number around its
// store, and a reader copies until it saw the same even number before and after its copy.
class Lv2ProgramName {
public:
    static constexpr std::size_t kBytes = 192; // 48 characters of the editor's code page, as UTF-8 at most 3
                                               // bytes each, with room to spare
    using Text = std::array<char, kBytes + 1>;

    explicit Lv2ProgramName(std::string_view name) noexcept { Set(name); }

    void Set(std::string_view name) noexcept {
        std::size_t length = std::min({name.size(), name.find('\0'), kBytes});
        if (length < name.size() && length > 0)
            while (length > 0 && (static_cast<unsigned char>(name[length]) & 0xC0u) == 0x80u)
                --length; // the cut fell inside a character: it goes whole
        std::array<std::uint64_t, kWords> words{};
        std::memcpy(words.data(), name.data(), length);
        sequence_.fetch_add(1, std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_release);
        for (std::size_t w = 0; w < kWords; ++w)
            words_[w].store(words[w], std::memory_order_relaxed);
        sequence_.fetch_add(1, std::memory_order_release);
    }

    // A consistent copy, NUL-terminated.
    Text Get() const noexcept {
        std::array<std::uint64_t, kWords> words{};
        for (;;) {
            const std::uint32_t before = sequence_.load(std::memory_order_acquire);
            for (std::size_t w = 0; w < kWords; ++w)
                words[w] = words_[w].load(std::memory_order_relaxed);
            std::atomic_thread_fence(std::memory_order_acquire);
            if ((before & 1u) == 0 && sequence_.load(std::memory_order_relaxed) == before)
                break;
        }
        Text text{};
        std::memcpy(text.data(), words.data(), kBytes);
        return text;
    }

private:
    static constexpr std::size_t kWords = (kBytes + 1 + 7) / 8; // the NUL always fits
    std::atomic<std::uint32_t> sequence_{0};
    std::array<std::atomic<std::uint64_t>, kWords> words_{};
};

} // namespace lv2
