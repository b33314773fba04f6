// A copy of the saver's picture annotated for readers outside the saver: what each colour
// means, the evening's date and the first visible place.
#pragma once

#include <string>

#include "maps/picture.h"

// What the annotation needs to know about a frame of the saver's full-screen or preview picture.
struct SaverFrameFacts {
    int bandHeight = 0;      // rows of the status band above the map (0 in a preview)
    int mapColumnOffset = 0; // 0..1439: the canvas column of 180 degrees (the date line)
    bool cumulative = true;  // earlier zones kept as faded marks
    std::string evening;     // the evening's local date, YYYY-MM-DD
    int zoneMinutes = 0;     // local time minus UT, minutes
    bool found = false;      // whether a first visible place was found
    double lat = 0, lon = 0; // that place, degrees north and east positive
    int minute = 0;          // its local clock minute, 0..1439
};

// The frame with a strip below it (legend, date, first visible place) and a marker on the
// place. The frame's own pixels are copied unchanged apart from the marker.
Picture annotateSaverFrame(const Picture &frame, const SaverFrameFacts &facts);

// The frame pixel where the saver draws a place (lat, lon in degrees), by the canvas
// coordinates: a quarter of a degree per canvas column and row, stretched to the frame.
void saverFramePosition(const Picture &frame, const SaverFrameFacts &facts, double lat, double lon,
                        int &x, int &y);
