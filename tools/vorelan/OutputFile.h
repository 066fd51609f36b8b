#pragma once

#include <string>

namespace vorelan {

// A file that appears under its name only once it is complete. It is written as a hidden temporary
// file in the same folder (so the final rename stays on one file system), flushed to disk, and renamed
// over the final name by Commit. Destroyed before Commit, or when the tool is interrupted (SIGINT,
// SIGTERM, SIGHUP) meanwhile, it removes the temporary file: an older file of that name is never touched.
class AtomicOutputFile {
public:
    // Creates the temporary file. Throws ToolError naming the folder when it cannot be created.
    explicit AtomicOutputFile(const std::string& finalPath);
    ~AtomicOutputFile();
    AtomicOutputFile(const AtomicOutputFile&) = delete;
    AtomicOutputFile& operator=(const AtomicOutputFile&) = delete;

    int fd() const { return fd_; }
    const std::string& finalPath() const { return finalPath_; }

    // Flushes, closes and renames. Throws ToolError (and removes the temporary file) on failure.
    void Commit();

private:
    void discard() noexcept;

    std::string finalPath_;
    std::string tempPath_;
    int fd_ = -1;
    int slot_ = -1; // registration for removal on interruption
};

// From now on SIGINT, SIGTERM and SIGHUP remove every temporary output file before the tool ends
// as the signal asks.
void RemoveTemporaryFilesOnInterrupt();

} // namespace vorelan
