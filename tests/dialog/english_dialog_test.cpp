// The dialog on a system whose language is not Japanese: every text it
// shows is English and fits its control. Wine fixes a process's language
// when it starts, so this test runs only in its own ctest entry, started
// with LANG=en_US.UTF-8.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "DialogDriver.h"
#include "common/SettingsKey.h"
#include "resources/resource.h"

using namespace dialog_tests;
using namespace testing_support;

namespace {

bool HasJapanese(const std::wstring& text) {
    for (wchar_t c : text) {
        if ((c >= 0x3000 && c <= 0x30FF) ||  // punctuation, hiragana, katakana
            (c >= 0x3400 && c <= 0x9FFF) ||  // ideographs
            (c >= 0xFF00 && c <= 0xFFEF))    // full-width forms
            return true;
    }
    return false;
}

std::wstring WindowText(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return text;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

// Room the control leaves for its text, in pixels: a check box's box and a
// button's or a group box's edges take their part.
int TextRoom(HWND control) {
    RECT client = {};
    GetClientRect(control, &client);
    const int width = client.right - client.left;
    if (ClassOf(control) != L"Button") return width;
    switch (GetWindowLongW(control, GWL_STYLE) & BS_TYPEMASK) {
    case BS_AUTOCHECKBOX:
    case BS_CHECKBOX:
        return width - GetSystemMetrics(SM_CXMENUCHECK) - 4;
    case BS_GROUPBOX:
        return width - 16;
    default:
        return width - 6;
    }
}

int TextWidth(HWND control, const std::wstring& text) {
    HDC dc = GetDC(control);
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE size = {};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return size.cx;
}

}  // namespace

TEST(EnglishSystem, DISABLED_TheDialogShowsEnglishTextsThatFit) {
    ASSERT_EQ(LANG_ENGLISH, PRIMARYLANGID(GetUserDefaultUILanguage())) << "started with LANG=en_US.UTF-8?";
    SettingsKeyGuard key;  // the defaults: the GDI engine
    InProcessDialog d(L"Noxel Screen Saver Settings");
    ASSERT_TRUE(d.shown());

    EXPECT_EQ(L"Action on white", d.Text(IDC_PARAM1_LABEL));
    EXPECT_EQ(L"Action on black", d.Text(IDC_PARAM2_LABEL));
    const std::vector<std::wstring> options = {L"White", L"Black", L"Unchanged", L"Invert"};
    EXPECT_EQ(options, d.ListItems(IDC_PARAM1));
    EXPECT_EQ(options, d.ListItems(IDC_PARAM2));

    for (HWND child = GetWindow(d.dialog(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const int id = GetDlgCtrlID(child);
        const std::wstring className = ClassOf(child);
        const std::vector<std::wstring> texts =
            className == L"ComboBox" ? d.ListItems(id) : std::vector<std::wstring>{WindowText(child)};
        for (const std::wstring& text : texts) {
            EXPECT_FALSE(HasJapanese(text)) << "control " << id << ": " << testing::PrintToString(text);
        }
        if ((className == L"Static" || className == L"Button") && !texts[0].empty()) {
            EXPECT_LE(TextWidth(child, texts[0]), TextRoom(child))
                << testing::PrintToString(texts[0]) << " does not fit its control";
        }
    }

    // The texts the dialog loads later: the choosers' titles, the buttons'
    // texts while something plays.
    for (UINT id = IDS_DEFAULT_FILM; id <= IDS_LAYOUT_EACH; ++id) {
        wchar_t text[260] = {};
        LoadStringW(GetModuleHandleW(nullptr), id, text, 260);
        EXPECT_FALSE(HasJapanese(text)) << "string " << id;
    }
}
