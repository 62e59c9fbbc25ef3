#include "ui/TreeSelection.h"

#include <algorithm>
#include <cstdlib>

namespace fennick {

void CTreeSelection::ClearMarks() {
    for (Item item : m_outline.VisibleItems())
        if (m_outline.IsMarked(item))
            m_outline.SetMarked(item, false);
}

int CTreeSelection::CountMarks() const {
    int count = 0;
    for (Item item : m_outline.VisibleItems())
        if (m_outline.IsMarked(item))
            ++count;
    return count;
}

void CTreeSelection::MarkRange(Item anchor, Item item) {
    const std::vector<Item> items = m_outline.VisibleItems();
    const auto anchorAt = std::find(items.begin(), items.end(), anchor);
    const auto itemAt = std::find(items.begin(), items.end(), item);
    if (anchorAt == items.end() && itemAt == items.end())
        return;
    if (itemAt != items.end())
        m_outline.MoveCaret(item);
    // A range with one end gone reaches from the other end to itself.
    auto first = anchorAt == items.end() ? itemAt : anchorAt;
    auto last = itemAt == items.end() ? anchorAt : itemAt;
    if (last < first)
        std::swap(first, last);
    for (auto it = items.begin(); it != items.end(); ++it) {
        const bool inside = it >= first && it <= last;
        if (m_outline.IsMarked(*it) != inside)
            m_outline.SetMarked(*it, inside);
    }
}

void CTreeSelection::ApplyClick(Item item, SClickModifiers modifiers) {
    if (!item)
        return;
    if (modifiers.shift) {
        if (!m_anchor || !IsVisible(m_anchor))
            m_anchor = m_outline.Caret();
        MarkRange(m_anchor, item);
    } else if (modifiers.ctrl) {
        if (!m_outline.IsMarked(item)) {
            Item previous = m_outline.Caret();
            const bool previousMarked = previous && m_outline.IsMarked(previous);
            m_outline.MoveCaret(item);
            m_outline.SetMarked(item, true);
            if (previousMarked && previous != item)
                m_outline.SetMarked(previous, true);
        } else {
            m_outline.SetMarked(item, false);
        }
        if (!m_anchor || !IsVisible(m_anchor))
            m_anchor = item;
    } else {
        ClearMarks();
        m_outline.MoveCaret(item);
        m_outline.SetMarked(item, true);
        m_anchor = item;
    }
}

bool CTreeSelection::Press(Item item, QPoint point, SClickModifiers modifiers) {
    m_pressed = item;
    m_pressPoint = point;
    if (item && m_outline.IsMarked(item)) {
        m_clickPending = true;
        return false;
    }
    ApplyClick(item, modifiers);
    return item != nullptr;
}

CTreeSelection::Item CTreeSelection::MoveWhilePressed(QPoint point, QSize dragDistance) {
    if (!m_pressed)
        return nullptr;
    if (std::abs(point.x() - m_pressPoint.x()) <= dragDistance.width() &&
        std::abs(point.y() - m_pressPoint.y()) <= dragDistance.height())
        return nullptr;
    Item dragged = m_pressed;
    m_clickPending = false;
    m_pressed = nullptr;
    return dragged;
}

bool CTreeSelection::Release(SClickModifiers modifiers) {
    const bool apply = m_clickPending && m_pressed;
    if (apply)
        ApplyClick(m_pressed, modifiers);
    m_clickPending = false;
    m_pressed = nullptr;
    return apply;
}

void CTreeSelection::RightPress(Item item) {
    if (item && CountMarks() < 2)
        m_outline.MoveCaret(item);
}

bool CTreeSelection::LineKey(Item target, bool shift) {
    if (!shift) {
        if (CountMarks() > 1)
            ClearMarks();
        if (target)
            m_outline.MoveCaret(target);
        m_anchor = m_outline.Caret();
        return false;
    }
    if (!target)
        return false;
    Item previous = m_outline.Caret();
    const bool bothMarked = m_outline.IsMarked(target) && previous && m_outline.IsMarked(previous);
    if (!m_anchor || !IsVisible(m_anchor))
        m_anchor = previous ? previous : target;
    // Moving back over a marked range shrinks it: the caret move alone unmarks the item left behind.
    m_outline.MoveCaret(target);
    if (!bothMarked)
        MarkRange(m_anchor, target);
    return true;
}

bool CTreeSelection::PageKey(Item target, bool shift) {
    if (!shift) {
        if (CountMarks() > 1)
            ClearMarks();
        if (target)
            m_outline.MoveCaret(target);
        m_anchor = m_outline.Caret();
        return false;
    }
    Item previous = m_outline.Caret();
    if (!m_anchor || !IsVisible(m_anchor))
        m_anchor = previous;
    if (target)
        m_outline.MoveCaret(target);
    MarkRange(m_anchor, m_outline.Caret());
    return true;
}

void CTreeSelection::Forget(Item item) {
    if (m_anchor == item)
        m_anchor = nullptr;
    if (m_pressed == item) {
        m_pressed = nullptr;
        m_clickPending = false;
    }
}

void CTreeSelection::ForgetAll() {
    m_anchor = nullptr;
    m_pressed = nullptr;
    m_clickPending = false;
}

bool CTreeSelection::IsVisible(Item item) const {
    const std::vector<Item> items = m_outline.VisibleItems();
    return std::find(items.begin(), items.end(), item) != items.end();
}

} // namespace fennick
