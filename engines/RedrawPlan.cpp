#include "engines/RedrawPlan.h"

void RedrawPlan::SetDestination(int32_t width, int32_t height) {
    width_ = width;
    height_ = height;
    redrawAll_ = true;
}

void RedrawPlan::SetReach(int32_t filmPixels, int32_t windowPixels, int64_t rectangleCost, bool readsWholeFilm) {
    reachFilm_ = filmPixels;
    reachWindow_ = windowPixels;
    rectangleCost_ = rectangleCost;
    readsWholeFilm_ = readsWholeFilm;
}

void RedrawPlan::RedrawAll() { redrawAll_ = true; }

void RedrawPlan::DrawnOutsideTick() {
    diff_.Reset();
    redrawAll_ = true;
}

void RedrawPlan::FrameMade(EngineFrame* frame, const uint8_t* data, uint32_t size, int32_t width, int32_t height) {
    changedKnown_ = diff_.Compare(data, size, width, height, &changed_);
    compared_ = frame;
    filmWidth_ = width;
    filmHeight_ = height;
}

void RedrawPlan::FrameDeleted(EngineFrame* frame) {
    if (frame == compared_) {
        compared_ = nullptr;
        changedKnown_ = false;
    }
    if (frame == drawn_) drawn_ = nullptr;
}

void RedrawPlan::BeginTick(bool partAllowed) {
    drawn_ = nullptr;
    frameDrawn_ = false;
    overlay_ = false;
    rects_.clear();
    partial_ = partAllowed && !redrawAll_ && changedKnown_ && compared_;
    if (!partial_) return;
    rects_ = changed_;
    ToDestinationRegion(&rects_, filmWidth_, filmHeight_, width_, height_, reachFilm_, reachWindow_);
    if (WholeIsCheaper()) {
        partial_ = false;
        rects_.clear();
    }
}

// A pixel drawn in a part costs about a third more than in a whole picture
// (a clip, a copy of its own), and each rectangle costs more again; a whole
// draw wins once that reaches the window's area.
bool RedrawPlan::WholeIsCheaper() const {
    const int64_t whole = 3 * int64_t{width_} * height_;
    const int64_t each = rectangleCost_ + (readsWholeFilm_ ? int64_t{filmWidth_} * filmHeight_ / 8 : 0);
    int64_t cost = 0;
    for (const FilmRect& r : rects_) {
        cost += 4 * int64_t{r.right - r.left} * (r.bottom - r.top) + 3 * each;
        if (cost >= whole) return true;
    }
    return false;
}

bool RedrawPlan::TurnWhole() {
    const bool wasPartial = partial_;
    partial_ = false;
    rects_.clear();
    return wasPartial;
}

bool RedrawPlan::DrawsFrame(EngineFrame* frame) {
    const bool turnsWhole = frame != compared_ && TurnWhole();
    drawn_ = frame;
    frameDrawn_ = true;
    return turnsWhole;
}

// The line lies outside the changed part, and the tick after it must take it away again.
bool RedrawPlan::DrawsOverlay() {
    overlay_ = true;
    return TurnWhole();
}

void RedrawPlan::EndTick() {
    if (frameDrawn_ && drawn_ && drawn_ == compared_) {
        // The window shows the compared frame: later frames are compared with it.
        diff_.Accept();
        changed_.clear();
        redrawAll_ = overlay_;
    } else {
        diff_.Reset();
        redrawAll_ = true;
    }
    partial_ = false;
    rects_.clear();
}
