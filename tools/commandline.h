// The command line of the telvor tool: subcommands that name their options from the one option
// table, their registration with CLI11, and error messages that read well.
#pragma once

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tools/inputs.h"

namespace CLI {
class App;
class ParseError;
} // namespace CLI

// The option texts as given, by name without dashes, and the flags given.
struct Given {
    std::map<std::string, std::string> values;
    std::set<std::string> flags;
    std::vector<std::string> positionals; // for a subcommand that takes words (telvor date)
    bool has(const std::string &name) const { return values.count(name) || flags.count(name); }
    const std::string &value(const std::string &name) const { return values.at(name); }
};

struct Subcommand {
    const char *name;
    const char *help;
    std::vector<const char *> options; // names in kOptionTable
    // Runs the subcommand; returns the exit code (0 done, 1 failed, 2 bad option).
    std::function<int(const Subcommand &, const Given &)> run;
    YearSpan years = kEngineYears; // of its --date: the engine's, or the almanac's
};

// Adds the subcommand's options, from the table, to `app`; the texts go into `given` and are
// checked by the subcommand.
void addTableOptions(CLI::App *app, const Subcommand &sub, Given &given);

// The closest name to `word` among `names` when it is close enough to be a likely typo, else "".
std::string closestName(const std::string &word, const std::vector<std::string> &names);

// A one-line message for a CLI11 parse error, in the tool's words: "--lat needs a value",
// "unknown option '--latt' (did you mean '--lat'?)". `args` are the arguments after the program
// name.
std::string parseErrorMessage(const CLI::ParseError &error, const std::vector<std::string> &args,
                              const std::vector<Subcommand> &subcommands);

// The shell completion script (bash, zsh or fish) for these subcommands, or "" for another shell.
std::string completionScript(const std::string &shell, const std::vector<Subcommand> &subcommands);
