#include "presets/AtomicFile.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace presets {

namespace {

// Several editors of one process may save at once; the process id keeps other processes apart.
std::atomic<unsigned> temporaryCounter{0};

// A new name beside target: its own name, the process and a counter, ".tmp" (which the preset menu does
// not list).
std::string temporaryPath(const std::string& target, unsigned long process) {
    const std::filesystem::path file(target);
    std::string suffix(".");
    suffix.append(std::to_string(process))
        .append("-")
        .append(std::to_string(temporaryCounter++))
        .append(".tmp");
    return (file.parent_path() / TemporaryFileName("", file.filename().string(), suffix)).string();
}

constexpr int kNameAttempts = 64;

bool fail(int* error, int code) {
    if (error)
        *error = code;
    return false;
}

} // namespace

std::string TemporaryFileName(std::string_view prefix, std::string_view finalName, std::string_view suffix) {
    const std::size_t room = kMaxFileNameBytes - std::min(kMaxFileNameBytes, prefix.size() + suffix.size());
    std::size_t keep = std::min(room, finalName.size());
    // A UTF-8 continuation byte (10xxxxxx) would be cut off from the start of its character.
    while (keep > 0 && keep < finalName.size() &&
           (static_cast<unsigned char>(finalName[keep]) & 0xC0) == 0x80)
        --keep;
    return std::string(prefix).append(finalName.substr(0, keep)).append(suffix);
}

#ifdef _WIN32

bool WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes, int* error) {
    fail(error, 0);
    // A folder or a read-only file is not replaced (the rename would refuse the latter anyway).
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return fail(error, EISDIR);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
        return fail(error, EACCES);
    const auto systemError = [] {
        switch (GetLastError()) {
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_ACCESS_DENIED:
            return EACCES;
        case ERROR_PATH_NOT_FOUND:
            return ENOENT;
        default:
            return EIO;
        }
    };
    std::string temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < kNameAttempts && file == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = temporaryPath(path, GetCurrentProcessId());
        file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS)
            return fail(error, systemError());
    }
    if (file == INVALID_HANDLE_VALUE)
        return fail(error, EEXIST);
    DWORD written = 0;
    bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
              written == bytes.size();
    ok = ok && FlushFileBuffers(file);
    const int code = ok ? 0 : systemError();
    ok = CloseHandle(file) && ok;
    ok = ok &&
         MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) {
        fail(error, code != 0 ? code : systemError());
        DeleteFileA(temporary.c_str());
    }
    return ok;
}

#else

std::string FollowLinks(const std::string& path) {
    namespace fs = std::filesystem;
    fs::path current(path);
    // As many links as the system itself follows before it gives up on a loop.
    for (int depth = 0; depth < 40; ++depth) {
        struct stat info {};
        if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            break;
        std::error_code failed;
        const fs::path target = fs::read_symlink(current, failed);
        if (failed)
            break;
        current = target.is_absolute() ? target : current.parent_path() / target;
    }
    return current.string();
}

bool WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes, int* error) {
    fail(error, 0);
    const std::string target = FollowLinks(path);
    // As when writing in place: a folder, or a file this user may not write, is not replaced.
    struct stat info {};
    const bool exists = ::stat(target.c_str(), &info) == 0;
    if (exists && S_ISDIR(info.st_mode))
        return fail(error, EISDIR);
    if (exists && !S_ISREG(info.st_mode))
        return fail(error, EINVAL);
    if (exists && ::access(target.c_str(), W_OK) != 0)
        return fail(error, errno);

    std::string temporary;
    int file = -1;
    for (int attempt = 0; attempt < kNameAttempts && file < 0; ++attempt) {
        temporary = temporaryPath(target, static_cast<unsigned long>(::getpid()));
        file = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (file < 0 && errno != EEXIST)
            return fail(error, errno);
    }
    if (file < 0)
        return fail(error, EEXIST);
    if (exists)
        (void)::fchmod(file, info.st_mode & 07777); // the replaced file's permissions, where allowed
    int code = 0;
    for (std::size_t done = 0; code == 0 && done < bytes.size();) {
        const ssize_t n = ::write(file, bytes.data() + done, bytes.size() - done);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (!(n < 0 && errno == EINTR))
            code = n < 0 ? errno : ENOSPC;
    }
    if (code == 0 && ::fsync(file) != 0)
        code = errno;
    if (::close(file) != 0 && code == 0)
        code = errno;
    if (code == 0 && ::rename(temporary.c_str(), target.c_str()) != 0)
        code = errno;
    if (code != 0) {
        ::unlink(temporary.c_str());
        return fail(error, code);
    }
    return true;
}

#endif

} // namespace presets
