// The engine's visibility code at a place and instant, for the tool's criteria and scores.
#include <mutex>

#include "engine/ephemeris.h"
#include "tools/inputs.h"
#include "tools/mapcmd.h"

int engineVisibilityCode(double lat, double lon, double jdUt, int height, int probability) {
    static std::mutex engine;
    const almanac::UtParts t = almanac::splitUt(jdUt + 30.0 / 86400.0); // nearest minute
    Inputs in;
    in.year = t.year, in.month = t.month, in.day = t.day;
    in.minute = t.hour * 60 + t.minute;
    in.zone = 0;
    in.lat = lat, in.lon = lon, in.height = height;
    in.probability = probability;
    std::lock_guard<std::mutex> lock(engine);
    loadInputs(in);
    computeMoonPosition();
    return ephemerisState.visibilityCode;
}
