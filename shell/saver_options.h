// The Linux saver's command line beyond the Windows switches: the options that override settings
// for one run, the usage text, and the xscreensaver description built from the same table.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

// Takes the run options (-speed N, -dwell N, -probability N, -height M, -cumulative,
// -no-cumulative, -full-speed, -no-full-speed, -date YYYY-MM-DD; also with two dashes) out of
// argv[1..argc-1] and records each as a settings override (setSettingOverride), so that every
// loadSettings of this run uses it. The other arguments are kept in order in `rest`. Returns
// false at the first bad option, with a one-line message (no program name, no newline) in
// `error`; the caller then exits with code 2.
bool takeRunOptions(int argc, char **argv, std::vector<const char *> &rest, std::string &error);

// The usage text of `--help`: every form of the command line and every run option with its range
// and default.
void printSaverUsage(FILE *out, const char *program);

// The xscreensaver description of the hack (share/xscreensaver/config/telvor-saver.xml): the command
// and one widget per run option, with the ranges and defaults of the settings table.
void writeXscreensaverConfig(FILE *out);
