// The configuration dialog run modally on a thread of this process and
// driven with window messages: its resource, the settings it shows and
// saves, the engine switch with its parameter lists, and the file choosers.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <dlgs.h>

#include <iterator>

#include "DialogDriver.h"
#include "DialogTemplate.h"
#include "common/SettingsKey.h"
#include "common/FilmBuilder.h"
#include "common/TestSupport.h"
#include "resources/resource.h"

using namespace dialog_tests;
using namespace testing_support;

namespace {

class ConfigDialog : public ::testing::Test {
protected:
    SettingsKeyGuard key_;
};

const std::vector<std::wstring> kGdiOptions = {L"白", L"黒", L"そのまま", L"反転"};
constexpr uint32_t kVolumeAt30 = 19660;  // slider position 30, truncated

// Settings that differ from every default.
RegValues StoredSettings() {
    return {
        {L"NoxelFilePath", Text(L"C:\\films\\stored.nxl")},
        {L"WavFilePath", Text(L"C:\\music\\stored.wav")},
        {L"BackGroundImageFilePath", Text(L"C:\\pictures\\stored.png")},
        {L"Engine", Number(1)},
        {L"Param1", Number(6)},
        {L"Param2", Number(1)},
        {L"BGM", Number(0)},
        {L"DisplayFrameRate", Number(1)},
        {L"Volume", Number(kVolumeAt30)},
        {L"Layout", Number(1)},
        {L"KeepAspect", Number(1)},
    };
}

// What the dialog shows of each setting, in the order of StoredSettings(),
// check boxes as 1 and 0.
std::vector<std::wstring> ShownSettings(const DialogControls& d) {
    auto checked = [&](int id) { return std::wstring(d.Checked(id) ? L"1" : L"0"); };
    return {d.Text(IDC_FILM_PATH), d.Text(IDC_WAV_PATH), d.Text(IDC_BACKGROUND_PATH),
            std::to_wstring(d.Selection(IDC_ENGINE)), std::to_wstring(d.Selection(IDC_PARAM1)),
            std::to_wstring(d.Selection(IDC_PARAM2)), checked(IDC_BGM), checked(IDC_FRAMERATE),
            std::to_wstring(d.SliderPosition()), std::to_wstring(d.Selection(IDC_LAYOUT)), checked(IDC_KEEP_ASPECT)};
}
using Shown = std::vector<std::wstring>;

struct ControlRow {
    int id;
    const wchar_t* className;
    const wchar_t* text;
    DWORD style;  // bits that must be set
    short x, y, cx, cy;
};

// In creation order, which is also the tab order.
const ControlRow kControls[] = {
    {IDOK, L"Button", L"OK", BS_DEFPUSHBUTTON, 205, 192, 50, 14},
    {IDCANCEL, L"Button", L"キャンセル", BS_PUSHBUTTON, 311, 192, 50, 14},
    {IDC_FILM_PATH, L"Edit", L"", WS_BORDER | ES_AUTOHSCROLL, 58, 23, 183, 14},
    {IDC_FILM_BROWSE, L"Button", L"変更", BS_PUSHBUTTON, 241, 23, 31, 16},
    {IDC_WAV_PATH, L"Edit", L"", WS_BORDER | ES_AUTOHSCROLL, 58, 39, 183, 14},
    {IDC_WAV_BROWSE, L"Button", L"変更", BS_PUSHBUTTON, 241, 39, 31, 16},
    {IDC_STATIC, L"Static", L"WAVファイル名", SS_LEFT, 7, 41, 50, 8},
    {IDC_PREVIEW_BUTTON, L"Button", L"プレビュー", BS_PUSHBUTTON, 273, 23, 36, 16},
    {IDC_BGM, L"Button", L"BGM", BS_AUTOCHECKBOX, 222, 135, 30, 10},
    {IDC_VOLUME, L"msctls_trackbar32", L"", WS_BORDER | TBS_AUTOTICKS | TBS_TOP, 271, 129, 83, 23},
    {IDC_PREVIEW, L"PREVIEW", L"", WS_CHILD | WS_VISIBLE, 7, 57, 197, 100},
    {IDC_MUSIC_BUTTON, L"Button", L"♪", BS_PUSHBUTTON, 273, 39, 36, 16},
    {IDC_STATIC, L"Static", L"ノクセルファイル名", SS_LEFT, 7, 26, 49, 9},
    {IDC_STATIC, L"Button", L"ノクセル", BS_GROUPBOX, 216, 58, 145, 62},
    {IDC_STATIC, L"Button", L"BGM", BS_GROUPBOX, 216, 121, 145, 33},
    {IDC_PARAM1, L"ComboBox", L"", CBS_DROPDOWNLIST | WS_VSCROLL, 297, 78, 64, 89},
    {IDC_PARAM2, L"ComboBox", L"", CBS_DROPDOWNLIST | WS_VSCROLL, 297, 92, 64, 78},
    {IDC_BACKGROUND_PATH, L"Edit", L"", WS_BORDER | ES_AUTOHSCROLL, 58, 7, 183, 14},
    {IDC_BACKGROUND_BROWSE, L"Button", L"変更", BS_PUSHBUTTON, 241, 7, 31, 16},
    {IDC_STATIC, L"Static", L"背景ファイル名", SS_LEFT, 7, 10, 49, 9},
    {IDC_FRAMERATE, L"Button", L"Framerate", BS_AUTOCHECKBOX, 222, 106, 49, 10},
    {IDC_PARAM1_LABEL, L"Edit", L"", ES_READONLY, 222, 79, 74, 10},
    {IDC_PARAM2_LABEL, L"Edit", L"", ES_READONLY, 222, 93, 74, 10},
    {IDC_STATIC, L"Static", L"エンジン", SS_LEFT, 222, 66, 73, 8},
    {IDC_ENGINE, L"ComboBox", L"", CBS_DROPDOWNLIST | WS_VSCROLL, 298, 64, 63, 52},
    {IDC_STATIC, L"Static", L"画面", SS_LEFT, 7, 164, 50, 8},
    {IDC_LAYOUT, L"ComboBox", L"", CBS_DROPDOWNLIST | WS_VSCROLL, 58, 162, 146, 40},
    {IDC_KEEP_ASPECT, L"Button", L"縦横比を保つ", BS_AUTOCHECKBOX, 58, 178, 146, 10},
};

}  // namespace

// The stored template, and the windows the dialog makes of it in the same
// order, which is also the tab order.
TEST_F(ConfigDialog, HoldsEveryControlWithItsIdTextStyleAndPlaceInTabOrder) {
    DialogTemplate dialog;
    ASSERT_TRUE(ReadDialogTemplate(GetModuleHandleW(nullptr), IDD_CONFIG, &dialog));
    EXPECT_EQ(kDialogCaption, dialog.caption);
    EXPECT_EQ(368, dialog.cx);
    EXPECT_EQ(213, dialog.cy);
    EXPECT_EQ(8, dialog.pointSize);
    EXPECT_EQ(L"MS Shell Dlg", dialog.font);
    const DWORD frame = DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    EXPECT_EQ(frame, dialog.style & frame);
    EXPECT_FALSE(dialog.style & WS_VISIBLE) << "it shows itself at the end of its set-up";

    InProcessDialog d;
    ASSERT_TRUE(d.shown());
    HWND child = GetWindow(d.dialog(), GW_CHILD);
    ASSERT_EQ(std::size(kControls), dialog.items.size());
    for (size_t i = 0; i < dialog.items.size(); ++i) {
        const ControlRow& row = kControls[i];
        const TemplateItem& item = dialog.items[i];
        SCOPED_TRACE(testing::Message() << "control " << i << ", id " << row.id);
        EXPECT_EQ(row.id, static_cast<int>(static_cast<short>(item.id)));
        EXPECT_EQ(0, lstrcmpiW(row.className, item.className.c_str())) << testing::PrintToString(item.className);
        EXPECT_EQ(row.text, item.text);
        EXPECT_EQ(WS_CHILD | WS_VISIBLE, item.style & (WS_CHILD | WS_VISIBLE));
        if (!lstrcmpiW(row.className, L"Button")) {
            EXPECT_EQ(row.style & BS_TYPEMASK, item.style & BS_TYPEMASK);
        } else {
            EXPECT_EQ(row.style, item.style & row.style);
        }
        EXPECT_EQ(row.x, item.x);
        EXPECT_EQ(row.y, item.y);
        EXPECT_EQ(row.cx, item.cx);
        EXPECT_EQ(row.cy, item.cy);

        ASSERT_NE(nullptr, child) << "no window for the control";
        EXPECT_EQ(row.id, static_cast<int>(static_cast<short>(GetDlgCtrlID(child))));
        wchar_t className[64] = {};
        GetClassNameW(child, className, 64);
        EXPECT_EQ(0, lstrcmpiW(row.className, className)) << testing::PrintToString(std::wstring(className));
        child = GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_EQ(nullptr, child) << "no further controls";
    // The two parameter labels are read-only edits without a border.
    EXPECT_FALSE(dialog.items[21].style & WS_BORDER);
    EXPECT_FALSE(dialog.items[22].style & WS_BORDER);
}

// The defaults while nothing is stored; what OK writes shows again.
TEST_F(ConfigDialog, OkWritesExactlyTheEditedValuesWhichShowNextTime) {
    {
        InProcessDialog d;
        ASSERT_TRUE(d.shown());
        EXPECT_EQ(Shown({L"Veilwick.nxl", L"Veilwick.wav", L"", L"0", L"0", L"2", L"1", L"0", L"100", L"0", L"0"}),
                  ShownSettings(d));
        d.SetText(IDC_FILM_PATH, L"C:\\films\\stored.nxl");
        d.SetText(IDC_WAV_PATH, L"C:\\music\\stored.wav");
        d.SetText(IDC_BACKGROUND_PATH, L"C:\\pictures\\stored.png");
        d.Select(IDC_ENGINE, 1);
        d.Select(IDC_PARAM1, 6);
        d.Select(IDC_PARAM2, 1);
        d.Click(IDC_BGM);
        d.Click(IDC_FRAMERATE);
        d.MoveSlider(30);
        d.Select(IDC_LAYOUT, 1);
        d.Click(IDC_KEEP_ASPECT);
        EXPECT_FALSE(SettingsKeyExists()) << "nothing is written before OK";
        d.Click(IDOK);
        EXPECT_EQ(IDOK, d.Wait());
        EXPECT_EQ(StoredSettings(), ReadSettingsKey());
    }
    InProcessDialog d;
    ASSERT_TRUE(d.shown());
    EXPECT_EQ(Shown({L"C:\\films\\stored.nxl", L"C:\\music\\stored.wav", L"C:\\pictures\\stored.png", L"1", L"6",
                     L"1", L"0", L"1", L"30", L"1", L"1"}),
              ShownSettings(d));
    EXPECT_EQ((std::vector<std::wstring>{L"GDI", L"GDI+", L"Direct2D"}), d.ListItems(IDC_ENGINE));
    EXPECT_EQ(L"Interpolation Mode", d.Text(IDC_PARAM1_LABEL));
    EXPECT_EQ(L"Foreground Color", d.Text(IDC_PARAM2_LABEL));
    EXPECT_EQ((std::vector<std::wstring>{L"すべての画面に一枚の絵", L"画面ごとに一枚ずつ"}), d.ListItems(IDC_LAYOUT));
    EXPECT_EQ(0, SendMessageW(d.Item(IDC_VOLUME), TBM_GETRANGEMIN, 0, 0));
    EXPECT_EQ(100, SendMessageW(d.Item(IDC_VOLUME), TBM_GETRANGEMAX, 0, 0));
    EXPECT_EQ(L"プレビュー", d.Text(IDC_PREVIEW_BUTTON));
    EXPECT_EQ(L"♪", d.Text(IDC_MUSIC_BUTTON));
    GUITHREADINFO gui = {};
    gui.cbSize = sizeof(gui);
    ASSERT_TRUE(GetGUIThreadInfo(d.threadId(), &gui));
    EXPECT_EQ(d.Item(IDC_FILM_PATH), gui.hwndFocus);
}

// The close box arrives as Cancel, which writes nothing whatever was edited
// (Cancel itself: ScrConfiguration.TheNamedOrElseTheForegroundWindowOwnsTheDialog).
TEST_F(ConfigDialog, TheCloseBoxWritesNothing) {
    WriteSettingsKey(StoredSettings());
    const RegValues before = ReadSettingsKey();
    InProcessDialog d;
    ASSERT_TRUE(d.shown());
    d.SetText(IDC_WAV_PATH, L"Z:\\music\\other.wav");
    d.Select(IDC_ENGINE, 0);
    d.Select(IDC_PARAM2, 3);
    d.Click(IDC_FRAMERATE);
    SendMessageW(d.dialog(), WM_CLOSE, 0, 0);
    EXPECT_EQ(IDCANCEL, d.Wait());
    EXPECT_EQ(before, ReadSettingsKey());
}

TEST_F(ConfigDialog, EngineSwitchRefillsBothParameterLists) {
    WriteSettingsKey({{L"Param1", Number(1)}, {L"Param2", Number(0)}});
    InProcessDialog d;
    ASSERT_TRUE(d.shown());
    EXPECT_EQ(L"白の動作", d.Text(IDC_PARAM1_LABEL));
    EXPECT_EQ(L"黒の動作", d.Text(IDC_PARAM2_LABEL));
    EXPECT_EQ(kGdiOptions, d.ListItems(IDC_PARAM1));
    EXPECT_EQ(kGdiOptions, d.ListItems(IDC_PARAM2));

    d.Select(IDC_ENGINE, 1);
    EXPECT_EQ(L"Interpolation Mode", d.Text(IDC_PARAM1_LABEL));
    EXPECT_EQ(8u, d.ListItems(IDC_PARAM1).size());
    EXPECT_EQ(L"Foreground Color", d.Text(IDC_PARAM2_LABEL));
    EXPECT_EQ(2u, d.ListItems(IDC_PARAM2).size());
    // The new lists select the stored values.
    EXPECT_EQ(1, d.Selection(IDC_PARAM1));
    EXPECT_EQ(0, d.Selection(IDC_PARAM2));

    d.Select(IDC_PARAM1, 7);
    d.Select(IDC_ENGINE, 2);
    EXPECT_EQ(L"Mode", d.Text(IDC_PARAM1_LABEL));
    EXPECT_EQ(3u, d.ListItems(IDC_PARAM1).size());
    EXPECT_EQ(L"No Settings", d.Text(IDC_PARAM2_LABEL));
    EXPECT_TRUE(d.ListItems(IDC_PARAM2).empty());
    EXPECT_EQ(1, d.Selection(IDC_PARAM1));
    EXPECT_EQ(CB_ERR, d.Selection(IDC_PARAM2));
    EXPECT_EQ(2, d.Selection(IDC_ENGINE)) << "Direct2D works here";

    d.Select(IDC_ENGINE, 0);
    EXPECT_EQ(kGdiOptions, d.ListItems(IDC_PARAM1));
    EXPECT_EQ(kGdiOptions, d.ListItems(IDC_PARAM2));
    EXPECT_EQ(1, d.Selection(IDC_PARAM1));
    EXPECT_EQ(0, d.Selection(IDC_PARAM2));
}

// Focusing, opening and closing the engine list must not recreate the
// engine and reset the lists to the stored parameters.
TEST_F(ConfigDialog, OnlyASelectionChangeSwitchesTheEngine) {
    InProcessDialog d;
    ASSERT_TRUE(d.shown());
    d.Select(IDC_PARAM1, 3);
    d.Select(IDC_PARAM2, 1);
    for (int code : {CBN_SETFOCUS, CBN_DROPDOWN, CBN_CLOSEUP, CBN_SELENDOK, CBN_SELENDCANCEL, CBN_KILLFOCUS}) {
        d.Notify(IDC_ENGINE, code);
        d.Notify(IDC_PARAM1, code);
        d.Notify(IDC_PARAM2, code);
    }
    // The list's own notifications when it is really opened and closed.
    SendMessageW(d.Item(IDC_ENGINE), CB_SHOWDROPDOWN, TRUE, 0);
    SendMessageW(d.Item(IDC_ENGINE), CB_SHOWDROPDOWN, FALSE, 0);
    EXPECT_EQ(3, d.Selection(IDC_PARAM1));
    EXPECT_EQ(1, d.Selection(IDC_PARAM2));
    d.Click(IDOK);
    EXPECT_EQ(IDOK, d.Wait());
    EXPECT_EQ(3u, ReadSettingsKey()[L"Param1"].Number());
    EXPECT_EQ(1u, ReadSettingsKey()[L"Param2"].Number());
}

// Saving without touching the slider stores the same Volume again, however
// often it is done.
TEST_F(ConfigDialog, StoredVolumeSurvivesRepeatedOk) {
    const std::pair<uint32_t, int> kShown[] = {{32767, 50}, {40000, 61}, {65535, 100}, {0, 0}, {655, 1}};
    for (const auto& [volume, position] : kShown) {
        WriteSettingsKey({{L"Volume", Number(volume)}});
        std::vector<uint32_t> saved;
        for (int round = 0; round < 2; ++round) {
            InProcessDialog d;
            ASSERT_TRUE(d.shown());
            EXPECT_EQ(position, d.SliderPosition()) << volume;
            d.Click(IDOK);
            ASSERT_EQ(IDOK, d.Wait());
            saved.push_back(ReadSettingsKey()[L"Volume"].Number());
        }
        EXPECT_EQ(saved[0], saved[1]) << "drifted from " << volume;
        EXPECT_NEAR(static_cast<double>(volume), saved[0], 65535 / 200.0 + 1) << volume;
    }
}

// A stored parameter missing from the engine's list leaves the list without
// a selection, and OK keeps the stored value: an empty list (Direct2D has no
// second parameter) must not overwrite what GDI still draws with.
TEST_F(ConfigDialog, ParameterMissingFromTheListKeepsItsStoredValue) {
    WriteSettingsKey({{L"Engine", Number(0)}, {L"Param1", Number(5)}, {L"Param2", Number(3)}});
    {
        InProcessDialog d;
        ASSERT_TRUE(d.shown());
        EXPECT_EQ(CB_ERR, d.Selection(IDC_PARAM1));  // GDI has four options
        EXPECT_EQ(3, d.Selection(IDC_PARAM2));
        d.Select(IDC_ENGINE, 1);
        EXPECT_EQ(5, d.Selection(IDC_PARAM1));
        EXPECT_EQ(CB_ERR, d.Selection(IDC_PARAM2));
        d.Select(IDC_ENGINE, 2);
        ASSERT_EQ(CB_ERR, d.Selection(IDC_PARAM2));
        d.Click(IDOK);
        ASSERT_EQ(IDOK, d.Wait());
    }
    RegValues written = ReadSettingsKey();
    EXPECT_EQ(2u, written[L"Engine"].Number());
    EXPECT_EQ(5u, written[L"Param1"].Number());
    EXPECT_EQ(3u, written[L"Param2"].Number());

    InProcessDialog d;
    ASSERT_TRUE(d.shown());
    EXPECT_EQ(2, d.Selection(IDC_ENGINE)) << "the stored Direct2D is shown";
    d.Select(IDC_ENGINE, 0);
    EXPECT_EQ(3, d.Selection(IDC_PARAM2));
}

// The saver plays such values as the defaults (GDI, one picture, stretched);
// OK leaves them as stored unless the user picks another.
TEST_F(ConfigDialog, ValuesOutsideTheListsShowTheDefaults) {
    WriteSettingsKey(
        {{L"Engine", Number(7)}, {L"Param1", Number(2)}, {L"Layout", Number(5)}, {L"KeepAspect", Number(9)}});
    InProcessDialog d;
    ASSERT_TRUE(d.shown());
    EXPECT_EQ(Shown({L"Veilwick.nxl", L"Veilwick.wav", L"", L"0", L"2", L"2", L"1", L"0", L"100", L"0", L"0"}),
              ShownSettings(d));
    EXPECT_EQ(kGdiOptions, d.ListItems(IDC_PARAM1));
    d.Click(IDOK);
    EXPECT_EQ(IDOK, d.Wait());
    RegValues written = ReadSettingsKey();
    EXPECT_EQ(7u, written[L"Engine"].Number());
    EXPECT_EQ(5u, written[L"Layout"].Number());
    EXPECT_EQ(9u, written[L"KeepAspect"].Number());
}

TEST_F(ConfigDialog, FileChoosersPutTheChosenPathIntoTheirFields) {
    ScratchDir dir;
    struct Chooser {
        int button;
        const wchar_t* title;
        const wchar_t* pattern;
        int target;
        std::wstring file;
    };
    const Chooser choosers[] = {
        {IDC_FILM_BROWSE, L"ノクセルファイルの変更", L"*.nxl", IDC_FILM_PATH, dir.File(L"chosen.nxl")},
        {IDC_WAV_BROWSE, L"BGMファイルの変更", L"*.wav", IDC_WAV_PATH, dir.File(L"chosen.wav")},
        {IDC_BACKGROUND_BROWSE, L"背景ファイルの変更", L"*.bmp;*.gif;*.png;*.jpg;*.jpeg", IDC_BACKGROUND_PATH,
         dir.File(L"chosen.png")},
    };
    InProcessDialog d;
    ASSERT_TRUE(d.shown());

    for (const Chooser& c : choosers) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.title)));
        ASSERT_TRUE(testing_support::WriteFileBytes(c.file, {1, 2, 3}));
        const std::wstring before = d.Text(c.target);
        for (bool confirm : {false, true}) {
            d.ClickLater(c.button);
            HWND chooser = nullptr;
            ASSERT_TRUE(Eventually([&] {
                chooser = FindThreadWindow(d.threadId(), c.title);
                return chooser && IsWindowVisible(chooser);
            })) << "the chooser opens with its title";
            // The name field (a combo box's edit in the explorer-style chooser).
            HWND name = GetDlgItem(chooser, cmb13);
            if (!name) name = GetDlgItem(chooser, edt1);
            ASSERT_NE(nullptr, name);
            wchar_t shown[260] = {};
            SendMessageW(name, WM_GETTEXT, 260, reinterpret_cast<LPARAM>(shown));
            EXPECT_STREQ(c.pattern, shown) << "the name field holds the pattern";
            if (confirm) {
                SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(c.file.c_str()));
                PostMessageW(chooser, WM_COMMAND, IDOK, 0);
            } else {
                PostMessageW(chooser, WM_COMMAND, IDCANCEL, 0);
            }
            ASSERT_TRUE(Eventually([&] { return !IsWindow(chooser); }));
            EXPECT_EQ(confirm ? c.file : before, d.Text(c.target));
        }
    }
    EXPECT_FALSE(SettingsKeyExists()) << "the settings change only at OK";
    d.Click(IDOK);
    EXPECT_EQ(IDOK, d.Wait());
    const RegValues written = ReadSettingsKey();
    EXPECT_EQ(choosers[0].file, written.at(L"NoxelFilePath").Text());
    EXPECT_EQ(choosers[1].file, written.at(L"WavFilePath").Text());
    EXPECT_EQ(choosers[2].file, written.at(L"BackGroundImageFilePath").Text());
}
