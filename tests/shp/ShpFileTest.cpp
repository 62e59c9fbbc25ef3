#include "shp/ShpFile.h"

#include "OgrLayer.h"
#include "TempDir.h"
#include "WriterFakes.h"
#include "data/IRecset.h"
#include "data/Ref.h"
#include "platform/Boundary.h"
#include "platform/CodePage.h"
#include "shp/ShpDS.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>

namespace fennick {
namespace {

using test::BigInt;
using test::CFakeTable;
using test::CTempDir;
using test::Int;
using test::Real;
using test::SFakeField;
using test::Text;

namespace fs = std::filesystem;

// Names of everything in the folder, sorted.
std::vector<std::string> Listing(const CTempDir& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.Path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<SFakeField> CityFields() {
    return {{u"NAME", 1, 12, 0},
            {u"POP", 2, 10, 0},
            {u"AREA", 3, 12, 3},
            {u"CAPITAL", 4, 1, 0},
            {u"FOUNDED", 5, 8, 0}};
}

TEST(ShpFile, CopiesShapesAndAttributesOfSeveralRecordSets) {
    CTempDir dir;
    auto first =
        CFakeTable(CityFields())
            .Add(test::Point(1, 2), {Text(u"Alpha"), Int(120), Real(12.5), Text(u"T"), Text(u"19990131")})
            .Add(test::Point(3, 4), {Text(u"Beta"), Int(-7), Real(0.125), Text(u"F"), Text(u"")})
            .Build();
    auto second =
        CFakeTable(CityFields())
            .Add(test::Point(5, 6), {Text(u"Gamma"), Int(0), Real(-3), Text(u"y"), Text(u"20240229")})
            .Build();
    CShpFile out;
    ASSERT_EQ(CreateOutput(dir.WPath("cities.shp"), out, first.Get()), 1);
    ASSERT_EQ(AppendRecordset(out, first.Get()), 1);
    ASSERT_EQ(AppendRecordset(out, second.Get()), 1);
    ASSERT_EQ(CloseOutput(out), 1);

    EXPECT_EQ(Listing(dir), (std::vector<std::string>{"cities.dbf", "cities.shp", "cities.shx"}));
    const auto dump = test::OgrDump(dir.Path("cities.shp"));
    ASSERT_FALSE(dump.is_null());
    EXPECT_EQ(dump["fields"], nlohmann::json::parse(R"([["NAME","String",12,0],["POP","Integer64",10,0],
        ["AREA","Real",12,3],["CAPITAL","String",1,0],["FOUNDED","Date",10,0]])"));
    ASSERT_EQ(dump["features"].size(), 3u);
    EXPECT_EQ(dump["features"][0]["wkt"], "POINT (1 2)");
    EXPECT_EQ(dump["features"][2]["wkt"], "POINT (5 6)");
    EXPECT_EQ(dump["features"][0]["values"], nlohmann::json::parse(R"(["Alpha",120,12.5,"T","1999/01/31"])"));
    EXPECT_EQ(dump["features"][1]["values"], nlohmann::json::parse(R"(["Beta",-7,0.125,"F",null])"));
    // A "y" is written as the T that every xBase reader takes for true.
    EXPECT_EQ(dump["features"][2]["values"], nlohmann::json::parse(R"(["Gamma",0,-3.0,"T","2024/02/29"])"));
    // GDAL reports logical fields as one-character strings; check the letter in the table itself.
    const std::string dbf = CTempDir::Read(dir.Path("cities.dbf"));
    EXPECT_EQ(dbf[32 + 11], 'C');
    EXPECT_EQ(dbf[32 + 32 * 3 + 11], 'L');
    EXPECT_EQ(dbf[32 + 32 * 4 + 11], 'D'); // a date stays a date
}

TEST(ShpFile, CopiesEveryShapeKindAndWritesNullsAsNullRecords) {
    CTempDir dir;
    std::vector<SFakeField> fields = {{u"ID", 2, 5, 0}};
    auto set =
        CFakeTable(fields)
            .Add(test::Poly(2, {{{0, 0}, {0, 4}, {4, 4}, {4, 0}, {0, 0}}, {{1, 1}, {2, 1}, {2, 2}, {1, 1}}}),
                 {Int(1)})
            .Add(test::NullShape(), {Int(2)})
            .Add(test::Poly(2, {{{10, 10}, {10, 11}, {11, 11}, {10, 10}}}), {Int(3)})
            // Parts whose points are not stored one after another are written part by part.
            .Add(test::ReversedStoragePoly(
                     2, {{{5, 5}, {5, 9}, {9, 9}, {9, 5}, {5, 5}}, {{6, 6}, {7, 6}, {7, 7}, {6, 6}}}),
                 {Int(4)})
            .Build();
    CShpFile out;
    ASSERT_EQ(CreateOutput(dir.WPath("rings.shp"), out, set.Get()), 1);
    ASSERT_EQ(AppendRecordset(out, set.Get()), 1);
    ASSERT_EQ(CloseOutput(out), 1);
    const auto dump = test::OgrDump(dir.Path("rings.shp"));
    ASSERT_FALSE(dump.is_null());
    EXPECT_EQ(dump["geom_type"], "Polygon");
    ASSERT_EQ(dump["features"].size(), 4u);
    EXPECT_EQ(dump["features"][0]["wkt"], "POLYGON ((0 0,0 4,4 4,4 0,0 0),(1 1,2 1,2 2,1 1))");
    EXPECT_EQ(dump["features"][3]["wkt"], "POLYGON ((5 5,5 9,9 9,9 5,5 5),(6 6,7 6,7 7,6 6))");
    EXPECT_TRUE(dump["features"][1]["wkt"].is_null());
    EXPECT_EQ(dump["features"][2]["values"][0], 3);
    EXPECT_EQ(dump["extent"], nlohmann::json::parse("[0, 11, 0, 11]"));

    auto lines = CFakeTable(fields)
                     .Add(test::MultiPoint({{1, 1}, {2, 2}}), {Int(1)})
                     .Add(test::Poly(1, {{{0, 0}, {1, 1}}, {{2, 2}, {3, 3}}}), {Int(2)})
                     .Build();
    CShpFile mixed;
    ASSERT_EQ(CreateOutput(dir.WPath("mixed.shp"), mixed, lines.Get()), 1);
    ASSERT_EQ(AppendRecordset(mixed, lines.Get()), 1);
    ASSERT_EQ(CloseOutput(mixed), 1);
    const std::string shp = CTempDir::Read(dir.Path("mixed.shp"));
    EXPECT_EQ(test::LittleEndian32(shp, 32), 3u); // the last record's type
    EXPECT_EQ(test::LittleEndian32(shp, 108), 8u);
}

TEST(ShpFile, SkipsShapeDataFieldsAndMatchesValuesByPosition) {
    CTempDir dir;
    std::vector<SFakeField> fields = {{u"SHP_DATA", 1, 10, 0}, {u"NAME", 1, 10, 0}, {u"ShapeData", 1, 10, 0}};
    auto first = CFakeTable(fields).Add(test::Point(1, 1), {Text(u"blob"), Text(u"one"), Text(u"x")}).Build();
    // A later input with other names: values still land by position.
    std::vector<SFakeField> other = {{u"LABEL", 1, 10, 0}};
    auto second = CFakeTable(other).Add(test::Point(2, 2), {Text(u"two")}).Build();
    CShpFile out;
    ASSERT_EQ(CreateOutput(dir.WPath("skip.shp"), out, first.Get()), 1);
    ASSERT_EQ(AppendRecordset(out, first.Get()), 1);
    ASSERT_EQ(AppendRecordset(out, second.Get()), 0); // the template skipped two fields the second lacks
    CShpFile out2;
    ASSERT_EQ(CreateOutput(dir.WPath("skip2.shp"), out2, first.Get()), 1);
    ASSERT_EQ(AppendRecordset(out2, first.Get()), 1);
    ASSERT_EQ(CloseOutput(out2), 1);
    const auto dump = test::OgrDump(dir.Path("skip2.shp"));
    ASSERT_FALSE(dump.is_null());
    EXPECT_EQ(dump["fields"], nlohmann::json::parse(R"([["NAME","String",10,0]])"));
    EXPECT_EQ(dump["features"][0]["values"], nlohmann::json::parse(R"(["one"])"));
}

TEST(ShpFile, SourceWithoutTableGetsIdNumberedAcrossRecordSets) {
    CTempDir dir;
    auto first = CFakeTable({}).AddBare(test::Point(1, 1)).AddBare(test::Point(2, 2)).Build();
    auto second = CFakeTable({}).AddBare(test::Point(3, 3)).Build();
    auto empty = CFakeTable({}).Build();
    CShpFile out;
    // A .txt output path still gives the shapefile triple of the same base name.
    ASSERT_EQ(CreateOutput(dir.WPath("ids.txt"), out, first.Get()), 1);
    ASSERT_EQ(AppendRecordset(out, first.Get()), 1);
    ASSERT_EQ(AppendRecordset(out, empty.Get()), 1);
    ASSERT_EQ(AppendRecordset(out, second.Get()), 1);
    ASSERT_EQ(CloseOutput(out), 1);
    EXPECT_EQ(Listing(dir), (std::vector<std::string>{"ids.dbf", "ids.shp", "ids.shx"}));
    const auto dump = test::OgrDump(dir.Path("ids.shp"));
    ASSERT_FALSE(dump.is_null());
    EXPECT_EQ(dump["fields"], nlohmann::json::parse(R"([["ID","Integer64",10,0]])"));
    ASSERT_EQ(dump["features"].size(), 3u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(dump["features"][i]["values"][0], i + 1);
}

TEST(ShpFile, TemplateWithoutFieldsGetsIdFieldSoEveryShapeHasARecord) {
    CTempDir dir;
    for (const auto& fields : {std::vector<SFakeField>{}, std::vector<SFakeField>{{u"shapedata", 1, 4, 0}}}) {
        auto set = CFakeTable(fields)
                       .Add(test::Point(1, 1), {Text(u"a")})
                       .Add(test::Point(2, 2), {Text(u"b")})
                       .Build();
        CShpFile out;
        ASSERT_EQ(CreateOutput(dir.WPath("bare.shp"), out, set.Get()), 1);
        ASSERT_EQ(AppendRecordset(out, set.Get()), 1);
        ASSERT_EQ(CloseOutput(out), 1);
        const auto dump = test::OgrDump(dir.Path("bare.shp"));
        ASSERT_FALSE(dump.is_null());
        EXPECT_EQ(dump["fields"], nlohmann::json::parse(R"([["ID","Integer64",10,0]])"));
        ASSERT_EQ(dump["features"].size(), 2u);
        EXPECT_EQ(dump["features"][1]["values"][0], 2);
        EXPECT_EQ(dump["features"][1]["wkt"], "POINT (2 2)");
    }
}

TEST(ShpFile, FailedCreationLeavesNothing) {
    CTempDir dir;
    auto empty = CFakeTable(CityFields()).Build();
    CShpFile out;
    EXPECT_EQ(CreateOutput(dir.WPath("none.shp"), out, empty.Get()), 0);
    EXPECT_TRUE(Listing(dir).empty());

    // A memo field (type 0) cannot be written.
    auto memo = CFakeTable({{u"NOTE", 0, 10, 0}}).Add(test::Point(1, 1), {Text(u"x")}).Build();
    CShpFile out2;
    EXPECT_EQ(CreateOutput(dir.WPath("memo.shp"), out2, memo.Get()), 0);
    EXPECT_TRUE(Listing(dir).empty());
    EXPECT_EQ(AppendRecordset(out2, memo.Get()), 0);
    EXPECT_EQ(CloseOutput(out2), 0);
    EXPECT_TRUE(Listing(dir).empty());
}

TEST(ShpFile, NothingAppearsUntilClosedAndAbandonedOutputIsRemoved) {
    CTempDir dir;
    auto set = CFakeTable(CityFields())
                   .Add(test::Point(1, 1), {Text(u"a"), Int(1), Real(1), Text(u"T"), Text(u"")})
                   .Build();
    {
        CShpFile out;
        ASSERT_EQ(CreateOutput(dir.WPath("late.shp"), out, set.Get()), 1);
        ASSERT_EQ(AppendRecordset(out, set.Get()), 1);
        for (const auto& name : Listing(dir))
            EXPECT_EQ(name.rfind(".late.", 0), 0u) << name; // only hidden temporary files so far
        EXPECT_FALSE(fs::exists(dir.Path("late.shp")));
    }
    EXPECT_TRUE(Listing(dir).empty());
}

// A failed append leaves an existing output untouched; a walk that fails is reported with its own reason,
// never taken for the end of the input.
TEST(ShpFile, FailedAppendLeavesAnExistingOutputUntouched) {
    for (const bool walk : {false, true}) {
        CTempDir dir;
        for (const char* ext : {"shp", "shx", "dbf"})
            dir.Write(std::string("keep.") + ext, std::string("old ") + ext);
        auto set = CFakeTable(CityFields())
                       .Add(test::Point(1, 1), {Text(u"a"), Int(1), Real(1), Text(u"T"), Text(u"")})
                       .Add(test::Point(2, 2), {Text(u"b"), Int(2), Real(2), Text(u"F"), Text(u"")})
                       .Build();
        walk ? set->FailWalkAt(1) : set->FailShapeAt(1);
        CShpFile out;
        ASSERT_EQ(CreateOutput(dir.WPath("keep.shp"), out, set.Get()), 1);
        EXPECT_EQ(AppendRecordset(out, set.Get()), 0) << "the input ended short without a word";
        EXPECT_EQ(TakeFailureReason() == u"fake.shp has a bad format. (its index is cut short)", walk);
        EXPECT_EQ(CloseOutput(out), 0); // a failed append cannot give a whole output
        EXPECT_EQ(Listing(dir), (std::vector<std::string>{"keep.dbf", "keep.shp", "keep.shx"}));
        EXPECT_EQ(CTempDir::Read(dir.Path("keep.shp")), "old shp");
        EXPECT_EQ(CTempDir::Read(dir.Path("keep.dbf")), "old dbf");
    }
}

TEST(ShpFile, SuccessfulCloseReplacesAnExistingOutputAndItsStaleCodePageFile) {
    CTempDir dir;
    dir.Write("again.shp", "old");
    dir.Write("again.cpg", "1251");
    dir.Write("again.prj", "old prj");
    const std::string prj = dir.Write("source.prj", "GEOGCS[\"x\"]\r\n");
    auto set = CFakeTable({{u"N", 2, 4, 0}}).Add(test::Point(1, 1), {Int(5)}).Build();
    CShpFile out;
    ASSERT_EQ(CreateOutput(dir.WPath("again.shp"), out, set.Get()), 1);
    ASSERT_EQ(AppendRecordset(out, set.Get()), 1);
    EXPECT_TRUE(out.AddCompanionCopy(dir.WPath("source.prj"), u"prj"));
    EXPECT_FALSE(out.AddCompanionCopy(dir.WPath("absent.prj"), u".prj"));
    ASSERT_EQ(CloseOutput(out), 1) << ToUtf8(TakeFailureReason());
    EXPECT_EQ(Listing(dir),
              (std::vector<std::string>{"again.dbf", "again.prj", "again.shp", "again.shx", "source.prj"}));
    EXPECT_EQ(CTempDir::Read(dir.Path("again.prj")), "GEOGCS[\"x\"]\r\n");
    EXPECT_EQ(test::BigEndian32(CTempDir::Read(dir.Path("again.shp")), 0), 9994u);
}

TEST(ShpFile, WriteErrorsFailTheOutputAndLeaveNothing) {
    CTempDir dir;
    std::vector<SFakeField> fields = {{u"NAME", 1, 200, 0}};
    CFakeTable table(fields);
    for (int i = 0; i < 3000; ++i)
        table.Add(test::Point(i, i), {Text(u"some text that fills the table")});
    auto set = table.Build();
    CShpFile out;
    ASSERT_EQ(CreateOutput(dir.WPath("full.shp"), out, set.Get()), 1);
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 256 * 1024; // the .dbf (600 kB) passes it, the .shp (84 kB) does not
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const int appended = AppendRecordset(out, set.Get());
    const int closed = appended ? CloseOutput(out) : 0;
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(closed, 0);
    EXPECT_NE(TakeFailureReason().find(u"Disk full"), std::u16string::npos);
    EXPECT_TRUE(Listing(dir).empty());
}

TEST(ShpFile, LargeIntegersAreCopiedExactly) {
    CTempDir dir;
    std::vector<SFakeField> fields = {{u"BIG", 2, 12, 0}};
    auto set = CFakeTable(fields)
                   .Add(test::Point(1, 1), {BigInt(3000000000)})
                   .Add(test::Point(2, 2), {BigInt(-5000000000)})
                   .Add(test::Point(3, 3), {Int(-2147483647 - 1)})
                   .Add(test::Point(4, 4), {CVariant()}) // no value stays blank
                   .Build();
    CShpFile out;
    ASSERT_EQ(CreateOutput(dir.WPath("big.shp"), out, set.Get()), 1);
    ASSERT_EQ(AppendRecordset(out, set.Get()), 1);
    ASSERT_EQ(CloseOutput(out), 1);
    const auto dump = test::OgrDump(dir.Path("big.shp"));
    ASSERT_FALSE(dump.is_null());
    EXPECT_EQ(dump["features"][0]["values"][0], 3000000000LL);
    EXPECT_EQ(dump["features"][1]["values"][0], -5000000000LL);
    EXPECT_EQ(dump["features"][2]["values"][0], -2147483648LL);
    EXPECT_TRUE(dump["features"][3]["values"][0].is_null());
}

// Code pages: the .cpg declares what the table holds, in a form GDAL reads.
struct SCodePageCase {
    int codePage;
    const char* cpg;
    const char* gdalEncoding;
};

class ShpFileCodePage : public ::testing::TestWithParam<SCodePageCase> {};

TEST_P(ShpFileCodePage, TextRoundTripsThroughGdal) {
    const SCodePageCase c = GetParam();
    CTempDir dir;
    std::vector<SFakeField> fields = {{u"ГОРОД", 1, 20, 0}};
    auto set = CFakeTable(fields).Add(test::Point(1, 1), {Text(u"Москва")}).Build();
    CShpFile out;
    out.SetCodePage(c.codePage);
    ASSERT_EQ(CreateOutput(dir.WPath("ru.shp"), out, set.Get()), 1);
    ASSERT_EQ(AppendRecordset(out, set.Get()), 1);
    ASSERT_EQ(CloseOutput(out), 1);
    EXPECT_EQ(CTempDir::Read(dir.Path("ru.cpg")), c.cpg);
    const auto dump = test::OgrDump(dir.Path("ru.shp"));
    ASSERT_FALSE(dump.is_null());
    EXPECT_EQ(dump["encoding"], c.gdalEncoding);
    EXPECT_EQ(dump["fields"][0][0], "ГОРОД");
    EXPECT_EQ(dump["features"][0]["values"][0], "Москва");
}

INSTANTIATE_TEST_SUITE_P(Cyrillic, ShpFileCodePage,
                         ::testing::Values(SCodePageCase{65001, "UTF-8", "UTF-8"},
                                           SCodePageCase{1251, "1251", "CP1251"},
                                           SCodePageCase{866, "866", "CP866"},
                                           SCodePageCase{28595, "88595", "ISO-8859-5"}));

TEST(ShpFile, CharacterTheCodePageCannotHoldFailsTheAppend) {
    CTempDir dir;
    std::vector<SFakeField> fields = {{u"NAME", 1, 20, 0}};
    auto latin = CFakeTable(fields).Add(test::Point(1, 1), {Text(u"Café")}).Build();
    auto cyrillic = CFakeTable(fields).Add(test::Point(2, 2), {Text(u"Москва")}).Build();
    for (int codePage : {1252, 0}) {
        CShpFile out;
        out.SetCodePage(codePage);
        ASSERT_EQ(CreateOutput(dir.WPath("w.shp"), out, latin.Get()), 1);
        ASSERT_EQ(AppendRecordset(out, latin.Get()), 1);
        EXPECT_EQ(AppendRecordset(out, cyrillic.Get()), 0) << codePage;
        EXPECT_NE(TakeFailureReason().find(u"Москва"), std::u16string::npos);
    }
    EXPECT_TRUE(Listing(dir).empty());
    // A field name as well.
    auto named = CFakeTable({{u"ИМЯ", 1, 5, 0}}).Add(test::Point(1, 1), {Text(u"x")}).Build();
    CShpFile out;
    out.SetCodePage(1252);
    EXPECT_EQ(CreateOutput(dir.WPath("n.shp"), out, named.Get()), 0);
}

TEST(ShpFile, ByteRuleKeepsLatin1AndSignedByteTextAndWritesNoCpg) {
    CTempDir dir;
    std::vector<SFakeField> fields = {{u"NAME", 1, 10, 0}};
    // "Café" as decoded by ISO-8859-1 and as decoded byte by byte into signed units (0xE9 -> U+FFE9).
    auto set = CFakeTable(fields)
                   .Add(test::Point(1, 1), {Text(u"Caf\u00E9")})
                   .Add(test::Point(2, 2), {Text(u"Caf\uFFE9")})
                   .Build();
    CShpFile out;
    ASSERT_EQ(CreateOutput(dir.WPath("b.shp"), out, set.Get()), 1);
    ASSERT_EQ(AppendRecordset(out, set.Get()), 1);
    ASSERT_EQ(CloseOutput(out), 1);
    EXPECT_FALSE(fs::exists(dir.Path("b.cpg")));
    const std::string dbf = CTempDir::Read(dir.Path("b.dbf"));
    const std::size_t data = 32 + 32 + 1;
    EXPECT_EQ(dbf.substr(data + 1, 10), std::string("Caf\xE9      "));
    EXPECT_EQ(dbf.substr(data + 12, 10), std::string("Caf\xE9      "));
}

TEST(ShpFile, GivenCpgIsCopiedInsteadOfWritten) {
    CTempDir dir;
    dir.Write("in.cpg", "utf-8 \r\n");
    auto set = CFakeTable({{u"N", 1, 10, 0}}).Add(test::Point(1, 1), {Text(u"日本")}).Build();
    CShpFile out;
    out.SetCodePage(65001);
    ASSERT_EQ(CreateOutput(dir.WPath("jp.shp"), out, set.Get()), 1);
    ASSERT_TRUE(out.AddCompanionCopy(dir.WPath("in.cpg"), u".CPG"));
    ASSERT_EQ(AppendRecordset(out, set.Get()), 1);
    ASSERT_EQ(CloseOutput(out), 1);
    EXPECT_EQ(CTempDir::Read(dir.Path("jp.cpg")), "utf-8 \r\n");
    const auto dump = test::OgrDump(dir.Path("jp.shp"));
    ASSERT_FALSE(dump.is_null());
    EXPECT_EQ(dump["features"][0]["values"][0], "日本");
}

TEST(ShpFile, TextLongerThanTheFieldIsCutOnACharacterBoundary) {
    struct SCase {
        int codePage;
        std::u16string text;
        std::size_t max;
        std::string expected;
    };
    const SCase cases[] = {
        {65001, u"ЖЖЖ", 5, "\xD0\x96\xD0\x96"},           // two bytes each: the third does not fit
        {65001, u"a\U0001F600b", 4, "a"},                 // the surrogate pair is not split
        {65001, u"a\U0001F600b", 5, "a\xF0\x9F\x98\x80"}, //
        {932, u"日本語", 5, "\x93\xFA\x96\x7B"},          // double-byte characters
        {1251, u"Привет", 3, "\xCF\xF0\xE8"},             //
        {0, u"abcdef", 4, "abcd"},                        //
        {65001, u"", 4, ""},                              //
    };
    for (const auto& c : cases) {
        std::string out;
        ASSERT_TRUE(CShpFile::EncodeText(c.codePage, c.text, c.max, out)) << c.codePage;
        EXPECT_EQ(out, c.expected) << c.codePage;
    }
    std::string out;
    EXPECT_FALSE(CShpFile::EncodeText(0, u"\u0416", 10, out));
    EXPECT_FALSE(CShpFile::EncodeText(1252, u"\u0416", 10, out));
}

TEST(ShpFile, CpgTextNamesCodePagesAsGdalReadsThem) {
    EXPECT_EQ(CShpFile::CpgText(65001), "UTF-8");
    EXPECT_EQ(CShpFile::CpgText(1252), "1252");
    EXPECT_EQ(CShpFile::CpgText(932), "932");
    EXPECT_EQ(CShpFile::CpgText(28591), "88591");
    EXPECT_EQ(CShpFile::CpgText(28605), "885915");
    EXPECT_EQ(CShpFile::CpgText(0), "");
    EXPECT_EQ(CShpFile::CpgText(-1), "");
}

} // namespace
} // namespace fennick

namespace fennick {
namespace {

// A shapefile of points whose shapes and attributes are written by two threads (it is large enough): the
// text at textRecord cannot be written in code page 1252 and the shape at shapeRecord cannot be read. The
// failure reported must be the one a record-by-record append meets first, the shape's at the same record.
std::u16string FirstFailure(int textRecord, int shapeRecord) {
    CTempDir dir;
    std::vector<test::SOgrFeature> features;
    for (int i = 0; i < CShpFile::kTwoThreadRecords + 2000; ++i)
        features.push_back({"POINT (" + std::to_string(i) + " 1)", {i == textRecord ? "北京" : "plain"}});
    test::WriteOgrLayer(dir.Path("in.shp"), "POINT", {{"NAME", 'C', 20, 0}}, features, {"ENCODING=UTF-8"});
    // The index entry sends the shape's read past the end of the .shp.
    std::string shx = CTempDir::Read(dir.Path("in.shx"));
    const std::size_t entry = 100 + 8 * static_cast<std::size_t>(shapeRecord);
    shx.replace(entry, 4, std::string("\x3f\xff\xff\xf0", 4));
    dir.Write("in.shx", shx);

    CRef<IGeoDS> source;
    EXPECT_EQ(OpenShpDS(dir.WPath("in.shp"), nullptr, source.Put(), nullptr), 1);
    CRef<IRecset> records;
    EXPECT_EQ(source->SelectAll(records.Put()), 1);
    CShpFile out;
    out.SetCodePage(1252);
    EXPECT_EQ(CreateOutput(dir.WPath("out.shp"), out, records.Get()), 1);
    EXPECT_EQ(AppendRecordset(out, records.Get()), 0);
    for (const std::string& name : Listing(dir))
        EXPECT_EQ(name.rfind("in.", 0), 0u) << name << " was left behind";
    return TakeFailureReason();
}

TEST(ShpFile, TwoThreadAppendReportsTheFailureOfTheEarlierRecord) {
    const auto textFailure = [](int record) {
        return u"Record " + Utf16Number(record + 1) +
               u", field NAME: the value \"北京\" cannot be written in code page 1252.";
    };
    // An unreadable shape names its record and file.
    const auto shapeFailure = [](int record) { return u"Record " + Utf16Number(record + 1) + u" of "; };
    EXPECT_EQ(FirstFailure(100, 5000), textFailure(100));
    EXPECT_EQ(FirstFailure(5000, 100).rfind(shapeFailure(100), 0), 0u);
    EXPECT_EQ(FirstFailure(3000, 3000).rfind(shapeFailure(3000), 0), 0u);
    EXPECT_EQ(FirstFailure(5999, 5998).rfind(shapeFailure(5998), 0), 0u);
    EXPECT_EQ(FirstFailure(5998, 5999), textFailure(5998));
}

} // namespace
} // namespace fennick
