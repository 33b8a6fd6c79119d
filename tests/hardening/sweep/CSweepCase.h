#pragma once
#include <string>

// One case of the fault sweep, run in a process of its own: Setup's start-up
// snapshot, the trace's first use and wWinMain, in process, with one call of
// one Win32 function failing, then checked for what a user or the machine
// would be left with. The verdict goes to a text file:
//   "calls <function> <count>"  each function called (the counting case)
//   "asked <name>"              each entry point looked up by name
//   "struck"                    the chosen call came
//   "fail <what>"               each check that failed
class CSweepCase {
public:
    // function empty: nothing fails, calls are counted. folder: the
    // temporary folder Setup was given, where the verdict goes too.
    CSweepCase(std::string function, unsigned ordinal, std::wstring folder);

    // 0 when every check held, 1 otherwise.
    int Run();

    static constexpr wchar_t kVerdictName[] = L"verdict.txt";
    static constexpr unsigned kPayloadExitCode = 3010;

private:
    std::string m_function;
    unsigned m_ordinal;
    std::wstring m_folder;
};
