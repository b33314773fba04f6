// Tests of the settings table, the settings path and loading and saving the settings file.
#include "shell/settings.h"

#include "engine/ephemeris.h"
#include "shell/platform/platform.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>

namespace {

class SettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/telvor-settings-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
        formSettingsPath();
        ASSERT_EQ(std::string(settingsPath), dir + "/telvor/telvor.ini");
        // The state of a fresh process: all zero but the probability.
        saverSettings = SaverSettings{};
        saverSettings.probability = 50;
        ephemerisState.day = ephemerisState.month = ephemerisState.year = 0;
    }
    void TearDown() override {
        std::string cmd = "rm -rf '" + dir + "'";
        ASSERT_EQ(system(cmd.c_str()), 0);
    }
    void put(const std::string &content) {
        mkdir((dir + "/telvor").c_str(), 0700);
        std::ofstream f(settingsPath, std::ios::binary);
        f << content;
    }
    std::string get() {
        std::ifstream f(settingsPath, std::ios::binary);
        std::stringstream s;
        s << f.rdbuf();
        return s.str();
    }
    static std::string localDate() {
        SYSTEMTIME t;
        GetLocalTime(&t);
        char buf[32];
        snprintf(buf, sizeof buf, "%02u/%02u/%04u", t.wDay, t.wMonth, t.wYear);
        return buf;
    }
    static std::string stateDate() {
        char buf[32];
        snprintf(buf, sizeof buf, "%02d/%02d/%04d", ephemerisState.day, ephemerisState.month,
                 ephemerisState.year);
        return buf;
    }
    std::string dir;
};

// --- The table ------------------------------------------------------------------------------

TEST(SettingTableTest, HoldsTheEightKeysInFileOrderWithTheirControls) {
    const char *keys[] = {"Today", "Start Date", "Probability", "Height",
                          "Speed", "Dwell",      "Cumulative",  "Full Speed"};
    const int controls[] = {16390, 16385, 16386, 16392, 16387, 16388, 16389, 16391};
    for (int i = 0; i < kSettingCount; ++i) {
        EXPECT_STREQ(settingTable[i].key, keys[i]) << "entry " << i;
        EXPECT_EQ(settingTable[i].controlId, controls[i]) << keys[i];
        EXPECT_EQ(findSetting(keys[i]), &settingTable[i]) << keys[i];
        EXPECT_EQ(findSettingByControl(controls[i]), &settingTable[i]) << keys[i];
    }
    EXPECT_EQ(findSetting("today"), nullptr) << "keys are matched exactly";
    EXPECT_EQ(findSettingByControl(16384), nullptr);
}

// --- The settings path ----------------------------------------------------------------------

TEST(SettingsPathTest, FollowsXdgThenHome) {
    setenv("XDG_CONFIG_HOME", "/some/where", 1);
    formSettingsPath();
    EXPECT_STREQ(settingsPath, "/some/where/telvor/telvor.ini");
    setenv("XDG_CONFIG_HOME", "relative/path", 1);
    setenv("HOME", "/home/someone", 1);
    formSettingsPath();
    EXPECT_STREQ(settingsPath, "/home/someone/.config/telvor/telvor.ini");
    unsetenv("XDG_CONFIG_HOME");
    formSettingsPath();
    EXPECT_STREQ(settingsPath, "/home/someone/.config/telvor/telvor.ini");
    unsetenv("HOME");
    formSettingsPath();
    EXPECT_NE(strstr(settingsPath, "/.config/telvor/telvor.ini"), nullptr)
        << "from the user record";
}

TEST(SettingsPathTest, OverlongPathGivesNone) {
    std::string longDir = "/" + std::string(600, 'd');
    setenv("XDG_CONFIG_HOME", longDir.c_str(), 1);
    formSettingsPath();
    EXPECT_STREQ(settingsPath, "");
    loadSettings(); // no path: the defaults, no crash
    EXPECT_EQ(saverSettings.speed, 33);
    saveSettings();
}

// --- loadSettings ---------------------------------------------------------------------------

TEST_F(SettingsTest, NoFileGivesDefaults) {
    loadSettings();
    EXPECT_EQ(saverSettings.today, 1);
    EXPECT_EQ(saverSettings.probability, 50);
    EXPECT_EQ(saverSettings.height, 0);
    EXPECT_EQ(saverSettings.speed, 33);
    EXPECT_EQ(saverSettings.dwell, 33);
    EXPECT_EQ(saverSettings.cumulative, 1);
    EXPECT_EQ(saverSettings.fullSpeed, 0);
    std::string before = localDate();
    std::string loaded = stateDate();
    EXPECT_TRUE(loaded == before || loaded == localDate()) << "the local date";
}

TEST_F(SettingsTest, StartDateIsDayFirst) {
    put("[TELVOR]\nToday=0\nStart Date=7/3/2021\n");
    loadSettings();
    EXPECT_EQ(ephemerisState.day, 7);
    EXPECT_EQ(ephemerisState.month, 3);
    EXPECT_EQ(ephemerisState.year, 2021);
    saveSettings();
    EXPECT_NE(get().find("Start Date=07/03/2021\n"), std::string::npos) << get();
}

TEST_F(SettingsTest, PartialStartDateKeepsTheYear) {
    put("[TELVOR]\nToday=0\nStart Date=9/9/2021\n");
    loadSettings();
    put("[TELVOR]\nToday=0\nStart Date=7/3\n");
    loadSettings();
    EXPECT_EQ(stateDate(), "07/03/2021");
    put("[TELVOR]\nToday=0\nStart Date=no date\n");
    loadSettings();
    EXPECT_EQ(stateDate(), "07/03/2021");
}

TEST_F(SettingsTest, MissingStartDateIsFirstOf2000) {
    put("[TELVOR]\nToday=0\n");
    loadSettings();
    EXPECT_EQ(stateDate(), "01/01/2000");
}

TEST_F(SettingsTest, DateOutsideTheDialogsRangesIsKept) {
    // The dialog shows these as stored and refuses them on OK.
    put("[TELVOR]\nToday=0\nStart Date=7/13/2021\n");
    loadSettings();
    EXPECT_EQ(stateDate(), "07/13/2021") << "month 13";
    put("[TELVOR]\nToday=0\nStart Date=0/-4/3000\n");
    loadSettings();
    EXPECT_EQ(ephemerisState.day, 0);
    EXPECT_EQ(ephemerisState.month, -4);
    EXPECT_EQ(ephemerisState.year, 3000);
    put("[TELVOR]\nToday=0\nStart Date=31/2/1900\n");
    loadSettings();
    EXPECT_EQ(stateDate(), "31/02/1900");
}

TEST_F(SettingsTest, YearBeyondTheLunarMonthCountFallsBack) {
    // Further out the lunar month count leaves 16 bits; the year alone falls back.
    put("[TELVOR]\nToday=0\nStart Date=7/3/3101\n");
    loadSettings();
    EXPECT_EQ(stateDate(), "07/03/2000");
    put("[TELVOR]\nToday=0\nStart Date=7/3/-1901\n");
    loadSettings();
    EXPECT_EQ(stateDate(), "07/03/2000");
    put("[TELVOR]\nToday=0\nStart Date=7/3/3100\n");
    loadSettings();
    EXPECT_EQ(stateDate(), "07/03/3100");
    // At the first load the year is 0 before the file speaks; a text without it gives 2000.
    ephemerisState.year = 0;
    put("[TELVOR]\nToday=0\nStart Date=31/2\n");
    loadSettings();
    EXPECT_EQ(stateDate(), "31/02/0000") << "year 0 is workable and kept";
}

TEST_F(SettingsTest, TodayIgnoresStartDateAndSavesLocalDate) {
    put("[TELVOR]\nToday=1\nStart Date=05/05/1999\n");
    std::string before = localDate();
    loadSettings();
    std::string loaded = stateDate();
    EXPECT_TRUE(loaded == before || loaded == localDate()) << loaded;
    saveSettings();
    EXPECT_EQ(get().find("1999"), std::string::npos) << get();
    EXPECT_NE(get().find("Start Date=" + loaded + "\n"), std::string::npos) << get();
}

TEST_F(SettingsTest, OutOfDialogRangeButWorkableIsKept) {
    put("[TELVOR]\nProbability=150\nCumulative=7\n");
    loadSettings();
    EXPECT_EQ(saverSettings.probability, 150);
    EXPECT_EQ(saverSettings.cumulative, 7) << "a flag is any nonzero value";
}

TEST_F(SettingsTest, WorkableValuesOutsideTheDialogsRangesAreKept) {
    put("[TELVOR]\nProbability=-3\nHeight=15000\nSpeed=150\nDwell=100\n");
    loadSettings();
    EXPECT_EQ(saverSettings.probability, -3);
    EXPECT_EQ(saverSettings.height, 15000);
    EXPECT_EQ(saverSettings.speed, 150);
    EXPECT_EQ(saverSettings.dwell, 100);
    put("[TELVOR]\nProbability=2900\nHeight=32767\nSpeed=2147483647\nDwell=2147483\n");
    loadSettings();
    EXPECT_EQ(saverSettings.probability, 2900);
    EXPECT_EQ(saverSettings.height, 32767);
    EXPECT_EQ(saverSettings.speed, 2147483647);
    EXPECT_EQ(saverSettings.dwell, 2147483);
    put("[TELVOR]\nProbability=-12600\n");
    loadSettings();
    EXPECT_EQ(saverSettings.probability, -12600);
}

TEST_F(SettingsTest, UnworkableValuesAreClamped) {
    // Height below 0: no horizon dip; speed below 1: a division by zero; dwell 0 or below: no
    // pause; dwell above 2147483: its milliseconds overflow 32 bits.
    put("[TELVOR]\nHeight=-20\nSpeed=0\nDwell=0\n");
    loadSettings();
    EXPECT_EQ(saverSettings.height, 0);
    EXPECT_EQ(saverSettings.speed, 1);
    EXPECT_EQ(saverSettings.dwell, 1);
    put("[TELVOR]\nHeight=-32768\nSpeed=-5\nDwell=2147484\n");
    loadSettings();
    EXPECT_EQ(saverSettings.height, 0);
    EXPECT_EQ(saverSettings.speed, 1);
    EXPECT_EQ(saverSettings.dwell, 2147483);
    // A probability whose start minute would overflow 16 bits.
    put("[TELVOR]\nProbability=14000\n");
    loadSettings();
    EXPECT_EQ(saverSettings.probability, 2900);
    put("[TELVOR]\nProbability=32767\n");
    loadSettings();
    EXPECT_EQ(saverSettings.probability, 2900);
    put("[TELVOR]\nProbability=-32768\n");
    loadSettings();
    EXPECT_EQ(saverSettings.probability, -12600);
}

TEST_F(SettingsTest, SixteenBitFieldsKeepLow16Bits) {
    put("[TELVOR]\nProbability=65586\n"); // 65536 + 50
    loadSettings();
    EXPECT_EQ(saverSettings.probability, 50);
}

// --- saveSettings ---------------------------------------------------------------------------

TEST_F(SettingsTest, SavingDefaultsWritesEightLinesInOrder) {
    loadSettings();
    saveSettings();
    std::string date = stateDate();
    EXPECT_EQ(get(), "[TELVOR]\r\nToday=1\r\nStart Date=" + date +
                         "\r\nProbability=50\r\nHeight=0\r\nSpeed=33\r\nDwell=33\r\n"
                         "Cumulative=1\r\nFull Speed=0\r\n");
    struct stat st;
    ASSERT_EQ(stat((dir + "/telvor").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(SettingsTest, SavingCreatesMissingParentFolders) {
    std::string nested = dir + "/a/b";
    setenv("XDG_CONFIG_HOME", nested.c_str(), 1);
    formSettingsPath();
    loadSettings();
    saveSettings();
    std::ifstream f(nested + "/telvor/telvor.ini");
    EXPECT_TRUE(f.good());
}

TEST_F(SettingsTest, SavingKeepsOtherSectionsAndLines) {
    put("; mine\n[Other]\nSpeed=5\n\n[telvor]\nspeed=12\nExtra=x\n");
    loadSettings();
    EXPECT_EQ(saverSettings.speed, 12);
    saverSettings.speed = 40;
    saverSettings.today = 0;
    ephemerisState.day = 5;
    ephemerisState.month = 3;
    ephemerisState.year = 2021;
    saveSettings();
    EXPECT_EQ(get(), "; mine\n[Other]\nSpeed=5\n\n[telvor]\nspeed=40\nExtra=x\nToday=0\n"
                     "Start Date=05/03/2021\nProbability=50\nHeight=0\nDwell=33\nCumulative=1\n"
                     "Full Speed=0\n");
}

TEST_F(SettingsTest, SavingWidensSixteenBitFieldsWithSign) {
    saverSettings.height = -1;
    ephemerisState.day = -1;
    saveSettings();
    EXPECT_NE(get().find("Height=-1\r\n"), std::string::npos) << get();
    EXPECT_NE(get().find("Start Date=4294967295/"), std::string::npos) << get();
}

} // namespace
