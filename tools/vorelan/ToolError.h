#pragma once

#include <stdexcept>
#include <string>

namespace vorelan {

// Exit statuses of the tool.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1; // a file, the plug-in or a preset could not be used
inline constexpr int kExitUsage = 2;   // the command line itself is wrong

// A failure the user can cause: the message is printed as it stands and the tool exits with status.
class ToolError : public std::runtime_error {
public:
    explicit ToolError(const std::string& message, int status = kExitFailure)
        : std::runtime_error(message), status_(status) {}
    int status() const { return status_; }

private:
    int status_;
};

class UsageError : public ToolError {
public:
    explicit UsageError(const std::string& message) : ToolError(message, kExitUsage) {}
};

// What a failed file operation's errno means, in the tool's words ("the disk is full").
std::string FileErrorText(int error);

} // namespace vorelan
