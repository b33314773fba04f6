// telvor sky as a separate process: the picture, the frames and the animation it writes, the
// charts of evenings without a crescent, and the errors for bad options.
#include <gtest/gtest.h>

#include <png.h>

#include <filesystem>
#include <string>

#include "tests/cli_run.h"

namespace {

const std::string kJakarta = "--lat -6.2 --lon 106.85 --zone 420 --date 2024-03-11";

// Width and height of a PNG file; 0 x 0 when it cannot be read.
std::pair<int, int> pngSize(const std::string &path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return {0, 0};
    const std::pair<int, int> size{int(image.width), int(image.height)};
    png_image_free(&image);
    return size;
}

} // namespace

TEST(SkyCli, WritesTheChart) {
    const std::string dir = scratchFolder(), png = dir + "/sky.png";
    const Outcome r = telvor("sky " + kJakarta + " --out " + png);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(pngSize(png), std::make_pair(960, 640));
    const Outcome sized = telvor("sky " + kJakarta + " --time 18:45 --size 640x400 --out " + png);
    EXPECT_EQ(sized.code, 0) << sized.err;
    EXPECT_EQ(pngSize(png), std::make_pair(640, 400));
    std::filesystem::remove_all(dir);
}

// A place by name: its coordinates and clock from the gazetteer; an unknown one is refused.
TEST(SkyCli, PlaceByName) {
    const std::string dir = scratchFolder(), png = dir + "/sky.png";
    const Outcome r = telvor("sky --place Jakarta --date 2024-03-11 --out " + png);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(pngSize(png), std::make_pair(960, 640));
    const Outcome unknown = telvor("sky --place Nowhereville --date 2024-03-11 --out " + png);
    EXPECT_EQ(unknown.code, 2);
    EXPECT_NE(unknown.err.find("Nowhereville"), std::string::npos) << unknown.err;
    std::filesystem::remove_all(dir);
}

TEST(SkyCli, FramesAndAnimationFromSunsetToMoonset) {
    const std::string dir = scratchFolder();
    // Sunset 18:07:18, moonset 19:00:41: 53.4 minutes, 54 frames.
    const Outcome r = telvor("sky " + kJakarta + " --size 480x300 --frames " + dir);
    EXPECT_EQ(r.code, 0) << r.err;
    int count = 0;
    for (const auto &entry : std::filesystem::directory_iterator(dir)) {
        EXPECT_EQ(pngSize(entry.path().string()), std::make_pair(480, 300)) << entry.path();
        ++count;
    }
    EXPECT_EQ(count, 54);
    EXPECT_TRUE(std::filesystem::exists(dir + "/sky-0053.png"));
    const std::string gif = dir + "/evening.gif";
    const Outcome a = telvor("sky " + kJakarta + " --size 480x300 --animate " + gif);
    EXPECT_EQ(a.code, 0) << a.err;
    const std::string bytes = slurp(gif);
    ASSERT_GT(bytes.size(), 1000u);
    EXPECT_EQ(bytes.substr(0, 6), "GIF89a");
    EXPECT_EQ(bytes.back(), ';'); // the trailer: the file is whole
    EXPECT_NE(bytes.find("NETSCAPE2.0"), std::string::npos);
    std::filesystem::remove_all(dir);
}

// No sunset, the Moon setting first: a chart that says so, exit code 0, and a one-frame
// animation rather than an empty file.
TEST(SkyCli, EveningsWithoutACrescentGiveAChart) {
    const std::string dir = scratchFolder();
    for (const std::string &where : {std::string("--lat 78 --lon 15 --date 2024-06-10"),
                                     std::string("--lat 78 --lon 15 --date 2024-12-10"),
                                     std::string("--lat -6.2 --lon 106.85 --date 2024-03-09")}) {
        const Outcome r = telvor("sky " + where + " --out " + dir + "/a.png --size 400x300");
        EXPECT_EQ(r.code, 0) << where << ": " << r.err;
        EXPECT_EQ(pngSize(dir + "/a.png"), std::make_pair(400, 300)) << where;
        const Outcome g = telvor("sky " + where + " --animate " + dir + "/a.gif --size 400x300");
        EXPECT_EQ(g.code, 0) << where << ": " << g.err;
        EXPECT_EQ(slurp(dir + "/a.gif").substr(0, 6), "GIF89a") << where;
    }
    std::filesystem::remove_all(dir);
}

// The morning: the eastern sky before sunrise, frames from moonrise to sunrise, and a chart that
// says so on mornings without a crescent.
TEST(SkyCli, MorningChartFramesAndMorningsWithoutACrescent) {
    const std::string dir = scratchFolder(), png = dir + "/sky.png";
    const std::string jakarta = "--lat -6.2 --lon 106.85 --zone 420 --date 2024-03-09 --morning";
    const Outcome r = telvor("sky " + jakarta + " --out " + png);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(pngSize(png), std::make_pair(960, 640));
    const Outcome timed = telvor("sky " + jakarta + " --time 05:10 --size 480x300 --out " + png);
    EXPECT_EQ(timed.code, 0) << timed.err;
    EXPECT_EQ(pngSize(png), std::make_pair(480, 300));
    std::filesystem::remove(png);
    // Moonrise 04:43:49, sunrise 05:57:50: 74.0 minutes, 75 frames.
    const Outcome f = telvor("sky " + jakarta + " --size 320x200 --frames " + dir);
    EXPECT_EQ(f.code, 0) << f.err;
    int count = 0;
    for (const auto &entry : std::filesystem::directory_iterator(dir)) {
        EXPECT_EQ(pngSize(entry.path().string()), std::make_pair(320, 200)) << entry.path();
        ++count;
    }
    EXPECT_EQ(count, 75);
    for (const std::string &where : {std::string("--lat 78 --lon 15 --date 2024-06-10"),
                                     std::string("--lat -6.2 --lon 106.85 --date 2024-03-11")}) {
        const Outcome m =
            telvor("sky " + where + " --morning --out " + dir + "/a.png --size 400x300");
        EXPECT_EQ(m.code, 0) << where << ": " << m.err;
        EXPECT_EQ(pngSize(dir + "/a.png"), std::make_pair(400, 300)) << where;
        const Outcome g =
            telvor("sky " + where + " --morning --animate " + dir + "/a.gif --size 400x300");
        EXPECT_EQ(g.code, 0) << where << ": " << g.err;
        EXPECT_EQ(slurp(dir + "/a.gif").substr(0, 6), "GIF89a") << where;
    }
    std::filesystem::remove_all(dir);
}

TEST(SkyCli, BadOptionsAreRefusedBeforeTheWork) {
    const std::string dir = scratchFolder();
    struct Case {
        std::string args, words;
    } cases[] = {
        {"--date 2024-03-11 --out " + dir + "/x.png",
         "a place is needed: --lat DEG --lon DEG, or --place NAME"},
        {kJakarta, "--out FILE.png, --frames DIR or --animate FILE.gif is needed"},
        {kJakarta + " --time 18:40 --best --out " + dir + "/x.png", "use one of them"},
        {kJakarta + " --frames " + dir + " --animate " + dir + "/x.gif", "use one of them"},
        {kJakarta + " --size 100x100 --out " + dir + "/x.png", "too small"},
        {kJakarta + " --out " + dir + "/no/such/x.png", "--out: cannot write"},
        {kJakarta + " --frames " + dir + "/none", "is not a folder"},
        {kJakarta + " --lat 91 --out " + dir + "/x.png", "--lat"},
    };
    for (const Case &c : cases) {
        const Outcome r = telvor("sky " + c.args);
        EXPECT_EQ(r.code, 2) << c.args;
        EXPECT_TRUE(oneLine(r.err)) << c.args << ": " << r.err;
        EXPECT_NE(r.err.find(c.words), std::string::npos) << c.args << ": " << r.err;
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir)) << "nothing written";
    // A failure while writing: exit code 1, no file left behind.
    const Outcome full = telvor("sky " + kJakarta + " --out /dev/full");
    EXPECT_EQ(full.code, 1) << full.err;
    std::filesystem::remove_all(dir);
}
