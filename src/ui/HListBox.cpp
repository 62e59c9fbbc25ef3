#include "ui/HListBox.h"

#include <QFontMetrics>
#include <QScrollBar>

namespace fennick {

namespace {
// The width of a thin window border.
constexpr int kBorderWidth = 1;
} // namespace

CHListBox::CHListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSortingEnabled(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setTextElideMode(Qt::ElideNone);
    setUniformItemSizes(true);
}

int CHListBox::TextWidth(const QString& text) const {
    return QFontMetrics(font()).horizontalAdvance(text) + 3 * kBorderWidth;
}

int CHListBox::AddString(const QString& text) {
    addItem(text);
    const int index = count() - 1;
    const int width = TextWidth(text);
    if (width > m_widest) {
        m_widest = width;
        SetHorizontalExtent(m_widest);
    }
    return index;
}

int CHListBox::DeleteString(int index) {
    if (index < 0 || index >= count())
        return -1;
    delete takeItem(index);
    m_widest = 0;
    for (int i = 0; i < count(); ++i)
        m_widest = std::max(m_widest, TextWidth(item(i)->text()));
    SetHorizontalExtent(m_widest);
    return count();
}

void CHListBox::ResetContent() {
    clear();
    m_widest = 0;
    SetHorizontalExtent(0);
}

int CHListBox::GetCurSel() const {
    const QList<QListWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? -1 : row(selected.first());
}

int CHListBox::SetCurSel(int index) {
    if (index < 0 || index >= count()) {
        clearSelection();
        return -1;
    }
    setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
    scrollToItem(item(index));
    return index;
}

QString CHListBox::GetText(int index) const {
    const QListWidgetItem* entry = item(index);
    return entry ? entry->text() : QString();
}

void CHListBox::SetHorizontalExtent(int) {
    updateGeometries();
}

void CHListBox::updateGeometries() {
    QListWidget::updateGeometries();
    // The scroll range is the extent, not the item layout's width.
    QScrollBar* bar = horizontalScrollBar();
    const int page = viewport()->width();
    bar->setPageStep(page);
    bar->setRange(0, std::max(0, m_widest - page));
}

} // namespace fennick
