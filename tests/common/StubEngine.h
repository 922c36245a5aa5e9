// An engine that draws nothing and makes no frames, for tests of the code
// around an engine: a test overrides the operations it watches.
#pragma once

#include "engines/gengine.h"

namespace testing_support {

class StubEngine : public gengine {
public:
    void Resize() override {}
    void BeginDraw() override {}
    void EndDraw() override {}
    void DrawBackground() override {}
    void DrawFrame(EngineFrame*) override {}
    void DrawOverlayText(const wchar_t*, uint32_t) override {}
    bool LoadBackground(const wchar_t*) override { return false; }
    void CaptureBackground() override {}
    EngineFrame* CreateFrame(const uint8_t*, uint32_t, int32_t, int32_t, uint32_t) override { return nullptr; }
    void DeleteFrame(EngineFrame*) override {}
    uint32_t GetParam1Count() override { return 0; }
    int GetParam1Name(wchar_t*, uint32_t) override { return 0; }
    int GetParam1Option(uint32_t, wchar_t*, uint32_t) override { return 0; }
    void SetParam1(uint32_t) override {}
    uint32_t GetParam2Count() override { return 0; }
    int GetParam2Name(wchar_t*, uint32_t) override { return 0; }
    int GetParam2Option(uint32_t, wchar_t*, uint32_t) override { return 0; }
    void SetParam2(uint32_t) override {}
};

}  // namespace testing_support
