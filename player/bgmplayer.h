// Background music: one WAV file held whole in memory and played as a single
// wave-output block on the first output device.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <cstdint>

class bgmplayer {
public:
    bgmplayer() = default;
    ~bgmplayer() { Close(); }
    bgmplayer(const bgmplayer&) = delete;
    bgmplayer& operator=(const bgmplayer&) = delete;

    // Reads and checks a RIFF/WAVE file; music still playing is stopped first.
    bool Load(const wchar_t* path);
    // Plays the loaded block from its beginning, opening the device if needed.
    void Play() { PlayFrom(0); }
    // Plays the loaded block from `ms` milliseconds into the music. From past
    // its end nothing plays and no device is opened.
    void PlayFrom(uint32_t ms);
    // Stops at once; the device stays open and the file stays loaded.
    void Halt();
    // Stops and closes the device and frees the file.
    void Close();
    // Stops and closes the device, if one is open; the file stays loaded and
    // the next Play opens the device again.
    void CloseDevice();

    bool Loaded() const { return cursor_ != nullptr; }

    // The open output device, or null; the dialog sets its volume.
    HWAVEOUT Device() const { return device_; }

private:
    // Resets the device and unprepares the block, if either is there.
    void StopBlock();

    uint8_t* image_ = nullptr;
    HWAVEOUT device_ = nullptr;
    WAVEFORMATEX format_ = {};
    const uint8_t* cursor_ = nullptr;
    uint32_t dataLength_ = 0;
    WAVEHDR block_ = {};
    WAVEFORMATEX deviceFormat_ = {};  // the format the open device was opened with
};
