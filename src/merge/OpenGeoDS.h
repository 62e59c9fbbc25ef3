#pragma once
// Opens a layer by the path of its main file: as a shapefile first, then as a MapInfo TAB table.

#include <string>

namespace fennick {

class IGeoDS;

// Delivers the data source with one reference and returns 1; returns 0 when neither source accepts the path.
// Never raises: on failure the shapefile reader's exception is kept for the caller (platform/Boundary.h).
// When errorText (kErrorTextSize units) is given, a failed shapefile attempt leaves its message there, even
// when the TAB attempt then succeeds.
int OpenGeoDS(const std::u16string& path, const char16_t* password, IGeoDS** source, char16_t* errorText);
// Why OpenGeoDS just failed on path, taking the kept failure: the MapInfo reader's reason for a .tab path,
// the shapefile reader's for any other.
std::u16string OpenFailureReason(const std::u16string& path);

} // namespace fennick
