// Drives the configuration dialog from outside its thread (or its process)
// with the window messages a user's actions would cause, and reads its
// controls and on-screen pixels back.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "common/ChildProcess.h"

namespace dialog_tests {

// The dialog's caption, by which the drivers find it.
extern const wchar_t kDialogCaption[];

// How long the tests wait for the dialog to show a change.
constexpr DWORD kWaitMs = 5000;

// Polls `done` until it holds or `timeoutMs` have passed, handling the
// messages sent to this thread meanwhile.
bool Eventually(const std::function<bool()>& done, DWORD timeoutMs = kWaitMs);

class DialogControls {
public:
    HWND dialog() const { return dialog_; }
    HWND Item(int id) const { return GetDlgItem(dialog_, id); }

    std::wstring Text(int id) const;
    void SetText(int id, const std::wstring& text) const;
    // A button pressed as by the mouse; returns when the press is handled.
    void Click(int id) const;
    // The same press, queued: for buttons whose command does not return at
    // once (a file chooser).
    void ClickLater(int id) const;
    bool Checked(int id) const;

    std::vector<std::wstring> ListItems(int id) const;
    int Selection(int id) const;
    // Selects entry `index` (-1: none) and tells the dialog, as a user's choice does.
    void Select(int id, int index) const;
    // Sends a combo box notification other than a selection change.
    void Notify(int id, int code) const;

    int SliderPosition() const;
    // Moves the volume slider as a drag would: new position, then WM_HSCROLL.
    void MoveSlider(int position) const;

    // The preview control's client area, in screen coordinates.
    RECT PreviewOnScreen() const;
    // The colour on screen halfway down the preview control, `quarters`
    // quarters of its width from its left edge.
    COLORREF PreviewPixel(int quarters) const;

protected:
    HWND dialog_ = nullptr;
};

// The dialog run with DialogBoxParamW on a thread of this process.
class InProcessDialog : public DialogControls {
public:
    // Waits for a dialog of this caption: the language's own.
    explicit InProcessDialog(const wchar_t* caption = kDialogCaption);
    ~InProcessDialog();
    InProcessDialog(const InProcessDialog&) = delete;
    InProcessDialog& operator=(const InProcessDialog&) = delete;

    bool shown() const { return dialog_ != nullptr; }
    bool running() const;
    DWORD threadId() const { return threadId_; }
    // The dialog's result once it has ended, or -100 after `timeoutMs`.
    INT_PTR Wait(DWORD timeoutMs = 10000);

private:
    static DWORD WINAPI Run(void* self);

    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
    INT_PTR result_ = -100;
};

// noxel.scr started in configuration mode (with `arguments`, for example
// L"/c"), as the display control panel starts it.
class ScrDialog : public DialogControls {
public:
    explicit ScrDialog(const std::wstring& arguments);
    // `program` (a copy of noxel.scr) started in `currentFolder`.
    ScrDialog(const std::wstring& arguments, const std::wstring& program, const std::wstring& currentFolder);
    ~ScrDialog();
    ScrDialog(const ScrDialog&) = delete;
    ScrDialog& operator=(const ScrDialog&) = delete;

    bool started() const { return process_.started(); }
    bool shown() const { return dialog_ != nullptr; }
    // The process's exit code once it has ended, or STILL_ACTIVE after `timeoutMs`.
    DWORD ExitCode(DWORD timeoutMs = 10000);

private:
    testing_support::ChildProcess process_;
};

// A top-level window of a thread whose caption is `caption`, or null.
HWND FindThreadWindow(DWORD threadId, const std::wstring& caption);

}  // namespace dialog_tests
