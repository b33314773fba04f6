// An animated GIF written frame by frame through giflib (the sky chart's --animate).
#include "tools/gifwriter.h"

#include <cerrno>

#include "tools/output.h"

GifWriter::~GifWriter() {
    if (gif_) EGifCloseFile(gif_, nullptr);
}

bool GifWriter::add(const sky::Image &image, int centiseconds, std::string &error) {
    const size_t n = image.pixels.size();
    if (!gif_) {
        int code = 0;
        gif_ = EGifOpen(file_, output, &code);
        if (gif_) EGifSetGifVersion(gif_, true); // GIF89a: the frames' timing
        if (!gif_ || EGifPutScreenDesc(gif_, image.width, image.height, 8, 0, nullptr) == GIF_ERROR)
            return fail(error);
        // The NETSCAPE2.0 extension: loop for ever.
        const unsigned char loop[] = {1, 0, 0};
        if (EGifPutExtensionLeader(gif_, APPLICATION_EXT_FUNC_CODE) == GIF_ERROR ||
            EGifPutExtensionBlock(gif_, 11, "NETSCAPE2.0") == GIF_ERROR ||
            EGifPutExtensionBlock(gif_, 3, loop) == GIF_ERROR ||
            EGifPutExtensionTrailer(gif_) == GIF_ERROR)
            return fail(error);
    }
    red_.resize(n), green_.resize(n), blue_.resize(n), index_.resize(n);
    for (size_t i = 0; i < n; ++i) {
        red_[i] = static_cast<GifByteType>(image.pixels[i] >> 16);
        green_[i] = static_cast<GifByteType>(image.pixels[i] >> 8);
        blue_[i] = static_cast<GifByteType>(image.pixels[i]);
    }
    int size = 256;
    GifColorType colours[256] = {};
    if (GifQuantizeBuffer(image.width, image.height, &size, red_.data(), green_.data(),
                          blue_.data(), index_.data(), colours) == GIF_ERROR) {
        error = "cannot reduce a frame to 256 colours";
        return false;
    }
    ColorMapObject *map = GifMakeMapObject(256, colours);
    GraphicsControlBlock gcb{DISPOSAL_UNSPECIFIED, false, centiseconds, NO_TRANSPARENT_COLOR};
    GifByteType extension[4];
    const size_t len = EGifGCBToExtension(&gcb, extension);
    const bool ok =
        map && EGifPutExtension(gif_, GRAPHICS_EXT_FUNC_CODE, int(len), extension) != GIF_ERROR &&
        EGifPutImageDesc(gif_, 0, 0, image.width, image.height, false, map) != GIF_ERROR;
    GifFreeMapObject(map);
    if (!ok) return fail(error);
    for (int y = 0; y < image.height; ++y)
        if (EGifPutLine(gif_, index_.data() + size_t(y) * image.width, image.width) == GIF_ERROR)
            return fail(error);
    return true;
}

bool GifWriter::finish(std::string &error) {
    int code = 0;
    const int result = EGifCloseFile(gif_, &code);
    gif_ = nullptr;
    if (result == GIF_ERROR) {
        error = GifErrorString(code);
        return false;
    }
    return std::ferror(file_) == 0 || (error = systemError(errno ? errno : EIO), false);
}

int GifWriter::output(GifFileType *gif, const GifByteType *bytes, int count) {
    return static_cast<int>(std::fwrite(bytes, 1, count, static_cast<FILE *>(gif->UserData)));
}

bool GifWriter::fail(std::string &error) {
    const char *text = gif_ ? GifErrorString(gif_->Error) : nullptr;
    error = text ? text : "giflib failed";
    if (std::ferror(file_) && errno) error += " (" + systemError(errno) + ")";
    return false;
}
