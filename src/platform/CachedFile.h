#pragma once
// CCachedFile: a read cache over one open CSysFile, for the many small reads of the storage formats.
// The cache window starts wherever a read that missed it starts (it is not aligned) and holds up to the
// capacity; reads larger than the capacity go straight into the caller's buffer. The logical position lives
// in the reader: it is taken from the file at the first read or seek, and every fill and direct read reads
// the file at it (a plain file with one positioned read, without seeking). The CSysFile belongs to the
// caller, who destroys it after the reader.

#include "platform/ByteBuffer.h"
#include "platform/IFile.h"
#include "platform/SysFile.h"

#include <cstdint>

namespace fennick {

class CCachedFile : public IFile {
public:
    CCachedFile(CSysFile& file, uint64_t capacity);
    // Over a file known to be at position (one just opened is at 0), which then is not asked for it.
    CCachedFile(CSysFile& file, uint64_t capacity, int64_t position);
    ~CCachedFile() override = default;
    CCachedFile(const CCachedFile&) = delete;
    CCachedFile& operator=(const CCachedFile&) = delete;

    // Raises a format error for a negative position or one that would pass 2^63 - 1; otherwise returns what
    // exists (0 at or past the end).
    uint32_t Read(void* buffer, uint32_t count) override;
    // Not offered: raises a not-supported error.
    void Write(const void* buffer, uint32_t count) override;
    // Origin 0 or 1 moves the logical position (no bound); any other origin raises not-supported.
    int64_t Seek(int64_t offset, int origin) override;
    // Not offered: raises a not-supported error.
    void Flush() override;
    void Abort() override;
    void Close() override;
    void SetLength(int32_t length) override;
    // One read of the file at its current position.
    int64_t ReadRaw(void* buffer, uint32_t count) override;

    // The current cache window, [first, last]; both -1 when the cache has been emptied.
    int64_t WindowFirst() const { return m_first; }
    int64_t WindowLast() const { return m_last; }

protected:
    // Reads count bytes of the file's contents at position: one positioned read for a plain file; a reader
    // whose ReadRaw transforms the bytes seeks and calls ReadRaw instead.
    virtual int64_t ReadRawAt(int64_t position, void* buffer, uint32_t count);
    // Fills the window: up to count bytes at position, at least need unless the file ends first.
    virtual int64_t FillAt(int64_t position, void* buffer, uint32_t count, uint32_t need);
    CSysFile& File() { return m_file; }
    [[noreturn]] void ThrowFormat() const;

private:
    void EmptyCache() { m_first = m_last = -1; }
    void TakePosition();

    CSysFile& m_file;
    uint64_t m_capacity;
    CByteBuffer m_cache;
    int64_t m_first = 0;
    int64_t m_last = -1;
    int64_t m_position = 0;
    bool m_positionTaken = false;
};

} // namespace fennick
