#include "coordsys/CrsConversion.h"

#include "coordsys/ProjCrs.h"

#include <cmath>

namespace fennick {

bool CCrsConversion::Build(const CProjCrs& source, const CProjCrs& target) {
    m_operation.reset();
    if (!source.IsRead() || !target.IsRead())
        return false;
    if (!m_context)
        m_context = MakeProjContext();
    if (!m_context)
        return false;
    const SProjModuleEntries* proj = ProjModule();
    CProjObject operation(
        proj->createCrsToCrsFromPj(m_context.get(), source.Get(), target.Get(), nullptr, nullptr));
    if (!operation)
        return false;
    // The systems' own axis order may put latitude first; shapes always hold x east, y north.
    m_operation.reset(proj->normalizeForVisualization(m_context.get(), operation.get()));
    return m_operation != nullptr;
}

bool CCrsConversion::Convert(CGeoPoint* points, double* z, std::size_t count) {
    if (count == 0)
        return true;
    if (!m_operation || points == nullptr)
        return false;
    const SProjModuleEntries* proj = ProjModule();
    proj->errnoReset(m_operation.get());
    constexpr std::size_t stride = sizeof(CGeoPoint);
    proj->transGeneric(m_operation.get(), PJ_FWD, &points[0].x, stride, count, &points[0].y, stride, count, z,
                       z != nullptr ? sizeof(double) : 0, z != nullptr ? count : 0, nullptr, 0, 0);
    for (std::size_t i = 0; i < count; ++i)
        if (!std::isfinite(points[i].x) || !std::isfinite(points[i].y) ||
            (z != nullptr && !std::isfinite(z[i])))
            return false;
    return true;
}

} // namespace fennick
