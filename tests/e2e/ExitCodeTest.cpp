#include "tests/e2e/CSetupRun.h"
#include "tests/e2e/CTestPlatform.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

namespace {

class ExitCode : public testing::TestWithParam<DWORD> {};

TEST_P(ExitCode, IsThePayloadsBitForBit)
{
    CSetupRun run;
    run.SetPayloadExitCode(GetParam());
    const CSetupResult result = run.Run(L"/status");

    ASSERT_TRUE(result.report) << "the payload did not run";
    EXPECT_EQ(CTestPlatform::PayloadId(), result.report->id) << "the other build of the payload ran";
    EXPECT_EQ(GetParam(), result.dwExitCode);
    EXPECT_TRUE(run.IsPayloadPath(result.report->modulePath));
    EXPECT_TRUE(std::filesystem::is_empty(run.TempFolder())) << "the payload or its folder was left behind";
}

// 259 is STILL_ACTIVE: a code read before the wait had ended would look the same.
INSTANTIATE_TEST_SUITE_P(Codes, ExitCode,
                         testing::Values(0u, 1u, 259u, 3010u, 0x80000000u, 0xC0000005u,
                                         0xFFFFFFFFu),
                         [](const testing::TestParamInfo<DWORD>& info) {
                             char name[16];
                             std::snprintf(name, sizeof(name), "x%08lX", info.param);
                             return std::string(name);
                         });

TEST(SlowPayload, IsWaitedFor)
{
    CSetupRun run;
    run.SetPayloadSleep(1500);
    run.SetPayloadExitCode(3010);
    const CSetupResult result = run.Run(L"/install");

    // The payload writes its report after the pause, just before it ends.
    ASSERT_TRUE(result.report) << "Setup ended before its payload";
    EXPECT_EQ(3010u, result.dwExitCode);
    EXPECT_TRUE(std::filesystem::is_empty(run.TempFolder()));
}

} // namespace
