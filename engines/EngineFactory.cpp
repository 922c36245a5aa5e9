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
// Set when StartGraphics asked GDI+ to start and it refused.
bool g_gdiplusFailed = false;

// The GDI+ and Direct2D engines throw when they cannot be built on the
// window (no GDI+, no back buffer; no factories, no render target).
template <typename Engine>
std::unique_ptr<gengine> TryEngine(HWND window) {
    try {
        return std::make_unique<Engine>(window);
    } catch (...) {
        return nullptr;
    }
}

}  // namespace

void StartGraphics() {
    CoInitialize(nullptr);
    if (!g_gdiplusToken) {
        Gdiplus::GdiplusStartupInput input;  // version 1, no callback, no suppression
        g_gdiplusFailed = Gdiplus::GdiplusStartup(&g_gdiplusToken, &input, nullptr) != Gdiplus::Ok;
        if (g_gdiplusFailed) g_gdiplusToken = 0;
    }
    InitDirect2D();
}

std::unique_ptr<gengine> CreateEngine(uint32_t engineIndex, HWND window, uint32_t* createdIndex) {
    std::unique_ptr<gengine> engine;
    uint32_t made = kEngineGdi;
    if (engineIndex == kEngineGdiPlus && !g_gdiplusFailed) {
        engine = TryEngine<gdiplusengine>(window);
        made = kEngineGdiPlus;
    } else if (engineIndex == kEngineDirect2D) {
        engine = TryEngine<d2dengine>(window);
        made = kEngineDirect2D;
    }
    if (!engine) {
        engine = std::make_unique<gdiengine>(window);
        made = kEngineGdi;
    }
    if (createdIndex) *createdIndex = made;
    return engine;
}
