// Whatever the temporary-folder query answers: folders of every length from
// 1 to 259 units, drive roots, blanks, trailing backslashes, a missing or
// read-only folder, names taken by folders. Setup ends with the payload's
// exit code or 9000, shows at most one box, and leaves no payload behind.
#include "setup/CInstaller.h"

#include "tests/hardening/support/CLineCheck.h"
#include "tests/hardening/support/CMachineKeyRedirect.h"
#include "tests/setup/CHookSet.h"
#include "tests/setup/CaseName.h"
#include "tests/support/CFakeVersion.h"
#include "tests/support/CTraceCapture.h"
#include "tests/support/PrivatePayloadPath.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr DWORD kPayloadExitCode = 3010;
// "\qvltgl-" and 16 digits: what the run's own folder adds to the temporary
// folder, whose path must stay under 248 units (MAX_PATH less an 8.3 name).
constexpr DWORD kFolderUnits = 8 + 16;
constexpr DWORD kFolderLimit = MAX_PATH - 12;

std::wstring g_folder;
unsigned g_boxes = 0;

decltype(&GetTempPathW) RealGetTempPathW;
decltype(&MessageBoxW) RealMessageBoxW;

DWORD WINAPI FakeGetTempPathW(DWORD size, LPWSTR buffer)
{
    if (g_folder.size() >= size)
        return static_cast<DWORD>(g_folder.size() + 1);
    lstrcpyW(buffer, g_folder.c_str());
    return static_cast<DWORD>(g_folder.size());
}

int WINAPI FakeMessageBoxW(HWND, LPCWSTR, LPCWSTR, UINT)
{
    ++g_boxes;
    return IDOK;
}

// The folder without its trailing backslashes, as the payload path is joined.
std::wstring Trimmed(std::wstring folder)
{
    while (!folder.empty() && folder.back() == L'\\')
        folder.pop_back();
    return folder;
}

class TempFolderInputTest : public testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(m_work);
        // "\" and "C:" name the drive of the current folder.
        SetCurrentDirectoryW(L"C:\\");
        SetEnvironmentVariableW(L"E2E_EXIT_CODE", std::to_wstring(kPayloadExitCode).c_str());
        SetEnvironmentVariableW(L"E2E_REPORT", m_report.c_str());
        m_hooks.Add("kernel32.dll", "GetTempPathW", &FakeGetTempPathW, RealGetTempPathW);
        m_hooks.Add("user32.dll", "MessageBoxW", &FakeMessageBoxW, RealMessageBoxW);
    }

    void TearDown() override
    {
        m_hooks.Clear();
        std::error_code ignored;
        fs::remove_all(m_work, ignored);
    }

    struct COutcome {
        DWORD exitCode;
        unsigned boxes;
        bool payloadRan;
        bool payloadLeft;
    };

    // Install with this answer from the temporary-folder query.
    COutcome Install(const std::wstring& folder)
    {
        g_folder = folder;
        g_boxes = 0;
        fs::remove(m_report);
        DWORD exitCode = 0;
        CInstaller().Install(L"/status", exitCode);
        bool left = false;
        for (const std::wstring& entry : testing_support::FolderEntries(folder))
            left |= entry.rfind(L"qvltgl-", 0) == 0;
        return {exitCode, g_boxes, fs::exists(m_report), left};
    }

    static void ExpectLivable(const COutcome& outcome, const std::string& where)
    {
        EXPECT_TRUE(outcome.exitCode == kPayloadExitCode || outcome.exitCode == CInstaller::kSetupFailed)
            << where << ": exit code " << outcome.exitCode;
        EXPECT_EQ(outcome.exitCode == kPayloadExitCode, outcome.payloadRan) << where;
        EXPECT_LE(outcome.boxes, 1u) << where;
        EXPECT_FALSE(outcome.payloadLeft) << where << ": the payload's folder was left behind";
    }

    const fs::path m_work = fs::path(L"C:\\") / (L"hardening-temp-" + std::to_wstring(GetCurrentProcessId()));
    const fs::path m_report = m_work / L"report.bin";
    // Setup goes on only on NT 6.0.
    testing_support::CFakeVersion m_version{testing_support::kNt60, testing_support::CFakeVersion::Packed::FromSystem};
    CHookSet m_hooks;
};

// "\" (1), "C:" (2), "C:\" (3), "C:\x" (4), then "C:\" and one folder of the
// length that makes up the rest, with a trailing backslash.
std::wstring FolderOfLength(std::size_t units)
{
    switch (units) {
    case 1:
        return L"\\";
    case 2:
        return L"C:";
    case 3:
        return L"C:\\";
    case 4:
        return L"C:\\x";
    default:
        return L"C:\\" + std::wstring(units - 4, static_cast<wchar_t>(L'a' + units % 26)) + L"\\";
    }
}

// Wine now and then refuses to start a program with ERROR_INTERNAL_ERROR
// (about one start in three thousand here, with or without Setup); a length
// whose start was refused so is run once more, and the reruns are counted.
bool StartRefusedByWine(const std::vector<std::wstring>& traceLines)
{
    for (const std::wstring& line : traceLines) {
        if (line.find(L"RunProcessAndWait() != S_OK, 0x0000054F") != std::wstring::npos)
            return true;
    }
    return false;
}

TEST_F(TempFolderInputTest, EveryLengthFrom1To259Units)
{
    testing_support::CTraceCapture trace;
    unsigned ran = 0;
    unsigned reruns = 0;
    for (std::size_t units = 1; units < MAX_PATH; ++units) {
        const std::wstring folder = FolderOfLength(units);
        ASSERT_EQ(units, folder.size());
        std::error_code ignored;
        fs::create_directories(folder, ignored);
        const std::string where = std::to_string(units) + " units";

        trace.Clear();
        COutcome outcome = Install(folder);
        if (StartRefusedByWine(trace.Lines())) {
            ++reruns;
            outcome = Install(folder);
        }

        ExpectLivable(outcome, where);
        // A payload path that does not fit MAX_PATH is never started.
        const bool fits = Trimmed(folder).size() + kFolderUnits < kFolderLimit;
        EXPECT_EQ(fits, outcome.payloadRan) << where << ", exit code " << outcome.exitCode << ", "
                                            << outcome.boxes << " boxes";
        ran += outcome.payloadRan ? 1 : 0;
        if (units > 4)
            fs::remove_all(folder, ignored);
    }
    std::cout << "[ TEMP     ] 259 folder lengths, the payload ran from " << ran << ", " << reruns
              << " starts refused by Wine run again" << std::endl;
}

enum class Expect { Runs, FailsWithABox };

struct FolderCase {
    std::string name;
    std::function<std::wstring(const fs::path& work)> prepare;  // the folder the query answers
    Expect expect;
};

void PrintTo(const FolderCase& c, std::ostream* os)
{
    *os << c.name;
}

class TempFolderShapeTest : public TempFolderInputTest, public testing::WithParamInterface<FolderCase> {};

TEST_P(TempFolderShapeTest, EndsWithThePayloadsExitCodeOr9000)
{
    const FolderCase& c = GetParam();
    const std::wstring folder = c.prepare(m_work);

    const COutcome outcome = Install(folder);

    ExpectLivable(outcome, c.name);
    if (c.expect == Expect::Runs) {
        EXPECT_EQ(kPayloadExitCode, outcome.exitCode);
        EXPECT_EQ(0u, outcome.boxes);
    } else {
        EXPECT_EQ(CInstaller::kSetupFailed, outcome.exitCode);
        EXPECT_EQ(1u, outcome.boxes);
    }
}

std::wstring Made(const fs::path& folder, const std::wstring& suffix = L"\\")
{
    fs::create_directories(folder);
    return folder.wstring() + suffix;
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, TempFolderShapeTest,
    testing::Values(
        FolderCase{"WithBlanks", [](const fs::path& w) { return Made(w / L"with two  blanks"); }, Expect::Runs},
        FolderCase{"NoTrailingBackslash", [](const fs::path& w) { return Made(w / L"plain", L""); }, Expect::Runs},
        FolderCase{"ThreeTrailingBackslashes", [](const fs::path& w) { return Made(w / L"plain", L"\\\\\\"); },
                   Expect::Runs},
        FolderCase{"NonAscii", [](const fs::path& w) { return Made(w / L"\u00FCber \u65E5\u672C"); }, Expect::Runs},
        FolderCase{"Missing", [](const fs::path& w) { return (w / L"missing").wstring() + L"\\"; },
                   Expect::FailsWithABox},
        // The read-only attribute of a folder does not keep files out of it.
        FolderCase{"ReadOnly",
                   [](const fs::path& w) {
                       const std::wstring folder = Made(w / L"read-only");
                       SetFileAttributesW(folder.c_str(), FILE_ATTRIBUTE_READONLY);
                       return folder;
                   },
                   Expect::Runs},
        // The run's own folder holds the payload, not the temporary folder.
        FolderCase{"PayloadNameTakenByAFolder",
                   [](const fs::path& w) {
                       fs::create_directories(w / L"taken" / L"qvltgl.exe");
                       return (w / L"taken").wstring() + L"\\";
                   },
                   Expect::Runs}),
    CaseName());

TEST_F(TempFolderInputTest, APayloadNameTakenByAFolderIsLeftAsItWas)
{
    const fs::path taken = m_work / L"qvltgl.exe";
    fs::create_directories(taken / L"inside");

    const COutcome outcome = Install(m_work.wstring() + L"\\");

    EXPECT_EQ(kPayloadExitCode, outcome.exitCode);
    EXPECT_TRUE(fs::is_directory(taken / L"inside"));
}

// The installer log writes once per process: this case needs one of its own.
TEST_F(TempFolderInputTest, ALogNameTakenByAFolderLeavesTheLogToTheDebugger)
{
    testing_support::CTraceCapture debugger(testing_support::CTraceCapture::RecordOnly{});
    const CMachineKeyRedirect keys;
    ASSERT_TRUE(keys.SetNumber(L"Software\\Quorvel", L"DebugLog", 1));
    const fs::path taken = m_work / (L"QVLMSI" + std::to_wstring(GetCurrentProcessId()) + L".log");
    fs::create_directories(taken);

    const COutcome outcome = Install(m_work.wstring() + L"\\");

    EXPECT_EQ(kPayloadExitCode, outcome.exitCode);
    EXPECT_TRUE(fs::is_directory(taken));
    const std::vector<std::wstring> lines = debugger.Lines();
    ASSERT_FALSE(lines.empty()) << "the log did not fall back to the debugger";
    for (const std::wstring& line : lines)
        EXPECT_TRUE(CLineCheck::IsInstallerLogLine(line)) << std::string(line.begin(), line.end());
}

} // namespace
