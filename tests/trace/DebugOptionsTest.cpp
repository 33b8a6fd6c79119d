#include "ovlib/COSInfo.h"
#include "trace/CDebugOptions.h"
#include "tests/ovlib/CAllocationFailure.h"
#include "tests/support/CTraceCapture.h"
#include "tests/trace/CDebugKeyRedirect.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using ovQvl::CDebugOptions;
using testing::ElementsAre;
using testing::IsEmpty;
using testing_support::CAllocationFailure;
using testing_support::CDebugKeyRedirect;
using testing_support::CProcAddressHook;
using testing_support::CTraceCapture;
using Call = CAllocationFailure::Call;

const std::wstring kDebug = CDebugKeyRedirect::kDebugKey;
const std::wstring kCrashHandler = kDebug + L"\\CrashHandler";
const std::wstring kDebugOutput = kDebug + L"\\DebugOutput";
const std::wstring kModules = kDebugOutput + L"\\Modules";

std::wstring MissingKeyLine(const std::wstring& path)
{
    return L"ovLib::CRegistry::Open(102) : RegOpenKeyEx() != ERROR_SUCCESS, " + path + L", 0x00000002\n";
}

constexpr wchar_t kNotNumber[] = L"ovLib::CRegistry::GetNumber(367) : dwType != REG_DWORD\n";
constexpr wchar_t kNotText[] = L"ovLib::CRegistry::GetString(269) : dwType != REG_SZ\n";

class DebugOptionsTest : public testing::Test {
protected:
    const testing_support::CTestKey& Key() const { return redirect.Key(); }

    CDebugKeyRedirect redirect;
    CAllocationFailure allocation;
    CTraceCapture trace;
    CDebugOptions options;
};

// Every number field, by registry value: its key, its default and where it lands.
struct NumberField {
    const char* name;
    const std::wstring* subKey;
    const wchar_t* value;
    DWORD defaultValue;
    DWORD (*get)(const CDebugOptions&);
};

// Readable in the list of tests instead of a byte dump.
void PrintTo(const NumberField& c, std::ostream* os)
{
    *os << c.name;
}

#define OUTPUT_FIELD(field, def) \
    NumberField{#field, &kDebugOutput, L## #field, def, [](const CDebugOptions& o) { return o.DebugOutput.field; }}
#define CRASH_FIELD(field, def) \
    NumberField{#field, &kCrashHandler, L## #field, def, [](const CDebugOptions& o) { return o.field; }}

const NumberField kNumberFields[] = {
    OUTPUT_FIELD(DebugType, 0),
    OUTPUT_FIELD(OutputToDebugger, 1),
    OUTPUT_FIELD(OutputToFile, 0),
    OUTPUT_FIELD(AppendProcessIdToFile, 1),
    OUTPUT_FIELD(PrependThreadId, 1),
    OUTPUT_FIELD(PrependProcessId, 1),
    OUTPUT_FIELD(PrependDateTime, 1),
    OUTPUT_FIELD(PrependModuleName, 1),
    OUTPUT_FIELD(AppendNewLine, 1),
    OUTPUT_FIELD(PrependType, 1),
    OUTPUT_FIELD(ExclusiveModules, 0),
    CRASH_FIELD(DumpOnNew, 0),
    CRASH_FIELD(TerminateOnNew, 0),
    CRASH_FIELD(ThrowOnNew, 1),
    CRASH_FIELD(DumpOnException, 0),
    CRASH_FIELD(TerminateOnException, 0),
    CRASH_FIELD(DumpOnPurecall, 0),
    CRASH_FIELD(TerminateOnPurecall, 0),
    CRASH_FIELD(DumpOnSecurity, 0),
    CRASH_FIELD(TerminateOnSecurity, 0),
    CRASH_FIELD(DumpOnInvalidParameter, 0),
    CRASH_FIELD(TerminateOnInvalidParameter, 0),
    CRASH_FIELD(DumpType, 0x22),
    CRASH_FIELD(AppendDateTimeToFile, 1),
    CRASH_FIELD(AppendVersionToFile, 1),
};

void ExpectDefaults(const CDebugOptions& options)
{
    for (const NumberField& field : kNumberFields)
        EXPECT_EQ(field.defaultValue, field.get(options)) << field.name;
    EXPECT_STREQ(L"", options.DebugOutput.Directory);
    EXPECT_STREQ(L"", options.Directory);
    EXPECT_TRUE(options.DebugOutput.Modules.empty());
}

TEST_F(DebugOptionsTest, WithoutAnyKeyLoadKeepsTheDefaults)
{
    options.DebugOutput.DebugType = 3;
    options.DebugOutput.Modules[L"Setup"] = 1;
    EXPECT_TRUE(options.Load());
    ExpectDefaults(options);
    EXPECT_THAT(trace.Lines(), ElementsAre(MissingKeyLine(kCrashHandler), MissingKeyLine(kDebugOutput)));
}

TEST_F(DebugOptionsTest, ConstructionGivesTheDefaults)
{
    ExpectDefaults(CDebugOptions());
}

class NumberFieldTest : public DebugOptionsTest, public testing::WithParamInterface<NumberField> {};

TEST_P(NumberFieldTest, IsReadFromItsValue)
{
    const NumberField& field = GetParam();
    Key().CreateSubKey(kCrashHandler);
    Key().CreateSubKey(kModules);
    Key().SetNumber(*field.subKey, field.value, 0x1234);
    EXPECT_TRUE(options.Load());
    EXPECT_EQ(0x1234u, field.get(options));
    EXPECT_THAT(trace.Lines(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Fields, NumberFieldTest, testing::ValuesIn(kNumberFields),
                         [](const testing::TestParamInfo<NumberField>& info) { return std::string(info.param.name); });

TEST_F(DebugOptionsTest, EachGroupHasItsOwnDirectoryTakenAsStored)
{
    const std::wstring outputDirectory = L"%TEMP%\\trace";
    Key().SetRaw(kDebugOutput, L"Directory", REG_EXPAND_SZ, outputDirectory.c_str(),
                 static_cast<DWORD>((outputDirectory.size() + 1) * sizeof(wchar_t)));
    Key().SetString(kCrashHandler, L"Directory", L"C:\\Dumps");
    EXPECT_TRUE(options.Load());
    EXPECT_EQ(outputDirectory, options.DebugOutput.Directory.GetString());
    EXPECT_STREQ(L"C:\\Dumps", options.Directory);
}

// A value of the wrong type: only DebugType and DumpType take what fits.
struct WrongTypeCase {
    const char* name;
    const std::wstring* subKey;
    const wchar_t* value;
    DWORD type;
    std::vector<BYTE> data;
    DWORD expected;
    DWORD (*get)(const CDebugOptions&);
    std::vector<std::wstring> lines;
};

// Readable in the list of tests instead of a byte dump.
void PrintTo(const WrongTypeCase& c, std::ostream* os)
{
    *os << c.name;
}

const BYTE kFourBytes[] = {0x01, 0x02, 0x03, 0x04};
const wchar_t kOne[] = L"1";
const wchar_t kLongText[] = L"enabled";

std::vector<BYTE> BytesOf(const void* data, std::size_t size)
{
    const auto* bytes = static_cast<const BYTE*>(data);
    return std::vector<BYTE>(bytes, bytes + size);
}

class WrongTypeTest : public DebugOptionsTest, public testing::WithParamInterface<WrongTypeCase> {};

TEST_P(WrongTypeTest, ToleratedValueByValue)
{
    const WrongTypeCase& c = GetParam();
    Key().CreateSubKey(kCrashHandler);
    Key().CreateSubKey(kModules);
    Key().SetRaw(*c.subKey, c.value, c.type, c.data.data(), static_cast<DWORD>(c.data.size()));
    EXPECT_TRUE(options.Load());
    EXPECT_EQ(c.expected, c.get(options));
    EXPECT_EQ(c.lines, trace.Lines());
}

INSTANTIATE_TEST_SUITE_P(
    Values, WrongTypeTest,
    testing::Values(
        WrongTypeCase{"DebugTypeAsBinary", &kDebugOutput, L"DebugType", REG_BINARY, BytesOf(kFourBytes, 4),
                      0x04030201, [](const CDebugOptions& o) { return o.DebugOutput.DebugType; }, {kNotNumber}},
        WrongTypeCase{"DumpTypeAsBinary", &kCrashHandler, L"DumpType", REG_BINARY, BytesOf(kFourBytes, 4),
                      0x04030201, [](const CDebugOptions& o) { return o.DumpType; }, {kNotNumber}},
        WrongTypeCase{"FlagAsShortText", &kDebugOutput, L"OutputToDebugger", REG_SZ, BytesOf(kOne, sizeof(kOne)), 1,
                      [](const CDebugOptions& o) { return o.DebugOutput.OutputToDebugger; }, {kNotNumber}},
        WrongTypeCase{"FlagAsLongText", &kDebugOutput, L"PrependType", REG_SZ, BytesOf(kLongText, sizeof(kLongText)),
                      1, [](const CDebugOptions& o) { return o.DebugOutput.PrependType; }, {}},
        WrongTypeCase{"FlagAsBinary", &kCrashHandler, L"ThrowOnNew", REG_BINARY, BytesOf(kFourBytes, 4), 1,
                      [](const CDebugOptions& o) { return o.ThrowOnNew; }, {kNotNumber}},
        WrongTypeCase{"DirectoryAsNumber", &kDebugOutput, L"Directory", REG_DWORD, BytesOf(kFourBytes, 4), 0,
                      [](const CDebugOptions& o) { return static_cast<DWORD>(o.DebugOutput.Directory.GetLength()); },
                      {kNotText}}),
    [](const testing::TestParamInfo<WrongTypeCase>& info) { return std::string(info.param.name); });

TEST_F(DebugOptionsTest, ModulesAreOrderedByExactComparison)
{
    Key().SetNumber(kModules, L"alpha", 1);
    Key().SetNumber(kModules, L"Zeta", 0);
    Key().SetNumber(kModules, L"beta", 7);
    EXPECT_TRUE(options.Load());
    std::vector<std::pair<std::wstring, DWORD>> modules;
    for (const auto& [name, value] : options.DebugOutput.Modules)
        modules.emplace_back(name.GetString(), value);
    EXPECT_THAT(modules, ElementsAre(std::make_pair(std::wstring(L"Zeta"), 0u), std::make_pair(std::wstring(L"alpha"), 1u),
                                     std::make_pair(std::wstring(L"beta"), 7u)));
}

TEST_F(DebugOptionsTest, EmptyModulesKeyGivesAnEmptyMap)
{
    Key().CreateSubKey(kCrashHandler);
    Key().CreateSubKey(kModules);
    EXPECT_TRUE(options.Load());
    EXPECT_TRUE(options.DebugOutput.Modules.empty());
    EXPECT_THAT(trace.Lines(), IsEmpty());
}

TEST_F(DebugOptionsTest, LoadStartsOverEachTime)
{
    Key().SetNumber(kDebugOutput, L"DebugType", 2);
    Key().SetNumber(kModules, L"Setup", 1);
    ASSERT_TRUE(options.Load());
    ASSERT_EQ(1u, options.DebugOutput.Modules.size());
    RegDeleteTreeW(Key().Handle(), kDebugOutput.c_str());
    EXPECT_TRUE(options.Load());
    ExpectDefaults(options);
}

// A Modules entry that is no number fails the whole load.
struct BadModuleCase {
    const char* name;
    std::wstring valueName;
    DWORD type;
    std::vector<BYTE> data;
    std::vector<std::wstring> lines;
};

// Readable in the list of tests instead of a byte dump.
void PrintTo(const BadModuleCase& c, std::ostream* os)
{
    *os << c.name;
}

const DWORD kOn = 1;

class BadModuleTest : public DebugOptionsTest, public testing::WithParamInterface<BadModuleCase> {};

TEST_P(BadModuleTest, FailsTheLoad)
{
    const BadModuleCase& c = GetParam();
    Key().CreateSubKey(kCrashHandler);
    Key().SetRaw(kModules, c.valueName.c_str(), c.type, c.data.data(), static_cast<DWORD>(c.data.size()));
    EXPECT_FALSE(options.Load());
    EXPECT_EQ(c.lines, trace.Lines());
}

INSTANTIATE_TEST_SUITE_P(
    Entries, BadModuleTest,
    testing::Values(BadModuleCase{"ShortText", L"Setup", REG_SZ, BytesOf(kOne, sizeof(kOne)),
                                  {kNotNumber, L"CDebugOptions::Load() : mapReg.GetNumber() == FALSE\n"}},
                    BadModuleCase{"LongText", L"Setup", REG_SZ, BytesOf(kLongText, sizeof(kLongText)),
                                  {L"CDebugOptions::Load() : mapReg.GetNumber() == FALSE\n"}},
                    BadModuleCase{"NameTooLong", std::wstring(260, L'm'), REG_DWORD, BytesOf(&kOn, sizeof(kOn)),
                                  {L"CDebugOptions::Load() : mapReg.EnumValue() != ERROR_SUCCESS\n"}}),
    [](const testing::TestParamInfo<BadModuleCase>& info) { return std::string(info.param.name); });

TEST_F(DebugOptionsTest, ModulesMapThatCannotGrowFailsTheLoad)
{
    Key().CreateSubKey(kCrashHandler);
    Key().SetNumber(kModules, L"Setup", 1);
    allocation.Arm(Call::Malloc);
    EXPECT_FALSE(options.Load());
    EXPECT_TRUE(allocation.Failed());
    EXPECT_THAT(trace.Lines(),
                ElementsAre(L"ovQvl::CDebugOptions::Load(194) : OVCATCH : std::bad_alloc, bad allocation\n"));
}

class RegPathFailureTest : public DebugOptionsTest, public testing::WithParamInterface<int> {};

TEST_P(RegPathFailureTest, FailsTheLoadWithThreeLines)
{
    allocation.Arm(Call::HeapAlloc, GetParam());
    EXPECT_FALSE(options.Load());
    EXPECT_TRUE(allocation.Failed());
    EXPECT_THAT(trace.Lines(),
                ElementsAre(L"ovLib::CStringConvert::FormatV(203) : OVCATCH : CAtlException, 0x8007000E\n",
                            L"CDebugOptions::BuildRegPath() : CStringConvert::Format() == false\n",
                            L"CDebugOptions::Load() : BuildRegPath() == FALSE\n"));
}

INSTANTIATE_TEST_SUITE_P(Paths, RegPathFailureTest, testing::Values(1, 2),
                         [](const testing::TestParamInfo<int>& info) {
                             return info.param == 1 ? std::string("CrashHandler") : std::string("DebugOutput");
                         });

// The view: 32-bit on 64-bit Windows, for both group keys but not for Modules.
BOOL g_wow64Flag = FALSE;

BOOL WINAPI FakeIsWow64Process(HANDLE, PBOOL wow64)
{
    *wow64 = g_wow64Flag;
    return TRUE;
}

class RegistryViewTest : public DebugOptionsTest, public testing::WithParamInterface<bool> {};

TEST_P(RegistryViewTest, FollowsTheSystemsWordSize)
{
    g_wow64Flag = GetParam() ? TRUE : FALSE;
    CProcAddressHook procs;
    procs.Override("IsWow64Process", reinterpret_cast<const void*>(&FakeIsWow64Process));
    // The capture's own set-up has asked already; ask again under the fake.
    ovLib::COSInfo::isWin64Known = false;
    ovLib::COSInfo::m_Kernel.Unload();
    Key().CreateSubKey(kCrashHandler);
    Key().SetNumber(kModules, L"Setup", 1);
    const std::size_t before = redirect.Opened().size();

    ASSERT_TRUE(options.Load());
    const REGSAM groupAccess = GetParam() ? 0x20219 : 0x20019;
    const auto all = redirect.Opened();
    const std::vector<std::pair<std::wstring, REGSAM>> opened(all.begin() + before, all.end());
    EXPECT_THAT(opened, ElementsAre(std::make_pair(kCrashHandler, groupAccess),
                                    std::make_pair(kDebugOutput, groupAccess),
                                    std::make_pair(std::wstring(L"Modules"), REGSAM(0x20019))));
}

INSTANTIATE_TEST_SUITE_P(Systems, RegistryViewTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? std::string("Windows64") : std::string("Windows32");
                         });

} // namespace
