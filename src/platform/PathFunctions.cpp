#include "platform/PathFunctions.h"

#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/GenericEx.h"
#include "platform/TextCase.h"

#include <algorithm>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace fennick {

namespace {

bool IsSeparator(char16_t c) {
    return c == u'\\' || c == u'/';
}

struct SPathParts {
    std::u16string drive, dir, name, ext;
};

// Splits like the platform's path splitting: drive letter, folder up to the last separator, then the name
// and the extension from its last dot.
SPathParts Split(const std::u16string& path) {
    SPathParts parts;
    std::size_t start = 0;
    if (path.size() >= 2 && path[1] == u':') {
        parts.drive = path.substr(0, 2);
        start = 2;
    }
    std::size_t lastSep = std::u16string::npos;
    for (std::size_t i = start; i < path.size(); ++i)
        if (IsSeparator(path[i]))
            lastSep = i;
    std::size_t nameStart = start;
    if (lastSep != std::u16string::npos) {
        parts.dir = path.substr(start, lastSep + 1 - start);
        nameStart = lastSep + 1;
    }
    const std::u16string file = path.substr(nameStart);
    const std::size_t dot = file.rfind(u'.');
    if (dot == std::u16string::npos) {
        parts.name = file;
    } else {
        parts.name = file.substr(0, dot);
        parts.ext = file.substr(dot);
    }
    return parts;
}

} // namespace

std::u16string GetDirectoryPart(const std::u16string& path) {
    const SPathParts parts = Split(path);
    return parts.drive + parts.dir;
}

std::u16string GetFileBaseName(const std::u16string& path) {
    return Split(path).name;
}

std::u16string ReplaceExtension(const std::u16string& path, const std::u16string& extension) {
    const SPathParts parts = Split(path);
    std::u16string result = parts.drive + parts.dir + parts.name;
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

std::u16string FindCompanion(const std::u16string& mainPath, std::u16string_view extension) {
    const std::u16string stem = JoinPath(GetDirectoryPart(mainPath), GetFileBaseName(mainPath), u".");
    const std::u16string exact = stem + std::u16string(extension);
    if (PathExists(exact))
        return exact;
    // Every spelling of the extension is tried rather than the folder listed, so opening many inputs of one
    // large folder costs a few calls each. Two names of one file (a link) are one candidate.
    std::u16string spelling(extension);
    std::vector<std::size_t> letters;
    for (std::size_t i = 0; i < spelling.size(); ++i)
        if (FoldAsciiCase(spelling[i]) >= u'a' && FoldAsciiCase(spelling[i]) <= u'z')
            letters.push_back(i);
    if (letters.size() > 8) // no companion has such an extension, and 2^n spellings would be too many
        return {};
    std::vector<std::u16string> found;
    std::vector<std::pair<dev_t, ino_t>> files;
    for (unsigned mask = 0; mask < (1u << letters.size()); ++mask) {
        for (std::size_t k = 0; k < letters.size(); ++k) {
            const char16_t lower = FoldAsciiCase(spelling[letters[k]]);
            spelling[letters[k]] = (mask >> k & 1u) != 0 ? static_cast<char16_t>(lower - u'a' + u'A') : lower;
        }
        struct stat st {};
        if (::stat(ToUtf8(stem + spelling).c_str(), &st) != 0 ||
            std::find(files.begin(), files.end(), std::pair(st.st_dev, st.st_ino)) != files.end())
            continue;
        files.emplace_back(st.st_dev, st.st_ino);
        found.push_back(stem + spelling);
    }
    if (found.size() > 1) {
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
