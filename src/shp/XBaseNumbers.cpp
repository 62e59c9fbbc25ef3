#include "shp/XBaseNumbers.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <locale.h>
#include <string>

namespace fennick {

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

locale_t CLocale() {
    static const locale_t locale = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

std::size_t Finish(char* out, std::to_chars_result result) {
    if (result.ec != std::errc())
        return 0; // cannot happen with kNumberTextSize bytes
    return static_cast<std::size_t>(result.ptr - out);
}

// Exact powers of ten as doubles (10^22 is the largest).
constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                             1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The common field text, [spaces][sign]digits[.digits] and nothing after it, with at most 15 significant
// digits and 22 decimals: the digits form an integer below 2^53 and the power of ten is exact, so one
// correctly rounded division gives the double nearest the text, which is what strtod returns. False for
// anything else (exponents, hexadecimal, words, more digits), which strtod reads.
bool ParsePlainDecimal(std::string_view text, double& value) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && IsSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    uint64_t mantissa = 0;
    int digits = 0; // significant digits taken into the mantissa
    int decimals = 0;
    bool any = false;
    for (; i < n && text[i] >= '0' && text[i] <= '9'; ++i) {
        any = true;
        if (mantissa == 0 && text[i] == '0')
            continue;
        if (++digits > 15)
            return false;
        mantissa = mantissa * 10 + static_cast<unsigned>(text[i] - '0');
    }
    if (i < n && text[i] == '.') {
        for (++i; i < n && text[i] >= '0' && text[i] <= '9'; ++i) {
            any = true;
            if (++decimals > 22)
                return false;
            if (mantissa == 0 && text[i] == '0')
                continue;
            if (++digits > 15)
                return false;
            mantissa = mantissa * 10 + static_cast<unsigned>(text[i] - '0');
        }
    }
    if (!any || i != n)
        return false;
    const double magnitude = static_cast<double>(mantissa) / kPow10[decimals];
    value = negative ? -magnitude : magnitude;
    return true;
}

// printf("%.*f") for the common case without a long computation: the value times 10^decimals, rounded to
// the integer n, is the printed digits when n is below 2^52 and the exact remainder (one fused multiply-add
// from the exact product) is clearly away from one half. Near ties, negative values that print as zero and
// large values go the general way. Returns 0 when it did not print.
std::size_t PrintFixedQuick(char* out, double value, int decimals) {
    if (decimals > 15 || !std::isfinite(value))
        return 0;
    const double scale = kPow10[decimals];
    const double scaled = value * scale;
    if (!(std::fabs(scaled) < 4503599627370496.0)) // 2^52
        return 0;
    const double whole = std::nearbyint(scaled);
    const double rest = std::fma(value, scale, -whole);
    if (!(std::fabs(rest) < 0.4999999))
        return 0;
    if (whole == 0.0 && std::signbit(value))
        return 0;
    uint64_t n = static_cast<uint64_t>(std::fabs(whole));
    char digits[24];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + n % 10);
        n /= 10;
    } while (n != 0);
    while (count <= decimals)
        digits[count++] = '0';
    std::size_t length = 0;
    if (whole < 0.0)
        out[length++] = '-';
    for (int k = count - 1; k >= 0; --k) {
        if (k == decimals - 1)
            out[length++] = '.';
        out[length++] = digits[k];
    }
    return length;
}

} // namespace

int64_t ParseXBaseInt64(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    const uint64_t limit = negative ? uint64_t{1} << 63 : static_cast<uint64_t>(INT64_MAX);
    // magnitude * 10 + digit > limit, without a division per digit.
    const uint64_t limitTens = limit / 10;
    const unsigned limitUnits = static_cast<unsigned>(limit % 10);
    uint64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const unsigned digit = static_cast<unsigned>(text[i] - '0');
        if (magnitude > limitTens || (magnitude == limitTens && digit > limitUnits)) {
            magnitude = limit;
            break;
        }
        magnitude = magnitude * 10 + digit;
    }
    if (negative)
        return magnitude == 0 ? 0 : -static_cast<int64_t>(magnitude - 1) - 1;
    return static_cast<int64_t>(magnitude);
}

int32_t ParseXBaseInt32(std::string_view text) {
    const int64_t v = ParseXBaseInt64(text);
    if (v > INT32_MAX)
        return INT32_MAX;
    if (v < INT32_MIN)
        return INT32_MIN;
    return static_cast<int32_t>(v);
}

double ParseXBaseDouble(std::string_view text) {
    double quick = 0.0;
    if (ParsePlainDecimal(text, quick))
        return quick;
    // Field texts are short; copy to get the terminating zero strtod needs.
    char small[128];
    std::string large;
    const char* start;
    if (text.size() < sizeof small) {
        text.copy(small, text.size());
        small[text.size()] = '\0';
        start = small;
    } else {
        large.assign(text);
        start = large.c_str();
    }
    const locale_t locale = CLocale();
    if (locale == static_cast<locale_t>(nullptr))
        return std::strtod(start, nullptr);
    return ::strtod_l(start, nullptr, locale);
}

bool ParseXBaseNumber(std::string_view text, double& value) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && IsSpace(text[begin]))
        ++begin;
    while (end > begin && IsSpace(text[end - 1]))
        --end;
    const std::string_view number = text.substr(begin, end - begin);
    const auto digitsFrom = [&](std::size_t& i) {
        const std::size_t start = i;
        while (i < number.size() && number[i] >= '0' && number[i] <= '9')
            ++i;
        return i - start;
    };
    std::size_t i = 0;
    if (i < number.size() && (number[i] == '+' || number[i] == '-'))
        ++i;
    std::size_t digits = digitsFrom(i);
    if (i < number.size() && number[i] == '.') {
        ++i;
        digits += digitsFrom(i);
    }
    if (digits == 0)
        return false;
    if (i < number.size() && (number[i] == 'e' || number[i] == 'E')) {
        ++i;
        if (i < number.size() && (number[i] == '+' || number[i] == '-'))
            ++i;
        if (digitsFrom(i) == 0)
            return false;
    }
    if (i != number.size())
        return false;
    value = ParseXBaseDouble(number);
    return true;
}

bool IsPlainInteger(std::string_view text) {
    std::size_t i = !text.empty() && text[0] == '-' ? 1 : 0;
    const std::size_t digits = text.size() - i;
    if (digits == 0 || digits > 18 || (text[i] == '0' && (digits > 1 || i == 1)))
        return false;
    for (; i < text.size(); ++i)
        if (text[i] < '0' || text[i] > '9')
            return false;
    return true;
}

bool IsPlainFixed(std::string_view text, int decimals) {
    if (decimals < 0 || decimals > 15)
        return false;
    const std::size_t d = static_cast<std::size_t>(decimals);
    const bool negative = !text.empty() && text[0] == '-';
    const std::size_t start = negative ? 1 : 0;
    // Whole digits, then the point and exactly the decimals (no point without decimals).
    const std::size_t fraction = d > 0 ? d + 1 : 0;
    if (text.size() < start + 1 + fraction)
        return false;
    const std::size_t wholeEnd = text.size() - fraction;
    if (d > 0 && text[wholeEnd] != '.')
        return false;
    if (text[start] == '0' && wholeEnd - start > 1)
        return false; // a leading zero
    int significant = 0;
    bool nonZero = false;
    for (std::size_t i = start; i < text.size(); ++i) {
        if (i == wholeEnd)
            continue;
        const char c = text[i];
        if (c < '0' || c > '9')
            return false;
        nonZero = nonZero || c != '0';
        if (nonZero)
            ++significant;
    }
    return significant <= 15 && (nonZero || !negative);
}

std::size_t PrintInt64(char* out, int64_t value) {
    return Finish(out, std::to_chars(out, out + kNumberTextSize, value));
}

std::size_t PrintFixed(char* out, double value, int decimals) {
    if (decimals < 0)
        decimals = 0;
    if (decimals > 255)
        decimals = 255;
    if (const std::size_t quick = PrintFixedQuick(out, value, decimals))
        return quick;
    return Finish(out, std::to_chars(out, out + kNumberTextSize, value, std::chars_format::fixed, decimals));
}

std::size_t PrintGeneral(char* out, double value, int precision) {
    if (precision < 0)
        precision = 6; // as printf treats a negative precision
    if (precision > 255)
        precision = 255;
    return Finish(out,
                  std::to_chars(out, out + kNumberTextSize, value, std::chars_format::general, precision));
}

std::size_t PrintShortest(char* out, double value) {
    return Finish(out, std::to_chars(out, out + kNumberTextSize, value));
}

bool IsStoredNull(char type, std::string_view text) {
    auto all = [text](char c) { return text.find_first_not_of(c) == std::string_view::npos; };
    switch (type) {
    case 'N':
    case 'F':
        return all('*');
    case 'D':
        return all('0');
    case 'L':
        return text.empty() || text == "?";
    default:
        return false;
    }
}

} // namespace fennick
