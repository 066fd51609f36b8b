#include "platform/win32/Win32EditorWindow.h"

#include "platform/win32/Win32WindowClass.h"
#include "vst2/FloatingPointGuard.h"

#include <commdlg.h>
#include <windowsx.h>

#include <algorithm>
#include <string>

namespace platform::win32 {

namespace {

// BeginPaint and EndPaint as a pair, also when a paint handler throws.
class PaintScope {
public:
    explicit PaintScope(HWND window) : window_(window) { dc_ = BeginPaint(window_, &paint_); }
    ~PaintScope() { EndPaint(window_, &paint_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    HDC Dc() const { return dc_; }
    Rect Area() const {
        return {paint_.rcPaint.left, paint_.rcPaint.top, paint_.rcPaint.right, paint_.rcPaint.bottom};
    }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_ = nullptr;
};

class MenuHandle {
public:
    MenuHandle() : menu_(CreatePopupMenu()) {}
    ~MenuHandle() {
        if (menu_)
            DestroyMenu(menu_);
    }
    MenuHandle(const MenuHandle&) = delete;
    MenuHandle& operator=(const MenuHandle&) = delete;
    HMENU Get() const { return menu_; }

private:
    HMENU menu_;
};

ShiftState mouseShift(WPARAM wParam) {
    ShiftState shift;
    shift.shift = (wParam & MK_SHIFT) != 0;
    shift.ctrl = (wParam & MK_CONTROL) != 0;
    shift.alt = GetKeyState(VK_MENU) < 0;
    shift.left = (wParam & MK_LBUTTON) != 0;
    shift.right = (wParam & MK_RBUTTON) != 0;
    shift.middle = (wParam & MK_MBUTTON) != 0;
    return shift;
}

ShiftState keyShift() {
    ShiftState shift;
    shift.shift = GetKeyState(VK_SHIFT) < 0;
    shift.ctrl = GetKeyState(VK_CONTROL) < 0;
    shift.alt = GetKeyState(VK_MENU) < 0;
    shift.left = GetKeyState(VK_LBUTTON) < 0;
    shift.right = GetKeyState(VK_RBUTTON) < 0;
    shift.middle = GetKeyState(VK_MBUTTON) < 0;
    return shift;
}

Point clientPoint(LPARAM lParam) {
    return {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
}

// The messages a form posts to itself: the user range and the application range.
bool isPostedMessage(UINT message) {
    return message >= WM_USER && message <= 0xBFFF;
}

// "description|pattern|description|pattern" as the dialog wants it: NUL-separated, two NULs at the end.
std::string dialogFilter(const std::string& filter) {
    std::string result = filter;
    std::replace(result.begin(), result.end(), '|', '\0');
    result.push_back('\0');
    result.push_back('\0');
    return result;
}

} // namespace

void ShowPicture(HDC dc, const PixelPicture& picture, const Rect& area, int x, int y) noexcept {
    if (!dc || !picture.bits || picture.width <= 0 || picture.height <= 0)
        return;
    const Rect shown = area.Intersect({0, 0, picture.width, picture.height});
    if (shown.Empty())
        return;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = picture.width;
    info.bmiHeader.biHeight = picture.height; // positive: rows stored bottom-up
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    // For a bottom-up picture the source's y counts from its bottom row.
    SetDIBitsToDevice(dc, x + shown.left - area.left, y + shown.top - area.top, shown.Width(), shown.Height(),
                      shown.left, picture.height - shown.bottom, 0, picture.height, picture.bits, &info,
                      DIB_RGB_COLORS);
}

// --- cursor ---

void Win32EditorWindow::CountingCursor::Hide() {
    Win32Cursor::Hide();
    ++hidden_;
}

void Win32EditorWindow::CountingCursor::Show() {
    // A Show without a Hide would lift the system's display counter above 0 for good.
    if (hidden_ == 0)
        return;
    --hidden_;
    Win32Cursor::Show();
}

void Win32EditorWindow::CountingCursor::ShowAll() {
    while (hidden_ > 0)
        Show();
}

// --- life ---

Win32EditorWindow::Win32EditorWindow(int width, int height, WindowEvents& events)
    : width_(width), height_(height), events_(events) {}

std::unique_ptr<Win32EditorWindow> Win32EditorWindow::Create(HWND parent, int width, int height,
                                                             WindowEvents& events) {
    if (!parent || !IsWindow(parent) || width <= 0 || height <= 0)
        return nullptr;
    if (!Win32WindowClass::Acquire(&Procedure))
        return nullptr;
    // From here on the window object holds the class reference; its destructor gives it back.
    std::unique_ptr<Win32EditorWindow> window(new Win32EditorWindow(width, height, events));
    const HWND handle = CreateWindowExA(
        0, Win32WindowClass::Name(), "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0, 0,
        width, height, parent, nullptr, Win32WindowClass::Module(), window.get());
    if (!handle)
        return nullptr;
    window->window_ = handle;
    return window;
}

Win32EditorWindow::~Win32EditorWindow() {
    *alive_ = false;
    if (menuOpen_)
        EndMenu();
    if (window_) {
        // Detach first: the messages that destruction sends (capture and focus changes) reach nobody.
        SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
        if (GetCapture() == window_)
            ReleaseCapture();
        if (timerRunning_)
            KillTimer(window_, kTimerId);
        DestroyWindow(window_);
        window_ = nullptr;
    }
    cursor_.ShowAll();
    Win32WindowClass::Release();
}

// --- services ---

// Every service checks the handle first: once the host has destroyed its window (and ours with it),
// a null handle would address the whole desktop or the thread instead.

void Win32EditorWindow::SetPicture(const PixelPicture& picture) {
    picture_ = picture;
    if (window_)
        InvalidateRect(window_, nullptr, FALSE);
}

void Win32EditorWindow::Invalidate(const Rect& area) {
    if (!window_ || area.Empty())
        return;
    const RECT rect{area.left, area.top, area.right, area.bottom};
    InvalidateRect(window_, &rect, FALSE);
}

void Win32EditorWindow::PostWindowMessage(unsigned id, std::uintptr_t wParam, std::intptr_t lParam) {
    // Other numbers would collide with the system's own messages; the form never uses them.
    if (!window_ || !isPostedMessage(id))
        return;
    PostMessageA(window_, id, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam));
}

void Win32EditorWindow::StartTimer(unsigned intervalMs) {
    if (!window_)
        return;
    timerRunning_ = SetTimer(window_, kTimerId, std::max(intervalMs, 1u), nullptr) != 0;
}

void Win32EditorWindow::StopTimer() {
    if (timerRunning_ && window_)
        KillTimer(window_, kTimerId);
    timerRunning_ = false;
}

void Win32EditorWindow::CaptureMouse() {
    if (window_)
        SetCapture(window_);
}

void Win32EditorWindow::ReleaseMouse() {
    ReleaseOwnCapture();
}

void Win32EditorWindow::ReleaseOwnCapture() {
    if (!window_ || GetCapture() != window_)
        return;
    releasingCapture_ = true;
    ReleaseCapture();
    releasingCapture_ = false;
}

Point Win32EditorWindow::ClientToScreen(Point client) const {
    POINT p{client.x, client.y};
    if (window_)
        ::ClientToScreen(window_, &p);
    return {static_cast<int>(p.x), static_cast<int>(p.y)};
}

Point Win32EditorWindow::ScreenToClient(Point screen) const {
    POINT p{screen.x, screen.y};
    if (window_)
        ::ScreenToClient(window_, &p);
    return {static_cast<int>(p.x), static_cast<int>(p.y)};
}

// --- popup menu ---

void Win32EditorWindow::ShowPopupMenu(const std::vector<MenuItem>& items, Point screen, MenuDrawItem draw,
                                      MenuChosen onChosen) {
    if (!window_ || menuOpen_ || dialogOpen_ || items.empty()) {
        if (onChosen)
            onChosen(-1);
        return;
    }
    MenuHandle menu;
    if (!menu.Get()) {
        if (onChosen)
            onChosen(-1);
        return;
    }
    for (std::size_t i = 0; i < items.size(); ++i) {
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_DATA;
        // Every item is drawn by the owner; a separator stays a separator so it cannot be chosen.
        info.fType = MFT_OWNERDRAW | (items[i].caption == "-" ? MFT_SEPARATOR : 0);
        info.wID = static_cast<UINT>(i + 1); // 0 is what TrackPopupMenu answers for "nothing chosen"
        info.dwItemData = static_cast<ULONG_PTR>(i);
        InsertMenuItemA(menu.Get(), static_cast<UINT>(i), TRUE, &info);
    }
    menuItems_ = items;
    menuDraw_ = std::move(draw);
    menuOpen_ = true;
    ReleaseOwnCapture();

    // The modal loop may outlive this object (the host closes the editor meanwhile): keep what the
    // rest of this call needs on the stack.
    const std::shared_ptr<bool> alive = alive_;
    const HWND owner = window_;
    const int count = static_cast<int>(items.size());
    // A menu of a child window closes on a click outside only while its top-level window is in front.
    SetForegroundWindow(GetAncestor(owner, GA_ROOT));
    const int chosen = static_cast<int>(TrackPopupMenu(
        menu.Get(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, screen.x,
        screen.y, 0, owner, nullptr));
    if (!*alive)
        return;
    menuOpen_ = false;
    menuDraw_ = nullptr;
    menuItems_.clear();
    // Lets the foreground window's queue settle, so the next menu opens and closes normally.
    PostMessageA(owner, WM_NULL, 0, 0);
    if (onChosen)
        onChosen(chosen > 0 && chosen <= count ? chosen - 1 : -1);
}

void Win32EditorWindow::MeasureMenuItem(MEASUREITEMSTRUCT& measure) const {
    const std::size_t index = measure.itemData;
    if (index >= menuItems_.size())
        return;
    measure.itemWidth = static_cast<UINT>(std::max(menuItems_[index].width, 1));
    measure.itemHeight = static_cast<UINT>(std::max(menuItems_[index].height, 1));
}

void Win32EditorWindow::DrawMenuItem(const DRAWITEMSTRUCT& draw) {
    const int width = draw.rcItem.right - draw.rcItem.left;
    const int height = draw.rcItem.bottom - draw.rcItem.top;
    const std::size_t index = draw.itemData;
    if (width <= 0 || height <= 0 || index >= menuItems_.size() || !menuDraw_)
        return;
    // The owner draws with the control kit into a picture of the item's size, so the menu looks the
    // same as on every other system; the picture then goes to the menu's device context.
    itemPixels_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0xFF000000u);
    const PixelPicture canvas{itemPixels_.data(), width, height};
    menuDraw_(static_cast<int>(index), canvas, (draw.itemState & ODS_SELECTED) != 0);
    ShowPicture(draw.hDC, canvas, {0, 0, width, height}, draw.rcItem.left, draw.rcItem.top);
}

// --- save dialog ---

void Win32EditorWindow::ShowSaveDialog(const SaveDialogOptions& options, SaveDialogDone onDone) {
    if (!window_ || menuOpen_ || dialogOpen_) {
        if (onDone)
            onDone(std::nullopt);
        return;
    }
    const std::string filter = dialogFilter(options.filter);
    // Long enough for any path the dialog can produce; the name offered is cut to fit.
    std::vector<char> file(32768, '\0');
    options.fileName.copy(file.data(), std::min(options.fileName.size(), file.size() - 1));

    OPENFILENAMEA dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = window_;
    dialog.lpstrFilter = options.filter.empty() ? nullptr : filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrInitialDir = options.initialFolder.empty() ? nullptr : options.initialFolder.c_str();
    dialog.lpstrDefExt = options.defaultExtension.empty() ? nullptr : options.defaultExtension.c_str();
    // The dialog must not move the host's current folder.
    dialog.Flags = OFN_EXPLORER | OFN_NOCHANGEDIR;
    if (options.overwritePrompt)
        dialog.Flags |= OFN_OVERWRITEPROMPT;
    if (options.hideReadOnly)
        dialog.Flags |= OFN_HIDEREADONLY;
    if (options.resizable)
        dialog.Flags |= OFN_ENABLESIZING;
    if (!options.addToRecent)
        dialog.Flags |= OFN_DONTADDTORECENT;

    dialogOpen_ = true;
    ReleaseOwnCapture();
    const std::shared_ptr<bool> alive = alive_;
    const BOOL chosen = GetSaveFileNameA(&dialog);
    if (!*alive)
        return;
    dialogOpen_ = false;
    if (!onDone)
        return;
    if (chosen)
        onDone(std::string(file.data()));
    else
        onDone(std::nullopt);
}

// --- messages ---

LRESULT CALLBACK Win32EditorWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // The system calls this from the host's message loop, in whatever floating-point state the host
    // keeps (exceptions unmasked, perhaps): every message, the timer's included, is handled in the
    // plug-in's own state, and the host finds its state as it was when the call returns.
    const vst2::FloatingPointGuard guard(vst2::FloatingPointGuard::Mode::Control);
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        auto* self = static_cast<Win32EditorWindow*>(create->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        return DefWindowProcA(window, message, wParam, lParam);
    }
    auto* self = reinterpret_cast<Win32EditorWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!self)
        return DefWindowProcA(window, message, wParam, lParam);
    // Nothing may unwind into the system's message dispatch (and from there into the host).
    try {
        return self->Handle(message, wParam, lParam);
    } catch (...) {
        return 0;
    }
}

LRESULT Win32EditorWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_NCDESTROY: {
        // The host destroyed its window with ours inside before closing the editor: forget the handle
        // (the system may give it to another window) and let the object live on without one.
        const HWND window = window_;
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        window_ = nullptr;
        timerRunning_ = false;
        trackingLeave_ = false;
        return DefWindowProcA(window, message, wParam, lParam);
    }
    case WM_PAINT:
        Paint();
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        MouseButton(message, wParam, lParam);
        return 0;
    case WM_MOUSEMOVE:
        if (!trackingLeave_) {
            TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, window_, 0};
            trackingLeave_ = TrackMouseEvent(&track) != 0;
        }
        events_.MouseMove(mouseShift(wParam), clientPoint(lParam));
        return 0;
    case WM_MOUSELEAVE:
        trackingLeave_ = false;
        // While the window holds the capture the pointer still belongs to it.
        if (GetCapture() != window_)
            events_.MouseLeave();
        return 0;
    case WM_CAPTURECHANGED:
        if (!releasingCapture_ && reinterpret_cast<HWND>(lParam) != window_)
            events_.CaptureLost();
        return 0;
    case WM_KILLFOCUS:
        events_.FocusLost();
        return 0;
    case WM_GETDLGCODE:
        // Arrow and page keys turn a focused knob; a host's dialog must not take them for navigation.
        return DLGC_WANTALLKEYS | DLGC_WANTARROWS;
    case WM_KEYDOWN:
        events_.KeyDown(static_cast<KeyCode>(wParam), keyShift());
        return 0;
    case WM_KEYUP:
        events_.KeyUp(static_cast<KeyCode>(wParam), keyShift());
        return 0;
    case WM_TIMER:
        if (wParam == kTimerId) {
            events_.TimerTick();
            return 0;
        }
        break;
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT) {
            cursor_.ApplyShape();
            return TRUE;
        }
        break;
    case WM_MEASUREITEM: {
        auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (measure && measure->CtlType == ODT_MENU) {
            MeasureMenuItem(*measure);
            return TRUE;
        }
        break;
    }
    case WM_DRAWITEM: {
        const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (draw && draw->CtlType == ODT_MENU) {
            DrawMenuItem(*draw);
            return TRUE;
        }
        break;
    }
    default:
        if (isPostedMessage(message)) {
            events_.PostedMessage(message, static_cast<std::uintptr_t>(wParam),
                                  static_cast<std::intptr_t>(lParam));
            return 0;
        }
        break;
    }
    return DefWindowProcA(window_, message, wParam, lParam);
}

void Win32EditorWindow::Paint() {
    const PaintScope paint(window_);
    const Rect area = paint.Area();
    if (area.Empty())
        return;
    events_.Paint(area);
    ShowPicture(paint.Dc(), picture_, area, area.left, area.top);
    // Whatever the picture does not cover stays black rather than showing stale screen contents.
    const Rect covered = area.Intersect({0, 0, picture_.width, picture_.height});
    if (covered != area) {
        const HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        if (area.right > covered.right || covered.Empty()) {
            const RECT right{covered.Empty() ? area.left : covered.right, area.top, area.right, area.bottom};
            FillRect(paint.Dc(), &right, black);
        }
        if (!covered.Empty() && area.bottom > covered.bottom) {
            const RECT below{area.left, covered.bottom, covered.right, area.bottom};
            FillRect(paint.Dc(), &below, black);
        }
    }
}

void Win32EditorWindow::MouseButton(UINT message, WPARAM wParam, LPARAM lParam) {
    platform::MouseButton button = platform::MouseButton::Left;
    if (message == WM_RBUTTONDOWN || message == WM_RBUTTONDBLCLK || message == WM_RBUTTONUP)
        button = platform::MouseButton::Right;
    else if (message == WM_MBUTTONDOWN || message == WM_MBUTTONDBLCLK || message == WM_MBUTTONUP)
        button = platform::MouseButton::Middle;
    ShiftState shift = mouseShift(wParam);
    const Point point = clientPoint(lParam);

    switch (message) {
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
        // The last button up ends the capture before the control hears of it, so a handler that
        // opens a menu or dialog finds the mouse free.
        if ((wParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) == 0)
            ReleaseOwnCapture();
        // The form may open a menu or dialog on the release, and the host may close the editor in
        // their modal loop: afterwards this object may be gone.
        const std::shared_ptr<bool> alive = alive_;
        events_.MouseUp(button, shift, point);
        if (!*alive)
            return;
        // A drag that ended outside: the pointer left while the capture hid that from the form.
        if (window_ && GetCapture() != window_ && !Rect{0, 0, width_, height_}.Contains(point))
            events_.MouseLeave();
        return;
    }
    default:
        break;
    }
    // A press gives the window the keyboard (a focused knob turns with the arrow keys) and the mouse.
    if (GetFocus() != window_)
        SetFocus(window_);
    if (GetCapture() != window_)
        SetCapture(window_);
    if (message == WM_LBUTTONDBLCLK || message == WM_RBUTTONDBLCLK || message == WM_MBUTTONDBLCLK) {
        shift.doubleClick = true;
        events_.DoubleClick(button, shift, point);
    } else {
        events_.MouseDown(button, shift, point);
    }
}

} // namespace platform::win32
