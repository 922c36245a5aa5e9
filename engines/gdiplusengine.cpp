// The GDI+ engine. A GDI+ bitmap is the back buffer; every frame is turned
// into an 8-bit indexed bitmap by GDI+ (or, where GDI+ refuses compressed
// DIBs, by GDI first) and given an alpha palette, so that drawing it over
// the background needs no image attributes.
#include "engines/gdiplusengine.h"

#include <cstring>
#include <new>
#include <stdexcept>
#include <utility>
#include <vector>

#include "engines/FrameBitmapInfo.h"
#include "engines/GdiGuards.h"

namespace {

const wchar_t kParam1Name[] = L"Interpolation Mode";
const wchar_t kParam2Name[] = L"Foreground Color";

// Spelled as users have always seen them, "Biliner" included.
const wchar_t* const kInterpolationLabels[] = {
    L"Default", L"Low", L"High", L"Biliner", L"Bicubic", L"NearestNeighbor", L"HQ Biliner", L"HQ Bicubic",
};
const Gdiplus::InterpolationMode kInterpolationModes[] = {
    Gdiplus::InterpolationModeDefault,          Gdiplus::InterpolationModeLowQuality,
    Gdiplus::InterpolationModeHighQuality,      Gdiplus::InterpolationModeBilinear,
    Gdiplus::InterpolationModeBicubic,          Gdiplus::InterpolationModeNearestNeighbor,
    Gdiplus::InterpolationModeHighQualityBilinear, Gdiplus::InterpolationModeHighQualityBicubic,
};
constexpr uint32_t kInterpolationCount = 8;
// One past the list, and still accepted: GDI+'s default mode.
constexpr uint32_t kInterpolationDefaultAlias = 8;

const wchar_t* const kColorLabels[] = {L"White", L"Black"};
constexpr uint32_t kColorCount = 2;
constexpr uint32_t kForegroundBlack = 1;

constexpr uint32_t kMaxCapacity = 2147483647u;
constexpr UINT kPaletteHasAlphaGrey = Gdiplus::PaletteFlagsHasAlpha | Gdiplus::PaletteFlagsGrayScale;

// Copies as much of `text` as fits with its terminator; returns the number
// of characters now in the buffer.
int CopyLabel(const wchar_t* text, wchar_t* buffer, uint32_t capacity) {
    if (!buffer || capacity == 0 || capacity > kMaxCapacity) return 0;
    size_t length = wcslen(text);
    if (length > capacity - 1) length = capacity - 1;
    std::memcpy(buffer, text, length * sizeof(wchar_t));
    buffer[length] = L'\0';
    return static_cast<int>(length);
}

int CopyOption(const wchar_t* const* labels, uint32_t count, uint32_t index,
               wchar_t* buffer, uint32_t capacity) {
    return CopyLabel(index < count ? labels[index] : L"", buffer, capacity);
}

// GDI+ objects live in memory from GdipAlloc, which answers null when it has
// none; the classes' own operator new is not declared to return null, so a
// plain new-expression would construct into it. Allocate first, then build.
// Null as well when GDI+ could not make the object.
template <typename T, typename... Args>
std::unique_ptr<T> MakeGdiplus(Args&&... args) {
    void* memory = Gdiplus::DllExports::GdipAlloc(sizeof(T));
    if (!memory) return nullptr;
    std::unique_ptr<T> object(::new (memory) T(std::forward<Args>(args)...));
    if (object->GetLastStatus() != Gdiplus::Ok) return nullptr;
    return object;
}

struct GdiplusFrame : EngineFrame {
    // Holds the pixels decoded by GDI when GDI+ would not take the stream;
    // the GDI+ bitmap may read from it, so it is declared first and goes last.
    GdiBitmap decoded;
    std::unique_ptr<Gdiplus::Bitmap> bitmap;
};

std::unique_ptr<Gdiplus::Bitmap> MakeBitmap(const BITMAPINFO* info, void* bits) {
    return MakeGdiplus<Gdiplus::Bitmap>(info, bits);
}

// Decodes the RLE8 stream with GDI into an uncompressed 8-bit DIB section
// held by `frame`, and builds the GDI+ bitmap from that.
void BuildFromDecodedDib(GdiplusFrame& frame, const GreyBitmapInfo& rle, const uint8_t* data) {
    GreyBitmapInfo plain(rle.header.biWidth, rle.header.biHeight, BI_RGB, 0);
    void* bits = nullptr;
    frame.decoded.reset(CreateDIBSection(nullptr, plain.get(), DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!frame.decoded.get() || !bits) return;
    WindowDC screen(nullptr);
    if (SetDIBits(screen.get(), frame.decoded.get(), 0, static_cast<UINT>(rle.header.biHeight), data,
                  rle.get(), DIB_RGB_COLORS) == 0) {
        return;
    }
    GdiFlush();
    frame.bitmap = MakeBitmap(plain.get(), bits);
}

// Grey level i becomes the foreground colour with an opacity: colour 1
// draws the film's dark parts in opaque black, every other value its light
// parts in opaque white.
bool SetFramePalette(Gdiplus::Bitmap& bitmap, uint32_t foregroundColor) {
    std::vector<uint8_t> storage(sizeof(Gdiplus::ColorPalette) + 255 * sizeof(Gdiplus::ARGB));
    auto* palette = reinterpret_cast<Gdiplus::ColorPalette*>(storage.data());
    palette->Flags = kPaletteHasAlphaGrey;
    palette->Count = 256;
    for (uint32_t i = 0; i < 256; ++i) {
        palette->Entries[i] = foregroundColor == kForegroundBlack ? (255 - i) << 24 : (i << 24) | 0x00FFFFFFu;
    }
    return bitmap.SetPalette(palette) == Gdiplus::Ok;
}

// The 72-point font of the frame-rate line: "meiryo", else GDI+'s generic
// sans-serif family. Where neither is installed (GDI+ knows only a few
// family names) GDI's font mapper picks the nearest face, so the line
// still shows.
std::unique_ptr<Gdiplus::Font> OverlayFont() {
    constexpr float kPoints = 72.0f;
    Gdiplus::FontFamily meiryo(L"meiryo");
    const Gdiplus::FontFamily* family = &meiryo;
    if (meiryo.GetLastStatus() != Gdiplus::Ok) family = Gdiplus::FontFamily::GenericSansSerif();
    if (family && family->GetLastStatus() == Gdiplus::Ok) {
        auto font = MakeGdiplus<Gdiplus::Font>(family, kPoints, Gdiplus::FontStyleRegular, Gdiplus::UnitPoint);
        if (font) return font;
    }
    WindowDC screen(nullptr);
    LOGFONTW mapped = {};
    mapped.lfHeight = -MulDiv(static_cast<int>(kPoints), GetDeviceCaps(screen.get(), LOGPIXELSY), 72);
    mapped.lfWeight = FW_NORMAL;
    mapped.lfCharSet = DEFAULT_CHARSET;
    wcscpy_s(mapped.lfFaceName, L"Meiryo");
    return MakeGdiplus<Gdiplus::Font>(screen.get(), &mapped);
}

}  // namespace

gdiplusengine::gdiplusengine(HWND window) : window_(window) {
    windowGraphics_ = MakeGdiplus<Gdiplus::Graphics>(window);
    if (!windowGraphics_) throw std::runtime_error("GDI+ cannot draw on the window");
    MakeBackBuffer();
    if (!backGraphics_) throw std::runtime_error("GDI+ cannot make the back buffer");
}

gdiplusengine::~gdiplusengine() {
    // GDI+ wants a Graphics gone before the bitmap it draws on.
    backGraphics_.reset();
}

void gdiplusengine::MakeBackBuffer() {
    scaledBackground_.reset();
    backGraphics_.reset();
    backBitmap_.reset();
    RECT client = {};
    GetClientRect(window_, &client);
    left_ = client.left;
    top_ = client.top;
    // One pixel more than the client area in each direction, so scaled
    // pictures never leave a blended seam on the last row or column.
    drawWidth_ = client.right - client.left + 1;
    drawHeight_ = client.bottom - client.top + 1;

    auto bitmap = MakeGdiplus<Gdiplus::Bitmap>(drawWidth_, drawHeight_, windowGraphics_.get());
    if (!bitmap) return;
    auto graphics = MakeGdiplus<Gdiplus::Graphics>(bitmap.get());
    if (!graphics) return;
    graphics->SetInterpolationMode(interpolation_);
    backBitmap_ = std::move(bitmap);
    backGraphics_ = std::move(graphics);
}

Gdiplus::Graphics* gdiplusengine::Target() const {
    return backBufferMode_ && backGraphics_ ? backGraphics_.get() : windowGraphics_.get();
}

void gdiplusengine::Resize() {
    MakeBackBuffer();
}

void gdiplusengine::BeginDraw() {
    backBufferMode_ = true;
}

void gdiplusengine::EndDraw() {
    if (backBufferMode_ && backBitmap_) {
        windowGraphics_->DrawImage(backBitmap_.get(), DrawingRect());
    }
    backBufferMode_ = false;
}

Gdiplus::Bitmap* gdiplusengine::ScaledBackground() {
    if (scaledBackground_) return scaledBackground_.get();
    Gdiplus::Image* picture = backgroundImage_ ? backgroundImage_.get() : capturedBackground_.get();
    if (!picture) return nullptr;
    auto scaled = MakeGdiplus<Gdiplus::Bitmap>(drawWidth_, drawHeight_, PixelFormat32bppPARGB);
    if (!scaled) return nullptr;
    Gdiplus::Graphics graphics(scaled.get());
    graphics.SetInterpolationMode(interpolation_);
    if (graphics.DrawImage(picture, Gdiplus::Rect(0, 0, drawWidth_, drawHeight_)) != Gdiplus::Ok) return nullptr;
    scaledBackground_ = std::move(scaled);
    return scaledBackground_.get();
}

void gdiplusengine::DrawBackground() {
    Gdiplus::Graphics* target = Target();
    if (Gdiplus::Bitmap* scaled = ScaledBackground()) {
        // Copied at its own size: no interpolation mode changes a pixel.
        Gdiplus::InterpolationMode mode = target->GetInterpolationMode();
        target->SetInterpolationMode(Gdiplus::InterpolationModeNearestNeighbor);
        target->DrawImage(scaled, DrawingRect());
        target->SetInterpolationMode(mode);
        return;
    }
    Gdiplus::SolidBrush black(Gdiplus::Color(255, 0, 0, 0));
    target->FillRectangle(&black, DrawingRect());
}

void gdiplusengine::DrawFrame(EngineFrame* frame) {
    auto* own = static_cast<GdiplusFrame*>(frame);
    if (!own || !own->bitmap) return;
    Target()->DrawImage(own->bitmap.get(), DrawingRect());
}

void gdiplusengine::DrawOverlayText(const wchar_t* text, uint32_t length) {
    if (!text || length == 0) return;
    std::unique_ptr<Gdiplus::Font> font = OverlayFont();
    if (!font) return;
    Gdiplus::SolidBrush red(Gdiplus::Color(255, 255, 0, 0));
    // An empty layout rectangle leaves the text unbounded from the corner.
    Target()->DrawString(text, static_cast<INT>(length), font.get(), Gdiplus::RectF(0, 0, 0, 0), nullptr, &red);
}

bool gdiplusengine::LoadBackground(const wchar_t* path) {
    if (!path || path[0] == L'\0' || wcsnlen(path, MAX_PATH) == MAX_PATH) return false;
    backgroundImage_.reset();
    scaledBackground_.reset();
    auto image = MakeGdiplus<Gdiplus::Image>(path);
    if (!image) return false;
    backgroundImage_ = std::move(image);
    return true;
}

void gdiplusengine::CaptureBackground() {
    OwnedDC display(CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr));
    if (!display.get()) return;
    int width = GetDeviceCaps(display.get(), HORZRES);
    int height = GetDeviceCaps(display.get(), VERTRES);
    auto capture = MakeGdiplus<Gdiplus::Bitmap>(width, height, windowGraphics_.get());
    if (!capture) return;
    {
        Gdiplus::Graphics graphics(capture.get());
        HDC dc = graphics.GetHDC();
        if (!dc) return;
        BitBlt(dc, 0, 0, width, height, display.get(), 0, 0, SRCCOPY);
        graphics.ReleaseHDC(dc);
    }
    capturedBackground_ = std::move(capture);
    scaledBackground_.reset();
}

EngineFrame* gdiplusengine::CreateFrame(const uint8_t* data, uint32_t size,
                                        int32_t width, int32_t height, uint32_t bitCount) {
    if (bitCount != 8 || !data) return nullptr;
    std::unique_ptr<GdiplusFrame> frame(new (std::nothrow) GdiplusFrame);
    if (!frame) return nullptr;
    GreyBitmapInfo rle(width, height, BI_RLE8, size);
    // GDI+ only reads the stream; its interface is not const-correct.
    void* bits = const_cast<uint8_t*>(data);
    frame->bitmap = MakeBitmap(rle.get(), bits);
    if (!frame->bitmap) BuildFromDecodedDib(*frame, rle, data);
    if (frame->bitmap && !SetFramePalette(*frame->bitmap, foregroundColor_)) {
        frame->bitmap.reset();
    }
    return frame.release();
}

void gdiplusengine::DeleteFrame(EngineFrame* frame) {
    delete static_cast<GdiplusFrame*>(frame);
}

uint32_t gdiplusengine::GetParam1Count() {
    return kInterpolationCount;
}

int gdiplusengine::GetParam1Name(wchar_t* buffer, uint32_t capacity) {
    return CopyLabel(kParam1Name, buffer, capacity);
}

int gdiplusengine::GetParam1Option(uint32_t index, wchar_t* buffer, uint32_t capacity) {
    return CopyOption(kInterpolationLabels, kInterpolationCount, index, buffer, capacity);
}

void gdiplusengine::SetParam1(uint32_t index) {
    if (index > kInterpolationDefaultAlias) return;
    interpolation_ = index < kInterpolationCount ? kInterpolationModes[index] : Gdiplus::InterpolationModeDefault;
    scaledBackground_.reset();
    windowGraphics_->SetInterpolationMode(interpolation_);
    if (backGraphics_) backGraphics_->SetInterpolationMode(interpolation_);
}

uint32_t gdiplusengine::GetParam2Count() {
    return kColorCount;
}

int gdiplusengine::GetParam2Name(wchar_t* buffer, uint32_t capacity) {
    return CopyLabel(kParam2Name, buffer, capacity);
}

int gdiplusengine::GetParam2Option(uint32_t index, wchar_t* buffer, uint32_t capacity) {
    return CopyOption(kColorLabels, kColorCount, index, buffer, capacity);
}

void gdiplusengine::SetParam2(uint32_t index) {
    foregroundColor_ = index;
}
