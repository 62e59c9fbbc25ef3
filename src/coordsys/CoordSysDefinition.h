#pragma once
// CCoordSysDefinition: one coordinate system as a plain record, filled by the WKT and catalogue readers,
// turned into a PROJ string and owned by the coordinate system object. Projection parameters sit in 18 slots
// in the system's own units (angles in its angular unit relative to its prime meridian, false easting and
// northing in its linear unit); GetNormParam and SetNormParam convert them to and from degrees east of
// Greenwich and metres.

namespace fennick {

// Parameter slots.
enum ProjParamSlot : int {
    PARAM_STANDARD_PARALLEL_1 = 0,
    PARAM_STANDARD_PARALLEL_2 = 1,
    PARAM_LONGITUDE_OF_ORIGIN = 2,
    PARAM_LATITUDE_OF_ORIGIN = 3,
    PARAM_FALSE_EASTING = 4,
    PARAM_FALSE_NORTHING = 5,
    PARAM_CENTRAL_MERIDIAN = 6,
    PARAM_CENTRAL_PARALLEL = 7,
    PARAM_SCALE_FACTOR = 8,
    PARAM_AZIMUTH = 9,
    PARAM_LATITUDE_OF_POINT_1 = 10,
    PARAM_LATITUDE_OF_POINT_2 = 11,
    PARAM_LONGITUDE_OF_POINT_1 = 12,
    PARAM_LONGITUDE_OF_POINT_2 = 13,
    PARAM_LONGITUDE_OF_CENTER = 14,
    PARAM_LATITUDE_OF_CENTER = 15,
    PARAM_RECTIFIED_GRID_ANGLE = 16,
    PARAM_PSEUDO_STANDARD_PARALLEL_1 = 17,
    PARAM_SLOT_COUNT = 18,
};

// The native projection code of Web Mercator: spherical Mercator equations on the geographic system's
// ellipsoidal coordinates, as EPSG 3857 and ESRI's Mercator_Auxiliary_Sphere define it.
constexpr int kProjectionWebMercator = 100;

// Radians per degree as the definitions store it.
constexpr double kRadiansPerDegree = 0.0174532925199433;

struct CCoordSysDefinition {
    int projected = 0;
    int empty = 1;
    int geographicCode = 0;
    int datumCode = 0;
    int primeMeridianCode = 0;
    int angularUnitCode = 0;
    int ellipsoidCode = 0;
    // Catalogue names; static texts the record does not own.
    const char* geographicName = "";
    const char* datumName = "";
    const char* ellipsoidName = "";
    const char* primeMeridianName = "";
    const char* angularUnitName = "";
    double primeMeridian = 0.0;     // degrees east of Greenwich
    double semiMajorAxis = 0.0;     // metres
    double inverseFlattening = 0.0; // 0 for a sphere
    double datumShift[7] = {};      // dx, dy, dz (metres), rx, ry, rz (arc-seconds), scale (ppm)
    int datumShiftPresent = 0;
    int datumShiftCount = 0;  // 3 or 7
    double angularUnit = 0.0; // radians per angular unit
    int projectedCode = 0;
    const char* projectedName = "";
    const char* linearUnitName = "";
    int linearUnitCode = 0;
    double linearUnit = 0.0; // metres per linear unit
    int projection = 0;      // native projection code
    // Unit factors, computed when first needed.
    mutable int factorsReady = 0;
    mutable double cachedPrimeMeridian = 0.0;
    mutable double cachedMetresPerUnit = 0.0;
    mutable double cachedDegreesPerUnit = 0.0;
    double params[PARAM_SLOT_COUNT];

    CCoordSysDefinition() { Reset(); }

    // Empty and geographic, codes and numbers 0, names empty, no datum shift, factors not ready, every
    // parameter slot unset (+infinity).
    void Reset();

    // Slot i in degrees (longitudes east of Greenwich) or metres, following the fallbacks 3 -> 15 -> 0,
    // 6 -> 14 -> 2, 15 -> 0 and 14 -> 2; an unset slot gives def, converted like a stored value.
    double GetNormParam(int slot, double def) const;
    // Stores a value given in degrees (east of Greenwich) or metres in the system's own units.
    void SetNormParam(int slot, double value);

    static bool IsAngleSlot(int slot);
    static bool IsLongitudeSlot(int slot);
    static bool IsLengthSlot(int slot);

private:
    void ComputeFactors() const;
};

} // namespace fennick
