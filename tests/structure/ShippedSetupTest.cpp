#include "tools/pe/CPeImage.h"
#include "tests/structure/CShippedFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <sstream>

namespace {

constexpr WORD kEnglishUs = 1033;
constexpr WORD kVersionType = 16;   // RT_VERSION
constexpr WORD kManifestType = 24;  // RT_MANIFEST
constexpr DWORD kFixedFileInfoSignature = 0xFEEF04BD;

std::vector<std::uint8_t> FileBytes(const std::wstring& path)
{
    auto bytes = CPeImage::ReadFile(path);
    EXPECT_TRUE(bytes) << "cannot read a file to compare with";
    return bytes.value_or(std::vector<std::uint8_t>{});
}

class ShippedSetup : public testing::Test {
protected:
    const CPeImage m_image = CPeImage::FromFile(CShippedFiles::Get().setup);
};

TEST_F(ShippedSetup, IsA32BitGuiProgram)
{
    EXPECT_EQ(IMAGE_NT_OPTIONAL_HDR32_MAGIC, m_image.Magic());
    EXPECT_EQ(IMAGE_FILE_MACHINE_I386, m_image.Machine());
    EXPECT_EQ(IMAGE_SUBSYSTEM_WINDOWS_GUI, m_image.Subsystem());
}

struct PayloadCase {
    const char* name;
    WORD id;
    std::wstring CShippedFiles::*file;
};

void PrintTo(const PayloadCase& c, std::ostream* os)
{
    *os << c.name;
}

class ShippedPayload : public ShippedSetup, public testing::WithParamInterface<PayloadCase> {};

TEST_P(ShippedPayload, IsTheBuiltFileByteForByte)
{
    const auto resource = m_image.Resource(L"BIN", GetParam().id, kEnglishUs);
    ASSERT_TRUE(resource) << "no BIN resource of this id under language 1033";
    const std::vector<std::uint8_t> expected = FileBytes(CShippedFiles::Get().*GetParam().file);
    ASSERT_FALSE(expected.empty());
    EXPECT_TRUE(*resource == expected) << "resource of " << resource->size()
                                       << " bytes, file of " << expected.size();
}

INSTANTIATE_TEST_SUITE_P(
    Slots, ShippedPayload,
    testing::Values(PayloadCase{"Bin145For32Bit", 145, &CShippedFiles::payload145},
                    PayloadCase{"Bin146For64Bit", 146, &CShippedFiles::payload146}),
    [](const testing::TestParamInfo<PayloadCase>& info) { return std::string(info.param.name); });

TEST_F(ShippedSetup, CarriesItsManifest)
{
    const auto manifest = m_image.Resource(kManifestType, 1, std::nullopt);
    ASSERT_TRUE(manifest) << "no RT_MANIFEST resource 1";
    EXPECT_TRUE(*manifest == FileBytes(CShippedFiles::Get().manifest));
}

// VS_VERSIONINFO: three WORDs, the key L"VS_VERSION_INFO" with its NUL, padding
// to 32 bits, then VS_FIXEDFILEINFO, which opens with its signature.
TEST_F(ShippedSetup, CarriesAVersionInfo)
{
    const auto version = m_image.Resource(kVersionType, 1, std::nullopt);
    ASSERT_TRUE(version) << "no RT_VERSION resource 1";
    const std::wstring key = L"VS_VERSION_INFO";
    const std::size_t keyOffset = 6;
    const std::size_t fixedOffset = (keyOffset + (key.size() + 1) * sizeof(wchar_t) + 3) & ~3u;
    ASSERT_GE(version->size(), fixedOffset + sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(0, std::memcmp(version->data() + keyOffset, key.c_str(), (key.size() + 1) * sizeof(wchar_t)));
    DWORD signature = 0;
    std::memcpy(&signature, version->data() + fixedOffset, sizeof(signature));
    EXPECT_EQ(kFixedFileInfoSignature, signature);
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The libraries NT 6.0 maps from its own KnownDLLs list, whatever lies beside
// the program; ntdll is mapped into every process before any search.
const std::vector<std::string> kKnownDlls = {
    "advapi32.dll", "clbcatq.dll", "comdlg32.dll", "difxapi.dll", "gdi32.dll",   "iertutil.dll",
    "imagehlp.dll", "imm32.dll",   "kernel32.dll", "lpk.dll",     "msctf.dll",   "msvcrt.dll",
    "normaliz.dll", "nsi.dll",     "ole32.dll",    "oleaut32.dll", "psapi.dll",  "rpcrt4.dll",
    "setupapi.dll", "shell32.dll", "shlwapi.dll",  "urlmon.dll",  "user32.dll",  "usp10.dll",
    "wininet.dll",  "wldap32.dll", "ws2_32.dll",   "ntdll.dll"};

// A DLL of any other name would be looked for beside Setup, in its downloads folder.
TEST_F(ShippedSetup, ImportsOnlyKnownDlls)
{
    const std::vector<std::string> imported = m_image.ImportedDlls();
    EXPECT_FALSE(imported.empty());
    for (const std::string& dll : imported)
        EXPECT_NE(kKnownDlls.end(), std::find(kKnownDlls.begin(), kKnownDlls.end(), Lower(dll)))
            << dll << " is not a library NT 6.0 maps from its KnownDLLs list";
}

// Everything else is bound at first use, after Setup has restricted the
// search for libraries: where KnownDLLs does not protect a name, a library
// bound at start-up would already come from Setup's own folder.
TEST_F(ShippedSetup, BindsOnlyTheKernelAndTheCRuntimeAtStartUp)
{
    std::vector<std::string> imported;
    for (const std::string& dll : m_image.ImportedDlls())
        imported.push_back(Lower(dll));
    std::sort(imported.begin(), imported.end());
    EXPECT_EQ((std::vector<std::string>{"kernel32.dll", "msvcrt.dll"}), imported);
}

// A slot that nothing fills holds 0, and the first call through it goes to
// address 0. Libraries bound at first use are reached through slots that hold
// their load thunks until then.
TEST_F(ShippedSetup, CallsOnlyThroughSlotsThatHoldAnAddress)
{
    ASSERT_FALSE(m_image.IndirectCalls().empty())
        << "no indirect call found: the image has no base relocations to find them by";
    std::ostringstream unfilled;
    for (DWORD slot : m_image.UnfilledCallSlots())
        unfilled << " 0x" << std::hex << m_image.ImageBase() + slot;
    EXPECT_EQ("", unfilled.str()) << "called through, but empty when Setup starts";
}

} // namespace
