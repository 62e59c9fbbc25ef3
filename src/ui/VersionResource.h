#pragma once
// The version resource: the fixed version block, the list of translations and one string table per
// translation. The program's own resource is compiled in from the build's project version; it is the only
// one there is, so only the program's own file has version data.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace fennick {

// The fixed block, 52 bytes, in the layout Windows gives it.
struct SFixedFileInfo {
    uint32_t dwSignature = 0; // 0xFEEF04BD
    uint32_t dwStrucVersion = 0;
    uint32_t dwFileVersionMS = 0;
    uint32_t dwFileVersionLS = 0;
    uint32_t dwProductVersionMS = 0;
    uint32_t dwProductVersionLS = 0;
    uint32_t dwFileFlagsMask = 0;
    uint32_t dwFileFlags = 0;
    uint32_t dwFileOS = 0;
    uint32_t dwFileType = 0;
    uint32_t dwFileSubtype = 0;
    uint32_t dwFileDateMS = 0;
    uint32_t dwFileDateLS = 0;
};
static_assert(sizeof(SFixedFileInfo) == 52);

// One translation entry: language identifier and code page.
struct STranslation {
    uint16_t language = 0;
    uint16_t codePage = 0;
};

struct SVersionStringTable {
    std::u16string blockName; // eight hex digits, language then code page: "040904B0"
    std::vector<std::pair<std::u16string, std::u16string>> strings;
};

struct SVersionResource {
    std::vector<uint8_t> fixedBlock; // normally the 52 bytes of an SFixedFileInfo
    std::vector<STranslation> translations;
    std::vector<SVersionStringTable> stringTables;
};

// The program's own resource, built from the version the build was configured with.
const SVersionResource& ProgramVersionResource();

// The resource of the file at path (UTF-8): the program's own for the running program's file, none for any
// other file. Returns null when the file has none.
const SVersionResource* FindVersionResource(const std::string& path);

// The running program's file path; empty when it cannot be found.
std::string ProgramFilePath();

// Looks up a sub-block as the version query does: "\" gives the fixed block, "\VarFileInfo\Translation" the
// translations, "\StringFileInfo\<block>\<name>" one string (block and name compared without regard to
// case). Each returns false when the sub-block does not exist.
bool QueryFixedBlock(const SVersionResource& resource, std::vector<uint8_t>& block);
bool QueryTranslations(const SVersionResource& resource, std::vector<STranslation>& translations);
bool QueryString(const SVersionResource& resource, const std::u16string& subBlock, std::u16string& text);

} // namespace fennick
