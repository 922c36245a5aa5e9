// Child-process runner and pipe images for the encoder tool's tests.
#include "ToolRunner.h"

#include "common/ChildProcess.h"
#include "common/TestSupport.h"

#include <map>
#include <thread>

namespace tool_test {

namespace {

std::wstring Quote(const std::wstring& argument) { return L"\"" + argument + L"\""; }

void Drain(HANDLE pipe, std::string* into) {
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) into->append(buffer, got);
}

}  // namespace

ToolRun RunTool(const std::vector<std::wstring>& arguments, const std::wstring& workDir, DWORD timeoutMs) {
    ToolRun run;
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE outRead, outWrite, errRead, errWrite;
    if (!CreatePipe(&outRead, &outWrite, &inherit, 0)) return run;
    if (!CreatePipe(&errRead, &errWrite, &inherit, 0)) {
        CloseHandle(outRead);
        CloseHandle(outWrite);
        return run;
    }
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);

    std::wstring line;
    for (const auto& argument : arguments) line += Quote(argument) + L" ";

    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    const std::wstring program = testing_support::WinePath(testing_support::Env("NOXEL_BIN")) + L"\\NoxelTool.exe";
    testing_support::ChildProcess child(program, line, workDir, &startup);
    // Only the child may hold the write ends, or the reads never see the end.
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    if (child.started()) {
        std::thread outReader(Drain, outRead, &run.out);
        std::thread errReader(Drain, errRead, &run.err);
        if (!child.WaitExit(timeoutMs)) {
            TerminateProcess(child.handle(), STILL_ACTIVE);
            child.WaitExit(INFINITE);
        }
        run.exitCode = child.ExitCode();
        outReader.join();
        errReader.join();
    }
    CloseHandle(outRead);
    CloseHandle(errRead);
    return run;
}

struct PipeImages::Instance {
    std::wstring name;
    std::vector<uint8_t> content;
    HANDLE pipe = INVALID_HANDLE_VALUE;
    HANDLE event = nullptr;
    OVERLAPPED overlapped = {};
    bool open = true;

    ~Instance() {
        if (pipe != INVALID_HANDLE_VALUE) CloseHandle(pipe);
        if (event) CloseHandle(event);
    }
};

PipeImages::PipeImages() : stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

PipeImages::~PipeImages() {
    SetEvent(stop_);
    if (thread_.joinable()) thread_.join();
    instances_.clear();
    CloseHandle(stop_);
}

bool PipeImages::Add(const std::wstring& name, const std::vector<std::vector<uint8_t>>& contentPerOpen) {
    for (const auto& content : contentPerOpen) {
        auto instance = std::make_unique<Instance>();
        instance->name = name;
        instance->content = content;
        instance->pipe = CreateNamedPipeW((Folder() + L"\\" + name).c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED,
                                          PIPE_TYPE_BYTE | PIPE_WAIT, static_cast<DWORD>(contentPerOpen.size()),
                                          65536, 65536, 0, nullptr);
        if (instance->pipe == INVALID_HANDLE_VALUE) return false;
        instance->event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        instance->overlapped.hEvent = instance->event;
        if (!ConnectNamedPipe(instance->pipe, &instance->overlapped)) {
            DWORD error = GetLastError();
            if (error == ERROR_PIPE_CONNECTED) SetEvent(instance->event);
            else if (error != ERROR_IO_PENDING) return false;
        }
        instances_.push_back(std::move(instance));
    }
    return true;
}

void PipeImages::Start() {
    thread_ = std::thread(&PipeImages::Serve, this);
}

void PipeImages::Serve() {
    // Waits for an operation on `instance`, giving up when the test ends.
    auto finish = [this](Instance& instance, DWORD* transferred) {
        HANDLE handles[2] = {instance.event, stop_};
        if (WaitForMultipleObjects(2, handles, FALSE, INFINITE) != WAIT_OBJECT_0) return false;
        return GetOverlappedResult(instance.pipe, &instance.overlapped, transferred, FALSE) != FALSE;
    };
    std::map<std::wstring, size_t> opened;
    for (;;) {
        std::vector<HANDLE> waits = {stop_};
        std::vector<Instance*> waiting;
        for (auto& instance : instances_) {
            if (!instance->open) continue;
            waits.push_back(instance->event);
            waiting.push_back(instance.get());
        }
        if (waiting.empty()) return;
        DWORD which = WaitForMultipleObjects(static_cast<DWORD>(waits.size()), waits.data(), FALSE, INFINITE);
        if (which == WAIT_OBJECT_0 || which >= WAIT_OBJECT_0 + waits.size()) return;
        Instance& connected = *waiting[which - WAIT_OBJECT_0 - 1];
        // Whichever instance the reader reached, the n-th open gets the n-th content.
        size_t nth = opened[connected.name]++;
        Instance* source = nullptr;
        for (auto& instance : instances_)
            if (instance->name == connected.name && nth-- == 0) source = instance.get();

        DWORD transferred = 0;
        ResetEvent(connected.event);
        if (WriteFile(connected.pipe, source->content.data(), static_cast<DWORD>(source->content.size()), nullptr,
                      &connected.overlapped) ||
            GetLastError() == ERROR_IO_PENDING)
            finish(connected, &transferred);
        // A read that ends only when the reader closes its end.
        char unused;
        ResetEvent(connected.event);
        if (ReadFile(connected.pipe, &unused, 1, nullptr, &connected.overlapped) || GetLastError() == ERROR_IO_PENDING)
            finish(connected, &transferred);
        CloseHandle(connected.pipe);
        connected.pipe = INVALID_HANDLE_VALUE;
        connected.open = false;
    }
}

}  // namespace tool_test
