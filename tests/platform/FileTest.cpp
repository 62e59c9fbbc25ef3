#include "platform/File.h"
#include "platform/CodePage.h"
#include "platform/FileMapping.h"
#include "platform/FileSystem.h"
#include "platform/SysFile.h"

#include "TempDir.h"

#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace fennick;
using fennick::test::CTempDir;

TEST(File, ReadsWritesSeeksAndReportsLength) {
    CTempDir dir;
    CFile out;
    ASSERT_TRUE(out.Open(dir.WPath("a.bin"), CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive));
    out.Write("0123456789", 10);
    EXPECT_EQ(out.GetLength(), 10u);
    out.Close();

    CFile in;
    ASSERT_TRUE(in.Open(dir.WPath("a.bin"), CFile::modeRead | CFile::shareDenyWrite));
    EXPECT_EQ(in.Seek(4, CFile::begin), 4u);
    char buf[16] = {};
    EXPECT_EQ(in.Read(buf, 3), 3u);
    EXPECT_EQ(std::string(buf, 3), "456");
    EXPECT_EQ(in.Seek(-2, CFile::end), 8u);
    EXPECT_EQ(in.Read(buf, 16), 2u);
    EXPECT_EQ(in.Read(buf, 16), 0u);
}

TEST(File, CreateWithoutNoTruncateEmptiesAndWithItKeeps) {
    CTempDir dir;
    dir.Write("a.bin", "abcdef");
    {
        CFile f;
        ASSERT_TRUE(
            f.Open(dir.WPath("a.bin"), CFile::modeCreate | CFile::modeNoTruncate | CFile::modeReadWrite));
        EXPECT_EQ(f.GetLength(), 6u);
    }
    {
        CFile f;
        ASSERT_TRUE(f.Open(dir.WPath("a.bin"), CFile::modeCreate | CFile::modeWrite));
        EXPECT_EQ(f.GetLength(), 0u);
    }
}

TEST(File, FailedOpenFillsTheErrorWithCauseAndPath) {
    CTempDir dir;
    CFile f;
    CFileException error(CFileException::none, u"");
    EXPECT_FALSE(f.Open(dir.WPath("missing.shp"), CFile::modeRead, &error));
    EXPECT_EQ(error.GetCause(), CFileException::fileNotFound);
    EXPECT_EQ(error.Message(), dir.WPath("missing.shp") + u" was not found.");
    EXPECT_FALSE(f.Open(FromUtf8(dir.Path()), CFile::modeRead, &error));
    EXPECT_EQ(error.GetCause(), CFileException::accessDenied);
}

TEST(File, NonUtf8NamesOpen) {
    CTempDir dir;
    dir.Write("r\xE9seau.dbf", "x");
    CFile f;
    EXPECT_TRUE(f.Open(FromUtf8(dir.Path("r\xE9seau.dbf")), CFile::modeRead));
}

// A write beyond the process's file-size limit must raise, never pass as success.
TEST(File, ShortWriteRaisesDiskFull) {
    CTempDir dir;
    const std::string path = dir.Path("limited.bin");
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{1000, 1000};
        setrlimit(RLIMIT_FSIZE, &limit);
        CFile f;
        if (!f.Open(FromUtf8(path), CFile::modeCreate | CFile::modeWrite))
            _exit(2);
        std::string block(4096, 'x');
        try {
            f.Write(block.data(), static_cast<unsigned>(block.size()));
        } catch (const CFileException& e) {
            _exit(e.GetCause() == CFileException::diskFull ? 0 : 3);
        }
        _exit(4);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(FileSystem, FirstLineAndExistence) {
    CTempDir dir;
    dir.Write("a.cpg", "UTF-8\r\nsecond");
    EXPECT_EQ(ReadFirstLine(dir.WPath("a.cpg")).value(), "UTF-8");
    EXPECT_FALSE(ReadFirstLine(dir.WPath("none.cpg")).has_value());
    EXPECT_TRUE(PathExists(FromUtf8(dir.Path())));
    EXPECT_TRUE(IsDirectory(FromUtf8(dir.Path())));
    EXPECT_TRUE(GetLastWriteTime(dir.WPath("a.cpg")).has_value());
    EXPECT_TRUE(CopyFileOverwrite(dir.WPath("a.cpg"), dir.WPath("b.cpg")));
    EXPECT_EQ(CTempDir::Read(dir.Path("b.cpg")), "UTF-8\r\nsecond");
    EXPECT_TRUE(DeleteFile(dir.WPath("b.cpg")));
    EXPECT_FALSE(PathExists(dir.WPath("b.cpg")));
    EXPECT_FALSE(ReadSmallFile(dir.WPath("a.cpg"), 4).has_value());
}

namespace fennick {
namespace {

struct SMappedRead {
    const uint8_t* bytes = nullptr;
    std::size_t length = 0;
    unsigned sum = 0;
};

void SumMapped(void* context) {
    auto& read = *static_cast<SMappedRead*>(context);
    for (std::size_t i = 0; i < read.length; ++i)
        read.sum += read.bytes[i];
}

TEST(FileMapping, ReadingPagesAFileLostMeanwhileFailsInsteadOfEndingTheProcess) {
    test::CTempDir dir;
    const std::string path = dir.Write("mapped.bin", std::string(3 * 4096, '\x02'));
    CSysFile file;
    ASSERT_TRUE(file.Open(dir.WPath("mapped.bin"), CSysFile::kReadDenyNone));
    CMappedRange range;
    ASSERT_TRUE(range.Map(file.Handle(), 10, 3 * 4096 - 10));
    SMappedRead read{range.Data(), 3 * 4096 - 10};
    EXPECT_TRUE(RunMappedAccess(SumMapped, &read));
    EXPECT_EQ(read.sum, 2u * (3 * 4096 - 10));
    // Cut to one page: the pages behind it raise a bus error, which the guard turns into false, and the
    // guard works again afterwards.
    ASSERT_EQ(::truncate(path.c_str(), 4096), 0);
    EXPECT_FALSE(RunMappedAccess(SumMapped, &read));
    EXPECT_FALSE(RunMappedAccess(SumMapped, &read));
    read.length = 4096 - 10;
    EXPECT_TRUE(RunMappedAccess(SumMapped, &read));
}

} // namespace
} // namespace fennick
