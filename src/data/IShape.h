#pragma once
// IShape: one shape's geometry, queried in place. IShapeEx adds the operations that fill a shape.

#include "data/GeoTypes.h"
#include "data/Unknown.h"

#include <cstdint>
#include <memory>

namespace fennick {

class IFile;

class IShape : public IUnknown {
public:
    virtual int GetType() = 0;
    // The stored box in rectangle order ({x, y, x, y} for a point); 0 for a null shape.
    virtual int GetBounds(CGeoRect* bounds) = 0;
    // A representative point: half-way along a polyline, the area-weighted centre of a polygon.
    virtual int GetCenter(CGeoPoint* center) = 0;
    // 1 for point and multipoint, 0 for null, else the part count.
    virtual int GetPartCount() = 0;
    virtual int GetPartPointCount(int part, int* count) = 0;
    virtual int GetPointCount(int* count) = 0;
    // The first point of the part inside the shape's own buffer (no copy); null for a null shape.
    virtual CGeoPoint* GetPartPoints(int part) = 0;
    // Copies at most count points from point index start on; 0 when start is past the end.
    virtual int CopyPoints(int start, CGeoPoint* destination, int count) = 0;
    // Overwrites the stored box (not for point or null shapes).
    virtual void SetBounds(const CGeoRect& bounds) = 0;
    // 0 not determined, 1 inner ring (hole), 2 outer ring.
    virtual int GetPartRingKind(int part) = 0;
    virtual int ReservedA() = 0;

protected:
    ~IShape() = default;
};

class IShapeEx : public IShape {
public:
    // Reads one shapefile record (header and content) from the file's current position.
    virtual int ReadFrom(IFile* file) = 0;
    // Copies another shape's geometry and takes the given record number.
    virtual int CopyFrom(IShape* source, int record) = 0;
    // Copies a ready record buffer (the record content without its shape type word).
    virtual int SetData(int type, int record, const void* bytes, int size) = 0;
    // Takes over a ready record buffer without copying.
    virtual int AttachData(int type, int record, std::unique_ptr<uint8_t[]> bytes, int size) = 0;

protected:
    ~IShapeEx() = default;
};

} // namespace fennick
