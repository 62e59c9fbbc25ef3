#include "ui/VersionResource.h"

#include "platform/TextCase.h"
#include "ui/VersionBlock.h"

#include <climits>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace fennick {

namespace {

SVersionResource BuildProgramResource() {
    SFixedFileInfo fixed;
    fixed.dwSignature = 0xFEEF04BD;
    fixed.dwStrucVersion = 0x00010000;
    fixed.dwFileVersionMS = (FENNICK_VERSION_MAJOR << 16) | FENNICK_VERSION_MINOR;
    fixed.dwFileVersionLS = (FENNICK_VERSION_PATCH << 16) | FENNICK_VERSION_TWEAK;
    fixed.dwProductVersionMS = fixed.dwFileVersionMS;
    fixed.dwProductVersionLS = fixed.dwFileVersionLS;
    fixed.dwFileFlagsMask = 0x3F;
    fixed.dwFileOS = 0x40004; // VOS_NT_WINDOWS32, the value the format knows for a 32-bit program
    fixed.dwFileType = 1;     // VFT_APP

    SVersionResource resource;
    resource.fixedBlock.resize(sizeof fixed);
    std::memcpy(resource.fixedBlock.data(), &fixed, sizeof fixed);
    // US English, Unicode.
    resource.translations.push_back({0x0409, 1200});
    resource.stringTables.push_back({u"040904B0",
                                     {
                                         {u"FileDescription", FENNICK_PRODUCT_NAME},
                                         {u"FileVersion", FENNICK_VERSION_TEXT},
                                         {u"InternalName", FENNICK_PRODUCT_NAME},
                                         {u"LegalCopyright", FENNICK_LEGAL_COPYRIGHT},
                                         {u"OriginalFilename", FENNICK_EXECUTABLE_NAME},
                                         {u"ProductName", FENNICK_PRODUCT_NAME},
                                         {u"ProductVersion", FENNICK_VERSION_TEXT},
                                     }});
    return resource;
}

} // namespace

const SVersionResource& ProgramVersionResource() {
    static const SVersionResource resource = BuildProgramResource();
    return resource;
}

std::string ProgramFilePath() {
    std::error_code error;
    const std::filesystem::path path = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : path.string();
}

const SVersionResource* FindVersionResource(const std::string& path) {
    if (path.empty())
        return nullptr;
    std::error_code error;
    const std::string program = ProgramFilePath();
    if (!program.empty() && std::filesystem::equivalent(path, program, error) && !error)
        return &ProgramVersionResource();
    return nullptr;
}

bool QueryFixedBlock(const SVersionResource& resource, std::vector<uint8_t>& block) {
    if (resource.fixedBlock.empty())
        return false;
    block = resource.fixedBlock;
    return true;
}

bool QueryTranslations(const SVersionResource& resource, std::vector<STranslation>& translations) {
    if (resource.translations.empty())
        return false;
    translations = resource.translations;
    return true;
}

bool QueryString(const SVersionResource& resource, const std::u16string& subBlock, std::u16string& text) {
    constexpr std::u16string_view prefix = u"\\StringFileInfo\\";
    if (subBlock.size() < prefix.size() ||
        !EqualIgnoringAsciiCase(std::u16string_view(subBlock).substr(0, prefix.size()), prefix))
        return false;
    const std::u16string rest = subBlock.substr(prefix.size());
    const size_t slash = rest.find(u'\\');
    if (slash == std::u16string::npos)
        return false;
    const std::u16string_view block = std::u16string_view(rest).substr(0, slash);
    const std::u16string_view name = std::u16string_view(rest).substr(slash + 1);
    for (const SVersionStringTable& table : resource.stringTables) {
        if (!EqualIgnoringAsciiCase(table.blockName, block))
            continue;
        for (const auto& [key, value] : table.strings)
            if (EqualIgnoringAsciiCase(key, name)) {
                text = value;
                return true;
            }
    }
    return false;
}

} // namespace fennick
