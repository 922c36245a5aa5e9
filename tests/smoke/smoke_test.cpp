#include <windows.h>
#include <gtest/gtest.h>
#include "resources/resource.h"

TEST(Smoke, StringTableIsUtf16) {
    wchar_t buf[260];
    ASSERT_GT(LoadStringW(GetModuleHandleW(nullptr), IDS_GDI_PARAM1_NAME, buf, 260), 0);
    EXPECT_STREQ(L"\u767d\u306e\u52d5\u4f5c", buf);
}
