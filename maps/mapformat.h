// The evening map's cells as CSV text and its class outlines as GeoJSON text, formatted into
// buffers for the tool to write.
#pragma once

#include <string>

#include "maps/eveningmap.h"

// The CSV's first line, "lat,lon,value,class,bestTime\n".
const char *mapCsvHeader();

// Appends to `out` one CSV line for each cell of rows rowBegin..rowEnd-1 (0 <= rowBegin <=
// rowEnd <= map.rows), row 0 first, west to east: the cell's centre in degrees (%.10g),
// the value (q or V to 4 decimals, the engine's code as an integer), the class name and Tb in
// UT to the second ("2024-03-10T15:23:45Z"); a cell without a crescent reads "lat,lon,,none,".
void appendMapCsvRows(std::string &out, const EveningMap &map, int rowBegin, int rowEnd);

// The GeoJSON FeatureCollection: one MultiPolygon feature per class present, outlined by
// marching squares over the cell centres, coordinates in degrees (%.10g).
std::string mapGeoJson(const EveningMap &map);
