#pragma once
#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace winRun {

// One OutputDebugString call of a debugged process.
struct CDebugString {
    DWORD dwProcessId;
    bool bWide;  // sent as UTF-16, not converted to the ANSI code page
    std::wstring text;
};

// The debugger side of a child started with DEBUG_ONLY_THIS_PROCESS or
// DEBUG_PROCESS: collects debugger output and the child's exit code. Must be
// used on the thread that started the child.
class CDebugSession {
public:
    explicit CDebugSession(DWORD mainProcessId) noexcept;
    CDebugSession(const CDebugSession&) = delete;
    CDebugSession& operator=(const CDebugSession&) = delete;
    ~CDebugSession();

    // Handles debug events for up to milliseconds; true once the main process has ended.
    bool Pump(DWORD milliseconds);

    DWORD ExitCode() const noexcept { return m_dwExitCode; }
    const std::vector<CDebugString>& Strings() const noexcept { return m_strings; }

private:
    DWORD Handle(const DEBUG_EVENT& event);
    DWORD HandleException(const DEBUG_EVENT& event);
    void Collect(DWORD processId, const OUTPUT_DEBUG_STRING_INFO& info);

    DWORD m_dwMainProcessId;
    bool m_bEnded = false;
    DWORD m_dwExitCode = 0;
    // Handles of the debugged processes, owned by the system; false until the
    // loader's breakpoint has been passed.
    struct CProcess {
        HANDLE hProcess;
        bool bStarted;
    };
    std::map<DWORD, CProcess> m_processes;
    std::vector<CDebugString> m_strings;
};

} // namespace winRun
