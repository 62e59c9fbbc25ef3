// The folder-listing rules of the file tree, over real temporary folders, and the drive classification.

#include "ui/FileTreeRules.h"
#include "ui/DriveList.h"
#include "ui/ItemPropertiesDialog.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace fennick;

namespace {

void Touch(const QString& path, const QByteArray& bytes = "x") {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QStringList Names(const std::vector<STreeEntry>& entries) {
    QStringList names;
    for (const STreeEntry& entry : entries)
        names << entry.name + (entry.isFile ? QString() : QStringLiteral("/"));
    return names;
}

STreeListRules Rules(const QString& mask) {
    STreeListRules rules;
    rules.mask = mask;
    return rules;
}

} // namespace

class FileTreeRulesTest : public QObject {
    Q_OBJECT

private slots:
    void maskMatching_data() {
        QTest::addColumn<QString>("mask");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("matches");
        QTest::newRow("case ignored") << "*.shp"
                                      << "a.SHP" << true;
        QTest::newRow("other extension") << "*.shp"
                                         << "a.tab" << false;
        QTest::newRow("longer extension") << "*.shp"
                                          << "a.shp.bak" << false;
        QTest::newRow("name equal to extension") << "*.shp"
                                                 << "shp" << false;
        QTest::newRow("star dot star takes names without dot") << "*.*"
                                                               << "README" << true;
        QTest::newRow("star") << "*"
                              << ".profile" << true;
        QTest::newRow("question mark") << "r?ads.shp"
                                       << "roads.shp" << true;
        QTest::newRow("question mark needs a character") << "r?ads.shp"
                                                         << "rads.shp" << false;
        QTest::newRow("two stars") << "*a*b"
                                   << "xAyB" << true;
        QTest::newRow("backtracking") << "*ab"
                                      << "aab" << true;
        QTest::newRow("list of patterns") << "*.shp;*.tab"
                                          << "x.TAB" << true;
        QTest::newRow("empty mask") << ""
                                    << "a.shp" << false;
        QTest::newRow("non-ASCII letters") << "Ä*.shp"
                                           << "äpfel.shp" << true;
    }
    void maskMatching() {
        QFETCH(QString, mask);
        QFETCH(QString, name);
        QFETCH(bool, matches);
        QCOMPARE(MaskMatches(mask, name), matches);
    }

    void foldersFirstThenFilesEachIgnoringCase() {
        QTemporaryDir dir;
        for (const char* folder : {"zeta", "Alpha", "beta"})
            QVERIFY(QDir(dir.path()).mkdir(QLatin1String(folder)));
        // A File Geodatabase is a layer among the files, listed when the mask takes it.
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("Roads.GDB/sub")));
        for (const char* file : {"alpha.shp", "Gamma.shp", "beta.SHP", "notes.txt"})
            Touch(dir.filePath(QLatin1String(file)));
        const std::vector<STreeEntry> entries = ListFolder(dir.path(), Rules(QStringLiteral("*.shp")));
        QCOMPARE(Names(entries),
                 QStringList({"Alpha/", "beta/", "zeta/", "alpha.shp", "beta.SHP", "Gamma.shp"}));
        QCOMPARE(Names(ListFolder(dir.path(), Rules(LayerMaskChoices().back().mask))).mid(3),
                 QStringList({"alpha.shp", "beta.SHP", "Gamma.shp", "Roads.GDB"}));
        QCOMPARE(entries.front().fullPath, dir.path() + QStringLiteral("/Alpha"));
    }

    void hiddenFilesAreLeftOutHiddenFoldersAreNot() {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral(".cache")));
        Touch(dir.filePath(QStringLiteral(".secret.shp")));
        Touch(dir.filePath(QStringLiteral("shown.shp")));
        QCOMPARE(Names(ListFolder(dir.path(), Rules(QStringLiteral("*.shp")))),
                 QStringList({".cache/", "shown.shp"}));
        // Without the hidden attribute among the hiding ones, the file is listed too.
        STreeListRules rules = Rules(QStringLiteral("*.shp"));
        rules.hidingAttributes = 0;
        QCOMPARE(ListFolder(dir.path(), rules).size(), size_t(3));
        rules.showFiles = false;
        QCOMPARE(Names(ListFolder(dir.path(), rules)), QStringList({".cache/"}));
    }

    void linksAndSpecialFiles() {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("real")));
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("real")), dir.filePath(QStringLiteral("linked"))));
        Touch(dir.filePath(QStringLiteral("a.shp")));
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("a.shp")), dir.filePath(QStringLiteral("b.shp"))));
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("gone.shp")),
                            dir.filePath(QStringLiteral("broken.shp"))));
        // A pipe named like a shapefile would block whoever opens it: it is not a file to offer.
        QCOMPARE(mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("pipe.shp"))).constData(), 0600), 0);
        QCOMPARE(Names(ListFolder(dir.path(), Rules(QStringLiteral("*.shp")))),
                 QStringList({"linked/", "real/", "a.shp", "b.shp"}));
    }

    void visibleContent() {
        QTemporaryDir dir;
        const QString onlyFile = dir.filePath(QStringLiteral("onlyFile"));
        const QString onlyFolder = dir.filePath(QStringLiteral("onlyFolder"));
        const QString empty = dir.filePath(QStringLiteral("empty"));
        const QString onlyHidden = dir.filePath(QStringLiteral("onlyHidden"));
        for (const QString& path : {onlyFile, onlyFolder, empty, onlyHidden})
            QVERIFY(QDir().mkpath(path));
        Touch(onlyFile + QStringLiteral("/a.SHP"));
        QVERIFY(QDir().mkpath(onlyFolder + QStringLiteral("/sub")));
        Touch(onlyHidden + QStringLiteral("/.a.shp"));

        const STreeListRules shp = Rules(QStringLiteral("*.shp"));
        const STreeListRules tab = Rules(QStringLiteral("*.tab"));
        QVERIFY(HasVisibleContent(onlyFile, shp));
        QVERIFY(!HasVisibleContent(onlyFile, tab));
        QVERIFY(HasVisibleContent(onlyFolder, shp));
        QVERIFY(HasVisibleContent(onlyFolder, tab));
        QVERIFY(!HasVisibleContent(empty, shp));
        QVERIFY(!HasVisibleContent(onlyHidden, shp));
        QVERIFY(!HasVisibleContent(onlyFile + QStringLiteral("/a.SHP"), shp));
        QVERIFY(!HasVisibleContent(dir.filePath(QStringLiteral("missing")), shp));
        QVERIFY(QDir().mkpath(empty + QStringLiteral("/x.gdb/sub")));
        QVERIFY(!HasVisibleContent(empty, shp));
        QVERIFY(!HasVisibleContent(empty + QStringLiteral("/x.gdb"), Rules(QStringLiteral("*.*"))));
    }

    void pathTests() {
        QTemporaryDir dir;
        Touch(dir.filePath(QStringLiteral("f.shp")));
        QVERIFY(PathIsFile(dir.filePath(QStringLiteral("f.shp"))));
        QVERIFY(!PathIsFolder(dir.filePath(QStringLiteral("f.shp"))));
        QVERIFY(PathIsFolder(dir.path()));
        QVERIFY(!PathIsFile(dir.path()));
        QVERIFY(!PathIsFile(dir.filePath(QStringLiteral("none"))));
        QVERIFY(!PathIsFolder(dir.filePath(QStringLiteral("none"))));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("a.gdb")));
        QVERIFY(PathIsFile(dir.filePath(QStringLiteral("a.gdb"))) && !PathIsFolder(dir.filePath("a.gdb")));
        QVERIFY(!PathHasCompressedAttribute(dir.filePath(QStringLiteral("none"))));
        QCOMPARE(JoinTreePath(QStringLiteral("/"), QStringLiteral("tmp")), QStringLiteral("/tmp"));
        QCOMPARE(JoinTreePath(QStringLiteral("/tmp"), QStringLiteral("a")), QStringLiteral("/tmp/a"));
    }

    void driveTypes_data() {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("mountPoint");
        QTest::addColumn<unsigned>("type");
        QTest::newRow("root") << "/dev/sda1"
                              << "/" << unsigned(kDriveFixed);
        QTest::newRow("optical disc") << "/dev/sr0"
                                      << "/mnt/cdrom" << unsigned(kDriveCdRom);
        QTest::newRow("user media") << "/dev/sdz9"
                                    << "/media/anna/STICK" << unsigned(kDriveRemovable);
        QTest::newRow("udisks media") << "/dev/sdz9"
                                      << "/run/media/anna/CARD" << unsigned(kDriveRemovable);
        QTest::newRow("memory file system") << "tmpfs"
                                            << "/run" << unsigned(kDriveFixed);
    }
    void driveTypes() {
        QFETCH(QString, device);
        QFETCH(QString, mountPoint);
        QFETCH(unsigned, type);
        QCOMPARE(DriveTypeOf(device, mountPoint), type);
    }

    void drivesBeginWithTheRoot() {
        const std::vector<SDriveEntry> drives = ListDrives();
        QVERIFY(!drives.empty());
        QCOMPARE(drives.front().root, QStringLiteral("/"));
        QVERIFY(drives.front().displayName.contains(QStringLiteral("/")));
        QCOMPARE(DriveDisplayName(QStringLiteral("STICK"), QStringLiteral("/media/a/STICK")),
                 QStringLiteral("STICK (/media/a/STICK)"));
        QCOMPARE(DriveDisplayName(QString(), QStringLiteral("/")), QStringLiteral("/"));
    }

    void propertiesOfAFileAndAFolder() {
        QTemporaryDir dir;
        Touch(dir.filePath(QStringLiteral("roads.shp")), QByteArray(1234, 'x'));
        const SItemProperties file =
            CItemPropertiesDialog::Describe(dir.filePath(QStringLiteral("roads.shp")));
        QCOMPARE(file.name, QStringLiteral("roads.shp"));
        QCOMPARE(file.fullPath, dir.filePath(QStringLiteral("roads.shp")));
        QVERIFY2(file.size.contains(QLocale::system().toString(1234)), qPrintable(file.size));
        QVERIFY(!file.modified.isEmpty());
        const SItemProperties folder = CItemPropertiesDialog::Describe(dir.path());
        QVERIFY(folder.size.isEmpty());
        QVERIFY(!folder.kind.isEmpty());
        QCOMPARE(CItemPropertiesDialog::Describe(dir.filePath(QStringLiteral("none"))).kind,
                 QStringLiteral("Not found"));
    }
};

QTEST_MAIN(FileTreeRulesTest)
#include "FileTreeRulesTest.moc"
