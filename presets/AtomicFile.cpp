#include "presets/AtomicFile.h"

#include <atomic>
#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace presets {

namespace {

// Several editors of one process may save at once; the process id keeps other processes apart.
std::atomic<unsigned> temporaryCounter{0};

std::string temporaryName(const std::string& target, unsigned long process) {
    return target + "." + std::to_string(process) + "-" + std::to_string(temporaryCounter++) + ".tmp";
}

constexpr int kNameAttempts = 64;

} // namespace

#ifdef _WIN32

bool WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes) {
    // A folder or a read-only file is not replaced (the rename would refuse the latter anyway).
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0)
        return false;
    std::string temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < kNameAttempts && file == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = temporaryName(path, GetCurrentProcessId());
        file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS)
            return false;
    }
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
              written == bytes.size();
    ok = ok && FlushFileBuffers(file);
    ok = CloseHandle(file) && ok;
    ok = ok &&
         MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok)
        DeleteFileA(temporary.c_str());
    return ok;
}

#else

bool WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes) {
    std::string target = path;
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        std::error_code error;
        const std::filesystem::path linked = std::filesystem::canonical(path, error);
        if (!error)
            target = linked.string();
    }
    // As when writing in place: a folder, or a file this user may not write, is not replaced.
    const bool exists = ::stat(target.c_str(), &info) == 0;
    if (exists && (!S_ISREG(info.st_mode) || ::access(target.c_str(), W_OK) != 0))
        return false;

    std::string temporary;
    int file = -1;
    for (int attempt = 0; attempt < kNameAttempts && file < 0; ++attempt) {
        temporary = temporaryName(target, static_cast<unsigned long>(::getpid()));
        file = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (file < 0 && errno != EEXIST)
            return false;
    }
    if (file < 0)
        return false;
    if (exists)
        (void)::fchmod(file, info.st_mode & 07777); // the replaced file's permissions, where allowed
    bool ok = true;
    for (std::size_t done = 0; ok && done < bytes.size();) {
        const ssize_t n = ::write(file, bytes.data() + done, bytes.size() - done);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (!(n < 0 && errno == EINTR))
            ok = false;
    }
    ok = ok && ::fsync(file) == 0;
    ok = ::close(file) == 0 && ok;
    ok = ok && ::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok)
        ::unlink(temporary.c_str());
    return ok;
}

#endif

} // namespace presets
