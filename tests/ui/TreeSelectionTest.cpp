// The marking rules and the history, driven without a display over a plain outline of ten items.

#include "ui/TreeSelection.h"
#include "ui/TreeHistory.h"

#include <QTest>

#include <array>

using namespace fennick;

namespace {

// Ten visible items 0..9; the caret moves the way the tree view moves it.
class CListOutline : public ITreeOutline {
public:
    std::array<int, 10> ids{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    std::array<bool, 10> marked{};
    int visibleCount = 10;
    Item caret = nullptr;

    Item At(int i) { return &ids[i]; }
    static int Index(Item item) { return item ? *static_cast<int*>(item) : -1; }

    std::vector<Item> VisibleItems() const override {
        std::vector<Item> items;
        for (int i = 0; i < visibleCount; ++i)
            items.push_back(const_cast<int*>(&ids[i]));
        return items;
    }
    bool IsMarked(Item item) const override { return marked[Index(item)]; }
    void SetMarked(Item item, bool on) override { marked[Index(item)] = on; }
    Item Caret() const override { return caret; }
    void MoveCaret(Item item) override {
        if (caret)
            marked[Index(caret)] = false;
        caret = item;
        if (caret)
            marked[Index(caret)] = true;
    }

    // The marked items as a string of indexes, e.g. "0 2 3".
    QString Marks() const {
        QStringList list;
        for (int i = 0; i < 10; ++i)
            if (marked[i])
                list << QString::number(i);
        return list.join(u' ');
    }
};

const SClickModifiers kPlain{};
const SClickModifiers kShift{true, false};
const SClickModifiers kCtrl{false, true};
const QSize kDrag(4, 4);

} // namespace

class TreeSelectionTest : public QObject {
    Q_OBJECT

private slots:
    void clickThenCtrlClicksMarkThree() {
        CListOutline tree;
        CTreeSelection selection(tree);
        selection.ApplyClick(tree.At(1), kPlain);
        selection.ApplyClick(tree.At(4), kCtrl);
        selection.ApplyClick(tree.At(6), kCtrl);
        QCOMPARE(tree.Marks(), QStringLiteral("1 4 6"));
        QCOMPARE(CListOutline::Index(tree.caret), 6);
        QCOMPARE(CListOutline::Index(selection.Anchor()), 1);
        QCOMPARE(selection.CountMarks(), 3);
    }

    void shiftClickMarksFromTheAnchor() {
        CListOutline tree;
        CTreeSelection selection(tree);
        selection.ApplyClick(tree.At(2), kPlain);
        selection.ApplyClick(tree.At(5), kShift);
        QCOMPARE(tree.Marks(), QStringLiteral("2 3 4 5"));
        QCOMPARE(CListOutline::Index(tree.caret), 5);
        QCOMPARE(CListOutline::Index(selection.Anchor()), 2);
        selection.ApplyClick(tree.At(3), kShift);
        QCOMPARE(tree.Marks(), QStringLiteral("2 3"));
        // Upwards from the anchor works the same way.
        selection.ApplyClick(tree.At(0), kShift);
        QCOMPARE(tree.Marks(), QStringLiteral("0 1 2"));
        QCOMPARE(CListOutline::Index(tree.caret), 0);
    }

    void shiftClickWithoutAnchorStartsAtTheCaret() {
        CListOutline tree;
        CTreeSelection selection(tree);
        tree.MoveCaret(tree.At(7));
        selection.ApplyClick(tree.At(9), kShift);
        QCOMPARE(tree.Marks(), QStringLiteral("7 8 9"));
        QCOMPARE(CListOutline::Index(selection.Anchor()), 7);
    }

    void ctrlClickOnAMarkedItemUnmarksIt() {
        CListOutline tree;
        CTreeSelection selection(tree);
        selection.ApplyClick(tree.At(1), kPlain);
        selection.ApplyClick(tree.At(3), kCtrl);
        selection.ApplyClick(tree.At(1), kCtrl);
        QCOMPARE(tree.Marks(), QStringLiteral("3"));
        QCOMPARE(CListOutline::Index(tree.caret), 3);
    }

    void pressOnAMarkedItem_data() {
        QTest::addColumn<QPoint>("moveTo");
        QTest::addColumn<QString>("marks");
        QTest::addColumn<bool>("dragBegins");
        QTest::newRow("no move") << QPoint(10, 30) << "2" << false;
        QTest::newRow("within drag distance") << QPoint(14, 26) << "2" << false;
        QTest::newRow("beyond drag distance") << QPoint(10, 40) << "1 2 3" << true;
    }
    void pressOnAMarkedItem() {
        QFETCH(QPoint, moveTo);
        QFETCH(QString, marks);
        QFETCH(bool, dragBegins);
        CListOutline tree;
        CTreeSelection selection(tree);
        selection.ApplyClick(tree.At(1), kPlain);
        selection.ApplyClick(tree.At(3), kShift);
        QVERIFY(!selection.Press(tree.At(2), QPoint(10, 30), kPlain));
        QVERIFY(selection.ClickPending());
        const ITreeOutline::Item dragged = selection.MoveWhilePressed(moveTo, kDrag);
        QCOMPARE(dragged != nullptr, dragBegins);
        if (dragBegins) {
            QCOMPARE(CListOutline::Index(dragged), 2);
            // A drag is reported once.
            QVERIFY(!selection.MoveWhilePressed(moveTo + QPoint(20, 20), kDrag));
        }
        // The release applies the click only when no drag began.
        QCOMPARE(selection.Release(kPlain), !dragBegins);
        QCOMPARE(tree.Marks(), marks);
    }

    void pressOnAnUnmarkedItemClicksAtOnce() {
        CListOutline tree;
        CTreeSelection selection(tree);
        selection.ApplyClick(tree.At(1), kPlain);
        QVERIFY(selection.Press(tree.At(4), QPoint(0, 0), kCtrl));
        QVERIFY(!selection.Release(kCtrl));
        QCOMPARE(tree.Marks(), QStringLiteral("1 4"));
    }

    void arrowWithoutShiftLeavesOnlyTheNewCaret() {
        CListOutline tree;
        CTreeSelection selection(tree);
        selection.ApplyClick(tree.At(1), kPlain);
        selection.ApplyClick(tree.At(3), kShift);
        QVERIFY(!selection.LineKey(tree.At(4), false));
        QCOMPARE(tree.Marks(), QStringLiteral("4"));
        QCOMPARE(CListOutline::Index(selection.Anchor()), 4);
    }

    void shiftArrowsGrowAndShrinkTheRange() {
        CListOutline tree;
        CTreeSelection selection(tree);
        selection.ApplyClick(tree.At(4), kPlain);
        QVERIFY(selection.LineKey(tree.At(5), true));
        QVERIFY(selection.LineKey(tree.At(6), true));
        QCOMPARE(tree.Marks(), QStringLiteral("4 5 6"));
        QVERIFY(selection.LineKey(tree.At(5), true));
        QCOMPARE(tree.Marks(), QStringLiteral("4 5"));
        QVERIFY(selection.LineKey(tree.At(4), true));
        QVERIFY(selection.LineKey(tree.At(3), true));
        QCOMPARE(tree.Marks(), QStringLiteral("3 4"));
        QCOMPARE(CListOutline::Index(tree.caret), 3);
        // At the top there is no target: nothing changes and nobody is told.
        QVERIFY(!selection.LineKey(nullptr, true));
        QCOMPARE(tree.Marks(), QStringLiteral("3 4"));
    }

    void pageKeys() {
        CListOutline tree;
        CTreeSelection selection(tree);
        selection.ApplyClick(tree.At(2), kPlain);
        QVERIFY(selection.PageKey(tree.At(8), true));
        QCOMPARE(tree.Marks(), QStringLiteral("2 3 4 5 6 7 8"));
        QVERIFY(!selection.PageKey(tree.At(0), false));
        QCOMPARE(tree.Marks(), QStringLiteral("0"));
        QCOMPARE(CListOutline::Index(selection.Anchor()), 0);
    }

    void rightPressMovesTheCaretUnlessSeveralAreMarked() {
        CListOutline tree;
        CTreeSelection selection(tree);
        selection.ApplyClick(tree.At(1), kPlain);
        selection.RightPress(tree.At(5));
        QCOMPARE(CListOutline::Index(tree.caret), 5);
        selection.ApplyClick(tree.At(6), kCtrl);
        selection.RightPress(tree.At(8));
        QCOMPARE(CListOutline::Index(tree.caret), 6);
        QCOMPARE(tree.Marks(), QStringLiteral("5 6"));
    }

    void markRangeIgnoresItemsOutOfSight() {
        CListOutline tree;
        CTreeSelection selection(tree);
        tree.visibleCount = 5;
        selection.ApplyClick(tree.At(1), kPlain);
        selection.MarkRange(tree.At(7), tree.At(8));
        QCOMPARE(tree.Marks(), QStringLiteral("1"));
        selection.MarkRange(tree.At(8), tree.At(3));
        QCOMPARE(tree.Marks(), QStringLiteral("3"));
        QCOMPARE(CListOutline::Index(tree.caret), 3);
    }

    void forgottenAnchorIsNotUsed() {
        CListOutline tree;
        CTreeSelection selection(tree);
        selection.ApplyClick(tree.At(2), kPlain);
        selection.Forget(tree.At(2));
        QVERIFY(!selection.Anchor());
        selection.ApplyClick(tree.At(4), kShift);
        QCOMPARE(tree.Marks(), QStringLiteral("2 3 4"));
    }

    void historyKeepsAtMostLimitPlusOne() {
        CTreeHistory history;
        for (int i = 0; i < 25; ++i)
            history.Record(QString::number(i));
        QCOMPARE(history.Back().size(), history.Limit() + 1);
        QCOMPARE(history.Back().front(), QStringLiteral("4"));
        QCOMPARE(history.TakeBack(), QStringLiteral("24"));
        QVERIFY(!history.CanGoForward());
        history.PushForward(QStringLiteral("x"));
        QCOMPARE(history.TakeForward(), QStringLiteral("x"));
        QCOMPARE(history.TakeForward(), QString());
    }
};

QTEST_GUILESS_MAIN(TreeSelectionTest)
#include "TreeSelectionTest.moc"
