#include "trace/CRegDebugOutput.h"
#include "trace/Trace.h"
#include "tests/ovlib/CAllocationFailure.h"
#include "tests/support/CTraceCapture.h"
#include "tests/support/TraceOptions.h"
#include "tests/trace/CDebugKeyRedirect.h"
#include "tests/trace/CFixedIdentity.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdarg>
#include <string>

namespace {

using testing::ElementsAre;
using testing::IsEmpty;
using testing_support::CDebugKeyRedirect;
using testing_support::CImportHook;
using testing_support::CTraceCapture;

const std::wstring kDebugOutput = std::wstring(CDebugKeyRedirect::kDebugKey) + L"\\DebugOutput";
const std::wstring kModules = kDebugOutput + L"\\Modules";

// The first trace call configures g_DebugOutput from the (redirected) registry.
class TraceInitTest : public testing::Test {
protected:
    const testing_support::CTestKey& Key() const { return redirect.Key(); }

    // Trace on for every type, lines exactly as formatted.
    void SwitchOnPlain() const
    {
        Key().SetNumber(kDebugOutput, L"DebugType", 1);
        for (const wchar_t* flag : {L"PrependThreadId", L"PrependProcessId", L"PrependDateTime",
                                    L"PrependModuleName", L"AppendNewLine", L"PrependType"})
            Key().SetNumber(kDebugOutput, flag, 0);
    }

    CDebugKeyRedirect redirect;
    CTraceCapture trace{CTraceCapture::RecordOnly{}};
};

TEST_F(TraceInitTest, WithoutSwitchesNothingIsWritten)
{
    TraceInfo(L"information");
    TraceError(L"error");
    EXPECT_THAT(trace.Lines(), IsEmpty());
    EXPECT_FALSE(g_DebugOutput.IsEnabled(MessageType::Error));
}

void FirstTraceCall()
{
    testing_support::CFixedIdentity fixed;
    TraceInfo(L"hello %d", 7);
}

TEST_F(TraceInitTest, DebugTypeAloneWritesEveryPrefixToTheDebuggerOnly)
{
    Key().SetNumber(kDebugOutput, L"DebugType", 1);
    FirstTraceCall();
    EXPECT_THAT(trace.Lines(),
                ElementsAre(L"2008-01-15-09-30-05-042 : Setup : 0x0A1C : 0x0B20 : Information : hello 7\r\n"));
    // No file: it would be next to this program, named after the module and the process id.
    wchar_t program[MAX_PATH];
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring file(program);
    file = file.substr(0, file.rfind(L'\\')) + L"\\Setup-0x0A1C.log";
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(file.c_str()));
}

TEST_F(TraceInitTest, CallsDuringTheLoadProduceNothing)
{
    SwitchOnPlain();
    // Each of these makes the load itself trace: a missing key, a value of the wrong type.
    const BYTE fourBytes[] = {1, 0, 0, 0};
    Key().SetRaw(kDebugOutput, L"OutputToDebugger", REG_BINARY, fourBytes, sizeof(fourBytes));
    TraceError(L"after the load");
    EXPECT_THAT(trace.Lines(), ElementsAre(L"after the load"));
}

TEST_F(TraceInitTest, FailedLoadLeavesTheTraceOffForGood)
{
    SwitchOnPlain();
    Key().SetString(kModules, L"Setup", L"on");
    TraceError(L"first");
    TraceError(L"second");
    EXPECT_THAT(trace.Lines(), IsEmpty());
    EXPECT_FALSE(g_DebugOutput.IsEnabled(MessageType::Error));
}

TEST_F(TraceInitTest, ModuleSwitchedOffInAnyCaseSilencesSetup)
{
    SwitchOnPlain();
    Key().SetNumber(kModules, L"setup", 0);
    TraceError(L"silenced");
    EXPECT_THAT(trace.Lines(), IsEmpty());
}

TEST_F(TraceInitTest, ConfiguresOnlyOnce)
{
    SwitchOnPlain();
    TraceError(L"one");
    Key().SetNumber(kDebugOutput, L"DebugType", 0);
    TraceError(L"two");
    EXPECT_THAT(trace.Lines(), ElementsAre(L"one", L"two"));
}

// A trace object whose lock could not be created never configures and never writes.
bool g_failLockCreation = false;
CImportHook* g_lockHook = nullptr;

BOOL WINAPI FakeInitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION section, DWORD spinCount)
{
    if (g_failLockCreation) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    using InitializeFn = BOOL(WINAPI*)(LPCRITICAL_SECTION, DWORD);
    return g_lockHook->Original<InitializeFn>()(section, spinCount);
}

void EmitError(CDebugOutput& output, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    output.Error(format, args);
    va_end(args);
}

class TraceLockTest : public TraceInitTest, public testing::WithParamInterface<bool> {
protected:
    void SetUp() override
    {
        g_lockHook = &hook;
        SwitchOnPlain();
        // Keys present: the load of the object under test writes no lines of its own.
        Key().CreateSubKey(std::wstring(CDebugKeyRedirect::kDebugKey) + L"\\CrashHandler");
        Key().CreateSubKey(kModules);
    }
    void TearDown() override { g_failLockCreation = false; }

    CImportHook hook{"kernel32.dll", "InitializeCriticalSectionAndSpinCount",
                     reinterpret_cast<const void*>(&FakeInitializeCriticalSectionAndSpinCount)};
};

TEST_P(TraceLockTest, WritesOnlyWithALock)
{
    const bool lockCreated = GetParam();
    g_failLockCreation = !lockCreated;
    CRegDebugOutput output(L"Setup");
    g_failLockCreation = false;

    EXPECT_EQ(lockCreated, output.Initialize());
    EmitError(output, L"line %d", 1);
    EXPECT_EQ(lockCreated, output.IsEnabled(MessageType::Error));
    if (lockCreated) {
        EXPECT_THAT(trace.Lines(), ElementsAre(L"line 1"));
    } else {
        EXPECT_THAT(trace.Lines(), IsEmpty());
    }
}

INSTANTIATE_TEST_SUITE_P(Locks, TraceLockTest, testing::Bool(), [](const testing::TestParamInfo<bool>& info) {
    return info.param ? std::string("Created") : std::string("NotCreated");
});

// A module name that is empty, given so or lost to a lack of memory, is filled
// from the program's file name; without a program path it stays empty and the
// module prefix is left out.
bool g_failProgramPath = false;
CImportHook* g_programPathHook = nullptr;

DWORD WINAPI FakeGetModuleFileNameW(HMODULE module, LPWSTR buffer, DWORD size)
{
    if (g_failProgramPath) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    using GetModuleFileNameFn = DWORD(WINAPI*)(HMODULE, LPWSTR, DWORD);
    return g_programPathHook->Original<GetModuleFileNameFn>()(module, buffer, size);
}

struct ModuleNameCase {
    const char* name;
    const wchar_t* moduleName;
    bool nameNotStored;
    bool noProgramPath;
    const wchar_t* line;
};

// Readable in the list of tests instead of a byte dump.
void PrintTo(const ModuleNameCase& c, std::ostream* os)
{
    *os << c.name;
}

class ModuleNameTest : public TraceInitTest, public testing::WithParamInterface<ModuleNameCase> {
protected:
    void SetUp() override { g_programPathHook = &hook; }
    void TearDown() override { g_failProgramPath = false; }

    testing_support::CAllocationFailure allocation;
    CImportHook hook{"kernel32.dll", "GetModuleFileNameW", reinterpret_cast<const void*>(&FakeGetModuleFileNameW)};
};

TEST_P(ModuleNameTest, PrefixesTheNameInForce)
{
    const ModuleNameCase& c = GetParam();
    if (c.nameNotStored)
        allocation.Arm(testing_support::CAllocationFailure::Call::HeapAlloc);
    CRegDebugOutput output(c.moduleName);
    EXPECT_EQ(c.nameNotStored, allocation.Failed());
    g_failProgramPath = c.noProgramPath;

    ovQvl::CDebugOptions options = testing_support::PlainOptions();
    options.DebugOutput.PrependModuleName = 1;
    output.ApplyOptions(options);
    EmitError(output, L"text");
    EXPECT_THAT(trace.Lines(), ElementsAre(c.line));
}

INSTANTIATE_TEST_SUITE_P(
    Names, ModuleNameTest,
    testing::Values(ModuleNameCase{"Given", L"Setup", false, false, L"Setup : text"},
                    ModuleNameCase{"FromProgram", L"", false, false, L"trace_tests : text"},
                    ModuleNameCase{"NotStored", L"Setup", true, false, L"trace_tests : text"},
                    ModuleNameCase{"NoProgramPath", L"", false, true, L"text"}),
    [](const testing::TestParamInfo<ModuleNameCase>& info) { return std::string(info.param.name); });

} // namespace
