#include "platform/FileSystem.h"

#include "platform/CodePage.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace fennick {

namespace fs = std::filesystem;

bool PathExists(const std::u16string& path) {
    if (path.empty())
        return false;
    return ::access(ToUtf8(path).c_str(), F_OK) == 0;
}

bool IsDirectory(const std::u16string& path) {
    struct stat st {};
    return !path.empty() && ::stat(ToUtf8(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<int64_t> GetLastWriteTime(const std::u16string& path) {
    struct stat st {};
    if (path.empty() || ::stat(ToUtf8(path).c_str(), &st) != 0)
        return std::nullopt;
    return static_cast<int64_t>(st.st_mtim.tv_sec);
}

namespace {

// Up to limit bytes of a regular file, or nothing (a pipe, a device or a folder is not waited on: the file is
// opened without blocking and checked before anything is read). tooLong tells whether more bytes follow.
std::optional<std::string> ReadRegular(const std::u16string& path, std::size_t limit, bool& tooLong) {
    tooLong = false;
    const int fd = ::open(ToUtf8(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    std::string data;
    char buf[8192];
    for (;;) {
        const ssize_t got = ::read(fd, buf, sizeof buf);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (got == 0)
            break;
        data.append(buf, static_cast<std::size_t>(got));
        if (data.size() > limit) {
            tooLong = true;
            data.resize(limit);
            break;
        }
    }
    ::close(fd);
    return data;
}

} // namespace

std::optional<std::string> ReadFirstLine(const std::u16string& path, std::size_t maxBytes) {
    bool tooLong = false;
    std::optional<std::string> data = ReadRegular(path, maxBytes, tooLong);
    if (data) {
        const auto end = data->find_first_of("\r\n");
        if (end != std::string::npos)
            data->resize(end);
    }
    return data;
}

std::optional<std::string> ReadSmallFile(const std::u16string& path, std::size_t maxBytes) {
    bool tooLong = false;
    std::optional<std::string> data = ReadRegular(path, maxBytes, tooLong);
    if (tooLong)
        return std::nullopt;
    return data;
}

bool CopyFileOverwrite(const std::u16string& src, const std::u16string& dst) {
    std::error_code ec;
    return CopyFileOverwrite(src, dst, ec);
}

bool IsRegularFile(const std::u16string& path) {
    std::error_code ec;
    return fs::is_regular_file(fs::path(ToUtf8(path)), ec) && !ec;
}

bool IsPipeOrDevice(const std::u16string& path) {
    struct stat st {};
    return ::stat(ToUtf8(path).c_str(), &st) == 0 &&
           (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) || S_ISSOCK(st.st_mode));
}

bool CopyFileOverwrite(const std::u16string& src, const std::u16string& dst, std::error_code& ec) {
    ec.clear();
    // Only a regular file is copied (links followed): a pipe, a device or a folder is refused.
    fs::copy_file(fs::path(ToUtf8(src)), fs::path(ToUtf8(dst)), fs::copy_options::overwrite_existing, ec);
    return !ec;
}

bool DeleteFile(const std::u16string& path) {
    std::error_code ec;
    return fs::remove(fs::path(ToUtf8(path)), ec) && !ec;
}

} // namespace fennick
