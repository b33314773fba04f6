// The Moon: almanac position, topocentric altitude, crescent geometry, and the crescent visibility
// test.
#include <cmath>
#include <cstring>

#include "engine/ephemeris.h"
#include "engine/internal.h"

namespace {
EphemerisState &S = ephemerisState;

// Dip of the horizon in degrees for a sight height in metres. A negative height (only from a
// damaged settings file) would put the cosine above 1; it counts as sea level.
double horizonDipDegrees(int16_t height) {
    if (height <= 0) return 0.0;
    const int32_t sum = 6378160 + height; // formed in integer arithmetic
    return clampedAcos(6378160.0 / sum) * 57.29577951308232;
}

// The Moon's series and what follows from it alone. It depends only on the time argument d and
// the Sun's mean anomaly, which a timer tick's computations nearly all share.
struct MoonSeries {
    uint32_t dBits, meanAnomalyBits; // the inputs, as the single-precision values read
    bool valid;
    float longitude;   // λ, reduced onto the ecliptic
    float latitude;    // β
    float distance;    // Δ, thousands of km
    float sunDistance; // millions of km
    float declination; // δ
    double cosLatitude;
    double rightAscension; // α
};

// Everything a computation derives before the observer's latitude enters, for the inputs it was
// derived from: the date, clock minute, zone, longitude, height and the Sun's first-pass transit
// minute (which the slot's value before the call sets; it reaches the result through rounding).
struct LatitudeFree {
    int16_t day, month, year, calcMinute, zoneOffsetMinutes, height;
    uint32_t longitudeBits;
    uint32_t incomingTransitBits; // slot 3 as found by the last call that matched
    uint32_t firstTransitBits;    // the first pass's transit minute
    bool valid;
    AltitudeTrig sun;
    AltitudeTrig moonAltitude;
    AzimuthTrig moonAzimuth;
    float moonLatitude, moonDistance, sunDistance, horizonDip, illuminatedFraction;
    float elongation;      // λ − λs, radians
    float elongationTurns; // reduced to [0, 1)
};

bool memoOn = true;
MoonSeries series;
LatitudeFree latitudeFree;

uint32_t bits(float f) {
    uint32_t b;
    std::memcpy(&b, &f, sizeof b);
    return b;
}

void computeMoonSeries(float dStored, float meanAnomaly, MoonSeries &m) {
    const double d = dStored, ms = meanAnomaly;
    const float e2 = static_cast<float>(0.42553745157499745 * d + 4.113758500243154);
    const float mmStored = static_cast<float>(0.2280271446000115 * d + 2.3555487183691066);
    const double mm = mmStored;
    const double f2 = 0.4617914307974237 * d + 3.2558419064253417;
    const double E2 = e2;

    double sum = 0.10975677534091541 * std::sin(mm);
    sum += 0.0037280232822598882 * std::sin(2.0 * mm);
    sum -= 0.022233749341155764 * std::sin(mm - E2);
    sum += 0.011489502465878671 * std::sin(E2);
    sum -= 0.003239331091701475 * std::sin(ms);
    sum -= 0.001996656664281513 * std::sin(f2);
    sum += 3.8103330097839403;
    sum += 0.229971502473257 * d;
    const float longitude = static_cast<float>(sum);

    const float uStored = static_cast<float>((longitude - 2.183808319972865) +
                                             0.0009242181614425733 * d); // from the node
    const double u = uStored;
    m.longitude = static_cast<float>((std::atan2(0.99597 * std::sin(u), std::cos(u)) - u) +
                                     longitude); // onto the ecliptic
    m.latitude = static_cast<float>(clampedAsin(0.08968 * std::sin(u)));
    const double lambda = m.longitude, beta = m.latitude;

    double dist = 385 - 20.905 * std::cos(mm);
    dist -= 3.699 * std::cos(E2 - mm);
    dist -= 2.956 * std::cos(E2);
    dist -= 0.57 * std::cos(2.0 * mm);
    dist += 0.246 * std::cos(2.0 * mm - E2);
    dist -= 0.205 * std::cos(ms - E2);
    dist -= 0.171 * std::cos(mm + E2);
    dist -= 0.152 * std::cos(mm + ms - E2);
    m.distance = static_cast<float>(dist);

    m.rightAscension =
        std::atan2(0.9175 * std::sin(lambda) - 0.3978 * std::tan(beta), std::cos(lambda));
    m.cosLatitude = std::cos(beta);
    m.declination = static_cast<float>(
        clampedAsin(std::sin(lambda) * (0.3978 * m.cosLatitude) + 0.9175 * std::sin(beta)));
    m.sunDistance = static_cast<float>(149.55668848724687 / (1 + 0.016718 * std::cos(ms)));
}

// The rest of the derivation once the Sun's first pass has run: its second pass, and the Moon up
// to its hour angle and declination. Works through the record's slots as the steps prescribe.
void deriveLatitudeFree(LatitudeFree &m) {
    S.sunHourAngle = static_cast<float>(minutesFromTransit());
    computeSunCoordinates();
    S.sunHourAngle = static_cast<float>(minutesFromTransit() * 0.004363323129985824);
    m.sun = altitudeTrig(S.sunHourAngle, S.sunDeclination);
    const float ms = S.sunMeanAnomaly;
    const double lambdaSun = S.sunLongitude;

    S.sunHourAngle = static_cast<float>(S.sunHourAngle * 229.18311805232929); // minutes of time
    S.sunDeclination = static_cast<float>(daysSinceEpoch());                  // d
    const double d = S.sunDeclination;

    const bool fresh = !memoOn || !series.valid || series.dBits != bits(S.sunDeclination) ||
                       series.meanAnomalyBits != bits(ms);
    if (fresh) {
        computeMoonSeries(S.sunDeclination, ms, series);
        series.dBits = bits(S.sunDeclination);
        series.meanAnomalyBits = bits(ms);
        series.valid = true;
    }
    const MoonSeries &sr = series;

    const float hourAngle = static_cast<float>(
        (S.calcMinute + 1.0 - S.zoneOffsetMinutes + S.longitudeMinutes) * 0.004363323129985824 +
        (0.017202791695589855 * d + 1.7511586516959907) - sr.rightAscension);
    m.moonAzimuth = azimuthTrig(hourAngle, sr.declination);
    m.moonAltitude = altitudeTrig(hourAngle, sr.declination);
    m.moonLatitude = sr.latitude;
    m.moonDistance = sr.distance;
    m.sunDistance = sr.sunDistance;
    m.elongation = static_cast<float>(static_cast<double>(sr.longitude) - lambdaSun);
    m.horizonDip = static_cast<float>(horizonDipDegrees(saverSettings.height));
    m.illuminatedFraction = static_cast<float>(
        (1 - std::cos(static_cast<double>(m.elongation)) * sr.cosLatitude) * 0.5);

    const float turns = static_cast<float>(m.elongation * 0.15915494309189534);
    const double q = turns;
    float fraction = static_cast<float>(q - std::floor(q));
    // A tiny negative turn count gives 1 - tiny, which rounds up to a whole turn in single
    // precision; that is conjunction, 0, and keeps the value in [0, 1).
    if (fraction >= 1.0f) fraction = 0.0f;
    m.elongationTurns = fraction;
}

// The derivation for the record's inputs, reused when they repeat. Only the Sun's first pass
// has to run again when slot 3 arrives with another value.
const LatitudeFree &latitudeFreePart() {
    LatitudeFree &m = latitudeFree;
    const bool same =
        memoOn && m.valid && m.day == S.day && m.month == S.month && m.year == S.year &&
        m.calcMinute == S.calcMinute && m.zoneOffsetMinutes == S.zoneOffsetMinutes &&
        m.height == saverSettings.height && m.longitudeBits == bits(S.longitudeMinutes);
    if (same && m.incomingTransitBits == bits(S.sunTransitMinute)) return m;
    const uint32_t incoming = bits(S.sunTransitMinute);
    // The first pass only places the second: its transit minute cancels out of the time argument.
    S.sunHourAngle = 0;
    computeSunCoordinates();
    const uint32_t firstTransit = bits(S.sunTransitMinute);
    if (same && m.firstTransitBits == firstTransit) {
        m.incomingTransitBits = incoming;
        return m;
    }
    deriveLatitudeFree(m);
    m.day = S.day, m.month = S.month, m.year = S.year;
    m.calcMinute = S.calcMinute;
    m.zoneOffsetMinutes = S.zoneOffsetMinutes;
    m.height = saverSettings.height;
    m.longitudeBits = bits(S.longitudeMinutes);
    m.incomingTransitBits = incoming;
    m.firstTransitBits = firstTransit;
    m.valid = true;
    return m;
}
} // namespace

void engineSetMemo(bool on) {
    memoOn = on;
    latitudeFree.valid = false;
    series.valid = false;
}

void computeMoonPosition() {
    const LatitudeFree &m = latitudeFreePart();
    // The observer's latitude serves the Sun's altitude and the Moon's azimuth and altitude.
    const ObserverTrig observer = observerTrig();
    S.sunAltitude = sunAltitudeFrom(m.sun, observer);
    S.moonAzimuth = azimuthFrom(m.moonAzimuth, observer);

    S.moonDistance = m.moonDistance;
    S.sunHourAngle = static_cast<float>(altitudeFrom(m.moonAltitude, observer)); // geocentric h
    const double h = S.sunHourAngle;
    S.moonTopoDistance = static_cast<float>(S.moonDistance - 6.37816 * std::sin(h));
    S.sunHourAngle = static_cast<float>(h - std::cos(h) * (6.37816 / S.moonTopoDistance));
    S.moonAltitude = static_cast<float>(57.29577951308232 * S.sunHourAngle);

    S.moonLatitude = m.moonLatitude;
    S.sunDistance = m.sunDistance;
    S.elongation = m.elongation;
    S.horizonDip = m.horizonDip;
    S.illuminatedFraction = m.illuminatedFraction;
    S.crescentWidth =
        static_cast<float>(11949.607775248449 * S.illuminatedFraction / S.moonTopoDistance);

    testCrescentVisibility();

    S.elongation = m.elongationTurns;
}

void testCrescentVisibility() {
    const double k = S.illuminatedFraction;
    const double width = S.crescentWidth;
    const double dip = S.horizonDip;
    const long double p = saverSettings.probability;

    // Contact angle: the Sun's radius plus the Earth's and Moon's radii seen from the Moon.
    const double theta = 8.11616 / S.moonDistance + 0.696 / S.sunDistance;
    S.visibilityWork = static_cast<float>((1 - std::cos(theta)) * 0.5); // k0
    const double k0 = S.visibilityWork;

    if (k / k0 < 1) {
        S.visibilityCode = static_cast<int16_t>((1 - k / k0) * 100);
        return;
    }
    if ((1 - k) / k0 < 1) {
        S.visibilityCode = static_cast<int16_t>(((1 - k) / k0 - 1) * 100);
        return;
    }
    const double limit = static_cast<double>(p * 0.02L + 7 - dip);
    const double kmin = (1 - std::cos(limit * 0.017453292519943295)) * 0.5;
    if (kmin > k) {
        S.visibilityCode = 0;
        return;
    }
    if (-0.5 - dip > S.moonAltitude) {
        S.visibilityCode = -100;
        return;
    }
    if (S.moonAltitude < 4)
        S.visibilityWork = static_cast<float>(10.0 * S.moonAltitude - 56);
    else if (S.sunAltitude <= 4)
        S.visibilityWork = static_cast<float>(S.moonAltitude - 20.0);
    else
        S.visibilityWork = -16.0f;
    S.visibilityWork =
        static_cast<float>((10.0L * width + S.visibilityWork) * (1.0L / 3)); // crescent width
    S.visibilityWork = static_cast<float>(S.visibilityWork - (p * 0.02L - 1 - dip));
    const double t = S.visibilityWork; // the highest Sun altitude at which the crescent shows
    if (t > 4)
        S.visibilityCode = kVisible;
    else if (S.sunAltitude >= t)
        S.visibilityCode = -100;
    else
        S.visibilityCode = kVisible;
}
