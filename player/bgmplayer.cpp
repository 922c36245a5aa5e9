// Background music: reads a WAV file whole, checks it, and hands its samples
// to the first wave-output device as one block that plays once from the start.
#include "player/bgmplayer.h"

#include "player/wavparse.h"

#include <algorithm>
#include <new>

namespace {

constexpr WORD kWaveFormatFloat = 3;  // WAVE_FORMAT_IEEE_FLOAT

// Completion is never observed; the callback runs on the system's thread and
// must touch nothing.
void CALLBACK IgnoreWaveEvent(HWAVEOUT, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR) {}

bool SameFormat(const WAVEFORMATEX& a, const WAVEFORMATEX& b) {
    return a.wFormatTag == b.wFormatTag && a.nChannels == b.nChannels &&
           a.nSamplesPerSec == b.nSamplesPerSec && a.nAvgBytesPerSec == b.nAvgBytesPerSec &&
           a.nBlockAlign == b.nBlockAlign && a.wBitsPerSample == b.wBitsPerSample &&
           a.cbSize == b.cbSize;
}

// The first byte, from the start of the samples, of the sample frame (or,
// for compressed formats, the block) playing `ms` milliseconds in.
uint64_t ByteAt(const WAVEFORMATEX& format, uint32_t ms) {
    const uint64_t align = format.nBlockAlign ? format.nBlockAlign : 1;
    if (format.wFormatTag == WAVE_FORMAT_PCM || format.wFormatTag == kWaveFormatFloat) {
        // Past any 32-bit data length already; kept small enough not to wrap.
        const uint64_t frames = std::min<uint64_t>(static_cast<uint64_t>(ms) * format.nSamplesPerSec / 1000u,
                                                   0xFFFFFFFFu);
        return frames * align;
    }
    return static_cast<uint64_t>(ms) * format.nAvgBytesPerSec / 1000u / align * align;
}

class FileHandle {
public:
    explicit FileHandle(HANDLE h) : h_(h) {}
    ~FileHandle() {
        if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE get() const { return h_; }
private:
    HANDLE h_;
};

// The whole file, or null. *size receives its length.
uint8_t* ReadWholeFile(const wchar_t* path, uint32_t* size) {
    FileHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) return nullptr;
    DWORD high = 0;
    SetLastError(NO_ERROR);
    const DWORD low = GetFileSize(file.get(), &high);
    if (high != 0 || (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)) return nullptr;
    uint8_t* image = new (std::nothrow) uint8_t[low ? low : 1];
    if (!image) return nullptr;
    DWORD done = 0;
    while (done < low) {
        DWORD got = 0;
        SetLastError(NO_ERROR);
        const BOOL ok = ReadFile(file.get(), image + done, low - done, &got, nullptr);
        if ((!ok && GetLastError() != NO_ERROR) || got == 0) {
            delete[] image;
            return nullptr;
        }
        done += got;
    }
    *size = low;
    return image;
}

}  // namespace

bool bgmplayer::Load(const wchar_t* path) {
    // The device must give the block back before the memory under it goes.
    StopBlock();
    cursor_ = nullptr;
    delete[] image_;
    image_ = nullptr;
    block_ = WAVEHDR{};

    uint32_t size = 0;
    uint8_t* image = ReadWholeFile(path, &size);
    if (!image) return false;
    WavInfo info;
    if (!ParseWav(image, size, &info)) {
        delete[] image;
        return false;
    }
    image_ = image;
    format_.wFormatTag = info.formatTag;
    format_.nChannels = info.channels;
    format_.nSamplesPerSec = info.samplesPerSec;
    format_.nAvgBytesPerSec = info.avgBytesPerSec;
    format_.nBlockAlign = info.blockAlign;
    format_.wBitsPerSample = info.bitsPerSample;
    format_.cbSize = info.extraSize;
    cursor_ = image_ + info.dataOffset;
    dataLength_ = info.dataLength;
    block_.lpData = reinterpret_cast<LPSTR>(const_cast<uint8_t*>(cursor_));
    block_.dwBufferLength = dataLength_;
    block_.dwUser = reinterpret_cast<DWORD_PTR>(this);
    block_.dwLoops = 1;

    // An open device keeps the format it was opened with; another format
    // played through it comes out garbled, so it is opened afresh by Play.
    if (device_ && !SameFormat(format_, deviceFormat_)) CloseDevice();
    return true;
}

void bgmplayer::PlayFrom(uint32_t ms) {
    if (!cursor_) return;  // nothing loaded: stay silent
    StopBlock();           // a block still queued would refuse a second write
    const uint64_t skip = ByteAt(format_, ms);
    if (skip > 0 && skip >= dataLength_) return;
    if (!device_) {
        HWAVEOUT device = nullptr;
        if (waveOutOpen(&device, 0, &format_, reinterpret_cast<DWORD_PTR>(&IgnoreWaveEvent),
                        reinterpret_cast<DWORD_PTR>(this), CALLBACK_FUNCTION | WAVE_ALLOWSYNC) !=
            MMSYSERR_NOERROR) {
            return;  // a device that refuses the format leaves the music silent
        }
        device_ = device;
        deviceFormat_ = format_;
    }
    block_.lpData = reinterpret_cast<LPSTR>(const_cast<uint8_t*>(cursor_ + skip));
    block_.dwBufferLength = dataLength_ - static_cast<uint32_t>(skip);
    // No playback-rate request: the film's loop restarts the music and expects
    // it to run at the file's own rate.
    waveOutPrepareHeader(device_, &block_, sizeof(block_));
    waveOutWrite(device_, &block_, sizeof(block_));
}

void bgmplayer::Halt() {
    StopBlock();
}

void bgmplayer::Close() {
    CloseDevice();
    cursor_ = nullptr;
    delete[] image_;
    image_ = nullptr;
    block_ = WAVEHDR{};
}

void bgmplayer::StopBlock() {
    if (!device_) return;
    waveOutReset(device_);
    if (block_.dwFlags & WHDR_PREPARED) waveOutUnprepareHeader(device_, &block_, sizeof(block_));
}

void bgmplayer::CloseDevice() {
    if (!device_) return;
    StopBlock();
    waveOutClose(device_);
    device_ = nullptr;
}
