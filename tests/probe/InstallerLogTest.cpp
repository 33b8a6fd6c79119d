#include "probe/CInstallerLog.h"
#include "tests/support/CFakeVersion.h"
#include "tests/support/CTraceCapture.h"
#include "tests/probe/CFakeClock.h"
#include "tests/probe/CFakeFolders.h"
#include "tests/probe/CFakeLogSwitches.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using namespace testing_support;

const std::wstring kHeader = L"Log started at 14:03:27 on 12/04/07.\r\n";

// What the log reaches: switches, folders, clock and debugger output.
struct LogWorld {
    CFakeVersion version{kNt60};
    CFakeLogSwitches switches;
    testing_support::CTraceCapture debug{testing_support::CTraceCapture::RecordOnly{}};
    CFakeFolders folders;
    CFakeClock clock;

    std::wstring DebugText() const
    {
        std::wstring all;
        for (const std::wstring& text : debug.Lines())
            all += text;
        return all;
    }
};

// One run: a log object with one line.
void RunLog(const wchar_t* line = L"line")
{
    CInstallerLog log;
    log.Write(line);
}

std::vector<BYTE> Bytes(std::initializer_list<BYTE> bytes)
{
    return bytes;
}

std::vector<BYTE> Prefix(size_t size)
{
    const std::vector<BYTE> five{5, 0, 0, 0, 0, 0, 0, 0};
    return std::vector<BYTE>(five.begin(), five.begin() + size);
}

std::vector<BYTE> Wide(const wchar_t* text)
{
    const auto* bytes = reinterpret_cast<const BYTE*>(text);
    return std::vector<BYTE>(bytes, bytes + (std::wcslen(text) + 1) * sizeof(wchar_t));
}

// The switches: any type, the first four bytes, longer data counts as 0.

struct SwitchRow {
    const char* name;
    std::optional<CFakeLogSwitches::Value> debugLog;
    std::optional<CFakeLogSwitches::Value> msiDebugLog;
    bool toFile;
    bool toDebugger;
    bool keyPresent = true;
};

void PrintTo(const SwitchRow& row, std::ostream* out)
{
    *out << row.name;
}

class LogSwitchTest : public testing::TestWithParam<SwitchRow> {};

TEST_P(LogSwitchTest, SelectTheOutputs)
{
    const SwitchRow& row = GetParam();
    LogWorld world;
    world.switches.keyPresent = row.keyPresent;
    if (row.debugLog)
        world.switches.values[L"DebugLog"] = *row.debugLog;
    if (row.msiDebugLog)
        world.switches.values[L"MsiDebugLog"] = *row.msiDebugLog;

    RunLog();

    const std::wstring expected = kHeader + L"line\r\n";
    EXPECT_EQ(row.toFile ? expected : L"<missing>", world.folders.ReadLog());
    EXPECT_EQ(row.toDebugger ? expected : L"", world.DebugText());
    EXPECT_EQ(row.toFile ? 1u : 0u, world.folders.created.size());
    EXPECT_EQ(1, world.switches.opens);
    EXPECT_EQ(static_cast<REGSAM>(0x20019), world.switches.access);
}

CFakeLogSwitches::Value Number(DWORD number)
{
    return {REG_DWORD, {BYTE(number), BYTE(number >> 8), BYTE(number >> 16), BYTE(number >> 24)}};
}

SwitchRow Sized(const char* name, size_t size, bool on)
{
    return {name, CFakeLogSwitches::Value{REG_BINARY, Prefix(size)}, std::nullopt, on, on};
}

INSTANTIATE_TEST_SUITE_P(
    Values, LogSwitchTest,
    testing::Values(
        SwitchRow{"NoValues", std::nullopt, std::nullopt, false, false},
        SwitchRow{"NoKey", Number(5), Number(5), false, false, false},
        SwitchRow{"Zero", Number(0), Number(0), false, false},
        SwitchRow{"FileOnly", Number(1), std::nullopt, true, false},
        SwitchRow{"NoOutputBit", Number(2), std::nullopt, false, false},
        SwitchRow{"DebuggerOnly", std::nullopt, Number(4), false, true},
        SwitchRow{"Both", Number(5), std::nullopt, true, true},
        SwitchRow{"BothFromTwoValues", Number(1), Number(4), true, true},
        SwitchRow{"NoOutputBitAndDebugger", Number(2), Number(4), false, true},
        SwitchRow{"HighBitsOnly", Number(0xFFFFFFF0), std::nullopt, false, false},
        SwitchRow{"AllBits", Number(0xFFFFFFFF), std::nullopt, true, true},
        Sized("Bytes0", 0, false),
        Sized("Bytes1", 1, true),
        Sized("Bytes2", 2, true),
        Sized("Bytes3", 3, true),
        Sized("Bytes4", 4, true),
        Sized("Bytes5", 5, false),
        Sized("Bytes6", 6, false),
        Sized("Bytes7", 7, false),
        Sized("Bytes8", 8, false),
        SwitchRow{"HighByteOfTwo", CFakeLogSwitches::Value{REG_BINARY, Bytes({0, 4})}, std::nullopt, false, false},
        SwitchRow{"StringOne", CFakeLogSwitches::Value{REG_SZ, Wide(L"1")}, std::nullopt, true, false},
        SwitchRow{"StringFour", CFakeLogSwitches::Value{REG_SZ, Wide(L"4")}, std::nullopt, false, true},
        SwitchRow{"LongString", CFakeLogSwitches::Value{REG_SZ, Wide(L"55")}, Number(4), false, true},
        SwitchRow{"Qword", std::nullopt, CFakeLogSwitches::Value{REG_QWORD, Prefix(8)}, false, false},
        SwitchRow{"BigEndian", CFakeLogSwitches::Value{REG_DWORD_BIG_ENDIAN, Bytes({0, 0, 0, 5})}, std::nullopt,
                  false, false},
        SwitchRow{"NoneType", std::nullopt, CFakeLogSwitches::Value{REG_NONE, Bytes({4})}, false, true}),
    [](const testing::TestParamInfo<SwitchRow>& info) { return std::string(info.param.name); });

// Where the file goes, and what happens when it cannot be opened.

struct FolderRow {
    const char* name;
    std::optional<std::wstring> tempPath;
    std::wstring opened;  // the folder given to CreateFileW, where the file is then opened; empty: none
};

void PrintTo(const FolderRow& row, std::ostream* out)
{
    *out << row.name;
}

class LogFolderTest : public testing::TestWithParam<FolderRow> {};

TEST_P(LogFolderTest, OpensTheFolderOfTheFileOrFallsBackToTheDebugger)
{
    const FolderRow& row = GetParam();
    LogWorld world;
    world.switches.SetNumber(L"DebugLog", 1);
    world.folders.tempPath = row.tempPath;
    world.folders.refuseCreate = true;

    RunLog();

    std::vector<std::wstring> expected;
    if (!row.opened.empty())
        expected.push_back(row.opened);
    EXPECT_EQ(expected, world.folders.created);
    EXPECT_EQ(kHeader + L"line\r\n", world.DebugText()) << "no file: the debugger instead";
}

INSTANTIATE_TEST_SUITE_P(
    Paths, LogFolderTest,
    testing::Values(FolderRow{"TrailingBackslash", L"C:\\Temp\\", L"C:\\Temp"},
                    FolderRow{"NoTrailingBackslash", L"C:\\Temp", L"C:\\Temp"},
                    FolderRow{"TwoTrailingBackslashes", L"C:\\Temp\\\\", L"C:\\Temp"},
                    FolderRow{"FourUnits", L"C:\\a\\", L"C:\\a"},
                    FolderRow{"DriveRoot", L"C:\\", L"C:\\"},
                    FolderRow{"DriveOnly", L"C:", L"C:\\"},
                    FolderRow{"NoTempFolder", std::nullopt, L""},
                    FolderRow{"TempFolderTooLong", std::wstring(300, L'a'), L""}),
    [](const testing::TestParamInfo<FolderRow>& info) { return std::string(info.param.name); });

// A subfolder whose name makes folder, backslash and file name `total` units.
std::wstring FolderForPathOf(CFakeFolders& folders, size_t total)
{
    const size_t fixed = folders.Folder().size() + 1 + folders.LogName().size();
    return folders.MakeSubfolder(std::wstring(total - fixed, L'p'));
}

TEST(LogPathLengthTest, PathOf259UnitsIsOpened)
{
    LogWorld world;
    world.switches.SetNumber(L"DebugLog", 1);
    const std::wstring folder = FolderForPathOf(world.folders, 259);
    world.folders.tempPath = folder + L"\\";

    RunLog();

    EXPECT_EQ(std::vector<std::wstring>{folder}, world.folders.created);
    EXPECT_EQ(kHeader + L"line\r\n", world.folders.ReadLog(folder + L"\\"));
    EXPECT_TRUE(world.debug.Lines().empty());
}

TEST(LogPathLengthTest, PathOf260UnitsFallsBackToTheDebugger)
{
    LogWorld world;
    world.switches.SetNumber(L"DebugLog", 1);
    const std::wstring folder = FolderForPathOf(world.folders, 260);
    world.folders.tempPath = folder + L"\\";

    RunLog();

    EXPECT_TRUE(world.folders.created.empty()) << "a cut-off path must not be opened";
    EXPECT_EQ(kHeader + L"line\r\n", world.DebugText());
}

TEST(LogOpenTest, UnwritableFolderSendsEverythingToTheDebugger)
{
    LogWorld world;
    world.switches.SetNumber(L"DebugLog", 1);
    world.folders.tempPath = world.folders.Folder() + L"missing\\";

    RunLog();

    EXPECT_EQ(1u, world.folders.created.size());
    EXPECT_EQ(kHeader + L"line\r\n", world.DebugText());
}

TEST(LogOpenTest, FailedVersionQueryFindsNoFolder)
{
    LogWorld world;
    world.switches.SetNumber(L"DebugLog", 1);
    world.version.queryFails = true;

    RunLog();

    EXPECT_TRUE(world.folders.created.empty());
    EXPECT_EQ(kHeader + L"line\r\n", world.DebugText());
}

// On 9x a temporary folder that is the current folder gives way to the Windows folder.

struct NineXRow {
    const char* name;
    FakeVersionRecord record;
    bool currentIsTemp;  // else: the temporary folder in upper case
    bool toWindows;
};

void PrintTo(const NineXRow& row, std::ostream* out)
{
    *out << row.name;
}

class LogFolder9xTest : public testing::TestWithParam<NineXRow> {};

TEST_P(LogFolder9xTest, PicksTheFolder)
{
    const NineXRow& row = GetParam();
    LogWorld world;
    world.version.record = row.record;
    world.switches.SetNumber(L"DebugLog", 1);
    const std::wstring temp = world.folders.MakeSubfolder(L"tmp") + L"\\";
    const std::wstring windows = world.folders.MakeSubfolder(L"win");
    world.folders.tempPath = temp;
    world.folders.windowsDirectory = windows;
    std::wstring current = temp;
    if (!row.currentIsTemp)
        CharUpperW(&current[0]);
    world.folders.currentDirectory = current;

    RunLog();

    const std::wstring expected = kHeader + L"line\r\n";
    EXPECT_EQ(row.toWindows ? expected : L"<missing>", world.folders.ReadLog(windows + L"\\"));
    EXPECT_EQ(row.toWindows ? L"<missing>" : expected, world.folders.ReadLog(temp));
}

INSTANTIATE_TEST_SUITE_P(Platforms, LogFolder9xTest,
                         testing::Values(NineXRow{"Win98CurrentIsTemp", kWin98, true, true},
                                         NineXRow{"Win95CurrentIsTemp", kWin95, true, true},
                                         NineXRow{"Win98CaseDiffers", kWin98, false, false},
                                         NineXRow{"Nt60CurrentIsTemp", kNt60, true, false}),
                         [](const testing::TestParamInfo<NineXRow>& info) { return std::string(info.param.name); });

// The file: appended to, UTF-16 without a byte-order mark, shared for reading.

TEST(LogFileTest, AppendsToTheFileOfAnEarlierRunWithoutAMark)
{
    LogWorld world;
    world.switches.SetNumber(L"DebugLog", 1);
    world.folders.WriteLog(world.folders.Folder(), L"earlier\r\n");

    RunLog(L"first");
    RunLog(L"second");

    EXPECT_EQ(L"earlier\r\n" + kHeader + L"first\r\n" + kHeader + L"second\r\n", world.folders.ReadLog());
}

// A log's name planted as a hard link to a file only the Administrators may
// write: that file stays as it was, and the lines go to the debugger.
TEST(LogFileTest, ANameThatIsAHardLinkLeavesItsFileAsItWas)
{
    LogWorld world;
    world.switches.SetNumber(L"DebugLog", 1);
    const std::wstring theirs = world.folders.MakeSubfolder(L"theirs") + L"\\";
    world.folders.WriteLog(theirs, L"theirs\r\n");
    const std::wstring name = world.folders.LogName();
    ASSERT_TRUE(CreateHardLinkW((world.folders.Folder() + name).c_str(), (theirs + name).c_str(), nullptr));

    RunLog();

    EXPECT_EQ(L"theirs\r\n", world.folders.ReadLog(theirs));
    EXPECT_EQ(kHeader + L"line\r\n", world.DebugText());
}

TEST(LogFileTest, NewFileStartsWithTheHeaderAndIsSharedForReadingOnly)
{
    LogWorld world;
    world.switches.SetNumber(L"DebugLog", 1);
    CInstallerLog log;
    log.Write(L"line");

    EXPECT_EQ(kHeader + L"line\r\n", world.folders.ReadLog()) << "no byte-order mark, readable meanwhile";
    const std::wstring path = world.folders.Folder() + world.folders.LogName();
    HANDLE writer = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(INVALID_HANDLE_VALUE, writer) << "a second writer was let in";
    if (writer != INVALID_HANDLE_VALUE)
        CloseHandle(writer);
}

TEST(LogFileTest, EachLineReachesTheFileBeforeTheDebugger)
{
    LogWorld world;
    world.switches.SetNumber(L"DebugLog", 5);
    std::vector<bool> inFileFirst;
    world.debug.onOutput = [&](const wchar_t* text) {
        const std::wstring file = world.folders.ReadLog();
        const std::wstring line(text);
        inFileFirst.push_back(file.size() >= line.size() &&
                              file.compare(file.size() - line.size(), line.size(), line) == 0);
    };

    RunLog();

    EXPECT_EQ(std::vector<bool>({true, true}), inFileFirst);
}

// The header: time, then date, from two readings of the clock, date first.

struct HeaderRow {
    const char* name;
    SYSTEMTIME dateReading;
    SYSTEMTIME timeReading;
    const wchar_t* header;
};

void PrintTo(const HeaderRow& row, std::ostream* out)
{
    *out << row.name;
}

constexpr SYSTEMTIME At(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second)
{
    return SYSTEMTIME{year, month, 0, day, hour, minute, second, 0};
}

class LogHeaderTest : public testing::TestWithParam<HeaderRow> {};

TEST_P(LogHeaderTest, ShowsTimeAndDate)
{
    const HeaderRow& row = GetParam();
    LogWorld world;
    world.switches.SetNumber(L"DebugLog", 4);
    world.clock.readings = {row.dateReading, row.timeReading};

    CInstallerLog log;

    ASSERT_EQ(1u, world.debug.Lines().size());
    EXPECT_EQ(row.header, world.debug.Lines().front());
    EXPECT_EQ(2, world.clock.calls);
}

INSTANTIATE_TEST_SUITE_P(
    Clocks, LogHeaderTest,
    testing::Values(HeaderRow{"Afternoon", At(2007, 12, 4, 14, 3, 27), At(2007, 12, 4, 14, 3, 27),
                              L"Log started at 14:03:27 on 12/04/07.\r\n"},
                    HeaderRow{"SingleDigits", At(2009, 1, 2, 3, 4, 5), At(2009, 1, 2, 3, 4, 5),
                              L"Log started at 03:04:05 on 01/02/09.\r\n"},
                    HeaderRow{"Year2000", At(2000, 10, 31, 23, 0, 9), At(2000, 10, 31, 23, 0, 9),
                              L"Log started at 23:00:09 on 10/31/00.\r\n"},
                    HeaderRow{"Midnight", At(2007, 12, 31, 23, 59, 59), At(2008, 1, 1, 0, 0, 0),
                              L"Log started at 00:00:00 on 12/31/07.\r\n"}),
    [](const testing::TestParamInfo<HeaderRow>& info) { return std::string(info.param.name); });

// Lines: wvsprintfW formatting and the line end.

struct LineRow {
    const char* name;
    std::wstring text;
    std::wstring written;
};

void PrintTo(const LineRow& row, std::ostream* out)
{
    *out << row.name;
}

class LogLineTest : public testing::TestWithParam<LineRow> {};

TEST_P(LogLineTest, EndsEachLineOnce)
{
    const LineRow& row = GetParam();
    LogWorld world;
    world.switches.SetNumber(L"DebugLog", 5);
    {
        CInstallerLog log;
        log.Write(L"%s", row.text.c_str());
    }

    EXPECT_EQ(kHeader + row.written, world.folders.ReadLog());
    ASSERT_EQ(2u, world.debug.Lines().size());
    EXPECT_EQ(row.written, world.debug.Lines().back());
}

INSTANTIATE_TEST_SUITE_P(Texts, LogLineTest,
                         testing::Values(LineRow{"Plain", L"abc", L"abc\r\n"},
                                         LineRow{"EndsInLineFeed", L"abc\n", L"abc\n"},
                                         LineRow{"EndsInCrLf", L"abc\r\n", L"abc\r\n"},
                                         LineRow{"EndsInCarriageReturn", L"abc\r", L"abc\r\r\n"},
                                         LineRow{"InnerLineFeed", L"a\nb", L"a\nb\r\n"},
                                         LineRow{"Empty", L"", L"\r\n"},
                                         LineRow{"LoneLineFeed", L"\n", L"\n"}),
                         [](const testing::TestParamInfo<LineRow>& info) { return std::string(info.param.name); });

TEST(LogWriteTest, FormatsTheReportDirectives)
{
    LogWorld world;
    world.switches.SetNumber(L"DebugLog", 4);
    CInstallerLog log;

    log.Write(L"OS Info: %s %d.%d (%x)", L"NT", 5, 1, 0x2008);
    log.Write(L"%d %x", -5, 0xABCDEFu);

    EXPECT_EQ(std::vector<std::wstring>({kHeader, L"OS Info: NT 5.1 (2008)\r\n", L"-5 abcdef\r\n"}),
              world.debug.Lines());
}

TEST(LogWriteTest, LongestFormattedTextStillGetsItsLineEnd)
{
    LogWorld world;
    world.switches.SetNumber(L"DebugLog", 4);
    CInstallerLog log;
    const std::wstring longText(3000, L'x');

    log.Write(L"%s", longText.c_str());

    ASSERT_EQ(2u, world.debug.Lines().size());
    const std::wstring& line = world.debug.Lines().back();
    ASSERT_GE(line.size(), 2u);
    const std::wstring text = line.substr(0, line.size() - 2);
    EXPECT_EQ(L"\r\n", line.substr(line.size() - 2));
    EXPECT_LE(text.size(), 1024u);
    EXPECT_GE(text.size(), 1000u);
    EXPECT_EQ(std::wstring::npos, text.find_first_not_of(L'x'));
}

TEST(LogWriteTest, OffLogWritesNothingAndReadsNoClock)
{
    LogWorld world;
    CInstallerLog log;

    log.Write(L"line");

    EXPECT_TRUE(world.debug.Lines().empty());
    EXPECT_TRUE(world.folders.created.empty());
    EXPECT_EQ(0, world.clock.calls);
}

} // namespace
