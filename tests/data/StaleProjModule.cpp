// A PROJ module as an older build of the program would have left it: the same layout version, another
// build stamp. The loader must refuse it (and name it) before it reads anything past the head.

#include "coordsys/ProjModule.h"
#include "data/ModuleLoader.h"

namespace {

const fennick::SModuleHead kStale = {fennick::kProjModuleVersion, "0.9.0+stale"};

} // namespace

extern "C" __attribute__((visibility("default"))) const void* FennickProjModuleEntries() {
    return &kStale;
}
