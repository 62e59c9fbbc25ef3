// The output never destroys what it was not asked to replace: the inputs, unrelated files beside it, another
// merge's output, or the old output when the process dies in the middle of the commit.

#include "BoundedRun.h"
#include "OgrLayer.h"
#include "Process.h"
#include "TempDir.h"
#include "WriterFakes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <unistd.h>

using namespace fennick::test;
namespace fs = std::filesystem;

namespace {

class OutputSafety : public testing::Test {
protected:
    std::string Layer(const std::string& name, int count, int offset = 0) {
        std::vector<SOgrFeature> features;
        for (int i = 0; i < count; ++i) {
            const std::string a = std::to_string(offset + i), b = std::to_string(offset + i + 1);
            features.push_back({"POLYGON ((" + a + " 0," + a + " 1," + b + " 1," + b + " 0," + a + " 0))",
                                {"feature " + std::to_string(offset + i)}});
        }
        const std::string path = dir.Path(name);
        WriteOgrLayer(path, "POLYGON", {{"NAME", 'C', 40, 0}}, features);
        return path;
    }
    SProcessResult Merge(std::vector<std::string> args, const std::string& crashAt = "") {
        if (crashAt.empty())
            return RunProcess(ToolPath("fennick-merge"), args);
        args.insert(args.begin(), {"FENNICK_COMMIT_CRASH=" + crashAt, ToolPath("fennick-merge")});
        return RunProcess("/usr/bin/env", args);
    }
    // The hidden files of the folder: temporaries, journals, locks.
    std::vector<std::string> Hidden() {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir.Path()))
            if (entry.path().filename().string()[0] == '.')
                names.push_back(entry.path().filename().string());
        return names;
    }

    CTempDir dir;
};

} // namespace

// The files written are <folder>/<base>.shp and its set, whatever was typed, and any member of that set that
// exists refuses the merge without --overwrite.
TEST_F(OutputSafety, OneOutputNameAndItsWholeSetAreChecked) {
    const std::string north = Layer("north.shp", 3);
    const std::string centre = Layer("centre.shp", 3, 10);
    dir.Write("report.dbf", "an unrelated table");
    fs::create_directory(dir.Path("o"));
    fs::create_symlink(dir.Path("nowhere"), dir.Path("dangling.shp"));
    const auto before = Snapshot(dir.Path());
    struct SCase {
        std::string output;
        int exitCode;
        std::string stderrStart;
    };
    const std::vector<SCase> cases = {
        {"north", 1, dir.Path("north.shp") + " already exists"},
        {"north.SHP", 1, dir.Path("north.shp") + " already exists"},
        {"north.txt", 1, dir.Path("north.shp") + " already exists"},
        {"report.shp", 1, dir.Path("report.dbf") + " already exists"},
        {"dangling", 1, dir.Path("dangling.shp") + " already exists"},
        {"o/", 2, "fennick-merge: '" + dir.Path("o/") + "' names no file"},
        {".shp", 2, "fennick-merge: '" + dir.Path(".shp") + "' names no file"},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.output);
        const auto r = Merge({"-o", dir.Path(c.output), north, centre});
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_EQ(r.err.rfind(c.stderrStart, 0), 0u) << r.err;
        EXPECT_EQ(Snapshot(dir.Path()), before);
    }
    // The success text names the file written.
    const auto r = Merge({"-o", dir.Path("merged.txt"), north, centre});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "The files have been merged successfully.\n" + dir.Path("merged.shp") + "\n");
    EXPECT_EQ(OgrDump(dir.Path("merged.shp"))["count"], 6);
}

// --overwrite replaces the whole set: no old index, projection or metadata file survives beside new data.
TEST_F(OutputSafety, OverwriteReplacesTheWholeSet) {
    const std::string a = Layer("a.shp", 3);
    const std::string b = Layer("b.shp", 3, 10);
    for (const char* name : {"out.shp", "out.SHX", "out.dbf", "out.prj", "out.qix", "out.sbn", "OUT.sbx",
                             "out.shp.xml", "out.cpg", "out.atx"})
        dir.Write(name, "old");
    dir.Write("outer.qix", "not of the output's set");
    const auto r = Merge({"--overwrite", "-o", dir.Path("out.shp"), a, b});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.Path()))
        if (entry.path().filename().string().rfind("out", 0) == 0 ||
            entry.path().filename().string().rfind("OUT", 0) == 0)
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"out.cpg", "out.dbf", "out.shp", "out.shx", "outer.qix"}));
    EXPECT_EQ(OgrDump(dir.Path("out.shp"))["count"], 6);
    EXPECT_TRUE(Hidden().empty());
}

// A merge holds the output's lock from its check to the end of its commit; a second one is refused at once.
TEST_F(OutputSafety, ASecondMergeToTheSameOutputIsRefused) {
    const std::string a = Layer("a.shp", 3);
    const std::string b = Layer("b.shp", 3, 10);
    const int fd = ::open(dir.Path(".m.lock").c_str(), O_RDWR | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    const auto r = Merge({"--overwrite", "-o", dir.Path("m.shp"), a, b});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(FirstLine(r.err), CantCreate(dir.Path("m.shp")));
    EXPECT_NE(SecondLine(r.err).find("Another merge is writing " + dir.Path("m.shp")), std::string::npos)
        << r.err;
    EXPECT_FALSE(fs::exists(dir.Path("m.shp")));
    ::close(fd);
    EXPECT_EQ(Merge({"--overwrite", "-o", dir.Path("m.shp"), a, b}).exitCode, 0);
    EXPECT_TRUE(Hidden().empty());
}

// Killed at every step of the commit over an older output, the process leaves the old set whole, or a state
// the next merge to the output completes; either way no temporary survives that next merge.
TEST_F(OutputSafety, ACrashAtAnyStepOfTheCommitIsRepairedByTheNextMerge) {
    const std::string a = Layer("a.shp", 3);
    const std::string b = Layer("b.shp", 3, 10);
    const std::string c = Layer("c.shp", 4, 20);
    // Passes the check, fails on its second record: a merge that gets as far as the output and then stops.
    const std::string broken = Layer("broken.shp", 3, 30);
    std::string shp = CTempDir::Read(broken);
    shp.replace(100 + 136 + 8 + 4 + 32, 4, std::string("\x40\x00\x00\x00", 4)); // 64 parts in 5 points
    dir.Write("broken.shp", shp);
    const std::string out = dir.Path("out.shp");
    for (int step = 1; step <= 7; ++step) {
        SCOPED_TRACE(step);
        for (const char* ext : {"shp", "shx", "dbf", "cpg", "prj", "qix"})
            fs::remove(dir.Path(std::string("out.") + ext));
        ASSERT_EQ(Merge({"-o", out, a, b}).exitCode, 0);
        dir.Write("out.qix", "old index");
        const auto old = Snapshot(dir.Path());
        const auto killed = Merge({"--overwrite", "-o", out, a, c}, std::to_string(step));
        EXPECT_EQ(killed.signal, SIGKILL);
        if (step == 1) {
            // Before the journal: the old set stands as it was, beside the dead process's temporaries.
            auto now = Snapshot(dir.Path());
            for (auto it = now.begin(); it != now.end();)
                it = it->first[0] == '.' ? now.erase(it) : std::next(it);
            EXPECT_TRUE(now == old) << "the old set changed";
        }
        // The next merge to the output finishes the commit (or removes the temporaries) before its own
        // work; this one fails on its input, so what stands afterwards is the repaired state.
        const auto next = Merge({"--overwrite", "-o", out, a, broken});
        EXPECT_EQ(next.exitCode, 1) << next.err;
        EXPECT_NE(next.err.find("Record 2 of"), std::string::npos) << next.err;
        EXPECT_TRUE(Hidden().empty()) << Hidden().front();
        const int count = OgrDump(out)["count"];
        EXPECT_EQ(count, step == 1 ? 6 : 7);
        EXPECT_EQ(fs::exists(dir.Path("out.qix")), step == 1);
    }
}

// A pipe, a device or a folder among an input's files is refused at once, never waited on.
TEST_F(OutputSafety, OnlyRegularFilesAreRead) {
    const std::string a = Layer("a.shp", 3);
    for (const char* ext : {"shp", "shx", "dbf", "cpg"}) {
        SCOPED_TRACE(ext);
        const std::string b = Layer("b.shp", 3, 10);
        const std::string file = dir.Path(std::string("b.") + ext);
        fs::remove(file);
        ASSERT_EQ(::mkfifo(file.c_str(), 0644), 0);
        const auto r = RunMergeBounded({"-o", dir.Path("out.shp"), a, b}, SLimits{.wallSeconds = 10});
        EXPECT_EQ(r.exitCode, 1) << r.err;
        EXPECT_EQ(FirstLine(r.err), CantOpen(b));
        EXPECT_NE(SecondLine(r.err).find("not a regular file"), std::string::npos) << r.err;
        fs::remove(file);
    }
}
