// The evening map over the world grid, its classes and its picture.
#include "maps/eveningmap.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "maps/rows.h"

namespace {

struct ClassInfo {
    const char *name;
    const char *meaning;
    uint32_t colour;
};

// Yallop, NAO Technical Note 69 (1997), table of q classes.
constexpr ClassInfo kYallop[] = {
    {"A", "easily visible (q > +0.216)", 0x1e9e3a},
    {"B", "visible in perfect conditions", 0x9fd13c},
    {"C", "may need optical aid", 0xf2e03a},
    {"D", "will need optical aid", 0xf29a2e},
    {"E", "not visible with a telescope", 0xe0443c},
    {"F", "not visible, below the Danjon limit", 0x8e7f9c},
};
// Odeh, Experimental Astronomy 18, 39-64 (2004), zones of V.
constexpr ClassInfo kOdeh[] = {
    {"A", "visible by naked eye (V >= 5.65)", 0x1e9e3a},
    {"B", "optical aid, may be naked eye", 0xf2e03a},
    {"C", "optical aid only", 0xf29a2e},
    {"D", "not visible even with optical aid", 0x8e7f9c},
};
constexpr ClassInfo kTelvor[] = {
    {"visible", "the saver's test succeeds (code 100)", 0x1e9e3a},
    {"not", "the saver's test fails", 0x8e7f9c},
};

const ClassInfo &info(Criterion c, int cls) {
    switch (c) {
    case Criterion::Yallop:
        return kYallop[cls];
    case Criterion::Odeh:
        return kOdeh[cls];
    case Criterion::Telvor:
        break;
    }
    return kTelvor[cls];
}

std::string formatUt(double jd, bool seconds) {
    const almanac::UtParts u = almanac::splitUt(jd);
    char text[40];
    if (seconds)
        std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", u.year, u.month, u.day,
                      u.hour, u.minute, u.second);
    else {
        const almanac::UtParts m = almanac::splitUt(jd + 30.0 / 86400.0); // to the nearest minute
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d UT", m.year, m.month, m.day,
                      m.hour, m.minute);
    }
    return text;
}

} // namespace

const char *criterionName(Criterion c) {
    switch (c) {
    case Criterion::Yallop:
        return "yallop";
    case Criterion::Odeh:
        return "odeh";
    case Criterion::Telvor:
        break;
    }
    return "telvor";
}

bool criterionFromName(const std::string &name, Criterion &c) {
    for (Criterion k : {Criterion::Yallop, Criterion::Odeh, Criterion::Telvor})
        if (name == criterionName(k)) {
            c = k;
            return true;
        }
    return false;
}

int classCount(Criterion c) {
    switch (c) {
    case Criterion::Yallop:
        return 6;
    case Criterion::Odeh:
        return 4;
    case Criterion::Telvor:
        break;
    }
    return 2;
}

const char *className(Criterion c, int cls) {
    return cls < 0 || cls >= classCount(c) ? "none" : info(c, cls).name;
}
const char *classMeaning(Criterion c, int cls) {
    return info(c, cls).meaning;
}
uint32_t classColour(Criterion c, int cls) {
    return info(c, cls).colour;
}

MapCell evaluateCell(const almanac::EveningTable &table, const almanac::Observer &observer,
                     Criterion c, const TelvorTest &telvor) {
    MapCell cell;
    const almanac::Sighting s = almanac::evaluateCrescent(table, observer);
    if (!s.hasCrescent) {
        cell.bestTime = NAN;
        return cell;
    }
    cell.bestTime = s.bestTime;
    switch (c) {
    case Criterion::Yallop:
        cell.value = static_cast<float>(s.crescent.q);
        cell.cls = static_cast<int8_t>(s.crescent.yallopClass - 'A');
        break;
    case Criterion::Odeh:
        cell.value = static_cast<float>(s.crescent.V);
        cell.cls = static_cast<int8_t>(s.crescent.odehZone - 'A');
        break;
    case Criterion::Telvor: {
        const int code =
            telvor(table.date(), observer.place.latitude, observer.place.longitude, s.bestTime);
        cell.value = static_cast<float>(code);
        cell.cls = code == 100 ? 0 : 1;
        break;
    }
    }
    return cell;
}

bool validStep(double step) {
    if (!(step > 0) || step > 180) return false;
    const double n = 180.0 / step;
    return std::fabs(n - std::round(n)) < 1e-9 * n && std::round(n) <= 36000;
}

const MapCell &EveningMap::cellAt(double lat, double lon) const {
    const int row = std::clamp(static_cast<int>(std::floor((lat + 90.0) / step)), 0, rows - 1);
    const int col = std::clamp(static_cast<int>(std::floor((lon + 180.0) / step)), 0, cols - 1);
    return cell(row, col);
}

EveningMap computeEveningMap(const MapRequest &r, const std::function<void(int, int)> &progress) {
    EveningMap map;
    map.date = r.date;
    map.criterion = r.criterion;
    map.step = r.step;
    map.rows = static_cast<int>(std::lround(180.0 / r.step));
    map.cols = 2 * map.rows;
    map.cells.resize(size_t(map.rows) * size_t(map.cols));
    const almanac::EveningTable table(r.date);
    map.conjunction = table.conjunctionBefore(almanac::julianDateUt(r.date, 36.0));
    if (std::isnan(map.conjunction))
        map.conjunction = almanac::conjunctionBefore(almanac::julianDateUt(r.date, 36.0));
    forEachRow(
        map.rows, r.threads,
        [&](int row) {
            MapCell *out = &map.cells[size_t(row) * size_t(map.cols)];
            for (int col = 0; col < map.cols; ++col) {
                const almanac::Place place{map.latitude(row), map.longitude(col), r.height};
                out[col] = evaluateCell(table, almanac::observerOf(place), r.criterion, r.telvor);
            }
        },
        [&](int done) {
            if (progress) progress(done, map.rows);
        });
    return map;
}

WorldMapContent eveningMapContent(const EveningMap &map) {
    static const char *const kTitles[] = {"Yallop's q", "Odeh's V", "the TELVOR saver's test"};
    static const char *const kMonths[] = {"January",   "February", "March",    "April",
                                          "May",       "June",     "July",     "August",
                                          "September", "October",  "November", "December"};
    WorldMapContent content;
    char text[200];
    std::snprintf(text, sizeof text, "Crescent visibility, evening of %d %s %d: %s", map.date.day,
                  kMonths[map.date.month - 1], map.date.year,
                  kTitles[static_cast<int>(map.criterion)]);
    content.title = text;
    std::snprintf(text, sizeof text,
                  "At each place's best time Tb = sunset + 4/9 lag (local evening).  "
                  "Conjunction %s.  Grid %g\xb0.",
                  formatUt(map.conjunction, false).c_str(), map.step);
    content.subtitle = text;
    for (int k = 0; k < classCount(map.criterion); ++k) {
        const std::string label =
            map.criterion == Criterion::Telvor
                ? std::string(classMeaning(map.criterion, k))
                : std::string(className(map.criterion, k)) + ": " + classMeaning(map.criterion, k);
        const uint32_t c = classColour(map.criterion, k);
        content.legend.push_back({label, c, c});
    }
    content.legend.push_back({"no sunset, or the Moon sets first", kLandColour, kSeaColour});
    return content;
}

Picture drawEveningMap(const EveningMap &map, const WorldMapLayout &layout,
                       const WorldMapContent &content) {
    return drawWorldMap(layout, content, [&](double lat, double lon) {
        const MapCell &c = map.cellAt(lat, lon);
        return c.cls == MapCell::kNone ? kNoZone : classColour(map.criterion, c.cls);
    });
}

// The UT instant as ISO 8601 to the second, for the writers.
std::string isoUt(double jd) {
    return formatUt(jd, true);
}
