// The place and clock options of the almanac subcommands (--place, --lat/--lon, --tz, --zone),
// resolved once into coordinates, a zone and the place's name.
#pragma once

#include <string>

#include "places/places.h"
#include "tools/commandline.h"

// Where and in which clock a subcommand answers.
struct ResolvedPlace {
    bool given = false;      // --place or --lat with --lon was given
    double lat = 0, lon = 0; // degrees, north and east positive
    std::string name;    // "Makkah al Mukarramah, Mecca Region, Saudi Arabia"; "" for --lat/--lon
    std::string city;    // the city's own name, "Makkah al Mukarramah"; "" for --lat/--lon
    std::string country; // the place's country, "" for --lat/--lon
    // The clock: with fixedZone, --zone's offset in minutes; else `zone`'s rules (from --tz, the
    // place's own zone, or the local zone of the system, named "" in `zone.name()`).
    bool fixedZone = false;
    int zoneMinutes = 0;
    places::ZoneRules zone;

    // The clock at an instant (Julian date UT): local time minus UT in minutes, and how it is
    // told: "+03 (Asia/Riyadh)", "GMT +00 (Europe/London)", "+03" for --zone 180.
    int offsetAt(double jdUt) const;
    std::string zoneLabelAt(double jdUt) const;
};

// A zone offset in minutes as the tz database writes it: "+03", "+05:30", "-05".
std::string zoneOffsetText(int minutes);

// Whether the subcommand needs a place.
enum class PlaceNeed {
    Optional, // --lat and --lon come together, or neither
    Required, // --place, or --lat with --lon
    PerLine,  // --batch: --lat or --lon alone are defaults of the lines, which give the rest
};

// Resolves the options in `given` (names without dashes: "place", "lat", "lon", "tz", "zone").
// --place takes a name through the gazetteer and its zone as the default clock; --tz names an
// IANA zone; --zone a fixed offset in minutes; without either, the system's local zone. Returns
// "" or the one-line message for the exit code 2 (an unknown or ambiguous name, with its
// candidates; a missing place; options that contradict one another).
std::string resolvePlaceOptions(const Given &given, PlaceNeed need, ResolvedPlace &out);
