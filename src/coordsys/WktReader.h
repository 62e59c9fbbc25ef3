#pragma once
// ReadWktDefinition: fills a definition from WKT coordinate system text (".prj", ".tpj"), parsed by GDAL's
// OGR_SRSNode, with the projection, parameter, unit and prime meridian names this system knows.

#include "coordsys/CoordSysDefinition.h"

namespace fennick {

// 1 on success. A text that does not parse as a coordinate system (no PROJCS, GEOGCS or LOCAL_CS tree) fails
// and leaves the definition as it was; a LOCAL_CS root, or a PROJCS whose projection this reader does not
// know, fails with the definition reset, that is empty. Fails too when the GDAL module cannot be loaded. A
// leading UTF-8 byte-order mark is skipped.
int ReadWktDefinition(CCoordSysDefinition& definition, const char* wkt);

} // namespace fennick
