// Tests of the map's CSV and GeoJSON text: the same bytes as printf's formatting of each field
// (the reference below), over several evenings and criteria and at the fields' edges.
#include <cmath>
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "maps/contours.h"
#include "maps/mapformat.h"

namespace {

// The reference: each number through snprintf, as the files were always written.
std::string referenceCsv(const EveningMap &map) {
    std::string out = "lat,lon,value,class,bestTime\n";
    char text[128];
    for (int row = 0; row < map.rows; ++row)
        for (int col = 0; col < map.cols; ++col) {
            const MapCell &c = map.cell(row, col);
            std::snprintf(text, sizeof text, "%.10g,%.10g,", map.latitude(row), map.longitude(col));
            out += text;
            if (c.cls == MapCell::kNone) {
                out += ",none,\n";
                continue;
            }
            if (map.criterion == Criterion::Telvor)
                std::snprintf(text, sizeof text, "%d,%s,%s\n", static_cast<int>(c.value),
                              className(map.criterion, c.cls), isoUt(c.bestTime).c_str());
            else
                std::snprintf(text, sizeof text, "%.4f,%s,%s\n", c.value,
                              className(map.criterion, c.cls), isoUt(c.bestTime).c_str());
            out += text;
        }
    return out;
}

std::string referenceRing(const Ring &ring) {
    std::string out = "[";
    char text[96];
    for (size_t k = 0; k < ring.size(); ++k) {
        std::snprintf(text, sizeof text, "%s[%.10g,%.10g]", k ? "," : "", ring[k].first,
                      ring[k].second);
        out += text;
    }
    return out + "]";
}

std::string referenceGeoJson(const EveningMap &map) {
    std::string out = "{\"type\":\"FeatureCollection\",\"features\":[";
    std::vector<uint8_t> mask(map.cells.size());
    bool first = true;
    char text[512];
    for (int k = 0; k < classCount(map.criterion); ++k) {
        for (size_t i = 0; i < mask.size(); ++i)
            mask[i] = map.cells[i].cls == k;
        const std::vector<RegionPolygon> polygons =
            regionPolygons(map.rows, map.cols, map.step, mask);
        if (polygons.empty()) continue;
        std::snprintf(text, sizeof text,
                      "%s\n{\"type\":\"Feature\",\"properties\":{\"criterion\":\"%s\",\"class\":"
                      "\"%s\",\"meaning\":\"%s\",\"fill\":\"#%06x\"},\"geometry\":{\"type\":"
                      "\"MultiPolygon\",\"coordinates\":[",
                      first ? "" : ",", criterionName(map.criterion), className(map.criterion, k),
                      classMeaning(map.criterion, k), classColour(map.criterion, k));
        out += text;
        first = false;
        for (size_t p = 0; p < polygons.size(); ++p) {
            out += p ? ",[" : "[";
            out += referenceRing(polygons[p].outer);
            for (const Ring &h : polygons[p].holes)
                out += "," + referenceRing(h);
            out += "]";
        }
        out += "]}}";
    }
    return out + "\n]}\n";
}

std::string csv(const EveningMap &map) {
    std::string out = mapCsvHeader();
    // In uneven blocks of rows, as the tool appends them.
    for (int row = 0; row < map.rows;) {
        const int end = std::min(map.rows, row + 1 + row % 3);
        appendMapCsvRows(out, map, row, end);
        row = end;
    }
    return out;
}

// The first line where two texts differ, for the failure message.
std::string firstDifference(const std::string &a, const std::string &b) {
    size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i])
        ++i;
    const size_t start = a.rfind('\n', i == 0 ? 0 : i - 1);
    const size_t from = start == std::string::npos ? 0 : start + 1;
    return "written '" + a.substr(from, a.find('\n', from) - from) + "', printf '" +
           b.substr(from, b.find('\n', from) - from) + "'";
}

} // namespace

TEST(MapFormat, CsvAndGeoJsonAreTheBytesOfPrintfOverSeveralEvenings) {
    const almanac::CivilDate dates[] = {
        {2024, 3, 11}, {2023, 3, 22}, {1901, 2, 20}, {2061, 7, 18}, {2099, 11, 13}};
    int n = 0;
    for (const almanac::CivilDate &date : dates)
        for (Criterion criterion : {Criterion::Yallop, Criterion::Odeh}) {
            MapRequest r;
            r.date = date;
            r.criterion = criterion;
            r.step = n++ % 2 ? 2.0 : 1.5;
            r.threads = 2;
            const EveningMap map = computeEveningMap(r);
            SCOPED_TRACE(testing::Message() << date.year << "-" << date.month << "-" << date.day
                                            << " " << criterionName(criterion));
            const std::string written = csv(map), expected = referenceCsv(map);
            EXPECT_EQ(written.size(), expected.size());
            EXPECT_TRUE(written == expected) << firstDifference(written, expected);
            const std::string geo = mapGeoJson(map), geoExpected = referenceGeoJson(map);
            EXPECT_TRUE(geo == geoExpected) << firstDifference(geo, geoExpected);
        }
}

// Values and instants at the edges of their formats: rounding halves, negative zero, the
// engine's integer codes, times that round into the next day, every class.
TEST(MapFormat, FieldsAtTheirEdgesAreThePrintfBytes) {
    for (Criterion criterion : {Criterion::Yallop, Criterion::Odeh, Criterion::Telvor}) {
        EveningMap map;
        map.criterion = criterion;
        map.step = 0.1;
        map.rows = 3;
        map.cols = 40;
        const float values[] = {0.0f,   -0.0f,    0.00005f,   -0.00005f, 0.216f,     -0.232f,
                                -0.16f, 0.99995f, 5.65f,      -0.96f,    12.345651f, 1e-7f,
                                -1e-7f, 100.0f,   -99.99999f, 3.14159f};
        const double times[] = {
            2460380.5, 2460380.5 - 0.4 / 86400, 2460380.5 + 0.5 / 86400, 2460381.499999, 2415436.7,
            2488068.3, 2460380.9999999999,      2460380.123456789};
        for (int i = 0; i < map.rows * map.cols; ++i) {
            MapCell c;
            c.cls = static_cast<int8_t>(i % (classCount(criterion) + 1)) - 1;
            c.value = criterion == Criterion::Telvor ? static_cast<float>(i % 3 ? 100 : -7 * i)
                                                     : values[i % std::size(values)];
            c.bestTime = c.cls == MapCell::kNone ? NAN : times[i % std::size(times)];
            map.cells.push_back(c);
        }
        SCOPED_TRACE(criterionName(criterion));
        const std::string written = csv(map), expected = referenceCsv(map);
        EXPECT_TRUE(written == expected) << firstDifference(written, expected);
        const std::string geo = mapGeoJson(map), geoExpected = referenceGeoJson(map);
        EXPECT_TRUE(geo == geoExpected) << firstDifference(geo, geoExpected);
    }
}
