// Tests of the telvor tool's behaviour at its edges: failed reads and writes, strict values, the
// defaults and the inputs in every answer, the command-line conventions and the choice of a
// lunation by its lunar month.
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/cli_run.h"

namespace {

void expectOneLineError(const Outcome &r, int code, const std::string &what) {
    EXPECT_EQ(r.code, code) << what << ": " << r.err;
    EXPECT_TRUE(oneLine(r.err)) << what << ": [" << r.err << "]";
}

size_t filesIn(const std::string &dir) {
    size_t n = 0;
    for (const auto &entry : std::filesystem::directory_iterator(dir))
        n += entry.is_regular_file();
    return n;
}

// --- Reads and writes that fail are errors --------------------------------------------------

TEST(CliIo, FailedWritesAndReadsAreErrors) {
    // Standard output on a full device.
    const std::string dir = scratchFolder();
    for (const char *args : {"moon --lat 1", "sun --json", "month --date 2000-01-01",
                             "moon --batch - --date 2000-01-01", "--version", "moon --help"}) {
        std::ofstream(dir + "/in") << "{\"lat\": 1}\n";
        const std::string cmd = "env TZ=UTC0 " + std::string(TELVOR_BIN) + " " + args + " <" + dir +
                                "/in >/dev/full 2>" + dir + "/err";
        const int status = std::system(cmd.c_str());
        ASSERT_TRUE(WIFEXITED(status)) << args;
        EXPECT_EQ(WEXITSTATUS(status), 1) << args;
        const std::string err = slurp(dir + "/err");
        EXPECT_TRUE(oneLine(err)) << args << ": " << err;
        EXPECT_NE(err.find("cannot write the output"), std::string::npos) << args << ": " << err;
    }
    std::filesystem::remove(dir + "/in");
    std::filesystem::remove(dir + "/err");
    // A batch file that names no readable file is a bad option.
    for (const std::string &path : {dir, std::string("''"), dir + "/missing"}) {
        Outcome r = telvor("moon --batch " + path);
        expectOneLineError(r, 2, "--batch " + path);
        EXPECT_EQ(r.out, "");
    }
    // Reading a folder as standard input fails while reading.
    const std::string cmd =
        std::string(TELVOR_BIN) + " moon --batch - <" + dir + " >/dev/null 2>" + dir + ".err";
    const int status = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_TRUE(oneLine(slurp(dir + ".err"))) << slurp(dir + ".err");
    std::filesystem::remove(dir + ".err");
    std::filesystem::remove_all(dir);
}

TEST(CliIo, RenderWritesAWholePictureOrNone) {
    const std::string dir = scratchFolder();
    // Refused before the lunation runs: a missing folder, a folder as the file.
    for (const std::string &out : {dir + "/none/x.png", dir}) {
        Outcome r = telvor("render --date 2024-06-15 --out " + out);
        expectOneLineError(r, 2, out);
        EXPECT_NE(r.err.find("--out"), std::string::npos) << r.err;
    }
    Outcome r = telvor("render --date 2024-06-15 --frames " + dir + "/none");
    expectOneLineError(r, 2, "--frames into a missing folder");
    EXPECT_EQ(filesIn(dir), 0u);

    // A file size limit stands for a full disk: our one line, no libpng line, no file left.
    const std::string full = "sh -c \"trap '' XFSZ; ulimit -f 8; exec " + std::string(TELVOR_BIN) +
                             " render --date 2024-06-15 --zone 0 --size 320x240 --out " + dir +
                             "/y.png\" 2>" + dir + "/err";
    const int status = std::system(full.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    const std::string err = slurp(dir + "/err");
    EXPECT_TRUE(oneLine(err)) << err;
    EXPECT_EQ(err.find("libpng"), std::string::npos) << err;
    EXPECT_NE(err.find("y.png"), std::string::npos) << err;
    std::filesystem::remove(dir + "/err");
    EXPECT_FALSE(std::filesystem::exists(dir + "/y.png"));
    EXPECT_EQ(filesIn(dir), 0u) << "a temporary file was left";
    std::filesystem::remove_all(dir);
}

// An output path that is a link or not a regular file: the link stays and its file is written;
// a FIFO or a device is written through, never replaced by a file.
TEST(CliIo, OutputThroughLinksFifosAndDevices) {
    namespace fs = std::filesystem;
    const std::string dir = scratchFolder();
    const std::string render = "render --date 2024-06-15 --zone 0 --size 160x120 --out ";
    const std::string png("\x89PNG", 4);
    std::ofstream(dir + "/real.png") << "old";
    fs::create_symlink("real.png", dir + "/link.png");
    fs::create_symlink("made.png", dir + "/dangling.png");
    for (const char *name : {"link.png", "dangling.png"}) {
        Outcome r = telvor(render + dir + "/" + name);
        EXPECT_EQ(r.code, 0) << name << ": " << r.err;
        EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir + "/" + name))) << name;
    }
    EXPECT_EQ(slurp(dir + "/real.png").substr(0, 4), png) << "the file behind the link";
    EXPECT_EQ(slurp(dir + "/made.png").substr(0, 4), png) << "the file a dangling link names";

    ASSERT_EQ(mkfifo((dir + "/fifo").c_str(), 0600), 0);
    // The reader gives up after a while, so a tool that never opens the FIFO cannot hang the test.
    const std::string fifo = "sh -c 'timeout 30 cat " + dir + "/fifo >" + dir + "/got & " +
                             std::string(TELVOR_BIN) + " " + render + dir +
                             "/fifo; s=$?; wait; exit $s'";
    int status = std::system(fifo.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(fs::is_fifo(dir + "/fifo")) << "the FIFO was replaced";
    EXPECT_EQ(slurp(dir + "/got").substr(0, 4), png) << "the picture through the FIFO";

    // A full device (made here, so that a fault cannot replace the system's /dev/full): the
    // write fails and the device stays.
    if (mknod((dir + "/full").c_str(), S_IFCHR | 0600, makedev(1, 7)) == 0) {
        Outcome r = telvor(render + dir + "/full");
        expectOneLineError(r, 1, "a full device");
        EXPECT_TRUE(fs::is_character_file(dir + "/full")) << "the device was replaced";
    }
    for (const auto &entry : fs::directory_iterator(dir))
        EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
    fs::remove_all(dir);
}

// --- Strict values ---------------------------------------------------------------------------

TEST(CliStrict, ValuesAreReadWholeOrRefused) {
    // A NUL byte inside a value or after the object is refused, not read up to the NUL.
    std::string input = "{\"minute\": \"12\\u0000xyz\"}\n";
    input += std::string("{\"minute\": 12}") + '\0' + "\n";
    input += "{\"lat\": \"4\\u00005\"}\n";
    input += "{\"minute\": 12, \"time\": \"00:12\"}\n";
    input += "{\"minute\": 12}\n";
    Outcome r = telvor("moon --date 2000-01-01 --batch -", input);
    EXPECT_EQ(r.code, 1);
    std::istringstream lines(r.out);
    std::vector<nlohmann::json> out;
    for (std::string line; std::getline(lines, line);)
        out.push_back(nlohmann::json::parse(line));
    ASSERT_EQ(out.size(), 5u) << r.out;
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(out[i].contains("error")) << "line " << i + 1 << ": " << out[i];
    EXPECT_EQ(out[4]["input"]["minute"], 12);

    for (const char *args :
         {"--time -0:30",      "--time=-0:30",         "--time +1:30",      "--time ' 1:30'",
          "--time '1: 5'",     "--time 1:5",           "--time 100:00",     "--time 12:30x",
          "--date +024-01-01", "--date ' 2024-01-01'", "--date 2024-01-1x", "--date 2024-1-015",
          "--date 2024/01/01", "--minute ' 5'",        "--minute 5.0",      "--minute 0x10",
          "--lat 0x1p3",       "--lat ' 5'",           "--lat 5e",          "--lat .",
          "--lat 1e999",       "--height +-1"}) {
        Outcome bad = telvor(std::string("moon ") + args);
        expectOneLineError(bad, 2, args);
    }
    // Tiny numbers in range are numbers.
    for (const char *args : {"--lat 1e-310", "--lon -4.9e-324", "--lat +5", "--time 7:05"}) {
        Outcome ok = telvor(std::string("moon --date 2000-01-01 ") + args);
        EXPECT_EQ(ok.code, 0) << args << ": " << ok.err;
    }
    // The value as given, control characters escaped, on one line.
    Outcome nl = telvor("moon --lon=\"$(printf '5\\nx')\"");
    expectOneLineError(nl, 2, "newline in a value");
    EXPECT_NE(nl.err.find("'5\\nx'"), std::string::npos) << nl.err;
}

// --- Defaults and the inputs of every answer ---------------------------------------------------

TEST(CliDefaults, LocalZoneAndTheInputsUsed) {
    const std::string berlin = "TZ=CET-1CEST,M3.5.0,M10.5.0/3";
    struct Case {
        const char *args;
        int zone;
    } cases[] = {
        {"moon --date 2024-07-01 --time 20:00 --json", 120},
        {"moon --date 2024-01-15 --time 20:00 --json", 60},
        {"sun --date 2024-07-01 --json", 120},
        {"month --date 2024-01-15 --json", 60},
        {"month --date 2024-07-01 --zone -30 --json", -30},
    };
    for (const Case &c : cases) {
        Outcome r = telvorIn(berlin, c.args);
        ASSERT_EQ(r.code, 0) << c.args << r.err;
        auto j = nlohmann::json::parse(r.out);
        EXPECT_EQ(j["input"]["zone"], c.zone) << c.args;
    }
    // Batch lines: each line's own date decides daylight saving.
    Outcome b = telvorIn(berlin, "month --batch -",
                         "{\"date\": \"2024-01-15\"}\n{\"date\": \"2024-07-01\"}\n");
    ASSERT_EQ(b.code, 0) << b.err;
    std::istringstream lines(b.out);
    std::string first, second;
    std::getline(lines, first);
    std::getline(lines, second);
    EXPECT_EQ(nlohmann::json::parse(first)["input"]["zone"], 60);
    EXPECT_EQ(nlohmann::json::parse(second)["input"]["zone"], 120);

    // Every input used, in this order, with the value that was used.
    Outcome r = telvor("moon --date 2024-06-15 --time 20:00 --lat 40.5 --lon -3 --height 12 "
                       "--probability 60 --zone 0 --json");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("\"input\": {\"date\":\"2024-06-15\",\"minute\":1200,\"zone\":0,"
                         "\"lat\":40.5,\"lon\":-3.0,\"height\":12,\"probability\":60}"),
              std::string::npos)
        << r.out;
    Outcome l = telvorIn("TZ=IST-5:30", "lunation --date 2024-06-15 --json");
    ASSERT_EQ(l.code, 0) << l.err;
    auto lj = nlohmann::json::parse(l.out);
    EXPECT_EQ(lj["input"]["zone"], 330) << "the saver's own zone";
    EXPECT_EQ(lj["input"]["date"], "2024-06-15");

    // Text gives each value's unit.
    Outcome sun = telvor("sun --date 2000-01-01 --minute 719");
    for (const char *line :
         {"querySunAzimuth        1777 tenths of a degree\n", " rad (not reduced)\n"})
        EXPECT_NE(sun.out.find(line), std::string::npos) << line << "\n" << sun.out;
    Outcome moon = telvor("moon --date 2024-06-15 --minute 1200 --lat 40");
    EXPECT_NE(moon.out.find("0.298660278 turn\n"), std::string::npos) << moon.out;
    EXPECT_NE(moon.out.find("403.182159 thousand km\n"), std::string::npos) << moon.out;
}

// --- Conventions -----------------------------------------------------------------------------

TEST(CliConventions, VersionNamesAndMessages) {
    for (const char *args : {"--version", "-V"}) {
        Outcome r = telvor(args);
        EXPECT_EQ(r.code, 0) << args;
        EXPECT_EQ(r.out.rfind("telvor ", 0), 0u) << r.out;
    }
    struct Case {
        const char *args, *expected;
    } cases[] = {
        {"sunn", "no command 'sunn' (did you mean 'sun'?)"},
        {"rendr --out x.png", "no command 'rendr' (did you mean 'render'?)"},
        {"moon --lat", "--lat needs a value"},
        {"moon --latt 4", "unknown option '--latt' (did you mean '--lat'?)"},
        {"moon extra", "unexpected argument 'extra'"},
        {"--latt 4", "unknown option '--latt'; a command comes first"},
        {"moon --json=maybe", "--json takes no value"},
        {"", "a command is needed"},
        {"lunation --hijri 1445-13", "--hijri: '1445-13' is not a lunar month YYYY-MM"},
        {"lunation --hijri 1445-09 --date 2024-01-01", "--hijri and --date"},
    };
    for (const Case &c : cases) {
        Outcome r = telvor(c.args);
        expectOneLineError(r, 2, c.args);
        EXPECT_NE(r.err.find(c.expected), std::string::npos) << c.args << ": " << r.err;
        EXPECT_EQ(r.err.find("required"), std::string::npos) << r.err;
    }
    Outcome help = telvor("render --help");
    for (const char *shown :
         {"--date YYYY-MM-DD", "--out FILE.png", "--size WxH", "--hijri YYYY-MM", "--quiet"})
        EXPECT_NE(help.out.find(shown), std::string::npos) << shown;
    help = telvor("moon --help");
    for (const char *shown : {"--lat DEG", "--batch FILE", "--time HH:MM"})
        EXPECT_NE(help.out.find(shown), std::string::npos) << shown;
}

TEST(CliConventions, OneRangeTextForParserBatchAndHelp) {
    // The accepted range reads the same in an option's error, a batch line's error and the help.
    const std::string range = "degrees from -90 to 90";
    EXPECT_NE(telvor("moon --lat 95").err.find(range), std::string::npos);
    EXPECT_NE(telvor("moon --batch -", "{\"lat\": 95}\n").out.find(range), std::string::npos);
    EXPECT_NE(telvor("moon --help").out.find(range), std::string::npos);
}

TEST(CliConventions, CompletionScriptsParse) {
    const std::string dir = scratchFolder();
    for (const char *shell : {"bash", "zsh", "fish"}) {
        Outcome r = telvor(std::string("completion ") + shell);
        ASSERT_EQ(r.code, 0) << shell;
        for (const char *word : {"lunation", "probability", "hijri"})
            EXPECT_NE(r.out.find(word), std::string::npos) << shell << " " << word;
        std::ofstream(dir + "/" + shell) << r.out;
    }
    EXPECT_EQ(std::system(("bash -n " + dir + "/bash").c_str()), 0);
    // The bash script completes a subcommand's options.
    const std::string probe = "bash -c '. " + dir +
                              "/bash; COMP_WORDS=(telvor moon --pro); COMP_CWORD=2; _telvor; "
                              "echo ${COMPREPLY[*]}' >" +
                              dir + "/reply";
    ASSERT_EQ(std::system(probe.c_str()), 0);
    EXPECT_EQ(slurp(dir + "/reply"), "--probability\n");
    EXPECT_EQ(telvor("completion tcsh").code, 2);
    std::filesystem::remove_all(dir);
}

TEST(CliConventions, ProgressBarOnlyOnATerminal) {
    const std::string dir = scratchFolder();
    const std::string render = std::string(TELVOR_BIN) +
                               " render --date 2024-06-15 --zone 0 --size 64x48 --out " + dir +
                               "/x.png";
    // Not a terminal: nothing on standard error.
    Outcome plain =
        telvor("render --date 2024-06-15 --zone 0 --size 64x48 --out " + dir + "/y.png");
    EXPECT_EQ(plain.code, 0) << plain.err;
    EXPECT_EQ(plain.err, "");
    // On a terminal (script gives one): the bar; with --quiet nothing.
    if (std::system("command -v script >/dev/null") == 0) {
        ASSERT_EQ(std::system(("script -qec '" + render + "' /dev/null >" + dir + "/tty").c_str()),
                  0);
        EXPECT_NE(slurp(dir + "/tty").find("] tick "), std::string::npos);
        ASSERT_EQ(std::system(
                      ("script -qec '" + render + " --quiet' /dev/null >" + dir + "/tty").c_str()),
                  0);
        EXPECT_EQ(slurp(dir + "/tty").find("tick"), std::string::npos) << slurp(dir + "/tty");
    }
    std::filesystem::remove_all(dir);
}

// --- A lunation chosen by its lunar month -----------------------------------------------------

TEST(CliHijri, TheStartDateLandsOnTheMonth) {
    Outcome r = telvor("lunation --hijri 1445-09 --zone 0 --json");
    ASSERT_EQ(r.code, 0) << r.err;
    auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["hijriMonth"], 9);
    EXPECT_EQ(j["hijriYear"], 1445);
    const std::string date = j["input"]["date"];
    EXPECT_EQ(j["hijri"], "1445-09");
    // The date is the lunation's first: the saver's month search from it steps back one day,
    // and from the day before it lands on the month before.
    auto month = [](const std::string &d) {
        Outcome m = telvor("month --zone 0 --json --date " + d);
        return nlohmann::json::parse(m.out);
    };
    auto first = month(date);
    EXPECT_EQ(first["daysBack"], 1);
    EXPECT_EQ(first["hijriMonth"], 9);
    EXPECT_EQ(first["dayFound"], j["startDate"]);
    const std::string before = std::to_string(std::stoi(date.substr(8, 2)) - 1);
    auto previous = month(date.substr(0, 8) + (before.size() == 1 ? "0" : "") + before);
    EXPECT_EQ(previous["hijriMonth"], 8) << date;

    // Months outside the calendar's years are refused before any run.
    for (const char *args : {"render --hijri 1300-01 --out x.png", "lunation --hijri 1600-01",
                             "lunation --hijri 1445-9"})
        expectOneLineError(telvor(args), 2, args);
    // render says which date it used.
    const std::string dir = scratchFolder();
    Outcome pic = telvor("render --hijri 1445-09 --zone 0 --size 64x48 --out " + dir + "/h.png");
    EXPECT_EQ(pic.code, 0) << pic.err;
    EXPECT_NE(pic.out.find(date), std::string::npos) << pic.out;
    std::filesystem::remove_all(dir);
}

} // namespace
