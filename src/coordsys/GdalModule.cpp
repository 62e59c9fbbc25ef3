#include "coordsys/GdalModule.h"

#include "data/ModuleLoader.h"

namespace fennick {

namespace {

CModuleLoader& Loader() {
    static CModuleLoader loader({kGdalModuleFile, kGdalModuleSymbol, kGdalModuleVersion});
    return loader;
}

void Quiet(const void* entries) {
    static_cast<const SGdalModuleEntries*>(entries)->quiet();
}

} // namespace

const SGdalModuleEntries* GdalModule() {
    return static_cast<const SGdalModuleEntries*>(Loader().Entries());
}

std::string GdalModuleError() {
    return Loader().Error();
}

bool GdalModuleMissing() {
    return Loader().Missing();
}

void QuietGdalDiagnostics() {
    Loader().WhenLoaded(&Quiet);
}

} // namespace fennick
