#pragma once
// What a MapInfo table's files say of themselves, read from their bytes.
//
// The rows of the ".dat" file, a dBASE-style table: the header's record count and layout, and which rows are
// live. A row whose first byte is '*' was deleted and is no record of the table; a row starts
// with ' ' when it is live. Read straight from the file, since GDAL offers no way to ask which rows are live
// short of reading every feature.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fennick {

struct STabDatHeader {
    uint32_t records = 0;     // rows the header declares, deleted ones included
    uint32_t headerBytes = 0; // where the first row starts
    uint32_t rowBytes = 0;    // bytes per row, the flag byte included
};

// Reads the header from the first 12 bytes of a ".dat"; false when fewer bytes are given or the layout cannot
// be a table's (a header shorter than one field's description, a row without bytes).
bool ParseTabDatHeader(const uint8_t* bytes, std::size_t size, STabDatHeader& header);

// The live rows of a ".dat": their numbers counted from 1, or nothing when every row is live (then rows 1 to
// live are the table's records). live receives the count of live rows.
struct STabLiveRows {
    std::vector<int32_t> numbers;
    int32_t live = 0;
    int32_t declared = 0; // the rows the header declares, deleted ones included
};

// Reads the live rows of the ".dat" at path. Raises a format error naming the file, with what is wrong as
// the detail, when it cannot be read, its header is no table's, it holds fewer rows than its header declares
// or a row's flag byte is neither ' ' nor '*'.
STabLiveRows ReadTabLiveRows(const std::u16string& datPath);

// The ".map" file's header block counts the objects of each kind the table was written with: points, lines
// (polylines and arcs), regions (rectangles and ellipses included) and texts; multi-points and collections
// are not counted.
inline constexpr std::size_t kTabMapHeaderBytes = 0x14C;
// The shape type the counts in the first kTabMapHeaderBytes bytes of a ".map" tell: 0 points, 1 lines,
// 2 regions when objects of that one kind alone are counted; -1 when the bytes are no header, the counts
// are mixed or none, or texts are counted.
int TabMapHeaderShapeType(const uint8_t* bytes, std::size_t size);
// The same, read from the file at path; -1 when it cannot be read.
int ReadTabMapHeaderShapeType(const std::u16string& mapPath);

} // namespace fennick
