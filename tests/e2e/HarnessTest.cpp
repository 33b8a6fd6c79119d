// The driver's own tools: what the end-to-end cases rely on.
#include "tests/e2e/CSetupRun.h"
#include "tests/e2e/CTestPlatform.h"
#include "tests/support/CTestFolder.h"
#include "tools/winrun/CScopedRegistryValue.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

using testing_support::CTestFolder;
using winRun::CEnvironmentBlock;
using winRun::CRegistryValue;
using winRun::CScopedRegistryValue;

std::wstring BlockText(const CEnvironmentBlock& block)
{
    const std::vector<wchar_t> built = block.Build();
    return std::wstring(built.begin(), built.end());
}

struct EnvironmentCase {
    const char* name;
    std::wstring entries;  // as GetEnvironmentStringsW gives them
    const wchar_t* setName;
    const wchar_t* setValue;
    std::wstring built;
};

void PrintTo(const EnvironmentCase& c, std::ostream* os)
{
    *os << c.name;
}

class HarnessEnvironment : public testing::TestWithParam<EnvironmentCase> {};

TEST_P(HarnessEnvironment, BuildsASortedBlock)
{
    const EnvironmentCase& c = GetParam();
    CEnvironmentBlock block(c.entries.c_str());
    block.Set(c.setName, c.setValue);
    EXPECT_EQ(c.built, BlockText(block));
}

using namespace std::string_literals;

INSTANTIATE_TEST_SUITE_P(
    Cases, HarnessEnvironment,
    testing::Values(
        EnvironmentCase{"AddsInOrder", L"PATH=C:\\w\0ZED=1\0\0"s, L"TMP", L"C:\\t",
                        L"PATH=C:\\w\0TMP=C:\\t\0ZED=1\0\0"s},
        EnvironmentCase{"ReplacesWithoutCase", L"Path=x\0temp=C:\\old\0\0"s, L"TEMP", L"C:\\new",
                        L"Path=x\0TEMP=C:\\new\0\0"s},
        EnvironmentCase{"SortsWithoutCase", L"b=2\0A=1\0\0"s, L"c", L"3",
                        L"A=1\0b=2\0c=3\0\0"s},
        EnvironmentCase{"KeepsDriveFolders", L"=C:=C:\\work\0X=1\0\0"s, L"E2E", L"a=b",
                        L"=C:=C:\\work\0E2E=a=b\0X=1\0\0"s},
        EnvironmentCase{"StartsEmpty", L"\0"s, L"ONE", L"", L"ONE=\0\0"s}),
    [](const testing::TestParamInfo<EnvironmentCase>& info) { return std::string(info.param.name); });

std::wstring PayloadProgram()
{
    return CSetupRun::DriverFolder() + L"\\payload\\payload145.exe";
}

// What OutputDebugStringW sends when it falls back to the ANSI code page.
std::wstring ThroughAnsiCodePage(const std::wstring& text)
{
    const int size = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(size, '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, narrow.data(), size, nullptr, nullptr);
    std::wstring wide(size, L'\0');
    MultiByteToWideChar(CP_ACP, 0, narrow.c_str(), -1, wide.data(), size);
    return wide.c_str();
}

// Windows 10 sends OutputDebugStringW as UTF-16 to a debugger that waits with
// WaitForDebugEventEx; Wine 8.0 always converts it to the ANSI code page.
TEST(HarnessDebugger, CollectsWideAndNarrowOutputAndTheExitCode)
{
    CTestFolder folder(L"debugger");
    CEnvironmentBlock environment = CEnvironmentBlock::OfThisProcess();
    const std::wstring text = L"wide \u00E4\u65E5 line\n";
    environment.Set(L"E2E_DEBUG_TEXT", text);
    environment.Set(L"E2E_EXIT_CODE", L"0xC0000005");

    winRun::CChildProcess payload;
    ASSERT_TRUE(payload.Start(winRun::CChildProcess::CommandLine(PayloadProgram(), L""),
                              folder.Path(), environment, winRun::DebugMode::ThisProcess));
    ASSERT_TRUE(payload.Wait(30000));

    EXPECT_EQ(0xC0000005u, payload.ExitCode());
    const auto& strings = payload.DebugStrings();
    ASSERT_EQ(2u, strings.size());
    EXPECT_EQ(strings[0].bWide ? text : ThroughAnsiCodePage(text), strings[0].text);
    EXPECT_EQ(payload.Id(), strings[0].dwProcessId);
    EXPECT_FALSE(strings[1].bWide);
    EXPECT_EQ(L"narrow 145", strings[1].text);
}

TEST(HarnessChild, WithoutADebuggerGivesTheExitCodeAndNoOutput)
{
    CTestFolder folder(L"child");
    CEnvironmentBlock environment = CEnvironmentBlock::OfThisProcess();
    environment.Set(L"E2E_DEBUG_TEXT", L"unseen");
    environment.Set(L"E2E_EXIT_CODE", L"3010");

    winRun::CChildProcess payload;
    ASSERT_TRUE(payload.Start(winRun::CChildProcess::CommandLine(PayloadProgram(), L""),
                              folder.Path(), environment));
    ASSERT_TRUE(payload.Wait(30000));
    EXPECT_EQ(3010u, payload.ExitCode());
    EXPECT_TRUE(payload.DebugStrings().empty());
}

TEST(HarnessChild, MissingProgramDoesNotStart)
{
    winRun::CChildProcess child;
    EXPECT_FALSE(child.Start(L"\"C:\\no such folder\\none.exe\"", L"",
                             CEnvironmentBlock::OfThisProcess()));
    EXPECT_NE(0u, GetLastError());
}

struct RegistryCase {
    const char* name;
    HKEY root;
    REGSAM view;
    std::optional<CRegistryValue> before;
    std::optional<CRegistryValue> during;
};

void PrintTo(const RegistryCase& c, std::ostream* os)
{
    *os << c.name;
}

class HarnessRegistry : public testing::TestWithParam<RegistryCase> {};

// A key of the test's own, so that parallel tests never meet.
winRun::CRegistryLocation OwnValue(HKEY root, REGSAM view)
{
    return {root, L"Software\\SetupE2E\\Harness" + std::to_wstring(GetCurrentProcessId()),
            L"Value", view};
}

void RemoveOwnKey(const winRun::CRegistryLocation& location)
{
    CRegistryValue::Delete(location);
    RegDeleteKeyExW(location.hRoot, location.strKey.c_str(), location.view, 0);
    RegDeleteKeyExW(location.hRoot, L"Software\\SetupE2E", location.view, 0);  // fails while others use it
}

TEST_P(HarnessRegistry, ScopedValueIsSetThenPutBack)
{
    const RegistryCase& c = GetParam();
    const winRun::CRegistryLocation location = OwnValue(c.root, c.view);
    if (c.before)
        c.before->Write(location);
    {
        CScopedRegistryValue scoped(location, c.during);
        EXPECT_EQ(c.during, CRegistryValue::Read(location));
    }
    EXPECT_EQ(c.before, CRegistryValue::Read(location));
    RemoveOwnKey(location);
}

const CRegistryValue kBinary(REG_BINARY, {0x00, 0xFF, 0x10});
const CRegistryValue kMultiString(REG_MULTI_SZ, {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0});

INSTANTIATE_TEST_SUITE_P(
    Cases, HarnessRegistry,
    testing::Values(
        RegistryCase{"UserStringOverAbsent", HKEY_CURRENT_USER, 0, std::nullopt, CRegistryValue::String(L"vista")},
        RegistryCase{"UserStringOverDword", HKEY_CURRENT_USER, 0, CRegistryValue::Dword(1), CRegistryValue::String(L"win7")},
        RegistryCase{"MachineDwordOverAbsent", HKEY_LOCAL_MACHINE, 0, std::nullopt, CRegistryValue::Dword(0xFFFFFFFF)},
        RegistryCase{"MachineBinaryOverMultiString", HKEY_LOCAL_MACHINE, 0, kMultiString, kBinary},
        RegistryCase{"MachineRemovedForTheScope", HKEY_LOCAL_MACHINE, 0, CRegistryValue::Dword(2), std::nullopt},
        RegistryCase{"Machine32BitView", HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, std::nullopt, CRegistryValue::Dword(1)}),
    [](const testing::TestParamInfo<RegistryCase>& info) { return std::string(info.param.name); });

// On 64-bit Windows, what a 32-bit program reads under HKLM\Software is not
// what a 64-bit one reads; 32-bit Windows has one view, whatever the flag.
TEST(HarnessRegistry, ViewsAreApartOnlyOn64BitWindows)
{
    const winRun::CRegistryLocation narrow = OwnValue(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY);
    const winRun::CRegistryLocation wide = OwnValue(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY);
    CScopedRegistryValue scoped(narrow, CRegistryValue::Dword(32));
    EXPECT_EQ(CRegistryValue::Dword(32), CRegistryValue::Read(narrow));
    if (CTestPlatform::OtherView())
        EXPECT_FALSE(CRegistryValue::Read(wide));
    else
        EXPECT_EQ(CRegistryValue::Dword(32), CRegistryValue::Read(wide));
    RemoveOwnKey(narrow);
}

} // namespace
