#include "platform/win32/Win32WindowClass.h"

#include <cstdio>

namespace platform::win32 {

namespace {

// All editor windows live on the host's user-interface thread, so the count needs no lock.
int references = 0;
bool registered = false;
char className[64] = {};

HINSTANCE moduleOfThisCode() noexcept {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&moduleOfThisCode), &module);
    return module;
}

void unregisterNow() noexcept {
    if (registered && UnregisterClassA(className, moduleOfThisCode()))
        registered = false;
}

// Runs when the module unloads (its static objects are destroyed at DLL_PROCESS_DETACH).
struct UnregisterAtUnload {
    ~UnregisterAtUnload() { unregisterNow(); }
} unregisterAtUnload;

} // namespace

const char* Win32WindowClass::Name() noexcept {
    if (className[0] == '\0')
        std::snprintf(className, sizeof className, "VorelanEn2Editor%p",
                      reinterpret_cast<void*>(moduleOfThisCode()));
    return className;
}

HINSTANCE Win32WindowClass::Module() noexcept {
    return moduleOfThisCode();
}

bool Win32WindowClass::Registered() noexcept {
    return registered;
}

bool Win32WindowClass::Acquire(WNDPROC procedure) noexcept {
    if (!registered) {
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof windowClass;
        // Double clicks reach the window as such; the picture covers the whole client area, so no
        // background brush (and no erasing flicker).
        windowClass.style = CS_DBLCLKS;
        windowClass.lpfnWndProc = procedure;
        windowClass.hInstance = moduleOfThisCode();
        windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        windowClass.lpszClassName = Name();
        if (!RegisterClassExA(&windowClass)) {
            // A class left behind by an earlier load of this very module at the same address is ours
            // to reuse only if its procedure is the current one; anything else is refused.
            WNDCLASSEXA existing{};
            existing.cbSize = sizeof existing;
            if (!GetClassInfoExA(moduleOfThisCode(), Name(), &existing) || existing.lpfnWndProc != procedure)
                return false;
        }
        registered = true;
    }
    ++references;
    return true;
}

void Win32WindowClass::Release() noexcept {
    if (references > 0 && --references == 0)
        unregisterNow();
}

} // namespace platform::win32
