#pragma once
// Whole-file services: existence, last-write time, first text line, copy and delete. Paths are UTF-16 and
// reach the system as UTF-8.

#include <cstdint>
#include <optional>
#include <string>
#include <system_error>

namespace fennick {

// True when the path names anything present (a file or a folder).
bool PathExists(const std::u16string& path);
// True when the path names a folder.
bool IsDirectory(const std::u16string& path);
// Modification time in whole seconds since the epoch; empty when the path cannot be examined.
std::optional<int64_t> GetLastWriteTime(const std::u16string& path);
// The file's first line without its line end (a lone CR or LF or CRLF ends it); empty when unreadable.
// At most maxBytes are read, so a huge or binary file costs nothing.
std::optional<std::string> ReadFirstLine(const std::u16string& path, std::size_t maxBytes = 4096);
// Reads a whole file of at most maxBytes; empty when it cannot be read or is larger.
std::optional<std::string> ReadSmallFile(const std::u16string& path, std::size_t maxBytes);
// Copies src over dst (replacing it). Returns false on any failure.
bool CopyFileOverwrite(const std::u16string& src, const std::u16string& dst);
// True for a regular file (links followed); false for a pipe, a device, a folder or nothing.
bool IsRegularFile(const std::u16string& path);
// True for a pipe, a device or a socket (links followed): files a read would wait on or never finish.
bool IsPipeOrDevice(const std::u16string& path);
// The same, saying why it failed in ec. Only a regular file (links followed) is copied.
bool CopyFileOverwrite(const std::u16string& src, const std::u16string& dst, std::error_code& ec);
// Removes a file; false when it could not be removed.
bool DeleteFile(const std::u16string& path);

} // namespace fennick
