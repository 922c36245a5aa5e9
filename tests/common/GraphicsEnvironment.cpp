#include "common/GraphicsEnvironment.h"

#include <windows.h>
#include <objbase.h>

#include "common/TestImages.h"
#include "engines/d2dengine.h"

namespace testing_support {

static bool g_direct2DReady = false;

void GraphicsEnvironment::SetUp() {
    CoInitialize(nullptr);
    StartGdiplus();
    g_direct2DReady = InitDirect2D();
}

void GraphicsEnvironment::TearDown() {
    CoUninitialize();
}

bool GraphicsEnvironment::Direct2DReady() {
    return g_direct2DReady;
}

}  // namespace testing_support
