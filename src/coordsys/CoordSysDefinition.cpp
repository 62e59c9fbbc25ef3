#include "coordsys/CoordSysDefinition.h"

#include "coordsys/UnitInfo.h"

#include <cmath>
#include <limits>

namespace fennick {

namespace {

constexpr double kUnset = std::numeric_limits<double>::infinity();

} // namespace

void CCoordSysDefinition::Reset() {
    projected = 0;
    empty = 1;
    geographicCode = datumCode = primeMeridianCode = angularUnitCode = ellipsoidCode = 0;
    geographicName = datumName = ellipsoidName = primeMeridianName = angularUnitName = "";
    primeMeridian = semiMajorAxis = inverseFlattening = 0.0;
    for (double& v : datumShift)
        v = 0.0;
    datumShiftPresent = datumShiftCount = 0;
    angularUnit = 0.0;
    projectedCode = 0;
    projectedName = linearUnitName = "";
    linearUnitCode = 0;
    linearUnit = 0.0;
    projection = 0;
    factorsReady = 0;
    cachedPrimeMeridian = cachedMetresPerUnit = cachedDegreesPerUnit = 0.0;
    for (double& v : params)
        v = kUnset;
}

bool CCoordSysDefinition::IsAngleSlot(int slot) {
    switch (slot) {
    case PARAM_STANDARD_PARALLEL_1:
    case PARAM_STANDARD_PARALLEL_2:
    case PARAM_LONGITUDE_OF_ORIGIN:
    case PARAM_LATITUDE_OF_ORIGIN:
    case PARAM_CENTRAL_MERIDIAN:
    case PARAM_AZIMUTH:
    case PARAM_LATITUDE_OF_POINT_1:
    case PARAM_LATITUDE_OF_POINT_2:
    case PARAM_LONGITUDE_OF_POINT_1:
    case PARAM_LONGITUDE_OF_POINT_2:
    case PARAM_LONGITUDE_OF_CENTER:
    case PARAM_LATITUDE_OF_CENTER:
    case PARAM_RECTIFIED_GRID_ANGLE:
        return true;
    default:
        return false;
    }
}

bool CCoordSysDefinition::IsLongitudeSlot(int slot) {
    return slot == PARAM_LONGITUDE_OF_ORIGIN || slot == PARAM_CENTRAL_MERIDIAN ||
           slot == PARAM_LONGITUDE_OF_POINT_1 || slot == PARAM_LONGITUDE_OF_POINT_2 ||
           slot == PARAM_LONGITUDE_OF_CENTER;
}

bool CCoordSysDefinition::IsLengthSlot(int slot) {
    return slot == PARAM_FALSE_EASTING || slot == PARAM_FALSE_NORTHING;
}

void CCoordSysDefinition::ComputeFactors() const {
    if (factorsReady)
        return;
    cachedPrimeMeridian = primeMeridian;
    cachedMetresPerUnit = linearUnit;
    // The angles are in the system's angular unit when it has a geographic code; without one, in a known
    // angle unit the text named with its size (an ESRI text in grads), taken at the unit's exact size;
    // otherwise in degrees.
    double named = 0.0;
    if (geographicCode != 0)
        cachedDegreesPerUnit = angularUnit / kRadiansPerDegree;
    else if (angularUnitCode > 9100 && angularUnitCode < 9200 &&
             AngularUnitInfo(angularUnitCode, nullptr, &named) &&
             std::fabs(named * kRadiansPerDegree - angularUnit) < 1e-12)
        cachedDegreesPerUnit = named;
    else
        cachedDegreesPerUnit = 1.0;
    if (std::fabs(cachedDegreesPerUnit - 1.0) < 1e-9)
        cachedDegreesPerUnit = 1.0;
    factorsReady = 1;
}

double CCoordSysDefinition::GetNormParam(int slot, double def) const {
    if (slot < 0 || slot >= PARAM_SLOT_COUNT)
        return def;
    ComputeFactors();
    double v = params[slot];
    if (v == kUnset) {
        static constexpr int kChain3[] = {PARAM_LATITUDE_OF_CENTER, PARAM_STANDARD_PARALLEL_1};
        static constexpr int kChain6[] = {PARAM_LONGITUDE_OF_CENTER, PARAM_LONGITUDE_OF_ORIGIN};
        const int* chain = nullptr;
        int length = 0;
        if (slot == PARAM_LATITUDE_OF_ORIGIN) {
            chain = kChain3;
            length = 2;
        } else if (slot == PARAM_CENTRAL_MERIDIAN) {
            chain = kChain6;
            length = 2;
        } else if (slot == PARAM_LATITUDE_OF_CENTER) {
            chain = kChain3 + 1;
            length = 1;
        } else if (slot == PARAM_LONGITUDE_OF_CENTER) {
            chain = kChain6 + 1;
            length = 1;
        }
        for (int i = 0; i < length && v == kUnset; ++i)
            v = params[chain[i]];
    }
    if (v == kUnset)
        v = def;
    if (IsAngleSlot(slot) && cachedDegreesPerUnit != 1.0)
        v *= cachedDegreesPerUnit;
    if (IsLengthSlot(slot) && cachedMetresPerUnit != 1.0)
        v *= cachedMetresPerUnit;
    if (IsLongitudeSlot(slot) && cachedPrimeMeridian != 0.0)
        v += cachedPrimeMeridian;
    return v;
}

void CCoordSysDefinition::SetNormParam(int slot, double value) {
    if (slot < 0 || slot >= PARAM_SLOT_COUNT)
        return;
    ComputeFactors();
    if (!IsAngleSlot(slot) || (cachedDegreesPerUnit == 1.0 && cachedPrimeMeridian == 0.0)) {
        if (IsLengthSlot(slot) && cachedMetresPerUnit != 1.0 && cachedMetresPerUnit != 0.0)
            value /= cachedMetresPerUnit;
        params[slot] = value;
        return;
    }
    if (IsLongitudeSlot(slot) && cachedPrimeMeridian != 0.0)
        value -= cachedPrimeMeridian;
    params[slot] = cachedDegreesPerUnit != 0.0 ? value / cachedDegreesPerUnit : value;
}

} // namespace fennick
