#include "common/TestImages.h"

#include <gdiplus.h>

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

bool WriteTwoColourImage(const std::wstring& path, const wchar_t* mimeType, int width, int height,
                         COLORREF left, COLORREF right) {
    StartGdiplus();
    Gdiplus::Bitmap bitmap(width, height, PixelFormat24bppRGB);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) bitmap.SetPixel(x, y, ToColor(x < width / 2 ? left : right));
    return SaveBitmap(bitmap, path, mimeType);
}

bool WriteQuadrantImage(const std::wstring& path, int width, int height, COLORREF topLeft, COLORREF topRight,
                        COLORREF bottomLeft, COLORREF bottomRight) {
    StartGdiplus();
    Gdiplus::Bitmap bitmap(width, height, PixelFormat24bppRGB);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const bool left = x < width / 2, top = y < height / 2;
            bitmap.SetPixel(x, y, ToColor(top ? (left ? topLeft : topRight) : (left ? bottomLeft : bottomRight)));
        }
    }
    return SaveBitmap(bitmap, path, L"image/bmp");
}

bool WriteGradientImage(const std::wstring& path, int width, int height) {
    StartGdiplus();
    Gdiplus::Bitmap bitmap(width, height, PixelFormat24bppRGB);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            BYTE r = static_cast<BYTE>(40 + 170 * x / width);
            BYTE g = static_cast<BYTE>(60 + 120 * y / height);
            BYTE b = static_cast<BYTE>(210 - 150 * x / width);
            bitmap.SetPixel(x, y, Gdiplus::Color(r, g, b));
        }
    }
    return SaveBitmap(bitmap, path, L"image/bmp");
}

bool SaveWindowPng(HWND window, const std::wstring& path) {
    StartGdiplus();
    RECT client;
    GetClientRect(window, &client);
    HDC windowDc = GetDC(window);
    HDC copyDc = CreateCompatibleDC(windowDc);
    HBITMAP copy = CreateCompatibleBitmap(windowDc, client.right, client.bottom);
    HGDIOBJ old = SelectObject(copyDc, copy);
    BitBlt(copyDc, 0, 0, client.right, client.bottom, windowDc, 0, 0, SRCCOPY);
    SelectObject(copyDc, old);
    bool saved = false;
    {
        Gdiplus::Bitmap bitmap(copy, nullptr);
        saved = SaveBitmap(bitmap, path, L"image/png");
    }
    DeleteObject(copy);
    DeleteDC(copyDc);
    ReleaseDC(window, windowDc);
    return saved;
}

}  // namespace testing_support
