#pragma once
// IFile: the storage layer's read interface. Readers wrap one open CSysFile, which stays with its owner.

#include <cstdint>

namespace fennick {

class IFile {
public:
    // Reads up to count bytes at the logical position; returns the count read (0 at the end).
    virtual uint32_t Read(void* buffer, uint32_t count) = 0;
    // Not offered by any reader: raises a not-supported error.
    virtual void Write(const void* buffer, uint32_t count) = 0;
    // Origin 0 from the start, 1 from the logical position; any other raises not-supported.
    virtual int64_t Seek(int64_t offset, int origin) = 0;
    // Not offered by any reader: raises a not-supported error.
    virtual void Flush() = 0;
    virtual ~IFile() = default;
    // Empties the cache and closes the file, ignoring errors.
    virtual void Abort() = 0;
    // Empties the cache and closes the file; errors are raised.
    virtual void Close() = 0;
    virtual void SetLength(int32_t length) = 0;
    // One uncached read at the file's current position; negative on failure.
    virtual int64_t ReadRaw(void* buffer, uint32_t count) = 0;
};

} // namespace fennick
