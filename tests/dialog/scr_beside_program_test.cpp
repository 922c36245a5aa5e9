// noxel.scr /c copied into an install folder of its own and started in
// another folder with no settings stored: the dialog's preview and its test
// playback find the demo film and music beside the program.
#include <gtest/gtest.h>

#include "DialogDriver.h"
#include "common/SettingsKey.h"
#include "common/FilmBuilder.h"
#include "common/TestSupport.h"
#include "common/TestWindow.h"
#include "common/WavBuilder.h"
#include "resources/resource.h"

using namespace dialog_tests;
using namespace testing_support;

TEST(ScrBesideProgram, ThePreviewAndTheTestPlaybackFindTheDemoBesideIt) {
    if (testing_support::Env("NOXEL_BIN").empty()) GTEST_SKIP() << "NOXEL_BIN is not set";
    SettingsKeyGuard key;
    ScratchDir install;
    ScratchDir elsewhere;
    const std::wstring built = testing_support::WinePath(testing_support::Env("NOXEL_BIN") + "/noxel.scr");
    ASSERT_TRUE(CopyFileW(built.c_str(), install.File(L"noxel.scr").c_str(), FALSE));
    testing_support::GreyPicture white(32, 16, testing_support::kFilmWhite);
    ASSERT_TRUE(testing_support::FilmBuilder(32, 16).Add(white).Add(white).Write(install.File(L"Veilwick.nxl")));
    testing_support::WavLayout wav;
    wav.samples = testing_support::SquareWave(wav, 1.0, 0.0);
    ASSERT_TRUE(testing_support::WriteFileBytes(install.File(L"Veilwick.wav"), testing_support::BuildWav(wav)));

    ScrDialog d(L"/c", install.File(L"noxel.scr"), elsewhere.path());
    ASSERT_TRUE(d.shown());
    EXPECT_EQ(L"Veilwick.nxl", d.Text(IDC_FILM_PATH)) << "the stored name itself is shown";

    d.Click(IDC_PREVIEW_BUTTON);
    EXPECT_EQ(L"■", d.Text(IDC_PREVIEW_BUTTON)) << "the preview did not find the film";
    const RECT area = d.ClientRect(IDC_PREVIEW);
    EXPECT_TRUE(Eventually([&] {
        return testing_support::Near(RGB(252, 252, 252), d.ScreenPixel(IDC_PREVIEW, area.right / 2, area.bottom / 2));
    })) << "the white film covers the control";
    d.Click(IDC_MUSIC_BUTTON);
    EXPECT_EQ(L"■", d.Text(IDC_MUSIC_BUTTON)) << "the test playback did not find the music";

    d.Click(IDCANCEL);
    EXPECT_EQ(2u, d.ExitCode());
}
