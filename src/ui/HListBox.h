#pragma once
// CHListBox: the list of files to merge. A plain single-selection list whose horizontal scroll range
// follows the widest entry, so that long paths can be scrolled into view: adding a wider entry widens it,
// deleting recomputes it from the remaining entries, emptying the list removes it.

#include <QListWidget>

namespace fennick {

class CHListBox : public QListWidget {
    Q_OBJECT

public:
    explicit CHListBox(QWidget* parent = nullptr);

    // Appends text; returns its index.
    int AddString(const QString& text);
    // Removes the entry; returns the number left, or -1 when index names no entry.
    int DeleteString(int index);
    // Removes every entry and the horizontal extent.
    void ResetContent();

    int GetCount() const { return count(); }
    // The selected entry's index, -1 for none.
    int GetCurSel() const;
    // Selects the entry (-1 or an index outside the list: no selection); returns index, or -1.
    int SetCurSel(int index);
    QString GetText(int index) const;

    // The widest entry's width in pixels: the horizontal scroll extent.
    int HorizontalExtent() const { return m_widest; }
    // The width an entry's text takes: its extent in the list's font plus three border widths.
    int TextWidth(const QString& text) const;

protected:
    void updateGeometries() override;

private:
    void SetHorizontalExtent(int extent);

    int m_widest = 0;
};

} // namespace fennick
