// Headless runs of the saver's animation: the summary of a lunation, its trace lines, PNG frames.
#include "tools/saverrun.h"

#ifdef TELVOR_HAS_PNG
#include <png.h>
#endif

#include <cerrno>
#include <cstdio>
#include <vector>

#include "display/display.h"
#include "shell/entry.h"
#ifdef TELVOR_HAS_PNG
#include "maps/annotate.h"
#endif
#include "shell/platform/window.h"
#include "tools/output.h"

namespace {

std::string currentDate() {
    return isoDate(ephemerisState.year, ephemerisState.month, ephemerisState.day);
}

// The host window of a preview: it only has to exist and be painted.
LRESULT CALLBACK hostProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    return DefWindowProcA(w, m, wp, lp);
}

// The Latin-1 text of the screen as UTF-8 (the degree sign becomes U+00B0).
std::string utf8(const char *latin1) {
    std::string out;
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(latin1); *p; ++p) {
        if (*p < 0x80)
            out += static_cast<char>(*p);
        else {
            out += static_cast<char>(0xC0 | (*p >> 6));
            out += static_cast<char>(0x80 | (*p & 0x3F));
        }
    }
    return out;
}

// The window painted last: its backing image is the frame, read in place when an observer asks
// (copying it every tick would cost more than drawing it).
HWND paintedWindow;
bool painted;

void notePaint(HWND window, const PixelBuffer &) {
    paintedWindow = window;
    painted = true;
}

} // namespace

ResultRecord traceRecord(int tick) {
    const AnimationState &a = animationState;
    ResultRecord r;
    r.addInt("tick", tick);
    r.addString("date", currentDate());
    r.addInt("minute", ephemerisState.simMinute);
    r.addInt("zoneFound", a.zoneFound);
    r.addFloat("searchColumn", a.searchColumn);
    r.addFloat("searchRow", a.searchRow);
    r.addInt("drawn", sweepStats.drawn);
    if (sweepStats.drawn) {
        r.addInt("firstColumn", sweepStats.firstColumn);
        r.addInt("lastColumn", sweepStats.lastColumn);
    } else {
        r.addNull("firstColumn");
        r.addNull("lastColumn");
    }
    r.addInt("rowSum", static_cast<long>(sweepStats.rowSum));
    r.addInt("savedNorthRow", a.savedNorthRow);
    r.addInt("savedSouthRow", a.savedSouthRow);
    return r;
}

ResultRecord runLunation(const SaverRunOptions &o, const TickObserver &observer, std::string &error,
                         FirstVisiblePlace *place) {
    platformSetInstallSignalHandlers(false);
    platformInitHeadless(o.width, o.height);
    platformSetPaintHook(notePaint);
    painted = false;
    // Without pictures to deliver, the frames are composed but not shown.
    framePresentation = o.pictures ? 1 : 0;
    HINSTANCE instance = nullptr;
    loadInputs(o.inputs); // a zeroed engine record with the date, probability and height
    saverSettings = SaverSettings{0,
                                  static_cast<int16_t>(o.inputs.probability),
                                  static_cast<int16_t>(o.inputs.height),
                                  33,
                                  33,
                                  o.cumulative,
                                  0};
    animationState = AnimationState{};
    zoneOffsetOverridden = o.zoneGiven;
    zoneOffsetOverride = static_cast<int16_t>(o.inputs.zone);
    saverMode = o.preview ? Preview : FullScreen;
    ResultRecord summary;
    if (!registerSaverClass(instance)) {
        error = "cannot register the saver's window class";
        return summary;
    }
    const bool ownWindow = !o.preview, hostShown = true;
    if (!ownWindow) {
        WNDCLASSA host{};
        host.lpfnWndProc = hostProc;
        host.hInstance = instance;
        host.lpszClassName = "TELVORHOST";
        RegisterClassA(&host);
        targetWindow =
            CreateWindowExA(0, "TELVORHOST", "preview", WS_POPUP | (hostShown ? WS_VISIBLE : 0), 0,
                            0, o.width, o.height, nullptr, nullptr, instance, nullptr);
    }
    if (!startSaver(instance, ownWindow)) {
        error = "cannot start the saver on the headless screen";
        return summary;
    }

    int tick = 0;
    ResultRecord firstVisible;
    bool found = false;
    auto afterTick = [&] {
        ++tick;
        if (!found && animationState.zoneFound) {
            found = true;
            firstVisible.addInt("tick", tick);
            firstVisible.addString("date", currentDate());
            firstVisible.addInt("minute", ephemerisState.simMinute);
            // The screen right-aligns the place in its field; the record gives it bare.
            std::string text = utf8(visiblePointText);
            text.erase(0, text.find_first_not_of(' '));
            firstVisible.addString("text", text);
            if (place) {
                place->found = true;
                place->lat = ephemerisState.latitude * 57.29577951308232;
                place->lon = ephemerisState.longitudeMinutes * 0.25;
                place->date = currentDate();
                place->minute = ephemerisState.simMinute;
            }
        }
        if (!observer) return;
        PixelBuffer frame{};
        const bool shown = painted && platformWindowPixels(paintedWindow, &frame);
        observer(tick, shown ? &frame : nullptr);
    };
    SendMessageA(saverWindow, WM_TIMER, 1, 0); // the setup tick, as the entry sends it
    afterTick();
    MSG msg{};
    while (animationState.tickCount != 0 && GetMessageA(&msg, nullptr, 0, 0)) {
        DispatchMessageA(&msg);
        if (msg.message == WM_TIMER) afterTick();
    }
    const LunationStart &start = lunationStart;
    summary.addString("startDate", isoDate(start.year, start.month, start.day));
    summary.addInt("startMinute", start.minute, "local clock minute");
    summary.addInt("mapColumnOffset", animationState.scan.mapColumnOffset);
    summary.addFloat("estimate", start.estimate, "degrees");
    summary.addInt("hijriMonth", ephemerisState.hijriMonth);
    summary.addInt("hijriYear", ephemerisState.hijriYear);
    if (found)
        summary.addRaw("firstVisible", firstVisible.json());
    else
        summary.addNull("firstVisible");
    summary.addInt("ticks", tick, "simulated minutes");
    summary.addString("endDate", currentDate());
    if (place) {
        place->zone = ephemerisState.zoneOffsetMinutes;
        place->mapColumnOffset = animationState.scan.mapColumnOffset;
        place->bandHeight = bandHeight;
        place->startDate = isoDate(start.year, start.month, start.day);
    }
    nlohmann::ordered_json input = nlohmann::ordered_json::object();
    input["date"] = isoDate(o.inputs.year, o.inputs.month, o.inputs.day);
    input["zone"] = ephemerisState.zoneOffsetMinutes;
    input["height"] = o.inputs.height;
    input["probability"] = o.inputs.probability;
    summary.addRaw("input", input.dump());
    platformSetPaintHook(nullptr);
    framePresentation = 1;
    return summary;
}

#ifdef TELVOR_HAS_PNG

namespace {
// libpng's error handler: keeps the message for the caller instead of printing it.
void pngError(png_structp png, png_const_charp message) {
    const int error = errno; // the failed write's, if any
    *static_cast<std::string *>(png_get_error_ptr(png)) =
        std::string(message) + (error ? " (" + systemError(error) + ")" : "");
    png_longjmp(png, 1);
}
void pngWarning(png_structp, png_const_charp) {}
} // namespace

bool writePngTo(FILE *file, const PixelBuffer &frame, std::string &error) {
    std::string pngMessage;
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, &pngMessage, pngError, pngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    std::vector<unsigned char> row(size_t(frame.width) * 3);
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        error = pngMessage.empty() ? "out of memory" : pngMessage;
        return false;
    }
    png_init_io(png, file);
    errno = 0;
    png_set_IHDR(png, info, frame.width, frame.height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < frame.height; ++y) {
        const uint32_t *p = frame.pixels + size_t(y) * frame.width;
        for (int x = 0; x < frame.width; ++x) {
            row[3 * x] = static_cast<unsigned char>(p[x] >> 16);
            row[3 * x + 1] = static_cast<unsigned char>(p[x] >> 8);
            row[3 * x + 2] = static_cast<unsigned char>(p[x]);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

bool writeAnnotatedPngTo(FILE *file, const PixelBuffer &frame, const FirstVisiblePlace &place,
                         bool cumulative, std::string &error) {
    Picture copy(frame.width, frame.height);
    copy.pixels.assign(frame.pixels, frame.pixels + size_t(frame.width) * size_t(frame.height));
    SaverFrameFacts facts;
    facts.bandHeight = place.bandHeight;
    facts.mapColumnOffset = place.mapColumnOffset;
    facts.cumulative = cumulative;
    facts.evening = place.found ? place.date : place.startDate;
    facts.zoneMinutes = place.zone;
    facts.found = place.found;
    facts.lat = place.lat, facts.lon = place.lon, facts.minute = place.minute;
    Picture annotated = annotateSaverFrame(copy, facts);
    return writePngTo(file, PixelBuffer{annotated.width, annotated.height, annotated.pixels.data()},
                      error);
}

bool writePng(const std::string &path, const PixelBuffer &frame, std::string &error) {
    WholeFile out;
    std::string reason = out.open(path);
    if (reason.empty() && !writePngTo(out.file(), frame, reason)) out.discard();
    if (reason.empty()) reason = out.commit();
    if (reason.empty()) return true;
    error = "cannot write " + quoteValue(path) + ": " + reason;
    return false;
}
#endif
