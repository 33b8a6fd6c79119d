// Command-line tails of 0, 1 and 32,000 units, with quotes, tabs and text
// beyond ASCII, reach the payload as they came.
#include "tests/e2e/CSetupRun.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// The test Setup.exe, built beside the end-to-end driver.
constexpr wchar_t kTestSetup[] = L"..\\e2e\\setup";

// A tail of the given length made of the pieces over and over; it starts
// with a non-blank, which the runtime would otherwise drop.
std::wstring TailOf(std::size_t units, const std::wstring& pieces)
{
    std::wstring tail;
    while (tail.size() < units)
        tail += pieces;
    tail.resize(units);
    // A surrogate pair cut in half would not be text.
    if (!tail.empty() && tail.back() >= 0xD800 && tail.back() <= 0xDBFF)
        tail.back() = L'z';
    return tail;
}

const std::wstring kMixed = L"/a\t\"quoted text\"\\\"x\\\\ \u00DCber\t\u65E5\u672C \U0001F600 \"\" ";

struct TailCase {
    std::string name;
    std::wstring tail;
};

void PrintTo(const TailCase& c, std::ostream* os)
{
    *os << c.name;
}

class TailLength : public testing::TestWithParam<TailCase> {};

TEST_P(TailLength, ReachesThePayloadUnitForUnit)
{
    CSetupRun run;
    run.SetPayloadExitCode(3010);
    run.SetSetupFolder(kTestSetup);

    const CSetupResult result = run.Run(GetParam().tail);

    EXPECT_EQ(3010u, result.dwExitCode);
    ASSERT_TRUE(result.report) << "the payload did not run";
    EXPECT_TRUE(run.IsPayloadPath(result.report->modulePath));
    const std::wstring expected = result.report->modulePath + L" " + GetParam().tail;
    EXPECT_EQ(expected.size(), result.report->commandLine.size());
    EXPECT_TRUE(expected == result.report->commandLine) << "the tail changed on its way";
}

INSTANTIATE_TEST_SUITE_P(Lengths, TailLength,
                         testing::Values(TailCase{"Units0", L""}, TailCase{"Units1", L"x"},
                                         TailCase{"Units1Quote", L"\""},
                                         TailCase{"Units32000Mixed", TailOf(32000, kMixed)},
                                         TailCase{"Units32000Quotes", TailOf(32000, L"\"")},
                                         TailCase{"Units32000Tabs", L"x" + TailOf(31999, L"\t")},
                                         TailCase{"Units32000NonAscii", TailOf(32000, L"\u00E9\u4E2D\U0001F600")}),
                         [](const testing::TestParamInfo<TailCase>& info) { return info.param.name; });

} // namespace
