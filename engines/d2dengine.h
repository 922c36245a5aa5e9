// The Direct2D rendering engine: a hardware render target on the window,
// frames and backgrounds turned into Direct2D bitmaps through WIC, and the
// frame-rate line drawn with DirectWrite. Direct2D and DirectWrite are
// loaded by name at run time by InitDirect2D, never linked.
#pragma once

#include <windows.h>
#include <d2d1.h>
#include <dwrite.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <cstdint>
#include <vector>

#include "engines/RedrawPlan.h"
#include "engines/GdiGuards.h"
#include "engines/gengine.h"

// Loads "d2d1.dll" and "dwrite.dll" and makes the process-wide Direct2D,
// DirectWrite and WIC factories. COM must be initialised on the thread.
// False when Direct2D or DirectWrite is missing or its factory cannot be
// made. Later calls keep the factories that already exist.
bool InitDirect2D();

// The three blendings of parameter 1.
enum D2DMode : uint32_t {
    kD2DNoTranslucent = 0,  // the frame covers the background
    kD2DWhiteTop = 1,       // grey levels are added to the background
    kD2DBlackTop = 2,       // dark parts cover it, white leaves it alone
};

class d2dengine : public gengine {
public:
    // Creates the render target on `window` and the text format. Throws
    // std::runtime_error when either cannot be made (no factories, or no
    // hardware rendering for the window).
    explicit d2dengine(HWND window);
    ~d2dengine() override;

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

    uint32_t mode() const { return mode_; }
    // The pixel format the render target accepted.
    DXGI_FORMAT pixelFormat() const { return pixelFormat_; }

private:
    bool DecodeFrame(const uint8_t* data, uint32_t size, int32_t width, int32_t height);
    Microsoft::WRL::ComPtr<ID2D1Bitmap> TakeBitmap(int32_t width, int32_t height);
    D2D1_RECT_F DrawingRect() const;
    void PaintBackground();
    void PaintFrame(ID2D1Bitmap* bitmap);
    void PayBackground();
    bool Hides(ID2D1Bitmap* bitmap) const;
    void UpgradeToWholePicture(EngineFrame* drawnBefore);

    HWND window_;
    Microsoft::WRL::ComPtr<ID2D1HwndRenderTarget> hwndTarget_;
    Microsoft::WRL::ComPtr<ID2D1RenderTarget> target_;
    Microsoft::WRL::ComPtr<ID2D1Bitmap> capturedBackground_;
    Microsoft::WRL::ComPtr<ID2D1Bitmap> loadedBackground_;
    int32_t width_ = 0;
    int32_t height_ = 0;
    Microsoft::WRL::ComPtr<IDWriteTextFormat> textFormat_;
    uint32_t mode_ = kD2DNoTranslucent;
    DXGI_FORMAT pixelFormat_ = DXGI_FORMAT_UNKNOWN;

    // Frame decoding: GDI decodes each frame into one 32-bit DIB section,
    // whose pixels take the mode's layout in place and are copied into a
    // Direct2D bitmap handed from frame to frame while the size stays.
    OwnedDC decodeDc_;
    GdiBitmap decodeDib_;
    uint8_t* decodePixels_ = nullptr;
    int32_t decodeWidth_ = 0, decodeHeight_ = 0;
    Microsoft::WRL::ComPtr<ID2D1Bitmap> spareBitmap_;

    RedrawPlan plan_;
    bool drawing_ = false;
    // DrawBackground was called and nothing has been drawn over it yet.
    bool backgroundOwed_ = false;
};

// Black Top: the 32-bit pixels (blue first) of a frame become black with
// opacity 255 - blue, so white leaves the background and black covers it.
void RewriteBlackTop(uint8_t* pixels, uint32_t byteCount);
