// Running the saver's own animation headless, one lunation: for `telvor lunation` and `telvor
// render`.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "tools/inputs.h"
#include "tools/jsonout.h"

struct PixelBuffer; // shell/platform/backend.h

struct SaverRunOptions {
    Inputs inputs;          // date, probability, height (and zone when zoneGiven)
    bool zoneGiven = false; // else the local zone, as the saver computes it
    int width = 320, height = 240;
    bool preview = false; // no status line; the picture fills the window
    int cumulative = 1;
    bool pictures = true; // false: no frame is needed, so none is shown (the ticks run the same)
};

// What the caller sees after each tick: its number (1 = the setup tick) and the frame painted.
using TickObserver = std::function<void(int tick, const PixelBuffer *frame)>;

// Where the search found the first visible place, for annotating the pictures.
struct FirstVisiblePlace {
    bool found = false;
    double lat = 0, lon = 0; // degrees, north and east positive (the engine's values)
    std::string date;        // local date YYYY-MM-DD then
    int minute = 0;          // local clock minute then
    int zone = 0;            // local time minus UT, minutes
    int mapColumnOffset = 0; // of the lunation's canvas
    int bandHeight = 0;      // status band rows of the frames
    std::string startDate;   // the lunation's start date, YYYY-MM-DD
};

// Runs one lunation through the real window procedure and timer on the headless backend, from
// the start date until the lunation ends. Returns the summary record, or an error in `error`;
// fills `place` when given.
ResultRecord runLunation(const SaverRunOptions &options, const TickObserver &observer,
                         std::string &error, FirstVisiblePlace *place = nullptr);

// One trace line of the tick just run.
ResultRecord traceRecord(int tick);

// Writes a frame as an RGB PNG to `path`, whole or not at all (a temporary file renamed at the
// end); false and the reason in `error` when it cannot be written.
bool writePng(const std::string &path, const PixelBuffer &frame, std::string &error);

// Writes a frame as an RGB PNG to an open file; false and libpng's reason in `error`, which is
// not printed.
bool writePngTo(FILE *file, const PixelBuffer &frame, std::string &error);

// Writes a copy of the frame annotated for readers outside the saver (legend strip, the
// evening's date, the first visible place marked) to an open file; false and the reason on
// failure.
bool writeAnnotatedPngTo(FILE *file, const PixelBuffer &frame, const FirstVisiblePlace &place,
                         bool cumulative, std::string &error);
