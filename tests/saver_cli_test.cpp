// Tests of the Linux saver's command line: the run options over the settings, the xscreensaver
// description built from the settings table, and the edit of ~/.xscreensaver's programs list.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "engine/ephemeris.h"
#include "shell/saver_options.h"
#include "shell/settings.h"
#include "shell/xscreensaver_list.h"

namespace {

// Runs takeRunOptions on the words given; the kept arguments joined by blanks, or "ERROR: ...".
std::string take(std::vector<const char *> words) {
    words.insert(words.begin(), "telvor-saver");
    std::vector<const char *> rest;
    std::string error;
    if (!takeRunOptions(static_cast<int>(words.size()), const_cast<char **>(words.data()), rest,
                        error))
        return "ERROR: " + error;
    std::string joined;
    for (const char *r : rest) {
        if (!joined.empty()) joined += ' ';
        joined += r;
    }
    return joined;
}

class RunOptions : public ::testing::Test {
  protected:
    void SetUp() override {
        clearSettingOverrides();
        settingsPath[0] = '\0'; // no file: the defaults, then the overrides
    }
    void TearDown() override { clearSettingOverrides(); }
};

} // namespace

TEST_F(RunOptions, EachOptionOverridesItsSettingForEveryLoad) {
    EXPECT_EQ(take({"-root", "-speed", "99", "-no-cumulative", "--dwell", "7", "-probability", "12",
                    "-height", "9999", "-full-speed", "-date", "2024-03-10"}),
              "-root");
    for (int load = 0; load < 2; ++load) { // a reload (WM_COMMAND) keeps them
        loadSettings();
        EXPECT_EQ(saverSettings.speed, 99);
        EXPECT_EQ(saverSettings.dwell, 7);
        EXPECT_EQ(saverSettings.probability, 12);
        EXPECT_EQ(saverSettings.height, 9999);
        EXPECT_EQ(saverSettings.cumulative, 0);
        EXPECT_EQ(saverSettings.fullSpeed, 1);
        EXPECT_EQ(saverSettings.today, 0) << "-date means a fixed date";
        EXPECT_EQ(ephemerisState.day, 10);
        EXPECT_EQ(ephemerisState.month, 3);
        EXPECT_EQ(ephemerisState.year, 2024);
    }
    clearSettingOverrides();
    loadSettings();
    EXPECT_EQ(saverSettings.speed, 33);
    EXPECT_EQ(saverSettings.cumulative, 1);
}

TEST_F(RunOptions, AnEmptyDateKeepsTheFilesChoice) {
    EXPECT_EQ(take({"-root", "-date", ""}), "-root");
    loadSettings();
    EXPECT_EQ(saverSettings.today, 1);
}

TEST_F(RunOptions, TheLastOfTwoSwitchesWinsAndOtherWordsStayInOrder) {
    EXPECT_EQ(take({"/p", "-cumulative", "1234", "-no-cumulative", "-cumulative", "-x"}),
              "/p 1234 -x");
    loadSettings();
    EXPECT_EQ(saverSettings.cumulative, 1);
}

TEST_F(RunOptions, ValuesOutsideTheTablesRangesAreRefusedNamingTheRange) {
    struct Case {
        std::vector<const char *> words;
        const char *expected; // part of the message
    };
    const Case cases[] = {
        {{"-speed", "0"}, "-speed takes a whole number from 1 to 99, not \"0\""},
        {{"-speed", "100"}, "from 1 to 99"},
        {{"-dwell", "12x"}, "-dwell takes a whole number from 1 to 99"},
        {{"-probability", ""}, "-probability takes"},
        {{"-height", "-1"}, "from 0 to 9999"},
        {{"-height", "10000"}, "from 0 to 9999"},
        {{"-speed"}, "-speed needs a value: 1 to 99"},
        {{"-date", "2100-01-01"}, "-date takes a date YYYY-MM-DD from 1901-01-01 to 2099-12-31"},
        {{"-date", "2024-13-01"}, "-date takes"},
        {{"-date", "10/03/2024"}, "-date takes"},
        {{"-date", "2024-3-10"}, "-date takes"},
    };
    for (const Case &c : cases) {
        const std::string got = take(c.words);
        EXPECT_NE(got.find(c.expected), std::string::npos) << c.words[0] << ": " << got;
        EXPECT_EQ(got.find('\n'), std::string::npos) << "one line";
    }
    loadSettings();
    EXPECT_EQ(saverSettings.speed, 33) << "a refused value leaves no override";
}

TEST(SaverUsage, NamesEveryFormAndOption) {
    char *text = nullptr;
    size_t size = 0;
    FILE *out = open_memstream(&text, &size);
    printSaverUsage(out, "telvor-saver");
    std::fclose(out);
    const std::string usage(text, size);
    std::free(text);
    for (const char *form :
         {"/s", "/c", "/p", "/a", "-root", "-window-id", "-window ", "-speed", "-dwell",
          "-probability", "-height", "-cumulative", "-no-cumulative", "-full-speed",
          "-no-full-speed", "-date", "--add-to-xscreensaver", "--help", "--version"})
        EXPECT_NE(usage.find(form), std::string::npos) << form;
}

// The panel's widgets carry the settings table's ranges and defaults.
TEST(XscreensaverConfig, WidgetsHaveTheTablesRangesAndDefaults) {
    char *text = nullptr;
    size_t size = 0;
    FILE *out = open_memstream(&text, &size);
    writeXscreensaverConfig(out);
    std::fclose(out);
    const std::string xml(text, size);
    std::free(text);
    EXPECT_NE(xml.find("<command arg=\"-root\"/>"), std::string::npos);
    const struct {
        const char *key, *option;
    } numbers[] = {{"Speed", "speed"},
                   {"Dwell", "dwell"},
                   {"Probability", "probability"},
                   {"Height", "height"}};
    for (const auto &n : numbers) {
        const SettingDescriptor *s = findSetting(n.key);
        const std::regex widget("<number id=\"" + std::string(n.option) + "\"[^>]*arg=\"-" +
                                n.option + " %\"[^>]* low=\"" +
                                std::to_string(s->dialogRange[0].minimum) + "\" high=\"" +
                                std::to_string(s->dialogRange[0].maximum) + "\" default=\"" +
                                std::to_string(s->defaultValue[0]) + "\"/>");
        EXPECT_TRUE(std::regex_search(xml, widget)) << n.key;
    }
    EXPECT_NE(xml.find("arg-unset=\"-no-cumulative\""), std::string::npos) << "on by default";
    EXPECT_NE(xml.find("arg-set=\"-full-speed\""), std::string::npos) << "off by default";
    EXPECT_NE(xml.find("arg=\"-date %\""), std::string::npos);
}

// --- ~/.xscreensaver ------------------------------------------------------------------------

namespace {

// The layout xscreensaver-settings 6 writes (shortened).
const std::string kWritten = "# XScreenSaver Preferences File\n"
                             "mode:\t\trandom\n"
                             "selected:\t3\n"
                             "\n"
                             "programs:\t\t\t\t\t\t\t\t      \\\n"
                             "\t\t\t\tmaze --root\t\t\t\t    \\n\\\n"
                             "- GL: \t\t\t\tsuperquadrics --root\t\t\t    \\n\\\n"
                             "-\t\t\t\tqix --root -solid\t\t\t    \\n\\\n"
                             "\n"
                             "\n"
                             "pointerHysteresis:  10\n";

XscreensaverEdit edit(const std::string &in, std::string &out) {
    std::string why;
    return addTelvorToXscreensaverText(in, out, why);
}

} // namespace

TEST(XscreensaverList, AddsTelvorLastKeepingEveryOtherByteAndOnlyOnce) {
    std::string out;
    ASSERT_EQ(edit(kWritten, out), XscreensaverEdit::Added);
    const std::string entry = std::string(kXscreensaverEntry) + "\n";
    const size_t at = kWritten.find("\n\n\npointer") + 1;
    EXPECT_EQ(out, kWritten.substr(0, at) + entry + kWritten.substr(at))
        << "last in the list, so that \"selected\" still counts the same hacks";
    std::string again;
    EXPECT_EQ(edit(out, again), XscreensaverEdit::AlreadyListed);
}

TEST(XscreensaverList, AFreshAccountGetsTheListWithTelvorAlone) {
    std::string out;
    ASSERT_EQ(edit("", out), XscreensaverEdit::Added);
    EXPECT_EQ(out,
              "programs:\t\t\t\t\t\t\t\t      \\\n" + std::string(kXscreensaverEntry) + "\n\n");
    ASSERT_EQ(edit("mode:\tone\n", out), XscreensaverEdit::Added);
    EXPECT_EQ(out.find("mode:\tone\n\nprograms:"), 0u);
}

TEST(XscreensaverList, OtherLayoutsOfTheListAreContinued) {
    std::string out;
    ASSERT_EQ(edit("programs: maze -root\nmode: one\n", out), XscreensaverEdit::Added);
    EXPECT_EQ(out, "programs: maze -root \\n\\\n\t\t\t\"TELVOR\" telvor-saver -root\nmode: one\n");
    ASSERT_EQ(edit("programs:\n", out), XscreensaverEdit::Added);
    EXPECT_EQ(out, "programs:\t\\\n\t\t\t\"TELVOR\" telvor-saver -root\n");
    ASSERT_EQ(edit("*programs: maze -root \\n\\\n  qix -root \\n", out), XscreensaverEdit::Added);
    EXPECT_EQ(out, "*programs: maze -root \\n\\\n  qix -root \\n\\\n\t\t\t\"TELVOR\" telvor-saver "
                   "-root\n");
}

TEST(XscreensaverList, TelvorIsFoundInEveryFormOfAnEntry) {
    for (const char *line : {"programs: telvor-saver -root\n",
                             "programs: maze \\n\\\n- \"Moon\" /usr/bin/telvor-saver -speed 9\n",
                             "programs: \\\n  GL: telvor-saver -root \\n\\\n\n",
                             "programs: maze -root \\n- default: telvor-saver\n"}) {
        std::string out;
        EXPECT_EQ(edit(line, out), XscreensaverEdit::AlreadyListed) << line;
    }
    std::string out;
    EXPECT_EQ(edit("programs: telvorish -root\n", out), XscreensaverEdit::Added);
    EXPECT_EQ(edit("programs: telvor-saverish -root\n", out), XscreensaverEdit::Added);
}

// On PATH "telvor" is the command-line tool, which refuses -root: an entry under that old name
// would never draw.
TEST(XscreensaverList, AnEntryUnderTheOldNameIsRenamedInPlace) {
    const std::pair<const char *, const char *> cases[] = {
        {"programs: telvor -root\n", "programs: telvor-saver -root\n"},
        {"programs: maze \\n\\\n- \"Moon\" /usr/bin/telvor -speed 9\n",
         "programs: maze \\n\\\n- \"Moon\" telvor-saver -speed 9\n"},
        {"programs: \\\n  GL: telvor -root \\n\\\n\n",
         "programs: \\\n  GL: telvor-saver -root \\n\\\n\n"},
        {"programs: maze -root \\n- default: telvor\n",
         "programs: maze -root \\n- default: telvor-saver\n"},
        {"mode: one\nprograms:\t\\\n\t\t\t\"TELVOR\" telvor -root\t\t\t    \\n\\\n\nx: 1\n",
         "mode: one\nprograms:\t\\\n\t\t\t\"TELVOR\" telvor-saver -root\t\t\t    \\n\\\n\nx: 1\n"},
    };
    for (const auto &[in, expected] : cases) {
        std::string out;
        EXPECT_EQ(edit(in, out), XscreensaverEdit::Renamed) << in;
        EXPECT_EQ(out, expected) << in;
        std::string again;
        EXPECT_EQ(edit(out, again), XscreensaverEdit::AlreadyListed) << in;
    }
}

// The warning of --add-to-xscreensaver: the hack in xscreensaver's folder or on PATH, the panel
// in its config folder.
TEST(XscreensaverList, WhatXscreensaverWillNotFindIsSaid) {
    char dir[] = "/tmp/telvor-look-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string d = dir, hacks = d + "/hacks", bin = d + "/bin", config = d + "/config";
    for (const std::string &sub : {hacks, bin, config})
        ASSERT_EQ(mkdir(sub.c_str(), 0755), 0);
    const std::string hack = std::string(kXscreensaverHack);
    // The command-line tool on PATH is not the hack.
    { std::ofstream(bin + "/telvor") << "#!/bin/sh\n"; }
    chmod((bin + "/telvor").c_str(), 0755);
    std::string problem = xscreensaverLookupProblem(hacks, "/nonexistent:" + bin, config);
    EXPECT_NE(problem.find("the program " + hack), std::string::npos) << problem;
    EXPECT_NE(problem.find(config + "/" + hack + ".xml"), std::string::npos) << problem;
    // Files that cannot run do not count; on PATH (as under /usr/local) the program is found,
    // the panel is not.
    { std::ofstream(bin + "/" + hack) << "#!/bin/sh\n"; }
    { std::ofstream(hacks + "/" + hack) << "not executable\n"; }
    problem = xscreensaverLookupProblem(hacks, bin, config);
    EXPECT_NE(problem.find("the program"), std::string::npos) << problem;
    chmod((bin + "/" + hack).c_str(), 0755);
    problem = xscreensaverLookupProblem(hacks, "::" + bin, config);
    EXPECT_EQ(problem.find("the program"), std::string::npos) << problem;
    EXPECT_NE(problem.find(hack + ".xml"), std::string::npos) << problem;
    // In the hack folder, with its panel: nothing to say.
    chmod((hacks + "/" + hack).c_str(), 0755);
    { std::ofstream(config + "/" + hack + ".xml") << "<screensaver/>\n"; }
    EXPECT_EQ(xscreensaverLookupProblem(hacks, "", config), "");
    EXPECT_EQ(std::system(("rm -rf " + d).c_str()), 0);
}

TEST(XscreensaverList, ADamagedFileIsRefused) {
    const std::string cases[] = {
        std::string("programs: maze\n\0x\n", 17), // a NUL byte
        "programs: maze -root \\n\\\n",           // the value runs past the end
        "programs: maze\nprograms: qix\n",        // two lists
        "mode: random\nthis is not a resource\n", "<html>\n",
    };
    for (const std::string &c : cases) {
        std::string out, why;
        EXPECT_EQ(addTelvorToXscreensaverText(c, out, why), XscreensaverEdit::Damaged) << c;
        EXPECT_FALSE(why.empty());
    }
}

TEST(XscreensaverList, TheFileIsReplacedThroughItsLinkAndOnlyWhenRegular) {
    char dir[] = "/tmp/telvor-xss-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string real = std::string(dir) + "/real", link = std::string(dir) + "/link";
    { std::ofstream(real) << kWritten; }
    chmod(real.c_str(), 0640);
    ASSERT_EQ(symlink(real.c_str(), link.c_str()), 0);
    EXPECT_EQ(addToXscreensaver(link.c_str()), 0);
    struct stat st;
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link was replaced";
    ASSERT_EQ(stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    std::stringstream read;
    read << std::ifstream(real).rdbuf();
    EXPECT_NE(read.str().find("telvor-saver -root"), std::string::npos);
    EXPECT_EQ(addToXscreensaver(link.c_str()), 0) << "a second run";

    // A FIFO is refused at once (no reader blocks on it) and stays a FIFO.
    const std::string fifo = std::string(dir) + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(addToXscreensaver(fifo.c_str()), 1);
    ASSERT_EQ(stat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    // A damaged file is left byte for byte.
    const std::string damaged = std::string(dir) + "/damaged";
    { std::ofstream(damaged) << "programs: maze \\n\\\n"; }
    EXPECT_EQ(addToXscreensaver(damaged.c_str()), 1);
    std::stringstream kept;
    kept << std::ifstream(damaged).rdbuf();
    EXPECT_EQ(kept.str(), "programs: maze \\n\\\n");
    EXPECT_EQ(std::system(("rm -rf " + std::string(dir)).c_str()), 0);
}
