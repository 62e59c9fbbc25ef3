#include "ui/MergerDlg.h"

#include "merge/MergeReport.h"
#include "merge/ShpMerge.h"
#include "platform/Exceptions.h"
#include "platform/PathFunctions.h"
#include "shp/OutputFiles.h"
#include "ui/AboutDlg.h"
#include "ui/AddFolderDlg.h"
#include "ui/BuildProgress.h"
#include "ui/FactsReader.h"
#include "ui/FennickIcon.h"
#include "ui/FieldPlanDlg.h"
#include "ui/FileFactsModel.h"
#include "ui/FileTreeRules.h"
#include "ui/FolderLayers.h"
#include "ui/HListBox.h"
#include "ui/LayerChoice.h"
#include "ui/LayerChooserDlg.h"
#include "ui/MapModel.h"
#include "ui/MapPanel.h"
#include "ui/MergeCommand.h"
#include "ui/MergeOptionsDlg.h"
#include "ui/RecordsView.h"
#include "ui/StringResources.h"
#include "ui/TreeFileCtrl.h"
#include "ui/TreePathBar.h"
#include "ui_MergerDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCollator>
#include <QContextMenuEvent>
#include <QDataStream>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QShortcut>
#include <QSplitter>
#include <QTimer>
#include <QUrl>

#include <sys/stat.h>

#include <algorithm>
#include <new>
#include <utility>

namespace fennick {

namespace {

// The wait cursor for the life of the object.
class CWaitCursor {
public:
    CWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~CWaitCursor() { QApplication::restoreOverrideCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};

QString DirectoryPart(const QString& path) {
    return QString::fromStdU16String(GetDirectoryPart(path.toStdU16String()));
}

bool SameFile(const QString& a, const QString& b) {
    struct stat first {
    }, second{};
    return ::stat(QFile::encodeName(a).constData(), &first) == 0 &&
           ::stat(QFile::encodeName(b).constData(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

// A shapefile or a MapInfo table: a regular file named .shp or .tab in any letter case.
// Claims Ctrl+Right and Insert for the text box it filters, before the window's shortcuts see them.
class CEditingKeys : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ShortcutOverride) {
            const auto* key = static_cast<QKeyEvent*>(event);
            const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
            if ((key->key() == Qt::Key_Right && modifiers == Qt::ControlModifier) ||
                (key->key() == Qt::Key_Insert && modifiers == Qt::NoModifier)) {
                event->accept();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

QString ApplicationName() {
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

CMergerDlg::CMergerDlg(QWidget* parent) : QDialog(parent) {
    Setup(nullptr);
}

CMergerDlg::CMergerDlg(CTreeFileCtrl* tree, QWidget* parent) : QDialog(parent) {
    Setup(tree);
}

CMergerDlg::~CMergerDlg() {
    // The list's model resets while the child widgets are destroyed, after the buttons it updates.
    disconnect(m_ui->IDC_FILES->model(), nullptr, this, nullptr);
    disconnect(m_ui->IDC_FILES, nullptr, this, nullptr);
    // The map's reads end with the reader, before the map and its model go; the list stops asking it.
    m_ui->IDC_FILES->Model()->SetSwatches({});
    m_reader.reset();
    delete m_map;
}

void CMergerDlg::Setup(CTreeFileCtrl* tree) {
    m_ui = std::make_unique<Ui::CMergerDlg>();
    m_ui->setupUi(this);
    m_tree = m_ui->IDC_TREE;
    if (tree) {
        tree->setObjectName(QStringLiteral("IDC_TREE"));
        tree->setSizePolicy(m_tree->sizePolicy());
        tree->setHeaderHidden(true);
        delete m_ui->treeLayout->replaceWidget(m_tree, tree);
        delete m_tree;
        m_tree = tree;
        m_ui->IDC_TREE = tree;
        setTabOrder(m_ui->IDC_REFRESH, m_tree);
        setTabOrder(m_tree, m_ui->IDC_MASK);
    }
    // The program's main window: the window manager treats it as one (maximise included), although it runs
    // as a dialog.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                   Qt::WindowCloseButtonHint);
    // The root folder stands for the first drive until the stored setting replaces it.
    m_sourceDir = QStringLiteral("/");
    m_ui->IDC_SPLITTER->setStretchFactor(0, 3);
    m_ui->IDC_SPLITTER->setStretchFactor(1, 4);

    // Each entry carries the mask the tree lists with.
    for (const SMaskChoice& choice : LayerMaskChoices())
        m_ui->IDC_MASK->addItem(choice.text, choice.mask);

    connect(m_ui->IDC_ADD, &QPushButton::clicked, this, &CMergerDlg::OnAddFiles);
    connect(m_tree, &CTreeFileCtrl::ItemDoubleClicked, this, &CMergerDlg::OnTreeDoubleClick);
    connect(m_ui->IDC_REMOVE, &QPushButton::clicked, this, &CMergerDlg::OnRemoveFile);
    connect(m_ui->IDC_REMOVE_ALL, &QPushButton::clicked, this, &CMergerDlg::OnRemoveAllFiles);
    connect(m_ui->IDC_MASK, &QComboBox::activated, this, &CMergerDlg::OnMaskChange);
    connect(m_ui->IDC_MERGE, &QPushButton::clicked, this, &CMergerDlg::OnMerge);
    connect(m_ui->IDC_OPTIONS, &QPushButton::clicked, this, &CMergerDlg::OnOptions);
    connect(m_ui->IDC_FIELDS, &QPushButton::clicked, this, &CMergerDlg::OnShowFields);
    connect(m_ui->IDC_ADD_FOLDER, &QPushButton::clicked, this, &CMergerDlg::OnAddFolder);
    connect(m_ui->IDM_ABOUTBOX, &QPushButton::clicked, this, [this] { OnSysCommand(kIdmAboutBox); });
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, [this] { OnSysCommand(kIdmAboutBox); });
    SetupList();
    SetupMap();
    SetupTreePane();
    // Enter presses no button here: a button clicked once would otherwise become the window's lasting
    // default, and Enter typed in the path box or the list would press it again (moving, removing or
    // merging). Space still presses the button that has the focus.
    for (QPushButton* button : findChildren<QPushButton*>()) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    m_tree->installEventFilter(this);
}

bool CMergerDlg::eventFilter(QObject* watched, QEvent* event) {
    // Enter on files in the tree adds them; on a folder the tree opens or closes it as before.
    if (watched == m_tree && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && modifiers == Qt::NoModifier) {
            QStringList marked;
            m_tree->SelectedFilePaths(marked);
            if (!marked.isEmpty()) {
                OnAddFiles();
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CMergerDlg::SetupTreePane() {
    m_pathBar = std::make_unique<CTreePathBar>(*m_tree, *m_ui->IDC_PATH, *m_ui->IDC_HOME, *m_ui->IDC_REFRESH);
    // The tree starts narrower than it may grow: the bar has room to move both ways at the window's first
    // size, as far as the list's buttons leave it.
    m_ui->IDC_SPLITTER->setSizes({330, 650});
}

QByteArray CMergerDlg::SaveLayout() const {
    QByteArray layout;
    QDataStream out(&layout, QIODevice::WriteOnly);
    out << saveGeometry() << m_ui->IDC_SPLITTER->saveState() << IsMapShown() << m_mapSplitter->saveState();
    return layout;
}

void CMergerDlg::RestoreLayout(const QByteArray& layout) {
    QDataStream in(layout);
    QByteArray geometry, splitter;
    in >> geometry >> splitter;
    if (in.status() != QDataStream::Ok)
        return;
    restoreGeometry(geometry);
    m_ui->IDC_SPLITTER->restoreState(splitter);
    // The map's choice came later: a layout without it shows the map.
    bool mapShown = true;
    QByteArray mapSplitter;
    in >> mapShown >> mapSplitter;
    if (in.status() != QDataStream::Ok)
        return;
    ShowMap(mapShown);
    m_mapSplitter->restoreState(mapSplitter);
}

CHListBox* CMergerDlg::FileList() const {
    return m_ui->IDC_FILES;
}

QComboBox* CMergerDlg::MaskBox() const {
    return m_ui->IDC_MASK;
}

void CMergerDlg::setVisible(bool visible) {
    if (visible && !m_initialised) {
        m_initialised = true;
        InitDialog();
    }
    QDialog::setVisible(visible);
}

void CMergerDlg::InitDialog() {
    m_tree->ShowComputerNode(false);
    m_tree->ShowNetworkNode(false);
    // Enter and double clicks in the tree never launch files.
    m_tree->EnableOpenCommand(false);
    // The remembered folder (else the home folder), opened with its files in view.
    m_pathBar->Start(m_sourceDir);
    m_ui->IDC_MASK->setCurrentIndex(0);
    m_tree->SetMask(m_ui->IDC_MASK->currentData().toString());
    {
        CWaitCursor wait;
        m_tree->UseSystemImageList();
    }
    const bool aboutEntry = !LoadResourceString(101).isEmpty();
    m_ui->IDM_ABOUTBOX->setVisible(aboutEntry);
    const QIcon icon = FennickIcon();
    setWindowIcon(icon);
    // The options as the program's settings gave them.
    UpdateOptionsLine();
}

void CMergerDlg::accept() {
    if (!MayClose())
        return;
    m_tree->ExchangePath(true, m_sourceDir);
    QDialog::accept();
}

void CMergerDlg::reject() {
    if (!MayClose())
        return;
    QDialog::reject();
}

bool CMergerDlg::MayClose() {
    const int count = m_ui->IDC_FILES->GetCount();
    return count <= 0 || ConfirmClose(count);
}

bool CMergerDlg::ConfirmClose(int count) {
    const QString text =
        count == 1 ? QStringLiteral("Close Fennick and forget the 1 file in the list?")
                   : QStringLiteral("Close Fennick and forget the %1 files in the list?").arg(count);
    QMessageBox box(QMessageBox::Question, ApplicationName(), text, QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void CMergerDlg::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (enter && modifiers == Qt::NoModifier) {
        // The list leaves Enter to the dialog, which closes as OK. On the mask box Enter does nothing: a
        // user confirming a choice there does not mean to leave.
        QWidget* focus = focusWidget();
        if (focus == m_ui->IDC_FILES) {
            accept();
            return;
        }
        // A button with the focus is pressed, as Space presses it.
        if (auto* button = qobject_cast<QPushButton*>(focus)) {
            button->click();
            return;
        }
        // The path box has gone to its path; Enter means nothing more.
        if (focus == m_ui->IDC_MASK || focus == m_ui->IDC_PATH) {
            event->accept();
            return;
        }
    }
    if (event->key() == Qt::Key_Menu || (event->key() == Qt::Key_Space && modifiers == Qt::AltModifier)) {
        ShowWindowMenu(mapToGlobal(QPoint(0, 0)));
        return;
    }
    QDialog::keyPressEvent(event);
}

void CMergerDlg::contextMenuEvent(QContextMenuEvent* event) {
    ShowWindowMenu(event->globalPos());
}

void CMergerDlg::ShowWindowMenu(const QPoint& globalPos) {
    const QString text = LoadResourceString(101);
    if (text.isEmpty())
        return;
    QMenu menu(this);
    QAction* about = menu.addAction(text);
    about->setData(kIdmAboutBox);
    if (QAction* chosen = ExecWindowMenu(menu, globalPos))
        OnSysCommand(chosen->data().toInt());
}

QAction* CMergerDlg::ExecWindowMenu(QMenu& menu, const QPoint& globalPos) {
    return menu.exec(globalPos);
}

void CMergerDlg::OnSysCommand(int id) {
    if ((id & 0xFFF0) == kIdmAboutBox)
        RunAboutBox();
}

void CMergerDlg::RunAboutBox() {
    CAboutDlg about(this);
    about.exec();
}

bool CMergerDlg::IsListed(const QString& path) const {
    const CHListBox* list = m_ui->IDC_FILES;
    for (int i = 0; i < list->GetCount(); ++i) {
        const QString listed = list->GetText(i);
        // Names that differ only in letter case are one file on a case-blind volume and two files on
        // others: only the same file counts as listed.
        if (listed == path || (listed.compare(path, Qt::CaseInsensitive) == 0 && SameFile(listed, path)))
            return true;
    }
    return false;
}

void CMergerDlg::RememberSourceFolder() {
    m_sourceDir = DirectoryPart(m_tree->SelectedItemPath());
}

void CMergerDlg::OnAddFiles() {
    QStringList paths;
    m_tree->SelectedFilePaths(paths);
    AddPaths(paths);
    RememberSourceFolder();
}

void CMergerDlg::OnTreeDoubleClick(QTreeWidgetItem*) {
    OnAddFiles();
    RememberSourceFolder();
}

void CMergerDlg::OnRemoveFile() {
    CHListBox* list = m_ui->IDC_FILES;
    const std::vector<int> selected = list->SelectedIndexes();
    if (selected.empty())
        return;
    for (auto index = selected.rbegin(); index != selected.rend(); ++index)
        list->DeleteString(*index);
    const int first = selected.front();
    const int left = list->GetCount();
    list->SetCurSel(first < left ? first : left - 1);
}

void CMergerDlg::SetupMap() {
    CHListBox* list = m_ui->IDC_FILES;
    CFileFactsModel* facts = list->Model();
    m_mapModel = std::make_unique<CMapModel>();
    m_mapModel->SetRunner(
        [reader = m_reader.get()](std::function<void()> job) { reader->Run(std::move(job)); });
    m_map = new CMapPanel(*m_mapModel);
    m_mapSplitter = new QSplitter(Qt::Vertical, m_ui->listPane);
    m_mapSplitter->setObjectName(QStringLiteral("IDC_MAP_SPLITTER"));
    m_mapSplitter->setChildrenCollapsible(false);
    delete m_ui->listLayout->replaceWidget(list, m_mapSplitter);
    m_mapSplitter->addWidget(list);
    m_mapSplitter->addWidget(m_map);
    m_mapSplitter->setSizes({220, 260});
    m_showMap = new QCheckBox(QStringLiteral("Show Map"), m_ui->listPane);
    m_showMap->setObjectName(QStringLiteral("IDC_SHOW_MAP"));
    m_showMap->setChecked(true);
    m_ui->listHeaderLayout->insertWidget(2, m_showMap);
    connect(m_showMap, &QCheckBox::toggled, this, &CMergerDlg::ShowMap);
    setTabOrder(list, m_map);
    setTabOrder(m_map, m_showMap);

    facts->SetSwatches([model = m_mapModel.get()](const QString& path) { return model->Colour(path); });
    const auto follow = [this, facts] {
        m_mapModel->SetFiles(facts->Paths());
        facts->SwatchesChanged();
    };
    connect(facts, &QAbstractItemModel::rowsInserted, this, follow);
    connect(facts, &QAbstractItemModel::rowsRemoved, this, follow);
    connect(facts, &QAbstractItemModel::rowsMoved, this, follow);
    connect(facts, &QAbstractItemModel::modelReset, this, follow);
    connect(list, &CHListBox::SelectionChanged, this,
            [this, list] { m_map->SetSelectedRows(list->SelectedIndexes()); });
    connect(m_map, &CMapPanel::HoverText, this, [this](const QString& text) {
        if (text.isEmpty())
            UpdateStatusLine();
        else
            m_ui->IDC_FIT_STATUS->setText(text);
    });
}

void CMergerDlg::ShowMap(bool shown) {
    m_showMap->setChecked(shown);
    m_map->setVisible(shown);
}

bool CMergerDlg::IsMapShown() const {
    return m_showMap->isChecked();
}

void CMergerDlg::ShowRecords(const QString& path) {
    auto* view = new CRecordsView(
        path, [reader = m_reader.get()](std::function<void()> job) { reader->Run(std::move(job)); }, this);
    view->setAttribute(Qt::WA_DeleteOnClose);
    view->show();
}

void CMergerDlg::OnRemoveAllFiles() {
    m_ui->IDC_FILES->ResetContent();
}

void CMergerDlg::SetupList() {
    CHListBox* list = m_ui->IDC_FILES;
    list->SetFirstEntryMark(
        QStringLiteral("The first file sets the output's fields, coordinate system and code page."));
    connect(m_ui->IDC_MOVE_UP, &QPushButton::clicked, this, &CMergerDlg::OnMoveUp);
    connect(m_ui->IDC_MOVE_DOWN, &QPushButton::clicked, this, &CMergerDlg::OnMoveDown);
    connect(list, &CHListBox::MenuRequested, this, &CMergerDlg::ShowListMenu);
    connect(list, &CHListBox::UrlsDropped, this, &CMergerDlg::OnUrlsDropped);
    connect(list, &CHListBox::SelectionChanged, this, &CMergerDlg::UpdateListCommands);
    connect(list, &CHListBox::SelectionChanged, this, &CMergerDlg::UpdateStatusLine);
    connect(list->Model(), &CFileFactsModel::FitsChanged, this, &CMergerDlg::UpdateStatusLine);
    m_reader = std::make_unique<CFactsReader>(*list->Model());
    m_reader->Serve();
    connect(list->model(), &QAbstractItemModel::rowsInserted, this, &CMergerDlg::UpdateListCommands);
    connect(list->model(), &QAbstractItemModel::rowsRemoved, this, &CMergerDlg::UpdateListCommands);
    connect(list->model(), &QAbstractItemModel::modelReset, this, &CMergerDlg::UpdateListCommands);

    // Delete and Backspace act in the list only: the tree has its own use for them. Moving works from
    // the list and the buttons around it.
    const auto shortcut = [this](const QKeySequence& keys, QWidget* scope, Qt::ShortcutContext context,
                                 void (CMergerDlg::*slot)()) {
        auto* made = new QShortcut(keys, scope, nullptr, nullptr, context);
        connect(made, &QShortcut::activated, this, slot);
    };
    shortcut(QKeySequence(Qt::Key_Delete), list, Qt::WidgetShortcut, &CMergerDlg::OnRemoveFile);
    shortcut(QKeySequence(Qt::Key_Backspace), list, Qt::WidgetShortcut, &CMergerDlg::OnRemoveFile);
    shortcut(QKeySequence(Qt::ALT | Qt::Key_Up), m_ui->listPane, Qt::WidgetWithChildrenShortcut,
             &CMergerDlg::OnMoveUp);
    shortcut(QKeySequence(Qt::ALT | Qt::Key_Down), m_ui->listPane, Qt::WidgetWithChildrenShortcut,
             &CMergerDlg::OnMoveDown);
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_Right), this, Qt::WindowShortcut, &CMergerDlg::OnAddFiles);
    shortcut(QKeySequence(Qt::Key_Insert), this, Qt::WindowShortcut, &CMergerDlg::OnAddFiles);
    // The path box keeps those keys for its own editing (a word to the right, overwrite mode).
    m_ui->IDC_PATH->installEventFilter(new CEditingKeys(m_ui->IDC_PATH));
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_M), this, Qt::WindowShortcut, &CMergerDlg::OnMerge);
    UpdateListCommands();
}

void CMergerDlg::AddPaths(QStringList paths, bool keepOrder) {
    if (!keepOrder)
        SortNaturally(paths);
    CLayerChoice choice;
    {
        CWaitCursor wait;
        choice.Take(paths);
    }
    std::vector<std::vector<bool>> chosen;
    if (!choice.Sources().empty() && !ChooseLayers(choice.Sources(), chosen))
        chosen.clear(); // cancelled: none of the sources' layers
    paths = choice.Entries(chosen);
    CHListBox* list = m_ui->IDC_FILES;
    // Selected once, at the end: selecting each entry as it comes makes a folder of thousands slow.
    int last = -1;
    for (const QString& path : paths)
        if (!IsListed(path))
            last = list->AddString(path);
    if (last >= 0)
        list->SetCurSel(last);
}

void SortNaturally(QStringList& paths) {
    // The C locale's collator compares code points and ignores the numeric mode.
    QLocale locale;
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::English);
    QCollator collator(locale);
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    // Stable, so that names equal but for case keep the order they came in.
    std::stable_sort(paths.begin(), paths.end(),
                     [&](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });
}

void CMergerDlg::AddOutsideFiles(const QStringList& paths) {
    QStringList absolute;
    for (const QString& path : paths)
        absolute << QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    AddLayersRefusingOthers(absolute, {}, true);
}

void CMergerDlg::AddLayersRefusingOthers(const QStringList& paths, QStringList refused, bool keepOrder) {
    QStringList layers, folders, problems;
    for (const QString& path : paths)
        (PathIsFolder(path) ? folders : IsLayerPath(path) ? layers : refused) << path;
    AddPaths(layers, keepOrder);
    // A folder stands for its layers, as in "Add Folder...".
    for (const QString& folder : folders)
        if (const QString problem = AddFolderLayers(folder, m_options.includeSubfolders); !problem.isEmpty())
            problems << problem;
    if (!refused.isEmpty())
        problems.prepend(
            QStringLiteral(
                "Only vector layers (shapefiles, MapInfo tables, GeoPackages, GeoJSON, FlatGeobuf, KML, "
                "GML, MIF, CSV, SQLite, File Geodatabases) can be merged. Not added:\n%1")
                .arg(refused.join(u'\n')));
    if (problems.isEmpty())
        return;
    const QString text = problems.join(QStringLiteral("\n\n"));
    if (isVisible())
        ShowMessageBox(text, QMessageBox::Warning);
    else // files from the command line: the message follows the window
        QTimer::singleShot(0, this, [this, text] { ShowMessageBox(text, QMessageBox::Warning); });
}

void CMergerDlg::OnUrlsDropped(const QList<QUrl>& urls) {
    QStringList paths, remote;
    for (const QUrl& url : urls)
        (url.isLocalFile() ? paths : remote)
            << (url.isLocalFile() ? url.toLocalFile() : url.toDisplayString());
    AddLayersRefusingOthers(paths, remote, false);
}

void CMergerDlg::OnMoveUp() {
    m_ui->IDC_FILES->MoveSelection(-1);
    UpdateListCommands();
}

void CMergerDlg::OnMoveDown() {
    m_ui->IDC_FILES->MoveSelection(1);
    UpdateListCommands();
}

void CMergerDlg::UpdateStatusLine() {
    m_ui->IDC_FIT_STATUS->setText(m_ui->IDC_FILES->Model()->StatusText(m_ui->IDC_FILES->GetCurSel()));
}

void CMergerDlg::UpdateOptionsLine() {
    m_ui->IDC_FILES->Model()->SetOptions(m_options);
    if (m_mapModel)
        m_mapModel->SetConversion(m_options.reproject || !m_options.targetCrs.trimmed().isEmpty(),
                                  m_options.targetCrs.trimmed());
    m_ui->IDC_OPTIONS_LINE->setText(OptionsText(m_options));
}

void CMergerDlg::UpdateListCommands() {
    // Merge is offered once there is something to merge; with one file it says that two are needed.
    m_ui->IDC_MERGE->setEnabled(m_ui->IDC_FILES->GetCount() > 0);
    m_ui->IDC_MOVE_UP->setEnabled(m_ui->IDC_FILES->CanMoveSelection(-1));
    m_ui->IDC_MOVE_DOWN->setEnabled(m_ui->IDC_FILES->CanMoveSelection(1));
}

void CMergerDlg::ShowListMenu(const QPoint& viewportPos) {
    CHListBox* list = m_ui->IDC_FILES;
    QModelIndex pointed = list->indexAt(viewportPos);
    if (!pointed.isValid())
        pointed = list->currentIndex();
    const QString folder =
        pointed.isValid() ? QFileInfo(list->GetText(pointed.row())).absolutePath() : QString();
    const auto label = [](const char* text, const QKeySequence& keys) {
        return QLatin1String(text) + u'\t' + keys.toString(QKeySequence::NativeText);
    };

    QMenu menu(this);
    QAction* remove = menu.addAction(label("Remove", QKeySequence(Qt::Key_Delete)));
    remove->setEnabled(!list->SelectedIndexes().empty());
    QAction* removeAll = menu.addAction(QStringLiteral("Remove All"));
    removeAll->setEnabled(list->GetCount() > 0);
    menu.addSeparator();
    QAction* up = menu.addAction(label("Move Up", QKeySequence(Qt::ALT | Qt::Key_Up)));
    up->setEnabled(list->CanMoveSelection(-1));
    QAction* down = menu.addAction(label("Move Down", QKeySequence(Qt::ALT | Qt::Key_Down)));
    down->setEnabled(list->CanMoveSelection(1));
    menu.addSeparator();
    QAction* open = menu.addAction(QStringLiteral("Open Containing Folder"));
    open->setEnabled(!folder.isEmpty());
    QAction* records = menu.addAction(QStringLiteral("Show Records..."));
    records->setEnabled(pointed.isValid());

    QAction* chosen = ExecListMenu(menu, list->viewport()->mapToGlobal(viewportPos));
    // A disabled command cannot be chosen.
    if (!chosen || !chosen->isEnabled())
        return;
    if (chosen == remove)
        OnRemoveFile();
    else if (chosen == removeAll)
        OnRemoveAllFiles();
    else if (chosen == up)
        OnMoveUp();
    else if (chosen == down)
        OnMoveDown();
    else if (chosen == open)
        ShowFolder(folder);
    else if (chosen == records)
        ShowRecords(list->GetText(pointed.row()));
}

QAction* CMergerDlg::ExecListMenu(QMenu& menu, const QPoint& globalPos) {
    return menu.exec(globalPos);
}

void CMergerDlg::OnMaskChange() {
    // The tree is listed anew; the caret's folder comes back at the top, with the marked files the mask
    // still shows marked again.
    const QString caret = m_tree->SelectedItemPath();
    QStringList marked;
    m_tree->SelectedFilePaths(marked);
    m_tree->SetMask(m_ui->IDC_MASK->currentData().toString());
    if (caret.isEmpty())
        return;
    const QFileInfo caretInfo(caret);
    QTreeWidgetItem* folder =
        m_tree->SelectPath(caretInfo.isDir() ? caret : caretInfo.absolutePath(), !caretInfo.isDir());
    QList<QTreeWidgetItem*> items;
    for (const QString& path : marked)
        if (QTreeWidgetItem* item = m_tree->SelectPath(path, false))
            items << item;
    for (qsizetype i = 0; i < items.size(); ++i)
        m_tree->ApplyClick(items[i], {false, i > 0});
    if (folder)
        m_tree->scrollToItem(folder, QAbstractItemView::PositionAtTop);
}

namespace {

// The save dialog, refusing a name that would replace an input before it asks its own replace question.
class COutputDialog : public QFileDialog {
public:
    COutputDialog(QWidget* parent, const QString& folder, std::function<QString(const QString&)> refuse)
        : QFileDialog(parent, QString(), folder, QStringLiteral("Shapefile (*.shp)")),
          m_refuse(std::move(refuse)) {}

    void accept() override {
        const QStringList files = selectedFiles();
        if (m_refuse && !files.isEmpty())
            if (const QString why = m_refuse(files.first()); !why.isEmpty()) {
                QMessageBox::warning(this, ApplicationName(), why);
                return;
            }
        QFileDialog::accept();
    }

private:
    std::function<QString(const QString&)> m_refuse;
};

} // namespace

QString CMergerDlg::AskSaveFileName(const QString& startFolder) {
    COutputDialog dialog(this, startFolder, m_refuseOutput);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("shp"));
    // Overwriting an existing file is confirmed (the dialog asks unless told not to).
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}

bool CMergerDlg::ConfirmReplace(const QStringList& existing) {
    const QString text =
        existing.size() == 1
            ? QStringLiteral("%1 already exists.\nDo you want to replace it?").arg(existing.first())
            : QStringLiteral(
                  "These files of the output's set already exist:\n%1\nDo you want to replace them?")
                  .arg(existing.join(u'\n'));
    QMessageBox box(QMessageBox::Warning, ApplicationName(), text, QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void CMergerDlg::ShowMessageBox(const QString& text, QMessageBox::Icon icon, const QString& reason) {
    if (!m_successOutput.isEmpty()) {
        ShowSuccessBox(text, reason, std::exchange(m_successOutput, QString()));
        return;
    }
    QMessageBox box(icon, ApplicationName(), text, QMessageBox::Ok, this);
    if (!reason.isEmpty())
        box.setInformativeText(reason);
    QPushButton* save = std::exchange(m_offerReport, false) && m_report
                            ? box.addButton(QStringLiteral("Save Report..."), QMessageBox::ActionRole)
                            : nullptr;
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
    if (save && box.clickedButton() == save)
        SaveReport();
}

CMergerDlg::EWarningAnswer CMergerDlg::ConfirmWarnings(const QStringList& warnings, bool offerConvert) {
    if (!offerConvert) {
        QMessageBox box(QMessageBox::Warning, ApplicationName(),
                        QStringLiteral("The files can be merged, but:\n%1\n\nDo you want to merge them?")
                            .arg(warnings.join(u'\n')),
                        QMessageBox::Yes | QMessageBox::No, this);
        box.setDefaultButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes ? EWarningAnswer::Merge : EWarningAnswer::Cancel;
    }
    QMessageBox box(QMessageBox::Warning, ApplicationName(),
                    QStringLiteral("The files can be merged, but:\n%1\n\nConvert their coordinates into the "
                                   "first file's coordinate system, or merge them as they are?")
                        .arg(warnings.join(u'\n')),
                    QMessageBox::Cancel, this);
    QPushButton* convert = box.addButton(QStringLiteral("Convert"), QMessageBox::AcceptRole);
    QPushButton* keep = box.addButton(QStringLiteral("Keep Coordinates"), QMessageBox::AcceptRole);
    box.setDefaultButton(QMessageBox::Cancel);
    box.exec();
    return box.clickedButton() == convert ? EWarningAnswer::Convert
           : box.clickedButton() == keep  ? EWarningAnswer::Merge
                                          : EWarningAnswer::Cancel;
}

void CMergerDlg::OnOptions() {
    CMergeOptionsDlg dialog(m_options, this);
    if (dialog.exec() == QDialog::Accepted)
        m_options = dialog.Options();
    UpdateOptionsLine();
}

void CMergerDlg::OnMerge() {
    // This merge's options: a fix the user accepts after a failure changes them and the merge runs again,
    // into the output already chosen.
    SMergeOptions options = m_options;
    QString output;
    bool warningsConfirmed = false;
    for (;;) {
        const EMergeFix fix = RunMerge(options, output, warningsConfirmed);
        if (fix == EMergeFix::None)
            break;
        if (fix == EMergeFix::MatchNames)
            m_options.matchNames = options.matchNames = true;
        else if (fix == EMergeFix::Convert)
            m_options.reproject = options.reproject = true;
        else if (fix == EMergeFix::SkipBadRecords)
            options.skipBadRecords = true;
        UpdateOptionsLine();
    }
    // Skipping bad records is for one merge unless the user keeps it.
    if (!m_options.keepSkipBadRecords && m_options.skipBadRecords) {
        m_options.skipBadRecords = false;
        UpdateOptionsLine();
    }
}

namespace {

// Why the listed files fail the check with fields matched by name; empty when they pass it.
std::u16string ByNameFailure(const QStringList& files, SMergeOptions options) {
    options.matchNames = true;
    try {
        CShpMerge merge;
        for (const QString& file : files)
            merge.AddFile(file.toStdU16String());
        options.ApplyTo(merge);
        merge.Check(nullptr);
        return {};
    } catch (const CException& error) {
        return error.FullText();
    } catch (const std::bad_alloc&) {
        return CMemoryException().Message();
    }
}

} // namespace

CMergerDlg::EMergeFix CMergerDlg::RunMerge(const SMergeOptions& options, QString& path,
                                           bool& warningsConfirmed) {
    CBuildProgress progress(104);
    const QStringList files = ListedFiles();
    bool checked = false;
    CShpMerge merge;
    // What the merge did, as fennick-merge reports it: the check's command until an output is chosen.
    m_report = std::make_unique<CMergeReport>(MergeCommandOf(files, options, path));
    // The result box offers to save the report.
    const auto showResult = [this](const QString& text, QMessageBox::Icon icon, const QString& reason) {
        m_offerReport = true;
        ShowMessageBox(text, icon, reason);
        m_offerReport = false;
    };
    auto fail = [&](const QString& text, const QString& reason, const CException* failure) {
        progress.DestroyWindow();
        if (failure)
            m_report->Failed(merge, *failure);
        else
            m_report->Failed(merge, text.toStdU16String(), reason.toStdU16String());
        SelectFailingFile(text + u'\n' + reason);
        // The user's own cancel is no fault.
        if (progress.CancelDelivered()) {
            if (!text.isEmpty())
                showResult(text, QMessageBox::Information, reason);
            return EMergeFix::None;
        }
        if (!checked && !options.matchNames &&
            text.contains(QStringLiteral("Different column definitions.")) &&
            ByNameFailure(files, options).empty())
            return AskFix(text, reason, QStringLiteral("Merge by Field Name")) ? EMergeFix::MatchNames
                                                                               : EMergeFix::None;
        if (checked && !options.skipBadRecords &&
            text.contains(QStringLiteral("An error occurred while adding data from file.")))
            return AskFix(text, reason, QStringLiteral("Skip Bad Records and Merge"))
                       ? EMergeFix::SkipBadRecords
                       : EMergeFix::None;
        if (!text.isEmpty())
            showResult(text, QMessageBox::Warning, reason);
        return EMergeFix::None;
    };
    try {
        for (const QString& file : files)
            merge.AddFile(file.toStdU16String());
        options.ApplyTo(merge);
        if (files.size() >= 2) {
            // The check opens every input: the progress window names each as it goes.
            CWaitCursor wait;
            progress.CreateModeless(this);
            progress.SetBarRange(0, static_cast<int>(files.size()) - 1);
            progress.SetBarStep(1);
            progress.SetBarPosition(0);
            progress.SetFiles(files, 0, CBuildProgress::EPhase::Checking);
            merge.Check(&progress);
            progress.DestroyWindow();
        } else {
            merge.Check(nullptr);
        }
        if (!merge.Warnings().empty() && !warningsConfirmed) {
            QStringList warnings;
            for (const std::u16string& warning : merge.Warnings())
                warnings << QString::fromStdU16String(warning);
            switch (ConfirmWarnings(warnings, !options.reproject)) {
            case EWarningAnswer::Cancel:
                return EMergeFix::None;
            case EWarningAnswer::Convert:
                warningsConfirmed = true;
                return EMergeFix::Convert;
            case EWarningAnswer::Merge:
                warningsConfirmed = true;
                break;
            }
        }
        if (path.isEmpty()) {
            // The save dialog opens in the output folder; when that cannot be entered, where the last one
            // was.
            if (!m_outputDir.isEmpty())
                QDir::setCurrent(m_outputDir);
            // An output that would replace an input is refused in the dialog, and again here, before anything
            // is written or asked.
            const auto refuse = [&merge](const QString& chosen) {
                return QString::fromStdU16String(merge.InputReplacedBy(chosen.toStdU16String()));
            };
            m_refuseOutput = refuse;
            QString chosen = AskSaveFileName(QDir::currentPath());
            m_refuseOutput = nullptr;
            if (chosen.isEmpty())
                return EMergeFix::None;
            if (const QString why = refuse(chosen); !why.isEmpty()) {
                ShowMessageBox(why, QMessageBox::Warning);
                return EMergeFix::None;
            }
            // The files written are <folder>/<base>.shp and its set; the save dialog asked about the .shp
            // only, so the other members that exist are named in one question.
            chosen = QString::fromStdU16String(COutputFiles::MainFilePath(chosen.toStdU16String()));
            if (chosen.isEmpty())
                return EMergeFix::None;
            QStringList others;
            for (const std::u16string& member : COutputFiles::ExistingSetMembers(chosen.toStdU16String()))
                if (QString::fromStdU16String(member) != chosen)
                    others << QString::fromStdU16String(member);
            if (!others.isEmpty() && !ConfirmReplace(others))
                return EMergeFix::None;
            path = chosen;
        }
        checked = true;

        m_report = std::make_unique<CMergeReport>(MergeCommandOf(files, options, path));
        progress.CreateModeless(this);
        // An engine that was not checked yet steps once for the check before the first file.
        const int leadingSteps = merge.IsValidated() ? 0 : 1;
        // Each step (a file) takes an equal share of the bar, which the records appended move through.
        const int steps = static_cast<int>(files.size()) + leadingSteps;
        const int span = std::max(1, 60000 / steps);
        progress.SetBarRange(0, steps * span);
        progress.SetBarStep(span);
        progress.SetBarPosition(0);
        progress.SetFiles(files, leadingSteps);
        merge.m_onRecords = [&progress](std::size_t input, int64_t done, int64_t total) {
            progress.ShowRecords(static_cast<int>(input), done, total);
        };
        const std::size_t checkWarnings = merge.Warnings().size();
        merge.Merge(path.toStdU16String(), &progress);
        // Only a folder a merge succeeded in is worth opening the next save dialog in.
        m_outputDir = DirectoryPart(path);
        QString message = LoadResourceString(103).arg(path);
        m_successDetails.clear();
        if (options.skipBadRecords) {
            message.append(u'\n').append(SkippedRecordsText(merge.SkippedRecords()));
            // Which records: the first few in the message, every one in the details.
            int shown = 0;
            for (const SInputFacts& input : merge.InputFacts())
                for (const auto& [record, why] : input.skipped) {
                    const QString line = QStringLiteral("%1, record %2: %3")
                                             .arg(QFileInfo(QString::fromStdU16String(input.path)).fileName(),
                                                  CountText(record), QString::fromStdU16String(why));
                    if (++shown <= kSkippedShown)
                        message.append(u'\n').append(line);
                    m_successDetails.append(line).append(u'\n');
                }
            if (shown <= kSkippedShown)
                m_successDetails.clear();
        }
        // What the merge itself found worth saying (the check's warnings were confirmed before).
        for (std::size_t i = checkWarnings; i < merge.Warnings().size(); ++i)
            message.append(u'\n').append(QString::fromStdU16String(merge.Warnings()[i]));
        progress.DestroyWindow();
        m_report->Succeeded(merge, path.toStdU16String());
        m_offerReport = true;
        ReportSuccess(message, MergeSummaryText(static_cast<int>(files.size()), merge.RecordsWritten(), path),
                      path);
        m_offerReport = false;
        m_successDetails.clear();
        return EMergeFix::None;
    } catch (const CException& error) {
        char16_t buffer[520];
        return fail(error.GetErrorMessage(buffer, 520) ? QString::fromUtf16(buffer) : QString(),
                    QString::fromStdU16String(error.Detail()), &error);
    } catch (const std::bad_alloc&) {
        return fail(QString::fromStdU16String(CMemoryException().Message()), QString(), nullptr);
    }
}

void CMergerDlg::SelectFailingFile(const QString& message) {
    // The engine names the input it failed on; the first file is named too when the difference is with
    // it, so a later file named wins.
    CHListBox* list = m_ui->IDC_FILES;
    int named = -1;
    for (int i = 0; i < list->GetCount(); ++i)
        if (message.contains(list->GetText(i)) && (named <= 0 || i > 0))
            named = i;
    if (named >= 0)
        list->SetCurSel(named);
}

bool CMergerDlg::AskFix(const QString& text, const QString& reason, const QString& fix) {
    QMessageBox box(QMessageBox::Warning, ApplicationName(), text, QMessageBox::Cancel, this);
    if (!reason.isEmpty())
        box.setInformativeText(reason);
    QPushButton* apply = box.addButton(fix, QMessageBox::AcceptRole);
    box.setDefaultButton(QMessageBox::Cancel);
    box.exec();
    return box.clickedButton() == apply;
}

// ---- the merge's outcome ----

QStringList CMergerDlg::ListedFiles() const {
    QStringList files;
    const CHListBox* list = m_ui->IDC_FILES;
    for (int i = 0; i < list->GetCount(); ++i)
        files << list->GetText(i);
    return files;
}

void CMergerDlg::ReportSuccess(const QString& text, const QString& summary, const QString& outputPath) {
    m_successOutput = outputPath;
    ShowMessageBox(text, QMessageBox::Information, summary);
    m_successOutput.clear();
}

void CMergerDlg::ShowSuccessBox(const QString& text, const QString& summary, const QString& outputPath) {
    QMessageBox box(QMessageBox::Information, ApplicationName(), text, QMessageBox::Ok, this);
    box.setInformativeText(summary);
    if (!m_successDetails.isEmpty())
        box.setDetailedText(m_successDetails);
    QPushButton* open = box.addButton(QStringLiteral("Open Folder"), QMessageBox::ActionRole);
    QPushButton* copy = box.addButton(QStringLiteral("Copy Path"), QMessageBox::ActionRole);
    QPushButton* save = std::exchange(m_offerReport, false) && m_report
                            ? box.addButton(QStringLiteral("Save Report..."), QMessageBox::ActionRole)
                            : nullptr;
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
    if (save && box.clickedButton() == save) {
        SaveReport();
    } else if (box.clickedButton() == copy) {
        QGuiApplication::clipboard()->setText(outputPath);
    } else if (box.clickedButton() == open) {
        ShowFolder(QFileInfo(outputPath).absolutePath());
    }
}

void CMergerDlg::ShowFolder(const QString& folder) {
    if (!OpenFolder(folder))
        ShowMessageBox(QStringLiteral("The folder %1 could not be opened.").arg(folder),
                       QMessageBox::Warning);
}

bool CMergerDlg::OpenFolder(const QString& folder) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

QString MergeSummaryText(int files, int64_t records, const QString& outputPath) {
    const QString fileCount =
        files == 1 ? QStringLiteral("1 file") : QStringLiteral("%1 files").arg(CountText(files));
    const QString recordCount =
        records == 1 ? QStringLiteral("1 record") : QStringLiteral("%1 records").arg(CountText(records));
    return QStringLiteral("%1, %2 merged into %3").arg(fileCount, recordCount, outputPath);
}

// ---- folders, the field plan and the report ----

QString CMergerDlg::AddFolderLayers(const QString& folder, bool includeSubfolders) {
    QString problem;
    QStringList layers;
    {
        CWaitCursor wait;
        layers = FoldSourceLayers(FolderLayers(folder, includeSubfolders, problem));
    }
    AddPaths(layers, true);
    return problem;
}

void CMergerDlg::OnAddFolder() {
    // The folder the tree shows selected, else the one last picked from.
    QString folder = m_tree->SelectedItemPath();
    if (!folder.isEmpty() && !QFileInfo(folder).isDir())
        folder = QFileInfo(folder).absolutePath();
    if (folder.isEmpty())
        folder = m_sourceDir;
    bool includeSubfolders = m_options.includeSubfolders;
    if (!AskFolder(folder, includeSubfolders))
        return;
    m_options.includeSubfolders = includeSubfolders;
    if (const QString problem = AddFolderLayers(folder, includeSubfolders); !problem.isEmpty())
        ShowMessageBox(problem, QMessageBox::Warning);
}

bool CMergerDlg::ChooseLayers(const std::vector<SLayerSource>& sources,
                              std::vector<std::vector<bool>>& chosen) {
    CLayerChooserDlg dialog(sources, this);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    chosen = dialog.Chosen();
    return true;
}

bool CMergerDlg::AskFolder(QString& folder, bool& includeSubfolders) {
    CAddFolderDlg dialog(folder, includeSubfolders, this);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    folder = dialog.Folder();
    includeSubfolders = dialog.IncludeSubfolders();
    return true;
}

void CMergerDlg::OnShowFields() {
    SFieldPlanView view;
    {
        CWaitCursor wait;
        view = PlanFields(ListedFiles(), m_options);
    }
    ShowFieldPlan(view);
}

void CMergerDlg::ShowFieldPlan(const SFieldPlanView& view) {
    CFieldPlanDlg dialog(view, this);
    dialog.exec();
}

void CMergerDlg::SaveReport() {
    if (!m_report)
        return;
    // Beside the output, named after it; after a failure, in the output folder.
    const nlohmann::ordered_json& output = m_report->Report().value("output", nlohmann::ordered_json());
    QString suggested = QDir(m_outputDir.isEmpty() ? QDir::currentPath() : m_outputDir)
                            .filePath(QStringLiteral("merge-report.json"));
    if (output.is_object()) {
        const QString main = QString::fromStdString(output.value("path", std::string()));
        suggested = main.left(main.size() - 4) + QStringLiteral("-report.json");
    }
    const QString path = AskReportFileName(suggested);
    if (path.isEmpty())
        return;
    std::u16string why;
    if (!m_report->Write(path.toStdU16String(), why))
        ShowMessageBox(QStringLiteral("The report cannot be written."), QMessageBox::Warning,
                       path + QStringLiteral(": ") + QString::fromStdU16String(why));
}

QString CMergerDlg::AskReportFileName(const QString& suggested) {
    QFileDialog dialog(this, QStringLiteral("Save Report"), suggested, QStringLiteral("JSON (*.json)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("json"));
    dialog.selectFile(suggested);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}

} // namespace fennick
