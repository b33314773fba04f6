// Resolving the place and clock options through the gazetteer and the tz database.
#include "tools/placeopts.h"

#include <cmath>
#include <cstdio>

#include "tools/inputs.h"

std::string zoneOffsetText(int minutes) {
    char buf[16];
    const int m = std::abs(minutes);
    if (m % 60)
        std::snprintf(buf, sizeof buf, "%c%02d:%02d", minutes < 0 ? '-' : '+', m / 60, m % 60);
    else
        std::snprintf(buf, sizeof buf, "%c%02d", minutes < 0 ? '-' : '+', m / 60);
    return buf;
}

namespace {

std::string candidateLine(const places::City &c) {
    return places::describe(c) + " (" + std::to_string(c.population) + " people)";
}

} // namespace

int ResolvedPlace::offsetAt(double jdUt) const {
    return fixedZone ? zoneMinutes : zone.atJulian(jdUt).offsetMinutes;
}

std::string ResolvedPlace::zoneLabelAt(double jdUt) const {
    if (fixedZone) return zoneOffsetText(zoneMinutes);
    const places::ZoneTime t = zone.atJulian(jdUt);
    const std::string offset = zoneOffsetText(t.offsetMinutes);
    // Numeric abbreviations ("+03") say no more than the offset.
    std::string label =
        t.abbreviation.empty() || t.abbreviation[0] == '+' || t.abbreviation[0] == '-'
            ? offset
            : t.abbreviation + " " + offset;
    if (!zone.name().empty()) label += " (" + zone.name() + ")";
    return label;
}

std::string resolvePlaceOptions(const Given &given, PlaceNeed need, ResolvedPlace &out) {
    const bool lat = given.has("lat"), lon = given.has("lon"), place = given.has("place");
    std::string error;
    // Each value is checked before the options are weighed together.
    if (lat && !(error = parseNumber("lat", given.value("lat"), out.lat)).empty()) return error;
    if (lon && !(error = parseNumber("lon", given.value("lon"), out.lon)).empty()) return error;
    if (place && (lat || lon))
        return "--place and --lat/--lon both give the place; use one of them";
    if (lat != lon && need != PlaceNeed::PerLine)
        return lat ? "--lat needs --lon" : "--lon needs --lat";
    if (given.has("tz") && given.has("zone"))
        return "--tz and --zone both give the clock; use one of them";
    if (need == PlaceNeed::Required && !place && !lat)
        return "a place is needed: --lat DEG --lon DEG, or --place NAME";
    std::string zoneName;
    if (place) {
        const std::string &name = given.value("place");
        const places::Lookup found = places::lookupPlace(name);
        if (found.match == places::Match::Ambiguous) {
            std::string list;
            for (const places::City &c : found.cities)
                list += (list.empty() ? "" : "; ") + candidateLine(c);
            return "--place: " + quoteValue(name) + " names " +
                   std::to_string(found.cities.size()) + " places, add the state or country (\"" +
                   found.cities[0].name + ", " + found.cities[0].country + "\"): " + list;
        }
        if (found.match == places::Match::Unknown) {
            std::string text = "--place: no place " + quoteValue(name) + " is known";
            if (!places::hasGazetteer())
                text += " (this build has no gazetteer, only the built-in cities; use --lat/--lon)";
            if (!found.cities.empty()) {
                std::string list;
                for (const places::City &c : found.cities)
                    list += (list.empty() ? "" : "; ") + places::describe(c);
                text += "; did you mean: " + list;
            }
            return text;
        }
        const places::City &c = found.cities[0];
        out.lat = c.latitude, out.lon = c.longitude;
        out.name = places::describe(c);
        out.city = c.name;
        out.country = c.country;
        zoneName = c.zone;
    }
    out.given = place || (lat && lon);
    if (given.has("zone")) {
        long minutes = 0;
        if (!(error = parseInteger("zone", given.value("zone"), minutes)).empty()) return error;
        out.fixedZone = true;
        out.zoneMinutes = static_cast<int>(minutes);
        return "";
    }
    if (given.has("tz")) zoneName = given.value("tz");
    if (zoneName.empty()) {
        out.zone.loadLocal();
        return "";
    }
    if (!out.zone.load(zoneName, error))
        return (given.has("tz") ? "--tz: " : "--place: the place's zone ") + quoteValue(zoneName) +
               " is " + error;
    return "";
}
