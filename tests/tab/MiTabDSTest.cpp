// The MapInfo TAB data source over tables written by GDAL: opening, shape types, shapes, fields, charsets,
// the side files and the reader lock.

#include "StxWriter.h"
#include "TabFixtures.h"
#include "TempDir.h"

#include "data/ICoordSys.h"
#include "data/IRecset.h"
#include "data/IShape.h"
#include "data/IShapeAttr.h"
#include "data/IString.h"
#include "merge/OpenTabDS.h"
#include "data/ShapeImpl.h"
#include "platform/Boundary.h"
#include "platform/CodePage.h"
#include "platform/Exceptions.h"
#include "platform/Sync.h"
#include "platform/Variant.h"
#include "tab/MiTabAttrImpl.h"
#include "tab/MiTabDS.h"

#include <cpl_error.h>
#include <gdal.h>
#include <gtest/gtest.h>
#include <ogr_api.h>
#include <ogr_core.h>

#include <chrono>
#include <filesystem>
#include <future>
#include <thread>

using namespace fennick;
using namespace fennick::test;

namespace {

CRef<IGeoDS> OpenTab(const std::string& path) {
    CRef<IGeoDS> ds;
    if (!OpenTabDS(FromUtf8(path), ds.Put()))
        return {};
    return ds;
}

CRef<CMiTabDS> OpenTabSource(const std::string& path, bool useIndex = true) {
    CRef<CMiTabDS> ds(new CMiTabDS);
    ds->Open(FromUtf8(path), useIndex);
    return ds;
}

IDirectAccess* Access(IGeoDS* ds) {
    return static_cast<CMiTabDS*>(ds);
}

std::u16string Text(IShapeAttr* attributes, int field) {
    CIString text(u"<unset>");
    EXPECT_EQ(attributes->GetString(field, &text), 1) << "field " << field;
    return text.Str();
}

CRef<IShapeAttr> Attributes(IGeoDS* ds, int record) {
    CRef<IShapeAttr> attributes;
    EXPECT_EQ(Access(ds)->GetAttributes(record, attributes.Put()), 1) << "record " << record;
    return attributes;
}

// The shape of a record and its parts' point counts.
struct SShapeInfo {
    int type = -2;
    std::vector<int> partPoints;
    std::vector<CGeoPoint> points;
};

SShapeInfo ReadShape(IGeoDS* ds, int record) {
    SShapeInfo info;
    CRef<CShapeImpl> shape(new CShapeImpl);
    if (!Access(ds)->ReadShape(record, shape.Get()))
        return info;
    info.type = shape->GetType();
    EXPECT_EQ(shape->GetRecordNumber(), record);
    for (int part = 0; part < shape->GetPartCount(); ++part) {
        int n = 0;
        EXPECT_EQ(shape->GetPartPointCount(part, &n), 1);
        info.partPoints.push_back(n);
    }
    int total = 0;
    shape->GetPointCount(&total);
    info.points.resize(total);
    shape->CopyPoints(0, info.points.data(), total);
    return info;
}

STabTableSpec Points() {
    STabTableSpec spec;
    spec.fields = {{"name", OFTString, 20}, {"n", OFTInteger}};
    spec.features = {{"POINT (1 2)", {"first", "1"}},
                     {"POINT (3.5 -4.25)", {"second", "2"}},
                     {"POINT (10 20)", {"third", "3"}}};
    return spec;
}

class MiTabDS : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const STabTableSpec& spec) {
        const std::string path = m_dir.Path(name);
        WriteTabTable(path, spec);
        return path;
    }

    CTempDir m_dir;
};

} // namespace

TEST_F(MiTabDS, PointTableReadsRecordZeroAsItsFirstFeature) {
    CRef<IGeoDS> ds = OpenTab(Write("points.tab", Points()));
    ASSERT_TRUE(ds);
    EXPECT_EQ(ds->GetSourceKind(), 4);
    EXPECT_EQ(ds->GetShapeType(), SHAPE_POINT);
    EXPECT_EQ(Access(ds.Get())->GetRecordCount(), 3);

    CGeoRect bounds;
    ASSERT_EQ(ds->GetBounds(&bounds), 1);
    EXPECT_EQ(bounds.left, 1);
    EXPECT_EQ(bounds.top, 20);
    EXPECT_EQ(bounds.right, 10);
    EXPECT_EQ(bounds.bottom, -4.25);

    const SShapeInfo first = ReadShape(ds.Get(), 0);
    ASSERT_EQ(first.type, SHAPE_POINT);
    EXPECT_EQ(first.points[0].x, 1);
    EXPECT_EQ(first.points[0].y, 2);
    EXPECT_EQ(Text(Attributes(ds.Get(), 0).Get(), 0), u"first");
    EXPECT_EQ(Text(Attributes(ds.Get(), 2).Get(), 0), u"third");

    CRef<CShapeImpl> shape(new CShapeImpl);
    ASSERT_EQ(Access(ds.Get())->ReadShape(1, shape.Get()), 1);
    EXPECT_EQ(shape->GetDataSize(), 16u);

    CGeoRect recordBounds;
    ASSERT_EQ(Access(ds.Get())->GetRecordBounds(1, &recordBounds), 1);
    EXPECT_EQ(recordBounds.left, 3.5);
    EXPECT_EQ(recordBounds.top, -4.25);
    EXPECT_EQ(recordBounds.right, 3.5);
    EXPECT_EQ(recordBounds.bottom, -4.25);

    // Past the last feature and before the first, nothing is read.
    CRef<IShapeAttr> none;
    EXPECT_EQ(Access(ds.Get())->ReadShape(3, shape.Get()), 0);
    EXPECT_EQ(Access(ds.Get())->ReadShape(-1, shape.Get()), 0);
    EXPECT_EQ(Access(ds.Get())->GetAttributes(3, none.Put()), 0);
    EXPECT_FALSE(none);
    EXPECT_EQ(Access(ds.Get())->GetRecordBounds(3, &recordBounds), 0);
}

TEST_F(MiTabDS, RegionTableTakesItsTypeFromTheFeaturesAndKeepsEveryRing) {
    STabTableSpec spec;
    spec.fields = {{"id", OFTInteger}};
    spec.features = {
        {"POLYGON ((0 0,0 10,10 10,10 0,0 0),(2 2,4 2,4 4,2 4,2 2))", {"1"}},
        {"MULTIPOLYGON (((20 0,20 4,24 4,24 0,20 0)),((30 0,30 10,40 10,40 0,30 0),(32 2,34 2,34 4,32 2)))",
         {"2"}},
        {"POLYGON ((50 0,50 1,51 1,51 0,50 0))", {"3"}},
    };
    CRef<IGeoDS> ds = OpenTab(Write("regions.tab", spec));
    ASSERT_TRUE(ds);
    EXPECT_EQ(ds->GetShapeType(), SHAPE_POLYGON);

    // One outer ring and one hole: a polygon of two parts, ten points.
    const SShapeInfo withHole = ReadShape(ds.Get(), 0);
    EXPECT_EQ(withHole.type, SHAPE_POLYGON);
    EXPECT_EQ(withHole.partPoints, (std::vector<int>{5, 5}));
    const SShapeInfo multi = ReadShape(ds.Get(), 1);
    EXPECT_EQ(multi.type, SHAPE_POLYGON);
    EXPECT_EQ(multi.partPoints, (std::vector<int>{5, 5, 4}));
    EXPECT_EQ(ReadShape(ds.Get(), 2).partPoints, (std::vector<int>{5}));

    CRef<CShapeImpl> shape(new CShapeImpl);
    ASSERT_EQ(Access(ds.Get())->ReadShape(1, shape.Get()), 1);
    CGeoRect box;
    ASSERT_EQ(shape->GetBounds(&box), 1);
    EXPECT_EQ(box.left, 20);
    EXPECT_EQ(box.right, 40);
    EXPECT_EQ(box.top, 10);
    EXPECT_EQ(box.bottom, 0);
    // Finding the type reads only geometries; the attributes are read afterwards all the same.
    EXPECT_EQ(Text(Attributes(ds.Get(), 1).Get(), 0), u"2");
}

TEST_F(MiTabDS, PolylineTableGivesOnePartPerLine) {
    STabTableSpec spec;
    spec.fields = {{"id", OFTInteger}};
    spec.features = {{"LINESTRING (0 0,1 1,2 0)", {"1"}},
                     {"MULTILINESTRING ((0 0,1 1),(5 5,6 6,7 5))", {"2"}}};
    CRef<IGeoDS> ds = OpenTab(Write("lines.tab", spec));
    ASSERT_TRUE(ds);
    EXPECT_EQ(ds->GetShapeType(), SHAPE_POLYLINE);
    EXPECT_EQ(ReadShape(ds.Get(), 0).partPoints, (std::vector<int>{3}));
    const SShapeInfo two = ReadShape(ds.Get(), 1);
    EXPECT_EQ(two.type, SHAPE_POLYLINE);
    EXPECT_EQ(two.partPoints, (std::vector<int>{2, 3}));
    EXPECT_EQ(two.points[4].x, 7);
    EXPECT_EQ(two.points[4].y, 5);
}

TEST_F(MiTabDS, TablesWithoutOneShapeTypeAreRefused) {
    STabTableSpec mixed;
    mixed.features = {{"POINT (1 2)", {}}, {"POLYGON ((0 0,1 0,1 1,0 0))", {}}};
    EXPECT_FALSE(OpenTab(Write("mixed.tab", mixed)));
    // GDAL reports no geometry type for a table without features, so its type cannot be known.
    STabTableSpec empty;
    empty.fields = {{"id", OFTInteger}};
    EXPECT_FALSE(OpenTab(Write("empty.tab", empty)));
    STabTableSpec noGeometry;
    noGeometry.fields = {{"id", OFTInteger}};
    noGeometry.features = {{"", {"1"}}};
    EXPECT_FALSE(OpenTab(Write("nogeometry.tab", noGeometry)));

    // The type found is remembered for the table as its files stand; a table rewritten under the same name
    // is looked at again.
    STabTableSpec regions;
    regions.features = {{"POLYGON ((0 0,1 0,1 1,0 0))", {}}};
    const std::string path = Write("again.tab", regions);
    EXPECT_EQ(OpenTab(path)->GetShapeType(), SHAPE_POLYGON);
    EXPECT_EQ(OpenTab(path)->GetShapeType(), SHAPE_POLYGON);
    for (const char* ext : {".tab", ".dat", ".map", ".id"})
        std::filesystem::remove(m_dir.Path(std::string("again") + ext));
    Write("again.tab", mixed);
    EXPECT_FALSE(OpenTab(path));
}

TEST_F(MiTabDS, FeatureWithoutGeometryIsANullShapeWithItsAttributes) {
    STabTableSpec spec = Points();
    spec.features.insert(spec.features.begin() + 1, STabFeatureSpec{"", {"nothing", "9"}});
    CRef<IGeoDS> ds = OpenTab(Write("holes.tab", spec));
    ASSERT_TRUE(ds);
    EXPECT_EQ(ds->GetShapeType(), SHAPE_POINT);
    EXPECT_EQ(ReadShape(ds.Get(), 1).type, SHAPE_NULL);
    CGeoRect bounds;
    EXPECT_EQ(Access(ds.Get())->GetRecordBounds(1, &bounds), 0);
    EXPECT_EQ(Text(Attributes(ds.Get(), 1).Get(), 0), u"nothing");
    EXPECT_EQ(ReadShape(ds.Get(), 2).type, SHAPE_POINT);
}

// Deleted rows are no records and rows without an object are null shapes, as OGR's walk over the table
// gives them: wherever the deleted rows lie.
TEST_F(MiTabDS, DeletedRowsAreSkippedWhereverTheyLie) {
    const struct { const char* where; } rows[] = {{"n = 1"}, {"n = 6"}, {"n % 2 = 0"}, {"n <> 4"}, {"n = 3"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.where);
        STabTableSpec spec;
        spec.fields = {{"name", OFTString, 10}, {"n", OFTInteger}};
        for (int i = 1; i <= 6; ++i)
            spec.features.push_back({i == 3 ? "" : "POINT (" + std::to_string(i) + " 2)",
                                     {"row " + std::to_string(i), std::to_string(i)}});
        spec.deleteWhere = row.where;
        const std::string path = Write("deleted.tab", spec);

        std::vector<std::pair<int, bool>> expected; // n, has geometry
        GDALDatasetH table = GDALOpenEx(path.c_str(), GDAL_OF_VECTOR, nullptr, nullptr, nullptr);
        ASSERT_NE(table, nullptr);
        OGRLayerH layer = GDALDatasetGetLayer(table, 0);
        while (OGRFeatureH f = OGR_L_GetNextFeature(layer)) {
            expected.emplace_back(OGR_F_GetFieldAsInteger(f, 1), OGR_F_GetGeometryRef(f) != nullptr);
            OGR_F_Destroy(f);
        }
        GDALClose(table);
        ASSERT_LT(expected.size(), 6u);

        CRef<IGeoDS> ds = OpenTab(path);
        ASSERT_TRUE(ds);
        ASSERT_EQ(Access(ds.Get())->GetRecordCount(), static_cast<int>(expected.size()));
        for (std::size_t r = 0; r < expected.size(); ++r) {
            const int record = static_cast<int>(r);
            const SShapeInfo shape = ReadShape(ds.Get(), record);
            EXPECT_EQ(shape.type, expected[r].second ? SHAPE_POINT : SHAPE_NULL) << "record " << r;
            if (expected[r].second && shape.type == SHAPE_POINT) {
                EXPECT_EQ(shape.points[0].x, expected[r].first) << "record " << r;
            }
            int n = 0;
            ASSERT_EQ(Attributes(ds.Get(), record)->GetInteger(1, &n), 1);
            EXPECT_EQ(n, expected[r].first) << "record " << r;
        }
        EXPECT_EQ(Access(ds.Get())->ReadShape(static_cast<int>(expected.size()), nullptr), 0);
        CRef<IShapeAttr> beyond;
        EXPECT_EQ(Access(ds.Get())->GetAttributes(static_cast<int>(expected.size()), beyond.Put()), 0);
    }
}

TEST_F(MiTabDS, FieldsTakeTheWidthDefaultsWhenTheReaderGivesNone) {
    STabTableSpec spec;
    spec.fields = {
        {"i", OFTInteger}, {"r", OFTReal}, {"d", OFTReal, 10, 3}, {"c", OFTString, 20}, {"t", OFTDate}};
    spec.features = {{"POINT (0 0)", {"42", "2.5", "1.125", "text", "2024/01/31"}}};
    CRef<IGeoDS> ds = OpenTab(Write("fields.tab", spec));
    ASSERT_TRUE(ds);
    CRef<IShapeAttr> attributes = Attributes(ds.Get(), 0);
    auto* recordFields = dynamic_cast<IFieldDesc*>(attributes.Get());
    ASSERT_NE(recordFields, nullptr);
    const struct {
        int type, width, decimals;
    } expected[] = {{2, 11, 0}, {3, 16, 6}, {3, 10, 3}, {1, 20, 0}, {5, 8, 0}};
    auto* source = static_cast<CMiTabDS*>(ds.Get());
    ASSERT_EQ(source->GetFieldCount(), 5);
    ASSERT_EQ(recordFields->GetFieldCount(), 5);
    for (int i = 0; i < 5; ++i) {
        for (IFieldDesc* fields : {static_cast<IFieldDesc*>(source), recordFields}) {
            EXPECT_EQ(fields->GetFieldType(i), expected[i].type) << "field " << i;
            if (expected[i].type != 0) {
                EXPECT_EQ(fields->GetFieldWidth(i), expected[i].width) << "field " << i;
                EXPECT_EQ(fields->GetFieldDecimals(i), expected[i].decimals) << "field " << i;
            }
        }
    }
    CIString name;
    ASSERT_EQ(source->GetFieldName(3, &name), 1);
    EXPECT_EQ(name.Str(), u"c");
    EXPECT_EQ(source->GetFieldName(5, &name), 0);
    EXPECT_EQ(recordFields->GetFieldName(5, &name), 0);
    EXPECT_EQ(recordFields->GetFieldWidth(5), 0);
}

TEST_F(MiTabDS, ValuesReadTypedAndEmptyTextIsAValue) {
    STabTableSpec spec;
    spec.fields = {{"i", OFTInteger}, {"r", OFTReal}, {"c", OFTString, 20}, {"t", OFTDate}};
    spec.features = {{"POINT (0 0)", {"-42", "2.5", "", "2024/01/31"}}};
    CRef<IGeoDS> ds = OpenTab(Write("values.tab", spec));
    ASSERT_TRUE(ds);
    CRef<IShapeAttr> attributes = Attributes(ds.Get(), 0);
    ASSERT_TRUE(attributes);

    int i = 0;
    double r = 0;
    ASSERT_EQ(attributes->GetInteger(0, &i), 1);
    EXPECT_EQ(i, -42);
    ASSERT_EQ(attributes->GetDouble(1, &r), 1);
    EXPECT_EQ(r, 2.5);
    // An empty text reads as success with an empty text, so such records copy.
    EXPECT_EQ(Text(attributes.Get(), 2), u"");

    CVariant value = CVariant::FromString(u"previous");
    ASSERT_EQ(attributes->GetValue(0, &value), 1);
    EXPECT_EQ(value.vt, VT_I4);
    EXPECT_EQ(value.lVal, -42);
    ASSERT_EQ(attributes->GetValue(1, &value), 1);
    EXPECT_EQ(value.vt, VT_R8);
    EXPECT_EQ(value.dblVal, 2.5);
    ASSERT_EQ(attributes->GetValue(2, &value), 1);
    EXPECT_EQ(value.vt, VT_BSTR);
    EXPECT_EQ(value.bstrVal, u"");
    // A date arrives as a date.
    ASSERT_EQ(attributes->GetValue(3, &value), 1);
    EXPECT_EQ(value.vt, VT_DATE);
    double date = 0;
    ASSERT_TRUE(SystemTimeToVariantTime(2024, 1, 31, 0, 0, 0, &date));
    EXPECT_EQ(value.dblVal, date);

    CVariant bookmark;
    ASSERT_EQ(attributes->GetBookmark(&bookmark), 1);
    EXPECT_EQ(bookmark.vt, VT_I4);
    EXPECT_EQ(bookmark.lVal, 0);
    EXPECT_EQ(attributes->GetString(4, nullptr), 0);
    CIString text;
    EXPECT_EQ(attributes->GetString(4, &text), 0);
    EXPECT_EQ(attributes->GetInteger(-1, &i), 0);
    EXPECT_EQ(attributes->GetValue(4, &value), 0);
}

// Dates stay dates; dates with times and times become texts that keep every whole second; an empty value
// stays empty; a fraction of a second, which the text cannot keep, fails the value with the column named.
TEST_F(MiTabDS, DatesAndTimesKeepEveryValue) {
    STabTableSpec spec;
    spec.fields = {{"d", OFTDate}, {"dt", OFTDateTime}, {"t", OFTTime}};
    spec.features = {{"POINT (0 0)", {"2024/02/29", "1999/12/31 23:59:58", "07:08:09"}},
                     {"POINT (1 1)", {}},
                     {"POINT (2 2)", {"1900/01/01", "2024/01/01 00:00:00.250", "00:00:00.5"}}};
    CRef<IGeoDS> ds = OpenTab(Write("dates.tab", spec));
    ASSERT_TRUE(ds);
    double leapDay = 0, first = 0;
    ASSERT_TRUE(SystemTimeToVariantTime(2024, 2, 29, 0, 0, 0, &leapDay));
    ASSERT_TRUE(SystemTimeToVariantTime(1900, 1, 1, 0, 0, 0, &first));
    const struct {
        int record, field;
        const char16_t* text; // null: the value fails
        VarType vt;
        double date;
    } rows[] = {
        {0, 0, u"20240229", VT_DATE, leapDay},
        {0, 1, u"1999-12-31 23:59:58", VT_BSTR, 0},
        {0, 2, u"07:08:09", VT_BSTR, 0},
        {1, 0, u"", VT_NULL, 0},
        {1, 1, u"", VT_NULL, 0},
        {1, 2, u"", VT_NULL, 0},
        {2, 0, u"19000101", VT_DATE, first},
        {2, 1, nullptr, VT_EMPTY, 0},
        {2, 2, nullptr, VT_EMPTY, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << "record " << row.record << " field " << row.field);
        CRef<IShapeAttr> attributes = Attributes(ds.Get(), row.record);
        CIString text;
        CVariant value;
        TakeFailureReason();
        if (row.text == nullptr) {
            EXPECT_EQ(attributes->GetString(row.field, &text), 0);
            EXPECT_EQ(attributes->GetValue(row.field, &value), 0);
            EXPECT_NE(TakeFailureReason().find(row.field == 1 ? u"column dt" : u"column t"),
                      std::u16string::npos);
            continue;
        }
        EXPECT_EQ(Text(attributes.Get(), row.field), row.text);
        ASSERT_EQ(attributes->GetValue(row.field, &value), 1);
        EXPECT_EQ(value.vt, row.vt);
        if (row.vt == VT_DATE) {
            EXPECT_EQ(value.dblVal, row.date);
        }
        if (row.vt == VT_BSTR) {
            EXPECT_EQ(value.bstrVal, row.text);
        }
    }
}

TEST_F(MiTabDS, CyrillicCharsetSetsTheCodePageAndTextsReadRight) {
    STabTableSpec spec;
    spec.encoding = "CP1251";
    spec.fields = {{"имя", OFTString, 20}};
    spec.features = {{"POINT (0 0)", {"Ёжик"}}};
    CRef<CMiTabDS> ds = OpenTabSource(Write("cyrillic.tab", spec));
    EXPECT_EQ(ds->GetCodePage(), 1251);
    EXPECT_TRUE(ds->StringsAreUtf8());
    CIString name;
    ASSERT_EQ(ds->GetFieldName(0, &name), 1);
    EXPECT_EQ(name.Str(), u"имя");
    CRef<IShapeAttr> attributes = Attributes(ds.Get(), 0);
    EXPECT_EQ(Text(attributes.Get(), 0), u"Ёжик");
    EXPECT_EQ(static_cast<CMiTabAttrImpl*>(attributes.Get())->GetCodePage(), 1251);
    ASSERT_EQ(static_cast<CMiTabAttrImpl*>(attributes.Get())->GetFieldName(0, &name), 1);
    EXPECT_EQ(name.Str(), u"имя");
    // The value is stored in the table as Windows-1251 bytes.
    const std::string dat = CTempDir::Read(m_dir.Path("cyrillic.dat"));
    EXPECT_NE(dat.find("\xA8\xE6\xE8\xEA"), std::string::npos);
}

TEST_F(MiTabDS, NeutralCharsetKeepsTheCodePageAndLaterCodePagesReachNewRecords) {
    STabTableSpec spec;
    spec.fields = {{"c", OFTString, 20}};
    // Windows-1251 bytes of "Ёж" in a table that declares no charset.
    spec.features = {{"POINT (0 0)", {"\xA8\xE6"}}};
    CRef<CMiTabDS> ds = OpenTabSource(Write("neutral.tab", spec));
    EXPECT_EQ(ReadTabCharset(m_dir.WPath("neutral.tab")), "Neutral");
    EXPECT_EQ(ds->GetCodePage(), 0);
    EXPECT_FALSE(ds->StringsAreUtf8());
    // Code page 0 keeps every byte as the character of the same number.
    EXPECT_EQ(Text(Attributes(ds.Get(), 0).Get(), 0), u"\u00A8\u00E6");
    CRef<IShapeAttr> before = Attributes(ds.Get(), 0);
    ds->SetCodePage(1251);
    EXPECT_EQ(Text(Attributes(ds.Get(), 0).Get(), 0), u"Ёж");
    // A record made earlier keeps the code page it was made with.
    EXPECT_EQ(Text(before.Get(), 0), u"\u00A8\u00E6");
}

TEST_F(MiTabDS, AnIndexIsUsedOnlyWhenItIsNotOlderThanTheTable) {
    STabTableSpec spec;
    spec.fields = {{"id", OFTInteger}};
    spec.features = {
        {"POINT (1 1)", {"0"}}, {"POINT (2 2)", {"1"}}, {"POINT (10 10)", {"2"}}, {"POINT (20 20)", {"3"}}};
    const std::string table = Write("indexed.tab", spec);
    // The index lists only record 0 near the origin, so its use shows in the answer: the query below meets
    // records 0 and 1.
    SStxNode root{CGeoRect{0, 21, 21, 0}, {}, {}};
    root.children.push_back(SStxNode{CGeoRect{0, 3, 3, 0}, {0}, {}});
    root.children.push_back(SStxNode{CGeoRect{9, 21, 21, 9}, {2, 3}, {}});
    const std::string index = m_dir.Write("indexed.ttx", StxFileBytes(root, 4));
    const int64_t tableTime = ModificationTime(table);
    const CGeoRect query{0, 5, 5, 0};

    const auto select = [&](bool useIndex) {
        CRef<CMiTabDS> ds = OpenTabSource(table, useIndex);
        CRef<IRecset> recset;
        EXPECT_EQ(ds->SelectByRect(&query, recset.Put()), 1);
        std::vector<int> records;
        CVariant bookmark;
        for (int more = recset->MoveFirst(); more; more = recset->MoveNext()) {
            recset->GetBookmark(&bookmark);
            records.push_back(bookmark.lVal);
        }
        return std::make_pair(ds->IsIndexLoaded(), records);
    };

    SetModificationTime(index, tableTime);
    EXPECT_EQ(select(true), std::make_pair(true, std::vector<int>{0}));
    EXPECT_EQ(select(false), std::make_pair(false, std::vector<int>{0, 1}));
    SetModificationTime(index, tableTime + 60);
    EXPECT_EQ(select(true), std::make_pair(true, std::vector<int>{0}));
    SetModificationTime(index, tableTime - 1);
    EXPECT_EQ(select(true), std::make_pair(false, std::vector<int>{0, 1}));
}

TEST_F(MiTabDS, CoordinateSystemComesFromTheTpjWhenItCanBeRead) {
    const std::string table = Write("projected.tab", Points());
    EXPECT_EQ(OpenTabSource(table)->GetCoordSys(), nullptr);
    m_dir.Write("projected.tpj",
                "GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\",6378137.0,"
                "298.257223563]],PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]]");
    CRef<CMiTabDS> ds = OpenTabSource(table);
    ASSERT_NE(ds->GetCoordSys(), nullptr);
    EXPECT_EQ(ds->GetCoordSys()->IsGeographic(), 1);
    m_dir.Write("projected.tpj", "not a coordinate system");
    CRef<CMiTabDS> unreadable = OpenTabSource(table);
    EXPECT_EQ(unreadable->GetCoordSys(), nullptr);
    EXPECT_EQ(unreadable->GetShapeType(), SHAPE_POINT);
}

TEST_F(MiTabDS, OnlyNamesEndingInTabInAnyCaseOpen) {
    Write("points.tab", Points());
    EXPECT_FALSE(OpenTab(m_dir.Path("points.dat")));
    EXPECT_FALSE(OpenTab(m_dir.Path("points.map")));
    EXPECT_FALSE(OpenTab(m_dir.Path("missing.tab")));
    EXPECT_FALSE(OpenTab(m_dir.Path("")));
    // A folder of tables is a data set to GDAL, but not a table here.
    EXPECT_FALSE(OpenTab(m_dir.Path(".")));

    const std::filesystem::path folder = m_dir.Path("upper");
    std::filesystem::create_directory(folder);
    for (const auto& [from, to] : {std::pair{"tab", "TAB"}, {"dat", "DAT"}, {"map", "MAP"}, {"id", "ID"}})
        std::filesystem::copy_file(m_dir.Path(std::string("points.") + from),
                                   folder / (std::string("POINTS.") + to));
    CRef<IGeoDS> upper = OpenTab((folder / "POINTS.TAB").string());
    ASSERT_TRUE(upper);
    EXPECT_EQ(Access(upper.Get())->GetRecordCount(), 3);
}

TEST_F(MiTabDS, TablesInFoldersWithNonAsciiNamesOpen) {
    const std::string folder = m_dir.Path("карты 地図");
    std::filesystem::create_directory(std::filesystem::path(folder));
    WriteTabTable(folder + "/точки.tab", Points());
    CRef<IGeoDS> ds = OpenTab(folder + "/точки.tab");
    ASSERT_TRUE(ds);
    EXPECT_EQ(Access(ds.Get())->GetRecordCount(), 3);
}

TEST_F(MiTabDS, AttributeRecordsOutliveTheSourceAndClosedSourcesReadNothing) {
    CRef<IShapeAttr> attributes;
    {
        CRef<IGeoDS> ds = OpenTab(Write("points.tab", Points()));
        ASSERT_TRUE(ds);
        attributes = Attributes(ds.Get(), 1);
        CRef<IShapeAttr> other = Attributes(ds.Get(), 2);
        EXPECT_EQ(Access(ds.Get())->GetRecordCount(), 3);
        ds->Close();
        EXPECT_EQ(Text(other.Get(), 0), u"third");
        CRef<CShapeImpl> shape(new CShapeImpl);
        EXPECT_EQ(Access(ds.Get())->ReadShape(0, shape.Get()), 0);
        CRef<IShapeAttr> none;
        EXPECT_EQ(Access(ds.Get())->GetAttributes(0, none.Put()), 0);
        // The count stays as it was counted before the close.
        EXPECT_EQ(Access(ds.Get())->GetRecordCount(), 3);
    }
    EXPECT_EQ(Text(attributes.Get(), 0), u"second");
    int n = 0;
    ASSERT_EQ(attributes->GetInteger(1, &n), 1);
    EXPECT_EQ(n, 2);
}

namespace {

int g_diagnostics = 0;
void CountDiagnostic(CPLErr, CPLErrorNum, const char*) {
    ++g_diagnostics;
}

} // namespace

TEST_F(MiTabDS, GdalDiagnosticsStayQuiet) {
    m_dir.Write("broken.tab", "!table\n!version 300\nDefinition Table\n  Type NATIVE\n  Fields 99\n");
    const std::string table = Write("points.tab", Points());
    CPLPushErrorHandler(CountDiagnostic);
    g_diagnostics = 0;
    EXPECT_FALSE(OpenTab(m_dir.Path("broken.tab")));
    CRef<IGeoDS> ds = OpenTab(table);
    ASSERT_TRUE(ds);
    CRef<CShapeImpl> shape(new CShapeImpl);
    EXPECT_EQ(Access(ds.Get())->ReadShape(99, shape.Get()), 0);
    CPLPopErrorHandler();
    EXPECT_EQ(g_diagnostics, 0);
}

TEST_F(MiTabDS, ReadsWaitForTheProcessLock) {
    CRef<IGeoDS> ds = OpenTab(Write("points.tab", Points()));
    ASSERT_TRUE(ds);
    std::promise<void> locked;
    std::promise<void> release;
    std::thread holder([&] {
        std::lock_guard<std::recursive_mutex> lock(ProcessLock());
        locked.set_value();
        release.get_future().wait();
    });
    locked.get_future().wait();
    auto read = std::async(std::launch::async, [&] { return ReadShape(ds.Get(), 2).type; });
    EXPECT_EQ(read.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
    release.set_value();
    holder.join();
    EXPECT_EQ(read.get(), SHAPE_POINT);
}

// A record's feature is read once for its shape and then its attributes; whatever order the calls come in,
// each answers for its own record, and attributes handed out stay whole when other records are read.
TEST_F(MiTabDS, ShapesBoundsAndAttributesAnswerForTheirRecordInAnyOrder) {
    CRef<IGeoDS> ds = OpenTab(Write("order.tab", Points()));
    ASSERT_TRUE(ds);
    auto x = [&](int record) {
        const SShapeInfo shape = ReadShape(ds.Get(), record);
        return shape.points.empty() ? -1.0 : shape.points[0].x;
    };
    EXPECT_EQ(x(1), 3.5);
    CRef<IShapeAttr> second = Attributes(ds.Get(), 1);
    EXPECT_EQ(Text(Attributes(ds.Get(), 1).Get(), 0), u"second"); // asked for twice
    EXPECT_EQ(x(1), 3.5);
    EXPECT_EQ(x(2), 10.0);
    EXPECT_EQ(Text(Attributes(ds.Get(), 0).Get(), 0), u"first");
    EXPECT_EQ(x(2), 10.0);
    CGeoRect bounds;
    ASSERT_EQ(Access(ds.Get())->GetRecordBounds(0, &bounds), 1);
    EXPECT_EQ(bounds.left, 1.0);
    CRef<IShapeAttr> third = Attributes(ds.Get(), 2);
    EXPECT_EQ(x(0), 1.0);
    EXPECT_EQ(Text(second.Get(), 0), u"second");
    EXPECT_EQ(Text(third.Get(), 0), u"third");
    EXPECT_EQ(Access(ds.Get())->GetAttributes(3, second.Put()), 0);
    EXPECT_EQ(Text(third.Get(), 0), u"third");
}
