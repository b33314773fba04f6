// Tests of the places library: names through the gazetteer and its aliases, the tz database's
// zones on the days their clocks change.
#include <gtest/gtest.h>

#include "places/places.h"

namespace {

// Unix seconds of a UT date and time (proleptic Gregorian).
int64_t unixAt(int y, int m, int d, int hh, int mm) {
    const int a = (14 - m) / 12, yy = y + 4800 - a, mo = m + 12 * a - 3;
    const int64_t jdn = d + (153 * mo + 2) / 5 + 365L * yy + yy / 4 - yy / 100 + yy / 400 - 32045;
    return (jdn - 2440588) * 86400 + hh * 3600 + mm * 60;
}

} // namespace

TEST(PlaceLookup, ExactNamesAnyCase) {
    for (const char *name : {"Jakarta", "jakarta", "JAKARTA", " Jakarta "}) {
        const places::Lookup l = places::lookupPlace(name);
        ASSERT_EQ(l.match, places::Match::Found) << name;
        EXPECT_EQ(l.cities[0].name, "Jakarta") << name;
        EXPECT_EQ(l.cities[0].zone, "Asia/Jakarta") << name;
        EXPECT_NEAR(l.cities[0].latitude, -6.21, 0.05) << name;
        EXPECT_FALSE(l.viaAlias) << name;
    }
}

TEST(PlaceLookup, AliasesNameTheirCity) {
    struct Case {
        const char *alias, *name, *zone;
    } cases[] = {{"Mecca", "Makkah al Mukarramah", "Asia/Riyadh"},
                 {"makkah", "Makkah al Mukarramah", "Asia/Riyadh"},
                 {"Medina", "Medina", "Asia/Riyadh"}, // not Medina, Ohio
                 {"Madinah", "Medina", "Asia/Riyadh"},
                 {"Al-Quds", "Jerusalem", "Asia/Jerusalem"},
                 {"al quds", "Jerusalem", "Asia/Jerusalem"}};
    for (const Case &c : cases) {
        const places::Lookup l = places::lookupPlace(c.alias);
        ASSERT_EQ(l.match, places::Match::Found) << c.alias;
        EXPECT_TRUE(l.viaAlias) << c.alias;
        EXPECT_EQ(l.cities[0].name, c.name) << c.alias;
        EXPECT_EQ(l.cities[0].zone, c.zone) << c.alias;
        EXPECT_EQ(l.cities[0].countryCode, c.alias[0] == 'A' || c.alias[0] == 'a' ? "IL" : "SA")
            << c.alias;
    }
}

TEST(PlaceLookup, AmbiguousNamesAndQualifiers) {
    if (!places::hasGazetteer()) GTEST_SKIP() << "built without libgeonames";
    const places::Lookup london = places::lookupPlace("London");
    ASSERT_EQ(london.match, places::Match::Ambiguous);
    ASSERT_GE(london.cities.size(), 2u);
    EXPECT_EQ(london.cities[0].countryCode, "GB"); // most populous first
    for (const places::City &c : london.cities)
        EXPECT_EQ(c.name, "London") << places::describe(c); // not Londonderry nor East London
    struct Case {
        const char *query, *state, *zone;
    } picks[] = {{"London, Canada", "Ontario", "America/Toronto"},
                 {"London, ca", "Ontario", "America/Toronto"},
                 {"London, Ontario, Canada", "Ontario", "America/Toronto"},
                 {"London,England", "England", "Europe/London"},
                 {"london, united kingdom", "England", "Europe/London"}};
    for (const Case &p : picks) {
        const places::Lookup l = places::lookupPlace(p.query);
        ASSERT_EQ(l.match, places::Match::Found) << p.query;
        EXPECT_EQ(l.cities[0].state, p.state) << p.query;
        EXPECT_EQ(l.cities[0].zone, p.zone) << p.query;
    }
    EXPECT_EQ(places::lookupPlace("London, France").match, places::Match::Unknown);
}

TEST(PlaceLookup, UnknownNames) {
    for (const char *name : {"Xyzzyville", "", ",", "Jakarta, Peru"})
        EXPECT_EQ(places::lookupPlace(name).match, places::Match::Unknown) << name;
}

TEST(PlaceLookup, BuiltInCitiesCarryZones) {
    for (const places::City &c : places::builtInCities()) {
        places::ZoneRules z;
        std::string error;
        EXPECT_TRUE(z.load(c.zone, error)) << c.name << ": " << error;
        EXPECT_EQ(places::lookupPlace(c.name).cities.at(0).name, c.name);
    }
}

// The offsets on the days the clocks change, either side of the change (tzdata's rules: the
// EU at 01:00 UT on the last Sundays of March and October, the US at 02:00 local on the second
// Sunday of March and the first of November).
TEST(ZoneRules, OffsetOfEachInstantOnChangeDays) {
    struct Case {
        const char *zone;
        int y, m, d, hh, mm; // UT
        int offset;
        const char *abbreviation;
    } cases[] = {
        {"Europe/London", 2027, 10, 31, 0, 59, 60, "BST"},
        {"Europe/London", 2027, 10, 31, 1, 0, 0, "GMT"},
        {"Europe/London", 2027, 10, 31, 16, 35, 0, "GMT"}, // the sunset of the fault report
        {"Europe/London", 2027, 3, 28, 0, 59, 0, "GMT"},
        {"Europe/London", 2027, 3, 28, 1, 0, 60, "BST"},
        {"America/New_York", 2027, 3, 14, 6, 59, -300, "EST"},
        {"America/New_York", 2027, 3, 14, 7, 0, -240, "EDT"},
        {"America/New_York", 2027, 11, 7, 5, 59, -240, "EDT"},
        {"America/New_York", 2027, 11, 7, 6, 0, -300, "EST"},
        {"Asia/Riyadh", 2024, 3, 11, 15, 28, 180, "+03"},
        {"Asia/Kolkata", 2024, 3, 11, 12, 0, 330, "IST"},
        {"Asia/Jakarta", 2024, 3, 11, 11, 0, 420, "WIB"},
    };
    for (const Case &c : cases) {
        places::ZoneRules z;
        std::string error;
        ASSERT_TRUE(z.load(c.zone, error)) << error;
        const places::ZoneTime t = z.at(unixAt(c.y, c.m, c.d, c.hh, c.mm));
        EXPECT_EQ(t.offsetMinutes, c.offset)
            << c.zone << " " << c.m << "-" << c.d << " " << c.hh << ":" << c.mm;
        EXPECT_EQ(t.abbreviation, c.abbreviation) << c.zone << " " << c.hh << ":" << c.mm;
    }
}

TEST(ZoneRules, UnknownAndUnsafeNamesAreRefused) {
    for (const char *name : {"Foo/Bar", "../../etc/passwd", "/etc/localtime", "Asia/", "",
                             "Asia//Riyadh", "Asia/Riyadh\n"}) {
        places::ZoneRules z;
        std::string error;
        EXPECT_FALSE(z.load(name, error)) << name;
        EXPECT_EQ(error.find('\n'), std::string::npos) << name;
    }
    EXPECT_TRUE(places::plausibleZoneName("America/Argentina/Buenos_Aires"));
    EXPECT_TRUE(places::plausibleZoneName("Etc/GMT+3"));
}

TEST(ZoneRules, LoadingLeavesTheProcessZoneAlone) {
    setenv("TZ", "America/New_York", 1);
    tzset();
    places::ZoneRules z;
    std::string error;
    ASSERT_TRUE(z.load("Asia/Tokyo", error));
    EXPECT_STREQ(std::getenv("TZ"), "America/New_York");
    places::ZoneRules local;
    local.loadLocal();
    EXPECT_EQ(local.at(unixAt(2027, 7, 1, 12, 0)).offsetMinutes, -240);
    EXPECT_EQ(z.at(unixAt(2027, 7, 1, 12, 0)).offsetMinutes, 540);
    EXPECT_EQ(local.name(), "");
    unsetenv("TZ");
    tzset();
}
