// The saver window procedure and its timer-driven animation: lunation setup, search, sweep, end.
#include <cmath>
#include <ctime>

#include "display/display.h"
#include "shell/settings.h"
#ifdef _WIN32
#include "shell/platform/windows_native.h"
#endif

int32_t saverMode;
AnimationState animationState;
SweepStats sweepStats;
LunationStart lunationStart;
HWND saverWindow;
HWND targetWindow;
RECT clientRect;
POINT drawingOrigin;
int32_t blackSurround;
POINT startCursorPos;
const void *earthBitmapData;
HPEN dateLinePen, cumulativeZonePen, singleZonePen;
int32_t zoneOffsetOverridden;
int16_t zoneOffsetOverride;
int32_t framePresentation = 1;

namespace {
EphemerisState &S = ephemerisState;
AnimationState &A = animationState;

// A climb ends one step past a local optimum; this many steps (2000 rows or columns) only
// guards against a value that never stops improving.
constexpr int kClimbLimit = 20000;

LRESULT quit() {
    PostQuitMessage(0);
    return 1;
}

UINT periodMs(int32_t perSecond) {
    return 1000 / (perSecond < 1 ? 1 : perSecond);
}

void setRow() {
    S.latitude =
        static_cast<float>((A.searchRow * 180.0 * (1.0 / 720) - 90.0) * 0.017453292519943295);
}
double heightAboveSun() {
    return static_cast<double>(S.moonAltitude) - S.sunAltitude;
}
double offFourDegrees() {
    return std::fabs(S.moonAltitude - 4.0);
}

void drawColumn(int32_t column) {
    MoveToEx(overlaySurface, column, 720 - A.scan.northRow, nullptr);
    LineTo(overlaySurface, column, 720 - A.scan.southRow);
    if (sweepStats.drawn++ == 0) sweepStats.firstColumn = column;
    sweepStats.lastColumn = column;
    sweepStats.rowSum += A.scan.northRow + A.scan.southRow;
}
} // namespace

void setColumn() {
    // Formed in double and rounded once, at the store: in float the difference would round first.
    S.longitudeMinutes =
        static_cast<float>(static_cast<double>(A.searchColumn) - A.scan.mapColumnOffset - 720);
}

int16_t localZoneOffsetMinutes() {
    if (zoneOffsetOverridden) return zoneOffsetOverride;
#ifdef _WIN32
    return windowsLocalZoneOffsetMinutes();
#else
    return localZoneOffsetAt(std::time(nullptr));
#endif
}

#ifndef _WIN32
int16_t localZoneOffsetAt(int64_t unixSeconds) {
    // tm_gmtoff holds the offset in effect at that moment; the C library's `daylight` only says
    // whether the zone has summer time at all, which would be an hour off all winter.
    // localtime_r need not read TZ or the zone file again (glibc does not); tzset does, so a
    // saver running for days follows a changed zone from its next lunation on.
    tzset();
    const std::time_t moment = static_cast<std::time_t>(unixSeconds);
    std::tm local{};
    localtime_r(&moment, &local);
    return static_cast<int16_t>(local.tm_gmtoff / 60);
}
#endif

LRESULT CALLBACK saverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ACTIVATE:
        if (LOWORD(wParam) == 0) return quit();
        break;
    case WM_CLOSE:
    case WM_QUERYENDSESSION:
    case WM_KEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        return quit();
#ifdef TELVOR_NATIVE_WIN32
    case WM_ERASEBKGND:
        if (!blackSurround) break;
        {
            RECT all;
            GetClientRect(window, &all);
            FillRect(reinterpret_cast<HDC>(wParam), &all,
                     static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        }
        return 1;
#endif
    case WM_COMMAND:
        loadSettings(); // another instance saved new settings
        return 0;
    case WM_TIMER:
        onTimerTick();
        break;
    case WM_MOUSEMOVE: {
        POINT p;
        GetCursorPos(&p);
        // Small movements add up: the start position is never updated.
        const bool moved =
            std::abs(p.x - startCursorPos.x) >= 5 || std::abs(p.y - startCursorPos.y) >= 5;
        if (moved && LOWORD(wParam) == 0) return quit();
        break;
    }
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void onTimerTick() {
    PAINTSTRUCT paint;
    const RECT area = {clientRect.left + drawingOrigin.x, clientRect.top + drawingOrigin.y,
                       clientRect.right + drawingOrigin.x, clientRect.bottom + drawingOrigin.y};
    InvalidateRect(targetWindow, &area, FALSE);
    paintSurface = BeginPaint(targetWindow, &paint);
    if (A.tickCount == 0) beginLunation();
    prepareFrame();
    A.tickCount += 1;
    S.simMinute = static_cast<int16_t>(S.simMinute + 1);
    if (S.simMinute == 1440) {
        S.simMinute = 0;
        dayOfYearCounter += 1;
        normalizeDayCounter();
    }
    S.calcMinute = S.simMinute;
    sweepStats = SweepStats{};
    if (A.zoneFound == 1)
        sweepStep();
    else
        searchStep();
    presentFrame();
    EndPaint(targetWindow, &paint);
    if (A.tickCount > 2000) endLunation();
    releaseTextBand();
}

void beginLunation() {
    A.zoneFound = 0;
    visiblePointText[0] = '\0';
    SetTimer(saverWindow, 1, saverSettings.fullSpeed ? 10 : periodMs(saverSettings.speed), nullptr);
    S.zoneOffsetMinutes = localZoneOffsetMinutes();
    const int16_t today = dayOfYear();
    const int16_t back = static_cast<int16_t>(findLunarMonth());
    dayOfYearCounter = today - back;

    // Start estimate in degrees: the remaining angle scaled by the Moon's distance, plus the
    // shifts of the probability and the horizon dip (which cancel at the defaults).
    S.elongationDeficit =
        static_cast<float>(static_cast<long double>(S.elongationDeficit) * S.moonDistance *
                               S.moonDistance * (1.0L / 385) * (1.0L / 385) +
                           saverSettings.probability * 0.02L - 1.0L - S.horizonDip);
    const double estimate = S.elongationDeficit;
    S.simMinute =
        static_cast<int16_t>((estimate - 1.0) * 1440.0 * (1.0 / 12) + S.zoneOffsetMinutes);
    // One day's correction covers every estimate of an ordinary lunation; the loops only keep a
    // damaged one from starting outside the day.
    while (S.simMinute < 0) {
        S.simMinute = static_cast<int16_t>(S.simMinute + 1440);
        dayOfYearCounter -= 1;
    }
    while (S.simMinute >= 1440) {
        S.simMinute = static_cast<int16_t>(S.simMinute - 1440);
        dayOfYearCounter += 1;
    }
    normalizeDayCounter();
    lunationStart = {S.day, S.month, S.year, S.simMinute, S.elongationDeficit};
    createLunationSurfaces();
    int32_t offset = static_cast<int32_t>((estimate + 9.0) * 1440.0 * (1.0 / 12)) % 1440;
    if (offset < 0) offset += 1440; // only for an estimate below -9 degrees
    A.scan.mapColumnOffset = offset;
    buildMapCanvas();
    A.searchColumn = 1439.0f;
    A.searchRow = 360.0f;
}

void searchStep() {
    setColumn();
    setRow();
    computeMoonPosition();
    float d;
    int steps = 0;
    do { // south, toward the Moon highest above the Sun
        d = static_cast<float>(heightAboveSun());
        A.searchRow = static_cast<float>(A.searchRow - 0.1);
        setRow();
        computeMoonPosition();
    } while (heightAboveSun() > d && ++steps < kClimbLimit);
    steps = 0;
    do { // north
        d = static_cast<float>(heightAboveSun());
        A.searchRow = static_cast<float>(A.searchRow + 0.1);
        setRow();
        computeMoonPosition();
    } while (heightAboveSun() > d && ++steps < kClimbLimit);
    steps = 0;
    do { // west, toward the Moon 4 degrees up
        d = static_cast<float>(offFourDegrees());
        A.searchColumn = static_cast<float>(A.searchColumn - 0.1);
        setColumn();
        computeMoonPosition();
    } while (offFourDegrees() < d && ++steps < kClimbLimit);
    steps = 0;
    do { // east
        d = static_cast<float>(offFourDegrees());
        A.searchColumn = static_cast<float>(A.searchColumn + 0.1);
        setColumn();
        computeMoonPosition();
    } while (offFourDegrees() < d && ++steps < kClimbLimit);

    if (S.visibilityCode != kVisible) return;
    while (S.longitudeMinutes > 720)
        S.longitudeMinutes -= 1440;
    while (S.longitudeMinutes < -720)
        S.longitudeMinutes += 1440;
    A.zoneFound = 1;
    A.savedSouthRow = A.savedNorthRow = static_cast<int32_t>(A.searchRow);
    SetTimer(saverWindow, 1, periodMs(saverSettings.speed), nullptr);
    formatVisiblePointText();
}

void sweepStep() {
    selectZonePen();
    A.searchColumn = static_cast<float>(A.searchColumn - 1.0);
    if (A.searchColumn < 0) A.searchColumn = 0;
    A.scan.northRow = A.savedNorthRow;
    A.scan.southRow = A.savedSouthRow;
    A.scan.scanColumn = static_cast<int32_t>(A.searchColumn);
    scanZoneColumn(A.scan); // fits the rows to the start column
    A.savedNorthRow = A.scan.northRow;
    A.savedSouthRow = A.scan.southRow;
    while (A.scan.scanColumn > 0 && scanZoneColumn(A.scan) == 1) { // westward
        drawColumn(A.scan.scanColumn);
        A.scan.scanColumn -= 1;
    }
    A.scan.northRow = A.savedNorthRow;
    A.scan.southRow = A.savedSouthRow;
    A.scan.scanColumn = static_cast<int32_t>(A.searchColumn);
    while (scanZoneColumn(A.scan) == 1) { // eastward
        if (A.scan.scanColumn - A.searchColumn > 720.0) {
            A.tickCount = 9999;
            break;
        }
        drawColumn(A.scan.scanColumn);
        A.scan.scanColumn += 1;
    }
    if (A.scan.scanColumn == 0) A.tickCount = 9999;
}

void endLunation() {
    A.tickCount = 0;
    releaseLunationSurfaces();
    dayOfYearCounter += 40;
    normalizeDayCounter();
    SetTimer(saverWindow, 1,
             static_cast<UINT>((saverSettings.dwell < 1 ? 1 : saverSettings.dwell) * 1000),
             nullptr);
}
