#include "shp/ShpDS.h"

#include "EncipherFile.h"
#include "OgrLayer.h"
#include "StxWriter.h"
#include "TabFixtures.h"
#include "TempDir.h"
#include "WriterFakes.h"
#include "data/ICoordSys.h"
#include "data/IRecset.h"
#include "data/IShapeAttr.h"
#include "data/IString.h"
#include "data/ShapeImpl.h"
#include "platform/Boundary.h"
#include "platform/CodePage.h"
#include "shp/ShpFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <tuple>

using namespace fennick;
using namespace fennick::test;

namespace {

CRef<CShpDS> Open(const std::string& path, const char16_t* password = nullptr) {
    IGeoDS* raw = nullptr;
    char16_t error[260] = {};
    if (!OpenShpDS(FromUtf8(path), password, &raw, error))
        return {};
    // The data source object behind the interface; adopt the reference the opener handed out.
    return CRef<CShpDS>::Adopt(static_cast<CShpDS*>(raw));
}

std::u16string OpenError(const std::string& path) {
    IGeoDS* raw = nullptr;
    char16_t error[260] = {};
    EXPECT_EQ(OpenShpDS(FromUtf8(path), nullptr, &raw, error), 0);
    EXPECT_EQ(raw, nullptr);
    return error;
}

std::vector<std::vector<CGeoPoint>> PartsOf(IShape* shape) {
    std::vector<std::vector<CGeoPoint>> parts;
    for (int p = 0; p < shape->GetPartCount(); ++p) {
        int n = 0;
        shape->GetPartPointCount(p, &n);
        const CGeoPoint* pts = shape->GetPartPoints(p);
        parts.emplace_back(pts, pts + n);
    }
    return parts;
}

std::u16string Text(IShapeAttr* attributes, int field) {
    CIString s;
    return attributes->GetString(field, &s) ? s.Str() : u"<none>";
}

const std::vector<SOgrField> kFields = {{"NAME", 'C', 20, 0}, {"POP", 'N', 9, 0}, {"AREA", 'F', 12, 3}};

} // namespace

TEST(ShpDS, ReadsEveryShapeTypeGdalWritesAs2D) {
    struct SCase {
        std::string type;
        std::string wkt;
        int code;
        std::vector<std::vector<CGeoPoint>> parts;
    };
    const std::vector<SCase> cases = {
        {"POINT", "POINT (3 4)", SHAPE_POINT, {{{3, 4}}}},
        {"POINTZ", "POINT Z (3 4 9)", SHAPE_POINT, {{{3, 4}}}},
        {"POINTM", "POINT M (3 4 9)", SHAPE_POINT, {{{3, 4}}}},
        {"MULTIPOINT", "MULTIPOINT ((1 2),(3 4))", SHAPE_MULTIPOINT, {{{1, 2}, {3, 4}}}},
        {"MULTIPOINTZ", "MULTIPOINT Z ((1 2 5),(3 4 6))", SHAPE_MULTIPOINT, {{{1, 2}, {3, 4}}}},
        {"LINESTRING",
         "MULTILINESTRING ((0 0,1 1),(2 2,3 3,4 2))",
         SHAPE_POLYLINE,
         {{{0, 0}, {1, 1}}, {{2, 2}, {3, 3}, {4, 2}}}},
        {"LINESTRINGM", "LINESTRING M (0 0 1,5 5 2)", SHAPE_POLYLINE, {{{0, 0}, {5, 5}}}},
        {"POLYGON",
         "POLYGON ((0 0,0 10,10 10,10 0,0 0),(2 2,8 2,8 8,2 8,2 2))",
         SHAPE_POLYGON,
         {{{0, 0}, {0, 10}, {10, 10}, {10, 0}, {0, 0}}, {{2, 2}, {8, 2}, {8, 8}, {2, 8}, {2, 2}}}},
        {"POLYGONZ",
         "POLYGON Z ((0 0 1,0 1 1,1 1 1,0 0 1))",
         SHAPE_POLYGON,
         {{{0, 0}, {0, 1}, {1, 1}, {0, 0}}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        CTempDir dir;
        const std::string path = dir.Path("layer.shp");
        WriteOgrLayer(path, c.type, kFields, {{c.wkt, {"Zürich", "1234", "12.5"}}, {"", {"none", "", ""}}},
                      {"ENCODING=UTF-8"});
        CRef<CShpDS> ds = Open(path);
        ASSERT_TRUE(ds);
        EXPECT_EQ(ds->GetShapeType(), c.code);
        ASSERT_EQ(ds->GetRecordCount(), 2);
        CRef<IShapeEx> shape = CreateShapeImpl();
        ASSERT_EQ(ds->ReadShape(0, shape.Get()), 1);
        EXPECT_EQ(shape->GetType(), c.code);
        const auto parts = PartsOf(shape.Get());
        ASSERT_EQ(parts.size(), c.parts.size());
        for (std::size_t p = 0; p < parts.size(); ++p) {
            ASSERT_EQ(parts[p].size(), c.parts[p].size());
            for (std::size_t k = 0; k < parts[p].size(); ++k) {
                EXPECT_EQ(parts[p][k].x, c.parts[p][k].x);
                EXPECT_EQ(parts[p][k].y, c.parts[p][k].y);
            }
        }
        // The feature without geometry is a null record.
        ASSERT_EQ(ds->ReadShape(1, shape.Get()), 1);
        EXPECT_EQ(shape->GetType(), SHAPE_NULL);
        CGeoRect bounds;
        EXPECT_EQ(ds->GetRecordBounds(1, &bounds), 0);

        EXPECT_EQ(ds->GetCodePage(), 65001);
        CRef<IShapeAttr> attributes;
        ASSERT_EQ(ds->GetAttributes(0, attributes.Put()), 1);
        EXPECT_EQ(Text(attributes.Get(), 0), u"Zürich");
        EXPECT_EQ(Text(attributes.Get(), 1), u"1234");
        EXPECT_EQ(Text(attributes.Get(), 2), u"12.500");
    }
}

TEST(ShpDS, FieldDescriptionAndBounds) {
    CTempDir dir;
    const std::string path = dir.Path("a.shp");
    WriteOgrLayer(path, "POINT", kFields,
                  {{"POINT (3 4)", {"a", "1", "2"}}, {"POINT (-1 7)", {"b", "2", "3"}}});
    CRef<CShpDS> ds = Open(path);
    ASSERT_TRUE(ds);
    EXPECT_EQ(ds->GetSourceKind(), SOURCE_SHAPEFILE);
    IFieldDesc* fields = ds->GetFieldDesc();
    ASSERT_EQ(fields->GetFieldCount(), 3);
    CIString name;
    ASSERT_EQ(fields->GetFieldName(1, &name), 1);
    EXPECT_EQ(name.Str(), u"POP");
    EXPECT_EQ(fields->GetFieldType(0), FIELD_CHARACTER);
    EXPECT_EQ(fields->GetFieldType(1), FIELD_INTEGER);
    EXPECT_EQ(fields->GetFieldType(2), FIELD_REAL);
    EXPECT_EQ(fields->GetFieldWidth(2), 12);
    EXPECT_EQ(fields->GetFieldDecimals(2), 3);
    EXPECT_EQ(fields->GetFieldName(3, &name), 0);
    EXPECT_EQ(fields->GetFieldWidth(3), 0);

    CGeoRect bounds;
    ASSERT_EQ(ds->GetBounds(&bounds), 1);
    EXPECT_EQ(bounds.left, -1);
    EXPECT_EQ(bounds.right, 3);
    EXPECT_EQ(bounds.top, 7);
    EXPECT_EQ(bounds.bottom, 4);
    CGeoRect point;
    ASSERT_EQ(ds->GetRecordBounds(0, &point), 1);
    EXPECT_EQ(point.left, 3);
    EXPECT_EQ(point.top, 4);
    EXPECT_EQ(point.right, 3);
    EXPECT_EQ(point.bottom, 4);
    void* out = nullptr;
    EXPECT_EQ(ds->QueryInterface(SGuid{}, &out), E_ABORT);
    EXPECT_EQ(out, nullptr);
}

// The record count comes from the .shx; one that holds fewer entries than its header declares, or fewer than
// the .dbf has rows, would drop records, so the layer fails with both counts. A .dbf with fewer rows is read.
TEST(ShpDS, RecordCountComesFromTheIndexFileWhenItsCountsAgree) {
    CTempDir dir;
    const std::string path = dir.Path("a.shp");
    std::vector<SOgrFeature> features(8, {"POINT (1 1)", {"n", "1", "2"}});
    WriteOgrLayer(path, "POINT", kFields, features);
    const std::string shx = CTempDir::Read(dir.Path("a.shx")), dbf = CTempDir::Read(dir.Path("a.dbf"));
    const std::size_t rowLength = uint8_t(dbf[10]) | uint8_t(dbf[11]) << 8;
    const std::size_t rowsEnd = (uint8_t(dbf[8]) | uint8_t(dbf[9]) << 8) + features.size() * rowLength;
    const std::string dbfPath = dir.Path("a.dbf");
    const std::vector<std::tuple<std::size_t, int, std::string>> cases = {
        // .shx bytes, extra rows, reason
        {shx.size(), 0, ""},
        {shx.size(), -1, ""},
        {shx.size(), 1, "it indexes 8 records where " + dbfPath + " holds 9"},
        {0, 0, "it is cut short at 0 of its 100 header bytes"},
        {50, 0, "it is cut short at 50 of its 100 header bytes"},
        {100, 0, "it holds 0 records where its header declares 8"},
        {108, 0, "it holds 1 record where its header declares 8"},
        {116, 0, "it holds 2 records where its header declares 8"},
        {124, 0, "it holds 3 records where its header declares 8"},
    };
    for (const auto& [shxBytes, extraRows, reason] : cases) {
        SCOPED_TRACE(std::to_string(shxBytes) + " bytes of .shx, " + std::to_string(extraRows) +
                     " extra rows");
        dir.Write("a.shx", shx.substr(0, shxBytes));
        std::string rows = dbf.substr(0, extraRows < 0 ? rowsEnd - rowLength : rowsEnd);
        if (extraRows > 0)
            rows += dbf.substr(rowsEnd - rowLength, rowLength);
        rows[4] = static_cast<char>(features.size() + extraRows);
        dir.Write("a.dbf", rows);
        if (reason.empty()) {
            EXPECT_EQ(Open(path)->GetRecordCount(), 8);
            continue;
        }
        EXPECT_EQ(OpenError(path), FromUtf8(dir.Path("a.shx")) + u" has a bad format.");
        EXPECT_EQ(TakeFailureReason(),
                  FromUtf8(dir.Path("a.shx")) + u" has a bad format. (" + FromUtf8(reason) + u")");
    }
}

TEST(ShpDS, NullHeaderTypeReportsNoType) {
    CTempDir dir;
    const std::string path = dir.Path("a.shp");
    WriteOgrLayer(path, "POINT", {}, {{"POINT (1 1)", {}}});
    std::string shp = CTempDir::Read(path);
    shp[32] = 0;
    dir.Write("a.shp", shp);
    EXPECT_EQ(Open(path)->GetShapeType(), SHAPE_NULL);
}

TEST(ShpDS, WithoutTableOpensWithoutAttributesAndWithoutItsPrj) {
    CTempDir dir;
    const std::string path = dir.Path("a.shp");
    WriteOgrLayer(path, "POINT", kFields, {{"POINT (1 1)", {"x", "1", "1"}}});
    std::filesystem::remove(dir.Path("a.dbf"));
    dir.Write("a.prj",
              "GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\",6378137.0,298.257223563]],"
              "PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]]");
    CRef<CShpDS> ds = Open(path);
    ASSERT_TRUE(ds);
    EXPECT_EQ(ds->GetFieldCount(), 0);
    CRef<IShapeAttr> attributes;
    EXPECT_EQ(ds->GetAttributes(0, attributes.Put()), 0);
    EXPECT_EQ(ds->GetCoordSys(), nullptr);
    // With the table the .prj is read.
    WriteOgrLayer(dir.Path("b.shp"), "POINT", kFields, {{"POINT (1 1)", {"x", "1", "1"}}});
    std::filesystem::copy_file(dir.Path("a.prj"), dir.Path("b.prj"));
    CRef<CShpDS> withTable = Open(dir.Path("b.shp"));
    ASSERT_NE(withTable->GetCoordSys(), nullptr);
    EXPECT_EQ(withTable->GetCoordSys()->IsGeographic(), 1);
    // The .prj is read when first asked for; a system stored before that stays, and so does null.
    CRef<CShpDS> replaced = Open(dir.Path("b.shp"));
    CRef<CShpDS> cleared = Open(dir.Path("b.shp"));
    replaced->SetCoordSys(withTable->GetCoordSys());
    cleared->SetCoordSys(nullptr);
    EXPECT_EQ(replaced->GetCoordSys(), withTable->GetCoordSys());
    EXPECT_EQ(cleared->GetCoordSys(), nullptr);
}

TEST(ShpDS, EncipheredShpAndDbfWithPlainShx) {
    CTempDir dir;
    WriteOgrLayer(dir.Path("plain.shp"), "POLYGON", kFields,
                  {{"POLYGON ((0 0,0 1,1 1,1 0,0 0))", {"secret", "7", "1.5"}}});
    std::filesystem::create_directory(dir.Path("enc"));
    EncipherFile(dir.Path("plain.shp"), dir.Path("enc/a.shp"), u"pässword");
    EncipherFile(dir.Path("plain.dbf"), dir.Path("enc/a.dbf"), u"pässword");
    std::filesystem::copy_file(dir.Path("plain.shx"), dir.Path("enc/a.shx"));

    CRef<CShpDS> ds = Open(dir.Path("enc/a.shp"), u"pässword");
    ASSERT_TRUE(ds);
    EXPECT_EQ(ds->GetShapeType(), SHAPE_POLYGON);
    CRef<IShapeEx> shape = CreateShapeImpl();
    ASSERT_EQ(ds->ReadShape(0, shape.Get()), 1);
    int n = 0;
    shape->GetPointCount(&n);
    EXPECT_EQ(n, 5);
    CRef<IShapeAttr> attributes;
    ASSERT_EQ(ds->GetAttributes(0, attributes.Put()), 1);
    EXPECT_EQ(Text(attributes.Get(), 0), u"secret");
    // Without the password the header's file code does not match.
    EXPECT_EQ(OpenError(dir.Path("enc/a.shp")), FromUtf8(dir.Path("enc/a.shp")) + u" has a bad format.");
    EXPECT_FALSE(Open(dir.Path("enc/a.shp"), u"wrong"));
}

TEST(ShpDS, RefusesWhatIsNotAShapefile) {
    CTempDir dir;
    dir.Write("short.shp", std::string(60, '\0'));
    EXPECT_EQ(OpenError(dir.Path("short.shp")), FromUtf8(dir.Path("short.shp")) + u" has a bad format.");
    dir.Write("code.shp", std::string(100, '\x01'));
    EXPECT_EQ(OpenError(dir.Path("code.shp")), FromUtf8(dir.Path("code.shp")) + u" has a bad format.");
    EXPECT_EQ(OpenError(dir.Path("none.shp")), FromUtf8(dir.Path("none.shp")) + u" was not found.");
    WriteOgrLayer(dir.Path("noshx.shp"), "POINT", {}, {{"POINT (1 1)", {}}});
    std::filesystem::remove(dir.Path("noshx.shx"));
    EXPECT_EQ(OpenError(dir.Path("noshx.shp")), FromUtf8(dir.Path("noshx.shx")) + u" was not found.");
    EXPECT_FALSE(Open(dir.Path("")));
}

TEST(ShpDS, DamagedRecordsFailOneByOne) {
    CTempDir dir;
    const std::string path = dir.Path("a.shp");
    WriteOgrLayer(path, "POLYGON", kFields,
                  {{"POLYGON ((0 0,0 1,1 1,0 0))", {"a", "1", "1"}},
                   {"POLYGON ((5 5,5 6,6 6,5 5))", {"b", "2", "2"}},
                   {"POLYGON ((7 7,7 8,8 8,7 7))", {"c", "3", "3"}}});
    std::string shx = CTempDir::Read(dir.Path("a.shx"));
    // Entry 1 points far past the end of the .shp.
    shx[108] = '\x7F';
    dir.Write("a.shx", shx);
    // Record 2's content is cut short.
    std::string shp = CTempDir::Read(path);
    dir.Write("a.shp", shp.substr(0, shp.size() - 20));
    // The table lost its last record.
    std::string dbf = CTempDir::Read(dir.Path("a.dbf"));
    const int recordLength = static_cast<unsigned char>(dbf[10]) | (static_cast<unsigned char>(dbf[11]) << 8);
    dbf[4] = 2;
    dbf.resize(dbf.size() - static_cast<std::size_t>(recordLength) - (dbf.back() == '\x1A' ? 1 : 0));
    dir.Write("a.dbf", dbf);

    CRef<CShpDS> ds = Open(path);
    ASSERT_TRUE(ds);
    CRef<IShapeEx> shape = CreateShapeImpl();
    CGeoRect bounds;
    EXPECT_EQ(ds->ReadShape(0, shape.Get()), 1);
    EXPECT_EQ(ds->ReadShape(1, shape.Get()), 0);
    EXPECT_EQ(ds->GetRecordBounds(1, &bounds), 0);
    EXPECT_EQ(ds->ReadShape(2, shape.Get()), 0);
    EXPECT_EQ(ds->ReadShape(3, shape.Get()), 0);
    EXPECT_EQ(ds->ReadShape(-1, shape.Get()), 0);
    // A record's head passes where its full read does.
    SStoredShapeHead head;
    for (int record = -1; record < 4; ++record) {
        EXPECT_EQ(ds->ReadStoredShapeHead(record, head), record == 0) << record;
    }
    EXPECT_EQ(head.box.right, 1);
    CRef<IShapeAttr> attributes;
    EXPECT_EQ(ds->GetAttributes(1, attributes.Put()), 1);
    EXPECT_EQ(ds->GetAttributes(2, attributes.Put()), 0);
}

TEST(ShpDS, ExactBoundsSelectAllWithoutTheIndexAndStaleIndexIsIgnored) {
    CTempDir dir;
    const std::string path = dir.Path("a.shp");
    WriteOgrLayer(path, "POINT", {}, {{"POINT (0 0)", {}}, {"POINT (10 10)", {}}, {"POINT (20 0)", {}}});
    // An index that knows only record 1 at (10, 10).
    SStxNode root;
    root.rect = CGeoRect{0, 10, 20, 0};
    root.records = {1};
    dir.Write("a.stx", StxFileBytes(root, 3));
    const int64_t shpTime = ModificationTime(path);
    SetModificationTime(dir.Path("a.stx"), shpTime);
    CRef<CShpDS> ds = Open(path);
    ASSERT_TRUE(ds->HasIndex());

    CGeoRect all;
    ds->GetBounds(&all);
    CRef<IRecset> records;
    ASSERT_EQ(ds->SelectByRect(&all, records.Put()), 1);
    EXPECT_EQ(records->GetCount(), 3);
    // A query inside the extent goes through the index, which only knows record 1.
    const CGeoRect inner{-1, 11, 15, -1};
    ASSERT_EQ(ds->SelectByRect(&inner, records.Put()), 1);
    ASSERT_EQ(records->MoveFirst(), 1);
    CVariant bookmark;
    records->GetBookmark(&bookmark);
    EXPECT_EQ(bookmark.lVal, 1);
    EXPECT_EQ(records->MoveNext(), 0);

    // One second older than the .shp: not used, the filter answers from the records' bounds.
    SetModificationTime(dir.Path("a.stx"), shpTime - 1);
    CRef<CShpDS> stale = Open(path);
    EXPECT_FALSE(stale->HasIndex());
    std::filesystem::rename(dir.Path("a.stx"), dir.Path("a.STX"));
    SetModificationTime(dir.Path("a.STX"), shpTime);
    EXPECT_TRUE(Open(path)->HasIndex());
    ASSERT_EQ(stale->SelectByRect(&inner, records.Put()), 1);
    int count = 0;
    for (int ok = records->MoveFirst(); ok; ok = records->MoveNext())
        ++count;
    EXPECT_EQ(count, 2);
}

TEST(ShpDS, OutlivesItsRecordSetsAndClosesOnRequest) {
    CTempDir dir;
    const std::string path = dir.Path("a.shp");
    WriteOgrLayer(path, "POINT", kFields, {{"POINT (1 2)", {"x", "1", "1"}}});
    CRef<IRecset> records;
    {
        CRef<CShpDS> ds = Open(path);
        ASSERT_EQ(ds->SelectAll(records.Put()), 1);
    }
    ASSERT_EQ(records->MoveFirst(), 1);
    CRef<IShape> shape;
    ASSERT_EQ(records->GetShape(shape.Put(), 1), 1);
    CGeoRect b;
    shape->GetBounds(&b);
    EXPECT_EQ(b.left, 1);
    EXPECT_EQ(b.top, 2);

    CRef<CShpDS> ds = Open(path);
    ds->Close();
    CRef<IShapeEx> fresh = CreateShapeImpl();
    EXPECT_EQ(ds->ReadShape(0, fresh.Get()), 0);
    EXPECT_EQ(ds->GetFieldCount(), 0);
}

// Shapefiles GDAL writes, copied through the writer, read back by GDAL with the same 2-D geometry and values.
TEST(ShpDS, CopyThroughTheWriterKeepsGeometryAndValues) {
    CTempDir dir;
    const std::vector<std::pair<std::string, std::string>> layers = {
        {"POINTZ", "POINT Z (1.5 2.25 7)"},
        {"MULTIPOINT", "MULTIPOINT ((1 2),(3 4))"},
        {"LINESTRINGM", "MULTILINESTRING M ((0 0 1,1 1 2),(5 5 3,6 7 4))"},
        {"POLYGON", "POLYGON ((0 0,0 10,10 10,10 0,0 0),(2 2,8 2,8 8,2 8,2 2))"},
    };
    for (const auto& [type, wkt] : layers) {
        SCOPED_TRACE(type);
        const std::string in = dir.Path("in_" + type + ".shp");
        const std::string out = dir.Path("out_" + type + ".shp");
        WriteOgrLayer(in, type, kFields, {{wkt, {"Łódź", "3000", "0.125"}}, {"", {"nothing", "0", "0"}}},
                      {"ENCODING=UTF-8"});
        CRef<CShpDS> ds = Open(in);
        ASSERT_TRUE(ds);
        CRef<IRecset> records;
        ASSERT_EQ(ds->SelectAll(records.Put()), 1);
        CShpFile writer;
        writer.SetCodePage(ds->GetCodePage());
        ASSERT_EQ(CreateOutput(FromUtf8(out), writer, records.Get()), 1);
        ASSERT_EQ(AppendRecordset(writer, records.Get()), 1);
        ASSERT_EQ(CloseOutput(writer), 1);

        const auto original = OgrDump(in);
        const auto copy = OgrDump(out);
        ASSERT_FALSE(copy.is_null());
        ASSERT_EQ(copy["count"], 2);
        EXPECT_EQ(copy["fields"], original["fields"]);
        for (int i = 0; i < 2; ++i)
            EXPECT_EQ(copy["features"][i]["values"], original["features"][i]["values"]);
        // The copy is 2-D: compare against GDAL's reading of the original with Z and M dropped.
        const auto flat = [](std::string w) {
            for (const char* tag : {" ZM ", " Z ", " M "}) {
                const auto at = w.find(tag);
                if (at != std::string::npos)
                    w.erase(at + 1, std::strlen(tag) - 1); // the tag's first blank stays
            }
            return w;
        };
        if (type == "POINTZ")
            EXPECT_EQ(copy["features"][0]["wkt"], "POINT (1.5 2.25)");
        else if (type == "LINESTRINGM")
            EXPECT_EQ(copy["features"][0]["wkt"], "MULTILINESTRING ((0 0,1 1),(5 5,6 7))");
        else
            EXPECT_EQ(copy["features"][0]["wkt"], flat(original["features"][0]["wkt"].get<std::string>()));
        EXPECT_TRUE(copy["features"][1]["wkt"].is_null());
    }
}
