// The data source base classes, seen through the in-memory data source that derives from them.

#include "MemoryGeoDS.h"

#include "data/ICoordSys.h"
#include "data/IRecset.h"
#include "data/IShape.h"
#include "data/IString.h"
#include "data/RefCounted.h"
#include "platform/Variant.h"

#include <gtest/gtest.h>

using namespace fennick;
using namespace fennick::test;

namespace {

// A coordinate system that only counts; every operation fails.
class CCountedCoordSys final : public CUnknownImpl<ICoordSys> {
public:
    explicit CCountedCoordSys(bool* destroyed) : m_destroyed(destroyed) {}
    ~CCountedCoordSys() override { *m_destroyed = true; }
    int32_t Count() {
        AddRef();
        return Release();
    }
    int SetFromCode(int) override { return 0; }
    int GetCode() override { return 0; }
    int SetFromWkt(const char16_t*) override { return 0; }
    int LoadFromFile(const char16_t*) override { return 0; }
    int IsProjected() override { return 0; }
    int IsGeographic() override { return 0; }
    int IsEmpty() override { return 1; }
    int TransformShape(ICoordSys*, IShape*) override { return 0; }
    int TransformRect(ICoordSys*, CGeoRect*) override { return 0; }
    int TransformPoint(ICoordSys*, CGeoPoint*) override { return 0; }
    int GetUnitCode() override { return 0; }
    int ReleaseBuffers() override { return 0; }
    CNativeProjection* GetNativeProjection() override { return nullptr; }
    int Clone(ICoordSys**) override { return 0; }

private:
    bool* m_destroyed;
};

SLayerSpec TwoSquares() {
    return SLayerSpec{SHAPE_POLYGON,
                      {{u"NAME", FIELD_CHARACTER, 16, 0}, {u"AREA", FIELD_REAL, 12, 3}},
                      {SquareRecord(0, 0, 1, {u"a", u"1.0"}), SquareRecord(2, 0, 1, {u"b", u"1.0"})}};
}

} // namespace

TEST(BaseGeoDS, BothFacetsCountOnOneCounterAndTheLastReleaseDestroys) {
    bool destroyed = false;
    CRef<CMemoryGeoDS> ds = MakeMemoryGeoDS(TwoSquares(), {.destroyed = &destroyed});
    IGeoDS* geo = ds->AsGeoDS();
    IDirectAccess* access = ds->AsDirectAccess();
    ASSERT_NE(static_cast<void*>(geo), static_cast<void*>(access));
    EXPECT_EQ(geo->AddRef(), 2);
    EXPECT_EQ(access->AddRef(), 3);
    EXPECT_EQ(geo->Release(), 2);
    EXPECT_EQ(access->Release(), 1);
    access->AddRef();
    ds.Reset(); // the holder's reference goes through the class itself
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(access->Release(), 0);
    EXPECT_TRUE(destroyed);
}

TEST(BaseGeoDS, QueryInterfaceOfEitherFacetAnswersAbortAndLeavesTheOutPointer) {
    CRef<CMemoryGeoDS> ds = MakeMemoryGeoDS(TwoSquares());
    int marker = 0;
    void* out = &marker;
    EXPECT_EQ(ds->AsGeoDS()->QueryInterface(SGuid{1, 2, 3, {}}, &out), E_ABORT);
    EXPECT_EQ(out, &marker);
    EXPECT_EQ(ds->AsDirectAccess()->QueryInterface(SGuid{}, &out), E_ABORT);
    EXPECT_EQ(out, &marker);
}

TEST(BaseGeoDS, SetCoordSysKeepsOneReferenceAndReleasesOnReplaceNullAndDestruction) {
    bool firstGone = false;
    bool secondGone = false;
    CRef<CCountedCoordSys> first = MakeRef<CCountedCoordSys>(&firstGone);
    CRef<CCountedCoordSys> second = MakeRef<CCountedCoordSys>(&secondGone);
    {
        CRef<CMemoryGeoDS> ds = MakeMemoryGeoDS(TwoSquares());
        IGeoDS* geo = ds->AsGeoDS();
        EXPECT_EQ(geo->GetCoordSys(), nullptr);
        EXPECT_EQ(geo->SetCoordSys(first.Get()), 1);
        EXPECT_EQ(first->Count(), 2);
        // The pointer already stored: nothing changes.
        EXPECT_EQ(geo->SetCoordSys(first.Get()), 1);
        EXPECT_EQ(first->Count(), 2);
        EXPECT_EQ(geo->GetCoordSys(), first.Get());
        EXPECT_EQ(first->Count(), 2); // GetCoordSys adds no reference
        EXPECT_EQ(geo->SetCoordSys(second.Get()), 1);
        EXPECT_EQ(first->Count(), 1);
        EXPECT_EQ(second->Count(), 2);
        EXPECT_EQ(geo->SetCoordSys(nullptr), 1);
        EXPECT_EQ(second->Count(), 1);
        EXPECT_EQ(geo->GetCoordSys(), nullptr);
        geo->SetCoordSys(second.Get());
    }
    EXPECT_EQ(second->Count(), 1); // released by the destructor
    // A coordinate system held only by the data source goes with it.
    bool onlyGone = false;
    {
        CRef<CMemoryGeoDS> ds = MakeMemoryGeoDS(TwoSquares());
        ds->SetCoordSys(MakeRef<CCountedCoordSys>(&onlyGone).Get());
        EXPECT_FALSE(onlyGone);
    }
    EXPECT_TRUE(onlyGone);
}

TEST(BaseGeoDS, CodePageStartsAtZeroAndIgnoresNegativeValues) {
    CRef<CMemoryGeoDS> ds = MakeMemoryGeoDS(TwoSquares());
    IGeoDS* geo = ds->AsGeoDS();
    EXPECT_EQ(geo->GetCodePage(), 0);
    geo->SetCodePage(1251);
    EXPECT_EQ(geo->GetCodePage(), 1251);
    geo->SetCodePage(-1);
    EXPECT_EQ(geo->GetCodePage(), 1251);
    geo->SetCodePage(0);
    EXPECT_EQ(geo->GetCodePage(), 0);
}

TEST(BaseGeoDS, DefaultAnswersAndSelectIntersectingIsSelectByRect) {
    CRef<CMemoryGeoDS> ds = MakeMemoryGeoDS(TwoSquares(), {.supportsDelete = false});
    IGeoDS* geo = ds->AsGeoDS();
    IDirectAccess* access = ds->AsDirectAccess();
    EXPECT_EQ(geo->ReservedA(5), 0);
    CRef<IShape> created;
    EXPECT_EQ(access->CreateShape(0, created.Put()), 0);
    EXPECT_EQ(access->ReservedA(0, 1), 0);
    EXPECT_EQ(access->ReservedC(0, 1, 2), 0);
    EXPECT_EQ(access->ReservedD(0), 0);
    EXPECT_EQ(access->DeleteRecord(0), 0);
    EXPECT_EQ(access->GetRecordCount(), 2);

    const CGeoRect query{1.5, 5, 5, -5};
    CRef<IRecset> byRect;
    CRef<IRecset> intersecting;
    ASSERT_EQ(geo->SelectByRect(&query, byRect.Put()), 1);
    ASSERT_EQ(geo->SelectIntersecting(&query, intersecting.Put()), 1);
    std::vector<int> a;
    std::vector<int> b;
    CVariant bm;
    for (int more = byRect->MoveFirst(); more; more = byRect->MoveNext())
        a.push_back(byRect->GetBookmark(&bm) ? bm.lVal : -1);
    for (int more = intersecting->MoveFirst(); more; more = intersecting->MoveNext())
        b.push_back(intersecting->GetBookmark(&bm) ? bm.lVal : -1);
    EXPECT_EQ(a, std::vector<int>{1});
    EXPECT_EQ(a, b);
}

TEST(BaseGeoDS, FieldDescriptionIsTheObjectsOwnFacet) {
    CRef<CMemoryGeoDS> ds = MakeMemoryGeoDS(TwoSquares());
    IFieldDesc* fields = ds->GetFieldDesc();
    ASSERT_EQ(fields, static_cast<IFieldDesc*>(ds.Get()));
    EXPECT_EQ(fields->GetFieldCount(), 2);
    EXPECT_EQ(fields->GetFieldType(1), FIELD_REAL);
    EXPECT_EQ(fields->GetFieldWidth(1), 12);
    EXPECT_EQ(fields->GetFieldDecimals(1), 3);
}
