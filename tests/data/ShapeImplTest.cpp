// Shape objects over record bytes: every layout, the fills, and the records that must be refused.

#include "data/ShapeImpl.h"

#include "MemoryFile.h"
#include "ShapeRecords.h"
#include "TempDir.h"
#include "platform/Exceptions.h"
#include "search/SinglePartOfShape.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>

// Allocation counting for the reuse and forged-length tests.
namespace {
std::atomic<long> g_allocations{0};
std::atomic<std::size_t> g_largest{0};
void* CountedAlloc(std::size_t n) {
    ++g_allocations;
    std::size_t seen = g_largest.load();
    while (n > seen && !g_largest.compare_exchange_weak(seen, n)) {
    }
    if (void* p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}
} // namespace
void* operator new(std::size_t n) {
    return CountedAlloc(n);
}
void* operator new[](std::size_t n) {
    return CountedAlloc(n);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

namespace fennick {
namespace {

using test::CMemoryFile;
using test::Ring;

bool Aligned(const void* p) {
    return reinterpret_cast<std::uintptr_t>(p) % alignof(CGeoPoint) == 0;
}

Ring Numbered(int n) {
    Ring r;
    for (int i = 0; i < n; ++i)
        r.push_back({static_cast<double>(i), static_cast<double>(10 * i)});
    return r;
}

CRef<CShapeImpl> ReadOne(const std::string& bytes) {
    auto shape = MakeRef<CShapeImpl>();
    CMemoryFile file(bytes);
    EXPECT_EQ(shape->ReadFrom(&file), 1);
    return shape;
}

TEST(ShapeImpl, CountingAndEmptyState) {
    auto shape = MakeRef<CShapeImpl>();
    void* out = nullptr;
    EXPECT_EQ(shape->QueryInterface(SGuid{}, &out), E_ABORT);
    EXPECT_EQ(shape->AddRef(), 2);
    EXPECT_EQ(shape->Release(), 1);
    // Unfilled: type 0 but nothing to read.
    EXPECT_EQ(shape->GetType(), 0);
    CGeoRect r;
    EXPECT_EQ(shape->GetBounds(&r), 0);
    EXPECT_EQ(shape->GetPartCount(), 0);
    EXPECT_EQ(shape->GetPartPoints(0), nullptr);
    CGeoPoint c;
    EXPECT_EQ(shape->GetCenter(&c), 0);
}

TEST(ShapeImpl, ShpTypeMapping) {
    const struct {
        int32_t shp;
        int code;
    } cases[] = {{0, -1}, {1, 0},  {11, 0}, {21, 0}, {3, 1},  {13, 1},  {23, 1}, {5, 2},
                 {15, 2}, {25, 2}, {8, 3},  {18, 3}, {28, 3}, {31, -1}, {2, -1}, {-5, -1}};
    for (const auto& c : cases)
        EXPECT_EQ(CShapeImpl::TypeCodeFromShpType(c.shp), c.code) << c.shp;
}

TEST(ShapeImpl, PointRecord) {
    auto shape = ReadOne(test::ShpRecord(7, 1, test::PointContent(3.5, -2)));
    EXPECT_EQ(shape->GetType(), SHAPE_POINT);
    EXPECT_EQ(shape->GetRecordNumber(), 6);
    EXPECT_EQ(shape->GetPartCount(), 1);
    int n = 0;
    ASSERT_EQ(shape->GetPointCount(&n), 1);
    EXPECT_EQ(n, 1);
    ASSERT_EQ(shape->GetPartPointCount(0, &n), 1);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(shape->GetPartPointCount(1, &n), 0);
    CGeoPoint* p = shape->GetPartPoints(5);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p, shape->GetPartPoints(0));
    EXPECT_TRUE(Aligned(p));
    EXPECT_EQ(p->x, 3.5);
    EXPECT_EQ(p->y, -2);
    shape->SetBounds(CGeoRect{0, 100, 100, 0});
    CGeoRect r;
    ASSERT_EQ(shape->GetBounds(&r), 1);
    EXPECT_EQ(r.left, 3.5);
    EXPECT_EQ(r.right, 3.5);
    EXPECT_EQ(r.top, -2);
    EXPECT_EQ(r.bottom, -2);
    CGeoPoint c;
    ASSERT_EQ(shape->GetCenter(&c), 1);
    EXPECT_EQ(c.x, 3.5);
    EXPECT_EQ(c.y, -2);
}

TEST(ShapeImpl, PolygonPartsAndCopyPoints) {
    const Ring all = Numbered(10);
    auto shape = ReadOne(test::ShpRecord(
        1, 5, test::PolyContent({Ring(all.begin(), all.begin() + 4), Ring(all.begin() + 4, all.end())})));
    EXPECT_EQ(shape->GetType(), SHAPE_POLYGON);
    EXPECT_EQ(shape->GetRecordNumber(), 0);
    ASSERT_EQ(shape->GetPartCount(), 2);
    int n = 0;
    ASSERT_EQ(shape->GetPartPointCount(0, &n), 1);
    EXPECT_EQ(n, 4);
    ASSERT_EQ(shape->GetPartPointCount(1, &n), 1);
    EXPECT_EQ(n, 6);
    EXPECT_EQ(shape->GetPartPointCount(2, &n), 0);
    EXPECT_EQ(shape->GetPartPointCount(-1, &n), 0);
    ASSERT_EQ(shape->GetPointCount(&n), 1);
    EXPECT_EQ(n, 10);
    EXPECT_EQ(shape->GetPartPoints(1)->x, 4);
    EXPECT_EQ(shape->GetPartPoints(1) - shape->GetPartPoints(0), 4);
    EXPECT_EQ(shape->GetPartPoints(2), nullptr);
    EXPECT_EQ(shape->GetPartPoints(-1), nullptr);
    EXPECT_TRUE(Aligned(shape->GetPartPoints(0)));

    CGeoPoint out[5] = {};
    ASSERT_EQ(shape->CopyPoints(8, out, 5), 1);
    EXPECT_EQ(out[0].x, 8);
    EXPECT_EQ(out[1].y, 90);
    EXPECT_EQ(out[2].x, 0); // untouched
    EXPECT_EQ(shape->CopyPoints(10, out, 5), 0);
    EXPECT_EQ(shape->CopyPoints(-1, out, 5), 0);

    CGeoRect r;
    ASSERT_EQ(shape->GetBounds(&r), 1);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.right, 9);
    EXPECT_EQ(r.bottom, 0);
    EXPECT_EQ(r.top, 90);
    shape->SetBounds(CGeoRect{-1, 5, 2, -3});
    ASSERT_EQ(shape->GetBounds(&r), 1);
    EXPECT_EQ(r.left, -1);
    EXPECT_EQ(r.top, 5);
    EXPECT_EQ(r.right, 2);
    EXPECT_EQ(r.bottom, -3);
}

TEST(ShapeImpl, NullRecord) {
    auto shape = ReadOne(test::ShpRecord(3, 0, ""));
    EXPECT_EQ(shape->GetType(), SHAPE_NULL);
    CGeoRect r;
    EXPECT_EQ(shape->GetBounds(&r), 0);
    EXPECT_TRUE(r.IsEmpty());
    EXPECT_EQ(shape->GetPartCount(), 0);
    int n = -1;
    ASSERT_EQ(shape->GetPointCount(&n), 1);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(shape->GetPartPoints(0), nullptr);
    CGeoPoint p;
    EXPECT_EQ(shape->CopyPoints(0, &p, 1), 0);
}

// Z and M variants carry ranges and values after the points; they are read whole and reported as 2-D, and
// their stored side hands out the z and m values. The m part is optional: the content length tells.
TEST(ShapeImpl, ZAndMVariantsReportTwoDimensionsAndKeepTheirValues) {
    const Ring ring = test::SquareCw(0, 0, 4, 4);
    // A range and one value per point, counting up from first.
    const auto tail = [&](double first) {
        std::string bytes = test::LeDouble(first) + test::LeDouble(first + 4);
        for (std::size_t i = 0; i < ring.size(); ++i)
            bytes += test::LeDouble(first + static_cast<double>(i));
        return bytes;
    };
    const double none = -1;
    const struct {
        int32_t shp;
        std::string content;
        int code;
        int points;
        double z, m; // first values; none when the record holds none
    } cases[] = {
        {11, test::PointContent(1, 2) + test::LeDouble(9) + test::LeDouble(3), SHAPE_POINT, 1, 9, 3},
        {11, test::PointContent(1, 2) + test::LeDouble(9), SHAPE_POINT, 1, 9, none},
        {21, test::PointContent(1, 2) + test::LeDouble(3), SHAPE_POINT, 1, none, 3},
        {18, test::MultiPointContent(ring) + tail(10), SHAPE_MULTIPOINT, 5, 10, none},
        {13, test::PolyContent({ring}) + tail(10) + tail(20), SHAPE_POLYLINE, 5, 10, 20},
        {15, test::PolyContent({ring}) + tail(10) + tail(20), SHAPE_POLYGON, 5, 10, 20},
        {25, test::PolyContent({ring}) + tail(20), SHAPE_POLYGON, 5, none, 20},
        {23, test::PolyContent({ring}), SHAPE_POLYLINE, 5, none, none},
    };
    for (const auto& c : cases) {
        // Two records in a row: the second must start where the first's content ended.
        CMemoryFile file(test::ShpRecord(1, c.shp, c.content) +
                         test::ShpRecord(2, 1, test::PointContent(7, 8)));
        auto shape = MakeRef<CShapeImpl>();
        ASSERT_EQ(shape->ReadFrom(&file), 1) << c.shp;
        EXPECT_EQ(shape->GetType(), c.code) << c.shp;
        int n = 0;
        shape->GetPointCount(&n);
        EXPECT_EQ(n, c.points) << c.shp;
        EXPECT_EQ(shape->GetPartPoints(0)->x, c.code == SHAPE_POINT ? 1 : 0) << c.shp;
        EXPECT_EQ(shape->GetDataSize(), c.content.size());
        EXPECT_EQ(shape->StoredShapeType(), c.shp);
        const double* z = shape->ZValues();
        const double* m = shape->MValues();
        EXPECT_EQ(z != nullptr ? z[0] : none, c.z) << c.shp;
        EXPECT_EQ(m != nullptr ? m[0] : none, c.m) << c.shp;
        if (n > 1 && m != nullptr) {
            EXPECT_EQ(m[n - 1], c.m + n - 1) << c.shp;
        }
        ASSERT_EQ(shape->ReadFrom(&file), 1);
        EXPECT_EQ(shape->GetPartPoints(0)->y, 8);
        EXPECT_EQ(shape->GetRecordNumber(), 1);
        EXPECT_EQ(shape->ZValues(), nullptr);
    }
}

TEST(ShapeImpl, PointArraysAreAlignedForEveryLayout) {
    for (int parts = 1; parts <= 4; ++parts) {
        std::vector<Ring> rings(static_cast<std::size_t>(parts), test::SquareCw(0, 0, 1, 1));
        auto shape = ReadOne(test::ShpRecord(1, 3, test::PolyContent(rings)));
        for (int i = 0; i < parts; ++i)
            EXPECT_TRUE(Aligned(shape->GetPartPoints(i))) << parts;
        EXPECT_EQ(shape->GetPartPoints(parts - 1)->y, 0);
        EXPECT_EQ(shape->GetPartPoints(parts - 1)[2].x, 1);
    }
    auto multi = ReadOne(test::ShpRecord(1, 8, test::MultiPointContent(Numbered(3))));
    EXPECT_TRUE(Aligned(multi->GetPartPoints(0)));
    EXPECT_EQ(multi->GetPartPoints(0)[2].y, 20);
}

TEST(ShapeImpl, ReadingReusesTheBuffer) {
    const std::string big = test::ShpRecord(1, 5, test::PolyContent({Numbered(50)}));
    const std::string small = test::ShpRecord(2, 3, test::PolyContent({Numbered(3), Numbered(4)}));
    const std::string point = test::ShpRecord(3, 1, test::PointContent(1, 1));
    CMemoryFile file(big + small + point + small);
    auto shape = MakeRef<CShapeImpl>();
    ASSERT_EQ(shape->ReadFrom(&file), 1);
    const long before = g_allocations.load();
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(shape->ReadFrom(&file), 1);
    EXPECT_EQ(g_allocations.load(), before);
    int n = 0;
    shape->GetPartPointCount(1, &n);
    EXPECT_EQ(n, 4);
    // Two reads per record: header and content.
    CMemoryFile again(small);
    ASSERT_EQ(shape->ReadFrom(&again), 1);
    EXPECT_EQ(again.ReadCalls(), 2);
}

// Records whose header or counts do not fit: each read fails with a format error and leaves a null shape.
TEST(ShapeImpl, RefusesRecordsThatDoNotFit) {
    const CGeoRect box{0, 1, 1, 0};
    const Ring four = Numbered(4);
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"short header", std::string("\0\0\0\1\0\0", 6)},
        {"length below two words", test::Be32(1) + test::Be32(1) + test::Le32(1) + std::string(8, '\0')},
        {"negative length", test::Be32(1) + test::Be32(-4) + test::Le32(1) + std::string(8, '\0')},
        {"length beyond the file",
         test::Be32(1) + test::Be32(0x7FFFFFFF) + test::Le32(5) + std::string(64, '\0')},
        {"short content", test::ShpRecord(1, 1, test::PointContent(1, 2)).substr(0, 20)},
        {"point without coordinates", test::ShpRecord(1, 1, std::string(8, '\0'))},
        {"multipoint count beyond content",
         test::ShpRecord(1, 8, test::MultiPointContent(four).substr(0, 36 + 16 * 3))},
        {"multipoint negative count", test::ShpRecord(1, 8, std::string(32, '\0') + test::Le32(-1))},
        {"poly shorter than its counts", test::ShpRecord(1, 5, std::string(36, '\0'))},
        {"negative part count", test::ShpRecord(1, 5, test::RawPolyContent(box, -1, 4, {}, four))},
        {"huge part count", test::ShpRecord(1, 5, test::RawPolyContent(box, 0x40000000, 4, {0}, four))},
        {"point count beyond content", test::ShpRecord(1, 5, test::RawPolyContent(box, 1, 5, {0}, four))},
        {"negative point count", test::ShpRecord(1, 3, test::RawPolyContent(box, 1, -1, {0}, four))},
        {"part start beyond point count",
         test::ShpRecord(1, 3, test::RawPolyContent(box, 2, 4, {0, 5}, four))},
        {"negative part start", test::ShpRecord(1, 3, test::RawPolyContent(box, 2, 4, {-1, 2}, four))},
        {"decreasing part starts", test::ShpRecord(1, 3, test::RawPolyContent(box, 3, 4, {0, 3, 2}, four))},
        {"z type without z values", test::ShpRecord(1, 13, test::RawPolyContent(box, 1, 4, {0}, four))},
        {"point z without z", test::ShpRecord(1, 11, test::PointContent(1, 2))},
    };
    for (const auto& c : cases) {
        auto shape = test::MakePolygon({four});
        CMemoryFile file(c.bytes);
        g_largest = 0;
        EXPECT_THROW(shape->ReadFrom(&file), CArchiveException) << c.what;
        EXPECT_LT(g_largest.load(), 1u << 20) << c.what;
        EXPECT_EQ(shape->GetType(), SHAPE_NULL) << c.what;
        EXPECT_EQ(shape->GetPartCount(), 0) << c.what;
        int n = -1;
        shape->GetPointCount(&n);
        EXPECT_EQ(n, 0) << c.what;
    }
    // Part starts equal to the point count (empty last part) and repeated starts are sound.
    auto ok = ReadOne(test::ShpRecord(1, 3, test::RawPolyContent(box, 3, 4, {0, 0, 4}, four)));
    int n = -1;
    ASSERT_EQ(ok->GetPartPointCount(0, &n), 1);
    EXPECT_EQ(n, 0);
    ASSERT_EQ(ok->GetPartPointCount(2, &n), 1);
    EXPECT_EQ(n, 0);
    ASSERT_EQ(ok->GetPartPointCount(1, &n), 1);
    EXPECT_EQ(n, 4);
}

TEST(ShapeImpl, SetDataAndAttachData) {
    auto shape = MakeRef<CShapeImpl>();
    const std::string content = test::PolyContent({test::SquareCw(0, 0, 2, 2)}); // one part: points off by 4
    ASSERT_EQ(shape->SetData(SHAPE_POLYGON, 9, content.data(), static_cast<int>(content.size())), 1);
    EXPECT_EQ(shape->GetRecordNumber(), 9);
    EXPECT_TRUE(Aligned(shape->GetPartPoints(0)));
    EXPECT_EQ(shape->GetPartPoints(0)[1].y, 2);

    // Refused bytes leave a null shape.
    EXPECT_EQ(shape->SetData(SHAPE_POLYGON, 1, content.data(), 39), 0);
    EXPECT_EQ(shape->GetType(), SHAPE_NULL);
    EXPECT_EQ(shape->SetData(SHAPE_POINT, 1, content.data(), 8), 0);
    EXPECT_EQ(shape->SetData(SHAPE_POINT, 1, nullptr, 16), 0);

    // An aligned block is used in place.
    const std::string two = test::PolyContent({test::SquareCw(0, 0, 1, 1), test::SquareCw(5, 5, 6, 6)});
    auto block = std::make_unique<uint8_t[]>(two.size());
    std::memcpy(block.get(), two.data(), two.size());
    const uint8_t* raw = block.get();
    ASSERT_EQ(shape->AttachData(SHAPE_POLYLINE, 4, std::move(block), static_cast<int>(two.size())), 1);
    EXPECT_EQ(shape->GetData(), raw);
    EXPECT_EQ(shape->GetType(), SHAPE_POLYLINE);
    EXPECT_EQ(shape->GetPartPoints(1)->x, 5);

    // A block whose points would be misaligned is copied into the shape's buffer.
    auto odd = std::make_unique<uint8_t[]>(content.size());
    std::memcpy(odd.get(), content.data(), content.size());
    ASSERT_EQ(shape->AttachData(SHAPE_POLYGON, 5, std::move(odd), static_cast<int>(content.size())), 1);
    EXPECT_TRUE(Aligned(shape->GetPartPoints(0)));
    EXPECT_EQ(shape->GetPartPoints(0)[2].x, 2);

    auto bad = std::make_unique<uint8_t[]>(20);
    EXPECT_EQ(shape->AttachData(SHAPE_MULTIPOINT, 5, std::move(bad), 20), 0);
    EXPECT_EQ(shape->GetType(), SHAPE_NULL);

    // Bytes taken from the shape itself.
    ASSERT_EQ(shape->SetData(SHAPE_POLYGON, 1, content.data(), static_cast<int>(content.size())), 1);
    const std::string copy(reinterpret_cast<const char*>(shape->GetData()), shape->GetDataSize());
    ASSERT_EQ(shape->SetData(SHAPE_POLYLINE, 2, shape->GetData(), static_cast<int>(shape->GetDataSize())), 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(shape->GetData()), shape->GetDataSize()), copy);
}

TEST(ShapeImpl, CopyFromTakesTheSourceAsItReportsItself) {
    auto source = test::MakePolygon({test::SquareCw(0, 0, 10, 10), test::SquareCcw(2, 2, 4, 4)});
    source->SetBounds(CGeoRect{-5, 20, 30, -1}); // not the points' box: the copy keeps it
    auto copy = MakeRef<CShapeImpl>();
    ASSERT_EQ(copy->CopyFrom(source.Get(), 12), 1);
    EXPECT_EQ(copy->GetType(), SHAPE_POLYGON);
    EXPECT_EQ(copy->GetRecordNumber(), 12);
    ASSERT_EQ(copy->GetDataSize(), source->GetDataSize());
    EXPECT_EQ(std::memcmp(copy->GetData(), source->GetData(), source->GetDataSize()), 0);

    auto multi = test::MakeMultiPoint({{1, 2}, {3, 4}});
    ASSERT_EQ(copy->CopyFrom(multi.Get(), 1), 1);
    EXPECT_EQ(copy->GetType(), SHAPE_MULTIPOINT);
    EXPECT_EQ(copy->GetPartPoints(0)[1].y, 4);
    EXPECT_TRUE(Aligned(copy->GetPartPoints(0)));

    auto point = test::MakePoint(6, 7);
    ASSERT_EQ(copy->CopyFrom(point.Get(), 2), 1);
    CGeoRect r;
    ASSERT_EQ(copy->GetBounds(&r), 1);
    EXPECT_EQ(r.left, 6);
    EXPECT_EQ(r.top, 7);

    // A null source fails and changes nothing.
    auto null = ReadOne(test::ShpRecord(1, 0, ""));
    EXPECT_EQ(copy->CopyFrom(null.Get(), 99), 0);
    EXPECT_EQ(copy->GetType(), SHAPE_POINT);
    EXPECT_EQ(copy->GetRecordNumber(), 2);

    // A view of the shape's own second part: the copy must not read freed or overwritten points.
    auto two = test::MakePolyline({Numbered(3), test::SquareCw(5, 5, 6, 6)});
    CSinglePartOfShape view;
    ASSERT_TRUE(view.Fill(two.Get(), 1));
    ASSERT_EQ(two->CopyFrom(&view, 0), 1);
    EXPECT_EQ(two->GetPartCount(), 1);
    int n = 0;
    two->GetPointCount(&n);
    EXPECT_EQ(n, 5);
    EXPECT_EQ(two->GetPartPoints(0)[2].x, 6);
}

// Records written by GDAL's shapefile driver, Z and M variants included, read back record by record.
TEST(ShapeImpl, ReadsRecordsWrittenByGdal) {
    test::CTempDir dir;
    const std::string script = R"(
import sys
from osgeo import ogr
d = sys.argv[1]
drv = ogr.GetDriverByName('ESRI Shapefile')
def make(name, gtype, wkts):
    ds = drv.CreateDataSource(d + '/' + name + '.shp')
    lyr = ds.CreateLayer(name, geom_type=gtype)
    for w in wkts:
        f = ogr.Feature(lyr.GetLayerDefn())
        f.SetGeometry(ogr.CreateGeometryFromWkt(w))
        lyr.CreateFeature(f)
    ds = None
make('polyz', ogr.wkbPolygon25D, ['POLYGON Z ((0 0 1,0 10 2,10 10 3,10 0 4,0 0 1),(2 2 5,4 2 5,4 4 5,2 4 5,2 2 5))',
                                  'POLYGON Z ((20 20 0,20 21 0,21 21 0,20 20 0))'])
make('linez', ogr.wkbMultiLineString25D, ['MULTILINESTRING Z ((0 0 0,1 1 1),(5 5 5,6 6 6,7 7 7))'])
make('multim', ogr.wkbMultiPointM, ['MULTIPOINT M ((1 2 3),(4 5 6))'])
make('pointzm', ogr.wkbPointZM, ['POINT ZM (7 8 9 10)'])
)";
    const std::string scriptPath = dir.Write("make.py", script);
    if (std::system(("/usr/bin/python3 " + scriptPath + " " + dir.Path() + " 2>/dev/null").c_str()) != 0)
        GTEST_SKIP() << "GDAL Python bindings not available";

    const auto open = [&](const std::string& name) {
        const std::string bytes = test::CTempDir::Read(dir.Path(name + ".shp"));
        EXPECT_GT(bytes.size(), 100u) << name;
        return CMemoryFile(bytes.size() > 100 ? bytes.substr(100) : std::string());
    };
    auto shape = MakeRef<CShapeImpl>();
    int n = 0;

    CMemoryFile polyz = open("polyz");
    ASSERT_EQ(shape->ReadFrom(&polyz), 1);
    EXPECT_EQ(shape->GetType(), SHAPE_POLYGON);
    EXPECT_EQ(shape->GetRecordNumber(), 0);
    ASSERT_EQ(shape->GetPartCount(), 2);
    shape->GetPartPointCount(1, &n);
    EXPECT_EQ(n, 5);
    EXPECT_EQ(shape->GetPartPoints(0)[2].x, 10);
    // The writer may turn the hole around; its corners stay.
    const CGeoPoint* hole = shape->GetPartPoints(1);
    EXPECT_EQ(hole[0].x, 2);
    EXPECT_EQ(hole[0].y, 2);
    EXPECT_EQ(hole[1].x + hole[1].y, 6);
    EXPECT_EQ(hole[2].x, 4);
    EXPECT_EQ(hole[2].y, 4);
    CGeoRect r;
    shape->GetBounds(&r);
    EXPECT_EQ(r.right, 10);
    EXPECT_EQ(r.top, 10);
    ASSERT_EQ(shape->ReadFrom(&polyz), 1);
    EXPECT_EQ(shape->GetRecordNumber(), 1);
    shape->GetPointCount(&n);
    EXPECT_EQ(n, 4);
    EXPECT_EQ(shape->GetPartPoints(0)[2].y, 21);
    EXPECT_THROW(shape->ReadFrom(&polyz), CArchiveException); // past the last record

    CMemoryFile linez = open("linez");
    ASSERT_EQ(shape->ReadFrom(&linez), 1);
    EXPECT_EQ(shape->GetType(), SHAPE_POLYLINE);
    shape->GetPartPointCount(1, &n);
    EXPECT_EQ(n, 3);
    EXPECT_EQ(shape->GetPartPoints(1)[2].x, 7);

    CMemoryFile multim = open("multim");
    ASSERT_EQ(shape->ReadFrom(&multim), 1);
    EXPECT_EQ(shape->GetType(), SHAPE_MULTIPOINT);
    shape->GetPointCount(&n);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(shape->GetPartPoints(0)[1].y, 5);

    CMemoryFile pointzm = open("pointzm");
    ASSERT_EQ(shape->ReadFrom(&pointzm), 1);
    EXPECT_EQ(shape->GetType(), SHAPE_POINT);
    EXPECT_EQ(shape->GetPartPoints(0)->x, 7);
    EXPECT_EQ(shape->GetPartPoints(0)->y, 8);
}

} // namespace
} // namespace fennick
