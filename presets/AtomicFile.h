#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace presets {

// Writes bytes to path so that path holds either its old contents or all of the new ones, never a
// part: the bytes go to a new file in the same folder, which is flushed to the disk, closed and only
// then renamed over path. On any failure (a full disk, a folder that takes no new files, a path that
// is a folder or a file that may not be written) that file is removed and path stays as it was. A
// path that is a symbolic link keeps its link; the file it names is replaced, with its permissions.
// error, when given, receives why a write failed as an errno value (ENOSPC for a full disk, EISDIR for
// a folder, EACCES for a file that may not be written, ...) and 0 when it succeeded.
bool WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes, int* error = nullptr);

// The longest file name (one path component) that file systems take, in bytes.
inline constexpr std::size_t kMaxFileNameBytes = 255;

// The name of the file that stands in for the file named finalName until it is complete: prefix, then
// finalName, then suffix, with finalName shortened (never inside a UTF-8 character) where the whole
// would be longer than kMaxFileNameBytes, so every name a file may have gets a temporary name.
std::string TemporaryFileName(std::string_view prefix, std::string_view finalName, std::string_view suffix);

#ifndef _WIN32
// The file that writing to path reaches: path itself, or for a symbolic link the file it names,
// followed through every link as opening it would, also when that file does not exist yet. Replacing
// that file keeps the link, as writing through it does.
std::string FollowLinks(const std::string& path);
#endif

} // namespace presets
