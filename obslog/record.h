// One observation of the young crescent, and the CSV form in which observations are exchanged.
//
// Pure code: no global state, no I/O (the CSV is read from and written to strings). Safe to call
// from any number of threads at once.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "almanac/almanac.h"

namespace obslog {

// What the observer reported. Every result but NotSeen is a sighting; NakedEye is the only one
// made without optical aid.
enum class Result : uint8_t { NakedEye, Binoculars, Telescope, Camera, NotSeen };
// The sky near the western horizon as the observer judged it; Unknown when not reported.
enum class Sky : uint8_t { Unknown, Clear, Hazy, PartlyCloudy, Cloudy };

// "naked-eye", "binoculars", "telescope", "camera", "not-seen".
const char *resultName(Result r);
// "", "clear", "hazy", "partly-cloudy", "cloudy".
const char *skyName(Sky s);
// From the names above; false when the name is none of them ("" is Sky::Unknown).
bool resultFromName(std::string_view name, Result &r);
bool skyFromName(std::string_view name, Sky &s);

inline bool seen(Result r) {
    return r != Result::NotSeen;
}
inline bool seenNakedEye(Result r) {
    return r == Result::NakedEye;
}

struct Observation {
    int64_t id = 0;          // the log's row id; 0 for a record not (yet) in a log
    almanac::CivilDate date; // the local date of the evening, 1901-01-01..2099-12-31
    almanac::Place place;    // latitude, longitude in degrees; height in metres, 0..9999
    int minute = -1;         // local clock time of the observation, minutes 0..1439; -1 unknown
    int zone = 0;            // local time minus UT, minutes, -1440..1440, when zoneKnown
    bool zoneKnown = false;
    Result result = Result::NotSeen;
    Sky sky = Sky::Unknown;
    std::string observer; // UTF-8, may be empty
    std::string note;     // UTF-8, may be empty, may hold line breaks
};

// Checks the fields of an observation (ranges, a date that exists, valid UTF-8 texts without
// NUL); "" or a one-line reason naming the field.
std::string checkObservation(const Observation &o);

// ---- CSV -------------------------------------------------------------------------------------
// RFC 4180 text: comma-separated fields, a field in double quotes may hold commas, line breaks
// and doubled quotes; lines end in LF or CRLF; a UTF-8 byte-order mark is skipped. The first
// line names the columns, in any order:
//   date      YYYY-MM-DD, the local date of the evening       (required)
//   lat       degrees, north positive, -90..90                 (required)
//   lon       degrees, east positive, -180..180                (required)
//   height    metres above sea level, 0..9999                  (empty or absent: 0)
//   time      local clock time HH:MM                           (empty or absent: unknown)
//   zone      local time minus UT, minutes                     (empty or absent: unknown)
//   result    naked-eye, binoculars, telescope, camera, not-seen (required)
//   sky       clear, hazy, partly-cloudy, cloudy               (empty or absent: unknown)
//   observer  free text                                        (may be empty)
//   note      free text                                        (may be empty)
// Blank lines are skipped. An id column (written by --list) is read and ignored.

// The header line that csvLine() rows follow, with its line feed.
std::string csvHeader();
// One observation as a CSV row (id first), with its line feed; texts quoted when they need it.
std::string csvLine(const Observation &o);

// A CSV line that could not be read: its line number (1 = the header) and the reason.
struct CsvError {
    int line;
    std::string reason;
};

struct CsvContent {
    std::vector<Observation> records; // the good rows, in file order
    std::vector<int> lines;           // each record's first line number
    std::vector<CsvError> errors;     // every bad row (or the bad header alone), in file order
};

// Reads a whole CSV text. A bad header is the only error when it is bad; otherwise every row is
// checked and each bad one reported, the good ones kept.
CsvContent parseCsv(std::string_view text);

} // namespace obslog
