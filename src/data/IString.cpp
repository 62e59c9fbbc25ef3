#include "data/IString.h"

#include "platform/CodePage.h"

#include <cstring>

namespace fennick {

int CIString::SetFromMultiByte(const char* text, int codePage) {
    if (text == nullptr)
        return 0;
    return SetFromMultiByte(std::string_view(text, std::strlen(text)), codePage);
}

int CIString::SetFromMultiByte(std::string_view text, int codePage) {
    if (text.empty())
        return 0;
    if (codePage < 0 ||
        MultiByteToWideChar(codePage, text.data(), static_cast<int>(text.size()), m_text) == 0)
        m_text = BytesToWideSigned(text);
    return 1;
}

int CIString::SetText(const char16_t* text) {
    if (text == nullptr)
        m_text.clear();
    else
        m_text = text;
    return 1;
}

} // namespace fennick
