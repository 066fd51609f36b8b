#pragma once

#include "platform/EditorWindow.h"
#include "platform/headless/HeadlessCursor.h"

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace platform::headless {

class HeadlessWindowFactory;

// An editor window that exists only in memory. Nothing happens by itself: a test (or the screenshot
// command) delivers posted messages and paints with RunPending, moves time on with the factory's
// AdvanceClock, feeds input through the helpers below, and answers menus and dialogs either by script
// (queued answers) or by hand while they are open.
class HeadlessWindow : public EditorWindow {
public:
    HeadlessWindow(HeadlessWindowFactory& factory, int width, int height, WindowEvents& events);
    ~HeadlessWindow() override;

    // --- EditorWindow ---
    void* NativeHandle() const override { return nullptr; }
    int ClientWidth() const override { return width_; }
    int ClientHeight() const override { return height_; }
    void SetPicture(const PixelPicture& picture) override { picture_ = picture; }
    void Invalidate(const Rect& area) override;
    void PostWindowMessage(unsigned id, std::uintptr_t wParam, std::intptr_t lParam) override;
    void StartTimer(unsigned intervalMs) override;
    void StopTimer() override { timerRunning_ = false; }
    void CaptureMouse() override { captured_ = true; }
    void ReleaseMouse() override { captured_ = false; }
    Cursor& SystemCursor() override { return cursor_; }
    Point ClientToScreen(Point client) const override;
    Point ScreenToClient(Point screen) const override;
    void ShowPopupMenu(const std::vector<MenuItem>& items, Point screen, MenuDrawItem draw,
                       MenuChosen onChosen) override;
    void ShowSaveDialog(const SaveDialogOptions& options, SaveDialogDone onDone) override;
    void Idle() override { ++idleCalls_; }

    // --- driving it ---
    // Delivers the posted messages (also those posted meanwhile), answers a menu or dialog that has a
    // scripted answer waiting, and paints the invalid area until nothing is left to show. Answers the
    // number of messages delivered.
    int RunPending();
    // Called by the factory as its clock moves: fires the timer for every period that has passed.
    void ClockAdvanced(double now);

    // Input in client coordinates, with the left button unless another is given.
    void MoveMouse(Point client, ShiftState shift = {});
    void Press(Point client, MouseButton button = MouseButton::Left, ShiftState shift = {});
    void Release(Point client, MouseButton button = MouseButton::Left, ShiftState shift = {});
    void Click(Point client, MouseButton button = MouseButton::Left);
    void DoubleClick(Point client);
    WindowEvents& Events() { return events_; }

    // --- what it shows ---
    const PixelPicture& Picture() const { return picture_; }
    // The pixel at (x, y) from the top-left corner; 0 outside the picture.
    std::uint32_t PixelAt(int x, int y) const;
    const Rect& InvalidArea() const { return invalid_; }
    int PaintCount() const { return paintCount_; }
    bool TimerRunning() const { return timerRunning_; }
    unsigned TimerInterval() const { return timerInterval_; }
    bool Captured() const { return captured_; }
    int IdleCalls() const { return idleCalls_; }
    std::size_t PendingMessages() const { return posted_.size(); }
    HeadlessCursor& TestCursor() { return cursor_; }
    // Where the client area's top-left corner sits on the imaginary screen.
    Point screenOrigin{200, 150};

    // --- menus ---
    // The menu's answer is given inside ShowPopupMenu (as a modal menu loop does) when this is true,
    // else from the next RunPending. The same holds for the save dialog.
    bool answerAtOnce = false;
    std::deque<int> scriptedMenuChoices;                        // -1 dismisses
    std::deque<std::optional<std::string>> scriptedSaveAnswers; // nothing cancels
    bool MenuOpen() const { return menu_.has_value(); }
    const std::vector<MenuItem>& MenuItems() const;
    Point MenuPosition() const { return menu_ ? menu_->screen : Point{}; }
    // Draws item index of the open menu as the system would and answers the picture's pixels (BGRA,
    // bottom-up, item width x height); empty when no menu is open or index is outside it.
    std::vector<std::uint32_t> DrawMenuItem(int index, bool selected);
    // Closes the open menu with a choice (-1 dismisses); nothing when no menu is open.
    void ChooseMenuItem(int index);
    int MenusShown() const { return menusShown_; }

    // --- save dialog ---
    bool SaveDialogOpen() const { return dialog_.has_value(); }
    const SaveDialogOptions& SaveDialogShown() const { return lastDialog_; }
    void AnswerSaveDialog(std::optional<std::string> path);
    int SaveDialogsShown() const { return dialogsShown_; }

private:
    struct Posted {
        unsigned id;
        std::uintptr_t wParam;
        std::intptr_t lParam;
    };
    struct OpenMenu {
        std::vector<MenuItem> items;
        Point screen;
        MenuDrawItem draw;
        MenuChosen onChosen;
    };
    struct OpenDialog {
        SaveDialogOptions options;
        SaveDialogDone onDone;
    };
    void AnswerScripted();
    ShiftState Held(ShiftState shift, MouseButton button, bool down) const;

    HeadlessWindowFactory& factory_;
    int width_;
    int height_;
    WindowEvents& events_;
    PixelPicture picture_;
    Rect invalid_;
    int paintCount_ = 0;
    std::deque<Posted> posted_;
    bool timerRunning_ = false;
    unsigned timerInterval_ = 0;
    double nextTick_ = 0;
    bool captured_ = false;
    int idleCalls_ = 0;
    HeadlessCursor cursor_;
    ShiftState buttons_;
    std::optional<OpenMenu> menu_;
    int menusShown_ = 0;
    std::optional<OpenDialog> dialog_;
    SaveDialogOptions lastDialog_;
    int dialogsShown_ = 0;
};

} // namespace platform::headless
