// The program's embedded resources: the world land mask, the icon and the saver's display name.
#pragma once

// Packed device-independent bitmap of the land mask: 40-byte header, 2-entry palette, bits.
// 800 x 400 pixels, one bit each, rows bottom first, 100 bytes a row, most significant bit =
// leftmost pixel, set bit = land; column 0 starts at 180 degrees west, the top row is next to
// the North Pole. The same bytes as resources/earth.bmp after its 14-byte file header.
// The array is 4-byte aligned.
extern const unsigned char telvorEarthBitmap[];
extern const unsigned int telvorEarthBitmapSize; // 40048

// The whole icon file resources/telvor.ico: one 32 x 32 image of 16 colours (4 bits per pixel).
extern const unsigned char telvorIcon[];
extern const unsigned int telvorIconSize;

// The saver's display name, string 1 of the string table.
#define TELVOR_DISPLAY_NAME "TELVOR Crescent Visibility"
