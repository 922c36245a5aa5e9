// DefSaverProc's dismissal table, called on a plain window of this process:
// which messages close the screen saver (a WM_CLOSE waits in the queue) and
// what they answer; and the system commands the host's window swallows.
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

TEST_F(Dismissal, KeysAndButtonsClose) {
    for (UINT message : {WM_KEYDOWN, WM_SYSKEYDOWN, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN}) {
        Send(message);
        EXPECT_TRUE(CloseQueued()) << message;
    }
    Send(WM_KEYUP);
    Send(WM_LBUTTONUP);
    EXPECT_FALSE(CloseQueued());
}

TEST_F(Dismissal, LosingActivationCloses) {
    Send(WM_ACTIVATEAPP, TRUE);
    EXPECT_FALSE(CloseQueued());
    Send(WM_ACTIVATEAPP, FALSE);
    EXPECT_TRUE(CloseQueued());
}

TEST_F(Dismissal, PowerEvents) {
    EXPECT_EQ(1, Send(WM_POWERBROADCAST, 0)) << "a query to suspend is allowed";
    EXPECT_FALSE(CloseQueued());
    Send(WM_POWERBROADCAST, 4);  // the suspend itself
    EXPECT_TRUE(CloseQueued());
    Send(WM_POWERBROADCAST, 7, 1);  // resumed after a failed suspend
    EXPECT_FALSE(CloseQueued());
    Send(WM_POWERBROADCAST, 10);
    EXPECT_FALSE(CloseQueued());
    Send(WM_POWER, 3);  // critical resume
    EXPECT_TRUE(CloseQueued());
    Send(WM_POWER, 1);
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
// DefWindowProc, while others still do.
TEST_F(Dismissal, ScreenSaveAndWindowSwitchCommandsAreSwallowed) {
    g_carriedOut.clear();
    HHOOK hook = SetWindowsHookExW(WH_CBT, RecordSystemCommands, nullptr, GetCurrentThreadId());
    ASSERT_NE(nullptr, hook);
    for (WPARAM command : {SC_SCREENSAVE, SC_NEXTWINDOW, SC_PREVWINDOW})
        HostWindowProc(window_.hwnd(), WM_SYSCOMMAND, command, 0);
    HostWindowProc(window_.hwnd(), WM_SYSCOMMAND, SC_MONITORPOWER, 2);
    UnhookWindowsHookEx(hook);
    EXPECT_EQ(std::vector<WPARAM>{SC_MONITORPOWER}, g_carriedOut);
    EXPECT_TRUE(CloseQueued()) << "the monitor going off closes the screen saver";
}

}  // namespace
