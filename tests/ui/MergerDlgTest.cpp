// The main dialog end to end over real shapefiles written by GDAL in a temporary folder, which the tree
// shows as its only drive. The save, folder and report dialogs, the message boxes, the about box and the
// menus are replaced through the dialog's seams; the merge itself is real, its output is read back with GDAL
// and a saved report with the JSON library.

#include "ui/MergerDlg.h"
#include "merge/ShpMerge.h"
#include "ui/BuildProgress.h"
#include "ui/EpsgSearch.h"
#include "ui/FactsReader.h"
#include "ui/FieldPlanDlg.h"
#include "ui/HListBox.h"
#include "ui/MapModel.h"
#include "ui/MergeOptionsDlg.h"
#include "ui/OutputChoices.h"
#include "ui/TreeFileCtrl.h"

#include "OgrLayer.h"
#include "TestMergerDlg.h"

#include <gdal.h>
#include <ogr_api.h>
#include <ogr_spatialref.h>

#include <nlohmann/json.hpp>

#include <QAbstractButton>
#include <QClipboard>
#include <QComboBox>
#include <QCompleter>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QWindow>

#include <atomic>
#include <fstream>
#include <functional>

#include <unistd.h>

using namespace fennick;
using Json = nlohmann::json;

namespace {

// The closing result of a dialog that did not close.
constexpr int kStaysOpen = -1;

const std::vector<test::SOgrField> kFields = {{"NAME", 'C', 20, 0}, {"POP", 'N', 9, 0}};

void WritePoints(const QString& path, int count) {
    std::vector<test::SOgrFeature> features;
    // Strings are appended to, never "text" + std::string: GCC 12 at -O3 reports a false overlap
    // (-Wrestrict) there.
    for (int i = 0; i < count; ++i) {
        const std::string number = std::to_string(i);
        features.push_back(
            {std::string("POINT (").append(number).append(" 1)"), {std::string("p").append(number), number}});
    }
    test::WriteOgrLayer(path.toStdString(), "POINT", kFields, features);
}

// The feature count GDAL reads in a shapefile, -1 when it cannot open it.
long long FeatureCount(const QString& path) {
    GDALAllRegister();
    GDALDatasetH dataset = GDALOpenEx(path.toUtf8().constData(), GDAL_OF_VECTOR, nullptr, nullptr, nullptr);
    if (!dataset)
        return -1;
    const long long count = OGR_L_GetFeatureCount(GDALDatasetGetLayer(dataset, 0), 1);
    GDALClose(dataset);
    return count;
}

CBuildProgress* OpenProgressWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* progress = qobject_cast<CBuildProgress*>(widget); progress && progress->isVisible())
            return progress;
    return nullptr;
}

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

class MergerDlgTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<CTestMergerDlg> m_dlg;
    QString m_data;

    QString Data(const QString& name) const { return m_data + u'/' + name; }
    QString Path(const QString& name) const { return m_dir->path() + u'/' + name; }
    // The listed files relative to the tree's root.
    QStringList Listed() const {
        QStringList names;
        for (int i = 0; i < List()->GetCount(); ++i)
            names << QDir(m_dir->path()).relativeFilePath(List()->GetText(i));
        return names;
    }
    CHListBox* List() const { return m_dlg->FileList(); }
    QStringList Entries() const {
        QStringList entries;
        for (int i = 0; i < List()->GetCount(); ++i)
            entries << List()->GetText(i);
        return entries;
    }
    QTreeWidgetItem* Item(const QString& path) { return m_dlg->Tree()->SelectPath(path, false); }
    // The folder item's child of that name.
    QTreeWidgetItem* Child(QTreeWidgetItem* folder, const QString& name) {
        for (int i = 0; folder && i < folder->childCount(); ++i)
            if (m_dlg->Tree()->ItemRecord(folder->child(i))->name == name)
                return folder->child(i);
        return nullptr;
    }
    // Marks the files (Ctrl+click after the first), then presses ">>".
    void Add(const QStringList& names) {
        CTreeFileCtrl* tree = m_dlg->Tree();
        QTreeWidgetItem* folder = tree->SelectPath(m_data, true);
        bool first = true;
        for (const QString& name : names) {
            QTreeWidgetItem* item = Child(folder, name);
            QVERIFY2(item, qPrintable(name));
            tree->ApplyClick(item, {false, !first});
            first = false;
        }
        QTest::mouseClick(m_dlg->findChild<QPushButton*>(QStringLiteral("IDC_ADD")), Qt::LeftButton);
    }
    QLineEdit* PathBox() const { return m_dlg->findChild<QLineEdit*>(QStringLiteral("IDC_PATH")); }
    // Points HOME at path until the returned guard goes.
    static auto HomeAt(const QString& path) {
        const QByteArray old = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(path));
        return qScopeGuard([old] { qputenv("HOME", old); });
    }
    void ClickButton(const char* name) {
        auto* button = m_dlg->findChild<QPushButton*>(QLatin1String(name));
        QVERIFY(button);
        QTest::mouseClick(button, Qt::LeftButton);
    }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_data = m_dir->path() + QStringLiteral("/data");
        QVERIFY(QDir().mkpath(Data(QStringLiteral("sub"))));
        QVERIFY(QDir().mkpath(m_dir->path() + QStringLiteral("/out")));
        WritePoints(Data(QStringLiteral("a.shp")), 3);
        WritePoints(Data(QStringLiteral("b.shp")), 4);
        test::WriteOgrLayer(Data(QStringLiteral("line.shp")).toStdString(), "LINESTRING", kFields,
                            {{"LINESTRING (0 0,1 1)", {"l", "1"}}});
        test::WriteOgrLayer(Data(QStringLiteral("roads.tab")).toStdString(), "POINT", kFields,
                            {{"POINT (1 1)", {"r", "1"}}});
        m_dlg = std::make_unique<CTestMergerDlg>(m_dir->path());
        m_dlg->m_sourceDir = m_data;
        m_dlg->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_dlg.get()));
    }

    void cleanup() {
        m_dlg.reset();
        m_dir.reset();
    }

    void opensWithItsControlsInOrder() {
        QCOMPARE(m_dlg->windowTitle(), QStringLiteral("Fennick"));
        QCOMPARE(m_dlg->MaskBox()->count(), 4);
        QCOMPARE(m_dlg->MaskBox()->itemText(1), QStringLiteral("*.SHP"));
        QCOMPARE(m_dlg->MaskBox()->itemText(2), QStringLiteral("*.TAB"));
        QCOMPARE(m_dlg->MaskBox()->currentIndex(), 0);
        QCOMPARE(m_dlg->Tree()->Mask(), QStringLiteral("*.shp;*.tab"));
        QCOMPARE(m_dlg->Tree()->SelectedItemPath(), m_data);
        QVERIFY(!m_dlg->windowIcon().isNull());
        const QStringList texts = {QStringLiteral(">>"),
                                   QStringLiteral("Merge Files Into a Single Shapefile..."),
                                   QStringLiteral("Remove File"), QStringLiteral("Remove All Files")};
        const char* names[] = {"IDC_ADD", "IDC_MERGE", "IDC_REMOVE", "IDC_REMOVE_ALL"};
        for (int i = 0; i < 4; ++i) {
            auto* button = m_dlg->findChild<QPushButton*>(QLatin1String(names[i]));
            QVERIFY(button);
            QCOMPARE(button->text(), texts[i]);
            QVERIFY(!button->isDefault());
        }
        QStringList labels;
        for (QLabel* label : m_dlg->findChildren<QLabel*>())
            labels << label->text();
        QVERIFY(labels.contains(QStringLiteral("File Mask:")));
        QVERIFY(labels.contains(QStringLiteral("Files to Merge:")));

        // Tab order: tree, mask box, ">>", add folder, list, map, its check box, remove, remove all, fields,
        // options, "?", the path box, home, refresh, and round again. The order buttons, after the list, and
        // merge are disabled while it is empty.
        const QStringList order = {"IDC_TREE",       "IDC_MASK",   "IDC_ADD",      "IDC_ADD_FOLDER",
                                   "IDC_FILES",      "IDC_MAP",    "IDC_SHOW_MAP", "IDC_REMOVE",
                                   "IDC_REMOVE_ALL", "IDC_FIELDS", "IDC_OPTIONS",  "IDM_ABOUTBOX",
                                   "IDC_PATH",       "IDC_HOME",   "IDC_REFRESH",  "IDC_TREE"};
        m_dlg->Tree()->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(m_dlg->Tree()));
        for (int i = 1; i < order.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget()->objectName(), order[i]);
        }
    }

    // Merge waits for a file; with one it says that two are needed.
    void mergeOfAnEmptyListAsksForTwoFiles() {
        QVERIFY(!m_dlg->findChild<QPushButton*>(QStringLiteral("IDC_MERGE"))->isEnabled());
        Add({QStringLiteral("a.shp")});
        ClickButton("IDC_MERGE");
        QCOMPARE(m_dlg->saveStarts.size(), 0);
        QCOMPARE(m_dlg->messages.size(), 1);
        QCOMPARE(m_dlg->messages[0].text, QStringLiteral("Two or more files is required."));
        QCOMPARE(m_dlg->messages[0].icon, QMessageBox::Warning);
        QVERIFY(m_dlg->isEnabled());
    }

    void addingTheSameFileTwiceListsItOnce() {
        Add({QStringLiteral("a.shp")});
        Add({QStringLiteral("a.shp")});
        QCOMPARE(Entries(), QStringList{Data(QStringLiteral("a.shp"))});
        QCOMPARE(List()->GetCurSel(), 0);
        // The folder of the picked file is remembered, with its separator.
        QCOMPARE(m_dlg->m_sourceDir, m_data + u'/');
    }

    void letterCaseCountsOnlyForTheSameFile() {
        // Two files whose names differ in case are two files here; the same file under a differently
        // cased name (as a case-blind volume shows it, made here with a hard link) is listed once.
        WritePoints(Data(QStringLiteral("Roads.shp")), 1);
        WritePoints(Data(QStringLiteral("roads.shp")), 1);
        QVERIFY(::link(QFile::encodeName(Data(QStringLiteral("a.shp"))).constData(),
                       QFile::encodeName(Data(QStringLiteral("A.SHP"))).constData()) == 0);
        m_dlg->Tree()->SetMask(QStringLiteral("*.shp"));
        Add({QStringLiteral("Roads.shp"), QStringLiteral("roads.shp")});
        QCOMPARE(List()->GetCount(), 2);
        Add({QStringLiteral("a.shp")});
        Add({QStringLiteral("A.SHP")});
        QCOMPARE(Entries(), (QStringList{Data(QStringLiteral("Roads.shp")), Data(QStringLiteral("roads.shp")),
                                         Data(QStringLiteral("a.shp"))}));
    }

    void aPathThatOnlyBeginsLikeAListedOneIsAdded() {
        WritePoints(Data(QStringLiteral("roads.shp.shp")), 1);
        WritePoints(Data(QStringLiteral("roads.shp")), 1);
        m_dlg->Tree()->SetMask(QStringLiteral("*.shp"));
        Add({QStringLiteral("roads.shp.shp")});
        Add({QStringLiteral("roads.shp")});
        QCOMPARE(Entries(),
                 (QStringList{Data(QStringLiteral("roads.shp.shp")), Data(QStringLiteral("roads.shp"))}));
        QCOMPARE(List()->GetCurSel(), 1);
    }

    void markedFolderIsSkippedAndTheLastFileSelected() {
        Add({QStringLiteral("b.shp"), QStringLiteral("sub"), QStringLiteral("a.shp")});
        // Tree order, not marking order.
        QCOMPARE(Entries(), (QStringList{Data(QStringLiteral("a.shp")), Data(QStringLiteral("b.shp"))}));
        QCOMPARE(List()->GetCurSel(), 1);
    }

    void filesInACollapsedFolderAreNotAdded() {
        Add({QStringLiteral("sub")});
        QTreeWidgetItem* folder = Item(m_data);
        m_dlg->Tree()->ApplyClick(Child(folder, QStringLiteral("a.shp")), {});
        folder->setExpanded(false);
        ClickButton("IDC_ADD");
        QCOMPARE(List()->GetCount(), 0);
    }

    void saveDialogAsksForAShapefileInTheStartFolder() {
        QString filter, suffix, folder;
        bool saving = false, confirms = false;
        QTimer::singleShot(0, [&] {
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (auto* dialog = qobject_cast<QFileDialog*>(widget); dialog && dialog->isVisible()) {
                    filter = dialog->nameFilters().join(u';');
                    suffix = dialog->defaultSuffix();
                    folder = dialog->directory().absolutePath();
                    saving = dialog->acceptMode() == QFileDialog::AcceptSave;
                    confirms = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
                    dialog->reject();
                }
        });
        QCOMPARE(m_dlg->RealSaveDialog(m_data), QString());
        QCOMPARE(filter, QStringLiteral("Shapefile (*.shp)"));
        QCOMPARE(suffix, QStringLiteral("shp"));
        QCOMPARE(folder, m_data);
        QVERIFY(saving);
        QVERIFY(confirms);
    }

    void messageBoxIsCaptionedWithTheProgramName() {
        QString caption, text, reason;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        const auto answer = [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                caption = box->windowTitle();
                text = box->text();
                reason = box->informativeText();
                icon = box->icon();
                box->button(QMessageBox::Ok)->click();
            }
        };
        QTimer::singleShot(0, answer);
        m_dlg->RealMessageBox(QStringLiteral("line one\nline two"), QMessageBox::Warning);
        QCOMPARE(caption, QStringLiteral("ui_MergerDlgTest"));
        QCOMPARE(text, QStringLiteral("line one\nline two"));
        QCOMPARE(icon, QMessageBox::Warning);
        QVERIFY(reason.isEmpty());
        // A failure's reason stands under its unchanged message.
        QTimer::singleShot(0, answer);
        m_dlg->RealMessageBox(QStringLiteral("Can't create shapefile.: o.shp."), QMessageBox::Warning,
                              QStringLiteral("Access to o.shp was denied. (Permission denied)"));
        QCOMPARE(text, QStringLiteral("Can't create shapefile.: o.shp."));
        QCOMPARE(reason, QStringLiteral("Access to o.shp was denied. (Permission denied)"));
    }

    void doubleClickAddsTheFileAndRemembersItsFolder() {
        QTreeWidgetItem* item = Item(Data(QStringLiteral("b.shp")));
        QVERIFY(item);
        m_dlg->m_sourceDir.clear();
        CTreeFileCtrl* tree = m_dlg->Tree();
        tree->scrollToItem(item);
        QTest::mouseDClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier,
                           tree->visualItemRect(item).center());
        QCOMPARE(Entries(), QStringList{Data(QStringLiteral("b.shp"))});
        QCOMPARE(m_dlg->m_sourceDir, m_data + u'/');
    }

    void removeMovesTheSelection() {
        WritePoints(Data(QStringLiteral("c.shp")), 1);
        Add({QStringLiteral("a.shp"), QStringLiteral("b.shp"), QStringLiteral("c.shp")});
        QCOMPARE(List()->GetCurSel(), 2);
        ClickButton("IDC_REMOVE");
        QCOMPARE(Entries(), (QStringList{Data(QStringLiteral("a.shp")), Data(QStringLiteral("b.shp"))}));
        QCOMPARE(List()->GetCurSel(), 1);
        List()->SetCurSel(0);
        ClickButton("IDC_REMOVE");
        QCOMPARE(Entries(), QStringList{Data(QStringLiteral("b.shp"))});
        QCOMPARE(List()->GetCurSel(), 0);
        // Nothing selected: nothing happens.
        List()->SetCurSel(-1);
        ClickButton("IDC_REMOVE");
        QCOMPARE(List()->GetCount(), 1);
        QCOMPARE(List()->GetCurSel(), -1);
        List()->SetCurSel(0);
        ClickButton("IDC_REMOVE");
        QCOMPARE(List()->GetCount(), 0);
        QCOMPARE(List()->GetCurSel(), -1);
    }

private:
    // Selects the list's entries with clicks, Ctrl held after the first; none: no selection.
    void SelectEntries(const QList<int>& indexes) {
        List()->SetCurSel(-1);
        for (int i = 0; i < indexes.size(); ++i)
            QTest::mouseClick(List()->viewport(), Qt::LeftButton, i ? Qt::ControlModifier : Qt::NoModifier,
                              List()->visualRect(List()->Model()->index(indexes[i], 0)).center());
    }
    // The entries' file names without extension.
    QStringList Names() const {
        QStringList names;
        for (const QString& entry : Entries())
            names << QFileInfo(entry).completeBaseName();
        return names;
    }
    // Writes points layers of these names into the data folder and lists them with ">>".
    void ListLayers(const QStringList& names) {
        for (const QString& name : names)
            if (!QFile::exists(Data(name)))
                WritePoints(Data(name), 1);
        m_dlg->Tree()->SetMask(QStringLiteral("*.shp"));
        Add(names);
    }

private slots:
    // Delete, Backspace and "Remove File" remove every selected entry and select the one now at the first's
    // place; Move Up/Down and Alt+Up/Down move the selection one place, a block as one, keeping it selected.
    // The order buttons are enabled only when a move can be made; the bold mark stays on the first entry.
    void removingAndMovingTheSelection_data() {
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<QString>("how"); // a button or keys
        QTest::addColumn<QStringList>("order");
        QTest::addColumn<QList<int>>("selectedAfter");
        QTest::addColumn<QString>("movesEnabled");
        QTest::newRow("Delete, one") << QList<int>{1} << "Delete" << QStringList{"a", "c", "d"}
                                     << QList<int>{1} << "up down";
        QTest::newRow("Backspace, two apart")
            << QList<int>{3, 0} << "Backspace" << QStringList{"b", "c"} << QList<int>{0} << "down";
        QTest::newRow("Remove File, the last two")
            << QList<int>{2, 3} << "IDC_REMOVE" << QStringList{"a", "b"} << QList<int>{1} << "up";
        QTest::newRow("Delete, none selected")
            << QList<int>{} << "Delete" << QStringList{"a", "b", "c", "d"} << QList<int>{} << "";
        QTest::newRow("Move Up, the third") << QList<int>{2} << "IDC_MOVE_UP"
                                            << QStringList{"a", "c", "b", "d"} << QList<int>{1} << "up down";
        QTest::newRow("Alt+Down, a block")
            << QList<int>{0, 1} << "Alt+Down" << QStringList{"c", "a", "b", "d"} << QList<int>{1, 2}
            << "up down";
        QTest::newRow("Alt+Up, the top one stays")
            << QList<int>{0, 2} << "Alt+Up" << QStringList{"a", "c", "b", "d"} << QList<int>{0, 1} << "down";
        QTest::newRow("Move Down, the last cannot")
            << QList<int>{3} << "IDC_MOVE_DOWN" << QStringList{"a", "b", "c", "d"} << QList<int>{3} << "up";
    }
    void removingAndMovingTheSelection() {
        QFETCH(QList<int>, selected);
        QFETCH(QString, how);
        QFETCH(QStringList, order);
        QFETCH(QList<int>, selectedAfter);
        QFETCH(QString, movesEnabled);
        ListLayers({"a.shp", "b.shp", "c.shp", "d.shp"});
        SelectEntries(selected);
        List()->setFocus();
        const QKeyCombination keys = QKeySequence(how)[0];
        if (how.startsWith(u'I'))
            ClickButton(qPrintable(how));
        else
            QTest::keyClick(List(), keys.key(), keys.keyboardModifiers());
        QCOMPARE(Names(), order);
        const std::vector<int> after = List()->SelectedIndexes();
        QCOMPARE(QList<int>(after.begin(), after.end()), selectedAfter);
        QCOMPARE(m_dlg->findChild<QPushButton*>("IDC_MOVE_UP")->isEnabled(), movesEnabled.contains("up"));
        QCOMPARE(m_dlg->findChild<QPushButton*>("IDC_MOVE_DOWN")->isEnabled(), movesEnabled.contains("down"));
        for (int i = 0; i < List()->GetCount(); ++i)
            QCOMPARE(
                List()->IsMarked(i) &&
                    List()->Model()->index(i, 0).data(Qt::ToolTipRole).toString().contains("sets the output"),
                i == 0);
    }

    // The map follows the list: each row's swatch is its file's colour there, a removed file leaves it at
    // once.
    void mapFollowsTheList() {
        ListLayers({"a.shp", "b.shp", "c.shp"});
        const CMapModel& map = m_dlg->MapModel();
        QCOMPARE(map.Count(), 3);
        for (int row = 0; row < 3; ++row) {
            const QVariant swatch = List()->Model()->data(
                List()->Model()->index(row, CFileFactsModel::kShapeType), Qt::DecorationRole);
            QCOMPARE(swatch.value<QColor>(), map.Colour(List()->GetText(row)));
        }
        const QColor c = map.Colour(List()->GetText(2));
        SelectEntries({0});
        ClickButton("IDC_REMOVE");
        QCOMPARE(map.Count(), 2);
        QCOMPARE(map.Colour(List()->GetText(1)), c);
    }

    // The list's own menu, by a right click or the Menu key; commands that cannot apply are disabled.
    void listContextMenu() {
        ListLayers({"a.shp", "b.shp"});
        SelectEntries({1});
        const QPoint onB = List()->visualRect(List()->Model()->index(1, 0)).center();
        QContextMenuEvent click(QContextMenuEvent::Mouse, onB, List()->viewport()->mapToGlobal(onB));
        m_dlg->listChoice = QStringLiteral("Open Containing Folder");
        QApplication::sendEvent(List()->viewport(), &click);
        QCOMPARE(m_dlg->listMenu, (QStringList{"Remove", "Remove All", "Move Up", "(Move Down)",
                                               "Open Containing Folder", "Show Records..."}));
        QCOMPARE(m_dlg->openedFolders, QStringList{m_data});
        m_dlg->listChoice = QStringLiteral("Show Records...");
        QApplication::sendEvent(List()->viewport(), &click);
        QCOMPARE(m_dlg->recordsShown, QStringList{"b.shp"});
        m_dlg->listChoice = QStringLiteral("Move Up");
        QApplication::sendEvent(List()->viewport(), &click);
        QCOMPARE(Names(), (QStringList{"b", "a"}));
        List()->setFocus();
        m_dlg->listChoice = QStringLiteral("Remove All");
        QTest::keyClick(List(), Qt::Key_Menu);
        QCOMPARE(List()->GetCount(), 0);
        QTest::keyClick(List(), Qt::Key_Menu);
        QCOMPARE(m_dlg->listMenu, (QStringList{"(Remove)", "(Remove All)", "(Move Up)", "(Move Down)",
                                               "(Open Containing Folder)", "(Show Records...)"}));
        QVERIFY(m_dlg->menuTexts.isEmpty()); // not the window menu
    }

    // Layer files dropped from a file manager are added, as a copy; anything else is named in one warning.
    void dropsFromAFileManager_data() {
        QTest::addColumn<QStringList>("dropped");
        QTest::addColumn<QStringList>("added");
        QTest::addColumn<QStringList>("refused");
        QTest::newRow("layers in any case")
            << QStringList{"b.shp", "PLAN.TAB", "a.shp"} << QStringList{"a", "b", "PLAN"} << QStringList{};
        QTest::newRow("a text file") << QStringList{"notes.txt", "a.shp"} << QStringList{"a"}
                                     << QStringList{"notes.txt"};
        QTest::newRow("a web address") << QStringList{"https://example.com/x.shp"} << QStringList{}
                                       << QStringList{"https://example.com/x.shp"};
    }
    void dropsFromAFileManager() {
        QFETCH(QStringList, dropped);
        QFETCH(QStringList, added);
        QFETCH(QStringList, refused);
        for (const char* name : {"PLAN.TAB", "notes.txt"})
            QVERIFY(QFile(Data(QLatin1String(name))).open(QIODevice::WriteOnly));
        QList<QUrl> urls;
        for (const QString& name : dropped)
            urls << (name.contains(u':') ? QUrl(name) : QUrl::fromLocalFile(Data(name)));
        QMimeData mime;
        mime.setUrls(urls);
        const QPoint at = List()->viewport()->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
        enter.setDropAction(Qt::MoveAction);
        QApplication::sendEvent(List()->viewport(), &enter);
        QVERIFY(enter.isAccepted());
        QCOMPARE(enter.dropAction(), Qt::CopyAction);
        QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(List()->viewport(), &drop);
        QCOMPARE(drop.dropAction(), Qt::CopyAction);
        QCOMPARE(Names(), added);
        QStringList shown, expected;
        for (const SMessage& message : m_dlg->messages)
            shown << message.text + (message.icon == QMessageBox::Warning ? "" : " (not a warning)");
        for (const QString& name : refused)
            expected << (name.contains(u':') ? name : Data(name));
        if (!expected.isEmpty())
            expected = QStringList{
                "Only vector layers (shapefiles, MapInfo tables, GeoPackages, GeoJSON, FlatGeobuf, KML, "
                "GML, MIF, CSV, SQLite, File Geodatabases) can be merged. Not added:\n" +
                expected.join(u'\n')};
        QCOMPARE(shown, expected);
    }

    // Files added at once come after those listed, in natural order whatever their case, the last one
    // selected.
    void filesAddedAtOnceComeInNaturalOrder() {
        ListLayers({"z.shp"});
        ListLayers({"b10.shp", "b2.shp", "B3.shp", "b11.shp", "b1.shp", "z.shp"});
        QCOMPARE(Names(), (QStringList{"z", "b1", "b2", "B3", "b10", "b11"}));
        QCOMPARE(List()->GetCurSel(), 5);
    }

    // Ctrl+Right and Insert add the tree's marked files from anywhere in the window, Enter from the tree;
    // Ctrl+M merges.
    void keyboardShortcuts_data() {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<int>("listed");
        QTest::addColumn<int>("messages");
        QTest::newRow("Ctrl+Right in the tree") << "IDC_TREE"
                                                << "Ctrl+Right" << 1 << 0;
        QTest::newRow("Insert in the tree") << "IDC_TREE"
                                            << "Ins" << 1 << 0;
        QTest::newRow("Insert on the mask box") << "IDC_MASK"
                                                << "Ins" << 1 << 0;
        QTest::newRow("Ctrl+Right in the list") << "IDC_FILES"
                                                << "Ctrl+Right" << 1 << 0;
        QTest::newRow("Enter on a file in the tree") << QString("IDC_TREE") << QString("Return") << 1 << 0;
        QTest::newRow("Ctrl+M merges") << "IDC_TREE"
                                       << "Ctrl+M" << 0 << 1;
        QTest::newRow("Insert in the path box edits") << "IDC_PATH"
                                                      << "Ins" << 0 << 0;
    }
    void keyboardShortcuts() {
        QFETCH(QString, focus);
        QFETCH(QString, keys);
        QFETCH(int, listed);
        QFETCH(int, messages);
        m_dlg->Tree()->ApplyClick(Child(m_dlg->Tree()->SelectPath(m_data, true), QStringLiteral("a.shp")),
                                  {});
        auto* target = m_dlg->findChild<QWidget*>(focus);
        target->setFocus();
        const QKeyCombination key = QKeySequence(keys)[0];
        QTest::keyClick(target, key.key(), key.keyboardModifiers());
        QCOMPARE(List()->GetCount(), listed);
        QCOMPARE(m_dlg->messages.size(), messages);
    }

    // The view draws no focus without an entry: the empty list shows it all the same.
    void emptyListShowsItsFocus() {
        m_dlg->MaskBox()->setFocus();
        QTRY_VERIFY(!List()->hasFocus());
        const QImage unfocused = List()->grab().toImage();
        List()->setFocus();
        QTRY_VERIFY(List()->hasFocus());
        QVERIFY(List()->grab().toImage() != unfocused);
    }

    void cancelledSaveDialogChangesNothing() {
        Add({QStringLiteral("a.shp"), QStringLiteral("b.shp")});
        m_dlg->m_outputDir = m_dir->path() + QStringLiteral("/out/");
        m_dlg->saveAnswer.clear();
        ClickButton("IDC_MERGE");
        QCOMPARE(m_dlg->saveStarts, QStringList{m_dir->path() + QStringLiteral("/out")});
        QVERIFY(m_dlg->messages.isEmpty());
        QCOMPARE(m_dlg->m_outputDir, m_dir->path() + QStringLiteral("/out/"));
        QVERIFY(!OpenProgressWindow());
        QVERIFY(m_dlg->isEnabled());
    }

    void successfulMergeStoresTheFolderAndShowsThePath() {
        Add({QStringLiteral("a.shp"), QStringLiteral("b.shp")});
        const QString output = m_dir->path() + QStringLiteral("/out/merged.shp");
        m_dlg->saveAnswer = output;
        bool disabledDuringMerge = false;
        m_dlg->onSaved = [&] { disabledDuringMerge = OpenProgressWindow() && !m_dlg->isEnabled(); };
        ClickButton("IDC_MERGE");
        QCOMPARE(m_dlg->messages.size(), 1);
        QCOMPARE(m_dlg->messages[0].text,
                 QStringLiteral("The files have been merged successfully.\n") + output);
        QCOMPARE(m_dlg->messages[0].icon, QMessageBox::Information);
        QCOMPARE(m_dlg->m_outputDir, m_dir->path() + QStringLiteral("/out/"));
        QCOMPARE(FeatureCount(output), 7LL);
        QVERIFY(disabledDuringMerge);
        QVERIFY(m_dlg->isEnabled());
        QVERIFY(!OpenProgressWindow());
        QCOMPARE(List()->GetCount(), 2);

        // The next save dialog starts in the output folder.
        m_dlg->onSaved = nullptr;
        m_dlg->saveAnswer.clear();
        QDir::setCurrent(m_data);
        ClickButton("IDC_MERGE");
        QCOMPARE(m_dlg->saveStarts.last(), m_dir->path() + QStringLiteral("/out"));
    }

    void failingMergeShowsTheEngineTextAndReenablesTheDialog() {
        Add({QStringLiteral("a.shp"), QStringLiteral("b.shp")});
        const QString output = m_dir->path() + QStringLiteral("/out/cancelled.shp");
        m_dlg->saveAnswer = output;
        // Cancel is pressed in the progress window while the engine runs.
        m_dlg->onSaved = [] {
            if (CBuildProgress* progress = OpenProgressWindow())
                QTest::mouseClick(progress->findChild<QPushButton*>(QStringLiteral("IDCANCEL")),
                                  Qt::LeftButton);
        };
        ClickButton("IDC_MERGE");
        QCOMPARE(m_dlg->messages.size(), 1);
        QCOMPARE(m_dlg->messages[0].text, QStringLiteral("The action has been cancelled."));
        QCOMPARE(m_dlg->messages[0].icon, QMessageBox::Information);
        QVERIFY(m_dlg->isEnabled());
        QVERIFY(!OpenProgressWindow());
        QVERIFY(!QFile::exists(output));
        QCOMPARE(List()->GetCount(), 2);
    }

    // The progress window names each file as the engine checks it and as it merges it; the success reports
    // files, records and the output, and its box opens the output's folder or copies its path.
    void successReportsTheCountsAndOffersTheFolderAndThePath() {
        WritePoints(Data(QStringLiteral("c.shp")), 1);
        m_dlg->Tree()->SetMask(QStringLiteral("*.shp"));
        Add({QStringLiteral("a.shp"), QStringLiteral("b.shp"), QStringLiteral("c.shp")});
        const QString output = m_dir->path() + QStringLiteral("/out/merged.shp");
        m_dlg->saveAnswer = output;
        QStringList labels; // as the merge shows them, each time it lets events through
        QTimer sampler;
        connect(&sampler, &QTimer::timeout, [&] {
            if (CBuildProgress* progress = OpenProgressWindow();
                progress && !progress->FileLabelText().isEmpty() &&
                labels.value(labels.size() - 1) != progress->FileLabelText())
                labels << progress->FileLabelText();
        });
        sampler.start(0);
        ClickButton("IDC_MERGE");
        sampler.stop();
        QCOMPARE(labels, (QStringList{QStringLiteral("Checking file 2 of 3: b.shp"),
                                      QStringLiteral("Checking file 3 of 3: c.shp"),
                                      QStringLiteral("Merging file 1 of 3: a.shp"),
                                      QStringLiteral("Merging file 2 of 3: b.shp"),
                                      QStringLiteral("Merging file 3 of 3: c.shp")}));
        QCOMPARE(m_dlg->messages.size(), 1);
        const QString summary = QStringLiteral("3 files, 8 records merged into ") + output;
        QCOMPARE(m_dlg->messages[0].reason, summary);
        QCOMPARE(FeatureCount(output), 8LL);
        QCOMPARE(MergeSummaryText(2, 1, output), QStringLiteral("2 files, 1 record merged into ") + output);

        // The real box: each extra button does its work and closes it.
        QGuiApplication::clipboard()->clear();
        for (const QString& button : {QStringLiteral("Open Folder"), QStringLiteral("Copy Path")}) {
            QString informative;
            QTimer::singleShot(0, [&] {
                if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                    informative = box->informativeText();
                    for (QAbstractButton* candidate : box->buttons())
                        if (candidate->text() == button)
                            candidate->click();
                }
            });
            m_dlg->RealSuccessReport(m_dlg->messages[0].text, summary, output);
            QCOMPARE(informative, summary);
        }
        QCOMPARE(m_dlg->openedFolders, QStringList{m_dir->path() + QStringLiteral("/out")});
        QCOMPARE(QGuiApplication::clipboard()->text(), output);
    }

    // Only a successful merge moves the save dialog's folder; a cancel is information, a failure a warning.
    void failedOrCancelledMergeKeepsTheOutputFolder_data() {
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<int>("icon");
        QTest::newRow("cancelled") << true << QStringLiteral("/out") << int(QMessageBox::Information);
        QTest::newRow("folder missing") << false << QStringLiteral("/gone") << int(QMessageBox::Warning);
    }
    void failedOrCancelledMergeKeepsTheOutputFolder() {
        QFETCH(bool, cancel);
        QFETCH(QString, folder);
        QFETCH(int, icon);
        Add({QStringLiteral("a.shp"), QStringLiteral("b.shp")});
        const QString before = m_data + u'/';
        m_dlg->m_outputDir = before;
        const QString output = m_dir->path() + folder + QStringLiteral("/merged.shp");
        m_dlg->saveAnswer = output;
        if (cancel)
            m_dlg->onSaved = [] {
                if (CBuildProgress* progress = OpenProgressWindow())
                    progress->CancelRequest();
            };
        ClickButton("IDC_MERGE");
        QCOMPARE(m_dlg->messages.size(), 1);
        QCOMPARE(int(m_dlg->messages[0].icon), icon);
        QVERIFY(!QFile::exists(output));
        QCOMPARE(m_dlg->m_outputDir, before);
    }

    void mainWindowIsANormalWindowWithTheIconAtEverySize() {
        const Qt::WindowFlags flags = m_dlg->windowFlags();
        QCOMPARE(flags & Qt::WindowType_Mask, Qt::Window);
        for (const Qt::WindowType hint : {Qt::WindowMinimizeButtonHint, Qt::WindowMaximizeButtonHint,
                                          Qt::WindowCloseButtonHint, Qt::WindowTitleHint})
            QVERIFY(flags.testFlag(hint));
        QVERIFY(m_dlg->windowHandle() && m_dlg->windowHandle()->type() == Qt::Window);
        const QList<QSize> sizes = m_dlg->windowIcon().availableSizes();
        for (const int size : {16, 32, 48, 64, 128, 256})
            QVERIFY2(sizes.contains(QSize(size, size)), qPrintable(QString::number(size)));
    }

    void anExistingMemberOfTheOutputsSetIsAskedAbout() {
        Add({QStringLiteral("a.shp"), QStringLiteral("b.shp")});
        QDir().mkpath(m_dir->path() + QStringLiteral("/out"));
        const QString dbf = m_dir->path() + QStringLiteral("/out/report.dbf");
        const QString qix = m_dir->path() + QStringLiteral("/out/REPORT.qix");
        for (const QString& name : {dbf, qix}) {
            QFile file(name);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("an unrelated table");
        }
        m_dlg->saveAnswer = m_dir->path() + QStringLiteral("/out/report.shp");
        m_dlg->replaceAnswer = false;
        ClickButton("IDC_MERGE");
        QCOMPARE(m_dlg->replaceQuestions, (QStringList{dbf, qix})); // both, in one question
        QVERIFY(!QFile::exists(m_dlg->saveAnswer));
        QCOMPARE(QFileInfo(dbf).size(), qint64(18));
        m_dlg->replaceAnswer = true;
        ClickButton("IDC_MERGE");
        QVERIFY(QFile::exists(m_dlg->saveAnswer));
        QVERIFY(QFileInfo(dbf).size() != 18);
        QVERIFY(!QFile::exists(qix));
    }

    // An output that would replace an input is refused with a warning before any question or any file.
    void anOutputThatIsAnInputIsRefused_data() {
        QTest::addColumn<QStringList>("names"); // the save dialog's answer, the output shown, the input
        QTest::newRow("same name") << QStringList{"a.shp", "a.shp", "a.shp"};
        QTest::newRow("other letter case") << QStringList{"A.SHP", "A.SHP", "a.shp"};
        QTest::newRow("other extension") << QStringList{"b.txt", "b.shp", "b.shp"};
        QTest::newRow("through a folder") << QStringList{"sub/../b.shp", "sub/../b.shp", "b.shp"};
    }
    void anOutputThatIsAnInputIsRefused() {
        QFETCH(QStringList, names);
        Add({QStringLiteral("a.shp"), QStringLiteral("b.shp")});
        const QStringList before = QDir(m_data).entryList(QDir::Files | QDir::Hidden);
        m_dlg->saveAnswer = Data(names[0]);
        m_dlg->replaceAnswer = true;
        ClickButton("IDC_MERGE");
        QCOMPARE(m_dlg->messages.size(), 1);
        QCOMPARE(m_dlg->messages[0].text,
                 QStringLiteral("The output %1 would replace the input %2; choose another name.")
                     .arg(Data(names[1]), Data(names[2])));
        QCOMPARE(int(m_dlg->messages[0].icon), int(QMessageBox::Warning));
        QVERIFY(m_dlg->replaceQuestions.isEmpty());
        QCOMPARE(QDir(m_data).entryList(QDir::Files | QDir::Hidden), before);
    }

    // Layers in different coordinate systems: the check's warning is shown before the output is asked for;
    // stopping there leaves everything as it was, going on merges.
    void coordinateSystemWarningIsConfirmedBeforeTheMerge() {
        for (const auto& [name, epsg] : {std::pair("wgs84", 4326), std::pair("nad27", 4267)}) {
            WritePoints(Data(QLatin1String(name) + QStringLiteral(".shp")), 2);
            OGRSpatialReference system;
            QCOMPARE(system.importFromEPSG(epsg), OGRERR_NONE);
            char* wkt = nullptr;
            const char* const options[] = {"FORMAT=WKT1_ESRI", nullptr};
            QCOMPARE(system.exportToWkt(&wkt, options), OGRERR_NONE);
            QFile prj(Data(QLatin1String(name) + QStringLiteral(".prj")));
            QVERIFY(prj.open(QIODevice::WriteOnly));
            prj.write(wkt);
            CPLFree(wkt);
        }
        Add({QStringLiteral("wgs84.shp"), QStringLiteral("nad27.shp")});
        const QString output = m_dir->path() + QStringLiteral("/out/mixed.shp");
        m_dlg->saveAnswer = output;
        for (const bool goOn : {false, true}) {
            m_dlg->warningsShown.clear();
            m_dlg->warningsAnswer =
                goOn ? CTestMergerDlg::EWarningAnswer::Merge : CTestMergerDlg::EWarningAnswer::Cancel;
            ClickButton("IDC_MERGE");
            QCOMPARE(m_dlg->warningsShown.size(), 1);
            QCOMPARE(m_dlg->saveStarts.size(), goOn ? 1 : 0);
            QCOMPARE(QFile::exists(output), goOn);
            QCOMPARE(m_dlg->messages.size(), goOn ? 1 : 0);
            QCOMPARE(List()->GetCount(), 2);
        }
        QCOMPARE(FeatureCount(output), 4LL);
        // Convert turns the option on (shown on the window) and merges with the coordinates converted.
        QVERIFY(!m_dlg->m_options.reproject);
        m_dlg->warningsAnswer = CTestMergerDlg::EWarningAnswer::Convert;
        m_dlg->replaceAnswer = true;
        QFile::remove(output);
        ClickButton("IDC_MERGE");
        QVERIFY(m_dlg->m_options.reproject);
        QVERIFY(m_dlg->findChild<QLabel*>(QStringLiteral("IDC_OPTIONS_LINE"))
                    ->text()
                    .contains(QStringLiteral("converted")));
        QCOMPARE(FeatureCount(output), 4LL);
    }

    // A failure that an option mends offers it: fields matched by name for a column difference they
    // resolve, skipping for a bad record (for that merge only). The failing file is selected afterwards.
    void failuresOfferTheirFix_data() {
        QTest::addColumn<QString>("second");
        QTest::addColumn<bool>("accept");
        QTest::addColumn<QString>("fix");
        QTest::addColumn<long long>("merged"); // records in the output, -1 for none
        QTest::newRow("wider column, by name") << "wide.shp" << true << "Merge by Field Name" << 4LL;
        QTest::newRow("wider column, cancelled") << "wide.shp" << false << "Merge by Field Name" << -1LL;
        QTest::newRow("bad record, skipped") << "bad.shp" << true << "Skip Bad Records and Merge" << 5LL;
        QTest::newRow("bad record, cancelled") << "bad.shp" << false << "Skip Bad Records and Merge" << -1LL;
    }
    void failuresOfferTheirFix() {
        QFETCH(QString, second);
        QFETCH(bool, accept);
        QFETCH(QString, fix);
        QFETCH(long long, merged);
        test::WriteOgrLayer(Data(QStringLiteral("wide.shp")).toStdString(), "POINT",
                            {{"NAME", 'C', 30, 0}, {"POP", 'N', 9, 0}}, {{"POINT (5 5)", {"w", "5"}}});
        WritePoints(Data(QStringLiteral("bad.shp")), 3);
        {
            // Record 2 claims to be a multipoint, which its 20 bytes cannot hold.
            QFile shp(Data(QStringLiteral("bad.shp")));
            QVERIFY(shp.open(QIODevice::ReadWrite) && shp.seek(100 + 28 + 8));
            const char multipoint[4] = {8, 0, 0, 0};
            QCOMPARE(shp.write(multipoint, 4), 4LL);
        }
        m_dlg->AddOutsideFiles({Data(QStringLiteral("a.shp")), Data(second)});
        List()->SetCurSel(0);
        const QString output = m_dir->path() + QStringLiteral("/out/fixed.shp");
        m_dlg->saveAnswer = output;
        m_dlg->fixAnswer = accept;
        ClickButton("IDC_MERGE");
        QCOMPARE(m_dlg->fixesOffered, QStringList{fix});
        QCOMPARE(List()->GetCurSel(), 1);
        QCOMPARE(FeatureCount(output), merged);
        QCOMPARE(m_dlg->m_options.matchNames, accept && second == QStringLiteral("wide.shp"));
        QVERIFY(!m_dlg->m_options.skipBadRecords);
    }

    void differentShapeTypesFailBeforeTheSaveDialog() {
        Add({QStringLiteral("a.shp"), QStringLiteral("line.shp")});
        m_dlg->saveAnswer = m_dir->path() + QStringLiteral("/out/never.shp");
        ClickButton("IDC_MERGE");
        QVERIFY(m_dlg->saveStarts.isEmpty());
        QCOMPARE(m_dlg->messages.size(), 1);
        // The engine names the input that differs.
        QCOMPARE(m_dlg->messages[0].text,
                 Data(QStringLiteral("line.shp")) + QStringLiteral(": Different shape types.."));
        QCOMPARE(m_dlg->messages[0].reason, QStringLiteral("point in ") + Data(QStringLiteral("a.shp")) +
                                                QStringLiteral(", polyline in ") +
                                                Data(QStringLiteral("line.shp")));
        QCOMPARE(m_dlg->messages[0].icon, QMessageBox::Warning);
        QVERIFY(m_dlg->m_outputDir.isEmpty());
    }

    void tabMaskShowsOnlyTabTables() {
        QComboBox* mask = m_dlg->MaskBox();
        mask->setFocus();
        QTest::keyClick(mask, Qt::Key_End); // every vector layer, then the TAB tables above it
        QTest::keyClick(mask, Qt::Key_Up);
        QCOMPARE(mask->currentText(), QStringLiteral("*.TAB"));
        QCOMPARE(m_dlg->Tree()->Mask(), QStringLiteral("*.TAB"));
        QTreeWidgetItem* folder = m_dlg->Tree()->SelectPath(m_data, true);
        QVERIFY(folder);
        QStringList names;
        for (int i = 0; i < folder->childCount(); ++i)
            names << m_dlg->Tree()->ItemRecord(folder->child(i))->name;
        QCOMPARE(names, (QStringList{QStringLiteral("sub"), QStringLiteral("roads.tab")}));
    }

    // The tree starts at the remembered folder or file, opened with its files in view, else at the home
    // folder.
    void startsAtTheRememberedFolderOpenedElseAtHome_data() {
        // Below the temporary folder: what is remembered ("" for nothing), where the caret starts.
        QTest::addColumn<QStringList>("paths");
        QTest::newRow("folder") << QStringList{"data", "data"};
        QTest::newRow("file") << QStringList{"data/b.shp", "data/b.shp"};
        QTest::newRow("gone") << QStringList{"gone", "home"};
        QTest::newRow("none") << QStringList{"", "home"};
    }
    void startsAtTheRememberedFolderOpenedElseAtHome() {
        QFETCH(QStringList, paths);
        const QString root = m_dir->path();
        // Folders enough above the data folder to put it below the first screen.
        for (int i = 10; i < 70; ++i)
            QVERIFY(QDir().mkpath(root + QStringLiteral("/d%1").arg(i)));
        QVERIFY(QDir().mkpath(root + QStringLiteral("/home")));
        WritePoints(root + QStringLiteral("/home/h.shp"), 1);
        const auto home = HomeAt(root + QStringLiteral("/home"));
        m_dlg = std::make_unique<CTestMergerDlg>(root);
        m_dlg->m_sourceDir = paths[0].isEmpty() ? QString() : root + u'/' + paths[0];
        m_dlg->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_dlg.get()));
        CTreeFileCtrl* tree = m_dlg->Tree();
        QCOMPARE(tree->SelectedItemPath(), root + u'/' + paths[1]);
        QTreeWidgetItem* caret = tree->currentItem();
        QTreeWidgetItem* folder = caret->isExpanded() ? caret : caret->parent();
        QVERIFY(folder->isExpanded() && folder->childCount() > 0);
        auto inView = [tree](QTreeWidgetItem* item) {
            const QRect rect = tree->visualItemRect(item);
            return rect.top() >= 0 && rect.bottom() <= tree->viewport()->height();
        };
        QTRY_VERIFY(inView(folder) && inView(folder->child(folder->childCount() - 1)));
        QCOMPARE(PathBox()->text(), tree->ItemPath(folder));
    }

    // Enter in the path box goes to a typed or pasted folder or file; a path that is missing or not listed
    // changes nothing but the box, which says why. The box follows the tree's caret folder.
    void pathBoxGoesToAFolderOrFile_data() {
        // Typed ("@" for the temporary folder), the caret after Enter below the temporary folder, the box's
        // text, a part of its tooltip ("" for no error).
        QTest::addColumn<QStringList>("row");
        QTest::newRow("folder") << QStringList{"@/data/sub/", "data/sub", "@/data/sub", ""};
        QTest::newRow("quoted file") << QStringList{"'@/data/b.shp'", "data/b.shp", "@/data", ""};
        QTest::newRow("file URL") << QStringList{"file://@/data/line.shp", "data/line.shp", "@/data", ""};
        QTest::newRow("missing") << QStringList{"@/data/nope", "data", "@/data/nope", "no folder or file"};
        QTest::newRow("not listed") << QStringList{"@/data/b.dbf", "data", "@/data/b.dbf", "does not list"};
        QTest::newRow("relative") << QStringList{"data", "data", "data", "full path"};
    }
    void pathBoxGoesToAFolderOrFile() {
        QFETCH(QStringList, row);
        row.replaceInStrings(QStringLiteral("@"), m_dir->path());
        QLineEdit* box = PathBox();
        const QString normalTip = box->toolTip();
        box->setFocus();
        box->setText(row[0]);
        QTest::keyClick(box, Qt::Key_Return);
        QVERIFY(m_dlg->isVisible());
        QCOMPARE(m_dlg->Tree()->SelectedItemPath(), m_dir->path() + u'/' + row[1]);
        QCOMPARE(box->text(), row[2]);
        QVERIFY2(row[3].isEmpty() ? box->toolTip() == normalTip : box->toolTip().contains(row[3]),
                 qPrintable(box->toolTip()));
        Item(Data(QStringLiteral("sub")));
        QCOMPARE(box->text(), Data(QStringLiteral("sub")));
        QCOMPARE(box->toolTip(), normalTip);
    }

    // Home and Refresh above the tree; the path box completes folder and layer names as the user types.
    void homeRefreshAndCompletion() {
        const auto home = HomeAt(Data(QStringLiteral("sub")));
        ClickButton("IDC_HOME");
        QCOMPARE(m_dlg->Tree()->SelectedItemPath(), Data(QStringLiteral("sub")));
        WritePoints(Data(QStringLiteral("c.shp")), 1);
        ClickButton("IDC_REFRESH");
        QVERIFY(Child(m_dlg->Tree()->currentItem()->parent(), QStringLiteral("c.shp")));
        PathBox()->setFocus();
        PathBox()->clear();
        QTest::keyClicks(PathBox(), Data(QStringLiteral("b")));
        QTRY_COMPARE(PathBox()->completer()->completionCount(), 1);
        QCOMPARE(PathBox()->completer()->currentCompletion(), Data(QStringLiteral("b.shp")));
    }

    // Both layer kinds first and by default, then each kind on its own; the tree lists what the mask accepts.
    void maskOffersBothKindsFirstThenEach_data() {
        QTest::addColumn<int>("downPresses");
        QTest::addColumn<QStringList>("shown");
        const QString sub = QStringLiteral("sub"), a = QStringLiteral("a.shp"), b = QStringLiteral("b.shp"),
                      line = QStringLiteral("line.shp"), roads = QStringLiteral("roads.tab");
        QTest::newRow("both kinds, the default") << 0 << QStringList{sub, a, b, line, roads};
        QTest::newRow("shapefiles") << 1 << QStringList{sub, a, b, line};
        QTest::newRow("MapInfo tables") << 2 << QStringList{sub, roads};
        QTest::newRow("all vector layers") << 3 << QStringList{sub, a, b, line, roads};
    }
    void maskOffersBothKindsFirstThenEach() {
        QFETCH(int, downPresses);
        QFETCH(QStringList, shown);
        QComboBox* mask = m_dlg->MaskBox();
        QStringList texts;
        for (int i = 0; i < mask->count(); ++i)
            texts << mask->itemText(i);
        QCOMPARE(texts, (QStringList{QStringLiteral("Shapefiles and MapInfo tables (*.shp, *.tab)"),
                                     QStringLiteral("*.SHP"), QStringLiteral("*.TAB"),
                                     QStringLiteral("All vector layers")}));
        QCOMPARE(mask->currentIndex(), 0);
        mask->setFocus();
        for (int i = 0; i < downPresses; ++i)
            QTest::keyClick(mask, Qt::Key_Down);
        QCOMPARE(mask->currentIndex(), downPresses);
        QTreeWidgetItem* folder = m_dlg->Tree()->SelectPath(m_data, true);
        QVERIFY(folder);
        QStringList names;
        for (int i = 0; i < folder->childCount(); ++i)
            names << m_dlg->Tree()->ItemRecord(folder->child(i))->name;
        QCOMPARE(names, shown);
    }

    // A new mask lists the tree anew, keeping the marked files it still shows and the folder at the top.
    void maskChangeKeepsTheMarksAndTheFolderAtTheTop() {
        // Enough folders below it that the tree can scroll it to the top.
        for (int i = 0; i < 60; ++i)
            QVERIFY(QDir().mkpath(m_dir->path() + QStringLiteral("/z%1").arg(i)));
        ClickButton("IDC_REFRESH");
        CTreeFileCtrl* tree = m_dlg->Tree();
        QTreeWidgetItem* folder = tree->SelectPath(m_data, true);
        tree->ApplyClick(Child(folder, QStringLiteral("a.shp")), {});
        tree->ApplyClick(Child(folder, QStringLiteral("line.shp")), {false, true});
        m_dlg->MaskBox()->setFocus();
        QTest::keyClick(m_dlg->MaskBox(), Qt::Key_Down);
        QCOMPARE(tree->Mask(), QStringLiteral("*.SHP"));
        QStringList marked;
        tree->SelectedFilePaths(marked);
        QCOMPARE(marked, (QStringList{Data(QStringLiteral("a.shp")), Data(QStringLiteral("line.shp"))}));
        folder = tree->SelectPath(m_data, false);
        QTRY_COMPARE(tree->visualItemRect(folder).top(), 0);
    }

    void enterInTheListClosesWithTheTreePath() {
        Add({QStringLiteral("b.shp")});
        List()->setFocus();
        QTest::keyClick(List(), Qt::Key_Return);
        QCOMPARE(m_dlg->result(), int(QDialog::Accepted));
        QCOMPARE(m_dlg->m_sourceDir, Data(QStringLiteral("b.shp")));
    }

    void enterInTheMaskBoxClosesNothing() {
        Item(Data(QStringLiteral("sub")));
        const QString before = m_dlg->m_sourceDir;
        m_dlg->MaskBox()->setFocus();
        QTest::keyClick(m_dlg->MaskBox(), Qt::Key_Enter, Qt::KeypadModifier);
        QVERIFY(m_dlg->isVisible());
        QCOMPARE(m_dlg->m_sourceDir, before);
    }

    void escapeClosesWithoutTakingThePath() {
        Item(Data(QStringLiteral("a.shp")));
        const QString before = m_dlg->m_sourceDir;
        QTest::keyClick(m_dlg.get(), Qt::Key_Escape);
        QVERIFY(!m_dlg->isVisible());
        QCOMPARE(m_dlg->result(), int(QDialog::Rejected));
        QCOMPARE(m_dlg->m_sourceDir, before);
    }

    // Enter and Escape ask before a list with files is forgotten; the real box answers, its default is No.
    void closingWithFilesListedAsksFirst_data() {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("files");
        QTest::addColumn<bool>("afterSaveDialog");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<int>("closedAs"); // -1: stays open
        const QString list = QStringLiteral("IDC_FILES"), mask = QStringLiteral("IDC_MASK");
        const int enter = Qt::Key_Return, escape = Qt::Key_Escape, open = kStaysOpen;
        const int accepted = QDialog::Accepted, rejected = QDialog::Rejected;
        QTest::newRow("Enter in the list, No") << list << enter << 2 << false << false << true << open;
        QTest::newRow("Enter in the list, Yes") << list << enter << 2 << false << true << true << accepted;
        QTest::newRow("Escape, No") << list << escape << 1 << false << false << true << open;
        QTest::newRow("Escape, Yes") << list << escape << 2 << false << true << true << rejected;
        QTest::newRow("Escape after the save dialog, No")
            << QStringLiteral("IDC_MERGE") << escape << 2 << true << false << true << open;
        QTest::newRow("Enter on the mask box") << mask << enter << 2 << false << true << false << open;
        QTest::newRow("Enter on the mask box, empty list")
            << mask << enter << 0 << false << true << false << open;
        QTest::newRow("Escape, empty list") << list << escape << 0 << false << true << false << rejected;
    }
    void closingWithFilesListedAsksFirst() {
        QFETCH(QString, focus);
        QFETCH(int, key);
        QFETCH(int, files);
        QFETCH(bool, afterSaveDialog);
        QFETCH(bool, yes);
        QFETCH(bool, asked);
        QFETCH(int, closedAs);
        const QStringList names = {QStringLiteral("a.shp"), QStringLiteral("b.shp")};
        if (files > 0)
            Add(names.mid(0, files));
        if (afterSaveDialog) {
            ClickButton("IDC_MERGE");
            QCOMPARE(m_dlg->saveStarts.size(), 1);
        }
        const QStringList before = Entries();
        m_dlg->realCloseBox = true;
        QString text;
        bool defaultIsNo = false;
        QObject guard; // ends the timer with this function when no box came
        QTimer::singleShot(0, &guard, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box)
                return;
            text = box->text();
            defaultIsNo = box->defaultButton() == box->button(QMessageBox::No);
            if (yes)
                QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
            else
                QTest::keyClick(box, Qt::Key_Return);
        });
        auto* target = m_dlg->findChild<QWidget*>(focus);
        QVERIFY(target);
        target->setFocus();
        QTest::keyClick(target, Qt::Key(key));
        QCOMPARE(m_dlg->closeQuestions, asked ? QList<int>{files} : QList<int>{});
        if (asked) {
            QCOMPARE(text, QStringLiteral("Close Fennick and forget the %1 %2 in the list?")
                               .arg(files)
                               .arg(files == 1 ? QStringLiteral("file") : QStringLiteral("files")));
            QVERIFY(defaultIsNo);
        }
        QCOMPARE(m_dlg->isVisible(), closedAs == kStaysOpen);
        if (closedAs != kStaysOpen)
            QCOMPARE(m_dlg->result(), closedAs);
        QCOMPARE(Entries(), before);
    }

    // Enter presses no button clicked earlier: after a click on each button in turn, Enter in the path box
    // goes to the path (one that exists, one that does not) and leaves the list and its order as they were.
    void enterNeverPressesARememberedButton_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("typed");
        for (const char* button : {"IDC_ADD", "IDC_MOVE_UP", "IDC_MOVE_DOWN", "IDC_REMOVE", "IDC_REMOVE_ALL",
                                   "IDC_MERGE", "IDC_OPTIONS", "IDM_ABOUTBOX", "IDC_HOME", "IDC_REFRESH"})
            for (const char* typed : {"sub", "nope"})
                QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(QLatin1String(button), typed)))
                    << QString::fromLatin1(button) << QString::fromLatin1(typed);
    }
    void enterNeverPressesARememberedButton() {
        QFETCH(QString, button);
        QFETCH(QString, typed);
        const QStringList files = {Data(QStringLiteral("b.shp")), Data(QStringLiteral("a.shp")),
                                   Data(QStringLiteral("line.shp"))};
        m_dlg->AddOutsideFiles(files);
        List()->SetCurSel(1);
        // A file not listed is marked, so that ">>" pressed by Enter would show.
        m_dlg->Tree()->ApplyClick(Child(m_dlg->Tree()->SelectPath(m_data, true), QStringLiteral("roads.tab")),
                                  {});
        // The options dialog closes as it opens.
        QObject guard;
        QTimer::singleShot(0, &guard, [] {
            if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                dialog->reject();
        });
        // A click gives the button the focus, as the mouse does.
        m_dlg->findChild<QPushButton*>(button)->setFocus(Qt::MouseFocusReason);
        ClickButton(qPrintable(button));
        // The list as a user would have it again, the middle entry selected so that either move would show.
        m_dlg->AddOutsideFiles(files);
        List()->SetCurSel(1);
        const QStringList before = Entries();
        const int messages = m_dlg->messages.size(), saves = m_dlg->saveStarts.size();
        PathBox()->setFocus();
        PathBox()->setText(Data(typed));
        QTest::keyClick(PathBox(), Qt::Key_Return);
        QVERIFY(m_dlg->isVisible());
        QCOMPARE(Entries(), before);
        QCOMPARE(m_dlg->messages.size(), messages);
        QCOMPARE(m_dlg->saveStarts.size(), saves);
        for (QPushButton* each : m_dlg->findChildren<QPushButton*>())
            QVERIFY2(!each->isDefault() && !each->autoDefault(), qPrintable(each->objectName()));
    }

    // A file that is slow to read leaves the window answering: another file is added meanwhile, and the
    // rows fill in with their facts and marks once read.
    void aSlowFileLeavesTheWindowAnswering() {
        std::atomic<bool> release{false};
        const auto releaseAtEnd = qScopeGuard([&] { release = true; });
        m_dlg->FactsReader().m_read = [&release](const std::u16string& path) {
            while (!release)
                QThread::msleep(5);
            return ReadLayerFacts(path);
        };
        // Read on this thread, the file would hold the test here for good.
        m_dlg->AddOutsideFiles({Data(QStringLiteral("b.shp"))});
        QTest::qWait(100);
        Add({QStringLiteral("a.shp")});
        QCOMPARE(Entries(), (QStringList{Data(QStringLiteral("b.shp")), Data(QStringLiteral("a.shp"))}));
        const CFileFactsModel* model = List()->Model();
        QCOMPARE(model->data(model->index(0, CFileFactsModel::kShapeType), Qt::DisplayRole).toString(),
                 QStringLiteral("reading..."));
        release = true;
        QTRY_COMPARE(model->data(model->index(1, CFileFactsModel::kRecords), Qt::DisplayRole).toString(),
                     QStringLiteral("3"));
        QTRY_COMPARE(model->Fit(1), EFileFit::Fits);
    }

    void enterOnAButtonPressesIt() {
        Add({QStringLiteral("a.shp")});
        auto* removeAll = m_dlg->findChild<QPushButton*>(QStringLiteral("IDC_REMOVE_ALL"));
        removeAll->setFocus();
        QTest::keyClick(removeAll, Qt::Key_Return);
        QCOMPARE(List()->GetCount(), 0);
        QVERIFY(m_dlg->isVisible());
    }

    void aboutBoxFromTheWindowMenuTheButtonAndF1() {
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 5), m_dlg->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(m_dlg.get(), &event);
        QCOMPARE(m_dlg->menuTexts, QStringList{QStringLiteral("&About Fennick...")});
        QCOMPARE(m_dlg->aboutRuns, 1);
        QTest::mouseClick(m_dlg->findChild<QAbstractButton*>(QStringLiteral("IDM_ABOUTBOX")), Qt::LeftButton);
        QCOMPARE(m_dlg->aboutRuns, 2);
        QTest::keyClick(m_dlg.get(), Qt::Key_F1);
        QCOMPARE(m_dlg->aboutRuns, 3);
        m_dlg->OnSysCommand(CMergerDlg::kIdmAboutBox | 0x3);
        QCOMPARE(m_dlg->aboutRuns, 4);
        m_dlg->OnSysCommand(0xF060);
        QCOMPARE(m_dlg->aboutRuns, 4);
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
                               << QStringList{"%1/f/empty and its subfolders hold no vector layer."};
        QTest::newRow("drop, empty") << true << false << "f/empty" << QStringList()
                                     << QStringList{"%1/f/empty holds no vector layer."};
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
        m_dlg->FileList()->AddString(Data("a.shp"));
        m_dlg->FileList()->AddString(Data(success ? "b.shp" : "line.shp"));
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

QTEST_MAIN(MergerDlgTest)
#include "MergerDlgTest.moc"
