// The pure pieces of the TAB source: geometry to shape record bytes, the charset table, the layer type and
// field kind mappings, the charset read from a table header.

#include "platform/Exceptions.h"
#include "tab/MiTabAttrImpl.h"
#include "tab/MiTabDS.h"

#include "TempDir.h"

#include <gtest/gtest.h>
#include <ogr_geometry.h>

#include <cstring>
#include <memory>
#include <vector>

using namespace fennick;

namespace {

std::unique_ptr<OGRGeometry> Geometry(const char* wkt) {
    OGRGeometry* g = nullptr;
    if (OGRGeometryFactory::createFromWkt(wkt, nullptr, &g) != OGRERR_NONE)
        return nullptr;
    return std::unique_ptr<OGRGeometry>(g);
}

// A record buffer read back field by field, independently of the builder.
struct SRecord {
    double box[4] = {};
    int32_t parts = 0;
    int32_t points = 0;
    std::vector<int32_t> starts;
    std::vector<double> xy;
};

SRecord Parse(const CByteBuffer& buffer, std::size_t size) {
    SRecord r;
    const uint8_t* b = buffer.Data();
    EXPECT_GE(size, 40u);
    std::memcpy(r.box, b, 32);
    std::memcpy(&r.parts, b + 32, 4);
    std::memcpy(&r.points, b + 36, 4);
    EXPECT_EQ(size, 40u + 4u * r.parts + 16u * r.points);
    r.starts.resize(r.parts);
    std::memcpy(r.starts.data(), b + 40, 4 * r.starts.size());
    r.xy.resize(2 * static_cast<std::size_t>(r.points));
    std::memcpy(r.xy.data(), b + 40 + 4 * r.parts, 8 * r.xy.size());
    return r;
}

SRecord Build(const char* wkt, int expectedType) {
    auto g = Geometry(wkt);
    CByteBuffer buffer;
    std::size_t size = 0;
    EXPECT_EQ(BuildTabShapeRecord(g.get(), buffer, size), expectedType) << wkt;
    return Parse(buffer, size);
}

} // namespace

TEST(TabShapeRecord, PolygonWithHoleKeepsBothRingsAsParts) {
    const SRecord r = Build("POLYGON((0 0,10 0,10 10,0 10,0 0),(2 2,2 4,4 4,4 2,2 2))", 2);
    EXPECT_EQ(r.parts, 2);
    EXPECT_EQ(r.points, 10);
    EXPECT_EQ(r.starts, (std::vector<int32_t>{0, 5}));
    // Box in record order: x min, y min, x max, y max.
    EXPECT_EQ(std::vector<double>(r.box, r.box + 4), (std::vector<double>{0, 0, 10, 10}));
    EXPECT_EQ(r.xy[2], 10); // second point of the outer ring
    EXPECT_EQ(r.xy[10], 2); // first point of the hole
    EXPECT_EQ(r.xy[11], 2);
    EXPECT_EQ(r.xy[19], 2); // last point of the hole
}

TEST(TabShapeRecord, MultiPolygonGivesEveryRingOfEveryPolygonInOrder) {
    const SRecord r = Build("MULTIPOLYGON(((0 0,4 0,4 4,0 0)),((10 10,20 10,20 20,10 20,10 10),"
                            "(12 12,12 14,14 14,12 12)))",
                            2);
    EXPECT_EQ(r.parts, 3);
    EXPECT_EQ(r.points, 13);
    EXPECT_EQ(r.starts, (std::vector<int32_t>{0, 4, 9}));
    EXPECT_EQ(std::vector<double>(r.box, r.box + 4), (std::vector<double>{0, 0, 20, 20}));
    EXPECT_EQ(r.xy[2 * 9], 12);
}

TEST(TabShapeRecord, LinesGiveOnePartPerLineAndDropZ) {
    SRecord r = Build("LINESTRING Z (1 2 100,3 -4 200)", 1);
    EXPECT_EQ(r.parts, 1);
    EXPECT_EQ(r.xy, (std::vector<double>{1, 2, 3, -4}));
    EXPECT_EQ(std::vector<double>(r.box, r.box + 4), (std::vector<double>{1, -4, 3, 2}));

    r = Build("MULTILINESTRING((0 0,1 1),(5 5,6 6,7 5))", 1);
    EXPECT_EQ(r.parts, 2);
    EXPECT_EQ(r.points, 5);
    EXPECT_EQ(r.starts, (std::vector<int32_t>{0, 2}));
    EXPECT_EQ(r.xy.back(), 5);
}

TEST(TabShapeRecord, PointIsSixteenBytesOfXAndY) {
    auto g = Geometry("POINT (3.5 -4.25)");
    CByteBuffer buffer;
    std::size_t size = 0;
    ASSERT_EQ(BuildTabShapeRecord(g.get(), buffer, size), 0);
    ASSERT_EQ(size, 16u);
    double xy[2];
    std::memcpy(xy, buffer.Data(), 16);
    EXPECT_EQ(xy[0], 3.5);
    EXPECT_EQ(xy[1], -4.25);
}

TEST(TabShapeRecord, GeometriesThatAreNoShapeFail) {
    for (const char* wkt : {"MULTIPOINT(1 1,2 2)", "GEOMETRYCOLLECTION(POINT(1 1))", "POINT EMPTY",
                            "POLYGON EMPTY", "LINESTRING EMPTY", "CIRCULARSTRING(0 0,1 1,2 0)"}) {
        auto g = Geometry(wkt);
        ASSERT_TRUE(g) << wkt;
        CByteBuffer buffer;
        std::size_t size = 0;
        EXPECT_THROW(BuildTabShapeRecord(g.get(), buffer, size), CArchiveException) << wkt;
    }
    CByteBuffer buffer;
    std::size_t size = 0;
    EXPECT_THROW(BuildTabShapeRecord(nullptr, buffer, size), CArchiveException);
}

TEST(TabShapeRecord, BuilderRefusesPartsItDidNotAnnounceAndRecordsMissingOne) {
    CByteBuffer buffer;
    CShapeRecordBuilder builder(buffer);
    builder.Begin(CGeoRect{0, 1, 1, 0}, 2, 3);
    builder.AddPart(2);
    // A counted part that never arrives leaves the record incomplete: it fails instead of keeping an unset
    // part start.
    EXPECT_THROW(builder.Finish(), CArchiveException);
    EXPECT_THROW(builder.AddPart(2), CArchiveException); // more points than announced
    builder.AddPart(1);
    EXPECT_EQ(builder.Finish(), 40u + 8u + 48u);
    EXPECT_THROW(builder.AddPart(0), CArchiveException); // a third part
    EXPECT_THROW(builder.Begin(CGeoRect{}, 1, int64_t{1} << 27), CArchiveException);
    EXPECT_THROW(builder.Begin(CGeoRect{}, -1, 0), CArchiveException);
}

TEST(TabCharset, NamesMapToCodePagesWithoutRegardToCase) {
    const struct {
        const char* name;
        int codePage;
    } rows[] = {
        {"Neutral", -1},
        {"ANSI", 0},
        {"ISO8859_1", 28591},
        {"iso8859_9", 28599},
        {"PackedEUCJapanese", 51932},
        {"WindowsLatin1", 1252},
        {"WINDOWSCYRILLIC", 1251},
        {"WindowsKorean", 949},
        {"WindowsTradChinese", 950},
        {"CodePage437", 437},
        {"CodePage869", 869},
        {"CodePage866", 0},
        {"", 0},
        {"UTF-8", 0},
    };
    for (const auto& row : rows)
        EXPECT_EQ(TabCharsetCodePage(row.name), row.codePage) << row.name;
}

TEST(TabCharset, ReadFromEitherHeaderLine) {
    test::CTempDir dir;
    dir.Write("a.tab", "!table\n!version 300\n!charset WindowsCyrillic\n\nDefinition Table\n");
    dir.Write("b.tab",
              "!table\r\n!version 300\r\n\r\nDefinition Table\r\n  Type NATIVE Charset \"WindowsGreek\"\r\n");
    dir.Write("c.tab", "!table\n!version 300\nDefinition Table\n  Fields 1\n");
    EXPECT_EQ(ReadTabCharset(dir.WPath("a.tab")), "WindowsCyrillic");
    EXPECT_EQ(ReadTabCharset(dir.WPath("b.tab")), "WindowsGreek");
    EXPECT_EQ(ReadTabCharset(dir.WPath("c.tab")), "");
    EXPECT_EQ(ReadTabCharset(dir.WPath("missing.tab")), "");
}

TEST(TabLayerType, GeometryTypesMapToShapeTypes) {
    const struct {
        OGRwkbGeometryType type;
        int shapeType;
    } rows[] = {
        {wkbPoint, 0},           {wkbMultiPoint, 0},  {wkbLineString, 1},
        {wkbMultiLineString, 1}, {wkbPolygon, 2},     {wkbMultiPolygon, 2},
        {wkbUnknown, -1},        {wkbNone, -1},       {wkbGeometryCollection, -1},
        {wkbPoint25D, -1},       {wkbPolygon25D, -1},
    };
    for (const auto& row : rows)
        EXPECT_EQ(TabLayerShapeType(row.type), row.shapeType) << row.type;
}

TEST(TabFieldKind, WidthDefaultsApplyOnlyWhenTheReaderSaysZero) {
    const struct {
        OGRFieldType type;
        int width, precision;
        STabFieldKind expected;
    } rows[] = {
        {OFTInteger, 0, 0, {2, 11, 0}},   {OFTInteger, 5, 0, {2, 5, 0}},    {OFTReal, 0, 0, {3, 16, 6}},
        {OFTReal, 0, 3, {3, 16, 6}},      {OFTReal, 10, 3, {3, 10, 3}},     {OFTString, 0, 0, {1, 0, 0}},
        {OFTString, 254, 0, {1, 254, 0}}, {OFTDate, 10, 0, {5, 8, 0}},      {OFTInteger64, 20, 0, {2, 20, 0}},
        {OFTInteger64, 0, 0, {2, 20, 0}}, {OFTDateTime, 19, 0, {1, 19, 0}}, {OFTTime, 9, 0, {1, 8, 0}},
        {OFTBinary, 0, 0, {0, 0, 0}},
    };
    for (const auto& row : rows) {
        const STabFieldKind kind = TabFieldKind(row.type, row.width, row.precision);
        EXPECT_EQ(kind.type, row.expected.type) << row.type << "/" << row.width;
        EXPECT_EQ(kind.width, row.expected.width) << row.type << "/" << row.width;
        EXPECT_EQ(kind.decimals, row.expected.decimals) << row.type << "/" << row.width;
    }
}
