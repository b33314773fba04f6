// Region outlines over a latitude-longitude grid by marching squares, as polygons for GeoJSON.
#pragma once

#include <cstdint>
#include <vector>

// A closed ring of (longitude, latitude) points in degrees; the last point repeats the first.
using Ring = std::vector<std::pair<double, double>>;

// A polygon: its outer ring counter-clockwise, its holes clockwise (as RFC 7946 asks).
struct RegionPolygon {
    Ring outer;
    std::vector<Ring> holes;
};

// The outlines of the cells where mask is non-zero. The grid has rows x cols cells of `step`
// degrees, row 0 the southernmost (centre latitude -90 + (row + 0.5) step), column 0 the
// westernmost (centre longitude -180 + (col + 0.5) step); mask holds row 0 first. The contour
// passes halfway between neighbouring cell centres (diagonally across corners) and along
// the grid's edges at the poles and at 180 degrees. Diagonal neighbours alone do not join.
std::vector<RegionPolygon> regionPolygons(int rows, int cols, double step,
                                          const std::vector<uint8_t> &mask);
