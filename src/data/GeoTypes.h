#pragma once
// Points, rectangles and the value codes shared by the data access interfaces.

namespace fennick {

struct CGeoPoint {
    double x = 0.0;
    double y = 0.0;
};

// left = min x, top = max y, right = max x, bottom = min y; y grows upwards. Starts empty as {1, 0, 0, 1}.
struct CGeoRect {
    double left = 1.0;
    double top = 0.0;
    double right = 0.0;
    double bottom = 1.0;

    bool IsEmpty() const { return right < left || bottom > top; }
    void SetEmpty() { *this = CGeoRect(); }
};

// Shape type codes of IGeoDS::GetShapeType and IShape::GetType.
enum ShapeType : int {
    SHAPE_NULL = -1,
    SHAPE_POINT = 0,
    SHAPE_POLYLINE = 1,
    SHAPE_POLYGON = 2,
    SHAPE_MULTIPOINT = 3,
};

// What a shapefile shape type carries besides x and y: nothing (types 1, 3, 5, 8), measures (21, 23, 25, 28)
// or heights with measures (11, 13, 15, 18). Ordered so that a wider variant holds all a narrower one does.
enum ShapeVariant : int {
    VARIANT_XY = 0,
    VARIANT_M = 1,
    VARIANT_Z = 2,
};

// Field type codes of IFieldDesc::GetFieldType.
enum FieldType : int {
    FIELD_NONE = 0,
    FIELD_CHARACTER = 1,
    FIELD_INTEGER = 2,
    FIELD_REAL = 3,
    FIELD_LOGICAL = 4,
    FIELD_DATE = 5,
};

// The names people read for the codes above ("polygon", "character"); "null" and "none" for the rest.
inline const char* ShapeTypeName(int code) {
    switch (code) {
    case SHAPE_POINT:
        return "point";
    case SHAPE_POLYLINE:
        return "polyline";
    case SHAPE_POLYGON:
        return "polygon";
    case SHAPE_MULTIPOINT:
        return "multipoint";
    default:
        return "null";
    }
}

// The same with the variant, as the shapefile types are named: "polygon Z", "point M".
inline const char* ShapeTypeName(int code, int variant) {
    static const char* const names[3][4] = {{"point", "polyline", "polygon", "multipoint"},
                                            {"point M", "polyline M", "polygon M", "multipoint M"},
                                            {"point Z", "polyline Z", "polygon Z", "multipoint Z"}};
    if (code < SHAPE_POINT || code > SHAPE_MULTIPOINT || variant < VARIANT_XY || variant > VARIANT_Z)
        return ShapeTypeName(code);
    return names[variant][code];
}

inline const char* FieldTypeName(int code) {
    switch (code) {
    case FIELD_CHARACTER:
        return "character";
    case FIELD_INTEGER:
        return "integer";
    case FIELD_REAL:
        return "real";
    case FIELD_LOGICAL:
        return "logical";
    case FIELD_DATE:
        return "date";
    default:
        return "none";
    }
}

// Data source kind codes of IGeoDS::GetSourceKind.
enum SourceKind : int {
    SOURCE_SHAPEFILE = 1,
    SOURCE_MAPINFO_TAB = 4,
    // Any other vector layer GDAL reads (GeoPackage, GeoJSON, FlatGeobuf ...).
    SOURCE_VECTOR_LAYER = 5,
};

} // namespace fennick
