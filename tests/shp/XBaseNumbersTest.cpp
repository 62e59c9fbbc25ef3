// Number texts of xBase fields against the C library they must match: strtod for reading, printf's %.*f for
// printing. The quick paths for common texts must give the same bits and bytes as the general ones.
#include "shp/XBaseNumbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

namespace fennick {
namespace {

uint64_t Bits(double v) {
    uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

std::string Printf(double value, int decimals) {
    char text[700];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string Fixed(double value, int decimals) {
    char text[kNumberTextSize];
    return std::string(text, PrintFixed(text, value, decimals));
}

TEST(XBaseNumbers, ReadsTextsBitForBitLikeStrtod) {
    const char* const texts[] = {"0",
                                 "-0",
                                 "-0.0",
                                 "1.",
                                 ".5",
                                 "+.5",
                                 "12.500000",
                                 "0.000001",
                                 "-123.456789",
                                 "0.1",
                                 "0.3",
                                 "123456789012345",
                                 "1234567890123456",
                                 "9007199254740993",
                                 "1.7976931348623157",
                                 "0.0000000000000000000001",
                                 "00000000000000000012.25",
                                 "1e5",
                                 "12.5abc",
                                 "0x1p3",
                                 "inf",
                                 "  -7.25",
                                 "-",
                                 ".",
                                 "",
                                 "1.23456789012345678901234",
                                 "4503599627370497.5",
                                 "2.2250738585072014e-308"};
    for (const char* text : texts) {
        SCOPED_TRACE(text);
        EXPECT_EQ(Bits(ParseXBaseDouble(text)), Bits(std::strtod(text, nullptr)));
    }
}

TEST(XBaseNumbers, ReadsRandomDecimalsLikeStrtod) {
    std::mt19937_64 random(7);
    for (int i = 0; i < 200000; ++i) {
        const int whole = static_cast<int>(random() % 12);
        const int fraction = static_cast<int>(random() % 12);
        std::string text = random() % 2 ? "-" : "";
        for (int d = 0; d < whole; ++d)
            text += static_cast<char>('0' + random() % 10);
        if (fraction > 0 || random() % 2) {
            text += '.';
            for (int d = 0; d < fraction; ++d)
                text += static_cast<char>('0' + random() % 10);
        }
        ASSERT_EQ(Bits(ParseXBaseDouble(text)), Bits(std::strtod(text.c_str(), nullptr))) << text;
    }
}

TEST(XBaseNumbers, PrintsFixedLikePrintf) {
    const double values[] = {0.0,
                             -0.0,
                             1e-9,
                             -1e-9,
                             0.5,
                             1.5,
                             2.5,
                             0.125,
                             -0.125,
                             0.0000005,
                             0.0000015,
                             123.456789,
                             -98765.4321,
                             1e15,
                             4503599627370495.0,
                             4503599627370497.0,
                             1e300,
                             -1e-300,
                             2.675,
                             1.005,
                             999999.9999995,
                             std::nextafter(0.5, 1.0),
                             9.2e18};
    for (double value : values)
        for (int decimals : {0, 1, 2, 3, 6, 10, 15, 16, 20}) {
            SCOPED_TRACE(decimals);
            EXPECT_EQ(Fixed(value, decimals), Printf(value, decimals)) << value;
        }
}

TEST(XBaseNumbers, PrintsRandomValuesLikePrintf) {
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    for (int i = 0; i < 200000; ++i) {
        const int decimals = static_cast<int>(random() % 16);
        double value = unit(random) * std::pow(10.0, static_cast<double>(random() % 20) - 6.0);
        if (i % 3 == 0) // texts as a table holds them, which sit close to ties after scaling
            value = std::round(value * 1e6) / 1e6;
        ASSERT_EQ(Fixed(value, decimals), Printf(value, decimals)) << value << " " << decimals;
    }
}

TEST(XBaseNumbers, PlainTextsAreWhatPrintingReadsBack) {
    struct SCase {
        const char* text;
        int decimals; // -1: integer
        bool plain;
    };
    const SCase cases[] = {
        {"0", -1, true},
        {"-0", -1, false},
        {"007", -1, false},
        {"+7", -1, false},
        {"-123456789012345678", -1, true},
        {"1234567890123456789", -1, false},
        {"12a", -1, false},
        {"", -1, false},
        {"-", -1, false},
        {"0.000000", 6, true},
        {"-0.000000", 6, false},
        {"-0.000001", 6, true},
        {"26.168984", 6, true},
        {"026.168984", 6, false},
        {".168984", 6, false},
        {"26.16898", 6, false},
        {"26.1689840", 6, false},
        {"26", 0, true},
        {"26.", 0, false},
        {"999999999.999999", 6, true},
        {"9999999999.999999", 6, false},
        {"1e5", 0, false},
        {" 5", 0, false},
        {"5.5", 1, true},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.decimals < 0 ? IsPlainInteger(c.text) : IsPlainFixed(c.text, c.decimals), c.plain);
    }
}

TEST(XBaseNumbers, RandomPlainTextsPrintBackUnchanged) {
    std::mt19937_64 random(5);
    char out[kNumberTextSize];
    int plainCount = 0;
    for (int i = 0; i < 200000; ++i) {
        const int decimals = static_cast<int>(random() % 16) - 1;
        std::string text = random() % 3 == 0 ? "-" : "";
        const int whole = 1 + static_cast<int>(random() % 18);
        for (int d = 0; d < whole; ++d)
            text += static_cast<char>('0' + (d == 0 && random() % 4 ? 1 + random() % 9 : random() % 10));
        if (decimals > 0) {
            text += '.';
            for (int d = 0; d < decimals; ++d)
                text += static_cast<char>('0' + random() % 10);
        }
        if (decimals < 0) {
            if (!IsPlainInteger(text))
                continue;
            ++plainCount;
            ASSERT_EQ(std::string(out, PrintInt64(out, ParseXBaseInt64(text))), text);
        } else {
            if (!IsPlainFixed(text, decimals))
                continue;
            ++plainCount;
            ASSERT_EQ(std::string(out, PrintFixed(out, ParseXBaseDouble(text), decimals)), text);
        }
    }
    EXPECT_GT(plainCount, 50000);
}

} // namespace
} // namespace fennick
