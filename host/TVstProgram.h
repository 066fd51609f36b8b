#pragma once

#include "host/RelaxedAtomic.h"

#include <string_view>
#include <vector>

namespace host {

// One program: a 0..1 value per parameter and a name. The current program's values are the one
// store of the effect's parameter values, read and written from the host's audio and user-interface
// threads at once, hence atomic.
class TVstProgram {
public:
    // The name holds up to 48 characters and the terminating NUL; longer names are cut.
    static constexpr int kNameLength = 48;
    static constexpr int kNameSize = kNameLength + 1;

    // "Init", all values 0.0.
    explicit TVstProgram(int numParams);

    void SetName(std::string_view name) noexcept;

    std::vector<RelaxedAtomic<float>> Values;
    char Name[kNameSize] = {};
};

} // namespace host
