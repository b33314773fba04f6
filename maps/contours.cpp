// Marching squares on the grid's cell centres, stitched into rings and sorted into polygons.
#include "maps/contours.h"

#include <algorithm>
#include <unordered_map>

namespace {

// Points are edge midpoints of the padded lattice in doubled units: (y2, x2) with one of them
// odd. Lattice point (i, j) is cell (i - 1, j - 1); the padding around the grid is outside.
struct Point {
    int64_t y2, x2;
};

double ringArea(const Ring &r) {
    double a = 0;
    for (size_t k = 0; k + 1 < r.size(); ++k)
        a += r[k].first * r[k + 1].second - r[k + 1].first * r[k].second;
    return a / 2;
}

bool contains(const Ring &r, double x, double y) {
    bool in = false;
    for (size_t k = 0, m = r.size() - 1; k < r.size(); m = k++) {
        const auto [xk, yk] = r[k];
        const auto [xm, ym] = r[m];
        if ((yk > y) != (ym > y) && x < (xm - xk) * (y - yk) / (ym - yk) + xk) in = !in;
    }
    return in;
}

struct Box {
    double x0, y0, x1, y1;
};

Box boxOf(const Ring &r) {
    Box b{r[0].first, r[0].second, r[0].first, r[0].second};
    for (const auto &[x, y] : r) {
        b.x0 = std::min(b.x0, x), b.x1 = std::max(b.x1, x);
        b.y0 = std::min(b.y0, y), b.y1 = std::max(b.y1, y);
    }
    return b;
}

} // namespace

std::vector<RegionPolygon> regionPolygons(int rows, int cols, double step,
                                          const std::vector<uint8_t> &mask) {
    auto value = [&](int i, int j) {
        return i >= 1 && j >= 1 && i <= rows && j <= cols &&
               mask[size_t(i - 1) * size_t(cols) + size_t(j - 1)] != 0;
    };
    const int64_t width2 = 2 * int64_t(cols + 2);
    auto key = [&](Point p) { return p.y2 * width2 + p.x2; };
    std::unordered_map<int64_t, Point> next; // each start point has exactly one segment
    auto segment = [&](Point a, Point b) { next.emplace(key(a), b); };

    // Square (i, j) has corners (i, j) bottom left, (i, j+1), (i+1, j+1), (i+1, j) top left.
    // Every segment keeps the inside on its left, so outer rings run counter-clockwise.
    for (int i = 0; i <= rows; ++i)
        for (int j = 0; j <= cols; ++j) {
            const int c = value(i, j) | value(i, j + 1) << 1 | value(i + 1, j + 1) << 2 |
                          value(i + 1, j) << 3;
            if (c == 0 || c == 15) continue;
            const Point B{2 * i, 2 * j + 1}, R{2 * i + 1, 2 * j + 2}, T{2 * i + 2, 2 * j + 1},
                L{2 * i + 1, 2 * j};
            switch (c) {
            case 1:
                segment(B, L);
                break;
            case 2:
                segment(R, B);
                break;
            case 3:
                segment(R, L);
                break;
            case 4:
                segment(T, R);
                break;
            case 5:
                segment(B, L), segment(T, R);
                break; // saddle: the two corners stay apart
            case 6:
                segment(T, B);
                break;
            case 7:
                segment(T, L);
                break;
            case 8:
                segment(L, T);
                break;
            case 9:
                segment(B, T);
                break;
            case 10:
                segment(R, B), segment(L, T);
                break; // saddle
            case 11:
                segment(R, T);
                break;
            case 12:
                segment(L, R);
                break;
            case 13:
                segment(B, R);
                break;
            case 14:
                segment(L, B);
                break;
            }
        }

    auto degrees = [&](Point p) {
        return std::pair<double, double>{-180.0 + (p.x2 / 2.0 - 0.5) * step,
                                         -90.0 + (p.y2 / 2.0 - 0.5) * step};
    };
    std::vector<Ring> outers, holes;
    std::vector<Point> walk;
    while (!next.empty()) {
        walk.clear();
        Point p = next.begin()->second;
        for (;;) {
            auto it = next.find(key(p));
            if (it == next.end()) break;
            walk.push_back(p);
            p = it->second;
            next.erase(it);
        }
        // Keep only the corners of the ring: points where the direction changes.
        Ring ring;
        const size_t n = walk.size();
        for (size_t k = 0; k < n; ++k) {
            const Point a = walk[(k + n - 1) % n], b = walk[k], c = walk[(k + 1) % n];
            if ((b.x2 - a.x2) * (c.y2 - b.y2) != (b.y2 - a.y2) * (c.x2 - b.x2))
                ring.push_back(degrees(b));
        }
        if (ring.size() < 3) continue;
        ring.push_back(ring.front());
        (ringArea(ring) > 0 ? outers : holes).push_back(std::move(ring));
    }

    std::vector<RegionPolygon> polygons(outers.size());
    std::vector<Box> boxes(outers.size());
    std::vector<double> areas(outers.size());
    for (size_t k = 0; k < outers.size(); ++k) {
        boxes[k] = boxOf(outers[k]);
        areas[k] = ringArea(outers[k]);
        polygons[k].outer = std::move(outers[k]);
    }
    // Each hole belongs to the smallest outer ring around it.
    for (Ring &h : holes) {
        const auto [x, y] = h[0];
        size_t best = polygons.size();
        for (size_t k = 0; k < polygons.size(); ++k) {
            const Box &b = boxes[k];
            if (x < b.x0 || x > b.x1 || y < b.y0 || y > b.y1) continue;
            if ((best == polygons.size() || areas[k] < areas[best]) &&
                contains(polygons[k].outer, x, y))
                best = k;
        }
        if (best < polygons.size()) polygons[best].holes.push_back(std::move(h));
    }
    return polygons;
}
