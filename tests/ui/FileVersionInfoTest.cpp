// Version information and the about box: the choice of translation, reading a resource's strings, the
// program's own compiled-in block, and the texts the about box shows.

#include "ui/FileVersionInfo.h"
#include "ui/AboutDlg.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <cstring>

using namespace fennick;

namespace {

// A resource with one string table per translation, each holding ProductName and FileVersion.
SVersionResource Resource(const std::vector<STranslation>& translations, const QString& fileVersion) {
    SVersionResource resource;
    resource.translations = translations;
    for (const STranslation& translation : translations) {
        const QString block = QStringLiteral("%1%2")
                                  .arg(translation.language, 4, 16, QLatin1Char('0'))
                                  .arg(translation.codePage, 4, 16, QLatin1Char('0'));
        resource.stringTables.push_back(
            {block.toStdU16String(),
             {{u"ProductName", (QStringLiteral("Product ") + block).toStdU16String()},
              {u"FileVersion", fileVersion.toStdU16String()},
              {u"LegalCopyright", u"Notice"}}});
    }
    return resource;
}

} // namespace

class FileVersionInfoTest : public QObject {
    Q_OBJECT

private slots:
    void choosesTheTranslation_data() {
        QTest::addColumn<QList<int>>("languages");
        QTest::addColumn<int>("user");
        QTest::addColumn<int>("chosen");
        QTest::newRow("exact") << QList<int>{0x0809, 0x0409} << 0x0409 << 1;
        QTest::newRow("primary language") << QList<int>{0x0407, 0x0809} << 0x0409 << 1;
        QTest::newRow("neutral") << QList<int>{0x0407, 0x0000} << 0x040C << 1;
        QTest::newRow("English") << QList<int>{0x0407, 0x0409} << 0x040C << 1;
        QTest::newRow("neutral before English") << QList<int>{0x0409, 0x0400} << 0x040C << 1;
        QTest::newRow("only German under English: the first") << QList<int>{0x0407} << 0x0409 << 0;
        QTest::newRow("nothing fits: the first") << QList<int>{0x0407, 0x0410} << 0x040C << 0;
        QTest::newRow("empty") << QList<int>{} << 0x0409 << -1;
    }
    void choosesTheTranslation() {
        QFETCH(QList<int>, languages);
        QFETCH(int, user);
        QFETCH(int, chosen);
        std::vector<STranslation> translations;
        for (int language : languages)
            translations.push_back({uint16_t(language), 1252});
        QCOMPARE(ChooseTranslation(translations, uint16_t(user)), chosen);
    }

    void readsTheChosenStringTable() {
        // German with code page 1252 (block "040704E4") read under an English user language.
        const SVersionResource german = Resource({{0x0407, 1252}}, QStringLiteral("2,1, 0"));
        CFileVersionInfo info;
        QVERIFY(info.ReadVersionResource(&german, 0x0409));
        QCOMPARE(info.GetProductName(), QStringLiteral("Product 040704e4"));
        QCOMPARE(info.GetFileVersion(), QStringLiteral("2,1, 0"));
        QCOMPARE(info.GetCompanyName(), QString());
        // A fixed block of the wrong size is not taken.
        QCOMPARE(info.FixedFileInfo().dwSignature, 0u);

        const SVersionResource two = Resource({{0x0407, 1252}, {0x040C, 1252}}, QStringLiteral("1"));
        QVERIFY(info.ReadVersionResource(&two, 0x080C));
        QCOMPARE(info.GetProductName(), QStringLiteral("Product 040c04e4"));
        QVERIFY(!info.ReadVersionResource(nullptr, 0x0409));
        QCOMPARE(info.GetProductName(), QString());
    }

    void programVersionIsCompiledIn() {
        CFileVersionInfo info;
        QVERIFY(info.ReadModuleVersion());
        QCOMPARE(info.GetProductName(), QStringLiteral("Fennick"));
        QCOMPARE(info.GetFileDescription(), QStringLiteral("Fennick"));
        QCOMPARE(info.GetInternalName(), QStringLiteral("Fennick"));
        QCOMPARE(info.GetFileVersion(), QStringLiteral("1, 0, 1, 0"));
        QCOMPARE(info.GetProductVersion(), QStringLiteral("1, 0, 1, 0"));
        QCOMPARE(info.GetOriginalFileName(), QStringLiteral("fennick"));
        QCOMPARE(info.GetCompanyName(), QString());
        QVERIFY(!info.GetLegalCopyright().isEmpty());
        QCOMPARE(info.FixedFileInfo().dwSignature, 0xFEEF04BDu);
        QCOMPARE(info.FixedFileInfo().dwFileVersionMS, 0x00010000u);
        QCOMPARE(info.FixedFileInfo().dwFileVersionLS, 0x00010000u);
        // Other files carry no version information.
        QVERIFY(!info.ReadFileVersion(QStringLiteral("/bin/sh")));
        QCOMPARE(info.GetProductName(), QString());
    }

    void formatsTheVersion_data() {
        QTest::addColumn<QString>("fileVersion");
        QTest::addColumn<QString>("shown");
        QTest::newRow("resource") << "1, 0, 1, 0"
                                  << "1.0.1.0";
        QTest::newRow("uneven") << "2,1, 0"
                                << "2.1.0";
        QTest::newRow("empty") << ""
                               << "";
    }
    void formatsTheVersion() {
        QFETCH(QString, fileVersion);
        QFETCH(QString, shown);
        QCOMPARE(CAboutDlg::FormatVersion(fileVersion), shown);
    }

    void aboutBoxShowsTheProgramVersion() {
        CFileVersionInfo info;
        QVERIFY(info.ReadModuleVersion());
        CAboutDlg about;
        QCOMPARE(about.windowTitle(), QStringLiteral("About Fennick"));
        QCOMPARE(about.findChild<QLabel*>(QStringLiteral("IDC_VERSION"))->text(),
                 QStringLiteral("Fennick 1.0.1.0"));
        QCOMPARE(about.findChild<QLabel*>(QStringLiteral("IDC_COPYRIGHT"))->text(), info.GetLegalCopyright());
        auto* ok = about.findChild<QPushButton*>(QStringLiteral("IDOK"));
        QVERIFY(ok->isDefault());
        QCOMPARE(ok->text(), QStringLiteral("OK"));
        about.show();
        QTest::mouseClick(ok, Qt::LeftButton);
        QCOMPARE(about.result(), int(QDialog::Accepted));
        QVERIFY(!about.isVisible());
    }

    void aboutBoxFromAnotherResource() {
        const SVersionResource german = Resource({{0x0407, 1252}}, QStringLiteral("2,1, 0"));
        CAboutDlg about(&german, 0x0409);
        QCOMPARE(about.windowTitle(), QStringLiteral("About Product 040704e4"));
        QCOMPARE(about.findChild<QLabel*>(QStringLiteral("IDC_VERSION"))->text(),
                 QStringLiteral("Product 040704e4 2.1.0"));
        QCOMPARE(about.findChild<QLabel*>(QStringLiteral("IDC_COPYRIGHT"))->text(), QStringLiteral("Notice"));
    }

    void aboutBoxKeepsItsTextsWithoutVersionInformation() {
        CAboutDlg about(nullptr, 0x0409);
        QCOMPARE(about.windowTitle(), QStringLiteral("About Fennick"));
        QCOMPARE(about.findChild<QLabel*>(QStringLiteral("IDC_VERSION"))->text(),
                 QStringLiteral("Fennick 1.0"));
    }

    void languageFromTheLocale_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("language");
        QTest::newRow("C") << "C" << 0x0409;
        QTest::newRow("POSIX") << "POSIX" << 0x0409;
        QTest::newRow("US") << "en_US.UTF-8" << 0x0409;
        QTest::newRow("GB") << "en_GB.UTF-8" << 0x0809;
        QTest::newRow("German") << "de_DE.UTF-8" << 0x0407;
        QTest::newRow("Swiss German") << "de_CH.UTF-8" << 0x0807;
        QTest::newRow("French with modifier") << "fr_FR@euro" << 0x040C;
        QTest::newRow("Brazilian") << "pt_BR" << 0x0416;
        QTest::newRow("unknown") << "xx_YY.UTF-8" << 0x0400;
    }
    void languageFromTheLocale() {
        QFETCH(QString, locale);
        QFETCH(int, language);
        QCOMPARE(int(LangIdFromLocale(locale)), language);
    }
};

QTEST_MAIN(FileVersionInfoTest)
#include "FileVersionInfoTest.moc"
