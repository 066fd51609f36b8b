#include "tests/gui/GuiSupport.h"

#include <cstdio>
#include <cstring>

namespace guitest {

namespace {

const char kHostClass[] = "VorelanGuiTestHost";

LRESULT CALLBACK hostProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

void sendMouse(DWORD flags, LONG dx = 0, LONG dy = 0) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = dx;
    input.mi.dy = dy;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof input);
}

} // namespace

HostWindow::HostWindow(int width, int height) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = hostProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    windowClass.lpszClassName = kHostClass;
    RegisterClassA(&windowClass); // fails harmlessly when a previous window registered it
    RECT frame{0, 0, width, height};
    const DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
    AdjustWindowRect(&frame, style, FALSE);
    window_ = CreateWindowExA(0, kHostClass, "VorelanEn2 GUI test", style, 40, 40, frame.right - frame.left,
                              frame.bottom - frame.top, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (window_) {
        ShowWindow(window_, SW_SHOW);
        SetForegroundWindow(window_);
        UpdateWindow(window_);
    }
}

HostWindow::~HostWindow() {
    if (window_)
        DestroyWindow(window_);
}

void Pump(int milliseconds, const std::function<void()>& idle) {
    PumpUntil([] { return false; }, milliseconds, idle);
}

bool PumpUntil(const std::function<bool()>& done, int milliseconds, const std::function<void()>& idle) {
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(milliseconds);
    ULONGLONG nextIdle = 0;
    for (;;) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        const ULONGLONG now = GetTickCount64();
        if (idle && now >= nextIdle) {
            idle();
            nextIdle = now + 20;
        }
        if (done())
            return true;
        if (now >= end)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

void MoveMouseTo(HWND window, int clientX, int clientY) {
    POINT p{clientX, clientY};
    ClientToScreen(window, &p);
    // Absolute input coordinates span 0..65535 over the primary screen.
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    const LONG x = static_cast<LONG>((p.x * 65535 + screenWidth / 2) / (screenWidth - 1));
    const LONG y = static_cast<LONG>((p.y * 65535 + screenHeight / 2) / (screenHeight - 1));
    sendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, x, y);
    // The absolute mapping may round by a pixel; put the cursor exactly where it belongs.
    SetCursorPos(p.x, p.y);
}

void MoveMouseBy(int dx, int dy) {
    POINT p{};
    GetCursorPos(&p);
    SetCursorPos(p.x + dx, p.y + dy);
    sendMouse(MOUSEEVENTF_MOVE, 0, 0);
}

void MouseButton(bool down, bool left) {
    if (left)
        sendMouse(down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP);
    else
        sendMouse(down ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_RIGHTUP);
}

void PressKey(WORD virtualKey, bool down) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof input);
}

Screenshot Capture(HWND window) {
    Screenshot shot;
    RECT client{};
    if (!GetClientRect(window, &client))
        return shot;
    shot.width = client.right;
    shot.height = client.bottom;
    if (shot.width <= 0 || shot.height <= 0)
        return shot;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = shot.width;
    info.bmiHeader.biHeight = -shot.height; // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    const HDC windowDc = GetDC(window);
    const HDC memoryDc = CreateCompatibleDC(windowDc);
    const HBITMAP bitmap = CreateDIBSection(windowDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap && bits) {
        const HGDIOBJ old = SelectObject(memoryDc, bitmap);
        BitBlt(memoryDc, 0, 0, shot.width, shot.height, windowDc, 0, 0, SRCCOPY);
        GdiFlush();
        const auto* source = static_cast<const std::uint32_t*>(bits);
        shot.pixels.assign(source, source + static_cast<std::size_t>(shot.width) * shot.height);
        for (std::uint32_t& pixel : shot.pixels)
            pixel &= 0xFFFFFFu;
        SelectObject(memoryDc, old);
    }
    if (bitmap)
        DeleteObject(bitmap);
    DeleteDC(memoryDc);
    ReleaseDC(window, windowDc);
    return shot;
}

bool SaveBmp(const Screenshot& shot, const std::string& path) {
    if (shot.width <= 0 || shot.height <= 0)
        return false;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const std::uint32_t rowBytes = (static_cast<std::uint32_t>(shot.width) * 3 + 3) & ~3u;
    const std::uint32_t imageBytes = rowBytes * static_cast<std::uint32_t>(shot.height);
    BITMAPFILEHEADER header{};
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    header.bfSize = header.bfOffBits + imageBytes;
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = shot.width;
    info.biHeight = shot.height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    info.biSizeImage = imageBytes;
    bool ok =
        std::fwrite(&header, sizeof header, 1, file) == 1 && std::fwrite(&info, sizeof info, 1, file) == 1;
    std::vector<unsigned char> row(rowBytes, 0);
    for (int y = shot.height - 1; ok && y >= 0; --y) {
        for (int x = 0; x < shot.width; ++x) {
            const std::uint32_t pixel = shot.At(x, y);
            row[x * 3 + 0] = static_cast<unsigned char>(pixel & 0xFF);
            row[x * 3 + 1] = static_cast<unsigned char>((pixel >> 8) & 0xFF);
            row[x * 3 + 2] = static_cast<unsigned char>((pixel >> 16) & 0xFF);
        }
        ok = std::fwrite(row.data(), 1, row.size(), file) == row.size();
    }
    return std::fclose(file) == 0 && ok;
}

namespace {

struct WindowSearch {
    const char* className;
    HWND found;
};

BOOL CALLBACK matchWindow(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<WindowSearch*>(data);
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    if (std::strcmp(name, search->className) == 0 && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

HWND FindThreadWindow(const char* className) {
    WindowSearch search{className, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), matchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

} // namespace guitest
