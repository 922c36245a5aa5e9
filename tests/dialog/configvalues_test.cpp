// The dialog's window-free rules: volume slider mapping, list selections
// and the file choosers' requests.
#include <gtest/gtest.h>

#include "resources/resource.h"
#include "shell/configvalues.h"
#include "shell/settings.h"

TEST(VolumeSlider, EveryPositionSurvivesSaveAndReopen) {
    for (int position = 0; position <= kVolumeSliderMax; ++position) {
        uint32_t stored = VolumeFromSliderPosition(position);
        EXPECT_EQ(position, SliderPositionFromVolume(stored)) << "position " << position;
        EXPECT_EQ(stored, VolumeFromSliderPosition(SliderPositionFromVolume(stored)));
    }
}

TEST(VolumeSlider, StoredValuesKeepTheirMeaning) {
    EXPECT_EQ(0u, VolumeFromSliderPosition(0));
    EXPECT_EQ(32767u, VolumeFromSliderPosition(50));
    EXPECT_EQ(65535u, VolumeFromSliderPosition(100));
    EXPECT_EQ(50, SliderPositionFromVolume(32767));
    EXPECT_EQ(50, SliderPositionFromVolume(32768));
    EXPECT_EQ(0, SliderPositionFromVolume(327));    // below half a step
    EXPECT_EQ(1, SliderPositionFromVolume(328));
    EXPECT_EQ(100, SliderPositionFromVolume(65535));
}

TEST(VolumeSlider, OutOfRangeValuesAreClamped) {
    EXPECT_EQ(100, SliderPositionFromVolume(65536));
    EXPECT_EQ(100, SliderPositionFromVolume(0xFFFFFFFFu));  // would overflow in 32 bits
    EXPECT_EQ(0u, VolumeFromSliderPosition(-5));
    EXPECT_EQ(65535u, VolumeFromSliderPosition(250));
}

TEST(VolumeSlider, WaveVolumeSetsBothChannels) {
    EXPECT_EQ(0u, WaveVolumeFromSliderPosition(0));
    EXPECT_EQ(0xFFFFFFFFu, WaveVolumeFromSliderPosition(100));
    EXPECT_EQ(0x7FFF7FFFu, WaveVolumeFromSliderPosition(50));
}

TEST(ListSelection, NoSelectionKeepsTheStoredValue) {
    EXPECT_EQ(3u, StoredSelection(3, 7));
    EXPECT_EQ(0u, StoredSelection(0, 7));
    EXPECT_EQ(7u, StoredSelection(CB_ERR, 7));
    EXPECT_EQ(2u, StoredSelection(CB_ERR, 2));
}

TEST(FileChoosers, RequestShowsOnePatternAndAcceptsOnlyExistingFiles) {
    const std::wstring filter = ChooserFilter(L"*.nxl");
    EXPECT_EQ(std::wstring(L"*.nxl\0*.nxl\0\0", 13), filter);

    wchar_t file[kPathChars] = L"*.nxl";
    OPENFILENAMEW request = ChooserRequest(reinterpret_cast<HINSTANCE>(0x400000), filter.c_str(), file,
                                           L"title", L"nxl");
    EXPECT_EQ(sizeof(void*) == 4 ? 88u : 152u, request.lStructSize);
    EXPECT_EQ(nullptr, request.hwndOwner);
    EXPECT_EQ(reinterpret_cast<HINSTANCE>(0x400000), request.hInstance);
    EXPECT_EQ(filter.c_str(), request.lpstrFilter);
    EXPECT_EQ(nullptr, request.lpstrCustomFilter);
    EXPECT_EQ(0u, request.nFilterIndex);
    EXPECT_EQ(file, request.lpstrFile);
    EXPECT_EQ(kPathChars, request.nMaxFile);
    EXPECT_EQ(nullptr, request.lpstrFileTitle);
    EXPECT_EQ(nullptr, request.lpstrInitialDir);
    EXPECT_STREQ(L"title", request.lpstrTitle);
    EXPECT_EQ(0x81800u, request.Flags);
    EXPECT_STREQ(L"nxl", request.lpstrDefExt);
    EXPECT_EQ(nullptr, request.lpfnHook);
    EXPECT_EQ(0u, request.FlagsEx);
}
