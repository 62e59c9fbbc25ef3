// fennick-merge where the surroundings are hostile: odd names, folders and unreadable files as inputs, an
// output folder it may not write, a file-size limit that stops the output half-way. Each run is bounded in
// time and memory; each failure ends with status 1 and the tool's message, and leaves no output behind.

#include "BoundedRun.h"
#include "OgrLayer.h"
#include "StxWriter.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <sys/stat.h>

using namespace fennick::test;
namespace fs = std::filesystem;

namespace {

class EnvironmentHostile : public testing::Test {
protected:
    // A polygon layer of count squares; the big one makes an output of about 1 MB.
    std::string Layer(const std::string& name, int count) {
        std::vector<SOgrFeature> features;
        for (int i = 0; i < count; ++i) {
            const std::string a = std::to_string(i), b = std::to_string(i + 1);
            features.push_back({"POLYGON ((" + a + " 0," + a + " 1," + b + " 1," + b + " 0," + a + " 0))",
                                {"feature " + std::to_string(i), std::to_string(i)}});
        }
        const std::string path = dir.Path(name);
        WriteOgrLayer(path, "POLYGON", {{"NAME", 'C', 40, 0}, {"N", 'N', 10, 0}}, features);
        return path;
    }
    void ExpectFailure(const SProcessResult& r, const std::string& message) {
        ASSERT_EQ(r.signal, 0) << r.err;
        EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(FirstLine(r.err), message);
    }
    // Makes the folder usable by the unprivileged user the permission cases run as.
    void OpenToEveryone() {
        for (const auto& entry : fs::recursive_directory_iterator(dir.Path()))
            fs::permissions(entry.path(), fs::perms::all, fs::perm_options::add);
        fs::permissions(dir.Path(), fs::perms::all, fs::perm_options::add);
    }

    CTempDir dir;
};

} // namespace

TEST_F(EnvironmentHostile, NonUtf8NamesOpenAndAreReportedAsTheyAre) {
    const std::string good = Layer("good.shp", 3);
    const std::string odd = Layer("caf\xE9-\xFF.shp", 3);
    const std::string out = dir.Path("out-\xFE.shp");
    const auto merged = RunMergeBounded({"-q", "-o", out, good, odd});
    EXPECT_EQ(merged.exitCode, 0) << merged.err;
    EXPECT_TRUE(fs::exists(out));

    const std::string missing = dir.Path("gone-\xFF.shp");
    const std::string out2 = dir.Path("out2-\xFE.shp");
    ExpectFailure(RunMergeBounded({"-q", "-o", out2, good, missing}), CantOpen(missing));
    EXPECT_FALSE(fs::exists(out2));
}

TEST_F(EnvironmentHostile, FolderAsInput) {
    const std::string good = Layer("good.shp", 3);
    fs::create_directory(dir.Path("folder.shp"));
    fs::create_directory(dir.Path("folder.shx"));
    const std::string out = dir.Path("out.shp");
    ExpectFailure(RunMergeBounded({"-q", "-o", out, good, dir.Path("folder.shp")}),
                  CantOpen(dir.Path("folder.shp")));
    ExpectFailure(RunMergeBounded({"-q", "-o", out, dir.Path("folder.shp"), good}),
                  CantOpenMain(dir.Path("folder.shp")));
    // A folder in the place of a companion.
    const std::string other = Layer("other.shp", 2);
    fs::remove(dir.Path("other.shx"));
    fs::create_directory(dir.Path("other.shx"));
    ExpectFailure(RunMergeBounded({"-q", "-o", out, good, other}), CantOpen(other));
    EXPECT_FALSE(fs::exists(out));
}

TEST_F(EnvironmentHostile, UnreadableInput) {
    const std::string good = Layer("good.shp", 3);
    const std::string locked = Layer("locked.shp", 3);
    fs::create_directory(dir.Path("out"));
    OpenToEveryone();
    fs::permissions(locked, fs::perms::none);
    const std::string out = dir.Path("out/out.shp");
    SLimits limits;
    limits.unprivileged = true;
    ExpectFailure(RunMergeBounded({"-q", "-o", out, good, locked}, limits), CantOpen(locked));
    ExpectFailure(RunMergeBounded({"-q", "-o", out, locked, good}, limits), CantOpenMain(locked));
    EXPECT_TRUE(Snapshot(dir.Path("out")).empty());
}

TEST_F(EnvironmentHostile, OutputFolderWithoutWritePermission) {
    const std::string a = Layer("a.shp", 3);
    const std::string b = Layer("b.shp", 3);
    fs::create_directory(dir.Path("out"));
    dir.Write("out/out.shp", "older output");
    OpenToEveryone();
    fs::permissions(dir.Path("out"),
                    fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    const auto before = Snapshot(dir.Path("out"));
    SLimits limits;
    limits.unprivileged = true;
    const std::string out = dir.Path("out/out.shp");
    ExpectFailure(RunMergeBounded({"--overwrite", "-q", "-o", out, a, b}, limits), CantCreate(out));
    EXPECT_EQ(Snapshot(dir.Path("out")), before);
    fs::permissions(dir.Path("out"), fs::perms::owner_all, fs::perm_options::add);
}

TEST_F(EnvironmentHostile, FileSizeLimitStopsTheOutput) {
    const std::string a = Layer("a.shp", 4000);
    const std::string b = Layer("b.shp", 4000);
    fs::create_directory(dir.Path("out"));
    for (const char* ext : {"shp", "shx", "dbf"})
        dir.Write(std::string("out/out.") + ext, std::string("older output ") + ext);
    const auto before = Snapshot(dir.Path("out"));
    const std::string out = dir.Path("out/out.shp");
    SLimits limits;
    limits.fileSizeKb = 256;
    const auto r = RunMergeBounded({"--overwrite", "-q", "-o", out, a, b}, limits);
    ASSERT_EQ(r.signal, 0) << r.err;
    EXPECT_EQ(r.exitCode, 1);
    // The limit strikes while either input is appended, or when the output is finished.
    const std::string first = FirstLine(r.err);
    EXPECT_TRUE(first == AppendFailed(a) || first == AppendFailed(b) || first == CantCreate(out)) << r.err;
    EXPECT_NE(SecondLine(r.err).find("File too large"), std::string::npos) << r.err;
    EXPECT_EQ(Snapshot(dir.Path("out")), before);
}

// The merge never consults a spatial index, so a damaged .stx beside an input must neither stop it nor
// change what it writes.
TEST_F(EnvironmentHostile, DamagedIndexFilesDoNotDisturbAMerge) {
    const std::string a = Layer("a.shp", 5);
    const std::string b = Layer("b.shp", 5);
    const std::string clean = dir.Path("clean.shp");
    ASSERT_EQ(RunMergeBounded({"-q", "-o", clean, a, b}).exitCode, 0);
    const std::string expected = CTempDir::Read(clean);

    // A tree whose nodes claim more children than they hold, a chain a thousand levels deep, and a node that
    // points back at its own start (a cycle, when sizes are trusted).
    SStxNode deep{{0, 1, 1, 0}, {0}, {}};
    for (int level = 0; level < 1000; ++level)
        deep = SStxNode{{0, 1, 1, 0}, {level % 5}, {deep}};
    // Root node at byte 13: child bytes, rectangle, record count, records, child count.
    std::string cyclic = StxFileBytes(SStxNode{{0, 1, 1, 0}, {1, 2}, {}}, 5);
    const int32_t back = -48, one = 1;
    std::memcpy(cyclic.data() + 13, &back, 4);
    std::memcpy(cyclic.data() + 13 + 4 + 32 + 4 + 8, &one, 4);
    std::string tooMany = StxFileBytes(SStxNode{{0, 1, 1, 0}, {1}, {SStxNode{{0, 1, 1, 0}, {2}, {}}}}, 5);
    const int32_t children = 0x7FFFFFFF;
    std::memcpy(tooMany.data() + tooMany.size() - 4, &children, 4);
    int round = 0;
    for (const std::string& stx :
         {StxFileBytes(deep, 5), cyclic, tooMany, std::string("STX10\xFF\xFF\xFF\x7F")}) {
        SCOPED_TRACE(round);
        dir.Write("b.stx", stx);
        const std::string out = dir.Path("out" + std::to_string(round++) + ".shp");
        const auto r = RunMergeBounded({"-q", "-o", out, a, b});
        ASSERT_EQ(r.signal, 0);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(CTempDir::Read(out), expected);
    }
}
