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

class Win32Parent : public EditorParent {
public:
    explicit Win32Parent(HWND window) : window_(window) {}
    ~Win32Parent() override {
        DestroyWindow(window_);
        Pump();
    }
    void* Handle() const override { return window_; }
    void Pump() override {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }

private:
    HWND window_;
};

} // namespace

std::unique_ptr<EditorParent> EditorParent::Create(std::string& whyNot) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = hostWindowProcedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kWindowClass;
    RegisterClassA(&windowClass); // a second thread finds it registered already
    const HWND window = CreateWindowExA(0, kWindowClass, "vorelan validate", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                        0, 0, 820, 360, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (window == nullptr) {
        whyNot = "no window can be created (error " + std::to_string(GetLastError()) + ")";
        return nullptr;
    }
    return std::make_unique<Win32Parent>(window);
}

} // namespace validate
