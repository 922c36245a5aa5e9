#include "DialogDriver.h"

#include <commctrl.h>

#include "common/TestSupport.h"
#include "resources/resource.h"
#include "shell/configdialog.h"

namespace dialog_tests {

const wchar_t kDialogCaption[] = L"ノクセルスクリーンセーバー設定";

bool Eventually(const std::function<bool()>& done, DWORD timeoutMs) {
    // A dialog owned by a window of this thread sends it messages when it
    // disables, enables and activates it.
    return testing_support::WaitUntil([&] {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        return done();
    }, timeoutMs);
}

std::wstring DialogControls::Text(int id) const {
    wchar_t text[1024] = {};
    SendMessageW(Item(id), WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
    return text;
}

void DialogControls::SetText(int id, const std::wstring& text) const {
    SendMessageW(Item(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void DialogControls::Click(int id) const {
    SendMessageW(Item(id), BM_CLICK, 0, 0);
}

void DialogControls::ClickLater(int id) const {
    PostMessageW(Item(id), BM_CLICK, 0, 0);
}

bool DialogControls::Checked(int id) const {
    return SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

std::vector<std::wstring> DialogControls::ListItems(int id) const {
    std::vector<std::wstring> items;
    const LRESULT count = SendMessageW(Item(id), CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        wchar_t text[512] = {};
        SendMessageW(Item(id), CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        items.push_back(text);
    }
    return items;
}

int DialogControls::Selection(int id) const {
    return static_cast<int>(SendMessageW(Item(id), CB_GETCURSEL, 0, 0));
}

void DialogControls::Select(int id, int index) const {
    SendMessageW(Item(id), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    Notify(id, CBN_SELCHANGE);
}

void DialogControls::Notify(int id, int code) const {
    SendMessageW(dialog_, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(Item(id)));
}

int DialogControls::SliderPosition() const {
    return static_cast<int>(SendMessageW(Item(IDC_VOLUME), TBM_GETPOS, 0, 0));
}

void DialogControls::MoveSlider(int position) const {
    SendMessageW(Item(IDC_VOLUME), TBM_SETPOS, TRUE, position);
    SendMessageW(dialog_, WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, position),
                 reinterpret_cast<LPARAM>(Item(IDC_VOLUME)));
}

RECT DialogControls::PreviewOnScreen() const {
    RECT r = {};
    GetClientRect(Item(IDC_PREVIEW), &r);
    MapWindowPoints(Item(IDC_PREVIEW), nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

COLORREF DialogControls::PreviewPixel(int quarters) const {
    const RECT r = PreviewOnScreen();
    HDC screen = GetDC(nullptr);
    const COLORREF colour = GetPixel(screen, r.left + (r.right - r.left) * quarters / 4, (r.top + r.bottom) / 2);
    ReleaseDC(nullptr, screen);
    return colour;
}

namespace {

struct WindowSearch {
    std::wstring caption;
    DWORD processId;
    HWND found;
};

BOOL CALLBACK MatchCaption(HWND window, LPARAM search) {
    auto* s = reinterpret_cast<WindowSearch*>(search);
    if (s->processId) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        if (pid != s->processId || !IsWindowVisible(window)) return TRUE;
    }
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    if (s->caption != text) return TRUE;
    s->found = window;
    return FALSE;
}

// A visible top-level window of a process whose caption is `caption`, or null.
HWND FindProcessWindow(DWORD processId, const std::wstring& caption) {
    WindowSearch search = {caption, processId, nullptr};
    EnumWindows(MatchCaption, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

InProcessDialog::InProcessDialog(const wchar_t* caption) {
    thread_ = CreateThread(nullptr, 0, Run, this, 0, &threadId_);
    HWND found = nullptr;
    Eventually([&] {
        found = FindThreadWindow(threadId_, caption);
        return (found && IsWindowVisible(found)) || !running();
    });
    if (found && IsWindowVisible(found)) dialog_ = found;
}

InProcessDialog::~InProcessDialog() {
    if (running()) {
        if (dialog_) PostMessageW(dialog_, WM_COMMAND, IDCANCEL, 0);
        Wait();
    }
    if (thread_) CloseHandle(thread_);
}

bool InProcessDialog::running() const {
    return thread_ && WaitForSingleObject(thread_, 0) == WAIT_TIMEOUT;
}

INT_PTR InProcessDialog::Wait(DWORD timeoutMs) {
    if (!thread_ || WaitForSingleObject(thread_, timeoutMs) != WAIT_OBJECT_0) return -100;
    return result_;
}

DWORD WINAPI InProcessDialog::Run(void* self) {
    // As the host does it: the class first, then the modal dialog.
    HINSTANCE instance = GetModuleHandleW(nullptr);
    if (RegisterPreviewClass(instance)) {
        static_cast<InProcessDialog*>(self)->result_ =
            DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_CONFIG), nullptr, ConfigDialogProc, 0);
    }
    return 0;
}

ScrDialog::ScrDialog(const std::wstring& arguments)
    : ScrDialog(arguments, testing_support::WinePath(testing_support::Env("NOXEL_BIN") + "/noxel.scr"), L"") {}

ScrDialog::ScrDialog(const std::wstring& arguments, const std::wstring& program, const std::wstring& currentFolder)
    : process_(program, arguments, currentFolder) {
    if (!process_.started()) return;
    HWND found = nullptr;
    Eventually([&] {
        found = FindProcessWindow(process_.id(), kDialogCaption);
        return found != nullptr || !process_.Running();
    });
    dialog_ = found;
}

ScrDialog::~ScrDialog() {
    // Cancelled as a user would; the process is ended if that does not end it.
    if (process_.Running() && dialog_) {
        PostMessageW(dialog_, WM_COMMAND, IDCANCEL, 0);
        ExitCode();
    }
}

DWORD ScrDialog::ExitCode(DWORD timeoutMs) {
    Eventually([&] { return !process_.Running(); }, timeoutMs);
    return process_.ExitCode();
}

HWND FindThreadWindow(DWORD threadId, const std::wstring& caption) {
    WindowSearch search = {caption, 0, nullptr};
    EnumThreadWindows(threadId, MatchCaption, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace dialog_tests
