#include "tools/vorelan/CodePage.h"

#include "platform/CodePage.h"
#include "presets/PresetName.h"
#include "tools/vorelan/ToolError.h"

namespace vorelan {

std::string NameToCodePage(std::string_view utf8, std::size_t maxCharacters, const std::string& what) {
    presets::CodePageName name =
        presets::NameToCodePage(utf8, maxCharacters, what, presets::ForeignBytes::Refuse);
    if (!name.ok())
        throw UsageError(name.problem);
    return std::move(name.bytes);
}

std::string CodePageToUtf8(std::string_view bytes) {
    return platform::Windows1252ToUtf8(bytes);
}

} // namespace vorelan
