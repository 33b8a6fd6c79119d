// The floor for any bootstrapper: starts the program its command-line tail
// names, waits for it and ends with its exit code. No C runtime, no other DLL
// than kernel32, no other work.
#include "ovlib/CUniqueHandle.h"

#include <windows.h>

namespace {

// The tail as a Windows runtime passes it on: the program name, quoted or
// not, and the blanks after it removed.
const wchar_t* CommandLineTail(const wchar_t* commandLine)
{
    const wchar_t* position = commandLine;
    if (*position == L'"') {
        ++position;
        while (*position && *position != L'"')
            ++position;
        if (*position)
            ++position;
    } else {
        while (*position > L' ')
            ++position;
    }
    while (*position && *position <= L' ')
        ++position;
    return position;
}

DWORD RunAndWait(const wchar_t* tail)
{
    // CreateProcessW may write to the command line it is given.
    const SIZE_T bytes = (static_cast<SIZE_T>(lstrlenW(tail)) + 1) * sizeof(wchar_t);
    const HANDLE heap = GetProcessHeap();
    wchar_t* commandLine = static_cast<wchar_t*>(HeapAlloc(heap, 0, bytes));
    if (!commandLine)
        return ERROR_OUTOFMEMORY;
    lstrcpyW(commandLine, tail);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    const BOOL started =
        CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info);
    const DWORD startError = GetLastError();
    HeapFree(heap, 0, commandLine);
    if (!started)
        return startError;
    ovLib::CKernelHandle process(info.hProcess);
    ovLib::CKernelHandle thread(info.hThread);
    WaitForSingleObject(process.get(), INFINITE);
    DWORD exitCode = 0;
    GetExitCodeProcess(process.get(), &exitCode);
    return exitCode;
}

} // namespace

extern "C" void LauncherEntry()
{
    ExitProcess(RunAndWait(CommandLineTail(GetCommandLineW())));
}
