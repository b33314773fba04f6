// Tests of the picture drawing, the land mask, the marching-squares outlines, the row pool and
// the annotation of the saver's frames.
#include <atomic>
#include <cmath>
#include <set>

#include <gtest/gtest.h>

#include "maps/annotate.h"
#include "maps/contours.h"
#include "maps/landmask.h"
#include "maps/picture.h"
#include "maps/rows.h"
#include "maps/worldmap.h"

namespace {

int count(const Picture &p, uint32_t colour) {
    int n = 0;
    for (uint32_t c : p.pixels)
        n += c == colour;
    return n;
}

double area(const Ring &r) {
    double a = 0;
    for (size_t k = 0; k + 1 < r.size(); ++k)
        a += r[k].first * r[k + 1].second - r[k + 1].first * r[k].second;
    return a / 2;
}

TEST(Picture, TextLinesAndClipping) {
    Picture p(40, 20, 0);
    drawText(p, 0, 0, "H", 0xffffff);
    // The fixed font's 'H' lights 22 pixels.
    EXPECT_EQ(count(p, 0xffffff), 22);
    EXPECT_EQ(textWidth("abc", 2), 48);
    Picture q(10, 10, 0);
    drawLine(q, -5, 5, 20, 5, 1); // clipped to the 10 pixels of row 5
    EXPECT_EQ(count(q, 1), 10);
    drawLine(q, 0, 0, 9, 9, 2, 2); // dashed diagonal: runs of 2 on, 2 off
    EXPECT_EQ(count(q, 2), 6);     // pixels 0, 1, 4, 5, 8, 9 of the diagonal
    fillRect(q, 8, 8, 5, 5, 3);
    EXPECT_EQ(count(q, 3), 4);
}

TEST(LandMask, KnownPlaces) {
    struct Case {
        const char *name;
        double lat, lon;
        bool land;
    } cases[] = {{"Sahara", 23, 10, true},
                 {"mid Pacific", 0, -150, false},
                 {"Antarctic plateau", -85, 40, true},
                 {"North Atlantic", 40, -40, false},
                 {"Siberia", 62, 100, true},
                 {"wrapped longitude", 23, 370, true}};
    for (const Case &c : cases)
        EXPECT_EQ(isLand(c.lat, c.lon), c.land) << c.name;
}

TEST(Contours, SingleCellBlockHoleAndEdges) {
    // 6 rows x 12 columns of 30 degrees: a lone cell, a 3x3 block with a hole, a strip along 180.
    const int rows = 6, cols = 12;
    std::vector<uint8_t> m(rows * cols, 0);
    auto set = [&](int r, int c) { m[r * cols + c] = 1; };
    set(0, 5);
    for (int r = 2; r <= 4; ++r)
        for (int c = 2; c <= 4; ++c)
            if (r != 3 || c != 3) set(r, c);
    for (int r = 1; r <= 4; ++r)
        set(r, 0), set(r, 11);
    const std::vector<RegionPolygon> ps = regionPolygons(rows, cols, 30.0, m);
    ASSERT_EQ(ps.size(), 4u); // the strips on either edge stay two (no wrap-around join)
    int holes = 0;
    std::set<double> areas;
    for (const RegionPolygon &p : ps) {
        EXPECT_GT(area(p.outer), 0) << "outer rings run counter-clockwise";
        EXPECT_EQ(p.outer.front(), p.outer.back());
        for (const Ring &h : p.holes)
            EXPECT_LT(area(h), 0) << "holes run clockwise";
        holes += static_cast<int>(p.holes.size());
        areas.insert(area(p.outer));
    }
    EXPECT_EQ(holes, 1);
    // The lone cell: a diamond through the midpoints to its neighbours, half a cell.
    EXPECT_TRUE(areas.count(450.0));
    // The lone cell in the southernmost row reaches the pole: it touches -90.
    bool pole = false, west = false;
    for (const RegionPolygon &p : ps)
        for (const auto &[x, y] : p.outer)
            pole |= y == -90.0, west |= x == -180.0;
    EXPECT_TRUE(pole);
    EXPECT_TRUE(west);
}

TEST(Rows, EveryRowOnceWithProgress) {
    for (int threads : {1, 2, 7, 0}) {
        std::vector<std::atomic<int>> seen(301);
        int last = 0;
        forEachRow(
            301, threads, [&](int r) { seen[r].fetch_add(1); },
            [&](int done) {
                EXPECT_GE(done, last);
                last = done;
            });
        for (int r = 0; r < 301; ++r)
            ASSERT_EQ(seen[r].load(), 1) << "threads " << threads;
        EXPECT_EQ(last, 301);
    }
}

TEST(WorldMap, LayoutAndTooSmall) {
    WorldMapContent content;
    content.legend = {{"a", 1, 1}, {"b", 2, 2}};
    int w = 0, h = 0;
    naturalWorldMapSize(1440, content, w, h);
    WorldMapLayout l{};
    std::string error;
    ASSERT_TRUE(layoutWorldMap(w, h, content, l, error)) << error;
    EXPECT_EQ(l.mapWidth, 1440);
    EXPECT_EQ(l.mapHeight, 720);
    EXPECT_DOUBLE_EQ(l.xOf(0) - l.mapX, 720.0);
    EXPECT_FALSE(layoutWorldMap(100, 100, content, l, error));
    EXPECT_NE(error.find("too small"), std::string::npos);
}

TEST(Annotate, StripMarkerAndUntouchedFrame) {
    Picture frame(288, 194, 0x800080); // a 50-row band above a 288 x 144 map
    SaverFrameFacts f;
    f.bandHeight = 50;
    f.mapColumnOffset = 720; // the date line in the middle
    f.evening = "2024-03-10";
    f.found = true;
    f.lat = 0, f.lon = 180, f.minute = 1087;
    int x = 0, y = 0;
    saverFramePosition(frame, f, 0, 180, x, y);
    EXPECT_EQ(x, 144); // 180 degrees is the canvas column of the offset
    EXPECT_EQ(y, 50 + 72);
    saverFramePosition(frame, f, 90, -180 + 0.25, x, y);
    EXPECT_EQ(y, 50);
    const Picture a = annotateSaverFrame(frame, f);
    EXPECT_EQ(a.width, frame.width);
    EXPECT_GT(a.height, frame.height + 40);
    // Away from the marker the frame is copied as it was.
    int changed = 0;
    for (int yy = 0; yy < frame.height; ++yy)
        for (int xx = 0; xx < frame.width; ++xx)
            changed += a.at(xx, yy) != frame.at(xx, yy);
    EXPECT_GT(changed, 0);
    EXPECT_LT(changed, 400);
    // The legend shows the saver's colours in the strip.
    Picture strip(a.width, a.height - frame.height);
    std::copy(a.pixels.begin() + frame.pixels.size(), a.pixels.end(), strip.pixels.begin());
    for (uint32_t c : {0xff00ffu, 0x800080u, 0xff0000u, 0x80ffffu, 0x0000ffu})
        EXPECT_GT(count(strip, c), 20) << std::hex << c;
}

} // namespace
