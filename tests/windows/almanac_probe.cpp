// almanac_probe: one place's evening from the almanac at full precision, for comparing the
// Windows build's numbers with Linux's below the digits that telvor prints. Reads lines
// "YYYY MM DD LAT LON HEIGHT" and prints for each the Julian dates (UT) of sunset, moonset, Tb
// and the conjunction, then at Tb the Sun's and Moon's topocentric altitudes and azimuths,
// ARCL, ARCV, DAZ (degrees), W' (arcminutes), q and V, every one as %.17g ("nan" when absent).
#include <cstdio>

#include "almanac/almanac.h"

using namespace almanac;

int main() {
    int year, month, day;
    double lat, lon, height;
    while (std::scanf("%d %d %d %lf %lf %lf", &year, &month, &day, &lat, &lon, &height) == 6) {
        const Sighting s = sighting(Place{lat, lon, height}, CivilDate{year, month, day});
        const Crescent &c = s.crescent;
        const double values[] = {s.evening.sunset,
                                 s.evening.moonset,
                                 s.bestTime,
                                 s.conjunction,
                                 c.sky.sunTopocentric.altitude,
                                 c.sky.sunTopocentric.azimuth,
                                 c.sky.moonTopocentric.altitude,
                                 c.sky.moonTopocentric.azimuth,
                                 c.arcl,
                                 c.arcv,
                                 c.daz,
                                 c.width,
                                 c.q,
                                 c.V};
        for (double v : values)
            if (v == v)
                std::printf("%.17g ", v);
            else
                std::printf("nan ");
        std::printf("\n");
    }
    return 0;
}
