#pragma once
// Names of companion files (".shx", ".dbf", ".prj", ".stx", ".ttx", ".tpj") derived from a main file's path.
// Both "\" and "/" separate folders, so Windows-style and POSIX paths split alike; a drive "C:" is kept.

#include <string>
#include <string_view>

namespace fennick {

// Drive and folder with its trailing separator: C:\maps\roads.shp -> C:\maps\ ; roads.shp -> "".
std::u16string GetDirectoryPart(const std::u16string& path);
// The file name without folder and extension.
std::u16string GetFileBaseName(const std::u16string& path);
// Drive, folder, file name and the given extension (".prj"; a missing dot is supplied).
std::u16string ReplaceExtension(const std::u16string& path, const std::u16string& extension);
// directory + separator (unless it ends with one; none when the directory is empty or null) + name (without
// a leading separator) + "." (unless the extension is empty or starts with one) + extension. The separator is
// the one the directory already uses, else "/". Null arguments contribute nothing.
std::u16string JoinPath(const char16_t* directory, const char16_t* name, const char16_t* extension);
std::u16string JoinPath(const std::u16string& directory, const std::u16string& name,
                        const std::u16string& extension);
// True when anything is present at the path (folders included).
bool FileExists(const std::u16string& path);
// The companion of a main file with the given extension ("dbf", no dot): <folder>/<base>.<extension> when
// that is present, else the one file <folder>/<base>.<extension in any letter case> (files from Windows keep
// ".DBF"); empty when there is none. Two or more such files raise a generic error naming them, as either
// could be the companion.
std::u16string FindCompanion(const std::u16string& mainPath, std::u16string_view extension);

} // namespace fennick
