#include "platform/Folders.h"

#include <shlobj.h>
#include <windows.h>

namespace platform {

std::string SystemSharedDataFolder() {
    // The application-data folder shared by all users, as the shell names it (no owner window).
    LPITEMIDLIST list = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_COMMON_APPDATA, &list)) || !list)
        return {};
    char buffer[MAX_PATH + 1] = {};
    const BOOL found = SHGetPathFromIDListA(list, buffer);
    CoTaskMemFree(list);
    if (!found)
        return {};
    std::string folder = buffer;
    // A drive root comes back with its separator ("C:\"); the callers add their own.
    while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/'))
        folder.pop_back();
    return folder;
}

std::string SystemModuleFolder() {
    // The module that contains this function: the plug-in DLL, or the program linking it.
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCSTR>(&SystemModuleFolder), &module))
        return {};
    char buffer[1502] = {};
    const DWORD length = GetModuleFileNameA(module, buffer, 1501);
    if (length == 0 || length >= 1501)
        return {};
    std::string path(buffer, length);
    const std::string::size_type cut = path.find_last_of("\\/");
    return cut == std::string::npos ? std::string{} : path.substr(0, cut + 1);
}

} // namespace platform
