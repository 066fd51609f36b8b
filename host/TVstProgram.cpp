#include "host/TVstProgram.h"

#include "host/Text.h"

namespace host {

TVstProgram::TVstProgram(int numParams) : Values(static_cast<std::size_t>(numParams > 0 ? numParams : 0)) {
    SetName("Init");
}

void TVstProgram::SetName(std::string_view name) noexcept {
    CopyText(Name, name, sizeof Name);
}

} // namespace host
