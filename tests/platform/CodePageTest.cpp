#include "platform/CodePage.h"

#include <gtest/gtest.h>

using namespace fennick;

namespace {

struct SRoundTrip {
    int codePage;
    std::string bytes;
    std::u16string text;
};

class CodePageRoundTrip : public testing::TestWithParam<SRoundTrip> {};

} // namespace

TEST_P(CodePageRoundTrip, DecodesAndEncodesBothWays) {
    const auto& p = GetParam();
    std::u16string wide;
    ASSERT_EQ(MultiByteToWideChar(p.codePage, p.bytes.data(), static_cast<int>(p.bytes.size()), wide),
              static_cast<int>(p.text.size()));
    EXPECT_EQ(wide, p.text);
    std::string narrow;
    ASSERT_EQ(WideCharToMultiByte(p.codePage, p.text.data(), static_cast<int>(p.text.size()), narrow),
              static_cast<int>(p.bytes.size()));
    EXPECT_EQ(narrow, p.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Pages, CodePageRoundTrip,
    testing::Values(SRoundTrip{65001, "Z\xC3\xBCrich \xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0",
                               u"Zürich Москва"},
                    SRoundTrip{65001, "\xF0\x9F\x97\xBA", u"\U0001F5FA"},
                    SRoundTrip{1251, "\xCC\xEE\xF1\xEA\xE2\xE0", u"Москва"},
                    SRoundTrip{932, "\x93\x8C\x8B\x9E", u"東京"},
                    SRoundTrip{1252, "Caf\xE9 \x80", u"Café €"},
                    SRoundTrip{850, "Caf\x82", u"Café"},
                    SRoundTrip{866, "\x8C\xAE\xE1\xAA\xA2\xA0", u"Москва"},
                    SRoundTrip{28592, "\xB1", u"ą"},
                    SRoundTrip{0, "Caf\xE9\xFF", u"Caf\u00E9\u00FF"},
                    SRoundTrip{-1, "\xE9", u"\uFFE9"}));

TEST(CodePage, CharacterTheCodePageCannotHoldFailsInsteadOfBeingReplaced) {
    std::string out = "previous";
    EXPECT_EQ(WideCharToMultiByte(1252, u"Москва", -1, out), 0);
    EXPECT_EQ(WideCharToMultiByte(0, u"€", -1, out), 0);
    EXPECT_EQ(out, "previous");
}

TEST(CodePage, MalformedInputFails) {
    std::u16string out = u"previous";
    EXPECT_EQ(MultiByteToWideChar(65001, "\xC3", 1, out), 0);
    EXPECT_EQ(MultiByteToWideChar(65001, "\xED\xA0\x80", 3, out), 0); // an encoded surrogate
    EXPECT_EQ(MultiByteToWideChar(65001, "\xC0\xAF", 2, out), 0);     // an overlong form
    EXPECT_EQ(out, u"previous");
}

TEST(CodePage, EmptyAndUnknownGiveZero) {
    std::u16string wide = u"keep";
    EXPECT_EQ(MultiByteToWideChar(1252, "", 0, wide), 0);
    EXPECT_EQ(MultiByteToWideChar(12345, "abc\x80", 4, wide), 0);
    EXPECT_EQ(wide, u"keep");
    EXPECT_FALSE(IsCodePageSupported(12345));
    EXPECT_TRUE(IsCodePageSupported(1251));
    EXPECT_TRUE(IsCodePageSupported(0));
}

TEST(CodePage, SignedByteRuleRoundTripsEveryByte) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    const std::u16string wide = BytesToWideSigned(all);
    EXPECT_EQ(wide[0x41], u'A');
    EXPECT_EQ(wide[0x80], u'\uFF80');
    EXPECT_EQ(wide[0xFF], u'\uFFFF');
    EXPECT_EQ(WideToLowBytes(wide), all);
}

TEST(CodePage, PathsInAnyEncodingRoundTripThroughUtf8) {
    const std::string latin1Name = "/data/r\xE9seau.shp"; // not valid UTF-8
    const std::u16string wide = FromUtf8(latin1Name);
    EXPECT_EQ(ToUtf8(wide), latin1Name);
    EXPECT_EQ(FromUtf8("/data/réseau.shp"), u"/data/réseau.shp");
    EXPECT_EQ(ToUtf8(u"/data/réseau.shp"), "/data/réseau.shp");
}
