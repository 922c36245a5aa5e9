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

// Stored values keep their meaning both ways; values out of range are clamped.
TEST(VolumeSlider, StoredValuesAndPositionsMapOntoEachOther) {
    const std::pair<uint32_t, int> kShownAt[] = {
        {0, 0}, {327, 0}, {328, 1},  // below and above half a step
        {32767, 50}, {32768, 50}, {65535, 100}, {65536, 100},
        {0xFFFFFFFFu, 100},  // would overflow in 32 bits
    };
    for (const auto& [volume, position] : kShownAt) EXPECT_EQ(position, SliderPositionFromVolume(volume)) << volume;

    // A position's stored Volume, and its wave volume on both channels.
    const struct {
        int position;
        uint32_t volume;
        DWORD wave;
    } kStoredAt[] = {
        {-5, 0, 0}, {0, 0, 0}, {50, 32767, 0x7FFF7FFF}, {100, 65535, 0xFFFFFFFF}, {250, 65535, 0xFFFFFFFF},
    };
    for (const auto& row : kStoredAt) {
        EXPECT_EQ(row.volume, VolumeFromSliderPosition(row.position)) << row.position;
        EXPECT_EQ(row.wave, WaveVolumeFromSliderPosition(row.position)) << row.position;
    }
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
