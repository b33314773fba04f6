// The evening map's CSV and GeoJSON text, formatted with std::to_chars (the same characters as
// printf's %.10g and %.4f) straight into large buffers.
#include "maps/mapformat.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "maps/contours.h"

namespace {

// Room for any one number the writers format (%.10g of a double needs at most 17 characters).
constexpr size_t kNumberRoom = 32;

char *general10(char *p, double v) {
    return std::to_chars(p, p + kNumberRoom, v, std::chars_format::general, 10).ptr;
}

// A single-precision value to four decimals, the characters of printf's %.4f of the value as a
// double: the float's 24-bit significand times 10000 is exact in a double, so rounding that
// product to an integer (to even on a tie, as printf rounds the exact decimal value) gives the
// digits.
char *fixed4(char *p, float value) {
    const double scaled = static_cast<double>(value) * 10000.0;
    if (!(std::fabs(scaled) < 1e15))
        return std::to_chars(p, p + kNumberRoom, static_cast<double>(value),
                             std::chars_format::fixed, 4)
            .ptr;
    // Adding and taking away 2^52 rounds to an integer, ties to even (the default rounding).
    constexpr double kTwo52 = 4503599627370496.0;
    const double rounded = (std::fabs(scaled) + kTwo52) - kTwo52;
    if (std::signbit(scaled)) *p++ = '-';
    const auto n = static_cast<unsigned long long>(rounded);
    p = std::to_chars(p, p + kNumberRoom, n / 10000).ptr;
    *p++ = '.';
    unsigned fraction = static_cast<unsigned>(n % 10000);
    for (int k = 3; k >= 0; --k, fraction /= 10)
        p[k] = static_cast<char>('0' + fraction % 10);
    return p + 4;
}

char *twoDigits(char *p, int v) {
    p[0] = static_cast<char>('0' + v / 10);
    p[1] = static_cast<char>('0' + v % 10);
    return p + 2;
}

// Tb as isoUt() writes it, with the day's calendar date kept from the previous call (most cells
// of a row share their evening).
class UtWriter {
  public:
    char *write(char *p, double jd) {
        // As almanac::splitUt: rounded to the second, 23:59:59.6 carried into the next day.
        double day0 = std::floor(jd - 0.5) + 0.5;
        double seconds = std::round((jd - day0) * 86400.0);
        if (seconds >= 86400.0) day0 += 1, seconds -= 86400.0;
        if (!(day0 == day_)) {
            date_ = almanac::splitUt(day0);
            day_ = day0;
        }
        if (date_.year < 1000 || date_.year > 9999) { // not in the almanac's range: the long way
            const std::string text = isoUt(jd);
            return std::copy(text.begin(), text.end(), p);
        }
        const int s = static_cast<int>(seconds);
        p = twoDigits(p, date_.year / 100);
        p = twoDigits(p, date_.year % 100);
        *p++ = '-';
        p = twoDigits(p, date_.month);
        *p++ = '-';
        p = twoDigits(p, date_.day);
        *p++ = 'T';
        p = twoDigits(p, s / 3600);
        *p++ = ':';
        p = twoDigits(p, s / 60 % 60);
        *p++ = ':';
        p = twoDigits(p, s % 60);
        *p++ = 'Z';
        return p;
    }

  private:
    double day_ = NAN;
    almanac::UtParts date_{};
};

} // namespace

const char *mapCsvHeader() {
    return "lat,lon,value,class,bestTime\n";
}

void appendMapCsvRows(std::string &out, const EveningMap &map, int rowBegin, int rowEnd) {
    if (rowBegin >= rowEnd) return;
    // The longitudes are the same in every row: formatted once, "lon," each.
    std::string lons;
    std::vector<uint32_t> lonAt(size_t(map.cols) + 1);
    for (int col = 0; col < map.cols; ++col) {
        char text[kNumberRoom];
        char *end = general10(text, map.longitude(col));
        *end++ = ',';
        lonAt[size_t(col)] = static_cast<uint32_t>(lons.size());
        lons.append(text, end);
    }
    lonAt[size_t(map.cols)] = static_cast<uint32_t>(lons.size());
    lons.append(kNumberRoom, '\0'); // fixed-size copies may read past the last
    const bool telvor = map.criterion == Criterion::Telvor;
    // Class names padded for fixed-size copies.
    char names[8][16] = {};
    size_t nameLength[8];
    for (int k = 0; k < classCount(map.criterion); ++k) {
        nameLength[k] = std::char_traits<char>::length(className(map.criterion, k));
        std::memcpy(names[k], className(map.criterion, k), nameLength[k]);
    }
    // A line: lat, lon, value, class and time, each well within its room.
    constexpr size_t kLineRoom = 3 * kNumberRoom + 16 + 24;
    UtWriter ut;
    std::vector<char> scratch(size_t(map.cols) * kLineRoom);
    for (int row = rowBegin; row < rowEnd; ++row) {
        char lat[kNumberRoom];
        char *latEnd = general10(lat, map.latitude(row));
        *latEnd++ = ',';
        const size_t latLength = size_t(latEnd - lat);
        // Formatted into the row's scratch (sized once), then appended in one copy.
        char *p = scratch.data();
        const MapCell *cells = &map.cells[size_t(row) * size_t(map.cols)];
        for (int col = 0; col < map.cols; ++col) {
            const MapCell &c = cells[col];
            // Copies of a fixed size, each within the line's room, then the pointer moved on
            // by the true length.
            std::memcpy(p, lat, 24);
            p += latLength;
            std::memcpy(p, lons.data() + lonAt[size_t(col)], 24);
            p += lonAt[size_t(col) + 1] - lonAt[size_t(col)];
            if (c.cls == MapCell::kNone) {
                p = std::copy_n(",none,\n", 7, p);
                continue;
            }
            if (telvor)
                p = std::to_chars(p, p + kNumberRoom, static_cast<int>(c.value)).ptr;
            else
                p = fixed4(p, c.value);
            *p++ = ',';
            std::memcpy(p, names[c.cls], 16);
            p += nameLength[c.cls];
            *p++ = ',';
            p = ut.write(p, c.bestTime);
            *p++ = '\n';
        }
        out.append(scratch.data(), size_t(p - scratch.data()));
    }
}

namespace {

void appendRing(std::string &out, const Ring &ring) {
    const size_t start = out.size();
    out.resize(start + 2 + ring.size() * (2 * kNumberRoom + 4));
    char *p = out.data() + start;
    *p++ = '[';
    for (size_t k = 0; k < ring.size(); ++k) {
        if (k) *p++ = ',';
        *p++ = '[';
        p = general10(p, ring[k].first);
        *p++ = ',';
        p = general10(p, ring[k].second);
        *p++ = ']';
    }
    *p++ = ']';
    out.resize(size_t(p - out.data()));
}

} // namespace

std::string mapGeoJson(const EveningMap &map) {
    std::string out = "{\"type\":\"FeatureCollection\",\"features\":[";
    std::vector<uint8_t> mask(map.cells.size());
    bool first = true;
    for (int k = 0; k < classCount(map.criterion); ++k) {
        for (size_t i = 0; i < mask.size(); ++i)
            mask[i] = map.cells[i].cls == k;
        const std::vector<RegionPolygon> polygons =
            regionPolygons(map.rows, map.cols, map.step, mask);
        if (polygons.empty()) continue;
        char fill[8];
        std::snprintf(fill, sizeof fill, "%06x", classColour(map.criterion, k));
        out += first ? "\n" : ",\n";
        out += "{\"type\":\"Feature\",\"properties\":{\"criterion\":\"";
        out += criterionName(map.criterion);
        out += "\",\"class\":\"";
        out += className(map.criterion, k);
        out += "\",\"meaning\":\"";
        out += classMeaning(map.criterion, k);
        out += "\",\"fill\":\"#";
        out += fill;
        out += "\"},\"geometry\":{\"type\":\"MultiPolygon\",\"coordinates\":[";
        first = false;
        for (size_t p = 0; p < polygons.size(); ++p) {
            out += p ? ",[" : "[";
            appendRing(out, polygons[p].outer);
            for (const Ring &h : polygons[p].holes) {
                out += ',';
                appendRing(out, h);
            }
            out += ']';
        }
        out += "]}}";
    }
    out += "\n]}\n";
    return out;
}
