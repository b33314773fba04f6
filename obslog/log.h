// The observation log: an SQLite database of observations with a versioned schema, every change
// made in one transaction, so that a process killed at any moment leaves the log as it was
// before the change or as it is after it.
//
// The database file is this library's purpose, so unlike the almanac it does I/O; it keeps no
// global state. One Log object is used by one thread at a time; several processes may use the
// same file (SQLite's locking, waiting up to 5 s for another writer).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "obslog/record.h"

struct sqlite3;

namespace obslog {

// The schema version this code writes and reads (the database's PRAGMA user_version), and the
// application id that marks a TELVOR log (PRAGMA application_id, "TLVR").
constexpr int kSchemaVersion = 1;
constexpr int32_t kApplicationId = 0x544c5652;

class Log {
  public:
    enum class Mode { Read, Write }; // Write creates the file (not its folder) when missing

    Log() = default;
    Log(const Log &) = delete;
    Log &operator=(const Log &) = delete;
    ~Log();

    // Opens `path`. Read needs an existing log; Write creates an empty one when the file is
    // missing or empty. Refuses a file that is not an SQLite database, a database of another
    // program (another application id, or tables without TELVOR's mark) and a log of a newer
    // schema version. "" or a one-line reason.
    std::string open(const std::string &path, Mode mode);

    // Inserts the records in one transaction: all of them or none. Sets each one's id. "" or
    // the reason nothing was inserted.
    std::string insert(std::vector<Observation> &records);
    // Every record, in the order of their ids; "" or the reason.
    std::string list(std::vector<Observation> &records) const;

  private:
    std::string exec(const char *sql) const;
    std::string error(const char *what) const;
    sqlite3 *db_ = nullptr;
    std::string path_;
};

// The default log: $XDG_DATA_HOME/telvor/observations.sqlite, where XDG_DATA_HOME defaults to
// $HOME/.local/share (an unset or relative XDG_DATA_HOME is ignored, as the XDG Base Directory
// Specification says). On Windows %APPDATA%\TELVOR\observations.sqlite. Reads the environment;
// "" when no variable gives a folder.
std::string defaultLogPath();

} // namespace obslog
