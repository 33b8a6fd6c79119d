#include "tests/e2e/CSetupRun.h"

#include "tests/support/PrivatePayloadPath.h"

#include "tools/winrun/CMessageBoxWindow.h"
#include "tools/winrun/CWineAppVersion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>

namespace {

constexpr wchar_t kSetupName[] = L"Setup.exe";
constexpr wchar_t kBoxCaption[] = L"error";
constexpr DWORD kPollMs = 50;
constexpr ULONGLONG kRunLimitMs = 60000;

std::wstring ReportPath(const std::wstring& workFolder)
{
    return workFolder + L"\\report.bin";
}

// Under a desktop each box is answered once; headless, Wine shows none.
void AnswerBoxes(DWORD processId, std::vector<HWND>& answered, CSetupResult& result)
{
    const auto box = winRun::CMessageBoxWindow::Find(processId, kBoxCaption);
    if (!box || std::find(answered.begin(), answered.end(), box->Handle()) != answered.end())
        return;
    answered.push_back(box->Handle());
    result.boxTexts.push_back(box->Text());
    box->PressOk();
}

} // namespace

std::vector<std::wstring> CSetupResult::SetupDebugTexts() const
{
    std::vector<std::wstring> texts;
    for (const winRun::CDebugString& line : debugStrings) {
        if (line.dwProcessId == dwProcessId)
            texts.push_back(line.text);
    }
    return texts;
}

std::vector<std::wstring> CSetupResult::PayloadDebugTexts() const
{
    std::vector<std::wstring> texts;
    for (const winRun::CDebugString& line : debugStrings) {
        if (line.dwProcessId != dwProcessId && !line.text.empty())
            texts.push_back(line.text);
    }
    return texts;
}

CSetupRun::CSetupRun(const std::wstring& tempFolderName)
    : m_folder(L"run"), m_environment(winRun::CEnvironmentBlock::OfThisProcess())
{
    const std::wstring tempFolder = WorkFolder() + L"\\" + tempFolderName;
    std::filesystem::create_directories(tempFolder);
    SetTempFolder(tempFolder);
    SetEnvironment(L"E2E_REPORT", ReportPath(WorkFolder()));
    SetPayloadExitCode(0);
}

testing::AssertionResult CSetupRun::IsPayloadPath(const std::wstring& path) const
{
    return testing_support::IsPrivatePayloadPath(m_strTempFolder, path);
}

std::wstring CSetupRun::SharedPayloadPath() const
{
    return m_strTempFolder + L"\\" + kPayloadName;
}

std::wstring CSetupRun::DriverFolder()
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::filesystem::path(std::wstring(path, length)).parent_path().wstring();
}

void CSetupRun::SetTempFolder(const std::wstring& path)
{
    m_strTempFolder = path;
    SetEnvironment(L"TMP", path);
    SetEnvironment(L"TEMP", path);
}

void CSetupRun::SetPayloadExitCode(DWORD code)
{
    SetEnvironment(L"E2E_EXIT_CODE", std::to_wstring(code));
}

void CSetupRun::SetPayloadSleep(DWORD milliseconds)
{
    SetEnvironment(L"E2E_SLEEP_MS", std::to_wstring(milliseconds));
}

void CSetupRun::SetEnvironment(const std::wstring& name, const std::wstring& value)
{
    m_environment.Set(name, value);
}

CSetupResult CSetupRun::Run(const std::wstring& tail)
{
    const std::wstring report = ReportPath(WorkFolder());
    DeleteFileW(report.c_str());
    std::optional<winRun::CWineAppVersion> version;
    if (!m_strVersion.empty())
        version.emplace(kSetupName, m_strVersion);

    CSetupResult result;
    winRun::CChildProcess setup;
    const std::wstring setupFolder = std::filesystem::path(m_strSetupFolder).is_absolute()
                                         ? m_strSetupFolder
                                         : DriverFolder() + L"\\" + m_strSetupFolder;
    const std::wstring setupPath = setupFolder + L"\\" + kSetupName;
    GetLocalTime(&result.stStarted);
    if (!setup.Start(winRun::CChildProcess::CommandLine(setupPath, tail),
                     m_strCurrentFolder.empty() ? WorkFolder() : m_strCurrentFolder, m_environment,
                     m_debugMode)) {
        ADD_FAILURE() << "Setup did not start, error " << GetLastError();
        return result;
    }
    result.dwProcessId = setup.Id();
    if (m_onStart)
        m_onStart(setup.Id());
    std::vector<HWND> answered;
    const ULONGLONG start = GetTickCount64();
    while (!setup.Wait(kPollMs)) {
        AnswerBoxes(setup.Id(), answered, result);
        if (GetTickCount64() - start > kRunLimitMs) {
            ADD_FAILURE() << "Setup did not end in time";
            return result;
        }
    }
    GetLocalTime(&result.stEnded);
    result.dwExitCode = setup.ExitCode();
    result.report = CPayloadReport::Read(report);
    result.debugStrings = setup.DebugStrings();
    return result;
}
