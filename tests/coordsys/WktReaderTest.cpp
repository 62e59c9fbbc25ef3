#include "coordsys/WktReader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace fennick {
namespace {

const std::string kGeogcs = "GEOGCS[\"GCS_WGS_1984\",DATUM[\"D_WGS_1984\",SPHEROID[\"WGS_1984\",6378137.0,"
                            "298.257223563]],PRIMEM[\"Greenwich\",0.0],UNIT[\"Degree\",0.0174532925199433]]";

std::string Projcs(const std::string& projection, const std::string& parameters,
                   const std::string& unit = "UNIT[\"Meter\",1.0]") {
    return "PROJCS[\"P\"," + kGeogcs + ",PROJECTION[\"" + projection + "\"]," + parameters + unit + "]";
}

std::string Param(const char* name, double value) {
    return "PARAMETER[\"" + std::string(name) + "\"," + std::to_string(value) + "],";
}

TEST(WktReader, LambertWithScaleFactorIsOneStandardParallel) {
    CCoordSysDefinition d;
    ASSERT_EQ(ReadWktDefinition(d, Projcs("Lambert_Conformal_Conic", Param("standard_parallel_1", 45) +
                                                                         Param("scale_factor", 0.999) +
                                                                         Param("central_meridian", 3))
                                       .c_str()),
              1);
    EXPECT_EQ(d.projection, 54);
    EXPECT_EQ(d.projected, 1);
    ASSERT_EQ(ReadWktDefinition(d, Projcs("Lambert_Conformal_Conic",
                                          Param("standard_parallel_1", 45) + Param("standard_parallel_2", 47))
                                       .c_str()),
              1);
    EXPECT_EQ(d.projection, 20);
    EXPECT_EQ(d.params[PARAM_STANDARD_PARALLEL_2], 47.0);
}

TEST(WktReader, AlbersFillsTheCentreSlotsFromTheOriginNames) {
    CCoordSysDefinition d;
    ASSERT_EQ(
        ReadWktDefinition(
            d, Projcs("Albers", Param("central_meridian", -96) + Param("latitude_of_origin", 23)).c_str()),
        1);
    EXPECT_EQ(d.projection, 7);
    EXPECT_EQ(d.params[PARAM_CENTRAL_MERIDIAN], -96.0);
    EXPECT_EQ(d.params[PARAM_LATITUDE_OF_ORIGIN], 23.0);
    EXPECT_EQ(d.params[PARAM_LONGITUDE_OF_CENTER], -96.0);
    EXPECT_EQ(d.params[PARAM_LATITUDE_OF_CENTER], 23.0);
    // Without the remapping the centre slots stay unset.
    ASSERT_EQ(ReadWktDefinition(d, Projcs("Albers_Conic_Equal_Area",
                                          Param("central_meridian", -96) + Param("latitude_of_origin", 23))
                                       .c_str()),
              1);
    EXPECT_TRUE(std::isinf(d.params[PARAM_LONGITUDE_OF_CENTER]));
}

TEST(WktReader, OriginNamesFallBackToCentreNames) {
    CCoordSysDefinition d;
    ASSERT_EQ(ReadWktDefinition(d, Projcs("Hotine_Oblique_Mercator", Param("latitude_of_center", 46.9) +
                                                                         Param("longitude_of_center", 7.4) +
                                                                         Param("azimuth", 90))
                                       .c_str()),
              1);
    EXPECT_EQ(d.projection, 53);
    EXPECT_DOUBLE_EQ(d.params[PARAM_LATITUDE_OF_ORIGIN], 46.9);
    EXPECT_DOUBLE_EQ(d.params[PARAM_CENTRAL_MERIDIAN], 7.4);
    EXPECT_DOUBLE_EQ(d.params[PARAM_AZIMUTH], 90.0);
}

TEST(WktReader, Towgs84ChildCounts) {
    struct Case {
        const char* towgs84;
        int present;
        int count;
        double rz;
    };
    const Case cases[] = {
        {"TOWGS84[1,2,3,\"\",\"\",\"\",\"\"]", 1, 3, 0},
        {"TOWGS84[1,2,3,0,0,0,0]", 1, 7, 0},
        {"TOWGS84[1,2,3,4,5,6,7]", 1, 7, 6},
        {"TOWGS84[1,2,3,4]", 1, 3, 0},
        {"TOWGS84[1,2,3,4,5,6]", 0, 0, 0},
        {"TOWGS84[1,2]", 0, 0, 0},
    };
    for (const Case& c : cases) {
        const std::string wkt = "GEOGCS[\"G\",DATUM[\"D_X\",SPHEROID[\"S\",6378388,297]," +
                                std::string(c.towgs84) +
                                "],PRIMEM[\"Greenwich\",0],UNIT[\"Degree\",0.0174532925199433]]";
        CCoordSysDefinition d;
        ASSERT_EQ(ReadWktDefinition(d, wkt.c_str()), 1) << c.towgs84;
        EXPECT_EQ(d.datumShiftPresent, c.present) << c.towgs84;
        EXPECT_EQ(d.datumShiftCount, c.count) << c.towgs84;
        if (c.present) {
            EXPECT_EQ(d.datumShift[0], 1.0);
            EXPECT_EQ(d.datumShift[2], 3.0);
            EXPECT_EQ(d.datumShift[5], c.rz);
        }
    }
}

TEST(WktReader, AngularUnitCodes) {
    struct Case {
        const char* unit;
        int code;
    };
    const Case cases[] = {{"UNIT[\"Radian\",1]", 9101},
                          {"UNIT[\"Whatever\",1]", 9001},
                          {"UNIT[\"Whatever\",0.0174532925199433]", 9102},
                          {"UNIT[\"Grad\",0.0157079632679489]", 9105},
                          {"UNIT[\"Whatever\",0.123]", 9001}};
    for (const Case& c : cases) {
        const std::string wkt =
            "GEOGCS[\"G\",DATUM[\"D\",SPHEROID[\"S\",6378137,298.257223563]],PRIMEM[\"Greenwich\",0]," +
            std::string(c.unit) + "]";
        CCoordSysDefinition d;
        ASSERT_EQ(ReadWktDefinition(d, wkt.c_str()), 1);
        EXPECT_EQ(d.angularUnitCode, c.code) << c.unit;
    }
    CCoordSysDefinition d;
    ASSERT_EQ(ReadWktDefinition(d, "GEOGCS[\"G\",DATUM[\"D\",SPHEROID[\"S\",6378137,298.257223563]]]"), 1);
    EXPECT_EQ(d.angularUnitCode, 9102);
    EXPECT_EQ(d.angularUnit, 1.0);
}

TEST(WktReader, LinearUnitAndCodesAndDatum) {
    const std::string wkt = "PROJCS[\"NAD27 / X\",GEOGCS[\"NAD27\",DATUM[\"North_American_Datum_1927\","
                            "SPHEROID[\"Clarke 1866\",6378206.4,294.9786982138982]],PRIMEM[\"Greenwich\",0,"
                            "AUTHORITY[\"EPSG\",\"8901\"]],UNIT[\"degree\",0.0174532925199433],"
                            "AUTHORITY[\"EPSG\",\"4267\"]],PROJECTION[\"Transverse_Mercator\"],"
                            "UNIT[\"US survey foot\",0.3048006096012192],AUTHORITY[\"EPSG\",\"26799\"]]";
    CCoordSysDefinition d;
    ASSERT_EQ(ReadWktDefinition(d, wkt.c_str()), 1);
    EXPECT_EQ(d.geographicCode, 4267);
    EXPECT_EQ(d.projectedCode, 26799);
    EXPECT_EQ(d.primeMeridianCode, 8901);
    EXPECT_EQ(d.datumCode, 6267);
    EXPECT_EQ(d.linearUnitCode, 9003);
    EXPECT_EQ(d.linearUnit, 0.3048006096012192);
    EXPECT_EQ(d.semiMajorAxis, 6378206.4);
}

TEST(WktReader, ChildrenOutOfOrderAreNormalised) {
    // AUTHORITY before the UNIT and the datum after the prime meridian still read.
    const std::string wkt = "GEOGCS[\"G\",AUTHORITY[\"EPSG\",\"4230\"],PRIMEM[\"Rome\",12.45233],"
                            "UNIT[\"degree\",0.0174532925199433],DATUM[\"D\",TOWGS84[-87,-98,-121],"
                            "SPHEROID[\"International 1924\",6378388,297]]]";
    CCoordSysDefinition d;
    ASSERT_EQ(ReadWktDefinition(d, wkt.c_str()), 1);
    EXPECT_EQ(d.geographicCode, 4230);
    EXPECT_EQ(d.primeMeridianCode, 8906);
    EXPECT_EQ(d.primeMeridian, 12.45233);
    EXPECT_EQ(d.datumShiftCount, 3);
    EXPECT_EQ(d.semiMajorAxis, 6378388.0);
}

// An unknown projection, or an auxiliary sphere other than the semi-major axis's, fails and empties the
// definition rather than passing for a geographic system.
TEST(WktReader, UnknownProjectionFailsTheRead) {
    CCoordSysDefinition d;
    const std::string unknown[] = {Projcs("Fancy_Projection", Param("central_meridian", 0)),
                                   Projcs("Mercator_Auxiliary_Sphere",
                                          Param("central_meridian", 0) + Param("Auxiliary_Sphere_Type", 2))};
    for (const std::string& wkt : unknown) {
        ASSERT_EQ(ReadWktDefinition(d, kGeogcs.c_str()), 1);
        EXPECT_EQ(ReadWktDefinition(d, wkt.c_str()), 0) << wkt;
        EXPECT_EQ(d.empty, 1);
    }
}

TEST(WktReader, BadTextLeavesTheDefinitionAndLocalCsEmptiesIt) {
    CCoordSysDefinition d;
    ASSERT_EQ(ReadWktDefinition(d, kGeogcs.c_str()), 1);
    const char* bad[] = {"", "garbage", "GEOGCS[\"G\",DATUM[", "\x01\x02\xff\xfe", "PROJCS[", "[[[["};
    for (const char* text : bad) {
        EXPECT_EQ(ReadWktDefinition(d, text), 0) << text;
        EXPECT_EQ(d.empty, 0) << text;
        EXPECT_EQ(d.semiMajorAxis, 6378137.0);
    }
    EXPECT_EQ(ReadWktDefinition(d, "LOCAL_CS[\"L\",UNIT[\"Meter\",1]]"), 0);
    EXPECT_EQ(d.empty, 1);
}

TEST(WktReader, DeepNestingIsRefusedWithoutCrashing) {
    std::string deep;
    for (int i = 0; i < 5000; ++i)
        deep += "A[";
    CCoordSysDefinition d;
    EXPECT_EQ(ReadWktDefinition(d, deep.c_str()), 0);
}

} // namespace
} // namespace fennick
