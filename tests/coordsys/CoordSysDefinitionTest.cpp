#include "coordsys/CoordSysDefinition.h"

#include <gtest/gtest.h>

#include <cmath>

namespace fennick {
namespace {

CCoordSysDefinition Projected(double radiansPerUnit, double primeMeridian, double metresPerUnit) {
    CCoordSysDefinition d;
    d.projected = 1;
    d.empty = 0;
    d.geographicCode = 4999;
    d.angularUnit = radiansPerUnit;
    d.primeMeridian = primeMeridian;
    d.linearUnit = metresPerUnit;
    return d;
}

TEST(CoordSysDefinition, ResetLeavesEveryParameterUnset) {
    CCoordSysDefinition d;
    d.params[3] = 1.0;
    d.empty = 0;
    d.projected = 1;
    d.Reset();
    EXPECT_EQ(d.empty, 1);
    EXPECT_EQ(d.projected, 0);
    for (double v : d.params)
        EXPECT_TRUE(std::isinf(v) && v > 0);
}

TEST(CoordSysDefinition, FallbackChains) {
    struct Case {
        int asked;
        int stored;
        double expected;
    };
    // slot 3 -> 15 -> 0, slot 6 -> 14 -> 2, slot 15 -> 0, slot 14 -> 2; other slots have no fallback.
    const Case cases[] = {{3, 15, 11.0}, {3, 0, 11.0},  {6, 14, 11.0}, {6, 2, 11.0},
                          {15, 0, 11.0}, {14, 2, 11.0}, {0, 3, -1.0},  {15, 3, -1.0}};
    for (const Case& c : cases) {
        CCoordSysDefinition d = Projected(kRadiansPerDegree, 0.0, 1.0);
        d.params[c.stored] = 11.0;
        EXPECT_EQ(d.GetNormParam(c.asked, -1.0), c.expected) << c.asked << " from " << c.stored;
    }
}

TEST(CoordSysDefinition, FallbackPrefersTheNearerSlot) {
    CCoordSysDefinition d = Projected(kRadiansPerDegree, 0.0, 1.0);
    d.params[15] = 5.0;
    d.params[0] = 7.0;
    EXPECT_EQ(d.GetNormParam(3, 0.0), 5.0);
}

TEST(CoordSysDefinition, UnitsAndPrimeMeridianConvertStoredValuesAndDefaults) {
    // Grads, Paris meridian, feet.
    CCoordSysDefinition d = Projected(0.9 * kRadiansPerDegree, 2.33722917, 0.3048);
    d.params[PARAM_LATITUDE_OF_ORIGIN] = 52.0;
    d.params[PARAM_CENTRAL_MERIDIAN] = 0.0;
    d.params[PARAM_FALSE_EASTING] = 1000.0;
    d.params[PARAM_SCALE_FACTOR] = 0.99987742;
    EXPECT_NEAR(d.GetNormParam(PARAM_LATITUDE_OF_ORIGIN, 0), 46.8, 1e-12);
    EXPECT_NEAR(d.GetNormParam(PARAM_CENTRAL_MERIDIAN, 0), 2.33722917, 1e-12);
    EXPECT_NEAR(d.GetNormParam(PARAM_FALSE_EASTING, 0), 304.8, 1e-9);
    EXPECT_EQ(d.GetNormParam(PARAM_SCALE_FACTOR, 1), 0.99987742);
    // An unset slot's default is converted like a stored value.
    EXPECT_NEAR(d.GetNormParam(PARAM_LONGITUDE_OF_POINT_1, 10.0), 9.0 + 2.33722917, 1e-12);
    EXPECT_NEAR(d.GetNormParam(PARAM_FALSE_NORTHING, 10.0), 3.048, 1e-12);
}

TEST(CoordSysDefinition, SetNormParamStoresInTheSystemsUnits) {
    CCoordSysDefinition d = Projected(0.9 * kRadiansPerDegree, 2.33722917, 0.3048);
    d.SetNormParam(PARAM_CENTRAL_MERIDIAN, 2.33722917);
    d.SetNormParam(PARAM_LATITUDE_OF_ORIGIN, 46.8);
    d.SetNormParam(PARAM_FALSE_NORTHING, 304.8);
    d.SetNormParam(PARAM_SCALE_FACTOR, 0.5);
    EXPECT_NEAR(d.params[PARAM_CENTRAL_MERIDIAN], 0.0, 1e-12);
    EXPECT_NEAR(d.params[PARAM_LATITUDE_OF_ORIGIN], 52.0, 1e-12);
    EXPECT_NEAR(d.params[PARAM_FALSE_NORTHING], 1000.0, 1e-9);
    EXPECT_EQ(d.params[PARAM_SCALE_FACTOR], 0.5);
}

TEST(CoordSysDefinition, WithoutGeographicCodeAnglesAreDegrees) {
    CCoordSysDefinition d = Projected(0.9 * kRadiansPerDegree, 0.0, 1.0);
    d.geographicCode = 0;
    d.params[PARAM_LATITUDE_OF_ORIGIN] = 52.0;
    EXPECT_EQ(d.GetNormParam(PARAM_LATITUDE_OF_ORIGIN, 0), 52.0);
}

TEST(CoordSysDefinition, DegreeFactorCloseToOneIsExactlyOne) {
    // 9122's factor from the registry is not exactly the stored radians per degree.
    CCoordSysDefinition d = Projected(0.017453292519943278, 0.0, 1.0);
    d.params[PARAM_STANDARD_PARALLEL_1] = 44.1;
    EXPECT_EQ(d.GetNormParam(PARAM_STANDARD_PARALLEL_1, 0), 44.1);
}

} // namespace
} // namespace fennick
