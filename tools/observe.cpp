// telvor observe: records one observation in the log, imports a CSV file of them, lists the log.
#include "tools/observe.h"

#include "tools/placeopts.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include <nlohmann/json.hpp>

#include "obslog/log.h"
#include "tools/inputs.h"
#include "tools/jsonout.h"
#include "tools/output.h"
#include "tools/placeopts.h"

namespace {

int report(const Subcommand &sub, int code, const std::string &message) {
    printError(std::string("telvor ") + sub.name, message);
    return code;
}

std::string isoDate(const almanac::CivilDate &d) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", d.year, d.month, d.day);
    return buf;
}

// A text on one line: line breaks and other control characters escaped.
std::string oneLine(const std::string &text) {
    const std::string q = quoteValue(text);
    return q.substr(1, q.size() - 2);
}

std::string listText(const std::vector<obslog::Observation> &records) {
    std::string out;
    char line[256];
    std::snprintf(line, sizeof line, "%6s  %-10s  %9s  %10s  %6s  %5s  %5s  %-10s  %-13s  %s\n",
                  "id", "date", "lat", "lon", "height", "time", "zone", "result", "sky",
                  "observer / note");
    out += line;
    for (const obslog::Observation &o : records) {
        char time[16] = "-", zone[16] = "-";
        if (o.minute >= 0)
            std::snprintf(time, sizeof time, "%02d:%02d", o.minute / 60, o.minute % 60);
        if (o.zoneKnown) std::snprintf(zone, sizeof zone, "%d", o.zone);
        std::snprintf(line, sizeof line,
                      "%6lld  %-10s  %9.4f  %10.4f  %6.0f  %5s  %5s  %-10s  %-13s  ",
                      static_cast<long long>(o.id), isoDate(o.date).c_str(), o.place.latitude,
                      o.place.longitude, o.place.height, time, zone, obslog::resultName(o.result),
                      o.sky == obslog::Sky::Unknown ? "-" : obslog::skyName(o.sky));
        out += line + oneLine(o.observer) + (o.note.empty() ? "" : " / " + oneLine(o.note)) + "\n";
    }
    return out;
}

nlohmann::ordered_json recordJson(const obslog::Observation &o) {
    nlohmann::ordered_json j;
    j["id"] = o.id;
    j["date"] = isoDate(o.date);
    j["lat"] = o.place.latitude;
    j["lon"] = o.place.longitude;
    j["height"] = o.place.height;
    if (o.minute >= 0) {
        char time[16];
        std::snprintf(time, sizeof time, "%02d:%02d", o.minute / 60, o.minute % 60);
        j["time"] = time;
    } else
        j["time"] = nullptr;
    j["zone"] = o.zoneKnown ? nlohmann::ordered_json(o.zone) : nlohmann::ordered_json(nullptr);
    j["result"] = obslog::resultName(o.result);
    j["sky"] = o.sky == obslog::Sky::Unknown ? nlohmann::ordered_json(nullptr)
                                             : nlohmann::ordered_json(obslog::skyName(o.sky));
    j["observer"] = o.observer;
    j["note"] = o.note;
    return j;
}

std::string listJson(const std::vector<obslog::Observation> &records) {
    std::string out = "[";
    for (size_t i = 0; i < records.size(); ++i)
        out +=
            std::string(i ? ",\n " : "\n ") +
            recordJson(records[i]).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    return out + (records.empty() ? "]\n" : "\n]\n");
}

// The whole of a file, or the reason it cannot be read.
std::string readWhole(const std::string &path, std::string &text) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) return "is a folder, not a file";
    errno = 0;
    FILE *f = path == "-" ? stdin : std::fopen(path.c_str(), "rb");
    if (!f) return systemError(errno ? errno : ENOENT);
    char buf[1 << 16];
    size_t got;
    while ((got = std::fread(buf, 1, sizeof buf, f)) > 0)
        text.append(buf, got);
    const bool bad = std::ferror(f);
    if (f != stdin) std::fclose(f);
    return bad ? systemError(EIO) : "";
}

} // namespace

std::string placeFromOptions(const Given &given, almanac::Place &place, bool required,
                             ResolvedPlace *where) {
    ResolvedPlace resolved;
    std::string error =
        resolvePlaceOptions(given, required ? PlaceNeed::Required : PlaceNeed::Optional, resolved);
    if (!error.empty()) return error;
    if (resolved.given) place.latitude = resolved.lat, place.longitude = resolved.lon;
    long height = 0;
    if (given.has("height")) {
        error = parseInteger("height", given.value("height"), height);
        place.height = static_cast<double>(height);
    }
    if (where) *where = std::move(resolved);
    return error;
}

std::string logPathFromOptions(const Given &given, std::string &error) {
    if (given.has("db")) {
        if (given.value("db").empty()) error = "--db: '' names no file";
        return given.value("db");
    }
    std::string path = obslog::defaultLogPath();
#ifdef _WIN32
    if (path.empty()) error = "no --db FILE, and APPDATA names no folder";
#else
    if (path.empty()) error = "no --db FILE, and neither XDG_DATA_HOME nor HOME names a folder";
#endif
    return path;
}

int runObserveCommand(const Subcommand &sub, const Given &given) {
    const bool list = given.has("list"), import = given.has("import");
    static const char *const kRecordOptions[] = {"date", "lat",    "lon", "height",   "time",
                                                 "zone", "result", "sky", "observer", "note"};
    if (list && import) return report(sub, 2, "--list and --import: use one of them");
    if (list || import)
        for (const char *name : kRecordOptions)
            if (given.has(name))
                return report(sub, 2,
                              std::string("--") + name +
                                  " describes one observation; it goes "
                                  "neither with --list nor with --import");
    if (given.has("format") && !list) return report(sub, 2, "--format goes with --list");
    if (given.has("skip-bad") && !import) return report(sub, 2, "--skip-bad goes with --import");
    // Recording answers with one line of text; JSON was asked for and would not come.
    if (given.has("json") && !list)
        return report(sub, 2, "--json goes with --list (the log's records as JSON)");
    std::string error;
    const std::string path = logPathFromOptions(given, error);
    if (!error.empty()) return report(sub, 2, error);

    if (list) {
        std::string format = given.has("format") ? given.value("format") : "text";
        if (given.has("json")) format = "json";
        if (format != "text" && format != "csv" && format != "json")
            return report(sub, 2, "--format: " + quoteValue(format) + " is not text, csv or json");
        obslog::Log log;
        error = log.open(path, obslog::Log::Mode::Read);
        if (!error.empty()) return report(sub, 2, error);
        std::vector<obslog::Observation> records;
        error = log.list(records);
        if (!error.empty()) return report(sub, 1, error);
        std::string out;
        if (format == "csv") {
            out = obslog::csvHeader();
            for (const obslog::Observation &o : records)
                out += obslog::csvLine(o);
        } else
            out = format == "json" ? listJson(records) : listText(records);
        writeOutput(out);
        return 0;
    }

    std::vector<obslog::Observation> records;
    if (import) {
        const std::string file = given.value("import");
        if (file.empty()) return report(sub, 2, "--import: '' names no file");
        std::string text;
        error = readWhole(file, text);
        if (!error.empty())
            return report(sub, 2, "--import: cannot read " + quoteValue(file) + ": " + error);
        obslog::CsvContent csv = obslog::parseCsv(text);
        for (const obslog::CsvError &e : csv.errors)
            printError("telvor observe", file + ":" + std::to_string(e.line) + ": " + e.reason);
        if (!csv.errors.empty() && (!given.has("skip-bad") || csv.records.empty()))
            return report(sub, 1,
                          "nothing imported: " + std::to_string(csv.errors.size()) + " bad " +
                              (csv.errors.size() == 1 ? "line" : "lines") + " in " +
                              quoteValue(file));
        records = std::move(csv.records);
    } else {
        obslog::Observation o;
        if (!given.has("date"))
            return report(sub, 2, "--date YYYY-MM-DD is needed (the evening's local date)");
        if (!given.has("result"))
            return report(sub, 2,
                          "--result is needed: naked-eye, binoculars, telescope, camera or "
                          "not-seen");
        Inputs in;
        error = setInput(in, "date", given.value("date"));
        o.date = {in.year, in.month, in.day};
        ResolvedPlace where;
        if (error.empty()) error = placeFromOptions(given, o.place, true, &where);
        if (error.empty() && given.has("time")) {
            error = setInput(in, "time", given.value("time"));
            if (error.empty() && in.minute > 1439)
                error = "--time: " + quoteValue(given.value("time")) +
                        " is not a local time from "
                        "00:00 to 23:59";
            o.minute = in.minute;
        }
        if (error.empty() && given.has("zone")) {
            error = setInput(in, "zone", given.value("zone"));
            o.zone = in.zone, o.zoneKnown = true;
        } else if (error.empty() && (given.has("place") || given.has("tz"))) {
            // The clock of the place (or --tz) at the local time given, else that evening.
            const double hours =
                (given.has("time") ? o.minute / 60.0 : 18.0) - o.place.longitude / 15.0;
            o.zone = where.offsetAt(almanac::julianDateUt(o.date, hours));
            o.zoneKnown = true;
        }
        if (error.empty() && !obslog::resultFromName(given.value("result"), o.result))
            error = "--result: " + quoteValue(given.value("result")) +
                    " is not naked-eye, binoculars, telescope, camera or not-seen";
        if (error.empty() && given.has("sky") &&
            (given.value("sky").empty() || !obslog::skyFromName(given.value("sky"), o.sky)))
            error = "--sky: " + quoteValue(given.value("sky")) +
                    " is not clear, hazy, partly-cloudy or cloudy";
        if (given.has("observer")) o.observer = given.value("observer");
        if (given.has("note")) o.note = given.value("note");
        if (error.empty()) error = obslog::checkObservation(o);
        if (!error.empty()) return report(sub, 2, error);
        records.push_back(std::move(o));
    }

    // The default log's folder is made when missing; a --db file's folder must exist.
    if (!given.has("db")) {
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
        if (ec)
            return report(sub, 2,
                          "cannot make the log's folder for " + quoteValue(path) + ": " +
                              ec.message());
    }
    obslog::Log log;
    error = log.open(path, obslog::Log::Mode::Write);
    if (!error.empty()) return report(sub, 2, error);
    error = log.insert(records);
    if (!error.empty()) return report(sub, 1, error);
    if (import)
        writeOutput("imported " + std::to_string(records.size()) +
                    (records.size() == 1 ? " observation into " : " observations into ") +
                    quoteValue(path) + "\n");
    else
        writeOutput("recorded observation " + std::to_string(records[0].id) + " in " +
                    quoteValue(path) + "\n");
    return 0;
}
