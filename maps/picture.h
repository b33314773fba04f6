// An RGB picture in memory and the few drawing operations the map pictures need: rectangles,
// lines, markers and text in the built-in 8x13 bitmap font.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

// Pixels are 32-bit words 0x00RRGGBB, top row first, `width` words per row (the layout of
// the saver's frames, so one PNG writer serves both).
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    Picture() = default;
    // A picture of width x height pixels (each 1..16384) filled with `colour`.
    Picture(int width, int height, uint32_t colour = 0);
    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    uint32_t at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
    // Sets one pixel; points outside the picture are ignored.
    void set(int x, int y, uint32_t colour) {
        if (inside(x, y)) pixels[size_t(y) * size_t(width) + size_t(x)] = colour;
    }
};

// The font's cell, in pixels at scale 1.
int glyphWidth();
int glyphHeight();

// Width in pixels of `text` (Latin-1 bytes) drawn at `scale` (1 or more).
int textWidth(std::string_view text, int scale = 1);

// Fills the rectangle with its top left at (x, y); clipped to the picture.
void fillRect(Picture &p, int x, int y, int w, int h, uint32_t colour);
// Draws a one-pixel outline of the rectangle.
void strokeRect(Picture &p, int x, int y, int w, int h, uint32_t colour);
// Draws a one-pixel line from (x0, y0) to (x1, y1), both ends included; every `dash`-th run
// of `dash` pixels is left out when `dash` is positive (a dashed line).
void drawLine(Picture &p, int x0, int y0, int x1, int y1, uint32_t colour, int dash = 0);
// Draws Latin-1 text with the top left of its first cell at (x, y), each font pixel as a
// scale x scale block; the degree sign is the byte 0xB0. With `halo`, the glyphs get a
// one-pixel outline of `haloColour` first so that they read on any background.
void drawText(Picture &p, int x, int y, std::string_view text, uint32_t colour, int scale = 1,
              bool halo = false, uint32_t haloColour = 0xffffff);
// A round marker of radius r (pixels) centred on (x, y): filled with `fill`, ringed with `ring`.
void drawMarker(Picture &p, int x, int y, int r, uint32_t fill, uint32_t ring);
