// telvor calendar and telvor date: the Hijri months by a rule, and Hijri and civil dates.
#pragma once

#include <string>

#include "almanac/almanac.h"
#include "tools/commandline.h"
#include "tools/placeopts.h"

// The place a calendar or date question is about, and the clock zone of its times.
struct QuestionPlace {
    bool given = false;   // a place was given (else the rule's own place serves)
    almanac::Place place; // degrees, metres
    ResolvedPlace where;  // the place and clock options as resolved (--place, --tz, --zone)
};

// Reads the place from the options (--place, or --lat and --lon together; --height; --tz or
// --zone). The one
// route by which calendar and date learn their place. Returns "" or a one-line message.
std::string placeFromOptions(const Given &given, QuestionPlace &out);

// Month names from ICU's Islamic calendar data: the language of --lang, else of LANG (LC_ALL,
// LC_MESSAGES), else English. `lang` empty means "from the environment". Returns "" or an
// error for a --lang that is not offered.
std::string monthNameLanguage(const std::string &lang, std::string &language);
// The name of Hijri month 1..12 in a language ("en", "ar", ...), UTF-8.
std::string hijriMonthName(int month, const std::string &language);

// Run the subcommands; return the exit code (2 bad option, 1 failure while working).
int runCalendar(const Subcommand &sub, const Given &given);
int runDate(const Subcommand &sub, const Given &given);
