#include "platform/CachedFile.h"

#include "platform/CodePage.h"

#include "TempDir.h"

#include <gtest/gtest.h>
#include <string>

using namespace fennick;
using fennick::test::CTempDir;

namespace {

// Counts the file reads the cache makes.
class CCountingFile : public CCachedFile {
public:
    using CCachedFile::CCachedFile;
    int64_t ReadRawAt(int64_t position, void* buffer, uint32_t count) override {
        Count(position, count);
        return CCachedFile::ReadRawAt(position, buffer, count);
    }
    int64_t FillAt(int64_t position, void* buffer, uint32_t count, uint32_t need) override {
        Count(position, count);
        return CCachedFile::FillAt(position, buffer, count, need);
    }
    void Count(int64_t position, uint32_t count) {
        ++calls;
        lastCount = count;
        lastPosition = position;
    }
    int64_t lastPosition = -1;
    int calls = 0;
    uint32_t lastCount = 0;
};

std::string Pattern(std::size_t n) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>('A' + i % 26);
    return s;
}

struct Fixture {
    CTempDir dir;
    std::string content = Pattern(100);
    CSysFile file;
    Fixture() {
        dir.Write("data.bin", content);
        if (!file.Open(dir.WPath("data.bin"), CSysFile::kReadDenyWrite))
            throw std::runtime_error("open");
    }
    std::string ReadAt(IFile& f, int64_t at, uint32_t count) {
        f.Seek(at, 0);
        std::string out(count, '\0');
        out.resize(f.Read(out.data(), count));
        return out;
    }
};

} // namespace

TEST(CachedFile, ZeroCountReadTouchesNothing) {
    Fixture fx;
    CCountingFile f(fx.file, 16);
    f.Seek(7, 0);
    char c = 0;
    EXPECT_EQ(f.Read(&c, 0), 0u);
    EXPECT_EQ(f.calls, 0);
    EXPECT_EQ(f.Seek(0, 1), 7);
}

TEST(CachedFile, ReadsInsideTheWindowUseNoFileAccessAndCrossingRefillsFromThePosition) {
    Fixture fx;
    CCountingFile f(fx.file, 16);
    EXPECT_EQ(fx.ReadAt(f, 0, 4), fx.content.substr(0, 4));
    EXPECT_EQ(f.calls, 1);
    EXPECT_EQ(f.lastCount, 16u);
    EXPECT_EQ(f.WindowFirst(), 0);
    EXPECT_EQ(f.WindowLast(), 15);

    EXPECT_EQ(fx.ReadAt(f, 4, 12), fx.content.substr(4, 12));
    EXPECT_EQ(f.calls, 1);

    // Starts inside, ends beyond: the new window starts at the read, not at the old window's end.
    EXPECT_EQ(fx.ReadAt(f, 12, 8), fx.content.substr(12, 8));
    EXPECT_EQ(f.calls, 2);
    EXPECT_EQ(f.lastPosition, 12);
    EXPECT_EQ(f.WindowFirst(), 12);
    EXPECT_EQ(f.WindowLast(), 27);

    // Backwards out of the window refills there too.
    EXPECT_EQ(fx.ReadAt(f, 3, 2), fx.content.substr(3, 2));
    EXPECT_EQ(f.calls, 3);
    EXPECT_EQ(f.WindowFirst(), 3);
}

TEST(CachedFile, ReadLargerThanCapacityGoesDirectAndKeepsTheWindow) {
    Fixture fx;
    CCountingFile f(fx.file, 16);
    fx.ReadAt(f, 0, 1);
    EXPECT_EQ(fx.ReadAt(f, 5, 40), fx.content.substr(5, 40));
    EXPECT_EQ(f.calls, 2);
    EXPECT_EQ(f.lastCount, 40u);
    EXPECT_EQ(f.lastPosition, 5);
    EXPECT_EQ(f.WindowFirst(), 0);
    EXPECT_EQ(f.WindowLast(), 15);
    EXPECT_EQ(f.Seek(0, 1), 45);
    // The old window still serves.
    EXPECT_EQ(fx.ReadAt(f, 2, 3), fx.content.substr(2, 3));
    EXPECT_EQ(f.calls, 2);
}

TEST(CachedFile, EndOfFileReadsReturnWhatExists) {
    Fixture fx;
    CCountingFile f(fx.file, 16);
    EXPECT_EQ(fx.ReadAt(f, 96, 8), fx.content.substr(96, 4));
    EXPECT_EQ(f.Seek(0, 1), 100);
    EXPECT_EQ(f.WindowLast(), 99);
    EXPECT_EQ(fx.ReadAt(f, 100, 8), "");
    EXPECT_EQ(fx.ReadAt(f, 5000, 8), "");                       // seeking past the end is accepted
    EXPECT_EQ(fx.ReadAt(f, 90, 60), fx.content.substr(90, 10)); // direct read crossing the end
}

TEST(CachedFile, PositionIsTakenFromTheFileOnce) {
    Fixture fx;
    fx.file.Seek(30, CFile::begin);
    CCachedFile f(fx.file, 16);
    char buf[4];
    ASSERT_EQ(f.Read(buf, 4), 4u);
    EXPECT_EQ(std::string(buf, 4), fx.content.substr(30, 4));
    EXPECT_EQ(f.Seek(-10, 1), 24);
}

TEST(CachedFile, RefusedOperationsAndBadPositions) {
    Fixture fx;
    CCachedFile f(fx.file, 16);
    EXPECT_THROW(f.Seek(0, 2), CNotSupportedException);
    EXPECT_THROW(f.Write("x", 1), CNotSupportedException);
    EXPECT_THROW(f.Flush(), CNotSupportedException);
    char buf[4];
    f.Seek(-1, 0);
    EXPECT_THROW(f.Read(buf, 1), CArchiveException);
    f.Seek(INT64_MAX - 2, 0);
    EXPECT_THROW(f.Read(buf, 4), CArchiveException);
    // The failed reads left the position where it was.
    EXPECT_EQ(f.Seek(0, 1), INT64_MAX - 2);
}

TEST(CachedFile, CloseAndAbortEmptyTheCache) {
    Fixture fx;
    CCachedFile f(fx.file, 16);
    fx.ReadAt(f, 0, 1);
    f.Close();
    EXPECT_EQ(f.WindowFirst(), -1);
    EXPECT_FALSE(fx.file.IsOpen());
    char c;
    f.Seek(0, 0);
    EXPECT_THROW(f.Read(&c, 1), CFileException);
}
