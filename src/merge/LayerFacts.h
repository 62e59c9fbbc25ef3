#pragma once
// What a layer holds, read from its headers only (never by walking its records): the facts the desktop
// program's list shows for each file before a merge. A MapInfo table's shape type comes from its .map
// header's object counts, as its reader learns it.

#include "data/GeoTypes.h"

#include <cstdint>
#include <string>

namespace fennick {

struct SLayerFacts {
    std::u16string path;
    std::u16string error; // why the layer cannot be read; empty when the facts below are its own
    int kind = 0;         // SOURCE_SHAPEFILE or SOURCE_MAPINFO_TAB
    int shapeType = SHAPE_NULL;
    int variant = VARIANT_XY;
    int64_t records = 0; // as its header states
    int fields = 0;
    int codePage = 0;        // as declared, 0 when it declares none
    std::u16string coordSys; // in short, as PROJ names it, or "none"
};

// Opens the layer with the engine's readers and takes its facts. Never raises: a layer that cannot be read
// (or whose .prj cannot be) has error set to the reader's reason.
SLayerFacts ReadLayerFacts(const std::u16string& path);

} // namespace fennick
