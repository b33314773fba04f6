// Tests of telvor map and telvor render --annotate as users see them: the picture's legend
// against the classes counted in the CSV, the GeoJSON regions, the errors.
#include <png.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "maps/eveningmap.h"

namespace {

std::string dir() {
    static const std::string d =
        testing::TempDir() + "telvor_map_" + std::to_string(getpid()) + "_";
    return d;
}

int run(const std::string &args, std::string *err = nullptr) {
    const std::string errPath = dir() + "err";
    const int status =
        std::system((std::string(TELVOR_BIN) + " " + args + " 2>" + errPath).c_str());
    if (err) {
        std::ifstream f(errPath);
        std::stringstream ss;
        ss << f.rdbuf();
        *err = ss.str();
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

Picture readPng(const std::string &path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    Picture p;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return p;
    image.format = PNG_FORMAT_RGB;
    std::vector<unsigned char> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return p;
    p = Picture(image.width, image.height);
    for (size_t i = 0; i < p.pixels.size(); ++i)
        p.pixels[i] = uint32_t(rgb[3 * i]) << 16 | uint32_t(rgb[3 * i + 1]) << 8 | rgb[3 * i + 2];
    return p;
}

int countIn(const Picture &p, int x0, int y0, int x1, int y1, uint32_t colour) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            n += p.at(x, y) == colour;
    return n;
}

TEST(MapCommand, LegendMatchesTheClassesOfTheCsv) {
    const std::string png = dir() + "m.png", csv = dir() + "m.csv", geo = dir() + "m.geojson";
    std::string err;
    ASSERT_EQ(run("map --date 2024-03-10 --criterion yallop --step 1 --out " + png + " --csv " +
                      csv + " --geojson " + geo,
                  &err),
              0)
        << err;
    // The CSV: a header, one line per cell, the classes counted.
    std::ifstream f(csv);
    std::string line;
    std::getline(f, line);
    EXPECT_EQ(line, "lat,lon,value,class,bestTime");
    std::map<std::string, int> counts;
    int lines = 0;
    while (std::getline(f, line)) {
        ++lines;
        std::stringstream ss(line);
        std::string lat, lon, value, cls, best;
        std::getline(ss, lat, ','), std::getline(ss, lon, ','), std::getline(ss, value, ',');
        std::getline(ss, cls, ','), std::getline(ss, best, ',');
        ++counts[cls];
        if (cls == "none")
            ASSERT_TRUE(value.empty() && best.empty()) << line;
        else
            ASSERT_TRUE(!value.empty() && best.size() == 20 && best.back() == 'Z') << line;
    }
    EXPECT_EQ(lines, 180 * 360);
    // On this evening the Americas see it (A) and the far east is before the Moon's setting.
    EXPECT_GT(counts["A"], 0);
    EXPECT_GT(counts["F"], 0);
    EXPECT_GT(counts["none"], 0);

    const Picture p = readPng(png);
    ASSERT_GT(p.width, 0);
    EveningMap m;
    m.date = {2024, 3, 10};
    m.conjunction = almanac::julianDateUt(m.date);
    const WorldMapContent content = eveningMapContent(m);
    WorldMapLayout l{};
    std::string error;
    ASSERT_TRUE(layoutWorldMap(p.width, p.height, content, l, error)) << error;
    for (int k = 0; k < classCount(Criterion::Yallop); ++k) {
        const std::string name = className(Criterion::Yallop, k);
        const uint32_t colour = classColour(Criterion::Yallop, k);
        const int inMap =
            countIn(p, l.mapX, l.mapY, l.mapX + l.mapWidth, l.mapY + l.mapHeight, colour);
        const int inLegend = countIn(p, 0, l.legendY, p.width, p.height, colour);
        EXPECT_GE(inLegend, 100) << "legend swatch of class " << name;
        if (counts[name] >= 5) {
            EXPECT_GT(inMap, 0) << "class " << name << " counted " << counts[name];
        }
        if (counts[name] == 0) {
            EXPECT_EQ(inMap, 0) << "class " << name << " not in the CSV";
        }
    }
    // Title ink above the map, the graticule inside it, Mecca's marker on it.
    EXPECT_GT(countIn(p, 0, 0, p.width, l.mapY - 2, 0x000000), 500);
    EXPECT_GT(countIn(p, l.mapX, l.mapY, l.mapX + l.mapWidth, l.mapY + l.mapHeight, 0x6a6a6a),
              1000);
    const int mx = static_cast<int>(l.xOf(39.8262)), my = static_cast<int>(l.yOf(21.4225));
    EXPECT_EQ(p.at(mx, my), 0xffffffu) << "Mecca's marker";

    // The GeoJSON: one feature per class present, each a MultiPolygon.
    std::ifstream g(geo);
    const nlohmann::json j = nlohmann::json::parse(g);
    std::set<std::string> featured;
    for (const auto &feature : j["features"]) {
        EXPECT_EQ(feature["geometry"]["type"], "MultiPolygon");
        featured.insert(feature["properties"]["class"].get<std::string>());
    }
    for (const auto &[name, n] : counts)
        if (name != "none") {
            EXPECT_EQ(featured.count(name), n > 0 ? 1u : 0u) << name;
        }
}

// A cell of the CSV (its centre's "lat,lon," prefix) against telvor sighting at that centre.
TEST(MapCommand, CellsMatchTelvorSighting) {
    const std::string csv = dir() + "t.csv", out = dir() + "sighting.json";
    for (const char *criterion : {"telvor", "yallop"}) {
        ASSERT_EQ(run(std::string("map --date 2024-03-10 --step 1 --criterion ") + criterion +
                      " --csv " + csv),
                  0);
        for (const char *place : {"21.5,39.5", "30.5,-100.5", "-20.5,-60.5"}) {
            std::string lat(place, std::strchr(place, ',')), lon(std::strchr(place, ',') + 1);
            ASSERT_EQ(run("sighting --date 2024-03-10 --lat " + lat + " --lon " + lon +
                          " --json >" + out),
                      0);
            std::ifstream sf(out);
            const nlohmann::json s = nlohmann::json::parse(sf);
            std::ifstream f(csv);
            std::string line, cell;
            while (std::getline(f, line))
                if (line.rfind(std::string(place) + ",", 0) == 0) cell = line;
            ASSERT_FALSE(cell.empty()) << place;
            char expected[160];
            if (std::string(criterion) == "telvor")
                std::snprintf(expected, sizeof expected, "%s,%d,%s,%s", place,
                              s["telvorCode"].get<int>(),
                              s["telvorCode"] == 100 ? "visible" : "not",
                              s["bestTime"].get<std::string>().c_str());
            else
                std::snprintf(expected, sizeof expected, "%s,%.4f,%s,%s", place,
                              static_cast<float>(s["q"].get<double>()),
                              s["yallopClass"].get<std::string>().c_str(),
                              s["bestTime"].get<std::string>().c_str());
            EXPECT_EQ(cell, expected) << criterion;
        }
    }
}

TEST(MapCommand, BadOptionsGiveOneLineAndExitTwo) {
    const std::string png = dir() + "bad.png";
    for (const std::string &args :
         std::vector<std::string>{"map --date 2024-03-10 --criterion foo --out " + png,
                                  "map --date 2024-03-10 --step 0.7 --out " + png,
                                  "map --date 2024-03-10", "map --date 2024-02-30 --out " + png,
                                  "map --date 2024-03-10 --size 10x10 --out " + png,
                                  "map --date 2024-03-10 --threads -1 --out " + png}) {
        std::string err;
        EXPECT_EQ(run(args, &err), 2) << args;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << args << ": " << err;
        EXPECT_FALSE(std::ifstream(png).good()) << args;
    }
}

// A picture named for another image format is refused, not written as PNG under that name.
TEST(MapCommand, PicturesNamedForAnotherFormatAreRefused) {
    for (const char *name : {"x.jpg", "x.JPEG", "x.gif", "x.bmp", "x.Tif", "x.tiff", "x.webp"}) {
        const std::string path = dir() + name;
        for (const std::string &args :
             {"map --date 2024-03-10 --step 30 --out " + path,
              "render --date 2024-06-15 --zone 0 --size 320x240 --out " + path}) {
            std::string err;
            EXPECT_EQ(run(args, &err), 2) << args;
            EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << args << ": " << err;
            EXPECT_NE(err.find("PNG"), std::string::npos) << err;
            EXPECT_FALSE(std::ifstream(path).good()) << args;
        }
    }
    // A .png, a name without an extension and a folder with a dot are written.
    const std::string folder = dir() + "pictures.jpg";
    std::filesystem::create_directory(folder);
    for (const std::string &path : {dir() + "x.PNG", dir() + "x", folder + "/map"}) {
        EXPECT_EQ(run("map --date 2024-03-10 --step 30 --out " + path), 0) << path;
        EXPECT_GT(readPng(path).width, 0) << path;
        std::remove(path.c_str());
    }
    std::filesystem::remove_all(folder);
}

// Every output path is tried before the work, and each file appears whole or not at all.
TEST(MapCommand, OutputsRefusedBeforeTheWorkAndWrittenWhole) {
    const std::string png = dir() + "whole.png", csv = dir() + "whole.csv";
    for (const std::string &bad : std::vector<std::string>{"--csv /nonexistent/dir/x.csv",
                                                           "--geojson /nonexistent/dir/x.json",
                                                           "--csv " + testing::TempDir()}) {
        std::string err;
        EXPECT_EQ(run("map --date 2024-03-10 --step 30 --out " + png + " " + bad, &err), 2) << bad;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << bad << ": " << err;
        EXPECT_NE(err.find(bad.substr(0, bad.find(' '))), std::string::npos) << err;
        EXPECT_FALSE(std::ifstream(png).good()) << "a picture was written with " << bad;
    }
    // Ended by a signal in the middle of a fine map: no file, no temporary left.
    const std::string folder = dir() + "signal";
    std::filesystem::create_directory(folder);
    const std::string cmd = "sh -c '" + std::string(TELVOR_BIN) +
                            " map --date 2024-03-10 --step 0.1 --threads 1 --out " + folder +
                            "/m.png --csv " + folder + "/m.csv & sleep 0.5; kill -TERM $!; wait'";
    EXPECT_NE(std::system(cmd.c_str()), -1);
    EXPECT_TRUE(std::filesystem::is_empty(folder)) << "left in " << folder;
    std::filesystem::remove_all(folder);
    // The CSV and the picture appear complete.
    EXPECT_EQ(run("map --date 2024-03-10 --step 30 --out " + png + " --csv " + csv), 0);
    std::ifstream lines(csv);
    std::string line;
    int n = 0;
    while (std::getline(lines, line))
        ++n;
    EXPECT_EQ(n, 1 + 6 * 12) << "the header and one line per 30-degree cell";
    EXPECT_GT(readPng(png).width, 0);
    std::remove(png.c_str());
    std::remove(csv.c_str());
}

TEST(RenderCommand, AnnotatedCopyHasTheLegendStrip) {
    const std::string plain = dir() + "plain.png", notes = dir() + "notes.png";
    ASSERT_EQ(run("render --date 2024-06-15 --zone 0 --size 320x240 --out " + plain), 0);
    ASSERT_EQ(run("render --date 2024-06-15 --zone 0 --size 320x240 --annotate --out " + notes), 0);
    const Picture a = readPng(plain), b = readPng(notes);
    ASSERT_EQ(a.width, 320);
    ASSERT_EQ(a.height, 240);
    ASSERT_EQ(b.width, 320);
    ASSERT_GT(b.height, 240);
    // The saver's frame itself is unchanged apart from the first place's marker.
    int changed = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x)
            changed += a.at(x, y) != b.at(x, y);
    EXPECT_GT(changed, 0);
    EXPECT_LT(changed, 600); // the marker and its time label
    EXPECT_GT(countIn(b, 0, 240, 320, b.height, 0xff00ff), 50) << "magenta swatch";
    EXPECT_GT(countIn(b, 0, 240, 320, b.height, 0x0000ff), 50) << "blue swatch";
    // Only the --out picture is annotated.
    std::string err;
    EXPECT_EQ(run("render --annotate --frames " + testing::TempDir(), &err), 2);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
}

} // namespace

// The almanac's years, 1800 to 2200, at both ends: the map is drawn, delta T's uncertainty told
// on the standard error; a day beyond them refused in one line with exit 2, as is the saver's
// test outside its 1901-2099.
TEST(MapCommand, YearsFrom1800To2200) {
    const std::string csv = dir() + "range.csv";
    for (const char *date : {"1800-01-01", "2200-12-31"}) {
        std::remove(csv.c_str());
        std::string err;
        EXPECT_EQ(run(std::string("map --step 10 --date ") + date + " --csv " + csv, &err), 0)
            << date << ": " << err;
        EXPECT_EQ(err.rfind("telvor map: note: delta T is uncertain by about", 0), 0) << err;
        std::ifstream f(csv);
        int lines = 0;
        for (std::string l; std::getline(f, l);)
            ++lines;
        EXPECT_EQ(lines, 1 + 18 * 36) << date;
    }
    for (const char *date : {"1799-12-31", "2201-01-01"}) {
        std::remove(csv.c_str());
        std::string err;
        EXPECT_EQ(run(std::string("map --step 10 --date ") + date + " --csv " + csv, &err), 2);
        EXPECT_EQ(err, std::string("telvor map: --date: '") + date +
                           "' is not a date YYYY-MM-DD from 1800-01-01 to 2200-12-31\n");
        EXPECT_FALSE(std::ifstream(csv).good()) << date;
    }
    std::string err;
    EXPECT_EQ(run("map --step 10 --criterion telvor --date 1850-06-01 --csv " + csv, &err), 2);
    EXPECT_EQ(err, "telvor map: --criterion telvor: the saver's test covers 1901-2099\n");
    std::remove(csv.c_str());
}
