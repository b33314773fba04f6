// telvor: the command-line tool that answers the engine's questions and renders the saver's
// pictures.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "display/display.h"
#include "shell/platform/window.h"
#ifdef TELVOR_HAS_ALMANAC
#include "tools/mapcmd.h"
#include "tools/sighting.h"
#endif
#include "tools/queries.h"
#include "tools/saverrun.h"

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

// The help of every input option; the option name is the key of batch lines too.
struct OptionHelp {
    const char *name;
    const char *help;
};
const OptionHelp kOptionHelp[] = {
    {"date", "Date YYYY-MM-DD, 1901-01-01..2099-12-31 (default: today's local date)"},
    {"minute", "Local clock minute, -1440..2879 (default 0)"},
    {"time", "Local clock time HH:MM, the same as --minute HH*60+MM"},
    {"zone", "Local time minus UT in minutes, -1440..1440 (default 0)"},
    {"lat", "Latitude in degrees, north positive, -90..90 (default 0)"},
    {"lon", "Longitude in degrees, east positive, -180..180 (default 0)"},
    {"height", "Sight height in metres, 0..9999 (default 0)"},
    {"probability", "Visibility probability in percent, 1..99 (default 50)"},
};

// Adds the named input options; their texts are kept in `given` and checked later.
void addValueOptions(CLI::App *app, Given &given, std::initializer_list<const char *> names,
                     const char *zoneHelp = nullptr) {
    for (const OptionHelp &o : kOptionHelp) {
        bool wanted = false;
        for (const char *n : names)
            wanted = wanted || std::string(n) == o.name;
        if (!wanted) continue;
        const std::string name = o.name;
        const char *help = (zoneHelp && name == "zone") ? zoneHelp : o.help;
        app->add_option_function<std::string>(
               "--" + name, [&given, name](const std::string &v) { given.values[name] = v; }, help)
            ->type_name("");
    }
}

void addInputOptions(CLI::App *app, Given &given,
                     std::initializer_list<const char *> names = {
                         "date", "minute", "time", "zone", "lat", "lon", "height", "probability"}) {
    addValueOptions(app, given, names);
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

// Options of the two commands that run the saver's animation.
struct SaverGiven {
    Given inputs;
    bool trace = false, preview = false, annotate = false;
    std::string size, cumulative, out, frames;
    int every = 1;
};

void addSaverOptions(CLI::App *app, SaverGiven &g, bool render) {
    addValueOptions(app, g.inputs, {"date", "zone", "height", "probability"},
                    "Local time minus UT in minutes, -1440..1440 (default: the local zone)");
    if (!render) {
        app->add_flag("--json", g.inputs.json, "Print the summary as one JSON object");
        app->add_flag("--trace", g.trace, "First print one JSON line per tick");
        return;
    }
    app->add_option("--size", g.size,
                    "Screen size WxH in pixels, 16..8192 each (default 1024x768)");
    app->add_flag("--preview", g.preview, "Draw as in the preview window: no status line");
    app->add_option("--cumulative", g.cumulative,
                    "on: keep earlier zones as faded marks (default); off: only the current one");
    app->add_option("--out", g.out, "Write the last frame of the lunation to FILE.png");
    app->add_option("--frames", g.frames, "Write every K-th frame as DIR/frame-NNNNNN.png");
    app->add_option("--every", g.every, "K for --frames, 1..100000 (default 1)");
    app->add_flag("--annotate", g.annotate,
                  "Write --out with a legend strip, the evening's date and the first visible "
                  "place marked (the frames stay as the saver draws them)");
}

std::string applySaverGiven(const SaverGiven &g, SaverRunOptions &o, bool render) {
    std::string error = applyGiven(g.inputs, o.inputs);
    if (!error.empty()) return error;
    o.zoneGiven = g.inputs.values.count("zone") != 0;
    if (!render) return "";
    o.width = 1024, o.height = 768;
    if (!g.size.empty()) {
        int w = 0, h = 0, used = 0;
        if (std::sscanf(g.size.c_str(), "%dx%d%n", &w, &h, &used) != 2 ||
            used != static_cast<int>(g.size.size()) || w < 16 || h < 16 || w > 8192 || h > 8192)
            return "--size: '" + g.size + "' is not WxH with each from 16 to 8192";
        o.width = w, o.height = h;
    }
    if (g.cumulative == "off")
        o.cumulative = 0;
    else if (!g.cumulative.empty() && g.cumulative != "on")
        return "--cumulative: '" + g.cumulative + "' is not on or off";
    if (g.every < 1 || g.every > 100000) return "--every: not a count from 1 to 100000";
    if (g.out.empty() && g.frames.empty()) return "--out FILE.png or --frames DIR is needed";
    if (!g.frames.empty() && !std::filesystem::is_directory(g.frames))
        return "--frames: '" + g.frames + "' is not a folder";
    o.preview = g.preview;
    return "";
}

int runLunationCommand(const SaverGiven &g) {
    SaverRunOptions o;
    std::string error = applySaverGiven(g, o, false);
    if (!error.empty()) {
        std::fprintf(stderr, "telvor lunation: %s\n", error.c_str());
        return 2;
    }
    TickObserver trace;
    if (g.trace)
        trace = [](int tick, const PixelBuffer *) { std::puts(traceRecord(tick).json().c_str()); };
    ResultRecord summary = runLunation(o, trace, error);
    if (!error.empty()) {
        std::fprintf(stderr, "telvor lunation: %s\n", error.c_str());
        return 1;
    }
    std::fputs((g.inputs.json || g.trace ? summary.json() + "\n" : summary.text()).c_str(), stdout);
    return 0;
}

int runRenderCommand(const SaverGiven &g) {
    SaverRunOptions o;
    std::string error = applySaverGiven(g, o, true);
    if (!error.empty()) {
        std::fprintf(stderr, "telvor render: %s\n", error.c_str());
        return 2;
    }
    const bool progress = isatty(2);
    std::string writeError;
    auto observer = [&](int tick, const PixelBuffer *frame) {
        if (progress && tick % 20 == 0) {
            const int done = tick * 40 / 2001;
            std::fprintf(stderr, "\r[%-40.*s] tick %d", done,
                         "########################################", tick);
        }
        if (!g.frames.empty() && frame && tick % g.every == 0 && writeError.empty()) {
            char name[32];
            std::snprintf(name, sizeof name, "/frame-%06d.png", tick);
            writePng(g.frames + name, *frame, writeError);
        }
    };
    FirstVisiblePlace place;
    runLunation(o, observer, error, &place);
    if (progress) std::fputs("\n", stderr);
    if (error.empty()) error = writeError;
    if (error.empty() && !g.out.empty()) {
        PixelBuffer last{};
        if (!platformWindowPixels(saverMode == FullScreen ? saverWindow : targetWindow, &last))
            error = "no frame was painted";
        else if (!g.annotate)
            writePng(g.out, last, error);
        else
            writeAnnotatedPng(g.out, last, place, o.cumulative != 0, error);
    }
    if (!error.empty()) {
        std::fprintf(stderr, "telvor render: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

// One question for the command line's inputs, or for every line of its batch.
int runQuestion(const Subcommand &sub, const Given &given) {
    Inputs in;
    std::string error = applyGiven(given, in);
    if (!error.empty()) {
        std::fprintf(stderr, "telvor %s: %s\n", sub.name, error.c_str());
        return 2;
    }
    if (!given.batch.empty()) return runBatch(sub, in, given.batch);
    ResultRecord r = sub.run(in);
    std::fputs((given.json ? r.json() + "\n" : r.text()).c_str(), stdout);
    return 0;
}

#ifdef TELVOR_HAS_ALMANAC
const Subcommand kSighting{
    "sighting",
    "Sunset, moonset, best time and the crescent by Yallop's and Odeh's criteria for one place "
    "and evening (precise Sun and Moon)",
    runSighting};

struct MapGiven {
    Given inputs;
    MapCommand command;
};

void addMapOptions(CLI::App *app, MapGiven &g) {
    addValueOptions(app, g.inputs, {"date", "height"});
    MapCommand &c = g.command;
    app->add_option("--criterion", c.criterion,
                    "yallop (default), odeh or telvor (the saver's test)");
    app->add_option("--step", c.step, "Cell size in degrees, dividing 180 (default 0.25)");
    app->add_option("--out", c.out, "Write the map's picture to FILE.png");
    app->add_option("--csv", c.csv, "Write one line per cell: lat,lon,value,class,bestTime");
    app->add_option("--geojson", c.geojson, "Write the class regions as GeoJSON polygons");
    app->add_option("--threads", c.threads, "Worker threads, 0..1024 (default 0: one per core)");
    app->add_option("--size", c.size, "Picture size WxH in pixels (default: a 1440x720 map)");
}

int runMap(MapGiven &g) {
    std::string error = applyGiven(g.inputs, g.command.inputs);
    if (!error.empty()) {
        std::fprintf(stderr, "telvor map: %s\n", error.c_str());
        return 2;
    }
    return runMapCommand(g.command);
}
#endif

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
    SaverGiven lunation, render;
    CLI::App *lunationApp = app.add_subcommand(
        "lunation", "Run the saver's animation headless for one lunation and summarise it");
    addSaverOptions(lunationApp, lunation, false);
    CLI::App *renderApp = app.add_subcommand(
        "render", "Run the saver headless for one lunation and write its pictures as PNG");
    addSaverOptions(renderApp, render, true);
#ifdef TELVOR_HAS_ALMANAC
    MapGiven map;
    CLI::App *mapApp = app.add_subcommand(
        "map", "The crescent's visibility over the world on one evening: picture, CSV, GeoJSON");
    addMapOptions(mapApp, map);
    Given sightingGiven;
    CLI::App *sightingApp = app.add_subcommand(kSighting.name, kSighting.help);
    addInputOptions(sightingApp, sightingGiven,
                    {"date", "zone", "lat", "lon", "height", "probability"});
#endif
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
    if (lunationApp->parsed()) return runLunationCommand(lunation);
    if (renderApp->parsed()) return runRenderCommand(render);
#ifdef TELVOR_HAS_ALMANAC
    if (mapApp->parsed()) return runMap(map);
    if (sightingApp->parsed()) return runQuestion(kSighting, sightingGiven);
#endif
    for (size_t i = 0; i < apps.size(); ++i)
        if (apps[i]->parsed()) return runQuestion(kSubcommands[i], given[i]);
    return 2;
}
