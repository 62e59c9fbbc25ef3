#include "ui/MergerDlg.h"

#include "merge/ShpMerge.h"
#include "platform/Exceptions.h"
#include "platform/PathFunctions.h"
#include "shp/OutputFiles.h"
#include "ui/AboutDlg.h"
#include "ui/BuildProgress.h"
#include "ui/FennickIcon.h"
#include "ui/FileTreeRules.h"
#include "ui/HListBox.h"
#include "ui/MergeOptionsDlg.h"
#include "ui/StringResources.h"
#include "ui/TreeFileCtrl.h"
#include "ui_MergerDlg.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QShortcut>
#include <QUrl>

#include <sys/stat.h>

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

CMergerDlg::~CMergerDlg() = default;

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
    connect(m_ui->IDM_ABOUTBOX, &QPushButton::clicked, this, [this] { OnSysCommand(kIdmAboutBox); });
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, [this] { OnSysCommand(kIdmAboutBox); });
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
    // Showing a dialog makes its first auto-default button the default one, which Enter would press from
    // anywhere; this dialog has none. Enter still presses a button that has the focus.
    const QList<QPushButton*> buttons = findChildren<QPushButton*>();
    for (QPushButton* button : buttons)
        button->setAutoDefault(false);
    QDialog::setVisible(visible);
    for (QPushButton* button : buttons)
        button->setAutoDefault(true);
}

void CMergerDlg::InitDialog() {
    m_tree->ShowComputerNode(false);
    m_tree->ShowNetworkNode(false);
    // Enter and double clicks in the tree never launch files.
    m_tree->EnableOpenCommand(false);
    m_tree->SelectPath(m_sourceDir, false);
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
        if (focus == m_ui->IDC_MASK) {
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
    CHListBox* list = m_ui->IDC_FILES;
    for (const QString& path : paths) {
        if (IsListed(path))
            continue;
        list->SetCurSel(list->AddString(path));
    }
    RememberSourceFolder();
}

void CMergerDlg::OnTreeDoubleClick(QTreeWidgetItem*) {
    OnAddFiles();
    RememberSourceFolder();
}

void CMergerDlg::OnRemoveFile() {
    CHListBox* list = m_ui->IDC_FILES;
    const int index = list->GetCurSel();
    const int left = list->DeleteString(index);
    if (left < 0)
        return;
    list->SetCurSel(index < left ? index : left - 1);
}

void CMergerDlg::OnRemoveAllFiles() {
    m_ui->IDC_FILES->ResetContent();
}

void CMergerDlg::OnMaskChange() {
    m_tree->SetMask(m_ui->IDC_MASK->currentData().toString());
}

QString CMergerDlg::AskSaveFileName(const QString& startFolder) {
    QFileDialog dialog(this, QString(), startFolder, QStringLiteral("Shapefile (*.shp)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("shp"));
    // Overwriting an existing file is confirmed (the dialog asks unless told not to).
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}

bool CMergerDlg::ConfirmReplace(const QString& existing) {
    QMessageBox box(QMessageBox::Warning, ApplicationName(),
                    QStringLiteral("%1 already exists.\nDo you want to replace it?").arg(existing),
                    QMessageBox::Yes | QMessageBox::No, this);
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
    box.exec();
}

bool CMergerDlg::ConfirmWarnings(const QStringList& warnings) {
    QMessageBox box(QMessageBox::Warning, ApplicationName(),
                    QStringLiteral("The files can be merged, but:\n%1\n\nDo you want to merge them?")
                        .arg(warnings.join(u'\n')),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void CMergerDlg::OnOptions() {
    CMergeOptionsDlg dialog(m_options, this);
    if (dialog.exec() == QDialog::Accepted)
        m_options = dialog.Options();
}

void CMergerDlg::OnMerge() {
    CBuildProgress progress(104);
    auto fail = [&](const QString& text, const QString& reason) {
        progress.DestroyWindow();
        // The user's own cancel is no fault.
        const QMessageBox::Icon icon =
            progress.CancelDelivered() ? QMessageBox::Information : QMessageBox::Warning;
        if (!text.isEmpty())
            ShowMessageBox(text, icon, reason);
    };
    try {
        const CHListBox* list = m_ui->IDC_FILES;
        CShpMerge merge;
        for (int i = 0; i < list->GetCount(); ++i)
            merge.AddFile(list->GetText(i).toStdU16String());
        m_options.ApplyTo(merge);
        {
            CWaitCursor wait;
            merge.Check(nullptr);
        }
        if (!merge.Warnings().empty()) {
            QStringList warnings;
            for (const std::u16string& warning : merge.Warnings())
                warnings << QString::fromStdU16String(warning);
            if (!ConfirmWarnings(warnings))
                return;
        }
        // The save dialog opens in the output folder; when that cannot be entered, where the last one was.
        if (!m_outputDir.isEmpty())
            QDir::setCurrent(m_outputDir);
        QString path = AskSaveFileName(QDir::currentPath());
        if (path.isEmpty())
            return;
        // The files written are <folder>/<base>.shp and its set; the save dialog asked about the .shp only,
        // so any other member of the set that exists is asked about too.
        path = QString::fromStdU16String(COutputFiles::MainFilePath(path.toStdU16String()));
        if (path.isEmpty())
            return;
        for (const std::u16string& member : COutputFiles::ExistingSetMembers(path.toStdU16String())) {
            if (QString::fromStdU16String(member) == path)
                continue;
            if (!ConfirmReplace(QString::fromStdU16String(member)))
                return;
            break; // one answer covers the whole set
        }

        progress.CreateModeless(this);
        // An engine that was not checked yet steps once for the check before the first file.
        const int leadingSteps = merge.IsValidated() ? 0 : 1;
        progress.SetBarRange(0, list->GetCount() + leadingSteps);
        progress.SetBarStep(1);
        progress.SetBarPosition(0);
        progress.SetFiles(ListedFiles(), leadingSteps);
        merge.Merge(path.toStdU16String(), &progress);
        // Only a folder a merge succeeded in is worth opening the next save dialog in.
        m_outputDir = DirectoryPart(path);
        QString message = LoadResourceString(103).arg(path);
        if (m_options.skipBadRecords)
            message.append(u'\n').append(SkippedRecordsText(merge.SkippedRecords()));
        progress.DestroyWindow();
        ReportSuccess(message, MergeSummaryText(list->GetCount(), merge.RecordsWritten(), path), path);
    } catch (const CException& error) {
        char16_t buffer[520];
        fail(error.GetErrorMessage(buffer, 520) ? QString::fromUtf16(buffer) : QString(),
             QString::fromStdU16String(error.Detail()));
    } catch (const std::bad_alloc&) {
        fail(QString::fromStdU16String(CMemoryException().Message()), QString());
    }
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
    QPushButton* open = box.addButton(QStringLiteral("Open Folder"), QMessageBox::ActionRole);
    QPushButton* copy = box.addButton(QStringLiteral("Copy Path"), QMessageBox::ActionRole);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
    if (box.clickedButton() == copy) {
        QGuiApplication::clipboard()->setText(outputPath);
    } else if (box.clickedButton() == open) {
        const QString folder = QFileInfo(outputPath).absolutePath();
        if (!OpenFolder(folder))
            ShowMessageBox(QStringLiteral("The folder %1 could not be opened.").arg(folder),
                           QMessageBox::Warning);
    }
}

bool CMergerDlg::OpenFolder(const QString& folder) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

QString MergeSummaryText(int files, int64_t records, const QString& outputPath) {
    const QString fileCount = files == 1 ? QStringLiteral("1 file") : QStringLiteral("%1 files").arg(files);
    const QString recordCount =
        records == 1 ? QStringLiteral("1 record") : QStringLiteral("%1 records").arg(records);
    return QStringLiteral("%1, %2 merged into %3").arg(fileCount, recordCount, outputPath);
}

} // namespace fennick
