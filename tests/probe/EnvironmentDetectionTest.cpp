#include "probe/CVersionCache.h"
#include "tests/probe/CFakeMachine.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using namespace testing_support;

template <class Row>
std::string RowName(const testing::TestParamInfo<Row>& info)
{
    return info.param.name;
}

std::vector<BYTE> Bytes(const std::string& text)
{
    return std::vector<BYTE>(text.begin(), text.end());
}

const std::vector<BYTE> kTerminalSuite = CFakeProductSuite::MultiString({"Terminal Server"});

// Terminal Services: the product suite up to NT 4.0, the version's minor
// number after it, and the suite test on NT 5.0 and 6.0.

struct TerminalRow {
    const char* name;
    FakeVersionRecord record;
    BOOL expected;
    std::vector<BYTE> suite = kTerminalSuite;
    DWORD suiteType = REG_MULTI_SZ;
    bool suiteKeyPresent = true;
    BOOL verifyResult = 1;
    const char* absentEntry = nullptr;
    const char* absentModule = nullptr;
};

void PrintTo(const TerminalRow& row, std::ostream* out)
{
    *out << row.name;
}

TerminalRow Suite(const char* name, std::vector<BYTE> data, BOOL expected, DWORD type = REG_MULTI_SZ)
{
    TerminalRow row{name, kNt4, expected};
    row.suite = std::move(data);
    row.suiteType = type;
    return row;
}

TerminalRow Verified(const char* name, FakeVersionRecord record, BOOL verifyResult, BOOL expected)
{
    TerminalRow row{name, record, expected};
    row.verifyResult = verifyResult;
    return row;
}

TerminalRow Absent(const char* name, const char* entry, const char* module)
{
    TerminalRow row{name, kNt50, FALSE};
    row.absentEntry = entry;
    row.absentModule = module;
    return row;
}

class TerminalServicesTest : public testing::TestWithParam<TerminalRow> {};

TEST_P(TerminalServicesTest, AnswersPerVersion)
{
    const TerminalRow& row = GetParam();
    CFakeMachine machine;
    machine.version.record = row.record;
    machine.suite.data = row.suite;
    machine.suite.type = row.suiteType;
    machine.suite.keyPresent = row.suiteKeyPresent;
    machine.terminal.verifyResult = row.verifyResult;
    if (row.absentEntry)
        machine.procs.Override(row.absentEntry, nullptr);
    if (row.absentModule)
        machine.terminal.modulesMissing.push_back(row.absentModule);

    EXPECT_EQ(row.expected, CVersionCache::IsTerminalServicesInstalled());
    EXPECT_EQ(0, machine.suite.blocksLive);
}

INSTANTIATE_TEST_SUITE_P(
    Versions, TerminalServicesTest,
    testing::Values(
        TerminalRow{"Win98", kWin98, FALSE},
        TerminalRow{"WinMe", kWinMe, FALSE},
        Suite("Nt4AmongOtherSuites", CFakeProductSuite::MultiString({"Small Business", "Terminal Server"}), TRUE),
        Suite("Nt4OtherSuitesOnly", CFakeProductSuite::MultiString({"Small Business", "Enterprise"}), FALSE),
        Suite("Nt4CaseDiffers", CFakeProductSuite::MultiString({"terminal server"}), FALSE),
        Suite("Nt4AfterEmptyString", CFakeProductSuite::MultiString({"", "Terminal Server"}), FALSE),
        Suite("Nt4AsPlainString", Bytes(std::string("Terminal Server", 16)), FALSE, REG_SZ),
        Suite("Nt4AsBinary", kTerminalSuite, FALSE, REG_BINARY),
        Suite("Nt4EmptyValue", {}, FALSE),
        Suite("Nt4OneTerminator", Bytes(std::string("Terminal Server", 16)), TRUE),
        Suite("Nt4Unterminated", Bytes("Terminal Server"), TRUE),
        Suite("Nt4UnterminatedSecond", Bytes(std::string("Enterprise\0Terminal Server", 26)), TRUE),
        Suite("Nt4UnterminatedPrefix", Bytes("Terminal Serve"), FALSE),
        [] {
            TerminalRow row{"Nt4KeyMissing", kNt4, FALSE};
            row.suiteKeyPresent = false;
            return row;
        }(),
        TerminalRow{"Nt351WithSuite", kNt351, TRUE},
        Verified("Nt50Verified", kNt50, 1, TRUE),
        Verified("Nt50NotVerified", kNt50, 0, FALSE),
        Verified("Nt50VerifyAnswersTwo", kNt50, 2, FALSE),
        Verified("Nt50VerifyAnswersMinusOne", kNt50, -1, FALSE),
        Verified("Nt60Verified", kNt60, 1, TRUE),
        Verified("Nt60NotVerified", kNt60, 0, FALSE),
        Verified("Nt51WithoutSuiteTest", kNt51, 0, TRUE),
        Verified("Nt52WithoutSuiteTest", kNt52, 0, TRUE),
        Verified("Nt61WithoutSuiteTest", kNt61, 0, TRUE),
        Absent("NoConditionMaskEntry", "VerSetConditionMask", nullptr),
        Absent("NoVerifyEntry", "VerifyVersionInfoA", nullptr),
        Absent("NoNtdllLoaded", nullptr, "ntdll.dll"),
        Absent("NoKernelLoaded", nullptr, "KERNEL32.DLL")),
    RowName<TerminalRow>);

TEST(TerminalSuiteTest, AsksForTheTerminalSuiteWithAnAndCondition)
{
    CFakeMachine machine;
    machine.version.record = kNt50;

    EXPECT_TRUE(CVersionCache::IsTerminalServicesInstalled());

    EXPECT_EQ("0,64,6", machine.terminal.conditionCall);
    EXPECT_EQ("156,16,64," + std::to_string(CFakeTerminalServices::kConditionMask), machine.terminal.verifyCall);
}

TEST(TerminalSuiteTest, LaterMinorVersionsNeedNoSuiteTest)
{
    CFakeMachine machine;
    machine.version.record = kNt51;

    EXPECT_TRUE(CVersionCache::IsTerminalServicesInstalled());

    EXPECT_EQ("", machine.terminal.verifyCall);
    EXPECT_EQ("", machine.suite.openedKey);
}

// The session check, after the version cache has been gathered.

struct SessionRow {
    const char* name;
    BOOL expected;
    FakeVersionRecord record = kNt51;
    USHORT protocol = 0;
    DWORD state = 0;
    bool loadFails = false;
    const char* absentEntry = nullptr;
    bool protocolQueryFails = false;
    bool stateQueryFails = false;
    const char* queries = "16@0/4294967295;8@0/4294967295;";
    std::optional<DWORD> protocolBytes = std::nullopt;
    std::optional<DWORD> stateBytes = std::nullopt;
};

void PrintTo(const SessionRow& row, std::ostream* out)
{
    *out << row.name;
}

class SessionTest : public testing::TestWithParam<SessionRow> {};

TEST_P(SessionTest, AnswersFromTheSessionQueries)
{
    const SessionRow& row = GetParam();
    CFakeMachine machine;
    machine.version.record = row.record;
    machine.suite.data = CFakeProductSuite::MultiString({"Enterprise"});
    CFakeTerminalServices& terminal = machine.terminal;
    terminal.protocol = row.protocol;
    terminal.state = row.state;
    terminal.loadFails = row.loadFails;
    terminal.protocolQueryFails = row.protocolQueryFails;
    terminal.stateQueryFails = row.stateQueryFails;
    terminal.protocolBytes = row.protocolBytes;
    terminal.stateBytes = row.stateBytes;
    if (row.absentEntry)
        machine.procs.Override(row.absentEntry, nullptr);
    CVersionCache cache;

    EXPECT_EQ(row.expected, CVersionCache::IsInActiveSession());
    EXPECT_EQ(row.queries, terminal.queries);
    EXPECT_EQ(0, terminal.answersLive);
    EXPECT_EQ(nullptr, GetModuleHandleW(L"wtsapi32.dll")) << "the library stays loaded";
}

SessionRow Session(const char* name, BOOL expected, USHORT protocol, DWORD state,
                   const char* queries = "16@0/4294967295;8@0/4294967295;")
{
    SessionRow row{name, expected};
    row.protocol = protocol;
    row.state = state;
    row.queries = queries;
    return row;
}

SessionRow SessionWith(const char* name, BOOL expected, void (*change)(SessionRow&))
{
    SessionRow row{name, expected};
    change(row);
    return row;
}

INSTANTIATE_TEST_SUITE_P(
    Sessions, SessionTest,
    testing::Values(
        Session("ConsoleActive", TRUE, 0, 0),
        Session("RemoteDesktopActive", TRUE, 2, 0),
        Session("OtherProtocol", FALSE, 1, 0, "16@0/4294967295;"),
        Session("UnknownProtocol", FALSE, 3, 0, "16@0/4294967295;"),
        Session("ConsoleConnected", FALSE, 0, 1),
        Session("RemoteDisconnected", FALSE, 2, 4),
        Session("ConsoleListening", FALSE, 0, 6),
        SessionWith("Win98", TRUE, [](SessionRow& r) { r.record = kWin98; r.queries = ""; }),
        SessionWith("NoTerminalServices", TRUE, [](SessionRow& r) { r.record = kNt4; r.queries = ""; }),
        SessionWith("LibraryNotLoaded", TRUE, [](SessionRow& r) { r.loadFails = true; r.queries = ""; }),
        SessionWith("NoQueryEntry", FALSE,
                [](SessionRow& r) { r.absentEntry = "WTSQuerySessionInformationA"; r.queries = ""; }),
        SessionWith("NoFreeEntry", FALSE, [](SessionRow& r) { r.absentEntry = "WTSFreeMemory"; r.queries = ""; }),
        SessionWith("ProtocolQueryFails", FALSE,
                [](SessionRow& r) { r.protocolQueryFails = true, r.queries = "16@0/4294967295;"; }),
        SessionWith("StateQueryFails", FALSE, [](SessionRow& r) { r.stateQueryFails = true; }),
        // An answer shorter than its value is no answer, and nothing past it is read.
        SessionWith("ProtocolAnswerEmpty", FALSE,
                [](SessionRow& r) { r.protocolBytes = 0; r.queries = "16@0/4294967295;"; }),
        SessionWith("ProtocolAnswerOneByte", FALSE,
                [](SessionRow& r) { r.protocolBytes = 1; r.queries = "16@0/4294967295;"; }),
        SessionWith("StateAnswerThreeBytes", FALSE, [](SessionRow& r) { r.stateBytes = 3; })),
    RowName<SessionRow>);

TEST(SessionLibraryTest, LoadsTheSystemCopyOfWtsapi32ByItsFullPath)
{
    CFakeMachine machine;
    machine.version.record = kNt51;
    CVersionCache cache;

    EXPECT_TRUE(CVersionCache::IsInActiveSession());

    wchar_t system[MAX_PATH];
    ASSERT_NE(0u, GetSystemDirectoryW(system, MAX_PATH));
    const std::vector<std::wstring> expected{std::wstring(system) + L"\\wtsapi32.dll"};
    EXPECT_EQ(expected, machine.terminal.loaded);
}

TEST(SessionLibraryTest, FailedVersionQueryCountsAsOutsideNt)
{
    CFakeMachine machine;
    machine.version.record = kNt51;
    machine.version.queryFails = true;
    CVersionCache cache;

    EXPECT_TRUE(CVersionCache::IsInActiveSession());
    EXPECT_TRUE(CVersionCache::IsCurrentUserAdmin());
    EXPECT_TRUE(machine.terminal.loaded.empty());
    EXPECT_EQ(0u, machine.token.openAccess);
}

// The administrator check: presence of S-1-5-32-544 in the token's groups.

struct AdminRow {
    const char* name;
    BOOL expected;
    std::vector<CFakeToken::Group> groups;
    DWORD listBytes = 0;  // nonzero: fillers before the groups make the list this long
    FakeVersionRecord record = kNt51;
    bool openFails = false;
    bool queryFails = false;
    bool sidFails = false;
};

void PrintTo(const AdminRow& row, std::ostream* out)
{
    *out << row.name;
}

// Domain groups ahead of the given ones, up to exactly `bytes` of group list.
void FillTo(CFakeToken& token, DWORD bytes)
{
    const DWORD entry = sizeof(SID_AND_ATTRIBUTES);
    std::vector<CFakeToken::Group> fillers;
    auto all = [&] {
        std::vector<CFakeToken::Group> groups = fillers;
        groups.insert(groups.end(), token.groups.begin(), token.groups.end());
        return groups;
    };
    DWORD rid = 1000;
    while (bytes - CFakeToken::ListBytes(all()) > entry + GetSidLengthRequired(15))
        fillers.push_back(CFakeToken::Domain(rid++));
    const DWORD rest = bytes - CFakeToken::ListBytes(all());
    const DWORD subAuthorities = (rest - entry - GetSidLengthRequired(0)) / sizeof(DWORD);
    fillers.push_back({std::vector<DWORD>(subAuthorities, 21), SE_GROUP_ENABLED});
    token.groups = all();
    ASSERT_EQ(bytes, token.ListBytes());
}

class AdministratorTest : public testing::TestWithParam<AdminRow> {};

TEST_P(AdministratorTest, AnswersFromTheTokenGroups)
{
    const AdminRow& row = GetParam();
    CFakeMachine machine;
    machine.version.record = row.record;
    CFakeToken& token = machine.token;
    token.groups = row.groups;
    if (row.listBytes)
        FillTo(token, row.listBytes);
    token.openFails = row.openFails;
    token.queryFails = row.queryFails;
    token.sidFails = row.sidFails;
    CVersionCache cache;

    EXPECT_EQ(row.expected, CVersionCache::IsCurrentUserAdmin());
    EXPECT_EQ(0, token.sidsLive);
    if (row.record.platformId == VER_PLATFORM_WIN32_NT) {
        EXPECT_EQ(static_cast<DWORD>(TOKEN_QUERY), token.openAccess);
        if (!row.openFails) {
            EXPECT_EQ(4096u, token.bufferOffered);
        }
    } else {
        EXPECT_EQ(0u, token.openAccess) << "the token is not asked outside NT";
    }
}

const CFakeToken::Group kAdminsEnabled = CFakeToken::Administrators(SE_GROUP_ENABLED | SE_GROUP_ENABLED_BY_DEFAULT);

AdminRow Groups(const char* name, BOOL expected, std::vector<CFakeToken::Group> groups, DWORD listBytes = 0)
{
    AdminRow row{name, expected, std::move(groups)};
    row.listBytes = listBytes;
    return row;
}

AdminRow AdminWith(const char* name, BOOL expected, void (*change)(AdminRow&))
{
    AdminRow row{name, expected, {CFakeToken::Users(), kAdminsEnabled}};
    change(row);
    return row;
}

INSTANTIATE_TEST_SUITE_P(
    Tokens, AdministratorTest,
    testing::Values(
        Groups("Enabled", TRUE, {CFakeToken::Users(), kAdminsEnabled}),
        Groups("First", TRUE, {kAdminsEnabled, CFakeToken::Users()}),
        Groups("DenyOnly", TRUE, {CFakeToken::Users(), CFakeToken::Administrators(SE_GROUP_USE_FOR_DENY_ONLY)}),
        Groups("Disabled", TRUE, {CFakeToken::Administrators(0)}),
        Groups("Absent", FALSE, {CFakeToken::Users(), CFakeToken::Domain(544), CFakeToken::Domain(512)}),
        Groups("NoGroups", FALSE, {}),
        Groups("ListOf4096Bytes", TRUE, {kAdminsEnabled}, 4096),
        Groups("ListOver4096Bytes", FALSE, {kAdminsEnabled}, 4100),
        AdminWith("Win98", TRUE, [](AdminRow& r) { r.record = kWin98; }),
        AdminWith("TokenNotOpened", FALSE, [](AdminRow& r) { r.openFails = true; }),
        AdminWith("GroupsNotRead", FALSE, [](AdminRow& r) { r.queryFails = true; }),
        AdminWith("SidNotBuilt", FALSE, [](AdminRow& r) { r.sidFails = true; })),
    RowName<AdminRow>);

} // namespace
