// The GDI+ rendering engine: frames become 8-bit indexed GDI+ bitmaps whose
// alpha palette turns grey levels into the opacity of one foreground colour,
// scaled over the background with a selectable interpolation mode.
// GDI+ must be started (GdiplusStartup) before an engine is constructed.
#pragma once

#include <windows.h>
#include <gdiplus.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "engines/RedrawPlan.h"
#include "engines/GdiGuards.h"
#include "engines/gengine.h"

struct GdiplusDecodedFrame;
struct GreyBitmapInfo;

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
    void InvalidatePicture() override;

    // The rectangle every picture is stretched over: the client area grown
    // by one pixel to the right and at the bottom.
    Gdiplus::Rect DrawingRect() const { return Gdiplus::Rect(left_, top_, drawWidth_, drawHeight_); }

private:
    // A 32-bit top-down DIB section selected into its own memory DC, so that
    // GDI copies into and out of it and GDI+ draws on its pixels.
    struct Surface {
        GdiBitmap dib;
        OwnedDC dc;
        HGDIOBJ oldBitmap = nullptr;
        uint32_t* pixels = nullptr;
        int32_t width = 0, height = 0;
        ~Surface();
        bool Make(int32_t w, int32_t h);
    };

    void MakeBackBuffer();
    Gdiplus::Graphics* Target() const;
    Surface* ScaledBackground();
    void SetReach();
    Gdiplus::Rect WindowRect(const FilmRect& r) const;
    void PaintBackground(const Gdiplus::Rect& area);
    void UpgradeToWholePicture(EngineFrame* drawnBefore);
    void DrawFilmPart(Gdiplus::Graphics& graphics, Gdiplus::Bitmap* film, const Gdiplus::Rect& area);
    std::unique_ptr<GdiplusDecodedFrame> TakeDecoded(int32_t width, int32_t height);
    std::unique_ptr<GdiplusDecodedFrame> Decode(const GreyBitmapInfo& rle, const uint8_t* data);
    bool SetPalette(Gdiplus::Bitmap& bitmap);

    HWND window_;
    std::unique_ptr<Gdiplus::Graphics> windowGraphics_;
    int32_t left_ = 0;
    int32_t top_ = 0;
    int32_t drawWidth_ = 0;
    int32_t drawHeight_ = 0;
    bool backBufferMode_ = false;
    // The back buffer's pixels, then the bitmap on them, then the Graphics
    // made on that bitmap: declared in this order so they go in reverse.
    std::unique_ptr<Surface> backSurface_;
    std::unique_ptr<Gdiplus::Bitmap> backBitmap_;
    std::unique_ptr<Gdiplus::Graphics> backGraphics_;
    std::unique_ptr<Gdiplus::Image> backgroundImage_;
    std::unique_ptr<Gdiplus::Bitmap> capturedBackground_;
    // The current background already stretched over the drawing rectangle
    // with the current interpolation mode, so that a tick only copies it;
    // dropped whenever the background, the mode or the size changes.
    std::unique_ptr<Surface> scaledBackground_;
    uint32_t foregroundColor_ = 0;
    // Kept so that a rebuilt back buffer scales as the user chose.
    Gdiplus::InterpolationMode interpolation_ = Gdiplus::InterpolationModeDefault;

    // Frame decoding: GDI+ is asked once to take a compressed stream; after
    // a refusal GDI decodes every frame into a reused 8-bit DIB section.
    bool gdiplusTakesRle_ = true;
    OwnedDC decodeDc_;
    std::unique_ptr<GdiplusDecodedFrame> spareDecoded_;
    std::vector<uint8_t> palette_;  // for paletteColor_
    uint32_t paletteColor_ = 0;

    RedrawPlan plan_;
};
