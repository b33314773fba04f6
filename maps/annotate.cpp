// Annotating the saver's picture with a legend strip and the first visible place.
#include "maps/annotate.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "maps/worldmap.h"

namespace {

// The saver's colours as they come out of its merging of the zone overlay into the map
// (0x00RRGGBB).
constexpr uint32_t kMagenta = 0xff00ff, kPurple = 0x800080, kRed = 0xff0000, kDarkRed = 0x800000,
                   kWhite = 0xffffff, kPaleCyan = 0x80ffff, kLightGreen = 0x80ff80,
                   kBlue = 0x0000ff;

std::vector<LegendEntry> saverLegend(bool cumulative) {
    std::vector<LegendEntry> l = {{"land", kMagenta, kMagenta}, {"sea", kPurple, kPurple}};
    if (cumulative) {
        l.push_back({"visible at the last minute drawn (land / sea)", kRed, kDarkRed});
        l.push_back({"visible earlier that evening, land", kWhite, kWhite});
        l.push_back({"visible earlier, sea", kPaleCyan, kPaleCyan});
    } else {
        l.push_back({"visible at the minute shown, land", kWhite, kWhite});
        l.push_back({"visible at the minute shown, sea", kLightGreen, kLightGreen});
    }
    l.push_back({"blue line: the date line, 180\xb0", kBlue, kBlue});
    return l;
}

std::string placeText(const SaverFrameFacts &f) {
    char text[160];
    const int zone = std::abs(f.zoneMinutes);
    std::snprintf(text, sizeof text,
                  "First visible at %.1f\xb0%c %.1f\xb0%c, %02d:%02d local time (UT%c%02d:%02d)",
                  std::fabs(f.lat), f.lat >= 0 ? 'N' : 'S', std::fabs(f.lon),
                  f.lon >= 0 ? 'E' : 'W', f.minute / 60, f.minute % 60,
                  f.zoneMinutes < 0 ? '-' : '+', zone / 60, zone % 60);
    return text;
}

} // namespace

void saverFramePosition(const Picture &frame, const SaverFrameFacts &f, double lat, double lon,
                        int &x, int &y) {
    // Canvas column X shows longitude X - offset - 720 in minutes of time; row R latitude R/4-90.
    double column = std::fmod(lon * 4.0 + f.mapColumnOffset + 720.0, 1440.0);
    if (column < 0) column += 1440.0;
    const double canvasY = 720.0 - (lat + 90.0) * 4.0;
    x = static_cast<int>(std::floor(column * frame.width / 1440.0));
    y = f.bandHeight +
        static_cast<int>(std::floor(canvasY * (frame.height - f.bandHeight) / 720.0));
}

Picture annotateSaverFrame(const Picture &frame, const SaverFrameFacts &f) {
    const std::vector<LegendEntry> legend = saverLegend(f.cumulative);
    const int textRows = f.found ? 2 : 1;
    const int strip =
        8 + textRows * (glyphHeight() + 5) + legendHeight(legend, frame.width - 16) + 4;
    Picture p(frame.width, frame.height + strip, 0xffffff);
    std::copy(frame.pixels.begin(), frame.pixels.end(), p.pixels.begin());

    int y = frame.height + 8;
    std::string date = "Evening of " + f.evening + " (local date)";
    if (!f.found) date += ": no visible place found";
    drawText(p, 8, y, date, 0x000000);
    y += glyphHeight() + 5;
    if (f.found) {
        drawText(p, 8, y, placeText(f), 0x000000);
        y += glyphHeight() + 5;
        int x = 0, my = 0;
        saverFramePosition(frame, f, f.lat, f.lon, x, my);
        // A ring that shows on every map colour, and a short label.
        drawMarker(p, x, my, 4, 0x00ff00, 0x000000);
        char label[16];
        std::snprintf(label, sizeof label, "%02d:%02d", f.minute / 60, f.minute % 60);
        const int lx = std::min(x + 8, frame.width - textWidth(label) - 2);
        drawText(p, lx, std::max(my - glyphHeight() / 2, f.bandHeight), label, 0x000000, 1, true,
                 0xffffff);
    }
    drawLegend(p, 8, y + 2, frame.width - 16, legend);
    return p;
}
