// Every registry value Setup reads, stored with every value type and with
// data of 0 to 8 bytes and of 64 KiB: the readers keep to their rules, never
// fail outward, and trace only complete lines.
#include "probe/CInstallerLog.h"
#include "trace/CDebugOptions.h"

#include "tests/hardening/support/CLineCheck.h"
#include "tests/hardening/support/CMachineKeyRedirect.h"
#include "tests/support/CTraceCapture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using ovQvl::CDebugOptions;

const std::wstring kSwitchKey = L"Software\\Quorvel";
const std::wstring kOutputKey = L"Software\\Quorvel\\Orvane\\Debug\\DebugOutput";
const std::wstring kCrashKey = L"Software\\Quorvel\\Orvane\\Debug\\CrashHandler";
const std::wstring kModulesKey = kOutputKey + L"\\Modules";

constexpr DWORD kLastType = REG_QWORD;
constexpr DWORD kLarge = 64 * 1024 + 2;
const std::vector<DWORD> kSizes = {0, 1, 2, 3, 4, 5, 6, 7, 8, kLarge};

// 0x06 switches the installer log to the debugger only; no unit is zero,
// so a text runs to the end of the data.
std::vector<BYTE> Data(DWORD size)
{
    static const BYTE kPattern[] = {0x06, 0x00, 0x41, 0x00, 0x42, 0x00, 0x43, 0x00};
    std::vector<BYTE> data(size);
    for (DWORD i = 0; i < size; ++i)
        data[i] = kPattern[i % sizeof(kPattern)];
    return data;
}

// The data's first bytes over the low bytes of start.
DWORD Over(DWORD start, const std::vector<BYTE>& data)
{
    std::memcpy(&start, data.data(), data.size() < 4 ? data.size() : 4);
    return start;
}

enum class Reader {
    LogSwitch,     // any type; up to four bytes, else 0
    StagedNumber,  // REG_DWORD of up to four bytes, else unchanged
    DirectNumber,  // up to four bytes land whatever the type
    Text,          // REG_SZ or REG_EXPAND_SZ of an even size
    ModuleEntry,   // a REG_DWORD of up to four bytes, else the load fails
};

struct ValueCase {
    std::string name;
    std::wstring key;
    const wchar_t* value;
    Reader reader;
    DWORD (*number)(const CDebugOptions&);
    const ovLib::CWideString* (*text)(const CDebugOptions&);
};

void PrintTo(const ValueCase& c, std::ostream* os)
{
    *os << c.name;
}

std::string Describe(DWORD type, DWORD size)
{
    return "type " + std::to_string(type) + ", " + std::to_string(size) + " bytes";
}

class RegistryInputTest : public testing::TestWithParam<ValueCase> {
protected:
    void SetUp() override
    {
        // The capture configures the process's trace first, from the
        // machine's own (empty) settings; only then are reads redirected.
        m_trace = std::make_unique<testing_support::CTraceCapture>();
        m_keys = std::make_unique<CMachineKeyRedirect>();
        ASSERT_TRUE(m_keys->Create(kModulesKey));
        ASSERT_TRUE(m_keys->Create(kCrashKey));
    }

    void TearDown() override
    {
        m_keys.reset();
        m_trace.reset();
    }

    void CheckOne(DWORD type, DWORD size);
    bool DeliversFourBytes(const std::wstring& key, const wchar_t* value) const;

    std::unique_ptr<testing_support::CTraceCapture> m_trace;
    std::unique_ptr<CMachineKeyRedirect> m_keys;
};

// Whether the system hands the value over to a reader with room for four
// bytes. Not the same everywhere: Wine wants room for a terminator after a
// text that lacks one, Windows does not.
bool RegistryInputTest::DeliversFourBytes(const std::wstring& key, const wchar_t* value) const
{
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    BYTE data[4];
    DWORD size = sizeof(data);
    const LONG result = RegQueryValueExW(opened, value, nullptr, nullptr, data, &size);
    RegCloseKey(opened);
    return result == ERROR_SUCCESS;
}

void RegistryInputTest::CheckOne(DWORD type, DWORD size)
{
    const ValueCase& c = GetParam();
    const std::vector<BYTE> data = Data(size);
    const std::string where = Describe(type, size);
    ASSERT_TRUE(m_keys->Set(c.key, c.value, type, data.data(), size)) << where;
    m_trace->Clear();
    const bool fits = DeliversFourBytes(c.key, c.value);
    const bool textOfFour = size == 4 && (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ);
    EXPECT_TRUE(textOfFour || fits == (size <= 4)) << where << ": only a text of four bytes may be refused";
    const bool number = type == REG_DWORD;
    const CDebugOptions defaults;

    if (c.reader == Reader::LogSwitch) {
        const CInstallerLog log;
        const std::vector<std::wstring> lines = m_trace->Lines();
        EXPECT_EQ(fits && size > 0 ? 1u : 0u, lines.size()) << where;
        for (const std::wstring& line : lines)
            EXPECT_TRUE(CLineCheck::IsInstallerLogLine(line)) << where;
        return;
    }

    CDebugOptions options;
    const bool loaded = options.Load();
    EXPECT_EQ(c.reader != Reader::ModuleEntry || (number && fits), loaded) << where;
    switch (c.reader) {
    case Reader::StagedNumber:
        EXPECT_EQ(number && fits ? Over(0, data) : c.number(defaults), c.number(options)) << where;
        break;
    case Reader::DirectNumber:
        // Longer data is refused by the system, which may leave the
        // destination as it likes.
        if (fits) {
            EXPECT_EQ(Over(c.number(defaults), data), c.number(options)) << where;
        }
        break;
    case Reader::Text: {
        const bool text = (type == REG_SZ || type == REG_EXPAND_SZ) && size % 2 == 0;
        const std::wstring expected =
            text ? std::wstring(reinterpret_cast<const wchar_t*>(data.data()), size / 2) : std::wstring();
        EXPECT_EQ(expected, std::wstring(c.text(options)->GetString())) << where;
        break;
    }
    case Reader::ModuleEntry:
        if (loaded) {
            ASSERT_EQ(1u, options.DebugOutput.Modules.size()) << where;
            EXPECT_EQ(Over(0, data), options.DebugOutput.Modules.begin()->second) << where;
        }
        break;
    case Reader::LogSwitch:
        break;
    }
    // A number of another type that fits is the one case a read reports.
    const bool typeReported = c.reader != Reader::Text && fits && !number;
    std::size_t expectedLines = typeReported ? 1 : 0;
    if (c.reader == Reader::Text)
        expectedLines = type == REG_SZ || type == REG_EXPAND_SZ ? size % 2 : 1;
    if (c.reader == Reader::ModuleEntry && !loaded)
        ++expectedLines;
    const std::vector<std::wstring> lines = m_trace->Lines();
    EXPECT_EQ(expectedLines, lines.size()) << where;
    for (const std::wstring& line : lines) {
        EXPECT_EQ(line.find(L'\n'), line.size() - 1) << where << ": not one complete line";
        EXPECT_EQ(std::wstring::npos, line.find(L'\r')) << where;
    }
}

TEST_P(RegistryInputTest, EveryTypeAndSizeIsReadByTheRules)
{
    unsigned tried = 0;
    for (DWORD type = REG_NONE; type <= kLastType; ++type) {
        for (DWORD size : kSizes) {
            CheckOne(type, size);
            ++tried;
        }
    }
    RecordProperty("inputs", static_cast<int>(tried));
    EXPECT_EQ((kLastType + 1) * kSizes.size(), tried);
}

#define OUTPUT_FLAG(field)                                                                                   \
    ValueCase                                                                                                \
    {                                                                                                        \
        #field, kOutputKey, L## #field, Reader::StagedNumber,                                                \
            [](const CDebugOptions& o) { return o.DebugOutput.field; }, nullptr                               \
    }
#define CRASH_FLAG(field)                                                                                   \
    ValueCase                                                                                               \
    {                                                                                                       \
        "CrashHandler" #field, kCrashKey, L## #field, Reader::StagedNumber,                                 \
            [](const CDebugOptions& o) { return o.field; }, nullptr                                          \
    }

INSTANTIATE_TEST_SUITE_P(
    Values, RegistryInputTest,
    testing::Values(
        ValueCase{"DebugLog", kSwitchKey, L"DebugLog", Reader::LogSwitch, nullptr, nullptr},
        ValueCase{"MsiDebugLog", kSwitchKey, L"MsiDebugLog", Reader::LogSwitch, nullptr, nullptr},
        ValueCase{"DebugType", kOutputKey, L"DebugType", Reader::DirectNumber,
                  [](const CDebugOptions& o) { return o.DebugOutput.DebugType; }, nullptr},
        ValueCase{"Directory", kOutputKey, L"Directory", Reader::Text, nullptr,
                  [](const CDebugOptions& o) { return &o.DebugOutput.Directory; }},
        OUTPUT_FLAG(OutputToDebugger), OUTPUT_FLAG(OutputToFile), OUTPUT_FLAG(AppendProcessIdToFile),
        OUTPUT_FLAG(PrependThreadId), OUTPUT_FLAG(PrependProcessId), OUTPUT_FLAG(PrependDateTime),
        OUTPUT_FLAG(PrependModuleName), OUTPUT_FLAG(AppendNewLine), OUTPUT_FLAG(PrependType),
        OUTPUT_FLAG(ExclusiveModules),
        ValueCase{"ModulesEntry", kModulesKey, L"Setup", Reader::ModuleEntry, nullptr, nullptr},
        CRASH_FLAG(DumpOnNew), CRASH_FLAG(TerminateOnNew), CRASH_FLAG(ThrowOnNew), CRASH_FLAG(DumpOnException),
        CRASH_FLAG(TerminateOnException), CRASH_FLAG(DumpOnPurecall), CRASH_FLAG(TerminateOnPurecall),
        CRASH_FLAG(DumpOnSecurity), CRASH_FLAG(TerminateOnSecurity), CRASH_FLAG(DumpOnInvalidParameter),
        CRASH_FLAG(TerminateOnInvalidParameter),
        ValueCase{"CrashHandlerDirectory", kCrashKey, L"Directory", Reader::Text, nullptr,
                  [](const CDebugOptions& o) { return &o.Directory; }},
        ValueCase{"CrashHandlerDumpType", kCrashKey, L"DumpType", Reader::DirectNumber,
                  [](const CDebugOptions& o) { return o.DumpType; }, nullptr},
        CRASH_FLAG(AppendDateTimeToFile), CRASH_FLAG(AppendVersionToFile)),
    [](const testing::TestParamInfo<ValueCase>& info) { return info.param.name; });

// Module names around the 260-unit buffer they are read into, and many of them.

struct NameCase {
    std::string name;
    std::size_t length;
    bool loads;
};

void PrintTo(const NameCase& c, std::ostream* os)
{
    *os << c.name;
}

// Both keys exist: a missing one would be traced as information.
class ModuleNameLengthTest : public testing::TestWithParam<NameCase> {
protected:
    void SetUp() override { ASSERT_TRUE(m_keys.Create(kCrashKey)); }

    testing_support::CTraceCapture m_trace;
    CMachineKeyRedirect m_keys;
};

TEST_P(ModuleNameLengthTest, FitsTheBufferWithItsTerminatorOrFailsTheLoad)
{
    const std::wstring name(GetParam().length, L'm');
    ASSERT_TRUE(m_keys.SetNumber(kModulesKey, name.c_str(), 1));
    m_trace.Clear();
    CDebugOptions options;

    EXPECT_EQ(GetParam().loads, options.Load());

    if (GetParam().loads) {
        ASSERT_EQ(1u, options.DebugOutput.Modules.size());
        EXPECT_EQ(name, std::wstring(options.DebugOutput.Modules.begin()->first.GetString()));
        EXPECT_TRUE(m_trace.Lines().empty());
    } else {
        EXPECT_EQ(std::vector<std::wstring>{L"CDebugOptions::Load() : mapReg.EnumValue() != ERROR_SUCCESS\n"},
                  m_trace.Lines());
    }
}

INSTANTIATE_TEST_SUITE_P(Names, ModuleNameLengthTest,
                         testing::Values(NameCase{"Units259", 259, true}, NameCase{"Units260", 260, false},
                                         NameCase{"Units300", 300, false}),
                         [](const testing::TestParamInfo<NameCase>& info) { return info.param.name; });

TEST(ModuleEntriesTest, AThousandAreAllKeptInOrder)
{
    testing_support::CTraceCapture trace;
    const CMachineKeyRedirect keys;
    ASSERT_TRUE(keys.Create(kCrashKey));
    constexpr unsigned kEntries = 1000;
    for (unsigned i = 0; i < kEntries; ++i)
        ASSERT_TRUE(keys.SetNumber(kModulesKey, (L"module" + std::to_wstring(i)).c_str(), i % 2));
    trace.Clear();
    CDebugOptions options;

    EXPECT_TRUE(options.Load());

    ASSERT_EQ(kEntries, options.DebugOutput.Modules.size());
    std::wstring previous;
    for (const auto& entry : options.DebugOutput.Modules) {
        const std::wstring name = entry.first.GetString();
        EXPECT_LT(previous, name);
        EXPECT_EQ(std::stoul(name.substr(6)) % 2, entry.second) << std::string(name.begin(), name.end());
        previous = name;
    }
    EXPECT_TRUE(trace.Lines().empty());
}

} // namespace
