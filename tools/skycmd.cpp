// telvor sky: the chart of the western sky after sunset (or, with --morning, the eastern sky
// before sunrise), as PNG pictures or an animated GIF.
#include "tools/skycmd.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "shell/platform/backend.h"
#include "sky/sky.h"
#include "tools/gifwriter.h"
#include "tools/inputs.h"
#include "tools/output.h"
#include "tools/placeopts.h"
#include "tools/saverrun.h"

namespace {

// The place a chart is drawn for: its name as shown, where it is and its zone.
struct SkyPlace {
    std::string name;
    almanac::Place place;
    int zoneMinutes = 0;
};

// The one way the command learns its place: --place or --lat/--lon, with --height; the clock
// from --zone, --tz or the place's own zone, at its offset of that evening (18h local mean time)
// or morning (6h).
std::string skyPlaceOf(const Given &given, const Inputs &in, bool morning, SkyPlace &out) {
    ResolvedPlace where;
    const std::string error = resolvePlaceOptions(given, PlaceNeed::Required, where);
    if (!error.empty()) return error;
    out.name =
        where.city.empty() ? "" : where.city + (where.country.empty() ? "" : ", " + where.country);
    out.place = {where.lat, where.lon, static_cast<double>(in.height)};
    out.zoneMinutes = where.offsetAt(almanac::julianDateUt(
        {in.year, in.month, in.day}, (morning ? 6.0 : 18.0) - where.lon / 15.0));
    return "";
}

int complain(const Subcommand &sub, int code, const std::string &message) {
    printError(std::string("telvor ") + sub.name, message);
    return code;
}

bool writeChartPng(FILE *file, const sky::Image &image, std::string &error) {
    return writePngTo(
        file, PixelBuffer{image.width, image.height, const_cast<uint32_t *>(image.pixels.data())},
        error);
}

} // namespace

int runSkyCommand(const Subcommand &sub, const Given &given) {
    Inputs in;
    setToday(in);
    if (given.has("minute") && given.has("time"))
        return complain(sub, 2, "--minute and --time give the same input; use one of them");
    for (const auto &[name, text] : given.values) {
        const OptionRule *o = findOption(name);
        if (!o || !o->input) continue;
        const std::string error = setInput(in, name, text);
        if (!error.empty()) return complain(sub, 2, error);
    }
    const bool morning = given.has("morning");
    SkyPlace where;
    if (const std::string error = skyPlaceOf(given, in, morning, where); !error.empty())
        return complain(sub, 2, error);
    if (given.has("time") && given.has("best"))
        return complain(sub, 2, "--time and --best both choose the instant; use one of them");
    if (given.has("frames") && given.has("animate"))
        return complain(sub, 2, "--frames and --animate both write the evening; use one of them");
    if (!given.has("out") && !given.has("frames") && !given.has("animate"))
        return complain(sub, 2, "--out FILE.png, --frames DIR or --animate FILE.gif is needed");
    int width = 960, height = 640;
    if (given.has("size")) {
        const std::string error = parseSize("size", given.value("size"), width, height);
        if (!error.empty()) return complain(sub, 2, error);
        if (width < 320 || height < 200)
            return complain(sub, 2,
                            "--size: " + quoteValue(given.value("size")) +
                                " is too small for the chart (320x200 at least)");
    }

    // Paths that cannot be written are refused before the work.
    WholeFile out, animation;
    if (given.has("out")) {
        const std::string reason = out.open(given.value("out"));
        if (!reason.empty())
            return complain(
                sub, 2, "--out: cannot write " + quoteValue(given.value("out")) + ": " + reason);
    }
    if (given.has("animate")) {
        const std::string reason = animation.open(given.value("animate"));
        if (!reason.empty())
            return complain(sub, 2,
                            "--animate: cannot write " + quoteValue(given.value("animate")) + ": " +
                                reason);
    }
    const std::string frames = given.has("frames") ? given.value("frames") : "";
    if (given.has("frames")) {
        std::error_code ec;
        if (!std::filesystem::is_directory(frames, ec))
            return complain(sub, 2, "--frames: " + quoteValue(frames) + " is not a folder");
        WholeFile probe;
        const std::string reason = probe.open(frames + "/sky-probe.png");
        if (!reason.empty())
            return complain(sub, 2,
                            "--frames: cannot write in " + quoteValue(frames) + ": " + reason);
    }

    const almanac::CivilDate date{in.year, in.month, in.day};
    const almanac::EveningTable table(date);
    const almanac::Observer observer = almanac::observerOf(where.place);
    // The evening after sunset, or the morning before sunrise; without a crescent the chart is
    // drawn at the Sun's event, if there is one.
    almanac::Sighting evening;
    almanac::Dawn dawn;
    if (morning)
        dawn = almanac::evaluateMorning(table, observer);
    else
        evening = almanac::evaluate(table, observer);
    const double bestTime = morning ? dawn.bestTime : evening.bestTime;
    double instant = bestTime;
    if (given.has("time"))
        instant = almanac::julianDateUt(date, (in.minute - where.zoneMinutes) / 60.0);
    else if (std::isnan(bestTime))
        instant = morning ? dawn.morning.sunrise : evening.evening.sunset; // NaN without one
    auto inputAt = [&](double jd) {
        sky::ChartInput input = morning ? sky::chartInputAt(table, observer, dawn, jd)
                                        : sky::chartInputAt(table, observer, evening, jd);
        input.place = where.name;
        input.zoneMinutes = where.zoneMinutes;
        return input;
    };
    // One frame for the whole run: the one the best time (or the instant) needs.
    const double framed = std::isnan(bestTime) ? instant : bestTime;
    sky::Layout layout;
    if (std::isnan(framed))
        layout = sky::layoutEmpty(width, height, morning ? 90 : 270);
    else {
        const almanac::MoonDisc d = almanac::moonDiscAt(table.at(framed), observer);
        layout = sky::layoutChart(width, height, d.sun, d.moon, d.semiDiameter);
    }

    std::string error;
    if (given.has("out")) {
        sky::ChartInput input = inputAt(instant);
        if (given.has("time") && !std::isnan(instant)) {
            const almanac::MoonDisc &d = input.disc;
            layout = sky::layoutChart(width, height, d.sun, d.moon, d.semiDiameter);
        }
        const sky::Image image = sky::drawChart(input, layout);
        if (!writeChartPng(out.file(), image, error) || !(error = out.commit()).empty())
            return complain(sub, 1,
                            "cannot write " + quoteValue(given.value("out")) + ": " + error);
    }
    if (!given.has("frames") && !given.has("animate")) return 0;
    std::vector<double> minutes =
        morning ? sky::minutesOfMorning(dawn) : sky::minutesOfEvening(evening);
    if (minutes.empty()) minutes.push_back(instant); // one chart that says why there are none
    GifWriter gif(animation.file());
    for (size_t i = 0; i < minutes.size(); ++i) {
        const sky::Image image = sky::drawChart(inputAt(minutes[i]), layout);
        if (!frames.empty()) {
            char name[32];
            std::snprintf(name, sizeof name, "/sky-%04zu.png", i);
            if (!writePng(frames + name,
                          PixelBuffer{image.width, image.height,
                                      const_cast<uint32_t *>(image.pixels.data())},
                          error))
                return complain(sub, 1, error);
        } else if (!gif.add(image, i + 1 == minutes.size() ? 200 : 10, error))
            return complain(sub, 1,
                            "cannot write " + quoteValue(given.value("animate")) + ": " + error);
    }
    if (given.has("animate") && (!gif.finish(error) || !(error = animation.commit()).empty()))
        return complain(sub, 1,
                        "cannot write " + quoteValue(given.value("animate")) + ": " + error);
    return 0;
}
