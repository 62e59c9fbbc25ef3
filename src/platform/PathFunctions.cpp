#include "platform/PathFunctions.h"

#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/GenericEx.h"
#include "platform/TextCase.h"

#include <algorithm>
#include <dirent.h>
#include <mutex>
#include <string_view>
#include <sys/stat.h>
#include <unordered_map>
#include <utility>
#include <vector>

namespace fennick {

namespace {

bool IsSeparator(char16_t c) {
    return c == u'\\' || c == u'/';
}

// Where a path's parts begin, split like the platform's path splitting: drive letter, folder up to the last
// separator, then the name and the extension from its last dot. Positions, so that asking for one part
// builds no other (paths are split several times for every input).
struct SPathSplit {
    std::size_t dir = 0;  // after the drive letter
    std::size_t name = 0; // after the folder
    std::size_t ext = 0;  // the name's last dot, or the path's end
};

SPathSplit Split(std::u16string_view path) {
    SPathSplit at;
    if (path.size() >= 2 && path[1] == u':')
        at.dir = 2;
    at.name = at.dir;
    for (std::size_t i = at.dir; i < path.size(); ++i)
        if (IsSeparator(path[i]))
            at.name = i + 1;
    const std::size_t dot = path.substr(at.name).rfind(u'.');
    at.ext = dot == std::u16string_view::npos ? path.size() : at.name + dot;
    return at;
}

} // namespace

std::u16string GetDirectoryPart(const std::u16string& path) {
    return path.substr(0, Split(path).name);
}

std::u16string GetFileBaseName(const std::u16string& path) {
    const SPathSplit at = Split(path);
    return path.substr(at.name, at.ext - at.name);
}

std::u16string ReplaceExtension(const std::u16string& path, const std::u16string& extension) {
    std::u16string result = path.substr(0, Split(path).ext);
    if (!extension.empty() && extension.front() != u'.')
        result.push_back(u'.');
    return result + extension;
}

std::u16string JoinPath(const char16_t* directory, const char16_t* name, const char16_t* extension) {
    std::u16string result;
    if (directory != nullptr && *directory != u'\0') {
        result = directory;
        if (!IsSeparator(result.back())) {
            // Keep the separator style the folder already uses.
            char16_t sep = u'/';
            const std::size_t last = result.find_last_of(u"\\/");
            if (last != std::u16string::npos)
                sep = result[last];
            else if (result.size() == 2 && result[1] == u':')
                sep = u'\\';
            result.push_back(sep);
        }
    }
    if (name != nullptr && *name != u'\0')
        result.append(IsSeparator(name[0]) ? name + 1 : name);
    if (extension != nullptr && *extension != u'\0') {
        if (extension[0] != u'.')
            result.push_back(u'.');
        result.append(extension);
    }
    return result;
}

std::u16string JoinPath(const std::u16string& directory, const std::u16string& name,
                        const std::u16string& extension) {
    return JoinPath(directory.c_str(), name.c_str(), extension.c_str());
}

bool FileExists(const std::u16string& path) {
    return PathExists(path);
}

namespace {

// The names in a folder, listed once and kept while the folder stays unchanged (same file, same
// modification time), so that opening many inputs of one large folder lists it once, not once per input.
// A few folders are kept, the one used longest ago making room: a merge asks of its inputs' folder and its
// output's by turns.
struct SFolderListing {
    std::string folder;
    dev_t device = 0;
    ino_t inode = 0;
    timespec modified{};
    std::unordered_multimap<std::string, std::string> names; // by the name with ASCII letters folded
};

std::mutex g_listingLock;
constexpr std::size_t kListings = 4;
SFolderListing g_listings[kListings]; // the one used last first

std::string FoldedName(std::string_view name) {
    std::string folded(name);
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return folded;
}

// Calls f(name) for each name in the folder that equals name when ASCII letters are folded; false when the
// folder cannot be read.
template <class F> bool ForEachNameLike(const std::string& folder, std::string_view name, F&& f) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0)
        return false;
    std::lock_guard lock(g_listingLock);
    // The folder's listing moves to the front; a new one takes the place of the last.
    std::size_t kept = 0;
    while (kept + 1 < kListings && g_listings[kept].folder != folder)
        ++kept;
    std::rotate(g_listings, g_listings + kept, g_listings + kept + 1);
    SFolderListing& listing = g_listings[0];
    if (listing.folder != folder || listing.device != st.st_dev || listing.inode != st.st_ino ||
        listing.modified.tv_sec != st.st_mtim.tv_sec || listing.modified.tv_nsec != st.st_mtim.tv_nsec) {
        DIR* dir = ::opendir(folder.c_str());
        if (dir == nullptr)
            return false;
        listing.names.clear();
        while (const dirent* entry = ::readdir(dir))
            listing.names.emplace(FoldedName(entry->d_name), entry->d_name);
        ::closedir(dir);
        listing.folder = folder;
        listing.device = st.st_dev;
        listing.inode = st.st_ino;
        listing.modified = st.st_mtim;
    }
    const auto [begin, end] = listing.names.equal_range(FoldedName(name));
    for (auto it = begin; it != end; ++it)
        f(it->second);
    return true;
}

bool SameIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return FoldAsciiCase(static_cast<unsigned char>(x)) ==
                      FoldAsciiCase(static_cast<unsigned char>(y));
           });
}

} // namespace

std::u16string FindCompanion(const std::u16string& mainPath, std::u16string_view extension) {
    const std::u16string directory = GetDirectoryPart(mainPath);
    const std::u16string stem = JoinPath(directory, GetFileBaseName(mainPath), u".");
    const std::u16string exact = stem + std::u16string(extension);
    if (PathExists(exact))
        return exact;
    // The base name as given, the extension in any letter case. Two names of one file (a link) are one
    // candidate.
    const std::string base = ToUtf8(GetFileBaseName(mainPath)) + ".";
    const std::string wanted = ToUtf8(extension);
    std::vector<std::u16string> found;
    std::vector<std::pair<dev_t, ino_t>> files;
    ForEachNameLike(
        directory.empty() ? std::string(".") : ToUtf8(directory), base + wanted,
        [&](const std::string& name) {
            if (name.size() != base.size() + wanted.size() || name.compare(0, base.size(), base) != 0 ||
                !SameIgnoringAsciiCase(std::string_view(name).substr(base.size()), wanted))
                return;
            const std::u16string path = stem + FromUtf8(std::string_view(name).substr(base.size()));
            struct stat st {};
            if (::stat(ToUtf8(path).c_str(), &st) != 0 ||
                std::find(files.begin(), files.end(), std::pair(st.st_dev, st.st_ino)) != files.end())
                return;
            files.emplace_back(st.st_dev, st.st_ino);
            found.push_back(path);
        });
    if (found.size() > 1) {
        std::sort(found.begin(), found.end());
        std::u16string names = found[0];
        for (std::size_t i = 1; i < found.size(); ++i) {
            names += i + 1 == found.size() ? u" and " : u", ";
            names += found[i];
        }
        ThrowGenericError(names + u" could each be the ." + std::u16string(extension) + u" of " + mainPath +
                          u": their names differ only in letter case.");
    }
    return found.empty() ? std::u16string() : found.front();
}

} // namespace fennick
