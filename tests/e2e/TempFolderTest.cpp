#include "tests/e2e/CSetupRun.h"

#include "tests/e2e/CHeldFile.h"
#include "tests/e2e/CUnusableTempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

constexpr DWORD kSetupFailed = 9000;

class UnusableTempFolder : public testing::TestWithParam<CUnusableTempFolder> {};

// The missing folder fails when the payload's folder cannot be created in it.
TEST_P(UnusableTempFolder, EndsWith9000AndRunsNothing)
{
    CSetupRun run;
    run.SetPayloadExitCode(3010);
    run.SetTempFolder(GetParam().folder(run));
    const CSetupResult result = run.Run(L"/status");

    EXPECT_EQ(kSetupFailed, result.dwExitCode);
    EXPECT_FALSE(result.report) << "the payload ran";
}

INSTANTIATE_TEST_SUITE_P(Cases, UnusableTempFolder, testing::ValuesIn(CUnusableTempFolder::All()),
                         CUnusableTempFolder::Name);

// A payload of the same name in the temporary folder itself, held by another
// program or not, is left as it is: the run has a folder of its own.
TEST(PayloadFile, AnOlderOneInTheTemporaryFolderIsLeftAlone)
{
    CSetupRun run;
    const CHeldFile held(run.SharedPayloadPath(), "older file");
    ASSERT_TRUE(held.IsHeld());
    run.SetPayloadExitCode(7);

    const CSetupResult result = run.Run(L"/enable");

    ASSERT_TRUE(result.report) << "the payload did not run";
    EXPECT_EQ(7u, result.dwExitCode);
    EXPECT_EQ("older file", held.Text()) << "the held file was changed";
}

// A payload that never ran must not pass for one that succeeded.
TEST(PayloadFile, ThatCannotBeStartedIsDeletedAndSetupEndsWith9000)
{
    CSetupRun run;
    run.SetSetupFolder(L"setup-unstartable");
    const CSetupResult result = run.Run(L"/status");

    EXPECT_EQ(9000u, result.dwExitCode);
    EXPECT_TRUE(std::filesystem::is_empty(run.TempFolder())) << "the payload or its folder was left behind";
}

} // namespace
