#include "tools/vorelan/OutputFile.h"

#include "presets/AtomicFile.h"
#include "tools/vorelan/ToolError.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace vorelan {

namespace {

// Temporary files the signal handler removes. A slot's path is written before the slot is armed and the
// slot is disarmed before the path changes, so the handler only ever sees complete paths.
constexpr int kSlots = 4;
constexpr std::size_t kPathCapacity = 4096;
char temporaryPaths[kSlots][kPathCapacity];
std::atomic<bool> armed[kSlots];

int registerTemporary(const std::string& path) {
    if (path.size() >= kPathCapacity)
        return -1;
    for (int slot = 0; slot < kSlots; ++slot) {
        if (!armed[slot].load()) {
            std::memcpy(temporaryPaths[slot], path.c_str(), path.size() + 1);
            armed[slot].store(true);
            return slot;
        }
    }
    return -1;
}

// Every signal whose default action ends the process. The faults (SIGSEGV, SIGBUS, SIGILL, SIGFPE) come
// back when the handler returns, now to the handler that was there before (a sanitizer's, or the
// default one); the others are raised again for it.
constexpr int kEndingSignals[] = {SIGHUP,  SIGINT,  SIGQUIT, SIGTERM,   SIGPIPE, SIGALRM, SIGUSR1,
                                  SIGUSR2, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGABRT, SIGTRAP,
                                  SIGSYS,  SIGSEGV, SIGBUS,  SIGILL,    SIGFPE};
struct sigaction previousActions[NSIG];

extern "C" void removeTemporariesAndGoOn(int signal) {
    for (int slot = 0; slot < kSlots; ++slot)
        if (armed[slot].load())
            ::unlink(temporaryPaths[slot]);
    ::sigaction(signal, &previousActions[signal], nullptr);
    if (signal != SIGSEGV && signal != SIGBUS && signal != SIGILL && signal != SIGFPE)
        ::raise(signal); // delivered to the previous action once this handler returns
}

// Refuses a name that cannot be replaced by a new file: a folder, a device or pipe, and without
// permission a read-only file. A file counts as read-only when this user may not write it, or when
// nobody may (its write bits are all clear: root could still write it, but its owner said not to).
void checkReplaceable(const std::string& finalPath, const std::string& target, bool replaceReadOnly) {
    struct stat info {};
    if (::stat(target.c_str(), &info) != 0)
        return; // a new file
    const std::string name = "cannot write \"" + finalPath + "\": ";
    if (S_ISDIR(info.st_mode))
        throw ToolError(name + "it is a folder");
    if (!S_ISREG(info.st_mode))
        throw ToolError(name + "it is not a regular file (a device or a pipe); write to standard output "
                               "with \"-\" and redirect that instead");
    const bool readOnly = ::access(target.c_str(), W_OK) != 0 || (info.st_mode & 0222) == 0;
    if (readOnly && !replaceReadOnly)
        throw ToolError(name + "the file is read-only; --force replaces it (keeping it read-only)");
}

} // namespace

void RemoveTemporaryFilesOnSignals() {
    struct sigaction action {};
    action.sa_handler = removeTemporariesAndGoOn;
    sigemptyset(&action.sa_mask);
    for (int signal : kEndingSignals) {
        struct sigaction current {};
        if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN ||
            current.sa_handler == removeTemporariesAndGoOn)
            continue; // a signal ignored from the start (nohup) stays ignored; no handler twice
        previousActions[signal] = current;
        ::sigaction(signal, &action, nullptr);
    }
}

AtomicOutputFile::AtomicOutputFile(const std::string& finalPath, bool replaceReadOnly)
    : finalPath_(finalPath), target_(presets::FollowLinks(finalPath)) {
    namespace fs = std::filesystem;
    const fs::path target(target_);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::error_code error;
    if (!fs::is_directory(folder, error))
        throw ToolError("cannot write \"" + finalPath + "\": the folder \"" + folder.string() +
                        "\" does not exist");
    checkReplaceable(finalPath, target_, replaceReadOnly);
    // A hidden name of our own beside the target; O_EXCL never takes over another file.
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string suffix =
            ".vorelan-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".tmp";
        tempPath_ = (folder / presets::TemporaryFileName(".", target.filename().string(), suffix)).string();
        fd_ = ::open(tempPath_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0 || errno != EEXIST)
            break;
    }
    if (fd_ < 0) {
        const int failure = errno;
        tempPath_.clear();
        throw ToolError("cannot write \"" + finalPath + "\": no file can be created in the folder \"" +
                        folder.string() + "\" (" + FileErrorText(failure) + ")");
    }
    slot_ = registerTemporary(tempPath_);
}

AtomicOutputFile::~AtomicOutputFile() {
    discard();
}

void AtomicOutputFile::discard() noexcept {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!tempPath_.empty())
        ::unlink(tempPath_.c_str());
    tempPath_.clear();
    if (slot_ >= 0)
        armed[slot_].store(false);
    slot_ = -1;
}

void AtomicOutputFile::Commit() {
    // The replaced file's permissions and owner, where this user may set them (root may; others keep
    // their own ownership, as with any new file).
    struct stat info {};
    if (::stat(target_.c_str(), &info) == 0) {
        (void)::fchown(fd_, info.st_uid, info.st_gid);
        (void)::fchmod(fd_, info.st_mode & 07777);
    }
    int failure = 0;
    if (::fsync(fd_) != 0)
        failure = errno;
    const int closed = ::close(fd_);
    fd_ = -1;
    if (failure == 0 && closed != 0)
        failure = errno;
    if (failure == 0 && std::rename(tempPath_.c_str(), target_.c_str()) != 0)
        failure = errno;
    if (failure != 0) {
        discard();
        throw ToolError("cannot write \"" + finalPath_ + "\": " + FileErrorText(failure));
    }
    tempPath_.clear(); // it is the final file now
    discard();
}

} // namespace vorelan
