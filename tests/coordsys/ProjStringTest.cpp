#include "coordsys/ProjString.h"
#include "coordsys/CatalogueReader.h"
#include "coordsys/WktReader.h"

#include <gtest/gtest.h>

#include <proj.h>

namespace fennick {
namespace {

std::string Build(const CCoordSysDefinition& d) {
    std::string s;
    EXPECT_EQ(BuildProjString(d, s), 1);
    return s;
}

std::string FromWkt(const char* wkt) {
    CCoordSysDefinition d;
    EXPECT_EQ(ReadWktDefinition(d, wkt), 1) << wkt;
    return Build(d);
}

// A projected definition on WGS 84 in metres with the given native code and slots (degrees and metres).
CCoordSysDefinition Projected(int code, std::initializer_list<std::pair<int, double>> slots) {
    CCoordSysDefinition d;
    d.projected = 1;
    d.empty = 0;
    d.projection = code;
    d.semiMajorAxis = 6378137;
    d.inverseFlattening = 298.257223563;
    d.datumCode = 6326;
    d.primeMeridianCode = 8901;
    d.angularUnit = kRadiansPerDegree;
    d.linearUnit = 1;
    d.linearUnitCode = 9001;
    for (auto [slot, value] : slots)
        d.params[slot] = value;
    return d;
}

// Whether PROJ 9 accepts the string as a coordinate reference system.
bool ProjAccepts(const std::string& s) {
    PJ_CONTEXT* ctx = proj_context_create();
    proj_log_level(ctx, PJ_LOG_NONE);
    PJ* pj = proj_create(ctx, (s + " +type=crs").c_str());
    const bool ok = pj != nullptr && proj_is_crs(pj);
    proj_destroy(pj);
    proj_context_destroy(ctx);
    return ok;
}

const char* const kTail = "+ellps=WGS84 +datum=WGS84 +pm=greenwich +units=m +no_defs ";

TEST(ProjString, EmptyDefinitionIsRefused) {
    CCoordSysDefinition d;
    std::u16string out = u"unchanged";
    EXPECT_EQ(BuildProjString(d, out), 0);
    EXPECT_EQ(out, u"unchanged");
}

TEST(ProjString, Wgs84FromCatalogueAndFromEsriWkt) {
    CCoordSysDefinition d;
    ASSERT_EQ(SetFromCatalogue(d, 4326), 1);
    std::u16string wide;
    ASSERT_EQ(BuildProjString(d, wide), 1);
    EXPECT_EQ(wide, u"+proj=longlat +ellps=WGS84 +datum=WGS84 +pm=greenwich +no_defs ");
    // D_WGS_1984 is not a datum name the reader knows, so no datum piece.
    EXPECT_EQ(FromWkt("GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\",6378137.0,"
                      "298.257223563]],PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]]"),
              "+proj=longlat +ellps=WGS84 +pm=greenwich +no_defs ");
}

TEST(ProjString, TransverseMercatorUtmForms) {
    struct Case {
        double centralMeridian;
        double falseNorthing;
        double scale;
        const char* projection;
    };
    const Case cases[] = {
        {9, 0, 0.9996, "+proj=utm +zone=32 "},
        {9, 10000000, 0.9996, "+proj=utm +zone=32 +south "},
        {10, 0, 0.9996, "+proj=tmerc +lat_0=0 +lon_0=10 +k=0.999600 +x_0=500000 +y_0=0 "},
        {9, 0, 1.0, "+proj=tmerc +lat_0=0 +lon_0=9 +k=1.000000 +x_0=500000 +y_0=0 "},
        {9, 5, 0.9996, "+proj=tmerc +lat_0=0 +lon_0=9 +k=0.999600 +x_0=500000 +y_0=5 "},
        {-177, 0, 0.9996, "+proj=utm +zone=1 "},
        {177, 0, 0.9996, "+proj=utm +zone=60 "},
        {183, 0, 0.9996, "+proj=tmerc +lat_0=0 +lon_0=183 +k=0.999600 +x_0=500000 +y_0=0 "},
    };
    for (const Case& c : cases) {
        const CCoordSysDefinition d =
            Projected(6, {{3, 0}, {6, c.centralMeridian}, {8, c.scale}, {4, 500000}, {5, c.falseNorthing}});
        EXPECT_EQ(Build(d), std::string(c.projection) + kTail) << c.centralMeridian;
    }
}

TEST(ProjString, SphereWritesAxes) {
    CCoordSysDefinition d = Projected(9, {});
    d.inverseFlattening = 0;
    d.datumCode = 0;
    EXPECT_EQ(Build(d),
              "+proj=moll +lon_0=0 +x_0=0 +y_0=0 +a=6378137 +b=6378137 +pm=greenwich +units=m +no_defs ");
}

TEST(ProjString, UnitsPiece) {
    struct Case {
        int code;
        double metres;
        const char* piece;
    };
    const Case cases[] = {{9003, 0.3048006096012192, "+units=us-ft "},
                          {9999, 0.5, "+to_meter=0.5 "},
                          {9002, 0.3048, "+units=ft "},
                          {9036, 1000, "+units=km "},
                          {9030, 1852, "+units=kmi "},
                          {9001, 1, "+units=m "}};
    for (const Case& c : cases) {
        CCoordSysDefinition d = Projected(9, {});
        d.linearUnitCode = c.code;
        d.linearUnit = c.metres;
        const std::string s = Build(d);
        EXPECT_NE(s.find(std::string("+pm=greenwich ") + c.piece + "+no_defs "), std::string::npos) << s;
    }
}

TEST(ProjString, PolarStereographicNorthAndSouth) {
    EXPECT_EQ(Build(Projected(57, {{3, -90}, {8, 0.994}})),
              std::string("+proj=stere +lat_0=-90 +lat_ts=-90 +lon_0=0 +k=0.994 +x_0=0 +y_0=0 ") + kTail);
    EXPECT_EQ(Build(Projected(57, {})),
              std::string("+proj=stere +lat_0=90 +lat_ts=90 +lon_0=0 +k=1 +x_0=0 +y_0=0 ") + kTail);
}

TEST(ProjString, LiteralTextsOfSomeRows) {
    EXPECT_EQ(Build(Projected(31, {{6, 1}, {12, 2}, {10, 3}, {13, 4}, {11, 5}})),
              std::string("+proj=tpeqd +lon_0=1  +lon_1=2 +lat_1=3 +lon_2=4 +lat_2=5 +x_0=0 +y_0=0 ") +
                  kTail);
    EXPECT_EQ(Build(Projected(54, {{3, 46.8}, {6, 1}, {8, 0.5}})),
              std::string("+proj=lcc +lat_1=46.8 +lat_0=46.8 +lon_0=1 +k_0=0.5 +x_0=0 +y_0=0 ") + kTail);
    EXPECT_EQ(Build(Projected(5, {})),
              std::string("+ellps=WGS84 +datum=WGS84 +pm=greenwich +units=m +no_defs "));
}

TEST(ProjString, KrovakTextEndsWithABlankSoProjAcceptsIt) {
    const std::string s = Build(Projected(39, {{15, 49.5}, {14, 24.8333}, {9, 30.288}, {8, 0.9999}}));
    EXPECT_NE(s.find("+y_0=0 +ellps=WGS84"), std::string::npos) << s;
    EXPECT_TRUE(ProjAccepts(s)) << s;
}

TEST(ProjString, DatumShiftAndPrimeMeridianPieces) {
    CCoordSysDefinition d = Projected(9, {});
    d.datumCode = 0;
    d.datumShiftPresent = 1;
    d.datumShiftCount = 7;
    const double shift[7] = {1, 2, 3, 0.5, -0.25, 4, 1.5};
    std::copy(shift, shift + 7, d.datumShift);
    d.primeMeridianCode = 0;
    d.primeMeridian = 2.5;
    EXPECT_NE(Build(d).find("+towgs84=1,2,3,0.5,-0.25,4,1.5 +pm=2.5 +units"), std::string::npos);
    d.datumShiftCount = 3;
    d.primeMeridianCode = 8903;
    EXPECT_NE(Build(d).find("+towgs84=1,2,3 +pm=paris "), std::string::npos);
}

TEST(ProjString, LongitudesAreWrittenRelativeToThePrimeMeridian) {
    // NTF (Paris) / Lambert zone II: central meridian 0 grads from Paris. PROJ applies +pm to +lon_0.
    CCoordSysDefinition d;
    ASSERT_EQ(SetFromCatalogue(d, 27572), 1);
    const std::string s = Build(d);
    EXPECT_NE(s.find("+lon_0=0 "), std::string::npos) << s;
    EXPECT_NE(s.find("+pm=paris "), std::string::npos) << s;
}

TEST(ProjString, NumbersIgnoreTheProcessLocale) {
    const char* previous = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    const std::string s = Build(Projected(6, {{6, 10.5}, {8, 0.9996}}));
    if (previous)
        std::setlocale(LC_NUMERIC, "C");
    EXPECT_NE(s.find("+lon_0=10.5 +k=0.999600 "), std::string::npos) << s;
}

} // namespace
} // namespace fennick
