#!/usr/bin/env bash
# Both programs must start on Windows XP, whose loader refuses a program that
# imports a function it lacks. Every function noxel.scr and NoxelTool.exe
# import must be on the list below, each checked to exist on Windows XP or
# earlier (its documented minimum client). A new import fails this test until
# it is checked and added; a newer function is loaded with GetProcAddress.
# Usage: imports_test.sh OBJDUMP BIN_FOLDER
set -euo pipefail
objdump=$1
bin=$2

allowed=$(cat <<'LIST'
ADVAPI32.DLL RegCloseKey RegCreateKeyW RegOpenKeyExW RegOpenKeyW RegQueryValueExW RegSetValueExW
COMCTL32.DLL InitCommonControlsEx
COMDLG32.DLL GetOpenFileNameW
GDI32.DLL BitBlt CombineRgn CreateCompatibleBitmap CreateCompatibleDC CreateDCW CreateDIBSection CreateFontW
GDI32.DLL CreateRectRgn DeleteDC DeleteObject GdiFlush GetClipBox GetDeviceCaps GetStockObject GetTextFaceW
GDI32.DLL SelectClipRgn SelectObject SetDIBits SetTextColor StretchBlt StretchDIBits TextOutW
GDIPLUS.DLL GdipAlloc GdipBitmapLockBits GdipBitmapSetResolution GdipBitmapUnlockBits GdipCloneBrush
GDIPLUS.DLL GdipCloneImage GdipCreateBitmapFromFile GdipCreateBitmapFromGdiDib GdipCreateBitmapFromGraphics
GDIPLUS.DLL GdipCreateBitmapFromScan0 GdipCreateFont GdipCreateFontFamilyFromName GdipCreateFontFromLogfontW
GDIPLUS.DLL GdipCreateFromHWND GdipCreateSolidFill GdipDeleteBrush GdipDeleteFont GdipDeleteFontFamily
GDIPLUS.DLL GdipDeleteGraphics GdipDisposeImage GdipDrawImageRectI GdipDrawImageRectRect GdipDrawString
GDIPLUS.DLL GdipFillRectangleI GdipFree GdipGetDC GdipGetDpiX GdipGetDpiY GdipGetGenericFontFamilySansSerif
GDIPLUS.DLL GdipGetImageGraphicsContext GdipGetImageHeight GdipGetImageWidth GdipLoadImageFromFile
GDIPLUS.DLL GdipReleaseDC GdipSetImagePalette GdipSetInterpolationMode GdiplusStartup
KERNEL32.DLL CloseHandle CreateFileW CreateSemaphoreW DeleteCriticalSection DeleteFileW EnterCriticalSection
KERNEL32.DLL ExitProcess ExpandEnvironmentStringsW FreeLibrary GetCommandLineW GetCurrentProcess
KERNEL32.DLL GetCurrentThreadId GetFileAttributesW GetFileSize GetFileSizeEx GetFileType GetLastError
KERNEL32.DLL GetModuleFileNameW GetModuleHandleA GetModuleHandleW GetProcAddress GetStartupInfoW GetTickCount
KERNEL32.DLL GetVersionExW InitializeCriticalSection IsDBCSLeadByteEx LeaveCriticalSection LoadLibraryA
KERNEL32.DLL LoadLibraryW MoveFileExW MulDiv MultiByteToWideChar ReadFile ReleaseSemaphore SetLastError
KERNEL32.DLL SetUnhandledExceptionFilter Sleep TerminateProcess TlsAlloc TlsFree TlsGetValue TlsSetValue
KERNEL32.DLL VirtualProtect VirtualQuery WaitForSingleObject WideCharToMultiByte WriteFile lstrcpynW
MSVCRT.DLL __mb_cur_max __p__commode __p__fmode __p__wcmdln __set_app_type __setusermatherr __wgetmainargs
MSVCRT.DLL __winitenv _amsg_exit _cexit _close _errno _exit _initterm _iob _lock _onexit _read _unlock abort
MSVCRT.DLL atoi calloc exit fprintf fputc fputs fputwc fputws free fwprintf fwrite localeconv malloc memchr
MSVCRT.DLL memcmp memcpy memmove memset realloc setlocale signal strchr strcmp strerror strlen strncmp
MSVCRT.DLL vfprintf wcslen
OLE32.DLL CoCreateInstance CoInitialize
USER32.DLL BeginPaint CharNextW CreateWindowExW DefWindowProcW DialogBoxParamW DispatchMessageW EndDialog
USER32.DLL EndPaint FindWindowW GetClientRect GetCursorPos GetDC GetDlgItem GetDlgItemTextW GetForegroundWindow
USER32.DLL GetMessageW GetParent GetSystemMetrics GetWindowLongW IsWindow KillTimer LoadIconW LoadStringW
USER32.DLL PeekMessageW PostMessageW PostQuitMessage RegisterClassExW RegisterClassW ReleaseDC SendMessageW
USER32.DLL SetCursor SetDlgItemTextW SetFocus SetForegroundWindow SetTimer SetWindowTextW ShowWindow
USER32.DLL SystemParametersInfoW TranslateMessage UpdateWindow
USER32.DLL ClientToScreen DestroyWindow EnumDisplayMonitors FillRect GetDCEx GetMonitorInfoW GetWindow
USER32.DLL InvalidateRect MapWindowPoints MoveWindow SendDlgItemMessageW
WINMM.DLL waveOutClose waveOutOpen waveOutPrepareHeader waveOutReset waveOutSetVolume waveOutUnprepareHeader
WINMM.DLL waveOutWrite
LIST
)
allowed=$(printf '%s\n' "$allowed" | awk '{for (i = 2; i <= NF; ++i) print $1 " " $i}' | sort -u)

status=0
for program in noxel.scr NoxelTool.exe; do
  [ -f "$bin/$program" ] || { echo "no $bin/$program"; exit 1; }
  # "DLL Name: X" opens each library's list; its functions follow as "vma hint name".
  imports=$("$objdump" -p "$bin/$program" |
    awk '/DLL Name:/ { dll = toupper($3) } /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_]/ { print dll " " $3 }' | sort -u)
  [ -n "$imports" ] || { echo "$program: no import table read"; exit 1; }
  unknown=$(comm -23 <(printf '%s\n' "$imports") <(printf '%s\n' "$allowed"))
  if [ -n "$unknown" ]; then
    echo "$program imports functions not checked to exist on Windows XP:"
    printf '  %s\n' $unknown | paste -d' ' - -
    status=1
  fi
done
exit $status
