#include "ui/HListBox.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QStyleOptionFocusRect>

namespace fennick {

CHListBox::CHListBox(QWidget* parent) : QTreeView(parent), m_model(new CFileFactsModel(this)) {
    setModel(m_model);
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSortingEnabled(false);
    setTextElideMode(Qt::ElideMiddle);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    // The facts take their width; the folder takes the rest and is cut in the middle when it must be.
    header()->setStretchLastSection(true);
    header()->setSectionsMovable(false);
    for (int column = 0; column < CFileFactsModel::kFolder; ++column)
        header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    // Files come from outside only; the list's own entries are not dragged.
    setDragDropMode(QAbstractItemView::NoDragDrop);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &CHListBox::SelectionChanged);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, &CHListBox::SelectionChanged);
}

int CHListBox::AddString(const QString& text) {
    m_model->Append(text);
    return GetCount() - 1;
}

int CHListBox::DeleteString(int index) {
    if (index < 0 || index >= GetCount())
        return -1;
    m_model->Remove(index);
    return GetCount();
}

void CHListBox::ResetContent() {
    m_model->Clear();
}

bool CHListBox::IsSelected(int row) const {
    return selectionModel()->isRowSelected(row, QModelIndex());
}

int CHListBox::GetCurSel() const {
    const QModelIndex current = currentIndex();
    if (current.isValid() && IsSelected(current.row()))
        return current.row();
    const std::vector<int> selected = SelectedIndexes();
    return selected.empty() ? -1 : selected.front();
}

int CHListBox::SetCurSel(int index) {
    if (index < 0 || index >= GetCount()) {
        clearSelection();
        return -1;
    }
    selectionModel()->setCurrentIndex(m_model->index(index, 0),
                                      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(m_model->index(index, 0));
    return index;
}

std::vector<int> CHListBox::SelectedIndexes() const {
    std::vector<int> indexes;
    for (int i = 0; i < GetCount(); ++i)
        if (IsSelected(i))
            indexes.push_back(i);
    return indexes;
}

bool CHListBox::CanMoveSelection(int step) const {
    for (int i = 0; i < GetCount(); ++i) {
        const int neighbour = i + step;
        if (IsSelected(i) && neighbour >= 0 && neighbour < GetCount() && !IsSelected(neighbour))
            return true;
    }
    return false;
}

void CHListBox::SelectRows(const std::vector<bool>& selected) {
    QItemSelection selection;
    for (int i = 0; i < GetCount(); ++i)
        if (selected[static_cast<size_t>(i)])
            selection.select(m_model->index(i, 0), m_model->index(i, CFileFactsModel::kColumnCount - 1));
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void CHListBox::MoveSelection(int step) {
    if (step != -1 && step != 1)
        return;
    std::vector<bool> selected(static_cast<size_t>(GetCount()));
    for (int i = 0; i < GetCount(); ++i)
        selected[static_cast<size_t>(i)] = IsSelected(i);
    const QPersistentModelIndex current = currentIndex();
    // Walking from the end the entries move towards, each selected entry passes an unselected neighbour;
    // one that meets a selected neighbour already moved (or the end) stays behind it.
    const int first = step < 0 ? 1 : GetCount() - 2;
    for (int i = first; i >= 0 && i < GetCount(); i -= step) {
        const auto at = static_cast<size_t>(i), next = static_cast<size_t>(i + step);
        if (!selected[at] || selected[next])
            continue;
        m_model->SwapWithNext(std::min(i, i + step));
        selected[at] = false;
        selected[next] = true;
    }
    if (current.isValid())
        selectionModel()->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
    SelectRows(selected);
    if (current.isValid())
        scrollTo(current);
}

void CHListBox::SetFirstEntryMark(const QString& toolTip) {
    m_model->SetFirstRowNote(toolTip);
}

bool CHListBox::IsMarked(int index) const {
    const QVariant font = m_model->data(m_model->index(index, 0), Qt::FontRole);
    return font.isValid() && font.value<QFont>().bold();
}

void CHListBox::paintEvent(QPaintEvent* event) {
    QTreeView::paintEvent(event);
    if (GetCount() > 0 || !hasFocus())
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
    QTreeView::focusInEvent(event);
    viewport()->update();
}

void CHListBox::focusOutEvent(QFocusEvent* event) {
    QTreeView::focusOutEvent(event);
    viewport()->update();
}

void CHListBox::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if ((event->key() == Qt::Key_Menu && modifiers == Qt::NoModifier) ||
        (event->key() == Qt::Key_F10 && modifiers == Qt::ShiftModifier)) {
        const QModelIndex current = currentIndex();
        emit MenuRequested(current.isValid() ? visualRect(current).center() : QPoint(0, 0));
        event->accept();
        return;
    }
    // Enter is the window's (it closes it), not an edit of the entry.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && modifiers == Qt::NoModifier) {
        event->ignore();
        return;
    }
    QTreeView::keyPressEvent(event);
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
        QTreeView::dragEnterEvent(event);
}

void CHListBox::dragMoveEvent(QDragMoveEvent* event) {
    if (!AcceptFilesAsCopy(event))
        QTreeView::dragMoveEvent(event);
}

void CHListBox::dropEvent(QDropEvent* event) {
    if (AcceptFilesAsCopy(event))
        emit UrlsDropped(event->mimeData()->urls());
    else
        QTreeView::dropEvent(event);
}

} // namespace fennick
