#pragma once
// CHListBox: the list of files to merge, shown as a table of each file's facts (CFileFactsModel): name,
// shape type, records, fields, coordinate system, code page and folder, the full path as tooltip, and a
// mark telling whether the file fits the first one. Several entries can be selected.
//
// With a first-entry mark set, the entry at the top is shown in bold with the mark's tooltip, whatever
// the changes of order. Files dropped from outside and the context menu are passed on as signals; the list
// itself adds nothing. An empty list that has the focus draws a focus frame, as no entry can show it.

#include "ui/FileFactsModel.h"

#include <QTreeView>
#include <QUrl>

#include <vector>

namespace fennick {

class CHListBox : public QTreeView {
    Q_OBJECT

public:
    explicit CHListBox(QWidget* parent = nullptr);

    CFileFactsModel* Model() const { return m_model; }

    // Appends text (a path); returns its index.
    int AddString(const QString& text);
    // Removes the entry; returns the number left, or -1 when index names no entry.
    int DeleteString(int index);
    // Removes every entry.
    void ResetContent();

    int GetCount() const { return m_model->rowCount(); }
    // The current entry's index when it is selected, else the first selected entry's, -1 for none.
    int GetCurSel() const;
    // Selects only that entry and makes it current (-1 or an index outside the list: no selection);
    // returns index, or -1.
    int SetCurSel(int index);
    QString GetText(int index) const { return m_model->Path(index); }

    // The selected entries' indexes, ascending.
    std::vector<int> SelectedIndexes() const;
    // True when moving the selection step places (-1 up, +1 down) changes the order: some selected entry
    // has an unselected one on that side.
    bool CanMoveSelection(int step) const;
    // Moves each selected entry one place up (step -1) or down (+1) past its unselected neighbour; a block
    // of selected entries moves as one and selected entries already at that end stay. They stay selected.
    void MoveSelection(int step);

    // Marks the first entry with a bold font and toolTip; an empty toolTip removes the mark.
    void SetFirstEntryMark(const QString& toolTip);
    bool IsMarked(int index) const;

signals:
    // Local files or other URLs were dropped on the list.
    void UrlsDropped(const QList<QUrl>& urls);
    // The context menu is asked for at pos (viewport coordinates), by the mouse or the Menu key.
    void MenuRequested(const QPoint& pos);
    // The selection or the current entry changed.
    void SelectionChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    bool IsSelected(int row) const;
    void SelectRows(const std::vector<bool>& selected);

    CFileFactsModel* m_model;
};

} // namespace fennick
