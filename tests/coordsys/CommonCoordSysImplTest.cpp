#include "coordsys/CommonCoordSysImpl.h"
#include "coordsys/CoordSysText.h"
#include "data/IShape.h"
#include "data/Ref.h"
#include "data/RefCounted.h"
#include "platform/Boundary.h"
#include "platform/CodePage.h"

#include "TempDir.h"

#include <gtest/gtest.h>
#include <proj.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace fennick {
namespace {

using test::CTempDir;

const char* const kWgs84Wkt =
    "GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\",6378137.0,"
    "298.257223563]],PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]]";
const char* const kWgs84WktWithAuthority =
    "GEOGCS[\"WGS 84\",DATUM[\"WGS_1984\",SPHEROID[\"WGS "
    "84\",6378137,298.257223563,AUTHORITY[\"EPSG\",\"7030\"]],"
    "AUTHORITY[\"EPSG\",\"6326\"]],PRIMEM[\"Greenwich\",0,AUTHORITY[\"EPSG\",\"8901\"]],"
    "UNIT[\"degree\",0.0174532925199433,AUTHORITY[\"EPSG\",\"9122\"]],AUTHORITY[\"EPSG\",\"4326\"]]";
// The ".prj" ArcGIS writes for NAD 1927 geographic coordinates.
const char* const kNad27Prj = "GEOGCS[\"GCS_North_American_1927\",DATUM[\"D_North_American_1927\","
                              "SPHEROID[\"Clarke_1866\",6378206.4,294.9786982]],PRIMEM[\"Greenwich\",0.0],"
                              "UNIT[\"Degree\",0.0174532925199433]]";

CRef<CCommonCoordSysImpl> Create() {
    CCommonCoordSysImpl* raw = nullptr;
    EXPECT_EQ(CreateCoordSys(&raw), 1);
    return CRef<CCommonCoordSysImpl>::Adopt(raw);
}

CRef<CCommonCoordSysImpl> FromCode(int code) {
    auto cs = Create();
    EXPECT_EQ(cs->SetFromCode(code), 1) << code;
    return cs;
}

CRef<CCommonCoordSysImpl> FromWkt(const char* wkt) {
    auto cs = Create();
    std::u16string wide(wkt, wkt + std::strlen(wkt));
    EXPECT_EQ(cs->SetFromWkt(wide.c_str()), 1);
    return cs;
}

std::string Quote(const std::string& s) {
    return "'" + s + "'";
}

// PROJ's own command-line tool on one point: the first two numbers it prints.
CGeoPoint Cs2cs(const std::string& from, const std::string& to, double a, double b) {
    char input[128];
    std::snprintf(input, sizeof input, "%.12f %.12f", a, b);
    const std::string command =
        "echo '" + std::string(input) + "' | cs2cs -f %.10f " + from + " +to " + to + " 2>/dev/null";
    CGeoPoint out{NAN, NAN};
    if (FILE* pipe = popen(command.c_str(), "r")) {
        if (std::fscanf(pipe, "%lf %lf", &out.x, &out.y) != 2)
            out = {NAN, NAN};
        pclose(pipe);
    }
    return out;
}

// projinfo's text for a definition it reads ("EPSG:n" or "@file") in a format; empty when it cannot.
std::string Projinfo(const std::string& definition, const std::string& format = "PROJ") {
    std::string out;
    const std::string command = "projinfo -o " + format + " -q " + Quote(definition) + " 2>/dev/null";
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe))
            out += buffer;
        pclose(pipe);
    }
    while (!out.empty() && std::isspace(static_cast<unsigned char>(out.back())))
        out.pop_back();
    return out;
}

// Where the system of a PROJ string puts a point given in degrees on its own geographic system (no datum
// change), through PROJ's API; the system's type is returned too.
CGeoPoint Project(const std::string& projString, double lon, double lat, PJ_TYPE* type) {
    PJ_CONTEXT* ctx = proj_context_create();
    proj_log_level(ctx, PJ_LOG_NONE);
    CGeoPoint out{NAN, NAN};
    PJ* crs = proj_create(ctx, (projString + " +type=crs").c_str());
    if (crs != nullptr && proj_get_type(crs) == PJ_TYPE_BOUND_CRS) {
        PJ* base = proj_get_source_crs(ctx, crs);
        proj_destroy(crs);
        crs = base;
    }
    *type = crs ? proj_get_type(crs) : PJ_TYPE_UNKNOWN;
    PJ* geo = crs ? proj_crs_get_geodetic_crs(ctx, crs) : nullptr;
    PJ* op = geo ? proj_create_crs_to_crs_from_pj(ctx, geo, crs, nullptr, nullptr) : nullptr;
    PJ* norm = op ? proj_normalize_for_visualization(ctx, op) : nullptr;
    if (norm != nullptr) {
        const PJ_COORD c = proj_trans(norm, PJ_FWD, proj_coord(lon, lat, 0, 0));
        out = {c.xy.x, c.xy.y};
    }
    for (PJ* pj : {norm, op, geo, crs})
        proj_destroy(pj);
    proj_context_destroy(ctx);
    return out;
}

// The ".prj" ArcGIS writes for NAD83 State Plane Virginia North (US feet): two standard parallels and a
// scale factor.
const std::string kVirginiaNorth =
    "PROJCS[\"NAD_1983_StatePlane_Virginia_North_FIPS_4501_Feet\",GEOGCS[\"GCS_North_American_1983\","
    "DATUM[\"D_North_American_1983\",SPHEROID[\"GRS_1980\",6378137.0,298.257222101]],PRIMEM[\"Greenwich\",0."
    "0],"
    "UNIT[\"Degree\",0.0174532925199433]],PROJECTION[\"Lambert_Conformal_Conic\"],"
    "PARAMETER[\"False_Easting\",11482916.66666666],PARAMETER[\"False_Northing\",6561666.666666666],"
    "PARAMETER[\"Central_Meridian\",-78.5],PARAMETER[\"Standard_Parallel_1\",38.03333333333333],"
    "PARAMETER[\"Standard_Parallel_2\",39.2],PARAMETER[\"Scale_Factor\",1.0],"
    "PARAMETER[\"Latitude_Of_Origin\",37.66666666666666],UNIT[\"Foot_US\",0.3048006096012192]]";

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    return text.replace(text.find(from), from.size(), to);
}

class CFakeShape : public CUnknownImpl<IShape> {
public:
    std::vector<std::vector<CGeoPoint>> parts;
    CGeoRect bounds;
    bool refuseCount = false;

    int GetType() override { return SHAPE_POLYLINE; }
    int GetBounds(CGeoRect* b) override {
        *b = bounds;
        return 1;
    }
    int GetCenter(CGeoPoint*) override { return 0; }
    int GetPartCount() override { return static_cast<int>(parts.size()); }
    int GetPartPointCount(int part, int* count) override {
        if (refuseCount || part < 0 || part >= GetPartCount())
            return 0;
        *count = static_cast<int>(parts[part].size());
        return 1;
    }
    int GetPointCount(int* count) override {
        *count = 0;
        for (auto& p : parts)
            *count += static_cast<int>(p.size());
        return 1;
    }
    CGeoPoint* GetPartPoints(int part) override { return parts.at(part).data(); }
    int CopyPoints(int, CGeoPoint*, int) override { return 0; }
    void SetBounds(const CGeoRect& b) override { bounds = b; }
    int GetPartRingKind(int) override { return 0; }
    int ReservedA() override { return 0; }
};

TEST(CoordSysObject, PrjWithGeogcsGivesItsAuthorityCode) {
    CTempDir dir;
    ICoordSys* raw = nullptr;
    ASSERT_EQ(LoadCoordSys(FromUtf8(dir.Write("a.prj", kWgs84WktWithAuthority)).c_str(), &raw), 1);
    CRef<ICoordSys> cs = CRef<ICoordSys>::Adopt(raw);
    EXPECT_EQ(cs->GetCode(), 4326);
    EXPECT_EQ(cs->IsGeographic(), 1);
    EXPECT_EQ(cs->IsProjected(), 0);
    EXPECT_EQ(cs->GetUnitCode(), 9102); // by the unit's name
    EXPECT_EQ(ProjStringOf(cs.Get()), "+proj=longlat +ellps=WGS84 +datum=WGS84 +pm=greenwich +no_defs ");

    ASSERT_EQ(LoadCoordSys(FromUtf8(dir.Write("b.prj", kWgs84Wkt)).c_str(), &raw), 1);
    cs = CRef<ICoordSys>::Adopt(raw);
    EXPECT_EQ(cs->GetCode(), 0);
    EXPECT_EQ(cs->IsEmpty(), 0);
}

TEST(CoordSysObject, UnreadableFilesLoadNothing) {
    CTempDir dir;
    std::string binary;
    for (int i = 0; i < 4096; ++i)
        binary += static_cast<char>((i * 7919) & 0xFF);
    const std::string huge = std::string(kWgs84Wkt) + std::string(CCommonCoordSysImpl::kMaxFileSize, ' ');
    const std::string files[] = {dir.Write("empty.prj", ""), dir.Write("binary.prj", binary),
                                 dir.Write("huge.prj", huge), dir.Write("local.prj", "LOCAL_CS[\"x\"]"),
                                 dir.Path("missing.prj")};
    for (const std::string& path : files) {
        ICoordSys* raw = reinterpret_cast<ICoordSys*>(0x1);
        EXPECT_EQ(LoadCoordSys(FromUtf8(path).c_str(), &raw), 0) << path;
        EXPECT_EQ(raw, nullptr);
    }
}

TEST(CoordSysObject, FailedLoadRestoresThePreviousCode) {
    auto cs = FromCode(32632);
    EXPECT_EQ(cs->SetFromCode(1), 0);
    EXPECT_EQ(cs->GetCode(), 32632);
    EXPECT_EQ(cs->SetFromWkt(u"not a coordinate system"), 0);
    EXPECT_EQ(cs->GetCode(), 32632);
    EXPECT_EQ(cs->SetFromWkt(u"LOCAL_CS[\"x\",UNIT[\"Meter\",1]]"), 0);
    EXPECT_EQ(cs->GetCode(), 32632);
    EXPECT_EQ(cs->IsProjected(), 1);
    EXPECT_NE(cs->GetNativeProjection(), nullptr);
    // A text that cannot be read keeps the system's words for the caller.
    ClearFailure();
    EXPECT_EQ(cs->LoadFromFile(u"/nonexistent/a.prj"), 0);
    EXPECT_EQ(cs->GetCode(), 32632);
    const std::u16string reason = TakeFailureReason();
    EXPECT_NE(reason.find(u"/nonexistent/a.prj"), std::u16string::npos);
    EXPECT_NE(reason.find(u"No such file or directory"), std::u16string::npos);

    // Without a code to go back to, a LOCAL_CS leaves the object empty.
    auto plain = FromWkt(kWgs84Wkt);
    EXPECT_EQ(plain->SetFromWkt(u"LOCAL_CS[\"x\",UNIT[\"Meter\",1]]"), 0);
    EXPECT_EQ(plain->IsEmpty(), 1);
}

TEST(CoordSysObject, Wgs84ToUtm32NorthAndBackAgreeWithCs2cs) {
    auto wgs84 = FromCode(4326);
    auto utm = FromCode(32632);
    const CGeoPoint points[] = {{9.5, 48.25}, {6.1, 52.7}, {11.9, 44.0}};
    for (const CGeoPoint& p : points) {
        CGeoPoint q = p;
        ASSERT_EQ(utm->TransformPoint(wgs84.Get(), &q), 1);
        const CGeoPoint expected = Cs2cs("EPSG:4326", "EPSG:32632", p.y, p.x); // EPSG:4326 is latitude first
        EXPECT_NEAR(q.x, expected.x, 1e-3);
        EXPECT_NEAR(q.y, expected.y, 1e-3);
        ASSERT_EQ(wgs84->TransformPoint(utm.Get(), &q), 1);
        EXPECT_NEAR(q.x, p.x, 1e-9);
        EXPECT_NEAR(q.y, p.y, 1e-9);
    }
}

TEST(CoordSysObject, Nad27PrjToWgs84AgreesWithCs2cs) {
    auto nad27 = FromWkt(kNad27Prj);
    auto wgs84 = FromCode(4326);
    const std::string from = ProjStringOf(nad27.Get());
    ASSERT_EQ(from, "+proj=longlat +ellps=clrk66 +datum=NAD27 +pm=greenwich +no_defs ");
    CGeoPoint p{-100.0, 40.0};
    ASSERT_EQ(wgs84->TransformPoint(nad27.Get(), &p), 1);
    const CGeoPoint expected =
        Cs2cs(Quote(from + "+type=crs"), Quote(ProjStringOf(wgs84.Get()) + "+type=crs"), -100.0, 40.0);
    EXPECT_NEAR(p.x, expected.x, 1e-9);
    EXPECT_NEAR(p.y, expected.y, 1e-9);

    // The catalogue's NAD27 agrees with PROJ's own EPSG path to about a metre, and the shift is real.
    auto nad27Epsg = FromCode(4267);
    CGeoPoint q{-100.0, 40.0};
    ASSERT_EQ(wgs84->TransformPoint(nad27Epsg.Get(), &q), 1);
    const CGeoPoint reference = Cs2cs("EPSG:4267", "EPSG:4326", 40.0, -100.0);
    EXPECT_NEAR(q.x, reference.y, 1e-5);
    EXPECT_NEAR(q.y, reference.x, 1e-5);
    EXPECT_GT(std::fabs(q.x + 100.0), 1e-5);
}

TEST(CoordSysObject, ParisMeridianProjectionAgreesWithCs2cs) {
    auto ntfParis = FromCode(4807);
    auto lambert = FromCode(27572);
    // Longitude relative to Paris, in degrees.
    CGeoPoint p{0.5, 46.0};
    ASSERT_EQ(lambert->TransformPoint(ntfParis.Get(), &p), 1);
    const std::string geo = "'+proj=longlat +a=6378249.2 +b=6356515 +pm=paris +type=crs'";
    const std::string projected = "'+proj=lcc +lat_1=46.8 +lat_0=46.8 +lon_0=0 +k_0=0.99987742 +x_0=600000 "
                                  "+y_0=2200000 +a=6378249.2 +b=6356515 +pm=paris +type=crs'";
    const CGeoPoint expected = Cs2cs(geo, projected, 0.5, 46.0);
    EXPECT_NEAR(p.x, expected.x, 1e-3);
    EXPECT_NEAR(p.y, expected.y, 1e-3);
}

// Each definition, by EPSG code or as a ".prj" file (ArcGIS's, or the ESRI text projinfo writes for a code),
// must put a point where PROJ's own reading of the same code or text puts it, in the same kind of system;
// one PROJ cannot read must not load.
TEST(CoordSysObject, DefinitionsAgreeWithProjinfo) {
    struct Case {
        std::string definition; // "EPSG:n", "prj:AUTHORITY:n" (projinfo's ESRI text as a ".prj") or WKT
        double lon, lat;
        std::string prefix = ""; // bytes before the text in the file only
    };
    const Case cases[] = {
        {kVirginiaNorth, -77.5, 38.9},
        {Replace(kVirginiaNorth, "\"Scale_Factor\",1.0", "\"Scale_Factor\",0.9999"), -77.5, 38.9},
        {kVirginiaNorth, -77.5, 38.9, "\xEF\xBB\xBF"},
        {"EPSG:3857", 10, 50},
        {"EPSG:3785", -120, -40},
        {"prj:ESRI:102100", 10, 50},
        {"prj:EPSG:27572", 0.5, 46}, // NTF Paris Lambert zone II: parameters in grads, no authority
        {Replace(kVirginiaNorth, "Lambert_Conformal_Conic", "Lambert_Conformal_Conica"), -77.5, 38.9},
    };
    CTempDir dir;
    for (const Case& c : cases) {
        std::string reference;
        auto cs = Create();
        int loaded = 0;
        if (c.definition.rfind("EPSG:", 0) == 0) {
            reference = Projinfo(c.definition);
            loaded = cs->SetFromCode(std::stoi(c.definition.substr(5)));
        } else {
            const std::string text = c.definition.rfind("prj:", 0) == 0
                                         ? Projinfo(c.definition.substr(4), "WKT1_ESRI")
                                         : c.definition;
            ASSERT_FALSE(text.empty());
            // Appended, not concatenated: GCC 12 at -O3 warns falsely (-Wrestrict) on a literal +
            // std::string.
            std::string at = "@";
            at += dir.Write("reference.prj", text);
            reference = Projinfo(at);
            loaded = cs->LoadFromFile(FromUtf8(dir.Write("a.prj", c.prefix + text)).c_str());
        }
        const std::string ours = ProjStringOf(cs.Get());
        SCOPED_TRACE(c.definition.substr(0, 60) + "\n ours: " + ours + "\n projinfo: " + reference);
        EXPECT_EQ(loaded, reference.empty() ? 0 : 1);
        if (reference.empty() || !loaded)
            continue;
        PJ_TYPE ourType, referenceType;
        const CGeoPoint a = Project(ours, c.lon, c.lat, &ourType);
        const CGeoPoint b = Project(reference, c.lon, c.lat, &referenceType);
        EXPECT_EQ(ourType, referenceType);
        EXPECT_NEAR(a.x, b.x, 1e-3);
        EXPECT_NEAR(a.y, b.y, 1e-3);
    }
}

// A pair of systems PROJ has no operation between (another planet's sphere) fails every conversion and
// leaves the coordinates alone.
TEST(CoordSysObject, ConversionWithoutAnOperationFails) {
    auto mars = FromWkt("GEOGCS[\"Mars\",DATUM[\"D_Mars\",SPHEROID[\"Mars\",3396190,169.8944472236118]],"
                        "PRIMEM[\"Greenwich\",0],UNIT[\"Degree\",0.0174532925199433]]");
    auto wgs84 = FromCode(4326);
    ASSERT_TRUE(std::isnan(Cs2cs("'+proj=longlat +a=3396190 +rf=169.8944472236118'", "EPSG:4326", 1, 2).x));
    CGeoRect r{1, 3, 2, 2};
    EXPECT_EQ(wgs84->TransformRect(mars.Get(), &r), 0);
    EXPECT_EQ(r.left, 1.0);
    EXPECT_EQ(r.top, 3.0);
}

TEST(CoordSysObject, EmptySideMakesTransformsNoOps) {
    auto empty = Create();
    auto utm = FromCode(32632);
    CGeoPoint p{1.0, 2.0};
    EXPECT_EQ(utm->TransformPoint(empty.Get(), &p), 1);
    EXPECT_EQ(empty->TransformPoint(utm.Get(), &p), 1);
    EXPECT_EQ(p.x, 1.0);
    EXPECT_EQ(p.y, 2.0);
    CGeoRect r{0, 1, 1, 0};
    EXPECT_EQ(utm->TransformRect(empty.Get(), &r), 1);
    EXPECT_EQ(r.right, 1.0);
    EXPECT_EQ(empty->GetNativeProjection(), nullptr);
}

TEST(CoordSysObject, ZeroSizeRectangleFails) {
    auto wgs84 = FromCode(4326);
    auto utm = FromCode(32632);
    CGeoRect r{9, 48, 9, 48};
    EXPECT_EQ(utm->TransformRect(wgs84.Get(), &r), 0);
    EXPECT_EQ(r.left, 9.0);
    EXPECT_EQ(r.top, 48.0);
}

TEST(CoordSysObject, RectangleBoundsCoverTheConvertedEdges) {
    auto wgs84 = FromCode(4326);
    auto utm = FromCode(32632);
    CGeoRect r{400000, 5400000, 600000, 5300000};
    ASSERT_EQ(wgs84->TransformRect(utm.Get(), &r), 1);
    // The widest longitude span is on the northern edge's corners; the top is the northern edge's middle.
    const CGeoPoint nw = Cs2cs("EPSG:32632", "EPSG:4326", 400000, 5400000);
    const CGeoPoint se = Cs2cs("EPSG:32632", "EPSG:4326", 600000, 5300000);
    const CGeoPoint n = Cs2cs("EPSG:32632", "EPSG:4326", 500000, 5400000);
    const CGeoPoint sw = Cs2cs("EPSG:32632", "EPSG:4326", 400000, 5300000);
    EXPECT_NEAR(r.left, nw.y, 1e-7);
    EXPECT_NEAR(r.top, n.x, 1e-7);
    EXPECT_NEAR(r.bottom, std::min(sw.x, se.x), 1e-7);
    EXPECT_GE(r.right, se.y);
}

TEST(CoordSysObject, ShapePointsAndBoundsAreConverted) {
    auto wgs84 = FromCode(4326);
    auto utm = FromCode(32632);
    CRef<CFakeShape> shape = MakeRef<CFakeShape>();
    shape->parts = {{{9.0, 48.0}, {9.5, 48.5}}, {{10.0, 47.5}}};
    ASSERT_EQ(utm->TransformShape(wgs84.Get(), shape.Get()), 1);
    const CGeoPoint a = Cs2cs("EPSG:4326", "EPSG:32632", 48.0, 9.0);
    const CGeoPoint c = Cs2cs("EPSG:4326", "EPSG:32632", 47.5, 10.0);
    const CGeoPoint b = Cs2cs("EPSG:4326", "EPSG:32632", 48.5, 9.5);
    EXPECT_NEAR(shape->parts[0][0].x, a.x, 1e-3);
    EXPECT_NEAR(shape->parts[1][0].y, c.y, 1e-3);
    EXPECT_NEAR(shape->bounds.left, a.x, 1e-3);
    EXPECT_NEAR(shape->bounds.right, c.x, 1e-3);
    EXPECT_NEAR(shape->bounds.bottom, c.y, 1e-3);
    EXPECT_NEAR(shape->bounds.top, b.y, 1e-3);

    CRef<CFakeShape> refusing = MakeRef<CFakeShape>();
    refusing->parts = {{{9.0, 48.0}}};
    refusing->refuseCount = true;
    EXPECT_EQ(utm->TransformShape(wgs84.Get(), refusing.Get()), 0);
}

TEST(CoordSysObject, CloneCopiesTheDefinitionAndConvertsAlike) {
    auto utm = FromCode(32632);
    auto wgs84 = FromCode(4326);
    ICoordSys* raw = nullptr;
    ASSERT_EQ(utm->Clone(&raw), 1);
    CRef<ICoordSys> copy = CRef<ICoordSys>::Adopt(raw);
    EXPECT_EQ(copy->GetCode(), 32632);
    CGeoPoint a{9.5, 48.25}, b{9.5, 48.25};
    ASSERT_EQ(utm->TransformPoint(wgs84.Get(), &a), 1);
    ASSERT_EQ(copy->TransformPoint(wgs84.Get(), &b), 1);
    EXPECT_EQ(a.x, b.x);
    EXPECT_EQ(a.y, b.y);

    auto empty = Create();
    raw = nullptr;
    EXPECT_EQ(empty->Clone(&raw), 0);
    EXPECT_EQ(raw, nullptr);
}

TEST(CoordSysObject, StringProjRejectsFailsTransformsAndLeavesTheObjectUsable) {
    // Gauss_Kruger has no PROJ text, so the string lacks +proj.
    auto gk = FromWkt(
        "PROJCS[\"GK\",GEOGCS[\"G\",DATUM[\"D\",SPHEROID[\"S\",6378245,298.3]],PRIMEM[\"Greenwich\",0],"
        "UNIT[\"Degree\",0.0174532925199433]],PROJECTION[\"Gauss_Kruger\"],UNIT[\"Meter\",1]]");
    auto wgs84 = FromCode(4326);
    EXPECT_EQ(gk->GetNativeProjection(), nullptr);
    CGeoPoint p{9, 48};
    EXPECT_EQ(gk->TransformPoint(wgs84.Get(), &p), 0);
    EXPECT_EQ(p.x, 9.0);
    ICoordSys* raw = nullptr;
    EXPECT_EQ(gk->Clone(&raw), 0);
    EXPECT_EQ(gk->SetFromCode(32632), 1);
    EXPECT_EQ(gk->TransformPoint(wgs84.Get(), &p), 1);
    EXPECT_GT(p.x, 400000);
}

TEST(CoordSysObject, PointOutsideTheProjectionFails) {
    auto wgs84 = FromCode(4326);
    auto utm = FromCode(32632);
    CGeoPoint p{1e30, 1e30};
    EXPECT_EQ(wgs84->TransformPoint(utm.Get(), &p), 0);
    EXPECT_EQ(p.x, 1e30);
    EXPECT_EQ(utm->ReleaseBuffers(), 1);
}

} // namespace
} // namespace fennick
