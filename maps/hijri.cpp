// The Hijri month table: conjunctions, the first evenings that count, and the chained first days.
#include "maps/hijri.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#include "maps/rows.h"

namespace {

constexpr const char *kRuleNames[] = {"yallop", "odeh", "telvor", "umm-al-qura", "conjunction"};
constexpr int kEveningsSearched = 6; // from the evening before the conjunction's UT date

// Julian date (UT, 0h) of the first day of a Hijri month in the tabular (arithmetic) calendar,
// the starting guess for the search of its conjunction: epoch 16 July 622 (Julian), 11 leap
// years in 30 (E. G. Richards, "Calendars", in Explanatory Supplement to the Astronomical
// Almanac, 3rd ed., 2013).
double tabularMonthStart(int year, int month) {
    return 1948439.5 + std::ceil(29.5 * (month - 1)) + (year - 1) * 354.0 +
           std::floor((3 + 11.0 * year) / 30.0);
}

almanac::CivilDate dateOf(double jd) {
    const almanac::UtParts u = almanac::splitUt(jd);
    return {u.year, u.month, u.day};
}

// Whether the crescent counts at one place on the table's evening, and when (Tb, or the
// sunset for the conjunction rule).
struct Verdict {
    bool counts = false;
    double time = 0;
};

bool criterionCounts(Criterion c, const MapCell &cell) {
    if (cell.cls == MapCell::kNone) return false;
    switch (c) {
    case Criterion::Yallop:
        return cell.cls <= 2; // A, B, C
    case Criterion::Odeh:
        return cell.cls <= 1; // A, B
    case Criterion::Telvor:
        break;
    }
    return cell.cls == 0;
}

Verdict verdictAt(const MonthTableRequest &r, const almanac::EveningTable &table,
                  const almanac::Observer &o, double conjunction) {
    Verdict v;
    switch (r.rule) {
    case MonthRule::Yallop:
    case MonthRule::Odeh:
    case MonthRule::Telvor: {
        const Criterion c = r.rule == MonthRule::Yallop ? Criterion::Yallop
                            : r.rule == MonthRule::Odeh ? Criterion::Odeh
                                                        : Criterion::Telvor;
        const MapCell cell = evaluateCell(table, o, c, r.telvor);
        v.counts = criterionCounts(c, cell) && cell.bestTime > conjunction;
        v.time = cell.bestTime;
        break;
    }
    case MonthRule::UmmAlQura: {
        const almanac::Evening e = almanac::evening(table, o);
        v.counts =
            !std::isnan(e.sunset) && conjunction < e.sunset &&
            (e.state == almanac::EveningState::Ok || e.state == almanac::EveningState::NoMoonset);
        v.time = e.sunset;
        break;
    }
    case MonthRule::Conjunction: {
        const almanac::Evening e = almanac::evening(table, o);
        v.counts = !std::isnan(e.sunset) && conjunction < e.sunset;
        v.time = e.sunset;
        break;
    }
    }
    return v;
}

struct Sighted {
    bool found = false;
    double time = 0, lat = 0, lon = 0;
};

// The place that counts first (earliest time) on the table's evening, over the grid; with the
// Umm al-Qura rule only Mecca is asked.
Sighted firstPlace(const MonthTableRequest &r, const almanac::EveningTable &table,
                   double conjunction) {
    Sighted best;
    if (r.rule == MonthRule::UmmAlQura) {
        const almanac::Place mecca = meccaPlace();
        const Verdict v = verdictAt(r, table, almanac::observerOf(mecca), conjunction);
        if (v.counts) best = {true, v.time, mecca.latitude, mecca.longitude};
        return best;
    }
    const int rows = static_cast<int>(std::lround(180.0 / r.step));
    std::mutex m;
    forEachRow(rows, r.threads, [&](int row) {
        Sighted local;
        const double lat = -90.0 + (row + 0.5) * r.step;
        for (int col = 0; col < 2 * rows; ++col) {
            const double lon = -180.0 + (col + 0.5) * r.step;
            const Verdict v =
                verdictAt(r, table, almanac::observerOf({lat, lon, r.place.height}), conjunction);
            if (v.counts && (!local.found || v.time < local.time)) local = {true, v.time, lat, lon};
        }
        std::lock_guard<std::mutex> lock(m);
        if (local.found && (!best.found || local.time < best.time ||
                            (local.time == best.time && local.lat < best.lat)))
            best = local;
    });
    return best;
}

} // namespace

const char *monthRuleName(MonthRule rule) {
    return kRuleNames[static_cast<int>(rule)];
}

bool monthRuleFromName(const std::string &name, MonthRule &rule) {
    for (int k = 0; k < 5; ++k)
        if (name == kRuleNames[k]) {
            rule = static_cast<MonthRule>(k);
            return true;
        }
    return false;
}

almanac::Place meccaPlace() {
    return {21.4225, 39.8262, 0};
}

almanac::CivilDate addDays(almanac::CivilDate date, int days) {
    return dateOf(almanac::julianDateUt(date, 12.0) + days);
}

int daysBetween(almanac::CivilDate a, almanac::CivilDate b) {
    return static_cast<int>(std::lround(almanac::julianDateUt(b) - almanac::julianDateUt(a)));
}

std::vector<MonthRow> hijriMonthTable(const MonthTableRequest &r) {
    constexpr int kWarmUp = 2;
    std::vector<MonthRow> rows;
    bool havePrevious = false;
    almanac::CivilDate previousStart{};
    for (int k = -kWarmUp; k < r.months; ++k) {
        int index = (r.hijriYear * 12 + (r.hijriMonth - 1)) + k;
        MonthRow row;
        row.hijriYear = index / 12;
        row.hijriMonth = index % 12 + 1;
        // The new moon nearest a day and a half before the tabular month's start.
        const double guess = tabularMonthStart(row.hijriYear, row.hijriMonth) - 1.5;
        const double before = almanac::conjunctionBefore(guess);
        const double after = almanac::conjunctionAfter(guess);
        row.conjunction = guess - before < after - guess ? before : after;

        const almanac::CivilDate first = addDays(dateOf(row.conjunction), -1);
        const almanac::Observer here = almanac::observerOf(r.place);
        for (int e = 0; e < kEveningsSearched; ++e) {
            const almanac::CivilDate evening = addDays(first, e);
            const almanac::EveningTable table(evening);
            if (!row.visibleAnywhere) {
                const Sighted s = firstPlace(r, table, row.conjunction);
                if (s.found) {
                    row.visibleAnywhere = true;
                    row.anywhereEvening = evening;
                    row.anywhereLat = s.lat, row.anywhereLon = s.lon;
                }
            }
            if (r.hasPlace && !row.visibleHere &&
                verdictAt(r, table, here, row.conjunction).counts) {
                row.visibleHere = true;
                row.hereEvening = evening;
            }
            if (row.visibleAnywhere && (row.visibleHere || !r.hasPlace)) break;
        }
        // The day after the evening that counts, but not before the 29th evening has passed
        // and at most 30 days after the previous start.
        if (!havePrevious) {
            row.firstDay = row.visibleAnywhere ? addDays(row.anywhereEvening, 1)
                                               : addDays(dateOf(row.conjunction), 2);
        } else {
            int days = 30;
            if (row.visibleAnywhere)
                days =
                    std::min(std::max(daysBetween(previousStart, row.anywhereEvening), 28) + 1, 30);
            row.firstDay = addDays(previousStart, days);
        }
        havePrevious = true;
        previousStart = row.firstDay;
        if (k >= 0) rows.push_back(row);
    }
    return rows;
}
