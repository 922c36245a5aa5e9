#include "engines/FrameDiff.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <new>

namespace {

// Larger frames are always drawn whole rather than held twice in memory.
constexpr int64_t kMaxPixels = int64_t{1} << 26;

int64_t Area(const FilmRect& r) {
    return static_cast<int64_t>(r.right - r.left) * (r.bottom - r.top);
}

FilmRect Union(const FilmRect& a, const FilmRect& b) {
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

// Film pixels that cost less to redraw than one more rectangle to clip and copy.
constexpr int64_t kFreeArea = 256;
// Changes are first found in tiles of this many film pixels square; beyond
// kMaxPieces pieces the changes are taken as bands of whole rows instead.
constexpr int32_t kTile = 16;
constexpr size_t kMaxPieces = 64;

bool Overlap(const FilmRect& a, const FilmRect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// Joins the two rectangles whose union adds the least area, while more than
// `limit` are left or a join adds almost nothing; a union takes in every
// rectangle it overlaps, so the rectangles stay apart.
void MergePieces(std::vector<FilmRect>* pieces, size_t limit) {
    while (pieces->size() > 1) {
        size_t bestA = 0, bestB = 1;
        int64_t bestCost = INT64_MAX;
        for (size_t i = 0; i < pieces->size(); ++i) {
            for (size_t j = i + 1; j < pieces->size(); ++j) {
                const FilmRect& a = (*pieces)[i];
                const FilmRect& b = (*pieces)[j];
                const int64_t cost = Area(Union(a, b)) - Area(a) - Area(b);
                if (cost < bestCost) {
                    bestCost = cost;
                    bestA = i;
                    bestB = j;
                }
            }
        }
        if (pieces->size() <= limit && bestCost > kFreeArea) break;
        FilmRect merged = Union((*pieces)[bestA], (*pieces)[bestB]);
        pieces->erase(pieces->begin() + static_cast<std::ptrdiff_t>(bestB));
        pieces->erase(pieces->begin() + static_cast<std::ptrdiff_t>(bestA));
        for (size_t k = 0; k < pieces->size();) {
            if (Overlap(merged, (*pieces)[k])) {
                merged = Union(merged, (*pieces)[k]);
                pieces->erase(pieces->begin() + static_cast<std::ptrdiff_t>(k));
                k = 0;
            } else {
                ++k;
            }
        }
        pieces->push_back(merged);
    }
}

// Joins the two neighbouring bands whose union adds the least area, while
// more than `limit` are left or a join adds almost nothing. Bands come
// sorted from top to bottom and stay so.
void MergeBands(std::vector<FilmRect>* bands, size_t limit) {
    while (bands->size() > 1) {
        size_t best = 0;
        int64_t bestCost = INT64_MAX;
        for (size_t i = 0; i + 1 < bands->size(); ++i) {
            const FilmRect& a = (*bands)[i];
            const FilmRect& b = (*bands)[i + 1];
            const int64_t cost = Area(Union(a, b)) - Area(a) - Area(b);
            if (cost < bestCost) {
                bestCost = cost;
                best = i;
            }
        }
        if (bands->size() <= limit && bestCost > kFreeArea) break;
        (*bands)[best] = Union((*bands)[best], (*bands)[best + 1]);
        bands->erase(bands->begin() + static_cast<std::ptrdiff_t>(best) + 1);
    }
}

int64_t FloorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
int64_t CeilDiv(int64_t a, int64_t b) { return -FloorDiv(-a, b); }

int32_t Clamp(int64_t v, int64_t low, int64_t high) {
    return static_cast<int32_t>(std::min(std::max(v, low), high));
}

}  // namespace

bool FrameDiff::Compare(const uint8_t* data, uint32_t size, int32_t width, int32_t height,
                        std::vector<FilmRect>* changed) {
    changed->clear();
    pending_ = true;
    nextValid_ = Decode(data, size, width, height);
    if (!nextValid_ || !shownValid_ || width != shownWidth_ || height != shownHeight_) return false;
    FindChanges(changed);
    return true;
}

void FrameDiff::Accept() {
    if (!pending_) return;
    pending_ = false;
    if (!nextValid_) {
        // The screen shows whatever the platform made of a stream we could not
        // read: nothing to compare the next frame with.
        shownValid_ = false;
        return;
    }
    shown_.swap(next_);
    shownWidth_ = nextWidth_;
    shownHeight_ = nextHeight_;
    shownValid_ = true;
    nextValid_ = false;
}

void FrameDiff::Reset() {
    shownValid_ = false;
    pending_ = false;
}

// The decoding rules of every film decoder: runs, end of row, end of frame,
// moves and literal runs; pixels outside the picture are skipped and nothing
// past `size` is read. A stream that leaves a pixel unwritten or never reaches
// its end code is not compared: the platform decides what such a frame shows.
bool FrameDiff::Decode(const uint8_t* data, uint32_t size, int32_t width, int32_t height) {
    if (width <= 0 || height <= 0 || data == nullptr) return false;
    const int64_t w = width, h = height;
    if (w * h > kMaxPixels) return false;
    try {
        next_.resize(static_cast<size_t>(w * h));
    } catch (const std::bad_alloc&) {
        return false;
    }
    nextWidth_ = width;
    nextHeight_ = height;

    // Within a row x only grows and rows only go up, so no pixel is written
    // twice: counting the writes tells whether every pixel was reached.
    int64_t written = 0;
    int64_t x = 0, y = 0;
    uint8_t* pixels = next_.data();
    auto put = [&](const uint8_t* values, int64_t count, uint8_t fill) {
        if (y < h && x < w) {
            const int64_t n = std::min(count, w - x);
            uint8_t* at = pixels + y * w + x;
            if (values) std::memcpy(at, values, static_cast<size_t>(n));
            else std::memset(at, fill, static_cast<size_t>(n));
            written += n;
        }
        x += count;
    };
    uint32_t at = 0;
    while (size - at >= 2) {
        const uint8_t a = data[at], b = data[at + 1];
        at += 2;
        if (a > 0) {
            put(nullptr, a, b);
        } else if (b == 0) {
            x = 0;
            ++y;
        } else if (b == 1) {
            return written == w * h;
        } else if (b == 2) {
            if (size - at < 2) return false;
            x += data[at];
            y += data[at + 1];
            at += 2;
        } else {
            if (size - at < b) return false;
            put(data + at, b, 0);
            at += b;
            if ((b & 1) && at < size) ++at;
        }
        // Keeps x and y far from overflow on hostile streams.
        if (x > w) x = w;
        if (y > h) y = h;
    }
    return false;
}

// Tiles that changed, joined into runs along each row of tiles and into
// columns of equal runs, shrunk to the pixels that changed, then merged to a
// few rectangles that do not overlap.
void FrameDiff::FindChanges(std::vector<FilmRect>* changed) {
    const int32_t w = shownWidth_, h = shownHeight_;
    const int32_t across = (w + kTile - 1) / kTile;
    tileChanged_.resize(static_cast<size_t>(across));
    pieces_.clear();
    for (int32_t tileTop = 0; tileTop < h; tileTop += kTile) {
        const int32_t tileBottom = std::min(h, tileTop + kTile);
        std::fill(tileChanged_.begin(), tileChanged_.end(), 0);
        bool any = false;
        for (int32_t top = tileTop; top < tileBottom; ++top) {
            const size_t offset = static_cast<size_t>(h - 1 - top) * static_cast<size_t>(w);  // bottom row first
            const uint8_t* a = shown_.data() + offset;
            const uint8_t* b = next_.data() + offset;
            if (std::memcmp(a, b, static_cast<size_t>(w)) == 0) continue;
            any = true;
            for (int32_t t = 0; t < across; ++t) {
                const int32_t left = t * kTile;
                const size_t length = static_cast<size_t>(std::min(kTile, w - left));
                if (!tileChanged_[t] && std::memcmp(a + left, b + left, length) != 0) tileChanged_[t] = 1;
            }
        }
        if (!any) continue;
        for (int32_t t = 0; t < across;) {
            if (!tileChanged_[t]) {
                ++t;
                continue;
            }
            int32_t end = t;
            while (end < across && tileChanged_[end]) ++end;
            const FilmRect run{t * kTile, tileTop, std::min(w, end * kTile), tileBottom};
            t = end;
            // The same run in the row of tiles above grows down instead.
            bool grown = false;
            for (FilmRect& p : pieces_) {
                if (p.bottom == tileTop && p.left == run.left && p.right == run.right) {
                    p.bottom = tileBottom;
                    grown = true;
                    break;
                }
            }
            if (grown) continue;
            if (pieces_.size() == kMaxPieces) {
                FindBands(changed);
                return;
            }
            pieces_.push_back(run);
        }
    }
    for (FilmRect& p : pieces_) Tighten(&p);
    MergePieces(&pieces_, kMaxRects);
    changed->assign(pieces_.begin(), pieces_.end());
}

// The smallest rectangle inside *r that holds every changed pixel of it.
void FrameDiff::Tighten(FilmRect* r) const {
    const int32_t w = shownWidth_, h = shownHeight_;
    FilmRect tight{r->right, r->bottom, r->left, r->top};
    for (int32_t top = r->top; top < r->bottom; ++top) {
        const size_t offset = static_cast<size_t>(h - 1 - top) * static_cast<size_t>(w);
        const uint8_t* a = shown_.data() + offset;
        const uint8_t* b = next_.data() + offset;
        int32_t left = r->left, right = r->right;
        while (left < right && a[left] == b[left]) ++left;
        if (left == right) continue;
        while (a[right - 1] == b[right - 1]) --right;
        tight.left = std::min(tight.left, left);
        tight.right = std::max(tight.right, right);
        tight.top = std::min(tight.top, top);
        tight.bottom = top + 1;
    }
    *r = tight;
}

// One rectangle per run of changed rows, with the columns that changed in it.
void FrameDiff::FindBands(std::vector<FilmRect>* changed) const {
    changed->clear();
    const int32_t w = shownWidth_, h = shownHeight_;
    const size_t rowBytes = static_cast<size_t>(w);
    FilmRect band{0, 0, 0, 0};
    bool inBand = false;
    for (int32_t top = 0; top < h; ++top) {
        const size_t offset = static_cast<size_t>(h - 1 - top) * rowBytes;  // stored bottom row first
        const uint8_t* a = shown_.data() + offset;
        const uint8_t* b = next_.data() + offset;
        if (std::memcmp(a, b, rowBytes) == 0) {
            if (inBand) changed->push_back(band);
            inBand = false;
            continue;
        }
        int32_t left = 0, right = w;
        while (a[left] == b[left]) ++left;
        while (a[right - 1] == b[right - 1]) --right;
        if (inBand) {
            band.left = std::min(band.left, left);
            band.right = std::max(band.right, right);
            band.bottom = top + 1;
        } else {
            band = {left, top, right, top + 1};
            inBand = true;
        }
    }
    if (inBand) changed->push_back(band);
    MergeBands(changed, kMaxRects);
}

FilmRect DestinationRect(const FilmRect& r, int32_t filmWidth, int32_t filmHeight,
                         int32_t destWidth, int32_t destHeight, int32_t margin) {
    const FilmRect none{0, 0, 0, 0};
    if (filmWidth <= 0 || filmHeight <= 0 || destWidth <= 0 || destHeight <= 0) return none;
    if (r.left >= r.right || r.top >= r.bottom) return none;
    // One film pixel and one destination pixel more than asked on each side:
    // the platform's stretch may round a sample to its neighbour.
    const int64_t grow = static_cast<int64_t>(std::max(margin, 0)) + 1;
    const int64_t fl = std::max<int64_t>(int64_t{r.left} - grow, 0);
    const int64_t ft = std::max<int64_t>(int64_t{r.top} - grow, 0);
    const int64_t fr = std::min<int64_t>(int64_t{r.right} + grow, filmWidth);
    const int64_t fb = std::min<int64_t>(int64_t{r.bottom} + grow, filmHeight);
    if (fl >= fr || ft >= fb) return none;
    FilmRect d;
    d.left = Clamp(FloorDiv(fl * destWidth, filmWidth) - 1, 0, destWidth);
    d.top = Clamp(FloorDiv(ft * destHeight, filmHeight) - 1, 0, destHeight);
    d.right = Clamp(CeilDiv(fr * destWidth, filmWidth) + 1, 0, destWidth);
    d.bottom = Clamp(CeilDiv(fb * destHeight, filmHeight) + 1, 0, destHeight);
    if (d.left >= d.right || d.top >= d.bottom) return none;
    return d;
}

// Cuts the union into bands at every top and bottom edge; in each band the
// rectangles that span it give runs of columns, joined where they touch,
// and a run the band above ended with grows down instead of starting anew.
void MakeDisjoint(std::vector<FilmRect>* rects) {
    std::vector<int32_t> edges;
    for (const FilmRect& r : *rects) {
        if (r.left >= r.right || r.top >= r.bottom) continue;
        edges.push_back(r.top);
        edges.push_back(r.bottom);
    }
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());

    struct Run {
        int32_t left, right;
        size_t rect;  // index in `out` of the rectangle the run belongs to
    };
    std::vector<FilmRect> out;
    std::vector<Run> above, runs;
    for (size_t e = 0; e + 1 < edges.size(); ++e) {
        const int32_t top = edges[e], bottom = edges[e + 1];
        runs.clear();
        for (const FilmRect& r : *rects) {
            if (r.left < r.right && r.top <= top && r.bottom >= bottom) runs.push_back({r.left, r.right, 0});
        }
        std::sort(runs.begin(), runs.end(), [](const Run& a, const Run& b) { return a.left < b.left; });
        size_t kept = 0;
        for (const Run& run : runs) {
            if (kept > 0 && run.left <= runs[kept - 1].right) {
                runs[kept - 1].right = std::max(runs[kept - 1].right, run.right);
            } else {
                runs[kept++] = run;
            }
        }
        runs.resize(kept);
        for (Run& run : runs) {
            auto same = std::find_if(above.begin(), above.end(),
                                     [&](const Run& a) { return a.left == run.left && a.right == run.right; });
            if (same != above.end()) {
                run.rect = same->rect;
                out[run.rect].bottom = bottom;
            } else {
                run.rect = out.size();
                out.push_back({run.left, top, run.right, bottom});
            }
        }
        above.swap(runs);
    }
    rects->swap(out);
}

void ToDestinationRegion(std::vector<FilmRect>* rects, int32_t filmWidth, int32_t filmHeight,
                         int32_t destWidth, int32_t destHeight, int32_t filmMargin, int32_t destMargin) {
    for (FilmRect& r : *rects) {
        const FilmRect own = DestinationRect(r, filmWidth, filmHeight, destWidth, destHeight, filmMargin);
        if (destMargin > 0 && own.left < own.right) {
            // Both contain the pixels of the rectangle itself: the larger reach is the outer edge on each side.
            const FilmRect core = DestinationRect(r, filmWidth, filmHeight, destWidth, destHeight, 0);
            r = {std::min(own.left, Clamp(int64_t{core.left} - destMargin, 0, destWidth)),
                 std::min(own.top, Clamp(int64_t{core.top} - destMargin, 0, destHeight)),
                 std::max(own.right, Clamp(int64_t{core.right} + destMargin, 0, destWidth)),
                 std::max(own.bottom, Clamp(int64_t{core.bottom} + destMargin, 0, destHeight))};
        } else {
            r = own;
        }
    }
    MakeDisjoint(rects);
}
