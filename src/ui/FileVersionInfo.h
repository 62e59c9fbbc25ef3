#pragma once
// CFileVersionInfo: the version information of a program file: its fixed block and the twelve standard
// strings, taken from the string table of the translation that best fits the user's language.

#include "ui/VersionResource.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace fennick {

class CFileVersionInfo {
public:
    CFileVersionInfo() = default;
    virtual ~CFileVersionInfo() = default;

    // Clears the fixed block and all twelve strings.
    virtual void ResetVersionInfo();

    // Reads the running program's own version information (module null: the program itself).
    bool ReadModuleVersion(const void* module = nullptr);
    // Reads the version information of the file at path; false when it has none.
    bool ReadFileVersion(const QString& path);
    // Reads from a resource as found in a file, choosing the translation for userLanguage.
    bool ReadVersionResource(const SVersionResource* resource, uint16_t userLanguage);

    const SFixedFileInfo& FixedFileInfo() const { return m_fixed; }
    const QString& GetCompanyName() const { return m_strings[0]; }
    const QString& GetFileDescription() const { return m_strings[1]; }
    const QString& GetFileVersion() const { return m_strings[2]; }
    const QString& GetInternalName() const { return m_strings[3]; }
    const QString& GetLegalCopyright() const { return m_strings[4]; }
    const QString& GetOriginalFileName() const { return m_strings[5]; }
    const QString& GetProductName() const { return m_strings[6]; }
    const QString& GetProductVersion() const { return m_strings[7]; }
    const QString& GetComments() const { return m_strings[8]; }
    const QString& GetLegalTrademarks() const { return m_strings[9]; }
    const QString& GetPrivateBuild() const { return m_strings[10]; }
    const QString& GetSpecialBuild() const { return m_strings[11]; }

private:
    SFixedFileInfo m_fixed;
    QString m_strings[12];
};

// The index of the translation to read for userLanguage: an exact language match, else the same primary
// language (low 8 bits), else a neutral one (primary 0), else English (primary 9), else the first.
// -1 for an empty list.
int ChooseTranslation(const std::vector<STranslation>& translations, uint16_t userLanguage);

// The user's language as a Windows language identifier, from the locale the environment names
// (LC_ALL, LC_MESSAGES, LANG): "de_DE.UTF-8" gives 0x0407; "C", "POSIX" and none give 0x0409.
uint16_t UserDefaultLangID();
// The same for one locale name; 0x0400 (neutral, user default) for a language the table does not know.
uint16_t LangIdFromLocale(const QString& locale);

} // namespace fennick
