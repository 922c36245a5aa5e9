// The configuration dialog (resource 2003) and its "PREVIEW" control, in
// which the selected engine plays the film. The host registers the control's
// class and then runs the dialog modally with ConfigDialogProc.
#pragma once

#include <windows.h>

// Registers the "PREVIEW" window class; true whatever the registration gives,
// so that a class left registered by an earlier call does not stop the dialog.
bool RegisterPreviewClass(HINSTANCE instance);

// The "PREVIEW" class's window procedure: it draws nothing itself.
LRESULT CALLBACK PreviewWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The dialog procedure of resource 2003. The dialog ends with 1 after OK
// (every setting saved) and 2 after Cancel (nothing saved).
INT_PTR CALLBACK ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
