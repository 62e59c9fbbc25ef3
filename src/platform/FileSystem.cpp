#include "platform/FileSystem.h"

#include "platform/CodePage.h"

#include <filesystem>
#include <fstream>
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

std::optional<std::string> ReadFirstLine(const std::u16string& path, std::size_t maxBytes) {
    std::ifstream in(ToUtf8(path), std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string line;
    char c = 0;
    while (line.size() < maxBytes && in.get(c)) {
        if (c == '\n' || c == '\r')
            break;
        line.push_back(c);
    }
    if (in.bad())
        return std::nullopt;
    return line;
}

std::optional<std::string> ReadSmallFile(const std::u16string& path, std::size_t maxBytes) {
    std::ifstream in(ToUtf8(path), std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string data;
    char buf[8192];
    while (in.read(buf, sizeof buf) || in.gcount() > 0) {
        data.append(buf, static_cast<std::size_t>(in.gcount()));
        if (data.size() > maxBytes)
            return std::nullopt;
    }
    if (in.bad())
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
