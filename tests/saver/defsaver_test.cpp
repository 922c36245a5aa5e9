// DefSaverProc's dismissal table, called on a plain window of this process:
// which messages close the screen saver (a WM_CLOSE waits in the queue) and
// what they answer; and the system commands and titles the host's window
// swallows.
#include <gtest/gtest.h>

#include <vector>

#include "saver/SaverHarness.h"
#include "shell/host.h"

namespace {

class Dismissal : public ::testing::Test {
protected:
    bool CloseQueued() {
        MSG msg;
        return PeekMessageW(&msg, window_.hwnd(), WM_CLOSE, WM_CLOSE, PM_REMOVE) != 0;
    }
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
        return DefSaverProc(window_.hwnd(), message, wParam, lParam);
    }
    void MoveCursorTo(int x, int y) {
        SetCursorPos(x, y);
        window_.Pump();
        Send(WM_MOUSEMOVE);
    }

    saver_tests::MessageWindow window_;
};

TEST_F(Dismissal, KeysButtonsLostActivationAndPowerEventsClose) {
    const struct {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        bool closes;
    } rows[] = {
        {WM_KEYDOWN, 0, 0, true}, {WM_SYSKEYDOWN, 0, 0, true}, {WM_KEYUP, 0, 0, false},
        {WM_LBUTTONDOWN, 0, 0, true}, {WM_RBUTTONDOWN, 0, 0, true}, {WM_MBUTTONDOWN, 0, 0, true},
        {WM_LBUTTONUP, 0, 0, false}, {WM_ACTIVATEAPP, TRUE, 0, false}, {WM_ACTIVATEAPP, FALSE, 0, true},
        {WM_POWERBROADCAST, 4, 0, true},   // the suspend itself
        {WM_POWERBROADCAST, 7, 1, false},  // resumed after a failed suspend
        {WM_POWERBROADCAST, 10, 0, false}, {WM_POWER, 3, 0, true}, {WM_POWER, 1, 0, false},
    };
    for (const auto& row : rows) {
        Send(row.message, row.wParam, row.lParam);
        EXPECT_EQ(row.closes, CloseQueued()) << "message " << row.message << " " << row.wParam;
    }
    EXPECT_EQ(1, Send(WM_POWERBROADCAST, 0)) << "a query to suspend is allowed";
    EXPECT_FALSE(CloseQueued());
}

TEST_F(Dismissal, CursorStaysHidden) {
    EXPECT_EQ(TRUE, Send(WM_SETCURSOR, reinterpret_cast<WPARAM>(window_.hwnd()), HTCLIENT));
    EXPECT_EQ(nullptr, GetCursor());
}

TEST_F(Dismissal, SmallMovementsAddUpPastFourPixels) {
    MoveCursorTo(300, 300);  // sets the reference, whatever it was
    CloseQueued();
    MoveCursorTo(302, 300);
    MoveCursorTo(303, 301);
    EXPECT_FALSE(CloseQueued()) << "3 right and 1 down is within the threshold";
    MoveCursorTo(302, 301);
    EXPECT_FALSE(CloseQueued()) << "measured from where the reference was taken";
    MoveCursorTo(304, 301);
    EXPECT_TRUE(CloseQueued()) << "one more pixel closes";
    MoveCursorTo(306, 303);
    EXPECT_FALSE(CloseQueued()) << "the closing position is the new reference";
}

std::vector<WPARAM> g_carriedOut;

// DefWindowProc tells a CBT hook of every system command it is about to
// carry out; the hook records it and stops it.
LRESULT CALLBACK RecordSystemCommands(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_SYSCOMMAND) {
        g_carriedOut.push_back(wParam);
        return 1;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The full-screen window keeps the system from starting a screen saver
// again or switching to another window: those commands never reach
// DefWindowProc, while others still do; nor does a new title.
TEST_F(Dismissal, ScreenSaveWindowSwitchAndTitleChangeAreSwallowed) {
    g_carriedOut.clear();
    HHOOK hook = SetWindowsHookExW(WH_CBT, RecordSystemCommands, nullptr, GetCurrentThreadId());
    ASSERT_NE(nullptr, hook);
    for (WPARAM command : {SC_SCREENSAVE, SC_NEXTWINDOW, SC_PREVWINDOW})
        HostWindowProc(window_.hwnd(), WM_SYSCOMMAND, command, 0);
    HostWindowProc(window_.hwnd(), WM_SYSCOMMAND, SC_MONITORPOWER, 2);
    UnhookWindowsHookEx(hook);
    EXPECT_EQ(std::vector<WPARAM>{SC_MONITORPOWER}, g_carriedOut);
    EXPECT_TRUE(CloseQueued()) << "the monitor going off closes the screen saver";
    EXPECT_EQ(0, HostWindowProc(window_.hwnd(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"other")));
    EXPECT_EQ(0, GetWindowTextLengthW(window_.hwnd())) << "the title never changes";
}

}  // namespace
