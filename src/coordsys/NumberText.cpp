#include "coordsys/NumberText.h"

#include <cctype>
#include <charconv>
#include <cstring>

namespace fennick {

double TextToDouble(const char* text) {
    if (text == nullptr)
        return 0.0;
    while (std::isspace(static_cast<unsigned char>(*text)))
        ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') {
        negative = *text == '-';
        ++text;
    }
    double value = 0.0;
    const auto [end, error] = std::from_chars(text, text + std::strlen(text), value);
    if (error == std::errc::result_out_of_range && end != text)
        return negative ? -value : value;
    if (error != std::errc() || end == text)
        return 0.0;
    return negative ? -value : value;
}

void AppendG16(std::string& out, double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 16);
    out.append(buffer, result.ptr);
}

void AppendFixed6(std::string& out, double value) {
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    out.append(buffer, result.ptr);
}

} // namespace fennick
