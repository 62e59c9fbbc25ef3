// The file tree widget over real temporary folders: contents, path selection, marks by mouse and keys, the
// context menu, commands and the history. The tree is rooted in the temporary folder, which stands as its
// only drive.

#include "ui/TreeFileCtrl.h"

#include <QAction>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

using namespace fennick;

namespace {

class CTestTree : public CTreeFileCtrl {
public:
    explicit CTestTree(const QString& root, QWidget* parent = nullptr)
        : CTreeFileCtrl(parent), m_root(root) {}

    // What the context menu showed, one entry per opening: the enabled state of its items, and their texts.
    QList<QList<bool>> menus;
    QList<QStringList> menuTexts;
    // The menu item to choose (its command), 0 for none.
    int chooseCommand = 0;
    QStringList propertiesShown;
    // Further drives after the root, and whether removable ones hold a medium.
    std::vector<SDriveEntry> extraDrives;
    bool mediumPresent = true;

    bool VolumeReady(const QString& root) const override {
        return !PathIsRemovableDrive(root) || mediumPresent;
    }

protected:
    std::vector<SDriveEntry> Drives() const override {
        std::vector<SDriveEntry> drives{{m_root, m_root, kDriveFixed}};
        drives.insert(drives.end(), extraDrives.begin(), extraDrives.end());
        return drives;
    }
    QAction* ExecContextMenu(QMenu& menu, const QPoint&) override {
        QList<bool> enabled;
        QStringList texts;
        QAction* chosen = nullptr;
        for (QAction* action : menu.actions()) {
            if (action->isSeparator())
                continue;
            enabled << action->isEnabled();
            texts << action->text();
            if (action->data().toInt() == chooseCommand)
                chosen = action;
        }
        menus << enabled;
        menuTexts << texts;
        return chosen;
    }
    void ShowPropertiesDialog(const QString& path) override { propertiesShown << path; }

private:
    QString m_root;
};

void Touch(const QString& path) {
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    file.write("x");
}

QStringList ChildNames(const CTreeFileCtrl& tree, QTreeWidgetItem* item) {
    QStringList names;
    for (int i = 0; i < item->childCount(); ++i)
        names << tree.ItemRecord(item->child(i))->name;
    return names;
}

QTreeWidgetItem* Child(const CTreeFileCtrl& tree, QTreeWidgetItem* item, const QString& name) {
    for (int i = 0; i < item->childCount(); ++i)
        if (tree.ItemRecord(item->child(i))->name == name)
            return item->child(i);
    return nullptr;
}

QPoint Centre(const CTreeFileCtrl& tree, QTreeWidgetItem* item) {
    return tree.visualItemRect(item).center();
}

void Click(CTreeFileCtrl& tree, QTreeWidgetItem* item, Qt::KeyboardModifiers modifiers = Qt::NoModifier,
           Qt::MouseButton button = Qt::LeftButton) {
    QTest::mouseClick(tree.viewport(), button, modifiers, Centre(tree, item));
}

void SendMouse(CTreeFileCtrl& tree, QEvent::Type type, QPoint pos, Qt::MouseButton button,
               Qt::MouseButtons buttons) {
    QMouseEvent event(type, pos, tree.viewport()->mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(tree.viewport(), &event);
}

} // namespace

class TreeFileCtrlTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<CTestTree> m_tree;
    QString m_root;

    QString Path(const QString& relative) const { return m_root + u'/' + relative; }

    // data/: sub/ (empty), zeta/, a.SHP, alpha.shp, Beta.shp, c.shp, roads.tab, .hidden.shp, .hiddendir/
    void MakeFolders() {
        for (const char* folder : {"data/sub", "data/zeta/inner", "data/.hiddendir", "other"})
            QVERIFY(QDir().mkpath(Path(QLatin1String(folder))));
        for (const char* file :
             {"data/a.SHP", "data/alpha.shp", "data/Beta.shp", "data/c.shp", "data/roads.tab",
              "data/.hidden.shp", "data/zeta/inner/deep.shp", "other/o.shp"})
            Touch(Path(QLatin1String(file)));
    }

    QTreeWidgetItem* Data() { return m_tree->SelectPath(Path(QStringLiteral("data")), true); }

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_root = m_dir->path();
        MakeFolders();
        m_tree = std::make_unique<CTestTree>(m_root);
        m_tree->ShowComputerNode(false);
        m_tree->ShowNetworkNode(false);
        m_tree->EnableOpenCommand(false);
        m_tree->SetMask(QStringLiteral("*.shp"));
        m_tree->resize(400, 700);
        m_tree->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_tree.get()));
    }

    void cleanup() {
        m_tree.reset();
        m_dir.reset();
    }

    void topLevelIsTheDriveWithAButton() {
        QCOMPARE(m_tree->topLevelItemCount(), 1);
        QTreeWidgetItem* drive = m_tree->topLevelItem(0);
        QCOMPARE(m_tree->ItemPath(drive), m_root);
        QVERIFY(m_tree->HasChildrenIndicator(drive));
        QCOMPARE(drive->childCount(), 0);
    }

    void folderListsFoldersThenMatchingFiles() {
        QTreeWidgetItem* data = Data();
        QVERIFY(data);
        QCOMPARE(ChildNames(*m_tree, data),
                 QStringList({".hiddendir", "sub", "zeta", "a.SHP", "alpha.shp", "Beta.shp", "c.shp"}));
        QVERIFY(!m_tree->HasChildrenIndicator(Child(*m_tree, data, QStringLiteral("sub"))));
        QVERIFY(m_tree->HasChildrenIndicator(Child(*m_tree, data, QStringLiteral("zeta"))));
        QVERIFY(!m_tree->HasChildrenIndicator(Child(*m_tree, data, QStringLiteral("c.shp"))));
        QCOMPARE(m_tree->ItemRecord(Child(*m_tree, data, QStringLiteral("c.shp")))->fileFlag, 1u);
    }

    void shapefileBesideEmptySubfolderUnderBothMasks() {
        const QString only = Path(QStringLiteral("only"));
        QVERIFY(QDir().mkpath(only + QStringLiteral("/empty")));
        Touch(only + QStringLiteral("/a.SHP"));
        QTreeWidgetItem* item = m_tree->SelectPath(only, true);
        QCOMPARE(ChildNames(*m_tree, item), QStringList({"empty", "a.SHP"}));
        QVERIFY(!m_tree->HasChildrenIndicator(item->child(0)));

        m_tree->SetMask(QStringLiteral("*.tab"));
        item = m_tree->currentItem();
        QCOMPARE(m_tree->ItemPath(item), only);
        QCOMPARE(ChildNames(*m_tree, item), QStringList({"empty"}));
        QVERIFY(m_tree->HasChildrenIndicator(item));
    }

    void collapseDiscardsAndExpandRereads() {
        QTreeWidgetItem* data = Data();
        data->setExpanded(false);
        QCOMPARE(data->childCount(), 0);
        QVERIFY(m_tree->HasChildrenIndicator(data));
        Touch(Path(QStringLiteral("data/b.shp")));
        data->setExpanded(true);
        QVERIFY(ChildNames(*m_tree, data).contains(QStringLiteral("b.shp")));
    }

    void expandingAFolderThatEmptiedRemovesItsButton() {
        QTreeWidgetItem* data = Data();
        QTreeWidgetItem* zeta = Child(*m_tree, data, QStringLiteral("zeta"));
        QVERIFY(QDir(Path(QStringLiteral("data/zeta"))).removeRecursively());
        QVERIFY(QDir().mkpath(Path(QStringLiteral("data/zeta"))));
        zeta->setExpanded(true);
        QCOMPARE(zeta->childCount(), 0);
        QVERIFY(!m_tree->HasChildrenIndicator(zeta));
    }

    void vanishedItemsGoWhenExpandedOrSelected() {
        QTreeWidgetItem* data = Data();
        QVERIFY(QDir(Path(QStringLiteral("data/zeta"))).removeRecursively());
        Child(*m_tree, data, QStringLiteral("zeta"))->setExpanded(true);
        QVERIFY(!Child(*m_tree, data, QStringLiteral("zeta")));

        QVERIFY(QFile::remove(Path(QStringLiteral("data/c.shp"))));
        Click(*m_tree, Child(*m_tree, data, QStringLiteral("c.shp")));
        QVERIFY(!Child(*m_tree, data, QStringLiteral("c.shp")));
        // The folder keeps its other children and its button.
        QVERIFY(data->childCount() > 0);
        QVERIFY(data->isExpanded());
    }

    void selectPathIgnoresCaseAndTrailingSeparator() {
        QVERIFY(QDir().mkpath(Path(QStringLiteral("Mixed/Case"))));
        QTreeWidgetItem* item = m_tree->SelectPath(m_root + QStringLiteral("/mixed/CASE/"), false);
        QVERIFY(item);
        QCOMPARE(m_tree->ItemPath(item), Path(QStringLiteral("Mixed/Case")));
        QCOMPARE(m_tree->currentItem(), item);
        QCOMPARE(m_tree->SelectedItemPath(), Path(QStringLiteral("Mixed/Case")));
        QVERIFY(!item->isExpanded());
    }

    void selectPathPrefersTheExactCase() {
        QVERIFY(QDir().mkpath(Path(QStringLiteral("twin/ab"))));
        QVERIFY(QDir().mkpath(Path(QStringLiteral("twin/AB"))));
        QCOMPARE(m_tree->ItemPath(m_tree->SelectPath(Path(QStringLiteral("twin/AB")), false)),
                 Path(QStringLiteral("twin/AB")));
        QCOMPARE(m_tree->ItemPath(m_tree->SelectPath(Path(QStringLiteral("twin/ab")), false)),
                 Path(QStringLiteral("twin/ab")));
    }

    void selectPathOfAMaskedFileLeavesItsFolder() {
        QVERIFY(!m_tree->SelectPath(Path(QStringLiteral("data/roads.tab")), false));
        QCOMPARE(m_tree->SelectedItemPath(), Path(QStringLiteral("data")));
        QVERIFY(!m_tree->SelectPath(Path(QStringLiteral("data/nothing/deeper/x.shp")), false));
        QCOMPARE(m_tree->SelectedItemPath(), Path(QStringLiteral("data")));
        QVERIFY(!m_tree->SelectPath(QString(), false));
        QVERIFY(!m_tree->SelectPath(QStringLiteral("relative/path"), false));
    }

    void maskChangeKeepsTheCaret() {
        m_tree->SelectPath(Path(QStringLiteral("data/alpha.shp")), false);
        m_tree->SetMask(QStringLiteral("*.*"));
        QCOMPARE(m_tree->SelectedItemPath(), Path(QStringLiteral("data/alpha.shp")));
        QVERIFY(Child(*m_tree, m_tree->currentItem()->parent(), QStringLiteral("roads.tab")));
        // A caret on a file the new mask hides falls back to its folder.
        m_tree->SetMask(QStringLiteral("*.tab"));
        QCOMPARE(m_tree->SelectedItemPath(), Path(QStringLiteral("data")));
    }

    void exchangePath() {
        QString value = Path(QStringLiteral("data/Beta.shp"));
        m_tree->ExchangePath(false, value);
        QString saved;
        m_tree->ExchangePath(true, saved);
        QCOMPARE(saved, value);
    }

    void clickAndCtrlClicksGiveFilesInDisplayOrder() {
        QTreeWidgetItem* data = Data();
        Click(*m_tree, Child(*m_tree, data, QStringLiteral("c.shp")));
        Click(*m_tree, Child(*m_tree, data, QStringLiteral("a.SHP")), Qt::ControlModifier);
        Click(*m_tree, Child(*m_tree, data, QStringLiteral("Beta.shp")), Qt::ControlModifier);
        // A marked folder is not a file.
        Click(*m_tree, Child(*m_tree, data, QStringLiteral("sub")), Qt::ControlModifier);
        QStringList paths;
        m_tree->SelectedFilePaths(paths);
        QCOMPARE(paths,
                 QStringList({Path(QStringLiteral("data/a.SHP")), Path(QStringLiteral("data/Beta.shp")),
                              Path(QStringLiteral("data/c.shp"))}));
        QCOMPARE(m_tree->CountMarks(), 4);
    }

    void shiftClickRangeAndAnchor() {
        QTreeWidgetItem* data = Data();
        QTreeWidgetItem* a = Child(*m_tree, data, QStringLiteral("a.SHP"));
        QTreeWidgetItem* alpha = Child(*m_tree, data, QStringLiteral("alpha.shp"));
        QTreeWidgetItem* c = Child(*m_tree, data, QStringLiteral("c.shp"));
        QTreeWidgetItem* sub = Child(*m_tree, data, QStringLiteral("sub"));
        QSignalSpy changed(m_tree.get(), &CTreeFileCtrl::SelectionChanged);
        Click(*m_tree, sub);
        Click(*m_tree, c, Qt::ShiftModifier);
        QCOMPARE(m_tree->CountMarks(), 6); // sub, zeta, a.SHP, alpha.shp, Beta.shp, c.shp
        QCOMPARE(m_tree->currentItem(), c);
        QCOMPARE(m_tree->AnchorItem(), sub);
        Click(*m_tree, a, Qt::ShiftModifier);
        QCOMPARE(m_tree->CountMarks(), 3);
        QVERIFY(m_tree->IsMarked(sub) && m_tree->IsMarked(a) && !m_tree->IsMarked(alpha));
        QCOMPARE(m_tree->AnchorItem(), sub);
        // One notification per click.
        QCOMPARE(changed.count(), 3);
    }

    void pressOnAMarkedItemWithoutAndWithDrag() {
        QTreeWidgetItem* data = Data();
        QTreeWidgetItem* a = Child(*m_tree, data, QStringLiteral("a.SHP"));
        QTreeWidgetItem* alpha = Child(*m_tree, data, QStringLiteral("alpha.shp"));
        QTreeWidgetItem* beta = Child(*m_tree, data, QStringLiteral("Beta.shp"));
        Click(*m_tree, a);
        Click(*m_tree, beta, Qt::ShiftModifier);
        QCOMPARE(m_tree->CountMarks(), 3);

        QSignalSpy drags(m_tree.get(), &CTreeFileCtrl::BeginDrag);
        const QPoint p = Centre(*m_tree, alpha);
        SendMouse(*m_tree, QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton);
        QCOMPARE(m_tree->CountMarks(), 3);
        SendMouse(*m_tree, QEvent::MouseMove, p + QPoint(QApplication::startDragDistance() + 5, 0),
                  Qt::NoButton, Qt::LeftButton);
        SendMouse(*m_tree, QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton);
        QCOMPARE(m_tree->CountMarks(), 3);
        QCOMPARE(drags.count(), 1);

        SendMouse(*m_tree, QEvent::MouseButtonPress, p, Qt::LeftButton, Qt::LeftButton);
        SendMouse(*m_tree, QEvent::MouseButtonRelease, p, Qt::LeftButton, Qt::NoButton);
        QCOMPARE(m_tree->CountMarks(), 1);
        QVERIFY(m_tree->IsMarked(alpha));
        QCOMPARE(m_tree->currentItem(), alpha);
    }

    void ctrlClickUnmarks() {
        QTreeWidgetItem* data = Data();
        Click(*m_tree, Child(*m_tree, data, QStringLiteral("a.SHP")));
        Click(*m_tree, Child(*m_tree, data, QStringLiteral("c.shp")), Qt::ControlModifier);
        Click(*m_tree, Child(*m_tree, data, QStringLiteral("a.SHP")), Qt::ControlModifier);
        QStringList paths;
        m_tree->SelectedFilePaths(paths);
        QCOMPARE(paths, QStringList({Path(QStringLiteral("data/c.shp"))}));
    }

    void marksInACollapsedFolderAreNotReturned() {
        QTreeWidgetItem* data = Data();
        Click(*m_tree, Child(*m_tree, data, QStringLiteral("a.SHP")));
        Click(*m_tree, Child(*m_tree, data, QStringLiteral("c.shp")), Qt::ControlModifier);
        data->setExpanded(false);
        QStringList paths;
        m_tree->SelectedFilePaths(paths);
        QVERIFY(paths.isEmpty());
        QCOMPARE(m_tree->currentItem(), data);
        QVERIFY(!m_tree->AnchorItem());
    }

    void downArrowLeavesOnlyTheNewCaretMarked() {
        QTreeWidgetItem* data = Data();
        Click(*m_tree, Child(*m_tree, data, QStringLiteral("a.SHP")));
        Click(*m_tree, Child(*m_tree, data, QStringLiteral("Beta.shp")), Qt::ShiftModifier);
        QCOMPARE(m_tree->CountMarks(), 3);
        QTest::keyClick(m_tree.get(), Qt::Key_Down);
        QCOMPARE(m_tree->CountMarks(), 1);
        QCOMPARE(m_tree->ItemPath(m_tree->currentItem()), Path(QStringLiteral("data/c.shp")));
        QVERIFY(m_tree->IsMarked(m_tree->currentItem()));
    }

    void shiftArrowsExtendAndNotify() {
        QTreeWidgetItem* data = Data();
        Click(*m_tree, Child(*m_tree, data, QStringLiteral("a.SHP")));
        QSignalSpy changed(m_tree.get(), &CTreeFileCtrl::SelectionChanged);
        QSignalSpy keys(m_tree.get(), &CTreeFileCtrl::ItemKeyDown);
        QTest::keyClick(m_tree.get(), Qt::Key_Down, Qt::ShiftModifier);
        QTest::keyClick(m_tree.get(), Qt::Key_Down, Qt::ShiftModifier);
        QStringList paths;
        m_tree->SelectedFilePaths(paths);
        QCOMPARE(paths.size(), 3);
        QCOMPARE(changed.count(), 2);
        QCOMPARE(keys.count(), 2);
        QTest::keyClick(m_tree.get(), Qt::Key_Up, Qt::ShiftModifier);
        QCOMPARE(m_tree->CountMarks(), 2);
    }

    void backspaceSelectsTheParentButNotAboveTheDrive() {
        m_tree->SelectPath(Path(QStringLiteral("data/sub")), false);
        m_tree->setFocus();
        QTest::keyClick(m_tree.get(), Qt::Key_Backspace);
        QCOMPARE(m_tree->SelectedItemPath(), Path(QStringLiteral("data")));
        QTest::keyClick(m_tree.get(), Qt::Key_Backspace);
        QCOMPARE(m_tree->SelectedItemPath(), m_root);
        QTest::keyClick(m_tree.get(), Qt::Key_Backspace);
        QCOMPARE(m_tree->SelectedItemPath(), m_root);
    }

    void enterOpensNothingAndDoesNotCloseTheDialog() {
        QDialog dialog;
        auto* layout = new QVBoxLayout(&dialog);
        auto* tree = new CTestTree(m_root, &dialog);
        auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
        ok->setDefault(true);
        layout->addWidget(tree);
        layout->addWidget(ok);
        QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
        tree->ShowComputerNode(false);
        tree->ShowNetworkNode(false);
        tree->EnableOpenCommand(false);
        tree->SetMask(QStringLiteral("*.shp"));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        tree->SelectPath(Path(QStringLiteral("data/c.shp")), false);
        tree->setFocus();
        QSignalSpy finished(&dialog, &QDialog::finished);
        QTest::keyClick(tree, Qt::Key_Return);
        QTest::keyClick(tree, Qt::Key_Enter);
        QCoreApplication::processEvents();
        QCOMPARE(finished.count(), 0);
        QVERIFY(dialog.isVisible());
        QVERIFY(!tree->IsCommandEnabled(CTreeFileCtrl::kCmdOpen));
    }

    void contextMenuOnAFileEnablesOnlyProperties() {
        QTreeWidgetItem* data = Data();
        QTreeWidgetItem* c = Child(*m_tree, data, QStringLiteral("c.shp"));
        Click(*m_tree, c, Qt::NoModifier, Qt::RightButton);
        QCOMPARE(m_tree->menus.size(), 1);
        QCOMPARE(m_tree->menus[0], QList<bool>({true, true}));
        QCOMPARE(m_tree->currentItem(), c);

        QTest::keyClick(m_tree.get(), Qt::Key_Return, Qt::AltModifier);
        QCOMPARE(m_tree->propertiesShown, QStringList({Path(QStringLiteral("data/c.shp"))}));
        // Choosing Properties from the menu runs it too.
        m_tree->chooseCommand = CTreeFileCtrl::kCmdProperties;
        QTest::keyClick(m_tree.get(), Qt::Key_F10, Qt::ShiftModifier);
        QCOMPARE(m_tree->menus.size(), 2);
        QCOMPARE(m_tree->propertiesShown.size(), 2);
    }

    void contextMenuOnEmptySpaceIsAllGrey() {
        Data();
        QTest::mouseClick(m_tree->viewport(), Qt::RightButton, Qt::NoModifier,
                          QPoint(10, m_tree->viewport()->height() - 5));
        QCOMPARE(m_tree->menus.size(), 1);
        QCOMPARE(m_tree->menus[0], QList<bool>({false, true}));
        QVERIFY(!m_tree->currentItem());
    }

    // Only commands the configuration can ever enable are shown, and Refresh, which reads the disk at once.
    void contextMenuShowsWhatCanBeEnabledAndRefresh_data() {
        QTest::addColumn<bool>("allowed");
        QTest::addColumn<QStringList>("texts");
        const QString properties = QStringLiteral("&Properties"), refresh = QStringLiteral("Re&fresh\tF5");
        QTest::newRow("picker") << false << QStringList{properties, refresh};
        QTest::newRow("all allowed") << true
                                     << QStringList{"&Open", "&Rename", "&Delete", properties, refresh};
    }
    void contextMenuShowsWhatCanBeEnabledAndRefresh() {
        QFETCH(bool, allowed);
        QFETCH(QStringList, texts);
        m_tree->EnableOpenCommand(allowed);
        m_tree->EnableRenameCommand(allowed);
        m_tree->EnableDeleteCommand(allowed);
        QTreeWidgetItem* data = Data();
        Touch(Path(QStringLiteral("data/new.shp")));
        m_tree->chooseCommand = CTreeFileCtrl::kCmdRefresh;
        Click(*m_tree, data, Qt::NoModifier, Qt::RightButton);
        QCOMPARE(m_tree->menuTexts, QList<QStringList>{texts});
        QCOMPARE(m_tree->SelectedItemPath(), Path(QStringLiteral("data")));
        QVERIFY(Child(*m_tree, m_tree->currentItem(), QStringLiteral("new.shp")));
    }

    // Open folders follow the disk without a refresh, keeping the caret and the marks; only open folders are
    // watched.
    void openFoldersFollowTheDisk() {
        QTreeWidgetItem* data = Data();
        m_tree->ApplyClick(Child(*m_tree, data, QStringLiteral("alpha.shp")), {false, false});
        m_tree->ApplyClick(Child(*m_tree, data, QStringLiteral("c.shp")), {false, true});
        Touch(Path(QStringLiteral("data/b2.shp")));
        QVERIFY(QFile::rename(Path(QStringLiteral("data/a.SHP")), Path(QStringLiteral("data/d.shp"))));
        QTRY_COMPARE(ChildNames(*m_tree, data), QStringList({".hiddendir", "sub", "zeta", "alpha.shp",
                                                             "b2.shp", "Beta.shp", "c.shp", "d.shp"}));
        QStringList marked;
        m_tree->SelectedFilePaths(marked);
        QCOMPARE(marked,
                 QStringList({Path(QStringLiteral("data/alpha.shp")), Path(QStringLiteral("data/c.shp"))}));
        QCOMPARE(m_tree->SelectedItemPath(), Path(QStringLiteral("data/c.shp")));
        // A caret whose file goes moves to its folder; an open subfolder that goes is let go.
        Child(*m_tree, data, QStringLiteral("zeta"))->setExpanded(true);
        QVERIFY(QFile::remove(Path(QStringLiteral("data/c.shp"))));
        QVERIFY(QDir(Path(QStringLiteral("data/zeta"))).removeRecursively());
        QTRY_VERIFY(!Child(*m_tree, data, QStringLiteral("c.shp")) &&
                    !Child(*m_tree, data, QStringLiteral("zeta")));
        QCOMPARE(m_tree->SelectedItemPath(), Path(QStringLiteral("data")));
        QStringList watched = m_tree->WatchedFolders();
        watched.sort();
        QCOMPARE(watched, QStringList({m_root, Path(QStringLiteral("data"))}));
        m_tree->RunCommand(CTreeFileCtrl::kCmdRefresh);
        QCOMPARE(m_tree->WatchedFolders().size(), 2);
        m_tree->currentItem()->setExpanded(false);
        QCOMPARE(m_tree->WatchedFolders(), QStringList{m_root});
    }

    // Opening, refreshing or switching the mask leaves the folder near the top with its files in view; a long
    // name widens the column and the tree scrolls sideways.
    void openedFolderShowsItsFiles_data() {
        QTest::addColumn<int>("action");
        QTest::newRow("path selected") << 0;
        QTest::newRow("double click") << 1;
        QTest::newRow("F5") << 2;
        QTest::newRow("mask switch") << 3;
    }
    void openedFolderShowsItsFiles() {
        QFETCH(int, action);
        const QString many = Path(QStringLiteral("many")),
                      longName = QString(200, u'n') + QStringLiteral(".shp");
        // Folders enough before it to put the folder below the first screen, and files enough to fill one.
        for (int i = 10; i < 70; ++i) {
            QVERIFY(QDir().mkpath(Path(QStringLiteral("f%1").arg(i))) && QDir().mkpath(many));
            Touch(many + QStringLiteral("/%1.shp").arg(i));
        }
        Touch(many + u'/' + longName);
        if (action == 1) {
            QTreeWidgetItem* item = m_tree->SelectPath(many, false);
            QTest::mouseDClick(m_tree->viewport(), Qt::LeftButton, Qt::NoModifier, Centre(*m_tree, item));
        } else {
            m_tree->SelectPath(many, true);
        }
        if (action == 2)
            QTest::keyClick(m_tree.get(), Qt::Key_F5);
        if (action == 3)
            m_tree->SetMask(QStringLiteral("*.*"));
        QTreeWidgetItem* folder = m_tree->currentItem();
        QCOMPARE(m_tree->ItemPath(folder), many);
        QVERIFY(folder->isExpanded());
        const int rows = m_tree->viewport()->height() / m_tree->visualItemRect(folder).height();
        auto inView = [&](QTreeWidgetItem* item) {
            const QRect rect = m_tree->visualItemRect(item);
            return rect.top() >= 0 && rect.bottom() <= m_tree->viewport()->height();
        };
        QVERIFY(inView(folder));
        QVERIFY(inView(folder->child(rows - 3)));
        QVERIFY(m_tree->columnWidth(0) > m_tree->fontMetrics().horizontalAdvance(longName));
        QVERIFY(m_tree->horizontalScrollBar()->maximum() > 0);
    }

    void renameAndDeleteStayDisabledOnDrivesWhenAllowed() {
        m_tree->EnableRenameCommand(true);
        m_tree->EnableDeleteCommand(true);
        m_tree->SelectPath(m_root, false);
        QVERIFY(!m_tree->IsCommandEnabled(CTreeFileCtrl::kCmdRename));
        QVERIFY(!m_tree->IsCommandEnabled(CTreeFileCtrl::kCmdDelete));
        m_tree->SelectPath(Path(QStringLiteral("data/c.shp")), false);
        QVERIFY(m_tree->IsCommandEnabled(CTreeFileCtrl::kCmdDelete));
        QTest::keyClick(m_tree.get(), Qt::Key_Delete);
        QVERIFY(!QFile::exists(Path(QStringLiteral("data/c.shp"))));
        QVERIFY(!Child(*m_tree, m_tree->currentItem(), QStringLiteral("c.shp")));
    }

    void deleteDisabledRemovesNothing() {
        m_tree->SelectPath(Path(QStringLiteral("data/c.shp")), false);
        QTest::keyClick(m_tree.get(), Qt::Key_Delete);
        QVERIFY(QFile::exists(Path(QStringLiteral("data/c.shp"))));
    }

    void historyBackAndForward() {
        const QString a = Path(QStringLiteral("data/a.SHP"));
        const QString sub = Path(QStringLiteral("data/sub"));
        const QString other = Path(QStringLiteral("other"));
        m_tree->SelectPath(a, false);
        // Whatever the caret was before (the view may have put it on the drive) stays the oldest entry.
        const QStringList initial = m_tree->History().Back();
        Click(*m_tree, m_tree->SelectPath(sub, false));
        m_tree->SelectPath(other, false);
        QVERIFY(!m_tree->IsCommandEnabled(CTreeFileCtrl::kCmdForward));
        QTest::keyClick(m_tree.get(), Qt::Key_Left, Qt::AltModifier);
        QCOMPARE(m_tree->SelectedItemPath(), sub);
        QTest::keyClick(m_tree.get(), Qt::Key_Left, Qt::AltModifier);
        QCOMPARE(m_tree->SelectedItemPath(), a);
        QCOMPARE(m_tree->History().Back(), initial);
        QTest::keyClick(m_tree.get(), Qt::Key_Right, Qt::AltModifier);
        QCOMPARE(m_tree->SelectedItemPath(), sub);
        // A rebuild recreates every item; the entries name paths and still lead there.
        QTest::keyClick(m_tree.get(), Qt::Key_F5);
        QCOMPARE(m_tree->SelectedItemPath(), sub);
        QTest::keyClick(m_tree.get(), Qt::Key_Right, Qt::AltModifier);
        QCOMPARE(m_tree->SelectedItemPath(), other);
        QTest::keyClick(m_tree.get(), Qt::Key_Left, Qt::AltModifier);
        QCOMPARE(m_tree->SelectedItemPath(), sub);
    }

    void historyDropsEntriesThatCannotBeSelected() {
        const QString a = Path(QStringLiteral("data/a.SHP"));
        const QString c = Path(QStringLiteral("data/c.shp"));
        m_tree->SelectPath(a, false);
        const QStringList initial = m_tree->History().Back();
        m_tree->SelectPath(c, false);
        m_tree->SelectPath(Path(QStringLiteral("other")), false);
        QCOMPARE(m_tree->History().Back(), initial + QStringList({a, c}));
        QVERIFY(QFile::remove(c));
        m_tree->HistoryBack();
        QCOMPARE(m_tree->SelectedItemPath(), a);
        QCOMPARE(m_tree->History().Back(), initial);
        QCOMPARE(m_tree->History().Forward(), QStringList({Path(QStringLiteral("other"))}));
    }

    void doubleClickOpensAFolderAndTellsTheOwner() {
        QTreeWidgetItem* data = Data();
        QTreeWidgetItem* zeta = Child(*m_tree, data, QStringLiteral("zeta"));
        QSignalSpy doubled(m_tree.get(), &CTreeFileCtrl::ItemDoubleClicked);
        QTest::mouseDClick(m_tree->viewport(), Qt::LeftButton, Qt::NoModifier, Centre(*m_tree, zeta));
        QVERIFY(zeta->isExpanded());
        QCOMPARE(ChildNames(*m_tree, zeta), QStringList({"inner"}));
        QCOMPARE(doubled.count(), 1);
        QCOMPARE(doubled.at(0).at(0).value<QTreeWidgetItem*>(), zeta);
    }

    void emptyOpticalDriveClosesAndLosesItsButton() {
        const QString disc = Path(QStringLiteral("disc"));
        QVERIFY(QDir().mkpath(disc));
        Touch(disc + QStringLiteral("/map.shp"));
        m_tree->extraDrives = {{disc, QStringLiteral("DISC"), kDriveCdRom}};
        m_tree->mediumPresent = false;
        m_tree->SetMask(QStringLiteral("*.shp"));
        QCOMPARE(m_tree->topLevelItemCount(), 2);
        QTreeWidgetItem* drive = m_tree->topLevelItem(1);
        QCOMPARE(drive->text(0), QStringLiteral("DISC"));
        // The medium is not touched to draw the button.
        QVERIFY(m_tree->HasChildrenIndicator(drive));
        drive->setExpanded(true);
        QVERIFY(!drive->isExpanded());
        QCOMPARE(drive->childCount(), 0);
        QVERIFY(!m_tree->HasChildrenIndicator(drive));

        m_tree->mediumPresent = true;
        m_tree->SetMask(QStringLiteral("*.shp"));
        drive = m_tree->topLevelItem(1);
        drive->setExpanded(true);
        QCOMPARE(ChildNames(*m_tree, drive), QStringList({"map.shp"}));
        // A volume mounted inside another drive takes its own paths.
        QCOMPARE(m_tree->SelectPath(disc + QStringLiteral("/map.shp"), false)->parent(), drive);
    }

    void hiddenDriveTypesAreNotListed() {
        const QString stick = Path(QStringLiteral("stick"));
        QVERIFY(QDir().mkpath(stick));
        m_tree->extraDrives = {{stick, QStringLiteral("STICK"), kDriveRemovable}};
        m_tree->SetHiddenDriveTypes(kDriveRemovable);
        QCOMPARE(m_tree->topLevelItemCount(), 1);
        m_tree->SetHiddenDriveTypes(kDriveCdRom);
        QCOMPARE(m_tree->topLevelItemCount(), 2);
        m_tree->ShowDriveLabels(false);
        QCOMPARE(m_tree->topLevelItem(1)->text(0), stick);
    }

    void extensionDisplay() {
        m_tree->SetExtensionDisplay(CTreeFileCtrl::EExtensionDisplay::WithoutExtension);
        QTreeWidgetItem* data = Data();
        QTreeWidgetItem* c = Child(*m_tree, data, QStringLiteral("c.shp"));
        QCOMPARE(c->text(0), QStringLiteral("c"));
        m_tree->SetExtensionDisplay(CTreeFileCtrl::EExtensionDisplay::WithExtension);
        QCOMPARE(m_tree->currentItem()->child(m_tree->currentItem()->childCount() - 1)->text(0),
                 QStringLiteral("c.shp"));
    }

    void computerNodeHoldsTheDrives() {
        m_tree->ShowComputerNode(true);
        QCOMPARE(m_tree->topLevelItemCount(), 1);
        QTreeWidgetItem* computer = m_tree->topLevelItem(0);
        QVERIFY(m_tree->SelectPath(Path(QStringLiteral("data/c.shp")), false));
        QCOMPARE(computer->childCount(), 1);
        QCOMPARE(m_tree->ItemPath(computer->child(0)), m_root);
    }
};

QTEST_MAIN(TreeFileCtrlTest)
#include "TreeFileCtrlTest.moc"
