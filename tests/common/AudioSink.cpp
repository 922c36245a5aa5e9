#include "common/AudioSink.h"

#include "common/TestSupport.h"

namespace testing_support {

AudioSink::AudioSink() {
    const std::string host = Env("NOXEL_AUDIO_FILE");
    if (!host.empty()) path_ = WinePath(host);
}

uint64_t AudioSink::Mark() const {
    WIN32_FILE_ATTRIBUTE_DATA a;
    if (!GetFileAttributesExW(path_.c_str(), GetFileExInfoStandard, &a)) return 0;
    return (static_cast<uint64_t>(a.nFileSizeHigh) << 32) | a.nFileSizeLow;
}

std::vector<uint8_t> AudioSink::Since(uint64_t mark) const {
    std::vector<uint8_t> out;
    HANDLE h = CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return out;
    LARGE_INTEGER size;
    if (GetFileSizeEx(h, &size)) {
        const uint64_t end = static_cast<uint64_t>(size.QuadPart);
        const uint64_t from = mark <= end ? mark : 0;
        LARGE_INTEGER at;
        at.QuadPart = static_cast<LONGLONG>(from);
        out.resize(static_cast<size_t>(end - from));
        DWORD got = 0;
        if (out.empty() || !SetFilePointerEx(h, at, nullptr, FILE_BEGIN) ||
            !ReadFile(h, out.data(), static_cast<DWORD>(out.size()), &got, nullptr)) {
            got = 0;
        }
        out.resize(got);
    }
    CloseHandle(h);
    return out;
}

size_t SoundingBytes(const std::vector<uint8_t>& audio) {
    size_t n = 0;
    for (uint8_t b : audio) n += b != 0;
    return n;
}

std::vector<std::pair<size_t, size_t>> LoudStretches(const std::vector<uint8_t>& audio) {
    constexpr size_t kBlock = 1024;
    constexpr size_t kGapBlocks = 4;
    std::vector<std::pair<size_t, size_t>> stretches;
    size_t quietBlocks = kGapBlocks;
    for (size_t at = 0; at + kBlock <= audio.size(); at += kBlock) {
        const std::vector<uint8_t> block(audio.begin() + at, audio.begin() + at + kBlock);
        if (SoundingBytes(block) > kBlock / 4) {
            if (quietBlocks >= kGapBlocks) stretches.push_back({at, 0});
            stretches.back().second = at + kBlock - stretches.back().first;
            quietBlocks = 0;
        } else {
            ++quietBlocks;
        }
    }
    return stretches;
}

}  // namespace testing_support
