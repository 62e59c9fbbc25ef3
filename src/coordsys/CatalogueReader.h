#pragma once
// SetFromCatalogue: fills a definition from an EPSG code through the built-in catalogue: a geographic system,
// a projected system (its projection method turned into a native projection code and parameter slots), or
// the WKT text kept for a code outside the EPSG tables.

#include "coordsys/CoordSysDefinition.h"

namespace fennick {

// 1 on success. A code found nowhere fails with the definition untouched; a row that cannot be used fails
// with the definition reset (empty).
int SetFromCatalogue(CCoordSysDefinition& definition, int code);

} // namespace fennick
