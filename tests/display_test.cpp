// Tests of the display on the headless backend: map expansion, the zone merging, texts, the window
// procedure.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "display/display.h"
#include "shell/entry.h"
#include "shell/platform/window.h"
#include "shell/settings.h"

namespace {

class Display : public ::testing::Test {
  protected:
    void SetUp() override {
        platformSetInstallSignalHandlers(false);
        platformInitHeadless(320, 240);
        ephemerisState = EphemerisState{};
        saverSettings = SaverSettings{1, 50, 0, 33, 33, 1, 0};
        animationState = AnimationState{};
        visiblePointText[0] = '\0';
        saverMode = FullScreen;
        clientRect = RECT{0, 0, 320, 240};
        paintSurface = CreateCompatibleDC(nullptr);
        dateLinePen = CreatePen(PS_SOLID, 0, 0xff0000);
        cumulativeZonePen = CreatePen(PS_SOLID, 0, 0x0000ff);
        singleZonePen = CreatePen(PS_SOLID, 0, 0x00ff00);
    }
    void TearDown() override { platformShutdown(); }

    // A map of 800 x 400 whose stored rows are all zero but the first byte of the first row.
    std::vector<unsigned char> syntheticMap(unsigned char firstByte) {
        std::vector<unsigned char> data(48 + 40000, 0);
        BITMAPINFOHEADER h{};
        h.biSize = 40, h.biWidth = 800, h.biHeight = 400, h.biPlanes = 1, h.biBitCount = 1;
        h.biSizeImage = 40000, h.biClrUsed = 2;
        std::memcpy(data.data(), &h, sizeof h);
        data[48] = firstByte;
        return data;
    }
    void buildWith(const std::vector<unsigned char> &map, int offset) {
        earthBitmapData = map.data();
        createLunationSurfaces();
        animationState.scan.mapColumnOffset = offset;
        buildMapCanvas();
    }
};

TEST_F(Display, MapExpansionAndShift) {
    struct Case {
        int offset, firstLandX;
    } cases[] = {{0, 0}, {720, 400}, {1439, 799}};
    const std::vector<unsigned char> map = syntheticMap(0x80);
    for (const Case &c : cases) {
        buildWith(map, c.offset);
        SCOPED_TRACE(testing::Message() << "offset " << c.offset);
        // The first stored row is the bottom one: byte 0x80 gives one land pixel, seven sea.
        EXPECT_EQ(GetPixel(earthSurface, c.firstLandX, 399), 0xff00ffu);
        for (int j = 1; j < 8; ++j)
            EXPECT_EQ(GetPixel(earthSurface, (c.firstLandX + j) % 800, 399), 0x800080u) << j;
        EXPECT_EQ(GetPixel(earthSurface, c.firstLandX, 398), 0x800080u);
        // The date line stands at the offset column on the canvas.
        EXPECT_EQ(GetPixel(MapCanvas, c.offset, 0), 0xff0000u);
        EXPECT_EQ(GetPixel(MapCanvas, c.offset, 719), 0xff0000u);
        EXPECT_NE(GetPixel(MapCanvas, (c.offset + 2) % 1440, 360), 0xff0000u);
        releaseLunationSurfaces();
    }
}

TEST_F(Display, ZoneMergingSingleAndCumulative) {
    // Land everywhere on the first stored byte's row; sea elsewhere.
    const std::vector<unsigned char> map = syntheticMap(0xff);
    struct Case {
        int cumulative;
        COLORREF landNow, landNext, seaNow, seaNext;
    } cases[] = {
        {0, 0xffffff, 0xff00ff, 0x80ff80, 0x800080},
        {1, 0x0000ff, 0xffffff, 0x000080, 0xffff80}, // colour values 0x00BBGGRR: red, dark red
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "cumulative " << c.cumulative);
        saverSettings.cumulative = c.cumulative;
        buildWith(map, 0);
        // The bottom canvas rows are land (from the first stored row), the middle rows sea.
        const int landY = 719, seaY = 360, x = 5;
        ASSERT_EQ(GetPixel(MapCanvas, x, landY), 0xff00ffu);
        ASSERT_EQ(GetPixel(MapCanvas, x, seaY), 0x800080u);
        prepareFrame(); // a fresh overlay turned over leaves the canvas as it was
        EXPECT_EQ(GetPixel(MapCanvas, x, landY), 0xff00ffu);
        selectZonePen();
        MoveToEx(overlaySurface, x, 0, nullptr);
        LineTo(overlaySurface, x, 720);
        presentFrame();
        EXPECT_EQ(GetPixel(MapCanvas, x, landY), c.landNow);
        EXPECT_EQ(GetPixel(MapCanvas, x, seaY), c.seaNow);
        EXPECT_EQ(GetPixel(MapCanvas, x + 1, seaY), 0x800080u) << "beside the line";
        releaseTextBand();
        prepareFrame(); // next tick, no zone there
        presentFrame();
        EXPECT_EQ(GetPixel(MapCanvas, x, landY), c.landNext);
        EXPECT_EQ(GetPixel(MapCanvas, x, seaY), c.seaNext);
        releaseTextBand();
        releaseLunationSurfaces();
    }
}

TEST_F(Display, StatusLineAndVisiblePlace) {
    ephemerisState.day = 5, ephemerisState.month = 3, ephemerisState.year = 2024;
    ephemerisState.simMinute = 1087, ephemerisState.hijriMonth = 9, ephemerisState.hijriYear = 1445;
    ephemerisState.elongation = 0.0321f, ephemerisState.crescentWidth = 0.25f;
    formatStatusText();
    EXPECT_STREQ(statusText,
                 "05/03/2024 - 18:07       H=01/09/1445       A=11.56\xB0       W=0.25'");
    ephemerisState.latitude = float(-0.3 * 0.017453292519943295);
    ephemerisState.longitudeMinutes = -1, ephemerisState.simMinute = 1125;
    formatVisiblePointText();
    EXPECT_STREQ(visiblePointText, "     00\xB0S/000\xB0W @ 18:45");
    ephemerisState.latitude = float(51.5 * 0.017453292519943295);
    ephemerisState.longitudeMinutes = 719.9f, ephemerisState.simMinute = 0;
    formatVisiblePointText();
    EXPECT_STREQ(visiblePointText, "     51\xB0N/179\xB0"
                                   "E @ 00:00");
    // Odd values are cut to the buffer, never written past it.
    ephemerisState.hijriYear = -32768, ephemerisState.crescentWidth = 3e38f;
    std::strcpy(visiblePointText, "     89\xB0S/180\xB0W @ 23:59");
    formatStatusText();
    EXPECT_LT(std::strlen(statusText), sizeof statusText);
}

TEST_F(Display, ColumnLongitudeIsRoundedOnce) {
    // 11.3500071 - 28 - 720 = -736.6499929 minutes, nearest float -736.649963; rounding the
    // partial difference first gives -736.650024.
    animationState.searchColumn = 11.3500071f;
    animationState.scan.mapColumnOffset = 28;
    setColumn();
    EXPECT_EQ(ephemerisState.longitudeMinutes, -736.649963f);
    animationState.searchColumn = 14.0500174f;
    animationState.scan.mapColumnOffset = 35;
    setColumn();
    EXPECT_EQ(ephemerisState.longitudeMinutes, -740.950012f);
}

TEST_F(Display, CharacterSpacingFollowsTheScreenWidth) {
    const std::vector<unsigned char> map = syntheticMap(0);
    struct Case {
        int width, extra;
    } cases[] = {{1024, 2}, {800, 1}, {409, 0}};
    for (const Case &c : cases) {
        clientRect.right = c.width;
        buildWith(map, 0);
        prepareFrame();
        EXPECT_EQ(SetTextCharacterExtra(textBand, 0), c.extra) << c.width;
        releaseTextBand();
        releaseLunationSurfaces();
    }
}

TEST(ZoneOffset, DaylightSavingOnlyWhileInEffect) {
    const char *saved = std::getenv("TZ");
    const std::string previous = saved ? saved : "";
    struct Case {
        const char *tz;
        int64_t when;
        int minutes;
    } cases[] = {
        {"CET-1CEST,M3.5.0,M10.5.0/3", 1768478400, 60},  // 15 January 2026, winter
        {"CET-1CEST,M3.5.0,M10.5.0/3", 1784116800, 120}, // 15 July 2026, summer
        {"EST5EDT,M3.2.0,M11.1.0", 1768478400, -300},
        {"EST5EDT,M3.2.0,M11.1.0", 1784116800, -240},
        {"IST-5:30", 1768478400, 330},
        {"UTC0", 1784116800, 0},
    };
    for (const Case &c : cases) {
        setenv("TZ", c.tz, 1);
        tzset();
        EXPECT_EQ(localZoneOffsetAt(c.when), c.minutes) << c.tz << " at " << c.when;
    }
    if (saved)
        setenv("TZ", previous.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

TEST(ZoneOffset, AChangedZoneIsReadAgain) {
    const char *saved = std::getenv("TZ");
    const std::string previous = saved ? saved : "";
    setenv("TZ", "UTC0", 1);
    tzset();
    EXPECT_EQ(localZoneOffsetAt(1768478400), 0);
    // The zone changes under a running saver; nobody calls tzset for it.
    setenv("TZ", "IST-5:30", 1);
    EXPECT_EQ(localZoneOffsetAt(1768478400), 330) << "the old zone was kept";
    setenv("TZ", "EST5EDT,M3.2.0,M11.1.0", 1);
    EXPECT_EQ(localZoneOffsetAt(1784116800), -240);
    if (saved)
        setenv("TZ", previous.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

// --- The window procedure --------------------------------------------------------------------

class WindowProc : public Display {
  protected:
    HWND window = nullptr;
    void SetUp() override {
        Display::SetUp();
        ASSERT_TRUE(registerSaverClass(nullptr));
        window = CreateWindowExA(WS_EX_TOPMOST, "TELVOR", "TELVOR", WS_POPUP, 0, 0, 320, 240,
                                 nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(window);
        startCursorPos = POINT{100, 100};
    }
    // Whether the procedure posted the quit message: it comes before any timer.
    bool quitPosted() {
        SetTimer(window, 1, 10, nullptr);
        MSG msg{};
        const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        KillTimer(window, 1);
        return got == 0;
    }
    bool moveTo(int x, int y, WPARAM keys = 0) {
        headlessSetCursorPos(x, y);
        saverWindowProc(window, WM_MOUSEMOVE, keys, 0);
        return quitPosted();
    }
};

TEST_F(WindowProc, SmallMovementsKeepRunning) {
    EXPECT_FALSE(moveTo(104, 104));
    EXPECT_FALSE(moveTo(96, 96));
    EXPECT_FALSE(moveTo(100, 100));
}

TEST_F(WindowProc, FivePixelsOnEitherAxisEnd) {
    EXPECT_TRUE(moveTo(105, 100));
    SetUp();
    EXPECT_TRUE(moveTo(100, 95));
}

TEST_F(WindowProc, AButtonOrModifierHeldKeepsRunning) {
    for (WPARAM keys : {WPARAM(MK_LBUTTON), WPARAM(MK_RBUTTON), WPARAM(MK_MBUTTON),
                        WPARAM(MK_SHIFT), WPARAM(MK_CONTROL)})
        EXPECT_FALSE(moveTo(110, 110, keys)) << "keys " << keys;
}

TEST_F(WindowProc, InputAndClosingEnd) {
    for (UINT message : {UINT(WM_KEYDOWN), UINT(WM_LBUTTONDOWN), UINT(WM_RBUTTONDOWN),
                         UINT(WM_MBUTTONDOWN), UINT(WM_CLOSE), UINT(WM_QUERYENDSESSION)}) {
        EXPECT_EQ(saverWindowProc(window, message, 0, 0), 1) << message;
        EXPECT_TRUE(quitPosted()) << message;
    }
    EXPECT_EQ(saverWindowProc(window, WM_ACTIVATE, 0, 0), 1);
    EXPECT_TRUE(quitPosted());
    saverWindowProc(window, WM_ACTIVATE, 1, 0); // activation is passed on
    EXPECT_FALSE(quitPosted());
    saverWindowProc(window, WM_ACTIVATE, 0x10000, 0); // only the low word counts
    EXPECT_TRUE(quitPosted());
}

TEST_F(WindowProc, SettingsChangedReloadsWithoutRestarting) {
    const std::string dir = testing::TempDir() + "telvor_display_" + std::to_string(getpid());
    std::filesystem::create_directories(dir + "/telvor");
    setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    formSettingsPath();
    std::ofstream(dir + "/telvor/telvor.ini")
        << "[TELVOR]\r\nToday=0\r\nStart Date=07/03/2021\r\nProbability=70\r\nSpeed=50\r\n";
    animationState.tickCount = 123;
    dayOfYearCounter = 77;
    EXPECT_EQ(saverWindowProc(window, WM_COMMAND, 0, 0), 0);
    EXPECT_EQ(saverSettings.probability, 70);
    EXPECT_EQ(saverSettings.speed, 50);
    EXPECT_EQ(ephemerisState.day, 7);
    EXPECT_EQ(ephemerisState.month, 3);
    EXPECT_EQ(ephemerisState.year, 2021);
    EXPECT_EQ(animationState.tickCount, 123);
    EXPECT_EQ(dayOfYearCounter, 77);
    EXPECT_FALSE(quitPosted());
    std::filesystem::remove_all(dir);
}

} // namespace
