// The evening table: hourly geocentric quantities over the evenings of one date, interpolated.
#include "almanac/almanac.h"

#include <cmath>
#include <limits>
#include <numbers>

namespace almanac {

EveningTable::EveningTable(CivilDate date) : EveningTable(date, nullptr) {}

EveningTable::EveningTable(CivilDate date, const EveningTable &neighbour)
    : EveningTable(date, &neighbour) {}

EveningTable::EveningTable(CivilDate date, const EveningTable *neighbour) : date_(date) {
    start_ = julianDateUt(date, kStartHours);
    // Nodes of the neighbour at the same instants: node i here is its node i + shift.
    const long shift =
        neighbour ? std::lround((start_ - neighbour->start_) / kStepDays) : long(kNodes);
    double turns = 0, previous = 0;
    for (int i = 0; i < kNodes; ++i) {
        Node &n = nodes_[i];
        const long j = i + shift;
        double sidereal = 0;
        if (j >= 0 && j < kNodes) {
            n = neighbour->nodes_[j];
            sidereal = std::fmod(n.siderealTime, 2 * std::numbers::pi);
        } else {
            const Geocentric g = geocentricAt(start_ + i * kStepDays);
            for (int k = 0; k < 3; ++k)
                n.sun[k] = g.sun[k], n.moon[k] = g.moon[k];
            n.jdTt = g.jdTt;
            n.obliquity = g.obliquity;
            sidereal = g.siderealTime;
        }
        // Sidereal time unwrapped into a smooth, steadily growing function for interpolation.
        if (i > 0 && sidereal < previous) turns += 2 * std::numbers::pi;
        previous = sidereal;
        n.siderealTime = sidereal + turns;
    }
    conjunctions_.fill(std::numeric_limits<double>::quiet_NaN());
    // The conjunctions an earlier neighbour found, where they reach: from the last one at or
    // before this window's start to the first one after its end. Each was found to 1e-7 days
    // by its own search; a fresh search from another start lands as close to the same root.
    std::array<double, 4> known{};
    size_t count = 0;
    if (neighbour && neighbour->start_ <= start_ && start_ < neighbour->endUt()) {
        for (double k : neighbour->conjunctions_)
            if (!std::isnan(k)) known[count++] = k;
        if (!std::isnan(neighbour->nextConjunction_)) known[count++] = neighbour->nextConjunction_;
    }
    // The known ones from the last at or before start_; usable when that one is among them.
    size_t first = count;
    for (size_t i = 0; i < count; ++i)
        if (known[i] <= start_) first = i;
    double c = first < count ? known[first] : almanac::conjunctionBefore(start_);
    size_t from = first + 1;
    for (size_t i = 0; i < conjunctions_.size() && c <= endUt(); ++i) {
        conjunctions_[i] = c;
        c = from < count ? known[from++] : almanac::conjunctionAfter(c + 1.0);
    }
    nextConjunction_ = c > endUt() ? c : almanac::conjunctionAfter(endUt());
}

template <bool kSun, bool kMoon> Geocentric EveningTable::interpolate(double jdUt) const {
    // Four-point Lagrange interpolation on the nodes around jdUt.
    double x = (jdUt - start_) / kStepDays;
    if (!(x > 0)) x = 0; // NaN too
    if (x > kNodes - 1) x = kNodes - 1;
    int i = static_cast<int>(x) - 1; // first of the four nodes
    if (i < 0) i = 0;
    if (i > kNodes - 4) i = kNodes - 4;
    const double u = x - i; // 0..3 over the four nodes
    const double w0 = -(u - 1) * (u - 2) * (u - 3) / 6;
    const double w1 = u * (u - 2) * (u - 3) / 2;
    const double w2 = -u * (u - 1) * (u - 3) / 2;
    const double w3 = u * (u - 1) * (u - 2) / 6;
    const Node &a = nodes_[i], &b = nodes_[i + 1], &c = nodes_[i + 2], &d = nodes_[i + 3];
    Geocentric g;
    g.jdUt = start_ + x * kStepDays;
    for (int k = 0; k < 3; ++k) {
        if (kSun) g.sun[k] = w0 * a.sun[k] + w1 * b.sun[k] + w2 * c.sun[k] + w3 * d.sun[k];
        if (kMoon) g.moon[k] = w0 * a.moon[k] + w1 * b.moon[k] + w2 * c.moon[k] + w3 * d.moon[k];
    }
    g.siderealTime =
        w0 * a.siderealTime + w1 * b.siderealTime + w2 * c.siderealTime + w3 * d.siderealTime;
    g.jdTt = a.jdTt + (d.jdTt - a.jdTt) * (u / 3);
    g.obliquity = a.obliquity + (d.obliquity - a.obliquity) * (u / 3);
    return g;
}

Geocentric EveningTable::at(double jdUt) const {
    return interpolate<true, true>(jdUt);
}

Geocentric EveningTable::sunAt(double jdUt) const {
    return interpolate<true, false>(jdUt);
}

Geocentric EveningTable::moonAt(double jdUt) const {
    return interpolate<false, true>(jdUt);
}

double EveningTable::conjunctionBefore(double jdUt) const {
    double found = std::numeric_limits<double>::quiet_NaN();
    for (double c : conjunctions_)
        if (c <= jdUt) found = c; // NaN compares false
    return found;
}

double EveningTable::conjunctionAfter(double jdUt) const {
    for (double c : conjunctions_)
        if (c > jdUt) return c;
    return nextConjunction_ > jdUt ? nextConjunction_ : std::numeric_limits<double>::quiet_NaN();
}

} // namespace almanac
