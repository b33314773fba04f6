// In-process fuzz driver of the telvor tool's subcommands: random command lines and --batch and
// --import files, each outcome checked (exit code, one message, JSON that parses, no NaN).
//
// Usage: telvor_fuzz [--command NAME] [--count N] [--seed S] [--case I] [--limit SECONDS]
//                    [--seconds CPU] [--dir FOLDER]
// Runs N cases of each command (sighting, map, calendar, date, sky, observe, score) or of the one
// named (or as many as --seconds of CPU allow each); case I of seed S is always the same input, so
// "--command map --seed 1 --case 17" runs one case again and prints it. Exit 0 when every case
// passed, 1 when any failed (each failure printed with its case), 3 when a case ran past the time
// limit.
#include "tools/telvormain.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace {

using Rng = std::mt19937_64;

struct Case {
    std::vector<std::string> args; // after the program's name
    std::string file;              // the content of `filePath`, when the case has a file
    std::string filePath;
    bool fileOnStdin = false;         // the file is given as "-" and read from standard input
    bool json = false;                // standard output is JSON (one object, or one per line)
    bool jsonLines = false;           // one JSON object per line (a batch)
    std::vector<std::string> outputs; // files the case may write: checked when the run succeeds
    long lines = 0;                   // input lines in the file (batch or CSV rows)
};

// ---- value pools: good values, then values at and past the range ends and malformed ones ----

struct Pool {
    std::vector<std::string> good, bad;
};

const std::string kHuge(200000, '7');

const std::map<std::string, Pool> &pools() {
    static const std::map<std::string, Pool> p = {
        {"date",
         {{"2024-03-10", "2024-03-11", "2024-04-09", "2023-06-19", "2023-12-13", "2024-06-06",
           "2024-12-01", "1901-01-01", "2099-12-31", "2025-03-29", "1950-05-17", "2030-01-04"},
          {"1900-12-31", "2100-01-01", "2024-02-30", "2023-02-29", "2024-13-01", "2024-00-10",
           "2024-3-1", "", "abcd-ef-gh", "2024-03-10x", " 2024-03-10", "2024-03-10T00:00",
           "\xff\xfe", "9999-99-99", "0000-01-01", kHuge}}},
        {"lat",
         {{"21.4225", "51.5", "-33.9", "0", "90", "-90", "78.22", "-77.85", "69.65", "89.9999",
           "-89.9999", "66.56", "-66.56", "1.3", "45"},
          {"90.0000001", "-90.1", "91", "1e2", "nan", "inf", "-inf", "0x10", "", " 1", "1e-400",
           "-0", "1e400", "1,5", "+", ".", "5e", "\xc3", kHuge}}},
        {"lon",
         {{"39.8262", "-0.13", "151.2", "0", "180", "-180", "179.9999", "-179.9999", "15.6",
           "166.67", "18.96", "103.8"},
          {"180.0001", "-180.5", "360", "nan", "", "1e309", "--5", "-", "\x80", kHuge}}},
        {"height",
         {{"0", "9999", "100", "2500"}, {"10000", "-1", "2.5", "", "1e3", "99999999999"}}},
        {"zone",
         {{"0", "180", "-300", "-1440", "1440", "330", "600"},
          {"1441", "-1441", "abc", "", "3.5", "+"}}},
        {"tz",
         {{"Asia/Riyadh", "UTC", "Europe/London", "America/Anchorage", "Pacific/Kiritimati",
           "Antarctica/McMurdo", "Arctic/Longyearbyen", "Asia/Jakarta", "Europe/Oslo"},
          {"Nowhere/City", "../../etc/passwd", "", "Asia/Riyadh\xff", "/etc/localtime", "UTC+3",
           kHuge}}},
        {"place",
         {{"Jakarta", "London, Canada", "Mecca", "Longyearbyen", "Tromsø", "Cape Town", "Riyadh",
           "Reykjavik", "Ushuaia"},
          {"", "Zzzzqq", "Troms\xf8", "\xff\xfe\xfd", "Paris, France, Extra", ",", " , ", "London,",
           kHuge}}},
        {"time",
         {{"00:00", "23:59", "18:30", "47:59", "19:05", "5:07"},
          {"48:00", "24:60", "", "12:5", "-1:00", "12:345", "ab:cd", ":"}}},
        {"minute", {{"0", "-1440", "2879", "1100"}, {"2880", "-1441", "1.5", ""}}},
        {"probability", {{"1", "99", "50"}, {"0", "100", "-1", "50%"}}},
        {"criterion", {{"yallop", "odeh", "telvor"}, {"YALLOP", "", "x", "yallop,odeh"}}},
        {"mapstep",
         {{"180", "90", "60", "45", "30", "20", "15", "10", "9", "6", "5"},
          {"7", "0.09", "180.5", "0", "-1", "1e308", "nan", "", "0.0999999"}}},
        {"calstep",
         {{"180", "90", "60", "45", "30", "20", "15", "10"},
          {"7", "0.24", "0.1", "0", "181", "", "1e-5"}}},
        {"threads", {{"0", "1", "2", "4"}, {"1024", "1025", "-1", "", "two"}}},
        {"mapsize",
         {{"400x400", "480x360", "640x400", "400x330"},
          {"200x100", "243x400", "8193x16", "100x", "x100", "0x0", "16x16x16", "-16x16", ""}}},
        {"skysize",
         {{"320x200", "400x250", "480x320"},
          {"319x200", "320x199", "96x64", "8193x16", "100x", "", "1x1"}}},
        {"year", {{"1445", "1446", "1215", "1626", "1300", "1520"}, {"1214", "1627", "0", ""}}},
        {"rule",
         {{"yallop", "odeh", "telvor", "umm-al-qura", "conjunction", "mabims", "khgt", "diyanet",
           "wujudul-hilal", "fcna"},
          {"", "Yallop", "bogus", "umm-al-qura "}}},
        {"region",
         {{"globe", "place", "indonesia", "malaysia", "brunei", "singapore"},
          {"", "mars", "GLOBE"}}},
        {"compare",
         {{"yallop,odeh", "umm-al-qura,conjunction,fcna", "mabims,khgt,diyanet,wujudul-hilal"},
          {"yallop,,odeh", "bogus", "", ",", "yallop,yallop"}}},
        {"adjust", {{"0", "-3", "3", "1"}, {"-4", "4", "1.0", ""}}},
        {"lang", {{"ar", "ur", "ms", "id", "tr", "fa", "fr", "en"}, {"xx", "", "EN", "en_US"}}},
        {"result",
         {{"naked-eye", "binoculars", "telescope", "camera", "not-seen"}, {"", "seen", "NAKED"}}},
        {"sky", {{"clear", "hazy", "partly-cloudy", "cloudy"}, {"", "fog", "Clear"}}},
        {"observer", {{"Ann", "ذ", "Ö. Ü"}, {"", "\xff\xfe", "a,b\"c", kHuge}}},
        {"note", {{"low haze", "seen 19:02", "—"}, {"", "\xc0\xaf", "line\nbreak", kHuge}}},
        {"format", {{"text", "csv", "json"}, {"", "xml", "JSON"}}},
        {"criteria",
         {{"yallop", "odeh", "telvor", "yallop,odeh,telvor"}, {"", "bogus", "yallop,", ",,"}}},
        {"aid", {{"naked-eye", "optical"}, {"", "eyes"}}},
        {"worst", {{"0", "3", "100000"}, {"100001", "-1", ""}}},
        {"hijridate",
         {{"1445-09-01", "1445-10-01", "1215-01-01", "1626-12-29", "1446-01-01", "1300-06-15"},
          {"1445-13-01", "1445-09-31", "1214-12-29", "1627-01-01", "1445-00-01", "1445-9-1"}}},
    };
    return p;
}

template <typename T> const T &pick(Rng &rng, const std::vector<T> &v) {
    return v[rng() % v.size()];
}

bool chance(Rng &rng, int percent) {
    return static_cast<int>(rng() % 100) < percent;
}

// Small damage to a text: a byte replaced, a run cut, bad UTF-8 or a control byte inserted.
std::string damage(Rng &rng, std::string text) {
    const size_t at = text.empty() ? 0 : rng() % (text.size() + 1);
    switch (rng() % 5) {
    case 0:
        if (at < text.size()) text[at] = static_cast<char>(rng());
        break;
    case 1:
        if (at < text.size()) text.erase(at, 1 + rng() % 4);
        break;
    case 2:
        text.insert(at, "\xff");
        break;
    case 3:
        text.insert(at, "\xe2\x82"); // a cut-off three-byte sequence
        break;
    default:
        text.insert(at, 1, static_cast<char>(1 + rng() % 31));
    }
    return text;
}

// Half the cases take good values only, so that they get past the checks of the options to the
// work; the others take a bad value or damage for one option in four.
bool cleanCase = false;

std::string value(Rng &rng, const std::string &pool) {
    const Pool &p = pools().at(pool);
    std::string v =
        cleanCase || chance(rng, 75) || p.bad.empty() ? pick(rng, p.good) : pick(rng, p.bad);
    if (!cleanCase && chance(rng, 4)) v = damage(rng, v);
    return v;
}

// An option and its value from the pool of the same name (or `pool`).
void option(Case &c, Rng &rng, const std::string &name, const std::string &pool = "") {
    c.args.push_back("--" + name);
    c.args.push_back(value(rng, pool.empty() ? name : pool));
}

void place(Case &c, Rng &rng) {
    if (chance(rng, 70)) {
        option(c, rng, "lat");
        option(c, rng, "lon");
    } else
        option(c, rng, "place");
}

// Options picked from `extra` in random order, each at most once (rarely twice).
void someOf(Case &c, Rng &rng, const std::vector<std::pair<std::string, std::string>> &extra,
            int most) {
    std::vector<std::pair<std::string, std::string>> left = extra;
    std::shuffle(left.begin(), left.end(), rng);
    const int n = static_cast<int>(rng() % static_cast<unsigned>(most + 1));
    for (int i = 0; i < n && i < static_cast<int>(left.size()); ++i) {
        const auto &[name, pool] = left[i];
        if (pool == "flag")
            c.args.push_back("--" + name);
        else
            option(c, rng, name, pool);
    }
    if (!cleanCase && chance(rng, 2) && !left.empty() && left[0].second != "flag")
        option(c, rng, left[0].first, left[0].second); // the same option twice
}

// A path for an output file: mostly in the scratch folder, sometimes one that cannot be written.
std::string outPath(Case &c, Rng &rng, const std::string &dir, const std::string &name) {
    static const char *const bad[] = {"/nonexistent-folder/x", "", "/", "/dev/null", "."};
    if (!cleanCase && chance(rng, 8)) return bad[rng() % std::size(bad)];
    std::string path = dir + "/" + name;
    if (!cleanCase && chance(rng, 3)) path = dir + "/x.jpg";
    c.outputs.push_back(path);
    return path;
}

// The file a case reads: given by path, or as "-" on standard input.
std::string inPath(Case &c, Rng &rng, const std::string &dir, const char *name) {
    if (!cleanCase && chance(rng, 3)) return chance(rng, 50) ? "/nonexistent-folder/in" : dir;
    c.filePath = dir + "/" + name;
    if (chance(rng, 10)) {
        c.fileOnStdin = true;
        return "-";
    }
    return c.filePath;
}

// ---- batch lines: JSON objects of the question's inputs, of every type, damaged ----

std::string jsonValue(Rng &rng, const std::string &key) {
    static const char *const odd[] = {"true",
                                      "false",
                                      "null",
                                      "[]",
                                      "[1,2]",
                                      "{}",
                                      "{\"a\":1}",
                                      "1e400",
                                      "-0",
                                      "1e-400",
                                      "0.5",
                                      "-1",
                                      "18446744073709551616",
                                      "9223372036854775807",
                                      "\"\""};
    if (chance(rng, 15)) return odd[rng() % std::size(odd)];
    const bool known = pools().count(key) != 0;
    const std::string text = known ? value(rng, key) : "x";
    const bool number = key == "lat" || key == "lon" || key == "height" || key == "zone" ||
                        key == "minute" || key == "probability";
    if (number && chance(rng, 60) && !text.empty() &&
        text.find_first_not_of("+-0123456789.e") == std::string::npos &&
        text.find_first_of("0123456789") != std::string::npos && text[0] != '+' &&
        text.find("--") == std::string::npos && text.back() != '.' && text.back() != 'e' &&
        text.size() < 40)
        return text; // as a JSON number when it reads as one
    nlohmann::json j = std::string(text);
    return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string batchLine(Rng &rng) {
    static const char *const notObjects[] = {"[]",           "1",         "\"x\"",      "",
                                             "   ",          "{",         "}}",         "null",
                                             "{\"lat\":1,}", "{'lat':1}", "{\"lat\" 1}"};
    if (chance(rng, 8)) return notObjects[rng() % std::size(notObjects)];
    static const char *const keys[] = {"date", "minute", "time",        "zone", "lat",
                                       "lon",  "height", "probability", "json", "bogus"};
    std::vector<std::string> chosen = {"date", "lat", "lon"};
    for (int n = static_cast<int>(rng() % 4); n > 0; --n)
        chosen.push_back(keys[rng() % std::size(keys)]); // possibly a duplicate key
    if (chance(rng, 10)) chosen.erase(chosen.begin() + static_cast<long>(rng() % chosen.size()));
    std::shuffle(chosen.begin(), chosen.end(), rng);
    std::string line = "{";
    for (size_t i = 0; i < chosen.size(); ++i)
        line += (i ? ", \"" : "\"") + chosen[i] + "\": " + jsonValue(rng, chosen[i]);
    line += "}";
    if (chance(rng, 4)) line.insert(rng() % (line.size() + 1), 1, '\0');
    if (chance(rng, 4)) line = damage(rng, line);
    if (chance(rng, 3)) line.resize(rng() % (line.size() + 1));
    if (chance(rng, 1)) line.insert(1, "\"pad\": \"" + std::string(1 << 20, ' ') + "\", ");
    if (chance(rng, 5)) line += "\r";
    return line;
}

std::string batchFile(Rng &rng, long &lines) {
    std::string text;
    lines = 1 + static_cast<long>(rng() % 8);
    for (long i = 0; i < lines; ++i)
        text += batchLine(rng) + (i + 1 < lines || chance(rng, 80) ? "\n" : "");
    // The lines the tool reads: an empty last piece without its newline is none.
    lines = static_cast<long>(std::count(text.begin(), text.end(), '\n'));
    if (!text.empty() && text.back() != '\n') ++lines;
    return text;
}

// ---- observation CSV files (observe --import, score --csv) ----

std::string csvField(Rng &rng, const std::string &column) {
    std::string v;
    if (column == "id")
        v = std::to_string(rng() % 1000);
    else if (column == "date" || column == "lat" || column == "lon" || column == "height" ||
             column == "time" || column == "zone" || column == "result" || column == "sky" ||
             column == "observer" || column == "note")
        v = value(rng, column);
    else
        v = "?";
    if (v.size() > 1000 && !chance(rng, 20)) v.resize(8);
    if (v.find_first_of(",\"\n\r") != std::string::npos || chance(rng, 5)) {
        std::string q = "\"";
        for (char ch : v)
            q += ch == '"' ? std::string("\"\"") : std::string(1, ch);
        v = q + (chance(rng, 97) ? "\"" : ""); // rarely an unterminated quote
    }
    return v;
}

std::string csvFile(Rng &rng, long &lines) {
    static const char *const all[] = {"date",   "lat", "lon",      "height", "time", "zone",
                                      "result", "sky", "observer", "note",   "id",   "extra"};
    std::vector<std::string> columns = {"date", "lat", "lon", "result"};
    for (const char *c : all)
        if (chance(rng, 40)) columns.push_back(c); // possibly twice
    if (chance(rng, 8)) columns.erase(columns.begin() + static_cast<long>(rng() % columns.size()));
    std::shuffle(columns.begin(), columns.end(), rng);
    const std::string eol = chance(rng, 20) ? "\r\n" : "\n";
    std::string text = chance(rng, 5) ? "\xef\xbb\xbf" : "";
    for (size_t i = 0; i < columns.size(); ++i)
        text += (i ? "," : "") + columns[i];
    text += eol;
    lines = static_cast<long>(rng() % 9);
    for (long r = 0; r < lines; ++r) {
        if (chance(rng, 5)) text += eol; // a blank line
        std::string row;
        const size_t fields = chance(rng, 5) ? columns.size() + rng() % 3 - 1 : columns.size();
        for (size_t i = 0; i < fields; ++i)
            row += (i ? "," : "") + csvField(rng, i < columns.size() ? columns[i] : "id");
        if (chance(rng, 3)) row.insert(rng() % (row.size() + 1), 1, '\0');
        if (chance(rng, 3)) row = damage(rng, row);
        text += row + (r + 1 < lines || chance(rng, 80) ? eol : "");
    }
    return text;
}

// ---- the cases of each command ----

Case sightingCase(Rng &rng, const std::string &dir) {
    Case c;
    c.args = {"sighting"};
    if (chance(rng, 30)) {
        if (chance(rng, 30)) place(c, rng);
        someOf(c, rng,
               {{"date", "date"},
                {"tz", "tz"},
                {"zone", "zone"},
                {"height", "height"},
                {"morning", "flag"}},
               3);
        c.args.push_back("--batch");
        c.args.push_back(inPath(c, rng, dir, "batch.jsonl"));
        c.file = batchFile(rng, c.lines);
        c.json = c.jsonLines = true;
        return c;
    }
    if (chance(rng, 95)) place(c, rng);
    if (chance(rng, 90)) option(c, rng, "date");
    someOf(c, rng,
           {{"tz", "tz"},
            {"zone", "zone"},
            {"height", "height"},
            {"morning", "flag"},
            {"json", "flag"},
            {"quiet", "flag"}},
           4);
    for (const std::string &a : c.args)
        if (a == "--json") c.json = true;
    return c;
}

Case mapCase(Rng &rng, const std::string &dir) {
    Case c;
    c.args = {"map"};
    if (chance(rng, 90)) option(c, rng, "date");
    c.args.push_back("--step");
    c.args.push_back(value(rng, "mapstep"));
    if (chance(rng, 60)) {
        c.args.push_back("--csv");
        c.args.push_back(outPath(c, rng, dir, "map.csv"));
    }
    if (chance(rng, 50)) {
        c.args.push_back("--geojson");
        c.args.push_back(outPath(c, rng, dir, "map.geojson"));
    }
    if (chance(rng, 40)) {
        c.args.push_back("--out");
        c.args.push_back(outPath(c, rng, dir, "map.png"));
        c.args.push_back("--size"); // keeps the picture cheap
        c.args.push_back(value(rng, "mapsize"));
    }
    someOf(c, rng,
           {{"height", "height"},
            {"criterion", "criterion"},
            {"threads", "threads"},
            {"place", "place"}},
           3);
    return c;
}

Case calendarCase(Rng &rng, const std::string &) {
    Case c;
    c.args = {"calendar"};
    if (chance(rng, 90)) option(c, rng, "year");
    if (chance(rng, 85)) option(c, rng, "rule");
    // The globe's search, coarse: a year of it on a fine grid costs seconds under a sanitizer.
    c.args.push_back("--step");
    c.args.push_back(value(rng, "calstep"));
    someOf(c, rng,
           {{"region", "region"},
            {"compare", "compare"},
            {"adjust", "adjust"},
            {"lang", "lang"},
            {"json", "flag"},
            {"threads", "threads"},
            {"height", "height"}},
           3);
    if (chance(rng, 35)) place(c, rng);
    for (const std::string &a : c.args)
        if (a == "--json") c.json = true;
    return c;
}

Case dateCase(Rng &rng, const std::string &) {
    Case c;
    c.args = {"date"};
    const int form = static_cast<int>(rng() % 4);
    if (form == 0) c.args.push_back(value(rng, "hijridate"));
    if (form == 1) c.args.push_back(value(rng, "date"));
    if (form == 2) {
        c.args.push_back(value(rng, "date"));
        c.args.push_back(value(rng, "time"));
    }
    if (chance(rng, 3)) c.args.push_back("extra");
    // The globe rules' search, coarse (see calendarCase).
    c.args.push_back("--step");
    c.args.push_back(value(rng, "calstep"));
    someOf(c, rng,
           {{"rule", "rule"},
            {"region", "region"},
            {"tz", "tz"},
            {"zone", "zone"},
            {"adjust", "adjust"},
            {"lang", "lang"},
            {"json", "flag"},
            {"height", "height"},
            {"threads", "threads"}},
           4);
    if (chance(rng, 40)) place(c, rng);
    for (const std::string &a : c.args)
        if (a == "--json") c.json = true;
    return c;
}

Case skyCase(Rng &rng, const std::string &dir) {
    Case c;
    c.args = {"sky"};
    if (chance(rng, 95)) place(c, rng);
    if (chance(rng, 90)) option(c, rng, "date");
    const int form = static_cast<int>(rng() % 10);
    if (form < 7) {
        c.args.push_back("--out");
        c.args.push_back(outPath(c, rng, dir, "sky.png"));
    } else if (form < 9) {
        c.args.push_back("--animate");
        c.args.push_back(outPath(c, rng, dir, "sky.gif"));
    } else {
        c.args.push_back("--frames");
        c.args.push_back(chance(rng, 80) ? dir + "/frames" : "/nonexistent-folder");
    }
    c.args.push_back("--size");
    c.args.push_back(value(rng, "skysize"));
    someOf(
        c, rng,
        {{"tz", "tz"}, {"zone", "zone"}, {"height", "height"}, {"time", "time"}, {"best", "flag"}},
        3);
    return c;
}

Case observeCase(Rng &rng, const std::string &dir) {
    Case c;
    c.args = {"observe", "--db", chance(rng, 97) ? dir + "/log.sqlite" : dir};
    const int form = static_cast<int>(rng() % 10);
    if (form < 4) {
        c.args.push_back("--import");
        c.args.push_back(inPath(c, rng, dir, "import.csv"));
        c.file = csvFile(rng, c.lines);
        if (chance(rng, 40)) c.args.push_back("--skip-bad");
    } else if (form < 6) {
        c.args.push_back("--list");
        if (chance(rng, 70)) option(c, rng, "format");
        if (chance(rng, 20)) c.args.push_back("--json");
        for (size_t i = 0; i + 1 < c.args.size(); ++i)
            if (c.args[i] == "--format" && c.args[i + 1] == "json") c.json = true;
    } else {
        if (chance(rng, 95)) place(c, rng);
        if (chance(rng, 90)) option(c, rng, "date");
        if (chance(rng, 90)) option(c, rng, "result");
        someOf(c, rng,
               {{"height", "height"},
                {"time", "time"},
                {"tz", "tz"},
                {"zone", "zone"},
                {"sky", "sky"},
                {"observer", "observer"},
                {"note", "note"},
                {"json", "flag"}},
               4);
        for (const std::string &a : c.args)
            if (a == "--json") c.json = true;
    }
    return c;
}

Case scoreCase(Rng &rng, const std::string &dir) {
    Case c;
    c.args = {"score"};
    if (chance(rng, 60)) {
        c.args.push_back("--csv");
        c.args.push_back(inPath(c, rng, dir, "score.csv"));
        c.file = csvFile(rng, c.lines);
    } else {
        c.args.push_back("--db");
        c.args.push_back(dir + "/log.sqlite"); // the log that the observe cases filled
    }
    someOf(c, rng,
           {{"criteria", "criteria"},
            {"sky", "sky"},
            {"aid", "aid"},
            {"json", "flag"},
            {"worst", "worst"},
            {"probability", "probability"},
            {"sweep", "flag"},
            {"skip-bad", "flag"},
            {"threads", "threads"}},
           4);
    if (chance(rng, 10)) {
        c.args.push_back("--plot");
        c.args.push_back(outPath(c, rng, dir, "plot.png"));
    }
    for (const std::string &a : c.args)
        if (a == "--json") c.json = true;
    return c;
}

struct Command {
    const char *name;
    Case (*make)(Rng &, const std::string &);
};

const Command kCommands[] = {
    {"sighting", sightingCase}, {"map", mapCase}, {"calendar", calendarCase},
    {"date", dateCase},         {"sky", skyCase}, {"observe", observeCase},
    {"score", scoreCase},
};

// ---- running a case and judging its outcome ----

std::string shown(const std::string &text, size_t most = 300) {
    std::string out;
    for (unsigned char ch : text.substr(0, most)) {
        if (ch == '\n')
            out += "\\n";
        else if (ch < 0x20 || ch >= 0x7f) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", ch);
            out += buf;
        } else
            out += static_cast<char>(ch);
    }
    if (text.size() > most) out += "...(" + std::to_string(text.size()) + " bytes)";
    return out;
}

std::string describe(const Case &c) {
    std::string d = "telvor";
    for (const std::string &a : c.args)
        d += " '" + shown(a, 80) + "'";
    if (!c.filePath.empty())
        d += (c.fileOnStdin ? "\n  stdin = " : "\n  file = ") + shown(c.file, 2000);
    return d;
}

// What the time-limit handler prints.
char currentCase[4096];

extern "C" void onAlarm(int) {
    const char head[] = "telvor_fuzz: time limit passed in case:\n";
    if (write(STDERR_FILENO, head, sizeof head - 1) < 0) {
    }
    if (write(STDERR_FILENO, currentCase, std::strlen(currentCase)) < 0) {
    }
    _exit(3);
}

std::string slurp(const std::string &path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

struct Outcome {
    int code;
    std::string out, err;
};

// Runs the tool's entry with standard input, output and error on files of the scratch folder.
Outcome run(const Case &c, const std::string &dir) {
    std::vector<std::string> argStore = c.args;
    argStore.insert(argStore.begin(), "telvor");
    std::vector<char *> argv;
    for (std::string &a : argStore)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const std::string outFile = dir + "/.stdout", errFile = dir + "/.stderr",
                      inFile = c.fileOnStdin ? c.filePath : "/dev/null";
    std::fflush(stdout);
    std::fflush(stderr);
    const int savedIn = dup(0), savedOut = dup(1), savedErr = dup(2);
    const int in = open(inFile.c_str(), O_RDONLY);
    const int out = open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(in, 0), dup2(out, 1), dup2(err, 2);
    close(in), close(out), close(err);
    std::clearerr(stdin);
    const int code = telvorMain(static_cast<int>(argStore.size()), argv.data());
    std::fflush(stdout);
    std::fflush(stderr);
    dup2(savedIn, 0), dup2(savedOut, 1), dup2(savedErr, 2);
    close(savedIn), close(savedOut), close(savedErr);
    std::clearerr(stdin);
    std::clearerr(stdout);
    return {code, slurp(outFile), slurp(errFile)};
}

// A printf NaN or infinity standing as a number: "nan", "-nan", "inf", "-inf" between
// separators (place names such as "Nan" keep their capital).
bool holdsNanText(const std::string &text) {
    for (const char *word : {"nan", "inf"}) {
        for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
            const char before = at ? text[at - 1] : ' ';
            const char after = at + 3 < text.size() ? text[at + 3] : ' ';
            auto separator = [](char ch) {
                return ch == ' ' || ch == ',' || ch == ':' || ch == '=' || ch == '-' ||
                       ch == '\n' || ch == '\t' || ch == '(' || ch == ')' || ch == '[' ||
                       ch == ']' || ch == '"';
            };
            if (separator(before) && separator(after)) return true;
        }
    }
    return false;
}

// The keys whose value is null anywhere in a JSON value, with their paths' last names.
void nullKeys(const nlohmann::json &j, std::map<std::string, long> &found,
              const std::string &key = "") {
    if (j.is_null()) ++found[key];
    if (j.is_object())
        for (auto it = j.begin(); it != j.end(); ++it)
            nullKeys(it.value(), found, it.key());
    if (j.is_array())
        for (const auto &e : j)
            nullKeys(e, found, key + "[]");
}

struct Tally {
    long cases = 0, lines = 0, failures = 0;
    std::map<int, long> codes;
    std::map<std::string, long> nulls;
};

// "" when the outcome is sound, else what is wrong with it.
std::string judge(const Case &c, const Outcome &o, Tally &t) {
    if (o.code < 0 || o.code > 2) return "exit code " + std::to_string(o.code);
    if (o.code != 0 && o.err.empty() && o.out.find("\"error\"") == std::string::npos)
        return "exit code " + std::to_string(o.code) + " without a message";
    if (o.code == 0 && (holdsNanText(o.out) || holdsNanText(o.err)))
        return "a NaN or infinity in the output";
    if (c.json && !o.out.empty()) {
        std::istringstream lines(o.out);
        std::string line;
        long n = 0;
        const bool whole = !c.jsonLines && nlohmann::json::accept(o.out);
        if (whole) nullKeys(nlohmann::json::parse(o.out), t.nulls);
        while (!whole && std::getline(lines, line)) {
            ++n;
            if (!nlohmann::json::accept(line))
                return "output line " + std::to_string(n) + " is not JSON: " + shown(line);
            nlohmann::json j = nlohmann::json::parse(line);
            if (c.jsonLines && !j.is_object())
                return "output line " + std::to_string(n) + " is not an object";
            nullKeys(j, t.nulls);
        }
        if (c.jsonLines && o.code != 2 && c.lines && n != c.lines)
            return std::to_string(n) + " answers to " + std::to_string(c.lines) + " lines";
    }
    if (o.code == 0)
        for (const std::string &path : c.outputs) {
            std::error_code ec;
            if (!std::filesystem::is_regular_file(path, ec)) continue;
            const std::string text = slurp(path);
            if (path.size() > 8 && path.compare(path.size() - 8, 8, ".geojson") == 0 &&
                !nlohmann::json::accept(text))
                return path + " is not JSON";
            if (path.size() > 4 && path.compare(path.size() - 4, 4, ".csv") == 0 &&
                holdsNanText(text))
                return path + " holds a NaN";
        }
    return "";
}

void clearOutputs(const Case &c) {
    for (const std::string &path : c.outputs)
        std::remove(path.c_str());
}

} // namespace

int main(int argc, char **argv) {
    std::string only, dir;
    long count = 50, seed = 1, single = -1, limit = 120;
    double seconds = 0; // a CPU budget per command that ends its run early, 0 for none
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i], v = argv[i + 1];
        if (key == "--command")
            only = v;
        else if (key == "--count")
            count = std::atol(v.c_str());
        else if (key == "--seed")
            seed = std::atol(v.c_str());
        else if (key == "--case")
            single = std::atol(v.c_str());
        else if (key == "--limit")
            limit = std::atol(v.c_str());
        else if (key == "--seconds")
            seconds = std::atof(v.c_str());
        else if (key == "--dir")
            dir = v;
        else {
            std::fprintf(stderr, "telvor_fuzz: unknown option %s\n", key.c_str());
            return 2;
        }
    }
    const bool ownDir = dir.empty();
    if (ownDir) {
        char tmpl[] = "/tmp/telvor-fuzz-XXXXXX";
        if (!mkdtemp(tmpl)) return 2;
        dir = tmpl;
    }
    std::filesystem::create_directories(dir + "/frames");
    setenv("TZ", "UTC0", 1);
    setenv("XDG_DATA_HOME", dir.c_str(), 1);
    std::signal(SIGALRM, onAlarm);
    int status = 0;
    bool any = false;
    for (size_t k = 0; k < std::size(kCommands); ++k) {
        const Command &command = kCommands[k];
        if (!only.empty() && only != command.name) continue;
        any = true;
        Tally t;
        const std::clock_t start = std::clock();
        for (long i = single >= 0 ? single : 0; i < (single >= 0 ? single + 1 : count); ++i) {
            std::seed_seq seq{static_cast<unsigned>(seed), static_cast<unsigned>(k),
                              static_cast<unsigned>(i)};
            Rng rng(seq);
            // The log grows with the observe cases; a fresh one now and then keeps score quick.
            if (i % 50 == 0 && std::string(command.name) == "observe")
                std::remove((dir + "/log.sqlite").c_str());
            cleanCase = chance(rng, 50);
            Case c = command.make(rng, dir);
            if (!c.filePath.empty()) std::ofstream(c.filePath, std::ios::binary) << c.file;
            const std::string d = describe(c);
            std::snprintf(currentCase, sizeof currentCase, "%s (seed %ld case %ld)\n%s\n",
                          command.name, seed, i, d.c_str());
            if (single >= 0) std::fprintf(stderr, "%s", currentCase);
            alarm(static_cast<unsigned>(limit));
            const Outcome o = run(c, dir);
            alarm(0);
            ++t.cases, t.lines += c.lines, ++t.codes[o.code];
            const std::string fault = judge(c, o, t);
            if (single >= 0)
                std::fprintf(stderr, "exit %d\nstdout: %s\nstderr: %s\n", o.code,
                             shown(o.out, 4000).c_str(), shown(o.err, 4000).c_str());
            if (!fault.empty()) {
                ++t.failures;
                status = 1;
                std::fprintf(stderr, "FAULT %s: %s\n  stdout: %s\n  stderr: %s\n", currentCase,
                             fault.c_str(), shown(o.out).c_str(), shown(o.err).c_str());
            }
            clearOutputs(c);
            if (seconds > 0 && static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC > seconds)
                break;
        }
        const double cpu = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
        std::printf("%-9s cases %ld, file lines %ld, faults %ld, CPU %.1f s; exit codes",
                    command.name, t.cases, t.lines, t.failures, cpu);
        for (const auto &[code, n] : t.codes)
            std::printf(" %d:%ld", code, n);
        std::printf("; null values");
        for (const auto &[key, n] : t.nulls)
            std::printf(" %s:%ld", key.c_str(), n);
        std::printf("\n");
        std::fflush(stdout);
    }
    if (!any) {
        std::fprintf(stderr, "telvor_fuzz: no command %s\n", only.c_str());
        return 2;
    }
    std::filesystem::remove_all(ownDir ? dir : dir + "/frames");
    return status;
}
