// The tool's engine questions: sun, moon and month, each from a zeroed state record.
#pragma once

#include "tools/inputs.h"
#include "tools/jsonout.h"

ResultRecord runSun(const Inputs &in);
ResultRecord runMoon(const Inputs &in);
ResultRecord runMonth(const Inputs &in);
