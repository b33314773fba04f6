// Tests of telvor sighting with places and clocks: --place, --tz, the local times on the days
// the clocks change, the verdict first, the morning and the batch.
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/cli_run.h"

namespace {

nlohmann::json sightingJson(const std::string &environment, const std::string &args) {
    const Outcome r = telvorIn(environment, "sighting " + args + " --json");
    EXPECT_EQ(r.code, 0) << args << ": " << r.err;
    return r.code == 0 ? nlohmann::json::parse(r.out) : nlohmann::json::object();
}

std::vector<std::string> lines(const std::string &text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

} // namespace

// Local times carry the offset in force at each instant, not at the date's midnight: on the
// days the clocks change the sunset is after the change.
TEST(SightingClock, OffsetOfEachInstantOnChangeDays) {
    struct Case {
        const char *tz, *args, *sunsetLocal; // to the minute
    } cases[] = {
        {"Europe/London", "--date 2027-10-31 --lat 51.5 --lon -0.13", "2027-10-31T16:35"},
        {"Europe/London", "--date 2027-03-28 --lat 51.5 --lon -0.13", "2027-03-28T19:"},
        {"America/New_York", "--date 2027-03-14 --lat 40.71 --lon -74.01", "2027-03-14T19:"},
        {"America/New_York", "--date 2027-11-07 --lat 40.71 --lon -74.01", "2027-11-07T16:"},
    };
    const char *offsets[] = {"+00:00", "+01:00", "-04:00", "-05:00"};
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case &c = cases[i];
        for (const std::string &how : {std::string("env TZ=") + c.tz, std::string("")}) {
            const std::string args =
                std::string(c.args) + (how.empty() ? std::string(" --tz ") + c.tz : "");
            const nlohmann::json j =
                sightingJson(how.empty() ? "" : "TZ=" + std::string(c.tz), args);
            const std::string local = j.value("sunsetLocal", "");
            EXPECT_EQ(local.substr(0, std::string(c.sunsetLocal).size()), c.sunsetLocal)
                << c.tz << " " << args << ": " << local;
            EXPECT_EQ(local.substr(19), offsets[i]) << c.tz << " " << args;
        }
    }
}

TEST(SightingClock, ZoneNameAndOffsetInText) {
    const Outcome r = telvor("sighting --place Jakarta --date 2024-03-11");
    ASSERT_EQ(r.code, 0) << r.err;
    const std::vector<std::string> l = lines(r.out);
    ASSERT_GE(l.size(), 5u);
    EXPECT_EQ(l[0].rfind("Jakarta, Jakarta Special Capital Region, Indonesia \u2014 evening of "
                         "Monday 11 March 2024",
                         0),
              0u)
        << l[0];
    EXPECT_EQ(l[1].rfind("The crescent ", 0), 0u) << l[1];
    EXPECT_NE(r.out.find("+07 (Asia/Jakarta)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("sunsetLocal"), std::string::npos);
    // --tz overrides the place's zone; --zone gives a plain offset.
    const nlohmann::json riyadh =
        sightingJson("", "--place Jakarta --date 2024-03-11 --tz Asia/Riyadh");
    EXPECT_EQ(riyadh["sunsetLocal"].get<std::string>().substr(19), "+03:00");
    EXPECT_EQ(riyadh["input"]["tz"], "Asia/Riyadh");
    EXPECT_EQ(riyadh["input"]["zone"], 180);
    const nlohmann::json fixedZone =
        sightingJson("", "--place Jakarta --date 2024-03-11 --zone 60");
    EXPECT_EQ(fixedZone["sunsetLocal"].get<std::string>().substr(19), "+01:00");
    EXPECT_TRUE(fixedZone["input"]["tz"].is_null());
}

TEST(SightingPlace, NamesAndTheirErrors) {
    const nlohmann::json mecca = sightingJson("", "--place Mecca --date 2024-03-11");
    EXPECT_EQ(mecca["input"]["place"], "Makkah al Mukarramah, Mecca Region, Saudi Arabia");
    EXPECT_EQ(mecca["input"]["tz"], "Asia/Riyadh");
    EXPECT_NEAR(mecca["input"]["lat"].get<double>(), 21.43, 0.01);
    EXPECT_EQ(mecca["yallopClass"], "A");
    EXPECT_EQ(mecca["sunsetLocal"].get<std::string>().substr(0, 16), "2024-03-11T18:28");
    struct Bad {
        const char *args, *says;
    } bad[] = {
        {"--place Xyzzyville", "--place: no place 'Xyzzyville' is known"},
        {"--place London", "London, England, United Kingdom"},
        {"--place London", "London, Ontario, Canada"},
        {"--place Mecca --lat 21", "--place and --lat/--lon"},
        {"--lat 21", "--lat needs --lon"},
        {"", "a place is needed: --lat DEG --lon DEG, or --place NAME"},
        {"--place Mecca --tz Mars/Olympus",
         "--tz: 'Mars/Olympus' is not a zone of the tz database"},
        {"--place Mecca --tz Asia/Riyadh --zone 180", "--tz and --zone"},
    };
    for (const Bad &b : bad) {
        const Outcome r = telvor(std::string("sighting --date 2024-03-11 ") + b.args);
        EXPECT_EQ(r.code, 2) << b.args;
        EXPECT_TRUE(oneLine(r.err)) << b.args << ": " << r.err;
        EXPECT_NE(r.err.find(b.says), std::string::npos) << b.args << ": " << r.err;
        EXPECT_EQ(r.out, "") << b.args;
    }
    const Outcome canada = telvor("sighting --date 2024-03-11 --place \"London, Canada\" --json");
    ASSERT_EQ(canada.code, 0) << canada.err;
    EXPECT_EQ(nlohmann::json::parse(canada.out)["input"]["tz"], "America/Toronto");
}

TEST(SightingVerdict, FirstQuietAndInJson) {
    const Outcome full = telvor("sighting --place Mecca --date 2024-03-11");
    const Outcome quiet = telvor("sighting --place Mecca --date 2024-03-11 --quiet");
    ASSERT_EQ(quiet.code, 0) << quiet.err;
    const std::vector<std::string> q = lines(quiet.out);
    ASSERT_EQ(q.size(), 4u) << quiet.out;
    EXPECT_EQ(q[1], "The crescent should be easily visible to the naked eye (Yallop A, Odeh A).");
    EXPECT_EQ(q[2].rfind("Look west", 0), 0u) << q[2];
    EXPECT_NE(q[2].find("at or above his zone B's limit"), std::string::npos) << q[2];
    EXPECT_EQ(q[3].rfind("Sunset 18:29 +03 (Asia/Riyadh), moonset 19:4", 0), 0u) << q[3];
    EXPECT_EQ(full.out.rfind(quiet.out + "\n", 0), 0u) << "the verdict comes first";
    const nlohmann::json j = sightingJson("", "--place Mecca --date 2024-03-11");
    ASSERT_EQ(j["verdict"].size(), 4u);
    EXPECT_EQ(j["verdict"][1], q[1]);
    const std::string start = j["window"]["start"], end = j["window"]["end"];
    EXPECT_LE(j["sunset"].get<std::string>(), start);
    EXPECT_LE(start, j["bestTime"].get<std::string>());
    EXPECT_LE(end, j["moonset"].get<std::string>());
    // Not visible the evening before: no window.
    const nlohmann::json before = sightingJson("", "--place Mecca --date 2024-03-10");
    EXPECT_TRUE(before["window"].is_null());
    EXPECT_NE(before["verdict"][1].get<std::string>().find("not visible"), std::string::npos);
}

// Before the new moon the Moon sets first; the answer names the conjunction to come.
TEST(SightingVerdict, MoonSetsFirstNamesTheComingConjunction) {
    const nlohmann::json j =
        sightingJson("TZ=Asia/Jakarta", "--date 2027-02-06 --lat -6.2 --lon 106.85");
    EXPECT_EQ(j["state"], "moon sets first");
    EXPECT_EQ(j["conjunction"].get<std::string>().substr(0, 10), "2027-02-06");
    const double hours = j["hoursToConjunction"];
    EXPECT_GT(hours, 0);
    EXPECT_LT(hours, 24);
    EXPECT_NE(j["verdict"][2].get<std::string>().find("the new moon comes on"), std::string::npos)
        << j["verdict"];
    // Mecca the evening before the new moon of 10 March 2024, 09:00 UT: 17.5 h to come.
    const nlohmann::json mecca = sightingJson("", "--place Mecca --date 2024-03-09");
    EXPECT_EQ(mecca["state"], "moon sets first");
    EXPECT_EQ(mecca["conjunction"].get<std::string>().substr(0, 16), "2024-03-10T09:00");
    EXPECT_NEAR(mecca["hoursToConjunction"].get<double>(), 17.53, 0.05);
    // Evenings with a crescent tell its age, not the hours to a conjunction.
    EXPECT_FALSE(
        sightingJson("", "--place Mecca --date 2024-03-11").contains("hoursToConjunction"));
}

// The last crescent before the new moon of 10 March 2024 (09:00 UT), at dawn in Mecca.
TEST(SightingMorning, LastCrescentBeforeTheNewMoon) {
    const nlohmann::json j = sightingJson("", "--place Mecca --date 2024-03-09 --morning");
    ASSERT_EQ(j["state"], "ok") << j;
    const std::string rise = j["moonrise"], best = j["bestTime"], sun = j["sunrise"];
    EXPECT_LT(rise, best);
    EXPECT_LT(best, sun);
    EXPECT_GT(j["lagMinutes"].get<double>(), 0);
    EXPECT_EQ(j["conjunction"].get<std::string>().substr(0, 16), "2024-03-10T09:00");
    EXPECT_NEAR(j["hoursToConjunction"].get<double>(), 29.73, 0.05);
    const double az = j["moonAzimuth"];
    EXPECT_GT(az, 60);
    EXPECT_LT(az, 120); // low in the east
    EXPECT_EQ(j["verdict"][0].get<std::string>().find("morning of Saturday 9 March 2024"),
              std::string("Makkah al Mukarramah, Mecca Region, Saudi Arabia \u2014 ").size());
    // The morning after the conjunction the Moon rises after the Sun.
    const nlohmann::json after = sightingJson("", "--place Mecca --date 2024-03-11 --morning");
    EXPECT_EQ(after["state"], "moon rises after");
    EXPECT_TRUE(after["bestTime"].is_null());
}

// A batch of places on one date answers each line exactly as a run of its own.
TEST(SightingBatch, LinesEqualSingleRuns) {
    const char *places[][2] = {{"21.4225", "39.8262"}, {"-6.2", "106.85"}, {"51.5", "-0.13"},
                               {"78.22", "15.65"},     {"-33.9", "18.4"},  {"40.71", "-74.01"}};
    std::string batch;
    for (auto &p : places)
        batch += std::string("{\"lat\": ") + p[0] + ", \"lon\": " + p[1] + "}\n";
    for (const char *date : {"2024-03-11", "2027-10-31"}) {
        const Outcome all = telvorIn("TZ=Europe/London",
                                     std::string("sighting --date ") + date + " --batch -", batch);
        ASSERT_EQ(all.code, 0) << all.err;
        const std::vector<std::string> got = lines(all.out);
        ASSERT_EQ(got.size(), std::size(places));
        for (size_t i = 0; i < std::size(places); ++i) {
            const Outcome one = telvorIn("TZ=Europe/London",
                                         std::string("sighting --date ") + date + " --lat " +
                                             places[i][0] + " --lon " + places[i][1] + " --json");
            EXPECT_EQ(got[i] + "\n", one.out) << date << " line " << i;
        }
    }
    // A line without a place is an error of its own.
    const Outcome missing = telvor("sighting --date 2024-03-11 --batch -", "{\"lat\": 21}\n");
    EXPECT_EQ(missing.code, 1);
    EXPECT_NE(missing.out.find("a place is needed"), std::string::npos) << missing.out;
}

// The map marks a place given by name; a name it cannot resolve stops it before the work.
TEST(MapPlace, MarksThePlace) {
    const std::string dir = scratchFolder();
    const Outcome plain = telvor("map --date 2024-03-11 --step 2 --out " + dir + "/plain.png");
    const Outcome marked =
        telvor("map --date 2024-03-11 --step 2 --place Mecca --out " + dir + "/marked.png");
    ASSERT_EQ(plain.code, 0) << plain.err;
    ASSERT_EQ(marked.code, 0) << marked.err;
    const std::string a = slurp(dir + "/plain.png"), b = slurp(dir + "/marked.png");
    EXPECT_FALSE(a.empty());
    EXPECT_NE(a, b);
    const Outcome ambiguous =
        telvor("map --date 2024-03-11 --step 2 --place London --out " + dir + "/x.png");
    EXPECT_EQ(ambiguous.code, 2);
    EXPECT_TRUE(oneLine(ambiguous.err)) << ambiguous.err;
    EXPECT_EQ(slurp(dir + "/x.png"), "");
}
