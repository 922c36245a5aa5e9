// What changed between the frame on screen and the next one, shared by the
// three engines so that each redraws only that part of the picture. Portable:
// no Windows headers, so the host build tests it under the sanitizers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Film pixels, rows counted from the top of the picture; right and bottom exclusive.
struct FilmRect {
    int32_t left, top, right, bottom;
};

class FrameDiff {
public:
    // At most this many rectangles come out of Compare: each costs the
    // engines a clip entry and a copy to the window.
    static constexpr size_t kMaxRects = 32;

    FrameDiff() = default;
    FrameDiff(const FrameDiff&) = delete;
    FrameDiff& operator=(const FrameDiff&) = delete;

    // Decodes one RLE8 frame (width x height, the film's header values) and compares it with the frame
    // last accepted. false: draw everything (nothing accepted yet, another size, a stream that does not
    // decode). true: *changed holds the changed pixels as a few rectangles (empty when identical).
    bool Compare(const uint8_t* data, uint32_t size, int32_t width, int32_t height,
                 std::vector<FilmRect>* changed);
    void Accept();  // the frame last compared is now the one on screen
    void Reset();   // forget it: the next Compare says "draw everything"

private:
    bool Decode(const uint8_t* data, uint32_t size, int32_t width, int32_t height);
    void FindChanges(std::vector<FilmRect>* changed);
    void FindBands(std::vector<FilmRect>* changed) const;
    void Tighten(FilmRect* r) const;

    std::vector<uint8_t> shown_;    // the accepted frame, bottom row first
    std::vector<uint8_t> next_;     // the frame last compared
    int32_t shownWidth_ = 0, shownHeight_ = 0;
    int32_t nextWidth_ = 0, nextHeight_ = 0;
    bool shownValid_ = false;
    bool nextValid_ = false;   // next_ holds every pixel of a well-formed stream
    bool pending_ = false;     // a Compare has not been accepted yet
    // Work areas of FindChanges, kept between frames.
    std::vector<uint8_t> tileChanged_;
    std::vector<FilmRect> pieces_;
};

// The destination pixels (a destWidth x destHeight picture over which the whole film is stretched) that
// film rectangle `r` can touch, grown by `margin` film pixels on every side for smoothing filters,
// clipped to the destination. Same struct, destination pixel units.
FilmRect DestinationRect(const FilmRect& r, int32_t filmWidth, int32_t filmHeight,
                         int32_t destWidth, int32_t destHeight, int32_t margin);

// Replaces the rectangles with ones that cover the same pixels and do not
// overlap, so that an engine drawing each one on its own blends no pixel
// twice and draws no pixel outside them. Empty rectangles are dropped.
void MakeDisjoint(std::vector<FilmRect>* rects);

// The film rectangles in *rects become the destination rectangles they can
// touch (DestinationRect with `filmMargin`), each reaching at least
// `destMargin` destination pixels beyond the pixels of its own, cut so that
// none overlap.
void ToDestinationRegion(std::vector<FilmRect>* rects, int32_t filmWidth, int32_t filmHeight,
                         int32_t destWidth, int32_t destHeight, int32_t filmMargin, int32_t destMargin = 0);
