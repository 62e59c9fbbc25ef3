#include "coordsys/NativeProjection.h"

#include "coordsys/ProjModule.h"

#include <atomic>
#include <cmath>
#include <new>

namespace fennick {

namespace {

std::atomic<uint64_t> g_nextSerial{1};

} // namespace

CNativeProjection::~CNativeProjection() {
    Free();
    if (m_context)
        m_proj->contextDestroy(m_context);
}

void CNativeProjection::Free() {
    if (m_operation) {
        m_proj->destroy(m_operation);
        m_operation = nullptr;
    }
    m_operationSource = 0;
    if (m_crs) {
        m_proj->destroy(m_crs);
        m_crs = nullptr;
    }
    m_serial = 0;
}

bool CNativeProjection::Build(const std::string& projString) {
    Free();
    if (m_context == nullptr) {
        const SProjModuleEntries* proj = ProjModule();
        if (proj == nullptr)
            return false;
        // A context per object keeps PROJ's error state and database handle out of other objects' way.
        m_context = proj->contextCreate();
        if (m_context == nullptr)
            return false;
        m_proj = proj;
        m_proj->logLevel(m_context, PJ_LOG_NONE);
    }
    const std::string definition = projString + " +type=crs";
    PJ* crs = m_proj->create(m_context, definition.c_str());
    if (crs == nullptr)
        return false;
    if (!m_proj->isCrs(crs)) {
        m_proj->destroy(crs);
        return false;
    }
    m_crs = crs;
    m_serial = g_nextSerial++;
    return true;
}

bool CNativeProjection::IsLatLong() const {
    if (m_crs == nullptr)
        return false;
    PJ_TYPE type = m_proj->getType(m_crs);
    if (type == PJ_TYPE_BOUND_CRS) {
        PJ* base = m_proj->getSourceCrs(m_context, m_crs);
        type = base ? m_proj->getType(base) : PJ_TYPE_UNKNOWN;
        m_proj->destroy(base);
    }
    return type == PJ_TYPE_GEOGRAPHIC_2D_CRS || type == PJ_TYPE_GEOGRAPHIC_3D_CRS;
}

bool CNativeProjection::EnsureOperation(CNativeProjection& source) {
    if (m_crs == nullptr || source.m_crs == nullptr)
        return false;
    if (m_operation != nullptr && m_operationSource == source.m_serial)
        return true;
    if (m_operation) {
        m_proj->destroy(m_operation);
        m_operation = nullptr;
        m_operationSource = 0;
    }
    PJ* operation = m_proj->createCrsToCrsFromPj(m_context, source.m_crs, m_crs, nullptr, nullptr);
    if (operation == nullptr)
        return false;
    m_operation = operation;
    m_operationSource = source.m_serial;
    return true;
}

bool CNativeProjection::Transform(CNativeProjection& source, CGeoPoint* points, size_t count) {
    if (count == 0)
        return true;
    if (points == nullptr || !EnsureOperation(source))
        return false;
    if (m_x.size() < count || m_y.size() < count) {
        try {
            m_x.resize(count);
            m_y.resize(count);
        } catch (const std::bad_alloc&) {
            ReleaseBuffers();
            return false;
        }
    }
    for (size_t i = 0; i < count; ++i) {
        m_x[i] = points[i].x;
        m_y[i] = points[i].y;
    }
    m_proj->errnoReset(m_operation);
    m_proj->transGeneric(m_operation, PJ_FWD, m_x.data(), sizeof(double), count, m_y.data(), sizeof(double),
                         count, nullptr, 0, 0, nullptr, 0, 0);
    // A point PROJ could not convert is marked with HUGE_VAL in both coordinates; a lone point that failed
    // fails the call and stays as it was.
    for (size_t i = 0; i < count; ++i) {
        if (!std::isfinite(m_x[i]) || !std::isfinite(m_y[i])) {
            if (count == 1)
                return false;
            m_x[i] = HUGE_VAL;
            m_y[i] = HUGE_VAL;
        }
    }
    for (size_t i = 0; i < count; ++i) {
        points[i].x = m_x[i];
        points[i].y = m_y[i];
    }
    return true;
}

void CNativeProjection::ReleaseBuffers() {
    std::vector<double>().swap(m_x);
    std::vector<double>().swap(m_y);
}

} // namespace fennick
