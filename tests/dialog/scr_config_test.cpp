// noxel.scr in configuration mode, started as its own process and driven
// from here through window messages: every setting edited and the engine
// switched, then OK (exit code 1) or Cancel (exit code 2); the window that
// owns the dialog; the demo film and music found beside the program.
#include <gtest/gtest.h>

#include "DialogDriver.h"
#include "common/FilmBuilder.h"
#include "common/SettingsKey.h"
#include "common/TestSupport.h"
#include "common/TestWindow.h"
#include "common/WavBuilder.h"
#include "resources/resource.h"

using namespace dialog_tests;
using namespace testing_support;

namespace {

class ScrConfiguration : public ::testing::Test {
protected:
    void SetUp() override {
        if (Env("NOXEL_BIN").empty()) GTEST_SKIP() << "NOXEL_BIN is not set";
    }

    SettingsKeyGuard key_;
};

}  // namespace

TEST_F(ScrConfiguration, OkSavesEveryEditedSettingAndExitsWithOne) {
    ScrDialog d(L"/c");
    ASSERT_TRUE(d.started());
    ASSERT_TRUE(d.shown());
    d.SetText(IDC_FILM_PATH, L"Z:\\films\\walk.nxl");
    d.SetText(IDC_WAV_PATH, L"Z:\\music\\walk.wav");
    d.SetText(IDC_BACKGROUND_PATH, L"Z:\\pictures\\sky.bmp");
    d.Select(IDC_ENGINE, 1);  // the lists it brings: ConfigDialog.EngineSwitchRefillsBothParameterLists
    d.Select(IDC_PARAM1, 4);
    d.Select(IDC_PARAM2, 1);
    d.Click(IDC_BGM);
    d.Click(IDC_FRAMERATE);
    d.MoveSlider(75);

    d.Click(IDOK);
    EXPECT_EQ(1u, d.ExitCode());
    const RegValues written = {
        {L"NoxelFilePath", Text(L"Z:\\films\\walk.nxl")}, {L"WavFilePath", Text(L"Z:\\music\\walk.wav")},
        {L"BackGroundImageFilePath", Text(L"Z:\\pictures\\sky.bmp")}, {L"Engine", Number(1)}, {L"Param1", Number(4)},
        {L"Param2", Number(1)}, {L"BGM", Number(0)}, {L"DisplayFrameRate", Number(1)},
        {L"Volume", Number(75u * 65535u / 100u)}, {L"Layout", Number(0)}, {L"KeepAspect", Number(0)}};
    EXPECT_EQ(written, ReadSettingsKey());
}

// Direct2D cannot be set up (here Wine is told not to load its library), so the
// dialog shows GDI; OK after changing only the music keeps the stored engine
// and parameters for the machines where Direct2D works.
TEST_F(ScrConfiguration, OkKeepsTheStoredEngineWhereDirect2DCannotBeMade) {
    WriteSettingsKey({{L"Engine", Number(2)}, {L"Param1", Number(1)}, {L"Param2", Number(3)}});
    // Wine's per-program library settings: d2d1.dll is not loaded for noxel.scr.
    const wchar_t kOverrides[] = L"Software\\Wine\\AppDefaults\\noxel.scr\\DllOverrides";
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, kOverrides, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                             &key, nullptr));
    RegSetValueExW(key, L"d2d1", 0, REG_SZ, reinterpret_cast<const BYTE*>(L""), sizeof(wchar_t));
    RegCloseKey(key);
    ScrDialog d(L"/c");
    RegDeleteKeyW(HKEY_CURRENT_USER, kOverrides);
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\noxel.scr");
    ASSERT_TRUE(d.shown());
    ASSERT_EQ(0, d.Selection(IDC_ENGINE)) << "Direct2D was made after all";
    d.SetText(IDC_WAV_PATH, L"Z:\\music\\other.wav");
    d.Click(IDOK);
    EXPECT_EQ(1u, d.ExitCode());
    const RegValues written = ReadSettingsKey();
    EXPECT_EQ(L"Z:\\music\\other.wav", written.at(L"WavFilePath").Text());
    EXPECT_EQ(2u, written.at(L"Engine").Number());
    EXPECT_EQ(1u, written.at(L"Param1").Number());
    EXPECT_EQ(3u, written.at(L"Param2").Number());
}

// "/c:<handle>" names the owner window, which the modal dialog disables
// while it runs; "/c" alone gives the dialog to the foreground window, and
// so does "/c:" with a handle that is no window. Cancel ends it with exit
// code 2 and saves nothing.
TEST_F(ScrConfiguration, TheNamedOrElseTheForegroundWindowOwnsTheDialog) {
    TestWindow foreground(200, 100, 700, 400);
    TestWindow named(200, 100, 400, 400);
    const HWND gone = TestWindow(20, 20).hwnd();
    auto colonAnd = [](HWND window) { return L"/c:" + std::to_wstring(reinterpret_cast<uintptr_t>(window)); };
    const std::pair<std::wstring, HWND> kOwners[] = {
        {L"/c", foreground.hwnd()}, {colonAnd(gone), foreground.hwnd()}, {colonAnd(named.hwnd()), named.hwnd()}};
    for (const auto& [tail, owner] : kOwners) {
        SCOPED_TRACE(testing::PrintToString(tail));
        SetForegroundWindow(foreground.hwnd());
        ASSERT_EQ(foreground.hwnd(), GetForegroundWindow());
        ScrDialog d(tail);
        ASSERT_TRUE(d.shown());
        EXPECT_EQ(owner, GetWindow(d.dialog(), GW_OWNER));
        EXPECT_FALSE(IsWindowEnabled(owner));
        // The press is queued: while it is handled the dialog enables its
        // owner again, which needs this thread.
        d.SetText(IDC_FILM_PATH, L"Z:\\films\\walk.nxl");
        d.ClickLater(IDCANCEL);
        EXPECT_TRUE(Eventually([&] { return IsWindowEnabled(owner) != FALSE; }));
        EXPECT_EQ(2u, d.ExitCode());
        EXPECT_FALSE(SettingsKeyExists()) << "Cancel saves nothing";
    }
}

// Copied into an install folder of its own and started in another folder
// with nothing stored: the preview and the test playback find the demo film
// and music beside the program.
TEST_F(ScrConfiguration, ThePreviewAndTheTestPlaybackFindTheDemoBesideIt) {
    ScratchDir install;
    ScratchDir elsewhere;
    const std::wstring built = WinePath(Env("NOXEL_BIN") + "/noxel.scr");
    ASSERT_TRUE(CopyFileW(built.c_str(), install.File(L"noxel.scr").c_str(), FALSE));
    ASSERT_TRUE(FilmBuilder(32, 16).Add(GreyPicture(32, 16, kFilmWhite)).Write(install.File(L"Veilwick.nxl")));
    WavLayout wav;
    wav.samples = SquareWave(wav, 1.0, 0.0);
    ASSERT_TRUE(WriteFileBytes(install.File(L"Veilwick.wav"), BuildWav(wav)));

    ScrDialog d(L"/c", install.File(L"noxel.scr"), elsewhere.path());
    ASSERT_TRUE(d.shown());
    EXPECT_EQ(L"Veilwick.nxl", d.Text(IDC_FILM_PATH)) << "the stored name itself is shown";
    d.Click(IDC_PREVIEW_BUTTON);
    EXPECT_EQ(L"■", d.Text(IDC_PREVIEW_BUTTON)) << "the preview did not find the film";
    EXPECT_TRUE(Eventually([&] { return Near(RGB(252, 252, 252), d.PreviewPixel(2)); }))
        << "the white film covers the control";
    d.Click(IDC_MUSIC_BUTTON);
    EXPECT_EQ(L"■", d.Text(IDC_MUSIC_BUTTON)) << "the test playback did not find the music";
    d.Click(IDCANCEL);
    EXPECT_EQ(2u, d.ExitCode());
}
