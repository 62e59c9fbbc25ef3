#pragma once
// ICoordSys: a layer's coordinate reference system, able to convert coordinates from another system.

#include "data/GeoTypes.h"
#include "data/Unknown.h"

namespace fennick {

class IShape;
class CNativeProjection;

class ICoordSys : public IUnknown {
public:
    virtual int SetFromCode(int epsgCode) = 0;
    // The geographic code of a geographic system, the projected code of a projected one.
    virtual int GetCode() = 0;
    virtual int SetFromWkt(const char16_t* wkt) = 0;
    virtual int LoadFromFile(const char16_t* path) = 0;
    virtual int IsProjected() = 0;
    virtual int IsGeographic() = 0;
    virtual int IsEmpty() = 0;
    // Converts the shape's points in place from the source system into this one.
    virtual int TransformShape(ICoordSys* source, IShape* shape) = 0;
    virtual int TransformRect(ICoordSys* source, CGeoRect* rect) = 0;
    virtual int TransformPoint(ICoordSys* source, CGeoPoint* point) = 0;
    virtual int GetUnitCode() = 0;
    virtual int ReleaseBuffers() = 0;
    // The PROJ side, built when first needed (no reference; lives with the object); null when it cannot be.
    virtual CNativeProjection* GetNativeProjection() = 0;
    virtual int Clone(ICoordSys** copy) = 0;
    virtual ~ICoordSys() = default;
};

} // namespace fennick
