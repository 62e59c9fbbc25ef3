#include "tab/WktParser.h"

#include "coordsys/NumberText.h"
#include "coordsys/UnitInfo.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <ogr_spatialref.h>
#include <strings.h>
#include <vector>

namespace fennick {

namespace {

constexpr double kUnset = std::numeric_limits<double>::infinity();

struct SNameCode {
    const char* name;
    int code;
};

// clang-format off
const SNameCode kProjectionNames[] = {
    {"Albers_Conic_Equal_Area", 7}, {"Azimuthal_Equidistant", 32}, {"Cassini_Soldner", 28},
    {"Cylindrical_Equal_Area", 34}, {"Eckert_I", 15}, {"Eckert_II", 14}, {"Eckert_III", 13}, {"Eckert_IV", 12},
    {"Eckert_V", 11}, {"Eckert_VI", 10}, {"Equidistant_Conic", 27}, {"Equirectangular", 52},
    {"Gall_Stereographic", 16}, {"Gnomonic", 47}, {"Hotine_Oblique_Mercator", 53},
    {"Hotine_Oblique_Mercator_Two_Point_Natural_Origin", 35}, {"Lambert_Conformal_Conic_1SP", 54},
    {"Lambert_Conformal_Conic_2SP", 20}, {"Lambert_Conformal_Conic_2SP_Belgium", 55},
    {"Lambert_Azimuthal_Equal_Area", 33}, {"Mercator_1SP", 4}, {"Mercator_2SP", 4}, {"Miller_Cylindrical", 3},
    {"Mollweide", 9}, {"New_Zealand_Map_Grid", 40}, {"Oblique_Stereographic", 58}, {"Orthographic", 41},
    {"Polar_Stereographic", 57}, {"Polyconic", 21}, {"Robinson", 30}, {"Sinusoidal", 8}, {"Stereographic", 26},
    {"Swiss_Oblique_Cylindrical", 56}, {"Transverse_Mercator", 6}, {"Transverse_Mercator_South_Orientated", 59},
    {"Tunisia_Mining_Grid", 60}, {"VanDerGrinten", 29}, {"Krovak", 39}, {"Albers", 7}, {"Cassini", 28},
    {"Hotine_Oblique_Mercator_Azimuth_Natural_Origin", 36}, {"Lambert_Conformal_Conic", 20},
    {"VanDerGrinten", 29}, {"Van_der_Grinten_I", 29}, {"Gauss_Kruger", 5}, {"Mercator", 4},
    {"Equidistant_Cylindrical", 52}, {"Plate_Carree", 52}, {"Winkel_I", 18}, {"Winkel_II", 19},
    {"Quartic_Authalic", 22}, {"Loximuthal", 23}, {"Bonne", 24}, {"Two_Point_Equidistant", 31},
    {"Mercator_Auxiliary_Sphere", kProjectionWebMercator},
};

const SNameCode kParameterNames[] = {
    {"central_meridian", 6}, {"scale_factor", 8}, {"standard_parallel_1", 0}, {"standard_parallel_2", 1},
    {"pseudo_standard_parallel_1", 17}, {"longitude_of_center", 14}, {"latitude_of_center", 15},
    {"longitude_of_origin", 2}, {"latitude_of_origin", 3}, {"false_easting", 4}, {"false_northing", 5},
    {"azimuth", 9}, {"longitude_of_point_1", 12}, {"latitude_of_point_1", 10}, {"longitude_of_point_2", 13},
    {"latitude_of_point_2", 11}, {"Longitude_Of_1st_Point", 12}, {"Longitude_Of_2nd_Point", 13},
    {"Latitude_Of_1st_Point", 10}, {"Latitude_Of_2nd_Point", 11}, {"rectified_grid_angle", 16},
    {"central_parallel", 7},
};

const SNameCode kUnitNames[] = {
    {"Meter", 9001}, {"Metre", 9001}, {"Foot", 9002}, {"Foot_US", 9003}, {"Degree", 9102}, {"Degrees", 9102},
    {"Radian", 9101}, {"Foot (International)", 9002}, {"U.S. Foot", 9003}, {"US Survey Foot", 9003},
    {"Nautical Mile", 9030}, {"Link", 9034}, {"Chain", 9033}, {"Kilometer", 9036},
};

const SNameCode kPrimeMeridianNames[] = {
    {"Greenwich", 8901}, {"Lisbon", 8902}, {"Paris", 8903}, {"Bogota", 8904}, {"Madrid", 8905},
    {"Rome", 8906}, {"Bern", 8907}, {"Jakarta", 8908}, {"Ferro", 8909}, {"Brussels", 8910},
    {"Stockholm", 8911}, {"Athens", 8912}, {"Oslo", 8913},
};

const SNameCode kDatumNames[] = {
    {"North_American_Datum_1927", 6267}, {"D_North_American_1927", 6267},
    {"North_American_Datum_1983", 6269}, {"D_North_American_1983", 6269}, {"WGS_1984", 6326},
};

// Child order of the nodes whose children are put in order after parsing (the name stays first).
const char* const kProjcsOrder[] = {"GEOGCS", "PROJECTION", "PARAMETER", "UNIT", "AXIS", "AUTHORITY", nullptr};
const char* const kGeogcsOrder[] = {"DATUM", "PRIMEM", "UNIT", "AXIS", "AUTHORITY", nullptr};
const char* const kDatumOrder[] = {"SPHEROID", "TOWGS84", "AUTHORITY", nullptr};
// clang-format on

bool Equal(const char* a, const char* b) {
    return a != nullptr && b != nullptr && strcasecmp(a, b) == 0;
}

template <size_t N> int LookUp(const SNameCode (&table)[N], const char* name) {
    for (const SNameCode& row : table)
        if (Equal(row.name, name))
            return row.code;
    return 0;
}

double Number(const OGR_SRSNode* node) {
    return TextToDouble(node->GetValue());
}

int Rank(const char* const* order, const char* value) {
    for (int i = 0; order[i] != nullptr; ++i)
        if (Equal(order[i], value))
            return i;
    return -1;
}

// Puts the children of PROJCS, GEOGCS and DATUM nodes in their canonical order (a stable sort that keeps the
// first child, the name, in front; unknown keywords go first).
void NormaliseOrder(OGR_SRSNode* node) {
    for (int i = 0; i < node->GetChildCount(); ++i)
        NormaliseOrder(node->GetChild(i));
    const int count = node->GetChildCount();
    if (count < 3)
        return;
    const char* const* order = nullptr;
    if (Equal(node->GetValue(), "PROJCS"))
        order = kProjcsOrder;
    else if (Equal(node->GetValue(), "GEOGCS"))
        order = kGeogcsOrder;
    else if (Equal(node->GetValue(), "DATUM"))
        order = kDatumOrder;
    if (order == nullptr)
        return;
    bool sorted = true;
    for (int i = 2; i < count && sorted; ++i)
        sorted = Rank(order, node->GetChild(i - 1)->GetValue()) <= Rank(order, node->GetChild(i)->GetValue());
    if (sorted)
        return;
    std::vector<std::pair<int, OGR_SRSNode*>> children;
    for (int i = 1; i < count; ++i)
        children.emplace_back(Rank(order, node->GetChild(i)->GetValue()), node->GetChild(i)->Clone());
    std::stable_sort(children.begin(), children.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    while (node->GetChildCount() > 1)
        node->DestroyChild(node->GetChildCount() - 1);
    for (auto& child : children)
        node->AddChild(child.second); // the node takes ownership
}

const OGR_SRSNode* Child(const OGR_SRSNode* node, const char* name) {
    if (node == nullptr)
        return nullptr;
    const int i = node->FindChild(name);
    return i < 0 ? nullptr : node->GetChild(i);
}

// The first UNIT child with a name and a factor.
const OGR_SRSNode* UnitChild(const OGR_SRSNode* node) {
    if (node == nullptr)
        return nullptr;
    for (int i = 0; i < node->GetChildCount(); ++i) {
        const OGR_SRSNode* child = node->GetChild(i);
        if (Equal(child->GetValue(), "UNIT") && child->GetChildCount() >= 2)
            return child;
    }
    return nullptr;
}

int AuthorityCode(const OGR_SRSNode* root, const char* name) {
    const OGR_SRSNode* authority = Child(root->GetNode(name), "AUTHORITY");
    if (authority == nullptr || authority->GetChildCount() < 2)
        return 0;
    const double v = Number(authority->GetChild(1));
    if (!(v > -2147483648.0 && v < 2147483648.0))
        return 0;
    return static_cast<int>(v);
}

bool FindParameter(const OGR_SRSNode* projcs, const char* name, double* value) {
    if (projcs == nullptr)
        return false;
    for (int i = 0; i < projcs->GetChildCount(); ++i) {
        const OGR_SRSNode* p = projcs->GetChild(i);
        if (Equal(p->GetValue(), "PARAMETER") && p->GetChildCount() == 2 &&
            Equal(p->GetChild(0)->GetValue(), name)) {
            *value = Number(p->GetChild(1));
            return true;
        }
    }
    return false;
}

// Slot s from the PARAMETER children; +infinity when none of its names is there. With the Albers remapping
// the centre slots are read under the origin names (longitude 14 as slot 6, latitude 15 as slot 3).
double ReadSlot(const OGR_SRSNode* projcs, int slot, bool albers) {
    int target = slot;
    if (albers && slot == PARAM_LONGITUDE_OF_CENTER)
        target = PARAM_CENTRAL_MERIDIAN;
    else if (albers && slot == PARAM_LATITUDE_OF_CENTER)
        target = PARAM_LATITUDE_OF_ORIGIN;
    double value = 0.0;
    for (const SNameCode& row : kParameterNames) {
        if (row.code != target)
            continue;
        if (FindParameter(projcs, row.name, &value))
            return value;
        if (Equal(row.name, "latitude_of_origin") && FindParameter(projcs, "latitude_of_center", &value))
            return value;
        if (Equal(row.name, "central_meridian") && (FindParameter(projcs, "longitude_of_center", &value) ||
                                                    FindParameter(projcs, "longitude_of_origin", &value)))
            return value;
    }
    return kUnset;
}

int UnitCode(const OGR_SRSNode* unit) {
    if (const int code = LookUp(kUnitNames, unit->GetChild(0)->GetValue()))
        return code;
    if (const int code = UnitCodeFromFactor(Number(unit->GetChild(1))))
        return code;
    return 9001;
}

// A tree this reader can take: a PROJCS, GEOGCS or LOCAL_CS somewhere in a node with children.
bool IsCoordinateSystemTree(OGR_SRSNode& root) {
    if (root.GetChildCount() == 0)
        return false;
    return root.GetNode("PROJCS") != nullptr || root.GetNode("GEOGCS") != nullptr ||
           Equal(root.GetValue(), "LOCAL_CS");
}

} // namespace

int ProjectionCodeFromName(const char* name) {
    return LookUp(kProjectionNames, name);
}

int ParseWktDefinition(CCoordSysDefinition& d, const char* wkt) {
    if (wkt == nullptr)
        return 0;
    // Editors on other systems may start the file with a UTF-8 byte-order mark.
    if (std::strncmp(wkt, "\xEF\xBB\xBF", 3) == 0)
        wkt += 3;
    OGR_SRSNode root;
    const char* cursor = wkt;
    if (root.importFromWkt(&cursor) != OGRERR_NONE || !IsCoordinateSystemTree(root))
        return 0;
    NormaliseOrder(&root);

    d.Reset();
    const OGR_SRSNode* projcs = root.GetNode("PROJCS");
    const OGR_SRSNode* geogcs = root.GetNode("GEOGCS");

    if (const OGR_SRSNode* primem = root.GetNode("PRIMEM"); primem && primem->GetChildCount() >= 2)
        d.primeMeridian = Number(primem->GetChild(1));

    const OGR_SRSNode* linearUnit = UnitChild(projcs ? projcs : root.GetNode("LOCAL_CS"));
    d.linearUnit = linearUnit ? Number(linearUnit->GetChild(1)) : 1.0;

    if (geogcs == nullptr) {
        d.angularUnit = kRadiansPerDegree;
    } else {
        const OGR_SRSNode* angularUnit = UnitChild(geogcs);
        d.angularUnit = angularUnit ? Number(angularUnit->GetChild(1)) : 1.0;
    }

    int projection = 0;
    bool albers = false;
    if (const OGR_SRSNode* node = root.GetNode("PROJECTION")) {
        const char* name = node->GetChild(0)->GetValue();
        projection = ProjectionCodeFromName(name);
        albers = Equal(name, "Albers");
        // ArcGIS writes a scale factor (usually 1) beside two standard parallels; only a text with a single
        // parallel, or two equal ones, is the one-parallel form.
        if (projection == 20) {
            const double scale = ReadSlot(projcs, PARAM_SCALE_FACTOR, albers);
            const double first = ReadSlot(projcs, PARAM_STANDARD_PARALLEL_1, albers);
            const double second = ReadSlot(projcs, PARAM_STANDARD_PARALLEL_2, albers);
            if (scale != kUnset && scale != 2.0 && (second == kUnset || second == first))
                projection = 54;
        }
        // Only the auxiliary sphere on the semi-major axis (type 0) is the Web Mercator that GDAL reads.
        double sphereType = 0.0;
        if (projection == kProjectionWebMercator &&
            FindParameter(projcs, "Auxiliary_Sphere_Type", &sphereType) && sphereType != 0.0)
            projection = 0;
    }

    if (Equal(root.GetValue(), "LOCAL_CS"))
        return 0;
    // A projection this reader does not know cannot be converted; reading it as geographic would misplace
    // every point.
    if (projcs != nullptr && projection == 0)
        return 0;

    if (projection != 0) {
        d.projection = projection;
        for (int slot = 0; slot < PARAM_SLOT_COUNT; ++slot)
            d.params[slot] = ReadSlot(projcs, slot, albers);
        d.projected = 1;
    }
    d.empty = 0;

    const OGR_SRSNode* spheroid = root.GetNode("SPHEROID");
    if (spheroid && spheroid->GetChildCount() >= 3) {
        d.semiMajorAxis = Number(spheroid->GetChild(1));
        d.inverseFlattening = Number(spheroid->GetChild(2));
    } else {
        d.semiMajorAxis = 6378137.0;
        d.inverseFlattening = 298.257223563;
    }

    if (const OGR_SRSNode* datum = root.GetNode("DATUM"))
        d.datumCode = LookUp(kDatumNames, datum->GetChild(0)->GetValue());

    if (const OGR_SRSNode* towgs84 = root.GetNode("TOWGS84")) {
        const int n = towgs84->GetChildCount();
        bool restEmpty = n >= 7;
        for (int i = 3; i < 7 && restEmpty; ++i)
            restEmpty = towgs84->GetChild(i)->GetValue()[0] == '\0';
        int count = 0;
        if (n >= 3 && (n <= 5 || restEmpty))
            count = 3;
        else if (n >= 7)
            count = 7;
        for (int i = 0; i < count; ++i)
            d.datumShift[i] = Number(towgs84->GetChild(i));
        if (count != 0) {
            d.datumShiftCount = count;
            d.datumShiftPresent = 1;
        }
    }

    d.primeMeridianCode = AuthorityCode(&root, "PRIMEM");
    if (d.primeMeridianCode == 0)
        if (const OGR_SRSNode* primem = root.GetNode("PRIMEM"))
            d.primeMeridianCode = LookUp(kPrimeMeridianNames, primem->GetChild(0)->GetValue());

    d.geographicCode = AuthorityCode(&root, "GEOGCS");
    d.projectedCode = AuthorityCode(&root, "PROJCS");

    const OGR_SRSNode* projcsUnit = UnitChild(projcs);
    d.linearUnitCode = projcsUnit ? UnitCode(projcsUnit) : 9001;
    const OGR_SRSNode* geogcsUnit = UnitChild(geogcs);
    d.angularUnitCode = geogcsUnit ? UnitCode(geogcsUnit) : 9102;
    return 1;
}

} // namespace fennick
