// The GDI rendering engine: a memory DC as back buffer, each frame handed to
// GDI as a compressed RLE8 DIB that StretchDIBits decodes and stretches, and
// one ternary raster operation, chosen by the two parameters, deciding what
// the white and the black parts of the frame do to the background.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "engines/RedrawPlan.h"
#include "engines/GdiGuards.h"
#include "engines/gengine.h"

// How DrawFrame combines a frame with what is already drawn.
struct GdiDrawMode {
    DWORD rasterOperation = 0;     // 0: the frame is not drawn
    bool invertSource = false;     // draw an inverted copy of the frame
    bool invertDestinationFirst = false;
};

// The mode for "what white does" (param1) and "what black does" (param2),
// each 0 white, 1 black, 2 unchanged, 3 inverted. Pairs outside the table
// give raster operation 0.
GdiDrawMode ChooseGdiDrawMode(uint32_t param1, uint32_t param2);

class gdiengine : public gengine {
public:
    // Binds the engine to `window` at the size of its client area now.
    explicit gdiengine(HWND window);
    ~gdiengine() override;

    void Resize() override;
    void BeginDraw() override;
    void EndDraw() override;
    void DrawBackground() override;
    void DrawFrame(EngineFrame* frame) override;
    void DrawOverlayText(const wchar_t* text, uint32_t length) override;
    // Any image GDI+ decodes; GDI+ must have been started.
    bool LoadBackground(const wchar_t* path) override;
    void CaptureBackground() override;
    EngineFrame* CreateFrame(const uint8_t* data, uint32_t size,
                             int32_t width, int32_t height, uint32_t bitCount) override;
    void DeleteFrame(EngineFrame* frame) override;
    uint32_t GetParam1Count() override;
    int GetParam1Name(wchar_t* buffer, uint32_t capacity) override;
    int GetParam1Option(uint32_t index, wchar_t* buffer, uint32_t capacity) override;
    void SetParam1(uint32_t index) override;
    uint32_t GetParam2Count() override;
    int GetParam2Name(wchar_t* buffer, uint32_t capacity) override;
    int GetParam2Option(uint32_t index, wchar_t* buffer, uint32_t capacity) override;
    void SetParam2(uint32_t index) override;
    void InvalidatePicture() override;

    const GdiDrawMode& DrawMode() const { return mode_; }
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    // Whether the draw under way (or the last one) was limited to the changed region.
    bool LastDrawWasPartial() const { return lastDrawPartial_; }

private:
    class BackgroundImage;

    void MakeBackBuffer();
    HDC Target() const { return backBufferMode_ ? backBufferDc_.get() : windowDc_.get(); }
    // The window pixels this tick draws as the back buffer's clip region;
    // the tick turns whole when no region can be had.
    void SelectChangedRegion();
    void DrawWholePicture(EngineFrame* drawnBefore);
    void EndPartialDraw();
    HDC InvertedFrameDc();

    HWND window_;
    RECT clientRect_ = {};
    int32_t width_ = 0;
    int32_t height_ = 0;
    WindowDC windowDc_;
    bool backBufferMode_ = false;
    // Objects come before the DCs they are selected into, so that the DCs
    // are deleted first.
    GdiFont overlayFont_;
    GdiBitmap backBufferBitmap_;
    OwnedDC backBufferDc_;
    // The background is drawn from backgroundDc_: the loaded image's DC or
    // the capture's, or none.
    HDC backgroundDc_ = nullptr;
    int32_t backgroundWidth_ = 0;
    int32_t backgroundHeight_ = 0;
    GdiBitmap captureBitmap_;
    OwnedDC captureDc_;
    std::unique_ptr<BackgroundImage> image_;
    GdiDrawMode mode_;
    uint32_t param1_ = 0;
    uint32_t param2_ = 0;

    RedrawPlan plan_;
    bool lastDrawPartial_ = false;
    GdiObject<HRGN> clipRegion_;   // the window rectangles of a partial tick as a region
    // The inverted frame of the inverting modes, kept at the window's size.
    GdiBitmap invertedBitmap_;
    OwnedDC invertedDc_;
};
