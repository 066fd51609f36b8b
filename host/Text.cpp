#include "host/Text.h"

#include <charconv>
#include <cmath>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

namespace host {

void CopyText(char* dest, std::string_view text, std::size_t capacity) noexcept {
    if (dest == nullptr || capacity == 0)
        return;
    const std::size_t n = text.size() < capacity - 1 ? text.size() : capacity - 1;
    std::memcpy(dest, text.data(), n);
    dest[n] = '\0';
}

std::size_t BoundedLength(const char* text, std::size_t limit) noexcept {
    if (text == nullptr)
        return 0;
    std::size_t n = 0;
    while (n < limit && text[n] != '\0')
        ++n;
    return n;
}

char DecimalSeparator() noexcept {
#ifdef _WIN32
    char buffer[8] = {};
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, sizeof buffer) > 0 && buffer[0] != '\0')
        return buffer[0];
#endif
    return '.';
}

void FormatFixed2(double value, char separator, char* dest, std::size_t capacity) noexcept {
    if (dest == nullptr || capacity == 0)
        return;
    if (std::isnan(value)) {
        CopyText(dest, "NAN", capacity);
        return;
    }
    if (std::isinf(value)) {
        CopyText(dest, value > 0 ? "INF" : "-INF", capacity);
        return;
    }
    // The rounding to two decimals is decided on the true value, halves going away from zero, so the
    // digits come from the value's decimal expansion. 160 fractional digits hold the expansion of every
    // float exactly; a double that needs more lies below 2^-107 and reads 0.00 either way. 309 integer
    // digits cover the largest double.
    char exact[512];
    const auto result =
        std::to_chars(exact, exact + sizeof exact, std::fabs(value), std::chars_format::fixed, 160);
    if (result.ec != std::errc()) {
        CopyText(dest, "0.00", capacity);
        return;
    }
    const std::size_t length = static_cast<std::size_t>(result.ptr - exact);
    const char* point = static_cast<const char*>(std::memchr(exact, '.', length));
    const std::size_t integerDigits = point ? static_cast<std::size_t>(point - exact) : length;

    // Digits of |value| * 100, truncated, then rounded by the third decimal. One more place for a carry.
    char digits[340];
    std::size_t count = 0;
    for (std::size_t i = 0; i < integerDigits && count < sizeof digits - 3; ++i)
        digits[count++] = exact[i];
    for (std::size_t i = 1; i <= 2; ++i)
        digits[count++] = (point && integerDigits + i < length) ? exact[integerDigits + i] : '0';
    const bool roundUp = point && integerDigits + 3 < length && exact[integerDigits + 3] >= '5';
    if (roundUp) {
        std::size_t i = count;
        while (i > 0) {
            --i;
            if (digits[i] == '9') {
                digits[i] = '0';
            } else {
                ++digits[i];
                break;
            }
            if (i == 0) {
                std::memmove(digits + 1, digits, count);
                digits[0] = '1';
                ++count;
                break;
            }
        }
    }
    bool allZero = true;
    for (std::size_t i = 0; i < count; ++i)
        allZero = allZero && digits[i] == '0';

    char text[sizeof digits + 3];
    std::size_t n = 0;
    if (value < 0 && !allZero)
        text[n++] = '-';
    std::size_t intCount = count - 2;
    std::size_t start = 0;
    while (start + 1 < intCount && digits[start] == '0')
        ++start;
    for (std::size_t i = start; i < intCount; ++i)
        text[n++] = digits[i];
    text[n++] = separator;
    text[n++] = digits[count - 2];
    text[n++] = digits[count - 1];
    CopyText(dest, std::string_view(text, n), capacity);
}

} // namespace host
