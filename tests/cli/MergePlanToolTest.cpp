// fennick-merge's plan, input lists, chosen code pages, target system and report, run as users run it; the
// JSON through nlohmann, the outputs through GDAL.

#include "OgrLayer.h"
#include "Process.h"
#include "TempDir.h"
#include "WriterFakes.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <ogr_spatialref.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

using namespace fennick::test;
using nlohmann::json;

namespace {

class MergePlanTool : public testing::Test {
protected:
    // A point layer of three records; fields by (name, type, width, decimals), values alike for each record.
    std::string Layer(const std::string& name, const std::vector<SOgrField>& fields,
                      const std::vector<std::string>& values, const std::string& encoding = "UTF-8") {
        std::vector<SOgrFeature> features;
        for (int i = 0; i < 3; ++i)
            features.push_back({"POINT (" + std::to_string(i) + " 45)", values});
        const std::string path = dir.Path(name);
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        WriteOgrLayer(path, "POINT", fields, features, {"ENCODING=" + encoding});
        return path;
    }
    SProcessResult Merge(const std::vector<std::string>& args) {
        return RunProcess(ToolPath("fennick-merge"), args);
    }
    json CheckJson(std::vector<std::string> args) {
        args.insert(args.begin(), {"--check", "--json"});
        const SProcessResult r = Merge(args);
        return json::parse(r.out.empty() ? "null" : r.out);
    }

    CTempDir dir;
};

const std::vector<SOgrField> kNamePop9 = {{"NAME", 'C', 10, 0}, {"POP", 'N', 9, 0}};

} // namespace

TEST_F(MergePlanTool, ThePlanSaysWhereEachFieldComesFrom) {
    const std::string a = Layer("a.shp", kNamePop9, {"x", "1"});
    const std::string b = Layer("b.shp", {{"NAME", 'C', 10, 0}, {"POP", 'N', 10, 0}}, {"y", "2"});
    const std::string c =
        Layer("c.shp", {{"NAME", 'C', 10, 0}, {"POP", 'N', 9, 0}, {"EXTRA", 'C', 5, 0}}, {"z", "3", "e"});
    const std::string t = dir.Path("t.tab");
    WriteOgrLayer(t, "POINT", {{"LongColumnName", 'C', 10, 0}}, {{"POINT (1 45)", {"m"}}});
    struct SRow {
        std::vector<std::string> args;
        std::vector<std::string> lines; // of --check's plan, in order
        json fields;                    // of --check --json: [name, letter, width, notes]
    };
    const std::vector<SRow> rows = {
        {{"--match-names", a, b, c},
         {"  NAME       C(10)\n",
          "  POP        N(10)    widened from N(9) in " + a + " to N(10) for " + b + "\n",
          "  EXTRA      C(5)     only in " + c + ": null elsewhere\n"},
         {{"NAME", "C", 10, json::array()},
          {"POP", "N", 10, {"widened from N(9) in " + a + " to N(10) for " + b}},
          {"EXTRA", "C", 5, {"only in " + c + ": null elsewhere"}}}},
        {{a, a},
         {"  NAME       C(10)\n", "  POP        N(9)\n"},
         {{"NAME", "C", 10, json::array()}, {"POP", "N", 9, json::array()}}},
        {{"--source-field", "SRC", t, t},
         {"  LongColumn C(10)    cut from MapInfo column LongColumnName\n"},
         {{"LongColumn", "C", 10, {"cut from MapInfo column LongColumnName"}},
          {"SRC", "C", 5, {"the file name of each record's input"}}}},
    };
    for (const SRow& row : rows) {
        std::vector<std::string> args = row.args;
        args.insert(args.begin(), "--check");
        const SProcessResult text = Merge(args);
        EXPECT_EQ(text.exitCode, 0) << text.err;
        std::size_t at = text.out.find("Fields of the output:\n");
        for (const std::string& line : row.lines) {
            const std::size_t found = text.out.find(line, at);
            EXPECT_NE(found, std::string::npos) << line << text.out;
            at = found;
        }
        const json check = CheckJson(row.args);
        EXPECT_EQ(check["verdict"]["mergeable"], true);
        ASSERT_EQ(check["fields"].size(), row.fields.size());
        for (std::size_t i = 0; i < row.fields.size(); ++i) {
            const json& field = check["fields"][i];
            EXPECT_EQ(json::array({field["name"], field["letter"], field["width"], field["notes"]}),
                      row.fields[i]);
        }
        EXPECT_EQ(check["inputs"][1]["records"].get<int>(), row.args.back() == t ? 1 : 3);
    }
    // The verdict of a failed check is in the JSON too; -v prints the plan before a merge.
    const json refused = CheckJson({a, c});
    EXPECT_EQ(refused["verdict"]["mergeable"], false);
    EXPECT_EQ(refused["verdict"]["reason"], "2 columns in " + a + ", 3 in " + c);
    const json extent = OgrDump(a)["extent"];
    EXPECT_EQ(refused["inputs"][0]["bounds"],
              (json{{"minx", extent[0]}, {"miny", extent[2]}, {"maxx", extent[1]}, {"maxy", extent[3]}}));
    const SProcessResult verbose = Merge({"-v", "--match-names", "-o", dir.Path("v.shp"), a, c});
    EXPECT_EQ(verbose.out.rfind("Fields of the output:\n  NAME       C(10)\n", 0), 0u) << verbose.out;
}

TEST_F(MergePlanTool, FoldersAndListsStandForTheirLayers) {
    const std::string d = dir.Path("d");
    for (const char* name : {"d/b10.shp", "d/b2.shp", "d/B3.SHP", "d/.hidden.shp", "d/sub/s.shp",
                             "d/sub/1/t.shp", "d/.h/u.shp", "one/o.shp"})
        Layer(name, kNamePop9, {"x", "1"});
    std::filesystem::copy_file(d + "/b2.dbf", d + "/alone.dbf");
    // Named once: GCC 12 at -O3 warns falsely (-Wrestrict) on "text" + a temporary std::string.
    const std::string one = dir.Path("one"), empty = dir.Path("empty"), nolist = dir.Path("nolist");
    std::filesystem::create_directory(empty);
    const std::string list = dir.Write("list.txt", "# inputs\n" + d + "/b10.shp\n\n" + one + "\r\n");
    struct SRow {
        std::vector<std::string> args;
        std::vector<std::string> inputs; // as the check lists them; empty when refused
        int exitCode;
        std::string err; // first line
    };
    const std::vector<SRow> rows = {
        {{d}, {d + "/b2.shp", d + "/B3.shp", d + "/b10.shp"}, 0, ""},
        {{"--recursive", d},
         {d + "/b2.shp", d + "/B3.shp", d + "/b10.shp", d + "/sub/s.shp", d + "/sub/1/t.shp"},
         0,
         ""},
        {{"@" + list, d + "/b2.shp"}, {d + "/b10.shp", one + "/o.shp", d + "/b2.shp"}, 0, ""},
        {{one},
         {},
         2,
         "fennick-merge: " + one +
             " yields 1 layer; two or more input "
             "layers are needed\n"},
        {{empty, d}, {}, 1, "The folder holds no layer.: " + empty + ".\n"},
        {{"@" + nolist, d}, {}, 1, "The list of inputs cannot be read.: " + nolist + ".\n"},
    };
    for (const SRow& row : rows) {
        std::vector<std::string> args = row.args;
        args.insert(args.begin(), {"--check", "--json"});
        const SProcessResult r = Merge(args);
        EXPECT_EQ(r.exitCode, row.exitCode) << r.err;
        EXPECT_EQ(FirstLine(r.err), row.err);
        if (!row.inputs.empty()) {
            std::vector<std::string> inputs;
            const json check = json::parse(r.out);
            for (const json& input : check["inputs"])
                inputs.push_back(input["path"]);
            EXPECT_EQ(inputs, row.inputs);
        }
    }
    // Standard input as the list; the output's own set is never an input of its folder.
    const SProcessResult piped =
        RunProcess("/bin/sh", {"-c", "printf '" + d + "/b2.shp\\n" + d + "/b10.shp\\n' | " +
                                         ToolPath("fennick-merge") + " --check -q @-"});
    EXPECT_EQ(piped.out, "The files can be merged.\n") << piped.err;
    const SProcessResult own =
        Merge({"--overwrite", "-o", d + "/b10.shp", "--report", dir.Path("r.json"), d});
    EXPECT_EQ(own.exitCode, 0) << own.err;
    const json report = json::parse(CTempDir::Read(dir.Path("r.json")));
    EXPECT_EQ(report["inputs"].size(), 2u);
    EXPECT_EQ(report["inputs"][1]["path"], d + "/B3.shp");
}

TEST_F(MergePlanTool, CodePagesAreChosenNeverGuessed) {
    const std::vector<SOgrField> fields = {{"NAME", 'C', 20, 0}, {"POP", 'N', 9, 0}};
    const std::string u = Layer("u.shp", fields, {"Москва", "1"});
    const std::string w = Layer("w.shp", fields, {"Zürich", "2"}, "CP1252");
    const std::string w2 = Layer("w2.shp", fields, {"Genève", "3"}, "CP1252");
    // Cyrillic bytes of code page 1251 in a table that declares none.
    const std::string n = Layer("n.shp", fields, {"Москва", "4"}, "CP1251");
    std::filesystem::remove(dir.Path("n.cpg"));
    std::string dbf = CTempDir::Read(dir.Path("n.dbf"));
    dbf[29] = 0;
    dir.Write("n.dbf", dbf);
    struct SRow {
        std::vector<std::string> args;
        int exitCode;
        std::string out; // a line of it
        std::string err; // a piece of it
        std::string cpg;
        int languageDriver;
        std::string firstValue; // as GDAL reads the output
    };
    const std::string cantHold =
        "  " + u + ", record 1, field NAME: \"Москва\" (code page 1252 cannot hold it)\n";
    const std::vector<SRow> rows = {
        {{"--check", "--encoding", "1252", w, u},
         1,
         cantHold,
         "The output's code page cannot hold every text.",
         "",
         0,
         ""},
        {{"--encoding", "CP1252", w, u}, 1, "", "Record 1, field NAME:", "", 0, ""},
        {{"--encoding", "windows-1252", w, w2}, 0, "", "", "1252", 3, "Zürich"},
        {{"--encoding", "UTF8", w, u}, 0, "", "", "UTF-8", 0, "Zürich"},
        {{"--input-encoding", "1251", u, n}, 0, "", "", "UTF-8", 0, "Москва"},
        {{"--input-encoding", "1251", n, u}, 0, "", "", "1251", 0, "Москва"},
        {{"--encoding", "KLINGON", w, u}, 2, "", "names no code page known here", "", 0, ""},
    };
    for (const SRow& row : rows) {
        const std::string out = dir.Path("out.shp");
        std::vector<std::string> args = row.args;
        if (args.front() != "--check")
            args.insert(args.begin(), {"--overwrite", "-o", out});
        const SProcessResult r = Merge(args);
        EXPECT_EQ(r.exitCode, row.exitCode) << r.err;
        EXPECT_NE(r.out.find(row.out), std::string::npos) << r.out;
        EXPECT_NE(r.err.find(row.err), std::string::npos) << r.err;
        if (row.exitCode != 0 || args.front() == "--check")
            continue;
        EXPECT_EQ(CTempDir::Read(dir.Path("out.cpg")), row.cpg);
        EXPECT_EQ(static_cast<uint8_t>(CTempDir::Read(dir.Path("out.dbf"))[29]), row.languageDriver);
        const json merged = OgrDump(out);
        EXPECT_EQ(merged["features"][0]["values"][0], row.firstValue);
        EXPECT_EQ(merged["features"][3]["values"][0], row.args.back() == w2 ? "Genève" : "Москва");
        EXPECT_EQ(merged["count"], 6);
    }
}

TEST_F(MergePlanTool, ATargetSystemAndAReportWhateverTheOutcome) {
    const auto prj = [&](const std::string& name, int epsg) {
        OGRSpatialReference system;
        system.importFromEPSG(epsg);
        system.morphToESRI();
        char* wkt = nullptr;
        system.exportToWkt(&wkt);
        const std::string path = dir.Write(name, wkt);
        CPLFree(wkt);
        return path;
    };
    const std::string a = Layer("a.shp", kNamePop9, {"x", "1"});
    const std::string b = Layer("b.shp", kNamePop9, {"y", "2"});
    prj("a.prj", 4326);
    prj("b.prj", 4326);
    const std::string utm = prj("utm.prj", 32632);
    const std::string cyrillic = Layer("c.shp", kNamePop9, {"Ж", "3"});
    const std::string p = dir.Path("p.shp");
    WriteOgrLayer(p, "LINESTRING", kNamePop9, {{"LINESTRING (0 0,1 1)", {"z", "3"}}});
    const std::string out = dir.Path("out.shp");
    const std::string reportPath = dir.Path("report.json");
    struct SRow {
        std::vector<std::string> args;
        int exitCode;
        std::string outcome;
        std::string message;
        bool converted;
    };
    const std::vector<SRow> rows = {
        {{"--target-crs", utm, a, b}, 0, "success", "", true},
        {{"--target-crs", "EPSG:32632", a, b}, 0, "success", "", true},
        {{a, b}, 0, "success", "", false},
        {{"--skip-bad-records", "--encoding", "1252", a, cyrillic}, 0, "success", "", false},
        {{a, p}, 1, "failure", p + ": Different shape types..", false},
        {{"--target-crs", "EPSG:x", a, b},
         1,
         "failure",
         "The target coordinate system cannot be read.: EPSG:x.",
         false},
    };
    for (const SRow& row : rows) {
        std::vector<std::string> args = row.args;
        args.insert(args.begin(), {"--overwrite", "--report", reportPath, "-o", out});
        const SProcessResult r = Merge(args);
        EXPECT_EQ(r.exitCode, row.exitCode) << r.err;
        const json report = json::parse(CTempDir::Read(reportPath));
        EXPECT_EQ(report["outcome"], row.outcome);
        EXPECT_EQ(report["command"].back(), row.args.back());
        if (row.exitCode != 0) {
            EXPECT_EQ(report["message"], row.message);
            EXPECT_TRUE(report["output"].is_null());
            continue;
        }
        ASSERT_EQ(report["inputs"].size(), 2u);
        // Code page 1252 holds no Cyrillic: each record of that input is left out, named with its reason.
        const json& second = report["inputs"][1];
        const int skipped = row.args.back() == cyrillic ? 3 : 0;
        EXPECT_EQ(second["records_read"], 3);
        EXPECT_EQ(second["records_written"], 3 - skipped);
        ASSERT_EQ(second["records_skipped"].size(), static_cast<std::size_t>(skipped));
        for (int i = 0; i < skipped; ++i) {
            EXPECT_EQ(second["records_skipped"][i]["record"], i + 1);
            EXPECT_NE(second["records_skipped"][i]["reason"].get<std::string>().find("field NAME"),
                      std::string::npos);
        }
        EXPECT_EQ(second["converted"], row.converted);
        EXPECT_EQ(report["output"]["records"], 6 - skipped);
        for (const json& file : report["output"]["files"])
            EXPECT_EQ(file["bytes"], std::filesystem::file_size(file["path"].get<std::string>()));
        EXPECT_EQ(report["fields"][1]["name"], "POP");
        const json merged = OgrDump(out);
        const double x = merged["features"][0]["points"][0][0];
        if (row.converted) {
            EXPECT_EQ(CTempDir::Read(dir.Path("out.prj")), CTempDir::Read(utm));
            OGRSpatialReference from;
            OGRSpatialReference to;
            from.importFromEPSG(4326);
            from.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
            to.importFromEPSG(32632);
            to.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
            double px = 0;
            double py = 45;
            std::unique_ptr<OGRCoordinateTransformation>(OGRCreateCoordinateTransformation(&from, &to))
                ->Transform(1, &px, &py);
            EXPECT_NEAR(x, px, 1e-3); // (0, 45) where GDAL puts it
        } else {
            EXPECT_EQ(x, 0.0);
        }
    }
}
