// The installer log as a user's machine gets it: switched on in the machine's
// registry, written by the real Setup under Wine, read back byte for byte.
#include "tests/e2e/CClockSpan.h"
#include "tests/e2e/CRegistrySandbox.h"
#include "tests/e2e/CRemovedFile.h"
#include "tests/e2e/CSetupRun.h"
#include "tests/e2e/CTestPlatform.h"
#include "tests/e2e/CUnusableTempFolder.h"
#include "tests/e2e/CWrittenFile.h"
#include "tests/support/Narrow.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>

namespace {

using testing_support::Narrow;
using winRun::CRegistryValue;

constexpr wchar_t kSwitchKey[] = L"Software\\Quorvel";
constexpr DWORD kSetupFailed = 9000;

std::string Joined(const std::vector<std::wstring>& texts)
{
    std::wstring all;
    for (const std::wstring& text : texts)
        all += text;
    return Narrow(all);
}

std::wstring LogName(DWORD processId)
{
    return L"QVLMSI" + std::to_wstring(processId) + L".log";
}

std::wstring LogPath(const CSetupRun& run, DWORD processId)
{
    return run.TempFolder() + L"\\" + LogName(processId);
}

// The switches of one test; the key starts absent.
class CLogSwitches {
public:
    CLogSwitches() : m_key(HKEY_LOCAL_MACHINE, kSwitchKey) {}

    void Set(const wchar_t* name, const std::optional<CRegistryValue>& value)
    {
        if (value)
            m_key.Set(L"", name, *value);
    }

private:
    CRegistrySandbox m_key;
};

// The header's shape, and a moment within the run. The date is read before
// the time, so just after midnight the pair names the day before.
testing::AssertionResult IsHeaderOfRun(const std::wstring& line, const CSetupResult& result)
{
    static const std::wregex header(
        L"Log started at (\\d{2}):(\\d{2}):(\\d{2}) on (\\d{2})/(\\d{2})/(\\d{2})\\.\r\n");
    std::wsmatch match;
    if (!std::regex_match(line, match, header))
        return testing::AssertionFailure() << "not a header: " << Narrow(line);
    const auto field = [&](int i) { return static_cast<WORD>(std::stoi(match[i].str())); };
    SYSTEMTIME stamp = {};
    stamp.wHour = field(1);
    stamp.wMinute = field(2);
    stamp.wSecond = field(3);
    stamp.wMonth = field(4);
    stamp.wDay = field(5);
    stamp.wYear = static_cast<WORD>(result.stStarted.wYear - result.stStarted.wYear % 100 + field(6));
    const CClockSpan run(result.stStarted, result.stEnded);
    // The header keeps whole seconds only.
    constexpr ULONGLONG kSlackMs = 1000;
    if (run.Holds(stamp, kSlackMs) || run.Holds(CClockSpan::NextDay(stamp), kSlackMs))
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "the header's moment is not within the run: " << Narrow(line);
}

// The file holds a header of this run, then exactly the expected lines.
void ExpectLogFile(const std::wstring& path, const CSetupResult& result, const std::wstring& earlierText,
                   const std::vector<std::wstring>& lines)
{
    const auto file = CWrittenFile::Read(path);
    ASSERT_TRUE(file) << "no log file " << Narrow(path);
    EXPECT_FALSE(file->StartsWithByteOrderMark());
    const std::wstring text = file->Utf16();
    ASSERT_EQ(earlierText, text.substr(0, earlierText.size())) << "the earlier content was not kept";
    const std::size_t headerEnd = text.find(L"\r\n", earlierText.size());
    ASSERT_NE(std::wstring::npos, headerEnd) << Narrow(text);
    const std::wstring header = text.substr(earlierText.size(), headerEnd + 2 - earlierText.size());
    EXPECT_TRUE(IsHeaderOfRun(header, result));
    std::wstring expected = earlierText + header;
    for (const std::wstring& line : lines)
        expected += line;
    EXPECT_EQ(Narrow(expected), Narrow(text));
}

void ExpectDebuggerLines(const CSetupResult& result, const std::vector<std::wstring>& lines)
{
    const std::vector<std::wstring> texts = result.SetupDebugTexts();
    ASSERT_EQ(lines.size() + 1, texts.size()) << "not a header and the report";
    EXPECT_TRUE(IsHeaderOfRun(texts.front(), result));
    EXPECT_EQ(lines, std::vector<std::wstring>(texts.begin() + 1, texts.end()));
}

// ---- One file per Windows version ----

// The report as Wine answers Setup, in a 64-bit, a WOW64 and a 32-bit prefix
// alike; each line without its line end. Under Wine the suite mask has no
// Terminal Services bit and NT 4.0 no "Terminal Server" suite, and the user
// is an administrator. An NT version the probe does not list (6.1) has no
// service pack read. The console session is active, as on Windows; Wine 8.0
// answers no session state, so there its report lacks kActiveSession.
struct VersionCase {
    const wchar_t* version;  // as Wine's AppDefaults Version value spells it
    std::vector<std::wstring> report;
};

const wchar_t kActiveSession[] = L"In Active Session";

const VersionCase kVersions[] = {
    {L"vista", {L"OS Info: NT 6.0 (2020)", L"Service Pack: 2.0", L"Current User is Administrator"}},
    {L"win2008",
     {L"OS Info: NT 6.0 (2020)", L"NT Server", L"Service Pack: 2.0", L"Current User is Administrator"}},
    {L"winxp",
     {L"OS Info: NT 5.1 (2008)", L"Service Pack: 3.0", L"Terminal Services are installed", kActiveSession,
      L"Current User is Administrator"}},
    {L"win2003",
     {L"OS Info: NT 5.2 (2010)", L"NT Server", L"Service Pack: 2.0", L"Terminal Services are installed",
      kActiveSession, L"Current User is Administrator"}},
    {L"win2k", {L"OS Info: NT 5.0 (2004)", L"Service Pack: 4.0", L"Current User is Administrator"}},
    {L"nt40", {L"OS Info: NT 4.0 (2002)", L"Service Pack: 6.0", L"Current User is Administrator"}},
    {L"win7",
     {L"OS Info: NT 6.1 (2000)", L"Terminal Services are installed", kActiveSession,
      L"Current User is Administrator"}},
    {L"win98", {L"OS Info: 9x 4.10 (1002)"}},
};

// The report's lines of that version, each with its line end.
std::vector<std::wstring> ReportOf(const std::wstring& version)
{
    for (const VersionCase& c : kVersions) {
        if (version != c.version)
            continue;
        std::vector<std::wstring> lines;
        for (const std::wstring& line : c.report) {
            if (line != kActiveSession || CTestPlatform::AnswersSessionState())
                lines.push_back(line + L"\r\n");
        }
        return lines;
    }
    ADD_FAILURE() << "no report for " << Narrow(version);
    return {};
}

void PrintTo(const VersionCase& c, std::ostream* os)
{
    *os << Narrow(c.version);
}

class InstallerLogFile : public testing::TestWithParam<VersionCase> {};

TEST_P(InstallerLogFile, HoldsTheHeaderAndTheReportOfThatVersion)
{
    CLogSwitches switches;
    switches.Set(L"DebugLog", CRegistryValue::Dword(1));
    CSetupRun run;
    run.SetWindowsVersion(GetParam().version);
    run.SetDebugMode(winRun::DebugMode::ThisProcess);
    const CSetupResult result = run.Run(L"/status");

    ASSERT_NE(0u, result.dwProcessId);
    ExpectLogFile(LogPath(run, result.dwProcessId), result, L"", ReportOf(GetParam().version));
    EXPECT_EQ("", Joined(result.SetupDebugTexts())) << "the file alone was asked for";
}

INSTANTIATE_TEST_SUITE_P(Versions, InstallerLogFile, testing::ValuesIn(kVersions),
                         [](const testing::TestParamInfo<VersionCase>& info) { return Narrow(info.param.version); });

// ---- Where the lines go, by the switches' values ----

struct SwitchCase {
    const char* name;
    std::optional<CRegistryValue> debugLog;
    std::optional<CRegistryValue> msiDebugLog;
    bool bFile;
    bool bDebugger;
};

void PrintTo(const SwitchCase& c, std::ostream* os)
{
    *os << c.name;
}

class InstallerLogSwitches : public testing::TestWithParam<SwitchCase> {};

TEST_P(InstallerLogSwitches, SendTheLinesWhereTheyAsk)
{
    const SwitchCase& c = GetParam();
    const std::vector<std::wstring> report = ReportOf(L"vista");
    CLogSwitches switches;
    switches.Set(L"DebugLog", c.debugLog);
    switches.Set(L"MsiDebugLog", c.msiDebugLog);
    CSetupRun run;
    run.SetDebugMode(winRun::DebugMode::ThisProcess);
    const CSetupResult result = run.Run(L"/status");

    ASSERT_TRUE(result.report) << "the payload did not run";
    if (c.bFile) {
        ExpectLogFile(LogPath(run, result.dwProcessId), result, L"", report);
    } else {
        EXPECT_TRUE(std::filesystem::is_empty(run.TempFolder())) << "a file was left in the temporary folder";
    }
    if (c.bDebugger) {
        ExpectDebuggerLines(result, report);
    } else {
        EXPECT_EQ("", Joined(result.SetupDebugTexts()));
    }
}

std::optional<CRegistryValue> Dword(DWORD value)
{
    return CRegistryValue::Dword(value);
}

// The value's first four bytes count, whatever its type; longer data counts as 0.
INSTANTIATE_TEST_SUITE_P(
    Values, InstallerLogSwitches,
    testing::Values(SwitchCase{"MsiDebugLog4", std::nullopt, Dword(4), false, true},
                    SwitchCase{"DebugLog1AndMsiDebugLog4", Dword(1), Dword(4), true, true},
                    SwitchCase{"MsiDebugLog5", std::nullopt, Dword(5), true, true},
                    SwitchCase{"DebugLog2", Dword(2), std::nullopt, false, false},
                    SwitchCase{"BothZero", Dword(0), Dword(0), false, false},
                    SwitchCase{"KeyAbsent", std::nullopt, std::nullopt, false, false},
                    SwitchCase{"OneByteBinary5", std::nullopt, CRegistryValue(REG_BINARY, {5}), true, true},
                    // L"1" with its terminator is 31 00 00 00: bit 0x1, not 0x4.
                    SwitchCase{"StringOne", CRegistryValue::String(L"1"), std::nullopt, true, false},
                    SwitchCase{"EightByteNumber", CRegistryValue(REG_QWORD, {5, 0, 0, 0, 0, 0, 0, 0}),
                               std::nullopt, false, false}),
    [](const testing::TestParamInfo<SwitchCase>& info) { return std::string(info.param.name); });

// Setup reads its switches from the registry view of its own build: on 64-bit
// Windows the other view switches nothing; 32-bit Windows has one view only.
TEST(InstallerLogView, IsTheOneOfSetupsOwnBuild)
{
    const REGSAM other = CTestPlatform::OtherView();
    CLogSwitches own;
    CRegistrySandbox elsewhere(HKEY_LOCAL_MACHINE, kSwitchKey, other ? other : KEY_WOW64_64KEY);
    elsewhere.Set(L"", L"MsiDebugLog", CRegistryValue::Dword(4));
    CSetupRun run;
    run.SetDebugMode(winRun::DebugMode::ThisProcess);
    const CSetupResult result = run.Run(L"/status");

    ASSERT_TRUE(result.report) << "the payload did not run";
    if (other)
        EXPECT_EQ("", Joined(result.SetupDebugTexts()));
    else
        ExpectDebuggerLines(result, ReportOf(L"vista"));
}

// ---- A file that cannot be made: the debugger gets the lines instead ----

class InstallerLogWithoutFolder : public testing::TestWithParam<CUnusableTempFolder> {};

TEST_P(InstallerLogWithoutFolder, GoesToTheDebuggerInstead)
{
    const std::vector<std::wstring> report = ReportOf(L"vista");
    CLogSwitches switches;
    switches.Set(L"DebugLog", Dword(1));
    CSetupRun run;
    run.SetTempFolder(GetParam().folder(run));
    run.SetDebugMode(winRun::DebugMode::ThisProcess);
    const CSetupResult result = run.Run(L"/status");

    EXPECT_EQ(kSetupFailed, result.dwExitCode);
    ExpectDebuggerLines(result, report);
    EXPECT_FALSE(std::filesystem::exists(run.TempFolder()));
}

INSTANTIATE_TEST_SUITE_P(Cases, InstallerLogWithoutFolder, testing::ValuesIn(CUnusableTempFolder::All()),
                         CUnusableTempFolder::Name);

// ---- A file of the same name from an earlier process ----

// Under the debugger Setup's process exists before any of its code runs, so
// the file can be made under the name it will use.
TEST(InstallerLogAppend, KeepsAnEarlierRunsLinesWithoutAByteOrderMark)
{
    const std::vector<std::wstring> report = ReportOf(L"vista");
    const std::wstring earlier = L"Log started at 01:02:03 on 04/05/06.\r\nOS Info: NT 6.0 (2020)\r\n";
    CLogSwitches switches;
    switches.Set(L"DebugLog", Dword(1));
    CSetupRun run;
    run.SetDebugMode(winRun::DebugMode::ThisProcess);
    run.SetOnStart([&](DWORD processId) {
        std::ofstream(std::filesystem::path(LogPath(run, processId)), std::ios::binary)
            << CWrittenFile::Utf16Bytes(earlier);
    });
    const CSetupResult result = run.Run(L"/status");

    ExpectLogFile(LogPath(run, result.dwProcessId), result, earlier, report);
}

// ---- A temporary folder at a drive's root ----

struct RootCase {
    const char* name;
    const wchar_t* version;
    bool bCurrentFolderIsRoot;
    bool bWindowsFolder;  // where the file goes, else the root
};

void PrintTo(const RootCase& c, std::ostream* os)
{
    *os << c.name;
}

std::wstring WindowsFolder()
{
    wchar_t folder[MAX_PATH];
    const UINT length = GetWindowsDirectoryW(folder, MAX_PATH);
    return std::wstring(folder, length < MAX_PATH ? length : 0);
}

class InstallerLogAtRoot : public testing::TestWithParam<RootCase> {};

// A root keeps its backslash and gets a second one before the name, which
// the system reads as one. On 9x a temporary folder that is the current
// folder, unit for unit, sends the file to the Windows folder.
TEST_P(InstallerLogAtRoot, FindsItsFolder)
{
    const RootCase& c = GetParam();
    const std::vector<std::wstring> report = ReportOf(c.version);
    const std::wstring root = L"C:\\";
    CLogSwitches switches;
    switches.Set(L"DebugLog", Dword(1));
    CSetupRun run;
    run.SetWindowsVersion(c.version);
    run.SetTempFolder(root);
    if (c.bCurrentFolderIsRoot)
        run.SetCurrentFolder(root);
    run.SetDebugMode(winRun::DebugMode::ThisProcess);
    CRemovedFile inRoot;
    CRemovedFile inWindows;
    run.SetOnStart([&](DWORD processId) {
        inRoot.Watch(root + LogName(processId));
        inWindows.Watch(WindowsFolder() + L"\\" + LogName(processId));
    });
    const CSetupResult result = run.Run(L"/status");

    EXPECT_EQ(0u, result.dwExitCode) << "this version is not installed on";
    const CRemovedFile& expected = c.bWindowsFolder ? inWindows : inRoot;
    const CRemovedFile& other = c.bWindowsFolder ? inRoot : inWindows;
    ExpectLogFile(expected.Path(), result, L"", report);
    EXPECT_FALSE(std::filesystem::exists(other.Path()));
}

INSTANTIATE_TEST_SUITE_P(Cases, InstallerLogAtRoot,
                         testing::Values(RootCase{"Nt", L"winxp", false, false},
                                         RootCase{"NtFromTheRoot", L"winxp", true, false},
                                         RootCase{"NineX", L"win98", false, false},
                                         RootCase{"NineXFromTheRoot", L"win98", true, true}),
                         [](const testing::TestParamInfo<RootCase>& info) { return std::string(info.param.name); });

} // namespace
