// The GDI engine. Frames stay compressed: GDI decodes the RLE8 bits at every
// StretchDIBits. The background is a loaded image (decoded by GDI+ into a
// DIB section) or a copy of the screen, both kept in a memory DC. Between two
// whole pictures only the window pixels whose film pixels changed are drawn:
// the usual full-size drawing, clipped to them, then copied to the window.
#include "engines/gdiengine.h"

#include <gdiplus.h>

#include <climits>
#include <cstring>
#include <new>

#include "engines/FrameBitmapInfo.h"
#include "resources/resource.h"

namespace {

// A frame: the header and grey colour table GDI needs, and the caller's RLE8
// bytes, borrowed until DeleteFrame.
struct GdiFrame : EngineFrame {
    GdiFrame(const uint8_t* bytes, uint32_t size, int32_t width, int32_t height)
        : info(width, height, BI_RLE8, size), data(bytes) {}
    GreyBitmapInfo info;
    const uint8_t* data;
};

// Both parameters offer the same four options: white, black, unchanged, inverted.
constexpr uint32_t kOptionCount = 4;

// Film pixels around a change that a stretch may still read.
constexpr int32_t kStretchMargin = 1;
// One more rectangle costs a copy to the window and a part of the clip region.
constexpr int64_t kRectangleCost = 1024;
const UINT kOptionStringIds[kOptionCount] = {IDS_GDI_WHITE, IDS_GDI_BLACK, IDS_GDI_UNCHANGED, IDS_GDI_INVERT};

int LoadLabel(UINT id, wchar_t* buffer, uint32_t capacity) {
    // A capacity of 0 would make LoadStringW hand out a pointer instead.
    if (!buffer || capacity == 0) return 0;
    buffer[0] = L'\0';
    int limit = capacity > INT_MAX ? INT_MAX : static_cast<int>(capacity);
    return LoadStringW(GetModuleHandleW(nullptr), id, buffer, limit);
}

int LoadOption(uint32_t index, wchar_t* buffer, uint32_t capacity) {
    if (index >= kOptionCount) {
        if (buffer && capacity > 0) buffer[0] = L'\0';
        return 0;
    }
    return LoadLabel(kOptionStringIds[index], buffer, capacity);
}

}  // namespace

GdiDrawMode ChooseGdiDrawMode(uint32_t param1, uint32_t param2) {
    // Rows: what white does; columns: what black does. With white as all ones
    // and black as all zeros each code gives what its row and column name.
    // Where no single code fits, the frame or the background is inverted
    // first.
    struct Entry {
        DWORD rop;
        bool invertSource;
        bool invertDestinationFirst;
    };
    static const Entry kTable[kOptionCount][kOptionCount] = {
        {{WHITENESS, false, false}, {SRCCOPY, false, false}, {SRCPAINT, false, false}, {SRCPAINT, false, true}},
        {{NOTSRCCOPY, false, false}, {BLACKNESS, false, false}, {SRCAND, true, false}, {NOTSRCERASE, false, false}},
        {{SRCPAINT, true, false}, {SRCAND, false, false}, {0, false, false}, {SRCINVERT, true, false}},
        {{SRCPAINT, true, true}, {SRCERASE, false, false}, {SRCINVERT, false, false}, {DSTINVERT, false, false}},
    };
    GdiDrawMode mode;
    if (param1 >= kOptionCount || param2 >= kOptionCount) return mode;
    const Entry& entry = kTable[param1][param2];
    mode.rasterOperation = entry.rop;
    mode.invertSource = entry.invertSource;
    mode.invertDestinationFirst = entry.invertDestinationFirst;
    return mode;
}

// An image file decoded by GDI+ and copied into a 32-bit DIB section that
// stays selected into a memory DC of its own.
class gdiengine::BackgroundImage {
public:
    // Null when the path is empty or GDI+ cannot decode the file.
    static std::unique_ptr<BackgroundImage> Load(const wchar_t* path, HDC reference);

    HDC dc() const { return dc_.get(); }
    int32_t width() const { return width_; }
    int32_t height() const { return height_; }

private:
    GdiBitmap dib_;
    OwnedDC dc_;
    int32_t width_ = 0;
    int32_t height_ = 0;
};

std::unique_ptr<gdiengine::BackgroundImage> gdiengine::BackgroundImage::Load(const wchar_t* path,
                                                                             HDC reference) {
    if (!path || !*path) return nullptr;
    Gdiplus::Bitmap bitmap(path);
    if (bitmap.GetLastStatus() != Gdiplus::Ok) return nullptr;
    const int32_t width = static_cast<int32_t>(bitmap.GetWidth());
    const int32_t height = static_cast<int32_t>(bitmap.GetHeight());
    if (width <= 0 || height <= 0) return nullptr;

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down, row order as GDI+ hands it out
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    std::unique_ptr<BackgroundImage> image(new (std::nothrow) BackgroundImage);
    if (!image) return nullptr;
    image->dib_.reset(CreateDIBSection(reference, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!image->dib_.get() || !bits) return nullptr;

    Gdiplus::Rect all(0, 0, width, height);
    Gdiplus::BitmapData locked;
    if (bitmap.LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat32bppRGB, &locked) != Gdiplus::Ok)
        return nullptr;
    const size_t rowBytes = static_cast<size_t>(width) * 4;
    for (int32_t y = 0; y < height; ++y) {
        std::memcpy(static_cast<uint8_t*>(bits) + rowBytes * y,
                    static_cast<const uint8_t*>(locked.Scan0) + static_cast<ptrdiff_t>(locked.Stride) * y,
                    rowBytes);
    }
    bitmap.UnlockBits(&locked);

    image->dc_.reset(CreateCompatibleDC(reference));
    if (!image->dc_.get()) return nullptr;
    SelectObject(image->dc_.get(), image->dib_.get());
    image->width_ = width;
    image->height_ = height;
    return image;
}

gdiengine::gdiengine(HWND window) : window_(window) {
    GetClientRect(window_, &clientRect_);
    width_ = clientRect_.right - clientRect_.left;
    height_ = clientRect_.bottom - clientRect_.top;
    windowDc_.reset(window_);
    // Escapement 1 is a tenth of a degree, as meant: too little to see.
    overlayFont_.reset(CreateFontW(72, 0, 1, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                   0, 0, 0, 0, L"Meiryo"));
    MakeBackBuffer();
    plan_.SetDestination(width_, height_);
    plan_.SetReach(kStretchMargin, 0, kRectangleCost);
}

gdiengine::~gdiengine() = default;

void gdiengine::InvalidatePicture() { plan_.RedrawAll(); }

void gdiengine::MakeBackBuffer() {
    backBufferDc_.reset();
    backBufferBitmap_.reset(CreateCompatibleBitmap(windowDc_.get(), width_, height_));
    backBufferDc_.reset(CreateCompatibleDC(windowDc_.get()));
    SelectObject(backBufferDc_.get(), backBufferBitmap_.get());
    // Only the back buffer gets the overlay font and colour; its text cells
    // keep the default opaque white background.
    SelectObject(backBufferDc_.get(), overlayFont_.get());
    SetTextColor(backBufferDc_.get(), RGB(255, 0, 0));
}

void gdiengine::Resize() {
    GetClientRect(window_, &clientRect_);
    width_ = clientRect_.right - clientRect_.left;
    height_ = clientRect_.bottom - clientRect_.top;
    windowDc_.reset(window_);
    invertedDc_.reset();
    invertedBitmap_.reset();
    MakeBackBuffer();
    plan_.SetDestination(width_, height_);
}

void gdiengine::BeginDraw() {
    backBufferMode_ = true;
    // Without a background each draw lands on the last picture, so only a
    // whole draw gives the same pixels as before.
    plan_.BeginTick(backgroundDc_ && backBufferBitmap_.get());
    SelectChangedRegion();
}

void gdiengine::SelectChangedRegion() {
    if (!plan_.Partial()) return;
    clipRegion_.reset(CreateRectRgn(0, 0, 0, 0));
    for (const FilmRect& r : plan_.Rects()) {
        GdiObject<HRGN> part(CreateRectRgn(r.left, r.top, r.right, r.bottom));
        if (!clipRegion_.get() || !part.get() ||
            CombineRgn(clipRegion_.get(), clipRegion_.get(), part.get(), RGN_OR) == ERROR) {
            clipRegion_.reset();
            plan_.TurnWhole();
            return;
        }
    }
    SelectClipRgn(backBufferDc_.get(), clipRegion_.get());
}

void gdiengine::EndPartialDraw() {
    SelectClipRgn(backBufferDc_.get(), nullptr);
    clipRegion_.reset();
}

// A tick that began partial but draws more than the changed frame (another
// frame, the overlay) draws the whole picture.
void gdiengine::DrawWholePicture(EngineFrame* drawnBefore) {
    EndPartialDraw();
    DrawBackground();
    if (drawnBefore) DrawFrame(drawnBefore);
}

void gdiengine::EndDraw() {
    if (!backBufferMode_) return;
    lastDrawPartial_ = plan_.Partial();
    if (plan_.Partial()) {
        for (const FilmRect& r : plan_.Rects()) {
            BitBlt(windowDc_.get(), r.left, r.top, r.right - r.left, r.bottom - r.top, backBufferDc_.get(), r.left,
                   r.top, SRCCOPY);
        }
        EndPartialDraw();
    } else {
        BitBlt(windowDc_.get(), 0, 0, width_, height_, backBufferDc_.get(), 0, 0, SRCCOPY);
    }
    backBufferMode_ = false;
    plan_.EndTick();
}

void gdiengine::DrawBackground() {
    if (!backBufferMode_) plan_.DrawnOutsideTick();
    if (!backgroundDc_) return;
    StretchBlt(Target(), 0, 0, width_, height_, backgroundDc_, 0, 0, backgroundWidth_, backgroundHeight_,
               SRCCOPY);
}

void gdiengine::DrawFrame(EngineFrame* frame) {
    if (!backBufferMode_) {
        plan_.DrawnOutsideTick();
    } else {
        EngineFrame* drawnBefore = plan_.DrawnFrame();
        if (plan_.DrawsFrame(frame)) DrawWholePicture(drawnBefore);
    }
    if (!frame || mode_.rasterOperation == 0) return;
    const GdiFrame* f = static_cast<const GdiFrame*>(frame);
    const BITMAPINFO* info = f->info.get();
    const int32_t frameWidth = f->info.header.biWidth;
    const int32_t frameHeight = f->info.header.biHeight;
    HDC target = Target();

    if (!mode_.invertSource) {
        if (mode_.invertDestinationFirst) {
            StretchDIBits(target, 0, 0, width_, height_, 0, 0, frameWidth, frameHeight, f->data, info,
                          DIB_RGB_COLORS, DSTINVERT);
        }
        StretchDIBits(target, 0, 0, width_, height_, 0, 0, frameWidth, frameHeight, f->data, info,
                      DIB_RGB_COLORS, mode_.rasterOperation);
        return;
    }

    // No single raster operation combines an inverted source this way, so
    // the inverted frame is drawn into a bitmap of its own first.
    HDC inverted = InvertedFrameDc();
    if (!inverted) return;
    const bool clipped = backBufferMode_ && plan_.Partial();
    if (clipped) SelectClipRgn(inverted, clipRegion_.get());
    StretchDIBits(inverted, 0, 0, width_, height_, 0, 0, frameWidth, frameHeight, f->data, info,
                  DIB_RGB_COLORS, NOTSRCCOPY);
    if (clipped) SelectClipRgn(inverted, nullptr);
    if (mode_.invertDestinationFirst)
        StretchBlt(target, 0, 0, width_, height_, inverted, 0, 0, width_, height_, DSTINVERT);
    StretchBlt(target, 0, 0, width_, height_, inverted, 0, 0, width_, height_, mode_.rasterOperation);
}

// Null when no bitmap of the window's size can be had: the frame is then not
// drawn, rather than drawn through the DC's 1x1 monochrome default bitmap.
HDC gdiengine::InvertedFrameDc() {
    if (invertedDc_.get()) return invertedDc_.get();
    invertedBitmap_.reset(CreateCompatibleBitmap(windowDc_.get(), width_, height_));
    if (!invertedBitmap_.get()) return nullptr;
    invertedDc_.reset(CreateCompatibleDC(windowDc_.get()));
    if (!invertedDc_.get()) {
        invertedBitmap_.reset();
        return nullptr;
    }
    SelectObject(invertedDc_.get(), invertedBitmap_.get());
    return invertedDc_.get();
}

void gdiengine::DrawOverlayText(const wchar_t* text, uint32_t length) {
    if (!text || length == 0) return;
    if (!backBufferMode_) {
        plan_.DrawnOutsideTick();
    } else {
        EngineFrame* drawnBefore = plan_.DrawnFrame();
        if (plan_.DrawsOverlay()) DrawWholePicture(drawnBefore);
    }
    TextOutW(Target(), 0, 0, text, length > INT_MAX ? INT_MAX : static_cast<int>(length));
}

bool gdiengine::LoadBackground(const wchar_t* path) {
    if (image_ && backgroundDc_ == image_->dc()) backgroundDc_ = nullptr;
    image_.reset();
    image_ = BackgroundImage::Load(path, windowDc_.get());
    plan_.RedrawAll();
    if (!image_) return false;
    captureDc_.reset();
    captureBitmap_.reset();
    backgroundDc_ = image_->dc();
    backgroundWidth_ = image_->width();
    backgroundHeight_ = image_->height();
    return true;
}

void gdiengine::CaptureBackground() {
    backgroundDc_ = nullptr;
    captureDc_.reset();
    captureBitmap_.reset();
    // The capture replaces a loaded image for good, so the image can go.
    image_.reset();
    plan_.RedrawAll();

    OwnedDC display(CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr));
    if (!display.get()) return;
    const DesktopArea area =
        AreaToCapture(GetDeviceCaps(display.get(), HORZRES), GetDeviceCaps(display.get(), VERTRES));
    backgroundWidth_ = area.width;
    backgroundHeight_ = area.height;
    captureBitmap_.reset(CreateCompatibleBitmap(display.get(), backgroundWidth_, backgroundHeight_));
    if (!captureBitmap_.get()) return;  // no capture rather than the DC's 1x1 monochrome bitmap
    captureDc_.reset(CreateCompatibleDC(display.get()));
    if (!captureDc_.get()) {
        captureBitmap_.reset();
        return;
    }
    SelectObject(captureDc_.get(), captureBitmap_.get());
    BitBlt(captureDc_.get(), 0, 0, backgroundWidth_, backgroundHeight_, display.get(), area.left, area.top, SRCCOPY);
    backgroundDc_ = captureDc_.get();
}

EngineFrame* gdiengine::CreateFrame(const uint8_t* data, uint32_t size, int32_t width, int32_t height,
                                    uint32_t bitCount) {
    if (bitCount != 8) return nullptr;
    // Positive height: rows bottom-up, as the film stores them. GDI decodes
    // the borrowed bytes afresh at every draw.
    GdiFrame* frame = new (std::nothrow) GdiFrame(data, size, width, height);
    if (!frame) return nullptr;
    plan_.FrameMade(frame, data, size, width, height);
    return frame;
}

void gdiengine::DeleteFrame(EngineFrame* frame) {
    if (!frame) return;
    plan_.FrameDeleted(frame);
    delete static_cast<GdiFrame*>(frame);
}

uint32_t gdiengine::GetParam1Count() { return kOptionCount; }

int gdiengine::GetParam1Name(wchar_t* buffer, uint32_t capacity) {
    return LoadLabel(IDS_GDI_PARAM1_NAME, buffer, capacity);
}

int gdiengine::GetParam1Option(uint32_t index, wchar_t* buffer, uint32_t capacity) {
    return LoadOption(index, buffer, capacity);
}

void gdiengine::SetParam1(uint32_t index) {
    plan_.RedrawAll();
    param1_ = index;
    mode_ = ChooseGdiDrawMode(param1_, param2_);
}

uint32_t gdiengine::GetParam2Count() { return kOptionCount; }

int gdiengine::GetParam2Name(wchar_t* buffer, uint32_t capacity) {
    return LoadLabel(IDS_GDI_PARAM2_NAME, buffer, capacity);
}

int gdiengine::GetParam2Option(uint32_t index, wchar_t* buffer, uint32_t capacity) {
    return LoadOption(index, buffer, capacity);
}

void gdiengine::SetParam2(uint32_t index) {
    plan_.RedrawAll();
    param2_ = index;
    mode_ = ChooseGdiDrawMode(param1_, param2_);
}
