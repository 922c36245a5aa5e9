// Relative film, music and background names that the current folder does
// not hold are found beside the screen saver: the plain function, and a
// copy of noxel.scr started from another folder, as Windows starts an
// installed screen saver in its system folder.
#include <gtest/gtest.h>

#include <string>

#include "common/AudioSink.h"
#include "common/TestSupport.h"
#include "common/WavBuilder.h"
#include "saver/SaverHarness.h"
#include "shell/filelocation.h"
#include "shell/settings.h"

namespace {

using namespace saver_tests;
using testing_support::CurrentFolder;
using testing_support::ScratchDir;
using testing_support::WaitUntil;

// A folder inside a scratch folder, removed with its files before the
// scratch folder goes (which removes files only).
class SubFolder {
public:
    explicit SubFolder(const std::wstring& path) : path_(path) { CreateDirectoryW(path_.c_str(), nullptr); }
    ~SubFolder() {
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW((path_ + L"\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                DeleteFileW((path_ + L"\\" + found.cFileName).c_str());
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        RemoveDirectoryW(path_.c_str());
    }
    SubFolder(const SubFolder&) = delete;
    SubFolder& operator=(const SubFolder&) = delete;
    std::wstring File(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

bool Touch(const std::wstring& path) { return testing_support::WriteFileBytes(path, {1, 2, 3}); }

class FileLocation : public ::testing::Test {
protected:
    ScratchDir here_;
    ScratchDir program_;
    std::wstring folder_ = program_.path() + L"\\";
    CurrentFolder current_{here_.path()};
};

TEST_F(FileLocation, ARelativeNameMissingHereIsTakenFromBesideTheProgram) {
    SubFolder sub(program_.File(L"sub"));
    ASSERT_TRUE(Touch(here_.File(L"both.nxl")));
    ASSERT_TRUE(Touch(program_.File(L"both.nxl")));
    ASSERT_TRUE(Touch(program_.File(L"beside.wav")));
    ASSERT_TRUE(Touch(sub.File(L"film.nxl")));

    EXPECT_EQ(L"both.nxl", LocateFileIn(L"both.nxl", folder_)) << "the current folder comes first";
    EXPECT_EQ(folder_ + L"beside.wav", LocateFileIn(L"beside.wav", folder_));
    EXPECT_EQ(folder_ + L"sub\\film.nxl", LocateFileIn(L"sub\\film.nxl", folder_));
    EXPECT_EQ(L"missing.nxl", LocateFileIn(L"missing.nxl", folder_)) << "found nowhere: left as it is";
    EXPECT_EQ(L"sub", LocateFileIn(L"sub", folder_)) << "a folder is no file";
    EXPECT_EQ(L"", LocateFileIn(L"", folder_)) << "no background stays no background";
}

TEST_F(FileLocation, PathsWithADriveOrARootAreUsedAsTheyStand) {
    ASSERT_TRUE(Touch(program_.File(L"rooted.nxl")));
    for (const wchar_t* path : {L"\\rooted.nxl", L"/rooted.nxl", L"\\\\server\\share\\rooted.nxl", L"C:rooted.nxl",
                                L"Z:\\nowhere\\rooted.nxl"}) {
        EXPECT_EQ(path, LocateFileIn(path, folder_));
    }
}

TEST_F(FileLocation, AJoinedPathThatWouldNotFitIsNeverCut) {
    // A file whose full name fills a path buffer, and a stored name that
    // begins with it: cut to the buffer, the joined path would name it.
    const size_t room = kPathChars - 1 - folder_.size();
    ASSERT_LT(room, 250u);
    const std::wstring name(room, L'f');
    ASSERT_TRUE(Touch(folder_ + name));
    const std::wstring longer = name + L".nxl";
    EXPECT_EQ(longer, LocateFileIn(longer.c_str(), folder_));
}

// A copy of noxel.scr in an install folder of its own, started in another
// folder with no settings stored.
class BesideProgram : public ::testing::Test {
protected:
    void SetUp() override {
        const std::wstring built = testing_support::WinePath(testing_support::Env("NOXEL_BIN")) + L"\\noxel.scr";
        ASSERT_TRUE(CopyFileW(built.c_str(), program_.c_str(), FALSE));
    }

    SettingsScope settings_;
    ScratchDir install_;
    ScratchDir system_;
    std::wstring program_ = install_.File(L"noxel.scr");
};

TEST_F(BesideProgram, WithNothingStoredTheDemoFilmAndMusicBesideItPlay) {
    ASSERT_TRUE(WriteCountingFilm(install_.File(L"Veilwick.nxl"), 30));
    testing_support::WavLayout wav;
    wav.samples = testing_support::SquareWave(wav, 2.0, 0.0);
    ASSERT_TRUE(testing_support::WriteFileBytes(install_.File(L"Veilwick.wav"), testing_support::BuildWav(wav)));
    testing_support::AudioSink sink;
    const uint64_t mark = sink.Mark();

    SaverProcess saver(L"/s", program_, system_.path());
    StartFullScreen(saver);
    if (HasFatalFailure()) return;
    if (sink.configured()) {
        EXPECT_TRUE(WaitUntil([&] { return testing_support::SoundingBytes(sink.Since(mark)) > 4096; }, 5000))
            << "the music beside the program does not play";
    }
    EndWithKey(saver);
}

TEST_F(BesideProgram, TheCurrentFolderStillComesFirst) {
    // Beside the program lies a file of the same name that is no film: chosen,
    // it would end the screen saver at once.
    ASSERT_TRUE(testing_support::WriteFileBytes(install_.File(L"Veilwick.nxl"), std::vector<uint8_t>(64, 0x55)));
    ASSERT_TRUE(WriteCountingFilm(system_.File(L"Veilwick.nxl"), 30));
    settings_.Number(L"BGM", 0);

    SaverProcess saver(L"/s", program_, system_.path());
    StartFullScreen(saver);
    if (HasFatalFailure()) return;
    EndWithKey(saver);
}

}  // namespace
