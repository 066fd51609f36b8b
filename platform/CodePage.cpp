#include "platform/CodePage.h"

#include <array>

namespace platform {

namespace {

// Code points of the bytes 0x80..0x9F; 0 marks the five codes the code page leaves undefined.
constexpr std::array<char32_t, 32> kHighControls{
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

char32_t codePointOf(unsigned char byte) {
    if (byte >= 0x80 && byte < 0xA0 && kHighControls[byte - 0x80] != 0)
        return kHighControls[byte - 0x80];
    return byte; // ASCII, Latin-1 above 0x9F, and the undefined codes as C1 controls
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

} // namespace

char32_t DecodeUtf8(std::string_view text, std::size_t& at) noexcept {
    if (at >= text.size())
        return kNotUtf8;
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length;
    char32_t c;
    if (lead < 0x80) {
        ++at;
        return lead;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, c = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, c = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, c = lead & 0x07;
    } else {
        return kNotUtf8;
    }
    if (length > text.size() - at)
        return kNotUtf8;
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80)
            return kNotUtf8;
        c = (c << 6) | (next & 0x3F);
    }
    constexpr char32_t kSmallest[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kSmallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return kNotUtf8;
    at += length;
    return c;
}

int Windows1252ByteOf(char32_t c) noexcept {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<int>(c);
    for (std::size_t i = 0; i < kHighControls.size(); ++i)
        if (kHighControls[i] == c)
            return static_cast<int>(0x80 + i);
    return -1;
}

std::string Windows1252ToUtf8(std::string_view bytes) {
    std::string out;
    for (const char byte : bytes)
        appendUtf8(out, codePointOf(static_cast<unsigned char>(byte)));
    return out;
}

std::string Windows1252ForDrawing(std::string_view utf8) {
    std::string out;
    for (std::size_t at = 0; at < utf8.size();) {
        const char32_t c = DecodeUtf8(utf8, at);
        if (c == kNotUtf8) {
            out += utf8[at++];
            continue;
        }
        const int byte = Windows1252ByteOf(c);
        out += byte < 0 ? '?' : static_cast<char>(byte);
    }
    return out;
}

} // namespace platform
