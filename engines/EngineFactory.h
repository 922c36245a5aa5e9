// Makes the rendering engine named by the Engine setting on one window.
// The player and the configuration dialog both go through here, so they
// agree on which engine an unknown or unusable setting turns into.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

#include "engines/gengine.h"

// Engine setting values.
constexpr uint32_t kEngineGdi = 0;
constexpr uint32_t kEngineGdiPlus = 1;
constexpr uint32_t kEngineDirect2D = 2;

// Starts what every engine needs, in the order they expect it: COM for this
// thread, GDI+ (kept up for the rest of the process, since engines made later
// rely on it) and the Direct2D set-up. Results are not reported: an engine
// that cannot work without them fails on its own, or is replaced by GDI.
void StartGraphics();

// Builds engine `engineIndex` (0 GDI, 1 GDI+, 2 Direct2D) bound to `window`.
// An index outside 0..2, a GDI+ engine when GDI+ did not start or cannot
// make its back buffer, or a Direct2D engine whose construction throws
// (its process set-up failed, or no render target for the window), gives
// the GDI engine instead. When `createdIndex` is not null it receives the
// index of the engine actually made. COM, GDI+ and InitDirect2D must have
// been started by the caller (StartGraphics).
std::unique_ptr<gengine> CreateEngine(uint32_t engineIndex, HWND window,
                                      uint32_t* createdIndex);
