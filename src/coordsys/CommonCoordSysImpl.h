#pragma once
// CCommonCoordSysImpl: the coordinate system object. It owns a definition (read from WKT text, a ".prj" or
// ".tpj" file, or an EPSG code) and the PROJ side built from it when a conversion first needs it. A failed
// load falls back to the code loaded before, when there was one.

#include "coordsys/CoordSysDefinition.h"
#include "coordsys/NativeProjection.h"
#include "data/ICoordSys.h"
#include "data/RefCounted.h"

#include <string>

namespace fennick {

class CCommonCoordSysImpl : public CUnknownImpl<ICoordSys> {
public:
    CCommonCoordSysImpl() = default;

    int SetFromCode(int epsgCode) override;
    int GetCode() override;
    int SetFromWkt(const char16_t* wkt) override;
    int LoadFromFile(const char16_t* path) override;
    int IsProjected() override;
    int IsGeographic() override;
    int IsEmpty() override;
    // The shape's points are converted part by part; its bounds become those of the finite converted points.
    int TransformShape(ICoordSys* source, IShape* shape) override;
    // The rectangle is sampled along its edges (and inside when an edge point fails) and replaced by the
    // bounds of the converted samples; 0 with the rectangle unchanged when none converts.
    int TransformRect(ICoordSys* source, CGeoRect* rect) override;
    int TransformPoint(ICoordSys* source, CGeoPoint* point) override;
    int GetUnitCode() override;
    int ReleaseBuffers() override;
    CNativeProjection* GetNativeProjection() override;
    int Clone(ICoordSys** copy) override;

    const CCoordSysDefinition& GetDefinition() const { return m_definition; }
    // The PROJ definition string of the definition; 0 when it is empty.
    int GetProjString(std::string& out) const;

    // Files larger than this are not coordinate system texts.
    static constexpr uint64_t kMaxFileSize = 1 << 20;

private:
    template <class Reader> int LoadWithRestore(Reader reader);
    // Both sides ready for a conversion; null source or handles that cannot be built fail.
    bool Handles(ICoordSys* source, CNativeProjection** destination, CNativeProjection** from);

    CCoordSysDefinition m_definition;
    CNativeProjection m_native;
};

// Makes an empty object holding one reference; 0 only when memory runs out.
int CreateCoordSys(CCommonCoordSysImpl** object);

// Makes an object from a WKT file; 0 (and nothing handed out) when the file cannot be read or understood.
int LoadCoordSys(const char16_t* path, ICoordSys** object);

} // namespace fennick
