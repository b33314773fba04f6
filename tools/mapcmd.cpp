// telvor map: computes the evening map and writes its picture, its cells and its outlines.
#include "tools/mapcmd.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <mutex>

#include <nlohmann/json.hpp>

#include "engine/ephemeris.h"
#include "maps/contours.h"
#include "maps/eveningmap.h"
#include "maps/hijri.h"
#ifndef _WIN32
#include "shell/platform/backend.h" // PixelBuffer (saverrun.h has Windows' own)
#endif
#include "tools/output.h"
#include "tools/saverrun.h"

namespace {

void writeCsv(FILE *f, const EveningMap &map) {
    std::fputs("lat,lon,value,class,bestTime\n", f);
    for (int row = 0; row < map.rows; ++row)
        for (int col = 0; col < map.cols; ++col) {
            const MapCell &c = map.cell(row, col);
            std::fprintf(f, "%.10g,%.10g,", map.latitude(row), map.longitude(col));
            if (c.cls == MapCell::kNone)
                std::fputs(",none,\n", f);
            else if (map.criterion == Criterion::Telvor)
                std::fprintf(f, "%d,%s,%s\n", static_cast<int>(c.value),
                             className(map.criterion, c.cls), isoUt(c.bestTime).c_str());
            else
                std::fprintf(f, "%.4f,%s,%s\n", c.value, className(map.criterion, c.cls),
                             isoUt(c.bestTime).c_str());
        }
}

void writeRing(FILE *f, const Ring &ring) {
    std::fputc('[', f);
    for (size_t k = 0; k < ring.size(); ++k)
        std::fprintf(f, "%s[%.10g,%.10g]", k ? "," : "", ring[k].first, ring[k].second);
    std::fputc(']', f);
}

void writeGeoJson(FILE *f, const EveningMap &map) {
    std::fputs("{\"type\":\"FeatureCollection\",\"features\":[", f);
    std::vector<uint8_t> mask(map.cells.size());
    bool first = true;
    for (int k = 0; k < classCount(map.criterion); ++k) {
        for (size_t i = 0; i < mask.size(); ++i)
            mask[i] = map.cells[i].cls == k;
        const std::vector<RegionPolygon> polygons =
            regionPolygons(map.rows, map.cols, map.step, mask);
        if (polygons.empty()) continue;
        std::fprintf(f,
                     "%s\n{\"type\":\"Feature\",\"properties\":{\"criterion\":\"%s\",\"class\":"
                     "\"%s\",\"meaning\":\"%s\",\"fill\":\"#%06x\"},\"geometry\":{\"type\":"
                     "\"MultiPolygon\",\"coordinates\":[",
                     first ? "" : ",", criterionName(map.criterion), className(map.criterion, k),
                     classMeaning(map.criterion, k), classColour(map.criterion, k));
        first = false;
        for (size_t p = 0; p < polygons.size(); ++p) {
            std::fputs(p ? ",[" : "[", f);
            writeRing(f, polygons[p].outer);
            for (const Ring &h : polygons[p].holes) {
                std::fputc(',', f);
                writeRing(f, h);
            }
            std::fputc(']', f);
        }
        std::fputs("]}}", f);
    }
    std::fputs("\n]}\n", f);
}

} // namespace

int engineVisibilityCode(double lat, double lon, double jdUt, int height) {
    static std::mutex engine;
    const almanac::UtParts t = almanac::splitUt(jdUt + 30.0 / 86400.0); // nearest minute
    Inputs in;
    in.year = t.year, in.month = t.month, in.day = t.day;
    in.minute = t.hour * 60 + t.minute;
    in.zone = 0;
    in.lat = lat, in.lon = lon, in.height = height;
    std::lock_guard<std::mutex> lock(engine);
    loadInputs(in);
    computeMoonPosition();
    return ephemerisState.visibilityCode;
}

int runMapCommand(const MapCommand &c) {
    auto fail = [](int code, const std::string &message) {
        std::fprintf(stderr, "telvor map: %s\n", message.c_str());
        return code;
    };
    MapRequest request;
    request.date = {c.inputs.year, c.inputs.month, c.inputs.day};
    request.height = c.inputs.height;
    if (!criterionFromName(c.criterion, request.criterion))
        return fail(2, "--criterion: '" + c.criterion + "' is not yallop, odeh or telvor");
    if (!validStep(c.step) || c.step < 0.1)
        return fail(2, "--step: not a cell size from 0.1 to 180 degrees that divides 180");
    request.step = c.step;
    if (c.threads < 0 || c.threads > 1024) return fail(2, "--threads: not a count from 0 to 1024");
    request.threads = c.threads;
    if (c.out.empty() && c.csv.empty() && c.geojson.empty())
        return fail(2, "--out FILE.png, --csv FILE or --geojson FILE is needed");
    const int height = c.inputs.height;
    request.telvor = [height](almanac::CivilDate, double lat, double lon, double jd) {
        return engineVisibilityCode(lat, lon, jd, height);
    };

    // The picture's layout first, so that a bad size fails before the work.
    EveningMap empty;
    empty.criterion = request.criterion;
    empty.date = request.date;
    empty.step = request.step;
    empty.conjunction = almanac::julianDateUt(request.date);
    WorldMapContent content = eveningMapContent(empty);
    int width = 0, pictureHeight = 0;
    naturalWorldMapSize(1440, content, width, pictureHeight);
    if (!c.size.empty()) {
        int used = 0;
        if (std::sscanf(c.size.c_str(), "%dx%d%n", &width, &pictureHeight, &used) != 2 ||
            used != static_cast<int>(c.size.size()) || width < 16 || pictureHeight < 16 ||
            width > 8192 || pictureHeight > 8192)
            return fail(2, "--size: '" + c.size + "' is not WxH with each from 16 to 8192");
    }
    WorldMapLayout layout{};
    std::string error;
    if (!c.out.empty() && !layoutWorldMap(width, pictureHeight, content, layout, error))
        return fail(2, "--size: " + error);
    // Paths that cannot be written are refused before the work; each file appears whole.
    std::vector<char> buffer(1 << 20); // the CSV's; outlives the files
    struct Output {
        const char *option;
        const std::string &path;
        WholeFile file;
    } outputs[] = {{"--out", c.out, {}}, {"--csv", c.csv, {}}, {"--geojson", c.geojson, {}}};
    for (Output &o : outputs) {
        if (o.path.empty()) continue;
        const std::string reason = o.file.open(o.path);
        if (!reason.empty())
            return fail(2, std::string(o.option) + ": cannot write " + quoteValue(o.path) + ": " +
                               reason);
    }

    const bool bar = isatty(2);
    const EveningMap map = computeEveningMap(request, [bar](int done, int rows) {
        if (!bar) return;
        const int filled = done * 40 / rows;
        std::fprintf(stderr, "\r[%-40.*s] %3d%%", filled,
                     "########################################", done * 100 / rows);
        if (done == rows) std::fputc('\n', stderr);
    });
    if (!c.out.empty()) {
        content = eveningMapContent(map);
        Picture p = drawEveningMap(map, layout, content);
        if (!writePngTo(outputs[0].file.file(), PixelBuffer{p.width, p.height, p.pixels.data()},
                        error))
            return fail(1, "cannot write " + quoteValue(c.out) + ": " + error);
    }
    if (!c.csv.empty()) {
        std::setvbuf(outputs[1].file.file(), buffer.data(), _IOFBF, buffer.size());
        writeCsv(outputs[1].file.file(), map);
    }
    if (!c.geojson.empty()) writeGeoJson(outputs[2].file.file(), map);
    for (Output &o : outputs) {
        if (o.path.empty()) continue;
        const std::string reason = o.file.commit();
        if (!reason.empty()) return fail(1, "cannot write " + quoteValue(o.path) + ": " + reason);
    }
    return 0;
}

namespace {

std::string isoDate(almanac::CivilDate d) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year, d.month, d.day);
    return text;
}

// The conjunction to the minute: 2024-03-10T09:00Z.
std::string isoMinute(double jd) {
    const almanac::UtParts u = almanac::splitUt(jd + 30.0 / 86400.0);
    char text[24];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02dZ", u.year, u.month, u.day, u.hour,
                  u.minute);
    return text;
}

} // namespace

int runCalendarCommand(const CalendarCommand &c) {
    auto fail = [](const std::string &message) {
        std::fprintf(stderr, "telvor calendar: %s\n", message.c_str());
        return 2;
    };
    MonthTableRequest r;
    // Hijri years whose months all fall within 1901..2099.
    if (c.year < 1320 || c.year > 1520) return fail("--year: not a Hijri year from 1320 to 1520");
    r.hijriYear = c.year;
    if (!monthRuleFromName(c.rule, r.rule))
        return fail("--rule: '" + c.rule +
                    "' is not yallop, odeh, telvor, umm-al-qura or conjunction");
    if (!validStep(c.step) || c.step < 0.25)
        return fail("--step: not a cell size from 0.25 to 180 degrees that divides 180");
    if (c.threads < 0 || c.threads > 1024) return fail("--threads: not a count from 0 to 1024");
    r.step = c.step;
    r.threads = c.threads;
    r.hasPlace = c.placeGiven;
    r.place = {c.inputs.lat, c.inputs.lon, static_cast<double>(c.inputs.height)};
    const int height = c.inputs.height;
    r.telvor = [height](almanac::CivilDate, double lat, double lon, double jd) {
        return engineVisibilityCode(lat, lon, jd, height);
    };
    const std::vector<MonthRow> rows = hijriMonthTable(r);

    if (c.json) {
        nlohmann::ordered_json j;
        j["hijriYear"] = c.year;
        j["rule"] = c.rule;
        j["months"] = nlohmann::ordered_json::array();
        for (const MonthRow &m : rows) {
            nlohmann::ordered_json o;
            o["hijriMonth"] = m.hijriMonth;
            o["conjunction"] = isoMinute(m.conjunction);
            if (m.visibleAnywhere)
                o["firstVisibleAnywhere"] = {{"date", isoDate(m.anywhereEvening)},
                                             {"lat", m.anywhereLat},
                                             {"lon", m.anywhereLon}};
            else
                o["firstVisibleAnywhere"] = nullptr;
            if (m.visibleHere)
                o["firstVisibleHere"] = isoDate(m.hereEvening);
            else
                o["firstVisibleHere"] = nullptr;
            o["firstDay"] = isoDate(m.firstDay);
            j["months"].push_back(o);
        }
        std::puts(j.dump().c_str());
        return 0;
    }
    std::printf("Hijri year %d, rule %s%s\n", c.year, c.rule.c_str(),
                c.placeGiven ? "" : " (no place given)");
    std::printf("month  conjunction (UT)   first visible anywhere          %sfirst day\n",
                c.placeGiven ? "here        " : "");
    for (const MonthRow &m : rows) {
        char anywhere[64] = "not within 6 evenings";
        if (m.visibleAnywhere)
            std::snprintf(anywhere, sizeof anywhere, "%s at %5.1f, %6.1f",
                          isoDate(m.anywhereEvening).c_str(), m.anywhereLat, m.anywhereLon);
        std::printf("%5d  %-17s  %-30s  ", m.hijriMonth, isoMinute(m.conjunction).c_str(),
                    anywhere);
        if (c.placeGiven)
            std::printf("%-10s  ", m.visibleHere ? isoDate(m.hereEvening).c_str() : "-");
        std::printf("%s\n", isoDate(m.firstDay).c_str());
    }
    return 0;
}
