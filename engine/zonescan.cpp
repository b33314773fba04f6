// The visibility zone edge scan: follows the northern and southern edges from column to column.
#include "engine/ephemeris.h"

float rowLatitude(int32_t row) {
    return static_cast<float>(((row * 180.0L) * (1.0L / 720) - 90.0L) * 0.017453292519943295L);
}

namespace {
bool visibleAt(int32_t row) {
    ephemerisState.latitude = rowLatitude(row);
    computeMoonPosition();
    return ephemerisState.visibilityCode == kVisible;
}
} // namespace

int scanZoneColumn(ZoneScan &z) {
    // Formed in 32 bits and stored without wrapping: it may leave -720..720.
    ephemerisState.longitudeMinutes = static_cast<float>(z.scanColumn - z.mapColumnOffset - 720);

    // Each edge moves the row first and computes afterwards, so the entry row is not recomputed.
    bool visible;
    do {
        z.northRow += 1;
        visible = visibleAt(z.northRow);
    } while (visible && z.northRow < 720);
    do {
        z.northRow -= 1;
        visible = visibleAt(z.northRow);
        if (z.northRow < z.southRow) return 0; // passed the southern edge: the zone has ended
    } while (!visible && z.northRow > 0);
    do {
        z.southRow -= 1;
        visible = visibleAt(z.southRow);
    } while (visible && z.southRow > 0);
    do {
        z.southRow += 1;
        visible = visibleAt(z.southRow);
        if (z.northRow < z.southRow) return 0;
    } while (!visible && z.southRow < 720);
    return 1;
}
