#pragma once
// Number text of xBase fields, independent of the process locale (the GUI toolkit may set one whose decimal
// separator is not a point): reading like atoi/atof and printing like printf's %d, %.*f and %.*g.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace fennick {

// Leading white space, an optional sign, decimal digits; 0 when there are none. Values beyond the range
// saturate at its ends.
int64_t ParseXBaseInt64(std::string_view text);
int32_t ParseXBaseInt32(std::string_view text);
// A decimal real number as strtod reads it in the C locale; 0 when there is none.
double ParseXBaseDouble(std::string_view text);
// Strictly: the whole text (blanks around it aside) is one decimal number,
// [sign]digits[.digits][e[sign]digits] with at least one digit before the exponent; a decimal comma, a word
// or anything after the number is not. Its value as ParseXBaseDouble reads it; false, with value untouched,
// for anything else.
bool ParseXBaseNumber(std::string_view text, double& value);

// Whether text is exactly what printing reads back: PrintInt64(ParseXBaseInt64(text)) for IsPlainInteger,
// PrintFixed(ParseXBaseDouble(text), decimals) for IsPlainFixed. True only for texts of the printed form
// (an optional minus, no leading zeros, exactly the decimals) short enough to be exact (at most 18 digits
// for integers, 15 significant digits for reals) and not negative zero; false says nothing.
bool IsPlainInteger(std::string_view text);
bool IsPlainFixed(std::string_view text, int decimals);

// Whether a stored field text (blanks around it removed) stands for a null, as xBase writers store one: a
// blank or asterisk-filled number, a blank or all-zero date, a blank or "?" logical. Texts are never null.
bool IsStoredNull(char type, std::string_view text);

// Large enough for any printed double with up to 255 decimals.
constexpr std::size_t kNumberTextSize = 640;

// Each prints into out (kNumberTextSize bytes) and returns the length; nothing is padded.
std::size_t PrintInt64(char* out, int64_t value);
// printf("%.*f", decimals, value); decimals above 255 are taken as 255.
std::size_t PrintFixed(char* out, double value, int decimals);
// printf("%.*g", precision, value).
std::size_t PrintGeneral(char* out, double value, int precision);
// The shortest text that reads back as the same value.
std::size_t PrintShortest(char* out, double value);

} // namespace fennick
