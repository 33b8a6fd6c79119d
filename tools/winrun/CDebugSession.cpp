#include "tools/winrun/CDebugSession.h"

#include "ovlib/CUniqueHandle.h"
#include "ovlib/ProcAddress.h"

#include <algorithm>

namespace winRun {

namespace {

using WaitForDebugEventFn = BOOL(WINAPI*)(DEBUG_EVENT*, DWORD);

// Only the Ex call reports wide strings as such; the plain one makes the
// child fall back to the ANSI form.
WaitForDebugEventFn WaitCall()
{
    static const WaitForDebugEventFn call = [] {
        auto ex = ovLib::ProcAddress<WaitForDebugEventFn>(GetModuleHandleW(L"kernel32.dll"),
                                                          "WaitForDebugEventEx");
        return ex ? ex : &WaitForDebugEvent;
    }();
    return call;
}

template <class Char>
std::vector<Char> ReadRemote(HANDLE process, const void* address, std::size_t count)
{
    std::vector<Char> units(count);
    SIZE_T read = 0;
    if (!count || !ReadProcessMemory(process, address, units.data(), count * sizeof(Char), &read))
        return {};
    units.resize(read / sizeof(Char));
    units.erase(std::find(units.begin(), units.end(), Char{}), units.end());
    return units;
}

std::wstring Widen(const std::vector<char>& narrow)
{
    if (narrow.empty())
        return {};
    const int length = MultiByteToWideChar(CP_ACP, 0, narrow.data(), static_cast<int>(narrow.size()),
                                           nullptr, 0);
    std::wstring wide(length, L'\0');
    MultiByteToWideChar(CP_ACP, 0, narrow.data(), static_cast<int>(narrow.size()), wide.data(),
                        length);
    return wide;
}

DWORD ElapsedSince(ULONGLONG start)
{
    return static_cast<DWORD>(GetTickCount64() - start);
}

} // namespace

CDebugSession::CDebugSession(DWORD mainProcessId) noexcept : m_dwMainProcessId(mainProcessId) {}

CDebugSession::~CDebugSession()
{
    // Descendants still running go on without a debugger rather than die with us.
    for (const auto& entry : m_processes)
        DebugActiveProcessStop(entry.first);
}

bool CDebugSession::Pump(DWORD milliseconds)
{
    const ULONGLONG start = GetTickCount64();
    while (!m_bEnded) {
        const DWORD elapsed = ElapsedSince(start);
        DEBUG_EVENT event = {};
        if (elapsed > milliseconds || !WaitCall()(&event, milliseconds - elapsed))
            break;
        const DWORD status = Handle(event);
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
    }
    return m_bEnded;
}

DWORD CDebugSession::Handle(const DEBUG_EVENT& event)
{
    switch (event.dwDebugEventCode) {
    case CREATE_PROCESS_DEBUG_EVENT: {
        // The image file handle is the debugger's to close; the process handle is not.
        ovLib::CKernelHandle image(event.u.CreateProcessInfo.hFile);
        m_processes[event.dwProcessId] = {event.u.CreateProcessInfo.hProcess, false};
        break;
    }
    case LOAD_DLL_DEBUG_EVENT: {
        ovLib::CKernelHandle image(event.u.LoadDll.hFile);
        break;
    }
    case EXIT_PROCESS_DEBUG_EVENT:
        m_processes.erase(event.dwProcessId);
        if (event.dwProcessId == m_dwMainProcessId) {
            m_dwExitCode = event.u.ExitProcess.dwExitCode;
            m_bEnded = true;
        }
        break;
    case OUTPUT_DEBUG_STRING_EVENT:
        Collect(event.dwProcessId, event.u.DebugString);
        break;
    case EXCEPTION_DEBUG_EVENT:
        return HandleException(event);
    }
    return DBG_CONTINUE;
}

// Exceptions go back to the child as if no debugger were there, except the
// breakpoint the loader raises once in every process it starts. A wide debug
// string that arrives as an exception thus comes again as an ANSI one.
DWORD CDebugSession::HandleException(const DEBUG_EVENT& event)
{
    const auto found = m_processes.find(event.dwProcessId);
    const bool loaderBreakpoint =
        event.u.Exception.ExceptionRecord.ExceptionCode == EXCEPTION_BREAKPOINT &&
        found != m_processes.end() && !found->second.bStarted;
    if (loaderBreakpoint) {
        found->second.bStarted = true;
        return DBG_CONTINUE;
    }
    return DBG_EXCEPTION_NOT_HANDLED;
}

void CDebugSession::Collect(DWORD processId, const OUTPUT_DEBUG_STRING_INFO& info)
{
    const auto found = m_processes.find(processId);
    if (found == m_processes.end())
        return;
    const HANDLE process = found->second.hProcess;
    CDebugString line{processId, info.fUnicode != 0, {}};
    if (line.bWide) {
        const auto units = ReadRemote<wchar_t>(process, info.lpDebugStringData, info.nDebugStringLength);
        line.text.assign(units.begin(), units.end());
    } else {
        line.text = Widen(ReadRemote<char>(process, info.lpDebugStringData, info.nDebugStringLength));
    }
    m_strings.push_back(std::move(line));
}

} // namespace winRun
