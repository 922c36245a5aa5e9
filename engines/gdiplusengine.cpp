// The GDI+ engine. A GDI+ bitmap on a DIB section is the back buffer; every
// frame is turned into an 8-bit indexed bitmap by GDI+ (or, where GDI+
// refuses compressed DIBs, by GDI first) and given an alpha palette, so that
// drawing it over the background needs no image attributes. Between two
// ticks only the part of the picture whose film pixels changed is drawn and
// copied to the window.
#include "engines/gdiplusengine.h"

#include <algorithm>
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

std::unique_ptr<Gdiplus::Bitmap> MakeBitmap(const BITMAPINFO* info, void* bits) {
    return MakeGdiplus<Gdiplus::Bitmap>(info, bits);
}

// Edge pixels a smoothing mode reads beyond a changed film pixel; when it
// shrinks the film, Windows' HQ Bicubic filters first and reaches about
// two window pixels instead.
constexpr int32_t kSmoothingFilmMargin = 3;
constexpr int32_t kSmoothingWindowMargin = 2;
// One more rectangle costs a GDI+ bitmap and Graphics of its own and a copy
// to the window; in the smoothing modes a conversion of the whole film too.
constexpr int64_t kRectangleCost = 4096;
constexpr uint32_t kOpaqueBlack = 0xFF000000u;

// Bytes per row of an uncompressed 8-bit DIB.
size_t GreyStride(int32_t width) {
    return (static_cast<size_t>(width) + 3) & ~static_cast<size_t>(3);
}

}  // namespace

// A frame decoded by GDI: an 8-bit DIB section and the GDI+ bitmap made on
// its pixels (declared after it, so it goes first). The DIB section is handed
// from frame to frame while the film's size stays the same.
struct GdiplusDecodedFrame {
    GdiBitmap dib;
    uint8_t* bits = nullptr;
    int32_t width = 0, height = 0;
    std::unique_ptr<Gdiplus::Bitmap> bitmap;
};

namespace {

struct GdiplusFrame : EngineFrame {
    // Made by GDI+ from the compressed stream, where GDI+ takes one.
    std::unique_ptr<Gdiplus::Bitmap> direct;
    std::unique_ptr<GdiplusDecodedFrame> decoded;

    Gdiplus::Bitmap* bitmap() const { return direct ? direct.get() : decoded ? decoded->bitmap.get() : nullptr; }
};

// Grey level i becomes the foreground colour with an opacity: colour 1
// draws the film's dark parts in opaque black, every other value its light
// parts in opaque white.
void BuildPalette(std::vector<uint8_t>* storage, uint32_t foregroundColor) {
    storage->assign(sizeof(Gdiplus::ColorPalette) + 255 * sizeof(Gdiplus::ARGB), 0);
    auto* palette = reinterpret_cast<Gdiplus::ColorPalette*>(storage->data());
    palette->Flags = kPaletteHasAlphaGrey;
    palette->Count = 256;
    for (uint32_t i = 0; i < 256; ++i) {
        palette->Entries[i] = foregroundColor == kForegroundBlack ? (255 - i) << 24 : (i << 24) | 0x00FFFFFFu;
    }
}

Gdiplus::Rect Intersection(const Gdiplus::Rect& a, const Gdiplus::Rect& b) {
    Gdiplus::Rect both;
    Gdiplus::Rect::Intersect(both, a, b);
    return both;
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
    // Not wcscpy_s: Windows XP's msvcrt.dll lacks it.
    const wchar_t kFace[] = L"Meiryo";
    static_assert(sizeof kFace <= sizeof mapped.lfFaceName, "the face name fits");
    std::memcpy(mapped.lfFaceName, kFace, sizeof kFace);
    return MakeGdiplus<Gdiplus::Font>(screen.get(), &mapped);
}

}  // namespace

gdiplusengine::Surface::~Surface() {
    if (dc.get() && oldBitmap) SelectObject(dc.get(), oldBitmap);
}

bool gdiplusengine::Surface::Make(int32_t w, int32_t h) {
    if (w <= 0 || h <= 0) return false;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;  // top row first, as GDI+ lays out its bitmaps
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    dib.reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!dib.get() || !bits) return false;
    dc.reset(CreateCompatibleDC(nullptr));
    if (!dc.get()) return false;
    oldBitmap = SelectObject(dc.get(), dib.get());
    pixels = static_cast<uint32_t*>(bits);
    width = w;
    height = h;
    return true;
}

gdiplusengine::gdiplusengine(HWND window) : window_(window) {
    windowGraphics_ = MakeGdiplus<Gdiplus::Graphics>(window);
    if (!windowGraphics_) throw std::runtime_error("GDI+ cannot draw on the window");
    MakeBackBuffer();
    if (!backGraphics_) throw std::runtime_error("GDI+ cannot make the back buffer");
    SetReach();
}

gdiplusengine::~gdiplusengine() {
    // GDI+ wants a Graphics gone before the bitmap it draws on.
    backGraphics_.reset();
    backBitmap_.reset();
}

void gdiplusengine::MakeBackBuffer() {
    scaledBackground_.reset();
    backGraphics_.reset();
    backBitmap_.reset();
    backSurface_.reset();
    RECT client = {};
    GetClientRect(window_, &client);
    left_ = client.left;
    top_ = client.top;
    // One pixel more than the client area in each direction, so scaled
    // pictures never leave a blended seam on the last row or column.
    drawWidth_ = client.right - client.left + 1;
    drawHeight_ = client.bottom - client.top + 1;
    plan_.SetDestination(drawWidth_, drawHeight_);

    auto surface = std::make_unique<Surface>();
    if (!surface->Make(drawWidth_, drawHeight_)) return;
    auto bitmap = MakeGdiplus<Gdiplus::Bitmap>(drawWidth_, drawHeight_, drawWidth_ * 4, PixelFormat32bppPARGB,
                                               reinterpret_cast<BYTE*>(surface->pixels));
    if (!bitmap) return;
    // Text sizes in points follow the window's resolution, as on the window.
    bitmap->SetResolution(windowGraphics_->GetDpiX(), windowGraphics_->GetDpiY());
    auto graphics = MakeGdiplus<Gdiplus::Graphics>(bitmap.get());
    if (!graphics) return;
    graphics->SetInterpolationMode(interpolation_);
    backSurface_ = std::move(surface);
    backBitmap_ = std::move(bitmap);
    backGraphics_ = std::move(graphics);
}

Gdiplus::Graphics* gdiplusengine::Target() const {
    return backBufferMode_ && backGraphics_ ? backGraphics_.get() : windowGraphics_.get();
}

void gdiplusengine::InvalidatePicture() {
    plan_.RedrawAll();
}

void gdiplusengine::SetReach() {
    if (interpolation_ == Gdiplus::InterpolationModeNearestNeighbor) {
        plan_.SetReach(0, 0, kRectangleCost);
    } else {
        plan_.SetReach(kSmoothingFilmMargin, kSmoothingWindowMargin, kRectangleCost, true);
    }
}

Gdiplus::Rect gdiplusengine::WindowRect(const FilmRect& r) const {
    return Gdiplus::Rect(left_ + r.left, top_ + r.top, r.right - r.left, r.bottom - r.top);
}

void gdiplusengine::Resize() {
    MakeBackBuffer();
}

void gdiplusengine::BeginDraw() {
    backBufferMode_ = true;
    plan_.BeginTick(backGraphics_ != nullptr);
}

void gdiplusengine::EndDraw() {
    if (backBufferMode_ && backSurface_) {
        WindowDC window(window_);
        if (plan_.Partial()) {
            for (const FilmRect& r : plan_.Rects()) {
                BitBlt(window.get(), left_ + r.left, top_ + r.top, r.right - r.left, r.bottom - r.top,
                       backSurface_->dc.get(), r.left, r.top, SRCCOPY);
            }
        } else {
            BitBlt(window.get(), left_, top_, drawWidth_, drawHeight_, backSurface_->dc.get(), 0, 0, SRCCOPY);
        }
    }
    if (backBufferMode_) plan_.EndTick();
    backBufferMode_ = false;
}

gdiplusengine::Surface* gdiplusengine::ScaledBackground() {
    if (scaledBackground_) return scaledBackground_.get();
    Gdiplus::Image* picture = backgroundImage_ ? backgroundImage_.get() : capturedBackground_.get();
    if (!picture) return nullptr;
    auto scaled = std::make_unique<Surface>();
    if (!scaled->Make(drawWidth_, drawHeight_)) return nullptr;
    {
        auto bitmap = MakeGdiplus<Gdiplus::Bitmap>(drawWidth_, drawHeight_, drawWidth_ * 4, PixelFormat32bppPARGB,
                                                   reinterpret_cast<BYTE*>(scaled->pixels));
        if (!bitmap) return nullptr;
        auto graphics = MakeGdiplus<Gdiplus::Graphics>(bitmap.get());
        if (!graphics) return nullptr;
        graphics->SetInterpolationMode(interpolation_);
        if (graphics->DrawImage(picture, Gdiplus::Rect(0, 0, drawWidth_, drawHeight_)) != Gdiplus::Ok) return nullptr;
    }
    scaledBackground_ = std::move(scaled);
    return scaledBackground_.get();
}

// Background of the whole drawing rectangle, or of the changed rectangles:
// the stretched background copied pixel for pixel, or opaque black.
void gdiplusengine::DrawBackground() {
    if (!backBufferMode_ || !backSurface_) {
        plan_.DrawnOutsideTick();
        if (Surface* scaled = ScaledBackground()) {
            WindowDC window(window_);
            BitBlt(window.get(), left_, top_, drawWidth_, drawHeight_, scaled->dc.get(), 0, 0, SRCCOPY);
            return;
        }
        Gdiplus::SolidBrush black(Gdiplus::Color(255, 0, 0, 0));
        windowGraphics_->FillRectangle(&black, DrawingRect());
        return;
    }
    if (plan_.Partial()) {
        for (const FilmRect& r : plan_.Rects()) PaintBackground(WindowRect(r));
    } else {
        PaintBackground(DrawingRect());
    }
}

void gdiplusengine::PaintBackground(const Gdiplus::Rect& area) {
    const Gdiplus::Rect r = Intersection(Gdiplus::Rect(area.X - left_, area.Y - top_, area.Width, area.Height),
                                         Gdiplus::Rect(0, 0, drawWidth_, drawHeight_));
    if (r.Width <= 0 || r.Height <= 0) return;
    GdiFlush();
    uint32_t* rows = backSurface_->pixels;
    const size_t stride = static_cast<size_t>(drawWidth_);
    if (Surface* scaled = ScaledBackground()) {
        for (int32_t y = r.Y; y < r.Y + r.Height; ++y) {
            std::memcpy(rows + y * stride + r.X, scaled->pixels + y * stride + r.X, r.Width * sizeof(uint32_t));
        }
        return;
    }
    for (int32_t y = r.Y; y < r.Y + r.Height; ++y) {
        std::fill_n(rows + y * stride + r.X, r.Width, kOpaqueBlack);
    }
}

// A tick that began as a partial one draws the whole picture after all:
// the background again, and the frame already drawn.
void gdiplusengine::UpgradeToWholePicture(EngineFrame* drawnBefore) {
    PaintBackground(DrawingRect());
    Gdiplus::Bitmap* bitmap = drawnBefore ? static_cast<GdiplusFrame*>(drawnBefore)->bitmap() : nullptr;
    if (bitmap) backGraphics_->DrawImage(bitmap, DrawingRect());
}

void gdiplusengine::DrawFrame(EngineFrame* frame) {
    auto* own = static_cast<GdiplusFrame*>(frame);
    Gdiplus::Bitmap* bitmap = own ? own->bitmap() : nullptr;
    if (!backBufferMode_ || !backGraphics_) {
        plan_.DrawnOutsideTick();
        if (bitmap) windowGraphics_->DrawImage(bitmap, DrawingRect());
        return;
    }
    EngineFrame* drawnBefore = plan_.DrawnFrame();
    if (plan_.DrawsFrame(frame)) UpgradeToWholePicture(drawnBefore);
    if (!bitmap) return;
    if (!plan_.Partial()) {
        backGraphics_->DrawImage(bitmap, DrawingRect());
        return;
    }
    // GDI+ samples every pixel of its target for a stretched draw, clipped
    // or not; so each changed rectangle gets a Graphics of its own on the
    // back buffer's pixels there, and the whole picture is drawn into it.
    for (const FilmRect& r : plan_.Rects()) {
        const Gdiplus::Rect inside = Intersection(Gdiplus::Rect(r.left, r.top, r.right - r.left, r.bottom - r.top),
                                                  Gdiplus::Rect(0, 0, drawWidth_, drawHeight_));
        if (inside.Width <= 0 || inside.Height <= 0) continue;
        uint32_t* corner = backSurface_->pixels + static_cast<size_t>(inside.Y) * drawWidth_ + inside.X;
        auto part = MakeGdiplus<Gdiplus::Bitmap>(inside.Width, inside.Height, drawWidth_ * 4, PixelFormat32bppPARGB,
                                                 reinterpret_cast<BYTE*>(corner));
        if (!part) continue;
        auto graphics = MakeGdiplus<Gdiplus::Graphics>(part.get());
        if (!graphics) continue;
        graphics->SetInterpolationMode(interpolation_);
        if (interpolation_ == Gdiplus::InterpolationModeNearestNeighbor) {
            DrawFilmPart(*graphics, bitmap, inside);
        } else {
            graphics->DrawImage(bitmap, Gdiplus::Rect(-inside.X, -inside.Y, drawWidth_, drawHeight_));
        }
    }
}

// GDI+ turns every film pixel it is given into 32 bits before it scales.
// Nearest neighbour shows under each back-buffer pixel one film pixel, the
// same whichever part of the film holds it, so `area` (back-buffer pixels)
// is drawn from only the film pixels under it, a few more on each side for
// rounding, laid where the whole film would lay them.
void gdiplusengine::DrawFilmPart(Gdiplus::Graphics& graphics, Gdiplus::Bitmap* film, const Gdiplus::Rect& area) {
    const int64_t filmWidth = film->GetWidth(), filmHeight = film->GetHeight();
    if (filmWidth <= 0 || filmHeight <= 0) return;
    constexpr int64_t kRoom = 2;
    const int64_t left = std::max<int64_t>(0, area.X * filmWidth / drawWidth_ - kRoom);
    const int64_t top = std::max<int64_t>(0, area.Y * filmHeight / drawHeight_ - kRoom);
    const int64_t right = std::min(filmWidth, (int64_t{area.X} + area.Width) * filmWidth / drawWidth_ + kRoom + 1);
    const int64_t bottom =
        std::min(filmHeight, (int64_t{area.Y} + area.Height) * filmHeight / drawHeight_ + kRoom + 1);
    const float scaleX = static_cast<float>(drawWidth_) / static_cast<float>(filmWidth);
    const float scaleY = static_cast<float>(drawHeight_) / static_cast<float>(filmHeight);
    const Gdiplus::RectF placed(static_cast<float>(left) * scaleX - static_cast<float>(area.X),
                                static_cast<float>(top) * scaleY - static_cast<float>(area.Y),
                                static_cast<float>(right - left) * scaleX, static_cast<float>(bottom - top) * scaleY);
    graphics.DrawImage(film, placed, static_cast<float>(left), static_cast<float>(top),
                       static_cast<float>(right - left), static_cast<float>(bottom - top), Gdiplus::UnitPixel);
}

void gdiplusengine::DrawOverlayText(const wchar_t* text, uint32_t length) {
    if (!text || length == 0) return;
    if (backBufferMode_ && backGraphics_) {
        EngineFrame* drawnBefore = plan_.DrawnFrame();
        if (plan_.DrawsOverlay()) UpgradeToWholePicture(drawnBefore);
    } else {
        plan_.DrawnOutsideTick();
    }
    std::unique_ptr<Gdiplus::Font> font = OverlayFont();
    if (!font) return;
    Gdiplus::SolidBrush red(Gdiplus::Color(255, 255, 0, 0));
    // An empty layout rectangle leaves the text unbounded from the corner.
    Target()->DrawString(text, static_cast<INT>(length), font.get(), Gdiplus::RectF(0, 0, 0, 0), nullptr, &red);
}

// A path that does not load leaves no loaded picture, whatever was loaded before.
bool gdiplusengine::LoadBackground(const wchar_t* path) {
    plan_.RedrawAll();
    backgroundImage_.reset();
    scaledBackground_.reset();
    if (!path || path[0] == L'\0' || wcsnlen(path, MAX_PATH) == MAX_PATH) return false;
    auto image = MakeGdiplus<Gdiplus::Image>(path);
    if (!image) return false;
    backgroundImage_ = std::move(image);
    return true;
}

void gdiplusengine::CaptureBackground() {
    plan_.RedrawAll();
    OwnedDC display(CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr));
    if (!display.get()) return;
    const DesktopArea area =
        AreaToCapture(GetDeviceCaps(display.get(), HORZRES), GetDeviceCaps(display.get(), VERTRES));
    int width = area.width;
    int height = area.height;
    auto capture = MakeGdiplus<Gdiplus::Bitmap>(width, height, windowGraphics_.get());
    if (!capture) return;
    {
        Gdiplus::Graphics graphics(capture.get());
        HDC dc = graphics.GetHDC();
        if (!dc) return;
        BitBlt(dc, 0, 0, width, height, display.get(), area.left, area.top, SRCCOPY);
        graphics.ReleaseHDC(dc);
    }
    capturedBackground_ = std::move(capture);
    scaledBackground_.reset();
}

bool gdiplusengine::SetPalette(Gdiplus::Bitmap& bitmap) {
    if (palette_.empty() || paletteColor_ != foregroundColor_) {
        BuildPalette(&palette_, foregroundColor_);
        paletteColor_ = foregroundColor_;
    }
    return bitmap.SetPalette(reinterpret_cast<const Gdiplus::ColorPalette*>(palette_.data())) == Gdiplus::Ok;
}

// The 8-bit DIB of the frame last deleted when it has this size, else a new one.
std::unique_ptr<GdiplusDecodedFrame> gdiplusengine::TakeDecoded(int32_t width, int32_t height) {
    if (spareDecoded_ && spareDecoded_->width == width && spareDecoded_->height == height) {
        return std::move(spareDecoded_);
    }
    spareDecoded_.reset();
    auto decoded = std::unique_ptr<GdiplusDecodedFrame>(new (std::nothrow) GdiplusDecodedFrame);
    if (!decoded) return nullptr;
    GreyBitmapInfo plain(width, height, BI_RGB, 0);
    void* bits = nullptr;
    decoded->dib.reset(CreateDIBSection(nullptr, plain.get(), DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!decoded->dib.get() || !bits) return nullptr;
    decoded->bits = static_cast<uint8_t*>(bits);
    decoded->width = width;
    decoded->height = height;
    return decoded;
}

// Decodes the RLE8 stream with GDI into an uncompressed 8-bit DIB section
// and gives it a GDI+ bitmap with the current palette.
std::unique_ptr<GdiplusDecodedFrame> gdiplusengine::Decode(const GreyBitmapInfo& rle, const uint8_t* data) {
    const int32_t width = rle.header.biWidth;
    const int32_t height = rle.header.biHeight;
    if (width <= 0 || height <= 0) return nullptr;
    std::unique_ptr<GdiplusDecodedFrame> decoded = TakeDecoded(width, height);
    if (!decoded) return nullptr;
    if (!decodeDc_.get()) decodeDc_.reset(CreateCompatibleDC(nullptr));
    // A new GDI+ bitmap for every frame: GDI+ may copy the pixels it is given.
    decoded->bitmap.reset();
    GdiFlush();
    // Pixels the stream skips stay black, as in a new DIB section.
    std::memset(decoded->bits, 0, GreyStride(width) * static_cast<size_t>(height));
    if (SetDIBits(decodeDc_.get(), decoded->dib.get(), 0, static_cast<UINT>(height), data, rle.get(),
                  DIB_RGB_COLORS) == 0) {
        return nullptr;
    }
    GdiFlush();
    GreyBitmapInfo plain(width, height, BI_RGB, 0);
    decoded->bitmap = MakeBitmap(plain.get(), decoded->bits);
    if (!decoded->bitmap || !SetPalette(*decoded->bitmap)) return nullptr;
    return decoded;
}

EngineFrame* gdiplusengine::CreateFrame(const uint8_t* data, uint32_t size,
                                        int32_t width, int32_t height, uint32_t bitCount) {
    if (bitCount != 8 || !data) return nullptr;
    std::unique_ptr<GdiplusFrame> frame(new (std::nothrow) GdiplusFrame);
    if (!frame) return nullptr;
    GreyBitmapInfo rle(width, height, BI_RLE8, size);
    if (gdiplusTakesRle_) {
        // GDI+ only reads the stream; its interface is not const-correct.
        frame->direct = MakeBitmap(rle.get(), const_cast<uint8_t*>(data));
        if (!frame->direct) {
            gdiplusTakesRle_ = false;  // it will not take the next one either
        } else if (!SetPalette(*frame->direct)) {
            frame->direct.reset();
        }
    }
    if (!gdiplusTakesRle_) frame->decoded = Decode(rle, data);

    if (frame->bitmap()) plan_.FrameMade(frame.get(), data, size, width, height);
    return frame.release();
}

void gdiplusengine::DeleteFrame(EngineFrame* frame) {
    if (!frame) return;
    plan_.FrameDeleted(frame);
    std::unique_ptr<GdiplusFrame> own(static_cast<GdiplusFrame*>(frame));
    if (own->decoded) spareDecoded_ = std::move(own->decoded);
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
    plan_.RedrawAll();
    SetReach();
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
    plan_.RedrawAll();
}
