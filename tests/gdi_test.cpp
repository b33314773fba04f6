// Tests of the portable GDI: objects and handles, pixels, blits, stretching, lines and text.
#include "shell/platform/backend.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr COLORREF kLand = 0xff00ff;
constexpr COLORREF kSea = 0x800080;
constexpr COLORREF kDateLine = 0xff0000;
constexpr COLORREF kWhite = 0xffffff;
constexpr COLORREF kBlack = 0x000000;
// The colours the random drawing tests pick from: the map's, the fills' and two pens'.
constexpr COLORREF kMixed[] = {kLand, kSea, kWhite, kBlack, 0x0000ff, 0x00ff00};

// Seeded dice for the random drawing tests: dice(lo, hi) is uniform over lo..hi.
struct Dice {
    std::mt19937 rng;
    explicit Dice(unsigned seed) : rng(seed) {}
    int operator()(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }
    COLORREF colour() { return kMixed[(*this)(0, 5)]; }
};

// A memory DC with its own bitmap selected, released in the order the display uses.
struct Surface {
    HDC dc;
    HBITMAP bitmap;
    HGDIOBJ original;
    Surface(int w, int h) {
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateCompatibleBitmap(dc, w, h);
        original = SelectObject(dc, bitmap);
    }
    ~Surface() {
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
    Surface(const Surface &) = delete;
    Surface &operator=(const Surface &) = delete;
};

void fill(HDC dc, int w, int h, COLORREF c) {
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            SetPixelV(dc, x, y, c);
}

void vline(HDC dc, int x, int y0, int y1) {
    MoveToEx(dc, x, y0, nullptr);
    LineTo(dc, x, y1);
}

// --- Merging of the zone overlay into the map canvas -----------------------------------

// Three canvas columns: land, sea and the date line (drawn with a real pen), 4 rows high.
struct MergeRig {
    static constexpr int W = 3, H = 4;
    Surface earth{3, 2};
    Surface canvas{W, H};
    Surface overlay{W, H};
    HPEN datePen = CreatePen(PS_SOLID, 0, kDateLine);
    HPEN zonePen;
    bool cumulative;

    explicit MergeRig(bool cumulativeOn)
        : zonePen(CreatePen(PS_SOLID, 0, cumulativeOn ? 0x0000ff : 0x00ff00)),
          cumulative(cumulativeOn) {
        // The map is built at its own size and stretched onto the canvas, as the display does.
        fill(earth.dc, 3, 2, kSea);
        SetPixelV(earth.dc, 0, 0, kLand);
        SetPixelV(earth.dc, 0, 1, kLand);
        StretchBlt(canvas.dc, 0, 0, W, H, earth.dc, 0, 0, 3, 2, SRCCOPY);
        SelectObject(canvas.dc, datePen);
        vline(canvas.dc, 2, 0, H);
        BitBlt(overlay.dc, 0, 0, W, H, nullptr, 0, 0, cumulative ? WHITENESS : BLACKNESS);
        SelectObject(overlay.dc, zonePen);
    }
    ~MergeRig() {
        DeleteDC(canvas.dc); // releases the pens before they are deleted
        DeleteDC(overlay.dc);
        DeleteObject(datePen);
        DeleteObject(zonePen);
    }
    // One tick: turn the overlay over, optionally draw the zone on every column, present.
    void tick(bool withZone) {
        BitBlt(overlay.dc, 0, 0, W, H, nullptr, 0, 0, DSTINVERT);
        BitBlt(canvas.dc, 0, 0, W, H, overlay.dc, 0, 0, cumulative ? SRCPAINT : SRCAND);
        BitBlt(overlay.dc, 0, 0, W, H, nullptr, 0, 0, cumulative ? WHITENESS : BLACKNESS);
        if (withZone)
            for (int x = 0; x < W; ++x)
                vline(overlay.dc, x, 0, H);
        BitBlt(canvas.dc, 0, 0, W, H, overlay.dc, 0, 0, cumulative ? SRCAND : SRCPAINT);
    }
    void expectColumns(COLORREF land, COLORREF sea, COLORREF dateLine, const char *when) {
        for (int y = 0; y < H; ++y) {
            EXPECT_EQ(GetPixel(canvas.dc, 0, y), land) << when << ": land, row " << y;
            EXPECT_EQ(GetPixel(canvas.dc, 1, y), sea) << when << ": sea, row " << y;
            EXPECT_EQ(GetPixel(canvas.dc, 2, y), dateLine) << when << ": date line, row " << y;
        }
    }
};

TEST(Merge, SingleZoneShowsForOneTickThenErases) {
    MergeRig rig(false);
    rig.tick(false);
    rig.expectColumns(kLand, kSea, kDateLine, "first tick, no zone");
    rig.tick(true);
    rig.expectColumns(0xffffff, 0x80ff80, 0xffff00, "tick with zone");
    rig.tick(false);
    rig.expectColumns(kLand, kSea, kDateLine, "next tick");
}

TEST(Merge, CumulativeZoneFadesToPermanentMark) {
    MergeRig rig(true);
    rig.tick(false);
    rig.expectColumns(kLand, kSea, kDateLine, "first tick, no zone");
    rig.tick(true);
    rig.expectColumns(0x0000ff, 0x000080, 0x000000, "tick with zone");
    rig.tick(false);
    rig.expectColumns(0xffffff, 0xffff80, 0xffff00, "next tick");
    rig.tick(false);
    rig.expectColumns(0xffffff, 0xffff80, 0xffff00, "tick after");
}

// --- Pixels and colour order --------------------------------------------------------------

TEST(Pixels, ColorRefIsStoredAsRgbWord) {
    Surface s(2, 1);
    ASSERT_TRUE(SetPixelV(s.dc, 1, 0, RGB(0x11, 0x22, 0x33)));
    PixelBuffer pb{};
    ASSERT_TRUE(gdiDCPixels(s.dc, &pb));
    EXPECT_EQ(pb.pixels[1], 0x00112233u);
    EXPECT_EQ(pb.pixels[0], 0u) << "a new bitmap is black";
    EXPECT_EQ(GetPixel(s.dc, 1, 0), RGB(0x11, 0x22, 0x33));
}

TEST(Pixels, FreshMemoryDCHasOnePixelBitmap) {
    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_TRUE(SetPixelV(dc, 0, 0, kWhite));
    EXPECT_FALSE(SetPixelV(dc, 1, 0, kWhite)) << "outside the bitmap";
    EXPECT_FALSE(SetPixelV(dc, 0, -1, kWhite)) << "outside the bitmap";
    EXPECT_EQ(GetPixel(dc, 0, 1), CLR_INVALID) << "outside the bitmap";
    EXPECT_TRUE(TextOutA(dc, 0, 0, "x", 1)) << "drawing on the default bitmap is harmless";
    EXPECT_TRUE(DeleteDC(dc));
}

// --- Block transfers ----------------------------------------------------------------------

TEST(BitBlt, EachRasterOperation) {
    struct Case {
        DWORD rop;
        COLORREF expected;
        const char *name;
    };
    const COLORREF d = 0x0f0f33, s = 0x3355ff;
    const Case cases[] = {
        {SRCCOPY, s, "SRCCOPY"},          {SRCPAINT, d | s, "SRCPAINT"},
        {SRCAND, d & s, "SRCAND"},        {DSTINVERT, ~d & 0xffffff, "DSTINVERT"},
        {WHITENESS, kWhite, "WHITENESS"}, {BLACKNESS, kBlack, "BLACKNESS"},
    };
    Surface src(1, 1), dst(1, 1);
    SetPixelV(src.dc, 0, 0, s);
    for (const Case &c : cases) {
        SetPixelV(dst.dc, 0, 0, d);
        EXPECT_TRUE(BitBlt(dst.dc, 0, 0, 1, 1, src.dc, 0, 0, c.rop)) << c.name;
        EXPECT_EQ(GetPixel(dst.dc, 0, 0), c.expected) << c.name;
    }
}

TEST(BitBlt, SourcelessOperationsNeedNoSourceButOthersDo) {
    Surface dst(2, 2);
    EXPECT_TRUE(BitBlt(dst.dc, 0, 0, 2, 2, nullptr, 0, 0, DSTINVERT));
    EXPECT_EQ(GetPixel(dst.dc, 1, 1), kWhite);
    EXPECT_FALSE(BitBlt(dst.dc, 0, 0, 2, 2, nullptr, 0, 0, SRCCOPY));
    EXPECT_FALSE(BitBlt(dst.dc, 0, 0, 2, 2, dst.dc, 0, 0, 0x12345678)) << "unknown rop";
}

TEST(BitBlt, ClipsToBothSurfaces) {
    Surface src(3, 3), dst(4, 4);
    fill(src.dc, 3, 3, kWhite);
    // Destination hangs off the top-left, source off the bottom-right.
    EXPECT_TRUE(BitBlt(dst.dc, -1, -1, 4, 4, src.dc, 1, 1, SRCCOPY));
    // dst (x,y) takes src (x+2, y+2): only dst (0,0) has a source pixel inside.
    EXPECT_EQ(GetPixel(dst.dc, 0, 0), kWhite);
    EXPECT_EQ(GetPixel(dst.dc, 1, 0), kBlack);
    EXPECT_EQ(GetPixel(dst.dc, 0, 1), kBlack);
    // Off the far side and far away: nothing drawn, nothing broken.
    EXPECT_TRUE(BitBlt(dst.dc, 3, 3, 100, 100, src.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(GetPixel(dst.dc, 3, 3), kWhite);
    EXPECT_TRUE(BitBlt(dst.dc, 2000000000, -2000000000, 2000000000, 2000000000, src.dc, -2000000000,
                       2000000000, SRCCOPY));
    EXPECT_TRUE(BitBlt(dst.dc, -5, -5, 20, 20, nullptr, 0, 0, WHITENESS));
    EXPECT_EQ(GetPixel(dst.dc, 0, 0), kWhite);
    EXPECT_EQ(GetPixel(dst.dc, 3, 3), kWhite);
}

TEST(BitBlt, OverlappingCopyWithinOneSurface) {
    Surface s(4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            SetPixelV(s.dc, x, y, COLORREF(y * 4 + x + 1));
    EXPECT_TRUE(BitBlt(s.dc, 1, 1, 3, 3, s.dc, 0, 0, SRCCOPY));
    for (int y = 1; y < 4; ++y)
        for (int x = 1; x < 4; ++x)
            EXPECT_EQ(GetPixel(s.dc, x, y), COLORREF((y - 1) * 4 + (x - 1) + 1))
                << "at " << x << "," << y;
}

TEST(BitBlt, NegativeSizesDrawNothing) {
    Surface src(2, 2), dst(2, 2);
    fill(src.dc, 2, 2, kWhite);
    EXPECT_FALSE(BitBlt(dst.dc, 1, 1, -2, -2, src.dc, 1, 1, SRCCOPY));
    EXPECT_FALSE(StretchBlt(dst.dc, 1, 1, 2, 2, src.dc, 1, 1, -2, 2, SRCCOPY));
    EXPECT_EQ(GetPixel(dst.dc, 0, 0), kBlack);
    EXPECT_EQ(GetPixel(dst.dc, 1, 1), kBlack);
}

// --- Stretching ---------------------------------------------------------------------------

TEST(StretchBlt, ShrinkCombinesWithAnd) {
    Surface src(4, 4), dst(2, 2);
    fill(src.dc, 4, 4, kWhite);
    SetPixelV(src.dc, 1, 1, kBlack);
    EXPECT_TRUE(StretchBlt(dst.dc, 0, 0, 2, 2, src.dc, 0, 0, 4, 4, SRCCOPY));
    EXPECT_EQ(GetPixel(dst.dc, 0, 0), kBlack) << "the black pixel survives a 2:1 shrink";
    EXPECT_EQ(GetPixel(dst.dc, 1, 0), kWhite);
    EXPECT_EQ(GetPixel(dst.dc, 0, 1), kWhite);
    EXPECT_EQ(GetPixel(dst.dc, 1, 1), kWhite);
}

TEST(StretchBlt, UnevenShrinkTakesFloorRuns) {
    // 5 -> 3: dst 0 takes src 0; dst 1 takes src 1..2; dst 2 takes src 3..4.
    Surface src(5, 1), dst(3, 1);
    const COLORREF bits[5] = {0x000001, 0x000006, 0x000003, 0x000030, 0x000070};
    for (int x = 0; x < 5; ++x)
        SetPixelV(src.dc, x, 0, bits[x]);
    EXPECT_TRUE(StretchBlt(dst.dc, 0, 0, 3, 1, src.dc, 0, 0, 5, 1, SRCCOPY));
    EXPECT_EQ(GetPixel(dst.dc, 0, 0), COLORREF(0x000001));
    EXPECT_EQ(GetPixel(dst.dc, 1, 0), COLORREF(0x000002));
    EXPECT_EQ(GetPixel(dst.dc, 2, 0), COLORREF(0x000030));
}

TEST(StretchBlt, EnlargeReplicatesNearest) {
    // 3 -> 7: dst i takes src floor(i*3/7): 0,0,0,1,1,2,2.
    Surface src(3, 1), dst(7, 2);
    for (int x = 0; x < 3; ++x)
        SetPixelV(src.dc, x, 0, COLORREF(x + 1));
    EXPECT_TRUE(StretchBlt(dst.dc, 0, 0, 7, 2, src.dc, 0, 0, 3, 1, SRCCOPY));
    const COLORREF expected[7] = {1, 1, 1, 2, 2, 3, 3};
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 7; ++x)
            EXPECT_EQ(GetPixel(dst.dc, x, y), expected[x]) << "at " << x << "," << y;
}

TEST(StretchBlt, RasterOperationAppliesAfterSampling) {
    Surface src(2, 2), dst(1, 1);
    fill(src.dc, 2, 2, 0x0000f0);
    SetPixelV(src.dc, 1, 1, 0x000030);
    SetPixelV(dst.dc, 0, 0, 0x000f00);
    EXPECT_TRUE(StretchBlt(dst.dc, 0, 0, 1, 1, src.dc, 0, 0, 2, 2, SRCPAINT));
    EXPECT_EQ(GetPixel(dst.dc, 0, 0), COLORREF(0x000f30));
}

TEST(StretchBlt, ClipsAndSkipsPixelsWithNoSource) {
    Surface src(2, 2), dst(4, 4);
    fill(src.dc, 2, 2, kWhite);
    fill(dst.dc, 4, 4, 0x123456);
    // A 4x4 source rectangle at (0,0) doubled onto (-2,-2): only dst 0..1 map inside the source
    // bitmap (src 1), and source 2..3 lie outside it, so dst 2..3 keep their pixels.
    EXPECT_TRUE(StretchBlt(dst.dc, -2, -2, 8, 8, src.dc, 0, 0, 4, 4, SRCCOPY));
    EXPECT_EQ(GetPixel(dst.dc, 0, 0), kWhite);
    EXPECT_EQ(GetPixel(dst.dc, 1, 1), kWhite);
    EXPECT_EQ(GetPixel(dst.dc, 2, 0), COLORREF(0x123456));
    EXPECT_EQ(GetPixel(dst.dc, 0, 2), COLORREF(0x123456));
    EXPECT_TRUE(StretchBlt(dst.dc, 0, 0, 2000000000, 3, src.dc, -7, 0, 1, 2000000000, SRCAND));
}

TEST(StretchBlt, CanvasOntoScreenSizedWindow) {
    // The per-tick stretch: a black column on the canvas stays visible after shrinking.
    Surface canvas(1440, 720), window(1024, 718);
    BitBlt(canvas.dc, 0, 0, 1440, 720, nullptr, 0, 0, WHITENESS);
    HPEN pen = CreatePen(PS_SOLID, 0, kBlack);
    HGDIOBJ old = SelectObject(canvas.dc, pen);
    vline(canvas.dc, 701, 0, 720);
    EXPECT_TRUE(StretchBlt(window.dc, 0, 0, 1024, 718, canvas.dc, 0, 0, 1440, 720, SRCCOPY));
    const int column = 499; // takes the source run 701..702 (floor(499*1440/1024) = 701)
    for (int y : {0, 359, 717}) {
        EXPECT_EQ(GetPixel(window.dc, column, y), kBlack) << "row " << y;
        EXPECT_EQ(GetPixel(window.dc, column - 1, y), kWhite) << "row " << y;
        EXPECT_EQ(GetPixel(window.dc, column + 1, y), kWhite) << "row " << y;
    }
    SelectObject(canvas.dc, old);
    DeleteObject(pen);
}

// --- Lines --------------------------------------------------------------------------------

TEST(Lines, EndPointLeftOutAndPositionMoves) {
    Surface s(8, 8);
    fill(s.dc, 8, 8, kWhite);
    POINT prev{};
    EXPECT_TRUE(MoveToEx(s.dc, 2, 1, nullptr));
    EXPECT_TRUE(LineTo(s.dc, 2, 5)); // default pen: black
    for (int y = 1; y < 5; ++y)
        EXPECT_EQ(GetPixel(s.dc, 2, y), kBlack) << "row " << y;
    EXPECT_EQ(GetPixel(s.dc, 2, 5), kWhite) << "end point";
    EXPECT_EQ(GetPixel(s.dc, 2, 0), kWhite);
    // The next line starts where the last one ended.
    EXPECT_TRUE(LineTo(s.dc, 6, 5));
    for (int x = 2; x < 6; ++x)
        EXPECT_EQ(GetPixel(s.dc, x, 5), kBlack) << "column " << x;
    EXPECT_EQ(GetPixel(s.dc, 6, 5), kWhite);
    EXPECT_TRUE(MoveToEx(s.dc, 0, 0, &prev));
    EXPECT_EQ(prev.x, 6);
    EXPECT_EQ(prev.y, 5);
}

TEST(Lines, DiagonalAndShallowLinesAreBresenham) {
    Surface s(8, 8);
    HPEN pen = CreatePen(PS_SOLID, 1, 0x00ff00);
    SelectObject(s.dc, pen);
    MoveToEx(s.dc, 0, 0, nullptr);
    LineTo(s.dc, 4, 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(GetPixel(s.dc, i, i), COLORREF(0x00ff00)) << i;
    EXPECT_EQ(GetPixel(s.dc, 4, 4), kBlack);
    // From (0,7) to (6,4): one pixel per column, y steps 0.5 per column, rounded.
    MoveToEx(s.dc, 0, 7, nullptr);
    LineTo(s.dc, 6, 4);
    int count = 0;
    for (int x = 0; x < 6; ++x)
        for (int y = 4; y < 8; ++y)
            count += GetPixel(s.dc, x, y) == 0x00ff00;
    EXPECT_EQ(count, 6);
    EXPECT_EQ(GetPixel(s.dc, 0, 7), COLORREF(0x00ff00));
    EXPECT_EQ(GetPixel(s.dc, 6, 4), kBlack);
    DeleteDC(s.dc);
    s.dc = CreateCompatibleDC(nullptr);
    EXPECT_TRUE(DeleteObject(pen));
}

TEST(Lines, FarOffLinesClipWithoutHanging) {
    Surface s(16, 4);
    MoveToEx(s.dc, -2000000000, 1, nullptr);
    BitBlt(s.dc, 0, 0, 16, 4, nullptr, 0, 0, WHITENESS);
    EXPECT_TRUE(LineTo(s.dc, 2000000000, 1));
    for (int x = 0; x < 16; ++x)
        EXPECT_EQ(GetPixel(s.dc, x, 1), kBlack) << "column " << x;
    EXPECT_EQ(GetPixel(s.dc, 0, 0), kWhite);
    EXPECT_TRUE(LineTo(s.dc, -2000000000, 2000000000));
    EXPECT_TRUE(LineTo(s.dc, 2000000000, -2000000000));
}

// Random lines, short and far-reaching, against the rounding Bresenham rule worked out
// point by point: step k of n along the major axis lies (2km + n) div 2n along the minor one.
TEST(Lines, EveryPointIsTheRoundedStepOfItsLine) {
    const int w = 61, h = 47;
    std::mt19937 rng(2024);
    std::uniform_int_distribution<int> inside(-8, 68), farOff(-2000000000, 2000000000);
    std::vector<COLORREF> want(size_t(w * h));
    for (int line = 0; line < 400; ++line) {
        Surface s(w, h);
        fill(s.dc, w, h, kWhite);
        std::fill(want.begin(), want.end(), kWhite);
        const bool far = line % 2 == 1, bothFar = line % 4 == 3;
        int64_t x0 = bothFar ? farOff(rng) : inside(rng), y0 = bothFar ? farOff(rng) : inside(rng);
        int64_t x1 = far ? farOff(rng) : inside(rng), y1 = far ? farOff(rng) : inside(rng);
        if (bothFar) { // through a point near the surface, so that it is crossed
            x1 = 2 * inside(rng) - x0;
            y1 = 2 * inside(rng) - y0;
            if (x1 < INT32_MIN || x1 > INT32_MAX || y1 < INT32_MIN || y1 > INT32_MAX) continue;
        }
        if (line % 8 == 4) y1 = y0; // straight lines, across and down
        if (line % 8 == 6) x1 = x0;
        const int64_t dx = x1 - x0, dy = y1 - y0;
        const bool xMajor = std::abs(dx) >= std::abs(dy);
        const int64_t n = std::max(std::abs(dx), std::abs(dy)),
                      m = std::min(std::abs(dx), std::abs(dy));
        const int64_t sMajor = (xMajor ? dx : dy) < 0 ? -1 : 1,
                      sMinor = (xMajor ? dy : dx) < 0 ? -1 : 1;
        for (int64_t u = 0; u < (xMajor ? w : h); ++u) {
            const int64_t k = (u - (xMajor ? x0 : y0)) * sMajor;
            if (k < 0 || k >= n) continue;
            const int64_t v = (xMajor ? y0 : x0) +
                              sMinor * int64_t((__int128{2} * k * m + n) / (__int128{2} * n));
            const int64_t x = xMajor ? u : v, y = xMajor ? v : u;
            if (x >= 0 && y >= 0 && x < w && y < h) want[size_t(y * w + x)] = kBlack;
        }
        MoveToEx(s.dc, int(x0), int(y0), nullptr);
        ASSERT_TRUE(LineTo(s.dc, int(x1), int(y1)));
        int wrong = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                wrong += GetPixel(s.dc, x, y) != want[size_t(y * w + x)];
        ASSERT_EQ(wrong, 0) << "line " << line << " from (" << x0 << "," << y0 << ") to (" << x1
                            << "," << y1 << ")";
    }
}

// --- Text ---------------------------------------------------------------------------------

// Bounds of the pixels of colour c: {minX, maxX, count}.
struct Ink {
    int minX = 1 << 30, maxX = -1, minY = 1 << 30, maxY = -1, count = 0;
};
Ink inkOf(HDC dc, int w, int h, COLORREF c) {
    Ink ink;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (GetPixel(dc, x, y) == c) {
                ink.minX = std::min(ink.minX, x);
                ink.maxX = std::max(ink.maxX, x);
                ink.minY = std::min(ink.minY, y);
                ink.maxY = std::max(ink.maxY, y);
                ++ink.count;
            }
    return ink;
}

TEST(Text, DegreeSignInTextColourOverTransparentBackground) {
    Surface s(40, 30);
    fill(s.dc, 40, 30, 0x404040);
    EXPECT_EQ(SetBkMode(s.dc, TRANSPARENT), OPAQUE);
    EXPECT_EQ(SetTextColor(s.dc, 0x00ff00), kBlack);
    const char degree[] = "\xb0";
    EXPECT_TRUE(TextOutA(s.dc, 10, 5, degree, 1));
    Ink ink = inkOf(s.dc, 40, 30, 0x00ff00);
    EXPECT_GT(ink.count, 3);
    EXPECT_GE(ink.minX, 10);
    EXPECT_LT(ink.maxX, 10 + 16);
    EXPECT_GE(ink.minY, 5) << "y is the top of the cell";
    EXPECT_LT(ink.maxY, 5 + 8) << "the degree sign sits in the upper half";
    EXPECT_EQ(ink.count + inkOf(s.dc, 40, 30, 0x404040).count, 40 * 30)
        << "transparent mode leaves every other pixel alone";
}

TEST(Text, OpaqueModeFillsCellWithWhite) {
    Surface s(40, 30);
    EXPECT_TRUE(TextOutA(s.dc, 4, 4, " ", 1));
    Ink white = inkOf(s.dc, 40, 30, kWhite);
    EXPECT_GT(white.count, 8 * 12);
    EXPECT_EQ(white.minX, 4);
    EXPECT_EQ(white.minY, 4);
}

TEST(Text, CharacterExtraWidensText) {
    Surface a(200, 20), b(200, 20);
    SetTextColor(a.dc, kWhite);
    SetTextColor(b.dc, kWhite);
    SetBkMode(a.dc, TRANSPARENT);
    SetBkMode(b.dc, TRANSPARENT);
    EXPECT_EQ(SetTextCharacterExtra(b.dc, 3), 0);
    EXPECT_EQ(SetTextCharacterExtra(b.dc, 2), 3);
    TextOutA(a.dc, 0, 0, "HHHH", 4);
    TextOutA(b.dc, 0, 0, "HHHH", 4);
    Ink ia = inkOf(a.dc, 200, 20, kWhite), ib = inkOf(b.dc, 200, 20, kWhite);
    EXPECT_EQ(ia.count, ib.count);
    EXPECT_EQ(ia.minX, ib.minX);
    EXPECT_EQ(ib.maxX - ia.maxX, 3 * 2) << "three gaps of two extra pixels";
}

TEST(Text, LengthLimitsTheTextAndUnknownBytesStillShow) {
    Surface s(100, 20);
    SetTextColor(s.dc, kWhite);
    SetBkMode(s.dc, TRANSPARENT);
    EXPECT_TRUE(TextOutA(s.dc, 0, 0, "II", 1));
    EXPECT_LT(inkOf(s.dc, 100, 20, kWhite).maxX, 8);
    EXPECT_TRUE(TextOutA(s.dc, 50, 0, "\x01", 1));
    EXPECT_GE(inkOf(s.dc, 100, 20, kWhite).maxX, 50) << "a control byte draws a box";
    EXPECT_FALSE(TextOutA(s.dc, 0, 0, nullptr, 3));
    EXPECT_FALSE(TextOutA(s.dc, 0, 0, "x", -1));
    EXPECT_TRUE(TextOutA(s.dc, -2000000000, 2000000000, "x", 1));
}

TEST(Text, StatusLineFitsOnA1024Screen) {
    Surface band(1024, 50);
    SetBkMode(band.dc, TRANSPARENT);
    SetTextCharacterExtra(band.dc, 1024 / 410);
    SetTextColor(band.dc, 0x00ff00);
    const std::string line = "05/03/2024 - 18:07       H=01/09/1445       A=11.56\xb0       "
                             "W=0.25'     45\xb0N/123\xb0W @ 18:07";
    EXPECT_TRUE(TextOutA(band.dc, 100, 20, line.c_str(), int(line.size())));
    Ink ink = inkOf(band.dc, 1024, 50, 0x00ff00);
    EXPECT_LT(ink.maxX, 1024 - 8) << "the longest status line leaves a margin";
    EXPECT_LT(ink.maxY, 50);
}

// --- Objects and handles ------------------------------------------------------------------

TEST(Objects, SelectReturnsPreviousOfSameKind) {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP a = CreateCompatibleBitmap(dc, 2, 2), b = CreateCompatibleBitmap(dc, 3, 3);
    HPEN p = CreatePen(PS_SOLID, 0, kWhite);
    HGDIOBJ defaultBitmap = SelectObject(dc, a);
    ASSERT_NE(defaultBitmap, nullptr);
    HGDIOBJ defaultPen = SelectObject(dc, p);
    ASSERT_NE(defaultPen, nullptr);
    EXPECT_EQ(SelectObject(dc, b), a);
    EXPECT_EQ(SelectObject(dc, defaultBitmap), b);
    EXPECT_EQ(SelectObject(dc, defaultPen), p);
    EXPECT_TRUE(DeleteObject(a));
    EXPECT_TRUE(DeleteObject(b));
    EXPECT_TRUE(DeleteObject(p));
    EXPECT_TRUE(DeleteDC(dc));
}

TEST(Objects, SelectedBitmapIsNotDeletedNorSharedBetweenDCs) {
    HDC dc = CreateCompatibleDC(nullptr), other = CreateCompatibleDC(nullptr);
    HBITMAP bm = CreateCompatibleBitmap(dc, 4, 4);
    SelectObject(dc, bm);
    EXPECT_FALSE(DeleteObject(bm));
    EXPECT_EQ(SelectObject(other, bm), nullptr);
    EXPECT_TRUE(SetPixelV(dc, 3, 3, kWhite)) << "still usable after the refused delete";
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_EQ(GetPixel(dc, 3, 3), CLR_INVALID);
    EXPECT_TRUE(DeleteObject(bm)) << "free once its DC is gone";
    EXPECT_TRUE(DeleteDC(other));
}

TEST(Objects, LiveCountReturnsToStart) {
    const int start = gdiLiveObjectCount();
    for (int round = 0; round < 3; ++round) {
        {
            Surface s(10, 10), t(5, 5);
            HPEN pen = CreatePen(PS_SOLID, 0, kWhite);
            SelectObject(s.dc, pen);
            EXPECT_EQ(gdiLiveObjectCount(), start + 5) << "round " << round;
            SelectObject(s.dc, s.original);
            BitBlt(s.dc, 0, 0, 10, 10, t.dc, 0, 0, SRCCOPY);
            EXPECT_FALSE(DeleteObject(pen)) << "a selected pen stays";
            DeleteDC(s.dc);
            s.dc = CreateCompatibleDC(nullptr);
            EXPECT_TRUE(DeleteObject(pen));
        }
        EXPECT_EQ(gdiLiveObjectCount(), start) << "round " << round;
    }
}

TEST(Objects, InvalidSizesAndStylesFail) {
    EXPECT_EQ(CreateCompatibleBitmap(nullptr, 0, 5), nullptr);
    EXPECT_EQ(CreateCompatibleBitmap(nullptr, 5, -1), nullptr);
    EXPECT_EQ(CreateCompatibleBitmap(nullptr, 1000000, 1000000), nullptr);
    EXPECT_EQ(gdiCreateBitmap(0, 0), nullptr);
    EXPECT_EQ(CreatePen(7, 0, kWhite), nullptr);
}

TEST(Handles, BogusAndStaleHandlesFailEverywhere) {
    const int start = gdiLiveObjectCount();
    HDC deadDC = CreateCompatibleDC(nullptr);
    HBITMAP deadBitmap = CreateCompatibleBitmap(deadDC, 2, 2);
    HPEN deadPen = CreatePen(PS_SOLID, 0, kWhite);
    DeleteDC(deadDC);
    DeleteObject(deadBitmap);
    DeleteObject(deadPen);
    HPEN livePen = CreatePen(PS_SOLID, 0, kWhite);
    HDC liveDC = CreateCompatibleDC(nullptr);

    const uintptr_t made[] = {1, 0x1234, uintptr_t(-1), 0xdeadbeef};
    for (uintptr_t v : made) {
        SCOPED_TRACE(v);
        HDC dc = reinterpret_cast<HDC>(v);
        HGDIOBJ obj = reinterpret_cast<HGDIOBJ>(v);
        EXPECT_EQ(CreateCompatibleDC(dc), nullptr);
        EXPECT_EQ(CreateCompatibleBitmap(dc, 4, 4), nullptr);
        EXPECT_EQ(SelectObject(dc, livePen), nullptr);
        EXPECT_EQ(SelectObject(liveDC, obj), nullptr);
        EXPECT_FALSE(DeleteDC(dc));
        EXPECT_FALSE(DeleteObject(obj));
    }
    // Every drawing call with a made-up, a stale and a wrong-kind handle.
    const HDC badDCs[] = {reinterpret_cast<HDC>(0x1234), deadDC, reinterpret_cast<HDC>(livePen),
                          nullptr};
    for (HDC dc : badDCs) {
        SCOPED_TRACE(reinterpret_cast<uintptr_t>(dc));
        POINT pt{};
        PixelBuffer pb{};
        EXPECT_FALSE(SetPixelV(dc, 0, 0, kWhite));
        EXPECT_EQ(GetPixel(dc, 0, 0), CLR_INVALID);
        EXPECT_FALSE(BitBlt(dc, 0, 0, 1, 1, liveDC, 0, 0, SRCCOPY));
        EXPECT_FALSE(BitBlt(liveDC, 0, 0, 1, 1, dc, 0, 0, SRCCOPY));
        EXPECT_FALSE(BitBlt(dc, 0, 0, 1, 1, nullptr, 0, 0, DSTINVERT));
        EXPECT_FALSE(StretchBlt(dc, 0, 0, 2, 2, liveDC, 0, 0, 1, 1, SRCCOPY));
        EXPECT_FALSE(StretchBlt(liveDC, 0, 0, 2, 2, dc, 0, 0, 1, 1, SRCAND));
        EXPECT_FALSE(MoveToEx(dc, 0, 0, &pt));
        EXPECT_FALSE(LineTo(dc, 1, 1));
        EXPECT_EQ(SetBkMode(dc, TRANSPARENT), 0);
        EXPECT_EQ(SetTextColor(dc, kWhite), CLR_INVALID);
        EXPECT_EQ(SetTextCharacterExtra(dc, 2), int(0x80000000u));
        EXPECT_FALSE(TextOutA(dc, 0, 0, "a", 1));
        EXPECT_FALSE(DeleteDC(dc));
        EXPECT_FALSE(gdiDCPixels(dc, &pb));
        EXPECT_EQ(SelectObject(dc, livePen), nullptr);
    }
    PixelBuffer pb{};
    EXPECT_EQ(SelectObject(liveDC, deadBitmap), nullptr);
    EXPECT_EQ(SelectObject(liveDC, deadPen), nullptr);
    EXPECT_EQ(SelectObject(liveDC, reinterpret_cast<HGDIOBJ>(liveDC)), nullptr);
    EXPECT_FALSE(DeleteObject(deadBitmap));
    EXPECT_FALSE(DeleteObject(deadPen));
    EXPECT_FALSE(DeleteObject(reinterpret_cast<HGDIOBJ>(liveDC))) << "a DC is not an object";
    EXPECT_FALSE(DeleteDC(reinterpret_cast<HDC>(livePen))) << "a pen is not a DC";
    EXPECT_FALSE(gdiBitmapPixels(deadBitmap, &pb));
    EXPECT_FALSE(gdiBitmapPixels(reinterpret_cast<HBITMAP>(liveDC), &pb));
    EXPECT_EQ(gdiCreateDCForBitmap(deadBitmap), nullptr);
    EXPECT_EQ(gdiCreateDCForBitmap(reinterpret_cast<HBITMAP>(0x1234)), nullptr);

    EXPECT_TRUE(DeleteDC(liveDC));
    EXPECT_TRUE(DeleteObject(livePen));
    EXPECT_EQ(gdiLiveObjectCount(), start);
}

// --- Backend contract ---------------------------------------------------------------------

TEST(Backend, DCForBitmapDrawsIntoItAndReleasesOnlyTheDC) {
    const int start = gdiLiveObjectCount();
    HBITMAP bm = gdiCreateBitmap(3, 2);
    ASSERT_NE(bm, nullptr);
    PixelBuffer pb{};
    ASSERT_TRUE(gdiBitmapPixels(bm, &pb));
    EXPECT_EQ(pb.width, 3);
    EXPECT_EQ(pb.height, 2);
    EXPECT_EQ(pb.pixels[5], 0u);
    HDC dc = gdiCreateDCForBitmap(bm);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(gdiCreateDCForBitmap(bm), nullptr) << "a bitmap is in one DC at a time";
    SetPixelV(dc, 2, 1, RGB(1, 2, 3));
    EXPECT_EQ(pb.pixels[5], 0x010203u);
    PixelBuffer viaDC{};
    ASSERT_TRUE(gdiDCPixels(dc, &viaDC));
    EXPECT_EQ(viaDC.pixels, pb.pixels);
    EXPECT_FALSE(DeleteObject(bm));
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_TRUE(gdiBitmapPixels(bm, &pb)) << "the bitmap outlives its DC";
    EXPECT_TRUE(DeleteObject(bm));
    EXPECT_EQ(gdiLiveObjectCount(), start);
}

// --- Deferred fills ---------------------------------------------------------------------

// A random mix of every drawing operation on two surfaces and a small one, overlapping, clipped
// and whole; returns the pixels of all three (read both by GetPixel and by the backend's view).
std::vector<uint32_t> drawAtRandom(unsigned seed, bool deferred) {
    gdiSetDeferredFills(deferred);
    Dice pick(seed);
    constexpr int W = 37, H = 23;
    const DWORD fills[] = {WHITENESS, BLACKNESS, DSTINVERT};
    const DWORD merges[] = {SRCCOPY, SRCPAINT, SRCAND};
    HPEN pens[] = {CreatePen(PS_SOLID, 0, 0x0000ff), CreatePen(PS_SOLID, 0, 0x00ff00)};
    std::vector<uint32_t> seen;
    { // the surfaces go, releasing the pens, before the pens are deleted
        Surface a(W, H), b(W, H), small(9, 7);
        HDC dcs[] = {a.dc, b.dc, small.dc};
        for (int step = 0; step < 400; ++step) {
            HDC d = dcs[pick(0, 2)], s = dcs[pick(0, 2)];
            const bool whole = pick(0, 2) > 0;
            const int x = whole ? 0 : pick(-10, W), y = whole ? 0 : pick(-10, H);
            const int w = whole ? W : pick(0, W), h = whole ? H : pick(0, H);
            switch (pick(0, 6)) {
            case 0:
            case 1:
                BitBlt(d, x, y, w, h, nullptr, 0, 0, fills[pick(0, 2)]);
                break;
            case 2:
                BitBlt(d, x, y, w, h, s, whole ? 0 : pick(-5, 10), whole ? 0 : pick(-5, 10),
                       merges[pick(0, 2)]);
                break;
            case 3:
                StretchBlt(d, x, y, w, h, s, pick(-3, 5), pick(-3, 5), pick(1, W), pick(1, H),
                           merges[pick(0, 2)]);
                break;
            case 4:
                SelectObject(d, pens[pick(0, 1)]);
                MoveToEx(d, pick(-20, W + 20), pick(-20, H + 20), nullptr);
                LineTo(d, pick(-20, W + 20), pick(-20, H + 20));
                break;
            case 5:
                SetPixelV(d, pick(-1, W), pick(-1, H), pick.colour());
                break;
            case 6:
                seen.push_back(GetPixel(d, pick(-1, W), pick(-1, H)));
                break;
            }
        }
        for (HDC d : dcs) {
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x)
                    seen.push_back(GetPixel(d, x, y));
            PixelBuffer view;
            if (gdiDCPixels(d, &view))
                seen.insert(seen.end(), view.pixels,
                            view.pixels + size_t(view.width) * view.height);
        }
    }
    for (HPEN p : pens)
        EXPECT_TRUE(DeleteObject(p));
    gdiSetDeferredFills(true);
    return seen;
}

TEST(DeferredFills, RandomDrawingGivesTheSamePixelsAsPlainFills) {
    for (unsigned seed = 1; seed <= 300; ++seed) {
        const std::vector<uint32_t> plain = drawAtRandom(seed, false);
        const std::vector<uint32_t> deferred = drawAtRandom(seed, true);
        ASSERT_EQ(plain.size(), deferred.size()) << "seed " << seed;
        auto diff = std::mismatch(plain.begin(), plain.end(), deferred.begin());
        ASSERT_TRUE(diff.first == plain.end())
            << "seed " << seed << ": value " << (diff.first - plain.begin()) << " is 0x" << std::hex
            << *diff.first << " with plain fills, 0x" << *diff.second << " deferred";
    }
}

TEST(DeferredFills, OverlayTurnoverStaysExactOverManyTicks) {
    // The animation's own sequence, with a zone that moves and changes height every tick.
    for (bool cumulative : {false, true}) {
        std::vector<uint32_t> results[2];
        for (bool deferred : {false, true}) {
            gdiSetDeferredFills(deferred);
            MergeRig rig(cumulative);
            for (int t = 0; t < 12; ++t) {
                BitBlt(rig.overlay.dc, 0, 0, 3, 4, nullptr, 0, 0, DSTINVERT);
                BitBlt(rig.canvas.dc, 0, 0, 3, 4, rig.overlay.dc, 0, 0,
                       cumulative ? SRCPAINT : SRCAND);
                BitBlt(rig.overlay.dc, 0, 0, 3, 4, nullptr, 0, 0,
                       cumulative ? WHITENESS : BLACKNESS);
                vline(rig.overlay.dc, t % 3, t % 4, 4);
                BitBlt(rig.canvas.dc, 0, 0, 3, 4, rig.overlay.dc, 0, 0,
                       cumulative ? SRCAND : SRCPAINT);
                for (int y = 0; y < 4; ++y)
                    for (int x = 0; x < 3; ++x)
                        results[deferred].push_back(GetPixel(rig.canvas.dc, x, y));
            }
        }
        gdiSetDeferredFills(true);
        EXPECT_EQ(results[0], results[1]) << (cumulative ? "cumulative" : "single zone");
    }
}

// A source, a second source and a destination for the repeated stretch tests.
struct StretchRig {
    Surface src, other, dst;
    StretchRig(int sw, int sh, int dw, int dh) : src(sw, sh), other(sw, sh), dst(dw, dh) {}
};
struct Box {
    int x, y, w, h;
};
struct Extent {
    int w, h;
};

// For each seed: `setup`, then `steps` random changes by `change(pick, rig, step)`, each followed
// by the same SRCCOPY stretch of `from` in the source to `to` in the destination; the result
// (source and target give the surfaces' sizes) must equal that stretch done afresh onto a copy
// of the destination.
template <class Setup, class Change>
void checkRepeatedStretch(unsigned seeds, int steps, Extent source, Extent target, Box from, Box to,
                          COLORREF penColour, Setup setup, Change change) {
    for (unsigned seed = 1; seed <= seeds; ++seed) {
        Dice pick(seed);
        HPEN pen = CreatePen(PS_SOLID, 0, penColour);
        {
            StretchRig rig(source.w, source.h, target.w, target.h);
            setup(pick, rig);
            SelectObject(rig.src.dc, pen);
            const int DW = target.w, DH = target.h;
            for (int step = 0; step < steps; ++step) {
                change(pick, rig, step);
                if (::testing::Test::HasFatalFailure()) return;
                Surface expect(DW, DH);
                BitBlt(expect.dc, 0, 0, DW, DH, rig.dst.dc, 0, 0, SRCCOPY);
                StretchBlt(expect.dc, to.x, to.y, to.w, to.h, rig.src.dc, from.x, from.y, from.w,
                           from.h, SRCCOPY);
                StretchBlt(rig.dst.dc, to.x, to.y, to.w, to.h, rig.src.dc, from.x, from.y, from.w,
                           from.h, SRCCOPY);
                for (int py = 0; py < DH; ++py)
                    for (int px = 0; px < DW; ++px)
                        ASSERT_EQ(GetPixel(rig.dst.dc, px, py), GetPixel(expect.dc, px, py))
                            << "seed " << seed << " step " << step << " pixel " << px << "," << py;
            }
        }
        EXPECT_TRUE(DeleteObject(pen));
    }
}

// Surfaces larger than the log's small-change merging: a whole-surface write followed by
// small writes inside it, each repeat of the stretch compared with one done afresh.
TEST(RepeatedStretch, SmallChangesInsideAWholeSurfaceWriteAreRedone) {
    constexpr int SW = 360, SH = 180, DW = 257, DH = 301;
    checkRepeatedStretch(
        8, 40, Extent{SW, SH}, Extent{DW, DH}, Box{0, 0, SW, SH}, Box{0, 0, DW, DH}, 0x0000ff,
        [](Dice &pick, StretchRig &rig) {
            for (int i = 0; i < 500; ++i)
                SetPixelV(rig.other.dc, pick(0, SW - 1), pick(0, SH - 1), pick.colour());
        },
        [](Dice &pick, StretchRig &rig, int step) {
            const int x = pick(0, SW - 1), y = pick(0, SH - 1);
            switch (step % 8 == 0 ? 0 : pick(1, 4)) {
            case 0: // the whole source at once, as a lunation's first map does
                BitBlt(rig.src.dc, 0, 0, SW, SH, rig.other.dc, pick(0, 3), pick(0, 3), SRCCOPY);
                break;
            case 1:
                SetPixelV(rig.src.dc, x, y, pick.colour());
                break;
            case 2:
                MoveToEx(rig.src.dc, x, y, nullptr);
                LineTo(rig.src.dc, x + pick(-9, 9), y + pick(-30, 30));
                break;
            case 3:
                BitBlt(rig.src.dc, x, y, pick(1, 12), pick(1, 12), rig.other.dc, x, y,
                       pick(0, 1) ? SRCPAINT : SRCAND);
                break;
            default:
                BitBlt(rig.dst.dc, pick(0, DW - 1), pick(0, DH - 1), 9, 9, nullptr, 0, 0,
                       WHITENESS);
                break;
            }
        });
}

// The same SRCCOPY stretch repeated while the source and the destination change between the
// repeats: each result equals a stretch done afresh into a new surface.
TEST(RepeatedStretch, RedoesExactlyWhatChanged) {
    constexpr int SW = 61, SH = 37, DW = 45, DH = 50;
    checkRepeatedStretch(
        60, 60, Extent{SW, SH}, Extent{DW, DH}, Box{2, 1, SW - 3, SH - 1}, Box{0, 4, DW, DH - 6},
        0x00ff00,
        [](Dice &pick, StretchRig &rig) {
            for (int i = 0; i < 200; ++i)
                SetPixelV(rig.src.dc, pick(0, SW - 1), pick(0, SH - 1), pick.colour());
        },
        [](Dice &pick, StretchRig &rig, int) {
            const int x = pick(-5, SW), y = pick(-5, SH), w = pick(0, 20), h = pick(0, 20);
            switch (pick(0, 7)) {
            case 0:
                SetPixelV(rig.src.dc, x, y, pick.colour());
                break;
            case 1:
                MoveToEx(rig.src.dc, x, y, nullptr);
                LineTo(rig.src.dc, pick(-5, SW), pick(-5, SH));
                break;
            case 2:
                BitBlt(rig.src.dc, x, y, w, h, rig.other.dc, pick(0, 9), pick(0, 9),
                       pick(0, 1) ? SRCPAINT : SRCAND);
                break;
            case 3:
                BitBlt(rig.src.dc, 0, 0, SW, SH, nullptr, 0, 0, pick(0, 1) ? WHITENESS : DSTINVERT);
                break;
            case 4: {
                PixelBuffer px; // written directly, as a backend may
                ASSERT_TRUE(gdiDCPixels(rig.src.dc, &px));
                px.pixels[size_t(pick(0, SH - 1)) * SW + size_t(pick(0, SW - 1))] ^= 0x10;
                break;
            }
            case 5:
                BitBlt(rig.dst.dc, pick(-5, DW), pick(-5, DH), w, h, nullptr, 0, 0, BLACKNESS);
                break;
            case 6: // another stretch into the destination, which the next one must undo
                StretchBlt(rig.dst.dc, 0, 0, DW, DH, rig.other.dc, 0, 0, 7, 5, SRCCOPY);
                break;
            default:
                SetPixelV(rig.other.dc, pick(0, SW - 1), pick(0, SH - 1), pick.colour());
                break;
            }
        });
}

} // namespace
