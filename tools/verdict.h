// The words of the sighting verdict: a sentence for each of the criteria's classes and for
// each evening or morning without a crescent, and the compass points.
#pragma once

#include <string>

// The verdict's sentence for a crescent of Yallop's class (A..F) and Odeh's zone (A..D):
// "The crescent should be easily visible to the naked eye (Yallop A, Odeh A)."
std::string crescentSentence(char yallopClass, char odehZone);

// Why an evening (or, with `morning`, a morning) has no crescent to judge.
enum class NoCrescent {
    PolarDay,    // the Sun does not set (rise)
    PolarNight,  // the Sun stays below the horizon
    NoMoonEvent, // the Moon does not set (rise) within the day
    WrongOrder,  // the Moon sets before the Sun (rises after it)
};
// The verdict's sentence for it: "The Moon sets before the Sun: no crescent this evening."
std::string noCrescentSentence(NoCrescent why, bool morning);

// The compass point (of 16) of an azimuth in degrees (any value): "west", "west-southwest".
std::string compassPoint(double azimuth);
