// The telvor tool's whole run as one function, for its main() and for tests that drive it
// in-process.
#pragma once

// Parses the command line (argv[0] the program's name) and runs the subcommand it names,
// writing to standard output and standard error. Returns the exit code: 0 done, 1 failed while
// working, 2 a bad option. Not reentrant: one call at a time in a process.
int telvorMain(int argc, char **argv);
