// The record set that walks a data source in record order.

#include "MemoryGeoDS.h"
#include "RecsetTestHelpers.h"

#include "data/ShapeRecset.h"
#include "platform/Boundary.h"

#include <gtest/gtest.h>

using namespace fennick;
using namespace fennick::test;

namespace {

SLayerSpec Lines(int n) {
    SLayerSpec layer{SHAPE_POLYLINE, {{u"ID", FIELD_INTEGER, 4, 0}}, {}};
    for (int i = 0; i < n; ++i)
        layer.records.push_back(PolylineRecord({{{double(i), 0}, {double(i), 1}}},
                                               {std::u16string(1, static_cast<char16_t>(u'0' + i))}));
    return layer;
}

int Current(IRecset* recset) {
    CVariant bookmark;
    return recset->GetBookmark(&bookmark) ? bookmark.lVal : -1;
}

} // namespace

TEST(ShapeRecset, NothingIsCurrentBeforeMoveFirstOrAfterTheEnd) {
    CRef<CMemoryGeoDS> ds = MakeMemoryGeoDS(Lines(2));
    CRef<CShapeRecset> all = MakeRef<CShapeRecset>(ds->AsDirectAccess(), false, CGeoRect{});
    CRef<IShape> shape;
    CRef<IShapeAttr> attributes;
    CGeoRect bounds;
    EXPECT_EQ(all->GetShape(shape.Put(), 0), 0);
    EXPECT_EQ(all->GetAttributes(attributes.Put()), 0);
    EXPECT_EQ(all->GetRecordBounds(&bounds), 0);
    EXPECT_EQ(Current(all.Get()), -1);
    EXPECT_EQ(all->DeleteCurrent(), 0);
    ASSERT_EQ(all->MoveNext(), 1); // from -1 straight onto record 0
    EXPECT_EQ(Current(all.Get()), 0);
    ASSERT_EQ(all->MoveNext(), 1);
    EXPECT_EQ(all->MoveNext(), 0);
    EXPECT_EQ(all->MoveNext(), 0);
    EXPECT_EQ(all->GetShape(shape.Put(), 1), 0);
    EXPECT_EQ(all->GetRecordBounds(&bounds), 0);
    EXPECT_EQ(all->ReservedC(1, 2), 0);
    EXPECT_EQ(all->ReservedD(), 0);
    // MoveFirst starts over.
    ASSERT_EQ(all->MoveFirst(), 1);
    EXPECT_EQ(Current(all.Get()), 0);
    ASSERT_EQ(all->GetRecordBounds(&bounds), 1);
    EXPECT_EQ(bounds.left, 0);
    EXPECT_EQ(bounds.top, 1);
}

TEST(ShapeRecset, FilterSkipsRecordsWhoseBoundsCannotBeRead) {
    SLayerSpec layer = Lines(3);
    layer.records.insert(layer.records.begin() + 1, NullRecord({u"9"}));
    CRef<CMemoryGeoDS> ds = MakeMemoryGeoDS(layer);
    CRef<CShapeRecset> filtered =
        MakeRef<CShapeRecset>(ds->AsDirectAccess(), true, CGeoRect{-10, 10, 10, -10});
    EXPECT_EQ(WalkRecords(filtered.Get()), (std::vector<int>{0, 2, 3}));
    CRef<CShapeRecset> unfiltered = MakeRef<CShapeRecset>(ds->AsDirectAccess(), false, CGeoRect{});
    EXPECT_EQ(WalkRecords(unfiltered.Get()), (std::vector<int>{0, 1, 2, 3}));
    // The null record's shape is delivered as a null shape.
    ASSERT_EQ(unfiltered->SetPosition(1), 1);
    CRef<IShape> shape;
    ASSERT_EQ(unfiltered->GetShape(shape.Put(), 0), 1);
    EXPECT_EQ(shape->GetType(), SHAPE_NULL);
}

// A walk that fails ends with 0 like the end of the set, but keeps why for the caller, which can tell them
// apart.
TEST(ShapeRecset, AFailedWalkKeepsItsReason) {
    CRef<CMemoryGeoDS> ds = MakeMemoryGeoDS(Lines(3), {.failingBounds = 1});
    CRef<CShapeRecset> filtered =
        MakeRef<CShapeRecset>(ds->AsDirectAccess(), true, CGeoRect{-10, 10, 10, -10});
    ClearFailure();
    ASSERT_EQ(filtered->MoveFirst(), 1);
    EXPECT_FALSE(HasFailure());
    EXPECT_EQ(filtered->MoveNext(), 0);
    EXPECT_EQ(TakeFailureReason(), u"memory.shp has a bad format. (its record header is cut short)");
}

TEST(ShapeRecset, UnreadableShapeFallsBackToCreateShapeWhichFails) {
    CRef<CMemoryGeoDS> ds = MakeMemoryGeoDS(Lines(2), {.unreadable = {1}});
    CRef<CShapeRecset> all = MakeRef<CShapeRecset>(ds->AsDirectAccess(), false, CGeoRect{});
    ASSERT_EQ(all->SetPosition(1), 1);
    for (const int fresh : {0, 1}) {
        CRef<IShape> shape;
        EXPECT_EQ(all->GetShape(shape.Put(), fresh), 0);
        EXPECT_FALSE(shape);
    }
    // The record's attributes are still there.
    CRef<IShapeAttr> attributes;
    EXPECT_EQ(all->GetAttributes(attributes.Put()), 1);
}

TEST(ShapeRecset, DeletingTheLastRecordStepsBack) {
    CRef<CMemoryGeoDS> ds = MakeMemoryGeoDS(Lines(3), {.supportsDelete = true});
    CRef<CShapeRecset> all = MakeRef<CShapeRecset>(ds->AsDirectAccess(), false, CGeoRect{});
    ASSERT_EQ(all->SetPosition(1), 1);
    ASSERT_EQ(all->DeleteCurrent(), 1);
    EXPECT_EQ(all->GetCount(), 2);
    EXPECT_EQ(Current(all.Get()), 1); // now the record that followed
    ASSERT_EQ(all->DeleteCurrent(), 1);
    EXPECT_EQ(Current(all.Get()), 0);
    EXPECT_EQ(all->GetCount(), 1);
    // A source without deletion leaves everything.
    CRef<CMemoryGeoDS> fixed = MakeMemoryGeoDS(Lines(3));
    CRef<CShapeRecset> other = MakeRef<CShapeRecset>(fixed->AsDirectAccess(), false, CGeoRect{});
    ASSERT_EQ(other->SetPosition(2), 1);
    EXPECT_EQ(other->DeleteCurrent(), 0);
    EXPECT_EQ(Current(other.Get()), 2);
}

TEST(ShapeRecset, HoldsTheDataSourceUntilReleased) {
    bool destroyed = false;
    CRef<IRecset> all;
    {
        CRef<CMemoryGeoDS> ds = MakeMemoryGeoDS(Lines(2), {.destroyed = &destroyed});
        ASSERT_EQ(ds->SelectAll(all.Put()), 1);
    }
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(WalkRecords(all.Get()), (std::vector<int>{0, 1}));
    all.Reset();
    EXPECT_TRUE(destroyed);
}
