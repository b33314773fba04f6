// The evening map: the almanac's evaluation at every cell of a latitude-longitude grid, at
// each cell's own best time, classified by a crescent criterion.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "almanac/almanac.h"
#include "maps/worldmap.h"

enum class Criterion { Yallop, Odeh, Telvor };

// "yallop", "odeh", "telvor".
const char *criterionName(Criterion c);
// The criterion of a name as above; false when there is none of that name.
bool criterionFromName(const std::string &name, Criterion &c);

// The saver's own visibility test at a place and instant: the engine's visibility code (100
// visible) for the evening of `date`, lat and lon in degrees, jdUt a Julian date (UT). The map
// calls it from its worker threads, so it must be safe to call concurrently (the engine has
// one global record: the caller serialises it).
using TelvorTest = std::function<int(almanac::CivilDate date, double lat, double lon, double jdUt)>;

// One cell's result.
struct MapCell {
    static constexpr int8_t kNone = -1; // no sunset, no moonset, or the Moon sets first
    int8_t cls = kNone;  // 0.. in the order of the criterion's classes (A first; "visible" first)
    float value = 0;     // q (Yallop), V (Odeh) or the engine's code (telvor); unused with kNone
    double bestTime = 0; // Tb, Julian date UT; NaN with kNone
};

// Classes of a criterion: their number, their names ("A".."F"; "A".."D"; "visible", "not")
// and what they mean.
int classCount(Criterion c);
const char *className(Criterion c, int cls);
const char *classMeaning(Criterion c, int cls);
// The picture colour of a class (0x00RRGGBB), distinct from the plain map's colours.
uint32_t classColour(Criterion c, int cls);

// The evaluation of one place on the table's evening: the map's step for each cell, and the
// single-place answer (the same code path, so both agree exactly). `telvor` is needed only for
// Criterion::Telvor.
MapCell evaluateCell(const almanac::EveningTable &table, const almanac::Observer &observer,
                     Criterion c, const TelvorTest &telvor = {});

struct MapRequest {
    almanac::CivilDate date; // the local evening, 1800-01-01..2200-12-31
    Criterion criterion = Criterion::Yallop;
    double step = 0.25; // cell size in degrees; 180 / step must be a whole number
    double height = 0;  // sight height in metres, 0..9999
    int threads = 0;    // 0: one per hardware thread
    TelvorTest telvor;  // for Criterion::Telvor
};

// Whether `step` (degrees) divides 180 into 1..36000 whole cells.
bool validStep(double step);

struct EveningMap {
    almanac::CivilDate date;
    Criterion criterion = Criterion::Yallop;
    double step = 0.25;
    int rows = 0, cols = 0;     // row 0 the southernmost, column 0 the westernmost
    double conjunction = 0;     // the last conjunction before the evenings end, Julian date UT
    std::vector<MapCell> cells; // row 0 first

    double latitude(int row) const { return -90.0 + (row + 0.5) * step; }   // cell centre
    double longitude(int col) const { return -180.0 + (col + 0.5) * step; } // cell centre
    const MapCell &cell(int row, int col) const {
        return cells[size_t(row) * size_t(cols) + size_t(col)];
    }
    // The cell holding a place (degrees), clamped to the grid.
    const MapCell &cellAt(double lat, double lon) const;
};

// Computes the map over the request's grid, rows shared among the threads; progress(rowsDone,
// rows) is called now and then from the calling thread when given.
EveningMap computeEveningMap(const MapRequest &request,
                             const std::function<void(int done, int rows)> &progress = {});

// The picture's title, subtitle and legend for a map.
WorldMapContent eveningMapContent(const EveningMap &map);
// The map's picture in a layout from layoutWorldMap().
Picture drawEveningMap(const EveningMap &map, const WorldMapLayout &layout,
                       const WorldMapContent &content);

// A Julian date (UT) as ISO 8601 with "Z", to the second: 2024-03-10T15:23:45Z.
std::string isoUt(double jdUt);
