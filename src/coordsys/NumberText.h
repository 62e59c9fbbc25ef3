#pragma once
// Numbers to and from text independently of the process locale (a desktop program may switch LC_NUMERIC,
// while WKT, the catalogue and PROJ strings always use the C form).

#include <string>

namespace fennick {

// The standard text-to-double reading: leading blanks and a sign are accepted, the longest numeric prefix is
// read, and a text without one gives 0.
double TextToDouble(const char* text);

// printf "%.16g" and "%f" as in the C locale, appended to out.
void AppendG16(std::string& out, double value);
void AppendFixed6(std::string& out, double value);

} // namespace fennick
