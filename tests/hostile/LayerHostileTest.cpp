// fennick-merge over damaged layers, run as a process under time and memory limits: every damaged .shp, .shx
// or .dbf ends with status 1 and the tool's message for it, never a signal or a hang, and the output folder
// (which holds an older output of the same name) is left exactly as it was.

#include "BoundedRun.h"
#include "OgrLayer.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <unistd.h>

using namespace fennick::test;

namespace {

// The three files of a layer as bytes, with the places of the .shp's records.
struct SLayerBytes {
    std::string shp, shx, dbf;

    std::size_t Records() const { return (shx.size() - 100) / 8; }
    std::size_t Offset(std::size_t record) const { return 2 * Big(shx, 100 + 8 * record); }
    std::size_t End(std::size_t record) const {
        return Offset(record) + 8 + 2 * Big(shp, Offset(record) + 4);
    }

    static uint32_t Big(const std::string& s, std::size_t at) {
        const auto* p = reinterpret_cast<const unsigned char*>(s.data() + at);
        return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
    }
    static void PutBig(std::string& s, std::size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            s[at + i] = static_cast<char>(v >> (24 - 8 * i));
    }
    static void PutLittle(std::string& s, std::size_t at, int32_t v) { std::memcpy(s.data() + at, &v, 4); }
};

enum class EFails { open, append, columns, shapeType };

struct SCase {
    std::string name;
    std::function<void(SLayerBytes&)> damage;
    EFails fails;
    bool alsoFirst = true; // also run with the damaged layer as the first input
};

// gtest prints a case by its name rather than its bytes.
void PrintTo(const SCase& c, std::ostream* os) {
    *os << c.name;
}

constexpr std::size_t kDamaged = 2; // the record most cases damage

std::vector<SCase> ShpCases() {
    std::vector<SCase> cases;
    for (std::size_t cut : {0, 4, 24, 32, 36, 68, 99})
        cases.push_back({"shp header cut at " + std::to_string(cut),
                         [cut](SLayerBytes& l) { l.shp.resize(cut); }, EFails::open});
    cases.push_back(
        {"shp wrong file code", [](SLayerBytes& l) { SLayerBytes::PutBig(l.shp, 0, 9995); }, EFails::open});
    cases.push_back({"shp records all cut", [](SLayerBytes& l) { l.shp.resize(100); }, EFails::append});
    // Every structural boundary of a polygon record: header, type, box, counts, part starts, points.
    for (std::size_t into : {0, 4, 8, 12, 44, 48, 52, 56, 60, 70}) {
        cases.push_back({"shp record cut " + std::to_string(into) + " bytes in",
                         [into](SLayerBytes& l) { l.shp.resize(l.Offset(kDamaged) + into); },
                         EFails::append});
    }
    cases.push_back({"shp last record cut one byte short",
                     [](SLayerBytes& l) { l.shp.resize(l.shp.size() - 1); }, EFails::append});
    for (uint32_t length : {0u, 1u, 0xFFFFFFFFu, 0x7FFFFFFFu, 0x40000000u /* 2 GB */}) {
        cases.push_back(
            {"shp content length " + std::to_string(length),
             [length](SLayerBytes& l) { SLayerBytes::PutBig(l.shp, l.Offset(kDamaged) + 4, length); },
             EFails::append});
    }
    for (int32_t count : {-1, 0x7FFFFFFF, 1000}) {
        cases.push_back(
            {"shp part count " + std::to_string(count),
             [count](SLayerBytes& l) { SLayerBytes::PutLittle(l.shp, l.Offset(kDamaged) + 44, count); },
             EFails::append});
        cases.push_back(
            {"shp point count " + std::to_string(count),
             [count](SLayerBytes& l) { SLayerBytes::PutLittle(l.shp, l.Offset(kDamaged) + 48, count); },
             EFails::append});
    }
    for (int32_t start : {-1, 6, 0x7FFFFFFF}) {
        cases.push_back(
            {"shp part start " + std::to_string(start),
             [start](SLayerBytes& l) { SLayerBytes::PutLittle(l.shp, l.Offset(kDamaged) + 52, start); },
             EFails::append});
    }
    cases.push_back({"shp record of another shape type than the header's",
                     [](SLayerBytes& l) { SLayerBytes::PutLittle(l.shp, l.Offset(kDamaged) + 8, 3); },
                     EFails::append});
    cases.push_back({"shp header of another shape type",
                     [](SLayerBytes& l) { SLayerBytes::PutLittle(l.shp, 32, 3); }, EFails::shapeType, false});
    return cases;
}

std::vector<SCase> ShxCases() {
    std::vector<SCase> cases;
    for (uint32_t offset : {0u, 0x7FFFFFFFu, 0xFFFFFFFFu, 0x40000000u}) {
        cases.push_back({"shx offset " + std::to_string(offset),
                         [offset](SLayerBytes& l) { SLayerBytes::PutBig(l.shx, 100 + 8 * kDamaged, offset); },
                         EFails::append});
    }
    cases.push_back(
        {"shx offset past the end",
         [](SLayerBytes& l) { SLayerBytes::PutBig(l.shx, 100 + 8 * kDamaged, uint32_t(l.shp.size() / 2)); },
         EFails::append});
    cases.push_back({"shx offset into the previous record's points",
                     [](SLayerBytes& l) {
                         // The record read there starts inside the points of the one before: overlapping
                         // records.
                         SLayerBytes::PutBig(l.shx, 100 + 8 * kDamaged,
                                             uint32_t(l.Offset(kDamaged - 1) / 2 + 30));
                     },
                     EFails::append});
    cases.push_back({"shx claiming 10 million records",
                     [](SLayerBytes& l) {
                         // Entries past the real ones are zero: they point at the file header.
                         l.shx.resize(100 + 8 * std::size_t(10'000'000), '\0');
                     },
                     EFails::append});
    return cases;
}

std::vector<SCase> DbfCases() {
    std::vector<SCase> cases;
    // A table that is present but cannot be read fails its layer: its attributes would be lost.
    for (std::size_t cut : {0, 16, 31, 40, 64, 65})
        cases.push_back({"dbf header cut at " + std::to_string(cut),
                         [cut](SLayerBytes& l) { l.dbf.resize(cut); }, EFails::open});
    cases.push_back({"dbf without terminator",
                     [](SLayerBytes& l) {
                         const std::size_t headerLength = uint8_t(l.dbf[8]) | (uint8_t(l.dbf[9]) << 8);
                         l.dbf[headerLength - 1] = 'X';
                     },
                     EFails::open});
    cases.push_back({"dbf unknown field type", [](SLayerBytes& l) { l.dbf[32 + 11] = 'Q'; }, EFails::open});
    cases.push_back(
        {"dbf header length 65535", [](SLayerBytes& l) { l.dbf[8] = l.dbf[9] = char(0xFF); }, EFails::open});
    cases.push_back({"dbf with 65535-byte records",
                     [](SLayerBytes& l) {
                         // 257 text fields of 255 bytes: with the deletion flag one byte beyond the largest
                         // record.
                         std::string header(32, '\0');
                         header[0] = 3;
                         const uint16_t headerLength = 32 + 257 * 32 + 1;
                         header[8] = char(headerLength & 0xFF);
                         header[9] = char(headerLength >> 8);
                         header[10] = header[11] = char(0xFF);
                         header[4] = char(l.Records());
                         for (int f = 0; f < 257; ++f) {
                             std::string d(32, '\0');
                             // Not "F" + std::string: GCC 12 at -O3 reports a false overlap (-Wrestrict).
                             const std::string name = std::string("F").append(std::to_string(f));
                             d.replace(0, name.size(), name);
                             d[11] = 'C';
                             d[16] = char(255);
                             header += d;
                         }
                         header += '\r';
                         l.dbf = header + std::string(l.Records() * 65536, ' ');
                     },
                     EFails::open});
    for (uint32_t count : {0u, 1u}) {
        cases.push_back({"dbf record count " + std::to_string(count),
                         [count](SLayerBytes& l) { std::memcpy(l.dbf.data() + 4, &count, 4); },
                         EFails::append});
    }
    cases.push_back(
        {"dbf last record cut", [](SLayerBytes& l) { l.dbf.resize(l.dbf.size() - 5); }, EFails::append});
    return cases;
}

class LayerHostile : public testing::TestWithParam<SCase> {
protected:
    static void SetUpTestSuite() {
        s_dir = new CTempDir;
        std::vector<SOgrFeature> features;
        for (int i = 0; i < 6; ++i) {
            const double x = 1.5 + i * 3;
            const std::string a = std::to_string(x), b = std::to_string(x + 2);
            features.push_back({"POLYGON ((" + a + " 1," + a + " 2," + b + " 2," + b + " 1," + a + " 1))",
                                {"name " + std::to_string(i), std::to_string(100 + i)}});
        }
        WriteOgrLayer(s_dir->Path("good.shp"), "POLYGON", {{"NAME", 'C', 20, 0}, {"POP", 'N', 10, 0}},
                      features);
        s_good =
            new SLayerBytes{CTempDir::Read(s_dir->Path("good.shp")), CTempDir::Read(s_dir->Path("good.shx")),
                            CTempDir::Read(s_dir->Path("good.dbf"))};
    }
    static void TearDownTestSuite() {
        delete s_good;
        delete s_dir;
    }

    // Writes the damaged layer and an older output, runs the merge with the damaged layer first or second,
    // and checks the failure contract.
    void Check(const SCase& c, bool damagedFirst) {
        SCOPED_TRACE(c.name + (damagedFirst ? " (first input)" : " (second input)"));
        CTempDir dir;
        SLayerBytes bad = *s_good;
        c.damage(bad);
        const std::string badPath = dir.Write("bad.shp", bad.shp);
        dir.Write("bad.shx", bad.shx);
        dir.Write("bad.dbf", bad.dbf);
        const std::string goodPath = dir.Write("good.shp", s_good->shp);
        dir.Write("good.shx", s_good->shx);
        dir.Write("good.dbf", s_good->dbf);
        std::filesystem::create_directory(dir.Path("out"));
        for (const char* ext : {"shp", "shx", "dbf"})
            dir.Write(std::string("out/out.") + ext, std::string("older output ") + ext);
        const auto before = Snapshot(dir.Path("out"));
        const std::string out = dir.Path("out/out.shp");

        const auto r = RunMergeBounded({"--overwrite", "-q", "-o", out, damagedFirst ? badPath : goodPath,
                                        damagedFirst ? goodPath : badPath});
        ASSERT_EQ(r.signal, 0) << r.err;
        EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
        EXPECT_EQ(r.out, "");
        std::string expected;
        switch (c.fails) {
        case EFails::open:
            expected = damagedFirst ? CantOpenMain(badPath) : CantOpen(badPath);
            break;
        case EFails::append:
            expected = AppendFailed(badPath);
            break;
        case EFails::columns:
            expected = OtherColumns(badPath);
            break;
        case EFails::shapeType:
            expected = OtherShapeType(badPath);
            break;
        }
        EXPECT_EQ(FirstLine(r.err), expected);
        EXPECT_EQ(Snapshot(dir.Path("out")), before);
    }

    static CTempDir* s_dir;
    static SLayerBytes* s_good;
};

CTempDir* LayerHostile::s_dir = nullptr;
SLayerBytes* LayerHostile::s_good = nullptr;

std::string CaseName(const testing::TestParamInfo<SCase>& info) {
    std::string name;
    for (char c : info.param.name)
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}

} // namespace

TEST_P(LayerHostile, FailsWithItsMessageAndLeavesTheOutputAlone) {
    Check(GetParam(), false);
    if (GetParam().alsoFirst)
        Check(GetParam(), true);
}

INSTANTIATE_TEST_SUITE_P(Shp, LayerHostile, testing::ValuesIn(ShpCases()), CaseName);
INSTANTIATE_TEST_SUITE_P(Shx, LayerHostile, testing::ValuesIn(ShxCases()), CaseName);
INSTANTIATE_TEST_SUITE_P(Dbf, LayerHostile, testing::ValuesIn(DbfCases()), CaseName);
