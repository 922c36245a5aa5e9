// Image files and pictures for drawing tests: background pictures in any
// format GDI+ encodes, and copies of what a window or the screen shows, read
// back, compared and saved as PNG files.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace testing_support {

// Starts GDI+ once for the whole test process, as the player does; the
// token is never released.
void StartGdiplus();

// Writes a width x height picture, left half `left` and right half `right`,
// in the format of `mimeType` ("image/bmp", "image/png", "image/jpeg", ...).
bool WriteTwoColourImage(const std::wstring& path, const wchar_t* mimeType, int width, int height,
                         COLORREF left, COLORREF right);

// Writes a width x height picture in four quadrants of the given colours (top
// left, top right, bottom left, bottom right): a picture that shows whether it
// is drawn upside down or mirrored.
bool WriteQuadrantImage(const std::wstring& path, const wchar_t* mimeType, int width, int height,
                        const COLORREF (&quadrants)[4]);

// Writes a picture whose colour changes smoothly from corner to corner,
// nowhere black or white: a background on which every mode shows.
bool WriteGradientImage(const std::wstring& path, int width, int height);

// The pixels of a window's client area, or of an area of the screen, copied
// in one go (reading them one by one is slow under Wine).
class Pixels {
public:
    Pixels() = default;
    explicit Pixels(HWND window);
    // At() then takes screen coordinates.
    explicit Pixels(const RECT& screenArea);

    int width() const { return width_; }
    int height() const { return height_; }
    // Every byte of every pixel the same.
    bool operator==(const Pixels& other) const {
        return width_ == other.width_ && height_ == other.height_ && pixels_ == other.pixels_;
    }
    bool operator!=(const Pixels& other) const { return !(*this == other); }
    // CLR_INVALID outside the area.
    COLORREF At(int x, int y) const;
    // Pixels inside `part` for which the test holds.
    int Count(const RECT& part, const std::function<bool(COLORREF)>& test) const;
    // The smallest rectangle holding every pixel near `color`; empty
    // (right <= left) when there is none.
    RECT BoundsOf(COLORREF color, int tolerance) const;
    bool SavePng(const std::wstring& path) const;

private:
    void Copy(HDC source, const RECT& area);

    POINT origin_ = {};
    int width_ = 0;
    int height_ = 0;
    std::vector<uint32_t> pixels_;
};

// "" when equal; otherwise how many pixels differ and where the first is.
std::string Difference(const Pixels& a, const Pixels& b);

// Saves the pixels as NOXEL_SCREENSHOTS\<name>.png for people to look at;
// false when the run has no screenshot folder.
bool SaveShot(const Pixels& pixels, const std::wstring& name);

// Saves what the window's client area shows as a PNG file.
inline bool SaveWindowPng(HWND window, const std::wstring& path) { return Pixels(window).SavePng(path); }

}  // namespace testing_support
