// libFuzzer target for the preset reader: any bytes must be answered with a status, never a crash,
// and whatever is accepted must survive the writer unchanged.
#include "presets/FxpFile.h"

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const presets::FxpReadResult result = presets::ParseFxp(std::span<const std::uint8_t>(data, size));
    if (!result.ok()) {
        if (size >= presets::kFileSize && result.status != presets::FxpStatus::ForeignEffect)
            std::abort(); // a full-length file can only fail on its effect ID
        return 0;
    }
    if (size < presets::kFileSize || result.program.name.size() > presets::kNameSize ||
        result.program.name.find('\0') != std::string::npos)
        std::abort();

    const presets::FxpBytes written = presets::WriteFxp(result.program.name, result.program.values);
    const presets::FxpReadResult again = presets::ParseFxp(written);
    std::string expectedName = result.program.name;
    while (!expectedName.empty() && expectedName.back() == ' ')
        expectedName.pop_back(); // the writer's padding and the name's own trailing spaces look alike
    if (!again.ok() || again.program.name != expectedName ||
        std::memcmp(again.program.values.data(), result.program.values.data(),
                    sizeof(presets::ParameterValues)) != 0 ||
        std::memcmp(written.data() + presets::kValuesOffset, data + presets::kValuesOffset,
                    presets::kFileSize - presets::kValuesOffset) != 0)
        std::abort();
    return 0;
}
