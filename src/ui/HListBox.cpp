#include "ui/HListBox.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionFocusRect>

namespace fennick {

namespace {
// The width of a thin window border.
constexpr int kBorderWidth = 1;
} // namespace

CHListBox::CHListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSortingEnabled(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setTextElideMode(Qt::ElideNone);
    // Each entry is laid out at its own width (the first one is bold), so that the layout's scroll range
    // never falls short of the widest entry's.
    setUniformItemSizes(false);
    // Files come from outside only; the list's own entries are not dragged.
    setDragDropMode(QAbstractItemView::NoDragDrop);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
}

int CHListBox::TextWidth(const QString& text) const {
    return QFontMetrics(font()).horizontalAdvance(text) + 3 * kBorderWidth;
}

int CHListBox::EntryWidth(int index) const {
    const QListWidgetItem* entry = item(index);
    // An entry without a font of its own shows in the list's font, not the application's.
    const QFont shown = entry->data(Qt::FontRole).isValid() ? entry->font() : font();
    return QFontMetrics(shown).horizontalAdvance(entry->text()) + 3 * kBorderWidth;
}

int CHListBox::AddString(const QString& text) {
    addItem(text);
    const int index = count() - 1;
    if (index == 0) {
        Refresh();
        return index;
    }
    const int width = EntryWidth(index);
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
    Refresh();
    return count();
}

void CHListBox::ResetContent() {
    clear();
    m_widest = 0;
    SetHorizontalExtent(0);
}

int CHListBox::GetCurSel() const {
    const QListWidgetItem* current = currentItem();
    if (current && current->isSelected())
        return row(current);
    const std::vector<int> selected = SelectedIndexes();
    return selected.empty() ? -1 : selected.front();
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

std::vector<int> CHListBox::SelectedIndexes() const {
    std::vector<int> indexes;
    for (int i = 0; i < count(); ++i)
        if (item(i)->isSelected())
            indexes.push_back(i);
    return indexes;
}

bool CHListBox::CanMoveSelection(int step) const {
    for (int i = 0; i < count(); ++i) {
        const int neighbour = i + step;
        if (item(i)->isSelected() && neighbour >= 0 && neighbour < count() && !item(neighbour)->isSelected())
            return true;
    }
    return false;
}

void CHListBox::MoveSelection(int step) {
    if (step != -1 && step != 1)
        return;
    std::vector<bool> selected(static_cast<size_t>(count()));
    for (int i = 0; i < count(); ++i)
        selected[static_cast<size_t>(i)] = item(i)->isSelected();
    QListWidgetItem* current = currentItem();
    // Walking from the end the entries move towards, each selected entry passes an unselected neighbour;
    // one that meets a selected neighbour already moved (or the end) stays behind it.
    const int first = step < 0 ? 1 : count() - 2;
    for (int i = first; i >= 0 && i < count(); i -= step) {
        const auto at = static_cast<size_t>(i), next = static_cast<size_t>(i + step);
        if (!selected[at] || selected[next])
            continue;
        QListWidgetItem* moving = takeItem(i);
        insertItem(i + step, moving);
        selected[at] = false;
        selected[next] = true;
    }
    QItemSelection selection;
    for (int i = 0; i < count(); ++i)
        if (selected[static_cast<size_t>(i)])
            selection.select(model()->index(i, 0), model()->index(i, 0));
    if (current)
        setCurrentItem(current, QItemSelectionModel::NoUpdate);
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    if (current)
        scrollToItem(current);
    Refresh();
}

void CHListBox::SetFirstEntryMark(const QString& toolTip) {
    m_markTip = toolTip;
    Refresh();
}

bool CHListBox::IsMarked(int index) const {
    const QListWidgetItem* entry = item(index);
    return entry && entry->data(Qt::FontRole).isValid() && entry->font().bold();
}

void CHListBox::Refresh() {
    QFont bold = font();
    bold.setBold(true);
    m_widest = 0;
    for (int i = 0; i < count(); ++i) {
        QListWidgetItem* entry = item(i);
        if (i == 0 && !m_markTip.isEmpty()) {
            entry->setFont(bold);
            entry->setToolTip(m_markTip);
        } else if (entry->data(Qt::FontRole).isValid()) {
            entry->setData(Qt::FontRole, QVariant());
            entry->setData(Qt::ToolTipRole, QVariant());
        }
        m_widest = std::max(m_widest, EntryWidth(i));
    }
    SetHorizontalExtent(m_widest);
}

void CHListBox::SetHorizontalExtent(int) {
    updateGeometries();
}

void CHListBox::updateGeometries() {
    QListWidget::updateGeometries();
    // The scroll range is the extent, not the item layout's width. The layout's own range is kept when it
    // is wider: replacing it with a narrower one could show a bar the layout then hides again, each change
    // resizing the viewport and laying the view out anew, for ever.
    QScrollBar* bar = horizontalScrollBar();
    const int page = viewport()->width();
    bar->setPageStep(page);
    bar->setRange(0, std::max(bar->maximum(), m_widest - page));
}

void CHListBox::paintEvent(QPaintEvent* event) {
    QListWidget::paintEvent(event);
    if (count() > 0 || !hasFocus())
        return;
    // No entry to carry the focus: the frame shows it, also when the focus came with the mouse.
    QPainter painter(viewport());
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.state |= QStyle::State_KeyboardFocusChange | QStyle::State_HasFocus;
    option.rect = viewport()->rect().adjusted(1, 1, -1, -1);
    option.backgroundColor = palette().color(QPalette::Base);
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
}

void CHListBox::focusInEvent(QFocusEvent* event) {
    QListWidget::focusInEvent(event);
    viewport()->update();
}

void CHListBox::focusOutEvent(QFocusEvent* event) {
    QListWidget::focusOutEvent(event);
    viewport()->update();
}

void CHListBox::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if ((event->key() == Qt::Key_Menu && modifiers == Qt::NoModifier) ||
        (event->key() == Qt::Key_F10 && modifiers == Qt::ShiftModifier)) {
        const QListWidgetItem* current = currentItem();
        emit MenuRequested(current ? visualItemRect(current).center() : QPoint(0, 0));
        event->accept();
        return;
    }
    QListWidget::keyPressEvent(event);
}

void CHListBox::contextMenuEvent(QContextMenuEvent* event) {
    // The Menu key arrives as a key press too, which has opened the menu already.
    if (event->reason() != QContextMenuEvent::Keyboard)
        emit MenuRequested(event->pos());
    event->accept();
}

namespace {

// Takes a drag or drop of files, always as a copy: a file manager must never delete what it dragged here.
// False for anything else, which the list handles as it would.
bool AcceptFilesAsCopy(QDropEvent* event) {
    if (!event->mimeData()->hasUrls())
        return false;
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
}

} // namespace

void CHListBox::dragEnterEvent(QDragEnterEvent* event) {
    if (!AcceptFilesAsCopy(event))
        QListWidget::dragEnterEvent(event);
}

void CHListBox::dragMoveEvent(QDragMoveEvent* event) {
    if (!AcceptFilesAsCopy(event))
        QListWidget::dragMoveEvent(event);
}

void CHListBox::dropEvent(QDropEvent* event) {
    if (AcceptFilesAsCopy(event))
        emit UrlsDropped(event->mimeData()->urls());
    else
        QListWidget::dropEvent(event);
}

} // namespace fennick
