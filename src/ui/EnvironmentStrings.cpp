#include "ui/EnvironmentStrings.h"

#include "platform/CodePage.h"

#include <cstdlib>

namespace fennick {

bool ExpandEnvironmentStrings(const std::u16string& text, std::u16string& out) {
    constexpr size_t kMaxUnits = 32767;
    std::u16string result;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t open = text.find(u'%', pos);
        if (open == std::u16string::npos) {
            result.append(text, pos);
            break;
        }
        result.append(text, pos, open - pos);
        const size_t close = text.find(u'%', open + 1);
        if (close == std::u16string::npos) {
            result.append(text, open);
            break;
        }
        const std::u16string name = text.substr(open + 1, close - open - 1);
        const char* value = name.empty() ? nullptr : std::getenv(ToUtf8(name).c_str());
        if (value) {
            result += FromUtf8(value);
            pos = close + 1;
        } else {
            // Not a reference: keep the first "%" and look for one starting at the second.
            result += u'%';
            pos = open + 1;
        }
        if (result.size() > kMaxUnits)
            return false;
    }
    if (result.size() > kMaxUnits)
        return false;
    out = std::move(result);
    return true;
}

} // namespace fennick
