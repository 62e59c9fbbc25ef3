#pragma once
// CNativeProjection: the PROJ side of a coordinate system object. It holds the PROJ coordinate reference
// system built from the definition's PROJ string, the operation last used to convert from another system,
// and two coordinate buffers reused by every conversion. Geographic coordinates are in degrees. PROJ is
// reached through its module (see ProjModule.h), loaded by the first Build.

#include "data/GeoTypes.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct PJconsts;
struct pj_ctx;

namespace fennick {

struct SProjModuleEntries;

class CNativeProjection {
public:
    CNativeProjection() = default;
    virtual ~CNativeProjection();
    CNativeProjection(const CNativeProjection&) = delete;
    CNativeProjection& operator=(const CNativeProjection&) = delete;

    // Builds the system from a PROJ string (the "+type=crs" marker is added); any previous one is freed.
    // False, with nothing held, when PROJ rejects the string or cannot be loaded (ProjModuleError says why).
    bool Build(const std::string& projString);
    // Frees the system and any cached operation.
    void Free();
    bool IsBuilt() const { return m_crs != nullptr; }
    // True when the system is geographic (longitude and latitude).
    bool IsLatLong() const;

    // Converts count points in place from source's system into this one. A point PROJ cannot convert is set
    // to HUGE_VAL; false when the operation cannot be set up, the buffers cannot grow, or a single point
    // fails.
    bool Transform(CNativeProjection& source, CGeoPoint* points, size_t count);

    // Frees the coordinate buffers.
    void ReleaseBuffers();

private:
    bool EnsureOperation(CNativeProjection& source);

    const SProjModuleEntries* m_proj = nullptr; // set with the context
    pj_ctx* m_context = nullptr;
    PJconsts* m_crs = nullptr;
    uint64_t m_serial = 0;           // identifies the built system
    PJconsts* m_operation = nullptr; // from the system with serial m_operationSource into this one
    uint64_t m_operationSource = 0;
    std::vector<double> m_x;
    std::vector<double> m_y;
};

} // namespace fennick
