#pragma once
// Opens a MapInfo TAB table as a data source.

#include <string>

namespace fennick {

class IGeoDS;

// Makes a CMiTabDS, opens it on path with its ".ttx" index enabled and delivers it with one reference.
// Returns 1; 0 (nothing delivered) when the table cannot be opened. Never raises.
int OpenTabDS(const std::u16string& path, IGeoDS** dataSource);
// Why the last OpenTabDS on the calling thread failed: the reader's (and GDAL's) reason, or why the GDAL
// module cannot be loaded.
std::u16string TabOpenError();

} // namespace fennick
