#pragma once
// Opens a layer by the path of its main file: as a shapefile first, then as a MapInfo TAB table.

#include <string>

namespace fennick {

class IGeoDS;

// Delivers the data source with one reference and returns 1; returns 0 when neither source accepts the path.
// Never raises. When errorText (260 units) is given, a failed shapefile attempt leaves its message there,
// even when the TAB attempt then succeeds.
int OpenGeoDS(const std::u16string& path, const char16_t* password, IGeoDS** source, char16_t* errorText);
// Why OpenGeoDS failed on path, given the errorText it left: the MapInfo reader's reason for a .tab path, the
// shapefile reader's for any other.
std::u16string OpenFailureReason(const std::u16string& path, const char16_t* errorText);

} // namespace fennick
