#include "platform/EditorWindow.h"

#include <atomic>
#include <chrono>

namespace platform {

namespace {
std::atomic<WindowFactory*> installedFactory{nullptr};
}

void SetWindowFactory(WindowFactory* factory) noexcept {
    installedFactory.store(factory);
}

WindowFactory* InstalledWindowFactory() noexcept {
    return installedFactory.load();
}

WindowFactory* CurrentWindowFactory() noexcept {
    if (WindowFactory* factory = installedFactory.load())
        return factory;
    return NativeWindowFactory();
}

double MonotonicMilliseconds() noexcept {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

} // namespace platform
