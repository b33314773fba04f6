// Golden outputs of the telvor tool: whole lunation traces, renders, every frame of a preview
// lunation and a long moon batch must stay identical to the bit. The recorded digests live in
// tests/golden/outputs.txt; TELVOR_GOLDEN_UPDATE=1 rewrites the entries of the cases run.
// TELVOR_GOLDEN_COMMAND runs another build of the tool against the same digests (the Windows
// telvor.exe under Wine, say); it never records.
#include <png.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/sha256.h"

namespace {

namespace fs = std::filesystem;
using Entries = std::map<std::string, std::string>;

std::string scratch(const std::string &name) {
    const fs::path dir =
        fs::path(testing::TempDir()) / ("telvor_golden_" + std::to_string(getpid()) + "_" + name);
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir.string();
}

// The output without the "input" record that every JSON answer ends with: the recorded digests
// are of the results, which must not change when the tool adds members to its answers.
std::string withoutInput(const std::string &out) {
    std::string kept;
    size_t from = 0;
    for (size_t at; (at = out.find(", \"input\": {", from)) != std::string::npos;) {
        kept.append(out, from, at - from);
        from = out.find('}', at) + 1; // the record is flat
    }
    return kept + out.substr(from);
}

// Runs the tool and returns its standard output; a non-zero exit fails the calling test.
std::string telvor(const std::string &args) {
    const char *other = std::getenv("TELVOR_GOLDEN_COMMAND");
    const std::string command =
        std::string(other && *other ? other : TELVOR_BIN) + " " + args + " 2>/dev/null";
    FILE *pipe = popen(command.c_str(), "r");
    EXPECT_NE(pipe, nullptr) << command;
    if (!pipe) return "";
    std::string out;
    char buffer[1 << 16];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    const int status = pclose(pipe);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
    return out;
}

std::string sha256(const std::string &bytes) {
    Sha256 h;
    h.add(bytes);
    return h.hex();
}

// The size and RGB bytes of a PNG file, so that the digest is of the pixels, not of the encoder.
std::string pngPixels(const std::string &path) {
    FILE *file = std::fopen(path.c_str(), "rb");
    if (!file) {
        ADD_FAILURE() << "no picture " << path;
        return "";
    }
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::string pixels;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(file);
        ADD_FAILURE() << "unreadable picture " << path;
        return "";
    }
    png_init_io(png, file);
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info),
                      height = png_get_image_height(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    pixels = std::to_string(width) + "x" + std::to_string(height) + ":";
    std::vector<unsigned char> row(rowBytes);
    for (png_uint_32 y = 0; y < height; ++y) {
        png_read_row(png, row.data(), nullptr);
        pixels.append(reinterpret_cast<const char *>(row.data()), row.size());
    }
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return pixels;
}

std::vector<std::string> lines(const std::string &text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

Entries readGolden() {
    Entries e;
    std::ifstream in(TELVOR_GOLDEN_FILE);
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        const size_t tab = line.find('\t');
        if (tab != std::string::npos) e[line.substr(0, tab)] = line.substr(tab + 1);
    }
    return e;
}

// Compares the entries of one case with the recorded ones, or records them.
void checkGolden(const std::string &prefix, const Entries &actual) {
    Entries golden = readGolden();
    const char *other = std::getenv("TELVOR_GOLDEN_COMMAND");
    if (const char *u = std::getenv("TELVOR_GOLDEN_UPDATE");
        u && std::string(u) == "1" && !(other && *other)) {
        for (auto it = golden.begin(); it != golden.end();)
            it = it->first.rfind(prefix, 0) == 0 ? golden.erase(it) : std::next(it);
        golden.insert(actual.begin(), actual.end());
        std::ofstream out(TELVOR_GOLDEN_FILE);
        out << "# Golden outputs of the telvor tool: name, tab, SHA-256 of the output or a short "
               "sample.\n";
        for (const auto &[k, v] : golden)
            out << k << '\t' << v << '\n';
        return;
    }
    size_t recorded = 0;
    for (const auto &[k, v] : golden)
        if (k.rfind(prefix, 0) == 0) {
            ++recorded;
            auto it = actual.find(k);
            if (it == actual.end())
                ADD_FAILURE() << k << ": not produced";
            else
                EXPECT_EQ(it->second, v) << k << " differs from the recorded output";
        }
    EXPECT_EQ(recorded, actual.size()) << prefix << ": entries produced but not recorded";
}

// A lunation with its trace, across the years of the calendar, with odd settings.
struct LunationCase {
    const char *date;
    int zone, probability, height;
};
const LunationCase kLunations[] = {
    {"1901-03-01", 180, 13, 777}, {"1957-10-04", -300, 97, 2500}, {"2024-03-10", 0, 50, 0},
    {"2061-07-28", 540, 1, 9999}, {"2099-11-20", -600, 71, 33},
};

TEST(GoldenOutputs, LunationTraces) {
    Entries e;
    for (const LunationCase &c : kLunations) {
        const std::string args = std::string("lunation --trace --date ") + c.date + " --zone " +
                                 std::to_string(c.zone) + " --probability " +
                                 std::to_string(c.probability) + " --height " +
                                 std::to_string(c.height);
        const std::string out = withoutInput(telvor(args));
        const std::vector<std::string> trace = lines(out);
        ASSERT_GT(trace.size(), 2u) << args;
        const std::string name = std::string("trace.") + c.date;
        e[name + ".sha256"] = sha256(out);
        e[name + ".lines"] = std::to_string(trace.size());
        e[name + ".summary"] = trace.back();
        e[name + ".line0500"] = trace.size() > 500 ? trace[499] : "";
    }
    checkGolden("trace.", e);
}

TEST(GoldenOutputs, Renders) {
    const std::string dir = scratch("renders");
    Entries e;
    struct Render {
        const char *size, *cumulative, *date;
        int zone;
    } renders[] = {{"1024x768", "on", "2024-06-15", 0},
                   {"1024x768", "off", "1987-12-20", 330},
                   {"333x217", "on", "2043-05-09", -480},
                   {"333x217", "off", "1913-08-31", 60}};
    for (const Render &r : renders) {
        const std::string name = std::string("render.") + r.size + "." + r.cumulative;
        const std::string path = dir + "/" + name + ".png";
        telvor(std::string("render --date ") + r.date + " --zone " + std::to_string(r.zone) +
               " --size " + r.size + " --cumulative " + r.cumulative + " --out " + path);
        e[name + ".sha256"] = sha256(pngPixels(path));
    }
    fs::remove_all(dir);
    checkGolden("render.", e);
}

// Every frame of a small preview lunation; the digest of each 250th frame says where a
// difference begins.
TEST(GoldenOutputs, PreviewFrames) {
    const std::string dir = scratch("frames");
    telvor("render --preview --date 2031-10-01 --zone 120 --probability 80 --height 500 "
           "--size 160x120 --out " +
           dir + "/last.png --frames " + dir + " --every 1");
    Entries e;
    Sha256 all;
    int count = 0;
    for (int tick = 1;; ++tick) {
        char name[32];
        std::snprintf(name, sizeof name, "/frame-%06d.png", tick);
        if (!fs::exists(dir + name)) break;
        const std::string pixels = pngPixels(dir + name);
        all.add(pixels);
        if (tick % 250 == 0) {
            char key[40];
            std::snprintf(key, sizeof key, "frames.%06d.sha256", tick);
            e[key] = sha256(pixels);
        }
        ++count;
    }
    e["frames.count"] = std::to_string(count);
    e["frames.all.sha256"] = all.hex();
    fs::remove_all(dir);
    checkGolden("frames.", e);
}

// 100 000 batch lines in runs: a line, then lines that change one input at a time, so that
// consecutive computations share everything but one input (the latitude most often).
std::string batchInput() {
    uint64_t state = 0x2545F4914F6CDD1DULL;
    auto next = [&](int64_t lo, int64_t hi) { // uniform enough in [lo, hi]
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return lo + static_cast<int64_t>((state >> 33) % uint64_t(hi - lo + 1));
    };
    static const int kMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int year = 0, month = 0, day = 0, minute = 0, zone = 0, height = 0, probability = 0;
    int64_t lat = 0, lon = 0;
    auto newDate = [&] {
        year = int(next(1901, 2099)), month = int(next(1, 12));
        day = int(next(1, kMonthDays[month - 1] + (month == 2 && year % 4 == 0)));
    };
    std::string text;
    char line[200];
    for (int i = 0; i < 100000; ++i) {
        switch (i % 5 == 0 ? 0 : next(1, 10)) {
        case 0:
            newDate();
            minute = int(next(-1440, 2879)), zone = int(next(-1440, 1440));
            lat = next(-9000, 9000), lon = next(-18000, 18000);
            height = int(next(0, 9999)), probability = int(next(1, 99));
            break;
        case 1:
            minute = int(next(-1440, 2879));
            break;
        case 2:
            lon = next(-18000, 18000);
            break;
        case 3:
            height = int(next(0, 9999));
            break;
        case 4:
            probability = int(next(1, 99));
            break;
        case 5:
            zone = int(next(-1440, 1440));
            break;
        default:
            lat = next(-9000, 9000);
            break;
        }
        std::snprintf(line, sizeof line,
                      "{\"date\": \"%04d-%02d-%02d\", \"minute\": %d, \"zone\": %d, \"lat\": "
                      "%.2f, \"lon\": %.2f, \"height\": %d, \"probability\": %d}\n",
                      year, month, day, minute, zone, lat / 100.0, lon / 100.0, height,
                      probability);
        text += line;
    }
    return text;
}

TEST(GoldenOutputs, MoonBatch) {
    const std::string dir = scratch("batch");
    const std::string input = batchInput();
    std::ofstream(dir + "/in.jsonl") << input;
    const std::string out = withoutInput(telvor("moon --batch " + dir + "/in.jsonl"));
    const std::vector<std::string> result = lines(out);
    Entries e;
    e["batch.input.sha256"] = sha256(input);
    e["batch.output.sha256"] = sha256(out);
    e["batch.output.lines"] = std::to_string(result.size());
    e["batch.output.line000001"] = result.empty() ? "" : result[0];
    e["batch.output.line050000"] = result.size() < 50000 ? "" : result[49999];
    fs::remove_all(dir);
    checkGolden("batch.", e);
}

} // namespace
