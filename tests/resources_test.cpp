// Tests of the embedded land-mask bitmap and icon: their headers, their bytes and the map itself.
#include "resources/resources.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 800;
constexpr int kHeight = 400;
constexpr int kRowBytes = kWidth / 8;
constexpr int kBitsOffset = 48; // 40-byte header + two 4-byte palette entries

uint32_t u32(const unsigned char *p, size_t at) {
    return p[at] | p[at + 1] << 8 | p[at + 2] << 16 | uint32_t(p[at + 3]) << 24;
}
int32_t i32(const unsigned char *p, size_t at) {
    return int32_t(u32(p, at));
}
uint16_t u16(const unsigned char *p, size_t at) {
    return uint16_t(p[at] | p[at + 1] << 8);
}

std::vector<unsigned char> readFile(const std::string &name) {
    std::ifstream in(std::string(TELVOR_RESOURCES_DIR) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The bit of the stored pixel at column x (0 = west edge) and row y (0 = top row).
bool pixelAt(int x, int y) {
    const int storedRow = kHeight - 1 - y; // bottom row first
    const unsigned char byte = telvorEarthBitmap[kBitsOffset + storedRow * kRowBytes + x / 8];
    return (byte >> (7 - x % 8)) & 1;
}

// Whether the map shows land at the given place. lon in degrees east (-180..180),
// lat in degrees north (-90..90); each pixel covers 0.45 degree squared.
bool landAt(double lon, double lat) {
    int x = int(std::floor((lon + 180.0) / 360.0 * kWidth));
    int y = int(std::floor((90.0 - lat) / 180.0 * kHeight));
    x = x < 0 ? 0 : x >= kWidth ? kWidth - 1 : x;
    y = y < 0 ? 0 : y >= kHeight ? kHeight - 1 : y;
    return pixelAt(x, y);
}

} // namespace

// --- The bitmap's form ---

TEST(EarthBitmapForm, HeaderFieldsAsTheDrawingExpects) {
    const unsigned char *b = telvorEarthBitmap;
    ASSERT_EQ(telvorEarthBitmapSize, 40048u);
    EXPECT_EQ(u32(b, 0), 40u) << "header size";
    EXPECT_EQ(i32(b, 4), kWidth) << "width";
    EXPECT_EQ(i32(b, 8), kHeight) << "height, positive for bottom row first";
    EXPECT_EQ(u16(b, 12), 1) << "planes";
    EXPECT_EQ(u16(b, 14), 1) << "bits per pixel";
    EXPECT_EQ(u32(b, 16), 0u) << "compression";
    EXPECT_EQ(u32(b, 20), 40000u) << "image size";
    EXPECT_EQ(i32(b, 24), 3937) << "horizontal resolution";
    EXPECT_EQ(i32(b, 28), 3937) << "vertical resolution";
    EXPECT_EQ(u32(b, 32), 2u) << "colours used";
    EXPECT_EQ(u32(b, 36), 0u) << "important colours";
}

TEST(EarthBitmapForm, PaletteBlackThenWhite) {
    const unsigned char expected[8] = {0, 0, 0, 0, 255, 255, 255, 0};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(telvorEarthBitmap[40 + i], expected[i]) << "palette byte " << i;
}

TEST(EarthBitmapForm, EmbeddedBytesAreTheFileLessItsFileHeader) {
    const std::vector<unsigned char> file = readFile("earth.bmp");
    ASSERT_EQ(file.size(), 14u + telvorEarthBitmapSize) << "earth.bmp size";
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(u32(file.data(), 2), file.size()) << "file header: file size";
    EXPECT_EQ(u32(file.data(), 10), 14u + kBitsOffset) << "file header: offset of the bits";
    for (unsigned i = 0; i < telvorEarthBitmapSize; ++i)
        ASSERT_EQ(telvorEarthBitmap[i], file[14 + i]) << "byte " << i << " of the packed bitmap";
}

// --- The map it shows ---

TEST(EarthBitmapMap, NamedPlaces) {
    struct Place {
        const char *name;
        double lon, lat;
        bool land;
    };
    // Each land place is paired with its mirror east-west or north-south where that is sea,
    // so a flipped or shifted map fails.
    const Place places[] = {
        {"central Sahara", 15, 23, true},
        {"central Pacific", -150, 0, false},
        {"mid Atlantic", -30, 30, false},
        {"central Asia (Kazakhstan)", 70, 48, true},
        {"southern Indian Ocean (Asia mirrored south)", 70, -48, false},
        {"central Australia", 134, -25, true},
        {"south Pacific (Australia mirrored west)", -134, -25, false},
        {"Amazon basin", -60, -5, true},
        {"central Greenland", -40, 72, true},
        {"central Canada", -100, 55, true},
        {"North Pacific", 180 - 0.1, 40, false},
        {"Siberia", 100, 65, true},
        {"Indian Ocean", 80, -10, false},
    };
    for (const Place &p : places)
        EXPECT_EQ(landAt(p.lon, p.lat), p.land) << p.name << " at " << p.lon << ", " << p.lat;
}

TEST(EarthBitmapMap, AntarcticaAlongTheBottomSeaAtTheTop) {
    for (int x = 0; x < kWidth; ++x) {
        EXPECT_TRUE(pixelAt(x, kHeight - 1)) << "bottom row, column " << x;
        EXPECT_FALSE(pixelAt(x, 0)) << "top row, column " << x;
    }
    for (int lon = -180; lon < 180; lon += 15)
        EXPECT_TRUE(landAt(lon, -85)) << "Antarctica at 85 S, lon " << lon;
}

TEST(EarthBitmapMap, LandFractionPlausible) {
    int land = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            land += pixelAt(x, y);
    // About 29 % of the surface is land; equal-angle pixels enlarge the polar land
    // (Antarctica, Greenland, the Arctic islands), which lifts the pixel share to about a third.
    const double fraction = double(land) / (kWidth * kHeight);
    EXPECT_GT(fraction, 0.28);
    EXPECT_LT(fraction, 0.38);
}

// --- The icon ---

TEST(TelvorIcon, OneImage32By32With16Colours) {
    const unsigned char *ico = telvorIcon;
    ASSERT_GE(telvorIconSize, 22u + 40u);
    EXPECT_EQ(u16(ico, 0), 0) << "reserved";
    EXPECT_EQ(u16(ico, 2), 1) << "type: icon";
    EXPECT_EQ(u16(ico, 4), 1) << "image count";
    // The directory entry.
    EXPECT_EQ(ico[6], 32) << "entry width";
    EXPECT_EQ(ico[7], 32) << "entry height";
    EXPECT_EQ(ico[8], 16) << "entry colour count";
    EXPECT_EQ(u16(ico, 10), 1) << "entry planes";
    EXPECT_EQ(u16(ico, 12), 4) << "entry bits per pixel";
    const uint32_t bytes = u32(ico, 14), at = u32(ico, 18);
    // Header, 16-entry palette, 4-bit colour rows of 16 bytes, 1-bit mask rows of 4 bytes.
    EXPECT_EQ(bytes, 40u + 16 * 4 + 32 * 16 + 32 * 4) << "image bytes";
    ASSERT_EQ(at + bytes, telvorIconSize) << "image runs to the end of the file";
    // The image's own header: height counts the colour bits and the mask.
    EXPECT_EQ(u32(ico, at), 40u) << "header size";
    EXPECT_EQ(i32(ico, at + 4), 32) << "width";
    EXPECT_EQ(i32(ico, at + 8), 64) << "height, colours and mask";
    EXPECT_EQ(u16(ico, at + 12), 1) << "planes";
    EXPECT_EQ(u16(ico, at + 14), 4) << "bits per pixel";
    EXPECT_EQ(u32(ico, at + 16), 0u) << "compression";
}

TEST(TelvorIcon, EmbeddedBytesAreTheWholeFile) {
    const std::vector<unsigned char> file = readFile("telvor.ico");
    ASSERT_EQ(file.size(), telvorIconSize);
    for (unsigned i = 0; i < telvorIconSize; ++i)
        ASSERT_EQ(telvorIcon[i], file[i]) << "byte " << i;
}
