#include "common/TestImages.h"

#include "common/TestSupport.h"
#include "common/TestWindow.h"

#include <gdiplus.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace testing_support {

void StartGdiplus() {
    static ULONG_PTR token = 0;
    if (token) return;
    Gdiplus::GdiplusStartupInput input;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
}

static bool FindEncoder(const wchar_t* mimeType, CLSID* clsid) {
    UINT count = 0, bytes = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || bytes == 0) return false;
    std::vector<uint8_t> storage(bytes);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(storage.data());
    if (Gdiplus::GetImageEncoders(count, bytes, codecs) != Gdiplus::Ok) return false;
    for (UINT i = 0; i < count; ++i) {
        if (wcscmp(codecs[i].MimeType, mimeType) == 0) {
            *clsid = codecs[i].Clsid;
            return true;
        }
    }
    return false;
}

static bool SaveBitmap(Gdiplus::Bitmap& bitmap, const std::wstring& path, const wchar_t* mimeType) {
    CLSID clsid;
    return FindEncoder(mimeType, &clsid) && bitmap.Save(path.c_str(), &clsid, nullptr) == Gdiplus::Ok;
}

static Gdiplus::Color ToColor(COLORREF c) { return Gdiplus::Color(GetRValue(c), GetGValue(c), GetBValue(c)); }

// A picture whose pixel (x, y) is colourAt(x, y), saved in the format of `mimeType`.
static bool WriteImage(const std::wstring& path, const wchar_t* mimeType, int width, int height,
                       const std::function<COLORREF(int x, int y)>& colourAt) {
    StartGdiplus();
    Gdiplus::Bitmap bitmap(width, height, PixelFormat24bppRGB);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) bitmap.SetPixel(x, y, ToColor(colourAt(x, y)));
    return SaveBitmap(bitmap, path, mimeType);
}

bool WriteTwoColourImage(const std::wstring& path, const wchar_t* mimeType, int width, int height,
                         COLORREF left, COLORREF right) {
    return WriteImage(path, mimeType, width, height, [&](int x, int) { return x < width / 2 ? left : right; });
}

bool WriteQuadrantImage(const std::wstring& path, const wchar_t* mimeType, int width, int height,
                        const COLORREF (&quadrants)[4]) {
    return WriteImage(path, mimeType, width, height,
                      [&](int x, int y) { return quadrants[(y < height / 2 ? 0 : 2) + (x < width / 2 ? 0 : 1)]; });
}

bool WriteGradientImage(const std::wstring& path, int width, int height) {
    return WriteImage(path, L"image/bmp", width, height, [&](int x, int y) {
        return RGB(40 + 170 * x / width, 60 + 120 * y / height, 210 - 150 * x / width);
    });
}

Pixels::Pixels(HWND window) {
    RECT client = {};
    GetClientRect(window, &client);
    HDC dc = GetDC(window);
    Copy(dc, client);
    ReleaseDC(window, dc);
}

Pixels::Pixels(const RECT& screenArea) {
    HDC screen = GetDC(nullptr);
    Copy(screen, screenArea);
    ReleaseDC(nullptr, screen);
    origin_ = {screenArea.left, screenArea.top};
}

void Pixels::Copy(HDC source, const RECT& area) {
    width_ = area.right - area.left;
    height_ = area.bottom - area.top;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = -height_;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    HDC copyDc = CreateCompatibleDC(source);
    void* bits = nullptr;
    HBITMAP copy = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (copy && bits) {
        HGDIOBJ old = SelectObject(copyDc, copy);
        BitBlt(copyDc, 0, 0, width_, height_, source, area.left, area.top, SRCCOPY);
        GdiFlush();
        const auto* pixels = static_cast<const uint32_t*>(bits);
        pixels_.assign(pixels, pixels + static_cast<size_t>(width_) * height_);
        SelectObject(copyDc, old);
    }
    if (copy) DeleteObject(copy);
    DeleteDC(copyDc);
}

COLORREF Pixels::At(int x, int y) const {
    x -= origin_.x;
    y -= origin_.y;
    if (x < 0 || y < 0 || x >= width_ || y >= height_ || pixels_.empty()) return CLR_INVALID;
    const uint32_t p = pixels_[static_cast<size_t>(y) * width_ + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

int Pixels::Count(const RECT& part, const std::function<bool(COLORREF)>& test) const {
    int n = 0;
    for (int y = part.top; y < part.bottom; ++y)
        for (int x = part.left; x < part.right; ++x) n += test(At(x, y)) ? 1 : 0;
    return n;
}

RECT Pixels::BoundsOf(COLORREF color, int tolerance) const {
    RECT box = {width_, height_, 0, 0};
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            if (!Near(color, At(x + origin_.x, y + origin_.y), tolerance)) continue;
            box.left = std::min<LONG>(box.left, x);
            box.top = std::min<LONG>(box.top, y);
            box.right = std::max<LONG>(box.right, x + 1);
            box.bottom = std::max<LONG>(box.bottom, y + 1);
        }
    }
    return box;
}

bool Pixels::SavePng(const std::wstring& path) const {
    if (pixels_.empty()) return false;
    StartGdiplus();
    Gdiplus::Bitmap bitmap(width_, height_, width_ * 4, PixelFormat32bppRGB,
                           reinterpret_cast<BYTE*>(const_cast<uint32_t*>(pixels_.data())));
    return SaveBitmap(bitmap, path, L"image/png");
}

bool SaveShot(const Pixels& pixels, const std::wstring& name) {
    const std::string folder = Env("NOXEL_SCREENSHOTS");
    if (folder.empty()) return false;
    CreateDirectoryW(WinePath(folder).c_str(), nullptr);
    return pixels.SavePng(WinePath(folder) + L"\\" + name + L".png");
}

std::string Difference(const Pixels& a, const Pixels& b) {
    if (a == b) return "";
    if (a.width() != b.width() || a.height() != b.height()) return "sizes differ";
    int count = 0, firstX = -1, firstY = -1;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.At(x, y) != b.At(x, y) && count++ == 0) firstX = x, firstY = y;
    if (count == 0) return "the pixels differ in their fourth byte";
    return std::to_string(count) + " pixels differ, the first at " + std::to_string(firstX) + "," +
           std::to_string(firstY);
}

}  // namespace testing_support
