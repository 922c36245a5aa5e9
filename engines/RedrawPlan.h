// Which part of the window a tick redraws, decided in one place for the
// three engines: the whole picture after anything that changes more than the
// film (a new engine, a repaint, a parameter, a background, a new size, the
// frame-rate line), else the window rectangles that the frame being drawn
// changed, unless drawing them costs more than the whole. Each engine only
// draws what it is told and copies it to the window. Portable, as FrameDiff.
#pragma once

#include <cstdint>
#include <vector>

#include "engines/FrameDiff.h"
#include "engines/gengine.h"

class RedrawPlan {
public:
    RedrawPlan() = default;
    RedrawPlan(const RedrawPlan&) = delete;
    RedrawPlan& operator=(const RedrawPlan&) = delete;

    // The window pixels the film is stretched over; a new size redraws all.
    void SetDestination(int32_t width, int32_t height);
    // How far the engine's drawing of a changed film pixel reaches: `filmPixels` of the film around it, and
    // at least `windowPixels` of the window. `rectangleCost`: what drawing one more rectangle costs beyond
    // its own pixels (a clip, a copy), in window pixels drawn; `readsWholeFilm`: each rectangle costs an
    // eighth of the film's pixels more (an engine that converts the whole film for each).
    void SetReach(int32_t filmPixels, int32_t windowPixels, int64_t rectangleCost, bool readsWholeFilm = false);

    // The next tick draws the whole picture.
    void RedrawAll();
    // The engine drew straight on the window: what it shows no longer follows the frames.
    void DrawnOutsideTick();

    // The engine made `frame` from this RLE8 stream: it is compared with the frame on the window.
    void FrameMade(EngineFrame* frame, const uint8_t* data, uint32_t size, int32_t width, int32_t height);
    void FrameDeleted(EngineFrame* frame);

    // A tick: BeginTick, DrawsFrame and DrawsOverlay as the engine is asked to draw, EndTick once the
    // picture is on the window. `partAllowed`: a part drawn over what the window shows gives the picture
    // a whole redraw would (false, for example, when the engine has no background to draw under it).
    void BeginTick(bool partAllowed);
    // Whether the tick draws only Rects() (window pixels, none overlapping; none when nothing changed).
    bool Partial() const { return partial_; }
    const std::vector<FilmRect>& Rects() const { return rects_; }
    // The tick draws `frame`, or the line over the picture. True when the tick, partial so far, turns whole
    // here: the engine first draws again, over the whole picture, its background and DrawnFrame().
    bool DrawsFrame(EngineFrame* frame);
    bool DrawsOverlay();
    // The engine cannot draw this tick's part (no clip to be had): true when the tick was partial.
    bool TurnWhole();
    // The frame drawn so far in this tick (null when none).
    EngineFrame* DrawnFrame() const { return drawn_; }
    void EndTick();

private:
    bool WholeIsCheaper() const;

    FrameDiff diff_;
    std::vector<FilmRect> changed_;  // film pixels that compared_ changed
    std::vector<FilmRect> rects_;    // the window rectangles of a partial tick
    EngineFrame* compared_ = nullptr;
    bool changedKnown_ = false;
    int32_t filmWidth_ = 0, filmHeight_ = 0;
    int32_t width_ = 0, height_ = 0;
    int32_t reachFilm_ = 0, reachWindow_ = 0;
    int64_t rectangleCost_ = 0;
    bool readsWholeFilm_ = false;
    bool redrawAll_ = true;
    bool partial_ = false;
    EngineFrame* drawn_ = nullptr;
    bool frameDrawn_ = false;
    bool overlay_ = false;
};
