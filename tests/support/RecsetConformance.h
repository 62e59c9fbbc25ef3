#pragma once
// Record-set behaviour every data source must show, as a typed GoogleTest suite whose type parameter is a
// layer factory. A test file instantiates it for one kind of data source:
//
//   struct SMyFactory {
//       // Opens a data source over the layer (writing any files into dir); holds its first reference.
//       static fennick::CRef<fennick::IGeoDS> Open(const fennick::test::SLayerSpec& layer,
//                                                  const fennick::test::CTempDir& dir);
//   };
//   INSTANTIATE_TYPED_TEST_SUITE_P(MySource, RecsetConformance, ::testing::Types<SMyFactory>);
//
// The layers use polygons with fields NAME (character, 16) and VALUE (integer, 10), with no spatial index.
// Include this header in one test file per binary only.

#include "LayerSpec.h"
#include "RecsetTestHelpers.h"
#include "TempDir.h"

#include "data/IExpression.h"
#include "data/IGeoDS.h"
#include "data/IRecset.h"
#include "data/ISearchRegion.h"
#include "data/IShape.h"
#include "data/IShapeAttr.h"
#include "data/IString.h"
#include "data/RectOperations.h"
#include "data/RefCounted.h"
#include "data/SearchSpec.h"
#include "platform/Variant.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace fennick::test {

template <class Factory> class RecsetConformance : public ::testing::Test {
protected:
    static std::vector<SFieldSpec> Fields() {
        return {{u"NAME", FIELD_CHARACTER, 16, 0}, {u"VALUE", FIELD_INTEGER, 10, 0}};
    }

    // A row of unit squares at x = 0, 2, 4, ... along y = 0..1, each named "sq<i>" with value i.
    static SLayerSpec Squares(int n) {
        SLayerSpec layer{SHAPE_POLYGON, Fields(), {}};
        for (int i = 0; i < n; ++i) {
            const std::u16string number(std::u16string(1, static_cast<char16_t>(u'0' + i % 10)));
            layer.records.push_back(SquareRecord(2.0 * i, 0, 1, {u"sq" + number, number}));
        }
        return layer;
    }

    CRef<IGeoDS> Open(const SLayerSpec& layer) { return Factory::Open(layer, m_dir); }

    CRef<IRecset> Select(IGeoDS* ds, const CGeoRect& query) {
        CRef<IRecset> recset;
        EXPECT_EQ(ds->SelectByRect(&query, recset.Put()), 1);
        return recset;
    }

    CTempDir m_dir;
};

TYPED_TEST_SUITE_P(RecsetConformance);

// A source whose format cannot hold an empty layer of a known shape type says so with a member
// `static constexpr bool kRefusesEmptyLayers = true;` in its factory; it must then refuse to open one.
template <class Factory> constexpr bool RefusesEmptyLayers() {
    if constexpr (requires { Factory::kRefusesEmptyLayers; })
        return Factory::kRefusesEmptyLayers;
    else
        return false;
}

TYPED_TEST_P(RecsetConformance, SelectAllOnAnEmptyLayerYieldsASetWithoutRecords) {
    CRef<IGeoDS> ds = this->Open(SLayerSpec{SHAPE_POLYGON, this->Fields(), {}});
    if constexpr (RefusesEmptyLayers<TypeParam>()) {
        EXPECT_FALSE(ds);
        return;
    }
    ASSERT_TRUE(ds);
    CRef<IRecset> all;
    ASSERT_EQ(ds->SelectAll(all.Put()), 1);
    ASSERT_TRUE(all);
    EXPECT_EQ(all->MoveFirst(), 0);
    EXPECT_EQ(all->GetCount(), 0);
    CVariant bookmark;
    EXPECT_EQ(all->GetBookmark(&bookmark), 0);
}

TYPED_TEST_P(RecsetConformance, SelectAllWalksEveryRecordInOrderWithItsAttributes) {
    SLayerSpec layer = this->Squares(4);
    layer.records.insert(layer.records.begin() + 2, NullRecord({u"nothing", u"7"}));
    CRef<IGeoDS> ds = this->Open(layer);
    ASSERT_TRUE(ds);
    CRef<IRecset> all;
    ASSERT_EQ(ds->SelectAll(all.Put()), 1);
    EXPECT_EQ(WalkRecords(all.Get()), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(all->GetCount(), 5);

    std::vector<std::u16string> names;
    CIString name;
    for (int more = all->MoveFirst(); more; more = all->MoveNext()) {
        CRef<IShapeAttr> attributes;
        ASSERT_EQ(all->GetAttributes(attributes.Put()), 1);
        ASSERT_EQ(attributes->GetString(0, &name), 1);
        names.push_back(name.Str());
    }
    EXPECT_EQ(names, (std::vector<std::u16string>{u"sq0", u"sq1", u"nothing", u"sq2", u"sq3"}));
    // Past the end nothing is current.
    EXPECT_EQ(all->MoveNext(), 0);
    CRef<IShape> shape;
    EXPECT_EQ(all->GetShape(shape.Put(), 0), 0);
}

TYPED_TEST_P(RecsetConformance, QueryCoveringOrEqualToTheLayerYieldsEveryRecord) {
    SLayerSpec layer = this->Squares(3);
    CRef<IGeoDS> ds = this->Open(layer);
    ASSERT_TRUE(ds);
    CGeoRect bounds;
    ASSERT_EQ(ds->GetBounds(&bounds), 1);
    const CGeoRect larger{bounds.left - 1, bounds.top + 1, bounds.right + 1, bounds.bottom - 1};
    for (const CGeoRect& query : {bounds, larger}) {
        CRef<IRecset> recset = this->Select(ds.Get(), query);
        ASSERT_TRUE(recset);
        EXPECT_EQ(WalkRecords(recset.Get()), (std::vector<int>{0, 1, 2}));
        CGeoRect reported;
        EXPECT_EQ(recset->GetBounds(&reported), 1);
        EXPECT_EQ(reported.left, query.left);
        EXPECT_EQ(reported.top, query.top);
    }
}

TYPED_TEST_P(RecsetConformance, QueryTouchingOneEdgeYieldsTheRecordsOnThatEdge) {
    // Squares at x 0..1, 2..3, 4..5; a tall one at 4..5 reaching y = 3.
    SLayerSpec layer = this->Squares(3);
    layer.records.push_back(SquareRecord(4, 2, 1, {u"high", u"9"}));
    layer.records.push_back(SquareRecord(2, 2, 1, {u"mid", u"8"}));
    CRef<IGeoDS> ds = this->Open(layer);
    ASSERT_TRUE(ds);
    // Right of the layer, touching its right edge x = 5 only.
    CRef<IRecset> right = this->Select(ds.Get(), CGeoRect{5, 10, 8, -10});
    EXPECT_EQ(WalkRecords(right.Get()), (std::vector<int>{2, 3}));
    // A filtered set still reports the whole layer's count.
    EXPECT_EQ(right->GetCount(), 5);
    // Above the layer, touching its top edge y = 3 only.
    CRef<IRecset> top = this->Select(ds.Get(), CGeoRect{-10, 4, 10, 3});
    EXPECT_EQ(WalkRecords(top.Get()), (std::vector<int>{3, 4}));
    // Clear of the layer: nothing.
    CRef<IRecset> none = this->Select(ds.Get(), CGeoRect{6, 10, 8, -10});
    EXPECT_EQ(none->MoveFirst(), 0);
}

TYPED_TEST_P(RecsetConformance, UnfreshShapeIsOneObjectRefilledAndFreshShapesAreNew) {
    CRef<IGeoDS> ds = this->Open(this->Squares(2));
    ASSERT_TRUE(ds);
    CRef<IRecset> all;
    ASSERT_EQ(ds->SelectAll(all.Put()), 1);
    ASSERT_EQ(all->MoveFirst(), 1);
    CRef<IShape> first;
    CRef<IShape> fresh;
    ASSERT_EQ(all->GetShape(first.Put(), 0), 1);
    ASSERT_EQ(all->GetShape(fresh.Put(), 1), 1);
    EXPECT_NE(first.Get(), fresh.Get());
    ASSERT_EQ(all->MoveNext(), 1);
    CRef<IShape> second;
    ASSERT_EQ(all->GetShape(second.Put(), 0), 1);
    EXPECT_EQ(first.Get(), second.Get());
    CGeoRect b;
    ASSERT_EQ(second->GetBounds(&b), 1);
    EXPECT_EQ(b.left, 2);
    // The fresh shape keeps the first record's geometry across the move.
    ASSERT_EQ(fresh->GetBounds(&b), 1);
    EXPECT_EQ(b.left, 0);
    EXPECT_EQ(fresh->GetType(), SHAPE_POLYGON);
}

TYPED_TEST_P(RecsetConformance, BookmarksAndPositionsNameRecordNumbers) {
    CRef<IGeoDS> ds = this->Open(this->Squares(4));
    ASSERT_TRUE(ds);
    CRef<IRecset> all;
    ASSERT_EQ(ds->SelectAll(all.Put()), 1);
    EXPECT_EQ(all->MoveToBookmark(CVariant::FromI4(2)), 1);
    CVariant bookmark;
    ASSERT_EQ(all->GetBookmark(&bookmark), 1);
    EXPECT_EQ(bookmark.vt, VT_I4);
    EXPECT_EQ(bookmark.lVal, 2);
    EXPECT_EQ(all->MoveNext(), 1);
    ASSERT_EQ(all->GetBookmark(&bookmark), 1);
    EXPECT_EQ(bookmark.lVal, 3);
    // A bookmark in another type is converted.
    EXPECT_EQ(all->MoveToBookmark(CVariant::FromR8(1.0)), 1);
    ASSERT_EQ(all->GetBookmark(&bookmark), 1);
    EXPECT_EQ(bookmark.lVal, 1);
    // Out of range leaves the position.
    EXPECT_EQ(all->MoveToBookmark(CVariant::FromI4(4)), 0);
    EXPECT_EQ(all->SetPosition(-1), 0);
    ASSERT_EQ(all->GetBookmark(&bookmark), 1);
    EXPECT_EQ(bookmark.lVal, 1);
    EXPECT_EQ(all->SetPosition(3), 1);
    ASSERT_EQ(all->GetBookmark(&bookmark), 1);
    EXPECT_EQ(bookmark.lVal, 3);
}

TYPED_TEST_P(RecsetConformance, SearchWithExpressionOnlyListsPassingRecordsInRecordOrder) {
    CRef<IGeoDS> ds = this->Open(this->Squares(6));
    ASSERT_TRUE(ds);
    CRef<CValueExpression> expression = MakeRef<CValueExpression>(1, std::vector<int>{4, 1, 5});
    CSearchSpec spec(nullptr, 0, expression.Get());
    CRef<IRecset> found;
    ASSERT_EQ(ds->Search(&spec, found.Put()), 1);
    EXPECT_EQ(expression->seen, (std::vector<int>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(found->GetCount(), 3);
    // Delivered positioned on its first entry.
    CVariant bookmark;
    ASSERT_EQ(found->GetBookmark(&bookmark), 1);
    EXPECT_EQ(bookmark.lVal, 1);
    EXPECT_EQ(WalkRecords(found.Get()), (std::vector<int>{1, 4, 5}));
    // Its bounds are those of the listed records.
    CGeoRect b;
    ASSERT_EQ(found->GetBounds(&b), 1);
    EXPECT_EQ(b.left, 2);
    EXPECT_EQ(b.right, 11);
    EXPECT_EQ(b.bottom, 0);
    EXPECT_EQ(b.top, 1);
}

TYPED_TEST_P(RecsetConformance, SearchByRegionUsesContainmentOrIntersection) {
    CRef<IGeoDS> ds = this->Open(this->Squares(4));
    ASSERT_TRUE(ds);
    // Covers square 1 whole and half of square 2.
    CRef<CRectRegion> region = MakeRef<CRectRegion>(CGeoRect{1.5, 2, 4.5, -1});
    for (const auto& [mode, expected] :
         {std::pair{0, std::vector<int>{1}}, std::pair{1, std::vector<int>{1, 2}}}) {
        CSearchSpec spec(region.Get(), mode, nullptr);
        CRef<IRecset> found;
        ASSERT_EQ(ds->Search(&spec, found.Put()), 1) << "contain mode " << mode;
        EXPECT_EQ(WalkRecords(found.Get()), expected) << "contain mode " << mode;
    }
    // Region and expression together: both must pass.
    CRef<CValueExpression> expression = MakeRef<CValueExpression>(1, std::vector<int>{2, 3});
    CSearchSpec both(region.Get(), 1, expression.Get());
    CRef<IRecset> found;
    ASSERT_EQ(ds->Search(&both, found.Put()), 1);
    EXPECT_EQ(WalkRecords(found.Get()), (std::vector<int>{2}));
    EXPECT_EQ(expression->seen, (std::vector<int>{1, 2}));
}

TYPED_TEST_P(RecsetConformance, SearchFindingNothingFails) {
    CRef<IGeoDS> ds = this->Open(this->Squares(3));
    ASSERT_TRUE(ds);
    CRef<CValueExpression> expression = MakeRef<CValueExpression>(1, std::vector<int>{42});
    CSearchSpec spec(nullptr, 0, expression.Get());
    CRef<IRecset> found;
    EXPECT_EQ(ds->Search(&spec, found.Put()), 0);
    EXPECT_FALSE(found);
    CRef<CRectRegion> away = MakeRef<CRectRegion>(CGeoRect{100, 101, 101, 100});
    CSearchSpec far(away.Get(), 1, nullptr);
    EXPECT_EQ(ds->Search(&far, found.Put()), 0);
    EXPECT_FALSE(found);
}

TYPED_TEST_P(RecsetConformance, SearchSetStopsOnItsLastEntry) {
    CRef<IGeoDS> ds = this->Open(this->Squares(3));
    ASSERT_TRUE(ds);
    CRef<CValueExpression> expression = MakeRef<CValueExpression>(1, std::vector<int>{0, 2});
    CSearchSpec spec(nullptr, 0, expression.Get());
    CRef<IRecset> found;
    ASSERT_EQ(ds->Search(&spec, found.Put()), 1);
    ASSERT_EQ(found->MoveNext(), 1);
    EXPECT_EQ(found->MoveNext(), 0);
    CVariant bookmark;
    ASSERT_EQ(found->GetBookmark(&bookmark), 1);
    EXPECT_EQ(bookmark.lVal, 2);
    // Every GetShape of a search set is a new object.
    CRef<IShape> a;
    CRef<IShape> b;
    ASSERT_EQ(found->GetShape(a.Put(), 0), 1);
    ASSERT_EQ(found->GetShape(b.Put(), 0), 1);
    EXPECT_NE(a.Get(), b.Get());
    EXPECT_EQ(found->MoveToBookmark(CVariant::FromI4(0)), 1);
    EXPECT_EQ(found->MoveToBookmark(CVariant::FromI4(1)), 0);
    ASSERT_EQ(found->GetBookmark(&bookmark), 1);
    EXPECT_EQ(bookmark.lVal, 0);
    // Deletion is not supported by the data sources of this system.
    EXPECT_EQ(found->DeleteCurrent(), 0);
    EXPECT_EQ(found->GetCount(), 2);
}

TYPED_TEST_P(RecsetConformance, SortByDistanceOrdersTheSearchSetByDistanceFromThePoint) {
    SLayerSpec layer{SHAPE_POLYGON, this->Fields(), {}};
    // From (0, 0): the first square lies 5 away, the second 2, the third 3.
    layer.records.push_back(SquareRecord(5, -0.5, 1, {u"a", u"1"}));
    layer.records.push_back(SquareRecord(-3, -0.5, 1, {u"b", u"2"}));
    layer.records.push_back(SquareRecord(-0.5, 3, 1, {u"c", u"3"}));
    CRef<IGeoDS> ds = this->Open(layer);
    ASSERT_TRUE(ds);
    CRef<CValueExpression> expression = MakeRef<CValueExpression>(1, std::vector<int>{1, 2, 3});
    CSearchSpec spec(nullptr, 0, expression.Get());
    CRef<IRecset> found;
    ASSERT_EQ(ds->Search(&spec, found.Put()), 1);
    ASSERT_EQ(found->SortByDistance(CGeoPoint{0, 0}), 1);
    EXPECT_EQ(WalkRecords(found.Get()), (std::vector<int>{1, 2, 0}));
    // Sets of record order do not sort.
    CRef<IRecset> all;
    ASSERT_EQ(ds->SelectAll(all.Put()), 1);
    EXPECT_EQ(all->SortByDistance(CGeoPoint{0, 0}), 0);
}

TYPED_TEST_P(RecsetConformance, RecordSetKeepsItsDataSourceAlive) {
    CRef<IRecset> all;
    {
        CRef<IGeoDS> ds = this->Open(this->Squares(3));
        ASSERT_TRUE(ds);
        ASSERT_EQ(ds->SelectAll(all.Put()), 1);
    }
    EXPECT_EQ(WalkRecords(all.Get()), (std::vector<int>{0, 1, 2}));
    ASSERT_EQ(all->SetPosition(1), 1);
    CRef<IShape> shape;
    ASSERT_EQ(all->GetShape(shape.Put(), 0), 1);
    CGeoRect b;
    ASSERT_EQ(shape->GetBounds(&b), 1);
    EXPECT_EQ(b.left, 2);
    CRef<IShapeAttr> attributes;
    ASSERT_EQ(all->GetAttributes(attributes.Put()), 1);
    int value = -1;
    ASSERT_EQ(attributes->GetInteger(1, &value), 1);
    EXPECT_EQ(value, 1);
}

REGISTER_TYPED_TEST_SUITE_P(
    RecsetConformance, SelectAllOnAnEmptyLayerYieldsASetWithoutRecords,
    SelectAllWalksEveryRecordInOrderWithItsAttributes, QueryCoveringOrEqualToTheLayerYieldsEveryRecord,
    QueryTouchingOneEdgeYieldsTheRecordsOnThatEdge, UnfreshShapeIsOneObjectRefilledAndFreshShapesAreNew,
    BookmarksAndPositionsNameRecordNumbers, SearchWithExpressionOnlyListsPassingRecordsInRecordOrder,
    SearchByRegionUsesContainmentOrIntersection, SearchFindingNothingFails, SearchSetStopsOnItsLastEntry,
    SortByDistanceOrdersTheSearchSetByDistanceFromThePoint, RecordSetKeepsItsDataSourceAlive);

} // namespace fennick::test
