// fennick-merge run as users run it: exit codes and the exact texts on stdout and stderr.

#include "BoundedRun.h"
#include "OgrLayer.h"
#include "Process.h"
#include "TabFixtures.h"
#include "TempDir.h"
#include "WriterFakes.h"

#include <gdal.h>
#include <gtest/gtest.h>
#include <ogr_api.h>
#include <ogr_spatialref.h>
#include <proj.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace fennick::test;

namespace {

const std::vector<SOgrField> kFields = {{"NAME", 'C', 30, 0}, {"POP", 'N', 10, 0}, {"AREA", 'F', 18, 6}};

class MergeTool : public testing::Test {
protected:
    std::string Layer(const std::string& name, int offset, const std::string& type = "POLYGON") {
        std::vector<SOgrFeature> features;
        for (int i = 0; i < 3; ++i) {
            const double x = offset * 10 + i * 2;
            const std::string wkt = type == "POINT" ? "POINT (" + std::to_string(x) + " 1)"
                                                    : "POLYGON ((" + std::to_string(x) + " 0," +
                                                          std::to_string(x) + " 1," + std::to_string(x + 1) +
                                                          " 1," + std::to_string(x) + " 0))";
            features.push_back({wkt,
                                {name + "-" + std::to_string(i) + " é", std::to_string(offset * 100 + i),
                                 std::to_string(i) + ".25"}});
        }
        const std::string path = dir.Path(name + ".shp");
        WriteOgrLayer(path, type, kFields, features, {"ENCODING=UTF-8"});
        return path;
    }
    SProcessResult Merge(const std::vector<std::string>& args) {
        return RunProcess(ToolPath("fennick-merge"), args);
    }

    CTempDir dir;
};

} // namespace

TEST_F(MergeTool, HelpVersionAndUsageErrors) {
    const auto help = Merge({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("Usage: fennick-merge"), std::string::npos);
    // The version, and the libraries' versions the tool runs with.
    const std::string version = Merge({"--version"}).out;
    EXPECT_EQ(version.rfind("fennick-merge (Fennick) 1.0.1.0, revision ", 0), 0u) << version;
    EXPECT_NE(version.find(std::string("\nGDAL ") + GDALVersionInfo("RELEASE_NAME") + "\n"),
              std::string::npos);
    EXPECT_NE(version.find(std::string("\nPROJ ") + proj_info().version + "\n"), std::string::npos);

    for (const auto& args : std::vector<std::vector<std::string>>{{},
                                                                  {"--bogus", "a", "b"},
                                                                  {"a.shp", "b.shp"},
                                                                  {"-o"},
                                                                  {"--where", "NAME", "-o", "x", "a", "b"},
                                                                  {"--source-field=", "-o", "x", "a", "b"}}) {
        const auto r = Merge(args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_TRUE(r.out.empty());
        EXPECT_NE(r.err.find("Usage: fennick-merge"), std::string::npos);
    }
}

TEST_F(MergeTool, MergesAndReportsSuccessOnStdout) {
    const std::string a = Layer("a", 0);
    const std::string b = Layer("b", 1);
    const std::string out = dir.Path("out.shp");
    const auto r = Merge({"-o", out, a, b});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "The files have been merged successfully.\n" + out + "\n");
    EXPECT_EQ(r.err, ""); // no terminal: no progress bar, and no library diagnostics
    const auto merged = OgrDump(out);
    ASSERT_EQ(merged["count"], 6);
    EXPECT_EQ(merged["features"][4]["values"], (nlohmann::json{"b-1 é", 101, 1.25}));
    EXPECT_EQ(merged["features"][4]["wkt"], "POLYGON ((12 0,12 1,13 1,12 0))");
}

TEST_F(MergeTool, FailuresPrintTheEngineTextOnStderr) {
    const std::string a = Layer("a", 0);
    const std::string p = Layer("p", 1, "POINT");
    const std::string out = dir.Path("out.shp");
    auto r = Merge({"-o", out, a, p});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(FirstLine(r.err), p + ": Different shape types..\n");
    EXPECT_FALSE(std::filesystem::exists(out));

    r = Merge({"-o", out, a}); // a usage error
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(FirstLine(r.err), "fennick-merge: two or more input layers are needed\n");

    r = Merge({"-o", out, a, "missing.shp"});
    EXPECT_EQ(FirstLine(r.err), "Can't open file.: missing.shp.\n");

    r = Merge({"-o", dir.Path("no/such/folder/out.shp"), a, a});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(FirstLine(r.err), "Can't create shapefile.: " + dir.Path("no/such/folder/out.shp") + ".\n");
}

// The tool reads MapInfo tables through the GDAL module it loads when it meets the first one.
TEST_F(MergeTool, MergesMapInfoTables) {
    std::vector<std::string> tables;
    for (int t = 0; t < 2; ++t) {
        // Strings are appended to, never "text" + std::string: GCC 12 at -O3 reports a false overlap
        // (-Wrestrict) there.
        const std::string table = std::string("t").append(std::to_string(t));
        STabTableSpec spec;
        spec.fields = {{"NAME", 4, 20}, {"CODE", 0, 0}};
        for (int i = 0; i < 3; ++i) {
            std::string point = "POINT (";
            point.append(std::to_string(t * 10 + i)).append(" 5)");
            spec.features.push_back({point, {table + "-" + std::to_string(i), std::to_string(t * 100 + i)}});
        }
        tables.push_back(dir.Path(table + ".tab"));
        WriteTabTable(tables.back(), spec);
    }
    const std::string out = dir.Path("tables.shp");
    const auto r = Merge({"-o", out, tables[0], tables[1]});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto merged = OgrDump(out);
    ASSERT_EQ(merged["count"], 6);
    EXPECT_EQ(merged["features"][4]["values"][0], "t1-1");
    EXPECT_EQ(merged["features"][4]["values"][1], 101);
    EXPECT_EQ(merged["features"][4]["wkt"], "POINT (11 5)");
}

// MapInfo tables as people edit them arrive whole: deleted rows left out, rows without an object as null
// records with their values, dates, times and empty values kept, in OGR's order and reading of the tables;
// the first table's coordinate system becomes the .prj (none for a NonEarth table), and fennick-info shows
// it.
TEST_F(MergeTool, MapInfoTablesArriveWhole) {
    const struct {
        const char* srs;
        int epsg; // 0: NonEarth, no .prj
    } rows[] = {{"EPSG:32632", 32632}, {"", 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.srs);
        std::vector<std::string> tables;
        for (int t = 0; t < 2; ++t) {
            STabTableSpec spec;
            spec.srs = row.srs;
            spec.bounds = "0,0,1000000,10000000";
            spec.fields = {{"NAME", 4, 20}, {"N", 0, 0}, {"DAY", 9, 0}, {"AT", 11, 0}, {"TIME", 10, 0}};
            for (int i = 0; i < 5; ++i) {
                const std::string x = std::to_string(500000 + t * 100 + i),
                                  x1 = std::to_string(500001 + t * 100 + i), n = std::to_string(t * 10 + i);
                std::vector<std::string> values = {std::string("t").append(n), n};
                if (i != 2)
                    values.insert(values.end(), {"2024/02/2" + std::to_string(i),
                                                 "1999/12/31 23:59:5" + n.substr(n.size() - 1),
                                                 "12:34:5" + std::to_string(i)});
                spec.features.push_back(
                    {i == 1 ? "" : "POLYGON ((" + x + " 0," + x + " 1," + x1 + " 1," + x + " 0))", values});
            }
            spec.deleteWhere = t == 0 ? "N = 0 OR N = 3" : "N = 14";
            tables.push_back(dir.Path(std::string("m").append(std::to_string(t)).append(".tab")));
            WriteTabTable(tables.back(), spec);
        }
        const std::string out = dir.Path("whole.shp");
        const auto r = Merge({"--overwrite", "-o", out, tables[0], tables[1]});
        ASSERT_EQ(r.exitCode, 0) << r.err;

        nlohmann::json expected = nlohmann::json::array();
        for (const std::string& table : tables) {
            const nlohmann::json dump = OgrDump(table);
            for (const auto& feature : dump["features"])
                expected.push_back(feature);
        }
        const nlohmann::json merged = OgrDump(out);
        ASSERT_EQ(merged["count"], expected.size());
        ASSERT_EQ(expected.size(), 7u);
        for (std::size_t i = 0; i < expected.size(); ++i) {
            SCOPED_TRACE("record " + std::to_string(i));
            const auto& want = expected[i];
            const auto& got = merged["features"][i];
            EXPECT_EQ(got["wkt"], want["wkt"].is_null() ? nlohmann::json() : want["wkt"]);
            EXPECT_EQ(got["values"][0], want["values"][0]);
            EXPECT_EQ(got["values"][1], want["values"][1]);
            // OGR reads a D field as YYYY/MM/DD, as it reads the table's dates.
            EXPECT_EQ(got["values"][2], want["values"][2]);
            for (int f : {3, 4}) {
                std::string text = want["values"][f].is_null() ? "" : want["values"][f].get<std::string>();
                std::replace(text.begin(), text.end(), '/', '-');
                EXPECT_EQ(got["values"][f].is_null() ? "" : got["values"][f].get<std::string>(), text);
            }
        }

        const std::string prj = CTempDir::Read(dir.Path("whole.prj"));
        const auto info = RunProcess(ToolPath("fennick-info"), {"--json", tables[0]});
        const nlohmann::json layer = nlohmann::json::parse(info.out, nullptr, false);
        if (row.epsg == 0) {
            EXPECT_EQ(prj, "");
            EXPECT_TRUE(layer["coordsys"].is_null()) << info.out;
            continue;
        }
        // The same system as the table's, compared as a system.
        OGRSpatialReference written, utm;
        ASSERT_EQ(written.importFromWkt(prj.c_str()), OGRERR_NONE) << prj;
        GDALDatasetH source = GDALOpenEx(tables[0].c_str(), GDAL_OF_VECTOR, nullptr, nullptr, nullptr);
        ASSERT_NE(source, nullptr);
        const auto* table =
            OGRSpatialReference::FromHandle(OGR_L_GetSpatialRef(GDALDatasetGetLayer(source, 0)));
        ASSERT_NE(table, nullptr);
        EXPECT_TRUE(written.IsSame(table)) << prj;
        utm.importFromEPSG(row.epsg);
        EXPECT_TRUE(written.IsSame(&utm)) << prj;
        GDALClose(source);
        EXPECT_TRUE(layer["coordsys"]["projected"].get<bool>()) << info.out;
        EXPECT_NE(layer["coordsys"]["proj"].get<std::string>().find("+zone=32"), std::string::npos)
            << info.out;
    }
}

TEST_F(MergeTool, ExistingOutputNeedsOverwrite) {
    const std::string a = Layer("a", 0);
    const std::string b = Layer("b", 1);
    const std::string out = dir.Write("out.shp", "keep me");
    auto r = Merge({"-o", out, a, b});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, out + " already exists; use --overwrite to replace it.\n");
    EXPECT_EQ(CTempDir::Read(out), "keep me");
    r = Merge({"--overwrite", "-o", out, a, b});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(OgrDump(out)["count"], 6);
}

TEST_F(MergeTool, CheckOnlyAndWhere) {
    const std::string a = Layer("a", 0);
    const std::string b = Layer("b", 1);
    auto r = Merge({"--check", a, b});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(FirstLine(r.out), "The files can be merged.\n");
    // One line per input with what was read from it; -q keeps only the verdict.
    EXPECT_NE(
        r.out.find("  " + b + ": polygon, 3 records, 3 fields, code page 65001, no coordinate system\n"),
        std::string::npos)
        << r.out;
    EXPECT_EQ(Merge({"--check", "-q", a, b}).out, "The files can be merged.\n");

    const std::string out = dir.Path("f.shp");
    r = Merge({"--where", "name=A-2 é,,b-0 é", "-o", out, a, b});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto merged = OgrDump(out);
    ASSERT_EQ(merged["count"], 2);
    EXPECT_EQ(merged["features"][0]["values"][0], "a-2 é");
    EXPECT_EQ(merged["features"][1]["values"][0], "b-0 é");

    r = Merge({"--where", "NOPE=1", "-o", dir.Path("g.shp"), a, b});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "Invalid filter field name.\n");
}

// Ctrl+C is the Cancel button. One large layer, given many times, keeps the tool merging while the signal
// arrives: it is sent once the output's first temporary file exists, so the tool is past its start-up.
TEST_F(MergeTool, InterruptCancelsAndLeavesNoOutput) {
    std::vector<SOgrFeature> features;
    for (int i = 0; i < 60000; ++i)
        features.push_back({"POINT (" + std::to_string(i) + " 1)", {"n", "1", "2.5"}});
    const std::string big = dir.Path("big.shp");
    WriteOgrLayer(big, "POINT", kFields, features);
    const std::string out = dir.Path("out.shp");
    std::vector<std::string> args = {"-o", out};
    args.insert(args.end(), 12, big);
    // Ctrl+C, kill, a closed terminal and Ctrl+\ all cancel alike.
    for (const int stop : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        SCOPED_TRACE(stop);
        const auto r = RunProcess(ToolPath("fennick-merge"), args, [&](int pid) {
            bool writing = false;
            for (int tries = 0; !writing && tries < 20000; ++tries) {
                for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
                    writing = writing || entry.path().filename().string().rfind(".out.~", 0) == 0;
                if (!writing)
                    std::this_thread::sleep_for(std::chrono::microseconds(500));
            }
            ASSERT_TRUE(writing) << "the tool never began its output";
            ::kill(pid, stop);
        });
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.err, "The action has been cancelled.\n");
        EXPECT_FALSE(std::filesystem::exists(out));
        for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
            EXPECT_EQ(entry.path().filename().string().find("out"), std::string::npos) << entry.path();
    }
}

// Every failure keeps its fixed first line and says on a second line what really went wrong: which file,
// which record or column, and the system's own words.
TEST_F(MergeTool, FailuresSayWhyOnASecondLine) {
    const auto big = [&](const std::string& name, const std::string& encoding, const std::string& text) {
        std::vector<SOgrFeature> features;
        for (int i = 0; i < 3000; ++i)
            features.push_back(
                {"POINT (" + std::to_string(i) + " 1)", {i == 7 ? text : "plain", "1", "2.5"}});
        const std::string path = dir.Path(name);
        WriteOgrLayer(path, "POINT", kFields, features, {"ENCODING=" + encoding});
        return path;
    };
    const std::string a = Layer("a", 0);
    const std::string p1252 = big("p1252.shp", "CP1252", "plain");
    dir.Write("p1252.cpg", "1252");
    const std::string putf8 = big("putf8.shp", "UTF-8", "東京");
    const std::string line = dir.Path("line.shp");
    WriteOgrLayer(line, "LINESTRING", kFields, {{"LINESTRING (0 0,1 1)", {"x", "1", "2"}}});
    const std::string narrow = dir.Path("narrow.shp");
    WriteOgrLayer(narrow, "POLYGON", {{"NAME", 'C', 30, 0}, {"POP", 'N', 10, 0}, {"AREA", 'F', 12, 3}},
                  {{"POLYGON ((0 0,0 1,1 1,0 0))", {"x", "1", "2"}}});
    // The second record's part count no longer fits its content.
    const std::string broken = Layer("broken", 2);
    std::string shp = CTempDir::Read(broken);
    const uint32_t second = 100 + 120 + 8 + 4 + 32; // each record: 8 + 112 bytes
    shp.replace(second, 4, std::string("\x40\x00\x00\x00", 4));
    dir.Write("broken.shp", shp);
    const std::string secret = Layer("secret", 3);
    std::filesystem::permissions(secret, std::filesystem::perms::none);
    const std::string hidden = Layer("hidden", 5);
    std::filesystem::permissions(dir.Path("hidden.dbf"), std::filesystem::perms::none);
    std::filesystem::create_directory(dir.Path("ro"));
    std::filesystem::permissions(dir.Path("ro"),
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    const std::string odd = Layer("odd", 4);
    dir.Write("odd.cpg", "65000");
    const std::string damaged = WriteTableDamagedMidway(dir.Path("damaged.tab"));
    std::filesystem::permissions(dir.Path(), std::filesystem::perms::all, std::filesystem::perm_options::add);

    struct SCase {
        const char* what;
        std::vector<std::string> args;
        std::string first;
        std::vector<std::string> reason;
        long fileSizeKb = 0;
        bool needsPermissions = false;
    };
    const std::string out = dir.Path("out.shp");
    const std::string longName = dir.Path(std::string(300, 'n') + ".shp");
    const std::vector<SCase> cases = {
        {"file-size limit", {"-o", out, p1252, p1252}, AppendFailed(p1252), {"out.", "File too large"}, 64},
        {"text the output's code page cannot hold",
         {"-o", out, p1252, putf8},
         AppendFailed(putf8),
         {"Record 8, field NAME", "東京", "1252"}},
        {"input without read permission",
         {"-o", out, a, secret},
         CantOpen(secret),
         {"Permission denied"},
         0,
         true},
        {"first input's table without read permission",
         {"-o", out, hidden, a},
         CantOpenMain(hidden),
         {dir.Path("hidden.dbf"), "Permission denied"},
         0,
         true},
        {"read-only output folder",
         {"-o", dir.Path("ro/out.shp"), a, a},
         CantCreate(dir.Path("ro/out.shp")),
         {dir.Path("ro/out.shp"), "Permission denied"},
         0,
         true},
        {"missing output folder",
         {"-o", dir.Path("none/out.shp"), a, a},
         CantCreate(dir.Path("none/out.shp")),
         {"No such file or directory"}},
        {"name too long", {"-o", longName, a, a}, CantCreate(longName), {"is 300 bytes long; at most 220"}},
        {"unknown code page", {"-o", out, odd, a}, CantOpenMain(odd), {"65000"}},
        {"shape types",
         {"-o", out, a, line},
         OtherShapeType(line),
         {"polygon in " + a, "polyline in " + line}},
        {"columns",
         {"-o", out, a, narrow},
         OtherColumns(narrow),
         {"column 3", "AREA real(18.6) in " + a, "AREA real(12.3) in " + narrow}},
        {"damaged record",
         {"-o", out, a, broken},
         AppendFailed(broken),
         {"Record 2 of " + broken, "counts do not fit"}},
        {"missing MapInfo table",
         {"-o", out, dir.Path("none.tab"), a},
         CantOpenMain(dir.Path("none.tab")),
         {"No such file or directory"}},
        {"walk broken off in a MapInfo table",
         {"-o", out, damaged, damaged},
         AppendFailed(damaged),
         {"of " + damaged + " cannot be read: InitBlockFromData()"}},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.needsPermissions && RunningAsRoot() && ::access("/usr/bin/setpriv", X_OK) != 0)
            continue;
        SLimits limits;
        limits.fileSizeKb = c.fileSizeKb;
        limits.unprivileged = c.needsPermissions;
        const auto r = RunMergeBounded(c.args, limits);
        EXPECT_EQ(r.exitCode, 1) << r.err;
        EXPECT_EQ(FirstLine(r.err), c.first);
        const std::string reason = SecondLine(r.err);
        for (const std::string& part : c.reason)
            EXPECT_NE(reason.find(part), std::string::npos) << "'" << part << "' missing from: " << r.err;
        EXPECT_FALSE(std::filesystem::exists(out));
    }
}

// Nothing the tool was asked for is silently left out: a projection that cannot be copied fails the merge,
// and so does a result that cannot be printed.
TEST_F(MergeTool, CompanionsAndTheResultMustArrive) {
    const std::string a = Layer("a", 0);
    const std::string b = Layer("b", 1);
    const std::string out = dir.Path("out.shp");
    const std::string prj = dir.Path("a.prj");
    const std::vector<std::pair<const char*, std::function<void()>>> unreadable = {
        {"pipe", [&] { ASSERT_EQ(::mkfifo(prj.c_str(), 0644), 0); }},
        {"folder", [&] { std::filesystem::create_directory(prj); }},
        {"link to a device", [&] { std::filesystem::create_symlink("/dev/zero", prj); }},
    };
    for (const auto& [what, make] : unreadable) {
        SCOPED_TRACE(what);
        std::filesystem::remove_all(prj);
        make();
        const auto r = RunMergeBounded({"-o", out, a, b}, SLimits{.wallSeconds = 20});
        EXPECT_EQ(r.exitCode, 1) << r.err;
        EXPECT_EQ(FirstLine(r.err), CantCreate(out));
        EXPECT_NE(SecondLine(r.err).find("Could not copy " + prj + " as the output's .prj"),
                  std::string::npos)
            << r.err;
        EXPECT_FALSE(std::filesystem::exists(out));
    }
    std::filesystem::remove_all(prj);
    const auto full = RunProcess(
        "/bin/sh", {"-c", "\"$0\" -o \"$1\" \"$2\" \"$3\" >/dev/full", ToolPath("fennick-merge"), out, a, b});
    EXPECT_EQ(full.exitCode, 1);
    EXPECT_NE(full.err.find("the result cannot be written"), std::string::npos) << full.err;
}

// --match-names takes each field by name from wherever an input has it, widened to hold every input's
// values, with nulls where an input lacks it; --source-field names each record's input, by position or by
// name. The first record of each input is compared, as OGR reads the output.
TEST_F(MergeTool, FieldsByNameAndSourceField) {
    const std::string a = Layer("a", 0), c = Layer("c", 2), d = Layer("d", 3);
    // b: the fields in another order and letter case, wider or narrower, and one more.
    const std::string b = dir.Path("b.shp");
    WriteOgrLayer(b, "POLYGON",
                  {{"area", 'F', 12, 3}, {"EXTRA", 'C', 8, 0}, {"name", 'C', 40, 0}, {"Pop", 'B', 12, 0}},
                  {{"POLYGON ((0 0,0 1,1 1,0 0))", {"7.5", "more", "b-0", "123456789012"}}});
    const nlohmann::json name = {"NAME", "String", 30, 0}, pop = {"POP", "Integer64", 10, 0},
                         area = {"AREA", "Real", 18, 6}, wideName = {"NAME", "String", 40, 0},
                         widePop = {"POP", "Integer64", 12, 0}, extra = {"EXTRA", "String", 8, 0};
    const struct {
        std::vector<std::string> args;
        std::vector<int> firstRecords; // of each input in the output (b has one record, the others three)
        nlohmann::json fields, firsts; // their values
    } rows[] = {
        {{"--match-names", a, b},
         {0, 3},
         {wideName, widePop, area, extra},
         {{"a-0 é", 0, 0.25, nullptr}, {"b-0", 123456789012, 7.5, "more"}}},
        {{"--source-field", "FROM", a, c, d},
         {0, 3, 6},
         {name, pop, area, {"FROM", "String", 5, 0}},
         {{"a-0 é", 0, 0.25, "a.shp"}, {"c-0 é", 200, 0.25, "c.shp"}, {"d-0 é", 300, 0.25, "d.shp"}}},
        {{"--match-names", "--source-field=from", a, b, c},
         {0, 3, 4},
         {wideName, widePop, area, extra, {"from", "String", 5, 0}},
         {{"a-0 é", 0, 0.25, nullptr, "a.shp"},
          {"b-0", 123456789012, 7.5, "more", "b.shp"},
          {"c-0 é", 200, 0.25, nullptr, "c.shp"}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.args[1]);
        std::vector<std::string> args = {"--overwrite", "-o", dir.Path("out.shp")};
        args.insert(args.end(), row.args.begin(), row.args.end());
        const auto r = Merge(args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const auto merged = OgrDump(dir.Path("out.shp"));
        EXPECT_EQ(merged["fields"], row.fields);
        nlohmann::json firsts = nlohmann::json::array();
        for (const int at : row.firstRecords)
            firsts.push_back(merged["features"][at]["values"]);
        EXPECT_EQ(firsts, row.firsts);
    }
}

// The check refuses, before anything is written, what cannot be merged by name: types that cannot hold each
// other, names that become one when cut to the format's length, a source field whose name is taken or too
// long. Each failure names the fields and the files.
TEST_F(MergeTool, FieldsByNameCheckFailures) {
    const std::string a = Layer("a", 0);
    const std::string dated = dir.Path("dated.shp");
    WriteOgrLayer(dated, "POLYGON", {{"Pop", 'D', 8, 0}}, {{"POLYGON ((0 0,0 1,1 1,0 0))", {"2024/01/31"}}});
    std::vector<std::string> tables;
    for (const char* field : {"POPULATION_2020", "POPULATION_2021"}) {
        tables.push_back(dir.Path(std::string(field).append(".tab")));
        WriteOgrLayer(tables.back(), "POINT", {{field, 'N', 8, 0}}, {{"POINT (1 1)", {"5"}}});
    }
    const struct {
        std::vector<std::string> args;
        std::string first, second;
    } rows[] = {
        {{"--match-names", a, dated},
         dated + ": Different column definitions..",
         "field POP: integer in " + a + ", date in " + dated},
        {{"--match-names", tables[0], tables[1]},
         tables[1] + ": Two field names are the same when cut to 10 bytes.",
         "POPULATION_2020 in " + tables[0] + ", POPULATION_2021 in " + tables[1]},
        {{"--source-field", "name", a, a}, "Source field name: A field of that name exists.", "NAME in " + a},
        {{"--source-field", "SOURCE_FILE", a, a},
         "Source field SOURCE_FILE: The name cannot be written as a field name.",
         "A field name takes at most 10 bytes in code page 65001."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.first);
        std::vector<std::string> args = {"-o", dir.Path("out.shp")};
        args.insert(args.end(), row.args.begin(), row.args.end());
        const auto r = Merge(args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(FirstLine(r.err), row.first + "\n");
        EXPECT_EQ(SecondLine(r.err), row.second);
        EXPECT_FALSE(std::filesystem::exists(dir.Path("out.shp")));
        EXPECT_FALSE(std::filesystem::exists(dir.Path("out.dbf")));
    }
}

namespace {

// A coordinate system's text as PROJ writes it (projinfo), e.g. the ESRI .prj ArcGIS writes for EPSG:4267:
// D_North_American_1927 without a TOWGS84 clause.
std::string ProjinfoText(const std::string& crs, const std::string& format) {
    const auto r = RunProcess("/usr/bin/projinfo", {crs, "-o", format, "-q"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    return r.out;
}

// Every vertex (x, y, z) of a layer read with OGR, and the extent its header states.
struct SVertices {
    std::vector<std::array<double, 3>> points;
    OGREnvelope extent;
};

void AddVertices(OGRGeometryH geometry, std::vector<std::array<double, 3>>& points) {
    for (int i = 0; i < OGR_G_GetGeometryCount(geometry); ++i)
        AddVertices(OGR_G_GetGeometryRef(geometry, i), points);
    for (int i = 0; i < OGR_G_GetPointCount(geometry); ++i) {
        std::array<double, 3> p{};
        OGR_G_GetPoint(geometry, i, &p[0], &p[1], &p[2]);
        points.push_back(p);
    }
}

SVertices ReadVertices(const std::string& path) {
    GDALAllRegister();
    SVertices result;
    GDALDatasetH source = GDALOpenEx(path.c_str(), GDAL_OF_VECTOR, nullptr, nullptr, nullptr);
    EXPECT_NE(source, nullptr) << path;
    if (source == nullptr)
        return result;
    OGRLayerH layer = GDALDatasetGetLayer(source, 0);
    OGR_L_GetExtent(layer, &result.extent, FALSE);
    while (OGRFeatureH feature = OGR_L_GetNextFeature(layer)) {
        AddVertices(OGR_F_GetGeometryRef(feature), result.points);
        OGR_F_Destroy(feature);
    }
    GDALClose(source);
    return result;
}

} // namespace

// The second input's system against the first's: a difference is warned about and, with --reproject, its
// records are converted as ogr2ogr -t_srs converts them (5000 points take the two-thread path, polygons Z
// the variant path); equal systems in other texts are no difference; what cannot be converted fails.
TEST_F(MergeTool, CoordinateSystemsAreComparedAndConverted) {
    const std::string wgs84 = ProjinfoText("EPSG:4326", "WKT1_ESRI");
    const std::string nad27 = ProjinfoText("EPSG:4267", "WKT1_ESRI");
    ASSERT_NE(nad27.find("D_North_American_1927"), std::string::npos);
    ASSERT_EQ(nad27.find("TOWGS84"), std::string::npos);
    const std::string utmWgs84 = ProjinfoText("EPSG:32615", "WKT1_ESRI");
    const std::string utmNad27 = ProjinfoText("EPSG:26715", "WKT1_ESRI");
    const std::string nad27Wkt2 = ProjinfoText("EPSG:4267", "WKT2_2019");
    struct SCase {
        std::string name, firstPrj, secondPrj, type;
        double x, y, step; // the second input's points: x + i * step, y + i * step
        int count;
        bool reproject;
        std::string warned; // "(second) differs from the first input's (first)", or empty for no warning
        std::string failure;
        double tolerance; // of the second input's points against the expected ones
    };
    const std::vector<SCase> cases = {
        {"nad27-kept", wgs84, nad27, "POINT", -93.5, 44.0, 1e-4, 5000, false,
         "(NAD27) differs from the first input's (WGS 84)", "", 0},
        {"nad27-converted", wgs84, nad27, "POINT", -93.5, 44.0, 1e-4, 5000, true,
         "(NAD27) differs from the first input's (WGS 84)", "", 1e-8},
        {"utm-converted", utmWgs84, utmNad27, "POLYGON Z", 480000, 4980000, 1000, 3, true,
         "(NAD27 / UTM zone 15N) differs from the first input's (WGS 84 / UTM zone 15N)", "", 1e-3},
        {"esri-and-wkt2-equal", nad27Wkt2, nad27, "POINT", -93.5, 44.0, 1.0, 3, true, "", "", 0},
        {"no-prj", wgs84, "", "POINT", -93.5, 44.0, 1.0, 3, true, "",
         "Its coordinate system cannot be converted.", 0},
        {"outside-domain", utmWgs84, wgs84, "POINT", -93.5, 86.0, 5.0, 3, true, "",
         "Record 2: a point cannot be converted", 0},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string first = Layer(c.name + "-a", 0, c.type == "POINT" ? "POINT" : "POLYGON");
        dir.Write(c.name + "-a.prj", c.firstPrj);
        std::vector<SOgrFeature> features;
        for (int i = 0; i < c.count; ++i) {
            const std::string x = std::to_string(c.x + i * c.step), y = std::to_string(c.y + i * c.step);
            const std::string x2 = std::to_string(c.x + i * c.step + c.step / 2);
            const std::string y2 = std::to_string(c.y + i * c.step + c.step / 2);
            features.push_back({c.type == "POINT"
                                    ? "POINT (" + x + " " + y + ")"
                                    : "POLYGON Z ((" + x + " " + y + " 10," + x2 + " " + y + " 20," + x +
                                          " " + x2 + " 30," + x + " " + y + " 10))",
                                {"b", std::to_string(i), "0.5"}});
        }
        const std::string second = dir.Path(c.name + "-b.shp");
        WriteOgrLayer(second, c.type, kFields, features);
        if (!c.secondPrj.empty())
            dir.Write(c.name + "-b.prj", c.secondPrj);
        const std::string out = dir.Path(c.name + "-out.shp");
        std::vector<std::string> args = {"-o", out, first, second};
        if (c.reproject)
            args.insert(args.begin(), "--reproject");
        const auto r = Merge(args);
        if (!c.failure.empty()) {
            EXPECT_EQ(r.exitCode, 1);
            EXPECT_NE(r.err.find(second), std::string::npos) << r.err;
            EXPECT_NE(r.err.find(c.failure), std::string::npos) << r.err;
            EXPECT_FALSE(std::filesystem::exists(out));
            continue;
        }
        ASSERT_EQ(r.exitCode, 0) << r.err;
        if (c.warned.empty())
            EXPECT_EQ(r.err, "");
        else
            EXPECT_EQ(FirstLine(r.err), "fennick-merge: warning: " + second + ": its coordinate system " +
                                            c.warned +
                                            (c.reproject ? "; its records are converted.\n"
                                                         : "; its coordinates are merged unconverted.\n"));
        EXPECT_EQ(CTempDir::Read(dir.Path(c.name + "-out.prj")), c.firstPrj);
        // What the second input's points should become: GDAL's conversion into the first's .prj.
        std::string expectedPath = second;
        if (c.reproject && !c.warned.empty()) {
            expectedPath = dir.Path(c.name + "-ogr.shp");
            const auto ogr =
                RunProcess("/usr/bin/ogr2ogr", {"-t_srs", dir.Path(c.name + "-a.prj"), expectedPath, second});
            ASSERT_EQ(ogr.exitCode, 0) << ogr.err;
        }
        SVertices expected = ReadVertices(first);
        const SVertices converted = ReadVertices(expectedPath);
        expected.points.insert(expected.points.end(), converted.points.begin(), converted.points.end());
        const SVertices merged = ReadVertices(out);
        ASSERT_EQ(merged.points.size(), expected.points.size());
        OGREnvelope bounds;
        bounds.MinX = bounds.MinY = HUGE_VAL;
        bounds.MaxX = bounds.MaxY = -HUGE_VAL;
        for (std::size_t i = 0; i < merged.points.size(); ++i) {
            const auto& p = merged.points[i];
            for (int k = 0; k < 3; ++k)
                ASSERT_NEAR(p[k], expected.points[i][k], c.tolerance) << "vertex " << i << " axis " << k;
            bounds.MinX = std::min(bounds.MinX, p[0]);
            bounds.MaxX = std::max(bounds.MaxX, p[0]);
            bounds.MinY = std::min(bounds.MinY, p[1]);
            bounds.MaxY = std::max(bounds.MaxY, p[1]);
        }
        EXPECT_EQ(merged.extent.MinX, bounds.MinX);
        EXPECT_EQ(merged.extent.MaxX, bounds.MaxX);
        EXPECT_EQ(merged.extent.MinY, bounds.MinY);
        EXPECT_EQ(merged.extent.MaxY, bounds.MaxY);
    }
}

// With --skip-bad-records a record that cannot be read or written is left out of all three files, which stay
// aligned, and named on stderr; without it the first one fails the merge as before.
TEST_F(MergeTool, SkipBadRecordsLeavesOutOnlyTheBadOnes) {
    // count records; each record's POP is its index, so that a shifted attribute shows. A bad text goes in
    // the last field, so that its record is begun in the table before it fails.
    const std::vector<SOgrField> fields = {{"NAME", 'C', 30, 0}, {"POP", 'N', 10, 0}, {"NOTE", 'C', 30, 0}};
    const auto layer = [&](const std::string& name, const std::string& type, int count,
                           const std::string& encoding, const std::function<std::string(int)>& wkt,
                           const std::vector<int>& badTexts = {}) {
        std::vector<SOgrFeature> features;
        for (int i = 0; i < count; ++i) {
            const bool bad = std::find(badTexts.begin(), badTexts.end(), i) != badTexts.end();
            features.push_back({wkt(i), {name, std::to_string(i), bad ? "東京" : "n"}});
        }
        const std::string path = dir.Path(name + ".shp");
        WriteOgrLayer(path, type, fields, features, {"ENCODING=" + encoding});
        return path;
    };
    const auto point = [](int i) { return "POINT (" + std::to_string(i) + " 1)"; };
    const auto damage = [](const std::string& path, int record) { // of three 120-byte polygon records
        std::string shp = CTempDir::Read(path);
        shp.replace(100 + 120 * static_cast<std::size_t>(record - 1) + 44, 4, std::string("\x40\0\0\0", 4));
        std::ofstream(path, std::ios::binary) << shp;
    };
    const std::string a = Layer("a", 0), first = Layer("first", 1), broken = Layer("broken", 2);
    // Point records under a header that says polygon.
    const std::string mixed = layer("mixed", "POINT", 2, "UTF-8", point);
    const std::string poly = layer("poly", "POLYGON", 2, "UTF-8", [](int i) {
        return "POLYGON ((0 0,1 0,1 " + std::to_string(i + 1) + ",0 0))";
    });
    const std::string p1252 = layer("p1252", "POINT", 5000, "CP1252", point);
    dir.Write("p1252.cpg", "1252");
    const std::string putf8 = layer("putf8", "POINT", 5000, "UTF-8", point, {0, 4999});
    const std::string small =
        layer("small", "MULTIPOINT", 2, "CP1252", [](int) { return "MULTIPOINT (5 5,6 6)"; });
    dir.Write("small.cpg", "1252");
    // The first record's shape is larger than the writer's buffer and reaches far out.
    const std::string huge =
        layer("huge", "MULTIPOINT", 2, "UTF-8",
              [](int i) {
                  std::string wkt = "MULTIPOINT (";
                  for (int p = 0; p < (i == 0 ? 70000 : 1); ++p)
                      wkt.append(p > 0 ? "," : "").append(std::to_string(p * 10 + 1)).append(" 2");
                  return wkt + ")";
              },
              {0});

    struct SCase {
        const char* what;
        std::vector<std::string> inputs;
        std::vector<std::pair<std::string, int>> bad; // input and record number, from 1
    };
    const std::vector<SCase> cases = {
        {"damaged shape records, the first input's first among them",
         {first, a, broken},
         {{first, 1}, {broken, 2}}},
        {"texts the output cannot hold, the last record's among them, in an input past the two-thread size",
         {p1252, putf8},
         {{putf8, 1}, {putf8, 5000}}},
        {"a record larger than the write buffer", {small, huge}, {{huge, 1}}},
        {"records of another type than their file's header", {poly, mixed}, {{mixed, 1}, {mixed, 2}}},
    };
    // What OGR reads from the inputs before any damage.
    std::map<std::string, nlohmann::json> dumps;
    for (const std::string& input : {a, first, broken, p1252, putf8, small, huge, mixed, poly})
        dumps[input] = OgrDump(input);
    for (const char* ext : {".shp", ".shx"}) {
        std::string bytes = CTempDir::Read(dir.Path(std::string("mixed") + ext));
        bytes[32] = 5;
        std::ofstream(dir.Path(std::string("mixed") + ext), std::ios::binary) << bytes;
    }
    damage(first, 1);
    damage(broken, 2);

    const std::string out = dir.Path("out.shp");
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> args = {"--overwrite", "-o", out};
        args.insert(args.end(), c.inputs.begin(), c.inputs.end());
        std::filesystem::remove(out);
        auto r = Merge(args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(FirstLine(r.err), AppendFailed(c.bad[0].first));
        EXPECT_FALSE(std::filesystem::exists(out));

        args.insert(args.begin(), "--skip-bad-records");
        r = Merge(args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, "The files have been merged successfully.\n" + out + "\n" +
                             std::to_string(c.bad.size()) +
                             (c.bad.size() == 1 ? " record was skipped.\n" : " records were skipped.\n"));
        std::istringstream lines(r.err);
        std::string line;
        for (const auto& [input, record] : c.bad) {
            ASSERT_TRUE(std::getline(lines, line)) << r.err;
            const std::string head =
                "fennick-merge: skipped record " + std::to_string(record) + " of " + input + ": ";
            EXPECT_EQ(line.substr(0, head.size()), head);
            EXPECT_GT(line.size(), head.size()); // and why
        }
        EXPECT_FALSE(std::getline(lines, line)) << r.err;

        nlohmann::json expected = nlohmann::json::array();
        double box[4] = {1e300, -1e300, 1e300, -1e300}; // as OGR orders an extent
        for (const std::string& input : c.inputs) {
            const nlohmann::json& features = dumps[input]["features"];
            for (std::size_t i = 0; i < features.size(); ++i) {
                if (std::count(c.bad.begin(), c.bad.end(), std::pair(input, static_cast<int>(i) + 1)) > 0)
                    continue;
                expected.push_back(features[i]);
                for (const auto& p : features[i]["points"]) {
                    box[0] = std::min(box[0], p[0].get<double>());
                    box[1] = std::max(box[1], p[0].get<double>());
                    box[2] = std::min(box[2], p[1].get<double>());
                    box[3] = std::max(box[3], p[1].get<double>());
                }
            }
        }
        const nlohmann::json merged = OgrDump(out);
        ASSERT_EQ(merged["count"], expected.size());
        EXPECT_TRUE(merged["features"] == expected); // shapes and values, record by record
        EXPECT_EQ(merged["extent"], (nlohmann::json{box[0], box[1], box[2], box[3]}));
        // The three files agree on their length and count, read as bytes, and the records follow each other
        // without a gap.
        const std::string shp = CTempDir::Read(out), shx = CTempDir::Read(dir.Path("out.shx"));
        EXPECT_EQ(shp[32], CTempDir::Read(c.inputs[0])[32]); // the inputs' type, not the last record's
        EXPECT_EQ(BigEndian32(shp, 24) * 2ull, shp.size());
        ASSERT_EQ(shx.size(), 100 + 8 * expected.size());
        uint64_t next = 50;
        for (std::size_t entry = 100; entry < shx.size(); entry += 8) {
            EXPECT_EQ(BigEndian32(shx, entry), next) << entry;
            next += 4 + BigEndian32(shx, entry + 4);
        }
        EXPECT_EQ(next * 2, shp.size());
        EXPECT_EQ(LittleEndian32(CTempDir::Read(dir.Path("out.dbf")), 4), expected.size());
    }
}

// Inputs whose stored records the copy of stored bytes must not take as they stand: every way of writing
// shapes (record by record, FENNICK_SHP_COPY=0; the copy in threads, =1; the default, which copies small
// inputs in one thread) leaves the same bytes and the same message.
TEST_F(MergeTool, CopiedRecordsAndRecordsWrittenOneByOneAreTheSame) {
    const std::string first = Layer("first", 0);
    struct SCase {
        const char* name;
        const char* file; // the file of the second input that is changed
        std::size_t at;   // where in its second record (or index entry)
        std::string bytes;
    };
    const SCase cases[] = {
        {"as written", "shp", 0, ""},
        {"a stored box that is not its points'", "shp", 12, "\x01"},
        {"a ring that starts after the first point", "shp", 52, "\x01"},
        {"an index entry naming the first record", "shx", 0, std::string("\0\0\0\x32", 4)},
        {"a record marked deleted", "dbf", 0, "*"},
    };
    // The variant runs of this suite set the setting for the whole process: it is put back at the end.
    const char* setting = std::getenv("FENNICK_SHP_COPY");
    const std::optional<std::string> before =
        setting != nullptr ? std::optional<std::string>(setting) : std::nullopt;
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string second = Layer("second", 1);
        if (!c.bytes.empty()) {
            const std::string path = dir.Path(std::string("second.") + c.file);
            std::string bytes = CTempDir::Read(path);
            const auto word = [&](std::size_t i) {
                return static_cast<std::size_t>(static_cast<unsigned char>(bytes[i]) +
                                                256 * static_cast<unsigned char>(bytes[i + 1]));
            };
            // Where the second record starts: after the header and the first record (one ring of 4 points)
            // or entry; in the .dbf after its header and one record.
            const std::string file = c.file;
            const std::size_t start = file == "shp"   ? 100 + 8 + 44 + 4 + 16 * 4
                                      : file == "shx" ? 100 + 8
                                                      : word(8) + word(10);
            bytes.replace(start + c.at, c.bytes.size(), c.bytes);
            std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        }
        std::string outputs[3];
        std::string messages[3];
        for (int copy = 0; copy < 3; ++copy) {
            if (copy < 2)
                ::setenv("FENNICK_SHP_COPY", copy != 0 ? "1" : "0", 1);
            else
                ::unsetenv("FENNICK_SHP_COPY");
            const std::string out = dir.Path("out" + std::to_string(copy) + ".shp");
            const SProcessResult r = Merge({"-q", "--no-sync", "--overwrite", "-o", out, first, second});
            messages[copy] = FirstLine(r.err) + std::to_string(r.exitCode);
            for (const char* extension : {".shp", ".shx", ".dbf"})
                outputs[copy] += std::filesystem::exists(out.substr(0, out.size() - 4) + extension)
                                     ? CTempDir::Read(out.substr(0, out.size() - 4) + extension)
                                     : std::string("none");
        }
        for (int copy = 1; copy < 3; ++copy) {
            EXPECT_EQ(messages[copy], messages[0]);
            EXPECT_TRUE(outputs[copy] == outputs[0]);
        }
    }
    if (before)
        ::setenv("FENNICK_SHP_COPY", before->c_str(), 1);
}
