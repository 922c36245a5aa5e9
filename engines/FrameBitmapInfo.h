// The description under which a film frame is handed to the platform's
// bitmap decoder: an 8-bit bottom-up DIB header followed by 256 grey colour
// entries (entry v is red v, green v, blue v), so pixel values read as grey.
#pragma once

#include <windows.h>

#include <cstdint>

struct GreyBitmapInfo {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];

    // `compression` is BI_RLE8 for a frame's stream (with its byte count in
    // `sizeImage`) or BI_RGB for uncompressed rows.
    GreyBitmapInfo(int32_t width, int32_t height, DWORD compression, DWORD sizeImage) : header() {
        header.biSize = sizeof(BITMAPINFOHEADER);
        header.biWidth = width;
        header.biHeight = height;
        header.biPlanes = 1;
        header.biBitCount = 8;
        header.biCompression = compression;
        header.biSizeImage = sizeImage;
        for (int i = 0; i < 256; ++i) {
            BYTE v = static_cast<BYTE>(i);
            colors[i] = RGBQUAD{v, v, v, 0};
        }
    }

    const BITMAPINFO* get() const { return reinterpret_cast<const BITMAPINFO*>(this); }
};

static_assert(sizeof(GreyBitmapInfo) == 1064, "a header of 40 bytes and 256 colour entries");
