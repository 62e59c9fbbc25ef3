#pragma once
// The operating-system file: an unbuffered POSIX descriptor opened with the classic file mode word.
// Failures raise CFileException with the path; short writes (disk full, file-size limit) raise too.

#include "platform/Exceptions.h"

#include <cstdint>
#include <string>

namespace fennick {

class CFile {
public:
    // Mode word bits. Access is in the low two bits; the sharing bits are accepted and have no effect here.
    enum OpenFlags : unsigned {
        modeRead = 0x0000,
        modeWrite = 0x0001,
        modeReadWrite = 0x0002,
        shareExclusive = 0x0010,
        shareDenyWrite = 0x0020,
        shareDenyRead = 0x0030,
        shareDenyNone = 0x0040,
        modeNoInherit = 0x0080,
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,
        osNoBuffer = 0x10000,
        osWriteThrough = 0x20000,
        osRandomAccess = 0x40000,
        osSequentialScan = 0x80000,
        // Starts writing the data out to the disk every few MB as it is written, so that a final sync
        // waits only for the tail.
        osWriteBehind = 0x100000,
    };
    enum SeekPosition { begin = 0, current = 1, end = 2 };

    CFile() = default;
    virtual ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // Opens path (UTF-16, handed to the system as UTF-8) with the mode word. On failure returns false and,
    // when error is given, fills it with the cause, the system's code and the path.
    virtual bool Open(const std::u16string& path, unsigned mode, CFileException* error = nullptr);

    // Reads up to count bytes; returns what was read (0 at the end of the file).
    unsigned Read(void* buffer, unsigned count);
    // Reads up to count bytes at position without moving the file's position.
    unsigned ReadAt(uint64_t position, void* buffer, unsigned count);
    // The same, content with need bytes (or the end of the file) where one read call gives fewer than count:
    // a reader filling a window asks no second time only to learn that the file ends.
    unsigned ReadAtLeast(uint64_t position, void* buffer, unsigned count, unsigned need);
    // Writes all count bytes or raises.
    void Write(const void* buffer, unsigned count);
    uint64_t Seek(int64_t offset, unsigned from);
    uint64_t SeekToBegin() { return Seek(0, begin); }
    uint64_t SeekToEnd() { return Seek(0, end); }
    uint64_t GetPosition() const;
    uint64_t GetLength() const;
    // The file's length when Open succeeded, from the look Open takes at it anyway: a reader that has just
    // opened the file needs no second look.
    uint64_t OpenedLength() const { return m_openedLength; }
    void SetLength(uint64_t length);
    void Flush();
    // Closes the descriptor; a failing close raises (it can report a delayed write error).
    void Close();
    // Closes the descriptor and never raises.
    void Abort();

    bool IsOpen() const { return m_fd >= 0; }
    int Handle() const { return m_fd; }
    const std::u16string& GetFilePath() const { return m_path; }

private:
    [[noreturn]] void Fail(int err) const;

    int m_fd = -1;
    uint64_t m_openedLength = 0;
    bool m_closeOnDelete = false;
    bool m_writeBehind = false;
    uint64_t m_unsubmitted = 0; // bytes written since the last write-out was started
    std::u16string m_path;
};

// Writes all count bytes of data at position of the descriptor fd, from any thread, without moving its
// position. 0, or the errno of the failure (ENOSPC for a write that takes nothing).
int WriteAllAt(int fd, const void* data, uint64_t count, uint64_t position);
// Reads count bytes at position of fd, from any thread, without moving its position. False when the file
// ends before them or the read fails.
bool ReadFullyAt(int fd, void* data, unsigned count, uint64_t position);

} // namespace fennick
