// telvor sky: the chart of the western sky after sunset (or the eastern sky before sunrise), as
// PNG pictures or an animated GIF.
#pragma once

#include "tools/commandline.h"

// Runs telvor sky with the options given; returns the exit code (2 for a bad option or an
// unwritable path found before the work, 1 for a failure while writing).
int runSkyCommand(const Subcommand &sub, const Given &given);
