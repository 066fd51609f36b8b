// The Win32 editor window on its own, under a real windowing system (wine, or Windows): creation as a
// child, posted messages, timer, painting, input, cursor, popup menu, save dialog and clean-up.

#include "platform/win32/Win32EditorWindow.h"
#include "platform/MessageBox.h"
#include "platform/win32/Win32WindowClass.h"
#include "tests/gui/GuiSupport.h"
#include "tests/host/minitest/MiniTest.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

using platform::win32::Win32EditorWindow;

namespace {

constexpr int kWidth = 780;
constexpr int kHeight = 303;

struct Event {
    std::string kind;
    platform::Point point{};
    unsigned id = 0;
    std::uintptr_t wParam = 0;
    int key = 0;
    bool hadCapture = false;
};

// Records what the window reports.
class RecordingEvents : public platform::WindowEvents {
public:
    HWND window = nullptr;
    std::vector<Event> events;
    std::vector<platform::Rect> paints;
    int ticks = 0;

    int Count(const std::string& kind) const {
        int n = 0;
        for (const Event& e : events)
            n += e.kind == kind ? 1 : 0;
        return n;
    }
    const Event* Last(const std::string& kind) const {
        for (auto it = events.rbegin(); it != events.rend(); ++it)
            if (it->kind == kind)
                return &*it;
        return nullptr;
    }

    void MouseDown(platform::MouseButton b, platform::ShiftState, platform::Point p) override {
        add(b == platform::MouseButton::Left ? "down" : "rdown", p);
    }
    void MouseMove(platform::ShiftState, platform::Point p) override { add("move", p); }
    void MouseUp(platform::MouseButton b, platform::ShiftState, platform::Point p) override {
        add(b == platform::MouseButton::Left ? "up" : "rup", p);
    }
    void DoubleClick(platform::MouseButton, platform::ShiftState s, platform::Point p) override {
        add(s.doubleClick ? "double" : "double-without-flag", p);
    }
    void MouseLeave() override { add("leave", {}); }
    void KeyDown(platform::KeyCode key, platform::ShiftState) override {
        events.push_back({"keydown", {}, 0, 0, key, false});
    }
    void KeyUp(platform::KeyCode key, platform::ShiftState) override {
        events.push_back({"keyup", {}, 0, 0, key, false});
    }
    void CaptureLost() override { add("capturelost", {}); }
    void FocusLost() override { add("focuslost", {}); }
    void PostedMessage(unsigned id, std::uintptr_t wParam, std::intptr_t) override {
        events.push_back({"posted", {}, id, wParam, 0, false});
    }
    void TimerTick() override { ++ticks; }
    void Paint(const platform::Rect& area) override { paints.push_back(area); }

private:
    void add(const char* kind, platform::Point p) {
        events.push_back({kind, p, 0, 0, 0, window != nullptr && GetCapture() == window});
    }
};

struct Fixture {
    guitest::HostWindow host{900, 400};
    RecordingEvents events;
    std::unique_ptr<Win32EditorWindow> window;

    Fixture() {
        window = Win32EditorWindow::Create(host.Handle(), kWidth, kHeight, events);
        if (window)
            events.window = static_cast<HWND>(window->NativeHandle());
        guitest::Pump(100);
    }
    HWND Handle() const { return events.window; }
};

// A picture whose every pixel differs from its neighbours: BGRA, bottom-up.
std::vector<std::uint32_t> patternPicture(std::uint32_t seed) {
    std::vector<std::uint32_t> bits(static_cast<std::size_t>(kWidth) * kHeight);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            bits[static_cast<std::size_t>(kHeight - 1 - y) * kWidth + x] =
                0xFF000000u | ((x * 7 + seed) & 0xFF) << 16 | ((y * 5 + seed) & 0xFF) << 8 | ((x ^ y) & 0xFF);
    return bits;
}

int cursorDisplayCount() {
    ShowCursor(TRUE);
    return ShowCursor(FALSE);
}

} // namespace

TEST(Win32EditorWindow, IsAVisibleChildAtTheOriginAndLeavesNothingBehind) {
    {
        Fixture f;
        ASSERT_TRUE(f.window != nullptr) << "the window was not created";
        const HWND child = f.Handle();
        EXPECT_EQ(GetParent(child), f.host.Handle());
        EXPECT_TRUE((GetWindowLongPtrA(child, GWL_STYLE) & WS_CHILD) != 0);
        EXPECT_TRUE(IsWindowVisible(child));
        RECT client{};
        GetClientRect(child, &client);
        EXPECT_EQ(client.right, kWidth);
        EXPECT_EQ(client.bottom, kHeight);
        POINT origin{0, 0};
        MapWindowPoints(child, f.host.Handle(), &origin, 1);
        EXPECT_EQ(origin.x, 0);
        EXPECT_EQ(origin.y, 0);
        EXPECT_EQ(f.window->ClientWidth(), kWidth);
        EXPECT_TRUE(platform::win32::Win32WindowClass::Registered());

        const platform::Point screen = f.window->ClientToScreen({10, 20});
        POINT expected{10, 20};
        ClientToScreen(child, &expected);
        EXPECT_EQ(screen.x, expected.x);
        EXPECT_EQ(screen.y, expected.y);
        EXPECT_TRUE((f.window->ScreenToClient(screen) == platform::Point{10, 20}));

        // No parent, or a parent that is no window: no editor window.
        RecordingEvents spare;
        EXPECT_TRUE(Win32EditorWindow::Create(nullptr, kWidth, kHeight, spare) == nullptr);
        EXPECT_TRUE(Win32EditorWindow::Create(reinterpret_cast<HWND>(0x1234), kWidth, kHeight, spare) ==
                    nullptr);

        f.window.reset();
        EXPECT_FALSE(IsWindow(child)) << "destroying the object destroys the window";
    }
    EXPECT_FALSE(platform::win32::Win32WindowClass::Registered())
        << "the class stays registered after the last window";
}

TEST(Win32EditorWindow, DeliversPostedMessagesInOrderAndTicks) {
    Fixture f;
    ASSERT_TRUE(f.window != nullptr);
    int object = 0;
    f.window->PostWindowMessage(1985, reinterpret_cast<std::uintptr_t>(&object), 0);
    f.window->PostWindowMessage(1986, 7, 0);
    EXPECT_EQ(f.events.Count("posted"), 0) << "a posted message must not arrive inside the post call";
    guitest::PumpUntil([&] { return f.events.Count("posted") == 2; }, 2000);
    ASSERT_EQ(f.events.Count("posted"), 2);
    // Only the posted ones: the pointer may lie where the window appeared and report a move first.
    std::vector<Event> posted;
    std::copy_if(f.events.events.begin(), f.events.events.end(), std::back_inserter(posted),
                 [](const Event& e) { return e.kind == "posted"; });
    EXPECT_EQ(posted[0].id, 1985u);
    EXPECT_EQ(posted[0].wParam, reinterpret_cast<std::uintptr_t>(&object));
    EXPECT_EQ(posted[1].id, 1986u);

    f.window->StartTimer(50);
    guitest::Pump(400);
    EXPECT_GE(f.events.ticks, 3) << "a 50 ms timer ticked too rarely in 400 ms";
    f.window->StopTimer();
    guitest::Pump(60);
    const int stopped = f.events.ticks;
    guitest::Pump(200);
    EXPECT_EQ(f.events.ticks, stopped) << "the timer ticks after StopTimer";

    // A message still queued when the window goes is dropped, not delivered to a dead form.
    RecordingEvents late;
    auto second = Win32EditorWindow::Create(f.host.Handle(), kWidth, kHeight, late);
    ASSERT_TRUE(second != nullptr);
    second->PostWindowMessage(1985, 1, 0);
    second->StartTimer(10);
    second.reset();
    guitest::Pump(150);
    EXPECT_EQ(late.Count("posted"), 0);
    EXPECT_EQ(late.ticks, 0);
}

TEST(Win32EditorWindow, ShowsThePictureExactly) {
    Fixture f;
    ASSERT_TRUE(f.window != nullptr);
    std::vector<std::uint32_t> bits = patternPicture(0);
    f.window->SetPicture({bits.data(), kWidth, kHeight});
    UpdateWindow(f.Handle());
    guitest::Pump(50);
    ASSERT_FALSE(f.events.paints.empty()) << "no paint request before showing the picture";

    auto matches = [&](const char* what) {
        const guitest::Screenshot shot = guitest::Capture(f.Handle());
        EXPECT_EQ(shot.width, kWidth);
        EXPECT_EQ(shot.height, kHeight);
        int wrong = 0;
        for (int y = 0; y < shot.height && y < kHeight; ++y)
            for (int x = 0; x < shot.width && x < kWidth; ++x)
                if (shot.At(x, y) !=
                    (bits[static_cast<std::size_t>(kHeight - 1 - y) * kWidth + x] & 0xFFFFFFu)) {
                    if (wrong == 0)
                        std::fprintf(stderr, "%s: first difference at %d, %d\n", what, x, y);
                    ++wrong;
                }
        EXPECT_EQ(wrong, 0) << what;
    };
    matches("whole picture");

    // A changed area is asked for and shown; the rest stays.
    const platform::Rect area{100, 50, 140, 90};
    const std::vector<std::uint32_t> next = patternPicture(99);
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) {
            const std::size_t i = static_cast<std::size_t>(kHeight - 1 - y) * kWidth + x;
            bits[i] = next[i];
        }
    f.events.paints.clear();
    f.window->Invalidate(area);
    UpdateWindow(f.Handle());
    guitest::Pump(50);
    ASSERT_EQ(f.events.paints.size(), 1u);
    EXPECT_TRUE(f.events.paints[0] == area) << "the paint request covers more than the invalid area";
    matches("after a partial update");
}

TEST(Win32EditorWindow, TurnsInputIntoEvents) {
    Fixture f;
    ASSERT_TRUE(f.window != nullptr);
    guitest::MoveMouseTo(f.Handle(), 300, 100);
    guitest::Pump(50);
    guitest::MouseButton(true);
    guitest::PumpUntil([&] { return f.events.Count("down") == 1; }, 1000);
    guitest::MoveMouseBy(0, -10);
    guitest::Pump(50);
    guitest::MouseButton(false);
    guitest::PumpUntil([&] { return f.events.Count("up") == 1; }, 1000);
    const Event* down = f.events.Last("down");
    ASSERT_TRUE(down != nullptr) << "no mouse down from SendInput";
    EXPECT_TRUE((down->point == platform::Point{300, 100}));
    EXPECT_TRUE(down->hadCapture) << "the press does not take the capture";
    const Event* move = f.events.Last("move");
    ASSERT_TRUE(move != nullptr);
    EXPECT_TRUE((move->point == platform::Point{300, 90}));
    ASSERT_TRUE(f.events.Last("up") != nullptr);
    EXPECT_FALSE(GetCapture() == f.Handle()) << "the capture outlives the release";
    EXPECT_EQ(f.events.Count("capturelost"), 0) << "releasing its own capture is no loss";

    // A drag that ends outside the window: the release still arrives, then the pointer has left.
    guitest::MoveMouseTo(f.Handle(), 500, 150);
    guitest::Pump(30);
    guitest::MouseButton(true);
    guitest::Pump(30);
    guitest::MoveMouseTo(f.Handle(), 500, kHeight + 40);
    guitest::Pump(30);
    EXPECT_EQ(f.events.Count("leave"), 0) << "the pointer left while the window held the capture";
    guitest::MouseButton(false);
    guitest::PumpUntil([&] { return f.events.Count("up") == 2; }, 1000);
    ASSERT_TRUE(f.events.Last("up") != nullptr);
    EXPECT_EQ(f.events.Last("up")->point.y, kHeight + 40);
    EXPECT_GE(f.events.Count("leave"), 1) << "no leave after a drag ended outside";
    guitest::MoveMouseTo(f.Handle(), 300, 100);
    guitest::Pump(30);

    // Keys reach the focused window (a press gave it the focus).
    EXPECT_EQ(GetFocus(), f.Handle());
    guitest::PressKey(VK_UP, true);
    guitest::PressKey(VK_UP, false);
    guitest::PumpUntil([&] { return f.events.Count("keyup") == 1; }, 1000);
    ASSERT_TRUE(f.events.Last("keydown") != nullptr);
    EXPECT_EQ(f.events.Last("keydown")->key, VK_UP);

    // A second press within the double-click time is a double click.
    guitest::MouseButton(true);
    guitest::MouseButton(false);
    guitest::MouseButton(true);
    guitest::MouseButton(false);
    guitest::PumpUntil([&] { return f.events.Count("double") == 1; }, 1000);
    EXPECT_EQ(f.events.Count("double"), 1);
    EXPECT_EQ(f.events.Count("double-without-flag"), 0);

    // Another window taking the capture in the middle of a drag, or the focus, is reported.
    f.window->CaptureMouse();
    SetCapture(f.host.Handle());
    EXPECT_EQ(f.events.Count("capturelost"), 1);
    ReleaseCapture();
    SetFocus(f.host.Handle());
    EXPECT_GE(f.events.Count("focuslost"), 1);
}

TEST(Win32EditorWindow, ShowsTheCursorAgainWhenDestroyedInADrag) {
    const int before = cursorDisplayCount();
    {
        Fixture f;
        ASSERT_TRUE(f.window != nullptr);
        platform::Cursor& cursor = f.window->SystemCursor();
        cursor.Hide();
        EXPECT_EQ(cursorDisplayCount(), before - 1);
        cursor.SetPosition(f.window->ClientToScreen({50, 60}));
        POINT p{};
        GetCursorPos(&p);
        const platform::Point expected = f.window->ClientToScreen({50, 60});
        EXPECT_EQ(static_cast<int>(p.x), expected.x);
        EXPECT_EQ(static_cast<int>(p.y), expected.y);
        EXPECT_TRUE((cursor.Position() == expected));
        // An unmatched show must not lift the counter above its starting value.
        cursor.Show();
        cursor.Show();
        EXPECT_EQ(cursorDisplayCount(), before);
        cursor.Hide();
    }
    EXPECT_EQ(cursorDisplayCount(), before) << "the cursor stays hidden after the window is gone";
}

namespace {

// Posts keys to the open menu, one per timer call, from inside the menu's modal loop.
std::vector<WORD> menuKeys;
int menuSteps = 0;
void CALLBACK driveMenu(HWND, UINT, UINT_PTR, DWORD) {
    const HWND menu = guitest::FindThreadWindow("#32768");
    if (!menu || menuKeys.empty())
        return;
    const WORD key = menuKeys.front();
    menuKeys.erase(menuKeys.begin());
    PostMessageA(menu, WM_KEYDOWN, key, 0);
    PostMessageA(menu, WM_KEYUP, key, 0xC0000000);
    ++menuSteps;
}

} // namespace

TEST(Win32EditorWindow, PopupMenuDrawsEveryItemThroughTheOwnerAndAnswersTheChoice) {
    Fixture f;
    ASSERT_TRUE(f.window != nullptr);
    const std::vector<platform::MenuItem> items{{"Save as", 90, 18}, {"-", 90, 9}, {"Preset", 90, 18}};
    std::vector<int> drawn(items.size(), 0);
    std::vector<int> drawnSelected(items.size(), 0);
    bool sizeOk = true;
    auto draw = [&](int index, const platform::PixelPicture& canvas, bool selected) {
        ++drawn.at(static_cast<std::size_t>(index));
        drawnSelected[static_cast<std::size_t>(index)] += selected ? 1 : 0;
        sizeOk = sizeOk && canvas.width >= items[static_cast<std::size_t>(index)].width &&
                 canvas.height == items[static_cast<std::size_t>(index)].height;
        for (int y = 0; y < canvas.height; ++y)
            for (int x = 0; x < canvas.width; ++x)
                canvas.Row(y)[x] = selected ? 0xFF9C9280u : 0xFF222222u;
    };

    // Down selects "Save as", the next Down skips the separator, Return chooses "Preset".
    menuKeys = {VK_DOWN, VK_DOWN, VK_RETURN};
    const UINT_PTR timer = SetTimer(nullptr, 0, 150, driveMenu);
    int chosen = -5;
    int calls = 0;
    f.window->ShowPopupMenu(items, f.window->ClientToScreen({100, 100}), draw, [&](int index) {
        chosen = index;
        ++calls;
    });
    guitest::PumpUntil([&] { return calls > 0; }, 5000);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(chosen, 2) << "keys posted: " << menuSteps;
    for (std::size_t i = 0; i < items.size(); ++i)
        EXPECT_GE(drawn[i], 1) << "item " << i << " was never drawn by the owner";
    EXPECT_GE(drawnSelected[0], 1) << "the highlighted item was not drawn selected";
    EXPECT_EQ(drawnSelected[1], 0) << "the separator was highlighted";
    EXPECT_TRUE(sizeOk) << "an item's canvas is smaller than its measurement";

    // Escape dismisses: -1.
    menuKeys = {VK_ESCAPE};
    calls = 0;
    f.window->ShowPopupMenu(items, f.window->ClientToScreen({100, 100}), draw, [&](int index) {
        chosen = index;
        ++calls;
    });
    guitest::PumpUntil([&] { return calls > 0; }, 5000);
    KillTimer(nullptr, timer);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(chosen, -1);
}

namespace {

std::string dialogAnswer;
bool dialogCancel = false;
std::string dialogFilterSeen;
void CALLBACK driveDialog(HWND, UINT, UINT_PTR, DWORD) {
    const HWND dialog = guitest::FindThreadWindow("#32770");
    if (!dialog)
        return;
    if (dialogCancel) {
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        return;
    }
    // The file-name field of the explorer-style dialog (cmb13, or edt1 in older layouts).
    if (!SetDlgItemTextA(dialog, 0x47c, dialogAnswer.c_str()))
        SetDlgItemTextA(dialog, 0x480, dialogAnswer.c_str());
    PostMessageA(dialog, WM_COMMAND, IDOK, 0);
}

} // namespace

TEST(Win32EditorWindow, SaveDialogAnswersThePathOrNothing) {
    Fixture f;
    ASSERT_TRUE(f.window != nullptr);
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    std::string folder = temp;
    if (!folder.empty() && folder.back() == '\\')
        folder.pop_back();

    platform::SaveDialogOptions options;
    options.initialFolder = folder;
    options.filter = "fxp|*.fxp";
    options.fileName = "first";
    dialogAnswer = folder + "\\vorelan-gui-test-new-name";
    dialogCancel = false;
    const UINT_PTR timer = SetTimer(nullptr, 0, 300, driveDialog);
    int calls = 0;
    std::optional<std::string> answer;
    f.window->ShowSaveDialog(options, [&](std::optional<std::string> path) {
        answer = std::move(path);
        ++calls;
    });
    guitest::PumpUntil([&] { return calls > 0; }, 20000);
    EXPECT_EQ(calls, 1);
    ASSERT_TRUE(answer.has_value()) << "the dialog was cancelled";
    // No default extension: the name comes back as typed.
    EXPECT_EQ(*answer, dialogAnswer);

    dialogCancel = true;
    calls = 0;
    f.window->ShowSaveDialog(options, [&](std::optional<std::string> path) {
        answer = std::move(path);
        ++calls;
    });
    guitest::PumpUntil([&] { return calls > 0; }, 20000);
    KillTimer(nullptr, timer);
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(answer.has_value());
}

namespace {

HWND boxOwnerWindow = nullptr;
int boxSeen = 0;
bool ownerDisabledDuringBox = false;
void CALLBACK answerMessageBox(HWND, UINT, UINT_PTR, DWORD) {
    const HWND box = guitest::FindThreadWindow("#32770");
    if (!box)
        return;
    ++boxSeen;
    ownerDisabledDuringBox = !IsWindowEnabled(boxOwnerWindow);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
}

} // namespace

TEST(Win32EditorWindow, MessageBoxKeepsTheHostsWindowsDisabledWhileUp) {
    Fixture f;
    ASSERT_TRUE(f.window != nullptr);
    boxOwnerWindow = f.host.Handle();
    boxSeen = 0;
    const UINT_PTR timer = SetTimer(nullptr, 0, 200, answerMessageBox);
    platform::ShowSystemMessageBox("VorelanEn2", "A message for the test", platform::MessageIcon::Warning);
    KillTimer(nullptr, timer);
    EXPECT_EQ(boxSeen, 1) << "the box did not show, or returned before it was answered";
    EXPECT_TRUE(ownerDisabledDuringBox)
        << "the host's window could be used (and the editor closed) under the box";
    EXPECT_TRUE(IsWindowEnabled(f.host.Handle())) << "the host's window stayed disabled after the box";
}

TEST(Win32EditorWindow, OutlivesTheHostDestroyingItsWindowFirst) {
    RecordingEvents events;
    std::unique_ptr<Win32EditorWindow> window;
    HWND child = nullptr;
    {
        guitest::HostWindow host(900, 400);
        window = Win32EditorWindow::Create(host.Handle(), kWidth, kHeight, events);
        ASSERT_TRUE(window != nullptr);
        child = static_cast<HWND>(window->NativeHandle());
        window->StartTimer(20);
        window->PostWindowMessage(1985, 1, 0);
    }
    EXPECT_FALSE(IsWindow(child));
    EXPECT_TRUE(window->NativeHandle() == nullptr) << "the window keeps a handle the system may reuse";
    // Nothing the form may still do reaches another window, the desktop or the thread.
    std::vector<std::uint32_t> bits = patternPicture(5);
    window->SetPicture({bits.data(), kWidth, kHeight});
    window->Invalidate({0, 0, 10, 10});
    window->PostWindowMessage(1985, 2, 0);
    window->StartTimer(20);
    window->CaptureMouse();
    int menuAnswer = -5;
    window->ShowPopupMenu({{"Save as", 80, 18}}, {0, 0}, {}, [&](int index) { menuAnswer = index; });
    EXPECT_EQ(menuAnswer, -1);
    guitest::Pump(120);
    EXPECT_EQ(events.Count("posted"), 0);
    EXPECT_EQ(events.ticks, 0);
    MSG stray;
    EXPECT_FALSE(PeekMessageA(&stray, nullptr, 1985, 1985, PM_REMOVE)) << "a message went to the thread";
    window.reset();
    guitest::Pump(50);
    EXPECT_FALSE(platform::win32::Win32WindowClass::Registered());
}

TEST(Win32EditorWindow, ManyOpenCloseCyclesLeakNothing) {
    guitest::HostWindow host(900, 400);
    const DWORD gdiBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    const DWORD userBefore = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    std::vector<std::uint32_t> bits = patternPicture(3);
    for (int i = 0; i < 200; ++i) {
        RecordingEvents events;
        auto window = Win32EditorWindow::Create(host.Handle(), kWidth, kHeight, events);
        ASSERT_TRUE(window != nullptr) << "cycle " << i;
        window->SetPicture({bits.data(), kWidth, kHeight});
        window->StartTimer(50);
        window->PostWindowMessage(1985, 1, 0);
        window->SystemCursor().Hide();
        if (i % 20 == 0)
            guitest::Pump(10);
    }
    guitest::Pump(50);
    EXPECT_FALSE(platform::win32::Win32WindowClass::Registered());
    EXPECT_TRUE(GetWindow(host.Handle(), GW_CHILD) == nullptr) << "a child window survived";
    // Systems that count their objects per process must show no growth.
    EXPECT_LE(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), gdiBefore + 2);
    EXPECT_LE(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS), userBefore + 2);
}

int main() {
    // Without a usable display no window can be made: say so and count as skipped.
    if (!guitest::HostWindow(10, 10).Handle()) {
        std::printf("skipped: no window can be created (no usable X display for wine)\n");
        return 77;
    }
    return minitest::RunAllTests();
}
