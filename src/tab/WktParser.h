#pragma once
// The WKT side of coordinate system reading, parsed by GDAL's OGR_SRSNode. It lives in the GDAL module;
// the rest of the program reaches it through ReadWktDefinition.

#include "coordsys/CoordSysDefinition.h"

namespace fennick {

// What ReadWktDefinition promises, done here.
int ParseWktDefinition(CCoordSysDefinition& definition, const char* wkt);

// The native projection code of a WKT projection name; 0 when the name is unknown.
int ProjectionCodeFromName(const char* name);

} // namespace fennick
