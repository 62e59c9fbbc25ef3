#include "ui/TreePathBar.h"

#include "ui/TreeFileCtrl.h"

#include <QAbstractButton>
#include <QCompleter>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QTimer>
#include <QToolTip>
#include <QUrl>

namespace fennick {

CTreePathBar::CTreePathBar(CTreeFileCtrl& tree, QLineEdit& box, QAbstractButton& home,
                           QAbstractButton& refresh, QObject* parent)
    : QObject(parent), m_tree(tree), m_box(box), m_completer(new QCompleter(this)),
      m_normalPalette(box.palette()), m_normalToolTip(box.toolTip()) {
    // The model reads folders on its own thread, so completing never holds up the window. Hidden entries are
    // left out as the tree leaves them out; folders always complete, files as the tree's mask allows.
    m_fileModel = new QFileSystemModel(m_completer);
    m_fileModel->setFilter(QDir::AllDirs | QDir::Files | QDir::NoDotAndDotDot);
    m_fileModel->setNameFilterDisables(false);
    m_fileModel->setRootPath(QString());
    m_completer->setModel(m_fileModel);
    m_completer->setCaseSensitivity(Qt::CaseInsensitive);
    m_box.setCompleter(m_completer);

    connect(&m_box, &QLineEdit::returnPressed, this, [this] { GoTo(m_box.text()); });
    connect(&m_box, &QLineEdit::textEdited, this, [this](const QString& text) {
        ClearError();
        FollowMask();
        FetchTypedFolder(text);
    });
    connect(&home, &QAbstractButton::clicked, this, [this] { GoTo(QDir::homePath()); });
    connect(&refresh, &QAbstractButton::clicked, this,
            [this] { m_tree.RunCommand(CTreeFileCtrl::kCmdRefresh); });
    connect(&m_tree, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { ShowCaretFolder(current); });
}

QString CTreePathBar::PathFromText(const QString& text) {
    QString path = text.trimmed();
    // File managers paste quoted paths and file URLs.
    if (path.size() >= 2 && (path.front() == u'"' || path.front() == u'\'') && path.back() == path.front())
        path = path.mid(1, path.size() - 2);
    if (path.startsWith(QStringLiteral("file:")))
        path = QUrl(path).toLocalFile();
    if (path == u"~" || path.startsWith(QStringLiteral("~/")))
        path = QDir::homePath() + path.mid(1);
    if (!QDir::isAbsolutePath(path))
        return QString();
    return QDir::cleanPath(path);
}

QTreeWidgetItem* CTreePathBar::Open(const QString& path) {
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        return nullptr;
    return m_tree.SelectPath(path, info.isDir());
}

bool CTreePathBar::GoTo(const QString& text) {
    const QString path = PathFromText(text);
    if (path.isEmpty()) {
        ShowError(QStringLiteral("Type a full path, beginning with / or ~."));
        return false;
    }
    if (!QFileInfo::exists(path)) {
        ShowError(QStringLiteral("There is no folder or file %1.").arg(path));
        return false;
    }
    m_going = true;
    QTreeWidgetItem* item = Open(path);
    m_going = false;
    if (!item) {
        // The tree has gone as far as it could, to the folder holding what it does not list.
        ShowError(QStringLiteral("The tree does not list %1: it is hidden, or the file mask leaves it out.")
                      .arg(path));
        return false;
    }
    // The typed text has done its work: the box shows where the tree went.
    m_box.setModified(false);
    ShowCaretFolder(item);
    return true;
}

void CTreePathBar::Start(const QString& remembered) {
    const QString path = PathFromText(remembered);
    if (!Open(path))
        Open(QDir::homePath());
    ShowCaretFolder(m_tree.currentItem());
    // Scrolling before the window is shown measures a view of no real size: once more when it is.
    QTimer::singleShot(0, &m_tree, [tree = &m_tree] { tree->RevealItem(tree->currentItem(), true); });
}

void CTreePathBar::ShowCaretFolder(QTreeWidgetItem* caret) {
    const STreeItemRecord* record = m_tree.ItemRecord(caret);
    // Text the user is typing is not overwritten by the tree changing under it.
    if (m_going || !record || record->fullPath.isEmpty() || (m_box.hasFocus() && m_box.isModified()))
        return;
    m_box.setText(record->fileFlag ? QFileInfo(record->fullPath).path() : record->fullPath);
    ClearError();
}

void CTreePathBar::ShowError(const QString& message) {
    QPalette palette = m_normalPalette;
    palette.setColor(QPalette::Base, QColor(255, 214, 214));
    palette.setColor(QPalette::Text, Qt::black);
    m_box.setPalette(palette);
    m_box.setToolTip(message);
    if (m_box.isVisible())
        QToolTip::showText(m_box.mapToGlobal(QPoint(0, m_box.height())), message, &m_box);
}

void CTreePathBar::ClearError() {
    if (m_box.toolTip() == m_normalToolTip)
        return;
    m_box.setPalette(m_normalPalette);
    m_box.setToolTip(m_normalToolTip);
    QToolTip::hideText();
}

void CTreePathBar::FollowMask() {
    QStringList filters;
    for (const QString& pattern : m_tree.Mask().split(u';', Qt::SkipEmptyParts)) {
        if (pattern.trimmed() == u"*.*") {
            filters.clear();
            break;
        }
        filters << pattern.trimmed();
    }
    if (filters != m_fileModel->nameFilters())
        m_fileModel->setNameFilters(filters);
}

void CTreePathBar::FetchTypedFolder(const QString& text) {
    // The completer looks into a folder the model has not read yet only at the next keystroke; asked here,
    // the model reads it on its own thread, and a pasted path completes as soon as the folder is in.
    const QString path = PathFromText(text);
    if (path.isEmpty())
        return;
    const QString folder = text.trimmed().endsWith(u'/') ? path : QFileInfo(path).path();
    const QModelIndex index = m_fileModel->index(folder);
    if (index.isValid() && m_fileModel->canFetchMore(index))
        m_fileModel->fetchMore(index);
}

} // namespace fennick
