// What SetupPack refuses, with which exit code and words, and that a refusal
// changes nothing: IN.exe stays as it was and no OUT.exe appears.
#include "tests/pack/CPackInputs.h"
#include "tests/pack/CPackRun.h"
#include "tests/support/PrivatePayloadPath.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {

using Bytes = std::vector<std::uint8_t>;

// The inputs of a re-pack that would succeed, for a case to spoil.
struct CInputs {
    Bytes setup = pack_inputs::Setup();
    Bytes x86 = pack_inputs::Tool32();
    Bytes x64 = pack_inputs::Tool64();
    std::vector<std::wstring> arguments = {L"IN.exe", L"--x86", L"x86.exe", L"--x64", L"x64.exe",
                                           L"-o", L"OUT.exe"};
};

struct RefusalCase {
    const char* name;
    std::function<void(CInputs&)> spoil;
    DWORD dwExitCode;
    const char* words;  // part of what SetupPack says
};

void PrintTo(const RefusalCase& c, std::ostream* os)
{
    *os << c.name;
}

Bytes Cut(Bytes bytes, std::size_t size)
{
    bytes.resize(size);
    return bytes;
}

void Replace(std::vector<std::wstring>& arguments, const std::wstring& from, const std::wstring& to)
{
    std::replace(arguments.begin(), arguments.end(), from, to);
}

class PackRefusal : public testing::TestWithParam<RefusalCase> {};

TEST_P(PackRefusal, ChangesNothing)
{
    CInputs inputs;
    ASSERT_FALSE(inputs.setup.empty() || inputs.x86.empty() || inputs.x64.empty()) << "an input is missing";
    GetParam().spoil(inputs);
    CPackRun run;
    run.Write(L"IN.exe", inputs.setup);
    run.Write(L"x86.exe", inputs.x86);
    run.Write(L"x64.exe", inputs.x64);
    const std::vector<std::wstring> before = testing_support::FolderEntries(run.Folder());

    EXPECT_EQ(GetParam().dwExitCode, run.Run(inputs.arguments));
    EXPECT_NE(std::string::npos, run.Said().find(GetParam().words)) << "SetupPack said: " << run.Said();
    EXPECT_EQ(inputs.setup, run.Read(L"IN.exe")) << "IN.exe changed";
    EXPECT_EQ(before, testing_support::FolderEntries(run.Folder())) << "OUT.exe or a temporary file is left";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PackRefusal,
    testing::Values(
        RefusalCase{"NoOutput", [](CInputs& i) { i.arguments.resize(5); }, 1, "usage: SetupPack"},
        RefusalCase{"AnOptionTwice", [](CInputs& i) { i.arguments.insert(i.arguments.end(), {L"--x86", L"x86.exe"}); },
                    1, "usage: SetupPack"},
        RefusalCase{"UnknownOption", [](CInputs& i) { i.arguments.push_back(L"--force"); }, 1, "usage: SetupPack"},
        RefusalCase{"MissingPayload", [](CInputs& i) { Replace(i.arguments, L"x86.exe", L"none.exe"); }, 2,
                    "--x86 none.exe is missing or not readable; BIN 145 takes a PE executable for i386."},
        RefusalCase{"EmptyPayload", [](CInputs& i) { i.x64.clear(); }, 3, "--x64 x64.exe is empty;"},
        RefusalCase{"NotAPeFile", [](CInputs& i) { i.x86 = Bytes{'n', 'o', 't', ' ', 'P', 'E'}; }, 4,
                    "--x86 x86.exe is not a PE file (no MZ header);"},
        RefusalCase{"HeadersCutShort", [](CInputs& i) { i.x64 = Cut(i.x64, 0x90); }, 5,
                    "--x64 x64.exe is a PE file whose headers are cut short"},
        RefusalCase{"SectionsCutShort", [](CInputs& i) { i.x64 = Cut(i.x64, i.x64.size() / 2); }, 5,
                    "--x64 x64.exe is a PE file for AMD64 whose sections are cut short;"},
        RefusalCase{"Dll", [](CInputs& i) { i.x64 = pack_inputs::WithCharacteristics(i.x64, IMAGE_FILE_DLL); }, 6,
                    "--x64 x64.exe is a DLL for AMD64; BIN 146 takes a PE executable for AMD64."},
        RefusalCase{"AMD64InThe32BitSlot", [](CInputs& i) { i.x86 = i.x64; }, 7,
                    "--x86 x86.exe is a PE executable for AMD64; BIN 145 takes a PE executable for i386."},
        RefusalCase{"I386InThe64BitSlot", [](CInputs& i) { i.x64 = i.x86; }, 7,
                    "--x64 x64.exe is a PE executable for i386; BIN 146 takes a PE executable for AMD64."},
        RefusalCase{"InputNotAPeFile", [](CInputs& i) { i.setup = Bytes(64, 'M'); }, 4,
                    "IN.exe is not a PE file (no MZ header); the input must be a Setup.exe."},
        RefusalCase{"InputWithoutPayloads", [](CInputs& i) { i.setup = i.x64; }, 8,
                    "IN.exe carries no BIN 145 and 146 of language 1033 to replace"},
        RefusalCase{"SignedInput", [](CInputs& i) { i.setup = pack_inputs::Signed(i.setup); }, 9,
                    "IN.exe is signed, and new payloads break its signature. Give --drop-signature"},
        RefusalCase{"OutputFolderMissing", [](CInputs& i) { Replace(i.arguments, L"OUT.exe", L"no\\OUT.exe"); },
                    10, "no\\OUT.exe was not written: could not create a temporary file beside it"}),
    [](const testing::TestParamInfo<RefusalCase>& info) { return std::string(info.param.name); });

} // namespace
