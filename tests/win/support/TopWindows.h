#pragma once
// The top-level windows of a process, found from a test: the main window or
// a box of a program the test started, or a dialog this test's own code
// opened on another thread.
#include <windows.h>

#include <string>

// A visible top-level window of process pid whose caption begins with
// captionStart (any caption when it is empty); nullptr while there is none.
HWND TopWindowOf(DWORD pid, const std::wstring& captionStart = {});

// A visible dialog box (window class "#32770") of process pid other than
// except, with exactly this caption when one is given; nullptr while there
// is none.
HWND DialogOf(DWORD pid, const std::wstring& caption = {}, HWND except = nullptr);
