#include "shp/XBaseNumbers.h"

#include <charconv>
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

} // namespace

int64_t ParseXBaseInt64(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    const uint64_t limit = negative ? uint64_t{1} << 63 : static_cast<uint64_t>(INT64_MAX);
    uint64_t magnitude = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        const unsigned digit = static_cast<unsigned>(text[i] - '0');
        if (magnitude > (limit - digit) / 10) {
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

std::size_t PrintInt64(char* out, int64_t value) {
    return Finish(out, std::to_chars(out, out + kNumberTextSize, value));
}

std::size_t PrintFixed(char* out, double value, int decimals) {
    if (decimals < 0)
        decimals = 0;
    if (decimals > 255)
        decimals = 255;
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

} // namespace fennick
