#include "tests/e2e/CSetupRun.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

struct TailCase {
    const char* name;
    const wchar_t* setupTail;    // what follows Setup's quoted path
    const wchar_t* payloadTail;  // what must follow the payload's path and one blank
};

void PrintTo(const TailCase& c, std::ostream* os)
{
    *os << c.name;
}

class Tail : public testing::TestWithParam<TailCase> {};

TEST_P(Tail, ReachesThePayloadUnchanged)
{
    CSetupRun run;
    const CSetupResult result = run.Run(GetParam().setupTail);

    ASSERT_TRUE(result.report) << "the payload did not run";
    EXPECT_TRUE(run.IsPayloadPath(result.report->modulePath));
    EXPECT_EQ(result.report->modulePath + L" " + GetParam().payloadTail, result.report->commandLine);
    EXPECT_EQ(run.WorkFolder(), result.report->currentFolder) << "the child starts in Setup's folder";
}

// The runtime drops the blanks and tabs between Setup's path and its tail;
// everything after that is passed on as it came.
INSTANTIATE_TEST_SUITE_P(
    Cases, Tail,
    testing::Values(TailCase{"Empty", L"", L""},
                    TailCase{"Switch", L"/status", L"/status"},
                    TailCase{"Quotes", L"/install \"C:\\Program Files\\x\" \"\" \"a", L"/install \"C:\\Program Files\\x\" \"\" \"a"},
                    TailCase{"BackslashesBeforeQuotes", L"\\\"x\\\\\" y\\", L"\\\"x\\\\\" y\\"},
                    TailCase{"TabsAndRunsOfBlanks", L"/a\t/b  \t  /c\t", L"/a\t/b  \t  /c\t"},
                    TailCase{"TrailingBlanks", L"/status   ", L"/status   "},
                    TailCase{"LeadingBlanksAndTabsDropped", L" \t  /status", L"/status"},
                    TailCase{"NonAscii", L"/name=\u00C4rger \u65E5\u672C \U0001F600 \u00DF", L"/name=\u00C4rger \u65E5\u672C \U0001F600 \u00DF"}),
    [](const testing::TestParamInfo<TailCase>& info) { return std::string(info.param.name); });

TEST(TempFolderWithBlank, PayloadPathIsQuoted)
{
    CSetupRun run(L"temp folder with blanks");
    const CSetupResult result = run.Run(L"/showui");

    ASSERT_TRUE(result.report) << "the payload did not run";
    EXPECT_TRUE(run.IsPayloadPath(result.report->modulePath));
    EXPECT_EQ(L"\"" + result.report->modulePath + L"\" /showui", result.report->commandLine);
    EXPECT_TRUE(std::filesystem::is_empty(run.TempFolder()));
}

} // namespace
