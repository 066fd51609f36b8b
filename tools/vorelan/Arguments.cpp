#include "tools/vorelan/Arguments.h"

#include "tools/vorelan/ToolError.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace vorelan {

Arguments::Arguments(const std::vector<std::string>& args, const std::set<std::string>& valueOptions,
                     const std::set<std::string>& flagOptions) {
    bool onlyPositional = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (onlyPositional || arg.size() < 2 || arg[0] != '-') {
            positional_.push_back(arg);
            continue;
        }
        if (arg == "--") {
            onlyPositional = true;
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            help_ = true;
            continue;
        }
        const std::string::size_type equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        if (valueOptions.count(name)) {
            if (equals != std::string::npos)
                values_[name].push_back(arg.substr(equals + 1));
            else if (i + 1 < args.size())
                values_[name].push_back(args[++i]);
            else
                throw UsageError(name + " needs a value");
        } else if (flagOptions.count(name) && equals == std::string::npos) {
            flags_.insert(name);
        } else {
            throw UsageError("unknown option " + arg);
        }
    }
}

std::optional<std::string> Arguments::value(const std::string& name) const {
    const auto it = values_.find(name);
    if (it == values_.end() || it->second.empty())
        return std::nullopt;
    return it->second.back();
}

std::vector<std::string> Arguments::values(const std::string& name) const {
    const auto it = values_.find(name);
    return it == values_.end() ? std::vector<std::string>{} : it->second;
}

double ParseNumber(const std::string& text, const std::string& what, double minimum, double maximum) {
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(begin, &end);
    if (text.empty() || end != begin + text.size() || errno == ERANGE || !std::isfinite(value)) {
        throw UsageError("bad value \"" + text + "\" for " + what + ": not a number");
    }
    if (value < minimum || value > maximum) {
        std::ostringstream range;
        range << "bad value \"" << text << "\" for " << what << ": must be between " << minimum << " and "
              << maximum;
        throw UsageError(range.str());
    }
    return value;
}

int ParseInteger(const std::string& text, const std::string& what, int minimum, int maximum) {
    const double value = ParseNumber(text, what, minimum, maximum);
    if (value != std::floor(value))
        throw UsageError("bad value \"" + text + "\" for " + what + ": must be a whole number");
    return static_cast<int>(value);
}

} // namespace vorelan
