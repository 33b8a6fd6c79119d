#pragma once
#include "ovlib/CUniqueHandle.h"
#include "tools/winrun/CDebugSession.h"
#include "tools/winrun/CEnvironmentBlock.h"

#include <memory>
#include <string>
#include <vector>

namespace winRun {

enum class DebugMode {
    None,
    ThisProcess,  // the child's own debugger output
    ProcessTree,  // also that of every process the child starts
};

// A program started and waited for; under a debug mode, its debugger output is
// collected. A child still running when the object goes is ended.
class CChildProcess {
public:
    CChildProcess() = default;
    CChildProcess(const CChildProcess&) = delete;
    CChildProcess& operator=(const CChildProcess&) = delete;
    ~CChildProcess();

    // "program" tail: the program quoted, so that blanks in its path are safe.
    static std::wstring CommandLine(const std::wstring& program, const std::wstring& tail);

    // folder: the child's current folder; empty for ours. False when the
    // program could not be started (GetLastError says why).
    bool Start(const std::wstring& commandLine, const std::wstring& folder,
               const CEnvironmentBlock& environment, DebugMode debug = DebugMode::None);
    // The child's standard output and error go to this inheritable handle
    // (not owned), for the programs started after this call.
    void SetOutput(HANDLE output) noexcept { m_hOutput = output; }

    // Waits up to milliseconds; true once the child has ended. Under a debug
    // mode it must be called on the thread that started the child.
    bool Wait(DWORD milliseconds);

    DWORD Id() const noexcept { return m_dwId; }
    // For questions the class does not ask: times, memory.
    HANDLE Handle() const noexcept { return m_hProcess.get(); }
    // The full 32-bit exit code, once Wait has returned true.
    DWORD ExitCode() const noexcept { return m_dwExitCode; }
    const std::vector<CDebugString>& DebugStrings() const;

private:
    ovLib::CKernelHandle m_hProcess;
    ovLib::CKernelHandle m_hThread;
    std::unique_ptr<CDebugSession> m_debug;
    HANDLE m_hOutput = nullptr;
    DWORD m_dwId = 0;
    bool m_bEnded = false;
    DWORD m_dwExitCode = 0;
};

} // namespace winRun
