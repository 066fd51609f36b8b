#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace vorelan {

// A command's arguments: positional ones in order, options with values ("--rate 48000" or
// "--rate=48000", repeatable) and plain flags. Unknown options and missing values are usage errors.
class Arguments {
public:
    Arguments(const std::vector<std::string>& args, const std::set<std::string>& valueOptions,
              const std::set<std::string>& flagOptions);

    bool help() const { return help_; }
    bool flag(const std::string& name) const { return flags_.count(name) != 0; }
    std::optional<std::string> value(const std::string& name) const; // the last one given
    std::vector<std::string> values(const std::string& name) const;
    const std::vector<std::string>& positional() const { return positional_; }

private:
    bool help_ = false;
    std::vector<std::string> positional_;
    std::map<std::string, std::vector<std::string>> values_;
    std::set<std::string> flags_;
};

// Numbers from the command line; a usage error names the option when the text is not a finite
// number inside [minimum, maximum].
double ParseNumber(const std::string& text, const std::string& what, double minimum, double maximum);
int ParseInteger(const std::string& text, const std::string& what, int minimum, int maximum);

} // namespace vorelan
