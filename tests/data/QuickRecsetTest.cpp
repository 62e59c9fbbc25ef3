// The record set over a spatial index's answer.

#include "MemoryGeoDS.h"
#include "RecsetTestHelpers.h"

#include "data/QuickRecset.h"

#include <gtest/gtest.h>

using namespace fennick;
using namespace fennick::test;

namespace {

SLayerSpec Row(int n) {
    SLayerSpec layer{SHAPE_POINT, {{u"ID", FIELD_INTEGER, 4, 0}}, {}};
    for (int i = 0; i < n; ++i)
        layer.records.push_back(PointRecord(i, 0, {std::u16string(1, static_cast<char16_t>(u'0' + i))}));
    return layer;
}

CRef<CQuickRecset> QuickSet(CMemoryGeoDS* ds, std::vector<bool> bits) {
    CRef<CQuickRecset> quick = MakeRef<CQuickRecset>(ds->AsDirectAccess(), CGeoRect{-1, 1, 1, -1});
    quick->Bits() = std::move(bits);
    quick->CountSelected();
    return quick;
}

} // namespace

TEST(QuickRecset, WalksTheMarkedRecordsAndAnswersBookmarksOnlyForThem) {
    CRef<CMemoryGeoDS> ds = MakeMemoryGeoDS(Row(6));
    CRef<CQuickRecset> quick = QuickSet(ds.Get(), {false, true, false, true, true, false});
    EXPECT_EQ(quick->SelectedCount(), 3);
    EXPECT_EQ(WalkRecords(quick.Get()), (std::vector<int>{1, 3, 4}));
    EXPECT_EQ(quick->MoveNext(), 0);

    ASSERT_EQ(quick->MoveFirst(), 1);
    EXPECT_EQ(quick->MoveToBookmark(CVariant::FromI4(2)), 0); // not marked
    EXPECT_EQ(quick->MoveToBookmark(CVariant::FromI4(6)), 0); // past the source
    EXPECT_EQ(quick->SetPosition(3), 1);
    CVariant bookmark;
    ASSERT_EQ(quick->GetBookmark(&bookmark), 1);
    EXPECT_EQ(bookmark.lVal, 3);
    // The visited count is kept: one record was visited, so two more follow.
    EXPECT_EQ(quick->MoveNext(), 1);
    ASSERT_EQ(quick->GetBookmark(&bookmark), 1);
    EXPECT_EQ(bookmark.lVal, 4);
    EXPECT_EQ(quick->MoveNext(), 0);

    CRef<IShapeAttr> attributes;
    ASSERT_EQ(quick->GetAttributes(attributes.Put()), 1);
    int id = -1;
    ASSERT_EQ(attributes->GetInteger(0, &id), 1);
    EXPECT_EQ(id, 4);
}

TEST(QuickRecset, UnsupportedOperationsAnswerZero) {
    CRef<CMemoryGeoDS> ds = MakeMemoryGeoDS(Row(3), {.supportsDelete = true});
    CRef<CQuickRecset> quick = QuickSet(ds.Get(), {true, true, true});
    ASSERT_EQ(quick->MoveFirst(), 1);
    EXPECT_EQ(quick->GetCount(), -1);
    EXPECT_EQ(quick->ReservedA(1), 0);
    EXPECT_EQ(quick->ReservedB(), 1);
    EXPECT_EQ(quick->ReservedC(1, 2), 0);
    EXPECT_EQ(quick->ReservedD(), 0);
    EXPECT_EQ(quick->SortByDistance(CGeoPoint{}), 0);
    EXPECT_EQ(quick->DeleteCurrent(), 0);
    EXPECT_EQ(ds->GetRecordCount(), 3);
}

TEST(QuickRecset, NothingMarkedOrAnEmptySourceYieldsNothing) {
    CRef<CMemoryGeoDS> ds = MakeMemoryGeoDS(Row(3));
    EXPECT_EQ(QuickSet(ds.Get(), {false, false, false})->MoveFirst(), 0);
    EXPECT_EQ(QuickSet(ds.Get(), {})->MoveFirst(), 0);
    CRef<CMemoryGeoDS> empty = MakeMemoryGeoDS(Row(0));
    EXPECT_EQ(QuickSet(empty.Get(), {true, true})->MoveFirst(), 0);
}

TEST(QuickRecset, MarksBeyondTheSourcesRecordsAreNotYielded) {
    // An index that covers more records than the source holds.
    CRef<CMemoryGeoDS> ds = MakeMemoryGeoDS(Row(3));
    CRef<CQuickRecset> quick = QuickSet(ds.Get(), {false, true, false, true, true});
    EXPECT_EQ(WalkRecords(quick.Get()), std::vector<int>{1});
    EXPECT_EQ(quick->MoveToBookmark(CVariant::FromI4(3)), 0);
}
