#pragma once

#include <string>

namespace vorelan {

// A file that appears under its name only once it is complete. It is written as a hidden temporary
// file beside the file the name reaches (through symbolic links, which stay as they are; the rename
// stays on one file system), flushed to disk, given the replaced file's permissions and owner, and
// renamed over it by Commit. Destroyed before Commit, or when a signal ends the tool meanwhile, it
// removes the temporary file: an older file of that name is never touched.
class AtomicOutputFile {
public:
    // Creates the temporary file. Throws ToolError when the folder is missing or takes no new file, or
    // when the name is a folder, a device or pipe, or a read-only file and replaceReadOnly is false.
    AtomicOutputFile(const std::string& finalPath, bool replaceReadOnly);
    ~AtomicOutputFile();
    AtomicOutputFile(const AtomicOutputFile&) = delete;
    AtomicOutputFile& operator=(const AtomicOutputFile&) = delete;

    int fd() const { return fd_; }

    // Flushes, closes and renames. Throws ToolError (and removes the temporary file) on failure.
    void Commit();

private:
    void discard() noexcept;

    std::string finalPath_; // as the user named it, for messages
    std::string target_;    // the file that is replaced
    std::string tempPath_;
    int fd_ = -1;
    int slot_ = -1; // registration for removal when a signal ends the tool
};

// From now on every signal that would end the tool (an interruption, a closed pipe, a crash) first
// removes the temporary output files; the signal then takes its course as before. Signals that were
// ignored when the tool started stay ignored.
void RemoveTemporaryFilesOnSignals();

} // namespace vorelan
