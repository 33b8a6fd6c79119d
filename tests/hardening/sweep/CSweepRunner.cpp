#include "tests/hardening/sweep/CSweepRunner.h"

#include "tests/hardening/support/CMachineKeyRedirect.h"
#include "tests/hardening/sweep/CSweepCase.h"
#include "tools/winrun/CChildProcess.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

constexpr DWORD kCaseLimitMs = 60000;

fs::path ThisProgram()
{
    wchar_t path[MAX_PATH];
    return fs::path(std::wstring(path, GetModuleFileNameW(nullptr, path, MAX_PATH)));
}

std::vector<std::string> ReadLines(const fs::path& path)
{
    std::vector<std::string> lines;
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);)
        lines.push_back(line);
    return lines;
}

bool StartsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

bool CSweepRunner::COutcome::Passed() const
{
    if (!ended || processExitCode != 0 || verdict.empty())
        return false;
    for (const std::string& line : verdict) {
        if (StartsWith(line, "fail "))
            return false;
    }
    return true;
}

bool CSweepRunner::COutcome::Struck() const
{
    for (const std::string& line : verdict) {
        if (line == "struck")
            return true;
    }
    return false;
}

std::map<std::string, unsigned> CSweepRunner::COutcome::Calls() const
{
    std::map<std::string, unsigned> calls;
    for (const std::string& line : verdict) {
        std::istringstream fields(line);
        std::string kind, function;
        unsigned count = 0;
        if (fields >> kind >> function >> count && kind == "calls")
            calls[function] = count;
    }
    return calls;
}

std::vector<std::string> CSweepRunner::COutcome::Asked() const
{
    std::vector<std::string> asked;
    for (const std::string& line : verdict) {
        if (StartsWith(line, "asked "))
            asked.push_back(line.substr(6));
    }
    return asked;
}

std::string CSweepRunner::COutcome::Describe() const
{
    std::ostringstream text;
    if (!ended)
        text << "did not end in time; ";
    else if (processExitCode > 1)
        text << "crashed, exit code 0x" << std::hex << processExitCode << std::dec << "; ";
    for (const std::string& line : verdict) {
        if (StartsWith(line, "fail ") || StartsWith(line, "exit "))
            text << line << "; ";
    }
    if (verdict.empty())
        text << "no verdict";
    return text.str();
}

CSweepRunner::COutcome CSweepRunner::Run(const std::string& function, unsigned ordinal)
{
    const fs::path folder = fs::temp_directory_path() / (L"sweep case " + std::to_wstring(GetCurrentProcessId()) +
                                                         L"-" + std::to_wstring(++m_nCases));
    fs::create_directories(folder);
    winRun::CEnvironmentBlock environment = winRun::CEnvironmentBlock::OfThisProcess();
    environment.Set(L"TMP", folder.wstring());
    environment.Set(L"TEMP", folder.wstring());
    environment.Set(L"E2E_REPORT", (folder / L"report.bin").wstring());
    environment.Set(L"E2E_EXIT_CODE", std::to_wstring(CSweepCase::kPayloadExitCode));

    COutcome outcome;
    winRun::CChildProcess child;
    const std::string request = "--sweep-case=" + function + ":" + std::to_string(ordinal);
    if (child.Start(winRun::CChildProcess::CommandLine(ThisProgram().wstring(), std::wstring(request.begin(), request.end())),
                    folder.wstring(), environment)) {
        outcome.ended = child.Wait(kCaseLimitMs);
        outcome.processExitCode = child.ExitCode();
        outcome.verdict = ReadLines(folder / CSweepCase::kVerdictName);
        // A case that crashed could not clean up its registry key.
        RegDeleteTreeW(HKEY_CURRENT_USER, CMachineKeyRedirect::KeyOf(child.Id()).c_str());
    }
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    return outcome;
}
