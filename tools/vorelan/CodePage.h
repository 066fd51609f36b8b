#pragma once

#include <string>
#include <string_view>

namespace vorelan {

// Preset and program names are 8-bit texts in the editor's code page, Windows-1252, while the
// command line and the terminal speak UTF-8. These convert between the two (presets/PresetName.h and
// platform/CodePage.h), the way the tool reports a wrong name.

// The name as Windows-1252 bytes, cut to at most maxCharacters characters (one byte each, so the cut
// always falls between characters). Throws a usage error naming the character when the kept part is not
// valid UTF-8, holds a control character, or holds a character Windows-1252 cannot hold; `what` says
// what the text is ("the preset name").
std::string NameToCodePage(std::string_view utf8, std::size_t maxCharacters, const std::string& what);

// Windows-1252 bytes as UTF-8 for the terminal. The five codes the code page leaves undefined are
// shown as the control characters of the same number, as Windows itself converts them.
std::string CodePageToUtf8(std::string_view bytes);

} // namespace vorelan
