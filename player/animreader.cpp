// The film reader: header and offset matrix in memory, one positioned read
// per frame into a buffer sized by the largest frame, and the bytes handed
// straight to the engine. The buffer survives Release so that the dialog's
// preview can reopen a film without allocating again.
#include "player/animreader.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "player/filmcheck.h"

bool animreader::Open(const wchar_t* path) {
    // Callers release an earlier film first; should one forget, its handle
    // and matrix are not leaked.
    Release();
    // Reading only, and sharing for reading: a read-only film still plays,
    // and the control panel's preview and the dialog's preview can hold the
    // same film at once.
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_RANDOM_ACCESS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    file_ = file;

    uint8_t head[kAnimationHeaderSize];
    DWORD got = 0;
    if (!ReadFile(file_, head, kAnimationHeaderSize, &got, nullptr)) return false;
    LARGE_INTEGER fileSize;
    if (!GetFileSizeEx(file_, &fileSize)) return false;
    AnimationHeader header;
    uint32_t matrixBytes = 0;
    const bool accepted =
        CheckFilmHeader(head, got, static_cast<uint64_t>(fileSize.QuadPart), &header, &matrixBytes);
    if (got == kAnimationHeaderSize) {
        std::memcpy(&magic_, header.Magic, sizeof magic_);
        frameCount_ = header.FrameCount;
        width_ = header.Width;
        height_ = header.Height;
        bitCount_ = header.BitCount;
    }
    if (!accepted) return false;

    offsets_ = new (std::nothrow) OffsetEntry[frameCount_];
    if (!offsets_) return false;
    if (!ReadFile(file_, offsets_, matrixBytes, &got, nullptr) || got != matrixBytes) {
        delete[] offsets_;
        offsets_ = nullptr;
        return false;
    }

    const uint32_t largest = LargestFrameSize(offsets_, frameCount_);
    if (buffer_ && largest <= capacity_) return true;

    // A failed allocation leaves no buffer and no capacity, so a later Open
    // cannot mistake the old size for a buffer it still has.
    delete[] buffer_;
    buffer_ = new (std::nothrow) uint8_t[largest];
    capacity_ = buffer_ ? largest : 0;
    return buffer_ != nullptr;
}

EngineFrame* animreader::ReadFrame(uint32_t index, gengine* engine) {
    if (!file_ || !offsets_ || index >= frameCount_ || !engine) return nullptr;
    const OffsetEntry& entry = offsets_[index];
    // Only after a failed Open can the matrix outgrow the buffer.
    if (!buffer_ || entry.Size > capacity_) return nullptr;

    // A positioned read: the handle's own file position plays no part.
    OVERLAPPED at = {};
    at.Offset = entry.Offset;
    DWORD got = 0;
    SetLastError(ERROR_SUCCESS);
    if (!ReadFile(file_, buffer_, entry.Size, &got, &at) || got != entry.Size) {
        // The film is damaged under our feet: stop at once. A short read at
        // the end of the file succeeds without an error code, and exit
        // status 0 would claim success, so report end of file instead.
        DWORD error = GetLastError();
        _exit(error != ERROR_SUCCESS ? static_cast<int>(error) : ERROR_HANDLE_EOF);
    }
    return engine->CreateFrame(buffer_, entry.Size, width_, height_, bitCount_);
}

void animreader::Release() {
    if (file_) CloseHandle(file_);
    file_ = nullptr;
    delete[] offsets_;
    offsets_ = nullptr;
    magic_ = frameCount_ = bitCount_ = 0;
    width_ = height_ = 0;
}

void animreader::Close() {
    Release();
    delete[] buffer_;
    buffer_ = nullptr;
    capacity_ = 0;
}
