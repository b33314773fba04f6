// Tests of the telvor tool as users and other programs see it: outputs, JSON contract, errors,
// batch.
#include <cstdio>
#include <regex>
#include <sstream>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/cli_run.h"

namespace {

nlohmann::json object(const Outcome &r) {
    return nlohmann::json::parse(r.out);
}

TEST(Cli, MoonWorkedExample) {
    Outcome r = telvor("moon --date 2024-06-15 --minute 1200 --lat 40 --json");
    ASSERT_EQ(r.code, 0) << r.err;
    auto j = object(r);
    EXPECT_NEAR(j["moonDistance"].get<double>(), 403.18, 0.01);
    EXPECT_NEAR(j["moonTopoDistance"].get<double>(), 398.80, 0.01);
    EXPECT_NEAR(j["moonAltitude"].get<double>(), 42.69, 0.01);
    EXPECT_EQ(j["moonAzimuth"].get<double>(), 1981);
    EXPECT_NEAR(j["sunAltitude"].get<double>(), -5.52, 0.01);
    EXPECT_NEAR(j["sunDistance"].get<double>(), 151.96, 0.01);
    EXPECT_NEAR(j["illuminatedFraction"].get<double>(), 0.6505, 0.0001);
    EXPECT_NEAR(j["crescentWidth"].get<double>(), 19.49, 0.01);
    EXPECT_NEAR(j["elongation"].get<double>(), 0.2987, 0.0001);
    EXPECT_EQ(j["visibilityCode"].get<int>(), 100);
    // The contract: keys in this order, floats as %.9g (a whole float prints without ".0").
    const char *keys[] = {"sunAltitude",         "sunDistance",   "moonLatitude", "moonDistance",
                          "moonTopoDistance",    "moonAzimuth",   "moonAltitude", "horizonDip",
                          "illuminatedFraction", "crescentWidth", "elongation",   "visibilityWork",
                          "visibilityCode"};
    size_t at = 0;
    for (const char *k : keys) {
        size_t p = r.out.find(std::string("\"") + k + "\":");
        ASSERT_NE(p, std::string::npos) << k;
        EXPECT_GT(p + 1, at) << k << " out of order";
        at = p;
    }
    EXPECT_NE(r.out.find("\"moonAzimuth\": 1981,"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"sunDistance\": 151.962173,"), std::string::npos) << r.out;
}

TEST(Cli, TimeIsTheSameAsMinute) {
    EXPECT_EQ(telvor("moon --date 2024-06-15 --time 20:00 --lat 40 --json").out,
              telvor("moon --date 2024-06-15 --minute 1200 --lat 40 --json").out);
}

TEST(Cli, MonthCases) {
    struct Case {
        const char *args;
        int back;
        const char *found;
        int month, year;
    } cases[] = {
        {"--date 2000-01-01", 24, "1999-12-08", 9, 1420},
        {"--date 2000-01-08 --zone 180", 1, "2000-01-07", 10, 1420},
        {"--date 2024-06-15", 8, "2024-06-07", 12, 1445},
    };
    for (const auto &c : cases) {
        Outcome r = telvor(std::string("month --json ") + c.args);
        ASSERT_EQ(r.code, 0) << c.args << r.err;
        auto j = object(r);
        EXPECT_EQ(j["daysBack"], c.back) << c.args;
        EXPECT_EQ(j["dayFound"], c.found) << c.args;
        EXPECT_EQ(j["hijriMonth"], c.month) << c.args;
        EXPECT_EQ(j["hijriYear"], c.year) << c.args;
    }
}

TEST(Cli, SunQueriesOfTheWorkedExample) {
    Outcome r = telvor("sun --date 2000-01-01 --minute 719 --json");
    ASSERT_EQ(r.code, 0) << r.err;
    auto j = object(r);
    EXPECT_EQ(j["querySunAzimuth"], 1777);
    EXPECT_EQ(j["querySunAltitude"], 669);
    EXPECT_EQ(j["querySunLongitude"], 2803);
    EXPECT_EQ(j["querySunDeclination"], -230);
    EXPECT_EQ(j["querySunTransitOffset"], 32);
    EXPECT_NEAR(j["sunTransitMinute"].get<double>(), 723.78, 0.01);
}

TEST(Cli, HumanReadableByDefault) {
    Outcome r = telvor("month --date 2000-01-01");
    ASSERT_EQ(r.code, 0);
    EXPECT_NE(r.out.find("daysBack"), std::string::npos);
    EXPECT_NE(r.out.find("1999-12-08"), std::string::npos);
    EXPECT_EQ(r.out.find('{'), std::string::npos);
}

TEST(Cli, BadInputIsOneLineAndExitTwo) {
    const char *cases[] = {
        "moon --bogus",
        "moon --lat 90.5",
        "moon --lat -91",
        "moon --lat abc",
        "moon --lat nan",
        "moon --lat 1e999",
        "moon --lon 180.01",
        "moon --height -1",
        "moon --height 10000",
        "moon --height 1.5",
        "moon --probability 0",
        "moon --probability 100",
        "moon --minute 2880",
        "moon --minute -1441",
        "moon --zone 1441",
        "moon --zone -1441",
        "moon --date 2023-02-29",
        "moon --date 2100-01-01",
        "moon --date 1900-12-31",
        "moon --date 2024-13-01",
        "moon --date 2024-1-1",
        "moon --date today",
        "month --time 24:60",
        "sun --time 7",
        "sun --minute 1 --time 00:01",
        "moon --lat",
        "bogus",
        "",
        "moon --batch /nonexistent/file",
    };
    for (const char *args : cases) {
        Outcome r = telvor(args);
        EXPECT_EQ(r.code, 2) << args;
        EXPECT_EQ(r.out, "") << args;
        ASSERT_FALSE(r.err.empty()) << args;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << args << ": " << r.err;
    }
    // The message names the option and its range.
    Outcome r = telvor("moon --lat 95");
    EXPECT_NE(r.err.find("--lat"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("-90"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("90"), std::string::npos) << r.err;
    // Limits themselves are accepted; 29 February of a leap year exists; 2099 is in.
    for (const char *args : {"moon --lat 90 --lon -180", "moon --date 2024-02-29",
                             "moon --date 2099-12-31 --minute 2879 --zone -1440",
                             "moon --probability 99 --height 9999", "month --date 1901-01-01"})
        EXPECT_EQ(telvor(args).code, 0) << args;
}

TEST(Cli, HelpForEverySubcommand) {
    for (const char *sub : {"sun", "moon", "month"}) {
        Outcome r = telvor(std::string(sub) + " --help");
        EXPECT_EQ(r.code, 0) << sub;
        EXPECT_NE(r.out.find("--date"), std::string::npos) << sub;
    }
}

TEST(Cli, BatchKeepsGoingPastBadLines) {
    const std::string input = "{\"date\": \"2024-06-15\", \"minute\": 1200, \"lat\": 40}\n"
                              "{\"lat\": 91}\n"
                              "not json\n"
                              "{\"colour\": 1}\n"
                              "{\"minute\": 12.5}\n"
                              "[1, 2]\n"
                              "\n"
                              "{\"date\": \"2000-01-01\", \"zone\": 0}\n";
    Outcome r = telvor("moon --batch -", input);
    EXPECT_EQ(r.code, 1);
    std::istringstream lines(r.out);
    std::string line;
    std::vector<nlohmann::json> out;
    while (std::getline(lines, line))
        out.push_back(nlohmann::json::parse(line));
    ASSERT_EQ(out.size(), 8u);
    EXPECT_EQ(out[0]["visibilityCode"], 100);
    for (int i = 1; i <= 6; ++i)
        EXPECT_TRUE(out[i].contains("error")) << "line " << i + 1;
    EXPECT_TRUE(out[7].contains("moonDistance"));
    // Each line starts from a zeroed record: the same line twice gives the same answer.
    Outcome twice =
        telvor("month --batch -", "{\"date\": \"2000-01-01\"}\n{\"date\": \"2000-01-01\"}\n");
    EXPECT_EQ(twice.code, 0);
    const size_t nl = twice.out.find('\n');
    EXPECT_EQ(twice.out.substr(0, nl), twice.out.substr(nl + 1, twice.out.size() - nl - 2));
}

TEST(Cli, BatchOfAHundredThousandLines) {
    std::string input;
    for (int i = 0; i < 100000; ++i) {
        char line[128];
        std::snprintf(line, sizeof line,
                      "{\"date\": \"2024-%02d-%02d\", \"minute\": %d, \"lat\": %d}\n", i % 12 + 1,
                      i % 28 + 1, i % 1440, i % 181 - 90);
        input += line;
    }
    Outcome r = telvor("moon --batch -", input);
    EXPECT_EQ(r.code, 0) << r.err;
    size_t lines = 0;
    for (char c : r.out)
        lines += c == '\n';
    EXPECT_EQ(lines, 100000u);
}

} // namespace

namespace {

TEST(CliSaver, LunationSummaryAndTrace) {
    Outcome r = telvor("lunation --date 2024-06-15 --zone 0 --json");
    ASSERT_EQ(r.code, 0) << r.err;
    auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["startDate"], "2024-06-06");
    EXPECT_EQ(j["hijriMonth"], 12);
    EXPECT_EQ(j["hijriYear"], 1445);
    EXPECT_GE(j["mapColumnOffset"].get<int>(), 0);
    EXPECT_LT(j["mapColumnOffset"].get<int>(), 1440);
    ASSERT_TRUE(j["firstVisible"].is_object());
    EXPECT_EQ(j["firstVisible"]["date"], "2024-06-07");
    const std::string text = j["firstVisible"]["text"];
    EXPECT_NE(text.find("\u00b0N"), std::string::npos) << text;
    // The place as read, without the blanks that align it on the saver's status line.
    EXPECT_TRUE(std::regex_match(text, std::regex("[0-9]+\u00b0[NS]/[0-9]{3}\u00b0[EW] @ "
                                                  "[0-9]{2}:[0-9]{2}")))
        << "'" << text << "'";
    Outcome plain = telvor("lunation --date 2024-06-15 --zone 0");
    ASSERT_EQ(plain.code, 0) << plain.err;
    EXPECT_NE(plain.out.find(" " + text + "\n"), std::string::npos) << plain.out;
    const int ticks = j["ticks"];
    EXPECT_GT(ticks, 1);
    EXPECT_LE(ticks, 2001);
    EXPECT_EQ(j["endDate"], "2024-07-18");

    Outcome traced = telvor("lunation --date 2024-06-15 --zone 0 --trace");
    ASSERT_EQ(traced.code, 0);
    std::istringstream lines(traced.out);
    std::string line;
    int count = 0, found = -1;
    nlohmann::json last;
    while (std::getline(lines, line)) {
        last = nlohmann::json::parse(line);
        if (last.contains("tick")) {
            ++count;
            EXPECT_EQ(last["tick"], count);
            if (found < 0 && last["zoneFound"] == 1) found = count;
            if (last["drawn"] == 0) {
                EXPECT_TRUE(last["firstColumn"].is_null());
            }
        }
    }
    EXPECT_EQ(count, ticks);
    EXPECT_EQ(found, j["firstVisible"]["tick"].get<int>());
    EXPECT_EQ(last["ticks"], ticks) << "the summary comes last";
}

// Cases where single-precision trigonometry or an unclamped asin used to change the answer.
TEST(CliExactness, CasesThatSinglePrecisionOrNaNUsedToMove) {
    // findLunarMonth takes the cosine of the Moon's latitude in double precision.
    Outcome r = telvor("lunation --date 1997-07-06 --zone 0 --json");
    ASSERT_EQ(r.code, 0) << r.err;
    auto j = object(r);
    EXPECT_EQ(j["startMinute"], 371) << "1997-07-06 start minute";
    EXPECT_EQ(j["mapColumnOffset"], 131) << "1997-07-06 map column offset";
    EXPECT_EQ(j["firstVisible"]["text"], "32\u00b0S/076\u00b0E @ 12:18")
        << "1997-07-06 first visible place";

    // The Sun in the zenith: the altitude's asin argument rounds past 1.
    r = telvor("sun --date 2024-01-02 --minute 780 --lon -14.17333984375 --lat "
               "-22.933019251572716 --json");
    ASSERT_EQ(r.code, 0) << r.err;
    j = object(r);
    EXPECT_EQ(j["sunAltitude"], 90) << "2024-01-02 zenith Sun altitude";
    EXPECT_EQ(j["querySunAltitude"], 900) << "2024-01-02 zenith Sun altitude query";

    // A NaN Sun altitude used to fall through every comparison to "visible".
    r = telvor("moon --date 2023-01-20 --minute 685 --lat -20.123337266670639 --lon "
               "11.3564453125 --json");
    ASSERT_EQ(r.code, 0) << r.err;
    j = object(r);
    EXPECT_EQ(j["sunAltitude"], 90) << "2023-01-20 zenith Sun altitude";
    EXPECT_EQ(j["visibilityCode"], -100) << "2023-01-20 Sun too high";
}

TEST(CliSaver, BadOptions) {
    for (const char *args :
         {"lunation --zone 2000", "lunation --date 2100-01-01", "lunation --lat 5", "render --out",
          "render --size 0x0 --out x.png", "render", "render --cumulative maybe --out x.png",
          "render --frames /nonexistent --every 2"}) {
        Outcome r = telvor(args);
        EXPECT_EQ(r.code, 2) << args;
        EXPECT_EQ(r.out, "") << args;
    }
}

} // namespace
