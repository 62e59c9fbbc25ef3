#pragma once
// Comparison of texts without regard to letter case: full folding for field names and filter values, ASCII
// folding for names the system matches only in ASCII (file extensions, settings names, charset names).

#include <string_view>

namespace fennick {

// The small letter of a UTF-16 unit for the scripts names are written in (Latin with its supplement and
// Extended-A, Greek, Cyrillic); other units stay as they are.
char16_t FoldCase(char16_t c);
bool EqualIgnoringCase(std::u16string_view a, std::u16string_view b);

// The small letter of an ASCII capital; every other unit stays as it is.
constexpr char16_t FoldAsciiCase(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
}
bool EqualIgnoringAsciiCase(std::u16string_view a, std::u16string_view b);
bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b);

} // namespace fennick
