// The main window's field plan, folder adding, output choices and merge report, over layers GDAL writes in a
// temporary folder. The folder and report dialogs are replaced through the window's seams; the merge is real,
// its result box is answered as a user would, and the saved report is read back with the JSON library.

#include "merge/ShpMerge.h"
#include "ui/EpsgSearch.h"
#include "ui/FieldPlanDlg.h"
#include "ui/MergeOptionsDlg.h"
#include "ui/OutputChoices.h"

#include "OgrLayer.h"
#include "TestMergerDlg.h"

#include <nlohmann/json.hpp>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <fstream>

using namespace fennick;
using Json = nlohmann::json;

namespace {

// Presses the button of that text in the next message box (tries for a while, as a merge pumps events first).
void Press(const QString& text, int tries = 200) {
    QTimer::singleShot(10, [text, tries] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box && tries > 0)
            return Press(text, tries - 1);
        for (QAbstractButton* button : box ? box->buttons() : QList<QAbstractButton*>())
            if (button->text() == text)
                button->click();
    });
}

void WriteLayer(const QString& path, const char* type, const std::vector<test::SOgrField>& fields,
                int count) {
    std::vector<test::SOgrFeature> features;
    const std::string wkt = std::string(type) == "POINT" ? "POINT (1 2)" : "LINESTRING (0 0,1 1)";
    for (int i = 0; i < count; ++i)
        features.push_back({wkt, std::vector<std::string>(fields.size(), "1")});
    test::WriteOgrLayer(path.toStdString(), type, fields, features);
}

// A row of the output choices: the two code pages and the target typed, and the pages the engine takes
// (-2: OK unavailable).
struct SChoiceRow {
    const char *encoding, *inputEncoding, *target;
    int outputPage, inputPage;
};

} // namespace

Q_DECLARE_METATYPE(SChoiceRow)

class FieldsFoldersReportTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<CTestMergerDlg> m_dlg;
    QString Path(const QString& name) const { return m_dir->path() + u'/' + name; }
    QStringList Listed() const {
        QStringList names;
        for (int i = 0; i < m_dlg->FileList()->GetCount(); ++i)
            names << QDir(m_dir->path()).relativeFilePath(m_dlg->FileList()->GetText(i));
        return names;
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        m_dlg = std::make_unique<CTestMergerDlg>(m_dir->path());
        m_dlg->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_dlg.get()));
    }
    void cleanup() {
        m_dlg.reset();
        m_dir.reset();
    }

    // Every code page name a .cpg may hold is taken, others and unusable targets keep OK unavailable, and
    // what the dialog gives reaches the engine as fennick-merge's options would.
    void outputChoicesReachTheEngine_data() {
        QTest::addColumn<SChoiceRow>("row");
        QTest::newRow("defaults") << SChoiceRow{"", "", "", -1, 0};
        QTest::newRow("numbers and ISO") << SChoiceRow{"1252", "8859-2", "EPSG:2056", 1252, 28592};
        QTest::newRow("names") << SChoiceRow{" UTF-8 ", "CP850", "t.prj", 65001, 850};
        QTest::newRow("unknown output") << SChoiceRow{"klingon", "", "", -2, 0};
        QTest::newRow("unknown input") << SChoiceRow{"", "UTF-9", "", -2, 0};
        QTest::newRow("not a system") << SChoiceRow{"", "", "WGS84", -2, 0};
        QTest::newRow("missing file") << SChoiceRow{"", "", "gone.prj", -2, 0};
    }
    void outputChoicesReachTheEngine() {
        QFETCH(SChoiceRow, row);
        const QString target = row.target;
        const int outputPage = row.outputPage;
        QVERIFY(QFile(Path("t.prj")).open(QIODevice::WriteOnly));
        QDir::setCurrent(m_dir->path()); // a .prj named relative to it is kept by its full path
        CMergeOptionsDlg dialog(SMergeOptions{});
        dialog.findChild<QComboBox*>("IDC_ENCODING")->setEditText(row.encoding);
        dialog.findChild<QComboBox*>("IDC_INPUT_ENCODING")->setEditText(row.inputEncoding);
        dialog.findChild<QLineEdit*>("IDC_TARGET_CRS")->setText(target);
        const bool ok = dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->isEnabled();
        QCOMPARE(ok, outputPage != -2);
        if (!ok)
            return;
        CShpMerge engine;
        dialog.Options().ApplyTo(engine);
        QCOMPARE(engine.m_outputCodePage, outputPage);
        QCOMPARE(engine.m_inputCodePage, row.inputPage);
        QCOMPARE(QString::fromStdU16String(engine.m_targetCrs),
                 target.endsWith(".prj") ? Path(target) : target);
        for (const QString& name : CodePageChoices())
            QVERIFY2(CodePageOfChoice(name) > 0, qPrintable(name));
    }

    // The search finds systems by code or by every word of their name; Enter in the search box makes the
    // first match the target and leaves the dialog open.
    void epsgSearchPicksTheTarget_data() {
        QTest::addColumn<QString>("query");
        QTest::addColumn<int>("first"); // 0: no match
        QTest::addColumn<QString>("everyNameHolds");
        QTest::newRow("code") << "2056" << 2056 << "";
        QTest::newRow("prefixed code") << "epsg:4326" << 4326 << "WGS 84";
        QTest::newRow("words") << "utm 32N wgs 84" << 32632 << "UTM zone 32N";
        QTest::newRow("outside the generated table") << "pseudo-mercator" << 3857 << "Pseudo-Mercator";
        QTest::newRow("nothing") << "no such system" << 0 << "";
    }
    void epsgSearchPicksTheTarget() {
        QFETCH(QString, query);
        QFETCH(int, first);
        QFETCH(QString, everyNameHolds);
        const std::vector<SEpsgMatch> found = SearchEpsgCatalogue(query, 50);
        QCOMPARE(found.empty() ? 0 : found.front().code, first);
        for (const SEpsgMatch& match : found)
            QVERIFY2(match.name.contains(everyNameHolds, Qt::CaseInsensitive), qPrintable(match.name));
        CMergeOptionsDlg dialog(SMergeOptions{});
        dialog.show();
        auto* search = dialog.findChild<QLineEdit*>("IDC_CRS_SEARCH");
        QTest::keyClicks(search, query);
        QTest::keyClick(search, Qt::Key_Return);
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.Options().targetCrs, first ? QStringLiteral("EPSG:%1").arg(first) : QString());
    }

    // A folder adds its layers as fennick-merge expands it: natural order, files before subfolders (the
    // subfolder "a" comes last), no hidden files or companions; from Add Folder and from a drop.
    void foldersAddTheirLayers_data() {
        QTest::addColumn<bool>("dropped");
        QTest::addColumn<bool>("subfolders");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<QStringList>("messages");
        const QStringList flat{"f/m.shp", "f/n2.shp", "f/N10.SHP"};
        QTest::newRow("button") << false << false << "f" << flat << QStringList();
        QTest::newRow("button, subfolders")
            << false << true << "f" << flat + QStringList{"f/a/c.tab"} << QStringList();
        QTest::newRow("drop") << true << false << "f" << flat << QStringList();
        QTest::newRow("drop, subfolders")
            << true << true << "f" << flat + QStringList{"f/a/c.tab"} << QStringList();
        QTest::newRow("empty") << false << true << "f/empty" << QStringList()
                               << QStringList{
                                      "%1/f/empty and its subfolders hold no shapefile or MapInfo table."};
        QTest::newRow("drop, empty") << true << false << "f/empty" << QStringList()
                                     << QStringList{"%1/f/empty holds no shapefile or MapInfo table."};
    }
    void foldersAddTheirLayers() {
        QFETCH(bool, dropped);
        QFETCH(bool, subfolders);
        QFETCH(QString, folder);
        QFETCH(QStringList, listed);
        QFETCH(QStringList, messages);
        QVERIFY(QDir().mkpath(Path("f/a/.hidden")) && QDir().mkpath(Path("f/empty")));
        for (const char* name : {"f/N10.SHP", "f/n2.shp", "f/m.shp", "f/m.dbf", "f/x.dbf", "f/.h.shp",
                                 "f/notes.txt", "f/a/c.tab", "f/a/.hidden/d.shp"})
            QVERIFY(QFile(Path(name)).open(QIODevice::WriteOnly));
        if (dropped) {
            m_dlg->m_options.includeSubfolders = subfolders;
            QMimeData mime;
            mime.setUrls({QUrl::fromLocalFile(Path(folder))});
            QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(m_dlg->FileList()->viewport(), &enter);
            QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(m_dlg->FileList()->viewport(), &drop);
        } else {
            m_dlg->folderAnswer = Path(folder);
            m_dlg->subfoldersAnswer = subfolders;
            QTest::mouseClick(m_dlg->findChild<QPushButton*>("IDC_ADD_FOLDER"), Qt::LeftButton);
            QCOMPARE(m_dlg->m_options.includeSubfolders, subfolders); // remembered for the next folder
        }
        QCOMPARE(Listed(), listed);
        QStringList shown;
        for (const SMessage& message : m_dlg->messages)
            shown << message.text;
        QCOMPARE(shown.join(u'|'), messages.join(u'|').replace("%1", m_dir->path()));
    }

    // "Fields..." shows the plan the merge would write under the options in force, or why it cannot merge.
    void fieldsShowThePlan_data() {
        QTest::addColumn<bool>("byName");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("firstRow");
        QTest::addColumn<QString>("failure");
        QTest::newRow("widened by name")
            << true << QStringList{"a.shp", "wide.shp"}
            << QStringList{"NAME", "character (C)", "8", "0", "widened from C(5)"} << "";
        QTest::newRow("cut MapInfo name")
            << false << QStringList{"long.tab", "long2.tab"}
            << QStringList{"LongColumn", "real (N)", "12", "3", "cut from MapInfo column LongColumnName"}
            << "";
        QTest::newRow("shape types differ")
            << false << QStringList{"a.shp", "line.shp"} << QStringList() << "Different shape types.";
    }
    void fieldsShowThePlan() {
        QFETCH(bool, byName);
        QFETCH(QStringList, files);
        QFETCH(QStringList, firstRow);
        QFETCH(QString, failure);
        WriteLayer(Path("a.shp"), "POINT", {{"NAME", 'C', 5, 0}, {"POP", 'N', 9, 0}}, 2);
        WriteLayer(Path("wide.shp"), "POINT", {{"POP", 'N', 9, 0}, {"NAME", 'C', 8, 0}}, 2);
        WriteLayer(Path("line.shp"), "LINESTRING", {{"NAME", 'C', 5, 0}, {"POP", 'N', 9, 0}}, 1);
        for (const char* name : {"long.tab", "long2.tab"})
            WriteLayer(Path(name), "POINT", {{"LongColumnName", 'F', 12, 3}}, 1);
        for (const QString& file : files)
            m_dlg->FileList()->AddString(Path(file));
        m_dlg->m_options.matchNames = byName;
        QTest::mouseClick(m_dlg->findChild<QPushButton*>("IDC_FIELDS"), Qt::LeftButton);
        QCOMPARE(m_dlg->plans.size(), 1);
        const SFieldPlanView& plan = m_dlg->plans.front();
        QVERIFY2(plan.failure.contains(failure) && plan.failure.isEmpty() == failure.isEmpty(),
                 qPrintable(plan.failure));
        QCOMPARE(plan.rows.isEmpty(), !failure.isEmpty());
        if (!failure.isEmpty())
            return;
        QCOMPARE(plan.rows[0].mid(0, 4), firstRow.mid(0, 4));
        QVERIFY2(plan.rows[0][4].startsWith(firstRow[4]), qPrintable(plan.rows[0][4]));
        CFieldPlanDlg shown(plan);
        const auto* table = shown.findChild<QTableWidget*>("IDC_PLAN_FIELDS");
        QCOMPARE(table->rowCount(), plan.rows.size());
        QCOMPARE(table->item(0, 4)->text(), plan.rows[0][4]);
    }

    // The result box, success or failure, saves the report fennick-merge --report writes, naming the
    // command that would do the same; the output's code page chosen in the options is the one written.
    void resultBoxSavesTheReport_data() {
        QTest::addColumn<bool>("success"); // with a second file that fits, else with one of lines
        QTest::newRow("success") << true;
        QTest::newRow("failure") << false;
    }
    void resultBoxSavesTheReport() {
        QFETCH(bool, success);
        const QString outcome = success ? "success" : "failure";
        const std::vector<test::SOgrField> fields{{"NAME", 'C', 5, 0}};
        WriteLayer(Path("a.shp"), "POINT", fields, 3);
        WriteLayer(Path("b.shp"), "POINT", fields, 4);
        WriteLayer(Path("line.shp"), "LINESTRING", fields, 1);
        m_dlg->FileList()->AddString(Path("a.shp"));
        m_dlg->FileList()->AddString(Path(success ? "b.shp" : "line.shp"));
        m_dlg->m_options.outputEncoding = "UTF-8";
        m_dlg->saveAnswer = Path("m.shp");
        m_dlg->reportAnswer = Path("r.json");
        m_dlg->realBoxes = true;
        Press("Save Report...");
        m_dlg->OnMerge();
        std::ifstream in(Path("r.json").toStdString());
        const Json report = Json::parse(in);
        QCOMPARE(QString::fromStdString(report["outcome"]), outcome);
        QCOMPARE(report["command"][0].get<std::string>(), "fennick-merge");
        QVERIFY(std::find(report["command"].begin(), report["command"].end(), success ? "-o" : "--check") !=
                report["command"].end());
        QCOMPARE(int(report["inputs"].size()), success ? 2 : 1);
        if (!success) {
            QVERIFY(report["output"].is_null());
            QVERIFY(QString::fromStdString(report["message"]).contains("Different shape types"));
            return;
        }
        QCOMPARE(report["output"]["records"].get<int>(), 7);
        QCOMPARE(report["output"]["code_page"].get<std::string>(), "UTF-8");
        QCOMPARE(report["inputs"][1]["records_written"].get<int>(), 4);
        QStringList files;
        for (const Json& file : report["output"]["files"]) {
            const QString path = QString::fromStdString(file["path"]);
            QCOMPARE(file["bytes"].get<qint64>(), QFileInfo(path).size());
            files << QFileInfo(path).fileName();
        }
        QCOMPARE(files, (QStringList{"m.shp", "m.shx", "m.dbf", "m.cpg"}));
    }
};

QTEST_MAIN(FieldsFoldersReportTest)
#include "FieldsFoldersReportTest.moc"
