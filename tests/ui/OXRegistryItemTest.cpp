// The registry item over its per-user settings file in a temporary XDG_CONFIG_HOME: the path syntax, the
// read and write rules, value types, access failures, and the file as an independent JSON reader sees it.

#include "ui/OXRegistryItem.h"
#include "ui/EnvironmentStrings.h"

#include <nlohmann/json.hpp>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using namespace fennick;
using Json = nlohmann::json;

namespace {

constexpr int32_t kFileNotFound = int32_t(0x80070002);
constexpr int32_t kAccessDenied = int32_t(0x80070005);
constexpr int32_t kInvalidData = int32_t(0x8007000D);
constexpr int32_t kBadNetPath = int32_t(0x80070035);
const std::u16string kKey = u"\\Software\\Orlenta\\Fennick\\";

// A store that grants reading only, as a key opened with query access would.
class CReadOnlyStore : public CSettingsStore {
public:
    using CSettingsStore::CSettingsStore;
    uint32_t CheckAccess(bool write) const override {
        return write ? ERROR_ACCESS_DENIED : CSettingsStore::CheckAccess(false);
    }
};

QString Q(const std::u16string& text) {
    return QString::fromStdU16String(text);
}

} // namespace

Q_DECLARE_METATYPE(std::u16string)

class OXRegistryItemTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_file;

    void WriteFile(const QByteArray& bytes) {
        QDir().mkpath(m_dir->path() + QStringLiteral("/Orlenta"));
        QFile file(m_file);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray FileBytes() const {
        QFile file(m_file);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    Json FileJson() const { return Json::parse(FileBytes().toStdString()); }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        qputenv("XDG_CONFIG_HOME", m_dir->path().toUtf8());
        m_file = m_dir->path() + QStringLiteral("/Orlenta/Fennick.conf");
        QCOMPARE(QString::fromStdString(CSettingsStore::DefaultFilePath()), m_file);
    }
    void cleanup() { m_dir.reset(); }

    void splitsThePath_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QStringList>("parts"); // machine, hive, key, value
        QTest::addColumn<QString>("rebuilt");
        auto row = [](const char* name, const char* path, QStringList parts, const char* rebuilt) {
            QTest::newRow(name) << QString::fromUtf8(path) << parts << QString::fromUtf8(rebuilt);
        };
        row("application key", R"(\Software\Orlenta\Fennick\)",
            {"", R"(\CurrentUser)", R"(\Software\Orlenta\Fennick\)", ""},
            R"(\CurrentUser\Software\Orlenta\Fennick\)");
        row("hive and value", R"(\CurrentUser\Software\Orlenta\Fennick\SourceDir)",
            {"", R"(\CurrentUser)", R"(\Software\Orlenta\Fennick\)", "SourceDir"},
            R"(\CurrentUser\Software\Orlenta\Fennick\SourceDir)");
        row("machine", R"(\\Server\LocalMachine\Software\X\Val)",
            {R"(\\Server)", R"(\LocalMachine)", R"(\Software\X\)", "Val"},
            R"(\\Server\LocalMachine\Software\X\Val)");
        row("machine alone", R"(\\Server)", {R"(\\Server)", "", "", ""}, R"(\\Server)");
        row("hive in any case", R"(\localmachine\Software\NoName)",
            {"", R"(\localmachine)", R"(\Software\)", "NoName"}, R"(\localmachine\Software\NoName)");
        row("hive alone", R"(\Users)", {"", R"(\Users)", "", ""}, R"(\Users)");
        row("not quite a hive", R"(\CurrentUserX\Key\)", {"", R"(\CurrentUser)", R"(\CurrentUserX\Key\)", ""},
            R"(\CurrentUser\CurrentUserX\Key\)");
        row("one key name", R"(\Software)", {"", R"(\CurrentUser)", R"(\Software\)", ""},
            R"(\CurrentUser\Software\)");
        row("no leading backslash", R"(Software\Orlenta)", {"", "", "", R"(Software\Orlenta)"},
            R"(\Software\Orlenta)");
        row("backslashes only", R"(\\\)", {"", "", "", ""}, "");
        row("empty", "", {"", "", "", ""}, "");
    }
    void splitsThePath() {
        QFETCH(QString, path);
        QFETCH(QStringList, parts);
        QFETCH(QString, rebuilt);
        COXRegistryItem item(path.toStdU16String());
        QCOMPARE(Q(item.GetMachineName()), parts[0]);
        QCOMPARE(Q(item.GetRegistryName()), parts[1]);
        QCOMPARE(Q(item.GetKeyName()), parts[2]);
        QCOMPARE(Q(item.GetValueName()), parts[3]);
        // The full path is rebuilt from the parts once a part changes.
        item.SetValueName(item.GetValueName());
        QCOMPARE(Q(item.GetFullRegistryItem()), rebuilt);
    }

    void settingPartsNormalisesThem() {
        COXRegistryItem item;
        item.SetKeyName(u"Software\\A");
        QCOMPARE(Q(item.GetKeyName()), QStringLiteral("\\Software\\A\\"));
        QCOMPARE(Q(item.GetRegistryName()), QStringLiteral("\\CurrentUser"));
        item.SetMachineName(u"Server");
        QCOMPARE(Q(item.GetMachineName()), QStringLiteral("\\\\Server"));
        item.SetMachineName(u"\\Other");
        QCOMPARE(Q(item.GetMachineName()), QStringLiteral("\\\\Other"));
        QCOMPARE(Q(item.GetFullRegistryItem()), QStringLiteral("\\\\Other\\CurrentUser\\Software\\A\\"));
    }

    void firstStartReadsEmptyAndTheWriteCreatesTheKey() {
        COXRegistryItem item(kKey);
        QCOMPARE(Q(item.ReadStringValue(u"SourceDir", true, true, u"")), QString());
        QCOMPARE(item.GetLastError(), kFileNotFound);
        QVERIFY(!item.IsOpen());
        QVERIFY(!QFile::exists(m_file));
        QVERIFY(item.WriteStringValue(u"/data/maps/", u"SourceDir", false));
        QCOMPARE(item.GetLastError(), 0);
        QVERIFY(item.WriteStringValue(u"", u"OutputDir", false));
        const Json stored = FileJson();
        QCOMPARE(stored.size(), size_t(1));
        const Json& key = stored.at("Software\\Orlenta\\Fennick");
        QCOMPARE(key.at("SourceDir").at("type").get<std::string>(), std::string("REG_SZ"));
        QCOMPARE(key.at("SourceDir").at("data").get<std::string>(), std::string("/data/maps/"));
        QCOMPARE(key.at("OutputDir").at("data").get<std::string>(), std::string());
        QCOMPARE(QFile::permissions(m_file) & (QFile::ReadOther | QFile::WriteOther), QFile::Permissions());
        // A new item reads what was written, in any letter case of the name.
        COXRegistryItem again(u"\\CurrentUser\\software\\ORLENTA\\fennick\\");
        QCOMPARE(Q(again.ReadStringValue(u"sourcedir")), QStringLiteral("/data/maps/"));
    }

    void expandableValueIsExpanded() {
        qputenv("FENNICK_TEST_FOLDER", "/srv/gis");
        WriteFile(R"({"Software\\Orlenta\\Fennick": {
            "SourceDir": {"type": "REG_EXPAND_SZ", "data": "%FENNICK_TEST_FOLDER%/maps"}}})");
        COXRegistryItem item(kKey);
        QCOMPARE(Q(item.ReadStringValue(u"SourceDir", true, true, u"")), QStringLiteral("/srv/gis/maps"));
        QCOMPARE(item.GetLastError(), 0);
        QCOMPARE(Q(item.ReadStringValue(u"SourceDir", true, false, u"")),
                 QStringLiteral("%FENNICK_TEST_FOLDER%/maps"));
        // Only plain strings are accepted when expandable ones are not.
        QCOMPARE(Q(item.ReadStringValue(u"SourceDir", false, true, u"fallback")), QStringLiteral("fallback"));
        QCOMPARE(item.GetLastError(), kInvalidData);
        qunsetenv("FENNICK_TEST_FOLDER");
    }

    void numberReadsEmptyAndIsOverwrittenAsText() {
        WriteFile(R"({"Software\\Orlenta\\Fennick": {"OutputDir": {"type": "REG_DWORD", "data": 42},
                      "Other": {"type": 3, "hex": "00ff10"}}})");
        COXRegistryItem item(kKey);
        QCOMPARE(Q(item.ReadStringValue(u"OutputDir", true, true, u"")), QString());
        QCOMPARE(item.GetLastError(), kInvalidData);
        QVERIFY(item.WriteStringValue(u"/out/", u"OutputDir", false));
        const Json key = FileJson().at("Software\\Orlenta\\Fennick");
        QCOMPARE(key.at("OutputDir").at("type").get<std::string>(), std::string("REG_SZ"));
        QCOMPARE(key.at("OutputDir").at("data").get<std::string>(), std::string("/out/"));
        // Other values keep their type and data.
        QCOMPARE(key.at("Other").at("type").get<int>(), 3);
        QCOMPARE(key.at("Other").at("hex").get<std::string>(), std::string("00ff10"));
        uint32_t type = 0;
        std::vector<uint8_t> data;
        QVERIFY(item.ReadValue(u"Other", 0, type, data));
        QCOMPARE(type, REG_BINARY);
        QCOMPARE(data, (std::vector<uint8_t>{0x00, 0xFF, 0x10}));
    }

    void stringDataIsNulTerminatedUtf16() {
        COXRegistryItem item(kKey);
        QVERIFY(item.WriteStringValue(u"Ä/x", u"SourceDir", false));
        uint32_t type = 0;
        std::vector<uint8_t> data;
        QVERIFY(item.ReadValue(u"SourceDir", REG_SZ, type, data));
        QCOMPARE(data, (std::vector<uint8_t>{0xC4, 0, '/', 0, 'x', 0, 0, 0}));
        QVERIFY(!item.ReadValue(u"SourceDir", REG_DWORD, type, data));
        QCOMPARE(item.GetLastError(), kInvalidData);
    }

    void noNameIsTheDefaultValueAndTheItemNamesItsValue() {
        COXRegistryItem item(kKey + u"NoName");
        QVERIFY(item.WriteStringValue(u"default text"));
        QVERIFY(FileJson().at("Software\\Orlenta\\Fennick").contains(""));
        COXRegistryItem named(kKey + u"SourceDir");
        QVERIFY(named.WriteStringValue(u"/a/"));
        QCOMPARE(Q(named.ReadStringValue()), QStringLiteral("/a/"));
        QCOMPARE(Q(named.ReadStringValue(u"NONAME")), QStringLiteral("default text"));
    }

    void readOnlyKeyReadsAndItsWritesFailSilently() {
        WriteFile(R"({"Software\\Orlenta\\Fennick": {"SourceDir": {"type": "REG_SZ", "data": "/keep/"}}})");
        const QByteArray before = FileBytes();
        COXRegistryItem item(kKey, std::make_shared<CReadOnlyStore>(m_file.toStdString()));
        QCOMPARE(Q(item.ReadStringValue(u"SourceDir")), QStringLiteral("/keep/"));
        QVERIFY(item.IsOpen());
        // The key stays open with query access only, so the writes fail.
        QVERIFY(!item.WriteStringValue(u"/new/", u"SourceDir", false));
        QCOMPARE(item.GetLastError(), kAccessDenied);
        QVERIFY(!item.WriteStringValue(u"/new/", u"OutputDir", false));
        QCOMPARE(FileBytes(), before);
    }

    void readOnlyFileForAnOrdinaryUser() {
        if (::geteuid() == 0)
            QSKIP("file permissions do not bind the superuser");
        WriteFile(R"({"Software\\Orlenta\\Fennick": {"SourceDir": {"type": "REG_SZ", "data": "/keep/"}}})");
        QFile::setPermissions(m_file, QFile::ReadOwner);
        COXRegistryItem item(kKey);
        QCOMPARE(Q(item.ReadStringValue(u"SourceDir")), QStringLiteral("/keep/"));
        QVERIFY(!item.WriteStringValue(u"/new/", u"SourceDir", false));
        QCOMPARE(item.GetLastError(), kAccessDenied);
    }

    void storeThatCannotBeCreatedFailsQuietly() {
        // The configuration folder is a file: nothing can be read or created below it.
        const QString blocker = m_dir->path() + QStringLiteral("/blocker");
        QFile file(blocker);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        qputenv("XDG_CONFIG_HOME", blocker.toUtf8());
        COXRegistryItem item(kKey);
        QCOMPARE(Q(item.ReadStringValue(u"SourceDir")), QString());
        QVERIFY(item.GetLastError() < 0);
        QVERIFY(!item.WriteStringValue(u"/x/", u"SourceDir", false));
        QVERIFY(item.GetLastError() < 0);
    }

    void otherHivesAndMachinesCannotBeOpened() {
        COXRegistryItem machineWide(u"\\LocalMachine\\Software\\Orlenta\\Fennick\\");
        QVERIFY(!machineWide.WriteStringValue(u"x", u"SourceDir", false));
        QCOMPARE(machineWide.GetLastError(), kFileNotFound);
        COXRegistryItem remote(u"\\\\server\\CurrentUser\\Software\\");
        QVERIFY(!remote.OpenKey(true, KEY_ALL_ACCESS));
        QCOMPARE(remote.GetLastError(), kBadNetPath);
        QVERIFY(!QFile::exists(m_file));
        // A path without a key addresses the hive itself.
        COXRegistryItem hive(u"Software\\Orlenta");
        QVERIFY(hive.WriteStringValue(u"v"));
        QCOMPARE(FileJson().at("").at("Software\\Orlenta").at("data").get<std::string>(), std::string("v"));
    }

    void unreadableFileIsKeptAsideWhenWritten() {
        WriteFile("this is not { json");
        COXRegistryItem item(kKey);
        QCOMPARE(Q(item.ReadStringValue(u"SourceDir")), QString());
        QVERIFY(item.WriteStringValue(u"/new/", u"SourceDir", false));
        QCOMPARE(FileJson().at("Software\\Orlenta\\Fennick").at("SourceDir").at("data").get<std::string>(),
                 std::string("/new/"));
        QFile broken(m_file + QStringLiteral(".broken"));
        QVERIFY(broken.open(QIODevice::ReadOnly));
        QCOMPARE(broken.readAll(), QByteArray("this is not { json"));
        // No temporary files are left beside it.
        QCOMPARE(QDir(m_dir->path() + QStringLiteral("/Orlenta")).entryList(QDir::Files).size(), 2);
    }

    void expandsEnvironmentReferences_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expanded");
        QTest::newRow("one") << "%FENNICK_A%/x"
                             << "alpha/x";
        QTest::newRow("two") << "a%FENNICK_A%b%FENNICK_B%c"
                             << "aalphabbetac";
        QTest::newRow("unset kept") << "%FENNICK_UNSET%/x"
                                    << "%FENNICK_UNSET%/x";
        QTest::newRow("unset then set") << "%FENNICK_UNSET%FENNICK_A%"
                                        << "%FENNICK_UNSETalpha";
        QTest::newRow("lone percent") << "100%"
                                      << "100%";
        QTest::newRow("double percent") << "%%"
                                        << "%%";
        QTest::newRow("none") << "/plain/path"
                              << "/plain/path";
    }
    void expandsEnvironmentReferences() {
        QFETCH(QString, text);
        QFETCH(QString, expanded);
        qputenv("FENNICK_A", "alpha");
        qputenv("FENNICK_B", "beta");
        qunsetenv("FENNICK_UNSET");
        std::u16string out;
        QVERIFY(ExpandEnvironmentStrings(text.toStdU16String(), out));
        QCOMPARE(Q(out), expanded);
    }

    void overlongExpansionFails() {
        qputenv("FENNICK_BIG", QByteArray(20000, 'x'));
        std::u16string out = u"unchanged";
        QVERIFY(!ExpandEnvironmentStrings(u"%FENNICK_BIG%%FENNICK_BIG%", out));
        QCOMPARE(Q(out), QStringLiteral("unchanged"));
        // The registry read then keeps the text unexpanded.
        WriteFile(R"({"Software\\Orlenta\\Fennick": {"SourceDir": {"type": "REG_EXPAND_SZ",
                      "data": "%FENNICK_BIG%%FENNICK_BIG%"}}})");
        COXRegistryItem item(kKey);
        QCOMPARE(Q(item.ReadStringValue(u"SourceDir")), QStringLiteral("%FENNICK_BIG%%FENNICK_BIG%"));
    }
};

QTEST_MAIN(OXRegistryItemTest)
#include "OXRegistryItemTest.moc"
