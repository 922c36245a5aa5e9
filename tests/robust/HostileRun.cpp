#include "robust/HostileRun.h"

#include <cstdio>

#include "common/TestSupport.h"
#include "saver/SaverHarness.h"

namespace robust_tests {

namespace {

constexpr DWORD kCloseWaitMs = 10000;
constexpr DWORD kAnswerWaitMs = 10000;
// Until the window shows or the process ends: a busy machine starts it slowly.
constexpr DWORD kWindowWaitMs = 20000;
// Longer than this between two messages is a tick too slow for a user's key press.
constexpr DWORD kSlowAnswerMs = 1000;

}  // namespace

std::string RunResult::Describe() const {
    char text[64];
    switch (kind) {
    case Ended: std::snprintf(text, sizeof text, "ended by itself with %lu (0x%lx)", code, code); break;
    case Played:
        std::snprintf(text, sizeof text, "played%s, closed with %lu (0x%lx)",
                      answerMs > kSlowAnswerMs ? " (slow to answer)" : "", code, code);
        break;
    case Hung: std::snprintf(text, sizeof text, "hung or crashed (%s)", stage); break;
    }
    return text;
}

RunResult RunSaverOnce(DWORD settleMs) {
    RunResult result;
    result.stage = "start";
    saver_tests::SaverProcess saver(L"/s");
    if (!saver.started()) return result;
    if (saver.WaitExit(settleMs)) {
        result.kind = RunResult::Ended;
        result.code = saver.ExitCode();
        return result;
    }
    // Still running: it must be playing, with a window that answers. Only
    // one full-screen run exists at a time, so the class finds it.
    HWND window = saver.WaitForFullScreenWindow(kWindowWaitMs);
    result.stage = window ? "answer" : "window";
    DWORD_PTR answer = 0;
    const DWORD asked = GetTickCount();
    if (window && SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kAnswerWaitMs, &answer)) {
        result.answerMs = GetTickCount() - asked;
        result.stage = "close";
        PostMessageW(window, WM_KEYDOWN, VK_SPACE, 0);
        if (saver.WaitExit(kCloseWaitMs)) {
            result.kind = RunResult::Played;
            result.code = saver.ExitCode();
            return result;
        }
    } else if (saver.WaitExit(window && !IsWindow(window) ? kCloseWaitMs : 0)) {
        // Ended while we looked for its window, or destroyed it while we
        // waited for its answer and takes a moment more to end: late, but by
        // itself. A window still there that does not answer is hung.
        result.kind = RunResult::Ended;
        result.code = saver.ExitCode();
        return result;
    }
    return result;  // the harness kills it
}

bool IsDefinedFilmOutcome(const RunResult& result) {
    // A slow engine may reach the damaged frame only after the key press was sent.
    return result.kind != RunResult::Hung && (result.code == 0 || result.code == ERROR_HANDLE_EOF);
}

bool Played(const RunResult& result) { return result.kind == RunResult::Played && result.code == 0; }

Tally::~Tally() {
    int runs = 0;
    for (const auto& outcome : outcomes_) runs += outcome.second;
    std::printf("[ sweep    ] %s: %d runs:", what_, runs);
    for (const auto& outcome : outcomes_) std::printf(" %d %s;", outcome.second, outcome.first.c_str());
    std::printf("\n");
}

bool FullSweep() { return testing_support::Env("NOXEL_ROBUST_FULL") == "1"; }

std::vector<size_t> Positions(size_t count, const std::vector<size_t>& sample) {
    std::vector<size_t> out;
    if (FullSweep()) {
        for (size_t i = 0; i < count; ++i) out.push_back(i);
        return out;
    }
    for (size_t i : sample)
        if (i < count) out.push_back(i);
    return out;
}

}  // namespace robust_tests
