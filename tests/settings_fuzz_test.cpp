// Bounded random test of loading settings from damaged files: no crash, every value workable.
#include "shell/settings.h"

#include "engine/ephemeris.h"
#include "shell/platform/platform.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <sys/stat.h>

namespace {

const char *const kValidFile = "[TELVOR]\r\nToday=0\r\nStart Date=07/03/2021\r\nProbability=50\r\n"
                               "Height=120\r\nSpeed=33\r\nDwell=33\r\nCumulative=1\r\n"
                               "Full Speed=0\r\n";

// Text pieces that make damaged files more likely to reach the interesting paths.
const char *const kPieces[] = {"[TELVOR]", "[telvor", "]",      "=",          "\r\n",  "\n",
                               ";",        "\"",      "-",      "/",          "99999", "-32769",
                               "Today",    "Speed",   "Height", "Start Date", "0"};

std::string mutate(std::mt19937 &rng, std::string text) {
    int edits = 1 + static_cast<int>(rng() % 8);
    for (int e = 0; e < edits; ++e) {
        size_t at = text.empty() ? 0 : rng() % (text.size() + 1);
        switch (rng() % 4) {
        case 0: // replace a byte
            if (!text.empty() && at < text.size()) text[at] = static_cast<char>(rng());
            break;
        case 1: // delete a run
            if (at < text.size()) text.erase(at, 1 + rng() % 10);
            break;
        case 2: // insert a piece
            text.insert(at, kPieces[rng() % (sizeof kPieces / sizeof kPieces[0])]);
            break;
        default: // insert random bytes
            for (unsigned n = rng() % 6; n > 0; --n)
                text.insert(text.begin() + static_cast<long>(at), static_cast<char>(rng()));
        }
    }
    return text;
}

void expectWorkable(int round) {
    const SaverSettings &s = saverSettings;
    const EphemerisState &e = ephemerisState;
    ASSERT_TRUE(s.probability >= -12600 && s.probability <= 2900)
        << "round " << round << ": probability " << s.probability;
    ASSERT_TRUE(s.height >= 0) << "round " << round << ": height " << s.height;
    ASSERT_TRUE(s.speed >= 1) << "round " << round << ": speed " << s.speed;
    ASSERT_TRUE(s.dwell >= 1 && s.dwell <= 2147483) << "round " << round << ": dwell " << s.dwell;
    ASSERT_TRUE(e.year >= -1900 && e.year <= 3100) << "round " << round << ": year " << e.year;
}

TEST(SettingsFuzzTest, DamagedFilesLoadWorkableValues) {
    char tmpl[] = "/tmp/telvor-fuzz-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    std::string dir = tmpl;
    setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
    formSettingsPath();
    ASSERT_EQ(mkdir((dir + "/telvor").c_str(), 0700), 0);

    std::mt19937 rng(20240201);
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        if (round % 4 == 0) { // random bytes
            text.resize(rng() % 2048);
            for (char &c : text)
                c = static_cast<char>(rng());
        } else { // a valid file, damaged
            text = mutate(rng, kValidFile);
        }
        {
            std::ofstream f(settingsPath, std::ios::binary | std::ios::trunc);
            f << text;
        }
        loadSettings();
        expectWorkable(round);
        char buf[99];
        DWORD n =
            GetPrivateProfileStringA("TELVOR", "Start Date", "", buf, sizeof buf, settingsPath);
        ASSERT_LT(n, sizeof buf) << "round " << round;
        // Writing into a damaged file must keep it readable and the value must read back.
        if (round % 40 == 0) { // fewer: each write syncs the disk
            ASSERT_TRUE(WritePrivateProfileStringA("TELVOR", "Speed", "42", settingsPath))
                << "round " << round;
            loadSettings();
            expectWorkable(round);
            ASSERT_EQ(saverSettings.speed, 42) << "round " << round;
        }
    }
    std::string cmd = "rm -rf '" + dir + "'";
    ASSERT_EQ(system(cmd.c_str()), 0);
}

} // namespace
