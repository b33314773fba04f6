// Prints the almanac's Moon disc at a place and UT instant, for the independent check in Python:
// moon_disc_probe LAT LON YYYY MM DD HOURS  ->  "chi q zenithAngle fraction altitude azimuth".
#include <cstdio>
#include <cstdlib>

#include "almanac/almanac.h"

int main(int argc, char **argv) {
    if (argc != 7) return 2;
    const almanac::CivilDate date{std::atoi(argv[3]), std::atoi(argv[4]), std::atoi(argv[5])};
    const almanac::Observer o = almanac::observerOf({std::atof(argv[1]), std::atof(argv[2]), 0});
    const almanac::MoonDisc d = almanac::moonDiscAt(
        almanac::geocentricAt(almanac::julianDateUt(date, std::atof(argv[6]))), o);
    std::printf("%.6f %.6f %.6f %.8f %.6f %.6f\n", d.brightLimb, d.parallactic, d.zenithAngle,
                d.illuminatedFraction, d.moon.altitude, d.moon.azimuth);
    return 0;
}
