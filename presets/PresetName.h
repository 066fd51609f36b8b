#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace presets {

// Preset and program names are 8-bit texts in the editor's code page, Windows-1252, one byte per
// character. Names typed on a command line or taken from a file name on Linux are UTF-8.

// What a byte that belongs to no valid UTF-8 sequence means: an error (text typed on a command line),
// or the Windows-1252 character of that byte (a file name written in the code page).
enum class ForeignBytes { Refuse, AsCodePage };

struct CodePageName {
    std::string bytes;   // the name in Windows-1252, empty when refused
    std::string problem; // why the name was refused; empty when it was not

    bool ok() const { return problem.empty(); }
};

// The UTF-8 name in Windows-1252, cut to at most maxCharacters characters (one byte each, so the cut
// falls between characters). Only the kept characters are checked: a control character, or one the
// code page cannot hold, refuses the name with a message that names it and begins with what ("the
// preset name"); so does a byte outside valid UTF-8 when foreign says Refuse.
CodePageName NameToCodePage(std::string_view utf8, std::size_t maxCharacters, std::string_view what,
                            ForeignBytes foreign);

} // namespace presets
