// The rendering engine interface. The player and the configuration dialog
// draw only through it; GDI, GDI+ and Direct2D each implement it.
// The eighteen operations keep a fixed slot order and the destructor follows
// them; later additions come after it.
#pragma once

#include <cstdint>

// A drawable frame made by one engine's CreateFrame and handed back only to
// the same engine's DrawFrame and DeleteFrame. Callers never look inside:
// each engine derives its own frame type from this empty base.
class EngineFrame {
protected:
    EngineFrame() = default;
    ~EngineFrame() = default;
};

class gengine {
public:
    virtual void Resize() = 0;
    virtual void BeginDraw() = 0;
    virtual void EndDraw() = 0;
    virtual void DrawBackground() = 0;
    virtual void DrawFrame(EngineFrame* frame) = 0;
    virtual void DrawOverlayText(const wchar_t* text, uint32_t length) = 0;
    virtual bool LoadBackground(const wchar_t* path) = 0;
    virtual void CaptureBackground() = 0;
    virtual EngineFrame* CreateFrame(const uint8_t* data, uint32_t size,
                                     int32_t width, int32_t height, uint32_t bitCount) = 0;
    virtual void DeleteFrame(EngineFrame* frame) = 0;
    virtual uint32_t GetParam1Count() = 0;
    virtual int GetParam1Name(wchar_t* buffer, uint32_t capacity) = 0;
    virtual int GetParam1Option(uint32_t index, wchar_t* buffer, uint32_t capacity) = 0;
    virtual void SetParam1(uint32_t index) = 0;
    virtual uint32_t GetParam2Count() = 0;
    virtual int GetParam2Name(wchar_t* buffer, uint32_t capacity) = 0;
    virtual int GetParam2Option(uint32_t index, wchar_t* buffer, uint32_t capacity) = 0;
    virtual void SetParam2(uint32_t index) = 0;

    virtual ~gengine() = default;

    // The next drawn tick draws and shows the whole picture (the window was uncovered or repainted).
    virtual void InvalidatePicture() {}

    // The part of the desktop that CaptureBackground copies, in virtual-screen
    // pixels; until one is set, the primary screen.
    void SetCaptureArea(int32_t left, int32_t top, int32_t width, int32_t height) {
        captureArea_ = {left, top, width, height};
    }

protected:
    struct DesktopArea {
        int32_t left, top, width, height;
    };
    // The area to copy, given the primary screen's size.
    DesktopArea AreaToCapture(int32_t primaryWidth, int32_t primaryHeight) const {
        if (captureArea_.width <= 0 || captureArea_.height <= 0) return {0, 0, primaryWidth, primaryHeight};
        return captureArea_;
    }

    gengine() = default;
    gengine(const gengine&) = delete;
    gengine& operator=(const gengine&) = delete;

private:
    DesktopArea captureArea_ = {0, 0, 0, 0};
};
