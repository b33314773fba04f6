// The ARCV-W picture of the records and the criteria's curves.
#include "obslog/plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace obslog {

namespace {

constexpr uint32_t kBackground = 0xffffff, kInk = 0x202020, kGrid = 0xe4e4e4;

std::string formatNumber(const char *format, double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

} // namespace

std::vector<PlotPoint> plotPoints(std::span<const Observation> records,
                                  std::span<const Evaluation> evaluations, Aid aid) {
    std::vector<PlotPoint> out;
    for (size_t i = 0; i < records.size(); ++i) {
        const Evaluation &e = evaluations[i];
        if (!e.sighting.hasCrescent) continue;
        out.push_back({e.sighting.crescent.width, e.sighting.crescent.arcv,
                       seenWith(records[i].result, aid)});
    }
    return out;
}

int PlotFrame::x(double w) const {
    const double span = width - left - right;
    return left + static_cast<int>(std::lround((w - wMin) / (wMax - wMin) * span));
}

int PlotFrame::y(double arcv) const {
    const double span = height - top - bottom;
    return height - bottom -
           static_cast<int>(std::lround((arcv - arcvMin) / (arcvMax - arcvMin) * span));
}

PlotFrame plotFrame(std::span<const PlotPoint> points, int width, int height) {
    PlotFrame f;
    f.width = std::clamp(width, 320, 8192);
    f.height = std::clamp(height, 320, 8192);
    for (const PlotPoint &p : points) {
        if (!std::isfinite(p.width) || !std::isfinite(p.arcv)) continue;
        // Far outliers (a wrong date, say) would squeeze the rest: the ranges stop at 5' and
        // 60 degrees, points beyond are drawn at the edge.
        f.wMax = std::max(f.wMax, std::min(std::ceil(p.width / 0.25) * 0.25, 5.0));
        f.arcvMax = std::max(f.arcvMax, std::min(std::ceil(p.arcv / 5) * 5, 60.0));
        f.arcvMin = std::min(f.arcvMin, std::max(std::floor(p.arcv / 5) * 5, -20.0));
    }
    return f;
}

uint32_t curveColour(size_t criterion) {
    static constexpr uint32_t kColours[] = {0x2b5fb4, 0xe08a00, 0x7b3294, 0x008080, 0x8c510a};
    return kColours[criterion % std::size(kColours)];
}

Picture drawPlot(std::span<const PlotPoint> points, std::span<const CriterionRule *const> rules,
                 Aid aid, const PlotFrame &f, const std::string &title) {
    Picture p(f.width, f.height, kBackground);
    const int x0 = f.x(f.wMin), x1 = f.x(f.wMax), y0 = f.y(f.arcvMin), y1 = f.y(f.arcvMax);
    const int gh = glyphHeight();
    // Grid and axes: W every 0.25', ARCV every 5 degrees.
    for (double w = f.wMin; w <= f.wMax + 1e-9; w += 0.25) {
        drawLine(p, f.x(w), y0, f.x(w), y1, kGrid);
        const std::string t = formatNumber("%.2f", w);
        drawText(p, f.x(w) - textWidth(t) / 2, y0 + 6, t, kInk);
    }
    for (double a = f.arcvMin; a <= f.arcvMax + 1e-9; a += 5) {
        drawLine(p, x0, f.y(a), x1, f.y(a), kGrid);
        const std::string t = formatNumber("%.0f", a);
        drawText(p, x0 - 8 - textWidth(t), f.y(a) - gh / 2, t, kInk);
    }
    strokeRect(p, x0, y1, x1 - x0 + 1, y0 - y1 + 1, kInk);
    const std::string wLabel = "W (arcmin, Yallop's W')";
    drawText(p, (x0 + x1 - textWidth(wLabel)) / 2, y0 + 10 + gh, wLabel, kInk);
    drawText(p, 4, y1 - gh - 6, "ARCV (deg, geocentric)", kInk);
    drawText(p, x0, 8, title, kInk);

    // The curves, clipped to the plane; the call's limit three pixels thick.
    int labelY = y1;
    for (size_t k = 0; k < rules.size(); ++k) {
        const CriterionRule &rule = *rules[k];
        if (!rule.curve) continue;
        const uint32_t colour = curveColour(k);
        drawText(p, x1 + 8, labelY, rule.title, colour);
        labelY += gh + 2;
        for (double limit : rule.limits) {
            const bool call = limit == rule.callLimit(aid);
            const int samples = std::max(2, (x1 - x0) / 2);
            int px = -1, py = -1;
            for (int s = 0; s <= samples; ++s) {
                const double w = f.wMin + (f.wMax - f.wMin) * s / samples;
                const double a = rule.curve(limit, w);
                const int cx = f.x(w), cy = f.y(a);
                const bool inside = a >= f.arcvMin && a <= f.arcvMax;
                if (inside && px >= 0)
                    for (int t = call ? -1 : 0; t <= (call ? 1 : 0); ++t)
                        drawLine(p, px, py + t, cx, cy + t, colour);
                px = inside ? cx : -1;
                py = cy;
            }
            const std::string label = std::string(rule.quantity) + " " +
                                      formatNumber("%+.3g", limit) + (call ? " (call)" : "");
            drawText(p, x1 + 16, labelY, label, colour);
            // The curve's own label at its right end, when that end is in the plane.
            const double end = rule.curve(limit, f.wMax);
            if (end >= f.arcvMin && end <= f.arcvMax) {
                const std::string tag = std::string(rule.quantity) + formatNumber("%+.3g", limit);
                drawText(p, x1 - 4 - textWidth(tag), f.y(end) - gh - 2, tag, colour, 1, true);
            }
            labelY += gh + 1;
        }
        labelY += 6;
    }
    // The marks on top: not seen as rings, seen as filled discs.
    for (const PlotPoint &pt : points) {
        if (!std::isfinite(pt.width) || !std::isfinite(pt.arcv)) continue;
        const int cx = std::clamp(f.x(pt.width), x0, x1), cy = std::clamp(f.y(pt.arcv), y1, y0);
        if (pt.seen)
            drawMarker(p, cx, cy, 3, kSeenColour, kSeenColour);
        else
            drawMarker(p, cx, cy, 3, kBackground, kNotSeenColour);
    }
    // The legend of the marks.
    labelY += 8;
    drawMarker(p, x1 + 14, labelY + gh / 2, 3, kSeenColour, kSeenColour);
    drawText(p, x1 + 24, labelY, aid == Aid::NakedEye ? "seen, naked eye" : "seen", kInk);
    labelY += gh + 4;
    drawMarker(p, x1 + 14, labelY + gh / 2, 3, kBackground, kNotSeenColour);
    drawText(p, x1 + 24, labelY, "not seen", kInk);
    return p;
}

} // namespace obslog
