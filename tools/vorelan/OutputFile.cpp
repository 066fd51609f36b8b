#include "tools/vorelan/OutputFile.h"

#include "tools/vorelan/ToolError.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
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

extern "C" void removeTemporariesAndStop(int signal) {
    for (int slot = 0; slot < kSlots; ++slot)
        if (armed[slot].load())
            ::unlink(temporaryPaths[slot]);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

std::string errorText(int error) {
    return std::strerror(error);
}

} // namespace

void RemoveTemporaryFilesOnInterrupt() {
    struct sigaction action {};
    action.sa_handler = removeTemporariesAndStop;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
}

AtomicOutputFile::AtomicOutputFile(const std::string& finalPath) : finalPath_(finalPath) {
    namespace fs = std::filesystem;
    const fs::path target(finalPath);
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::error_code error;
    if (!fs::is_directory(folder, error))
        throw ToolError("cannot write \"" + finalPath + "\": the folder \"" + folder.string() +
                        "\" does not exist");
    if (fs::is_directory(target, error))
        throw ToolError("cannot write \"" + finalPath + "\": it is a folder");
    // A hidden name of our own beside the target; O_EXCL never takes over another file.
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = ".";
        name.append(target.filename().string()).append(".vorelan-").append(std::to_string(::getpid()));
        name.append("-").append(std::to_string(counter++)).append(".tmp");
        tempPath_ = (folder / name).string();
        fd_ = ::open(tempPath_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ >= 0 || errno != EEXIST)
            break;
    }
    if (fd_ < 0)
        throw ToolError("cannot write \"" + finalPath + "\": no file can be created in the folder \"" +
                        folder.string() + "\" (" + errorText(errno) + ")");
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
    std::string failure;
    if (::fsync(fd_) != 0)
        failure = errorText(errno);
    const int closed = ::close(fd_);
    fd_ = -1;
    if (failure.empty() && closed != 0)
        failure = errorText(errno);
    if (failure.empty() && std::rename(tempPath_.c_str(), finalPath_.c_str()) != 0)
        failure = errorText(errno);
    if (!failure.empty()) {
        discard();
        throw ToolError("cannot write \"" + finalPath_ + "\": " + failure);
    }
    tempPath_.clear(); // it is the final file now
    discard();
}

} // namespace vorelan
