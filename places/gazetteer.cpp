// Place names: the GeoNames cities through libgeonames (or the built-in few), aliases and
// qualifiers.
#include "places/places.h"

#include <algorithm>
#include <cctype>
#include <mutex>

#ifdef TELVOR_HAS_GEONAMES
#include <geonames.h>
#endif

namespace places {

namespace {

// Case-insensitive comparison form: Unicode case folding with the gazetteer's library (GLib),
// ASCII lower case without it.
std::string fold(const std::string &text) {
#ifdef TELVOR_HAS_GEONAMES
    if (!g_utf8_validate(text.c_str(), static_cast<gssize>(text.size()), nullptr)) return text;
    gchar *normal = g_utf8_normalize(text.c_str(), -1, G_NORMALIZE_NFC);
    gchar *folded = g_utf8_casefold(normal ? normal : text.c_str(), -1);
    std::string out = folded ? folded : text;
    g_free(folded);
    g_free(normal);
    return out;
#else
    std::string out = text;
    for (char &c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
#endif
}

std::string trim(const std::string &text) {
    const size_t a = text.find_first_not_of(" \t");
    if (a == std::string::npos) return "";
    const size_t b = text.find_last_not_of(" \t");
    return text.substr(a, b - a + 1);
}

// Every city whose names the gazetteer finds for `name` (its own matching: whole words and
// their beginnings, alternative names included).
std::vector<City> candidates(const std::string &name) {
    std::vector<City> out;
#ifdef TELVOR_HAS_GEONAMES
    // libgeonames loads its cities into its own state on first use and does not say that its
    // queries may run at once: one at a time.
    static std::mutex lock;
    std::lock_guard<std::mutex> guard(lock);
    guint count = 0;
    GError *error = nullptr;
    gint *found =
        geonames_query_cities_sync(name.c_str(), GEONAMES_QUERY_DEFAULT, &count, nullptr, &error);
    if (error) g_error_free(error);
    for (guint i = 0; found && i < count; ++i) {
        GeonamesCity *c = geonames_get_city(found[i]);
        if (!c) continue;
        auto text = [](const gchar *s) { return std::string(s ? s : ""); };
        out.push_back({text(geonames_city_get_name(c)), text(geonames_city_get_state(c)),
                       text(geonames_city_get_country(c)), text(geonames_city_get_country_code(c)),
                       text(geonames_city_get_timezone(c)), geonames_city_get_latitude(c),
                       geonames_city_get_longitude(c), geonames_city_get_population(c)});
        geonames_city_free(c);
    }
    g_free(found);
#else
    const std::string key = fold(name);
    for (const City &c : builtInCities())
        if (fold(c.name).rfind(key, 0) == 0) out.push_back(c);
#endif
    return out;
}

// Whether a qualifier ("Canada", "CA", "Ontario") names the city's state, country or code.
bool qualifies(const City &c, const std::string &qualifier) {
    const std::string q = fold(qualifier);
    return q == fold(c.state) || q == fold(c.country) || q == fold(c.countryCode);
}

bool byPopulation(const City &a, const City &b) {
    return a.population > b.population;
}

} // namespace

const std::vector<Alias> &aliases() {
    // The common English names and transliterations of the cities this tool's users ask about
    // most, where the gazetteer spells them otherwise or shares the name with smaller places.
    static const std::vector<Alias> table = {
        {"mecca", "Makkah al Mukarramah", "SA"},
        {"makkah", "Makkah al Mukarramah", "SA"},
        {"makka", "Makkah al Mukarramah", "SA"},
        {"mekka", "Makkah al Mukarramah", "SA"},
        {"medina", "Medina", "SA"},
        {"madinah", "Medina", "SA"},
        {"al madinah", "Medina", "SA"},
        {"al-madinah", "Medina", "SA"},
        {"madina", "Medina", "SA"},
        {"al-quds", "Jerusalem", "IL"},
        {"al quds", "Jerusalem", "IL"},
        {"quds", "Jerusalem", "IL"},
        {"jerusalem", "Jerusalem", "IL"},
    };
    return table;
}

bool hasGazetteer() {
#ifdef TELVOR_HAS_GEONAMES
    return true;
#else
    return false;
#endif
}

const std::vector<City> &builtInCities() {
    // GeoNames' own values for the cities the world map marks (CC-BY 4.0, geonames.org).
    static const std::vector<City> cities = {
        {"Makkah al Mukarramah", "Mecca Region", "Saudi Arabia", "SA", "Asia/Riyadh", 21.42664,
         39.82563, 1323624},
        {"Cairo", "Cairo Governorate", "Egypt", "EG", "Africa/Cairo", 30.06263, 31.24967, 7734614},
        {"Istanbul", "Istanbul", "Turkey", "TR", "Europe/Istanbul", 41.01384, 28.94966, 14804116},
        {"Tehran", "Tehran Province", "Iran", "IR", "Asia/Tehran", 35.69439, 51.42151, 7153309},
        {"Karachi", "Sindh Province", "Pakistan", "PK", "Asia/Karachi", 24.8608, 67.0104, 11624219},
        {"Jakarta", "Jakarta Special Capital Region", "Indonesia", "ID", "Asia/Jakarta", -6.21462,
         106.84513, 8540121},
        {"Kuala Lumpur", "Kuala Lumpur", "Malaysia", "MY", "Asia/Kuala_Lumpur", 3.1412, 101.68653,
         1453975},
        {"Rabat", "Rabat-Salé-Kénitra", "Morocco", "MA", "Africa/Casablanca", 34.01325, -6.83255,
         1655753},
        {"Lagos", "Lagos", "Nigeria", "NG", "Africa/Lagos", 6.45407, 3.39467, 9000000},
        {"London", "England", "United Kingdom", "GB", "Europe/London", 51.50853, -0.12574, 8961989},
        {"New York", "New York", "United States of America", "US", "America/New_York", 40.71427,
         -74.00597, 8804190},
        {"Rio de Janeiro", "Rio de Janeiro", "Brazil", "BR", "America/Sao_Paulo", -22.90642,
         -43.18223, 6023699},
        {"Medina", "Medina Region", "Saudi Arabia", "SA", "Asia/Riyadh", 24.46861, 39.61417,
         1300000},
        {"Jerusalem", "Jerusalem District", "Israel", "IL", "Asia/Jerusalem", 31.76904, 35.21633,
         801000},
    };
    return cities;
}

std::string describe(const City &c) {
    std::string text = c.name;
    if (!c.state.empty() && c.state != c.name) text += ", " + c.state;
    if (!c.country.empty()) text += ", " + c.country;
    return text;
}

Lookup lookupPlace(const std::string &query) {
    Lookup result;
    std::vector<std::string> parts;
    size_t from = 0;
    for (;;) {
        const size_t comma = query.find(',', from);
        parts.push_back(trim(query.substr(from, comma - from)));
        if (comma == std::string::npos) break;
        from = comma + 1;
    }
    std::string name = parts[0];
    if (name.empty()) return result;
    const std::string key = fold(name);
    std::string aliasCode;
    for (const Alias &a : aliases())
        if (key == a.alias) {
            name = a.name, aliasCode = a.countryCode, result.viaAlias = true;
            break;
        }
    std::vector<City> found = candidates(name);
    std::vector<City> exact;
    for (const City &c : found) {
        if (fold(c.name) != fold(name)) continue;
        if (!aliasCode.empty() && c.countryCode != aliasCode) continue;
        bool all = true;
        for (size_t i = 1; i < parts.size() && all; ++i)
            all = qualifies(c, parts[i]);
        if (all) exact.push_back(c);
    }
    // The gazetteer's own match (an alternative name, a name's first words) when it is the only
    // one and nothing carries the name whole.
    if (exact.empty() && found.size() == 1 && parts.size() == 1) exact = found;
    std::stable_sort(exact.begin(), exact.end(), byPopulation);
    if (exact.size() == 1) {
        result.match = Match::Found;
        result.cities = exact;
    } else if (exact.size() > 1) {
        result.match = Match::Ambiguous;
        result.cities = exact;
    } else {
        std::stable_sort(found.begin(), found.end(), byPopulation);
        if (found.size() > 5) found.resize(5);
        result.cities = found;
    }
    return result;
}

} // namespace places
