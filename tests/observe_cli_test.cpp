// Tests of telvor observe and telvor score as separate processes: recording, listing, importing
// (bad lines by number), the log surviving a kill at any moment, and the scores' output.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sqlite3.h>

extern char **environ;

namespace {

struct Outcome {
    int code;
    std::string out, err;
};

std::string slurp(const std::string &path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

std::string scratchFolder() {
    std::string tmpl = testing::TempDir() + "telvor_observe_XXXXXX";
    return mkdtemp(tmpl.data()) ? tmpl : testing::TempDir();
}

// Runs `env <environment> telvor <args>` through the shell.
Outcome run(const std::string &args, const std::string &environment = "") {
    static int calls = 0;
    const std::string base = testing::TempDir() + "telvor_observe_" + std::to_string(getpid()) +
                             "_" + std::to_string(++calls) + "_";
    const std::string out = base + "out", err = base + "err";
    const std::string cmd = "env TZ=UTC0 " + environment + " " + TELVOR_BIN + " " + args +
                            " </dev/null >" + out + " 2>" + err;
    const int status = std::system(cmd.c_str());
    Outcome r{WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(out), slurp(err)};
    std::remove(out.c_str());
    std::remove(err.c_str());
    return r;
}

// The number of records in a log, -1 when it has no table (a log never created), -2 when the
// database is damaged. Opening it rolls back what a killed writer left half done.
long recordsIn(const std::string &path) {
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return -1;
    }
    long count = -1;
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr) == SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW &&
        std::string(reinterpret_cast<const char *>(sqlite3_column_text(st, 0))) != "ok")
        count = -2;
    sqlite3_finalize(st);
    if (count != -2 &&
        sqlite3_prepare_v2(db, "SELECT count(*) FROM observations", -1, &st, nullptr) ==
            SQLITE_OK &&
        sqlite3_step(st) == SQLITE_ROW)
        count = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    sqlite3_close(db);
    return count;
}

// Starts telvor with `args`, output discarded; returns its pid.
pid_t start(const std::vector<std::string> &args) {
    std::vector<char *> argv;
    std::string bin = TELVOR_BIN;
    argv.push_back(bin.data());
    std::vector<std::string> copy = args;
    for (std::string &a : copy)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    posix_spawn(&pid, bin.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Runs the command to its end and returns how long it took.
double fullRun(const std::vector<std::string> &args) {
    const auto t0 = std::chrono::steady_clock::now();
    int status = 0;
    waitpid(start(args), &status, 0);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Kills the command after a random moment within 1.2 times its full run, `rounds` times; after
// each kill the log must hold either what it held before or that plus `added` records, and be
// whole. With `someInside`, at least one kill must have left a journal (a transaction cut).
void killAtRandom(const std::string &db, const std::vector<std::string> &args, long added,
                  int rounds, unsigned seed, bool someInside) {
    const double full = fullRun(args); // also makes the log, so rounds start from a log
    long before = recordsIn(db);
    ASSERT_GE(before, added);
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> moment(0, 1.2 * full);
    int interrupted = 0, rolledBack = 0, inTransaction = 0;
    for (int round = 0; round < rounds; ++round) {
        const pid_t pid = start(args);
        std::this_thread::sleep_for(std::chrono::duration<double>(moment(random)));
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        if (WIFSIGNALED(status)) ++interrupted;
        // A journal left behind: the kill landed inside the write transaction.
        struct stat journal {};
        if (stat((db + "-journal").c_str(), &journal) == 0 && journal.st_size > 0) ++inTransaction;
        const long now = recordsIn(db);
        ASSERT_TRUE(now == before || now == before + added)
            << "round " << round << ": " << before << " records before, " << now << " after";
        if (WIFSIGNALED(status) && now == before) ++rolledBack;
        before = now;
    }
    // Kills land at every stage: before the log is touched, inside the transaction, after it.
    testing::Test::RecordProperty("killed", interrupted);
    testing::Test::RecordProperty("killedBeforeTheCommit", rolledBack);
    testing::Test::RecordProperty("killedInsideTheTransaction", inTransaction);
    std::printf("%d of %d kills before the end, %d inside the transaction\n", interrupted, rounds,
                inTransaction);
    EXPECT_GE(interrupted, rounds / 4) << "too few kills landed before the end";
    if (someInside) {
        EXPECT_GT(inTransaction, 0) << "no kill landed inside the transaction";
    }
    const Outcome list = run("observe --list --format csv --db " + db);
    EXPECT_EQ(list.code, 0) << list.err;
}

std::string csvOf(int lines) {
    std::string text = "date,lat,lon,height,time,zone,result,sky,observer,note\n";
    for (int i = 0; i < lines; ++i)
        text += "2024-03-1" + std::to_string(i % 3) + "," + std::to_string(20 + i % 20) + "," +
                std::to_string(30 + i % 10) + ",0,18:3" + std::to_string(i % 10) + ",180," +
                (i % 2 ? "naked-eye" : "not-seen") + ",clear,observer " + std::to_string(i) +
                ",\"note, " + std::to_string(i) + "\"\n";
    return text;
}

const char *kMecca = "--lat 21.4225 --lon 39.8262";

} // namespace

TEST(ObserveCli, RecordsAndListsInEveryForm) {
    const std::string dir = scratchFolder(), db = dir + "/log.sqlite";
    Outcome r = run("observe --db " + db + " --date 2024-03-11 " + kMecca +
                    " --height 300 --time 18:52 --zone 180 --result naked-eye --sky clear "
                    "--observer 'Ali' --note 'thin, low'");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("recorded observation 1"), std::string::npos) << r.out;
    r = run("observe --db " + db + " --date 2024-03-10 " + kMecca + " --result not-seen");
    ASSERT_EQ(r.code, 0) << r.err;
    r = run("observe --list --db " + db);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("2024-03-11"), std::string::npos);
    EXPECT_NE(r.out.find("Ali / thin, low"), std::string::npos) << r.out;
    r = run("observe --list --format csv --db " + db);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')),
              "id,date,lat,lon,height,time,zone,result,sky,observer,note");
    EXPECT_NE(r.out.find("1,2024-03-11,21.4225,39.8262,300,18:52,180,naked-eye,clear,Ali,\"thin, "
                         "low\"\n"),
              std::string::npos)
        << r.out;
    // The CSV listing imports into another log as it stands.
    std::ofstream(dir + "/list.csv") << r.out;
    Outcome again = run("observe --import " + dir + "/list.csv --db " + dir + "/copy.sqlite");
    ASSERT_EQ(again.code, 0) << again.err;
    EXPECT_EQ(run("observe --list --format csv --db " + dir + "/copy.sqlite").out, r.out);
    r = run("observe --list --json --db " + db);
    ASSERT_EQ(r.code, 0) << r.err;
    const nlohmann::json j = nlohmann::json::parse(r.out);
    ASSERT_EQ(j.size(), 2u);
    EXPECT_EQ(j[0]["result"], "naked-eye");
    EXPECT_EQ(j[1]["sky"], nullptr);
    EXPECT_EQ(j[1]["time"], nullptr);
}

// A place by name gives its coordinates and, without --zone, its own clock at the time given.
TEST(ObserveCli, PlaceByNameAndItsClock) {
    const std::string dir = scratchFolder(), db = dir + "/log.sqlite";
    Outcome r = run("observe --db " + db +
                    " --date 2024-03-11 --place Jakarta --time 18:40 --result naked-eye");
    ASSERT_EQ(r.code, 0) << r.err;
    r = run("observe --list --format csv --db " + db);
    EXPECT_NE(r.out.find("1,2024-03-11,-6.2"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(",18:40,420,naked-eye"), std::string::npos) << r.out;
    r = run("observe --db " + db + " --date 2024-03-11 --result naked-eye");
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("--place"), std::string::npos) << r.err;
    std::filesystem::remove_all(dir);
}

TEST(ObserveCli, DefaultLogFollowsXdgDataHome) {
    const std::string dir = scratchFolder();
    Outcome r = run(std::string("observe --date 2024-03-11 ") + kMecca + " --result camera",
                    "XDG_DATA_HOME=" + dir + "/data HOME=" + dir + "/home");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(recordsIn(dir + "/data/telvor/observations.sqlite"), 1);
    r = run(std::string("observe --date 2024-03-11 ") + kMecca + " --result camera",
            "XDG_DATA_HOME=relative/data HOME=" + dir + "/home"); // a relative one is ignored
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(recordsIn(dir + "/home/.local/share/telvor/observations.sqlite"), 1);
}

TEST(ObserveCli, BadOptionsAreOneLineErrors) {
    const std::string dir = scratchFolder(), db = " --db " + dir + "/log.sqlite";
    const char *cases[] = {
        "observe --date 2024-03-11 --result naked-eye",              // no place
        "observe --date 2024-03-11 --lat 21 --lon 39",               // no result
        "observe --lat 21 --lon 39 --result naked-eye",              // no date
        "observe --date 2024-03-11 --lat 21 --lon 39 --result seen", // bad result
        "observe --date 2024-03-11 --lat 21 --lon 39 --result camera --sky grey",
        "observe --date 2024-03-11 --lat 21 --lon 39 --result camera --time 25:00",
        "observe --date 2024-02-30 --lat 21 --lon 39 --result camera",
        "observe --list --format xml",
        "observe --list --import x.csv",
        "observe --list --date 2024-03-11",
        // --json asked of a recording or an import, which answer in text: refused.
        "observe --date 2024-03-11 --lat 21 --lon 39 --result camera --json",
        "observe --import x.csv --json",
        "score --criteria yallop,mabimz",
        "score --aid binoculars",
    };
    for (const char *c : cases) {
        const Outcome r = run(c + db);
        EXPECT_EQ(r.code, 2) << c;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << c << ": " << r.err;
    }
    EXPECT_EQ(recordsIn(dir + "/log.sqlite"), -1); // nothing was made
    const Outcome missing = run("observe --list --db " + dir + "/none.sqlite");
    EXPECT_EQ(missing.code, 2);
    EXPECT_NE(missing.err.find("no observation log"), std::string::npos) << missing.err;
}

TEST(ObserveCli, ANewerLogIsRefusedAndLeftAlone) {
    const std::string dir = scratchFolder(), db = dir + "/log.sqlite";
    ASSERT_EQ(run("observe --db " + db + " --date 2024-03-11 " + kMecca + " --result camera").code,
              0);
    sqlite3 *h = nullptr;
    sqlite3_open(db.c_str(), &h);
    sqlite3_exec(h, "PRAGMA user_version = 7", nullptr, nullptr, nullptr);
    sqlite3_close(h);
    for (const std::string &args :
         {"observe --list --db " + db, "score --db " + db,
          "observe --db " + db + " --date 2024-03-11 " + kMecca + " --result camera"}) {
        const Outcome r = run(args);
        EXPECT_EQ(r.code, 2) << args;
        EXPECT_NE(r.err.find("newer"), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    }
    EXPECT_EQ(recordsIn(db), 1);
}

TEST(ObserveCli, ImportReportsEveryBadLineAndInsertsNothing) {
    const std::string dir = scratchFolder(), db = dir + "/log.sqlite", csv = dir + "/in.csv";
    std::ofstream(csv) << "date,lat,lon,result\n"
                          "2024-03-11,21.4,39.8,naked-eye\n"
                          "2024-03-11,21.4,39.8,glimpsed\n"
                          "2024-03-11,21.4,39.8,camera\n"
                          "2024-13-11,21.4,39.8,camera\n";
    Outcome r = run("observe --import " + csv + " --db " + db);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find(csv + ":3: result"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(csv + ":5: date"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("nothing imported: 2 bad lines"), std::string::npos) << r.err;
    EXPECT_LE(recordsIn(db), 0);
    r = run("observe --import " + csv + " --skip-bad --db " + db);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find(csv + ":3:"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("imported 2 observations"), std::string::npos) << r.out;
    EXPECT_EQ(recordsIn(db), 2);
}

TEST(ObserveCli, AKilledObserveLeavesTheLogBeforeOrAfter) {
    const std::string dir = scratchFolder(), db = dir + "/log.sqlite";
    killAtRandom(db,
                 {"observe", "--db", db, "--date", "2024-03-11", "--lat", "21.4", "--lon", "39.8",
                  "--result", "naked-eye", "--note", "killed"},
                 1, 40, 22, false); // its transaction is too short to be hit every time
}

TEST(ObserveCli, AKilledImportLeavesTheLogBeforeOrAfter) {
    const std::string dir = scratchFolder(), db = dir + "/log.sqlite", csv = dir + "/big.csv";
    std::ofstream(csv) << csvOf(2000);
    killAtRandom(db, {"observe", "--db", db, "--import", csv}, 2000, 40, 1997, true);
}

// Three evenings at Mecca whose calls are plain: 9 March 2024 the Moon set before the Sun,
// 11 March the crescent was easy (class A, zone A), 12 March easier still.
TEST(ScoreCli, TableOfThreeEvenings) {
    const std::string dir = scratchFolder(), csv = dir + "/three.csv";
    std::ofstream(csv) << "date,lat,lon,result,sky\n"
                          "2024-03-09,21.4225,39.8262,naked-eye,clear\n"
                          "2024-03-11,21.4225,39.8262,naked-eye,clear\n"
                          "2024-03-12,21.4225,39.8262,not-seen,cloudy\n";
    Outcome r = run("score --csv " + csv + " --json --worst 5 --plot " + dir + "/plot.png");
    ASSERT_EQ(r.code, 0) << r.err;
    const nlohmann::json j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["records"], 3);
    // The crescent criteria, then the calendar rules, which judge the evening of 9 March at
    // its sunset (the conjunction still to come: not visible) rather than leave it out.
    ASSERT_EQ(j["criteria"].size(), 7u);
    for (const nlohmann::json &c : j["criteria"]) {
        const bool calendarRule =
            c["name"] != "yallop" && c["name"] != "odeh" && c["name"] != "telvor";
        EXPECT_EQ(c["table"]["seenPredicted"], 1) << c["name"];
        EXPECT_EQ(c["table"]["seenNotPredicted"], 1) << c["name"];
        EXPECT_EQ(c["table"]["predictedNotSeen"], 1) << c["name"];
        EXPECT_EQ(c["table"]["neither"], 0) << c["name"];
        EXPECT_EQ(c["classes"].back()["class"], calendarRule ? "no sunset" : "no crescent");
        EXPECT_EQ(c["classes"].back()["records"], calendarRule ? 0 : 1) << c["name"];
        ASSERT_EQ(c["worst"].size(), 2u);
        EXPECT_EQ(c["worst"][0]["record"], "line 2"); // seen with the Moon set first
        EXPECT_EQ(c["worst"][0]["state"], "moon sets first");
    }
    EXPECT_EQ(slurp(dir + "/plot.png").substr(1, 3), "PNG");
    // Only the clear evenings, with the text table.
    r = run("score --csv " + csv + " --sky clear --criteria odeh");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("2 records"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("odeh                       1         1         0         0  0.500"),
              std::string::npos)
        << r.out;
    // The sweep: 99 settings.
    r = run("score --csv " + csv + " --criteria telvor --sweep --json");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(nlohmann::json::parse(r.out)["sweep"].size(), 99u);
}
