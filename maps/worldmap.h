// The picture of an evening map: an equirectangular world with the land mask, coloured zones,
// a labelled 30-degree graticule, a title, a legend and the built-in cities.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "maps/picture.h"

// A place drawn on the maps: latitude and longitude in degrees, north and east positive.
struct City {
    const char *name;
    double lat, lon;
    bool labelLeft; // the name is written left of the marker (where the right side is crowded)
};

// Mecca, Cairo, Istanbul, Tehran, Karachi, Jakarta, Kuala Lumpur, Rabat, Lagos, London,
// New York and Rio de Janeiro.
std::span<const City> builtInCities();

// One entry of the legend: a swatch and its text (Latin-1). A swatch with a second colour is
// drawn split in two halves (for the plain map's land and sea).
struct LegendEntry {
    std::string label;
    uint32_t colour;
    uint32_t secondColour;
};

// Height in pixels of the legend when its entries flow in rows across `width` pixels.
int legendHeight(const std::vector<LegendEntry> &entries, int width);
// Draws the legend with its top left at (x, y), flowing across `width` pixels.
void drawLegend(Picture &p, int x, int y, int width, const std::vector<LegendEntry> &entries);

// Colours of the plain map where no zone is drawn, and of its lines.
constexpr uint32_t kLandColour = 0xd9d0bc;
constexpr uint32_t kSeaColour = 0xb4cde0;
constexpr uint32_t kCoastColour = 0x404040;
// What a zone callback returns where the plain map shows.
constexpr uint32_t kNoZone = 0xffffffffu;

struct WorldMapContent {
    std::string title;    // first line, drawn at twice the font size
    std::string subtitle; // second line
    std::vector<LegendEntry> legend;
    bool cities = true;
    // An extra marker (the first place of visibility, say); drawn when `markLabel` is not empty.
    double markLat = 0, markLon = 0;
    std::string markLabel;
};

// Where the parts lie in a picture of a given size.
struct WorldMapLayout {
    int width, height; // the whole picture
    int mapX, mapY;    // top left of the map area
    int mapWidth, mapHeight;
    int legendY; // top of the legend band
    // Picture position of a place (lat -90..90, lon -180..180 degrees); x grows east, y south.
    double xOf(double lon) const { return mapX + (lon + 180.0) / 360.0 * mapWidth; }
    double yOf(double lat) const { return mapY + (90.0 - lat) / 180.0 * mapHeight; }
};

// The layout of a picture width x height with the content's legend; false (and a message) when
// the picture is too small to hold a map of at least 180 x 90 pixels.
bool layoutWorldMap(int width, int height, const WorldMapContent &content, WorldMapLayout &layout,
                    std::string &error);

// The picture size whose map area is mapWidth x mapWidth/2 pixels, with the content's bands.
void naturalWorldMapSize(int mapWidth, const WorldMapContent &content, int &width, int &height);

// Draws the picture. zoneColour(lat, lon) gives the colour of the zone at the centre of each map
// pixel (degrees), or kNoZone for the plain land or sea there.
Picture drawWorldMap(const WorldMapLayout &layout, const WorldMapContent &content,
                     const std::function<uint32_t(double lat, double lon)> &zoneColour);
