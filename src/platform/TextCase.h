#pragma once
// Comparison of wide texts without regard to letter case, for field names and filter values.

#include <string_view>

namespace fennick {

// The small letter of a UTF-16 unit for the scripts names are written in (Latin with its supplement and
// Extended-A, Greek, Cyrillic); other units stay as they are.
char16_t FoldCase(char16_t c);
bool EqualIgnoringCase(std::u16string_view a, std::u16string_view b);

} // namespace fennick
