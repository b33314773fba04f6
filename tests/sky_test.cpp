// Sky chart tests: the Moon drawn where the almanac puts it, evening and morning, the crescent's
// tilt and phase, one chart's structure against recorded values, the charts of evenings and
// mornings without a crescent, the caption's viewing window.
#include <gtest/gtest.h>

#include <cmath>
#include <thread>
#include <vector>

#include "sky/sky.h"

namespace {

constexpr double kDeg = 0.017453292519943295;

struct Rgb {
    int r, g, b;
};
Rgb rgb(uint32_t p) {
    return {int(p >> 16 & 0xff), int(p >> 8 & 0xff), int(p & 0xff)};
}
uint32_t at(const sky::Image &image, int x, int y) {
    return image.pixels[size_t(y) * image.width + x];
}

sky::ChartInput chartAt(double lat, double lon, almanac::CivilDate date,
                        double hoursAfterBest = 0) {
    const almanac::EveningTable table(date);
    const almanac::Observer o = almanac::observerOf({lat, lon, 0});
    const almanac::Sighting s = almanac::evaluate(table, o);
    const double instant =
        std::isnan(s.bestTime) ? s.evening.sunset : s.bestTime + hoursAfterBest / 24;
    return sky::chartInputAt(table, o, s, instant);
}

// The morning of `date` at a place, at its best time (and `hoursAfterBest` on), or at sunrise
// when it has none.
sky::ChartInput morningAt(double lat, double lon, almanac::CivilDate date,
                          double hoursAfterBest = 0) {
    const almanac::EveningTable table(date);
    const almanac::Observer o = almanac::observerOf({lat, lon, 0});
    const almanac::Dawn d = almanac::evaluateMorning(table, o);
    const double instant =
        std::isnan(d.bestTime) ? d.morning.sunrise : d.bestTime + hoursAfterBest / 24;
    return sky::chartInputAt(table, o, d, instant);
}

sky::Layout layoutOf(const sky::ChartInput &in, int w = 960, int h = 640) {
    return sky::layoutChart(w, h, in.disc.sun, in.disc.moon, in.disc.semiDiameter);
}

// The centroid of the true-size outline, drawn pure red at the Moon's centre.
bool redCentroid(const sky::Image &image, const sky::Layout &l, double &x, double &y) {
    double sx = 0, sy = 0, n = 0;
    for (int j = l.plotTop; j < l.plotTop + l.plotHeight; ++j)
        for (int i = l.plotLeft; i < l.width; ++i) {
            const Rgb c = rgb(at(image, i, j));
            const double w = (c.r - std::max(c.g, c.b)) / 255.0;
            if (c.r > 150 && w > 0.35) sx += w * i, sy += w * j, n += w;
        }
    if (n == 0) return false;
    x = sx / n + 0.5, y = sy / n + 0.5; // pixel centres
    return true;
}

// The row whose pixels across the plot are brightest and uniform: the horizon line.
int brightestRow(const sky::Image &image, const sky::Layout &l) {
    int best = -1;
    double bestValue = -1;
    for (int j = l.plotTop; j < l.plotTop + l.plotHeight; ++j) {
        double sum = 0;
        for (int i = l.plotLeft; i < l.width; ++i) {
            const Rgb c = rgb(at(image, i, j));
            sum += std::min({c.r, c.g, c.b});
        }
        if (sum > bestValue) bestValue = sum, best = j;
    }
    return best;
}

} // namespace

// The Moon's centre as drawn, read back from the picture through the stated scale, against the
// almanac's topocentric altitude and azimuth: within a pixel, i.e. 1 / pixelsPerDegree degrees.
TEST(SkyGeometry, MoonDrawnAtTheAlmanacsAltitudeAndAzimuth) {
    struct Case {
        const char *name;
        double lat, lon;
        almanac::CivilDate date;
        double hours;
    } cases[] = {{"Jakarta", -6.2, 106.85, {2024, 3, 11}, 0},
                 {"Mecca", 21.42, 39.83, {2024, 3, 11}, 0},
                 {"London, 3 days on", 51.5, -0.12, {2024, 3, 13}, 0},
                 {"Cape Town", -33.92, 18.42, {2023, 7, 19}, 0},
                 {"Rio, later", -22.9, -43.2, {2024, 3, 12}, 0.4}};
    for (const Case &c : cases) {
        const sky::ChartInput in = chartAt(c.lat, c.lon, c.date, c.hours);
        ASSERT_EQ(in.evening.evening.state, almanac::EveningState::Ok) << c.name;
        const sky::Layout l = layoutOf(in);
        const sky::Image image = sky::drawChart(in, l);
        double x = 0, y = 0;
        ASSERT_TRUE(redCentroid(image, l, x, y)) << c.name;
        const double horizon = brightestRow(image, l) + 0.5;
        EXPECT_NEAR(horizon, sky::horizonRow(l), 1.0) << c.name << ": the horizon line";
        const double altitude = (horizon - y) / l.pixelsPerDegree;
        const double azimuth =
            l.centreAzimuth + (x - (l.plotLeft + l.plotWidth / 2.0)) / l.pixelsPerDegree;
        const double onePixel = 1 / l.pixelsPerDegree;
        EXPECT_NEAR(altitude, in.disc.moon.altitude, onePixel) << c.name << ": altitude";
        EXPECT_NEAR(azimuth, in.disc.moon.azimuth, onePixel) << c.name << ": azimuth";
        // The chart's disc is the crescent criteria's Moon.
        EXPECT_NEAR(in.disc.moon.altitude, in.crescent.sky.moonTopocentric.altitude, 1e-9);
        EXPECT_NEAR(in.disc.moon.azimuth, in.crescent.sky.moonTopocentric.azimuth, 1e-9);
    }
}

TEST(SkyGeometry, FramesTheSunAndMoonAndGrowsWithTheMoon) {
    const sky::Layout low = sky::layoutChart(960, 640, {-5, 260}, {8, 275}, 0.26);
    EXPECT_GE(low.plotWidth / low.pixelsPerDegree, 60 - 1e-9);
    EXPECT_GE(low.altitudeTop, 30 - 1e-9);
    EXPECT_LE(low.altitudeBottom, -5);
    EXPECT_NEAR(low.centreAzimuth, 267.5, 1e-9);
    const sky::Layout high = sky::layoutChart(960, 640, {-5, 260}, {41, 300}, 0.26);
    EXPECT_GE(high.altitudeTop, 41 + 5);
    EXPECT_GE(high.plotWidth / high.pixelsPerDegree, 40 + 20);
    // Across north: the centre lies between 350 and 10, not at 180.
    const sky::Layout north = sky::layoutChart(960, 640, {-5, 350}, {8, 10}, 0.26);
    EXPECT_NEAR(north.centreAzimuth, 0, 1e-9);
    EXPECT_NEAR(sky::toPixel(north, 0, 355).x,
                north.plotLeft + north.plotWidth / 2.0 - 5 * north.pixelsPerDegree, 1e-9);
    // The magnification is stated and the drawn radius reads.
    EXPECT_GT(low.magnification, 4);
}

// The crescent's tilt and lit fraction read back from its bright pixels: the centroid of the
// lit part lies from the disc's centre along the bright limb's direction, and the lit area is
// k times the disc's.
TEST(SkyCrescent, TiltAndPhaseAsGiven) {
    sky::ChartInput in = chartAt(-6.2, 106.85, {2024, 3, 11});
    in.disc.sun = {-15, 250}; // a dark sky, well away from the Moon
    in.disc.moon = {15, 270};
    const sky::Layout l = sky::layoutChart(960, 640, {-15, 250}, {15, 270}, 0.26);
    for (double tilt : {0.0, 45.0, 100.0, 151.0, 200.0, 300.0})
        for (double k : {0.08, 0.25, 0.5, 0.8}) {
            in.disc.zenithAngle = tilt;
            in.disc.illuminatedFraction = k;
            const sky::Image image = sky::drawChart(in, l);
            const sky::Point c = sky::toPixel(l, 15, 270);
            const double r = in.disc.semiDiameter * l.pixelsPerDegree * l.magnification;
            // The dark limb's colour, opposite the bright one, sets the blend's zero.
            const double z = tilt * kDeg;
            const int dx = int(c.x + 0.8 * r * std::sin(z)), dy = int(c.y + 0.8 * r * std::cos(z));
            const double dark = rgb(at(image, dx, dy)).g;
            double area = 0, sx = 0, sy = 0;
            for (int j = int(c.y - r - 2); j <= int(c.y + r + 2); ++j)
                for (int i = int(c.x - r - 2); i <= int(c.x + r + 2); ++i) {
                    const double d = std::hypot(i + 0.5 - c.x, j + 0.5 - c.y);
                    if (d > r + 1.5) continue;
                    const Rgb p = rgb(at(image, i, j));
                    if (p.r > 150 && p.r - p.g > 60) continue; // the true-size outline
                    const double a = std::clamp((p.g - dark) / (0xf6 - dark), 0.0, 1.0);
                    area += a, sx += a * (i + 0.5 - c.x), sy += a * (j + 0.5 - c.y);
                }
            const double measuredK = area / (M_PI * r * r);
            EXPECT_NEAR(measuredK, k, 0.02) << "tilt " << tilt << " k " << k;
            // Up is -y, the observer's left is -x.
            const double measuredTilt = std::atan2(-sx, -sy) / kDeg;
            const double diff = std::remainder(measuredTilt - tilt, 360.0);
            EXPECT_NEAR(diff, 0, 2.0) << "tilt " << tilt << " k " << k;
        }
}

// The real evening: the crescent's lit side faces the Sun's marker, its tilt is the almanac's.
TEST(SkyCrescent, JakartaCrescentFacesTheSun) {
    const sky::ChartInput in = chartAt(-6.2, 106.85, {2024, 3, 11});
    // Meeus's chi - q against the direction to the Sun on the chart itself: the Sun lies
    // below and to the left (DAZ -7.1, ARCV 13), so the bright limb points down-left.
    const sky::Layout l = layoutOf(in);
    const sky::Point m = sky::toPixel(l, in.disc.moon.altitude, in.disc.moon.azimuth),
                     s = sky::toPixel(l, in.disc.sun.altitude, in.disc.sun.azimuth);
    const double towardSun = std::atan2(-(s.x - m.x), -(s.y - m.y)) / kDeg;
    // On the plate carree the direction differs from the great circle's by a little at these
    // altitudes.
    EXPECT_NEAR(std::remainder(in.disc.zenithAngle - towardSun, 360.0), 0, 3.0);
    EXPECT_NEAR(in.disc.zenithAngle, 151, 1.0);
    EXPECT_NEAR(in.disc.illuminatedFraction, in.crescent.illuminatedFraction, 1e-12);
}

// One chart against values recorded from it (Jakarta, 2024-03-11, best time, 960x640): the
// horizon's row, the Moon's bright pixels' centroid, the sky's colour bands, the ground and the
// caption strip. Structure, not bytes: anti-aliasing may differ between library versions.
TEST(SkyGolden, JakartaChartStructure) {
    const sky::ChartInput in = chartAt(-6.2, 106.85, {2024, 3, 11});
    const sky::Layout l = layoutOf(in);
    const sky::Image image = sky::drawChart(in, l);
    ASSERT_EQ(image.width, 960);
    ASSERT_EQ(image.height, 640);
    EXPECT_NEAR(brightestRow(image, l), 402, 1) << "horizon row";
    const sky::Point m = sky::toPixel(l, in.disc.moon.altitude, in.disc.moon.azimuth);
    double sx = 0, sy = 0, n = 0;
    for (int j = 0; j < l.captionTop; ++j)
        for (int i = l.plotLeft; i < l.width; ++i) {
            if (std::hypot(i + 0.5 - m.x, j + 0.5 - m.y) > 50) continue; // not the label
            const Rgb c = rgb(at(image, i, j));
            if (c.r > 235 && c.g > 225 && c.b > 180 && c.b < 235) sx += i, sy += j, ++n;
        }
    ASSERT_GT(n, 20) << "the crescent's bright pixels";
    // Recorded: lower left of the disc's centre (549.6, 318.0), radius about 44 px.
    EXPECT_NEAR(sx / n, 526, 4) << "crescent centroid x";
    EXPECT_NEAR(sy / n, 353, 4) << "crescent centroid y";
    struct Band {
        const char *name;
        int x, y;
        Rgb colour;
    } bands[] = {{"sky at the top", 100, 5, {0x20, 0x3b, 0x75}},
                 {"sky at 15 degrees", 100, 200, {0x4d, 0x4a, 0x69}},
                 {"sky just above the horizon", 100, 395, {0xa0, 0x65, 0x54}},
                 {"ground", 100, 460, {0x14, 0x1e, 0x13}},
                 {"caption strip", 950, 630, {0x10, 0x14, 0x18}}};
    for (const Band &b : bands) {
        const Rgb c = rgb(at(image, b.x, b.y));
        EXPECT_NEAR(c.r, b.colour.r, 14) << b.name;
        EXPECT_NEAR(c.g, b.colour.g, 14) << b.name;
        EXPECT_NEAR(c.b, b.colour.b, 14) << b.name;
    }
}

TEST(SkyColour, GradedWithTheSunsDepression) {
    EXPECT_EQ(sky::twilightOf(2), sky::Twilight::Day);
    EXPECT_EQ(sky::twilightOf(-3), sky::Twilight::Civil);
    EXPECT_EQ(sky::twilightOf(-6.7), sky::Twilight::Nautical);
    EXPECT_EQ(sky::twilightOf(-15), sky::Twilight::Astronomical);
    EXPECT_EQ(sky::twilightOf(-20), sky::Twilight::Night);
    // High in the sky the colour only darkens as the Sun sinks.
    auto brightness = [](uint32_t c) {
        return int(c >> 16 & 0xff) + int(c >> 8 & 0xff) + int(c & 0xff);
    };
    int last = 1 << 20;
    for (double sun = 8; sun >= -20; sun -= 0.5) {
        const int b = brightness(sky::skyColour(sun, 30));
        EXPECT_LE(b, last) << "Sun at " << sun;
        last = b;
    }
    // In twilight the horizon is warmer (redder) than the sky above it.
    const uint32_t horizon = sky::skyColour(-4, 0), high = sky::skyColour(-4, 30);
    EXPECT_GT(int(horizon >> 16 & 0xff), int(high >> 16 & 0xff));
}

// The direction of the drawn crescent's lit part from the disc's centre: the centroid of its
// bright pixels within the magnified disc, degrees from the upward vertical toward the
// observer's left (the picture's -x), as MoonDisc::zenithAngle. False with too few pixels.
bool litDirection(const sky::Image &image, const sky::Layout &l, const almanac::MoonDisc &disc,
                  double &degrees) {
    const sky::Point c = sky::toPixel(l, disc.moon.altitude, disc.moon.azimuth);
    const double r = disc.semiDiameter * l.pixelsPerDegree * l.magnification;
    double sx = 0, sy = 0;
    int n = 0;
    for (int j = int(c.y - r - 2); j <= int(c.y + r + 2); ++j)
        for (int i = int(c.x - r - 2); i <= int(c.x + r + 2); ++i) {
            if (i < 0 || j < 0 || i >= image.width || j >= image.height) continue;
            if (std::hypot(i + 0.5 - c.x, j + 0.5 - c.y) > r + 1.5) continue;
            const Rgb p = rgb(at(image, i, j));
            if (p.r > 235 && p.g > 225 && p.b > 180 && p.b < 235)
                sx += i + 0.5 - c.x, sy += j + 0.5 - c.y, ++n;
        }
    if (n < 20) return false;
    degrees = std::atan2(-sx, -sy) / kDeg;
    return true;
}

// The bright limb's tilt from the vertical computed here on its own, two ways:
// - J. Meeus, Astronomical Algorithms, 2nd ed. (1998): chi from eq. 48.5 and the parallactic
//   angle q from eq. 14.1, written out again from the disc's topocentric right ascensions,
//   declinations and hour angle; the tilt toward the observer's left is chi - q;
// - the great circle from the Moon toward the Sun on the horizon, by the spherical triangle
//   zenith-Moon-Sun from the topocentric altitudes and azimuths alone: its bearing at the Moon
//   from the zenith toward growing azimuth is atan2(sin dA cos h2, cos h1 sin h2 -
//   sin h1 cos h2 cos dA), and the tilt toward the observer's left is its negative.
double meeusTilt(const almanac::MoonDisc &d, double latitude) {
    const double a0 = d.sunRightAscension * kDeg, d0 = d.sunDeclination * kDeg,
                 a = d.rightAscension * kDeg, dm = d.declination * kDeg;
    const double chi =
        std::atan2(std::cos(d0) * std::sin(a0 - a),
                   std::sin(d0) * std::cos(dm) - std::cos(d0) * std::sin(dm) * std::cos(a0 - a));
    const double h = d.hourAngle * kDeg, phi = latitude * kDeg;
    const double q =
        std::atan2(std::sin(h), std::tan(phi) * std::cos(dm) - std::sin(dm) * std::cos(h));
    return (chi - q) / kDeg;
}
double greatCircleTilt(const almanac::MoonDisc &d) {
    const double h1 = d.moon.altitude * kDeg, h2 = d.sun.altitude * kDeg,
                 dA = (d.sun.azimuth - d.moon.azimuth) * kDeg;
    return -std::atan2(std::sin(dA) * std::cos(h2),
                       std::cos(h1) * std::sin(h2) - std::sin(h1) * std::cos(h2) * std::cos(dA)) /
           kDeg;
}

// The morning chart: the Moon's centre as drawn against the almanac's altitude and azimuth to
// within a pixel, on the eastern horizon.
TEST(SkyMorning, MoonDrawnAtTheAlmanacsAltitudeAndAzimuth) {
    struct Case {
        const char *name;
        double lat, lon;
        almanac::CivilDate date;
        double hours;
    } cases[] = {{"Jakarta", -6.2, 106.85, {2024, 3, 9}, 0},
                 {"Mecca", 21.42, 39.83, {2024, 3, 9}, 0},
                 {"London", 51.5, -0.12, {2024, 3, 8}, 0},
                 {"Cape Town", -33.92, 18.42, {2023, 7, 16}, 0},
                 {"Jakarta, two days before, earlier", -6.2, 106.85, {2024, 3, 8}, -0.5}};
    for (const Case &c : cases) {
        const sky::ChartInput in = morningAt(c.lat, c.lon, c.date, c.hours);
        ASSERT_TRUE(in.morning) << c.name;
        ASSERT_EQ(in.dawn.morning.state, almanac::MorningState::Ok) << c.name;
        const sky::Layout l = layoutOf(in);
        EXPECT_LT(std::fabs(std::remainder(l.centreAzimuth - 90, 360.0)), 45) << c.name;
        const sky::Image image = sky::drawChart(in, l);
        double x = 0, y = 0;
        ASSERT_TRUE(redCentroid(image, l, x, y)) << c.name;
        const double horizon = brightestRow(image, l) + 0.5;
        EXPECT_NEAR(horizon, sky::horizonRow(l), 1.0) << c.name << ": the horizon line";
        const double altitude = (horizon - y) / l.pixelsPerDegree;
        const double azimuth =
            l.centreAzimuth + (x - (l.plotLeft + l.plotWidth / 2.0)) / l.pixelsPerDegree;
        const double onePixel = 1 / l.pixelsPerDegree;
        EXPECT_NEAR(altitude, in.disc.moon.altitude, onePixel) << c.name << ": altitude";
        EXPECT_NEAR(azimuth, in.disc.moon.azimuth, onePixel) << c.name << ": azimuth";
        EXPECT_NEAR(in.disc.moon.altitude, in.crescent.sky.moonTopocentric.altitude, 1e-9);
        EXPECT_NEAR(in.disc.moon.azimuth, in.crescent.sky.moonTopocentric.azimuth, 1e-9);
        EXPECT_LT(in.disc.moon.altitude, 30) << c.name;
        EXPECT_GT(in.disc.moon.altitude, 0) << c.name;
    }
}

// The old crescent's bright limb points toward the Sun below the eastern horizon: the drawn
// crescent's lit side against the almanac's tilt, and the tilt against Meeus's chi - q and the
// great circle toward the Sun, both computed in this test (see meeusTilt and greatCircleTilt).
TEST(SkyMorning, CrescentFacesTheSun) {
    struct Case {
        const char *name;
        double lat, lon;
        almanac::CivilDate date;
    } cases[] = {{"Jakarta", -6.2, 106.85, {2024, 3, 9}},
                 {"Mecca", 21.42, 39.83, {2024, 3, 9}},
                 {"London", 51.5, -0.12, {2024, 3, 8}},
                 {"Cape Town", -33.92, 18.42, {2023, 7, 16}}};
    for (const Case &c : cases) {
        const sky::ChartInput in = morningAt(c.lat, c.lon, c.date);
        ASSERT_EQ(in.dawn.morning.state, almanac::MorningState::Ok) << c.name;
        const almanac::MoonDisc &d = in.disc;
        EXPECT_NEAR(std::remainder(d.zenithAngle - meeusTilt(d, c.lat), 360.0), 0, 1e-6)
            << c.name << ": Meeus eq. 48.5 and 14.1";
        EXPECT_NEAR(std::remainder(d.zenithAngle - greatCircleTilt(d), 360.0), 0, 0.01)
            << c.name << ": the great circle toward the Sun";
        // Before sunrise the Sun is below the Moon: the bright limb points downward.
        EXPECT_GT(std::fabs(std::remainder(d.zenithAngle, 360.0)), 90) << c.name;
        EXPECT_NEAR(d.illuminatedFraction, in.crescent.illuminatedFraction, 1e-12) << c.name;
        EXPECT_LT(d.illuminatedFraction, 0.1) << c.name << ": a thin crescent";
        const sky::Layout l = layoutOf(in);
        const sky::Image image = sky::drawChart(in, l);
        double drawn = 0;
        ASSERT_TRUE(litDirection(image, l, d, drawn)) << c.name;
        EXPECT_NEAR(std::remainder(drawn - d.zenithAngle, 360.0), 0, 4.0)
            << c.name << ": the lit side as drawn";
    }
}

// Evenings without a crescent give a whole chart that says why.
TEST(SkyStates, NoSunsetAndMoonSetsFirstChartsSaySo) {
    struct Case {
        const char *name;
        double lat, lon;
        almanac::CivilDate date;
        almanac::EveningState state;
        const char *words;
    } cases[] = {
        {"midnight sun", 78, 15, {2024, 6, 10}, almanac::EveningState::NoSunset, "stays up"},
        {"polar night", 78, 15, {2024, 12, 10}, almanac::EveningState::NoSunset, "below"},
        {"Moon sets first",
         -6.2,
         106.85,
         {2024, 3, 9},
         almanac::EveningState::MoonSetsFirst,
         "sets first"},
    };
    for (const Case &c : cases) {
        const sky::ChartInput in = chartAt(c.lat, c.lon, c.date);
        ASSERT_EQ(in.evening.evening.state, c.state) << c.name;
        const std::string notice = sky::noticeOf(in);
        EXPECT_NE(notice.find(c.words), std::string::npos) << c.name << ": " << notice;
        const sky::Layout l =
            std::isnan(in.instant) ? sky::layoutEmpty(800, 500, 270) : layoutOf(in, 800, 500);
        const sky::Image image = sky::drawChart(in, l);
        ASSERT_EQ(image.pixels.size(), size_t(800 * 500)) << c.name;
        // The notice's white text across the upper sky, and the scales and caption drawn.
        int white = 0;
        for (int j = 0; j < l.plotHeight / 2; ++j)
            for (int i = l.plotLeft; i < l.width; ++i)
                if ((at(image, i, j) & 0xf0f0f0) == 0xf0f0f0) ++white;
        EXPECT_GT(white, 300) << c.name << ": the notice";
        const std::vector<std::string> caption = sky::captionLines(in, l);
        ASSERT_GE(caption.size(), 2u) << c.name;
        bool said = false;
        for (const std::string &line : caption)
            said = said || line.find(c.words) != std::string::npos;
        EXPECT_TRUE(said) << c.name << ": the caption says why";
        EXPECT_TRUE(sky::minutesOfEvening(in.evening).empty()) << c.name;
    }
}

TEST(SkyCaption, QuantitiesAndWords) {
    const sky::ChartInput in0 = chartAt(-6.2, 106.85, {2024, 3, 11});
    sky::ChartInput in = in0;
    in.place = "Jakarta <Batavia> & co";
    in.zoneMinutes = 420;
    const std::vector<std::string> lines = sky::captionLines(in, layoutOf(in));
    std::string all;
    for (const std::string &line : lines)
        all += line + "\n";
    for (const char *word :
         {"Jakarta &lt;Batavia&gt; &amp; co", "2024-03-11", "18:31", "UT+07:00", "best time",
          "sunset 18:07", "moonset 19:01", "lag 53 min", "altitude 6.29", "azimuth 272.91",
          "ARCL 15.71", "ARCV 14.02", "DAZ \u22127.10", "W 0.62", "age 26.5 h", "easily visible",
          "visible by naked eye", "nautical twilight", "\u00d7"})
        EXPECT_NE(all.find(word), std::string::npos) << word << " in\n" << all;
}

// Mornings without a crescent give a whole chart that says why, on the eastern horizon.
TEST(SkyStates, NoSunriseAndMoonRisesAfterChartsSaySo) {
    struct Case {
        const char *name;
        double lat, lon;
        almanac::CivilDate date;
        almanac::MorningState state;
        const char *words;
    } cases[] = {
        {"midnight sun", 78, 15, {2024, 6, 10}, almanac::MorningState::NoSunrise, "stays up"},
        {"polar night", 78, 15, {2024, 12, 10}, almanac::MorningState::NoSunrise, "below"},
        {"Moon rises after the Sun, Jakarta",
         -6.2,
         106.85,
         {2024, 3, 11},
         almanac::MorningState::MoonRisesAfter,
         "rises after the Sun"},
        {"Moon rises after the Sun, London",
         51.5,
         -0.12,
         {2024, 3, 9},
         almanac::MorningState::MoonRisesAfter,
         "rises after the Sun"},
    };
    for (const Case &c : cases) {
        const sky::ChartInput in = morningAt(c.lat, c.lon, c.date);
        ASSERT_EQ(in.dawn.morning.state, c.state) << c.name;
        const std::string notice = sky::noticeOf(in);
        EXPECT_NE(notice.find(c.words), std::string::npos) << c.name << ": " << notice;
        EXPECT_NE(notice.find("morning"), std::string::npos) << c.name << ": " << notice;
        const sky::Layout l =
            std::isnan(in.instant) ? sky::layoutEmpty(800, 500, 90) : layoutOf(in, 800, 500);
        const sky::Image image = sky::drawChart(in, l);
        ASSERT_EQ(image.pixels.size(), size_t(800 * 500)) << c.name;
        int white = 0;
        for (int j = 0; j < l.plotHeight / 2; ++j)
            for (int i = l.plotLeft; i < l.width; ++i)
                if ((at(image, i, j) & 0xf0f0f0) == 0xf0f0f0) ++white;
        EXPECT_GT(white, 300) << c.name << ": the notice";
        const std::vector<std::string> caption = sky::captionLines(in, l);
        ASSERT_GE(caption.size(), 2u) << c.name;
        std::string all;
        for (const std::string &line : caption)
            all += line + "\n";
        EXPECT_NE(all.find(c.words), std::string::npos) << c.name << ": the caption says why";
        EXPECT_NE(all.find("morning, eastern sky"), std::string::npos) << c.name << "\n" << all;
        EXPECT_TRUE(sky::minutesOfMorning(in.dawn).empty()) << c.name;
        EXPECT_TRUE(in.window.empty()) << c.name;
    }
}

// The caption's viewing window: the minutes in which Odeh's V stays at 2 or more, in the local
// clock, or the words that there are none; evening and morning. The times are the sighting
// command's window for the same places, rounded to the minute.
TEST(SkyCaption, ViewingWindow) {
    struct Case {
        const char *name;
        sky::ChartInput in;
        int zone;
        const char *words;
    } cases[] = {
        {"Jakarta evening", chartAt(-6.2, 106.85, {2024, 3, 11}), 420,
         "window <b>18:07\u201319:00</b> UT+07:00 (Odeh\u2019s V \u2265 2)"},
        {"Mecca morning", morningAt(21.42, 39.83, {2024, 3, 9}), 180,
         "window <b>05:54\u201306:34</b> UT+03:00"},
        {"London morning", morningAt(51.5, -0.12, {2024, 3, 8}), 0,
         "window <b>06:10\u201306:28</b> UT"},
        {"Jakarta evening too early", chartAt(-6.2, 106.85, {2024, 3, 10}), 420,
         "no window: Odeh\u2019s V stays below 2 all evening"},
        {"Kansas morning too late", morningAt(40, -100, {2024, 3, 9}), -360,
         "no window: Odeh\u2019s V stays below 2 all morning"},
        {"Jakarta, Moon sets first", chartAt(-6.2, 106.85, {2024, 3, 9}), 420, "no window"},
    };
    for (Case &c : cases) {
        c.in.zoneMinutes = c.zone;
        std::string all;
        for (const std::string &line : sky::captionLines(c.in, layoutOf(c.in)))
            all += line + "\n";
        EXPECT_NE(all.find(c.words), std::string::npos) << c.name << ": " << c.words << " in\n"
                                                        << all;
        EXPECT_NE(all.find(c.in.morning ? "morning, eastern sky" : "evening, western sky"),
                  std::string::npos)
            << c.name;
        EXPECT_LE(sky::captionLines(c.in, layoutOf(c.in)).size(), 5u) << c.name;
    }
    // The morning's caption tells the hours to the new moon, and its events in their order.
    sky::ChartInput m = morningAt(-6.2, 106.85, {2024, 3, 9});
    m.zoneMinutes = 420;
    std::string all;
    for (const std::string &line : sky::captionLines(m, layoutOf(m)))
        all += line + "\n";
    for (const char *word : {"new moon in 34.6 h", "moonrise 04:44, sunrise 05:58, lag 74 min",
                             "(best time)", "05:25"})
        EXPECT_NE(all.find(word), std::string::npos) << word << " in\n" << all;
}

TEST(SkyFrames, OneAMinuteFromMoonriseToSunrise) {
    const sky::ChartInput in = morningAt(-6.2, 106.85, {2024, 3, 9});
    const std::vector<double> minutes = sky::minutesOfMorning(in.dawn);
    ASSERT_EQ(minutes.size(), size_t(std::floor(in.dawn.morning.lagMinutes)) + 1);
    EXPECT_DOUBLE_EQ(minutes.front(), in.dawn.morning.moonrise);
    EXPECT_LE(minutes.back(), in.dawn.morning.sunrise);
    EXPECT_NEAR((minutes[1] - minutes[0]) * 1440, 1, 1e-6);
}

TEST(SkyFrames, OneAMinuteFromSunsetToMoonset) {
    const sky::ChartInput in = chartAt(-6.2, 106.85, {2024, 3, 11});
    const std::vector<double> minutes = sky::minutesOfEvening(in.evening);
    ASSERT_EQ(minutes.size(), size_t(std::floor(in.evening.evening.lagMinutes)) + 1);
    EXPECT_DOUBLE_EQ(minutes.front(), in.evening.evening.sunset);
    EXPECT_LE(minutes.back(), in.evening.evening.moonset);
    EXPECT_NEAR((minutes[1] - minutes[0]) * 1440, 1, 1e-6);
}

// Two threads drawing at once draw the same picture as one.
TEST(SkyThreads, DrawingIsThreadSafe) {
    const sky::ChartInput in = chartAt(21.42, 39.83, {2024, 3, 11});
    const sky::Layout l = layoutOf(in, 640, 400);
    const sky::Image reference = sky::drawChart(in, l);
    std::vector<sky::Image> results(4);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] { results[t] = sky::drawChart(in, l); });
    for (std::thread &t : threads)
        t.join();
    for (const sky::Image &r : results)
        EXPECT_EQ(r.pixels, reference.pixels);
}
