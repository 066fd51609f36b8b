#pragma once

#include "platform/EditorWindow.h"
#include "platform/win32/Win32Cursor.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <memory>
#include <vector>

namespace platform::win32 {

// The editor's window on Win32: a borderless child of the host's window at (0, 0), created with
// CreateWindowEx, that shows the form's picture with SetDIBitsToDevice and turns the window messages
// into WindowEvents. The window takes the mouse capture on a press and keeps it until every button is
// released, so a drag that leaves the window keeps reaching its control.
//
// Popup menus (TrackPopupMenu) and the save dialog (GetSaveFileNameA) run the system's modal loops and
// call back before their Show call returns. The window may be destroyed while such a loop runs (the
// host closes the editor); the callback is then dropped.
//
// No exception leaves the window procedure: one thrown by an event handler is swallowed there. The
// procedure runs in the floating-point state of every call into the plug-in (vst2::FloatingPointGuard),
// not in the host's.
class Win32EditorWindow final : public EditorWindow {
public:
    // Null when the parent is no window or the system refuses the window.
    static std::unique_ptr<Win32EditorWindow> Create(HWND parent, int width, int height,
                                                     WindowEvents& events);
    ~Win32EditorWindow() override;

    void* NativeHandle() const override { return window_; }
    int ClientWidth() const override { return width_; }
    int ClientHeight() const override { return height_; }

    void SetPicture(const PixelPicture& picture) override;
    void Invalidate(const Rect& area) override;
    void PostWindowMessage(unsigned id, std::uintptr_t wParam, std::intptr_t lParam) override;
    void StartTimer(unsigned intervalMs) override;
    void StopTimer() override;
    void CaptureMouse() override;
    void ReleaseMouse() override;
    Cursor& SystemCursor() override { return cursor_; }
    Point ClientToScreen(Point client) const override;
    Point ScreenToClient(Point screen) const override;
    void ShowPopupMenu(const std::vector<MenuItem>& items, Point screen, MenuDrawItem draw,
                       MenuChosen onChosen) override;
    void ShowSaveDialog(const SaveDialogOptions& options, SaveDialogDone onDone) override;

    // The identifier of the window's periodic timer.
    static constexpr UINT_PTR kTimerId = 1;

private:
    // The system cursor, counting the hides not yet undone so that destroying the window in the
    // middle of a knob drag shows the cursor again.
    class CountingCursor final : public Win32Cursor {
    public:
        void Hide() override;
        void Show() override;
        void ShowAll();

    private:
        int hidden_ = 0;
    };

    Win32EditorWindow(int width, int height, WindowEvents& events);
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void Paint();
    void MouseButton(UINT message, WPARAM wParam, LPARAM lParam);
    void MeasureMenuItem(MEASUREITEMSTRUCT& measure) const;
    void DrawMenuItem(const DRAWITEMSTRUCT& draw);
    // Releases the capture without reporting it as lost.
    void ReleaseOwnCapture();

    HWND window_ = nullptr;
    int width_;
    int height_;
    WindowEvents& events_;
    PixelPicture picture_;
    CountingCursor cursor_;
    bool trackingLeave_ = false;
    bool releasingCapture_ = false;
    bool timerRunning_ = false;
    // Cleared when the window is destroyed; a modal loop that outlives the window checks it.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);

    // The open popup menu: its items and how to draw them (the menu's modal loop asks for both).
    bool menuOpen_ = false;
    std::vector<MenuItem> menuItems_;
    MenuDrawItem menuDraw_;
    std::vector<std::uint32_t> itemPixels_;
    bool dialogOpen_ = false;
};

// Shows picture's area (client coordinates, clipped to the picture) on a device context with its
// top-left corner at (x, y). Shared by the window's painting and the menu's items.
void ShowPicture(HDC dc, const PixelPicture& picture, const Rect& area, int x, int y) noexcept;

} // namespace platform::win32
