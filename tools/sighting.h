// The telvor sighting question: the evening's (or morning's) events and the crescent criteria
// at one place, told first in a few plain sentences.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "almanac/almanac.h"
#include "tools/inputs.h"
#include "tools/jsonout.h"
#include "tools/placeopts.h"

// Answers sighting questions in one clock, sharing one evening table per date among them (a
// batch of places on one date builds one table).
class SightingRun {
  public:
    // `where` gives the clock (its place is the default of Inputs' lat and lon, set by the
    // caller) and the place's name; with `morning` the question is the last crescent before
    // the new moon, at dawn.
    SightingRun(const ResolvedPlace &where, bool morning);

    // The answer as a record: the times in UT and in the local clock, the crescent at the best
    // time, the verdict's sentences, the visibility window and the inputs used.
    ResultRecord record(const Inputs &in);
    // The text form: the verdict's lines, then (unless `quiet`) the record's lines.
    std::string text(const Inputs &in, bool quiet);

  private:
    struct Answer;
    Answer answer(const Inputs &in);
    const almanac::EveningTable &table(const Inputs &in);
    const ResolvedPlace &where_;
    bool morning_;
    std::map<long, std::unique_ptr<almanac::EveningTable>> tables_;
};
