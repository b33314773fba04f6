// Solar tests: the worked examples with their queries, and the cases that catch real faults.
#include "tests/engine_fixture.h"

namespace {

using Sun = EngineTest;

TEST_F(Sun, WorkedExamples) {
    Golden angles("sun angles");
    Golden minutes("sun transit");
    place(1, 1, 2000, 719, 0, 0, 0);
    computeSunPosition();
    minutes.check("2000-01-01 transit", s.sunTransitMinute, 723.78, 0.01, "min");
    angles.check("2000-01-01 declination", s.sunDeclination / kDeg * 60, -23.035 * 60, 0.1,
                 "arcmin");
    angles.check("2000-01-01 hour angle", s.sunHourAngle / kDeg * 60, -0.01649 / kDeg * 60, 0.1,
                 "arcmin");
    angles.check("2000-01-01 altitude", s.sunAltitude * 60, 66.946 * 60, 0.1, "arcmin");

    place(21, 12, 2024, 420, -300, -296, 40.75);
    computeSunPosition();
    angles.check("2024-12-21 hour angle", s.sunHourAngle / kDeg * 60, -1.2818 / kDeg * 60, 0.5,
                 "arcmin");
    minutes.check("2024-12-21 hour angle in time", s.sunHourAngle / 0.004363323129985824, -293.77,
                  0.01, "min");
    angles.check("2024-12-21 altitude", s.sunAltitude * 60, -3.531 * 60, 0.1, "arcmin");
}

TEST_F(Sun, QueriesOfTheWorkedExamples) {
    place(1, 1, 2000, 719, 0, 0, 0);
    s.calcMinute = 0; // the queries take simMinute
    EXPECT_EQ(querySunAzimuth(), 1777);
    EXPECT_EQ(querySunAltitude(), 669);
    EXPECT_EQ(querySunLongitude(), 2803);
    EXPECT_EQ(querySunDeclination(), -230);
    EXPECT_EQ(querySunTransitOffset(), 32);
    EXPECT_EQ(s.calcMinute, 719);

    place(21, 12, 2024, 420, -300, -296, 40.75);
    EXPECT_EQ(querySunAzimuth(), 1182);
    EXPECT_EQ(querySunAltitude(), -35);
    EXPECT_EQ(querySunDeclination(), -234);
    EXPECT_EQ(querySunTransitOffset(), -17);
}

TEST_F(Sun, ResultDoesNotDependOnWhatSlot3HeldBefore) {
    place(21, 12, 2024, 420, -300, -296, 40.75);
    computeSunPosition(); // from a zeroed record
    const float h = s.sunHourAngle, dec = s.sunDeclination, alt = s.sunAltitude;
    computeSunPosition(); // from its own transit minute
    EXPECT_EQ(s.sunHourAngle, h);
    EXPECT_EQ(s.sunDeclination, dec);
    EXPECT_EQ(s.sunAltitude, alt);
    computeMoonPosition(); // slot 3 now holds the elongation
    computeSunPosition();
    EXPECT_EQ(s.sunHourAngle, h);
    EXPECT_EQ(s.sunDeclination, dec);
    EXPECT_EQ(s.sunAltitude, alt);
    for (float junk : {0.0f, 0.9999f, 1439.9f, -5000.0f}) {
        s.sunTransitMinute = junk;
        computeSunPosition();
        EXPECT_NEAR(s.sunHourAngle, h, 1e-5) << "slot 3 held " << junk;
        EXPECT_NEAR(s.sunAltitude, alt, 1e-3) << "slot 3 held " << junk;
    }
}

TEST_F(Sun, OneDegreeWestIsFourMinutesOfHourAngleLess) {
    place(15, 3, 2021, 600, 60, 40, 10);
    computeSunPosition();
    const double east = s.sunHourAngle / 0.004363323129985824;
    s.longitudeMinutes = 36;
    computeSunPosition();
    const double west = s.sunHourAngle / 0.004363323129985824;
    EXPECT_NEAR(east - west, 4.0, 0.01);
}

TEST_F(Sun, LongitudeQueryStaysInOneTurn) {
    for (int y : {1901, 1950, 2000, 2050, 2099})
        for (int doy = 1; doy <= 365; doy += 7) {
            s.year = int16_t(y);
            dayOfYearCounter = doy;
            normalizeDayCounter();
            s.simMinute = int16_t((doy * 37) % 1440);
            const int32_t tenths = querySunLongitude();
            ASSERT_GE(tenths, 0) << y << " day " << doy;
            ASSERT_LE(tenths, 3599) << y << " day " << doy;
            ASSERT_GE(s.sunHourAngle, 0.0f);
            ASSERT_LT(s.sunHourAngle, 1.0f);
        }
}

TEST_F(Sun, DistanceQueryBeforeAnySnapshotIsZero) {
    place(1, 1, 2000, 719, 0, 0, 0);
    EXPECT_EQ(querySunDistance(), 0);
    takeMoonSnapshot();
    EXPECT_GE(querySunDistance(), 1470);
    EXPECT_LT(querySunDistance(), 1521);
}

TEST_F(Sun, AzimuthJustWestOfNorthTruncatesToZero) {
    // A tiny positive hour angle just past the lower meridian gives an azimuth of -0.5 tenths.
    s.latitude = float(40 * kDeg);
    s.sunHourAngle = float(3.14159265358979 - 0.00005);
    const int16_t a = azimuthOf(-10 * kDeg);
    EXPECT_EQ(a, 0);
    for (double h = -7; h <= 7; h += 0.01) {
        s.sunHourAngle = float(h);
        const int16_t az = azimuthOf(5 * kDeg);
        ASSERT_GE(az, 0) << "hour angle " << h;
        ASSERT_LE(az, 3599) << "hour angle " << h;
    }
}

TEST_F(Sun, SolarComputationLeavesLunarOnlySlotsAlone) {
    place(1, 1, 2000, 719, 0, 0, 0);
    s.moonLatitude = 1.5f, s.elongationDeficit = 2.5f, s.moonAltitude = 3.5f, s.horizonDip = 4.5f;
    computeSunPosition();
    EXPECT_EQ(s.moonLatitude, 1.5f);
    EXPECT_EQ(s.elongationDeficit, 2.5f);
    EXPECT_EQ(s.moonAltitude, 3.5f);
    EXPECT_EQ(s.horizonDip, 4.5f);
}

} // namespace
