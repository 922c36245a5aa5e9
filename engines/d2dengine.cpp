// The Direct2D engine and the process-wide set-up of Direct2D, DirectWrite
// and WIC. Each frame is decoded by GDI into a 32-bit DIB section, turned in
// place into the premultiplied pixels of the chosen mode and copied into a
// Direct2D bitmap that is reused while the film's size stays the same.
// Between two ticks only the part whose film pixels changed is drawn.
#include "engines/d2dengine.h"

#include <strsafe.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>

#include "engines/FrameBitmapInfo.h"
#include "engines/GdiGuards.h"

using Microsoft::WRL::ComPtr;

namespace {

// Made once per process and never released: engines made later share them
// and the process ends soon after its last engine.
ID2D1Factory* g_d2dFactory = nullptr;
IDWriteFactory* g_writeFactory = nullptr;
IWICImagingFactory* g_wicFactory = nullptr;

typedef HRESULT(WINAPI* D2D1CreateFactoryProc)(D2D1_FACTORY_TYPE, REFIID, const D2D1_FACTORY_OPTIONS*, void**);
typedef HRESULT(WINAPI* DWriteCreateFactoryProc)(DWRITE_FACTORY_TYPE, REFIID, IUnknown**);

template <typename Proc>
Proc LoadExport(const wchar_t* library, const char* name) {
    HMODULE module = LoadLibraryW(library);
    if (!module) return nullptr;
    // FARPROC goes through the generic function type to the real signature.
    return reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// Linear interpolation reads one neighbour; DestinationRect adds one more
// for rounding.
constexpr int32_t kFilmMargin = 1;
// One more rectangle costs two clips and two draw calls of whole bitmaps.
constexpr int64_t kRectangleCost = 16384;

constexpr float kPixelDpi = 96.0f;

const wchar_t kParam1Name[] = L"Mode";
const wchar_t kParam2Name[] = L"No Settings";
const wchar_t* const kModeLabels[] = {L"No Translucent", L"White Top", L"Black Top"};
constexpr uint32_t kModeCount = 3;

struct D2DFrame : EngineFrame {
    ComPtr<ID2D1Bitmap> bitmap;
};

D2D1_RECT_F ClipRect(const FilmRect& r) {
    return D2D1::RectF(static_cast<float>(r.left), static_cast<float>(r.top), static_cast<float>(r.right),
                       static_cast<float>(r.bottom));
}

ComPtr<IWICBitmapSource> ToPremultipliedBgra(IWICBitmapSource* source) {
    ComPtr<IWICFormatConverter> converter;
    if (!g_wicFactory || FAILED(g_wicFactory->CreateFormatConverter(&converter))) return nullptr;
    if (FAILED(converter->Initialize(source, GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone,
                                     nullptr, 0.0, WICBitmapPaletteTypeCustom))) {
        return nullptr;
    }
    return converter;
}

bool HasFamily(const wchar_t* family) {
    ComPtr<IDWriteFontCollection> fonts;
    UINT32 index = 0;
    BOOL exists = FALSE;
    return SUCCEEDED(g_writeFactory->GetSystemFontCollection(&fonts, FALSE)) &&
           SUCCEEDED(fonts->FindFamilyName(family, &index, &exists)) && exists;
}

// The family of the frame-rate line: "Meiryo" where it is installed. Where
// it is not, some DirectWrite versions draw nothing at all for it, so take
// the face GDI's font mapper puts in its place.
std::wstring TextFamily() {
    const wchar_t kPreferred[] = L"Meiryo";
    if (HasFamily(kPreferred)) return kPreferred;
    GdiFont font(CreateFontW(48, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, kPreferred));
    WindowDC screen(nullptr);
    wchar_t face[LF_FACESIZE] = {};
    if (font.get() && screen.get()) {
        SelectedObject selected(screen.get(), font.get());
        GetTextFaceW(screen.get(), LF_FACESIZE, face);
    }
    return face[0] && HasFamily(face) ? face : kPreferred;
}

// The line's 48 device-independent pixels (1/96 inch) in pixels of the display.
float TextPixels() {
    constexpr float kTextDips = 48.0f;
    WindowDC screen(nullptr);
    const int dpi = screen.get() ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
    return dpi > 0 ? kTextDips * static_cast<float>(dpi) / kPixelDpi : kTextDips;
}

}  // namespace

bool InitDirect2D() {
    auto createD2D = LoadExport<D2D1CreateFactoryProc>(L"d2d1.dll", "D2D1CreateFactory");
    if (!createD2D) return false;
    if (!g_d2dFactory) {
        void* factory = nullptr;
        HRESULT hr = createD2D(D2D1_FACTORY_TYPE_SINGLE_THREADED, __uuidof(ID2D1Factory), nullptr, &factory);
        if (FAILED(hr) || !factory) return false;
        g_d2dFactory = static_cast<ID2D1Factory*>(factory);
    }
    auto createWrite = LoadExport<DWriteCreateFactoryProc>(L"dwrite.dll", "DWriteCreateFactory");
    if (!createWrite) return false;
    if (!g_writeFactory) {
        IUnknown* factory = nullptr;
        if (SUCCEEDED(createWrite(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory), &factory))) {
            g_writeFactory = static_cast<IDWriteFactory*>(factory);
        }
    }
    if (!g_wicFactory) {
        CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&g_wicFactory));
    }
    return true;
}

void RewriteBlackTop(uint8_t* pixels, uint32_t byteCount) {
    for (uint32_t i = 0; i + 4 <= byteCount; i += 4) {
        uint8_t alpha = static_cast<uint8_t>(255 - pixels[i]);
        pixels[i] = pixels[i + 1] = pixels[i + 2] = 0;
        pixels[i + 3] = alpha;
    }
}

d2dengine::d2dengine(HWND window) : window_(window) {
    RECT client = {};
    GetClientRect(window_, &client);
    width_ = client.right - client.left;
    height_ = client.bottom - client.top;
    if (!g_d2dFactory) throw std::runtime_error("Direct2D is not set up");

    D2D1_HWND_RENDER_TARGET_PROPERTIES hwndProperties = D2D1::HwndRenderTargetProperties(
        window_, D2D1::SizeU(static_cast<UINT32>(width_), static_cast<UINT32>(height_)),
        // Kept between presents, so a tick may draw only what changed.
        D2D1_PRESENT_OPTIONS_RETAIN_CONTENTS);
    // Some drivers refuse the red-first layout for a window target; the
    // blue-first one with the same premultiplied alpha draws the same.
    for (DXGI_FORMAT format : {DXGI_FORMAT_R8G8B8A8_UNORM, DXGI_FORMAT_B8G8R8A8_UNORM}) {
        // At 96 DPI one unit is one pixel whatever the display's scale, as the drawing rectangle and the
        // changed rectangles are counted (the default, the desktop's DPI, would stretch them all).
        D2D1_RENDER_TARGET_PROPERTIES properties = D2D1::RenderTargetProperties(
            D2D1_RENDER_TARGET_TYPE_HARDWARE, D2D1::PixelFormat(format, D2D1_ALPHA_MODE_PREMULTIPLIED),
            kPixelDpi, kPixelDpi, D2D1_RENDER_TARGET_USAGE_NONE, D2D1_FEATURE_LEVEL_DEFAULT);
        if (SUCCEEDED(g_d2dFactory->CreateHwndRenderTarget(&properties, &hwndProperties, &hwndTarget_)) &&
            hwndTarget_) {
            pixelFormat_ = format;
            break;
        }
        hwndTarget_.Reset();
    }
    if (!hwndTarget_) throw std::runtime_error("no Direct2D render target for the window");
    if (FAILED(hwndTarget_.As(&target_)) || !target_) {
        throw std::runtime_error("the render target has no drawing interface");
    }
    if (!g_writeFactory ||
        FAILED(g_writeFactory->CreateTextFormat(TextFamily().c_str(), nullptr, DWRITE_FONT_WEIGHT_NORMAL,
                                                DWRITE_FONT_STYLE_NORMAL, DWRITE_FONT_STRETCH_NORMAL,
                                                TextPixels(), L"ja_JP", &textFormat_)) ||
        !textFormat_) {
        throw std::runtime_error("DirectWrite cannot make the text format");
    }
    plan_.SetDestination(width_, height_);
    plan_.SetReach(kFilmMargin, 0, kRectangleCost);
}

d2dengine::~d2dengine() = default;

D2D1_RECT_F d2dengine::DrawingRect() const {
    return D2D1::RectF(0.0f, 0.0f, static_cast<float>(width_), static_cast<float>(height_));
}

void d2dengine::Resize() {
    RECT client = {};
    GetClientRect(window_, &client);
    width_ = client.right - client.left;
    height_ = client.bottom - client.top;
    hwndTarget_->Resize(D2D1::SizeU(static_cast<UINT32>(width_), static_cast<UINT32>(height_)));
    plan_.SetDestination(width_, height_);
}

void d2dengine::InvalidatePicture() {
    plan_.RedrawAll();
}

void d2dengine::BeginDraw() {
    target_->BeginDraw();
    drawing_ = true;
    backgroundOwed_ = false;
    plan_.BeginTick(true);
}

void d2dengine::EndDraw() {
    PayBackground();
    target_->EndDraw(nullptr, nullptr);
    if (drawing_) plan_.EndTick();
    drawing_ = false;
}

void d2dengine::PaintBackground() {
    ID2D1Bitmap* picture = loadedBackground_ ? loadedBackground_.Get() : capturedBackground_.Get();
    if (!picture) {
        target_->Clear(D2D1::ColorF(0.0f, 0.0f, 0.0f, 1.0f));
        return;
    }
    target_->DrawBitmap(picture, DrawingRect(), 1.0f, D2D1_BITMAP_INTERPOLATION_MODE_LINEAR, nullptr);
}

void d2dengine::PaintFrame(ID2D1Bitmap* bitmap) {
    target_->DrawBitmap(bitmap, DrawingRect(), 1.0f, D2D1_BITMAP_INTERPOLATION_MODE_LINEAR, nullptr);
}

// The background is owed until the next draw or the end of the tick: a
// No Translucent frame covers every pixel of it, and drawing a picture
// nobody sees costs as much as the frame itself.
void d2dengine::DrawBackground() {
    backgroundOwed_ = true;
}

bool d2dengine::Hides(ID2D1Bitmap* bitmap) const {
    return bitmap && mode_ == kD2DNoTranslucent;
}

// The picture is drawn whole in every changed rectangle under an aliased
// clip, so each pixel inside is the one a whole draw gives.
void d2dengine::PayBackground() {
    if (!backgroundOwed_) return;
    backgroundOwed_ = false;
    if (!plan_.Partial()) {
        PaintBackground();
        return;
    }
    for (const FilmRect& r : plan_.Rects()) {
        target_->PushAxisAlignedClip(ClipRect(r), D2D1_ANTIALIAS_MODE_ALIASED);
        PaintBackground();
        target_->PopAxisAlignedClip();
    }
}

// A tick that began as a partial one draws the whole picture after all.
void d2dengine::UpgradeToWholePicture(EngineFrame* drawnBefore) {
    backgroundOwed_ = true;
    ID2D1Bitmap* bitmap = drawnBefore ? static_cast<D2DFrame*>(drawnBefore)->bitmap.Get() : nullptr;
    if (!bitmap) return;
    if (Hides(bitmap)) backgroundOwed_ = false;
    PayBackground();
    PaintFrame(bitmap);
}

void d2dengine::DrawFrame(EngineFrame* frame) {
    auto* own = static_cast<D2DFrame*>(frame);
    ID2D1Bitmap* bitmap = own ? own->bitmap.Get() : nullptr;
    EngineFrame* drawnBefore = plan_.DrawnFrame();
    if (plan_.DrawsFrame(frame)) UpgradeToWholePicture(drawnBefore);
    if (Hides(bitmap)) backgroundOwed_ = false;
    PayBackground();
    if (!bitmap) return;
    if (!plan_.Partial()) {
        PaintFrame(bitmap);
        return;
    }
    for (const FilmRect& r : plan_.Rects()) {
        target_->PushAxisAlignedClip(ClipRect(r), D2D1_ANTIALIAS_MODE_ALIASED);
        PaintFrame(bitmap);
        target_->PopAxisAlignedClip();
    }
}

void d2dengine::DrawOverlayText(const wchar_t* text, uint32_t length) {
    if (!text || length == 0) return;
    EngineFrame* drawnBefore = plan_.DrawnFrame();
    if (plan_.DrawsOverlay()) UpgradeToWholePicture(drawnBefore);
    PayBackground();
    ComPtr<ID2D1SolidColorBrush> red;
    if (FAILED(target_->CreateSolidColorBrush(D2D1::ColorF(1.0f, 0.0f, 0.0f, 1.0f), &red))) return;
    target_->DrawText(text, length, textFormat_.Get(), DrawingRect(), red.Get(),
                      D2D1_DRAW_TEXT_OPTIONS_NONE, DWRITE_MEASURING_MODE_NATURAL);
}

bool d2dengine::LoadBackground(const wchar_t* path) {
    plan_.RedrawAll();
    loadedBackground_.Reset();
    if (!path || path[0] == L'\0' || !g_wicFactory) return false;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> picture;
    if (FAILED(g_wicFactory->CreateDecoderFromFilename(path, &GUID_VendorMicrosoft, GENERIC_READ,
                                                       WICDecodeMetadataCacheOnDemand, &decoder)) ||
        FAILED(decoder->GetFrame(0, &picture))) {
        return false;
    }
    ComPtr<IWICBitmapSource> source = ToPremultipliedBgra(picture.Get());
    if (!source) return false;
    return SUCCEEDED(target_->CreateBitmapFromWicBitmap(source.Get(), nullptr, &loadedBackground_));
}

void d2dengine::CaptureBackground() {
    plan_.RedrawAll();
    OwnedDC display(CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr));
    if (!display.get() || !g_wicFactory) return;
    const DesktopArea area =
        AreaToCapture(GetDeviceCaps(display.get(), HORZRES), GetDeviceCaps(display.get(), VERTRES));
    int width = area.width;
    int height = area.height;
    GdiBitmap captured(CreateCompatibleBitmap(display.get(), width, height));
    if (!captured.get()) return;
    {
        OwnedDC memory(CreateCompatibleDC(display.get()));
        if (!memory.get()) return;
        SelectedObject selected(memory.get(), captured.get());
        BitBlt(memory.get(), 0, 0, width, height, display.get(), area.left, area.top, SRCCOPY);
    }
    ComPtr<IWICBitmap> wicBitmap;
    if (FAILED(g_wicFactory->CreateBitmapFromHBITMAP(captured.get(), nullptr, WICBitmapIgnoreAlpha, &wicBitmap))) {
        return;
    }
    ComPtr<IWICBitmapSource> source = ToPremultipliedBgra(wicBitmap.Get());
    ComPtr<ID2D1Bitmap> bitmap;
    if (!source || FAILED(target_->CreateBitmapFromWicBitmap(source.Get(), nullptr, &bitmap))) return;
    capturedBackground_ = bitmap;
}

// Decodes the RLE8 stream into the decoding DIB (top row first) and gives
// every pixel of grey level v the premultiplied value of the mode:
// (v, v, v, 255), (v, v, v, 0) or (0, 0, 0, 255 - v), blue first.
bool d2dengine::DecodeFrame(const uint8_t* data, uint32_t size, int32_t width, int32_t height) {
    if (width <= 0 || height <= 0) return false;
    if (!decodeDib_.get() || decodeWidth_ != width || decodeHeight_ != height) {
        decodeDib_.reset();
        decodePixels_ = nullptr;
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        decodeDib_.reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        if (!decodeDib_.get() || !bits) return false;
        decodePixels_ = static_cast<uint8_t*>(bits);
        decodeWidth_ = width;
        decodeHeight_ = height;
    }
    if (!decodeDc_.get()) decodeDc_.reset(CreateCompatibleDC(nullptr));
    const size_t byteCount = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
    GdiFlush();
    // Pixels the stream skips stay black, as in a new bitmap.
    std::memset(decodePixels_, 0, byteCount);
    GreyBitmapInfo rle(width, height, BI_RLE8, size);
    if (SetDIBits(decodeDc_.get(), decodeDib_.get(), 0, static_cast<UINT>(height), data, rle.get(),
                  DIB_RGB_COLORS) == 0) {
        return false;
    }
    GdiFlush();
    if (mode_ == kD2DBlackTop) {
        RewriteBlackTop(decodePixels_, static_cast<uint32_t>(byteCount));
        return true;
    }
    // No Translucent covers the background; White Top's zero alpha adds the
    // grey levels to it.
    const uint8_t alpha = mode_ == kD2DNoTranslucent ? 255 : 0;
    for (size_t i = 0; i < byteCount; i += 4) {
        decodePixels_[i + 1] = decodePixels_[i + 2] = decodePixels_[i];
        decodePixels_[i + 3] = alpha;
    }
    return true;
}

// The bitmap of the frame last deleted when it has this size, else a new one.
ComPtr<ID2D1Bitmap> d2dengine::TakeBitmap(int32_t width, int32_t height) {
    ComPtr<ID2D1Bitmap> bitmap;
    bitmap.Swap(spareBitmap_);
    if (bitmap) {
        D2D1_SIZE_U size = bitmap->GetPixelSize();
        if (size.width == static_cast<UINT32>(width) && size.height == static_cast<UINT32>(height)) return bitmap;
        bitmap.Reset();
    }
    D2D1_BITMAP_PROPERTIES properties =
        D2D1::BitmapProperties(D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED));
    if (FAILED(target_->CreateBitmap(D2D1::SizeU(static_cast<UINT32>(width), static_cast<UINT32>(height)),
                                     properties, &bitmap))) {
        return nullptr;
    }
    return bitmap;
}

EngineFrame* d2dengine::CreateFrame(const uint8_t* data, uint32_t size,
                                    int32_t width, int32_t height, uint32_t bitCount) {
    if (bitCount != 8 || !data) return nullptr;
    if (!DecodeFrame(data, size, width, height)) return nullptr;
    std::unique_ptr<D2DFrame> frame(new (std::nothrow) D2DFrame);
    if (!frame) return nullptr;
    frame->bitmap = TakeBitmap(width, height);
    if (!frame->bitmap ||
        FAILED(frame->bitmap->CopyFromMemory(nullptr, decodePixels_, static_cast<UINT32>(width) * 4))) {
        return nullptr;
    }
    plan_.FrameMade(frame.get(), data, size, width, height);
    return frame.release();
}

void d2dengine::DeleteFrame(EngineFrame* frame) {
    if (!frame) return;
    plan_.FrameDeleted(frame);
    std::unique_ptr<D2DFrame> own(static_cast<D2DFrame*>(frame));
    if (own->bitmap) spareBitmap_ = std::move(own->bitmap);
}

uint32_t d2dengine::GetParam1Count() {
    return kModeCount;
}

int d2dengine::GetParam1Name(wchar_t* buffer, uint32_t capacity) {
    if (!buffer) return E_INVALIDARG;
    return StringCchCopyW(buffer, capacity, kParam1Name);
}

int d2dengine::GetParam1Option(uint32_t index, wchar_t* buffer, uint32_t capacity) {
    if (!buffer || capacity == 0) return 0;
    buffer[0] = L'\0';
    if (index >= kModeCount) return 0;
    // An option label is copied whole or not at all.
    size_t length = wcslen(kModeLabels[index]);
    if (length + 1 > capacity) return 0;
    std::memcpy(buffer, kModeLabels[index], (length + 1) * sizeof(wchar_t));
    return static_cast<int>(length);
}

void d2dengine::SetParam1(uint32_t index) {
    if (index < kModeCount) mode_ = index;
    plan_.RedrawAll();
}

uint32_t d2dengine::GetParam2Count() {
    return 0;
}

int d2dengine::GetParam2Name(wchar_t* buffer, uint32_t capacity) {
    if (!buffer) return E_INVALIDARG;
    return StringCchCopyW(buffer, capacity, kParam2Name);
}

int d2dengine::GetParam2Option(uint32_t, wchar_t*, uint32_t) {
    return 0;
}

void d2dengine::SetParam2(uint32_t) {
    plan_.RedrawAll();
}
