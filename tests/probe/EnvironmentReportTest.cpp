#include "probe/CPlatformFacts.h"
#include "tests/probe/CFakeMachine.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using namespace testing_support;

struct ReportRow {
    const char* name;
    std::function<void(CFakeMachine&)> arrange;
    std::vector<std::wstring> lines;
};

void PrintTo(const ReportRow& row, std::ostream* out)
{
    *out << row.name;
}

const wchar_t kServer[] = L"NT Server";
const wchar_t kTerminal[] = L"Terminal Services are installed";
const wchar_t kActive[] = L"In Active Session";
const wchar_t kAdmin[] = L"Current User is Administrator";

class EnvironmentReportTest : public testing::TestWithParam<ReportRow> {};

TEST_P(EnvironmentReportTest, WritesTheLinesWhoseConditionsHold)
{
    const ReportRow& row = GetParam();
    CFakeMachine machine;
    row.arrange(machine);

    CPlatformFacts facts;

    EXPECT_EQ(row.lines, machine.ReportLines());
}

void Record(CFakeMachine& m, FakeVersionRecord record)
{
    m.version.record = record;
}

INSTANTIATE_TEST_SUITE_P(
    Machines, EnvironmentReportTest,
    testing::Values(
        ReportRow{"Nt60", [](CFakeMachine&) {}, {L"OS Info: NT 6.0 (2020)", kTerminal, kActive, kAdmin}},
        ReportRow{"Nt51Sp2",
                  [](CFakeMachine& m) {
                      Record(m, kNt51);
                      m.version.record.spMajor = 2;
                      m.terminal.verifyResult = 0;
                  },
                  {L"OS Info: NT 5.1 (2008)", L"Service Pack: 2.0", kTerminal, kActive, kAdmin}},
        ReportRow{"Nt52Sp1Server",
                  [](CFakeMachine& m) {
                      Record(m, kNt52);
                      m.version.record.spMajor = 1;
                      m.version.record.productType = VER_NT_SERVER;
                  },
                  {L"OS Info: NT 5.2 (2010)", kServer, L"Service Pack: 1.0", kTerminal, kActive, kAdmin}},
        ReportRow{"Nt61ServerSp1",
                  [](CFakeMachine& m) {
                      Record(m, kNt61);
                      m.version.record.spMajor = 1;
                      m.version.record.productType = VER_NT_SERVER;
                  },
                  {L"OS Info: NT 6.1 (2000)", kTerminal, kActive, kAdmin}},
        ReportRow{"Win98", [](CFakeMachine& m) { Record(m, kWin98); }, {L"OS Info: 9x 4.10 (1002)"}},
        ReportRow{"Nt4WithoutTerminalServer",
                  [](CFakeMachine& m) {
                      Record(m, kNt4);
                      m.suite.data = CFakeProductSuite::MultiString({"Small Business"});
                  },
                  {L"OS Info: NT 4.0 (2002)", kAdmin}},
        ReportRow{"Nt4TerminalServer",
                  [](CFakeMachine& m) {
                      Record(m, kNt4);
                      m.suite.data = CFakeProductSuite::MultiString({"Terminal Server"});
                  },
                  {L"OS Info: NT 4.0 (2002)", kTerminal, kActive, kAdmin}},
        ReportRow{"Nt50WithoutSuite", [](CFakeMachine& m) {
                      Record(m, kNt50);
                      m.terminal.verifyResult = 0;
                  },
                  {L"OS Info: NT 5.0 (2004)", kAdmin}},
        ReportRow{"Disconnected", [](CFakeMachine& m) { m.terminal.state = 4; },
                  {L"OS Info: NT 6.0 (2020)", kTerminal, kAdmin}},
        ReportRow{"OtherProtocol", [](CFakeMachine& m) { m.terminal.protocol = 1; },
                  {L"OS Info: NT 6.0 (2020)", kTerminal, kAdmin}},
        ReportRow{"NoAdministrators", [](CFakeMachine& m) { m.token.groups = {CFakeToken::Users()}; },
                  {L"OS Info: NT 6.0 (2020)", kTerminal, kActive}},
        ReportRow{"DenyOnlyAdministrators",
                  [](CFakeMachine& m) {
                      m.token.groups = {CFakeToken::Administrators(SE_GROUP_USE_FOR_DENY_ONLY)};
                  },
                  {L"OS Info: NT 6.0 (2020)", kTerminal, kActive, kAdmin}},
        ReportRow{"FailedVersionQuery",
                  [](CFakeMachine& m) {
                      Record(m, kNt51);
                      m.version.queryFails = true;
                  },
                  {L"OS Info: 9x 0.0 (0)", kTerminal, kActive}}),
    [](const testing::TestParamInfo<ReportRow>& info) { return std::string(info.param.name); });

TEST(EnvironmentReportOffTest, GathersTheSameFactsAndWritesNothing)
{
    CFakeMachine machine;
    machine.switches.values.clear();
    machine.version.record = kNt60;
    machine.version.record.spMajor = 1;

    CPlatformFacts facts;

    EXPECT_TRUE(facts.IsAtLeast(0xFFFF, 0x20, 1, 0));
    EXPECT_FALSE(facts.IsAtLeast(0xFFFF, 0x20, 1, 1));
    EXPECT_TRUE(machine.debug.Lines().empty());
    EXPECT_TRUE(machine.folders.created.empty());
    EXPECT_EQ(0, machine.clock.calls);
    EXPECT_EQ(1, machine.switches.opens);
}

} // namespace
