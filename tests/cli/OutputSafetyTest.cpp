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
#include <tuple>
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
    // A merge, with a test hook's setting (FENNICK_COMMIT_CRASH=N, FENNICK_COMMIT_APPEAR=N:name) when given.
    SProcessResult Merge(std::vector<std::string> args, const std::string& hook = "") {
        if (hook.empty())
            return RunProcess(ToolPath("fennick-merge"), args);
        args.insert(args.begin(), {hook, ToolPath("fennick-merge")});
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
    Layer("old.shp", 1);
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
        {"old", 1, dir.Path("old.shp") + " already exists"},
        {"old.SHP", 1, dir.Path("old.shp") + " already exists"},
        {"old.txt", 1, dir.Path("old.shp") + " already exists"},
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
    // One lock whatever the letter case of the name: M.SHP is the same output.
    EXPECT_NE(Merge({"-o", dir.Path("M.SHP"), a, b}).err.find("Another merge is writing"), std::string::npos);
    ::close(fd);
    EXPECT_EQ(Merge({"--overwrite", "-o", dir.Path("m.shp"), a, b}).exitCode, 0);
    EXPECT_TRUE(Hidden().empty());
}

// The output is never one of the inputs, whatever name leads to it and with or without --overwrite.
TEST_F(OutputSafety, TheOutputIsNeverAnInput) {
    const std::string a = Layer("a.shp", 3);
    const std::string b = Layer("b.shp", 3, 10);
    fs::create_directory(dir.Path("sub"));
    fs::create_symlink(a, dir.Path("link.shp"));
    fs::create_hard_link(dir.Path("b.dbf"), dir.Path("twin.dbf"));
    const auto before = Snapshot(dir.Path());
    const std::string up = "sub/../../" + fs::path(dir.Path()).filename().string();
    // The output typed, as named in the message, the input it would replace, and whether with --overwrite.
    const std::vector<std::tuple<std::string, std::string, std::string, bool>> cases = {
        {"A.SHP", "A.SHP", a, true},
        {"./a.shp", "./a.shp", a, true},
        {"a", "a.shp", a, false},
        {"a.txt", "a.shp", a, true},
        {up + "/B.shp", up + "/B.shp", b, true},
        {"link.shp", "link.shp", a, true},
        {"twin.shp", "twin.shp", b, true}};
    for (const auto& [output, shown, replaced, overwrite] : cases) {
        SCOPED_TRACE(output);
        const auto r = Merge(
            {overwrite ? "--overwrite" : "-q", "--where", "NAME=feature 1", "-o", dir.Path(output), a, b});
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_EQ(r.err, "The output " + dir.Path(shown) + " would replace the input " + replaced +
                             "; choose another name.\n");
        EXPECT_EQ(Snapshot(dir.Path()), before);
    }
}

// A file that appears in the output's set while the merge writes fails the merge and is left as it is; the
// files already placed are taken back, and an old set under --overwrite stays the old set.
TEST_F(OutputSafety, AFileThatAppearsMeanwhileIsNeverReplaced) {
    const std::string a = Layer("a.shp", 3);
    const std::string b = Layer("b.shp", 3, 10);
    // With --overwrite, and FENNICK_COMMIT_APPEAR's step:name. Steps: 1 before the commit, 2.. before each
    // rename (new names first: .shx, .dbf, .cpg), 5 before the old members are removed, 6 before the .shp.
    const std::vector<std::pair<bool, std::string>> cases = {
        {false, "1:o.shp"}, {false, "1:o.qix"}, {false, "3:o.dbf"}, {false, "5:O.SHP"},
        {true, "1:o.qix"},  {true, "2:o.cpg"},  {true, "3:o.prj"}};
    for (const auto& [overwrite, appear] : cases) {
        SCOPED_TRACE(appear);
        for (const char* name : {"o.shp", "o.shx", "o.dbf", "o.cpg", "o.prj", "o.qix", "O.SHP"})
            fs::remove(dir.Path(name));
        if (overwrite) {
            ASSERT_EQ(Merge({"-o", dir.Path("o.shp"), b, b}).exitCode, 0);
            fs::remove(dir.Path("o.cpg"));
        }
        auto expected = Snapshot(dir.Path());
        const std::string name = appear.substr(2);
        expected[name] = "appeared";
        const auto r = Merge({overwrite ? "--overwrite" : "-q", "-o", dir.Path("o.shp"), a, b},
                             "FENNICK_COMMIT_APPEAR=" + appear);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.err.find(dir.Path(name) + " appeared while the merge was writing"), std::string::npos)
            << r.err;
        EXPECT_EQ(Snapshot(dir.Path()), expected);
    }
}

// Killed at every step of the commit, to a new output or over an older one, the process never leaves a new
// .shp without its .shx and .dbf; fennick-info says a commit is pending, and the next merge to the output,
// without --overwrite, finishes that commit (or removes the temporaries) before its own check.
TEST_F(OutputSafety, ACrashAtAnyStepOfTheCommitIsRepairedByTheNextMerge) {
    const std::string a = Layer("a.shp", 3);
    const std::string b = Layer("b.shp", 3, 10);
    const std::string c = Layer("c.shp", 4, 20);
    const std::string out = dir.Path("out.shp");
    for (const bool overOld : {false, true})
        for (int step = 1; step <= 7; ++step) {
            SCOPED_TRACE(std::to_string(step) + (overOld ? " over an old set" : ""));
            for (const char* ext : {"shp", "shx", "dbf", "cpg", "prj", "qix"})
                fs::remove(dir.Path(std::string("out.") + ext));
            if (overOld) {
                ASSERT_EQ(Merge({"-o", out, a, b}).exitCode, 0);
                dir.Write("out.qix", "old index");
            }
            const auto old = Snapshot(dir.Path());
            const auto killed = Merge({overOld ? "--overwrite" : "-q", "-o", out, a, c},
                                      "FENNICK_COMMIT_CRASH=" + std::to_string(step));
            EXPECT_EQ(killed.signal, SIGKILL);
            auto now = Snapshot(dir.Path());
            std::erase_if(now, [](const auto& entry) { return entry.first[0] == '.'; });
            // Before the journal the old set stands as it was; a new .shp never shows without its companions.
            EXPECT_TRUE(step > 1 || now == old) << "the set changed";
            EXPECT_TRUE(overOld || !fs::exists(out) ||
                        (fs::exists(dir.Path("out.shx")) && fs::exists(dir.Path("out.dbf"))));
            const std::string info = RunProcess(ToolPath("fennick-info"), {out}).err;
            EXPECT_EQ(info.find("the next merge to this output finishes") != std::string::npos, step > 1)
                << info;

            // Only a merge killed before its journal leaves the output free for the next one.
            const auto next = Merge({"-o", out, a, b});
            const bool free = step == 1 && !overOld;
            EXPECT_TRUE(Hidden().empty()) << Hidden().front();
            EXPECT_EQ(next.exitCode, free ? 0 : 1) << next.err;
            EXPECT_EQ(next.err.find("already exists") != std::string::npos, !free) << next.err;
            EXPECT_EQ(OgrDump(out)["count"], step == 1 ? 6 : 7);
            EXPECT_EQ(fs::exists(dir.Path("out.qix")), step == 1 && overOld);
        }
}

// The smaller holes: members that are folders, names too long for the temporaries, oversized companions,
// usage errors, and a filter that keeps nothing.
TEST_F(OutputSafety, SmallHolesAreRefusedUpFront) {
    const std::string a = Layer("a.shp", 3);
    const std::string b = Layer("b.shp", 3, 10);
    fs::create_directory(dir.Path("held.dbf"));
    dir.Write("held.dbf/inside", "kept");
    const std::string big = Layer("big.shp", 2, 30);
    fs::resize_file(dir.Write("big.prj", "GEOGCS[]"), 3 << 20);
    const std::string longName = dir.Path(std::string(221, 'x') + ".shp");
    // The exit status, a part of stderr, the arguments.
    const std::vector<std::tuple<int, std::string, std::vector<std::string>>> cases = {
        {1, dir.Path("held.dbf") + " is a folder", {"--overwrite", "-o", dir.Path("held.shp"), a, b}},
        {1, "is 221 bytes long; at most 220 bytes fit", {"-o", longName, a, b}},
        {1, "it is larger than 1 MB", {"-o", dir.Path("p.shp"), big, b}},
        {2, "two or more input layers are needed", {"-o", dir.Path("p.shp"), a}},
        {2, "--where needs FIELD=VALUES", {"--where", "NAME=", "-o", dir.Path("p.shp"), a, b}},
        {2, "option '--output' given twice", {"-o", dir.Path("p.shp"), "--output", dir.Path("q.shp"), a, b}},
        {2, "'--where' given twice", {"--where=NAME=x", "--where", "NAME=y", "-o", dir.Path("p.shp"), a, b}},
        {0, "no record of the inputs matched NAME=none", {"--where", "NAME=none", "-o", dir.Path("n"), a, b}},
    };
    for (const auto& [exitCode, errPart, args] : cases) {
        SCOPED_TRACE(errPart);
        const auto r = Merge(args);
        EXPECT_EQ(r.exitCode, exitCode) << r.err;
        EXPECT_NE(r.err.find(errPart), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(dir.Path("p.shp")));
        EXPECT_TRUE(Hidden().empty());
    }
    EXPECT_EQ(CTempDir::Read(dir.Path("held.dbf/inside")), "kept");
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

// The check predicts the output's sizes from the inputs' headers (here a .shp header stating more than the
// file holds): an exact size past 4 GB refuses the merge before anything is written, a bound past it (records
// may be left out) or a size past 2 GB warns and goes on.
TEST_F(OutputSafety, SizesPastTheLimitsAreFoundBeforeWriting) {
    const std::string layer = Layer("in.shp", 3);
    const auto stating = [&](const std::string& name, uint32_t words) {
        std::string shp = CTempDir::Read(layer);
        for (int i = 0; i < 4; ++i)
            shp[24 + i] = static_cast<char>(words >> (24 - 8 * i));
        for (const char* ext : {".shx", ".dbf"})
            fs::copy_file(dir.Path("in") + ext, dir.Path(name) + ext);
        return dir.Write(name + ".shp", shp);
    };
    const std::string big = stating("big", 0x48000000), mid = stating("mid", 0x24000000);
    const std::tuple<std::vector<std::string>, int, std::string> rows[] = {
        {{big, big},
         1,
         "The output's .shp: The shapefile would pass the format's size limit of 4 GB..\n  It would take "
         "4831838108 bytes"},
        {{"--where", "NAME=feature 1", big, big},
         0,
         "warning: the output's .shp may take up to 4831838108 bytes"},
        {{mid, mid},
         0,
         "warning: the output's .shp would take 2415919004 bytes; some programs read no further than 2 GB."},
    };
    for (const auto& [inputs, exitCode, err] : rows) {
        SCOPED_TRACE(err);
        std::vector<std::string> args = {"--overwrite", "-o", dir.Path("out.shp")};
        args.insert(args.end(), inputs.begin(), inputs.end());
        const auto r = Merge(args);
        EXPECT_EQ(r.exitCode, exitCode) << r.err;
        EXPECT_NE(r.err.find(err), std::string::npos) << r.err;
        EXPECT_EQ(fs::exists(dir.Path("out.shp")), exitCode == 0);
    }
}
