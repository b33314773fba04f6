// The picture of the records on the plane of ARCV against W, where Yallop (1997) and Odeh
// (2004) drew their criteria: seen and not seen in two marks, each criterion's class limits as
// curves, the limit of the call being scored drawn heavier.
//
// Pure code: draws into a Picture in memory (maps/picture.h); the tool writes the PNG.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "maps/picture.h"
#include "obslog/score.h"

namespace obslog {

// One record in the plane: Yallop's W' (arcminutes) and geocentric airless ARCV (degrees).
struct PlotPoint {
    double width;
    double arcv;
    bool seen;
};

// The points of the records that have a crescent, seen as `aid` counts them.
std::vector<PlotPoint> plotPoints(std::span<const Observation> records,
                                  std::span<const Evaluation> evaluations, Aid aid);

// Where the plane lies in the picture.
struct PlotFrame {
    int width = 960, height = 680;                     // the picture, pixels
    int left = 72, right = 150, top = 44, bottom = 56; // margins around the plane, pixels
    double wMin = 0, wMax = 1.5;                       // arcminutes
    double arcvMin = 0, arcvMax = 20;                  // degrees
    // Pixel column of a width and row of an ARCV (rounded to the nearest pixel).
    int x(double w) const;
    int y(double arcv) const;
};

// A frame of `width` x `height` pixels (each 320..8192) whose ranges hold the points (at least
// W 0..1.5', ARCV 0..20 degrees, in whole steps of 0.25' and 5 degrees).
PlotFrame plotFrame(std::span<const PlotPoint> points, int width = 960, int height = 680);

// Colours (0x00RRGGBB) of the marks and of a criterion's curves: the k-th drawn criterion.
constexpr uint32_t kSeenColour = 0x1a9641, kNotSeenColour = 0xd7191c;
uint32_t curveColour(size_t criterion);

// The picture: the points, and for each criterion in `rules` that has curves, its limits
// (the call's for `aid` heavier) labelled at the right.
Picture drawPlot(std::span<const PlotPoint> points, std::span<const CriterionRule *const> rules,
                 Aid aid, const PlotFrame &frame, const std::string &title);

} // namespace obslog
