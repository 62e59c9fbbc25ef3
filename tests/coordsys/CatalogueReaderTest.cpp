#include "coordsys/CatalogueReader.h"
#include "coordsys/EpsgCatalogue.h"
#include "coordsys/ProjString.h"
#include "coordsys/UnitInfo.h"

#include <gtest/gtest.h>

#include <cstring>
#include <proj.h>

namespace fennick {
namespace {

TEST(Catalogue, Epsg4807ParisGradsWithBorrowedShift) {
    CCoordSysDefinition d;
    ASSERT_EQ(SetFromCatalogue(d, 4807), 1);
    EXPECT_EQ(d.projected, 0);
    EXPECT_EQ(d.empty, 0);
    EXPECT_EQ(d.primeMeridianCode, 8903);
    EXPECT_STREQ(d.primeMeridianName, "Paris");
    EXPECT_NEAR(d.primeMeridian, 2.33722917, 1e-12);
    EXPECT_EQ(d.angularUnitCode, 9105);
    EXPECT_NEAR(d.angularUnit, 0.9 * kRadiansPerDegree, 1e-15);
    ASSERT_EQ(d.datumShiftPresent, 1);
    EXPECT_EQ(d.datumShiftCount, 3);
    EXPECT_EQ(d.datumShift[0], -168.0);
    EXPECT_EQ(d.datumShift[1], -60.0);
    EXPECT_EQ(d.datumShift[2], 320.0);
}

TEST(Catalogue, Epsg32632ReadsBackAsUtm) {
    CCoordSysDefinition d;
    ASSERT_EQ(SetFromCatalogue(d, 32632), 1);
    EXPECT_EQ(d.projected, 1);
    EXPECT_EQ(d.projection, 6);
    EXPECT_EQ(d.projectedCode, 32632);
    EXPECT_EQ(d.geographicCode, 4326);
    EXPECT_EQ(d.GetNormParam(PARAM_CENTRAL_MERIDIAN, -1), 9.0);
    EXPECT_EQ(d.GetNormParam(PARAM_SCALE_FACTOR, -1), 0.9996);
    EXPECT_EQ(d.GetNormParam(PARAM_FALSE_EASTING, -1), 500000.0);
    EXPECT_EQ(d.GetNormParam(PARAM_FALSE_NORTHING, -1), 0.0);
}

TEST(Catalogue, Epsg2154SexagesimalLatitude) {
    CCoordSysDefinition d;
    ASSERT_EQ(SetFromCatalogue(d, 2154), 1);
    EXPECT_EQ(d.projection, 20);
    EXPECT_DOUBLE_EQ(d.GetNormParam(PARAM_LATITUDE_OF_ORIGIN, 0), 46.5);
    EXPECT_DOUBLE_EQ(d.GetNormParam(PARAM_CENTRAL_MERIDIAN, 0), 3.0);
}

TEST(Catalogue, WesternSexagesimalLongitudeKeepsItsSign) {
    // NAD83 / New York Long Island (ftUS): longitude of origin -74 in sexagesimal degrees.
    CCoordSysDefinition d;
    ASSERT_EQ(SetFromCatalogue(d, 2263), 1);
    EXPECT_DOUBLE_EQ(d.GetNormParam(PARAM_CENTRAL_MERIDIAN, 0), -74.0);
    EXPECT_EQ(d.linearUnitCode, 9003);
    // False easting 984250 US feet is stored in feet and read back in metres.
    EXPECT_NEAR(d.params[PARAM_FALSE_EASTING], 984250.0, 1e-6);
}

TEST(Catalogue, EsriTextsCoverCodesOutsideEpsg) {
    CCoordSysDefinition d;
    ASSERT_EQ(SetFromCatalogue(d, 54004), 1);
    EXPECT_EQ(d.projected, 1);
    EXPECT_EQ(d.projection, 4);
    ASSERT_EQ(SetFromCatalogue(d, 53004), 1);
    EXPECT_EQ(d.inverseFlattening, 0.0);
    ASSERT_EQ(SetFromCatalogue(d, 104000), 1);
    EXPECT_EQ(d.projected, 0);
    EXPECT_EQ(d.datumCode, 6267);
}

TEST(Catalogue, UnknownCodeChangesNothing) {
    CCoordSysDefinition d;
    ASSERT_EQ(SetFromCatalogue(d, 32632), 1);
    EXPECT_EQ(SetFromCatalogue(d, 1), 0);
    EXPECT_EQ(d.projectedCode, 32632);
    EXPECT_EQ(d.empty, 0);
}

TEST(Catalogue, TablesAreSortedByCode) {
    auto sorted = [](auto rows, size_t count) {
        for (size_t i = 1; i < count; ++i)
            if (!(rows[i - 1].code < rows[i].code))
                return false;
        return count > 0;
    };
    EXPECT_TRUE(sorted(kEpsgGeographicRows, kEpsgGeographicRowCount));
    EXPECT_TRUE(sorted(kEpsgProjectedRows, kEpsgProjectedRowCount));
    EXPECT_TRUE(sorted(kEpsgUnitRows, kEpsgUnitRowCount));
    EXPECT_TRUE(sorted(kEpsgEllipsoidRows, kEpsgEllipsoidRowCount));
    EXPECT_TRUE(sorted(kEpsgPrimeMeridianRows, kEpsgPrimeMeridianRowCount));
    EXPECT_TRUE(sorted(kEsriWktRows, kEsriWktRowCount));
}

// Every EPSG row of the catalogue must read and give a string that PROJ takes.
TEST(Catalogue, EveryEpsgRowGivesAStringProjAccepts) {
    PJ_CONTEXT* ctx = proj_context_create();
    proj_log_level(ctx, PJ_LOG_NONE);
    int failures = 0;
    auto check = [&](int code) {
        CCoordSysDefinition d;
        std::string s;
        if (!SetFromCatalogue(d, code) || !BuildProjString(d, s)) {
            ADD_FAILURE() << "code " << code << " does not read";
            ++failures;
            return;
        }
        PJ* pj = proj_create(ctx, (s + " +type=crs").c_str());
        // Methods without a PROJ text (South-oriented TM 9808, Tunisia mining grid 9816) are rejected by
        // design.
        const bool expectRejected = d.projection == 59 || d.projection == 60;
        if ((pj != nullptr) == expectRejected && failures < 20) {
            ADD_FAILURE() << code << ": " << s;
            ++failures;
        }
        proj_destroy(pj);
    };
    for (size_t i = 0; i < kEpsgGeographicRowCount; ++i)
        check(kEpsgGeographicRows[i].code);
    for (size_t i = 0; i < kEpsgProjectedRowCount; ++i)
        check(kEpsgProjectedRows[i].code);
    proj_context_destroy(ctx);
}

TEST(AngleToDegrees, Units) {
    struct Case {
        const char* text;
        int unit;
        double degrees;
    };
    const Case cases[] = {
        {"40.3030", 9110, 40.508333333333333},
        {"-40.3030", 9110, -40.508333333333333},
        {"46.3", 9110, 46.5},
        {"-74", 9110, -74.0},
        {"10.", 9110, 10.0},
        {"-0.3", 9110, -0.5},
        {"40.303012", 9110, 40.0 + 30.0 / 60 + 30.12 / 3600},
        {"40.3031", 9110, 40.0 + 30.0 / 60 + 31.0 / 3600},
        {"40.30301", 9110, 40.0 + 30.0 / 60 + 30.1 / 3600},
        {"40.303", 9110, 40.0 + 30.0 / 60 + 30.0 / 3600},
        {"2.5969213", 9105, 2.33722917},
        {"200", 9106, 180.0},
        {"3.141592653589793", 9101, 180.0},
        {"90", 9103, 1.5},
        {"36", 9104, 0.01},
        {"12.5", 9102, 12.5},
        {"12.5", 9122, 12.5},
    };
    for (const Case& c : cases)
        EXPECT_NEAR(AngleToDegrees(c.text, c.unit), c.degrees, 1e-12) << c.text << " in " << c.unit;
}

TEST(UnitInfo, AngularAndLinearUnits) {
    const char* name = nullptr;
    double factor = 0;
    ASSERT_TRUE(AngularUnitInfo(9105, &name, &factor));
    EXPECT_EQ(factor, 0.9);
    ASSERT_TRUE(AngularUnitInfo(9102, &name, &factor));
    EXPECT_STREQ(name, "degree");
    EXPECT_NEAR(factor, 1.0, 1e-12);
    ASSERT_TRUE(AngularUnitInfo(9101, &name, &factor));
    EXPECT_NEAR(factor, 57.29577951308232, 1e-9);
    ASSERT_TRUE(AngularUnitInfo(9110, &name, &factor));
    EXPECT_EQ(factor, 1.0);
    EXPECT_FALSE(AngularUnitInfo(1, &name, &factor));

    ASSERT_TRUE(LinearUnitInfo(9001, &name, &factor));
    EXPECT_STREQ(name, "metre");
    EXPECT_EQ(factor, 1.0);
    ASSERT_TRUE(LinearUnitInfo(9003, &name, &factor));
    EXPECT_NEAR(factor, 1200.0 / 3937.0, 1e-15);
    EXPECT_FALSE(LinearUnitInfo(12345, &name, &factor));
}

TEST(UnitInfo, FactorLookupUsesTheDigitsWktWrites) {
    EXPECT_EQ(UnitCodeFromFactor(1.0), 9001);
    EXPECT_EQ(UnitCodeFromFactor(0.3048), 9002);
    EXPECT_EQ(UnitCodeFromFactor(0.304800609601219), 9003);
    EXPECT_EQ(UnitCodeFromFactor(0.0174532925199433), 9102);
    EXPECT_EQ(UnitCodeFromFactor(0.123), 0);
}

} // namespace
} // namespace fennick
