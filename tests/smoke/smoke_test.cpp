#include <windows.h>
#include <gtest/gtest.h>
#include "resources/resource.h"

TEST(Smoke, StringTableIsUtf16) {
    wchar_t buf[260];
    ASSERT_GT(LoadStringW(GetModuleHandleW(nullptr), IDS_GDI_PARAM1_NAME, buf, 260), 0);
    EXPECT_STREQ(L"\u767d\u306e\u52d5\u4f5c", buf);
}

#include "common/TestWindow.h"

TEST(Smoke, PixelsDrawnIntoAWindowReadBack) {
    testing_support::TestWindow w(64, 48, 10, 10);
    HDC dc = GetDC(w.hwnd());
    HBRUSH brush = CreateSolidBrush(RGB(40, 120, 200));
    RECT r = {0, 0, 32, 48};
    FillRect(dc, &r, brush);
    DeleteObject(brush);
    ReleaseDC(w.hwnd(), dc);
    EXPECT_TRUE(testing_support::Near(RGB(40, 120, 200), w.Pixel(5, 5)));
}
