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

// The host's frame, a top-level window, holds a panel for the editor; the panel is what editors open
// in and what Destroy destroys (wine stops answering after some sixty top-level windows destroyed in a
// row).
class Win32Parent : public EditorParent {
public:
    explicit Win32Parent(HWND frame) : frame_(frame) {}
    ~Win32Parent() override {
        DestroyWindow(frame_);
        if (menu_ != nullptr)
            DestroyMenu(menu_);
        Pump();
    }
    void* Handle() override {
        if (panel_ == nullptr)
            panel_ = CreateWindowExA(0, kWindowClass, "", WS_CHILD | WS_VISIBLE, 0, 0, 800, 320, frame_,
                                     nullptr, GetModuleHandleA(nullptr), nullptr);
        return panel_;
    }
    void Pump() override {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    void Destroy() override {
        if (panel_ == nullptr)
            return;
        DestroyWindow(panel_);
        panel_ = nullptr;
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
            const HWND gone = CreateWindowExA(0, kWindowClass, "", WS_CHILD, 0, 0, 16, 16, frame_, nullptr,
                                              GetModuleHandleA(nullptr), nullptr);
            DestroyWindow(gone);
            Pump();
            return gone;
        }
        }
    }
    // Windows has no process-wide error handler an editor could leave behind.
    std::string Problem() override { return {}; }

private:
    HWND frame_;
    HWND panel_ = nullptr;
    HMENU menu_ = nullptr;
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
