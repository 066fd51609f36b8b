#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace presets {

// Writes bytes to path so that path holds either its old contents or all of the new ones, never a
// part: the bytes go to a new file in the same folder, which is flushed to the disk, closed and only
// then renamed over path. On any failure (a full disk, a folder that takes no new files, a path that
// is a folder or a file that may not be written) that file is removed and path stays as it was. A
// path that is a symbolic link keeps its link; the file it names is replaced, with its permissions.
bool WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes);

} // namespace presets
