// The telvor sighting question: the evening's events and the crescent criteria at one place.
#pragma once

#include "tools/inputs.h"
#include "tools/jsonout.h"

// Sunset, moonset, best time, conjunction, the crescent at the best time with Yallop's and
// Odeh's criteria, and the engine's own visibility code at that place and minute.
ResultRecord runSighting(const Inputs &in);
