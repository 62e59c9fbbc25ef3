#include "shp/XBaseDatabase.h"
#include "shp/XBaseRecord.h"

#include "data/GeoTypes.h"
#include "data/IString.h"
#include "platform/CodePage.h"
#include "platform/Variant.h"

#include "EncipherFile.h"
#include "TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace fennick;
using fennick::test::CTempDir;

namespace {

struct FieldDef {
    std::string name;
    char type;
    uint8_t width;
    uint8_t decimals;
};

// Builds .dbf bytes by the format table: header, descriptors, 0x0D, records (given as whole record bytes
// without the deletion flag).
struct DbfBytes {
    std::vector<FieldDef> fields;
    std::vector<std::string> records;
    uint8_t languageDriver = 0;
    int headerLengthOverride = -1;
    int recordLengthOverride = -1;
    int64_t recordCountOverride = -1;
    char terminator = '\x0D';
    std::string trailer; // bytes between the terminator and the records

    std::string Build() const {
        std::string out(32, '\0');
        out[0] = 0x03;
        const uint32_t count = recordCountOverride >= 0 ? recordCountOverride : records.size();
        for (int i = 0; i < 4; ++i)
            out[4 + i] = static_cast<char>(count >> (8 * i));
        const int headerLength = headerLengthOverride >= 0 ? headerLengthOverride : 33 + 32 * fields.size();
        int recordLength = 1;
        for (const auto& f : fields)
            recordLength += f.width;
        if (recordLengthOverride >= 0)
            recordLength = recordLengthOverride;
        out[8] = static_cast<char>(headerLength);
        out[9] = static_cast<char>(headerLength >> 8);
        out[10] = static_cast<char>(recordLength);
        out[11] = static_cast<char>(recordLength >> 8);
        out[29] = static_cast<char>(languageDriver);
        for (const auto& f : fields) {
            std::string d(32, '\0');
            d.replace(0, std::min<std::size_t>(f.name.size(), 11), f.name.substr(0, 11));
            d[11] = f.type;
            d[16] = static_cast<char>(f.width);
            d[17] = static_cast<char>(f.decimals);
            out += d;
        }
        out += terminator;
        out += trailer;
        for (const auto& r : records)
            out += ' ' + r;
        return out;
    }
};

std::u16string Text(IString& s) {
    return s.GetText();
}

struct Table {
    CTempDir dir;
    CxBaseDatabase db;
    std::u16string path;
    explicit Table(const DbfBytes& bytes, const std::string& name = "t.dbf") {
        dir.Write(name, bytes.Build());
        path = dir.WPath(name);
    }
    void Open(std::u16string_view password = {}) { db.Open(path, CSysFile::kReadDenyNone, 0, password); }
};

DbfBytes Sample() {
    DbfBytes b;
    b.fields = {{"NAME", 'C', 8, 0}, {"POP", 'N', 11, 0}, {"AREA", 'N', 8, 2}, {"RATIO", 'F', 10, 2},
                {"OK", 'L', 1, 0},   {"DAY", 'D', 8, 0},  {"MEMO", 'M', 10, 0}};
    b.records = {
        "  ab    "
        "     123456"
        "   12.50"
        "    1234.5"
        "T"
        "20200229"
        "         1",
        "        "
        "-2147483648"
        "        "
        "          "
        "y"
        "20210229"
        "          ",
        "Z\xFCrich  "
        " 3000000000"
        "  -0.25 "
        "       1e3"
        "N"
        "        "
        "          ",
    };
    return b;
}

} // namespace

TEST(XBaseDatabase, DescribesFieldsByTheTypeTable) {
    Table t(Sample());
    t.Open();
    EXPECT_EQ(t.db.GetRecordCount(), 3u);
    ASSERT_EQ(t.db.GetFieldCount(), 7);
    struct Row {
        const char16_t* name;
        int width, decimals, type;
    } rows[] = {{u"NAME", 8, 0, FIELD_CHARACTER}, {u"POP", 11, 0, FIELD_INTEGER}, {u"AREA", 8, 2, FIELD_REAL},
                {u"RATIO", 10, 2, FIELD_REAL},    {u"OK", 1, 0, FIELD_LOGICAL},   {u"DAY", 8, 0, FIELD_DATE},
                {u"MEMO", 10, 0, FIELD_NONE}};
    CRef<CxBaseRecord> rec = t.db.GetRecord(0);
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE(i);
        for (IFieldDesc* desc : {static_cast<IFieldDesc*>(&t.db), static_cast<IFieldDesc*>(rec.Get())}) {
            CIString name;
            EXPECT_EQ(desc->GetFieldName(i, &name), 1);
            EXPECT_EQ(Text(name), rows[i].name);
            EXPECT_EQ(desc->GetFieldWidth(i), rows[i].width);
            EXPECT_EQ(desc->GetFieldDecimals(i), rows[i].decimals);
            EXPECT_EQ(desc->GetFieldType(i), rows[i].type);
        }
    }
    EXPECT_EQ(t.db.Field(3).offset, 1 + 8 + 11 + 8);
    CIString name;
    EXPECT_EQ(t.db.GetFieldName(7, &name), 0);
    EXPECT_EQ(rec->GetFieldName(-1, &name), 0);
    EXPECT_EQ(rec->GetFieldWidth(7), 0);
    EXPECT_EQ(rec->GetFieldType(7), 0);
}

TEST(XBaseDatabase, ValuesAsTextIntegerAndReal) {
    Table t(Sample());
    t.Open();
    CRef<CxBaseRecord> r0 = t.db.GetRecord(0);
    CIString s;
    ASSERT_EQ(r0->GetString(0, &s), 1);
    EXPECT_EQ(Text(s), u"ab"); // surrounding spaces dropped
    int i = 0;
    ASSERT_EQ(r0->GetInteger(1, &i), 1);
    EXPECT_EQ(i, 123456);
    double d = 0;
    ASSERT_EQ(r0->GetDouble(2, &d), 1);
    EXPECT_EQ(d, 12.5);
    // F fields print with the decimal count as the precision of %g: significant digits.
    ASSERT_EQ(r0->GetString(3, &s), 1);
    EXPECT_EQ(Text(s), u"1.2e+03");
    ASSERT_EQ(r0->GetDouble(3, &d), 1);
    EXPECT_EQ(d, 1234.5);
    ASSERT_EQ(r0->GetString(6, &s), 1);
    EXPECT_EQ(Text(s), u"1");

    CRef<CxBaseRecord> r1 = t.db.GetRecord(1);
    s.Set(u"previous");
    EXPECT_EQ(r1->GetString(0, &s), 1); // empty text: success, string unchanged
    EXPECT_EQ(Text(s), u"previous");
    ASSERT_EQ(r1->GetDouble(2, &d), 1);
    EXPECT_EQ(d, 0.0);
    ASSERT_EQ(r1->GetInteger(1, &i), 1);
    EXPECT_EQ(i, INT32_MIN);

    CRef<CxBaseRecord> r2 = t.db.GetRecord(2);
    ASSERT_EQ(r2->GetInteger(1, &i), 1);
    EXPECT_EQ(i, INT32_MAX); // saturates
    ASSERT_EQ(r2->GetString(3, &s), 1);
    EXPECT_EQ(Text(s), u"1e+03");
    EXPECT_EQ(r2->GetString(7, &s), 0);
    EXPECT_EQ(r2->GetInteger(-1, &i), 0);
    EXPECT_EQ(r2->GetDouble(0, nullptr), 0);
}

TEST(XBaseDatabase, TypedValues) {
    Table t(Sample());
    t.Open();
    CRef<CxBaseRecord> r0 = t.db.GetRecord(0), r1 = t.db.GetRecord(1), r2 = t.db.GetRecord(2);
    CVariant v = CVariant::FromString(u"old");

    ASSERT_EQ(r0->GetValue(1, &v), 1);
    EXPECT_EQ(v.vt, VT_I4);
    EXPECT_EQ(v.lVal, 123456);
    ASSERT_EQ(r1->GetValue(1, &v), 1); // -2^31 needs 32 bits of magnitude
    EXPECT_EQ(v.vt, VT_DECIMAL);
    EXPECT_EQ(v.decVal.sign, 0x80);
    EXPECT_EQ(v.decVal.lo64, 2147483648u);
    EXPECT_EQ(v.decVal.scale, 0);
    ASSERT_EQ(r2->GetValue(1, &v), 1);
    EXPECT_EQ(v.vt, VT_DECIMAL);
    EXPECT_EQ(v.decVal.sign, 0);
    EXPECT_EQ(v.decVal.lo64, 3000000000u);

    ASSERT_EQ(r2->GetValue(2, &v), 1);
    EXPECT_EQ(v.vt, VT_R8);
    EXPECT_EQ(v.dblVal, -0.25);
    ASSERT_EQ(r0->GetValue(3, &v), 1);
    EXPECT_EQ(v.vt, VT_R8);
    EXPECT_EQ(v.dblVal, 1234.5);

    const struct {
        CxBaseRecord* rec;
        int16_t expected;
    } logical[] = {{r0.Get(), VARIANT_TRUE}, {r1.Get(), VARIANT_TRUE}, {r2.Get(), VARIANT_FALSE}};
    for (const auto& l : logical) {
        ASSERT_EQ(l.rec->GetValue(4, &v), 1);
        EXPECT_EQ(v.vt, VT_BOOL);
        EXPECT_EQ(v.boolVal, l.expected);
    }

    double leapDay = 0;
    ASSERT_TRUE(SystemTimeToVariantTime(2020, 2, 29, 0, 0, 0, &leapDay));
    ASSERT_EQ(r0->GetValue(5, &v), 1);
    EXPECT_EQ(v.vt, VT_DATE);
    EXPECT_EQ(v.dblVal, leapDay);
    EXPECT_EQ(v.dblVal, 43890.0);
    ASSERT_EQ(r1->GetValue(5, &v), 1); // 29 February 2021 does not exist
    EXPECT_EQ(v.vt, VT_DATE);
    EXPECT_EQ(v.dblVal, 0.0);
    ASSERT_EQ(r2->GetValue(5, &v), 1);
    EXPECT_EQ(v.dblVal, 0.0);

    ASSERT_EQ(r0->GetValue(0, &v), 1);
    EXPECT_EQ(v.vt, VT_BSTR);
    EXPECT_EQ(v.bstrVal, u"ab");
    EXPECT_EQ(r0->GetValue(0, nullptr), 0);

    ASSERT_EQ(r2->GetBookmark(&v), 1);
    EXPECT_EQ(v.vt, VT_I4);
    EXPECT_EQ(v.lVal, 2);
}

// The .cpg overrides the header's language driver; a text that names no known code page fails the open with
// the text in the reason, never a silent 0 or a prefix match.
TEST(XBaseDatabase, LanguageDriverAndCpgSettleTheCodePage) {
    struct Case {
        uint8_t driver;
        const char* cpg; // null: no .cpg
        int expected;    // -1: the open fails
    } cases[] = {
        {0, nullptr, 0},           {0x57, nullptr, 1252},
        {201, nullptr, 1251},      {99, nullptr, 0},
        {38, nullptr, 866},        {0x57, "utf-8 \r\n", 65001},
        {0, " 1251\n", 1251},      {0x57, "cp1251", 1251},
        {0, "OEM", 437},           {0, "ansi", 1250},
        {0, "SJIS", 932},          {0, "ISO", 28591},
        {201, "", 1251},           {0, "88595", 28595},
        {0, "8859-15", 28605},     {0, "CP1252", 1252},
        {0, "windows-1252", 1252}, {0, "ISO-8859-1", 28591},
        {0, "ISO88591", 28591},    {0, "8859_1", 28591},
        {0, "LATIN1", 28591},      {0, "latin9", 28605},
        {0, "UTF8", 65001},        {0, "\xEF\xBB\xBFUTF-8", 65001},
        {0, "CP437", 437},         {0, "GBK", 936},
        {0, "GB2312", 936},        {0, "Big5", 950},
        {0, "Shift_JIS", 932},     {0, "EUC-KR", 949},
        {0, "KOI8-R", 20866},      {0, "IBM850", 850},
        {201, "-5", -1},           {0, "936 trailing", -1},
        {0, "885917", -1},         {0, "1252abc", -1},
        {0, "garbage", -1},        {0, "42", -1},
        {0, "65000", -1},          {0, "CP", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.driver) << " " << (c.cpg ? c.cpg : "(none)"));
        DbfBytes b = Sample();
        b.languageDriver = c.driver;
        Table t(b);
        if (c.cpg != nullptr)
            t.dir.Write("t.cpg", c.cpg);
        if (c.expected < 0) {
            try {
                t.Open();
                ADD_FAILURE() << "opened with code page " << t.db.GetCodePage();
            } catch (const CException& e) {
                EXPECT_NE(ToUtf8(e.Detail()).find(c.cpg), std::string::npos) << ToUtf8(e.Detail());
            }
            continue;
        }
        t.Open();
        EXPECT_EQ(t.db.GetCodePage(), c.expected);
    }
}

TEST(XBaseDatabase, UnreadableCpgIsIgnored) {
    DbfBytes b = Sample();
    b.languageDriver = 201;
    Table t(b);
    std::filesystem::create_directory(t.dir.Path("t.cpg"));
    t.Open();
    EXPECT_EQ(t.db.GetCodePage(), 1251);
}

TEST(XBaseDatabase, NamesAndTextsDecodeWithTheCodePage) {
    DbfBytes b;
    b.fields = {{"\xC8\xCC\xDF", 'C', 6, 0}}; // ИМЯ in 1251
    b.records = {"\xCC\xEE\xF1\xEA\xE2\xE0"}; // Москва
    b.languageDriver = 201;
    Table t(b);
    t.Open();
    CIString s;
    ASSERT_EQ(t.db.GetFieldName(0, &s), 1);
    EXPECT_EQ(Text(s), u"ИМЯ");
    CRef<CxBaseRecord> r = t.db.GetRecord(0);
    ASSERT_EQ(r->GetString(0, &s), 1);
    EXPECT_EQ(Text(s), u"Москва");
    t.db.SetCodePage(65001); // the same bytes are not UTF-8: one unit per byte instead
    ASSERT_EQ(r->GetString(0, &s), 1);
    EXPECT_EQ(s.Str().size(), 6u);
}

TEST(XBaseDatabase, LayoutRules) {
    // The header's record length is ignored; a C width in two bytes reads as width and decimals.
    DbfBytes b;
    b.fields = {{"A", 'C', 4, 1}, {"B", 'C', 3, 0}};
    b.records = {"wxyzabc", "1234567"};
    b.recordLengthOverride = 300;
    Table t(b);
    t.Open();
    EXPECT_EQ(t.db.GetRecordLength(), 8);
    EXPECT_EQ(t.db.GetFieldWidth(0), 4);
    EXPECT_EQ(t.db.GetFieldDecimals(0), 1);
    CRef<CxBaseRecord> r = t.db.GetRecord(1);
    EXPECT_EQ(r->GetText(1), "567");
    EXPECT_EQ(r->GetText(0), "1234");
    // A name ends at the first space.
    DbfBytes spaced;
    spaced.fields = {{"AB CD", 'C', 1, 0}};
    spaced.records = {"x"};
    Table t2(spaced);
    t2.Open();
    EXPECT_STREQ(t2.db.Field(0).name, "AB");
}

TEST(XBaseDatabase, BadHeadersFailTheOpenWithAFormatError) {
    const auto withDescriptorByte = [](int at, char value) {
        DbfBytes b = Sample();
        std::string bytes = b.Build();
        bytes[static_cast<std::size_t>(at)] = value;
        return bytes;
    };
    // Each case with what its reason names.
    std::vector<std::tuple<std::string, std::string, std::string>> cases;
    cases.push_back({"truncated header", Sample().Build().substr(0, 20), "shorter than 32"});
    cases.push_back({"truncated descriptors", Sample().Build().substr(0, 32 + 32 * 3 + 10), "descriptor 4"});
    {
        DbfBytes b = Sample();
        b.headerLengthOverride = 32;
        cases.push_back({"header length 32", b.Build(), "below 33"});
    }
    cases.push_back({"no terminator", withDescriptorByte(32 + 32 * 7, 0x20), "byte 256"});
    {
        std::string bytes = Sample().Build();
        for (int i = 0; i < 11; ++i)
            bytes[32 + 32 + i] = 'N';
        cases.push_back({"name without zero", bytes, "descriptor 2"});
    }
    cases.push_back({"unknown type letter", withDescriptorByte(32 + 11, 'X'), "0x58"});
    {
        DbfBytes b;
        for (int i = 0; i < 258; ++i)
            // Not "F" + std::string: GCC 12 at -O3 reports a false overlap (-Wrestrict) there.
            b.fields.push_back({std::string("F").append(std::to_string(i)), 'C', 255, 0});
        cases.push_back({"record longer than 65535", b.Build(), "65535"});
    }
    cases.push_back({"empty file", "", "shorter than 32"});
    for (const auto& [what, bytes, reason] : cases) {
        SCOPED_TRACE(what);
        CTempDir dir;
        dir.Write("bad.dbf", bytes);
        CxBaseDatabase db;
        try {
            db.Open(dir.WPath("bad.dbf"), CSysFile::kReadDenyNone, 0, {});
            ADD_FAILURE() << "opened";
        } catch (const CArchiveException& e) {
            EXPECT_NE(ToUtf8(e.Detail()).find(reason), std::string::npos) << ToUtf8(e.Detail());
        }
        EXPECT_FALSE(db.IsOpen());
        EXPECT_EQ(db.GetFieldCount(), 0);
        EXPECT_EQ(db.GetRecordCount(), 0u);
    }
}

// Tables GDAL reads whose headers other writers end differently, or which hold no fields.
TEST(XBaseDatabase, HeaderQuirksThatOtherReadersTakeOpen) {
    // No fields; a header ended by 0x0A or a zero byte; a trailing (backlink) area inside the header length.
    const auto quirk = [](bool fields, char terminator, std::size_t trailer) {
        DbfBytes b = Sample();
        if (!fields) {
            b.fields.clear();
            b.records.assign(3, "");
        }
        b.terminator = terminator;
        b.trailer.assign(trailer, '\0');
        b.headerLengthOverride = trailer > 0 ? 33 + 32 * 7 + static_cast<int>(trailer) : -1;
        return b;
    };
    for (const DbfBytes& b :
         {quirk(false, '\r', 0), quirk(true, '\n', 0), quirk(true, '\0', 0), quirk(true, '\r', 263)}) {
        Table t(b);
        ASSERT_NO_THROW(t.Open());
        EXPECT_EQ(t.db.GetFieldCount(), static_cast<int>(b.fields.size()));
        ASSERT_EQ(t.db.GetRecordCount(), 3u);
        EXPECT_EQ(t.db.GetRecord(2)->GetStoredBytes(0),
                  b.fields.empty() ? "" : std::string_view("Z\xFCrich  "));
    }
}

TEST(XBaseDatabase, RecordAccessFailures) {
    DbfBytes b = Sample();
    std::string bytes = b.Build();
    bytes.resize(bytes.size() - 5); // a short last record
    CTempDir dir;
    dir.Write("t.dbf", bytes);
    CxBaseDatabase db;
    EXPECT_THROW(db.Open(dir.WPath("missing.dbf"), CSysFile::kReadDenyNone, 0, {}), CArchiveException);
    db.Open(dir.WPath("t.dbf"), CSysFile::kReadDenyNone, 0, {});
    EXPECT_THROW(db.Open(dir.WPath("t.dbf"), CSysFile::kReadDenyNone, 0, {}), CNotSupportedException);
    EXPECT_NO_THROW(db.GetRecord(1));
    EXPECT_THROW(db.GetRecord(2), CArchiveException);
    EXPECT_THROW(db.GetRecord(3), CNotSupportedException);
    EXPECT_THROW(db.GetRecord(UINT32_MAX), CNotSupportedException);
}

TEST(XBaseDatabase, HugeRecordCountReadsWithoutOverflow) {
    DbfBytes b = Sample();
    b.recordCountOverride = 0xFFFFFFFE;
    Table t(b);
    t.Open();
    EXPECT_EQ(t.db.GetRecordCount(), 0xFFFFFFFEu);
    EXPECT_NO_THROW(t.db.GetRecord(2));
    EXPECT_THROW(t.db.GetRecord(0xFFFFFFF0u), CArchiveException);
}

TEST(XBaseDatabase, CloseReopenAndRecordsThatOutliveTheTable) {
    Table t(Sample());
    t.Open();
    CRef<CxBaseRecord> kept = t.db.GetRecord(2);
    t.db.Close();
    EXPECT_FALSE(t.db.IsOpen());
    EXPECT_EQ(t.db.GetCodePage(), 0);
    EXPECT_EQ(t.db.GetVersion(), 3);
    CIString s;
    EXPECT_EQ(kept->GetFieldName(0, &s), 0); // cut off from its table
    int i = 0;
    EXPECT_EQ(kept->GetInteger(1, &i), 1); // its values stay readable
    EXPECT_EQ(i, INT32_MAX);

    t.Open();
    EXPECT_EQ(t.db.GetFieldCount(), 7);
    CRef<CxBaseRecord> fresh = t.db.GetRecord(0);
    EXPECT_EQ(fresh->GetText(0), "ab");
    {
        CxBaseDatabase other;
        other.Open(t.path, CSysFile::kReadDenyNone, 0, {});
        kept = other.GetRecord(1);
    } // the table goes first
    EXPECT_EQ(kept->GetFieldName(0, &s), 0);
    EXPECT_EQ(kept->GetText(4), "y");
}

TEST(XBaseDatabase, AReleasedRecordIsReusedForTheNext) {
    Table t(Sample());
    t.Open();
    const CxBaseRecord* first = t.db.GetRecord(0).Get();
    CRef<CxBaseRecord> second = t.db.GetRecord(1);
    EXPECT_EQ(second.Get(), first);
    EXPECT_EQ(second->GetRecordNumber(), 1u);
    EXPECT_EQ(second->GetText(4), "y");
    CRef<CxBaseRecord> third = t.db.GetRecord(2); // the first is still held: a new one
    EXPECT_NE(third.Get(), second.Get());
}

TEST(XBaseDatabase, EncipheredTableReadsWithItsPassword) {
    CTempDir dir;
    dir.Write("t.dbf", test::EncipherBytes(Sample().Build(), u"geheim"));
    CxBaseDatabase db;
    db.Open(dir.WPath("t.dbf"), CSysFile::kReadDenyNone, 0, u"geheim");
    ASSERT_EQ(db.GetRecordCount(), 3u);
    EXPECT_EQ(db.GetRecord(2)->GetText(2), "-0.25");
    CxBaseDatabase wrong;
    EXPECT_THROW(wrong.Open(dir.WPath("t.dbf"), CSysFile::kReadDenyNone, 0, u"falsch"), CException);
}
