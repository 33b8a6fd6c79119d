#include "tools/winrun/CChildProcess.h"

namespace winRun {

namespace {

DWORD CreationFlags(DebugMode debug)
{
    switch (debug) {
    case DebugMode::ThisProcess:
        return CREATE_UNICODE_ENVIRONMENT | DEBUG_ONLY_THIS_PROCESS;
    case DebugMode::ProcessTree:
        return CREATE_UNICODE_ENVIRONMENT | DEBUG_PROCESS;
    case DebugMode::None:
        break;
    }
    return CREATE_UNICODE_ENVIRONMENT;
}

// Long enough for any child to notice it is being ended, debugged or not.
constexpr DWORD kEndingMs = 10000;

} // namespace

CChildProcess::~CChildProcess()
{
    if (m_hProcess && !m_bEnded) {
        TerminateProcess(m_hProcess.get(), ERROR_TIMEOUT);
        Wait(kEndingMs);
    }
}

std::wstring CChildProcess::CommandLine(const std::wstring& program, const std::wstring& tail)
{
    return L"\"" + program + L"\" " + tail;
}

bool CChildProcess::Start(const std::wstring& commandLine, const std::wstring& folder,
                          const CEnvironmentBlock& environment, DebugMode debug)
{
    std::wstring writableCommandLine = commandLine;
    std::vector<wchar_t> block = environment.Build();
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    if (m_hOutput) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = startup.hStdError = m_hOutput;
    }
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, writableCommandLine.data(), nullptr, nullptr, m_hOutput != nullptr,
                        CreationFlags(debug), block.data(), folder.empty() ? nullptr : folder.c_str(),
                        &startup, &info))
        return false;
    m_hProcess.reset(info.hProcess);
    m_hThread.reset(info.hThread);
    m_dwId = info.dwProcessId;
    m_bEnded = false;
    if (debug != DebugMode::None)
        m_debug = std::make_unique<CDebugSession>(info.dwProcessId);
    return true;
}

bool CChildProcess::Wait(DWORD milliseconds)
{
    if (m_bEnded)
        return true;
    if (m_debug) {
        m_bEnded = m_debug->Pump(milliseconds);
        m_dwExitCode = m_debug->ExitCode();
    } else if (WaitForSingleObject(m_hProcess.get(), milliseconds) == WAIT_OBJECT_0) {
        m_bEnded = GetExitCodeProcess(m_hProcess.get(), &m_dwExitCode) != FALSE;
    }
    return m_bEnded;
}

const std::vector<CDebugString>& CChildProcess::DebugStrings() const
{
    static const std::vector<CDebugString> none;
    return m_debug ? m_debug->Strings() : none;
}

} // namespace winRun
