#include "coordsys/CoordSysText.h"

#include "coordsys/CommonCoordSysImpl.h"

namespace fennick {

std::string ProjStringOf(ICoordSys* coordSys) {
    auto* object = dynamic_cast<CCommonCoordSysImpl*>(coordSys);
    std::string text;
    if (object == nullptr || !object->GetProjString(text))
        return {};
    return text;
}

} // namespace fennick
