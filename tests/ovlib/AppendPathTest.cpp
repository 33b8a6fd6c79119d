#include "ovlib/CStringConvert.h"

#include <gtest/gtest.h>

namespace {

struct JoinCase {
    const wchar_t* path;
    const wchar_t* part;
    const wchar_t* joined;
};

class AppendPathTest : public testing::TestWithParam<JoinCase> {};

TEST_P(AppendPathTest, JoinsWithExactlyOneBackslash)
{
    const JoinCase& c = GetParam();
    ovLib::CWideString path(c.path);
    EXPECT_TRUE(ovLib::CStringConvert::AppendPath(path, c.part));
    EXPECT_STREQ(c.joined, path.GetString());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AppendPathTest,
    testing::Values(JoinCase{L"C:\\Temp\\", L"qvltgl.exe", L"C:\\Temp\\qvltgl.exe"},
                    JoinCase{L"C:\\Temp", L"qvltgl.exe", L"C:\\Temp\\qvltgl.exe"},
                    JoinCase{L"C:\\Temp", L"\\sub", L"C:\\Temp\\sub"},
                    JoinCase{L"C:\\Temp\\\\\\", L"\\\\sub", L"C:\\Temp\\sub"},
                    JoinCase{L"", L"x", L"\\x"},
                    JoinCase{L"\\", L"x", L"\\x"},
                    JoinCase{L"C:\\Temp", L"", L"C:\\Temp\\"},
                    JoinCase{L"C:\\Temp", nullptr, L"C:\\Temp\\"},
                    JoinCase{L"C:/Temp/", L"x", L"C:/Temp/\\x"},
                    JoinCase{L"C:\\a\\\\b", L"x", L"C:\\a\\\\b\\x"}),
    [](const testing::TestParamInfo<JoinCase>& info) { return "case" + std::to_string(info.index); });

} // namespace
