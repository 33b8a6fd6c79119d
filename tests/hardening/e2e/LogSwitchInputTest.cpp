// The installer-log switches of the real Setup.exe, stored in the machine's
// registry with every value type and with data of several sizes: Setup runs
// its payload all the same, and its log goes to the debugger exactly when the
// system hands over the data in four bytes, as whole lines.
#include "tests/e2e/CSetupRun.h"
#include "tools/winrun/CScopedRegistryValue.h"

#include <gtest/gtest.h>

#include <iostream>
#include <regex>
#include <string>
#include <vector>

namespace {

// The test Setup.exe, built beside the end-to-end driver.
constexpr wchar_t kTestSetup[] = L"..\\e2e\\setup";

const std::wstring kSwitchKey = L"Software\\Quorvel";
const std::vector<DWORD> kSizes = {0, 1, 3, 4, 5, 8, 64 * 1024 + 2};
const std::wregex kLogLine(L"(Log started at \\d\\d:\\d\\d:\\d\\d on \\d\\d/\\d\\d/\\d\\d\\."
                           L"|OS Info: (NT|9x) \\d+\\.\\d+ \\([0-9a-f]+\\)"
                           L"|NT Server|Service Pack: \\d+\\.\\d+|Terminal Services are installed"
                           L"|In Active Session|Current User is Administrator)\r\n");

// 0x06: the debugger output and a bit that selects nothing; never the file.
std::vector<BYTE> Data(DWORD size)
{
    static const BYTE kPattern[] = {0x06, 0x00, 0x41, 0x00};
    std::vector<BYTE> data(size);
    for (DWORD i = 0; i < size; ++i)
        data[i] = kPattern[i % sizeof(kPattern)];
    return data;
}

// What Setup will be given: the system's answer to a four-byte read.
bool DeliversFourBytes(const wchar_t* name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSwitchKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    BYTE data[4];
    DWORD size = sizeof(data);
    const LONG result = RegQueryValueExW(key, name, nullptr, nullptr, data, &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS && size > 0;
}

class LogSwitchInput : public testing::TestWithParam<const wchar_t*> {};

TEST_P(LogSwitchInput, EveryTypeAndSizeLeavesTheRunAloneAndLogsOnlyWholeLines)
{
    const winRun::CScopedRegistryValue other({HKEY_LOCAL_MACHINE, kSwitchKey,
                                              wcscmp(GetParam(), L"DebugLog") ? L"DebugLog" : L"MsiDebugLog"},
                                             std::nullopt);
    unsigned runs = 0;
    unsigned reruns = 0;
    for (DWORD type = REG_NONE; type <= REG_QWORD; ++type) {
        for (DWORD size : kSizes) {
            const std::string where = "type " + std::to_string(type) + ", " + std::to_string(size) + " bytes";
            const winRun::CScopedRegistryValue value({HKEY_LOCAL_MACHINE, kSwitchKey, GetParam()},
                                                     winRun::CRegistryValue(type, Data(size)));
            CSetupRun run;
            run.SetPayloadExitCode(3010);
            run.SetSetupFolder(kTestSetup);
            run.SetDebugMode(winRun::DebugMode::ThisProcess);

            CSetupResult result = run.Run(L"/status");
            // Wine now and then refuses a start (ERROR_INTERNAL_ERROR, about
            // one in three thousand here): such a run is made once more.
            if (result.dwExitCode == 9000 && !result.report) {
                ++reruns;
                result = run.Run(L"/status");
            }
            ++runs;

            EXPECT_EQ(3010u, result.dwExitCode) << where;
            EXPECT_TRUE(result.report.has_value()) << where << ": the payload did not run";
            std::vector<std::wstring> lines;
            for (const winRun::CDebugString& text : result.debugStrings)
                lines.push_back(text.text);
            EXPECT_EQ(DeliversFourBytes(GetParam()), !lines.empty()) << where;
            for (const std::wstring& line : lines)
                EXPECT_TRUE(std::regex_match(line, kLogLine)) << where << ": not a whole log line";
        }
    }
    std::cout << "[ SWITCHES ] " << runs << " runs of Setup.exe, " << reruns << " made again" << std::endl;
}

INSTANTIATE_TEST_SUITE_P(Switches, LogSwitchInput, testing::Values(L"DebugLog", L"MsiDebugLog"),
                         [](const testing::TestParamInfo<const wchar_t*>& info) {
                             const std::wstring name = info.param;
                             return std::string(name.begin(), name.end());
                         });

} // namespace
