#include "ovlib/CStringConvert.h"
#include "tests/support/CTraceCapture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

namespace {

struct JoinCase {
    const char* name;
    const wchar_t* path;
    const wchar_t* part;
    const wchar_t* joined;
};

// Readable in the list of tests instead of a byte dump.
void PrintTo(const JoinCase& c, std::ostream* os)
{
    *os << c.name;
}

class AppendPathTest : public testing::TestWithParam<JoinCase> {
protected:
    testing_support::CTraceCapture trace;
};

TEST_P(AppendPathTest, JoinsWithExactlyOneBackslash)
{
    const JoinCase& c = GetParam();
    ovLib::CWideString path(c.path);
    EXPECT_TRUE(ovLib::CStringConvert::AppendPath(path, c.part));
    EXPECT_STREQ(c.joined, path.GetString());
    EXPECT_THAT(trace.Lines(), testing::IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AppendPathTest,
    testing::Values(JoinCase{"TrailingBackslash", L"C:\\Temp\\", L"qvltgl.exe", L"C:\\Temp\\qvltgl.exe"},
                    JoinCase{"NoTrailingBackslash", L"C:\\Temp", L"qvltgl.exe", L"C:\\Temp\\qvltgl.exe"},
                    JoinCase{"LeadingBackslash", L"C:\\Temp", L"\\sub", L"C:\\Temp\\sub"},
                    JoinCase{"RunsOnBothSides", L"C:\\Temp\\\\\\", L"\\\\sub", L"C:\\Temp\\sub"},
                    JoinCase{"EmptyPath", L"", L"x", L"\\x"},
                    JoinCase{"BackslashPath", L"\\", L"x", L"\\x"},
                    JoinCase{"EmptyPart", L"C:\\Temp", L"", L"C:\\Temp\\"},
                    JoinCase{"NullPart", L"C:\\Temp", nullptr, L"C:\\Temp\\"},
                    JoinCase{"ForwardSlashKept", L"C:/Temp/", L"x", L"C:/Temp/\\x"},
                    JoinCase{"InteriorRunKept", L"C:\\a\\\\b", L"x", L"C:\\a\\\\b\\x"}),
    [](const testing::TestParamInfo<JoinCase>& info) { return std::string(info.param.name); });

} // namespace
