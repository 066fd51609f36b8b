#pragma once

// Helpers of the Windows GUI tests: a top-level window to host editors in, a message pump, synthetic
// mouse and keyboard input through SendInput, and a copy of what a window shows.

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace guitest {

// A visible top-level window whose client area is at least width x height, standing in for a host's
// editor frame. Destroyed with the object.
class HostWindow {
public:
    HostWindow(int width, int height);
    ~HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;
    HWND Handle() const { return window_; }

private:
    HWND window_ = nullptr;
};

// Dispatches the thread's messages for milliseconds; idle (if given) runs about every 20 ms, as a
// host's editor-idle calls do.
void Pump(int milliseconds, const std::function<void()>& idle = {});
// Pumps until done answers true or milliseconds pass; answers done's last answer.
bool PumpUntil(const std::function<bool()>& done, int milliseconds, const std::function<void()>& idle = {});

// Synthetic input as the system's input queue delivers it (the cursor really moves).
void MoveMouseTo(HWND window, int clientX, int clientY);
void MoveMouseBy(int dx, int dy);
void MouseButton(bool down, bool left = true);
void PressKey(WORD virtualKey, bool down);

// What the window's client area shows: 32-bit pixels 0x00RRGGBB, top row first.
struct Screenshot {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};
Screenshot Capture(HWND window);
// Writes the screenshot as a 24-bit BMP file; false when it cannot be written.
bool SaveBmp(const Screenshot& shot, const std::string& path);

// The first top-level window of this thread with the given class name ("#32768" for menus, "#32770"
// for dialogs), or null.
HWND FindThreadWindow(const char* className);

} // namespace guitest
