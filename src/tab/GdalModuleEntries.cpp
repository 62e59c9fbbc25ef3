// The GDAL module's entry point: what the program reaches through GdalModule().

#include "data/GdalModule.h"
#include "data/RefCounted.h"
#include "platform/BuildStamp.h"
#include "tab/MiTabDS.h"
#include "tab/WktParser.h"

#include <cpl_error.h>

namespace fennick {

namespace {

int OpenMiTabTable(const std::u16string& path, IGeoDS** dataSource) {
    if (!dataSource)
        return 0;
    try {
        CRef<CMiTabDS> source = MakeRef<CMiTabDS>();
        source->Open(path, true);
        *dataSource = source.Detach();
        return 1;
    } catch (...) {
        // The half-opened source was released (and destroyed) on the way out.
        return 0;
    }
}

void Quiet() {
    CPLSetErrorHandler(CPLQuietErrorHandler);
}

const SGdalModuleEntries kEntries = {kGdalModuleVersion, kBuildStamp, &OpenMiTabTable, &ParseWktDefinition,
                                     &Quiet};

} // namespace

} // namespace fennick

// Typed as every module entry is, so that the loader calls it through the type it has.
extern "C" __attribute__((visibility("default"))) const void* FennickGdalModuleEntries() {
    return &fennick::kEntries;
}
