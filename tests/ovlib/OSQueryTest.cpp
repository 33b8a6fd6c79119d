#include "ovlib/COSInfo.h"
#include "ovlib/CSplitPath.h"
#include "tests/support/CFakeVersion.h"
#include "tests/support/CTraceCapture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using ovLib::COSInfo;
using testing::ElementsAre;
using testing::IsEmpty;
using testing_support::CImportHook;
using testing_support::CTraceCapture;

// GetSystemDirectoryW reporting a directory of the chosen length.
struct FakeDirectory {
    std::wstring directory;
    UINT failWith = 0;  // non-zero: return 0 with this error
};
FakeDirectory g_fakeDirectory;

UINT WINAPI FakeGetSystemDirectoryW(LPWSTR buffer, UINT size)
{
    if (g_fakeDirectory.failWith) {
        SetLastError(g_fakeDirectory.failWith);
        return 0;
    }
    const UINT length = static_cast<UINT>(g_fakeDirectory.directory.size());
    if (length + 1 > size) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return length + 1;
    }
    g_fakeDirectory.directory.copy(buffer, length);
    buffer[length] = L'\0';
    return length;
}

struct DirectoryCase {
    const char* name;
    FakeDirectory fake;
    bool found;
    std::vector<std::wstring> lines;
};

// Readable in the list of tests instead of a byte dump.
void PrintTo(const DirectoryCase& c, std::ostream* os)
{
    *os << c.name;
}

std::wstring DirectoryOf(std::size_t length)
{
    return L"C:\\" + std::wstring(length - 3, L'd');
}

class SystemDirectoryTest : public testing::TestWithParam<DirectoryCase> {
protected:
    CTraceCapture trace;
    CImportHook hook{"kernel32.dll", "GetSystemDirectoryW", reinterpret_cast<const void*>(&FakeGetSystemDirectoryW)};
};

TEST_P(SystemDirectoryTest, FitsMaxPathWithItsTerminator)
{
    const DirectoryCase& c = GetParam();
    g_fakeDirectory = c.fake;
    ovLib::CWideString directory(L"previous");
    EXPECT_EQ(c.found, ovLib::CSplitPath::GetSystemDirectoryW(directory));
    EXPECT_EQ(c.found ? c.fake.directory : L"", std::wstring(directory.GetString()));
    EXPECT_EQ(c.found ? static_cast<int>(c.fake.directory.size()) : 0, directory.GetLength());
    EXPECT_EQ(c.lines, trace.Lines());
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, SystemDirectoryTest,
    testing::Values(
        DirectoryCase{"Usual", {L"C:\\windows\\system32"}, true, {}},
        DirectoryCase{"Longest", {DirectoryOf(259)}, true, {}},
        DirectoryCase{"OneTooLong",
                      {DirectoryOf(260)},
                      false,
                      {L"ovLib::CSplitPath::GetSystemDirectoryW(533) : GetSystemDirectory() == 0, 0x0000007A"}},
        DirectoryCase{"Unavailable",
                      {L"", ERROR_ACCESS_DENIED},
                      false,
                      {L"ovLib::CSplitPath::GetSystemDirectoryW(533) : GetSystemDirectory() == 0, 0x00000005"}}),
    [](const testing::TestParamInfo<DirectoryCase>& info) { return std::string(info.param.name); });

TEST(SystemDirectory, IsTheSystemsOwn)
{
    wchar_t expected[MAX_PATH];
    ASSERT_NE(0u, GetSystemDirectoryW(expected, MAX_PATH));
    ovLib::CWideString directory;
    ASSERT_TRUE(ovLib::CSplitPath::GetSystemDirectoryW(directory));
    EXPECT_STREQ(expected, directory);
}

TEST(OSSnapshot, IsTakenBeforeTheEntryPoint)
{
    EXPECT_TRUE(ovLib::g_bOSInfoInitialized);
    EXPECT_TRUE(COSInfo::initialized);
    EXPECT_EQ(sizeof(OSVERSIONINFOEXW), COSInfo::OSVersion.dwOSVersionInfoSize);
    EXPECT_NE(0u, COSInfo::OSVersion.dwMajorVersion);
    EXPECT_NE(0u, COSInfo::SystemInfo.dwPageSize);
}

// GetVersionExW failing the first `failures` calls (the extended record, then the plain one).
struct VersionCase {
    const char* name;
    int failures;
    std::vector<DWORD> sizes;
    std::vector<std::wstring> lines;
};

// Readable in the list of tests instead of a byte dump.
void PrintTo(const VersionCase& c, std::ostream* os)
{
    *os << c.name;
}

class OSSnapshotTest : public testing::TestWithParam<VersionCase> {
protected:
    void SetUp() override
    {
        version.extendedQueryFails = GetParam().failures >= 1;
        version.queryFails = GetParam().failures >= 2;
        version.refusal = ERROR_INVALID_PARAMETER;
        COSInfo::initialized = false;
    }

    CTraceCapture trace;
    testing_support::CFakeVersion version{testing_support::kNt60, testing_support::CFakeVersion::Packed::FromSystem};
};

TEST_P(OSSnapshotTest, FallsBackToThePlainRecordOnce)
{
    const VersionCase& c = GetParam();
    EXPECT_TRUE(COSInfo::InitializeOSInfo());
    EXPECT_TRUE(COSInfo::initialized);
    EXPECT_EQ(c.sizes, version.sizes);
    EXPECT_EQ(c.lines, trace.Lines());

    EXPECT_TRUE(COSInfo::InitializeOSInfo());
    EXPECT_EQ(c.sizes, version.sizes);
}

INSTANTIATE_TEST_SUITE_P(
    Versions, OSSnapshotTest,
    testing::Values(VersionCase{"Extended", 0, {284}, {}}, VersionCase{"PlainOnly", 1, {284, 276}, {}},
                    VersionCase{"Neither",
                                2,
                                {284, 276},
                                {L"ovLib::COSInfo::InitializeOSInfo(1124) : GetVersionEx() == FALSE, 0x00000057"}}),
    [](const testing::TestParamInfo<VersionCase>& info) { return std::string(info.param.name); });

} // namespace
