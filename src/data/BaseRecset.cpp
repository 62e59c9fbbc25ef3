#include "data/BaseRecset.h"

#include "data/ShapeImpl.h"
#include "platform/Boundary.h"

namespace fennick {

int CBaseRecset::DeliverShape(int record, CShapeImpl* cached, IShape** shape, int fresh) {
    if (!shape)
        return 0;
    return Guarded([&] {
        CRef<CShapeImpl> target = (fresh || !cached) ? MakeRef<CShapeImpl>() : CRef<CShapeImpl>(cached);
        if (m_access->ReadShape(record, target.Get())) {
            *shape = target.Detach();
            return 1;
        }
        target.Reset();
        return m_access->CreateShape(record, shape);
    });
}

} // namespace fennick
