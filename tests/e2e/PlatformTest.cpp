#include "tests/e2e/CSetupRun.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

struct VersionCase {
    const wchar_t* version;  // as Wine's AppDefaults Version value spells it
    bool bRunsPayload;       // only NT 6.0, workstation or server
};

// Version names are plain ASCII.
std::string Name(const VersionCase& c)
{
    const std::wstring version = c.version;
    return std::string(version.begin(), version.end());
}

void PrintTo(const VersionCase& c, std::ostream* os)
{
    *os << Name(c);
}

class WindowsVersion : public testing::TestWithParam<VersionCase> {};

TEST_P(WindowsVersion, DecidesWhetherThePayloadRuns)
{
    CSetupRun run;
    run.SetWindowsVersion(GetParam().version);
    run.SetPayloadExitCode(3010);
    const CSetupResult result = run.Run(L"/status");

    if (GetParam().bRunsPayload) {
        EXPECT_TRUE(result.report) << "the payload did not run";
        EXPECT_EQ(3010u, result.dwExitCode);
    } else {
        EXPECT_FALSE(result.report) << "the payload ran";
        EXPECT_EQ(0u, result.dwExitCode);
    }
    EXPECT_TRUE(std::filesystem::is_empty(run.TempFolder())) << "a file was left in the temporary folder";
}

INSTANTIATE_TEST_SUITE_P(
    Versions, WindowsVersion,
    testing::Values(VersionCase{L"vista", true}, VersionCase{L"win2008", true},
                    VersionCase{L"win2k", false}, VersionCase{L"winxp", false},
                    VersionCase{L"win2003", false}, VersionCase{L"win7", false},
                    VersionCase{L"win8", false}, VersionCase{L"win10", false},
                    VersionCase{L"win98", false}),
    [](const testing::TestParamInfo<VersionCase>& info) { return Name(info.param); });

} // namespace
