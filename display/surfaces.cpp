// The drawing surfaces: the expanded map, the canvas and its overlay of zone lines, the status
// band.
#include <cstdio>
#include <cstring>

#include "display/display.h"

// The two texts are formatted into fixed buffers on purpose; snprintf cuts what does not fit.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wformat-truncation"
#endif

HDC paintSurface;
HDC earthSurface, MapCanvas, overlaySurface, textBand;
char statusText[99];
char visiblePointText[33];
int32_t bandHeight;

namespace {
HBITMAP earthBitmap, canvasBitmap, overlayBitmap, textBandBitmap;
BITMAPINFOHEADER earthHeader;
const unsigned char *pixelCursor;
// The zone drawing mode of the lunation under way: a settings reload that changes `cumulative`
// takes effect at the next lunation, so the turnover undoes exactly what the last tick did.
int32_t lunationCumulative;

constexpr COLORREF kLand = 0xff00ff; // neither colour has green, which erasing a zone relies on
constexpr COLORREF kSea = 0x800080;
constexpr int kCanvasWidth = 1440, kCanvasHeight = 720, kBand = 50;

HDC newSurface(int width, int height, HBITMAP *bitmap) {
    HDC dc = CreateCompatibleDC(paintSurface);
    *bitmap = CreateCompatibleBitmap(paintSurface, width, height);
    SelectObject(dc, *bitmap);
    return dc;
}

void releaseSurface(HDC *dc, HBITMAP *bitmap) {
    DeleteDC(*dc);
    DeleteObject(*bitmap);
    *dc = nullptr;
    *bitmap = nullptr;
}
} // namespace

void createLunationSurfaces() {
    lunationCumulative = saverSettings.cumulative;
    std::memcpy(&earthHeader, earthBitmapData, sizeof earthHeader);
    pixelCursor = static_cast<const unsigned char *>(earthBitmapData);
    earthSurface = newSurface(earthHeader.biWidth, earthHeader.biHeight, &earthBitmap);
    MapCanvas = newSurface(kCanvasWidth, kCanvasHeight, &canvasBitmap);
    overlaySurface = newSurface(kCanvasWidth, kCanvasHeight, &overlayBitmap);
    BitBlt(overlaySurface, 0, 0, kCanvasWidth, kCanvasHeight, nullptr, 0, 0,
           lunationCumulative ? WHITENESS : BLACKNESS);
    pixelCursor += 48; // past the header and the two palette entries
}

void buildMapCanvas() {
    const int width = earthHeader.biWidth, height = earthHeader.biHeight;
    const int shift = animationState.scan.mapColumnOffset * width / kCanvasWidth;
    unsigned bits = 0;
    for (int i = 0; i < height; ++i)
        for (int j = 0; j < width; ++j) {
            if (j % 8 == 0) bits = *pixelCursor++;
            const bool land = (bits >> (7 - j % 8)) & 1;
            SetPixelV(earthSurface, (shift + j) % width, height - 1 - i, land ? kLand : kSea);
        }
    StretchBlt(MapCanvas, 0, 0, kCanvasWidth, kCanvasHeight, earthSurface, 0, 0, width, height,
               SRCCOPY);
    SelectObject(MapCanvas, dateLinePen); // stays selected in the canvas
    MoveToEx(MapCanvas, animationState.scan.mapColumnOffset, 0, nullptr);
    LineTo(MapCanvas, animationState.scan.mapColumnOffset, kCanvasHeight);
}

void prepareFrame() {
    textBand = newSurface(clientRect.right, kBand, &textBandBitmap);
    SetBkMode(textBand, TRANSPARENT);
    SetTextCharacterExtra(textBand, clientRect.right / 410);
    SetTextColor(textBand, 0x00ff00);
    // Turn the overlay over: the last tick's lines leave the canvas, or stay as faded marks.
    BitBlt(overlaySurface, 0, 0, kCanvasWidth, kCanvasHeight, nullptr, 0, 0, DSTINVERT);
    BitBlt(MapCanvas, 0, 0, kCanvasWidth, kCanvasHeight, overlaySurface, 0, 0,
           lunationCumulative ? SRCPAINT : SRCAND);
    BitBlt(overlaySurface, 0, 0, kCanvasWidth, kCanvasHeight, nullptr, 0, 0,
           lunationCumulative ? WHITENESS : BLACKNESS);
}

void selectZonePen() {
    SelectObject(overlaySurface, lunationCumulative ? cumulativeZonePen : singleZonePen);
}

void formatStatusText() {
    const EphemerisState &s = ephemerisState;
    // Bounded: a status line longer than the buffer (only from odd values) is cut, never overrun.
    std::snprintf(statusText, sizeof statusText,
                  "%02i/%02i/%4i - %02i:%02i       H=01/%02i/%04i       A=%4.2f\xB0       "
                  "W=%4.2f'%s",
                  s.day, s.month, s.year, s.simMinute / 60, s.simMinute % 60, s.hijriMonth,
                  s.hijriYear, s.elongation * 360.0, static_cast<double>(s.crescentWidth),
                  visiblePointText);
}

void formatVisiblePointText() {
    const EphemerisState &s = ephemerisState;
    const double latitude = s.latitude, longitude = s.longitudeMinutes;
    std::snprintf(visiblePointText, sizeof visiblePointText,
                  "     %02i\xB0%c/%03i\xB0%c @ %02i:%02i",
                  static_cast<int>((latitude < 0 ? -latitude : latitude) * 57.29577951308232),
                  latitude >= 0 ? 'N' : 'S',
                  static_cast<int>((longitude < 0 ? -longitude : longitude) * 0.25),
                  longitude >= 0 ? 'E' : 'W', s.simMinute / 60, s.simMinute % 60);
}

void presentFrame() {
    BitBlt(MapCanvas, 0, 0, kCanvasWidth, kCanvasHeight, overlaySurface, 0, 0,
           lunationCumulative ? SRCAND : SRCPAINT);
    if (saverMode == FullScreen) {
        formatStatusText();
        if (framePresentation)
            TextOutA(textBand, 100, 20, statusText, static_cast<int>(std::strlen(statusText)));
        bandHeight = kBand;
    } else {
        bandHeight = 0;
    }
    if (framePresentation && IsWindow(targetWindow)) {
        if (saverMode == FullScreen)
            BitBlt(paintSurface, drawingOrigin.x, drawingOrigin.y, clientRect.right, kBand,
                   textBand, 0, 0, SRCCOPY);
        StretchBlt(paintSurface, drawingOrigin.x, drawingOrigin.y + bandHeight, clientRect.right,
                   clientRect.bottom - bandHeight, MapCanvas, 0, 0, kCanvasWidth, kCanvasHeight,
                   SRCCOPY);
    }
}

void releaseTextBand() {
    releaseSurface(&textBand, &textBandBitmap);
}

void releaseLunationSurfaces() {
    releaseSurface(&earthSurface, &earthBitmap);
    releaseSurface(&MapCanvas, &canvasBitmap);
    releaseSurface(&overlaySurface, &overlayBitmap);
}
