// Runs NoxelTool.exe as a child process for the tests, with its standard
// output and error captured through pipes, and serves test images through
// named pipes so that an image can change or vanish between the two passes
// at a point the test decides.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace tool_test {

struct ToolRun {
    DWORD exitCode = STILL_ACTIVE;  // STILL_ACTIVE: killed after the time-out
    std::string out;                // bytes as written, CR LF line ends
    std::string err;
};

// Runs NoxelTool.exe of the test run with `arguments` (each quoted) in the
// folder `workDir`.
ToolRun RunTool(const std::vector<std::wstring>& arguments, const std::wstring& workDir, DWORD timeoutMs = 60000);

// A film of no frames, put where a run's film goes to show what a failed run keeps.
inline const std::vector<uint8_t> kEarlierFilm = {'N', 'o', 'X', 'l', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 8, 0, 0, 0};

// Pipe images: each image is a named pipe \\.\pipe\<name>, with one pipe
// instance per time the image may be opened; the n-th open gets the n-th
// content. An instance is closed as soon as its reader closes it, so an
// image offered once is gone for a second open.
class PipeImages {
public:
    PipeImages();
    ~PipeImages();
    PipeImages(const PipeImages&) = delete;
    PipeImages& operator=(const PipeImages&) = delete;

    // Must all be called before Start().
    bool Add(const std::wstring& name, const std::vector<std::vector<uint8_t>>& contentPerOpen);
    void Start();

    static std::wstring Folder() { return L"\\\\.\\pipe"; }

private:
    struct Instance;
    void Serve();

    std::vector<std::unique_ptr<Instance>> instances_;
    HANDLE stop_;
    std::thread thread_;
};

}  // namespace tool_test
