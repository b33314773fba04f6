// The saver's display: window globals, the animation record, the saver window procedure and the
// drawing surfaces.
#pragma once

#include <cstdint>

#include "engine/ephemeris.h"
#include "shell/platform/platform.h"

// How the program was started; fixed by the command line.
enum SaverMode : int32_t { Configure = 0, Preview = 1, FullScreen = 2 };

// The animation's record; all zero at start.
struct AnimationState {
    int32_t zoneFound;     // 0 while searching for the first visible place, 1 while sweeping
    ZoneScan scan;         // scanColumn, mapColumnOffset (0..1439), northRow, southRow
    int32_t savedNorthRow; // rows found at the sweep's start column, carried to the next tick
    int32_t savedSouthRow;
    int32_t tickCount;  // ticks since the lunation began; 0: the next tick begins one; 9999: end it
    float searchColumn; // canvas column of the search and of the sweep's start; not bounded
    float searchRow;    // canvas row of the search
};

// What the last tick's sweep drew (for `telvor lunation --trace` and the tests).
struct SweepStats {
    int32_t drawn;       // columns drawn this tick
    int32_t firstColumn; // first and last column drawn, in drawing order
    int32_t lastColumn;
    int64_t rowSum; // the sum over drawn columns of northRow + southRow
};

// How the lunation under way began (for `telvor lunation` and the tests).
struct LunationStart {
    int16_t day, month, year; // the simulated date once the start minute is placed
    int16_t minute;           // simMinute at the start
    float estimate;           // the start estimate E, degrees
};

extern int32_t saverMode;
extern LunationStart lunationStart;
extern AnimationState animationState;
extern SweepStats sweepStats;
extern HWND saverWindow;  // owns the timer and receives the input
extern HWND targetWindow; // the window painted: the saver's own, or the host's preview window
extern RECT clientRect;   // drawing area, taken once at start-up
// Where the drawing area lies in targetWindow's client area, in pixels: (0, 0), but for a
// full-screen window over several monitors, where the picture fills the primary monitor.
extern POINT drawingOrigin;
// Nonzero when targetWindow reaches beyond the drawing area (other monitors): what lies outside
// it is painted black.
extern int32_t blackSurround;
extern POINT startCursorPos;
extern const void *earthBitmapData; // the locked map resource: header, palette, bits
extern HPEN dateLinePen, cumulativeZonePen, singleZonePen;

// The zone offset that beginLunation uses instead of the local one, when set (telvor --zone).
extern int32_t zoneOffsetOverridden; // flag
extern int16_t zoneOffsetOverride;   // minutes, local time minus UT

// 1: each tick's frame is shown on the target window; 0: composed on the canvas only, for
// headless runs that need no pictures. Starts at 1.
extern int32_t framePresentation;

// The local offset from UT in minutes now, daylight saving included only while in effect
// (or the override).
int16_t localZoneOffsetMinutes();
#ifndef _WIN32
// The local offset from UT in minutes at a given moment (seconds since 1970).
int16_t localZoneOffsetAt(int64_t unixSeconds);
#endif

// The saver window's message handling; every WM_TIMER is one simulated minute.
LRESULT CALLBACK saverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void onTimerTick();
void beginLunation();
void searchStep();
// Sets the engine's longitude from the search column: column - mapColumnOffset - 720 minutes.
void setColumn();
void sweepStep();
void endLunation();

// --- Drawing surfaces --------------------------------------------------------------------
extern HDC paintSurface; // the window's DC during one tick
extern HDC earthSurface, MapCanvas, overlaySurface, textBand;
extern char statusText[99];
extern char visiblePointText[33];
extern int32_t bandHeight; // 50 in full-screen mode once the status line is printed, else 0

void createLunationSurfaces();
void buildMapCanvas();
void prepareFrame();
void selectZonePen();
void presentFrame();
void releaseTextBand();
void releaseLunationSurfaces();

// Formats the status line and the visible-place text into their buffers.
void formatStatusText();
void formatVisiblePointText();
