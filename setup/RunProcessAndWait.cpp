#include "setup/RunProcessAndWait.h"

#include "ovlib/CUniqueHandle.h"

#include <cwchar>
#include <memory>
#include <new>

namespace {

constexpr DWORD kWaitSliceMs = 100;

void DispatchQueuedMessages()
{
    MSG msg = {};
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// A quit message is dispatched like any other: only the child's end, or a
// failed wait, stops the wait. Returns the wait's last result.
DWORD WaitServicingMessages(HANDLE process)
{
    DWORD result;
    while ((result = WaitForSingleObject(process, kWaitSliceMs)) == WAIT_TIMEOUT)
        DispatchQueuedMessages();
    return result;
}

// The path as the payload's first argument: in double quotes when it has a
// blank, the rule of the system's PathQuoteSpacesW. Written straight into the
// command line, so a quoted form longer than MAX_PATH is still whole; that
// call would leave such a path unquoted, and a blank would then cut it.
wchar_t* AppendQuoted(wchar_t* out, const wchar_t* path, std::size_t length)
{
    const bool quote = std::wmemchr(path, L' ', length) != nullptr;
    if (quote)
        *out++ = L'"';
    out = std::wmemcpy(out, path, length) + length;
    if (quote)
        *out++ = L'"';
    return out;
}

// The thread's last error as a status that never reads as S_OK.
HRESULT LastErrorStatus()
{
    const DWORD error = GetLastError();
    return error ? static_cast<HRESULT>(error) : E_FAIL;
}

} // namespace

HRESULT RunProcessAndWait(const wchar_t* programPath, const wchar_t* arguments, DWORD& exitCode)
{
    if (!programPath || !arguments)
        return E_FAIL;

    // Never truncate: a cut path would start some other program.
    const std::size_t pathLength = std::wcslen(programPath);
    if (pathLength >= MAX_PATH)
        return E_FAIL;

    // Room for the quotes, the blank and the end, and then some.
    const std::size_t argumentsLength = std::wcslen(arguments);
    const std::size_t capacity = argumentsLength + pathLength + 2 + 5;
    std::unique_ptr<wchar_t[]> commandLine(new (std::nothrow) wchar_t[capacity]);
    if (!commandLine)
        return E_FAIL;

    wchar_t* end = commandLine.get();
    if (pathLength > 0) {
        end = AppendQuoted(end, programPath, pathLength);
        *end++ = L' ';
    }
    std::wmemcpy(end, arguments, argumentsLength + 1);

    // Named as the program to start, the path is never searched for nor cut
    // at a blank; the command line only tells the payload how it was called.
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    const wchar_t* application = pathLength > 0 ? programPath : nullptr;
    if (!CreateProcessW(application, commandLine.get(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
        return LastErrorStatus();

    ovLib::CKernelHandle process(info.hProcess);
    ovLib::CKernelHandle thread(info.hThread);
    // After a failed wait the child may still run: its "exit code" would be STILL_ACTIVE.
    if (WaitServicingMessages(process.get()) == WAIT_FAILED)
        return LastErrorStatus();

    DWORD childExitCode = 0;
    if (GetExitCodeProcess(process.get(), &childExitCode))
        exitCode = childExitCode;

    process.reset();
    thread.reset();
    return S_OK;
}
