#include "platform/PathFunctions.h"

#include "platform/FileSystem.h"

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

} // namespace fennick
