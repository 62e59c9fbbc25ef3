// fennick-merge over damaged MapInfo tables, run as a process under time and memory limits: a table whose
// .dat, .map or .id is cut short or has a byte changed ends either in an exact copy of what GDAL reads of it
// (every row of the intact table there) or in status 1 with one of the tool's messages and a reason, never
// in a signal, a hang or a silent loss; a failure leaves the output folder exactly as it was.

#include "BoundedRun.h"
#include "TabFixtures.h"
#include "TempDir.h"
#include "WriterFakes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>

using namespace fennick::test;

namespace {

// The files of a table by extension.
using STableBytes = std::map<std::string, std::string>;

struct SCase {
    std::string name;
    std::function<void(STableBytes&)> damage;
};

void PrintTo(const SCase& c, std::ostream* os) {
    *os << c.name;
}

constexpr int kRows = 6;

std::vector<SCase> Cases() {
    std::vector<SCase> cases;
    const auto cut = [&](const std::string& ext, std::function<std::size_t(std::size_t)> at,
                         const std::string& where) {
        cases.push_back(
            {ext + " cut " + where, [ext, at](STableBytes& t) { t[ext].resize(at(t[ext].size())); }});
    };
    const auto set = [&](const std::string& ext, std::function<std::size_t(std::size_t)> at, char byte,
                         const std::string& where) {
        cases.push_back({ext + " byte " + where, [ext, at, byte](STableBytes& t) {
                             std::string& bytes = t[ext];
                             bytes[at(bytes.size())] = byte;
                         }});
    };
    for (std::size_t n : {0, 4, 11, 40, 200})
        cut(
            "dat", [n](std::size_t) { return n; }, "at " + std::to_string(n));
    cut(
        "dat", [](std::size_t size) { return size - 1; }, "by one byte");
    for (std::size_t n : {0, 100, 0x140, 512, 1024})
        cut(
            "map", [n](std::size_t) { return n; }, "at " + std::to_string(n));
    cut(
        "map", [](std::size_t size) { return size / 2; }, "in half");
    cut(
        "map", [](std::size_t size) { return size - 1; }, "by one byte");
    for (std::size_t n : {0, 4, 12})
        cut(
            "id", [n](std::size_t) { return n; }, "at " + std::to_string(n));
    cut(
        "id", [](std::size_t size) { return size - 1; }, "by one byte");

    set(
        "dat", [](std::size_t) { return 4; }, 5, "record count 5");
    set(
        "dat", [](std::size_t) { return 4; }, 7, "record count 7");
    for (char flag : {'x', '*'})
        cases.push_back({std::string("dat row 2 flag ") + flag, [flag](STableBytes& t) {
                             std::string& dat = t["dat"];
                             const auto word = [&](std::size_t at) {
                                 return std::size_t(uint8_t(dat[at])) | std::size_t(uint8_t(dat[at + 1]))
                                                                            << 8;
                             };
                             dat[word(8) + word(10)] = flag;
                         }});
    set(
        "id", [](std::size_t) { return 8; }, char(0xFF), "entry high");
    set(
        "id", [](std::size_t) { return 9; }, char(0x7F), "entry far");
    set(
        "map", [](std::size_t) { return 0x100; }, 0, "header mark");
    set(
        "map", [](std::size_t) { return 0x145; }, 1, "region count");
    for (std::size_t at : {0x140 + 0x100, 1024 + 0, 1024 + 1, 1024 + 8, 1024 + 40})
        set(
            "map", [at](std::size_t) { return at; }, char(0xFF), "at " + std::to_string(at));
    return cases;
}

class TableHostile : public testing::TestWithParam<SCase> {
protected:
    static void SetUpTestSuite() {
        s_dir = new CTempDir;
        STabTableSpec spec;
        spec.fields = {{"NAME", 4, 20}, {"POP", 0, 0}};
        for (int i = 0; i < kRows; ++i) {
            const std::string a = std::to_string(1.5 + i * 3), b = std::to_string(3.5 + i * 3);
            spec.features.push_back(
                {"POLYGON ((" + a + " 1," + a + " 2," + b + " 2," + b + " 1," + a + " 1))",
                 {"name " + std::to_string(i), std::to_string(100 + i)}});
        }
        WriteTabTable(s_dir->Path("good.tab"), spec);
        s_good = new STableBytes;
        for (const char* ext : {"tab", "dat", "map", "id"})
            (*s_good)[ext] = CTempDir::Read(s_dir->Path(std::string("good.") + ext));
        s_goodDump = new nlohmann::json(OgrDump(s_dir->Path("good.tab")));
    }
    static void TearDownTestSuite() {
        delete s_goodDump;
        delete s_good;
        delete s_dir;
    }

    void Check(const SCase& c, bool damagedFirst) {
        SCOPED_TRACE(c.name + (damagedFirst ? " (first input)" : " (second input)"));
        CTempDir dir;
        STableBytes bad = *s_good;
        c.damage(bad);
        for (const auto& [ext, bytes] : bad)
            dir.Write("bad." + ext, bytes);
        for (const auto& [ext, bytes] : *s_good)
            dir.Write("good." + ext, bytes);
        const std::string badPath = dir.Path("bad.tab"), goodPath = dir.Path("good.tab");
        std::filesystem::create_directory(dir.Path("out"));
        for (const char* ext : {"shp", "shx", "dbf"})
            dir.Write(std::string("out/out.") + ext, std::string("older output ") + ext);
        const auto before = Snapshot(dir.Path("out"));
        const std::string out = dir.Path("out/out.shp");

        const auto r = RunMergeBounded({"--overwrite", "-q", "-o", out, damagedFirst ? badPath : goodPath,
                                        damagedFirst ? goodPath : badPath});
        ASSERT_EQ(r.signal, 0) << r.err;
        if (r.exitCode == 0) {
            // Only an exact copy of every row counts as a success.
            const nlohmann::json damaged = OgrDump(badPath);
            ASSERT_TRUE(damaged.is_object()) << "merged a table GDAL cannot read";
            ASSERT_EQ(damaged["features"].size(), static_cast<std::size_t>(kRows)) << "merged a short table";
            nlohmann::json expected = damagedFirst ? damaged["features"] : (*s_goodDump)["features"];
            for (const auto& feature : (damagedFirst ? *s_goodDump : damaged)["features"])
                expected.push_back(feature);
            EXPECT_EQ(OgrDump(out)["features"], expected);
            return;
        }
        EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
        const std::vector<std::string> messages = {damagedFirst ? CantOpenMain(badPath) : CantOpen(badPath),
                                                   AppendFailed(badPath), OtherShapeType(badPath),
                                                   OtherColumns(badPath)};
        EXPECT_NE(std::find(messages.begin(), messages.end(), FirstLine(r.err)), messages.end()) << r.err;
        EXPECT_NE(SecondLine(r.err), "") << r.err;
        EXPECT_EQ(Snapshot(dir.Path("out")), before);
    }

    static CTempDir* s_dir;
    static STableBytes* s_good;
    static nlohmann::json* s_goodDump;
};

CTempDir* TableHostile::s_dir = nullptr;
STableBytes* TableHostile::s_good = nullptr;
nlohmann::json* TableHostile::s_goodDump = nullptr;

std::string CaseName(const testing::TestParamInfo<SCase>& info) {
    std::string name;
    for (char c : info.param.name)
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}

} // namespace

TEST_P(TableHostile, CopiesExactlyOrFailsWithItsMessage) {
    Check(GetParam(), false);
    Check(GetParam(), true);
}

INSTANTIATE_TEST_SUITE_P(Tab, TableHostile, testing::ValuesIn(Cases()), CaseName);
