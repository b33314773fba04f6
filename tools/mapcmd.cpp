// telvor map: computes the evening map and writes its picture, its cells and its outlines.
#include "tools/mapcmd.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <mutex>

#include <nlohmann/json.hpp>

#include "calendar/calendar.h"
#include "engine/ephemeris.h"
#include "maps/eveningmap.h"
#include "maps/mapformat.h"
#include "shell/platform/backend.h" // PixelBuffer
#include "tools/output.h"
#include "tools/saverrun.h"

namespace {

// The CSV in blocks of rows, each formatted into one buffer and written with one call.
bool writeCsv(FILE *f, const EveningMap &map) {
    bool ok = std::fputs(mapCsvHeader(), f) >= 0;
    std::string block;
    const int rowsPerBlock = std::max(1, (1 << 20) / (48 * std::max(1, map.cols)));
    for (int row = 0; ok && row < map.rows; row += rowsPerBlock) {
        block.clear();
        appendMapCsvRows(block, map, row, std::min(map.rows, row + rowsPerBlock));
        ok = std::fwrite(block.data(), 1, block.size(), f) == block.size();
    }
    return ok;
}

bool writeGeoJson(FILE *f, const EveningMap &map) {
    const std::string text = mapGeoJson(map);
    return std::fwrite(text.data(), 1, text.size(), f) == text.size();
}

// The map's font is Latin-1: UTF-8 text converted, other characters as '?'.
std::string latin1(const std::string &utf8) {
    std::string out;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if ((c == 0xc2 || c == 0xc3) && i + 1 < utf8.size()) {
            out += static_cast<char>(((c & 0x03) << 6) | (utf8[++i] & 0x3f));
        } else {
            while (i + 1 < utf8.size() && (utf8[i + 1] & 0xc0) == 0x80)
                ++i;
            out += '?';
        }
    }
    return out;
}

} // namespace

int runMapCommand(const MapCommand &c) {
    auto fail = [](int code, const std::string &message) {
        std::fprintf(stderr, "telvor map: %s\n", message.c_str());
        return code;
    };
    MapRequest request;
    request.date = {c.inputs.year, c.inputs.month, c.inputs.day};
    request.height = c.inputs.height;
    if (!criterionFromName(c.criterion, request.criterion))
        return fail(2, "--criterion: '" + c.criterion + "' is not yallop, odeh or telvor");
    const int year = c.inputs.year;
    if (request.criterion == Criterion::Telvor &&
        (year < kEngineYears.first || year > kEngineYears.last))
        return fail(2, "--criterion telvor: the saver's test covers " +
                           std::to_string(kEngineYears.first) + "-" +
                           std::to_string(kEngineYears.last));
    if (!validStep(c.step) || c.step < 0.1)
        return fail(2, "--step: not a cell size from 0.1 to 180 degrees that divides 180");
    request.step = c.step;
    if (c.threads < 0 || c.threads > 1024) return fail(2, "--threads: not a count from 0 to 1024");
    request.threads = c.threads;
    if (c.out.empty() && c.csv.empty() && c.geojson.empty())
        return fail(2, "--out FILE.png, --csv FILE or --geojson FILE is needed");
    if (const std::string problem = pngPathProblem(c.out); !problem.empty())
        return fail(2, "--out: " + quoteValue(c.out) + ": " + problem);
    const int height = c.inputs.height;
    request.telvor = [height](almanac::CivilDate, double lat, double lon, double jd) {
        return engineVisibilityCode(lat, lon, jd, height);
    };

    // The picture's layout first, so that a bad size fails before the work.
    EveningMap empty;
    empty.criterion = request.criterion;
    empty.date = request.date;
    empty.step = request.step;
    empty.conjunction = almanac::julianDateUt(request.date);
    WorldMapContent content = eveningMapContent(empty);
    int width = 0, pictureHeight = 0;
    naturalWorldMapSize(1440, content, width, pictureHeight);
    if (!c.size.empty()) {
        int used = 0;
        if (std::sscanf(c.size.c_str(), "%dx%d%n", &width, &pictureHeight, &used) != 2 ||
            used != static_cast<int>(c.size.size()) || width < 16 || pictureHeight < 16 ||
            width > 8192 || pictureHeight > 8192)
            return fail(2, "--size: '" + c.size + "' is not WxH with each from 16 to 8192");
    }
    WorldMapLayout layout{};
    std::string error;
    if (!c.out.empty() && !layoutWorldMap(width, pictureHeight, content, layout, error))
        return fail(2, "--size: " + error);
    // Paths that cannot be written are refused before the work; each file appears whole.
    struct Output {
        const char *option;
        const std::string &path;
        WholeFile file;
    } outputs[] = {{"--out", c.out, {}}, {"--csv", c.csv, {}}, {"--geojson", c.geojson, {}}};
    for (Output &o : outputs) {
        if (o.path.empty()) continue;
        const std::string reason = o.file.open(o.path);
        if (!reason.empty())
            return fail(2, std::string(o.option) + ": cannot write " + quoteValue(o.path) + ": " +
                               reason);
    }

    // The map has no text of its own: the accuracy is told on the standard error.
    if (const std::string note = deltaTNote(year, year); !note.empty())
        std::fprintf(stderr, "telvor map: note: %s\n", note.c_str());
    const bool bar = isatty(2);
    const EveningMap map = computeEveningMap(request, [bar](int done, int rows) {
        if (!bar) return;
        const int filled = done * 40 / rows;
        std::fprintf(stderr, "\r[%-40.*s] %3d%%", filled,
                     "########################################", done * 100 / rows);
        if (done == rows) std::fputc('\n', stderr);
    });
    if (!c.out.empty()) {
        content = eveningMapContent(map);
        if (!c.markLabel.empty()) {
            content.markLabel = latin1(c.markLabel);
            content.markLat = c.markLat, content.markLon = c.markLon;
        }
        Picture p = drawEveningMap(map, layout, content);
        if (!writePngTo(outputs[0].file.file(), PixelBuffer{p.width, p.height, p.pixels.data()},
                        error))
            return fail(1, "cannot write " + quoteValue(c.out) + ": " + error);
    }
    // A failed write shows again in the commit, which then names the reason.
    if (!c.csv.empty()) writeCsv(outputs[1].file.file(), map);
    if (!c.geojson.empty()) writeGeoJson(outputs[2].file.file(), map);
    for (Output &o : outputs) {
        if (o.path.empty()) continue;
        const std::string reason = o.file.commit();
        if (!reason.empty()) return fail(1, "cannot write " + quoteValue(o.path) + ": " + reason);
    }
    return 0;
}
