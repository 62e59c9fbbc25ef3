#include "data/BaseDirectAccess.h"

namespace fennick {

HRESULT CBaseDirectAccess::QueryInterface(const SGuid&, void**) {
    return E_ABORT;
}

int32_t CBaseDirectAccess::AddRef() {
    return ++m_refCount;
}

int32_t CBaseDirectAccess::Release() {
    const int32_t count = --m_refCount;
    if (count == 0)
        delete this;
    return count;
}

int CBaseDirectAccess::CreateShape(int, IShape**) {
    return 0;
}

int CBaseDirectAccess::ReservedA(int, int) {
    return 0;
}

int CBaseDirectAccess::ReservedC(int, int, int) {
    return 0;
}

int CBaseDirectAccess::ReservedD(int) {
    return 0;
}

int CBaseDirectAccess::DeleteRecord(int) {
    return 0;
}

} // namespace fennick
