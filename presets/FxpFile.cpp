#include "presets/FxpFile.h"

#include "presets/AtomicFile.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>

namespace presets {

namespace {

void putBigEndian(std::uint8_t* at, std::uint32_t value) {
    at[0] = static_cast<std::uint8_t>(value >> 24);
    at[1] = static_cast<std::uint8_t>(value >> 16);
    at[2] = static_cast<std::uint8_t>(value >> 8);
    at[3] = static_cast<std::uint8_t>(value);
}

std::uint32_t getBigEndian(const std::uint8_t* at) {
    return (std::uint32_t{at[0]} << 24) | (std::uint32_t{at[1]} << 16) | (std::uint32_t{at[2]} << 8) |
           std::uint32_t{at[3]};
}

// The fixed header: chunk magic, byte size 0 (not the 772 bytes that follow), program magic,
// format version 1, effect ID, effect version 1, parameter count 181.
constexpr std::array<std::uint8_t, kHeaderSize> kHeader{
    'C', 'c', 'n', 'K', 0,   0,   0, 0, 'F', 'x', 'C', 'k', 0, 0,
    0,   1,   'Q', 'R', '1', '4', 0, 0, 0,   1,   0,   0,   0, 181,
};

} // namespace

FxpBytes WriteFxp(std::string_view name, const ParameterValues& values) {
    FxpBytes bytes{};
    std::copy(kHeader.begin(), kHeader.end(), bytes.begin());
    std::uint8_t* field = bytes.data() + kNameOffset;
    std::fill(field, field + kNameSize, std::uint8_t{' '});
    const std::size_t length = std::min(name.size(), kNameSize);
    std::memcpy(field, name.data(), length);
    for (int i = 0; i < kParameterCount; ++i)
        putBigEndian(bytes.data() + kValuesOffset + 4 * i, std::bit_cast<std::uint32_t>(values[i]));
    return bytes;
}

std::string ReadFxpName(std::span<const std::uint8_t, kNameSize> field) {
    std::size_t end = field.size();
    while (end > 0 && field[end - 1] == ' ')
        --end;
    const auto zero = std::find(field.begin(), field.begin() + end, std::uint8_t{0});
    return std::string(field.begin(), zero);
}

FxpReadResult ParseFxp(std::span<const std::uint8_t> bytes) {
    FxpReadResult result;
    result.size = std::min(bytes.size(), kFileSize);
    if (bytes.size() >= kEffectIdOffset + kEffectId.size() &&
        !std::equal(kEffectId.begin(), kEffectId.end(), bytes.begin() + kEffectIdOffset)) {
        result.status = FxpStatus::ForeignEffect;
        return result;
    }
    if (bytes.size() < kFileSize) {
        result.status = FxpStatus::TooShort;
        return result;
    }
    result.program.name = ReadFxpName(bytes.subspan<kNameOffset, kNameSize>());
    for (int i = 0; i < kParameterCount; ++i)
        result.program.values[i] = std::bit_cast<float>(getBigEndian(bytes.data() + kValuesOffset + 4 * i));
    result.status = FxpStatus::Ok;
    return result;
}

FxpReadResult ReadFxpFile(const std::string& path) {
    FxpReadResult result;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return result;
    FxpBytes bytes{};
    std::size_t size = 0;
    while (size < bytes.size()) {
        const std::size_t got = std::fread(bytes.data() + size, 1, bytes.size() - size, file);
        if (got == 0)
            break;
        size += got;
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed)
        return result; // a folder, or a read error: nothing usable was read
    return ParseFxp(std::span<const std::uint8_t>(bytes.data(), size));
}

bool WriteFxpFile(const std::string& path, const FxpBytes& bytes, int* error) {
    return WriteFileAtomically(path, bytes, error);
}

std::string FxpStatusMessage(const FxpReadResult& result, const std::string& path) {
    switch (result.status) {
    case FxpStatus::Ok:
        return {};
    case FxpStatus::ForeignEffect:
        return std::string(kForeignPresetMessage);
    case FxpStatus::CannotOpen:
        return "The preset file \"" + path + "\" cannot be opened. It may have been moved or deleted.";
    case FxpStatus::TooShort:
        return "The preset file \"" + path + "\" is damaged: it holds " + std::to_string(result.size) +
               " bytes, a VorelanEn2 preset has " + std::to_string(kFileSize) + ".";
    }
    return {};
}

} // namespace presets
