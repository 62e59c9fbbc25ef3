#include "ui/FileVersionInfo.h"

#include <cstdlib>
#include <cstring>

namespace fennick {

namespace {

// The string names, in the order of the members; the sixth is asked for under this spelling.
const char16_t* const kStringNames[12] = {
    u"CompanyName",    u"FileDescription",  u"FileVersion",  u"InternalName",
    u"LegalCopyright", u"OriginalFileName", u"ProductName",  u"ProductVersion",
    u"Comments",       u"LegalTrademarks",  u"PrivateBuild", u"SpecialBuild",
};

} // namespace

void CFileVersionInfo::ResetVersionInfo() {
    m_fixed = SFixedFileInfo();
    for (QString& text : m_strings)
        text.clear();
}

bool CFileVersionInfo::ReadModuleVersion(const void* /*module*/) {
    // Only the program itself has a module here.
    return ReadFileVersion(QString::fromStdString(ProgramFilePath()));
}

bool CFileVersionInfo::ReadFileVersion(const QString& path) {
    return ReadVersionResource(FindVersionResource(path.toStdString()), UserDefaultLangID());
}

bool CFileVersionInfo::ReadVersionResource(const SVersionResource* resource, uint16_t userLanguage) {
    ResetVersionInfo();
    if (!resource)
        return false;
    std::vector<uint8_t> block;
    if (QueryFixedBlock(*resource, block) && block.size() == sizeof m_fixed)
        std::memcpy(&m_fixed, block.data(), sizeof m_fixed);

    std::vector<STranslation> translations;
    STranslation chosen;
    if (QueryTranslations(*resource, translations))
        chosen = translations[size_t(ChooseTranslation(translations, userLanguage))];
    const QString prefix = QStringLiteral("\\StringFileInfo\\%1%2\\")
                               .arg(chosen.language, 4, 16, QLatin1Char('0'))
                               .arg(chosen.codePage, 4, 16, QLatin1Char('0'))
                               .toUpper();
    for (int i = 0; i < 12; ++i) {
        std::u16string text;
        if (QueryString(*resource, (prefix + QString::fromUtf16(kStringNames[i])).toStdU16String(), text))
            m_strings[i] = QString::fromStdU16String(text);
    }
    return true;
}

int ChooseTranslation(const std::vector<STranslation>& translations, uint16_t userLanguage) {
    if (translations.empty())
        return -1;
    auto find = [&](auto matches) -> int {
        for (size_t i = 0; i < translations.size(); ++i)
            if (matches(translations[i].language))
                return int(i);
        return -1;
    };
    const unsigned primary = userLanguage & 0xFF;
    for (int found : {find([&](uint16_t lang) { return lang == userLanguage; }),
                      find([&](uint16_t lang) { return (lang & 0xFFu) == primary; }),
                      find([](uint16_t lang) { return (lang & 0xFF) == 0; }),
                      find([](uint16_t lang) { return (lang & 0xFF) == 9; })})
        if (found >= 0)
            return found;
    return 0;
}

uint16_t LangIdFromLocale(const QString& locale) {
    // language[_TERRITORY][.codeset][@modifier]
    QString name = locale.section(u'.', 0, 0).section(u'@', 0, 0);
    if (name.isEmpty() || name == QLatin1String("C") || name == QLatin1String("POSIX"))
        return 0x0409;
    const QString language = name.section(u'_', 0, 0).toLower();
    const QString territory = name.section(u'_', 1, 1).toUpper();

    struct SRegional {
        const char* language;
        const char* territory;
        uint16_t id;
    };
    // Territories whose identifier is not the language's default one.
    static const SRegional kRegional[] = {
        {"en", "GB", 0x0809}, {"en", "AU", 0x0C09}, {"en", "CA", 0x1009}, {"en", "NZ", 0x1409},
        {"en", "IE", 0x1809}, {"en", "ZA", 0x1C09}, {"de", "CH", 0x0807}, {"de", "AT", 0x0C07},
        {"de", "LU", 0x1007}, {"fr", "BE", 0x080C}, {"fr", "CA", 0x0C0C}, {"fr", "CH", 0x100C},
        {"fr", "LU", 0x140C}, {"it", "CH", 0x0810}, {"nl", "BE", 0x0813}, {"es", "MX", 0x080A},
        {"es", "AR", 0x2C0A}, {"pt", "PT", 0x0816}, {"sv", "FI", 0x081D}, {"zh", "CN", 0x0804},
        {"zh", "SG", 0x1004}, {"zh", "HK", 0x0C04},
    };
    for (const SRegional& entry : kRegional)
        if (language == QLatin1String(entry.language) && territory == QLatin1String(entry.territory))
            return entry.id;

    struct SPrimary {
        const char* language;
        uint16_t id;
    };
    // Each language with its default territory.
    static const SPrimary kPrimary[] = {
        {"ar", 0x0401}, {"bg", 0x0402}, {"ca", 0x0403}, {"zh", 0x0404}, {"cs", 0x0405}, {"da", 0x0406},
        {"de", 0x0407}, {"el", 0x0408}, {"en", 0x0409}, {"es", 0x0C0A}, {"fi", 0x040B}, {"fr", 0x040C},
        {"he", 0x040D}, {"hu", 0x040E}, {"is", 0x040F}, {"it", 0x0410}, {"ja", 0x0411}, {"ko", 0x0412},
        {"nl", 0x0413}, {"nb", 0x0414}, {"no", 0x0414}, {"pl", 0x0415}, {"pt", 0x0416}, {"ro", 0x0418},
        {"ru", 0x0419}, {"hr", 0x041A}, {"sk", 0x041B}, {"sq", 0x041C}, {"sv", 0x041D}, {"th", 0x041E},
        {"tr", 0x041F}, {"id", 0x0421}, {"uk", 0x0422}, {"be", 0x0423}, {"sl", 0x0424}, {"et", 0x0425},
        {"lv", 0x0426}, {"lt", 0x0427}, {"vi", 0x042A}, {"eu", 0x042D}, {"mk", 0x042F}, {"af", 0x0436},
        {"hi", 0x0439}, {"ga", 0x083C}, {"gl", 0x0456}, {"sr", 0x241A},
    };
    for (const SPrimary& entry : kPrimary)
        if (language == QLatin1String(entry.language))
            return entry.id;
    return 0x0400;
}

uint16_t UserDefaultLangID() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"})
        if (const char* value = std::getenv(variable); value && value[0])
            return LangIdFromLocale(QString::fromLocal8Bit(value));
    return 0x0409;
}

} // namespace fennick
