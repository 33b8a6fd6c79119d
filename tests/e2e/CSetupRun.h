#pragma once
#include "tests/e2e/CPayloadReport.h"
#include "tests/e2e/CTestFolder.h"
#include "tools/winrun/CChildProcess.h"

#include <optional>
#include <string>
#include <vector>

// What a run of the test Setup left behind.
struct CSetupResult {
    DWORD dwExitCode = 0;
    std::optional<CPayloadReport> report;
    std::vector<std::wstring> boxTexts;  // message boxes seen, in order (a desktop only)
    std::vector<winRun::CDebugString> debugStrings;
};

// One start of the test Setup as a user would do it: from a folder of its own,
// with a temporary folder of its own, under the Windows version Wine reports.
// Message boxes that come up are read and answered with OK.
class CSetupRun {
public:
    static constexpr wchar_t kPayloadName[] = L"qvltgl.exe";

    // tempFolderName: the temporary folder's name inside the test folder.
    explicit CSetupRun(const std::wstring& tempFolderName = L"tmp");

    const std::wstring& WorkFolder() const noexcept { return m_folder.Path(); }
    const std::wstring& TempFolder() const noexcept { return m_strTempFolder; }
    std::wstring PayloadPath() const;
    static std::wstring DriverFolder();

    // The folder, next to the driver, of the Setup.exe to run.
    void SetSetupFolder(const std::wstring& name) { m_strSetupFolder = name; }
    // TMP and TEMP of Setup; the folder need not exist.
    void SetTempFolder(const std::wstring& path);
    void SetWindowsVersion(const std::wstring& version) { m_strVersion = version; }
    void SetPayloadExitCode(DWORD code);
    void SetPayloadSleep(DWORD milliseconds);
    void SetEnvironment(const std::wstring& name, const std::wstring& value);
    void SetDebugMode(winRun::DebugMode mode) { m_debugMode = mode; }

    // Starts Setup with this command-line tail and waits for it; a run that
    // does not end in time fails the test.
    CSetupResult Run(const std::wstring& tail);

private:
    CTestFolder m_folder;
    std::wstring m_strTempFolder;
    std::wstring m_strSetupFolder = L"setup";
    std::wstring m_strVersion = L"vista";
    winRun::DebugMode m_debugMode = winRun::DebugMode::None;
    winRun::CEnvironmentBlock m_environment;
};
