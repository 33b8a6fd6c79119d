#include "tests/e2e/CPlatformAnswers.h"

#include "tests/e2e/CSetupRun.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

CPlatformAnswers CPlatformAnswers::Ask(const std::wstring& version)
{
    CSetupRun run;
    run.SetSetupFolder(L"answers");
    run.SetWindowsVersion(version);
    const std::filesystem::path file = run.WorkFolder() + L"\\answers.txt";
    run.SetEnvironment(L"E2E_ANSWERS", file.wstring());
    const CSetupResult result = run.Run(L"");

    std::ifstream in(file);
    if (result.dwExitCode != 0 || !in)
        throw std::runtime_error("the answers program reported nothing, exit code " +
                                 std::to_string(result.dwExitCode));
    CPlatformAnswers answers;
    std::string line;
    while (std::getline(in, line)) {
        const auto equals = line.find('=');
        if (equals == std::string::npos)
            throw std::runtime_error("not an answer: " + line);
        answers.m_answers[line.substr(0, equals)] = std::stoul(line.substr(equals + 1));
    }
    return answers;
}

unsigned long CPlatformAnswers::Get(const std::string& name) const
{
    const auto found = m_answers.find(name);
    if (found == m_answers.end())
        throw std::out_of_range("no answer to " + name);
    return found->second;
}
