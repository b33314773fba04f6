// Lunar tests: the worked example, the ranges of every result, the state record's setters and
// slots.
#include "tests/engine_fixture.h"

namespace {

class Moon : public EngineTest {
  protected:
    // Every 53rd hour from 1901 to 2099 at a spread of places: a few thousand evaluations.
    template <typename F> void sweep(F check) {
        for (int y = 1901; y <= 2099; y += 3)
            for (int doy = 1; doy <= 360; doy += 23) {
                s.year = int16_t(y);
                dayOfYearCounter = doy;
                normalizeDayCounter();
                s.calcMinute = int16_t((doy * 53) % 1440);
                s.zoneOffsetMinutes = int16_t((y % 25 - 12) * 60);
                s.longitudeMinutes = float((doy * 7) % 1440 - 720);
                s.latitude = float(((y * 13 + doy) % 181 - 90) * kDeg);
                computeMoonPosition();
                check(y, doy);
            }
    }
};

TEST_F(Moon, WorkedExample15June2024) {
    Golden g("moon 2024-06-15 20:00 UT, 40N 0E");
    place(15, 6, 2024, 1200, 0, 0, 40);
    computeMoonPosition();
    g.check("moonDistance", s.moonDistance, 403.18, 0.01, "thousand km");
    g.check("moonTopoDistance", s.moonTopoDistance, 398.80, 0.01, "thousand km");
    g.check("moonAltitude", s.moonAltitude * 60, 42.69 * 60, 0.6, "arcmin");
    g.check("moonAzimuth", s.moonAzimuth, 1981, 0, "tenths of a degree");
    g.check("sunAltitude", s.sunAltitude * 60, -5.52 * 60, 0.6, "arcmin");
    g.check("sunDistance", s.sunDistance, 151.96, 0.01, "million km");
    g.check("illuminatedFraction", s.illuminatedFraction, 0.6505, 0.0001, "of the disc");
    g.check("crescentWidth", s.crescentWidth, 19.49, 0.01, "arcmin");
    g.check("elongation", s.elongation * 360 * 60, 0.2987 * 360 * 60, 3, "arcmin");
    EXPECT_EQ(s.visibilityCode, 100);
    EXPECT_EQ(s.horizonDip, 0.0f);
}

TEST_F(Moon, EveryResultStaysInItsRange) {
    int evaluations = 0;
    sweep([&](int y, int doy) {
        ++evaluations;
        SCOPED_TRACE(testing::Message() << y << " day " << doy);
        ASSERT_GE(s.moonDistance, 356.096f);
        ASSERT_LE(s.moonDistance, 413.904f);
        ASSERT_GE(s.sunDistance, 147.097f);
        ASSERT_LE(s.sunDistance, 152.100f);
        ASSERT_GE(s.elongation, 0.0f);
        ASSERT_LT(s.elongation, 1.0f);
        ASSERT_EQ(s.moonAzimuth, std::trunc(s.moonAzimuth));
        ASSERT_GE(s.moonAzimuth, 0.0f);
        ASSERT_LE(s.moonAzimuth, 3599.0f);
        ASSERT_GE(s.illuminatedFraction, 0.0f);
        ASSERT_LE(s.illuminatedFraction, 1.0f);
        ASSERT_GE(s.moonTopoDistance, 349.7f);
        ASSERT_LE(std::fabs(s.moonLatitude), 5.15 * kDeg);
        ASSERT_TRUE(std::isfinite(s.moonAltitude));
        const int code = s.visibilityCode;
        ASSERT_TRUE(code >= -100 && code <= 100);
    });
    EXPECT_GT(evaluations, 500);
}

TEST_F(Moon, SunAltitudeIsTheSolarComputationsOwn) {
    place(5, 3, 2024, 1087, 60, -30, 21.5);
    computeSunPosition();
    const float alone = s.sunAltitude;
    computeMoonPosition();
    EXPECT_EQ(s.sunAltitude, alone);
    EXPECT_GT(s.sunDistance, 147.0f); // slot 1 now holds the Sun's distance
    EXPECT_LT(s.sunDistance, 152.2f);
}

TEST_F(Moon, HorizonDipFromSightHeight) {
    place(15, 6, 2024, 1200, 0, 0, 40);
    computeMoonPosition();
    EXPECT_EQ(s.horizonDip, 0.0f);
    saverSettings.height = 1000;
    computeMoonPosition();
    EXPECT_NEAR(s.horizonDip, 1.0148, 0.001); // acos(R / (R + 1 km))
    saverSettings.height = -50; // only from a damaged file: counts as sea level, never NaN
    computeMoonPosition();
    EXPECT_EQ(s.horizonDip, 0.0f);
}

TEST_F(Moon, LunarComputationLeavesInputsAndSnapshotAlone) {
    place(15, 6, 2024, 1200, 0, 12, 40);
    s.elongationDeficit = 7.0f, s.snapshotSunDistance = 1.0f, s.snapshotIlluminatedFraction = 0.5f;
    s.moonSnapshotValid = 1;
    computeMoonPosition();
    EXPECT_EQ(s.longitudeMinutes, 12.0f);
    EXPECT_EQ(s.latitude, float(40 * kDeg));
    EXPECT_EQ(s.elongationDeficit, 7.0f);
    EXPECT_EQ(s.snapshotSunDistance, 1.0f);
    EXPECT_EQ(s.snapshotIlluminatedFraction, 0.5f);
    EXPECT_EQ(s.moonSnapshotValid, 1);
    EXPECT_EQ(s.calcMinute, 1200);
}

TEST_F(Moon, Setters) {
    setObserver(4500, -7400, -300);
    EXPECT_NEAR(s.latitude, 0.785398, 1e-6);
    EXPECT_EQ(s.longitudeMinutes, -296.0f);
    EXPECT_EQ(s.zoneOffsetMinutes, -300);
    s.moonSnapshotValid = 1;
    setTime(23, 59);
    EXPECT_EQ(s.simMinute, 1439);
    EXPECT_EQ(s.moonSnapshotValid, 0);
    setTime(25, 0);
    EXPECT_EQ(s.simMinute, 1500);
    s.moonSnapshotValid = 1;
    setDate(5, 3, 2021);
    EXPECT_EQ(s.day, 5);
    EXPECT_EQ(s.month, 3);
    EXPECT_EQ(s.year, 2021);
    EXPECT_EQ(s.moonSnapshotValid, 0);
    s.moonSnapshotValid = 1;
    setObserver(0, 0, 0);
    EXPECT_EQ(s.moonSnapshotValid, 0);
}

TEST_F(Moon, StartsZeroed) {
    const EphemerisState zero{};
    EXPECT_EQ(zero.moonSnapshotValid, 0);
    EXPECT_EQ(zero.day, 0);
    EXPECT_EQ(zero.sunTransitMinute, 0.0f);
    EXPECT_EQ(SaverSettings{}.probability, 0); // the program's own record starts at 50 instead
}

} // namespace
