#include "ovlib/CKernel.h"
#include "ovlib/COSInfo.h"
#include "ovlib/CSplitPath.h"
#include "ovlib/IsWow64.h"
#include "tests/support/CTraceCapture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

using ovLib::CKernel;
using ovLib::COSInfo;
using testing::ElementsAre;
using testing::IsEmpty;
using testing_support::CImportHook;
using testing_support::CProcAddressHook;
using testing_support::CTraceCapture;

constexpr char kAlwaysLookedUp[] =
    "SetProcessWorkingSetSize;AttachConsole;VerSetConditionMask;VerifyVersionInfoA;VerifyVersionInfoW;"
    "IsWow64Process;ProcessIdToSessionId;WTSGetActiveConsoleSessionId;GetSystemWow64DirectoryW;"
    "GetSystemWow64DirectoryA;";
// ovLib::IsWow64 asks for this one itself before the WOW64 entries.
constexpr char kWow64Question[] = "IsWow64Process;";
constexpr char kWow64Entries[] =
    "Wow64EnableWow64FsRedirection;Wow64DisableWow64FsRedirection;Wow64RevertWow64FsRedirection;";

std::wstring SystemKernelPath()
{
    wchar_t directory[MAX_PATH];
    GetSystemDirectoryW(directory, MAX_PATH);
    return std::wstring(directory) + L"\\KERNEL32.DLL";
}

std::wstring MissingExportLine(const char* name)
{
    return L"ovLib::CModule::GetProc(143) : GetProcAddress() == NULL, " +
           std::wstring(name, name + strlen(name)) + L", 0x0000007F\n";
}

std::map<std::string, const void*> Entries(const CKernel& kernel)
{
    const auto entry = [](auto function) { return reinterpret_cast<const void*>(function); };
    return {{"SetProcessWorkingSetSize", entry(kernel.SetProcessWorkingSetSize)},
            {"AttachConsole", entry(kernel.AttachConsole)},
            {"VerSetConditionMask", entry(kernel.VerSetConditionMask)},
            {"VerifyVersionInfoA", entry(kernel.VerifyVersionInfoA)},
            {"VerifyVersionInfoW", entry(kernel.VerifyVersionInfoW)},
            {"IsWow64Process", entry(kernel.IsWow64Process)},
            {"Wow64EnableWow64FsRedirection", entry(kernel.Wow64EnableWow64FsRedirection)},
            {"ProcessIdToSessionId", entry(kernel.ProcessIdToSessionId)},
            {"WTSGetActiveConsoleSessionId", entry(kernel.WTSGetActiveConsoleSessionId)},
            {"GetSystemWow64DirectoryW", entry(kernel.GetSystemWow64DirectoryW)},
            {"GetSystemWow64DirectoryA", entry(kernel.GetSystemWow64DirectoryA)},
            {"Wow64DisableWow64FsRedirection", entry(kernel.Wow64DisableWow64FsRedirection)},
            {"Wow64RevertWow64FsRedirection", entry(kernel.Wow64RevertWow64FsRedirection)}};
}

// IsWow64Process as this test wants it to answer.
struct FakeWow64 {
    BOOL result = TRUE;
    BOOL flag = FALSE;
    DWORD error = ERROR_SUCCESS;
    int calls = 0;
};
FakeWow64 g_fakeWow64;

BOOL WINAPI FakeIsWow64Process(HANDLE, PBOOL wow64)
{
    ++g_fakeWow64.calls;
    *wow64 = g_fakeWow64.flag;
    SetLastError(g_fakeWow64.error);
    return g_fakeWow64.result;
}

class KernelTableTest : public testing::Test {
protected:
    // The capture configures the trace, whose options load has asked IsWin64
    // already; these tests start from the state before that first question.
    void ForgetWin64Answer()
    {
        COSInfo::isWin64 = false;
        COSInfo::isWin64Known = false;
        COSInfo::m_Kernel.Unload();
        COSInfo::m_Kernel.ResolveEntryPoints(false);
        trace.Clear();
    }

    void AnswerWow64(BOOL result, BOOL flag, DWORD error = ERROR_SUCCESS)
    {
        g_fakeWow64 = FakeWow64{result, flag, error, 0};
        procs.Override("IsWow64Process", reinterpret_cast<const void*>(&FakeIsWow64Process));
    }

    CTraceCapture trace;
    CProcAddressHook procs;
};

// Which entries a full look-up finds, depending on what the kernel lacks.
struct LookupCase {
    const char* name;
    bool underWow64;
    std::vector<const char*> missing;
    bool found;
    std::string asked;
};

// Readable in the list of tests instead of a byte dump.
void PrintTo(const LookupCase& c, std::ostream* os)
{
    *os << c.name;
}

class KernelLookupTest : public KernelTableTest, public testing::WithParamInterface<LookupCase> {};

TEST_P(KernelLookupTest, LooksUpInOrderAndWarnsPerMissingEntry)
{
    const LookupCase& c = GetParam();
    // Answered either way: a 32-bit test program may run under WOW64 for real.
    AnswerWow64(TRUE, c.underWow64);
    for (const char* name : c.missing)
        procs.Override(name, nullptr);

    CKernel kernel;
    EXPECT_EQ(c.found, kernel.Load(SystemKernelPath().c_str()));
    EXPECT_EQ(c.asked, procs.Asked());
    std::vector<std::wstring> warnings;
    for (const char* name : c.missing)
        warnings.push_back(MissingExportLine(name));
    EXPECT_EQ(warnings, trace.Lines());

    for (const auto& [name, entry] : Entries(kernel)) {
        const bool missing = std::find_if(c.missing.begin(), c.missing.end(), [&](const char* m) {
                                 return name == m;
                             }) != c.missing.end();
        const bool lookedUp = c.underWow64 || name.rfind("Wow64", 0) != 0;
        EXPECT_EQ(lookedUp && !missing, entry != nullptr) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Kernels, KernelLookupTest,
    testing::Values(
        LookupCase{"Complete", false, {}, true, std::string(kAlwaysLookedUp) + kWow64Question},
        LookupCase{"WithoutTwoEntries", false, {"AttachConsole", "WTSGetActiveConsoleSessionId"}, false,
                   std::string(kAlwaysLookedUp) + kWow64Question},
        LookupCase{"UnderWow64", true, {}, true, std::string(kAlwaysLookedUp) + kWow64Question + kWow64Entries},
        LookupCase{"UnderWow64WithoutRevert", true, {"Wow64RevertWow64FsRedirection"}, false,
                   std::string(kAlwaysLookedUp) + kWow64Question + kWow64Entries}),
    [](const testing::TestParamInfo<LookupCase>& info) { return std::string(info.param.name); });

TEST_F(KernelTableTest, CreateSucceedsDespiteMissingEntries)
{
    procs.Override("AttachConsole", nullptr);
    procs.Override("IsWow64Process", nullptr);
    CKernel kernel;
    EXPECT_TRUE(kernel.Create());
    EXPECT_TRUE(kernel.IsLoaded());
    EXPECT_EQ(nullptr, kernel.AttachConsole);
    EXPECT_EQ(nullptr, kernel.IsWow64Process);
    EXPECT_NE(nullptr, kernel.VerifyVersionInfoW);
    EXPECT_THAT(trace.Lines(), ElementsAre(MissingExportLine("AttachConsole"), MissingExportLine("IsWow64Process")));
}

TEST_F(KernelTableTest, ResolvingWithoutLibraryChangesNothing)
{
    CKernel kernel;
    ASSERT_TRUE(kernel.Create());
    const auto attachConsole = kernel.AttachConsole;
    ASSERT_NE(nullptr, attachConsole);
    kernel.Unload();
    EXPECT_FALSE(kernel.ResolveEntryPoints(true));
    EXPECT_EQ(attachConsole, kernel.AttachConsole);
    EXPECT_TRUE(kernel.ResolveEntryPoints(false));
    EXPECT_EQ(nullptr, kernel.AttachConsole);
}

TEST_F(KernelTableTest, ProcessTableStartsEmptyAndIsLoadedByTheFirstQuestion)
{
    ForgetWin64Answer();
    EXPECT_FALSE(COSInfo::m_Kernel.IsLoaded());
    EXPECT_EQ(nullptr, COSInfo::m_Kernel.IsWow64Process);
    COSInfo::IsWin64();
    EXPECT_TRUE(COSInfo::m_Kernel.IsLoaded());
    EXPECT_EQ(GetModuleHandleW(L"kernel32.dll"), COSInfo::m_Kernel.GetHandle());
}

TEST_F(KernelTableTest, Wow64ProcessCountsAs64BitWindows)
{
    ForgetWin64Answer();
    AnswerWow64(TRUE, TRUE);
    EXPECT_TRUE(COSInfo::IsWin64());
    EXPECT_NE(nullptr, COSInfo::m_Kernel.Wow64RevertWow64FsRedirection);
    EXPECT_THAT(trace.Lines(), IsEmpty());
}

TEST_F(KernelTableTest, CachedAnswerNeverTouchesTheSystemAgain)
{
    ForgetWin64Answer();
    AnswerWow64(TRUE, TRUE);
    ASSERT_TRUE(COSInfo::IsWin64());
    const std::string asked = procs.Asked();
    AnswerWow64(TRUE, FALSE);
    COSInfo::m_Kernel.Unload();
    EXPECT_TRUE(COSInfo::IsWin64());
    EXPECT_EQ(0, g_fakeWow64.calls);
    EXPECT_EQ(asked, procs.Asked());
    EXPECT_FALSE(COSInfo::m_Kernel.IsLoaded());
}

TEST_F(KernelTableTest, KernelWithoutIsWow64ProcessMeans32BitSilently)
{
    ForgetWin64Answer();
    procs.Override("IsWow64Process", nullptr);
    EXPECT_FALSE(COSInfo::IsWin64());
    EXPECT_TRUE(COSInfo::isWin64Known);
    EXPECT_THAT(trace.Lines(), ElementsAre(MissingExportLine("IsWow64Process")));
}

TEST_F(KernelTableTest, FailedWow64QueryIsReportedAndCachedAsFalse)
{
    ForgetWin64Answer();
    AnswerWow64(FALSE, TRUE, ERROR_ACCESS_DENIED);
    EXPECT_FALSE(COSInfo::IsWin64());
    const int calls = g_fakeWow64.calls;
    EXPECT_FALSE(COSInfo::IsWin64());
    EXPECT_EQ(calls, g_fakeWow64.calls);
    EXPECT_THAT(trace.Lines(),
                ElementsAre(L"ovLib::COSInfo::IsWin64(132) : m_Kernel.IsWow64Process() == FALSE, 0x00000005\n"));
}

TEST_F(KernelTableTest, OnlyAFlagOfExactlyOneMeans64Bit)
{
    ForgetWin64Answer();
    AnswerWow64(TRUE, 2);
    EXPECT_FALSE(COSInfo::IsWin64());
}

// LoadLibraryExW that fails for the kernel while armed.
bool g_failKernelLoad = false;
int g_kernelLoads = 0;
CImportHook* g_loadHook = nullptr;

HMODULE WINAPI FakeLoadLibraryExW(LPCWSTR path, HANDLE file, DWORD flags)
{
    if (path && _wcsicmp(path, SystemKernelPath().c_str()) == 0) {
        ++g_kernelLoads;
        if (g_failKernelLoad) {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return nullptr;
        }
    }
    using LoadFn = HMODULE(WINAPI*)(LPCWSTR, HANDLE, DWORD);
    return g_loadHook->Original<LoadFn>()(path, file, flags);
}

class UnloadableKernelTest : public KernelTableTest {
protected:
    void SetUp() override
    {
        g_failKernelLoad = true;
        g_kernelLoads = 0;
        g_loadHook = &hook;
    }

    CImportHook hook{"kernel32.dll", "LoadLibraryExW", reinterpret_cast<const void*>(&FakeLoadLibraryExW)};
};

TEST_F(UnloadableKernelTest, ReportsThreeLinesInOrderAndTriesAgainNextTime)
{
    ForgetWin64Answer();
    EXPECT_FALSE(COSInfo::IsWin64());
    EXPECT_FALSE(COSInfo::isWin64Known);
    EXPECT_THAT(trace.Lines(),
                ElementsAre(L"ovLib::CModule::Load(116) : LoadLibraryEx() == NULL, " + SystemKernelPath() +
                                L", 0x0000007E\n",
                            L"ovLib::CKernel::Create(124) : Load(_T(\"KERNEL32.DLL\")) == false\n",
                            L"ovLib::COSInfo::IsWin64(123) : m_Kernel.Create() == false\n"));

    trace.Clear();
    g_failKernelLoad = false;
    AnswerWow64(TRUE, TRUE);
    EXPECT_TRUE(COSInfo::IsWin64());
    EXPECT_EQ(2, g_kernelLoads);
    EXPECT_THAT(trace.Lines(), IsEmpty());
}

// ovLib::IsWow64 believes only a call that returns exactly 1 with a flag of exactly 1.
struct Wow64Case {
    const char* name;
    BOOL result;
    BOOL flag;
    bool wow64;
};

// Readable in the list of tests instead of a byte dump.
void PrintTo(const Wow64Case& c, std::ostream* os)
{
    *os << c.name;
}

class IsWow64Test : public KernelTableTest, public testing::WithParamInterface<Wow64Case> {};

TEST_P(IsWow64Test, AsksTheSystemEveryTime)
{
    const Wow64Case& c = GetParam();
    AnswerWow64(c.result, c.flag);
    EXPECT_EQ(c.wow64, ovLib::IsWow64());
    EXPECT_EQ(c.wow64, ovLib::IsWow64());
    EXPECT_EQ(2, g_fakeWow64.calls);
    EXPECT_THAT(trace.Lines(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Answers, IsWow64Test,
                         testing::Values(Wow64Case{"Wow64", 1, 1, true}, Wow64Case{"Native", 1, 0, false},
                                         Wow64Case{"FlagTwo", 1, 2, false}, Wow64Case{"CallFailed", 0, 1, false},
                                         Wow64Case{"CallReturnedTwo", 2, 1, false}),
                         [](const testing::TestParamInfo<Wow64Case>& info) { return std::string(info.param.name); });

TEST_F(KernelTableTest, IsWow64WithoutTheExportIsFalseSilently)
{
    procs.Override("IsWow64Process", nullptr);
    EXPECT_FALSE(ovLib::IsWow64());
    EXPECT_THAT(trace.Lines(), IsEmpty());
}

CImportHook* g_moduleHandleHook = nullptr;

HMODULE WINAPI FakeGetModuleHandleW(LPCWSTR name)
{
    if (name && _wcsicmp(name, L"kernel32.dll") == 0) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    using GetModuleHandleFn = HMODULE(WINAPI*)(LPCWSTR);
    return g_moduleHandleHook->Original<GetModuleHandleFn>()(name);
}

class KernelHandleMissingTest : public KernelTableTest {
protected:
    void SetUp() override { g_moduleHandleHook = &hook; }

    CImportHook hook{"kernel32.dll", "GetModuleHandleW", reinterpret_cast<const void*>(&FakeGetModuleHandleW)};
};

TEST_F(KernelHandleMissingTest, IsWow64ReportsAndSaysNo)
{
    EXPECT_FALSE(ovLib::IsWow64());
    EXPECT_THAT(trace.Lines(), ElementsAre(L"ovLib::IsWow64(51) : GetModuleHandle(\"kernel32.dll\") (0x0000007E)"));
}

} // namespace
