// The search record set: its list, its positions and the distance sort; and the search that fills it.

#include "MemoryGeoDS.h"
#include "RecsetTestHelpers.h"

#include "data/SearchSpec.h"
#include "platform/Exceptions.h"
#include "search/SearchRecset.h"

#include <gtest/gtest.h>

#include <limits>

using namespace fennick;
using namespace fennick::test;

namespace {

// Points on the x axis at the given positions, field ID = record number.
SLayerSpec PointsAt(std::vector<double> xs) {
    SLayerSpec layer{SHAPE_POINT, {{u"ID", FIELD_INTEGER, 4, 0}}, {}};
    for (std::size_t i = 0; i < xs.size(); ++i)
        layer.records.push_back(PointRecord(xs[i], 0, {std::u16string(1, static_cast<char16_t>(u'0' + i))}));
    return layer;
}

CRef<CSearchRecset> ListOf(CMemoryGeoDS* ds, std::vector<int> records) {
    CRef<CSearchRecset> set = MakeRef<CSearchRecset>(ds->AsDirectAccess());
    for (const int r : records) {
        CGeoRect bounds;
        ds->GetRecordBounds(r, &bounds);
        set->Add(r, bounds);
    }
    return set;
}

// An expression that cannot evaluate any record.
class CBrokenExpression final : public CUnknownImpl<IExpression> {
public:
    int ReservedA(int, int) override { return 0; }
    int Evaluate(IShapeAttr*, int* result) override {
        *result = 1;
        return 0;
    }
    void ReservedB(int) override {}
};

} // namespace

TEST(SearchRecset, PositionOutsideTheListRaisesWhereTheRecordIsRead) {
    CRef<CMemoryGeoDS> ds = MakeMemoryGeoDS(PointsAt({1, 2}));
    CRef<CSearchRecset> set = ListOf(ds.Get(), {1, 0});
    EXPECT_EQ(set->GetPosition(), -1);
    CRef<IShapeAttr> attributes;
    CGeoRect bounds;
    EXPECT_THROW(set->GetAttributes(attributes.Put()), CInvalidArgException);
    EXPECT_THROW(set->GetRecordBounds(&bounds), CInvalidArgException);
    EXPECT_THROW(set->ReservedA(1), CInvalidArgException);
    EXPECT_THROW(set->ReservedC(1, 2), CInvalidArgException);
    CRef<IShape> shape;
    EXPECT_EQ(set->GetShape(shape.Put(), 0), 0);
    CVariant bookmark;
    EXPECT_EQ(set->GetBookmark(&bookmark), 0);
    EXPECT_EQ(set->ReservedD(), 0);
    EXPECT_EQ(set->DeleteCurrent(), 0);
    // From -1, MoveNext reaches the first entry.
    ASSERT_EQ(set->MoveNext(), 1);
    ASSERT_EQ(set->GetBookmark(&bookmark), 1);
    EXPECT_EQ(bookmark.lVal, 1);
    ASSERT_EQ(set->GetRecordBounds(&bounds), 1);
    EXPECT_EQ(bounds.left, 2);
    EXPECT_EQ(set->SetPosition(2), 0);
    EXPECT_EQ(set->SetPosition(-1), 0);
    EXPECT_EQ(set->GetPosition(), 0);
}

TEST(SearchRecset, DeletingTheLastEntryStepsBack) {
    CRef<CMemoryGeoDS> ds = MakeMemoryGeoDS(PointsAt({1, 2, 3, 4}), {.supportsDelete = true});
    CRef<CSearchRecset> set = ListOf(ds.Get(), {0, 2, 3});
    ASSERT_EQ(set->SetPosition(2), 1);
    EXPECT_EQ(set->MoveNext(), 0);
    EXPECT_EQ(set->GetPosition(), 2);
    ASSERT_EQ(set->DeleteCurrent(), 1);
    EXPECT_EQ(set->GetPosition(), 1);
    EXPECT_EQ(set->Records(), (std::vector<int>{0, 2}));
    ASSERT_EQ(set->DeleteCurrent(), 1);
    EXPECT_EQ(set->GetPosition(), 0);
    EXPECT_EQ(set->Records(), std::vector<int>{0});
    ASSERT_EQ(set->DeleteCurrent(), 1);
    EXPECT_EQ(set->GetCount(), 0);
    EXPECT_EQ(set->GetPosition(), -1);
    EXPECT_EQ(ds->GetRecordCount(), 1);
    // A source without deletion leaves the list.
    CRef<CMemoryGeoDS> fixed = MakeMemoryGeoDS(PointsAt({1, 2}));
    CRef<CSearchRecset> other = ListOf(fixed.Get(), {0, 1});
    ASSERT_EQ(other->SetPosition(1), 1);
    EXPECT_EQ(other->DeleteCurrent(), 0);
    EXPECT_EQ(other->GetCount(), 2);
    EXPECT_EQ(other->GetPosition(), 1);
}

TEST(SearchRecset, SortByDistanceOrdersByDistanceKeepingTiesAndMovesUnreadableRecordsToTheEnd) {
    // Record 1 cannot be read; records 2 and 4 lie at the same distance from the point.
    CRef<CMemoryGeoDS> ds = MakeMemoryGeoDS(PointsAt({9, 0, -3, 1, 3}), {.unreadable = {1}});
    CRef<CSearchRecset> set = ListOf(ds.Get(), {0, 1, 2, 3, 4});
    ASSERT_EQ(set->SetPosition(3), 1);
    CGeoRect before;
    set->GetBounds(&before);
    ASSERT_EQ(set->SortByDistance(CGeoPoint{0, 0}), 1);
    EXPECT_EQ(set->Records(), (std::vector<int>{3, 2, 4, 0, 1}));
    EXPECT_EQ(set->GetPosition(), 3);
    CGeoRect after;
    set->GetBounds(&after);
    EXPECT_EQ(after.left, before.left);
    EXPECT_EQ(after.right, before.right);
    EXPECT_EQ(after.left, -3);
    EXPECT_EQ(after.right, 9);
}

TEST(SearchRecset, SortByDistancePutsShapesWithoutAMeasurableDistanceAfterTheOthers) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    SLayerSpec layer = PointsAt({5, 1});
    layer.records.push_back(PointRecord(nan, 0, {u"2"}));
    layer.records.push_back(PointRecord(2, 0, {u"3"}));
    CRef<CMemoryGeoDS> ds = MakeMemoryGeoDS(layer);
    CRef<CSearchRecset> set = ListOf(ds.Get(), {2, 0, 3, 1});
    ASSERT_EQ(set->SortByDistance(CGeoPoint{0, 0}), 1);
    EXPECT_EQ(set->Records(), (std::vector<int>{1, 3, 0, 2}));
}

TEST(Search, CandidatesWhoseShapeOrExpressionFailsDoNotPass) {
    CRef<CMemoryGeoDS> ds = MakeMemoryGeoDS(PointsAt({0, 1, 2, 3}), {.unreadable = {2}});
    CRef<CRectRegion> region = MakeRef<CRectRegion>(CGeoRect{-1, 1, 10, -1});
    CSearchSpec byRegion(region.Get(), 0, nullptr);
    CRef<IRecset> found;
    ASSERT_EQ(ds->Search(&byRegion, found.Put()), 1);
    EXPECT_EQ(WalkRecords(found.Get()), (std::vector<int>{0, 1, 3}));

    CRef<CBrokenExpression> broken = MakeRef<CBrokenExpression>();
    CSearchSpec byExpression(nullptr, 0, broken.Get());
    EXPECT_EQ(ds->Search(&byExpression, found.Put()), 0);
    EXPECT_FALSE(found);
}

TEST(Search, UsesTheIndexForTheRegionsBoundsAndKeepsTheIndexOrder) {
    CRef<CMemoryGeoDS> ds = MakeMemoryGeoDS(PointsAt({0, 1, 2, 3, 4}), {.index = EMemoryIndex::Exact});
    CRef<CRectRegion> region = MakeRef<CRectRegion>(CGeoRect{0.5, 1, 3, -1});
    CSearchSpec spec(region.Get(), 1, nullptr);
    CRef<IRecset> found;
    ASSERT_EQ(ds->Search(&spec, found.Put()), 1);
    EXPECT_EQ(ds->indexQueries, 1);
    EXPECT_EQ(WalkRecords(found.Get()), (std::vector<int>{1, 2, 3}));
    CGeoRect bounds;
    found->GetBounds(&bounds);
    EXPECT_EQ(bounds.left, 1);
    EXPECT_EQ(bounds.right, 3);
}
