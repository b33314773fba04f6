// Tests of the observation library: the CSV reader, the log's schema and version, the scores on
// records whose right answers are worked out by hand, and the picture's curves.
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "obslog/log.h"
#include "obslog/plot.h"
#include "obslog/score.h"

using namespace obslog;

namespace {

std::string scratch(const std::string &name) {
    static int n = 0;
    return testing::TempDir() + "obslog_" + std::to_string(getpid()) + "_" + std::to_string(++n) +
           "_" + name;
}

void sql(const std::string &path, const char *statements) {
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    char *message = nullptr;
    EXPECT_EQ(sqlite3_exec(db, statements, nullptr, nullptr, &message), SQLITE_OK)
        << (message ? message : "");
    sqlite3_free(message);
    sqlite3_close(db);
}

Observation record(const char *date, double lat, double lon, Result r) {
    Observation o;
    o.date = {std::atoi(date), std::atoi(date + 5), std::atoi(date + 8)};
    o.place = {lat, lon, 0};
    o.result = r;
    return o;
}

} // namespace

// ---- CSV ------------------------------------------------------------------------------------

TEST(ObslogCsv, ReadsEveryColumnQuotedFieldsAndLineEnds) {
    const std::string text = "\xef\xbb\xbf"
                             "date,lat,lon,height,time,zone,result,sky,observer,note\r\n"
                             "2024-03-11,21.4225,39.8262,300,18:52,180,naked-eye,clear,\"Ali, M.\","
                             "\"said \"\"thin\"\"\nlow\"\r\n"
                             "\n"
                             "2024-03-10, -33.9 ,18.4,,,,not-seen,,,\n";
    const CsvContent c = parseCsv(text);
    ASSERT_TRUE(c.errors.empty()) << c.errors[0].line << ": " << c.errors[0].reason;
    ASSERT_EQ(c.records.size(), 2u);
    const Observation &a = c.records[0];
    EXPECT_EQ(a.date.year, 2024);
    EXPECT_EQ(a.date.day, 11);
    EXPECT_DOUBLE_EQ(a.place.latitude, 21.4225);
    EXPECT_DOUBLE_EQ(a.place.height, 300);
    EXPECT_EQ(a.minute, 18 * 60 + 52);
    EXPECT_TRUE(a.zoneKnown);
    EXPECT_EQ(a.zone, 180);
    EXPECT_EQ(a.result, Result::NakedEye);
    EXPECT_EQ(a.sky, Sky::Clear);
    EXPECT_EQ(a.observer, "Ali, M.");
    EXPECT_EQ(a.note, "said \"thin\"\nlow");
    const Observation &b = c.records[1];
    EXPECT_DOUBLE_EQ(b.place.latitude, -33.9);
    EXPECT_EQ(b.minute, -1);
    EXPECT_FALSE(b.zoneKnown);
    EXPECT_EQ(b.sky, Sky::Unknown);
    // Line numbers count physical lines: the quoted line break, the blank line.
    EXPECT_EQ(c.lines[0], 2);
    EXPECT_EQ(c.lines[1], 5);
}

TEST(ObslogCsv, EveryBadLineIsReportedWithItsNumber) {
    const std::string text = "result,date,lat,lon\n"
                             "naked-eye,2024-03-11,21.4,39.8\n"   // 2 good
                             "seen,2024-03-11,21.4,39.8\n"        // 3 unknown result
                             "not-seen,2023-02-29,21.4,39.8\n"    // 4 no such day
                             "not-seen,2024-03-11,91,39.8\n"      // 5 latitude out of range
                             "not-seen,2024-03-11,21.4\n"         // 6 a field missing
                             "not-seen,2024-03-11,21.4,nan\n"     // 7 not a number
                             "camera,2024-03-11,21.4,-39.8\n"     // 8 good
                             "\"not-seen,2024-03-11,21.4,39.8\n"; // 9 unclosed quote
    const CsvContent c = parseCsv(text);
    ASSERT_EQ(c.errors.size(), 6u);
    const int lines[] = {3, 4, 5, 6, 7, 9};
    for (size_t i = 0; i < 6; ++i)
        EXPECT_EQ(c.errors[i].line, lines[i]) << c.errors[i].reason;
    EXPECT_NE(c.errors[0].reason.find("result"), std::string::npos);
    EXPECT_NE(c.errors[3].reason.find("3 fields"), std::string::npos) << c.errors[3].reason;
    ASSERT_EQ(c.records.size(), 2u);
    EXPECT_EQ(c.lines[1], 8);
}

TEST(ObslogCsv, BadHeadersAreOneError) {
    for (const char *text : {"", "date,lat,lon\n", "date,lat,lon,result,colour\n1,2,3,4,5\n",
                             "date,lat,lat,lon,result\n"}) {
        const CsvContent c = parseCsv(text);
        ASSERT_EQ(c.errors.size(), 1u) << text;
        EXPECT_EQ(c.errors[0].line, 1) << text;
        EXPECT_TRUE(c.records.empty());
    }
}

TEST(ObslogCsv, WrittenRowsReadBackTheSame) {
    Observation o = record("2031-12-15", -12.5, 130.25, Result::Binoculars);
    o.place.height = 12.5;
    o.minute = 5;
    o.zone = -330, o.zoneKnown = true;
    o.sky = Sky::PartlyCloudy;
    o.observer = " leading blank";
    o.note = "a, \"b\"\r\nc";
    const CsvContent c = parseCsv(csvHeader() + csvLine(o));
    ASSERT_TRUE(c.errors.empty()) << c.errors[0].reason;
    const Observation &r = c.records.at(0);
    EXPECT_EQ(csvLine(r), csvLine(o));
    EXPECT_EQ(r.note, o.note);
    EXPECT_EQ(r.observer, o.observer);
}

TEST(ObslogCsv, TextsMustBeUtf8) {
    EXPECT_EQ(parseCsv("date,lat,lon,result,note\n2024-03-11,1,2,camera,caf\xe9\n").errors.size(),
              1u);
    EXPECT_TRUE(
        parseCsv("date,lat,lon,result,note\n2024-03-11,1,2,camera,caf\xc3\xa9\n").errors.empty());
}

// ---- The log ----------------------------------------------------------------------------------

TEST(ObslogLog, NewLogHasTheSchemaVersionAndItsMark) {
    const std::string path = scratch("new.sqlite");
    {
        Log log;
        ASSERT_EQ(log.open(path, Log::Mode::Write), "");
        std::vector<Observation> r = {record("2024-03-11", 21.4, 39.8, Result::NakedEye),
                                      record("2024-03-10", 21.4, 39.8, Result::NotSeen)};
        r[1].note = "cloud\nbank";
        ASSERT_EQ(log.insert(r), "");
        EXPECT_EQ(r[0].id, 1);
        EXPECT_EQ(r[1].id, 2);
    }
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &st, nullptr);
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(st, 0), kSchemaVersion);
    sqlite3_finalize(st);
    sqlite3_prepare_v2(db, "PRAGMA application_id", -1, &st, nullptr);
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(st, 0), kApplicationId);
    sqlite3_finalize(st);
    sqlite3_close(db);
    Log log;
    ASSERT_EQ(log.open(path, Log::Mode::Read), "");
    std::vector<Observation> back;
    ASSERT_EQ(log.list(back), "");
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[1].note, "cloud\nbank");
    EXPECT_EQ(back[0].result, Result::NakedEye);
}

// The files open in this process under `path`'s name.
int openFilesNamed(const std::string &path) {
    int n = 0;
    char target[4096];
    for (int fd = 0; fd < 1024; ++fd) {
        const std::string link = "/proc/self/fd/" + std::to_string(fd);
        const ssize_t got = readlink(link.c_str(), target, sizeof target - 1);
        if (got > 0 && std::string(target, static_cast<size_t>(got)) == path) ++n;
    }
    return n;
}

// Creating a log opens it again to check what is there: one connection stays, not two.
TEST(ObslogLog, ANewLogIsOpenOnce) {
    char real[4096];
    ASSERT_NE(realpath(testing::TempDir().c_str(), real), nullptr);
    const std::string path =
        std::string(real) + "/obslog_once_" + std::to_string(getpid()) + ".sqlite";
    std::remove(path.c_str());
    {
        Log log;
        ASSERT_EQ(log.open(path, Log::Mode::Write), "");
        EXPECT_EQ(openFilesNamed(path), 1);
        ASSERT_EQ(log.open(path, Log::Mode::Read), ""); // a second open replaces the first
        EXPECT_EQ(openFilesNamed(path), 1);
    }
    EXPECT_EQ(openFilesNamed(path), 0);
    std::remove(path.c_str());
}

TEST(ObslogLog, RefusesNewerForeignAndNonDatabases) {
    const std::string newer = scratch("newer.sqlite");
    {
        Log log;
        ASSERT_EQ(log.open(newer, Log::Mode::Write), "");
    }
    sql(newer, "PRAGMA user_version = 2");
    const std::string foreign = scratch("foreign.sqlite");
    sql(foreign, "CREATE TABLE t (x); PRAGMA user_version = 1");
    const std::string marked = scratch("marked.sqlite");
    sql(marked, "CREATE TABLE t (x); PRAGMA application_id = 1347571278");
    const std::string text = scratch("text.sqlite");
    std::ofstream(text) << "date,lat,lon,result\n2024-03-11,1,2,camera\nmore text to fill a page";
    const std::string folder = scratch("folder");
    mkdir(folder.c_str(), 0700);
    struct Case {
        std::string path, words;
    } cases[] = {{newer, "newer"},
                 {foreign, "another program"},
                 {marked, "another program"},
                 {text, "not an SQLite database"},
                 {folder, "folder"},
                 {scratch("missing.sqlite"), "no observation log"}};
    for (const Case &c : cases)
        for (Log::Mode mode : {Log::Mode::Read, Log::Mode::Write}) {
            if (c.words == "no observation log" && mode == Log::Mode::Write) continue;
            Log log;
            const std::string error = log.open(c.path, mode);
            EXPECT_NE(error.find(c.words), std::string::npos) << c.path << ": " << error;
            EXPECT_EQ(error.find('\n'), std::string::npos);
        }
    // The refused newer log is left alone.
    Log check;
    sqlite3 *db = nullptr;
    sqlite3_open(newer.c_str(), &db);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &st, nullptr);
    sqlite3_step(st);
    EXPECT_EQ(sqlite3_column_int(st, 0), 2);
    sqlite3_finalize(st);
    sqlite3_close(db);
}

TEST(ObslogLog, AFailingInsertWritesNothing) {
    const std::string path = scratch("fail.sqlite");
    Log log;
    ASSERT_EQ(log.open(path, Log::Mode::Write), "");
    std::vector<Observation> r = {record("2024-03-11", 21.4, 39.8, Result::NakedEye),
                                  record("2024-03-11", 21.4, 39.8, Result::NakedEye)};
    r[1].place.latitude = 95; // refused before the transaction
    EXPECT_NE(log.insert(r), "");
    // A row the schema refuses inside the transaction: the first one goes too.
    sql(path, "CREATE TRIGGER t BEFORE INSERT ON observations WHEN NEW.observer = 'x' "
              "BEGIN SELECT RAISE(ABORT, 'refused'); END");
    r[1].place.latitude = 20;
    r[1].observer = "x";
    EXPECT_NE(log.insert(r).find("refused"), std::string::npos);
    std::vector<Observation> back;
    ASSERT_EQ(log.list(back), "");
    EXPECT_TRUE(back.empty());
}

// ---- Scores ---------------------------------------------------------------------------------

namespace {

// An evening with a crescent of the given quantities; the classes as the almanac gives them.
Evaluation crescent(double q, double V, int code) {
    Evaluation e;
    e.sighting.hasCrescent = true;
    e.sighting.crescent.q = q;
    e.sighting.crescent.yallopClass = almanac::yallopClass(q);
    e.sighting.crescent.V = V;
    e.sighting.crescent.odehZone = almanac::odehZone(V);
    e.saverCode = code;
    return e;
}

Evaluation noCrescent(almanac::EveningState state) {
    Evaluation e;
    e.sighting.evening.state = state;
    return e;
}

} // namespace

// Eight records whose tables are counted by hand:
//   #  result      q       class  V      zone  code  | naked eye: seen Y O T | optical: seen Y O T
//   1  naked-eye   0.50    A      7.0    A     100   |            1    1 1 1 |          1    1 1 1
//   2  naked-eye   0.10    B      3.0    B     100   |            1    1 0 1 |          1    1 1 1
//   3  binoculars -0.10    C      1.0    C     0     |            0    0 0 0 |          1    1 1 0
//   4  telescope  -0.25    E     -1.5    D     0     |            0    0 0 0 |          1    0 0 0
//   5  not-seen    0.00    B      6.0    A     100   |            0    1 1 1 |          0    1 1 1
//   6  not-seen   -0.20    D      0.5    C     -100  |            0    0 0 0 |          0    1 1 0
//   7  naked-eye   (the Moon sets first)             |            1    0 0 0 |          1    0 0 0
//   8  not-seen    (no sunset)                       |            0    0 0 0 |          0    0 0 0
TEST(ObslogScore, ConstructedRecordsGiveTheHandCountedTables) {
    const Result results[] = {Result::NakedEye,  Result::NakedEye, Result::Binoculars,
                              Result::Telescope, Result::NotSeen,  Result::NotSeen,
                              Result::NakedEye,  Result::NotSeen};
    std::vector<Observation> records;
    for (Result r : results)
        records.push_back(record("2024-03-11", 0, 0, r));
    const std::vector<Evaluation> e = {crescent(0.50, 7.0, 100),
                                       crescent(0.10, 3.0, 100),
                                       crescent(-0.10, 1.0, 0),
                                       crescent(-0.25, -1.5, 0),
                                       crescent(0.00, 6.0, 100),
                                       crescent(-0.20, 0.5, -100),
                                       noCrescent(almanac::EveningState::MoonSetsFirst),
                                       noCrescent(almanac::EveningState::NoSunset)};
    struct Expected {
        const char *rule;
        Aid aid;
        long a, b, c, d; // seen&predicted, predicted-not-seen, seen-not-predicted, neither
    } expected[] = {
        {"yallop", Aid::NakedEye, 2, 1, 1, 4}, {"odeh", Aid::NakedEye, 1, 1, 2, 4},
        {"telvor", Aid::NakedEye, 2, 1, 1, 4}, {"yallop", Aid::Optical, 3, 2, 2, 1},
        {"odeh", Aid::Optical, 3, 2, 2, 1},    {"telvor", Aid::Optical, 2, 1, 3, 2},
    };
    for (const Expected &x : expected) {
        const CriterionScore s = score(*findCriterion(x.rule), records, e, x.aid, 10);
        const std::string name = std::string(x.rule) + (x.aid == Aid::NakedEye ? " eye" : " aid");
        EXPECT_EQ(s.table.seenPredicted, x.a) << name;
        EXPECT_EQ(s.table.predictedNotSeen, x.b) << name;
        EXPECT_EQ(s.table.seenNotPredicted, x.c) << name;
        EXPECT_EQ(s.table.neither, x.d) << name;
        EXPECT_EQ(s.worst.size(), static_cast<size_t>(x.b + x.c)) << name;
    }
    // Yallop's classes with the naked eye: A 1 (1 seen), B 2 (1), C 1, D 1, E 1, F 0, none 2 (1).
    const CriterionScore y = score(*findCriterion("yallop"), records, e, Aid::NakedEye, 3);
    const long counts[][2] = {{1, 1}, {2, 1}, {1, 0}, {1, 0}, {1, 0}, {0, 0}, {2, 1}};
    ASSERT_EQ(y.classes.size(), 7u);
    for (size_t k = 0; k < 7; ++k) {
        EXPECT_EQ(y.classes[k].records, counts[k][0]) << k;
        EXPECT_EQ(y.classes[k].seen, counts[k][1]) << k;
    }
    // The wrong calls, worst first: record 7 (seen though the Moon set first, no margin at all),
    // then record 5 (predicted at q 0, 0.014 inside the call, and not seen).
    ASSERT_EQ(y.worst.size(), 2u);
    EXPECT_EQ(y.worst[0], 6u);
    EXPECT_EQ(y.worst[1], 4u);
}

// Wilks (2011), section 8.2.2, worked with the Finley tornado forecasts (a 28, b 72, c 23,
// d 2680): PC 0.966, H 0.549, FAR 0.720, F 0.0262, B 1.96, CSI 0.228, HSS 0.355, PSS 0.523.
TEST(ObslogScore, FinleyTableGivesWilksFigures) {
    Contingency t;
    t.seenPredicted = 28, t.predictedNotSeen = 72, t.seenNotPredicted = 23, t.neither = 2680;
    const Scores s = scoresOf(t);
    EXPECT_NEAR(s.agreement, 0.966, 0.0005);
    EXPECT_NEAR(s.hitRate, 0.549, 0.0005);
    EXPECT_NEAR(s.falseAlarmRatio, 0.720, 0.0005);
    EXPECT_NEAR(s.falseAlarmRate, 0.0262, 0.00005);
    EXPECT_NEAR(s.bias, 1.96, 0.005);
    EXPECT_NEAR(s.criticalSuccess, 0.228, 0.0005);
    EXPECT_NEAR(s.heidke, 0.355, 0.0005);
    EXPECT_NEAR(s.peirce, 0.523, 0.0005);
    const Scores none = scoresOf(Contingency{});
    EXPECT_TRUE(std::isnan(none.agreement));
    EXPECT_TRUE(std::isnan(none.heidke));
}

// Real evenings through the almanac, with answers known from the sky: at Mecca the evening of
// 9 March 2024, before the new moon of 10 March, the Moon set before the Sun (not predicted by
// any criterion); the evening of 11 March the crescent was easy (class A, zone A). Records of
// different dates and places are interleaved, so each must get its own date's table.
TEST(ObslogScore, EvaluationSharesTablesAndAgreesWithTheAlmanac) {
    std::vector<Observation> r = {record("2024-03-09", 21.4225, 39.8262, Result::NotSeen),
                                  record("2024-03-11", 21.4225, 39.8262, Result::NakedEye),
                                  record("2024-03-09", -33.92, 18.42, Result::NotSeen),
                                  record("2024-03-11", 51.5, -0.1, Result::NakedEye)};
    int calls = 0;
    const SaverTest saver = [&](const almanac::Place &, double, int p) {
        ++calls;
        return p == 50 ? 100 : 0;
    };
    const std::vector<Evaluation> e = evaluateAll(r, 50, saver, 1);
    ASSERT_EQ(e.size(), r.size());
    for (size_t i = 0; i < r.size(); ++i) {
        const almanac::Sighting s = almanac::sighting(r[i].place, r[i].date);
        EXPECT_EQ(e[i].sighting.hasCrescent, s.hasCrescent) << i;
        // The same code path, exactly (NaN where there is no crescent).
        auto same = [](double x, double y) { return x == y || (std::isnan(x) && std::isnan(y)); };
        EXPECT_TRUE(same(e[i].sighting.bestTime, s.bestTime)) << i;
        EXPECT_TRUE(same(e[i].sighting.crescent.q, s.crescent.q)) << i;
    }
    EXPECT_FALSE(e[0].sighting.hasCrescent);
    EXPECT_EQ(e[1].sighting.crescent.yallopClass, 'A');
    EXPECT_EQ(e[1].sighting.crescent.odehZone, 'A');
    EXPECT_EQ(e[1].saverCode, 100);
    EXPECT_EQ(e[0].saverCode, 0); // no crescent, no test
    const int withCrescent = calls;
    const std::vector<Contingency> sweep = sweepSaver(r, e, Aid::NakedEye, saver);
    EXPECT_EQ(calls - withCrescent, 99 * withCrescent);
    EXPECT_EQ(sweep[49].seenPredicted, e[3].sighting.hasCrescent ? 2 : 1);
    EXPECT_EQ(sweep[0].seenPredicted, 0);
}

// The shared tables (a run of dates each built from the one before, one evaluation per place
// and date) score exactly as a fresh table per record does: the same tables, classes and worst
// calls for every criterion, the quantities within 1e-9 of their units.
TEST(ObslogScore, SharedTablesScoreAsFreshOnes) {
    const char *dates[] = {"2000-01-06", "2000-01-07", "2000-01-08", "2000-01-10",
                           "2000-01-13", "2000-02-05", "2000-02-06", "2000-07-01"};
    const double places[][2] = {{21.4225, 39.8262}, {-33.92, 18.42}, {51.5, -0.1},
                                {35.0, -118.0},     {-7.8, 110.4},   {21.4225, 39.8262}};
    std::vector<Observation> r;
    int k = 0;
    for (const char *d : dates)
        for (const auto &p : places)
            r.push_back(record(d, p[0], p[1], ++k % 3 ? Result::NotSeen : Result::NakedEye));
    const SaverTest saver = [](const almanac::Place &p, double jd, int probability) {
        return std::fmod(jd * 1000 + p.latitude, 100) < probability ? 100 : 0;
    };
    const std::vector<Evaluation> shared = evaluateAll(r, 50, saver, 2);
    std::vector<Evaluation> fresh(r.size());
    for (size_t i = 0; i < r.size(); ++i) {
        fresh[i].sighting = almanac::sighting(r[i].place, r[i].date);
        if (fresh[i].sighting.hasCrescent)
            fresh[i].saverCode = saver(r[i].place, fresh[i].sighting.bestTime, 50);
        const almanac::EveningTable table(r[i].date);
        for (size_t k = 0; k < kCalendarRuleCount; ++k)
            fresh[i].calendar[k] =
                judgePlace(scoredPhase(kCalendarRules[k]), table, almanac::observerOf(r[i].place),
                           fresh[i].sighting.evening);
    }
    auto near = [](double x, double y, double tolerance) {
        return std::fabs(x - y) <= tolerance || (std::isnan(x) && std::isnan(y));
    };
    for (size_t i = 0; i < r.size(); ++i) {
        const almanac::Sighting &a = shared[i].sighting, &b = fresh[i].sighting;
        const std::string name = "record " + std::to_string(i);
        EXPECT_EQ(a.evening.state, b.evening.state) << name;
        EXPECT_TRUE(near(a.evening.sunset, b.evening.sunset, 1e-9)) << name;
        EXPECT_TRUE(near(a.evening.moonset, b.evening.moonset, 1e-9)) << name;
        EXPECT_TRUE(near(a.conjunction, b.conjunction, 1e-6)) << name; // days
        EXPECT_TRUE(near(a.crescent.q, b.crescent.q, 1e-9)) << name;
        EXPECT_TRUE(near(a.crescent.V, b.crescent.V, 1e-9)) << name;
        EXPECT_EQ(shared[i].saverCode, fresh[i].saverCode) << name;
        for (size_t k = 0; k < kCalendarRuleCount; ++k) {
            EXPECT_EQ(shared[i].calendar[k].counts, fresh[i].calendar[k].counts) << name;
            EXPECT_TRUE(near(shared[i].calendar[k].margin, fresh[i].calendar[k].margin, 1e-4))
                << name << " " << monthRuleName(kCalendarRules[k]);
        }
    }
    for (const CriterionRule &rule : criteria())
        for (Aid aid : {Aid::NakedEye, Aid::Optical}) {
            const std::string name =
                std::string(rule.name) + (aid == Aid::NakedEye ? " eye" : " aid");
            const CriterionScore a = score(rule, r, shared, aid, 20),
                                 b = score(rule, r, fresh, aid, 20);
            EXPECT_EQ(a.table.seenPredicted, b.table.seenPredicted) << name;
            EXPECT_EQ(a.table.predictedNotSeen, b.table.predictedNotSeen) << name;
            EXPECT_EQ(a.table.seenNotPredicted, b.table.seenNotPredicted) << name;
            EXPECT_EQ(a.table.neither, b.table.neither) << name;
            ASSERT_EQ(a.classes.size(), b.classes.size()) << name;
            for (size_t c = 0; c < a.classes.size(); ++c)
                EXPECT_EQ(a.classes[c].records, b.classes[c].records) << name << " class " << c;
            EXPECT_EQ(a.worst, b.worst) << name;
        }
}

// The calendar rules scored at each record's own place and evening, against the quantities
// worked out here from the almanac's sky at sunset: MABIMS's 2021 criterion, altitude >= 3 deg
// (topocentric, refracted) and elongation >= 6.4 deg (geocentric) (MABIMS, agreement of 2021,
// Rekomendasi Jakarta 2017); the Istanbul 2016 criterion as KHGT measures it, altitude >= 5 deg
// and elongation >= 8 deg, both geocentric (Pedoman KHGT, Muhammadiyah 2024), and as Diyanet
// does, both topocentric and the altitude refracted; wujudul hilal, the conjunction before
// sunset and the Moon's upper limb above the horizon then (Pedoman Hisab Muhammadiyah, 2009).
// A grid of places on four evenings about two new moons holds records on either side of each
// threshold; every call must follow its own conditions, for either aid.
TEST(ObslogScore, CalendarRulesCallByTheirThresholdsAtThePlace) {
    std::vector<Observation> r;
    for (const char *d : {"2024-03-10", "2024-03-11", "2024-04-08", "2024-04-09"})
        for (int lat = -50; lat <= 50; lat += 5)
            for (int lon = -180; lon < 180; lon += 10)
                r.push_back(record(d, lat, lon, Result::NakedEye));
    const std::vector<Evaluation> e = evaluateAll(r, 50, SaverTest{}, 2);
    std::map<int, almanac::EveningTable> tables; // by day of the year's months
    for (const Observation &o : r)
        tables.try_emplace(o.date.month * 100 + o.date.day, o.date);
    struct Rule {
        const char *name;
        double altitude, elongation;
        bool topocentric, refracted, elongationTopocentric; // how the two are measured
        bool wujudul;
    } rules[] = {{"mabims", 3, 6.4, true, true, false, false},
                 {"khgt", 5, 8, false, false, false, false},
                 {"diyanet", 5, 8, true, true, true, false},
                 {"wujudul-hilal", 0, 0, false, false, false, true}};
    constexpr double d2r = 3.141592653589793 / 180;
    for (const Rule &x : rules) {
        const CriterionRule *rule = findCriterion(x.name);
        ASSERT_NE(rule, nullptr) << x.name;
        int below[2] = {0, 0}, above[2] = {0, 0}; // near the altitude's / elongation's (or lag's
                                                  // and conjunction's) threshold
        for (size_t i = 0; i < r.size(); ++i) {
            const almanac::Evening &ev = e[i].sighting.evening;
            const std::string name = std::string(x.name) + " record " + std::to_string(i);
            if (std::isnan(ev.sunset)) {
                EXPECT_FALSE(rule->predicts(e[i], Aid::NakedEye)) << name;
                continue;
            }
            const almanac::EveningTable &table = tables.at(r[i].date.month * 100 + r[i].date.day);
            const almanac::Observer o = almanac::observerOf(r[i].place);
            const double before = table.conjunctionBefore(ev.sunset),
                         after = table.conjunctionAfter(ev.sunset);
            const double conj = after - ev.sunset < ev.sunset - before ? after : before;
            const double ageHours = (ev.sunset - conj) * 24;
            bool expected = false;
            double m1 = 0, m2 = 0; // the two margins watched
            if (x.wujudul) {
                const bool sets = ev.state == almanac::EveningState::Ok ||
                                  ev.state == almanac::EveningState::NoMoonset;
                expected = ageHours > 0 && sets;
                m1 = ageHours > 0 ? (sets ? 1 : -1) * std::fabs(ev.lagMinutes) / 60 : 99;
                m2 = sets ? ageHours : 99;
            } else {
                const almanac::Geocentric g = table.at(ev.sunset);
                const almanac::Sky sky = almanac::skyAt(g, o);
                double alt =
                    x.topocentric ? sky.moonTopocentric.altitude : sky.moonGeocentric.altitude;
                if (x.refracted) alt += almanac::refraction(alt);
                double elong;
                if (x.elongationTopocentric) {
                    const almanac::Horizontal &s = sky.sunTopocentric, &m = sky.moonTopocentric;
                    elong = std::acos(std::sin(s.altitude * d2r) * std::sin(m.altitude * d2r) +
                                      std::cos(s.altitude * d2r) * std::cos(m.altitude * d2r) *
                                          std::cos((s.azimuth - m.azimuth) * d2r)) /
                            d2r;
                } else {
                    const auto &a = g.sun, &b = g.moon;
                    elong = std::acos((a[0] * b[0] + a[1] * b[1] + a[2] * b[2]) /
                                      std::sqrt((a[0] * a[0] + a[1] * a[1] + a[2] * a[2]) *
                                                (b[0] * b[0] + b[1] * b[1] + b[2] * b[2]))) /
                            d2r;
                }
                m1 = elong >= x.elongation && ageHours > 0 ? alt - x.altitude : 99;
                m2 = alt >= x.altitude && ageHours > 0 ? elong - x.elongation : 99;
                expected = ageHours > 0 && alt >= x.altitude && elong >= x.elongation;
                if (std::fabs(alt - x.altitude) < 1e-6 || std::fabs(elong - x.elongation) < 1e-6)
                    continue; // on the threshold itself to rounding: either call is right
            }
            EXPECT_EQ(rule->predicts(e[i], Aid::NakedEye), expected) << name;
            EXPECT_EQ(rule->predicts(e[i], Aid::Optical), expected) << name;
            for (int k = 0; k < 2; ++k) {
                const double m = k == 0 ? m1 : m2;
                if (m > -0.5 && m < 0) ++below[k];
                if (m >= 0 && m < 0.5) ++above[k];
            }
        }
        for (int k = 0; k < 2; ++k) {
            EXPECT_GT(below[k], 0) << x.name << " condition " << k << " just missed";
            EXPECT_GT(above[k], 0) << x.name << " condition " << k << " just met";
        }
    }
    // The thresholds are the calendar's own table's.
    EXPECT_EQ(scoredPhase(MonthRule::Mabims).minAltitude, 3);
    EXPECT_EQ(scoredPhase(MonthRule::Mabims).minElongation, 6.4);
    EXPECT_EQ(scoredPhase(MonthRule::Khgt).minAltitude, 5);
    EXPECT_EQ(scoredPhase(MonthRule::Khgt).minElongation, 8);
}

// ---- The picture ------------------------------------------------------------------------------

// Yallop's q = 0 passes ARCV 11.8371 at W 0 and 11.8371 - 6.3226 + 0.7319 - 0.1018 = 6.1446
// at W 1'; Odeh's V = 0 passes 7.1651 and 1.4726 (their papers' cubic).
TEST(ObslogPlot, CurvesPassTheirKnownPoints) {
    EXPECT_NEAR(yallopArcv(0, 0), 11.8371, 1e-12);
    EXPECT_NEAR(yallopArcv(0, 1), 6.1446, 1e-12);
    EXPECT_NEAR(yallopArcv(-0.014, 0.5), 11.8371 - 0.14 - 3.1613 + 0.182975 - 0.012725, 1e-12);
    EXPECT_NEAR(odehArcv(0, 1), 1.4726, 1e-12);
    EXPECT_NEAR(odehArcv(5.65, 0), 12.8151, 1e-12);
    EXPECT_NEAR(almanac::yallopQ(yallopArcv(0.216, 0.7), 0.7), 0.216, 1e-12);
    EXPECT_NEAR(almanac::odehV(odehArcv(-0.96, 0.3), 0.3), -0.96, 1e-12);

    const std::vector<PlotPoint> points = {{0.3, 10, true}, {0.9, 4, false}};
    const PlotFrame f = plotFrame(points);
    const CriterionRule *rules[] = {findCriterion("yallop"), findCriterion("odeh")};
    const Picture p = drawPlot(points, rules, Aid::NakedEye, f, "test");
    auto near = [&](double w, double arcv, uint32_t colour) {
        const int x = f.x(w), y = f.y(arcv);
        for (int dy = -2; dy <= 2; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (p.inside(x + dx, y + dy) && p.at(x + dx, y + dy) == colour) return true;
        return false;
    };
    // The naked-eye calls (q = -0.014, V = 5.65) and the other limits, at W 0.25' and 1.25'.
    for (double w : {0.25, 1.25}) {
        for (double q : kYallopLimits)
            EXPECT_TRUE(near(w, yallopArcv(q, w), curveColour(0))) << "q " << q << " W " << w;
        for (double v : kOdehLimits)
            if (odehArcv(v, w) > f.arcvMin) { // V = -0.96 leaves the plane below ARCV 0 at 1.25'
                EXPECT_TRUE(near(w, odehArcv(v, w), curveColour(1))) << "V " << v << " W " << w;
            }
    }
    // Not where no curve is: ARCV 19 at W 1.4 lies above every curve.
    EXPECT_FALSE(near(1.4, 19, curveColour(0)));
    // The marks: seen filled, not seen ringed.
    EXPECT_EQ(p.at(f.x(0.3), f.y(10)), kSeenColour);
    EXPECT_EQ(p.at(f.x(0.9), f.y(4)), 0xffffffu);
    EXPECT_EQ(p.at(f.x(0.9) + 4, f.y(4)), kNotSeenColour);
}

// The call's limit is the heavier curve for the aid scored: with optical aid Yallop's D/E limit
// (q = -0.232) and Odeh's C/D limit (V = -0.96), with the naked eye q = -0.014 and V = 5.65.
TEST(ObslogPlot, TheCallsLimitIsDrawnHeavier) {
    const std::vector<PlotPoint> none;
    const PlotFrame f = plotFrame(none);
    const CriterionRule *rules[] = {findCriterion("yallop"), findCriterion("odeh")};
    for (Aid aid : {Aid::NakedEye, Aid::Optical}) {
        const Picture p = drawPlot(none, rules, aid, f, "test");
        // Rows of the criterion's colour in the column of W 0.5' within 4 pixels of the curve.
        auto thickness = [&](double arcv, uint32_t colour) {
            int n = 0;
            for (int dy = -4; dy <= 4; ++dy)
                if (p.at(f.x(0.5), f.y(arcv) + dy) == colour) ++n;
            return n;
        };
        for (double q : kYallopLimits) {
            const bool call = q == (aid == Aid::NakedEye ? -0.014 : -0.232);
            const int t = thickness(yallopArcv(q, 0.5), curveColour(0));
            EXPECT_TRUE(call ? t >= 3 : (t >= 1 && t <= 2)) << "q " << q << " thickness " << t;
        }
        for (double v : kOdehLimits) {
            const bool call = v == (aid == Aid::NakedEye ? 5.65 : -0.96);
            const int t = thickness(odehArcv(v, 0.5), curveColour(1));
            EXPECT_TRUE(call ? t >= 3 : (t >= 1 && t <= 2)) << "V " << v << " thickness " << t;
        }
    }
}

TEST(ObslogPlot, FrameHoldsThePoints) {
    const PlotFrame small = plotFrame({});
    EXPECT_EQ(small.wMax, 1.5);
    EXPECT_EQ(small.arcvMax, 20);
    const std::vector<PlotPoint> wide = {{2.1, 31, true}, {0.1, -3, false}, {40, 500, false}};
    const PlotFrame f = plotFrame(wide);
    EXPECT_EQ(f.wMax, 5.0);
    EXPECT_EQ(f.arcvMax, 60);
    EXPECT_EQ(f.arcvMin, -5);
    EXPECT_EQ(f.x(f.wMin), f.left);
    EXPECT_EQ(f.y(f.arcvMin), f.height - f.bottom);
}
