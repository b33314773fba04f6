// The observation log in SQLite: schema, version check, transactional inserts and the listing.
#include "obslog/log.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <sqlite3.h>

namespace obslog {

namespace {

// Version 1. Texts as the CSV spells them; NULL for an unknown time, zone or sky.
const char *const kSchema = R"(
CREATE TABLE observations (
  id        INTEGER PRIMARY KEY,
  date      TEXT NOT NULL CHECK (date GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]'),
  latitude  REAL NOT NULL CHECK (latitude BETWEEN -90 AND 90),
  longitude REAL NOT NULL CHECK (longitude BETWEEN -180 AND 180),
  height    REAL NOT NULL DEFAULT 0 CHECK (height BETWEEN 0 AND 9999),
  time      TEXT CHECK (time IS NULL OR time GLOB '[0-2][0-9]:[0-5][0-9]'),
  zone      INTEGER CHECK (zone IS NULL OR zone BETWEEN -1440 AND 1440),
  result    TEXT NOT NULL CHECK (result IN ('naked-eye', 'binoculars', 'telescope', 'camera',
                                            'not-seen')),
  sky       TEXT CHECK (sky IS NULL OR sky IN ('clear', 'hazy', 'partly-cloudy', 'cloudy')),
  observer  TEXT NOT NULL DEFAULT '',
  note      TEXT NOT NULL DEFAULT '',
  recorded  TEXT NOT NULL DEFAULT (strftime('%Y-%m-%dT%H:%M:%SZ', 'now'))
);
CREATE INDEX observations_by_date ON observations (date);
)";

std::string quotedPath(const std::string &path) {
    return "'" + path + "'";
}

// A statement that finalises itself.
struct Statement {
    sqlite3_stmt *s = nullptr;
    ~Statement() { sqlite3_finalize(s); }
};

bool integerPragma(sqlite3 *db, const char *sql, long long &value) {
    Statement st;
    if (sqlite3_prepare_v2(db, sql, -1, &st.s, nullptr) != SQLITE_OK) return false;
    if (sqlite3_step(st.s) != SQLITE_ROW) return false;
    value = sqlite3_column_int64(st.s, 0);
    return true;
}

std::string columnText(sqlite3_stmt *s, int i) {
    const unsigned char *t = sqlite3_column_text(s, i);
    return t ? std::string(reinterpret_cast<const char *>(t),
                           static_cast<size_t>(sqlite3_column_bytes(s, i)))
             : std::string();
}

} // namespace

Log::~Log() {
    sqlite3_close(db_);
}

std::string Log::error(const char *what) const {
    return std::string(what) + " " + quotedPath(path_) + ": " +
           (db_ ? sqlite3_errmsg(db_) : "out of memory");
}

std::string Log::exec(const char *sql) const {
    char *message = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &message) == SQLITE_OK) return "";
    std::string text = message ? message : sqlite3_errmsg(db_);
    sqlite3_free(message);
    return text;
}

std::string Log::open(const std::string &path, Mode mode) {
    // A log just created is opened again to check it: the first connection goes (it was kept,
    // file and all, until the process ended).
    sqlite3_close(db_);
    db_ = nullptr;
    path_ = path;
    if (path.empty()) return "'' names no file";
    struct stat st {};
    const bool exists = ::stat(path.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) return quotedPath(path) + " is a folder, not a log";
    if (!exists && mode == Mode::Read) return "no observation log at " + quotedPath(path);
    // Read-write even to read, when allowed: a log left by a killed writer has a journal that
    // the next opener rolls back.
    int flags = SQLITE_OPEN_READWRITE | (mode == Mode::Write ? SQLITE_OPEN_CREATE : 0);
    int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK && mode == Mode::Read) {
        sqlite3_close(db_);
        db_ = nullptr;
        rc = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr);
    }
    if (rc != SQLITE_OK) return error("cannot open");
    sqlite3_busy_timeout(db_, 5000);
    sqlite3_extended_result_codes(db_, 1);
    long long id = 0, version = 0, objects = 0;
    if (!integerPragma(db_, "PRAGMA application_id", id) ||
        !integerPragma(db_, "PRAGMA user_version", version) ||
        !integerPragma(db_, "SELECT count(*) FROM sqlite_master", objects)) {
        if ((sqlite3_errcode(db_) & 0xff) == SQLITE_NOTADB)
            return quotedPath(path) + " is not an SQLite database";
        return error("cannot read");
    }
    if (id == 0 && version == 0 && objects == 0) {
        if (mode == Mode::Read) return ""; // an empty file: a log without records
        // Created inside one transaction; another process may have done it meanwhile.
        std::string e = exec("BEGIN IMMEDIATE");
        if (!e.empty()) return "cannot create the log in " + quotedPath(path) + ": " + e;
        if (!integerPragma(db_, "SELECT count(*) FROM sqlite_master", objects))
            e = sqlite3_errmsg(db_);
        if (e.empty() && objects == 0) {
            e = exec(kSchema);
            char pragmas[96];
            std::snprintf(pragmas, sizeof pragmas,
                          "PRAGMA application_id = %d; PRAGMA user_version = %d;",
                          static_cast<int>(kApplicationId), kSchemaVersion);
            if (e.empty()) e = exec(pragmas);
        }
        if (e.empty()) e = exec("COMMIT");
        if (!e.empty()) {
            exec("ROLLBACK");
            return "cannot create the log in " + quotedPath(path) + ": " + e;
        }
        return open(path, mode); // and check what is there now
    }
    if (id != kApplicationId)
        return quotedPath(path) + " is another program's database, not a TELVOR observation log";
    if (version > kSchemaVersion)
        return quotedPath(path) + " was written by a newer TELVOR (log schema version " +
               std::to_string(version) + "; this one reads version " +
               std::to_string(kSchemaVersion) + ")";
    if (version < 1)
        return quotedPath(path) + " is a damaged observation log (schema version " +
               std::to_string(version) + ")";
    Statement probe;
    if (sqlite3_prepare_v2(db_,
                           "SELECT id, date, latitude, longitude, height, time, zone, result, "
                           "sky, observer, note FROM observations LIMIT 0",
                           -1, &probe.s, nullptr) != SQLITE_OK)
        return quotedPath(path) + " is a damaged observation log: " + sqlite3_errmsg(db_);
    return "";
}

std::string Log::insert(std::vector<Observation> &records) {
    for (size_t i = 0; i < records.size(); ++i) {
        std::string reason = checkObservation(records[i]);
        if (!reason.empty()) return "record " + std::to_string(i + 1) + ": " + reason;
    }
    std::string e = exec("BEGIN IMMEDIATE");
    if (!e.empty()) return "cannot write to " + quotedPath(path_) + ": " + e;
    Statement st;
    if (sqlite3_prepare_v2(db_,
                           "INSERT INTO observations (date, latitude, longitude, height, time, "
                           "zone, result, sky, observer, note) VALUES (?,?,?,?,?,?,?,?,?,?)",
                           -1, &st.s, nullptr) != SQLITE_OK)
        e = sqlite3_errmsg(db_);
    std::vector<int64_t> ids;
    for (const Observation &o : records) {
        if (!e.empty()) break;
        char date[16], time[16];
        std::snprintf(date, sizeof date, "%04d-%02d-%02d", o.date.year, o.date.month, o.date.day);
        sqlite3_bind_text(st.s, 1, date, -1, SQLITE_TRANSIENT);
        sqlite3_bind_double(st.s, 2, o.place.latitude);
        sqlite3_bind_double(st.s, 3, o.place.longitude);
        sqlite3_bind_double(st.s, 4, o.place.height);
        if (o.minute >= 0) {
            std::snprintf(time, sizeof time, "%02d:%02d", o.minute / 60, o.minute % 60);
            sqlite3_bind_text(st.s, 5, time, -1, SQLITE_TRANSIENT);
        } else
            sqlite3_bind_null(st.s, 5);
        if (o.zoneKnown)
            sqlite3_bind_int(st.s, 6, o.zone);
        else
            sqlite3_bind_null(st.s, 6);
        sqlite3_bind_text(st.s, 7, resultName(o.result), -1, SQLITE_STATIC);
        if (o.sky == Sky::Unknown)
            sqlite3_bind_null(st.s, 8);
        else
            sqlite3_bind_text(st.s, 8, skyName(o.sky), -1, SQLITE_STATIC);
        sqlite3_bind_text(st.s, 9, o.observer.data(), static_cast<int>(o.observer.size()),
                          SQLITE_TRANSIENT);
        sqlite3_bind_text(st.s, 10, o.note.data(), static_cast<int>(o.note.size()),
                          SQLITE_TRANSIENT);
        if (sqlite3_step(st.s) != SQLITE_DONE)
            e = sqlite3_errmsg(db_);
        else
            ids.push_back(sqlite3_last_insert_rowid(db_));
        sqlite3_reset(st.s);
    }
    if (e.empty()) e = exec("COMMIT");
    if (!e.empty()) {
        exec("ROLLBACK");
        return "nothing was written to " + quotedPath(path_) + ": " + e;
    }
    for (size_t i = 0; i < records.size(); ++i)
        records[i].id = ids[i];
    return "";
}

std::string Log::list(std::vector<Observation> &records) const {
    records.clear();
    long long objects = 0;
    if (!integerPragma(db_, "SELECT count(*) FROM sqlite_master", objects))
        return error("cannot read");
    if (objects == 0) return ""; // an empty file
    Statement st;
    if (sqlite3_prepare_v2(db_,
                           "SELECT id, date, latitude, longitude, height, time, zone, result, "
                           "sky, observer, note FROM observations ORDER BY id",
                           -1, &st.s, nullptr) != SQLITE_OK)
        return error("cannot read");
    int rc;
    while ((rc = sqlite3_step(st.s)) == SQLITE_ROW) {
        Observation o;
        o.id = sqlite3_column_int64(st.s, 0);
        const std::string date = columnText(st.s, 1);
        o.date = {std::atoi(date.substr(0, 4).c_str()),
                  date.size() >= 7 ? std::atoi(date.substr(5, 2).c_str()) : 0,
                  date.size() >= 10 ? std::atoi(date.substr(8, 2).c_str()) : 0};
        o.place.latitude = sqlite3_column_double(st.s, 2);
        o.place.longitude = sqlite3_column_double(st.s, 3);
        o.place.height = sqlite3_column_double(st.s, 4);
        if (sqlite3_column_type(st.s, 5) != SQLITE_NULL) {
            const std::string t = columnText(st.s, 5);
            o.minute = std::atoi(t.substr(0, 2).c_str()) * 60 +
                       (t.size() >= 5 ? std::atoi(t.substr(3, 2).c_str()) : 0);
        }
        if (sqlite3_column_type(st.s, 6) != SQLITE_NULL) {
            o.zone = sqlite3_column_int(st.s, 6);
            o.zoneKnown = true;
        }
        const std::string result = columnText(st.s, 7), sky = columnText(st.s, 8);
        bool ok = resultFromName(result, o.result) && skyFromName(sky, o.sky);
        o.observer = columnText(st.s, 9);
        o.note = columnText(st.s, 10);
        std::string reason = ok ? checkObservation(o) : "unknown result or sky";
        if (!reason.empty())
            return quotedPath(path_) + ": record " + std::to_string(o.id) + ": " + reason;
        records.push_back(std::move(o));
    }
    if (rc != SQLITE_DONE) return error("cannot read");
    return "";
}

std::string defaultLogPath() {
#ifdef _WIN32
    // The roaming application data folder, where the saver keeps its settings too.
    const char *appData = std::getenv("APPDATA");
    return appData && appData[0] ? std::string(appData) + "\\TELVOR\\observations.sqlite" : "";
#else
    const char *data = std::getenv("XDG_DATA_HOME");
    if (data && data[0] == '/') return std::string(data) + "/telvor/observations.sqlite";
    const char *home = std::getenv("HOME");
    if (home && home[0]) return std::string(home) + "/.local/share/telvor/observations.sqlite";
    return "";
#endif
}

} // namespace obslog
