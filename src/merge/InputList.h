#pragma once
// The inputs of a merge as people name them: layer paths, folders standing for the layers they hold, and
// lists of paths in a file (@FILE, @- for standard input), expanded into the layer paths the engine takes.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace fennick {

// Natural order: runs of digits compare as numbers (b2 before b10), letter case ignored, then as stored.
bool NaturalLess(std::u16string_view a, std::u16string_view b);

// The layers a folder holds: .shp and .tab files, the files of the vector formats GDAL reads (.gpkg,
// .geojson, .geojsonl, .geojsons, .fgb, .kml, .kmz, .gml, .mif, .sqlite; a source with several layers as each
// of them, SOURCE:LAYER) and File Geodatabase folders (.gdb), any letter case, in natural order; with
// recursive, each folder's files before its subfolders, these in natural order too. Hidden files and folders
// (a leading dot) and the file outputMain (the output's .shp, when not empty) are left out; links to folders
// are not followed. Raises CGenericEx when the folder cannot be read.
std::vector<std::u16string> LayersInFolder(const std::u16string& folder, bool recursive,
                                           const std::u16string& outputMain);

// The paths of a list's text: one a line, blank lines and lines starting with '#' left out.
std::vector<std::u16string> ParseInputList(std::string_view text);

// Where expanded inputs came from: an argument and the layers it gave.
struct SInputSource {
    std::u16string argument;
    bool expanded = false; // a folder or a list
    std::size_t layers = 0;
};

// Expands arguments in order: a folder (unless named as a layer, roads.shp) into LayersInFolder, "@FILE" into
// the paths its lines name (a folder among them expanded too), "@-" reading standard input; anything else is
// taken as it is. sources, when given, receives one entry per argument. Raises CGenericEx when a folder or
// list cannot be read or yields no layer.
std::vector<std::u16string> ExpandInputs(const std::vector<std::u16string>& arguments, bool recursive,
                                         const std::u16string& outputMain,
                                         std::vector<SInputSource>* sources = nullptr);

} // namespace fennick
