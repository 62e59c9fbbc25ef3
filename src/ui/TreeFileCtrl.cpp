#include "ui/TreeFileCtrl.h"

#include "ui/ItemPropertiesDialog.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QStorageInfo>
#include <QUrl>

#include <algorithm>
#include <functional>
#include <utility>

namespace fennick {

namespace {

constexpr int kFileItemType = QTreeWidgetItem::UserType + 1;

// A tree item with the record it carries; the record goes with the item.
class CTreeFileItem : public QTreeWidgetItem {
public:
    explicit CTreeFileItem(const STreeItemRecord& record)
        : QTreeWidgetItem(kFileItemType), m_record(record) {}
    STreeItemRecord m_record;
};

// Shows the wait cursor for the lifetime of the guard.
class CWaitCursor {
public:
    CWaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~CWaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};

// Turns repainting off for the lifetime of the guard (when asked), restoring what was there before.
class CRedrawOff {
public:
    CRedrawOff(QWidget* widget, bool off) : m_widget(widget), m_was(widget->updatesEnabled()) {
        if (off)
            m_widget->setUpdatesEnabled(false);
    }
    ~CRedrawOff() { m_widget->setUpdatesEnabled(m_was); }
    CRedrawOff(const CRedrawOff&) = delete;
    CRedrawOff& operator=(const CRedrawOff&) = delete;

private:
    QWidget* m_widget;
    bool m_was;
};

// Sets a flag for the lifetime of the guard.
class CFlagSetter {
public:
    CFlagSetter(bool& flag, bool value) : m_flag(flag), m_was(flag) { m_flag = value; }
    ~CFlagSetter() { m_flag = m_was; }
    CFlagSetter(const CFlagSetter&) = delete;
    CFlagSetter& operator=(const CFlagSetter&) = delete;

private:
    bool& m_flag;
    bool m_was;
};

const QFileIconProvider& IconProvider() {
    static const QFileIconProvider provider;
    return provider;
}

SClickModifiers ModifiersOf(Qt::KeyboardModifiers modifiers) {
    return {modifiers.testFlag(Qt::ShiftModifier), modifiers.testFlag(Qt::ControlModifier)};
}

QString StripTrailingSeparator(QString path) {
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

// Whether path lies at or below root (letter case ignored).
bool PathIsUnder(const QString& path, const QString& root) {
    if (root == u"/")
        return path.startsWith(u'/');
    if (!path.startsWith(root, Qt::CaseInsensitive))
        return false;
    return path.size() == root.size() || path.at(root.size()) == u'/';
}

} // namespace

// The tree as the selection rules see it.
class CTreeFileCtrl::COutline final : public ITreeOutline {
public:
    explicit COutline(CTreeFileCtrl& tree) : m_tree(tree) {}

    std::vector<Item> VisibleItems() const override {
        const std::vector<QTreeWidgetItem*> items = m_tree.VisibleTreeItems();
        return std::vector<Item>(items.begin(), items.end());
    }
    bool IsMarked(Item item) const override { return item && Cast(item)->isSelected(); }
    void SetMarked(Item item, bool marked) override {
        if (item)
            Cast(item)->setSelected(marked);
    }
    Item Caret() const override { return m_tree.currentItem(); }
    void MoveCaret(Item item) override { m_tree.setCurrentItem(Cast(item)); }

    static QTreeWidgetItem* Cast(Item item) { return static_cast<QTreeWidgetItem*>(item); }

private:
    CTreeFileCtrl& m_tree;
};

CTreeFileCtrl::CTreeFileCtrl(QWidget* parent)
    : QTreeWidget(parent), m_outline(std::make_unique<COutline>(*this)), m_selection(*m_outline) {
    setHeaderHidden(true);
    setColumnCount(1);
    // The control keeps the marks itself; the view only moves the caret.
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setExpandsOnDoubleClick(false);
    setContextMenuPolicy(Qt::PreventContextMenu);
    setUniformRowHeights(true);
    // Long names widen the column and the tree scrolls sideways, rather than cutting them.
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    connect(this, &QTreeWidget::itemExpanded, this, &CTreeFileCtrl::OnItemExpanded);
    connect(this, &QTreeWidget::itemCollapsed, this, &CTreeFileCtrl::OnItemCollapsed);
    // After filling (the slots above run first): watch what is open now, and show what a user just opened.
    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
        SyncWatchedFolders();
        if (!m_walking)
            RevealItem(item);
    });
    connect(this, &QTreeWidget::itemCollapsed, this, [this] { SyncWatchedFolders(); });
    // Changes come in bursts (a layer is several files written one after the other): one refresh a moment
    // after the first report covers them.
    m_refreshTimer.setSingleShot(true);
    m_refreshTimer.setInterval(100);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &CTreeFileCtrl::OnFolderChanged);
    connect(&m_refreshTimer, &QTimer::timeout, this, &CTreeFileCtrl::RefreshChangedFolders);
    connect(this, &QTreeWidget::currentItemChanged, this, &CTreeFileCtrl::OnCurrentItemChanged);
    connect(this, &QTreeWidget::itemChanged, this, &CTreeFileCtrl::OnItemChanged);
}

CTreeFileCtrl::~CTreeFileCtrl() {
    // The items go before the outline that the selection rules hold.
    const QSignalBlocker blocker(this);
    m_selection.ForgetAll();
    clear();
}

// --- configuration ---

void CTreeFileCtrl::ShowComputerNode(bool show) {
    m_showComputerNode = show;
    Rebuild();
}

void CTreeFileCtrl::ShowNetworkNode(bool show) {
    m_showNetworkNode = show;
    Rebuild();
}

void CTreeFileCtrl::EnableOpenCommand(bool enable) {
    m_allowOpen = enable;
}

void CTreeFileCtrl::SetMask(const QString& mask) {
    m_rules.mask = mask;
    Rebuild();
}

void CTreeFileCtrl::SetShowFiles(bool show) {
    m_rules.showFiles = show;
    Rebuild();
}

void CTreeFileCtrl::SetHidingAttributes(unsigned attributes) {
    m_rules.hidingAttributes = attributes;
    Rebuild();
}

void CTreeFileCtrl::SetHiddenDriveTypes(unsigned types) {
    m_hiddenDriveTypes = types;
    Rebuild();
}

void CTreeFileCtrl::ShowDriveLabels(bool show) {
    m_showDriveLabels = show;
    Rebuild();
}

void CTreeFileCtrl::ShowSharedOverlay(bool show) {
    m_showSharedOverlay = show;
    Rebuild();
}

void CTreeFileCtrl::SetExtensionDisplay(EExtensionDisplay display) {
    m_extensionDisplay = display;
    Rebuild();
}

void CTreeFileCtrl::SetCompressedColor(bool enable, QColor color) {
    m_compressedColorOn = enable;
    m_compressedColor = color;
    Rebuild();
}

void CTreeFileCtrl::SetEncryptedColor(bool enable, QColor color) {
    m_encryptedColorOn = enable;
    m_encryptedColor = color;
    Rebuild();
}

void CTreeFileCtrl::UseSystemImageList() {
    m_useIcons = true;
    Rebuild();
}

// --- queries ---

const STreeItemRecord* CTreeFileCtrl::ItemRecord(const QTreeWidgetItem* item) const {
    if (!item || item->type() != kFileItemType)
        return nullptr;
    return &static_cast<const CTreeFileItem*>(item)->m_record;
}

QString CTreeFileCtrl::ItemPath(const QTreeWidgetItem* item) const {
    const STreeItemRecord* record = ItemRecord(item);
    return record ? record->fullPath : QString();
}

QString CTreeFileCtrl::SelectedItemPath() const {
    return ItemPath(currentItem());
}

void CTreeFileCtrl::ExchangePath(bool saving, QString& value) {
    if (saving)
        value = SelectedItemPath();
    else
        SelectPath(value, false);
}

bool CTreeFileCtrl::HasChildrenIndicator(const QTreeWidgetItem* item) const {
    return item && item->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator;
}

void CTreeFileCtrl::SetChildrenIndicator(QTreeWidgetItem* item, bool on) {
    if (!item)
        return;
    // Off still shows the button while child items exist, so that a filled folder can be collapsed.
    item->setChildIndicatorPolicy(on ? QTreeWidgetItem::ShowIndicator
                                     : QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

// --- path tests ---

bool CTreeFileCtrl::PathIsFile(const QString& path) const {
    return fennick::PathIsFile(path);
}

bool CTreeFileCtrl::PathIsFolder(const QString& path) const {
    return fennick::PathIsFolder(path);
}

bool CTreeFileCtrl::PathIsDriveRoot(const QString& path) const {
    if (path == u"/")
        return true;
    return std::any_of(m_drives.begin(), m_drives.end(),
                       [&](const SDriveEntry& d) { return d.root == path; });
}

bool CTreeFileCtrl::PathIsCompressed(const QString& path) const {
    return !PathIsDriveRoot(path) && PathHasCompressedAttribute(path);
}

bool CTreeFileCtrl::PathIsEncrypted(const QString& path) const {
    return !PathIsDriveRoot(path) && PathHasEncryptedAttribute(path);
}

bool CTreeFileCtrl::PathIsShared(const QString&) const {
    // This platform publishes no share list to compare against.
    return false;
}

bool CTreeFileCtrl::PathIsRemovableDrive(const QString& path) const {
    return std::any_of(m_drives.begin(), m_drives.end(), [&](const SDriveEntry& d) {
        return d.root == path && (d.type == kDriveRemovable || d.type == kDriveCdRom);
    });
}

bool CTreeFileCtrl::HasVisibleContent(const QString& path) const {
    // The medium of a removable drive is not touched just to draw a button.
    if (PathIsRemovableDrive(path))
        return true;
    return fennick::HasVisibleContent(path, m_rules);
}

bool CTreeFileCtrl::ShowDriveEntry(const SDriveEntry& drive) const {
    return (drive.type & m_hiddenDriveTypes) == 0;
}

bool CTreeFileCtrl::VolumeReady(const QString& root) const {
    if (!PathIsRemovableDrive(root))
        return true;
    const QStorageInfo volume(root);
    return volume.isValid() && volume.isReady();
}

std::vector<SDriveEntry> CTreeFileCtrl::Drives() const {
    return ListDrives();
}

// --- population ---

QString CTreeFileCtrl::DisplayText(const STreeItemRecord& record, const SDriveEntry* drive) const {
    if (drive)
        return m_showDriveLabels ? drive->displayName : drive->root;
    if (!record.fileFlag)
        return record.name;
    if (m_extensionDisplay == EExtensionDisplay::WithoutExtension) {
        const qsizetype dot = record.name.lastIndexOf(u'.');
        return dot > 0 ? record.name.left(dot) : record.name;
    }
    return record.name;
}

QTreeWidgetItem* CTreeFileCtrl::AddTreeItem(QTreeWidgetItem* parent, const STreeItemRecord& record,
                                            bool shared, bool checkContent, const SDriveEntry* drive,
                                            int index) {
    auto* item = new CTreeFileItem(record);
    item->setText(0, DisplayText(record, drive));
    item->setToolTip(0, record.fullPath);
    if (m_useIcons) {
        const QFileInfo info(record.fullPath);
        // A layer folder is a leaf to add: it looks like the files beside it.
        item->setIcon(0, drive ? IconProvider().icon(QAbstractFileIconProvider::Drive)
                         : record.fileFlag && info.isDir()
                             ? IconProvider().icon(QAbstractFileIconProvider::File)
                             : IconProvider().icon(info));
    }
    // Shares are not published on this platform; a shared item would carry the overlay here.
    (void)shared;
    if (m_compressedColorOn && PathIsCompressed(record.fullPath))
        item->setForeground(0, m_compressedColor);
    else if (m_encryptedColorOn && PathIsEncrypted(record.fullPath))
        item->setForeground(0, m_encryptedColor);
    SetChildrenIndicator(item, checkContent ? HasVisibleContent(record.fullPath) : true);
    if (parent)
        parent->insertChild(index < 0 ? parent->childCount() : index, item);
    else
        insertTopLevelItem(index < 0 ? topLevelItemCount() : index, item);
    return item;
}

void CTreeFileCtrl::FillDrives(QTreeWidgetItem* parent) {
    const CWaitCursor wait;
    m_drives = Drives();
    for (const SDriveEntry& drive : m_drives) {
        if (!ShowDriveEntry(drive))
            continue;
        STreeItemRecord record;
        record.fullPath = drive.root;
        record.name = drive.root;
        AddTreeItem(parent, record, m_showSharedOverlay && PathIsShared(drive.root), true, &drive);
    }
}

void CTreeFileCtrl::FillFolder(const QString& path, QTreeWidgetItem* parent, bool redrawOff) {
    const CWaitCursor wait;
    const CRedrawOff redraw(this, redrawOff);
    RemoveChildren(parent, false);
    // The listing comes sorted: folders first, then files, each by name ignoring case.
    const std::vector<STreeEntry> entries = ListFolder(path, m_rules);
    for (const STreeEntry& entry : entries) {
        STreeItemRecord record;
        record.fullPath = entry.fullPath;
        record.name = entry.name;
        record.fileFlag = entry.isFile ? 1 : 0;
        const bool shared = !entry.isFile && m_showSharedOverlay && PathIsShared(entry.fullPath);
        AddTreeItem(parent, record, shared, true, nullptr);
    }
    if (entries.empty())
        SetChildrenIndicator(parent, false);
}

int CTreeFileCtrl::RemoveChildren(QTreeWidgetItem* item, bool resetIndicator) {
    if (!item)
        return 0;
    const int count = item->childCount();
    while (item->childCount() > 0)
        DeleteItem(item->child(item->childCount() - 1));
    if (resetIndicator)
        SetChildrenIndicator(item, count > 0);
    return count;
}

void CTreeFileCtrl::ForgetSubtree(QTreeWidgetItem* item) {
    m_selection.Forget(item);
    for (int i = 0; i < item->childCount(); ++i)
        ForgetSubtree(item->child(i));
}

void CTreeFileCtrl::DeleteItem(QTreeWidgetItem* item) {
    if (!item)
        return;
    // A caret inside the subtree moves to the item's parent first, as collapsing a folder does.
    for (QTreeWidgetItem* it = currentItem(); it; it = it->parent()) {
        if (it == item) {
            setCurrentItem(item->parent());
            break;
        }
    }
    ForgetSubtree(item);
    for (QTreeWidgetItem* it = m_watched; it; it = it->parent()) {
        if (it == item) {
            m_watched = nullptr;
            break;
        }
    }
    if (item == m_computerItem)
        m_computerItem = nullptr;
    if (item == m_networkItem)
        m_networkItem = nullptr;
    delete item;
}

bool CTreeFileCtrl::ItemVanished(const QTreeWidgetItem* item) const {
    const STreeItemRecord* record = ItemRecord(item);
    return record && item != m_computerItem && !record->networkNode && !record->networkResource &&
           !record->fullPath.isEmpty() && !PathIsDriveRoot(record->fullPath) &&
           !PathIsFile(record->fullPath) && !PathIsFolder(record->fullPath);
}

bool CTreeFileCtrl::DropIfVanished(QTreeWidgetItem* item) {
    // Checked before a click or key acts on an item, so that nothing uses an item that selecting removes.
    if (!ItemVanished(item))
        return false;
    RemoveVanishedItem(item);
    return true;
}

void CTreeFileCtrl::RemoveVanishedItem(QTreeWidgetItem* item) {
    QTreeWidgetItem* parent = item->parent();
    DeleteItem(item);
    // The parent loses its button only when nothing is left under it.
    if (parent && parent->childCount() == 0)
        SetChildrenIndicator(parent, false);
    SyncWatchedFolders();
}

void CTreeFileCtrl::Rebuild() {
    const CWaitCursor wait;
    const CRedrawOff redraw(this, true);
    const QString caretPath = SelectedItemPath();
    const bool caretExpanded = currentItem() && currentItem()->isExpanded();
    ++m_historyHold;
    {
        const CFlagSetter quiet(m_notify, false);
        m_selection.ForgetAll();
        m_computerItem = nullptr;
        m_networkItem = nullptr;
        clear();
        m_caretPath.clear();
    }
    if (m_showComputerNode) {
        STreeItemRecord record;
        record.name = QStringLiteral("Computer");
        m_computerItem = AddTreeItem(nullptr, record, false, false, nullptr);
        m_computerItem->setText(0, record.name);
        if (m_useIcons)
            m_computerItem->setIcon(0, IconProvider().icon(QAbstractFileIconProvider::Computer));
    } else {
        FillDrives(nullptr);
    }
    if (m_showNetworkNode) {
        STreeItemRecord record;
        record.name = QStringLiteral("Network");
        record.networkNode = 1;
        // No network resources are browsed on this platform: the node has nothing under it.
        m_networkItem = AddTreeItem(nullptr, record, false, false, nullptr);
        m_networkItem->setText(0, record.name);
        SetChildrenIndicator(m_networkItem, false);
        if (m_useIcons)
            m_networkItem->setIcon(0, IconProvider().icon(QAbstractFileIconProvider::Network));
    }
    if (!caretPath.isEmpty())
        SelectPath(caretPath, caretExpanded);
    --m_historyHold;
    SyncWatchedFolders();
}

QTreeWidgetItem* CTreeFileCtrl::FindChildByName(QTreeWidgetItem* parent, const QString& name) const {
    // An exact match wins over one that differs only in letter case, which this file system allows.
    QTreeWidgetItem* caseless = nullptr;
    const int count = parent ? parent->childCount() : topLevelItemCount();
    for (int i = 0; i < count; ++i) {
        QTreeWidgetItem* child = parent ? parent->child(i) : topLevelItem(i);
        const STreeItemRecord* record = ItemRecord(child);
        if (!record)
            continue;
        if (record->name == name)
            return child;
        if (!caseless && record->name.compare(name, Qt::CaseInsensitive) == 0)
            caseless = child;
    }
    return caseless;
}

QTreeWidgetItem* CTreeFileCtrl::TopLevelDriveFor(const QString& path) const {
    // The drive with the longest root that holds path: a volume mounted below "/" takes its own paths.
    QTreeWidgetItem* best = nullptr;
    qsizetype bestLength = -1;
    QTreeWidgetItem* container = m_computerItem;
    const int count = container ? container->childCount() : topLevelItemCount();
    for (int i = 0; i < count; ++i) {
        QTreeWidgetItem* item = container ? container->child(i) : topLevelItem(i);
        const STreeItemRecord* record = ItemRecord(item);
        if (!record || record->fullPath.isEmpty() || record->networkNode)
            continue;
        if (PathIsUnder(path, record->fullPath) && record->fullPath.size() > bestLength) {
            best = item;
            bestLength = record->fullPath.size();
        }
    }
    return best;
}

void CTreeFileCtrl::ExpandItem(QTreeWidgetItem* item) {
    if (!item)
        return;
    QTreeWidgetItem* outer = m_watched;
    m_watched = item;
    if (item->childCount() == 0 && HasChildrenIndicator(item))
        OnItemExpanded(item);
    // Filling removes an item whose folder vanished; only a surviving item with children opens.
    const bool survived = m_watched != nullptr;
    m_watched = (!survived && outer == item) ? nullptr : outer;
    if (survived && item->childCount() > 0 && !item->isExpanded())
        item->setExpanded(true);
}

QTreeWidgetItem* CTreeFileCtrl::SelectPath(const QString& pathIn, bool expand) {
    if (pathIn.isEmpty())
        return nullptr;
    QString path = QDir::cleanPath(StripTrailingSeparator(pathIn));
    if (!path.startsWith(u'/'))
        return nullptr;
    const QString before = SelectedItemPath();
    QTreeWidgetItem* found = nullptr;
    {
        const CRedrawOff redraw(this, true);
        const CFlagSetter walking(m_walking, true);
        ++m_historyHold;
        if (m_computerItem)
            ExpandItem(m_computerItem);
        QTreeWidgetItem* current = TopLevelDriveFor(path);
        if (current) {
            const QString root = ItemPath(current);
            const QStringList parts =
                path.mid(root == u"/" ? 1 : root.size()).split(u'/', Qt::SkipEmptyParts);
            found = current;
            // Selecting or expanding an item whose folder has gone removes it; the walk stops there.
            for (qsizetype i = 0; i < parts.size() && found; ++i) {
                m_watched = current;
                setCurrentItem(current);
                if (m_watched)
                    ExpandItem(current);
                found = m_watched ? FindChildByName(current, parts[i]) : nullptr;
                if (found)
                    current = found;
            }
            if (found) {
                m_watched = found;
                setCurrentItem(found);
                // A folder already open is read again: going to a folder shows it as the disk has it now,
                // not as it was when the watcher last reported.
                if (m_watched && expand && found->isExpanded())
                    RefreshFolder(found);
                else if (m_watched && expand)
                    ExpandItem(found);
                found = m_watched;
            }
            m_watched = nullptr;
        }
        --m_historyHold;
    }
    // The whole walk counts as one move of the caret.
    const QString after = SelectedItemPath();
    if (!m_navigating && m_historyHold == 0 && !before.isEmpty() && before != after)
        m_history.Record(before);
    m_caretPath = after;
    RevealItem(found, true);
    return found;
}

void CTreeFileCtrl::RevealItem(QTreeWidgetItem* item, bool folderOnTop) {
    if (!item)
        return;
    QTreeWidgetItem* folder = item->isExpanded() ? item : item->parent();
    if (folder && folderOnTop) {
        scrollToItem(folder, QAbstractItemView::PositionAtTop);
    } else if (folder && folder->isExpanded() && folder->childCount() > 0) {
        // The last entry first, then the folder: a folder with few entries shows them all without moving
        // more than needed; a long one ends on the top row with the view full of its entries.
        scrollToItem(folder->child(folder->childCount() - 1), QAbstractItemView::EnsureVisible);
        scrollToItem(folder, QAbstractItemView::EnsureVisible);
    }
    scrollToItem(item, QAbstractItemView::EnsureVisible);
}

void CTreeFileCtrl::OnItemExpanded(QTreeWidgetItem* item) {
    if (!item || item->childCount() > 0 || !HasChildrenIndicator(item))
        return;
    if (item == m_computerItem) {
        FillDrives(item);
        return;
    }
    const STreeItemRecord* record = ItemRecord(item);
    if (!record || record->networkNode || record->networkResource)
        return;
    const QString path = record->fullPath;
    if (!VolumeReady(path)) {
        // No medium in the drive: the item closes and loses its button.
        const CWaitCursor wait;
        const QSignalBlocker blocker(this);
        item->setExpanded(false);
        RemoveChildren(item, true);
        return;
    }
    if (PathIsFolder(path))
        FillFolder(path, item, true);
    else
        RemoveVanishedItem(item);
}

void CTreeFileCtrl::OnItemCollapsed(QTreeWidgetItem* item) {
    const CWaitCursor wait;
    RemoveChildren(item, true);
}

void CTreeFileCtrl::OnCurrentItemChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous) {
    // The caret carries a mark as in the tree view: the item left loses it, the new caret gains it.
    if (previous)
        previous->setSelected(false);
    if (current)
        current->setSelected(true);
    if (!current)
        return;
    const STreeItemRecord* record = ItemRecord(current);
    if (record && current != m_computerItem && !record->networkNode && !record->networkResource &&
        !PathIsDriveRoot(record->fullPath) && !PathIsFile(record->fullPath) &&
        !PathIsFolder(record->fullPath)) {
        RemoveVanishedItem(current);
        return;
    }
    const QString path = ItemPath(current);
    if (!m_navigating && m_historyHold == 0 && !m_caretPath.isEmpty() && m_caretPath != path)
        m_history.Record(m_caretPath);
    m_caretPath = path;
    SelectionChangedHook(current, path);
    if (m_notify)
        emit SelectionChanged(current);
}

void CTreeFileCtrl::SelectionChangedHook(QTreeWidgetItem*, const QString&) {}

// --- watching the open folders ---

void CTreeFileCtrl::SyncWatchedFolders() {
    QSet<QString> open;
    for (QTreeWidgetItem* item : VisibleTreeItems()) {
        const QString path = ItemPath(item);
        if (item->isExpanded() && !path.isEmpty())
            open.insert(path);
    }
    // Closed, vanished and rebuilt-away folders are released, so the watch list never outgrows the tree.
    QStringList released;
    for (const QString& path : m_watcher.directories())
        if (!open.remove(path))
            released << path;
    if (!released.isEmpty())
        m_watcher.removePaths(released);
    if (!open.isEmpty())
        m_watcher.addPaths(QStringList(open.begin(), open.end()));
}

void CTreeFileCtrl::OnFolderChanged(const QString& path) {
    m_changedFolders.insert(path);
    if (!m_refreshTimer.isActive())
        m_refreshTimer.start();
}

void CTreeFileCtrl::RefreshChangedFolders() {
    // A label being edited keeps its item until the edit ends.
    if (m_renaming) {
        m_refreshTimer.start();
        return;
    }
    const QSet<QString> paths = std::exchange(m_changedFolders, {});
    for (const QString& path : paths) {
        // Looked up afresh each time: refreshing one folder may remove another.
        const std::vector<QTreeWidgetItem*> items = VisibleTreeItems();
        const auto open = std::find_if(items.begin(), items.end(), [&](QTreeWidgetItem* item) {
            return item->isExpanded() && ItemPath(item) == path;
        });
        if (open != items.end())
            RefreshFolder(*open);
    }
}

void CTreeFileCtrl::RefreshFolder(QTreeWidgetItem* item) {
    const QString path = ItemPath(item);
    if (path.isEmpty())
        return;
    if (!PathIsFolder(path)) {
        RemoveVanishedItem(item);
        return;
    }
    const std::vector<STreeEntry> entries = ListFolder(path, m_rules);
    // A name stands for an entry only with its kind: a file replaced by a folder of that name is new.
    auto key = [](const QString& name, bool isFile) { return (isFile ? u'f' : u'd') + name; };
    QSet<QString> listed;
    for (const STreeEntry& entry : entries)
        listed.insert(key(entry.name, entry.isFile));
    for (int i = item->childCount() - 1; i >= 0; --i) {
        const STreeItemRecord* record = ItemRecord(item->child(i));
        if (!record || !listed.contains(key(record->name, record->fileFlag != 0)))
            DeleteItem(item->child(i));
    }
    // What is left is in listing order, so every new entry goes in where the listing puts it; the items that
    // stay keep their marks, their open state and everything below them.
    for (int row = 0; row < int(entries.size()); ++row) {
        const STreeEntry& entry = entries[size_t(row)];
        const STreeItemRecord* record = ItemRecord(item->child(row));
        if (record && record->name == entry.name && (record->fileFlag != 0) == entry.isFile)
            continue;
        STreeItemRecord added;
        added.fullPath = entry.fullPath;
        added.name = entry.name;
        added.fileFlag = entry.isFile ? 1 : 0;
        const bool shared = !entry.isFile && m_showSharedOverlay && PathIsShared(entry.fullPath);
        AddTreeItem(item, added, shared, true, nullptr, row);
    }
    SetChildrenIndicator(item, !entries.empty());
    SyncWatchedFolders();
}

// --- marks ---

std::vector<QTreeWidgetItem*> CTreeFileCtrl::VisibleTreeItems() const {
    std::vector<QTreeWidgetItem*> items;
    std::function<void(QTreeWidgetItem*)> walk = [&](QTreeWidgetItem* item) {
        items.push_back(item);
        if (item->isExpanded())
            for (int i = 0; i < item->childCount(); ++i)
                walk(item->child(i));
    };
    for (int i = 0; i < topLevelItemCount(); ++i)
        walk(topLevelItem(i));
    return items;
}

bool CTreeFileCtrl::IsMarked(const QTreeWidgetItem* item) const {
    return item && item->isSelected();
}

void CTreeFileCtrl::ClearMarks() {
    const CFlagSetter quiet(m_notify, false);
    m_selection.ClearMarks();
}

int CTreeFileCtrl::CountMarks() const {
    return m_selection.CountMarks();
}

void CTreeFileCtrl::MarkRange(QTreeWidgetItem* anchor, QTreeWidgetItem* item) {
    const CFlagSetter quiet(m_notify, false);
    m_selection.MarkRange(anchor, item);
}

void CTreeFileCtrl::ApplyClick(QTreeWidgetItem* item, SClickModifiers modifiers) {
    if (DropIfVanished(item))
        return;
    if (modifiers.ctrl && !modifiers.shift)
        emit SelectionChanging(item);
    {
        const CFlagSetter quiet(m_notify, false);
        m_selection.ApplyClick(item, modifiers);
    }
    NotifySelection(item);
}

QTreeWidgetItem* CTreeFileCtrl::AnchorItem() const {
    return COutline::Cast(m_selection.Anchor());
}

void CTreeFileCtrl::SelectedFilePaths(QStringList& paths) const {
    for (QTreeWidgetItem* item : VisibleTreeItems()) {
        const QString path = ItemPath(item);
        if (item->isSelected() && !path.isEmpty() && PathIsFile(path))
            paths.append(path);
    }
}

void CTreeFileCtrl::NotifySelection(QTreeWidgetItem* item) {
    emit SelectionChanged(item);
}

// --- commands ---

bool CTreeFileCtrl::IsCommandEnabled(int command) const {
    QTreeWidgetItem* caret = currentItem();
    const QString path = ItemPath(caret);
    switch (command) {
    case kCmdOpen:
        return caret && m_allowOpen;
    case kCmdRename:
        return caret && m_allowRename && !path.isEmpty() && !PathIsDriveRoot(path);
    case kCmdDelete:
        return caret && m_allowDelete && !path.isEmpty() && !PathIsDriveRoot(path);
    case kCmdProperties:
        return caret && m_allowProperties;
    case kCmdRefresh:
        return true;
    case kCmdParent:
        return caret && caret->parent();
    case kCmdBack:
        return m_history.CanGoBack();
    case kCmdForward:
        return m_history.CanGoForward();
    default:
        return false;
    }
}

void CTreeFileCtrl::RunCommand(int command) {
    if (!IsCommandEnabled(command))
        return;
    switch (command) {
    case kCmdOpen:
        OpenItem(currentItem());
        break;
    case kCmdRename:
        RunRename(currentItem());
        break;
    case kCmdDelete:
        RunDelete(currentItem());
        break;
    case kCmdProperties:
        ShowItemProperties(currentItem());
        break;
    case kCmdRefresh:
        Rebuild();
        break;
    case kCmdParent:
        SelectParent();
        break;
    case kCmdBack:
        HistoryBack();
        break;
    case kCmdForward:
        HistoryForward();
        break;
    default:
        break;
    }
}

void CTreeFileCtrl::OpenItem(QTreeWidgetItem* item) {
    const QString path = ItemPath(item);
    if (m_allowOpen && !path.isEmpty())
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void CTreeFileCtrl::ShowItemProperties(QTreeWidgetItem* item) {
    const QString path = ItemPath(item);
    if (m_allowProperties && !path.isEmpty())
        ShowPropertiesDialog(path);
}

void CTreeFileCtrl::ShowPropertiesDialog(const QString& path) {
    CItemPropertiesDialog dialog(path, this);
    dialog.exec();
}

void CTreeFileCtrl::RunRename(QTreeWidgetItem* item) {
    if (!item)
        return;
    // The label becomes editable; OnItemChanged renames the file when the edit is committed.
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    m_renaming = true;
    editItem(item, 0);
}

void CTreeFileCtrl::OnItemChanged(QTreeWidgetItem* item, int) {
    if (!m_renaming || item->type() != kFileItemType)
        return;
    m_renaming = false;
    auto* fileItem = static_cast<CTreeFileItem*>(item);
    const QSignalBlocker blocker(this);
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    const QString newName = item->text(0);
    const QString oldPath = fileItem->m_record.fullPath;
    const QString newPath = JoinTreePath(QFileInfo(oldPath).path(), newName);
    if (newName.isEmpty() || newName.contains(u'/') || QFileInfo::exists(newPath) ||
        !QFile::rename(oldPath, newPath)) {
        item->setText(0, DisplayText(fileItem->m_record, nullptr));
        return;
    }
    fileItem->m_record.fullPath = newPath;
    fileItem->m_record.name = newName;
    item->setText(0, DisplayText(fileItem->m_record, nullptr));
    if (item == currentItem())
        m_caretPath = newPath;
}

void CTreeFileCtrl::RunDelete(QTreeWidgetItem* item) {
    const QString path = ItemPath(item);
    if (path.isEmpty())
        return;
    // Only a file or an empty folder is removed; nothing is deleted recursively from a picker.
    const bool removed = PathIsFolder(path) ? QDir().rmdir(path) : QFile::remove(path);
    if (removed)
        RemoveVanishedItem(item);
}

void CTreeFileCtrl::SelectParent() {
    QTreeWidgetItem* caret = currentItem();
    if (caret && caret->parent())
        setCurrentItem(caret->parent());
}

void CTreeFileCtrl::HistoryBack() {
    MoveHistory(true);
}

void CTreeFileCtrl::HistoryForward() {
    MoveHistory(false);
}

void CTreeFileCtrl::MoveHistory(bool back) {
    const QString remembered = SelectedItemPath();
    const CFlagSetter navigating(m_navigating, true);
    // Entries whose path can no longer be selected are dropped on the way.
    while (back ? m_history.CanGoBack() : m_history.CanGoForward()) {
        const QString path = back ? m_history.TakeBack() : m_history.TakeForward();
        QTreeWidgetItem* item = SelectPath(path, false);
        if (!item)
            continue;
        scrollToItem(item);
        if (!remembered.isEmpty() && remembered != path) {
            if (back)
                m_history.PushForward(remembered);
            else
                m_history.PushBack(remembered);
        }
        return;
    }
}

bool CTreeFileCtrl::CommandOffered(int command) const {
    switch (command) {
    case kCmdOpen:
        return m_allowOpen;
    case kCmdRename:
        return m_allowRename;
    case kCmdDelete:
        return m_allowDelete;
    case kCmdProperties:
        return m_allowProperties;
    default:
        return true;
    }
}

void CTreeFileCtrl::ShowContextMenu(const QPoint& globalPos) {
    QMenu menu(this);
    const struct {
        int command;
        const char* text;
    } items[] = {{kCmdOpen, "&Open"},
                 {kCmdRename, "&Rename"},
                 {kCmdDelete, "&Delete"},
                 {kCmdProperties, "&Properties"},
                 {kCmdRefresh, "Re&fresh\tF5"}};
    for (const auto& entry : items) {
        if (!CommandOffered(entry.command))
            continue;
        if (entry.command == kCmdRefresh && !menu.isEmpty())
            menu.addSeparator();
        QAction* action = menu.addAction(QString::fromLatin1(entry.text));
        action->setData(entry.command);
        action->setEnabled(IsCommandEnabled(entry.command));
    }
    if (QAction* chosen = ExecContextMenu(menu, globalPos))
        RunCommand(chosen->data().toInt());
}

QAction* CTreeFileCtrl::ExecContextMenu(QMenu& menu, const QPoint& globalPos) {
    return menu.exec(globalPos);
}

// --- mouse and keys ---

QTreeWidgetItem* CTreeFileCtrl::HitItem(const QPoint& viewportPos) const {
    QTreeWidgetItem* item = itemAt(viewportPos);
    if (!item)
        return nullptr;
    // The indentation and the expand button are not the item.
    return visualItemRect(item).contains(viewportPos) ? item : nullptr;
}

void CTreeFileCtrl::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    QTreeWidgetItem* item = HitItem(pos);
    if (event->button() == Qt::LeftButton) {
        m_ownPress = item != nullptr;
        if (!item) {
            QTreeWidget::mousePressEvent(event);
            return;
        }
        setFocus(Qt::MouseFocusReason);
        if (DropIfVanished(item)) {
            m_ownPress = false;
            event->accept();
            return;
        }
        bool applied = false;
        {
            const CFlagSetter quiet(m_notify, false);
            const SClickModifiers modifiers = ModifiersOf(event->modifiers());
            if (!IsMarked(item) && modifiers.ctrl && !modifiers.shift)
                emit SelectionChanging(item);
            applied = m_selection.Press(item, pos, modifiers);
        }
        if (applied)
            NotifySelection(item);
        event->accept();
        return;
    }
    if (event->button() == Qt::RightButton) {
        setFocus(Qt::MouseFocusReason);
        if (item && DropIfVanished(item))
            item = nullptr;
        if (item) {
            m_selection.RightPress(item);
        } else {
            // A right click on empty space leaves no caret for the menu to act on.
            const CFlagSetter quiet(m_notify, false);
            setCurrentItem(nullptr);
        }
        event->accept();
        return;
    }
    QTreeWidget::mousePressEvent(event);
}

void CTreeFileCtrl::mouseMoveEvent(QMouseEvent* event) {
    if (m_ownPress && (event->buttons() & Qt::LeftButton)) {
        const QSize distance(QApplication::startDragDistance(), QApplication::startDragDistance());
        if (void* dragged = m_selection.MoveWhilePressed(event->position().toPoint(), distance)) {
            // Dragging is not offered; the owner only hears that it would begin.
            emit BeginDrag(COutline::Cast(dragged));
        }
        event->accept();
        return;
    }
    QTreeWidget::mouseMoveEvent(event);
}

void CTreeFileCtrl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && m_ownPress) {
        m_ownPress = false;
        bool applied = false;
        QTreeWidgetItem* caret = nullptr;
        {
            const CFlagSetter quiet(m_notify, false);
            applied = m_selection.Release(ModifiersOf(event->modifiers()));
            caret = currentItem();
        }
        if (applied)
            NotifySelection(caret);
        event->accept();
        return;
    }
    if (event->button() == Qt::RightButton) {
        event->accept();
        ShowContextMenu(viewport()->mapToGlobal(event->position().toPoint()));
        return;
    }
    QTreeWidget::mouseReleaseEvent(event);
}

void CTreeFileCtrl::mouseDoubleClickEvent(QMouseEvent* event) {
    QTreeWidgetItem* item =
        event->button() == Qt::LeftButton ? HitItem(event->position().toPoint()) : nullptr;
    if (!item) {
        QTreeWidget::mouseDoubleClickEvent(event);
        return;
    }
    event->accept();
    if (DropIfVanished(item))
        return;
    // A file or an empty folder is opened (when Open is allowed); a folder opens or closes.
    if (item == currentItem() && !HasChildrenIndicator(item) && item->childCount() == 0)
        QMetaObject::invokeMethod(
            this, [this] { RunCommand(kCmdOpen); }, Qt::QueuedConnection);
    if (item->isExpanded()) {
        item->setExpanded(false);
    } else if (HasChildrenIndicator(item)) {
        m_watched = item;
        ExpandItem(item);
        item = std::exchange(m_watched, nullptr);
    }
    emit ItemDoubleClicked(item);
}

void CTreeFileCtrl::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const bool shift = modifiers.testFlag(Qt::ShiftModifier);
    const bool alt = modifiers.testFlag(Qt::AltModifier);
    auto run = [&](int command) {
        event->accept();
        RunCommand(command);
    };

    if ((key == Qt::Key_F10 && modifiers == Qt::ShiftModifier) || key == Qt::Key_Menu) {
        event->accept();
        QTreeWidgetItem* caret = currentItem();
        const QRect rect = caret ? visualItemRect(caret) : QRect(QPoint(0, 0), QSize(0, 0));
        ShowContextMenu(viewport()->mapToGlobal(rect.center()));
        return;
    }
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && alt)
        return run(kCmdProperties);
    // Enter is the Open command, even when Open is disabled: it never reaches the dialog.
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !alt)
        return run(kCmdOpen);
    if (key == Qt::Key_Delete && modifiers == Qt::NoModifier)
        return run(kCmdDelete);
    if (key == Qt::Key_Backspace && modifiers == Qt::NoModifier)
        return run(kCmdParent);
    if (key == Qt::Key_F2 && modifiers == Qt::NoModifier)
        return run(kCmdRename);
    if (key == Qt::Key_F5 && modifiers == Qt::NoModifier)
        return run(kCmdRefresh);
    if (key == Qt::Key_Left && modifiers == Qt::AltModifier)
        return run(kCmdBack);
    if (key == Qt::Key_Right && modifiers == Qt::AltModifier)
        return run(kCmdForward);

    if ((key == Qt::Key_Up || key == Qt::Key_Down) && !alt) {
        event->accept();
        QTreeWidgetItem* caret = currentItem();
        QTreeWidgetItem* target = caret ? (key == Qt::Key_Up ? itemAbove(caret) : itemBelow(caret))
                                        : (topLevelItemCount() > 0 ? topLevelItem(0) : nullptr);
        if (target && DropIfVanished(target))
            return;
        bool notify = false;
        {
            const CFlagSetter quiet(m_notify, !shift);
            notify = m_selection.LineKey(target, shift);
        }
        if (shift)
            emit ItemKeyDown(key);
        if (notify)
            NotifySelection(currentItem());
        if (currentItem())
            scrollToItem(currentItem());
        return;
    }
    if ((key == Qt::Key_PageUp || key == Qt::Key_PageDown) && !alt) {
        event->accept();
        const QModelIndex index = moveCursor(key == Qt::Key_PageUp ? QAbstractItemView::MovePageUp
                                                                   : QAbstractItemView::MovePageDown,
                                             event->modifiers());
        QTreeWidgetItem* target = itemFromIndex(index);
        if (target && DropIfVanished(target))
            return;
        bool notify = false;
        {
            const CFlagSetter quiet(m_notify, !shift);
            notify = m_selection.PageKey(target, shift);
        }
        if (notify)
            NotifySelection(currentItem());
        if (currentItem())
            scrollToItem(currentItem());
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

} // namespace fennick
