#include "skin/TWinDIB.h"

#include "skin/EDIBError.h"

#ifdef _WIN32
#include <windows.h>

#include <string>
#endif

namespace skin {

TCustomWinDIB::~TCustomWinDIB() {
    ReleasePixels();
}

#ifdef _WIN32

namespace {

// "Windows error (" code ") " and the system's text for the code. The system does not always set
// an error code when a bitmap section cannot be made; its text for code 0 would claim success, so
// that case names the failed request instead.
[[noreturn]] void RaiseLastWindowsError(int width, int height) {
    const DWORD code = GetLastError();
    if (code == 0)
        throw EDIBError("Windows error (0) the system could not create a bitmap of " + std::to_string(width) +
                        " x " + std::to_string(height) + " pixels");
    char* text = nullptr;
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string message = n && text ? std::string(text, n) : std::string();
    if (text)
        LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r'))
        message.pop_back();
    throw EDIBError("Windows error (" + std::to_string(code) + ") " + message);
}

} // namespace

TPixel32* TCustomWinDIB::AllocatePixels(int width, int height) {
    ReleasePixels();
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height; // positive: rows stored bottom-up
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    SetLastError(0);
    HBITMAP section = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!section || !bits) {
        if (section)
            DeleteObject(section);
        RaiseLastWindowsError(width, height);
    }
    section_ = section;
    // A new DIB section is zero-filled by the system.
    return static_cast<TPixel32*>(bits);
}

void TCustomWinDIB::ReleasePixels() {
    if (section_) {
        DeleteObject(static_cast<HBITMAP>(section_));
        section_ = nullptr;
    }
}

#else

TPixel32* TCustomWinDIB::AllocatePixels(int width, int height) {
    memory_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0);
    return memory_.data();
}

void TCustomWinDIB::ReleasePixels() {
    std::vector<TPixel32>().swap(memory_);
}

#endif

} // namespace skin
