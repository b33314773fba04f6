// The chained Hijri month table by a rule, each month with its deciding evening and margin.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <memory>
#include <numbers>
#include <thread>

#include "calendar/calendar.h"

namespace {

constexpr int kEveningsSearched = 6; // from the evening before the conjunction's UT date
constexpr double kMinusInfinity = -std::numeric_limits<double>::infinity();
// What refraction and the horizon can move sunset and moonset by, seconds; with the height of
// the place and the limb taken as the rule defines them.
constexpr double kEventTolerance = 60;
constexpr double kAltitudeTolerance = 0.25;   // degrees: the Moon's semi-diameter
constexpr double kElongationTolerance = 0.05; // degrees
constexpr double kQTolerance = 0.01, kVTolerance = 0.05;

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

long dayNumber(almanac::CivilDate d) {
    return std::lround(almanac::julianDateUt(d));
}

// What one cell of the world grid gives on one evening, kept for the other rules of a
// --compare that ask about the same evening: the crescent (yallop, odeh, telvor) and the
// sunset (conjunction and the altitude-and-elongation rules).
struct CellMemo {
    bool crescentKnown = false, hasCrescent = false, sunsetKnown = false;
    double bestTime = NAN, q = NAN, V = NAN, sunset = NAN;
};

// The evening tables asked for so far and, for a --compare, their grids' cells, shared
// between the months and rules of one request (whose step and height they all share).
class TableCache {
  public:
    // Cells are kept for grids of up to this many (the 2-degree grid has 16200; about 0.6 MB
    // an evening): only rules compared ask for an evening's cells twice.
    static constexpr size_t kMemoCells = 20000;
    explicit TableCache(bool keepCells = false) : keepCells_(keepCells) {}
    bool keepsCells(size_t cells) const { return keepCells_ && cells <= kMemoCells; }

    const almanac::EveningTable &get(almanac::CivilDate date) {
        const long day = dayNumber(date);
        std::unique_ptr<almanac::EveningTable> &slot = tables_[day];
        if (!slot) {
            // The evenings are asked for day after day: the day before shares two thirds of
            // the nodes.
            auto before = tables_.find(day - 1);
            if (before != tables_.end() && before->second)
                slot = std::make_unique<almanac::EveningTable>(date, *before->second);
            else
                slot = std::make_unique<almanac::EveningTable>(date);
        }
        return *slot;
    }
    // The grid's cells of the evening, `cells` of them, row after row.
    std::vector<CellMemo> &cells(almanac::CivilDate date, size_t cells) {
        std::vector<CellMemo> &v = cells_[dayNumber(date)];
        if (v.size() != cells) v.assign(cells, CellMemo{});
        return v;
    }

    // The observers of the grid's cells, row after row, prepared once for all its evenings
    // (for grids of up to kObserverCells, about 20 MB).
    static constexpr size_t kObserverCells = 180000;
    const std::vector<almanac::Observer> &observers(int rows, double step, double height) {
        if (observers_.size() != size_t(2) * rows * rows) {
            observers_.clear();
            for (int row = 0; row < rows; ++row)
                for (int col = 0; col < 2 * rows; ++col)
                    observers_.push_back(almanac::observerOf(
                        {-90.0 + (row + 0.5) * step, -180.0 + (col + 0.5) * step, height}));
        }
        return observers_;
    }

  private:
    std::vector<almanac::Observer> observers_;
    std::map<long, std::unique_ptr<almanac::EveningTable>> tables_;
    std::map<long, std::vector<CellMemo>> cells_;
    bool keepCells_;
};

// One condition of a test at one place.
struct Condition {
    const char *quantity, *unit;
    double value, threshold, tolerance;
    double margin() const { return value - threshold; }
    double score() const { return margin() / (tolerance > 0 ? tolerance : 1.0); }
};

// A test at one place: whether it counts, when, and its weakest condition.
struct PlaceResult {
    bool valid = false; // the quantities exist (there is a sunset)
    bool counts = false;
    double time = NAN;
    double score = kMinusInfinity; // the weakest condition's margin in tolerances
    Condition weakest{"", "", NAN, NAN, NAN};
    bool later = false;
    double lat = NAN, lon = NAN;

    void add(const Condition &c) {
        if (weakest.quantity[0] == '\0' || c.score() < score) {
            score = c.score();
            weakest = c;
        }
    }
};

// What a judgement of an evening needs besides the place.
struct EveningFacts {
    double conjunction = 0;
    double midnightUt = 0;     // 0h UT after the evening's date
    double nzDawn = NAN;       // dawn in New Zealand on the morning after the evening's date
    double timeTolerance = 60; // seconds: the events' and delta T's
    double sigmaDeltaT = 1;
};

double separation(const almanac::Horizontal &a, const almanac::Horizontal &b) {
    constexpr double d = std::numbers::pi / 180;
    const double c =
        std::sin(a.altitude * d) * std::sin(b.altitude * d) +
        std::cos(a.altitude * d) * std::cos(b.altitude * d) * std::cos((a.azimuth - b.azimuth) * d);
    return std::acos(std::clamp(c, -1.0, 1.0)) / d;
}

double vectorAngle(const std::array<double, 3> &a, const std::array<double, 3> &b) {
    const double dot = a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
    const double na = std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
    const double nb = std::sqrt(b[0] * b[0] + b[1] * b[1] + b[2] * b[2]);
    return std::acos(std::clamp(dot / (na * nb), -1.0, 1.0)) * 180 / std::numbers::pi;
}

bool inTheAmericas(double lat, double lon) {
    return lon > -170 && lon < -30 && lat > -56 && lat < 72;
}

// The crescent and the sunset at a place, from the memo when another rule has asked.
void crescentOf(const almanac::EveningTable &table, const almanac::Observer &o, CellMemo &m) {
    if (m.crescentKnown) return;
    // The map's step: evaluate()'s crescent bit for bit, without the conjunction and age that
    // the rule takes from the month instead.
    const almanac::Sighting s = almanac::evaluateCrescent(table, o);
    m.crescentKnown = true;
    m.hasCrescent = s.hasCrescent;
    m.bestTime = s.bestTime;
    m.q = s.crescent.q;
    m.V = s.crescent.V;
    if (!m.sunsetKnown) m.sunsetKnown = true, m.sunset = s.evening.sunset;
}

double sunsetOf(const almanac::EveningTable &table, const almanac::Observer &o, CellMemo &m) {
    if (!m.sunsetKnown) {
        m.sunsetKnown = true;
        m.sunset = almanac::sunset(table, o); // the Moon's events are not needed
    }
    return m.sunset;
}

// One place's result. `memo` keeps what other rules asking for the same evening have found;
// `known` is the place's evening when the caller has it; with `ownSite` the place is the whole
// site: its own sunset counts whatever the hour at Greenwich.
PlaceResult evalPlace(const MonthTableRequest &r, const Phase &p,
                      const almanac::EveningTable &table, const almanac::Observer &o,
                      const EveningFacts &f, CellMemo *memo = nullptr,
                      const almanac::Evening *known = nullptr, bool ownSite = false) {
    CellMemo own;
    CellMemo &m = memo ? *memo : own;
    if (known && !m.sunsetKnown) m.sunsetKnown = true, m.sunset = known->sunset;
    PlaceResult out;
    out.lat = o.place.latitude;
    out.lon = o.place.longitude;
    const double conj = f.conjunction;
    auto conjunctionBefore = [&](double t, const char *what) {
        out.add({what, "s", (t - conj) * 86400.0, 0, f.timeTolerance});
    };
    switch (p.test) {
    case RuleTest::YallopAC:
    case RuleTest::OdehAB:
    case RuleTest::TelvorCode: {
        crescentOf(table, o, m);
        // Without a best time (the Moon setting first, or not at all) the criteria do not
        // exist there.
        if (!m.hasCrescent) return out;
        out.valid = true;
        out.time = m.bestTime;
        conjunctionBefore(m.bestTime, "conjunction before best time");
        if (p.test == RuleTest::YallopAC)
            out.add({"q", "", m.q, -0.160, kQTolerance});
        else if (p.test == RuleTest::OdehAB)
            out.add({"V", "", m.V, 2.0, kVTolerance});
        else if (r.telvor) {
            const int code =
                r.telvor(table.date(), o.place.latitude, o.place.longitude, m.bestTime);
            out.add({"code", "", double(code), 100, 0});
        }
        break;
    }
    case RuleTest::ConjunctionBeforeSunset: {
        const double sunset = sunsetOf(table, o, m);
        if (std::isnan(sunset)) return out;
        out.valid = true;
        out.time = sunset;
        conjunctionBefore(sunset, "conjunction before sunset");
        break;
    }
    case RuleTest::MoonsetAfterSunset:
    case RuleTest::ConjunctionAndMoonset: {
        const almanac::Evening e = known ? *known : almanac::evening(table, o);
        if (std::isnan(e.sunset)) return out;
        out.valid = true;
        out.time = e.sunset;
        if (p.test == RuleTest::ConjunctionAndMoonset)
            conjunctionBefore(e.sunset, "conjunction before sunset");
        double lag = e.state == almanac::EveningState::NoMoonset ? 86400.0 : e.lagMinutes * 60.0;
        if (std::isnan(lag)) lag = -86400.0; // set before sunset, beyond the table's window
        out.add({"lag", "s", lag, 0, kEventTolerance});
        break;
    }
    case RuleTest::ConjunctionBeforeUtHour:
    case RuleTest::ConjunctionBeforeUtMidnight: {
        out.valid = true;
        const double limit = p.test == RuleTest::ConjunctionBeforeUtHour
                                 ? almanac::julianDateUt(table.date(), p.utHour)
                                 : f.midnightUt;
        out.time = limit;
        out.add({p.test == RuleTest::ConjunctionBeforeUtHour ? "conjunction before 12:00 UT"
                                                             : "conjunction before 0h UT",
                 "s", (limit - conj) * 86400.0, 0, f.sigmaDeltaT + 1});
        break;
    }
    case RuleTest::AltitudeElongation: {
        const double sunset = sunsetOf(table, o, m);
        if (std::isnan(sunset)) return out;
        if (p.site == RuleSite::GlobeKhgt && !ownSite && !(sunset < f.midnightUt)) {
            // The later clause: on land in the Americas, the conjunction before dawn in New
            // Zealand.
            if (!inTheAmericas(o.place.latitude, o.place.longitude) ||
                (r.land && !r.land(o.place.latitude, o.place.longitude)))
                return out;
            out.later = true;
            out.add({"conjunction before dawn in New Zealand", "s", (f.nzDawn - conj) * 86400.0, 0,
                     f.timeTolerance});
        }
        out.valid = true;
        out.time = sunset;
        const almanac::Geocentric g = table.at(sunset);
        const almanac::Sky sky = almanac::skyAt(g, o);
        const Quantities &q = p.quantities;
        double altitude =
            q.altitudeTopocentric ? sky.moonTopocentric.altitude : sky.moonGeocentric.altitude;
        if (q.upperLimb)
            altitude += std::asin(1737.4 / (q.altitudeTopocentric ? sky.moonDistanceTopocentric
                                                                  : sky.moonDistance)) *
                        180 / std::numbers::pi;
        if (q.altitudeRefracted) altitude += almanac::refraction(altitude);
        const double elongation = q.elongationTopocentric
                                      ? separation(sky.sunTopocentric, sky.moonTopocentric)
                                      : vectorAngle(g.sun, g.moon);
        conjunctionBefore(sunset, "conjunction before sunset");
        out.add({"altitude", "deg", altitude, p.minAltitude, kAltitudeTolerance});
        // The elongation grows by about 0.5 degrees an hour.
        out.add({"elongation", "deg", elongation, p.minElongation,
                 kElongationTolerance + 0.5 * f.sigmaDeltaT / 3600});
        if (p.minAgeHours > 0)
            out.add({"age", "h", (sunset - conj) * 24.0, p.minAgeHours, f.timeTolerance / 3600.0});
        break;
    }
    }
    if (std::isnan(out.score)) out.valid = false; // a quantity that does not exist
    out.counts = out.valid && out.score >= 0;
    return out;
}

// Dawn (the Sun's centre 18 degrees below the horizon, rising) at Wellington on the morning
// after the table's date, by bisection on the tabulated Sun.
double newZealandDawn(const almanac::EveningTable &table) {
    const almanac::Observer w = almanac::observerOf({-41.2865, 174.7762, 0});
    auto altitude = [&](double jd) {
        return almanac::skyAt(table.at(jd), w).sunTopocentric.altitude;
    };
    // Local mean midnight to noon of the next date: 0h UT of the date + 24 h - 11.65 h ...
    const double midnight = almanac::julianDateUt(table.date(), 24.0 - 174.7762 / 15.0);
    double lo = midnight, hi = midnight + 0.5;
    if (!(altitude(lo) < -18 && altitude(hi) > -18)) return NAN; // no astronomical dawn
    for (int k = 0; k < 40; ++k) {
        const double mid = 0.5 * (lo + hi);
        (altitude(mid) < -18 ? lo : hi) = mid;
    }
    return 0.5 * (lo + hi);
}

bool better(const PlaceResult &a, const PlaceResult &b) { // a nearer counting than b
    if (a.score != b.score) return a.score > b.score;
    if (a.lat != b.lat) return a.lat < b.lat;
    return a.lon < b.lon;
}

bool earlier(const PlaceResult &a, const PlaceResult &b) { // a counts first
    if (a.time != b.time) return a.time < b.time;
    if (a.lat != b.lat) return a.lat < b.lat;
    return a.lon < b.lon;
}

// The best (nearest to counting) and the first counting place over a set of places.
struct Outcome {
    PlaceResult best, first;
    bool any = false;
};

void merge(Outcome &into, const PlaceResult &p) {
    if (!p.valid) return;
    if (!into.best.valid || better(p, into.best)) into.best = p;
    if (p.counts && (!into.any || earlier(p, into.first))) into.first = p, into.any = true;
}

void merge(Outcome &into, const Outcome &o) {
    if (o.best.valid) merge(into, o.best);
    if (o.any && (!into.any || earlier(o.first, into.first))) into.first = o.first, into.any = true;
}

Outcome overGrid(const MonthTableRequest &r, const Phase &p, const almanac::EveningTable &table,
                 const EveningFacts &f, TableCache *cache) {
    const int rows = static_cast<int>(std::lround(180.0 / r.step));
    int threads = r.threads > 0 ? r.threads : int(std::thread::hardware_concurrency());
    threads = std::clamp(threads, 1, rows);
    // Columns left out: those whose every sunset on the evening (at the latest half an hour
    // past local mean midnight) precedes the conjunction, and for the altitude-and-elongation
    // tests those where the elongation then still falls short of the threshold (the
    // topocentric one exceeds the geocentric by at most the Moon's parallax, about 1 degree).
    // Nothing there can count, and the place nearest to counting lies further west.
    std::vector<char> active(2 * rows, 1);
    const bool needsConjunction = p.test != RuleTest::MoonsetAfterSunset;
    for (int col = 0; col < 2 * rows; ++col) {
        const double lon = -180.0 + (col + 0.5) * r.step;
        const double latest = almanac::julianDateUt(table.date(), 24.5 - lon / 15.0);
        if (needsConjunction && latest < f.conjunction) active[col] = 0;
        if (p.test == RuleTest::AltitudeElongation) {
            const almanac::Geocentric g = table.at(latest);
            const double bound =
                vectorAngle(g.sun, g.moon) + (p.quantities.elongationTopocentric ? 1.0 : 0.0);
            if (bound < p.minElongation) active[col] = 0;
        }
    }
    if (std::find(active.begin(), active.end(), 1) == active.end()) {
        // Nothing can count: the westernmost column still tells how far it missed.
        active[0] = 1;
    }
    const size_t cells = size_t(2) * rows * rows;
    std::vector<CellMemo> *memo =
        cache && cache->keepsCells(cells) ? &cache->cells(table.date(), cells) : nullptr;
    const std::vector<almanac::Observer> *observers =
        cache && cells <= TableCache::kObserverCells
            ? &cache->observers(rows, r.step, r.place.height)
            : nullptr;
    std::vector<Outcome> parts(threads);
    std::atomic<int> next{0};
    auto work = [&](int t) {
        for (int row; (row = next.fetch_add(1)) < rows;) {
            const double lat = -90.0 + (row + 0.5) * r.step;
            for (int col = 0; col < 2 * rows; ++col) {
                if (!active[col]) continue;
                const double lon = -180.0 + (col + 0.5) * r.step;
                const size_t cell = size_t(row) * 2 * rows + col;
                CellMemo *m = memo ? &(*memo)[cell] : nullptr;
                merge(parts[t],
                      evalPlace(r, p, table,
                                observers ? (*observers)[cell]
                                          : almanac::observerOf({lat, lon, r.place.height}),
                                f, m));
            }
        }
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t)
        pool.emplace_back(work, t);
    work(0);
    for (std::thread &t : pool)
        t.join();
    Outcome all;
    for (const Outcome &o : parts)
        merge(all, o);
    return all;
}

EveningJudgement judgementOf(const Outcome &o, almanac::CivilDate date) {
    EveningJudgement j;
    j.examined = true;
    j.evening = date;
    j.counts = o.any;
    const PlaceResult &shown = o.any ? o.first : o.best;
    if (!shown.valid) return j;
    j.time = shown.time;
    j.lat = shown.lat;
    j.lon = shown.lon;
    j.laterClause = o.any && o.first.later;
    // The margin is the best place's: by how much the territory or the globe counts, or
    // misses.
    const PlaceResult &m = o.best;
    j.quantity = m.weakest.quantity;
    j.unit = m.weakest.unit;
    j.value = m.weakest.value;
    j.threshold = m.weakest.threshold;
    j.margin = m.weakest.margin();
    j.tolerance = m.weakest.tolerance;
    return j;
}

EveningFacts factsFor(const almanac::EveningTable &table, const Phase &p, double conjunction,
                      bool ownSite = false) {
    EveningFacts f;
    f.conjunction = conjunction;
    f.midnightUt = almanac::julianDateUt(table.date(), 24.0);
    f.sigmaDeltaT = deltaTUncertainty(table.date().year);
    f.timeTolerance = kEventTolerance + f.sigmaDeltaT;
    if (p.site == RuleSite::GlobeKhgt && !ownSite) f.nzDawn = newZealandDawn(table);
    return f;
}

EveningJudgement judge(const MonthTableRequest &r, const Phase &p,
                       const almanac::EveningTable &table, double conjunction, bool atGivenPlace,
                       TableCache *cache = nullptr) {
    const EveningFacts f = factsFor(table, p, conjunction);
    Outcome o;
    const bool utTest = p.test == RuleTest::ConjunctionBeforeUtHour ||
                        p.test == RuleTest::ConjunctionBeforeUtMidnight;
    auto one = [&](const almanac::Place &place) {
        merge(o, evalPlace(r, p, table, almanac::observerOf(place), f));
    };
    if (atGivenPlace || (r.region == Region::Place && p.site == RuleSite::Globe && !utTest)) {
        one(r.place);
    } else if (utTest) {
        one(p.placeName[0] ? almanac::Place{p.lat, p.lon, r.place.height} : meccaPlace());
    } else if (p.site == RuleSite::Place) {
        one({p.lat, p.lon, r.place.height});
    } else if (p.site == RuleSite::Territory) {
        for (almanac::Place place :
             territoryPoints(r.region >= Region::Indonesia ? r.region : Region::Indonesia)) {
            place.height = r.place.height;
            one(place);
        }
    } else {
        // Nothing can count on an evening whose every sunset precedes the conjunction.
        if (conjunction > almanac::julianDateUt(table.date(), 38.0)) {
            EveningJudgement j;
            j.evening = table.date();
            return j;
        }
        o = overGrid(r, p, table, f, cache);
    }
    return judgementOf(o, table.date());
}

// Whether nothing can count on the evening, without its table: the test needs the
// conjunction before sunset (or the best time) and it comes after the latest sunset of the
// evening where the rule looks (half an hour past local mean midnight). Not with a place asked
// about, whose own evening is judged too.
bool hopeless(const MonthTableRequest &r, const Phase &p, almanac::CivilDate evening,
              double conjunction) {
    if (r.hasPlace || p.test == RuleTest::MoonsetAfterSunset) return false;
    if (p.test == RuleTest::ConjunctionBeforeUtHour ||
        p.test == RuleTest::ConjunctionBeforeUtMidnight)
        return false;
    double westmost = -180;
    if (p.site == RuleSite::Place && p.placeName[0]) westmost = p.lon;
    if (r.region == Region::Place && p.site == RuleSite::Globe) westmost = r.place.longitude;
    if (p.site == RuleSite::Territory) westmost = 95; // the MABIMS states lie east of 95 E
    return conjunction > almanac::julianDateUt(evening, 24.5 - westmost / 15.0);
}

// The region a rule is judged in when the request gives `region`.
MonthTableRequest forRule(const MonthTableRequest &base, MonthRule rule) {
    MonthTableRequest r = base;
    r.rule = rule;
    if (!regionFits(rule, r.region)) r.region = Region::Default;
    // --region place means the given place only for the rules that take it.
    if (r.region == Region::Place && !ruleEntry(rule).takesRegion) r.region = Region::Default;
    return r;
}

std::vector<MonthRow> table(const MonthTableRequest &r, TableCache &cache) {
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

        std::vector<EveningJudgement> judged;
        const almanac::CivilDate first = addDays(dateOf(row.conjunction), -1);
        for (int e = 0; e < kEveningsSearched; ++e) {
            const almanac::CivilDate evening = addDays(first, e);
            const Phase &p = phaseFor(r.rule, row.hijriYear, evening.year);
            if (!row.phase) row.phase = &p;
            // An evening whose every sunset precedes the conjunction needs no table.
            if (hopeless(r, p, evening, row.conjunction)) continue;
            const almanac::EveningTable &t = cache.get(evening);
            if (!row.visibleAnywhere) {
                const EveningJudgement j = judge(r, p, t, row.conjunction, false, &cache);
                judged.push_back(j);
                if (j.counts) {
                    row.visibleAnywhere = true;
                    row.phase = &p;
                    row.anywhereEvening = evening;
                    row.anywhereLat = j.lat, row.anywhereLon = j.lon;
                }
            }
            if (r.hasPlace && !row.visibleHere && judge(r, p, t, row.conjunction, true).counts) {
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
            row.completed30 =
                days == 30 &&
                !(row.visibleAnywhere && daysBetween(previousStart, row.anywhereEvening) == 29);
        }
        // The deciding evening: of the evening before the first day and the one before that
        // (or, for a month completed to 30 days, the 29th evening), the one whose margin is
        // the smaller share of what could move it.
        auto find = [&](almanac::CivilDate d) -> const EveningJudgement * {
            for (const EveningJudgement &j : judged)
                if (j.examined && dayNumber(j.evening) == dayNumber(d) && !std::isnan(j.margin))
                    return &j;
            return nullptr;
        };
        const EveningJudgement *candidates[2] = {find(addDays(row.firstDay, -1)),
                                                 find(addDays(row.firstDay, -2))};
        if (havePrevious && row.completed30) candidates[0] = find(addDays(previousStart, 28));
        if (havePrevious && row.completed30) candidates[1] = nullptr;
        const EveningJudgement *chosen = nullptr;
        for (const EveningJudgement *c : candidates) {
            if (!c) continue;
            auto share = [](const EveningJudgement *j) {
                return std::fabs(j->margin) / (j->tolerance > 0 ? j->tolerance : 1.0);
            };
            if (!chosen || share(c) < share(chosen)) chosen = c;
        }
        if (chosen) {
            row.deciding = *chosen;
            row.knifeEdge = std::fabs(chosen->margin) < chosen->tolerance;
        }
        havePrevious = true;
        previousStart = row.firstDay;
        if (k >= 0) rows.push_back(row);
    }
    return rows;
}

} // namespace

almanac::Place meccaPlace() {
    return {21.4225, 39.8262, 0};
}

almanac::CivilDate addDays(almanac::CivilDate date, int days) {
    return dateOf(almanac::julianDateUt(date, 12.0) + days);
}

int daysBetween(almanac::CivilDate a, almanac::CivilDate b) {
    return static_cast<int>(std::lround(almanac::julianDateUt(b) - almanac::julianDateUt(a)));
}

EveningJudgement judgeEvening(const MonthTableRequest &request, const Phase &phase,
                              const almanac::EveningTable &table, double conjunction,
                              bool atGivenPlace) {
    return judge(request, phase, table, conjunction, atGivenPlace);
}

EveningJudgement judgePlace(const Phase &phase, const almanac::EveningTable &table,
                            const almanac::Observer &observer, const almanac::Evening &evening) {
    // The month of the evening: the conjunction nearest the place's sunset, the one just past
    // for a crescent, the one to come on an evening just before it.
    const double reference =
        std::isnan(evening.sunset)
            ? almanac::julianDateUt(table.date(), 12.0) - observer.place.longitude / 360.0
            : evening.sunset;
    const double before = table.conjunctionBefore(reference),
                 after = table.conjunctionAfter(reference);
    const double conjunction =
        std::isnan(before) || (!std::isnan(after) && after - reference < reference - before)
            ? after
            : before;
    const MonthTableRequest request; // no land test and no telvor test: neither is asked here
    Outcome o;
    if (phase.test == RuleTest::TelvorCode) return judgementOf(o, table.date());
    merge(o, evalPlace(request, phase, table, observer, factsFor(table, phase, conjunction, true),
                       nullptr, &evening, true));
    return judgementOf(o, table.date());
}

std::string placeTestText(const Phase &p) {
    auto number = [](double v) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%g", v);
        return std::string(buf);
    };
    switch (p.test) {
    case RuleTest::AltitudeElongation: {
        const Quantities &q = p.quantities;
        std::string s = std::string("the Moon's ") + (q.upperLimb ? "upper limb" : "centre") +
                        " at least " + number(p.minAltitude) + " deg high (" +
                        (q.altitudeTopocentric ? "topocentric" : "geocentric") +
                        (q.altitudeRefracted ? ", refracted" : ", airless") +
                        "), elongation at least " + number(p.minElongation) + " deg (" +
                        (q.elongationTopocentric ? "topocentric" : "geocentric") + ")";
        if (p.minAgeHours > 0) s += ", age " + number(p.minAgeHours) + " h";
        return s + ", the conjunction before sunset; at sunset";
    }
    case RuleTest::ConjunctionBeforeSunset:
        return "the conjunction before sunset";
    case RuleTest::MoonsetAfterSunset:
        return "the Moon setting after the Sun";
    case RuleTest::ConjunctionAndMoonset:
        return "the conjunction before sunset and the Moon's upper limb above the horizon at "
               "sunset (setting after the Sun)";
    case RuleTest::ConjunctionBeforeUtHour:
        return "the conjunction before " + number(p.utHour) + "h UT";
    case RuleTest::ConjunctionBeforeUtMidnight:
        return "the conjunction before 0h UT after the evening";
    default:
        return p.description;
    }
}

std::vector<MonthRow> hijriMonthTable(const MonthTableRequest &request) {
    TableCache cache;
    return table(forRule(request, request.rule), cache);
}

std::vector<std::vector<MonthRow>> compareMonthTables(const MonthTableRequest &base,
                                                      const std::vector<MonthRule> &rules) {
    TableCache cache(rules.size() > 1);
    std::vector<std::vector<MonthRow>> out;
    for (MonthRule rule : rules)
        out.push_back(table(forRule(base, rule), cache));
    return out;
}

namespace {

// The month index (year * 12 + month - 1) whose tabular start is nearest before `date`.
int tabularMonthIndex(almanac::CivilDate date) {
    const double jd = almanac::julianDateUt(date);
    int index = static_cast<int>(std::floor((jd - 1948439.5) / 29.530588853)) + 12;
    while (tabularMonthStart(index / 12, index % 12 + 1) > jd)
        --index;
    while (tabularMonthStart((index + 1) / 12, (index + 1) % 12 + 1) <= jd)
        ++index;
    return index;
}

bool inRange(almanac::CivilDate d) {
    return d.year >= 1800 && d.year <= 2200;
}

} // namespace

bool hijriOf(const MonthTableRequest &request, almanac::CivilDate date, HijriDate &out,
             int *monthLength) {
    if (!inRange(date)) return false;
    MonthTableRequest r = request;
    const int index = tabularMonthIndex(date) - 1;
    r.hijriYear = index / 12;
    r.hijriMonth = index % 12 + 1;
    r.months = 4;
    const std::vector<MonthRow> rows = hijriMonthTable(r);
    for (size_t k = 0; k + 1 < rows.size(); ++k) {
        const int into = daysBetween(rows[k].firstDay, date);
        const int length = daysBetween(rows[k].firstDay, rows[k + 1].firstDay);
        if (into >= 0 && into < length) {
            out = {rows[k].hijriYear, rows[k].hijriMonth, into + 1};
            if (monthLength) *monthLength = length;
            return true;
        }
    }
    return false;
}

bool civilOf(const MonthTableRequest &request, HijriDate hijri, almanac::CivilDate &out) {
    if (hijri.month < 1 || hijri.month > 12 || hijri.day < 1 || hijri.day > 30) return false;
    if (hijri.year < 1214 || hijri.year > 1627) return false;
    MonthTableRequest r = request;
    r.hijriYear = hijri.year;
    r.hijriMonth = hijri.month;
    r.months = 2;
    const std::vector<MonthRow> rows = hijriMonthTable(r);
    if (hijri.day > daysBetween(rows[0].firstDay, rows[1].firstDay)) return false;
    out = addDays(rows[0].firstDay, hijri.day - 1);
    return inRange(out);
}
