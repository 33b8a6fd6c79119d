#include "probe/CPlatformFacts.h"
#include "tests/probe/CFakeMachine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using namespace testing_support;

template <class Row>
std::string RowName(const testing::TestParamInfo<Row>& info)
{
    return info.param.name;
}

// The platform flags word, as the report's first line shows it.

struct FlagsRow {
    const char* name;
    FakeVersionRecord record;
    bool queryFails;
    const wchar_t* line;
};

void PrintTo(const FlagsRow& row, std::ostream* out)
{
    *out << row.name;
}

class PlatformFlagsTest : public testing::TestWithParam<FlagsRow> {};

TEST_P(PlatformFlagsTest, FirstReportLineCarriesFamilyVersionAndFlags)
{
    const FlagsRow& row = GetParam();
    CFakeMachine machine;
    machine.version.record = row.record;
    machine.version.queryFails = row.queryFails;

    CPlatformFacts facts;

    const std::vector<std::wstring> lines = machine.ReportLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(row.line, lines.front());
}

INSTANTIATE_TEST_SUITE_P(
    Versions, PlatformFlagsTest,
    testing::Values(FlagsRow{"Win95", kWin95, false, L"OS Info: 9x 4.0 (1001)"},
                    FlagsRow{"Win98", kWin98, false, L"OS Info: 9x 4.10 (1002)"},
                    FlagsRow{"WinMe", kWinMe, false, L"OS Info: 9x 4.90 (1004)"},
                    FlagsRow{"Win9xOtherMinor", {VER_PLATFORM_WIN32_WINDOWS, 4, 3}, false, L"OS Info: 9x 4.3 (1000)"},
                    FlagsRow{"Win9xOtherMajor", {VER_PLATFORM_WIN32_WINDOWS, 5, 10}, false,
                             L"OS Info: 9x 5.10 (1000)"},
                    FlagsRow{"Nt351", kNt351, false, L"OS Info: NT 3.51 (2001)"},
                    FlagsRow{"Nt40", kNt4, false, L"OS Info: NT 4.0 (2002)"},
                    FlagsRow{"Nt50", kNt50, false, L"OS Info: NT 5.0 (2004)"},
                    FlagsRow{"Nt51", kNt51, false, L"OS Info: NT 5.1 (2008)"},
                    FlagsRow{"Nt52", kNt52, false, L"OS Info: NT 5.2 (2010)"},
                    FlagsRow{"Nt60", kNt60, false, L"OS Info: NT 6.0 (2020)"},
                    FlagsRow{"Nt61", kNt61, false, L"OS Info: NT 6.1 (2000)"},
                    FlagsRow{"NtWith9xVersion", {VER_PLATFORM_WIN32_NT, 4, 10}, false, L"OS Info: NT 4.10 (2000)"},
                    FlagsRow{"PlatformId0", {0, 3, 10}, false, L"OS Info: 9x 3.10 (0)"},
                    FlagsRow{"PlatformId3", {3, 5, 0}, false, L"OS Info: 9x 5.0 (0)"},
                    FlagsRow{"FailedQuery", kNt51, true, L"OS Info: 9x 0.0 (0)"}),
    RowName<FlagsRow>);

// The version predicate over the gathered record.

struct AtLeastRow {
    const char* name;
    FakeVersionRecord record;
    DWORD win9xMask;
    DWORD ntMask;
    WORD spMajor;
    WORD spMinor;
    BOOL expected;
};

void PrintTo(const AtLeastRow& row, std::ostream* out)
{
    *out << row.name;
}

constexpr FakeVersionRecord WithSp(FakeVersionRecord record, WORD major, WORD minor)
{
    record.spMajor = major;
    record.spMinor = minor;
    return record;
}

class IsAtLeastTest : public testing::TestWithParam<AtLeastRow> {};

TEST_P(IsAtLeastTest, AnswersFromTheGatheredRecord)
{
    const AtLeastRow& row = GetParam();
    CFakeMachine machine;
    machine.version.record = row.record;
    machine.version.queryFails = row.record.platformId == 0xDEAD;

    CPlatformFacts facts;

    EXPECT_EQ(row.expected, facts.IsAtLeast(row.win9xMask, row.ntMask, row.spMajor, row.spMinor));
}

constexpr FakeVersionRecord kFailedQuery{0xDEAD, 6, 0};

INSTANTIATE_TEST_SUITE_P(
    Matrix, IsAtLeastTest,
    testing::Values(
        AtLeastRow{"Nt60AsksNt60", kNt60, 0xFFFF, 0x20, 0, 0, TRUE},
        AtLeastRow{"Nt60Sp2AsksNt60", WithSp(kNt60, 2, 0), 0xFFFF, 0x20, 0, 0, TRUE},
        AtLeastRow{"Nt60AsksNt60Sp1", kNt60, 0xFFFF, 0x20, 1, 0, FALSE},
        AtLeastRow{"Nt60Sp1AsksNt60Sp1", WithSp(kNt60, 1, 0), 0xFFFF, 0x20, 1, 0, TRUE},
        AtLeastRow{"Nt51AsksNt60", WithSp(kNt51, 3, 0), 0xFFFF, 0x20, 0, 0, FALSE},
        AtLeastRow{"Nt52AsksNt60", kNt52, 0xFFFF, 0x20, 0, 0, FALSE},
        AtLeastRow{"Nt61AsksNt60", kNt61, 0xFFFF, 0x20, 0, 0, FALSE},
        AtLeastRow{"Nt61AsksNt40", kNt61, 0xFFFF, 2, 0, 0, FALSE},
        AtLeastRow{"Nt61AsksAnyNt", kNt61, 0, 0, 0, 0, TRUE},
        AtLeastRow{"Nt40Sp6AsksNt40", WithSp(kNt4, 6, 0), 0xFFFF, 2, 0, 0, TRUE},
        AtLeastRow{"Nt51AsksNt40", kNt51, 0xFFFF, 2, 0, 0, TRUE},
        AtLeastRow{"Nt351AsksNt40", kNt351, 0xFFFF, 2, 0, 0, FALSE},
        AtLeastRow{"Sp20AsksSp20", WithSp(kNt51, 2, 0), 0, 8, 2, 0, TRUE},
        AtLeastRow{"Sp21AsksSp20", WithSp(kNt51, 2, 1), 0, 8, 2, 0, TRUE},
        AtLeastRow{"Sp30AsksSp20", WithSp(kNt51, 3, 0), 0, 8, 2, 0, TRUE},
        AtLeastRow{"Sp19AsksSp20", WithSp(kNt51, 1, 9), 0, 8, 2, 0, FALSE},
        AtLeastRow{"Sp20AsksSp21", WithSp(kNt51, 2, 0), 0, 8, 2, 1, FALSE},
        AtLeastRow{"Sp30AsksSp25", WithSp(kNt51, 3, 0), 0, 8, 2, 5, TRUE},
        AtLeastRow{"LaterVersionIgnoresSp", kNt52, 0, 8, 9, 9, TRUE},
        AtLeastRow{"NtIgnores9xMask", kNt51, 0xFFFF, 8, 0, 0, TRUE},
        AtLeastRow{"Win95Asks9xAll", kWin95, 0xFFFF, 0, 0, 0, FALSE},
        AtLeastRow{"WinMeAsks9xAll", kWinMe, 0xFFFF, 0, 0, 0, FALSE},
        AtLeastRow{"Win95AsksWin98", kWin95, 2, 0, 0, 0, FALSE},
        AtLeastRow{"Win98AsksWin98", kWin98, 2, 0, 0, 0, TRUE},
        AtLeastRow{"WinMeAsksWin98", kWinMe, 2, 0, 0, 0, TRUE},
        AtLeastRow{"Win98AsksWinMe", kWin98, 4, 0, 0, 0, FALSE},
        AtLeastRow{"Win9xIgnoresNtMaskAndSp", kWin98, 2, 0xFFFF, 9, 9, TRUE},
        AtLeastRow{"Win9xOtherAsksAny9x", {VER_PLATFORM_WIN32_WINDOWS, 4, 3}, 0, 0, 0, 0, TRUE},
        AtLeastRow{"PlatformId0AsksNothing", {0, 3, 10}, 0, 0, 0, 0, FALSE},
        AtLeastRow{"FailedQueryAsksNothing", kFailedQuery, 0, 0, 0, 0, FALSE}),
    RowName<AtLeastRow>);

// The service pack and product type, read on NT 4.0 and the later listed versions only.

struct ServicePackRow {
    const char* name;
    FakeVersionRecord record;
    bool extendedQueryFails;
    std::vector<std::wstring> lines;
};

void PrintTo(const ServicePackRow& row, std::ostream* out)
{
    *out << row.name;
}

FakeVersionRecord AsProduct(FakeVersionRecord record, WORD spMajor, WORD spMinor, BYTE productType)
{
    record = WithSp(record, spMajor, spMinor);
    record.productType = productType;
    return record;
}

class ServicePackTest : public testing::TestWithParam<ServicePackRow> {};

TEST_P(ServicePackTest, ReportShowsServerAndServicePackWhenRead)
{
    const ServicePackRow& row = GetParam();
    CFakeMachine machine;
    machine.version.record = row.record;
    machine.version.extendedQueryFails = row.extendedQueryFails;

    CPlatformFacts facts;

    std::vector<std::wstring> lines;
    for (const std::wstring& line : machine.ReportLines()) {
        if (line == L"NT Server" || line.rfind(L"Service Pack", 0) == 0)
            lines.push_back(line);
    }
    EXPECT_EQ(row.lines, lines);
}

INSTANTIATE_TEST_SUITE_P(
    Records, ServicePackTest,
    testing::Values(
        ServicePackRow{"Nt51Sp2Workstation", AsProduct(kNt51, 2, 0, VER_NT_WORKSTATION), false,
                       {L"Service Pack: 2.0"}},
        ServicePackRow{"Nt51NoSp", kNt51, false, {}},
        ServicePackRow{"Nt50SpMinorOnly", AsProduct(kNt50, 0, 1, VER_NT_WORKSTATION), false,
                       {L"Service Pack: 0.1"}},
        ServicePackRow{"Nt52Sp1Server", AsProduct(kNt52, 1, 0, VER_NT_SERVER), false,
                       {L"NT Server", L"Service Pack: 1.0"}},
        ServicePackRow{"Nt52DomainController", AsProduct(kNt52, 0, 0, VER_NT_DOMAIN_CONTROLLER), false,
                       {L"NT Server"}},
        ServicePackRow{"Nt40Sp6Server", AsProduct(kNt4, 6, 0, VER_NT_SERVER), false,
                       {L"NT Server", L"Service Pack: 6.0"}},
        ServicePackRow{"Nt60LargeSp", AsProduct(kNt60, 300, 65535, VER_NT_WORKSTATION), false,
                       {L"Service Pack: 300.65535"}},
        ServicePackRow{"Nt351NotRead", AsProduct(kNt351, 5, 0, VER_NT_SERVER), false, {}},
        ServicePackRow{"Nt61NotRead", AsProduct(kNt61, 1, 0, VER_NT_SERVER), false, {}},
        ServicePackRow{"Win98NotRead", AsProduct(kWin98, 1, 0, VER_NT_SERVER), false, {}},
        ServicePackRow{"ExtendedQueryFails", AsProduct(kNt60, 1, 0, VER_NT_SERVER), true, {}}),
    RowName<ServicePackRow>);

// The WOW64 flag from IsWow64Process, looked up at run time.

struct Wow64Row {
    const char* name;
    bool present;
    BOOL returns;
    BOOL writes;
    BOOL expected;
};

void PrintTo(const Wow64Row& row, std::ostream* out)
{
    *out << row.name;
}

struct Wow64Call {
    const Wow64Row* row = nullptr;
    HANDLE process = nullptr;
    int calls = 0;
} g_wow64;

BOOL WINAPI FakeIsWow64Process(HANDLE process, PBOOL wow64)
{
    g_wow64.process = process;
    ++g_wow64.calls;
    *wow64 = g_wow64.row->writes;
    return g_wow64.row->returns;
}

class Wow64Test : public testing::TestWithParam<Wow64Row> {};

TEST_P(Wow64Test, FlagIsSetOnlyByACallThatReturnsExactlyOne)
{
    const Wow64Row& row = GetParam();
    g_wow64.row = &row;
    CFakeMachine machine;
    machine.procs.Override("IsWow64Process",
                           row.present ? reinterpret_cast<const void*>(&FakeIsWow64Process) : nullptr);

    CPlatformFacts facts;

    EXPECT_EQ(row.expected, facts.IsUnderWow64());
    EXPECT_NE(std::string::npos, machine.procs.Asked().find("IsWow64Process;"));
    wchar_t system[MAX_PATH];
    ASSERT_NE(0u, GetSystemDirectoryW(system, MAX_PATH));
    const std::wstring kernel = std::wstring(system) + L"\\KERNEL32.DLL";
    EXPECT_EQ(1u, std::count(machine.terminal.loaded.begin(), machine.terminal.loaded.end(), kernel))
        << "the kernel is loaded by its full path in the system directory";
    if (row.present) {
        EXPECT_EQ(1, g_wow64.calls);
        EXPECT_EQ(GetCurrentProcess(), g_wow64.process);
    }
}

INSTANTIATE_TEST_SUITE_P(Calls, Wow64Test,
                         testing::Values(Wow64Row{"Absent", false, TRUE, TRUE, FALSE},
                                         Wow64Row{"CallFails", true, FALSE, TRUE, FALSE},
                                         Wow64Row{"NotUnderWow64", true, TRUE, FALSE, FALSE},
                                         Wow64Row{"UnderWow64", true, TRUE, TRUE, TRUE},
                                         Wow64Row{"ReturnsTwo", true, 2, TRUE, FALSE},
                                         Wow64Row{"WritesTwo", true, TRUE, 2, 2}),
                         RowName<Wow64Row>);

TEST(PlatformFactsOnceTest, SecondConstructionChangesNothingAndReportsNothing)
{
    CFakeMachine machine;
    machine.version.record = WithSp(kNt60, 1, 0);
    CPlatformFacts first;
    const std::vector<std::wstring> texts = machine.debug.Lines();
    const int queries = machine.version.Queries();
    const int clockReadings = machine.clock.calls;
    const int switchOpens = machine.switches.opens;

    machine.version.record = kNt51;
    CPlatformFacts second;

    EXPECT_EQ(texts, machine.debug.Lines());
    EXPECT_EQ(queries, machine.version.Queries());
    EXPECT_EQ(clockReadings, machine.clock.calls);
    EXPECT_EQ(switchOpens, machine.switches.opens);
    EXPECT_TRUE(second.IsAtLeast(0xFFFF, 0x20, 1, 0));
    EXPECT_FALSE(second.IsAtLeast(0xFFFF, 0x20, 1, 1));
}

} // namespace
