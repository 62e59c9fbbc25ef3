// Start and end of the program: the two folders restored from the settings file of a temporary
// XDG_CONFIG_HOME, the dialog run, and both folders stored again however it was closed.

#include "ui/MergerApp.h"
#include "ui/HListBox.h"
#include "ui/MergerDlg.h"
#include "ui/TreeFileCtrl.h"

#include <nlohmann/json.hpp>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace fennick;
using Json = nlohmann::json;

namespace {

class CRootedTree : public CTreeFileCtrl {
public:
    explicit CRootedTree(const QString& root) : m_root(root) {}

protected:
    std::vector<SDriveEntry> Drives() const override { return {{m_root, m_root, kDriveFixed}}; }

private:
    QString m_root;
};

class CRootedDlg : public CMergerDlg {
public:
    explicit CRootedDlg(const QString& root) : CMergerDlg(new CRootedTree(root), nullptr) {}
};

class CTestApp : public CMergerApp {
public:
    explicit CTestApp(const QString& root) : m_root(root) {}

    QString seenSourceDir, seenOutputDir;
    int result = -1;
    // Runs inside the dialog's event loop.
    std::function<void(CMergerDlg&)> action;

protected:
    std::unique_ptr<CMergerDlg> CreateMainDialog() override { return std::make_unique<CRootedDlg>(m_root); }
    int RunModal(CMergerDlg& dialog) override {
        seenSourceDir = dialog.m_sourceDir;
        seenOutputDir = dialog.m_outputDir;
        QTimer::singleShot(0, &dialog, [&] { action(dialog); });
        result = CMergerApp::RunModal(dialog);
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
