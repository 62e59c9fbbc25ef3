#include "shp/ShpWriter.h"

#include "TempDir.h"
#include "WriterFakes.h"
#include "platform/GenericEx.h"
#include "platform/SysFile.h"
#include "shp/IStoredRecords.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <numeric>
#include <sys/resource.h>

namespace fennick {
namespace {

using test::BigEndian32;
using test::CTempDir;
using test::LittleEndian32;
using test::LittleEndianDouble;

struct SBoxValues {
    double xmin, ymin, xmax, ymax;
};

SBoxValues BoxAt(const std::string& bytes, std::size_t offset) {
    return {LittleEndianDouble(bytes, offset), LittleEndianDouble(bytes, offset + 8),
            LittleEndianDouble(bytes, offset + 16), LittleEndianDouble(bytes, offset + 24)};
}

void ExpectBox(const std::string& bytes, std::size_t offset, SBoxValues expected) {
    const SBoxValues box = BoxAt(bytes, offset);
    EXPECT_EQ(box.xmin, expected.xmin);
    EXPECT_EQ(box.ymin, expected.ymin);
    EXPECT_EQ(box.xmax, expected.xmax);
    EXPECT_EQ(box.ymax, expected.ymax);
}

// The fixed parts of a main file header; the .shx has the same except for its length.
void ExpectHeader(const std::string& bytes, uint32_t lengthWords, uint32_t shapeType) {
    ASSERT_GE(bytes.size(), 100u);
    EXPECT_EQ(BigEndian32(bytes, 0), 9994u);
    for (std::size_t i = 4; i < 24; ++i)
        EXPECT_EQ(bytes[i], 0) << "unused word byte " << i;
    EXPECT_EQ(BigEndian32(bytes, 24), lengthWords);
    EXPECT_EQ(LittleEndian32(bytes, 28), 1000u);
    EXPECT_EQ(LittleEndian32(bytes, 32), shapeType);
    for (std::size_t i = 68; i < 100; ++i)
        EXPECT_EQ(bytes[i], 0) << "z/m range byte " << i;
}

TEST(ShpWriter, PointLayerRecordsAndIndexFollowTheFormat) {
    CTempDir dir;
    CShpWriter writer;
    writer.Create(dir.WPath("points.shp"));
    writer.WritePoint(1.5, -2.5);
    writer.WritePoint(-3, 4);
    writer.WritePoint(10, 0.25);
    writer.Close();

    const std::string shp = CTempDir::Read(dir.Path("points.shp"));
    const std::string shx = CTempDir::Read(dir.Path("points.shx"));
    ASSERT_EQ(shp.size(), 100u + 3 * 28);
    ASSERT_EQ(shx.size(), 100u + 3 * 8);
    ExpectHeader(shp, 50 + 3 * 14, 1);
    ExpectHeader(shx, 50 + 3 * 4, 1);
    ExpectBox(shp, 36, {-3, -2.5, 10, 4});
    EXPECT_EQ(shp.substr(36, 32), shx.substr(36, 32));
    const double xs[] = {1.5, -3, 10};
    const double ys[] = {-2.5, 4, 0.25};
    for (uint32_t r = 0; r < 3; ++r) {
        const std::size_t at = 100 + 28 * r;
        EXPECT_EQ(BigEndian32(shp, at), r + 1);     // record number from 1
        EXPECT_EQ(BigEndian32(shp, at + 4), 10u);   // content length in words
        EXPECT_EQ(LittleEndian32(shp, at + 8), 1u); // point
        EXPECT_EQ(LittleEndianDouble(shp, at + 12), xs[r]);
        EXPECT_EQ(LittleEndianDouble(shp, at + 20), ys[r]);
        EXPECT_EQ(BigEndian32(shx, 100 + 8 * r), at / 2);
        EXPECT_EQ(BigEndian32(shx, 104 + 8 * r), 10u);
    }
    const auto dump = test::OgrDump(dir.Path("points.shp"));
    ASSERT_FALSE(dump.is_null());
    EXPECT_EQ(dump["geom_type"], "Point");
    ASSERT_EQ(dump["features"].size(), 3u);
    EXPECT_EQ(dump["features"][1]["wkt"], "POINT (-3 4)");
}

TEST(ShpWriter, PolygonRecordOfTwoPartsAndTenPoints) {
    CTempDir dir;
    CShpWriter writer;
    writer.Create(dir.WPath("poly.shp"));
    const std::vector<CGeoPoint> outer = {{0, 0}, {0, 10}, {10, 10}, {10, 0}, {0, 0}};
    const std::vector<CGeoPoint> hole = {{2, 2}, {4, 2}, {4, 4}, {2, 4}, {2, 2}};
    writer.BeginPoly(CShpWriter::shpPolygon, 2);
    writer.AddPart(outer.data(), 5, true);
    writer.AddPart(hole.data(), 5, true);
    writer.EndPoly();
    writer.Close();

    const std::string shp = CTempDir::Read(dir.Path("poly.shp"));
    ASSERT_EQ(shp.size(), 100u + 220);
    ExpectHeader(shp, (100 + 220) / 2, 5);
    EXPECT_EQ(BigEndian32(shp, 100), 1u);
    EXPECT_EQ(BigEndian32(shp, 104), 106u); // (44 + 8 + 160) / 2
    EXPECT_EQ(LittleEndian32(shp, 108), 5u);
    ExpectBox(shp, 112, {0, 0, 10, 10});
    EXPECT_EQ(LittleEndian32(shp, 144), 2u);  // parts
    EXPECT_EQ(LittleEndian32(shp, 148), 10u); // points
    EXPECT_EQ(LittleEndian32(shp, 152), 0u);
    EXPECT_EQ(LittleEndian32(shp, 156), 5u);
    EXPECT_EQ(LittleEndianDouble(shp, 160 + 16 * 6), 4.0); // second point of the hole
    const std::string shx = CTempDir::Read(dir.Path("poly.shx"));
    EXPECT_EQ(BigEndian32(shx, 100), 50u);
    EXPECT_EQ(BigEndian32(shx, 104), 106u);

    const auto dump = test::OgrDump(dir.Path("poly.shp"));
    ASSERT_FALSE(dump.is_null());
    EXPECT_EQ(dump["features"][0]["wkt"], "POLYGON ((0 0,0 10,10 10,10 0,0 0),(2 2,4 2,4 4,2 4,2 2))");
}

TEST(ShpWriter, OutputWithoutRecordsHasPointTypeAndZeroBox) {
    CTempDir dir;
    CShpWriter writer;
    writer.Create(dir.WPath("empty.shp"));
    writer.Close();
    const std::string shp = CTempDir::Read(dir.Path("empty.shp"));
    const std::string shx = CTempDir::Read(dir.Path("empty.shx"));
    ASSERT_EQ(shp.size(), 100u);
    ASSERT_EQ(shx.size(), 100u);
    ExpectHeader(shp, 50, 1);
    ExpectHeader(shx, 50, 1);
    ExpectBox(shp, 36, {0, 0, 0, 0});
}

TEST(ShpWriter, BoxesIncludePointsAtTheOrigin) {
    // A box that has only seen (0, 0) is not empty: the next point widens it instead of replacing it.
    CTempDir dir;
    CShpWriter writer;
    writer.Create(dir.WPath("origin.shp"));
    const std::vector<CGeoPoint> line = {{0, 0}, {5, 5}};
    writer.BeginPoly(CShpWriter::shpPolyline, 1);
    writer.AddPart(line.data(), 2, true);
    writer.EndPoly();
    writer.Close();
    const std::string shp = CTempDir::Read(dir.Path("origin.shp"));
    ExpectBox(shp, 36, {0, 0, 5, 5});  // header
    ExpectBox(shp, 112, {0, 0, 5, 5}); // record

    CShpWriter points;
    points.Create(dir.WPath("origin2.shp"));
    points.WritePoint(0, 0);
    points.WritePoint(5, 5);
    points.Close();
    ExpectBox(CTempDir::Read(dir.Path("origin2.shp")), 36, {0, 0, 5, 5});
}

TEST(ShpWriter, HeaderTakesTheTypeOfTheLastNonNullRecord) {
    CTempDir dir;
    CShpWriter writer;
    writer.Create(dir.WPath("mixed.shp"));
    const std::vector<CGeoPoint> pts = {{1, 1}, {2, 3}};
    writer.WritePoint(7, 7);
    writer.WriteMultiPoint(pts.data(), 2);
    writer.WriteNull();
    writer.Close();
    const std::string shp = CTempDir::Read(dir.Path("mixed.shp"));
    EXPECT_EQ(LittleEndian32(shp, 32), 8u);
    // Multipoint record: content (40 + 32) / 2 words, its own box, count, points.
    EXPECT_EQ(BigEndian32(shp, 128 + 4), 36u);
    ExpectBox(shp, 128 + 12, {1, 1, 2, 3});
    EXPECT_EQ(LittleEndian32(shp, 128 + 44), 2u);
    // Null record: type 0, content length 2 words, nothing else; not part of the header's box.
    const std::size_t nullAt = 128 + 8 + 72;
    EXPECT_EQ(BigEndian32(shp, nullAt), 3u);
    EXPECT_EQ(BigEndian32(shp, nullAt + 4), 2u);
    EXPECT_EQ(LittleEndian32(shp, nullAt + 8), 0u);
    EXPECT_EQ(shp.size(), nullAt + 12);
    EXPECT_EQ(BigEndian32(shp, 24), shp.size() / 2);
    ExpectBox(shp, 36, {1, 1, 7, 7});
    const std::string shx = CTempDir::Read(dir.Path("mixed.shx"));
    EXPECT_EQ(BigEndian32(shx, 100 + 16), nullAt / 2);
    EXPECT_EQ(BigEndian32(shx, 100 + 20), 2u);
}

TEST(ShpWriter, OnlyNullRecordsKeepPointType) {
    CTempDir dir;
    CShpWriter writer;
    writer.Create(dir.WPath("nulls.shp"));
    writer.WriteNull();
    writer.WriteNull();
    writer.Close();
    const std::string shp = CTempDir::Read(dir.Path("nulls.shp"));
    ExpectHeader(shp, 50 + 12, 1);
    const auto dump = test::OgrDump(dir.Path("nulls.shp"));
    ASSERT_FALSE(dump.is_null());
    ASSERT_EQ(dump["features"].size(), 2u);
    EXPECT_TRUE(dump["features"][0]["wkt"].is_null());
}

TEST(ShpWriter, RecordsLargerThanTheBufferArePatchedInPlace) {
    // 100 000 points (1.6 MB) pass the output buffer, so the record header is patched in the file.
    CTempDir dir;
    CShpWriter writer;
    writer.Create(dir.WPath("big.shp"));
    std::vector<CGeoPoint> ring;
    for (int i = 0; i < 100000; ++i)
        ring.push_back({static_cast<double>(i), static_cast<double>(i % 7)});
    writer.WritePoint(-1, -1); // the big record does not start at the header
    writer.BeginPoly(CShpWriter::shpPolyline, 2);
    writer.AddPart(ring.data(), 60000, true);
    writer.AddPart(ring.data() + 60000, 40000, true);
    writer.EndPoly();
    writer.WritePoint(1, 2);
    writer.Close();

    const std::string shp = CTempDir::Read(dir.Path("big.shp"));
    const std::size_t at = 128;
    EXPECT_EQ(BigEndian32(shp, at), 2u);
    EXPECT_EQ(BigEndian32(shp, at + 4), (44u + 8 + 1600000) / 2);
    ExpectBox(shp, at + 12, {0, 0, 99999, 6});
    EXPECT_EQ(LittleEndian32(shp, at + 48), 100000u);
    EXPECT_EQ(LittleEndian32(shp, at + 56), 60000u);
    EXPECT_EQ(LittleEndianDouble(shp, at + 60 + 16 * 99999), 99999.0);
    const std::size_t last = at + 8 + 44 + 8 + 1600000;
    EXPECT_EQ(BigEndian32(shp, last), 3u);
    EXPECT_EQ(shp.size(), last + 28);
    ExpectBox(shp, 36, {-1, -1, 99999, 6});
    const std::string shx = CTempDir::Read(dir.Path("big.shx"));
    EXPECT_EQ(BigEndian32(shx, 116), last / 2);
}

// Records of every size cross the output buffer's boundaries, a few larger than half of it or than all of
// it: every record must arrive whole, in order, at the offset its index entry gives, whichever way its
// header was patched, and a record given whole must come out as one given part by part.
TEST(ShpWriter, PolyRecordsAcrossBufferBoundariesArriveWhole) {
    CTempDir dir;
    auto pointsOf = [](int record) {
        if (record % 5000 == 4999)
            return 70000 + record; // beyond the buffer
        return record % 4000 == 3999 ? 40000 + record : 5 + (record * 37) % 90;
    };
    // One to three parts; the last of several is empty now and then.
    auto countsOf = [&](int record) {
        const int n = pointsOf(record);
        const int parts = 1 + record % 3;
        std::vector<int32_t> counts(static_cast<std::size_t>(parts), n / parts);
        if (parts > 1 && record % 7 == 0)
            counts.back() = 0;
        counts.front() += n - std::accumulate(counts.begin(), counts.end(), 0);
        return counts;
    };
    auto pointAt = [](int record, int i) { return CGeoPoint{record + i * 0.5, -record - i * 0.25}; };
    constexpr int kRecords = 12000;
    CShpWriter byParts;
    CShpWriter whole;
    byParts.Create(dir.WPath("parts.shp"));
    whole.Create(dir.WPath("whole.shp"));
    std::vector<CGeoPoint> points;
    for (int r = 0; r < kRecords; ++r) {
        const int n = pointsOf(r);
        points.resize(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i)
            points[static_cast<std::size_t>(i)] = pointAt(r, i);
        const std::vector<int32_t> counts = countsOf(r);
        const int parts = static_cast<int>(counts.size());
        byParts.BeginPoly(CShpWriter::shpPolyline, parts);
        int at = 0;
        for (const int32_t count : counts) {
            byParts.AddPart(points.data() + at, count, true);
            at += count;
        }
        byParts.EndPoly();
        whole.WritePoly(CShpWriter::shpPolyline, points.data(), counts.data(), parts);
    }
    byParts.Close();
    whole.Close();

    const std::string shp = CTempDir::Read(dir.Path("parts.shp"));
    const std::string shx = CTempDir::Read(dir.Path("parts.shx"));
    EXPECT_TRUE(shp == CTempDir::Read(dir.Path("whole.shp")));
    EXPECT_TRUE(shx == CTempDir::Read(dir.Path("whole.shx")));
    ASSERT_EQ(shx.size(), 100u + 8u * kRecords);
    std::size_t at = 100;
    for (int r = 0; r < kRecords; ++r) {
        const int n = pointsOf(r);
        const std::vector<int32_t> counts = countsOf(r);
        const uint32_t parts = static_cast<uint32_t>(counts.size());
        const uint32_t content = 44 + 4 * parts + 16 * static_cast<uint32_t>(n);
        ASSERT_EQ(BigEndian32(shx, 100 + 8 * static_cast<std::size_t>(r)), at / 2) << "record " << r;
        ASSERT_EQ(BigEndian32(shp, at), static_cast<uint32_t>(r + 1)) << "record " << r;
        ASSERT_EQ(BigEndian32(shp, at + 4), content / 2) << "record " << r;
        ASSERT_EQ(LittleEndian32(shp, at + 8), 3u);
        ASSERT_EQ(LittleEndian32(shp, at + 44), parts);
        ASSERT_EQ(LittleEndian32(shp, at + 48), static_cast<uint32_t>(n));
        uint32_t start = 0;
        for (uint32_t p = 0; p < parts; ++p) {
            ASSERT_EQ(LittleEndian32(shp, at + 52 + 4 * p), start) << "record " << r << " part " << p;
            start += static_cast<uint32_t>(counts[p]);
        }
        const CGeoPoint last = pointAt(r, n - 1);
        ExpectBox(shp, at + 12, {pointAt(r, 0).x, last.y, last.x, pointAt(r, 0).y});
        const std::size_t pointsAt = at + 52 + 4 * parts;
        for (int i : {0, n / 2, n - 1}) {
            ASSERT_EQ(LittleEndianDouble(shp, pointsAt + 16 * static_cast<std::size_t>(i)), pointAt(r, i).x);
            ASSERT_EQ(LittleEndianDouble(shp, pointsAt + 8 + 16 * static_cast<std::size_t>(i)),
                      pointAt(r, i).y);
        }
        at += 8 + content;
    }
    EXPECT_EQ(shp.size(), at);
    EXPECT_EQ(BigEndian32(shp, 24), at / 2);
}

TEST(ShpWriter, WholePolyRecordsRefuseWhatPartByPartRefuses) {
    CTempDir dir;
    CShpWriter writer;
    writer.Create(dir.WPath("bad.shp"));
    const std::vector<CGeoPoint> line = {{0, 0}, {1, 1}, {2, 0}};
    const std::vector<int32_t> negative = {2, -1};
    EXPECT_THROW(writer.WritePoly(CShpWriter::shpPolyline, line.data(), negative.data(), 2),
                 CInvalidArgException);
    CShpWriter limited;
    limited.Create(dir.WPath("limit.shp"));
    limited.SetMaxFileWords(50 + 40);
    const std::vector<int32_t> one = {3};
    EXPECT_THROW(limited.WritePoly(CShpWriter::shpPolyline, line.data(), one.data(), 1), CGenericEx);
    EXPECT_EQ(limited.GetRecordCount(), 0);
}

TEST(ShpWriter, PassingTheFormatSizeLimitFailsInsteadOfWrapping) {
    CTempDir dir;
    CShpWriter writer;
    writer.Create(dir.WPath("limit.shp"));
    writer.SetMaxFileWords(50 + 2 * 14); // room for two points
    writer.WritePoint(1, 1);
    writer.WritePoint(2, 2);
    EXPECT_THROW(writer.WritePoint(3, 3), CGenericEx);
    const std::vector<CGeoPoint> line = {{0, 0}, {1, 1}};
    EXPECT_THROW(writer.BeginPoly(CShpWriter::shpPolyline, 1), CGenericEx);
    EXPECT_EQ(writer.GetRecordCount(), 2);

    CShpWriter points;
    points.Create(dir.WPath("limit2.shp"));
    points.SetMaxFileWords(50 + 40);
    points.BeginPoly(CShpWriter::shpPolyline, 1);
    EXPECT_THROW(points.AddPart(line.data(), 2, true), CGenericEx); // 52 + 4 + 32 bytes > 80
}

TEST(ShpWriter, MorePartsThanAnnouncedAreRefused) {
    CTempDir dir;
    CShpWriter writer;
    writer.Create(dir.WPath("parts.shp"));
    const std::vector<CGeoPoint> line = {{0, 0}, {1, 1}};
    writer.BeginPoly(CShpWriter::shpPolyline, 1);
    writer.AddPart(line.data(), 2, true);
    EXPECT_THROW(writer.AddPart(line.data(), 2, true), CInvalidArgException);
}

TEST(ShpWriter, WriteErrorsRaise) {
    // A file-size limit makes the system refuse writes past it (EFBIG), as a full disk would.
    CTempDir dir;
    CShpWriter writer;
    writer.Create(dir.WPath("full.shp"));
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 64 * 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    bool raised = false;
    try {
        for (int i = 0; i < 20000; ++i)
            writer.WritePoint(i, i);
        writer.Close();
    } catch (const CFileException& e) {
        raised = true;
        EXPECT_EQ(e.GetCause(), CFileException::diskFull);
    }
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_TRUE(raised);
}

TEST(ShpWriter, CreateFailsInAMissingFolderAndLeavesNothing) {
    CTempDir dir;
    CShpWriter writer;
    EXPECT_THROW(writer.Create(dir.WPath("missing/out.shp")), CFileException);
    EXPECT_FALSE(std::filesystem::exists(dir.Path("missing")));
}

} // namespace
} // namespace fennick

namespace fennick {
namespace {

// A stored .shp of two polygons and a null record (the first polygon of two parts), written by the writer
// itself, then changed by mutate, copied after one record already written, and read back.
struct SStoredCopy {
    bool copied = false;
    std::string input;
    std::string output;
    int32_t records = 0;
};

SStoredCopy CopyStored(const std::function<void(std::string&)>& mutate, CShpWriter::StoredCopy how) {
    test::CTempDir dir;
    const CGeoPoint points[] = {{0, 0}, {4, 0}, {4, 3}, {0, 0}, {1, 1}, {2, 1}, {2, 2}, {1, 1}};
    const int32_t parts[] = {4, 4};
    CShpWriter in;
    in.Create(dir.WPath("in.shp"));
    in.WritePoly(CShpWriter::shpPolygon, points, parts, 2);
    in.WriteNull();
    in.WritePoly(CShpWriter::shpPolygon, points + 4, parts, 1);
    in.Close();
    SStoredCopy result;
    result.input = test::CTempDir::Read(dir.Path("in.shp"));
    mutate(result.input);
    dir.Write("in.shp", result.input);

    CSysFile shp, shx;
    EXPECT_TRUE(shp.Open(dir.WPath("in.shp"), CSysFile::kReadDenyWrite));
    EXPECT_TRUE(shx.Open(dir.WPath("in.shx"), CSysFile::kReadDenyWrite));
    SStoredShapeFiles files{shp.Handle(), shx.Handle(), shp.OpenedLength(), CShpWriter::shpPolygon, 3};
    CShpWriter out;
    out.Create(dir.WPath("out.shp"));
    out.WritePoint(-1, -1);
    result.copied = out.AppendStored(files, {}, how);
    result.records = out.GetRecordCount();
    out.Close();
    result.output = test::CTempDir::Read(dir.Path("out.shp"));
    return result;
}

TEST(ShpWriter, StoredRecordsAreCopiedOnlyWhenTheRecordPathWouldWriteTheSameBytes) {
    const std::size_t second = 100 + 8 + 4 + 32 + 8 + 8 + 16 * 8; // the null record
    const std::size_t third = second + 12;
    struct SCase {
        const char* name;
        std::function<void(std::string&)> mutate;
        bool copied;
    };
    const SCase cases[] = {
        {"as written", [](std::string&) {}, true},
        {"bytes beyond the last record", [](std::string& b) { b.append(16, '\x7f'); }, true},
        {"a box that is not its points'", [&](std::string& b) { b[third + 12] ^= 1; }, false},
        {"a first part not at the first point", [&](std::string& b) { b[third + 52] = 1; }, false},
        {"a null record with content", [&](std::string& b) { b[second + 7] = 4; }, false},
        {"a record of another type", [&](std::string& b) { b[third + 8] = 3; }, false},
    };
    for (const auto how : {CShpWriter::StoredCopy::threads, CShpWriter::StoredCopy::oneThread})
        for (const SCase& c : cases) {
            SCOPED_TRACE(c.name);
            const SStoredCopy copy = CopyStored(c.mutate, how);
            EXPECT_EQ(copy.copied, c.copied);
            if (!c.copied) {
                // Nothing of the input stays: the point alone.
                EXPECT_EQ(copy.records, 1);
                EXPECT_EQ(copy.output.size(), 100u + 28u);
                continue;
            }
            EXPECT_EQ(copy.records, 4);
            // The input's records after the point, numbered 2 to 4; the input's own bytes beyond them left
            // out.
            std::string expected = copy.input.substr(100, BigEndian32(copy.input, 24) * 2 - 100);
            for (std::size_t at = 0, number = 2; at < expected.size(); ++number) {
                expected[at + 3] = static_cast<char>(number);
                at += 8 + 2 * BigEndian32(expected, at + 4);
            }
            EXPECT_EQ(copy.output.substr(128), expected);
            ExpectBox(copy.output, 36, {-1, -1, 4, 3});
        }
}

} // namespace
} // namespace fennick
