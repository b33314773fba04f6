// New-moon search tests: the worked cases, the month formula, restoring the date, and the snapshot
// queries.
#include "tests/engine_fixture.h"

namespace {

class Lunation : public EngineTest {
  protected:
    void date(int d, int m, int y, int zone = 0) {
        s.day = int16_t(d), s.month = int16_t(m), s.year = int16_t(y);
        s.zoneOffsetMinutes = int16_t(zone);
    }
    // The 8-degree margin b of findLunarMonth for the day `back` days before the state's date.
    float margin(int back) {
        const int16_t saved = s.day;
        s.day = int16_t(saved - back);
        s.calcMinute = s.zoneOffsetMinutes;
        computeMoonPosition();
        s.day = saved;
        float b = float(s.elongation * 360.0 -
                        std::acos(std::cos(8 * kDeg) / std::cos(double(s.moonLatitude))) / kDeg);
        return b >= 0 ? b : float(b + 360.0);
    }
};

TEST_F(Lunation, WorkedCases) {
    Golden g("elongation deficit");
    struct Case {
        int d, m, y, zone, back, month, year;
        double deficit;
    } cases[] = {
        {1, 1, 2000, 0, 24, 9, 1420, 6.16},
        {8, 1, 2000, 180, 1, 10, 1420, 5.13},
        {15, 6, 2024, 0, 8, 12, 1445, 0.39},
    };
    for (const Case &c : cases) {
        date(c.d, c.m, c.y, c.zone);
        const int back = findLunarMonth();
        char name[32];
        std::snprintf(name, sizeof name, "%04d-%02d-%02d", c.y, c.m, c.d);
        EXPECT_EQ(back, c.back) << name;
        EXPECT_EQ(s.hijriMonth, c.month) << name;
        EXPECT_EQ(s.hijriYear, c.year) << name;
        g.check(name, s.elongationDeficit * 60, c.deficit * 60, 0.6, "arcmin");
        EXPECT_EQ(s.day, c.d) << name << ": date restored";
        EXPECT_EQ(s.month, c.m) << name;
        EXPECT_EQ(s.year, c.y) << name;
        EXPECT_EQ(s.calcMinute, c.zone) << name;
    }
}

TEST_F(Lunation, MonthFormula) {
    EXPECT_EQ(lunarMonthCount(7), 17049);
    EXPECT_EQ(lunarMonthCount(-24), 17048);
    EXPECT_EQ(17049 % 12 + 1, 10);
    EXPECT_EQ(17049 / 12, 1420);
    EXPECT_EQ(17048 % 12 + 1, 9);
}

TEST_F(Lunation, DayFoundIsTheLastBeforeTheEightDegreePoint) {
    // Every 11th day through 1901..2099, across month and year ends: the day found lies just
    // before the point (margin of 180 or more) and the next day is past it.
    int cases = 0;
    for (int y = 1901; y <= 2099; y += 7)
        for (int doy = 1; doy <= 365; doy += 11) {
            s.year = int16_t(y);
            dayOfYearCounter = doy;
            normalizeDayCounter();
            s.zoneOffsetMinutes = int16_t(((doy + y) % 49 - 24) * 60);
            const int16_t d = s.day, m = s.month;
            const int back = findLunarMonth();
            SCOPED_TRACE(testing::Message()
                         << y << "-" << m << "-" << d << " zone " << s.zoneOffsetMinutes);
            ASSERT_GE(back, 1);
            ASSERT_LE(back, 30);
            ASSERT_EQ(s.day, d);
            ASSERT_EQ(s.month, m);
            ASSERT_EQ(s.year, y);
            ASSERT_GT(s.elongationDeficit, 0.0f);
            ASSERT_LE(s.elongationDeficit, 180.0f);
            ASSERT_GE(margin(back), 180.0f);
            ASSERT_LT(margin(back - 1), 180.0f);
            ASSERT_GE(s.hijriMonth, 1);
            ASSERT_LE(s.hijriMonth, 12);
            ++cases;
        }
    EXPECT_GT(cases, 900);
}

TEST_F(Lunation, HijriMonthsAdvanceOnePerLunation) {
    date(1, 1, 2000);
    findLunarMonth();
    int previous = s.hijriYear * 12 + s.hijriMonth;
    for (int i = 0; i < 40; ++i) {
        dayOfYearCounter = dayOfYear() + 30;
        normalizeDayCounter();
        findLunarMonth();
        const int count = s.hijriYear * 12 + s.hijriMonth;
        ASSERT_GE(count - previous, 0) << "step " << i;
        ASSERT_LE(count - previous, 2) << "step " << i;
        previous = count;
    }
}

TEST_F(Lunation, SnapshotFlagAcrossSettersAndQueries) {
    date(15, 6, 2024);
    s.simMinute = 1200;
    s.latitude = float(40 * kDeg);
    EXPECT_EQ(queryVisibilityCode(), 100); // takes a snapshot first
    EXPECT_EQ(s.moonSnapshotValid, 1);
    const int32_t altitude = queryMoonAltitude();
    EXPECT_NEAR(altitude, 426, 1);
    // A direct write of an input leaves the flag: the next query does not recompute.
    s.latitude = float(-40 * kDeg);
    EXPECT_EQ(queryMoonAltitude(), altitude);
    // A setter clears it: the next query recomputes at the new minute.
    setTime(12, 0);
    EXPECT_EQ(s.moonSnapshotValid, 0);
    EXPECT_NE(queryMoonAltitude(), altitude);
    EXPECT_EQ(s.moonSnapshotValid, 1);
    findLunarMonth();
    EXPECT_EQ(s.moonSnapshotValid, 0);
}

TEST_F(Lunation, SnapshotSurvivesALaterComputation) {
    date(15, 6, 2024);
    s.simMinute = 1200;
    s.latitude = float(40 * kDeg);
    const int32_t tenths = takeMoonSnapshot();
    EXPECT_EQ(tenths, int32_t(s.elongation * 3600.0));
    const float k = s.snapshotIlluminatedFraction, r = s.snapshotSunDistance;
    const int16_t code = s.snapshotVisibilityCode;
    const float altitude = s.moonAltitude;
    s.latitude = float(-60 * kDeg);
    computeMoonPosition();
    EXPECT_NE(s.moonAltitude, altitude);
    EXPECT_EQ(s.snapshotIlluminatedFraction, k);
    EXPECT_EQ(s.snapshotSunDistance, r);
    EXPECT_EQ(s.snapshotVisibilityCode, code);
    EXPECT_EQ(s.moonSnapshotValid, 1);
    EXPECT_EQ(queryIlluminatedFraction(), int32_t(k * 1000.0));
}

TEST_F(Lunation, TopocentricDistanceIsShorterWhileTheMoonIsUp) {
    date(15, 6, 2024);
    s.simMinute = 1200;
    s.latitude = float(40 * kDeg);
    const int32_t topo = queryMoonDistance(1), geo = queryMoonDistance(0);
    EXPECT_LT(topo, geo);
    EXPECT_NEAR(geo - topo, 63.7816 * std::sin(42.7 * kDeg), 1.5);
    EXPECT_GE(queryMoonAzimuth(), 0);
    EXPECT_LE(queryMoonAzimuth(), 3599);
    EXPECT_NEAR(queryMoonLatitude(), 0, 1);
}

} // namespace
