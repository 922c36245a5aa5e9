// Process entry of noxel.scr: hands the command line after the program's
// name to the host and ends the process with the mode's exit code.
#include <windows.h>

#include "shell/host.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    ExitProcess(static_cast<UINT>(SaverEntry(GetModuleHandleW(nullptr), CommandLineTail(GetCommandLineW()))));
}
