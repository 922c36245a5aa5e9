// The configuration dialog's rules that need no window: how the volume
// slider maps onto the stored Volume, what a list without selection stores,
// and how each file chooser is asked for.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <cstdint>
#include <string>

constexpr int kVolumeSliderMax = 100;
constexpr uint32_t kVolumeFull = 0xFFFF;

// The stored Volume that a slider position stands for (truncated).
uint32_t VolumeFromSliderPosition(int position);
// The slider position that shows a stored Volume. It rounds to the nearest
// position so that saving without touching the slider stores the same value
// again; truncating here would lower the volume by a step with every OK.
int SliderPositionFromVolume(uint32_t volume);
// The waveOutSetVolume argument for a slider position: the same level on
// the left (low word) and the right (high word) channel.
DWORD WaveVolumeFromSliderPosition(int position);

// What OK stores from a list: its selection, or, when the list has none
// (CB_ERR), the value stored before, so that an empty list cannot
// overwrite a parameter another engine still needs.
uint32_t StoredSelection(LRESULT selection, uint32_t stored);

// One of the three file choosers: the button that opens it, its string
// resources, and the edit control that receives the chosen path.
struct FileChooser {
    int button;
    UINT title;
    UINT pattern;
    UINT defaultExtension;
    int target;
};

// The chooser that `button` opens, or null for any other control.
const FileChooser* FileChooserFor(int button);

// The chooser's filter: a single entry whose display text and pattern are
// both `pattern`, ended by the empty entry.
std::wstring ChooserFilter(const std::wstring& pattern);

// The chooser request: no owner, the given module, filter, title and default
// extension, the name buffer `file` of kPathChars characters, only existing
// files in existing folders. Every other field is zero.
OPENFILENAMEW ChooserRequest(HINSTANCE instance, const wchar_t* filter, wchar_t* file,
                             const wchar_t* title, const wchar_t* defaultExtension);
