#pragma once
// Text views of a coordinate system object for reports.

#include <string>

namespace fennick {

class ICoordSys;

// The PROJ definition string of a coordinate system object; empty for null, an empty object, or an object
// of another implementation.
std::string ProjStringOf(ICoordSys* coordSys);

} // namespace fennick
