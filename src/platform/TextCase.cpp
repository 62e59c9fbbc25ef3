#include "platform/TextCase.h"

namespace fennick {

char16_t FoldCase(char16_t c) {
    if (c < 0x80)
        return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return static_cast<char16_t>(c + 32);
    if (c >= 0x100 && c <= 0x17F) {
        if (c == 0x130)
            return u'i';
        if (c == 0x178)
            return 0xFF;
        // Capital and small letters alternate; the block between U+0139 and U+0148 and the one after U+0178
        // start on an odd unit.
        const bool oddFirst = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F)
            return c;
        const bool capital = oddFirst ? (c % 2 == 1) : (c % 2 == 0);
        return capital ? static_cast<char16_t>(c + 1) : c;
    }
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2)
        return static_cast<char16_t>(c + 32);
    if (c >= 0x410 && c <= 0x42F)
        return static_cast<char16_t>(c + 32);
    if (c >= 0x400 && c <= 0x40F)
        return static_cast<char16_t>(c + 80);
    return c;
}

namespace {

// Whether two texts are equal once each unit is folded.
template <class Unit, class Fold>
bool EqualFolded(std::basic_string_view<Unit> a, std::basic_string_view<Unit> b, Fold fold) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (fold(a[i]) != fold(b[i]))
            return false;
    }
    return true;
}

} // namespace

bool EqualIgnoringCase(std::u16string_view a, std::u16string_view b) {
    return EqualFolded(a, b, FoldCase);
}

bool EqualIgnoringAsciiCase(std::u16string_view a, std::u16string_view b) {
    return EqualFolded(a, b, FoldAsciiCase);
}

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return EqualFolded(a, b, [](char c) { return FoldAsciiCase(static_cast<unsigned char>(c)); });
}

} // namespace fennick
