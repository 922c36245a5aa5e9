// The screen-saver host: entry, modes, the screen-saver window and the rules
// that dismiss it. Messages go HostWindowProc -> SaverWindowProc (the
// player) -> DefSaverProc -> DefWindowProcW.
#include "shell/host.h"

#include <commctrl.h>

#include <cstdlib>
#include <exception>

#include "player/player.h"
#include "resources/resource.h"
#include "shell/configdialog.h"

namespace {

constexpr wchar_t kSaverClass[] = L"WindowsScreenSaverClass";
constexpr wchar_t kFullScreenTitle[] = L"Screen Saver";
constexpr wchar_t kPreviewTitle[] = L"Preview";

// The verify-password request sent to the window on the Windows 9x family.
constexpr UINT kVerifyPasswordMessage = WM_APP;
// Quiet time after a refused password before the next check.
constexpr DWORD kPasswordRetryMs = 200;
constexpr DWORD kNoPasswordCheckYet = 0xFFFFFFFF;

// Power broadcast events and flags, by number: the newer names are not in
// the headers of the Windows version the program targets.
constexpr WPARAM kPbtQuerySuspend = 0;
constexpr WPARAM kPbtStandby = 5;
constexpr WPARAM kPbtResumeCritical = 6;
constexpr WPARAM kPbtResumeStandby = 8;
constexpr WPARAM kPbtPowerStatusChange = 10;
constexpr WPARAM kPbtResumeAutomatic = 18;
constexpr WPARAM kPbtPowerSettingChange = 0x8013;
constexpr LPARAM kPbtfResumeFromFailure = 1;
constexpr WPARAM kPwrCriticalResume = 3;

using VerifyPasswordFn = BOOL(WINAPI*)(HWND);
using ChangePasswordFn = DWORD(WINAPI*)(LPCWSTR, HWND, DWORD, DWORD);
using AssociateContextFn = HIMC(WINAPI*)(HWND, HIMC);
using HeapSetInformationFn = BOOL(WINAPI*)(HANDLE, int, PVOID, SIZE_T);

struct HostState {
    HINSTANCE instance = nullptr;
    HWND mainWindow = nullptr;
    bool childPreview = false;
    bool closing = false;
    bool checkingPassword = false;
    HMODULE passwordLibrary = nullptr;
    VerifyPasswordFn verifier = nullptr;
    HMODULE imeModule = nullptr;
    AssociateContextFn associateContext = nullptr;
    HIMC previousContext = nullptr;
    bool win9x = false;
    POINT lastMouse = {0, 0};
    DWORD lastPasswordCheck = kNoPasswordCheckYet;
};

HostState g_host;

const wchar_t* SkipSpaces(const wchar_t* p) {
    while (*p == L' ') p = CharNextW(p);
    return p;
}

HWND HandleFromValue(uint32_t value) {
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(value));
}

void PostClose(HWND window) { PostMessageW(window, WM_CLOSE, 0, 0); }

void HideCursor() { SetCursor(nullptr); }

void SetSaverRunning(bool running) {
    if (!g_host.win9x) return;
    BOOL previous = FALSE;
    SystemParametersInfoW(SPI_SETSCREENSAVERRUNNING, running ? TRUE : FALSE, &previous, 0);
}

// A crash that escapes every frame, or a C++ exception that cannot unwind
// through the system's window-procedure frames, still leaves the system's
// screen-saver state off and the exit code -1.
LONG WINAPI LastChanceFilter(EXCEPTION_POINTERS*) {
    SetSaverRunning(false);
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(-1));
    return EXCEPTION_EXECUTE_HANDLER;
}

[[noreturn]] void LastChanceTerminate() {
    SetSaverRunning(false);
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(-1));
    std::abort();
}

void EnableHeapTermination() {
    HMODULE kernel = GetModuleHandleW(L"KERNEL32.DLL");
    if (!kernel) return;
    auto heapSetInformation = reinterpret_cast<HeapSetInformationFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "HeapSetInformation")));
    // Class 1 is HeapEnableTerminationOnCorruption; it takes no data.
    if (heapSetInformation) heapSetInformation(nullptr, 1, nullptr, 0);
}

bool IsWin9xFamily() {
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    return GetVersionExW(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

void LoadPasswordSupport() {
    if (!g_host.win9x) return;
    if (g_host.passwordLibrary) {
        FreeLibrary(g_host.passwordLibrary);
        g_host.passwordLibrary = nullptr;
        g_host.verifier = nullptr;
    }
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return;
    DWORD usePassword = 0;
    DWORD size = sizeof(usePassword);
    if (RegQueryValueExW(key, L"ScreenSaveUsePassword", nullptr, nullptr,
                         reinterpret_cast<BYTE*>(&usePassword), &size) == ERROR_SUCCESS &&
        size == sizeof(usePassword) && usePassword != 0) {
        g_host.passwordLibrary = LoadLibraryW(L"PASSWORD.CPL");
        if (g_host.passwordLibrary) {
            g_host.verifier = reinterpret_cast<VerifyPasswordFn>(
                reinterpret_cast<void*>(GetProcAddress(g_host.passwordLibrary, "VerifyScreenSavePwd")));
            if (g_host.verifier) {
                SetSaverRunning(true);
            } else {
                FreeLibrary(g_host.passwordLibrary);
                g_host.passwordLibrary = nullptr;
            }
        }
    }
    RegCloseKey(key);
}

void UnloadPasswordSupport() {
    const bool hadVerifier = g_host.verifier != nullptr;
    if (g_host.passwordLibrary) FreeLibrary(g_host.passwordLibrary);
    g_host.passwordLibrary = nullptr;
    g_host.verifier = nullptr;
    if (hadVerifier) SetSaverRunning(false);
}

void SwitchInputMethodOff(HWND window) {
    // Only when something already loaded IMM32: the host never loads it.
    g_host.imeModule = GetModuleHandleW(L"IMM32.DLL");
    if (!g_host.imeModule) return;
    g_host.associateContext = reinterpret_cast<AssociateContextFn>(
        reinterpret_cast<void*>(GetProcAddress(g_host.imeModule, "ImmAssociateContext")));
    if (g_host.associateContext) g_host.previousContext = g_host.associateContext(window, nullptr);
}

void RestoreInputMethod(HWND window) {
    if (g_host.imeModule && g_host.associateContext && g_host.previousContext)
        g_host.associateContext(window, g_host.previousContext);
}

void OnHostCreate(HWND window) {
    SwitchInputMethodOff(window);
    GetCursorPos(&g_host.lastMouse);
    if (!g_host.childPreview) HideCursor();
}

void OnHostDestroy(HWND window) {
    RestoreInputMethod(window);
    PostQuitMessage(0);
}

// Returns true when the system command is swallowed.
bool OnSystemCommand(HWND window, WPARAM command) {
    if (g_host.childPreview) return false;
    switch (command & 0xFFF0) {
    case SC_NEXTWINDOW:
    case SC_PREVWINDOW:
    case SC_SCREENSAVE:
        return true;
    case SC_MONITORPOWER:
        PostClose(window);
        return false;
    }
    return false;
}

void ForwardHelpToParent(HWND window, UINT message, LPARAM lParam) {
    HWND parent = GetParent(window);
    if (parent && IsWindow(parent)) PostMessageW(parent, message, reinterpret_cast<WPARAM>(parent), lParam);
}

void OnMouseMove(HWND window) {
    POINT now = {};
    GetCursorPos(&now);
    if (MovedPastThreshold(g_host.lastMouse, now)) {
        PostClose(window);
        g_host.lastMouse = now;
    }
}

LRESULT OnPowerBroadcast(HWND window, WPARAM wParam, LPARAM lParam) {
    switch (AnswerPowerBroadcast(wParam, lParam)) {
    case PowerAnswer::AllowSuspend:
        return TRUE;
    case PowerAnswer::Close:
        PostClose(window);
        break;
    case PowerAnswer::Ignore:
        break;
    }
    return DefWindowProcW(window, WM_POWERBROADCAST, wParam, lParam);
}

// The Windows 9x family's rules for WM_CLOSE and the verify request. True
// when the message is answered here, with the answer in `result`.
bool HandlePasswordMessage(HWND window, UINT message, LRESULT* result) {
    if (!g_host.win9x) return false;
    if (message == WM_CLOSE && !CheckPassword(window)) {
        GetCursorPos(&g_host.lastMouse);
        *result = 0;
        return true;
    }
    if (message == kVerifyPasswordMessage) {
        *result = g_host.verifier ? g_host.verifier(window) : TRUE;
        return true;
    }
    return false;
}

int RunMessageLoop() {
    MSG msg = {};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return msg.message == WM_QUIT ? static_cast<int>(msg.wParam) : 0;
}

HWND OwnerOrForeground(uint32_t handle) {
    HWND owner = HandleFromValue(handle);
    return owner && IsWindow(owner) ? owner : GetForegroundWindow();
}

int RunMode(const ModeRequest& request) {
    switch (request.mode) {
    case SaverMode::Configure:
        return static_cast<int>(ShowConfigDialog(nullptr));
    case SaverMode::ConfigureOwned:
        return static_cast<int>(ShowConfigDialog(OwnerOrForeground(request.handle)));
    case SaverMode::FullScreen:
        return RunSaver(nullptr);
    case SaverMode::Preview: {
        HWND parent = HandleFromValue(request.handle);
        if (!parent || !IsWindow(parent)) return -1;
        return RunSaver(parent);
    }
    case SaverMode::ChangePassword:
        if (!g_host.win9x) return -1;
        ChangePassword(OwnerOrForeground(request.handle));
        return 0;
    case SaverMode::Unknown:
        break;
    }
    return -1;
}

}  // namespace

const wchar_t* CommandLineTail(const wchar_t* commandLine) {
    const wchar_t* p = commandLine;
    if (*p == L'"') {
        p = CharNextW(p);
        while (*p && *p != L'"') p = CharNextW(p);
        if (*p == L'"') p = CharNextW(p);
    } else {
        while (*p > L' ') p = CharNextW(p);
    }
    while (*p && *p <= L' ') p = CharNextW(p);
    return p;
}

uint32_t ParseHandle(const wchar_t* text) {
    uint32_t value = 0;
    for (const wchar_t* p = text; *p >= L'0' && *p <= L'9'; ++p)
        value = value * 10u + static_cast<uint32_t>(*p - L'0');
    return value;
}

ModeRequest ParseMode(const wchar_t* tail) {
    for (const wchar_t* p = tail;; p = CharNextW(p)) {
        switch (*p) {
        case L'\0':
            return {SaverMode::Configure, 0};
        case L' ':
        case L'-':
        case L'/':
            continue;
        case L'S':
        case L's':
            return {SaverMode::FullScreen, 0};
        case L'P':
        case L'p':
        case L'L':
        case L'l':
            return {SaverMode::Preview, ParseHandle(SkipSpaces(CharNextW(p)))};
        case L'C':
        case L'c': {
            // Only a colon right after the letter introduces an owner.
            const wchar_t* next = CharNextW(p);
            return {SaverMode::ConfigureOwned, *next == L':' ? ParseHandle(CharNextW(next)) : 0};
        }
        case L'A':
        case L'a':
            return {SaverMode::ChangePassword, ParseHandle(SkipSpaces(CharNextW(p)))};
        default:
            return {SaverMode::Unknown, 0};
        }
    }
}

bool MovedPastThreshold(POINT last, POINT now) {
    const int64_t dx = std::llabs(static_cast<int64_t>(now.x) - last.x);
    const int64_t dy = std::llabs(static_cast<int64_t>(now.y) - last.y);
    return dx + dy > kMouseThreshold;
}

PowerAnswer AnswerPowerBroadcast(WPARAM event, LPARAM flags) {
    if (event == kPbtQuerySuspend) return PowerAnswer::AllowSuspend;
    if (event <= kPbtStandby) return PowerAnswer::Close;
    if ((event >= kPbtResumeCritical && event <= kPbtResumeStandby) || event == kPbtResumeAutomatic)
        return (flags & kPbtfResumeFromFailure) ? PowerAnswer::Ignore : PowerAnswer::Close;
    if (event == kPbtPowerStatusChange || event == kPbtPowerSettingChange) return PowerAnswer::Ignore;
    return PowerAnswer::Close;
}

int RunGuarded(const std::function<int()>& mode) {
    try {
        return mode();
    } catch (...) {
        SetSaverRunning(false);
        return -1;
    }
}

void InstallLastChanceHandlers() {
    SetUnhandledExceptionFilter(LastChanceFilter);
    std::set_terminate(LastChanceTerminate);
}

LRESULT GuardedMessage(WNDPROC procedure, HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    try {
        return procedure(window, message, wParam, lParam);
    } catch (...) {
        std::terminate();
    }
}

int SaverEntry(HINSTANCE instance, const wchar_t* tail) {
    EnableHeapTermination();
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_TAB_CLASSES};
    InitCommonControlsEx(&controls);
    g_host.instance = instance;
    g_host.win9x = IsWin9xFamily();

    InstallLastChanceHandlers();
    const ModeRequest request = ParseMode(tail);
    return RunGuarded([&request] { return RunMode(request); });
}

int RunSaver(HWND parent) {
    WNDCLASSW windowClass = {};
    windowClass.style = CS_OWNDC | CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = HostWindowProc;
    windowClass.hInstance = g_host.instance;
    windowClass.hIcon = LoadIconW(g_host.instance, MAKEINTRESOURCEW(IDI_NOXEL));
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszClassName = kSaverClass;

    RECT area = {};
    DWORD style = 0;
    DWORD exStyle = 0;
    const wchar_t* title = nullptr;
    if (parent) {
        GetClientRect(parent, &area);
        style = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;
        title = kPreviewTitle;
        g_host.childPreview = true;
    } else {
        area.left = GetSystemMetrics(SM_XVIRTUALSCREEN);
        area.top = GetSystemMetrics(SM_YVIRTUALSCREEN);
        area.right = area.left + GetSystemMetrics(SM_CXVIRTUALSCREEN);
        area.bottom = area.top + GetSystemMetrics(SM_CYVIRTUALSCREEN);
        if (area.right == area.left || area.bottom == area.top) {
            HDC screen = GetDC(nullptr);
            GetClipBox(screen, &area);
            ReleaseDC(nullptr, screen);
        }
        style = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
        exStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
        title = kFullScreenTitle;

        HWND running = FindWindowW(kSaverClass, kFullScreenTitle);
        if (running && IsWindow(running)) {
            SetForegroundWindow(running);
            return 0;
        }
        LoadPasswordSupport();
    }

    if (RegisterClassW(&windowClass)) {
        g_host.mainWindow = CreateWindowExW(exStyle, kSaverClass, title, style, area.left, area.top,
                                            area.right - area.left, area.bottom - area.top, parent,
                                            nullptr, g_host.instance, nullptr);
    }
    int quitCode = 0;
    if (g_host.mainWindow) {
        if (!g_host.childPreview) SetForegroundWindow(g_host.mainWindow);
        quitCode = RunMessageLoop();
    }
    UnloadPasswordSupport();
    return quitCode;
}

INT_PTR ShowConfigDialog(HWND owner) {
    if (!RegisterPreviewClass(g_host.instance)) return 0;
    return DialogBoxParamW(g_host.instance, MAKEINTRESOURCEW(IDD_CONFIG), owner, ConfigDialogProc, 0);
}

void ChangePassword(HWND owner) {
    HMODULE mpr = LoadLibraryW(L"MPR.DLL");
    if (!mpr) return;
    auto change = reinterpret_cast<ChangePasswordFn>(
        reinterpret_cast<void*>(GetProcAddress(mpr, "PwdChangePasswordW")));
    if (change) change(L"SCRSAVE", owner, 0, 0);
    FreeLibrary(mpr);
}

bool CheckPassword(HWND window) {
    if (g_host.checkingPassword || g_host.closing) return false;
    if (!g_host.verifier) {
        g_host.closing = true;
        return true;
    }
    if (g_host.lastPasswordCheck != kNoPasswordCheckYet &&
        GetTickCount() - g_host.lastPasswordCheck < kPasswordRetryMs)
        return false;

    g_host.checkingPassword = true;
    // No frame may be drawn over the password dialog.
    MSG pending;
    PeekMessageW(&pending, window, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD);
    PeekMessageW(&pending, window, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD);
    g_host.closing = SendMessageW(window, kVerifyPasswordMessage, 0, 0) != 0;
    g_host.checkingPassword = false;
    if (!g_host.closing) HideCursor();
    g_host.lastPasswordCheck = GetTickCount();
    return g_host.closing;
}

namespace {

LRESULT CALLBACK HandleHostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        OnHostCreate(window);
        break;
    case WM_DESTROY:
        OnHostDestroy(window);
        break;
    case WM_SETTEXT:
        return 0;
    case WM_PAINT:
        if (g_host.closing) return DefWindowProcW(window, message, wParam, lParam);
        if (!g_host.childPreview) HideCursor();
        break;
    case WM_HELP:
    case WM_CONTEXTMENU:
        if (!g_host.childPreview) break;
        ForwardHelpToParent(window, message, lParam);
        return 1;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        if (g_host.closing) return DefWindowProcW(window, message, wParam, lParam);
        break;
    case WM_SYSCOMMAND:
        if (OnSystemCommand(window, wParam)) return 0;
        break;
    case WM_TIMER:
        if (g_host.closing) return 0;
        Sleep(0);
        break;
    }
    return SaverWindowProc(window, message, wParam, lParam);
}

}  // namespace

LRESULT CALLBACK HostWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return GuardedMessage(HandleHostMessage, window, message, wParam, lParam);
}

LRESULT DefSaverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (g_host.childPreview || g_host.closing) return DefWindowProcW(window, message, wParam, lParam);
    LRESULT result = 0;
    if (HandlePasswordMessage(window, message, &result)) return result;
    if (g_host.checkingPassword) return DefWindowProcW(window, message, wParam, lParam);

    switch (message) {
    case WM_SHOWWINDOW:
        if (wParam) HideCursor();
        break;
    case WM_ACTIVATEAPP:
        if (!wParam) PostClose(window);
        break;
    case WM_SETCURSOR:
        HideCursor();
        return TRUE;
    case WM_POWER:
        if (wParam == kPwrCriticalResume) PostClose(window);
        break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        PostClose(window);
        break;
    case WM_MOUSEMOVE:
        OnMouseMove(window);
        break;
    case WM_POWERBROADCAST:
        return OnPowerBroadcast(window, wParam, lParam);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
