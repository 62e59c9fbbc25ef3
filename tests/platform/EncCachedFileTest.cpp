#include "platform/EncCachedFile.h"

#include "platform/CodePage.h"
#include "platform/GenericEx.h"

#include "EncipherFile.h"
#include "TempDir.h"

#include <gtest/gtest.h>
#include <string>

using namespace fennick;
using fennick::test::CTempDir;
using fennick::test::EncipherBytes;

namespace {

std::string Plain(std::size_t n) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>(i * 7 + 3);
    return s;
}

// The plaintext as the reader sees it: zero bytes up to the last whole block.
std::string Expected(const std::string& plain, std::size_t at, std::size_t count) {
    std::string padded = plain;
    padded.resize((plain.size() + 15) / 16 * 16, '\0');
    if (at >= padded.size())
        return {};
    return padded.substr(at, count);
}

struct Enciphered {
    CTempDir dir;
    std::string plain;
    CSysFile file;
    explicit Enciphered(std::size_t size, std::u16string_view password = u"secret") : plain(Plain(size)) {
        dir.Write("data.enc", EncipherBytes(plain, password));
        if (!file.Open(dir.WPath("data.enc"), CSysFile::kReadDenyWrite))
            throw std::runtime_error("open");
    }
    std::string Raw(CEncCachedFile& f, int64_t at, uint32_t count) {
        file.Seek(at, CFile::begin);
        std::string out(count, '\x55');
        const int64_t got = f.ReadRaw(out.data(), count);
        out.resize(static_cast<std::size_t>(got));
        return out;
    }
};

} // namespace

// ReadRaw over every mix of a partial first block, whole blocks and a partial last block.
TEST(EncCachedFile, DecryptingReadAcrossBlockBoundaries) {
    Enciphered enc(100);
    CEncCachedFile f(enc.file, 64, u"secret");
    struct Case {
        int64_t at;
        uint32_t count;
    } cases[] = {{13, 5}, {0, 16},  {0, 5},   {3, 10},  {16, 33},
                 {5, 60}, {0, 100}, {95, 10}, {90, 40}, {112, 4}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "at " << c.at << " count " << c.count);
        EXPECT_EQ(enc.Raw(f, c.at, c.count), Expected(enc.plain, c.at, c.count));
    }
}

TEST(EncCachedFile, CachedReadsGivePlaintext) {
    Enciphered enc(5000);
    CEncCachedFile f(enc.file, 30720, u"secret");
    std::string got;
    char buf[37];
    for (uint32_t n; (n = f.Read(buf, sizeof buf)) > 0;)
        got.append(buf, n);
    EXPECT_EQ(got, Expected(enc.plain, 0, 5008));
    f.Seek(4990, 0);
    ASSERT_EQ(f.Read(buf, 10), 10u);
    EXPECT_EQ(std::string(buf, 10), enc.plain.substr(4990, 10));
}

TEST(EncCachedFile, OnlyTheLowBytesOfThePasswordCount) {
    Enciphered enc(64, u"p\u0141ss\u2161"); // U+0141 -> 0x41 'A', U+2161 -> 0x61 'a'
    CEncCachedFile same(enc.file, 64, u"pAssa");
    EXPECT_EQ(enc.Raw(same, 0, 64), enc.plain);
    CEncCachedFile wrong(enc.file, 64, u"pAssb");
    const std::string garbage = enc.Raw(wrong, 0, 64);
    EXPECT_EQ(garbage.size(), 64u); // a wrong password is no error
    EXPECT_NE(garbage, enc.plain);
}

TEST(EncCachedFile, NoKeyMeansDataCorrupted) {
    Enciphered enc(32);
    CEncCachedFile f(enc.file, 64, u"");
    char buf[4];
    try {
        f.Read(buf, 4);
        FAIL() << "no error";
    } catch (const CGenericEx& e) {
        EXPECT_EQ(e.Message(), u"Data corrupted.");
    }
}
