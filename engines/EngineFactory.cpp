// The engine factory: one place that turns the Engine setting into an engine,
// so the player and the dialog fall back the same way.
#include "engines/EngineFactory.h"

#include <objbase.h>
#include <gdiplus.h>

#include "engines/d2dengine.h"
#include "engines/gdiengine.h"
#include "engines/gdiplusengine.h"

namespace {

ULONG_PTR g_gdiplusToken = 0;

// Direct2D is the one engine whose construction can fail: without its
// factories or a hardware render target for the window it throws.
std::unique_ptr<gengine> TryDirect2D(HWND window) {
    try {
        return std::make_unique<d2dengine>(window);
    } catch (...) {
        return nullptr;
    }
}

}  // namespace

void StartGraphics() {
    CoInitialize(nullptr);
    if (!g_gdiplusToken) {
        Gdiplus::GdiplusStartupInput input;  // version 1, no callback, no suppression
        Gdiplus::GdiplusStartup(&g_gdiplusToken, &input, nullptr);
    }
    InitDirect2D();
}

std::unique_ptr<gengine> CreateEngine(uint32_t engineIndex, HWND window, uint32_t* createdIndex) {
    std::unique_ptr<gengine> engine;
    uint32_t made = kEngineGdi;
    if (engineIndex == kEngineGdiPlus) {
        engine = std::make_unique<gdiplusengine>(window);
        made = kEngineGdiPlus;
    } else if (engineIndex == kEngineDirect2D) {
        engine = TryDirect2D(window);
        made = kEngineDirect2D;
    }
    if (!engine) {
        engine = std::make_unique<gdiengine>(window);
        made = kEngineGdi;
    }
    if (createdIndex) *createdIndex = made;
    return engine;
}
