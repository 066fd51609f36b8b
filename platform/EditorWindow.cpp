#include "platform/EditorWindow.h"

#include <chrono>

namespace platform {

double MonotonicMilliseconds() noexcept {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

} // namespace platform
