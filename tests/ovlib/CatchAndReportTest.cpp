#include "ovlib/CCatchInfo.h"
#include "ovlib/CKernel.h"
#include "ovlib/CSplitPath.h"
#include "ovlib/CStringConvert.h"
#include "tests/ovlib/CAllocationFailure.h"
#include "tests/support/CTraceCapture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

using ovLib::CWideString;
using testing::ElementsAre;
using testing::IsEmpty;
using testing_support::CAllocationFailure;
using testing_support::CImportHook;
using testing_support::CTraceCapture;
using Call = CAllocationFailure::Call;

constexpr wchar_t kOutOfMemory[] = L"CAtlException, 0x8007000E\n";

std::wstring Line(const wchar_t* tag, const wchar_t* tail)
{
    return std::wstring(tag) + L" : OVCATCH : " + tail;
}

class CatchAndReportTest : public testing::Test {
protected:
    CAllocationFailure allocation;  // before the capture, so that its own set-up runs unhindered
    CTraceCapture trace;
};

TEST_F(CatchAndReportTest, NullFormatKeepsTargetAndReportsInvalidArgument)
{
    CWideString target(L"kept");
    EXPECT_FALSE(ovLib::CStringConvert::Format(target, nullptr));
    EXPECT_STREQ(L"kept", target);
    EXPECT_THAT(trace.Lines(),
                ElementsAre(Line(L"ovLib::CStringConvert::FormatV(203)", L"CAtlException, 0x80070057\n")));
}

TEST_F(CatchAndReportTest, FormatReplacesTheWholeContent)
{
    CWideString target(L"previous content");
    EXPECT_TRUE(ovLib::CStringConvert::Format(target, L"%s\\%s", L"A", L"B"));
    EXPECT_STREQ(L"A\\B", target);
    EXPECT_THAT(trace.Lines(), IsEmpty());
}

TEST_F(CatchAndReportTest, OtherExceptionsPassThroughUnreported)
{
    EXPECT_THROW(ovLib::CCatchInfo::Run(OVLIB_CATCH_SITE(L"Test::Run(1)"), [] { throw 7; }), int);
    EXPECT_THAT(trace.Lines(), IsEmpty());
}

// Each support operation that catches, driven into a failed heap allocation.
struct HeapFailureCase {
    const char* name;
    Call call;
    int nth;
    bool (*run)(CAllocationFailure& allocation, Call call, int nth);
    std::vector<std::wstring> lines;
};

// Readable in the list of tests instead of a byte dump.
void PrintTo(const HeapFailureCase& c, std::ostream* os)
{
    *os << c.name;
}

bool FormatWithFailure(CAllocationFailure& allocation, Call call, int nth)
{
    CWideString target(L"kept");
    allocation.Arm(call, nth);
    const bool result = ovLib::CStringConvert::Format(target, L"%s", L"text");
    return result || target.Compare(L"kept") != 0;
}

bool AppendPathWithFailure(CAllocationFailure& allocation, Call call, int nth)
{
    CWideString path(L"C:\\Temp");
    allocation.Arm(call, nth);
    return ovLib::CStringConvert::AppendPath(path, L"qvltgl.exe");
}

bool SystemDirectoryWithFailure(CAllocationFailure& allocation, Call call, int nth)
{
    CWideString directory;
    allocation.Arm(call, nth);
    return ovLib::CSplitPath::GetSystemDirectoryW(directory);
}

bool KernelCreateWithFailure(CAllocationFailure& allocation, Call call, int nth)
{
    ovLib::CKernel kernel;
    allocation.Arm(call, nth);
    const bool result = kernel.Create();
    return result || kernel.IsLoaded();
}

class HeapFailureTest : public CatchAndReportTest, public testing::WithParamInterface<HeapFailureCase> {};

TEST_P(HeapFailureTest, ReportsTheExactLineAndFails)
{
    const HeapFailureCase& c = GetParam();
    EXPECT_FALSE(c.run(allocation, c.call, c.nth));
    EXPECT_TRUE(allocation.Failed());
    EXPECT_EQ(c.lines, trace.Lines());
}

INSTANTIATE_TEST_SUITE_P(
    Sites, HeapFailureTest,
    testing::Values(
        HeapFailureCase{"Format", Call::HeapAlloc, 1, FormatWithFailure,
                        {Line(L"ovLib::CStringConvert::FormatV(203)", kOutOfMemory)}},
        HeapFailureCase{"AppendPathCopiesPart", Call::HeapAlloc, 1, AppendPathWithFailure,
                        {Line(L"ovLib::CStringConvert::AppendPath(283)", kOutOfMemory)}},
        HeapFailureCase{"AppendPathGrowsPath", Call::HeapReAlloc, 1, AppendPathWithFailure,
                        {Line(L"ovLib::CStringConvert::AppendPath(283)", kOutOfMemory)}},
        HeapFailureCase{"SystemDirectory", Call::HeapAlloc, 1, SystemDirectoryWithFailure,
                        {Line(L"ovLib::CSplitPath::GetSystemDirectoryW(537)", kOutOfMemory)}},
        HeapFailureCase{"KernelWithoutSystemDirectory", Call::HeapAlloc, 1, KernelCreateWithFailure,
                        {Line(L"ovLib::CSplitPath::GetSystemDirectoryW(537)", kOutOfMemory),
                         L"ovLib::CKernel::Create(110) : CSplitPath::GetSystemDirectory() failed"}},
        HeapFailureCase{"KernelWithoutPathJoin", Call::HeapAlloc, 2, KernelCreateWithFailure,
                        {Line(L"ovLib::CStringConvert::AppendPath(283)", kOutOfMemory),
                         L"ovLib::CKernel::Create(116) : ovLib::CStringConvert::AppendPath() == false\n"}}),
    [](const testing::TestParamInfo<HeapFailureCase>& info) { return std::string(info.param.name); });

// Volatile, so that the compiler cannot drop an allocation that is freed at once.
int* volatile g_intSink = nullptr;
char* volatile g_charSink = nullptr;

void AllocateSingle()
{
    g_intSink = new int(1);
    delete g_intSink;
}

void AllocateArray()
{
    g_intSink = new int[4];
    delete[] g_intSink;
}

// The global allocation operators throw the text the report lines carry.
struct OperatorCase {
    const char* name;
    void (*allocate)();
};

// Readable in the list of tests instead of a byte dump.
void PrintTo(const OperatorCase& c, std::ostream* os)
{
    *os << c.name;
}

class BadAllocationTest : public CatchAndReportTest, public testing::WithParamInterface<OperatorCase> {};

TEST_P(BadAllocationTest, CarriesTheTextBadAllocation)
{
    allocation.Arm(Call::Malloc);
    try {
        GetParam().allocate();
        ADD_FAILURE() << "no exception";
    } catch (const std::bad_alloc& e) {
        EXPECT_STREQ("bad allocation", e.what());
    }
    EXPECT_TRUE(allocation.Failed());
}

TEST_P(BadAllocationTest, IsReportedWithItsText)
{
    allocation.Arm(Call::Malloc);
    EXPECT_FALSE(ovLib::CCatchInfo::Run(OVLIB_CATCH_SITE(L"Test::Run(2)"), GetParam().allocate));
    EXPECT_THAT(trace.Lines(), ElementsAre(L"Test::Run(2) : OVCATCH : std::bad_alloc, bad allocation\n"));
}

INSTANTIATE_TEST_SUITE_P(Operators, BadAllocationTest,
                         testing::Values(OperatorCase{"Single", AllocateSingle},
                                         OperatorCase{"Array", AllocateArray}),
                         [](const testing::TestParamInfo<OperatorCase>& info) { return std::string(info.param.name); });

TEST_F(CatchAndReportTest, HugeRequestFailsWithoutInjection)
{
    volatile std::size_t huge = SIZE_MAX / 4;
    EXPECT_FALSE(ovLib::CCatchInfo::Run(OVLIB_CATCH_SITE(L"Test::Run(3)"),
                                        [&] {
                                            g_charSink = new char[huge];
                                            delete[] g_charSink;
                                        }));
    EXPECT_THAT(trace.Lines(), ElementsAre(L"Test::Run(3) : OVCATCH : std::bad_alloc, bad allocation\n"));
}

// With the text unconvertible the line still comes, with an empty description.
int WINAPI FailingMultiByteToWideChar(UINT, DWORD, LPCCH, int, LPWSTR, int)
{
    SetLastError(ERROR_NO_UNICODE_TRANSLATION);
    return 0;
}

class UnconvertibleTextTest : public CatchAndReportTest {
protected:
    CImportHook conversion{"kernel32.dll", "MultiByteToWideChar",
                           reinterpret_cast<const void*>(&FailingMultiByteToWideChar)};
};

TEST_F(UnconvertibleTextTest, LeavesTheDescriptionEmpty)
{
    allocation.Arm(Call::Malloc);
    EXPECT_FALSE(ovLib::CCatchInfo::Run(OVLIB_CATCH_SITE(L"Test::Run(4)"), AllocateSingle));
    EXPECT_THAT(trace.Lines(), ElementsAre(L"Test::Run(4) : OVCATCH : std::bad_alloc, \n"));
}

} // namespace
