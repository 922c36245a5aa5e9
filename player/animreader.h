// Opens a Noxel film, keeps its header and offset matrix, and fetches any
// frame by number with one positioned read into a single reusable buffer.
// The frame's bytes go straight to an engine's CreateFrame; the reader never
// decodes a frame itself.
#pragma once

#include <windows.h>

#include <cstdint>

#include "engines/gengine.h"
#include "format/AnimationFormat.h"

class animreader {
public:
    animreader() = default;
    ~animreader() { Close(); }
    animreader(const animreader&) = delete;
    animreader& operator=(const animreader&) = delete;

    // True when the film is open, its tables are in memory and the frame
    // buffer holds the largest frame. Callers release an earlier film first.
    bool Open(const wchar_t* path);
    // The engine's frame for `index`, or null past the end or with no film.
    // Delete the frame before fetching the next: it may borrow the buffer.
    EngineFrame* ReadFrame(uint32_t index, gengine* engine);
    // Closes the file and frees the matrix and the frame buffer.
    void Close();
    // Closes the file and frees the matrix but keeps the frame buffer for
    // the next Open (the dialog's preview does this when it stops).
    void Release();

    uint32_t FrameCount() const { return frameCount_; }
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    uint32_t Capacity() const { return capacity_; }
    bool IsOpen() const { return file_ != nullptr; }

private:
    HANDLE file_ = nullptr;
    // The header fields, in file order.
    uint32_t magic_ = 0;
    uint32_t frameCount_ = 0;
    int32_t width_ = 0;
    int32_t height_ = 0;
    uint32_t bitCount_ = 0;
    OffsetEntry* offsets_ = nullptr;
    uint8_t* buffer_ = nullptr;
    uint32_t capacity_ = 0;
};
