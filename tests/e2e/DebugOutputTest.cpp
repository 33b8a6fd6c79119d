#include "tests/e2e/CSetupRun.h"
#include "tests/e2e/CTestPlatform.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

struct DebugCase {
    const char* name;
    winRun::DebugMode mode;
    bool bSeesPayload;  // the payload is Setup's child, not Setup itself
};

void PrintTo(const DebugCase& c, std::ostream* os)
{
    *os << c.name;
}

class SetupUnderDebugger : public testing::TestWithParam<DebugCase> {};

TEST_P(SetupUnderDebugger, SeesThePayloadOnlyAsAProcessTree)
{
    CSetupRun run;
    run.SetDebugMode(GetParam().mode);
    run.SetEnvironment(L"E2E_DEBUG_TEXT", L"payload says hello\n");
    run.SetPayloadExitCode(0xC0000005);
    const CSetupResult result = run.Run(L"/status");

    ASSERT_TRUE(result.report) << "the payload did not run";
    EXPECT_EQ(0xC0000005u, result.dwExitCode);
    // Setup's own trace lines, if the trace is on, are not this test's business.
    const std::vector<std::wstring> payloadTexts = {L"payload says hello\n",
                                                   std::wstring(L"narrow ") + CTestPlatform::PayloadId()};
    std::vector<std::wstring> seen;
    for (const winRun::CDebugString& line : result.debugStrings) {
        if (std::find(payloadTexts.begin(), payloadTexts.end(), line.text) != payloadTexts.end())
            seen.push_back(line.text);
    }
    const bool seesPayload = GetParam().bSeesPayload && CTestPlatform::DebuggerSeesPayload();
    EXPECT_EQ(seesPayload ? payloadTexts : std::vector<std::wstring>{}, seen);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, SetupUnderDebugger,
    testing::Values(DebugCase{"ThisProcess", winRun::DebugMode::ThisProcess, false},
                    DebugCase{"ProcessTree", winRun::DebugMode::ProcessTree, true}),
    [](const testing::TestParamInfo<DebugCase>& info) { return std::string(info.param.name); });

} // namespace
