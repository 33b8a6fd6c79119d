// The Setup.exe of this build with its own companion payloads, started as a
// user starts it: the companion runs with the tail and Setup ends with its code.
#include "tests/e2e/CSetupRun.h"
#include "tests/e2e/CTestPlatform.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

struct RequestCase {
    const char* name;
    const wchar_t* version;
    const wchar_t* tail;
    DWORD dwExitCode;
    std::vector<std::wstring> companionLines;  // its debugger output
};

void PrintTo(const RequestCase& c, std::ostream* os)
{
    *os << c.name;
}

class ShippedSetupRun : public testing::TestWithParam<RequestCase> {};

TEST_P(ShippedSetupRun, EndsWithTheCompanionsCode)
{
    const RequestCase& c = GetParam();
    CSetupRun run;
    run.SetSetupFolder(L"shipped");
    run.SetWindowsVersion(c.version);
    run.SetDebugMode(winRun::DebugMode::ProcessTree);
    const CSetupResult result = run.Run(c.tail);

    EXPECT_EQ(c.dwExitCode, result.dwExitCode);
    EXPECT_EQ(CTestPlatform::DebuggerSeesPayload() ? c.companionLines : std::vector<std::wstring>{},
              result.PayloadDebugTexts());
    EXPECT_TRUE(std::filesystem::is_empty(run.TempFolder())) << "a file was left in the temporary folder";
}

RequestCase Asked(const char* name, const wchar_t* tail, const wchar_t* what)
{
    return {name, L"vista", tail, 0, {std::wstring(L"qvltgl: asked to ") + what + L"\n"}};
}

INSTANTIATE_TEST_SUITE_P(
    Requests, ShippedSetupRun,
    testing::Values(Asked("Enable", L"/enable", L"enable"), Asked("Disable", L"/disable", L"disable"),
                    Asked("Install", L"/install", L"install"), Asked("Uninstall", L"/uninstall", L"uninstall"),
                    Asked("ShowUi", L"/showui", L"showui"), Asked("Status", L"/status", L"status"),
                    Asked("UpperCase", L"/STATUS", L"status"),
                    RequestCase{"Unknown", L"vista", L"/repair", ERROR_INVALID_PARAMETER, {L"qvltgl: unknown request\n"}},
                    RequestCase{"EmptyTail", L"vista", L"", ERROR_INVALID_PARAMETER, {L"qvltgl: unknown request\n"}},
                    RequestCase{"NotNt60", L"winxp", L"/status", 0, {}}),
    [](const testing::TestParamInfo<RequestCase>& info) { return std::string(info.param.name); });

} // namespace
