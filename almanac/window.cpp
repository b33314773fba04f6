// The crescent's viewing window: the minutes between the Sun's and the Moon's events in which
// Odeh's V stays in his zone B or better.
#include "almanac/almanac.h"

#include <algorithm>
#include <cmath>

namespace almanac {

ViewingWindow viewingWindow(const EveningTable &table, const Observer &observer, double from,
                            double to) {
    ViewingWindow w;
    if (!(to >= from)) return w;
    const int minutes = static_cast<int>(std::floor((to - from) * 1440.0));
    auto visible = [&](int m) {
        return crescentAt(table.at(from + m / 1440.0), observer).V >= kOdehZoneBLimit;
    };
    // V changes slowly over an evening: every fifth minute, and each minute only where the
    // answer changes between two of them.
    constexpr int kCoarse = 5;
    int first = -1, last = -1;
    bool before = visible(0);
    if (before) first = last = 0;
    for (int m = 0; m < minutes;) {
        const int next = std::min(m + kCoarse, minutes);
        const bool after = visible(next);
        if (after != before)
            for (int k = m + 1; k < next; ++k)
                if (visible(k)) {
                    if (first < 0) first = k;
                    last = k;
                }
        if (after) {
            if (first < 0) first = next;
            last = next;
        }
        before = after, m = next;
    }
    if (first >= 0) w.start = from + first / 1440.0, w.end = from + last / 1440.0;
    return w;
}

ViewingWindow viewingWindow(const EveningTable &table, const Observer &observer,
                            const Sighting &evening) {
    if (!evening.hasCrescent) return {};
    return viewingWindow(table, observer, evening.evening.sunset, evening.evening.moonset);
}

ViewingWindow viewingWindow(const EveningTable &table, const Observer &observer,
                            const Dawn &morning) {
    if (!morning.hasCrescent) return {};
    return viewingWindow(table, observer, morning.morning.moonrise, morning.morning.sunrise);
}

} // namespace almanac
