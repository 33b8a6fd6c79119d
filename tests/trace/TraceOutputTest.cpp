#include "trace/CRegDebugOutput.h"
#include "trace/Trace.h"
#include "tests/support/CTraceCapture.h"
#include "tests/trace/CDebugKeyRedirect.h"
#include "tests/trace/CFixedIdentity.h"
#include "tests/support/TraceOptions.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

using ovQvl::CDebugOptions;
using testing::ElementsAre;
using testing::IsEmpty;
using testing_support::CDebugKeyRedirect;
using testing_support::CFixedIdentity;
using testing_support::FixedIdentity;
using testing_support::CTraceCapture;
using testing_support::PlainOptions;

void TraceAll(const wchar_t* text)
{
    TraceInfo(L"%s", text);
    TraceWarning(L"%s", text);
    TraceError(L"%s", text);
}

class TraceOutputTest : public testing::Test {
protected:
    CDebugKeyRedirect redirect;
};

// The threshold passes a type when it is at least the threshold, as signed numbers.
struct ThresholdCase {
    const char* name;
    DWORD debugType;
    std::vector<std::wstring> lines;
};

// Readable in the list of tests instead of a byte dump.
void PrintTo(const ThresholdCase& c, std::ostream* os)
{
    *os << c.name;
}

class ThresholdTest : public TraceOutputTest, public testing::WithParamInterface<ThresholdCase> {};

TEST_P(ThresholdTest, PassesTypesFromTheThresholdUp)
{
    CTraceCapture trace(PlainOptions(GetParam().debugType));
    TraceInfo(L"Information");
    TraceWarning(L"Warning");
    TraceError(L"Error");
    EXPECT_EQ(GetParam().lines, trace.Lines());
}

INSTANTIATE_TEST_SUITE_P(
    Thresholds, ThresholdTest,
    testing::Values(ThresholdCase{"Off", 0, {}},
                    ThresholdCase{"Information", 1, {L"Information", L"Warning", L"Error"}},
                    ThresholdCase{"Warning", 2, {L"Warning", L"Error"}}, ThresholdCase{"Error", 3, {L"Error"}},
                    ThresholdCase{"AboveError", 4, {}}, ThresholdCase{"LargestPositive", 0x7FFFFFFF, {}},
                    ThresholdCase{"SmallestNegative", 0x80000000, {L"Information", L"Warning", L"Error"}},
                    ThresholdCase{"MinusOne", 0xFFFFFFFF, {L"Information", L"Warning", L"Error"}}),
    [](const testing::TestParamInfo<ThresholdCase>& info) { return std::string(info.param.name); });

// Each prefix on its own, then all of them together.
struct PrefixCase {
    const char* name;
    DWORD CDebugOptions::CDebugOutputGroup::*flag;
    FixedIdentity identity;
    std::wstring line;
};

// Readable in the list of tests instead of a byte dump.
void PrintTo(const PrefixCase& c, std::ostream* os)
{
    *os << c.name;
}

constexpr wchar_t kMessage[] = L"CInstaller::Install(74) : Failed to GetTempPath";

class PrefixTest : public TraceOutputTest, public testing::WithParamInterface<PrefixCase> {};

std::vector<std::wstring> ErrorLinesWith(const CDebugOptions& options, FixedIdentity identity)
{
    CTraceCapture trace(options);
    {
        CFixedIdentity fixed(identity);
        TraceError(kMessage);
    }
    return trace.Lines();
}

TEST_P(PrefixTest, PrependsItsField)
{
    CDebugOptions options = PlainOptions();
    options.DebugOutput.*GetParam().flag = 1;
    EXPECT_THAT(ErrorLinesWith(options, GetParam().identity), ElementsAre(GetParam().line));
}

using Group = CDebugOptions::CDebugOutputGroup;

INSTANTIATE_TEST_SUITE_P(
    Prefixes, PrefixTest,
    testing::Values(
        PrefixCase{"DateTime", &Group::PrependDateTime, {}, std::wstring(L"2008-01-15-09-30-05-042 : ") + kMessage},
        PrefixCase{"ModuleName", &Group::PrependModuleName, {}, std::wstring(L"Setup : ") + kMessage},
        PrefixCase{"ProcessId", &Group::PrependProcessId, {}, std::wstring(L"0x0A1C : ") + kMessage},
        PrefixCase{"WideProcessId", &Group::PrependProcessId, {0x12345, 1}, std::wstring(L"0x12345 : ") + kMessage},
        PrefixCase{"ThreadId", &Group::PrependThreadId, {}, std::wstring(L"0x0B20 : ") + kMessage},
        PrefixCase{"NarrowThreadId", &Group::PrependThreadId, {1, 0x2A}, std::wstring(L"0x002A : ") + kMessage},
        PrefixCase{"Type", &Group::PrependType, {}, std::wstring(L"Error : ") + kMessage}),
    [](const testing::TestParamInfo<PrefixCase>& info) { return std::string(info.param.name); });

TEST_F(TraceOutputTest, EveryPrefixInItsPlace)
{
    CDebugOptions options;  // the defaults: every prefix and the line end
    options.DebugOutput.DebugType = 1;
    EXPECT_THAT(ErrorLinesWith(options, FixedIdentity{}),
                ElementsAre(L"2008-01-15-09-30-05-042 : Setup : 0x0A1C : 0x0B20 : Error : "
                            L"CInstaller::Install(74) : Failed to GetTempPath\r\n"));
}

TEST_F(TraceOutputTest, EachTypeHasItsLabel)
{
    CDebugOptions options = PlainOptions();
    options.DebugOutput.PrependType = 1;
    CTraceCapture trace(options);
    TraceAll(L"text");
    EXPECT_THAT(trace.Lines(), ElementsAre(L"Information : text", L"Warning : text", L"Error : text"));
}

TEST_F(TraceOutputTest, ArgumentsArriveInOrder)
{
    CTraceCapture trace;
    TraceError(L"ovLib::CModule::Load(116) : LoadLibraryEx() == NULL, %s, 0x%08X\n", L"C:\\x.dll", 0x7Eu);
    TraceWarning(L"%hs|%d", "narrow", -5);
    EXPECT_THAT(trace.Lines(), ElementsAre(L"ovLib::CModule::Load(116) : LoadLibraryEx() == NULL, C:\\x.dll, "
                                           L"0x0000007E\n",
                                           L"narrow|-5"));
}

TEST_F(TraceOutputTest, MessagesHaveNoLengthLimit)
{
    CTraceCapture trace;
    const std::wstring longText(5000, L'x');
    TraceError(L"<%s>", longText.c_str());
    EXPECT_THAT(trace.Lines(), ElementsAre(L"<" + longText + L">"));
}

TEST_F(TraceOutputTest, NullFormatWritesNothing)
{
    CTraceCapture trace;
    TraceError(nullptr);
    EXPECT_THAT(trace.Lines(), IsEmpty());
}

// Line ends: with AppendNewLine the whole trailing run of CR and LF becomes one CR LF.
struct LineEndCase {
    const char* name;
    const wchar_t* message;
    bool appendNewLine;
    const wchar_t* line;
};

// Readable in the list of tests instead of a byte dump.
void PrintTo(const LineEndCase& c, std::ostream* os)
{
    *os << c.name;
}

class LineEndTest : public TraceOutputTest, public testing::WithParamInterface<LineEndCase> {};

TEST_P(LineEndTest, EndsAsConfigured)
{
    CDebugOptions options = PlainOptions();
    options.DebugOutput.AppendNewLine = GetParam().appendNewLine;
    CTraceCapture trace(options);
    TraceError(L"%s", GetParam().message);
    EXPECT_THAT(trace.Lines(), ElementsAre(GetParam().line));
}

INSTANTIATE_TEST_SUITE_P(
    LineEnds, LineEndTest,
    testing::Values(LineEndCase{"LineFeed", L"text\n", true, L"text\r\n"},
                    LineEndCase{"TwoCrLf", L"text\r\n\r\n", true, L"text\r\n"},
                    LineEndCase{"None", L"text", true, L"text\r\n"},
                    LineEndCase{"Mixed", L"text\n\r\r\n", true, L"text\r\n"},
                    LineEndCase{"InteriorKept", L"a\nb\n", true, L"a\nb\r\n"},
                    LineEndCase{"Empty", L"", true, L"\r\n"},
                    LineEndCase{"OnlyLineEnds", L"\n\r", true, L"\r\n"},
                    LineEndCase{"OffKeepsLineFeed", L"text\n", false, L"text\n"},
                    LineEndCase{"OffAddsNothing", L"text", false, L"text"}),
    [](const testing::TestParamInfo<LineEndCase>& info) { return std::string(info.param.name); });

// The module filter, applied to the module name "Setup".
struct FilterCase {
    const char* name;
    DWORD exclusive;
    std::vector<std::pair<const wchar_t*, DWORD>> modules;
    std::vector<std::wstring> lines;
};

// Readable in the list of tests instead of a byte dump.
void PrintTo(const FilterCase& c, std::ostream* os)
{
    *os << c.name;
}

class ModuleFilterTest : public TraceOutputTest, public testing::WithParamInterface<FilterCase> {};

TEST_P(ModuleFilterTest, DecidesWhetherSetupTraces)
{
    CDebugOptions options = PlainOptions(2);
    options.DebugOutput.ExclusiveModules = GetParam().exclusive;
    for (const auto& [name, value] : GetParam().modules)
        options.DebugOutput.Modules[name] = value;
    CTraceCapture trace(options);
    TraceInfo(L"Information");
    TraceError(L"Error");
    EXPECT_EQ(GetParam().lines, trace.Lines());
}

const std::vector<std::wstring> kTraces = {L"Error"};

INSTANTIATE_TEST_SUITE_P(
    Filters, ModuleFilterTest,
    testing::Values(FilterCase{"Unlisted", 0, {{L"Other", 0}}, kTraces},
                    FilterCase{"ListedOn", 0, {{L"Setup", 5}}, kTraces},
                    FilterCase{"ListedOff", 0, {{L"Setup", 0}}, {}},
                    FilterCase{"ListedOffInOtherCase", 0, {{L"sETUP", 0}}, {}},
                    FilterCase{"ExclusiveWithoutList", 1, {}, kTraces},
                    FilterCase{"ExclusiveListedOn", 1, {{L"Other", 0}, {L"setup", 1}}, kTraces},
                    FilterCase{"ExclusiveOthersOnly", 1, {{L"Other", 1}}, {}},
                    FilterCase{"FirstMatchInExactOrderOn", 0, {{L"Setup", 0}, {L"SETUP", 1}}, kTraces},
                    FilterCase{"FirstMatchInExactOrderOff", 0, {{L"Setup", 1}, {L"SETUP", 0}}, {}}),
    [](const testing::TestParamInfo<FilterCase>& info) { return std::string(info.param.name); });

} // namespace
