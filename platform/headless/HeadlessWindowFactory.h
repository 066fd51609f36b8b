#pragma once

#include "platform/EditorWindow.h"

#include <vector>

namespace platform::headless {

class HeadlessWindow;

// Makes headless windows and keeps their shared manual clock. An editor lives in memory when its form
// class is given this factory. Windows must not outlive their factory.
class HeadlessWindowFactory : public WindowFactory {
public:
    HeadlessWindowFactory() = default;
    HeadlessWindowFactory(const HeadlessWindowFactory&) = delete;
    HeadlessWindowFactory& operator=(const HeadlessWindowFactory&) = delete;

    std::unique_ptr<EditorWindow> CreateEditorWindow(void* parent, int width, int height,
                                                     WindowEvents& events) override;

    // The manual clock in milliseconds; it starts at 0 and moves only here. Every live window's
    // timer fires once for each whole period that passes.
    double Now() const { return now_; }
    void AdvanceClock(double milliseconds);

    // The live windows, oldest first, and the last one created (null when none lives).
    const std::vector<HeadlessWindow*>& Windows() const { return windows_; }
    HeadlessWindow* LastWindow() const { return windows_.empty() ? nullptr : windows_.back(); }
    int WindowsCreated() const { return created_; }
    void* lastParent = nullptr;
    // The cursor's display counter of the last window destroyed, read when it went: 0 when every hide
    // was matched by a show.
    int lastClosedCursorDisplayCount = 0;

private:
    friend class HeadlessWindow;
    void Forget(HeadlessWindow* window);

    double now_ = 0;
    std::vector<HeadlessWindow*> windows_;
    int created_ = 0;
};

} // namespace platform::headless
