// The sky chart: the western sky after sunset (or the eastern sky before sunrise) with the Sun,
// the crescent Moon, the scales and a caption of the crescent criteria, drawn with Cairo and
// Pango.
//
// No global state, no I/O: every function may be called from any number of threads at once
// (each drawing makes its own Cairo surface and Pango layout; Pango's font map is per thread).
// Conventions:
// - Angles are degrees; altitudes are airless and topocentric (as the almanac gives them),
//   azimuths run from north through east, 0..360.
// - The chart is a plate carree of the horizon: the same number of pixels per degree along the
//   horizon and up the vertical, azimuth growing to the right, altitude upward.
// - Pixels are 32-bit words 0x00RRGGBB, top row first (the layout the tool's PNG writer takes).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "almanac/almanac.h"

namespace sky {

// Where the chart's degrees fall on its pixels.
struct Layout {
    int width = 0, height = 0;     // the whole picture, pixels
    int plotLeft = 0, plotTop = 0; // the sky and ground area, pixels
    int plotWidth = 0, plotHeight = 0;
    int captionTop = 0;         // first row of the caption strip below the plot
    double fontPixels = 12;     // the caption's text size
    double pixelsPerDegree = 1; // along both axes
    double centreAzimuth = 270; // degrees, at the plot's horizontal middle
    double altitudeTop = 30;    // degrees at the plot's top edge
    double altitudeBottom = -6; // degrees at the plot's bottom edge (below the horizon)
    int magnification = 1;      // the Moon is drawn this many times its true size
};

// A point on the picture, pixels (x to the right, y down), fractional.
struct Point {
    double x = 0, y = 0;
};

// The layout of a width x height picture (each 160..8192) that shows the Sun and the Moon at
// the given altitudes and azimuths: about 60 degrees of azimuth centred between them (more
// when they stand farther apart), 0..30 degrees of altitude (more when the Moon stands higher)
// over a strip of ground, and the Moon magnified by a whole factor so that it reads (its true
// semi-diameter in degrees given). The caption's strip takes `captionLines` lines at the bottom.
Layout layoutChart(int width, int height, almanac::Horizontal sun, almanac::Horizontal moon,
                   double moonSemiDiameter, int captionLines = 5);
// The layout for an evening that has no Sun and Moon to frame: 60 degrees of azimuth centred on
// `centreAzimuth` (270 west, 90 east).
Layout layoutEmpty(int width, int height, double centreAzimuth, int captionLines = 5);

// The pixel of an altitude and azimuth (degrees) on the layout; azimuths are taken within 180
// degrees of the centre. Points outside the plot are returned as they fall.
Point toPixel(const Layout &layout, double altitude, double azimuth);
// The row of the horizon (altitude 0).
double horizonRow(const Layout &layout);

// The twilight the Sun's airless altitude (degrees) puts the sky in.
enum class Twilight { Day, Civil, Nautical, Astronomical, Night };
Twilight twilightOf(double sunAltitude);
// "day", "civil twilight", "nautical twilight", "astronomical twilight", "night".
const char *twilightName(Twilight t);
// The sky's colour at an altitude (degrees, 0 horizon .. 90) for the Sun's airless altitude:
// keyed colours for day, civil, nautical and astronomical twilight and night, blended between
// the keys; a picture of the twilight, not a model of the sky's brightness.
uint32_t skyColour(double sunAltitude, double altitude);

// Everything one chart shows.
struct ChartInput {
    std::string place;             // the place's name or its coordinates, UTF-8
    almanac::Place where;          // latitude, longitude, height
    int zoneMinutes = 0;           // local time minus UT, for the times shown
    almanac::CivilDate date;       // the local date of the evening (or morning)
    bool morning = false;          // the eastern sky before sunrise, the old crescent
    almanac::Sighting evening;     // without `morning`: the evening's state, events, conjunction
    almanac::Dawn dawn;            // with `morning`: the morning's state, events, conjunction
    almanac::ViewingWindow window; // Odeh's V at or above his zone B's limit between the events
    double instant = NAN;          // the Julian date (UT) drawn; NaN when there is none
    bool bestTime = false;         // the instant is the evening's (morning's) best time
    almanac::MoonDisc disc;        // at `instant`
    almanac::Crescent crescent;    // at `instant`
};

// The input for an instant (Julian date UT) of the evening evaluated in `evening` at a place,
// its viewing window included.
ChartInput chartInputAt(const almanac::EveningTable &table, const almanac::Observer &observer,
                        const almanac::Sighting &evening, double instant);
// The same for the morning evaluated in `morning` (almanac::evaluateMorning()).
ChartInput chartInputAt(const almanac::EveningTable &table, const almanac::Observer &observer,
                        const almanac::Dawn &morning, double instant);

// The caption's lines (UTF-8, Pango markup): the place, the local time and which sky it is
// (evening and west, or morning and east), the Moon's altitude and azimuth and the criteria's
// quantities, the Moon's age (or the hours to the new moon), Yallop's class and Odeh's zone with
// their meanings, the events, the lag and the viewing window, and how it is drawn. Evenings and
// mornings without a crescent say why. At most 5 lines.
std::vector<std::string> captionLines(const ChartInput &input, const Layout &layout);
// What the chart says across its sky when there is no crescent to show ("" when there is).
std::string noticeOf(const ChartInput &input);

// A drawn chart.
struct Image {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels; // 0x00RRGGBB, top row first
};

// Draws the chart of `input` on `layout`: the sky coloured by the Sun's depression, the ground
// and horizon, the scales with the compass points, the Sun (marked below the horizon), the Moon
// as its crescent (lit fraction and tilt from the almanac's MoonDisc, magnified, its true size
// outlined), a notice when there is no crescent, and the caption. About 1 ms of CPU at 960x640.
Image drawChart(const ChartInput &input, const Layout &layout);

// The instants of one picture per minute from sunset to moonset (Julian dates UT), empty when
// the evening has no sunset or moonset or the Moon sets first.
std::vector<double> minutesOfEvening(const almanac::Sighting &evening);
// The instants of one picture per minute from moonrise to sunrise (Julian dates UT), empty when
// the morning has no sunrise or moonrise or the Moon rises after the Sun.
std::vector<double> minutesOfMorning(const almanac::Dawn &morning);

} // namespace sky
