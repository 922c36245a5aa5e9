// Which interpolation mode the GDI+ engine stretches its pictures with, for
// every option index. Pixels cannot tell most modes apart (GDI+ under Wine
// draws all but NearestNeighbor bilinear), so the test watches the calls the
// program makes into gdiplus.dll: its imports of the mode setter and of the
// image-drawing calls are redirected here for the test's length, and every
// stretched draw records the mode last set on the Graphics that drew it.
#include "engines/gdiplusengine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "common/EngineTestKit.h"
#include "common/FilmBuilder.h"
#include "common/TestImages.h"
#include "common/TestSupport.h"
#include "common/TestWindow.h"

using namespace testing_support;
using namespace Gdiplus;

namespace {

// The slot of this program's import table through which it calls `name` in `dll`.
void** ImportSlot(const char* dll, const char* name) {
    auto* base = reinterpret_cast<uint8_t*>(GetModuleHandleW(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); entry->Name; ++entry) {
        if (_stricmp(reinterpret_cast<const char*>(base + entry->Name), dll) != 0) continue;
        const DWORD lookup = entry->OriginalFirstThunk ? entry->OriginalFirstThunk : entry->FirstThunk;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + lookup);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (strcmp(reinterpret_cast<const char*>(byName->Name), name) == 0)
                return reinterpret_cast<void**>(&slots->u1.Function);
        }
    }
    return nullptr;
}

void* Redirect(void** slot, void* to) {
    DWORD protection = 0;
    VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &protection);
    void* was = *slot;
    *slot = to;
    VirtualProtect(slot, sizeof(void*), protection, &protection);
    return was;
}

using SetModeFn = GpStatus(WINGDIPAPI*)(GpGraphics*, InterpolationMode);
using DeleteGraphicsFn = GpStatus(WINGDIPAPI*)(GpGraphics*);
using DrawRectIFn = GpStatus(WINGDIPAPI*)(GpGraphics*, GpImage*, INT, INT, INT, INT);
using DrawRectRectFn = GpStatus(WINGDIPAPI*)(GpGraphics*, GpImage*, REAL, REAL, REAL, REAL, REAL, REAL, REAL, REAL,
                                             GpUnit, const GpImageAttributes*, DrawImageAbort, VOID*);

// What the redirected calls saw.
struct Calls {
    SetModeFn setMode = nullptr;
    DeleteGraphicsFn deleteGraphics = nullptr;
    DrawRectIFn drawRectI = nullptr;
    DrawRectRectFn drawRectRect = nullptr;
    std::map<GpGraphics*, InterpolationMode> modes;  // last set per Graphics
    std::vector<InterpolationMode> stretched;        // mode of each stretched draw
};
Calls g_calls;

// A Graphics whose mode was never set draws with the default mode.
void NoteDraw(GpGraphics* graphics, double sourceWidth, double sourceHeight, double width, double height) {
    if (static_cast<int>(sourceWidth) == static_cast<int>(width) &&
        static_cast<int>(sourceHeight) == static_cast<int>(height))
        return;  // copied one to one: the mode does not matter
    auto known = g_calls.modes.find(graphics);
    g_calls.stretched.push_back(known == g_calls.modes.end() ? InterpolationModeDefault : known->second);
}

void NoteWholeImageDraw(GpGraphics* graphics, GpImage* image, double width, double height) {
    UINT sourceWidth = 0, sourceHeight = 0;
    DllExports::GdipGetImageWidth(image, &sourceWidth);
    DllExports::GdipGetImageHeight(image, &sourceHeight);
    NoteDraw(graphics, sourceWidth, sourceHeight, width, height);
}

GpStatus WINGDIPAPI SetMode(GpGraphics* graphics, InterpolationMode mode) {
    g_calls.modes[graphics] = mode;
    return g_calls.setMode(graphics, mode);
}

GpStatus WINGDIPAPI DeleteGraphics(GpGraphics* graphics) {
    g_calls.modes.erase(graphics);
    return g_calls.deleteGraphics(graphics);
}

GpStatus WINGDIPAPI DrawRectI(GpGraphics* graphics, GpImage* image, INT x, INT y, INT width, INT height) {
    NoteWholeImageDraw(graphics, image, width, height);
    return g_calls.drawRectI(graphics, image, x, y, width, height);
}

GpStatus WINGDIPAPI DrawRectRect(GpGraphics* graphics, GpImage* image, REAL x, REAL y, REAL width, REAL height,
                                 REAL sx, REAL sy, REAL sw, REAL sh, GpUnit unit, const GpImageAttributes* attributes,
                                 DrawImageAbort abort, VOID* data) {
    NoteDraw(graphics, sw, sh, width, height);
    return g_calls.drawRectRect(graphics, image, x, y, width, height, sx, sy, sw, sh, unit, attributes, abort, data);
}

// Redirects the program's GDI+ imports to the functions above while it lives:
// the two image-drawing calls the engine makes. Should it draw through
// another, the test finds fewer stretched draws than it needs and fails.
class WatchedGdiplus {
public:
    WatchedGdiplus() {
        Watch("GdipSetInterpolationMode", &g_calls.setMode, SetMode);
        Watch("GdipDeleteGraphics", &g_calls.deleteGraphics, DeleteGraphics);
        Watch("GdipDrawImageRectI", &g_calls.drawRectI, DrawRectI);
        Watch("GdipDrawImageRectRect", &g_calls.drawRectRect, DrawRectRect);
    }
    ~WatchedGdiplus() {
        for (const auto& [slot, original] : restore_) Redirect(slot, original);
        g_calls = Calls();
    }
    WatchedGdiplus(const WatchedGdiplus&) = delete;
    WatchedGdiplus& operator=(const WatchedGdiplus&) = delete;

private:
    template <typename Fn>
    void Watch(const char* name, Fn* original, Fn replacement) {
        void** slot = ImportSlot("gdiplus.dll", name);
        if (!slot) return;
        *original = reinterpret_cast<Fn>(*slot);
        restore_.emplace_back(slot, Redirect(slot, reinterpret_cast<void*>(replacement)));
    }

    std::vector<std::pair<void**, void*>> restore_;
};

// The option list of "Interpolation Mode", in index order.
const InterpolationMode kDesigned[] = {
    InterpolationModeDefault,  InterpolationModeLowQuality,     InterpolationModeHighQuality,
    InterpolationModeBilinear, InterpolationModeBicubic,        InterpolationModeNearestNeighbor,
    InterpolationModeHighQualityBilinear, InterpolationModeHighQualityBicubic};

}  // namespace

TEST(GdiplusInterpolation, EveryIndexStretchesWithItsDesignedMode) {
    StartGdiplus();
    ScratchDir dir;
    const std::wstring image = dir.File(L"background.bmp");
    ASSERT_TRUE(WriteTwoColourImage(image, L"image/bmp", 32, 24, RGB(200, 120, 40), RGB(40, 120, 200)));
    TestWindow window(96, 72, 40, 40);
    gdiplusengine engine(window.hwnd());
    GreyPicture checker(8, 6, 0);
    checker.Fill(0, 0, 4, 3, 255);
    checker.Fill(4, 3, 8, 6, 255);

    WatchedGdiplus watched;
    // Index 8 stands for the default mode; larger ones keep the mode set before.
    struct Step {
        uint32_t index;
        InterpolationMode expected;
    };
    std::vector<Step> steps;
    for (uint32_t index = 0; index < 8; ++index) steps.push_back({index, kDesigned[index]});
    steps.push_back({5, InterpolationModeNearestNeighbor});
    steps.push_back({8, InterpolationModeDefault});
    steps.push_back({4, InterpolationModeBicubic});
    steps.push_back({9, InterpolationModeBicubic});
    steps.push_back({0xFFFFFFFFu, InterpolationModeBicubic});
    for (const Step& step : steps) {
        SCOPED_TRACE(::testing::Message() << "index " << step.index);
        g_calls.stretched.clear();
        engine.SetParam1(step.index);
        // A new background each time, so that a stretched copy kept from
        // an earlier mode cannot stand in.
        ASSERT_TRUE(engine.LoadBackground(image.c_str()));
        ScopedFrame frame(engine, checker);
        engine.InvalidatePicture();
        DrawPicture(engine, frame.get());
        engine.DrawFrame(frame.get());  // outside BeginDraw: onto the window itself
        ASSERT_GE(g_calls.stretched.size(), 3u) << "the background and the frame twice are stretched";
        for (InterpolationMode used : g_calls.stretched) EXPECT_EQ(step.expected, used);
    }
}
