// The Direct2D engine and the process-wide set-up of Direct2D, DirectWrite
// and WIC. Each frame is decoded by GDI into a device-dependent bitmap, then
// wrapped by WIC in the alpha layout of the chosen mode and uploaded as a
// Direct2D bitmap; nothing is kept between frames.
#include "engines/d2dengine.h"

#include <strsafe.h>

#include <cstring>
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

const wchar_t kParam1Name[] = L"Mode";
const wchar_t kParam2Name[] = L"No Settings";
const wchar_t* const kModeLabels[] = {L"No Translucent", L"White Top", L"Black Top"};
constexpr uint32_t kModeCount = 3;

struct D2DFrame : EngineFrame {
    ComPtr<ID2D1Bitmap> bitmap;
};

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
        D2D1_PRESENT_OPTIONS_NONE);
    // Some drivers refuse the red-first layout for a window target; the
    // blue-first one with the same premultiplied alpha draws the same.
    for (DXGI_FORMAT format : {DXGI_FORMAT_R8G8B8A8_UNORM, DXGI_FORMAT_B8G8R8A8_UNORM}) {
        D2D1_RENDER_TARGET_PROPERTIES properties = D2D1::RenderTargetProperties(
            D2D1_RENDER_TARGET_TYPE_HARDWARE, D2D1::PixelFormat(format, D2D1_ALPHA_MODE_PREMULTIPLIED),
            0.0f, 0.0f, D2D1_RENDER_TARGET_USAGE_NONE, D2D1_FEATURE_LEVEL_DEFAULT);
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
                                                48.0f, L"ja_JP", &textFormat_)) ||
        !textFormat_) {
        throw std::runtime_error("DirectWrite cannot make the text format");
    }
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
}

void d2dengine::BeginDraw() {
    target_->BeginDraw();
}

void d2dengine::EndDraw() {
    target_->EndDraw(nullptr, nullptr);
}

void d2dengine::DrawBackground() {
    ID2D1Bitmap* picture = loadedBackground_ ? loadedBackground_.Get() : capturedBackground_.Get();
    if (!picture) {
        target_->Clear(D2D1::ColorF(0.0f, 0.0f, 0.0f, 1.0f));
        return;
    }
    target_->DrawBitmap(picture, DrawingRect(), 1.0f, D2D1_BITMAP_INTERPOLATION_MODE_LINEAR, nullptr);
}

void d2dengine::DrawFrame(EngineFrame* frame) {
    auto* own = static_cast<D2DFrame*>(frame);
    if (!own || !own->bitmap) return;
    target_->DrawBitmap(own->bitmap.Get(), DrawingRect(), 1.0f, D2D1_BITMAP_INTERPOLATION_MODE_LINEAR, nullptr);
}

void d2dengine::DrawOverlayText(const wchar_t* text, uint32_t length) {
    if (!text || length == 0) return;
    ComPtr<ID2D1SolidColorBrush> red;
    if (FAILED(target_->CreateSolidColorBrush(D2D1::ColorF(1.0f, 0.0f, 0.0f, 1.0f), &red))) return;
    target_->DrawText(text, length, textFormat_.Get(), DrawingRect(), red.Get(),
                      D2D1_DRAW_TEXT_OPTIONS_NONE, DWRITE_MEASURING_MODE_NATURAL);
}

bool d2dengine::LoadBackground(const wchar_t* path) {
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
    OwnedDC display(CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr));
    if (!display.get() || !g_wicFactory) return;
    int width = GetDeviceCaps(display.get(), HORZRES);
    int height = GetDeviceCaps(display.get(), VERTRES);
    GdiBitmap captured(CreateCompatibleBitmap(display.get(), width, height));
    if (!captured.get()) return;
    {
        OwnedDC memory(CreateCompatibleDC(display.get()));
        if (!memory.get()) return;
        SelectedObject selected(memory.get(), captured.get());
        BitBlt(memory.get(), 0, 0, width, height, display.get(), 0, 0, SRCCOPY);
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

ComPtr<IWICBitmapSource> d2dengine::FrameSource(HBITMAP bitmap) const {
    if (!g_wicFactory) return nullptr;
    // In White Top the bitmap's alpha bytes are 0, so its grey levels are
    // added to the background; the other modes carry their own alpha.
    WICBitmapAlphaChannelOption alpha = mode_ == kD2DNoTranslucent ? WICBitmapIgnoreAlpha
                                                                    : WICBitmapUsePremultipliedAlpha;
    ComPtr<IWICBitmap> wicBitmap;
    if (FAILED(g_wicFactory->CreateBitmapFromHBITMAP(bitmap, nullptr, alpha, &wicBitmap))) return nullptr;
    if (mode_ == kD2DBlackTop) {
        UINT width = 0;
        UINT height = 0;
        wicBitmap->GetSize(&width, &height);
        WICRect whole = {0, 0, static_cast<INT>(width), static_cast<INT>(height)};
        ComPtr<IWICBitmapLock> lock;
        if (FAILED(wicBitmap->Lock(&whole, WICBitmapLockRead | WICBitmapLockWrite, &lock))) return nullptr;
        UINT byteCount = 0;
        BYTE* pixels = nullptr;
        if (FAILED(lock->GetDataPointer(&byteCount, &pixels)) || !pixels) return nullptr;
        RewriteBlackTop(pixels, byteCount);
    }
    return ToPremultipliedBgra(wicBitmap.Get());
}

EngineFrame* d2dengine::CreateFrame(const uint8_t* data, uint32_t size,
                                    int32_t width, int32_t height, uint32_t bitCount) {
    if (bitCount != 8 || !data) return nullptr;
    GreyBitmapInfo rle(width, height, BI_RLE8, size);
    BITMAPINFOHEADER plain = GreyBitmapInfo(width, height, BI_RGB, 0).header;
    WindowDC dc(window_);
    GdiBitmap decoded(CreateDIBitmap(dc.get(), &plain, CBM_INIT, data, rle.get(), DIB_RGB_COLORS));
    if (!decoded.get()) return nullptr;
    ComPtr<IWICBitmapSource> source = FrameSource(decoded.get());
    if (!source) return nullptr;
    auto* frame = new (std::nothrow) D2DFrame;
    if (!frame) return nullptr;
    if (FAILED(target_->CreateBitmapFromWicBitmap(source.Get(), nullptr, &frame->bitmap)) || !frame->bitmap) {
        delete frame;
        return nullptr;
    }
    return frame;
}

void d2dengine::DeleteFrame(EngineFrame* frame) {
    delete static_cast<D2DFrame*>(frame);
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

void d2dengine::SetParam2(uint32_t) {}
