// The platform facts are gathered once per process, so each of these tests
// needs a process of its own, as ctest runs them.
#include "setup/CInstaller.h"

#include "ovlib/CUniqueHandle.h"
#include "tests/setup/CHookSet.h"
#include "tests/setup/CaseName.h"
#include "tests/setup/TestFiles.h"
#include "tests/support/CFakeVersion.h"
#include "tests/support/CTestFolder.h"
#include "tests/support/CTraceCapture.h"
#include "tests/support/PrivatePayloadPath.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <memory>
#include <string>
#include <vector>

namespace {

using testing_support::CFakeVersion;
using testing_support::CTestFolder;
using testing_support::FakeVersionRecord;
using testing_support::kNt60;

constexpr DWORD kUntouched = 0xDEADBEEF;

enum class Temp { Folder, Fails, NeedsMaxPath, NeedsMore };
enum class Wow64 { Absent, No, Yes };

struct Record {
    Temp temp = Temp::Folder;
    std::wstring folder;
    bool refuseStart = false;
    DWORD childExit = 0;
    bool holdPayloadOpen = false;
    HANDLE payloadHolder = INVALID_HANDLE_VALUE;
    bool failExitCode = false;
    int resourceLookups = 0;
    std::vector<std::wstring> commandLines;
    std::vector<std::wstring> programs;  // the programs named to start
    std::string payloadAtStart;
    std::vector<std::wstring> boxes;
};

Record g_record;

decltype(&GetTempPathW) RealGetTempPathW;
decltype(&FindResourceW) RealFindResourceW;
decltype(&CreateProcessW) RealCreateProcessW;
decltype(&GetExitCodeProcess) RealGetExitCodeProcess;
decltype(&MessageBoxW) RealMessageBoxW;

DWORD WINAPI FakeGetTempPathW(DWORD length, LPWSTR buffer)
{
    switch (g_record.temp) {
    case Temp::Fails:
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    case Temp::NeedsMaxPath:
        return MAX_PATH;  // a folder of 259 units, the buffer left unfilled
    case Temp::NeedsMore:
        return 300;
    default:
        if (g_record.folder.size() >= length)
            return static_cast<DWORD>(g_record.folder.size() + 1);
        wcscpy(buffer, g_record.folder.c_str());
        return static_cast<DWORD>(g_record.folder.size());
    }
}

HRSRC WINAPI FakeFindResourceW(HMODULE module, LPCWSTR name, LPCWSTR type)
{
    ++g_record.resourceLookups;
    return RealFindResourceW(module, name, type);
}

using testing_support::FolderEntries;
using testing_support::IsPrivatePayloadPath;

// Records what would start and runs a system program ending with the payload's
// exit code in its place.
WINBOOL WINAPI FakeCreateProcessW(LPCWSTR application, LPWSTR commandLine, LPSECURITY_ATTRIBUTES processSecurity,
                                  LPSECURITY_ATTRIBUTES threadSecurity, WINBOOL inheritHandles, DWORD flags,
                                  LPVOID environment, LPCWSTR folder, LPSTARTUPINFOW startup,
                                  LPPROCESS_INFORMATION info)
{
    g_record.commandLines.push_back(commandLine ? commandLine : L"(null)");
    const std::wstring payload = application ? application : L"(null)";
    g_record.programs.push_back(payload);
    g_record.payloadAtStart = ReadBytes(payload);
    if (g_record.refuseStart) {
        SetLastError(ERROR_ACCESS_DISABLED_BY_POLICY);
        return FALSE;
    }
    // A running image cannot be deleted.
    if (g_record.holdPayloadOpen)
        g_record.payloadHolder = CreateFileW(payload.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                             OPEN_EXISTING, 0, nullptr);
    std::wstring stand_in = L"\"" + SystemProgram(L"cmd.exe") + L"\" /c exit " +
                            std::to_wstring(static_cast<int>(g_record.childExit));
    return RealCreateProcessW(nullptr, &stand_in[0], processSecurity, threadSecurity, inheritHandles, flags,
                              environment, folder, startup, info);
}

WINBOOL WINAPI FakeGetExitCodeProcess(HANDLE process, LPDWORD exitCode)
{
    if (!g_record.failExitCode)
        return RealGetExitCodeProcess(process, exitCode);
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
}

int WINAPI FakeMessageBoxW(HWND, LPCWSTR text, LPCWSTR, UINT)
{
    g_record.boxes.push_back(text ? text : L"(null)");
    return IDOK;
}

BOOL WINAPI FakeIsWow64ProcessYes(HANDLE, PBOOL wow64)
{
    *wow64 = TRUE;
    return TRUE;
}

BOOL WINAPI FakeIsWow64ProcessNo(HANDLE, PBOOL wow64)
{
    *wow64 = FALSE;
    return TRUE;
}

class InstallTest : public testing::Test {
protected:
    void SetUp() override
    {
        g_record = Record{};
        m_folder = std::make_unique<CTestFolder>(WantsBlankFolder() ? L"with blank" : L"");
        g_record.folder = m_folder->AsTempPath();
        m_hooks.Add("kernel32.dll", "GetTempPathW", &FakeGetTempPathW, RealGetTempPathW);
        m_hooks.Add("kernel32.dll", "FindResourceW", &FakeFindResourceW, RealFindResourceW);
        m_hooks.Add("kernel32.dll", "CreateProcessW", &FakeCreateProcessW, RealCreateProcessW);
        m_hooks.Add("kernel32.dll", "GetExitCodeProcess", &FakeGetExitCodeProcess, RealGetExitCodeProcess);
        m_hooks.Add("user32.dll", "MessageBoxW", &FakeMessageBoxW, RealMessageBoxW);
        m_procAddresses = std::make_unique<testing_support::CProcAddressHook>();
        SetWow64(Wow64::No);
    }

    void TearDown() override
    {
        m_procAddresses.reset();
        m_hooks.Clear();
        if (g_record.payloadHolder != INVALID_HANDLE_VALUE)
            CloseHandle(g_record.payloadHolder);
    }

    virtual bool WantsBlankFolder() const { return false; }

    void SetWow64(Wow64 wow64)
    {
        switch (wow64) {
        case Wow64::Absent:
            m_procAddresses->Override("IsWow64Process", nullptr);
            break;
        case Wow64::No:
            m_procAddresses->Override("IsWow64Process", reinterpret_cast<const void*>(&FakeIsWow64ProcessNo));
            break;
        case Wow64::Yes:
            m_procAddresses->Override("IsWow64Process", reinterpret_cast<const void*>(&FakeIsWow64ProcessYes));
            break;
        }
    }

    // Nothing was written, run or shown.
    void ExpectNothingDone() const
    {
        EXPECT_EQ(0, g_record.resourceLookups);
        EXPECT_TRUE(g_record.commandLines.empty());
        EXPECT_TRUE(g_record.boxes.empty());
        EXPECT_EQ(std::vector<std::wstring>{}, FolderEntries(g_record.folder));
    }

    std::unique_ptr<CTestFolder> m_folder;
    CFakeVersion m_version{kNt60, CFakeVersion::Packed::FromSystem};
    std::unique_ptr<testing_support::CProcAddressHook> m_procAddresses;
    CHookSet m_hooks;
};

struct RunCase {
    const char* name;
    Wow64 wow64;
    bool blankFolder;
    const wchar_t* tail;
    DWORD childExit;
};

void PrintTo(const RunCase& c, std::ostream* os)
{
    *os << c.name;
}

class InstallRunTest : public InstallTest, public testing::WithParamInterface<RunCase> {
protected:
    bool WantsBlankFolder() const override { return GetParam().blankFolder; }
};

TEST_P(InstallRunTest, RunsTheMatchingPayloadWithTheTailAndPassesItsExitCodeOn)
{
    const RunCase& c = GetParam();
    SetWow64(c.wow64);
    g_record.childExit = c.childExit;
    DWORD exitCode = kUntouched;

    EXPECT_TRUE(CInstaller().Install(c.tail, exitCode));

    EXPECT_EQ(c.childExit, exitCode);
    ASSERT_EQ(1u, g_record.commandLines.size());
    const std::wstring path = g_record.programs[0];
    EXPECT_TRUE(IsPrivatePayloadPath(g_record.folder, path));
    const std::wstring program = c.blankFolder ? L"\"" + path + L"\"" : path;
    EXPECT_EQ(program + L" " + c.tail, g_record.commandLines[0]);
    EXPECT_EQ(c.wow64 == Wow64::Yes ? kPayload64Bytes : kPayload32Bytes, g_record.payloadAtStart);
    EXPECT_EQ(std::vector<std::wstring>{}, FolderEntries(g_record.folder)) << "the payload or its folder was left";
    EXPECT_TRUE(g_record.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InstallRunTest,
    testing::Values(RunCase{"Native32", Wow64::No, false, L"/install", 3010},
                    RunCase{"UnderWow64", Wow64::Yes, false, L"/status", 0},
                    RunCase{"NoWow64Query", Wow64::Absent, false, L"/enable", 1},
                    RunCase{"PayloadCrashed", Wow64::No, false, L"/disable", 0xC0000005},
                    RunCase{"BlankInFolderEmptyTail", Wow64::Yes, true, L"", 3010},
                    RunCase{"TailKeptAsIs", Wow64::No, true, L" /uninstall  \"x y\" ", 0xFFFFFFFF}),
    CaseName());

struct PlatformCase {
    const char* name;
    FakeVersionRecord version;
    bool supported;
};

void PrintTo(const PlatformCase& c, std::ostream* os)
{
    *os << c.name;
}

class InstallPlatformTest : public InstallTest, public testing::WithParamInterface<PlatformCase> {};

TEST_P(InstallPlatformTest, GoesOnOnlyOnNt60)
{
    m_version.record = GetParam().version;
    g_record.childExit = 42;
    DWORD exitCode = kUntouched;

    const bool ran = CInstaller().Install(L"/install", exitCode);

    if (GetParam().supported) {
        EXPECT_TRUE(ran);
        EXPECT_EQ(42u, exitCode);
        EXPECT_EQ(1u, g_record.commandLines.size());
    } else {
        EXPECT_FALSE(ran);
        EXPECT_EQ(0u, exitCode);
        ExpectNothingDone();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Versions, InstallPlatformTest,
    testing::Values(PlatformCase{"Vista", kNt60, true},
                    PlatformCase{"Server2008Sp2", {VER_PLATFORM_WIN32_NT, 6, 0, 2, 0, VER_NT_SERVER}, true},
                    PlatformCase{"Xp", {VER_PLATFORM_WIN32_NT, 5, 1, 3, 0, VER_NT_WORKSTATION}, false},
                    PlatformCase{"Server2003", {VER_PLATFORM_WIN32_NT, 5, 2, 2, 0, VER_NT_SERVER}, false},
                    PlatformCase{"Seven", {VER_PLATFORM_WIN32_NT, 6, 1, 1, 0, VER_NT_WORKSTATION}, false},
                    PlatformCase{"Ten", {VER_PLATFORM_WIN32_NT, 10, 0, 0, 0, VER_NT_WORKSTATION}, false},
                    PlatformCase{"Nt4", {VER_PLATFORM_WIN32_NT, 4, 0, 6, 0, VER_NT_WORKSTATION}, false},
                    PlatformCase{"Win98", {VER_PLATFORM_WIN32_WINDOWS, 4, 10, 0, 0, 0}, false},
                    PlatformCase{"WinMe", {VER_PLATFORM_WIN32_WINDOWS, 4, 90, 0, 0, 0}, false}),
    CaseName());

struct TempCase {
    const char* name;
    Temp temp;
};

void PrintTo(const TempCase& c, std::ostream* os)
{
    *os << c.name;
}

class InstallTempFolderTest : public InstallTest, public testing::WithParamInterface<TempCase> {};

TEST_P(InstallTempFolderTest, EndsWith9000WhenThereIsNoUsableTemporaryFolder)
{
    g_record.temp = GetParam().temp;
    testing_support::CTraceCapture trace;
    DWORD exitCode = kUntouched;

    EXPECT_FALSE(CInstaller().Install(L"/install", exitCode));

    EXPECT_EQ(9000u, exitCode);
    ExpectNothingDone();
    EXPECT_EQ((std::vector<std::wstring>{L"CInstaller::Install(74) : Failed to GetTempPath"}), trace.Lines());
}

INSTANTIATE_TEST_SUITE_P(
    Failures, InstallTempFolderTest,
    testing::Values(TempCase{"QueryFails", Temp::Fails}, TempCase{"NeedsMaxPath", Temp::NeedsMaxPath},
                    TempCase{"NeedsMore", Temp::NeedsMore}),
    CaseName());

// The payload cannot be written when its folder cannot be made.
TEST_F(InstallTest, EndsWith9000AfterOneBoxWhenThePrivateFolderCannotBeMade)
{
    g_record.folder += L"missing\\";
    DWORD exitCode = kUntouched;

    EXPECT_FALSE(CInstaller().Install(L"/install", exitCode));

    EXPECT_EQ(9000u, exitCode);
    EXPECT_EQ((std::vector<std::wstring>{L"create file"}), g_record.boxes);
    EXPECT_TRUE(g_record.commandLines.empty());
}

// A file of the payload's name in the temporary folder itself, even one held
// by another program, is none of this run's business.
TEST_F(InstallTest, LeavesAnOlderPayloadInTheTemporaryFolderAlone)
{
    const std::wstring olderPath = g_record.folder + L"qvltgl.exe";
    const std::string older = "older payload in use";
    WriteBytes(olderPath, older);
    ovLib::CFileHandle user(
        CreateFileW(olderPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(user.valid());
    g_record.childExit = 3010;
    DWORD exitCode = kUntouched;

    EXPECT_TRUE(CInstaller().Install(L"/install", exitCode));

    EXPECT_EQ(3010u, exitCode);
    EXPECT_TRUE(g_record.boxes.empty());
    user.reset();
    EXPECT_EQ(older, ReadBytes(olderPath));
    EXPECT_EQ(std::vector<std::wstring>{L"qvltgl.exe"}, FolderEntries(g_record.folder));
}

// A payload that never ran is Setup's failure, not a success of the payload.
TEST_F(InstallTest, EndsWith9000AndDeletesThePayloadWhenItCannotBeStarted)
{
    g_record.refuseStart = true;
    testing_support::CTraceCapture trace;
    DWORD exitCode = kUntouched;

    EXPECT_FALSE(CInstaller().Install(L"/install", exitCode));

    EXPECT_EQ(9000u, exitCode);
    EXPECT_EQ((std::vector<std::wstring>{L"CInstaller::Install(97) : RunProcessAndWait() != S_OK, 0x000004EC"}),
              trace.Lines());
    EXPECT_EQ(1u, g_record.commandLines.size());
    EXPECT_EQ(kPayload32Bytes, g_record.payloadAtStart);
    EXPECT_EQ(std::vector<std::wstring>{}, FolderEntries(g_record.folder));
    EXPECT_TRUE(g_record.boxes.empty());
}

TEST_F(InstallTest, EndsWith0WhenThePayloadsExitCodeCannotBeRead)
{
    g_record.failExitCode = true;
    g_record.childExit = 3010;
    DWORD exitCode = kUntouched;

    EXPECT_TRUE(CInstaller().Install(L"/install", exitCode));

    EXPECT_EQ(0u, exitCode);
    EXPECT_EQ(std::vector<std::wstring>{}, FolderEntries(g_record.folder));
}

// What is still held after the bounded retries stays; the next run removes
// it once nothing holds it any more.
TEST_F(InstallTest, PassesTheExitCodeOnWhenThePayloadCannotBeDeletedAndTheNextRunRemovesIt)
{
    g_record.holdPayloadOpen = true;
    g_record.childExit = 3010;
    DWORD exitCode = kUntouched;

    EXPECT_TRUE(CInstaller().Install(L"/install", exitCode));

    EXPECT_EQ(3010u, exitCode);
    ASSERT_NE(INVALID_HANDLE_VALUE, g_record.payloadHolder);
    ASSERT_EQ(1u, g_record.programs.size());
    const std::wstring left = g_record.programs[0];
    EXPECT_EQ(kPayload32Bytes, ReadBytes(left));

    CloseHandle(g_record.payloadHolder);
    g_record.payloadHolder = INVALID_HANDLE_VALUE;
    g_record.holdPayloadOpen = false;
    EXPECT_TRUE(CInstaller().Install(L"/install", exitCode));
    EXPECT_EQ(std::vector<std::wstring>{}, FolderEntries(g_record.folder)) << "the leftover was not removed";
}

} // namespace
