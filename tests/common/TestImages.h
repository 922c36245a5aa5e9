// Image files and screenshots for drawing tests, made with GDI+: background
// pictures in any format GDI+ encodes, and PNG copies of a window's pixels.
#pragma once

#include <windows.h>

#include <string>

namespace testing_support {

// Starts GDI+ once for the whole test process, as the player does; the
// token is never released.
void StartGdiplus();

// Writes a width x height picture, left half `left` and right half `right`,
// in the format of `mimeType` ("image/bmp", "image/png", "image/jpeg", ...).
bool WriteTwoColourImage(const std::wstring& path, const wchar_t* mimeType, int width, int height,
                         COLORREF left, COLORREF right);

// Writes a width x height bitmap file in four quadrants of the given colours:
// a picture that shows whether it is drawn upside down or mirrored.
bool WriteQuadrantImage(const std::wstring& path, int width, int height, COLORREF topLeft, COLORREF topRight,
                        COLORREF bottomLeft, COLORREF bottomRight);

// Writes a picture whose colour changes smoothly from corner to corner,
// nowhere black or white: a background on which every mode shows.
bool WriteGradientImage(const std::wstring& path, int width, int height);

// Saves what the window's client area shows as a PNG file.
bool SaveWindowPng(HWND window, const std::wstring& path);

}  // namespace testing_support
