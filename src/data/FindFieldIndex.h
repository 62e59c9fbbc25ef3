#pragma once
// Looks a field up by name in a field description.

#include <string_view>

namespace fennick {

class IFieldDesc;

// The position of the first field whose name equals name without regard to letter case (ASCII and Latin
// letters alike), or -1 when the name is empty, no field matches, or a field name cannot be read (the walk
// stops there).
int FindFieldIndex(IFieldDesc* fields, std::u16string_view name);

} // namespace fennick
