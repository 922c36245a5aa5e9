// The GDI+ rendering engine: frames become 8-bit indexed GDI+ bitmaps whose
// alpha palette turns grey levels into the opacity of one foreground colour,
// scaled over the background with a selectable interpolation mode.
// GDI+ must be started (GdiplusStartup) before an engine is constructed.
#pragma once

#include <windows.h>
#include <gdiplus.h>

#include <cstdint>
#include <memory>

#include "engines/gengine.h"

class gdiplusengine : public gengine {
public:
    // Binds the engine to `window`. Throws std::runtime_error when GDI+
    // cannot draw on the window or make the back buffer.
    explicit gdiplusengine(HWND window);
    ~gdiplusengine() override;

    void Resize() override;
    void BeginDraw() override;
    void EndDraw() override;
    void DrawBackground() override;
    void DrawFrame(EngineFrame* frame) override;
    void DrawOverlayText(const wchar_t* text, uint32_t length) override;
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

    // The rectangle every picture is stretched over: the client area grown
    // by one pixel to the right and at the bottom.
    Gdiplus::Rect DrawingRect() const { return Gdiplus::Rect(left_, top_, drawWidth_, drawHeight_); }

private:
    void MakeBackBuffer();
    Gdiplus::Graphics* Target() const;
    Gdiplus::Bitmap* ScaledBackground();

    HWND window_;
    std::unique_ptr<Gdiplus::Graphics> windowGraphics_;
    int32_t left_ = 0;
    int32_t top_ = 0;
    int32_t drawWidth_ = 0;
    int32_t drawHeight_ = 0;
    bool backBufferMode_ = false;
    // The bitmap before the Graphics made on it, so that the Graphics goes first.
    std::unique_ptr<Gdiplus::Bitmap> backBitmap_;
    std::unique_ptr<Gdiplus::Graphics> backGraphics_;
    std::unique_ptr<Gdiplus::Image> backgroundImage_;
    std::unique_ptr<Gdiplus::Bitmap> capturedBackground_;
    // The current background already stretched over the drawing rectangle
    // with the current interpolation mode, so that a tick only copies it;
    // dropped whenever the background, the mode or the size changes.
    std::unique_ptr<Gdiplus::Bitmap> scaledBackground_;
    uint32_t foregroundColor_ = 0;
    // Kept so that a rebuilt back buffer scales as the user chose.
    Gdiplus::InterpolationMode interpolation_ = Gdiplus::InterpolationModeDefault;
};
