// Tests of the saver's entry: the command line, start-up in each mode and the exit codes.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "shell/entry.h"
#include "shell/platform/window.h"
#include "shell/settings.h"

namespace {

HWND handle(intptr_t value) {
    return reinterpret_cast<HWND>(value);
}

int paintedFrames = 0;
void keyAfterFifty(HWND, const PixelBuffer &) {
    if (++paintedFrames == 50) headlessInjectInput(WM_KEYDOWN, 'A', 0);
}

TEST(SaverCommandLine, Switches) {
    struct Case {
        const char *text;
        int exitNow, mode;
        intptr_t window;
        int configure;
    } cases[] = {
        {"/s", 0, FullScreen, 0, 0},        {"/S", 0, FullScreen, 0, 0},
        {"-s", 0, FullScreen, 0, 0},        {"-S", 0, FullScreen, 0, 0},
        {"/p 1234", 0, Preview, 1234, 0},   {"/P1234", 0, Preview, 1234, 0},
        {"/p", 0, Preview, 0, 0},           {"/p  -12x", 0, Preview, -12, 0},
        {"/c 1234", 0, Configure, 1234, 1}, {"/c:1234", 0, Configure, 0, 1},
        {"/c", 0, Configure, 0, 1},         {"-C 99", 0, Configure, 99, 1},
        {"/a", 1, Configure, 0, 0},         {"/A 5", 1, Configure, 0, 0},
        {"", 0, Configure, 0, 0},           {"s", 0, Configure, 0, 0},
        {"/x", 0, Configure, 0, 0},         {"/", 0, Configure, 0, 0},
    };
    for (const auto &c : cases) {
        const SaverCommand command = parseSaverCommand(c.text);
        EXPECT_EQ(command.exitNow, c.exitNow) << '"' << c.text << '"';
        EXPECT_EQ(command.mode, c.mode) << '"' << c.text << '"';
        EXPECT_EQ(command.window, handle(c.window)) << '"' << c.text << '"';
        EXPECT_EQ(command.configureSwitch, c.configure) << '"' << c.text << '"';
    }
    EXPECT_EQ(parseSaverCommand(nullptr).mode, Configure);
}

TEST(SaverCommandLine, RandomTextNeverCrashes) {
    std::mt19937 random(20261208);
    const std::string alphabet = "-/aAcCpPsSx:0123456789 \t+-\xB0\xff";
    for (int i = 0; i < 20000; ++i) {
        std::string text;
        const int length = random() % 24;
        for (int j = 0; j < length; ++j)
            text += alphabet[random() % alphabet.size()];
        const SaverCommand command = parseSaverCommand(text.c_str());
        ASSERT_TRUE(command.mode >= Configure && command.mode <= FullScreen) << text;
    }
}

class Entry : public ::testing::Test {
  protected:
    void SetUp() override {
        platformSetInstallSignalHandlers(false);
        platformInitHeadless(320, 240);
        setenv("XDG_CONFIG_HOME", (testing::TempDir() + "telvor_entry_none").c_str(), 1);
        saverMode = Configure;
        saverWindow = targetWindow = nullptr;
        animationState = AnimationState{};
    }
    void TearDown() override { platformShutdown(); }
};

TEST_F(Entry, AboutSwitchExitsAtOnce) {
    EXPECT_EQ(saverMain(nullptr, "/a"), 0);
}

TEST_F(Entry, PreviewWithoutAWindowRunsOneTickThenEnds) {
    // The first tick runs; the loop then drops the next message (timer 1) and returns its wParam.
    EXPECT_EQ(saverMain(nullptr, "/p"), 1);
    EXPECT_EQ(animationState.tickCount, 1);
}

TEST_F(Entry, SecondPreviewWhileASaverRunsExitsAtOnce) {
    ASSERT_TRUE(registerSaverClass(nullptr));
    ASSERT_TRUE(CreateWindowExA(0, "TELVOR", "TELVOR", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                nullptr, nullptr));
    EXPECT_EQ(saverMain(nullptr, "/p 1234"), 0);
    EXPECT_EQ(animationState.tickCount, 0);
}

TEST_F(Entry, FullScreenRunsUntilInput) {
    // Input arrives after some ticks: the saver ends with code 0 after drawing its picture.
    ASSERT_TRUE(headlessInjectInput(WM_KEYDOWN, 0, 0) == false); // no window yet
    paintedFrames = 0;
    platformSetPaintHook(keyAfterFifty);
    EXPECT_EQ(saverMain(nullptr, "/s"), 0);
    EXPECT_EQ(paintedFrames, 50);
    EXPECT_GE(animationState.tickCount, 50);
    EXPECT_EQ(clientRect.right, 320);
    EXPECT_EQ(clientRect.bottom, 240);
    platformSetPaintHook(nullptr);
}

TEST_F(Entry, ConfigureSavesAllKeysAndExitsOne) {
    const std::string dir = testing::TempDir() + "telvor_entry_" + std::to_string(getpid());
    setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    unsetenv("DISPLAY"); // no dialog can open: the settings are saved as loaded
    EXPECT_EQ(saverMain(nullptr, "/c"), 1);
    char text[99];
    formSettingsPath();
    for (const char *key : {"Today", "Start Date", "Probability", "Height", "Speed", "Dwell",
                            "Cumulative", "Full Speed"})
        EXPECT_GT(GetPrivateProfileStringA("TELVOR", key, "", text, 99, settingsPath), 0u) << key;
    std::remove(settingsPath);
}

} // namespace
