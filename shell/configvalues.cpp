// The configuration dialog's window-free rules; see configvalues.h.
#include "shell/configvalues.h"

#include "resources/resource.h"
#include "shell/settings.h"

uint32_t VolumeFromSliderPosition(int position) {
    if (position < 0) position = 0;
    if (position > kVolumeSliderMax) position = kVolumeSliderMax;
    return static_cast<uint32_t>(position) * kVolumeFull / kVolumeSliderMax;
}

int SliderPositionFromVolume(uint32_t volume) {
    // 64-bit: a Volume from the registry is not range-checked.
    uint64_t position = (uint64_t{volume} * kVolumeSliderMax + kVolumeFull / 2) / kVolumeFull;
    return position > kVolumeSliderMax ? kVolumeSliderMax : static_cast<int>(position);
}

DWORD WaveVolumeFromSliderPosition(int position) {
    DWORD level = VolumeFromSliderPosition(position);
    return level | (level << 16);
}

uint32_t StoredSelection(LRESULT selection, uint32_t stored) {
    return selection == CB_ERR ? stored : static_cast<uint32_t>(selection);
}

static const FileChooser kFileChoosers[] = {
    {IDC_FILM_BROWSE, IDS_FILM_TITLE, IDS_FILM_PATTERN, IDS_FILM_EXT, IDC_FILM_PATH},
    {IDC_WAV_BROWSE, IDS_WAV_TITLE, IDS_WAV_PATTERN, IDS_WAV_EXT, IDC_WAV_PATH},
    {IDC_BACKGROUND_BROWSE, IDS_IMAGE_TITLE, IDS_IMAGE_PATTERN, IDS_IMAGE_EXT, IDC_BACKGROUND_PATH},
};

const FileChooser* FileChooserFor(int button) {
    for (const FileChooser& chooser : kFileChoosers) {
        if (chooser.button == button) return &chooser;
    }
    return nullptr;
}

std::wstring ChooserFilter(const std::wstring& pattern) {
    std::wstring filter = pattern;
    filter += L'\0';
    filter += pattern;
    filter += L'\0';
    filter += L'\0';
    return filter;
}

OPENFILENAMEW ChooserRequest(HINSTANCE instance, const wchar_t* filter, wchar_t* file,
                             const wchar_t* title, const wchar_t* defaultExtension) {
    OPENFILENAMEW request = {};
    request.lStructSize = sizeof(request);
    request.hInstance = instance;
    request.lpstrFilter = filter;
    request.lpstrFile = file;
    request.nMaxFile = kPathChars;
    request.lpstrTitle = title;
    request.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
    request.lpstrDefExt = defaultExtension;
    return request;
}
