// telvor observe and telvor score: the observation log and the criteria scored against it.
#pragma once

#include <string>

#include "almanac/almanac.h"
#include "tools/commandline.h"

// The place of the command: --place or --lat with --lon (needed when `required`), and --height;
// `where`, when given, receives the resolved place and its clock. "" or the one-line error.
struct ResolvedPlace;
std::string placeFromOptions(const Given &given, almanac::Place &place, bool required,
                             ResolvedPlace *where = nullptr);

// The log named by --db, or the default one; "" and `error` set when there is none.
std::string logPathFromOptions(const Given &given, std::string &error);

// Runs telvor observe; returns the exit code.
int runObserveCommand(const Subcommand &sub, const Given &given);
// Runs telvor score; returns the exit code.
int runScoreCommand(const Subcommand &sub, const Given &given);
