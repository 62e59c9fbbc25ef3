#pragma once
// The percentage a progress meter shows for a bar position: truncating integer arithmetic, wrapping like the
// bar beyond its range except that exactly 100 stays 100, written as "%d%".

#include <string>

namespace fennick {

int ProgressPercent(int position, int lower, int upper);
std::u16string ProgressPercentText(int position, int lower, int upper);

} // namespace fennick
