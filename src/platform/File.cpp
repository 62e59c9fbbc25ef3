#include "platform/File.h"

#include "platform/CodePage.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace fennick {

namespace {

// How much is written before its write-out is started: large enough for the disk to take it in one stream.
constexpr uint64_t kWriteBehindBytes = 8 << 20;

} // namespace

CFile::~CFile() {
    if (m_fd >= 0 && m_closeOnDelete)
        Abort();
}

bool CFile::Open(const std::u16string& path, unsigned mode, CFileException* error) {
    if (m_fd >= 0)
        Abort();
    m_path = path;
    m_writeBehind = (mode & osWriteBehind) != 0;
    m_unsubmitted = 0;
    int flags = O_CLOEXEC;
    switch (mode & 3) {
    case modeWrite:
        flags |= O_WRONLY;
        break;
    case modeReadWrite:
        flags |= O_RDWR;
        break;
    default:
        flags |= O_RDONLY;
        break;
    }
    if (mode & modeCreate) {
        flags |= O_CREAT;
        if (!(mode & modeNoTruncate))
            flags |= O_TRUNC;
    }
    const std::string native = ToUtf8(path);
    // A pipe or a device opened for reading would wait for a writer or never end: open without waiting and
    // take only regular files (links followed).
    const bool reading = (flags & O_ACCMODE) == O_RDONLY && !(mode & modeCreate);
    const int fd = ::open(native.c_str(), flags | (reading ? O_NONBLOCK : 0), 0666);
    if (fd < 0) {
        const int err = errno;
        if (error != nullptr)
            *error = CFileException(CFileException::CauseFromErrno(err), path, err);
        return false;
    }
    // A directory opens read-only on POSIX; as a file it is unusable, so refuse it here.
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        if (error != nullptr)
            *error = CFileException(CFileException::accessDenied, path, EISDIR);
        return false;
    }
    if (reading) {
        if (!S_ISREG(st.st_mode)) {
            ::close(fd);
            if (error != nullptr) {
                try {
                    ThrowNotRegularFile(path);
                } catch (const CFileException& refused) {
                    *error = refused;
                }
            }
            return false;
        }
        // O_NONBLOCK stays: it changes nothing for a regular file.
    }
    if (mode & osSequentialScan)
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    m_fd = fd;
    m_openedLength = static_cast<uint64_t>(st.st_size);
    m_closeOnDelete = true;
    return true;
}

void CFile::Fail(int err) const {
    CFileException::ThrowErrno(err, m_path);
}

namespace {

// Reads until need (at most count) bytes have arrived or the file ends; readSome(out, n, done) is one system
// call, asked for all count bytes still missing. Returns the bytes read, or minus the error number.
template <class ReadSome> int64_t ReadFully(void* buffer, unsigned count, ReadSome readSome, unsigned need) {
    unsigned total = 0;
    char* out = static_cast<char*>(buffer);
    while (total < need) {
        const ssize_t got = readSome(out + total, count - total, total);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return -errno;
        }
        if (got == 0)
            break;
        total += static_cast<unsigned>(got);
    }
    return total;
}

} // namespace

unsigned CFile::Read(void* buffer, unsigned count) {
    if (count == 0)
        return 0;
    if (m_fd < 0)
        Fail(EBADF);
    const int64_t got = ReadFully(
        buffer, count, [&](char* out, unsigned n, unsigned) { return ::read(m_fd, out, n); }, count);
    if (got < 0)
        Fail(static_cast<int>(-got));
    return static_cast<unsigned>(got);
}

unsigned CFile::ReadAt(uint64_t position, void* buffer, unsigned count) {
    return ReadAtLeast(position, buffer, count, count);
}

unsigned CFile::ReadAtLeast(uint64_t position, void* buffer, unsigned count, unsigned need) {
    if (count == 0)
        return 0;
    if (m_fd < 0)
        Fail(EBADF);
    if (position > static_cast<uint64_t>(std::numeric_limits<off_t>::max()))
        Fail(EINVAL);
    const int64_t got = ReadFully(
        buffer, count,
        [&](char* out, unsigned n, unsigned done) {
            return ::pread(m_fd, out, n, static_cast<off_t>(position + done));
        },
        std::min(need, count));
    if (got < 0)
        Fail(static_cast<int>(-got));
    return static_cast<unsigned>(got);
}

void CFile::Write(const void* buffer, unsigned count) {
    if (m_fd < 0)
        Fail(EBADF);
    const char* in = static_cast<const char*>(buffer);
    unsigned done = 0;
    while (done < count) {
        const ssize_t put = ::write(m_fd, in + done, count - done);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            Fail(errno);
        }
        if (put == 0)
            Fail(ENOSPC);
        done += static_cast<unsigned>(put);
    }
    if (m_writeBehind && (m_unsubmitted += count) >= kWriteBehindBytes) {
        // Only starts the write-out of what is dirty; no wait. A failure here shows again at the sync.
        ::sync_file_range(m_fd, 0, 0, SYNC_FILE_RANGE_WRITE);
        m_unsubmitted = 0;
    }
}

int WriteAllAt(int fd, const void* data, uint64_t count, uint64_t position) {
    const auto* in = static_cast<const char*>(data);
    for (uint64_t done = 0; done < count;) {
        const auto piece = static_cast<std::size_t>(std::min<uint64_t>(count - done, 1u << 30));
        const ssize_t put = ::pwrite(fd, in + done, piece, static_cast<off_t>(position + done));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return put < 0 ? errno : ENOSPC;
        done += static_cast<uint64_t>(put);
    }
    return 0;
}

bool ReadFullyAt(int fd, void* data, unsigned count, uint64_t position) {
    const int64_t got = ReadFully(
        data, count,
        [&](char* out, unsigned n, unsigned done) {
            return ::pread(fd, out, n, static_cast<off_t>(position + done));
        },
        count);
    return got == static_cast<int64_t>(count);
}

uint64_t CFile::Seek(int64_t offset, unsigned from) {
    if (m_fd < 0)
        Fail(EBADF);
    int whence = SEEK_SET;
    if (from == current)
        whence = SEEK_CUR;
    else if (from == end)
        whence = SEEK_END;
    else if (from != begin)
        Fail(EINVAL);
    const off_t pos = ::lseek(m_fd, static_cast<off_t>(offset), whence);
    if (pos < 0)
        throw CFileException(CFileException::badSeek, m_path, errno);
    return static_cast<uint64_t>(pos);
}

uint64_t CFile::GetPosition() const {
    if (m_fd < 0)
        Fail(EBADF);
    const off_t pos = ::lseek(m_fd, 0, SEEK_CUR);
    if (pos < 0)
        throw CFileException(CFileException::badSeek, m_path, errno);
    return static_cast<uint64_t>(pos);
}

uint64_t CFile::GetLength() const {
    if (m_fd < 0)
        Fail(EBADF);
    struct stat st {};
    if (::fstat(m_fd, &st) != 0)
        Fail(errno);
    return static_cast<uint64_t>(st.st_size);
}

void CFile::SetLength(uint64_t length) {
    if (m_fd < 0)
        Fail(EBADF);
    if (::ftruncate(m_fd, static_cast<off_t>(length)) != 0)
        Fail(errno);
}

void CFile::Flush() {
    if (m_fd < 0)
        return;
    if (::fsync(m_fd) != 0 && errno != EINVAL && errno != EROFS)
        Fail(errno);
}

void CFile::Close() {
    if (m_fd < 0)
        return;
    const int fd = m_fd;
    m_fd = -1;
    m_closeOnDelete = false;
    if (::close(fd) != 0 && errno != EINTR)
        Fail(errno);
}

void CFile::Abort() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_closeOnDelete = false;
}

} // namespace fennick
