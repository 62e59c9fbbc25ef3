#include "coordsys/ProjModule.h"

#include "data/ModuleLoader.h"

namespace fennick {

namespace {

CModuleLoader& Loader() {
    static CModuleLoader loader({kProjModuleFile, kProjModuleSymbol, kProjModuleVersion});
    return loader;
}

void Quiet(const void* entries) {
    static_cast<const SProjModuleEntries*>(entries)->logLevel(nullptr, PJ_LOG_NONE);
}

} // namespace

const SProjModuleEntries* ProjModule() {
    return static_cast<const SProjModuleEntries*>(Loader().Entries());
}

std::string ProjModuleError() {
    return Loader().Error();
}

void QuietProjDiagnostics() {
    Loader().WhenLoaded(&Quiet);
}

} // namespace fennick
