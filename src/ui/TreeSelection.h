#pragma once
// CTreeSelection: the multiple selection ("marks") that the file tree keeps on top of its single caret, and
// the rules by which clicks, drags and arrow keys change it. It works on an ITreeOutline, so the rules run
// the same against the real tree widget and against a plain list in tests.

#include <QPoint>
#include <QSize>

#include <vector>

namespace fennick {

// The view of a tree that the selection rules need: its visible items in display order, their marks and the
// caret. Items are opaque handles; null means none.
class ITreeOutline {
public:
    using Item = void*;

    virtual std::vector<Item> VisibleItems() const = 0;
    virtual bool IsMarked(Item item) const = 0;
    virtual void SetMarked(Item item, bool marked) = 0;
    virtual Item Caret() const = 0;
    // Moves the caret as the tree view itself does: the old caret loses its mark, the new one gains it.
    virtual void MoveCaret(Item item) = 0;

protected:
    ~ITreeOutline() = default;
};

struct SClickModifiers {
    bool shift = false;
    bool ctrl = false;
};

class CTreeSelection {
public:
    using Item = ITreeOutline::Item;

    explicit CTreeSelection(ITreeOutline& outline) : m_outline(outline) {}

    void ClearMarks();
    int CountMarks() const;
    // Makes item the caret and marks exactly the visible items from anchor to item, both included.
    void MarkRange(Item anchor, Item item);
    // The selection rule of a click on item.
    void ApplyClick(Item item, SClickModifiers modifiers);

    // Left button pressed on item at point. A press on a marked item only becomes a click when the button is
    // released without a drag, so that pressing on a multiple selection does not dissolve it. Returns true
    // when the click was applied at once.
    bool Press(Item item, QPoint point, SClickModifiers modifiers);
    // Pointer moved with the button down. Returns the pressed item once the pointer leaves the drag distance
    // (the caller reports the start of a drag), else null.
    Item MoveWhilePressed(QPoint point, QSize dragDistance);
    // Left button released: applies a pending click. Returns true when it did.
    bool Release(SClickModifiers modifiers);
    bool ClickPending() const { return m_clickPending; }

    // Right button pressed on item: it becomes the caret unless several items are marked.
    void RightPress(Item item);

    // Up or Down to target (null when there is none). Returns true when the owner is to be told of a
    // selection change.
    bool LineKey(Item target, bool shift);
    // Page Up or Page Down to target. Returns true when the owner is to be told.
    bool PageKey(Item target, bool shift);

    Item Anchor() const { return m_anchor; }
    // Drops references to items that are about to go or have gone.
    void Forget(Item item);
    void ForgetAll();

private:
    bool IsVisible(Item item) const;

    ITreeOutline& m_outline;
    Item m_anchor = nullptr;
    Item m_pressed = nullptr;
    QPoint m_pressPoint;
    bool m_clickPending = false;
};

} // namespace fennick
