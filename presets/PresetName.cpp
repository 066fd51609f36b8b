#include "presets/PresetName.h"

#include "platform/CodePage.h"

#include <cstdio>

namespace presets {

CodePageName NameToCodePage(std::string_view utf8, std::size_t maxCharacters, std::string_view what,
                            ForeignBytes foreign) {
    CodePageName name;
    const std::string quoted = std::string(what) + " \"" + std::string(utf8) + "\"";
    for (std::size_t at = 0; at < utf8.size() && name.bytes.size() < maxCharacters;) {
        const std::size_t start = at;
        const char32_t c = platform::DecodeUtf8(utf8, at);
        if (c == platform::kNotUtf8) {
            if (foreign == ForeignBytes::Refuse)
                return {{}, quoted + " is not valid UTF-8 text"};
            name.bytes += utf8[at++];
            continue;
        }
        // A name is one line of text: control characters are refused with the ones the code page lacks.
        const int byte = c < 0x20 || c == 0x7F ? -1 : platform::Windows1252ByteOf(c);
        if (byte < 0) {
            char code[16];
            std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
            std::string shown = "a control character";
            if (c >= 0x20 && c != 0x7F)
                shown.assign(1, '"').append(utf8.substr(start, at - start)).append(1, '"');
            return {{},
                    quoted + " holds " + shown + " (" + code +
                        "), which a preset name cannot hold: names use the Windows-1252 characters the "
                        "editor draws"};
        }
        name.bytes += static_cast<char>(byte);
    }
    return name;
}

} // namespace presets
