// Tests of the sighting verdict's words: every class, zone and state has its own sentence.
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "tools/verdict.h"

TEST(VerdictWords, EachClassItsOwnSentence) {
    struct Case {
        char yallop, odeh;
        const char *words; // what the sentence must say
    } cases[] = {
        {'A', 'A', "easily visible to the naked eye"},
        {'B', 'A', "visible to the naked eye in perfect conditions"},
        {'C', 'B', "may need binoculars or a telescope"},
        {'D', 'C', "needs binoculars or a telescope"},
        {'E', 'D', "not visible, even with a telescope"},
        {'F', 'D', "below the Danjon limit"},
    };
    std::set<std::string> seen;
    for (const Case &c : cases) {
        const std::string s = crescentSentence(c.yallop, c.odeh);
        EXPECT_NE(s.find(c.words), std::string::npos) << c.yallop << ": " << s;
        EXPECT_NE(s.find(std::string("(Yallop ") + c.yallop + ", Odeh " + c.odeh + ")."),
                  std::string::npos)
            << s;
        EXPECT_TRUE(seen.insert(s.substr(0, s.find(" (Yallop"))).second) << c.yallop;
    }
    // Odeh's zone is named as it is, whatever Yallop's class says.
    for (char zone : {'A', 'B', 'C', 'D'})
        EXPECT_NE(crescentSentence('C', zone).find(std::string("Odeh ") + zone + ")"),
                  std::string::npos);
}

TEST(VerdictWords, EachStateWithoutCrescent) {
    struct Case {
        NoCrescent why;
        bool morning;
        const char *words;
    } cases[] = {
        {NoCrescent::PolarDay, false, "does not set"},
        {NoCrescent::PolarDay, true, "does not rise"},
        {NoCrescent::PolarNight, false, "polar night"},
        {NoCrescent::PolarNight, true, "polar night"},
        {NoCrescent::NoMoonEvent, false, "Moon does not set"},
        {NoCrescent::NoMoonEvent, true, "Moon does not rise"},
        {NoCrescent::WrongOrder, false, "Moon sets before the Sun"},
        {NoCrescent::WrongOrder, true, "Moon rises after the Sun"},
    };
    std::set<std::string> seen;
    for (const Case &c : cases) {
        const std::string s = noCrescentSentence(c.why, c.morning);
        EXPECT_NE(s.find(c.words), std::string::npos) << s;
        EXPECT_EQ(s.back(), '.') << s;
        if (c.why != NoCrescent::PolarNight) {
            EXPECT_TRUE(seen.insert(s).second) << s;
        }
    }
}

TEST(VerdictWords, CompassPoints) {
    struct Case {
        double azimuth;
        const char *point;
    } cases[] = {{0, "north"},
                 {359.9, "north"},
                 {-90, "west"},
                 {270, "west"},
                 {281.2, "west"},
                 {281.3, "west-northwest"},
                 {247.5, "west-southwest"},
                 {90, "east"},
                 {720 + 180, "south"}};
    for (const Case &c : cases)
        EXPECT_EQ(compassPoint(c.azimuth), c.point) << c.azimuth;
}
