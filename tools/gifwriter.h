// An animated GIF written frame by frame through giflib (the sky chart's --animate).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include <gif_lib.h>

#include "sky/sky.h"

// Each frame gets its own palette of 256 colours from giflib's median-cut quantiser; the
// animation loops for ever. The file is the caller's (a WholeFile's, so that it appears whole).
class GifWriter {
  public:
    explicit GifWriter(FILE *file) : file_(file) {}
    GifWriter(const GifWriter &) = delete;
    GifWriter &operator=(const GifWriter &) = delete;
    ~GifWriter();
    // Adds a frame shown for `centiseconds` (all frames the first one's size); false and the
    // reason on failure.
    bool add(const sky::Image &image, int centiseconds, std::string &error);
    // Writes the trailer; false and the reason on failure.
    bool finish(std::string &error);

  private:
    static int output(GifFileType *gif, const GifByteType *bytes, int count);
    bool fail(std::string &error);
    FILE *file_;
    GifFileType *gif_ = nullptr;
    std::vector<GifByteType> red_, green_, blue_, index_;
};
