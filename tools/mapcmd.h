// telvor map: the evening map over the world, and the engine's test for the map and calendar.
#pragma once

#include <string>

#include "almanac/almanac.h"
#include "tools/inputs.h"

struct MapCommand {
    Inputs inputs; // date and height
    std::string criterion = "yallop";
    double step = 0.25;
    std::string out, csv, geojson, size;
    int threads = 0;
    std::string markLabel; // a place marked on the picture (UTF-8), when not empty
    double markLat = 0, markLon = 0;
};

// Runs telvor map; returns the exit code (2 for bad options, 1 when a file cannot be written).
int runMapCommand(const MapCommand &command);

// The engine's visibility code at a place (degrees) and instant (Julian date UT, taken to the
// nearest minute), through the saver's unchanged engine; serialised, since the engine keeps one
// global record. Safe to call from any thread. `probability` is the saver's setting, 1..99.
int engineVisibilityCode(double lat, double lon, double jdUt, int height, int probability = 50);
