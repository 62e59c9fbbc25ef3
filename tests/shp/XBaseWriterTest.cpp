#include "shp/XBaseWriter.h"

#include "data/IString.h"
#include "platform/CodePage.h"
#include "platform/GenericEx.h"
#include "shp/XBaseDatabase.h"
#include "shp/XBaseRecord.h"

#include "TempDir.h"

#include <cmath>
#include <csignal>
#include <cstdio>
#include <gdal.h>
#include <gtest/gtest.h>
#include <ogr_api.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace fennick;
using fennick::test::CTempDir;

namespace {

std::string Le16(int v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
}
std::string Le32(uint32_t v) {
    return Le16(v & 0xFFFF) + Le16(v >> 16);
}

// A descriptor as the format table gives it.
std::string Descriptor(const std::string& name, char type, int width, int decimals) {
    std::string d(32, '\0');
    d.replace(0, name.size(), name);
    d[11] = type;
    if (type == 'C') {
        d[16] = static_cast<char>(width % 256);
        d[17] = static_cast<char>(width / 256);
    } else {
        d[16] = static_cast<char>(width);
        d[17] = static_cast<char>(decimals);
    }
    return d;
}

std::string Header(bool updated, uint32_t records, int fields, int recordLength) {
    std::string h(32, '\0');
    h[0] = 0x03;
    if (updated) {
        h[1] = 95;
        h[2] = 7;
        h[3] = 26;
        h.replace(4, 4, Le32(records));
    }
    h.replace(8, 2, Le16(32 * (fields + 1) + 1));
    h.replace(10, 2, Le16(recordLength));
    return h;
}

// printf in the C locale, as the independent reference for printed numbers.
std::string Printf(const char* format, double value, int width, int decimals) {
    char buf[1024];
    std::snprintf(buf, sizeof buf, format, width, decimals, value);
    return buf;
}

struct Writer {
    CTempDir dir;
    std::u16string path = dir.WPath("out.dbf");
    std::unique_ptr<CxBaseWriter> w = CxBaseWriter::Create(path);
    std::string Bytes() const { return CTempDir::Read(dir.Path("out.dbf")); }
};

} // namespace

TEST(XBaseWriter, WritesTheFormatByteForByte) {
    Writer x;
    ASSERT_TRUE(x.w);
    EXPECT_EQ(x.w->AddField("NAME", CxBaseWriter::typeText, 6, 0), 0);
    EXPECT_EQ(x.w->AddField("POPULATION_X", CxBaseWriter::typeInteger, 10, 0), 1);
    EXPECT_EQ(x.w->AddField("AREA", CxBaseWriter::typeReal, 9, 3), 2);
    EXPECT_EQ(x.w->AddField("OK", CxBaseWriter::typeLogical, 1, 0), 3);
    EXPECT_EQ(x.w->GetFieldCount(), 4);
    EXPECT_EQ(x.w->WriteString(0, 0, "Bonn"), 1);
    EXPECT_EQ(x.w->WriteInteger(0, 1, -1234567), 1);
    EXPECT_EQ(x.w->WriteDouble(0, 2, 3.14159), 1);
    EXPECT_EQ(x.w->WriteString(0, 3, "T"), 1);
    EXPECT_EQ(x.w->WriteString(1, 0, "abcdefgh"), 0); // never cut: refused, the field stays blank
    EXPECT_EQ(x.w->WriteDouble(1, 1, 42.9), 1);       // as it reads back, without decimals or not
    EXPECT_EQ(x.w->WriteDouble(1, 2, -0.0005), 1);
    EXPECT_EQ(x.w->GetRecordCount(), 2);
    x.w->Close();

    std::string expected = Header(true, 2, 4, 27);
    expected += Descriptor("NAME", 'C', 6, 0) + Descriptor("POPULATION", 'N', 10, 0) +
                Descriptor("AREA", 'N', 9, 3) + Descriptor("OK", 'L', 1, 0);
    expected += '\x0D';
    expected += " Bonn    -1234567  3.14159T";
    expected += "             42.9   -5e-04 "; // the shortest texts that read back as the values
    EXPECT_EQ(x.Bytes(), expected);
}

TEST(XBaseWriter, ClosedWithoutFieldsOrValues) {
    Writer x;
    x.w->Close();
    EXPECT_EQ(x.Bytes(), Header(false, 0, 0, 1) + "\x0D");
    // Fields but no value: date and count stay zero, no record.
    Writer y;
    y.w->AddField("A", CxBaseWriter::typeText, 3, 0);
    y.w.reset(); // the destructor finishes the table
    EXPECT_EQ(y.Bytes(), Header(false, 0, 1, 4) + Descriptor("A", 'C', 3, 0) + "\x0D");
}

TEST(XBaseWriter, RecordNumbersAndFieldsRules) {
    Writer x;
    x.w->AddField("A", CxBaseWriter::typeText, 4, 0);
    x.w->AddField("L", CxBaseWriter::typeLogical, 1, 0);
    EXPECT_EQ(x.w->WriteString(0, 0, "ab"), 1);
    EXPECT_EQ(x.w->WriteString(2, 0, "x"), 0); // beyond the record count of 1
    EXPECT_EQ(x.w->WriteString(-1, 0, "x"), 0);
    EXPECT_EQ(x.w->WriteString(0, 2, "x"), 0);
    EXPECT_EQ(x.w->WriteString(0, 1, "Y"), 1);      // not T or F: stays blank
    EXPECT_EQ(x.w->WriteString(1, 0, "abcdef"), 0); // too long: refused
    EXPECT_EQ(x.w->WriteString(1, 0, "abcd"), 1);
    EXPECT_EQ(x.w->WriteString(1, 1, "F"), 1);
    EXPECT_EQ(x.w->WriteString(2, 1, "T"), 1);
    EXPECT_EQ(x.w->WriteString(0, 0, "zz"), 1); // back to an earlier record: re-read, changed, kept
    EXPECT_EQ(x.w->AddField("B", CxBaseWriter::typeText, 1, 0), -1);
    x.w->Close();
    const std::string bytes = x.Bytes();
    EXPECT_EQ(bytes.substr(97), " zz   "
                                " abcdF"
                                "     T");
}

TEST(XBaseWriter, AddFieldRefusals) {
    struct Case {
        int kind, width, decimals;
        int expected;
    } cases[] = {
        {CxBaseWriter::typeText, 10, 0, 0},
        {CxBaseWriter::typeText, 300, 0, 0},
        {CxBaseWriter::typeText, 10, 2, -1},
        {CxBaseWriter::typeInteger, 10, 1, -1},
        {CxBaseWriter::typeLogical, 1, 1, -1},
        {CxBaseWriter::typeReal, 10, 2, 0},
        {CxBaseWriter::typeReal, 256, 2, -1},
        {CxBaseWriter::typeInteger, 255, 0, 0},
        {CxBaseWriter::typeReal, 20, 256, -1},
        {4, 10, 0, -1},
        {-1, 10, 0, -1},
        {CxBaseWriter::typeText, -1, 0, -1},
        {CxBaseWriter::typeText, 65535, 0, -1}, // the record would pass 65535 bytes
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.kind << " " << c.width << " " << c.decimals);
        Writer x;
        const int got = x.w->AddField("F", c.kind, c.width, c.decimals);
        EXPECT_EQ(got, c.expected);
    }
    Writer x;
    for (int i = 0; i < 2046; ++i)
        ASSERT_EQ(x.w->AddField("F", CxBaseWriter::typeLogical, 1, 0), i);
    EXPECT_EQ(x.w->AddField("F", CxBaseWriter::typeLogical, 1, 0), -1); // header length would pass 65535
}

TEST(XBaseWriter, NumbersReadBackTheSameAndNeverOverrun) {
    struct Case {
        int width, decimals;
        double value;
        std::string expected;
    } cases[] = {
        {10, 0, 7.0, "         7"},
        {3, 0, 12345.0, ""},                       // too wide: refused, never cut
        {6, 2, 3.25, Printf("%*.*f", 3.25, 6, 2)}, // the field's decimals where they are exact
        {6, 2, 3.14159, ""},                       // else the shortest text, here too wide
        {9, 2, 3.14159, "  3.14159"},
        {13, 3, 139.45052, "    139.45052"},
        {24, 15, 328239523.0, "               328239523"},
        {8, 0, 1e11, "   1e+11"},
        {4, 2, 1234.5678, ""},
        {10, 2, 1.0e300, "    1e+300"}, // in exponent form where the width needs it
        {5, 2, 1.0e300, ""},
        {60, 20, 1e30, Printf("%*.*f", 1e30, 60, 20)},
        {50, 0, 1e40, Printf("%*.*f", 1e40, 50, 0)},
        {12, 0, 3e9, "  3000000000"},
        {12, 0, -3e9, " -3000000000"},
        {5, 0, -0.7, " -0.7"},
        {8, 2, std::nan(""), ""}, // not a number: refused
        {8, 0, INFINITY, ""},
        {255, 200, -1.5e300, std::string(246, ' ') + "-1.5e+300"},
        {255, 200, -1.5e50, Printf("%*.*f", -1.5e50, 255, 200)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "." << c.decimals << " " << c.value);
        Writer x;
        x.w->AddField("N", c.decimals ? CxBaseWriter::typeReal : CxBaseWriter::typeInteger, c.width,
                      c.decimals);
        ASSERT_EQ(x.w->WriteDouble(0, 0, c.value), c.expected.empty() ? 0 : 1);
        ASSERT_EQ(x.w->WriteNull(1, 0), 1); // GDAL's null: asterisks
        x.w->Close();
        // A refused value leaves its record blank.
        const std::string expected =
            " " + (c.expected.empty() ? std::string(static_cast<std::size_t>(c.width), ' ') : c.expected);
        EXPECT_EQ(x.Bytes().substr(65), expected + " " + std::string(static_cast<std::size_t>(c.width), '*'));
    }
}

TEST(XBaseWriter, SixtyFourBitIntegersAreExact) {
    Writer x;
    x.w->AddField("BIG", CxBaseWriter::typeInteger, 20, 0);
    x.w->AddField("DEC", CxBaseWriter::typeReal, 24, 2);
    x.w->AddField("TXT", CxBaseWriter::typeText, 20, 0);
    ASSERT_EQ(x.w->WriteInt64(0, 0, 9007199254740993LL), 1); // 2^53 + 1: not a double
    ASSERT_EQ(x.w->WriteInt64(0, 1, -9007199254740993LL), 1);
    ASSERT_EQ(x.w->WriteInt64(0, 2, INT64_MIN), 1);
    ASSERT_EQ(x.w->WriteDouble(1, 2, 0.1), 1);
    ASSERT_EQ(x.w->WriteString(1, 1, " 12.345"), 1);
    x.w->Close();
    const std::string bytes = x.Bytes();
    EXPECT_EQ(bytes.substr(32 * 4 + 1), std::string(" ") + "    9007199254740993" +
                                            "    -9007199254740993.00" + "-9223372036854775808" + " " +
                                            std::string(20, ' ') + "                  12.345" + "0.1" +
                                            std::string(17, ' '));
}

TEST(XBaseWriter, WideTextIsEncodedWithTheCodePageOrRefused) {
    Writer x;
    x.w->SetCodePage(1251);
    ASSERT_EQ(x.w->AddField(u"ГОРОД_ИМЯ_ДЛИННЫЙ", CxBaseWriter::typeText, 8, 0), 0);
    ASSERT_EQ(x.w->WriteText(0, 0, u"Москва"), 1);
    try {
        x.w->WriteText(0, 0, u"Zürich€\u4E2D");
        FAIL() << "no error";
    } catch (const CGenericEx& e) {
        EXPECT_NE(e.Message().find(u"1251"), std::u16string::npos);
    }
    x.w->SetCodePage(-1);
    ASSERT_EQ(x.w->WriteText(1, 0, u"\u0141\u00e9"), 1); // low bytes
    x.w->Close();
    const std::string bytes = x.Bytes();
    EXPECT_EQ(bytes.substr(32, 11), std::string("\xC3\xCE\xD0\xCE\xC4_\xC8\xCC\xDF_", 10) + '\0');
    EXPECT_EQ(bytes.substr(65), " \xCC\xEE\xF1\xEA\xE2\xE0  "
                                " \x41\xE9      ");
    // UTF-8 names are cut on a character boundary.
    Writer y;
    y.w->SetCodePage(65001);
    ASSERT_EQ(y.w->AddField(u"ÄÖÜäöü", CxBaseWriter::typeText, 1, 0), 0);
    y.w->Close();
    EXPECT_EQ(y.Bytes().substr(32, 11), std::string("\xC3\x84\xC3\x96\xC3\x9C\xC3\xA4\xC3\xB6\0\0", 11));
}

// GDAL reads what the writer wrote, and so does the table reader.
TEST(XBaseWriter, IndependentReadersSeeTheValues) {
    Writer x;
    x.w->SetCodePage(28591);
    x.w->AddField("NAME", CxBaseWriter::typeText, 12, 0);
    x.w->AddField("COUNT", CxBaseWriter::typeInteger, 11, 0);
    x.w->AddField("SHARE", CxBaseWriter::typeReal, 12, 4);
    x.w->AddField("FLAG", CxBaseWriter::typeLogical, 1, 0);
    struct Row {
        std::u16string name;
        int32_t count;
        double share;
        const char* flag;
    } rows[] = {{u"K\u00f6ln", 1086000, 0.1234, "T"}, {u"", -5, -7.5, "F"}, {u"Aachen", 0, 1e6, "?"}};
    for (int32_t r = 0; r < 3; ++r) {
        ASSERT_EQ(x.w->WriteText(r, 0, rows[r].name), 1);
        ASSERT_EQ(x.w->WriteInteger(r, 1, rows[r].count), 1);
        ASSERT_EQ(x.w->WriteDouble(r, 2, rows[r].share), 1);
        ASSERT_EQ(x.w->WriteString(r, 3, rows[r].flag), 1);
    }
    x.w->Close();

    GDALAllRegister();
    const std::string path = x.dir.Path("out.dbf");
    // The table declares no code page; tell GDAL the one it was written in.
    const char* const options[] = {"ENCODING=ISO-8859-1", nullptr};
    GDALDatasetH ds = GDALOpenEx(path.c_str(), GDAL_OF_VECTOR, nullptr, options, nullptr);
    ASSERT_NE(ds, nullptr);
    OGRLayerH layer = GDALDatasetGetLayer(ds, 0);
    ASSERT_EQ(OGR_L_GetFeatureCount(layer, TRUE), 3);
    OGRFeatureDefnH defn = OGR_L_GetLayerDefn(layer);
    ASSERT_EQ(OGR_FD_GetFieldCount(defn), 4);
    EXPECT_STREQ(OGR_Fld_GetNameRef(OGR_FD_GetFieldDefn(defn, 2)), "SHARE");
    EXPECT_EQ(OGR_Fld_GetType(OGR_FD_GetFieldDefn(defn, 2)), OFTReal);
    EXPECT_EQ(OGR_Fld_GetWidth(OGR_FD_GetFieldDefn(defn, 2)), 12);
    EXPECT_EQ(OGR_Fld_GetPrecision(OGR_FD_GetFieldDefn(defn, 2)), 4);
    const OGRFieldType countType = OGR_Fld_GetType(OGR_FD_GetFieldDefn(defn, 1));
    EXPECT_TRUE(countType == OFTInteger || countType == OFTInteger64);
    OGR_L_ResetReading(layer);
    for (int r = 0; r < 3; ++r) {
        SCOPED_TRACE(r);
        OGRFeatureH f = OGR_L_GetNextFeature(layer);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(FromUtf8(OGR_F_GetFieldAsString(f, 0)), rows[r].name);
        EXPECT_EQ(OGR_F_GetFieldAsInteger(f, 1), rows[r].count);
        EXPECT_DOUBLE_EQ(OGR_F_GetFieldAsDouble(f, 2), rows[r].share);
        EXPECT_STREQ(OGR_F_GetFieldAsString(f, 3), rows[r].flag); // GDAL reads a logical as its letter
        OGR_F_Destroy(f);
    }
    GDALClose(ds);

    CxBaseDatabase db;
    db.Open(x.path, CSysFile::kReadDenyNone, 0, {});
    db.SetCodePage(28591);
    ASSERT_EQ(db.GetRecordCount(), 3u);
    CRef<CxBaseRecord> rec = db.GetRecord(0);
    CIString s;
    ASSERT_EQ(rec->GetString(0, &s), 1);
    EXPECT_EQ(s.Str(), u"K\u00f6ln");
    EXPECT_EQ(rec->GetText(2), "0.1234");
}

// A write beyond the file-size limit must fail the table, never pass as success.
TEST(XBaseWriter, ShortWritesRaise) {
    CTempDir dir;
    const std::string path = dir.Path("limited.dbf");
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{20000, 20000};
        setrlimit(RLIMIT_FSIZE, &limit);
        auto w = CxBaseWriter::Create(FromUtf8(path));
        if (!w || w->AddField("T", CxBaseWriter::typeText, 100, 0) != 0)
            _exit(2);
        try {
            for (int32_t r = 0; r < 1000; ++r)
                if (w->WriteString(r, 0, "some text") != 1)
                    _exit(3);
            w->Close();
        } catch (const CFileException& e) {
            _exit(e.GetCause() == CFileException::diskFull ? 0 : 4);
        }
        _exit(5);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(XBaseWriter, CreateFailsForAnUnwritablePath) {
    CTempDir dir;
    CFileException error(CFileException::none, u"");
    EXPECT_EQ(CxBaseWriter::Create(dir.WPath("missing/out.dbf"), &error), nullptr);
    EXPECT_EQ(error.GetCause(), CFileException::fileNotFound);
    EXPECT_EQ(error.GetPath(), dir.WPath("missing/out.dbf"));
}

// Records gathered for one write and records already on disk are both found again when rewritten.
TEST(XBaseWriter, ManyRecordsAndLateRewrites) {
    Writer x;
    x.w->AddField("N", CxBaseWriter::typeInteger, 9, 0);
    x.w->AddField("T", CxBaseWriter::typeText, 30, 0);
    const int32_t count = 5000;
    for (int32_t r = 0; r < count; ++r) {
        ASSERT_EQ(x.w->WriteInteger(r, 0, r * 3), 1);
        ASSERT_EQ(x.w->WriteString(r, 1, "row " + std::to_string(r)), 1);
    }
    ASSERT_EQ(x.w->WriteString(10, 1, "early"), 1);
    ASSERT_EQ(x.w->WriteString(count - 2, 1, "late"), 1);
    ASSERT_EQ(x.w->WriteInteger(count, 0, -1), 1);
    x.w->Close();
    EXPECT_EQ(x.Bytes().size(), 97u + 40u * (count + 1));

    CxBaseDatabase db;
    db.Open(x.path, CSysFile::kReadDenyNone, 0, {});
    ASSERT_EQ(db.GetRecordCount(), static_cast<uint32_t>(count + 1));
    for (uint32_t r : {0u, 10u, 1637u, 4998u, 4999u, 5000u}) {
        SCOPED_TRACE(r);
        CRef<CxBaseRecord> rec = db.GetRecord(r);
        int n = 0;
        ASSERT_EQ(rec->GetInteger(0, &n), 1);
        EXPECT_EQ(n, r == 5000u ? -1 : static_cast<int>(r) * 3);
        const std::string text = r == 10     ? "early"
                                 : r == 4998 ? "late"
                                 : r == 5000 ? ""
                                             : "row " + std::to_string(r);
        EXPECT_EQ(rec->GetText(1), text);
    }
}
