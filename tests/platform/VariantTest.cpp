#include "platform/Variant.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

using namespace fennick;

TEST(Variant, DatesCountDaysFrom30December1899) {
    double d = -1;
    ASSERT_TRUE(SystemTimeToVariantTime(1899, 12, 30, 0, 0, 0, &d));
    EXPECT_EQ(d, 0.0);
    ASSERT_TRUE(SystemTimeToVariantTime(1900, 1, 1, 0, 0, 0, &d));
    EXPECT_EQ(d, 2.0);
    ASSERT_TRUE(SystemTimeToVariantTime(1995, 7, 26, 0, 0, 0, &d));
    EXPECT_EQ(d, 34906.0);
    ASSERT_TRUE(SystemTimeToVariantTime(2000, 2, 29, 12, 0, 0, &d));
    EXPECT_EQ(d, 36585.5);
    EXPECT_FALSE(SystemTimeToVariantTime(2001, 2, 29, 0, 0, 0, &d));
    EXPECT_FALSE(SystemTimeToVariantTime(2001, 13, 1, 0, 0, 0, &d));
    EXPECT_FALSE(SystemTimeToVariantTime(2001, 0, 1, 0, 0, 0, &d));
    // Back again, at the ends of the range and across leap days and times.
    for (const auto& [y, mo, da, h, mi, s] :
         {std::array{100, 1, 1, 0, 0, 0}, std::array{1899, 12, 29, 6, 0, 0},
          std::array{2000, 2, 29, 23, 59, 59}, std::array{2024, 1, 31, 0, 0, 0},
          std::array{9999, 12, 31, 12, 30, 1}}) {
        ASSERT_TRUE(SystemTimeToVariantTime(y, mo, da, h, mi, s, &d));
        int back[6] = {};
        ASSERT_TRUE(VariantTimeToSystemTime(d, &back[0], &back[1], &back[2], &back[3], &back[4], &back[5]));
        EXPECT_EQ((std::array{back[0], back[1], back[2], back[3], back[4], back[5]}),
                  (std::array{y, mo, da, h, mi, s}));
    }
    int parts[6];
    EXPECT_FALSE(VariantTimeToSystemTime(std::nan(""), &parts[0], &parts[1], &parts[2], &parts[3], &parts[4],
                                         &parts[5]));
    EXPECT_FALSE(
        VariantTimeToSystemTime(3e6, &parts[0], &parts[1], &parts[2], &parts[3], &parts[4], &parts[5]));
    // A null converts to nothing.
    CVariant out;
    const CVariant null = CVariant::Null();
    EXPECT_NE(VariantChangeType(&out, &null, VT_R8), 0);
    EXPECT_NE(VariantChangeType(&out, &null, VT_BSTR), 0);
}

TEST(Variant, DecimalHoldsIntegersBeyond32BitsExactly) {
    const CVariant big = CVariant::FromInt64(3000000000LL);
    EXPECT_EQ(big.vt, VT_DECIMAL);
    EXPECT_EQ(big.decVal.sign, 0);
    EXPECT_EQ(big.decVal.lo64, 3000000000ULL);
    const CVariant neg = CVariant::FromInt64(-2147483648LL);
    EXPECT_EQ(neg.decVal.sign, 0x80);
    EXPECT_EQ(neg.decVal.lo64, 2147483648ULL);
    int64_t back = 0;
    ASSERT_TRUE(neg.DecimalToInt64(back));
    EXPECT_EQ(back, -2147483648LL);
    ASSERT_TRUE(CVariant::FromInt64(INT64_MIN).DecimalToInt64(back));
    EXPECT_EQ(back, INT64_MIN);

    CVariant text;
    ASSERT_EQ(VariantChangeType(&text, &big, VT_BSTR), 0);
    EXPECT_EQ(text.bstrVal, u"3000000000");
}

TEST(Variant, ChangeTypeConvertsAndRefusesWhatDoesNotFit) {
    CVariant out = CVariant::FromString(u"untouched");
    const CVariant text = CVariant::FromString(u" 42 ");
    ASSERT_EQ(VariantChangeType(&out, &text, VT_I4), 0);
    EXPECT_EQ(out.vt, VT_I4);
    EXPECT_EQ(out.lVal, 42);

    const CVariant real = CVariant::FromR8(2.5);
    ASSERT_EQ(VariantChangeType(&out, &real, VT_I4), 0);
    EXPECT_EQ(out.lVal, 2); // half to even

    const CVariant huge = CVariant::FromR8(1e12);
    out = CVariant::FromI4(7);
    EXPECT_EQ(VariantChangeType(&out, &huge, VT_I4), DISP_E_OVERFLOW);
    EXPECT_EQ(out.lVal, 7);

    const CVariant word = CVariant::FromString(u"abc");
    EXPECT_EQ(VariantChangeType(&out, &word, VT_R8), DISP_E_TYPEMISMATCH);

    ASSERT_EQ(VariantChangeType(&out, &real, VT_BSTR), 0);
    EXPECT_EQ(out.bstrVal, u"2.5");
    const CVariant yes = CVariant::FromBool(true);
    ASSERT_EQ(VariantChangeType(&out, &yes, VT_I4), 0);
    EXPECT_EQ(out.lVal, -1);
}

TEST(Variant, ClearAndCopy) {
    CVariant a = CVariant::FromString(u"text");
    CVariant b;
    ASSERT_EQ(VariantCopy(&b, &a), 0);
    EXPECT_EQ(b.vt, VT_BSTR);
    EXPECT_EQ(b.bstrVal, u"text");
    VariantClear(&a);
    EXPECT_EQ(a.vt, VT_EMPTY);
    EXPECT_TRUE(a.bstrVal.empty());
    EXPECT_EQ(b.bstrVal, u"text");
}
