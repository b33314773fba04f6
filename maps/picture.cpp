// Drawing on an in-memory RGB picture, with the saver's own bitmap font for text.
#include "maps/picture.h"

#include <algorithm>
#include <cstdlib>

#include "shell/platform/font_data.h"

Picture::Picture(int w, int h, uint32_t colour)
    : width(w), height(h), pixels(size_t(std::max(w, 0)) * size_t(std::max(h, 0)), colour) {}

int glyphWidth() {
    return kFontCellWidth;
}
int glyphHeight() {
    return kFontCellHeight;
}

int textWidth(std::string_view text, int scale) {
    return static_cast<int>(text.size()) * kFontCellWidth * scale;
}

void fillRect(Picture &p, int x, int y, int w, int h, uint32_t colour) {
    const int x0 = std::max(x, 0), x1 = std::min(x + w, p.width);
    const int y0 = std::max(y, 0), y1 = std::min(y + h, p.height);
    for (int yy = y0; yy < y1; ++yy)
        std::fill_n(&p.pixels[size_t(yy) * size_t(p.width) + size_t(x0)], std::max(x1 - x0, 0),
                    colour);
}

void strokeRect(Picture &p, int x, int y, int w, int h, uint32_t colour) {
    if (w <= 0 || h <= 0) return;
    drawLine(p, x, y, x + w - 1, y, colour);
    drawLine(p, x, y + h - 1, x + w - 1, y + h - 1, colour);
    drawLine(p, x, y, x, y + h - 1, colour);
    drawLine(p, x + w - 1, y, x + w - 1, y + h - 1, colour);
}

void drawLine(Picture &p, int x0, int y0, int x1, int y1, uint32_t colour, int dash) {
    // Bresenham's algorithm over all octants.
    const int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    const int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (int n = 0;; ++n) {
        if (dash <= 0 || (n / dash) % 2 == 0) p.set(x0, y0, colour);
        if (x0 == x1 && y0 == y1) break;
        const int e2 = 2 * err;
        if (e2 >= dy) err += dy, x0 += sx;
        if (e2 <= dx) err += dx, y0 += sy;
    }
}

namespace {

// Calls plot(px, py) for the top left of every lit font pixel of the text.
template <class Plot>
void forEachLitPixel(int x, int y, std::string_view text, int scale, Plot plot) {
    for (size_t i = 0; i < text.size(); ++i) {
        const uint8_t *glyph = kFontGlyphs[static_cast<unsigned char>(text[i])];
        const int cx = x + static_cast<int>(i) * kFontCellWidth * scale;
        for (int row = 0; row < kFontCellHeight; ++row)
            for (int col = 0; col < kFontCellWidth; ++col)
                if (glyph[row] & (0x80 >> col)) plot(cx + col * scale, y + row * scale);
    }
}

} // namespace

void drawText(Picture &p, int x, int y, std::string_view text, uint32_t colour, int scale,
              bool halo, uint32_t haloColour) {
    scale = std::max(scale, 1);
    if (halo)
        forEachLitPixel(x, y, text, scale, [&](int px, int py) {
            fillRect(p, px - 1, py - 1, scale + 2, scale + 2, haloColour);
        });
    forEachLitPixel(x, y, text, scale,
                    [&](int px, int py) { fillRect(p, px, py, scale, scale, colour); });
}

void drawMarker(Picture &p, int x, int y, int r, uint32_t fill, uint32_t ring) {
    for (int dy = -r - 1; dy <= r + 1; ++dy)
        for (int dx = -r - 1; dx <= r + 1; ++dx) {
            const int d2 = dx * dx + dy * dy;
            if (d2 <= r * r)
                p.set(x + dx, y + dy, fill);
            else if (d2 <= (r + 1) * (r + 1) + r)
                p.set(x + dx, y + dy, ring);
        }
}
