// Building regions from shapes: the kinds, the hole decision and the failures.

#include "search/SearchRegionFactory.h"

#include "ShapeRecords.h"
#include "search/LineShapeSearchRegion.h"
#include "search/PointSearchRegion.h"
#include "search/PolygonSearchRegion.h"
#include "search/PolygonShapeSearchRegion.h"

#include <gtest/gtest.h>

namespace fennick {
namespace {

// A polygon whose parts report ring kinds: 1 for the first part, 2 for the others.
class CKindedPolygon : public CUnknownImpl<IShape> {
public:
    explicit CKindedPolygon(CRef<CShapeImpl> shape) : m_shape(std::move(shape)) {}
    int GetType() override { return m_shape->GetType(); }
    int GetBounds(CGeoRect* b) override { return m_shape->GetBounds(b); }
    int GetCenter(CGeoPoint* c) override { return m_shape->GetCenter(c); }
    int GetPartCount() override { return m_shape->GetPartCount(); }
    int GetPartPointCount(int p, int* n) override { return m_shape->GetPartPointCount(p, n); }
    int GetPointCount(int* n) override { return m_shape->GetPointCount(n); }
    CGeoPoint* GetPartPoints(int p) override { return m_shape->GetPartPoints(p); }
    int CopyPoints(int s, CGeoPoint* d, int n) override { return m_shape->CopyPoints(s, d, n); }
    void SetBounds(const CGeoRect& b) override { m_shape->SetBounds(b); }
    int GetPartRingKind(int part) override { return part == 0 ? 1 : 2; }
    int ReservedA() override { return 0; }

private:
    CRef<CShapeImpl> m_shape;
};

TEST(SearchRegionFactory, KindsByShapeType) {
    CRef<ISearchRegion> region;
    ASSERT_EQ(CreateSearchRegionFromShape(test::MakePoint(1, 2).Get(), region.Put()), 1);
    EXPECT_NE(dynamic_cast<CPointSearchRegion*>(region.Get()), nullptr);
    ASSERT_EQ(CreateSearchRegionFromShape(test::MakeMultiPoint({{1, 2}, {3, 4}}).Get(), region.Put()), 1);
    auto* points = dynamic_cast<CPointSearchRegion*>(region.Get());
    ASSERT_NE(points, nullptr);
    EXPECT_EQ(points->Points().size(), 2u);
    ASSERT_EQ(CreateSearchRegionFromShape(test::MakePolyline({{{0, 0}, {1, 1}}}).Get(), region.Put()), 1);
    EXPECT_NE(dynamic_cast<CLineShapeSearchRegion*>(region.Get()), nullptr);
    ASSERT_EQ(
        CreateSearchRegionFromShape(test::MakePolygon({test::SquareCw(0, 0, 1, 1)}).Get(), region.Put()), 1);
    EXPECT_NE(dynamic_cast<CPolygonShapeSearchRegion*>(region.Get()), nullptr);

    // A null shape: success without a region.
    auto null = MakeRef<CShapeImpl>();
    ASSERT_EQ(null->SetData(SHAPE_NULL, 0, nullptr, 0), 1);
    ISearchRegion* raw = reinterpret_cast<ISearchRegion*>(&raw);
    EXPECT_EQ(CreateSearchRegionFromShape(null.Get(), &raw), 1);
    EXPECT_EQ(raw, nullptr);
}

TEST(SearchRegionFactory, FailuresLeaveNoRegion) {
    ISearchRegion* raw = nullptr;
    // A part without points.
    auto emptyPart = test::MakePolyline({{{0, 0}, {1, 1}}, {}});
    EXPECT_EQ(CreateSearchRegionFromShape(emptyPart.Get(), &raw), 0);
    EXPECT_EQ(raw, nullptr);
    auto emptyMulti = test::MakeMultiPoint({});
    EXPECT_EQ(CreateSearchRegionFromShape(emptyMulti.Get(), &raw), 0);
    EXPECT_EQ(raw, nullptr);
    auto unfilled = MakeRef<CShapeImpl>(); // type 0 with no point
    EXPECT_EQ(CreateSearchRegionFromShape(unfilled.Get(), &raw), 0);
}

TEST(SearchRegionFactory, HoleDecision) {
    CRef<ISearchRegion> region;
    // A single ring is never a hole, whatever its orientation.
    ASSERT_EQ(
        CreateSearchRegionFromShape(test::MakePolygon({test::SquareCcw(0, 0, 4, 4)}).Get(), region.Put()), 1);
    auto* single = dynamic_cast<CPolygonShapeSearchRegion*>(region.Get());
    ASSERT_EQ(single->Parts().size(), 1u);
    EXPECT_EQ(single->Parts()[0].hole, 0);
    const CGeoPoint centre{2, 2};
    EXPECT_EQ(region->ContainsPoint(&centre), 1);

    // Several rings: counter-clockwise ones are holes; each ring keeps its own bounds.
    auto shape = test::MakePolygon({test::SquareCcw(1, 1, 2, 2),
                                    test::SquareCw(0, 0, 10, 10),
                                    {{20, 20}, {20, 30}, {30, 30}, {30, 20}}});
    ASSERT_EQ(CreateSearchRegionFromShape(shape.Get(), region.Put()), 1);
    auto* multi = dynamic_cast<CPolygonShapeSearchRegion*>(region.Get());
    ASSERT_EQ(multi->Parts().size(), 3u);
    EXPECT_EQ(multi->Parts()[0].hole, 1);
    EXPECT_EQ(multi->Parts()[1].hole, 0);
    EXPECT_EQ(multi->Parts()[2].hole, 0);
    const CGeoPoint inHole{1.5, 1.5}, solid{5, 5}, nearUnclosedEnd{29, 21};
    EXPECT_EQ(region->IntersectsPoint(&inHole), 0);
    EXPECT_EQ(region->IntersectsPoint(&solid), 1);
    // The third ring is stored unclosed; its last vertex still counts for its bounds.
    EXPECT_EQ(region->ContainsPoint(&nearUnclosedEnd), 1);
    CGeoRect r;
    multi->Parts()[0].region->GetBounds(&r);
    EXPECT_EQ(r.right, 2);
    multi->Parts()[2].region->GetBounds(&r);
    EXPECT_EQ(r.right, 30);
    EXPECT_EQ(r.bottom, 20);

    // Ring kinds reported by the shape win over orientation.
    auto kinded = MakeRef<CKindedPolygon>(
        test::MakePolygon({test::SquareCw(4, 4, 6, 6), test::SquareCcw(0, 0, 10, 10)}));
    ASSERT_EQ(CreateSearchRegionFromShape(kinded.Get(), region.Put()), 1);
    auto* byKind = dynamic_cast<CPolygonShapeSearchRegion*>(region.Get());
    ASSERT_EQ(byKind->Parts().size(), 2u);
    EXPECT_EQ(byKind->Parts()[0].hole, 1);
    const CGeoPoint five{5, 5}, two{2, 2};
    EXPECT_EQ(region->ContainsPoint(&five), 0);
    EXPECT_EQ(region->ContainsPoint(&two), 1);
}

} // namespace
} // namespace fennick
