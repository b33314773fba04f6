// Composing the evening map's picture: zones over the land mask, graticule, cities, title and
// legend.
#include "maps/worldmap.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "maps/landmask.h"

namespace {

// Coordinates as commonly published for each city centre (degrees, WGS 84).
constexpr City kCities[] = {
    {"Mecca", 21.4225, 39.8262, false},        {"Cairo", 30.0444, 31.2357, true},
    {"Istanbul", 41.0082, 28.9784, true},      {"Tehran", 35.6892, 51.3890, false},
    {"Karachi", 24.8607, 67.0011, false},      {"Jakarta", -6.2088, 106.8456, false},
    {"Kuala Lumpur", 3.1390, 101.6869, false}, {"Rabat", 34.0209, -6.8416, true},
    {"Lagos", 6.5244, 3.3792, false},          {"London", 51.5074, -0.1278, true},
    {"New York", 40.7128, -74.0060, false},    {"Rio de Janeiro", -22.9068, -43.1729, false},
};

constexpr uint32_t kBackground = 0xffffff;
constexpr uint32_t kInk = 0x000000;
constexpr uint32_t kGridColour = 0x6a6a6a;
constexpr int kLeftMargin = 44, kRightMargin = 20;
constexpr int kTitleBand = 62; // two title lines and their spacing
constexpr int kLabelBand = 22; // longitude labels under the map
constexpr int kLegendRow = 20; // one row of legend entries
constexpr int kSwatch = 14;

int entryWidth(const LegendEntry &e) {
    return kSwatch + 6 + textWidth(e.label) + 18;
}

int bandsHeight(const WorldMapContent &content, int width) {
    return kTitleBand + kLabelBand + legendHeight(content.legend, width) + 8;
}

std::string degreeLabel(int value, char positive, char negative) {
    char text[16];
    if (value == 0 || std::abs(value) == 180)
        std::snprintf(text, sizeof text, "%d\xb0", std::abs(value));
    else
        std::snprintf(text, sizeof text, "%d\xb0%c", std::abs(value),
                      value > 0 ? positive : negative);
    return text;
}

} // namespace

std::span<const City> builtInCities() {
    return kCities;
}

int legendHeight(const std::vector<LegendEntry> &entries, int width) {
    int rows = entries.empty() ? 0 : 1, x = 0;
    for (const LegendEntry &e : entries) {
        if (x > 0 && x + entryWidth(e) > width) ++rows, x = 0;
        x += entryWidth(e);
    }
    return rows * kLegendRow;
}

void drawLegend(Picture &p, int x0, int y, int width, const std::vector<LegendEntry> &entries) {
    int x = x0;
    for (const LegendEntry &e : entries) {
        if (x > x0 && x + entryWidth(e) > x0 + width) x = x0, y += kLegendRow;
        fillRect(p, x, y, kSwatch, kSwatch, e.colour);
        if (e.secondColour != e.colour)
            fillRect(p, x + kSwatch / 2, y, kSwatch - kSwatch / 2, kSwatch, e.secondColour);
        strokeRect(p, x - 1, y - 1, kSwatch + 2, kSwatch + 2, kInk);
        drawText(p, x + kSwatch + 6, y + 1, e.label, kInk);
        x += entryWidth(e);
    }
}

bool layoutWorldMap(int width, int height, const WorldMapContent &content, WorldMapLayout &l,
                    std::string &error) {
    const int availableWidth = width - kLeftMargin - kRightMargin;
    const int availableHeight = height - bandsHeight(content, width - 16);
    int mapWidth = std::min(availableWidth, 2 * availableHeight);
    if (mapWidth < 180) {
        error = "the picture is too small for a map (at least " +
                std::to_string(180 + kLeftMargin + kRightMargin) + " x " +
                std::to_string(90 + bandsHeight(content, 180)) + " pixels)";
        return false;
    }
    l.width = width, l.height = height;
    l.mapWidth = mapWidth, l.mapHeight = mapWidth / 2;
    l.mapX = kLeftMargin + (availableWidth - mapWidth) / 2;
    l.mapY = kTitleBand + (availableHeight - l.mapHeight) / 2;
    l.legendY = l.mapY + l.mapHeight + kLabelBand;
    return true;
}

void naturalWorldMapSize(int mapWidth, const WorldMapContent &content, int &width, int &height) {
    width = mapWidth + kLeftMargin + kRightMargin;
    height = mapWidth / 2 + bandsHeight(content, width - 16);
}

Picture drawWorldMap(const WorldMapLayout &l, const WorldMapContent &content,
                     const std::function<uint32_t(double, double)> &zoneColour) {
    Picture p(l.width, l.height, kBackground);

    // Zones over the plain land and sea, sampled at each pixel's centre.
    std::vector<uint8_t> land(size_t(l.mapWidth) * size_t(l.mapHeight));
    for (int y = 0; y < l.mapHeight; ++y) {
        const double lat = 90.0 - (y + 0.5) * 180.0 / l.mapHeight;
        for (int x = 0; x < l.mapWidth; ++x) {
            const double lon = -180.0 + (x + 0.5) * 360.0 / l.mapWidth;
            const bool onLand = isLand(lat, lon);
            land[size_t(y) * l.mapWidth + x] = onLand;
            uint32_t c = zoneColour(lat, lon);
            if (c == kNoZone) c = onLand ? kLandColour : kSeaColour;
            p.set(l.mapX + x, l.mapY + y, c);
        }
    }
    // Coastlines: the land pixels next to the sea.
    for (int y = 0; y < l.mapHeight; ++y)
        for (int x = 0; x < l.mapWidth; ++x) {
            if (!land[size_t(y) * l.mapWidth + x]) continue;
            const bool coast = (x > 0 && !land[size_t(y) * l.mapWidth + x - 1]) ||
                               (x + 1 < l.mapWidth && !land[size_t(y) * l.mapWidth + x + 1]) ||
                               (y > 0 && !land[size_t(y - 1) * l.mapWidth + x]) ||
                               (y + 1 < l.mapHeight && !land[size_t(y + 1) * l.mapWidth + x]);
            if (coast) p.set(l.mapX + x, l.mapY + y, kCoastColour);
        }

    // The graticule every 30 degrees, labelled outside the map.
    const int right = l.mapX + l.mapWidth - 1, bottom = l.mapY + l.mapHeight - 1;
    for (int lat = -60; lat <= 60; lat += 30) {
        const int y = static_cast<int>(std::lround(l.yOf(lat)));
        drawLine(p, l.mapX, y, right, y, kGridColour, 3);
        const std::string text = degreeLabel(lat, 'N', 'S');
        drawText(p, l.mapX - 4 - textWidth(text), y - glyphHeight() / 2, text, kInk);
    }
    for (int lon = -180; lon <= 180; lon += 30) {
        const int x = std::min(static_cast<int>(std::lround(l.xOf(lon))), right);
        if (lon != -180 && lon != 180) drawLine(p, x, l.mapY, x, bottom, kGridColour, 3);
        const std::string text = degreeLabel(lon, 'E', 'W');
        drawText(p, x - textWidth(text) / 2, bottom + 5, text, kInk);
    }
    strokeRect(p, l.mapX - 1, l.mapY - 1, l.mapWidth + 2, l.mapHeight + 2, kInk);

    auto mark = [&](double lat, double lon, const std::string &name, bool left, int radius,
                    uint32_t fill) {
        const int x = static_cast<int>(std::floor(l.xOf(lon)));
        const int y = static_cast<int>(std::floor(l.yOf(lat)));
        drawMarker(p, x, y, radius, fill, kInk);
        const int tx = left ? x - radius - 4 - textWidth(name) : x + radius + 4;
        drawText(p, tx, y - glyphHeight() / 2, name, kInk, 1, true, kBackground);
    };
    if (content.cities)
        for (const City &c : kCities)
            mark(c.lat, c.lon, c.name, c.labelLeft, 2, kBackground);
    if (!content.markLabel.empty())
        mark(content.markLat, content.markLon, content.markLabel, false, 4, 0xff2020);

    drawText(p, kLeftMargin, 6, content.title, kInk, 2);
    drawText(p, kLeftMargin, 6 + 2 * glyphHeight() + 8, content.subtitle, kInk);

    drawLegend(p, 8, l.legendY + 4, l.width - 16, content.legend);
    return p;
}
