#pragma once

#include <cstddef>
#include <string_view>

namespace host {

// Copies text into a buffer of capacity bytes, cut so that it always ends with a NUL. Nothing is
// written when dest is null or capacity is 0.
void CopyText(char* dest, std::string_view text, std::size_t capacity) noexcept;

// The length of a NUL-terminated text, reading at most limit bytes.
std::size_t BoundedLength(const char* text, std::size_t limit) noexcept;

// The decimal separator of the system: on Windows the user's regional setting, elsewhere a point.
// Never the C library's current locale, which belongs to the host.
char DecimalSeparator() noexcept;

// Formats value in fixed-point notation with two decimals ("0.50", "1.00", "-3.14"), with the given
// separator: the exact value is rounded, halves away from zero, and a value that reads as zero has no
// minus sign. Not-a-number and infinities read "NAN", "INF" and "-INF". The text is cut to fit capacity
// bytes. The one two-decimal formatter of the plug-in: the host's display texts and the editor's
// read-outs both use it.
void FormatFixed2(double value, char separator, char* dest, std::size_t capacity) noexcept;

} // namespace host
