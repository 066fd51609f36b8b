#include "platform/headless/HeadlessWindowFactory.h"

#include "platform/headless/HeadlessWindow.h"

#include <algorithm>

namespace platform::headless {

std::unique_ptr<EditorWindow> HeadlessWindowFactory::CreateEditorWindow(void* parent, int width, int height,
                                                                        WindowEvents& events) {
    lastParent = parent;
    auto window = std::make_unique<HeadlessWindow>(*this, width, height, events);
    windows_.push_back(window.get());
    ++created_;
    return window;
}

void HeadlessWindowFactory::AdvanceClock(double milliseconds) {
    if (!(milliseconds > 0))
        return;
    now_ += milliseconds;
    // A copy: a window may be created or destroyed by what its timer does.
    const std::vector<HeadlessWindow*> windows = windows_;
    for (HeadlessWindow* window : windows)
        if (std::find(windows_.begin(), windows_.end(), window) != windows_.end())
            window->ClockAdvanced(now_);
}

void HeadlessWindowFactory::Forget(HeadlessWindow* window) {
    windows_.erase(std::remove(windows_.begin(), windows_.end(), window), windows_.end());
}

} // namespace platform::headless
