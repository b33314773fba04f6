// The sighting verdict's words.
#include "tools/verdict.h"

#include <cmath>

std::string compassPoint(double azimuth) {
    static const char *const kPoints[] = {
        "north", "north-northeast", "northeast", "east-northeast",
        "east",  "east-southeast",  "southeast", "south-southeast",
        "south", "south-southwest", "southwest", "west-southwest",
        "west",  "west-northwest",  "northwest", "north-northwest"};
    const double a = std::fmod(std::fmod(azimuth, 360.0) + 360.0, 360.0);
    return kPoints[static_cast<int>(std::floor(a / 22.5 + 0.5)) % 16];
}

std::string crescentSentence(char yallop, char odeh) {
    // The classes' meanings as B. D. Yallop, "A Method for Predicting the First Sighting of the
    // New Crescent Moon", NAO Technical Note No. 69 (1997), gives them: A easily visible, B
    // visible under perfect conditions, C may need optical aid to find the crescent, D will
    // need optical aid, E not visible with a telescope, F not visible, below the Danjon limit.
    const char *words = "The crescent is not visible";
    switch (yallop) {
    case 'A':
        words = "The crescent should be easily visible to the naked eye";
        break;
    case 'B':
        words = "The crescent should be visible to the naked eye in perfect conditions";
        break;
    case 'C':
        words = "The crescent may need binoculars or a telescope to be found, and may then be seen "
                "with the naked eye";
        break;
    case 'D':
        words = "The crescent needs binoculars or a telescope: the naked eye will not find it";
        break;
    case 'E':
        words = "The crescent is not visible, even with a telescope";
        break;
    case 'F':
        words = "The crescent is not visible: the Moon is below the Danjon limit, too close to "
                "the Sun for a crescent to show";
        break;
    }
    return std::string(words) + " (Yallop " + yallop + ", Odeh " + odeh + ").";
}

std::string noCrescentSentence(NoCrescent why, bool morning) {
    switch (why) {
    case NoCrescent::PolarDay:
        return morning ? "The Sun does not rise here on this date, it stays up (polar day): no "
                         "dawn to look for the crescent in."
                       : "The Sun does not set here on this date (polar day): no evening to look "
                         "for the crescent in.";
    case NoCrescent::PolarNight:
        return "The Sun stays below the horizon all day here (polar night): no crescent to look "
               "for.";
    case NoCrescent::NoMoonEvent:
        return morning ? "The Moon does not rise before the Sun this morning (it stays up, or "
                         "grazes the horizon): the criteria need a moonrise."
                       : "The Moon does not set this evening (it stays up, or grazes the "
                         "horizon): the criteria need a moonset.";
    case NoCrescent::WrongOrder:
        return morning ? "The Moon rises after the Sun: no crescent this morning."
                       : "The Moon sets before the Sun: no crescent this evening.";
    }
    return "";
}
