// The GDI of our portable Win32: memory DCs, 32-bit bitmaps, pens, pixels, lines, blits, text.
//
// Every object lives in one table keyed by its handle value; handles are never reused, so a
// stale or made-up handle is simply not found and the call fails. Pixels are 0x00RRGGBB words
// (a Windows 32-bit DIB); COLORREF values are 0x00BBGGRR and are swapped at the boundary.
#include "shell/platform/backend.h"
#include "shell/platform/font_data.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <unordered_map>
#include <variant>
#include <vector>

namespace {

constexpr uint32_t kPixelMask = 0x00FFFFFF;
// Larger bitmaps are refused rather than risking an allocation that takes the machine down.
constexpr int kMaxDimension = 32767;
constexpr int64_t kMaxPixels = int64_t{1} << 26;

// A rectangle of pixels, the far edges excluded.
struct Span {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool empty() const { return x0 >= x1 || y0 >= y1; }
    bool contains(const Span &o) const {
        return o.x0 >= x0 && o.y0 >= y0 && o.x1 <= x1 && o.y1 <= y1;
    }
};

struct Change {
    uint64_t serial;
    Span area;
};

// One axis of a stretch, clipped to both surfaces: destination pixel dstStart + i takes the
// source pixels lo[i] .. hi[i] (inclusive). Empty when nothing of the rectangle remains.
struct AxisMap {
    int64_t dstStart = 0;
    std::vector<int> lo;
    std::vector<int> hi;
    int widest = 0; // the most source pixels any destination pixel combines
};

// A SRCCOPY stretch as it was last done into a bitmap: repeating it need only recompute the
// destination pixels whose source blocks, or which themselves, have changed since.
struct StretchMemo {
    bool valid = false;
    uintptr_t source = 0;
    int x = 0, y = 0, width = 0, height = 0, xSrc = 0, ySrc = 0, srcWidth = 0, srcHeight = 0;
    uint64_t serial = 0; // the change count just after it
    AxisMap cols, rows;
};

struct Bitmap {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    uintptr_t selectedIn = 0; // the DC holding it; a bitmap is in at most one DC at a time
    // A whole-bitmap WHITENESS or BLACKNESS is deferred: while `deferred`, every pixel outside
    // `fresh` is `background` whatever `pixels` holds there. The overlay of the animation is
    // cleared, inverted and merged every tick while only a narrow band of it is ever drawn on.
    bool deferred = false;
    uint32_t background = 0;
    Span fresh;
    // The rectangles whose pixels changed, with the change count at which each changed last;
    // every change after `knownSince` is in the log. Only what the pixels mean counts: making
    // deferred pixels current changes nothing.
    std::vector<Change> log;
    uint64_t knownSince = 0;
    StretchMemo stretch; // the last stretch into this bitmap
};

bool deferFills = true;
uint64_t changeSerial = 0; // counts every change of any bitmap's pixels
constexpr size_t kLogLength = 32;
constexpr int64_t kSmallChange = 64 * 64; // small neighbouring changes are merged in the log
constexpr int kFreshGrowth = 32; // columns by which a deferred fill's fresh rectangle widens

struct Pen {
    uint32_t pixel = 0; // the colour as a pixel word
    int selectCount = 0;
};

struct DeviceContext {
    uintptr_t bitmap = 0;
    uintptr_t pen = 0;
    int64_t curX = 0;
    int64_t curY = 0;
    int bkMode = OPAQUE;
    COLORREF textColor = 0x000000;
    COLORREF bkColor = 0xFFFFFF;
    int charExtra = 0;
};

struct Object {
    std::variant<Bitmap, Pen, DeviceContext> body;
    bool stock = false; // shared defaults: never deleted, not counted as live
};

struct Table {
    std::unordered_map<uintptr_t, Object> objects;
    uintptr_t nextHandle = 0x47440000; // far from small integers and from null
    int live = 0;
    uintptr_t stockBitmap = 0;
    uintptr_t stockPen = 0;
};

// Never destroyed, so DCs released from other static destructors at exit still find it.
Table &table() {
    static Table *t = new Table;
    return *t;
}

uintptr_t addObject(Object obj) {
    Table &t = table();
    uintptr_t h = t.nextHandle;
    t.nextHandle += 4;
    if (!obj.stock) ++t.live;
    t.objects.emplace(h, std::move(obj));
    return h;
}

template <class T> T *find(uintptr_t h) {
    if (h == 0) return nullptr;
    auto &objects = table().objects;
    auto it = objects.find(h);
    return it == objects.end() ? nullptr : std::get_if<T>(&it->second.body);
}

template <class T> T *find(const void *h) {
    return find<T>(reinterpret_cast<uintptr_t>(h));
}

uintptr_t key(const void *h) {
    return reinterpret_cast<uintptr_t>(h);
}

uint32_t toPixel(COLORREF c) {
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

COLORREF toColorRef(uint32_t p) {
    return toPixel(p & kPixelMask);
} // the swap is its own inverse

// The 1x1 bitmap and black pen that a new DC starts with, as Windows' stock objects.
uintptr_t stockBitmap() {
    Table &t = table();
    if (!t.stockBitmap) {
        Bitmap b;
        b.width = b.height = 1;
        b.pixels.assign(1, 0);
        t.stockBitmap = addObject(Object{std::move(b), true});
    }
    return t.stockBitmap;
}

uintptr_t stockPen() {
    Table &t = table();
    if (!t.stockPen) t.stockPen = addObject(Object{Pen{}, true});
    return t.stockPen;
}

bool isStock(uintptr_t h) {
    auto it = table().objects.find(h);
    return it != table().objects.end() && it->second.stock;
}

uintptr_t newBitmap(int width, int height) {
    if (width <= 0 || height <= 0 || width > kMaxDimension || height > kMaxDimension ||
        int64_t{width} * height > kMaxPixels)
        return 0;
    Bitmap b;
    b.width = width;
    b.height = height;
    b.knownSince = changeSerial;
    try {
        b.pixels.assign(size_t(width) * size_t(height), 0);
    } catch (const std::bad_alloc &) {
        return 0;
    }
    return addObject(Object{std::move(b)});
}

uintptr_t newDC(uintptr_t bitmap) {
    DeviceContext dc;
    dc.bitmap = stockBitmap();
    dc.pen = stockPen();
    uintptr_t h = addObject(Object{dc});
    if (bitmap) SelectObject(reinterpret_cast<HDC>(h), reinterpret_cast<HGDIOBJ>(bitmap));
    return h;
}

// The bitmap selected into a DC; null when the DC is not live.
Bitmap *surfaceOf(HDC dc, DeviceContext **dcOut = nullptr) {
    DeviceContext *d = find<DeviceContext>(dc);
    if (!d) return nullptr;
    if (dcOut) *dcOut = d;
    return find<Bitmap>(d->bitmap);
}

// --- The change log -----------------------------------------------------------------------

int64_t areaOf(const Span &a) {
    return a.empty() ? 0 : int64_t(a.x1 - a.x0) * (a.y1 - a.y0);
}

Span bounding(const Span &a, const Span &b) {
    return Span{std::min(a.x0, b.x0), std::min(a.y0, b.y0), std::max(a.x1, b.x1),
                std::max(a.y1, b.y1)};
}

// Copies a row of n words to (x, y) and grows `changed` by the words that differ, so that
// the log holds only what a copy really changed.
void copyRowNoting(uint32_t *dst, const uint32_t *src, int n, int x, int y, Span &changed) {
    if (std::memcmp(dst, src, size_t(n) * sizeof(uint32_t)) == 0) return; // the common case
    int first = 0;
    while (first < n && dst[first] == src[first])
        ++first;
    if (first == n) return;
    int last = n - 1;
    while (dst[last] == src[last])
        --last;
    std::memcpy(dst + first, src + first, size_t(last - first + 1) * sizeof(uint32_t));
    const Span row{x + first, y, x + last + 1, y + 1};
    changed = changed.empty() ? row : bounding(changed, row);
}

// Records that the pixels of `area` (clipped to the bitmap) may have changed.
void noteChange(Bitmap &b, Span area) {
    area.x0 = std::max(area.x0, 0), area.y0 = std::max(area.y0, 0);
    area.x1 = std::min(area.x1, b.width), area.y1 = std::min(area.y1, b.height);
    if (area.empty()) return;
    ++changeSerial;
    if (!b.log.empty()) {
        Change &last = b.log.back();
        const Span u = bounding(last.area, area);
        // A change that covers the last one, one that is not much smaller than it, or a small
        // one beside a small one (pixels and short lines drawn one after another) extends that
        // entry. A small change inside a large old entry gets its own: extending would mark
        // the whole large area as changed again.
        if (area.contains(last.area) ||
            (last.area.contains(area) && 2 * areaOf(area) >= areaOf(last.area)) ||
            (areaOf(u) <= kSmallChange && areaOf(u) <= areaOf(last.area) + areaOf(area))) {
            last.area = u;
            last.serial = changeSerial;
            return;
        }
    }
    if (b.log.size() == kLogLength) {
        b.knownSince = b.log.front().serial;
        b.log.erase(b.log.begin());
    }
    b.log.push_back(Change{changeSerial, area});
}

void noteWhole(Bitmap &b) {
    noteChange(b, Span{0, 0, b.width, b.height});
}

// The areas changed after `serial`; false when the log no longer reaches back that far.
bool changesSince(const Bitmap &b, uint64_t serial, std::vector<Span> &out) {
    if (serial < b.knownSince) return false;
    for (const Change &c : b.log)
        if (c.serial > serial) out.push_back(c.area);
    return true;
}

// --- Deferred fills -----------------------------------------------------------------------

void fillSpanRow(Bitmap &b, int y, int x0, int x1) {
    if (x0 < x1) {
        uint32_t *row = &b.pixels[size_t(y) * size_t(b.width)];
        std::fill(row + x0, row + x1, b.background);
    }
}

// Makes the pixels of `r` (within the bitmap) current: the fresh rectangle grows to take it
// in, and what it newly covers is filled with the background.
void freshen(Bitmap &b, Span r) {
    if (!b.deferred || r.empty() || b.fresh.contains(r)) return;
    const Span f = b.fresh;
    Span n = r;
    if (!f.empty()) {
        n.x0 = std::min(n.x0, f.x0);
        n.y0 = std::min(n.y0, f.y0);
        n.x1 = std::max(n.x1, f.x1);
        n.y1 = std::max(n.y1, f.y1);
        // Widening walks every row of the rectangle, and lines drawn column by column widen it
        // one column at a time: widen by a few columns at once. The extra pixels are filled
        // with the background they stand for, so nothing they show changes.
        if (n.x0 < f.x0) n.x0 = std::max(0, std::min(n.x0, f.x0 - kFreshGrowth));
        if (n.x1 > f.x1) n.x1 = std::min(b.width, std::max(n.x1, f.x1 + kFreshGrowth));
    }
    if (f.empty()) {
        for (int y = n.y0; y < n.y1; ++y)
            fillSpanRow(b, y, n.x0, n.x1);
    } else {
        // Only the strips around the old rectangle are new: whole rows above and below it, and
        // its rows only where the new rectangle reaches past its sides.
        for (int y = n.y0; y < f.y0; ++y)
            fillSpanRow(b, y, n.x0, n.x1);
        if (n.x0 < f.x0 || f.x1 < n.x1) {
            for (int y = f.y0; y < f.y1; ++y) {
                fillSpanRow(b, y, n.x0, f.x0);
                fillSpanRow(b, y, f.x1, n.x1);
            }
        }
        for (int y = f.y1; y < n.y1; ++y)
            fillSpanRow(b, y, n.x0, n.x1);
    }
    b.fresh = n;
}

// Writes the deferred background everywhere, so that every word of `pixels` is current.
void settle(Bitmap &b) {
    freshen(b, Span{0, 0, b.width, b.height});
    b.deferred = false;
}

// --- Raster operations --------------------------------------------------------------------

enum class Rop { Copy, Paint, And, Invert, White, Black };

bool decodeRop(DWORD rop, Rop *out) {
    switch (rop) {
    case SRCCOPY:
        *out = Rop::Copy;
        return true;
    case SRCPAINT:
        *out = Rop::Paint;
        return true;
    case SRCAND:
        *out = Rop::And;
        return true;
    case DSTINVERT:
        *out = Rop::Invert;
        return true;
    case WHITENESS:
        *out = Rop::White;
        return true;
    case BLACKNESS:
        *out = Rop::Black;
        return true;
    default:
        return false;
    }
}

bool needsSource(Rop r) {
    return r == Rop::Copy || r == Rop::Paint || r == Rop::And;
}

// One row: dst[i] = rop(dst[i], src[i]) for i < n. src is unused by the source-less ops.
void ropRow(Rop r, uint32_t *dst, const uint32_t *src, int n) {
    switch (r) {
    case Rop::Copy:
        std::memmove(dst, src, size_t(n) * sizeof(uint32_t));
        break;
    case Rop::Paint:
        for (int i = 0; i < n; ++i)
            dst[i] |= src[i];
        break;
    case Rop::And:
        for (int i = 0; i < n; ++i)
            dst[i] &= src[i];
        break;
    case Rop::Invert:
        for (int i = 0; i < n; ++i)
            dst[i] = ~dst[i] & kPixelMask;
        break;
    case Rop::White:
        std::fill(dst, dst + n, kPixelMask);
        break;
    case Rop::Black:
        std::fill(dst, dst + n, 0u);
        break;
    }
}

// Clips [pos, pos+len) to [0, limit); returns the clipped start and shrinks len (may reach 0).
int64_t clipSpan(int64_t pos, int64_t &len, int64_t limit) {
    int64_t start = std::max<int64_t>(pos, 0);
    int64_t end = std::min<int64_t>(pos + len, limit);
    len = std::max<int64_t>(end - start, 0);
    return start;
}

void fillRect(Bitmap &b, Rop r, int64_t x, int64_t y, int64_t w, int64_t h) {
    x = clipSpan(x, w, b.width);
    y = clipSpan(y, h, b.height);
    if (w == 0 || h == 0) return;
    const bool whole = w == b.width && h == b.height;
    if (whole && deferFills && (r == Rop::White || r == Rop::Black)) {
        b.deferred = true;
        b.background = r == Rop::White ? kPixelMask : 0u;
        b.fresh = Span{};
        noteWhole(b);
        return;
    }
    Span area{int(x), int(y), int(x + w), int(y + h)};
    noteChange(b, area);
    if (whole && b.deferred && r == Rop::Invert) {
        b.background = ~b.background & kPixelMask;
        area = b.fresh; // only the fresh pixels are stored; the rest is the background
    } else {
        freshen(b, area);
    }
    for (int row = area.y0; row < area.y1; ++row)
        ropRow(r, &b.pixels[size_t(row) * size_t(b.width) + size_t(area.x0)], nullptr,
               area.x1 - area.x0);
}

// Destination pixel k of the rectangle takes source pixels floor(k*sn/dn) ..
// floor((k+1)*sn/dn)-1, at least one, so shrinking combines whole runs and enlarging
// replicates. Pixels whose run lies wholly outside the source are left out; as the runs
// advance with k, those that remain are one contiguous stretch.
AxisMap mapAxis(int64_t dpos, int64_t dn, int64_t dlimit, int64_t spos, int64_t sn,
                int64_t slimit) {
    AxisMap m;
    int64_t len = dn;
    int64_t start = clipSpan(dpos, len, dlimit);
    for (int64_t i = 0; i < len; ++i) {
        int64_t k = start + i - dpos;
        int64_t first = k * sn / dn;
        int64_t end = std::max(first + 1, (k + 1) * sn / dn);
        int64_t s0 = std::max<int64_t>(spos + first, 0);
        int64_t s1 = std::min<int64_t>(spos + end, slimit);
        if (s1 <= s0) {
            if (!m.lo.empty()) break; // past the source's far edge
            continue;                 // not yet reached its near edge
        }
        if (m.lo.empty()) m.dstStart = start + i;
        m.lo.push_back(int(s0));
        m.hi.push_back(int(s1 - 1));
        m.widest = std::max(m.widest, int(s1 - s0));
    }
    return m;
}

// The indices i of an axis whose source run lo[i]..hi[i] meets source pixels [p0, p1).
std::pair<int, int> indicesMeeting(const AxisMap &m, int p0, int p1) {
    const int first = int(std::lower_bound(m.hi.begin(), m.hi.end(), p0) - m.hi.begin());
    const int last = int(std::upper_bound(m.lo.begin(), m.lo.end(), p1 - 1) - m.lo.begin());
    return {first, std::max(first, last)};
}

// The rectangle of destination indices (columns x, rows y) that a repeated stretch must
// recompute: those whose source block changed, and those changed since by other writes.
Span stretchPartToRedo(const AxisMap &cols, const AxisMap &rows, const std::vector<Span> &source,
                       const std::vector<Span> &own) {
    Span part;
    auto add = [&part](Span s) {
        if (s.empty()) return;
        part = part.empty() ? s : bounding(part, s);
    };
    for (const Span &c : source) {
        const auto [x0, x1] = indicesMeeting(cols, c.x0, c.x1);
        const auto [y0, y1] = indicesMeeting(rows, c.y0, c.y1);
        add(Span{x0, y0, x1, y1});
    }
    const int n = int(cols.lo.size()), m = int(rows.lo.size());
    for (const Span &c : own)
        add(Span{std::clamp(int(c.x0 - cols.dstStart), 0, n),
                 std::clamp(int(c.y0 - rows.dstStart), 0, m),
                 std::clamp(int(c.x1 - cols.dstStart), 0, n),
                 std::clamp(int(c.y1 - rows.dstStart), 0, m)});
    return part;
}

// The stretch for destination indices part.x0..x1 of `cols` and part.y0..y1 of `rows`.
// Returns the area of `db` it changed.
Span stretchPart(Bitmap &db, const Bitmap &sb, Rop r, const AxisMap &cols, const AxisMap &rows,
                 const Span &part) {
    Span changed;
    const int sx0 = cols.lo[size_t(part.x0)], sx1 = cols.hi[size_t(part.x1 - 1)]; // source columns
    const size_t n = size_t(part.x1 - part.x0);
    std::vector<uint32_t> andedRow(size_t(sx1 - sx0 + 1));
    std::vector<uint32_t> sampled(n);
    // Column indices relative to sx0; the common case combines at most two source columns,
    // so each destination pixel reads two words (the same one twice for a run of one).
    std::vector<uint32_t> a(n), b(n);
    for (size_t i = 0; i < n; ++i) {
        const size_t c = size_t(part.x0) + i;
        a[i] = uint32_t(cols.lo[c] - sx0);
        b[i] = cols.widest <= 2 ? uint32_t(cols.hi[c] - sx0) : a[i];
    }
    for (size_t j = size_t(part.y0); j < size_t(part.y1); ++j) {
        const uint32_t *srow = &sb.pixels[size_t(rows.lo[j]) * size_t(sb.width)] + sx0;
        const uint32_t *line = srow; // the source row, or the AND of several
        if (rows.hi[j] > rows.lo[j]) {
            std::memcpy(andedRow.data(), srow, andedRow.size() * sizeof(uint32_t));
            for (int k = rows.lo[j] + 1; k <= rows.hi[j]; ++k) {
                const uint32_t *more = &sb.pixels[size_t(k) * size_t(sb.width)] + sx0;
                for (size_t i = 0; i < andedRow.size(); ++i)
                    andedRow[i] &= more[i];
            }
            line = andedRow.data();
        }
        uint32_t *drow = &db.pixels[size_t(rows.dstStart + int64_t(j)) * size_t(db.width)];
        drow += cols.dstStart + part.x0;
        if (cols.widest <= 2) {
            const uint32_t *__restrict pa = a.data();
            const uint32_t *__restrict pb = b.data();
            uint32_t *__restrict out = sampled.data();
            for (size_t i = 0; i < n; ++i)
                out[i] = line[pa[i]] & line[pb[i]];
        } else {
            for (size_t i = 0; i < n; ++i) {
                const size_t c = size_t(part.x0) + i;
                uint32_t v = line[a[i]];
                for (int k = cols.lo[c] + 1; k <= cols.hi[c]; ++k)
                    v &= line[k - sx0];
                sampled[i] = v;
            }
        }
        if (r == Rop::Copy)
            copyRowNoting(drow, sampled.data(), int(n), int(cols.dstStart + part.x0),
                          int(rows.dstStart + int64_t(j)), changed);
        else
            ropRow(r, drow, sampled.data(), int(n));
    }
    if (r != Rop::Copy)
        changed = Span{int(cols.dstStart + part.x0), int(rows.dstStart + part.y0),
                       int(cols.dstStart + part.x1), int(rows.dstStart + part.y1)};
    return changed;
}

// --- Lines and text -----------------------------------------------------------------------

void plot(Bitmap &b, int64_t x, int64_t y, uint32_t pixel) {
    if (x >= 0 && y >= 0 && x < b.width && y < b.height) b.pixels[size_t(y * b.width + x)] = pixel;
}

// (2km + n) div 2n and its remainder, for k, m >= 0 and n > 0 with m <= n, exactly: 2km
// can overflow 64 bits. In 128 bits where the compiler has them, else (32-bit x86) by long
// division of the 128-bit product, one bit at a time.
void firstMinorStep(int64_t k, int64_t m, int64_t n, int64_t &quotient, int64_t &remainder) {
#ifdef __SIZEOF_INT128__
    const __int128 first = __int128{2} * k * m + n;
    quotient = int64_t(first / (__int128{2} * n));
    remainder = int64_t(first % (__int128{2} * n));
#else
    // 2k * m in two 64-bit words, from 32-bit halves; then + n.
    const uint64_t a = uint64_t(k) * 2, b = uint64_t(m);
    const uint64_t aLo = a & 0xFFFFFFFFu, aHi = a >> 32, bLo = b & 0xFFFFFFFFu, bHi = b >> 32;
    const uint64_t low = aLo * bLo, mid1 = aHi * bLo, mid2 = aLo * bHi;
    const uint64_t mid = (low >> 32) + (mid1 & 0xFFFFFFFFu) + (mid2 & 0xFFFFFFFFu);
    uint64_t hi = aHi * bHi + (mid1 >> 32) + (mid2 >> 32) + (mid >> 32);
    uint64_t lo = (mid << 32) | (low & 0xFFFFFFFFu);
    lo += uint64_t(n);
    hi += lo < uint64_t(n);
    const uint64_t d = uint64_t(n) * 2;
    uint64_t q = 0, r = 0; // r < d, so r * 2 + 1 fits
    for (int i = 127; i >= 0; --i) {
        r = (r << 1) | ((i >= 64 ? hi >> (i - 64) : lo >> i) & 1);
        if (r >= d) {
            r -= d;
            if (i < 64) q |= uint64_t{1} << i; // the quotient fits 64 bits (m <= n)
        }
    }
    quotient = int64_t(q);
    remainder = int64_t(r);
#endif
}

// Draws from (x0,y0) toward (x1,y1), the end point left out. Each point is found from its
// step number, so only the steps whose major coordinate lies on the bitmap are visited.
void drawLine(Bitmap &b, int64_t x0, int64_t y0, int64_t x1, int64_t y1, uint32_t pixel) {
    int64_t dx = x1 - x0, dy = y1 - y0;
    int64_t ax = dx < 0 ? -dx : dx, ay = dy < 0 ? -dy : dy;
    int64_t sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -1 : 1;
    bool xMajor = ax >= ay;
    int64_t n = xMajor ? ax : ay; // steps; step n is the end point
    int64_t m = xMajor ? ay : ax; // minor-axis travel
    int64_t major0 = xMajor ? x0 : y0;
    int64_t smaj = xMajor ? sx : sy;
    int64_t limit = xMajor ? b.width : b.height;
    // Steps k with 0 <= major0 + smaj*k < limit.
    int64_t kLo = 0, kHi = n - 1;
    if (smaj > 0) {
        kLo = std::max(kLo, -major0);
        kHi = std::min(kHi, limit - 1 - major0);
    } else {
        kLo = std::max(kLo, major0 - (limit - 1));
        kHi = std::min(kHi, major0);
    }
    if (kLo > kHi) return;
    if (m == 0) { // a straight line stays on one row or column: write it with a stride
        const int64_t minor = xMajor ? y0 : x0;
        if (minor < 0 || minor >= (xMajor ? b.height : b.width)) return;
        const int64_t step = smaj * (xMajor ? 1 : b.width), start = major0 + smaj * kLo;
        int64_t at = xMajor ? minor * b.width + start : start * b.width + minor;
        for (int64_t k = kLo; k <= kHi; ++k, at += step)
            b.pixels[size_t(at)] = pixel;
        return;
    }
    // Step k's minor offset is (2km + n) div 2n, rounded to nearest as Bresenham. The first is
    // divided in 128 bits, as far-off coordinates overflow 64; then the remainder carries it on
    // (m <= n, so the offset grows by at most one a step and the remainder stays below 4n).
    int64_t minorStep, rest;
    firstMinorStep(kLo, m, n, minorStep, rest);
    for (int64_t k = kLo;; ++k) {
        if (xMajor)
            plot(b, x0 + sx * k, y0 + sy * minorStep, pixel);
        else
            plot(b, x0 + sx * minorStep, y0 + sy * k, pixel);
        if (k == kHi) break;
        rest += 2 * m;
        if (rest >= 2 * n) {
            rest -= 2 * n;
            ++minorStep;
        }
    }
}

} // namespace

// --- Objects ------------------------------------------------------------------------------

// A new memory DC with the 1x1 stock bitmap and the black pen selected; `dc` is null (the
// screen) or a live DC. Null on a bogus `dc`.
HDC CreateCompatibleDC(HDC dc) {
    if (dc && !find<DeviceContext>(dc)) return nullptr;
    return reinterpret_cast<HDC>(newDC(0));
}

// A 32-bit bitmap of width x height pixels (1..32767 each), cleared to black; null on a bad
// size or a bogus `dc`. Every DC here is 32-bit, so the DC does not change the format.
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height) {
    if (dc && !find<DeviceContext>(dc)) return nullptr;
    return reinterpret_cast<HBITMAP>(newBitmap(width, height));
}

// A solid pen of colour 0x00BBGGRR. Widths 0 and 1 mean one pixel; a wider pen still draws
// one pixel. Null for any style but PS_SOLID or a negative width.
HPEN CreatePen(int style, int width, COLORREF color) {
    if (style != PS_SOLID || width < 0) return nullptr;
    Pen p;
    p.pixel = toPixel(color & kPixelMask);
    return reinterpret_cast<HPEN>(addObject(Object{p}));
}

// Selects a bitmap or a pen; returns the object of that kind it replaces, null on failure
// (bogus handles, a DC as object, a bitmap already selected into another DC).
HGDIOBJ SelectObject(HDC dc, HGDIOBJ obj) {
    DeviceContext *d = find<DeviceContext>(dc);
    if (!d) return nullptr;
    uintptr_t h = key(obj);
    if (Bitmap *b = find<Bitmap>(h)) {
        uintptr_t previous = d->bitmap;
        if (previous == h) return obj;
        bool stock = isStock(h);
        if (!stock && b->selectedIn) return nullptr; // already in another DC
        if (Bitmap *old = find<Bitmap>(previous)) old->selectedIn = 0;
        if (!stock) b->selectedIn = key(dc);
        d->bitmap = h;
        return reinterpret_cast<HGDIOBJ>(previous);
    }
    if (Pen *p = find<Pen>(h)) {
        uintptr_t previous = d->pen;
        if (Pen *old = find<Pen>(previous)) --old->selectCount;
        ++p->selectCount;
        d->pen = h;
        return reinterpret_cast<HGDIOBJ>(previous);
    }
    return nullptr;
}

// Deletes a DC; its bitmap and pen stay alive and become free to delete.
BOOL DeleteDC(HDC dc) {
    DeviceContext *d = find<DeviceContext>(dc);
    if (!d) return FALSE;
    if (Bitmap *b = find<Bitmap>(d->bitmap)) b->selectedIn = 0;
    if (Pen *p = find<Pen>(d->pen)) --p->selectCount;
    table().objects.erase(key(dc));
    --table().live;
    return TRUE;
}

// Deletes a bitmap or pen; FALSE for bogus handles, DCs and objects still selected somewhere.
BOOL DeleteObject(HGDIOBJ obj) {
    uintptr_t h = key(obj);
    auto &objects = table().objects;
    auto it = objects.find(h);
    if (it == objects.end() || std::holds_alternative<DeviceContext>(it->second.body)) return FALSE;
    if (it->second.stock) return TRUE; // deleting a stock object is allowed and does nothing
    // An object still selected into a DC stays, as on Windows: the DC would be left dangling.
    if (const Bitmap *b = std::get_if<Bitmap>(&it->second.body); b && b->selectedIn) return FALSE;
    if (const Pen *p = std::get_if<Pen>(&it->second.body); p && p->selectCount > 0) return FALSE;
    objects.erase(it);
    --table().live;
    return TRUE;
}

// --- Pixels and blits ---------------------------------------------------------------------

// Sets pixel (x, y) to colour 0x00BBGGRR; FALSE outside the selected bitmap.
BOOL SetPixelV(HDC dc, int x, int y, COLORREF color) {
    Bitmap *b = surfaceOf(dc);
    if (!b || x < 0 || y < 0 || x >= b->width || y >= b->height) return FALSE;
    freshen(*b, Span{x, y, x + 1, y + 1});
    noteChange(*b, Span{x, y, x + 1, y + 1});
    b->pixels[size_t(y) * size_t(b->width) + size_t(x)] = toPixel(color & kPixelMask);
    return TRUE;
}

// The colour 0x00BBGGRR of pixel (x, y), or CLR_INVALID outside the bitmap or on a bad DC.
COLORREF GetPixel(HDC dc, int x, int y) {
    Bitmap *b = surfaceOf(dc);
    if (!b || x < 0 || y < 0 || x >= b->width || y >= b->height) return CLR_INVALID;
    if (b->deferred && !b->fresh.contains(Span{x, y, x + 1, y + 1}))
        return toColorRef(b->background);
    return toColorRef(b->pixels[size_t(y) * size_t(b->width) + size_t(x)]);
}

// Combines a width x height block of `src` at (xSrc, ySrc) into `dst` at (x, y) with SRCCOPY,
// SRCPAINT, SRCAND, DSTINVERT, WHITENESS or BLACKNESS (the last three ignore `src`, which may
// be null), clipped to both bitmaps. FALSE for other rops, bad handles or negative sizes.
BOOL BitBlt(HDC dst, int x, int y, int width, int height, HDC src, int xSrc, int ySrc, DWORD rop) {
    return StretchBlt(dst, x, y, width, height, src, xSrc, ySrc, width, height, rop);
}

// BitBlt with scaling, in the BLACKONWHITE mode: a shrunk block is the AND of its source
// pixels, an enlarged one repeats the nearest; the rop merges the result. Negative sizes are
// refused (no mirroring).
BOOL StretchBlt(HDC dst, int x, int y, int width, int height, HDC src, int xSrc, int ySrc,
                int srcWidth, int srcHeight, DWORD rop) {
    Rop r;
    if (!decodeRop(rop, &r)) return FALSE;
    Bitmap *db = surfaceOf(dst);
    if (!db || width < 0 || height < 0) return FALSE;
    if (!needsSource(r)) {
        fillRect(*db, r, x, y, width, height);
        return TRUE;
    }
    Bitmap *sb = surfaceOf(src);
    if (!sb || srcWidth < 0 || srcHeight < 0) return FALSE;
    if (width == 0 || height == 0 || srcWidth == 0 || srcHeight == 0) return TRUE;

    if (width == srcWidth && height == srcHeight) {
        // Same size: clip the rectangle against both surfaces and run whole rows.
        int64_t x0 = x, y0 = y, xs = xSrc, ys = ySrc, w = width, h = height;
        int64_t left = std::max({int64_t{0}, -x0, -xs});
        int64_t top = std::max({int64_t{0}, -y0, -ys});
        int64_t right = std::min({w, db->width - x0, sb->width - xs});
        int64_t bottom = std::min({h, db->height - y0, sb->height - ys});
        if (right <= left || bottom <= top) return TRUE;
        bool sameBitmap = db == sb;
        const uint32_t bg = sb->background;
        if (sb->deferred && !sameBitmap &&
            ((r == Rop::Paint && bg == 0) || (r == Rop::And && bg == kPixelMask))) {
            // Merging the source's background changes nothing: only its fresh pixels count.
            left = std::max(left, int64_t{sb->fresh.x0} - xs);
            right = std::min(right, int64_t{sb->fresh.x1} - xs);
            top = std::max(top, int64_t{sb->fresh.y0} - ys);
            bottom = std::min(bottom, int64_t{sb->fresh.y1} - ys);
            if (right <= left || bottom <= top) return TRUE;
        } else {
            freshen(*sb, Span{int(xs + left), int(ys + top), int(xs + right), int(ys + bottom)});
        }
        freshen(*db, Span{int(x0 + left), int(y0 + top), int(x0 + right), int(y0 + bottom)});
        const bool noting = r == Rop::Copy && !sameBitmap; // a copy notes only what differs
        if (!noting)
            noteChange(*db, Span{int(x0 + left), int(y0 + top), int(x0 + right), int(y0 + bottom)});
        Span copied;
        int n = int(right - left);
        // Within one bitmap, rows are taken in the order that reads each before it is written.
        bool upward = sameBitmap && y0 > ys;
        std::vector<uint32_t> tmp;
        if (sameBitmap) tmp.resize(size_t(n));
        for (int64_t i = 0; i < bottom - top; ++i) {
            int64_t row = upward ? bottom - 1 - i : top + i;
            uint32_t *d = &db->pixels[size_t((y0 + row) * db->width + x0 + left)];
            const uint32_t *s = &sb->pixels[size_t((ys + row) * sb->width + xs + left)];
            if (sameBitmap) {
                std::memcpy(tmp.data(), s, size_t(n) * sizeof(uint32_t));
                s = tmp.data();
            }
            if (noting)
                copyRowNoting(d, s, n, int(x0 + left), int(y0 + row), copied);
            else
                ropRow(r, d, s, n);
        }
        if (noting) noteChange(*db, copied);
        return TRUE;
    }

    // Stretching in BLACKONWHITE mode: each destination pixel is the AND of the source block
    // that maps to it, then the raster operation merges it into the destination.
    settle(*sb);
    settle(*db);
    Bitmap copy; // stretching within one bitmap reads from a snapshot of it
    const bool repeatable = r == Rop::Copy && db != sb; // its result depends on the source only
    if (db == sb) {
        copy = *sb;
        sb = &copy;
    }
    DeviceContext *sdc = nullptr;
    surfaceOf(src, &sdc);
    StretchMemo &memo = db->stretch;
    const bool same = repeatable && memo.valid && memo.source == sdc->bitmap && memo.x == x &&
                      memo.y == y && memo.width == width && memo.height == height &&
                      memo.xSrc == xSrc && memo.ySrc == ySrc && memo.srcWidth == srcWidth &&
                      memo.srcHeight == srcHeight;
    if (!same) {
        memo = StretchMemo{};
        memo.cols = mapAxis(x, width, db->width, xSrc, srcWidth, sb->width);
        memo.rows = mapAxis(y, height, db->height, ySrc, srcHeight, sb->height);
    }
    const AxisMap &cols = memo.cols, &rows = memo.rows;
    if (cols.lo.empty() || rows.lo.empty()) return TRUE;
    Span part{0, 0, int(cols.lo.size()), int(rows.lo.size())}; // indices into cols and rows
    if (same) {
        std::vector<Span> sourceChanges, ownChanges;
        if (changesSince(*sb, memo.serial, sourceChanges) &&
            changesSince(*db, memo.serial, ownChanges)) {
            part = stretchPartToRedo(cols, rows, sourceChanges, ownChanges);
            if (part.empty()) {
                memo.serial = changeSerial;
                return TRUE;
            }
        }
    }
    noteChange(*db, stretchPart(*db, *sb, r, cols, rows, part));
    if (repeatable) {
        memo.valid = true;
        memo.source = sdc->bitmap;
        memo.x = x, memo.y = y, memo.width = width, memo.height = height;
        memo.xSrc = xSrc, memo.ySrc = ySrc, memo.srcWidth = srcWidth, memo.srcHeight = srcHeight;
        memo.serial = changeSerial;
    } else {
        memo.valid = false;
    }
    return TRUE;
}

// --- Lines --------------------------------------------------------------------------------

// Sets the current position in pixels; the old one goes to `previous` when it is given.
BOOL MoveToEx(HDC dc, int x, int y, POINT *previous) {
    DeviceContext *d = find<DeviceContext>(dc);
    if (!d) return FALSE;
    if (previous) {
        previous->x = LONG(d->curX);
        previous->y = LONG(d->curY);
    }
    d->curX = x;
    d->curY = y;
    return TRUE;
}

// Draws with the selected pen from the current position to (x, y), the end point left out
// as on Windows, and moves the current position there.
BOOL LineTo(HDC dc, int x, int y) {
    DeviceContext *d = nullptr;
    Bitmap *b = surfaceOf(dc, &d);
    if (!b) return FALSE;
    const Pen *p = find<Pen>(d->pen);
    if (b->deferred) {
        // The line's bounding box, clipped; its pixels become current before the line is drawn.
        const int64_t x0 = std::max<int64_t>(std::min<int64_t>(d->curX, x), 0);
        const int64_t y0 = std::max<int64_t>(std::min<int64_t>(d->curY, y), 0);
        const int64_t x1 = std::min<int64_t>(std::max<int64_t>(d->curX, x) + 1, b->width);
        const int64_t y1 = std::min<int64_t>(std::max<int64_t>(d->curY, y) + 1, b->height);
        if (x0 < x1 && y0 < y1) freshen(*b, Span{int(x0), int(y0), int(x1), int(y1)});
    }
    {
        const int64_t x0 = std::max<int64_t>(std::min<int64_t>(d->curX, x), 0);
        const int64_t y0 = std::max<int64_t>(std::min<int64_t>(d->curY, y), 0);
        const int64_t x1 = std::min<int64_t>(std::max<int64_t>(d->curX, x) + 1, b->width);
        const int64_t y1 = std::min<int64_t>(std::max<int64_t>(d->curY, y) + 1, b->height);
        if (x0 < x1 && y0 < y1) noteChange(*b, Span{int(x0), int(y0), int(x1), int(y1)});
    }
    drawLine(*b, d->curX, d->curY, x, y, p ? p->pixel : 0);
    d->curX = x;
    d->curY = y;
    return TRUE;
}

// --- Text ---------------------------------------------------------------------------------

// TRANSPARENT or OPAQUE (the default, a white cell behind each glyph); returns the old mode,
// 0 on failure.
int SetBkMode(HDC dc, int mode) {
    DeviceContext *d = find<DeviceContext>(dc);
    if (!d || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
    int previous = d->bkMode;
    d->bkMode = mode;
    return previous;
}

// The glyph colour 0x00BBGGRR (default black); returns the old one, CLR_INVALID on failure.
COLORREF SetTextColor(HDC dc, COLORREF color) {
    DeviceContext *d = find<DeviceContext>(dc);
    if (!d) return CLR_INVALID;
    COLORREF previous = d->textColor;
    d->textColor = color & kPixelMask;
    return previous;
}

// Pixels added after each character; returns the old value, 0x80000000 on failure.
int SetTextCharacterExtra(HDC dc, int extra) {
    DeviceContext *d = find<DeviceContext>(dc);
    if (!d) return int(0x80000000u);
    int previous = d->charExtra;
    d->charExtra = extra;
    return previous;
}

// Draws `length` Latin-1 bytes in the built-in 8x13 fixed font, (x, y) being the top left of
// the first cell; each cell advances 8 + the character extra pixels.
BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int length) {
    DeviceContext *d = nullptr;
    Bitmap *b = surfaceOf(dc, &d);
    if (!b || length < 0 || (length > 0 && !text)) return FALSE;
    settle(*b);
    if (length > 0) noteChange(*b, Span{0, y, b->width, y + kFontCellHeight});
    const uint32_t fg = toPixel(d->textColor);
    const uint32_t bg = toPixel(d->bkColor);
    const bool opaque = d->bkMode == OPAQUE;
    const int64_t advance = int64_t{kFontCellWidth} + d->charExtra;
    for (int i = 0; i < length; ++i) {
        int64_t cx = int64_t{x} + advance * i;
        if (advance > 0 && cx >= b->width) break; // the rest lies right of the bitmap
        const uint8_t *glyph = kFontGlyphs[static_cast<unsigned char>(text[i])];
        for (int row = 0; row < kFontCellHeight; ++row) {
            int64_t py = int64_t{y} + row;
            if (py < 0 || py >= b->height) continue;
            uint32_t *line = &b->pixels[size_t(py) * size_t(b->width)];
            // The opaque background spans the whole advance, extra spacing included.
            int64_t cellWidth = opaque ? std::max<int64_t>(advance, kFontCellWidth) : 0;
            for (int64_t col = 0; col < cellWidth; ++col) {
                int64_t px = cx + col;
                if (px >= 0 && px < b->width) line[px] = bg;
            }
            for (int col = 0; col < kFontCellWidth; ++col) {
                int64_t px = cx + col;
                if ((glyph[row] & (0x80 >> col)) && px >= 0 && px < b->width) line[px] = fg;
            }
        }
    }
    return TRUE;
}

// --- Backend contract ---------------------------------------------------------------------

HBITMAP gdiCreateBitmap(int width, int height) {
    return reinterpret_cast<HBITMAP>(newBitmap(width, height));
}

bool gdiBitmapPixels(HBITMAP bitmap, PixelBuffer *out) {
    Bitmap *b = find<Bitmap>(bitmap);
    if (!b || !out) return false;
    settle(*b);
    *out = PixelBuffer{b->width, b->height, b->pixels.data()};
    return true;
}

bool gdiDCPixels(HDC dc, PixelBuffer *out) {
    Bitmap *b = surfaceOf(dc);
    if (!b || !out) return false;
    settle(*b);
    noteWhole(*b); // the caller may write any pixel
    *out = PixelBuffer{b->width, b->height, b->pixels.data()};
    return true;
}

uint64_t gdiChangeSerial() {
    return changeSerial;
}

bool gdiBitmapChangesSince(HBITMAP bitmap, uint64_t serial, std::vector<PixelRect> *out) {
    const Bitmap *b = find<Bitmap>(bitmap);
    std::vector<Span> changed;
    if (!b || !out || !changesSince(*b, serial, changed)) return false;
    for (const Span &c : changed)
        out->push_back(PixelRect{c.x0, c.y0, c.x1, c.y1});
    return true;
}

HDC gdiCreateDCForBitmap(HBITMAP bitmap) {
    Bitmap *b = find<Bitmap>(bitmap);
    if (!b || b->selectedIn || isStock(key(bitmap))) return nullptr;
    return reinterpret_cast<HDC>(newDC(key(bitmap)));
}

void gdiSetDeferredFills(bool on) {
    deferFills = on;
}

int gdiLiveObjectCount() {
    return table().live;
}
