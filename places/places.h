// Places and clocks: a gazetteer of the world's cities by name and the civil time zones of the
// system's tz database.
//
// Every function may be called from any number of threads at once and keeps no state of its own
// between calls (the gazetteer's queries take turns under a lock, as libgeonames keeps its data
// in its own state); a ZoneRules is immutable once loaded and may be shared between threads. The
// only input read is the gazetteer's own data (through libgeonames, when the build has it) and the
// tz database (through the C library, while a ZoneRules is loaded).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace places {

// ---- The gazetteer ---------------------------------------------------------------------------

// A city of the gazetteer.
struct City {
    std::string name;        // as the gazetteer spells it: "Makkah al Mukarramah"
    std::string state;       // the first-order division ("Mecca Region"), may be empty
    std::string country;     // "Saudi Arabia"
    std::string countryCode; // ISO 3166-1 alpha-2, "SA"
    std::string zone;        // IANA time zone, "Asia/Riyadh"
    double latitude = 0;     // degrees, north positive, -90..90
    double longitude = 0;    // degrees, east positive, -180..180
    uint32_t population = 0; // people
};

enum class Match {
    Found,     // one city: `cities` holds it
    Ambiguous, // several cities carry the name: `cities` holds them, most populous first
    Unknown,   // none: `cities` holds up to five whose names begin like the one asked, if any
};

struct Lookup {
    Match match = Match::Unknown;
    std::vector<City> cities;
    bool viaAlias = false; // the name was an alias of the table below
};

// Looks up a place name: "Jakarta", "london", "London, Canada", "London, Ontario, Canada".
// Names match whole and case-insensitively (the gazetteer's alternative names included); the
// parts after commas each narrow the choice to cities whose state, country or country code
// they name. An alias of the common English names the gazetteer spells otherwise (Mecca,
// Medina, Al-Quds, ...) stands for its city. A name carried by several cities is Ambiguous,
// unless an alias names one of them.
Lookup lookupPlace(const std::string &query);

// An alias: the name as people write it (lower case) and the city it stands for, by the
// gazetteer's name and country code.
struct Alias {
    const char *alias;
    const char *name;
    const char *countryCode;
};
// The alias table.
const std::vector<Alias> &aliases();

// Whether the gazetteer holds the GeoNames cities (libgeonames); without it only the built-in
// cities of builtInCities() are known.
bool hasGazetteer();
// The few cities known without the gazetteer (those the world map marks).
const std::vector<City> &builtInCities();

// "Makkah al Mukarramah, Mecca Region, Saudi Arabia" (the state left out when empty).
std::string describe(const City &city);

// ---- Civil time ------------------------------------------------------------------------------

// The civil time of one zone at one instant.
struct ZoneTime {
    int offsetMinutes = 0;    // local time minus UT, minutes
    std::string abbreviation; // the tz database's abbreviation: "EST", "+03", "WIB"
    bool daylightSaving = false;
};

// The rules of one IANA time zone from 1900 to 2100, read once from the system's tz database
// (Debian's tzdata, which security updates keep current) and then answered from memory.
class ZoneRules {
  public:
    // Loads the zone `name` ("Asia/Riyadh"). Returns false with a one-line reason (which does not
    // repeat the name) when the tz database has no such zone. Loading sets the C library's TZ while
    // it reads the zone, under a lock, and restores it: load zones before starting threads that use
    // the C library's local time. About 10 ms.
    bool load(const std::string &name, std::string &error);
    // Loads the system's local zone as the C library has it (TZ, else /etc/localtime); its
    // name() is "".
    void loadLocal();

    const std::string &name() const { return name_; }
    // The zone's time at `unixSeconds` (seconds since 1970-01-01 UT); outside 1900..2100 the
    // nearest end's rule.
    ZoneTime at(int64_t unixSeconds) const;
    // The same at a Julian date (UT).
    ZoneTime atJulian(double jdUt) const;

  private:
    struct Span {
        int64_t from; // unix seconds at which this offset begins
        ZoneTime time;
    };
    std::string name_;
    std::vector<Span> spans_; // ascending
    void probe();             // fills spans_ from the C library's current zone
};

// Whether `name` has the form of an IANA zone name: letters, digits, '_', '-', '+' in parts
// joined by '/', none of them "." or "..".
bool plausibleZoneName(const std::string &name);

} // namespace places
