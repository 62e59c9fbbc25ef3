#pragma once
// The stored form of shapefile shapes, for a writer that copies a record already in the variant it writes
// and keeps the heights and measures of one that is not. Both are plain (uncounted) sides of objects of the
// counted family, found with the Query functions below.
//
// IStoredShape: one shape as read from its record: shape type word, content and its z and m values.
// IShapeVariantSource: a data source whose shapes may carry z or m values.

#include "data/GeoTypes.h"
#include "data/IGeoDS.h"
#include "data/IShape.h"

#include <cstddef>
#include <cstdint>

namespace fennick {

class IStoredShape {
public:
    // The record's shapefile shape type (1, 11, 21 ...; 0 for null); the 2-D type for shapes built from
    // geometry alone.
    virtual int32_t StoredShapeType() const = 0;
    // The record's content after its shape type word, and its size in bytes (ShapeLayout.h).
    virtual const uint8_t* StoredContent() const = 0;
    virtual std::size_t StoredContentSize() const = 0;
    // One z value per point, in point order, or null when the record holds none.
    virtual const double* ZValues() const = 0;
    // One m value per point, or null when the record holds none (a Z record may leave them out).
    virtual const double* MValues() const = 0;

protected:
    ~IStoredShape() = default;
};

class IShapeVariantSource {
public:
    // The variant (ShapeVariant) the source declares for its shapes.
    virtual int GetShapeVariant() = 0;

protected:
    ~IShapeVariantSource() = default;
};

// The stored side of a shape, or null for a shape that has none.
inline const IStoredShape* QueryStoredShape(IShape* shape) {
    return dynamic_cast<const IStoredShape*>(shape);
}

// The variant a data source declares; VARIANT_XY for sources without z and m (MapInfo tables).
inline int ShapeVariantOf(IGeoDS* source) {
    auto* side = dynamic_cast<IShapeVariantSource*>(source);
    return side != nullptr ? side->GetShapeVariant() : VARIANT_XY;
}

} // namespace fennick
