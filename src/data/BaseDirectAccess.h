#pragma once
// CBaseDirectAccess: the record-number facet of a data source and the keeper of the whole object's reference
// count. Its IUnknown slots act on the whole data source: QueryInterface answers E_ABORT, AddRef and Release
// count interlocked on the one counter, and the last Release destroys the object through its virtual
// destructor. A new object has count 0; whoever hands it out adds the first reference.
//
// A subclass implements GetRecordCount, ReadShape, GetAttributes and GetRecordBounds. CreateShape,
// ReservedA, ReservedC, ReservedD and DeleteRecord answer 0 here, as every data source of this system does.

#include "data/IDirectAccess.h"

#include <atomic>
#include <cstdint>

namespace fennick {

class CBaseDirectAccess : public IDirectAccess {
public:
    CBaseDirectAccess(const CBaseDirectAccess&) = delete;
    CBaseDirectAccess& operator=(const CBaseDirectAccess&) = delete;

    HRESULT QueryInterface(const SGuid& iid, void** object) override;
    int32_t AddRef() override;
    int32_t Release() override;

    int CreateShape(int record, IShape** shape) override;
    int ReservedA(int record, int value) override;
    int ReservedC(int record, int a, int b) override;
    int ReservedD(int record) override;
    int DeleteRecord(int record) override;

protected:
    CBaseDirectAccess() = default;
    virtual ~CBaseDirectAccess() = default;

private:
    std::atomic<int32_t> m_refCount{0};
};

} // namespace fennick
