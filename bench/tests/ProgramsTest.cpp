// The benchmark's own programs and probes under Wine: the payload's protocol,
// the minimal launcher, the exit stamp and the Linux process behind a program.
#include "bench/CBenchRun.h"
#include "bench/CTimeStamp.h"
#include "bench/CLinuxTask.h"
#include "bench/CNamedEvent.h"
#include "bench/PayloadProtocol.h"
#include "tests/e2e/CSetupRun.h"
#include "tests/support/CTestFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

constexpr DWORD kLimitMs = 30000;

FILETIME Now()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return now;
}

class BenchPrograms : public testing::Test {
protected:
    BenchPrograms() : m_folder(L"bench-programs"), m_environment(winRun::CEnvironmentBlock::OfThisProcess())
    {
        // A blank in the folder: the launcher must keep the quoted path whole.
        const std::wstring folder = m_folder.Path() + L"\\with blank";
        std::filesystem::create_directories(folder);
        m_strPayload = folder + L"\\payload.exe";
        const std::wstring built = CSetupRun::DriverFolder() + L"\\payload\\noop-bare.exe";
        EXPECT_TRUE(CopyFileW(built.c_str(), m_strPayload.c_str(), FALSE)) << GetLastError();
    }

    static std::wstring Launcher() { return CSetupRun::DriverFolder() + L"\\launcher\\launcher.exe"; }
    std::wstring PayloadCommand() const { return winRun::CChildProcess::CommandLine(m_strPayload, L""); }
    std::wstring LauncherCommand(const std::wstring& program) const
    {
        return winRun::CChildProcess::CommandLine(Launcher(), L"\"" + program + L"\"");
    }

    testing_support::CTestFolder m_folder;
    std::wstring m_strPayload;
    winRun::CEnvironmentBlock m_environment;
};

TEST_F(BenchPrograms, ExitStampLiesBetweenTheStartAndTheExitTime)
{
    CTimeStamp stamp(L"test-exit-stamp");
    m_environment.Set(benchPayload::kExitStamp, stamp.Name());
    const ULONGLONG before = FileTimeValue(Now());
    CBenchRun run(PayloadCommand(), m_environment);
    run.WaitForEnd();
    const ULONGLONG stamped = stamp.Read();
    EXPECT_LE(before, stamped);
    EXPECT_LE(stamped, run.ExitTime());
    stamp.Clear();
    EXPECT_THROW(stamp.Read(), std::runtime_error);
}

// A payload that sleeps: its start stamp comes after the driver's time before
// the start and well before its exit stamp.
TEST_F(BenchPrograms, StartStampLiesBetweenTheRunsStartAndTheExitStamp)
{
    CTimeStamp started(L"test-start-stamp");
    CTimeStamp exited(L"test-exit-stamp");
    m_environment.Set(benchPayload::kStartStamp, started.Name());
    m_environment.Set(benchPayload::kExitStamp, exited.Name());
    m_environment.Set(benchPayload::kSleepMs, L"200");
    CBenchRun run(PayloadCommand(), m_environment);
    run.WaitForEnd();
    EXPECT_LE(run.StartTime(), started.Read());
    EXPECT_GE(exited.Read() - started.Read(), 200 * 10000ull) << "the start stamp was not taken before the sleep";
}

TEST_F(BenchPrograms, PayloadWithoutVariablesLeavesNoStamp)
{
    CTimeStamp stamp(L"test-exit-stamp");
    CBenchRun run(PayloadCommand(), m_environment);
    run.WaitForEnd();
    EXPECT_THROW(stamp.Read(), std::runtime_error);
}

TEST_F(BenchPrograms, PayloadHoldsAfterItsSleepUntilReleased)
{
    const CNamedEvent started(L"test-started"), slept(L"test-slept"), release(L"test-release");
    m_environment.Set(benchPayload::kStartedEvent, started.Name());
    m_environment.Set(benchPayload::kSleepMs, L"200");
    m_environment.Set(benchPayload::kSleptEvent, slept.Name());
    m_environment.Set(benchPayload::kReleaseEvent, release.Name());
    CBenchRun run(PayloadCommand(), m_environment);
    ASSERT_TRUE(started.Wait(kLimitMs));
    ASSERT_TRUE(slept.Wait(kLimitMs));
    EXPECT_FALSE(run.Wait(300)) << "ended before its release";
    release.Set();
    run.WaitForEnd();
}

TEST_F(BenchPrograms, LauncherRunsTheQuotedProgramAndWaitsForIt)
{
    CTimeStamp stamp(L"test-exit-stamp");
    m_environment.Set(benchPayload::kExitStamp, stamp.Name());
    CBenchRun run(LauncherCommand(m_strPayload), m_environment);
    run.WaitForEnd();
    EXPECT_LE(stamp.Read(), run.ExitTime());
}

TEST_F(BenchPrograms, LauncherEndsWithTheErrorOfAFailedStart)
{
    winRun::CChildProcess launcher;
    ASSERT_TRUE(launcher.Start(LauncherCommand(m_folder.Path() + L"\\missing.exe"), L"", m_environment));
    ASSERT_TRUE(launcher.Wait(kLimitMs));
    EXPECT_EQ(launcher.ExitCode(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(BenchPrograms, LinuxTaskOfARunningProgramHasCpuTimeAndGoesWithIt)
{
    const CNamedEvent started(L"task-started"), slept(L"task-slept"), release(L"task-release");
    m_environment.Set(benchPayload::kStartedEvent, started.Name());
    m_environment.Set(benchPayload::kSleptEvent, slept.Name());
    m_environment.Set(benchPayload::kReleaseEvent, release.Name());
    CBenchRun run(PayloadCommand(), m_environment);
    ASSERT_TRUE(slept.Wait(kLimitMs));

    const std::optional<CLinuxTask> task = CLinuxTask::Find(m_strPayload);
    ASSERT_TRUE(task.has_value());
    const std::optional<ULONGLONG> cpu = task->CpuTimeNs();
    ASSERT_TRUE(cpu.has_value());
    EXPECT_GT(*cpu, 0u) << "a Wine process uses CPU to start";

    release.Set();
    run.WaitForEnd();
    EXPECT_FALSE(CLinuxTask::Find(m_strPayload).has_value());
    // The Linux side may still be reaping the process it has just reported ended.
    const ULONGLONG deadline = GetTickCount64() + kLimitMs;
    while (task->CpuTimeNs() && GetTickCount64() < deadline)
        Sleep(10);
    EXPECT_FALSE(task->CpuTimeNs().has_value());
}

TEST_F(BenchPrograms, LinuxTaskOfAProgramNotRunningIsNone)
{
    EXPECT_FALSE(CLinuxTask::Find(m_folder.Path() + L"\\never-started.exe").has_value());
}

} // namespace
