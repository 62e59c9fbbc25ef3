#include "coordsys/ProjString.h"

#include "coordsys/NumberText.h"

#include <cmath>
#include <cstdio>

namespace fennick {

namespace {

// One slot of a projection text: which slot, its default, and how it is written.
enum class Fmt { G16, Fixed6 };
struct SSlot {
    int slot;
    double def;
    Fmt fmt;
};

// A projection text: literal pieces between the placeholders; pieces[i] comes before slots[i].
struct SProjection {
    int code;
    const char* pieces[9];
    SSlot slots[8];
    int count;
};

constexpr SSlot S(int slot, double def = 0.0, Fmt fmt = Fmt::G16) {
    return SSlot{slot, def, fmt};
}

// clang-format off
const SProjection kProjections[] = {
    {3, {"+proj=mill +lat_0=", " +lon_0=", " +x_0=", " +y_0=", " +R_A "}, {S(3), S(6), S(4), S(5)}, 4},
    {4, {"+proj=merc +lat_ts=", " +lon_0=", " +k=", " +x_0=", " +y_0=", " "},
        {S(3), S(6), S(8, 1, Fmt::Fixed6), S(4), S(5)}, 5},
    {6, {"+proj=tmerc +lat_0=", " +lon_0=", " +k=", " +x_0=", " +y_0=", " "},
        {S(3), S(6), S(8, 1, Fmt::Fixed6), S(4), S(5)}, 5},
    {7, {"+proj=aea +lat_1=", " +lat_2=", " +lat_0=", " +lon_0=", " +x_0=", " +y_0=", " "},
        {S(0), S(1), S(3), S(6), S(4), S(5)}, 6},
    {8, {"+proj=sinu +lon_0=", " +x_0=", " +y_0=", " "}, {S(14), S(4), S(5)}, 3},
    {9, {"+proj=moll +lon_0=", " +x_0=", " +y_0=", " "}, {S(6), S(4), S(5)}, 3},
    {10, {"+proj=eck6 +lon_0=", " +x_0=", " +y_0=", " "}, {S(6), S(4), S(5)}, 3},
    {11, {"+proj=eck5 +lon_0=", " +x_0=", " +y_0=", " "}, {S(6), S(4), S(5)}, 3},
    {12, {"+proj=eck4 +lon_0=", " +x_0=", " +y_0=", " "}, {S(6), S(4), S(5)}, 3},
    {13, {"+proj=eck3 +lon_0=", " +x_0=", " +y_0=", " "}, {S(6), S(4), S(5)}, 3},
    {14, {"+proj=eck2 +lon_0=", " +x_0=", " +y_0=", " "}, {S(6), S(4), S(5)}, 3},
    {15, {"+proj=eck1 +lon_0=", " +x_0=", " +y_0=", " "}, {S(6), S(4), S(5)}, 3},
    {16, {"+proj=gall +lon_0=", " +x_0=", " +y_0=", " "}, {S(6), S(4), S(5)}, 3},
    {18, {"+proj=wink1 +lat_ts=", " +lon_0=", " +x_0=", " +y_0=", " "}, {S(0), S(6), S(4), S(5)}, 4},
    {19, {"+proj=wink2 +lat_ts=", " +lon_0=", " +x_0=", " +y_0=", " "}, {S(0), S(6), S(4), S(5)}, 4},
    {20, {"+proj=lcc +lat_1=", " +lat_2=", " +lat_0=", " +lon_0=", " +x_0=", " +y_0=", " "},
        {S(0), S(1), S(3), S(6), S(4), S(5)}, 6},
    {21, {"+proj=poly +lat_0=", " +lon_0=", " +x_0=", " +y_0=", " "}, {S(3), S(6), S(4), S(5)}, 4},
    {22, {"+proj=qua_aut +lon_0=", " +x_0=", " +y_0=", " "}, {S(6), S(4), S(5)}, 3},
    {23, {"+proj=loxim +lat_1=", " +lon_0=", " +x_0=", " +y_0=", " "}, {S(7), S(6), S(4), S(5)}, 4},
    {24, {"+proj=bonne +lat_1=", " +lon_0=", " +x_0=", " +y_0=", " "}, {S(0), S(6), S(4), S(5)}, 4},
    {26, {"+proj=stere +lat_0=", " +lon_0=", " +x_0=", " +y_0=", " "}, {S(3), S(6), S(4), S(5)}, 4},
    {27, {"+proj=eqdc +lat_0=", " +lon_0=", " +lat_1=", " +lat_2=", " +x_0=", " +y_0=", " "},
        {S(3), S(14), S(0), S(1), S(4), S(5)}, 6},
    {28, {"+proj=cass +lat_0=", " +lon_0=", " +x_0=", " +y_0=", " "}, {S(3), S(6), S(4), S(5)}, 4},
    {29, {"+proj=vandg +lon_0=", " +x_0=", " +y_0=", " +R_A "}, {S(6), S(4), S(5)}, 3},
    {30, {"+proj=robin +lon_0=", " +x_0=", " +y_0=", " "}, {S(6), S(4), S(5)}, 3},
    {31, {"+proj=tpeqd +lon_0=", "  +lon_1=", " +lat_1=", " +lon_2=", " +lat_2=", " +x_0=", " +y_0=", " "},
        {S(6), S(12), S(10), S(13), S(11), S(4), S(5)}, 7},
    {32, {"+proj=aeqd +lat_0=", " +lon_0=", " +x_0=", " +y_0=", " "}, {S(3), S(6), S(4), S(5)}, 4},
    {33, {"+proj=laea +lat_0=", " +lon_0=", " +x_0=", " +y_0=", " "}, {S(3), S(6), S(4), S(5)}, 4},
    {34, {"+proj=cea +lon_0=", " +lat_ts=", " +x_0=", " +y_0=", " "}, {S(6), S(0), S(4), S(5)}, 4},
    {35, {"+proj=omerc +lat_0=", " +lon_1=", " +lat_1=", " +lon_2=", " +lat_2=", " +k=", " +x_0=", " +y_0=", " "},
        {S(3), S(12), S(10), S(13), S(11), S(8, 1), S(4), S(5)}, 8},
    {39, {"+proj=krovak +lat_0=", " +lon_0=", " +alpha=", " +k=", " +x_0=", " +y_0=", " "},
        {S(15), S(14), S(9), S(8, 1), S(4), S(5)}, 6},
    {40, {"+proj=nzmg +lat_0=", " +lon_0=", " +x_0=", " +y_0=", " "}, {S(3), S(6), S(4), S(5)}, 4},
    {41, {"+proj=ortho +lat_0=", " +lon_0=", " +x_0=", " +y_0=", " "}, {S(3), S(6), S(4), S(5)}, 4},
    {47, {"+proj=gnom +lat_0=", " +lon_0=", " +x_0=", " +y_0=", " "}, {S(3), S(6), S(4), S(5)}, 4},
    {52, {"+proj=eqc +lat_ts=", " +lon_0=", " +x_0=", " +y_0=", " "}, {S(3), S(6), S(4), S(5)}, 4},
    {53, {"+proj=omerc +lat_0=", " +lonc=", " +alpha=", " +k=", " +x_0=", " +y_0=", " "},
        {S(3), S(6), S(9), S(8, 1), S(4), S(5)}, 6},
    {54, {"+proj=lcc +lat_1=", " +lat_0=", " +lon_0=", " +k_0=", " +x_0=", " +y_0=", " "},
        {S(3), S(3), S(6), S(8, 1), S(4), S(5)}, 6},
    {55, {"+proj=lcc +lat_1=", " +lat_2=", " +lat_0=", " +lon_0=", " +x_0=", " +y_0=", " "},
        {S(0), S(1), S(3), S(6), S(4), S(5)}, 6},
    {56, {"+proj=omerc +lat_0=", " +lonc=", " +x_0=", " +y_0=", " "}, {S(3), S(6), S(4), S(5)}, 4},
    {58, {"+proj=stere +lat_0=", " +lon_0=", " +k=", " +x_0=", " +y_0=", " "},
        {S(3), S(6), S(8, 1, Fmt::Fixed6), S(4), S(5)}, 5},
};
// clang-format on

struct SEllipsoid {
    const char* name;
    double a;
    double rf;
    double rfTolerance;
};

const SEllipsoid kEllipsoids[] = {
    {"clrk80", 6378249.145, 293.465, 0.0001},
    {"krass", 6378245, 298.3, 0.0001},
    {"intl", 6378388, 297, 0.0001},
    {"aust_SA", 6378160, 298.25, 0.0001},
    {"bessel", 6377397.155, 299.1528128, 0.0001},
    {"bess_nam", 6377483.865, 299.1528128, 0.0001},
    {"GRS67", 6378160, 298.247167427, 0.0001},
    {"GRS80", 6378137, 298.257222101, 1e-6},
    {"clrk66", 6378206.4, 294.9786982, 0.0001},
    {"airy", 6377563.396, 299.3249646, 0.0001},
    {"helmert", 6378200, 298.3, 0.0001},
    {"fschr60m", 6378155, 298.3, 0.0001},
    {"evrstSS", 6377298.556, 300.8017, 0.0001},
    {"WGS60", 6378165, 298.3, 0.0001},
    {"WGS66", 6378145, 298.25, 0.0001},
    {"WGS72", 6378135, 298.26, 0.0001},
    {"WGS84", 6378137, 298.257223563, 1e-6},
};

const char* const kPrimeMeridianNames[] = {"greenwich", "lisbon", "paris",   "bogota", "madrid",
                                           "rome",      "bern",   "jakarta", "ferro",  "brussels",
                                           "stockholm", "athens", "oslo"};

// PROJ reads longitudes relative to the "+pm" that the string also carries, so the prime meridian that
// GetNormParam adds is taken off again.
double ProjLongitude(const CCoordSysDefinition& d, int slot, double def) {
    return d.GetNormParam(slot, def) - d.primeMeridian;
}

void AppendSlot(std::string& out, const CCoordSysDefinition& d, const SSlot& s) {
    const double v = CCoordSysDefinition::IsLongitudeSlot(s.slot) ? ProjLongitude(d, s.slot, s.def)
                                                                  : d.GetNormParam(s.slot, s.def);
    if (s.fmt == Fmt::Fixed6)
        AppendFixed6(out, v);
    else
        AppendG16(out, v);
}

// The UTM short form applies when the transverse Mercator parameters are exactly a UTM zone's.
bool AppendUtm(std::string& out, const CCoordSysDefinition& d) {
    if (d.GetNormParam(PARAM_LATITUDE_OF_ORIGIN, 0.0) != 0.0)
        return false;
    // The scale read with its fallbacks but without unit conversion (it has none).
    if (d.GetNormParam(PARAM_SCALE_FACTOR, 1.0) != 0.9996)
        return false;
    if (d.GetNormParam(PARAM_FALSE_EASTING, 0.0) != 500000.0)
        return false;
    const double northing = d.GetNormParam(PARAM_FALSE_NORTHING, 0.0);
    bool south;
    if (northing == 0.0)
        south = false;
    else if (northing == 10000000.0)
        south = true;
    else
        return false;
    const double lon = ProjLongitude(d, PARAM_CENTRAL_MERIDIAN, 0.0);
    if (!(lon >= -177.00001 && lon <= 177.000001))
        return false;
    const double c = (lon + 183.0) / 6.0 + 1e-9;
    const int zone = static_cast<int>(c);
    if (std::fabs(c - zone) > 1e-5)
        return false;
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, south ? "+proj=utm +zone=%d +south " : "+proj=utm +zone=%d ", zone);
    out += buffer;
    return true;
}

void AppendPolar(std::string& out, const CCoordSysDefinition& d) {
    const bool north = d.GetNormParam(PARAM_LATITUDE_OF_ORIGIN, 0.0) >= 0.0;
    out += north ? "+proj=stere +lat_0=90 +lat_ts=" : "+proj=stere +lat_0=-90 +lat_ts=";
    AppendG16(out, d.GetNormParam(PARAM_LATITUDE_OF_ORIGIN, north ? 90.0 : -90.0));
    out += " +lon_0=";
    AppendG16(out, ProjLongitude(d, PARAM_CENTRAL_MERIDIAN, 0.0));
    out += " +k=";
    AppendG16(out, d.GetNormParam(PARAM_SCALE_FACTOR, 1.0));
    out += " +x_0=";
    AppendG16(out, d.GetNormParam(PARAM_FALSE_EASTING, 0.0));
    out += " +y_0=";
    AppendG16(out, d.GetNormParam(PARAM_FALSE_NORTHING, 0.0));
    out += ' ';
}

void AppendProjection(std::string& out, const CCoordSysDefinition& d) {
    if (!d.projected) {
        out += "+proj=longlat ";
        return;
    }
    if (d.projection == 57) {
        AppendPolar(out, d);
        return;
    }
    if (d.projection == 6 && AppendUtm(out, d))
        return;
    for (const SProjection& p : kProjections) {
        if (p.code != d.projection)
            continue;
        for (int i = 0; i < p.count; ++i) {
            out += p.pieces[i];
            AppendSlot(out, d, p.slots[i]);
        }
        out += p.pieces[p.count];
        // Two standard parallels with a scale factor other than 1 (as ArcGIS may write them).
        if (p.code == 20) {
            const double scale = d.GetNormParam(PARAM_SCALE_FACTOR, 1.0);
            if (scale != 1.0) {
                out += "+k_0=";
                AppendG16(out, scale);
                out += ' ';
            }
        }
        return;
    }
}

void AppendEllipsoid(std::string& out, const CCoordSysDefinition& d) {
    const double a = d.semiMajorAxis;
    const double rf = d.inverseFlattening;
    for (const SEllipsoid& e : kEllipsoids) {
        if (std::fabs(a - e.a) < 0.01 && std::fabs(rf - e.rf) < e.rfTolerance) {
            out += "+ellps=";
            out += e.name;
            out += ' ';
            return;
        }
    }
    if (d.datumCode == 6267) {
        out += "+ellps=clrk66 ";
        return;
    }
    if (d.datumCode == 6269) {
        out += "+ellps=GRS80 ";
        return;
    }
    const double b = std::fabs(rf) < 1e-12 ? a : a * (1.0 - 1.0 / rf);
    out += "+a=";
    AppendG16(out, a);
    out += " +b=";
    AppendG16(out, b);
    out += ' ';
}

void AppendDatum(std::string& out, const CCoordSysDefinition& d) {
    switch (d.datumCode) {
    case 6267:
        out += "+datum=NAD27 ";
        return;
    case 6269:
        out += "+datum=NAD83 ";
        return;
    case 6326:
        out += "+datum=WGS84 ";
        return;
    default:
        break;
    }
    if (!d.datumShiftPresent)
        return;
    const int count = d.datumShiftCount == 3 ? 3 : d.datumShiftCount == 7 ? 7 : 0;
    if (count == 0)
        return;
    out += "+towgs84=";
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            out += ',';
        AppendG16(out, d.datumShift[i]);
    }
    out += ' ';
}

void AppendPrimeMeridian(std::string& out, const CCoordSysDefinition& d) {
    out += "+pm=";
    if (d.primeMeridianCode >= 8901 && d.primeMeridianCode <= 8913)
        out += kPrimeMeridianNames[d.primeMeridianCode - 8901];
    else
        AppendG16(out, d.primeMeridian);
    out += ' ';
}

void AppendUnits(std::string& out, const CCoordSysDefinition& d) {
    if (!d.projected)
        return;
    const double u = d.linearUnit;
    const int c = d.linearUnitCode;
    const char* name = nullptr;
    if (u == 1.0)
        name = "m";
    else if (u == 1000.0)
        name = "km";
    else if (u == 0.0254)
        name = "in";
    else if (c == 9002)
        name = "ft";
    else if (u == 0.9144)
        name = "yd";
    else if (u == 0.001)
        name = "mm";
    else if (u == 0.01)
        name = "cm";
    else if (c == 9003)
        name = "us-ft";
    else if (c == 9030)
        name = "kmi";
    else if (c == 9093)
        name = "mi";
    if (name != nullptr) {
        out += "+units=";
        out += name;
        out += ' ';
        return;
    }
    out += "+to_meter=";
    AppendG16(out, u);
    out += ' ';
}

// Web Mercator as PROJ writes it: the sphere of the semi-major axis, and a null grid so that the
// geographic coordinates are taken as they are, without a datum change.
void AppendWebMercator(std::string& out, const CCoordSysDefinition& d) {
    out += "+proj=merc +a=";
    AppendG16(out, d.semiMajorAxis);
    out += " +b=";
    AppendG16(out, d.semiMajorAxis);
    out += " +lat_ts=";
    AppendG16(out, d.GetNormParam(PARAM_LATITUDE_OF_ORIGIN, 0.0));
    out += " +lon_0=";
    AppendG16(out, ProjLongitude(d, PARAM_CENTRAL_MERIDIAN, 0.0));
    out += " +x_0=";
    AppendG16(out, d.GetNormParam(PARAM_FALSE_EASTING, 0.0));
    out += " +y_0=";
    AppendG16(out, d.GetNormParam(PARAM_FALSE_NORTHING, 0.0));
    out += " +k=1 ";
    AppendUnits(out, d);
    out += "+nadgrids=@null +wktext +no_defs ";
}

} // namespace

int BuildProjString(const CCoordSysDefinition& definition, std::string& out) {
    if (definition.empty)
        return 0;
    std::string text;
    if (definition.projected && definition.projection == kProjectionWebMercator) {
        AppendWebMercator(text, definition);
        out = std::move(text);
        return 1;
    }
    AppendProjection(text, definition);
    AppendEllipsoid(text, definition);
    AppendDatum(text, definition);
    AppendPrimeMeridian(text, definition);
    AppendUnits(text, definition);
    text += "+no_defs ";
    out = std::move(text);
    return 1;
}

int BuildProjString(const CCoordSysDefinition& definition, std::u16string& out) {
    std::string text;
    if (!BuildProjString(definition, text))
        return 0;
    out.assign(text.begin(), text.end());
    return 1;
}

} // namespace fennick
