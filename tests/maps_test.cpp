// Tests of the evening map: every cell agrees exactly with the almanac's single-place sighting,
// the tabulated positions stay within 0.0005 degrees of direct evaluation, and the classes.
#include <cmath>
#include <cstdio>

#include <gtest/gtest.h>

#include "maps/eveningmap.h"

namespace {

constexpr double kDegree = 0.017453292519943295;

// Angle between two directions given by right ascension and declination, degrees.
double separation(const almanac::ApparentPlace &a, const almanac::ApparentPlace &b) {
    const double d1 = a.declination * kDegree, d2 = b.declination * kDegree;
    const double da = (a.rightAscension - b.rightAscension) * kDegree;
    const double x = std::cos(d2) * std::sin(da);
    const double y = std::cos(d1) * std::sin(d2) - std::sin(d1) * std::cos(d2) * std::cos(da);
    const double z = std::sin(d1) * std::sin(d2) + std::cos(d1) * std::cos(d2) * std::cos(da);
    return std::atan2(std::hypot(x, y), z) / kDegree;
}

TEST(EveningMap, CellsAgreeExactlyWithTheSinglePlaceSighting) {
    for (almanac::CivilDate date : {almanac::CivilDate{2024, 3, 10}, {2023, 3, 22}}) {
        MapRequest r;
        r.date = date;
        r.step = 12.0; // each single-place sighting builds its own table: keep them few
        r.threads = 2;
        const EveningMap map = computeEveningMap(r);
        ASSERT_EQ(map.rows, 15);
        ASSERT_EQ(map.cols, 30);
        int withCrescent = 0;
        for (int row = 0; row < map.rows; ++row)
            for (int col = 0; col < map.cols; ++col) {
                const almanac::Place place{map.latitude(row), map.longitude(col), 0};
                const almanac::Sighting s = almanac::sighting(place, date);
                const MapCell &c = map.cell(row, col);
                SCOPED_TRACE(testing::Message()
                             << date.year << "-" << date.month << "-" << date.day << " at "
                             << place.latitude << ", " << place.longitude);
                ASSERT_EQ(c.cls == MapCell::kNone, !s.hasCrescent);
                if (!s.hasCrescent) continue;
                ++withCrescent;
                ASSERT_EQ(c.bestTime, s.bestTime);
                ASSERT_EQ(c.value, static_cast<float>(s.crescent.q));
                ASSERT_EQ(className(Criterion::Yallop, c.cls),
                          std::string(1, s.crescent.yallopClass));
            }
        EXPECT_GT(withCrescent, 100);
    }
}

TEST(EveningMap, OdehAndTelvorCellsUseTheSameEvaluation) {
    const almanac::CivilDate date{2024, 3, 10};
    const almanac::EveningTable table(date);
    const almanac::Observer mecca = almanac::observerOf({21.4225, 39.8262, 0});
    const almanac::Sighting s = almanac::sighting({21.4225, 39.8262, 0}, date);
    ASSERT_TRUE(s.hasCrescent);
    const MapCell odeh = evaluateCell(table, mecca, Criterion::Odeh);
    EXPECT_EQ(odeh.value, static_cast<float>(s.crescent.V));
    EXPECT_EQ(className(Criterion::Odeh, odeh.cls), std::string(1, s.crescent.odehZone));
    double asked = 0;
    const MapCell telvor = evaluateCell(table, mecca, Criterion::Telvor,
                                        [&](almanac::CivilDate, double, double, double jd) {
                                            asked = jd;
                                            return 100;
                                        });
    EXPECT_EQ(asked, s.bestTime); // the saver's test is asked at Tb
    EXPECT_STREQ(className(Criterion::Telvor, telvor.cls), "visible");
}

// The tabulated Sun and Moon against ERFA at the same instants, over the whole window of
// three evenings across the almanac's range; the bound is 0.0005 degrees.
TEST(EveningMap, InterpolationErrorWithinHalfAThousandthOfADegree) {
    double worstSun = 0, worstMoon = 0, worstSidereal = 0;
    for (almanac::CivilDate date :
         {almanac::CivilDate{1901, 1, 2}, {2024, 3, 10}, {2099, 12, 30}}) {
        const almanac::EveningTable table(date);
        // Every 7.3 minutes, so that the samples fall everywhere between the nodes.
        for (double t = table.startUt(); t <= table.endUt(); t += 7.3 / 1440) {
            const almanac::Geocentric a = table.at(t), d = almanac::geocentricAt(t);
            worstSun = std::max(worstSun, separation(almanac::apparentPlace(a.sun, a.obliquity),
                                                     almanac::apparentPlace(d.sun, d.obliquity)));
            worstMoon =
                std::max(worstMoon, separation(almanac::apparentPlace(a.moon, a.obliquity),
                                               almanac::apparentPlace(d.moon, d.obliquity)));
            const double st = std::remainder(a.siderealTime - d.siderealTime, 2 * M_PI);
            worstSidereal = std::max(worstSidereal, std::fabs(st) / kDegree);
        }
    }
    std::printf("worst interpolation error: Sun %.2e deg, Moon %.2e deg, sidereal time %.2e deg\n",
                worstSun, worstMoon, worstSidereal);
    EXPECT_LE(worstSun, 0.0005);
    EXPECT_LE(worstMoon, 0.0005);
    EXPECT_LE(worstSidereal, 0.0005);
}

TEST(EveningMap, StepsAndNames) {
    EXPECT_TRUE(validStep(0.25));
    EXPECT_TRUE(validStep(1));
    EXPECT_TRUE(validStep(0.1));
    EXPECT_FALSE(validStep(0.7));
    EXPECT_FALSE(validStep(0));
    EXPECT_FALSE(validStep(-1));
    EXPECT_FALSE(validStep(NAN));
    Criterion c{};
    EXPECT_TRUE(criterionFromName("odeh", c));
    EXPECT_EQ(c, Criterion::Odeh);
    EXPECT_FALSE(criterionFromName("Yallop", c));
    EXPECT_STREQ(className(Criterion::Yallop, 5), "F");
    EXPECT_STREQ(className(Criterion::Yallop, MapCell::kNone), "none");
    EXPECT_EQ(isoUt(almanac::julianDateUt({2024, 3, 10}, 15.5)), "2024-03-10T15:30:00Z");
}

} // namespace
