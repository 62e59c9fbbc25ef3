#include "coordsys/WktReader.h"

#include "coordsys/GdalModule.h"

namespace fennick {

int ReadWktDefinition(CCoordSysDefinition& definition, const char* wkt) {
    if (wkt == nullptr)
        return 0;
    const SGdalModuleEntries* module = GdalModule();
    return module != nullptr ? module->readWkt(definition, wkt) : 0;
}

} // namespace fennick
