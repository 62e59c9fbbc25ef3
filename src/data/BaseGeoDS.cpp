#include "data/BaseGeoDS.h"

#include "data/ICoordSys.h"

namespace fennick {

CBaseGeoDS::~CBaseGeoDS() {
    if (m_coordSys)
        m_coordSys->Release();
}

int CBaseGeoDS::SetCoordSys(ICoordSys* coordSys) {
    if (coordSys == m_coordSys)
        return 1;
    // Add before releasing, so a coordinate system held only by us survives being stored again.
    if (coordSys)
        coordSys->AddRef();
    ICoordSys* previous = m_coordSys;
    m_coordSys = coordSys;
    if (previous)
        previous->Release();
    return 1;
}

ICoordSys* CBaseGeoDS::GetCoordSys() {
    return m_coordSys;
}

int CBaseGeoDS::GetCodePage() {
    return m_codePage;
}

void CBaseGeoDS::SetCodePage(int codePage) {
    if (codePage >= 0)
        m_codePage = codePage;
}

int CBaseGeoDS::SelectIntersecting(const CGeoRect* rect, IRecset** recset) {
    return SelectByRect(rect, recset);
}

int CBaseGeoDS::ReservedA(int) {
    return 0;
}

IFieldDesc* CBaseGeoDS::GetFieldDesc() {
    return this;
}

} // namespace fennick
