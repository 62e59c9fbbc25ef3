#include "coordsys/CatalogueReader.h"

#include "coordsys/EpsgCatalogue.h"
#include "coordsys/NumberText.h"
#include "coordsys/UnitInfo.h"
#include "coordsys/WktReader.h"

namespace fennick {

namespace {

bool FillGeographic(CCoordSysDefinition& d, const SEpsgGeographicRow& row) {
    d.geographicCode = row.code;
    d.datumCode = row.datumCode;
    d.primeMeridianCode = row.primeMeridianCode;
    d.angularUnitCode = row.angularUnitCode;
    d.ellipsoidCode = row.ellipsoidCode;
    d.geographicName = row.name;
    d.datumName = row.datumName;

    const SEpsgPrimeMeridianRow* pm = FindEpsgPrimeMeridian(row.primeMeridianCode);
    if (pm == nullptr || pm->unitCode <= 0)
        return false;
    d.primeMeridianName = pm->name;
    d.primeMeridian = AngleToDegrees(pm->longitude, pm->unitCode);

    const SEpsgEllipsoidRow* ellipsoid = FindEpsgEllipsoid(row.ellipsoidCode);
    double metres = 0.0;
    if (ellipsoid == nullptr || ellipsoid->semiMajorAxis == 0.0 ||
        !LinearUnitInfo(ellipsoid->unitCode, nullptr, &metres))
        return false;
    d.ellipsoidName = ellipsoid->name;
    d.semiMajorAxis = ellipsoid->semiMajorAxis * metres;
    d.inverseFlattening = ellipsoid->inverseFlattening;
    if (d.inverseFlattening == 0.0) {
        const double b = ellipsoid->semiMinorAxis * metres;
        d.inverseFlattening =
            (d.semiMajorAxis == 0.0 || b == d.semiMajorAxis) ? 0.0 : 1.0 / (1.0 - b / d.semiMajorAxis);
    }

    const char* unitName = "degree";
    double degrees = 1.0;
    if (AngularUnitInfo(row.angularUnitCode, &unitName, &degrees)) {
        d.angularUnitName = unitName;
        d.angularUnit = degrees == 1.0 ? kRadiansPerDegree : degrees * kRadiansPerDegree;
    } else {
        d.angularUnitName = "degree";
        d.angularUnitCode = 0;
        d.angularUnit = kRadiansPerDegree;
    }

    switch (row.shiftMethod) {
    case 9603:
        for (int i = 0; i < 3; ++i)
            d.datumShift[i] = row.shift[i];
        d.datumShiftCount = 3;
        d.datumShiftPresent = 1;
        break;
    case 9606:
    case 9607:
        for (int i = 0; i < 7; ++i)
            d.datumShift[i] = row.shift[i];
        // Coordinate frame rotations turned into position vector ones.
        if (row.shiftMethod == 9607)
            for (int i = 3; i < 6; ++i)
                d.datumShift[i] = -d.datumShift[i];
        d.datumShiftCount = 7;
        d.datumShiftPresent = 1;
        break;
    default:
        d.datumShiftPresent = 0;
        break;
    }
    return true;
}

// A parameter value in degrees, metres or as it is, by its unit.
double ParameterValue(const SEpsgParameter& p) {
    const bool scale = p.code == 8805 || p.code == 8815 || p.code == 8819;
    if (scale && p.unitCode < 9200)
        return TextToDouble(p.value);
    if (p.unitCode >= 9100 && p.unitCode <= 9199)
        return AngleToDegrees(p.value, p.unitCode);
    if (p.unitCode < 9001 || p.unitCode > 9099)
        return TextToDouble(p.value);
    double factor = 1.0;
    if (!LinearUnitInfo(p.unitCode, nullptr, &factor))
        factor = 1.0;
    return TextToDouble(p.value) * factor;
}

struct SMethodSlot {
    int slot;
    int param; // parameter code, or 0 with a constant
    double constant;
};

struct SMethod {
    int method;
    int projection;
    SMethodSlot slots[7];
    int count;
};

// clang-format off
const SMethod kMethods[] = {
    {9801, 54, {{3, 8801, 0}, {6, 8802, 0}, {8, 8805, 0}, {4, 8806, 0}, {5, 8807, 0}}, 5},
    {9817, 54, {{3, 8801, 0}, {6, 8802, 0}, {8, 8805, 0}, {4, 8806, 0}, {5, 8807, 0}}, 5},
    {9802, 20, {{0, 8823, 0}, {1, 8824, 0}, {3, 8821, 0}, {6, 8822, 0}, {4, 8826, 0}, {5, 8827, 0}}, 6},
    {9803, 55, {{0, 8823, 0}, {1, 8824, 0}, {3, 8821, 0}, {6, 8822, 0}, {4, 8826, 0}, {5, 8827, 0}}, 6},
    {9804, 4, {{3, 8801, 0}, {6, 8802, 0}, {8, 8805, 0}, {4, 8806, 0}, {5, 8807, 0}}, 5},
    {9805, 4, {{3, 8801, 0}, {6, 8802, 0}, {8, 8805, 0}, {4, 8806, 0}, {5, 8807, 0}}, 5},
    {9806, 28, {{3, 8801, 0}, {6, 8802, 0}, {4, 8806, 0}, {5, 8807, 0}}, 4},
    {9807, 6, {{3, 8801, 0}, {6, 8802, 0}, {8, 8805, 0}, {4, 8806, 0}, {5, 8807, 0}}, 5},
    {9808, 59, {{3, 8801, 0}, {6, 8802, 0}, {8, 8805, 0}, {4, 8806, 0}, {5, 8807, 0}}, 5},
    {9809, 26, {{3, 8801, 0}, {6, 8802, 0}, {8, 8805, 0}, {4, 8806, 0}, {5, 8807, 0}}, 5},
    {9810, 57, {{3, 8801, 0}, {6, 8802, 0}, {8, 8805, 0}, {4, 8806, 0}, {5, 8807, 0}}, 5},
    {9811, 40, {{3, 8801, 0}, {6, 8802, 0}, {4, 8806, 0}, {5, 8807, 0}}, 4},
    {9812, 53, {{15, 8811, 0}, {14, 8812, 0}, {9, 8813, 0}, {16, 8814, 0}, {8, 8815, 0}, {4, 8806, 0}, {5, 8807, 0}}, 7},
    {9813, 53, {{15, 8811, 0}, {14, 8812, 0}, {9, 8813, 0}, {16, 8814, 0}, {8, 8815, 0}, {4, 8806, 0}, {5, 8807, 0}}, 7},
    {9814, 53, {{15, 8811, 0}, {14, 8812, 0}, {9, 8813, 0}, {16, 8814, 0}, {8, 8815, 0}, {4, 8806, 0}, {5, 8807, 0}}, 7},
    {9815, 53, {{15, 8811, 0}, {14, 8812, 0}, {9, 8813, 0}, {16, 8814, 0}, {8, 8815, 0}, {4, 8816, 0}, {5, 8817, 0}}, 7},
    {9816, 60, {{3, 8821, 0}, {6, 8822, 0}, {4, 8826, 0}, {5, 8827, 0}}, 4},
    {9818, 21, {{3, 8801, 0}, {6, 8802, 0}, {4, 8806, 0}, {5, 8807, 0}}, 4},
    {9819, 39, {{15, 8811, 0}, {14, 8812, 0}, {9, 8813, 0}, {17, 8818, 0}, {8, 8819, 0}, {4, 8816, 0}, {5, 8817, 0}}, 7},
    {9820, 33, {{15, 8801, 0}, {14, 8802, 0}, {4, 8806, 0}, {5, 8807, 0}}, 4},
    {9821, 33, {{15, 8828, 0}, {14, 8829, 0}, {4, 8806, 0}, {5, 8807, 0}}, 4},
    {9822, 7, {{0, 8823, 0}, {1, 8824, 0}, {15, 8821, 0}, {14, 8822, 0}, {4, 8826, 0}, {5, 8827, 0}}, 6},
    {9823, 52, {{3, 8801, 0}, {6, 8802, 0}, {4, 0, 0}, {5, 0, 0}}, 4},
    {9829, 57, {{3, 8832, 0}, {6, 8833, 0}, {8, 0, 1}, {4, 8806, 0}, {5, 8807, 0}}, 5},
    {9834, 34, {{0, 8823, 0}, {6, 8802, 0}, {4, 8806, 0}, {5, 8807, 0}}, 4},
    {1024, kProjectionWebMercator, {{3, 8801, 0}, {6, 8802, 0}, {4, 8806, 0}, {5, 8807, 0}}, 4},
};
// clang-format on

bool IsPrimeMeridianRelative(int param) {
    return param == 8802 || param == 8812 || param == 8822 || param == 8829 || param == 8830;
}

bool FillProjected(CCoordSysDefinition& d, const SEpsgProjectedRow& row) {
    d.projectedName = row.name;
    if (const SEpsgGeographicRow* geographic = FindEpsgGeographic(row.geographicCode))
        if (!FillGeographic(d, *geographic))
            return false;

    const char* unitName = "";
    double metres = 0.0;
    if (!LinearUnitInfo(row.linearUnitCode, &unitName, &metres))
        return false;
    d.linearUnitCode = row.linearUnitCode;
    d.linearUnitName = unitName;
    d.linearUnit = metres;

    if (row.methodCode == 0)
        return false;
    const SMethod* method = nullptr;
    for (const SMethod& m : kMethods)
        if (m.method == row.methodCode)
            method = &m;
    if (method == nullptr)
        return false;

    auto fetch = [&](int param) {
        double value = (param == 8805 || param == 8815 || param == 8819) ? 1.0 : param == 8814 ? 90.0 : 0.0;
        for (const SEpsgParameter& p : row.params) {
            if (p.code != 0 && p.code == param) {
                value = ParameterValue(p);
                break;
            }
        }
        if (IsPrimeMeridianRelative(param))
            value += d.primeMeridian;
        return value;
    };
    for (int i = 0; i < method->count; ++i) {
        const SMethodSlot& s = method->slots[i];
        d.SetNormParam(s.slot, s.param != 0 ? fetch(s.param) : s.constant);
    }
    d.projection = method->projection;
    d.projectedCode = row.code;
    return true;
}

} // namespace

int SetFromCatalogue(CCoordSysDefinition& d, int code) {
    if (const SEpsgGeographicRow* row = FindEpsgGeographic(code)) {
        d.Reset();
        if (!FillGeographic(d, *row)) {
            d.Reset();
            return 0;
        }
        d.projected = 0;
        d.empty = 0;
        return 1;
    }
    if (const SEpsgProjectedRow* row = FindEpsgProjected(code)) {
        d.Reset();
        if (!FillProjected(d, *row)) {
            d.Reset();
            return 0;
        }
        d.projected = 1;
        d.empty = 0;
        return 1;
    }
    if (const SEsriWktRow* row = FindEsriWkt(code))
        return ReadWktDefinition(d, row->wkt);
    return 0;
}

} // namespace fennick
