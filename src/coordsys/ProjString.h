#pragma once
// BuildProjString: a definition as a PROJ definition string, assembled from the projection, ellipsoid, datum,
// prime meridian and units pieces and "+no_defs ". Numbers are written as printf's "%.16g" (and "%f" or "%d"
// where a piece says so) in the C locale.

#include "coordsys/CoordSysDefinition.h"

#include <string>

namespace fennick {

// 1 with the string in out; 0 for an empty definition (out untouched). A projection code without a text still
// gives a string (which PROJ then rejects).
int BuildProjString(const CCoordSysDefinition& definition, std::u16string& out);

// The same as narrow ASCII text.
int BuildProjString(const CCoordSysDefinition& definition, std::string& out);

} // namespace fennick
