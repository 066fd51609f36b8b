#include "tools/validate/EditorParent.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace validate {

namespace {

constexpr const char* kWindowClass = "VorelanValidateHost";

LRESULT CALLBACK hostWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND makeWindow(DWORD style, int width, int height) {
    return CreateWindowExA(0, kWindowClass, "vorelan validate", style, 0, 0, width, height, nullptr, nullptr,
                           GetModuleHandleA(nullptr), nullptr);
}

class Win32Parent : public EditorParent {
public:
    explicit Win32Parent(HWND window) : window_(window) {}
    ~Win32Parent() override {
        if (window_ != nullptr)
            DestroyWindow(window_);
        if (menu_ != nullptr)
            DestroyMenu(menu_);
        Pump();
    }
    void* Handle() override {
        if (window_ == nullptr)
            window_ = makeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 820, 360);
        return window_;
    }
    void Pump() override {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    void Destroy() override {
        if (window_ == nullptr)
            return;
        DestroyWindow(window_);
        window_ = nullptr;
        Pump();
    }
    void* Bogus(std::uint32_t seed) override {
        switch (seed % 3) {
        case 0: // a handle never given out (a generation no window has)
            return reinterpret_cast<void*>(static_cast<std::uintptr_t>(0x7FFE0000u | (seed >> 2 & 0xFFFFu)));
        case 1:
            if (menu_ == nullptr)
                menu_ = CreatePopupMenu();
            return menu_;
        default: {
            const HWND gone = makeWindow(WS_POPUP, 16, 16);
            DestroyWindow(gone);
            Pump();
            return gone;
        }
        }
    }
    // Windows has no process-wide error handler an editor could leave behind.
    std::string Problem() override { return {}; }

private:
    HWND window_;
    HMENU menu_ = nullptr;
};

} // namespace

std::unique_ptr<EditorParent> EditorParent::Create(std::string& whyNot) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = hostWindowProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassA(&windowClass); // a second thread finds it registered already
    const HWND window = makeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE, 820, 360);
    if (window == nullptr) {
        whyNot = "no window can be created (error " + std::to_string(GetLastError()) + ")";
        return nullptr;
    }
    return std::make_unique<Win32Parent>(window);
}

} // namespace validate
