// Internal contract between the portable GDI, the window layer and its backends (not on Windows).
#pragma once

#include <vector>

#include "shell/platform/win32.h"

// The pixels of a bitmap: 32-bit words 0x00RRGGBB (the byte order of a Windows 32-bit DIB),
// top row first, `width` words per row.
struct PixelBuffer {
    int width;
    int height;
    uint32_t *pixels;
};

// A rectangle of pixels, the far edges excluded.
struct PixelRect {
    int x0, y0, x1, y1;
};

// --- provided by gdi.cpp ---
// A new 32-bit bitmap of the given size, cleared to black; 0 when the size is not positive.
HBITMAP gdiCreateBitmap(int width, int height);
// The pixels of a bitmap, for reading only, or false when the handle is not a live bitmap.
bool gdiBitmapPixels(HBITMAP bitmap, PixelBuffer *out);
// The pixels of the bitmap selected into a DC, which the caller may also write; false when there
// is none.
bool gdiDCPixels(HDC dc, PixelBuffer *out);
// A count that grows with every change of any bitmap's pixels.
uint64_t gdiChangeSerial();
// Adds to `out` the rectangles of `bitmap` whose pixels may have changed since gdiChangeSerial
// gave `serial`; false when that is no longer known or the bitmap is not live (then count the
// whole bitmap as changed).
bool gdiBitmapChangesSince(HBITMAP bitmap, uint64_t serial, std::vector<PixelRect> *out);
// A DC with `bitmap` selected, used as a window's paint context; DeleteDC releases the DC only.
HDC gdiCreateDCForBitmap(HBITMAP bitmap);
// Whether whole-bitmap WHITENESS and BLACKNESS fills are deferred until the pixels are needed
// (on by default; the results are the same either way, which the tests check).
void gdiSetDeferredFills(bool on);
// How many GDI objects (DCs, bitmaps, pens) are alive: for leak tests.
int gdiLiveObjectCount();
