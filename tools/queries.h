// The tool's engine questions: sun, moon and month, each from a zeroed state record, and the
// choice of a lunation by its lunar month.
#pragma once

#include "tools/inputs.h"
#include "tools/jsonout.h"

// Each record ends with "input": the inputs it used.
ResultRecord runSun(const Inputs &in);
ResultRecord runMoon(const Inputs &in);
ResultRecord runMonth(const Inputs &in);

// The earliest date from which the saver's month search (findLunarMonth) lands on the lunation
// that it labels lunar month `month` (1..12) of lunar year `year`, with the zone, height and
// probability of `in`. Returns "" and the date in `in`, or why there is none between
// 1901-01-01 and 2099-12-31.
std::string findLunationOfMonth(int year, int month, Inputs &in);
