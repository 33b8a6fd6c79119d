// A re-pack that succeeds: the payloads are the new ones, everything else of
// Setup.exe is as it was, and the result runs them as a user would.
#include "tests/e2e/CSetupRun.h"
#include "tests/pack/CPackInputs.h"
#include "tests/pack/CPackRun.h"
#include "tests/support/PrivatePayloadPath.h"
#include "tools/pe/CPeImage.h"

#include <gtest/gtest.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr WORD kEnglishUs = 1033;
constexpr WORD kVersionType = 16;   // RT_VERSION
constexpr WORD kManifestType = 24;  // RT_MANIFEST

const std::vector<std::wstring> kArguments = {L"IN.exe", L"--x86", L"x86.exe", L"--x64", L"x64.exe",
                                              L"-o", L"OUT.exe"};

class Pack : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(m_setup.empty() || m_x86.empty() || m_x64.empty()) << "an input is missing";
        m_run.Write(L"x86.exe", m_x86);
        m_run.Write(L"x64.exe", m_x64);
    }

    // The resources a re-pack must leave as they were.
    static void ExpectSameResources(const CPeImage& before, const CPeImage& after)
    {
        EXPECT_EQ(before.Resource(kManifestType, 1, std::nullopt), after.Resource(kManifestType, 1, std::nullopt));
        EXPECT_EQ(before.Resource(kVersionType, 1, std::nullopt), after.Resource(kVersionType, 1, std::nullopt));
        EXPECT_EQ(before.Machine(), after.Machine());
        EXPECT_EQ(before.Subsystem(), after.Subsystem());
        EXPECT_EQ(before.ImportedDlls(), after.ImportedDlls());
    }

    void ExpectNewPayloads(const CPeImage& packed) const
    {
        EXPECT_EQ(m_x86, packed.Resource(L"BIN", 145, kEnglishUs)) << "BIN 145 is not the new 32-bit payload";
        EXPECT_EQ(m_x64, packed.Resource(L"BIN", 146, kEnglishUs)) << "BIN 146 is not the new 64-bit payload";
    }

    CPackRun m_run;
    const Bytes m_setup = pack_inputs::Setup();
    const Bytes m_x86 = pack_inputs::Tool32();
    const Bytes m_x64 = pack_inputs::Tool64();
};

TEST_F(Pack, ReplacesThePayloadsAndNothingElse)
{
    m_run.Write(L"IN.exe", m_setup);
    ASSERT_EQ(0u, m_run.Run(kArguments)) << m_run.Said();

    EXPECT_NE(std::string::npos, m_run.Said().find("wrote OUT.exe, unsigned")) << m_run.Said();
    EXPECT_EQ(m_setup, m_run.Read(L"IN.exe")) << "IN.exe changed";
    const CPeImage packed(m_run.Read(L"OUT.exe"));
    ExpectNewPayloads(packed);
    ExpectSameResources(CPeImage(m_setup), packed);
    EXPECT_EQ((std::vector<std::wstring>{L"IN.exe", L"OUT.exe", L"x64.exe", L"x86.exe"}),
              testing_support::FolderEntries(m_run.Folder()))
        << "a temporary file is left";
}

TEST_F(Pack, ReplacesAnOutputThatIsThere)
{
    m_run.Write(L"IN.exe", m_setup);
    m_run.Write(L"OUT.exe", Bytes(10, 'x'));
    ASSERT_EQ(0u, m_run.Run(kArguments)) << m_run.Said();
    ExpectNewPayloads(CPeImage(m_run.Read(L"OUT.exe")));
}

TEST_F(Pack, DropsTheSignatureWhenAsked)
{
    const Bytes signedSetup = pack_inputs::Signed(m_setup);
    ASSERT_NE(0u, CPeImage(signedSetup).Signature().Size);
    m_run.Write(L"IN.exe", signedSetup);
    std::vector<std::wstring> arguments = kArguments;
    arguments.push_back(L"--drop-signature");
    ASSERT_EQ(0u, m_run.Run(arguments)) << m_run.Said();

    EXPECT_EQ(signedSetup, m_run.Read(L"IN.exe")) << "IN.exe changed";
    const CPeImage packed(m_run.Read(L"OUT.exe"));
    const IMAGE_DATA_DIRECTORY table = packed.Signature();
    EXPECT_EQ(0u, table.VirtualAddress);
    EXPECT_EQ(0u, table.Size);
    EXPECT_EQ(packed.EndOfSections(), packed.Bytes().size()) << "the old certificate table is still there";
    ExpectNewPayloads(packed);
    ExpectSameResources(CPeImage(m_setup), packed);
}

// Nothing of the clock, the run or the output's name goes into the image: the
// same inputs packed again, in another second, give the same bytes.
TEST_F(Pack, SameInputsGiveTheSameBytes)
{
    m_run.Write(L"IN.exe", m_setup);
    ASSERT_EQ(0u, m_run.Run(kArguments)) << m_run.Said();
    Sleep(1100);
    std::vector<std::wstring> again = kArguments;
    again.back() = L"AGAIN.exe";
    ASSERT_EQ(0u, m_run.Run(again)) << m_run.Said();
    EXPECT_TRUE(m_run.Read(L"OUT.exe") == m_run.Read(L"AGAIN.exe")) << "the two packs differ";
}

// A Setup whose payloads cannot start, given the build's own tool: it runs
// the tool of its machine's slot and ends with the tool's code.
struct RunCase {
    const char* name;
    const wchar_t* tail;
    DWORD dwExitCode;
    const wchar_t* toolLine;
};

void PrintTo(const RunCase& c, std::ostream* os)
{
    *os << c.name;
}

class PackedSetupRun : public testing::TestWithParam<RunCase> {};

TEST_P(PackedSetupRun, EndsWithTheNewPayloadsCode)
{
    CPackRun pack;
    pack.Write(L"IN.exe", CPackRun::ReadFile(CSetupRun::DriverFolder() + L"\\setup-unstartable\\Setup.exe"));
    pack.Write(L"x86.exe", pack_inputs::Tool32());
    pack.Write(L"x64.exe", pack_inputs::Tool64());
    ASSERT_EQ(0u, pack.Run({L"IN.exe", L"--x86", L"x86.exe", L"--x64", L"x64.exe", L"-o", L"Setup.exe"}))
        << pack.Said();

    CSetupRun run;
    run.SetSetupFolder(pack.Folder());
    run.SetDebugMode(winRun::DebugMode::ProcessTree);
    const CSetupResult result = run.Run(GetParam().tail);
    EXPECT_EQ(GetParam().dwExitCode, result.dwExitCode);
    std::vector<std::wstring> toolLines;
    for (const winRun::CDebugString& line : result.debugStrings) {
        if (line.dwProcessId != result.dwProcessId)
            toolLines.push_back(line.text);
    }
    EXPECT_EQ(std::vector<std::wstring>{GetParam().toolLine}, toolLines);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, PackedSetupRun,
    testing::Values(RunCase{"Status", L"/status", 0, L"qvltgl: asked to status\n"},
                    RunCase{"Unknown", L"/repair", ERROR_INVALID_PARAMETER, L"qvltgl: unknown request\n"}),
    [](const testing::TestParamInfo<RunCase>& info) { return std::string(info.param.name); });

} // namespace
