#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace presets {

// A single-program preset file: a fixed 28-byte header, a 28-byte space-padded name and the 181
// parameter values as big-endian IEEE-754 floats, 780 bytes in all.
inline constexpr int kParameterCount = 181;
inline constexpr std::size_t kHeaderSize = 28;
inline constexpr std::size_t kNameOffset = 28;
inline constexpr std::size_t kNameSize = 28;
inline constexpr std::size_t kValuesOffset = 56;
inline constexpr std::size_t kFileSize = kValuesOffset + 4 * kParameterCount;
static_assert(kFileSize == 780);

// The only field the reader checks: the effect ID at bytes 16..19, compared byte by byte.
inline constexpr std::size_t kEffectIdOffset = 16;
inline constexpr std::array<std::uint8_t, 4> kEffectId{'Q', 'R', '1', '4'};

inline constexpr std::string_view kFileExtension = ".fxp";
inline constexpr std::string_view kForeignPresetMessage = "This is not a VorelanEn2 preset!";
inline constexpr std::string_view kMessageCaption = "VorelanEn2";

using ParameterValues = std::array<float, kParameterCount>;
using FxpBytes = std::array<std::uint8_t, kFileSize>;

// The contents of a preset file as the reader sees them. Values are the floats stored in the file,
// not yet clamped: setParameter clamps them when they are applied.
struct FxpProgram {
    std::string name;
    ParameterValues values{};
};

enum class FxpStatus {
    Ok,
    CannotOpen,    // the file does not exist or cannot be read
    TooShort,      // fewer than 780 bytes
    ForeignEffect, // bytes 16..19 are not "QR14"
};

struct FxpReadResult {
    FxpStatus status = FxpStatus::CannotOpen;
    FxpProgram program;
    std::size_t size = 0; // bytes available (at most 780 are ever read)

    bool ok() const { return status == FxpStatus::Ok; }
};

// The bytes a preset file holds for name and values: the header block, the first 28 characters of
// name filled up to 28 with spaces (no terminating zero), and each value big-endian, index 0 first.
FxpBytes WriteFxp(std::string_view name, const ParameterValues& values);

// The name field as the reader takes it: trailing spaces dropped, then cut at the first zero byte.
std::string ReadFxpName(std::span<const std::uint8_t, kNameSize> field);

// Checks and decodes a file's bytes. A foreign effect ID wins over a short length when both apply
// (a file of at least 20 bytes from another effect), so such a file gets the familiar message.
FxpReadResult ParseFxp(std::span<const std::uint8_t> bytes);

// Reads at most the 780 bytes the layout needs from path, so a huge file costs no memory, and parses
// them. Never throws.
FxpReadResult ReadFxpFile(const std::string& path);

// Writes bytes to path, replacing any file there only once they are all on the disk: when it fails
// (false), the old file is left as it was and error, when given, says why (WriteFileAtomically).
bool WriteFxpFile(const std::string& path, const FxpBytes& bytes, int* error = nullptr);

// The message a user sees when a preset cannot be loaded: the fixed text for a foreign file, and a
// message naming the file for one that cannot be read or is too short. Empty for Ok.
std::string FxpStatusMessage(const FxpReadResult& result, const std::string& path);

} // namespace presets
