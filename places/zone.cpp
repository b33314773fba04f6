// Civil time zones: the rules of one zone read from the system's tz database through the C
// library, kept as spans of constant offset.
#include "places/places.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>

namespace places {

namespace {

ZoneTime localAt(int64_t t) {
    const std::time_t moment = static_cast<std::time_t>(t);
    std::tm tm{};
    ZoneTime z;
#ifdef _WIN32
    // Windows' C runtime knows only its own zone, from 1970 on, and has no tm_gmtoff: the offset
    // is the local clock read back as UT.
    if (localtime_s(&tm, &moment) != 0) return z;
    z.offsetMinutes = static_cast<int>(std::lround((_mkgmtime(&tm) - moment) / 60.0));
#else
    if (!localtime_r(&moment, &tm)) return z;
    z.offsetMinutes = static_cast<int>(std::lround(tm.tm_gmtoff / 60.0));
    z.abbreviation = tm.tm_zone ? tm.tm_zone : "";
#endif
    z.daylightSaving = tm.tm_isdst > 0;
    return z;
}

bool same(const ZoneTime &a, const ZoneTime &b) {
    return a.offsetMinutes == b.offsetMinutes && a.abbreviation == b.abbreviation &&
           a.daylightSaving == b.daylightSaving;
}

// The C library reads the zone from TZ, one process-wide setting: one loader at a time.
std::mutex &zoneLock() {
    static std::mutex lock;
    return lock;
}

// Whether the tz database holds a zone file of that name (the C library would silently take
// UT for a name it does not know).
bool zoneFileExists(const std::string &name) {
    const char *dir = std::getenv("TZDIR");
    const std::string path = std::string(dir && *dir ? dir : "/usr/share/zoneinfo") + "/" + name;
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    char magic[4] = {0, 0, 0, 0};
    const size_t got = std::fread(magic, 1, 4, f);
    std::fclose(f);
    return got == 4 && magic[0] == 'T' && magic[1] == 'Z' && magic[2] == 'i' && magic[3] == 'f';
}

constexpr int64_t kFirst = -2208988800; // 1900-01-01 0h UT
constexpr int64_t kLast = 4102444800;   // 2100-01-01 0h UT
// Zones change their clocks a few times a year at most: weekly probes find every change of
// 1900..2100 that twelve-hour probes find, in every zone of zone1970.tab (tzdata 2025b).
constexpr int64_t kProbe = 7 * 86400;

} // namespace

bool plausibleZoneName(const std::string &name) {
    if (name.empty() || name.size() > 64 || name.front() == '/' || name.back() == '/') return false;
    size_t partStart = 0;
    for (size_t i = 0; i <= name.size(); ++i) {
        if (i == name.size() || name[i] == '/') {
            const std::string part = name.substr(partStart, i - partStart);
            if (part.empty() || part == "." || part == "..") return false;
            partStart = i + 1;
            continue;
        }
        const char c = name[i];
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
              c == '_' || c == '-' || c == '+'))
            return false;
    }
    return true;
}

bool ZoneRules::load(const std::string &name, std::string &error) {
#ifdef _WIN32
    // Windows carries no tz database: an IANA name cannot be answered truthfully.
    (void)zoneLock;
    (void)zoneFileExists;
    (void)name;
    error = "IANA zones need the tz database, which this Windows build lacks (give --zone MIN)";
    return false;
#else
    if (!plausibleZoneName(name) || !zoneFileExists(name)) {
        error = "not a zone of the tz database (an IANA name such as Asia/Riyadh)";
        return false;
    }
    std::lock_guard<std::mutex> guard(zoneLock());
    const char *was = std::getenv("TZ");
    const std::string saved = was ? was : "";
    setenv("TZ", name.c_str(), 1);
    tzset();
    probe();
    if (was)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
    name_ = name;
    return true;
#endif
}

void ZoneRules::loadLocal() {
    std::lock_guard<std::mutex> guard(zoneLock());
    tzset();
    probe();
    name_.clear();
}

void ZoneRules::probe() {
    std::vector<Span> &spans = spans_;
    spans.clear();
    ZoneTime current = localAt(kFirst);
    spans.push_back({kFirst, current});
    for (int64_t t = kFirst + kProbe; t <= kLast; t += kProbe) {
        ZoneTime next = localAt(t);
        if (same(next, current)) continue;
        int64_t lo = t - kProbe, hi = t; // lo in the old span, hi in the new
        while (hi - lo > 1) {
            const int64_t mid = lo + (hi - lo) / 2;
            if (same(localAt(mid), current))
                lo = mid;
            else
                hi = mid;
        }
        spans.push_back({hi, next});
        current = next;
    }
}

ZoneTime ZoneRules::at(int64_t unixSeconds) const {
    if (spans_.empty()) return {};
    size_t lo = 0, hi = spans_.size(); // the last span beginning at or before the instant
    while (hi - lo > 1) {
        const size_t mid = (lo + hi) / 2;
        if (spans_[mid].from <= unixSeconds)
            lo = mid;
        else
            hi = mid;
    }
    return spans_[lo].time;
}

ZoneTime ZoneRules::atJulian(double jdUt) const {
    // Julian date 2440587.5 is 1970-01-01 0h UT; to the nearest second, as times are printed.
    return at(static_cast<int64_t>(std::llround((jdUt - 2440587.5) * 86400.0)));
}

} // namespace places
