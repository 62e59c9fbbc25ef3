#pragma once
// Expansion of %NAME% references from the process environment, as expandable registry strings use it.

#include <string>

namespace fennick {

// Replaces each %NAME% whose variable is set by its value; a reference to an unset variable, a lone "%" and
// "%%" stay as they are. Fails (returns false, leaving out alone) when the result would pass 32767 units.
bool ExpandEnvironmentStrings(const std::u16string& text, std::u16string& out);

} // namespace fennick
