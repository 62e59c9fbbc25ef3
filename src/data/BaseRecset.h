#pragma once
// CBaseRecset: the base of the record sets. A record set works on record numbers through its data source's
// IDirectAccess facet, which it holds with a reference: the data source lives as long as any record set
// taken from it. Record sets are counted (count 0 when made; the data source that hands one out adds the
// first reference).

#include "data/IDirectAccess.h"
#include "data/IRecset.h"
#include "data/RefCounted.h"

namespace fennick {

class CShapeImpl;

class CBaseRecset : public CUnknownImpl<IRecset> {
public:
    IDirectAccess* GetDirectAccess() const { return m_access.Get(); }

protected:
    explicit CBaseRecset(IDirectAccess* access) : m_access(access) {}

    // Delivers the shape of a record. With fresh = 0 the record is read into the set's own cached shape,
    // which is delivered with an added reference; otherwise into a new shape. When the read fails, the
    // source's CreateShape answers. An exception on the way yields 0.
    int DeliverShape(int record, CShapeImpl* cached, IShape** shape, int fresh);

    CRef<IDirectAccess> m_access;
};

} // namespace fennick
