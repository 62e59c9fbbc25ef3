// fennick-merge run as users run it: exit codes and the exact texts on stdout and stderr.

#include "OgrLayer.h"
#include "Process.h"
#include "TabFixtures.h"
#include "TempDir.h"
#include "WriterFakes.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
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
    EXPECT_EQ(Merge({"--version"}).out, "fennick-merge (Fennick) 1.0.1.0\n");

    for (const auto& args : std::vector<std::vector<std::string>>{{},
                                                                  {"--bogus", "a", "b"},
                                                                  {"a.shp", "b.shp"},
                                                                  {"-o"},
                                                                  {"--where", "NAME", "-o", "x", "a", "b"}}) {
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

    r = Merge({"-o", out, a});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "Two or more files is required.\n");

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
    EXPECT_EQ(r.out, "The files can be merged.\n");

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

// Ctrl+C is the Cancel button. The first input's code page file is a pipe, so the tool waits reading it
// while the interrupt arrives; the engine's next cancel test stops it.
TEST_F(MergeTool, InterruptCancelsAndLeavesNoOutput) {
    const std::string a = Layer("a", 0);
    const std::string b = Layer("b", 1);
    const std::string c = Layer("c", 2);
    std::filesystem::remove(dir.Path("a.cpg"));
    ASSERT_EQ(::mkfifo(dir.Path("a.cpg").c_str(), 0644), 0);
    const std::string out = dir.Path("out.shp");
    const auto r = RunProcess(ToolPath("fennick-merge"), {"-o", out, a, b, c}, [&](int pid) {
        // A writer can open the pipe only once the tool has opened it for reading, that is once it is past
        // its start-up and inside the check.
        int fd = -1;
        for (int tries = 0; fd < 0 && tries < 3000; ++tries) {
            fd = ::open(dir.Path("a.cpg").c_str(), O_WRONLY | O_NONBLOCK);
            if (fd < 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ASSERT_GE(fd, 0) << "the tool never opened the code page file";
        ::kill(pid, SIGINT);
        const std::string name = "UTF-8";
        EXPECT_EQ(::write(fd, name.data(), name.size()), static_cast<ssize_t>(name.size()));
        ::close(fd);
    });
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "The action has been cancelled.\n");
    EXPECT_FALSE(std::filesystem::exists(out));
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        EXPECT_EQ(entry.path().filename().string().find("out"), std::string::npos) << entry.path();
}
