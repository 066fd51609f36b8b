#pragma once

#include <stdexcept>
#include <string>

namespace skin {

// Errors of the skinned control kit. The texts are the kit's own and are shown to the user as they
// stand; the editor catches them so none reaches a host.
class EDIBError : public std::runtime_error {
public:
    explicit EDIBError(const std::string& message) : std::runtime_error(message) {}
};

class EDIBKnobError : public EDIBError {
public:
    using EDIBError::EDIBError;
};

class EDIBButtonError : public EDIBError {
public:
    using EDIBError::EDIBError;
};

class EDIBGlyphButtonError : public EDIBError {
public:
    using EDIBError::EDIBError;
};

} // namespace skin
