#pragma once

#include <windows.h>

namespace platform::win32 {

// The window class of the editor windows, registered for this module (the plug-in DLL) while at least
// one window of it exists. The name carries the module's address, so two copies of the plug-in loaded
// from different files never share a class whose window procedure lives in the other copy.
//
// Each window holds one reference from before its creation until after its destruction; the last
// release unregisters the class, and a class still registered when the module unloads is unregistered
// then, so a host that unloads and reloads the plug-in finds no stale class.
class Win32WindowClass {
public:
    // Registers the class on the first reference. Answers false (holding no reference) when the
    // system refuses the registration.
    static bool Acquire(WNDPROC procedure) noexcept;
    static void Release() noexcept;

    static const char* Name() noexcept;
    static HINSTANCE Module() noexcept;
    // Whether the class is registered now (tests check that nothing stays behind).
    static bool Registered() noexcept;
};

} // namespace platform::win32
