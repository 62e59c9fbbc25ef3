// The choice of record set for a rectangle: the cover shortcut, the spatial index and the bounds filter.

#include "MemoryGeoDS.h"
#include "RecsetTestHelpers.h"
#include "StxWriter.h"
#include "TempDir.h"

#include "data/QuickRecset.h"
#include "data/ShapeRecset.h"
#include "search/RecsetSelection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>

using namespace fennick;
using namespace fennick::test;

namespace {

// A 4 x 4 grid of unit squares two units apart, record 4 * row + column.
SLayerSpec Grid() {
    SLayerSpec layer{SHAPE_POLYGON, {{u"ID", FIELD_INTEGER, 4, 0}}, {}};
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 4; ++col)
            layer.records.push_back(SquareRecord(2.0 * col, 2.0 * row, 1, {std::u16string(1, u'0')}));
    }
    return layer;
}

CRef<IRecset> Select(CMemoryGeoDS* ds, const CGeoRect& query) {
    CRef<IRecset> recset;
    EXPECT_EQ(ds->SelectByRect(&query, recset.Put()), 1);
    return recset;
}

} // namespace

TEST(SelectByRect, QueryCoveringTheLayerWalksEverythingWithoutIndexOrBoundsTests) {
    CRef<CMemoryGeoDS> ds = MakeMemoryGeoDS(Grid(), {.index = EMemoryIndex::Exact});
    CGeoRect layer;
    ds->GetBounds(&layer); // {0, 7, 7, 0}
    const CGeoRect cases[] = {layer, {-1, 8, 8, -1}};
    for (const CGeoRect& query : cases) {
        CRef<IRecset> recset = Select(ds.Get(), query);
        EXPECT_NE(dynamic_cast<CShapeRecset*>(recset.Get()), nullptr);
        EXPECT_FALSE(static_cast<CShapeRecset*>(recset.Get())->IsFiltered());
        EXPECT_EQ(WalkRecords(recset.Get()).size(), 16u);
    }
    EXPECT_EQ(ds->indexQueries, 0);
    EXPECT_EQ(ds->recordBoundsCalls, 0);
    // Larger on three sides and level on the fourth is not a cover: the index answers.
    CRef<IRecset> level = Select(ds.Get(), CGeoRect{0, 8, 8, -1});
    EXPECT_NE(dynamic_cast<CQuickRecset*>(level.Get()), nullptr);
    EXPECT_EQ(ds->indexQueries, 1);
    EXPECT_EQ(WalkRecords(level.Get()).size(), 16u);
}

TEST(SelectByRect, NotANumberNeverCountsAsCover) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    CRef<CMemoryGeoDS> ds = MakeMemoryGeoDS(Grid(), {.index = EMemoryIndex::Listed, .indexRecords = {3}});
    CRef<IRecset> recset = Select(ds.Get(), CGeoRect{nan, 100, 100, -100});
    EXPECT_EQ(ds->indexQueries, 1);
    EXPECT_EQ(WalkRecords(recset.Get()), std::vector<int>{3});
}

TEST(SelectByRect, IndexAnswerIsWalkedInRecordOrderAsAQuickSet) {
    CRef<CMemoryGeoDS> ds = MakeMemoryGeoDS(Grid(), {.index = EMemoryIndex::Exact});
    // Touches column 1 and 2 of rows 0 and 1 (edges inclusive).
    const CGeoRect query{3, 2, 4, 1};
    CRef<IRecset> recset = Select(ds.Get(), query);
    ASSERT_NE(dynamic_cast<CQuickRecset*>(recset.Get()), nullptr);
    EXPECT_EQ(WalkRecords(recset.Get()), (std::vector<int>{1, 2, 5, 6}));
    EXPECT_EQ(recset->GetCount(), -1);
    EXPECT_EQ(ds->recordBoundsCalls, 0);
    CGeoRect bounds;
    ASSERT_EQ(recset->GetBounds(&bounds), 1);
    EXPECT_EQ(bounds.left, 3);
    EXPECT_EQ(bounds.bottom, 1);
    // A second walk starts over.
    EXPECT_EQ(WalkRecords(recset.Get()), (std::vector<int>{1, 2, 5, 6}));
}

TEST(SelectByRect, WithoutIndexOrWhenItFailsEveryRecordsBoundsAreTested) {
    for (const EMemoryIndex index : {EMemoryIndex::None, EMemoryIndex::Fails}) {
        CRef<CMemoryGeoDS> ds = MakeMemoryGeoDS(Grid(), {.index = index});
        CRef<IRecset> recset = Select(ds.Get(), CGeoRect{3, 2, 4, 1});
        auto* shapes = dynamic_cast<CShapeRecset*>(recset.Get());
        ASSERT_NE(shapes, nullptr);
        EXPECT_TRUE(shapes->IsFiltered());
        EXPECT_EQ(WalkRecords(recset.Get()), (std::vector<int>{1, 2, 5, 6}));
        EXPECT_EQ(recset->GetCount(), 16);
        EXPECT_EQ(ds->recordBoundsCalls, 16);
        EXPECT_EQ(ds->indexQueries, index == EMemoryIndex::Fails ? 1 : 0);
    }
}

TEST(SelectByRect, QuickSetOverAnIndexFileYieldsItsCandidates) {
    CTempDir dir;
    const SLayerSpec layer = Grid();
    std::vector<CGeoRect> rects;
    for (const SRecordSpec& record : layer.records)
        rects.push_back(RecordBounds(record));
    const SStxNode root = BuildQuadTree(rects, 3);
    const std::string path = dir.Write("grid.stx", StxFileBytes(root, static_cast<int32_t>(rects.size())));
    CRef<CMemoryGeoDS> ds = MakeMemoryGeoDS(
        layer, {.index = EMemoryIndex::File, .indexPath = std::u16string(path.begin(), path.end())});
    for (const CGeoRect& query :
         {CGeoRect{3, 2, 4, 1}, CGeoRect{0.5, 6.5, 0.7, 6.2}, CGeoRect{5.5, 1.5, 5.7, 0.5}}) {
        CRef<IRecset> recset = Select(ds.Get(), query);
        ASSERT_NE(dynamic_cast<CQuickRecset*>(recset.Get()), nullptr);
        std::vector<int> expected;
        for (const int32_t r : CandidatesOf(root, query))
            expected.push_back(r);
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(WalkRecords(recset.Get()), expected);
    }
    EXPECT_EQ(ds->indexQueries, 3);
}
