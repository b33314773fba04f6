// A stand-in for the saver's test in calendar tests and benchmarks: code 100 from a Moon's age
// of 30 hours on, so the telvor rule counts as a visibility test does, at no cost of its own.
#pragma once

#include <algorithm>
#include <memory>
#include <vector>

#include "calendar/calendar.h"

// The conjunctions from `fromJd` over `days` days (Julian dates UT), ascending, and the test.
inline TelvorCodeTest telvorStandIn(double fromJd, double days) {
    auto list = std::make_shared<std::vector<double>>();
    for (double t = almanac::conjunctionBefore(fromJd); t < fromJd + days;
         t = almanac::conjunctionAfter(t + 1))
        list->push_back(t);
    return [list](almanac::CivilDate, double, double, double jdUt) {
        const auto after = std::upper_bound(list->begin(), list->end(), jdUt);
        if (after == list->begin()) return 0;
        return (jdUt - *(after - 1)) * 24.0 >= 30.0 ? 100 : 0;
    };
}
