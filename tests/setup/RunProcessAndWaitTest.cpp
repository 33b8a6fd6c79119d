#include "setup/RunProcessAndWait.h"

#include "tests/setup/CHookSet.h"
#include "tests/setup/CaseName.h"
#include "tests/setup/TestFiles.h"
#include "tests/support/CTestFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using testing_support::CTestFolder;

constexpr DWORD kUntouched = 0xDEADBEEF;

struct Start {
    std::wstring application;  // "(null)" when none was named
    std::wstring commandLine;
    BOOL inheritHandles;
    DWORD flags;
    bool environmentGiven;
    bool folderGiven;
    STARTUPINFOW startup;
};

// What the runner asked of the system.
struct Record {
    bool failStart = false;
    DWORD startError = 0;
    bool failExitCode = false;
    bool failWait = false;
    // Fails the next allocation only: the runtime's own failure handling allocates too.
    bool failAllocation = false;
    std::size_t failedSize = 0;
    std::vector<Start> starts;
    PROCESS_INFORMATION child = {};
    std::vector<HANDLE> closed;
    std::vector<DWORD> waitTimeouts;
    // Posted to the thread on the first wait for the child.
    void (*postWhileWaiting)() = nullptr;
};

Record g_record;

decltype(&CreateProcessW) RealCreateProcessW;
decltype(&GetExitCodeProcess) RealGetExitCodeProcess;
decltype(&WaitForSingleObject) RealWaitForSingleObject;
decltype(&CloseHandle) RealCloseHandle;
decltype(&std::malloc) RealMalloc;

WINBOOL WINAPI FakeCreateProcessW(LPCWSTR application, LPWSTR commandLine, LPSECURITY_ATTRIBUTES processSecurity,
                                  LPSECURITY_ATTRIBUTES threadSecurity, WINBOOL inheritHandles, DWORD flags,
                                  LPVOID environment, LPCWSTR folder, LPSTARTUPINFOW startup,
                                  LPPROCESS_INFORMATION info)
{
    g_record.starts.push_back({application ? application : L"(null)", commandLine ? commandLine : L"(null)", inheritHandles, flags,
                               environment != nullptr, folder != nullptr, startup ? *startup : STARTUPINFOW{}});
    if (g_record.failStart) {
        SetLastError(g_record.startError);
        return FALSE;
    }
    const WINBOOL started = RealCreateProcessW(application, commandLine, processSecurity, threadSecurity,
                                               inheritHandles, flags, environment, folder, startup, info);
    if (started)
        g_record.child = *info;
    return started;
}

WINBOOL WINAPI FakeGetExitCodeProcess(HANDLE process, LPDWORD exitCode)
{
    if (!g_record.failExitCode)
        return RealGetExitCodeProcess(process, exitCode);
    // A failing call may still have scribbled on its out-parameter.
    *exitCode = 12345;
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

DWORD WINAPI FakeWaitForSingleObject(HANDLE handle, DWORD timeout)
{
    if (handle == g_record.child.hProcess && handle) {
        g_record.waitTimeouts.push_back(timeout);
        if (g_record.waitTimeouts.size() == 1 && g_record.postWhileWaiting)
            g_record.postWhileWaiting();
        if (g_record.failWait) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
    }
    return RealWaitForSingleObject(handle, timeout);
}

WINBOOL WINAPI FakeCloseHandle(HANDLE handle)
{
    if (handle && (handle == g_record.child.hProcess || handle == g_record.child.hThread))
        g_record.closed.push_back(handle);
    return RealCloseHandle(handle);
}

void* __cdecl FakeMalloc(std::size_t size)
{
    if (g_record.failAllocation) {
        g_record.failAllocation = false;
        g_record.failedSize = size;
        return nullptr;
    }
    return RealMalloc(size);
}

class RunProcessAndWaitTest : public testing::Test {
protected:
    void SetUp() override
    {
        g_record = Record{};
        m_hooks.Add("kernel32.dll", "CreateProcessW", &FakeCreateProcessW, RealCreateProcessW);
        m_hooks.Add("kernel32.dll", "GetExitCodeProcess", &FakeGetExitCodeProcess, RealGetExitCodeProcess);
        m_hooks.Add("kernel32.dll", "WaitForSingleObject", &FakeWaitForSingleObject, RealWaitForSingleObject);
        m_hooks.Add("kernel32.dll", "CloseHandle", &FakeCloseHandle, RealCloseHandle);
        m_hooks.Add("msvcrt.dll", "malloc", &FakeMalloc, RealMalloc);
    }

    void TearDown() override { m_hooks.Clear(); }

    // Starting fails with error; the command line is still recorded.
    static void RefuseStart(DWORD error)
    {
        g_record.failStart = true;
        g_record.startError = error;
    }

    static HRESULT RunWithoutMemory(const wchar_t* path, const wchar_t* arguments, DWORD& exitCode)
    {
        g_record.failAllocation = true;
        const HRESULT result = RunProcessAndWait(path, arguments, exitCode);
        g_record.failAllocation = false;
        return result;
    }

    const std::wstring m_cmd = SystemProgram(L"cmd.exe");

private:
    CHookSet m_hooks;
};

struct CommandLineCase {
    const char* name;
    std::wstring path;
    std::wstring arguments;
    std::wstring commandLine;
    std::wstring application = {};  // the path itself unless given
};

void PrintTo(const CommandLineCase& c, std::ostream* os)
{
    *os << c.name;
}

class RunProcessAndWaitCommandLineTest : public RunProcessAndWaitTest,
                                         public testing::WithParamInterface<CommandLineCase> {};

TEST_P(RunProcessAndWaitCommandLineTest, PutsTheQuotedPathOneBlankAndTheArgumentsTogether)
{
    const CommandLineCase& c = GetParam();
    RefuseStart(ERROR_FILE_NOT_FOUND);
    DWORD exitCode = kUntouched;

    EXPECT_EQ(static_cast<HRESULT>(ERROR_FILE_NOT_FOUND), RunProcessAndWait(c.path.c_str(), c.arguments.c_str(), exitCode));

    ASSERT_EQ(1u, g_record.starts.size());
    EXPECT_EQ(c.commandLine, g_record.starts[0].commandLine);
    EXPECT_EQ(c.application.empty() ? c.path : c.application, g_record.starts[0].application)
        << "the program to start is named, never searched for";
    EXPECT_EQ(kUntouched, exitCode);
}

const std::wstring kPlain = L"C:\\Temp\\qvltgl.exe";
const std::wstring kBlank = L"C:\\Users\\Jo Doe\\Temp\\qvltgl.exe";
// 259 units: the longest path the buffer holds.
const std::wstring kLongest = L"C:\\" + std::wstring(252, L'p') + L".exe";
// 258 and 259 units with a blank: their quoted forms are longer than MAX_PATH.
const std::wstring kLongBlank = L"C:\\a b\\" + std::wstring(247, L'p') + L".exe";
const std::wstring kLongestBlank = L"C:\\a b\\" + std::wstring(248, L'p') + L".exe";

INSTANTIATE_TEST_SUITE_P(
    Cases, RunProcessAndWaitCommandLineTest,
    testing::Values(
        CommandLineCase{"PlainPath", kPlain, L"/install", kPlain + L" /install"},
        CommandLineCase{"BlankInPath", kBlank, L"/install", L"\"" + kBlank + L"\" /install"},
        CommandLineCase{"EmptyArguments", kPlain, L"", kPlain + L" "},
        CommandLineCase{"BlankInPathEmptyArguments", kBlank, L"", L"\"" + kBlank + L"\" "},
        CommandLineCase{"ArgumentsUnchanged", kPlain, L"  /showui \"a  b\"\t/x ",
                        kPlain + L"   /showui \"a  b\"\t/x "},
        CommandLineCase{"EmptyPath", L"", L"/status", L"/status", L"(null)"},
        CommandLineCase{"LongestPath", kLongest, L"/x", kLongest + L" /x"},
        CommandLineCase{"TabIsNoBlank", L"C:\\a\tb\\q.exe", L"/x", L"C:\\a\tb\\q.exe /x"},
        CommandLineCase{"QuotedFormLongerThanMaxPath", kLongBlank, L"/x", L"\"" + kLongBlank + L"\" /x"},
        CommandLineCase{"LongestPathWithABlank", kLongestBlank, L"", L"\"" + kLongestBlank + L"\" "}),
    CaseName());

struct RefusedCase {
    const char* name;
    const wchar_t* path;
    const wchar_t* arguments;
};

void PrintTo(const RefusedCase& c, std::ostream* os)
{
    *os << c.name;
}

class RunProcessAndWaitRefusedTest : public RunProcessAndWaitTest,
                                     public testing::WithParamInterface<RefusedCase> {};

TEST_P(RunProcessAndWaitRefusedTest, FailsWithoutStartingAnything)
{
    DWORD exitCode = kUntouched;

    EXPECT_EQ(E_FAIL, RunProcessAndWait(GetParam().path, GetParam().arguments, exitCode));

    EXPECT_TRUE(g_record.starts.empty());
    EXPECT_EQ(kUntouched, exitCode);
}

// A cut path would start some other program.
const std::wstring kTooLong = L"C:\\" + std::wstring(253, L'p') + L".exe";
const std::wstring kFarTooLong = L"C:\\" + std::wstring(400, L'p') + L".exe";

INSTANTIATE_TEST_SUITE_P(
    Cases, RunProcessAndWaitRefusedTest,
    testing::Values(RefusedCase{"NoPath", nullptr, L"/install"},
                    RefusedCase{"NoArguments", kPlain.c_str(), nullptr},
                    RefusedCase{"PathFillsTheBuffer", kTooLong.c_str(), L"/install"},
                    RefusedCase{"PathFarTooLong", kFarTooLong.c_str(), L""}),
    CaseName());

TEST_F(RunProcessAndWaitTest, FailsWithoutStartingWhenTheCommandLineFindsNoMemory)
{
    DWORD exitCode = kUntouched;

    EXPECT_EQ(E_FAIL, RunWithoutMemory(kBlank.c_str(), L"/install", exitCode));

    EXPECT_TRUE(g_record.starts.empty());
    EXPECT_EQ(kUntouched, exitCode);
    // The request was big enough for the quoted path, a blank, the arguments and the end.
    EXPECT_GE(g_record.failedSize, (kBlank.size() + 2 + 1 + 8 + 1) * sizeof(wchar_t));
}

TEST_F(RunProcessAndWaitTest, PassesOnTheErrorOfAMissingProgram)
{
    DWORD exitCode = kUntouched;

    EXPECT_EQ(static_cast<HRESULT>(ERROR_FILE_NOT_FOUND),
              RunProcessAndWait(SystemProgram(L"no-such-program.exe").c_str(), L"/install", exitCode));

    EXPECT_EQ(kUntouched, exitCode);
}

struct StartErrorCase {
    const char* name;
    DWORD error;
};

void PrintTo(const StartErrorCase& c, std::ostream* os)
{
    *os << c.name;
}

class RunProcessAndWaitStartErrorTest : public RunProcessAndWaitTest,
                                        public testing::WithParamInterface<StartErrorCase> {};

TEST_P(RunProcessAndWaitStartErrorTest, PassesTheStartErrorOnUnchanged)
{
    RefuseStart(GetParam().error);
    DWORD exitCode = kUntouched;

    EXPECT_EQ(static_cast<HRESULT>(GetParam().error), RunProcessAndWait(kPlain.c_str(), L"/install", exitCode));

    EXPECT_EQ(kUntouched, exitCode);
}

INSTANTIATE_TEST_SUITE_P(
    Errors, RunProcessAndWaitStartErrorTest,
    testing::Values(StartErrorCase{"BlockedByPolicy", ERROR_ACCESS_DISABLED_BY_POLICY},
                    StartErrorCase{"BadFormat", ERROR_BAD_EXE_FORMAT},
                    StartErrorCase{"NoMemory", ERROR_NOT_ENOUGH_MEMORY},
                    StartErrorCase{"AccessDenied", ERROR_ACCESS_DENIED}),
    CaseName());

TEST_F(RunProcessAndWaitTest, NeverReportsAFailedStartAsSuccess)
{
    RefuseStart(ERROR_SUCCESS);
    DWORD exitCode = kUntouched;

    EXPECT_NE(S_OK, RunProcessAndWait(kPlain.c_str(), L"/install", exitCode));

    EXPECT_EQ(kUntouched, exitCode);
}

struct ExitCase {
    const char* name;
    const wchar_t* arguments;
    DWORD exitCode;
};

void PrintTo(const ExitCase& c, std::ostream* os)
{
    *os << c.name;
}

class RunProcessAndWaitExitTest : public RunProcessAndWaitTest, public testing::WithParamInterface<ExitCase> {};

TEST_P(RunProcessAndWaitExitTest, HandsBackTheChildsExitCodeBitForBit)
{
    DWORD exitCode = kUntouched;

    EXPECT_EQ(S_OK, RunProcessAndWait(m_cmd.c_str(), GetParam().arguments, exitCode));

    EXPECT_EQ(GetParam().exitCode, exitCode);
}

INSTANTIATE_TEST_SUITE_P(
    Children, RunProcessAndWaitExitTest,
    testing::Values(ExitCase{"Zero", L"/c exit 0", 0}, ExitCase{"RebootRequired", L"/c exit 3010", 3010},
                    ExitCase{"AccessViolation", L"/c exit -1073741819", 0xC0000005},
                    ExitCase{"AllBitsSet", L"/c exit -1", 0xFFFFFFFF}),
    CaseName());

TEST_F(RunProcessAndWaitTest, RunsAProgramFromAFolderWithABlank)
{
    CTestFolder folder(L"with blank");
    const std::wstring copy = folder.File(L"child program.exe");
    ASSERT_TRUE(CopyFileW(m_cmd.c_str(), copy.c_str(), FALSE));
    DWORD exitCode = kUntouched;

    EXPECT_EQ(S_OK, RunProcessAndWait(copy.c_str(), L"/c exit 3010", exitCode));

    EXPECT_EQ(3010u, exitCode);
    ASSERT_EQ(1u, g_record.starts.size());
    EXPECT_EQ(L"\"" + copy + L"\" /c exit 3010", g_record.starts[0].commandLine);
}

TEST_F(RunProcessAndWaitTest, LeavesTheExitCodeWhenItCannotBeRead)
{
    g_record.failExitCode = true;
    DWORD exitCode = kUntouched;

    EXPECT_EQ(S_OK, RunProcessAndWait(m_cmd.c_str(), L"/c exit 5", exitCode));

    EXPECT_EQ(kUntouched, exitCode);
}

// The child may still run after a failed wait; its exit code is not known.
TEST_F(RunProcessAndWaitTest, PassesOnTheErrorOfAFailedWaitAndLeavesTheExitCode)
{
    g_record.failWait = true;
    DWORD exitCode = kUntouched;

    EXPECT_EQ(static_cast<HRESULT>(ERROR_INVALID_HANDLE), RunProcessAndWait(m_cmd.c_str(), L"/c exit 5", exitCode));

    EXPECT_EQ(kUntouched, exitCode);
    EXPECT_EQ(2u, g_record.closed.size()) << "process and thread handles are still closed";
}

TEST_F(RunProcessAndWaitTest, StartsAPlainChildAndClosesProcessThenThread)
{
    DWORD exitCode = kUntouched;

    EXPECT_EQ(S_OK, RunProcessAndWait(m_cmd.c_str(), L"/c exit 0", exitCode));

    ASSERT_EQ(1u, g_record.starts.size());
    const Start& start = g_record.starts[0];
    EXPECT_FALSE(start.inheritHandles);
    EXPECT_EQ(0u, start.flags);
    EXPECT_FALSE(start.environmentGiven);
    EXPECT_FALSE(start.folderGiven);
    // Nothing asked of the child's window, desktop or standard handles.
    EXPECT_EQ(sizeof(STARTUPINFOW), start.startup.cb);
    EXPECT_EQ(0u, start.startup.dwFlags);
    EXPECT_EQ(nullptr, start.startup.lpDesktop);
    EXPECT_EQ(nullptr, start.startup.lpTitle);
    EXPECT_EQ((std::vector<HANDLE>{g_record.child.hProcess, g_record.child.hThread}), g_record.closed);
}

TEST_F(RunProcessAndWaitTest, ChildSharesTheCurrentFolderAndEnvironment)
{
    CTestFolder folder;
    WriteBytes(folder.File(L"marker.txt"), "here");
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(folder.AsTempPath().c_str()));
    SetEnvironmentVariableW(L"SETUP_RUNNER_PROBE", L"42");
    DWORD exitCode = kUntouched;

    const HRESULT result =
        RunProcessAndWait(m_cmd.c_str(), L"/c if exist marker.txt exit %SETUP_RUNNER_PROBE%", exitCode);

    SetEnvironmentVariableW(L"SETUP_RUNNER_PROBE", nullptr);
    SetCurrentDirectoryW(previous);
    EXPECT_EQ(S_OK, result);
    EXPECT_EQ(42u, exitCode);
}

// A child that outlives several wait slices, then ends with 7; a wait that ended
// early would read STILL_ACTIVE instead.
constexpr wchar_t kSlowChild[] = L"/c ping -n 2 127.0.0.1 >nul & exit 7";

std::vector<UINT> g_dispatched;
HWND g_window;

LRESULT CALLBACK RecordingWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message >= WM_APP || message == WM_KEYDOWN || message == WM_CHAR)
        g_dispatched.push_back(message);
    return DefWindowProcW(window, message, wParam, lParam);
}

// More than the child's wait slices: the queue is emptied each time, not one message taken.
constexpr int kBurst = 50;

void PostToWindowAndThread()
{
    for (int i = 0; i < kBurst; ++i)
        PostMessageW(g_window, WM_APP + 1, 0, 0);
    // 'A' with its scan code, so that translation yields a character.
    PostMessageW(g_window, WM_KEYDOWN, 'A', 0x001E0001);
    PostThreadMessageW(GetCurrentThreadId(), WM_APP + 3, 0, 0);
    PostMessageW(g_window, WM_APP + 2, 0, 0);
}

void PostQuit()
{
    PostQuitMessage(0);
}

class RunProcessAndWaitMessageTest : public RunProcessAndWaitTest {
protected:
    void SetUp() override
    {
        RunProcessAndWaitTest::SetUp();
        g_dispatched.clear();
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = &RecordingWindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"SetupRunnerTestWindow";
        RegisterClassW(&windowClass);
        // Message-only: needs no display.
        g_window = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   windowClass.hInstance, nullptr);
        ASSERT_NE(nullptr, g_window);
    }

    void TearDown() override
    {
        DestroyWindow(g_window);
        RunProcessAndWaitTest::TearDown();
    }

    static bool QueueHolds(UINT first, UINT last)
    {
        MSG msg;
        return PeekMessageW(&msg, nullptr, first, last, PM_NOREMOVE) != FALSE;
    }
};

TEST_F(RunProcessAndWaitMessageTest, DispatchesMessagesPostedWhileWaiting)
{
    g_record.postWhileWaiting = &PostToWindowAndThread;
    DWORD exitCode = kUntouched;

    EXPECT_EQ(S_OK, RunProcessAndWait(m_cmd.c_str(), kSlowChild, exitCode));

    EXPECT_EQ(7u, exitCode);
    ASSERT_GT(g_record.waitTimeouts.size(), 1u) << "the child ended before any message was posted";
    std::vector<UINT> dispatched = g_dispatched;
    std::sort(dispatched.begin(), dispatched.end());
    std::vector<UINT> posted{WM_KEYDOWN, WM_CHAR, WM_APP + 2};
    posted.insert(posted.begin() + 2, kBurst, WM_APP + 1);
    EXPECT_EQ(posted, dispatched);
    EXPECT_FALSE(QueueHolds(WM_APP + 3, WM_APP + 3)) << "the thread message was left in the queue";
    // Blocking slices of 100 ms, never a busy poll.
    for (DWORD timeout : g_record.waitTimeouts)
        EXPECT_EQ(100u, timeout);
}

TEST_F(RunProcessAndWaitMessageTest, KeepsWaitingAfterAQuitMessage)
{
    g_record.postWhileWaiting = &PostQuit;
    DWORD exitCode = kUntouched;

    EXPECT_EQ(S_OK, RunProcessAndWait(m_cmd.c_str(), kSlowChild, exitCode));

    EXPECT_EQ(7u, exitCode);
    ASSERT_GT(g_record.waitTimeouts.size(), 1u) << "the child ended before the quit was posted";
    EXPECT_FALSE(QueueHolds(WM_QUIT, WM_QUIT)) << "the quit message was not taken";
}

} // namespace
