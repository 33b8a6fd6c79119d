// The diagnostic trace of the real Setup, switched on in the machine's
// registry and made to report a real failure: a temporary folder that cannot
// be found. Under Wine that is a TMP longer than MAX_PATH.
#include "tests/e2e/CClockSpan.h"
#include "tests/e2e/CHeldFile.h"
#include "tests/e2e/CRegistrySandbox.h"
#include "tests/e2e/CRemovedFile.h"
#include "tests/e2e/CSetupRun.h"
#include "tests/e2e/CTestPlatform.h"
#include "tests/e2e/CWrittenFile.h"
#include "tests/support/CTestFolder.h"
#include "tests/support/Narrow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <optional>
#include <regex>

namespace {

using testing_support::CTestFolder;
using testing_support::Narrow;
using winRun::CRegistryValue;

constexpr DWORD kSetupFailed = 9000;
constexpr wchar_t kSandboxKey[] = L"Software\\Quorvel";
constexpr wchar_t kOutputKey[] = L"Orvane\\Debug\\DebugOutput";
constexpr wchar_t kModulesKey[] = L"Orvane\\Debug\\DebugOutput\\Modules";
constexpr wchar_t kCrashKey[] = L"Orvane\\Debug\\CrashHandler";
constexpr wchar_t kMessage[] = L"CInstaller::Install(74) : Failed to GetTempPath";

struct Setting {
    const wchar_t* key;  // below the sandbox key
    const wchar_t* name;
    std::optional<CRegistryValue> value;  // none: left out of the common settings
};

enum class Directory { TestFolder, TestFolderWithTwoBackslashes, Unset };
enum class FileName { None, WithProcessId, WithoutProcessId };

struct TraceCase {
    const char* name;
    bool bCommon;  // start from the common settings: every switch on, errors only
    std::vector<Setting> settings;
    Directory directory;
    bool bOtherView;  // the settings go into the registry view Setup does not read
    // What the run leaves: the one line on the debugger, in a file, and its form.
    bool bDebugger;
    FileName file;
    bool bPrefixes;
    bool bNewLine;
};

void PrintTo(const TraceCase& c, std::ostream* os)
{
    *os << c.name;
}

std::vector<Setting> CommonSettings()
{
    std::vector<Setting> settings = {{kOutputKey, L"DebugType", CRegistryValue::Dword(3)}};
    for (const wchar_t* flag : {L"OutputToDebugger", L"OutputToFile", L"AppendProcessIdToFile", L"PrependThreadId",
                                L"PrependProcessId", L"PrependDateTime", L"PrependModuleName", L"PrependType",
                                L"AppendNewLine"})
        settings.push_back({kOutputKey, flag, CRegistryValue::Dword(1)});
    return settings;
}

// The case's settings replace common ones of the same place.
void ApplySettings(const TraceCase& c, const std::wstring& folder, CRegistrySandbox& sandbox)
{
    std::vector<Setting> settings = c.bCommon ? CommonSettings() : std::vector<Setting>{};
    if (c.directory != Directory::Unset) {
        const std::wstring tail = c.directory == Directory::TestFolderWithTwoBackslashes ? L"\\\\" : L"";
        settings.push_back({kOutputKey, L"Directory", CRegistryValue::String(folder + tail)});
    }
    for (const Setting& setting : c.settings) {
        const auto same = std::find_if(settings.begin(), settings.end(), [&](const Setting& s) {
            return std::wcscmp(s.key, setting.key) == 0 && std::wcscmp(s.name, setting.name) == 0;
        });
        if (same != settings.end())
            settings.erase(same);
        settings.push_back(setting);
    }
    for (const Setting& setting : settings) {
        if (setting.value)
            sandbox.Set(setting.key, setting.name, *setting.value);
    }
}

std::wstring Hex4(DWORD value)
{
    wchar_t text[16];
    std::swprintf(text, 16, L"%04X", static_cast<unsigned>(value));
    return text;
}

// The line's form; its time within the run and its process id Setup's.
testing::AssertionResult IsTraceLineOfRun(const std::wstring& line, const TraceCase& c, const CSetupResult& result)
{
    static const std::wstring prefixes =
        L"(\\d{4})-(\\d{2})-(\\d{2})-(\\d{2})-(\\d{2})-(\\d{2})-(\\d{3}) : Setup : 0x([0-9A-F]{4,}) : "
        L"0x[0-9A-F]{4,} : Error : ";
    static const std::wstring message = L"CInstaller::Install\\(74\\) : Failed to GetTempPath";
    const std::wregex form((c.bPrefixes ? prefixes : L"") + message + (c.bNewLine ? L"\r\n" : L""));
    std::wsmatch match;
    if (!std::regex_match(line, match, form))
        return testing::AssertionFailure() << "not the expected line: " << Narrow(line);
    if (!c.bPrefixes)
        return testing::AssertionSuccess();

    const auto field = [&](int i) { return static_cast<WORD>(std::stoi(match[i].str())); };
    SYSTEMTIME stamp = {};
    stamp.wYear = field(1);
    stamp.wMonth = field(2);
    stamp.wDay = field(3);
    stamp.wHour = field(4);
    stamp.wMinute = field(5);
    stamp.wSecond = field(6);
    stamp.wMilliseconds = field(7);
    constexpr ULONGLONG kSlackMs = 50;
    if (!CClockSpan(result.stStarted, result.stEnded).Holds(stamp, kSlackMs))
        return testing::AssertionFailure() << "the line's moment is not within the run: " << Narrow(line);
    if (match[8].str() != Hex4(result.dwProcessId))
        return testing::AssertionFailure() << "not Setup's process id " << Narrow(Hex4(result.dwProcessId))
                                           << ": " << Narrow(line);
    return testing::AssertionSuccess();
}

std::vector<std::wstring> FilesIn(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().wstring());
    return names;
}

// Both views start empty; the case's settings go into its own. Setup is the
// only debuggee, so that nothing but its own output is seen.
CSetupResult RunWithTrace(const TraceCase& c, const std::wstring& logFolder, CSetupRun& run)
{
    CRegistrySandbox own(HKEY_LOCAL_MACHINE, kSandboxKey);
    std::optional<CRegistrySandbox> other;
    if (CTestPlatform::OtherView())
        other.emplace(HKEY_LOCAL_MACHINE, kSandboxKey, CTestPlatform::OtherView());
    ApplySettings(c, logFolder, c.bOtherView ? other.value() : own);
    run.SetTempFolder(run.WorkFolder() + L"\\" + std::wstring(MAX_PATH, L'x'));
    run.SetDebugMode(winRun::DebugMode::ThisProcess);
    return run.Run(L"/status");
}

class DiagnosticTrace : public testing::TestWithParam<TraceCase> {};

TEST_P(DiagnosticTrace, ReportsTheMissingTemporaryFolderAsSwitched)
{
    const TraceCase& c = GetParam();
    CTestFolder logs(L"trace");
    CSetupRun run;
    const std::wstring folder = c.directory == Directory::Unset ? CSetupRun::DriverFolder() + L"\\setup" : logs.Path();
    CRemovedFile withId;
    CRemovedFile withoutId;
    run.SetOnStart([&](DWORD processId) {
        withId.Watch(folder + L"\\Setup-0x" + Hex4(processId) + L".log");
        withoutId.Watch(folder + L"\\Setup.log");
    });
    const CSetupResult result = RunWithTrace(c, logs.Path(), run);

    EXPECT_EQ(kSetupFailed, result.dwExitCode);
    EXPECT_FALSE(result.report) << "the payload ran";
    const std::vector<std::wstring> texts = result.SetupDebugTexts();
    if (c.bDebugger) {
        ASSERT_EQ(1u, texts.size()) << "not one line";
        EXPECT_TRUE(IsTraceLineOfRun(texts.front(), c, result));
    } else {
        EXPECT_TRUE(texts.empty()) << "a line on the debugger: " << Narrow(texts.front());
    }

    const CRemovedFile* expected = c.file == FileName::WithProcessId      ? &withId
                                   : c.file == FileName::WithoutProcessId ? &withoutId
                                                                          : nullptr;
    if (c.directory != Directory::Unset) {
        const std::vector<std::wstring> expectedFiles =
            expected ? std::vector<std::wstring>{std::filesystem::path(expected->Path()).filename().wstring()}
                     : std::vector<std::wstring>{};
        EXPECT_EQ(expectedFiles, FilesIn(logs.Path()));
    }
    for (const CRemovedFile* other : {&withId, &withoutId}) {
        if (other != expected) {
            EXPECT_FALSE(std::filesystem::exists(other->Path())) << Narrow(other->Path());
        }
    }
    if (!expected)
        return;
    const auto file = CWrittenFile::Read(expected->Path());
    ASSERT_TRUE(file) << "no trace file " << Narrow(expected->Path());
    EXPECT_TRUE(file->StartsWithByteOrderMark());
    const std::wstring line = file->Utf16(2);
    EXPECT_TRUE(IsTraceLineOfRun(line, c, result));
    if (c.bDebugger && !texts.empty()) {
        EXPECT_EQ(Narrow(texts.front()), Narrow(line)) << "the file and the debugger differ";
    }
}

std::optional<CRegistryValue> Dword(DWORD value)
{
    return CRegistryValue::Dword(value);
}

// Name, common settings, settings, directory, view, debugger, file, prefixes, line end.
const TraceCase kTraced{"", true, {}, Directory::TestFolder, false, true, FileName::WithProcessId, true, true};
const TraceCase kSilent{"", true, {}, Directory::TestFolder, false, false, FileName::None, true, true};

TraceCase Traced(const char* name, std::vector<Setting> settings)
{
    TraceCase c = kTraced;
    c.name = name;
    c.settings = std::move(settings);
    return c;
}

TraceCase Silent(const char* name, std::vector<Setting> settings)
{
    TraceCase c = kSilent;
    c.name = name;
    c.settings = std::move(settings);
    return c;
}

INSTANTIATE_TEST_SUITE_P(
    Thresholds, DiagnosticTrace,
    testing::Values(Traced("ErrorsOnly", {}), Traced("AllTypes", {{kOutputKey, L"DebugType", Dword(1)}}),
                    Traced("NegativePassesAll", {{kOutputKey, L"DebugType", Dword(0x80000000)}}),
                    Silent("AboveErrors", {{kOutputKey, L"DebugType", Dword(4)}}),
                    Silent("Off", {{kOutputKey, L"DebugType", Dword(0)}}),
                    // The threshold takes four bytes of any type.
                    Traced("FourBinaryBytes", {{kOutputKey, L"DebugType", CRegistryValue(REG_BINARY, {3, 0, 0, 0})}})),
    [](const testing::TestParamInfo<TraceCase>& info) { return std::string(info.param.name); });

TraceCase WithForm(TraceCase c, bool debugger, FileName file, bool prefixes, bool newLine)
{
    c.bDebugger = debugger;
    c.file = file;
    c.bPrefixes = prefixes;
    c.bNewLine = newLine;
    return c;
}

TraceCase InFolder(TraceCase c, Directory directory)
{
    c.directory = directory;
    return c;
}

const std::vector<Setting> kNoPrefixes = {
    {kOutputKey, L"PrependThreadId", Dword(0)},   {kOutputKey, L"PrependProcessId", Dword(0)},
    {kOutputKey, L"PrependDateTime", Dword(0)},   {kOutputKey, L"PrependModuleName", Dword(0)},
    {kOutputKey, L"PrependType", Dword(0)}};

INSTANTIATE_TEST_SUITE_P(
    Outputs, DiagnosticTrace,
    testing::Values(
        WithForm(Traced("FileWithoutProcessId", {{kOutputKey, L"AppendProcessIdToFile", Dword(0)}}), true,
                 FileName::WithoutProcessId, true, true),
        WithForm(Traced("FileAlone", {{kOutputKey, L"OutputToDebugger", Dword(0)}}), false, FileName::WithProcessId,
                 true, true),
        WithForm(Traced("DebuggerAlone", {{kOutputKey, L"OutputToFile", Dword(0)}}), true, FileName::None, true, true),
        // A flag of another type keeps its default, which is off for the file.
        WithForm(Traced("FileFlagAsString", {{kOutputKey, L"OutputToFile", CRegistryValue::String(L"1")}}), true,
                 FileName::None, true, true),
        WithForm(Traced("WithoutPrefixes", kNoPrefixes), true, FileName::WithProcessId, false, true),
        WithForm(Traced("WithoutNewLine", {{kOutputKey, L"AppendNewLine", Dword(0)}}), true, FileName::WithProcessId,
                 true, false),
        InFolder(Traced("DirectoryWithTwoBackslashes", {}), Directory::TestFolderWithTwoBackslashes),
        InFolder(Traced("NoDirectoryWritesBesideSetup", {}), Directory::Unset)),
    [](const testing::TestParamInfo<TraceCase>& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Modules, DiagnosticTrace,
    testing::Values(Silent("Silenced", {{kModulesKey, L"Setup", Dword(0)}}),
                    Silent("SilencedInLowerCase", {{kModulesKey, L"setup", Dword(0)}}),
                    Traced("ListedExclusively",
                           {{kModulesKey, L"Setup", Dword(1)}, {kOutputKey, L"ExclusiveModules", Dword(1)}}),
                    Silent("OnlyAnotherListedExclusively",
                           {{kModulesKey, L"Other", Dword(1)}, {kOutputKey, L"ExclusiveModules", Dword(1)}}),
                    Traced("AnotherSilenced", {{kModulesKey, L"Other", Dword(0)}}),
                    // A listed module traces at DebugType, not at its own value.
                    Traced("ValueIsNoThreshold", {{kModulesKey, L"Setup", Dword(5)}}),
                    Silent("ValueNotANumber", {{kModulesKey, L"Setup", CRegistryValue::String(L"1")}})),
    [](const testing::TestParamInfo<TraceCase>& info) { return std::string(info.param.name); });

TraceCase Alone(TraceCase c)
{
    c.bCommon = false;
    c.directory = Directory::Unset;
    return c;
}

TraceCase InOtherView(TraceCase c)
{
    c.bOtherView = true;
    return c;
}

// Setup reads the view of its own build: the 64-bit one for the x86-64 build,
// the 32-bit one under WOW64. 32-bit Windows has no other.
std::vector<TraceCase> KeyCases()
{
    std::vector<TraceCase> cases = {
        WithForm(Alone(Traced("OnlyDebugType", {{kOutputKey, L"DebugType", Dword(1)}})), true, FileName::None,
                 true, true),
        Alone(Silent("NoDebugOutputKey", {{kCrashKey, L"DumpType", Dword(0x22)}})), Alone(Silent("NoKeyAtAll", {}))};
    if (CTestPlatform::OtherView())
        cases.push_back(InOtherView(Silent("OnlyTheOtherView", {})));
    return cases;
}

INSTANTIATE_TEST_SUITE_P(
    Keys, DiagnosticTrace, testing::ValuesIn(KeyCases()),
    [](const testing::TestParamInfo<TraceCase>& info) { return std::string(info.param.name); });

// ---- A trace file that is there before Setup ----

class DiagnosticTraceFile : public testing::Test {
protected:
    TraceCase Case() const
    {
        TraceCase c = Traced("SharedName", {{kOutputKey, L"AppendProcessIdToFile", Dword(0)}});
        c.file = FileName::WithoutProcessId;
        return c;
    }

    std::wstring Path() const { return m_logs.Path() + L"\\Setup.log"; }

    CTestFolder m_logs{L"trace"};
    const std::wstring m_strEarlier = L"an earlier process's line\r\n";
};

TEST_F(DiagnosticTraceFile, AnExistingOneIsAppendedToWithoutASecondMark)
{
    std::ofstream(std::filesystem::path(Path()), std::ios::binary)
        << "\xFF\xFE" << CWrittenFile::Utf16Bytes(m_strEarlier);
    CSetupRun run;
    const CSetupResult result = RunWithTrace(Case(), m_logs.Path(), run);

    const auto file = CWrittenFile::Read(Path());
    ASSERT_TRUE(file);
    EXPECT_TRUE(file->StartsWithByteOrderMark());
    const std::wstring text = file->Utf16(2);
    ASSERT_EQ(Narrow(m_strEarlier), Narrow(text.substr(0, m_strEarlier.size())));
    EXPECT_TRUE(IsTraceLineOfRun(text.substr(m_strEarlier.size()), Case(), result));
}

// Held open with only readers admitted, as by another process of the same
// name: Setup's file output is lost, not its debugger output.
TEST_F(DiagnosticTraceFile, HeldByAnotherWriterIsLeftAlone)
{
    const CHeldFile held(Path(), "\xFF\xFE" + CWrittenFile::Utf16Bytes(m_strEarlier));
    ASSERT_TRUE(held.IsHeld());
    CSetupRun run;
    const CSetupResult result = RunWithTrace(Case(), m_logs.Path(), run);

    EXPECT_EQ(kSetupFailed, result.dwExitCode);
    const std::vector<std::wstring> texts = result.SetupDebugTexts();
    ASSERT_EQ(1u, texts.size());
    EXPECT_TRUE(IsTraceLineOfRun(texts.front(), Case(), result));
    EXPECT_EQ("\xFF\xFE" + CWrittenFile::Utf16Bytes(m_strEarlier), held.Text());
}

} // namespace
