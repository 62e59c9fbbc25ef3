#pragma once
// CTreeFileCtrl: a tree of the computer's drives, folders and mask-matched files, used as a file picker.
// A folder's contents are read when it is expanded and discarded when it is collapsed, so every expansion
// shows the disk as it is. The open folders are watched, so that files created, removed or renamed there
// appear and go without a refresh. On top of the tree's single caret the control keeps its own multiple
// selection (the marks), a context menu and key commands, and a history of caret positions.

#include "ui/DriveList.h"
#include "ui/FileTreeRules.h"
#include "ui/TreeHistory.h"
#include "ui/TreeSelection.h"

#include <QColor>
#include <QFileSystemWatcher>
#include <QSet>
#include <QStringList>
#include <QTimer>
#include <QTreeWidget>

#include <cstdint>
#include <vector>

class QMenu;
class QAction;

namespace fennick {

// What every tree item carries.
struct STreeItemRecord {
    QString fullPath;                // "/" or a mount point for a drive, else the complete path
    QString name;                    // the drive's root, or the file or folder name with its extension
    void* networkResource = nullptr; // always null here
    uint32_t networkNode = 0;
    uint32_t fileFlag = 0; // 1 for files; sorting puts 0 before 1
};

class CTreeFileCtrl : public QTreeWidget {
    Q_OBJECT

public:
    // Commands, with the identifiers the menu and keys use.
    enum ECommand {
        kCmdOpen = 32782,
        kCmdDelete = 32783,
        kCmdRename = 32784,
        kCmdProperties = 32785,
        kCmdRefresh = 32790,
        kCmdParent = 32778,
        kCmdBack = 32803,
        kCmdForward = 32804,
    };
    enum class EExtensionDisplay { ShellDecides, WithoutExtension, WithExtension };

    explicit CTreeFileCtrl(QWidget* parent = nullptr);
    ~CTreeFileCtrl() override;

    // Configuration. Setters that change the contents rebuild the tree.
    void ShowComputerNode(bool show);
    void ShowNetworkNode(bool show);
    void EnableOpenCommand(bool enable);
    void EnablePropertiesCommand(bool enable) { m_allowProperties = enable; }
    void EnableRenameCommand(bool enable) { m_allowRename = enable; }
    void EnableDeleteCommand(bool enable) { m_allowDelete = enable; }
    void EnableDrag(bool enable) { m_allowDrag = enable; }
    void SetMask(const QString& mask);
    QString Mask() const { return m_rules.mask; }
    void SetShowFiles(bool show);
    void SetHidingAttributes(unsigned attributes);
    void SetHiddenDriveTypes(unsigned types);
    void ShowDriveLabels(bool show);
    void ShowSharedOverlay(bool show);
    void SetExtensionDisplay(EExtensionDisplay display);
    void SetCompressedColor(bool enable, QColor color = QColor(0, 0, 255));
    void SetEncryptedColor(bool enable, QColor color = QColor(255, 0, 0));
    // Gives the items the system's file icons, then rebuilds.
    void UseSystemImageList();

    // Selects the item of path (letter case and a trailing separator do not matter), expanding the folders
    // on the way; expands the item itself when expand is set (reading it again when it is open already).
    // Returns null when the path cannot be followed, leaving the deepest folder found selected.
    QTreeWidgetItem* SelectPath(const QString& path, bool expand);
    // Scrolls so that item shows among its folder's entries: the folder (item itself when it is open, else
    // its parent) with as many of its entries below it as fit, and item in view. The folder goes to the top
    // row when folderOnTop is set (going somewhere), else the view moves no more than needed (opening a
    // folder in place). SelectPath goes somewhere.
    void RevealItem(QTreeWidgetItem* item, bool folderOnTop = false);
    // The caret item's full path, empty when there is none.
    QString SelectedItemPath() const;
    // An item's full path, empty for none.
    QString ItemPath(const QTreeWidgetItem* item) const;
    // Dialog data exchange: saving reads the caret path, loading selects value without expanding.
    void ExchangePath(bool saving, QString& value);

    // Path tests.
    virtual bool PathIsFile(const QString& path) const;
    virtual bool PathIsFolder(const QString& path) const;
    virtual bool PathIsDriveRoot(const QString& path) const;
    virtual bool PathIsCompressed(const QString& path) const;
    virtual bool PathIsEncrypted(const QString& path) const;
    virtual bool PathIsShared(const QString& path) const;
    virtual bool PathIsRemovableDrive(const QString& path) const;

    // Reads the drives again and fills the tree, keeping the caret on the same path.
    virtual void Rebuild();
    // Replaces the children of parent with the folders and files of path.
    virtual void FillFolder(const QString& path, QTreeWidgetItem* parent, bool redrawOff);
    // Lists the drives under parent (top level when null).
    virtual void FillDrives(QTreeWidgetItem* parent);
    virtual bool HasVisibleContent(const QString& path) const;
    virtual bool ShowDriveEntry(const SDriveEntry& drive) const;
    // Whether a removable drive holds a readable medium.
    virtual bool VolumeReady(const QString& root) const;
    // Deletes the children of item; with resetIndicator its expand button stays only if it had children.
    // Returns the number deleted.
    virtual int RemoveChildren(QTreeWidgetItem* item, bool resetIndicator);
    virtual QTreeWidgetItem* FindChildByName(QTreeWidgetItem* parent, const QString& name) const;

    // Children indicator: whether the item shows an expand button before it has child items.
    bool HasChildrenIndicator(const QTreeWidgetItem* item) const;
    const STreeItemRecord* ItemRecord(const QTreeWidgetItem* item) const;

    // The marks.
    bool IsMarked(const QTreeWidgetItem* item) const;
    void ClearMarks();
    int CountMarks() const;
    void MarkRange(QTreeWidgetItem* anchor, QTreeWidgetItem* item);
    void ApplyClick(QTreeWidgetItem* item, SClickModifiers modifiers);
    QTreeWidgetItem* AnchorItem() const;
    // Appends the paths of the visible marked files, from top to bottom.
    void SelectedFilePaths(QStringList& paths) const;
    // The items the outline shows, top to bottom.
    std::vector<QTreeWidgetItem*> VisibleTreeItems() const;

    // Commands.
    bool IsCommandEnabled(int command) const;
    // Runs command when it is enabled; a disabled command does nothing.
    void RunCommand(int command);
    void OpenItem(QTreeWidgetItem* item);
    void ShowItemProperties(QTreeWidgetItem* item);
    void SelectParent();
    void HistoryBack();
    void HistoryForward();
    const CTreeHistory& History() const { return m_history; }
    // Opens the context menu at a global position. It lists the commands the configuration allows (a
    // command that could never be enabled is left out), then Refresh.
    void ShowContextMenu(const QPoint& globalPos);

    // The folders watched for changes: exactly the open ones.
    QStringList WatchedFolders() const { return m_watcher.directories(); }

signals:
    // The caret changed (the tree's own changes, and one per mouse click or Shift+arrow step).
    void SelectionChanged(QTreeWidgetItem* item);
    // A Ctrl+click is about to change the selection.
    void SelectionChanging(QTreeWidgetItem* item);
    // The pointer left the drag distance while pressed on item.
    void BeginDrag(QTreeWidgetItem* item);
    // Shift+Up or Shift+Down was pressed.
    void ItemKeyDown(int key);
    // An item was double-clicked (after the control's own handling).
    void ItemDoubleClicked(QTreeWidgetItem* item);

protected:
    // Hooks and seams.
    virtual void SelectionChangedHook(QTreeWidgetItem* item, const QString& path);
    // Shows menu at globalPos and returns the chosen action (null when none). Tests replace it.
    virtual QAction* ExecContextMenu(QMenu& menu, const QPoint& globalPos);
    // Shows the properties of path. Tests replace it.
    virtual void ShowPropertiesDialog(const QString& path);
    // The drives to list. Tests replace it to root the tree in a temporary folder.
    virtual std::vector<SDriveEntry> Drives() const;

    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    class COutline;
    friend class COutline;

    // Adds the item at index among parent's children (at the end when index is negative).
    QTreeWidgetItem* AddTreeItem(QTreeWidgetItem* parent, const STreeItemRecord& record, bool shared,
                                 bool checkContent, const SDriveEntry* drive, int index = -1);
    QString DisplayText(const STreeItemRecord& record, const SDriveEntry* drive) const;
    void SetChildrenIndicator(QTreeWidgetItem* item, bool on);
    void DeleteItem(QTreeWidgetItem* item);
    void ForgetSubtree(QTreeWidgetItem* item);
    void RemoveVanishedItem(QTreeWidgetItem* item);
    // An item whose file or folder no longer exists (drives and the special nodes never vanish).
    bool ItemVanished(const QTreeWidgetItem* item) const;
    bool DropIfVanished(QTreeWidgetItem* item);
    void ExpandItem(QTreeWidgetItem* item);
    void OnItemExpanded(QTreeWidgetItem* item);
    void OnItemCollapsed(QTreeWidgetItem* item);
    void OnCurrentItemChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous);
    QTreeWidgetItem* HitItem(const QPoint& viewportPos) const;
    QTreeWidgetItem* TopLevelDriveFor(const QString& path) const;
    void NotifySelection(QTreeWidgetItem* item);
    void MoveHistory(bool back);
    void RunRename(QTreeWidgetItem* item);
    void RunDelete(QTreeWidgetItem* item);
    void OnItemChanged(QTreeWidgetItem* item, int column);
    // Whether the configuration lets command ever be enabled.
    bool CommandOffered(int command) const;

    // Watching the open folders.
    void SyncWatchedFolders();
    void OnFolderChanged(const QString& path);
    void RefreshChangedFolders();
    // Brings an open folder's children in line with the disk, keeping the items that are still there.
    void RefreshFolder(QTreeWidgetItem* item);

    std::unique_ptr<COutline> m_outline;
    CTreeSelection m_selection;
    CTreeHistory m_history;

    STreeListRules m_rules;
    unsigned m_hiddenDriveTypes = 0;
    bool m_showComputerNode = true;
    bool m_showNetworkNode = true;
    bool m_showDriveLabels = true;
    bool m_showSharedOverlay = true;
    EExtensionDisplay m_extensionDisplay = EExtensionDisplay::ShellDecides;
    bool m_compressedColorOn = true;
    QColor m_compressedColor = QColor(0, 0, 255);
    bool m_encryptedColorOn = true;
    QColor m_encryptedColor = QColor(255, 0, 0);
    bool m_allowOpen = true;
    bool m_allowProperties = true;
    bool m_allowRename = false;
    bool m_allowDelete = false;
    bool m_allowDrag = false;
    bool m_useIcons = false;

    std::vector<SDriveEntry> m_drives;
    QTreeWidgetItem* m_computerItem = nullptr;
    QTreeWidgetItem* m_networkItem = nullptr;
    QTreeWidgetItem* m_watched = nullptr; // cleared when this item or an ancestor is deleted
    QString m_caretPath;                  // the caret's path as last seen, for the history
    bool m_navigating = false;            // Back or Forward is moving the caret
    int m_historyHold = 0;   // caret moves that do not enter the history (rebuilds, path selection)
    bool m_notify = true;    // false while the control changes marks
    bool m_ownPress = false; // the last left press was handled by the control
    bool m_renaming = false;
    bool m_walking = false; // SelectPath is opening the folders on its way; it scrolls once at the end

    QFileSystemWatcher m_watcher;
    QSet<QString> m_changedFolders; // reported by the watcher, refreshed when m_refreshTimer fires
    QTimer m_refreshTimer;
};

} // namespace fennick
