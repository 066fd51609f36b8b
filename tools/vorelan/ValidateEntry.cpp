// vorelan validate: the validator of tools/validate, hosting this machine's plug-in binary by default.
#include "tools/validate/Platform.h"
#include "tools/validate/ValidateCommand.h"
#include "tools/vorelan/Commands.h"

namespace vorelan {

int RunValidate(const std::vector<std::string>& args) {
    const validate::CommandSetup setup{"vorelan validate",
                                       {validate::ExecutablePath(), "validate"},
                                       "the first one vorelan finds, as for its other commands",
                                       [] { return PluginPath(nullptr); }};
    return validate::RunValidateCommand(args, setup);
}

} // namespace vorelan
