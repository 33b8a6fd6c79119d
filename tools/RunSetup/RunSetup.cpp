// RunSetup <Setup.exe> [tail...]: runs Setup under Wine as NT 6.0 with the
// words of the tail joined by blanks, echoes what Setup and the programs it
// starts write to the debugger output, prints Setup's full exit code and ends
// with it.
#include "tools/winrun/CChildProcess.h"
#include "tools/winrun/CWineAppVersion.h"

#include <cstdio>
#include <exception>
#include <string>

namespace {

constexpr DWORD kPollMs = 100;

std::wstring JoinTail(int count, wchar_t** words)
{
    std::wstring tail;
    for (int i = 0; i < count; ++i)
        tail += (i ? L" " : L"") + std::wstring(words[i]);
    return tail;
}

std::wstring FileName(const std::wstring& path)
{
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

void EchoNewDebugStrings(const winRun::CChildProcess& setup, std::size_t& shown)
{
    const auto& strings = setup.DebugStrings();
    for (; shown < strings.size(); ++shown) {
        std::wstring text = strings[shown].text;
        if (!text.empty() && text.back() == L'\n')
            text.pop_back();
        std::wprintf(L"[%lu] %ls\n", strings[shown].dwProcessId, text.c_str());
    }
    std::fflush(stdout);
}

int Run(const std::wstring& setupPath, const std::wstring& tail)
{
    winRun::CWineAppVersion ntSix(FileName(setupPath), L"vista");
    winRun::CChildProcess setup;
    if (!setup.Start(winRun::CChildProcess::CommandLine(setupPath, tail), L"",
                     winRun::CEnvironmentBlock::OfThisProcess(), winRun::DebugMode::ProcessTree)) {
        const DWORD error = GetLastError();
        std::fwprintf(stderr, L"RunSetup: cannot start %ls (error %lu)\n", setupPath.c_str(), error);
        return static_cast<int>(error);
    }
    std::size_t shown = 0;
    while (!setup.Wait(kPollMs))
        EchoNewDebugStrings(setup, shown);
    EchoNewDebugStrings(setup, shown);
    std::wprintf(L"Setup exit code: %lu (0x%08lX)\n", setup.ExitCode(), setup.ExitCode());
    return static_cast<int>(setup.ExitCode());
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        std::fwprintf(stderr, L"usage: RunSetup <Setup.exe> [tail...]\n");
        return ERROR_BAD_ARGUMENTS;
    }
    try {
        return Run(argv[1], JoinTail(argc - 2, argv + 2));
    } catch (const std::exception& e) {
        std::fwprintf(stderr, L"RunSetup: %hs\n", e.what());
        return ERROR_GEN_FAILURE;
    }
}
