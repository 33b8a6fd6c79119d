// Each run's payload in a folder of its own: runs side by side, and a
// payload file that something still holds after the payload has ended.
#include "tests/e2e/CSetupRun.h"

#include "ovlib/CUniqueHandle.h"
#include "tests/support/PrivatePayloadPath.h"
#include "tools/winrun/CWineAppVersion.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <future>

namespace {

namespace fs = std::filesystem;

TEST(PrivateFolders, LetTwoSetupsStartedAtOnceRunTheirPayloads)
{
    const winRun::CWineAppVersion vista(L"Setup.exe", L"vista");
    CSetupRun first;
    CSetupRun second;
    second.SetTempFolder(first.TempFolder());
    for (CSetupRun* run : {&first, &second}) {
        run->SetWindowsVersion(L"");
        // Long enough for the two to overlap, and for each to sweep the
        // temporary folder while the other's payload runs.
        run->SetPayloadSleep(1000);
    }
    first.SetPayloadExitCode(3010);
    second.SetPayloadExitCode(1641);

    std::future<CSetupResult> other = std::async(std::launch::async, [&] { return second.Run(L"/install"); });
    const CSetupResult mine = first.Run(L"/status");
    const CSetupResult theirs = other.get();

    EXPECT_EQ(3010u, mine.dwExitCode);
    EXPECT_EQ(1641u, theirs.dwExitCode);
    ASSERT_TRUE(mine.report && theirs.report) << "a payload did not run";
    EXPECT_TRUE(first.IsPayloadPath(mine.report->modulePath));
    EXPECT_TRUE(first.IsPayloadPath(theirs.report->modulePath));
    EXPECT_NE(mine.report->modulePath, theirs.report->modulePath);
    EXPECT_TRUE(fs::is_empty(first.TempFolder())) << "something of the runs was left";
}

// The private folder while the payload runs, or empty.
std::wstring PayloadWhileRunning(const std::wstring& tempFolder, const std::future<CSetupResult>& run)
{
    while (run.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) {
        for (const std::wstring& entry : testing_support::FolderEntries(tempFolder)) {
            const std::wstring payload = tempFolder + L"\\" + entry + L"\\qvltgl.exe";
            if (fs::exists(payload))
                return payload;
        }
    }
    return L"";
}

// A virus scanner that still reads the payload for a moment after it ended:
// the file and its folder are removed once it lets go.
TEST(PrivateFolders, AreRemovedOnceAHoldOnThePayloadEnds)
{
    CSetupRun run;
    run.SetPayloadSleep(1000);
    run.SetPayloadExitCode(3010);
    std::future<CSetupResult> setup = std::async(std::launch::async, [&] { return run.Run(L"/status"); });

    const std::wstring payload = PayloadWhileRunning(run.TempFolder(), setup);
    ASSERT_FALSE(payload.empty()) << "the payload was never seen";
    // Refused while Setup still writes the file; the payload sleeps long enough.
    ovLib::CFileHandle scanner;
    while (!scanner && setup.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready)
        scanner.reset(CreateFileW(payload.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(scanner.valid()) << "error " << GetLastError();
    // The payload writes its report just before it ends.
    const fs::path report = fs::path(run.WorkFolder()) / L"report.bin";
    while (!fs::exists(report) && setup.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) {
    }
    Sleep(300);
    scanner.reset();

    const CSetupResult result = setup.get();
    EXPECT_EQ(3010u, result.dwExitCode);
    EXPECT_TRUE(fs::is_empty(run.TempFolder())) << "the payload or its folder was left";
}

} // namespace
