// The sky chart's geometry, caption and drawing (Cairo for the shapes, Pango for the text).
#include "sky/sky.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include <cairo.h>
#include <pango/pangocairo.h>

#include "maps/eveningmap.h"

namespace sky {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDeg = kPi / 180;

double wrap180(double a) {
    return a - 360.0 * std::floor((a + 180.0) / 360.0);
}
double wrap360(double a) {
    return a - 360.0 * std::floor(a / 360.0);
}

// The caption's text size and line height for a picture width.
double fontPixelsFor(int width, int height) {
    return std::clamp(std::min(width / 70.0, height / 40.0), 8.0, 40.0);
}
int captionHeight(double fontPixels, int lines) {
    return static_cast<int>(std::ceil(fontPixels * (1.45 * lines + 1.0)));
}

// The plot shows `altitudeSpan` degrees above the horizon and `groundSpan` below it.
Layout frame(int width, int height, double centre, double azimuthSpan, double altitudeSpan,
             double groundSpan, int captionLines) {
    Layout l;
    l.width = width, l.height = height;
    l.fontPixels = fontPixelsFor(width, height);
    l.captionTop = std::max(height / 2, height - captionHeight(l.fontPixels, captionLines));
    l.plotLeft = static_cast<int>(std::ceil(l.fontPixels * 3.2)); // the altitude labels
    l.plotTop = 0;
    l.plotWidth = std::max(1, width - l.plotLeft);
    l.plotHeight = std::max(1, l.captionTop);
    // The same scale on both axes; the spans asked for fit, the other one grows.
    const double groundShare = groundSpan / (groundSpan + altitudeSpan);
    l.pixelsPerDegree =
        std::min(l.plotWidth / azimuthSpan, l.plotHeight * (1 - groundShare) / altitudeSpan);
    l.altitudeTop = l.plotHeight * (1 - groundShare) / l.pixelsPerDegree;
    l.altitudeBottom = -l.plotHeight * groundShare / l.pixelsPerDegree;
    l.centreAzimuth = wrap360(centre);
    return l;
}

uint32_t mix(uint32_t a, uint32_t b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        const double ca = (a >> shift) & 0xff, cb = (b >> shift) & 0xff;
        out |= static_cast<uint32_t>(std::lround(ca + (cb - ca) * t)) << shift;
    }
    return out;
}

void setColour(cairo_t *cr, uint32_t c, double alpha = 1) {
    cairo_set_source_rgba(cr, ((c >> 16) & 0xff) / 255.0, ((c >> 8) & 0xff) / 255.0,
                          (c & 0xff) / 255.0, alpha);
}

// Local clock time of a Julian date (UT): "18:37", to the nearest minute.
std::string clock(double jdUt, int zone) {
    if (std::isnan(jdUt)) return "-";
    const almanac::UtParts p = almanac::splitUt(jdUt + zone / 1440.0 + 30.0 / 86400);
    char text[8];
    std::snprintf(text, sizeof text, "%02d:%02d", p.hour, p.minute);
    return text;
}
std::string zoneName(int zone) {
    char text[16];
    if (zone == 0) return "UT";
    std::snprintf(text, sizeof text, "UT%c%02d:%02d", zone < 0 ? '-' : '+', std::abs(zone) / 60,
                  std::abs(zone) % 60);
    return text;
}
std::string localDate(double jdUt, int zone) {
    const almanac::UtParts p = almanac::splitUt(jdUt + zone / 1440.0 + 30.0 / 86400);
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", p.year, p.month, p.day);
    return text;
}
std::string format(const char *fmt, double v) {
    char text[64];
    std::snprintf(text, sizeof text, fmt, v);
    return text;
}
// A minus sign rather than a hyphen in the caption's numbers.
std::string signedText(const char *fmt, double v) {
    std::string t = format(fmt, std::fabs(v));
    return (v < 0 && t.find_first_not_of("0.") != std::string::npos ? "\u2212" : "") + t;
}

// Text drawn with Pango; returns its logical width and height in pixels.
struct TextBox {
    double width, height;
};
TextBox text(cairo_t *cr, PangoFontDescription *font, const std::string &s, double x, double y,
             uint32_t colour, double alignX = 0, double alignY = 0, double alpha = 1,
             bool markup = false, int wrapWidth = -1, int ellipsizeWidth = -1) {
    PangoLayout *layout = pango_cairo_create_layout(cr);
    pango_layout_set_font_description(layout, font);
    if (ellipsizeWidth > 0) {
        pango_layout_set_width(layout, ellipsizeWidth * PANGO_SCALE);
        pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
    }
    if (wrapWidth > 0) {
        pango_layout_set_width(layout, wrapWidth * PANGO_SCALE);
        pango_layout_set_wrap(layout, PANGO_WRAP_WORD);
        pango_layout_set_alignment(layout, PANGO_ALIGN_CENTER);
    }
    if (markup)
        pango_layout_set_markup(layout, s.c_str(), -1);
    else
        pango_layout_set_text(layout, s.c_str(), -1);
    int w = 0, h = 0;
    pango_layout_get_pixel_size(layout, &w, &h);
    setColour(cr, colour, alpha);
    cairo_move_to(cr, x - alignX * w, y - alignY * h);
    pango_cairo_show_layout(cr, layout);
    g_object_unref(layout);
    return {double(w), double(h)};
}

PangoFontDescription *fontOf(double pixels, bool bold = false) {
    PangoFontDescription *f = pango_font_description_from_string("DejaVu Sans");
    pango_font_description_set_absolute_size(f, pixels * PANGO_SCALE);
    if (bold) pango_font_description_set_weight(f, PANGO_WEIGHT_BOLD);
    return f;
}

// The events of an evening or a morning, in the order they happen.
struct Events {
    bool ok = false;       // both events, the Moon's after the Sun's (evening) or before it
    bool polarDay = false; // without a sunset (sunrise): the Sun stays up
    double first = NAN, second = NAN; // sunset and moonset, or moonrise and sunrise; JD UT
    const char *firstName = "", *secondName = "";
    double lagMinutes = NAN; // moonset - sunset, or sunrise - moonrise
    const char *state = "";
};
Events eventsOf(const ChartInput &in) {
    Events e;
    if (in.morning) {
        const almanac::Morning &m = in.dawn.morning;
        e.ok = m.state == almanac::MorningState::Ok;
        e.polarDay = m.polarDay;
        e.first = m.moonrise, e.second = m.sunrise;
        e.firstName = "moonrise", e.secondName = "sunrise";
        e.lagMinutes = m.lagMinutes;
        e.state = almanac::stateName(m.state);
    } else {
        const almanac::Evening &v = in.evening.evening;
        e.ok = v.state == almanac::EveningState::Ok;
        e.polarDay = v.polarDay;
        e.first = v.sunset, e.second = v.moonset;
        e.firstName = "sunset", e.secondName = "moonset";
        e.lagMinutes = v.lagMinutes;
        e.state = almanac::stateName(v.state);
    }
    return e;
}

// The Sun's altitude that colours the sky of an input without an instant (no sunset).
double sunAltitudeOf(const ChartInput &in) {
    if (!std::isnan(in.instant)) return in.disc.sun.altitude;
    return eventsOf(in).polarDay ? 20.0 : -30.0;
}

bool hasCrescent(const ChartInput &in) {
    return eventsOf(in).ok && !std::isnan(in.instant);
}

// "evening, western sky" or "morning, eastern sky", and the window's line.
const char *skyName(const ChartInput &in) {
    return in.morning ? "morning, eastern sky" : "evening, western sky";
}
std::string windowText(const ChartInput &in) {
    if (!eventsOf(in).ok) return "no window";
    if (in.window.empty())
        return std::string("no window: Odeh\u2019s V stays below ") +
               format("%.0f", almanac::kOdehZoneBLimit) + " all " +
               (in.morning ? "morning" : "evening");
    return "window <b>" + clock(in.window.start, in.zoneMinutes) + "\u2013" +
           clock(in.window.end, in.zoneMinutes) + "</b> " + zoneName(in.zoneMinutes) +
           " (Odeh\u2019s V \u2265 " + format("%.0f", almanac::kOdehZoneBLimit) + ")";
}

const char *kCompass[16] = {"N", "NNE", "NE", "ENE", "E", "ESE", "SE", "SSE",
                            "S", "SSW", "SW", "WSW", "W", "WNW", "NW", "NNW"};

void drawSky(cairo_t *cr, const Layout &l, double sunAltitude) {
    const double horizon = horizonRow(l);
    // The sky: a vertical gradient keyed every few degrees of altitude.
    cairo_pattern_t *sky = cairo_pattern_create_linear(0, l.plotTop, 0, horizon);
    for (int i = 0; i <= 8; ++i) {
        const double f = i / 8.0; // 0 at the top edge, 1 at the horizon
        const double altitude = l.altitudeTop * (1 - f);
        const uint32_t c = skyColour(sunAltitude, altitude);
        cairo_pattern_add_color_stop_rgb(sky, f, ((c >> 16) & 0xff) / 255.0,
                                         ((c >> 8) & 0xff) / 255.0, (c & 0xff) / 255.0);
    }
    cairo_rectangle(cr, l.plotLeft, l.plotTop, l.plotWidth, horizon - l.plotTop);
    cairo_set_source(cr, sky);
    cairo_fill(cr);
    cairo_pattern_destroy(sky);
    // The ground, darker with the twilight.
    const double light = std::clamp((sunAltitude + 12) / 18, 0.0, 1.0);
    const uint32_t near = mix(0x0b100c, 0x3d5a36, light), far = mix(0x050705, 0x25361f, light);
    cairo_pattern_t *ground = cairo_pattern_create_linear(0, horizon, 0, l.plotTop + l.plotHeight);
    cairo_pattern_add_color_stop_rgb(ground, 0, ((near >> 16) & 0xff) / 255.0,
                                     ((near >> 8) & 0xff) / 255.0, (near & 0xff) / 255.0);
    cairo_pattern_add_color_stop_rgb(ground, 1, ((far >> 16) & 0xff) / 255.0,
                                     ((far >> 8) & 0xff) / 255.0, (far & 0xff) / 255.0);
    cairo_rectangle(cr, l.plotLeft, horizon, l.plotWidth, l.plotTop + l.plotHeight - horizon);
    cairo_set_source(cr, ground);
    cairo_fill(cr);
    cairo_pattern_destroy(ground);
}

void drawScales(cairo_t *cr, const Layout &l, PangoFontDescription *small,
                PangoFontDescription *bold) {
    const double horizon = horizonRow(l), fp = l.fontPixels;
    const double halfSpan = l.plotWidth / l.pixelsPerDegree / 2;
    // Altitude grid and labels.
    const double altStep = l.altitudeTop > 45 ? 10 : 5;
    cairo_set_line_width(cr, 1);
    for (double a = altStep; a < l.altitudeTop; a += altStep) {
        const double y = std::round(horizon - a * l.pixelsPerDegree) + 0.5;
        setColour(cr, 0xffffff, 0.16);
        cairo_move_to(cr, l.plotLeft, y);
        cairo_line_to(cr, l.plotLeft + l.plotWidth, y);
        cairo_stroke(cr);
    }
    // Azimuth ticks along the horizon, labels every 10 degrees, compass points below.
    const double first = std::ceil(l.centreAzimuth - halfSpan);
    for (double az = first; az <= l.centreAzimuth + halfSpan; az += 1) {
        const double x = std::round(toPixel(l, 0, az).x) + 0.5;
        const long whole = std::lround(wrap360(az));
        const double len = whole % 10 == 0 ? fp * 0.8 : whole % 5 == 0 ? fp * 0.5 : fp * 0.25;
        setColour(cr, 0xe8ecf0, 0.85);
        cairo_move_to(cr, x, horizon);
        cairo_line_to(cr, x, horizon + len);
        cairo_stroke(cr);
        if (whole % 10 == 0 && x > l.plotLeft + fp && x < l.plotLeft + l.plotWidth - fp)
            text(cr, small, std::to_string(whole % 360) + "\u00b0", x, horizon + fp * 0.9, 0xe8ecf0,
                 0.5, 0);
    }
    for (int k = 0; k < 16; ++k) {
        const double az = k * 22.5;
        if (std::fabs(wrap180(az - l.centreAzimuth)) > halfSpan) continue;
        const double x = toPixel(l, 0, az).x;
        setColour(cr, 0xffd27a, 0.9);
        cairo_move_to(cr, std::round(x) + 0.5, horizon);
        cairo_line_to(cr, std::round(x) + 0.5, horizon + fp * 2.3);
        cairo_stroke(cr);
        text(cr, bold, kCompass[k], x, horizon + fp * 2.3, 0xffd27a, 0.5, 0);
    }
    // The horizon line over the ticks' roots.
    cairo_set_line_width(cr, 1.5);
    setColour(cr, 0xf4f4f4, 0.9);
    cairo_move_to(cr, l.plotLeft, horizon);
    cairo_line_to(cr, l.plotLeft + l.plotWidth, horizon);
    cairo_stroke(cr);
}

// The altitude scale's labels, left of the plot.
void drawAltitudeLabels(cairo_t *cr, const Layout &l, PangoFontDescription *small) {
    const double horizon = horizonRow(l), fp = l.fontPixels;
    const double altStep = l.altitudeTop > 45 ? 10 : 5;
    for (double a = 0; a < l.altitudeTop - 0.5 * altStep; a += altStep)
        text(cr, small, format("%.0f\u00b0", a), l.plotLeft - fp * 0.3,
             std::round(horizon - a * l.pixelsPerDegree) + 0.5, 0xdde4ee, 1, 0.5);
    for (double a = -altStep; a > l.altitudeBottom + 0.3 * altStep; a -= altStep)
        text(cr, small, signedText("%.0f\u00b0", a), l.plotLeft - fp * 0.3,
             std::round(horizon - a * l.pixelsPerDegree) + 0.5, 0x8f9aa6, 1, 0.5);
}

void drawSun(cairo_t *cr, const Layout &l, const almanac::Horizontal &sun,
             PangoFontDescription *small) {
    const Point p = toPixel(l, sun.altitude, sun.azimuth);
    const double bottom = l.plotTop + l.plotHeight, fp = l.fontPixels;
    const std::string label = "Sun " + signedText("%.1f\u00b0", sun.altitude);
    if (p.x < l.plotLeft || p.x > l.plotLeft + l.plotWidth) return;
    const double r = std::max(4.0, fp * 0.55);
    if (p.y + r < bottom) {
        // Below the horizon it is drawn as a ring with a cross: hidden, but there.
        setColour(cr, 0xffb347, sun.altitude < 0 ? 0.9 : 1);
        cairo_arc(cr, p.x, p.y, r, 0, 2 * kPi);
        if (sun.altitude < 0) {
            cairo_set_line_width(cr, 2);
            cairo_stroke(cr);
            cairo_move_to(cr, p.x - r * 0.6, p.y);
            cairo_line_to(cr, p.x + r * 0.6, p.y);
            cairo_move_to(cr, p.x, p.y - r * 0.6);
            cairo_line_to(cr, p.x, p.y + r * 0.6);
            cairo_stroke(cr);
        } else
            cairo_fill(cr);
        text(cr, small, label, p.x + r * 1.6, p.y, 0xffc87a, 0, 0.5);
    } else {
        // Deeper than the chart: an arrow at its foot, pointing down.
        const double y = bottom - fp * 0.4;
        setColour(cr, 0xffb347);
        cairo_move_to(cr, p.x, y);
        cairo_line_to(cr, p.x - fp * 0.5, y - fp * 0.8);
        cairo_line_to(cr, p.x + fp * 0.5, y - fp * 0.8);
        cairo_close_path(cr);
        cairo_fill(cr);
        text(cr, small, label, p.x + fp * 0.8, y - fp * 0.4, 0xffc87a, 0, 0.5);
    }
}

// The crescent: the disc's dark part faintly, the lit part bounded by the bright limb's half
// circle and the terminator, half an ellipse whose semi-axis toward the bright limb is
// (1 - 2k) r for the lit fraction k.
void drawMoon(cairo_t *cr, const Layout &l, const almanac::MoonDisc &disc,
              PangoFontDescription *small) {
    const Point c = toPixel(l, disc.moon.altitude, disc.moon.azimuth);
    const double trueRadius = disc.semiDiameter * l.pixelsPerDegree;
    const double r = trueRadius * l.magnification;
    const double alpha = disc.moon.altitude < -disc.semiDiameter ? 0.45 : 1.0;
    cairo_save(cr);
    cairo_translate(cr, c.x, c.y);
    // Picture axes: x right (growing azimuth), y down; the bright limb points from the
    // vertical toward the observer's left by zenithAngle, so its unit vector is
    // (-sin z, -cos z). Rotate so that +x points at the bright limb.
    const double z = disc.zenithAngle * kDeg;
    cairo_rotate(cr, std::atan2(-std::cos(z), -std::sin(z)));
    setColour(cr, 0x8a8fa0, 0.16 * alpha);
    cairo_arc(cr, 0, 0, r, 0, 2 * kPi);
    cairo_fill(cr);
    const double k = std::clamp(disc.illuminatedFraction, 0.0, 1.0);
    cairo_arc(cr, 0, 0, r, -kPi / 2, kPi / 2); // the bright limb, through +x
    const int steps = 48;
    for (int i = 0; i <= steps; ++i) { // the terminator, back from the bottom to the top
        const double t = kPi / 2 - kPi * i / steps;
        cairo_line_to(cr, (1 - 2 * k) * r * std::cos(t), r * std::sin(t));
    }
    cairo_close_path(cr);
    setColour(cr, 0xfff6d5, alpha);
    cairo_fill(cr);
    cairo_restore(cr);
    // The true size, outlined at the true centre.
    cairo_set_line_width(cr, 1);
    setColour(cr, 0xff4a4a, alpha);
    cairo_arc(cr, c.x, c.y, std::max(trueRadius, 1.0), 0, 2 * kPi);
    cairo_stroke(cr);
    // A leader to the horizon and the label.
    const double horizon = horizonRow(l);
    if (c.y + r < horizon) {
        const double dash[] = {3, 3};
        cairo_set_dash(cr, dash, 2, 0);
        setColour(cr, 0xfff6d5, 0.35);
        cairo_move_to(cr, std::round(c.x) + 0.5, c.y + r + 2);
        cairo_line_to(cr, std::round(c.x) + 0.5, horizon);
        cairo_stroke(cr);
        cairo_set_dash(cr, nullptr, 0, 0);
    }
    text(cr, small, "Moon " + signedText("%.1f\u00b0", disc.moon.altitude), c.x + r + 6, c.y,
         0xfff6d5, 0, 0.5, alpha);
}

} // namespace

Layout layoutChart(int width, int height, almanac::Horizontal sun, almanac::Horizontal moon,
                   double moonSemiDiameter, int captionLines) {
    const double gap = wrap180(moon.azimuth - sun.azimuth);
    const double centre = sun.azimuth + gap / 2;
    const double azimuthSpan = std::max(60.0, std::fabs(gap) + 24);
    const double altitudeSpan = std::max(30.0, std::ceil((moon.altitude + 8) / 5) * 5);
    // Ground enough to show the Sun a little below the horizon, within 4..12 degrees.
    const double groundSpan = std::clamp(2.5 - sun.altitude, 4.0, 12.0);
    Layout l = frame(width, height, centre, azimuthSpan, altitudeSpan, groundSpan, captionLines);
    // The drawn Moon's radius about a twelfth of the plot's height.
    const double trueRadius = std::max(moonSemiDiameter, 0.2) * l.pixelsPerDegree;
    l.magnification = std::max(1, static_cast<int>(std::lround(l.plotHeight / 12.0 / trueRadius)));
    return l;
}

Layout layoutEmpty(int width, int height, double centreAzimuth, int captionLines) {
    Layout l = frame(width, height, centreAzimuth, 60, 30, 6, captionLines);
    l.magnification = std::max(
        1, static_cast<int>(std::lround(l.plotHeight / 12.0 / (0.26 * l.pixelsPerDegree))));
    return l;
}

Point toPixel(const Layout &l, double altitude, double azimuth) {
    return {l.plotLeft + l.plotWidth / 2.0 + wrap180(azimuth - l.centreAzimuth) * l.pixelsPerDegree,
            horizonRow(l) - altitude * l.pixelsPerDegree};
}

double horizonRow(const Layout &l) {
    return l.plotTop + l.altitudeTop * l.pixelsPerDegree;
}

Twilight twilightOf(double sunAltitude) {
    if (sunAltitude >= -0.833) return Twilight::Day;
    if (sunAltitude >= -6) return Twilight::Civil;
    if (sunAltitude >= -12) return Twilight::Nautical;
    if (sunAltitude >= -18) return Twilight::Astronomical;
    return Twilight::Night;
}

const char *twilightName(Twilight t) {
    switch (t) {
    case Twilight::Day:
        return "day";
    case Twilight::Civil:
        return "civil twilight";
    case Twilight::Nautical:
        return "nautical twilight";
    case Twilight::Astronomical:
        return "astronomical twilight";
    case Twilight::Night:
        break;
    }
    return "night";
}

uint32_t skyColour(double sunAltitude, double altitude) {
    // Keys: the Sun's altitude, the colour at the horizon and at 30 degrees and above.
    struct Key {
        double sun;
        uint32_t horizon, high;
    };
    static constexpr Key kKeys[] = {
        {6, 0xc4dcef, 0x5b96d6},   {0, 0xf3c79a, 0x5a8fc8},  {-3, 0xf0a060, 0x3c68a8},
        {-6, 0xb8704e, 0x22417e},  {-9, 0x6a4c62, 0x142a5a}, {-12, 0x2c2c50, 0x0b1738},
        {-18, 0x0e1024, 0x05070f},
    };
    constexpr int n = static_cast<int>(std::size(kKeys));
    Key k = kKeys[n - 1];
    if (sunAltitude >= kKeys[0].sun)
        k = kKeys[0];
    else
        for (int i = 1; i < n; ++i)
            if (sunAltitude >= kKeys[i].sun) {
                const double t =
                    (kKeys[i - 1].sun - sunAltitude) / (kKeys[i - 1].sun - kKeys[i].sun);
                k = {sunAltitude, mix(kKeys[i - 1].horizon, kKeys[i].horizon, t),
                     mix(kKeys[i - 1].high, kKeys[i].high, t)};
                break;
            }
    return mix(k.horizon, k.high, std::pow(std::clamp(altitude / 30.0, 0.0, 1.0), 0.6));
}

namespace {
void fillAt(ChartInput &in, const almanac::EveningTable &table, const almanac::Observer &observer,
            double instant, double bestTime) {
    in.where = observer.place;
    in.date = table.date();
    in.instant = instant;
    in.bestTime = !std::isnan(instant) && instant == bestTime;
    if (!std::isnan(instant)) {
        const almanac::Geocentric g = table.at(instant);
        in.disc = almanac::moonDiscAt(g, observer);
        in.crescent = almanac::crescentAt(g, observer);
    }
}
} // namespace

ChartInput chartInputAt(const almanac::EveningTable &table, const almanac::Observer &observer,
                        const almanac::Sighting &evening, double instant) {
    ChartInput in;
    in.evening = evening;
    in.window = almanac::viewingWindow(table, observer, evening);
    fillAt(in, table, observer, instant, evening.bestTime);
    return in;
}

ChartInput chartInputAt(const almanac::EveningTable &table, const almanac::Observer &observer,
                        const almanac::Dawn &morning, double instant) {
    ChartInput in;
    in.morning = true;
    in.dawn = morning;
    in.window = almanac::viewingWindow(table, observer, morning);
    fillAt(in, table, observer, instant, morning.bestTime);
    return in;
}

std::string noticeOf(const ChartInput &in) {
    const int zone = in.zoneMinutes;
    if (in.morning) {
        const almanac::Morning &m = in.dawn.morning;
        switch (m.state) {
        case almanac::MorningState::NoSunrise:
            return m.polarDay ? "No sunrise this day: the Sun stays up. No morning crescent to "
                                "look for."
                              : "No sunrise this day: the Sun stays below the horizon. No "
                                "morning crescent to look for.";
        case almanac::MorningState::MoonRisesAfter:
            return "The Moon rises after the Sun (sunrise " + clock(m.sunrise, zone) +
                   ", moonrise " + clock(m.moonrise, zone) +
                   "): no crescent before sunrise this morning.";
        case almanac::MorningState::NoMoonrise:
            return "The Moon does not rise this morning: it stays up through the night.";
        case almanac::MorningState::Ok:
            break;
        }
    } else {
        const almanac::Evening &e = in.evening.evening;
        switch (e.state) {
        case almanac::EveningState::NoSunset:
            return e.polarDay ? "No sunset this day: the Sun stays up. No evening crescent to "
                                "look for."
                              : "No sunset this day: the Sun stays below the horizon. No "
                                "evening crescent to look for.";
        case almanac::EveningState::MoonSetsFirst:
            return "The Moon sets first (moonset " + clock(e.moonset, zone) + ", sunset " +
                   clock(e.sunset, zone) + "): no crescent after sunset this evening.";
        case almanac::EveningState::NoMoonset:
            return "The Moon does not set this evening: it stays up after sunset.";
        case almanac::EveningState::Ok:
            break;
        }
    }
    if (std::isnan(in.instant)) return "No instant to draw.";
    return "";
}

std::vector<std::string> captionLines(const ChartInput &in, const Layout &layout) {
    std::vector<std::string> lines;
    const Events e = eventsOf(in);
    const int zone = in.zoneMinutes;
    char *escaped = g_markup_escape_text(in.place.c_str(), -1);
    const std::string coordinates =
        signedText("%.2f\u00b0", in.where.latitude) + ", " +
        signedText("%.2f\u00b0", in.where.longitude) +
        (in.where.height > 0 ? format(", %.0f m", in.where.height) : "");
    const std::string place = in.place.empty()
                                  ? "<b>" + coordinates + "</b>"
                                  : "<b>" + std::string(escaped) + "</b>  (" + coordinates + ")";
    g_free(escaped);
    if (std::isnan(in.instant)) {
        char date[16];
        std::snprintf(date, sizeof date, "%04d-%02d-%02d", in.date.year, in.date.month,
                      in.date.day);
        lines.push_back(place + "   " + date + "   " + skyName(in) + "   " + e.state);
        lines.push_back(noticeOf(in));
        return lines;
    }
    lines.push_back(place + "   " + localDate(in.instant, zone) + " <b>" + clock(in.instant, zone) +
                    "</b> " + zoneName(zone) + (in.bestTime ? "  (best time)" : "") + "   " +
                    skyName(in));
    const almanac::Crescent &c = in.crescent;
    const double conjunction = in.morning ? in.dawn.conjunction : in.evening.conjunction;
    const std::string age =
        std::isnan(conjunction) ? std::string(in.morning ? "new moon -" : "age -")
        : in.morning            ? "new moon in " + format("%.1f h", (conjunction - in.instant) * 24)
                                : "age " + format("%.1f h", (in.instant - conjunction) * 24);
    lines.push_back("Moon: altitude " + signedText("%.2f\u00b0", in.disc.moon.altitude) +
                    ", azimuth " + format("%.2f\u00b0", in.disc.moon.azimuth) + "   ARCL " +
                    format("%.2f\u00b0", c.arcl) + "   ARCV " + signedText("%.2f\u00b0", c.arcv) +
                    "   DAZ " + signedText("%.2f\u00b0", c.daz) + "   W " +
                    format("%.2f\u2032", c.width) + "   lit " +
                    format("%.1f %%", 100 * in.disc.illuminatedFraction) + "   " + age);
    if (hasCrescent(in)) {
        const int y = c.yallopClass - 'A', o = c.odehZone - 'A';
        lines.push_back("Yallop q " + signedText("%.3f", c.q) + ": <b>" +
                        std::string(1, c.yallopClass) + "</b> " +
                        classMeaning(Criterion::Yallop, y) + "     Odeh V " +
                        signedText("%.2f", c.V) + ": <b>" + std::string(1, c.odehZone) + "</b> " +
                        classMeaning(Criterion::Odeh, o));
    } else
        lines.push_back(noticeOf(in));
    lines.push_back(std::string(e.firstName) + " " + clock(e.first, zone) + ", " + e.secondName +
                    " " + clock(e.second, zone) +
                    (std::isnan(e.lagMinutes) ? "" : ", lag " + format("%.0f min", e.lagMinutes)) +
                    "   " + windowText(in));
    lines.push_back("Sun " + signedText("%.1f\u00b0", in.disc.sun.altitude) + " (" +
                    twilightName(twilightOf(in.disc.sun.altitude)) + ")   Moon drawn \u00d7" +
                    std::to_string(layout.magnification) + " (true size in red), bright limb " +
                    format("%.0f\u00b0", in.disc.zenithAngle) +
                    " from the vertical; airless topocentric altitudes");
    return lines;
}

std::vector<double> minutesOfEvening(const almanac::Sighting &s) {
    std::vector<double> out;
    if (s.evening.state != almanac::EveningState::Ok) return out;
    const double lag = s.evening.lagMinutes;
    for (int i = 0; i <= static_cast<int>(std::floor(lag)); ++i)
        out.push_back(s.evening.sunset + i / 1440.0);
    return out;
}

std::vector<double> minutesOfMorning(const almanac::Dawn &d) {
    std::vector<double> out;
    if (d.morning.state != almanac::MorningState::Ok) return out;
    const double lag = d.morning.lagMinutes;
    for (int i = 0; i <= static_cast<int>(std::floor(lag)); ++i)
        out.push_back(d.morning.moonrise + i / 1440.0);
    return out;
}

Image drawChart(const ChartInput &in, const Layout &l) {
    Image image;
    image.width = l.width, image.height = l.height;
    image.pixels.assign(size_t(l.width) * size_t(l.height), 0);
    cairo_surface_t *surface =
        cairo_image_surface_create_for_data(reinterpret_cast<unsigned char *>(image.pixels.data()),
                                            CAIRO_FORMAT_RGB24, l.width, l.height, l.width * 4);
    cairo_t *cr = cairo_create(surface);
    PangoFontDescription *small = fontOf(l.fontPixels * 0.9), *bold = fontOf(l.fontPixels, true),
                         *caption = fontOf(l.fontPixels), *big = fontOf(l.fontPixels * 1.5, true);

    const double sunAltitude = sunAltitudeOf(in);
    setColour(cr, 0x101418);
    cairo_paint(cr);
    drawSky(cr, l, sunAltitude);
    cairo_save(cr);
    cairo_rectangle(cr, l.plotLeft, l.plotTop, l.plotWidth, l.plotHeight);
    cairo_clip(cr);
    drawScales(cr, l, small, bold);
    if (!std::isnan(in.instant)) {
        drawSun(cr, l, in.disc.sun, small);
        drawMoon(cr, l, in.disc, small);
    }
    const std::string notice = noticeOf(in);
    if (!notice.empty()) {
        const double w = l.plotWidth * 0.8, x = l.plotLeft + l.plotWidth / 2.0,
                     y = l.plotTop + l.plotHeight * 0.3;
        setColour(cr, 0x000000, 0.45);
        cairo_rectangle(cr, x - w / 2 - l.fontPixels, y - l.fontPixels * 2.2, w + 2 * l.fontPixels,
                        l.fontPixels * 4.4);
        cairo_fill(cr);
        text(cr, big, notice, x - w / 2, y, 0xffffff, 0, 0.5, 1, false, static_cast<int>(w));
    }
    cairo_restore(cr);
    drawAltitudeLabels(cr, l, small);
    // The caption strip.
    setColour(cr, 0x101418);
    cairo_rectangle(cr, 0, l.captionTop, l.width, l.height - l.captionTop);
    cairo_fill(cr);
    double y = l.captionTop + l.fontPixels * 0.5;
    for (const std::string &line : captionLines(in, l)) {
        const TextBox box = text(cr, caption, line, l.fontPixels * 0.8, y, 0xe8ecf0, 0, 0, 1, true,
                                 -1, static_cast<int>(l.width - l.fontPixels * 1.6));
        y += std::max(box.height, l.fontPixels * 1.45);
    }
    pango_font_description_free(small);
    pango_font_description_free(bold);
    pango_font_description_free(caption);
    pango_font_description_free(big);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    cairo_surface_destroy(surface);
    for (uint32_t &p : image.pixels) // RGB24 leaves the top byte unspecified
        p &= 0x00ffffffu;
    return image;
}

} // namespace sky
