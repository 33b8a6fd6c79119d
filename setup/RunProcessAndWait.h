#pragma once
#include <windows.h>

// Starts programPath, by that name, with the command line "programPath"
// arguments (the path quoted when it has blanks), waits for it while
// dispatching the thread's messages every 100 ms, and stores its exit code. Returns S_OK once the program has run; E_FAIL for a missing
// argument, a path that does not fit MAX_PATH or no memory; otherwise the
// Win32 error of the failed start or of a failed wait. exitCode changes only
// when it was read.
HRESULT RunProcessAndWait(const wchar_t* programPath, const wchar_t* arguments, DWORD& exitCode);
