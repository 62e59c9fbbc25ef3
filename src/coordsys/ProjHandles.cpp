#include "coordsys/ProjHandles.h"

namespace fennick {

CProjContext MakeProjContext() {
    const SProjModuleEntries* proj = ProjModule();
    if (proj == nullptr)
        return nullptr;
    CProjContext context(proj->contextCreate());
    if (context)
        proj->logLevel(context.get(), PJ_LOG_NONE);
    return context;
}

} // namespace fennick
