#include "merge/ProgressText.h"

#include "platform/CodePage.h"

#include <cstdint>
#include <cstdio>

namespace fennick {

int ProgressPercent(int position, int lower, int upper) {
    // An empty range would divide by zero; it has nothing to show.
    if (upper == lower)
        return 0;
    // 64-bit intermediate so that large ranges do not overflow the product, then the 32-bit result.
    int percent = static_cast<int>((static_cast<int64_t>(position) - lower) * 100 / (static_cast<int64_t>(upper) - lower));
    if (percent != 100)
        percent %= 100;
    return percent;
}

std::u16string ProgressPercentText(int position, int lower, int upper) {
    char text[24];
    std::snprintf(text, sizeof text, "%d%c", ProgressPercent(position, lower, upper), '%');
    return FromUtf8(text);
}

} // namespace fennick
