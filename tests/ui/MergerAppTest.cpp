// Start and end of the program: the two folders restored from the settings file of a temporary
// XDG_CONFIG_HOME, the dialog run, and both folders stored again however it was closed.

#include "ui/MergerApp.h"
#include "merge/ShpMerge.h"
#include "ui/HListBox.h"
#include "ui/MergeOptionsDlg.h"
#include "ui/MergerDlg.h"
#include "ui/TreeFileCtrl.h"

#include "OgrLayer.h"
#include "TestMergerDlg.h"

#include <nlohmann/json.hpp>

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace fennick;
using Json = nlohmann::json;

namespace {

class CTestApp : public CMergerApp {
public:
    explicit CTestApp(const QString& root) : m_root(root) {}

    static inline QString saveAnswer;   // what the save dialog returns
    static inline QStringList messages; // the messages shown, text and reason together
    QString seenSourceDir, seenOutputDir;
    int result = -1;
    // Runs inside the dialog's event loop.
    std::function<void(CMergerDlg&)> action;

protected:
    std::unique_ptr<CMergerDlg> CreateMainDialog() override {
        auto dialog = std::make_unique<CTestMergerDlg>(m_root);
        dialog->saveAnswer = saveAnswer;
        return dialog;
    }
    int RunModal(CMergerDlg& dialog) override {
        seenSourceDir = dialog.m_sourceDir;
        seenOutputDir = dialog.m_outputDir;
        QTimer::singleShot(0, &dialog, [&] { action(dialog); });
        result = CMergerApp::RunModal(dialog);
        for (const SMessage& message : static_cast<CTestMergerDlg&>(dialog).messages)
            messages << message.text + message.reason;
        return result;
    }

private:
    QString m_root;
};

} // namespace

class MergerAppTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_file;
    QString m_data;

    void WriteSettings(const QByteArray& bytes) {
        QVERIFY(QDir().mkpath(m_dir->path() + QStringLiteral("/config/Orlenta")));
        QFile file(m_file);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    Json Stored() const {
        QFile file(m_file);
        if (!file.open(QIODevice::ReadOnly))
            return Json();
        return Json::parse(file.readAll().toStdString()).at("Software\\Orlenta\\Fennick");
    }
    static std::string Text(const Json& key, const char* name) {
        if (key.at(name).at("type") != "REG_SZ")
            return "<not REG_SZ>";
        return key.at(name).at("data").get<std::string>();
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        qputenv("XDG_CONFIG_HOME", (m_dir->path() + QStringLiteral("/config")).toUtf8());
        m_file = m_dir->path() + QStringLiteral("/config/Orlenta/Fennick.conf");
        m_data = m_dir->path() + QStringLiteral("/data");
        QVERIFY(QDir().mkpath(m_data + QStringLiteral("/maps")));
    }
    void cleanup() { m_dir.reset(); }

    void firstStartBeginsEmptyAndStoresBothFolders() {
        CTestApp app(m_dir->path());
        app.action = [](CMergerDlg& dialog) { dialog.close(); };
        QVERIFY(!app.InitInstance());
        // Missing settings replace the dialog's preset with empty folders.
        QCOMPARE(app.seenSourceDir, QString());
        QCOMPARE(app.seenOutputDir, QString());
        QCOMPARE(app.result, int(QDialog::Rejected));
        const Json key = Stored();
        QCOMPARE(Text(key, "SourceDir"), std::string());
        QCOMPARE(Text(key, "OutputDir"), std::string());
    }

    void expandableFolderIsReadExpandedAndStoredPlain() {
        qputenv("FENNICK_TEST_DATA", m_data.toUtf8());
        WriteSettings(R"({"Software\\Orlenta\\Fennick": {
            "SourceDir": {"type": "REG_EXPAND_SZ", "data": "%FENNICK_TEST_DATA%/maps"},
            "OutputDir": {"type": "REG_DWORD", "data": 7}}})");
        CTestApp app(m_dir->path());
        QString treePath;
        app.action = [&](CMergerDlg& dialog) {
            treePath = dialog.Tree()->SelectedItemPath();
            QTest::keyClick(&dialog, Qt::Key_Escape);
        };
        QVERIFY(!app.InitInstance());
        QCOMPARE(app.seenSourceDir, m_data + QStringLiteral("/maps"));
        QCOMPARE(treePath, m_data + QStringLiteral("/maps"));
        // A number is no folder: it reads as empty and is overwritten as text.
        QCOMPARE(app.seenOutputDir, QString());
        const Json key = Stored();
        QCOMPARE(QString::fromStdString(Text(key, "SourceDir")), m_data + QStringLiteral("/maps"));
        QCOMPARE(Text(key, "OutputDir"), std::string());
        qunsetenv("FENNICK_TEST_DATA");
    }

    void closingWithEnterStoresTheTreePath() {
        WriteSettings(QStringLiteral(R"({"Software\\Orlenta\\Fennick": {
            "SourceDir": {"type": "REG_SZ", "data": "%1"},
            "OutputDir": {"type": "REG_SZ", "data": "/somewhere/out/"}}})")
                          .arg(m_data)
                          .toUtf8());
        CTestApp app(m_dir->path());
        app.action = [&](CMergerDlg& dialog) {
            dialog.Tree()->SelectPath(m_data + QStringLiteral("/maps"), false);
            dialog.FileList()->setFocus();
            QTest::keyClick(dialog.FileList(), Qt::Key_Return);
        };
        QVERIFY(!app.InitInstance());
        QCOMPARE(app.seenSourceDir, m_data);
        QCOMPARE(app.seenOutputDir, QStringLiteral("/somewhere/out/"));
        QCOMPARE(app.result, int(QDialog::Accepted));
        const Json key = Stored();
        QCOMPARE(QString::fromStdString(Text(key, "SourceDir")), m_data + QStringLiteral("/maps"));
        QCOMPARE(Text(key, "OutputDir"), std::string("/somewhere/out/"));
    }

    // The options chosen in their dialog are kept in the settings file, are back at the next start, and reach
    // the engine: with bad records skipped, a damaged record is left out and counted in the success message.
    void mergeOptionsAreKeptAndReachTheEngine() {
        const QString good = m_data + QStringLiteral("/good.shp"), bad = m_data + QStringLiteral("/bad.shp");
        for (const QString& path : {good, bad}) {
            test::WriteOgrLayer(path.toStdString(), "POLYGON", {{"NAME", 'C', 10, 0}},
                                {{"POLYGON ((0 0,0 1,1 1,0 0))", {"x"}},
                                 {"POLYGON ((1 0,1 1,2 1,1 0))", {"y"}},
                                 {"POLYGON ((2 0,2 1,3 1,2 0))", {"z"}}});
            // One system for both, so that converting has nothing to do.
            QFile prj(QString(path).replace(QStringLiteral(".shp"), QStringLiteral(".prj")));
            QVERIFY(prj.open(QIODevice::WriteOnly));
            prj.write(
                R"(GEOGCS["GCS_WGS_1984",DATUM["D_WGS_1984",SPHEROID["WGS_1984",6378137.0,298.257223563]],)"
                R"(PRIMEM["Greenwich",0.0],UNIT["Degree",0.0174532925199433]])");
        }
        QFile shp(bad);
        QVERIFY(shp.open(QIODevice::ReadWrite));
        shp.seek(100 + 120 + 44); // the second record's part count passes its content
        shp.write(QByteArray("\x40\0\0\0", 4));
        shp.close();

        CTestApp first(m_dir->path());
        first.action = [](CMergerDlg& dialog) {
            QTimer::singleShot(0, [] {
                auto* options = qobject_cast<CMergeOptionsDlg*>(QApplication::activeModalWidget());
                QVERIFY(options);
                for (const char* name : {"IDC_MATCH_NAMES", "IDC_ADD_SOURCE_FIELD", "IDC_REPROJECT",
                                         "IDC_SKIP_BAD_RECORDS", "IDC_KEEP_SKIP"})
                    options->findChild<QCheckBox*>(QLatin1String(name))->setChecked(true);
                options->findChild<QLineEdit*>(QStringLiteral("IDC_SOURCE_FIELD"))
                    ->setText(QStringLiteral("FROM"));
                options->findChild<QComboBox*>(QStringLiteral("IDC_ENCODING"))->setEditText("UTF-8");
                options->findChild<QComboBox*>(QStringLiteral("IDC_INPUT_ENCODING"))->setEditText("CP850");
                QTest::mouseClick(options->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok),
                                  Qt::LeftButton);
            });
            QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("IDC_OPTIONS")), Qt::LeftButton);
            dialog.reject();
        };
        QVERIFY(!first.InitInstance());
        const Json key = Stored();
        for (const char* name :
             {"MatchNames", "AddSourceField", "Reproject", "SkipBadRecords", "KeepSkipBadRecords"})
            QCOMPARE(Text(key, name), std::string("1"));
        QCOMPARE(Text(key, "SourceField"), std::string("FROM"));
        QCOMPARE(Text(key, "OutputEncoding"), std::string("UTF-8"));

        const QString output = m_dir->path() + QStringLiteral("/merged.shp");
        CTestApp::saveAnswer = output;
        SMergeOptions restored;
        CTestApp second(m_dir->path());
        second.action = [&](CMergerDlg& dialog) {
            restored = dialog.m_options;
            dialog.FileList()->AddString(good);
            dialog.FileList()->AddString(bad);
            QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("IDC_MERGE")), Qt::LeftButton);
            dialog.reject();
        };
        QVERIFY(!second.InitInstance());
        QCOMPARE(restored, (SMergeOptions{true, true, QStringLiteral("FROM"), true, true, "UTF-8", "CP850",
                                          "", false, true, false}));
        CShpMerge engine;
        restored.ApplyTo(engine);
        QVERIFY(engine.m_matchNames && engine.m_reproject && engine.m_skipBadRecords);
        QCOMPARE(engine.m_sourceField, std::u16string(u"FROM"));
        // The success names the record skipped.
        QCOMPARE(CTestApp::messages.size(), 1);
        QVERIFY2(CTestApp::messages[0].startsWith(
                     QStringLiteral("The files have been merged successfully.\n%1\n1 record was skipped.\n"
                                    "bad.shp, record 2: ")
                         .arg(output)),
                 qPrintable(CTestApp::messages[0]));
        QVERIFY(
            CTestApp::messages[0].endsWith(QStringLiteral("2 files, 5 records merged into %1").arg(output)));
        QVERIFY(QFile::exists(output));
        QFile cpg(QString(output).replace(".shp", ".cpg")); // the output's code page as chosen
        QVERIFY(cpg.open(QIODevice::ReadOnly) && cpg.readAll().startsWith("UTF-8"));
    }

    // Files named at the start are listed when the window shows, in the order named (as fennick-merge takes
    // them), relative ones taken from the folder the program started in; other files are named in one
    // warning.
    void startFilesAreListedWhenTheWindowShows() {
        for (const char* name : {"b10.shp", "b2.shp", "notes.txt"}) {
            QFile file(m_data + u'/' + QLatin1String(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        const QString started = QDir::currentPath();
        QDir::setCurrent(m_data);
        CTestApp app(m_dir->path());
        app.SetStartFiles({"b10.shp", m_data + QStringLiteral("/b2.shp"), "notes.txt", "./b2.shp"});
        QDir::setCurrent(started);
        CTestApp::messages.clear();
        QStringList listed;
        app.action = [&](CMergerDlg& dialog) {
            QVERIFY(dialog.isVisible());
            for (int i = 0; i < dialog.FileList()->GetCount(); ++i)
                listed << dialog.FileList()->GetText(i);
            dialog.reject();
        };
        QVERIFY(!app.InitInstance());
        QCOMPARE(listed,
                 (QStringList{m_data + QStringLiteral("/b10.shp"), m_data + QStringLiteral("/b2.shp")}));
        QCOMPARE(CTestApp::messages,
                 QStringList{
                     QStringLiteral("Only vector layers (shapefiles, MapInfo tables, GeoPackages, GeoJSON, "
                                    "FlatGeobuf, KML, GML, MIF, CSV, SQLite, File Geodatabases) can be "
                                    "merged. Not added:\n%1/notes.txt")
                         .arg(m_data)});
    }

    // The window's size, the splitter and whether the map is shown (it is at first) are back at the next
    // start; the list too (in its order, without files gone since) when the options say so, and not otherwise.
    void layoutAndListAreRestored_data() {
        QTest::addColumn<bool>("restoreList");
        QTest::newRow("list restored") << true;
        QTest::newRow("list not restored") << false;
    }
    void layoutAndListAreRestored() {
        QFETCH(bool, restoreList);
        QStringList files;
        for (const char* name : {"z.shp", "a.shp", "gone.shp"}) {
            files << m_data + u'/' + QLatin1String(name);
            QFile file(files.last());
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QList<int> sizes;
        CTestApp first(m_dir->path());
        first.action = [&](CMergerDlg& dialog) {
            dialog.m_options.restoreList = restoreList;
            dialog.AddOutsideFiles(files);
            dialog.resize(1000, 640);
            QVERIFY(dialog.IsMapShown());
            dialog.ShowMap(!restoreList);
            auto* splitter = dialog.findChild<QSplitter*>(QStringLiteral("IDC_SPLITTER"));
            splitter->setSizes({200, 700});
            sizes = splitter->sizes();
            dialog.reject();
        };
        QVERIFY(!first.InitInstance());
        QVERIFY(QFile::remove(files.last()));
        QStringList listed;
        CTestApp second(m_dir->path());
        second.action = [&](CMergerDlg& dialog) {
            QCOMPARE(dialog.size(), QSize(1000, 640));
            QCOMPARE(dialog.IsMapShown(), !restoreList);
            QCOMPARE(dialog.findChild<QSplitter*>(QStringLiteral("IDC_SPLITTER"))->sizes(), sizes);
            listed = dialog.FileList()->Model()->Paths();
            dialog.reject();
        };
        QVERIFY(!second.InitInstance());
        QCOMPARE(listed, restoreList ? files.mid(0, 2) : QStringList());
    }

    void unwritableSettingsDoNotStopTheProgram() {
        // The configuration folder is a file: nothing can be read or written, and nothing is shown.
        const QString blocker = m_dir->path() + QStringLiteral("/blocker");
        QFile file(blocker);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        qputenv("XDG_CONFIG_HOME", blocker.toUtf8());
        CTestApp app(m_dir->path());
        app.action = [](CMergerDlg& dialog) { dialog.reject(); };
        QVERIFY(!app.InitInstance());
        QCOMPARE(app.result, int(QDialog::Rejected));
        QCOMPARE(QFileInfo(blocker).size(), 0);
    }
};

QTEST_MAIN(MergerAppTest)
#include "MergerAppTest.moc"
