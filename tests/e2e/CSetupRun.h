#pragma once
#include "tests/e2e/CPayloadReport.h"
#include "tests/support/CTestFolder.h"
#include "tools/winrun/CChildProcess.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

// What a run of the test Setup left behind.
struct CSetupResult {
    DWORD dwProcessId = 0;  // 0 when Setup did not start
    SYSTEMTIME stStarted = {};  // the driver's local clock just before the start
    SYSTEMTIME stEnded = {};    // and once Setup had ended
    DWORD dwExitCode = 0;
    std::optional<CPayloadReport> report;
    std::vector<std::wstring> boxTexts;  // message boxes seen, in order (a desktop only)
    std::vector<winRun::CDebugString> debugStrings;

    // The texts of Setup's own debugger output, in order, without those of
    // the processes it started.
    std::vector<std::wstring> SetupDebugTexts() const;
    // The texts of the processes Setup started that the debugger could read.
    // A 32-bit debugger reads no text of a 64-bit process: Wine 10 hands it
    // such a process's output events with no text.
    std::vector<std::wstring> PayloadDebugTexts() const;
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
    // Where a run puts its payload: a folder of its own in the temporary folder.
    testing::AssertionResult IsPayloadPath(const std::wstring& path) const;
    // The file name the payload had before runs got folders of their own.
    std::wstring SharedPayloadPath() const;
    static std::wstring DriverFolder();

    // The folder of the Setup.exe to run: a full path, or a name of one next to the driver.
    void SetSetupFolder(const std::wstring& name) { m_strSetupFolder = name; }
    // TMP and TEMP of Setup; the folder need not exist.
    void SetTempFolder(const std::wstring& path);
    // Empty: Wine's version value for Setup is left as it is, for runs side by side.
    void SetWindowsVersion(const std::wstring& version) { m_strVersion = version; }
    void SetPayloadExitCode(DWORD code);
    void SetPayloadSleep(DWORD milliseconds);
    void SetEnvironment(const std::wstring& name, const std::wstring& value);
    void SetDebugMode(winRun::DebugMode mode) { m_debugMode = mode; }
    // Setup's current folder; the work folder unless set.
    void SetCurrentFolder(const std::wstring& path) { m_strCurrentFolder = path; }
    // Called with Setup's process id once the process exists. Under a debug
    // mode none of Setup's own code has run yet.
    void SetOnStart(std::function<void(DWORD processId)> onStart) { m_onStart = std::move(onStart); }

    // Starts Setup with this command-line tail and waits for it; a run that
    // does not end in time fails the test.
    CSetupResult Run(const std::wstring& tail);

private:
    testing_support::CTestFolder m_folder;
    std::wstring m_strTempFolder;
    std::wstring m_strSetupFolder = L"setup";
    std::wstring m_strCurrentFolder;
    std::function<void(DWORD)> m_onStart;
    std::wstring m_strVersion = L"vista";
    winRun::DebugMode m_debugMode = winRun::DebugMode::None;
    winRun::CEnvironmentBlock m_environment;
};
