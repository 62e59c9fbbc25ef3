#pragma once
// Owners of PROJ objects made through the PROJ module (ProjModule.h): each frees its object with the
// module's function when it goes. Only objects made after the module was loaded are ever held.

#include "coordsys/ProjModule.h"

#include <memory>

namespace fennick {

struct SProjObjectFree {
    void operator()(PJ* object) const { ProjModule()->destroy(object); }
};

struct SProjContextFree {
    void operator()(PJ_CONTEXT* context) const { ProjModule()->contextDestroy(context); }
};

using CProjObject = std::unique_ptr<PJ, SProjObjectFree>;
using CProjContext = std::unique_ptr<PJ_CONTEXT, SProjContextFree>;

// A context of its own for an object, its log off; null when PROJ cannot be loaded or the context made.
CProjContext MakeProjContext();

} // namespace fennick
