// telvor: the command-line tool that answers the engine's questions (sun, moon, month).
#include <cstdio>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "tools/queries.h"

namespace {

using Question = std::function<ResultRecord(const Inputs &)>;

struct Subcommand {
    const char *name;
    const char *help;
    Question run;
};

const Subcommand kSubcommands[] = {
    {"sun", "The Sun's position for a date, clock minute and place, and the solar queries", runSun},
    {"moon",
     "The Moon's position, the crescent and its visibility code for a date, minute and place",
     runMoon},
    {"month", "The day before the Moon reaches 8 degrees of elongation, and its Hijri month",
     runMonth},
};

// The option texts as given, by name without dashes.
struct Given {
    std::map<std::string, std::string> values;
    bool json = false;
    std::string batch;
};

void addInputOptions(CLI::App *app, Given &given) {
    struct Item {
        const char *flag;
        const char *name;
        const char *help;
    };
    static const Item items[] = {
        {"--date", "date", "Date YYYY-MM-DD, 1901-01-01..2099-12-31 (default: today's local date)"},
        {"--minute", "minute", "Local clock minute, -1440..2879 (default 0)"},
        {"--time", "time", "Local clock time HH:MM, the same as --minute HH*60+MM"},
        {"--zone", "zone", "Local time minus UT in minutes, -1440..1440 (default 0)"},
        {"--lat", "lat", "Latitude in degrees, north positive, -90..90 (default 0)"},
        {"--lon", "lon", "Longitude in degrees, east positive, -180..180 (default 0)"},
        {"--height", "height", "Sight height in metres, 0..9999 (default 0)"},
        {"--probability", "probability", "Visibility probability in percent, 1..99 (default 50)"},
    };
    for (const Item &item : items) {
        std::string name = item.name;
        app->add_option_function<std::string>(
               item.flag, [&given, name](const std::string &v) { given.values[name] = v; },
               item.help)
            ->type_name("");
    }
    app->add_flag("--json", given.json, "Print one JSON object instead of text");
    app->add_option("--batch", given.batch,
                    "Read one JSON object of inputs per line from FILE (- for standard input) "
                    "and print one JSON object per line");
}

// Applies the command line's inputs over the defaults; an error message or "".
std::string applyGiven(const Given &given, Inputs &in) {
    setToday(in);
    if (given.values.count("minute") && given.values.count("time"))
        return "--minute and --time give the same input; use one of them";
    for (const auto &[name, text] : given.values) {
        std::string error = setInput(in, name, text);
        if (!error.empty()) return error;
    }
    return "";
}

int runBatch(const Subcommand &sub, const Inputs &defaults, const std::string &path) {
    std::ifstream file;
    std::istream *input = &std::cin;
    if (path != "-") {
        file.open(path);
        if (!file) {
            std::fprintf(stderr, "telvor %s: --batch: cannot read '%s'\n", sub.name, path.c_str());
            return 2;
        }
        input = &file;
    }
    std::ios::sync_with_stdio(false);
    int status = 0;
    std::string line, out;
    while (std::getline(*input, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        Inputs in = defaults;
        nlohmann::json parsed = nlohmann::json::parse(line, nullptr, false);
        std::string error =
            parsed.is_discarded() ? "not a JSON object" : setInputsFromJson(in, parsed);
        if (!error.empty()) {
            out = "{\"error\": " + jsonString(error) + "}";
            status = 1;
        } else {
            out = sub.run(in).json();
        }
        std::cout << out << '\n';
    }
    std::cout.flush();
    return status;
}

} // namespace

int main(int argc, char **argv) {
    CLI::App app{"telvor: where on Earth the young crescent Moon can be seen after sunset"};
    app.require_subcommand(1);
    std::vector<Given> given(std::size(kSubcommands));
    std::vector<CLI::App *> apps;
    for (size_t i = 0; i < std::size(kSubcommands); ++i) {
        CLI::App *sub = app.add_subcommand(kSubcommands[i].name, kSubcommands[i].help);
        addInputOptions(sub, given[i]);
        apps.push_back(sub);
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp &e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp &e) {
        return app.exit(e);
    } catch (const CLI::ParseError &e) {
        std::string what = e.what();
        if (auto nl = what.find('\n'); nl != std::string::npos) what.resize(nl);
        std::fprintf(stderr, "telvor: %s (see telvor --help)\n", what.c_str());
        return 2;
    }
    for (size_t i = 0; i < apps.size(); ++i) {
        if (!apps[i]->parsed()) continue;
        const Subcommand &sub = kSubcommands[i];
        Inputs in;
        std::string error = applyGiven(given[i], in);
        if (!error.empty()) {
            std::fprintf(stderr, "telvor %s: %s\n", sub.name, error.c_str());
            return 2;
        }
        if (!given[i].batch.empty()) return runBatch(sub, in, given[i].batch);
        ResultRecord r = sub.run(in);
        std::fputs((given[i].json ? r.json() + "\n" : r.text()).c_str(), stdout);
        return 0;
    }
    return 2;
}
