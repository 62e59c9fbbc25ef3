#include "data/IString.h"

#include "platform/CodePage.h"

#include <gtest/gtest.h>

using namespace fennick;

TEST(CIString, EmptyOrNullNarrowTextKeepsThePreviousText) {
    CIString s(u"previous");
    EXPECT_EQ(s.SetFromMultiByte("", 1252), 0);
    EXPECT_EQ(s.SetFromMultiByte(static_cast<const char*>(nullptr), 1252), 0);
    EXPECT_EQ(s.Str(), u"previous");
}

TEST(CIString, NegativeCodePageMakesOneSignedUnitPerByte) {
    CIString s;
    ASSERT_EQ(s.SetFromMultiByte("\xE9", -1), 1);
    EXPECT_EQ(s.Str(), u"\uFFE9");
    // The writer's low-byte rule turns it back into the same byte.
    EXPECT_EQ(WideToLowBytes(s.Str()), "\xE9");
}

TEST(CIString, ConversionThatYieldsNothingFallsBackToOneUnitPerByte) {
    CIString s;
    ASSERT_EQ(s.SetFromMultiByte("ab\xFF", 65001), 1); // not UTF-8
    EXPECT_EQ(s.Str(), u"ab\uFFFF");
    ASSERT_EQ(s.SetFromMultiByte("\xD0\x9C", 65001), 1);
    EXPECT_EQ(s.Str(), u"М");
}

TEST(CIString, SetTextNullEmpties) {
    CIString s(u"x");
    EXPECT_EQ(s.SetText(u"roads"), 1);
    EXPECT_EQ(std::u16string(s.GetText()), u"roads");
    EXPECT_EQ(s.SetText(nullptr), 1);
    EXPECT_EQ(std::u16string(s.GetText()), u"");
}
