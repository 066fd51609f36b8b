#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// The editor draws 8-bit texts in Windows-1252, and preset and program names are stored in it. The
// system's own texts (file names, the answer of a save dialog, message texts) are in that code page on
// Windows, where the system's 8-bit calls convert to and from it, and UTF-8 on Linux. These convert.

#if defined(_WIN32)
inline constexpr bool kSystemTextIsUtf8 = false;
#else
inline constexpr bool kSystemTextIsUtf8 = true;
#endif

// Answered by DecodeUtf8 for bytes that are not one valid UTF-8 sequence.
inline constexpr char32_t kNotUtf8 = 0xFFFFFFFF;

// Decodes the UTF-8 sequence at text[at] and moves at past it. A malformed, overlong, surrogate or cut
// short sequence answers kNotUtf8 and leaves at where it was.
char32_t DecodeUtf8(std::string_view text, std::size_t& at) noexcept;

// The Windows-1252 byte of a code point (control characters included), or -1 when the code page has
// none for it.
int Windows1252ByteOf(char32_t c) noexcept;

// Windows-1252 bytes as UTF-8. The five codes the code page leaves undefined become the C1 controls of
// the same number, as Windows itself converts them.
std::string Windows1252ToUtf8(std::string_view bytes);

// UTF-8 text as Windows-1252 for drawing. A character the code page lacks is drawn as "?"; a byte that
// belongs to no valid UTF-8 sequence is taken as the Windows-1252 character of that byte, so a name
// written in the code page itself (or in Latin-1) stays readable.
std::string Windows1252ForDrawing(std::string_view utf8);

// The system's text as the editor draws it: converted from UTF-8 where the system speaks it, as it
// stands on Windows.
inline std::string SystemTextForDrawing(std::string_view text) {
    return kSystemTextIsUtf8 ? Windows1252ForDrawing(text) : std::string(text);
}

} // namespace platform
