// Crescent visibility tests: the decision table at the contact bands, the limits and their exact
// boundaries.
#include "tests/engine_fixture.h"

namespace {

class Visibility : public EngineTest {
  protected:
    // The geometry a lunar computation would leave: distances 385 and 149.6, no dip.
    void geometry(double k, double width, double moonAlt, double sunAlt) {
        s.moonDistance = 385.0f;
        s.sunDistance = 149.6f;
        s.horizonDip = 0.0f;
        s.illuminatedFraction = float(k);
        s.crescentWidth = float(width);
        s.moonAltitude = float(moonAlt);
        s.sunAltitude = float(sunAlt);
        testCrescentVisibility();
    }
    float k0() {
        geometry(0.5, 1, 10, -10);
        return float((1 - std::cos(8.11616 / 385.0f + 0.696 / 149.6f)) * 0.5);
    }
};

TEST_F(Visibility, DecisionTable) {
    struct Case {
        const char *name;
        double k, w, moon, sun;
        int code;
    } cases[] = {
        {"thin crescent, dark sky", 0.01, 0.3, 5, -6, 100},
        {"thin crescent, bright sky", 0.01, 0.3, 5, -3, -100},
        {"below elongation limit", 0.004, 0.3, 30, -30, 0},
        {"near conjunction", 0.0001, 0.3, 5, -6, 39},
        {"near opposition", 0.9999, 0.3, 5, -6, -39},
        {"moon below horizon", 0.05, 3, -0.6, -10, -100},
        {"moon exactly on the horizon limit", 0.05, 3, -0.5, -30, 100},
        {"wide crescent in daylight", 0.33, 10, 30, 20, 100},
        {"low moon, sun limit from altitude", 0.02, 0.5, 2, -20, 100},
        {"low moon, sun too high", 0.02, 0.5, 2, -8, -100},
    };
    for (const Case &c : cases) {
        geometry(c.k, c.w, c.moon, c.sun);
        EXPECT_EQ(s.visibilityCode, c.code) << c.name;
    }
}

TEST_F(Visibility, WorkValueIsTheSunLimit) {
    geometry(0.01, 0.3, 5, -6);
    EXPECT_NEAR(s.visibilityWork, -4.0, 1e-5);
    geometry(0.0001, 0.3, 5, -6); // in a band it holds the contact phase
    EXPECT_NEAR(s.visibilityWork, 0.00016554, 1e-8);
}

TEST_F(Visibility, SunExactlyAtTheLimitIsTooHigh) {
    geometry(0.01, 0.3, 5, -10);
    const float limit = s.visibilityWork;
    geometry(0.01, 0.3, 5, limit);
    EXPECT_EQ(s.visibilityCode, -100);
    geometry(0.01, 0.3, 5, std::nextafter(limit, -100.0f));
    EXPECT_EQ(s.visibilityCode, 100);
}

TEST_F(Visibility, PhaseExactlyAtContactIsOutsideTheBand) {
    const float contact = k0();
    geometry(contact, 0.3, 5, -6);
    EXPECT_EQ(s.visibilityCode, 0) << "k = k0 falls to the elongation limit, not the band";
    geometry(std::nextafter(contact, 0.0f), 0.3, 5, -6);
    EXPECT_EQ(s.visibilityCode, 0) << "just inside the band: (1 - k/k0) * 100 truncates to 0";
}

TEST_F(Visibility, AltitudeBoundariesTakeTheUpperBranch) {
    // Moon at exactly 4: base 4 - 20 = -16, not 10 * 4 - 56 = -16 either way; use the width.
    geometry(0.02, 3, 4, 4); // base -16, (30 - 16) / 3 = 4.667 > 4: visible whatever the Sun
    EXPECT_EQ(s.visibilityCode, 100);
    geometry(0.02, 3, 4, 4.01); // Sun above 4 with the Moon at 4: base -16 as well
    EXPECT_EQ(s.visibilityCode, 100);
    geometry(0.02, 0, 30, 4); // Sun exactly 4 takes moonAltitude - 20 = 10: t = 3.33
    EXPECT_NEAR(s.visibilityWork, 10.0 / 3, 1e-5);
    geometry(0.02, 0, 30, 4.5); // above 4: base -16
    EXPECT_NEAR(s.visibilityWork, -16.0 / 3, 1e-5);
}

TEST_F(Visibility, LimitOfExactlyFourComparesTheSun) {
    geometry(0.02, 2.4, 4, 3.99); // base -16, (24 - 16) / 3 = 2.667
    EXPECT_EQ(s.visibilityCode, -100);
    geometry(0.02, 2.8, 4, 3.9); // (28 - 16) / 3 = 4: not above 4, the Sun at 3.9 is below it
    EXPECT_NEAR(s.visibilityWork, 4.0, 1e-5);
    EXPECT_EQ(s.visibilityCode, 100);
}

TEST_F(Visibility, ProbabilityAndDipMoveTheLimits) {
    geometry(0.0049, 0.3, 5, -6); // just above kmin at p = 50
    EXPECT_EQ(s.visibilityCode, 100);
    saverSettings.probability = 99; // limit 8.98 degrees: kmin 0.00613
    geometry(0.0049, 0.3, 5, -6);
    EXPECT_EQ(s.visibilityCode, 0);
    saverSettings.probability = 1; // sun limit rises by 0.98 degree
    geometry(0.01, 0.3, 5, -3.5);
    EXPECT_EQ(s.visibilityCode, 100);
}

} // namespace
