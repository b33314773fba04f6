// telvor: the command-line tool that answers the engine's questions and renders the saver's
// pictures.
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "display/display.h"
#include "shell/platform/window.h"
#ifdef TELVOR_HAS_ALMANAC
#include "tools/calendarcmd.h"
#include "tools/mapcmd.h"
#include "tools/placeopts.h"
#include "tools/sighting.h"
#endif
#ifdef TELVOR_HAS_SKY
#include "tools/skycmd.h"
#endif
#ifdef TELVOR_HAS_OBSLOG
#include "tools/observe.h"
#endif
#include "tools/commandline.h"
#include "tools/output.h"
#include "tools/queries.h"
#include "tools/saverrun.h"
#include "tools/telvormain.h"

// render writes the saver's own frames, as our own GDI draws them headless (in telvor.exe too).
#ifdef TELVOR_HAS_PNG
#define TELVOR_HAS_RENDER
#endif

namespace {

using Question = std::function<ResultRecord(const Inputs &)>;
// A check of one batch line's inputs beyond their ranges: "" or the line's error.
using LineCheck = std::function<std::string(const Inputs &)>;

// An option error: printed as "telvor sub: message", exit code 2.
int badOption(const Subcommand &sub, const std::string &message) {
    printError(std::string("telvor ") + sub.name, message);
    return 2;
}
// A failure while working: exit code 1.
int failed(const Subcommand &sub, const std::string &message) {
    printError(std::string("telvor ") + sub.name, message);
    return 1;
}

// Applies the given engine inputs over today's date and the defaults; an error message or "".
std::string applyInputs(const Given &given, Inputs &in) {
    setToday(in);
    if (given.has("minute") && given.has("time"))
        return "--minute and --time give the same input; use one of them";
    for (const auto &[name, text] : given.values) {
        const OptionRule *o = findOption(name);
        if (!o || !o->input) continue;
        std::string error = setInput(in, name, text);
        if (!error.empty()) return error;
    }
    return "";
}

// Reads the batch lines from `file`, one answer per line. Returns the exit code.
int answerLines(const Subcommand &sub, const Question &question, const Inputs &defaults, FILE *file,
                const std::string &shownName, const LineCheck &check) {
    int status = 0;
    std::string pending;
    std::vector<char> buffer(1 << 16);
    auto answer = [&](std::string line) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        Inputs in = defaults;
        std::string error;
        if (line.find('\0') != std::string::npos)
            error = "a line holds a NUL byte";
        else {
            nlohmann::json parsed = nlohmann::json::parse(line, nullptr, false);
            error = parsed.is_discarded() ? "not a JSON object" : setInputsFromJson(in, parsed);
            if (error.empty() && check) error = check(in);
        }
        std::string out;
        if (!error.empty()) {
            out = "{\"error\": " + jsonString(error) + "}";
            status = 1;
        } else {
            resolveZone(in);
            out = question(in).json();
        }
        return writeOutput(out + "\n");
    };
    for (;;) {
        errno = 0;
        const size_t got = std::fread(buffer.data(), 1, buffer.size(), file);
        if (got == 0) break;
        pending.append(buffer.data(), got);
        size_t start = 0;
        for (size_t nl; (nl = pending.find('\n', start)) != std::string::npos; start = nl + 1)
            if (!answer(pending.substr(start, nl - start))) return status;
        pending.erase(0, start);
    }
    if (std::ferror(file))
        return failed(sub, "--batch: cannot read " + quoteValue(shownName) + ": " +
                               systemError(errno ? errno : EIO));
    if (!pending.empty()) answer(pending); // a last line without its newline
    return status;
}

int runBatch(const Subcommand &sub, const Question &question, const Inputs &defaults,
             const std::string &path, const LineCheck &check = {}) {
    if (path == "-") return answerLines(sub, question, defaults, stdin, "-", check);
    std::error_code ec;
    if (path.empty()) return badOption(sub, "--batch: '' names no file");
    if (std::filesystem::is_directory(path, ec))
        return badOption(sub, "--batch: " + quoteValue(path) + " is a folder, not a file");
    errno = 0;
    FILE *file = std::fopen(path.c_str(), "rb");
    if (!file)
        return badOption(sub, "--batch: cannot read " + quoteValue(path) + ": " +
                                  systemError(errno ? errno : ENOENT));
    const int status = answerLines(sub, question, defaults, file, path, check);
    std::fclose(file);
    return status;
}

int runQuestion(const Subcommand &sub, const Given &given, Question question) {
    Inputs in;
    std::string error = applyInputs(given, in);
    if (!error.empty()) return badOption(sub, error);
    if (given.has("batch")) return runBatch(sub, question, in, given.value("batch"));
    resolveZone(in);
    const ResultRecord r = question(in);
    writeOutput(given.has("json") ? r.json() + "\n" : r.text());
    return 0;
}

// The options of the two commands that run the saver's animation, checked; exit code 2 on error.
int applySaverOptions(const Subcommand &sub, const Given &given, SaverRunOptions &o) {
    std::string error = applyInputs(given, o.inputs);
    if (!error.empty()) return badOption(sub, error);
    o.zoneGiven = o.inputs.zoneGiven;
    if (!o.zoneGiven) o.inputs.zone = localZoneOffsetMinutes(); // as the saver reads it
    if (given.has("hijri")) {
        if (given.has("date"))
            return badOption(sub, "--hijri and --date both choose the lunation; use one of them");
        int year = 0, month = 0;
        error = parseLunarMonth("hijri", given.value("hijri"), year, month);
        if (error.empty()) error = findLunationOfMonth(year, month, o.inputs);
        if (!error.empty()) return badOption(sub, error);
    }
    o.width = 1024, o.height = 768;
    if (given.has("size")) error = parseSize("size", given.value("size"), o.width, o.height);
    if (error.empty() && given.has("cumulative")) {
        bool on = true;
        error = parseOnOff("cumulative", given.value("cumulative"), on);
        o.cumulative = on ? 1 : 0;
    }
    o.preview = given.has("preview");
    return error.empty() ? 0 : badOption(sub, error);
}

int runLunationCommand(const Subcommand &sub, const Given &given) {
    SaverRunOptions o;
    if (int code = applySaverOptions(sub, given, o)) return code;
    o.pictures = false; // the summary and the trace say nothing of the pixels
    TickObserver trace;
    if (given.has("trace"))
        trace = [](int tick, const PixelBuffer *) { writeOutput(traceRecord(tick).json() + "\n"); };
    std::string error;
    ResultRecord summary = runLunation(o, trace, error);
    if (!error.empty()) return failed(sub, error);
    if (given.has("hijri")) summary.addString("hijri", given.value("hijri"));
    writeOutput(given.has("json") || given.has("trace") ? summary.json() + "\n" : summary.text());
    return 0;
}

#ifdef TELVOR_HAS_RENDER
int runRenderCommand(const Subcommand &sub, const Given &given) {
    SaverRunOptions o;
    if (int code = applySaverOptions(sub, given, o)) return code;
    long every = 1;
    if (given.has("every")) {
        std::string error = parseInteger("every", given.value("every"), every);
        if (!error.empty()) return badOption(sub, error);
    }
    const std::string out = given.has("out") ? given.value("out") : "";
    const std::string frames = given.has("frames") ? given.value("frames") : "";
    if (!given.has("out") && !given.has("frames"))
        return badOption(sub, "--out FILE.png or --frames DIR is needed");
    if (given.has("annotate") && !given.has("out"))
        return badOption(sub, "--annotate needs --out FILE.png, the picture it annotates");
    // Paths that cannot be written are refused before the lunation runs.
    WholeFile last;
    if (const std::string problem = pngPathProblem(out); !problem.empty())
        return badOption(sub, "--out: " + quoteValue(out) + ": " + problem);
    if (given.has("out")) {
        std::string reason = last.open(out);
        if (!reason.empty())
            return badOption(sub, "--out: cannot write " + quoteValue(out) + ": " + reason);
    }
    if (given.has("frames")) {
        std::error_code ec;
        if (!std::filesystem::is_directory(frames, ec))
            return badOption(sub, "--frames: " + quoteValue(frames) + " is not a folder");
        WholeFile probe;
        std::string reason = probe.open(frames + "/frame-probe.png");
        if (!reason.empty())
            return badOption(sub,
                             "--frames: cannot write in " + quoteValue(frames) + ": " + reason);
    }
    const bool quiet = given.has("quiet");
    if (given.has("hijri") && !quiet)
        writeOutput("lunation " + given.value("hijri") + " from --date " +
                    isoDate(o.inputs.year, o.inputs.month, o.inputs.day) + "\n");

    const bool progress = !quiet && stderrIsTerminal();
    std::string writeError;
    auto observer = [&](int tick, const PixelBuffer *frame) {
        if (progress && tick % 20 == 0) {
            const int done = tick * 40 / 2001;
            std::fprintf(stderr, "\r[%-40.*s] tick %d", done,
                         "########################################", tick);
        }
        if (!frames.empty() && frame && tick % every == 0 && writeError.empty()) {
            char name[32];
            std::snprintf(name, sizeof name, "/frame-%06d.png", tick);
            writePng(frames + name, *frame, writeError);
        }
    };
    std::string error;
    FirstVisiblePlace place;
    runLunation(o, observer, error, &place);
    if (progress) std::fputs("\n", stderr);
    if (error.empty()) error = writeError;
    if (error.empty() && !out.empty()) {
        PixelBuffer frame{};
        std::string reason;
        if (!platformWindowPixels(saverMode == FullScreen ? saverWindow : targetWindow, &frame))
            error = "no frame was painted";
        else if (!(given.has("annotate")
                       ? writeAnnotatedPngTo(last.file(), frame, place, o.cumulative != 0, reason)
                       : writePngTo(last.file(), frame, reason)) ||
                 !(reason = last.commit()).empty())
            error = "cannot write " + quoteValue(out) + ": " + reason;
    }
    return error.empty() ? 0 : failed(sub, error);
}
#endif

#ifdef TELVOR_HAS_ALMANAC
int runMap(const Subcommand &sub, const Given &given) {
    MapCommand c;
    c.inputs.years = sub.years;
    std::string error = applyInputs(given, c.inputs);
    if (given.has("criterion")) c.criterion = given.value("criterion");
    if (error.empty() && given.has("step"))
        error = parseNumber("step", given.value("step"), c.step);
    long threads = 0;
    if (error.empty() && given.has("threads"))
        error = parseInteger("threads", given.value("threads"), threads);
    ResolvedPlace where;
    if (error.empty() && given.has("place"))
        error = resolvePlaceOptions(given, PlaceNeed::Optional, where);
    if (!error.empty()) return badOption(sub, error);
    if (where.given) c.markLabel = where.city, c.markLat = where.lat, c.markLon = where.lon;
    c.threads = static_cast<int>(threads);
    for (auto [name, field] : {std::pair{"out", &c.out}, std::pair{"csv", &c.csv},
                               std::pair{"geojson", &c.geojson}, std::pair{"size", &c.size}})
        if (given.has(name)) *field = given.value(name);
    return runMapCommand(c);
}

int runSightingCommand(const Subcommand &sub, const Given &given) {
    const bool batch = given.has("batch");
    ResolvedPlace where;
    std::string error =
        resolvePlaceOptions(given, batch ? PlaceNeed::PerLine : PlaceNeed::Required, where);
    Inputs in;
    in.years = sub.years;
    if (error.empty()) error = applyInputs(given, in);
    if (!error.empty()) return badOption(sub, error);
    if (where.given) in.lat = where.lat, in.lon = where.lon, in.latGiven = in.lonGiven = true;
    SightingRun run(where, given.has("morning"));
    const Question question = [&run](const Inputs &i) { return run.record(i); };
    if (batch)
        return runBatch(sub, question, in, given.value("batch"), [](const Inputs &i) {
            return i.latGiven && i.lonGiven
                       ? std::string()
                       : std::string("a place is needed: \"lat\" and \"lon\" (or --lat/--lon, "
                                     "--place on the command line)");
        });
    writeOutput(given.has("json") ? run.record(in).json() + "\n"
                                  : run.text(in, given.has("quiet")));
    return 0;
}

#ifdef TELVOR_HAS_SKY
const auto kSkyRun = runSkyCommand;
#else
// The chart draws with Cairo and Pango, which have no static mingw-w64 build here.
int runSkyLeftOut(const Subcommand &sub, const Given &) {
    return failed(sub, "the sky chart is not in this build (it draws with Cairo and Pango, which "
                       "are not built for Windows)");
}
const auto kSkyRun = runSkyLeftOut;
#endif

#endif

const std::vector<const char *> kQuestionOptions = {
    "date", "minute", "time", "zone", "lat", "lon", "height", "probability", "json", "batch"};

std::vector<Subcommand> subcommands() {
    return {
        {"sun", "The Sun's position for a date, clock minute and place, and the solar queries",
         kQuestionOptions,
         [](const Subcommand &s, const Given &g) { return runQuestion(s, g, runSun); }},
        {"moon",
         "The Moon's position, the crescent and its visibility code for a date, minute and place",
         kQuestionOptions,
         [](const Subcommand &s, const Given &g) { return runQuestion(s, g, runMoon); }},
        {"month", "The day before the Moon reaches 8 degrees of elongation, and its Hijri month",
         kQuestionOptions,
         [](const Subcommand &s, const Given &g) { return runQuestion(s, g, runMonth); }},
        {"lunation",
         "Run the saver's animation headless for one lunation and summarise it",
         {"date", "hijri", "zone", "height", "probability", "json", "trace"},
         runLunationCommand},
#ifdef TELVOR_HAS_RENDER
        {"render",
         "Run the saver headless for one lunation and write its pictures as PNG",
         {"date", "hijri", "zone", "height", "probability", "size", "preview", "cumulative", "out",
          "frames", "every", "annotate", "quiet"},
         runRenderCommand},
#endif
#ifdef TELVOR_HAS_ALMANAC
        {"map",
         "The crescent's visibility over the world on one evening: picture, CSV, GeoJSON",
         {"date", "height", "criterion", "step", "out", "csv", "geojson", "threads", "size",
          "place"},
         runMap,
         kAlmanacYears},
        {"calendar",
         "The Hijri year's months: conjunction, first sighting and first day by a rule",
         {"year", "rule", "region", "compare", "place", "lat", "lon", "height", "adjust", "lang",
          "json", "step", "threads"},
         runCalendar},
        {"date",
         "The Hijri date of a civil date [YYYY-MM-DD [HH:MM]] by a rule, or the civil date of a "
         "Hijri date YYYY-MM-DD",
         {"rule", "region", "place", "lat", "lon", "height", "tz", "zone", "adjust", "lang", "json",
          "step", "threads"},
         runDate},
        {"sighting",
         "Sunset, moonset, best time and the crescent by Yallop's and Odeh's criteria for one "
         "place and evening (precise Sun and Moon)",
         {"date", "place", "lat", "lon", "tz", "zone", "height", "morning", "json", "quiet",
          "batch"},
         runSightingCommand,
         kAlmanacYears},
        {"sky",
         "A chart of the western sky after sunset (the eastern before sunrise with --morning): "
         "the Sun, the crescent as it stands and the criteria (PNG, frames or an animated GIF)",
         {"date", "place", "lat", "lon", "tz", "zone", "height", "morning", "time", "best", "out",
          "size", "frames", "animate"},
         kSkyRun},
#endif
#ifdef TELVOR_HAS_OBSLOG
        {"observe",
         "Record an observation of the crescent in the log, import a CSV file of them, or list "
         "the log",
         {"date", "place", "lat", "lon", "height", "time", "tz", "zone", "result", "sky",
          "observer", "note", "db", "list", "format", "json", "import", "skip-bad"},
         runObserveCommand},
        {"score",
         "Score the crescent criteria against the observations of the log or a CSV file",
         {"db", "csv", "criteria", "sky", "aid", "json", "worst", "probability", "sweep", "plot",
          "skip-bad", "threads"},
         runScoreCommand},
#endif
    };
}

} // namespace

// What this build leaves out, for the help text.
#if !defined(TELVOR_HAS_PNG) && !defined(TELVOR_HAS_ALMANAC)
#define TELVOR_LEFT_OUT                                                                            \
    "\n(This build has no render, map, calendar or sighting subcommand: libpng and ERFA "          \
    "are not available for it.)"
#elif defined(_WIN32) && defined(TELVOR_HAS_OBSLOG)
#define TELVOR_LEFT_OUT                                                                            \
    "\n(On Windows there is no sky chart: Cairo and Pango are not built for Windows here, and "    \
    "sky says so; --place knows the built-in cities only, --tz is refused (no tz database: give "  \
    "--zone), and month names are the English transliterations.)"
#elif defined(_WIN32)
#define TELVOR_LEFT_OUT                                                                            \
    "\n(On Windows there is no sky chart: Cairo and Pango are not built for Windows here, and "    \
    "sky says so; nor are there observe and score (SQLite was not built); --place knows the "      \
    "built-in cities only, --tz is refused (no tz database: give --zone), and month names are "    \
    "the English transliterations.)"
#else
#define TELVOR_LEFT_OUT ""
#endif

int telvorMain(int argc, char **argv) {
#ifdef _WIN32
    // The same bytes as elsewhere: no CR added before each line feed.
    _setmode(_fileno(stdout), _O_BINARY);
    useUtf8Console();
#endif
    const std::vector<Subcommand> subs = subcommands();
    CLI::App app{
        "telvor: where on Earth the young crescent Moon can be seen after sunset" TELVOR_LEFT_OUT};
    app.require_subcommand(1);
    app.set_version_flag("-V,--version", std::string("telvor ") + TELVOR_VERSION);
    std::vector<Given> given(subs.size());
    std::vector<CLI::App *> apps;
    for (size_t i = 0; i < subs.size(); ++i) {
        CLI::App *sub = app.add_subcommand(subs[i].name, subs[i].help);
        addTableOptions(sub, subs[i], given[i]);
        if (std::string(subs[i].name) == "date") sub->allow_extras(); // its date and time
        apps.push_back(sub);
    }
    std::string shell;
    CLI::App *completion =
        app.add_subcommand("completion", "Print the shell completion script for bash, zsh or fish");
    completion->add_option("shell", shell, "bash, zsh or fish")->required();

    const std::vector<std::string> args(argv + 1, argv + argc);
    int code = 2;
    try {
        app.parse(argc, argv);
        if (completion->parsed()) {
            const std::string script = completionScript(shell, subs);
            if (script.empty()) {
                printError("telvor completion", quoteValue(shell) + " is not bash, zsh or fish");
                return 2;
            }
            writeOutput(script);
            code = 0;
        }
        for (size_t i = 0; i < apps.size(); ++i)
            if (apps[i]->parsed()) {
                given[i].positionals = apps[i]->remaining();
                code = subs[i].run(subs[i], given[i]);
            }
    } catch (const CLI::CallForHelp &e) {
        code = app.exit(e);
    } catch (const CLI::CallForAllHelp &e) {
        code = app.exit(e);
    } catch (const CLI::CallForVersion &e) {
        code = app.exit(e);
    } catch (const CLI::ParseError &e) {
        printError("telvor", parseErrorMessage(e, args, subs) + " (see telvor --help)");
        return 2;
    }
    const std::string error = finishOutput();
    if (!error.empty()) {
        printError("telvor", "cannot write the output: " + error);
        return 1;
    }
    return code;
}
