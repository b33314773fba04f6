// Land-mask look-ups in the embedded one-bit bitmap.
#include "maps/landmask.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "resources/resources.h"

namespace {

struct Mask {
    int32_t width, height;
    const unsigned char *bits; // rows bottom first, no padding for widths that are multiples of 32
    int rowBytes;
};

Mask readMask() {
    Mask m{};
    std::memcpy(&m.width, telvorEarthBitmap + 4, 4);
    std::memcpy(&m.height, telvorEarthBitmap + 8, 4);
    m.bits = telvorEarthBitmap + 48; // 40-byte header and two palette entries
    m.rowBytes = ((m.width + 31) / 32) * 4;
    return m;
}

} // namespace

bool isLand(double lat, double lon) {
    static const Mask mask = readMask();
    double l = std::fmod(lon + 180.0, 360.0);
    if (l < 0) l += 360.0;
    int col = static_cast<int>(l / 360.0 * mask.width);
    int row = static_cast<int>((90.0 - lat) / 180.0 * mask.height); // from the top
    if (col >= mask.width) col = mask.width - 1;
    if (row < 0) row = 0;
    if (row >= mask.height) row = mask.height - 1;
    const unsigned char byte =
        mask.bits[size_t(mask.height - 1 - row) * size_t(mask.rowBytes) + size_t(col / 8)];
    return (byte >> (7 - col % 8)) & 1;
}
