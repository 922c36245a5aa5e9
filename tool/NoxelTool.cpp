// NoxelTool <dir> <header>: encodes the 8-bit BMP images <dir>\<header>0000000.bmp,
// 0000001, ... into the film .\<header>.nxl. Pass 1 validates and counts the
// images, pass 2 encodes them; the film is written to a temporary file beside
// its final place and moved there only when complete.
#include <windows.h>

#include <clocale>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "format/AnimationFormat.h"
#include "format/Rle8.h"
#include "tool/BmpImage.h"

namespace {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitNoMemory = 8;
constexpr size_t kNameBufferChars = 260;  // names longer than 259 characters are cut

// Thrown after a failure's message is printed; unwinding removes the
// temporary film before the tool exits with `code`.
struct ToolFailure {
    int code;
};

[[noreturn]] void Fail() { throw ToolFailure{kExitFailure}; }

class FileHandle {
public:
    explicit FileHandle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
    ~FileHandle() { Close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    FileHandle(FileHandle&& other) noexcept : handle_(other.handle_) { other.handle_ = INVALID_HANDLE_VALUE; }
    FileHandle& operator=(FileHandle&& other) noexcept {
        if (this != &other) {
            Close();
            handle_ = other.handle_;
            other.handle_ = INVALID_HANDLE_VALUE;
        }
        return *this;
    }

    explicit operator bool() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }
    void Close() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE handle_;
};

std::wstring CutName(std::wstring name) {
    if (name.size() >= kNameBufferChars) name.resize(kNameBufferChars - 1);
    return name;
}

// Reads until `size` bytes are in or the source has no more; returns the count read.
DWORD ReadFully(HANDLE file, uint8_t* buffer, DWORD size) {
    DWORD total = 0;
    while (total < size) {
        DWORD got = 0;
        if (!ReadFile(file, buffer + total, size - total, &got, nullptr) || got == 0) break;
        total += got;
    }
    return total;
}

// Bytes left behind the current position, or -1 when the source has no size
// (a pipe, say) and the read itself must tell.
int64_t BytesLeft(HANDLE file, uint64_t position) {
    LARGE_INTEGER size;
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileSizeEx(file, &size)) return -1;
    uint64_t total = static_cast<uint64_t>(size.QuadPart);
    return total > position ? static_cast<int64_t>(total - position) : 0;
}

// The numbered images of one run, and the buffers they are read into: one
// pixel buffer for all images of both passes, grown to the largest.
class ImageSequence {
public:
    ImageSequence(const wchar_t* dir, const wchar_t* header) : dir_(dir), header_(header) {}

    std::wstring Name(uint32_t index) const {
        wchar_t number[16];
        swprintf(number, 16, L"%07d", static_cast<int>(index));
        return CutName(dir_ + L"\\" + header_ + number + L".bmp");
    }

    // Opens image `index` for reading, shared with nobody.
    FileHandle Open(uint32_t index) {
        name_ = Name(index);
        return FileHandle(CreateFileW(name_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    }

    // Reads the opened image after printing its name; a bad image prints its
    // message and fails the run.
    void Read(FileHandle file) {
        std::wprintf(L"%ls", name_.c_str());
        DWORD got = ReadFully(file.get(), head_, kBmpHeadSize);
        switch (CheckBmpHead(head_, got, &info_)) {
        case BmpHeadCheck::Ok: break;
        case BmpHeadCheck::Broken: std::wprintf(L"...broken\n"); Fail();
        case BmpHeadCheck::NotBitmap: std::wprintf(L"...Is Not Bitmap File(%x)\n", unsigned{info_.type}); Fail();
        case BmpHeadCheck::BrokenInfo: std::wprintf(L"...brokeninfo\n"); Fail();
        case BmpHeadCheck::IndexColor: std::wprintf(L"...Index Color Not Supported\n"); Fail();
        case BmpHeadCheck::NotPlain8Bit:
            std::wprintf(L"...Not 8bit Uncompressed Bitmap(%d,%d)\n", int{info_.bitCount},
                         static_cast<int>(info_.compression));
            Fail();
        case BmpHeadCheck::BrokenColorMap:
            std::wprintf(L"...brokencolormap(%d,%d)\n", static_cast<int>(kBmpColorTableSize),
                         static_cast<int>(got - kBmpFileHeaderSize - kBmpInfoHeaderSize));
            Fail();
        }

        byteCount_ = info_.PixelByteCount();
        // A header that asks for more bytes than the file holds is broken
        // data, not a reason to try a buffer of up to 4 GiB.
        int64_t left = BytesLeft(file.get(), kBmpHeadSize);
        if (left >= 0 && left < static_cast<int64_t>(byteCount_)) BrokenData(static_cast<DWORD>(left));
        Grow(byteCount_);
        got = ReadFully(file.get(), pixels_.get(), byteCount_);
        if (got < byteCount_) BrokenData(got);
    }

    const std::wstring& name() const { return name_; }
    const BmpHead& info() const { return info_; }
    uint8_t* pixels() { return pixels_.get(); }
    uint32_t byteCount() const { return byteCount_; }
    uint64_t Fingerprint() const { return FrameFingerprint(pixels_.get(), byteCount_, info_.width, info_.height); }

private:
    [[noreturn]] void BrokenData(DWORD got) {
        std::wprintf(L"...brokendata(%d,%d)\n", static_cast<int>(byteCount_), static_cast<int>(got));
        Fail();
    }

    void Grow(uint32_t count) {
        if (pixels_ && count <= capacity_) return;
        pixels_.reset();
        capacity_ = 0;
        pixels_.reset(new uint8_t[count]);
        capacity_ = count;
    }

    std::wstring dir_;
    std::wstring header_;
    std::wstring name_;
    uint8_t head_[kBmpHeadSize];  // file header, info header and colour table
    BmpHead info_;
    std::unique_ptr<uint8_t[]> pixels_;
    uint32_t capacity_ = 0;
    uint32_t byteCount_ = 0;
};

[[noreturn]] void CannotCreate(DWORD error) {
    std::wprintf(L"Cannot create nxl file(%d)\n", static_cast<int>(error));
    Fail();
}

// An existing film must be free to be replaced before any image is read:
// a saver or a settings preview that holds it open would otherwise be found
// out only after the whole encoding. Opened for writing and shared with
// nobody, as the film itself is written; a film not there yet is fine, but
// not a folder that is not there (path not found): the film could never be made.
void CheckFilmReplaceable(const std::wstring& filmName) {
    FileHandle film(CreateFileW(filmName.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (film) return;
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND) CannotCreate(error);
}

// The film being written: a work file beside the film, deleted unless
// Commit() moves it over the film. Its name is one no file has yet
// ("<film>.tmp", then "<film>.1.tmp", ...), so a file of the user's that
// happens to bear such a name is never opened, let alone replaced.
class TempFilm {
public:
    explicit TempFilm(const std::wstring& finalName) : finalName_(finalName) {
        constexpr int kNamesTried = 100;
        DWORD error = ERROR_FILE_EXISTS;
        for (int n = 0; n < kNamesTried && !file_; ++n) {
            std::wstring name = finalName + (n == 0 ? L"" : L"." + std::to_wstring(n)) + L".tmp";
            file_ = FileHandle(CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
            if (file_) {
                tempName_ = std::move(name);
                return;
            }
            error = GetLastError();
            if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
        }
        CannotCreate(error);
    }
    ~TempFilm() {
        file_.Close();
        if (!tempName_.empty()) DeleteFileW(tempName_.c_str());
    }
    TempFilm(const TempFilm&) = delete;
    TempFilm& operator=(const TempFilm&) = delete;

    HANDLE get() const { return file_.get(); }

    void Commit() {
        file_.Close();
        if (!MoveFileExW(tempName_.c_str(), finalName_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            CannotCreate(GetLastError());
        tempName_.clear();
    }

private:
    std::wstring finalName_;
    std::wstring tempName_;  // empty when there is no work file of ours to delete
    FileHandle file_;
};

DWORD WriteAt(HANDLE file, const void* bytes, DWORD size, const DWORD* offset) {
    DWORD written = 0;
    OVERLAPPED at = {};
    if (offset) at.Offset = *offset;
    if (size > 0 && !WriteFile(file, bytes, size, &written, offset ? &at : nullptr)) return 0;
    return written;
}

DWORD Append(HANDLE file, const void* bytes, DWORD size) { return WriteAt(file, bytes, size, nullptr); }

// The report of a frame that does not compress: the whole stream, 16 bytes to a line.
void PrintHexDump(const uint8_t* bytes, uint32_t size) {
    static const wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring line;
    for (uint32_t j = 0; j < size; ++j) {
        if (j % 16 == 0) {
            wchar_t address[16];
            swprintf(address, 16, L"%08x :", j);
            line += address;
        }
        line += L' ';
        line += kDigits[bytes[j] >> 4];
        line += kDigits[bytes[j] & 15];
        if (j % 16 == 15) {
            line += L'\n';
            std::fputws(line.c_str(), stdout);
            line.clear();
        }
    }
    std::fputws(line.c_str(), stdout);
}

int Run(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fwprintf(stderr, L"NoxelTol <dir> <header>\n");
        return kExitFailure;
    }
    ImageSequence images(argv[1], argv[2]);
    const std::wstring filmName = CutName(L".\\" + std::wstring(argv[2]) + L".nxl");
    CheckFilmReplaceable(filmName);

    // Pass 1: validate and count. The fingerprints let pass 2 notice an image
    // that was replaced in between.
    std::vector<uint64_t> fingerprints;
    AnimationHeader header = {{'N', 'o', 'X', 'l'}, 0, 0, 0, 8};
    for (;;) {
        FileHandle file = images.Open(header.FrameCount);
        if (!file) break;
        images.Read(std::move(file));
        fingerprints.push_back(images.Fingerprint());
        header.Width = images.info().width;
        header.Height = FilmHeight(images.info().height);
        ++header.FrameCount;
        std::wprintf(L"...Ok\n");
    }
    const uint32_t count = header.FrameCount;
    std::wprintf(L"Total %d files\n", static_cast<int>(count));

    std::vector<OffsetEntry> matrix(count);
    if (count > 0) matrix[0].Offset = kAnimationHeaderSize + kOffsetEntrySize * count;
    const DWORD matrixBytes = kOffsetEntrySize * count;

    TempFilm film(filmName);
    if (Append(film.get(), &header, sizeof header) < sizeof header) {
        std::wprintf(L"Fail to write header\n");
        Fail();
    }
    // A placeholder; only entry 0's Offset is final yet.
    if (Append(film.get(), matrix.data(), matrixBytes) < matrixBytes) {
        std::wprintf(L"Fail to write offset matrix\n");
        Fail();
    }

    // Pass 2: encode and write each frame from the buffer it was read into.
    Rle8Encoder encoder;
    for (uint32_t i = 0; i < count; ++i) {
        FileHandle file = images.Open(i);
        if (!file) {
            DWORD error = GetLastError();
            std::wprintf(L"%ls...Cannot Open In Second Pass(%d)\n", images.name().c_str(), static_cast<int>(error));
            Fail();
        }
        images.Read(std::move(file));
        if (images.Fingerprint() != fingerprints[i]) {
            std::wprintf(L"...Changed Since First Pass\n");
            Fail();
        }
        const BmpHead& info = images.info();
        uint32_t pixelBytes = ArrangeRows(images.pixels(), images.byteCount(), info.width, info.height);
        uint32_t length = encoder.EncodeInPlace(images.pixels(), pixelBytes, info.width);
        if (length > pixelBytes) {
            std::wprintf(L"RLE8 Error %d, %d\n", static_cast<int>(length), static_cast<int>(pixelBytes));
            PrintHexDump(encoder.stream(), length);
            Fail();
        }
        std::wprintf(L"...RLE8(%d)...", static_cast<int>(length));

        OffsetEntry& entry = matrix[i];
        if (i > 0) entry.Offset = matrix[i - 1].Offset + matrix[i - 1].Size;
        // Offsets are 32-bit: a film must end below 4 GiB.
        if (entry.Offset + static_cast<uint64_t>(length) > 0xFFFFFFFFull) {
            std::wprintf(L"...Too Large For nxl File\n");
            Fail();
        }
        entry.Size = length;
        DWORD written = Append(film.get(), images.pixels(), length);
        if (written < length) {
            std::wprintf(L"...datawriteerror(%d/%d)\n", static_cast<int>(written), static_cast<int>(length));
            Fail();
        }
        std::wprintf(L"...done(%d:%d)\n", static_cast<int>(entry.Offset), static_cast<int>(entry.Size));
    }

    const DWORD matrixOffset = kAnimationHeaderSize;
    if (WriteAt(film.get(), matrix.data(), matrixBytes, &matrixOffset) < matrixBytes) {
        std::wprintf(L"Fail to write offset matrix\n");
        Fail();
    }
    film.Commit();
    return kExitSuccess;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // File names reach the console in the user's code page.
    std::setlocale(LC_CTYPE, "");
    try {
        return Run(argc, argv);
    } catch (const ToolFailure& failure) {
        return failure.code;
    } catch (const std::bad_alloc&) {
        std::fwprintf(stderr, L"Not Enough Memory\n");
        return kExitNoMemory;
    }
}
